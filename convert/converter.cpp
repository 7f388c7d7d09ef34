#include "converter.h"

#include "csymbol.h"
#include "imagetransform.h"
#include "outputversion.h"
#include "remarks.h"

#include <animation.h>
#include <imagekinds.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>

#include <memory>

namespace Convert {

namespace {

QString fileMessage(const char *text, const QString &path, const QString &error)
{
    return QCoreApplication::translate("MainWindow", text).arg(path, error);
}

// The width and height the output describes: the decoded image's, or for
// a source embedded as it is, its header's.
QSize sourceSize(const SourceImage &source)
{
    return source.image.isNull() ? source.size : source.image.size();
}

// Every check that does not need the file system.
ConvertResult checkSource(const SourceImage &source, const OutputPlan &outSpec, const QString &path)
{
    const OutputVersion &version = OutputVersion::of(outSpec);
    const QString problem = version.problem(outSpec);
    if (!problem.isEmpty())
        return ConvertResult::unsupported(path, problem);
    const QSize size = sourceSize(source);
    if (source.image.isNull() && (!outSpec.isRaw() || size.isEmpty()))
        return ConvertResult::notDecodable(path, QStringLiteral("the image is empty"));
    const ConvertResult fits = version.checkSize(outSpec, size, path);
    if (!fits.ok())
        return fits;
    if (outSpec.isRaw()) {
        const QString rawProblem = sourceProblem(outSpec, source.kind, source.bytes);
        if (!rawProblem.isEmpty())
            return ConvertResult::unsupported(path, rawProblem);
        if (source.bytes.isEmpty())
            return ConvertResult::unsupported(path,
                                              QStringLiteral("a RAW format needs the source file"));
    }
    return ConvertResult::success();
}

QString memoryText(qint64 bytes)
{
    return bytes >= (qint64(1) << 20)
        ? QStringLiteral("%1 MiB").arg(double(bytes) / (1 << 20), 0, 'f', 1)
        : QStringLiteral("%1 KiB").arg((bytes + 1023) / 1024);
}

// What the library's GIF player allocates to play an embedded GIF: LVGL 8's
// holds the canvas and its decoder's frame buffers, 5, 4 or 3 bytes a pixel
// at LV_COLOR_DEPTH 32, 16 or 8; LVGL 9's an ARGB8888 canvas and about
// 20 KB of decoder state.
QString gifMemoryNote(const SourceImage &source, const OutputPlan &outSpec)
{
    const qint64 pixels = qint64(source.size.width()) * source.size.height();
    const QString w = QString::number(source.size.width());
    const QString h = QString::number(source.size.height());
    if (outSpec.lvgl() == 9)
        return QStringLiteral("the library's GIF player needs about %1 of RAM to play it (%2 x "
                              "%3 x 4 bytes in ARGB8888, plus about 20 KB of decoder state)")
            .arg(memoryText(pixels * 4 + 20 * 1000), w, h);
    const int depth = outSpec.depth == ColorDepth::Depth32 ? 32
        : outSpec.depth == ColorDepth::Depth8              ? 8
                                                           : 16;
    const int perPixel = depth == 32 ? 5 : depth == 16 ? 4 : 3;
    return QStringLiteral("the library's GIF player needs about %1 of RAM to play it at "
                          "LV_COLOR_DEPTH %2 (%3 x %4 x %5 bytes)")
        .arg(memoryText(pixels * perPixel), QString::number(depth), w, h,
             QString::number(perPixel));
}

// What the device's own decoder needs to draw an embedded PNG or JPEG: it
// holds the whole decoded image in RAM (4 bytes a pixel for PNG, 3 for
// JPEG), which a large photo does not fit on most devices.
QString rawMemoryNote(const SourceImage &source, const OutputPlan &outSpec)
{
    if (source.kind == ImageKind::Gif)
        return gifMemoryNote(source, outSpec);
    const qint64 perPixel = source.kind == ImageKind::Png ? 4 : 3;
    const qint64 bytes = qint64(source.size.width()) * source.size.height() * perPixel;
    QString note =
        QStringLiteral("the library's %1 decoder needs about %2 of RAM to draw it (%3 x "
                       "%4 x %5 bytes)")
            .arg(source.kind == ImageKind::Png ? QStringLiteral("PNG") : QStringLiteral("JPEG"),
                 memoryText(bytes), QString::number(source.size.width()),
                 QString::number(source.size.height()), QString::number(perPixel));
    if (bytes > (qint64(8) << 20))
        note += QStringLiteral(", more than most devices have");
    return note;
}

// What the GIF player of the plan's version does wrongly with an embedded
// GIF that it still plays: LVGL 9's does not restore a frame's background
// for disposal method 3.
void gifPlayerRemarks(const SourceImage &source, const OutputPlan &outSpec, Remarks *remarks)
{
    if (!outSpec.isRaw() || source.kind != ImageKind::Gif || outSpec.lvgl() != 9)
        return;
    AnimationInfo info;
    if (readAnimationInfo(source.bytes, QString(), &info).ok() && info.restoresToPrevious)
        remarks->warnings << QStringLiteral(
            "a frame has disposal method 3 (restore to previous), which LVGL 9's GIF player "
            "does not support: it leaves that frame on the canvas");
}

bool writeAll(QIODevice *device, const QByteArray &bytes, QString *error)
{
    const qint64 written = device->write(bytes);
    if (written == bytes.size())
        return true;
    if (error)
        *error = written < 0 ? device->errorString()
                             : QStringLiteral("only %1 of %2 bytes could be written")
                                   .arg(QString::number(written), QString::number(bytes.size()));
    return false;
}

// Writes the output of outSpec for source to device.
bool encodeTo(const SourceImage &source, const OutputPlan &outSpec, const QByteArray &symbol,
              QIODevice *device, QString *error, Remarks *remarks)
{
    const OutputVersion &version = OutputVersion::of(outSpec);
    if (outSpec.binary)
        return writeAll(device, version.binary(outSpec, source, remarks), error);
    return version.writeC(outSpec, source, symbol, device, error, remarks);
}

SourceImage imageOnly(const QImage &image)
{
    SourceImage source;
    source.image = image;
    return source;
}

} // namespace

OutputPlan outputPlan(OutputFormat output, ColorFormat color)
{
    OutputPlan outSpec;
    switch (output) {
    case CArray:
        switch (color) {
        case TrueColor:
            outSpec.row = &Lvgl8::format(4);
            return outSpec;
        case TrueColorAlpha:
            outSpec.row = &Lvgl8::format(5);
            return outSpec;
        case TrueColorChromaKeyed:
            outSpec.row = &Lvgl8::format(6);
            return outSpec;
        case Indexed256:
            outSpec.row = &Lvgl8::format(10);
            outSpec.quantizer = QuantizerKind::Toolkit;
            return outSpec;
        }
        break;
    case BinaryRgb332:
    case BinaryRgb565:
    case BinaryRgb565Swap:
    case BinaryRgb888: {
        // The window's binary files are "true color with alpha" at one depth.
        static const ColorDepth depths[] = {ColorDepth::Depth8, ColorDepth::Depth16,
                                            ColorDepth::Depth16Swap, ColorDepth::Depth32};
        outSpec.row = &Lvgl8::format(5);
        outSpec.binary = true;
        outSpec.depth = depths[output - BinaryRgb332];
        return outSpec;
    }
    }
    outSpec.row = static_cast<const Lvgl8::Format *>(nullptr);
    return outSpec;
}

QString specProblem(const OutputPlan &outSpec)
{
    return OutputVersion::of(outSpec).problem(outSpec);
}

QString sourceProblem(const OutputPlan &outSpec, ImageKind kind)
{
    if (!outSpec.isRaw())
        return QString();
    const char *name = OutputVersion::of(outSpec).formatName(outSpec);
    // Only a kind with a check for embedding has a decoder in LVGL (PNG,
    // JPEG, and GIF for its GIF player); BMP, WebP and SVG data cannot be
    // embedded as they are.
    const ImageKindRow *row = imageKindRow(kind);
    if (row && !row->checkEmbedded) {
        // "an SVG", as the letter's name is said; every other kind takes "a".
        const QString article = kind == ImageKind::Svg ? QStringLiteral("an") : QStringLiteral("a");
        return QStringLiteral("LVGL has no decoder for %1 data, so %3 %1 cannot be embedded as %2")
            .arg(QLatin1String(row->name), QLatin1String(name), article);
    }
    // LVGL 9 plays a GIF through its GIF player, which takes RAW; its image
    // decoders have none for a GIF as RAW_ALPHA.
    if (kind == ImageKind::Gif && outSpec.lvgl() == 9 && qstrcmp(name, "RAW") != 0)
        return QStringLiteral("LVGL has no decoder for GIF data as %1: its GIF player takes a GIF "
                              "embedded as RAW")
            .arg(QLatin1String(name));
    if (kind == ImageKind::Png && qstrcmp(name, "RAW") == 0)
        return QStringLiteral("a PNG must be embedded as RAW_ALPHA: LVGL draws a RAW PNG wrongly "
                              "at depths 8 and 16");
    return QString();
}

QString sourceProblem(const OutputPlan &outSpec, ImageKind kind, const QByteArray &head)
{
    QString problem = sourceProblem(outSpec, kind);
    if (!problem.isEmpty() || !outSpec.isRaw() || kind != ImageKind::Gif || head.size() < 11)
        return problem;
    // The logical screen descriptor (gifdecode.h): the version at bytes
    // 3-5, the canvas width u16 at 6, the global colour table flag in bit 7
    // of byte 10.
    const QByteArray version = head.mid(3, 3);
    const int width = uchar(head.at(6)) | uchar(head.at(7)) << 8;
    const bool globalTable = uchar(head.at(10)) & 0x80;
    if (outSpec.lvgl() == 8) {
        if (version != "89a")
            return QStringLiteral("LVGL 8's GIF player plays only GIF89a files, and this one is "
                                  "GIF%1")
                .arg(QString::fromLatin1(version));
        if (!globalTable)
            return QStringLiteral("LVGL 8's GIF player needs a global colour table, and this GIF "
                                  "has none (only local ones)");
        return problem;
    }
    // LV_GIF_MAX_WIDTH in LVGL 9's GIF player.
    constexpr int MaxGifWidth = 480;
    if (width > MaxGifWidth)
        return QStringLiteral("LVGL 9's GIF player refuses a canvas wider than %1 pixels "
                              "(LV_GIF_MAX_WIDTH), and this GIF is %2 wide")
            .arg(QString::number(MaxGifWidth), QString::number(width));
    return problem;
}

QString outputExtension(const OutputPlan &outSpec)
{
    return outSpec.binary ? QStringLiteral(".bin") : QStringLiteral(".c");
}

ConvertResult loadImage(const QString &path, QImage *image)
{
    SourceImage source;
    ConvertResult result = readSourceImage(path, MaxImageSide, &source);
    *image = QImage();
    if (!result.ok())
        return result;
    ConvertResult checked = checkImage(source.image, path);
    if (!checked.ok())
        return checked;
    *image = std::move(source.image);
    return result;
}

ConvertResult loadSource(const QString &path, const OutputPlan &outSpec, SourceImage *source)
{
    return loadSource(path, outSpec, DecodeRequest(), source);
}

ConvertResult loadSource(const QString &path, const OutputPlan &outSpec, DecodeRequest request,
                         SourceImage *source)
{
    const int maxSide = OutputVersion::of(outSpec).maxSide();
    request.maxSide = maxSide;
    if (!outSpec.isRaw())
        return readSourceImage(path, request, source);
    ConvertResult result = readEmbeddedSource(path, maxSide, source);
    if (result.ok() && source->kind != ImageKind::Bmp)
        result.addNotes({rawMemoryNote(*source, outSpec)});
    return result;
}

QString transformProblem(const OutputPlan &outSpec, const TransformPlan &transforms)
{
    if (transforms.isIdentity() || !outSpec.isRaw())
        return QString();
    return QStringLiteral("%1 embeds the source file as it is, for the library's own decoder: "
                          "the image cannot be cropped, trimmed, rotated, flipped or resized")
        .arg(QLatin1String(OutputVersion::of(outSpec).formatName(outSpec)));
}

ConvertResult loadSource(const QString &path, const OutputPlan &outSpec,
                         const TransformPlan &transforms, SourceImage *source,
                         TransformReport *report)
{
    if (transforms.isIdentity())
        return loadSource(path, outSpec, source);
    const QString problem = transformProblem(outSpec, transforms);
    if (!problem.isEmpty())
        return ConvertResult::unsupported(path, problem);
    // The size limit is the output's, for the final image; the source only
    // has to fit the decoding budget. The own size, from the header, is
    // what the transforms' sizes are computed from.
    auto own = std::make_shared<QSize>();
    DecodeRequest request;
    request.wantedSize = [transforms, own](QSize size) {
        *own = size;
        return transforms.wantedDecodeSize(size);
    };
    ConvertResult result = readSourceImage(path, request, source);
    if (!result.ok())
        return result;
    TransformReport done;
    const QSize ownSize = own->isValid() ? *own : source->image.size();
    ConvertResult transformed = applyTransforms(transforms, ownSize, path, &source->image, &done);
    if (!transformed.ok()) {
        *source = SourceImage();
        transformed.addNotes(result.notes());
        return transformed;
    }
    source->size = source->image.size();
    if (transforms.trim)
        result.addNotes({trimNote(done)});
    if (report)
        *report = done;
    return result;
}

ConvertResult checkImage(const QImage &image, const QString &path)
{
    if (image.isNull())
        return ConvertResult::notDecodable(path, QStringLiteral("the image is empty"));
    if (image.width() > MaxImageSide || image.height() > MaxImageSide)
        return ConvertResult::tooLarge(path, image.size());
    return ConvertResult::success();
}

bool hasWriter(OutputFormat output, ColorFormat color)
{
    return outputPlan(output, color).format() != nullptr;
}

ConvertResult encodeSource(const SourceImage &source, const OutputPlan &outSpec,
                           const QString &symbol, QByteArray *bytes)
{
    bytes->clear();
    const ConvertResult checked = checkSource(source, outSpec, QString());
    if (!checked.ok())
        return checked;
    Remarks remarks;
    gifPlayerRemarks(source, outSpec, &remarks);
    ConvertResult result = ConvertResult::success();
    if (outSpec.binary) {
        // Made in place: no copy of a large image through a buffer.
        *bytes = OutputVersion::of(outSpec).binary(outSpec, source, &remarks);
        remarks.addTo(&result);
        return result;
    }
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!encodeTo(source, outSpec, cSymbol(symbol).toUtf8(), &buffer, &error, &remarks)) {
        bytes->clear();
        return ConvertResult::writeFailed(QString(), error);
    }
    remarks.addTo(&result);
    return result;
}

