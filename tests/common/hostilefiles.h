#ifndef HOSTILEFILES_H
#define HOSTILEFILES_H

#include <QByteArray>
#include <QImage>

// Damaged, deceptive and oversized image files, built byte by byte for the
// tests of what the program does with inputs it must not trust.
namespace HostileFiles {

// image encoded by Qt in format ("PNG", "JPEG", "BMP").
QByteArray encoded(const QImage &image, const char *format);

// A PNG of one chunk per piece: signature, IHDR (8-bit RGBA), one IDAT
// with a valid zlib stream for the whole image (all zero rows), IEND, every
// CRC right. With claimOnly, the IDAT is a token few bytes: the header says
// width x height but the data would not fill it, the shape of a
// decompression bomb's opening bytes.
QByteArray png(int width, int height, bool claimOnly = false);

// The PNG with a chunk of the given type inserted after IHDR.
QByteArray withChunk(const QByteArray &png, const QByteArray &type, const QByteArray &data);

// The PNG with the CRC of its first chunk of the given type made wrong.
QByteArray withBadCrc(const QByteArray &png, const QByteArray &type);

// A 24-bit BMP header (file and info header) that claims width x height,
// followed by no pixels.
QByteArray bmpHeader(int width, int height);

// An ICO file whose one image is the given PNG.
QByteArray icoHolding(const QByteArray &png);

// Writes data to a path given as bytes (names that are not UTF-8 cannot
// pass through Qt's file classes); false on failure.
bool writeRaw(const QByteArray &path, const QByteArray &data);
// The file's bytes, empty when it cannot be read.
QByteArray readRaw(const QByteArray &path);

} // namespace HostileFiles

#endif // HOSTILEFILES_H
