#ifndef LVGL8WRITER_H
#define LVGL8WRITER_H

#include "lvgl8cframe.h"
#include "lvgl8sections.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace Convert {
class TextSink;
}

// The one writer of every LVGL v8 format (lvgl8formats.h): the C array and
// the .bin of a prepared image, both made from the same SectionEncoder
// bytes, so that they cannot disagree. Neither opens, names or commits a
// file, and neither keeps state between calls, so different images can be
// written on different threads. The image's sides must already be checked
// (at most MaxImageSide).
namespace Convert {
namespace Lvgl8 {

// The C file (frame in lvgl8cframe.h). A format with depth sections gets
// one "#if LV_COLOR_DEPTH" section per depth it is drawn at, each with its
// comment line and its rows; RGB565A8, drawn only at depth 16, also gets an
// #error for any other depth. An indexed format's body is its palette
// lines ("  0xBB, 0xGG, 0xRR, 0xAA, /*Color of index N*/"), an empty line
// and its rows; an alpha format's body is its rows; a RAW format's is the
// file's bytes, 16 a line. A row line is two spaces and "0xHH, " for every
// byte of one image row (or plane row). include chooses the include lines,
// placement the array's attributes (lvgl8cframe.h).
// hidden, if given, gets each section's count of SectionEncoder::hiddenPixels().
bool writeC(const PreparedImage &prepared, bool dither, IncludeStyle include,
            const QByteArray &symbol, QIODevice *device, QString *error,
            HiddenPixels *hidden = nullptr, const Placement &placement = {});

// The pieces of writeC(), for a file of several images: the banner and the
// include lines; each image's array (none when sharedData names an earlier
// image's array, which its descriptor then points to) and descriptor; and
// the end marker (appendEnd() in lvgl8cframe.h). writeC() is appendHead(),
// appendImage() with no sharedData and appendEnd().
void appendHead(TextSink &out, IncludeStyle include);
void appendImage(TextSink &out, const PreparedImage &prepared, bool dither,
                 const QByteArray &symbol, const QByteArray &sharedData, HiddenPixels *hidden,
                 const Placement &placement = {});

// The .bin: the 4-byte header word (bits 0-4 cf, 5-9 zero, 10-20 width,
// 21-31 height, little-endian) and the bytes of the section for depth
// (ignored by formats without depth sections). Not for RAW formats.
// hidden, if given, gets the section's count of hidden pixels at depth.
QByteArray encodeBinary(const PreparedImage &prepared, ColorDepth depth, bool dither,
                        HiddenPixels *hidden = nullptr);

} // namespace Lvgl8
} // namespace Convert

#endif // LVGL8WRITER_H
