#ifndef DECODEATTEMPT_H
#define DECODEATTEMPT_H

#include "imagesource.h"
#include "pngchunks.h"

#include <QImage>
#include <QStringList>

namespace Convert {
namespace Reading {

// What one decode with Qt's handler came to.
struct DecodeAttempt
{
    QImage image;
    bool read = false;
    bool filledPrepared = false; // the decoder wrote into the zeroed image
    bool readPastEnd = false;
    bool readAtEnd = false;
    bool consumedAll = false;
    QString error;
    QStringList messages;
    PngCheck png; // what became of the source's PNG image data
};

// Qt 6's image handlers refuse to allocate an image of more than
// QImageReader::allocationLimit() MiB themselves (128 by default; Qt 5 has
// no such limit). They skip that check when they reuse a destination, as
// decodeOnce() prepares one, but the retry for a handler that picks another
// format than it announced lets the handler allocate. Sources have been
// checked against the decoding budget from their header by then, so the
// limit is raised, once for the process, to hold the budget.
void allowDecodeBudget();

// One decode with Qt's handler for kind. The destination is allocated
// first, zero-filled, at the header's size and in format (or the format
// the handler announces). The BMP (read_dib_body), PNG (setup_qt) and JPEG
// (ensureValidImage) handlers of Qt 5.15 and 6.4 all keep a destination
// whose size and format match what they would allocate and write into it,
// so a row or pixel they skip (a BMP cut short, an RLE bitmap that jumps
// over pixels) stays zero instead of holding whatever the heap held before.
// png is the layout of a checked PNG, null for the other kinds.
DecodeAttempt decodeOnce(const QByteArray &data, const PngLayout *png, ImageKind kind, QSize size,
                         QImage::Format format);

} // namespace Reading
} // namespace Convert

#endif // DECODEATTEMPT_H
