#include "lvgl8sections.h"

#include "colourpacking.h"
#include "levelpacking.h"
#include "sharedpalette.h"

#include <array>
#include <cstring>

namespace Convert {

namespace Lvgl8 {

namespace {

constexpr bool isColourLayout(Layout layout)
{
    return layout == Layout::TrueColor || layout == Layout::TrueColorAlpha
        || layout == Layout::Rgb565A8;
}

int colourBytes(ColorDepth depth)
{
    switch (depth) {
    case ColorDepth::Depth8:
        return 1;
    case ColorDepth::Depth16:
    case ColorDepth::Depth16Swap:
        return 2;
    case ColorDepth::Depth32:
        return 3;
    }
    return 0;
}

template<ColorDepth Depth, bool Alpha> uchar *packColours(uchar *d, const QRgb *pixels, int width)
{
    for (int x = 0; x < width; ++x) {
        const QRgb c = pixels[x];
        if constexpr (Depth == ColorDepth::Depth8) {
            *d++ = rgb332(c);
            if constexpr (Alpha)
                *d++ = uchar(qAlpha(c));
        } else if constexpr (Depth == ColorDepth::Depth16) {
            // Pixels of 1 or 2 bytes go fastest byte by byte, those of 3 and
            // 4 as one word.
            const quint32 v = rgb565(c);
            if constexpr (Alpha) {
                d = putLittle(d, v | quint32(qAlpha(c)) << 16, 3);
            } else {
                *d++ = uchar(v & 0xff);
                *d++ = uchar(v >> 8);
            }
        } else if constexpr (Depth == ColorDepth::Depth16Swap) {
            const quint32 v = rgb565(c);
            if constexpr (Alpha) {
                d = putLittle(d, (v >> 8) | (v & 0xff) << 8 | quint32(qAlpha(c)) << 16, 3);
            } else {
                *d++ = uchar(v >> 8);
                *d++ = uchar(v & 0xff);
            }
        } else {
            // Blue, green, red and alpha (or 0xff) are the pixel's own
            // little-endian word.
            d = putLittle(d, Alpha ? c : (c | 0xff000000u), 4);
        }
    }
    return d;
}

template<bool Alpha> void packColoursAt(ColorDepth depth, uchar *d, const QRgb *pixels, int width)
{
    switch (depth) {
    case ColorDepth::Depth8:
        packColours<ColorDepth::Depth8, Alpha>(d, pixels, width);
        break;
    case ColorDepth::Depth16:
        packColours<ColorDepth::Depth16, Alpha>(d, pixels, width);
        break;
    case ColorDepth::Depth16Swap:
        packColours<ColorDepth::Depth16Swap, Alpha>(d, pixels, width);
        break;
    case ColorDepth::Depth32:
        packColours<ColorDepth::Depth32, Alpha>(d, pixels, width);
        break;
    }
}

// The bit widths a colour depth keeps of red, green and blue.
std::vector<ErrorDiffusion::Target> colourTargets(ColorDepth depth)
{
    if (depth == ColorDepth::Depth8) {
        return {{ErrorDiffusion::Red, 3, true},
                {ErrorDiffusion::Green, 3, true},
                {ErrorDiffusion::Blue, 2, true}};
    }
    return {{ErrorDiffusion::Red, 5, true},
            {ErrorDiffusion::Green, 6, true},
            {ErrorDiffusion::Blue, 5, true}};
}

} // namespace

PreparedImage prepare(const Format &format, const QImage &image, const QByteArray &fileBytes,
                      QuantizerKind quantizer, bool dither, const QVector<QRgb> &palette)
{
    PreparedImage prepared;
    prepared.format = &format;
    prepared.width = image.width();
    prepared.height = image.height();
    switch (format.layout) {
    case Layout::Indexed: {
        // Qt's own reduction exists for 256 colours only.
        const QuantizerKind kind = format.bits == 8 ? quantizer : QuantizerKind::Best;
        prepared.indexed = palette.isEmpty() ? quantize(image, paletteEntries(format), kind, dither)
                                             : mapToPalette(image, palette, dither);
        break;
    }
    case Layout::Raw:
        prepared.raw = fileBytes;
        break;
    default:
        prepared.image = image;
        break;
    }
    return prepared;
}

SectionEncoder::SectionEncoder(const PreparedImage &prepared, ColorDepth depth, bool dither)
    : m_prepared(prepared)
    , m_format(*prepared.format)
    , m_depth(depth)
    , m_dither(dither)
{
    const int width = prepared.width;
    if (m_format.layout != Layout::Indexed && m_format.layout != Layout::Raw)
        m_rows.reset(new PixelRows(prepared.image));
    int widest = 0;
    for (int plane = 0; plane < planeCount(); ++plane)
        widest = qMax(widest, rowBytes(plane));
    m_out.resize(size_t(widest) + 8);
    m_levels.resize(size_t(width) * 3 + 8);
    m_reduced.resize(size_t(width) + 1);
    if (m_format.chromaKeyed) {
        const QRgb key = 0xff000000u | prepared.chromaKey;
        packColoursAt<false>(depth, m_key, &key, 1);
        m_pixelBytes = depth == ColorDepth::Depth32 ? 4 : colourBytes(depth);
    }
}

SectionEncoder::~SectionEncoder() = default;

QByteArray SectionEncoder::palette() const
{
    if (m_format.layout != Layout::Indexed)
        return QByteArray();
    return paletteBytes(paletteEntries(m_format), m_prepared.indexed.palette);
}

int SectionEncoder::planeCount() const
{
    return m_format.layout == Layout::Rgb565A8 ? 2 : 1;
}

int SectionEncoder::rowBytes(int plane) const
{
    const int width = m_prepared.width;
    switch (m_format.layout) {
    case Layout::TrueColor:
        return width * (m_depth == ColorDepth::Depth32 ? 4 : colourBytes(m_depth));
    case Layout::TrueColorAlpha:
        return width * (colourBytes(m_depth) + 1);
    case Layout::Indexed:
    case Layout::Alpha:
        return (width * m_format.bits + 7) / 8;
    case Layout::Rgb565A8:
        return plane == 0 ? width * 2 : width;
    case Layout::Raw:
        return 0;
    }
    return 0;
}

qint64 SectionEncoder::totalBytes() const
{
    if (m_format.layout == Layout::Raw)
        return m_prepared.raw.size();
    qint64 total = qint64(paletteEntries(m_format)) * 4;
    for (int plane = 0; plane < planeCount(); ++plane)
        total += qint64(rowBytes(plane)) * m_prepared.height;
    return total;
}

void SectionEncoder::packColourRow(const QRgb *pixels, uchar *out, bool withAlpha)
{
    const int width = m_prepared.width;
    if (m_diffusion) {
        // Each kept level is put back in the top bits of its channel, where
        // the packing's truncation finds it again.
        const int redShift = m_depth == ColorDepth::Depth8 ? 5 : 3;
        const int greenShift = m_depth == ColorDepth::Depth8 ? 5 : 2;
        const int blueShift = m_depth == ColorDepth::Depth8 ? 6 : 3;
        m_diffusion->row(pixels, m_levels.data());
        for (int x = 0; x < width; ++x) {
            const uchar *l = m_levels.data() + x * 3;
            m_reduced[size_t(x)] =
                qRgba(l[0] << redShift, l[1] << greenShift, l[2] << blueShift, qAlpha(pixels[x]));
        }
        pixels = m_reduced.data();
    }
    if (withAlpha)
        packColoursAt<true>(m_depth, out, pixels, width);
    else
        packColoursAt<false>(m_depth, out, pixels, width);
}

namespace {

// The opaque pixels that are not the key colour but whose bytes in out (a
// T each) are the key's. The bytes alone are looked at first: they rarely
// match, and that loop is cheap.
template<typename T>
int keyedPixels(const QRgb *pixels, const uchar *out, int width, const uchar *keyBytes,
                unsigned keyColour)
{
    T key;
    std::memcpy(&key, keyBytes, sizeof(T));
    const auto valueAt = [out](int x) {
        T value;
        std::memcpy(&value, out + size_t(x) * sizeof(T), sizeof(T));
        return value;
    };
    int matches = 0; // a row has at most 65535 pixels
    for (int x = 0; x < width; ++x)
        matches += int(valueAt(x) == key);
    if (matches == 0)
        return 0;
    int count = 0;
    for (int x = 0; x < width; ++x) {
        // A pixel of the key colour itself is meant to be left out.
        const QRgb c = pixels[x];
        count += int(valueAt(x) == key) & int(c >= 0xff000000u) & int((c & 0xffffffu) != keyColour);
    }
    return count;
}

} // namespace

void SectionEncoder::countHidden(const QRgb *pixels, const uchar *out)
{
    const int width = m_prepared.width;
    switch (m_pixelBytes) {
    case 1:
        m_hidden += keyedPixels<quint8>(pixels, out, width, m_key, m_prepared.chromaKey);
        break;
    case 2:
        m_hidden += keyedPixels<quint16>(pixels, out, width, m_key, m_prepared.chromaKey);
        break;
    default:
        m_hidden += keyedPixels<quint32>(pixels, out, width, m_key, m_prepared.chromaKey);
        break;
    }
}

const uchar *SectionEncoder::row(int plane, int y)
{
    rowTo(plane, y, m_out.data());
    return m_out.data();
}

void SectionEncoder::rowTo(int plane, int y, uchar *out)
{
    const int width = m_prepared.width;
    if (plane != m_plane) {
        // Each plane diffuses its own error, from its first row.
        m_plane = plane;
        m_diffusion.reset();
        if (m_dither) {
            if (isColourLayout(m_format.layout) && plane == 0 && m_depth != ColorDepth::Depth32)
                m_diffusion.reset(new ErrorDiffusion(width, colourTargets(m_depth)));
            else if (m_format.layout == Layout::Alpha && m_format.bits < 8)
                m_diffusion.reset(
                    new ErrorDiffusion(width, {{ErrorDiffusion::Alpha, m_format.bits, false}}));
        }
    }

    switch (m_format.layout) {
    case Layout::TrueColor:
    case Layout::TrueColorAlpha: {
        const QRgb *pixels = m_rows->row(y);
        packColourRow(pixels, out, m_format.layout == Layout::TrueColorAlpha);
        if (m_format.chromaKeyed)
            countHidden(pixels, out);
        break;
    }
    case Layout::Rgb565A8: {
        const QRgb *pixels = m_rows->row(y);
        if (plane == 0) {
            packColourRow(pixels, out, false);
        } else {
            for (int x = 0; x < width; ++x)
                out[x] = uchar(qAlpha(pixels[x]));
        }
        break;
    }
    case Layout::Indexed:
        packLevels(out, m_prepared.indexed.indices.constScanLine(y), width, m_format.bits);
        break;
    case Layout::Alpha: {
        const QRgb *pixels = m_rows->row(y);
        const int bits = m_format.bits;
        uchar *levels = m_levels.data();
        if (bits == 8) {
            for (int x = 0; x < width; ++x)
                levels[x] = uchar(qAlpha(pixels[x]));
        } else if (m_diffusion) {
            m_diffusion->row(pixels, levels);
        } else {
            roundAlphaLevels(pixels, levels, width, bits);
        }
        packLevels(out, levels, width, bits);
        break;
    }
    case Layout::Raw:
        break;
    }
}

} // namespace Lvgl8
} // namespace Convert
