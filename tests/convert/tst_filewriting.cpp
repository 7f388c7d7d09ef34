#include <animation.h>
#include <converter.h>
#include <encodedfiles.h>
#include <imagekinds.h>
#include <imagesource.h>
#include <outputfile.h>
#include <referencetrap.h>
#include <svgdecode.h>
#include <testfiles.h>
#include <testimages.h>

#include <QImageWriter>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Convert;
using namespace TestFiles;

namespace {

// Every message that reaches the handler installed before the engine's
// (the engine installs its own at its first decode and chains to this one).
QtMessageHandler previousHandler = nullptr;
QMutex recordedMutex;
QStringList recordedMessages;

void recordMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker locker(&recordedMutex);
        recordedMessages << message;
    }
    previousHandler(type, context, message);
}

int recordedCount()
{
    QMutexLocker locker(&recordedMutex);
    return recordedMessages.size();
}

QStringList recordedSince(int count)
{
    QMutexLocker locker(&recordedMutex);
    return recordedMessages.mid(count);
}

// Sends fd 2 to a temporary file for as long as it lives, to see whether
// anything (libpng's default error function, say) wrote to the process's
// stderr directly.
class StderrCapture
{
public:
    StderrCapture()
    {
        if (!m_file.open())
            return;
        std::fflush(stderr);
        m_saved = ::dup(2);
        ::dup2(m_file.handle(), 2);
    }
    ~StderrCapture() { restore(); }
    Q_DISABLE_COPY(StderrCapture)

    bool active() const { return m_saved >= 0; }

    QByteArray finish()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

// The bytes of image's pixels, row by row, without the padding at the end
// of each scanline (which no decoder writes). QImage's == compares indexed
// images by colour; this compares the indices too.
QByteArray pixelBytes(const QImage &image)
{
    const int bits = image.width() * image.depth();
    QByteArray bytes;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const char *>(image.constScanLine(y));
        bytes.append(line, bits / 8);
        if (bits % 8) // MSB-first formats only here (Mono)
            bytes += char(line[bits / 8] & (0xff << (8 - bits % 8)));
    }
    return bytes;
}

// Bytes this process has read through read(2) and its kind (Linux).
qint64 bytesReadByProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    // procfs reports a size of 0, so read to the end rather than to size().
    const QList<QByteArray> lines = io.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QByteArray be32(quint32 v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

QByteArray le16(quint32 v)
{
    const char bytes[2] = {char(v), char(v >> 8)};
    return QByteArray(bytes, 2);
}

QByteArray le32(quint32 v)
{
    return le16(v & 0xffff) + le16(v >> 16);
}

// CRC-32 as PNG computes it, bit by bit.
quint32 crc32Of(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    const QByteArray typeAndData = QByteArray(type, 4) + data;
    return be32(quint32(data.size())) + typeAndData + be32(crc32Of(typeAndData));
}

const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);

QByteArray pngHeader(quint32 width, quint32 height, int depth, int colorType, int interlace = 0)
{
    const char fields[5] = {char(depth), char(colorType), 0, 0, char(interlace)};
    return pngSignature + pngChunk("IHDR", be32(width) + be32(height) + QByteArray(fields, 5));
}

// A zlib stream of stored deflate blocks; checksum false spoils its Adler-32.
QByteArray zlibStored(const QByteArray &raw, bool checksum = true)
{
    QByteArray out("\x78\x01", 2);
    int pos = 0;
    do {
        const int n = qMin(65535, raw.size() - pos);
        out += char(pos + n == raw.size() ? 1 : 0);
        out += le16(quint32(n)) + le16(~quint32(n) & 0xffff) + raw.mid(pos, n);
        pos += n;
    } while (pos < raw.size());
    quint32 a = 1;
    quint32 b = 0;
    for (const char c : raw) {
        a = (a + uchar(c)) % 65521;
        b = (b + a) % 65521;
    }
    return out + be32(((b << 16) | a) ^ (checksum ? 0 : 1));
}

QByteArray pngFile(const QByteArray &header, const QByteArray &raw, bool checksum = true)
{
    return header + pngChunk("IDAT", zlibStored(raw, checksum)) + pngChunk("IEND", QByteArray());
}

// The filtered rows (filter type 0) of image's pixels as 8-bit RGBA, in
// Adam7 order when interlaced.
QByteArray rgbaRows(const QImage &image, bool interlaced)
{
    static const int xStart[7] = {0, 4, 0, 2, 0, 1, 0};
    static const int yStart[7] = {0, 0, 4, 0, 2, 0, 1};
    static const int xStep[7] = {8, 8, 4, 4, 2, 2, 1};
    static const int yStep[7] = {8, 8, 8, 4, 4, 2, 2};
    QByteArray raw;
    for (int p = 0; p < (interlaced ? 7 : 1); ++p) {
        const int x0 = interlaced ? xStart[p] : 0;
        const int y0 = interlaced ? yStart[p] : 0;
        const int dx = interlaced ? xStep[p] : 1;
        const int dy = interlaced ? yStep[p] : 1;
        if (x0 >= image.width())
            continue;
        for (int y = y0; y < image.height(); y += dy) {
            raw += char(0);
            for (int x = x0; x < image.width(); x += dx) {
                const QRgb c = image.pixel(x, y);
                raw += char(qRed(c));
                raw += char(qGreen(c));
                raw += char(qBlue(c));
                raw += char(qAlpha(c));
            }
        }
    }
    return raw;
}

// The offset of the first chunk of type in a PNG, or -1.
int chunkOffset(const QByteArray &png, const char *type)
{
    int pos = 8;
    while (pos + 8 <= png.size()) {
        if (png.mid(pos + 4, 4) == QByteArray(type, 4))
            return pos;
        pos += 12 + int(qFromBigEndian<quint32>(png.constData() + pos));
    }
    return -1;
}

// Flips a bit in the CRC of the first chunk of type.
QByteArray spoilCrc(QByteArray png, const char *type)
{
    const int pos = chunkOffset(png, type);
    const int crcAt = pos + 8 + int(qFromBigEndian<quint32>(png.constData() + pos));
    png[crcAt] = char(png.at(crcAt) ^ 1);
    return png;
}

// A BMP file: the 14-byte file header, a 40-byte BITMAPINFOHEADER (or the
// 124-byte BITMAPV5HEADER with masks), the colour table and the pixels.
QByteArray bmpFile(int width, int height, int bitCount, quint32 compression,
                   const QVector<QRgb> &palette, const QByteArray &pixels,
                   const QVector<quint32> &masks = {})
{
    const int dibSize = masks.isEmpty() ? 40 : 124;
    const int offset = 14 + dibSize + 4 * palette.size();
    QByteArray dib = le32(quint32(dibSize)) + le32(quint32(width)) + le32(quint32(height)) + le16(1)
        + le16(quint32(bitCount)) + le32(compression) + le32(quint32(pixels.size())) + le32(2835)
        + le32(2835) + le32(quint32(palette.size())) + le32(0);
    if (!masks.isEmpty()) {
        for (const quint32 mask : masks)
            dib += le32(mask);
        dib += le32(0x73524742); // 'sRGB'
        dib += QByteArray(36 + 12 + 16, '\0');
    }
    QByteArray table;
    for (const QRgb c : palette)
        table += QByteArray(1, char(qBlue(c))) + char(qGreen(c)) + char(qRed(c)) + '\0';
    return "BM" + le32(quint32(offset + pixels.size())) + le32(0) + le32(quint32(offset)) + dib
        + table + pixels;
}

const QVector<QRgb> fourColours = {qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200),
                                   qRgb(250, 250, 250)};

// 5 x 3 pixels of 8 bits, each row padded to 8 bytes.
QByteArray palettePixels()
{
    return QByteArray::fromHex("0001020300000000"
                               "0302010000000000"
                               "0101020203000000");
}

// A JPEG that is all header: SOI, an APP1 segment of appBytes, and a
// baseline frame header, with no tables and no scan.
QByteArray jpegHeaderOnly(int appBytes, int width, int height)
{
    QByteArray jpeg("\xff\xd8\xff\xe1", 4);
    jpeg += char((appBytes + 2) >> 8);
    jpeg += char((appBytes + 2) & 0xff);
    jpeg += QByteArray(appBytes, 'x');
    jpeg += QByteArray("\xff\xc0\x00\x11\x08", 5);
    jpeg += char(height >> 8);
    jpeg += char(height & 0xff);
    jpeg += char(width >> 8);
    jpeg += char(width & 0xff);
    jpeg += QByteArray::fromHex("03011100021101031101");
    return jpeg;
}

const char svgNamespace[] = "xmlns=\"http://www.w3.org/2000/svg\"";

// An SVG document: the root's attributes, then its content.
QByteArray svg(const QByteArray &attributes, const QByteArray &content = QByteArray())
{
    return "<svg " + QByteArray(svgNamespace) + ' ' + attributes + '>' + content + "</svg>\n";
}

// An image of size, transparent, with its columns left of redWidth opaque
// red: what an SVG whose rectangle fills that part renders to.
QImage redLeft(QSize size, int redWidth)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(0);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < redWidth; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    }
    return image;
}

// Sets the SVG render deadline for as long as it lives.
class RenderDeadline
{
public:
    explicit RenderDeadline(int milliseconds) { Reading::setSvgRenderDeadline(milliseconds); }
    ~RenderDeadline() { Reading::setSvgRenderDeadline(0); }
    Q_DISABLE_COPY(RenderDeadline)
};

} // namespace

class TestFileWriting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cannotOpen_data();
    void cannotOpen();
    void replacesLongerFile_data();
    void replacesLongerFile();
    void failedWriteKeepsGoodOutput_data();
    void failedWriteKeepsGoodOutput();
    void successLeavesOnlyTheOutput_data();
    void successLeavesOnlyTheOutput();
    void loadImage_data();
    void loadImage();
    void inputKindSniffs_data();
    void inputKindSniffs();
    void inputSuffixes_data();
    void inputSuffixes();
    void hostileSources_data();
    void hostileSources();
    void validSourcesDecodeAsQt_data();
    void validSourcesDecodeAsQt();
    void svgRendersAtTheSizeWanted_data();
    void svgRendersAtTheSizeWanted();
    void decodedPixelsMatchTheirSource_data();
    void decodedPixelsMatchTheirSource();
    void jpegScaledDecode_data();
    void jpegScaledDecode();
    void animationFramesAsComposited_data();
    void animationFramesAsComposited();
    void animationRefused_data();
    void animationRefused();
    void skippedPixelsAreZero();
    void decoderMessagesStayWithTheirDecode();
    void frameSets_data();
    void frameSets();
    void frameFolderFailures_data();
    void frameFolderFailures();
    void staleStagingFolders_data();
    void staleStagingFolders();
};

void TestFileWriting::initTestCase()
{
    previousHandler = qInstallMessageHandler(recordMessage);
}

void TestFileWriting::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
}

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

namespace {

// Named temporary files, as on a file system without anonymous ones, for
// the life of one test.
class NamedTemporaries
{
public:
    explicit NamedTemporaries(bool named) { OutputFile::setAnonymousTemporaries(!named); }
    ~NamedTemporaries() { OutputFile::setAnonymousTemporaries(true); }
    Q_DISABLE_COPY(NamedTemporaries)
};

} // namespace

void TestFileWriting::replacesLongerFile_data()
{
    QTest::addColumn<int>("output");
    QTest::addColumn<bool>("named");
    QTest::newRow("C array") << int(CArray) << false;
    QTest::newRow("binary") << int(BinaryRgb888) << false;
    QTest::newRow("C array, named temporary") << int(CArray) << true;
    QTest::newRow("binary, named temporary") << int(BinaryRgb888) << true;
}

void TestFileWriting::replacesLongerFile()
{
    QFETCH(int, output);
    QFETCH(bool, named);
    const NamedTemporaries temporaries(named);

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
    QTest::addColumn<bool>("named");

    // Each output is larger than the limit the write may reach.
    QTest::newRow("C array, alpha, named temporary")
        << int(CArray) << int(TrueColorAlpha) << 300 << 65536 << true;
    QTest::newRow("small binary, last flush, named temporary")
        << int(BinaryRgb565) << int(TrueColor) << 20 << 1000 << true;
    QTest::newRow("C array, alpha") << int(CArray) << int(TrueColorAlpha) << 300 << 65536 << false;
    QTest::newRow("C array, indexed") << int(CArray) << int(Indexed256) << 300 << 65536 << false;
    QTest::newRow("binary RGB888") << int(BinaryRgb888) << int(TrueColor) << 300 << 65536 << false;
    // Small outputs stay in the file's write buffer until the end, so they
    // fail only in the last flush.
    QTest::newRow("small binary, last flush")
        << int(BinaryRgb565) << int(TrueColor) << 20 << 1000 << false;
    QTest::newRow("small C array, last flush")
        << int(CArray) << int(TrueColor) << 1 << 1000 << false;
}

