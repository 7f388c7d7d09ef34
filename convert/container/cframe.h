#ifndef CFRAME_H
#define CFRAME_H

#include "formats.h"
#include "outputplan.h"

#include <QByteArray>

namespace Convert {

class TextSink;

// The pieces every C file starts with, whatever LVGL version it is
// written for: the banner (11 lines, the last two empty), the lines that
// include LVGL's header, and the palette of an indexed image.
namespace CFrame {

void appendBanner(TextSink &out);
// The lines that include LVGL's header, in the given style.
void appendInclude(TextSink &out, IncludeStyle include);
// The palette of an indexed image (4 bytes an entry: blue, green, red,
// alpha), a line an entry ending in "/*Color of index N*/", then an empty
// line.
void appendPalette(TextSink &out, const QByteArray &palette);
// A macro a project may define in its own headers, else given value:
// "#ifndef <macro>", "#define <macro> <value>", "#endif".
void appendFallback(TextSink &out, const QByteArray &macro, const QByteArray &value = {});
// __attribute__((section("<section>"))) and __attribute__((aligned(<align>))),
// which GCC and Clang take on a definition.
QByteArray sectionAttribute(const QByteArray &section);
QByteArray alignAttribute(int align);

} // namespace CFrame
} // namespace Convert

#endif // CFRAME_H
