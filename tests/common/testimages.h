#ifndef TESTIMAGES_H
#define TESTIMAGES_H

#include <QImage>

// Images made in code for the tests and benchmarks.
namespace TestImages {

// A photo-like RGBA picture: smooth gradients, a soft round shape, grain
// and an alpha ramp with fully transparent and fully opaque parts. The same
// seed gives the same picture.
QImage photo(int width, int height, quint32 seed = 1);

// A flat-shaded round icon with soft edges: a colour blend across a broad
// diagonal band inside a disc whose rim fades out over two pixels, fully
// transparent (0x00000000) outside. About 140 distinct ARGB values at 64 x
// 64, most of them partly transparent.
QImage softIcon(int side);

// An image of the given format whose scanline bytes are random (including
// values no decoder would produce, such as colour above alpha in
// premultiplied formats). Indexed formats get a random colour table of
// colorCount entries, so that some pixels may point past its end.
QImage randomBytes(QImage::Format format, int width, int height, quint32 seed, int colorCount = 0);

} // namespace TestImages

#endif // TESTIMAGES_H
