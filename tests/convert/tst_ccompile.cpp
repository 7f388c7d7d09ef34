#include <converter.h>
#include <encodedfiles.h>
#include <imagesource.h>
#include <lvgl8formats.h>
#include <lvgl9formats.h>
#include <lvgl9writer.h>
#include <pack.h>
#include <packsource.h>
#include <testimages.h>

#include <QtTest>

using namespace Convert;

namespace {

QString findCompiler()
{
    for (const char *name : {"cc", "gcc", "clang"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The expression of the ".data_size = <expression>," line.
QByteArray dataSizeExpression(const QByteArray &source)
{
    for (const QByteArray &line : source.split('\n')) {
        if (line.startsWith("    .data_size = ") && line.endsWith(','))
            return line.mid(17, line.size() - 18);
    }
    return QByteArray();
}

QByteArray binaryPixels(const QImage &image, OutputFormat format)
{
    QByteArray bytes;
    encodeImage(image, format, TrueColor, QStringLiteral("x"), &bytes);
    return bytes.mid(4);
}

// Every n-th byte of bytes dropped (the alpha byte of each pixel).
QByteArray dropAlpha(const QByteArray &bytes, int n)
{
    QByteArray out;
    for (int i = 0; i < bytes.size(); ++i) {
        if (i % n != n - 1)
            out += bytes.at(i);
    }
    return out;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The section objdump gives the symbol in program, or an empty string.
QByteArray sectionOf(const QString &program, const QByteArray &symbol)
{
    QProcess objdump;
    objdump.start(QStringLiteral("objdump"), {QStringLiteral("-t"), program});
    if (!objdump.waitForFinished(30000) || objdump.exitCode() != 0)
        return QByteArray();
    // "0000000000002080 g     O .ext_flash\t00000000000000f4              pic_map"
    for (const QByteArray &line : objdump.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2 && parts.at(1).simplified().split(' ').value(1) == symbol)
            return parts.at(0).simplified().split(' ').constLast();
    }
    return QByteArray();
}

QByteArray header(quint32 colorFormat, const QImage &image)
{
    const quint32 word = colorFormat | quint32(image.width()) << 10 | quint32(image.height()) << 21;
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char(word >> (8 * i));
    return bytes;
}

// The expression of every ".data_size = <expression>," line, in order.
QList<QByteArray> dataSizeExpressions(const QByteArray &source)
{
    QList<QByteArray> expressions;
    for (const QByteArray &line : source.split('\n')) {
        if (line.startsWith("    .data_size = ") && line.endsWith(','))
            expressions << line.mid(17, line.size() - 18);
    }
    return expressions;
}

// A GIF of four 6 x 5 frames over one table of red, green, blue and white:
// the first in red and green, the second in blue and white, the third the
// second again, the fourth red and blue; delays 50, 0 (shown 100), 200 and
// 70 ms. Each frame alone has other colours than its neighbours, so only
// a palette made for all of them is the same in every frame.
QByteArray fourFrameGif()
{
    const QVector<QRgb> table = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                 qRgb(255, 255, 255)};
    const auto frame = [&table](int a, int b, int delayCs) {
        EncodedFiles::GifFrame f;
        f.image = QImage(6, 5, QImage::Format_Indexed8);
        f.image.setColorTable(table);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 6; ++x)
                f.image.setPixel(x, y, uint((x + y) % 2 ? a : b));
        }
        f.delayCs = delayCs;
        return f;
    };
    return EncodedFiles::gif(QSize(6, 5),
                             {frame(0, 1, 5), frame(2, 3, 0), frame(2, 3, 20), frame(0, 2, 7)});
}

} // namespace

class TestCCompile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void compiles_data();
    void compiles();
    void everyFormatCompiles_data();
    void everyFormatCompiles();
    void everyV9FormatCompiles_data();
    void everyV9FormatCompiles();
    void stemBesideLibraryHeaders_data();
    void stemBesideLibraryHeaders();
    void includeStyles_data();
    void includeStyles();
    void placement_data();
    void placement();
    void packConsumer_data();
    void packConsumer();
    void frameSetsCompile_data();
    void frameSetsCompile();

private:
    // Compiles main.c in dir against the stand-in header at the depth;
    // returns the program's path, or an empty string with the compiler's
    // output in log.
    QString compile(const QTemporaryDir &dir, const QByteArray &mainSource, int depth, bool swap,
                    QByteArray *log);
    // The same with the given compiler arguments before the file.
    QString compileWith(const QTemporaryDir &dir, const QByteArray &mainSource,
                        const QStringList &arguments, QByteArray *log);

    QString m_compiler;
};

QString TestCCompile::compile(const QTemporaryDir &dir, const QByteArray &mainSource, int depth,
                              bool swap, QByteArray *log)
{
    return compileWith(dir, mainSource,
                       {QStringLiteral("-DLV_COLOR_DEPTH=%1").arg(depth),
                        QStringLiteral("-DLV_COLOR_16_SWAP=%1").arg(swap ? 1 : 0),
                        QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR)},
                       log);
}

QString TestCCompile::compileWith(const QTemporaryDir &dir, const QByteArray &mainSource,
                                  const QStringList &arguments, QByteArray *log)
{
    QFile main(dir.filePath(QStringLiteral("main.c")));
    if (!main.open(QIODevice::WriteOnly) || main.write(mainSource) != mainSource.size())
        return QString();
    main.close();
    const QString program = dir.filePath(QStringLiteral("pic"));
    QProcess cc;
    cc.setProcessChannelMode(QProcess::MergedChannels);
    cc.start(m_compiler,
             QStringList {QStringLiteral("-std=c11"), QStringLiteral("-Wall"),
                          QStringLiteral("-Wextra"), QStringLiteral("-Wpedantic"),
                          QStringLiteral("-Werror")}
                 + arguments + QStringList {QStringLiteral("-o"), program, main.fileName()});
    cc.waitForFinished(60000);
    *log = cc.readAll();
    return cc.exitStatus() == QProcess::NormalExit && cc.exitCode() == 0 ? program : QString();
}

void TestCCompile::initTestCase()
{
    m_compiler = findCompiler();
    if (m_compiler.isEmpty())
        QSKIP("No C compiler (cc, gcc or clang) on PATH: the generated files cannot be compiled "
              "here");
}

