#include "lvgldecoding.h"

#include "formats.h"
#include "lvgldecompress.h"

namespace Convert {
namespace Decoder {

bool Decoding::decodeV9(const QByteArray &data, qint64 present, qint64 dataSize)
{
    const FormatRow &row = *m_format;
    LvglImageInfo &i = info();
    const int w = i.width;
    const int h = i.height;
    i.bytesPresent = present;
    const int depth = m_device.depth ? m_device.depth : 16;
    if (depth != 16 && depth != 24 && depth != 32)
        return fail(QStringLiteral("an LVGL v9 image is shown here at LV_COLOR_DEPTH 16, 24 or "
                                   "32, not %1")
                        .arg(depth));
    i.depth = depth;
    m_reduction = depth == 16 ? Reduction::ToRgb565 : Reduction::None;

    if (row.versionNote)
        warn(QLatin1String(row.versionNote));
    const int unknownFlags = i.flags & ~(FlagPremultiplied | FlagCompressed);
    if (unknownFlags)
        warn(
            QStringLiteral("unknown header flags 0x%1").arg(unknownFlags, 4, 16, QLatin1Char('0')));
    if ((i.flags & FlagPremultiplied) && !row.premultiplied)
        warn(QStringLiteral("the PREMULTIPLIED flag is set, but the software renderer reads it "
                            "only as the format ARGB8888_PREMULTIPLIED; %1 colours are drawn as "
                            "they are")
                 .arg(QLatin1String(row.name)));
    if (row.packing == Packing::Rgb565 && row.alpha && row.layout == Layout::Colour)
        warn(QStringLiteral("the software renderer does not draw ARGB8565; it is for GPU "
                            "back-ends"));
    if (row.packing == Packing::Rgb565Swapped && depth != 16)
        warn(QStringLiteral("RGB565_SWAPPED is not drawn on the default XRGB8888 screen"));
    if (!i.fromC && !(i.flags & FlagCompressed) && (row.packing == Packing::L8 || row.premultiplied)
        && row.layout == Layout::Colour)
        warn(QStringLiteral("LVGL 9.5 cannot open an uncompressed .bin of %1: use a C array or "
                            "a compressed .bin")
                 .arg(QLatin1String(row.name)));
    if (row.premultiplied && depth == 16)
        notePreview(QStringLiteral("at LV_COLOR_DEPTH 16 LVGL blends premultiplied colours onto "
                                   "RGB565 up to 2 levels away from this preview"));

    if (row.layout == Layout::Raw)
        return decodeRaw(data, present, dataSize);

    const int bits = bitsPerPixel(row);
    const qint64 minStride = packedRowBytes(w, bits);
    if (i.stride == 0)
        return fail(QStringLiteral("the stride is 0: a v9 image needs its bytes per row (%1 "
                                   "here)")
                        .arg(minStride));
    if (i.stride < minStride)
        return fail(QStringLiteral("the stride %1 is smaller than the %2 bytes a row of %3 pixels "
                                   "of %4 needs")
                        .arg(i.stride)
                        .arg(minStride)
                        .arg(w)
                        .arg(QLatin1String(row.name)));
    if (row.layout == Layout::PlanarAlpha && (i.stride & 1))
        return fail(QStringLiteral("the stride of RGB565A8 must be even, not %1").arg(i.stride));

    if (row.layout == Layout::Indexed)
        i.paletteStored = 1 << row.bits;
    const qint64 paletteBytes = qint64(i.paletteStored) * 4;
    const qint64 alphaStride = row.layout == Layout::PlanarAlpha ? i.stride / 2 : 0;
    const qint64 needed = paletteBytes + qint64(i.stride) * h + alphaStride * h;
    i.bytesNeeded = needed;
    if (needed > DecodeBudgetBytes)
        return fail(QStringLiteral("%1 bytes of data are more than the %2 MiB this program "
                                   "decodes")
                        .arg(needed)
                        .arg(DecodeBudgetBytes >> 20));
    if (!checkDataSize(dataSize, present))
        return false;

    QByteArray expanded;
    const QByteArray *pixels = &data;
    if (i.flags & FlagCompressed) {
        if (present < 12)
            return fail(QStringLiteral("the compressed data ends inside its 12-byte header (%1 "
                                       "bytes)")
                            .arg(present));
        if (data.size() < 12)
            return needData();
        const auto *d = reinterpret_cast<const uchar *>(data.constData());
        const quint32 method = le32(d);
        const qint64 compressed = le32(d + 4);
        const qint64 uncompressed = le32(d + 8);
        i.compression = method == 1 ? QStringLiteral("RLE")
            : method == 2           ? QStringLiteral("LZ4")
                                    : QStringLiteral("method %1").arg(method);
        i.compressedBytes = compressed;
        i.uncompressedBytes = uncompressed;
        if (method != 1 && method != 2)
            return fail(
                QStringLiteral("unknown compression method %1 (1 is RLE, 2 LZ4)").arg(method));
        if (12 + compressed != present)
            return fail(i.fromC ? QStringLiteral("the compressed length %1 disagrees with "
                                                 ".data_size %2, which must be 12 more")
                                      .arg(compressed)
                                      .arg(present)
                                : QStringLiteral("the compressed length %1 disagrees with the "
                                                 "file, which holds %2 bytes after the block "
                                                 "header")
                                      .arg(compressed)
                                      .arg(present - 12));
        if (uncompressed != needed)
            return fail(QStringLiteral("the uncompressed length %1 disagrees with the %2 bytes "
                                       "the header describes")
                            .arg(uncompressed)
                            .arg(needed));
        // Neither RLE nor LZ4 expands a byte to more than 255, so a few
        // bytes that claim megabytes are refused before anything is made.
        if (needed > compressed * 255)
            return fail(QStringLiteral("%1 bytes of compressed data cannot expand to the %2 "
                                       "bytes the header describes")
                            .arg(compressed)
                            .arg(needed));
        if (data.size() < present)
            return needData();
        expanded = QByteArray(int(needed), Qt::Uninitialized);
        auto *out = reinterpret_cast<uchar *>(expanded.data());
        if (method == 1) {
            const int block = row.layout == Layout::PlanarAlpha ? 2 : (bits + 7) / 8;
            QString error;
            if (!rleDecode(d + 12, compressed, block, out, needed, &error))
                return fail(error);
        } else {
            QString error;
            if (!lz4Decode(data.constData() + 12, compressed, expanded.data(), needed, &error))
                return fail(error);
        }
        pixels = &expanded;
    } else if (present != needed) {
        return fail(present < needed
                        ? QStringLiteral("the data ends early: %1 of the %2 bytes the header "
                                         "describes")
                              .arg(present)
                              .arg(needed)
                        : QStringLiteral("%1 bytes of data where the header describes %2")
                              .arg(present)
                              .arg(needed));
    } else if (data.size() < present) {
        return needData();
    }

    const auto *bytes = reinterpret_cast<const uchar *>(pixels->constData());
    if (row.layout == Layout::Indexed) {
        m_palette = bytes;
        bytes += paletteBytes;
    }
    const uchar *alphaPlane =
        row.layout == Layout::PlanarAlpha ? bytes + qint64(i.stride) * h : nullptr;
    const Packing packing = row.layout == Layout::PlanarAlpha ? Packing::Rgb565 : row.packing;
    return render(bytes, i.stride, alphaPlane, alphaStride, packing);
}

} // namespace Decoder
} // namespace Convert
