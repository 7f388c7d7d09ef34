#ifndef COLOURPACKING_H
#define COLOURPACKING_H

#include <QRgb>

namespace Convert {

// The two packed colour values LVGL uses below 32-bit colour depth. Both
// drop the low bits of each component (truncation, never rounding).

// RGB332: red bits 7-5, green bits 4-2, blue bits 1-0.
inline quint8 rgb332(QRgb p)
{
    return quint8((qRed(p) & 0xe0) | ((qGreen(p) >> 5) << 2) | (qBlue(p) >> 6));
}

// RGB565: red bits 15-11, green bits 10-5, blue bits 4-0.
inline quint16 rgb565(QRgb p)
{
    return quint16(((qRed(p) >> 3) << 11) | ((qGreen(p) >> 2) << 5) | (qBlue(p) >> 3));
}

} // namespace Convert

#endif // COLOURPACKING_H
