#include <quantizer.h>
#include <sharedpalette.h>
#include <testimages.h>

#include <QtTest>

#include <dlfcn.h>

#include <thread>

using namespace Convert;

namespace {

int distinctColours(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixelColor(x, y).rgba());
    }
    return colours.size();
}

QRgb paletteColour(const IndexedImage &result, int x, int y)
{
    return result.palette.value(result.indices.pixelIndex(x, y), 0x12345678);
}

// The colour over a black or white background, premultiplied by its alpha.
double composited(int channel, int alpha, int background)
{
    return (channel * alpha + background * (255 - alpha)) / 255.0;
}

// Mean per-channel difference between source and the palette colour of
// each pixel, over black and over white, after averaging both over
// box x box blocks (box 1: pixel by pixel).
double meanError(const QImage &source, const IndexedImage &result, int box = 1)
{
    double total = 0;
    int samples = 0;
    for (int by = 0; by + box <= source.height(); by += box) {
        for (int bx = 0; bx + box <= source.width(); bx += box) {
            for (const int background : {0, 255}) {
                double s[3] = {}, p[3] = {};
                for (int y = by; y < by + box; ++y) {
                    for (int x = bx; x < bx + box; ++x) {
                        const QRgb a = source.pixelColor(x, y).rgba();
                        const QRgb b = paletteColour(result, x, y);
                        const int sc[3] = {qRed(a), qGreen(a), qBlue(a)};
                        const int pc[3] = {qRed(b), qGreen(b), qBlue(b)};
                        for (int c = 0; c < 3; ++c) {
                            s[c] += composited(sc[c], qAlpha(a), background);
                            p[c] += composited(pc[c], qAlpha(b), background);
                        }
                    }
                }
                for (int c = 0; c < 3; ++c)
                    total += qAbs(s[c] - p[c]) / (box * box);
                samples += 3;
            }
        }
    }
    return total / samples;
}

// count colours with zero, partial and full alpha (distinct by red alone),
// laid out so that they first appear in an order other than their own.
QImage withColours(int count, QImage::Format format)
{
    QVector<QRgb> colours;
    for (int i = 0; i < count; ++i) {
        const int alpha = i % 3 == 0 ? 0 : i % 3 == 1 ? 255 : (i * 41) % 254 + 1;
        colours << qRgba((i * 53) % 256, (i * 101) % 256, (i * 151) % 256, alpha);
    }
    QImage image(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colours[(x * 7 + y * 97 + (x * y) % 5) % count]);
    }
    return format == QImage::Format_Indexed8 ? image.convertToFormat(format, colours)
                                             : image.convertToFormat(format);
}

// OpenMP's own setting for the calling thread, looked up like the engine
// does; null where libimagequant runs without OpenMP.
void setOpenMpThreads(int count)
{
    using SetNumThreads = void (*)(int);
    static const auto set =
        reinterpret_cast<SetNumThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (set)
        set(count);
}

} // namespace

class TestQuantizer : public QObject
{
    Q_OBJECT

private slots:
    void exactColours_data();
    void exactColours();
    void beatsToolkit_data();
    void beatsToolkit();
    void toolkitIsQt_data();
    void toolkitIsQt();
    void sameOnEveryThread();
    void ditherKeepsLocalAverage_data();
    void ditherKeepsLocalAverage();
    void libraryFailureFallsBack();
    void refusals_data();
    void refusals();
    void sharedPaletteOverFrames_data();
    void sharedPaletteOverFrames();
};

void TestQuantizer::exactColours_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("colors");
    QTest::addColumn<int>("distinct");

    QTest::newRow("2 of 2") << withColours(2, QImage::Format_ARGB32) << 2 << 2;
    QTest::newRow("4 of 4") << withColours(4, QImage::Format_ARGB32) << 4 << 4;
    QTest::newRow("16 of 16") << withColours(16, QImage::Format_ARGB32) << 16 << 16;
    QTest::newRow("256 of 256") << withColours(256, QImage::Format_ARGB32) << 256 << 256;
    QTest::newRow("3 into 4") << withColours(3, QImage::Format_ARGB32) << 4 << 3;
    QTest::newRow("16 of 16, RGBA8888") << withColours(16, QImage::Format_RGBA8888) << 16 << 16;
    QTest::newRow("256 of 256, indexed") << withColours(256, QImage::Format_Indexed8) << 256 << 256;
    QTest::newRow("139 of 256, soft icon") << TestImages::softIcon(64) << 256 << 139;
}

void TestQuantizer::exactColours()
{
    QFETCH(QImage, image);
    QFETCH(int, colors);
    QFETCH(int, distinct);

    QVector<QRgb> firstSeen;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb colour = image.pixelColor(x, y).rgba();
            if (!firstSeen.contains(colour))
                firstSeen << colour;
        }
    }
    QCOMPARE(firstSeen.size(), distinct);

    const IndexedImage result = quantize(image, colors, QuantizerKind::Best, false);
    QCOMPARE(result.palette, firstSeen);
    QCOMPARE(result.indices.colorTable(), firstSeen);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(paletteColour(result, x, y), image.pixelColor(x, y).rgba());
    }
    const IndexedImage dithered = quantize(image, colors, QuantizerKind::Best, true);
    QCOMPARE(dithered.palette, result.palette);
    QCOMPARE(dithered.indices, result.indices);
}