void TestFileWriting::failedWriteKeepsGoodOutput()
{
    QFETCH(int, output);
    QFETCH(int, color);
    QFETCH(int, side);
    QFETCH(int, limit);
    QFETCH(bool, named);
    const NamedTemporaries temporaries(named);

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

void TestFileWriting::successLeavesOnlyTheOutput_data()
{
    QTest::addColumn<bool>("named");
    QTest::newRow("anonymous temporary") << false;
    QTest::newRow("named temporary") << true;
}

void TestFileWriting::successLeavesOnlyTheOutput()
{
    QFETCH(bool, named);
    const NamedTemporaries temporaries(named);

    // While it is written, a temporary file has no name, or one that
    // carries the writer's process id; cancelled, it leaves nothing.
    QTemporaryDir scratch;
    OutputFile file(scratch.filePath(QStringLiteral("out.c")));
    QVERIFY(file.create().ok());
    QCOMPARE(file.write("data"), qint64(4));
    const QStringList during = entries(scratch.path());
    if (named) {
        QCOMPARE(during.size(), 1);
        QString pid;
        for (qint64 p = QCoreApplication::applicationPid(), i = 0; i < 5; ++i, p /= 36)
            pid.prepend(QLatin1Char("0123456789abcdefghijklmnopqrstuvwxyz"[p % 36]));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\.bf-%1[0-9a-z]{5}\\.tmp$").arg(pid))
                     .match(during.first())
                     .hasMatch(),
                 qPrintable(during.first()));
    } else {
        QCOMPARE(during, QStringList());
    }
    file.cancel();
    QCOMPARE(entries(scratch.path()), QStringList());

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
    QTest::newRow("not an image") << QByteArray("hello, world") << int(ConvertResult::NotAnImage);
    QTest::newRow("empty file") << QByteArray() << int(ConvertResult::NotAnImage);
    QTest::newRow("truncated png") << png(64, 64).left(60) << int(ConvertResult::Corrupt);
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
    const ConvertResult gone = Convert::loadImage(dir.filePath(QStringLiteral("gone.png")), &image);
    QCOMPARE(gone.status(), ConvertResult::ReadFailed);
    QCOMPARE(gone.reason(), QStringLiteral("cannot be read (no such file or directory)"));
}

// Every kind's start is recognised by its own row and by no other, and a
// start cut short is recognised by none.
void TestFileWriting::inputKindSniffs_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("kind");

    const QByteArray bmp = QByteArray("BM") + QByteArray(12, '\0') + QByteArray("\x28\0\0\0", 4);
    QTest::newRow("PNG") << QByteArray("\x89PNG\r\n\x1a\n") << int(Convert::ImageKind::Png);
    QTest::newRow("JPEG") << QByteArray("\xff\xd8\xff\xe0") << int(Convert::ImageKind::Jpeg);
    QTest::newRow("BMP") << bmp << int(Convert::ImageKind::Bmp);
    QTest::newRow("BMP core header")
        << (QByteArray("BM") + QByteArray(12, '\0') + QByteArray("\x0c\0\0\0", 4))
        << int(Convert::ImageKind::Bmp);
    QTest::newRow("PNG cut short")
        << QByteArray("\x89PNG\r\n\x1a") << int(Convert::ImageKind::Unknown);
    QTest::newRow("JPEG without a marker")
        << QByteArray("\xff\xd8\x00", 3) << int(Convert::ImageKind::Unknown);
    QTest::newRow("BMP cut short") << bmp.left(17) << int(Convert::ImageKind::Unknown);
    QTest::newRow("text starting BM")
        << QByteArray("BMW owners' manual, chapter 1") << int(Convert::ImageKind::Unknown);
    QTest::newRow("GIF89a") << QByteArray("GIF89a\x01\0\x01\0", 10) << int(Convert::ImageKind::Gif);
    QTest::newRow("GIF87a") << QByteArray("GIF87a\x01\0\x01\0", 10) << int(Convert::ImageKind::Gif);
    QTest::newRow("GIF of another version")
        << QByteArray("GIF88a\x01\0\x01\0", 10) << int(Convert::ImageKind::Unknown);
    QTest::newRow("WebP") << QByteArray("RIFF\x10\0\0\0WEBPVP8L", 16)
                          << int(Convert::ImageKind::Webp);
    QTest::newRow("RIFF that is not WebP")
        << QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16) << int(Convert::ImageKind::Unknown);

    const int svgKind = int(Convert::ImageKind::Svg);
    const QByteArray root = svg("width=\"8\" height=\"8\"");
    QTest::newRow("SVG") << root << svgKind;
    QTest::newRow("SVG after a BOM, a declaration, a comment and a DOCTYPE")
        << "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- <html> -->\n"
           "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"svg11.dtd\">\n"
            + root
        << svgKind;
    QTest::newRow("SVG whose DOCTYPE has an internal subset")
        << "<!DOCTYPE svg [<!ENTITY a \"]>\"> <!-- ]> -->]>" + root << svgKind;
    QTest::newRow("SVG root after 3 KB of comment")
        << "<!--" + QByteArray(3000, '-') + "-->\n<svg>" << svgKind;
    QTest::newRow("XML whose root is not svg")
        << QByteArray("<?xml version=\"1.0\"?><html><svg>") << int(Convert::ImageKind::Unknown);
    QTest::newRow("svg as the start of another name")
        << QByteArray("<svgfont/>") << int(Convert::ImageKind::Unknown);
    QTest::newRow("SVG root after another DOCTYPE")
        << QByteArray("<!DOCTYPE html><svg>") << int(Convert::ImageKind::Unknown);
    QTest::newRow("SVG root in an unclosed comment")
        << QByteArray("<!-- <svg>") << int(Convert::ImageKind::Unknown);
    QTest::newRow("SVG root cut short")
        << QByteArray("<?xml version=\"1.0\"?><sv") << int(Convert::ImageKind::Unknown);
}

void TestFileWriting::inputKindSniffs()
{
    QFETCH(QByteArray, head);
    QFETCH(int, kind);

    QCOMPARE(int(Convert::sniffImageKind(head)), kind);
    int count = 0;
    const Convert::ImageKindRow *rows = Convert::imageKindRows(&count);
    QCOMPARE(count, 6);
    int matches = 0;
    for (int i = 0; i < count; ++i) {
        if (rows[i].sniff(reinterpret_cast<const uchar *>(head.constData()), head.size())) {
            ++matches;
            QCOMPARE(int(rows[i].kind), kind);
            QCOMPARE(Convert::imageKindRow(rows[i].kind), &rows[i]);
        }
    }
    QCOMPARE(matches, kind == int(Convert::ImageKind::Unknown) ? 0 : 1);
}

// The directory scan's suffix check, in any case, and the lists the
// messages are made of.
void TestFileWriting::inputSuffixes_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("image");
    QTest::addColumn<bool>("window"); // whether the window opens it

    QTest::newRow("png") << "a.png" << true << true;
    QTest::newRow("upper case") << "dir/A.PNG" << true << true;
    QTest::newRow("mixed case jpeg") << "b.JpEg" << true << true;
    QTest::newRow("jpg") << "c.jpg" << true << true;
    QTest::newRow("bmp") << "d.bmp" << true << true;
    QTest::newRow("svg, for the command line only") << "h.SVG" << true << false;
    QTest::newRow("gif") << "e.gif" << true << false;
    QTest::newRow("webp, upper case") << "e.WEBP" << true << false;
    QTest::newRow("image suffix not last") << "f.png.txt" << false << false;
    QTest::newRow("no suffix") << "png" << false << false;
    QTest::newRow("suffix as a prefix") << "g.pngx" << false << false;
}

void TestFileWriting::inputSuffixes()
{
    QFETCH(QString, fileName);
    QFETCH(bool, image);
    QFETCH(bool, window);

    QCOMPARE(Convert::hasImageSuffix(fileName), image);
    QCOMPARE(Convert::hasImageSuffix(fileName, true), window);
    const QStringList windowSuffixes = {QStringLiteral("bmp"), QStringLiteral("jpg"),
                                        QStringLiteral("jpeg"), QStringLiteral("png")};
    QCOMPARE(Convert::imageSuffixes(true), windowSuffixes);
    QCOMPARE(Convert::imageSuffixes(),
             QStringList({QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("jpg"),
                          QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("svg"),
                          QStringLiteral("webp")}));
    QCOMPARE(Convert::joinedList(Convert::imageKindNames(true), QStringLiteral(", "),
                                 QStringLiteral(" or ")),
             QStringLiteral("PNG, JPEG or BMP"));
    QCOMPARE(Convert::joinedList(Convert::imageKindNames(false), QStringLiteral(", "),
                                 QStringLiteral(" or ")),
             QStringLiteral("PNG, JPEG, BMP, WebP, GIF or SVG"));
    QCOMPARE(
        Convert::joinedList({QStringLiteral("a")}, QStringLiteral(", "), QStringLiteral(" or ")),
        QStringLiteral("a"));
    QCOMPARE(Convert::joinedList({}, QStringLiteral(", "), QStringLiteral(" or ")), QString());
}