void TestCCompile::compiles_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("swap");

    const struct
    {
        const char *name;
        int depth;
        bool swap;
    } depths[] = {{"depth 8", 8, false},
                  {"depth 16", 16, false},
                  {"depth 16 swapped", 16, true},
                  {"depth 32", 32, false},
                  {"depth 1", 1, false}};
    for (int color = TrueColor; color <= Indexed256; ++color) {
        for (const auto &d : depths) {
            QTest::addRow("%s, %s", qPrintable(displayName(ColorFormat(color))), d.name)
                << color << d.depth << d.swap;
        }
    }
}

// Compiles the generated file with the C compiler against the stand-in
// LVGL header, checks statically that the array is exactly as long as
// .data_size says, then runs it and compares the header bit-fields and the
// bytes LVGL would read at that depth with the binary encodings of the same
// image.
void TestCCompile::compiles()
{
    QFETCH(int, color);
    QFETCH(int, depth);
    QFETCH(bool, swap);

    QTemporaryDir dir;
    const QImage image = TestImages::photo(13, 7, 3);
    const QString source = dir.filePath(QStringLiteral("pic.c"));
    QVERIFY(convertImage(image, CArray, ColorFormat(color), source).ok());

    const QByteArray dataSize = dataSizeExpression(readFile(source));
    QVERIFY(!dataSize.isEmpty());
    const QByteArray wrapper = "#include \"pic.c\"\n"
                               "#include <stdio.h>\n"
                               "#include <string.h>\n"
                               "_Static_assert(sizeof(pic_map) == ("
        + dataSize
        + "), \"the array and .data_size differ\");\n"
          "int main(void)\n"
          "{\n"
          "    unsigned char header[4];\n"
          "    memcpy(header, &pic.header, sizeof header);\n"
          "    fwrite(header, 1, sizeof header, stdout);\n"
          "    fwrite(pic.data, 1, pic.data_size, stdout);\n"
          "    return 0;\n"
          "}\n";
    QByteArray log;
    const QString program = compile(dir, wrapper, depth, swap, &log);
    QVERIFY2(!program.isEmpty(), log.constData());

    QProcess run;
    run.start(program, QStringList());
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 0);
    const QByteArray output = run.readAllStandardOutput();

    const bool depth8 = depth == 1 || depth == 8;
    QByteArray expected;
    switch (color) {
    case TrueColorAlpha:
        expected = header(5, image);
        expected += depth8 ? binaryPixels(image, BinaryRgb332)
            : depth == 32  ? binaryPixels(image, BinaryRgb888)
            : swap         ? binaryPixels(image, BinaryRgb565Swap)
                           : binaryPixels(image, BinaryRgb565);
        {
            // The C array's header is the binary file's header, bit for bit.
            QByteArray binary;
            QVERIFY(encodeImage(image, BinaryRgb565, TrueColor, QStringLiteral("x"), &binary).ok());
            QCOMPARE(output.left(4).toHex(), binary.left(4).toHex());
        }
        break;
    case TrueColor:
    case TrueColorChromaKeyed:
        expected = header(color == TrueColor ? 4 : 6, image);
        if (depth8) {
            expected += dropAlpha(binaryPixels(image, BinaryRgb332), 2);
        } else if (depth == 16) {
            expected += dropAlpha(binaryPixels(image, swap ? BinaryRgb565Swap : BinaryRgb565), 3);
        } else {
            QByteArray pixels = binaryPixels(image, BinaryRgb888);
            for (int i = 3; i < pixels.size(); i += 4)
                pixels[i] = char(0xff);
            expected += pixels;
        }
        break;
    case Indexed256: {
        expected = header(10, image);
        const QImage indexed = image.convertToFormat(QImage::Format_Indexed8);
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < indexed.colorCount() ? indexed.color(i) : 0;
            expected += char(qBlue(c));
            expected += char(qGreen(c));
            expected += char(qRed(c));
            expected += char(qAlpha(c));
        }
        for (int y = 0; y < indexed.height(); ++y)
            expected += QByteArray(reinterpret_cast<const char *>(indexed.constScanLine(y)),
                                   indexed.width());
        break;
    }
    }
    QCOMPARE(output.size(), expected.size());
    QCOMPARE(output.toHex(), expected.toHex());
}

void TestCCompile::stemBesideLibraryHeaders_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("symbol");

    const struct
    {
        const char *fileName;
        const char *symbol;
    } rows[] = {
        {"logo.c", "logo"},
        {"2x.c", "img_2x"},
        {"_2x.c", "img__2x"},
        {"__logo.c", "img___logo"},
        {"main.c", "main_"},
        {"int.c", "int_"},
        {"asm.c", "asm_"},
        {"bool.c", "bool_"},
        {"uint8_t.c", "uint8_t_"},
        {"lv_img_dsc_t.c", "lv_img_dsc_t_"},
        {"LV_COLOR_DEPTH.c", "LV_COLOR_DEPTH_"},
        {"LV_IMG_CF_TRUE_COLOR.c", "LV_IMG_CF_TRUE_COLOR_"},
        {"errno.c", "errno_"},
        {"NULL.c", "NULL_"},
        {"EOF.c", "EOF_"},
        {"stdin.c", "stdin_"},
        {"FILE.c", "FILE_"},
        {"int8_t.c", "int8_t_"},
        {"SIGINT.c", "SIGINT_"},
        {"EPERM.c", "EPERM_"},
        {"strlen.c", "strlen_"},
        {"sqrtf.c", "sqrtf_"},
        {"I.c", "I_"},
        {"not.c", "not_"},
        {"noreturn.c", "noreturn_"},
        {"offsetof.c", "offsetof_"},
    };
    for (const auto &row : rows) {
        QTest::newRow(row.fileName) << QString::fromLatin1(row.fileName) << QByteArray(row.symbol);
    }
}

