#include <converter.h>
#include <csymbol.h>
#include <lvgl8cframe.h>
#include <lvgl8formats.h>
#include <lvgl9formats.h>
#include <lvgl9writer.h>
#include <outputversion.h>
#include <testimages.h>

#include <lz4.h>
#include <referenceencoder.h>
#include <textsink.h>

#include <buildconfig.h>

#include <QtTest>

using namespace Convert;

namespace {

QByteArray golden(const QString &name)
{
    QFile file(QStringLiteral(BRINDLEFORGE_TEST_SOURCE_DIR "/golden/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray bytes = file.readAll();
    bytes.replace("@AUTHOR_LINE@", engineAuthorLine());
    return bytes;
}

QByteArray encode(const QImage &image, OutputFormat output, ColorFormat color,
                  const QString &symbol = QStringLiteral("image"))
{
    QByteArray bytes;
    const ConvertResult result = encodeImage(image, output, color, symbol, &bytes);
    if (!result.ok())
        qWarning() << result.message();
    return bytes;
}

QImage filled(int width, int height, QRgb colour, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(width, height, format);
    image.fill(QColor::fromRgba(colour));
    return image;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "0xHH, " for each value.
QByteArray hexValues(std::initializer_list<int> values)
{
    QByteArray text;
    for (const int v : values)
        text += "0x" + QByteArray::number(v, 16).rightJustified(2, '0') + ", ";
    return text;
}

QList<QByteArray> lines(const QByteArray &text)
{
    return text.split('\n');
}

// The row lines of depth section 1 to 4 of a true colour or alpha array.
QList<QByteArray> sectionRows(const QByteArray &text, int section)
{
    const QList<QByteArray> all = lines(text);
    QList<QByteArray> rows;
    int current = 0;
    for (const QByteArray &line : all) {
        if (line.startsWith("#if LV_COLOR_DEPTH"))
            ++current;
        else if (current == section && line.startsWith("  0x"))
            rows << line;
        else if (line == "#endif" && current == section)
            break;
    }
    return rows;
}

int valueCount(const QByteArray &row)
{
    return row.count("0x");
}

} // namespace

class TestEncoding : public QObject
{
    Q_OBJECT

private slots:
    void v8FormatBytes_data();
    void v8FormatBytes();
    void ditherLowersError_data();
    void ditherLowersError();
    void v9FormatBytes_data();
    void v9FormatBytes();
    void v9Compression_data();
    void v9Compression();
    void v9SizeLimits_data();
    void v9SizeLimits();
    void goldenFiles_data();
    void goldenFiles();
    void authorLine();
    void symbolsInFrame_data();
    void symbolsInFrame();
    void rowShape_data();
    void rowShape();
    void truncation_data();
    void truncation();
    void trueColorIgnoresAlpha();
    void chromaKeyWarnings_data();
    void chromaKeyWarnings();
    void opaqueImageHasOpaqueAlpha_data();
    void opaqueImageHasOpaqueAlpha();
    void indexedPalette();
    void indexedPaletteOfManyColours();
    void binaryHeader_data();
    void binaryHeader();
    void binaryIgnoresColorFormat();
    void sizeLimit_data();
    void sizeLimit();
    void versionLimits_data();
    void versionLimits();
    void nullImage();
    void noWriter();
};

namespace {

// Six pixels with partial alpha: red, half-transparent green, transparent
// blue; white, black, (200, 100, 50) at a quarter.
QImage sixPixels()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    image.setPixel(1, 0, qRgba(0, 255, 0, 128));
    image.setPixel(2, 0, qRgba(0, 0, 255, 0));
    image.setPixel(0, 1, qRgba(255, 255, 255, 255));
    image.setPixel(1, 1, qRgba(0, 0, 0, 255));
    image.setPixel(2, 1, qRgba(200, 100, 50, 64));
    return image;
}

// Few colours, so that an indexed format keeps them exactly: A B C / D A B
// (with only A and B: A B A / B B A).
QImage fewColours(bool two)
{
    const QRgb a = qRgba(255, 0, 0, 255);
    const QRgb b = qRgba(0, 0, 255, 128);
    const QRgb c = qRgba(0, 255, 0, 0);
    const QRgb d = qRgba(10, 20, 30, 40);
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb pixels[6] = {a, b, two ? a : c, two ? b : d, two ? b : a, two ? a : b};
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, pixels[i]);
    return image;
}

} // namespace

void TestEncoding::v8FormatBytes_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QByteArray>("expected"); // the whole .bin, in hex

