#include <devicemodel.h>
#include <lvconf.h>
#include <outputplan.h>

#include <QRegularExpression>
#include <QTest>

using namespace Convert;

namespace {

// Compact stand-ins for the configuration templates of LVGL 8 and 9, laid
// out as a project's copy is: the whole file behind "#if 1" and an include
// guard, the renderer's switches behind their own condition.
const char v8Template[] = R"(/* Configuration of the display firmware (v8) */
/* clang-format off */
#if 1 /* Set it to "1" to enable content */

#ifndef LV_CONF_H
#define LV_CONF_H

#include <stdint.h>

#define LV_COLOR_DEPTH 16
#define LV_COLOR_16_SWAP 0
#define LV_COLOR_CHROMA_KEY lv_color_hex(0x00ff00)         /* pure green */
#define LV_ATTRIBUTE_LARGE_CONST
#define LV_ATTRIBUTE_MEM_ALIGN

#define LV_USE_PNG 0
#define LV_USE_BMP 0
#define LV_USE_SJPG 0
#define LV_USE_GIF 0

#endif /*LV_CONF_H*/
#endif /*End of "Content enable"*/
)";

const char v9Template[] = R"(/* Configuration of the display firmware (v9) */
#if 1 /* Set this to "1" to enable content */

#ifndef LV_CONF_H
#define LV_CONF_H

#define LV_COLOR_DEPTH 16
#define LV_USE_STDLIB_MALLOC    LV_STDLIB_BUILTIN
#if LV_USE_STDLIB_MALLOC == LV_STDLIB_BUILTIN
    #define LV_MEM_SIZE (64 * 1024U)
#endif
#define LV_DRAW_BUF_STRIDE_ALIGN                1
#define LV_USE_DRAW_SW 1
#if LV_USE_DRAW_SW == 1
    #define LV_DRAW_SW_SUPPORT_RGB565       1
    #define LV_DRAW_SW_SUPPORT_RGB565_SWAPPED 1
    #define LV_DRAW_SW_SUPPORT_RGB565A8     1
    #define LV_DRAW_SW_SUPPORT_RGB888       1
    #define LV_DRAW_SW_SUPPORT_XRGB8888     1
    #define LV_DRAW_SW_SUPPORT_ARGB8888     1
    #define LV_DRAW_SW_SUPPORT_ARGB8888_PREMULTIPLIED 1
    #define LV_DRAW_SW_SUPPORT_L8           1
    #define LV_DRAW_SW_SUPPORT_AL88         1
    #define LV_DRAW_SW_SUPPORT_A8           1
    #define LV_DRAW_SW_SUPPORT_I1           1
#endif
#define LV_BIN_DECODER_RAM_LOAD 0
#define LV_USE_RLE 0
#define LV_USE_LZ4_INTERNAL  0
#define LV_USE_LZ4_EXTERNAL  0
#define LV_USE_FS_MEMFS 0
#define LV_USE_LODEPNG 0
#define LV_USE_LIBPNG 0
#define LV_USE_TJPGD 0
#define LV_USE_LIBJPEG_TURBO 0
#define LV_USE_GIF 0

#endif /*LV_CONF_H*/
#endif /*End of "Content enable"*/
)";

// The template with each "NAME=VALUE" of edits put in: a #define that is
// there gets the value, one that is not is added before the guard's end;
// "NAME=" removes it.
QByteArray edited(const char *base, const QStringList &edits)
{
    QString text = QString::fromLatin1(base);
    for (const QString &edit : edits) {
        const QString name = edit.section(QLatin1Char('='), 0, 0);
        const QString value = edit.section(QLatin1Char('='), 1);
        const QRegularExpression line(QStringLiteral("#define %1 [^\\n]*\\n").arg(name));
        const QString replacement =
            value.isEmpty() ? QString() : QStringLiteral("#define %1 %2\n").arg(name, value);
        if (text.contains(line))
            text.replace(line, replacement);
        else
            text.replace(QStringLiteral("#endif /*LV_CONF_H*/"),
                         replacement + QStringLiteral("#endif /*LV_CONF_H*/"));
    }
    return text.toLatin1();
}

QByteArray versionHeader(int major, int minor, int patch)
{
    return QStringLiteral("#ifndef LVGL_VERSION_H\n#define LVGL_VERSION_H\n"
                          "#define LVGL_VERSION_MAJOR %1\n#define LVGL_VERSION_MINOR %2\n"
                          "#define LVGL_VERSION_PATCH %3\n#define LVGL_VERSION_INFO \"\"\n"
                          "#endif\n")
        .arg(major)
        .arg(minor)
        .arg(patch)
        .toLatin1();
}

// A device of the template of version major.minor, edited.
DeviceModel device(int major, int minor, const QStringList &edits)
{
    LvConf conf;
    const bool read =
        conf.read(edited(major == 8 ? v8Template : v9Template, edits), QStringLiteral("lv_conf.h"));
    LvConf version;
    const bool versionRead =
        version.read(versionHeader(major, qMax(minor, 0), 0), QStringLiteral("lv_version.h"));
    DeviceModel model;
    QString error;
    const bool loaded = read && versionRead
        && model.load(conf, minor >= 0 ? &version : nullptr, minor >= 0 ? 0 : major, false, &error);
    if (!loaded)
        qWarning("the template does not load: %s %s", qPrintable(conf.errorString()),
                 qPrintable(error));
    return model;
}

