#include "decodeharness.h"

#include <encodedfiles.h>
#include <hostilefiles.h>

#include <converter.h>
#include <imagekinds.h>
#include <lvgldecoder.h>

#include <QBuffer>
#include <QImage>

#include <lz4.h>

using namespace Convert;

namespace DecodeHarness {

namespace {

const int depths[] = {0, 8, 16, 32};

struct Input
{
    Mode mode = Mode::Binary;
    DeviceSettings device;
    QByteArray file;
};

Input readInput(const uchar *data, size_t size)
{
    Input input;
    if (size == 0)
        return input;
    const uchar head = data[0];
    input.mode = Mode(head & 3);
    input.device.depth = depths[(head >> 2) & 3];
    input.device.swap = head & 0x10;
    input.device.hasBackground = head & 0x20;
    input.device.background = 0x336699;
    input.device.recolor = 0xc04010;
    // No copy: the decoder reads the fuzzer's own buffer, whose end the
    // sanitizer guards.
    input.file = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), int(size - 1));
    return input;
}

LvglDecodeResult decode(const Input &input, const DeviceSettings &device)
{
    switch (input.mode) {
    case Mode::Binary:
        return decodeLvglBinary(input.file, device);
    case Mode::BinaryV8:
        return decodeLvglBinary(input.file, device, LvglVersion::V8);
    case Mode::BinaryV9:
        return decodeLvglBinary(input.file, device, LvglVersion::V9);
    case Mode::Source:
        break;
    }
    return decodeLvglSource(input.file, device);
}

QString checkResult(const Input &input, const LvglDecodeResult &result)
{
    const LvglImageInfo &info = result.info;
    if (!result.ok()) {
        if (!result.image.isNull())
            return QStringLiteral("an inconsistent file (%1) gave an image").arg(result.error);
        return QString();
    }
    if (result.image.isNull())
        return QStringLiteral("a consistent file gave no image");
    const QImage::Format format =
        input.device.hasBackground ? QImage::Format_RGB32 : QImage::Format_ARGB32;
    if (result.image.format() != format)
        return QStringLiteral("the image is of format %1, not %2")
            .arg(int(result.image.format()))
            .arg(int(format));
    if (info.version != 8 && info.version != 9)
        return QStringLiteral("a consistent file of version %1").arg(info.version);
    if (info.formatName.isEmpty() || info.width <= 0 || info.height <= 0)
        return QStringLiteral("a consistent file without a format or a size");
    const bool raw = info.formatName.contains(QLatin1String("RAW"));
    if (!raw && result.image.size() != QSize(info.width, info.height))
        return QStringLiteral("the image is %1 x %2, the header says %3 x %4")
            .arg(result.image.width())
            .arg(result.image.height())
            .arg(info.width)
            .arg(info.height);
    if (info.bytesPresent > input.file.size())
        return QStringLiteral("%1 bytes present in an input of %2")
            .arg(info.bytesPresent)
            .arg(input.file.size());
    if (info.fromC != (input.mode == Mode::Source))
        return info.fromC ? QStringLiteral("the facts say the file is C")
                          : QStringLiteral("the facts say the file is a .bin");
    if (info.paletteUsed > info.paletteStored)
        return QStringLiteral("%1 palette entries used of %2")
            .arg(info.paletteUsed)
            .arg(info.paletteStored);
    // An animation shows every frame it describes, the first as its image.
    if (!info.animation.kind.isEmpty()) {
        if (result.frames.size() != info.animation.frames.size() || result.frames.isEmpty())
            return QStringLiteral("%1 frames shown of %2")
                .arg(result.frames.size())
                .arg(info.animation.frames.size());
        if (result.frames.first() != result.image)
            return QStringLiteral("the image is not the first frame");
        for (const QImage &frame : result.frames) {
            if (frame.format() != format)
                return QStringLiteral("a frame of format %1").arg(int(frame.format()));
        }
    }
    return QString();
}

// ---- Seeds ----

QImage seedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba(x * 50, y * 90, 255 - x * 40, (x + y) % 3 ? 255 : 100));
    }
    return image;
}