    // Worked out by hand from the layouts: the header word is cf | w << 10 |
    // h << 21, least significant byte first; 3 x 2 gives 0x00400c00 | cf.
    const QImage six = sixPixels();
    const int d8 = int(ColorDepth::Depth8);
    const int d16 = int(ColorDepth::Depth16);
    const int swap = int(ColorDepth::Depth16Swap);
    const int d32 = int(ColorDepth::Depth32);
    QTest::newRow("TRUE_COLOR, depth 8") << six << "TRUE_COLOR" << d8
                                         << QByteArray("040c4000"
                                                       "e01c03ff00cc");
    QTest::newRow("TRUE_COLOR, depth 16") << six << "TRUE_COLOR" << d16
                                          << QByteArray("040c4000"
                                                        "00f8e0071f00ffff000026cb");
    QTest::newRow("TRUE_COLOR, depth 16 swapped") << six << "true-color" << swap
                                                  << QByteArray("040c4000"
                                                                "f80007e0001fffff0000cb26");
    QTest::newRow("TRUE_COLOR, depth 32")
        << six << "lv_img_cf_true_color" << d32
        << QByteArray("040c4000"
                      "0000ffff00ff00ffff0000ffffffffff000000ff3264c8ff");
    QTest::newRow("TRUE_COLOR_ALPHA, depth 8") << six << "TRUE_COLOR_ALPHA" << d8
                                               << QByteArray("050c4000"
                                                             "e0ff1c800300ffff00ffcc40");
    QTest::newRow("TRUE_COLOR_ALPHA, depth 16")
        << six << "TRUE_COLOR_ALPHA" << d16
        << QByteArray("050c4000"
                      "00f8ffe007801f0000ffffff0000ff26cb40");
    QTest::newRow("TRUE_COLOR_ALPHA, depth 32")
        << six << "true-color-alpha" << d32
        << QByteArray("050c4000"
                      "0000ffff00ff0080ff000000ffffffff000000ff3264c840");
    QTest::newRow("TRUE_COLOR_CHROMA_KEYED, depth 16") << six << "TRUE_COLOR_CHROMA_KEYED" << d16
                                                       << QByteArray("060c4000"
                                                                     "00f8e0071f00ffff000026cb");
    QTest::newRow("ALPHA_1BIT") << six << "ALPHA_1BIT" << d16
                                << QByteArray("0b0c4000"
                                              "c0c0");
    QTest::newRow("ALPHA_2BIT") << six << "alpha-2" << d16
                                << QByteArray("0c0c4000"
                                              "e0f4");
    QTest::newRow("ALPHA_4BIT") << six << "ALPHA_4BIT" << d16
                                << QByteArray("0d0c4000"
                                              "f800ff40");
    QTest::newRow("ALPHA_8BIT") << six << "ALPHA_8BIT" << d32
                                << QByteArray("0e0c4000"
                                              "ff8000ffff40");
    QTest::newRow("RGB565A8, depth 16") << six << "RGB565A8" << d16
                                        << QByteArray("140c4000"
                                                      "00f8e0071f00ffff000026cb"
                                                      "ff8000ffff40");
    QTest::newRow("RGB565A8, depth 16 swapped") << six << "rgb565a8" << swap
                                                << QByteArray("140c4000"
                                                              "f80007e0001fffff0000cb26"
                                                              "ff8000ffff40");
    // Palette entries are blue, green, red, alpha, in order of first
    // appearance; the unused ones are zero.
    QTest::newRow("INDEXED_1BIT") << fewColours(true) << "INDEXED_1BIT" << d16
                                  << QByteArray("070c4000"
                                                "0000ffff"
                                                "ff000080"
                                                "40c0");
    QTest::newRow("INDEXED_2BIT") << fewColours(false) << "INDEXED_2BIT" << d16
                                  << QByteArray("080c4000"
                                                "0000ffffff00008000ff00001e140a28"
                                                "18c4");
    QTest::newRow("INDEXED_4BIT") << fewColours(false) << "indexed-4" << d16
                                  << QByteArray("090c4000"
                                                "0000ffffff00008000ff00001e140a28")
            + QByteArray(96, '0')
            + "0120"
              "3010";
    QTest::newRow("INDEXED_8BIT") << fewColours(false) << "INDEXED_8BIT" << d16
                                  << QByteArray("0a0c4000"
                                                "0000ffffff00008000ff00001e140a28")
            + QByteArray(2016, '0')
            + "000102"
              "030001";
}

// Each format's .bin against bytes worked out by hand. The C array holds
// the same bytes (see tst_ccompile, which compiles it at every depth).
void TestEncoding::v8FormatBytes()
{
    QFETCH(QImage, image);
    QFETCH(QString, format);
    QFETCH(int, depth);
    QFETCH(QByteArray, expected);

    OutputPlan outSpec;
    outSpec.row = Lvgl8::findFormat(format);
    QVERIFY(outSpec.format());
    outSpec.binary = true;
    outSpec.depth = ColorDepth(depth);
    SourceImage source;
    source.image = image;
    QByteArray bytes;
    const ConvertResult result = encodeSource(source, outSpec, QString(), &bytes);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(bytes.toHex(), expected);
}

namespace {

// A smooth diagonal gradient of colour and alpha, where banding shows.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int t = (x * 255) / (width - 1);
            const int u = (y * 255) / (height - 1);
            image.setPixel(x, y, qRgba(t, (t + u) / 2, 255 - u, (t * 3 + u) / 4));
        }
    }
    return image;
}

int replicated(int level, int bits)
{
    int value = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        value |= shift >= 0 ? level << shift : level >> -shift;
    return value & 0xff;
}

// What the device shows for each pixel of a .bin's data, as 0xAARRGGBB
// (colours of colour formats, alpha levels as grey), read by hand from the
// layout, not through the engine.
QVector<QRgb> shownPixels(const QByteArray &bin, const QString &format, ColorDepth depth, int width,
                          int height)
{
    const auto *d = reinterpret_cast<const uchar *>(bin.constData()) + 4;
    QVector<QRgb> shown;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = y * width + x;
            if (format == QLatin1String("TRUE_COLOR") && depth == ColorDepth::Depth8) {
                const int v = d[i];
                shown << qRgb(replicated(v >> 5, 3), replicated((v >> 2) & 7, 3),
                              replicated(v & 3, 2));
            } else if (format == QLatin1String("TRUE_COLOR")) {
                const int v = d[2 * i] | d[2 * i + 1] << 8;
                shown << qRgb(replicated(v >> 11, 5), replicated((v >> 5) & 63, 6),
                              replicated(v & 31, 5));
            } else { // ALPHA_2BIT: rows of ceil(width / 4) bytes
                const int v = (d[y * ((width + 3) / 4) + x / 4] >> (6 - 2 * (x % 4))) & 3;
                shown << qRgb(v * 85, v * 85, v * 85);
            }
        }
    }
    return shown;
}

// The mean absolute difference of 4 x 4 averages: what an eye at a little
// distance compares.
double blurredError(const QVector<QRgb> &shown, const QImage &source, bool alpha)
{
    double total = 0;
    int count = 0;
    for (int by = 0; by + 4 <= source.height(); by += 4) {
        for (int bx = 0; bx + 4 <= source.width(); bx += 4) {
            for (int channel = 0; channel < 3; ++channel) {
                double a = 0;
                double b = 0;
                for (int y = by; y < by + 4; ++y) {
                    for (int x = bx; x < bx + 4; ++x) {
                        const QRgb s = source.pixel(x, y);
                        const QRgb o = shown.at(y * source.width() + x);
                        const int shift = 16 - 8 * channel;
                        a += alpha ? qAlpha(s) : (s >> shift) & 0xff;
                        b += (o >> shift) & 0xff;
                    }
                }
                total += qAbs(a - b) / 16;
                ++count;
            }
        }
    }
    return total / count;
}

} // namespace

void TestEncoding::ditherLowersError_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("depth");

    QTest::newRow("RGB332") << "TRUE_COLOR" << int(ColorDepth::Depth8);
    QTest::newRow("RGB565") << "TRUE_COLOR" << int(ColorDepth::Depth16);
    QTest::newRow("alpha levels") << "ALPHA_2BIT" << int(ColorDepth::Depth16);
}

