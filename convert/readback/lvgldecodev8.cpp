// Decoding a v8 image's data.
#include "lvgldecoding.h"

namespace Convert {
namespace Decoder {

bool Decoding::decodeV8(const QByteArray &data, qint64 present, qint64 dataSize)
{
    const FormatRow &row = *m_format;
    LvglImageInfo &i = info();
    const int w = i.width;
    const int h = i.height;
    const qint64 pixels = qint64(w) * h;
    i.bytesPresent = present;
    if (i.flags)
        warn(QStringLiteral("the header's always_zero and reserved bits are 0x%1, not 0")
                 .arg(i.flags, 0, 16));
    if (w == 1 || h == 1)
        warn(QStringLiteral("the image is %1 pixel %2: the v8.3 image widget does not draw it "
                            "at all")
                 .arg(1)
                 .arg(w == 1 ? QLatin1String("wide") : QLatin1String("tall")));
    if (m_device.depth != 0 && m_device.depth != 8 && m_device.depth != 16 && m_device.depth != 32)
        return fail(QStringLiteral("an LVGL v8 image is shown here at LV_COLOR_DEPTH 8, 16 or 32, "
                                   "not %1")
                        .arg(m_device.depth));

    int depth = m_device.depth ? m_device.depth : 16;
    if (row.layout == Layout::DepthColour) {
        i.madeForDepth = fittingDepth(row, w, h, present);
        if (m_device.depth == 0 && i.madeForDepth)
            depth = i.madeForDepth;
    }
    const bool swap = depth == 16 && m_device.swap;
    i.depth = depth;
    i.swap = swap;
    m_reduction = depth == 8 ? Reduction::ToRgb332
        : depth == 16        ? Reduction::ToRgb565
                             : Reduction::None;

    if (row.layout == Layout::Raw) {
        i.stride = 0;
        return decodeRaw(data, present, dataSize);
    }

    Packing packing = NoPacking;
    qint64 rowBytes = 0;
    qint64 needed = 0;
    switch (row.layout) {
    case Layout::DepthColour: {
        packing = depth == 8 ? Packing::Rgb332
            : depth == 16    ? (swap ? Packing::Rgb565Swapped : Packing::Rgb565)
                             : (row.alpha ? Packing::Bgr888 : Packing::Bgrx8888);
        const int perPixel = packingBytes(packing) + (row.alpha ? 1 : 0);
        rowBytes = qint64(w) * perPixel;
        needed = rowBytes * h;
        if (!i.fromC && i.madeForDepth) {
            warn(QStringLiteral("a true-colour .bin fits one LV_COLOR_DEPTH only: this one is "
                                "packed for depth %1%2, and is drawn wrongly at any other")
                     .arg(i.madeForDepth)
                     .arg(i.madeForDepth == 16
                              ? QStringLiteral(" (with or without LV_COLOR_16_SWAP: the two "
                                               "cannot be told apart)")
                              : QString()));
        }
        if (present != needed && i.madeForDepth && i.madeForDepth != depth) {
            i.stride = int(rowBytes);
            i.bytesNeeded = needed;
            i.dataSize = dataSize;
            return fail(QStringLiteral("holds %1 bytes per pixel: it is made for LV_COLOR_DEPTH "
                                       "%2, not %3")
                            .arg(present / pixels)
                            .arg(i.madeForDepth)
                            .arg(depth));
        }
        break;
    }
    case Layout::Indexed:
        rowBytes = packedRowBytes(w, row.bits);
        i.paletteStored = 1 << row.bits;
        needed = qint64(i.paletteStored) * 4 + rowBytes * h;
        break;
    case Layout::AlphaOnly:
        rowBytes = packedRowBytes(w, row.bits);
        needed = rowBytes * h;
        break;
    case Layout::PlanarAlpha:
        packing = swap ? Packing::Rgb565Swapped : Packing::Rgb565;
        rowBytes = qint64(w) * 2;
        needed = pixels * 3;
        if (depth != 16)
            warn(QStringLiteral("RGB565A8 is drawn right only at LV_COLOR_DEPTH 16: at depth 8 "
                                "it is drawn wrongly, at depth 32 LVGL reads past its data"));
        break;
    case Layout::Raw:
    case Layout::Colour:
        break;
    }
    i.stride = int(rowBytes);
    i.bytesNeeded = needed;
    if (!checkDataSize(dataSize, present))
        return false;
    if (present < needed)
        return fail(QStringLiteral("the data ends early: %1 of the %2 bytes a %3 x %4 %5 "
                                   "image needs%6")
                        .arg(present)
                        .arg(needed)
                        .arg(w)
                        .arg(h)
                        .arg(QLatin1String(row.name),
                             row.layout == Layout::DepthColour
                                 ? QStringLiteral(" at LV_COLOR_DEPTH %1").arg(depth)
                                 : QString()));
    if (present > needed)
        return fail(QStringLiteral("%1 bytes of data where a %2 x %3 %4 image needs %5%6")
                        .arg(present)
                        .arg(w)
                        .arg(h)
                        .arg(QLatin1String(row.name))
                        .arg(needed)
                        .arg(row.layout == Layout::DepthColour
                                 ? QStringLiteral(" at LV_COLOR_DEPTH %1").arg(depth)
                                 : QString()));
    if (data.size() < present)
        return needData();

    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    if (row.layout == Layout::Indexed) {
        m_palette = bytes;
        bytes += i.paletteStored * 4;
    }
    const uchar *alphaPlane = row.layout == Layout::PlanarAlpha ? bytes + pixels * 2 : nullptr;
    return render(bytes, rowBytes, alphaPlane, w, packing);
}

} // namespace Decoder
} // namespace Convert
