// Runs the fuzz harnesses on fixed inputs in the ordinary test build.
// The encoder's: every pixel format, colour tables short, full and too
// long, both sides of the 2047-pixel limit, awkward names and a set of
// random inputs; each input goes through all outputs and is compared with
// the reference encoder. The decoder's: its seeds, each of them cut short
// and with bits flipped, and random bytes in every mode.

#include "decodeharness.h"
#include "fuzzharness.h"

#include <imagesource.h>

#include <QtTest>

#include <memory>
#include <random>

using Convert::ConvertResult;
using Convert::SourceImage;
using FuzzHarness::makeInput;
using FuzzHarness::NameEncoding;

namespace {

QByteArray pattern(int size, quint32 seed = 1)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random());
    return bytes;
}

QVector<QRgb> table(int size)
{
    QVector<QRgb> entries(size);
    for (int i = 0; i < size; ++i)
        entries[i] = qRgba(i * 37, i * 11, 255 - i, i * 5);
    return entries;
}

// The format's name without "Format_": "ARGB32", "Grayscale16". Qt 6 has
// formats that Qt 5 lacks, so the names come from Qt itself.
QByteArray formatName(int format)
{
    const QByteArray key = QMetaEnum::fromType<QImage::Format>().valueToKey(format);
    return key.startsWith("Format_") ? key.mid(7) : key;
}

} // namespace

class TestFuzzRegression : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void decodesTheIntendedCase_data();
    void decodesTheIntendedCase();
    void fixedInputs_data();
    void fixedInputs();
    void randomInputs();
    void decoderSeeds_data();
    void decoderSeeds();
    void sourceSeeds_data();
    void sourceSeeds();
    void decoderSavedInputs_data();
    void decoderSavedInputs();
    void decoderRandomInputs();

private:
    std::unique_ptr<FuzzHarness::ScopedMessageFilter> m_filter;
};

void TestFuzzRegression::initTestCase()
{
    m_filter = std::make_unique<FuzzHarness::ScopedMessageFilter>();
}

void TestFuzzRegression::cleanupTestCase()
{
    m_filter.reset();
}

// The harness is only as good as its decoder: a case that silently came out
// as a null image would pass every check without testing anything.
void TestFuzzRegression::decodesTheIntendedCase_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("colorCount");
    QTest::addColumn<QString>("name");

    const QVector<QRgb> longTable = table(300);
    QTest::newRow("empty input") << QByteArray() << QSize() << int(QImage::Format_Invalid) << 0
                                 << QString();
    QTest::newRow("small ARGB32") << makeInput(5, 3, QImage::Format_ARGB32, pattern(60),
                                               NameEncoding::Utf8, "\xc3\xa9t\xc3\xa9")
                                  << QSize(5, 3) << int(QImage::Format_ARGB32) << 0
                                  << QStringLiteral("\u00e9t\u00e9");
    QTest::newRow("largest small side")
        << makeInput(64, 64, QImage::Format_RGB16, pattern(64)) << QSize(64, 64)
        << int(QImage::Format_RGB16) << 0 << QString();
    QTest::newRow("Indexed8 with 300 colours")
        << makeInput(4, 2, QImage::Format_Indexed8, pattern(8), NameEncoding::Latin1, "\xe9",
                     &longTable)
        << QSize(4, 2) << int(QImage::Format_Indexed8) << 300 << QStringLiteral("\u00e9");
    QTest::newRow("UTF-16 with a lone surrogate")
        << makeInput(1, 1, QImage::Format_Mono, pattern(4), NameEncoding::Utf16,
                     QByteArray("\x00\xd8\x41\x00", 4))
        << QSize(1, 1) << int(QImage::Format_Mono) << 2
        << QString(QChar(0xd800)) + QLatin1Char('A');
    QTest::newRow("2048 x 1") << makeInput(2048, 1, QImage::Format_ARGB32, pattern(16))
                              << QSize(2048, 1) << int(QImage::Format_ARGB32) << 0 << QString();
    QTest::newRow("2 x 2060") << makeInput(2, 2060, QImage::Format_Grayscale8, pattern(16))
                              << QSize(2, 2060) << int(QImage::Format_Grayscale8) << 0 << QString();
}

void TestFuzzRegression::decodesTheIntendedCase()
{
    QFETCH(QByteArray, input);
    QFETCH(QSize, size);
    QFETCH(int, format);
    QFETCH(int, colorCount);
    QFETCH(QString, name);

    const FuzzHarness::Case decoded = FuzzHarness::decode(
        reinterpret_cast<const uchar *>(input.constData()), size_t(input.size()));
    if (!size.isValid()) {
        QVERIFY(decoded.image.isNull());
    } else {
        QCOMPARE(decoded.image.size(), size);
        QCOMPARE(int(decoded.image.format()), format);
    }
    QCOMPARE(decoded.image.colorCount(), colorCount);
    QCOMPARE(decoded.name, name);
}