QByteArray le16(int v)
{
    return QByteArray(1, char(v & 0xff)) + char((v >> 8) & 0xff);
}

QByteArray le32(quint32 v)
{
    return le16(int(v & 0xffff)) + le16(int(v >> 16));
}

// The v9 formats as the seeds need them: bits per pixel, palette, plane.
struct V9Format
{
    int cf;
    const char *name;
    int bits;
    bool palette;
    bool alphaPlane;
};

const V9Format v9Formats[] = {
    {0x06, "L8", 8, false, false},
    {0x07, "I1", 1, true, false},
    {0x08, "I2", 2, true, false},
    {0x09, "I4", 4, true, false},
    {0x0A, "I8", 8, true, false},
    {0x0B, "A1", 1, false, false},
    {0x0C, "A2", 2, false, false},
    {0x0D, "A4", 4, false, false},
    {0x0E, "A8", 8, false, false},
    {0x0F, "RGB888", 24, false, false},
    {0x10, "ARGB8888", 32, false, false},
    {0x11, "XRGB8888", 32, false, false},
    {0x12, "RGB565", 16, false, false},
    {0x13, "ARGB8565", 24, false, false},
    {0x14, "RGB565A8", 16, false, true},
    {0x15, "AL88", 16, false, false},
    {0x1A, "ARGB8888_PREMULTIPLIED", 32, false, false},
    {0x1B, "RGB565_SWAPPED", 16, false, false},
};

// Repeat packets for runs of equal blocks, literal packets otherwise; a
// partial last block goes into a literal packet, stored whole (the library
// refuses a stream that carries only its part).
QByteArray rleEncode(const QByteArray &data, int block)
{
    QByteArray out;
    const int blocks = data.size() / block;
    int at = 0;
    while (at < blocks) {
        int run = 1;
        while (at + run < blocks && run < 127
               && data.mid((at + run) * block, block) == data.mid(at * block, block))
            ++run;
        if (run > 1) {
            out += char(run);
            out += data.mid(at * block, block);
            at += run;
            continue;
        }
        int literal = 1;
        while (at + literal < blocks && literal < 127
               && data.mid((at + literal) * block, block)
                   != data.mid((at + literal - 1) * block, block))
            ++literal;
        out += char(0x80 | literal);
        out += data.mid(at * block, literal * block);
        at += literal;
    }
    const int rest = data.size() - blocks * block;
    if (rest) {
        out += char(0x81);
        out += data.right(rest) + QByteArray(block - rest, '\0');
    }
    return out;
}

QByteArray lz4Encode(const QByteArray &data)
{
    QByteArray out(LZ4_compressBound(data.size()), Qt::Uninitialized);
    const int n = LZ4_compress_default(data.constData(), out.data(), data.size(), out.size());
    out.resize(qMax(0, n));
    return out;
}

QByteArray v9Source(const V9Format &f, int flags, int width, int height, int stride,
                    const QByteArray &data)
{
    QByteArray text = "#include \"lvgl.h\"\n\nstatic const uint8_t img_map[] = {\n";
    for (int i = 0; i < data.size(); ++i)
        text += "0x" + QByteArray::number(uchar(data.at(i)), 16) + (i % 16 == 15 ? ",\n" : ", ");
    text += "\n};\n\nconst lv_image_dsc_t img = {\n"
            "    .header.magic = LV_IMAGE_HEADER_MAGIC,\n"
            "    .header.cf = LV_COLOR_FORMAT_"
        + QByteArray(f.name) + ",\n    .header.flags = "
        + (flags & 8 ? QByteArray("LV_IMAGE_FLAGS_COMPRESSED") : QByteArray::number(flags & 1))
        + (flags & 8 && flags & 1 ? QByteArray(" | LV_IMAGE_FLAGS_PREMULTIPLIED") : QByteArray())
        + ",\n    .header.w = " + QByteArray::number(width) + ",\n    .header.h = "
        + QByteArray::number(height) + ",\n    .header.stride = " + QByteArray::number(stride)
        + ",\n    .data_size = sizeof(img_map),\n    .data = img_map,\n};\n";
    return text;
}

