#ifndef PREVIEW_H
#define PREVIEW_H

#include "convertresult.h"

#include <QByteArray>
#include <QRgb>
#include <QString>

namespace Convert {

// Previews: PNGs of what the device will show for an LVGL image file. The
// file is decoded by the independent decoder (lvgldecoder.h), so the
// picture shows exactly what was written, RGB565 banding, palette reduction
// and dithering included. The device is LVGL's default: a v8 .bin of a
// true-colour format at the depth it was made for, everything else at
// LV_COLOR_DEPTH 16; chroma key 0x00FF00 (unless given), black recolour,
// and no background, so transparency stays in the PNG.
//
// A preview carries a mark in its content, a PNG text chunk (keyword
// "Software", text "BrindleForge preview"), so that a later run knows a
// file it may replace from one of the user's own that only shares a name.

// The preview PNG of the LVGL image file whose bytes these are; name (the
// file's name) tells a .bin from C source. Fails with the decoder's
// reason for an inconsistent file. A successful result's notes say where
// the picture is only approximate (a RAW JPEG, say). chromaKey is the
// device's LV_COLOR_CHROMA_KEY, as RRGGBB.
ConvertResult previewPng(const QString &name, const QByteArray &file, QByteArray *png,
                         QRgb chromaKey = 0x00ff00);

// Whether head, the first bytes of a file, are those of a preview this
// program made.
bool isPreviewPng(const QByteArray &head);

// Whether pngPath may take a preview: nothing is there, or a preview made
// by this program is (through a link too). Anything else that is a
// regular file fails, and is left alone; other kinds of file are
// OutputFile's to refuse.
ConvertResult checkPreviewTarget(const QString &pngPath);

// Writes png to pngPath like every output (outputfile.h), after
// checkPreviewTarget(); "-" is standard output.
ConvertResult writePreviewPng(const QByteArray &png, const QString &pngPath);

// Reads the LVGL image file at outputPath back from the disk and writes its
// preview to pngPath, with previewPng()'s notes.
ConvertResult writePreview(const QString &outputPath, const QString &pngPath,
                           QRgb chromaKey = 0x00ff00);

} // namespace Convert

#endif // PREVIEW_H
