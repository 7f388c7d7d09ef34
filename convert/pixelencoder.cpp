#include "pixelencoder.h"

#include "pixelpacking.h"

#include <QtEndian>

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

namespace {

template<int Bits> void packLevelsOf(uchar *d, const uchar *values, int count)
{
    constexpr int perByte = 8 / Bits;
    const int whole = count / perByte;
    for (int i = 0; i < whole; ++i, values += perByte) {
        uint byte = 0;
        for (int j = 0; j < perByte; ++j)
            byte = (byte << Bits) | values[j];
        d[i] = uchar(byte);
    }
    const int rest = count - whole * perByte;
    if (rest > 0) {
        uint byte = 0;
        for (int j = 0; j < perByte; ++j)
            byte = (byte << Bits) | (j < rest ? values[j] : 0u);
        d[whole] = uchar(byte);
    }
}

} // namespace

void packLevels(uchar *d, const uchar *values, int count, int bits)
{
    switch (bits) {
    case 1:
        packLevelsOf<1>(d, values, count);
        break;
    case 2:
        packLevelsOf<2>(d, values, count);
        break;
    case 4:
        packLevelsOf<4>(d, values, count);
        break;
    default:
        std::memcpy(d, values, size_t(count));
        break;
    }
}

void roundAlphaLevels(const QRgb *pixels, uchar *levels, int count, int bits)
{
    // (a * (2^bits - 1) + 127) / 255, one table per width.
    static const auto tables = [] {
        std::array<std::array<uchar, 256>, 8> t {};
        for (int b = 1; b < 8; ++b) {
            for (int a = 0; a < 256; ++a)
                t[size_t(b)][size_t(a)] = uchar((a * ((1 << b) - 1) + 127) / 255);
        }
        return t;
    }();
    const uchar *table = tables[size_t(bits)].data();
    for (int x = 0; x < count; ++x)
        levels[x] = table[pixels[x] >> 24];
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
                for (int v = 0; v < 256; ++v)
                    t.residual[v] = static_cast<signed char>(v - t.shown[t.nearest[v]]);
            }
        }
    });
    for (const Target &target : m_targets)
        m_tables.push_back(&tables[target.replicate ? 1 : 0][target.bits]);
}

namespace {

// Floyd-Steinberg over one row for N channels: 7/16 of a pixel's error to
// its right neighbour, 3/16, 5/16 and 1/16 to the three pixels below.
// Errors are kept in sixteenths; next[] is indexed from -1 (one pixel of
// margin on each side). The right neighbour's share travels in a register,
// and each pixel of the next row is written once, when its three shares
// from this row are known.
template<int N>
void diffuseRow(const QRgb *__restrict pixels, uchar *__restrict levels, int width,
                const int *__restrict current, int *__restrict next, const int *shiftsIn,
                const uchar *const *nearestIn, const signed char *const *residualIn)
{
    // Everything the loop reads is copied to locals first: levels is a
    // byte pointer, which would otherwise make the compiler reload them
    // after every store.
    int shifts[N];
    const uchar *nearest[N];
    const signed char *residual[N];
    for (int t = 0; t < N; ++t) {
        shifts[t] = shiftsIn[t];
        nearest[t] = nearestIn[t];
        residual[t] = residualIn[t];
    }
    int right[N] = {};
    int pending[N] = {}; // next[x - 1] so far: 1/16 from x - 2, 5/16 from x - 1
    int last[N] = {}; // next[x] so far: 1/16 from x - 1
    for (int x = 0; x < width; ++x) {
        const QRgb p = pixels[x];
        const int *here = current + (x + 1) * N;
        int *below = next + x * N;
        uchar *out = levels + x * N;
        for (int t = 0; t < N; ++t) {
            const int carried16 = here[t] + right[t];
            // The carried error, rounded half away from zero.
            const int sign = carried16 >> 31;
            const int carried = ((((carried16 ^ sign) - sign + 8) >> 4) ^ sign) - sign;
            const int value = qBound(0, int((p >> shifts[t]) & 0xff) + carried, 255);
            const int error = residual[t][value];
            out[t] = nearest[t][value];
            right[t] = error * 7;
            below[t] = pending[t] + error * 3; // x - 1, with the margin
            pending[t] = last[t] + error * 5;
            last[t] = error;
        }
    }
    for (int t = 0; t < N; ++t) {
        next[width * N + t] = pending[t];
        next[(width + 1) * N + t] = last[t];
    }
}

} // namespace

void ErrorDiffusion::row(const QRgb *pixels, uchar *levels)
{
    const int n = int(m_targets.size());
    int shifts[4];
    const uchar *nearest[4];
    const signed char *residual[4];
    for (int t = 0; t < n && t < 4; ++t) {
        shifts[t] = m_targets[size_t(t)].channel;
        nearest[t] = m_tables[size_t(t)]->nearest;
        residual[t] = m_tables[size_t(t)]->residual;
    }
    if (n == 3)
        diffuseRow<3>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
    else if (n == 1)
        diffuseRow<1>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
    else if (n == 2)
        diffuseRow<2>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
    else
        diffuseRow<4>(pixels, levels, m_width, m_current.data(), m_next.data(), shifts, nearest,
                      residual);
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
    if (m_format.chromaKeyed) {
        const QRgb key = 0xff000000u | ChromaKey;
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
int keyedPixels(const QRgb *pixels, const uchar *out, int width, const uchar *keyBytes)
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
        count += int(valueAt(x) == key) & int(c >= 0xff000000u) & int((c & 0xffffffu) != ChromaKey);
    }
    return count;
}

} // namespace

void SectionEncoder::countHidden(const QRgb *pixels, const uchar *out)
{
    const int width = m_prepared.width;
    switch (m_pixelBytes) {
    case 1:
        m_hidden += keyedPixels<quint8>(pixels, out, width, m_key);
        break;
    case 2:
        m_hidden += keyedPixels<quint16>(pixels, out, width, m_key);
        break;
    default:
        m_hidden += keyedPixels<quint32>(pixels, out, width, m_key);
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
