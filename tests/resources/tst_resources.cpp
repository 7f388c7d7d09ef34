#include <QtTest>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QtEndian>

namespace {

// Written by main before anything else: nothing in this program registers
// the bundle itself, so only the static initialiser that comes with
// brindleforge_resources can have made the file visible by then.
bool bundleVisibleAtStartOfMain = false;

const QString resourcesDir = QStringLiteral(BRINDLEFORGE_RESOURCES_DIR);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The data of the first PNG chunk of the given type, or a null array.
QByteArray pngChunk(const QByteArray &png, const char *type)
{
    int pos = 8;
    while (pos + 12 <= png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + pos);
        if (png.mid(pos + 4, 4) == type)
            return png.mid(pos + 8, int(length));
        pos += 12 + int(length);
    }
    return QByteArray();
}

quint16 le16(const QByteArray &bytes, int pos)
{
    return qFromLittleEndian<quint16>(bytes.constData() + pos);
}

quint32 le32(const QByteArray &bytes, int pos)
{
    return qFromLittleEndian<quint32>(bytes.constData() + pos);
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void registeredBeforeMain();
    void bundleHoldsExactlyTheSevenPictures();
    void pictures_data();
    void pictures();
    void checkerboardPalette();
    void checkerboardPixels();
    void windowsIconLayout();
    void windowsIconPixels();
    void windowsIconReadByQt();
};

void TestResources::registeredBeforeMain()
{
    QVERIFY(bundleVisibleAtStartOfMain);
}

void TestResources::bundleHoldsExactlyTheSevenPictures()
{
    const QStringList expected = {
        QStringLiteral("about.png"), QStringLiteral("bg.png"),   QStringLiteral("close.png"),
        QStringLiteral("icon.png"),  QStringLiteral("note.png"), QStringLiteral("open.png"),
        QStringLiteral("save.png"),
    };
    QCOMPARE(QDir(QStringLiteral(":/image")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             expected);
}

void TestResources::pictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bitDepth");
    QTest::addColumn<int>("colourType");

    // Colour type 6 is RGBA, 3 is palette.
    QTest::newRow("icon") << QStringLiteral("icon.png") << QSize(72, 72) << 8 << 6;
    QTest::newRow("close") << QStringLiteral("close.png") << QSize(128, 128) << 8 << 6;
    QTest::newRow("save") << QStringLiteral("save.png") << QSize(120, 127) << 8 << 6;
    QTest::newRow("open") << QStringLiteral("open.png") << QSize(156, 127) << 8 << 6;
    QTest::newRow("about") << QStringLiteral("about.png") << QSize(128, 128) << 8 << 6;
    QTest::newRow("bg") << QStringLiteral("bg.png") << QSize(72, 72) << 1 << 3;
    QTest::newRow("note") << QStringLiteral("note.png") << QSize(72, 72) << 8 << 6;
}

void TestResources::pictures()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(int, bitDepth);
    QFETCH(int, colourType);

    const QString path = QLatin1String(":/image/") + name;
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);

    const QResource resource(path);
    QVERIFY(resource.isValid());
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
    // Only format version 2 and later record a modification time.
    QVERIFY(resource.lastModified().isValid());
    QVERIFY(resource.lastModified().toMSecsSinceEpoch() > 0);

    const QByteArray bytes = resource.uncompressedData();
    QCOMPARE(bytes, readAll(resourcesDir + QLatin1String("/image/") + name));

    const QByteArray header = pngChunk(bytes, "IHDR");
    QCOMPARE(header.size(), 13);
    QCOMPARE(int(qFromBigEndian<quint32>(header.constData())), size.width());
    QCOMPARE(int(qFromBigEndian<quint32>(header.constData() + 4)), size.height());
    QCOMPARE(int(quint8(header.at(8))), bitDepth);
    QCOMPARE(int(quint8(header.at(9))), colourType);
}

void TestResources::checkerboardPalette()
{
    const QResource resource(QStringLiteral(":/image/bg.png"));
    QCOMPARE(pngChunk(resource.uncompressedData(), "PLTE"), QByteArray::fromHex("d9d9d9ffffff"));
    QVERIFY(pngChunk(resource.uncompressedData(), "tRNS").isNull());
}

