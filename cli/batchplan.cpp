#include "batchplan.h"

#include "commandline.h"

#include <converter.h>
#include <csymbol.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

using namespace Convert;

namespace {

QString native(const QString &path)
{
    return displayPath(path);
}

// The path without the slashes at its end ("out/" -> "out"), but "/" stays.
QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator())))
        path.chop(1);
    return path;
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
    m_previewDirectoryToCreate.clear();

    QStringList sources;
    if (!collectSources(commandLine, &sources))
        return false;

    const QStringList inputs = commandLine.inputs();
    const bool singleFile =
        inputs.size() == 1 && fileStatus(inputs.first()).kind != FileKind::Directory;
    if (!commandLine.symbol().isEmpty() && !singleFile)
        return fail(tr("--name needs exactly one input file"));

    const OutputSpec &outSpec = commandLine.outputKind();
    const QString extension = outputExtension(outSpec);
    const QString output = commandLine.outputPath();
    const bool trailingSlash =
        output.endsWith(QLatin1Char('/')) || output.endsWith(QDir::separator());
    const FileStatus outputStatus = fileStatus(withoutTrailingSlashes(output));
    const bool outputIsDirectory = !output.isEmpty()
        && (!singleFile || outputStatus.kind == FileKind::Directory || trailingSlash);

    if (outputIsDirectory) {
        if (outputStatus.kind != FileKind::Directory && outputStatus.kind != FileKind::Missing) {
            return fail(singleFile ? tr("the output '%1' is not a directory").arg(native(output))
                                   : tr("the output '%1' is not a directory (several inputs "
                                        "are written into a directory)")
                                         .arg(native(output)));
        }
        if (outputStatus.kind == FileKind::Missing)
            m_directoryToCreate = output;
    }

    for (const QString &source : qAsConst(sources)) {
        QString target;
        if (!output.isEmpty() && !outputIsDirectory)
            target = output;
        else if (outputIsDirectory)
            target = QDir::cleanPath(batchOutputPath(output, source, extension));
        else
            target = QDir::cleanPath(batchOutputPath(QFileInfo(source).path(), source, extension));
        const QString stem =
            commandLine.symbol().isEmpty() ? QFileInfo(target).baseName() : commandLine.symbol();
        m_jobs.append({source, target, QString(), commandLine.symbolPrefix() + stem});
    }
    if (!planPreviews(commandLine.previewPath(), singleFile))
        return false;
    if (!checkOutputs())
        return false;
    if (!outSpec.binary && !checkSymbols())
        return false;
    return checkSources(outSpec);
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
        // The same path named twice (say "img/a.png img") is converted
        // once. Another name for the same file (a link) is a source of its
        // own: its output is named after it.
        const QString identity = QDir::cleanPath(QDir::current().absoluteFilePath(path));
        if (!seen.contains(identity)) {
            seen.insert(identity);
            sources->append(path);
        }
    };

    const QStringList inputs = commandLine.inputs();
    for (const QString &input : inputs) {
        const FileStatus status = fileStatus(input);
        if (status.kind == FileKind::Missing)
            return fail(tr("the input '%1' does not exist").arg(native(input)));
        if (status.kind != FileKind::Directory) {
            // A file named on the command line is taken whatever its suffix:
            // the decoder goes by the content. One that is not a regular
            // file (a FIFO, a terminal) fails on its own, without being
            // opened.
            add(input);
            continue;
        }

        QStringList found;
        QString error;
        if (!listFiles(input, commandLine.recursive(), &found, &error))
            return fail(error);
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [](const QString &path) { return !hasImageSuffix(path); }),
                    found.end());
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

