#ifndef JPEGHEADER_H
#define JPEGHEADER_H

#include "headerreader.h"
#include "imagekinds.h"
#include "imagesource.h"

#include <convertresult.h>

#include <QImage>

#include <QByteArray>

namespace Convert {
namespace Reading {

// JPEG: FF D8 (SOI), then segments: FF (any number of FF fill bytes), a
// marker code and, except for the standalone markers SOI, TEM (01) and
// RST0..7 (D0..D7), a big-endian u16 length that counts itself but not the
// marker. The frame header SOFn (C0..CF except C4 DHT, C8 JPG and CC DAC)
// holds length u16, sample precision u8, height u16, width u16, component
// count u8. It must come before the first scan (DA) and the end (D9).

// Whether head starts with SOI and another marker.
bool sniffJpeg(const uchar *head, int size);

// The size from the frame header, found by following the segments before it.
HeaderStatus readJpegHeader(HeaderReader &in, ImageProbe *probe, QString *detail);

// Follows a whole JPEG without decoding it: every segment complete, a frame
// header before the first scan, each scan's entropy-coded data ending at
// a marker (0xFF followed by a byte other than 0x00 and RST0..7), and the
// end marker EOI at last. This is what a file embedded for the library's
// own decoder must hold; its pixels are that decoder's business.
// Empty when the structure is whole, else what is wrong.
QString checkJpegStructure(const QByteArray &data);

// Decodes a JPEG with Qt's handler.
ConvertResult decodeJpeg(const DecodeInput &input, QImage *image);
// checkJpegStructure() as a result, for a JPEG to be embedded as it is.
ConvertResult checkEmbeddedJpeg(const QByteArray &data, const QString &path);

} // namespace Reading
} // namespace Convert

#endif // JPEGHEADER_H
