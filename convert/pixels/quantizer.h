#ifndef QUANTIZER_H
#define QUANTIZER_H

#include <QImage>
#include <QRgb>
#include <QVector>

// Palette reduction for the indexed outputs (2, 4, 16 and 256 entries).
namespace Convert {

enum class QuantizerKind {
    // Qt's own reduction to 256 colours (QImage::convertToFormat to
    // Format_Indexed8 with the default flags): the window's "Indexed 256
    // colors", kept so that its files never change.
    Toolkit,
    // Exact when the image has at most the allowed number of distinct
    // colours (alpha included); otherwise libimagequant, alpha-aware.
    Best,
};

// An image reduced to a palette.
struct IndexedImage
{
    // Non-premultiplied 0xAARRGGBB entries, at most the number asked for.
    QVector<QRgb> palette;
    // One palette index per pixel, in a Format_Indexed8 image whose colour
    // table is palette.
    QImage indices;
};

// Reduces image (any format; read as QImage::pixelColor reports it) to at
// most colors entries (2, 4, 16 or 256; Toolkit: 256 only). With dither,
// the remapping diffuses the error (Floyd-Steinberg). Deterministic: the
// same image gives the same palette and indices on any thread, at any load.
// A null image, another number of colours, or memory running out give a
// null result (null indices, empty palette).
IndexedImage quantize(const QImage &image, int colors, QuantizerKind kind, bool dither);

} // namespace Convert

#endif // QUANTIZER_H
