#include "bmpheader.h"

#include <byteorder.h>

#include <climits>

namespace Convert {
namespace Reading {

namespace {

bool plausibleDibSize(quint32 size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108
        || size == 124;
}

} // namespace

bool sniffBmp(const uchar *head, int size)
{
    return size >= 18 && head[0] == 'B' && head[1] == 'M' && plausibleDibSize(le32(head + 14));
}

HeaderStatus readBmpHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    uchar size[4];
    if (!in.get(14, 4, size))
        return cutShort(in, detail, "BMP");
    int width;
    int height;
    if (le32(size) == 12) {
        uchar dims[4];
        if (!in.get(18, sizeof dims, dims))
            return cutShort(in, detail, "BMP");
        width = le16(dims);
        height = le16(dims + 2);
    } else {
        uchar dims[8];
        if (!in.get(18, sizeof dims, dims))
            return cutShort(in, detail, "BMP");
        width = qint32(le32(dims));
        const qint32 signedHeight = qint32(le32(dims + 4));
        if (signedHeight == INT_MIN) {
            *detail = QStringLiteral("the BMP header is invalid");
            return HeaderStatus::Corrupt;
        }
        height = signedHeight < 0 ? -signedHeight : signedHeight;
    }
    if (width <= 0 || height == 0) {
        *detail = QStringLiteral("the BMP header is invalid");
        return HeaderStatus::Corrupt;
    }
    probe->size = QSize(width, height);
    probe->decodedBytesPerPixel = 4;
    return HeaderStatus::Ok;
}
} // namespace Reading
} // namespace Convert