void TestResources::checkerboardPixels()
{
    const QImage tile(QStringLiteral(":/image/bg.png"));
    QCOMPARE(tile.size(), QSize(72, 72));
    QCOMPARE(tile.colorCount(), 2);
    const QRgb grey = qRgb(0xd9, 0xd9, 0xd9);
    const QRgb white = qRgb(0xff, 0xff, 0xff);
    for (int y = 0; y < 72; ++y) {
        for (int x = 0; x < 72; ++x) {
            const bool greySquare = (x < 36) == (y < 36);
            if (tile.pixel(x, y) != (greySquare ? grey : white)
                || tile.pixelIndex(x, y) != (greySquare ? 0 : 1))
                QFAIL(qPrintable(QStringLiteral("wrong pixel at %1, %2").arg(x).arg(y)));
        }
    }
}

void TestResources::windowsIconLayout()
{
    const QByteArray ico = readAll(resourcesDir + QLatin1String("/brindleforge.ico"));
    QCOMPARE(ico.size(), 6 + 16 + 21640);

    // ICONDIR: reserved, type 1 (icon), one entry.
    QCOMPARE(le16(ico, 0), quint16(0));
    QCOMPARE(le16(ico, 2), quint16(1));
    QCOMPARE(le16(ico, 4), quint16(1));
    // ICONDIRENTRY: 72 x 72, no palette, 1 plane, 32 bits, size, offset.
    QCOMPARE(quint8(ico.at(6)), quint8(72));
    QCOMPARE(quint8(ico.at(7)), quint8(72));
    QCOMPARE(quint8(ico.at(8)), quint8(0));
    QCOMPARE(le16(ico, 10), quint16(1));
    QCOMPARE(le16(ico, 12), quint16(32));
    QCOMPARE(le32(ico, 14), quint32(21640));
    QCOMPARE(le32(ico, 18), quint32(22));

    // The image is a BITMAPINFOHEADER DIB, not a PNG stream.
    QVERIFY(!ico.mid(22).startsWith(QByteArray::fromHex("89504e47")));
    QCOMPARE(le32(ico, 22), quint32(40));
    QCOMPARE(le32(ico, 26), quint32(72));
    QCOMPARE(le32(ico, 30), quint32(144));
    QCOMPARE(le16(ico, 34), quint16(1));
    QCOMPARE(le16(ico, 36), quint16(32));
    QCOMPARE(le32(ico, 38), quint32(0));
}

void TestResources::windowsIconPixels()
{
    const QByteArray ico = readAll(resourcesDir + QLatin1String("/brindleforge.ico"));
    QCOMPARE(ico.size(), 22 + 21640);
    const QImage icon =
        QImage(QStringLiteral(":/image/icon.png")).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(icon.size(), QSize(72, 72));

    const int pixels = 22 + 40;
    const int mask = pixels + 72 * 72 * 4;
    const int maskStride = 12;
    int transparent = 0;
    int opaque = 0;
    for (int y = 0; y < 72; ++y) {
        const int row = 71 - y; // bottom-up
        for (int x = 0; x < 72; ++x) {
            const QRgb expected = icon.pixel(x, y);
            const int at = pixels + (row * 72 + x) * 4;
            const QRgb actual = qRgba(quint8(ico.at(at + 2)), quint8(ico.at(at + 1)),
                                      quint8(ico.at(at)), quint8(ico.at(at + 3)));
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2 is %3, icon.png has %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(actual, 8, 16)
                                     .arg(expected, 8, 16)));
            const bool maskBit =
                quint8(ico.at(mask + row * maskStride + x / 8)) & (0x80 >> (x % 8));
            if (maskBit != (qAlpha(expected) == 0))
                QFAIL(qPrintable(QStringLiteral("mask bit wrong at %1, %2").arg(x).arg(y)));
            transparent += qAlpha(expected) == 0;
            opaque += qAlpha(expected) == 255;
        }
    }
    // Both kinds must occur, or the mask comparison above proves little.
    QVERIFY(transparent > 0);
    QVERIFY(opaque > 0);
}

void TestResources::windowsIconReadByQt()
{
    if (!QImageReader::supportedImageFormats().contains("ico"))
        QSKIP("Qt's ico image format plugin is not installed");
    QImageReader reader(resourcesDir + QLatin1String("/brindleforge.ico"), "ico");
    QCOMPARE(reader.imageCount(), 1);
    const QImage decoded = reader.read();
    QVERIFY2(!decoded.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32),
             QImage(QStringLiteral(":/image/icon.png")).convertToFormat(QImage::Format_ARGB32));
}

int main(int argc, char *argv[])
{
    bundleVisibleAtStartOfMain = QFile::exists(QStringLiteral(":/image/icon.png"));

    QCoreApplication app(argc, argv);
    TestResources test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_resources.moc"
