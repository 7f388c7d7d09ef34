#include "converter.h"

#include "csymbol.h"
#include "lvgl8writer.h"

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

// Every check that does not need the file system.
ConvertResult checkSource(const SourceImage &source, const OutputSpec &spec, const QString &path)
{
    const QString problem = specProblem(spec);
    if (!problem.isEmpty())
        return ConvertResult::unsupported(path, problem);
    const ConvertResult checked = checkImage(source.image, path);
    if (!checked.ok())
        return checked;
    if (spec.format->layout == Lvgl8::Layout::Raw) {
        const QString rawProblem = sourceProblem(spec, source.kind);
        if (!rawProblem.isEmpty())
            return ConvertResult::unsupported(path, rawProblem);
        if (source.bytes.isEmpty())
            return ConvertResult::unsupported(path,
                                              QStringLiteral("a RAW format needs the source file"));
    }
    return ConvertResult::success();
}

// Writes the output of spec for source to device.
bool encodeTo(const SourceImage &source, const OutputSpec &spec, const QByteArray &symbol,
              QIODevice *device, QString *error)
{
    const Lvgl8::PreparedImage prepared =
        Lvgl8::prepare(*spec.format, source.image, source.bytes, spec.quantizer, spec.dither);
    if (!spec.binary)
        return Lvgl8::writeC(prepared, spec.dither, symbol, device, error);
    const QByteArray bytes = Lvgl8::encodeBinary(prepared, spec.depth, spec.dither);
    const qint64 written = device->write(bytes);
    if (written == bytes.size())
        return true;
    if (error)
        *error = written < 0 ? device->errorString()
                             : QStringLiteral("only %1 of %2 bytes could be written")
                                   .arg(QString::number(written), QString::number(bytes.size()));
    return false;
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
    OutputSpec spec;
    switch (output) {
    case CArray:
        switch (color) {
        case TrueColor:
            spec.format = &Lvgl8::format(4);
            return spec;
        case TrueColorAlpha:
            spec.format = &Lvgl8::format(5);
            return spec;
        case TrueColorChromaKeyed:
            spec.format = &Lvgl8::format(6);
            return spec;
        case Indexed256:
            spec.format = &Lvgl8::format(10);
            spec.quantizer = QuantizerKind::Toolkit;
            return spec;
        }
        break;
    case BinaryRgb332:
    case BinaryRgb565:
    case BinaryRgb565Swap:
    case BinaryRgb888: {
        // The window's binary files are "true color with alpha" at one depth.
        static const ColorDepth depths[] = {ColorDepth::Depth8, ColorDepth::Depth16,
                                            ColorDepth::Depth16Swap, ColorDepth::Depth32};
        spec.format = &Lvgl8::format(5);
        spec.binary = true;
        spec.depth = depths[output - BinaryRgb332];
        return spec;
    }
    }
    spec.format = nullptr;
    return spec;
}

QString specProblem(const OutputSpec &spec)
{
    if (!spec.format)
        return QStringLiteral("no such output format");
    if (!spec.binary)
        return QString();
    if (!spec.format->hasBinary) {
        return QStringLiteral("%1 exists only as a C array: LVGL does not open a .bin holding a "
                              "PNG or JPEG (it reads such files by their own path)")
            .arg(QLatin1String(spec.format->name));
    }
    if (spec.format->sections && !(spec.format->sections & depthBit(spec.depth))) {
        return QStringLiteral("%1 is drawn right only at LV_COLOR_DEPTH 16 (at depth 8 it is "
                              "wrong, at depth 32 LVGL reads past it): use --depth 16 or 16swap")
            .arg(QLatin1String(spec.format->name));
    }
    return QString();
}

