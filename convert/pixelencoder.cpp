#include "pixelencoder.h"

#include "pixelpacking.h"

#include <array>
#include <cstring>
#include <mutex>

namespace Convert {

namespace {

int levelCount(int bits)
{
    return 1 << bits;
}

} // namespace

void packLevels(uchar *d, const uchar *values, int count, int bits)
{
    if (bits == 8) {
        std::memcpy(d, values, size_t(count));
        return;
    }
    const int perByte = 8 / bits;
    const int bytes = (count * bits + 7) / 8;
    for (int i = 0; i < bytes; ++i) {
        uint byte = 0;
        for (int j = 0; j < perByte; ++j) {
            const int x = i * perByte + j;
            const uint v = x < count ? values[x] : 0u;
            byte |= v << (8 - bits * (j + 1));
        }
        d[i] = uchar(byte);
    }
}

QByteArray paletteBytes(int entries, const QVector<QRgb> &colours)
{
    QByteArray bytes(entries * 4, '\0');
    for (int i = 0; i < entries && i < colours.size(); ++i) {
        const QRgb c = colours.at(i);
        bytes[i * 4] = char(qBlue(c));
        bytes[i * 4 + 1] = char(qGreen(c));
        bytes[i * 4 + 2] = char(qRed(c));
        bytes[i * 4 + 3] = char(qAlpha(c));
    }
    return bytes;
}

int ErrorDiffusion::shownValue(int level, int bits, bool replicate)
{
    if (!replicate)
        return level * 255 / (levelCount(bits) - 1);
    // The level's bits repeated down to 8 bits: 5-bit 31 -> 255, 3-bit 5 -> 182.
    int value = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        value |= shift >= 0 ? level << shift : level >> -shift;
    return value & 0xff;
}

int ErrorDiffusion::nearestLevel(int value, int bits, bool replicate)
{
    int best = 0;
    int bestDistance = 256;
    for (int level = 0; level < levelCount(bits); ++level) {
        const int distance = qAbs(value - shownValue(level, bits, replicate));
        if (distance < bestDistance) {
            best = level;
            bestDistance = distance;
        }
    }
    return best;
}

ErrorDiffusion::ErrorDiffusion(int width, std::vector<Target> targets)
    : m_width(width)
    , m_targets(std::move(targets))
    , m_current(size_t(width + 2) * m_targets.size(), 0)
    , m_next(m_current.size(), 0)
{
    // One table per (bits, replicate), made once for the process.
    static std::once_flag once;
    static Tables tables[2][8];
    std::call_once(once, [] {
        for (int replicate = 0; replicate < 2; ++replicate) {
            for (int bits = 1; bits < 8; ++bits) {
                Tables &t = tables[replicate][bits];
                for (int v = 0; v < 256; ++v)
                    t.nearest[v] = uchar(nearestLevel(v, bits, replicate != 0));
                for (int level = 0; level < levelCount(bits); ++level)
                    t.shown[level] = uchar(shownValue(level, bits, replicate != 0));
            }
        }
    });
    for (const Target &target : m_targets)
        m_tables.push_back(&tables[target.replicate ? 1 : 0][target.bits]);
}

void ErrorDiffusion::row(const QRgb *pixels, uchar *levels)
{
    // Floyd-Steinberg, left to right: 7/16 of a pixel's error to its right
    // neighbour, 3/16, 5/16 and 1/16 to the three pixels below. Errors are
    // kept in sixteenths.
    const int n = int(m_targets.size());
    std::fill(m_next.begin(), m_next.end(), 0);
    for (int x = 0; x < m_width; ++x) {
        const QRgb p = pixels[x];
        int *here = m_current.data() + (x + 1) * n;
        int *below = m_next.data() + (x + 1) * n;
        for (int t = 0; t < n; ++t) {
            const int source = int((p >> m_targets[size_t(t)].channel) & 0xff);
            // The carried error, rounded half away from zero.
            const int carried = here[t] >= 0 ? (here[t] + 8) / 16 : -((8 - here[t]) / 16);
            const int value = qBound(0, source + carried, 255);
            const Tables &table = *m_tables[size_t(t)];
            const int level = table.nearest[value];
            const int error = value - table.shown[level];
            levels[x * n + t] = uchar(level);
            here[n + t] += error * 7;
            below[t - n] += error * 3;
            below[t] += error * 5;
            below[n + t] += error;
        }
    }
    m_current.swap(m_next);
}

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
        } else if constexpr (Depth == ColorDepth::Depth16) {
            const quint16 v = rgb565(c);
            *d++ = uchar(v & 0xff);
            *d++ = uchar(v >> 8);
        } else if constexpr (Depth == ColorDepth::Depth16Swap) {
            const quint16 v = rgb565(c);
            *d++ = uchar(v >> 8);
            *d++ = uchar(v & 0xff);
        } else {
            *d++ = uchar(qBlue(c));
            *d++ = uchar(qGreen(c));
            *d++ = uchar(qRed(c));
        }
        if constexpr (Alpha)
            *d++ = uchar(qAlpha(c));
        else if constexpr (Depth == ColorDepth::Depth32)
            *d++ = 0xff;
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
                      QuantizerKind quantizer, bool dither)
{
    PreparedImage prepared;
    prepared.format = &format;
    prepared.width = image.width();
    prepared.height = image.height();
    switch (format.layout) {
    case Layout::Indexed: {
        // Qt's own reduction exists for 256 colours only.
        const QuantizerKind kind = format.bits == 8 ? quantizer : QuantizerKind::Best;
        prepared.indexed = quantize(image, paletteEntries(format), kind, dither);
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
    case Layout::TrueColorAlpha:
        packColourRow(m_rows->row(y), out, m_format.layout == Layout::TrueColorAlpha);
        break;
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
            // Rounded to the nearest level.
            const int top = levelCount(bits) - 1;
            for (int x = 0; x < width; ++x)
                levels[x] = uchar((qAlpha(pixels[x]) * top + 127) / 255);
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