void TestFuzzRegression::fixedInputs_data()
{
    QTest::addColumn<QByteArray>("input");

    QTest::newRow("empty input") << QByteArray();
    QTest::newRow("one byte") << QByteArray(1, '\xff');
    QTest::newRow("header only, all ones") << QByteArray(7, '\xff');

    for (int format = 0; format < QImage::NImageFormats; ++format) {
        const auto f = QImage::Format(format);
        QTest::addRow("%s 7x5", formatName(format).constData())
            << makeInput(7, 5, f, pattern(7 * 5 * 8, quint32(format)));
        QTest::addRow("%s 33x2", formatName(format).constData())
            << makeInput(33, 2, f, pattern(33 * 2 * 8, quint32(format) + 100));
    }

    const QVector<QRgb> noColors;
    const QVector<QRgb> threeColors = table(3);
    const QVector<QRgb> fullTable = table(256);
    const QVector<QRgb> longTable = table(300);
    const struct
    {
        const char *name;
        const QVector<QRgb> *table;
    } tables[] = {
        {"no colour table", nullptr}, {"an empty colour table", &noColors},
        {"3 colours", &threeColors},  {"256 colours", &fullTable},
        {"300 colours", &longTable},
    };
    for (const QImage::Format f :
         {QImage::Format_Indexed8, QImage::Format_Mono, QImage::Format_MonoLSB}) {
        for (const auto &t : tables) {
            QTest::addRow("%s with %s", formatName(f).constData(), t.name)
                << makeInput(11, 3, f, pattern(64), NameEncoding::Utf8, "icon", t.table);
        }
    }

    // The header's 11-bit fields: 2047 is the largest side that fits.
    QTest::newRow("2047 x 1") << makeInput(2047, 1, QImage::Format_ARGB32, pattern(2047 * 4));
    QTest::newRow("2048 x 1") << makeInput(2048, 1, QImage::Format_ARGB32, pattern(2048 * 4));
    QTest::newRow("1 x 2047") << makeInput(1, 2047, QImage::Format_RGB888, pattern(2047 * 4));
    QTest::newRow("1 x 2048") << makeInput(1, 2048, QImage::Format_RGB888, pattern(64));
    QTest::newRow("2060 x 2 Indexed8") << makeInput(2060, 2, QImage::Format_Indexed8, pattern(64),
                                                    NameEncoding::Utf8, "", &fullTable);
    QTest::newRow("0 x 5") << makeInput(0, 5, QImage::Format_ARGB32, pattern(64));

    const struct
    {
        const char *row;
        NameEncoding encoding;
        QByteArray bytes;
    } names[] = {
        {"name: none", NameEncoding::None, QByteArray("ignored")},
        {"name: dot", NameEncoding::Utf8, QByteArray(".")},
        {"name: keyword", NameEncoding::Utf8, QByteArray("int")},
        {"name: keyword with underscore", NameEncoding::Utf8, QByteArray("static-assert")},
        {"name: _Bool", NameEncoding::Utf8, QByteArray("_Bool")},
        {"name: leading digit", NameEncoding::Utf8, QByteArray("2x")},
        {"name: path", NameEncoding::Utf8, QByteArray("dir/sub.dir/logo.c")},
        {"name: Latin-1", NameEncoding::Latin1, QByteArray("caf\xe9")},
        {"name: invalid UTF-8", NameEncoding::Utf8, QByteArray("\xff\xfe\x80")},
        {"name: lone surrogate", NameEncoding::Utf16, QByteArray("\x00\xdc", 2)},
        {"name: emoji", NameEncoding::Utf16, QByteArray("\x3d\xd8\x00\xde\x31\x00", 6)},
        {"name: NUL", NameEncoding::Utf8, QByteArray("a\0b", 3)},
        {"name: 47 bytes", NameEncoding::Utf8, QByteArray(47, '-')},
    };
    for (const auto &n : names) {
        QTest::newRow(n.row) << makeInput(2, 2, QImage::Format_ARGB32, pattern(16), n.encoding,
                                          n.bytes);
    }
}

void TestFuzzRegression::fixedInputs()
{
    QFETCH(QByteArray, input);
    const QString failure = FuzzHarness::check(FuzzHarness::decode(
        reinterpret_cast<const uchar *>(input.constData()), size_t(input.size())));
    QVERIFY2(failure.isEmpty(), qUtf8Printable(failure));
}

void TestFuzzRegression::randomInputs()
{
    std::mt19937 random(20261208);
    for (int i = 0; i < 150; ++i) {
        const QByteArray input = pattern(int(random() % 600), quint32(i));
        const QString failure = FuzzHarness::check(FuzzHarness::decode(
            reinterpret_cast<const uchar *>(input.constData()), size_t(input.size())));
        QVERIFY2(failure.isEmpty(),
                 qUtf8Printable(QStringLiteral("input %1 (%2): %3")
                                    .arg(i)
                                    .arg(QString::fromLatin1(input.toHex()), failure)));
    }
}

