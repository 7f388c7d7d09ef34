#ifndef PNGCHUNKS_H
#define PNGCHUNKS_H

#include "pngheader.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace Convert {
namespace Reading {

// libpng's limits as built (pnglibconf.h: PNG_USER_WIDTH_MAX,
// PNG_USER_HEIGHT_MAX, PNG_USER_CHUNK_MALLOC_MAX). Past them it fails with
// an error, not a warning. The re-framed IDAT chunks are far smaller.
constexpr quint32 LibpngMaxSide = 1000000;
constexpr quint32 LibpngMaxChunk = 8000000;

// What checking a PNG's chunks or its image data came to: Corrupt for
// damaged data, Refused for data beyond what libpng reads.
struct PngCheck
{
    enum Outcome { Valid, Corrupt, Refused } outcome = Valid;
    QString detail;
};

PngCheck pngFailure(PngCheck::Outcome outcome, const QString &detail);

// Where the parts of a checked PNG are.
struct PngLayout
{
    PngHeader header;
    std::vector<std::pair<const uchar *, quint32>> idat; // the IDAT chunks' data
    qint64 idatStart = 0; // offset of the first IDAT chunk
    qint64 idatEnd = 0; // just past the last IDAT chunk
    qint64 end = 0; // just past IEND
};

// Walks the chunks of a PNG that passed its header check: every chunk
// complete, of a valid type, within libpng's size limits, with a correct
// CRC if it is critical, in an order libpng accepts, IEND present.
// With imageDataCrc false the IDAT chunks' CRCs are left to libpng, which
// checks them as it reads them.
PngCheck checkPngChunks(const QByteArray &data, PngLayout *layout, bool imageDataCrc = true);

} // namespace Reading
} // namespace Convert

#endif // PNGCHUNKS_H
