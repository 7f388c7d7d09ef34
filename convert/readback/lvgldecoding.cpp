#include "lvgldecoding.h"

#include "formats.h"

#include <algorithm>
#include <iterator>

namespace Convert {
namespace Decoder {

bool Decoding::readHeader(const Header &header)
{
    LvglImageInfo &i = info();
    i.version = header.version;
    i.cf = header.cf;
    i.width = header.width;
    i.height = header.height;
    i.flags = header.flags;
    i.stride = header.stride;
    if (header.version == 9) {
        if (header.flags & FlagPremultiplied)
            i.flagNames << QStringLiteral("PREMULTIPLIED");
        if (header.flags & FlagCompressed)
            i.flagNames << QStringLiteral("COMPRESSED");
        for (int bit = 0; bit < 16; ++bit) {
            const int flag = 1 << bit;
            if ((header.flags & flag) && flag != FlagPremultiplied && flag != FlagCompressed)
                i.flagNames << QStringLiteral("0x%1").arg(flag, 4, 16, QLatin1Char('0'));
        }
    }
    m_format = findFormat(header.version, header.cf);
    if (!m_format)
        return fail(QStringLiteral("unknown colour format: cf %1 is not an LVGL v%2 format")
                        .arg(header.cf)
                        .arg(header.version));
    i.formatName = libraryName(*m_format);
    if (header.width == 0 || header.height == 0)
        return fail(QStringLiteral("the %1 is 0")
                        .arg(header.width == 0 ? QLatin1String("width") : QLatin1String("height")));
    if (qint64(header.width) * header.height > DecodeBudgetPixels)
        return fail(QStringLiteral("%1 x %2 pixels are more than the %3 megapixels this program "
                                   "decodes")
                        .arg(header.width)
                        .arg(header.height)
                        .arg(DecodeBudgetPixels >> 20));
    return true;
}

int Decoding::fittingDepth(const FormatRow &row, int width, int height, qint64 bytes)
{
    const qint64 pixels = qint64(width) * height;
    for (const int depth : {8, 16, 32}) {
        const int perPixel = depth == 32 ? 4 : depth / 8 + (row.alpha ? 1 : 0);
        if (pixels > 0 && bytes == pixels * perPixel)
            return depth;
    }
    return 0;
}

bool Decoding::checkDataSize(qint64 dataSize, qint64 present)
{
    info().dataSize = dataSize;
    if (dataSize >= 0 && dataSize != present)
        return fail(QStringLiteral(".data_size is %1, but the array holds %2 bytes")
                        .arg(dataSize)
                        .arg(present));
    return true;
}

// Chroma key, the device's colours, the background; then into the image.
void Decoding::finishPixel(QRgb *line, int width, QImage *image, int y)
{
    const bool keyed = m_format->chromaKeyed;
    const QRgb key = reduce(m_reduction, m_device.chromaKey) & 0xffffff;
    const QRgb background = reduce(m_reduction, m_device.background);
    auto *out = reinterpret_cast<QRgb *>(image->scanLine(y));
    for (int x = 0; x < width; ++x) {
        QRgb c = reduce(m_reduction, line[x]);
        if (keyed && (c & 0xffffff) == key) {
            if (qAlpha(c) == 255)
                m_keyed[size_t(y) * size_t(width) + size_t(x)] = true;
            c &= 0xffffff;
        }
        if (m_device.hasBackground) {
            const int a = qAlpha(c);
            const auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
            c = reduce(m_reduction,
                       qRgb(mix(qRed(c), qRed(background)), mix(qGreen(c), qGreen(background)),
                            mix(qBlue(c), qBlue(background))));
        }
        out[x] = c;
    }
}

bool Decoding::render(const uchar *pixels, qint64 stride, const uchar *alphaPlane,
                      qint64 alphaStride, Packing packing)
{
    const FormatRow &row = *m_format;
    const int w = info().width;
    const int h = info().height;
    QImage image(w, h, m_device.hasBackground ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (image.isNull())
        return fail(QStringLiteral("there is not enough memory to show it"));
    if (row.chromaKeyed)
        m_keyed.assign(size_t(w) * size_t(h), false);

    QRgb palette[256];
    bool used[256] = {};
    if (row.layout == Layout::Indexed) {
        for (int k = 0; k < (1 << row.bits); ++k) {
            const uchar *e = m_palette + k * 4;
            palette[k] = qRgba(e[2], e[1], e[0], e[3]);
        }
    }
    const QRgb recolour = m_device.recolor & 0xffffff;
    const bool widen = m_reduction == Reduction::None;
    std::vector<QRgb> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        const uchar *s = pixels + stride * y;
        switch (row.layout) {
        case Layout::DepthColour:
        case Layout::Colour:
            readColours(packing, row.alpha, row.premultiplied, widen, s, w, line.data());
            break;
        case Layout::Indexed:
            for (int x = 0; x < w; ++x) {
                const int index = packedValue(s, x, row.bits);
                used[index] = true;
                line[size_t(x)] = palette[index];
            }
            break;
        case Layout::AlphaOnly:
            for (int x = 0; x < w; ++x)
                line[size_t(x)] =
                    recolour | QRgb(alphaLevel(packedValue(s, x, row.bits), row.bits)) << 24;
            break;
        case Layout::PlanarAlpha: {
            readColours(packing, false, false, widen, s, w, line.data());
            const uchar *a = alphaPlane + alphaStride * y;
            for (int x = 0; x < w; ++x)
                line[size_t(x)] = (line[size_t(x)] & 0xffffff) | QRgb(a[x]) << 24;
            break;
        }
        case Layout::Raw:
            break;
        }
        finishPixel(line.data(), w, &image, y);
    }
    if (row.layout == Layout::Indexed)
        info().paletteUsed = int(std::count(std::begin(used), std::end(used), true));
    m_result.image = image;
    return true;
}

QString depthName(int depth, bool swap)
{
    return QStringLiteral("LV_COLOR_DEPTH %1%2")
        .arg(depth)
        .arg(swap ? QStringLiteral(" with LV_COLOR_16_SWAP") : QString());
}

QString keyWarning(int depth, bool swap, qint64 count, QRgb key, bool nearOnly)
{
    const int r = qRed(key);
    const int g = qGreen(key);
    const int b = qBlue(key);
    const auto hexText = [](uint v, int digits) -> QString {
        return QStringLiteral("0x")
            + QString::number(v, 16).rightJustified(digits, QLatin1Char('0')).toUpper();
    };
    const QString value = depth == 8
        ? QStringLiteral("RGB332 ") + hexText(uint((r & 0xe0) | (g >> 5) << 2 | b >> 6), 2)
        : QStringLiteral("RGB565 ") + hexText(uint((r >> 3) << 11 | (g >> 2) << 5 | b >> 3), 4);
    const QString keyText = hexText(key & 0xffffff, 6);
    if (nearOnly)
        return QStringLiteral("at %1, %2 opaque pixels of colours near the chroma key %3 take its "
                              "value (%4) and are not drawn: use a key colour the image does not "
                              "use, or a format with alpha")
            .arg(depthName(depth, swap))
            .arg(count)
            .arg(keyText, value);
    return QStringLiteral("at %1, %2 opaque pixels hold the chroma key's value (%3 for %4) and "
                          "are not drawn; if some were meant to be seen, use a key colour the "
                          "image does not use, or a format with alpha")
        .arg(depthName(depth, swap))
        .arg(count)
        .arg(value, keyText);
}

qint64 countOf(const std::vector<bool> &bits)
{
    return qint64(std::count(bits.begin(), bits.end(), true));
}

} // namespace Decoder
} // namespace Convert
