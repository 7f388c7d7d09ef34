#ifndef ERRORDIFFUSION_H
#define ERRORDIFFUSION_H

#include <QRgb>

#include <vector>

namespace Convert {

// Floyd-Steinberg error diffusion onto a few levels per channel. The
// error is measured against the value the device shows for the chosen
// level (RGB565's 5 bits shown as their bit-replicated 8-bit value, say),
// not against the dropped bits, so that the average colour over an area
// is the source's. Integer arithmetic only: the same row gives the same
// levels on every machine.
class ErrorDiffusion
{
public:
    // The channel of a 0xAARRGGBB pixel a diffusion works on.
    enum Channel { Red = 16, Green = 8, Blue = 0, Alpha = 24 };
    struct Target
    {
        Channel channel;
        int bits; // 1 to 7
        // Levels are shown as the bit-replicated value (RGB565 and RGB332
        // colours), or as level * 255 / (2^bits - 1) (alpha levels).
        bool replicate;
    };

    ErrorDiffusion(int width, std::vector<Target> targets);

    // The levels of the next row: levels[x * targets + t].
    void row(const QRgb *pixels, uchar *levels);

    // The level nearest to an 8-bit value, and what the device shows for a
    // level.
    static int nearestLevel(int value, int bits, bool replicate);
    static int shownValue(int level, int bits, bool replicate);

private:
    struct Tables
    {
        uchar nearest[256];
        uchar shown[128];
        // value - shown[nearest[value]]: the error, without a second
        // dependent load on the diffusion's critical path.
        signed char residual[256];
    };

    int m_width;
    std::vector<Target> m_targets;
    std::vector<const Tables *> m_tables;
    std::vector<int> m_current; // errors * 16, one pixel of margin on each side
    std::vector<int> m_next;
};

} // namespace Convert

#endif // ERRORDIFFUSION_H
