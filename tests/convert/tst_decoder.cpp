#include <converter.h>
#include <encodedfiles.h>
#include <hostilefiles.h>
#include <lvgl8formats.h>
#include <lvgl9formats.h>
#include <lvgldecoder.h>
#include <pack.h>
#include <packreader.h>
#include <preview.h>
#include <testimages.h>

#include <QtTest>

#include <zlib.h>

using namespace Convert;

Q_DECLARE_METATYPE(Convert::DeviceSettings)

namespace {

// ---- The device colours, worked out from the layout rules ----

// RGB565 keeps the top 5, 6 and 5 bits; the device shows them repeated
// down to 8 bits.
QRgb shown565(QRgb c)
{
    const int r = qRed(c) >> 3;
    const int g = qGreen(c) >> 2;
    const int b = qBlue(c) >> 3;
    return qRgba(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2, qAlpha(c));
}

// RGB332 keeps 3, 3 and 2 bits, shown the same way.
QRgb shown332(QRgb c)
{
    const int r = qRed(c) >> 5;
    const int g = qGreen(c) >> 5;
    const int b = qBlue(c) >> 6;
    return qRgba(r << 5 | r << 2 | r >> 1, g << 5 | g << 2 | g >> 1, b * 85, qAlpha(c));
}

QRgb atDepth(QRgb c, int depth)
{
    return depth == 8 ? shown332(c) : depth == 16 ? shown565(c) : c;
}

// RGB565 as the library widens it onto a 32-bit screen: 5 bits times
// 2106, 6 bits times 1037, shifted down by 8.
QRgb widened565(QRgb c)
{
    const int r = qRed(c) >> 3;
    const int g = qGreen(c) >> 2;
    const int b = qBlue(c) >> 3;
    return qRgba((r * 2106) >> 8, (g * 1037) >> 8, (b * 2106) >> 8, qAlpha(c));
}

// What LVGL 8's own decoders draw at depth 8: the PNG decoder swaps red and
// blue; the JPEG decoder packs R2G3B3, which the display takes for RGB332.
QRgb rawAtDepth8(QRgb c, bool jpeg)
{
    if (!jpeg)
        return shown332(qRgba(qBlue(c), qGreen(c), qRed(c), qAlpha(c)));
    const int byte = (qRed(c) & 0xc0) | (qGreen(c) >> 5) << 3 | qBlue(c) >> 5;
    return shown332(qRgba(byte & 0xe0, (byte << 3) & 0xe0, (byte << 6) & 0xc0, qAlpha(c)));
}

// An alpha of n bits is the nearest of 2^n levels, shown spread over 0-255.
int shownAlpha(int alpha, int bits)
{
    if (bits == 8)
        return alpha;
    const int top = (1 << bits) - 1;
    return qRound(alpha * top / 255.0) * 255 / top;
}

// 7 x 5: odd width for the bit-packed rows, pure and near chroma-key
// greens, every kind of alpha.
QImage testImage()
{
    QImage image(7, 5, QImage::Format_ARGB32);
    const int alphas[] = {255, 0, 1, 64, 127, 128, 200, 254};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int i = y * image.width() + x;
            image.setPixel(x, y,
                           qRgba((i * 37 + 11) & 0xff, (i * 91 + 5) & 0xff, (i * 53 + 200) & 0xff,
                                 alphas[i % 8]));
        }
    }
    image.setPixel(1, 1, qRgb(0, 255, 0));
    image.setPixel(2, 1, qRgb(4, 253, 3)); // the key at depths 8 and 16, not at 32
    image.setPixel(3, 1, qRgba(0, 255, 0, 128));
    return image;
}

// At most `colours` distinct colours, alpha included, so that an indexed
// format keeps them exactly.
QImage fewColours(int colours)
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int k = (x * 3 + y * 5) % colours;
            image.setPixel(x, y,
                           qRgba((k * 97 + 30) & 0xff, (k * 41) & 0xff, 255 - k * 7,
                                 k % 3 == 0 ? 255 : 100 + k));
        }
    }
    return image;
}

// What the device shows for one source pixel of a v8 format.
QRgb expectedV8(const Lvgl8::Format &format, QRgb source, int depth, const DeviceSettings &device)
{
    switch (format.layout) {
    case Lvgl8::Layout::TrueColor: {
        const QRgb c = atDepth(source, depth) | 0xff000000;
        const bool keyed =
            format.cf == 6 && (c & 0xffffff) == (atDepth(device.chromaKey, depth) & 0xffffff);
        return keyed ? c & 0xffffff : c;
    }
    case Lvgl8::Layout::TrueColorAlpha:
    case Lvgl8::Layout::Indexed:
        return atDepth(source, depth);
    case Lvgl8::Layout::Raw:
        return depth == 8 ? rawAtDepth8(source, format.cf == 1) : atDepth(source, depth);
    case Lvgl8::Layout::Rgb565A8:
        return shown565(source);
    case Lvgl8::Layout::Alpha:
        return (atDepth(device.recolor, depth) & 0xffffff)
            | QRgb(shownAlpha(qAlpha(source), format.bits)) << 24;
    }
    return 0;
}

// Compares two images pixel by pixel; a fully transparent pixel's colour
// does not count.
QString firstDifference(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("sizes %1 x %2 and %3 x %4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            if (qAlpha(a) != qAlpha(e) || (qAlpha(e) != 0 && (a & 0xffffff) != (e & 0xffffff)))
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x)
                    .arg(y)
                    .arg(a, 8, 16, QLatin1Char('0'))
                    .arg(e, 8, 16, QLatin1Char('0'));
        }
    }
    return QString();
}

QImage pixelsImage(int width, int height, const QVector<QRgb> &pixels)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int i = 0; i < pixels.size() && i < width * height; ++i)
        image.setPixel(i % width, i / width, pixels.at(i));
    return image;
}

QByteArray v8Header(int cf, int width, int height)
{
    const quint32 word = quint32(cf) | quint32(width) << 10 | quint32(height) << 21;
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char(word >> (8 * i));
    return bytes;
}

QByteArray le16(int v)
{
    return QByteArray(1, char(v & 0xff)) + char((v >> 8) & 0xff);
}

QByteArray le32(quint32 v)
{
    return le16(int(v & 0xffff)) + le16(int(v >> 16));
}

QByteArray v9Header(int cf, int flags, int width, int height, int stride, int magic = 0x19)
{
    return QByteArray(1, char(magic)) + char(cf) + le16(flags) + le16(width) + le16(height)
        + le16(stride) + le16(0);
}

// The 12-byte block header of compressed data, and the data.
QByteArray compressedBlock(int method, const QByteArray &payload, int uncompressed)
{
    return le32(quint32(method)) + le32(quint32(payload.size())) + le32(quint32(uncompressed))
        + payload;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

DeviceSettings device(int depth, bool swap = false)
{
    DeviceSettings settings;
    settings.depth = depth;
    settings.swap = swap;
    return settings;
}

QByteArray encode(const SourceImage &source, const OutputPlan &outSpec)
{
    QByteArray bytes;
    const ConvertResult result = encodeSource(source, outSpec, QStringLiteral("pic"), &bytes);
    if (!result.ok())
        qWarning("%s", qPrintable(result.message()));
    return bytes;
}

const int depthOf[ColorDepthCount] = {8, 16, 16, 32};

// A v8 C array holding bytes, described by the fields given.
QByteArray cArray(const QByteArray &bytes, const QByteArray &fields)
{
    QByteArray text = "uint8_t m[] = {";
    for (const char byte : bytes)
        text += QByteArray::number(uchar(byte)) + ',';
    return text + "};\nconst lv_img_dsc_t d = {" + fields
        + ", .data_size = " + QByteArray::number(bytes.size()) + ", .data = m};\n";
}

// A chroma-keyed image: the key green twice, three colours that reduce to
// it at depths 8 and 16, and three that do not.
QImage nearKeyImage()
{
    return pixelsImage(4, 2,
                       {qRgb(0, 255, 0), qRgb(0, 252, 0), qRgb(4, 253, 3), qRgb(255, 0, 0),
                        qRgb(0, 0, 255), qRgb(1, 254, 1), qRgb(0, 255, 0), qRgb(200, 200, 200)});
}

// ---- Frame sets, written by hand as the layout comment describes them ----

// One v9 A8 frame of 2 x 1: its map (unless it names another's) and its
// descriptor. dataSize -1: the map's length.
QByteArray v9Frame(const char *name, const char *map, const char *bytes, int dataSize = -1)
{
    QByteArray text;
    if (bytes)
        text +=
            "const LV_ATTRIBUTE_MEM_ALIGN uint8_t " + QByteArray(map) + "[] = {" + bytes + "};\n";
    text += "const lv_image_dsc_t " + QByteArray(name)
        + " = {\n  .header.magic = LV_IMAGE_HEADER_MAGIC,\n  .header.cf = LV_COLOR_FORMAT_A8,\n"
          "  .header.w = 2,\n  .header.h = 1,\n  .header.stride = 2,\n  .data_size = "
        + (dataSize < 0 ? QByteArray("sizeof(") + map + ")" : QByteArray::number(dataSize))
        + ",\n  .data = " + map + ",\n};\n";
    return text;
}

// What follows the frames: the list, the count, the delays, the duration
// and the loop count, each replaceable.
struct FrameSetTail
{
    QByteArray frames = "&spin_0, &spin_1, &spin_2";
    QByteArray count = "3";
    QByteArray ms = "100, 50, 0";
    QByteArray duration = "150";
    QByteArray loop = "0";

    QByteArray text() const
    {
        QByteArray out = "const void * const spin_frames[] = { " + frames + " };\n";
        if (!count.isEmpty())
            out += "const uint32_t spin_frame_count = " + count + ";\n";
        if (!ms.isEmpty())
            out += "const uint32_t spin_frame_ms[] = { " + ms + " }; /* each frame's delay */\n";
        if (!duration.isEmpty())
            out += "const uint32_t spin_duration_ms = " + duration + ";\n";
        if (!loop.isEmpty())
            out += "const uint32_t spin_loop_count = " + loop + ";\n";
        return out + "//end of file\n";
    }
};

const char *const frameSetHead = "#include \"lvgl/lvgl.h\"\n#ifndef LV_ATTRIBUTE_MEM_ALIGN\n"
                                 "#define LV_ATTRIBUTE_MEM_ALIGN\n#endif\n";

// The frames as files of their own, which the reader of single images
// reads as it always has: the oracle for each frame of a set.
QByteArray singleFrame(const char *bytes)
{
    return frameSetHead + v9Frame("one", "one_map", bytes);
}

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void v9RoundTrip_data();
    void v9RoundTrip();
    void v9Pixels_data();
    void v9Pixels();
    void inconsistentFiles_data();
    void inconsistentFiles();
    void cSources_data();
    void cSources();
    void cErrors_data();
    void cErrors();
    void warnings_data();
    void warnings();
    void deviceSettings_data();
    void deviceSettings();
    void filesOnDisk_data();
    void filesOnDisk();
    void packs_data();
    void packs();
    void frameSets_data();
    void frameSets();
    void embeddedGifs_data();
    void embeddedGifs();
    void frameSetSections_data();
    void frameSetSections();
};

// Every v8 format, as C array and as .bin, at every depth: encoded by the
// engine's writers, read back, and compared with the colours the device
// shows for the source pixels. This is the writers' oracle.
void TestDecoder::roundTrip_data()
{
    QTest::addColumn<int>("cf");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<int>("encodedDepth"); // ColorDepth of a .bin
    QTest::addColumn<DeviceSettings>("settings");

    for (int f = 0; f < Lvgl8::formatCount(); ++f) {
        const Lvgl8::Format &format = Lvgl8::formats()[f];
        for (const bool binary : {false, true}) {
            if (binary && !format.hasBinary)
                continue;
            const char *kind = binary ? ".bin" : "C";
            for (int d = 0; d < ColorDepthCount; ++d) {
                const auto depth = ColorDepth(d);
                const bool sectioned = Lvgl8::dependsOnDepth(format);
                if (sectioned && !(format.sections & depthBit(depth)))
                    continue;
                if (!sectioned && depth == ColorDepth::Depth16Swap)
                    continue;
                const DeviceSettings settings =
                    device(depthOf[d], depth == ColorDepth::Depth16Swap);
                QTest::addRow("%s %s depth %s", format.name, kind, qPrintable(depthName(depth)))
                    << format.cf << binary << d << settings;
                // A .bin read without a depth is read at the one its size fits.
                if (binary && sectioned && depth != ColorDepth::Depth16Swap)
                    QTest::addRow("%s %s depth %s, read without a depth", format.name, kind,
                                  qPrintable(depthName(depth)))
                        << format.cf << binary << d << device(0);
            }
        }
    }
}

