#ifndef LVGL9WRITER_H
#define LVGL9WRITER_H

#include "lvgl9encoder.h"

#include <QByteArray>
#include <QString>

class QIODevice;

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

} // namespace Lvgl9
} // namespace Convert

#endif // LVGL9WRITER_H
