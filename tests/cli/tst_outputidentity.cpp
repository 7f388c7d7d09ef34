// Converts the committed images under identity/images with brindleforge-cli
// into every output it writes (every v8 and v9 format as a C array and as a
// .bin, at each depth and compression the format takes, the window's
// formats, and a set with dithering, stride alignment, premultiplied alpha
// and a background) and compares the SHA-256 of each file with
// identity/outputs.sha256. The Qt 5 and the Qt 6 builds check against the
// same list, so a pass of both proves that they write the same bytes.
//
// After a deliberate change of an output, write the list anew and review
// its diff:
//   BRINDLEFORGE_WRITE_MANIFEST=1 <build>/tests/cli/tst_outputidentity

#include <converter.h>
#include <imagesource.h>

#include <QtTest>

using namespace Convert;

namespace {

const char *const manifestName = "identity/outputs.sha256";

QString sourceDir()
{
    return QStringLiteral(BRINDLEFORGE_TEST_SOURCE_DIR);
}

// "<sha256>  <row>/<file>" lines.
QMap<QString, QByteArray> readManifest(const QString &path)
{
    QMap<QString, QByteArray> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const int gap = line.indexOf("  ");
        if (gap > 0)
            entries.insert(QString::fromUtf8(line.mid(gap + 2)), line.left(gap));
    }
    return entries;
}

struct Images
{
    QStringList paths;
    QVector<ImageKind> kinds;
};

const Images &images()
{
    static const Images all = [] {
        Images found;
        const QDir dir(sourceDir() + QStringLiteral("/identity/images"));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            ImageProbe probe;
            const QString path = dir.filePath(name);
            if (probeImage(path, &probe).ok()) {
                found.paths << path;
                found.kinds << probe.kind;
            }
        }
        return found;
    }();
    return all;
}

// The images outSpec can be written from (RAW takes only some kinds).
QStringList inputsFor(const OutputPlan &outSpec)
{
    QStringList inputs;
    for (int i = 0; i < images().paths.size(); ++i) {
        if (sourceProblem(outSpec, images().kinds.at(i)).isEmpty())
            inputs << images().paths.at(i);
    }
    return inputs;
}

int rowCount = 0;

// A row for outSpec, when the engine writes it at all.
void addRow(const QString &name, const QStringList &arguments, const OutputPlan &outSpec)
{
    if (!specProblem(outSpec).isEmpty())
        return;
    const QStringList inputs = inputsFor(outSpec);
    if (inputs.isEmpty())
        return;
    QTest::newRow(qPrintable(name)) << arguments << inputs;
    ++rowCount;
}

const char *const compressionNames[] = {"none", "rle", "lz4"};

} // namespace

class TestOutputIdentity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameBytes_data();
    void sameBytes();
    void cleanupTestCase();

private:
    QMap<QString, QByteArray> m_manifest;
    QMap<QString, QByteArray> m_written; // every output of this run
    int m_rowsRun = 0;
    bool m_writeManifest = false;
};

void TestOutputIdentity::initTestCase()
{
    QVERIFY2(images().paths.size() >= 5, "the committed test images are missing");
    m_writeManifest = qEnvironmentVariableIsSet("BRINDLEFORGE_WRITE_MANIFEST");
    m_manifest = readManifest(sourceDir() + QLatin1Char('/') + QLatin1String(manifestName));
    if (!m_writeManifest)
        QVERIFY2(!m_manifest.isEmpty(), manifestName);
}

