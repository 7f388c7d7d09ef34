#ifndef LVGLDECODER_H
#define LVGLDECODER_H

#include "convertresult.h"

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads LVGL images back: a v8 or v9 .bin, or the C source of an image,
// and shows what the library will draw for them on a given device.
//
// It is written from the layout rules alone and shares no code with the
// writers (lvgl8writer.h and the rest), so that each can catch the
// other's mistakes. It never trusts its input: every size is checked
// against the bytes present before anything is read, and an inconsistent
// file is an error value that says what is wrong.
//
// v8 .bin: a 4-byte little-endian header word, then the data.
//   bits 0-4 cf, 5-7 always_zero, 8-9 reserved, 10-20 width, 21-31 height
// v9 .bin: a 12-byte little-endian header, then the data.
//   byte 0 magic 0x19, 1 cf, 2-3 flags (PREMULTIPLIED 0x0001, COMPRESSED
//   0x0008), 4-5 width, 6-7 height, 8-9 stride (bytes per row), 10-11 0
//
// The data of each format, w x h pixels (v8 true colour by LV_COLOR_DEPTH):
//   v8 TRUE_COLOR (4), TRUE_COLOR_CHROMA_KEYED (6)
//       per pixel: depth 8 RGB332 (1 byte); 16 RGB565 little-endian (2),
//       big-endian under LV_COLOR_16_SWAP; 32 blue, green, red, unused (4)
//   v8 TRUE_COLOR_ALPHA (5)  the same, each pixel followed by its alpha;
//       at depth 32 blue, green, red, alpha
//   v8 INDEXED_n (7-10), v9 I1-I8 (0x07-0x0A)
//       2^n palette entries of blue, green, red, alpha, then h rows of
//       indices (v8 ceil(w n / 8) bytes, v9 stride bytes), the first pixel
//       in the most significant bits
//   v8 ALPHA_n (11-14), v9 A1-A8 (0x0B-0x0E)
//       h rows of alpha levels packed like indices; 1 bit shows as 0/255,
//       2 bits as v * 85, 4 bits as v * 17; drawn in the recolour
//   RGB565A8 (v8 20, v9 0x14)
//       w x h (v9: h rows of stride bytes) RGB565 colours, then an alpha
//       plane of w x h bytes (v9: h rows of stride / 2); in v8 the colours
//       are big-endian under LV_COLOR_16_SWAP
//   RAW (1), RAW_ALPHA (2), v8 RAW_CHROMA_KEYED (3)
//       a PNG or JPEG file, for the library's own decoders, or a GIF file,
//       for its GIF player
//   v9 L8 (0x06) grey; AL88 (0x15) grey, alpha; RGB888 (0x0F) blue, green,
//       red; ARGB8888 (0x10) blue, green, red, alpha; XRGB8888 (0x11) blue,
//       green, red, unused; RGB565 (0x12) little-endian; ARGB8565 (0x13)
//       RGB565 little-endian, alpha; ARGB8888_PREMULTIPLIED (0x1A) like
//       ARGB8888 with colours multiplied by alpha (round(c a / 255), or
//       (c a) >> 8 in older files), which the library draws as
//       p + background (255 - a) / 255; RGB565_SWAPPED (0x1B) RGB565
//       big-endian
// A v9 stride is at least ceil(w x bits per pixel / 8) (RGB565A8: 2w, and
// even).
//
// v9 compression (flag COMPRESSED): the data is a 12-byte block header
// (u32 method: 1 RLE, 2 LZ4; u32 compressed length; u32 uncompressed
// length) and the compressed bytes, which expand to palette, rows and
// alpha plane. 12 + the compressed length is the C array's .data_size, and
// the .bin's length less its 12-byte image header, exactly. RLE packets
// begin with a control byte c: c & 0x80 is followed by (c & 0x7F) blocks
// as they are; otherwise by one block repeated c times. A block is
// (bits per pixel + 7) / 8 bytes, 2 for RGB565A8. Only a literal packet
// may end in a partial block, and its input must hold that block whole:
// the library reads every block of a literal whole, and refuses the image
// ("Decompress failed") when the stream carries only the part the data
// needs. LZ4 is a raw LZ4 block.
//
// Colours are shown as the library shows them: RGB565 on a 16-bit screen
// as the bit-replicated 8-bit value (r5 << 3 | r5 >> 2, g6 << 2 | g6 >> 4),
// and on a 24- or 32-bit screen as the library widens it when it draws
// ((v5 * 2106) >> 8, (v6 * 1037) >> 8); RGB332 by bit replication. On a v8
// device every colour is held at the depth (palettes, recolours and
// decoded PNGs are reduced to RGB332 or RGB565 too); on a v9 device at
// depth 16 the screen holds RGB565. At v8 depth 8 the library's own PNG
// and JPEG decoders draw wrong colours (red and blue swapped; R2G3B3 read
// as RGB332), and that is what is shown. A RAW JPEG is decoded by another
// decoder than the library's, and is approximate.
namespace Convert {

// The device an image is shown on, as lv_conf.h configures it.
struct DeviceSettings
{
    // LV_COLOR_DEPTH: 8, 16 or 32 (v9: 16, 24 or 32). 0: as the file
    // needs it: the depth a v8 true-colour .bin (or C array without depth
    // sections) is packed for, otherwise 16, LVGL's default.
    int depth = 0;
    bool swap = false; // LV_COLOR_16_SWAP, at depth 16
    QRgb chromaKey = 0x00ff00; // LV_COLOR_CHROMA_KEY
    QRgb recolor = 0x000000; // the recolour of alpha-only images (black without one)
    bool hasBackground = false; // without one the result keeps its alpha
    QRgb background = 0;
};

enum class LvglVersion { Detect, V8, V9 };

// One frame of an animation.
struct LvglFrameInfo
{
    QString name; // a frame set's descriptor; empty for a GIF's frame
    int width = 0;
    int height = 0;
    QString formatName;
    int delayMs = 0;
    qint64 dataSize = -1; // a frame set's .data_size
    QString sharesWith; // a frame set's: the array an earlier frame's .data names too
    QString error; // why the frame is inconsistent; empty when fine
};

// What an animation says: a frame set (a C file of one descriptor per
// frame, for the animation image widget) or a GIF embedded as RAW (for the
// GIF player).
//
// A frame set of stem NAME holds descriptors NAME_0, NAME_1, ... (a frame
// whose pixels are those of an earlier one names that frame's array in its
// .data), then
//   const void * const NAME_frames[] = { &NAME_0, &NAME_1, ... };
//   const uint32_t NAME_frame_count = N;        the array's length
//   const uint32_t NAME_frame_ms[] = { d0, ... };  N delays in ms
//   const uint32_t NAME_duration_ms = D;        d0 + d1 + ...
//   const uint32_t NAME_loop_count = L;         0 for ever
struct LvglAnimationInfo
{
    QString kind; // "frame set" or "GIF"; empty for a single image
    QSize canvas; // a GIF's
    QVector<LvglFrameInfo> frames;
    qint64 durationMs = 0;
    int loopCount = -1; // 0 for ever
    // A GIF: the RAM the library's GIF player allocates for it, and how.
    qint64 playerBytes = -1;
    QString playerNote;
};

// What an image file says about itself.
struct LvglImageInfo
{
    int version = 0; // 8 or 9; 0 when not even that could be read
    bool fromC = false;
    int cf = -1;
    QString formatName; // "LV_IMG_CF_TRUE_COLOR", "LV_COLOR_FORMAT_RGB565"; empty when unknown
    int width = 0;
    int height = 0;
    int stride = 0; // bytes per row (v9: the header's; v8: its layout's)
    int flags = 0; // v9: the header's flags; v8: the always_zero and reserved bits
    QStringList flagNames; // v9: "PREMULTIPLIED", "COMPRESSED", "0x0040"
    qint64 dataSize = -1; // a C array's .data_size; -1 for a .bin or when not given
    qint64 bytesPresent = 0; // data after the header, or in the array
    qint64 bytesNeeded = -1; // what the format needs (uncompressed); -1 when unknown
    int depth = 0; // the LV_COLOR_DEPTH the file was read and shown for
    bool swap = false;
    int madeForDepth = 0; // v8 true colour: the depth its packing fits, 0 when none
    QStringList depthSections; // C: the depth settings that have data of their own
    int paletteUsed = -1; // indexed: distinct indices in the pixels; -1 otherwise
    int paletteStored = 0;
    QString compression; // "RLE" or "LZ4"; empty when not compressed
    qint64 compressedBytes = 0;
    qint64 uncompressedBytes = 0;
    QStringList warnings; // traps the library sets for this file
    // How the picture may differ from what the device draws (also among
    // the warnings).
    QStringList previewNotes;
    LvglAnimationInfo animation;
};

struct LvglDecodeResult
{
    LvglImageInfo info;
    QString error; // why the file is inconsistent or cannot be shown; empty when fine
    QImage image; // what the device draws (ARGB32, or RGB32 over a background); null on error
    // An animation's frames as the device draws them (image is the first);
    // empty for a single image.
    QVector<QImage> frames;

