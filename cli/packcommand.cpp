#include "packcommand.h"

#include "batchplan.h"
#include "commandline.h"

#include <commitgroup.h>
#include <converter.h>
#include <csymbol.h>
#include <devicemodel.h>
#include <filepath.h>
#include <outputfile.h>
#include <pack.h>
#include <packsource.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>

using namespace Convert;

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void printError(const QString &text)
{
    printLine(stderr, QStringLiteral("brindleforge-cli: ") + escapeControls(text));
}

struct PackFile
{
    QString path;
    QByteArray bytes;
    bool text;
};

} // namespace

int PackCommand::run(const CommandLine &commandLine, QString *usage)
{
    const QByteArray name = commandLine.packName().toLatin1();
    const OutputPlan &plan = commandLine.outputKind();
    const auto usageError = [usage](const QString &message) {
        *usage = message;
        return UsageError;
    };

    QStringList sources;
    BatchPlan batch;
    if (!batch.listSources(commandLine, &sources))
        return usageError(batch.errorText());
    const QString folder =
        commandLine.outputPath().isEmpty() ? QStringLiteral(".") : commandLine.outputPath();
    const FileKind folderKind = fileStatus(folder).kind;
    if (folderKind != FileKind::Directory && folderKind != FileKind::Missing)
        return usageError(
            tr("--pack writes into a folder: '%1' is not one").arg(displayPath(folder)));

    // Each image's entry is named by the C stem of its base name, which the
    // ids and the descriptors are made of.
    QStringList stems;
    QHash<QString, QString> upper;
    for (const QString &source : qAsConst(sources)) {
        const QString stem = cSymbol(QFileInfo(source).baseName());
        if (stem.toLatin1().size() > Pack::MaxName)
            return usageError(tr("%1: the name '%2' is longer than the %3 bytes a pack's index "
                                 "holds; rename the file")
                                  .arg(displayPath(source), stem, QString::number(Pack::MaxName)));
        const QString key = stem.toUpper();
        if (upper.contains(key))
            return usageError(tr("%1 and %2 would both be %3_ID_%4 in the pack")
                                  .arg(displayPath(upper.value(key)), displayPath(source),
                                       QString::fromLatin1(name.toUpper()), key));
        upper.insert(key, source);
        QString problem = Pack::stemProblem(stem.toLatin1());
        if (problem.isEmpty())
            problem =
                symbolProblem(QString::fromLatin1(Pack::descriptorName(name, stem.toLatin1())));
        if (!problem.isEmpty())
            return usageError(tr("%1: %2").arg(displayPath(source), problem));
        stems << stem;
    }

    const QString base = QDir::cleanPath(folder + QLatin1Char('/') + QString::fromLatin1(name));
    const QString binPath = base + QStringLiteral(".bin");
    const QStringList targets = {binPath, base + QStringLiteral(".h"), base + QStringLiteral(".c"),
                                 base + QStringLiteral("_blob.S")};
    for (const QString &source : qAsConst(sources)) {
        for (const QString &target : targets) {
            if (pathIdentity(source) == pathIdentity(target))
                return usageError(tr("the pack's %1 would replace the input %2")
                                      .arg(displayPath(target), displayPath(source)));
        }
    }

    // Every image first, in the order of the batch; nothing is written
    // unless all of them convert.
    QVector<Pack::Entry> entries;
    int failures = 0;
    for (int i = 0; i < sources.size(); ++i) {
        const QString &source = sources.at(i);
        SourceImage image;
        ConvertResult result = loadSource(source, plan, commandLine.transforms(), &image);
        QByteArray bin;
        if (result.ok())
            result = encodeSource(image, plan, stems.at(i), &bin);
        // What the device's configuration costs is said unless -q asks for
        // quiet, as for single images.
        if (result.ok() && commandLine.device() && !commandLine.quiet())
            result.addWarnings(commandLine.device()->warnings(
                DeviceImage::of(plan, image.image.isNull() ? image.size : image.image.size())));
        if (!result.ok()) {
            ++failures;
            printError(QStringLiteral("%1 -> %2: %3")
                           .arg(displayPath(source), displayPath(binPath), result.reason()));
            continue;
        }
        for (const QString &warning : result.warnings())
            printError(displayPath(source) + QStringLiteral(": warning: ") + warning);
        if (commandLine.verbose()) {
            for (const QString &note : result.notes())
                printError(displayPath(source) + QStringLiteral(": ") + note);
        }
        entries.append(Pack::entry(plan, stems.at(i).toLatin1(), bin));
    }
    if (failures > 0) {
        const QString count =
            failures == 1 ? tr("1 image failed") : tr("%1 images failed").arg(failures);
        printError(tr("%1: not written, %2").arg(displayPath(binPath), count));
        return 1;
    }
    const QString problem = Pack::problem(entries, commandLine.packAlign());
    if (!problem.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(displayPath(binPath), problem));
        return 1;
    }
    const QByteArray blob = Pack::assemble(&entries, commandLine.packAlign());
    const bool bind = commandLine.packBind();
    const PackFile files[] = {
        {targets.at(0), blob, false},
        {targets.at(1), Pack::headerText(plan, name, entries, bind), true},
        {targets.at(2), Pack::sourceText(plan, name, entries, bind), true},
        {targets.at(3), Pack::assemblyText(name, plan.placement.section, commandLine.packAlign()),
         true},
    };

    if (commandLine.dryRun()) {
        for (const PackFile &file : files) {
            const ConvertResult checked = folderKind == FileKind::Missing
                ? ConvertResult::success()
                : OutputFile::checkTarget(file.path);
            if (!checked.ok()) {
                printError(checked.message());
                return 1;
            }
        }
        for (const QString &source : qAsConst(sources))
            printLine(stdout, displayPath(source) + QStringLiteral(" -> ") + displayPath(binPath));
        for (const PackFile &file : files)
            printLine(stdout,
                      QStringLiteral("pack %1 -> %2")
                          .arg(QString::fromLatin1(name), displayPath(file.path)));
        return 0;
    }

    QString error;
    if (folderKind == FileKind::Missing && !makePath(folder, &error)) {
        printError(error);
        return 1;
    }
    // The four are written to temporary files first and renamed together:
    // a failure on any leaves every existing file of the pack as it was.
    CommitGroup::Limits together;
    together.bytes = std::numeric_limits<qint64>::max();
    together.files = 4;
    together.age = std::chrono::hours(24);
    CommitGroup group(together);
    for (int i = 0; i < 4; ++i) {
        auto file = std::make_unique<OutputFile>(files[i].path);
        ConvertResult result = file->create(files[i].text);
        if (result.ok() && file->write(files[i].bytes) != files[i].bytes.size())
            result = ConvertResult::writeFailed(files[i].path, file->errorString());
        if (!result.ok()) {
            file->cancel();
            printError(result.message() + tr("; the pack is not written"));
            return 1;
        }
        group.add(i, std::move(file));
    }
    group.flush();
    int failed = 0;
    for (const auto &finished : group.takeFinished()) {
        if (!finished.second.ok()) {
            ++failed;
            printError(finished.second.message());
        }
    }
    return failed ? 1 : 0;
}