void TestFileWriting::hostileSources_data()
{
    QTest::addColumn<QString>(
        "setup"); // "", "sparse tail", "fifo", "link to fifo", "folder", "missing"
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<int>("status");
    QTest::addColumn<QSize>("size"); // of the refused image, where the result names it
    QTest::addColumn<QString>("detail"); // part of the result's detail, if given
    QTest::addColumn<QString>("note"); // the one note of a success, if any

    const auto row = [](const char *name, const QByteArray &content, int maxSide, int status,
                        const QString &detail = QString()) {
        QTest::newRow(name) << QString() << QStringLiteral("source.png") << content << maxSide
                            << status << QSize() << detail << QString();
    };
    const int corrupt = ConvertResult::Corrupt;

    // PNG, as Qt writes it and then damaged.
    const QByteArray png = encoded(TestImages::photo(64, 64, 7), "png");
    const int idat = chunkOffset(png, "IDAT");
    const int iend = chunkOffset(png, "IEND");
    row("png cut in IDAT", png.left(idat + 8 + 100), 0, corrupt,
        QStringLiteral("ends inside a chunk"));
    row("png cut in a chunk header", png.left(iend + 6), 0, corrupt,
        QStringLiteral("ends inside a chunk"));
    row("png with a bad IDAT CRC", spoilCrc(png, "IDAT"), 0, corrupt,
        QStringLiteral("CRC error in the PNG's IDAT chunk"));
    row("png without IEND", png.left(iend), 0, corrupt, QStringLiteral("no IEND"));
    row("png header cut short", png.left(20), 0, corrupt, QStringLiteral("cut short"));
    QImage texted = TestImages::photo(16, 16, 2);
    texted.setText(QStringLiteral("Comment"), QStringLiteral("made in a test"));
    QTest::newRow("png with a bad tEXt CRC")
        << QString() << QStringLiteral("source.png") << spoilCrc(encoded(texted, "png"), "tEXt")
        << 0 << int(ConvertResult::Ok) << QSize() << QString()
        << QStringLiteral("libpng warning: tEXt: CRC error");

    // PNG made by hand: 4 x 2 RGBA pixels, rows of a filter byte and 16 bytes.
    const QByteArray rgbaHeader = pngHeader(4, 2, 8, 6);
    const QByteArray rows = QByteArray(1, '\0') + QByteArray(16, 'a') + '\0' + QByteArray(16, 'b');
    QByteArray badFilter = rows;
    badFilter[17] = 5;
    row("png with filter type 5", pngFile(rgbaHeader, badFilter), 0, corrupt,
        QStringLiteral("filter"));
    row("png with one row of two", pngFile(rgbaHeader, rows.left(17)), 0, corrupt,
        QStringLiteral("ends early"));
    row("png with a bad Adler-32", pngFile(rgbaHeader, rows, false), 0, corrupt,
        QStringLiteral("incorrect data check"));
    // Every row is there, but the stream stops in a block that is not its
    // last, with no checksum.
    const QByteArray unfinished =
        QByteArray("\x78\x01\x00", 3) + le16(34) + le16(~34u & 0xffff) + rows;
    row("png whose stream stops after the last row",
        rgbaHeader + pngChunk("IDAT", unfinished) + pngChunk("IEND", QByteArray()), 0, corrupt,
        QStringLiteral("ends early"));
    row("png with a little data after its rows", pngFile(rgbaHeader, rows + QByteArray(100, 'x')),
        0, ConvertResult::Ok);
    row("png hiding a zlib bomb after its rows",
        pngFile(rgbaHeader, rows + QByteArray(300000, '\0')), 0, corrupt,
        QStringLiteral("far more"));
    row("png with an unknown critical chunk",
        rgbaHeader + pngChunk("QXZY", "?") + pngChunk("IDAT", zlibStored(rows))
            + pngChunk("IEND", QByteArray()),
        0, corrupt, QStringLiteral("unknown critical"));
    row("png wider than libpng reads", pngHeader(1000001, 1, 8, 0), 0, ConvertResult::NotDecodable,
        QStringLiteral("1000000"));
    QTest::newRow("png 16-bit 6000 x 6000 over budget")
        << QString() << QStringLiteral("deep.png") << pngHeader(6000, 6000, 16, 6) << 0
        << int(ConvertResult::OverBudget) << QSize(6000, 6000) << QString() << QString();

    // Header-only bombs with a 400 MiB sparse tail: decided from the header.
    const QByteArray bomb = pngHeader(20000, 20000, 8, 6);
    QTest::newRow("png 20000 x 20000, side limit")
        << QStringLiteral("sparse tail") << QStringLiteral("bomb.png") << bomb << MaxImageSide
        << int(ConvertResult::TooLarge) << QSize(20000, 20000) << QString() << QString();
    QTest::newRow("png 20000 x 20000, budget")
        << QStringLiteral("sparse tail") << QStringLiteral("bomb.png") << bomb << 0
        << int(ConvertResult::OverBudget) << QSize(20000, 20000) << QString() << QString();
    // An ICO directory of one 32-bit image stored as PNG, at offset 22.
    const QByteArray ico = QByteArray::fromHex("000001000100"
                                               "00000000"
                                               "0100"
                                               "2000")
        + le32(quint32(bomb.size())) + le32(22) + bomb;
    QTest::newRow("ico holding a png bomb, named .png")
        << QStringLiteral("sparse tail") << QStringLiteral("x.png") << ico << 0
        << int(ConvertResult::NotAnImage) << QSize() << QString() << QString();

    // JPEG.
    const QByteArray jpeg = encoded(TestImages::photo(200, 150, 5), "jpeg");
    const int scan = jpeg.indexOf("\xff\xda");
    QByteArray junk = jpeg;
    junk.replace(scan + (jpeg.size() - scan) / 2, 64, QByteArray(64, char(0xaa)));
    row("jpeg cut in half", jpeg.left(jpeg.size() / 2), 0, corrupt);
    row("jpeg with junk in its entropy data", junk, 0, corrupt,
        QStringLiteral("Corrupt JPEG data"));
    row("jpeg header cut short", jpeg.left(20), 0, corrupt, QStringLiteral("cut short"));
    // libjpeg says nothing about these two: the first scans of a progressive
    // JPEG make a whole (blurred) image, and a missing end marker only shows
    // as a read past the end.
    const QByteArray progressive = encoded(TestImages::photo(64, 48, 5), "jpeg", true);
    const int thirdScan = progressive.indexOf("\xff\xda", progressive.indexOf("\xff\xda") + 2);
    row("jpeg progressive, cut between scans", progressive.left(thirdScan), 0, corrupt,
        QStringLiteral("ends early"));
    row("jpeg without its end marker", jpeg.left(jpeg.size() - 2), 0, corrupt,
        QStringLiteral("ends early"));
    row("jpeg that is all header", jpegHeaderOnly(100, 40, 30), 0, corrupt);
    QTest::newRow("jpeg frame after a 60 KB APP1 segment")
        << QString() << QStringLiteral("big.jpg") << jpegHeaderOnly(60000, 4000, 3000)
        << MaxImageSide << int(ConvertResult::TooLarge) << QSize(4000, 3000) << QString()
        << QString();
    // 8000 x 5000 decodes to 160 MB: within the decoding budget, but past the
    // 128 MiB that Qt 6's image readers allocate by themselves.
    QImage wide(8000, 5000, QImage::Format_RGB32);
    wide.fill(qRgb(40, 90, 160));
    row("jpeg 8000 x 5000, past Qt 6's own allocation limit", encoded(wide, "jpeg"), 0,
        ConvertResult::Ok);

    // BMP: 24 bits as Qt writes them, rows of 16 * 3 = 48 bytes after 54
    // bytes of headers.
    const QByteArray bmp =
        encoded(TestImages::photo(16, 8, 3).convertToFormat(QImage::Format_RGB32), "bmp");
    row("bmp 24-bit cut after two rows", bmp.left(54 + 2 * 48), 0, corrupt,
        QStringLiteral("ends early"));
    row("bmp 24-bit cut in a row", bmp.left(54 + 2 * 48 + 7), 0, corrupt,
        QStringLiteral("ends early"));
    row("bmp header cut short", bmp.left(20), 0, corrupt, QStringLiteral("cut short"));
    const QByteArray palette = bmpFile(5, 3, 8, 0, fourColours, palettePixels());
    row("bmp 8-bit cut in its pixels", palette.left(palette.size() - 11), 0, corrupt,
        QStringLiteral("ends early"));
    row("bmp 8-bit cut after its colour table", palette.left(14 + 40 + 16), 0, corrupt,
        QStringLiteral("ends early"));
    row("bmp RLE8 cut short",
        bmpFile(6, 4, 8, 1, fourColours,
                QByteArray::fromHex("06010000"
                                    "0302")),
        0, corrupt, QStringLiteral("ends early"));
    row("bmp with JPEG compression", bmpFile(2, 2, 24, 4, {}, QByteArray(16, 'x')), 0,
        ConvertResult::NotDecodable);
    QTest::newRow("bmp 30000 x 30000")
        << QString() << QStringLiteral("huge.bmp") << bmpFile(30000, 30000, 24, 0, {}, QByteArray())
        << MaxImageSide << int(ConvertResult::TooLarge) << QSize(30000, 30000) << QString()
        << QString();

    // SVG: the size comes from the root element; the rest is librsvg's.
    const auto svgRow = [](const char *name, const QByteArray &content, int status,
                           const QString &detail = QString(), const char *setup = "",
                           QSize size = QSize(), int maxSide = 0) {
        QTest::newRow(name) << QString::fromLatin1(setup) << QStringLiteral("source.svg") << content
                            << maxSide << status << size << detail << QString();
    };
    const int notDecodable = ConvertResult::NotDecodable;
    const QByteArray icon =
        svg("width=\"16\" height=\"16\"", "<rect width=\"8\" height=\"16\" fill=\"red\"/>");
    svgRow("svg without a size", svg("", "<rect width=\"4\" height=\"4\"/>"), notDecodable,
           QStringLiteral("the SVG has no width, height or viewBox"));
    svgRow("svg sized only in percentages", svg("width=\"100%\" height=\"50%\""), notDecodable,
           QStringLiteral("the SVG has no width, height or viewBox"));
    svgRow("svg with a width only", svg("width=\"2cm\""), notDecodable,
           QStringLiteral("the SVG has no height and no viewBox"));
    svgRow("svg with a zero width", svg("width=\"0\" height=\"16\""), notDecodable,
           QStringLiteral("zero or negative"));
    svgRow("svg whose root element is not well-formed", svg("width=\"16\" height=16"), corrupt,
           QStringLiteral("not well-formed"));
    svgRow("svg root element cut short", icon.left(icon.indexOf("height")), corrupt,
           QStringLiteral("the SVG header is cut short"));
    svgRow("svg with mismatched tags", svg("width=\"16\" height=\"16\"", "<g><rect/></svg>"),
           corrupt);
    svgRow("svg cut short", icon.left(icon.size() - 8), corrupt);
    svgRow("svg whose root is past the sniffed head", "<!--" + QByteArray(5000, ' ') + "-->" + icon,
           ConvertResult::NotAnImage);
    const QByteArray huge = svg("width=\"20000\" height=\"20000\"");
    svgRow("svg 20000 x 20000, budget", huge, ConvertResult::OverBudget, QString(), "",
           QSize(20000, 20000));
    svgRow("svg 20000 x 20000 in millimetres, side limit",
           svg("width=\"5291.66667mm\" height=\"20000px\""), ConvertResult::TooLarge, QString(), "",
           QSize(20000, 20000), MaxImageSide);
    // Nested entities ("billion laughs"): libxml2's limit on expansion,
    // which librsvg keeps, refuses it at once.
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE svg [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \""
            + QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
    }
    laughs += "]>\n" + svg("width=\"32\" height=\"32\"", "<text y=\"20\">&l9;</text>");
    svgRow("svg with nested entities", laughs, corrupt, QStringLiteral("entity"));
    // References to other files and to a server (ReferenceTrap): each is
    // refused, and nothing of theirs is drawn. librsvg has no base URL to
    // resolve them against; external entities are never defined, so their
    // use is an error of the XML.
    const QByteArray references = "svg references";
    const QByteArray namespaces = "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                                  "xmlns:xi=\"http://www.w3.org/2001/XInclude\" ";
    const auto referring = [&](const QByteArray &content) {
        return svg(namespaces + "width=\"32\" height=\"32\"", content);
    };
    const auto referenceRow = [&](const char *name, const QByteArray &content, int status,
                                  const QString &detail = QString()) {
        svgRow(name, content, status, detail, references.constData());
    };
    const int ok = ConvertResult::Ok;
    referenceRow("svg image from a file URL",
                 referring("<image href=\"file://@DIR@/secret.png\" width=\"32\" height=\"32\"/>"),
                 ok);
    referenceRow("svg image from an absolute path",
                 referring("<image xlink:href=\"@DIR@/secret.png\" width=\"32\" height=\"32\"/>"),
                 ok);
    referenceRow("svg image from a path beside it",
                 referring("<image href=\"private/secret.png\" width=\"32\" height=\"32\"/>"), ok);
    referenceRow("svg image from /etc/passwd",
                 referring("<image href=\"/etc/passwd\" width=\"32\" height=\"32\"/>"), ok);
    referenceRow("svg image from a URL",
                 referring("<image href=\"http://127.0.0.1:@PORT@/a.png\" width=\"32\" "
                           "height=\"32\"/>"),
                 ok);
    referenceRow("svg use of another file", referring("<use href=\"private/defs.svg#r\"/>"), ok);
    referenceRow("svg stylesheets from a URL",
                 "<?xml-stylesheet type=\"text/css\" href=\"http://127.0.0.1:@PORT@/a.css\"?>\n"
                     + referring("<style>@import url(\"http://127.0.0.1:@PORT@/b.css\");</style>"),
                 ok);
    referenceRow("svg XInclude of a file",
                 referring("<text y=\"24\" font-size=\"24\" fill=\"red\"><xi:include "
                           "href=\"file://@DIR@/secret.txt\" parse=\"text\"/></text>"),
                 ok);
    referenceRow("svg XInclude of /etc/passwd",
                 referring("<text y=\"24\" font-size=\"24\" fill=\"red\"><xi:include "
                           "href=\"/etc/passwd\" parse=\"text\"/></text>"),
                 ok);
    referenceRow("svg external entity from a file",
                 "<!DOCTYPE svg [<!ENTITY secret SYSTEM \"file://@DIR@/secret.txt\">]>\n"
                     + referring("<text y=\"24\" font-size=\"24\" fill=\"red\">&secret;</text>"),
                 corrupt, QStringLiteral("Entity 'secret' not defined"));
    referenceRow("svg external entity from a URL",
                 "<!DOCTYPE svg [<!ENTITY secret SYSTEM \"http://127.0.0.1:@PORT@/e\">]>\n"
                     + referring("<text y=\"24\" font-size=\"24\" fill=\"red\">&secret;</text>"),
                 corrupt, QStringLiteral("Entity 'secret' not defined"));
    referenceRow("svg external DTD and parameter entity",
                 "<!DOCTYPE svg SYSTEM \"file://@DIR@/secret.dtd\" [<!ENTITY % remote SYSTEM "
                 "\"http://127.0.0.1:@PORT@/p.dtd\"> %remote;]>\n"
                     + referring("<text y=\"24\" font-size=\"24\" fill=\"red\">&secret;</text>"),
                 corrupt, QStringLiteral("%remote; not found"));
    // Forty large blurs over forty rectangles of a 2000 x 2000 canvas take
    // librsvg minutes; the render deadline, set to 1 s here, stops it.
    QByteArray blurs;
    for (int i = 0; i < 40; ++i)
        blurs += "<feGaussianBlur stdDeviation=\"" + QByteArray::number(50 + i) + "\"/>";
    QByteArray rects;
    for (int i = 0; i < 40; ++i) {
        rects += "<rect x=\"" + QByteArray::number(i)
            + "\" width=\"1000\" height=\"1000\" fill=\"red\" filter=\"url(#f)\"/>";
    }
    svgRow("svg whose render takes minutes",
           svg("width=\"2000\" height=\"2000\"",
               "<filter id=\"f\" x=\"-1\" y=\"-1\" width=\"3\" height=\"3\">" + blurs + "</filter>"
                   + rects),
           notDecodable, QStringLiteral("rendering took longer than 1 s"), "svg slow");
    // WebP, as libwebp writes it and then damaged.
    const QByteArray webp = EncodedFiles::webp(TestImages::photo(48, 32, 9), true);
    QVERIFY(!webp.isEmpty());
    row("webp cut in half", webp.left(webp.size() / 2), 0, corrupt, QStringLiteral("ends early"));
    QByteArray longRiff = webp;
    qToLittleEndian<quint32>(quint32(webp.size() - 8 + 100), longRiff.data() + 4);
    row("webp whose RIFF size runs past the data", longRiff, 0, corrupt,
        QStringLiteral("the RIFF header says"));
    row("webp header cut short", webp.left(22), 0, corrupt, QStringLiteral("cut short"));
    QByteArray noVp8 = webp;
    noVp8.replace(12, 4, "JUNK");
    row("webp without a VP8 chunk first", noVp8, 0, corrupt, QStringLiteral("invalid"));
    QByteArray damaged = webp;
    for (int i = 40; i < damaged.size(); i += 3)
        damaged[i] = char(~damaged.at(i));
    row("webp with a damaged bitstream", damaged, 0, corrupt);
    // An extended header for a 2^24 x 2^24 canvas and nothing after it.
    const QByteArray hugeWebp = QByteArray("RIFF\x16\0\0\0WEBPVP8X\x0a\0\0\0", 20)
        + QByteArray::fromHex("00000000ffffffffffff");
    QTest::newRow("webp canvas 16777216 x 16777216")
        << QString() << QStringLiteral("huge.webp") << hugeWebp << 0
        << int(ConvertResult::OverBudget) << QSize(16777216, 16777216) << QString() << QString();

    // GIF, as giflib writes it and then damaged.
    EncodedFiles::GifFrame frame;
    frame.image = TestImages::photo(8, 8, 4).convertToFormat(QImage::Format_Indexed8);
    const QByteArray gif = EncodedFiles::gif(QSize(8, 8), {frame});
    QVERIFY(!gif.isEmpty());
    QTest::newRow("gif canvas 65535 x 65535")
        << QString() << QStringLiteral("huge.gif")
        << EncodedFiles::gif(QSize(65535, 65535), {frame}) << 0 << int(ConvertResult::OverBudget)
        << QSize(65535, 65535) << QString() << QString();
    QTest::newRow("gif canvas 65535 x 65535, side limit")
        << QString() << QStringLiteral("huge.gif")
        << EncodedFiles::gif(QSize(65535, 65535), {frame}) << MaxImageSide
        << int(ConvertResult::TooLarge) << QSize(65535, 65535) << QString() << QString();
    QByteArray narrow = gif;
    qToLittleEndian<quint16>(4, narrow.data() + 6);
    row("gif frame past the canvas", narrow, 0, corrupt, QStringLiteral("lies past the"));
    row("gif cut in its colour table", gif.left(gif.size() / 2), 0, corrupt,
        QStringLiteral("ends early"));
    row("gif cut in its first frame", gif.left(gif.size() - 10), 0, corrupt,
        QStringLiteral("ends early"));
    row("gif without its trailer", gif.left(gif.size() - 1), 0, corrupt,
        QStringLiteral("ends early"));
    const QByteArray twoFrames = EncodedFiles::gif(QSize(8, 8), {frame, frame});
    row("gif cut in its second frame", twoFrames.left(gif.size() + 20), 0, corrupt,
        QStringLiteral("ends early"));
    row("gif header cut short", gif.left(8), 0, corrupt, QStringLiteral("cut short"));
    row("gif without an image", QByteArray("GIF89a\x08\0\x08\0\0\0\0;", 14), 0,
        ConvertResult::NotDecodable, QStringLiteral("no image"));
    QByteArray unknownBlock = gif;
    unknownBlock[unknownBlock.size() - 1] = 'x';
    row("gif with an unknown block after its image", unknownBlock, 0, corrupt,
        QStringLiteral("unknown GIF block"));

    // Not images, or not files.
    row("text named .png", "hello, world\n", 0, ConvertResult::NotAnImage);
    row("empty file", QByteArray(), 0, ConvertResult::NotAnImage);
    for (const char *setup : {"fifo", "link to fifo", "folder"}) {
        QTest::newRow(setup) << QString::fromLatin1(setup) << QStringLiteral("source.png")
                             << QByteArray() << 0 << int(ConvertResult::NotRegularFile) << QSize()
                             << QString() << QString();
    }
    QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("source.png")
                             << QByteArray() << 0 << int(ConvertResult::ReadFailed) << QSize()
                             << QStringLiteral("no such file or directory") << QString();
}

