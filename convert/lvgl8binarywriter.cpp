#include "lvgl8writers.h"
#include "pixelpacking.h"
#include "pixelrows.h"
#include "textsink.h"

#include <QIODevice>

namespace Convert {
namespace Lvgl8 {

namespace {

// LV_IMG_CF_TRUE_COLOR_ALPHA: every packing carries an alpha byte.
constexpr quint32 ColorFormatTrueColorAlpha = 5;

template<BinaryPacking Packing> uchar *packRow(uchar *d, const QRgb *pixels, int width)
{
    for (int x = 0; x < width; ++x) {
        const QRgb c = pixels[x];
        if constexpr (Packing == BinaryPacking::Rgb332) {
            *d++ = rgb332(c);
        } else if constexpr (Packing == BinaryPacking::Rgb565) {
            const quint16 v = rgb565(c);
            *d++ = uchar(v & 0xff);
            *d++ = uchar(v >> 8);
        } else if constexpr (Packing == BinaryPacking::Rgb565Swap) {
            const quint16 v = rgb565(c);
            *d++ = uchar(v >> 8);
            *d++ = uchar(v & 0xff);
        } else {
            *d++ = uchar(qBlue(c));
            *d++ = uchar(qGreen(c));
            *d++ = uchar(qRed(c));
        }
        *d++ = uchar(qAlpha(c));
    }
    return d;
}

template<BinaryPacking Packing> void packPixels(uchar *d, const QImage &image)
{
    PixelRows rows(image);
    for (int y = 0; y < rows.height(); ++y)
        d = packRow<Packing>(d, rows.row(y), rows.width());
}

} // namespace

int bytesPerPixel(BinaryPacking packing)
{
    switch (packing) {
    case BinaryPacking::Rgb332:
        return 2;
    case BinaryPacking::Rgb565:
    case BinaryPacking::Rgb565Swap:
        return 3;
    case BinaryPacking::Rgb888:
        return 4;
    }
    return 0;
}

QByteArray encodeBinary(const QImage &image, BinaryPacking packing)
{
    const int width = image.width();
    const int height = image.height();
    QByteArray bytes(4 + width * height * bytesPerPixel(packing), Qt::Uninitialized);
    auto *d = reinterpret_cast<uchar *>(bytes.data());

    // Width and height are at most 2047 here, so both fit their 11 bits.
    const quint32 header = ColorFormatTrueColorAlpha | ((quint32(width) & 0x7ffu) << 10)
        | ((quint32(height) & 0x7ffu) << 21);
    d[0] = uchar(header);
    d[1] = uchar(header >> 8);
    d[2] = uchar(header >> 16);
    d[3] = uchar(header >> 24);

    switch (packing) {
    case BinaryPacking::Rgb332:
        packPixels<BinaryPacking::Rgb332>(d + 4, image);
        break;
    case BinaryPacking::Rgb565:
        packPixels<BinaryPacking::Rgb565>(d + 4, image);
        break;
    case BinaryPacking::Rgb565Swap:
        packPixels<BinaryPacking::Rgb565Swap>(d + 4, image);
        break;
    case BinaryPacking::Rgb888:
        packPixels<BinaryPacking::Rgb888>(d + 4, image);
        break;
    }
    return bytes;
}

bool writeBinary(const QImage &image, BinaryPacking packing, QIODevice *device, QString *error)
{
    const QByteArray bytes = encodeBinary(image, packing);
    const qint64 written = device->write(bytes);
    if (written == bytes.size())
        return true;
    if (error)
        *error = shortWriteError(device, written, bytes.size());
    return false;
}

} // namespace Lvgl8
} // namespace Convert
