#ifndef LVGL8SECTIONS_H
#define LVGL8SECTIONS_H

#include "errordiffusion.h"
#include "lvgl8formats.h"
#include "pixelrows.h"
#include "quantizer.h"

#include <QByteArray>
#include <QImage>

#include <array>
#include <memory>
#include <vector>

namespace Convert {
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
    // A chroma-keyed format: LV_COLOR_CHROMA_KEY of the device, as RRGGBB.
    unsigned chromaKey = ChromaKey;
};

// Prepares image (and, for Raw, the file's bytes) for the format: an
// indexed format is quantized here, or mapped to palette when one is given.
PreparedImage prepare(const Format &format, const QImage &image, const QByteArray &fileBytes,
                      QuantizerKind quantizer, bool dither,
                      const QVector<QRgb> &palette = QVector<QRgb>());

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

#endif // LVGL8SECTIONS_H
