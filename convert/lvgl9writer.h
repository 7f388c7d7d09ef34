#ifndef LVGL9WRITER_H
#define LVGL9WRITER_H

#include "lvgl9formats.h"
#include "quantizer.h"

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

class QIODevice;

// The one writer of every LVGL v9 format (lvgl9formats.h): the C array and
// the .bin of an image, both made from the same data bytes. Neither opens,
// names or commits a file, and neither keeps state between calls.
namespace Convert {
namespace Lvgl9 {

struct Options
{
    const Format *format = nullptr;
    int strideAlign = 1; // a power of two up to 1024
    Compression compression = Compression::None;
    bool dither = false;
    QuantizerKind quantizer = QuantizerKind::Best;
    // Formats without alpha: composite over this colour (else alpha is
    // ignored, as v8's true colour does).
    bool hasBackground = false;
    QRgb background = 0;
};

// Why an image of this size cannot be written (its stride or a side does
// not fit 16 bits), or an empty string.
QString sizeProblem(const Options &options, int width, int height);

// The stride the header carries. RLE of RGB565A8 aligns rows to at least
// 4 bytes, so that the alpha plane is a whole number of 2-byte blocks.
int effectiveStride(const Options &options, int width);

// An encoded image: the header's fields and the data that follows it.
struct Encoded
{
    int width = 0;
    int height = 0;
    int stride = 0;
    quint16 flags = 0;
    // Room for the 12-byte header, then the data: palette and rows, or the
    // block header and the compressed bytes. The .bin is made in place.
    QByteArray bytes;
    qint64 uncompressedSize = 0;

    static constexpr int HeaderRoom = 12;
    const char *data() const { return bytes.constData() + HeaderRoom; }
    int dataSize() const { return bytes.size() - HeaderRoom; }
};

// Encodes image (or, for RAW formats, the file's bytes).
Encoded encode(const Options &options, const QImage &image, const QByteArray &fileBytes);

// The C file: the banner, the include and attribute block, the array
// (palette lines, then one line per row of `stride` bytes; compressed data
// 16 bytes a line) and the lv_image_dsc_t descriptor with designated
// initialisers, so that one file compiles on every v9 release.
bool writeC(const Options &options, const Encoded &encoded, const QByteArray &symbol,
            QIODevice *device, QString *error);

// The .bin: the 12-byte header and the data, made in the encoded bytes.
QByteArray binary(const Options &options, Encoded encoded);

// RLE as LVGL's decoder reads it: blocks of blockSize bytes; a control
// byte c with c & 0x80 is followed by c & 0x7f literal blocks, any other
// by one block that is repeated c times; at most 127 blocks a run; a
// partial last block only ever in a literal packet.
QByteArray rleCompress(const QByteArray &data, int blockSize);

} // namespace Lvgl9
} // namespace Convert

#endif // LVGL9WRITER_H