// A file generated for an output named after a C library name, a name of
// the generated file itself or a reserved name compiles, in the compiler's
// default mode, after every standard header of the C library (threads.h,
// stdbit.h and stdckdint.h where the library has them), and links into a
// program with its own main.
void TestCCompile::stemBesideLibraryHeaders()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, symbol);

    QTemporaryDir dir;
    const QImage image = TestImages::photo(5, 3, 1);
    const QString source = dir.filePath(fileName);
    QVERIFY(convertImage(image, CArray, TrueColorAlpha, source).ok());
    QVERIFY(readFile(source).contains(QByteArray("\nconst lv_img_dsc_t " + symbol + " = {\n")));

    // The headers come first, so that their macros reach the generated file.
    const char *const headers[] = {
        "assert.h",   "complex.h",  "ctype.h",  "errno.h",       "fenv.h",    "float.h",
        "inttypes.h", "iso646.h",   "limits.h", "locale.h",      "math.h",    "setjmp.h",
        "signal.h",   "stdalign.h", "stdarg.h", "stdatomic.h",   "stdbool.h", "stddef.h",
        "stdint.h",   "stdio.h",    "stdlib.h", "stdnoreturn.h", "string.h",  "tgmath.h",
        "time.h",     "uchar.h",    "wchar.h",  "wctype.h"};
    const char *const newerHeaders[] = {"threads.h", "stdbit.h", "stdckdint.h"};
    QByteArray wrapper;
    for (const char *header : headers)
        wrapper += "#include <" + QByteArray(header) + ">\n";
    wrapper += "#if defined(__has_include)\n";
    for (const char *header : newerHeaders) {
        wrapper += "#if __has_include(<" + QByteArray(header) + ">)\n#include <"
            + QByteArray(header) + ">\n#endif\n";
    }
    wrapper += "#endif\n";
    wrapper += "#include \"" + fileName.toUtf8() + "\"\n";
    wrapper += "int main(void)\n{\n    printf(\"%u %u\\n\", (unsigned)" + symbol
        + ".header.w, (unsigned)" + symbol + ".header.h);\n    return " + symbol
        + ".data == " + symbol + "_map ? 0 : 1;\n}\n";
    QFile program(dir.filePath(QStringLiteral("program.c")));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write(wrapper);
    program.close();

    const QString executable = dir.filePath(QStringLiteral("program"));
    QProcess cc;
    cc.setProcessChannelMode(QProcess::MergedChannels);
    cc.start(m_compiler,
             {QStringLiteral("-Wall"), QStringLiteral("-Wextra"), QStringLiteral("-Werror"),
              QStringLiteral("-DLV_COLOR_DEPTH=16"),
              QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR), QStringLiteral("-o"), executable,
              program.fileName()});
    QVERIFY(cc.waitForFinished(60000));
    QVERIFY2(cc.exitStatus() == QProcess::NormalExit && cc.exitCode() == 0,
             cc.readAll().constData());

    QProcess run;
    run.start(executable, QStringList());
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 0);
    QCOMPARE(run.readAllStandardOutput(), QByteArray("5 3\n"));
}

void TestCCompile::everyFormatCompiles_data()
{
    QTest::addColumn<int>("cf");
    QTest::addColumn<int>("depth"); // a ColorDepth
    QTest::addColumn<bool>("dither");
    QTest::addColumn<bool>("gif"); // a RAW format's file is a GIF, for the GIF player

    const char *const depthNames[] = {"depth 8", "depth 16", "depth 16 swapped", "depth 32"};
    for (int i = 0; i < Lvgl8::formatCount(); ++i) {
        const Lvgl8::Format &format = Lvgl8::formats()[i];
        for (int d = 0; d < ColorDepthCount; ++d) {
            // A format without sections is the same at every depth: two suffice.
            const bool drawn = format.sections ? (format.sections & depthBit(ColorDepth(d))) != 0
                                               : (d == 1 || d == 3);
            if (!drawn)
                continue;
            QTest::addRow("%s, %s", format.name, depthNames[d]) << format.cf << d << false << false;
            if (format.layout != Lvgl8::Layout::Raw && d != 3)
                QTest::addRow("%s, %s, dithered", format.name, depthNames[d])
                    << format.cf << d << true << false;
            if (format.layout == Lvgl8::Layout::Raw)
                QTest::addRow("%s of a GIF, %s", format.name, depthNames[d])
                    << format.cf << d << false << true;
        }
    }
}

// Every format compiles at every depth LVGL draws it at, its array is
// exactly .data_size bytes long, its header bit-fields are those of the
// .bin, and the bytes the preprocessor keeps are the .bin's.
void TestCCompile::everyFormatCompiles()
{
    QFETCH(int, cf);
    QFETCH(int, depth);
    QFETCH(bool, dither);
    QFETCH(bool, gif);

    OutputPlan outSpec;
    outSpec.row = &Lvgl8::format(cf);
    outSpec.dither = dither;
    SourceImage source;
    source.image = TestImages::photo(13, 7, 3);
    if (gif) {
        EncodedFiles::GifFrame frame;
        frame.image = source.image.convertToFormat(QImage::Format_Indexed8);
        frame.delayCs = 5;
        source.kind = ImageKind::Gif;
        source.bytes = EncodedFiles::gif(source.image.size(), {frame, frame}, 0);
        QVERIFY(!source.bytes.isEmpty());
    } else if (outSpec.format()->layout == Lvgl8::Layout::Raw) {
        source.kind = cf == 1 ? ImageKind::Jpeg : ImageKind::Png;
        QBuffer buffer(&source.bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(source.image.save(&buffer, cf == 1 ? "JPEG" : "PNG"));
    }

    QTemporaryDir dir;
    QByteArray text;
    QVERIFY(encodeSource(source, outSpec, QStringLiteral("pic"), &text).ok());
    QFile c(dir.filePath(QStringLiteral("pic.c")));
    QVERIFY(c.open(QIODevice::WriteOnly));
    c.write(text);
    c.close();

    const QByteArray dataSize = dataSizeExpression(text);
    QVERIFY(!dataSize.isEmpty());
    const QByteArray wrapper = "#include \"pic.c\"\n"
                               "#include <stdio.h>\n"
                               "#include <string.h>\n"
                               "_Static_assert(sizeof(pic_map) == ("
        + dataSize
        + "), \"the array and .data_size differ\");\n"
          "int main(void)\n"
          "{\n"
          "    unsigned char header[4];\n"
          "    memcpy(header, &pic.header, sizeof header);\n"
          "    fwrite(header, 1, sizeof header, stdout);\n"
          "    fwrite(pic.data, 1, pic.data_size, stdout);\n"
          "    return 0;\n"
          "}\n";
    const bool swap = ColorDepth(depth) == ColorDepth::Depth16Swap;
    const int lvDepth = depth == 0 ? 8 : depth == 3 ? 32 : 16;
    QByteArray log;
    const QString program = compile(dir, wrapper, lvDepth, swap, &log);
    QVERIFY2(!program.isEmpty(), log.constData());

    QProcess run;
    run.start(program, QStringList());
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 0);
    const QByteArray output = run.readAllStandardOutput();

    QByteArray expected;
    if (outSpec.format()->layout == Lvgl8::Layout::Raw) {
        expected = header(quint32(cf), source.image) + source.bytes;
    } else {
        outSpec.binary = true;
        outSpec.depth = ColorDepth(depth);
        QVERIFY(encodeSource(source, outSpec, QString(), &expected).ok());
    }
    QCOMPARE(output.size(), expected.size());
    QCOMPARE(output.toHex(), expected.toHex());

    if (outSpec.format()->layout == Lvgl8::Layout::Rgb565A8) {
        // Built for another depth, the file stops with the reason.
        QVERIFY(compile(dir, wrapper, 32, false, &log).isEmpty());
        QVERIFY2(log.contains("drawn only with LV_COLOR_DEPTH 16"), log.constData());
    }
}

