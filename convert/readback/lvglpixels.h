#ifndef LVGLPIXELS_H
#define LVGLPIXELS_H

#include "lvglformattable.h"

#include <QRgb>

namespace Convert {
namespace Decoder {

// ---- Colours as the library shows them ----

inline QRgb expand565(uint v)
{
    const uint r = (v >> 11) & 31;
    const uint g = (v >> 5) & 63;
    const uint b = v & 31;
    return qRgb(int(r << 3 | r >> 2), int(g << 2 | g >> 4), int(b << 3 | b >> 2));
}

// RGB565 as the library widens it when it draws onto a 24- or 32-bit
// screen: 5 bits as (v * 2106) >> 8, 6 bits as (v * 1037) >> 8, which is
// up to a level below bit replication.
inline QRgb widen565(uint v)
{
    const uint r = (v >> 11) & 31;
    const uint g = (v >> 5) & 63;
    const uint b = v & 31;
    return qRgb(int((r * 2106) >> 8), int((g * 1037) >> 8), int((b * 2106) >> 8));
}

// Bit replication as for RGB565. This is the value the writers' dithering
// aims at; it has not been checked against the library's own display of
// RGB332.
inline QRgb expand332(uint v)
{
    const uint r = (v >> 5) & 7;
    const uint g = (v >> 2) & 7;
    const uint b = v & 3;
    return qRgb(int(r << 5 | r << 2 | r >> 1), int(g << 5 | g << 2 | g >> 1), int(b * 85));
}

// How a device holds colours.
enum class Reduction { None, ToRgb332, ToRgb565 };

inline QRgb reduce(Reduction reduction, QRgb c)
{
    switch (reduction) {
    case Reduction::None:
        return c;
    case Reduction::ToRgb332:
        return (expand332(uint((qRed(c) & 0xe0) | (qGreen(c) >> 5) << 2 | qBlue(c) >> 6))
                & 0xffffff)
            | (c & 0xff000000);
    case Reduction::ToRgb565:
        return (expand565(uint((qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3))
                & 0xffffff)
            | (c & 0xff000000);
    }
    return c;
}

inline int alphaLevel(int level, int bits)
{
    switch (bits) {
    case 1:
        return level ? 255 : 0;
    case 2:
        return level * 85;
    case 4:
        return level * 17;
    default:
        return level;
    }
}

// ---- Pixel rows ----

// widen: RGB565 as the library widens it for a 24- or 32-bit screen
// (widen565), otherwise by bit replication, as a 16-bit screen shows its
// own pixels.
void readColours(Packing packing, bool alpha, bool premultiplied, bool widen, const uchar *s,
                 int width, QRgb *out);

// The value of pixel x of a row of bits-wide values, most significant first.
inline int packedValue(const uchar *row, int x, int bits)
{
    if (bits == 8)
        return row[x];
    const int bit = x * bits;
    const int shift = 8 - bits - (bit & 7);
    return (row[bit >> 3] >> shift) & ((1 << bits) - 1);
}

inline qint64 packedRowBytes(int width, int bits)
{
    return (qint64(width) * bits + 7) / 8;
}

} // namespace Decoder
} // namespace Convert

#endif // LVGLPIXELS_H
