#include "pngheader.h"

#include "pngchunks.h"
#include "pngrewrite.h"
#include "qtdecode.h"

#include <formats.h>

#include <QSysInfo>

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace Convert {
namespace Reading {

namespace {

// libpng reads the data through readBytes() and reports through onError()
// and onWarning(); all three keep what they learn here.
struct PngReading
{
    explicit PngReading(const QByteArray &bytes)
        : data(bytes)
    {
    }

    const QByteArray &data;
    size_t position = 0;
    bool endsEarly = false;
    QString error;
    QStringList messages;
};

PngReading *readingOf(png_structp png, bool ioPointer)
{
    return static_cast<PngReading *>(ioPointer ? png_get_io_ptr(png) : png_get_error_ptr(png));
}

extern "C" void readBytes(png_structp png, png_bytep out, size_t length)
{
    PngReading *reading = readingOf(png, true);
    const size_t size = size_t(reading->data.size());
    if (length > size - reading->position) {
        reading->endsEarly = true;
        png_error(png, "Read Error");
    }
    std::memcpy(out, reading->data.constData() + reading->position, length);
    reading->position += length;
}

extern "C" void onError(png_structp png, png_const_charp message)
{
    readingOf(png, false)->error = QString::fromLatin1(message);
    png_longjmp(png, 1);
}

// The same words as Qt's handler gives libpng's warnings, so that the
// notes read as they always did.
extern "C" void onWarning(png_structp png, png_const_charp message)
{
    readingOf(png, false)
        ->messages.append(QStringLiteral("libpng warning: ") + QString::fromLatin1(message));
}

// Allocates *image. libpng writes every byte of a row of whole pixels;
// the rows of a format narrower than 32 bits a pixel have padding at their
// end that it does not write, so those images are zeroed first.
bool allocate(QSize size, QImage::Format format, QImage *image)
{
    *image = QImage(size, format);
    if (image->isNull())
        return false;
    if (image->depth() < 32)
        std::memset(image->bits(), 0, size_t(image->sizeInBytes()));
    return true;
}

// Sets libpng's transforms so that its rows are those of the QImage format
// Qt's PNG handler (setup_qt in Qt 5.15 and 6) picks for this header, and
// allocates *image in that format with the handler's colour table. Every
// step is the handler's, in the handler's order, since the order of
// libpng's transforms decides the pixels; gamma is left alone, as the
// handler does unless asked.
bool prepareImage(png_structp png, png_infop info, QImage *image)
{
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colorType = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
    QSize size {int(width), int(height)};
    png_set_interlace_handling(png);
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_bytep transAlpha = nullptr;
    png_color_16p transColor = nullptr;
    int transCount = 0;
    png_colorp palette = nullptr;
    int paletteCount = 0;

    if (colorType == PNG_COLOR_TYPE_GRAY) {
        if (depth == 1 && png_get_channels(png, info) == 1) {
            png_set_invert_mono(png);
            png_read_update_info(png, info);
            if (!allocate(size, QImage::Format_Mono, image))
                return false;
            image->setColorCount(2);
            image->setColor(1, qRgb(0, 0, 0));
            image->setColor(0, qRgb(255, 255, 255));
            if (png_get_tRNS(png, info, &transAlpha, &transCount, &transColor) && transColor) {
                // After the inversion, 0 is white and 1 black.
                if (transColor->gray == 0)
                    image->setColor(1, qRgba(0, 0, 0, 0));
                else if (transColor->gray == 1)
                    image->setColor(0, qRgba(255, 255, 255, 0));
            }
        } else if (depth == 16 && png_get_channels(png, info) == 1 && !hasTrns) {
            if (!allocate(size, QImage::Format_Grayscale16, image))
                return false;
            png_read_update_info(png, info);
            if (littleEndian)
                png_set_swap(png);
        } else if (depth == 16) {
            if (!hasTrns)
                png_set_filler(png, 0xffff, PNG_FILLER_AFTER);
            else
                png_set_expand(png);
            png_set_gray_to_rgb(png);
            if (!allocate(size, hasTrns ? QImage::Format_RGBA64 : QImage::Format_RGBX64, image))
                return false;
            png_read_update_info(png, info);
            if (littleEndian)
                png_set_swap(png);
        } else if (depth == 8 && !hasTrns) {
            png_set_expand(png);
            if (!allocate(size, QImage::Format_Grayscale8, image))
                return false;
            png_read_update_info(png, info);
        } else {
            if (depth < 8)
                png_set_packing(png);
            const int colours = depth < 8 ? 1 << depth : 256;
            png_read_update_info(png, info);
            if (!allocate(size, QImage::Format_Indexed8, image))
                return false;
            image->setColorCount(colours);
            for (int i = 0; i < colours; ++i) {
                const int c = i * 255 / (colours - 1);
                image->setColor(i, qRgba(c, c, c, 0xff));
            }
            if (png_get_tRNS(png, info, &transAlpha, &transCount, &transColor) && transColor
                && transColor->gray < colours)
                image->setColor(transColor->gray, 0);
        }
    } else if (colorType == PNG_COLOR_TYPE_PALETTE
               && png_get_PLTE(png, info, &palette, &paletteCount) && paletteCount <= 256) {
        if (depth != 1)
            png_set_packing(png);
        png_read_update_info(png, info);
        png_get_IHDR(png, info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
        size = QSize(int(width), int(height));
        const QImage::Format format = depth == 1 ? QImage::Format_Mono : QImage::Format_Indexed8;
        if (!allocate(size, format, image))
            return false;
        png_get_PLTE(png, info, &palette, &paletteCount);
        image->setColorCount(format == QImage::Format_Mono ? 2 : paletteCount);
        int i = 0;
        if (png_get_tRNS(png, info, &transAlpha, &transCount, &transColor) && transAlpha) {
            for (; i < transCount; ++i)
                image->setColor(
                    i, qRgba(palette[i].red, palette[i].green, palette[i].blue, transAlpha[i]));
        }
        for (; i < paletteCount; ++i)
            image->setColor(i, qRgba(palette[i].red, palette[i].green, palette[i].blue, 0xff));
        if (littleEndian)
            png_set_bgr(png);
    } else if (depth == 16 && !(colorType & PNG_COLOR_MASK_PALETTE)) {
        QImage::Format format = QImage::Format_RGBA64;
        if (!(colorType & PNG_COLOR_MASK_ALPHA) && !hasTrns) {
            png_set_filler(png, 0xffff, PNG_FILLER_AFTER);
            format = QImage::Format_RGBX64;
        }
        if (!(colorType & PNG_COLOR_MASK_COLOR))
            png_set_gray_to_rgb(png);
        if (!allocate(size, format, image))
            return false;
        png_read_update_info(png, info);
        if (littleEndian)
            png_set_swap(png);
    } else {
        // 32 bits a pixel, 0xAARRGGBB as the machine stores a word.
        if (depth == 16)
            png_set_strip_16(png);
        png_set_expand(png);
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        QImage::Format format = QImage::Format_ARGB32;
        if (!(colorType & PNG_COLOR_MASK_ALPHA) && !hasTrns) {
            png_set_filler(png, 0xff, littleEndian ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
            format = QImage::Format_RGB32;
        }
        if (!allocate(size, format, image))
            return false;
        if (!littleEndian)
            png_set_swap_alpha(png);
        else
            png_set_bgr(png);
        png_read_update_info(png, info);
    }
    return true;
}

// Qt's handler makes an index past the colour table 0.
void clampIndices(QImage *image)
{
    const int colours = image->colorCount();
    const int width = image->width();
    for (int y = 0; y < image->height(); ++y) {
        uchar *p = image->scanLine(y);
        std::replace_if(
            p, p + width, [colours](uchar index) { return index >= colours; }, uchar(0));
    }
}

// Everything between setjmp() and the last libpng call: no object with a
// destructor lives in this frame, since libpng's errors leave it by
// longjmp. False when libpng failed or the image could not be allocated.
bool runLibpng(png_structp png, png_infop info, png_infop endInfo, QImage *image)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, png_get_error_ptr(png), readBytes);
    png_read_info(png, info);
    if (!prepareImage(png, info, image))
        return false;
    const int passes = png_set_interlace_handling(png);
    uchar *const bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    const int height = image->height();
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y)
            png_read_row(png, bits + y * stride, nullptr);
    }
    png_read_end(png, endInfo);
    return true;
}

// Whether a libpng remark is about the image data (its rows and their
// zlib stream), which must be sound, not about an ancillary chunk.
bool aboutImageData(const QString &message)
{
    return message.contains(QLatin1String("IDAT"))
        || message.contains(QLatin1String("compressed data"))
        || message.contains(QLatin1String("image data"))
        || message.contains(QLatin1String("data check"));
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
// Whether a chunk of type comes before the image data.
bool hasChunkBeforeImageData(const QByteArray &data, const PngLayout &layout, const char *type)
{
    const int at = data.indexOf(QByteArray::fromRawData(type, 4), 8);
    return at >= 0 && at < layout.idatStart;
}
#endif

// Qt 6.4's PNG handler gives other pixels than Qt 5.15's (whose steps
// prepareImage() follows) for a 1-bit grey image with tRNS, 16-bit grey
// with alpha, and an image with a gAMA chunk. Those go to Qt's handler, as
// they always did, so that every build decodes them as before.
bool decodedByQt(const QByteArray &data, const PngLayout &layout)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const PngHeader &h = layout.header;
    return (h.colorType == 0 && h.depth == 1 && hasChunkBeforeImageData(data, layout, "tRNS"))
        || (h.colorType == 4 && h.depth == 16) || hasChunkBeforeImageData(data, layout, "gAMA");
#else
    Q_UNUSED(data)
    Q_UNUSED(layout)
    return false;
#endif
}

} // namespace