void TestCCompile::everyV9FormatCompiles_data()
{
    QTest::addColumn<int>("cf");
    QTest::addColumn<QString>("release"); // "9.5" or "9.0"
    QTest::addColumn<bool>("simpleInclude"); // the header on the path as "lvgl.h"

    for (int i = 0; i < Lvgl9::formatCount(); ++i) {
        const Lvgl9::Format &format = Lvgl9::formats()[i];
        QTest::addRow("%s, 9.5, lvgl/lvgl.h", format.name) << format.cf << "9.5" << false;
        QTest::addRow("%s, 9.0, lvgl.h", format.name) << format.cf << "9.0" << true;
    }
}

// Every v9 format compiles cleanly, plain, with 4-byte rows and RLE, and
// with LZ4, found as "lvgl/lvgl.h" or as "lvgl.h": each array is exactly
// .data_size bytes long, and the header bit-fields and data are the .bin's.
// Against the 9.0 types, the formats 9.0 lacks fail to compile by their
// name, which is the signal the user needs.
void TestCCompile::everyV9FormatCompiles()
{
    QFETCH(int, cf);
    QFETCH(QString, release);
    QFETCH(bool, simpleInclude);

    const Lvgl9::Format &format = Lvgl9::format(cf);
    const bool raw = format.layout == Lvgl9::Layout::Raw;
    SourceImage source;
    source.image = TestImages::photo(13, 7, 3);
    if (raw) {
        source.kind = cf == 1 ? ImageKind::Jpeg : ImageKind::Png;
        QBuffer buffer(&source.bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(source.image.save(&buffer, cf == 1 ? "JPEG" : "PNG"));
    }
    struct Variant
    {
        const char *symbol;
        int align;
        Lvgl9::Compression compression;
    };
    QVector<Variant> variants = {{"plain", 1, Lvgl9::Compression::None}};
    if (!raw) {
        variants << Variant {"aligned_rle", 4, Lvgl9::Compression::Rle}
                 << Variant {"lz4", 1, Lvgl9::Compression::Lz4};
    }

    QTemporaryDir dir;
    QByteArray wrapper = "#include <stdio.h>\n#include <string.h>\n";
    QByteArray expected;
    for (const Variant &variant : qAsConst(variants)) {
        OutputPlan outSpec;
        outSpec.row = &format;
        outSpec.strideAlign = variant.align;
        outSpec.compression = variant.compression;
        QByteArray text;
        QVERIFY(encodeSource(source, outSpec, QLatin1String(variant.symbol), &text).ok());
        QVERIFY(text.contains("\n    .header.stride = "));
        QVERIFY(!text.contains("reserved"));
        const QString name = QLatin1String(variant.symbol) + QStringLiteral(".c");
        QFile c(dir.filePath(name));
        QVERIFY(c.open(QIODevice::WriteOnly));
        c.write(text);
        c.close();
        const QByteArray symbol(variant.symbol);
        wrapper += "#include \"" + name.toUtf8() + "\"\n_Static_assert(sizeof(" + symbol
            + "_map) == " + dataSizeExpression(text) + ", \"array and .data_size differ\");\n";

        // The .bin of the same choices, written by the writer itself: the
        // command line refuses some uncompressed ones, which LVGL 9.5
        // cannot open, but the data is the same.
        OutputPlan plan;
        plan.row = &format;
        plan.strideAlign = variant.align;
        plan.compression = variant.compression;
        expected += Lvgl9::binary(plan, Lvgl9::encode(plan, source.image, source.bytes));
    }
    wrapper +=
        "static void put(const lv_image_dsc_t *dsc)\n"
        "{\n"
        "    unsigned char header[12] = {0};\n"
        "    memcpy(header, &dsc->header, sizeof dsc->header < 12 ? sizeof dsc->header : 12);\n"
        "    fwrite(header, 1, 12, stdout);\n"
        "    fwrite(dsc->data, 1, dsc->data_size, stdout);\n"
        "}\n"
        "int main(void)\n{\n";
    for (const Variant &variant : qAsConst(variants))
        wrapper += "    put(&" + QByteArray(variant.symbol) + ");\n";
    wrapper += "    return 0;\n}\n";
    QStringList arguments = {QStringLiteral("-I") + dir.path(),
                             QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR "/lvgl9")
                                 + (simpleInclude ? QStringLiteral("/lvgl") : QString())};
    if (release == QLatin1String("9.0"))
        arguments.prepend(QStringLiteral("-DSTAND_IN_LVGL_9_0"));
    QByteArray log;
    const QString program = compileWith(dir, wrapper, arguments, &log);
    const bool lacking = release == QLatin1String("9.0")
        && (format.layout == Lvgl9::Layout::Argb8565 || format.layout == Lvgl9::Layout::Al88
            || format.layout == Lvgl9::Layout::Argb8888Premultiplied
            || format.layout == Lvgl9::Layout::Rgb565Swapped);
    if (lacking) {
        QVERIFY(program.isEmpty());
        QVERIFY2(log.contains(QByteArray("LV_COLOR_FORMAT_" + QByteArray(format.name))),
                 log.constData());
        return;
    }
    QVERIFY2(!program.isEmpty(), log.constData());

    QProcess run;
    run.start(program, QStringList());
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 0);
    const QByteArray output = run.readAllStandardOutput();
    QCOMPARE(output.size(), expected.size());
    QCOMPARE(output.toHex(), expected.toHex());
}

