#ifndef LVGL8WRITERS_H
#define LVGL8WRITERS_H

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

namespace Convert {

// The writers of the LVGL v8 formats. Each encodes one image into one
// complete output on a device and checks every write; none of them opens,
// commits or names a file (see converter.h for that), and none keeps state
// between calls, so different images can be encoded on different threads.
//
// The image must already be checked (not null, sides at most MaxImageSide).
// The symbol is the C identifier the arrays are named after.
namespace Lvgl8 {

// "True color" and "True color chroma keyed": the image four times, once
// for each LV_COLOR_DEPTH, each copy guarded by #if:
//   depth 1/8        RGB332                                  1 byte
//   depth 16         RGB565, low byte first                  2 bytes
//   depth 16 swapped RGB565, high byte first                 2 bytes
//   depth 32         blue, green, red, 0xff                  4 bytes
// .data_size is "<pixels> * LV_COLOR_SIZE / 8". Alpha is not read.
bool writeTrueColorC(const QImage &image, const QByteArray &symbol, bool chromaKeyed,
                     QIODevice *device, QString *error);

// "True color with alpha": the same four sections, each pixel followed by
// its alpha byte (2, 3, 3 and 4 bytes; at depth 32 blue, green, red, alpha).
// .data_size is "<pixels> * LV_IMG_PX_SIZE_ALPHA_BYTE".
bool writeTrueColorAlphaC(const QImage &image, const QByteArray &symbol, QIODevice *device,
                          QString *error);

// "Indexed 256 colors": a palette of 256 entries of blue, green, red, alpha
// (the image's colour table, then entries of four zero bytes up to index
// 255, because LVGL always reads 256 entries before the indices), an empty
// line, then one index byte per pixel. .data_size is pixels + 1024.
// An image that is not Format_Indexed8 is converted first, with Qt's
// default palette choice and dithering.
bool writeIndexed8C(const QImage &image, const QByteArray &symbol, QIODevice *device,
                    QString *error);

// Binary image files: a 4-byte little-endian header word followed by the
// pixels, row by row, with no padding:
//   bits  0-4   colour format, always 5 (LV_IMG_CF_TRUE_COLOR_ALPHA)
//   bits  5-9   zero (always_zero and reserved)
//   bits 10-20  width
//   bits 21-31  height
// Each pixel is its colour followed by its alpha byte:
//   Rgb332       RGB332, alpha                       2 bytes
//   Rgb565       RGB565 low byte, high byte, alpha   3 bytes
//   Rgb565Swap   RGB565 high byte, low byte, alpha   3 bytes
//   Rgb888       blue, green, red, alpha             4 bytes
// The file is exactly 4 + width * height * bytes per pixel long.
enum class BinaryPacking { Rgb332, Rgb565, Rgb565Swap, Rgb888 };

int bytesPerPixel(BinaryPacking packing);
QByteArray encodeBinary(const QImage &image, BinaryPacking packing);
bool writeBinary(const QImage &image, BinaryPacking packing, QIODevice *device, QString *error);

} // namespace Lvgl8
} // namespace Convert

#endif // LVGL8WRITERS_H