OutputPlan plan(int lvgl, const char *format, bool binary = false)
{
    OutputPlan plan;
    if (lvgl == 8)
        plan.row = Lvgl8::findFormat(QLatin1String(format));
    else
        plan.row = Lvgl9::findFormat(QLatin1String(format));
    plan.binary = binary;
    return plan;
}

} // namespace

class TestLvConf : public QObject
{
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void brokenFiles_data();
    void brokenFiles();
    void templateDefaults_data();
    void templateDefaults();
    void versions_data();
    void versions();
    void refusals_data();
    void refusals();
    void warnings_data();
    void warnings();
};

void TestLvConf::reading_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qint64>("value"); // -1: not set
    QTest::addColumn<int>("line"); // 0: not defined

    QTest::newRow("a plain define")
        << QByteArray("#define LV_USE_RLE 1\n") << QByteArray("LV_USE_RLE") << qint64(1) << 1;
    QTest::newRow("inside #if 1 and a guard")
        << QByteArray("#if 1 /* Set it to \"1\" to enable content */\n#ifndef LV_CONF_H\n"
                      "#define LV_CONF_H\n#define LV_COLOR_DEPTH 32\n#endif\n#endif\n")
        << QByteArray("LV_COLOR_DEPTH") << qint64(32) << 4;
    QTest::newRow("inside #if 0") << QByteArray(
        "#if 0 /* Set it to \"1\" to enable content */\n#define LV_COLOR_DEPTH 32\n"
        "#endif\n") << QByteArray("LV_COLOR_DEPTH")
                                  << qint64(-1) << 0;
    QTest::newRow("a guard already defined")
        << QByteArray("#define LV_CONF_H\n#ifndef LV_CONF_H\n#define LV_USE_GIF 1\n#endif\n")
        << QByteArray("LV_USE_GIF") << qint64(-1) << 0;
    QTest::newRow("#ifdef of a defined name")
        << QByteArray("#define LV_USE_OS 0\n#ifdef LV_USE_OS\n#define LV_USE_GIF 1\n#endif\n")
        << QByteArray("LV_USE_GIF") << qint64(1) << 3;
    QTest::newRow("#elif after a false #if")
        << QByteArray("#define LV_COLOR_DEPTH 16\n#if LV_COLOR_DEPTH == 32\n#define LV_X 1\n"
                      "#elif LV_COLOR_DEPTH == 16\n#define LV_X 2\n#else\n#define LV_X 3\n"
                      "#endif\n")
        << QByteArray("LV_X") << qint64(2) << 5;
    QTest::newRow("an unknown name in a condition is 0")
        << QByteArray("#define LV_USE_STDLIB_MALLOC LV_STDLIB_BUILTIN\n"
                      "#if LV_USE_STDLIB_MALLOC == LV_STDLIB_BUILTIN\n#define LV_MEM 7\n#endif\n")
        << QByteArray("LV_MEM") << qint64(7) << 3;
    QTest::newRow("a condition it cannot read is false")
        << QByteArray("#if defined(__has_include) && __has_include(<lz4.h>)\n"
                      "#define LV_USE_LZ4_EXTERNAL 1\n#endif\n")
        << QByteArray("LV_USE_LZ4_EXTERNAL") << qint64(-1) << 0;
    QTest::newRow("#undef") << QByteArray("#define LV_USE_RLE 1\n#undef LV_USE_RLE\n")
                            << QByteArray("LV_USE_RLE") << qint64(-1) << 0;
    QTest::newRow("redefined: the last one holds")
        << QByteArray("#define LV_USE_RLE 1\n#undef LV_USE_RLE\n#define LV_USE_RLE 0\n")
        << QByteArray("LV_USE_RLE") << qint64(0) << 3;
    QTest::newRow("a shift in parentheses")
        << QByteArray("#define LV_DRAW_BUF_STRIDE_ALIGN (1 << 3) /* eight */\n")
        << QByteArray("LV_DRAW_BUF_STRIDE_ALIGN") << qint64(8) << 1;
    QTest::newRow("a value through another macro and a continuation")
        << QByteArray("#define ALIGN 4U\n#define LV_DRAW_BUF_STRIDE_ALIGN \\\n  (ALIGN * 2)\n")
        << QByteArray("LV_DRAW_BUF_STRIDE_ALIGN") << qint64(8) << 2;
    QTest::newRow("a comment across lines before it")
        << QByteArray("/* one\n * two\n */\n#define LV_USE_GIF 1 // on\n")
        << QByteArray("LV_USE_GIF") << qint64(1) << 4;
    QTest::newRow("#include is not followed")
        << QByteArray("#include \"missing/lv_conf_extra.h\"\n#define LV_USE_GIF 1\n")
        << QByteArray("LV_USE_GIF") << qint64(1) << 2;
    QTest::newRow("a string value is not set")
        << QByteArray("#define LV_FS_MEMFS_LETTER 'M'\n") << QByteArray("LV_FS_MEMFS_LETTER")
        << qint64(-1) << 1;
    QTest::newRow("a macro with arguments is not set")
        << QByteArray("#define LV_USE_RLE(x) 1\n") << QByteArray("LV_USE_RLE") << qint64(-1) << 1;
    // Hostile values: each ends, within the reader's limits, as a value or
    // as "not set".
    QTest::newRow("a macro that names itself") << QByteArray("#define LV_USE_RLE LV_USE_RLE\n")
                                               << QByteArray("LV_USE_RLE") << qint64(0) << 1;
    QTest::newRow("two macros that name each other")
        << QByteArray("#define LV_USE_RLE A\n#define A LV_USE_RLE\n") << QByteArray("LV_USE_RLE")
        << qint64(0) << 1;
    QTest::newRow("parentheses 300 deep")
        << (QByteArray("#define LV_USE_RLE ") + QByteArray(300, '(') + '1' + QByteArray(300, ')')
            + '\n')
        << QByteArray("LV_USE_RLE") << qint64(-1) << 1;
    QTest::newRow("macros that double 40 times") << QByteArray(
        "#define A0 1\n"
        "#define A1 (A0 + A0)\n#define A2 (A1 + A1)\n#define A3 (A2 + A2)\n#define A4 (A3 + "
        "A3)\n#define A5 (A4 + A4)\n#define A6 (A5 + A5)\n#define A7 (A6 + A6)\n#define A8 (A7 + "
        "A7)\n#define A9 (A8 + A8)\n#define A10 (A9 + A9)\n#define A11 (A10 + A10)\n#define A12 "
        "(A11 + A11)\n#define A13 (A12 + A12)\n#define A14 (A13 + A13)\n#define A15 (A14 + "
        "A14)\n#define A16 (A15 + A15)\n#define A17 (A16 + A16)\n#define A18 (A17 + A17)\n#define "
        "A19 (A18 + A18)\n#define A20 (A19 + A19)\n#define A21 (A20 + A20)\n#define A22 (A21 + "
        "A21)\n#define A23 (A22 + A22)\n#define A24 (A23 + A23)\n#define A25 (A24 + A24)\n#define "
        "A26 (A25 + A25)\n#define A27 (A26 + A26)\n#define A28 (A27 + A27)\n#define A29 (A28 + "
        "A28)\n#define A30 (A29 + A29)\n#define A31 (A30 + A30)\n#define A32 (A31 + A31)\n#define "
        "A33 (A32 + A32)\n#define A34 (A33 + A33)\n#define A35 (A34 + A34)\n#define A36 (A35 + "
        "A35)\n#define A37 (A36 + A36)\n#define A38 (A37 + A37)\n#define A39 (A38 + A38)\n#define "
        "A40 (A39 + A39)\n"
        "#define LV_USE_RLE A40\n") << QByteArray("LV_USE_RLE")
                                                 << qint64(-1) << 42;
    QTest::newRow("a division by zero") << QByteArray("#define LV_USE_RLE (1 / 0)\n")
                                        << QByteArray("LV_USE_RLE") << qint64(-1) << 1;
    QTest::newRow("a number past 64 bits")
        << QByteArray("#define LV_USE_RLE 99999999999999999999\n") << QByteArray("LV_USE_RLE")
        << qint64(-1) << 1;
    QTest::newRow("bytes outside ASCII") << QByteArray("#define LV_USE_RLE \xff\xfe\n")
                                         << QByteArray("LV_USE_RLE") << qint64(-1) << 1;
    QTest::newRow("a NUL in the value") << QByteArray("#define LV_USE_RLE 1\0\n", 22)
                                        << QByteArray("LV_USE_RLE") << qint64(-1) << 1;
    QTest::newRow("a backslash at the end of the file")
        << QByteArray("#define LV_USE_RLE 1 \\") << QByteArray("LV_USE_RLE") << qint64(-1) << 1;
    QTest::newRow("#if without a condition") << QByteArray("#if\n#define LV_USE_RLE 1\n#endif\n")
                                             << QByteArray("LV_USE_RLE") << qint64(-1) << 0;
    QTest::newRow("C text between the directives")
        << QByteArray("extern int lv_custom(void);\nstatic const char *s = \"#define X 1\";\n"
                      "#define LV_USE_GIF 1\n")
        << QByteArray("LV_USE_GIF") << qint64(1) << 3;
}

