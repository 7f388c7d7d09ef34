#include "batchplan.h"

#include "commandline.h"

#include <converter.h>
#include <csymbol.h>
#include <devicemodel.h>
#include <imagekinds.h>
#include <outputfile.h>
#include <preview.h>

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
    return Convert::hasImageSuffix(fileName);
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

    const OutputPlan &outSpec = commandLine.outputKind();
    // A .bin frame set is a folder, named after its source without a suffix.
    const bool frameFolders = commandLine.frames() && outSpec.binary;
    const QString extension = frameFolders ? QString() : outputExtension(outSpec);
    const QString output = commandLine.outputPath();
    const QString standardOutput = OutputFile::standardOutput();
    if (frameFolders && output == standardOutput)
        return fail(tr("-o - cannot take a folder of .bin frames; write a C frame set (-f c) or "
                       "name a folder"));
    if (output == standardOutput && !singleFile)
        return fail(tr("-o - writes one image to standard output; it takes one input file, not "
                       "a batch"));
    if (!commandLine.previewPath().isEmpty() && commandLine.previewPath() == standardOutput) {
        if (!singleFile)
            return fail(tr("--preview - writes one preview to standard output; it takes one "
                           "input file, not a batch"));
        if (output == standardOutput)
            return fail(tr("-o - and --preview - would both write to standard output"));
    }
    const bool trailingSlash =
        output.endsWith(QLatin1Char('/')) || output.endsWith(QDir::separator());
    const FileStatus outputStatus = fileStatus(withoutTrailingSlashes(output));
    // One input's -o names its frame folder, a new one or an earlier set.
    const bool earlierFrameFolder = frameFolders && singleFile && !trailingSlash
        && outputStatus.kind == FileKind::Directory
        && QFileInfo::exists(output + QStringLiteral("/frames.txt"));
    const bool outputIsDirectory = !output.isEmpty() && output != standardOutput
        && !earlierFrameFolder
        && (!singleFile || outputStatus.kind == FileKind::Directory || trailingSlash);
    if (!output.isEmpty() && !outputIsDirectory && output != standardOutput && !frameFolders
        && !checkExtension(commandLine, output))
        return false;

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
        // Standard output has no name to take the symbol from: the
        // source's base name gives it.
        const QString named = target == standardOutput ? source : target;
        const QString stem =
            commandLine.symbol().isEmpty() ? QFileInfo(named).baseName() : commandLine.symbol();
        m_jobs.append({source, target, QString(), commandLine.symbolPrefix() + stem});
    }
    if (!planPreviews(commandLine, singleFile))
        return false;
    if (!checkOutputs() || !checkPreviewTargets())
        return false;
    if (!outSpec.binary && !checkSymbols())
        return false;
    if (commandLine.frames() && !checkFrameCounts(commandLine.framePlan()))
        return false;
    return checkSources(outSpec, commandLine.device().get());
}

bool BatchPlan::checkFrameCounts(const FramePlan &framePlan)
{
    // lv_animimg keeps the count in an int8_t. The headers tell it; a
    // source that is no image is left to fail on its own.
    for (const Job &job : qAsConst(m_jobs)) {
        int count = 0;
        if (frameCount(job.source, framePlan, &count).ok() && count > FrameSet::MaxFrames) {
            return fail(tr("%1: %2 frames: lv_animimg stores the frame count in an int8_t: at "
                           "most %3 frames; use --max-frames")
                            .arg(native(job.source), QString::number(count),
                                 QString::number(FrameSet::MaxFrames)));
        }
    }
    return true;
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
        return fail(tr("no %1 files found in %2")
                        .arg(Convert::joinedList(Convert::imageSuffixes(), QStringLiteral(", "),
                                                 QStringLiteral(" or ")),
                             native(inputs.join(QLatin1String(", ")))));
    }
    return true;
}

bool BatchPlan::planPreviews(const CommandLine &commandLine, bool singleFile)
{
    const QString preview = commandLine.previewPath();
    if (preview.isEmpty())
        return true;
    if (preview == OutputFile::standardOutput()) {
        for (Job &job : m_jobs)
            job.preview = preview;
        return true;
    }
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
        if (!checkPreviewFolder(commandLine, preview))
            return false;
    }
    for (Job &job : m_jobs) {
        job.preview = folder
            ? QDir::cleanPath(preview + QLatin1Char('/') + QFileInfo(job.output).fileName()
                              + QStringLiteral(".png"))
            : preview;
    }
    return true;
}

bool BatchPlan::checkPreviewTargets()
{
    // A preview replaces only a preview: the user's own file of that name
    // stays.
    for (const Job &job : qAsConst(m_jobs)) {
        if (!job.preview.isEmpty() && !checkPreviewTarget(job.preview).ok()) {
            return fail(tr("--preview: '%1' exists and is not a preview made by "
                           "brindleforge-cli; it is left alone (remove it, or choose another "
                           "--preview)")
                            .arg(native(job.preview)));
        }
    }
    return true;
}

