#include "pngchunks.h"

#include <byteorder.h>

#include <zlib.h>

#include <cstring>

namespace Convert {
namespace Reading {

namespace {

bool isCriticalChunk(const uchar *type)
{
    return (type[0] & 0x20) == 0;
}

bool isChunkType(const uchar *type, const char *name)
{
    return std::memcmp(type, name, 4) == 0;
}

} // namespace

PngCheck pngFailure(PngCheck::Outcome outcome, const QString &detail)
{
    PngCheck check;
    check.outcome = outcome;
    check.detail = detail;
    return check;
}

PngCheck checkPngChunks(const QByteArray &data, PngLayout *layout, bool imageDataCrc)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    layout->header = parsePngHeader(bytes + 16);
    const PngHeader &header = layout->header;
    if (header.width > LibpngMaxSide || header.height > LibpngMaxSide) {
        return pngFailure(PngCheck::Refused,
                          QStringLiteral("PNG images wider or taller than %1 pixels are not read")
                              .arg(LibpngMaxSide));
    }

    bool havePalette = false;
    qint64 pos = 8;
    for (int index = 0;; ++index) {
        if (pos == size)
            return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG has no IEND chunk"));
        if (size - pos < 12)
            return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG ends inside a chunk"));
        const quint32 length = be32(bytes + pos);
        const uchar *type = bytes + pos + 4;
        for (int i = 0; i < 4; ++i) {
            const uchar c = type[i];
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                return pngFailure(PngCheck::Corrupt, QStringLiteral("invalid PNG chunk type"));
        }
        const bool isIdat = isChunkType(type, "IDAT");
        // libpng streams IDAT chunks without holding one whole, so only the
        // format's own limit applies to them.
        if (length > 0x7fffffffu || (!isIdat && length > LibpngMaxChunk))
            return pngFailure(PngCheck::Corrupt, QStringLiteral("PNG chunk too large"));
        if (size - pos - 12 < qint64(length))
            return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG ends inside a chunk"));
        const uchar *body = type + 4;
        const QString name = QString::fromLatin1(reinterpret_cast<const char *>(type), 4);
        if (isCriticalChunk(type) && (imageDataCrc || !isIdat)
            && crc32(crc32(0, type, 4), body, length) != be32(body + length)) {
            return pngFailure(PngCheck::Corrupt,
                              QStringLiteral("CRC error in the PNG's %1 chunk").arg(name));
        }
        const qint64 chunkStart = pos;
        pos += 12 + qint64(length);

        if (isChunkType(type, "IHDR")) {
            if (index != 0)
                return pngFailure(PngCheck::Corrupt, QStringLiteral("a second PNG IHDR chunk"));
        } else if (isChunkType(type, "PLTE")) {
            if (havePalette)
                return pngFailure(PngCheck::Corrupt, QStringLiteral("a second PNG PLTE chunk"));
            havePalette = true;
            // libpng ignores a bad palette in a true-colour image, with a
            // warning; an indexed image needs 1 to 256 entries.
            if (header.colorType == 3 && (length == 0 || length > 768 || length % 3 != 0))
                return pngFailure(PngCheck::Corrupt, QStringLiteral("invalid PNG palette"));
        } else if (isIdat) {
            if (header.colorType == 3 && !havePalette)
                return pngFailure(PngCheck::Corrupt, QStringLiteral("no palette before PNG IDAT"));
            if (layout->idat.empty())
                layout->idatStart = chunkStart;
            else if (layout->idatEnd != chunkStart)
                return pngFailure(PngCheck::Corrupt,
                                  QStringLiteral("the PNG's IDAT chunks are not consecutive"));
            layout->idat.emplace_back(body, length);
            layout->idatEnd = pos;
        } else if (isChunkType(type, "IEND")) {
            if (layout->idat.empty())
                return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG has no IDAT chunk"));
            layout->end = pos;
            return PngCheck();
        } else if (isCriticalChunk(type)) {
            return pngFailure(PngCheck::Corrupt,
                              QStringLiteral("unknown critical PNG chunk %1").arg(name));
        }
    }
}

} // namespace Reading
} // namespace Convert