void TestOutputIdentity::sameBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("inputs");

    // Every v8 format as a C array, without and with dithering (but RAW
    // ones, which refuse it), and as a .bin at each depth it is drawn at.
    for (int i = 0; i < Lvgl8::formatCount(); ++i) {
        const Lvgl8::Format &format = Lvgl8::formats()[i];
        const QString name = QString::fromLatin1(format.name);
        OutputPlan outSpec;
        outSpec.row = &format;
        addRow(QStringLiteral("v8 c ") + name, {QStringLiteral("-c"), name}, outSpec);
        if (format.layout != Lvgl8::Layout::Raw) {
            outSpec.dither = true;
            addRow(QStringLiteral("v8 c ") + name + QStringLiteral(" dither"),
                   {QStringLiteral("-c"), name, QStringLiteral("--dither")}, outSpec);
            outSpec.dither = false;
        }
        outSpec.binary = true;
        for (int d = 0; d < ColorDepthCount; ++d) {
            if (!Lvgl8::dependsOnDepth(format) && d != int(ColorDepth::Depth16))
                continue;
            outSpec.depth = ColorDepth(d);
            const QString depth = depthName(outSpec.depth);
            QStringList arguments = {QStringLiteral("-f"), QStringLiteral("bin"),
                                     QStringLiteral("-c"), name};
            if (Lvgl8::dependsOnDepth(format))
                arguments << QStringLiteral("--depth") << depth;
            addRow(QStringLiteral("v8 bin ") + name + QLatin1Char(' ') + depth, arguments, outSpec);
        }
    }
    // A dithered .bin at depth 8, where RGB332 bands most.
    OutputPlan rgb332;
    rgb332.row = Lvgl8::findFormat(QStringLiteral("TRUE_COLOR"));
    rgb332.binary = true;
    rgb332.depth = ColorDepth::Depth8;
    rgb332.dither = true;
    addRow(QStringLiteral("v8 bin TRUE_COLOR 8 dither"),
           {QStringLiteral("-f"), QStringLiteral("bin"), QStringLiteral("-c"),
            QStringLiteral("TRUE_COLOR"), QStringLiteral("--depth"), QStringLiteral("8"),
            QStringLiteral("--dither")},
           rgb332);

    // The window's own choices.
    const struct
    {
        const char *argument;
        const char *value;
        OutputFormat output;
        ColorFormat color;
    } window[] = {
        {"-c", "true-color", CArray, TrueColor},
        {"-c", "true-color-alpha", CArray, TrueColorAlpha},
        {"-c", "chroma-keyed", CArray, TrueColorChromaKeyed},
        {"-c", "indexed-256", CArray, Indexed256},
        {"-f", "bin-rgb332", BinaryRgb332, TrueColor},
        {"-f", "bin-rgb565", BinaryRgb565, TrueColor},
        {"-f", "bin-rgb565-swap", BinaryRgb565Swap, TrueColor},
        {"-f", "bin-rgb888", BinaryRgb888, TrueColor},
    };
    for (const auto &w : window) {
        addRow(QStringLiteral("window ") + QLatin1String(w.value),
               {QLatin1String(w.argument), QLatin1String(w.value)}, outputPlan(w.output, w.color));
    }

    // Every v9 format as a C array and as a .bin, plain, RLE and LZ4, and as
    // a plain C array with dithering.
    for (int i = 0; i < Lvgl9::formatCount(); ++i) {
        const Lvgl9::Format &format = Lvgl9::formats()[i];
        const QString name = QString::fromLatin1(format.name);
        OutputPlan outSpec;
        outSpec.row = &format;
        for (const bool binary : {false, true}) {
            outSpec.binary = binary;
            for (int c = 0; c < 3; ++c) {
                outSpec.compression = Lvgl9::Compression(c);
                addRow(QStringLiteral("v9 %1 %2 %3")
                           .arg(QLatin1String(binary ? "bin" : "c"), name,
                                QLatin1String(compressionNames[c])),
                       {QStringLiteral("--lvgl"), QStringLiteral("9"), QStringLiteral("-f"),
                        QLatin1String(binary ? "bin" : "c"), QStringLiteral("--cf"), name,
                        QStringLiteral("--compress"), QLatin1String(compressionNames[c])},
                       outSpec);
            }
        }
        outSpec.binary = false;
        outSpec.compression = Lvgl9::Compression::None;
        outSpec.dither = true;
        if (format.layout != Lvgl9::Layout::Raw)
            addRow(QStringLiteral("v9 c ") + name + QStringLiteral(" dither"),
                   {QStringLiteral("--lvgl"), QStringLiteral("9"), QStringLiteral("--cf"), name,
                    QStringLiteral("--dither")},
                   outSpec);
    }

    // v9 choices beside the format.
    OutputPlan v9;
    v9.row = Lvgl9::findFormat(QStringLiteral("RGB565"));
    v9.strideAlign = 4;
    addRow(QStringLiteral("v9 c RGB565 stride 4"),
           {QStringLiteral("--lvgl"), QStringLiteral("9"), QStringLiteral("--cf"),
            QStringLiteral("RGB565"), QStringLiteral("--stride-align"), QStringLiteral("4")},
           v9);
    v9.row = Lvgl9::findFormat(QStringLiteral("RGB565A8"));
    v9.binary = true;
    v9.compression = Lvgl9::Compression::Rle;
    addRow(QStringLiteral("v9 bin RGB565A8 rle stride 4"),
           {QStringLiteral("--lvgl"), QStringLiteral("9"), QStringLiteral("-f"),
            QStringLiteral("bin"), QStringLiteral("--cf"), QStringLiteral("RGB565A8"),
            QStringLiteral("--compress"), QStringLiteral("rle"), QStringLiteral("--stride-align"),
            QStringLiteral("4")},
           v9);
    // RLE widens the stride of 3-byte blocks where the aligned rows are not
    // whole blocks (photo, grey16 and scene here).
    v9.row = Lvgl9::findFormat(QStringLiteral("RGB888"));
    addRow(QStringLiteral("v9 bin RGB888 rle stride 4"),
           {QStringLiteral("--lvgl"), QStringLiteral("9"), QStringLiteral("-f"),
            QStringLiteral("bin"), QStringLiteral("--cf"), QStringLiteral("RGB888"),
            QStringLiteral("--compress"), QStringLiteral("rle"), QStringLiteral("--stride-align"),
            QStringLiteral("4")},
           v9);
    v9 = OutputPlan();
    v9.row = Lvgl9::findFormat(QStringLiteral("ARGB8888_PREMULTIPLIED"));
    addRow(QStringLiteral("v9 c ARGB8888 premultiply"),
           {QStringLiteral("--lvgl"), QStringLiteral("9"), QStringLiteral("--cf"),
            QStringLiteral("ARGB8888"), QStringLiteral("--premultiply")},
           v9);
    v9.row = Lvgl9::findFormat(QStringLiteral("RGB565"));
    v9.hasBackground = true;
    v9.background = qRgb(0x33, 0x66, 0x99);
    v9.dither = true;
    addRow(QStringLiteral("v9 c RGB565 background dither"),
           {QStringLiteral("--lvgl"), QStringLiteral("9"), QStringLiteral("--cf"),
            QStringLiteral("RGB565"), QStringLiteral("--background"), QStringLiteral("336699"),
            QStringLiteral("--dither")},
           v9);
}

