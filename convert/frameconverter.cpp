// The frame sets of the engine's face (converter.h): an animation, a sprite
// sheet or a still image read as frames, each through the stages a still
// image takes, and written as one C file or one folder of .bin files.

#include "converter.h"

#include "animation.h"
#include "csymbol.h"
#include "imagetransform.h"
#include "outputfolder.h"
#include "outputversion.h"
#include "sharedpalette.h"

#include <QBuffer>
#include <QRegularExpression>

#include <memory>

namespace Convert {

namespace {

// The largest file read for its frame headers, as readSourceImage() reads.
constexpr qint64 MaxFrameSourceBytes = qint64(512) << 20;
// What a frame without a delay is shown for.
constexpr int DefaultFrameMs = 100;

// The frames picked from count: count itself, or maxFrames spread evenly
// (frame k_i = i * count / maxFrames), each standing for the frames up to
// the next one picked.
QVector<int> pickedFrames(int count, int maxFrames)
{
    const int kept = maxFrames > 0 ? qMin(count, maxFrames) : count;
    QVector<int> picked;
    picked.reserve(kept);
    for (int i = 0; i < kept; ++i)
        picked.append(int(qint64(i) * count / kept));
    return picked;
}

// The cells of image, left to right and top to bottom.
ConvertResult cutGrid(const QImage &image, QSize grid, const QString &path, QVector<QImage> *cells)
{
    if (image.width() % grid.width() != 0 || image.height() % grid.height() != 0) {
        return ConvertResult::unsupported(
            path,
            QStringLiteral("--grid %1x%2: the image's %3 x %4 pixels do not divide into "
                           "%1 columns and %2 rows of equal cells")
                .arg(QString::number(grid.width()), QString::number(grid.height()),
                     QString::number(image.width()), QString::number(image.height())));
    }
    const int w = image.width() / grid.width();
    const int h = image.height() / grid.height();
    for (int row = 0; row < grid.height(); ++row) {
        for (int column = 0; column < grid.width(); ++column)
            cells->append(image.copy(column * w, row * h, w, h));
    }
    return ConvertResult::success();
}

// Applies transforms to every frame alike. A trim cuts the union of the
// frames' visible boxes (after the crop), so that every frame keeps one size
// and the picture does not jump.
ConvertResult transformFrames(const TransformPlan &transforms, const QString &path,
                              QVector<QImage> *images, QStringList *notes)
{
    if (transforms.isIdentity() || images->isEmpty())
        return ConvertResult::success();
    TransformPlan rest = transforms;
    if (transforms.trim) {
        TransformPlan crop;
        crop.crop = transforms.crop;
        QRect visible;
        for (QImage &image : *images) {
            if (!crop.isIdentity()) {
                const ConvertResult cropped = applyTransforms(crop, image.size(), path, &image);
                if (!cropped.ok())
                    return cropped;
            }
            visible |= visibleRect(image);
        }
        if (visible.isNull()) {
            return ConvertResult::unsupported(
                path, QStringLiteral("--trim: no frame has a visible pixel"));
        }
        const QSize before = images->first().size();
        TransformReport cut;
        cut.trimLeft = visible.left();
        cut.trimTop = visible.top();
        cut.trimRight = before.width() - visible.right() - 1;
        cut.trimBottom = before.height() - visible.bottom() - 1;
        notes->append(trimNote(cut) + QStringLiteral(" of every frame"));
        rest.trim = false;
        rest.crop = visible;
    }
    for (QImage &image : *images) {
        const ConvertResult done = applyTransforms(rest, image.size(), path, &image);
        if (!done.ok())
            return done;
    }
    return ConvertResult::success();
}

bool isIndexedPlan(const OutputPlan &plan)
{
    return OutputVersion::of(plan).paletteEntries(plan) > 0;
}

} // namespace

bool isFrameSetFileName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{3}\\.bin|frames\\.txt)$"));
    return pattern.match(fileName).hasMatch();
}

