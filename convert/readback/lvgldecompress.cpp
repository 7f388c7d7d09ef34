#include "lvgldecompress.h"

#include <lz4.h>

#include <cstring>

namespace Convert {
namespace Decoder {

// Expands an RLE stream (see the header) into out.
bool rleDecode(const uchar *in, qint64 inLength, int block, uchar *out, qint64 outLength,
               QString *error)
{
    qint64 i = 0;
    qint64 o = 0;
    while (o < outLength) {
        if (i >= inLength) {
            *error = QStringLiteral("the RLE data ends after %1 of %2 bytes").arg(o).arg(outLength);
            return false;
        }
        const uint control = in[i++];
        const qint64 room = outLength - o;
        if (control & 0x80) {
            const qint64 whole = qint64(control & 0x7f) * block;
            qint64 take = whole;
            if (whole > room) {
                if (whole - room >= block) {
                    *error = QStringLiteral("an RLE literal packet runs past the end of the data");
                    return false;
                }
                take = room; // the last, partial block
            }
            if (inLength - i < take) {
                *error = QStringLiteral("the RLE data ends inside a literal packet");
                return false;
            }
            // The library reads every block of a literal packet whole: one
            // that holds only the part of its last block that the image
            // needs makes it refuse the whole image.
            if (take < whole && inLength - i < whole) {
                *error = QStringLiteral("the RLE stream's last literal packet holds %1 of the %2 "
                                        "bytes of its last block: LVGL refuses the image "
                                        "(\"Decompress failed\")")
                             .arg(inLength - i - (whole - block))
                             .arg(block);
                return false;
            }
            std::memcpy(out + o, in + i, size_t(take));
            o += take;
            i += whole;
        } else {
            const qint64 total = qint64(control) * block;
            if (inLength - i < block) {
                *error = QStringLiteral("the RLE data ends inside a repeated block");
                return false;
            }
            if (total > room) {
                *error = total - room < block
                    ? QStringLiteral("the RLE data ends in a partial block of a repeat packet, "
                                     "which LVGL 9.5 drops")
                    : QStringLiteral("an RLE repeat packet runs past the end of the data");
                return false;
            }
            for (uint k = 0; k < control; ++k, o += block)
                std::memcpy(out + o, in + i, size_t(block));
            i += block;
        }
    }
    if (i != inLength) {
        *error = QStringLiteral("%1 bytes follow the end of the RLE data").arg(inLength - i);
        return false;
    }
    return true;
}

// Expands a raw LZ4 block into out, which it must fill exactly.
bool lz4Decode(const char *in, qint64 inLength, char *out, qint64 outLength, QString *error)
{
    const int n = LZ4_decompress_safe(in, out, int(inLength), int(outLength));
    if (n < 0) {
        *error = QStringLiteral("the LZ4 data is corrupt");
        return false;
    }
    if (n != outLength) {
        *error = QStringLiteral("the LZ4 data expands to %1 bytes, not %2").arg(n).arg(outLength);
        return false;
    }
    return true;
}

} // namespace Decoder
} // namespace Convert
