#include "lvglformattable.h"

namespace Convert {
namespace Decoder {

const FormatRow *findFormat(int version, int cf)
{
    for (const FormatRow &row : formatTable) {
        if (row.version == version && row.cf == cf)
            return &row;
    }
    return nullptr;
}

QString libraryName(const FormatRow &row)
{
    return (row.version == 8 ? QLatin1String("LV_IMG_CF_") : QLatin1String("LV_COLOR_FORMAT_"))
        + QLatin1String(row.name);
}

int bitsPerPixel(const FormatRow &row)
{
    switch (row.layout) {
    case Layout::Indexed:
    case Layout::AlphaOnly:
        return row.bits;
    case Layout::Colour:
        return (packingBytes(row.packing) + (row.alpha ? 1 : 0)) * 8;
    case Layout::PlanarAlpha:
        return 16;
    case Layout::Raw:
    case Layout::DepthColour:
        break;
    }
    return 0;
}

} // namespace Decoder
} // namespace Convert