bool BatchPlan::checkPreviewFolder(const CommandLine &commandLine, const QString &preview)
{
    // Previews are PNG files: in a folder that is converted, the next run
    // would take them for images. With -r, the folders below an input
    // folder are converted too.
    const QString previewIdentity = pathIdentity(withoutTrailingSlashes(preview));
    for (const QString &input : commandLine.inputs()) {
        if (fileStatus(input).kind != FileKind::Directory)
            continue;
        const QString inputIdentity = pathIdentity(withoutTrailingSlashes(input));
        bool inside = previewIdentity == inputIdentity;
        if (!inside && commandLine.recursive()) {
            QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(preview));
            while (!inside && folder.contains(QLatin1Char('/')) && folder != QLatin1String("/")) {
                folder = QFileInfo(folder).path();
                inside = pathIdentity(folder) == inputIdentity;
            }
        }
        if (inside) {
            return fail(tr("the preview folder '%1' is %2 the input folder '%3': the next run "
                           "would take its previews for images; choose another folder")
                            .arg(native(preview),
                                 previewIdentity == inputIdentity ? tr("also") : tr("inside"),
                                 native(input)));
        }
    }
    return true;
}

bool BatchPlan::checkExtension(const CommandLine &commandLine, const QString &output)
{
    // An output named for the other kind of file is a mistake that would
    // go unseen until the device reads C text as pixels.
    const QString suffix = QFileInfo(output).suffix().toLower();
    const bool binary = commandLine.outputKind().binary;
    if (suffix == QLatin1String("bin") && !binary) {
        return fail(tr("the output '%1' is named .bin, but -f %2 writes C source: use -f bin for a "
                       "binary image file, or name the output .c")
                        .arg(native(output), commandLine.formatName()));
    }
    if (suffix == QLatin1String("c") && binary) {
        return fail(tr("the output '%1' is named .c, but -f %2 writes a binary image file: use "
                       "-f c for C source, or name the output .bin")
                        .arg(native(output), commandLine.formatName()));
    }
    return true;
}

bool BatchPlan::checkOutputs()
{
    QHash<QString, int> sourceOf; // identity of a source -> job index
    for (int i = 0; i < m_jobs.size(); ++i)
        sourceOf.insert(pathIdentity(m_jobs.at(i).source), i);

    // Outputs and previews alike: no file may be written twice, and none
    // may replace a source. Standard output is checked by build().
    struct Writer
    {
        int job;
        bool preview;
    };
    QHash<QString, Writer> writerOf; // identity of a written file -> who writes it
    const auto what = [this](const Writer &writer) {
        const QString source = native(m_jobs.at(writer.job).source);
        return writer.preview ? tr("the preview of '%1'").arg(source)
                              : QStringLiteral("'%1'").arg(source);
    };
    const auto claim = [&](const Writer &writer, const QString &written) {
        if (written == OutputFile::standardOutput())
            return true;
        const QString target = pathIdentity(written);
        const auto input = sourceOf.constFind(target);
        if (input != sourceOf.constEnd()) {
            return fail((writer.preview ? tr("the preview '%1' would replace the input '%2'")
                                        : tr("the output '%1' would replace the input '%2'"))
                            .arg(native(written), native(m_jobs.at(*input).source)));
        }
        const auto other = writerOf.constFind(target);
        if (other != writerOf.constEnd()) {
            if (other->job == writer.job) {
                return fail(tr("the preview '%1' of '%2' would replace its own output")
                                .arg(native(written), native(m_jobs.at(writer.job).source)));
            }
            return fail(tr("%1 and %2 would both be written to '%3'")
                            .arg(what(*other), what(writer), native(written)));
        }
        writerOf.insert(target, writer);
        return true;
    };
    for (int i = 0; i < m_jobs.size(); ++i) {
        if (!claim({i, false}, m_jobs.at(i).output))
            return false;
    }
    for (int i = 0; i < m_jobs.size(); ++i) {
        if (!m_jobs.at(i).preview.isEmpty() && !claim({i, true}, m_jobs.at(i).preview))
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

bool BatchPlan::checkSources(const OutputPlan &outSpec, const DeviceModel *device)
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
        // A GIF for the library's GIF player: its header says whether the
        // player takes it.
        QByteArray head;
        qint64 size = 0;
        if (probe.kind == ImageKind::Gif && !readRegularFileHead(job.source, 16, &head, &size).ok())
            continue;
        QString problem = sourceProblem(outSpec, probe.kind, head);
        // The device's configuration needs the decoder for the kind.
        if (problem.isEmpty() && device)
            problem = device->refusal(DeviceImage::of(outSpec, probe.size, probe.kind));
        if (!problem.isEmpty())
            return fail(tr("%1: %2").arg(native(job.source), problem));
    }
    return true;
}