void TestQuantizer::beatsToolkit_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("dither");

    // The photo has over 256 colours and an alpha ramp at the rim.
    const QImage photo = TestImages::photo(160, 120);
    QTest::newRow("photo") << photo << false;
    QTest::newRow("photo, dithered") << photo << true;
    QTest::newRow("premultiplied photo")
        << photo.convertToFormat(QImage::Format_ARGB32_Premultiplied) << false;
}

void TestQuantizer::beatsToolkit()
{
    QFETCH(QImage, image);
    QFETCH(bool, dither);

    QVERIFY(distinctColours(image) > 256);
    QVERIFY(image.pixelColor(0, 0).alpha() == 0 && image.hasAlphaChannel());
    const double best = meanError(image, quantize(image, 256, QuantizerKind::Best, dither));
    const double toolkit = meanError(image, quantize(image, 256, QuantizerKind::Toolkit, false));
    QVERIFY2(best < toolkit / 4, qPrintable(QStringLiteral("%1 vs %2").arg(best).arg(toolkit)));
}

void TestQuantizer::toolkitIsQt_data()
{
    QTest::addColumn<QImage>("image");

    QTest::newRow("photo") << TestImages::photo(97, 61);
    QTest::newRow("soft icon") << TestImages::softIcon(40);
    QTest::newRow("opaque RGB32") << TestImages::photo(50, 40).convertToFormat(
        QImage::Format_RGB32);
    QTest::newRow("indexed") << withColours(200, QImage::Format_Indexed8);
    QTest::newRow("grayscale") << TestImages::photo(30, 30).convertToFormat(
        QImage::Format_Grayscale8);
}

void TestQuantizer::toolkitIsQt()
{
    QFETCH(QImage, image);

    const QImage qt = image.convertToFormat(QImage::Format_Indexed8);
    for (const bool dither : {false, true}) {
        const IndexedImage result = quantize(image, 256, QuantizerKind::Toolkit, dither);
        QCOMPARE(result.indices, qt);
        QCOMPARE(result.indices.colorTable(), qt.colorTable());
        QCOMPARE(result.palette, qt.colorTable());
    }
}

void TestQuantizer::sameOnEveryThread()
{
    // Large enough for the speed at which libimagequant's dithering depends
    // on its OpenMP thread count, which the two workers set differently.
    const QImage image = TestImages::photo(600, 500);
    const IndexedImage reference = quantize(image, 16, QuantizerKind::Best, true);
    QCOMPARE(reference.palette.size(), 16);

    const int runs = 4;
    QVector<IndexedImage> results[2];
    std::thread workers[2];
    for (int w = 0; w < 2; ++w) {
        workers[w] = std::thread([&image, &results, w] {
            setOpenMpThreads(w == 0 ? 1 : 3);
            for (int i = 0; i < runs; ++i)
                results[w] << quantize(image, 16, QuantizerKind::Best, true);
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    for (const QVector<IndexedImage> &list : results) {
        QCOMPARE(list.size(), runs);
        for (const IndexedImage &result : list) {
            QCOMPARE(result.palette, reference.palette);
            QCOMPARE(result.indices, reference.indices);
        }
    }
}

void TestQuantizer::ditherKeepsLocalAverage_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("colors");

    QImage grey(256, 32, QImage::Format_ARGB32);
    QImage colour(grey.size(), grey.format());
    QImage fading(grey.size(), grey.format());
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            grey.setPixel(x, y, qRgb(x, x, x));
            colour.setPixel(x, y, qRgb(x, 255 - x, (x + 4 * y) % 256));
            fading.setPixel(x, y, qRgba(200, 60, 20, x));
        }
    }
    QTest::newRow("grey ramp, 4") << grey << 4;
    QTest::newRow("grey ramp, 16") << grey << 16;
    QTest::newRow("colour ramp, 16") << colour << 16;
    QTest::newRow("alpha ramp, 4") << fading << 4;
}

void TestQuantizer::ditherKeepsLocalAverage()
{
    QFETCH(QImage, image);
    QFETCH(int, colors);

    const double plain = meanError(image, quantize(image, colors, QuantizerKind::Best, false), 4);
    const double dithered = meanError(image, quantize(image, colors, QuantizerKind::Best, true), 4);
    QVERIFY2(dithered < plain * 0.75,
             qPrintable(QStringLiteral("%1 vs %2").arg(dithered).arg(plain)));
}

