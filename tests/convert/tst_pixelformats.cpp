#include <byteorder.h>
#include <converter.h>
#include <pixelrows.h>
#include <referenceencoder.h>
#include <testimages.h>

#include <QtTest>

#include <random>

using namespace Convert;

Q_DECLARE_METATYPE(QImage::Format)

namespace {

// QImage::pixelColor() warns once per pixel whose index lies past the
// colour table; the tests provoke that on purpose. Drops just that warning
// while it lives.
class QuietOutOfRangeWarnings
{
public:
    QuietOutOfRangeWarnings() { s_previous = qInstallMessageHandler(&filter); }
    ~QuietOutOfRangeWarnings() { qInstallMessageHandler(s_previous); }
    Q_DISABLE_COPY(QuietOutOfRangeWarnings)

private:
    static void filter(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg && text.contains(QLatin1String("out of range")))
            return;
        s_previous(type, context, text);
    }
    static QtMessageHandler s_previous;
};
QtMessageHandler QuietOutOfRangeWarnings::s_previous = nullptr;

// All 65536 (alpha, colour) pairs of a premultiplied 8-bit format, valid
// ones (colour <= alpha) and those no decoder makes.
QImage everyPremultipliedPair(QImage::Format format)
{
    QImage image(256, 256, format);
    for (int a = 0; a < 256; ++a) {
        uchar *line = image.scanLine(a);
        for (int c = 0; c < 256; ++c) {
            const uchar r = uchar(c), g = uchar(255 - c), b = uchar((c * 7) & 0xff);
            if (format == QImage::Format_ARGB32_Premultiplied) {
                reinterpret_cast<QRgb *>(line)[c] = qRgba(r, g, b, a);
            } else {
                line[4 * c] = r;
                line[4 * c + 1] = g;
                line[4 * c + 2] = b;
                line[4 * c + 3] = uchar(a);
            }
        }
    }
    return image;
}

// Saves image in the given file format and decodes it again, as the window
// and the command line decode their sources.
QImage roundTrip(const QImage &image, const char *fileFormat, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, fileFormat, quality))
        return QImage();
    return QImage::fromData(bytes, fileFormat);
}

// A BMP file with a BITMAPV4HEADER and BI_BITFIELDS masks, as drawing
// programs write 16-bit and 32-bit (with alpha) bitmaps. Qt cannot write
// these itself.
QImage bitfieldsBmp(int width, int height, int bitsPerPixel, const quint32 masks[4], quint32 seed)
{
    const int stride = (width * bitsPerPixel / 8 + 3) & ~3;
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 headerSize = 14 + 108;
    out << quint16(0x4d42) << quint32(headerSize + stride * height) << quint32(0) << headerSize;
    out << quint32(108) << qint32(width) << qint32(height) << quint16(1) << quint16(bitsPerPixel)
        << quint32(3) << quint32(stride * height) << qint32(2835) << qint32(2835) << quint32(0)
        << quint32(0);
    for (int i = 0; i < 4; ++i)
        out << masks[i];
    out << quint32(0x73524742); // LCS_sRGB
    for (int i = 0; i < 12; ++i)
        out << quint32(0); // endpoints and gamma
    std::mt19937 random(seed);
    for (int i = 0; i < stride * height; ++i)
        out << quint8(random());
    return QImage::fromData(file, "BMP");
}

} // namespace

class TestPixelFormats : public QObject
{
    Q_OBJECT

private slots:
    void sameAsPixelColor_data();
    void sameAsPixelColor();
    void byteOrder_data();
    void byteOrder();
};

