#include <converter.h>
#include <testfiles.h>
#include <testimages.h>

#include <QtTest>

#include <unistd.h>

using namespace Convert;
using namespace TestFiles;

class TestFileWriting : public QObject
{
    Q_OBJECT

private slots:
    void cannotOpen_data();
    void cannotOpen();
    void replacesLongerFile_data();
    void replacesLongerFile();
    void failedWriteKeepsGoodOutput_data();
    void failedWriteKeepsGoodOutput();
    void successLeavesOnlyTheOutput();
    void loadImage_data();
    void loadImage();
};

void TestFileWriting::cannotOpen_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("output");

    for (const char *setup :
         {"missing folder", "folder is a regular file", "read-only folder", "target is a folder"}) {
        QTest::addRow("%s, C array", setup) << QString::fromLatin1(setup) << int(CArray);
        QTest::addRow("%s, binary", setup) << QString::fromLatin1(setup) << int(BinaryRgb565);
    }
}

void TestFileWriting::cannotOpen()
{
    QFETCH(QString, setup);
    QFETCH(int, output);

    QTemporaryDir dir;
    QString target;
    if (setup == QLatin1String("missing folder")) {
        target = dir.filePath(QStringLiteral("missing/out.c"));
    } else if (setup == QLatin1String("folder is a regular file")) {
        QVERIFY(writeFile(dir.filePath(QStringLiteral("file")), "not a folder"));
        target = dir.filePath(QStringLiteral("file/out.c"));
    } else if (setup == QLatin1String("read-only folder")) {
        if (geteuid() == 0)
            QSKIP("Running as root, which ignores folder permissions; the other rows fail "
                  "the open for real");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ro")));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                                      QFile::ReadOwner | QFile::ExeOwner));
        target = dir.filePath(QStringLiteral("ro/out.c"));
    } else {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.c")));
        target = dir.filePath(QStringLiteral("out.c"));
    }
    const QStringList before = entries(dir.path());

    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^The file %1 could not be opened: .+$")
                                                .arg(QRegularExpression::escape(target))));
    const ConvertResult result =
        convertImage(TestImages::photo(20, 10), OutputFormat(output), TrueColorAlpha, target);
    QCOMPARE(result.status(), ConvertResult::OpenFailed);
    QCOMPARE(result.filePath(), target);
    QVERIFY(!result.detail().isEmpty());
    QVERIFY(result.message().contains(QDir::toNativeSeparators(target)));
    // Nothing was created anywhere.
    QCOMPARE(entries(dir.path()), before);
    QVERIFY(!QFileInfo(target).isFile());
}

void TestFileWriting::replacesLongerFile_data()
{
    QTest::addColumn<int>("output");
    QTest::newRow("C array") << int(CArray);
    QTest::newRow("binary") << int(BinaryRgb888);
}

void TestFileWriting::replacesLongerFile()
{
    QFETCH(int, output);

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("logo.out"));
    QVERIFY(writeFile(target, QByteArray(1 << 20, 'x')));
    const QImage image = TestImages::photo(5, 4);
    QVERIFY(convertImage(image, OutputFormat(output), TrueColor, target).ok());
    QByteArray expected;
    QVERIFY(encodeImage(image, OutputFormat(output), TrueColor, QStringLiteral("logo"), &expected)
                .ok());
    QCOMPARE(readFile(target), expected);
    QCOMPARE(entries(dir.path()), QStringList {QStringLiteral("logo.out")});
}

void TestFileWriting::failedWriteKeepsGoodOutput_data()
{
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("limit");

    // Each output is larger than the limit the write may reach.
    QTest::newRow("C array, alpha") << int(CArray) << int(TrueColorAlpha) << 300 << 65536;
    QTest::newRow("C array, indexed") << int(CArray) << int(Indexed256) << 300 << 65536;
    QTest::newRow("binary RGB888") << int(BinaryRgb888) << int(TrueColor) << 300 << 65536;
    // Small outputs stay in the file's write buffer until the end, so they
    // fail only in the last flush.
    QTest::newRow("small binary, last flush") << int(BinaryRgb565) << int(TrueColor) << 20 << 1000;
    QTest::newRow("small C array, last flush") << int(CArray) << int(TrueColor) << 1 << 1000;
}