// Dithering brings the average colour of an area closer to the source's
// on a smooth gradient, and changes nothing without --dither.
void TestEncoding::ditherLowersError()
{
    QFETCH(QString, format);
    QFETCH(int, depth);

    const QImage image = gradient(96, 64);
    OutputPlan outSpec;
    outSpec.row = Lvgl8::findFormat(format);
    outSpec.binary = true;
    outSpec.depth = ColorDepth(depth);
    SourceImage source;
    source.image = image;
    QByteArray plain;
    QByteArray dithered;
    QVERIFY(encodeSource(source, outSpec, QString(), &plain).ok());
    outSpec.dither = true;
    QVERIFY(encodeSource(source, outSpec, QString(), &dithered).ok());
    QCOMPARE(dithered.size(), plain.size());

    const bool alpha = format == QLatin1String("ALPHA_2BIT");
    const double plainError =
        blurredError(shownPixels(plain, format, ColorDepth(depth), 96, 64), image, alpha);
    const double ditheredError =
        blurredError(shownPixels(dithered, format, ColorDepth(depth), 96, 64), image, alpha);
    QVERIFY2(
        ditheredError < plainError * 0.6,
        qPrintable(QStringLiteral("dithered %1, plain %2").arg(ditheredError).arg(plainError)));

    // The same input gives the same bytes.
    QByteArray again;
    QVERIFY(encodeSource(source, outSpec, QString(), &again).ok());
    QCOMPARE(again, dithered);
}

void TestEncoding::v9FormatBytes_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("compression");
    QTest::addColumn<QByteArray>("expected"); // the whole .bin, in hex

    // Worked out by hand. The header: 0x19, cf, flags (2), width 3, height
    // 2, stride (2), reserved 0; then rows of `stride` bytes.
    const QImage six = sixPixels();
    const auto header = [](const char *cfHex, const char *flags, int stride) -> QByteArray {
        return QByteArray("19") + cfHex + flags + "03000200"
            + QByteArray::number(stride, 16).rightJustified(2, '0')
            + "00"
              "0000";
    };
    const int none = int(Lvgl9::Compression::None);
    QTest::newRow("RGB565") << six << "RGB565" << 1 << none
                            << header("12", "0000", 6)
            + "00f8e0071f00"
              "ffff000026cb";
    QTest::newRow("RGB565, stride aligned to 4") << six << "rgb565" << 4 << none
                                                 << header("12", "0000", 8)
            + "00f8e0071f000000"
              "ffff000026cb0000";
    QTest::newRow("RGB565_SWAPPED") << six << "RGB565_SWAPPED" << 1 << none
                                    << header("1b", "0000", 6)
            + "f80007e0001f"
              "ffff0000cb26";
    QTest::newRow("ARGB8888") << six << "LV_COLOR_FORMAT_ARGB8888" << 1 << none
                              << header("10", "0000", 12)
            + "0000ffff00ff0080ff000000"
              "ffffffff000000ff3264c840";
    // (c * a + 127) / 255: an opaque colour stays as it is; 255 at alpha
    // 128 is 128, and (200, 100, 50) at 64 is (50, 25, 13).
    QTest::newRow("ARGB8888_PREMULTIPLIED") << six << "ARGB8888_PREMULTIPLIED" << 1 << none
                                            << header("1a", "0100", 12)
            + "0000ffff0080008000000000"
              "ffffffff000000ff0d193240";
    QTest::newRow("XRGB8888") << six << "XRGB8888" << 1 << none
                              << header("11", "0000", 12)
            + "0000ffff00ff00ffff0000ff"
              "ffffffff000000ff3264c8ff";
    QTest::newRow("RGB888") << six << "RGB888" << 1 << none
                            << header("0f", "0000", 9)
            + "0000ff00ff00ff0000"
              "ffffff0000003264c8";
    QTest::newRow("RGB888, stride aligned to 4") << six << "RGB888" << 4 << none
                                                 << header("0f", "0000", 12)
            + "0000ff00ff00ff0000000000"
              "ffffff0000003264c8000000";
    QTest::newRow("ARGB8565") << six << "ARGB8565" << 1 << none
                              << header("13", "0000", 9)
            + "00f8ffe007801f0000"
              "ffffff0000ff26cb40";
    // Colour rows of `stride` bytes, then alpha rows of stride / 2.
    QTest::newRow("RGB565A8") << six << "RGB565A8" << 1 << none
                              << header("14", "0000", 6)
            + "00f8e0071f00"
              "ffff000026cb"
              "ff8000"
              "ffff40";
    QTest::newRow("RGB565A8, stride aligned to 4") << six << "RGB565A8" << 4 << none
                                                   << header("14", "0000", 8)
            + "00f8e0071f000000"
              "ffff000026cb0000"
              "ff800000"
              "ffff4000";
    // BT.601 weights: (77 r + 150 g + 29 b + 128) >> 8.
    QTest::newRow("L8") << six << "L8" << 1 << none
                        << header("06", "0000", 3)
            + "4d951d"
              "ff007c";
    QTest::newRow("AL88") << six << "AL88" << 1 << none
                          << header("15", "0000", 6)
            + "4dff95801d00"
              "ffff00ff7c40";
    QTest::newRow("A1") << six << "A1" << 1 << none
                        << header("0b", "0000", 1)
            + "c0"
              "c0";
    QTest::newRow("A2") << six << "A2" << 1 << none
                        << header("0c", "0000", 1)
            + "e0"
              "f4";
    QTest::newRow("A4") << six << "A4" << 1 << none
                        << header("0d", "0000", 2)
            + "f800"
              "ff40";
    QTest::newRow("A4, stride aligned to 4") << six << "A4" << 4 << none
                                             << header("0d", "0000", 4)
            + "f8000000"
              "ff400000";
    QTest::newRow("A8") << six << "A8" << 1 << none
                        << header("0e", "0000", 3)
            + "ff8000"
              "ffff40";
    // The palette comes first; the stride does not count it.
    QTest::newRow("I1") << fewColours(true) << "I1" << 1 << none
                        << header("07", "0000", 1)
            + "0000ffffff000080"
              "40"
              "c0";
    QTest::newRow("I2") << fewColours(false) << "I2" << 1 << none
                        << header("08", "0000", 1)
            + "0000ffffff00008000ff00001e140a28"
              "18"
              "c4";
    QTest::newRow("I4, stride aligned to 4")
        << fewColours(false) << "I4" << 4 << none
        << header("09", "0000", 4) + "0000ffffff00008000ff00001e140a28" + QByteArray(96, '0')
            + "01200000"
              "30100000";
    QTest::newRow("I8") << fewColours(false) << "I8" << 1 << none
                        << header("0a", "0000", 3) + "0000ffffff00008000ff00001e140a28"
            + QByteArray(2016, '0')
            + "000102"
              "030001";
    // Compressed: flag 0x0008, a block header (method, compressed length,
    // uncompressed length), then the stream.
    QImage red(4, 1, QImage::Format_ARGB32);
    red.fill(qRgba(255, 0, 0, 255));
    QTest::newRow("RGB565, RLE, one repeated block")
        << red << "RGB565" << 1 << int(Lvgl9::Compression::Rle)
        << QByteArray("191208000400010008000000")
            + "01000000"
              "03000000"
              "08000000"
              "0400f8";
    // Under RLE the data is whole 3-byte blocks: one pixel aligned to 4
    // takes a stride of 12, not 4 (one literal pixel, 3 zero blocks).
    QTest::newRow("ARGB8565, RLE, stride 12 for an alignment of 4")
        << red.copy(0, 0, 1, 1) << "ARGB8565" << 4 << int(Lvgl9::Compression::Rle)
        << QByteArray("19130800010001000c000000")
            + "01000000"
              "08000000"
              "0c000000"
              "8100f8ff"
              "03000000";
    // 37 x 23 aligned to 4 would be 112 bytes a row, and 112 * 23 is no
    // multiple of 3: the stride is 120, 37 red blocks and 3 zero blocks a
    // row, 2760 bytes in all.
    QImage wideRed(37, 23, QImage::Format_ARGB32);
    wideRed.fill(qRgba(255, 0, 0, 255));
    QTest::newRow("RGB888, RLE, 37 x 23, stride 120 for an alignment of 4")
        << wideRed << "RGB888" << 4 << int(Lvgl9::Compression::Rle)
        << QByteArray("190f08002500170078000000")
            + "01000000"
              "b8000000"
              "c80a0000"
            + QByteArray("250000ff03000000").repeated(23);
}