void TestDecoder::roundTrip()
{
    QFETCH(int, cf);
    QFETCH(bool, binary);
    QFETCH(int, encodedDepth);
    QFETCH(DeviceSettings, settings);

    const Lvgl8::Format &format = Lvgl8::format(cf);
    QImage image = testImage();
    if (format.layout == Lvgl8::Layout::Indexed)
        image = fewColours(qMin(1 << format.bits, 40));
    SourceImage source;
    source.image = image;
    if (format.layout == Lvgl8::Layout::Raw) {
        // RAW wants a JPEG (RAW_ALPHA takes a PNG); the device shows what
        // the embedded file decodes to.
        const bool jpeg = cf == 1;
        source.kind = jpeg ? ImageKind::Jpeg : ImageKind::Png;
        source.bytes = HostileFiles::encoded(image, jpeg ? "JPEG" : "PNG");
        source.image = QImage::fromData(source.bytes).convertToFormat(QImage::Format_ARGB32);
        image = source.image;
    }
    OutputPlan outSpec;
    outSpec.row = &format;
    outSpec.binary = binary;
    outSpec.depth = ColorDepth(encodedDepth);
    const QByteArray bytes = encode(source, outSpec);
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(looksLikeCSource(bytes), !binary);

    const LvglDecodeResult decoded = decodeLvglFile(bytes, settings);
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    const LvglImageInfo &info = decoded.info;
    QCOMPARE(info.version, 8);
    QCOMPARE(info.fromC, !binary);
    QCOMPARE(info.cf, cf);
    QCOMPARE(info.formatName, QLatin1String("LV_IMG_CF_") + QLatin1String(format.name));
    QCOMPARE(info.width, image.width());
    QCOMPARE(info.height, image.height());
    QCOMPARE(info.bytesPresent, binary ? qint64(bytes.size() - 4) : info.dataSize);

    // The depth the image is shown at: a .bin read without one is read at
    // the depth it was made for.
    const int depth = settings.depth    ? settings.depth
        : Lvgl8::dependsOnDepth(format) ? depthOf[encodedDepth]
                                        : 16;
    QCOMPARE(info.depth, depth);
    if (!binary) {
        QStringList sections;
        for (int d = 0; d < ColorDepthCount; ++d) {
            if (format.sections & depthBit(ColorDepth(d)))
                sections << depthName(ColorDepth(d));
        }
        QCOMPARE(info.depthSections, sections);
    }
    if (format.layout == Lvgl8::Layout::Indexed) {
        // An exact palette has an entry for each colour of the image.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        }
        QCOMPARE(info.paletteStored, 1 << format.bits);
        QCOMPARE(info.paletteUsed, colours.size());
    }

    QImage expected(image.size(), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            expected.setPixel(x, y, expectedV8(format, image.pixel(x, y), depth, settings));
    }
    const QString difference = firstDifference(decoded.image, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

namespace {

// What a v9 device at depth 32 shows for a source pixel, worked out from the
// layout rules and the library's widening of RGB565.
QRgb expectedV9(const Lvgl9::Format &format, QRgb source)
{
    const int a = qAlpha(source);
    const int l = (77 * qRed(source) + 150 * qGreen(source) + 29 * qBlue(source) + 128) >> 8;
    switch (format.layout) {
    case Lvgl9::Layout::L8:
        return qRgb(l, l, l);
    case Lvgl9::Layout::Al88:
        return qRgba(l, l, l, a);
    case Lvgl9::Layout::Indexed:
    case Lvgl9::Layout::Argb8888:
    case Lvgl9::Layout::Raw:
        return source;
    case Lvgl9::Layout::Alpha:
        return QRgb(shownAlpha(a, format.bits)) << 24;
    case Lvgl9::Layout::Rgb888:
    case Lvgl9::Layout::Xrgb8888:
        return source | 0xff000000u;
    case Lvgl9::Layout::Argb8888Premultiplied: {
        // Stored as (c * a + 127) / 255, shown as the plain colour again.
        const auto shown = [a](int c) {
            const int p = (c * a + 127) / 255;
            return a ? (qMin(p, a) * 255 + a / 2) / a : 0;
        };
        return qRgba(shown(qRed(source)), shown(qGreen(source)), shown(qBlue(source)), a);
    }
    case Lvgl9::Layout::Rgb565:
    case Lvgl9::Layout::Rgb565Swapped:
        return widened565(source) | 0xff000000u;
    case Lvgl9::Layout::Argb8565:
    case Lvgl9::Layout::Rgb565A8:
        return (widened565(source) & 0xffffff) | QRgb(a) << 24;
    }
    return 0;
}

} // namespace

void TestDecoder::v9RoundTrip_data()
{
    QTest::addColumn<int>("cf");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("compression");

    for (int f = 0; f < Lvgl9::formatCount(); ++f) {
        const Lvgl9::Format &format = Lvgl9::formats()[f];
        const bool raw = format.layout == Lvgl9::Layout::Raw;
        for (const bool binary : {false, true}) {
            if (binary && raw)
                continue;
            for (const int compression : {0, 1, 2}) {
                if (raw && compression != 0)
                    continue;
                // LVGL 9.5 opens no uncompressed .bin of these.
                if (binary && !format.plainBinary && compression == 0)
                    continue;
                for (const int align : {1, 4}) {
                    if (raw && align != 1)
                        continue;
                    QTest::addRow("%s %s, %s, stride aligned to %d", format.name,
                                  binary ? ".bin" : "C",
                                  compression == 0       ? "plain"
                                      : compression == 1 ? "RLE"
                                                         : "LZ4",
                                  align)
                        << format.cf << binary << align << compression;
                }
            }
        }
    }
}

// Every v9 format, C array and .bin, plain and compressed, with and
// without aligned rows: written by the engine, read back, and compared with
// what the device shows for the source pixels.
void TestDecoder::v9RoundTrip()
{
    QFETCH(int, cf);
    QFETCH(bool, binary);
    QFETCH(int, align);
    QFETCH(int, compression);

    const Lvgl9::Format &format = Lvgl9::format(cf);
    QImage image = testImage();
    if (format.layout == Lvgl9::Layout::Indexed)
        image = fewColours(qMin(1 << format.bits, 40));
    SourceImage source;
    source.image = image;
    if (format.layout == Lvgl9::Layout::Raw) {
        const bool jpeg = cf == 1;
        source.kind = jpeg ? ImageKind::Jpeg : ImageKind::Png;
        source.bytes = HostileFiles::encoded(image, jpeg ? "JPEG" : "PNG");
        source.image = QImage::fromData(source.bytes).convertToFormat(QImage::Format_ARGB32);
        image = source.image;
    }
    OutputPlan outSpec;
    outSpec.row = &format;
    outSpec.binary = binary;
    outSpec.strideAlign = align;
    outSpec.compression = Lvgl9::Compression(compression);
    const QByteArray bytes = encode(source, outSpec);
    QVERIFY(!bytes.isEmpty());

    const LvglDecodeResult decoded = decodeLvglFile(bytes, device(32));
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    const LvglImageInfo &info = decoded.info;
    QCOMPARE(info.version, 9);
    QCOMPARE(info.cf, cf);
    QCOMPARE(info.formatName, QLatin1String("LV_COLOR_FORMAT_") + QLatin1String(format.name));
    QCOMPARE(info.width, image.width());
    QCOMPARE(info.height, image.height());
    if (format.layout != Lvgl9::Layout::Raw) {
        QVERIFY(info.stride > 0);
        QCOMPARE(info.stride % align, 0);
    }
    QCOMPARE(info.compression,
             compression == 0       ? QString()
                 : compression == 1 ? QStringLiteral("RLE")
                                    : QStringLiteral("LZ4"));
    QVERIFY2(info.warnings.join(QLatin1Char(' ')).indexOf(QLatin1String("inconsistent")) < 0,
             qPrintable(info.warnings.join(QLatin1Char(' '))));

    QImage expected(image.size(), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            expected.setPixel(x, y, expectedV9(format, image.pixel(x, y)));
    }
    const QString difference = firstDifference(decoded.image, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// v9 files made by hand, one row per colour format, shown at depth 32
// (colours as stored) unless the row says otherwise.
void TestDecoder::v9Pixels_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QVector<QRgb>>("pixels");

    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const QRgb white = qRgb(255, 255, 255);
    // RGB565, 3 x 2, rows padded to a stride of 8.
    const QByteArray rgb565 = hex("00f8e0071f00aaaa"
                                  "ffff104200000000");
    // 0x4210 widened as the library does onto a 32-bit screen: (65, 64, 131).
    const QRgb grey565 = widened565(qRgb(66, 65, 132));
    const QVector<QRgb> rgb565Pixels = {red, green, blue, white, grey565, qRgb(0, 0, 0)};
    QTest::newRow("RGB565, stride 8") << v9Header(0x12, 0, 3, 2, 8) + rgb565 << 32
                                      << "LV_COLOR_FORMAT_RGB565" << 3 << 2 << rgb565Pixels;
    QTest::newRow("RGB565_SWAPPED")
        << v9Header(0x1B, 0, 3, 1, 6) + hex("f80007e0001f") << 16
        << "LV_COLOR_FORMAT_RGB565_SWAPPED" << 3 << 1 << QVector<QRgb> {red, green, blue};
    QTest::newRow("RGB888, stride 12")
        << v9Header(0x0F, 0, 3, 1, 12) + hex("0000ff00ff00ff00000000aa") << 32
        << "LV_COLOR_FORMAT_RGB888" << 3 << 1 << QVector<QRgb> {red, green, blue};
    QTest::newRow("ARGB8888") << v9Header(0x10, 0, 2, 1, 8) + hex("0000ff80ff00ff00") << 32
                              << "LV_COLOR_FORMAT_ARGB8888" << 2 << 1
                              << QVector<QRgb> {qRgba(255, 0, 0, 0x80), qRgba(255, 0, 255, 0)};
    QTest::newRow("XRGB8888 ignores its fourth byte")
        << v9Header(0x11, 0, 2, 1, 8) + hex("0000ff0000ff0012") << 32 << "LV_COLOR_FORMAT_XRGB8888"
        << 2 << 1 << QVector<QRgb> {red, green};
    // Premultiplied (255, 0, 128) at alpha 128: (128, 0, 64).
    QTest::newRow("ARGB8888_PREMULTIPLIED") << v9Header(0x1A, 1, 2, 1, 8) + hex("400080800000ffff")
                                            << 32 << "LV_COLOR_FORMAT_ARGB8888_PREMULTIPLIED" << 2
                                            << 1 << QVector<QRgb> {qRgba(255, 0, 128, 128), red};
    QTest::newRow("ARGB8565, alpha last")
        << v9Header(0x13, 0, 2, 1, 6) + hex("00f840e007ff") << 32 << "LV_COLOR_FORMAT_ARGB8565" << 2
        << 1 << QVector<QRgb> {qRgba(255, 0, 0, 0x40), green};
    // Colour rows of stride 8, then alpha rows of stride / 2.
    QTest::newRow("RGB565A8, stride 8")
        << v9Header(0x14, 0, 3, 2, 8) + rgb565
            + hex("ff8000aa"
                  "10ff2000")
        << 32 << "LV_COLOR_FORMAT_RGB565A8" << 3 << 2
        << QVector<QRgb> {
               red,     qRgba(0, 255, 0, 0x80), qRgba(0, 0, 255, 0), qRgba(255, 255, 255, 0x10),
               grey565, qRgba(0, 0, 0, 0x20)};
    QTest::newRow("L8") << v9Header(0x06, 0, 3, 1, 4) + hex("0080ff00") << 32
                        << "LV_COLOR_FORMAT_L8" << 3 << 1
                        << QVector<QRgb> {qRgb(0, 0, 0), qRgb(128, 128, 128), white};
    QTest::newRow("AL88") << v9Header(0x15, 0, 2, 1, 4) + hex("80ff4010") << 32
                          << "LV_COLOR_FORMAT_AL88" << 2 << 1
                          << QVector<QRgb> {qRgb(128, 128, 128), qRgba(64, 64, 64, 0x10)};
    // I2: 4 palette entries, then 2 rows of one byte (5 pixels would need
    // 2 bytes; 3 pixels need 1) padded to a stride of 2.
    QTest::newRow("I2, stride 2") << v9Header(0x08, 0, 3, 2, 2)
            + hex("0000ffff"
                  "00ff0080"
                  "ff000000"
                  "ffffffff")
            + hex("1b00"
                  "e4aa") << 32 << "LV_COLOR_FORMAT_I2"
                                  << 3 << 2
                                  << QVector<QRgb> {
                                         red,   qRgba(0, 255, 0, 0x80), qRgba(0, 0, 255, 0),
                                         white, qRgba(0, 0, 255, 0),    qRgba(0, 255, 0, 0x80)};
    QTest::newRow("A4 in the recolour (black)")
        << v9Header(0x0D, 0, 3, 1, 2) + hex("f830") << 32 << "LV_COLOR_FORMAT_A4" << 3 << 1
        << QVector<QRgb> {qRgba(0, 0, 0, 255), qRgba(0, 0, 0, 0x88), qRgba(0, 0, 0, 0x33)};
    QTest::newRow("A1") << v9Header(0x0B, 0, 9, 1, 2) + hex("a580") << 32 << "LV_COLOR_FORMAT_A1"
                        << 9 << 1 << QVector<QRgb> {0xff000000, 0, 0xff000000, 0,         0,
                                                    0xff000000, 0, 0xff000000, 0xff000000};
    QTest::newRow("RGB565 at depth 16: the screen's own pixels, bit-replicated")
        << v9Header(0x14, 0, 3, 2, 8) + rgb565 + hex("ff8000aa10ff2000") << 16
        << "LV_COLOR_FORMAT_RGB565A8" << 3 << 2
        << QVector<QRgb> {red,
                          qRgba(0, 255, 0, 0x80),
                          qRgba(0, 0, 255, 0),
                          qRgba(255, 255, 255, 0x10),
                          qRgb(66, 65, 132),
                          qRgba(0, 0, 0, 0x20)};
    QTest::newRow("RGB565 shown at depth 16 on an ARGB8888 image")
        << v9Header(0x10, 0, 1, 1, 4) + hex("0f0f0fff") << 16 << "LV_COLOR_FORMAT_ARGB8888" << 1
        << 1 << QVector<QRgb> {qRgb(8, 12, 8)};

    // Compressed: RLE blocks are 2 bytes for RGB565. A repeat of 3 blocks
    // of red (the first row), a literal of 4 blocks (its padding and the
    // second row), a repeat of 1 (the second row's padding).
    const QByteArray rle = hex("0300f8") + hex("84aaaae0071f000000") + hex("010000");
    QTest::newRow("RGB565, RLE") << v9Header(0x12, 8, 3, 2, 8) + compressedBlock(1, rle, 16) << 32
                                 << "LV_COLOR_FORMAT_RGB565" << 3 << 2
                                 << QVector<QRgb> {red, red, red, green, blue, qRgb(0, 0, 0)};
    // RGB888 rows of 4 bytes' stride: 8 bytes in all, two whole 3-byte
    // blocks and a partial one, which only a literal packet may hold, and
    // whole.
    QTest::newRow("RGB888, RLE with the partial block stored whole")
        << v9Header(0x0F, 8, 1, 2, 4) + compressedBlock(1, hex("830000ff0000ff000000"), 8) << 32
        << "LV_COLOR_FORMAT_RGB888" << 1 << 2 << QVector<QRgb> {red, green};
    // LZ4: a sequence of 4 literals (one blue pixel) and a match at
    // offset 4 of 7 bytes, then the last 5 bytes as literals.
    const QByteArray lz4 = hex("43ff0000ff"
                               "0400"
                               "50ffff000080");
    QTest::newRow("ARGB8888, LZ4") << v9Header(0x10, 8, 4, 1, 16) + compressedBlock(2, lz4, 16)
                                   << 32 << "LV_COLOR_FORMAT_ARGB8888" << 4 << 1
                                   << QVector<QRgb> {blue, blue, blue, qRgba(0, 0, 255, 0x80)};
    QTest::newRow("I1 palette compressed with the rows, RLE")
        << v9Header(0x07, 8, 8, 1, 1)
            + compressedBlock(1,
                              hex("0400"
                                  "8500ff00ffa5"),
                              9)
        << 32 << "LV_COLOR_FORMAT_I1" << 8 << 1
        << QVector<QRgb> {qRgba(0, 255, 0, 255), 0, qRgba(0, 255, 0, 255), 0, 0,
                          qRgba(0, 255, 0, 255), 0, qRgba(0, 255, 0, 255)};
}

void TestDecoder::v9Pixels()
{
    QFETCH(QByteArray, file);
    QFETCH(int, depth);
    QFETCH(QString, format);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QVector<QRgb>, pixels);

    const LvglDecodeResult decoded = decodeLvglBinary(file, device(depth));
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    QCOMPARE(decoded.info.version, 9);
    QCOMPARE(decoded.info.formatName, format);
    QCOMPARE(decoded.info.width, width);
    QCOMPARE(decoded.info.height, height);
    QCOMPARE(decoded.info.bytesPresent, qint64(file.size() - 12));
    if (decoded.info.flags & 8) {
        QVERIFY(!decoded.info.compression.isEmpty());
        QCOMPARE(decoded.info.compressedBytes, qint64(file.size() - 24));
        QCOMPARE(decoded.info.uncompressedBytes, decoded.info.bytesNeeded);
    }
    const QString difference = firstDifference(decoded.image, pixelsImage(width, height, pixels));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// Each file is refused with its reason, and never read past its end (the
// sanitizer build and the fuzzer check that part).
void TestDecoder::inconsistentFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QString>("error");

    const int detect = int(LvglVersion::Detect);
    const QByteArray twoByTwoAlpha16 = v8Header(5, 2, 2) + QByteArray(12, '\x11');
    QTest::newRow("empty file") << QByteArray() << detect << 0 << "the file is empty";
    QTest::newRow("v8 header cut short")
        << hex("0508") << detect << 0 << "the file ends inside its 4-byte header (2 bytes)";
    QTest::newRow("v8 .bin truncated")
        << twoByTwoAlpha16.left(14) << detect << 0
        << "the data ends early: 10 of the 12 bytes a 2 x 2 TRUE_COLOR_ALPHA image needs at "
           "LV_COLOR_DEPTH 16";
    QTest::newRow("v8 .bin with a byte too many")
        << v8Header(11, 9, 2) + QByteArray(5, '\0') << detect << 0
        << "5 bytes of data where a 9 x 2 ALPHA_1BIT image needs 4";
    QTest::newRow("v8 .bin at the wrong depth")
        << twoByTwoAlpha16 << detect << 32
        << "holds 3 bytes per pixel: it is made for LV_COLOR_DEPTH 16, not 32";
    QTest::newRow("v8 .bin fits no depth") << v8Header(4, 2, 2) + QByteArray(5, '\0') << detect << 0
                                           << "the data ends early: 5 of the 8 bytes";
    QTest::newRow("v8 width 0") << v8Header(4, 0, 2) << detect << 0 << "the width is 0";
    QTest::newRow("v8 height 0") << v8Header(14, 3, 0) << detect << 0 << "the height is 0";
    QTest::newRow("v8 unknown cf") << v8Header(21, 2, 2) + QByteArray(8, '\0') << detect << 0
                                   << "unknown colour format: cf 21 is not an LVGL v8 format";
    QTest::newRow("v8 depth 24") << twoByTwoAlpha16 << detect << 24
                                 << "shown here at LV_COLOR_DEPTH 8, 16 or 32, not 24";
    QTest::newRow("v8 RAW that is not a PNG or JPEG")
        << v8Header(2, 2, 2) + QByteArray("not an image") << detect << 0
        << "the data of a RAW format is not a PNG or JPEG file";

    QTest::newRow("v9 header cut short") << v9Header(0x12, 0, 3, 2, 6).left(11) << detect << 0
                                         << "the file ends inside its 12-byte header (11 bytes)";
    QTest::newRow("v9 bad magic") << v9Header(0x12, 0, 1, 1, 2, 0x18) + hex("0000")
                                  << int(LvglVersion::V9) << 0
                                  << "the magic byte is 0x18; a v9 image starts with 0x19";
    QTest::newRow("v9 stride smaller than the width needs")
        << v9Header(0x12, 0, 3, 2, 5) + QByteArray(10, '\0') << detect << 0
        << "the stride 5 is smaller than the 6 bytes a row of 3 pixels of RGB565 needs";
    QTest::newRow("v9 stride 0") << v9Header(0x10, 0, 3, 2, 0) << detect << 0
                                 << "the stride is 0: a v9 image needs its bytes per row (12 here)";
    QTest::newRow("v9 odd RGB565A8 stride")
        << v9Header(0x14, 0, 1, 2, 3) + QByteArray(8, '\0') << detect << 0
        << "the stride of RGB565A8 must be even, not 3";
    QTest::newRow("v9 width 0") << v9Header(0x12, 0, 0, 2, 6) << detect << 0 << "the width is 0";
    QTest::newRow("v9 unknown cf") << v9Header(0x30, 0, 1, 1, 2) + hex("0000") << detect << 0
                                   << "unknown colour format: cf 48 is not an LVGL v9 format";
    QTest::newRow("v9 data ends early")
        << v9Header(0x12, 0, 3, 2, 8) + QByteArray(15, '\0') << detect << 0
        << "the data ends early: 15 of the 16 bytes the header describes";
    QTest::newRow("v9 depth 8") << v9Header(0x12, 0, 1, 1, 2) + hex("0000") << detect << 8
                                << "shown here at LV_COLOR_DEPTH 16, 24 or 32, not 8";

    const QByteArray red4 = hex("0400f8"); // 4 RGB565 blocks of red
    const QByteArray head = v9Header(0x12, 8, 2, 2, 4);
    QTest::newRow("v9 compressed length disagrees: a trailing byte")
        << head + compressedBlock(1, red4, 8) + '\0' << detect << 0
        << "the compressed length 3 disagrees with the file, which holds 4 bytes after the "
           "block header";
    QTest::newRow("v9 compressed length disagrees: the data ends early")
        << head + compressedBlock(1, red4, 8).left(14) << detect << 0
        << "the compressed length 3 disagrees with the file, which holds 2 bytes";
    QTest::newRow("v9 compressed data cut inside its block header")
        << head + hex("0100000003") << detect << 0
        << "the compressed data ends inside its 12-byte header (5 bytes)";
    QTest::newRow("v9 uncompressed length disagrees")
        << head + compressedBlock(1, red4, 9) << detect << 0
        << "the uncompressed length 9 disagrees with the 8 bytes the header describes";
    QTest::newRow("v9 a few bytes that claim megabytes")
        << v9Header(0x12, 8, 2000, 4000, 4000) + compressedBlock(1, red4, 16000000) << detect << 0
        << "3 bytes of compressed data cannot expand to the 16000000 bytes";
    QTest::newRow("v9 unknown compression method")
        << head + compressedBlock(3, red4, 8) << detect << 0
        << "unknown compression method 3 (1 is RLE, 2 LZ4)";
    QTest::newRow("v9 RLE runs past the data")
        << head + compressedBlock(1, hex("0500f8"), 8) << detect << 0
        << "an RLE repeat packet runs past the end of the data";
    QTest::newRow("v9 RLE ends early") << head + compressedBlock(1, hex("0300f8"), 8) << detect << 0
                                       << "the RLE data ends after 6 of 8 bytes";
    QTest::newRow("v9 RLE bytes after the end")
        << head + compressedBlock(1, hex("0400f80000"), 8) << detect << 0
        << "2 bytes follow the end of the RLE data";
    QTest::newRow("v9 RLE literal packet cut short")
        << head + compressedBlock(1, hex("8400f800f8"), 8) << detect << 0
        << "the RLE data ends inside a literal packet";
    // 8 bytes of RGB888 are 2 blocks and 2 bytes: a repeat packet must not
    // end in the partial block.
    // The same in a literal packet that carries only 2 of the last block's
    // 3 bytes: the library refuses the whole image.
    QTest::newRow("v9 RLE literal packet with a partial last block")
        << v9Header(0x0F, 8, 1, 2, 4) + compressedBlock(1, hex("830000ff0000ff0000"), 8) << detect
        << 0
        << "the RLE stream's last literal packet holds 2 of the 3 bytes of its last block: LVGL "
           "refuses the image";
    QTest::newRow("v9 RLE partial block in a repeat packet")
        << v9Header(0x0F, 8, 1, 2, 4) + compressedBlock(1, hex("030000ff"), 8) << detect << 0
        << "the RLE data ends in a partial block of a repeat packet, which LVGL 9.5 drops";
    QTest::newRow("v9 LZ4 corrupt")
        << head + compressedBlock(2, hex("f0ff"), 8) << detect << 0 << "the LZ4 data is corrupt";
    QTest::newRow("v9 LZ4 expands short")
        << head + compressedBlock(2, hex("4000f800f8"), 8) << detect << 0
        << "the LZ4 data expands to 4 bytes, not 8";

    // C arrays.
    const QByteArray v9c = "const uint8_t m[] = { 1, 0, 0, 0, 3, 0, 0, 0, 8, 0, 0, 0, 4, 0, 248 "
                           "};\n"
                           "const lv_image_dsc_t i = {\n"
                           "  .header.magic = LV_IMAGE_HEADER_MAGIC,\n"
                           "  .header.cf = LV_COLOR_FORMAT_RGB565,\n"
                           "  .header.flags = LV_IMAGE_FLAGS_COMPRESSED,\n"
                           "  .header.w = 2, .header.h = 2, .header.stride = 4,\n"
                           "  .data_size = DATA_SIZE,\n"
                           "  .data = m,\n"
                           "};\n";
    QTest::newRow("C v9 compressed length disagrees with .data_size")
        << QByteArray("#define DATA_SIZE 16\n") + QByteArray(v9c).replace("248 ", "248, 0 ")
        << detect << 0 << "the compressed length 3 disagrees with .data_size 16";
    QTest::newRow("C .data_size off by one") << QByteArray("#define DATA_SIZE 16\n")
            + v9c << detect << 0 << ".data_size is 16, but the array holds 15 bytes";
    QTest::newRow("C v9 bad magic")
        << QByteArray("#define DATA_SIZE 15\n")
            + QByteArray(v9c).replace("LV_IMAGE_HEADER_MAGIC", "0x20")
        << detect << 0 << "line 4: .header.magic is 0x20; a v9 image has 0x19";
    QTest::newRow("C v9 stride too small")
        << QByteArray("#define DATA_SIZE 15\n")
            + QByteArray(v9c).replace(".header.stride = 4", ".header.stride = 3")
        << detect << 0 << "the stride 3 is smaller than the 4 bytes";
    QTest::newRow("C v9 without a stride") << QByteArray("#define DATA_SIZE 15\n")
            + QByteArray(v9c).replace(", .header.stride = 4", "")
                                           << detect << 0 << "the stride is 0";
    QTest::newRow("C file of the other version") << QByteArray("#define DATA_SIZE 15\n")
            + v9c << int(LvglVersion::V8) << 0 << "the file holds an LVGL v9 image";
    // LVGL 8's PNG decoder draws a 16 x 12 PNG in 10 x 10 rows.
    QTest::newRow("C RAW_ALPHA descriptor smaller than its PNG")
        << cArray(HostileFiles::encoded(pixelsImage(16, 12, {qRgb(9, 99, 199)}), "PNG"),
                  ".header.cf = LV_IMG_CF_RAW_ALPHA, .header.w = 10, .header.h = 10")
        << detect << 0
        << "the descriptor says 10 x 10, the embedded PNG is 16 x 12: LVGL 8's PNG decoder takes "
           "the descriptor's size";
}

void TestDecoder::inconsistentFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(int, version);
    QFETCH(int, depth);
    QFETCH(QString, error);

    // A copy without spare capacity, so that reading past it is caught.
    const QByteArray exact(file.constData(), file.size());
    const LvglDecodeResult decoded = decodeLvglFile(exact, device(depth), LvglVersion(version));
    QVERIFY2(!decoded.ok(), "the file was taken as consistent");
    QVERIFY2(decoded.error.contains(error), qPrintable(decoded.error));
    QVERIFY(decoded.image.isNull());
}

namespace {

// A 2 x 2 TRUE_COLOR_ALPHA image as another converter writes it: red,
// half-transparent green, quarter-transparent blue and transparent black,
// with the usual include and attribute lines, both kinds of comments and
// an odd line layout.
const char otherTool[] = R"(/* Generated by another converter.
 * It spans lines. #if 0 inside a comment is not a directive.
 */
#if defined(LV_LVGL_H_INCLUDE_SIMPLE)
#include "lvgl.h"
#else
#include "lvgl/lvgl.h"
#endif


#ifndef LV_ATTRIBUTE_MEM_ALIGN
#define LV_ATTRIBUTE_MEM_ALIGN
#endif

#ifndef LV_ATTRIBUTE_IMG_DOT
#define LV_ATTRIBUTE_IMG_DOT
#endif

const LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST LV_ATTRIBUTE_IMG_DOT uint8_t dot_map[] = {
#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8
  /*Pixel format: Alpha 8 bit, Red: 3 bit, Green: 3 bit, Blue: 2 bit*/
  0xe0, 0xff, 0x1c,
  0x80, // the second pixel ends here
  0x03, 0x40, 0x00, 0x00,
#endif
#if LV_COLOR_DEPTH == 16 && \
    LV_COLOR_16_SWAP == 0
  /*Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit*/
  0x00, 0xf8, 0xff, 0xe0, 0x07, 0x80,
  0x1f, 0x00, 0x40,   0x00, 0x00, 0x00,
#endif
#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0
  /*Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2 color bytes are swapped*/
  0xf8, 0x00, 0xff, 0x07, 0xe0, 0x80, 0x00, 0x1f, 0x40, 0x00, 0x00, 0x00, /* a trailing comma */
#endif
#if (LV_COLOR_DEPTH == 32)
  /*Pixel format: Fix 0xFF: 8 bit, Red: 8 bit, Green: 8 bit, Blue: 8 bit*/
  0x00, 0x00, 0xff, 0xff,
  0x00, 0xff,
  0x00, 0x80, 255, 0, 0, 64, 0, 0, 0, 0,
#endif
};

const lv_img_dsc_t dot = {
  .header.cf = LV_IMG_CF_TRUE_COLOR_ALPHA,
  .header.always_zero = 0,
  .header.reserved = 0,
  .header.w = 2,
  .header.h = 2,
  .data_size = 4 * LV_IMG_PX_SIZE_ALPHA_BYTE,
  .data = dot_map,
};
)";

// The same kind of file with nested header fields, a numeric cf, a data
// size that depends on the depth, an attribute and a cast.
const char nestedFields[] = R"(#include "lvgl.h"
static const unsigned char __attribute__((aligned(4))) px[] = {
#if LV_COLOR_DEPTH == 8
    0xe0, 0x1c,
#elif LV_COLOR_DEPTH != 32
    0x00, 0xf8, 0xe0, 0x07,
#else
    0, 0, 255, 255, 0, 255, 0, 255
#endif
};
LV_IMG_DECLARE(px_img);
const lv_img_dsc_t px_img = { .data_size = (LV_COLOR_DEPTH == 32 ? 8 : LV_COLOR_DEPTH == 8 ? 2 : 4), .header = { .w = 2, .h = 1, .cf = 4 }, .data = (const uint8_t *)px };
)";

