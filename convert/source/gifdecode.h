#ifndef GIFDECODE_H
#define GIFDECODE_H

#include "headerreader.h"
#include "imagekinds.h"
#include "imagesource.h"

#include <convertresult.h>

#include <QImage>

namespace Convert {
namespace Reading {

// GIF: the signature "GIF87a" or "GIF89a", the logical screen descriptor
// (canvas width u16, canvas height u16, little-endian; flags u8, whose bit
// 7 says a global colour table of 2^(bits 0-2 + 1) RGB entries follows;
// background index u8; aspect u8), then blocks until the trailer 3B:
// - extensions 21, a label and data sub-blocks (a length u8, then that
//   many bytes; length 0 ends them); the graphic control extension (label
//   F9) holds the transparent index of the image after it;
// - images 2C: left, top, width, height (u16 each), flags u8 (bit 7 a local
//   colour table follows, bit 6 the rows are interlaced), the LZW minimum
//   code size u8 and the data sub-blocks.

// Whether head starts with "GIF87a" or "GIF89a".
bool sniffGif(const uchar *head, int size);

// The canvas (logical screen) size.
HeaderStatus readGifHeader(HeaderReader &in, ImageProbe *probe, QString *detail);

// Decodes the first image with giflib onto a transparent canvas of the
// logical screen's size, and follows the blocks after it to the trailer. A
// frame outside the canvas and data that ends early are Corrupt; a file
// without an image is not decodable.
ConvertResult decodeGif(const DecodeInput &input, QImage *image);

// Checks a GIF to be embedded as it is (the library's GIF player): its
// blocks to the trailer and every frame's compressed rows, without
// drawing them. Data that ends early or is damaged is Corrupt.
ConvertResult checkEmbeddedGif(const QByteArray &data, const QString &path);

// How messages name frame index (from 0): "the first frame", "frame 2".
QString gifFrameName(int index);

} // namespace Reading
} // namespace Convert

#endif // GIFDECODE_H