void TestEncoding::v9FormatBytes()
{
    QFETCH(QImage, image);
    QFETCH(QString, format);
    QFETCH(int, align);
    QFETCH(int, compression);
    QFETCH(QByteArray, expected);

    // The writer itself: LVGL 9.5 opens no uncompressed .bin of L8, AL88 or
    // ARGB8888_PREMULTIPLIED, so the command line refuses those files, but
    // their data is the same in a C array.
    OutputPlan plan;
    plan.row = Lvgl9::findFormat(format);
    QVERIFY(plan.format9());
    plan.strideAlign = align;
    plan.compression = Lvgl9::Compression(compression);
    const QByteArray bytes = Lvgl9::binary(plan, Lvgl9::encode(plan, image, QByteArray()));
    QCOMPARE(bytes.toHex(), expected);
}

namespace {

// RLE as the issue of LVGL's decoder describes it, written again here
// without the engine: c & 0x80 -> (c & 0x7f) literal blocks, else one
// block repeated c times; a literal packet may end in a partial block.
QByteArray rleExpand(const QByteArray &stream, int block, int expectedSize, bool *lastIsLiteral)
{
    QByteArray out;
    int at = 0;
    *lastIsLiteral = false;
    while (at < stream.size()) {
        const int c = uchar(stream.at(at++));
        if (c & 0x80) {
            const int bytes = qMin((c & 0x7f) * block, stream.size() - at);
            out += stream.mid(at, bytes);
            at += bytes;
            *lastIsLiteral = true;
        } else {
            const QByteArray one = stream.mid(at, block);
            at += block;
            for (int i = 0; i < c; ++i)
                out += one;
            *lastIsLiteral = false;
        }
    }
    out.truncate(qMax(expectedSize, 0));
    return out;
}

quint32 u32(const QByteArray &bytes, int at)
{
    return quint32(uchar(bytes.at(at))) | quint32(uchar(bytes.at(at + 1))) << 8
        | quint32(uchar(bytes.at(at + 2))) << 16 | quint32(uchar(bytes.at(at + 3))) << 24;
}

} // namespace

void TestEncoding::v9Compression_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("align");

    const QImage photo = TestImages::photo(37, 23, 4);
    QImage flat(40, 30, QImage::Format_ARGB32);
    flat.fill(qRgba(10, 200, 30, 255));
    for (int y = 10; y < 20; ++y)
        for (int x = 5; x < 35; ++x)
            flat.setPixel(x, y, qRgba(250, 250, 250, 128));
    for (int i = 0; i < Lvgl9::formatCount(); ++i) {
        const Lvgl9::Format &f = Lvgl9::formats()[i];
        if (f.layout == Lvgl9::Layout::Raw)
            continue;
        QTest::addRow("%s, photo", f.name) << photo << QString::fromLatin1(f.name) << 1;
        QTest::addRow("%s, flat, stride aligned to 4", f.name)
            << flat << QString::fromLatin1(f.name) << 4;
    }
}

// RLE and LZ4 streams expand, by a decoder of the test's own and by
// liblz4, to exactly the uncompressed data, with the block header and the
// flag right.
void TestEncoding::v9Compression()
{
    QFETCH(QImage, image);
    QFETCH(QString, format);
    QFETCH(int, align);

    OutputPlan plan;
    plan.row = Lvgl9::findFormat(format);
    plan.strideAlign = align;
    const auto encoded = [&] {
        return Lvgl9::binary(plan, Lvgl9::encode(plan, image, QByteArray()));
    };
    const QByteArray data = encoded().mid(12);

    for (const auto method : {Lvgl9::Compression::Rle, Lvgl9::Compression::Lz4}) {
        plan.compression = method;
        const QByteArray packed = encoded();
        QCOMPARE(uchar(packed.at(2)) & 0x08, 0x08);
        QCOMPARE(u32(packed, 12), quint32(method));
        const QByteArray stream = packed.mid(24);
        // RLE of RGB565A8 aligns its rows to 4 bytes, so its plain data is
        // that of the aligned stride.
        QByteArray reference = data;
        if (method == Lvgl9::Compression::Rle && plan.format9()->layout == Lvgl9::Layout::Rgb565A8
            && align < 4) {
            plan.compression = Lvgl9::Compression::None;
            plan.strideAlign = 4;
            reference = encoded().mid(12);
            plan.strideAlign = align;
            plan.compression = method;
        }
        QCOMPARE(u32(packed, 16), quint32(stream.size()));
        QCOMPARE(u32(packed, 20), quint32(reference.size()));
        QByteArray expanded;
        if (method == Lvgl9::Compression::Rle) {
            const int block = plan.format9()->layout == Lvgl9::Layout::Rgb565A8
                ? 2
                : (plan.format9()->bpp + 7) / 8;
            bool lastIsLiteral = false;
            expanded = rleExpand(stream, block, int(u32(packed, 20)), &lastIsLiteral);
            QCOMPARE(expanded.toHex(), reference.toHex());
            // LVGL refuses a partial last block: the data is whole blocks.
            QCOMPARE(reference.size() % block, 0);
        } else {
            expanded.resize(data.size());
            const int n = LZ4_decompress_safe(stream.constData(), expanded.data(), stream.size(),
                                              expanded.size());
            QCOMPARE(n, data.size());
            QCOMPARE(expanded, data);
        }
    }
}

