#ifndef FORMATS_H
#define FORMATS_H

#include <QString>

namespace Convert {

// The output kinds the program writes. The values are the item indices of
// the window's "Output format" box, so a combo index converts directly.
enum OutputFormat : int {
    CArray = 0,
    BinaryRgb332 = 1,
    BinaryRgb565 = 2,
    BinaryRgb565Swap = 3,
    BinaryRgb888 = 4,
};

// The colour formats of a C array. The values are the item indices of the
// window's "Color format" box. Binary outputs ignore the colour format.
enum ColorFormat : int {
    TrueColor = 0,
    TrueColorAlpha = 1,
    TrueColorChromaKeyed = 2,
    Indexed256 = 3,
};

// The LVGL v8 image header stores width and height in 11-bit fields, so a
// larger side cannot be described on the device.
constexpr int MaxImageSide = 2047;

// The decoding budget: no source is decoded into more pixels or more bytes
// than this, whatever the output. The size is read from the file's header
// before anything is decoded, so a small file that claims a huge image
// (a decompression bomb) costs nothing. 8192 x 8192 pixels of 4 bytes.
constexpr qint64 DecodeBudgetPixels = qint64(64) << 20;
constexpr qint64 DecodeBudgetBytes = qint64(256) << 20;

inline bool isBinary(OutputFormat format)
{
    return format >= BinaryRgb332 && format <= BinaryRgb888;
}

inline bool isValid(OutputFormat format)
{
    return format >= CArray && format <= BinaryRgb888;
}

inline bool isValid(ColorFormat format)
{
    return format >= TrueColor && format <= Indexed256;
}

// How a C file reaches LVGL's header. Projects differ: the library's own
// examples put it on the include path as "lvgl/lvgl.h", an ESP-IDF project
// with the library as a managed component has it as "lvgl.h".
enum class IncludeStyle {
    // The block the library's own generated font files use:
    //   #if defined(LV_LVGL_H_INCLUDE_SIMPLE)
    //   #include "lvgl.h"
    //   #elif defined(LV_LVGL_H_INCLUDE_SYSTEM)
    //   #include <lvgl.h>
    //   #elif defined(__has_include)
    //   #if __has_include("lvgl.h")
    //   #include "lvgl.h"
    //   #else
    //   #include "lvgl/lvgl.h"
    //   #endif
    //   #else
    //   #include "lvgl/lvgl.h"
    //   #endif
    // __has_include is tested by defined() first, in an #if of its own: an
    // unknown function-like macro in an #if is an error on old compilers.
    Auto,
    Subdir, // #include "lvgl/lvgl.h"
    Simple, // #include "lvgl.h"
};

// ".c" for C arrays, ".bin" for the binary formats.
QString outputExtension(OutputFormat format);

// The names the window shows, such as "Binary RGB565" or "True color with alpha".
QString displayName(OutputFormat format);
QString displayName(ColorFormat format);

} // namespace Convert

#endif // FORMATS_H