// Each setting keeps its value as the preprocessor would see it at the end
// of the file, and the line it was defined on.
void TestLvConf::reading()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, name);
    QFETCH(qint64, value);
    QFETCH(int, line);

    LvConf conf;
    QVERIFY2(conf.read(text, QStringLiteral("lv_conf.h")), qPrintable(conf.errorString()));
    int at = 0;
    QCOMPARE(conf.isDefined(name, &at), line != 0);
    QCOMPARE(at, line);
    qint64 got = -1;
    int valueLine = 0;
    QCOMPARE(conf.value(name, &got, &valueLine), value >= 0);
    if (value >= 0) {
        QCOMPARE(got, value);
        QCOMPARE(valueLine, line);
    }
    // A value or condition passed over is said, with its line.
    if ((line && value < 0) || text.contains("__has_include") || text.startsWith("#if\n")) {
        QVERIFY(!conf.notes().isEmpty());
        QVERIFY2(conf.notes().constFirst().startsWith(QLatin1String("lv_conf.h:")),
                 qPrintable(conf.notes().constFirst()));
    }
}

void TestLvConf::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("a comment that never ends")
        << QByteArray("#define A 1\n/* open\n") << "lv_conf.h:2: a comment that never ends";
    QTest::newRow("#if without #endif") << QByteArray("#define A 1\n#if 1\n#define B 2\n")
                                        << "lv_conf.h:2: this conditional has no #endif";
    QTest::newRow("#endif without #if")
        << QByteArray("#endif\n") << "lv_conf.h:1: #endif without #if";
    QTest::newRow("#elif after #else")
        << QByteArray("#if 0\n#else\n#elif 1\n#endif\n") << "lv_conf.h:3: #elif after #else";
}