void TestFileWriting::failedWriteKeepsGoodOutput()
{
    QFETCH(int, output);
    QFETCH(int, color);
    QFETCH(int, side);
    QFETCH(int, limit);

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("photo.c"));
    const QByteArray good = "a good earlier output\n";
    QVERIFY(writeFile(target, good));
    const QImage image = TestImages::photo(side, side);

    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^The file %1 could not be written: .+$")
                                                .arg(QRegularExpression::escape(target))));
    ConvertResult result;
    {
        FileSizeLimit sizeLimit {rlim_t(limit)};
        QVERIFY(sizeLimit.active());
        result = convertImage(image, OutputFormat(output), ColorFormat(color), target);
    }
    QCOMPARE(result.status(), ConvertResult::WriteFailed);
    QVERIFY(!result.detail().isEmpty());
    // The earlier output is untouched and no temporary file is left.
    QCOMPARE(readFile(target), good);
    QCOMPARE(entries(dir.path()), QStringList {QStringLiteral("photo.c")});

    // Without the limit the same conversion succeeds.
    QVERIFY(convertImage(image, OutputFormat(output), ColorFormat(color), target).ok());
    QVERIFY(readFile(target).size() > limit);
}

void TestFileWriting::successLeavesOnlyTheOutput()
{
    // A C array of several blocks is streamed, yet appears whole, under its
    // own name only.
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("big.c"));
    const QImage image = TestImages::photo(400, 300);
    QVERIFY(convertImage(image, CArray, TrueColorAlpha, target).ok());
    QByteArray expected;
    QVERIFY(encodeImage(image, CArray, TrueColorAlpha, QStringLiteral("big"), &expected).ok());
    QVERIFY(expected.size() > 2 * (1 << 20));
    QCOMPARE(readFile(target), expected);
    QCOMPARE(entries(dir.path()), QStringList {QStringLiteral("big.c")});
}

void TestFileWriting::loadImage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("status");

    auto png = [](int w, int h) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(Qt::red);
        image.save(&buffer, "PNG");
        return bytes;
    };
    QTest::newRow("good") << png(3, 2) << int(ConvertResult::Ok);
    QTest::newRow("2047 wide") << png(2047, 1) << int(ConvertResult::Ok);
    QTest::newRow("2048 wide") << png(2048, 1) << int(ConvertResult::TooLarge);
    QTest::newRow("2048 high") << png(1, 2048) << int(ConvertResult::TooLarge);
    QTest::newRow("not an image") << QByteArray("hello, world") << int(ConvertResult::NotDecodable);
    QTest::newRow("empty file") << QByteArray() << int(ConvertResult::NotDecodable);
    QTest::newRow("truncated png") << png(64, 64).left(60) << int(ConvertResult::NotDecodable);
}

void TestFileWriting::loadImage()
{
    QFETCH(QByteArray, content);
    QFETCH(int, status);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.png"));
    QVERIFY(writeFile(source, content));
    QImage image;
    const ConvertResult result = Convert::loadImage(source, &image);
    QCOMPARE(int(result.status()), status);
    QCOMPARE(image.isNull(), status != ConvertResult::Ok);
    if (status != ConvertResult::Ok) {
        QCOMPARE(result.filePath(), source);
        QVERIFY(result.message().contains(QDir::toNativeSeparators(source)));
    }
    if (status == ConvertResult::TooLarge)
        QVERIFY(result.imageSize().width() == 2048 || result.imageSize().height() == 2048);

    // A source that does not exist at all.
    QCOMPARE(Convert::loadImage(dir.filePath(QStringLiteral("gone.png")), &image).status(),
             ConvertResult::NotDecodable);
}

QTEST_GUILESS_MAIN(TestFileWriting)
#include "tst_filewriting.moc"
