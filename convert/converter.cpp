#include "converter.h"

#include "csymbol.h"
#include "lvgl8writer.h"
#include "lvgl9writer.h"

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

Lvgl9::Options lvgl9Options(const OutputSpec &outSpec)
{
    Lvgl9::Options options;
    options.format = outSpec.format9;
    options.strideAlign = outSpec.strideAlign;
    options.compression = outSpec.compression;
    options.dither = outSpec.dither;
    options.quantizer = outSpec.quantizer;
    options.hasBackground = outSpec.hasBackground;
    options.background = outSpec.background;
    options.include = outSpec.includeStyle();
    return options;
}

// The width and height the output describes: the decoded image's, or for
// a source embedded as it is, its header's.
QSize sourceSize(const SourceImage &source)
{
    return source.image.isNull() ? source.size : source.image.size();
}

// Every check that does not need the file system.
ConvertResult checkSource(const SourceImage &source, const OutputSpec &outSpec, const QString &path)
{
    const QString problem = specProblem(outSpec);
    if (!problem.isEmpty())
        return ConvertResult::unsupported(path, problem);
    const QSize size = sourceSize(source);
    if (source.image.isNull() && (!outSpec.isRaw() || size.isEmpty()))
        return ConvertResult::notDecodable(path, QStringLiteral("the image is empty"));
    if (outSpec.lvgl == 9) {
        const QString tooLarge =
            Lvgl9::sizeProblem(lvgl9Options(outSpec), size.width(), size.height());
        if (!tooLarge.isEmpty())
            return ConvertResult::tooLarge(path, size, tooLarge);
    } else if (size.width() > MaxImageSide || size.height() > MaxImageSide) {
        return ConvertResult::tooLarge(path, size);
    }
    if (outSpec.isRaw()) {
        const QString rawProblem = sourceProblem(outSpec, source.kind);
        if (!rawProblem.isEmpty())
            return ConvertResult::unsupported(path, rawProblem);
        if (source.bytes.isEmpty())
            return ConvertResult::unsupported(path,
                                              QStringLiteral("a RAW format needs the source file"));
    }
    return ConvertResult::success();
}

