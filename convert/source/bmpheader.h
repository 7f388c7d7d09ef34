#ifndef BMPHEADER_H
#define BMPHEADER_H

#include "headerreader.h"
#include "imagekinds.h"
#include "imagesource.h"

#include <convertresult.h>

#include <QImage>

namespace Convert {
namespace Reading {

// BMP: a 14-byte file header ("BM", file size u32, reserved u32, pixel data
// offset u32, little-endian), then the DIB header, whose first u32 is its
// own size: 12 for BITMAPCOREHEADER (width u16, height u16, planes u16, bit
// count u16); 40, 52, 56, 64, 108 or 124 for the later ones (width i32,
// height i32, negative for rows stored top-down, planes u16, bit count u16,
// compression u32, ...).

// Whether head starts like a BMP. "BM" alone is too common a start for
// text, so the DIB header's size must be there (18 bytes) and be one that
// exists.
bool sniffBmp(const uchar *head, int size);

// The size from the DIB header.
HeaderStatus readBmpHeader(HeaderReader &in, ImageProbe *probe, QString *detail);

// Decodes a BMP with Qt's handler.
ConvertResult decodeBmp(const DecodeInput &input, QImage *image);

} // namespace Reading
} // namespace Convert

#endif // BMPHEADER_H