const char v9Source[] = R"(#ifndef LV_ATTRIBUTE_MEM_ALIGN
#define LV_ATTRIBUTE_MEM_ALIGN
#endif
#ifndef LV_ATTRIBUTE_IMAGE_ARROW
#define LV_ATTRIBUTE_IMAGE_ARROW
#endif

static const LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST LV_ATTRIBUTE_IMAGE_ARROW uint8_t arrow_map[] = {
  0x00,0xf8, 0xe0,0x07, 0x1f,0x00, 0x00,0x00,  /* row 0, padded to 8 */
  0xff,0xff, 0x00,0x00, 0x10,0x84, 0x00,0x00,
};

const lv_image_dsc_t arrow = {
  .header.magic = LV_IMAGE_HEADER_MAGIC,
  .header.cf = LV_COLOR_FORMAT_RGB565,
  .header.flags = 0,
  .header.w = 3,
  .header.h = 2,
  .header.stride = 8,
  .data_size = sizeof(arrow_map),
  .data = arrow_map,
};
)";

} // namespace

void TestDecoder::cSources_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("swap");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("sections");
    QTest::addColumn<int>("width");
    QTest::addColumn<QVector<QRgb>>("pixels");

    const QVector<QRgb> dot = {qRgb(255, 0, 0), qRgba(0, 255, 0, 0x80), qRgba(0, 0, 255, 0x40), 0};
    const QStringList all = {QStringLiteral("8"), QStringLiteral("16"), QStringLiteral("16swap"),
                             QStringLiteral("32")};
    const QString alphaFormat = QStringLiteral("LV_IMG_CF_TRUE_COLOR_ALPHA");
    for (const int depth : {8, 16, 32}) {
        QTest::addRow("another tool's array, depth %d", depth)
            << QByteArray(otherTool) << depth << false << 8 << alphaFormat << all << 2 << dot;
    }
    QTest::newRow("another tool's array, depth 16 swapped")
        << QByteArray(otherTool) << 16 << true << 8 << alphaFormat << all << 2 << dot;
    QTest::newRow("another tool's array with CRLF line ends")
        << QByteArray(otherTool).replace("\n", "\r\n") << 16 << true << 8 << alphaFormat << all << 2
        << dot;
    QTest::newRow("nested header fields, depth 16")
        << QByteArray(nestedFields) << 16 << false << 8 << "LV_IMG_CF_TRUE_COLOR" << all << 2
        << QVector<QRgb> {qRgb(255, 0, 0), qRgb(0, 255, 0)};
    QTest::newRow("nested header fields, depth 32")
        << QByteArray(nestedFields) << 32 << false << 8 << "LV_IMG_CF_TRUE_COLOR" << all << 2
        << QVector<QRgb> {qRgb(255, 0, 0), qRgb(0, 255, 0)};
    QTest::newRow("v9 array with a stride")
        << QByteArray(v9Source) << 32 << false << 9 << "LV_COLOR_FORMAT_RGB565" << QStringList()
        << 3
        << QVector<QRgb> {qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255),
                          qRgb(255, 255, 255), qRgb(0, 0, 0),   widened565(qRgb(132, 130, 132))};
    // Without a depth, a true-colour array without sections is read at the
    // depth its length fits.
    QTest::newRow("one-depth array read without a depth")
        << QByteArray("uint8_t a[] = {0x00,0x00,0xff,0xff};\n"
                      "const lv_img_dsc_t b = {.header.cf = LV_IMG_CF_TRUE_COLOR, .header.w = 1, "
                      ".header.h = 1, .data_size = 1 * LV_COLOR_SIZE / 8, .data = a};")
        << 0 << false << 8 << "LV_IMG_CF_TRUE_COLOR" << QStringList() << 1
        << QVector<QRgb> {qRgb(255, 0, 0)};
    QTest::newRow("a UTF-8 byte-order mark before the text")
        << QByteArray("\xef\xbb\xbf#define W 1\nuint8_t a[] = {0x80};\n"
                      "const lv_img_dsc_t b = {.header.cf = LV_IMG_CF_ALPHA_8BIT, .header.w = W, "
                      ".header.h = 1, .data_size = 1, .data = a};")
        << 16 << false << 8 << "LV_IMG_CF_ALPHA_8BIT" << QStringList() << 1
        << QVector<QRgb> {0x80000000};
    QTest::newRow("v9.3 descriptor with .reserved and .reserved_2")
        << QByteArray("uint8_t a[] = {0x80, 0xff};\n"
                      "const lv_image_dsc_t b = {.header.magic = LV_IMAGE_HEADER_MAGIC, "
                      ".header.cf = LV_COLOR_FORMAT_A8, .header.w = 2, .header.h = 1, "
                      ".header.stride = 2, .data_size = 2, .data = a, .reserved = NULL, "
                      ".reserved_2 = 0};")
        << 32 << false << 9 << "LV_COLOR_FORMAT_A8" << QStringList() << 2
        << QVector<QRgb> {0x80000000, 0xff000000};
    // The declarations themselves differ by depth: the 16swap section is
    // checked in a pass of its own.
    QTest::newRow("declarations that differ by depth")
        << QByteArray("#if LV_COLOR_DEPTH == 16\nuint8_t a[] = {0x00, 0xf8};\n#else\n"
                      "uint8_t a[] = {0, 0, 255, 255};\n#endif\n"
                      "const lv_img_dsc_t b = {.header.cf = LV_IMG_CF_TRUE_COLOR, .header.w = 1, "
                      ".header.h = 1, .data_size = LV_COLOR_SIZE / 8, .data = a};")
        << 16 << false << 8 << "LV_IMG_CF_TRUE_COLOR"
        << QStringList {QStringLiteral("16"), QStringLiteral("16swap")} << 1
        << QVector<QRgb> {qRgb(255, 0, 0)};
    // A #define far longer than an expression may expand to costs nothing
    // while it is not used.
    QTest::newRow("a long macro that is never used")
        << QByteArray("#define LONG 1") + QByteArray(200000, '+').replace("+", "+1")
            + QByteArray("\nuint8_t a[] = {0x80};\n"
                         "const lv_img_dsc_t b = {.header.cf = LV_IMG_CF_ALPHA_8BIT, .header.w = 1,"
                         " .header.h = 1, .data_size = 1, .data = a};")
        << 16 << false << 8 << "LV_IMG_CF_ALPHA_8BIT" << QStringList() << 1
        << QVector<QRgb> {0x80000000};
    // C pads an array shorter than its declared length with zeros.
    QTest::newRow("a declared length pads with zeros")
        << QByteArray("#define SIDE 3\nuint8_t a[SIDE * 1] = {255};\n"
                      "const lv_img_dsc_t b = {.header.cf = LV_IMG_CF_ALPHA_8BIT, .header.w = SIDE,"
                      " .header.h = 1, .data_size = sizeof a, .data = &a[0]};")
        << 16 << false << 8 << "LV_IMG_CF_ALPHA_8BIT" << QStringList() << 3
        << QVector<QRgb> {0xff000000, 0, 0};
}

