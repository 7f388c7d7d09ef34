#ifndef PNGHEADER_H
#define PNGHEADER_H

#include "headerreader.h"
#include "imagekinds.h"
#include "imagesource.h"

#include <convertresult.h>

#include <QImage>

namespace Convert {
namespace Reading {

// PNG: the 8-byte signature 89 50 4E 47 0D 0A 1A 0A, then chunks, each a
// big-endian u32 data length (at most 2^31 - 1), a 4-letter type, the data
// and a big-endian CRC-32 of type and data. IHDR must come first, with 13
// bytes of data: width u32, height u32 (each 1 .. 2^31 - 1), bit depth u8,
// colour type u8, compression u8 (0), filter method u8 (0), interlace u8
// (0 none, 1 Adam7).

extern const uchar PngSignature[8];

struct PngHeader
{
    quint32 width = 0;
    quint32 height = 0;
    int depth = 0;
    int colorType = 0;
    int compression = 0;
    int filter = 0;
    int interlace = 0;
};

// The 13 data bytes of IHDR.
PngHeader parsePngHeader(const uchar *p);

// Samples per pixel of a colour type, 0 for a type that does not exist.
int pngChannels(int colorType);

// What libpng's png_check_IHDR lets through: every legal pair of bit depth
// and colour type, compression and filter method 0, interlace 0 or 1.
bool validPngHeader(const PngHeader &h);

// Whether head starts with the PNG signature.
bool sniffPng(const uchar *head, int size);

// The size and decoded depth from IHDR.
HeaderStatus readPngHeader(HeaderReader &in, ImageProbe *probe, QString *detail);

// Decodes a PNG (its chunks checked first) with Qt's handler.
ConvertResult decodePng(const DecodeInput &input, QImage *image);
// Checks every chunk, CRC and row of a PNG to be embedded as it is.
ConvertResult checkEmbeddedPng(const QByteArray &data, const QString &path);

} // namespace Reading
} // namespace Convert

#endif // PNGHEADER_H
