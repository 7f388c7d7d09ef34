#include <converter.h>
#include <formats.h>
#include <imagetransform.h>
#include <transformplan.h>

#include <QtTest>

using namespace Convert;

Q_DECLARE_METATYPE(QImage::Format)
Q_DECLARE_METATYPE(Convert::ConvertResult::Status)

namespace {

// A 3 x 2 image whose pixels are the letters
//   a b c
//   d e f
// each a grey of its own, so that every format below keeps them apart.
QImage lettersImage(QImage::Format format)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const int grey = 40 + 30 * (y * 3 + x);
            image.setPixel(x, y, qRgba(grey, grey, grey, 255));
        }
    }
    return image.convertToFormat(format);
}

// The pixel of lettersImage() that letter names.
QRgb letterPixel(const QImage &letters, char letter)
{
    const int index = letter - 'a';
    return letters.pixel(index % 3, index / 3);
}

// An image of size whose pixels are fully transparent green, but for the
// visible rectangles, of alpha.
QImage transparentImage(QSize size, const QVector<QRect> &visible, int alpha = 255)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(qRgba(0, 255, 0, 0));
    for (const QRect &rect : visible) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x)
                image.setPixel(x, y, qRgba(255, 0, 0, alpha));
        }
    }
    return image;
}

TransformPlan parsed(const QStringList &options)
{
    TransformPlan plan;
    for (int i = 0; i + 1 < options.size(); i += 2) {
        const QString &option = options.at(i);
        const QString &value = options.at(i + 1);
        QString error;
        if (option == QLatin1String("crop"))
            error = TransformPlan::parseCrop(value, &plan);
        else if (option == QLatin1String("rotate"))
            error = TransformPlan::parseRotation(value, &plan);
        else if (option == QLatin1String("flip"))
            error = TransformPlan::parseFlip(value, &plan);
        else if (option == QLatin1String("trim"))
            plan.trim = value == QLatin1String("on");
        else
            error = TransformPlan::parseScaling(option, value, &plan);
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
    }
    return plan;
}

} // namespace

class TestTransforms : public QObject
{
    Q_OBJECT

private slots:
    void pixelsMoved_data();
    void pixelsMoved();
    void trimMargins_data();
    void trimMargins();
    void sizes_data();
    void sizes();
    void premultipliedResample_data();
    void premultipliedResample();
    void failures_data();
    void failures();
    void noTransformTouchesNothing();
};

void TestTransforms::pixelsMoved_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QString>("expected"); // rows of letters of lettersImage(), '/' between

    const struct
    {
        const char *name;
        const char *options;
        const char *expected;
    } moves[] = {
        {"rotate 90", "rotate 90", "da/eb/fc"},
        {"rotate 180", "rotate 180", "fed/cba"},
        {"rotate 270", "rotate 270", "cf/be/ad"},
        {"flip h", "flip h", "cba/fed"},
        {"flip v", "flip v", "def/abc"},
        {"rotate 90, then flip h", "rotate 90 flip h", "ad/be/cf"},
        {"rotate 180, then flip v", "rotate 180 flip v", "cba/fed"},
        {"crop", "crop 1,0,2,2", "bc/ef"},
        {"crop one pixel", "crop 2,1,1,1", "f"},
        {"crop a row, then rotate 90", "crop 1,0,2,1 rotate 90", "b/c"},
        {"crop the whole image", "crop 0,0,3,2", "abc/def"},
    };
    const struct
    {
        const char *name;
        QImage::Format format;
    } formats[] = {
        {"ARGB32", QImage::Format_ARGB32},         {"RGB32", QImage::Format_RGB32},
        {"RGB888", QImage::Format_RGB888},         {"RGBA64", QImage::Format_RGBA64},
        {"Grayscale8", QImage::Format_Grayscale8}, {"Indexed8", QImage::Format_Indexed8}};
    for (const auto &move : moves) {
        for (const auto &format : formats) {
            QTest::addRow("%s, %s", move.name, format.name)
                << QString::fromLatin1(move.options).split(QLatin1Char(' ')) << format.format
                << QString::fromLatin1(move.expected);
        }
    }
}