void TestDecoder::cSources()
{
    QFETCH(QByteArray, text);
    QFETCH(int, depth);
    QFETCH(bool, swap);
    QFETCH(int, version);
    QFETCH(QString, format);
    QFETCH(QStringList, sections);
    QFETCH(int, width);
    QFETCH(QVector<QRgb>, pixels);

    const LvglDecodeResult decoded = decodeLvglSource(text, device(depth, swap));
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    QVERIFY(decoded.info.fromC);
    QCOMPARE(decoded.info.version, version);
    QCOMPARE(decoded.info.formatName, format);
    QCOMPARE(decoded.info.depthSections, sections);
    QCOMPARE(decoded.info.dataSize, decoded.info.bytesPresent);
    const int height = pixels.size() / width;
    // Colours shown at depth 8 or 16 are the stored ones reduced.
    QVector<QRgb> shown;
    const int shownDepth = version == 9 ? (depth ? depth : 16) : decoded.info.depth;
    for (const QRgb p : pixels)
        shown << (version == 9 && shownDepth == 32 ? p : atDepth(p, shownDepth));
    const QString difference = firstDifference(decoded.image, pixelsImage(width, height, shown));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// Files the reader does not understand: an error naming the line, never a
// guess.
void TestDecoder::cErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QString>("error");

    const QByteArray descriptor = "const lv_img_dsc_t d = { .header.cf = LV_IMG_CF_ALPHA_8BIT, "
                                  ".header.w = 1, .header.h = 1, .data_size = 1, .data = m };\n";
    QTest::newRow("not an image array")
        << QByteArray("/* a helper */\n\nint main(void)\n{\n    return 0;\n}\n") << 16
        << "line 3: 'main' is declared as 'int', not as an image array or descriptor";
    // What only a frame set holds stops a file that is none, at the first
    // such declaration, whatever follows it.
    QTest::newRow("a second descriptor without a frame set")
        << QByteArray("uint8_t m[] = {1};\n") + descriptor
            + QByteArray("const lv_img_dsc_t e = { .data = m };\nint main(void);\n")
        << 16 << "line 3: a second image descriptor, 'e': the reader takes files with one image";
    QTest::newRow("a uint32_t beside a single image")
        << QByteArray("uint8_t m[] = {1};\nconst uint32_t n = 1;\n") + descriptor + "x y z;\n"
        << 16 << "line 2: 'n' is declared as 'uint32_t', not as an image array or descriptor";
    QTest::newRow("an array of pointers that is no frame set")
        << QByteArray("uint8_t m[] = {1};\n") + descriptor + "const void * const list[] = {&d};\n"
        << 16 << "line 3: 'void' is declared as 'const', not as an image array or descriptor";
    QTest::newRow("a frame set list beside another array of pointers")
        << QByteArray("uint8_t m[] = {1};\n") + descriptor
            + "const void * const list[] = {&d};\nconst void * const d_frames[] = {&d};\n"
        << 16 << "line 3: 'list' is not the array of a frame set (NAME_frames)";
    QTest::newRow("a statement") << QByteArray("\n\nx = 3;\n") << 16
                                 << "line 3: 'x' is not a declaration of an image array";
    QTest::newRow("a value past 255") << QByteArray("uint8_t m[] = {\n  0x10,\n  0x100,\n};\n")
            + descriptor << 16 << "line 3: the value 0x100 does not fit a byte";
    QTest::newRow("two values without a comma") << QByteArray("uint8_t m[] = { 1 2 };\n")
            + descriptor << 16 << "line 1: expected ',' or '}', found '2'";
    QTest::newRow("a condition on an unknown macro")
        << QByteArray("\n#if LVGL_VERSION_MAJOR >= 9\n#endif\n") << 16
        << "line 2: the condition uses LVGL_VERSION_MAJOR, which the reader does not know";
    QTest::newRow("a macro with arguments in a condition")
        << QByteArray("#define V(x) x\n#if V(1)\n#endif\n") << 16
        << "line 2: V is a macro with arguments";
    QTest::newRow("a comment that never ends") << QByteArray("uint8_t m[] = {1};\n/* open\n\n")
                                               << 16 << "line 2: a comment that never ends";
    QTest::newRow("#else without #if")
        << QByteArray("\n#else\n") << 16 << "line 2: #else without #if";
    QTest::newRow("#if without #endif") << QByteArray("#if 1\nuint8_t m[] = {1};\n") << 16
                                        << "line 1: this conditional has no #endif";
    QTest::newRow("no descriptor") << QByteArray("uint8_t m[] = {1, 2};\n") << 16
                                   << "line 2: the file ends without an image descriptor";
    QTest::newRow(".data names no array") << QByteArray("uint8_t n[] = {1};\n")
            + descriptor << 16 << "line 2: .data names 'm', which the file does not define";
    QTest::newRow("fields by position")
        << QByteArray("uint8_t m[] = {1};\nconst lv_img_dsc_t d = {\n  {14, 0, 0, 1, 1},\n};\n")
        << 16 << "line 3: expected a named field";
    QTest::newRow("an unknown field")
        << QByteArray("uint8_t m[] = {1};\nconst lv_img_dsc_t d = {\n  .header.depth = 1,\n};\n")
        << 16 << "line 3: the field .header.depth is not one the reader knows";
    QTest::newRow("a field given twice")
        << QByteArray("uint8_t m[] = {1};\nconst lv_img_dsc_t d = {.header.w = 1,\n"
                      ".header.w = 2};\n")
        << 16 << "line 3: the field .header.w is given twice";
    QTest::newRow("an unknown cf name")
        << QByteArray("uint8_t m[] = {1};\n")
            + QByteArray(descriptor).replace("LV_IMG_CF_ALPHA_8BIT", "LV_IMG_CF_RGB888")
        << 16 << "line 2: LV_IMG_CF_RGB888 is not a name the reader knows";
    QTest::newRow("an #error at the depth read")
        << QByteArray("uint8_t m[] = {1};\n#if LV_COLOR_DEPTH == 32\n#error \"no\"\n#endif\n")
            + descriptor
        << 32 << "line 3: the file stops the build at LV_COLOR_DEPTH 32: #error \"no\"";
    QTest::newRow("an array longer than declared") << QByteArray("uint8_t m[1] = {1, 2};\n")
            + descriptor << 16 << "line 1: 'm' has 2 values for 1 bytes";
    QTest::newRow("a division by zero") << QByteArray("uint8_t m[] = {1};\n")
            + QByteArray(descriptor).replace(".data_size = 1", ".data_size = 1 / 0")
                                        << 16 << "line 2: a division by zero";
    QTest::newRow("an overflow") << QByteArray("#if 9223372036854775807 + 1\n#endif\n") << 16
                                 << "line 1: the value of an expression overflows";
    QTest::newRow("a v8 side past 11 bits") << QByteArray("uint8_t m[] = {1};\n")
            + QByteArray(descriptor).replace(".header.w = 1", ".header.w = 2048")
                                            << 16 << "line 2: .header.w is 2048, outside 0 to 2047";
    QTest::newRow("v8 and v9 names mixed")
        << QByteArray("uint8_t m[] = {1};\n")
            + QByteArray(descriptor).replace(".data_size = 1", ".header.stride = 1, .data_size = 1")
        << 16 << "line 2: the descriptor 'd' mixes LVGL v8 and v9 names";
    QTest::newRow("deeply nested parentheses")
        << QByteArray("#if ") + QByteArray(5000, '(') + "1" + QByteArray(5000, ')') + "\n#endif\n"
        << 16 << "line 1: the expression nests too deeply";
    QTest::newRow("macros that expand without end")
        << QByteArray("#define A B B B B B B B B\n#define B C C C C C C C C\n"
                      "#define C D D D D D D D D\n#define D E E E E E E E E\n"
                      "#define E F F F F F F F F\n#define F 1 1 1 1 1 1 1 1\n#if A\n#endif\n")
        << 16 << "the macros expand too far";
    // Each condition stays under the limit of one expression; together they
    // pass the file's budget, which is what a file of this size may take.
    QByteArray conditions = "#define X1 +1\n";
    for (int n = 2; n <= 9; ++n)
        conditions += QByteArray("#define X") + QByteArray::number(n) + " X"
            + QByteArray::number(n - 1) + " X" + QByteArray::number(n - 1) + '\n';
    for (int n = 0; n < 1000; ++n)
        conditions += "#if X9\n#endif\n";
    QTest::newRow("conditions past the file's budget")
        << conditions << 16 << "the file is too complex to read: its conditions and macros expand";
    QByteArray definitions;
    for (int n = 0; n < 100000; ++n)
        definitions += "#define M" + QByteArray::number(n) + '\n';
    QTest::newRow("definitions past the file's memory")
        << definitions << 16 << "the file is too complex to read: its definitions, arrays and";
    QTest::newRow("a value longer than a field may be")
        << QByteArray("uint8_t m[] = {1};\n")
            + QByteArray(descriptor)
                  .replace(".data_size = 1",
                           QByteArray(".data_size = 1" + QByteArray(5000, '+').replace("+", "+0")))
        << 16 << "line 2: the value of .data_size is longer than 4096 tokens";
    QTest::newRow("a NUL byte") << QByteArray("uint8_t m[] = {1,") + '\0' + " 2};\n"
                                << 16 << "line 1: expected a byte value, found '\\x00'";
    QTest::newRow("a byte-order mark after the start")
        << QByteArray("uint8_t m[] = {1, \xef\xbb\xbf 2};\n") << 16
        << "line 1: expected a byte value, found '\\xef\\xbb\\xbf'";
    QTest::newRow("a .reserved that is not NULL")
        << QByteArray("uint8_t m[] = {1};\n")
            + QByteArray(descriptor)
                  .replace("lv_img_dsc_t", "lv_image_dsc_t")
                  .replace("LV_IMG_CF_ALPHA_8BIT", "LV_COLOR_FORMAT_A8")
                  .replace(".data = m", ".header.stride = 1, .data = m, .reserved = &m")
        << 16 << "line 2: .reserved is '&m'; the reader takes only NULL there";
    // One depth-8 section for 8, 16 and 16swap: at depth 8 the descriptor
    // asks for 2 bytes where it holds 4.
    QTest::newRow("a broken depth-8 section, read at depth 16")
        << QByteArray("uint8_t m[] = {\n#if LV_COLOR_DEPTH != 32\n0x00, 0xf8, 0xe0, 0x07,\n"
                      "#else\n0, 0, 255, 255, 0, 255, 0, 255\n#endif\n};\n"
                      "const lv_img_dsc_t d = {.header.cf = LV_IMG_CF_TRUE_COLOR, .header.w = 2,"
                      " .header.h = 1, .data_size = 2 * LV_COLOR_SIZE / 8, .data = m};\n")
        << 16
        << "the section for LV_COLOR_DEPTH 8 is broken: holds 2 bytes per pixel: it is made for "
           "LV_COLOR_DEPTH 16, not 8";
    QTest::newRow("a value past 255 in the depth-8 section, read at depth 32")
        << QByteArray("uint8_t m[] = {\n#if LV_COLOR_DEPTH == 8\n0x1e0,\n#else\n"
                      "0, 0, 255, 255,\n#endif\n};\n"
                      "const lv_img_dsc_t d = {.header.cf = LV_IMG_CF_TRUE_COLOR, .header.w = 1,"
                      " .header.h = 1, .data_size = LV_COLOR_SIZE / 8, .data = m};\n")
        << 32
        << "the section for LV_COLOR_DEPTH 8 is broken: line 3: the value 0x1e0 does not fit a "
           "byte";
    QTest::newRow("an #error at another depth with a section")
        << QByteArray("uint8_t m[] = {\n#if LV_COLOR_DEPTH == 8\n0xe0,\n#else\n"
                      "0x00, 0xf8,\n#endif\n};\n#if LV_COLOR_DEPTH == 8\n#error \"no\"\n#endif\n"
                      "const lv_img_dsc_t d = {.header.cf = LV_IMG_CF_TRUE_COLOR, .header.w = 1,"
                      " .header.h = 1, .data_size = 1 * LV_COLOR_SIZE / 8, .data = m};\n")
        << 16
        << "the section for LV_COLOR_DEPTH 8 is broken: line 9: the file stops the build at "
           "LV_COLOR_DEPTH 8";
    QTest::newRow("no section for the depth")
        << QByteArray("uint8_t m[] = {\n#if LV_COLOR_DEPTH == 16\n 0, 0,\n#endif\n};\n"
                      "const lv_img_dsc_t d = {.header.cf = LV_IMG_CF_TRUE_COLOR, .header.w = 1,"
                      " .header.h = 1, .data_size = 2, .data = m};\n")
        << 32 << "the array has no data for LV_COLOR_DEPTH 32 (its sections: 16, 16swap)";
}