void TestCCompile::includeStyles_data()
{
    QTest::addColumn<int>("lvgl");
    QTest::addColumn<int>("include"); // an IncludeStyle
    QTest::addColumn<int>("reach"); // the header as "lvgl.h", "lvgl/lvgl.h" or <lvgl.h> only

    const char *const styles[] = {"auto", "subdir", "simple"};
    const char *const reaches[] = {"\"lvgl.h\"", "\"lvgl/lvgl.h\"", "<lvgl.h>"};
    for (const int lvgl : {8, 9}) {
        for (int style = 0; style < 3; ++style) {
            for (int reach = 0; reach < 3; ++reach)
                QTest::addRow("v%d, %s, %s", lvgl, styles[style], reaches[reach])
                    << lvgl << style << reach;
        }
    }
}

// auto compiles wherever the project has LVGL's header: as "lvgl.h" (an
// ESP-IDF managed component), as "lvgl/lvgl.h", or, with
// LV_LVGL_H_INCLUDE_SYSTEM, as <lvgl.h> only (a quoted "lvgl.h" is then
// another file, which stops the build); subdir and simple compile where the
// header is what they name.
void TestCCompile::includeStyles()
{
    QFETCH(int, lvgl);
    QFETCH(int, include);
    QFETCH(int, reach);

    OutputPlan outSpec;
    if (lvgl == 9)
        outSpec.row = Lvgl9::findFormat(QStringLiteral("RGB565"));
    else
        outSpec.row = &Lvgl8::format(5);
    outSpec.include = IncludeStyle(include);
    SourceImage source;
    source.image = TestImages::photo(5, 3, 1);
    QByteArray text;
    QVERIFY(encodeSource(source, outSpec, QStringLiteral("pic"), &text).ok());

    QTemporaryDir dir;
    const QString header = QStringLiteral(BRINDLEFORGE_TEST_SOURCE_DIR)
        + (lvgl == 9 ? QStringLiteral("/lvgl9/lvgl") : QStringLiteral("/lvgl"));
    QStringList arguments = {QStringLiteral("-I")
                             + (reach == 1 ? QFileInfo(header).path() : header)};
    if (reach == 2) {
        // Beside the file, so that a quoted "lvgl.h" finds it first.
        QFile other(dir.filePath(QStringLiteral("lvgl.h")));
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("#error \"not LVGL\"\n") > 0);
        other.close();
        arguments = QStringList {QStringLiteral("-isystem") + header,
                                 QStringLiteral("-DLV_LVGL_H_INCLUDE_SYSTEM")};
    }
    QByteArray log;
    const QString program = compileWith(
        dir, text + "\nint main(void) { return pic.header.w == 5 ? 0 : 1; }\n", arguments, &log);
    const bool compiles = include == int(IncludeStyle::Auto)
        || (include == int(IncludeStyle::Subdir) ? reach == 1 : reach == 0);
    QVERIFY2(program.isEmpty() != compiles, log.constData());
    if (compiles)
        QCOMPARE(QProcess::execute(program, QStringList()), 0);
}

void TestCCompile::frameSetsCompile_data()
{
    QTest::addColumn<int>("lvgl");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("paletteBytes"); // 0 without a palette
    QTest::addColumn<int>("headerBytes"); // of each frame's .bin
    QTest::addColumn<int>("compression"); // a Lvgl9::Compression
    // --align, with --section .frames; 0 for neither.
    QTest::addColumn<int>("align");

    QTest::newRow("v8 TRUE_COLOR_ALPHA") << 8 << "TRUE_COLOR_ALPHA" << 0 << 4 << 0 << 0;
    QTest::newRow("v8 TRUE_COLOR") << 8 << "TRUE_COLOR" << 0 << 4 << 0 << 0;
    QTest::newRow("v8 INDEXED_2BIT") << 8 << "INDEXED_2BIT" << 16 << 4 << 0 << 0;
    QTest::newRow("v8 INDEXED_8BIT") << 8 << "INDEXED_8BIT" << 1024 << 4 << 0 << 0;
    QTest::newRow("v9 RGB565") << 9 << "RGB565" << 0 << 12 << 0 << 0;
    QTest::newRow("v9 ARGB8888") << 9 << "ARGB8888" << 0 << 12 << 0 << 0;
    QTest::newRow("v9 I2") << 9 << "I2" << 16 << 12 << 0 << 0;
    QTest::newRow("v9 I8") << 9 << "I8" << 1024 << 12 << 0 << 0;
    // Compressed data holds the palette inside it: only the shared array
    // and the sizes are checked there.
    QTest::newRow("v9 RGB565, RLE")
        << 9 << "RGB565" << 0 << 12 << int(Lvgl9::Compression::Rle) << 0;
    QTest::newRow("v8 TRUE_COLOR_ALPHA, placed") << 8 << "TRUE_COLOR_ALPHA" << 0 << 4 << 0 << 64;
    QTest::newRow("v9 I4, placed") << 9 << "I4" << 64 << 12 << 0 << 128;
    QTest::newRow("v9 I8, LZ4") << 9 << "I8" << 0 << 12 << int(Lvgl9::Compression::Lz4) << 0;
}

