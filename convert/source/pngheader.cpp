#include "pngheader.h"

#include <byteorder.h>

#include <cstring>

namespace Convert {
namespace Reading {

const uchar PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};

PngHeader parsePngHeader(const uchar *p)
{
    PngHeader header;
    header.width = be32(p);
    header.height = be32(p + 4);
    header.depth = p[8];
    header.colorType = p[9];
    header.compression = p[10];
    header.filter = p[11];
    header.interlace = p[12];
    return header;
}

int pngChannels(int colorType)
{
    switch (colorType) {
    case 0: // grey
    case 3: // palette index
        return 1;
    case 4: // grey and alpha
        return 2;
    case 2: // RGB
        return 3;
    case 6: // RGBA
        return 4;
    default:
        return 0;
    }
}

bool validPngHeader(const PngHeader &h)
{
    if (h.width == 0 || h.height == 0 || h.width > 0x7fffffffu || h.height > 0x7fffffffu)
        return false;
    bool depthOk = false;
    switch (h.colorType) {
    case 0:
        depthOk = h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8 || h.depth == 16;
        break;
    case 3:
        depthOk = h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8;
        break;
    case 2:
    case 4:
    case 6:
        depthOk = h.depth == 8 || h.depth == 16;
        break;
    default:
        break;
    }
    return depthOk && h.compression == 0 && h.filter == 0 && (h.interlace == 0 || h.interlace == 1);
}

bool sniffPng(const uchar *head, int size)
{
    return size >= 8 && std::memcmp(head, PngSignature, 8) == 0;
}

HeaderStatus readPngHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    // IHDR's length, type and data follow the signature.
    uchar chunk[21];
    if (!in.get(8, sizeof chunk, chunk))
        return cutShort(in, detail, "PNG");
    if (be32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0) {
        *detail = QStringLiteral("the PNG does not start with a 13-byte IHDR chunk");
        return HeaderStatus::Corrupt;
    }
    const PngHeader header = parsePngHeader(chunk + 8);
    if (!validPngHeader(header)) {
        *detail = QStringLiteral("the PNG header is invalid");
        return HeaderStatus::Corrupt;
    }
    probe->size = QSize(int(header.width), int(header.height));
    probe->decodedBytesPerPixel = header.depth == 16 ? 8 : 4;
    return HeaderStatus::Ok;
}
} // namespace Reading
} // namespace Convert
