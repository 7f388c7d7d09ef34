#ifndef LVGLFORMATTABLE_H
#define LVGLFORMATTABLE_H

// The decoder's own table of LVGL colour formats, written from the layout
// rules (lvgldecoder.h) and apart from the writers' table.

#include <QString>
#include <QtGlobal>

namespace Convert {
namespace Decoder {

// How the colour of one pixel is packed.
enum class Packing : quint8 {
    Rgb332, // red bits 7-5, green 4-2, blue 1-0
    Rgb565, // red bits 15-11, green 10-5, blue 4-0, low byte first
    Rgb565Swapped, // the same, high byte first
    Bgr888, // blue, green, red
    Bgrx8888, // blue, green, red, a byte that is not read
    L8, // grey
};

inline int packingBytes(Packing packing)
{
    switch (packing) {
    case Packing::Rgb332:
    case Packing::L8:
        return 1;
    case Packing::Rgb565:
    case Packing::Rgb565Swapped:
        return 2;
    case Packing::Bgr888:
        return 3;
    case Packing::Bgrx8888:
        return 4;
    }
    return 1;
}

enum class Layout : quint8 {
    Raw, // a PNG or JPEG file
    DepthColour, // v8 true colour, packed as LV_COLOR_DEPTH's colour
    Colour, // v9: one packing
    Indexed, // palette, then bit-packed indices
    AlphaOnly, // bit-packed alpha levels, drawn in the recolour
    PlanarAlpha, // RGB565A8: colours, then an alpha plane
};

// One colour format of one library version.
struct FormatRow
{
    int version;
    int cf;
    const char *name; // without "LV_IMG_CF_" or "LV_COLOR_FORMAT_"
    Layout layout;
    int bits; // Indexed, AlphaOnly: bits per pixel
    Packing packing; // Colour
    bool alpha; // Colour and DepthColour: an alpha byte follows each colour
    bool premultiplied;
    bool chromaKeyed;
    const char *versionNote; // v9: which releases draw it, when not every one
};

constexpr Packing NoPacking = Packing::Rgb565;

inline constexpr FormatRow formatTable[] = {
    {8, 1, "RAW", Layout::Raw, 0, NoPacking, false, false, false, nullptr},
    {8, 2, "RAW_ALPHA", Layout::Raw, 0, NoPacking, true, false, false, nullptr},
    {8, 3, "RAW_CHROMA_KEYED", Layout::Raw, 0, NoPacking, false, false, true, nullptr},
    {8, 4, "TRUE_COLOR", Layout::DepthColour, 0, NoPacking, false, false, false, nullptr},
    {8, 5, "TRUE_COLOR_ALPHA", Layout::DepthColour, 0, NoPacking, true, false, false, nullptr},
    {8, 6, "TRUE_COLOR_CHROMA_KEYED", Layout::DepthColour, 0, NoPacking, false, false, true,
     nullptr},
    {8, 7, "INDEXED_1BIT", Layout::Indexed, 1, NoPacking, false, false, false, nullptr},
    {8, 8, "INDEXED_2BIT", Layout::Indexed, 2, NoPacking, false, false, false, nullptr},
    {8, 9, "INDEXED_4BIT", Layout::Indexed, 4, NoPacking, false, false, false, nullptr},
    {8, 10, "INDEXED_8BIT", Layout::Indexed, 8, NoPacking, false, false, false, nullptr},
    {8, 11, "ALPHA_1BIT", Layout::AlphaOnly, 1, NoPacking, false, false, false, nullptr},
    {8, 12, "ALPHA_2BIT", Layout::AlphaOnly, 2, NoPacking, false, false, false, nullptr},
    {8, 13, "ALPHA_4BIT", Layout::AlphaOnly, 4, NoPacking, false, false, false, nullptr},
    {8, 14, "ALPHA_8BIT", Layout::AlphaOnly, 8, NoPacking, false, false, false, nullptr},
    {8, 20, "RGB565A8", Layout::PlanarAlpha, 0, NoPacking, true, false, false, nullptr},

    {9, 0x01, "RAW", Layout::Raw, 0, NoPacking, false, false, false, nullptr},
    {9, 0x02, "RAW_ALPHA", Layout::Raw, 0, NoPacking, true, false, false, nullptr},
    {9, 0x06, "L8", Layout::Colour, 0, Packing::L8, false, false, false, "LVGL 9.0 draws no L8"},
    {9, 0x07, "I1", Layout::Indexed, 1, NoPacking, false, false, false, nullptr},
    {9, 0x08, "I2", Layout::Indexed, 2, NoPacking, false, false, false, nullptr},
    {9, 0x09, "I4", Layout::Indexed, 4, NoPacking, false, false, false, nullptr},
    {9, 0x0A, "I8", Layout::Indexed, 8, NoPacking, false, false, false, nullptr},
    {9, 0x0B, "A1", Layout::AlphaOnly, 1, NoPacking, false, false, false, nullptr},
    {9, 0x0C, "A2", Layout::AlphaOnly, 2, NoPacking, false, false, false, nullptr},
    {9, 0x0D, "A4", Layout::AlphaOnly, 4, NoPacking, false, false, false, nullptr},
    {9, 0x0E, "A8", Layout::AlphaOnly, 8, NoPacking, false, false, false, nullptr},
    {9, 0x0F, "RGB888", Layout::Colour, 0, Packing::Bgr888, false, false, false, nullptr},
    {9, 0x10, "ARGB8888", Layout::Colour, 0, Packing::Bgr888, true, false, false, nullptr},
    {9, 0x11, "XRGB8888", Layout::Colour, 0, Packing::Bgrx8888, false, false, false, nullptr},
    {9, 0x12, "RGB565", Layout::Colour, 0, Packing::Rgb565, false, false, false, nullptr},
    {9, 0x13, "ARGB8565", Layout::Colour, 0, Packing::Rgb565, true, false, false,
     "LVGL 9.0 lacks ARGB8565"},
    {9, 0x14, "RGB565A8", Layout::PlanarAlpha, 0, NoPacking, true, false, false, nullptr},
    {9, 0x15, "AL88", Layout::Colour, 0, Packing::L8, true, false, false,
     "AL88 needs LVGL 9.2 or later"},
    {9, 0x1A, "ARGB8888_PREMULTIPLIED", Layout::Colour, 0, Packing::Bgr888, true, true, false,
     "ARGB8888_PREMULTIPLIED needs LVGL 9.3 or later"},
    {9, 0x1B, "RGB565_SWAPPED", Layout::Colour, 0, Packing::Rgb565Swapped, false, false, false,
     "RGB565_SWAPPED needs LVGL 9.3 or later"},
};

const FormatRow *findFormat(int version, int cf);
// "LV_IMG_CF_" or "LV_COLOR_FORMAT_" and the row's name.
QString libraryName(const FormatRow &row);
// Bits of one pixel of a v9 row (for the stride and RLE blocks).
int bitsPerPixel(const FormatRow &row);

inline constexpr int V9Magic = 0x19;
inline constexpr int FlagPremultiplied = 0x0001;
inline constexpr int FlagCompressed = 0x0008;

inline quint32 le32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

inline int le16(const uchar *p)
{
    return p[0] | p[1] << 8;
}

} // namespace Decoder
} // namespace Convert

#endif // LVGLFORMATTABLE_H
