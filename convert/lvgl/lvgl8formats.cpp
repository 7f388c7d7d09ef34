#include "lvgl8formats.h"

#include <QtGlobal>

#include <iterator>

namespace Convert {

QString depthName(ColorDepth depth)
{
    switch (depth) {
    case ColorDepth::Depth8:
        return QStringLiteral("8");
    case ColorDepth::Depth16:
        return QStringLiteral("16");
    case ColorDepth::Depth16Swap:
        return QStringLiteral("16swap");
    case ColorDepth::Depth32:
        return QStringLiteral("32");
    }
    return QString();
}

QString depthSetting(ColorDepth depth)
{
    switch (depth) {
    case ColorDepth::Depth8:
        return QStringLiteral("LV_COLOR_DEPTH 8");
    case ColorDepth::Depth16:
        return QStringLiteral("LV_COLOR_DEPTH 16");
    case ColorDepth::Depth16Swap:
        return QStringLiteral("LV_COLOR_DEPTH 16 with LV_COLOR_16_SWAP");
    case ColorDepth::Depth32:
        return QStringLiteral("LV_COLOR_DEPTH 32");
    }
    return QString();
}

namespace Lvgl8 {

namespace {

constexpr unsigned AllDepths = depthBit(ColorDepth::Depth8) | depthBit(ColorDepth::Depth16)
    | depthBit(ColorDepth::Depth16Swap) | depthBit(ColorDepth::Depth32);
constexpr unsigned Depths16 = depthBit(ColorDepth::Depth16) | depthBit(ColorDepth::Depth16Swap);

const char *const trueColorComments[ColorDepthCount] = {
    " /*Pixel format: Red: 3 bit, Green: 3 bit, Blue: 2 bit*/",
    " /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit*/",
    " /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes are swapped*/",
    " /*Pixel format: Fix 0xFF: 8 bit, Red: 8 bit, Green: 8 bit, Blue: 8 bit*/",
};

// The alpha array has no comment above its depth-32 rows.
const char *const trueColorAlphaComments[ColorDepthCount] = {
    "//Pixel format: Alpha 8 bit, Red: 3 bit, Green: 3 bit, Blue: 2 bit",
    "//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit",
    ("//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes "
     "are swapped"),
    nullptr,
};

const char *const rgb565a8Comments[ColorDepthCount] = {
    nullptr,
    " /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit; then an alpha plane of 8 bit*/",
    (" /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes are "
     "swapped; then an alpha plane of 8 bit*/"),
    nullptr,
};

const char EveryDepth[] = "every depth";
// LVGL's own PNG decoder swaps red and blue at depth 8, and its JPEG
// decoder packs R2G3B3 there instead of R3G3B2.
const char EveryDepthWrongAt8[] =
    "every depth, but wrong colours at depth 8 (a fault of the library's decoder)";
const char Recolour[] = "the image recolour (black without one)";

const Format table[] = {
    {"RAW", "raw", 1, Layout::Raw, 0, 0, nullptr, DataSize::Exact, false,
     "a JPEG (or GIF) file embedded as it is, for LVGL's JPEG decoder (or GIF player)",
     EveryDepthWrongAt8, "LV_USE_SJPG (LV_USE_GIF for a GIF); a C array only"},
    {"RAW_ALPHA", "raw-alpha", 2, Layout::Raw, 0, 0, nullptr, DataSize::Exact, false,
     "a PNG, JPEG or GIF file embedded as it is, for LVGL's decoders", EveryDepthWrongAt8,
     "LV_USE_PNG (LV_USE_SJPG for JPEG, LV_USE_GIF for GIF); a C array only"},
    {"TRUE_COLOR", "true-color", 4, Layout::TrueColor, 0, AllDepths, trueColorComments,
     DataSize::PixelsTimesColorSize, true, "opaque pictures in the display's own colours",
     EveryDepth, ""},
    {"TRUE_COLOR_ALPHA", "true-color-alpha", 5, Layout::TrueColorAlpha, 0, AllDepths,
     trueColorAlphaComments, DataSize::PixelsTimesAlphaByte, true,
     "pictures with transparency, an alpha byte per pixel", EveryDepth, ""},
    {"TRUE_COLOR_CHROMA_KEYED", "chroma-keyed", 6, Layout::TrueColor, 0, AllDepths,
     trueColorComments, DataSize::PixelsTimesColorSize, true,
     "opaque pictures whose pixels of the chroma key colour are not drawn", EveryDepth,
     "LV_COLOR_CHROMA_KEY (0x00FF00 unless configured)", true},
    {"INDEXED_1BIT", "indexed-1", 7, Layout::Indexed, 1, 0, nullptr, DataSize::Exact, true,
     "2 colours from a palette: monochrome displays, logos", EveryDepth, ""},
    {"INDEXED_2BIT", "indexed-2", 8, Layout::Indexed, 2, 0, nullptr, DataSize::Exact, true,
     "4 colours from a palette", EveryDepth, ""},
    {"INDEXED_4BIT", "indexed-4", 9, Layout::Indexed, 4, 0, nullptr, DataSize::Exact, true,
     "16 colours from a palette: low-colour displays, icons", EveryDepth, ""},
    {"INDEXED_8BIT", "indexed-8", 10, Layout::Indexed, 8, 0, nullptr, DataSize::Exact, true,
     "256 colours from a palette", EveryDepth, ""},
    {"ALPHA_1BIT", "alpha-1", 11, Layout::Alpha, 1, 0, nullptr, DataSize::Exact, true,
     "shapes in one colour: 2 levels of opacity", EveryDepth, Recolour},
    {"ALPHA_2BIT", "alpha-2", 12, Layout::Alpha, 2, 0, nullptr, DataSize::Exact, true,
     "anti-aliased shapes in one colour: 4 levels", EveryDepth, Recolour},
    {"ALPHA_4BIT", "alpha-4", 13, Layout::Alpha, 4, 0, nullptr, DataSize::Exact, true,
     "anti-aliased icons and glyphs in one colour: 16 levels", EveryDepth, Recolour},
    {"ALPHA_8BIT", "alpha-8", 14, Layout::Alpha, 8, 0, nullptr, DataSize::Exact, true,
     "soft masks and shadows in one colour: 256 levels", EveryDepth, Recolour},
    {"RGB565A8", "rgb565a8", 20, Layout::Rgb565A8, 0, Depths16, rgb565a8Comments, DataSize::Exact,
     true, "RGB565 with a separate alpha plane", "16 only (plain or swapped)", ""},
};

bool sameName(const QString &given, const char *name)
{
    return given.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

} // namespace

const Format *formats()
{
    return table;
}

int formatCount()
{
    return int(std::size(table));
}

const Format *findFormat(const QString &name)
{
    QString bare = name;
    if (bare.startsWith(QLatin1String("LV_IMG_CF_"), Qt::CaseInsensitive))
        bare = bare.mid(10);
    for (const Format &f : table) {
        if (sameName(bare, f.name) || sameName(name, f.dashed))
            return &f;
    }
    return nullptr;
}

const Format &format(int cf)
{
    for (const Format &f : table) {
        if (f.cf == cf)
            return f;
    }
    Q_UNREACHABLE();
    return table[0];
}

} // namespace Lvgl8
} // namespace Convert