// Crops, quarter turns and mirrors move pixels exactly, in any format.
void TestTransforms::pixelsMoved()
{
    QFETCH(QStringList, options);
    QFETCH(QImage::Format, format);
    QFETCH(QString, expected);

    const QImage letters = lettersImage(format);
    QCOMPARE(letters.format(), format);
    QImage image = letters;
    TransformReport report;
    const ConvertResult result =
        applyTransforms(parsed(options), letters.size(), QStringLiteral("in.png"), &image, &report);
    QVERIFY2(result.ok(), qPrintable(result.reason()));

    const QStringList rows = expected.split(QLatin1Char('/'));
    QCOMPARE(image.size(), QSize(rows.first().size(), rows.size()));
    QCOMPARE(report.finalSize, image.size());
    for (int y = 0; y < rows.size(); ++y) {
        for (int x = 0; x < rows.at(y).size(); ++x) {
            const char letter = rows.at(y).at(x).toLatin1();
            QVERIFY2(
                image.pixel(x, y) == letterPixel(letters, letter),
                qPrintable(
                    QStringLiteral("(%1, %2) is not %3").arg(x).arg(y).arg(QLatin1Char(letter))));
        }
    }
}

void TestTransforms::trimMargins_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QVector<int>>("cut"); // left, top, right, bottom
    QTest::addColumn<QSize>("size");

    const QStringList trim = {"trim", "on"};
    QTest::newRow("one pixel") << transparentImage({7, 5}, {QRect(2, 3, 1, 1)}) << trim
                               << QVector<int> {2, 3, 4, 1} << QSize(1, 1);
    QTest::newRow("visible at every border") << transparentImage(
        {6, 4}, {QRect(0, 1, 1, 1), QRect(5, 2, 1, 1), QRect(3, 0, 1, 1), QRect(1, 3, 1, 1)})
                                             << trim << QVector<int> {0, 0, 0, 0} << QSize(6, 4);
    QTest::newRow("two shapes keep the box around both")
        << transparentImage({20, 10}, {QRect(3, 2, 2, 2), QRect(12, 6, 4, 1)}) << trim
        << QVector<int> {3, 2, 4, 3} << QSize(13, 5);
    QTest::newRow("alpha 1 is visible") << transparentImage({9, 9}, {QRect(4, 1, 3, 2)}, 1) << trim
                                        << QVector<int> {4, 1, 2, 6} << QSize(3, 2);
    QTest::newRow("after a crop") << transparentImage({20, 10},
                                                      {QRect(3, 2, 2, 2), QRect(12, 6, 4, 1)})
                                  << QStringList {"crop", "10,0,10,10", "trim", "on"}
                                  << QVector<int> {2, 6, 4, 3} << QSize(4, 1);
    QTest::newRow("an image without alpha keeps its borders")
        << transparentImage({5, 4}, {QRect(1, 1, 1, 1)}).convertToFormat(QImage::Format_RGB32)
        << trim << QVector<int> {0, 0, 0, 0} << QSize(5, 4);
    QTest::newRow("16 bits a channel")
        << transparentImage({8, 8}, {QRect(1, 2, 3, 4)}).convertToFormat(QImage::Format_RGBA64)
        << trim << QVector<int> {1, 2, 4, 2} << QSize(3, 4);
}

// Trim cuts the fully transparent rows and columns at the borders, and says
// how many on each side.
void TestTransforms::trimMargins()
{
    QFETCH(QImage, image);
    QFETCH(QStringList, options);
    QFETCH(QVector<int>, cut);
    QFETCH(QSize, size);

    TransformReport report;
    QImage trimmed = image;
    const ConvertResult result =
        applyTransforms(parsed(options), image.size(), QStringLiteral("in.png"), &trimmed, &report);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QCOMPARE(QVector<int>({report.trimLeft, report.trimTop, report.trimRight, report.trimBottom}),
             cut);
    QCOMPARE(trimmed.size(), size);
    QCOMPARE(report.finalSize, size);
    QCOMPARE(trimNote(report),
             QStringLiteral("--trim cut %1 pixels on the left, %2 at the top, %3 on the right and "
                            "%4 at the bottom")
                 .arg(cut[0])
                 .arg(cut[1])
                 .arg(cut[2])
                 .arg(cut[3]));
}