void TestFileWriting::hostileSources()
{
    QFETCH(QString, setup);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, maxSide);
    QFETCH(int, status);
    QFETCH(QSize, size);
    QFETCH(QString, detail);
    QFETCH(QString, note);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QByteArray nativePath = QFile::encodeName(path);
    // An SVG's references lead into private/, watched, and to a server.
    std::unique_ptr<ReferenceTrap> trap;
    std::unique_ptr<RenderDeadline> deadline;
    if (setup == QLatin1String("svg references")) {
        trap.reset(new ReferenceTrap(dir.filePath(QStringLiteral("private"))));
        QVERIFY(trap->ready());
        content = trap->resolved(content);
        setup.clear();
    } else if (setup == QLatin1String("svg slow")) {
        deadline.reset(new RenderDeadline(1000));
        setup.clear();
    }
    if (setup.isEmpty() || setup == QLatin1String("sparse tail")) {
        QVERIFY(writeFile(path, content));
        // Reading this tail would read 400 MiB.
        if (setup == QLatin1String("sparse tail"))
            QVERIFY(QFile::resize(path, qint64(400) << 20));
    } else if (setup == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(nativePath.constData(), 0600), 0);
    } else if (setup == QLatin1String("link to fifo")) {
        QCOMPARE(
            ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("pipe"), path));
    } else if (setup == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(name));
    }

    const int messagesBefore = recordedCount();
    const qint64 readBefore = bytesReadByProcess();
    StderrCapture capture;
    QVERIFY(capture.active());
    SourceImage source;
    ImageProbe probe;
    ConvertResult probed;
    // On a thread of its own, so that a reader stuck on the FIFO fails the
    // test instead of hanging it.
    QElapsedTimer timer;
    timer.start();
    auto call = std::async(std::launch::async, [&] {
        probed = probeImage(path, &probe);
        return readSourceImage(path, maxSide, &source);
    });
    if (call.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int writer = ::open(nativePath.constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        call.wait();
        QFAIL("readSourceImage did not return");
    }
    const ConvertResult result = call.get();
    const qint64 bytesRead = bytesReadByProcess() - readBefore;
    // The same data decoded from memory ends the same way.
    SourceImage fromMemory;
    const ConvertResult inMemory =
        setup.isEmpty() ? decodeImageData(content, path, maxSide, &fromMemory) : ConvertResult();
    const QByteArray stderrText = capture.finish();
    const qint64 elapsed = timer.elapsed();

    QVERIFY2(int(result.status()) == status, qPrintable(result.message()));
    // Every renderer's process is gone, even one stopped at its deadline,
    // and that one was stopped in time (twice: from the file and from
    // memory).
    errno = 0;
    QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);
    if (deadline)
        QVERIFY2(elapsed < 2 * 1000 + 3000, qPrintable(QString::number(elapsed)));
    if (trap) {
        QCOMPARE(trap->filesTouched(), QStringList());
        QCOMPARE(trap->connections(), 0);
        // Nothing drawn: the references were all there was.
        if (result.ok()) {
            QImage transparent(source.image.size(), QImage::Format_ARGB32);
            transparent.fill(0);
            QCOMPARE(source.image, transparent);
        }
    }
    if (setup.isEmpty())
        QCOMPARE(inMemory.status(), result.status());
    // No decoder message went to stderr or on to the earlier handler.
    QCOMPARE(stderrText, QByteArray());
    QCOMPARE(recordedSince(messagesBefore), QStringList());
    if (!detail.isEmpty())
        QVERIFY2(result.detail().contains(detail), qPrintable(result.detail()));
    if (size.isValid()) {
        QCOMPARE(result.imageSize(), size);
        QVERIFY(result.message().contains(
            QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    }
    if (status == ConvertResult::TooLarge)
        QCOMPARE(result.sideLimit(), maxSide);
    // The header alone tells the size of a refused image, and the failures
    // that come before any pixel data.
    if (size.isValid()) {
        QVERIFY(probed.ok());
        QCOMPARE(probe.size, size);
    }
    if (status == ConvertResult::NotRegularFile || status == ConvertResult::ReadFailed
        || status == ConvertResult::NotAnImage || detail.contains(QLatin1String("cut short"))) {
        QCOMPARE(probed.status(), result.status());
    }
    if (status == ConvertResult::Corrupt)
        QCOMPARE(result.reason(), QStringLiteral("cannot be decoded (truncated or corrupt data)"));
    if (setup == QLatin1String("sparse tail")) {
#ifdef Q_OS_LINUX
        QVERIFY(readBefore >= 0);
#endif
        if (readBefore >= 0)
            QVERIFY2(bytesRead < (1 << 20), qPrintable(QString::number(bytesRead)));
    }

    if (status == ConvertResult::Ok) {
        QVERIFY(!source.image.isNull());
        QCOMPARE(source.bytes, content);
        QCOMPARE(result.notes(), note.isEmpty() ? QStringList() : QStringList {note});
    } else {
        QCOMPARE(result.filePath(), path);
        QVERIFY(result.message().startsWith(displayPath(path) + QStringLiteral(": ")));
        QVERIFY(source.image.isNull());
        QVERIFY(source.bytes.isEmpty());
    }
}

void TestFileWriting::validSourcesDecodeAsQt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("mustContain"); // proves the fixture is of the intended kind

    const QImage photo = TestImages::photo(40, 30, 11);
    const auto add = [](const char *row, const char *name, const QByteArray &content,
                        ImageKind kind, const QByteArray &mustContain = QByteArray()) {
        QTest::newRow(row) << QString::fromLatin1(name) << content << int(kind) << mustContain;
    };

    add("png RGBA", "a.png", encoded(photo, "png"), ImageKind::Png);
    add("png palette with tRNS", "a.png",
        encoded(photo.convertToFormat(QImage::Format_Indexed8), "png"), ImageKind::Png, "tRNS");
    add("png grey", "a.png", encoded(photo.convertToFormat(QImage::Format_Grayscale8), "png"),
        ImageKind::Png);
    add("png 16-bit grey", "a.png",
        encoded(photo.convertToFormat(QImage::Format_Grayscale16), "png"), ImageKind::Png);
    add("png 16-bit RGBA", "a.png", encoded(photo.convertToFormat(QImage::Format_RGBA64), "png"),
        ImageKind::Png);
    add("png 1-bit", "a.png", encoded(photo.convertToFormat(QImage::Format_Mono), "png"),
        ImageKind::Png);
    QImage texted = photo;
    texted.setText(QStringLiteral("Comment"), QStringLiteral("made in a test"));
    add("png with text", "a.png", encoded(texted, "png"), ImageKind::Png, "tEXt");
    const QImage small = TestImages::photo(13, 7, 4);
    add("png interlaced RGBA 13 x 7", "a.png",
        pngFile(pngHeader(13, 7, 8, 6, 1), rgbaRows(small, true)), ImageKind::Png);
    add("png interlaced RGBA 3 x 3, passes without pixels", "a.png",
        pngFile(pngHeader(3, 3, 8, 6, 1), rgbaRows(small.copy(0, 0, 3, 3), true)), ImageKind::Png);
    add("png 2-bit grey 7 x 3", "a.png",
        pngFile(pngHeader(7, 3, 2, 0),
                QByteArray::fromHex("001b6c"
                                    "00e4a8"
                                    "0055ff")),
        ImageKind::Png);

    // Made by hand, one row per colour type, depth and transparency that
    // picks its own path through libpng's transforms.
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    add("png 8-bit grey with tRNS", "a.png",
        pngFile(pngHeader(4, 2, 8, 0) + pngChunk("tRNS", hex("0061")),
                hex("0061626364"
                    "0010206180")),
        ImageKind::Png, "tRNS");
    add("png 1-bit grey with tRNS", "a.png",
        pngFile(pngHeader(8, 2, 1, 0) + pngChunk("tRNS", hex("0000")), hex("00a5003c")),
        ImageKind::Png, "tRNS");
    add("png 8-bit RGB", "a.png",
        pngFile(pngHeader(2, 2, 8, 2),
                hex("00ff000000ff00"
                    "000000ff808080")),
        ImageKind::Png);
    add("png 8-bit RGB with tRNS", "a.png",
        pngFile(pngHeader(2, 2, 8, 2) + pngChunk("tRNS", hex("00ff00000000")),
                hex("00ff000000ff00"
                    "000000ff808080")),
        ImageKind::Png, "tRNS");
    add("png 8-bit RGB with gAMA 1.0, left as stored", "a.png",
        pngFile(pngHeader(2, 2, 8, 2) + pngChunk("gAMA", be32(100000)),
                hex("00ff000040ff00"
                    "000000ff808080")),
        ImageKind::Png, "gAMA");
    add("png 8-bit grey and alpha", "a.png",
        pngFile(pngHeader(2, 2, 8, 4),
                hex("001080ff00"
                    "0040ff00ff")),
        ImageKind::Png);
    add("png 16-bit grey and alpha", "a.png",
        pngFile(pngHeader(2, 1, 16, 4), hex("0012348000ffff0101")), ImageKind::Png);
    add("png 16-bit RGB", "a.png",
        pngFile(pngHeader(2, 1, 16, 2), hex("00123456789abcfedcba987654")), ImageKind::Png);
    add("png 16-bit RGB with tRNS", "a.png",
        pngFile(pngHeader(2, 1, 16, 2) + pngChunk("tRNS", hex("123456789abc")),
                hex("00123456789abcfedcba987654")),
        ImageKind::Png, "tRNS");
    add("png 16-bit grey with tRNS", "a.png",
        pngFile(pngHeader(2, 1, 16, 0) + pngChunk("tRNS", hex("1234")), hex("001234abcd")),
        ImageKind::Png, "tRNS");
    add("png 4-bit palette, tRNS shorter than the palette", "a.png",
        pngFile(pngHeader(4, 2, 4, 3) + pngChunk("PLTE", hex("ff000000ff000000ff"))
                    + pngChunk("tRNS", hex("8000")),
                hex("000120"
                    "002100")),
        ImageKind::Png, "PLTE");
    add("png 1-bit palette", "a.png",
        pngFile(pngHeader(8, 1, 1, 3) + pngChunk("PLTE", hex("102030f0e0d0")), hex("00a5")),
        ImageKind::Png, "PLTE");
    // Adam7 passes of 5 x 3 pixels: 1, 1, none, 1, 3, 2 x 2 and 5.
    add("png 2-bit palette interlaced 5 x 3", "a.png",
        pngFile(pngHeader(5, 3, 2, 3, 1) + pngChunk("PLTE", hex("000000ff000000ff000000ff")),
                hex("0040"
                    "0080"
                    "00c0"
                    "00e4"
                    "00d0"
                    "0070"
                    "001b40")),
        ImageKind::Png, "PLTE");
    add("png 16-bit RGBA interlaced 13 x 7", "a.png",
        encoded(small.convertToFormat(QImage::Format_RGBA64), "png"), ImageKind::Png);

    add("jpeg colour", "a.jpg", encoded(photo, "jpeg"), ImageKind::Jpeg);
    add("jpeg grey", "a.jpg", encoded(photo.convertToFormat(QImage::Format_Grayscale8), "jpeg"),
        ImageKind::Jpeg);
    add("jpeg progressive", "a.jpg", encoded(photo, "jpeg", true), ImageKind::Jpeg,
        QByteArray("\xff\xc2", 2));
    add("jpeg colour 37 x 19, partial blocks", "a.jpg",
        encoded(TestImages::photo(37, 19, 3), "jpeg"), ImageKind::Jpeg);

    add("bmp as Qt writes RGB32", "a.bmp",
        encoded(photo.convertToFormat(QImage::Format_RGB32), "bmp"), ImageKind::Bmp);
    add("bmp as Qt writes ARGB32", "a.bmp", encoded(photo, "bmp"), ImageKind::Bmp);
    const QImage eightColours =
        photo.convertToFormat(QImage::Format_Indexed8,
                              {0xff000000, 0xffffffff, 0xffff0000, 0xff00ff00, 0xff0000ff,
                               0xff808080, 0xffffff00, 0xff00ffff});
    add("bmp 4-bit as Qt writes 8 colours", "a.bmp", encoded(eightColours, "bmp"), ImageKind::Bmp);
    add("bmp 1-bit as Qt writes Mono", "a.bmp",
        encoded(photo.convertToFormat(QImage::Format_Mono), "bmp"), ImageKind::Bmp);
    add("bmp 8-bit palette", "a.bmp", bmpFile(5, 3, 8, 0, fourColours, palettePixels()),
        ImageKind::Bmp);
    add("bmp 8-bit palette, top-down", "a.bmp", bmpFile(5, -3, 8, 0, fourColours, palettePixels()),
        ImageKind::Bmp);
    add("bmp 1-bit", "a.bmp",
        bmpFile(10, 3, 1, 0, {qRgb(20, 20, 60), qRgb(240, 230, 200)},
                QByteArray::fromHex("b5400000"
                                    "0fc00000"
                                    "aa800000")),
        ImageKind::Bmp);
    // RLE8, bottom row first: a run of six; two runs of three; six pixels
    // in absolute mode; a run of two and one of four, then the end.
    add("bmp RLE8", "a.bmp",
        bmpFile(6, 4, 8, 1, fourColours,
                QByteArray::fromHex("06010000"
                                    "030203030000"
                                    "0006000102030201"
                                    "0000"
                                    "020004010001")),
        ImageKind::Bmp);
    const QByteArray bgra = QByteArray::fromHex("102030ff 40506080 70809000"
                                                "a0b0c040 d0e0f0ff 1122337f");
    add("bmp 32-bit", "a.bmp", bmpFile(3, 2, 32, 0, {}, bgra), ImageKind::Bmp);
    add("bmp V5 bit fields with alpha", "a.bmp",
        bmpFile(3, 2, 32, 3, {}, bgra, {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000}),
        ImageKind::Bmp);
}