void TestOutputIdentity::sameBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, inputs);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(BRINDLEFORGE_CLI),
              QStringList {QStringLiteral("-q"), QStringLiteral("-o"), dir.path()} + arguments
                  + inputs);
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0,
             cli.readAllStandardError().constData());

    ++m_rowsRun;
    const QString row = QString::fromUtf8(QTest::currentDataTag());
    const QStringList outputs = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(outputs.size(), inputs.size());
    QStringList differing;
    for (const QString &output : outputs) {
        QFile file(dir.filePath(output));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray sha =
            QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
        const QString key = row + QLatin1Char('/') + output;
        m_written.insert(key, sha);
        if (!m_writeManifest && m_manifest.value(key) != sha)
            differing << key;
    }
    QVERIFY2(
        differing.isEmpty(),
        qPrintable(QStringLiteral("not as in %1 (missing or other bytes): %2")
                       .arg(QLatin1String(manifestName), differing.join(QLatin1String(", ")))));
}

void TestOutputIdentity::cleanupTestCase()
{
    const QString path = sourceDir() + QLatin1Char('/') + QLatin1String(manifestName);
    if (m_writeManifest) {
        QSaveFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# SHA-256 of every output of tst_outputidentity: <sha256>  <row>/<file>.\n"
                   "# Written by BRINDLEFORGE_WRITE_MANIFEST=1 tst_outputidentity.\n");
        for (auto it = m_written.constBegin(); it != m_written.constEnd(); ++it)
            file.write(it.value() + "  " + it.key().toUtf8() + '\n');
        QVERIFY(file.commit());
        qInfo("wrote %d entries to %s", int(m_written.size()), qPrintable(path));
        return;
    }
    // When every row ran, an entry that no row wrote is stale.
    if (m_rowsRun != rowCount)
        return;
    QStringList stale;
    for (auto it = m_manifest.constBegin(); it != m_manifest.constEnd(); ++it) {
        if (!m_written.contains(it.key()))
            stale << it.key();
    }
    QVERIFY2(stale.isEmpty(),
             qPrintable(QStringLiteral("%1 lists outputs no row writes: %2")
                            .arg(QLatin1String(manifestName), stale.join(QLatin1String(", ")))));
}

QTEST_GUILESS_MAIN(TestOutputIdentity)
#include "tst_outputidentity.moc"