void TestPixelFormats::sameAsPixelColor_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QImage::Format>("format");

    // Every format Qt has, with random bytes. The odd width exercises the
    // bit addressing of the 1-bit formats and the row padding of the
    // narrow ones.
    struct Random
    {
        QImage::Format format;
        int colors;
    };
    const Random randomRows[] = {
        {QImage::Format_Mono, 2},
        {QImage::Format_MonoLSB, 2},
        {QImage::Format_Indexed8, 256},
        {QImage::Format_RGB32, 0},
        {QImage::Format_ARGB32, 0},
        {QImage::Format_ARGB32_Premultiplied, 0},
        {QImage::Format_RGB16, 0},
        {QImage::Format_ARGB8565_Premultiplied, 0},
        {QImage::Format_RGB666, 0},
        {QImage::Format_ARGB6666_Premultiplied, 0},
        {QImage::Format_RGB555, 0},
        {QImage::Format_ARGB8555_Premultiplied, 0},
        {QImage::Format_RGB888, 0},
        {QImage::Format_RGB444, 0},
        {QImage::Format_ARGB4444_Premultiplied, 0},
        {QImage::Format_RGBX8888, 0},
        {QImage::Format_RGBA8888, 0},
        {QImage::Format_RGBA8888_Premultiplied, 0},
        {QImage::Format_BGR30, 0},
        {QImage::Format_A2BGR30_Premultiplied, 0},
        {QImage::Format_RGB30, 0},
        {QImage::Format_A2RGB30_Premultiplied, 0},
        {QImage::Format_Alpha8, 0},
        {QImage::Format_Grayscale8, 0},
        {QImage::Format_RGBX64, 0},
        {QImage::Format_RGBA64, 0},
        {QImage::Format_RGBA64_Premultiplied, 0},
        {QImage::Format_Grayscale16, 0},
        {QImage::Format_BGR888, 0},
#if QT_VERSION >= QT_VERSION_CHECK(6, 2, 0)
        // Floating-point formats, which Qt 6 adds; PixelRows reads them
        // through pixelColor().
        {QImage::Format_RGBX16FPx4, 0},
        {QImage::Format_RGBA16FPx4, 0},
        {QImage::Format_RGBA16FPx4_Premultiplied, 0},
        {QImage::Format_RGBX32FPx4, 0},
        {QImage::Format_RGBA32FPx4, 0},
        {QImage::Format_RGBA32FPx4_Premultiplied, 0},
#endif
    };
    const QMetaEnum formats = QMetaEnum::fromType<QImage::Format>();
    quint32 seed = 1;
    for (const Random &row : randomRows) {
        QTest::addRow("random %s", formats.valueToKey(row.format))
            << TestImages::randomBytes(row.format, 37, 5, seed++, row.colors) << row.format;
    }

    // Indices past the end of the colour table read as transparent black.
    QTest::newRow("Indexed8, short colour table")
        << TestImages::randomBytes(QImage::Format_Indexed8, 37, 5, 100, 200)
        << QImage::Format_Indexed8;
    QTest::newRow("Mono, one colour")
        << TestImages::randomBytes(QImage::Format_Mono, 37, 5, 101, 1) << QImage::Format_Mono;
    QTest::newRow("Indexed8, no colour table")
        << TestImages::randomBytes(QImage::Format_Indexed8, 9, 3, 102, 0)
        << QImage::Format_Indexed8;

    // Qt unpremultiplies at 16 bits and rounds back, which differs from an
    // 8-bit unpremultiply for many pairs.
    QTest::newRow("ARGB32_Premultiplied, every pair")
        << everyPremultipliedPair(QImage::Format_ARGB32_Premultiplied)
        << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("RGBA8888_Premultiplied, every pair")
        << everyPremultipliedPair(QImage::Format_RGBA8888_Premultiplied)
        << QImage::Format_RGBA8888_Premultiplied;

    // What the image readers actually produce.
    const QImage photo = TestImages::photo(61, 23, 7);
    QTest::newRow("PNG RGBA") << roundTrip(photo, "PNG") << QImage::Format_ARGB32;
    QTest::newRow("PNG RGB") << roundTrip(photo.convertToFormat(QImage::Format_RGB32), "PNG")
                             << QImage::Format_RGB32;
    QTest::newRow("PNG 16-bit RGBA")
        << roundTrip(TestImages::randomBytes(QImage::Format_RGBA64, 37, 5, 200), "PNG")
        << QImage::Format_RGBA64;
    QTest::newRow("PNG 16-bit RGB")
        << roundTrip(TestImages::randomBytes(QImage::Format_RGBX64, 37, 5, 201), "PNG")
        << QImage::Format_RGBX64;
    QTest::newRow("PNG 16-bit gray")
        << roundTrip(TestImages::randomBytes(QImage::Format_Grayscale16, 37, 5, 202), "PNG")
        << QImage::Format_Grayscale16;
    QTest::newRow("PNG 8-bit gray")
        << roundTrip(TestImages::randomBytes(QImage::Format_Grayscale8, 37, 5, 203), "PNG")
        << QImage::Format_Grayscale8;
    QTest::newRow("PNG palette with alpha")
        << roundTrip(photo.convertToFormat(QImage::Format_Indexed8), "PNG")
        << QImage::Format_Indexed8;
    QTest::newRow("PNG 1-bit") << roundTrip(photo.convertToFormat(QImage::Format_Mono), "PNG")
                               << QImage::Format_Mono;
    QTest::newRow("JPEG") << roundTrip(photo.convertToFormat(QImage::Format_RGB32), "JPEG", 90)
                          << QImage::Format_RGB32;
    QTest::newRow("JPEG gray") << roundTrip(photo.convertToFormat(QImage::Format_Grayscale8),
                                            "JPEG", 90)
                               << QImage::Format_Grayscale8;
    QTest::newRow("BMP 24-bit") << roundTrip(photo.convertToFormat(QImage::Format_RGB32), "BMP")
                                << QImage::Format_RGB32;
    const quint32 argbMasks[4] = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
    QTest::newRow("BMP 32-bit with alpha")
        << bitfieldsBmp(37, 5, 32, argbMasks, 300) << QImage::Format_ARGB32;
    const quint32 rgb565Masks[4] = {0xf800, 0x07e0, 0x001f, 0};
    QTest::newRow("BMP 16-bit 565")
        << bitfieldsBmp(37, 5, 16, rgb565Masks, 301) << QImage::Format_RGB32;
    QTest::newRow("BMP 8-bit") << roundTrip(photo.convertToFormat(QImage::Format_Indexed8), "BMP")
                               << QImage::Format_Indexed8;
    QTest::newRow("BMP 1-bit") << roundTrip(photo.convertToFormat(QImage::Format_Mono), "BMP")
                               << QImage::Format_Mono;
}

