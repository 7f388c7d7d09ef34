#ifndef LVGL9FORMATS_H
#define LVGL9FORMATS_H

#include <QString>
#include <QtGlobal>

namespace Convert {
namespace Lvgl9 {

// The LVGL v9 image formats, one row each; one generic writer
// (lvgl9writer.cpp) makes the C array and the .bin of every row.
//
// A v9 image is a 12-byte header, little-endian:
//   byte 0      magic 0x19
//   byte 1      cf
//   bytes 2-3   flags: 0x0001 PREMULTIPLIED, 0x0008 COMPRESSED
//   bytes 4-5   width
//   bytes 6-7   height
//   bytes 8-9   stride: the bytes of one pixel row, padding included
//   bytes 10-11 reserved, 0
// then the data: for an indexed format 2^n palette entries of blue, green,
// red, alpha; then h rows of `stride` bytes, each ceil(w * bpp / 8) bytes
// of pixels (bit-packed formats with the first pixel in the most
// significant bits) and zero padding up to the stride; for RGB565A8 then h
// rows of stride / 2 alpha bytes. A compressed image's data is instead a
// 12-byte block header (u32 method: 1 RLE, 2 LZ4; u32 compressed length;
// u32 uncompressed length) and the compressed bytes of all of the above.
//
// Bytes of one pixel:
//   L8            luminance
//   AL88          luminance, alpha
//   I1 I2 I4 I8   palette index of n bits
//   A1 A2 A4 A8   alpha level of n bits (read as 0/255, v * 85, v * 17, v)
//   RGB888        blue, green, red
//   ARGB8888      blue, green, red, alpha
//   XRGB8888      blue, green, red, 0xff
//   ARGB8888_PREMULTIPLIED  blue, green, red premultiplied, rounded
//                 ((c * a + 127) / 255), alpha
//   RGB565        RGB565 low byte first
//   RGB565_SWAPPED  RGB565 high byte first
//   ARGB8565      RGB565 low byte, high byte, alpha (alpha last)
//   RGB565A8      RGB565 low byte first, in the colour rows
//   RAW RAW_ALPHA the source file, for LVGL's PNG and JPEG decoders
enum class Layout {
    L8,
    Al88,
    Indexed,
    Alpha,
    Rgb888,
    Argb8888,
    Xrgb8888,
    Argb8888Premultiplied,
    Rgb565,
    Rgb565Swapped,
    Argb8565,
    Rgb565A8,
    Raw,
};

struct Format
{
    const char *name; // the library's name without "LV_COLOR_FORMAT_"
    int cf;
    Layout layout;
    int bpp; // bits per pixel of a row (RGB565A8: of a colour row)
    int bits; // Indexed and Alpha: bits per pixel
    bool alpha; // whether the image keeps its alpha (else --background applies)
    // Whether 9.5 opens an uncompressed .bin of it (L8, AL88 and the
    // premultiplied format it does not, whatever the configuration).
    bool plainBinary;
    const char *since; // the first v9 release that draws it
    const char *purpose;
};

enum class Compression { None = 0, Rle = 1, Lz4 = 2 };

// Every v9 format, in the order of their cf numbers.
const Format *formats();
int formatCount();

// The format of that name, case-insensitively, with or without
// "LV_COLOR_FORMAT_". nullptr when none.
const Format *findFormat(const QString &name);
const Format &format(int cf);

inline int paletteEntries(const Format &format)
{
    return format.layout == Layout::Indexed ? 1 << format.bits : 0;
}

// The bytes of one pixel row without padding.
inline qint64 rowBytes(const Format &format, int width)
{
    return (qint64(width) * format.bpp + 7) / 8;
}

// The stride: rowBytes rounded up to a multiple of align (a power of two).
inline qint64 stride(const Format &format, int width, int align)
{
    const qint64 bytes = rowBytes(format, width);
    return (bytes + align - 1) / align * align;
}

// The largest width whose stride still fits the header's 16 bits.
int maxWidth(const Format &format, int align);

// The bytes of the block RLE repeats: one pixel (at least a byte), and 2
// for RGB565A8, whose colour rows and alpha plane are read alike.
inline int rleBlockSize(const Format &format)
{
    return format.layout == Layout::Rgb565A8 ? 2 : qMax(1, (format.bpp + 7) / 8);
}

// Every byte of the uncompressed data: palette, rows, RGB565A8's alpha
// rows.
qint64 dataSize(const Format &format, int width, int height, int align);
// The same for rows of rowStride bytes.
qint64 dataSizeOfStride(const Format &format, qint64 rowStride, int height);

} // namespace Lvgl9
} // namespace Convert

#endif // LVGL9FORMATS_H