void TestQuantizer::libraryFailureFallsBack()
{
    // libimagequant refuses images wider than 8388607 pixels; the result
    // then comes from colours sampled from the image itself.
    QVector<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table << qRgba(i, 255 - i, (i * 7) % 256, 128 + i / 2);
    QImage image(8388608, 1, QImage::Format_Indexed8);
    QVERIFY(!image.isNull());
    image.setColorTable(table);
    uchar *line = image.scanLine(0);
    for (int x = 0; x < image.width(); ++x)
        line[x] = uchar((x / 3) % 256);

    const IndexedImage result = quantize(image, 16, QuantizerKind::Best, true);
    QCOMPARE(result.palette.size(), 16);
    for (const QRgb colour : result.palette)
        QVERIFY(table.contains(colour));
    const uchar *indices = result.indices.constScanLine(0);
    for (int x = 0; x < image.width(); ++x) {
        QVERIFY(indices[x] < result.palette.size());
        if (result.palette.contains(table[line[x]]))
            QCOMPARE(result.palette[indices[x]], table[line[x]]);
    }
    const IndexedImage again = quantize(image, 16, QuantizerKind::Best, true);
    QCOMPARE(again.palette, result.palette);
    QCOMPARE(again.indices, result.indices);
}

void TestQuantizer::refusals_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("colors");
    QTest::addColumn<int>("kind");

    const QImage photo = TestImages::photo(20, 20);
    QTest::newRow("null image") << QImage() << 16 << int(QuantizerKind::Best);
    QTest::newRow("1 colour") << photo << 1 << int(QuantizerKind::Best);
    QTest::newRow("257 colours") << photo << 257 << int(QuantizerKind::Best);
    QTest::newRow("toolkit, 16 colours") << photo << 16 << int(QuantizerKind::Toolkit);
}

void TestQuantizer::refusals()
{
    QFETCH(QImage, image);
    QFETCH(int, colors);
    QFETCH(int, kind);

    const IndexedImage result = quantize(image, colors, QuantizerKind(kind), false);
    QVERIFY(result.indices.isNull());
    QVERIFY(result.palette.isEmpty());
}

void TestQuantizer::sharedPaletteOverFrames_data()
{
    QTest::addColumn<QVector<QImage>>("frames");
    QTest::addColumn<int>("colors");
    QTest::addColumn<bool>("dither");
    QTest::addColumn<bool>("exact"); // every frame's colours are in the palette as they are
    QTest::addColumn<double>("maxError"); // mean per channel, 4 x 4 blocks

    // Two colours each, four together: alone, each frame's palette would
    // hold only its own two.
    const auto solid = [](QRgb a, QRgb b) {
        QImage image(8, 6, QImage::Format_ARGB32);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 8; ++x)
                image.setPixel(x, y, (x + y) % 2 ? a : b);
        }
        return image;
    };
    QTest::newRow("2 + 2 colours into 4: exactly their union")
        << QVector<QImage> {solid(qRgb(255, 0, 0), qRgba(0, 0, 0, 0)),
                            solid(qRgb(0, 0, 255), qRgba(9, 200, 9, 128))}
        << 4 << false << true << 0.0;
    QTest::newRow("256 colours over three frames: exactly")
        << QVector<QImage> {withColours(100, QImage::Format_ARGB32),
                            withColours(256, QImage::Format_ARGB32),
                            withColours(7, QImage::Format_ARGB32)}
        << 256 << false << true << 0.0;
    QVector<QImage> photos;
    for (int i = 0; i < 6; ++i)
        photos << TestImages::photo(60, 40, quint32(i + 1));
    QTest::newRow("six photos into 256") << photos << 256 << false << false << 1.5;
    QTest::newRow("six photos into 16, dithered") << photos << 16 << true << false << 5.0;
}

// One palette for several frames: no larger than asked, the same for every
// frame, exact where the frames hold few colours together, and close to
// each frame otherwise; the mapping uses its entries only.
void TestQuantizer::sharedPaletteOverFrames()
{
    QFETCH(QVector<QImage>, frames);
    QFETCH(int, colors);
    QFETCH(bool, dither);
    QFETCH(bool, exact);
    QFETCH(double, maxError);

    const QVector<QRgb> palette = sharedPalette(frames, colors, QuantizerKind::Best);
    QVERIFY(!palette.isEmpty());
    QVERIFY(palette.size() <= colors);
    QCOMPARE(sharedPalette(frames, colors, QuantizerKind::Best), palette);
    for (const QImage &frame : qAsConst(frames)) {
        const IndexedImage mapped = mapToPalette(frame, palette, dither);
        QCOMPARE(mapped.palette, palette);
        QCOMPARE(mapped.indices.size(), frame.size());
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                QVERIFY(mapped.indices.pixelIndex(x, y) < palette.size());
                if (exact)
                    QCOMPARE(paletteColour(mapped, x, y), frame.pixelColor(x, y).rgba());
            }
        }
        const double error = meanError(frame, mapped, 4);
        QVERIFY2(error <= maxError, qPrintable(QString::number(error)));
    }
}

QTEST_GUILESS_MAIN(TestQuantizer)
#include "tst_quantizer.moc"