void TestEncoding::v9SizeLimits_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("problem"); // empty: accepted

    QTest::newRow("2047 x 2047") << 2047 << 2047 << "RGB565" << QString();
    QTest::newRow("2048 x 1") << 2048 << 1 << "ARGB8888" << QString();
    QTest::newRow("16383 wide ARGB8888") << 16383 << 1 << "ARGB8888" << QString();
    QTest::newRow("16384 wide ARGB8888")
        << 16384 << 1 << "ARGB8888"
        << "the image is 16384 pixels wide; a row of ARGB8888 can be at most 16383 pixels wide";
    QTest::newRow("32768 wide RGB565") << 32768 << 1 << "RGB565"
                                       << "a row of RGB565 can be at most 32767 pixels wide";
    QTest::newRow("65535 wide A8") << 65535 << 1 << "A8" << QString();
}

// v9 stores 16-bit sizes and strides: no 2047 limit, and a row whose stride
// would pass 65535 bytes is refused with the format's limit.
void TestEncoding::v9SizeLimits()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, format);
    QFETCH(QString, problem);

    OutputPlan outSpec;
    outSpec.row = Lvgl9::findFormat(format);
    outSpec.binary = true;
    SourceImage source;
    source.image = QImage(width, height, QImage::Format_ARGB32);
    source.image.fill(qRgba(1, 2, 3, 4));
    QByteArray bytes;
    const ConvertResult result = encodeSource(source, outSpec, QString(), &bytes);
    if (problem.isEmpty()) {
        QVERIFY2(result.ok(), qPrintable(result.message()));
        QCOMPARE(bytes.size(), 12 + int(Lvgl9::dataSize(*outSpec.format9(), width, height, 1)));
    } else {
        QCOMPARE(result.status(), ConvertResult::TooLarge);
        QVERIFY2(result.reason().contains(problem), qPrintable(result.reason()));
    }
}

void TestEncoding::goldenFiles_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("goldenFile");

    QImage redBlue(2, 1, QImage::Format_RGB32);
    redBlue.setPixel(0, 0, qRgb(255, 0, 0));
    redBlue.setPixel(1, 0, qRgb(0, 0, 255));
    QTest::newRow("true color") << redBlue << int(CArray) << int(TrueColor) << "px"
                                << "truecolor_px.c";
    QTest::newRow("chroma keyed") << redBlue << int(CArray) << int(TrueColorChromaKeyed) << "px"
                                  << "chromakeyed_px.c";

    const QImage dot = filled(1, 1, qRgba(0xc8, 0x64, 0x32, 0x80));
    QTest::newRow("true color with alpha") << dot << int(CArray) << int(TrueColorAlpha) << "dot"
                                           << "alpha_dot.c";

    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(0xff, 0, 0, 0xff), qRgba(0xff, 0xff, 0xff, 0x80)});
    const int indices[2][3] = {{0, 1, 0}, {1, 1, 0}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x)
            indexed.setPixel(x, y, uint(indices[y][x]));
    }
    QTest::newRow("indexed 256 colors") << indexed << int(CArray) << int(Indexed256) << "idx"
                                        << "indexed_idx.c";

    const QImage pixels = filled(3, 2, qRgba(0xc8, 0x64, 0x32, 0x80));
    QTest::newRow("binary rgb332") << pixels << int(BinaryRgb332) << int(TrueColor) << "x"
                                   << "pixels_3x2_rgb332.bin";
    QTest::newRow("binary rgb565") << pixels << int(BinaryRgb565) << int(TrueColor) << "x"
                                   << "pixels_3x2_rgb565.bin";
    QTest::newRow("binary rgb565 swap") << pixels << int(BinaryRgb565Swap) << int(TrueColor) << "x"
                                        << "pixels_3x2_rgb565swap.bin";
    QTest::newRow("binary rgb888") << pixels << int(BinaryRgb888) << int(TrueColor) << "x"
                                   << "pixels_3x2_rgb888.bin";
}

void TestEncoding::goldenFiles()
{
    QFETCH(QImage, image);
    QFETCH(int, output);
    QFETCH(int, color);
    QFETCH(QString, symbol);
    QFETCH(QString, goldenFile);

    const QByteArray expected = golden(goldenFile);
    QVERIFY2(!expected.isEmpty(), qPrintable(goldenFile));
    QCOMPARE(encode(image, OutputFormat(output), ColorFormat(color), symbol), expected);

    // Written to a file, the bytes are the same (line ends are '\n' here).
    QTemporaryDir dir;
    const QString path = dir.filePath(symbol + outputExtension(OutputFormat(output)));
    QVERIFY(convertImage(image, OutputFormat(output), ColorFormat(color), path, symbol).ok());
#ifndef Q_OS_WIN
    QCOMPARE(readFile(path), expected);
#endif
}

void TestEncoding::authorLine()
{
    const QString line = QString::fromUtf8(engineAuthorLine());
    QVERIFY2(line.startsWith(QStringLiteral("* 作者:")), qPrintable(line));
    QVERIFY(line.contains(QString::fromUtf8(BRINDLEFORGE_AUTHOR)));
    QVERIFY(line.contains(QStringLiteral("(%1)").arg(QString::fromUtf8(BRINDLEFORGE_CONTACT))));
    QVERIFY(line.endsWith(QLatin1Char(' ')));
}

void TestEncoding::symbolsInFrame_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("symbol");

    QTest::newRow("base name up to the first dot") << "logo.small.c"
                                                   << "logo";
    QTest::newRow("dot file") << ".c"
                              << "image";
    QTest::newRow("hyphen") << "my-logo.c"
                            << "my_logo";
    QTest::newRow("leading digit") << "2x.c"
                                   << "img_2x";
    QTest::newRow("keyword") << "int.c"
                             << "int_";
}

