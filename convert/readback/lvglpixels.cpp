#include "lvglpixels.h"

namespace Convert {
namespace Decoder {

void readColours(Packing packing, bool alpha, bool premultiplied, bool widen, const uchar *s,
                 int width, QRgb *out)
{
    const auto from565 = widen ? widen565 : expand565;
    const int colourBytes = packingBytes(packing);
    const int step = colourBytes + (alpha ? 1 : 0);
    for (int x = 0; x < width; ++x, s += step) {
        QRgb c = 0;
        switch (packing) {
        case Packing::Rgb332:
            c = expand332(s[0]);
            break;
        case Packing::Rgb565:
            c = from565(uint(s[0] | s[1] << 8));
            break;
        case Packing::Rgb565Swapped:
            c = from565(uint(s[1] | s[0] << 8));
            break;
        case Packing::Bgr888:
        case Packing::Bgrx8888:
            c = qRgb(s[2], s[1], s[0]);
            break;
        case Packing::L8:
            c = qRgb(s[0], s[0], s[0]);
            break;
        }
        const int a = alpha ? s[colourBytes] : 255;
        if (premultiplied) {
            // The library draws a stored colour p as p + background *
            // (255 - a) / 255. The picture keeps its alpha, so it holds the
            // plain colour that gives the same: p * 255 / a, rounded. That
            // undoes round(c * a / 255) exactly where a allows it, and
            // older files' (c * a) >> 8 within a level. A colour above its
            // alpha (which no premultiplied image holds) counts as the alpha.
            const auto plain = [a](int v) { return a ? (qMin(v, a) * 255 + a / 2) / a : 0; };
            c = qRgb(plain(qRed(c)), plain(qGreen(c)), plain(qBlue(c)));
        }
        out[x] = (c & 0xffffff) | QRgb(a) << 24;
    }
}

} // namespace Decoder
} // namespace Convert