void TestLvConf::brokenFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);

    LvConf conf;
    QVERIFY(!conf.read(text, QStringLiteral("lv_conf.h")));
    QCOMPARE(conf.errorString(), error);
}

void TestLvConf::templateDefaults_data()
{
    QTest::addColumn<int>("lvgl");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<int>("depth"); // ColorDepth
    QTest::addColumn<uint>("chromaKey");
    QTest::addColumn<int>("strideAlign");

    const int d8 = int(ColorDepth::Depth8);
    const int d16 = int(ColorDepth::Depth16);
    const int swap = int(ColorDepth::Depth16Swap);
    const int d32 = int(ColorDepth::Depth32);
    QTest::newRow("v8 template") << 8 << QStringList() << d16 << 0x00ff00u << 1;
    QTest::newRow("v8 LV_COLOR_DEPTH 32")
        << 8 << QStringList {"LV_COLOR_DEPTH=32"} << d32 << 0x00ff00u << 1;
    QTest::newRow("v8 LV_COLOR_DEPTH 8")
        << 8 << QStringList {"LV_COLOR_DEPTH=8"} << d8 << 0x00ff00u << 1;
    QTest::newRow("v8 LV_COLOR_DEPTH 1")
        << 8 << QStringList {"LV_COLOR_DEPTH=1"} << d8 << 0x00ff00u << 1;
    QTest::newRow("v8 LV_COLOR_16_SWAP 1")
        << 8 << QStringList {"LV_COLOR_16_SWAP=1"} << swap << 0x00ff00u << 1;
    QTest::newRow("v8 LV_COLOR_DEPTH removed")
        << 8 << QStringList {"LV_COLOR_DEPTH="} << d16 << 0x00ff00u << 1;
    QTest::newRow("v8 LV_COLOR_DEPTH not a number")
        << 8 << QStringList {"LV_COLOR_DEPTH=SIXTEEN()"} << d16 << 0x00ff00u << 1;
    QTest::newRow("v8 chroma key lv_color_hex")
        << 8 << QStringList {"LV_COLOR_CHROMA_KEY=lv_color_hex(0xff00ff)"} << d16 << 0xff00ffu << 1;
    QTest::newRow("v8 chroma key lv_color_make")
        << 8 << QStringList {"LV_COLOR_CHROMA_KEY=lv_color_make(0x12, 0x34, 0x56)"} << d16
        << 0x123456u << 1;
    QTest::newRow("v8 chroma key not a colour")
        << 8 << QStringList {"LV_COLOR_CHROMA_KEY=lv_color_hex(0x1000000)"} << d16 << 0x00ff00u
        << 1;
    QTest::newRow("v9 template") << 9 << QStringList() << d16 << 0x00ff00u << 1;
    QTest::newRow("v9 LV_DRAW_BUF_STRIDE_ALIGN 64")
        << 9 << QStringList {"LV_DRAW_BUF_STRIDE_ALIGN=64"} << d16 << 0x00ff00u << 64;
    QTest::newRow("v9 LV_DRAW_BUF_STRIDE_ALIGN 3 (no power of two)")
        << 9 << QStringList {"LV_DRAW_BUF_STRIDE_ALIGN=3"} << d16 << 0x00ff00u << 1;
    QTest::newRow("v9 LV_DRAW_BUF_STRIDE_ALIGN removed")
        << 9 << QStringList {"LV_DRAW_BUF_STRIDE_ALIGN="} << d16 << 0x00ff00u << 1;
}