void TestEncoding::symbolsInFrame()
{
    QFETCH(QString, fileName);
    QFETCH(QString, symbol);

    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    QVERIFY(convertImage(filled(2, 2, qRgb(1, 2, 3)), CArray, TrueColor, path).ok());
    const QByteArray text = readFile(path);
    const QByteArray name = symbol.toLatin1();
    QVERIFY(text.contains(
        QByteArray("\nconst LV_ATTRIBUTE_MEM_ALIGN uint8_t " + name + "_map[] = {\n")));
    QVERIFY(text.contains(QByteArray("\nconst lv_img_dsc_t " + name + " = {\n")));
    QVERIFY(text.contains(QByteArray("\n    .data = " + name + "_map,\n")));

    // An explicit symbol overrides the file name.
    QVERIFY(
        convertImage(filled(2, 2, qRgb(1, 2, 3)), CArray, TrueColor, path, QStringLiteral("splash"))
            .ok());
    QVERIFY(readFile(path).contains("\nconst lv_img_dsc_t splash = {\n"));
}

void TestEncoding::rowShape_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QList<int>>("valuesPerPixel");
    QTest::addColumn<QByteArray>("dataSizeLine");

    QTest::newRow("true color 1x1") << int(TrueColor) << 1 << 1 << QList<int> {1, 2, 2, 4}
                                    << QByteArray("    .data_size = 1 * LV_COLOR_SIZE / 8,");
    QTest::newRow("true color 7x3") << int(TrueColor) << 7 << 3 << QList<int> {1, 2, 2, 4}
                                    << QByteArray("    .data_size = 21 * LV_COLOR_SIZE / 8,");
    QTest::newRow("chroma keyed 5x2")
        << int(TrueColorChromaKeyed) << 5 << 2 << QList<int> {1, 2, 2, 4}
        << QByteArray("    .data_size = 10 * LV_COLOR_SIZE / 8,");
    QTest::newRow("alpha 10x4") << int(TrueColorAlpha) << 10 << 4 << QList<int> {2, 3, 3, 4}
                                << QByteArray("    .data_size = 40 * LV_IMG_PX_SIZE_ALPHA_BYTE,");
    QTest::newRow("alpha 1x1") << int(TrueColorAlpha) << 1 << 1 << QList<int> {2, 3, 3, 4}
                               << QByteArray("    .data_size = 1 * LV_IMG_PX_SIZE_ALPHA_BYTE,");
}

void TestEncoding::rowShape()
{
    QFETCH(int, color);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QList<int>, valuesPerPixel);
    QFETCH(QByteArray, dataSizeLine);

    const QByteArray text =
        encode(filled(width, height, qRgba(9, 99, 199, 77)), CArray, ColorFormat(color));
    for (int section = 1; section <= 4; ++section) {
        const QList<QByteArray> rows = sectionRows(text, section);
        QCOMPARE(rows.size(), height);
        for (const QByteArray &row : rows) {
            QCOMPARE(valueCount(row), width * valuesPerPixel.at(section - 1));
            QVERIFY(row.endsWith(", "));
        }
    }
    QVERIFY(lines(text).contains(dataSizeLine));
    QCOMPARE(text.count("#if "), 4);
    QCOMPARE(text.count("#endif"), 5); // four sections and the include block
    // The body follows the array head directly and "};" follows the last #endif.
    QVERIFY(text.contains("_map[] = {\n#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8\n"));
    QVERIFY(text.contains("\n#endif\n};\n\nconst lv_img_dsc_t "));
    QVERIFY(text.endsWith("};\n\n//end of file"));
}

void TestEncoding::truncation_data()
{
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<QByteArray>("rgb332");
    QTest::addColumn<QByteArray>("rgb565");

    // Components are cut, never rounded.
    QTest::newRow("below first step of 332")
        << qRgba(31, 31, 63, 0x10) << QByteArray("\x00\x10", 2) << QByteArray("\xe7\x18\x10", 3);
    QTest::newRow("7 31 63") << qRgba(7, 31, 63, 0xff) << QByteArray("\x00\xff", 2)
                             << QByteArray("\xe7\x00\xff", 3);
    QTest::newRow("7 3 7 is zero in 565")
        << qRgba(7, 3, 7, 0xff) << QByteArray("\x00\xff", 2) << QByteArray("\x00\x00\xff", 3);
    QTest::newRow("200 100 50") << qRgba(200, 100, 50, 0x80) << QByteArray("\xcc\x80", 2)
                                << QByteArray("\x26\xcb\x80", 3);
    QTest::newRow("white") << qRgba(255, 255, 255, 0xff) << QByteArray("\xff\xff", 2)
                           << QByteArray("\xff\xff\xff", 3);
    QTest::newRow("248 252 248 is white in 565")
        << qRgba(248, 252, 248, 0xff) << QByteArray("\xff\xff", 2) << QByteArray("\xff\xff\xff", 3);
}

void TestEncoding::truncation()
{
    QFETCH(QRgb, pixel);
    QFETCH(QByteArray, rgb332);
    QFETCH(QByteArray, rgb565);

    const QImage image = filled(1, 1, pixel);
    QCOMPARE(encode(image, BinaryRgb332, TrueColor).mid(4), rgb332);
    QCOMPARE(encode(image, BinaryRgb565, TrueColor).mid(4), rgb565);
    const QByteArray swapped = rgb565.mid(1, 1) + rgb565.left(1) + rgb565.mid(2);
    QCOMPARE(encode(image, BinaryRgb565Swap, TrueColor).mid(4), swapped);
}

void TestEncoding::trueColorIgnoresAlpha()
{
    QImage a(2, 1, QImage::Format_ARGB32);
    a.setPixel(0, 0, qRgba(10, 200, 30, 0));
    a.setPixel(1, 0, qRgba(10, 200, 30, 255));
    const QByteArray text = encode(a, CArray, TrueColorChromaKeyed);
    for (int section = 1; section <= 4; ++section) {
        const QByteArray row = sectionRows(text, section).value(0).mid(2);
        const int half = row.size() / 2;
        QCOMPARE(row.left(half), row.mid(half));
    }
    // A transparent pixel keeps its colour: no key colour replaces it.
    QCOMPARE(sectionRows(text, 4).value(0),
             "  " + hexValues({0x1e, 0xc8, 0x0a, 0xff, 0x1e, 0xc8, 0x0a, 0xff}));
}

