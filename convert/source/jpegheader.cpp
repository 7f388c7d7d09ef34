#include "jpegheader.h"

#include <byteorder.h>

#include <cstring>

namespace Convert {
namespace Reading {

namespace {

// Steps (segments or fill bytes) a JPEG may take before its frame header.
// A photo has a few dozen segments; an ICC profile split into the most
// segments the format allows adds 255.
constexpr int MaxJpegHeaderSteps = 65536;

bool isJpegFrameMarker(uchar marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

} // namespace

bool sniffJpeg(const uchar *head, int size)
{
    return size >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff;
}

HeaderStatus readJpegHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    const auto invalid = [detail](const char *why) {
        *detail = QLatin1String(why);
        return HeaderStatus::Corrupt;
    };
    qint64 pos = 2; // past SOI
    for (int step = 0; step < MaxJpegHeaderSteps; ++step) {
        uchar marker[2];
        if (!in.get(pos, 2, marker))
            return cutShort(in, detail, "JPEG");
        if (marker[0] != 0xff)
            return invalid("the JPEG has data between its segments");
        if (marker[1] == 0xff) { // a fill byte
            ++pos;
            continue;
        }
        const uchar code = marker[1];
        pos += 2;
        if (code == 0xd8 || code == 0x01 || (code >= 0xd0 && code <= 0xd7))
            continue; // no length follows
        if (code == 0xd9 || code == 0xda || code == 0x00)
            return invalid("the JPEG has no frame header before its image data");
        if (isJpegFrameMarker(code)) {
            uchar frame[8];
            if (!in.get(pos, sizeof frame, frame))
                return cutShort(in, detail, "JPEG");
            const int height = be16(frame + 3);
            const int width = be16(frame + 5);
            if (be16(frame) < 8 || width == 0 || height == 0)
                return invalid("the JPEG frame header is invalid");
            probe->size = QSize(width, height);
            probe->decodedBytesPerPixel = 4;
            return HeaderStatus::Ok;
        }
        uchar length[2];
        if (!in.get(pos, 2, length))
            return cutShort(in, detail, "JPEG");
        if (be16(length) < 2)
            return invalid("the JPEG has a segment of impossible length");
        pos += be16(length);
    }
    return invalid("the JPEG has no frame header in its first segments");
}

QString checkJpegStructure(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    bool haveFrame = false;
    bool haveScan = false;
    qint64 pos = 2; // past SOI
    while (pos < size) {
        if (p[pos] != 0xff)
            return QStringLiteral("the JPEG has data between its segments");
        while (pos < size && p[pos] == 0xff) // fill bytes
            ++pos;
        if (pos == size)
            break;
        const uchar code = p[pos++];
        if (code == 0xd9)
            return haveScan ? QString() : QStringLiteral("the JPEG has no image data");
        if (code == 0x01 || (code >= 0xd0 && code <= 0xd7))
            continue;
        if (code == 0x00 || code == 0xd8)
            return QStringLiteral("the JPEG has a misplaced marker");
        if (size - pos < 2)
            break;
        const qint64 length = be16(p + pos);
        if (length < 2)
            return QStringLiteral("the JPEG has a segment of impossible length");
        if (size - pos < length)
            break;
        if (isJpegFrameMarker(code))
            haveFrame = true;
        pos += length;
        if (code != 0xda)
            continue;
        if (!haveFrame)
            return QStringLiteral("the JPEG has no frame header before its image data");
        haveScan = true;
        // The entropy-coded data: 0xFF 0x00 is a stuffed byte, 0xFF RSTn a
        // restart marker inside the scan.
        for (;;) {
            const void *next = std::memchr(p + pos, 0xff, size_t(size - pos));
            if (!next) {
                pos = size;
                break;
            }
            pos = static_cast<const uchar *>(next) - p;
            if (pos + 1 >= size) {
                pos = size;
                break;
            }
            const uchar after = p[pos + 1];
            if (after == 0x00 || (after >= 0xd0 && after <= 0xd7) || after == 0xff) {
                pos += after == 0xff ? 1 : 2;
                continue;
            }
            break; // the next marker
        }
    }
    return QStringLiteral("the data ends early");
}

} // namespace Reading
} // namespace Convert