    bool ok() const { return error.isEmpty(); }
};

// A .bin file's bytes. Detect takes a first byte of 0x19 for v9's magic.
LvglDecodeResult decodeLvglBinary(const QByteArray &file, const DeviceSettings &device,
                                  LvglVersion version = LvglVersion::Detect);
// The text of a C file holding one image (see carrayreader.h). With a
// version other than Detect, a file of the other version is an error.
LvglDecodeResult decodeLvglSource(const QByteArray &text, const DeviceSettings &device,
                                  LvglVersion version = LvglVersion::Detect);
// Either, told apart by the content: C source is text. A v8 .bin can
// start with a byte C counts as white space (cf 9 to 13), so where the
// file's name is known, decodeLvglFileNamed() goes by its extension first.
bool looksLikeCSource(const QByteArray &bytes);
LvglDecodeResult decodeLvglFile(const QByteArray &bytes, const DeviceSettings &device,
                                LvglVersion version = LvglVersion::Detect);
// A ".bin" file as a .bin, a ".c", ".h", ".cpp" or ".inc" file as C
// source, any other by its content. A ".bin" that does not read as one and
// holds C text is "C source, not a binary image".
LvglDecodeResult decodeLvglFileNamed(const QString &path, const QByteArray &bytes,
                                     const DeviceSettings &device,
                                     LvglVersion version = LvglVersion::Detect);

// A file larger than this is not read: 2047 x 2047 true colour with alpha
// in four depth sections is about 300 MB of C text.
constexpr qint64 MaxLvglFileBytes = qint64(512) << 20;

// Reads an image file to decode: regular files only (a FIFO or device is
// refused without blocking), at most MaxLvglFileBytes. Fails with
// NotRegularFile or ReadFailed.
ConvertResult readLvglFile(const QString &path, QByteArray *bytes);

// Reads the file at path and decodes it as decodeLvglFileNamed() does. A
// .bin is judged from its header and its length first: its data is read
// only when the length fits what the header describes, so a file far
// longer than its header needs is found inconsistent without being read.
// When the file cannot be read, read says why (NotRegularFile,
// ReadFailed) and the result is empty.
LvglDecodeResult readLvglImage(const QString &path, const DeviceSettings &device,
                               LvglVersion version, ConvertResult *read);

} // namespace Convert

#endif // LVGLDECODER_H