void TestEncoding::chromaKeyWarnings_data()
{
    QTest::addColumn<QRgb>("row"); // the colour of row 2 of 15 x 5 of (200, 50, 50)
    QTest::addColumn<int>("depth"); // of a .bin; -1: a C array
    QTest::addColumn<QStringList>("depths"); // where 15 pixels take the key's value

    // 0x00FC00 is RGB565 0x07E0 and RGB332 0x1C, as the key 0x00FF00 is.
    const QRgb near = qRgb(0, 0xfc, 0);
    QTest::newRow("C array") << near << -1 << QStringList {"8", "16", "16 with LV_COLOR_16_SWAP"};
    QTest::newRow(".bin at depth 8") << near << 0 << QStringList {"8"};
    QTest::newRow("the key itself") << qRgb(0, 0xff, 0) << -1 << QStringList();
    QTest::newRow("transparent") << qRgba(0, 0xfc, 0, 0) << 1 << QStringList();
}

// A chroma-keyed output says, per depth, how many opaque pixels take the
// key's value there and so vanish on the device; it is written all the same.
void TestEncoding::chromaKeyWarnings()
{
    QFETCH(QRgb, row);
    QFETCH(int, depth);
    QFETCH(QStringList, depths);

    SourceImage source;
    source.image = filled(15, 5, qRgb(200, 50, 50));
    for (int x = 0; x < 15; ++x)
        source.image.setPixel(x, 2, row);
    OutputPlan outSpec;
    outSpec.row = Lvgl8::findFormat(QStringLiteral("chroma-keyed"));
    outSpec.binary = depth >= 0;
    outSpec.depth = ColorDepth(qMax(depth, 0));
    QByteArray bytes;
    const ConvertResult result = encodeSource(source, outSpec, QString(), &bytes);
    QVERIFY(result.ok() && !bytes.isEmpty());
    QStringList expected;
    for (const QString &at : depths) {
        expected << QStringLiteral("15 opaque pixels near the chroma key 0x00FF00 take its value "
                                   "at LV_COLOR_DEPTH %1 and are not drawn; choose a key colour "
                                   "the image does not use (LV_COLOR_CHROMA_KEY), or a format "
                                   "with alpha")
                        .arg(at);
    }
    QCOMPARE(result.warnings(), expected);
}

void TestEncoding::opaqueImageHasOpaqueAlpha_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("RGB32") << filled(3, 2, qRgb(1, 2, 3), QImage::Format_RGB32);
    QTest::newRow("RGB888") << filled(3, 2, qRgb(1, 2, 3), QImage::Format_RGB888);
    QTest::newRow("Grayscale8") << filled(3, 2, qRgb(9, 9, 9), QImage::Format_Grayscale8);
}

void TestEncoding::opaqueImageHasOpaqueAlpha()
{
    QFETCH(QImage, image);
    for (int output = BinaryRgb332; output <= BinaryRgb888; ++output) {
        const QByteArray bytes = encode(image, OutputFormat(output), TrueColor);
        const int perPixel = (bytes.size() - 4) / (image.width() * image.height());
        for (int i = 4 + perPixel - 1; i < bytes.size(); i += perPixel)
            QCOMPARE(quint8(bytes.at(i)), quint8(0xff));
    }
    const QByteArray text = encode(image, CArray, TrueColorAlpha);
    for (int section = 1; section <= 4; ++section) {
        for (const QByteArray &row : sectionRows(text, section)) {
            const QList<QByteArray> values = row.trimmed().split(' ');
            const int perPixel = values.size() / image.width();
            for (int i = perPixel - 1; i < values.size(); i += perPixel)
                QCOMPARE(values.at(i), QByteArray("0xff,"));
        }
    }
}

void TestEncoding::indexedPalette()
{
    QImage image(11, 1, QImage::Format_Indexed8);
    image.setColorTable({qRgba(1, 2, 3, 4), qRgba(5, 6, 7, 0x7f), qRgba(8, 9, 10, 0xff)});
    for (int x = 0; x < 11; ++x)
        image.setPixel(x, 0, uint(x % 3));

    const QList<QByteArray> text = lines(encode(image, CArray, Indexed256, QStringLiteral("p")));
    const int head = text.indexOf("const LV_ATTRIBUTE_MEM_ALIGN uint8_t p_map[] = {");
    QVERIFY(head > 0);
    // Three colours from the table, then zeros up to index 255; alpha as it is.
    QCOMPARE(text.at(head + 1), QByteArray("  0x03, 0x02, 0x01, 0x04, /*Color of index 0*/"));
    QCOMPARE(text.at(head + 2), QByteArray("  0x07, 0x06, 0x05, 0x7f, /*Color of index 1*/"));
    QCOMPARE(text.at(head + 3), QByteArray("  0x0a, 0x09, 0x08, 0xff, /*Color of index 2*/"));
    QCOMPARE(text.at(head + 4), QByteArray("  0x00, 0x00, 0x00, 0x00, /*Color of index 3*/"));
    QCOMPARE(text.at(head + 11), QByteArray("  0x00, 0x00, 0x00, 0x00, /*Color of index 10*/"));
    QCOMPARE(text.at(head + 256), QByteArray("  0x00, 0x00, 0x00, 0x00, /*Color of index 255*/"));
    QCOMPARE(text.at(head + 257), QByteArray());
    QCOMPARE(text.at(head + 258),
             QByteArray("  0x00, 0x01, 0x02, 0x00, 0x01, 0x02, 0x00, 0x01, 0x02, 0x00, 0x01, "));
    QCOMPARE(text.at(head + 259), QByteArray("};"));
    QVERIFY(text.contains("    .data_size = 1035,"));
    QVERIFY(text.contains("    .header.cf = LV_IMG_CF_INDEXED_8BIT,"));
    // No depth sections and no comments but the palette's.
    for (int i = head + 1; i < head + 260; ++i) {
        QVERIFY(!text.at(i).startsWith("#"));
        QVERIFY(!text.at(i).startsWith(" /*") && !text.at(i).startsWith("//"));
    }
}

void TestEncoding::indexedPaletteOfManyColours()
{
    // A photo has far more than 256 colours: it is reduced first, and the
    // array still holds exactly 256 palette lines and one index per pixel.
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) % 256));
    }
    const QByteArray text = encode(image, CArray, Indexed256);
    QCOMPARE(text.count("/*Color of index "), 256);
    QVERIFY(text.contains("    .data_size = 2224,"));
    const QImage reduced = image.convertToFormat(QImage::Format_Indexed8);
    QCOMPARE(reduced.colorCount(), 256);
    const QRgb last = reduced.color(255);
    const QList<QByteArray> all = lines(text);
    const int lastEntry =
        all.indexOf("  " + hexValues({qBlue(last), qGreen(last), qRed(last), qAlpha(last)})
                    + "/*Color of index 255*/");
    QVERIFY(lastEntry > 0);
    QCOMPARE(all.at(lastEntry + 1), QByteArray());
    QByteArray firstIndexRow = "  ";
    for (int x = 0; x < 40; ++x)
        firstIndexRow += hexValues({reduced.pixelIndex(x, 0)});
    QCOMPARE(all.at(lastEntry + 2), firstIndexRow);
}

