#ifndef LEVELPACKING_H
#define LEVELPACKING_H

#include "byteorder.h"

#include <QByteArray>
#include <QRgb>
#include <QVector>

// Packing of levels and colours into the bytes of a row.
namespace Convert {

// A palette of entries entries of 4 bytes (blue, green, red, alpha) from
// colours, the entries past them zero: LVGL reads every entry.
QByteArray paletteBytes(int entries, const QVector<QRgb> &colours);

// Packs count values of bits each (1, 2, 4 or 8) into bytes, the first
// value in the most significant bits of its byte, the last byte padded
// with zero bits: ceil(count * bits / 8) bytes.
void packLevels(uchar *out, const uchar *values, int count, int bits);

// The alpha level of bits (1 to 7) nearest to each pixel's alpha:
// (a * (2^bits - 1) + 127) / 255.
void roundAlphaLevels(const QRgb *pixels, uchar *levels, int count, int bits);

} // namespace Convert

#endif // LEVELPACKING_H