void addV9Seeds(QVector<QByteArray> *seeds)
{
    const int width = 5;
    const int height = 3;
    for (const V9Format &f : v9Formats) {
        for (const int align : {1, 4}) {
            int stride = (width * f.bits + 7) / 8;
            stride = (stride + align - 1) / align * align;
            if (f.alphaPlane && (stride & 1))
                ++stride;
            const int size = (f.palette ? 4 << f.bits : 0) + stride * height
                + (f.alphaPlane ? stride / 2 * height : 0);
            QByteArray data(size, '\0');
            for (int i = 0; i < size; ++i)
                data[i] = char((i * 37 / 5) & 0xff);
            const int premultiplied = f.cf == 0x1A ? 1 : 0;
            const QByteArray header = QByteArray(1, char(0x19)) + char(f.cf) + le16(premultiplied)
                + le16(width) + le16(height) + le16(stride) + le16(0);
            *seeds << makeInput(Mode::Binary, header + data, 32);
            *seeds << makeInput(Mode::Source,
                                v9Source(f, premultiplied, width, height, stride, data), 16);
            const int block = f.alphaPlane ? 2 : (f.bits + 7) / 8;
            const QByteArray compressed[] = {rleEncode(data, block), lz4Encode(data)};
            for (int method = 1; method <= 2; ++method) {
                const QByteArray &payload = compressed[method - 1];
                const QByteArray block = le32(quint32(method)) + le32(quint32(payload.size()))
                    + le32(quint32(size)) + payload;
                QByteArray compressedHeader = header;
                compressedHeader[2] = char(8 | premultiplied);
                *seeds << makeInput(Mode::Binary, compressedHeader + block, 16);
                *seeds << makeInput(Mode::Source,
                                    v9Source(f, 8 | premultiplied, width, height, stride, block));
            }
        }
    }
    const QByteArray png = HostileFiles::encoded(seedImage(4, 3), "PNG");
    *seeds << makeInput(Mode::BinaryV9,
                        QByteArray::fromHex("19020000040003000000") + le16(0) + png);
}

const char otherTool[] = R"(#if defined(LV_LVGL_H_INCLUDE_SIMPLE)
#include "lvgl.h"
#else
#include "lvgl/lvgl.h"
#endif
#ifndef LV_ATTRIBUTE_IMG_DOT
#define LV_ATTRIBUTE_IMG_DOT
#endif
const LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST LV_ATTRIBUTE_IMG_DOT uint8_t dot_map[] = {
#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8
  0xe0, 0xff, 0x1c, 0x80, /* two pixels */ 0x03, 0x40, 0x00, 0x00,
#endif
#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP == 0
  0x00, 0xf8, 0xff, 0xe0, 0x07, 0x80, 0x1f, 0x00, 0x40, 0x00, 0x00, 0x00,
#endif
#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0
  0xf8, 0x00, 0xff, 0x07, 0xe0, 0x80, 0x00, 0x1f, 0x40, 0x00, 0x00, 0x00,
#endif
#if LV_COLOR_DEPTH == 32
  0x00, 0x00, 0xff, 0xff, 0x00, 0xff, 0x00, 0x80, 255, 0, 0, 64, 0, 0, 0, 0,
#endif
};
const lv_img_dsc_t dot = {
  .header.cf = LV_IMG_CF_TRUE_COLOR_ALPHA,
  .header.always_zero = 0,
  .header = { .reserved = 0 },
  .header.w = 2, .header.h = 2,
  .data_size = (4 * LV_IMG_PX_SIZE_ALPHA_BYTE),
  .data = (const uint8_t *)&dot_map[0],
};
)";

} // namespace

QByteArray makeInput(Mode mode, const QByteArray &file, int depth, bool swap, bool background)
{
    int depthIndex = 0;
    for (int i = 0; i < 4; ++i) {
        if (depths[i] == depth)
            depthIndex = i;
    }
    const int head = int(mode) | depthIndex << 2 | (swap ? 0x10 : 0) | (background ? 0x20 : 0);
    return QByteArray(1, char(head)) + file;
}