// The template's values, each edited alone, and the library's default for
// a setting left out, become the defaults of a plan; a plan given its own
// choices keeps them.
void TestLvConf::templateDefaults()
{
    QFETCH(int, lvgl);
    QFETCH(QStringList, edits);
    QFETCH(int, depth);
    QFETCH(uint, chromaKey);
    QFETCH(int, strideAlign);

    const DeviceModel model = device(lvgl, -1, edits);
    QCOMPARE(model.major(), lvgl);
    QCOMPARE(int(model.depth()), depth);
    QCOMPARE(uint(model.chromaKey()), chromaKey);
    QCOMPARE(model.strideAlign(), strideAlign);

    OutputPlan given = lvgl == 8 ? plan(8, "TRUE_COLOR", true) : plan(9, "RGB565");
    OutputPlan defaulted = given;
    model.applyDefaults(&defaulted, false, false);
    QCOMPARE(int(defaulted.depth), lvgl == 8 ? depth : int(given.depth));
    QCOMPARE(defaulted.strideAlign, lvgl == 9 ? strideAlign : given.strideAlign);
    QCOMPARE(uint(defaulted.chromaKey), lvgl == 8 ? chromaKey : uint(Lvgl8::ChromaKey));
    OutputPlan chosen = given;
    model.applyDefaults(&chosen, true, true);
    QCOMPARE(int(chosen.depth), int(given.depth));
    QCOMPARE(chosen.strideAlign, given.strideAlign);
    // A C array holds every depth: its plan keeps the depth it has.
    OutputPlan array = plan(8, "TRUE_COLOR");
    model.applyDefaults(&array, false, false);
    QCOMPARE(array.depth, ColorDepth::Depth16);
}

void TestLvConf::versions_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QByteArray>("version"); // empty: no lv_version.h
    QTest::addColumn<int>("lvgl"); // --lvgl, 0 for none
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("error");

    const QByteArray v8 = v8Template;
    const QByteArray v9 = v9Template;
    const QByteArray bare("#define LV_COLOR_DEPTH 16\n#define LV_USE_GIF 1\n");
    const QByteArray mixed("#define LV_USE_SJPG 0\n#define LV_USE_TJPGD 0\n");
    QTest::newRow("lv_version.h 9.2.1") << v9 << versionHeader(9, 2, 1) << 0 << 9 << 2 << QString();
    QTest::newRow("lv_version.h 8.3.11")
        << v8 << versionHeader(8, 3, 11) << 0 << 8 << 3 << QString();
    QTest::newRow("--lvgl wins over lv_version.h")
        << v9 << versionHeader(8, 3, 11) << 9 << 9 << -1 << QString();
    QTest::newRow("--lvgl of the same major keeps the release")
        << v9 << versionHeader(9, 1, 0) << 9 << 9 << 1 << QString();
    QTest::newRow("no lv_version.h, --lvgl 8") << bare << QByteArray() << 8 << 8 << -1 << QString();
    QTest::newRow("no lv_version.h, v9 settings")
        << v9 << QByteArray() << 0 << 9 << -1 << QString();
    QTest::newRow("no lv_version.h, v8 settings")
        << v8 << QByteArray() << 0 << 8 << -1 << QString();
    QTest::newRow("no lv_version.h, no telling settings")
        << bare << QByteArray() << 0 << 0 << -1
        << "lv_conf.h: which LVGL version it configures cannot be told from its settings (none "
           "is of v8 or v9 alone); give --lvgl 8 or 9";
    QTest::newRow("no lv_version.h, settings of both")
        << mixed << QByteArray() << 0 << 0 << -1
        << "(LV_USE_SJPG (line 1) is of v8, LV_USE_TJPGD (line 2) of v9)";
    QTest::newRow("lv_version.h of LVGL 7")
        << v8 << versionHeader(7, 5, 0) << 0 << 0 << -1
        << "lv_version.h:3: LVGL_VERSION_MAJOR is 7: only LVGL 8 and 9";
    QTest::newRow("a version header without the version")
        << v9 << QByteArray("#define LVGL_VERSION_H\n") << 0 << 0 << -1
        << "lv_version.h: no LVGL_VERSION_MAJOR is defined";
}

void TestLvConf::versions()
{
    QFETCH(QByteArray, conf);
    QFETCH(QByteArray, version);
    QFETCH(int, lvgl);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, error);

    LvConf confFile;
    QVERIFY(confFile.read(conf, QStringLiteral("lv_conf.h")));
    LvConf versionFile;
    QVERIFY(versionFile.read(version, QStringLiteral("lv_version.h")));
    DeviceModel model;
    QString message;
    const bool loaded =
        model.load(confFile, version.isEmpty() ? nullptr : &versionFile, lvgl, false, &message);
    QCOMPARE(loaded, error.isEmpty());
    QVERIFY2(message.contains(error), qPrintable(message));
    if (loaded) {
        QCOMPARE(model.major(), major);
        QCOMPARE(model.minor(), minor);
    }
    // inspect takes an unknown version for the file's own.
    DeviceModel lenient;
    if (error.contains(QLatin1String("cannot be told")))
        QVERIFY(lenient.load(confFile, nullptr, 0, true, &message) && lenient.major() == 0);
}