void TestFileWriting::validSourcesDecodeAsQt()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(QByteArray, mustContain);

    QVERIFY(content.contains(mustContain));
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(writeFile(path, content));
    const QImage expected(path);
    QVERIFY(!expected.isNull());

    for (const int maxSide : {0, MaxImageSide}) {
        const int messagesBefore = recordedCount();
        StderrCapture capture;
        SourceImage source;
        const ConvertResult result = readSourceImage(path, maxSide, &source);
        QCOMPARE(capture.finish(), QByteArray());
        QCOMPARE(recordedSince(messagesBefore), QStringList());

        QVERIFY2(result.ok(), qPrintable(result.message()));
        QCOMPARE(result.notes(), QStringList());
        QCOMPARE(int(source.kind), kind);
        ImageProbe probe;
        QVERIFY(probeImage(path, &probe).ok());
        QCOMPARE(int(probe.kind), kind);
        QCOMPARE(probe.size, expected.size());
        QCOMPARE(source.bytes, content);
        QCOMPARE(source.image.format(), expected.format());
        QCOMPARE(source.image.colorTable(), expected.colorTable());
        QCOMPARE(source.image, expected);
        QCOMPARE(pixelBytes(source.image), pixelBytes(expected));
    }
}

// An SVG is drawn at the size wanted (its own size when nothing asks for
// another), not drawn at its own and scaled: a rectangle's edge on a pixel
// boundary stays sharp at every size. Straight alpha comes out, as from a
// PNG with alpha.
void TestFileWriting::svgRendersAtTheSizeWanted_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QSize>("wanted"); // invalid: the own size
    QTest::addColumn<int>("status");
    QTest::addColumn<QImage>("expected"); // of a success

    const QByteArray leftHalf = "<rect width=\"8\" height=\"16\" fill=\"red\"/>";
    const QByteArray icon = svg("width=\"16\" height=\"16\"", leftHalf);
    const int ok = ConvertResult::Ok;
    QTest::newRow("icon at its own size") << icon << QSize() << ok << redLeft(QSize(16, 16), 8);
    QTest::newRow("icon at 64 x 64") << icon << QSize(64, 64) << ok << redLeft(QSize(64, 64), 32);
    QTest::newRow("icon stretched to 48 x 16")
        << icon << QSize(48, 16) << ok << redLeft(QSize(48, 16), 24);
    QTest::newRow("viewBox only") << svg("viewBox=\"0 0 16 16\"", leftHalf) << QSize() << ok
                                  << redLeft(QSize(16, 16), 8);
    QTest::newRow("viewBox only, at 40 x 40") << svg("viewBox=\"0,0,16,16\"", leftHalf)
                                              << QSize(40, 40) << ok << redLeft(QSize(40, 40), 20);
    QTest::newRow("width and a viewBox of another aspect")
        << svg("width=\"32\" viewBox=\"0 0 16 8\"", "<rect width=\"8\" height=\"8\" fill=\"red\"/>")
        << QSize() << ok << redLeft(QSize(32, 16), 16);
    QTest::newRow("percentages ignored for the viewBox")
        << svg("width=\"100%\" height=\"100%\" viewBox=\"0 0 16 16\"", leftHalf) << QSize() << ok
        << redLeft(QSize(16, 16), 8);
    // 0.25in = 24 px and 12pt = 16 px at 96 dpi; the viewBox maps 24 x 16.
    QTest::newRow("inches and points")
        << svg("width=\"0.25in\" height=\"12pt\" viewBox=\"0 0 24 16\"",
               "<rect width=\"12\" height=\"16\" fill=\"red\"/>")
        << QSize() << ok << redLeft(QSize(24, 16), 12);
    QTest::newRow("millimetres, a fraction rounded up")
        << svg("width=\"10mm\" height=\"4.2333mm\"") << QSize() << ok << redLeft(QSize(38, 16), 0);
    QImage half(4, 4, QImage::Format_ARGB32);
    half.fill(qRgba(255, 0, 0, 128));
    QTest::newRow("half-transparent red is red, not dark")
        << svg("width=\"4\" height=\"4\"",
               "<rect width=\"4\" height=\"4\" fill=\"red\" fill-opacity=\"0.502\"/>")
        << QSize() << ok << half;
    QTest::newRow("prologue before the root")
        << "\xef\xbb\xbf<?xml version=\"1.0\"?>\n<!-- icon -->\n<!DOCTYPE svg PUBLIC "
           "\"-//W3C//DTD SVG 1.1//EN\" "
           "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
            + icon
        << QSize() << ok << redLeft(QSize(16, 16), 8);
    // The budget applies to the size wanted, not the one declared.
    QTest::newRow("a size wanted past the budget")
        << icon << QSize(20000, 20000) << int(ConvertResult::OverBudget) << QImage();
}

void TestFileWriting::svgRendersAtTheSizeWanted()
{
    QFETCH(QByteArray, content);
    QFETCH(QSize, wanted);
    QFETCH(int, status);
    QFETCH(QImage, expected);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("icon.svg"));
    QVERIFY(writeFile(path, content));
    DecodeRequest request;
    if (wanted.isValid())
        request.wantedSize = [wanted](QSize) { return wanted; };
    SourceImage source;
    const ConvertResult result = readSourceImage(path, request, &source);
    QVERIFY2(int(result.status()) == status, qPrintable(result.message()));
    if (status != ConvertResult::Ok) {
        QCOMPARE(result.imageSize(), wanted);
        QVERIFY(source.image.isNull());
        return;
    }
    QCOMPARE(result.notes(), QStringList());
    QCOMPARE(source.kind, ImageKind::Svg);
    QCOMPARE(source.bytes, content);
    QCOMPARE(source.image.format(), QImage::Format_ARGB32);
    QCOMPARE(source.image, expected);
    // The probe gives the own size, and memory decodes as the file does.
    ImageProbe probe;
    QVERIFY(probeImage(path, &probe).ok());
    QCOMPARE(probe.kind, ImageKind::Svg);
    if (!wanted.isValid())
        QCOMPARE(probe.size, source.image.size());
    SourceImage fromMemory;
    QVERIFY(decodeImageData(content, path, request, &fromMemory).ok());
    QCOMPARE(fromMemory.image, source.image);
}