QString sourceProblem(const OutputSpec &spec, ImageKind kind)
{
    if (!spec.format || spec.format->layout != Lvgl8::Layout::Raw)
        return QString();
    if (kind == ImageKind::Bmp)
        return QStringLiteral("LVGL has no decoder for BMP data, so a BMP cannot be embedded as %1")
            .arg(QLatin1String(spec.format->name));
    if (kind == ImageKind::Png && spec.format->cf == 1)
        return QStringLiteral("a PNG must be embedded as RAW_ALPHA: LVGL draws a RAW PNG wrongly "
                              "at depths 8 and 16");
    return QString();
}

QString outputExtension(const OutputSpec &spec)
{
    return spec.binary ? QStringLiteral(".bin") : QStringLiteral(".c");
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

ConvertResult encodeSource(const SourceImage &source, const OutputSpec &spec, const QString &symbol,
                           QByteArray *bytes)
{
    bytes->clear();
    const ConvertResult checked = checkSource(source, spec, QString());
    if (!checked.ok())
        return checked;
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!encodeTo(source, spec, cSymbol(symbol).toUtf8(), &buffer, &error)) {
        bytes->clear();
        return ConvertResult::writeFailed(QString(), error);
    }
    return ConvertResult::success();
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

ConvertResult convertSource(const SourceImage &source, const OutputSpec &spec,
                            const QString &outputPath, const QString &symbol, CommitGroup *group,
                            int tag)
{
    const ConvertResult checked = checkSource(source, spec, outputPath);
    if (!checked.ok())
        return checked;

    const QByteArray cName =
        (symbol.isEmpty() ? cSymbolForPath(outputPath) : cSymbol(symbol)).toUtf8();

    auto file = std::make_unique<OutputFile>(outputPath);
    const ConvertResult opened = file->create(!spec.binary);
    if (!opened.ok()) {
        qDebug().noquote() << fileMessage("The file %1 could not be opened: %2", outputPath,
                                          opened.detail().isEmpty() ? opened.reason()
                                                                    : opened.detail());
        return opened;
    }

    QString error;
    if (!encodeTo(source, spec, cName, file.get(), &error)) {
        file->cancel();
        qDebug().noquote() << fileMessage("The file %1 could not be written: %2", outputPath,
                                          error);
        return ConvertResult::writeFailed(outputPath, error);
    }
    if (group) {
        group->add(tag, std::move(file));
        return ConvertResult::success();
    }
    const ConvertResult committed = file->commit();
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

ConvertResult convertFile(const QString &sourcePath, const OutputSpec &spec,
                          const QString &outputPath, const QString &symbol, CommitGroup *group,
                          int tag)
{
    SourceImage source;
    const ConvertResult loaded = readSourceImage(sourcePath, MaxImageSide, &source);
    if (!loaded.ok())
        return loaded;
    ConvertResult converted = convertSource(source, spec, outputPath, symbol, group, tag);
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

ConvertResult writeTrueColorC(const QImage &image, const QString &outputPath, bool chromaKeyed)
{
    return convertImage(image, CArray, chromaKeyed ? TrueColorChromaKeyed : TrueColor, outputPath);
}

ConvertResult writeTrueColorAlphaC(const QImage &image, const QString &outputPath)
{
    return convertImage(image, CArray, TrueColorAlpha, outputPath);
}

ConvertResult writeIndexed8C(const QImage &image, const QString &outputPath)
{
    return convertImage(image, CArray, Indexed256, outputPath);
}

ConvertResult writeRgb332Bin(const QImage &image, const QString &outputPath)
{
    return convertImage(image, BinaryRgb332, TrueColor, outputPath);
}

ConvertResult writeRgb565Bin(const QImage &image, const QString &outputPath)
{
    return convertImage(image, BinaryRgb565, TrueColor, outputPath);
}

ConvertResult writeRgb565SwapBin(const QImage &image, const QString &outputPath)
{
    return convertImage(image, BinaryRgb565Swap, TrueColor, outputPath);
}

ConvertResult writeRgb888Bin(const QImage &image, const QString &outputPath)
{
    return convertImage(image, BinaryRgb888, TrueColor, outputPath);
}

} // namespace Convert
