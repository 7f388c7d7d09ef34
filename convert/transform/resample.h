#ifndef RESAMPLE_H
#define RESAMPLE_H

#include <QImage>
#include <QSize>

namespace Convert {

// image resampled to size by stb_image_resize with a Catmull-Rom filter.
//
// Colours are weighted by their alpha (premultiplied, in floating point,
// then divided out again), so the colour of a transparent pixel never
// bleeds into its visible neighbours as a dark or coloured fringe. The
// values are filtered as they are stored, gamma-encoded, as most image
// tools do by default. Catmull-Rom is the sharpest of the library's cubic
// filters and an interpolating one: it keeps icons' edges crisp when
// reducing, with far less ringing than a wide Lanczos window, and it is
// the closest of them to a Lanczos reduction.
//
// The result is RGBA8888 for an image with alpha, RGBA64 for one of 16
// bits a channel, Grayscale8 or Grayscale16 for grey, and RGB888 for the
// rest. An image already of that size is returned as it is. A null image
// means that the memory could not be had.
QImage resampled(const QImage &image, QSize size);

} // namespace Convert

#endif // RESAMPLE_H
