#ifndef LVGL9ENCODER_H
#define LVGL9ENCODER_H

#include "lvgl9formats.h"
#include "outputplan.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The data of every LVGL v9 format (lvgl9formats.h), made once for an
// image from the plan's v9 part (its v9 row, strideAlign, compression,
// dither, quantizer, background): palette and rows, compressed or not,
// from which the C array (lvgl9writer.h) and the .bin are written, so that
// they cannot disagree.
// Nothing here opens a file or keeps state between calls.
namespace Convert {
namespace Lvgl9 {

// The header's flags.
constexpr quint16 FlagPremultiplied = 0x0001;
constexpr quint16 FlagCompressed = 0x0008;

// Why an image of this size cannot be written (its stride or a side does
// not fit 16 bits), or an empty string.
QString sizeProblem(const OutputPlan &plan, int width, int height);

// The stride the header carries: the format's rows rounded up to the
// alignment. Under RLE it may be wider, because LVGL's decoders (9.0 and
// 9.5) refuse a stream whose last block is partial: RGB565A8 aligns its
// rows to at least 4 bytes, so that the alpha plane is a whole number of
// 2-byte blocks, and then the stride is the smallest multiple of the
// alignment that makes all of the data a whole number of blocks. Only
// 3-byte blocks (RGB888, ARGB8565) need that, and only with an alignment of
// 2 or more: 37 x 23 RGB888 aligned to 4 takes 120 bytes, not 112, since
// 112 * 23 is not a multiple of 3. (Rows of 1-, 2- and 4-byte blocks are
// whole blocks at any alignment, and at alignment 1 a 3-byte row is too.)
int effectiveStride(const OutputPlan &plan, int width, int height);
// The stride the alignment alone gives, before RLE widens it.
int alignedStride(const OutputPlan &plan, int width);

// An encoded image: the header's fields and the data that follows it.
struct Encoded
{
    int width = 0;
    int height = 0;
    int stride = 0;
    quint16 flags = 0;
    // Room for the 12-byte header, then the data: palette and rows, or the
    // block header and the compressed bytes. The .bin is made in place.
    QByteArray bytes;
    qint64 uncompressedSize = 0;

    static constexpr int HeaderRoom = 12;
    const char *data() const { return bytes.constData() + HeaderRoom; }
    int dataSize() const { return bytes.size() - HeaderRoom; }
};

// Encodes image (or, for RAW formats, the file's bytes).
Encoded encode(const OutputPlan &plan, const QImage &image, const QByteArray &fileBytes);

// The .bin: the 12-byte header and the data, made in the encoded bytes.
QByteArray binary(const OutputPlan &plan, Encoded encoded);

// RLE as LVGL's decoder reads it: blocks of blockSize bytes; a control
// byte c with c & 0x80 is followed by c & 0x7f literal blocks, any other
// by one block that is repeated c times; at most 127 blocks a run; a
// partial last block only ever in a literal packet (the writer's own data
// never ends in one: see effectiveStride).
QByteArray rleCompress(const QByteArray &data, int blockSize);

} // namespace Lvgl9
} // namespace Convert

#endif // LVGL9ENCODER_H
