#ifndef LVGL8FORMATS_H
#define LVGL8FORMATS_H

#include <QString>

namespace Convert {

// The LV_COLOR_DEPTH settings a v8 true-colour image is written for. A C
// array holds one "#if" section per depth, so that one file serves any
// setting; a .bin holds the bytes of one.
enum class ColorDepth : int {
    Depth8 = 0, // also LV_COLOR_DEPTH 1
    Depth16 = 1,
    Depth16Swap = 2, // LV_COLOR_16_SWAP
    Depth32 = 3,
};
constexpr int ColorDepthCount = 4;

constexpr unsigned depthBit(ColorDepth depth)
{
    return 1u << int(depth);
}

// "8", "16", "16swap" or "32", as --depth spells them.
QString depthName(ColorDepth depth);
// The configuration a depth stands for, as messages name it:
// "LV_COLOR_DEPTH 16 with LV_COLOR_16_SWAP".
QString depthSetting(ColorDepth depth);

namespace Lvgl8 {

// The LVGL v8 image formats, one row each. Everything that differs from
// format to format is in its row; one generic writer (lvgl8writer.cpp)
// makes the C array and the .bin of every row from the same bytes.
//
// Bytes of one image, by layout (w x h pixels, n = bits):
//   TrueColor       per pixel, by depth: RGB332 (1 byte); RGB565 low byte
//                   first (2); RGB565 high byte first (2); blue, green,
//                   red, 0xff (4)
//   TrueColorAlpha  the same, each pixel followed by its alpha byte
//   Indexed         2^n palette entries of blue, green, red, alpha (always
//                   all of them: LVGL reads 2^n), then h rows of
//                   ceil(w * n / 8) bytes of indices, the first pixel in
//                   the most significant bits, rows padded to a byte
//   Alpha           h rows of ceil(w * n / 8) bytes of alpha levels,
//                   packed like indices; the device reads 1 bit as 0/255,
//                   2 bits as v * 85, 4 bits as v * 17, 8 bits as is
//   Rgb565A8        w * h colours of 2 bytes in the depth-16 order (high
//                   byte first under LV_COLOR_16_SWAP), then a plane of
//                   w * h alpha bytes
//   Raw             the source file's bytes, unchanged, for LVGL's own PNG
//                   and JPEG decoders
//
// The .bin of a format is a 4-byte little-endian header word (bits 0-4
// cf, 5-9 zero, 10-20 width, 21-31 height) followed by the same bytes as
// the C array holds for the chosen depth.
enum class Layout { TrueColor, TrueColorAlpha, Indexed, Alpha, Rgb565A8, Raw };

// How a C array states its .data_size.
enum class DataSize {
    PixelsTimesColorSize, // "<w*h> * LV_COLOR_SIZE / 8", as the library's own converter
    PixelsTimesAlphaByte, // "<w*h> * LV_IMG_PX_SIZE_ALPHA_BYTE"
    Exact, // the array's length in bytes, so that sizeof equals .data_size
};

struct Format
{
    const char *name; // the library's name without "LV_IMG_CF_"
    const char *dashed; // the command line's dashed spelling
    int cf; // the header's 5-bit colour format number
    Layout layout;
    int bits; // Indexed and Alpha: bits per pixel
    unsigned sections; // depthBit()s of the depth sections; 0: one block for every depth
    // The comment line under each section's "#if", or nullptr.
    const char *const *comments;
    DataSize dataSize;
    bool hasBinary; // whether a .bin can be written (LVGL opens no RAW .bin)
    // For --help and the README.
    const char *purpose;
    const char *drawnAt; // at which LV_COLOR_DEPTH the library draws it
    const char *needs; // what the device needs for it, or ""
    // Whether the device leaves out the pixels whose value is the chroma
    // key's (ChromaKey, encoded at the depth).
    bool chromaKeyed = false;
};

// LV_COLOR_CHROMA_KEY as the library sets it unless configured: pure green.
constexpr unsigned ChromaKey = 0x00ff00;

// Every v8 format, in the order of their cf numbers.
const Format *formats();
int formatCount();

// The format of that name: the library's name, case-insensitively, with or
// without "LV_IMG_CF_", or the dashed spelling. nullptr when none.
const Format *findFormat(const QString &name);
const Format &format(int cf);

// Whether a .bin of the format depends on the LV_COLOR_DEPTH it is made for.
inline bool dependsOnDepth(const Format &format)
{
    return format.sections != 0;
}

// The number of palette entries (2^bits for Indexed, else 0).
inline int paletteEntries(const Format &format)
{
    return format.layout == Layout::Indexed ? 1 << format.bits : 0;
}

} // namespace Lvgl8
} // namespace Convert

#endif // LVGL8FORMATS_H