namespace {

// A PNG or JPEG source, decoded at its own size and then for half of it: a
// success gives an image, the same one twice, and the half decode is no
// larger than the full one.
QString checkSourceImage(const QByteArray &bytes)
{
    QSize full;
    for (const bool half : {false, true}) {
        DecodeRequest request;
        request.maxSide = 4096;
        if (half)
            request.wantedSize = [](QSize own) { return own / 2; };
        SourceImage source;
        const ConvertResult result =
            decodeImageData(bytes, QStringLiteral("fuzz"), request, &source);
        if (!result.ok()) {
            if (!source.image.isNull())
                return QStringLiteral("a failed source decode (%1) gave an image")
                    .arg(result.message());
            continue;
        }
        if (source.image.isNull() || source.image.size() != source.size)
            return QStringLiteral("a decoded source without its image");
        if (!half)
            full = source.size;
        else if (full.isValid()
                 && (source.size.width() > full.width() || source.size.height() > full.height()))
            return QStringLiteral("the half decode is %1 x %2, the full one %3 x %4")
                .arg(source.size.width())
                .arg(source.size.height())
                .arg(full.width())
                .arg(full.height());
        SourceImage again;
        decodeImageData(bytes, QStringLiteral("fuzz"), request, &again);
        if (again.image != source.image)
            return QStringLiteral("a second source decode gave another image");
    }
    return QString();
}

} // namespace

QString check(const uchar *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const ImageKind kind = sniffImageKind(bytes.left(Reading::SniffBytes));
    if (kind == ImageKind::Png || kind == ImageKind::Jpeg)
        return checkSourceImage(bytes);
    const Input input = readInput(data, size);
    const LvglDecodeResult result = decode(input, input.device);
    QString failure = checkResult(input, result);
    if (failure.isEmpty()) {
        const LvglDecodeResult again = decode(input, input.device);
        if (again.error != result.error || again.image != result.image)
            failure = QStringLiteral("a second decode gave another result");
    }
    if (failure.isEmpty() && result.ok() && input.mode != Mode::Source && input.device.depth == 0
        && result.info.version == 8 && result.info.madeForDepth) {
        DeviceSettings found = input.device;
        found.depth = result.info.depth;
        const LvglDecodeResult atDepth = decode(input, found);
        if (!atDepth.ok() || atDepth.image != result.image)
            failure = QStringLiteral("the .bin reads differently at the depth found for it (%1)")
                          .arg(atDepth.error);
    }
    if (failure.isEmpty())
        return failure;
    return QStringLiteral("mode %1, depth %2%3: %4")
        .arg(int(input.mode))
        .arg(input.device.depth)
        .arg(input.device.swap ? QStringLiteral(" swapped") : QString(), failure);
}

QString decodeError(const QByteArray &input)
{
    const Input parsed =
        readInput(reinterpret_cast<const uchar *>(input.constData()), size_t(input.size()));
    return decode(parsed, parsed.device).error;
}

// Sources for the PNG and JPEG decoders: each colour type Qt writes.
QVector<QByteArray> sourceSeeds()
{
    QVector<QByteArray> all;
    const QImage photo = seedImage(19, 11);
    for (const QImage::Format format :
         {QImage::Format_ARGB32, QImage::Format_RGB32, QImage::Format_Indexed8,
          QImage::Format_Grayscale8, QImage::Format_Grayscale16, QImage::Format_RGBA64,
          QImage::Format_Mono})
        all.append(HostileFiles::encoded(photo.convertToFormat(format), "PNG"));
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_Grayscale8})
        all.append(HostileFiles::encoded(photo.convertToFormat(format), "JPEG"));
    return all;
}