// A frame set compiles against the stand-in header: every array is
// exactly its .data_size, frames[] lists the descriptors in order, the
// count, delays and duration are the file's, the repeated frame shows its
// neighbour's array, every frame of an indexed format has the same
// palette, and each frame's data (at LV_COLOR_DEPTH 16) is its .bin's in
// the folder form, whose frames.txt lists the delays.
void TestCCompile::frameSetsCompile()
{
    QFETCH(int, lvgl);
    QFETCH(QString, format);
    QFETCH(int, paletteBytes);
    QFETCH(int, headerBytes);
    QFETCH(int, compression);
    QFETCH(int, align);

    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("anim.gif"));
    {
        QFile file(gif);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(fourFrameGif()) > 0);
    }
    OutputPlan plan;
    if (lvgl == 9)
        plan.row = Lvgl9::findFormat(format);
    else
        plan.row = Lvgl8::findFormat(format);
    plan.compression = Lvgl9::Compression(compression);
    if (align > 0) {
        plan.placement.section = ".frames";
        plan.placement.align = align;
    }
    int frames = 0;
    const QString c = dir.filePath(QStringLiteral("walk.c"));
    const ConvertResult written =
        convertFrames(gif, plan, TransformPlan(), FramePlan(), c, QString(), false, &frames);
    QVERIFY2(written.ok(), qPrintable(written.message()));
    QCOMPARE(frames, 4);
    const QByteArray text = readFile(c);
    // Frame 2 has no array of its own.
    QVERIFY(text.contains("walk_1_map[]"));
    QVERIFY(!text.contains("walk_2_map[]"));
    const QList<QByteArray> sizes = dataSizeExpressions(text);
    QCOMPARE(sizes.size(), 4);

    QByteArray main =
        "#include <stdint.h>\n#include <stdio.h>\n#include <string.h>\n#include \"walk.c\"\n";
    for (int i : {0, 1, 3}) {
        main += "_Static_assert(sizeof(walk_" + QByteArray::number(i) + "_map) == " + sizes.at(i)
            + ", \"array and .data_size differ\");\n";
    }
    const QByteArray type = lvgl == 9 ? "lv_image_dsc_t" : "lv_img_dsc_t";
    main += "int main(void)\n{\n"
            "    const "
        + type
        + " *d[4] = {&walk_0, &walk_1, &walk_2, &walk_3};\n"
          "    uint32_t sum = 0;\n"
          "    if (walk_frame_count != 4 || walk_duration_ms != 420 || walk_loop_count != 1)\n"
          "        return 1;\n"
          "    for (int i = 0; i < 4; ++i) {\n"
          "        if (walk_frames[i] != d[i])\n"
          "            return 2;\n"
          "        sum += walk_frame_ms[i];\n"
          "        if (d[i]->header.w != 6 || d[i]->header.h != 5)\n"
          "            return 3;\n"
          "    }\n"
          "    if (sum != walk_duration_ms || walk_frame_ms[1] != 100)\n"
          "        return 4;\n"
          "    if (walk_2.data != walk_1.data || walk_2.data_size != walk_1.data_size\n"
          "        || walk_1.data == walk_0.data)\n"
          "        return 5;\n"
          "    for (int i = 1; i < 4; ++i) {\n"
          "        if (memcmp(d[i]->data, d[0]->data, "
        + QByteArray::number(paletteBytes)
        + ") != 0)\n"
          "            return 6;\n"
          "    }\n"
          "    for (int i = 0; i < 4; ++i) {\n"
          "        if ((uintptr_t)d[i]->data % "
        + QByteArray::number(qMax(align, 1))
        + "u != 0)\n"
          "            return 7;\n"
          "    }\n"
          "    for (int i = 0; i < 4; ++i)\n"
          "        fwrite(d[i]->data, 1, d[i]->data_size, stdout);\n"
          "    return 0;\n}\n";
    const QStringList arguments = lvgl == 9
        ? QStringList {QStringLiteral("-I") + dir.path(),
                       QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR "/lvgl9")}
        : QStringList {QStringLiteral("-I") + dir.path(), QStringLiteral("-DLV_COLOR_DEPTH=16"),
                       QStringLiteral("-DLV_COLOR_16_SWAP=0"),
                       QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR)};
    QByteArray log;
    const QString program = compileWith(dir, main, arguments, &log);
    QVERIFY2(!program.isEmpty(), log.constData());
    QProcess run;
    run.start(program, QStringList());
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 0);
    const QByteArray output = run.readAllStandardOutput();
    if (align > 0) {
        for (const char *array : {"walk_0_map", "walk_3_map"})
            QCOMPARE(sectionOf(program, array), QByteArray(".frames"));
    }

    // The folder form of the same set, at depth 16 for v8.
    plan.binary = true;
    plan.placement = Placement();
    const QString folder = dir.filePath(QStringLiteral("walk"));
    const ConvertResult binaries =
        convertFrames(gif, plan, TransformPlan(), FramePlan(), folder, QString());
    QVERIFY2(binaries.ok(), qPrintable(binaries.message()));
    QCOMPARE(readFile(folder + QStringLiteral("/frames.txt")),
             QByteArray("000.bin 50\n001.bin 100\n002.bin 200\n003.bin 70\n"));
    QByteArray expected;
    for (int i = 0; i < 4; ++i)
        expected += readFile(folder + QLatin1Char('/') + frameFileName(i)).mid(headerBytes);
    QCOMPARE(output.toHex(), expected.toHex());
}

QTEST_GUILESS_MAIN(TestCCompile)
void TestCCompile::placement_data()
{
    QTest::addColumn<int>("lvgl");
    QTest::addColumn<QByteArray>("section"); // --section
    QTest::addColumn<int>("align"); // --align, 0 for none
    QTest::addColumn<QStringList>("defines"); // the project's own macros
    QTest::addColumn<QByteArray>("expectedSection"); // empty: the compiler's choice
    QTest::addColumn<int>("expectedAlign");

    const QStringList none;
    QTest::newRow("v8, a section")
        << 8 << QByteArray(".ext_flash") << 0 << none << QByteArray(".ext_flash") << 1;
    QTest::newRow("v8, aligned to 64") << 8 << QByteArray() << 64 << none << QByteArray() << 64;
    QTest::newRow("v8, a section aligned to 4096")
        << 8 << QByteArray(".psram.img") << 4096 << none << QByteArray(".psram.img") << 4096;
    QTest::newRow("v9, a section")
        << 9 << QByteArray(".ext_flash") << 0 << none << QByteArray(".ext_flash") << 1;
    QTest::newRow("v9, aligned to 256") << 9 << QByteArray() << 256 << none << QByteArray() << 256;
    QTest::newRow("v9, a section aligned to 32")
        << 9 << QByteArray("ExtRam_$1") << 32 << none << QByteArray("ExtRam_$1") << 32;
    QTest::newRow("v8, the project's own section")
        << 8 << QByteArray(".ext_flash") << 0
        << QStringList {"-DLV_ATTRIBUTE_IMG_PIC=__attribute__((section(\".other\")))"}
        << QByteArray(".other") << 1;
    QTest::newRow("v9, the project's own section")
        << 9 << QByteArray(".ext_flash") << 16
        << QStringList {"-DLV_ATTRIBUTE_IMAGE_PIC=__attribute__((section(\".other\")))"}
        << QByteArray(".other") << 16;
    QTest::newRow("v9, the project's own alignment")
        << 9 << QByteArray() << 16
        << QStringList {"-DLV_ATTRIBUTE_IMAGE_PIC_ALIGN=__attribute__((aligned(512)))"}
        << QByteArray() << 512;
}

