#ifndef SHAREDPALETTE_H
#define SHAREDPALETTE_H

#include "quantizer.h"

#include <QImage>
#include <QRgb>
#include <QVector>

// One palette for several images (the frames of an animation), so that a
// colour keeps its entry from one image to the next and nothing flickers.
namespace Convert {

// A palette of at most colors entries (2 to 256) for all of images: when
// they hold at most that many distinct ARGB values together, exactly those,
// in order of first appearance (image by image, row by row); otherwise
// quantize() of a sample made of rows taken evenly from every image (about
// 512 x 512 pixels in all, so the cost does not grow with the frame count).
// Deterministic. Empty for no images or a wrong number of colours.
QVector<QRgb> sharedPalette(const QVector<QImage> &images, int colors, QuantizerKind kind);

// image mapped to palette (non-premultiplied 0xAARRGGBB, 1 to 256 entries):
// each pixel to the nearest entry by premultiplied colour and alpha (a
// colour of the palette to its own entry), with Floyd-Steinberg error
// diffusion when dither is set. Each distinct colour is looked up once.
// A null image or an empty palette give a null result.
IndexedImage mapToPalette(const QImage &image, const QVector<QRgb> &palette, bool dither);

} // namespace Convert

#endif // SHAREDPALETTE_H