QVector<QByteArray> seeds()
{
    QVector<QByteArray> all;
    const QImage image = seedImage(5, 3);
    const QByteArray png = HostileFiles::encoded(image, "PNG");
    const QByteArray jpeg = HostileFiles::encoded(image, "JPEG");
    const ColorDepth colorDepths[] = {ColorDepth::Depth8, ColorDepth::Depth16,
                                      ColorDepth::Depth16Swap, ColorDepth::Depth32};
    const int depthValues[] = {8, 16, 16, 32};
    for (int f = 0; f < Lvgl8::formatCount(); ++f) {
        const Lvgl8::Format &format = Lvgl8::formats()[f];
        SourceImage source;
        source.image = image;
        if (format.layout == Lvgl8::Layout::Raw) {
            source.kind = format.cf == 1 ? ImageKind::Jpeg : ImageKind::Png;
            source.bytes = format.cf == 1 ? jpeg : png;
        }
        for (int d = 0; d < 4; ++d) {
            const bool sectioned = Lvgl8::dependsOnDepth(format);
            if (sectioned && !(format.sections & depthBit(colorDepths[d])))
                continue;
            const bool swap = colorDepths[d] == ColorDepth::Depth16Swap;
            OutputPlan outSpec;
            outSpec.row = &format;
            QByteArray bytes;
            if (encodeSource(source, outSpec, QStringLiteral("seed"), &bytes).ok())
                all << makeInput(Mode::Source, bytes, depthValues[d], swap, d == 3);
            outSpec.binary = true;
            outSpec.depth = colorDepths[d];
            if (format.hasBinary && encodeSource(source, outSpec, QString(), &bytes).ok())
                all << makeInput(d == 2 ? Mode::BinaryV8 : Mode::Binary, bytes,
                                 sectioned ? (d == 0 ? 0 : depthValues[d]) : depthValues[d], swap);
        }
    }
    addV9Seeds(&all);
    for (const int depth : {8, 16, 32})
        all << makeInput(Mode::Source, otherTool, depth);

    // A GIF embedded for the GIF player, v8 and v9, and a v8 frame set of
    // two frames, the third sharing the first's array.
    EncodedFiles::GifFrame first;
    first.image = image.convertToFormat(QImage::Format_Indexed8);
    first.delayCs = 4;
    EncodedFiles::GifFrame second = first;
    second.image = seedImage(2, 2).convertToFormat(QImage::Format_Indexed8);
    second.localTable = true;
    second.at = QPoint(1, 1);
    second.transparent = 0;
    second.disposal = 2;
    SourceImage gif;
    gif.kind = ImageKind::Gif;
    gif.image = image;
    gif.bytes = EncodedFiles::gif(image.size(), {first, second, first}, 0);
    for (const bool v9 : {false, true}) {
        OutputPlan outSpec;
        if (v9)
            outSpec.row = Lvgl9::findFormat(QStringLiteral("RAW"));
        else
            outSpec.row = Lvgl8::findFormat(QStringLiteral("RAW"));
        QByteArray bytes;
        if (encodeSource(gif, outSpec, QStringLiteral("seed"), &bytes).ok())
            all << makeInput(Mode::Source, bytes, 16);
    }
    OutputPlan alpha;
    alpha.row = Lvgl8::findFormat(QStringLiteral("TRUE_COLOR_ALPHA"));
    QByteArray frames;
    for (int i = 0; i < 2; ++i) {
        SourceImage source;
        source.image = seedImage(4 + i, 2);
        QByteArray bytes;
        if (encodeSource(source, alpha, QStringLiteral("set_%1").arg(i), &bytes).ok())
            frames += bytes + '\n';
    }
    frames += "const lv_img_dsc_t set_2 = {.header.cf = LV_IMG_CF_TRUE_COLOR_ALPHA, "
              ".header.w = 4, .header.h = 2, .data_size = 8 * LV_IMG_PX_SIZE_ALPHA_BYTE, "
              ".data = set_0_map};\n"
              "const void * const set_frames[] = {&set_0, &set_1, &set_2};\n"
              "const uint32_t set_frame_count = 3;\n"
              "const uint32_t set_frame_ms[] = {20, 30, 50};\n"
              "const uint32_t set_duration_ms = 100;\n"
              "const uint32_t set_loop_count = 0;\n";
    for (const int depth : {8, 16, 32})
        all << makeInput(Mode::Source, frames, depth);
    return all;
}

} // namespace DecodeHarness