ConvertResult frameCount(const QString &path, const FramePlan &framePlan, int *count)
{
    *count = 0;
    QByteArray data;
    const ConvertResult read = readRegularFile(path, MaxFrameSourceBytes, &data);
    if (!read.ok())
        return read;
    AnimationInfo info;
    const ConvertResult probed = readAnimationInfo(data, path, &info);
    if (!probed.ok())
        return probed;
    const int frames = framePlan.grid.isEmpty() ? info.frameCount
                                                : framePlan.grid.width() * framePlan.grid.height();
    *count = framePlan.maxFrames > 0 ? qMin(frames, framePlan.maxFrames) : frames;
    return probed;
}

ConvertResult loadFrames(const QString &path, const OutputPlan &outSpec,
                         const TransformPlan &transforms, const FramePlan &framePlan, FrameSet *set,
                         OutputPlan *planned)
{
    *set = FrameSet();
    *planned = outSpec;
    const OutputVersion &version = OutputVersion::of(outSpec);
    const QString problem = version.problem(outSpec);
    if (!problem.isEmpty())
        return ConvertResult::unsupported(path, problem);
    if (outSpec.isRaw()) {
        return ConvertResult::unsupported(
            path,
            QStringLiteral("%1 embeds the source file as it is: it has no frames")
                .arg(QLatin1String(version.formatName(outSpec))));
    }

    // Without transforms the canvas is the output and must fit it; with
    // them only the decoding budget applies, and the final size is checked.
    DecodeRequest request;
    if (transforms.isIdentity() && framePlan.grid.isEmpty())
        request.maxSide = version.maxSide();
    Animation animation;
    ConvertResult result = readAnimation(path, request, &animation);
    if (!result.ok())
        return result;
    if (animation.frames.isEmpty())
        return ConvertResult::notDecodable(path, QStringLiteral("the image has no frame"));

    // The frames of the file, or the cells of its first frame, with their
    // delays as shown.
    QVector<QImage> images;
    QVector<int> delays;
    QStringList notes;
    const bool animated = framePlan.grid.isEmpty() && animation.frames.size() > 1;
    if (!framePlan.grid.isEmpty()) {
        const ConvertResult cut =
            cutGrid(animation.frames.first().image, framePlan.grid, path, &images);
        if (!cut.ok())
            return cut;
        delays.fill(framePlan.frameMs > 0 ? framePlan.frameMs : DefaultFrameMs, images.size());
    } else {
        int zero = 0;
        for (const AnimationFrame &frame : qAsConst(animation.frames)) {
            images.append(frame.image);
            int delay = framePlan.frameMs;
            if (delay <= 0) {
                zero += animated && frame.delayMs <= 0 ? 1 : 0;
                delay = frame.delayMs > 0 ? frame.delayMs : DefaultFrameMs;
            }
            delays.append(delay);
        }
        if (zero > 0) {
            notes << QStringLiteral("%1 of %2 frames have no delay in the file: each is shown "
                                    "for %3 ms, as browsers and LVGL's GIF player show them")
                         .arg(QString::number(zero), QString::number(images.size()),
                              QString::number(DefaultFrameMs));
        }
    }
    const ImageKind kind = animation.info.kind;
    // A sprite sheet has no loop count of its own: it plays for ever.
    const int loopCount = framePlan.grid.isEmpty() ? animation.info.loopCount : 0;
    animation = Animation();

    // The frames kept, each with the delays of those it stands for.
    const QVector<int> picked = pickedFrames(images.size(), framePlan.maxFrames);
    if (picked.size() > FrameSet::MaxFrames) {
        return ConvertResult::unsupported(
            path,
            QStringLiteral("%1 frames: lv_animimg stores the frame count in an int8_t: at "
                           "most %2 frames; use --max-frames")
                .arg(QString::number(picked.size()), QString::number(FrameSet::MaxFrames)));
    }
    if (picked.size() < images.size()) {
        QVector<QImage> kept;
        QVector<int> keptDelays;
        for (int i = 0; i < picked.size(); ++i) {
            const int end = i + 1 < picked.size() ? picked.at(i + 1) : images.size();
            int delay = 0;
            for (int k = picked.at(i); k < end; ++k)
                delay += delays.at(k);
            kept.append(images.at(picked.at(i)));
            keptDelays.append(delay);
        }
        notes << QStringLiteral("--max-frames kept %1 of %2 frames")
                     .arg(QString::number(kept.size()), QString::number(images.size()));
        images = kept;
        delays = keptDelays;
    }

    const ConvertResult transformed = transformFrames(transforms, path, &images, &notes);
    if (!transformed.ok())
        return transformed;
    for (const QImage &image : qAsConst(images)) {
        const ConvertResult fits = version.checkSize(outSpec, image.size(), path);
        if (!fits.ok())
            return fits;
    }

    if (isIndexedPlan(outSpec)) {
        planned->palette =
            sharedPalette(images, version.paletteEntries(outSpec), outSpec.quantizer);
        if (planned->palette.isEmpty())
            return ConvertResult::notDecodable(path, QStringLiteral("out of memory"));
    }
    for (int i = 0; i < images.size(); ++i) {
        FrameSet::Frame frame;
        frame.source.kind = kind;
        frame.source.image = images.at(i);
        frame.source.size = images.at(i).size();
        frame.delayMs = delays.at(i);
        set->frames.append(frame);
    }
    set->loopCount = loopCount;
    const int shared = set->shareEqualFrames();
    if (shared > 0) {
        notes << (shared == 1 ? QStringLiteral("1 frame equals the frame before it and shares "
                                               "its pixels")
                              : QStringLiteral("%1 frames equal the frame before them and share "
                                               "their pixels")
                                    .arg(QString::number(shared)));
    }
    result.addNotes(notes);
    return result;
}

