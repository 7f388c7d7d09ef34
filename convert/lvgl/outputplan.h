#ifndef OUTPUTPLAN_H
#define OUTPUTPLAN_H

#include "formats.h"
#include "lvgl8formats.h"
#include "lvgl9formats.h"
#include "quantizer.h"

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QVector>

#include <optional>
#include <variant>

namespace Convert {

// Where the C arrays' data goes (--section, --align). Each array carries a
// per-image attribute macro with an #ifndef fallback, so that a project's
// own headers can define it instead; without a section or an alignment the
// file is written as it always was.
struct Placement
{
    // The linker section: letters, digits and "._$-", at most MaxSection
    // characters; empty for the compiler's choice.
    QByteArray section;
    // The data's alignment in bytes, a power of two up to MaxAlign; 0 for
    // the library's LV_ATTRIBUTE_MEM_ALIGN.
    int align = 0;

    static constexpr int MaxSection = 64;
    static constexpr int MaxAlign = 4096;

    bool isDefault() const { return section.isEmpty() && align == 0; }
    // Why section cannot name a linker section, or an empty string.
    static QString sectionProblem(const QString &section);
    // Whether align is a power of two from 1 to MaxAlign.
    static bool isAlignment(int align);
};

// The plan of one output, resolved once from the options: the LVGL
// version and its format row, C array or .bin, and every choice that
// changes the bytes. Each stage reads its part of it; the version's writer
// (outputversion.h) is chosen from it once.
struct OutputPlan
{
    // The format's row, of the LVGL major version whose layout is written:
    // a v8 row or a v9 row (TRUE_COLOR by default). A v8 row of nullptr is
    // a pair of the window's boxes without a writer; a v9 row of nullptr, a
    // name that is no v9 format.
    std::variant<const Lvgl8::Format *, const Lvgl9::Format *> row = &Lvgl8::format(4);

    // The version of the row: 8 or 9.
    int lvgl() const { return row.index() == 0 ? 8 : 9; }
    // The row as a v8 row; nullptr for a v9 plan.
    const Lvgl8::Format *format() const;
    // The row as a v9 row; nullptr for a v8 plan.
    const Lvgl9::Format *format9() const;
    bool binary = false;
    // v8: the LV_COLOR_DEPTH a .bin of a true-colour format (or of
    // RGB565A8) is made for. C arrays hold every depth the format is drawn
    // at.
    ColorDepth depth = ColorDepth::Depth16;
    QuantizerKind quantizer = QuantizerKind::Best;
    // Indexed formats: when set, every image maps to this palette
    // (mapToPalette(), sharedpalette.h) instead of being quantized on its
    // own, as the frames of a set are, so that they share one palette.
    QVector<QRgb> palette;
    // Floyd-Steinberg error diffusion for every reduction that drops
    // levels: RGB332 and RGB565 colours, luminance, palettes, alpha levels.
    bool dither = false;
    // v9 only.
    int strideAlign = 1; // a power of two up to 1024
    Lvgl9::Compression compression = Lvgl9::Compression::None;
    // Formats without alpha: composite over this colour (else alpha is
    // ignored, as v8's true colour does).
    // v8 chroma-keyed formats: LV_COLOR_CHROMA_KEY, as RRGGBB. Only which
    // pixels the device leaves out depends on it, not the bytes.
    QRgb chromaKey = Lvgl8::ChromaKey;
    bool hasBackground = false;
    QRgb background = 0;
    // C files: how LVGL's header is included. Unset: "lvgl/lvgl.h" for v8,
    // as the window writes it, and the block that finds either for v9.
    std::optional<IncludeStyle> include;
    // C arrays: the section and alignment of the data.
    Placement placement;

    // Whether the format embeds the source file as it is (RAW, RAW_ALPHA).
    bool isRaw() const;
};

} // namespace Convert

#endif // OUTPUTPLAN_H
