#include "lvgl9formats.h"

#include <QtGlobal>

#include <iterator>

namespace Convert {
namespace Lvgl9 {

namespace {

// 9.0's streaming decoder (LV_BIN_DECODER_RAM_LOAD 0) draws .bin files of
// these formats wrongly, at any stride; 9.5 draws the same files right, and
// C arrays are right on both.
const char Stream90[] = "9.0 (a .bin: 9.0 draws it wrong with LV_BIN_DECODER_RAM_LOAD 0; 9.5 "
                        "and C arrays are right)";

const Format table[] = {
    {"RAW", 0x01, Layout::Raw, 0, 0, false, false, "9.0",
     "a JPEG (or GIF) file embedded as it is, for LVGL's JPEG decoder (or GIF player)"},
    {"RAW_ALPHA", 0x02, Layout::Raw, 0, 0, true, false, "9.0",
     "a PNG or JPEG file embedded as it is, for LVGL's decoders"},
    {"L8", 0x06, Layout::L8, 8, 0, false, false, "9.5 (9.0 draws none)", "grey levels"},
    {"I1", 0x07, Layout::Indexed, 1, 1, true, true, "9.0", "2 colours from a palette"},
    {"I2", 0x08, Layout::Indexed, 2, 2, true, true, "9.0", "4 colours from a palette"},
    {"I4", 0x09, Layout::Indexed, 4, 4, true, true, "9.0", "16 colours from a palette"},
    {"I8", 0x0A, Layout::Indexed, 8, 8, true, true, "9.0", "256 colours from a palette"},
    {"A1", 0x0B, Layout::Alpha, 1, 1, true, true, "9.0", "shapes: 2 levels of opacity"},
    {"A2", 0x0C, Layout::Alpha, 2, 2, true, true, "9.0", "4 levels of opacity"},
    {"A4", 0x0D, Layout::Alpha, 4, 4, true, true, "9.0", "16 levels: icons and glyphs"},
    {"A8", 0x0E, Layout::Alpha, 8, 8, true, true, "9.0", "256 levels: masks and shadows"},
    {"RGB888", 0x0F, Layout::Rgb888, 24, 0, false, true, Stream90, "opaque, 3 bytes a pixel"},
    {"ARGB8888", 0x10, Layout::Argb8888, 32, 0, true, true, Stream90,
     "with alpha, 4 bytes a pixel"},
    {"XRGB8888", 0x11, Layout::Xrgb8888, 32, 0, false, true, Stream90,
     "opaque, 4 bytes a pixel (the default screen's own)"},
    {"RGB565", 0x12, Layout::Rgb565, 16, 0, false, true, Stream90, "opaque, 2 bytes a pixel"},
    {"ARGB8565", 0x13, Layout::Argb8565, 24, 0, true, true,
     "none in software (GPU back-ends; not in 9.0)",
     "RGB565 and alpha, for GPU back-ends; the software renderer does not draw it"},
    {"RGB565A8", 0x14, Layout::Rgb565A8, 16, 0, true, true, Stream90,
     "RGB565 rows, then an alpha plane"},
    {"AL88", 0x15, Layout::Al88, 16, 0, true, false, "9.2", "grey levels with alpha"},
    {"ARGB8888_PREMULTIPLIED", 0x1A, Layout::Argb8888Premultiplied, 32, 0, true, false, "9.3",
     "with alpha, colours premultiplied"},
    {"RGB565_SWAPPED", 0x1B, Layout::Rgb565Swapped, 16, 0, false, true,
     "9.3, on RGB565 and ARGB8888 screens (not on the default XRGB8888 screen)",
     "opaque RGB565, high byte first"},
};

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
    if (bare.startsWith(QLatin1String("LV_COLOR_FORMAT_"), Qt::CaseInsensitive))
        bare = bare.mid(16);
    for (const Format &f : table) {
        if (bare.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
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

int maxWidth(const Format &format, int align)
{
    if (format.bpp == 0)
        return 65535;
    int width = int(qMin<qint64>(65535, qint64(65535) * 8 / format.bpp));
    while (width > 0 && stride(format, width, align) > 65535)
        --width;
    return width;
}

qint64 dataSize(const Format &format, int width, int height, int align)
{
    return dataSizeOfStride(format, stride(format, width, align), height);
}

qint64 dataSizeOfStride(const Format &format, qint64 rowStride, int height)
{
    const qint64 rows = rowStride * height;
    const qint64 alphaRows = format.layout == Layout::Rgb565A8 ? rows / 2 : 0;
    return qint64(paletteEntries(format)) * 4 + rows + alphaRows;
}

} // namespace Lvgl9
} // namespace Convert