// What the device's own decoder needs to draw an embedded PNG or JPEG: it
// holds the whole decoded image in RAM (4 bytes a pixel for PNG, 3 for
// JPEG), which a large photo does not fit on most devices.
QString rawMemoryNote(const SourceImage &source)
{
    const qint64 perPixel = source.kind == ImageKind::Png ? 4 : 3;
    const qint64 bytes = qint64(source.size.width()) * source.size.height() * perPixel;
    QString note =
        QStringLiteral("the library's %1 decoder needs about %2 of RAM to draw it (%3 x "
                       "%4 x %5 bytes)")
            .arg(source.kind == ImageKind::Png ? QStringLiteral("PNG") : QStringLiteral("JPEG"),
                 bytes >= (qint64(1) << 20)
                     ? QStringLiteral("%1 MiB").arg(double(bytes) / (1 << 20), 0, 'f', 1)
                     : QStringLiteral("%1 KiB").arg((bytes + 1023) / 1024),
                 QString::number(source.size.width()), QString::number(source.size.height()),
                 QString::number(perPixel));
    if (bytes > (qint64(8) << 20))
        note += QStringLiteral(", more than most devices have");
    return note;
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

// What an encoding says without failing: notes (shown with -v) and
// warnings (always shown).
struct Remarks
{
    QStringList notes;
    QStringList warnings;

    void addTo(ConvertResult *result) const
    {
        result->addNotes(notes);
        result->addWarnings(warnings);
    }
};

void addV9Notes(const OutputSpec &outSpec, const Lvgl9::Options &options,
                const Lvgl9::Encoded &encoded, Remarks *remarks)
{
    const int aligned = Lvgl9::alignedStride(options, encoded.width);
    if (encoded.stride != aligned) {
        remarks->notes << QStringLiteral("under RLE the stride is widened from %1 to %2 bytes, so "
                                         "that LVGL reads the data as whole blocks of %3 bytes")
                              .arg(QString::number(aligned), QString::number(encoded.stride),
                                   QString::number(Lvgl9::rleBlockSize(*options.format)));
    }
    if (outSpec.compression == Lvgl9::Compression::None
        || encoded.dataSize() < encoded.uncompressedSize)
        return;
    remarks->notes << QStringLiteral("%1 does not make the data smaller (%2 bytes with its "
                                     "header, %3 without compression); written as asked")
                          .arg(outSpec.compression == Lvgl9::Compression::Rle
                                   ? QStringLiteral("RLE")
                                   : QStringLiteral("LZ4"),
                               QString::number(encoded.dataSize()),
                               QString::number(encoded.uncompressedSize));
}

QString depthSetting(ColorDepth depth)
{
    switch (depth) {
    case ColorDepth::Depth8:
        return QStringLiteral("LV_COLOR_DEPTH 8");
    case ColorDepth::Depth16:
        return QStringLiteral("LV_COLOR_DEPTH 16");
    case ColorDepth::Depth16Swap:
        return QStringLiteral("LV_COLOR_DEPTH 16 with LV_COLOR_16_SWAP");
    case ColorDepth::Depth32:
        return QStringLiteral("LV_COLOR_DEPTH 32");
    }
    return QString();
}

// One warning for each depth at which opaque pixels take the chroma key's
// value: the device leaves them out, so a part of the picture vanishes.
void addKeyWarnings(const Lvgl8::HiddenPixels &hidden, Remarks *remarks)
{
    for (int d = 0; d < ColorDepthCount; ++d) {
        const qint64 count = hidden[size_t(d)];
        if (count == 0)
            continue;
        const QString what = count == 1
            ? QStringLiteral("%1 opaque pixel near the chroma key 0x00FF00 takes its value at %2 "
                             "and is not drawn")
            : QStringLiteral("%1 opaque pixels near the chroma key 0x00FF00 take its value at %2 "
                             "and are not drawn");
        remarks->warnings << what.arg(QString::number(count), depthSetting(ColorDepth(d)))
                + QStringLiteral("; choose a key colour the image does not use "
                                 "(LV_COLOR_CHROMA_KEY), or a format with alpha");
    }
}

// The writers take the size from the image; an embedded source has none
// decoded, so its header's size is put in.
Lvgl9::Encoded encode9(const Lvgl9::Options &options, const SourceImage &source)
{
    Lvgl9::Encoded encoded = Lvgl9::encode(options, source.image, source.bytes);
    if (source.image.isNull()) {
        encoded.width = source.size.width();
        encoded.height = source.size.height();
    }
    return encoded;
}

Lvgl8::PreparedImage prepare8(const OutputSpec &outSpec, const SourceImage &source)
{
    Lvgl8::PreparedImage prepared = Lvgl8::prepare(*outSpec.format, source.image, source.bytes,
                                                   outSpec.quantizer, outSpec.dither);
    if (source.image.isNull()) {
        prepared.width = source.size.width();
        prepared.height = source.size.height();
    }
    return prepared;
}

// The whole .bin of outSpec for source, made in one buffer.
QByteArray binaryBytes(const SourceImage &source, const OutputSpec &outSpec, Remarks *remarks)
{
    if (outSpec.lvgl == 9) {
        const Lvgl9::Options options = lvgl9Options(outSpec);
        Lvgl9::Encoded encoded = encode9(options, source);
        addV9Notes(outSpec, options, encoded, remarks);
        return Lvgl9::binary(options, std::move(encoded));
    }
    const Lvgl8::PreparedImage prepared = prepare8(outSpec, source);
    Lvgl8::HiddenPixels hidden {};
    QByteArray bytes = Lvgl8::encodeBinary(prepared, outSpec.depth, outSpec.dither, &hidden);
    addKeyWarnings(hidden, remarks);
    return bytes;
}

// Writes the output of outSpec for source to device.
bool encodeTo(const SourceImage &source, const OutputSpec &outSpec, const QByteArray &symbol,
              QIODevice *device, QString *error, Remarks *remarks)
{
    if (outSpec.binary)
        return writeAll(device, binaryBytes(source, outSpec, remarks), error);
    if (outSpec.lvgl == 9) {
        const Lvgl9::Options options = lvgl9Options(outSpec);
        const Lvgl9::Encoded encoded = encode9(options, source);
        addV9Notes(outSpec, options, encoded, remarks);
        return Lvgl9::writeC(options, encoded, symbol, device, error);
    }
    const Lvgl8::PreparedImage prepared = prepare8(outSpec, source);
    Lvgl8::HiddenPixels hidden {};
    const bool written = Lvgl8::writeC(prepared, outSpec.dither, outSpec.includeStyle(), symbol,
                                       device, error, &hidden);
    addKeyWarnings(hidden, remarks);
    return written;
}

SourceImage imageOnly(const QImage &image)
{
    SourceImage source;
    source.image = image;
    return source;
}

} // namespace

OutputSpec outputSpec(OutputFormat output, ColorFormat color)
{
    OutputSpec outSpec;
    switch (output) {
    case CArray:
        switch (color) {
        case TrueColor:
            outSpec.format = &Lvgl8::format(4);
            return outSpec;
        case TrueColorAlpha:
            outSpec.format = &Lvgl8::format(5);
            return outSpec;
        case TrueColorChromaKeyed:
            outSpec.format = &Lvgl8::format(6);
            return outSpec;
        case Indexed256:
            outSpec.format = &Lvgl8::format(10);
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
        outSpec.format = &Lvgl8::format(5);
        outSpec.binary = true;
        outSpec.depth = depths[output - BinaryRgb332];
        return outSpec;
    }
    }
    outSpec.format = nullptr;
    return outSpec;
}

bool OutputSpec::isRaw() const
{
    return lvgl == 9 ? format9 && format9->layout == Lvgl9::Layout::Raw
                     : format && format->layout == Lvgl8::Layout::Raw;
}