void TestEncoding::binaryHeader_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QByteArray>("header");

    QTest::newRow("3x2") << 3 << 2 << QByteArray("\x05\x0c\x40\x00", 4);
    QTest::newRow("1x1") << 1 << 1 << QByteArray("\x05\x04\x20\x00", 4);
    QTest::newRow("2047x1") << 2047 << 1 << QByteArray("\x05\xfc\x3f\x00", 4);
    QTest::newRow("1x2047") << 1 << 2047 << QByteArray("\x05\x04\xe0\xff", 4);
}

void TestEncoding::binaryHeader()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QByteArray, header);

    const QImage image = filled(width, height, qRgba(1, 2, 3, 4));
    const int perPixel[] = {0, 2, 3, 3, 4};
    for (int output = BinaryRgb332; output <= BinaryRgb888; ++output) {
        const QByteArray bytes = encode(image, OutputFormat(output), TrueColor);
        QCOMPARE(bytes.left(4), header);
        QCOMPARE(bytes.size(), 4 + width * height * perPixel[output]);
    }
}

void TestEncoding::binaryIgnoresColorFormat()
{
    const QImage image = filled(4, 3, qRgba(100, 150, 200, 250));
    for (int output = BinaryRgb332; output <= BinaryRgb888; ++output) {
        const QByteArray plain = encode(image, OutputFormat(output), TrueColor);
        QCOMPARE(encode(image, OutputFormat(output), Indexed256), plain);
        QCOMPARE(encode(image, OutputFormat(output), TrueColorAlpha), plain);
    }
}

void TestEncoding::sizeLimit_data()
{
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("color");

    for (int color = TrueColor; color <= Indexed256; ++color)
        QTest::addRow("C array, %s", qPrintable(displayName(ColorFormat(color))))
            << int(CArray) << color;
    for (int output = BinaryRgb332; output <= BinaryRgb888; ++output)
        QTest::addRow("%s", qPrintable(displayName(OutputFormat(output)))) << output << 0;
}

void TestEncoding::sizeLimit()
{
    QFETCH(int, output);
    QFETCH(int, color);

    const QSize sizes[] = {{2047, 1}, {1, 2047}, {2048, 1}, {1, 2048}, {2048, 2048}};
    QTemporaryDir dir;
    for (const QSize size : sizes) {
        const QImage image = filled(size.width(), size.height(), qRgb(7, 8, 9));
        const QString path =
            dir.filePath(QStringLiteral("out_%1x%2").arg(size.width()).arg(size.height()));
        const ConvertResult result =
            convertImage(image, OutputFormat(output), ColorFormat(color), path);
        const bool fits = size.width() <= 2047 && size.height() <= 2047;
        QCOMPARE(result.ok(), fits);
        QCOMPARE(QFile::exists(path), fits);
        if (!fits) {
            QCOMPARE(result.status(), ConvertResult::TooLarge);
            QCOMPARE(result.imageSize(), size);
            const QString expected = QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
            QVERIFY2(result.message().contains(expected), qPrintable(result.message()));
            QVERIFY(result.message().contains(QLatin1String("2047")));
        }
    }
    // The two images that fit, and nothing else: no temporary files either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("out_1x2047"), QStringLiteral("out_2047x1")}));
}

void TestEncoding::versionLimits_data()
{
    QTest::addColumn<int>("lvgl");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("maxSide");

    QTest::newRow("v8 TRUE_COLOR") << 8 << "TRUE_COLOR" << 2047;
    QTest::newRow("v8 ALPHA_1BIT") << 8 << "ALPHA_1BIT" << 2047;
    QTest::newRow("v9 A8") << 9 << "A8" << 65535;
    QTest::newRow("v9 I1") << 9 << "I1" << 65535;
}

// A source is read up to the version's maxSide(); every side up to it must
// then pass that version's size check (for a format whose stride fits), and
// one more must not.
void TestEncoding::versionLimits()
{
    QFETCH(int, lvgl);
    QFETCH(QString, format);
    QFETCH(int, maxSide);

    OutputPlan plan;
    if (lvgl == 9)
        plan.row = Lvgl9::findFormat(format);
    else
        plan.row = Lvgl8::findFormat(format);
    const OutputVersion &version = OutputVersion::of(plan);
    QCOMPARE(QLatin1String(version.formatName(plan)), format);
    QCOMPARE(version.maxSide(), maxSide);
    QVERIFY(version.checkSize(plan, QSize(maxSide, maxSide), QString()).ok());
    for (const QSize size : {QSize(maxSide + 1, 1), QSize(1, maxSide + 1)}) {
        const ConvertResult result = version.checkSize(plan, size, QStringLiteral("big.png"));
        QCOMPARE(result.status(), ConvertResult::TooLarge);
        QCOMPARE(result.imageSize(), size);
    }
}

void TestEncoding::nullImage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("good.c"));
    {
        QFile good(path);
        QVERIFY(good.open(QIODevice::WriteOnly));
        good.write("good output");
    }
    for (int output = CArray; output <= BinaryRgb888; ++output) {
        const ConvertResult result = convertImage(QImage(), OutputFormat(output), TrueColor, path);
        QCOMPARE(result.status(), ConvertResult::NotDecodable);
        QVERIFY(result.message().contains(QLatin1String("cannot be decoded")));
    }
    QFile good(path);
    QVERIFY(good.open(QIODevice::ReadOnly));
    QCOMPARE(good.readAll(), QByteArray("good output"));
    QByteArray bytes = "old";
    QCOMPARE(encodeImage(QImage(), CArray, TrueColor, QStringLiteral("x"), &bytes).status(),
             ConvertResult::NotDecodable);
    QVERIFY(bytes.isEmpty());
}

void TestEncoding::noWriter()
{
    QByteArray bytes;
    QCOMPARE(
        encodeImage(filled(1, 1, 0), CArray, ColorFormat(4), QStringLiteral("x"), &bytes).status(),
        ConvertResult::NoWriter);
    QCOMPARE(encodeImage(filled(1, 1, 0), OutputFormat(5), TrueColor, QStringLiteral("x"), &bytes)
                 .status(),
             ConvertResult::NoWriter);
}

QTEST_GUILESS_MAIN(TestEncoding)
#include "tst_encoding.moc"