// WebP and GIF files written by their own libraries decode to the image
// that went in: exactly where the encoding is lossless, near it where not.
void TestFileWriting::decodedPixelsMatchTheirSource_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<int>("format"); // the decoded image's
    QTest::addColumn<int>("maxError"); // per channel

    using EncodedFiles::GifFrame;
    const QImage photo = TestImages::photo(37, 23, 3).convertToFormat(QImage::Format_ARGB32);
    const QImage opaque = TestImages::photo(37, 23, 5).convertToFormat(QImage::Format_RGB32);
    const int argb = QImage::Format_ARGB32;
    const int rgb = QImage::Format_RGB32;
    const auto webpRow = [](const char *name, const QByteArray &content, const QImage &expected,
                            int format, int maxError) {
        QTest::newRow(name) << content << int(ImageKind::Webp) << expected << format << maxError;
    };
    webpRow("webp lossless with alpha", EncodedFiles::webp(photo, true), photo, argb, 0);
    webpRow("webp lossless opaque", EncodedFiles::webp(opaque, true), opaque, rgb, 0);
    webpRow("webp lossy with alpha", EncodedFiles::webp(photo, false, 95), photo, argb, 48);
    webpRow("webp lossy opaque", EncodedFiles::webp(opaque, false, 95), opaque, rgb, 48);
    QImage second = photo.mirrored(true, false);
    webpRow("webp animation of two frames, the first", EncodedFiles::webpAnimation({photo, second}),
            photo, argb, 0);

    const QImage indexed = photo.convertToFormat(QImage::Format_Indexed8);
    const QSize canvas(45, 30);
    const auto gifRow = [&](const char *name, const GifFrame &frame, QVector<GifFrame> more,
                            QSize size, int format) {
        more.prepend(frame);
        QImage expected = EncodedFiles::gifCanvas(size, frame);
        if (format == QImage::Format_RGB32)
            expected = expected.convertToFormat(QImage::Format_RGB32);
        QTest::newRow(name) << EncodedFiles::gif(size, more) << int(ImageKind::Gif) << expected
                            << format << 0;
    };
    GifFrame whole;
    whole.image = indexed;
    gifRow("gif whole canvas, global colour table", whole, {}, indexed.size(), rgb);
    GifFrame placed = whole;
    placed.at = QPoint(5, 4);
    gifRow("gif frame placed on a larger canvas", placed, {}, canvas, argb);
    GifFrame transparent = whole;
    transparent.transparent = indexed.constScanLine(0)[0];
    gifRow("gif with a transparent index", transparent, {}, indexed.size(), argb);
    GifFrame interlaced = placed;
    interlaced.interlaced = true;
    gifRow("gif interlaced", interlaced, {}, canvas, argb);
    GifFrame local = placed;
    local.localTable = true;
    gifRow("gif local colour table only", local, {}, canvas, argb);
    GifFrame other;
    other.image = second.convertToFormat(QImage::Format_Indexed8);
    other.localTable = true;
    gifRow("gif of two frames, the first", transparent, {other}, indexed.size(), argb);
}

void TestFileWriting::decodedPixelsMatchTheirSource()
{
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(QImage, expected);
    QFETCH(int, format);
    QFETCH(int, maxError);

    QVERIFY(!content.isEmpty());
    SourceImage source;
    const ConvertResult result = decodeImageData(content, QStringLiteral("in"), 0, &source);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(int(source.kind), kind);
    QCOMPARE(source.size, expected.size());
    QCOMPARE(int(source.image.format()), format);
    int worst = 0;
    for (int y = 0; y < expected.height(); ++y) {
        const auto *got = reinterpret_cast<const QRgb *>(source.image.constScanLine(y));
        const auto *want = reinterpret_cast<const QRgb *>(expected.constScanLine(y));
        for (int x = 0; x < expected.width(); ++x) {
            // Colour under full transparency is not compared where the
            // encoding is lossy.
            if (maxError > 0 && qAlpha(want[x]) == 0 && qAlpha(got[x]) <= maxError)
                continue;
            worst = std::max({worst, std::abs(qAlpha(got[x]) - qAlpha(want[x])),
                              std::abs(qRed(got[x]) - qRed(want[x])),
                              std::abs(qGreen(got[x]) - qGreen(want[x])),
                              std::abs(qBlue(got[x]) - qBlue(want[x]))});
        }
    }
    QVERIFY2(worst <= maxError, qPrintable(QString::number(worst)));

    // The window reads none of these kinds.
    DecodeRequest windowRequest;
    windowRequest.windowKindsOnly = true;
    SourceImage refused;
    const ConvertResult inWindow =
        decodeImageData(content, QStringLiteral("in"), windowRequest, &refused);
    QCOMPARE(inWindow.status(), ConvertResult::NotAnImage);
    QCOMPARE(inWindow.reason(), QStringLiteral("not a PNG, JPEG or BMP image"));
}

// A JPEG decodes at the smallest scale n / 8 whose size still covers the
// size wanted in both sides, and never above its own size.
namespace {

// An Indexed8 image of size whose pixels cycle through colours, diagonally.
QImage stripes(QSize size, const QVector<QRgb> &colours)
{
    QImage image(size, QImage::Format_Indexed8);
    image.setColorTable(colours);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.scanLine(y)[x] = uchar((x + y) % colours.size());
    }
    return image;
}

// A frame with its palette as its local colour table, or, with global, as
// the file's global one (which is the first frame's palette).
EncodedFiles::GifFrame gifFrame(const QImage &image, QPoint at, int disposal, int delayCs,
                                bool global = false)
{
    EncodedFiles::GifFrame frame;
    frame.image = image;
    frame.localTable = !global;
    frame.at = at;
    frame.disposal = disposal;
    frame.delayCs = delayCs;
    return frame;
}

// canvas with rect cleared to transparent.
QImage cleared(QImage canvas, const QRect &rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            canvas.setPixel(x, y, 0);
    }
    return canvas;
}

QImage drawn(QImage canvas, const EncodedFiles::GifFrame &frame)
{
    EncodedFiles::drawGifFrame(&canvas, frame);
    return canvas;
}

QImage filled(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// src over dst, unpremultiplied, as the WebP container defines blending.
QRgb over(QRgb src, QRgb dst)
{
    const double sa = qAlpha(src) / 255.0;
    const double da = qAlpha(dst) / 255.0 * (1 - sa);
    const double a = sa + da;
    if (a <= 0)
        return 0;
    const auto channel = [&](int s, int d) { return int(std::lround((s * sa + d * da) / a)); };
    return qRgba(channel(qRed(src), qRed(dst)), channel(qGreen(src), qGreen(dst)),
                 channel(qBlue(src), qBlue(dst)), int(std::lround(a * 255)));
}

QImage blended(QImage canvas, const QImage &frame, QPoint at)
{
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x)
            canvas.setPixel(at + QPoint(x, y),
                            over(frame.pixel(x, y), canvas.pixel(at + QPoint(x, y))));
    }
    return canvas;
}

} // namespace

// Every frame of an animation is the canvas as it is shown, each frame
// drawn over what the ones before it left as their disposal and blending
// say; the headers alone give the same count, delays and loop count.
void TestFileWriting::animationFramesAsComposited_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QVector<QImage>>("expected");
    QTest::addColumn<QVector<int>>("delays");
    QTest::addColumn<int>("loopCount");
    QTest::addColumn<int>("maxError"); // per channel

    using EncodedFiles::GifFrame;
    const QSize canvas(12, 10);
    const QImage blank = filled(canvas, 0);
    const QImage big = stripes(QSize(8, 6), {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff});
    const QImage small = stripes(QSize(6, 5), {0xffffff00, 0xff00ffff, 0xff800080});
    const QImage tiny = stripes(QSize(3, 3), {0xff102030, 0xff405060});

    const GifFrame a = gifFrame(big, QPoint(0, 0), 2, 5, true);
    const GifFrame b = gifFrame(small, QPoint(4, 3), 0, 7);
    QTest::newRow("gif disposal 2 clears the frame's rectangle")
        << EncodedFiles::gif(canvas, {a, b})
        << QVector<QImage> {drawn(blank, a), drawn(cleared(drawn(blank, a), a.image.rect()), b)}
        << QVector<int> {50, 70} << 1 << 0;

    const GifFrame keep = gifFrame(big, QPoint(0, 0), 1, 10, true);
    const GifFrame back = gifFrame(small, QPoint(4, 3), 3, 10);
    const GifFrame after = gifFrame(tiny, QPoint(9, 7), 0, 10);
    QTest::newRow("gif disposal 3 restores the canvas before the frame")
        << EncodedFiles::gif(canvas, {keep, back, after})
        << QVector<QImage> {drawn(blank, keep), drawn(drawn(blank, keep), back),
                            drawn(drawn(blank, keep), after)}
        << QVector<int> {100, 100, 100} << 1 << 0;

    GifFrame holes = gifFrame(small, QPoint(2, 1), 1, 4);
    holes.transparent = 1;
    QTest::newRow("gif transparent index shows the frame beneath")
        << EncodedFiles::gif(canvas, {keep, holes})
        << QVector<QImage> {drawn(blank, keep), drawn(drawn(blank, keep), holes)}
        << QVector<int> {100, 40} << 1 << 0;

    GifFrame firstLocal = keep;
    firstLocal.localTable = true;
    GifFrame secondLocal = gifFrame(tiny, QPoint(1, 1), 0, 10);
    secondLocal.localTable = true;
    secondLocal.interlaced = true;
    QTest::newRow("gif local colour tables, interlaced")
        << EncodedFiles::gif(canvas, {firstLocal, secondLocal})
        << QVector<QImage> {drawn(blank, firstLocal), drawn(drawn(blank, firstLocal), secondLocal)}
        << QVector<int> {100, 100} << 1 << 0;

    const GifFrame fast = gifFrame(big, QPoint(0, 0), 1, 0, true);
    const GifFrame fastToo = gifFrame(tiny, QPoint(2, 2), 1, 0);
    QTest::newRow("gif zero delay stays 0, loop count 3")
        << EncodedFiles::gif(canvas, {fast, fastToo}, 3)
        << QVector<QImage> {drawn(blank, fast), drawn(drawn(blank, fast), fastToo)}
        << QVector<int> {0, 0} << 3 << 0;
    QTest::newRow("gif looping for ever")
        << EncodedFiles::gif(canvas, {fast, fastToo}, 0)
        << QVector<QImage> {drawn(blank, fast), drawn(drawn(blank, fast), fastToo)}
        << QVector<int> {0, 0} << 0 << 0;
    QTest::newRow("gif of one frame is still, whatever its delay")
        << EncodedFiles::gif(canvas, {gifFrame(big, QPoint(0, 0), 0, 50)})
        << QVector<QImage> {drawn(blank, keep)} << QVector<int> {0} << 1 << 0;

    // WebP: a translucent frame blended over an opaque one, then one that
    // replaces its rectangle, alpha and all, and is cleared after it.
    const QImage base = TestImages::photo(12, 10, 2).convertToFormat(QImage::Format_ARGB32);
    QImage glass = TestImages::photo(6, 4, 4).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < glass.height(); ++y) {
        for (int x = 0; x < glass.width(); ++x)
            glass.setPixel(x, y, (glass.pixel(x, y) & 0xffffff) | uint((x * 50) % 256) << 24);
    }
    EncodedFiles::WebpFrame w0 {base, QPoint(0, 0), 80, false, false};
    EncodedFiles::WebpFrame w1 {glass, QPoint(2, 4), 120, true, false};
    EncodedFiles::WebpFrame w2 {glass, QPoint(4, 2), 60, false, true};
    EncodedFiles::WebpFrame w3 {TestImages::photo(2, 2, 1), QPoint(10, 8), 0, true, false};
    const QImage shown1 = blended(base, glass, w1.at);
    QImage shown2 = shown1;
    for (int y = 0; y < glass.height(); ++y) {
        for (int x = 0; x < glass.width(); ++x)
            shown2.setPixel(w2.at + QPoint(x, y), glass.pixel(x, y));
    }
    const QImage shown3 = blended(cleared(shown2, QRect(w2.at, glass.size())),
                                  w3.image.convertToFormat(QImage::Format_ARGB32), w3.at);
    QTest::newRow("webp alpha blending, replacing and disposal to background")
        << EncodedFiles::webpFrames(canvas, {w0, w1, w2, w3}, 2)
        << QVector<QImage> {base, shown1, shown2, shown3} << QVector<int> {80, 120, 60, 0} << 2
        << 1;
    const QImage mirrored = base.mirrored(true, false);
    QTest::newRow("webp animation as the encoder optimises it")
        << EncodedFiles::webpAnimation({base, mirrored, base})
        << QVector<QImage> {base, mirrored, base} << QVector<int> {100, 100, 100} << 0 << 0;

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(base.save(&buffer, "PNG"));
    QTest::newRow("png is one still frame")
        << png << QVector<QImage> {base} << QVector<int> {0} << 1 << 0;
    QTest::newRow("still webp is one still frame")
        << EncodedFiles::webp(base, true) << QVector<QImage> {base} << QVector<int> {0} << 1 << 0;
}