QString specProblem(const OutputSpec &outSpec)
{
    if (outSpec.lvgl == 9) {
        if (!outSpec.format9)
            return QStringLiteral("no such output format");
        const Lvgl9::Format &f = *outSpec.format9;
        if (outSpec.hasBackground && f.alpha) {
            return QStringLiteral("%1 keeps the image's alpha; --background applies to formats "
                                  "without alpha")
                .arg(QLatin1String(f.name));
        }
        if (f.layout == Lvgl9::Layout::Raw && outSpec.compression != Lvgl9::Compression::None) {
            return QStringLiteral("%1 holds a PNG or JPEG file, which is compressed already: "
                                  "--compress does not apply")
                .arg(QLatin1String(f.name));
        }
        if (outSpec.strideAlign < 1 || outSpec.strideAlign > 1024
            || (outSpec.strideAlign & (outSpec.strideAlign - 1)) != 0)
            return QStringLiteral("the stride alignment must be a power of two up to 1024");
        if (!outSpec.binary)
            return QString();
        if (f.layout == Lvgl9::Layout::Raw) {
            return QStringLiteral("%1 exists only as a C array: LVGL does not open a .bin holding "
                                  "a PNG or JPEG (it reads such files by their own path)")
                .arg(QLatin1String(f.name));
        }
        if (!f.plainBinary && outSpec.compression == Lvgl9::Compression::None) {
            return QStringLiteral("LVGL 9.5 cannot open an uncompressed .bin of %1: write a C "
                                  "array (-f c), or compress the .bin (--compress rle or lz4)")
                .arg(QLatin1String(f.name));
        }
        return QString();
    }
    if (!outSpec.format)
        return QStringLiteral("no such output format");
    if (!outSpec.binary)
        return QString();
    if (!outSpec.format->hasBinary) {
        return QStringLiteral("%1 exists only as a C array: LVGL does not open a .bin holding a "
                              "PNG or JPEG (it reads such files by their own path)")
            .arg(QLatin1String(outSpec.format->name));
    }
    if (outSpec.format->sections && !(outSpec.format->sections & depthBit(outSpec.depth))) {
        return QStringLiteral("%1 is drawn right only at LV_COLOR_DEPTH 16 (at depth 8 it is "
                              "wrong, at depth 32 LVGL reads past it): use --depth 16 or 16swap")
            .arg(QLatin1String(outSpec.format->name));
    }
    return QString();
}

QString sourceProblem(const OutputSpec &outSpec, ImageKind kind)
{
    if (!outSpec.isRaw())
        return QString();
    const char *name = outSpec.lvgl == 9 ? outSpec.format9->name : outSpec.format->name;
    if (kind == ImageKind::Bmp)
        return QStringLiteral("LVGL has no decoder for BMP data, so a BMP cannot be embedded as %1")
            .arg(QLatin1String(name));
    if (kind == ImageKind::Png && qstrcmp(name, "RAW") == 0)
        return QStringLiteral("a PNG must be embedded as RAW_ALPHA: LVGL draws a RAW PNG wrongly "
                              "at depths 8 and 16");
    return QString();
}

QString outputExtension(const OutputSpec &outSpec)
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

ConvertResult loadSource(const QString &path, const OutputSpec &outSpec, SourceImage *source)
{
    if (!outSpec.isRaw())
        return readSourceImage(path, outSpec.maxSide(), source);
    ConvertResult result = readEmbeddedSource(path, outSpec.maxSide(), source);
    if (result.ok() && source->kind != ImageKind::Bmp)
        result.addNotes({rawMemoryNote(*source)});
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
    return outputSpec(output, color).format != nullptr;
}

ConvertResult encodeSource(const SourceImage &source, const OutputSpec &outSpec,
                           const QString &symbol, QByteArray *bytes)
{
    bytes->clear();
    const ConvertResult checked = checkSource(source, outSpec, QString());
    if (!checked.ok())
        return checked;
    Remarks remarks;
    ConvertResult result = ConvertResult::success();
    if (outSpec.binary) {
        // Made in place: no copy of a large image through a buffer.
        *bytes = binaryBytes(source, outSpec, &remarks);
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
    return encodeSource(imageOnly(image), outputSpec(output, color), symbol, bytes);
}

ConvertResult convertSource(const SourceImage &source, const OutputSpec &outSpec,
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
    return convertSource(imageOnly(image), outputSpec(output, color), outputPath, symbol, group,
                         tag);
}

ConvertResult convertFile(const QString &sourcePath, const OutputSpec &outSpec,
                          const QString &outputPath, const QString &symbol, CommitGroup *group,
                          int tag)
{
    SourceImage source;
    const ConvertResult loaded = loadSource(sourcePath, outSpec, &source);
    if (!loaded.ok())
        return loaded;
    ConvertResult converted = convertSource(source, outSpec, outputPath, symbol, group, tag);
    converted.addNotes(loaded.notes());
    return converted;
}

ConvertResult convertFile(const QString &sourcePath, OutputFormat output, ColorFormat color,
                          const QString &outputPath, const QString &symbol, CommitGroup *group,
                          int tag)
{
    if (!hasWriter(output, color))
        return ConvertResult::noWriter(outputPath, output, color);
    return convertFile(sourcePath, outputSpec(output, color), outputPath, symbol, group, tag);
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
