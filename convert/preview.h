#ifndef PREVIEW_H
#define PREVIEW_H

#include "convertresult.h"

#include <QString>

namespace Convert {

// Writes to pngPath, as a PNG, what the device will show for the LVGL
// image file at outputPath: the file is read back from the disk and
// decoded by the independent decoder (lvgldecoder.h), so the picture shows
// exactly what was written, RGB565 banding, palette reduction and
// dithering included. The device is LVGL's default: a v8 .bin of a
// true-colour format at the depth it was made for, everything else at
// LV_COLOR_DEPTH 16; chroma key 0x00FF00, black recolour, and no
// background, so transparency stays in the PNG. The PNG is written like
// every output (outputfile.h). Fails with the decoder's reason for an
// inconsistent file, or with the write's. A successful result's notes say
// where the picture is only approximate (a RAW JPEG, say).
ConvertResult writePreview(const QString &outputPath, const QString &pngPath);

} // namespace Convert

#endif // PREVIEW_H
