#include "batchplan.h"

#include "commandline.h"

#include <converter.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

using namespace Convert;

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool BatchPlan::hasImageSuffix(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    for (const char *known : {"bmp", "jpg", "jpeg", "png"}) {
        if (suffix.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool BatchPlan::build(const CommandLine &commandLine)
{
    m_jobs.clear();
    m_directoryToCreate.clear();

    QStringList sources;
    if (!collectSources(commandLine, &sources))
        return false;

    const QStringList inputs = commandLine.inputs();
    const bool singleFile = inputs.size() == 1 && !QFileInfo(inputs.first()).isDir();
    if (!commandLine.symbol().isEmpty() && !singleFile)
        return fail(tr("--name needs exactly one input file"));

    const OutputFormat format = commandLine.outputFormat();
    const QString output = commandLine.outputPath();
    const QFileInfo outputInfo(output);
    const bool outputIsDirectory = !output.isEmpty()
        && (!singleFile || outputInfo.isDir() || output.endsWith(QLatin1Char('/'))
            || output.endsWith(QDir::separator()));

    if (outputIsDirectory) {
        if (outputInfo.exists() && !outputInfo.isDir()) {
            return fail(tr("the output '%1' is not a directory (several inputs are written "
                           "into a directory)")
                            .arg(native(output)));
        }
        if (!outputInfo.exists())
            m_directoryToCreate = output;
    }

    for (const QString &source : qAsConst(sources)) {
        QString target;
        if (!output.isEmpty() && !outputIsDirectory)
            target = output;
        else if (outputIsDirectory)
            target = QDir::cleanPath(batchOutputPath(output, source, format));
        else
            target = QDir::cleanPath(batchOutputPath(QFileInfo(source).path(), source, format));
        m_jobs.append({source, target});
    }
    return checkOutputs();
}

bool BatchPlan::fail(const QString &error)
{
    m_error = error;
    m_jobs.clear();
    m_directoryToCreate.clear();
    return false;
}

bool BatchPlan::collectSources(const CommandLine &commandLine, QStringList *sources)
{
    QSet<QString> seen;
    const auto add = [&seen, sources](const QString &path) {
        // The same file named twice (say "img/a.png img") is converted once.
        if (!seen.contains(pathIdentity(path))) {
            seen.insert(pathIdentity(path));
            sources->append(path);
        }
    };

    const QStringList inputs = commandLine.inputs();
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (!info.exists())
            return fail(tr("the input '%1' does not exist").arg(native(input)));
        if (!info.isDir()) {
            // A file named on the command line is taken whatever its suffix:
            // the decoder goes by the content.
            add(input);
            continue;
        }
        if (!info.isReadable() || !info.isExecutable())
            return fail(tr("the directory '%1' cannot be read").arg(native(input)));

        const QDirIterator::IteratorFlags flags =
            commandLine.recursive() ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags;
        QDirIterator it(input, QDir::Files | QDir::NoDotAndDotDot, flags);
        QStringList found;
        while (it.hasNext()) {
            const QString path = it.next();
            if (hasImageSuffix(path))
                found.append(path);
        }
        // The file system's order is arbitrary; a sorted list gives every run
        // the same order of work and of messages.
        std::sort(found.begin(), found.end());
        for (const QString &path : qAsConst(found))
            add(path);
    }
    if (sources->isEmpty()) {
        return fail(tr("no bmp, jpg, jpeg or png files found in %1")
                        .arg(native(inputs.join(QLatin1String(", ")))));
    }
    return true;
}

bool BatchPlan::checkOutputs()
{
    QHash<QString, int> sourceOf; // identity of a source -> job index
    for (int i = 0; i < m_jobs.size(); ++i)
        sourceOf.insert(pathIdentity(m_jobs.at(i).source), i);

    QHash<QString, int> writerOf; // identity of an output -> job index
    for (int i = 0; i < m_jobs.size(); ++i) {
        const Job &job = m_jobs.at(i);
        const QString target = pathIdentity(job.output);
        const auto input = sourceOf.constFind(target);
        if (input != sourceOf.constEnd()) {
            return fail(tr("the output '%1' would replace the input '%2'")
                            .arg(native(job.output), native(m_jobs.at(*input).source)));
        }
        const auto other = writerOf.constFind(target);
        if (other != writerOf.constEnd()) {
            return fail(
                tr("'%1' and '%2' would both be written to '%3'")
                    .arg(native(m_jobs.at(*other).source), native(job.source), native(job.output)));
        }
        writerOf.insert(target, i);
    }
    return true;
}
