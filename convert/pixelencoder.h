#ifndef PIXELENCODER_H
#define PIXELENCODER_H

#include "lvgl8formats.h"
#include "pixelrows.h"
#include "quantizer.h"

#include <QByteArray>
#include <QImage>
#include <QtEndian>

#include <array>
#include <cstring>
#include <memory>
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

// A palette of entries entries of 4 bytes (blue, green, red, alpha) from
// colours, the entries past them zero: LVGL reads every entry.
QByteArray paletteBytes(int entries, const QVector<QRgb> &colours);

// Stores the low count bytes of value, least significant first, and
// returns the position after them. Always writes 4 bytes: those past count
// are zero, so they leave row padding zero, and the next pixel or the
// writers' 8 bytes of slack after the last row take them.
inline uchar *putLittle(uchar *d, quint32 value, int count)
{
    value = qToLittleEndian(value);
    std::memcpy(d, &value, 4);
    return d + count;
}

// Packs count values of bits each (1, 2, 4 or 8) into bytes, the first
// value in the most significant bits of its byte, the last byte padded
// with zero bits: ceil(count * bits / 8) bytes.
void packLevels(uchar *out, const uchar *values, int count, int bits);

// The alpha level of bits (1 to 7) nearest to each pixel's alpha:
// (a * (2^bits - 1) + 127) / 255.
void roundAlphaLevels(const QRgb *pixels, uchar *levels, int count, int bits);

namespace Lvgl8 {

// What the sections of one output are made from, prepared once.
struct PreparedImage
{
    const Format *format = nullptr;
    int width = 0;
    int height = 0;
    QImage image; // the source pixels (every layout but Indexed and Raw)
    IndexedImage indexed; // Indexed
    QByteArray raw; // Raw: the source file
};

// Prepares image (and, for Raw, the file's bytes) for the format: an
// indexed format is quantized here.
PreparedImage prepare(const Format &format, const QImage &image, const QByteArray &fileBytes,
                      QuantizerKind quantizer, bool dither);

// Per depth, the opaque pixels of a chroma-keyed image that are not the key
// colour but take its value there, so that the device does not draw them
// (0x00FC00 is RGB565 0x07E0, as the key 0x00FF00 is); 0 for a depth
// without a section.
using HiddenPixels = std::array<qint64, ColorDepthCount>;

// The bytes of one section of a prepared image: those the C array holds
// under one "#if LV_COLOR_DEPTH" (or the only block of a format without
// sections), and a .bin holds after its header. Planes are read in order
// (plane 0's rows, then plane 1's), each row once and from the top; the
// state of the error diffusion runs along.
class SectionEncoder
{
public:
    SectionEncoder(const PreparedImage &prepared, ColorDepth depth, bool dither);
    ~SectionEncoder();

    // The palette bytes: 2^bits entries of blue, green, red, alpha, the
    // unused ones zero. Empty for formats without a palette.
    QByteArray palette() const;

    int planeCount() const;
    int rowBytes(int plane) const;
    // Row y of the plane, valid until the next call.
    const uchar *row(int plane, int y);
    // The same, written to out (rowBytes(plane) bytes, and up to 8 bytes
    // past them may be written as scratch).
    void rowTo(int plane, int y, uchar *out);

    // Every byte of the section, palette first.
    qint64 totalBytes() const;

    // A chroma-keyed format: the opaque pixels of the rows made so far
    // that are not the key colour but whose bytes are the key's, as the
    // device compares them. Always 0 for other formats.
    qint64 hiddenPixels() const { return m_hidden; }

private:
    void packColourRow(const QRgb *pixels, uchar *out, bool withAlpha);
    void countHidden(const QRgb *pixels, const uchar *out);

    const PreparedImage &m_prepared;
    const Format &m_format;
    const ColorDepth m_depth;
    const bool m_dither;
    std::unique_ptr<PixelRows> m_rows;
    std::unique_ptr<ErrorDiffusion> m_diffusion;
    std::vector<QRgb> m_reduced;
    std::vector<uchar> m_levels;
    std::vector<uchar> m_out;
    int m_plane = -1;
    uchar m_key[8] = {}; // the key's bytes at this depth, and scratch
    int m_pixelBytes = 0;
    qint64 m_hidden = 0;
};

} // namespace Lvgl8
} // namespace Convert

#endif // PIXELENCODER_H