void TestLvConf::refusals_data()
{
    QTest::addColumn<int>("lvgl");
    QTest::addColumn<int>("minor"); // -1: no lv_version.h
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<int>("depth"); // ColorDepth of a v8 .bin
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("kind"); // ImageKind of a RAW source
    QTest::addColumn<QString>("refusal"); // empty: drawn

    const int d16 = int(ColorDepth::Depth16);
    const int swap = int(ColorDepth::Depth16Swap);
    const int d32 = int(ColorDepth::Depth32);
    const int none = int(Lvgl9::Compression::None);
    const int rle = int(Lvgl9::Compression::Rle);
    const int lz4 = int(Lvgl9::Compression::Lz4);
    const int unknown = int(ImageKind::Unknown);
    const int png = int(ImageKind::Png);
    const int jpeg = int(ImageKind::Jpeg);
    const int gif = int(ImageKind::Gif);
    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };

    // The renderer's switches, from 9.2.
    row("9.2 L8 with its switch off")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_L8=0"} << "L8" << false << d16 << none
        << unknown << "lv_conf.h:22: LV_DRAW_SW_SUPPORT_L8 is 0; set LV_DRAW_SW_SUPPORT_L8 1";
    row("9.2 L8 with the template")
        << 9 << 2 << QStringList() << "L8" << false << d16 << none << unknown << QString();
    row("9.1 L8 with its switch off (no switches before 9.2)")
        << 9 << 1 << QStringList {"LV_DRAW_SW_SUPPORT_L8=0"} << "L8" << false << d16 << none
        << unknown << QString();
    row("9.2 RGB565 with its switch off")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_RGB565=0"} << "RGB565" << true << d16 << none
        << unknown << "LV_DRAW_SW_SUPPORT_RGB565 is 0";
    row("9.2 RGB565A8 needs the RGB565 switch")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_RGB565=0"} << "RGB565A8" << false << d16
        << none << unknown << "RGB565A8 images are drawn as RGB565";
    row("9.2 RGB565A8 without its own switch")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_RGB565A8=0"} << "RGB565A8" << false << d16
        << none << unknown << QString();
    row("9.2 I4 needs the ARGB8888 switch")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_ARGB8888=0"} << "I4" << false << d16 << none
        << unknown << "I4 images are expanded to ARGB8888 at load";
    row("9.2 I1 without the I1 switch (for displays)")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_I1=0"} << "I1" << false << d16 << none
        << unknown << QString();
    row("9.2 A8 without its switch is drawn as a mask")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_A8=0"} << "A8" << false << d16 << none
        << unknown << QString();
    row("9.2 premultiplied with its switch left out is on by default")
        << 9 << 2 << QStringList {"LV_DRAW_SW_SUPPORT_ARGB8888_PREMULTIPLIED="}
        << "ARGB8888_PREMULTIPLIED" << false << d16 << none << unknown << QString();
    row("9.2 AL88 switch behind #if 0")
        << 9 << 2 << QStringList {"LV_USE_DRAW_SW=0", "LV_DRAW_SW_SUPPORT_AL88=0"} << "AL88"
        << false << d16 << none << unknown << QString();
    // Compression.
    row("RLE without LV_USE_RLE") << 9 << 2 << QStringList {"LV_BIN_DECODER_RAM_LOAD=1"} << "RGB565"
                                  << false << d16 << rle << unknown
                                  << "lv_conf.h:28: LV_USE_RLE is 0; set LV_USE_RLE 1";
    row("RLE with LV_USE_RLE and RAM_LOAD")
        << 9 << 2 << QStringList {"LV_USE_RLE=1", "LV_BIN_DECODER_RAM_LOAD=1"} << "RGB565" << false
        << d16 << rle << unknown << QString();
    row("RLE without RAM_LOAD") << 9 << 1 << QStringList {"LV_USE_RLE=1"} << "A4" << true << d16
                                << rle << unknown
                                << "lv_conf.h:27: LV_BIN_DECODER_RAM_LOAD is 0; set "
                                   "LV_BIN_DECODER_RAM_LOAD 1";
    row("9.0 RLE without RAM_LOAD") << 9 << 0 << QStringList {"LV_USE_RLE=1"} << "A4" << true << d16
                                    << rle << unknown << QString();
    row("RAM_LOAD left out of the file")
        << 9 << 2 << QStringList {"LV_USE_RLE=1", "LV_BIN_DECODER_RAM_LOAD="} << "A4" << true << d16
        << rle << unknown
        << "lv_conf.h does not set LV_BIN_DECODER_RAM_LOAD (the library's default is 0)";
    row("LZ4 without a decoder")
        << 9 << 2 << QStringList {"LV_BIN_DECODER_RAM_LOAD=1"} << "I8" << false << d16 << lz4
        << unknown << "LV_USE_LZ4_INTERNAL is 0, and neither LV_USE_LZ4_EXTERNAL nor LV_USE_LZ4";
    row("LZ4 internal") << 9 << 2
                        << QStringList {"LV_BIN_DECODER_RAM_LOAD=1", "LV_USE_LZ4_INTERNAL=1"}
                        << "I8" << false << d16 << lz4 << unknown << QString();
    row("LZ4 external") << 9 << 2
                        << QStringList {"LV_BIN_DECODER_RAM_LOAD=1", "LV_USE_LZ4_EXTERNAL=1"}
                        << "I8" << false << d16 << lz4 << unknown << QString();
    row("LZ4 of the development tree")
        << 9 << 5 << QStringList {"LV_BIN_DECODER_RAM_LOAD=1", "LV_USE_LZ4=1"} << "I8" << false
        << d16 << lz4 << unknown << QString();
    // Embedded files.
    row("v9 RAW PNG without a decoder")
        << 9 << 2 << QStringList() << "RAW_ALPHA" << false << d16 << none << png
        << "lv_conf.h:32: LV_USE_LODEPNG is 0, and LV_USE_LIBPNG is not set";
    row("v9 RAW PNG with lodepng") << 9 << 0 << QStringList {"LV_USE_LODEPNG=1"} << "RAW_ALPHA"
                                   << false << d16 << none << png << QString();
    row("9.1 RAW PNG with libpng") << 9 << 1 << QStringList {"LV_USE_LIBPNG=1"} << "RAW_ALPHA"
                                   << false << d16 << none << png << QString();
    row("9.0 RAW PNG with libpng")
        << 9 << 0 << QStringList {"LV_USE_LIBPNG=1"} << "RAW_ALPHA" << false << d16 << none << png
        << "LV_USE_LIBPNG reads C arrays only from 9.1";
    row("v9 RAW JPEG with TJPGD but no MEMFS")
        << 9 << 2 << QStringList {"LV_USE_TJPGD=1", "LV_USE_LIBJPEG_TURBO=1"} << "RAW" << false
        << d16 << none << jpeg << "lv_conf.h:31: LV_USE_FS_MEMFS is 0; set LV_USE_FS_MEMFS 1";
    row("v9 RAW JPEG with TJPGD and MEMFS")
        << 9 << 2 << QStringList {"LV_USE_TJPGD=1", "LV_USE_FS_MEMFS=1"} << "RAW" << false << d16
        << none << jpeg << QString();
    row("v9 RAW GIF without the player") << 9 << 2 << QStringList() << "RAW" << false << d16 << none
                                         << gif << "LV_USE_GIF is 0; set LV_USE_GIF 1";
    row("v9 RAW GIF with the player") << 9 << 2 << QStringList {"LV_USE_GIF=1"} << "RAW" << false
                                      << d16 << none << gif << QString();
    row("v8 RAW_ALPHA PNG without LV_USE_PNG")
        << 8 << 3 << QStringList() << "RAW_ALPHA" << false << d16 << none << png
        << "lv_conf.h:16: LV_USE_PNG is 0; set LV_USE_PNG 1";
    row("v8 RAW JPEG without LV_USE_SJPG")
        << 8 << 3 << QStringList {"LV_USE_PNG=1"} << "RAW" << false << d16 << none << jpeg
        << "LV_USE_SJPG is 0; set LV_USE_SJPG 1";
    row("v8 RAW JPEG with LV_USE_SJPG") << 8 << 3 << QStringList {"LV_USE_SJPG=1"} << "RAW" << false
                                        << d16 << none << jpeg << QString();
    row("v8 RAW GIF without the player")
        << 8 << 3 << QStringList() << "RAW" << false << d16 << none << gif << "LV_USE_GIF is 0";
    // Depths.
    row("v8 .bin for depth 32 on a 16-bit device")
        << 8 << 3 << QStringList() << "TRUE_COLOR" << true << d32 << none << unknown
        << "this .bin is made for LV_COLOR_DEPTH 32, which the device does not have: "
           "lv_conf.h:10: LV_COLOR_DEPTH is 16";
    row("v8 .bin for depth 16 swapped on an unswapped device")
        << 8 << 3 << QStringList() << "TRUE_COLOR_ALPHA" << true << swap << none << unknown
        << "lv_conf.h:11: LV_COLOR_16_SWAP is 0";
    row("v8 .bin for the file's depth")
        << 8 << 3 << QStringList {"LV_COLOR_DEPTH=32"} << "TRUE_COLOR" << true << d32 << none
        << unknown << QString();
    row("v8 indexed .bin at any depth")
        << 8 << 3 << QStringList {"LV_COLOR_DEPTH=32"} << "INDEXED_4BIT" << true << d16 << none
        << unknown << QString();
    row("v8 RGB565A8 C array at depth 32")
        << 8 << 3 << QStringList {"LV_COLOR_DEPTH=32"} << "RGB565A8" << false << d16 << none
        << unknown
        << "RGB565A8 is drawn only at LV_COLOR_DEPTH 16: lv_conf.h:10: LV_COLOR_DEPTH is 32";
    row("v8 RGB565A8 C array at depth 16 swapped")
        << 8 << 3 << QStringList {"LV_COLOR_16_SWAP=1"} << "RGB565A8" << false << d16 << none
        << unknown << QString();
    row("a version 8 image on LVGL 9")
        << 9 << 2 << QStringList() << "TRUE_COLOR" << false << d16 << none << unknown
        << "a v8 image does not open on LVGL 9.2.0";
}

