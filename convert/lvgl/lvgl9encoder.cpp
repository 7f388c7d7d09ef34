#include "lvgl9encoder.h"

#include "byteorder.h"
#include "colourpacking.h"
#include "errordiffusion.h"
#include "levelpacking.h"
#include "pixelrows.h"
#include "sharedpalette.h"

#include <lz4hc.h>

#include <cstring>
#include <memory>
#include <vector>

namespace Convert {
namespace Lvgl9 {

namespace {

bool isRgb565Colour(Layout layout)
{
    return layout == Layout::Rgb565 || layout == Layout::Rgb565Swapped || layout == Layout::Argb8565
        || layout == Layout::Rgb565A8;
}

// Luminance with the weights of ITU-R BT.601 (77, 150, 29 of 256), in
// 1/256 steps: 0 to 65280.
inline int luminance256(QRgb c)
{
    return 77 * qRed(c) + 150 * qGreen(c) + 29 * qBlue(c);
}

inline QRgb overBackground(QRgb c, QRgb background)
{
    const int a = qAlpha(c);
    const auto mix = [a](int s, int b) { return (s * a + b * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(c), qRed(background)), mix(qGreen(c), qGreen(background)),
                mix(qBlue(c), qBlue(background)));
}

// Makes the pixel rows of one image in one format, top to bottom: colour
// rows, then (RGB565A8) the alpha rows. Error diffusion runs along each.
class RowEncoder
{
public:
    RowEncoder(const OutputPlan &plan, const QImage &image, const IndexedImage *indexed)
        : m_plan(plan)
        , m_format(*plan.format9())
        , m_width(image.width())
        , m_indexed(indexed)
        , m_levels(size_t(m_width) * 3 + 8)
        , m_reduced(size_t(m_width) + 1)
        , m_lumaError(size_t(m_width) + 2, 0)
        , m_lumaNext(size_t(m_width) + 2, 0)
    {
        if (!indexed)
            m_rows.reset(new PixelRows(image));
    }

    // Writes row y of the plane (0: pixels, 1: RGB565A8's alpha), its
    // rowBytes only; the caller pads.
    void row(int plane, int y, uchar *out)
    {
        if (plane != m_plane)
            startPlane(plane);
        if (m_format.layout == Layout::Indexed) {
            packLevels(out, m_indexed->indices.constScanLine(y), m_width, m_format.bits);
            return;
        }
        const QRgb *pixels = m_rows->row(y);
        if (plane == 1) {
            for (int x = 0; x < m_width; ++x)
                out[x] = uchar(qAlpha(pixels[x]));
            return;
        }
        if (m_plan.hasBackground && !m_format.alpha) {
            for (int x = 0; x < m_width; ++x)
                m_reduced[size_t(x)] = overBackground(pixels[x], m_plan.background);
            pixels = m_reduced.data();
        }
        if (m_diffusion && isRgb565Colour(m_format.layout)) {
            m_diffusion->row(pixels, m_levels.data());
            for (int x = 0; x < m_width; ++x) {
                const uchar *l = m_levels.data() + x * 3;
                m_reduced[size_t(x)] = qRgba(l[0] << 3, l[1] << 2, l[2] << 3, qAlpha(pixels[x]));
            }
            pixels = m_reduced.data();
        }
        pack(pixels, out);
    }

private:
    void startPlane(int plane)
    {
        m_plane = plane;
        m_diffusion.reset();
        std::fill(m_lumaError.begin(), m_lumaError.end(), 0);
        if (!m_plan.dither || plane != 0)
            return;
        if (isRgb565Colour(m_format.layout)) {
            m_diffusion.reset(new ErrorDiffusion(m_width,
                                                 {{ErrorDiffusion::Red, 5, true},
                                                  {ErrorDiffusion::Green, 6, true},
                                                  {ErrorDiffusion::Blue, 5, true}}));
        } else if (m_format.layout == Layout::Alpha && m_format.bits < 8) {
            m_diffusion.reset(
                new ErrorDiffusion(m_width, {{ErrorDiffusion::Alpha, m_format.bits, false}}));
        }
    }