bool BatchPlan::planPreviews(const QString &preview, bool singleFile)
{
    if (preview.isEmpty())
        return true;
    // One input: the PNG itself, or a folder to write it into. Several: a
    // folder. A preview is named after its output, extension included
    // ("logo.c.png"), so that it never takes a source's name.
    const bool trailingSlash =
        preview.endsWith(QLatin1Char('/')) || preview.endsWith(QDir::separator());
    const FileStatus status = fileStatus(withoutTrailingSlashes(preview));
    const bool folder = !singleFile || status.kind == FileKind::Directory || trailingSlash;
    if (folder) {
        if (status.kind != FileKind::Directory && status.kind != FileKind::Missing)
            return fail(tr("the preview folder '%1' is not a directory").arg(native(preview)));
        if (status.kind == FileKind::Missing)
            m_previewDirectoryToCreate = preview;
    }
    for (Job &job : m_jobs) {
        job.preview = folder
            ? QDir::cleanPath(preview + QLatin1Char('/') + QFileInfo(job.output).fileName()
                              + QStringLiteral(".png"))
            : preview;
    }
    return true;
}

bool BatchPlan::checkOutputs()
{
    QHash<QString, int> sourceOf; // identity of a source -> job index
    for (int i = 0; i < m_jobs.size(); ++i)
        sourceOf.insert(pathIdentity(m_jobs.at(i).source), i);

    // Outputs and previews alike: no file may be written twice, and none
    // may replace a source.
    QHash<QString, int> writerOf; // identity of a written file -> job index
    const auto claim = [&](int i, const QString &written) {
        const Job &job = m_jobs.at(i);
        const QString target = pathIdentity(written);
        const auto input = sourceOf.constFind(target);
        if (input != sourceOf.constEnd()) {
            return fail(tr("the output '%1' would replace the input '%2'")
                            .arg(native(written), native(m_jobs.at(*input).source)));
        }
        const auto other = writerOf.constFind(target);
        if (other != writerOf.constEnd()) {
            return fail(
                tr("'%1' and '%2' would both be written to '%3'")
                    .arg(native(m_jobs.at(*other).source), native(job.source), native(written)));
        }
        writerOf.insert(target, i);
        return true;
    };
    for (int i = 0; i < m_jobs.size(); ++i) {
        if (!claim(i, m_jobs.at(i).output))
            return false;
    }
    for (int i = 0; i < m_jobs.size(); ++i) {
        if (!m_jobs.at(i).preview.isEmpty() && !claim(i, m_jobs.at(i).preview))
            return false;
    }
    return true;
}

bool BatchPlan::checkSymbols()
{
    // Every C file defines "<stem>" and "<stem>_map". Files of one batch are
    // usually linked into one program, where two equal names do not link:
    // "a-b.png" and "a_b.png" both give a_b, and "x.png"'s array x_map is
    // "x_map.png"'s descriptor.
    QHash<QString, int> definedBy;
    for (int i = 0; i < m_jobs.size(); ++i) {
        const Job &job = m_jobs.at(i);
        const QString stem = cSymbol(job.symbol);
        for (const QString &name : {stem, QString(stem + QStringLiteral("_map"))}) {
            const auto other = definedBy.constFind(name);
            if (other != definedBy.constEnd() && *other != i) {
                return fail(tr("'%1' and '%2' would both define the C symbol '%3'")
                                .arg(native(m_jobs.at(*other).source), native(job.source), name));
            }
            definedBy.insert(name, i);
        }
    }
    return true;
}

bool BatchPlan::checkSources(const OutputSpec &outSpec)
{
    if (!outSpec.isRaw())
        return true;
    // A RAW format embeds the file for one of LVGL's decoders, which must
    // exist for its kind; the header tells. A source that is no image at
    // all is left to fail on its own.
    for (const Job &job : qAsConst(m_jobs)) {
        ImageProbe probe;
        if (!probeImage(job.source, &probe).ok())
            continue;
        const QString problem = sourceProblem(outSpec, probe.kind);
        if (!problem.isEmpty())
            return fail(tr("%1: %2").arg(native(job.source), problem));
    }
    return true;
}
