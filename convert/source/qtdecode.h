#ifndef QTDECODE_H
#define QTDECODE_H

#include "imagekinds.h"
#include "pngchunks.h"

#include <convertresult.h>

#include <QImage>

namespace Convert {
namespace Reading {

// How a Qt handler's reading shows that the data ends early.
enum class EndRule {
    // The handler reads exactly what it needs (PNG): asking for more than
    // there is means the data is cut short.
    ReadPastEnd,
    // libjpeg reads in blocks, so a short last block is normal; an empty
    // read means it wanted more and was given a made-up end marker.
    ReadAtEnd,
    // As ReadPastEnd, and Qt's BMP handler also gives up without reading
    // further when the data ends right after the colour table.
    ReadPastEndOrStopsAtEnd,
};

// Decodes input with Qt's handler for its kind into a zeroed image of the
// header's size (decodeattempt.h), turning the handler's complaints and
// what it read into a result. png is the layout of a checked PNG, null for
// the other kinds.
ConvertResult decodeWithQt(const DecodeInput &input, const PngLayout *png, EndRule rule,
                           QImage *image);

} // namespace Reading
} // namespace Convert

#endif // QTDECODE_H