ConvertResult convertFrames(const QString &sourcePath, const OutputPlan &outSpec,
                            const TransformPlan &transforms, const FramePlan &framePlan,
                            const QString &outputPath, const QString &symbol, bool checkOnly,
                            int *frames)
{
    if (frames)
        *frames = 0;
    FrameSet set;
    OutputPlan plan;
    ConvertResult loaded = loadFrames(sourcePath, outSpec, transforms, framePlan, &set, &plan);
    if (!loaded.ok())
        return loaded;
    if (frames)
        *frames = set.frames.size();
    const OutputVersion &version = OutputVersion::of(plan);
    Remarks remarks;

    if (plan.binary) {
        OutputFolder folder(outputPath, isFrameSetFileName);
        QByteArray list = frameListText(set);
        std::vector<QByteArray> files;
        for (const FrameSet::Frame &frame : qAsConst(set.frames))
            files.push_back(version.binary(plan, frame.source, &remarks));
        remarks.warnings.removeDuplicates();
        ConvertResult written = checkOnly ? ConvertResult::success() : folder.create();
        if (written.ok() && !checkOnly) {
            for (int i = 0; i < set.frames.size(); ++i)
                folder.addFile(frameFileName(i), files[size_t(i)]);
            folder.addFile(QStringLiteral("frames.txt"), list);
            written = folder.commit();
        }
        remarks.addTo(&written);
        written.addNotes(loaded.notes());
        return written;
    }

    const QByteArray cName =
        (symbol.isEmpty() ? cSymbolForPath(outputPath) : cSymbol(symbol)).toUtf8();
    QString error;
    ConvertResult written = ConvertResult::success();
    if (checkOnly) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!writeFrameSetC(plan, set, cName, &buffer, &error, &remarks))
            written = ConvertResult::writeFailed(outputPath, error);
    } else {
        auto file = std::make_unique<OutputFile>(outputPath);
        written = file->create(true);
        if (written.ok() && !writeFrameSetC(plan, set, cName, file.get(), &error, &remarks)) {
            file->cancel();
            written = ConvertResult::writeFailed(outputPath, error);
        } else if (written.ok()) {
            written = file->commit();
        }
    }
    remarks.addTo(&written);
    written.addNotes(loaded.notes());
    return written;
}

} // namespace Convert