    // Luminance rounded to 8 bits; with dithering, the rounding error of
    // each pixel is diffused (Floyd-Steinberg, in 1/256 steps).
    void luminanceRow(const QRgb *pixels, uchar *levels)
    {
        if (!m_plan.dither) {
            for (int x = 0; x < m_width; ++x)
                levels[x] = uchar((luminance256(pixels[x]) + 128) >> 8);
            return;
        }
        std::fill(m_lumaNext.begin(), m_lumaNext.end(), 0);
        for (int x = 0; x < m_width; ++x) {
            const int carried = m_lumaError[size_t(x) + 1];
            const int value = luminance256(pixels[x])
                + (carried >= 0 ? (carried + 8) / 16 : -((8 - carried) / 16));
            const int level = qBound(0, (value + 128) >> 8, 255);
            const int error = value - level * 256;
            levels[x] = uchar(level);
            m_lumaError[size_t(x) + 2] += error * 7;
            m_lumaNext[size_t(x)] += error * 3;
            m_lumaNext[size_t(x) + 1] += error * 5;
            m_lumaNext[size_t(x) + 2] += error;
        }
        m_lumaError.swap(m_lumaNext);
    }

    void pack(const QRgb *pixels, uchar *d)
    {
        const int w = m_width;
        switch (m_format.layout) {
        case Layout::L8:
            luminanceRow(pixels, d);
            break;
        case Layout::Al88:
            luminanceRow(pixels, m_levels.data());
            for (int x = 0; x < w; ++x) {
                *d++ = m_levels[size_t(x)];
                *d++ = uchar(qAlpha(pixels[x]));
            }
            break;
        case Layout::Alpha: {
            uchar *levels = m_levels.data();
            const int bits = m_format.bits;
            if (bits == 8) {
                for (int x = 0; x < w; ++x)
                    levels[x] = uchar(qAlpha(pixels[x]));
            } else if (m_diffusion) {
                m_diffusion->row(pixels, levels);
            } else {
                roundAlphaLevels(pixels, levels, w, bits);
            }
            packLevels(d, levels, w, bits);
            break;
        }
        case Layout::Rgb888:
            for (int x = 0; x < w; ++x)
                d = putLittle(d, pixels[x] & 0xffffffu, 3);
            break;
        case Layout::Argb8888:
            // Blue, green, red, alpha is the pixel's own little-endian word.
            for (int x = 0; x < w; ++x)
                d = putLittle(d, pixels[x], 4);
            break;
        case Layout::Xrgb8888:
            for (int x = 0; x < w; ++x)
                d = putLittle(d, pixels[x] | 0xff000000u, 4);
            break;
        case Layout::Argb8888Premultiplied:
            for (int x = 0; x < w; ++x) {
                const QRgb c = pixels[x];
                const uint a = uint(qAlpha(c));
                // Rounded, so that an opaque colour stays as it is.
                *d++ = uchar((uint(qBlue(c)) * a + 127) / 255);
                *d++ = uchar((uint(qGreen(c)) * a + 127) / 255);
                *d++ = uchar((uint(qRed(c)) * a + 127) / 255);
                *d++ = uchar(a);
            }
            break;
        case Layout::Rgb565:
        case Layout::Rgb565A8:
            for (int x = 0; x < w; ++x) {
                const quint16 v = rgb565(pixels[x]);
                *d++ = uchar(v & 0xff);
                *d++ = uchar(v >> 8);
            }
            break;
        case Layout::Rgb565Swapped:
            for (int x = 0; x < w; ++x) {
                const quint16 v = rgb565(pixels[x]);
                *d++ = uchar(v >> 8);
                *d++ = uchar(v & 0xff);
            }
            break;
        case Layout::Argb8565:
            for (int x = 0; x < w; ++x) {
                const QRgb c = pixels[x];
                d = putLittle(d, rgb565(c) | quint32(qAlpha(c)) << 16, 3);
            }
            break;
        case Layout::Indexed:
        case Layout::Raw:
            break;
        }
    }