// --section and --align reach the compiled program: the array is in the
// section (objdump's symbol table) and at an address that is a multiple of
// the alignment, its macros can be defined by the project instead, and
// the header and data stay those of the .bin.
void TestCCompile::placement()
{
    QFETCH(int, lvgl);
    QFETCH(QByteArray, section);
    QFETCH(int, align);
    QFETCH(QStringList, defines);
    QFETCH(QByteArray, expectedSection);
    QFETCH(int, expectedAlign);

    QTemporaryDir dir;
    OutputPlan plan;
    if (lvgl == 9)
        plan.row = Lvgl9::findFormat(QStringLiteral("ARGB8888"));
    else
        plan.row = Lvgl8::findFormat(QStringLiteral("TRUE_COLOR_ALPHA"));
    plan.placement.section = section;
    plan.placement.align = align;
    SourceImage source;
    source.image = TestImages::photo(6, 5, 4);
    QByteArray text;
    QVERIFY(encodeSource(source, plan, QStringLiteral("pic"), &text).ok());
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("pic.c")), text));
    plan.binary = true;
    plan.placement = Placement();
    QByteArray binary;
    QVERIFY(encodeSource(source, plan, QStringLiteral("pic"), &binary).ok());

    const int headerSize = lvgl == 9 ? 12 : 4;
    const QByteArray wrapper = "#include \"pic.c\"\n"
                               "#include <stdint.h>\n"
                               "#include <stdio.h>\n"
                               "#include <string.h>\n"
                               "int main(void)\n"
                               "{\n"
                               "    unsigned char header["
        + QByteArray::number(headerSize)
        + "];\n"
          "    memcpy(header, &pic.header, sizeof header);\n"
          "    fwrite(header, 1, sizeof header, stdout);\n"
          "    fwrite(pic.data, 1, pic.data_size, stdout);\n"
          "    fprintf(stderr, \"%lu\", (unsigned long)((uintptr_t)pic_map % "
        + QByteArray::number(expectedAlign)
        + "u));\n"
          "    return 0;\n"
          "}\n";
    QStringList arguments = defines;
    arguments << QStringLiteral("-I") + dir.path()
              << (lvgl == 9 ? QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR "/lvgl9")
                            : QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR));
    QByteArray log;
    const QString program = compileWith(dir, wrapper, arguments, &log);
    QVERIFY2(!program.isEmpty(), log.constData());

    QProcess run;
    run.start(program, QStringList());
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 0);
    QCOMPARE(run.readAllStandardOutput().toHex(), binary.toHex());
    QCOMPARE(run.readAllStandardError(), QByteArray("0"));
    const QByteArray placed = sectionOf(program, "pic_map");
    QVERIFY(!placed.isEmpty());
    if (expectedSection.isEmpty())
        QVERIFY2(placed == ".rodata" || placed == ".data.rel.ro", placed.constData());
    else
        QCOMPARE(placed, expectedSection);
}

void TestCCompile::packConsumer_data()
{
    QTest::addColumn<int>("lvgl");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("compression"); // Lvgl9::Compression
    QTest::addColumn<int>("align");
    QTest::addColumn<bool>("bind");
    QTest::addColumn<QByteArray>("section"); // of the blob in ui_blob.S; empty for .rodata

    const int none = int(Lvgl9::Compression::None);
    const int rle = int(Lvgl9::Compression::Rle);
    const int lz4 = int(Lvgl9::Compression::Lz4);
    QTest::newRow("v8 TRUE_COLOR_ALPHA, .incbin")
        << 8 << "TRUE_COLOR_ALPHA" << none << 4 << false << QByteArray();
    QTest::newRow("v8 TRUE_COLOR_ALPHA, bound")
        << 8 << "TRUE_COLOR_ALPHA" << none << 4 << true << QByteArray();
    QTest::newRow("v8 INDEXED_4BIT, .incbin at 64")
        << 8 << "INDEXED_4BIT" << none << 64 << false << QByteArray();
    QTest::newRow("v8 ALPHA_2BIT, bound") << 8 << "ALPHA_2BIT" << none << 1 << true << QByteArray();
    QTest::newRow("v9 RGB565, .incbin") << 9 << "RGB565" << none << 4 << false << QByteArray();
    QTest::newRow("v9 RGB565, bound") << 9 << "RGB565" << none << 4 << true << QByteArray();
    QTest::newRow("v9 I4 LZ4, .incbin") << 9 << "I4" << lz4 << 4 << false << QByteArray();
    QTest::newRow("v9 ARGB8888 RLE, bound at 16")
        << 9 << "ARGB8888" << rle << 16 << true << QByteArray();
    QTest::newRow("v9 RGB565A8, .incbin at 256 into .ext_flash")
        << 9 << "RGB565A8" << none << 256 << false << QByteArray(".ext_flash");
    QTest::newRow("v9 A8, bound") << 9 << "A8" << none << 8 << true << QByteArray();
}