void TestDecoder::cErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, depth);
    QFETCH(QString, error);

    const QByteArray exact(text.constData(), text.size());
    const LvglDecodeResult decoded = decodeLvglSource(exact, device(depth));
    QVERIFY2(!decoded.ok(), "the file was read");
    QVERIFY2(decoded.error.contains(error), qPrintable(decoded.error));
}

// The traps the library sets, reported as warnings on files that are
// otherwise fine.
void TestDecoder::warnings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QString>("warning");

    QTest::newRow("a true-colour .bin fits one depth")
        << v8Header(5, 1, 2) + QByteArray(6, '\0') << 0
        << "a true-colour .bin fits one LV_COLOR_DEPTH only: this one is packed for depth 16";
    QTest::newRow("RGB565A8 at depth 32") << v8Header(20, 2, 2) + QByteArray(12, '\0') << 32
                                          << "RGB565A8 is drawn right only at LV_COLOR_DEPTH 16";
    QTest::newRow("1 pixel wide") << v8Header(14, 1, 3) + QByteArray(3, '\0') << 0
                                  << "the image is 1 pixel wide: the v8.3 image widget does not "
                                     "draw it at all";
    QTest::newRow("1 pixel tall") << v8Header(14, 3, 1) + QByteArray(3, '\0') << 0
                                  << "1 pixel tall";
    QTest::newRow("C data that starts like a JPEG")
        << QByteArray("uint8_t m[] = {0xff, 0xd8, 0xff, 0xff, 0, 0, 0, 0};\n"
                      "const lv_img_dsc_t d = {.header.cf = LV_IMG_CF_TRUE_COLOR, .header.w = 2, "
                      ".header.h = 1, .data_size = 2 * LV_COLOR_SIZE / 8, .data = m};\n")
        << 32 << "the data starts like a JPEG file: with LV_USE_SJPG enabled";
    QTest::newRow("C data that starts like a PNG")
        << QByteArray("uint8_t m[] = {0x89, 0x50, 0x4e, 0x47};\n"
                      "const lv_img_dsc_t d = {.header.cf = LV_IMG_CF_ALPHA_8BIT, .header.w = 2, "
                      ".header.h = 2, .data_size = 4, .data = m};\n")
        << 16 << "the data starts like a PNG file: with LV_USE_PNG enabled";
    QTest::newRow("v9 ARGB8888 with the PREMULTIPLIED flag")
        << v9Header(0x10, 1, 1, 1, 4) + hex("10101080") << 32
        << "the PREMULTIPLIED flag is set, but the software renderer reads it only as the format "
           "ARGB8888_PREMULTIPLIED";
    QTest::newRow("v9 uncompressed L8 .bin") << v9Header(0x06, 0, 1, 1, 1) + hex("80") << 32
                                             << "LVGL 9.5 cannot open an uncompressed .bin of L8";
    QTest::newRow("v9 ARGB8565") << v9Header(0x13, 0, 1, 1, 3) + hex("0000ff") << 32
                                 << "the software renderer does not draw ARGB8565";
    QTest::newRow("v9 .reserved_2") << QByteArray("uint8_t a[] = {0x80};\n"
                                                  "const lv_image_dsc_t b = {.header.cf = 14, "
                                                  ".header.w = 1, .header.h = 1, .header.stride = "
                                                  "1, .data_size = 1, .data = a, .reserved_2 = "
                                                  "NULL};")
                                    << 32 << "the descriptor's .reserved_2 needs LVGL 9.3 or later";

    // Colours near the chroma key: the C array's depth-32 section tells
    // them from the key itself, a .bin cannot.
    SourceImage keyed;
    keyed.image = nearKeyImage();
    OutputPlan keyedSpec;
    keyedSpec.row = &Lvgl8::format(6);
    const QByteArray keyedC = encode(keyed, keyedSpec);
    QTest::newRow("near the chroma key, C, depth-8 section")
        << keyedC << 16
        << "at LV_COLOR_DEPTH 8, 3 opaque pixels of colours near the chroma key 0x00FF00 take its "
           "value (RGB332 0x1C) and are not drawn: use a key colour the image does not use, or a "
           "format with alpha";
    QTest::newRow("near the chroma key, C, depth-16 swapped section")
        << keyedC << 32
        << "at LV_COLOR_DEPTH 16 with LV_COLOR_16_SWAP, 3 opaque pixels of colours near the chroma "
           "key 0x00FF00 take its value (RGB565 0x07E0)";
    keyedSpec.binary = true;
    QTest::newRow("the chroma key's value in a .bin")
        << encode(keyed, keyedSpec) << 0
        << "at LV_COLOR_DEPTH 16, 5 opaque pixels hold the chroma key's value (RGB565 0x07E0 for "
           "0x00FF00) and are not drawn; if some were meant to be seen";

    // The previews that differ from the device's drawing.
    const QImage small = pixelsImage(2, 1, {qRgb(250, 10, 10), qRgb(10, 10, 250)});
    QTest::newRow("a RAW JPEG is approximate")
        << cArray(HostileFiles::encoded(small, "JPEG"),
                  ".header.cf = LV_IMG_CF_RAW, .header.w = 2, .header.h = 1")
        << 32 << "the preview is approximate";
    QTest::newRow("a RAW PNG at v8 depth 8")
        << cArray(HostileFiles::encoded(small, "PNG"),
                  ".header.cf = LV_IMG_CF_RAW_ALPHA, .header.w = 2, .header.h = 1")
        << 8 << "at LV_COLOR_DEPTH 8 LVGL 8's PNG decoder swaps red and blue";
    QTest::newRow("ARGB8888_PREMULTIPLIED at depth 16")
        << v9Header(0x1A, 1, 1, 1, 4) + hex("40000080") << 16
        << "at LV_COLOR_DEPTH 16 LVGL blends premultiplied colours onto RGB565 up to 2 levels";
}