void TestTransforms::sizes_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("own");
    QTest::addColumn<QSize>("final");
    QTest::addColumn<QSize>("wanted"); // what the decoder is asked for

    const auto row = [](const char *name, const char *options, QSize own, QSize final,
                        QSize wanted) {
        QTest::newRow(name) << QString::fromLatin1(options).split(QLatin1Char(' ')) << own << final
                            << wanted;
    };
    row("fit, height-bound", "fit 480x320", {4000, 3000}, {427, 320}, {427, 320});
    row("fit, width-bound", "fit 240x320", {4000, 3000}, {240, 180}, {240, 180});
    row("fit, width only", "fit 240x", {1000, 500}, {240, 120}, {240, 120});
    row("fit, height only", "fit x100", {1000, 500}, {200, 100}, {200, 100});
    row("fit enlarges", "fit 100x100", {20, 10}, {100, 50}, {100, 50});
    row("fit, same aspect fills the box", "fit 64x32", {200, 100}, {64, 32}, {64, 32});
    row("resize is exact", "resize 50x60", {1000, 500}, {50, 60}, {50, 60});
    row("resize, height only", "resize x100", {333, 1000}, {33, 100}, {33, 100});
    row("a half rounds up", "resize 3x", {2, 1}, {3, 2}, {3, 2});
    row("a side never rounds to 0", "fit 10x", {1000, 1}, {10, 1}, {10, 1});
    row("rotate 90 swaps, the decoder is asked unturned", "rotate 90 fit 100x", {400, 200},
        {100, 200}, {200, 100});
    row("rotate 270 without scaling", "rotate 270", {30, 20}, {20, 30}, {30, 20});
    row("flip keeps the size", "flip v resize 8x8", {30, 20}, {8, 8}, {8, 8});
    row("crop: decoded at its own size", "crop 0,0,100,50 fit 10x", {400, 200}, {10, 5},
        {400, 200});
    row("trim: decoded at its own size", "trim on resize 16x16", {400, 200}, {16, 16}, {400, 200});
}

// The sizes that the options make, and the size the source is decoded at.
void TestTransforms::sizes()
{
    QFETCH(QStringList, options);
    QFETCH(QSize, own);
    QFETCH(QSize, final);
    QFETCH(QSize, wanted);

    const TransformPlan plan = parsed(options);
    QVERIFY(!plan.isIdentity());
    QCOMPARE(plan.finalSize(own), final);
    QCOMPARE(plan.wantedDecodeSize(own), wanted);
    if (plan.cutsImage())
        return;
    // An image decoded at the size asked for ends at the final size, as one
    // decoded at its own size does.
    for (const QSize decoded : {own, wanted}) {
        QImage image(decoded, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QVERIFY(applyTransforms(plan, own, QStringLiteral("in.png"), &image).ok());
        QCOMPARE(image.size(), final);
    }
}

void TestTransforms::premultipliedResample_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QStringList>("options");

    // Half-transparent red inside a wide border of fully transparent green.
    const QImage redOnGreen = transparentImage({64, 48}, {QRect(16, 12, 32, 24)}, 128);
    QTest::newRow("fit to a quarter") << redOnGreen << QStringList {"fit", "16x"};
    QTest::newRow("odd sizes") << redOnGreen << QStringList {"resize", "17x11"};
    QTest::newRow("small") << redOnGreen << QStringList {"resize", "5x3"};
    QTest::newRow("enlarged") << transparentImage({8, 8}, {QRect(3, 3, 2, 2)}, 128)
                              << QStringList {"resize", "37x37"};
    QTest::newRow("16 bits a channel")
        << redOnGreen.convertToFormat(QImage::Format_RGBA64) << QStringList {"fit", "x13"};
    QTest::newRow("rotated, then reduced")
        << redOnGreen << QStringList {"rotate", "90", "fit", "x20"};
}

