#ifndef WEBPDECODE_H
#define WEBPDECODE_H

#include "headerreader.h"
#include "imagekinds.h"
#include "imagesource.h"

#include <convertresult.h>

#include <QImage>
#include <QSize>
#include <QVector>

namespace Convert {
namespace Reading {

// WebP: a RIFF file, "RIFF", a little-endian u32 size of what follows it
// (so the file is that size plus 8 bytes), "WEBP", then chunks: a FourCC, a
// little-endian u32 payload size, the payload, padded to an even length.
// The first chunk says which of three layouts it is:
// - "VP8 " (lossy): a 3-byte frame tag, the start code 9D 01 2A, then width
//   and height as little-endian u16s whose low 14 bits are the size;
// - "VP8L" (lossless): the signature byte 2F, then 14 bits width - 1 and 14
//   bits height - 1, least significant bit first;
// - "VP8X" (extended): flags u8 (0x10 alpha, 0x02 animation), 3 reserved
//   bytes, canvas width - 1 and canvas height - 1 as little-endian u24s,
//   then the image's own chunks (or the animation's frames).

// Whether head starts with "RIFF", a size and "WEBP".
bool sniffWebp(const uchar *head, int size);

// The canvas size from the first chunk, without decoding; an animation's
// decoded depth counts the decoder's canvas and previous frame too.
HeaderStatus readWebpHeader(HeaderReader &in, ImageProbe *probe, QString *detail);

// Decodes a still WebP with libwebp, or the first frame of an animated one,
// into ARGB32 (RGB32 for a still image without alpha). A RIFF size past the
// data and data that ends early are Corrupt.
ConvertResult decodeWebp(const DecodeInput &input, QImage *image);

// What the chunks of an animated WebP say, read by libwebp's demuxer
// without decoding a frame: the canvas, how often it plays (0 for ever)
// and each frame's duration in milliseconds.
struct WebpAnimationHeaders
{
    QSize canvas;
    int loopCount = 0;
    QVector<int> durationsMs;
};

// Reads the headers of data; *animated is false for a still WebP, whose
// headers are then not read. A RIFF size past the data and chunks that end
// early are Corrupt.
ConvertResult readWebpAnimationHeaders(const QByteArray &data, const QString &path, bool *animated,
                                       WebpAnimationHeaders *headers);

// Decodes every frame of an animated WebP with libwebp's animation decoder,
// which blends and disposes them as the file says, into canvas-sized
// ARGB32 images. expected is the frame count its headers give; a frame that
// cannot be decoded fails the whole file.
ConvertResult decodeWebpFrames(const QByteArray &data, const QString &path, int expected,
                               QVector<QImage> *frames);

} // namespace Reading
} // namespace Convert

#endif // WEBPDECODE_H