void TestDecoder::warnings()
{
    QFETCH(QByteArray, file);
    QFETCH(int, depth);
    QFETCH(QString, warning);

    const LvglDecodeResult decoded = decodeLvglFile(file, device(depth));
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    const QString all = decoded.info.warnings.join(QLatin1Char('\n'));
    QVERIFY2(all.contains(warning), qPrintable(all));
    // What says the picture is not the device's is a note of the preview.
    if (warning.contains(QLatin1String("preview")))
        QVERIFY2(decoded.info.previewNotes.join(QLatin1Char('\n')).contains(warning),
                 qPrintable(decoded.info.previewNotes.join(QLatin1Char('\n'))));
}

// The chroma key, the recolour and the background the device is set up
// with.
void TestDecoder::deviceSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<DeviceSettings>("settings");
    QTest::addColumn<QRgb>("pixel");

    DeviceSettings blueKey = device(32);
    blueKey.chromaKey = 0x0000ff;
    // TRUE_COLOR_CHROMA_KEYED at depth 32: blue, then green.
    const QByteArray keyed = v8Header(6, 2, 1) + hex("ff0000ff00ff00ff");
    QTest::newRow("a chroma key of blue hides blue") << keyed << blueKey << QRgb(0x000000ff);
    QTest::newRow("the default key leaves blue") << keyed << device(32) << QRgb(0xff0000ff);

    DeviceSettings recolour = device(32);
    recolour.recolor = 0x336699;
    const QByteArray alpha = v8Header(14, 1, 1) + hex("80");
    QTest::newRow("alpha in the recolour") << alpha << recolour << QRgb(0x80336699);
    DeviceSettings recolour16 = recolour;
    recolour16.depth = 16;
    QTest::newRow("the recolour at depth 16") << alpha << recolour16 << QRgb(0x8031659c);

    DeviceSettings background = recolour;
    background.hasBackground = true;
    background.background = 0xffffff;
    // 0x33 * 128/255 + 0xff * 127/255 and so on, rounded.
    QTest::newRow("over a white background") << alpha << background << QRgb(0xff99b2cc);
    DeviceSettings keyOverBackground = blueKey;
    keyOverBackground.hasBackground = true;
    keyOverBackground.background = 0x102030;
    QTest::newRow("a keyed pixel shows the background")
        << keyed << keyOverBackground << QRgb(0xff102030);
}

