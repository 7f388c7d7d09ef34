#ifndef PIXELROWS_H
#define PIXELROWS_H

#include <QImage>
#include <QRgb>

#include <vector>

namespace Convert {

// Reads an image row by row as non-premultiplied 8-bit ARGB values
// (0xAARRGGBB) that are, for every pixel format, exactly the components
// QImage::pixelColor() reports: red(), green(), blue() and alpha() of the
// QColor it returns, each clamped to 0..255 (only Qt 6's floating-point
// formats give values outside). The writers' bytes are defined by that
// reading.
//
// The common formats are converted straight from the scanline, with the
// same arithmetic Qt uses (including its 16-bit unpremultiply for
// premultiplied formats, taken from a table that Qt itself fills). Rare
// formats go through pixelColor() itself, one pixel at a time.
//
// A PixelRows object keeps one row of scratch space; use one per thread.
class PixelRows
{
public:
    explicit PixelRows(const QImage &image);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }

    // Row y (0 <= y < height()); valid until the next call.
    const QRgb *row(int y);

private:
    enum class Path {
        Direct, // ARGB32: the scanline already is the answer
        Opaque32, // RGB32: the scanline with alpha forced to 0xff
        Unpremultiply32, // ARGB32_Premultiplied
        Rgba8888, // RGBX8888, RGBA8888: byte order R, G, B, A
        Rgba8888Unpremultiply, // RGBA8888_Premultiplied
        Rgb888,
        Bgr888,
        Rgb16,
        Grayscale8,
        Grayscale16,
        Rgba64, // RGBX64, RGBA64
        Rgba64Unpremultiply, // RGBA64_Premultiplied
        Indexed8,
        Mono,
        MonoLsb,
        Generic, // every other format: QImage::pixelColor per pixel
    };

    void readIndexed(int y, QRgb *out) const;

    QImage m_image;
    Path m_path;
    std::vector<QRgb> m_scratch;
    QVector<QRgb> m_colorTable;
};

} // namespace Convert

#endif // PIXELROWS_H