ConvertResult encodeImage(const QImage &image, OutputFormat output, ColorFormat color,
                          const QString &symbol, QByteArray *bytes)
{
    if (!hasWriter(output, color)) {
        bytes->clear();
        return ConvertResult::noWriter(QString(), output, color);
    }
    return encodeSource(imageOnly(image), outputPlan(output, color), symbol, bytes);
}

ConvertResult convertSource(const SourceImage &source, const OutputPlan &outSpec,
                            const QString &outputPath, const QString &symbol, CommitGroup *group,
                            int tag)
{
    const ConvertResult checked = checkSource(source, outSpec, outputPath);
    if (!checked.ok())
        return checked;

    const QByteArray cName =
        (symbol.isEmpty() ? cSymbolForPath(outputPath) : cSymbol(symbol)).toUtf8();

    auto file = std::make_unique<OutputFile>(outputPath);
    const ConvertResult opened = file->create(!outSpec.binary);
    if (!opened.ok()) {
        qDebug().noquote() << fileMessage("The file %1 could not be opened: %2", outputPath,
                                          opened.detail().isEmpty() ? opened.reason()
                                                                    : opened.detail());
        return opened;
    }

    QString error;
    Remarks remarks;
    gifPlayerRemarks(source, outSpec, &remarks);
    if (!encodeTo(source, outSpec, cName, file.get(), &error, &remarks)) {
        file->cancel();
        qDebug().noquote() << fileMessage("The file %1 could not be written: %2", outputPath,
                                          error);
        return ConvertResult::writeFailed(outputPath, error);
    }
    if (group) {
        group->add(tag, std::move(file));
        ConvertResult written = ConvertResult::success();
        remarks.addTo(&written);
        return written;
    }
    ConvertResult committed = file->commit();
    remarks.addTo(&committed);
    if (!committed.ok()) {
        qDebug().noquote() << fileMessage("The file %1 could not be written: %2", outputPath,
                                          committed.detail().isEmpty() ? committed.reason()
                                                                       : committed.detail());
    }
    return committed;
}