void TestDecoder::deviceSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(DeviceSettings, settings);
    QFETCH(QRgb, pixel);

    const LvglDecodeResult decoded = decodeLvglBinary(file, settings);
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    QCOMPARE(decoded.image.format(),
             settings.hasBackground ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    const QRgb actual = decoded.image.pixel(0, 0);
    QVERIFY2(actual == pixel,
             qPrintable(QStringLiteral("%1, expected %2")
                            .arg(actual, 8, 16, QLatin1Char('0'))
                            .arg(pixel, 8, 16, QLatin1Char('0'))));
}

// Files read from the disk: what the file is decides how it is read, and
// a .bin is judged from its header and its length before its data.
void TestDecoder::filesOnDisk_data()
{
    QTest::addColumn<QString>("name"); // absolute: an existing file
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("length"); // zeros up to this length (a sparse file)
    QTest::addColumn<QString>("error"); // empty: consistent
    QTest::addColumn<QString>("note"); // what the preview's notes say, if anything

    const QByteArray alpha = cArray(
        QByteArray(6, '\x40'), ".header.cf = LV_IMG_CF_ALPHA_8BIT, .header.w = 3, .header.h = 2");
    QTest::newRow("C source named .bin")
        << "image.bin" << alpha << qint64(0) << "this is C source, not a binary image" << QString();
    QTest::newRow("the same named .c") << "image.c" << alpha << qint64(0) << QString() << QString();
    // Far past the largest file read: refused from its header unread.
    QTest::newRow("a .bin far longer than its header describes")
        << "big.bin" << v8Header(5, 16, 16) << (qint64(600) << 20)
        << "629145596 bytes of data where a 16 x 16 TRUE_COLOR_ALPHA image needs 768" << QString();
    QTest::newRow("a v9 .bin longer than its compressed length")
        << "big9.bin" << v9Header(0x12, 8, 2, 2, 4) + compressedBlock(1, hex("0400f8"), 8)
        << qint64(8192) << "the compressed length 3 disagrees with the file" << QString();
    QTest::newRow("a .bin larger than its head, read whole")
        << "whole.bin" << v9Header(0x0E, 0, 100, 100, 100) + QByteArray(10000, '\x7f') << qint64(0)
        << QString() << QString();
    QTest::newRow("a kernel file that stat calls regular")
        << "/proc/self/status" << QByteArray() << qint64(0) << "not a regular file" << QString();
    QTest::newRow("a RAW JPEG, previewed")
        << "photo.c"
        << cArray(HostileFiles::encoded(pixelsImage(3, 2, {qRgb(250, 10, 10), qRgb(10, 250, 90)}),
                                        "JPEG"),
                  ".header.cf = LV_IMG_CF_RAW, .header.w = 3, .header.h = 2")
        << qint64(0) << QString() << "a RAW JPEG is shown as this program's JPEG decoder reads it";
}

void TestDecoder::filesOnDisk()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(qint64, length);
    QFETCH(QString, error);
    QFETCH(QString, note);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = name;
    if (!QDir::isAbsolutePath(name)) {
        path = dir.filePath(name);
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file), qint64(file.size()));
        if (length > file.size())
            QVERIFY(out.resize(length));
    }
    ConvertResult read;
    const LvglDecodeResult decoded = readLvglImage(path, device(0), LvglVersion::Detect, &read);
    const QString reason = read.ok() ? decoded.error : read.reason();
    if (error.isEmpty()) {
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
        QCOMPARE(decoded.image, decodeLvglFileNamed(path, file, device(0)).image);
        // The preview is that picture, with the decoder's notes on it.
        const QString png = dir.filePath(QStringLiteral("shown.png"));
        const ConvertResult preview = writePreview(path, png);
        QVERIFY2(preview.ok(), qPrintable(preview.message()));
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_ARGB32), decoded.image);
        QCOMPARE(preview.notes(), decoded.info.previewNotes);
        QCOMPARE(preview.notes().join(QLatin1Char(' ')).contains(note), true);
        QCOMPARE(note.isEmpty(), preview.notes().isEmpty());
    } else {
        QVERIFY2(reason.contains(error), qPrintable(reason));
        QVERIFY(decoded.image.isNull());
    }
    // The same reader takes the sources of a conversion.
    if (QDir::isAbsolutePath(name)) {
        SourceImage source;
        QCOMPARE(readSourceImage(path, 0, &source).status(), ConvertResult::NotRegularFile);
    }
}

QTEST_GUILESS_MAIN(TestDecoder)
// A pack of two v9 RGB565 images, logo (5 x 4, 52 bytes with its header)
// and icon (3 x 2, 24 bytes): header at 0, index entries at 20 and 68,
// the entries at 116 and 168, 192 bytes in all.
QByteArray twoImagePack(QVector<Pack::Entry> *entries)
{
    OutputPlan plan;
    plan.row = Lvgl9::findFormat(QStringLiteral("RGB565"));
    plan.binary = true;
    const QList<QPair<QByteArray, QSize>> images = {{"logo", {5, 4}}, {"icon", {3, 2}}};
    for (const auto &image : images) {
        SourceImage source;
        source.image = TestImages::photo(image.second.width(), image.second.height(), 7);
        QByteArray bin;
        encodeSource(source, plan, QString::fromLatin1(image.first), &bin);
        entries->append(Pack::entry(plan, image.first, bin));
    }
    return Pack::assemble(entries, 4);
}

void TestDecoder::packs_data()
{
    QTest::addColumn<int>("at"); // where bytes replace the pack's, -1 for nowhere
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("cut"); // bytes cut from the end
    QTest::addColumn<bool>("fixCrc"); // the CRC made right again after the change
    QTest::addColumn<QString>("problem"); // of the pack or an entry; empty when consistent

    QTest::newRow("as written") << -1 << QByteArray() << 0 << false << QString();
    QTest::newRow("a flipped byte of an entry")
        << 150 << hex("ff") << 0 << false << "the CRC-32 is 0x";
    QTest::newRow("a flipped byte of the index")
        << 30 << hex("01") << 0 << false << "the CRC-32 is 0x";
    QTest::newRow("one byte short")
        << -1 << QByteArray() << 1 << true << "the header gives 192 bytes, the file has 191";
    QTest::newRow("format version 2")
        << 4 << le16(2) << 0 << true << "format version 2; this reader knows version 1";
    QTest::newRow("alignment 3") << 8 << le32(3) << 0 << true
                                 << "the alignment 3 is not a power of two";
    QTest::newRow("index past the end")
        << 6 << le16(9) << 0 << true << "the index of 9 entries reaches past the end of the file";
    QTest::newRow("index cf differs from the entry's")
        << 20 + 41 << hex("13") << 0 << true << "its header's cf is 18, the index says 19";
    QTest::newRow("index width differs")
        << 68 + 42 << le16(4) << 0 << true << "its header's width is 3, the index says 4";
    QTest::newRow("index stride differs")
        << 20 + 46 << le16(12) << 0 << true << "its header's stride is 10, the index says 12";
    QTest::newRow("offset not aligned")
        << 68 + 32 << le32(170) << 0 << true
        << "its data at 182 (offset 170 and its 12-byte header) is not at a multiple of 4";
    QTest::newRow("offset inside the index")
        << 20 + 32 << le32(60) << 0 << true << "its offset 60 is inside the header or the index";
    QTest::newRow("an entry past the end")
        << 68 + 36 << le32(25) << 0 << true << "its 25 bytes at 168 reach past the end of the file";
    QTest::newRow("entries overlap") << 20 + 36 << le32(56) << 0 << true << "it overlaps logo";
    QTest::newRow("a name without its NUL")
        << 20 << QByteArray(32, 'n') << 0 << true << "its name fills the field without a NUL";
    QTest::newRow("a name given twice")
        << 68 << QByteArray("logo") << 0 << true << "its name is given twice";
    QTest::newRow("a bad magic inside an entry")
        << 116 << hex("18") << 0 << true << "its header's magic is 0x18, not 0x19";
}

// The pack reader, from the layout alone, against the writer: a pack as
// written is consistent and gives each entry's facts and bytes back; each
// damage is found and named.
void TestDecoder::packs()
{
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);
    QFETCH(int, cut);
    QFETCH(bool, fixCrc);
    QFETCH(QString, problem);

    QVector<Pack::Entry> entries;
    QByteArray pack = twoImagePack(&entries);
    QCOMPARE(pack.size(), 192);
    if (at >= 0)
        pack.replace(at, bytes.size(), bytes);
    pack.chop(cut);
    if (fixCrc) {
        const auto *d = reinterpret_cast<const Bytef *>(pack.constData());
        const quint32 crc = quint32(crc32(crc32(0L, Z_NULL, 0), d + 20, uInt(pack.size() - 20)));
        pack.replace(16, 4, le32(crc));
    }

    QVERIFY(isPack(pack));
    const PackInfo info = readPack(pack);
    QStringList found = info.problems;
    for (const PackInfo::Entry &e : info.entries)
        found += e.problems;
    if (problem.isEmpty()) {
        QVERIFY2(info.consistent(), qPrintable(found.join(QLatin1String("; "))));
        QCOMPARE(info.version, 1);
        QCOMPARE(info.align, 4u);
        QCOMPARE(info.size, 192u);
        QCOMPARE(info.crc, info.computedCrc);
        QCOMPARE(info.entries.size(), 2);
        const int offsets[] = {116, 168};
        for (int i = 0; i < 2; ++i) {
            const PackInfo::Entry &e = info.entries.at(i);
            QCOMPARE(e.name, entries.at(i).name);
            QCOMPARE(e.offset, quint32(offsets[i]));
            QCOMPARE(packEntryBytes(pack, e), entries.at(i).bin);
            QCOMPARE(e.lvgl, 9);
            QCOMPARE(e.cf, 0x12);
            QCOMPARE(e.stride, e.width * 2);
            const LvglDecodeResult decoded = decodeLvglBinary(packEntryBytes(pack, e), device(16));
            QVERIFY2(decoded.ok(), qPrintable(decoded.error));
            QCOMPARE(decoded.image.size(), QSize(e.width, e.height));
        }
        QCOMPARE(info.find("icon"), 1);
        QCOMPARE(info.find("nope"), -1);
        return;
    }
    QVERIFY(!info.consistent());
    QVERIFY2(std::any_of(found.begin(), found.end(),
                         [&problem](const QString &p) { return p.contains(problem); }),
             qPrintable(found.join(QLatin1String("; "))));
}

