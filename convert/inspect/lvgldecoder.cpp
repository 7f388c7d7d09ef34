#include "lvgldecoder.h"

#include "carrayreader.h"
#include "filepath.h"
#include "formats.h"
#include "imagesource.h"

#include <QFileInfo>

#include <lz4.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

namespace Convert {

namespace {

// How the colour of one pixel is packed.
enum class Packing : quint8 {
    Rgb332, // red bits 7-5, green 4-2, blue 1-0
    Rgb565, // red bits 15-11, green 10-5, blue 4-0, low byte first
    Rgb565Swapped, // the same, high byte first
    Bgr888, // blue, green, red
    Bgrx8888, // blue, green, red, a byte that is not read
    L8, // grey
};

int packingBytes(Packing packing)
{
    switch (packing) {
    case Packing::Rgb332:
    case Packing::L8:
        return 1;
    case Packing::Rgb565:
    case Packing::Rgb565Swapped:
        return 2;
    case Packing::Bgr888:
        return 3;
    case Packing::Bgrx8888:
        return 4;
    }
    return 1;
}

enum class Layout : quint8 {
    Raw, // a PNG or JPEG file
    DepthColour, // v8 true colour, packed as LV_COLOR_DEPTH's colour
    Colour, // v9: one packing
    Indexed, // palette, then bit-packed indices
    AlphaOnly, // bit-packed alpha levels, drawn in the recolour
    PlanarAlpha, // RGB565A8: colours, then an alpha plane
};

// One colour format of one library version.
struct FormatRow
{
    int version;
    int cf;
    const char *name; // without "LV_IMG_CF_" or "LV_COLOR_FORMAT_"
    Layout layout;
    int bits; // Indexed, AlphaOnly: bits per pixel
    Packing packing; // Colour
    bool alpha; // Colour and DepthColour: an alpha byte follows each colour
    bool premultiplied;
    bool chromaKeyed;
    const char *versionNote; // v9: which releases draw it, when not every one
};

constexpr Packing NoPacking = Packing::Rgb565;

const FormatRow formatTable[] = {
    {8, 1, "RAW", Layout::Raw, 0, NoPacking, false, false, false, nullptr},
    {8, 2, "RAW_ALPHA", Layout::Raw, 0, NoPacking, true, false, false, nullptr},
    {8, 3, "RAW_CHROMA_KEYED", Layout::Raw, 0, NoPacking, false, false, true, nullptr},
    {8, 4, "TRUE_COLOR", Layout::DepthColour, 0, NoPacking, false, false, false, nullptr},
    {8, 5, "TRUE_COLOR_ALPHA", Layout::DepthColour, 0, NoPacking, true, false, false, nullptr},
    {8, 6, "TRUE_COLOR_CHROMA_KEYED", Layout::DepthColour, 0, NoPacking, false, false, true,
     nullptr},
    {8, 7, "INDEXED_1BIT", Layout::Indexed, 1, NoPacking, false, false, false, nullptr},
    {8, 8, "INDEXED_2BIT", Layout::Indexed, 2, NoPacking, false, false, false, nullptr},
    {8, 9, "INDEXED_4BIT", Layout::Indexed, 4, NoPacking, false, false, false, nullptr},
    {8, 10, "INDEXED_8BIT", Layout::Indexed, 8, NoPacking, false, false, false, nullptr},
    {8, 11, "ALPHA_1BIT", Layout::AlphaOnly, 1, NoPacking, false, false, false, nullptr},
    {8, 12, "ALPHA_2BIT", Layout::AlphaOnly, 2, NoPacking, false, false, false, nullptr},
    {8, 13, "ALPHA_4BIT", Layout::AlphaOnly, 4, NoPacking, false, false, false, nullptr},
    {8, 14, "ALPHA_8BIT", Layout::AlphaOnly, 8, NoPacking, false, false, false, nullptr},
    {8, 20, "RGB565A8", Layout::PlanarAlpha, 0, NoPacking, true, false, false, nullptr},

    {9, 0x01, "RAW", Layout::Raw, 0, NoPacking, false, false, false, nullptr},
    {9, 0x02, "RAW_ALPHA", Layout::Raw, 0, NoPacking, true, false, false, nullptr},
    {9, 0x06, "L8", Layout::Colour, 0, Packing::L8, false, false, false, "LVGL 9.0 draws no L8"},
    {9, 0x07, "I1", Layout::Indexed, 1, NoPacking, false, false, false, nullptr},
    {9, 0x08, "I2", Layout::Indexed, 2, NoPacking, false, false, false, nullptr},
    {9, 0x09, "I4", Layout::Indexed, 4, NoPacking, false, false, false, nullptr},
    {9, 0x0A, "I8", Layout::Indexed, 8, NoPacking, false, false, false, nullptr},
    {9, 0x0B, "A1", Layout::AlphaOnly, 1, NoPacking, false, false, false, nullptr},
    {9, 0x0C, "A2", Layout::AlphaOnly, 2, NoPacking, false, false, false, nullptr},
    {9, 0x0D, "A4", Layout::AlphaOnly, 4, NoPacking, false, false, false, nullptr},
    {9, 0x0E, "A8", Layout::AlphaOnly, 8, NoPacking, false, false, false, nullptr},
    {9, 0x0F, "RGB888", Layout::Colour, 0, Packing::Bgr888, false, false, false, nullptr},
    {9, 0x10, "ARGB8888", Layout::Colour, 0, Packing::Bgr888, true, false, false, nullptr},
    {9, 0x11, "XRGB8888", Layout::Colour, 0, Packing::Bgrx8888, false, false, false, nullptr},
    {9, 0x12, "RGB565", Layout::Colour, 0, Packing::Rgb565, false, false, false, nullptr},
    {9, 0x13, "ARGB8565", Layout::Colour, 0, Packing::Rgb565, true, false, false,
     "LVGL 9.0 lacks ARGB8565"},
    {9, 0x14, "RGB565A8", Layout::PlanarAlpha, 0, NoPacking, true, false, false, nullptr},
    {9, 0x15, "AL88", Layout::Colour, 0, Packing::L8, true, false, false,
     "AL88 needs LVGL 9.2 or later"},
    {9, 0x1A, "ARGB8888_PREMULTIPLIED", Layout::Colour, 0, Packing::Bgr888, true, true, false,
     "ARGB8888_PREMULTIPLIED needs LVGL 9.3 or later"},
    {9, 0x1B, "RGB565_SWAPPED", Layout::Colour, 0, Packing::Rgb565Swapped, false, false, false,
     "RGB565_SWAPPED needs LVGL 9.3 or later"},
};

const FormatRow *findFormat(int version, int cf)
{
    for (const FormatRow &row : formatTable) {
        if (row.version == version && row.cf == cf)
            return &row;
    }
    return nullptr;
}

QString libraryName(const FormatRow &row)
{
    return (row.version == 8 ? QLatin1String("LV_IMG_CF_") : QLatin1String("LV_COLOR_FORMAT_"))
        + QLatin1String(row.name);
}

// Bits of one pixel of a v9 row (for the stride and RLE blocks).
int bitsPerPixel(const FormatRow &row)
{
    switch (row.layout) {
    case Layout::Indexed:
    case Layout::AlphaOnly:
        return row.bits;
    case Layout::Colour:
        return (packingBytes(row.packing) + (row.alpha ? 1 : 0)) * 8;
    case Layout::PlanarAlpha:
        return 16;
    case Layout::Raw:
    case Layout::DepthColour:
        break;
    }
    return 0;
}

constexpr int V9Magic = 0x19;
constexpr int FlagPremultiplied = 0x0001;
constexpr int FlagCompressed = 0x0008;

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

int le16(const uchar *p)
{
    return p[0] | p[1] << 8;
}

// ---- Colours as the library shows them ----

QRgb expand565(uint v)
{
    const uint r = (v >> 11) & 31;
    const uint g = (v >> 5) & 63;
    const uint b = v & 31;
    return qRgb(int(r << 3 | r >> 2), int(g << 2 | g >> 4), int(b << 3 | b >> 2));
}

// RGB565 as the library widens it when it draws onto a 24- or 32-bit
// screen: 5 bits as (v * 2106) >> 8, 6 bits as (v * 1037) >> 8, which is
// up to a level below bit replication.
QRgb widen565(uint v)
{
    const uint r = (v >> 11) & 31;
    const uint g = (v >> 5) & 63;
    const uint b = v & 31;
    return qRgb(int((r * 2106) >> 8), int((g * 1037) >> 8), int((b * 2106) >> 8));
}

// Bit replication as for RGB565. This is the value the writers' dithering
// aims at; it has not been checked against the library's own display of
// RGB332.
QRgb expand332(uint v)
{
    const uint r = (v >> 5) & 7;
    const uint g = (v >> 2) & 7;
    const uint b = v & 3;
    return qRgb(int(r << 5 | r << 2 | r >> 1), int(g << 5 | g << 2 | g >> 1), int(b * 85));
}

// How a device holds colours.
enum class Reduction { None, ToRgb332, ToRgb565 };

QRgb reduce(Reduction reduction, QRgb c)
{
    switch (reduction) {
    case Reduction::None:
        return c;
    case Reduction::ToRgb332:
        return (expand332(uint((qRed(c) & 0xe0) | (qGreen(c) >> 5) << 2 | qBlue(c) >> 6))
                & 0xffffff)
            | (c & 0xff000000);
    case Reduction::ToRgb565:
        return (expand565(uint((qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3))
                & 0xffffff)
            | (c & 0xff000000);
    }
    return c;
}

int alphaLevel(int level, int bits)
{
    switch (bits) {
    case 1:
        return level ? 255 : 0;
    case 2:
        return level * 85;
    case 4:
        return level * 17;
    default:
        return level;
    }
}

// ---- Pixel rows ----

// widen: RGB565 as the library widens it for a 24- or 32-bit screen
// (widen565), otherwise by bit replication, as a 16-bit screen shows its
// own pixels.
void readColours(Packing packing, bool alpha, bool premultiplied, bool widen, const uchar *s,
                 int width, QRgb *out)
{
    const auto from565 = widen ? widen565 : expand565;
    const int colourBytes = packingBytes(packing);
    const int step = colourBytes + (alpha ? 1 : 0);
    for (int x = 0; x < width; ++x, s += step) {
        QRgb c = 0;
        switch (packing) {
        case Packing::Rgb332:
            c = expand332(s[0]);
            break;
        case Packing::Rgb565:
            c = from565(uint(s[0] | s[1] << 8));
            break;
        case Packing::Rgb565Swapped:
            c = from565(uint(s[1] | s[0] << 8));
            break;
        case Packing::Bgr888:
        case Packing::Bgrx8888:
            c = qRgb(s[2], s[1], s[0]);
            break;
        case Packing::L8:
            c = qRgb(s[0], s[0], s[0]);
            break;
        }
        const int a = alpha ? s[colourBytes] : 255;
        if (premultiplied) {
            // The library draws a stored colour p as p + background *
            // (255 - a) / 255. The picture keeps its alpha, so it holds the
            // plain colour that gives the same: p * 255 / a, rounded. That
            // undoes round(c * a / 255) exactly where a allows it, and
            // older files' (c * a) >> 8 within a level. A colour above its
            // alpha (which no premultiplied image holds) counts as the alpha.
            const auto plain = [a](int v) { return a ? (qMin(v, a) * 255 + a / 2) / a : 0; };
            c = qRgb(plain(qRed(c)), plain(qGreen(c)), plain(qBlue(c)));
        }
        out[x] = (c & 0xffffff) | QRgb(a) << 24;
    }
}

// The value of pixel x of a row of bits-wide values, most significant first.
inline int packedValue(const uchar *row, int x, int bits)
{
    if (bits == 8)
        return row[x];
    const int bit = x * bits;
    const int shift = 8 - bits - (bit & 7);
    return (row[bit >> 3] >> shift) & ((1 << bits) - 1);
}

qint64 packedRowBytes(int width, int bits)
{
    return (qint64(width) * bits + 7) / 8;
}

// ---- One decode ----

struct Header
{
    int version = 0;
    int cf = 0;
    int flags = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
};

class Decoding
{
public:
    Decoding(const DeviceSettings &device, bool fromC)
        : m_device(device)
    {
        m_result.info.fromC = fromC;
    }

    LvglDecodeResult take() { return std::move(m_result); }
    LvglImageInfo &info() { return m_result.info; }
    bool fail(const QString &error)
    {
        if (m_result.error.isEmpty())
            m_result.error = error;
        m_result.image = QImage();
        return false;
    }
    void warn(const QString &warning) { m_result.info.warnings << warning; }
    // A way the picture differs from what the device draws: a warning, and
    // a note for the preview.
    void notePreview(const QString &note)
    {
        warn(note);
        m_result.info.previewNotes << note;
    }

    // Records the header's facts; false for an unknown cf or a zero side.
    bool readHeader(const Header &header);
    // data holds the first bytes of the present ones (all of them from a C
    // array). The sizes are judged from present; the bytes are read only
    // when they are all there, otherwise the decode stops with needsData().
    bool decodeV8(const QByteArray &data, qint64 present, qint64 dataSize);
    bool decodeV9(const QByteArray &data, qint64 present, qint64 dataSize);
    // The file is consistent so far, and the rest of its bytes are needed.
    bool needsData() const { return m_needsData; }
    // Chroma-keyed formats: which pixels were opaque and took the key's
    // value, row by row.
    const std::vector<bool> &keyed() const { return m_keyed; }

    // The depth a v8 true-colour image of this many bytes is packed for,
    // or 0 when its size fits none.
    static int fittingDepth(const FormatRow &row, int width, int height, qint64 bytes);
    const FormatRow *format() const { return m_format; }

private:
    bool needData()
    {
        m_needsData = true;
        return false;
    }
    bool checkDataSize(qint64 dataSize, qint64 present);
    bool decodeRaw(const QByteArray &data, qint64 present, qint64 dataSize);
    void showRawAtDepth8(ImageKind kind, QRgb *line, int width) const;
    bool render(const uchar *pixels, qint64 stride, const uchar *alphaPlane, qint64 alphaStride,
                Packing packing);
    void finishPixel(QRgb *line, int width, QImage *image, int y);

    const DeviceSettings &m_device;
    LvglDecodeResult m_result;
    const FormatRow *m_format = nullptr;
    Reduction m_reduction = Reduction::None;
    const uchar *m_palette = nullptr;
    bool m_needsData = false;
    std::vector<bool> m_keyed;
};

bool Decoding::readHeader(const Header &header)
{
    LvglImageInfo &i = info();
    i.version = header.version;
    i.cf = header.cf;
    i.width = header.width;
    i.height = header.height;
    i.flags = header.flags;
    i.stride = header.stride;
    if (header.version == 9) {
        if (header.flags & FlagPremultiplied)
            i.flagNames << QStringLiteral("PREMULTIPLIED");
        if (header.flags & FlagCompressed)
            i.flagNames << QStringLiteral("COMPRESSED");
        for (int bit = 0; bit < 16; ++bit) {
            const int flag = 1 << bit;
            if ((header.flags & flag) && flag != FlagPremultiplied && flag != FlagCompressed)
                i.flagNames << QStringLiteral("0x%1").arg(flag, 4, 16, QLatin1Char('0'));
        }
    }
    m_format = findFormat(header.version, header.cf);
    if (!m_format)
        return fail(QStringLiteral("unknown colour format: cf %1 is not an LVGL v%2 format")
                        .arg(header.cf)
                        .arg(header.version));
    i.formatName = libraryName(*m_format);
    if (header.width == 0 || header.height == 0)
        return fail(QStringLiteral("the %1 is 0")
                        .arg(header.width == 0 ? QLatin1String("width") : QLatin1String("height")));
    if (qint64(header.width) * header.height > DecodeBudgetPixels)
        return fail(QStringLiteral("%1 x %2 pixels are more than the %3 megapixels this program "
                                   "decodes")
                        .arg(header.width)
                        .arg(header.height)
                        .arg(DecodeBudgetPixels >> 20));
    return true;
}

int Decoding::fittingDepth(const FormatRow &row, int width, int height, qint64 bytes)
{
    const qint64 pixels = qint64(width) * height;
    for (const int depth : {8, 16, 32}) {
        const int perPixel = depth == 32 ? 4 : depth / 8 + (row.alpha ? 1 : 0);
        if (pixels > 0 && bytes == pixels * perPixel)
            return depth;
    }
    return 0;
}

bool Decoding::checkDataSize(qint64 dataSize, qint64 present)
{
    info().dataSize = dataSize;
    if (dataSize >= 0 && dataSize != present)
        return fail(QStringLiteral(".data_size is %1, but the array holds %2 bytes")
                        .arg(dataSize)
                        .arg(present));
    return true;
}

bool Decoding::decodeV8(const QByteArray &data, qint64 present, qint64 dataSize)
{
    const FormatRow &row = *m_format;
    LvglImageInfo &i = info();
    const int w = i.width;
    const int h = i.height;
    const qint64 pixels = qint64(w) * h;
    i.bytesPresent = present;
    if (i.flags)
        warn(QStringLiteral("the header's always_zero and reserved bits are 0x%1, not 0")
                 .arg(i.flags, 0, 16));
    if (w == 1 || h == 1)
        warn(QStringLiteral("the image is %1 pixel %2: the v8.3 image widget does not draw it "
                            "at all")
                 .arg(1)
                 .arg(w == 1 ? QLatin1String("wide") : QLatin1String("tall")));
    if (m_device.depth != 0 && m_device.depth != 8 && m_device.depth != 16 && m_device.depth != 32)
        return fail(QStringLiteral("an LVGL v8 image is shown here at LV_COLOR_DEPTH 8, 16 or 32, "
                                   "not %1")
                        .arg(m_device.depth));

    int depth = m_device.depth ? m_device.depth : 16;
    if (row.layout == Layout::DepthColour) {
        i.madeForDepth = fittingDepth(row, w, h, present);
        if (m_device.depth == 0 && i.madeForDepth)
            depth = i.madeForDepth;
    }
    const bool swap = depth == 16 && m_device.swap;
    i.depth = depth;
    i.swap = swap;
    m_reduction = depth == 8 ? Reduction::ToRgb332
        : depth == 16        ? Reduction::ToRgb565
                             : Reduction::None;

    if (row.layout == Layout::Raw) {
        i.stride = 0;
        return decodeRaw(data, present, dataSize);
    }

    Packing packing = NoPacking;
    qint64 rowBytes = 0;
    qint64 needed = 0;
    switch (row.layout) {
    case Layout::DepthColour: {
        packing = depth == 8 ? Packing::Rgb332
            : depth == 16    ? (swap ? Packing::Rgb565Swapped : Packing::Rgb565)
                             : (row.alpha ? Packing::Bgr888 : Packing::Bgrx8888);
        const int perPixel = packingBytes(packing) + (row.alpha ? 1 : 0);
        rowBytes = qint64(w) * perPixel;
        needed = rowBytes * h;
        if (!i.fromC && i.madeForDepth) {
            warn(QStringLiteral("a true-colour .bin fits one LV_COLOR_DEPTH only: this one is "
                                "packed for depth %1%2, and is drawn wrongly at any other")
                     .arg(i.madeForDepth)
                     .arg(i.madeForDepth == 16
                              ? QStringLiteral(" (with or without LV_COLOR_16_SWAP: the two "
                                               "cannot be told apart)")
                              : QString()));
        }
        if (present != needed && i.madeForDepth && i.madeForDepth != depth) {
            i.stride = int(rowBytes);
            i.bytesNeeded = needed;
            i.dataSize = dataSize;
            return fail(QStringLiteral("holds %1 bytes per pixel: it is made for LV_COLOR_DEPTH "
                                       "%2, not %3")
                            .arg(present / pixels)
                            .arg(i.madeForDepth)
                            .arg(depth));
        }
        break;
    }
    case Layout::Indexed:
        rowBytes = packedRowBytes(w, row.bits);
        i.paletteStored = 1 << row.bits;
        needed = qint64(i.paletteStored) * 4 + rowBytes * h;
        break;
    case Layout::AlphaOnly:
        rowBytes = packedRowBytes(w, row.bits);
        needed = rowBytes * h;
        break;
    case Layout::PlanarAlpha:
        packing = swap ? Packing::Rgb565Swapped : Packing::Rgb565;
        rowBytes = qint64(w) * 2;
        needed = pixels * 3;
        if (depth != 16)
            warn(QStringLiteral("RGB565A8 is drawn right only at LV_COLOR_DEPTH 16: at depth 8 "
                                "it is drawn wrongly, at depth 32 LVGL reads past its data"));
        break;
    case Layout::Raw:
    case Layout::Colour:
        break;
    }
    i.stride = int(rowBytes);
    i.bytesNeeded = needed;
    if (!checkDataSize(dataSize, present))
        return false;
    if (present < needed)
        return fail(QStringLiteral("the data ends early: %1 of the %2 bytes a %3 x %4 %5 "
                                   "image needs%6")
                        .arg(present)
                        .arg(needed)
                        .arg(w)
                        .arg(h)
                        .arg(QLatin1String(row.name),
                             row.layout == Layout::DepthColour
                                 ? QStringLiteral(" at LV_COLOR_DEPTH %1").arg(depth)
                                 : QString()));
    if (present > needed)
        return fail(QStringLiteral("%1 bytes of data where a %2 x %3 %4 image needs %5%6")
                        .arg(present)
                        .arg(w)
                        .arg(h)
                        .arg(QLatin1String(row.name))
                        .arg(needed)
                        .arg(row.layout == Layout::DepthColour
                                 ? QStringLiteral(" at LV_COLOR_DEPTH %1").arg(depth)
                                 : QString()));
    if (data.size() < present)
        return needData();

    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    if (row.layout == Layout::Indexed) {
        m_palette = bytes;
        bytes += i.paletteStored * 4;
    }
    const uchar *alphaPlane = row.layout == Layout::PlanarAlpha ? bytes + pixels * 2 : nullptr;
    return render(bytes, rowBytes, alphaPlane, w, packing);
}

bool Decoding::decodeRaw(const QByteArray &data, qint64 present, qint64 dataSize)
{
    LvglImageInfo &i = info();
    i.dataSize = dataSize;
    i.bytesNeeded = present;
    if (!i.fromC && i.version == 8)
        warn(QStringLiteral("LVGL does not open a .bin holding a PNG or JPEG file; it reads "
                            "such files by their own path"));
    if (dataSize >= 0 && dataSize != present)
        return fail(QStringLiteral(".data_size is %1, but the array holds %2 bytes")
                        .arg(dataSize)
                        .arg(present));
    if (data.size() < present)
        return needData();
    const ImageKind kind = sniffImageKind(data.left(64));
    if (kind == ImageKind::Bmp)
        return fail(QStringLiteral("the data is a BMP file, and LVGL has no decoder for BMP data"));
    if (kind != ImageKind::Png && kind != ImageKind::Jpeg)
        return fail(QStringLiteral("the data of a RAW format is not a PNG or JPEG file"));
    if (kind == ImageKind::Png && m_format->cf == 1)
        warn(QStringLiteral("a PNG embedded as RAW is drawn wrongly at depths 8 and 16: it must "
                            "be RAW_ALPHA"));
    SourceImage source;
    const ConvertResult decoded = decodeImageData(data, QString(), 0, &source);
    if (!decoded.ok())
        return fail(QStringLiteral("the embedded %1 file: %2")
                        .arg(kind == ImageKind::Png ? QLatin1String("PNG") : QLatin1String("JPEG"),
                             decoded.reason()));
    const QImage image = source.image.convertToFormat(QImage::Format_ARGB32);
    if (image.size() != QSize(i.width, i.height)) {
        // LVGL 8's PNG decoder takes the descriptor's size, when it is not
        // 0, over the file's own, and so draws the pixels in the wrong rows.
        if (i.fromC && i.version == 8 && kind == ImageKind::Png)
            return fail(QStringLiteral("the descriptor says %1 x %2, the embedded PNG is %3 x %4: "
                                       "LVGL 8's PNG decoder takes the descriptor's size and "
                                       "draws it wrongly")
                            .arg(i.width)
                            .arg(i.height)
                            .arg(image.width())
                            .arg(image.height()));
        warn(QStringLiteral("the header says %1 x %2, the embedded file is %3 x %4")
                 .arg(i.width)
                 .arg(i.height)
                 .arg(image.width())
                 .arg(image.height()));
    }
    const bool depth8 = i.version == 8 && i.depth == 8;
    if (kind == ImageKind::Jpeg)
        notePreview(QStringLiteral("a RAW JPEG is shown as this program's JPEG decoder reads it; "
                                   "LVGL's own decoder differs by a level or two on average and "
                                   "up to about 17, so the preview is approximate"));
    if (depth8)
        notePreview(kind == ImageKind::Png
                        ? QStringLiteral("at LV_COLOR_DEPTH 8 LVGL 8's PNG decoder swaps red and "
                                         "blue; the preview shows the colours it draws")
                        : QStringLiteral("at LV_COLOR_DEPTH 8 LVGL 8's JPEG decoder packs its "
                                         "colours as R2G3B3, which the display reads as RGB332; "
                                         "the preview shows the colours it draws"));
    QImage shown(image.size(),
                 m_device.hasBackground ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (shown.isNull())
        return fail(QStringLiteral("there is not enough memory to show it"));
    if (m_format->chromaKeyed)
        m_keyed.assign(size_t(image.width()) * size_t(image.height()), false);
    std::vector<QRgb> line(static_cast<size_t>(image.width()));
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(line.data(), image.constScanLine(y), line.size() * sizeof(QRgb));
        if (depth8)
            showRawAtDepth8(kind, line.data(), image.width());
        finishPixel(line.data(), image.width(), &shown, y);
    }
    m_result.image = shown;
    return true;
}

// The colours LVGL 8's decoders give a screen of LV_COLOR_DEPTH 8. Its PNG
// decoder reads lodepng's red, green, blue and alpha bytes as blue, green,
// red and alpha; its JPEG decoder packs red in bits 7-6, green in 5-3 and
// blue in 2-0 (R2G3B3), and the display reads that byte as RGB332.
void Decoding::showRawAtDepth8(ImageKind kind, QRgb *line, int width) const
{
    for (int x = 0; x < width; ++x) {
        const QRgb c = line[x];
        if (kind == ImageKind::Png) {
            line[x] = qRgba(qBlue(c), qGreen(c), qRed(c), qAlpha(c));
        } else {
            const uint byte = uint((qRed(c) & 0xc0) | (qGreen(c) >> 5) << 3 | qBlue(c) >> 5);
            line[x] = (expand332(byte) & 0xffffff) | (c & 0xff000000);
        }
    }
}

// Expands an RLE stream (see the header) into out.
bool rleDecode(const uchar *in, qint64 inLength, int block, uchar *out, qint64 outLength,
               QString *error)
{
    qint64 i = 0;
    qint64 o = 0;
    while (o < outLength) {
        if (i >= inLength) {
            *error = QStringLiteral("the RLE data ends after %1 of %2 bytes").arg(o).arg(outLength);
            return false;
        }
        const uint control = in[i++];
        const qint64 room = outLength - o;
        if (control & 0x80) {
            const qint64 whole = qint64(control & 0x7f) * block;
            qint64 take = whole;
            if (whole > room) {
                if (whole - room >= block) {
                    *error = QStringLiteral("an RLE literal packet runs past the end of the data");
                    return false;
                }
                take = room; // the last, partial block
            }
            if (inLength - i < take) {
                *error = QStringLiteral("the RLE data ends inside a literal packet");
                return false;
            }
            // The library reads every block of a literal packet whole: one
            // that holds only the part of its last block that the image
            // needs makes it refuse the whole image.
            if (take < whole && inLength - i < whole) {
                *error = QStringLiteral("the RLE stream's last literal packet holds %1 of the %2 "
                                        "bytes of its last block: LVGL refuses the image "
                                        "(\"Decompress failed\")")
                             .arg(inLength - i - (whole - block))
                             .arg(block);
                return false;
            }
            std::memcpy(out + o, in + i, size_t(take));
            o += take;
            i += whole;
        } else {
            const qint64 total = qint64(control) * block;
            if (inLength - i < block) {
                *error = QStringLiteral("the RLE data ends inside a repeated block");
                return false;
            }
            if (total > room) {
                *error = total - room < block
                    ? QStringLiteral("the RLE data ends in a partial block of a repeat packet, "
                                     "which LVGL 9.5 drops")
                    : QStringLiteral("an RLE repeat packet runs past the end of the data");
                return false;
            }
            for (uint k = 0; k < control; ++k, o += block)
                std::memcpy(out + o, in + i, size_t(block));
            i += block;
        }
    }
    if (i != inLength) {
        *error = QStringLiteral("%1 bytes follow the end of the RLE data").arg(inLength - i);
        return false;
    }
    return true;
}

bool Decoding::decodeV9(const QByteArray &data, qint64 present, qint64 dataSize)
{
    const FormatRow &row = *m_format;
    LvglImageInfo &i = info();
    const int w = i.width;
    const int h = i.height;
    i.bytesPresent = present;
    const int depth = m_device.depth ? m_device.depth : 16;
    if (depth != 16 && depth != 24 && depth != 32)
        return fail(QStringLiteral("an LVGL v9 image is shown here at LV_COLOR_DEPTH 16, 24 or "
                                   "32, not %1")
                        .arg(depth));
    i.depth = depth;
    m_reduction = depth == 16 ? Reduction::ToRgb565 : Reduction::None;

    if (row.versionNote)
        warn(QLatin1String(row.versionNote));
    const int unknownFlags = i.flags & ~(FlagPremultiplied | FlagCompressed);
    if (unknownFlags)
        warn(
            QStringLiteral("unknown header flags 0x%1").arg(unknownFlags, 4, 16, QLatin1Char('0')));
    if ((i.flags & FlagPremultiplied) && !row.premultiplied)
        warn(QStringLiteral("the PREMULTIPLIED flag is set, but the software renderer reads it "
                            "only as the format ARGB8888_PREMULTIPLIED; %1 colours are drawn as "
                            "they are")
                 .arg(QLatin1String(row.name)));
    if (row.packing == Packing::Rgb565 && row.alpha && row.layout == Layout::Colour)
        warn(QStringLiteral("the software renderer does not draw ARGB8565; it is for GPU "
                            "back-ends"));
    if (row.packing == Packing::Rgb565Swapped && depth != 16)
        warn(QStringLiteral("RGB565_SWAPPED is not drawn on the default XRGB8888 screen"));
    if (!i.fromC && !(i.flags & FlagCompressed) && (row.packing == Packing::L8 || row.premultiplied)
        && row.layout == Layout::Colour)
        warn(QStringLiteral("LVGL 9.5 cannot open an uncompressed .bin of %1: use a C array or "
                            "a compressed .bin")
                 .arg(QLatin1String(row.name)));
    if (row.premultiplied && depth == 16)
        notePreview(QStringLiteral("at LV_COLOR_DEPTH 16 LVGL blends premultiplied colours onto "
                                   "RGB565 up to 2 levels away from this preview"));

    if (row.layout == Layout::Raw)
        return decodeRaw(data, present, dataSize);

    const int bits = bitsPerPixel(row);
    const qint64 minStride = packedRowBytes(w, bits);
    if (i.stride == 0)
        return fail(QStringLiteral("the stride is 0: a v9 image needs its bytes per row (%1 "
                                   "here)")
                        .arg(minStride));
    if (i.stride < minStride)
        return fail(QStringLiteral("the stride %1 is smaller than the %2 bytes a row of %3 pixels "
                                   "of %4 needs")
                        .arg(i.stride)
                        .arg(minStride)
                        .arg(w)
                        .arg(QLatin1String(row.name)));
    if (row.layout == Layout::PlanarAlpha && (i.stride & 1))
        return fail(QStringLiteral("the stride of RGB565A8 must be even, not %1").arg(i.stride));

    if (row.layout == Layout::Indexed)
        i.paletteStored = 1 << row.bits;
    const qint64 paletteBytes = qint64(i.paletteStored) * 4;
    const qint64 alphaStride = row.layout == Layout::PlanarAlpha ? i.stride / 2 : 0;
    const qint64 needed = paletteBytes + qint64(i.stride) * h + alphaStride * h;
    i.bytesNeeded = needed;
    if (needed > DecodeBudgetBytes)
        return fail(QStringLiteral("%1 bytes of data are more than the %2 MiB this program "
                                   "decodes")
                        .arg(needed)
                        .arg(DecodeBudgetBytes >> 20));
    if (!checkDataSize(dataSize, present))
        return false;

    QByteArray expanded;
    const QByteArray *pixels = &data;
    if (i.flags & FlagCompressed) {
        if (present < 12)
            return fail(QStringLiteral("the compressed data ends inside its 12-byte header (%1 "
                                       "bytes)")
                            .arg(present));
        if (data.size() < 12)
            return needData();
        const auto *d = reinterpret_cast<const uchar *>(data.constData());
        const quint32 method = le32(d);
        const qint64 compressed = le32(d + 4);
        const qint64 uncompressed = le32(d + 8);
        i.compression = method == 1 ? QStringLiteral("RLE")
            : method == 2           ? QStringLiteral("LZ4")
                                    : QStringLiteral("method %1").arg(method);
        i.compressedBytes = compressed;
        i.uncompressedBytes = uncompressed;
        if (method != 1 && method != 2)
            return fail(
                QStringLiteral("unknown compression method %1 (1 is RLE, 2 LZ4)").arg(method));
        if (12 + compressed != present)
            return fail(i.fromC ? QStringLiteral("the compressed length %1 disagrees with "
                                                 ".data_size %2, which must be 12 more")
                                      .arg(compressed)
                                      .arg(present)
                                : QStringLiteral("the compressed length %1 disagrees with the "
                                                 "file, which holds %2 bytes after the block "
                                                 "header")
                                      .arg(compressed)
                                      .arg(present - 12));
        if (uncompressed != needed)
            return fail(QStringLiteral("the uncompressed length %1 disagrees with the %2 bytes "
                                       "the header describes")
                            .arg(uncompressed)
                            .arg(needed));
        // Neither RLE nor LZ4 expands a byte to more than 255, so a few
        // bytes that claim megabytes are refused before anything is made.
        if (needed > compressed * 255)
            return fail(QStringLiteral("%1 bytes of compressed data cannot expand to the %2 "
                                       "bytes the header describes")
                            .arg(compressed)
                            .arg(needed));
        if (data.size() < present)
            return needData();
        expanded = QByteArray(int(needed), Qt::Uninitialized);
        auto *out = reinterpret_cast<uchar *>(expanded.data());
        if (method == 1) {
            const int block = row.layout == Layout::PlanarAlpha ? 2 : (bits + 7) / 8;
            QString error;
            if (!rleDecode(d + 12, compressed, block, out, needed, &error))
                return fail(error);
        } else {
            const int n = LZ4_decompress_safe(data.constData() + 12, expanded.data(),
                                              int(compressed), int(needed));
            if (n < 0)
                return fail(QStringLiteral("the LZ4 data is corrupt"));
            if (n != needed)
                return fail(
                    QStringLiteral("the LZ4 data expands to %1 bytes, not %2").arg(n).arg(needed));
        }
        pixels = &expanded;
    } else if (present != needed) {
        return fail(present < needed
                        ? QStringLiteral("the data ends early: %1 of the %2 bytes the header "
                                         "describes")
                              .arg(present)
                              .arg(needed)
                        : QStringLiteral("%1 bytes of data where the header describes %2")
                              .arg(present)
                              .arg(needed));
    } else if (data.size() < present) {
        return needData();
    }

    const auto *bytes = reinterpret_cast<const uchar *>(pixels->constData());
    if (row.layout == Layout::Indexed) {
        m_palette = bytes;
        bytes += paletteBytes;
    }
    const uchar *alphaPlane =
        row.layout == Layout::PlanarAlpha ? bytes + qint64(i.stride) * h : nullptr;
    const Packing packing = row.layout == Layout::PlanarAlpha ? Packing::Rgb565 : row.packing;
    return render(bytes, i.stride, alphaPlane, alphaStride, packing);
}

// Chroma key, the device's colours, the background; then into the image.
void Decoding::finishPixel(QRgb *line, int width, QImage *image, int y)
{
    const bool keyed = m_format->chromaKeyed;
    const QRgb key = reduce(m_reduction, m_device.chromaKey) & 0xffffff;
    const QRgb background = reduce(m_reduction, m_device.background);
    auto *out = reinterpret_cast<QRgb *>(image->scanLine(y));
    for (int x = 0; x < width; ++x) {
        QRgb c = reduce(m_reduction, line[x]);
        if (keyed && (c & 0xffffff) == key) {
            if (qAlpha(c) == 255)
                m_keyed[size_t(y) * size_t(width) + size_t(x)] = true;
            c &= 0xffffff;
        }
        if (m_device.hasBackground) {
            const int a = qAlpha(c);
            const auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
            c = reduce(m_reduction,
                       qRgb(mix(qRed(c), qRed(background)), mix(qGreen(c), qGreen(background)),
                            mix(qBlue(c), qBlue(background))));
        }
        out[x] = c;
    }
}

bool Decoding::render(const uchar *pixels, qint64 stride, const uchar *alphaPlane,
                      qint64 alphaStride, Packing packing)
{
    const FormatRow &row = *m_format;
    const int w = info().width;
    const int h = info().height;
    QImage image(w, h, m_device.hasBackground ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (image.isNull())
        return fail(QStringLiteral("there is not enough memory to show it"));
    if (row.chromaKeyed)
        m_keyed.assign(size_t(w) * size_t(h), false);

    QRgb palette[256];
    bool used[256] = {};
    if (row.layout == Layout::Indexed) {
        for (int k = 0; k < (1 << row.bits); ++k) {
            const uchar *e = m_palette + k * 4;
            palette[k] = qRgba(e[2], e[1], e[0], e[3]);
        }
    }
    const QRgb recolour = m_device.recolor & 0xffffff;
    const bool widen = m_reduction == Reduction::None;
    std::vector<QRgb> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        const uchar *s = pixels + stride * y;
        switch (row.layout) {
        case Layout::DepthColour:
        case Layout::Colour:
            readColours(packing, row.alpha, row.premultiplied, widen, s, w, line.data());
            break;
        case Layout::Indexed:
            for (int x = 0; x < w; ++x) {
                const int index = packedValue(s, x, row.bits);
                used[index] = true;
                line[size_t(x)] = palette[index];
            }
            break;
        case Layout::AlphaOnly:
            for (int x = 0; x < w; ++x)
                line[size_t(x)] =
                    recolour | QRgb(alphaLevel(packedValue(s, x, row.bits), row.bits)) << 24;
            break;
        case Layout::PlanarAlpha: {
            readColours(packing, false, false, widen, s, w, line.data());
            const uchar *a = alphaPlane + alphaStride * y;
            for (int x = 0; x < w; ++x)
                line[size_t(x)] = (line[size_t(x)] & 0xffffff) | QRgb(a[x]) << 24;
            break;
        }
        case Layout::Raw:
            break;
        }
        finishPixel(line.data(), w, &image, y);
    }
    if (row.layout == Layout::Indexed)
        info().paletteUsed = int(std::count(std::begin(used), std::end(used), true));
    m_result.image = image;
    return true;
}

// ---- C files ----

struct NameValue
{
    const char *name;
    int value;
};

// Evaluates the descriptor's fields with LVGL's names.
class SourceFields
{
public:
    SourceFields(const CArrayReader &reader, int depth)
        : m_reader(reader)
        , m_depth(depth)
    {
    }

    void setDepth(int depth) { m_depth = depth; }

    // The value of a field, or fallback when it is not given. false with
    // error on a value that cannot be read or lies outside [0, max].
    bool value(const char *name, qint64 max, qint64 fallback, qint64 *v, QString *error)
    {
        const CImageSource::Field *field = m_reader.field(name);
        if (!field) {
            *v = fallback;
            return true;
        }
        const CArrayReader::Lookup lookup = [this](const QByteArray &id, qint64 *out) {
            return constant(id, out);
        };
        if (!m_reader.evaluate(field->value, lookup, v, error))
            return false;
        if (*v < 0 || *v > max) {
            *error = QStringLiteral("line %1: .%2 is %3, outside 0 to %4")
                         .arg(field->line)
                         .arg(QString::fromLatin1(name))
                         .arg(*v)
                         .arg(max);
            return false;
        }
        return true;
    }

    // A pointer field that must be NULL (or 0) where given.
    bool isNull(const char *name, QString *error)
    {
        const CImageSource::Field *field = m_reader.field(name);
        if (!field)
            return true;
        const CArrayReader::Lookup lookup = [](const QByteArray &id, qint64 *out) {
            *out = 0;
            return id == "NULL" || id == "nullptr";
        };
        qint64 v = 0;
        QString ignored;
        if (m_reader.evaluate(field->value, lookup, &v, &ignored) && v == 0)
            return true;
        *error = QStringLiteral("line %1: .%2 is '%3'; the reader takes only NULL there")
                     .arg(field->line)
                     .arg(QString::fromLatin1(name), m_reader.text(field->value));
        return false;
    }

    bool usedV8Names = false;
    bool usedV9Names = false;

private:
    bool constant(const QByteArray &name, qint64 *v)
    {
        static const NameValue v9Names[] = {
            {"LV_IMAGE_HEADER_MAGIC", V9Magic},
            {"LV_IMAGE_FLAGS_PREMULTIPLIED", FlagPremultiplied},
            {"LV_IMAGE_FLAGS_COMPRESSED", FlagCompressed},
        };
        for (const NameValue &n : v9Names) {
            if (name == n.name) {
                usedV9Names = true;
                *v = n.value;
                return true;
            }
        }
        if (name == "LV_COLOR_SIZE" || name == "LV_IMG_PX_SIZE_ALPHA_BYTE") {
            usedV8Names = true;
            const int d = m_depth;
            *v = name == "LV_COLOR_SIZE" ? d : (d == 32 ? 4 : d / 8 + 1);
            return true;
        }
        for (const FormatRow &row : formatTable) {
            if (libraryName(row).toLatin1() == name) {
                (row.version == 8 ? usedV8Names : usedV9Names) = true;
                *v = row.cf;
                return true;
            }
        }
        return false;
    }

    const CArrayReader &m_reader;
    int m_depth;
};

CArrayReader::Setting readerSetting(int depth, bool swap)
{
    switch (depth) {
    case 8:
        return CArrayReader::Depth8;
    case 24:
    case 32:
        return CArrayReader::Depth32;
    default:
        return swap ? CArrayReader::Depth16Swap : CArrayReader::Depth16;
    }
}

constexpr int settingDepth[CArrayReader::SettingCount] = {8, 16, 16, 32};

QString depthName(int depth, bool swap)
{
    return QStringLiteral("LV_COLOR_DEPTH %1%2")
        .arg(depth)
        .arg(swap ? QStringLiteral(" with LV_COLOR_16_SWAP") : QString());
}

// The warning for opaque pixels that take the chroma key's value at depth
// 8 or 16 and so are not drawn. nearOnly: they are known not to be the key
// colour itself (a C array's depth-32 section says so).
QString keyWarning(int depth, bool swap, qint64 count, QRgb key, bool nearOnly)
{
    const int r = qRed(key);
    const int g = qGreen(key);
    const int b = qBlue(key);
    const auto hexText = [](uint v, int digits) -> QString {
        return QStringLiteral("0x")
            + QString::number(v, 16).rightJustified(digits, QLatin1Char('0')).toUpper();
    };
    const QString value = depth == 8
        ? QStringLiteral("RGB332 ") + hexText(uint((r & 0xe0) | (g >> 5) << 2 | b >> 6), 2)
        : QStringLiteral("RGB565 ") + hexText(uint((r >> 3) << 11 | (g >> 2) << 5 | b >> 3), 4);
    const QString keyText = hexText(key & 0xffffff, 6);
    if (nearOnly)
        return QStringLiteral("at %1, %2 opaque pixels of colours near the chroma key %3 take its "
                              "value (%4) and are not drawn: use a key colour the image does not "
                              "use, or a format with alpha")
            .arg(depthName(depth, swap))
            .arg(count)
            .arg(keyText, value);
    return QStringLiteral("at %1, %2 opaque pixels hold the chroma key's value (%3 for %4) and "
                          "are not drawn; if some were meant to be seen, use a key colour the "
                          "image does not use, or a format with alpha")
        .arg(depthName(depth, swap))
        .arg(count)
        .arg(value, keyText);
}

qint64 countOf(const std::vector<bool> &bits)
{
    return qint64(std::count(bits.begin(), bits.end(), true));
}

// A .bin from its first bytes (head) and its length. needsData: the header
// and the length agree, and the result waits for the whole file.
LvglDecodeResult decodeBinary(const QByteArray &head, qint64 size, const DeviceSettings &device,
                              LvglVersion version, bool *needsData)
{
    *needsData = false;
    Decoding decoding(device, false);
    const auto *d = reinterpret_cast<const uchar *>(head.constData());
    if (size == 0 || head.isEmpty()) {
        decoding.fail(QStringLiteral("the file is empty"));
        return decoding.take();
    }
    if (version == LvglVersion::Detect)
        version = d[0] == V9Magic ? LvglVersion::V9 : LvglVersion::V8;

    // The data after the header, without a copy.
    const auto after = [&head](int header) {
        return QByteArray::fromRawData(head.constData() + header, head.size() - header);
    };
    Header header;
    if (version == LvglVersion::V8) {
        header.version = 8;
        decoding.info().version = 8;
        if (size < 4 || head.size() < 4) {
            decoding.fail(
                QStringLiteral("the file ends inside its 4-byte header (%1 bytes)").arg(size));
            return decoding.take();
        }
        const quint32 word = le32(d);
        header.cf = int(word & 31);
        header.flags = int((word >> 5) & 31);
        header.width = int((word >> 10) & 0x7ff);
        header.height = int(word >> 21);
        if (decoding.readHeader(header))
            decoding.decodeV8(after(4), size - 4, -1);
    } else {
        header.version = 9;
        decoding.info().version = 9;
        if (size < 12 || head.size() < 12) {
            decoding.fail(
                QStringLiteral("the file ends inside its 12-byte header (%1 bytes)").arg(size));
            return decoding.take();
        }
        header.cf = d[1];
        header.flags = le16(d + 2);
        header.width = le16(d + 4);
        header.height = le16(d + 6);
        header.stride = le16(d + 8);
        if (d[0] != V9Magic)
            decoding.fail(QStringLiteral("the magic byte is 0x%1; a v9 image starts with 0x19")
                              .arg(d[0], 2, 16, QLatin1Char('0')));
        if (!decoding.readHeader(header) || d[0] != V9Magic)
            return decoding.take();
        if (le16(d + 10) != 0)
            decoding.warn(QStringLiteral("the header's reserved bytes are not 0"));
        decoding.decodeV9(after(12), size - 12, -1);
    }
    *needsData = decoding.needsData();
    const std::vector<bool> keyed = decoding.keyed();
    LvglDecodeResult result = decoding.take();
    const LvglImageInfo &i = result.info;
    if (result.ok() && !keyed.empty() && (i.depth == 8 || i.depth == 16)) {
        const qint64 count = countOf(keyed);
        if (count > 0)
            result.info.warnings << keyWarning(i.depth, i.swap, count, device.chromaKey, false);
    }
    return result;
}

// One depth setting of a C file.
struct SourceDecoding
{
    LvglDecodeResult result;
    std::vector<bool> keyed; // chroma-keyed formats: the opaque pixels keyed out
};

SourceDecoding decodeSourceAt(const CArrayReader &reader, const DeviceSettings &device,
                              LvglVersion version)
{
    DeviceSettings settings = device;
    Decoding decoding(settings, true);
    const auto done = [&decoding] {
        SourceDecoding out;
        out.keyed = decoding.keyed();
        out.result = decoding.take();
        return out;
    };
    const CImageSource &image = reader.image();
    LvglImageInfo &info = decoding.info();
    info.depthSections = image.sections;

    SourceFields fields(reader,
                        device.depth == 24 || device.depth == 32 ? 32
                            : device.depth == 8                  ? 8
                                                                 : 16);
    QString error;
    qint64 cf = 0;
    if (!reader.field("header.cf")) {
        decoding.fail(QStringLiteral("line %1: the descriptor '%2' has no .header.cf")
                          .arg(image.line)
                          .arg(QString::fromUtf8(image.name)));
        return done();
    }
    if (!fields.value("header.cf", 255, 0, &cf, &error)) {
        decoding.fail(error);
        return done();
    }

    // Which version: by the type, the fields and the names used.
    bool v9 = image.type == "lv_image_dsc_t" || reader.field("header.magic")
        || reader.field("header.flags") || reader.field("header.stride")
        || reader.field("header.reserved_2") || reader.field("reserved")
        || reader.field("reserved_2") || fields.usedV9Names;
    const bool v8 = reader.field("header.always_zero") || fields.usedV8Names;
    if (v8 && v9) {
        decoding.fail(QStringLiteral("line %1: the descriptor '%2' mixes LVGL v8 and v9 names")
                          .arg(image.line)
                          .arg(QString::fromUtf8(image.name)));
        return done();
    }
    if (version != LvglVersion::Detect && v9 != (version == LvglVersion::V9)) {
        decoding.fail(QStringLiteral("the file holds an LVGL v%1 image").arg(v9 ? 9 : 8));
        return done();
    }

    const qint64 sideLimit = v9 ? 0xffff : 0x7ff;
    qint64 width = 0;
    qint64 height = 0;
    qint64 flags = 0;
    qint64 stride = 0;
    qint64 magic = V9Magic;
    qint64 zero = 0;
    qint64 reserved = 0;
    for (const char *required : {"header.w", "header.h"}) {
        if (!reader.field(required)) {
            decoding.fail(QStringLiteral("line %1: the descriptor '%2' has no .%3")
                              .arg(image.line)
                              .arg(QString::fromUtf8(image.name), QLatin1String(required)));
            return done();
        }
    }
    if (!fields.value("header.w", sideLimit, 0, &width, &error)
        || !fields.value("header.h", sideLimit, 0, &height, &error)
        || !fields.value("header.flags", 0xffff, 0, &flags, &error)
        || !fields.value("header.stride", 0xffff, 0, &stride, &error)
        || !fields.value("header.magic", 0xff, V9Magic, &magic, &error)
        || !fields.value("header.always_zero", 7, 0, &zero, &error)
        || !fields.value("header.reserved", v9 ? 0xffff : 3, 0, &reserved, &error)
        || !fields.isNull("reserved", &error) || !fields.isNull("reserved_2", &error)) {
        decoding.fail(error);
        return done();
    }
    if (!v9 && cf > 31) {
        decoding.fail(QStringLiteral("line %1: .header.cf is %2, more than the 5 bits of a v8 "
                                     "header hold")
                          .arg(reader.field("header.cf")->line)
                          .arg(cf));
        return done();
    }

    Header header;
    header.version = v9 ? 9 : 8;
    header.cf = int(cf);
    header.width = int(width);
    header.height = int(height);
    header.flags = v9 ? int(flags) : int(zero | reserved << 3);
    header.stride = int(stride);
    if (!decoding.readHeader(header))
        return done();

    const FormatRow &row = *decoding.format();
    // A true-colour array without depth sections is read at the depth its
    // size fits, when no depth is asked for.
    if (!v9 && settings.depth == 0) {
        settings.depth = 16;
        if (row.layout == Layout::DepthColour && image.sections.isEmpty()) {
            const int fitting =
                Decoding::fittingDepth(row, header.width, header.height, image.data.size());
            if (fitting)
                settings.depth = fitting;
        }
        fields.setDepth(settings.depth);
    }

    qint64 dataSize = -1;
    const CImageSource::Field *dataSizeField = reader.field("data_size");
    if (dataSizeField) {
        if (!fields.value("data_size", qint64(1) << 40, 0, &dataSize, &error)) {
            decoding.fail(error);
            return done();
        }
    } else if (v9 || row.layout == Layout::Raw) {
        decoding.fail(QStringLiteral("line %1: the descriptor '%2' has no .data_size")
                          .arg(image.line)
                          .arg(QString::fromUtf8(image.name)));
        return done();
    } else {
        decoding.warn(QStringLiteral("the descriptor has no .data_size"));
    }

    if (v9) {
        if (!reader.field("header.magic"))
            decoding.warn(QStringLiteral("the descriptor sets no .header.magic "
                                         "(LV_IMAGE_HEADER_MAGIC)"));
        else if (magic != V9Magic) {
            decoding.fail(QStringLiteral("line %1: .header.magic is 0x%2; a v9 image has 0x19")
                              .arg(reader.field("header.magic")->line)
                              .arg(magic, 2, 16, QLatin1Char('0')));
            return done();
        }
        // LVGL 9.1 added the descriptor's .reserved, 9.3 its .reserved_2.
        if (reader.field("reserved_2"))
            decoding.warn(QStringLiteral("the descriptor's .reserved_2 needs LVGL 9.3 or later"));
        else if (reader.field("reserved"))
            decoding.warn(QStringLiteral("the descriptor's .reserved needs LVGL 9.1 or later"));
    }

    // LVGL's PNG and JPEG decoders take C data that starts like such a
    // file for one.
    if (!v9 && row.layout != Layout::Raw) {
        const QByteArray head = image.data.left(4);
        if (head.startsWith("\xff\xd8\xff") || head.startsWith("\x89PNG"))
            decoding.warn(
                QStringLiteral("the data starts like a %1 file: with %2 enabled, LVGL "
                               "tries to decode it as one")
                    .arg(head.startsWith('\xff') ? QLatin1String("JPEG") : QLatin1String("PNG"),
                         head.startsWith('\xff') ? QLatin1String("LV_USE_SJPG")
                                                 : QLatin1String("LV_USE_PNG")));
    }

    if (v9)
        decoding.decodeV9(image.data, image.data.size(), dataSize);
    else
        decoding.decodeV8(image.data, image.data.size(), dataSize);
    return done();
}

} // namespace

LvglDecodeResult decodeLvglBinary(const QByteArray &file, const DeviceSettings &device,
                                  LvglVersion version)
{
    bool needsData = false;
    return decodeBinary(file, file.size(), device, version, &needsData);
}

LvglDecodeResult decodeLvglSource(const QByteArray &text, const DeviceSettings &device,
                                  LvglVersion version)
{
    const CArrayReader::Setting setting = readerSetting(device.depth, device.swap);
    CArrayReader reader(setting);
    if (!reader.read(text)) {
        LvglDecodeResult failed;
        failed.info.fromC = true;
        failed.error = reader.errorString();
        return failed;
    }
    const QStringList &sections = reader.image().sections;
    const QString settingText = CArrayReader::settingName(setting);
    if (!sections.isEmpty() && !sections.contains(settingText)) {
        LvglDecodeResult failed;
        failed.info.fromC = true;
        failed.info.depthSections = sections;
        failed.error = QStringLiteral("the array has no data for LV_COLOR_DEPTH %1 (its sections: "
                                      "%2)")
                           .arg(settingText, sections.join(QLatin1String(", ")));
        return failed;
    }
    SourceDecoding primary = decodeSourceAt(reader, device, version);
    LvglDecodeResult &result = primary.result;
    if (!result.ok() || sections.isEmpty())
        return result;

    // Every other section the file holds is read too: a broken one breaks
    // the file, whichever depth is asked for. (v9 is not shown at depth 8.)
    std::vector<bool> keyed[CArrayReader::SettingCount];
    keyed[setting] = primary.keyed;
    for (int s = 0; s < CArrayReader::SettingCount; ++s) {
        const auto other = CArrayReader::Setting(s);
        if (other == setting || !sections.contains(CArrayReader::settingName(other))
            || (result.info.version == 9 && other == CArrayReader::Depth8))
            continue;
        DeviceSettings at = device;
        at.depth = settingDepth[s];
        at.swap = other == CArrayReader::Depth16Swap;
        const CArrayReader sectionReader = reader.forSetting(other);
        QString error = sectionReader.errorString();
        if (sectionReader.ok()) {
            SourceDecoding decoded = decodeSourceAt(sectionReader, at, version);
            error = decoded.result.error;
            keyed[s] = std::move(decoded.keyed);
        }
        if (!error.isEmpty()) {
            result.error = QStringLiteral("the section for %1 is broken: %2")
                               .arg(depthName(at.depth, at.swap), error);
            result.image = QImage();
            return result;
        }
    }

    // The chroma key at depths 8 and 16, section by section. With a depth-32
    // section, the pixels that are the key colour itself are known and left
    // out: what remains are colours near it that reduce to it.
    const std::vector<bool> &exact = keyed[CArrayReader::Depth32];
    for (const auto s : {CArrayReader::Depth8, CArrayReader::Depth16, CArrayReader::Depth16Swap}) {
        const std::vector<bool> &bits = keyed[s];
        if (bits.empty())
            continue;
        qint64 count = 0;
        const bool nearOnly = exact.size() == bits.size();
        for (size_t k = 0; k < bits.size(); ++k)
            count += bits[k] && !(nearOnly && exact[k]);
        if (count > 0)
            result.info.warnings << keyWarning(settingDepth[s], s == CArrayReader::Depth16Swap,
                                               count, device.chromaKey, nearOnly);
    }
    return result;
}

bool looksLikeCSource(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(4096);
    // Text has no control characters but white space.
    for (const char c : head) {
        const uchar u = uchar(c);
        if ((u < 0x20 && !std::strchr("\t\r\n\f\v", c)) || u == 0x7f || u == 0)
            return false;
    }
    int at = head.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (at < head.size() && std::strchr(" \t\r\n\f\v", head.at(at)))
        ++at;
    if (at >= head.size())
        return false;
    const char c = head.at(at);
    return c == '/' || c == '#' || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

LvglDecodeResult decodeLvglFile(const QByteArray &bytes, const DeviceSettings &device,
                                LvglVersion version)
{
    return looksLikeCSource(bytes) ? decodeLvglSource(bytes, device, version)
                                   : decodeLvglBinary(bytes, device, version);
}

namespace {

enum class NamedKind { Binary, Source, ByContent };

NamedKind kindByName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bin"))
        return NamedKind::Binary;
    for (const char *source : {"c", "h", "cpp", "cc", "inc"}) {
        if (suffix == QLatin1String(source))
            return NamedKind::Source;
    }
    return NamedKind::ByContent;
}

// A file named .bin that does not read as one, and is C text.
LvglDecodeResult checkedBinary(LvglDecodeResult result, const QByteArray &head)
{
    if (result.ok() || !looksLikeCSource(head))
        return result;
    LvglDecodeResult source;
    source.error = QStringLiteral("this is C source, not a binary image");
    return source;
}

// The first bytes of a file: enough to tell C text from a .bin and to hold
// every header.
constexpr qint64 HeadBytes = 4096;

} // namespace

LvglDecodeResult decodeLvglFileNamed(const QString &path, const QByteArray &bytes,
                                     const DeviceSettings &device, LvglVersion version)
{
    switch (kindByName(path)) {
    case NamedKind::Binary:
        return checkedBinary(decodeLvglBinary(bytes, device, version), bytes);
    case NamedKind::Source:
        return decodeLvglSource(bytes, device, version);
    case NamedKind::ByContent:
        break;
    }
    return decodeLvglFile(bytes, device, version);
}

ConvertResult readLvglFile(const QString &path, QByteArray *bytes)
{
    return readRegularFile(path, MaxLvglFileBytes, bytes);
}

LvglDecodeResult readLvglImage(const QString &path, const DeviceSettings &device,
                               LvglVersion version, ConvertResult *read)
{
    QByteArray head;
    qint64 size = 0;
    *read = readRegularFileHead(path, HeadBytes, &head, &size);
    if (!read->ok())
        return LvglDecodeResult();
    const NamedKind kind = kindByName(path);
    if (size > head.size()
        && (kind == NamedKind::Binary
            || (kind == NamedKind::ByContent && !looksLikeCSource(head)))) {
        // A .bin is judged from its header and its length before its data
        // is read.
        bool needsData = false;
        const LvglDecodeResult judged = decodeBinary(head, size, device, version, &needsData);
        if (!needsData)
            return kind == NamedKind::Binary ? checkedBinary(judged, head) : judged;
    }
    QByteArray bytes;
    if (size <= head.size()) {
        bytes = head;
    } else {
        *read = readLvglFile(path, &bytes);
        if (!read->ok())
            return LvglDecodeResult();
    }
    return decodeLvglFileNamed(path, bytes, device, version);
}

} // namespace Convert