// Each refusal names the setting, the line it is on, and what to change;
// what the configuration draws is not refused.
void TestLvConf::refusals()
{
    QFETCH(int, lvgl);
    QFETCH(int, minor);
    QFETCH(QStringList, edits);
    QFETCH(QString, format);
    QFETCH(bool, binary);
    QFETCH(int, depth);
    QFETCH(int, compression);
    QFETCH(int, kind);
    QFETCH(QString, refusal);

    const bool v8Row = QByteArray(QTest::currentDataTag()).contains("v8 ");
    const DeviceModel model = device(v8Row ? 8 : lvgl, minor, edits);
    const bool v9Plan = lvgl == 9 && !v8Row && Lvgl9::findFormat(format);
    OutputPlan p = plan(v9Plan ? 9 : 8, format.toLatin1().constData(), binary);
    QVERIFY(p.format() || p.format9());
    p.depth = ColorDepth(depth);
    p.compression = Lvgl9::Compression(compression);
    const QString said = model.refusal(DeviceImage::of(p, QSize(8, 8), ImageKind(kind)));
    if (refusal.isEmpty())
        QVERIFY2(said.isEmpty(), qPrintable(said));
    else
        QVERIFY2(said.contains(refusal), qPrintable(said));
}

void TestLvConf::warnings_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("planAlign");
    QTest::addColumn<QStringList>("warnings"); // a part of each, in order

    const int none = int(Lvgl9::Compression::None);
    const int rle = int(Lvgl9::Compression::Rle);
    const QStringList nothing;
    // 10 x 6 pixels.
    QTest::newRow("RGB565 in place") << 2 << nothing << "RGB565" << none << 1 << nothing;
    QTest::newRow("I4 expanded to ARGB8888: 10 * 4 * 6 bytes")
        << 2 << nothing << "I4" << none << 1
        << QStringList {"copies this image into heap RAM at load (I4 is expanded to ARGB8888): "
                        "240 bytes"};
    QTest::newRow("I4 expanded, rows aligned to 64")
        << 2 << QStringList {"LV_DRAW_BUF_STRIDE_ALIGN=64"} << "I4" << none << 64
        << QStringList {"(I4 is expanded to ARGB8888): 384 bytes"};
    QTest::newRow("A2 widened to A8: 10 * 6 bytes")
        << 2 << nothing << "A2" << none << 1 << QStringList {"(A2 is widened to A8): 60 bytes"};
    QTest::newRow("A8 in place") << 2 << nothing << "A8" << none << 1 << nothing;
    QTest::newRow("RGB888 compressed: 10 * 3 * 6 bytes")
        << 2 << QStringList {"LV_USE_RLE=1", "LV_BIN_DECODER_RAM_LOAD=1"} << "RGB888" << rle << 1
        << QStringList {"(it is compressed): 180 bytes"};
    QTest::newRow("RGB565 of stride 20 on a device aligning to 16")
        << 2 << QStringList {"LV_DRAW_BUF_STRIDE_ALIGN=16"} << "RGB565" << none << 4
        << QStringList {"its stride of 20 bytes is not the 32 that lv_conf.h:12: "
                        "LV_DRAW_BUF_STRIDE_ALIGN is 16 asks for): 192 bytes"};
    QTest::newRow("A8 cannot be rotated without its switch")
        << 2 << QStringList {"LV_DRAW_SW_SUPPORT_A8=0"} << "A8" << none << 1
        << QStringList {"A8 images cannot be rotated or scaled on this configuration: "
                        "lv_conf.h:24: LV_DRAW_SW_SUPPORT_A8 is 0"};
    QTest::newRow("RGB565 cannot be rotated without RGB565A8")
        << 2 << QStringList {"LV_DRAW_SW_SUPPORT_RGB565A8=0"} << "RGB565" << none << 1
        << QStringList {"RGB565 images cannot be rotated or scaled on this configuration: "
                        "lv_conf.h:17: LV_DRAW_SW_SUPPORT_RGB565A8 is 0"};
    QTest::newRow("9.1 has no switches to warn of")
        << 1 << QStringList {"LV_DRAW_SW_SUPPORT_A8=0"} << "A8" << none << 1 << nothing;
    QTest::newRow("RAW is the decoder's") << 2 << nothing << "RAW_ALPHA" << none << 1 << nothing;
}

void TestLvConf::warnings()
{
    QFETCH(int, minor);
    QFETCH(QStringList, edits);
    QFETCH(QString, format);
    QFETCH(int, compression);
    QFETCH(int, planAlign);
    QFETCH(QStringList, warnings);

    const DeviceModel model = device(9, minor, edits);
    OutputPlan p = plan(9, format.toLatin1().constData());
    p.strideAlign = planAlign;
    p.compression = Lvgl9::Compression(compression);
    const QStringList said = model.warnings(DeviceImage::of(p, QSize(10, 6)));
    QCOMPARE(said.size(), warnings.size());
    for (int i = 0; i < said.size(); ++i)
        QVERIFY2(said.at(i).contains(warnings.at(i)), qPrintable(said.at(i)));
    // A warning is never a refusal.
    QVERIFY(model.refusal(DeviceImage::of(p, QSize(10, 6))).isEmpty());
}

QTEST_GUILESS_MAIN(TestLvConf)
#include "tst_lvconf.moc"