// A frame set reads as its frames, each exactly as it reads on its own, with
// the delays, the duration and the loop count; a set whose parts disagree
// is inconsistent, saying where.
void TestDecoder::frameSets_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error"); // empty: consistent
    QTest::addColumn<QVector<int>>("delays");
    QTest::addColumn<int>("loopCount");
    QTest::addColumn<QStringList>("shares"); // each frame's sharesWith
    QTest::addColumn<QStringList>("frameBytes"); // each frame's map, for the oracle

    const QByteArray head = frameSetHead;
    const QByteArray frames = v9Frame("spin_0", "spin_0_map", "0x80, 0xff")
        + v9Frame("spin_1", "spin_1_map", "0x10, 0x20") + v9Frame("spin_2", "spin_0_map", nullptr);
    const QStringList bytes = {"0x80, 0xff", "0x10, 0x20", "0x80, 0xff"};
    const QStringList shares = {QString(), QString(), QStringLiteral("spin_0_map")};
    const QVector<int> delays = {100, 50, 0};
    FrameSetTail tail;
    QTest::newRow("v9 frame set, a frame sharing an earlier map")
        << head + frames + tail.text() << QString() << delays << 0 << shares << bytes;
    tail.loop = "3";
    tail.duration = "100 + 50 + 0";
    QTest::newRow("a duration written as a sum, loop count 3")
        << head + frames + tail.text() << QString() << delays << 3 << shares << bytes;
    FrameSetTail one;
    one.frames = "&spin_0";
    one.count = "1";
    one.ms = "40";
    one.duration = "40";
    QTest::newRow("a set of one frame")
        << head + v9Frame("spin_0", "spin_0_map", "0x80, 0xff") + one.text() << QString()
        << QVector<int> {40} << 0 << QStringList {QString()} << QStringList {"0x80, 0xff"};

    FrameSetTail wrong;
    wrong.count = "2";
    QTest::newRow("frame count other than the list's length")
        << head + frames + wrong.text() << "spin_frame_count is 2, but spin_frames lists 3 frames"
        << delays << 0 << shares << bytes;
    wrong = FrameSetTail();
    wrong.duration = "100";
    QTest::newRow("duration other than the sum of the delays")
        << head + frames + wrong.text() << "spin_duration_ms is 100, but the delays add up to 150"
        << delays << 0 << shares << bytes;
    wrong = FrameSetTail();
    wrong.ms = "100, 50";
    QTest::newRow("fewer delays than frames")
        << head + frames + wrong.text() << "spin_frame_ms has 2 delays for 3 frames"
        << QVector<int> {0, 0, 0} << 0 << shares << bytes;
    wrong = FrameSetTail();
    wrong.loop.clear();
    QTest::newRow("no loop count")
        << head + frames + wrong.text() << "the frame set has no 'spin_loop_count'" << delays << -1
        << shares << bytes;
    wrong = FrameSetTail();
    wrong.frames = "&spin_0, &spin_1, &spin_9";
    QTest::newRow("a frame that is no descriptor")
        << head + frames + wrong.text()
        << "spin_frames' names 'spin_9', which is no image descriptor of the file" << delays << 0
        << shares << bytes;
    QTest::newRow("a frame whose data_size is wrong")
        << head + v9Frame("spin_0", "spin_0_map", "0x80, 0xff")
            + v9Frame("spin_1", "spin_1_map", "0x10, 0x20", 3)
            + v9Frame("spin_2", "spin_0_map", nullptr) + FrameSetTail().text()
        << "frame 1 (spin_1): " << delays << 0 << shares << bytes;
}

void TestDecoder::frameSets()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QFETCH(QVector<int>, delays);
    QFETCH(int, loopCount);
    QFETCH(QStringList, shares);
    QFETCH(QStringList, frameBytes);

    const LvglDecodeResult decoded = decodeLvglSource(text, device(32));
    const LvglAnimationInfo &animation = decoded.info.animation;
    if (!error.isEmpty()) {
        QVERIFY(!decoded.ok());
        QVERIFY2(decoded.error.contains(error), qPrintable(decoded.error));
        QVERIFY(decoded.image.isNull());
        QVERIFY(decoded.frames.isEmpty());
        return;
    }
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    QCOMPARE(animation.kind, QStringLiteral("frame set"));
    QCOMPARE(animation.frames.size(), delays.size());
    QCOMPARE(decoded.frames.size(), delays.size());
    QCOMPARE(animation.loopCount, loopCount);
    qint64 sum = 0;
    for (int i = 0; i < delays.size(); ++i) {
        const LvglFrameInfo &frame = animation.frames.at(i);
        QCOMPARE(frame.name, QStringLiteral("spin_%1").arg(i));
        QCOMPARE(frame.delayMs, delays.at(i));
        QCOMPARE(frame.sharesWith, shares.at(i));
        QCOMPARE(frame.formatName, QStringLiteral("LV_COLOR_FORMAT_A8"));
        QCOMPARE(QSize(frame.width, frame.height), QSize(2, 1));
        QVERIFY(frame.error.isEmpty());
        sum += delays.at(i);
        const LvglDecodeResult alone =
            decodeLvglSource(singleFrame(frameBytes.at(i).toLatin1().constData()), device(32));
        QVERIFY2(alone.ok(), qPrintable(alone.error));
        QVERIFY(alone.info.animation.kind.isEmpty());
        QCOMPARE(decoded.frames.at(i), alone.image);
    }
    QCOMPARE(animation.durationMs, sum);
    QCOMPARE(decoded.image, decoded.frames.first());
}

// A GIF embedded as RAW shows every frame as it plays, with the facts and
// the traps of the version's GIF player.
void TestDecoder::embeddedGifs_data()
{
    QTest::addColumn<QByteArray>("gif");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QVector<QImage>>("expected"); // at depth 32
    QTest::addColumn<QVector<int>>("delays");
    QTest::addColumn<int>("loopCount");
    QTest::addColumn<qint64>("playerBytes");
    QTest::addColumn<QString>("warning"); // empty: none

    using EncodedFiles::GifFrame;
    GifFrame first;
    first.image = QImage(6, 4, QImage::Format_Indexed8);
    first.image.setColorTable({0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff});
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x)
            first.image.scanLine(y)[x] = uchar((x + 2 * y) % 4);
    }
    first.delayCs = 7;
    first.disposal = 1;
    GifFrame second;
    second.image = QImage(2, 2, QImage::Format_Indexed8);
    second.image.setColorTable({0xff101010, 0xff202020});
    second.image.fill(1);
    second.image.scanLine(0)[0] = 0;
    second.localTable = true;
    second.at = QPoint(3, 1);
    second.delayCs = 0;
    second.transparent = 0;
    const QImage shown0 = EncodedFiles::gifCanvas(QSize(6, 4), first);
    QImage shown1 = shown0;
    EncodedFiles::drawGifFrame(&shown1, second);
    const QByteArray gif = EncodedFiles::gif(QSize(6, 4), {first, second}, 2);
    const QVector<QImage> both = {shown0, shown1};
    const QVector<int> delays = {70, 0};
    QTest::newRow("LVGL 8, depth 32")
        << gif << 8 << 32 << both << delays << 2 << qint64(6 * 4 * 5) << QString();
    QTest::newRow("LVGL 8, depth 16")
        << gif << 8 << 16 << both << delays << 2 << qint64(6 * 4 * 4) << QString();
    QTest::newRow("LVGL 9, a zero delay")
        << gif << 9 << 32 << both << delays << 2 << qint64(6 * 4 * 4 + 20000)
        << QStringLiteral("shows a frame of delay 0 for 100 ms");
    QByteArray old = EncodedFiles::gif(QSize(6, 4), {first});
    old.replace(0, 6, "GIF87a");
    QTest::newRow("LVGL 8, a GIF87a")
        << old << 8 << 32 << QVector<QImage> {shown0} << QVector<int> {0} << 1 << qint64(6 * 4 * 5)
        << QStringLiteral("plays only GIF89a files");
    second.disposal = 3;
    QTest::newRow("LVGL 9, disposal 3")
        << EncodedFiles::gif(QSize(6, 4), {first, second, first}) << 9 << 32
        << QVector<QImage> {shown0, shown1, shown0} << QVector<int> {70, 0, 70} << 1
        << qint64(6 * 4 * 4 + 20000) << QStringLiteral("disposal method 3");
}

void TestDecoder::embeddedGifs()
{
    QFETCH(QByteArray, gif);
    QFETCH(int, version);
    QFETCH(int, depth);
    QFETCH(QVector<QImage>, expected);
    QFETCH(QVector<int>, delays);
    QFETCH(int, loopCount);
    QFETCH(qint64, playerBytes);
    QFETCH(QString, warning);
    QVERIFY(!gif.isEmpty());

    QByteArray values;
    for (const char c : gif)
        values += "0x" + QByteArray::number(uchar(c), 16) + ",";
    const QByteArray descriptor = version == 8
        ? QByteArray("const lv_img_dsc_t g = {.header.cf = LV_IMG_CF_RAW, ")
        : QByteArray("const lv_image_dsc_t g = {.header.magic = LV_IMAGE_HEADER_MAGIC, "
                     ".header.cf = LV_COLOR_FORMAT_RAW, ");
    const QByteArray text = "const uint8_t g_map[] = {" + values + "};\n" + descriptor
        + ".header.w = 6, .header.h = 4, .data_size = " + QByteArray::number(gif.size())
        + ", .data = g_map};\n";
    const LvglDecodeResult decoded = decodeLvglSource(text, device(depth));
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    const LvglAnimationInfo &animation = decoded.info.animation;
    QCOMPARE(animation.kind, QStringLiteral("GIF"));
    QCOMPARE(animation.canvas, QSize(6, 4));
    QCOMPARE(animation.loopCount, loopCount);
    QCOMPARE(animation.playerBytes, playerBytes);
    QCOMPARE(animation.frames.size(), expected.size());
    QCOMPARE(decoded.frames.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(animation.frames.at(i).delayMs, delays.at(i));
        QImage want = expected.at(i);
        for (int y = 0; y < want.height(); ++y) {
            for (int x = 0; x < want.width(); ++x)
                want.setPixel(x, y, atDepth(want.pixel(x, y), version == 9 ? 32 : depth));
        }
        const QString difference = firstDifference(decoded.frames.at(i), want);
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QStringLiteral("frame %1: ").arg(i) + difference));
    }
    const QString warnings = decoded.info.warnings.join(QLatin1Char('\n'));
    if (warning.isEmpty())
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings));
    else
        QVERIFY2(warnings.contains(warning), qPrintable(warnings));
}

void TestDecoder::frameSetSections_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("swap");
    QTest::addColumn<bool>("broken"); // frame 1's depth-8 section is damaged

    QTest::newRow("depth 8") << 8 << false << false;
    QTest::newRow("depth 16") << 16 << false << false;
    QTest::newRow("depth 16 swapped") << 16 << true << false;
    QTest::newRow("depth 32") << 32 << false << false;
    QTest::newRow("depth 16, frame 1 broken at depth 8") << 16 << false << true;
}

// A v8 frame set of true-colour frames, each with its depth sections (two
// files of the engine's put together, as a frame set holds them): each
// frame reads at every depth as its own file does, and a broken section of
// one frame breaks the set, naming the frame.
void TestDecoder::frameSetSections()
{
    QFETCH(int, depth);
    QFETCH(bool, swap);
    QFETCH(bool, broken);

    OutputPlan outSpec;
    outSpec.row = Lvgl8::findFormat(QStringLiteral("TRUE_COLOR_ALPHA"));
    QByteArray files[2];
    for (int i = 0; i < 2; ++i) {
        SourceImage source;
        source.image = i == 0 ? testImage() : testImage().mirrored(true, false);
        QVERIFY(encodeSource(source, outSpec, QStringLiteral("anim_%1").arg(i), &files[i]).ok());
        QVERIFY(files[i].contains("#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8"));
    }
    if (broken) {
        // The first value of the depth-8 section of frame 1 gets a value past a byte.
        const int section = files[1].indexOf("LV_COLOR_DEPTH == 8");
        const int value = files[1].indexOf("0x", files[1].indexOf('\n', section + 1) + 1);
        files[1].replace(value, 4, "0x100");
    }
    const QByteArray text = files[0] + "\n" + files[1] + "\n"
        + "const void * const anim_frames[] = {&anim_0, &anim_1};\n"
          "const uint32_t anim_frame_count = 2;\n"
          "const uint32_t anim_frame_ms[] = {30, 70};\n"
          "const uint32_t anim_duration_ms = 100;\n"
          "const uint32_t anim_loop_count = 1;\n";
    const LvglDecodeResult decoded = decodeLvglSource(text, device(depth, swap));
    if (broken) {
        QVERIFY(!decoded.ok());
        QVERIFY2(decoded.error.startsWith(QStringLiteral("frame 1 (anim_1): the section for "
                                                         "LV_COLOR_DEPTH 8 is broken")),
                 qPrintable(decoded.error));
        return;
    }
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    QCOMPARE(decoded.frames.size(), 2);
    QCOMPARE(decoded.info.animation.loopCount, 1);
    QCOMPARE(decoded.info.animation.durationMs, qint64(100));
    for (int i = 0; i < 2; ++i) {
        const LvglDecodeResult alone = decodeLvglSource(files[i], device(depth, swap));
        QVERIFY2(alone.ok(), qPrintable(alone.error));
        QCOMPARE(decoded.frames.at(i), alone.image);
        QCOMPARE(decoded.info.animation.frames.at(i).formatName,
                 QStringLiteral("LV_IMG_CF_TRUE_COLOR_ALPHA"));
    }
    QCOMPARE(decoded.info.depthSections, (QStringList {"8", "16", "16swap", "32"}));
}

#include "tst_decoder.moc"