ConvertResult decodePng(const DecodeInput &input, QImage *image)
{
    // The chunks are walked first (cheap: their lengths and CRCs), so that
    // a damaged file is named as precisely as before and libpng only
    // meets data within its limits.
    // The CRCs of the image data, most of the file, are left to libpng,
    // which computes them as it reads: each is computed once.
    PngLayout layout;
    const PngCheck check = checkPngChunks(input.data, &layout, false);
    if (check.outcome == PngCheck::Corrupt)
        return ConvertResult::corrupt(input.path, check.detail);
    if (check.outcome == PngCheck::Refused)
        return ConvertResult::notDecodable(input.path, check.detail);
    if (decodedByQt(input.data, layout)) {
        PngLayout checked;
        const PngCheck full = checkPngChunks(input.data, &checked);
        if (full.outcome == PngCheck::Corrupt)
            return ConvertResult::corrupt(input.path, full.detail);
        return decodeWithQt(input, &checked, EndRule::ReadPastEnd, image);
    }

    PngReading reading(input.data);
    QImage decoded;
    bool ok = false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading, onError, onWarning);
    if (png) {
        png_infop info = png_create_info_struct(png);
        png_infop endInfo = png_create_info_struct(png);
        if (info && endInfo) {
            // The header was checked against the decoding budget; the
            // limits hold libpng to it should it meet another header, and
            // keep what one ancillary chunk may allocate to libpng's own
            // default (the chunk walk above refuses larger chunks).
            const png_uint_32 side = png_uint_32(std::min<qint64>(DecodeBudgetPixels, 0x7fffffff));
            png_set_user_limits(png, side, side);
            png_set_chunk_malloc_max(png,
                                     std::min<png_alloc_size_t>(LibpngMaxChunk, DecodeBudgetBytes));
#if defined(PNG_SET_OPTION_SUPPORTED) && defined(PNG_MAXIMUM_INFLATE_WINDOW)
            // As Qt's handler: a stream whose window its header understates
            // still decodes.
            png_set_option(png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
#endif
            ok = runLibpng(png, info, endInfo, &decoded);
        }
        png_destroy_read_struct(&png, info ? &info : nullptr, endInfo ? &endInfo : nullptr);
    }

    // libpng stops at the first fault it meets and stops inflating once
    // every row is there, so when it failed or said anything about the
    // image data, the image data is inflated once more, whole, as for
    // embedding: that names the fault precisely and catches a stream that
    // holds far more data after its rows than a PNG needs.
    if (!ok && reading.error == QLatin1String("IDAT: CRC error")) {
        ConvertResult failed =
            ConvertResult::corrupt(input.path, QStringLiteral("CRC error in the PNG's IDAT chunk"));
        failed.addNotes(reading.messages);
        return failed;
    }
    const bool remarkOnRows =
        std::any_of(reading.messages.cbegin(), reading.messages.cend(), aboutImageData);
    if (!ok || remarkOnRows) {
        const PngCheck rows = PngRewrite(input.data, layout).finish();
        ConvertResult failed;
        if (rows.outcome == PngCheck::Corrupt)
            failed = ConvertResult::corrupt(input.path, rows.detail);
        else if (rows.outcome == PngCheck::Refused)
            failed = ConvertResult::notDecodable(input.path, rows.detail);
        if (!failed.ok()) {
            failed.addNotes(reading.messages);
            return failed;
        }
        // The image data is sound (a little data after the rows is
        // accepted, as it always was): libpng's remarks on it are no news.
        reading.messages.erase(
            std::remove_if(reading.messages.begin(), reading.messages.end(), aboutImageData),
            reading.messages.end());
    }
    if (!ok) {
        ConvertResult failed;
        if (reading.endsEarly)
            failed = ConvertResult::corrupt(input.path, QStringLiteral("the data ends early"));
        else if (decoded.isNull() && reading.error.isEmpty())
            failed = ConvertResult::notDecodable(
                input.path, QStringLiteral("the image could not be allocated"));
        else
            failed = ConvertResult::corrupt(input.path, reading.error);
        failed.addNotes(reading.messages);
        return failed;
    }
    if (decoded.format() == QImage::Format_Indexed8 && decoded.colorCount() < 256)
        clampIndices(&decoded);
    ConvertResult result = ConvertResult::success();
    result.addNotes(reading.messages);
    *image = std::move(decoded);
    return result;
}

ConvertResult checkEmbeddedPng(const QByteArray &data, const QString &path)
{
    PngLayout layout;
    PngCheck check = checkPngChunks(data, &layout);
    if (check.outcome == PngCheck::Valid)
        check = PngRewrite(data, layout).finish();
    if (check.outcome == PngCheck::Corrupt)
        return ConvertResult::corrupt(path, check.detail);
    if (check.outcome == PngCheck::Refused)
        return ConvertResult::notDecodable(path, check.detail);
    return ConvertResult::success();
}

} // namespace Reading
} // namespace Convert