void TestFileWriting::animationFramesAsComposited()
{
    QFETCH(QByteArray, content);
    QFETCH(QVector<QImage>, expected);
    QFETCH(QVector<int>, delays);
    QFETCH(int, loopCount);
    QFETCH(int, maxError);
    QVERIFY(!content.isEmpty());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("anim"));
    QVERIFY(writeFile(path, content));
    Animation animation;
    const ConvertResult result = readAnimation(path, DecodeRequest(), &animation);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(animation.bytes, content);
    QCOMPARE(animation.frames.size(), expected.size());
    QCOMPARE(animation.info.frameCount, expected.size());
    QCOMPARE(animation.info.canvas, expected.first().size());
    QCOMPARE(animation.info.delaysMs, delays);
    QCOMPARE(animation.info.loopCount, loopCount);
    for (int i = 0; i < expected.size(); ++i) {
        const QImage &got = animation.frames.at(i).image;
        QCOMPARE(int(got.format()), int(QImage::Format_ARGB32));
        QCOMPARE(got.size(), expected.at(i).size());
        QCOMPARE(animation.frames.at(i).delayMs, delays.at(i));
        int worst = 0;
        for (int y = 0; y < got.height(); ++y) {
            for (int x = 0; x < got.width(); ++x) {
                const QRgb g = got.pixel(x, y);
                const QRgb w = expected.at(i).pixel(x, y);
                if (qAlpha(g) == 0 && qAlpha(w) == 0)
                    continue; // no colour under full transparency
                worst =
                    std::max({worst, std::abs(qAlpha(g) - qAlpha(w)), std::abs(qRed(g) - qRed(w)),
                              std::abs(qGreen(g) - qGreen(w)), std::abs(qBlue(g) - qBlue(w))});
            }
        }
        QVERIFY2(worst <= maxError,
                 qPrintable(QStringLiteral("frame %1 is off by %2").arg(i).arg(worst)));
    }

    AnimationInfo info;
    QVERIFY(readAnimationInfo(content, path, &info).ok());
    QCOMPARE(info.frameCount, expected.size());
    QCOMPARE(info.delaysMs, delays);
    QCOMPARE(info.loopCount, loopCount);
    QCOMPARE(info.canvas, animation.info.canvas);
    QCOMPARE(info.restoresToPrevious, QByteArray(QTest::currentDataTag()).contains("disposal 3"));
}

// Frames that cannot all be decoded fail the whole file; frames that
// together pass the decoding budget are refused from the headers.
void TestFileWriting::animationRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QImage big = stripes(QSize(8, 6), {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff});
    const QVector<EncodedFiles::GifFrame> three = {gifFrame(big, QPoint(0, 0), 1, 10),
                                                   gifFrame(big, QPoint(1, 1), 1, 10),
                                                   gifFrame(big, QPoint(2, 2), 1, 10)};
    const QByteArray gif = EncodedFiles::gif(QSize(12, 10), three);
    const int corrupt = int(ConvertResult::Corrupt);
    QTest::newRow("gif cut in its last frame")
        << gif.left(gif.size() - 6) << 0 << corrupt << QStringLiteral("truncated or corrupt");
    QTest::newRow("gif without its trailer")
        << gif.left(gif.size() - 1) << 0 << corrupt << QStringLiteral("truncated or corrupt");
    // The file of the first two frames, less its trailer, is where the
    // third begins: its graphic control extension (8 bytes), then its
    // image descriptor (2C, left u16, ..., flags), its local colour table,
    // the LZW code size, data.
    const int third = EncodedFiles::gif(QSize(12, 10), three.mid(0, 2)).size() - 1;
    QCOMPARE(gif.at(third + 8), '\x2c');
    QByteArray outside = gif;
    outside[third + 9] = char(9);
    QTest::newRow("gif last frame past the canvas")
        << outside << 0 << corrupt << QStringLiteral("truncated or corrupt");
    QByteArray codeSize = gif;
    const uchar flags = uchar(gif.at(third + 17));
    codeSize[third + 18 + (flags & 0x80 ? 3 * (2 << (flags & 7)) : 0)] = char(12);
    QTest::newRow("gif last frame with an impossible LZW code size")
        << codeSize << 0 << corrupt << QStringLiteral("truncated or corrupt");

    EncodedFiles::GifFrame dot;
    dot.image = stripes(QSize(1, 1), {0xff000000, 0xffffffff});
    dot.delayCs = 10;
    const QByteArray many = EncodedFiles::gif(QSize(4096, 4096), {dot, dot, dot, dot, dot});
    QTest::newRow("gif frames past the budget together")
        << many << 0 << int(ConvertResult::OverBudget)
        << QStringLiteral("the animation is 4096 x 4096 pixels in 5 frames; at most 64 "
                          "megapixels");
    QTest::newRow("gif canvas past the side limit")
        << many << 2047 << int(ConvertResult::TooLarge) << QStringLiteral("4096 x 4096");

    const QImage photo = TestImages::photo(12, 10, 2);
    const EncodedFiles::WebpFrame tile {photo, QPoint(0, 0), 100, true, false};
    QTest::newRow("webp frames past the budget together")
        << EncodedFiles::webpFrames(QSize(4096, 4096), {tile, tile, tile}) << 0
        << int(ConvertResult::OverBudget)
        << QStringLiteral("the animation is 4096 x 4096 pixels in 3 frames");
    const QByteArray webp = EncodedFiles::webpAnimation({photo, photo.mirrored(), photo});
    QTest::newRow("webp animation cut in its last frame")
        << webp.left(webp.size() - 20) << 0 << corrupt << QStringLiteral("truncated or corrupt");
    // The last frame's lossless bitstream loses its signature byte.
    QByteArray damaged = webp;
    const int bitstream = damaged.lastIndexOf("VP8L");
    QVERIFY(bitstream > damaged.indexOf("VP8L"));
    damaged[bitstream + 8] = '\0';
    QTest::newRow("webp animation with a damaged last frame")
        << damaged << 0 << corrupt << QStringLiteral("truncated or corrupt");
}

void TestFileWriting::animationRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(int, maxSide);
    QFETCH(int, status);
    QFETCH(QString, message);
    QVERIFY(!content.isEmpty());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("anim"));
    QVERIFY(writeFile(path, content));
    DecodeRequest request;
    request.maxSide = maxSide;
    Animation animation;
    const ConvertResult result = readAnimation(path, request, &animation);
    QCOMPARE(int(result.status()), status);
    QVERIFY2(int(result.status()) == status, qPrintable(result.message()));
    QVERIFY(result.message().contains(path));
    QVERIFY(animation.frames.isEmpty());
}

void TestFileWriting::jpegScaledDecode_data()
{
    QTest::addColumn<bool>("grey");
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<QSize>("decoded");

    QTest::newRow("own size") << false << QSize(200, 150) << QSize(200, 150);
    QTest::newRow("larger than the image") << false << QSize(400, 300) << QSize(200, 150);
    QTest::newRow("half") << false << QSize(100, 75) << QSize(100, 75);
    QTest::newRow("just over half: 5 / 8") << false << QSize(101, 10) << QSize(125, 94);
    QTest::newRow("full height wanted") << false << QSize(20, 150) << QSize(200, 150);
    QTest::newRow("tiny: 1 / 8, rounded up") << false << QSize(10, 10) << QSize(25, 19);
    QTest::newRow("grey, 3 / 8") << true << QSize(60, 50) << QSize(75, 57);
}

void TestFileWriting::jpegScaledDecode()
{
    QFETCH(bool, grey);
    QFETCH(QSize, wanted);
    QFETCH(QSize, decoded);

    QImage photo = TestImages::photo(200, 150, 9);
    if (grey)
        photo = photo.convertToFormat(QImage::Format_Grayscale8);
    const QByteArray jpeg = encoded(photo, "jpeg");
    DecodeRequest request;
    request.wantedSize = [wanted](QSize) { return wanted; };
    SourceImage source;
    const ConvertResult result = decodeImageData(jpeg, QStringLiteral("a.jpg"), request, &source);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(source.image.size(), decoded);
    QCOMPARE(source.size, decoded);
    QCOMPARE(source.image.format(), grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    // A reduced decode is a picture of the same photo, not noise: its mean
    // colour is the full image's, within a few levels.
    const QImage full = QImage::fromData(jpeg).convertToFormat(QImage::Format_RGB32);
    const QImage small = source.image.convertToFormat(QImage::Format_RGB32);
    const auto meanGreen = [](const QImage &image) {
        qint64 sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                sum += qGreen(image.pixel(x, y));
        }
        return double(sum) / (qint64(image.width()) * image.height());
    };
    QVERIFY2(
        qAbs(meanGreen(full) - meanGreen(small)) < 4.0,
        qPrintable(QStringLiteral("%1 against %2").arg(meanGreen(full)).arg(meanGreen(small))));
    if (decoded == photo.size())
        QCOMPARE(source.image, QImage::fromData(jpeg));
}

void TestFileWriting::skippedPixelsAreZero()
{
    // An RLE8 bitmap may end early: its bottom row is a run of 64 pixels,
    // then the end marker, and the decoder skips the other 63 rows. Blocks
    // of the size the image will take are freed with a pattern first, so
    // that memory the decoder does not write shows that pattern.
    const QByteArray rle = bmpFile(64, 64, 8, 1, fourColours, QByteArray::fromHex("40010001"));
    std::vector<void *> blocks;
    for (int i = 0; i < 16; ++i) {
        blocks.push_back(std::malloc(64 * 64));
        std::memset(blocks.back(), 0xab, 64 * 64);
    }
    for (void *block : blocks)
        std::free(block);

    SourceImage source;
    const ConvertResult result = decodeImageData(rle, QStringLiteral("rle.bmp"), 0, &source);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(source.image.format(), QImage::Format_Indexed8);
    QByteArray expected(63 * 64, '\0');
    expected += QByteArray(64, '\1');
    QCOMPARE(pixelBytes(source.image), expected);
}

void TestFileWriting::decoderMessagesStayWithTheirDecode()
{
    // Three sources that end three ways, decoded at once on four threads,
    // while this thread logs: each result carries its own decoder's words
    // and nothing else, and this thread's messages still arrive.
    const QByteArray clean = encoded(TestImages::photo(48, 32, 1), "png");
    QImage texted = TestImages::photo(48, 32, 2);
    texted.setText(QStringLiteral("Comment"), QStringLiteral("made in a test"));
    const QByteArray noted = spoilCrc(encoded(texted, "png"), "tEXt");
    const QByteArray jpeg = encoded(TestImages::photo(120, 90, 3), "jpeg");
    const QByteArray cut = jpeg.left(jpeg.size() / 2);

    SourceImage first;
    QVERIFY(decodeImageData(clean, QStringLiteral("first.png"), 0, &first).ok());
    const int messagesBefore = recordedCount();
    std::atomic<int> wrong {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 30; ++i) {
                SourceImage source;
                switch ((t + i) % 3) {
                case 0: {
                    const ConvertResult r = decodeImageData(clean, QStringLiteral("a"), 0, &source);
                    wrong += !r.ok() || !r.notes().isEmpty();
                    break;
                }
                case 1: {
                    const ConvertResult r = decodeImageData(noted, QStringLiteral("b"), 0, &source);
                    wrong += !r.ok()
                        || r.notes()
                            != QStringList {QStringLiteral("libpng warning: tEXt: CRC error")};
                    break;
                }
                default: {
                    const ConvertResult r = decodeImageData(cut, QStringLiteral("c"), 0, &source);
                    wrong += r.status() != ConvertResult::Corrupt;
                    break;
                }
                }
            }
        });
    }
    QStringList sent;
    for (int i = 0; i < 5; ++i) {
        sent << QStringLiteral("logged beside the decodes, %1").arg(i);
        qWarning("%s", qPrintable(sent.last()));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (std::thread &thread : threads)
        thread.join();
    QCOMPARE(wrong.load(), 0);
    QCOMPARE(recordedSince(messagesBefore), sent);
}

namespace {

// A GIF of solid frames, one per colour, over one table of them all, with
// these delays in 10 ms steps.
QByteArray solidFramesGif(QSize canvas, const QVector<QRgb> &colours, const QVector<int> &delaysCs)
{
    QVector<EncodedFiles::GifFrame> frames;
    for (int i = 0; i < colours.size(); ++i) {
        EncodedFiles::GifFrame frame;
        frame.image = QImage(canvas, QImage::Format_Indexed8);
        frame.image.setColorTable(colours);
        frame.image.fill(uint(i));
        frame.delayCs = delaysCs.at(i);
        frames.append(frame);
    }
    return EncodedFiles::gif(canvas, frames);
}

// An 8 x 8 GIF of two frames, each transparent but for one red pixel,
// cleared after it is shown: at (1,2) and at (5,6).
QByteArray movingDotGif()
{
    QVector<EncodedFiles::GifFrame> frames;
    for (const QPoint dot : {QPoint(1, 2), QPoint(5, 6)}) {
        EncodedFiles::GifFrame frame;
        frame.image = QImage(8, 8, QImage::Format_Indexed8);
        frame.image.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 0)});
        frame.image.fill(1u);
        frame.image.setPixel(dot, 0);
        frame.transparent = 1;
        frame.disposal = 2;
        frames.append(frame);
    }
    return EncodedFiles::gif(QSize(8, 8), frames);
}

QByteArray pngOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A sprite sheet of w x h cells, each solid in the next of colours, left to
// right and top to bottom.
QImage sheet(int columns, int rows, int side, const QVector<QRgb> &colours)
{
    QImage image(columns * side, rows * side, QImage::Format_ARGB32);
    for (int i = 0; i < columns * rows; ++i) {
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x)
                image.setPixel((i % columns) * side + x, (i / columns) * side + y, colours.at(i));
        }
    }
    return image;
}

OutputPlan argb8888Folder()
{
    OutputPlan plan;
    plan.row = Lvgl9::findFormat(QStringLiteral("ARGB8888"));
    plan.binary = true;
    return plan;
}

} // namespace