ConvertResult convertImage(const QImage &image, OutputFormat output, ColorFormat color,
                           const QString &outputPath, const QString &symbol, CommitGroup *group,
                           int tag)
{
    if (!hasWriter(output, color))
        return ConvertResult::noWriter(outputPath, output, color);
    return convertSource(imageOnly(image), outputPlan(output, color), outputPath, symbol, group,
                         tag);
}

namespace {

// Writes a source that loaded with the result loaded: a failed load is the
// result, and the load's notes stay on the conversion's.
ConvertResult convertLoaded(const ConvertResult &loaded, const SourceImage &source,
                            const OutputPlan &outSpec, const QString &outputPath,
                            const QString &symbol, CommitGroup *group, int tag)
{
    if (!loaded.ok())
        return loaded;
    ConvertResult converted = convertSource(source, outSpec, outputPath, symbol, group, tag);
    converted.addNotes(loaded.notes());
    return converted;
}

} // namespace

ConvertResult convertFile(const QString &sourcePath, const OutputPlan &outSpec,
                          const QString &outputPath, const QString &symbol, CommitGroup *group,
                          int tag)
{
    // No transform: loadSource() reads the source as it is.
    return convertFile(sourcePath, outSpec, TransformPlan(), outputPath, symbol, group, tag);
}

