#include "converter.h"

#include "csymbol.h"
#include "imagesource.h"
#include "lvgl8writers.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <memory>

namespace Convert {

namespace {

Lvgl8::BinaryPacking binaryPacking(OutputFormat output)
{
    switch (output) {
    case BinaryRgb332:
        return Lvgl8::BinaryPacking::Rgb332;
    case BinaryRgb565:
        return Lvgl8::BinaryPacking::Rgb565;
    case BinaryRgb565Swap:
        return Lvgl8::BinaryPacking::Rgb565Swap;
    default:
        return Lvgl8::BinaryPacking::Rgb888;
    }
}

// Encodes with the LVGL v8 writer for the pair. A later header layout adds
// its own writers and its own dispatch beside this one.
bool encodeLvgl8(const QImage &image, OutputFormat output, ColorFormat color,
                 const QByteArray &symbol, QIODevice *device, QString *error)
{
    switch (output) {
    case CArray:
        switch (color) {
        case TrueColor:
            return Lvgl8::writeTrueColorC(image, symbol, false, device, error);
        case TrueColorAlpha:
            return Lvgl8::writeTrueColorAlphaC(image, symbol, device, error);
        case TrueColorChromaKeyed:
            return Lvgl8::writeTrueColorC(image, symbol, true, device, error);
        case Indexed256:
            return Lvgl8::writeIndexed8C(image, symbol, device, error);
        }
        break;
    case BinaryRgb332:
    case BinaryRgb565:
    case BinaryRgb565Swap:
    case BinaryRgb888:
        return Lvgl8::writeBinary(image, binaryPacking(output), device, error);
    }
    Q_UNREACHABLE();
    return false;
}

QString fileMessage(const char *text, const QString &path, const QString &error)
{
    return QCoreApplication::translate("MainWindow", text).arg(path, error);
}

} // namespace

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
    return isBinary(output) || (output == CArray && isValid(color));
}

ConvertResult encodeImage(const QImage &image, OutputFormat output, ColorFormat color,
                          const QString &symbol, QByteArray *bytes)
{
    bytes->clear();
    if (!hasWriter(output, color))
        return ConvertResult::noWriter(QString(), output, color);
    const ConvertResult checked = checkImage(image, QString());
    if (!checked.ok())
        return checked;

    // A binary image is built in one buffer of its final size anyway.
    if (isBinary(output)) {
        *bytes = Lvgl8::encodeBinary(image, binaryPacking(output));
        return ConvertResult::success();
    }

    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!encodeLvgl8(image, output, color, cSymbol(symbol).toUtf8(), &buffer, &error)) {
        bytes->clear();
        return ConvertResult::writeFailed(QString(), error);
    }
    return ConvertResult::success();
}

ConvertResult convertImage(const QImage &image, OutputFormat output, ColorFormat color,
                           const QString &outputPath, const QString &symbol, CommitGroup *group,
                           int tag)
{
    if (!hasWriter(output, color))
        return ConvertResult::noWriter(outputPath, output, color);
    const ConvertResult checked = checkImage(image, outputPath);
    if (!checked.ok())
        return checked;

    const QByteArray cName =
        (symbol.isEmpty() ? cSymbolForPath(outputPath) : cSymbol(symbol)).toUtf8();

    auto file = std::make_unique<OutputFile>(outputPath);
    const ConvertResult opened = file->create(output == CArray);
    if (!opened.ok()) {
        qDebug().noquote() << fileMessage("The file %1 could not be opened: %2", outputPath,
                                          opened.detail().isEmpty() ? opened.reason()
                                                                    : opened.detail());
        return opened;
    }

    QString error;
    if (!encodeLvgl8(image, output, color, cName, file.get(), &error)) {
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

ConvertResult convertFile(const QString &sourcePath, OutputFormat output, ColorFormat color,
                          const QString &outputPath, const QString &symbol, CommitGroup *group,
                          int tag)
{
    QImage image;
    const ConvertResult loaded = loadImage(sourcePath, &image);
    if (!loaded.ok())
        return loaded;
    ConvertResult converted = convertImage(image, output, color, outputPath, symbol, group, tag);
    converted.addNotes(loaded.notes());
    return converted;
}

QString batchOutputPath(const QString &directory, const QString &sourcePath, OutputFormat output)
{
    return directory + QLatin1Char('/') + QFileInfo(sourcePath).baseName()
        + outputExtension(output);
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
