#include "resample.h"

// The library's implementation, compiled here and nowhere else; static, so
// that no other copy of it in a program can clash with ours.
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#include <stb_image_resize.h>

namespace Convert {

namespace {

struct Layout
{
    QImage::Format format;
    int channels;
    int alphaChannel; // -1 for none
    bool wide; // 16 bits a channel
};

Layout layoutFor(const QImage &image)
{
    if (image.format() == QImage::Format_Grayscale8)
        return {QImage::Format_Grayscale8, 1, -1, false};
    if (image.format() == QImage::Format_Grayscale16)
        return {QImage::Format_Grayscale16, 1, -1, true};
    const bool wide = image.depth() == 64;
    if (image.hasAlphaChannel())
        return wide ? Layout {QImage::Format_RGBA64, 4, 3, true}
                    : Layout {QImage::Format_RGBA8888, 4, 3, false};
    return wide ? Layout {QImage::Format_RGBX64, 4, -1, true}
                : Layout {QImage::Format_RGB888, 3, -1, false};
}

} // namespace

QImage resampled(const QImage &image, QSize size)
{
    if (image.size() == size)
        return image;
    if (image.isNull() || size.isEmpty())
        return QImage();
    const Layout layout = layoutFor(image);
    const QImage input = image.convertToFormat(layout.format);
    QImage output(size, layout.format);
    if (input.isNull() || output.isNull())
        return QImage();
    // Without STBIR_FLAG_ALPHA_PREMULTIPLIED, the library multiplies each
    // colour by its alpha before filtering and divides it out after, in
    // floating point: what filtering premultiplied pixels gives, without
    // the loss of rounding premultiplied colours to 8 bits.
    const int flags = 0;
    int done = 0;
    if (layout.wide) {
        done = stbir_resize_uint16_generic(
            reinterpret_cast<const stbir_uint16 *>(input.constBits()), input.width(),
            input.height(), int(input.bytesPerLine()),
            reinterpret_cast<stbir_uint16 *>(output.bits()), output.width(), output.height(),
            int(output.bytesPerLine()), layout.channels, layout.alphaChannel, flags,
            STBIR_EDGE_CLAMP, STBIR_FILTER_CATMULLROM, STBIR_COLORSPACE_LINEAR, nullptr);
    } else {
        done = stbir_resize_uint8_generic(
            input.constBits(), input.width(), input.height(), int(input.bytesPerLine()),
            output.bits(), output.width(), output.height(), int(output.bytesPerLine()),
            layout.channels, layout.alphaChannel, flags, STBIR_EDGE_CLAMP, STBIR_FILTER_CATMULLROM,
            STBIR_COLORSPACE_LINEAR, nullptr);
    }
    return done ? output : QImage();
}

} // namespace Convert