// A program links a pack either way: the blob pulled in by the generated
// .S (.incbin), or read from the file at run time and bound. Each
// descriptor's header and data are the image's own .bin, the lookups find
// the ids, the MEMFS path (v9) covers the entry's .bin, and a bind refuses
// a damaged magic, version or byte, a short size and another pack's index
// before it changes anything.
void TestCCompile::packConsumer()
{
    QFETCH(int, lvgl);
    QFETCH(QString, format);
    QFETCH(int, compression);
    QFETCH(int, align);
    QFETCH(bool, bind);
    QFETCH(QByteArray, section);

    OutputPlan plan;
    if (lvgl == 9)
        plan.row = Lvgl9::findFormat(format);
    else
        plan.row = Lvgl8::findFormat(format);
    plan.binary = true;
    plan.compression = Lvgl9::Compression(compression);
    const QList<QByteArray> names = {"logo", "icon", "dot"};
    const QSize sizes[] = {{5, 4}, {9, 3}, {1, 1}};
    QVector<Pack::Entry> entries;
    QByteArray expected;
    for (int i = 0; i < names.size(); ++i) {
        SourceImage source;
        source.image = TestImages::photo(sizes[i].width(), sizes[i].height(), quint32(i + 1));
        QByteArray bin;
        QVERIFY(encodeSource(source, plan, QString::fromLatin1(names.at(i)), &bin).ok());
        expected += bin;
        entries.append(Pack::entry(plan, names.at(i), bin));
    }
    QVERIFY(Pack::problem(entries, align).isEmpty());
    // The same images in another order: a good pack, but not this one.
    QVector<Pack::Entry> reordered = {entries.at(1), entries.at(0), entries.at(2)};
    const QByteArray other = Pack::assemble(&reordered, align);
    const QByteArray blob = Pack::assemble(&entries, align);

    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("ui.bin")), blob));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("other.bin")), other));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("ui.h")),
                       Pack::headerText(plan, "ui", entries, bind)));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("ui.c")),
                       Pack::sourceText(plan, "ui", entries, bind)));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("ui_blob.S")),
                       Pack::assemblyText("ui", section, align)));

    const QByteArray type = lvgl == 9 ? "lv_image_dsc_t" : "lv_img_dsc_t";
    const QByteArray headerSize = lvgl == 9 ? "12" : "4";
    QByteArray wrapper = "#include \"ui.h\"\n"
                         "#include <stdio.h>\n"
                         "#include <stdlib.h>\n"
                         "#include <string.h>\n";
    if (lvgl == 9) {
        wrapper += "static const void *memfsBuffer;\n"
                   "static uint32_t memfsSize;\n"
                   "void lv_fs_make_path_from_buffer(lv_fs_path_ex_t *path, char letter,\n"
                   "                                 const void *buf, uint32_t size, const char "
                   "*ext)\n"
                   "{\n"
                   "    path->path[0] = letter;\n"
                   "    memfsBuffer = buf;\n"
                   "    memfsSize = size;\n"
                   "    (void)ext;\n"
                   "}\n";
    }
    if (!bind)
        wrapper += "extern const uint8_t ui_blob[];\n";
    else
        wrapper += "static unsigned char *load(const char *path, size_t *size)\n"
                   "{\n"
                   "    FILE *f = fopen(path, \"rb\");\n"
                   "    unsigned char *bytes = malloc(1 << 20);\n"
                   "    *size = fread(bytes, 1, 1 << 20, f);\n"
                   "    fclose(f);\n"
                   "    return bytes;\n"
                   "}\n";
    wrapper += "int main(int argc, char **argv)\n"
               "{\n"
               "    FILE *out = fopen(argv[1], \"wb\");\n"
               "    int i;\n"
               "    (void)argc;\n";
    if (bind) {
        wrapper += "    {\n"
                   "        size_t size, otherSize;\n"
                   "        unsigned char *blob = load(\"ui.bin\", &size);\n"
                   "        unsigned char *other = load(\"other.bin\", &otherSize);\n"
                   "        unsigned char *copy = malloc(size);\n"
                   "        printf(\"unbound %d\\n\", ui_image(0) == NULL);\n"
                   "        memcpy(copy, blob, size);\n"
                   "        copy[0] ^= 1;\n"
                   "        printf(\"magic %d\\n\", ui_bind(copy, size));\n"
                   "        memcpy(copy, blob, size);\n"
                   "        copy[4] = 2;\n"
                   "        printf(\"version %d\\n\", ui_bind(copy, size));\n"
                   "        memcpy(copy, blob, size);\n"
                   "        copy[size - 1] ^= 0x40;\n"
                   "        printf(\"flipped %d\\n\", ui_bind(copy, size));\n"
                   "        printf(\"short %d\\n\", ui_bind(blob, size - 1));\n"
                   "        printf(\"header only %d\\n\", ui_bind(blob, 19));\n"
                   "        printf(\"other %d\\n\", ui_bind(other, otherSize));\n"
                   "        printf(\"still unbound %d\\n\", ui_image(0) == NULL);\n"
                   "        printf(\"bound %d\\n\", ui_bind(blob, size));\n"
                   "    }\n";
    }
    if (!bind) {
        // The blob, and every image's data in it, at a multiple of align.
        const QByteArray modulo = " % " + QByteArray::number(align) + "u";
        wrapper += "    {\n"
                   "        unsigned off = (unsigned)((uintptr_t)ui_blob"
            + modulo
            + ");\n"
              "        for (i = 0; i < UI_COUNT; ++i)\n"
              "            off |= (unsigned)((uintptr_t)((const "
            + type + " *)ui_image(i))->data" + modulo
            + ");\n"
              "        printf(\"aligned %u\\n\", off);\n"
              "    }\n";
    }
    wrapper += "    printf(\"find %d %d %d %d\\n\", ui_find(\"logo\"), ui_find(\"dot\"), "
               "ui_find(\"nope\"), ui_image(UI_COUNT) == NULL);\n"
               "    for (i = 0; i < UI_COUNT; ++i) {\n"
               "        const "
        + type
        + " *d = ui_image(i);\n"
          "        unsigned char header["
        + headerSize
        + "];\n"
          "        memcpy(header, &d->header, sizeof header);\n"
          "        fwrite(header, 1, sizeof header, out);\n"
          "        fwrite(d->data, 1, d->data_size, out);\n";
    if (lvgl == 9) {
        wrapper += "        {\n"
                   "            lv_fs_path_ex_t path;\n"
                   "            const int made = ui_memfs_path(&path, i);\n"
                   "            printf(\"memfs %d %d %d\\n\", made, path.path[0] == "
                   "LV_FS_MEMFS_LETTER,\n"
                   "                   memfsBuffer == d->data - 12 && memfsSize == d->data_size "
                   "+ 12);\n"
                   "        }\n";
    }
    wrapper += "    }\n"
               "    fclose(out);\n"
               "    return 0;\n"
               "}\n";

    QStringList arguments = {QStringLiteral("-I") + dir.path(),
                             lvgl == 9 ? QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR "/lvgl9")
                                       : QStringLiteral("-I" BRINDLEFORGE_TEST_SOURCE_DIR),
                             QStringLiteral("-DLV_USE_FS_MEMFS=1"),
                             dir.filePath(QStringLiteral("ui.c"))};
    if (!bind) {
        arguments << dir.filePath(QStringLiteral("ui_blob.S"))
                  << QStringLiteral("-Wa,-I") + dir.path();
    }
    QByteArray log;
    const QString program = compileWith(dir, wrapper, arguments, &log);
    QVERIFY2(!program.isEmpty(), log.constData());

    QProcess run;
    run.setWorkingDirectory(dir.path());
    run.start(program, {dir.filePath(QStringLiteral("images"))});
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitCode(), 0);
    QByteArray lines;
    if (bind) {
        lines = "unbound 1\nmagic -1\nversion -2\nflipped -4\nshort -3\nheader only -3\n"
                "other -5\nstill unbound 1\nbound 0\n";
    } else
        lines = "aligned 0\n";
    lines += "find 0 2 -1 1\n";
    if (lvgl == 9)
        lines += "memfs 0 1 1\nmemfs 0 1 1\nmemfs 0 1 1\n";
    QCOMPARE(run.readAllStandardOutput(), lines);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("images"))).toHex(), expected.toHex());
    if (!bind)
        QCOMPARE(sectionOf(program, "ui_blob"),
                 section.isEmpty() ? QByteArray(".rodata") : section);
}

#include "tst_ccompile.moc"