ConvertResult convertFile(const QString &sourcePath, const OutputPlan &outSpec,
                          const TransformPlan &transforms, const QString &outputPath,
                          const QString &symbol, CommitGroup *group, int tag)
{
    SourceImage source;
    const ConvertResult loaded = loadSource(sourcePath, outSpec, transforms, &source);
    return convertLoaded(loaded, source, outSpec, outputPath, symbol, group, tag);
}

ConvertResult convertFile(const QString &sourcePath, OutputFormat output, ColorFormat color,
                          const QString &outputPath, const QString &symbol, CommitGroup *group,
                          int tag)
{
    if (!hasWriter(output, color))
        return ConvertResult::noWriter(outputPath, output, color);
    // The window's conversion reads only the kinds the window lists.
    const OutputPlan plan = outputPlan(output, color);
    DecodeRequest request;
    request.windowKindsOnly = true;
    SourceImage source;
    const ConvertResult loaded = loadSource(sourcePath, plan, request, &source);
    return convertLoaded(loaded, source, plan, outputPath, symbol, group, tag);
}

QString batchOutputPath(const QString &directory, const QString &sourcePath,
                        const QString &extension)
{
    return directory + QLatin1Char('/') + QFileInfo(sourcePath).baseName() + extension;
}

QString batchOutputPath(const QString &directory, const QString &sourcePath, OutputFormat output)
{
    return batchOutputPath(directory, sourcePath, outputExtension(output));
}

} // namespace Convert