// Transparent pixels leave no trace of their colour: no green in any pixel
// that can be seen, and the red stays red.
void TestTransforms::premultipliedResample()
{
    QFETCH(QImage, image);
    QFETCH(QStringList, options);

    const TransformPlan plan = parsed(options);
    QImage scaled = image;
    const ConvertResult result =
        applyTransforms(plan, image.size(), QStringLiteral("in.png"), &scaled);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QCOMPARE(scaled.size(), plan.finalSize(image.size()));
    QVERIFY(scaled.hasAlphaChannel());
    const QImage pixels = scaled.convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    int maxAlpha = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            const QRgb p = pixels.pixel(x, y);
            maxAlpha = qMax(maxAlpha, qAlpha(p));
            if (qAlpha(p) == 0)
                continue;
            ++visible;
            QVERIFY2(qGreen(p) == 0 && qRed(p) >= 254,
                     qPrintable(QStringLiteral("(%1, %2) is #%3")
                                    .arg(x)
                                    .arg(y)
                                    .arg(p, 8, 16, QLatin1Char('0'))));
        }
    }
    QVERIFY(visible > 0);
    // The red keeps its half transparency: a cubic filter overshoots by up
    // to about a quarter at a corner when enlarging, never as far as opaque.
    QVERIFY2(maxAlpha >= 120 && maxAlpha <= 170, qPrintable(QString::number(maxAlpha)));
}

void TestTransforms::failures_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<ConvertResult::Status>("status");
    QTest::addColumn<QString>("reason");

    const QImage image = transparentImage({40, 30}, {QRect(5, 5, 3, 3)});
    QTest::newRow("crop past the right edge")
        << image << QStringList {"crop", "30,0,11,5"} << ConvertResult::NoWriter
        << "in.png: --crop 30,0,11,5 reaches outside the image, which is 40 x 30 pixels";
    QTest::newRow("crop below the image") << image << QStringList {"crop", "0,30,1,1"}
                                          << ConvertResult::NoWriter << "which is 40 x 30 pixels";
    QTest::newRow("trim of a transparent image")
        << transparentImage({12, 7}, {}) << QStringList {"trim", "on"} << ConvertResult::NoWriter
        << "--trim finds no visible pixel: the image (12 x 7 pixels) is fully transparent";
    QTest::newRow("trim of a crop with nothing visible")
        << image << QStringList {"crop", "20,20,10,10", "trim", "on"} << ConvertResult::NoWriter
        << "the image (10 x 10 pixels) is fully transparent";
    QTest::newRow("a resize past the budget is refused before it is made")
        << image << QStringList {"resize", "65535x65535"} << ConvertResult::OverBudget
        << "65535 x 65535";
}

// What cannot be done fails with a reason that names the image and its
// size, and leaves the image as it was.
void TestTransforms::failures()
{
    QFETCH(QImage, image);
    QFETCH(QStringList, options);
    QFETCH(ConvertResult::Status, status);
    QFETCH(QString, reason);

    QImage transformed = image;
    const ConvertResult result =
        applyTransforms(parsed(options), image.size(), QStringLiteral("in.png"), &transformed);
    QCOMPARE(result.status(), status);
    const QString text = result.filePath() + QStringLiteral(": ") + result.reason();
    QVERIFY2(text.contains(reason), qPrintable(text));
    QCOMPARE(transformed.cacheKey(), image.cacheKey());
}

// Without a transform the image is not copied, and a conversion is the one
// without transforms.
void TestTransforms::noTransformTouchesNothing()
{
    const QImage image = transparentImage({9, 4}, {QRect(1, 1, 2, 2)});
    QImage same = image;
    TransformReport report;
    QVERIFY(applyTransforms(TransformPlan(), image.size(), QStringLiteral("in.png"), &same, &report)
                .ok());
    QCOMPARE(same.cacheKey(), image.cacheKey());
    QCOMPARE(report.finalSize, image.size());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.png"));
    QVERIFY(image.save(path, "PNG"));
    const OutputPlan plan = outputPlan(CArray, TrueColorAlpha);
    SourceImage plain;
    SourceImage identity;
    QVERIFY(loadSource(path, plan, &plain).ok());
    QVERIFY(loadSource(path, plan, TransformPlan(), &identity).ok());
    QCOMPARE(identity.image, plain.image);
    QCOMPARE(identity.image.format(), plain.image.format());
    QByteArray plainBytes;
    QByteArray identityBytes;
    QVERIFY(encodeSource(plain, plan, QStringLiteral("in"), &plainBytes).ok());
    QVERIFY(encodeSource(identity, plan, QStringLiteral("in"), &identityBytes).ok());
    QCOMPARE(identityBytes, plainBytes);
}

QTEST_GUILESS_MAIN(TestTransforms)
#include "tst_transforms.moc"
