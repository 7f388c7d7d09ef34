#include "pixelrows.h"

#include <QColor>
#include <QRgba64>

#include <array>
#include <cstring>

namespace Convert {

namespace {

// 16-bit to 8-bit with rounding, exactly as QColor::red() and friends
// reduce the 16-bit components that QColor stores.
inline uint div257(uint x)
{
    return (x + 0x80 - ((x + 0x80) >> 8)) >> 8;
}

// unpremultiplied[alpha * 256 + component]: the 8-bit component that
// pixelColor() reports for an ARGB32_Premultiplied pixel. Qt widens the
// pixel to 16 bits, unpremultiplies at that precision and rounds back, so
// the result differs from the 8-bit qUnpremultiply() in places. The table
// is filled by asking pixelColor() itself, once, for all 65536 pairs.
const std::array<quint8, 256 * 256> &unpremultiplyTable()
{
    static const std::array<quint8, 256 * 256> table = [] {
        QImage probe(256, 256, QImage::Format_ARGB32_Premultiplied);
        for (int a = 0; a < 256; ++a) {
            auto *line = reinterpret_cast<QRgb *>(probe.scanLine(a));
            for (int c = 0; c < 256; ++c)
                line[c] = qRgba(c, 0, 0, a);
        }
        std::array<quint8, 256 * 256> t {};
        for (int a = 0; a < 256; ++a) {
            for (int c = 0; c < 256; ++c)
                t[a * 256 + c] = quint8(probe.pixelColor(c, a).red());
        }
        return t;
    }();
    return table;
}

inline QRgb unpremultiplied(const quint8 *table, uint r, uint g, uint b, uint a)
{
    const quint8 *t = table + a * 256;
    return qRgba(t[r], t[g], t[b], int(a));
}

} // namespace

PixelRows::PixelRows(const QImage &image)
    : m_image(image)
    , m_scratch(size_t(qMax(image.width(), 0)))
{
    switch (image.format()) {
    case QImage::Format_ARGB32:
        m_path = Path::Direct;
        break;
    case QImage::Format_RGB32:
        m_path = Path::Opaque32;
        break;
    case QImage::Format_ARGB32_Premultiplied:
        m_path = Path::Unpremultiply32;
        break;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        m_path = Path::Rgba8888;
        break;
    case QImage::Format_RGBA8888_Premultiplied:
        m_path = Path::Rgba8888Unpremultiply;
        break;
    case QImage::Format_RGB888:
        m_path = Path::Rgb888;
        break;
    case QImage::Format_BGR888:
        m_path = Path::Bgr888;
        break;
    case QImage::Format_RGB16:
        m_path = Path::Rgb16;
        break;
    case QImage::Format_Grayscale8:
        m_path = Path::Grayscale8;
        break;
    case QImage::Format_Grayscale16:
        m_path = Path::Grayscale16;
        break;
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
        m_path = Path::Rgba64;
        break;
    case QImage::Format_RGBA64_Premultiplied:
        m_path = Path::Rgba64Unpremultiply;
        break;
    case QImage::Format_Indexed8:
        m_path = Path::Indexed8;
        break;
    case QImage::Format_Mono:
        m_path = Path::Mono;
        break;
    case QImage::Format_MonoLSB:
        m_path = Path::MonoLsb;
        break;
    default:
        m_path = Path::Generic;
        break;
    }
    if (m_path == Path::Indexed8 || m_path == Path::Mono || m_path == Path::MonoLsb)
        m_colorTable = image.colorTable();
}

void PixelRows::readIndexed(int y, QRgb *out) const
{
    // QImage::pixel() answers 0 (transparent black) for an index outside the
    // colour table.
    const uchar *s = m_image.constScanLine(y);
    const int w = m_image.width();
    const int n = m_colorTable.size();
    const QRgb *table = m_colorTable.constData();
    for (int x = 0; x < w; ++x) {
        int index;
        if (m_path == Path::Indexed8)
            index = s[x];
        else if (m_path == Path::Mono)
            index = (s[x >> 3] >> (~x & 7)) & 1;
        else
            index = (s[x >> 3] >> (x & 7)) & 1;
        out[x] = index < n ? table[index] : 0;
    }
}

const QRgb *PixelRows::row(int y)
{
    const uchar *s = m_image.constScanLine(y);
    const int w = m_image.width();
    QRgb *out = m_scratch.data();

    switch (m_path) {
    case Path::Direct:
        return reinterpret_cast<const QRgb *>(s);
    case Path::Opaque32: {
        const auto *in = reinterpret_cast<const QRgb *>(s);
        for (int x = 0; x < w; ++x)
            out[x] = in[x] | 0xff000000u;
        break;
    }
    case Path::Unpremultiply32: {
        const quint8 *table = unpremultiplyTable().data();
        const auto *in = reinterpret_cast<const QRgb *>(s);
        for (int x = 0; x < w; ++x) {
            const QRgb p = in[x];
            out[x] = unpremultiplied(table, qRed(p), qGreen(p), qBlue(p), qAlpha(p));
        }
        break;
    }
    case Path::Rgba8888:
        for (int x = 0; x < w; ++x, s += 4)
            out[x] = qRgba(s[0], s[1], s[2], s[3]);
        break;
    case Path::Rgba8888Unpremultiply: {
        const quint8 *table = unpremultiplyTable().data();
        for (int x = 0; x < w; ++x, s += 4)
            out[x] = unpremultiplied(table, s[0], s[1], s[2], s[3]);
        break;
    }
    case Path::Rgb888:
        for (int x = 0; x < w; ++x, s += 3)
            out[x] = qRgb(s[0], s[1], s[2]);
        break;
    case Path::Bgr888:
        for (int x = 0; x < w; ++x, s += 3)
            out[x] = qRgb(s[2], s[1], s[0]);
        break;
    case Path::Rgb16: {
        // Each field is widened by repeating its top bits, as Qt does.
        const auto *in = reinterpret_cast<const quint16 *>(s);
        for (int x = 0; x < w; ++x) {
            const uint c = in[x];
            const uint r = (c >> 11) & 0x1f;
            const uint g = (c >> 5) & 0x3f;
            const uint b = c & 0x1f;
            out[x] =
                qRgb(int((r << 3) | (r >> 2)), int((g << 2) | (g >> 4)), int((b << 3) | (b >> 2)));
        }
        break;
    }
    case Path::Grayscale8:
        for (int x = 0; x < w; ++x)
            out[x] = qRgb(s[x], s[x], s[x]);
        break;
    case Path::Grayscale16: {
        const auto *in = reinterpret_cast<const quint16 *>(s);
        for (int x = 0; x < w; ++x) {
            const int v = int(div257(in[x]));
            out[x] = qRgb(v, v, v);
        }
        break;
    }
    case Path::Rgba64: {
        const auto *in = reinterpret_cast<const QRgba64 *>(s);
        for (int x = 0; x < w; ++x) {
            const QRgba64 p = in[x];
            out[x] = qRgba(int(div257(p.red())), int(div257(p.green())), int(div257(p.blue())),
                           int(div257(p.alpha())));
        }
        break;
    }
    case Path::Rgba64Unpremultiply: {
        const auto *in = reinterpret_cast<const QRgba64 *>(s);
        for (int x = 0; x < w; ++x) {
            const QRgba64 p = in[x].unpremultiplied();
            out[x] = qRgba(int(div257(p.red())), int(div257(p.green())), int(div257(p.blue())),
                           int(div257(p.alpha())));
        }
        break;
    }
    case Path::Indexed8:
    case Path::Mono:
    case Path::MonoLsb:
        readIndexed(y, out);
        break;
    case Path::Generic:
        // Qt 6's floating-point formats hold values outside 0..1, and NaN,
        // for which QColor reports components outside 0..255 (a NaN alpha
        // reads as INT_MIN): each is clamped.
        for (int x = 0; x < w; ++x) {
            const QColor c = m_image.pixelColor(x, y);
            out[x] = qRgba(qBound(0, c.red(), 255), qBound(0, c.green(), 255),
                           qBound(0, c.blue(), 255), qBound(0, c.alpha(), 255));
        }
        break;
    }
    return out;
}

} // namespace Convert
