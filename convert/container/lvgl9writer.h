#ifndef LVGL9WRITER_H
#define LVGL9WRITER_H

#include "lvgl9encoder.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace Convert {
class TextSink;
}

namespace Convert {
namespace Lvgl9 {

// The C file: the banner, the include and attribute block, the array
// (palette lines, then one line per row of `stride` bytes; compressed data
// 16 bytes a line) and the lv_image_dsc_t descriptor with designated
// initialisers, so that one file compiles on every v9 release. LVGL's
// header is included as plan.include says, by default with the block that
// finds either layout (IncludeStyle::Auto).
bool writeC(const OutputPlan &plan, const Encoded &encoded, const QByteArray &symbol,
            QIODevice *device, QString *error);

// The pieces of writeC(), for a file of several images: the banner, the
// include and attribute block (attribute names LV_ATTRIBUTE_IMAGE_<ATTRIBUTE>);
// each image's array (none when sharedData names an earlier image's array,
// which its descriptor then points to) and descriptor; the end marker.
void appendHead(TextSink &out, const OutputPlan &plan, const QByteArray &attribute);
void appendImage(TextSink &out, const OutputPlan &plan, const Encoded &encoded,
                 const QByteArray &symbol, const QByteArray &attribute,
                 const QByteArray &sharedData);
void appendEnd(TextSink &out);

} // namespace Lvgl9
} // namespace Convert

#endif // LVGL9WRITER_H