    const OutputPlan &m_plan;
    const Format &m_format;
    const int m_width;
    const IndexedImage *m_indexed;
    std::unique_ptr<PixelRows> m_rows;
    std::unique_ptr<ErrorDiffusion> m_diffusion;
    std::vector<uchar> m_levels;
    std::vector<QRgb> m_reduced;
    std::vector<int> m_lumaError;
    std::vector<int> m_lumaNext;
    int m_plane = -1;
};

} // namespace

namespace {

// The alignment of the rows: --stride-align, and at least 4 for RGB565A8
// under RLE.
int rowAlignment(const OutputPlan &plan)
{
    if (plan.format9()->layout == Layout::Rgb565A8 && plan.compression == Compression::Rle)
        return qMax(plan.strideAlign, 4);
    return plan.strideAlign;
}

qint64 strideOf(const OutputPlan &plan, int width, int height)
{
    const Format &format = *plan.format9();
    const int align = rowAlignment(plan);
    const qint64 aligned = stride(format, width, align);
    if (plan.compression != Compression::Rle)
        return aligned;
    // The alignment is a power of two and a block at most 4 bytes, so one
    // of the next `block` multiples of the alignment makes whole blocks.
    const int block = rleBlockSize(format);
    for (qint64 wider = aligned; wider < aligned + qint64(block) * align; wider += align) {
        if (dataSizeOfStride(format, wider, height) % block == 0)
            return wider;
    }
    return aligned;
}

} // namespace

int alignedStride(const OutputPlan &plan, int width)
{
    if (plan.format9()->layout == Layout::Raw)
        return 0;
    return int(stride(*plan.format9(), width, plan.strideAlign));
}

int effectiveStride(const OutputPlan &plan, int width, int height)
{
    if (plan.format9()->layout == Layout::Raw)
        return 0;
    return int(strideOf(plan, width, height));
}

QString sizeProblem(const OutputPlan &plan, int width, int height)
{
    const Format &format = *plan.format9();
    if (width > 65535 || height > 65535) {
        return QStringLiteral("the image is %1 x %2 pixels; an LVGL v9 image can be at most "
                              "65535 x 65535")
            .arg(QString::number(width), QString::number(height));
    }
    if (format.layout != Layout::Raw && strideOf(plan, width, height) > 65535) {
        int widest = maxWidth(format, rowAlignment(plan));
        while (widest > 0 && strideOf(plan, widest, height) > 65535)
            --widest;
        return QStringLiteral("the image is %1 pixels wide; a row of %2 can be at most %3 "
                              "pixels wide, because the stride is 16 bits")
            .arg(QString::number(width), QLatin1String(format.name), QString::number(widest));
    }
    return QString();
}

Encoded encode(const OutputPlan &plan, const QImage &image, const QByteArray &fileBytes)
{
    const Format &format = *plan.format9();
    Encoded encoded;
    encoded.width = image.width();
    encoded.height = image.height();
    encoded.stride = effectiveStride(plan, image.width(), image.height());
    if (format.layout == Layout::Argb8888Premultiplied)
        encoded.flags |= FlagPremultiplied;

    constexpr int Room = Encoded::HeaderRoom;
    QByteArray data;
    if (format.layout == Layout::Raw) {
        data = QByteArray(Room, '\0') + fileBytes;
    } else {
        IndexedImage indexed;
        if (format.layout == Layout::Indexed && !plan.palette.isEmpty())
            indexed = mapToPalette(image, plan.palette, plan.dither);
        else if (format.layout == Layout::Indexed)
            indexed =
                quantize(image, paletteEntries(format),
                         format.bits == 8 ? plan.quantizer : QuantizerKind::Best, plan.dither);
        const QByteArray palette = paletteBytes(paletteEntries(format), indexed.palette);
        const int stride = encoded.stride;
        const int planes = format.layout == Layout::Rgb565A8 ? 2 : 1;
        const qint64 total = palette.size() + qint64(stride) * encoded.height
            + (planes == 2 ? qint64(stride / 2) * encoded.height : 0);
        // The data goes after room for the .bin header, so that the .bin
        // is made without a copy. Padding bytes stay zero; 8 bytes of slack
        // for the packers.
        data = QByteArray(int(Room + total + 8), '\0');
        auto *d = reinterpret_cast<uchar *>(data.data()) + Room;
        std::memcpy(d, palette.constData(), size_t(palette.size()));
        d += palette.size();
        RowEncoder rows(plan, image, format.layout == Layout::Indexed ? &indexed : nullptr);
        for (int plane = 0; plane < planes; ++plane) {
            const int step = plane == 0 ? stride : stride / 2;
            for (int y = 0; y < encoded.height; ++y) {
                rows.row(plane, y, d);
                d += step;
            }
        }
        data.chop(8);
    }
    encoded.uncompressedSize = data.size() - Room;

    if (plan.compression == Compression::None) {
        encoded.bytes = data;
        return encoded;
    }
    const QByteArray plain = data.mid(Room);
    QByteArray payload;
    if (plan.compression == Compression::Rle) {
        payload = rleCompress(plain, rleBlockSize(format));
    } else {
        payload.resize(LZ4_compressBound(plain.size()));
        const int n = LZ4_compress_HC(plain.constData(), payload.data(), plain.size(),
                                      payload.size(), LZ4HC_CLEVEL_DEFAULT);
        payload.resize(qMax(0, n));
    }
    encoded.flags |= FlagCompressed;
    encoded.bytes = QByteArray(Room + 12, '\0');
    auto *h = reinterpret_cast<uchar *>(encoded.bytes.data()) + Room;
    putLe32(h, quint32(plan.compression));
    putLe32(h + 4, quint32(payload.size()));
    putLe32(h + 8, quint32(plain.size()));
    encoded.bytes += payload;
    return encoded;
}

QByteArray rleCompress(const QByteArray &data, int blockSize)
{
    const auto *s = reinterpret_cast<const uchar *>(data.constData());
    const qint64 length = data.size();
    const qint64 whole = length / blockSize; // complete blocks
    const bool partial = length % blockSize != 0;
    QByteArray out;
    out.reserve(int(length / 2 + 16));

    const auto sameBlock = [&](qint64 a, qint64 b) {
        return std::memcmp(s + a * blockSize, s + b * blockSize, size_t(blockSize)) == 0;
    };
    // A repeat pays off from 2 blocks of 2 bytes or more, 3 of 1 byte.
    const int worthRepeating = blockSize == 1 ? 3 : 2;
    const auto repeatLength = [&](qint64 at) {
        qint64 n = 1;
        while (at + n < whole && n < 127 && sameBlock(at, at + n))
            ++n;
        return n;
    };

    qint64 i = 0;
    while (i < whole) {
        const qint64 run = repeatLength(i);
        if (run >= worthRepeating) {
            out += char(run);
            out.append(reinterpret_cast<const char *>(s + i * blockSize), blockSize);
            i += run;
            continue;
        }
        // Literals until a repeat worth its control byte starts, or 127.
        qint64 end = i + 1;
        while (end < whole && end - i < 127 && repeatLength(end) < worthRepeating)
            ++end;
        qint64 count = end - i;
        // A partial last block may only travel in a literal packet: join
        // this one when it ends the whole blocks and has room.
        const bool takesPartial = partial && end == whole && count < 127;
        out += char(0x80 | (count + (takesPartial ? 1 : 0)));
        out.append(reinterpret_cast<const char *>(s + i * blockSize), int(count * blockSize));
        if (takesPartial)
            out.append(reinterpret_cast<const char *>(s + whole * blockSize),
                       int(length - whole * blockSize));
        i = end;
        if (takesPartial)
            return out;
    }
    if (partial) {
        out += char(0x80 | 1);
        out.append(reinterpret_cast<const char *>(s + whole * blockSize),
                   int(length - whole * blockSize));
    }
    return out;
}

QByteArray binary(const OutputPlan &plan, Encoded encoded)
{
    QByteArray bytes = std::move(encoded.bytes);
    auto *h = reinterpret_cast<uchar *>(bytes.data());
    h[0] = 0x19;
    h[1] = uchar(plan.format9()->cf);
    putLe16(h + 2, encoded.flags);
    putLe16(h + 4, quint16(encoded.width));
    putLe16(h + 6, quint16(encoded.height));
    putLe16(h + 8, quint16(encoded.stride));
    putLe16(h + 10, 0);
    return bytes;
}

} // namespace Lvgl9
} // namespace Convert