void TestPixelFormats::sameAsPixelColor()
{
    QFETCH(QImage, image);
    QFETCH(QImage::Format, format);

    QVERIFY(!image.isNull());
    QCOMPARE(image.format(), format);
    QuietOutOfRangeWarnings quiet;

    // The row reader gives pixelColor()'s components, pixel by pixel.
    PixelRows rows(image);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *row = rows.row(y);
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const QColor expected(qBound(0, c.red(), 255), qBound(0, c.green(), 255),
                                  qBound(0, c.blue(), 255), qBound(0, c.alpha(), 255));
            const QRgb got = row[x];
            if (qRed(got) != expected.red() || qGreen(got) != expected.green()
                || qBlue(got) != expected.blue() || qAlpha(got) != expected.alpha()) {
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): got %3, pixelColor gives %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(got, 8, 16, QLatin1Char('0'))
                                     .arg(expected.rgba(), 8, 16, QLatin1Char('0'))));
            }
        }
    }

    // And every output equals the plain per-pixel encoding.
    const struct
    {
        OutputFormat output;
        ColorFormat color;
    } outputs[] = {
        {CArray, TrueColor},           {CArray, TrueColorAlpha},  {CArray, TrueColorChromaKeyed},
        {CArray, Indexed256},          {BinaryRgb332, TrueColor}, {BinaryRgb565, TrueColor},
        {BinaryRgb565Swap, TrueColor}, {BinaryRgb888, TrueColor},
    };
    for (const auto &o : outputs) {
        QByteArray bytes;
        QVERIFY(encodeImage(image, o.output, o.color, QStringLiteral("pic"), &bytes).ok());
        const QByteArray expected =
            referenceEncode(image, o.output, o.color, QStringLiteral("pic"));
        if (bytes != expected) {
            int i = 0;
            while (i < bytes.size() && i < expected.size() && bytes.at(i) == expected.at(i))
                ++i;
            QFAIL(qPrintable(
                QStringLiteral("%1 / %2 differs from byte %3: ...%4... instead of ...%5...")
                    .arg(displayName(o.output), displayName(o.color))
                    .arg(i)
                    .arg(QString::fromUtf8(bytes.mid(qMax(0, i - 20), 40)),
                         QString::fromUtf8(expected.mid(qMax(0, i - 20), 40)))));
        }
    }
}

void TestPixelFormats::byteOrder_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("le16") << 2 << false << QByteArray::fromHex("3412");
    QTest::newRow("le32") << 4 << false << QByteArray::fromHex("78563412");
    QTest::newRow("be16") << 2 << true << QByteArray::fromHex("1234");
    QTest::newRow("be32") << 4 << true << QByteArray::fromHex("12345678");
}

// The readers and writers agree with the layout spelled out byte by byte,
// and putLittle() stores the same bytes as putLe32() and zeroes the rest.
void TestPixelFormats::byteOrder()
{
    QFETCH(int, width);
    QFETCH(bool, bigEndian);
    QFETCH(QByteArray, bytes);

    const quint32 value = width == 2 ? 0x1234u : 0x12345678u;
    const auto *in = reinterpret_cast<const uchar *>(bytes.constData());
    const quint32 read =
        width == 2 ? (bigEndian ? be16(in) : le16(in)) : (bigEndian ? be32(in) : le32(in));
    QCOMPARE(read, value);

    uchar out[4] = {0xee, 0xee, 0xee, 0xee};
    if (width == 2)
        bigEndian ? putBe16(out, quint16(value)) : putLe16(out, quint16(value));
    else
        bigEndian ? putBe32(out, value) : putLe32(out, value);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(out), width), bytes);
    if (width == 2)
        QCOMPARE(out[2], uchar(0xee)); // nothing past the field

    if (bigEndian)
        return;
    uchar word[4] = {0xee, 0xee, 0xee, 0xee};
    QCOMPARE(putLittle(word, value, width), word + width);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(word), 4),
             bytes + QByteArray(4 - width, '\0'));
}

QTEST_GUILESS_MAIN(TestPixelFormats)
#include "tst_pixelformats.moc"