void TestFileWriting::frameSets_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QSize>("grid");
    QTest::addColumn<int>("maxFrames");
    QTest::addColumn<int>("frameMs");
    QTest::addColumn<bool>("trim");
    QTest::addColumn<QByteArray>("frameList"); // frames.txt
    QTest::addColumn<QSize>("frameSize");
    QTest::addColumn<QVector<QRgb>>("firstPixels"); // each frame's top left pixel

    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const QRgb white = qRgb(255, 255, 255);
    const QByteArray still = pngOf(sheet(1, 1, 3, {green}));
    QTest::newRow("still image: one frame of 100 ms")
        << still << QSize() << 0 << 0 << false << QByteArray("000.bin 100\n") << QSize(3, 3)
        << QVector<QRgb> {green};
    QTest::newRow("still image, --frame-ms 250")
        << still << QSize() << 0 << 250 << false << QByteArray("000.bin 250\n") << QSize(3, 3)
        << QVector<QRgb> {green};
    QTest::newRow("--grid 2x2: left to right, top to bottom")
        << pngOf(sheet(2, 2, 2, {red, green, blue, white})) << QSize(2, 2) << 0 << 0 << false
        << QByteArray("000.bin 100\n001.bin 100\n002.bin 100\n003.bin 100\n") << QSize(2, 2)
        << QVector<QRgb> {red, green, blue, white};
    QTest::newRow("--grid 3x1 --frame-ms 40")
        << pngOf(sheet(3, 1, 4, {blue, white, red})) << QSize(3, 1) << 0 << 40 << false
        << QByteArray("000.bin 40\n001.bin 40\n002.bin 40\n") << QSize(4, 4)
        << QVector<QRgb> {blue, white, red};
    QTest::newRow("--grid 1x3 --max-frames 2: cells spread, delays added")
        << pngOf(sheet(1, 3, 2, {blue, white, red})) << QSize(1, 3) << 2 << 0 << false
        << QByteArray("000.bin 100\n001.bin 200\n") << QSize(2, 2) << QVector<QRgb> {blue, white};

    QVector<QRgb> ten;
    QVector<int> tenDelays;
    for (int i = 0; i < 10; ++i) {
        ten << qRgb(20 * i, 255 - 20 * i, 7 * i);
        tenDelays << i + 1;
    }
    // Frames 0, 3 and 6 stand for 0-2, 3-5 and 6-9.
    QTest::newRow("--max-frames 3 of 10: spread evenly, delays added")
        << solidFramesGif(QSize(3, 2), ten, tenDelays) << QSize() << 3 << 0 << false
        << QByteArray("000.bin 60\n001.bin 150\n002.bin 340\n") << QSize(3, 2)
        << QVector<QRgb> {ten[0], ten[3], ten[6]};
    QTest::newRow("--max-frames above the count keeps all")
        << solidFramesGif(QSize(3, 2), {red, blue}, {3, 4}) << QSize() << 50 << 0 << false
        << QByteArray("000.bin 30\n001.bin 40\n") << QSize(3, 2) << QVector<QRgb> {red, blue};
    QTest::newRow("zero delays are shown 100 ms")
        << solidFramesGif(QSize(2, 2), {red, green, blue}, {0, 5, 0}) << QSize() << 0 << 0 << false
        << QByteArray("000.bin 100\n001.bin 50\n002.bin 100\n") << QSize(2, 2)
        << QVector<QRgb> {red, green, blue};
    QTest::newRow("--frame-ms replaces the file's delays")
        << solidFramesGif(QSize(2, 2), {red, green}, {0, 5}) << QSize() << 0 << 30 << false
        << QByteArray("000.bin 30\n001.bin 30\n") << QSize(2, 2) << QVector<QRgb> {red, green};
    // The union of (1,2) and (5,6) is 5 x 5; the first frame's dot is its
    // top left corner, the second's its bottom right.
    QTest::newRow("--trim cuts every frame to the union of their boxes")
        << movingDotGif() << QSize() << 0 << 0 << true << QByteArray("000.bin 100\n001.bin 100\n")
        << QSize(5, 5) << QVector<QRgb> {red, 0u};
}

// A frame set's .bin folder: one file per frame in order, each the size
// the set has, with the pixels of its frame, and frames.txt with the
// delays.
void TestFileWriting::frameSets()
{
    QFETCH(QByteArray, source);
    QFETCH(QSize, grid);
    QFETCH(int, maxFrames);
    QFETCH(int, frameMs);
    QFETCH(bool, trim);
    QFETCH(QByteArray, frameList);
    QFETCH(QSize, frameSize);
    QFETCH(QVector<QRgb>, firstPixels);

    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("source"));
    QVERIFY(!source.isEmpty());
    QVERIFY(writeFile(input, source));
    FramePlan framePlan;
    framePlan.grid = grid;
    framePlan.maxFrames = maxFrames;
    framePlan.frameMs = frameMs;
    TransformPlan transforms;
    transforms.trim = trim;
    const QString folder = dir.filePath(QStringLiteral("set"));
    int frames = 0;
    const ConvertResult result = convertFrames(input, argb8888Folder(), transforms, framePlan,
                                               folder, QString(), false, &frames);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(frames, firstPixels.size());
    QCOMPARE(readFile(folder + QStringLiteral("/frames.txt")), frameList);
    QStringList expectedFiles {QStringLiteral("frames.txt")};
    for (int i = 0; i < frames; ++i)
        expectedFiles << frameFileName(i);
    std::sort(expectedFiles.begin(), expectedFiles.end());
    QCOMPARE(entries(folder), expectedFiles);
    // Only the folder: no staging folder is left beside it.
    QCOMPARE(entries(dir.path()), (QStringList {QStringLiteral("set"), QStringLiteral("source")}));
    for (int i = 0; i < frames; ++i) {
        const QByteArray bin = readFile(folder + QLatin1Char('/') + frameFileName(i));
        QCOMPARE(bin.size(), 12 + frameSize.width() * frameSize.height() * 4);
        const auto *b = reinterpret_cast<const uchar *>(bin.constData());
        QCOMPARE(QSize(qFromLittleEndian<quint16>(b + 4), qFromLittleEndian<quint16>(b + 6)),
                 frameSize);
        // ARGB8888 is stored blue, green, red, alpha.
        QCOMPARE(QString::number(qRgba(b[14], b[13], b[12], b[15]), 16),
                 QString::number(firstPixels.at(i), 16));
    }
}

void TestFileWriting::frameFolderFailures_data()
{
    QTest::addColumn<bool>("binary");
    QTest::addColumn<QString>("before"); // "none", "set" (an earlier one), "user" (not a set)
    QTest::addColumn<QString>("failure"); // "undecodable", "grid", "limit", "none"

    QTest::newRow("folder, undecodable source, nothing there") << true << "none"
                                                               << "undecodable";
    QTest::newRow("folder, undecodable source, earlier set kept") << true << "set"
                                                                  << "undecodable";
    QTest::newRow("folder, grid that does not divide, earlier set kept") << true << "set"
                                                                         << "grid";
    QTest::newRow("folder, write fails, nothing there") << true << "none"
                                                        << "limit";
    QTest::newRow("folder, write fails, earlier set kept") << true << "set"
                                                           << "limit";
    QTest::newRow("folder of the user's own is left alone") << true << "user"
                                                            << "none";
    QTest::newRow("C file, write fails, earlier file kept") << false << "set"
                                                            << "limit";
    QTest::newRow("earlier set replaced") << true << "set"
                                          << "none";
}

// A frame set that fails leaves no folder, no staging folder and no
// temporary file, and an earlier good output as it was; a folder that is
// not a set is never replaced.
void TestFileWriting::frameFolderFailures()
{
    QFETCH(bool, binary);
    QFETCH(QString, before);
    QFETCH(QString, failure);

    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("anim.gif"));
    QVector<QRgb> colours;
    QVector<int> delays;
    for (int i = 0; i < 6; ++i) {
        colours << qRgb(40 * i, 0, 255 - 40 * i);
        delays << 2;
    }
    QByteArray gif = solidFramesGif(QSize(64, 64), colours, delays);
    if (failure == QLatin1String("undecodable"))
        gif.chop(gif.size() / 3);
    QVERIFY(writeFile(input, gif));

    OutputPlan plan = argb8888Folder();
    plan.binary = binary;
    const QString target = dir.filePath(binary ? QStringLiteral("anim") : QStringLiteral("anim.c"));
    const QByteArray good = "a good earlier output\n";
    if (before == QLatin1String("set") && binary) {
        QVERIFY(QDir().mkdir(target));
        QVERIFY(writeFile(target + QStringLiteral("/000.bin"), good));
        QVERIFY(writeFile(target + QStringLiteral("/frames.txt"), "000.bin 100\n"));
    } else if (before == QLatin1String("set")) {
        QVERIFY(writeFile(target, good));
    } else if (before == QLatin1String("user")) {
        QVERIFY(QDir().mkdir(target));
        QVERIFY(writeFile(target + QStringLiteral("/notes.txt"), good));
    }
    const QStringList entriesBefore = entries(dir.path());
    const QStringList insideBefore = binary ? entries(target) : QStringList();

    FramePlan framePlan;
    if (failure == QLatin1String("grid"))
        framePlan.grid = QSize(5, 1);
    ConvertResult result;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (failure == QLatin1String("limit")) {
            limit.reset(new FileSizeLimit(rlim_t(10000)));
            QVERIFY(limit->active());
        }
        result = convertFrames(input, plan, TransformPlan(), framePlan, target);
    }
    if (failure == QLatin1String("none") && before != QLatin1String("user")) {
        QVERIFY2(result.ok(), qPrintable(result.message()));
        QCOMPARE(entries(target).size(), 7);
        QCOMPARE(readFile(target + QStringLiteral("/000.bin")).size(), 12 + 64 * 64 * 4);
        QCOMPARE(entries(dir.path()), entriesBefore);
        return;
    }
    QVERIFY(!result.ok());
    QVERIFY2(result.message().contains(QDir::toNativeSeparators(input))
                 || result.message().contains(QDir::toNativeSeparators(target)),
             qPrintable(result.message()));
    if (before == QLatin1String("user"))
        QVERIFY2(result.message().contains(QStringLiteral("notes.txt")),
                 qPrintable(result.message()));
    // Nothing new beside the target, and the target as it was.
    QCOMPARE(entries(dir.path()), entriesBefore);
    if (before == QLatin1String("none")) {
        QVERIFY(!QFileInfo::exists(target));
    } else if (binary) {
        QCOMPARE(entries(target), insideBefore);
        const QString first = target + QLatin1Char('/') + insideBefore.first();
        QCOMPARE(readFile(first), good);
    } else {
        QCOMPARE(readFile(target), good);
    }
}

void TestFileWriting::staleStagingFolders_data()
{
    QTest::addColumn<QString>("writer"); // "dead", "running" (process 1), "this process"
    QTest::addColumn<bool>("removed");

    QTest::newRow("a killed writer's folder is removed") << "dead" << true;
    QTest::newRow("a running writer's folder is kept") << "running" << false;
    QTest::newRow("this process's own folder is kept") << "this process" << false;
}

// The staging folder of a writer that was killed before its commit (its
// name carries its process id) is removed by the next set written there.
void TestFileWriting::staleStagingFolders()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, writer);
    QFETCH(bool, removed);

    qint64 pid = 1;
    if (writer == QLatin1String("this process")) {
        pid = QCoreApplication::applicationPid();
    } else if (writer == QLatin1String("dead")) {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        QVERIFY(child > 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        pid = child;
    }
    // ".anim" and the temporary name of the writer: ".bf-", its id in five
    // base-36 digits, five more, ".tmp".
    const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    QByteArray id;
    for (qint64 rest = pid, i = 0; i < 5; ++i, rest /= 36)
        id.prepend(digits[rest % 36]);
    QTemporaryDir dir;
    const QString left = dir.filePath(QStringLiteral(".anim.bf-") + QString::fromLatin1(id)
                                      + QStringLiteral("abcde.tmp"));
    QVERIFY(QDir().mkdir(left));
    QVERIFY(writeFile(left + QStringLiteral("/000.bin"), "half a set"));

    const QString input = dir.filePath(QStringLiteral("dot.png"));
    QVERIFY(writeFile(input, pngOf(sheet(1, 1, 2, {qRgb(1, 2, 3)}))));
    const ConvertResult result = convertFrames(input, argb8888Folder(), TransformPlan(),
                                               FramePlan(), dir.filePath(QStringLiteral("anim")));
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(QFileInfo::exists(left), !removed);
    QCOMPARE(entries(dir.filePath(QStringLiteral("anim"))),
             (QStringList {QStringLiteral("000.bin"), QStringLiteral("frames.txt")}));
#else
    QSKIP("process ids in temporary names are a Unix matter");
#endif
}

QTEST_GUILESS_MAIN(TestFileWriting)
#include "tst_filewriting.moc"
