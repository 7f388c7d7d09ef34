#ifndef LVGL8CFRAME_H
#define LVGL8CFRAME_H

#include "cframe.h"
#include "formats.h"

#include <QByteArray>

namespace Convert {

class TextSink;

// The frame shared by every C file written for LVGL v8. A file is, line by
// line ('\n' between lines, none after the last):
//
//    1-11  banner comment (CFrame::appendBanner), ending in two empty lines
//   12-18  #include "lvgl/lvgl.h" and the LV_ATTRIBUTE_MEM_ALIGN fallback
//          (appendIncludes), ending in two empty lines; another include
//          style (CFrame::appendInclude) puts its own lines in place of the first,
//          and the line numbers below move with them
//      19  const LV_ATTRIBUTE_MEM_ALIGN uint8_t <name>_map[] = {
//          body: the writer's lines (depth sections, or palette and indices)
//          };
//          (empty)
//          const lv_img_dsc_t <name> = {
//              .header.always_zero = 0,
//              .header.w = <width>,
//              .header.h = <height>,
//              <the writer's .data_size line>
//              <the writer's .header.cf line>
//              .data = <name>_map,
//          };
//          (empty)
//          //end of file
//
// A row line of the body is two spaces followed by "0xHH, " for every byte
// of the row, with no break inside the row.

namespace Lvgl8 {

// The include lines, an empty line, the LV_ATTRIBUTE_MEM_ALIGN fallback and
// two empty lines.
void appendIncludes(TextSink &out, IncludeStyle include = IncludeStyle::Subdir);
// The array's first line; with a placement, after the fallbacks of the
// image's macros LV_ATTRIBUTE_IMG_<NAME> (the section) and
// LV_ATTRIBUTE_IMG_<NAME>_ALIGN (in place of LV_ATTRIBUTE_MEM_ALIGN) and an
// empty line: "const <align macro> [LV_ATTRIBUTE_IMG_<NAME>] uint8_t ...".
void appendArrayHead(TextSink &out, const QByteArray &symbol, const Placement &placement = {});
// "};" and the empty line that close the array, then the descriptor and
// the end marker.
void appendDescriptor(TextSink &out, const QByteArray &symbol, int width, int height,
                      const QByteArray &dataSizeLine, const char *colorFormatLine);
// The pieces of appendDescriptor(), for a file of several images: the
// array's close, the descriptor and its empty line (its .data naming the
// array dataSymbol, which may be an earlier image's), and the end marker.
void appendArrayEnd(TextSink &out);
void appendDescriptorOnly(TextSink &out, const QByteArray &symbol, const QByteArray &dataSymbol,
                          int width, int height, const QByteArray &dataSizeLine,
                          const char *colorFormatLine);
void appendEnd(TextSink &out);

} // namespace Lvgl8
} // namespace Convert

#endif // LVGL8CFRAME_H