void TestFuzzRegression::decoderSeeds_data()
{
    QTest::addColumn<QByteArray>("input");
    const QVector<QByteArray> seeds = DecodeHarness::seeds();
    // Every v8 format at its depths and every v9 format, three ways each.
    QVERIFY(seeds.size() > 200);
    for (int i = 0; i < seeds.size(); ++i)
        QTest::addRow("seed %d", i) << seeds.at(i);
}

// The PNG and JPEG seeds decode, and cut short or with a bit flipped they
// still keep every promise of check().
void TestFuzzRegression::sourceSeeds_data()
{
    QTest::addColumn<QByteArray>("input");
    const QVector<QByteArray> seeds = DecodeHarness::sourceSeeds();
    QCOMPARE(seeds.size(), 9);
    for (int i = 0; i < seeds.size(); ++i)
        QTest::addRow("source seed %d", i) << seeds.at(i);
}

void TestFuzzRegression::sourceSeeds()
{
    QFETCH(QByteArray, input);
    SourceImage source;
    const ConvertResult decoded =
        Convert::decodeImageData(input, QStringLiteral("seed"), 0, &source);
    QVERIFY2(decoded.ok(), qPrintable(decoded.message()));
    QCOMPARE(source.image.size(), QSize(19, 11));
    const auto check = [](const QByteArray &bytes) {
        return DecodeHarness::check(reinterpret_cast<const uchar *>(bytes.constData()),
                                    size_t(bytes.size()));
    };
    QCOMPARE(check(input), QString());
    for (int cut = 8; cut < input.size(); cut += 7)
        QCOMPARE(check(input.left(cut)), QString());
    for (int bit = 0; bit < input.size() * 8; bit += 37) {
        QByteArray flipped = input;
        flipped[bit / 8] = char(flipped[bit / 8] ^ (1 << (bit % 8)));
        QCOMPARE(check(flipped), QString());
    }
}

// Each seed is a consistent file; cut short anywhere or with a bit
// flipped it may not be, but every promise still holds.
void TestFuzzRegression::decoderSeeds()
{
    QFETCH(QByteArray, input);
    const QString error = DecodeHarness::decodeError(input);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const auto verify = [](const QByteArray &bytes, const char *what, int where) {
        // An exact copy, so that the sanitizer build sees a read past it.
        const QByteArray exact(bytes.constData(), bytes.size());
        const QString failure = DecodeHarness::check(
            reinterpret_cast<const uchar *>(exact.constData()), size_t(exact.size()));
        QVERIFY2(
            failure.isEmpty(),
            qPrintable(
                QStringLiteral("%1 at %2: %3").arg(QLatin1String(what)).arg(where).arg(failure)));
    };
    verify(input, "unchanged", 0);
    std::mt19937 random(quint32(input.size()));
    for (int i = 0; i < 12; ++i) {
        const int cut = int(random() % quint32(input.size()));
        verify(input.left(cut), "cut", cut);
        QByteArray flipped = input;
        const int at = 1 + int(random() % quint32(input.size() - 1));
        flipped[at] = char(flipped.at(at) ^ (1 << (random() % 8)));
        verify(flipped, "bit flipped", at);
    }
}

void TestFuzzRegression::decoderSavedInputs_data()
{
    QTest::addColumn<QByteArray>("input");
    const QDir dir(QStringLiteral(BRINDLEFORGE_TEST_SOURCE_DIR "/decoder-inputs"));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(name)) << file.readAll();
    }
}

// Inputs the fuzzer once found a fault with, named after it: a RAW C
// array whose JPEG header Qt cannot read (its JPEG handler then announces
// an image format it never set). And inputs of hostile files the inspector
// once misjudged: conditions whose macros together take far more work than
// the file's size allows, an RLE literal packet that carries only part of
// its last block, a byte-order mark before a broken depth-8 section.
void TestFuzzRegression::decoderSavedInputs()
{
    QFETCH(QByteArray, input);
    const QString failure = DecodeHarness::check(reinterpret_cast<const uchar *>(input.constData()),
                                                 size_t(input.size()));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestFuzzRegression::decoderRandomInputs()
{
    std::mt19937 random(20261209);
    for (int i = 0; i < 400; ++i) {
        QByteArray input = pattern(int(random() % 300), quint32(i) + 1000);
        // Some shaped like the headers they are read as.
        if (input.size() > 2 && i % 3 == 1)
            input[1] = char(0x19);
        if (input.size() > 1 && i % 4 == 0)
            input[0] = char((input.at(0) & ~3) | 3);
        const QString failure = DecodeHarness::check(
            reinterpret_cast<const uchar *>(input.constData()), size_t(input.size()));
        QVERIFY2(failure.isEmpty(),
                 qPrintable(QStringLiteral("input %1 (%2): %3")
                                .arg(i)
                                .arg(QString::fromLatin1(input.toHex()), failure)));
    }
}

QTEST_GUILESS_MAIN(TestFuzzRegression)
#include "tst_fuzzregression.moc"
