#include <buildconfig.h>
#include <converter.h>
#include <csymbol.h>
#include <encodedfiles.h>
#include <hostilefiles.h>
#include <imagesource.h>
#include <lvgl8formats.h>
#include <lvgl9formats.h>
#include <lvgldecoder.h>
#include <pack.h>
#include <referenceencoder.h>
#include <testfiles.h>
#include <testimages.h>

#include <QCryptographicHash>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace Convert;
using namespace TestFiles;

Q_DECLARE_METATYPE(OutputFormat)
Q_DECLARE_METATYPE(ColorFormat)

namespace {

struct Outcome
{
    int exitCode = -1; // -1: crashed or timed out
    QByteArray out;
    QByteArray err;

    QList<QByteArray> errLines() const
    {
        QList<QByteArray> lines = err.split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }
};

// Runs the command line in dir with no display and no platform plugin
// configured, as in a build or CI job.
Outcome runCli(const QString &dir, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral(BRINDLEFORGE_CLI), arguments);
    Outcome outcome;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

#ifdef Q_OS_UNIX
// Runs the command line with arguments given as bytes, which QProcess cannot
// pass when they are not UTF-8. fileSizeLimit > 0 lowers RLIMIT_FSIZE in
// the child only, with SIGXFSZ left at its default (which kills a process
// that does not ignore it). A child still running after timeoutMs is
// killed and reported as crashed (-1).
Outcome runCliBytes(const QString &dir, const QList<QByteArray> &arguments,
                    rlim_t fileSizeLimit = 0, int timeoutMs = 60000)
{
    QList<QByteArray> strings = {BRINDLEFORGE_CLI};
    strings += arguments;
    std::vector<char *> argv;
    for (QByteArray &s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    QList<QByteArray> environmentStrings;
    for (const QString &entry : QProcessEnvironment::systemEnvironment().toStringList()) {
        if (!entry.startsWith(QLatin1String("DISPLAY="))
            && !entry.startsWith(QLatin1String("WAYLAND_DISPLAY="))
            && !entry.startsWith(QLatin1String("QT_QPA_PLATFORM=")))
            environmentStrings << entry.toLocal8Bit();
    }
    std::vector<char *> envp;
    for (QByteArray &s : environmentStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    const QByteArray workDir = QFile::encodeName(dir);

    int out[2];
    int err[2];
    Outcome outcome;
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return outcome;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(err[0]);
        ::signal(SIGXFSZ, SIG_DFL);
        if (fileSizeLimit > 0) {
            rlimit limit;
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = fileSizeLimit;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (::chdir(workDir.constData()) == 0)
            ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    QElapsedTimer timer;
    timer.start();
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    QByteArray *targets[2] = {&outcome.out, &outcome.err};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        if (::poll(fds, 2, 100) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                targets[i]->append(buffer, int(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
        if (!killed && timer.elapsed() > timeoutMs) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!killed && WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    return outcome;
}
#endif

void saveImage(const QString &path, const QImage &image, const char *format)
{
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY2(image.save(path, format), qPrintable(path));
}

// What the window writes for this source and these choices: the engine's
// encoding of the decoded source, named after the output file.
QByteArray expected(const QString &source, OutputFormat output, ColorFormat color,
                    const QString &outputPath, const QString &symbol = QString())
{
    QByteArray bytes;
    const QString name = symbol.isEmpty() ? cSymbolForPath(outputPath) : symbol;
    const ConvertResult result = encodeImage(QImage(source), output, color, name, &bytes);
    return result.ok() ? bytes : result.message().toUtf8();
}

// Every file below dir (relative path -> content hash), to show that a run
// changed nothing.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path),
                     QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1));
    }
    return files;
}

// Device configurations for --lv-conf, laid out as projects have them.
const char lvConf9[] = "#if 1 /* Set this to \"1\" to enable content */\n"
                       "#ifndef LV_CONF_H\n"
                       "#define LV_CONF_H\n"
                       "#define LV_COLOR_DEPTH 16\n"
                       "#define LV_DRAW_BUF_STRIDE_ALIGN (1 << 2)\n"
                       "#define LV_DRAW_SW_SUPPORT_L8 0\n"
                       "#define LV_USE_RLE 0\n"
                       "#define LV_USE_TJPGD 1\n"
                       "#define LV_USE_LODEPNG 0\n"
                       "#endif /*LV_CONF_H*/\n"
                       "#endif\n";
const char lvConf8[] = "#ifndef LV_CONF_H\n"
                       "#define LV_CONF_H\n"
                       "#define LV_COLOR_DEPTH 32\n"
                       "#define LV_COLOR_CHROMA_KEY lv_color_hex(0x00fc00)\n"
                       "#define LV_USE_PNG 0\n"
                       "#endif\n";
const char lvVersion8[] = "#define LVGL_VERSION_MAJOR 8\n#define LVGL_VERSION_MINOR 3\n"
                          "#define LVGL_VERSION_PATCH 11\n";
// A GIF of count 4 x 4 frames, each solid in the next of four colours,
// each shown 20 ms; delayCs 0 gives them no delay.
QByteArray manyFramesGif(int count, int delayCs = 2)
{
    const QVector<QRgb> table = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                 qRgb(255, 255, 255)};
    QVector<EncodedFiles::GifFrame> frames;
    for (int i = 0; i < count; ++i) {
        EncodedFiles::GifFrame frame;
        frame.image = QImage(4, 4, QImage::Format_Indexed8);
        frame.image.setColorTable(table);
        frame.image.fill(uint(i % 4));
        frame.delayCs = delayCs;
        frames.append(frame);
    }
    return EncodedFiles::gif(QSize(4, 4), frames, 0);
}

#define VERIFY_SUCCESS(outcome)                                                                    \
    do {                                                                                           \
        QVERIFY2((outcome).exitCode == 0, (outcome).err.constData());                              \
        QVERIFY2((outcome).err.isEmpty(), (outcome).err.constData());                              \
        QVERIFY2((outcome).out.isEmpty(), (outcome).out.constData());                              \
    } while (false)

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void helpAndVersion();
    void usageErrors_data();
    void usageErrors();
    void outputFormats_data();
    void outputFormats();
    void v8Formats_data();
    void v8Formats();
    void v9Formats_data();
    void v9Formats();
    void previews_data();
    void previews();
    void outputNaming_data();
    void outputNaming();
    void directoryInput_data();
    void directoryInput();
    void parallelEqualsSerial_data();
    void parallelEqualsSerial();
    void failedInputs_data();
    void failedInputs();
    void unwritableTarget_data();
    void unwritableTarget();
    void progressOnTerminal_data();
    void progressOnTerminal();
    void hostileInputs_data();
    void hostileInputs();
    void nonUtf8Names();
    void hostileTargets_data();
    void hostileTargets();
    void interrupts_data();
    void interrupts();
    void inspectFacts_data();
    void inspectFacts();
    void inspectUsageErrors_data();
    void inspectUsageErrors();
    void inspectJson();
    void inspectPreviews_data();
    void inspectPreviews();
    void inspectPreviewFolder();
    void inspectFifo();
    void symbolPrefixBatch_data();
    void symbolPrefixBatch();
    void dryRun_data();
    void dryRun();
    void standardOutput_data();
    void standardOutput();
    void embeddedSources_data();
    void embeddedSources();
    void chromaKeyWarnings();
    void deviceConfiguration_data();
    void deviceConfiguration();
    void transforms_data();
    void transforms();
    void packsAllOrNothing_data();
    void packsAllOrNothing();
    void frameSets_data();
    void frameSets();
};

void TestCli::helpAndVersion()
{
    QTemporaryDir dir;
    const Outcome version = runCli(dir.path(), {QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("brindleforge-cli " BRINDLEFORGE_VERSION "\n"));
    QVERIFY(version.err.isEmpty());

    const Outcome help = runCli(dir.path(), {QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.err.isEmpty());
    const QString text = QString::fromUtf8(help.out);
    QVERIFY(text.startsWith(QLatin1String("Usage: brindleforge-cli [options] INPUT...")));
    const QStringList mentioned = {
        QStringLiteral("--format"),        QStringLiteral("--color-format"),
        QStringLiteral("--output"),        QStringLiteral("--name"),
        QStringLiteral("--recursive"),     QStringLiteral("--jobs"),
        QStringLiteral("--quiet"),         QStringLiteral("--version"),
        QStringLiteral("bin-rgb565-swap"), QStringLiteral("indexed-256"),
        QStringLiteral("Examples:")};
    for (const QString &word : mentioned)
        QVERIFY2(text.contains(word), qPrintable(word));
    for (int f = CArray; f <= BinaryRgb888; ++f)
        QVERIFY(text.contains(displayName(OutputFormat(f))));
    for (int c = TrueColor; c <= Indexed256; ++c)
        QVERIFY(text.contains(displayName(ColorFormat(c))));
    QCOMPARE(runCli(dir.path(), {QStringLiteral("-h")}).out, help.out);
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const auto args = [](const char *line) { return QString::fromLatin1(line).split(' '); };
    // Frame sets.
    QTest::newRow("--grid without --frames")
        << args("--grid 3x1 in/other.png") << "--grid applies to frame sets; add --frames";
    QTest::newRow("--max-frames without --frames")
        << args("--max-frames 3 in/other.png") << "--max-frames applies to frame sets";
    QTest::newRow("--frame-ms without --frames")
        << args("--frame-ms 40 in/other.png") << "--frame-ms applies to frame sets";
    QTest::newRow("--max-frames 0") << args("--frames --max-frames 0 in/other.png")
                                    << "--max-frames takes a whole number from 1 to 127";
    QTest::newRow("--max-frames past the widget's limit")
        << args("--frames --max-frames 128 in/other.png") << "(lv_animimg's limit), not '128'";
    QTest::newRow("--grid without rows")
        << args("--frames --grid 3 in/other.png") << "--grid takes COLSxROWS";
    QTest::newRow("--grid of no columns")
        << args("--frames --grid 0x2 in/other.png") << "not '0x2'";
    QTest::newRow("--frame-ms 0") << args("--frames --frame-ms 0 in/other.png")
                                  << "--frame-ms takes a whole number of milliseconds";
    QTest::newRow("--frames of RAW_ALPHA")
        << args("--frames -c RAW_ALPHA in/logo.png")
        << "--frames converts the pixels of each frame, but RAW_ALPHA embeds the file";
    QTest::newRow("--frames with --preview")
        << args("--frames --preview p.png in/other.png") << "it does not apply to --frames";
    QTest::newRow("--frames -f bin to standard output")
        << args("--frames -f bin -o - in/other.png") << "-o - cannot take a folder of .bin frames";
    QTest::newRow("a grid of 128 frames")
        << args("--frames --grid 16x8 in/other.png")
        << "in/other.png: 128 frames: lv_animimg stores the frame count in an int8_t: at most "
           "127 frames; use --max-frames";
    QTest::newRow("a GIF of 128 frames")
        << args("--frames -f bin -o out many")
        << "many/anim.gif: 128 frames: lv_animimg stores the frame count in an int8_t";
    QTest::newRow("unknown format") << args("-f bmp in/other.png")
                                    << "unknown output format 'bmp' (expected c, bin-rgb332, "
                                       "bin-rgb565, bin-rgb565-swap, bin-rgb888 or bin)";
    QTest::newRow("unknown color format")
        << args("-c rgb in/other.png") << "unknown color format 'rgb'";
    QTest::newRow("color format for a binary file")
        << args("-f bin-rgb565 -c indexed-256 in/other.png")
        << "--color-format applies to C arrays and -f bin only";
    QTest::newRow("format given twice")
        << args("-f c -f bin-rgb332 in/other.png") << "--format is given more than once";
    QTest::newRow("no jobs") << args("-j 0 in/other.png") << "--jobs needs a whole number";
    QTest::newRow("jobs not a number") << args("-j two in/other.png") << "not 'two'";
    QTest::newRow("name for two inputs")
        << args("-n logo -o out in/logo.png in/other.png") << "--name needs exactly one input file";
    QTest::newRow("name for a directory")
        << args("-n logo -o out in") << "--name needs exactly one input file";
    QTest::newRow("name not an identifier")
        << args("-n 2fast in/other.png") << "--name: '2fast' is not a C identifier";
    QTest::newRow("name is a keyword")
        << args("-n static in/other.png") << "--name: 'static' is a C keyword";
    QTest::newRow("name declared by the C library")
        << args("-n errno in/other.png") << "--name: 'errno' is declared by the C standard library";
    QTest::newRow("name used by the generated file")
        << args("-n uint8_t in/other.png") << "--name: 'uint8_t' is used by the generated file";
    QTest::newRow("name reserved at file scope")
        << args("-n _logo in/other.png") << "--name: '_logo' begins with an underscore";
    QTest::newRow("name for a binary file")
        << args("-f bin-rgb888 -n logo in/other.png") << "--name applies to C arrays only";
    QTest::newRow("missing input") << args("-o out in/other.png in/missing.png")
                                   << "the input 'in/missing.png' does not exist";
    QTest::newRow("no input") << args("-o out") << "no input given";
    QTest::newRow("unknown option") << args("--frobnicate in/other.png") << "frobnicate";
    QTest::newRow("no images in a directory")
        << args("-o out empty") << "no bmp, gif, jpg, jpeg, png, svg or webp files found in empty";
    QTest::newRow("file as output directory") << args("-o notes.txt in/logo.png in/other.png")
                                              << "the output 'notes.txt' is not a directory";
    QTest::newRow("collision of two files")
        << args("-o out in/logo.png in/other.png in/logo.jpg")
        << "'in/logo.png' and 'in/logo.jpg' would both be written to 'out/logo.c'";
    QTest::newRow("collision in a directory")
        << args("-o out in")
        << "'in/logo.jpg' and 'in/logo.png' would both be written to 'out/logo.c'";
    QTest::newRow("collision beside the sources")
        << args("-f bin-rgb332 in/logo.jpg in/logo.png")
        << "'in/logo.jpg' and 'in/logo.png' would both be written to 'in/logo.bin'";
    QTest::newRow("output replaces its input") << args("-o in/other.png in/other.png")
                                               << "the output 'in/other.png' would replace the "
                                                  "input 'in/other.png'";
    QTest::newRow("output replaces another input")
        << args("-f bin-rgb565 -o in in/other.png in/raw.bin")
        << "the output 'in/raw.bin' would replace the input 'in/raw.bin'";
    QTest::newRow("output folder with a slash is a file, one input")
        << args("-o notes.txt/ in/other.png") << "the output 'notes.txt/' is not a directory";
    QTest::newRow("two stems make one symbol")
        << args("-o out in/a-b.png in/a_b.png")
        << "'in/a-b.png' and 'in/a_b.png' would both define the C symbol 'a_b'";
    QTest::newRow("RAW as a .bin")
        << args("-f bin -c RAW_ALPHA in/other.png") << "RAW_ALPHA exists only as a C array";
    QTest::newRow("RAW of a PNG") << args("-c RAW -o out in/other.png")
                                  << "in/other.png: a PNG must be embedded as RAW_ALPHA";
    QTest::newRow("RAW of a BMP") << args("-c lv_img_cf_raw_alpha in/pic.bmp")
                                  << "in/pic.bmp: LVGL has no decoder for BMP data";
    QTest::newRow("RAW of an SVG") << args("-c RAW_ALPHA art/pic.svg")
                                   << "art/pic.svg: LVGL has no decoder for SVG data, so an SVG "
                                      "cannot be embedded as RAW_ALPHA";
    QTest::newRow("RAW of a WebP") << args("-c RAW in/pic.webp")
                                   << "in/pic.webp: LVGL has no decoder for WebP data, so a WebP "
                                      "cannot be embedded as RAW";
    QTest::newRow("RAW_ALPHA of a GIF, at v9") << args("--lvgl 9 --cf RAW_ALPHA -o out in/pic.gif")
                                               << "in/pic.gif: LVGL has no decoder for GIF data";
    QTest::newRow("RAW of a GIF87a, at v8")
        << args("-c RAW -o out anim/old.gif")
        << "anim/old.gif: LVGL 8's GIF player plays only GIF89a files, and this one is GIF87a";
    QTest::newRow("RAW of a GIF without a global colour table, at v8")
        << args("-c RAW_ALPHA -o out anim/local.gif")
        << "anim/local.gif: LVGL 8's GIF player needs a global colour table";
    QTest::newRow("RAW of a GIF wider than the v9 player's limit")
        << args("--lvgl 9 --cf RAW -o out anim/wide.gif")
        << "anim/wide.gif: LVGL 9's GIF player refuses a canvas wider than 480 pixels "
           "(LV_GIF_MAX_WIDTH), and this GIF is 481 wide";
    QTest::newRow("RGB565A8 at depth 32") << args("-f bin -c RGB565A8 --depth 32 in/other.png")
                                          << "RGB565A8 is drawn right only at LV_COLOR_DEPTH 16";
    QTest::newRow("RGB565A8 at depth 8")
        << args("-f bin --cf rgb565a8 --depth 8 in/other.png") << "use --depth 16 or 16swap";
    QTest::newRow("depth for a C array")
        << args("--depth 16 in/other.png") << "--depth applies to binary files (-f bin)";
    QTest::newRow("depth for a fixed binary format") << args("-f bin-rgb565 --depth 8 in/other.png")
                                                     << "--depth does not apply to -f bin-rgb565";
    QTest::newRow("depth for a format without depths")
        << args("-f bin -c ALPHA_4BIT --depth 16 in/other.png")
        << "a .bin of ALPHA_4BIT is the same at every depth";
    QTest::newRow("unknown depth")
        << args("-f bin --depth 24 in/other.png") << "--depth takes 8, 16, 16swap or 32, not '24'";
    QTest::newRow("unknown LVGL name")
        << args("-c INDEXED_3BIT in/other.png") << "unknown color format 'INDEXED_3BIT'";
    QTest::newRow("the window's indexed array as a .bin")
        << args("-f bin -c indexed-256 in/other.png") << "use -c INDEXED_8BIT with -f bin";
    QTest::newRow("v8 binary format with v9")
        << args("--lvgl 9 -f bin-rgb565 in/other.png") << "-f bin-rgb565 is an LVGL v8 file";
    QTest::newRow("chroma key with v9") << args("--lvgl 9 -c chroma-keyed in/other.png")
                                        << "v9 has no chroma key; use an alpha format";
    QTest::newRow("v8 name with v9") << args("--lvgl 9 --cf TRUE_COLOR_ALPHA in/other.png")
                                     << "v9 has no TRUE_COLOR_ALPHA; use ARGB8888";
    QTest::newRow("depth with v9")
        << args("--lvgl 9 -f bin --depth 16 in/other.png") << "v9 formats carry their own depth";
    QTest::newRow("v9 name with v8")
        << args("--cf RGB565 in/other.png") << "RGB565 is an LVGL v9 format; add --lvgl 9";
    QTest::newRow("stride alignment with v8")
        << args("--stride-align 4 in/other.png") << "--stride-align applies to LVGL v9 output";
    QTest::newRow("compression with v8")
        << args("-f bin --compress rle in/other.png") << "--compress applies to LVGL v9 output";
    QTest::newRow("unknown LVGL version")
        << args("--lvgl 7 in/other.png") << "--lvgl takes 8 or 9, not '7'";
    QTest::newRow("premultiplied RGB565") << args("--lvgl 9 --cf RGB565 --premultiply in/other.png")
                                          << "--premultiply applies to ARGB8888 only";
    QTest::newRow("stride alignment not a power of two")
        << args("--lvgl 9 --stride-align 3 in/other.png")
        << "--stride-align takes a power of two up to 1024, not '3'";
    QTest::newRow("stride alignment too large")
        << args("--lvgl 9 --stride-align 2048 in/other.png") << "not '2048'";
    QTest::newRow("uncompressed L8 .bin")
        << args("--lvgl 9 -f bin --cf L8 in/other.png")
        << "LVGL 9.5 cannot open an uncompressed .bin of L8: write a C array (-f c), or "
           "compress the .bin (--compress rle or lz4)";
    QTest::newRow("background for a format with alpha")
        << args("--lvgl 9 --cf ARGB8888 --background 123456 in/other.png")
        << "ARGB8888 keeps the image's alpha";
    QTest::newRow("background not a colour")
        << args("--lvgl 9 --cf RGB565 --background 12345z in/other.png")
        << "--background takes a colour as RRGGBB";
    QTest::newRow("unknown compression") << args("--lvgl 9 --compress zip in/other.png")
                                         << "--compress takes none, rle or lz4, not 'zip'";
    QTest::newRow("v9 RAW as a .bin") << args("--lvgl 9 -f bin --cf RAW_ALPHA in/other.png")
                                      << "RAW_ALPHA exists only as a C array";
    QTest::newRow("v9 RAW compressed")
        << args("--lvgl 9 --cf raw_alpha --compress lz4 in/other.png") << "compressed already";
    QTest::newRow("v9 RAW of a PNG")
        << args("--lvgl 9 --cf RAW in/other.png") << "a PNG must be embedded as RAW_ALPHA";
    QTest::newRow("an array name is another descriptor")
        << args("-o out in/x.png in/x_map.png")
        << "'in/x.png' and 'in/x_map.png' would both define the C symbol 'x_map'";
    QTest::newRow("symbol prefix starting with a digit")
        << args("--symbol-prefix 2d in/other.png")
        << "--symbol-prefix: '2d' is not a prefix of C symbols: it must start with a letter";
    QTest::newRow("symbol prefix starting with an underscore")
        << args("--symbol-prefix _ui in/other.png")
        << "--symbol-prefix: '_ui' is not a prefix of C symbols: it must start with a letter";
    QTest::newRow("symbol prefix with a dash")
        << args("--symbol-prefix ui- in/other.png")
        << "--symbol-prefix: 'ui-' is not a prefix of C symbols";
    QTest::newRow("symbol prefix for a binary file")
        << args("-f bin --symbol-prefix ui_ in/other.png")
        << "--symbol-prefix applies to C arrays only";
    // "in" + "t" is the keyword int, made int_, as "in" + "t_" is.
    QTest::newRow("prefixed stems make one symbol")
        << args("--symbol-prefix in -o out in/t.png in/t_.png")
        << "'in/t.png' and 'in/t_.png' would both define the C symbol 'int_'";
    QTest::newRow("standard output for a batch")
        << args("-o - in/logo.png in/other.png") << "-o - writes one image to standard output";
    QTest::newRow("standard output for a folder")
        << args("-o - in") << "-o - writes one image to standard output";
    QTest::newRow("output and preview both to standard output")
        << args("-o - --preview - in/other.png")
        << "-o - and --preview - would both write to standard output";
    QTest::newRow("C source named .bin")
        << args("-o logo.bin in/other.png")
        << "the output 'logo.bin' is named .bin, but -f c writes C source: use -f bin";
    QTest::newRow("a binary file named .c") << args("-f bin-rgb565 -o logo.C in/other.png")
                                            << "the output 'logo.C' is named .c, but -f bin-rgb565 "
                                               "writes a binary image file: use -f c";
    QTest::newRow("v9 background with RAW")
        << args("--lvgl 9 --cf RAW_ALPHA --background 102030 in/other.png")
        << "RAW_ALPHA embeds the source file as it is, for the library's own decoder: "
           "--background does not apply";
    QTest::newRow("stride alignment with RAW")
        << args("--lvgl 9 --cf RAW_ALPHA --stride-align 64 in/other.png")
        << "--stride-align does not apply";
    QTest::newRow("dithering RAW")
        << args("-c RAW_ALPHA --dither in/other.png") << "--dither does not apply";
    QTest::newRow("v9 dithering RAW")
        << args("--lvgl 9 --cf raw --dither in/logo.jpg") << "--dither does not apply";
    QTest::newRow("prefix and name make a keyword")
        << args("--symbol-prefix in -n t in/other.png")
        << "--symbol-prefix and --name: 'int' is a C keyword";
    QTest::newRow("include style for a binary file")
        << args("-f bin --include auto in/other.png") << "--include applies to C arrays only";
    QTest::newRow("crop of three numbers")
        << args("--crop 1,2,3 in/other.png") << "--crop takes X,Y,W,H: four whole numbers";
    QTest::newRow("crop of no width")
        << args("--crop 0,0,0,5 in/other.png") << "--crop 0,0,0,5 keeps no pixels";
    QTest::newRow("crop with a sign")
        << args("--crop 1,+2,3,4 in/other.png") << "--crop takes X,Y,W,H";
    QTest::newRow("resize to no height")
        << args("--resize 10x0 in/other.png")
        << "--resize 10x0 makes an image with no pixels: a side given must be at least 1";
    QTest::newRow("fit with neither side")
        << args("--fit x in/other.png")
        << "--fit takes WxH, Wx or xH in pixels (such as 240x160, 240x or x160), not 'x'";
    QTest::newRow("fit of three sides")
        << args("--fit 5x3x2 in/other.png") << "--fit takes WxH, Wx or xH in pixels";
    QTest::newRow("resize past the largest side")
        << args("--resize 65536x10 in/other.png") << "--resize takes WxH, Wx or xH";
    QTest::newRow("resize and fit") << args("--resize 10x10 --fit 20x in/other.png")
                                    << "--resize and --fit both set the size; give one of them";
    QTest::newRow("rotate by 45") << args("--rotate 45 in/other.png")
                                  << "--rotate takes 90, 180 or 270 (degrees clockwise), not '45'";
    QTest::newRow("rotate given twice")
        << args("--rotate 90 --rotate 180 in/other.png") << "--rotate is given more than once";
    QTest::newRow("flip both ways at once")
        << args("--flip hv in/other.png")
        << "--flip takes h (mirror left to right) or v (upside down), not 'hv'";
    QTest::newRow("RAW with a transform")
        << args("-c RAW_ALPHA --fit 10x in/other.png")
        << "RAW_ALPHA embeds the source file as it is, for the library's own decoder: the image "
           "cannot be cropped, trimmed, rotated, flipped or resized";
    QTest::newRow("v9 RAW with trim")
        << args("--lvgl 9 --cf RAW --trim in/logo.jpg") << "RAW embeds the source file as it is";
    QTest::newRow("pack of a RAW format")
        << args("-c RAW_ALPHA --pack ui in/other.png")
        << "--pack holds .bin images; RAW_ALPHA embeds the source file";
    QTest::newRow("pack-bind without a pack")
        << args("--pack-bind in/other.png") << "--pack-bind applies to asset packs; add --pack";
    QTest::newRow("pack name that is no C identifier")
        << args("--pack 9ui in/other.png") << "--pack: '9ui' is not a C identifier";
    QTest::newRow("pack to standard output")
        << args("--pack ui -o - in/other.png") << "--pack writes four files into a folder";
    QTest::newRow("pack with a name")
        << args("--pack ui -n x in/other.png") << "--name does not apply to --pack";
    QTest::newRow("pack of two images with one id")
        << args("--pack ui in/a-b.png in/a_b.png")
        << "in/a-b.png and in/a_b.png would both be UI_ID_A_B in the pack";
    QTest::newRow("pack of an image named like the blob")
        << args("--pack ui in/other.png in/blob.png")
        << "in/blob.png: an image named 'blob' would take the pack's own symbol of that name";
    QTest::newRow("pack of an image whose stem is too long")
        << args("--pack ui in/a_stem_longer_than_the_index_holds.png")
        << "in/a_stem_longer_than_the_index_holds.png: the name "
           "'a_stem_longer_than_the_index_holds' is longer than the 31 bytes a pack's index holds";
    QTest::newRow("pack of a .bin LVGL 9.5 cannot open")
        << args("--lvgl 9 --cf L8 --pack ui in/other.png")
        << "LVGL 9.5 cannot open an uncompressed .bin of L8";
    QTest::newRow("pack into a file") << args("--pack ui -o notes.txt in/other.png")
                                      << "--pack writes into a folder: 'notes.txt' is not one";
    QTest::newRow("section with a quote") << args("--section .ext\"flash in/other.png")
                                          << "--section: '.ext\"flash' is not a section name";
    QTest::newRow("section of a .bin")
        << args("-f bin --section .ext in/other.png") << "--section applies to C arrays and packs";
    QTest::newRow("align of 3") << args("--align 3 in/other.png")
                                << "--align takes a power of two from 1 to 4096, not '3'";
    QTest::newRow("align of 8192") << args("--lvgl 9 --align 8192 in/other.png")
                                   << "--align takes a power of two from 1 to 4096, not '8192'";
    QTest::newRow("align of a .bin")
        << args("-f bin-rgb565 --align 4 in/other.png") << "--align applies to C arrays and packs";
    QTest::newRow("--lv-conf: L8 switched off")
        << args("--lv-conf conf9/lv_conf.h --cf L8 in/other.png")
        << "the software renderer does not draw L8 images on this configuration: "
           "conf9/lv_conf.h:6: LV_DRAW_SW_SUPPORT_L8 is 0; set LV_DRAW_SW_SUPPORT_L8 1";
    QTest::newRow("--lv-conf: RLE without its decoder")
        << args("--lv-conf conf9/lv_conf.h --cf RGB565 --compress rle in/other.png")
        << "conf9/lv_conf.h:7: LV_USE_RLE is 0; set LV_USE_RLE 1";
    QTest::newRow("--lv-conf: RAW PNG without a decoder")
        << args("--lv-conf conf9/lv_conf.h --cf RAW_ALPHA in/other.png")
        << "in/other.png: an embedded PNG needs a decoder that reads C arrays, and this "
           "configuration has none: conf9/lv_conf.h:9: LV_USE_LODEPNG is 0";
    QTest::newRow("--lv-conf: RAW JPEG without MEMFS")
        << args("--lv-conf conf9/lv_conf.h --cf RAW in/logo.jpg")
        << "in/logo.jpg: an embedded JPEG is read from a C array by LV_USE_TJPGD through "
           "LV_USE_FS_MEMFS, and this configuration lacks it: conf9/lv_conf.h does not set "
           "LV_USE_FS_MEMFS (the library's default is 0)";
    QTest::newRow("--lv-conf: v8 .bin for another depth")
        << args("--lv-conf conf8/lv_conf.h -f bin --depth 16 in/other.png")
        << "this .bin is made for LV_COLOR_DEPTH 16, which the device does not have: "
           "conf8/lv_conf.h:3: LV_COLOR_DEPTH is 32";
    QTest::newRow("--lv-conf: the window's binary format of another depth")
        << args("--lv-conf conf8/lv_conf.h -f bin-rgb565 in/other.png")
        << "this .bin is made for LV_COLOR_DEPTH 16";
    QTest::newRow("--lv-conf: RGB565A8 at depth 32")
        << args("--lv-conf conf8/lv_conf.h -c RGB565A8 in/other.png")
        << "RGB565A8 is drawn only at LV_COLOR_DEPTH 16: conf8/lv_conf.h:3: LV_COLOR_DEPTH is 32";
    QTest::newRow("--lv-conf: v8 RAW_ALPHA without LV_USE_PNG")
        << args("--lv-conf conf8/lv_conf.h -c RAW_ALPHA in/other.png")
        << "conf8/lv_conf.h:5: LV_USE_PNG is 0; set LV_USE_PNG 1";
    QTest::newRow("--lv-conf: no lv_version.h, no --lvgl, no telling settings")
        << args("--lv-conf bare/lv_conf.h in/other.png")
        << "--lv-conf: bare/lv_conf.h: which LVGL version it configures cannot be told from "
           "its settings (none is of v8 or v9 alone); give --lvgl 8 or 9";
    QTest::newRow("--lv-conf: a folder")
        << args("--lv-conf conf9 in/other.png") << "--lv-conf: conf9: not a regular file";
    QTest::newRow("--lv-conf: a file that is not there")
        << args("--lv-conf nowhere/lv_conf.h in/other.png")
        << "--lv-conf: nowhere/lv_conf.h: cannot be read";
    QTest::newRow("--lv-conf: a header that never ends its comment")
        << args("--lv-conf broken/lv_conf.h --lvgl 9 in/other.png")
        << "--lv-conf: broken/lv_conf.h:2: a comment that never ends";
    QTest::newRow("--lv-version of a file without the version")
        << args("--lv-conf bare/lv_conf.h --lv-version bare/lv_conf.h in/other.png")
        << "--lv-conf: bare/lv_conf.h: no LVGL_VERSION_MAJOR is defined";
    QTest::newRow("--lv-version without --lv-conf")
        << args("--lv-version conf8/lv_version.h in/other.png")
        << "--lv-version goes with --lv-conf";
    QTest::newRow("--lv-conf given twice")
        << args("--lv-conf conf8/lv_conf.h --lv-conf conf9/lv_conf.h in/other.png")
        << "--lv-conf is given more than once";
    QTest::newRow("dry run of a usage error")
        << args("--dry-run -o out in/logo.png in/other.png in/logo.jpg")
        << "'in/logo.png' and 'in/logo.jpg' would both be written to 'out/logo.c'";
}

// A usage error is found before anything is converted: nothing is written.
void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QImage image = TestImages::photo(9, 7);
    saveImage(dir.filePath(QStringLiteral("in/logo.png")), image, "PNG");
    saveImage(dir.filePath(QStringLiteral("in/logo.jpg")), image, "JPEG");
    saveImage(dir.filePath(QStringLiteral("in/other.png")), image, "PNG");
    saveImage(dir.filePath(QStringLiteral("in/raw.bin")), image, "PNG");
    for (const char *name :
         {"in/a-b.png", "in/a_b.png", "in/x.png", "in/x_map.png", "in/t.png", "in/t_.png",
          "in/blob.png", "in/a_stem_longer_than_the_index_holds.png"})
        saveImage(dir.filePath(QLatin1String(name)), image, "PNG");
    saveImage(dir.filePath(QStringLiteral("in/pic.bmp")), image, "BMP");
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("art")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("art/pic.svg")),
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"7\"/>"));
    QVERIFY(
        writeFile(dir.filePath(QStringLiteral("in/pic.webp")), EncodedFiles::webp(image, true)));
    EncodedFiles::GifFrame frame;
    frame.image = image.convertToFormat(QImage::Format_Indexed8);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("in/pic.gif")),
                      EncodedFiles::gif(image.size(), {frame})));
    // GIFs the library's GIF player refuses, by version.
    const QByteArray gif = EncodedFiles::gif(image.size(), {frame});
    QByteArray old = gif;
    old.replace(0, 6, "GIF87a");
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("anim")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("anim/old.gif")), old));
    EncodedFiles::GifFrame local = frame;
    local.localTable = true;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("anim/local.gif")),
                      EncodedFiles::gif(image.size(), {local})));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("anim/wide.gif")),
                      EncodedFiles::gif(QSize(481, 7), {frame})));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("notes.txt")), "text"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf9/lv_conf.h")), lvConf9));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf8/lv_conf.h")), lvConf8));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf8/lv_version.h")), lvVersion8));
    QVERIFY(
        writeFile(dir.filePath(QStringLiteral("bare/lv_conf.h")), "#define LV_COLOR_DEPTH 16\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("broken/lv_conf.h")),
                      "#define LV_USE_RLE 1\n/* open\n"));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("empty")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("many/anim.gif")), manyFramesGif(128)));
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const Outcome outcome = runCli(dir.path(), arguments);
    QCOMPARE(outcome.exitCode, 2);
    QVERIFY(outcome.out.isEmpty());
    const QList<QByteArray> lines = outcome.errLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith("brindleforge-cli: "), lines.at(0).constData());
    QVERIFY2(lines.at(0).contains(message.toUtf8()), lines.at(0).constData());
    QCOMPARE(lines.at(1), QByteArray("Try 'brindleforge-cli --help' for more information."));
    QCOMPARE(snapshot(dir.path()), before);
}

void TestCli::outputFormats_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<OutputFormat>("output");
    QTest::addColumn<ColorFormat>("color");

    QTest::newRow("C array, default color") << QStringList() << CArray << TrueColor;
    const struct
    {
        const char *name;
        ColorFormat color;
    } colors[] = {{"true-color", TrueColor},
                  {"true-color-alpha", TrueColorAlpha},
                  {"chroma-keyed", TrueColorChromaKeyed},
                  {"indexed-256", Indexed256}};
    for (const auto &c : colors) {
        QTest::addRow("C array, %s", c.name)
            << QStringList {QStringLiteral("-c"), QString::fromLatin1(c.name)} << CArray << c.color;
    }
    const struct
    {
        const char *name;
        OutputFormat output;
    } binaries[] = {{"bin-rgb332", BinaryRgb332},
                    {"bin-rgb565", BinaryRgb565},
                    {"bin-rgb565-swap", BinaryRgb565Swap},
                    {"bin-rgb888", BinaryRgb888}};
    for (const auto &b : binaries) {
        QTest::addRow("%s", b.name)
            << QStringList {QStringLiteral("--format"), QString::fromLatin1(b.name)} << b.output
            << TrueColor;
    }
    // The window's binary files are TRUE_COLOR_ALPHA at a depth.
    QTest::newRow("-f bin -c true-color-alpha is bin-rgb565")
        << QStringList {"-f", "bin", "-c", "true-color-alpha"} << BinaryRgb565 << TrueColor;
    QTest::newRow("-f bin -c TRUE_COLOR_ALPHA --depth 8 is bin-rgb332")
        << QStringList {"-f", "bin", "-c", "TRUE_COLOR_ALPHA", "--depth", "8"} << BinaryRgb332
        << TrueColor;
    QTest::newRow("-f bin --cf true_color_alpha --depth 32 is bin-rgb888")
        << QStringList {"-f", "bin", "--cf", "true_color_alpha", "--depth", "32"} << BinaryRgb888
        << TrueColor;
    // -f takes any case, as -c does.
    QTest::newRow("-f BIN") << QStringList {"-f", "BIN", "-c", "true-color-alpha"} << BinaryRgb565
                            << TrueColor;
    QTest::newRow("-f C") << QStringList {"-f", "C", "-c", "chroma-keyed"} << CArray
                          << TrueColorChromaKeyed;
}

// One image end to end, written beside its source under the base name (up
// to the first dot), with the symbol that name gives.
void TestCli::outputFormats()
{
    QFETCH(QStringList, options);
    QFETCH(OutputFormat, output);
    QFETCH(ColorFormat, color);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("sprite-1.v2.png"));
    saveImage(source, TestImages::photo(23, 17, 5), "PNG");

    const Outcome outcome = runCli(dir.path(), options << QStringLiteral("sprite-1.v2.png"));
    VERIFY_SUCCESS(outcome);
    const QString target = dir.filePath(QStringLiteral("sprite-1") + outputExtension(output));
    QCOMPARE(entries(dir.path()),
             QStringList({QFileInfo(target).fileName(), QStringLiteral("sprite-1.v2.png")}));
    const QByteArray written = readFile(target);
    QCOMPARE(written, expected(source, output, color, target));
    QCOMPARE(written, referenceEncode(QImage(source), output, color, QStringLiteral("sprite_1")));
}

void TestCli::v8Formats_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("format"); // the LVGL name the options must amount to
    QTest::addColumn<bool>("binary");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("dither");

    const int d16 = int(ColorDepth::Depth16);
    QTest::newRow("-c INDEXED_4BIT")
        << QStringList {"-c", "INDEXED_4BIT"} << "INDEXED_4BIT" << false << d16 << false;
    QTest::newRow("--cf lv_img_cf_alpha_2bit")
        << QStringList {"--cf", "lv_img_cf_alpha_2bit"} << "ALPHA_2BIT" << false << d16 << false;
    QTest::newRow("-c indexed-1 --dither")
        << QStringList {"-c", "indexed-1", "--dither"} << "INDEXED_1BIT" << false << d16 << true;
    QTest::newRow("-c RGB565A8") << QStringList {"-c", "RGB565A8"} << "RGB565A8" << false << d16
                                 << false;
    QTest::newRow("-c raw-alpha of a PNG")
        << QStringList {"-c", "raw-alpha"} << "RAW_ALPHA" << false << d16 << false;
    QTest::newRow("-f bin (true color at depth 16)")
        << QStringList {"-f", "bin"} << "TRUE_COLOR" << true << d16 << false;
    QTest::newRow("-f bin --depth 8 --dither")
        << QStringList {"-f", "bin", "--depth", "8", "--dither"} << "TRUE_COLOR" << true
        << int(ColorDepth::Depth8) << true;
    QTest::newRow("-f bin -c chroma-keyed --depth 32")
        << QStringList {"-f", "bin", "-c", "chroma-keyed", "--depth", "32"}
        << "TRUE_COLOR_CHROMA_KEYED" << true << int(ColorDepth::Depth32) << false;
    QTest::newRow("-f bin -c ALPHA_1BIT")
        << QStringList {"-f", "bin", "-c", "ALPHA_1BIT"} << "ALPHA_1BIT" << true << d16 << false;
    QTest::newRow("-f bin -c INDEXED_8BIT") << QStringList {"-f", "bin", "-c", "INDEXED_8BIT"}
                                            << "INDEXED_8BIT" << true << d16 << false;
    QTest::newRow("-f bin -c rgb565a8 --depth 16swap")
        << QStringList {"-f", "bin", "-c", "rgb565a8", "--depth", "16swap"} << "RGB565A8" << true
        << int(ColorDepth::Depth16Swap) << false;
}

// Every LVGL name and spelling reaches the engine as the format it names,
// C array or .bin, at the chosen depth.
void TestCli::v8Formats()
{
    QFETCH(QStringList, options);
    QFETCH(QString, format);
    QFETCH(bool, binary);
    QFETCH(int, depth);
    QFETCH(bool, dither);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("pic.png"));
    saveImage(source, TestImages::photo(23, 17, 5), "PNG");
    const Outcome outcome = runCli(dir.path(), options << QStringLiteral("pic.png"));
    VERIFY_SUCCESS(outcome);

    OutputPlan outSpec;
    outSpec.row = Lvgl8::findFormat(format);
    outSpec.binary = binary;
    outSpec.depth = ColorDepth(depth);
    outSpec.dither = dither;
    SourceImage image;
    QVERIFY(readSourceImage(source, MaxImageSide, &image).ok());
    QByteArray wanted;
    QVERIFY(encodeSource(image, outSpec, QStringLiteral("pic"), &wanted).ok());
    const QString target =
        dir.filePath(binary ? QStringLiteral("pic.bin") : QStringLiteral("pic.c"));
    QCOMPARE(readFile(target), wanted);
    if (outSpec.format()->layout == Lvgl8::Layout::Raw) {
        QVERIFY(wanted.contains(
            QByteArray("    .data_size = " + QByteArray::number(readFile(source).size()) + ',')));
        QVERIFY(wanted.contains("LV_IMG_CF_RAW_ALPHA,"));
    }
}

void TestCli::v9Formats_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("compression");
    QTest::addColumn<bool>("dither");
    QTest::addColumn<QString>("background"); // RRGGBB, or empty
    QTest::addColumn<QSize>("size");

    const int none = int(Lvgl9::Compression::None);
    const int rle = int(Lvgl9::Compression::Rle);
    const int lz4 = int(Lvgl9::Compression::Lz4);
    const QSize small(23, 17);
    QTest::newRow("--lvgl 9 (ARGB8888 C array)")
        << QStringList {"--lvgl", "9"} << "ARGB8888" << false << 1 << none << false << QString()
        << small;
    QTest::newRow("-f bin --cf RGB565 --stride-align 4")
        << QStringList {"--lvgl", "9", "-f", "bin", "--cf", "RGB565", "--stride-align", "4"}
        << "RGB565" << true << 4 << none << false << QString() << small;
    QTest::newRow("--cf i4 --dither --compress lz4")
        << QStringList {"--lvgl", "9", "--cf", "i4", "--dither", "--compress", "lz4"} << "I4"
        << false << 1 << lz4 << true << QString() << small;
    QTest::newRow("-f bin --cf LV_COLOR_FORMAT_A4 --compress rle")
        << QStringList {"--lvgl",     "9",  "-f", "bin", "--cf", "LV_COLOR_FORMAT_A4",
                        "--compress", "rle"}
        << "A4" << true << 1 << rle << false << QString() << small;
    QTest::newRow("--premultiply")
        << QStringList {"--lvgl", "9", "--premultiply"} << "ARGB8888_PREMULTIPLIED" << false << 1
        << none << false << QString() << small;
    QTest::newRow("-f bin --cf RGB565 --background 203040 --dither")
        << QStringList {"--lvgl",       "9",      "-f",      "bin", "--cf", "RGB565",
                        "--background", "203040", "--dither"}
        << "RGB565" << true << 1 << none << true << "203040" << small;
    QTest::newRow("-f bin --cf ARGB8888 --compress rle, on a photo (larger)")
        << QStringList {"--lvgl", "9", "-f", "bin", "--cf", "ARGB8888", "--compress", "rle"}
        << "ARGB8888" << true << 1 << rle << false << QString() << small;
    QTest::newRow("-f bin --cf L8 --compress lz4")
        << QStringList {"--lvgl", "9", "-f", "bin", "--cf", "L8", "--compress", "lz4"} << "L8"
        << true << 1 << lz4 << false << QString() << small;
    QTest::newRow("--cf RAW_ALPHA")
        << QStringList {"--lvgl", "9", "--cf", "RAW_ALPHA"} << "RAW_ALPHA" << false << 1 << none
        << false << QString() << small;
    // 23 x 17 aligned to 4 would be 72 bytes a row, and 72 * 17 is a whole
    // number of 3-byte blocks; aligned to 2, 70 * 17 is not: 72.
    QTest::newRow("-f bin --cf RGB888 --stride-align 2 --compress rle")
        << QStringList {"--lvgl",         "9", "-f",         "bin", "--cf", "RGB888",
                        "--stride-align", "2", "--compress", "rle"}
        << "RGB888" << true << 2 << rle << false << QString() << small;
    // v9 stores 16-bit sizes: no 2047 limit.
    QTest::newRow("2048 x 1, A8 .bin")
        << QStringList {"--lvgl", "9", "-f", "bin", "--cf", "A8"} << "A8" << true << 1 << none
        << false << QString() << QSize(2048, 1);
    QTest::newRow("2047 x 2047, RGB565 .bin")
        << QStringList {"--lvgl", "9", "-f", "bin", "--cf", "RGB565"} << "RGB565" << true << 1
        << none << false << QString() << QSize(2047, 2047);
}

// Every v9 choice reaches the engine as the output it names.
void TestCli::v9Formats()
{
    QFETCH(QStringList, options);
    QFETCH(QString, format);
    QFETCH(bool, binary);
    QFETCH(int, align);
    QFETCH(int, compression);
    QFETCH(bool, dither);
    QFETCH(QString, background);
    QFETCH(QSize, size);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("pic.png"));
    saveImage(source, TestImages::photo(size.width(), size.height(), 5), "PNG");
    const Outcome outcome = runCli(dir.path(), options << QStringLiteral("pic.png"));
    VERIFY_SUCCESS(outcome);

    OutputPlan outSpec;
    outSpec.row = Lvgl9::findFormat(format);
    outSpec.binary = binary;
    outSpec.strideAlign = align;
    outSpec.compression = Lvgl9::Compression(compression);
    outSpec.dither = dither;
    if (!background.isEmpty()) {
        outSpec.hasBackground = true;
        outSpec.background = 0xff000000u | background.toUInt(nullptr, 16);
    }
    SourceImage image;
    QVERIFY(readSourceImage(source, 65535, &image).ok());
    QByteArray wanted;
    const ConvertResult encoded = encodeSource(image, outSpec, QStringLiteral("pic"), &wanted);
    QVERIFY(encoded.ok());
    const QString target =
        dir.filePath(binary ? QStringLiteral("pic.bin") : QStringLiteral("pic.c"));
    QCOMPARE(readFile(target), wanted);

    // With -v, a compression that does not make the data smaller says so,
    // and so does a stride that RLE widened, naming the source; the file is
    // written all the same.
    if (outSpec.compression != Lvgl9::Compression::None) {
        const Outcome verbose = runCli(dir.path(), options << QStringLiteral("-v"));
        QCOMPARE(verbose.exitCode, 0);
        QCOMPARE(verbose.errLines().size(), encoded.notes().size());
        for (const QByteArray &line : verbose.errLines()) {
            QVERIFY2(line.startsWith("brindleforge-cli: pic.png: ")
                         && (line.contains("does not make the data smaller")
                             || line.contains("the stride is widened from 70 to 72 bytes")),
                     line.constData());
        }
    }
}

void TestCli::previews_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("previews"); // output -> preview, "out.c=shown.png"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // for a usage error

    QTest::newRow("one image, a PNG")
        << QStringList {"-c", "INDEXED_4BIT", "--dither", "--preview", "shown.png", "a.png"}
        << QStringList {"a.c=shown.png"} << 0 << QString();
    QTest::newRow("one image, into a folder")
        << QStringList {"-f", "bin", "--depth", "8", "--preview", "seen/", "a.png"}
        << QStringList {"a.bin=seen/a.bin.png"} << 0 << QString();
    QTest::newRow("a batch, into a new folder")
        << QStringList {"--lvgl",    "9",    "--cf", "RGB565", "--compress", "rle",
                        "--preview", "seen", "-o",   "out",    "a.png",      "b.png"}
        << QStringList {"out/a.c=seen/a.c.png", "out/b.c=seen/b.c.png"} << 0 << QString();
    QTest::newRow("a preview that would replace its source")
        << QStringList {"--preview", "a.png", "a.png"} << QStringList() << 2
        << "the preview 'a.png' would replace the input 'a.png'";
    QTest::newRow("a preview on its own output")
        << QStringList {"--preview", "x.c", "-o", "x.c", "a.png"} << QStringList() << 2
        << "the preview 'x.c' of 'a.png' would replace its own output";
    QTest::newRow("a batch whose preview folder is a file")
        << QStringList {"--preview", "b.png", "-o", "out", "a.png", "c.png"} << QStringList() << 2
        << "the preview folder 'b.png' is not a directory";
    // The next run of the folder would take the previews for images.
    QTest::newRow("previews into the input folder")
        << QStringList {"--preview", ".", "-o", "out", "."} << QStringList() << 2
        << "the preview folder '.' is also the input folder '.'";
    QTest::newRow("previews below the input folder, recursive")
        << QStringList {"-r", "--preview", "seen", "-o", "out", "."} << QStringList() << 2
        << "the preview folder 'seen' is inside the input folder '.'";
    QTest::newRow("a preview over the user's own file")
        << QStringList {"--preview", "c.png", "a.png"} << QStringList() << 2
        << "--preview: 'c.png' exists and is not a preview made by brindleforge-cli";
    QTest::newRow("previews below the input folder, not recursive")
        << QStringList {"--preview", "seen", "-o", "out", "."}
        << QStringList {"out/a.c=seen/a.c.png", "out/b.c=seen/b.c.png", "out/c.c=seen/c.c.png"} << 0
        << QString();
}

// --preview writes what the device shows for each output, read back from
// the file written: the decoder's picture of it, as a PNG.
void TestCli::previews()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, previews);
    QFETCH(int, exitCode);
    QFETCH(QString, error);

    QTemporaryDir dir;
    saveImage(dir.filePath(QStringLiteral("a.png")), TestImages::photo(30, 20, 1), "PNG");
    saveImage(dir.filePath(QStringLiteral("b.png")), TestImages::photo(17, 9, 2), "PNG");
    saveImage(dir.filePath(QStringLiteral("c.png")), TestImages::photo(5, 5, 3), "PNG");
    const QMap<QString, QByteArray> before = snapshot(dir.path());
    const Outcome outcome = runCli(dir.path(), arguments);
    QCOMPARE(outcome.exitCode, exitCode);
    if (exitCode == 2) {
        QVERIFY2(outcome.err.contains(error.toUtf8()), outcome.err.constData());
        QCOMPARE(snapshot(dir.path()), before);
        return;
    }
    VERIFY_SUCCESS(outcome);
    for (const QString &pair : qAsConst(previews)) {
        const QString output = dir.filePath(pair.section(QLatin1Char('='), 0, 0));
        const QString preview = dir.filePath(pair.section(QLatin1Char('='), 1));
        const LvglDecodeResult shown = decodeLvglFile(readFile(output), DeviceSettings());
        QVERIFY2(shown.ok(), qPrintable(shown.error));
        QImage png;
        QVERIFY2(png.load(preview, "PNG"), qPrintable(preview));
        QCOMPARE(png.convertToFormat(QImage::Format_ARGB32),
                 shown.image.convertToFormat(QImage::Format_ARGB32));
    }
    // The previews are marked as such, so the same run again replaces them.
    VERIFY_SUCCESS(runCli(dir.path(), arguments));
}

void TestCli::outputNaming_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("symbol");

    QTest::newRow("-n sets the symbol")
        << QStringList {"-n", "hero_img", "-o", "out/x.c", "src.png"} << "out/x.c"
        << "hero_img";
    QTest::newRow("--name, long form")
        << QStringList {"--name=Hero2", "--output=out/x.c", "src.png"} << "out/x.c"
        << "Hero2";
    QTest::newRow("output file names the symbol")
        << QStringList {"-o", "out/boss-level.c", "src.png"} << "out/boss-level.c"
        << "boss_level";
    QTest::newRow("existing directory as output")
        << QStringList {"-o", "out", "src.png"} << "out/src.c"
        << "src";
    QTest::newRow("new directory with a trailing slash")
        << QStringList {"-o", "made/", "src.png"} << "made/src.c"
        << "src";
    QTest::newRow("--symbol-prefix before the base name")
        << QStringList {"--symbol-prefix", "ui_", "-o", "out/boss-level.c", "src.png"}
        << "out/boss-level.c"
        << "ui_boss_level";
    QTest::newRow("--symbol-prefix before --name")
        << QStringList {"--symbol-prefix=Ui", "-n", "hero", "-o", "out/x.c", "src.png"} << "out/x.c"
        << "Uihero";
    QTest::newRow("--symbol-prefix, then the symbol rule")
        << QStringList {"--symbol-prefix", "in", "-o", "out/t.c", "src.png"} << "out/t.c"
        << "int_";
}

void TestCli::outputNaming()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, target);
    QFETCH(QString, symbol);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("src.png"));
    saveImage(source, TestImages::photo(12, 10, 3), "PNG");
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));

    const Outcome outcome = runCli(dir.path(), arguments);
    VERIFY_SUCCESS(outcome);
    const QString path = dir.filePath(target);
    const QByteArray written = readFile(path);
    QCOMPARE(written, expected(source, CArray, TrueColor, path, symbol));
    QVERIFY(written.contains(QByteArray("const lv_img_dsc_t " + symbol.toUtf8() + " = {")));
}

void TestCli::directoryInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("outputs");

    QTest::newRow("into a directory") << QStringList {"-o", "out", "assets"}
                                      << QStringList {"out/a.c", "out/b.c", "out/c.c", "out/d.c"};
    QTest::newRow("recursive, into a directory")
        << QStringList {"-r", "-o", "out", "assets"}
        << QStringList {"out/a.c", "out/b.c", "out/c.c", "out/d.c", "out/e.c", "out/f.c"};
    QTest::newRow("recursive, beside the sources")
        << QStringList {"--recursive", "assets"}
        << QStringList {"assets/a.c", "assets/b.c",     "assets/c.c",
                        "assets/d.c", "assets/sub/e.c", "assets/sub/deeper/f.c"};
    QTest::newRow("a file and a directory, named twice")
        << QStringList {"-o", "out", "assets/sub/e.png", "assets", "assets/a.PNG"}
        << QStringList {"out/a.c", "out/b.c", "out/c.c", "out/d.c", "out/e.c"};
}

// A directory contributes its bmp, gif, jpg, jpeg, png and webp files whatever the case
// of the suffix, and nothing else.
void TestCli::directoryInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, outputs);

    QTemporaryDir dir;
    const QString assets = dir.filePath(QStringLiteral("assets/"));
    const QHash<QString, QString> sources = {{"a", "a.PNG"},     {"b", "b.Jpg"},
                                             {"c", "c.bmp"},     {"d", "d.jpeg"},
                                             {"e", "sub/e.png"}, {"f", "sub/deeper/f.JPEG"}};
    int seed = 0;
    for (const QString &name : sources) {
        const QByteArray format = QFileInfo(name).suffix().toUpper().toLatin1();
        ++seed;
        saveImage(assets + name, TestImages::photo(8 + seed, 6, quint32(seed)),
                  format == "JPG" ? "JPEG" : format.constData());
    }
    QVERIFY(writeFile(assets + QStringLiteral("notes.txt"), "not an image"));
    QVERIFY(writeFile(assets + QStringLiteral("png"), "not an image either"));
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const Outcome outcome = runCli(dir.path(), arguments);
    VERIFY_SUCCESS(outcome);
    QStringList added = snapshot(dir.path()).keys();
    added.erase(std::remove_if(added.begin(), added.end(),
                               [&](const QString &p) {
                                   return before.contains(p) || QFileInfo(dir.filePath(p)).isDir();
                               }),
                added.end());
    std::sort(outputs.begin(), outputs.end());
    QCOMPARE(added, outputs);
    for (const QString &output : qAsConst(outputs)) {
        const QString path = dir.filePath(output);
        const QString source = assets + sources.value(QFileInfo(output).baseName());
        QCOMPARE(readFile(path), expected(source, CArray, TrueColor, path));
    }
}

void TestCli::parallelEqualsSerial_data()
{
    QTest::addColumn<QStringList>("options");

    QTest::newRow("true color with alpha") << QStringList {"-c", "true-color-alpha"};
    QTest::newRow("indexed 256 colors") << QStringList {"-c", "indexed-256"};
    QTest::newRow("binary RGB565 swap") << QStringList {"-f", "bin-rgb565-swap"};
    QTest::newRow("16 colours, dithered") << QStringList {"-c", "INDEXED_4BIT", "--dither"};
    QTest::newRow("RGB332, dithered") << QStringList {"-f", "bin", "--depth", "8", "--dither"};
    QTest::newRow("alpha levels, dithered") << QStringList {"-c", "ALPHA_2BIT", "--dither"};
}

void TestCli::parallelEqualsSerial()
{
    QFETCH(QStringList, options);

    QTemporaryDir dir;
    const int count = 12;
    for (int i = 0; i < count; ++i) {
        saveImage(dir.filePath(QStringLiteral("in/img%1.png").arg(i)),
                  TestImages::photo(1 + i * 23, 1 + (count - i) * 11, quint32(i)), "PNG");
    }

    const QStringList runs = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("5")};
    for (const QString &jobs : runs) {
        const Outcome outcome = runCli(dir.path(),
                                       QStringList(options) << "-j" << jobs << "-o"
                                                            << "j" + jobs << "in");
        VERIFY_SUCCESS(outcome);
    }
    const QStringList serial = entries(dir.filePath(QStringLiteral("j1")));
    QCOMPARE(serial.size(), count);
    for (const QString &jobs : runs.mid(1)) {
        QCOMPARE(entries(dir.filePath("j" + jobs)), serial);
        for (const QString &name : serial) {
            QVERIFY2(readFile(dir.filePath("j" + jobs + '/' + name))
                         == readFile(dir.filePath("j1/" + name)),
                     qPrintable(name));
        }
    }
}

void TestCli::failedInputs_data()
{
    QTest::addColumn<QString>("jobs");
    QTest::newRow("serial") << "1";
    QTest::newRow("parallel") << "3";
}

// A failed image is reported on one line naming its source, its output and
// the reason; the other images are still written, an existing output of a
// failed image stays as it was, and the exit code is 1.
void TestCli::failedInputs()
{
    QFETCH(QString, jobs);

    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("in/good.png"));
    saveImage(good, TestImages::photo(10, 10), "PNG");
    saveImage(dir.filePath(QStringLiteral("in/wide.png")), QImage(2048, 1, QImage::Format_RGB32),
              "PNG");
    saveImage(dir.filePath(QStringLiteral("in/blocked.png")), TestImages::photo(4, 4), "PNG");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("in/bad.png")), "\x89PNG but not really"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("out/bad.c")), "int keep;"));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out/blocked.c"))); // a directory

    const Outcome outcome = runCli(dir.path(), {"-j", jobs, "-o", "out", "in"});
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY(outcome.out.isEmpty());
    const QList<QByteArray> lines = outcome.errLines();
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(0).startsWith("brindleforge-cli: in/bad.png -> out/bad.c: not a PNG, JPEG, "
                                    "BMP, WebP, GIF or SVG image"),
             lines.at(0).constData());
    QVERIFY2(lines.at(1).startsWith("brindleforge-cli: in/blocked.png -> out/blocked.c: cannot be "
                                    "opened for writing"),
             lines.at(1).constData());
    QCOMPARE(lines.at(2),
             QByteArray("brindleforge-cli: in/wide.png -> out/wide.c: the image is 2048 x 1 "
                        "pixels; an LVGL image can be at most 2047 x 2047"));

    const QString goodOutput = dir.filePath(QStringLiteral("out/good.c"));
    QCOMPARE(readFile(goodOutput), expected(good, CArray, TrueColor, goodOutput));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("out/bad.c"))), QByteArray("int keep;"));
    QCOMPARE(entries(dir.filePath(QStringLiteral("out"))),
             QStringList({"bad.c", "blocked.c", "good.c"}));
}

enum class Target {
    FolderIsFile,
    FolderMissing,
    BatchFolderUnderFile,
    ReadOnlyFolder,
    FileTooBig,
    FileTooBigInLastFlush,
    DiskFull,
};
Q_DECLARE_METATYPE(Target)

void TestCli::unwritableTarget_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("failures"); // "<source> -> <output>: <reason start>"

    const QString c = QStringLiteral(": cannot be opened for writing");
    QTest::newRow("folder is a regular file")
        << Target::FolderIsFile << QStringList {"-o", "plain/x.c", "a.png"}
        << QStringList {"a.png -> plain/x.c" + c + " (not a directory)"};
    QTest::newRow("folder missing")
        << Target::FolderMissing << QStringList {"-o", "gone/x.c", "a.png"}
        << QStringList {"a.png -> gone/x.c" + c};
    QTest::newRow("batch folder cannot be created")
        << Target::BatchFolderUnderFile << QStringList {"-o", "plain/out", "a.png", "b.png"}
        << QStringList {"a.png -> plain/out/a.c" + c
                            + " (the directory plain cannot be created: not a directory)",
                        "b.png -> plain/out/b.c" + c};
    QTest::newRow("read-only folder")
        << Target::ReadOnlyFolder << QStringList {"-o", "locked", "a.png", "b.png"}
        << QStringList {"a.png -> locked/a.c" + c, "b.png -> locked/b.c" + c};
    QTest::newRow("write fails (file size limit)")
        << Target::FileTooBig << QStringList {"-f", "bin-rgb565", "-o", "out", "a.png", "b.png"}
        << QStringList {"b.png -> out/b.bin: cannot be written (file too large)"};
    QTest::newRow("write fails in the last flush (file size limit)")
        << Target::FileTooBigInLastFlush
        << QStringList {"-f", "bin-rgb565", "-o", "out", "a.png", "b.png"}
        << QStringList {"b.png -> out/b.bin: cannot be written (file too large)"};
    QTest::newRow("disk full (a 16 KiB tmpfs)")
        << Target::DiskFull << QStringList {"-o", "small", "a.png", "b.png"}
        << QStringList {"b.png -> small/b.c: cannot be written (no space left on device)"};
}

// An output that cannot be written fails with exit code 1, leaves no file
// behind and leaves an existing output as it was.
void TestCli::unwritableTarget()
{
    QFETCH(Target, target);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, failures);

    // Under the file size limit below, a.bin (4 + 6 * 5 * 3 bytes) fits and
    // b.bin does not. 4 + 100 * 100 * 3 bytes are written to the file at
    // once; 4 + 40 * 40 * 3 bytes fit Qt's 16 KiB write buffer and reach the
    // file only when the output is committed.
    const int side = target == Target::FileTooBigInLastFlush ? 40 : 100;
    QTemporaryDir dir;
    saveImage(dir.filePath(QStringLiteral("a.png")), TestImages::photo(6, 5, 1), "PNG");
    saveImage(dir.filePath(QStringLiteral("b.png")), TestImages::photo(side, side, 2), "PNG");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("plain")), "a regular file"));
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("out/b.bin")), "old output"));

    Outcome outcome;
    switch (target) {
    case Target::ReadOnlyFolder: {
#ifdef Q_OS_UNIX
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders; the other rows fail for real");
#endif
        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        outcome = runCli(dir.path(), arguments);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(entries(locked), QStringList());
        break;
    }
    case Target::FileTooBig:
    case Target::FileTooBigInLastFlush: {
#ifdef Q_OS_UNIX
        const FileSizeLimit limit(4096);
        outcome = runCli(dir.path(), arguments);
#else
        QSKIP("needs RLIMIT_FSIZE");
#endif
        // A write that fails only when the last buffered bytes are flushed
        // must not be committed either.
        QCOMPARE(entries(dir.filePath(QStringLiteral("out"))), QStringList({"a.bin", "b.bin"}));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("out/b.bin"))), QByteArray("old output"));
        break;
    }
    case Target::DiskFull: {
#ifdef Q_OS_LINUX
        // A file system of its own that fills up: a.c fits, b.c does not.
        const QString small = dir.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkdir(small));
        const QByteArray where = QFile::encodeName(small);
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("cannot mount a tmpfs here (needs root and mount rights)");
        struct Unmount
        {
            QByteArray where;
            ~Unmount() { ::umount(where.constData()); }
        } unmount {where};
        outcome = runCli(dir.path(), arguments);
        QCOMPARE(entries(small), QStringList {QStringLiteral("a.c")});
#else
        QSKIP("needs a tmpfs");
#endif
        break;
    }
    default:
        outcome = runCli(dir.path(), arguments);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("gone"))));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("plain"))), QByteArray("a regular file"));
        break;
    }

    QCOMPARE(outcome.exitCode, 1);
    QVERIFY(outcome.out.isEmpty());
    const QList<QByteArray> lines = outcome.errLines();
    QCOMPARE(lines.size(), failures.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray start = "brindleforge-cli: " + failures.at(i).toUtf8();
        QVERIFY2(lines.at(i).startsWith(start), lines.at(i).constData());
    }
}

void TestCli::progressOnTerminal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("progress");

    QTest::newRow("several inputs") << QStringList {"-o", "out", "a.png", "b.png"} << true;
    QTest::newRow("one input") << QStringList {"-o", "out", "a.png"} << false;
    QTest::newRow("quiet") << QStringList {"-q", "-o", "out", "a.png", "b.png"} << false;
}

// With stderr on a terminal, several inputs get a progress line that is
// erased at the end; the runs above, on pipes, show that there is none
// otherwise.
void TestCli::progressOnTerminal()
{
#ifdef Q_OS_UNIX
    QFETCH(QStringList, arguments);
    QFETCH(bool, progress);

    QTemporaryDir dir;
    saveImage(dir.filePath(QStringLiteral("a.png")), TestImages::photo(6, 5, 1), "PNG");
    saveImage(dir.filePath(QStringLiteral("b.png")), TestImages::photo(7, 5, 2), "PNG");

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        QSKIP("no pseudo terminal available");
    // Opened here, so that the terminal has a user until the child exits.
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    QVERIFY(terminal >= 0);

    QByteArrayList strings = {BRINDLEFORGE_CLI};
    for (const QString &argument : qAsConst(arguments))
        strings << argument.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const QByteArray workDir = QFile::encodeName(dir.path());

    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(terminal, STDERR_FILENO);
        if (chdir(workDir.constData()) == 0)
            execv(argv[0], argv.data());
        _exit(127);
    }
    close(terminal);
    QByteArray shown;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, int(n));
    close(master);
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);

    if (progress) {
        // Both images may be done before the first redraw.
        QVERIFY2(shown.startsWith("\r\033[Kbrindleforge-cli: "), shown.constData());
        QVERIFY2(shown.contains(" of 2 images done"), shown.constData());
        QVERIFY2(shown.endsWith("\r\033[K"), shown.constData());
        QVERIFY(!shown.contains('\n'));
    } else {
        QCOMPARE(shown, QByteArray());
    }
#else
    QSKIP("needs a pseudo terminal");
#endif
}

enum class Input {
    TruncatedBmpMidRow,
    TruncatedBmpOnRow,
    TruncatedJpeg,
    TruncatedPng,
    IcoNamedPng,
    PngBomb,
    BmpBomb,
    Fifo,
    SpecialFilesInScan,
    TextNamedPng,
    DamagedAncillaryChunk,
    ControlCharacters,
    TruncatedWebp,
    GifBomb,
};
Q_DECLARE_METATYPE(Input)

void TestCli::hostileInputs_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // the stderr lines after "brindleforge-cli: "

    const QString corrupt = QStringLiteral(": cannot be decoded (truncated or corrupt data)");
    QTest::newRow("BMP cut in the middle of a row")
        << Input::TruncatedBmpMidRow << QStringList {"in.bmp"} << 1
        << QStringList {"in.bmp -> in.c" + corrupt};
    QTest::newRow("BMP cut after two rows") << Input::TruncatedBmpOnRow << QStringList {"in.bmp"}
                                            << 1 << QStringList {"in.bmp -> in.c" + corrupt};
    QTest::newRow("JPEG cut short") << Input::TruncatedJpeg << QStringList {"in.jpg"} << 1
                                    << QStringList {"in.jpg -> in.c" + corrupt};
    QTest::newRow("PNG cut short") << Input::TruncatedPng << QStringList {"in.png"} << 1
                                   << QStringList {"in.png -> in.c" + corrupt};
    QTest::newRow("ICO holding a huge PNG, named .png")
        << Input::IcoNamedPng << QStringList {"in.png"} << 1
        << QStringList {"in.png -> in.c: not a PNG, JPEG, BMP, WebP, GIF or SVG image"};
    QTest::newRow("PNG header claiming 20000 x 20000")
        << Input::PngBomb << QStringList {"in.png"} << 1
        << QStringList {"in.png -> in.c: the image is 20000 x 20000 pixels; an LVGL image can "
                        "be at most 2047 x 2047"};
    QTest::newRow("BMP header claiming 30000 x 30000")
        << Input::BmpBomb << QStringList {"in.bmp"} << 1
        << QStringList {"in.bmp -> in.c: the image is 30000 x 30000 pixels; an LVGL image can "
                        "be at most 2047 x 2047"};
    QTest::newRow("FIFO named on the command line")
        << Input::Fifo << QStringList {"in.png"} << 1
        << QStringList {"in.png -> in.c: not a regular file"};
    QTest::newRow("FIFO, link to a FIFO and link to a device in a scan")
        << Input::SpecialFilesInScan << QStringList {"-o", "out", "in"} << 1
        << QStringList {"in/fifo.png -> out/fifo.c: not a regular file",
                        "in/link.png -> out/link.c: not a regular file",
                        "in/null.png -> out/null.c: not a regular file"};
    QTest::newRow("text named .png")
        << Input::TextNamedPng << QStringList {"in.png"} << 1
        << QStringList {"in.png -> in.c: not a PNG, JPEG, BMP, WebP, GIF or SVG image"};
    QTest::newRow("damaged ancillary chunk is silent")
        << Input::DamagedAncillaryChunk << QStringList {"in.png"} << 0 << QStringList();
    QTest::newRow("damaged ancillary chunk, verbose")
        << Input::DamagedAncillaryChunk << QStringList {"-v", "in.png"} << 0
        << QStringList {"in.png: libpng warning: tEXt: CRC error"};
    QTest::newRow("WebP cut short") << Input::TruncatedWebp << QStringList {"in.webp"} << 1
                                    << QStringList {"in.webp -> in.c" + corrupt};
    QTest::newRow("GIF canvas of 65535 x 65535")
        << Input::GifBomb << QStringList {"in.gif"} << 1
        << QStringList {"in.gif -> in.c: the image is 65535 x 65535 pixels; an LVGL image can "
                        "be at most 2047 x 2047"};
    QTest::newRow("control characters in names")
        << Input::ControlCharacters << QStringList {"-o", "out", "in"} << 1
        << QStringList {
               "in/\\x1b[31mred.png -> out/\\x1b[31mred.c: not a PNG, JPEG, BMP, WebP, GIF or SVG "
               "image",
               "in/a\\nb.png -> out/a\\nb.c: not a PNG, JPEG, BMP, WebP, GIF or SVG image"};
}

// Inputs a hostile user would try. Each is refused on one line that names
// it, without hanging and without a word from a decoder; what can be
// converted is converted; an existing output of a refused input stays as it
// was.
void TestCli::hostileInputs()
{
#ifdef Q_OS_UNIX
    QFETCH(Input, input);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);

    QTemporaryDir dir;
    const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    const QImage photo = TestImages::photo(160, 120, 7);
    const QByteArray bmp = HostileFiles::encoded(TestImages::photo(40, 30, 2), "BMP");
    const int bmpRow = 40 * 3; // Qt 5.15 writes 24-bit BMPs, alpha or not
    QStringList converted; // sources that must still be converted, relative to dir
    switch (input) {
    case Input::TruncatedBmpMidRow:
        QVERIFY(writeFile(path("in.bmp"), bmp.left(bmp.size() - 28 * bmpRow - 7)));
        break;
    case Input::TruncatedBmpOnRow:
        QVERIFY(writeFile(path("in.bmp"), bmp.left(bmp.size() - 28 * bmpRow)));
        break;
    case Input::TruncatedJpeg: {
        const QByteArray jpeg =
            HostileFiles::encoded(photo.convertToFormat(QImage::Format_RGB32), "JPEG");
        QVERIFY(writeFile(path("in.jpg"), jpeg.left(jpeg.size() * 6 / 10)));
        break;
    }
    case Input::TruncatedPng: {
        const QByteArray png = HostileFiles::encoded(photo, "PNG");
        QVERIFY(writeFile(path("in.png"), png.left(png.size() * 6 / 10)));
        break;
    }
    case Input::IcoNamedPng:
        QVERIFY(writeFile(path("in.png"),
                          HostileFiles::icoHolding(HostileFiles::png(20000, 20000, true))));
        break;
    case Input::PngBomb:
        QVERIFY(writeFile(path("in.png"), HostileFiles::png(20000, 20000, true)));
        break;
    case Input::BmpBomb:
        QVERIFY(writeFile(path("in.bmp"), HostileFiles::bmpHeader(30000, 30000)));
        break;
    case Input::Fifo:
        QCOMPARE(::mkfifo(QFile::encodeName(path("in.png")).constData(), 0644), 0);
        break;
    case Input::SpecialFilesInScan:
        saveImage(path("in/ok.png"), photo, "PNG");
        QCOMPARE(::mkfifo(QFile::encodeName(path("in/fifo.png")).constData(), 0644), 0);
        QVERIFY(QFile::link(QStringLiteral("fifo.png"), path("in/link.png")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path("in/null.png")));
        converted << QStringLiteral("in/ok.png");
        break;
    case Input::TextNamedPng:
        QVERIFY(writeFile(path("in.png"), "hello"));
        break;
    case Input::DamagedAncillaryChunk:
        QVERIFY(writeFile(path("in.png"),
                          HostileFiles::withBadCrc(
                              HostileFiles::withChunk(HostileFiles::encoded(photo, "PNG"), "tEXt",
                                                      QByteArray("Comment\0hello", 13)),
                              "tEXt")));
        converted << QStringLiteral("in.png");
        break;
    case Input::TruncatedWebp: {
        const QByteArray webp = EncodedFiles::webp(photo, false);
        QVERIFY(writeFile(path("in.webp"), webp.left(webp.size() * 6 / 10)));
        break;
    }
    case Input::GifBomb: {
        EncodedFiles::GifFrame frame;
        frame.image = photo.convertToFormat(QImage::Format_Indexed8);
        QVERIFY(writeFile(path("in.gif"), EncodedFiles::gif(QSize(65535, 65535), {frame})));
        break;
    }
    case Input::ControlCharacters:
        QVERIFY(writeFile(path("in/a\nb.png"), "not an image"));
        QVERIFY(writeFile(path("in/\x1b[31mred.png"), "not an image"));
        break;
    }
    // Every single input has a good output already, which must survive.
    const bool single = !arguments.contains(QStringLiteral("-o"));
    const QString keptOutput = dir.filePath(QStringLiteral("in.c"));
    if (single)
        QVERIFY(writeFile(keptOutput, "int keep;"));

    const Outcome outcome = runCliBytes(
        dir.path(),
        [&] {
            QList<QByteArray> bytes;
            for (const QString &a : qAsConst(arguments))
                bytes << a.toUtf8();
            return bytes;
        }(),
        0, 20000);
    QCOMPARE(outcome.exitCode, exitCode);
    QVERIFY(outcome.out.isEmpty());
    const QList<QByteArray> errLines = outcome.errLines();
    QCOMPARE(errLines.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(QString::fromUtf8(errLines.at(i)),
                 QStringLiteral("brindleforge-cli: ") + lines.at(i));

    for (const QString &source : qAsConst(converted)) {
        const QString output = single
            ? keptOutput
            : dir.filePath(QStringLiteral("out/") + QFileInfo(source).baseName()
                           + QStringLiteral(".c"));
        QCOMPARE(readFile(output), expected(dir.filePath(source), CArray, TrueColor, output));
    }
    if (single && exitCode != 0)
        QCOMPARE(readFile(keptOutput), QByteArray("int keep;"));
#else
    QSKIP("needs FIFOs and POSIX processes");
#endif
}

// File names that are not UTF-8 (a GBK or Latin-1 name from an archive)
// are converted like any other, found in a scan or named directly, and
// their outputs carry the same bytes in their names.
void TestCli::nonUtf8Names()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("in")));
    const QByteArray png = HostileFiles::encoded(TestImages::photo(9, 7, 4), "PNG");
    const QList<QByteArray> stems = {"ok", "caf\xe9", "\xff\xfe", "\xb2\xe2\xca\xd4"};
    for (const QByteArray &stem : stems)
        QVERIFY(HostileFiles::writeRaw(root + "in/" + stem + ".png", png));

    const Outcome scan = runCliBytes(dir.path(), {"-o", "out", "in"});
    VERIFY_SUCCESS(scan);
    QImage image;
    QVERIFY(image.loadFromData(png));
    for (const QByteArray &stem : stems) {
        const QByteArray written = HostileFiles::readRaw(root + "out/" + stem + ".c");
        const QString symbol = cSymbolForPath(Convert::decodeFileName(stem + ".c"));
        QByteArray wanted;
        QVERIFY(encodeImage(image, CArray, TrueColor, symbol, &wanted).ok());
        QVERIFY2(written == wanted, stem.toHex().constData());
    }

    const Outcome direct = runCliBytes(dir.path(), {"-f", "bin-rgb565", "in/caf\xe9.png"});
    VERIFY_SUCCESS(direct);
    QByteArray wanted;
    QVERIFY(encodeImage(image, BinaryRgb565, TrueColor, QString(), &wanted).ok());
    QCOMPARE(HostileFiles::readRaw(root + "in/caf\xe9.bin"), wanted);

    // A failure names the file with the bytes escaped.
    QVERIFY(HostileFiles::writeRaw(root + "in/bad\xe9.png", "no image"));
    const Outcome failed = runCliBytes(dir.path(), {"in/bad\xe9.png"});
    QCOMPARE(failed.exitCode, 1);
    QCOMPARE(failed.err,
             QByteArray("brindleforge-cli: in/bad\\xe9.png -> in/bad\\xe9.c: not a PNG, "
                        "JPEG, BMP, WebP, GIF or SVG image\n"));
#else
    QSKIP("file names are bytes on Unix only");
#endif
}

enum class Planted {
    LinkToInput,
    LinkedFolder,
    ProcSelfCwd,
    LinkToInputInBatch,
    PlantedLink,
    DanglingLink,
    Fifo,
    DeviceNode,
    LongName,
    FileSizeLimit,
    LinkToDevice,
    LinkIntoProc,
    StaleTemporaries,
    Nothing,
};
Q_DECLARE_METATYPE(Planted)

void TestCli::hostileTargets_data()
{
    QTest::addColumn<Planted>("target");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // stderr lines after "brindleforge-cli: ", as prefixes

    QTest::newRow("link to the input")
        << Planted::LinkToInput << QStringList {"-o", "alias.c", "in.png"} << 2
        << QStringList {"the output 'alias.c' would replace the input 'in.png'"};
    QTest::newRow("path through a linked folder")
        << Planted::LinkedFolder << QStringList {"-o", "here/in.png", "in.png"} << 2
        << QStringList {"the output 'here/in.png' would replace the input 'in.png'"};
    QTest::newRow("/proc/self/cwd")
        << Planted::ProcSelfCwd << QStringList {"-o", "/proc/self/cwd/in.png", "in.png"} << 2
        << QStringList {"the output '/proc/self/cwd/in.png' would replace the input 'in.png'"};
    QTest::newRow("link to an input in a batch")
        << Planted::LinkToInputInBatch << QStringList {"-o", "out", "in.png", "b.png"} << 2
        << QStringList {"the output 'out/b.c' would replace the input 'b.png'"};
    QTest::newRow("link planted in the output folder")
        << Planted::PlantedLink << QStringList {"-o", "out", "in.png", "b.png"} << 0
        << QStringList();
    QTest::newRow("dangling link planted in the output folder")
        << Planted::DanglingLink << QStringList {"-o", "out", "in.png", "b.png"} << 0
        << QStringList();
    QTest::newRow("FIFO as the output")
        << Planted::Fifo << QStringList {"-o", "out.c", "in.png"} << 1
        << QStringList {"in.png -> out.c: the output is not a regular file"};
    QTest::newRow("device node as the output")
        << Planted::DeviceNode << QStringList {"-o", "null", "in.png"} << 1
        << QStringList {"in.png -> null: the output is not a regular file"};
    QTest::newRow("output name of 255 bytes, twice")
        << Planted::LongName << QStringList {"-o", QString(253, QLatin1Char('n')) + ".c", "in.png"}
        << 0 << QStringList();
    // A link to something that is not a regular file stands for it, as
    // /dev/stdout stands for a descriptor through /proc: it is kept.
    QTest::newRow("link to a device")
        << Planted::LinkToDevice << QStringList {"-o", "out.c", "in.png"} << 1
        << QStringList {"in.png -> out.c: the output is not a regular file"};
    QTest::newRow("link into /proc")
        << Planted::LinkIntoProc << QStringList {"-o", "out.c", "in.png"} << 1
        << QStringList {"in.png -> out.c: the output is not a regular file"};
    QTest::newRow("/dev/stdout") << Planted::Nothing << QStringList {"-o", "/dev/stdout", "in.png"}
                                 << 1
                                 << QStringList {"in.png -> /dev/stdout: the output is not a "
                                                 "regular file"};
    // What killed runs left: the one whose writer is gone goes, with -v.
    QTest::newRow("temporaries of a killed run")
        << Planted::StaleTemporaries << QStringList {"-v", "-o", "out", "in.png", "b.png"} << 0
        << QStringList {"out: removed 1 temporary file that a killed run left behind"};
    QTest::newRow("file size limit with SIGXFSZ at its default")
        << Planted::FileSizeLimit
        << QStringList {"-f", "bin-rgb565", "-o", "out", "in.png", "b.png"} << 1
        << QStringList {"b.png -> out/b.bin: cannot be written (file too large)"};
}

// Targets a hostile user would plant. The input is never replaced, a link
// at the output is replaced and its target never written, special files
// are left alone, and a limit on file size fails one file, not the batch.
void TestCli::hostileTargets()
{
#ifdef Q_OS_UNIX
    QFETCH(Planted, target);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);

    QTemporaryDir dir;
    const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    const auto encoded = [](const QString &p) { return QFile::encodeName(p); };
    saveImage(path("in.png"), TestImages::photo(12, 9, 1), "PNG");
    saveImage(path("b.png"), TestImages::photo(100, 100, 2), "PNG");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
    QVERIFY(writeFile(path("victim.txt"), "precious"));
    switch (target) {
    case Planted::LinkToInput:
        QVERIFY(QFile::link(QStringLiteral("in.png"), path("alias.c")));
        break;
    case Planted::LinkedFolder:
        QVERIFY(QFile::link(QStringLiteral("."), path("here")));
        break;
    case Planted::ProcSelfCwd:
        if (!QFileInfo::exists(QStringLiteral("/proc/self/cwd")))
            QSKIP("no /proc");
        break;
    case Planted::LinkToInputInBatch:
        QVERIFY(QFile::link(QStringLiteral("../b.png"), path("out/b.c")));
        break;
    case Planted::PlantedLink:
        QVERIFY(QFile::link(QStringLiteral("../victim.txt"), path("out/in.c")));
        break;
    case Planted::DanglingLink:
        QVERIFY(QFile::link(QStringLiteral("../created.txt"), path("out/in.c")));
        break;
    case Planted::Fifo:
        QCOMPARE(::mkfifo(encoded(path("out.c")).constData(), 0644), 0);
        break;
    case Planted::DeviceNode:
        if (::mknod(encoded(path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("making a device node needs root");
        break;
    case Planted::LinkToDevice:
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path("out.c")));
        break;
    case Planted::LinkIntoProc:
        if (!QFileInfo::exists(QStringLiteral("/proc/self/status")))
            QSKIP("no /proc");
        QVERIFY(QFile::link(QStringLiteral("/proc/self/status"), path("out.c")));
        break;
    case Planted::StaleTemporaries: {
        // Process ids above Linux's largest (2^22) never run; ours does.
        const QString dead = QStringLiteral(".bf-zzzzzabcde.tmp");
        QVERIFY(writeFile(path("out/") + dead, "left by a killed run"));
        QString alive = QStringLiteral(".bf-");
        for (qint64 pid = QCoreApplication::applicationPid(), i = 0; i < 5; ++i, pid /= 36)
            alive.insert(4, QLatin1Char("0123456789abcdefghijklmnopqrstuvwxyz"[pid % 36]));
        alive += QStringLiteral("abcde.tmp");
        QVERIFY(writeFile(path("out/") + alive, "being written"));
        QVERIFY(writeFile(path("out/.bf-not-ours.tmp"), "someone else's"));
        break;
    }
    case Planted::LongName:
    case Planted::FileSizeLimit:
    case Planted::Nothing:
        break;
    }
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    QList<QByteArray> bytes;
    for (const QString &a : qAsConst(arguments))
        bytes << a.toUtf8();
    // Under this limit in.png's and b.png's outputs of 4 + 12 * 9 * 3 and
    // 4 + 100 * 100 * 3 bytes: the first fits, the second does not.
    const rlim_t limit = target == Planted::FileSizeLimit ? 4096 : 0;
    const Outcome outcome = runCliBytes(dir.path(), bytes, limit, 20000);
    QCOMPARE(outcome.exitCode, exitCode);
    QList<QByteArray> errLines = outcome.errLines();
    if (exitCode == 2)
        QCOMPARE(errLines.takeLast(),
                 QByteArray("Try 'brindleforge-cli --help' for more information."));
    QCOMPARE(errLines.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        QVERIFY2(errLines.at(i).startsWith(QByteArray("brindleforge-cli: " + lines.at(i).toUtf8())),
                 errLines.at(i).constData());
    }
    if (exitCode == 2)
        QCOMPARE(snapshot(dir.path()), before);
    QCOMPARE(readFile(path("victim.txt")), QByteArray("precious"));

    struct stat st;
    switch (target) {
    case Planted::PlantedLink:
    case Planted::DanglingLink:
        QCOMPARE(::lstat(encoded(path("out/in.c")).constData(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode));
        QCOMPARE(readFile(path("out/in.c")),
                 expected(path("in.png"), CArray, TrueColor, path("out/in.c")));
        QVERIFY(!QFileInfo::exists(path("created.txt")));
        break;
    case Planted::Fifo:
        QCOMPARE(::lstat(encoded(path("out.c")).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
        break;
    case Planted::DeviceNode:
        QCOMPARE(::lstat(encoded(path("null")).constData(), &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
        break;
    case Planted::LinkToDevice:
    case Planted::LinkIntoProc:
        QCOMPARE(::lstat(encoded(path("out.c")).constData(), &st), 0);
        QVERIFY(S_ISLNK(st.st_mode));
        break;
    case Planted::StaleTemporaries: {
        QStringList left = entries(path("out"));
        left.sort();
        QCOMPARE(left.size(), 4);
        QCOMPARE(left.at(2), QStringLiteral("b.c"));
        QCOMPARE(left.at(3), QStringLiteral("in.c"));
        QCOMPARE(left.at(1), QStringLiteral(".bf-not-ours.tmp"));
        QVERIFY(left.at(0).startsWith(QLatin1String(".bf-")) && left.at(0) != ".bf-zzzzzabcde.tmp");
        break;
    }
    case Planted::LongName: {
        const QString output = dir.filePath(arguments.at(1));
        QCOMPARE(readFile(output), expected(path("in.png"), CArray, TrueColor, output));
        // The second run replaces it, through a temporary name that fits.
        QVERIFY(writeFile(output, "old"));
        VERIFY_SUCCESS(runCliBytes(dir.path(), bytes));
        QCOMPARE(readFile(output), expected(path("in.png"), CArray, TrueColor, output));
        break;
    }
    case Planted::FileSizeLimit:
        QCOMPARE(readFile(path("out/in.bin")),
                 expected(path("in.png"), BinaryRgb565, TrueColor, path("out/in.bin")));
        QCOMPARE(entries(path("out")), QStringList {"in.bin"});
        break;
    default:
        break;
    }
#else
    QSKIP("needs POSIX links, FIFOs and processes");
#endif
}

void TestCli::interrupts_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
#ifdef Q_OS_UNIX
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
    // Nothing can clean up after SIGKILL: the files in flight have no name.
    QTest::newRow("SIGKILL") << int(SIGKILL) << -1;
#endif
}

// An interrupt in the middle of a batch removes every temporary file and
// exits with 128 + the signal; what was already renamed into place stays,
// complete.
void TestCli::interrupts()
{
#ifdef Q_OS_UNIX
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    const int count = 6;
    for (int i = 0; i < count; ++i)
        saveImage(dir.filePath(QStringLiteral("in/p%1.png").arg(i)),
                  TestImages::photo(500, 500, quint32(i)), "PNG");
    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(BRINDLEFORGE_CLI),
                  {"-q", "-j", "1", "-c", "true-color-alpha", "-o", "out", "in"});
    QVERIFY(process.waitForStarted());
    // Wait until the first output is in place, with the next ones being
    // written, then interrupt.
    bool seen = false;
    QElapsedTimer timer;
    timer.start();
    while (!seen && process.state() == QProcess::Running && timer.elapsed() < 30000) {
        for (const QString &name : entries(out))
            seen = seen || !name.startsWith(QLatin1Char('.'));
        if (!seen)
            QThread::usleep(200);
    }
    QVERIFY2(seen, "no output appeared before the batch ended");
    ::kill(pid_t(process.processId()), signalNumber);
    QVERIFY(process.waitForFinished(30000));
    if (exitCode < 0) {
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    } else {
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
    }

    const QStringList left = entries(out);
    QVERIFY2(left.size() < count, qPrintable(left.join(QLatin1Char(' '))));
    for (const QString &name : left) {
        QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(name));
        const QString source = dir.filePath(QStringLiteral("in/") + QFileInfo(name).baseName()
                                            + QStringLiteral(".png"));
        QCOMPARE(readFile(out + '/' + name),
                 expected(source, CArray, TrueColorAlpha, out + '/' + name));
    }
#else
    QSKIP("needs POSIX signals");
#endif
}

namespace {

// The file the engine writes for image in the named format: a C array, or
// a .bin made for depth.
QByteArray lvglFile(const QImage &image, const char *format, bool binary,
                    ColorDepth depth = ColorDepth::Depth16)
{
    OutputPlan outSpec;
    outSpec.row = Lvgl8::findFormat(QLatin1String(format));
    outSpec.binary = binary;
    outSpec.depth = depth;
    SourceImage source;
    source.image = image;
    QByteArray bytes;
    const ConvertResult result = encodeSource(source, outSpec, QStringLiteral("pic"), &bytes);
    return result.ok() ? bytes : QByteArray();
}

// A pack of the named v8 .bin files of image, as --pack writes it.
QByteArray packFile(const QImage &image, const QList<QByteArray> &names)
{
    OutputPlan plan;
    plan.row = Lvgl8::findFormat(QStringLiteral("TRUE_COLOR_ALPHA"));
    plan.binary = true;
    QVector<Pack::Entry> entries;
    for (const QByteArray &name : names)
        entries.append(Pack::entry(plan, name, lvglFile(image, "TRUE_COLOR_ALPHA", true)));
    return Pack::problem(entries, 4).isEmpty() ? Pack::assemble(&entries, 4) : QByteArray();
}

// A v9 RGB565 image of 2 x 2 red pixels, RLE-compressed: 4 blocks of red.
// A v9 file of the format, from the engine.
QByteArray v9File(const QImage &image, const char *format, bool binary)
{
    OutputPlan outSpec;
    outSpec.row = Lvgl9::findFormat(QLatin1String(format));
    outSpec.binary = binary;
    SourceImage source;
    source.image = image;
    QByteArray bytes;
    const ConvertResult result = encodeSource(source, outSpec, QStringLiteral("pic"), &bytes);
    return result.ok() ? bytes : QByteArray();
}

QByteArray v9Compressed()
{
    return QByteArray::fromHex("19120800020002000400"
                               "0000"
                               "01000000"
                               "03000000"
                               "08000000"
                               "0400f8");
}

// A v9 frame set of three 2 x 1 A8 frames, the last sharing the first's
// map, written by hand as inspect reads it; count and duration as given.
QByteArray frameSetText(int count = 3, int duration = 150)
{
    QByteArray text = "#include \"lvgl/lvgl.h\"\n";
    const char *const maps[] = {"spin_0_map", "spin_1_map", "spin_0_map"};
    const char *const bytes[] = {"0x80, 0xff", "0x10, 0x20", nullptr};
    for (int i = 0; i < 3; ++i) {
        if (bytes[i])
            text += "const uint8_t " + QByteArray(maps[i]) + "[] = {" + bytes[i] + "};\n";
        text += "const lv_image_dsc_t spin_" + QByteArray::number(i)
            + " = {.header.magic = LV_IMAGE_HEADER_MAGIC, .header.cf = LV_COLOR_FORMAT_A8, "
              ".header.w = 2, .header.h = 1, .header.stride = 2, .data_size = 2, .data = "
            + maps[i] + "};\n";
    }
    return text + "const void * const spin_frames[] = {&spin_0, &spin_1, &spin_2};\n"
        + "const uint32_t spin_frame_count = " + QByteArray::number(count) + ";\n"
        + "const uint32_t spin_frame_ms[] = {100, 50, 0};\n"
        + "const uint32_t spin_duration_ms = " + QByteArray::number(duration) + ";\n"
        + "const uint32_t spin_loop_count = 0;\n//end of file\n";
}

// A GIF of two frames on a 6 x 4 canvas, playing twice, embedded as RAW
// for LVGL 8 by hand.
QByteArray embeddedGifText()
{
    EncodedFiles::GifFrame first;
    first.image = TestImages::photo(6, 4, 2).convertToFormat(QImage::Format_Indexed8);
    first.delayCs = 7;
    EncodedFiles::GifFrame second = first;
    second.image = TestImages::photo(2, 2, 3).convertToFormat(QImage::Format_Indexed8);
    second.localTable = true;
    second.at = QPoint(3, 1);
    second.delayCs = 12;
    const QByteArray gif = EncodedFiles::gif(QSize(6, 4), {first, second}, 2);
    QByteArray values;
    for (const char c : gif)
        values += QByteArray::number(uchar(c)) + ",";
    return "const uint8_t g_map[] = {" + values
        + "};\nconst lv_img_dsc_t g = {.header.cf = LV_IMG_CF_RAW, .header.w = 6, .header.h = 4, "
          ".data_size = "
        + QByteArray::number(gif.size()) + ", .data = g_map};\n";
}

QImage inspectImage()
{
    QImage image = TestImages::photo(7, 5, 3);
    image.setPixel(0, 0, qRgba(10, 200, 30, 128));
    return image;
}

QStringList outputLines(const QByteArray &out)
{
    QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

} // namespace

void TestCli::inspectFacts_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // lines stdout has, each after its key
    QTest::addColumn<QString>("error"); // the one stderr line, or empty

    const QImage image = inspectImage();
    QTest::newRow(".bin of TRUE_COLOR_ALPHA")
        << lvglFile(image, "TRUE_COLOR_ALPHA", true) << "pic.bin" << QStringList() << 0
        << QStringList {"pic.bin:",
                        "  version:     LVGL v8, .bin",
                        "  format:      LV_IMG_CF_TRUE_COLOR_ALPHA (cf 5)",
                        "  size:        7 x 5",
                        "  stride:      21 bytes",
                        "  flags:       none",
                        "  data:        105 bytes present, 105 needed",
                        "  shown at:    LV_COLOR_DEPTH 16",
                        "  consistent:  yes",
                        "  warning:     a true-colour .bin fits one LV_COLOR_DEPTH only: this "
                        "one is packed for depth 16 (with or without LV_COLOR_16_SWAP: the two "
                        "cannot be told apart), and is drawn wrongly at any other"}
        << QString();
    QTest::newRow("C array of TRUE_COLOR, depth 32 swapped off")
        << lvglFile(image, "TRUE_COLOR", false) << "pic.c" << QStringList {"--depth", "32"} << 0
        << QStringList {"  version:     LVGL v8, C array",
                        "  stride:      28 bytes",
                        "  data:        .data_size 140, 140 bytes present, 140 needed",
                        "  shown at:    LV_COLOR_DEPTH 32",
                        "  sections:    8, 16, 16swap, 32",
                        "  consistent:  yes"}
        << QString();
    QTest::newRow("C array of ALPHA_4BIT")
        << lvglFile(image, "ALPHA_4BIT", false) << "glyph.c"
        << QStringList {"--depth", "16", "--swap"} << 0
        << QStringList {"  format:      LV_IMG_CF_ALPHA_4BIT (cf 13)", "  stride:      4 bytes",
                        "  shown at:    LV_COLOR_DEPTH 16 with LV_COLOR_16_SWAP",
                        "  sections:    none (the same data at every depth)"}
        << QString();
    QTest::newRow("v9 RLE-compressed .bin")
        << v9Compressed() << "red.bin" << QStringList() << 0
        << QStringList {"  version:     LVGL v9, .bin",
                        "  format:      LV_COLOR_FORMAT_RGB565 (cf 18)",
                        "  stride:      4 bytes",
                        "  flags:       COMPRESSED",
                        "  data:        15 bytes present",
                        "  compression: RLE, 3 bytes for 8 (ratio 2.67)",
                        "  consistent:  yes"}
        << QString();
    QTest::newRow("truncated .bin")
        << lvglFile(image, "TRUE_COLOR_ALPHA", true).left(100) << "cut.bin" << QStringList() << 1
        << QStringList {"  consistent:  no: the data ends early: 96 of the 105 bytes a 7 x 5 "
                        "TRUE_COLOR_ALPHA image needs at LV_COLOR_DEPTH 16"}
        << "brindleforge-cli: cut.bin: the data ends early: 96 of the 105 bytes a 7 x 5 "
           "TRUE_COLOR_ALPHA image needs at LV_COLOR_DEPTH 16";
    QTest::newRow(".bin at the wrong depth")
        << lvglFile(image, "TRUE_COLOR", true, ColorDepth::Depth32) << "wide.bin"
        << QStringList {"--depth", "16"} << 1
        << QStringList {"  consistent:  no: holds 4 bytes per pixel: it is made for "
                        "LV_COLOR_DEPTH 32, not 16"}
        << "brindleforge-cli: wide.bin: holds 4 bytes per pixel: it is made for LV_COLOR_DEPTH "
           "32, not 16";
    QTest::newRow("C file that holds no image")
        << QByteArray("#include <stdio.h>\n\nint main(void)\n{\n    return 0;\n}\n") << "main.c"
        << QStringList() << 1
        << QStringList {"main.c:",
                        "  consistent:  no: line 3: 'main' is declared as 'int', not "
                        "as an image array or descriptor"}
        << "brindleforge-cli: main.c: line 3: 'main' is declared as 'int', not as an image "
           "array or descriptor";
    // 7 x 5 TRUE_COLOR_ALPHA: 4 + 105 bytes each, the first after the
    // 20-byte header and two index entries of 48.
    QTest::newRow("a pack")
        << packFile(image, {"logo", "icon"}) << "ui.bin" << QStringList() << 0
        << QStringList {"ui.bin:", "  pack:        version 1, 2 entries, aligned to 4, 337 bytes",
                        "  entry:       logo: offset 116, 109 bytes, LVGL v8, "
                        "LV_IMG_CF_TRUE_COLOR_ALPHA (cf 5), 7 x 5, stride 21; consistent",
                        "  entry:       icon: offset 228, 109 bytes, LVGL v8, "
                        "LV_IMG_CF_TRUE_COLOR_ALPHA (cf 5), 7 x 5, stride 21; consistent",
                        "  consistent:  yes"}
        << QString();
    QTest::newRow("a pack without the entry asked for")
        << packFile(image, {"logo"}) << "ui.bin" << QStringList {"--entry", "icon"} << 1
        << QStringList {"  consistent:  no: the pack has no entry named 'icon'"}
        << "brindleforge-cli: ui.bin: the pack has no entry named 'icon'";
    QTest::newRow("a pack rendered without --entry")
        << packFile(image, {"logo", "icon"}) << "ui.bin" << QStringList {"--png", "shown.png"} << 1
        << QStringList {"  consistent:  yes"}
        << "brindleforge-cli: ui.bin: a pack of 2 images: choose the one to render with --entry "
           "NAME";
    QTest::newRow("an entry of a file that is no pack")
        << lvglFile(image, "TRUE_COLOR_ALPHA", true) << "pic.bin" << QStringList {"--entry", "logo"}
        << 1 << QStringList()
        << "brindleforge-cli: pic.bin: --entry names an image of a pack; this is not a pack";
    // Each is judged against conf9/lv_conf.h (v9, rows aligned to 4, no
    // RLE) or conf8/lv_conf.h (8.3.11 at LV_COLOR_DEPTH 32).
    const QString noRle = "RLE-compressed images are not decompressed on this configuration: "
                          "conf9/lv_conf.h:7: LV_USE_RLE is 0; set LV_USE_RLE 1, or write it "
                          "uncompressed (--compress none)";
    QTest::newRow("--lv-conf: RLE without its decoder")
        << v9Compressed() << "red.bin" << QStringList {"--lv-conf", "conf9/lv_conf.h"} << 1
        << QStringList {"  consistent:  yes", "  device:      not drawn: " + noRle}
        << "brindleforge-cli: red.bin: " + noRle;
    QTest::newRow("--lv-conf: a v8 file on LVGL 9")
        << lvglFile(image, "ALPHA_4BIT", false) << "glyph.c"
        << QStringList {"--lv-conf", "conf9/lv_conf.h"} << 1
        << QStringList {"  device:      not drawn: a v8 image does not open on LVGL 9 "
                        "(conf9/lv_conf.h)"}
        << "brindleforge-cli: glyph.c: a v8 image does not open on LVGL 9 (conf9/lv_conf.h)";
    QTest::newRow("--lv-conf: a v8 .bin of the device's depth")
        << lvglFile(image, "TRUE_COLOR", true, ColorDepth::Depth32) << "wide.bin"
        << QStringList {"--depth", "32", "--lv-conf", "conf8/lv_conf.h"} << 0
        << QStringList {"  device:      drawn by conf8/lv_conf.h"} << QString();
    QTest::newRow("--lv-conf: a v8 .bin of another depth")
        << lvglFile(image, "TRUE_COLOR_ALPHA", true) << "pic.bin"
        << QStringList {"--lv-conf", "conf8/lv_conf.h"} << 1
        << QStringList {"  consistent:  yes",
                        "  device:      not drawn: this .bin is made for LV_COLOR_DEPTH 16, which "
                        "the device does not have: conf8/lv_conf.h:3: LV_COLOR_DEPTH is 32; make "
                        "it for the file's depth (leave --depth out) or change LV_COLOR_DEPTH"}
        << "brindleforge-cli: pic.bin: this .bin is made for LV_COLOR_DEPTH 16, which the device "
           "does not have: conf8/lv_conf.h:3: LV_COLOR_DEPTH is 32; make it for the file's depth "
           "(leave --depth out) or change LV_COLOR_DEPTH";
    QTest::newRow("--lv-conf: v9 I4 is copied into RAM")
        << v9File(image, "I4", false) << "pic.c" << QStringList {"--lv-conf", "conf9/lv_conf.h"}
        << 0
        << QStringList {"  device:      drawn by conf9/lv_conf.h",
                        "  device:      the library copies this image into heap RAM at load (I4 "
                        "is expanded to ARGB8888): 140 bytes, so it cannot be drawn in place "
                        "from flash"}
        << QString();
    QTest::newRow("--lv-conf: v9 stride other than the device's")
        << v9File(image, "RGB565", true) << "pic.bin"
        << QStringList {"--lv-conf", "conf9/lv_conf.h"} << 0
        << QStringList {"  device:      drawn by conf9/lv_conf.h",
                        "  device:      the library copies this image into heap RAM at load (its "
                        "stride of 14 bytes is not the 16 that conf9/lv_conf.h:5: "
                        "LV_DRAW_BUF_STRIDE_ALIGN is 4 asks for): 80 bytes, so it cannot be drawn "
                        "in place from flash"}
        << QString();
    QTest::newRow("frame set")
        << frameSetText() << "spin.c" << QStringList() << 0
        << QStringList {"  format:      LV_COLOR_FORMAT_A8 (cf 14)",
                        "  animation:   frame set of 3 frames, 150 ms in all, loops for ever",
                        "  frame 0:     spin_0, 2 x 1, LV_COLOR_FORMAT_A8, 100 ms",
                        "  frame 1:     spin_1, 2 x 1, LV_COLOR_FORMAT_A8, 50 ms",
                        "  frame 2:     spin_2, 2 x 1, LV_COLOR_FORMAT_A8, 0 ms, shares spin_0_map",
                        "  consistent:  yes"}
        << QString();
    QTest::newRow("frame set whose count is wrong")
        << frameSetText(4) << "spin.c" << QStringList() << 1
        << QStringList {"  consistent:  no: spin_frame_count is 4, but spin_frames lists 3 frames"}
        << "brindleforge-cli: spin.c: spin_frame_count is 4, but spin_frames lists 3 frames";
    QTest::newRow("frame set whose duration is wrong")
        << frameSetText(3, 160) << "spin.c" << QStringList() << 1
        << QStringList {"  consistent:  no: spin_duration_ms is 160, but the delays add up to 150"}
        << "brindleforge-cli: spin.c: spin_duration_ms is 160, but the delays add up to 150";
    QTest::newRow("frame set, a frame past its end")
        << frameSetText() << "spin.c" << QStringList {"--png", "x.png", "--frame", "3"} << 1
        << QStringList {"  consistent:  yes"}
        << "brindleforge-cli: spin.c: --frame 3: the animation has 3 frames, 0 to 2";
    QTest::newRow("embedded GIF, LVGL 8 at depth 32")
        << embeddedGifText() << "gif.c" << QStringList {"--depth", "32"} << 0
        << QStringList {"  format:      LV_IMG_CF_RAW (cf 1)",
                        "  animation:   GIF of 2 frames on a 6 x 4 canvas, 190 ms in all, plays "
                        "2 times",
                        "  delays:      70, 120 ms",
                        "  player RAM:  about 1 KiB (6 x 4 x 5 bytes at LV_COLOR_DEPTH 32)",
                        "  consistent:  yes"}
        << QString();
    QTest::newRow("a single image has no frame 1")
        << lvglFile(image, "TRUE_COLOR_ALPHA", false) << "pic.c"
        << QStringList {"--png", "x.png", "--frame", "1"} << 1 << QStringList {"  consistent:  yes"}
        << "brindleforge-cli: pic.c: --frame 1: the file holds a single image, frame 0";
    QTest::newRow("missing file") << QByteArray() << QString() << QStringList {"gone.bin"} << 1
                                  << QStringList()
                                  << "brindleforge-cli: gone.bin: cannot be read (no such file or "
                                     "directory)";
    QTest::newRow("a folder") << QByteArray() << QString() << QStringList {"."} << 1
                              << QStringList() << "brindleforge-cli: .: not a regular file";
}

// The facts of good files and the reason for broken ones, with exit codes
// 0 and 1.
void TestCli::inspectFacts()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QString, error);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf9/lv_conf.h")), lvConf9));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf8/lv_conf.h")), lvConf8));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf8/lv_version.h")), lvVersion8));
    QStringList arguments = {QStringLiteral("inspect")};
    arguments += options;
    if (!name.isEmpty()) {
        QVERIFY(!content.isEmpty());
        QVERIFY(writeFile(dir.filePath(name), content));
        arguments << name;
    }
    const Outcome outcome = runCli(dir.path(), arguments);
    QCOMPARE(outcome.exitCode, exitCode);
    const QStringList out = outputLines(outcome.out);
    for (const QString &line : lines)
        QVERIFY2(out.contains(line),
                 qPrintable(line + QStringLiteral("\nnot in:\n") + out.join(QLatin1Char('\n'))));
    if (error.isEmpty()) {
        QVERIFY2(outcome.err.isEmpty(), outcome.err.constData());
    } else {
        QCOMPARE(outcome.errLines().size(), 1);
        QCOMPARE(QString::fromUtf8(outcome.errLines().first()), error);
    }
    if (name.isEmpty())
        QVERIFY(outcome.out.isEmpty());
}

void TestCli::inspectUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const auto args = [](const char *line) { return QString::fromLatin1(line).split(' '); };
    QTest::newRow("no file") << args("inspect --json") << "no file given";
    QTest::newRow("depth 24") << args("inspect --depth 24 a.bin")
                              << "--depth takes 8, 16 or 32, not '24'";
    QTest::newRow("swap without depth 16")
        << args("inspect --swap a.bin") << "--swap applies to --depth 16";
    QTest::newRow("a colour that is not hex")
        << args("inspect --chroma-key green a.bin")
        << "--chroma-key takes a colour as RRGGBB (hex), not 'green'";
    QTest::newRow("a colour of four digits")
        << args("inspect --background #fff0 a.bin")
        << "--background takes a colour as RRGGBB (hex), not '#fff0'";
    QTest::newRow("lvgl 7") << args("inspect --lvgl 7 a.bin") << "--lvgl takes 8 or 9, not '7'";
    QTest::newRow("depth given twice")
        << args("inspect --depth 8 --depth 16 a.bin") << "--depth is given more than once";
    QTest::newRow("--lv-conf of a missing file")
        << args("inspect --lv-conf missing/lv_conf.h a.bin")
        << "--lv-conf: missing/lv_conf.h: cannot be read";
    QTest::newRow("--lv-version without --lv-conf")
        << args("inspect --lv-version notes.txt a.bin") << "--lv-version goes with --lv-conf";
    QTest::newRow("unknown option") << args("inspect --frobnicate a.bin") << "frobnicate";
    QTest::newRow("previews of two files into a file")
        << args("inspect --png notes.txt a.bin b.bin")
        << "--png: 'notes.txt' is not a folder (with several files, the previews go into one)";
    QTest::newRow("two previews of one name") << args("inspect --png out a.bin sub/a.bin")
                                              << "--png: a.bin and sub/a.bin would both "
                                                 "write out/a.bin.png";
    QTest::newRow("frame not a number") << args("inspect --png x.png --frame two a.bin")
                                        << "--frame takes a frame number from 0, not 'two'";
    QTest::newRow("frame without png")
        << args("inspect --frame 1 a.bin") << "--frame chooses the frame --png writes";
    QTest::newRow("a preview over the file inspected")
        << args("inspect --png a.bin a.bin")
        << "--png: the preview a.bin would replace the file "
           "inspected";
}

// Usage errors exit with 2, say why and where to read more, and write
// nothing.
void TestCli::inspectUsageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QByteArray bin = lvglFile(inspectImage(), "ALPHA_8BIT", true);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("a.bin")), bin));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("sub/a.bin")), bin));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("b.bin")), bin));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("notes.txt")), "notes"));
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const Outcome outcome = runCli(dir.path(), arguments);
    QCOMPARE(outcome.exitCode, 2);
    QVERIFY(outcome.out.isEmpty());
    const QList<QByteArray> lines = outcome.errLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.first().startsWith("brindleforge-cli: "), lines.first().constData());
    QVERIFY2(lines.first().contains(message.toUtf8()), lines.first().constData());
    QCOMPARE(lines.last(),
             QByteArray("Try 'brindleforge-cli inspect --help' for more information."));
    QCOMPARE(snapshot(dir.path()), before);
}

// --json gives the same facts, for every file, broken and missing ones
// included.
void TestCli::inspectJson()
{
    QTemporaryDir dir;
    const QImage image = inspectImage();
    QVERIFY(writeFile(dir.filePath(QStringLiteral("pic.c")),
                      lvglFile(image, "TRUE_COLOR_ALPHA", false)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("red.bin")), v9Compressed()));
    QVERIFY(
        writeFile(dir.filePath(QStringLiteral("idx.bin")), lvglFile(image, "INDEXED_2BIT", true)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("cut.bin")),
                      lvglFile(image, "ALPHA_2BIT", true).left(9)));
    const Outcome outcome = runCli(
        dir.path(), {"inspect", "--json", "pic.c", "red.bin", "idx.bin", "cut.bin", "gone.bin"});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.errLines().size(), 2);

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(outcome.out, &parseError);
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
    const QJsonArray files = document.object().value(QStringLiteral("files")).toArray();
    QCOMPARE(files.size(), 5);

    const QJsonObject pic = files.at(0).toObject();
    QCOMPARE(pic.value(QStringLiteral("file")).toString(), QStringLiteral("pic.c"));
    QCOMPARE(pic.value(QStringLiteral("consistent")).toBool(), true);
    QCOMPARE(pic.value(QStringLiteral("version")).toInt(), 8);
    QCOMPARE(pic.value(QStringLiteral("source")).toString(), QStringLiteral("c"));
    QCOMPARE(pic.value(QStringLiteral("format")).toString(),
             QStringLiteral("LV_IMG_CF_TRUE_COLOR_ALPHA"));
    QCOMPARE(pic.value(QStringLiteral("width")).toInt(), 7);
    QCOMPARE(pic.value(QStringLiteral("height")).toInt(), 5);
    QCOMPARE(pic.value(QStringLiteral("dataSize")).toInt(), 105);
    QCOMPARE(pic.value(QStringLiteral("bytesPresent")).toInt(), 105);
    QCOMPARE(pic.value(QStringLiteral("depth")).toInt(), 16);
    QCOMPARE(pic.value(QStringLiteral("depthSections")).toArray(),
             QJsonArray({"8", "16", "16swap", "32"}));
    QVERIFY(pic.value(QStringLiteral("compression")).isUndefined());

    const QJsonObject red = files.at(1).toObject();
    QCOMPARE(red.value(QStringLiteral("version")).toInt(), 9);
    QCOMPARE(red.value(QStringLiteral("flagNames")).toArray(), QJsonArray({"COMPRESSED"}));
    const QJsonObject compression = red.value(QStringLiteral("compression")).toObject();
    QCOMPARE(compression.value(QStringLiteral("method")).toString(), QStringLiteral("RLE"));
    QCOMPARE(compression.value(QStringLiteral("compressedBytes")).toInt(), 3);
    QCOMPARE(compression.value(QStringLiteral("uncompressedBytes")).toInt(), 8);
    QVERIFY(qAbs(compression.value(QStringLiteral("ratio")).toDouble() - 8.0 / 3.0) < 1e-9);
    QVERIFY(!red.contains(QStringLiteral("depthSections")));

    const QJsonObject idx = files.at(2).toObject();
    const QJsonObject palette = idx.value(QStringLiteral("palette")).toObject();
    QCOMPARE(palette.value(QStringLiteral("stored")).toInt(), 4);
    QVERIFY(palette.value(QStringLiteral("used")).toInt() >= 1);
    QVERIFY(palette.value(QStringLiteral("used")).toInt() <= 4);

    const QJsonObject cut = files.at(3).toObject();
    QCOMPARE(cut.value(QStringLiteral("consistent")).toBool(), false);
    QCOMPARE(cut.value(QStringLiteral("readable")).toBool(), true);
    QCOMPARE(cut.value(QStringLiteral("error")).toString(),
             QStringLiteral("the data ends early: 5 of the 10 bytes a 7 x 5 ALPHA_2BIT image "
                            "needs"));

    const QJsonObject gone = files.at(4).toObject();
    QCOMPARE(gone.value(QStringLiteral("readable")).toBool(), false);
    QCOMPARE(gone.value(QStringLiteral("consistent")).toBool(), false);
    QCOMPARE(gone.value(QStringLiteral("error")).toString(),
             QStringLiteral("cannot be read (no such file or directory)"));
    // Without --lv-conf there is no verdict of a device.
    QVERIFY(!pic.contains(QStringLiteral("device")));

    // With it, each readable file gets one: whether it is drawn, why not,
    // and what it costs there.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf/lv_conf.h")), lvConf9));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("i4.c")), v9File(image, "I4", false)));
    const Outcome judged =
        runCli(dir.path(), {"inspect", "--json", "--lv-conf", "conf/lv_conf.h", "red.bin", "i4.c"});
    QCOMPARE(judged.exitCode, 1);
    const QJsonArray judgedFiles =
        QJsonDocument::fromJson(judged.out).object().value(QStringLiteral("files")).toArray();
    QCOMPARE(judgedFiles.size(), 2);
    const QJsonObject refused =
        judgedFiles.at(0).toObject().value(QStringLiteral("device")).toObject();
    QCOMPARE(refused.value(QStringLiteral("draws")).toBool(), false);
    QVERIFY(refused.value(QStringLiteral("reason"))
                .toString()
                .contains(QLatin1String("conf/lv_conf.h:7: LV_USE_RLE is 0")));
    const QJsonObject drawn =
        judgedFiles.at(1).toObject().value(QStringLiteral("device")).toObject();
    QCOMPARE(drawn.value(QStringLiteral("draws")).toBool(), true);
    QVERIFY(drawn.value(QStringLiteral("reason")).isNull());
    QCOMPARE(drawn.value(QStringLiteral("warnings")).toArray().size(), 1);

    // Animations: the frames, their delays, the duration and loop count,
    // and an embedded GIF's player RAM.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("spin.c")), frameSetText()));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("gif.c")), embeddedGifText()));
    const Outcome animated = runCli(dir.path(), {"inspect", "--json", "spin.c", "gif.c"});
    QCOMPARE(animated.exitCode, 0);
    const QJsonArray both =
        QJsonDocument::fromJson(animated.out).object().value(QStringLiteral("files")).toArray();
    QCOMPARE(both.size(), 2);
    const QJsonObject set = both.at(0).toObject().value(QStringLiteral("animation")).toObject();
    QCOMPARE(set.value(QStringLiteral("kind")).toString(), QStringLiteral("frameSet"));
    QCOMPARE(set.value(QStringLiteral("frameCount")).toInt(), 3);
    QCOMPARE(set.value(QStringLiteral("delaysMs")).toArray(), QJsonArray({100, 50, 0}));
    QCOMPARE(set.value(QStringLiteral("durationMs")).toInt(), 150);
    QCOMPARE(set.value(QStringLiteral("loopCount")).toInt(), 0);
    const QJsonArray frames = set.value(QStringLiteral("frames")).toArray();
    QCOMPARE(frames.size(), 3);
    QCOMPARE(frames.at(2).toObject().value(QStringLiteral("name")).toString(),
             QStringLiteral("spin_2"));
    QCOMPARE(frames.at(2).toObject().value(QStringLiteral("sharesWith")).toString(),
             QStringLiteral("spin_0_map"));
    QCOMPARE(frames.at(1).toObject().value(QStringLiteral("dataSize")).toInt(), 2);
    QVERIFY(!frames.at(1).toObject().contains(QStringLiteral("sharesWith")));
    const QJsonObject embedded =
        both.at(1).toObject().value(QStringLiteral("animation")).toObject();
    QCOMPARE(embedded.value(QStringLiteral("kind")).toString(), QStringLiteral("gif"));
    QCOMPARE(embedded.value(QStringLiteral("delaysMs")).toArray(), QJsonArray({70, 120}));
    QCOMPARE(embedded.value(QStringLiteral("loopCount")).toInt(), 2);
    QCOMPARE(embedded.value(QStringLiteral("playerRamBytes")).toInt(), 6 * 4 * 4);
    QCOMPARE(
        embedded.value(QStringLiteral("canvas")).toObject().value(QStringLiteral("width")).toInt(),
        6);
    QVERIFY(!both.at(0).toObject().isEmpty() && !pic.contains(QStringLiteral("animation")));

#ifdef Q_OS_UNIX
    // Each "file" maps back to its file: the name exactly, as JSON escapes
    // it, and the bytes in hex beside a name that is not UTF-8.
    const QList<QByteArray> names = {"nl\\nx.bin", "nl\nx.bin", "caf\xe9.bin"};
    for (const QByteArray &name : names) {
        const QByteArray file = QFile::encodeName(dir.path()) + '/' + name;
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        const QByteArray bytes = v9Compressed();
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
    }
    const Outcome named = runCliBytes(dir.path(), QList<QByteArray> {"inspect", "--json"} + names);
    QCOMPARE(named.exitCode, 0);
    QVERIFY(named.out.contains("\"file\": \"nl\\\\nx.bin\""));
    QVERIFY(named.out.contains("\"file\": \"nl\\nx.bin\""));
    const QJsonArray namedFiles =
        QJsonDocument::fromJson(named.out).object().value(QStringLiteral("files")).toArray();
    QCOMPARE(namedFiles.size(), 3);
    QCOMPARE(namedFiles.at(0).toObject().value(QStringLiteral("file")).toString(),
             QStringLiteral("nl\\nx.bin"));
    QCOMPARE(namedFiles.at(1).toObject().value(QStringLiteral("file")).toString(),
             QStringLiteral("nl\nx.bin"));
    QVERIFY(!namedFiles.at(1).toObject().contains(QStringLiteral("fileBytes")));
    QCOMPARE(namedFiles.at(2).toObject().value(QStringLiteral("fileBytes")).toString(),
             QStringLiteral("636166e92e62696e"));
#endif
}

void TestCli::inspectPreviews_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("options");

    const QImage image = inspectImage();
    QTest::newRow("C TRUE_COLOR_ALPHA, depth 16 swapped")
        << lvglFile(image, "TRUE_COLOR_ALPHA", false) << QStringList {"--depth", "16", "--swap"};
    QTest::newRow("C TRUE_COLOR_ALPHA, depth 8 over a background")
        << lvglFile(image, "TRUE_COLOR_ALPHA", false)
        << QStringList {"--depth", "8", "--background", "#204060"};
    QTest::newRow("chroma-keyed .bin with its own key")
        << lvglFile(image, "TRUE_COLOR_CHROMA_KEYED", true, ColorDepth::Depth32)
        << QStringList {"--chroma-key", "0x0AC81E"};
    QTest::newRow("ALPHA_4BIT .bin in a recolour")
        << lvglFile(image, "ALPHA_4BIT", true) << QStringList {"--recolor", "ff8000"};
    QTest::newRow("v9 compressed") << v9Compressed() << QStringList {"--depth", "32"};
    QTest::newRow("frame set, frame 1") << frameSetText() << QStringList {"--frame", "1"};
    QTest::newRow("embedded GIF, frame 1 at depth 16")
        << embeddedGifText() << QStringList {"--frame", "1", "--depth", "16"};
}

// --png writes exactly what the decoder shows for the same settings.
void TestCli::inspectPreviews()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, options);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("pic")), content));
    const Outcome outcome = runCli(
        dir.path(), QStringList {"inspect", "--png", "shown.png"} + options + QStringList {"pic"});
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(outcome.err.isEmpty(), outcome.err.constData());

    DeviceSettings device;
    int frame = 0;
    for (int i = 0; i < options.size(); ++i) {
        const QString value = options.value(i + 1);
        QString hex = value;
        hex.remove(QLatin1Char('#')).remove(QStringLiteral("0x"));
        if (options.at(i) == QLatin1String("--depth"))
            device.depth = value.toInt();
        else if (options.at(i) == QLatin1String("--swap"))
            device.swap = true;
        else if (options.at(i) == QLatin1String("--frame"))
            frame = value.toInt();
        else if (options.at(i) == QLatin1String("--chroma-key"))
            device.chromaKey = hex.toUInt(nullptr, 16);
        else if (options.at(i) == QLatin1String("--recolor"))
            device.recolor = hex.toUInt(nullptr, 16);
        else if (options.at(i) == QLatin1String("--background")) {
            device.hasBackground = true;
            device.background = hex.toUInt(nullptr, 16);
        }
    }
    const LvglDecodeResult decoded = decodeLvglFile(content, device);
    QVERIFY2(decoded.ok(), qPrintable(decoded.error));
    const QImage written(dir.filePath(QStringLiteral("shown.png")));
    QVERIFY(!written.isNull());
    QCOMPARE(written.hasAlphaChannel(), !device.hasBackground);
    const QImage wanted = frame > 0 ? decoded.frames.value(frame) : decoded.image;
    QVERIFY(!wanted.isNull());
    QCOMPARE(written.convertToFormat(QImage::Format_ARGB32),
             wanted.convertToFormat(QImage::Format_ARGB32));
    // A frame other than the first looks different from it here.
    if (frame > 0)
        QVERIFY(wanted != decoded.image);
}

// With several files, the previews go into a folder, each named after its
// file; a file that cannot be shown gets none, and the run fails.
void TestCli::inspectPreviewFolder()
{
    QTemporaryDir dir;
    const QImage image = inspectImage();
    QVERIFY(writeFile(dir.filePath(QStringLiteral("in/pic.c")),
                      lvglFile(image, "INDEXED_4BIT", false)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("in/pic.bin")),
                      lvglFile(image, "TRUE_COLOR", true, ColorDepth::Depth16)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("wide.bin")),
                      lvglFile(image, "TRUE_COLOR_ALPHA", true, ColorDepth::Depth32)));
    const Outcome outcome = runCli(dir.path(),
                                   {"inspect", "--depth", "16", "--png", "shown/deeper", "in/pic.c",
                                    "in/pic.bin", "wide.bin"});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.errLines(),
             QList<QByteArray> {"brindleforge-cli: wide.bin: holds 4 bytes per pixel: it is made "
                                "for LV_COLOR_DEPTH 32, not 16"});
    QCOMPARE(entries(dir.filePath(QStringLiteral("shown/deeper"))),
             QStringList({"pic.bin.png", "pic.c.png"}));
    for (const char *name : {"pic.c", "pic.bin"}) {
        const QByteArray content =
            readFile(dir.filePath(QStringLiteral("in/") + QLatin1String(name)));
        const LvglDecodeResult decoded = decodeLvglFile(content, DeviceSettings());
        QVERIFY(decoded.ok());
        const QImage written(dir.filePath(QStringLiteral("shown/deeper/") + QLatin1String(name)
                                          + QStringLiteral(".png")));
        QCOMPARE(written.convertToFormat(QImage::Format_ARGB32),
                 decoded.image.convertToFormat(QImage::Format_ARGB32));
    }
}

// A FIFO among the files is refused at once, without waiting for a writer.
void TestCli::inspectFifo()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    QCOMPARE(
        ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.bin"))).constData(), 0600), 0);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("red.bin")), v9Compressed()));
    const Outcome outcome = runCliBytes(dir.path(), {"inspect", "pipe.bin", "red.bin"}, 0, 20000);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.errLines(),
             QList<QByteArray> {"brindleforge-cli: pipe.bin: not a regular file"});
    QVERIFY(outcome.out.contains("red.bin:\n"));

    // A FIFO as the device's configuration is refused unopened too, by the
    // conversion and by inspect.
    for (const QList<QByteArray> &arguments :
         {QList<QByteArray> {"--lv-conf", "pipe.bin", "--lvgl", "9", "--dry-run", "red.bin"},
          QList<QByteArray> {"inspect", "--lv-conf", "pipe.bin", "red.bin"}}) {
        const Outcome refused = runCliBytes(dir.path(), arguments, 0, 20000);
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.errLines().value(0).startsWith(
                     "brindleforge-cli: --lv-conf: pipe.bin: not a regular file"),
                 refused.err.constData());
    }
#else
    QSKIP("needs FIFOs");
#endif
}

// A batch checks the symbols the prefix makes, not those of the bare names.
void TestCli::symbolPrefixBatch_data()
{
    QTest::addColumn<QStringList>("prefix");
    QTest::addColumn<QString>("error"); // empty: converts
    QTest::addColumn<QStringList>("symbols");

    // Without a prefix "2x" is made img_2x, the symbol of "img_2x".
    QTest::newRow("no prefix: a clash") << QStringList()
                                        << "'in/2x.png' and 'in/img_2x.png' would both define "
                                           "the C symbol 'img_2x'"
                                        << QStringList();
    QTest::newRow("prefix: no clash") << QStringList {"--symbol-prefix", "ui_"} << QString()
                                      << QStringList {"ui_2x", "ui_img_2x"};
}

void TestCli::symbolPrefixBatch()
{
    QFETCH(QStringList, prefix);
    QFETCH(QString, error);
    QFETCH(QStringList, symbols);

    QTemporaryDir dir;
    saveImage(dir.filePath(QStringLiteral("in/2x.png")), TestImages::photo(5, 4, 1), "PNG");
    saveImage(dir.filePath(QStringLiteral("in/img_2x.png")), TestImages::photo(6, 3, 2), "PNG");
    const Outcome outcome = runCli(dir.path(), prefix + QStringList {"-o", "out", "in"});
    if (!error.isEmpty()) {
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY2(outcome.err.contains(error.toUtf8()), outcome.err.constData());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("out"))));
        return;
    }
    VERIFY_SUCCESS(outcome);
    const QStringList outputs = {QStringLiteral("out/2x.c"), QStringLiteral("out/img_2x.c")};
    for (int i = 0; i < outputs.size(); ++i) {
        const QByteArray text = readFile(dir.filePath(outputs.at(i)));
        const QByteArray symbol = symbols.at(i).toUtf8();
        QVERIFY2(text.contains(QByteArray("\nconst lv_img_dsc_t " + symbol + " = {\n")),
                 symbol.constData());
        QVERIFY(text.contains(QByteArray("    .data = " + symbol + "_map,\n")));
    }
}

// --dry-run plans as a conversion does and lists it, writing nothing.
void TestCli::dryRun_data()
{
    QTest::addColumn<QStringList>("arguments"); // the real run's; the dry run adds --dry-run
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("listed");

    QTest::newRow("folder into a new folder")
        << QStringList {"-o", "out", "in"} << 0
        << QByteArray("in/a.png -> out/a.c\nin/b.jpg -> out/b.c\n");
    QTest::newRow("one file, v9 .bin beside it")
        << QStringList {"--lvgl", "9", "-f", "bin", "--cf", "I4", "in/b.jpg"} << 0
        << QByteArray("in/b.jpg -> in/b.bin\n");
    QTest::newRow("previews are listed")
        << QStringList {"--preview", "seen", "-o", "out", "in"} << 0
        << QByteArray("in/a.png -> out/a.c\nout/a.c -> seen/a.c.png\n"
                      "in/b.jpg -> out/b.c\nout/b.c -> seen/b.c.png\n");
    QTest::newRow("a truncated PNG") << QStringList {"-o", "out", "in/a.png", "bad/cut.png"} << 1
                                     << QByteArray("in/a.png -> out/a.c\n");
    QTest::newRow("a text file named .png")
        << QStringList {"-o", "out/", "bad/text.png"} << 1 << QByteArray();
    QTest::newRow("an image too wide for v8")
        << QStringList {"-o", "out/", "bad/wide.png"} << 1 << QByteArray();
    QTest::newRow("a FIFO as the output")
        << QStringList {"-o", "special/fifo.c", "in/a.png"} << 1 << QByteArray();
    QTest::newRow("/dev/full as the output")
        << QStringList {"-o", "/dev/full", "in/a.png"} << 1 << QByteArray();
    QTest::newRow("the output's folder is missing")
        << QStringList {"-o", "missing/a.c", "in/a.png"} << 1 << QByteArray();
    QTest::newRow("the new output folder is under a file")
        << QStringList {"-o", "bad/text.png/out", "in"} << 1 << QByteArray();
    QTest::newRow("a folder where a preview goes")
        << QStringList {"--preview", "shown", "-o", "out", "in"} << 1
        << QByteArray("in/a.png -> out/a.c\nin/b.jpg -> out/b.c\nout/b.c -> shown/b.c.png\n");
    // With transforms, each output's final size.
    QTest::newRow("fit lists the final sizes")
        << QStringList {"--fit", "10x", "--preview", "seen", "-o", "out", "in"} << 0
        << QByteArray("in/a.png -> out/a.c (10 x 8)\nout/a.c -> seen/a.c.png\n"
                      "in/b.jpg -> out/b.c (10 x 8)\nout/b.c -> seen/b.c.png\n");
    QTest::newRow("frame sets list their frames")
        << QStringList {"--frames", "-o", "out", "in"} << 0
        << QByteArray("in/a.png -> out/a.c (1 frame)\nin/b.jpg -> out/b.c (1 frame)\n");
    QTest::newRow("frame folders are named without a suffix")
        << QStringList {"--frames", "--grid", "1x2",    "--lvgl", "9",   "-f",
                        "bin",      "--cf",   "RGB565", "-o",     "out", "in"}
        << 0 << QByteArray("in/a.png -> out/a (2 frames)\nin/b.jpg -> out/b (2 frames)\n");
    QTest::newRow("a grid that does not divide")
        << QStringList {"--frames", "--grid", "3x1", "in/a.png"} << 1 << QByteArray();
    QTest::newRow("cropped, then turned")
        << QStringList {"--crop", "1,1,3,2", "--rotate", "90", "in/a.png"} << 0
        << QByteArray("in/a.png -> in/a.c (2 x 3)\n");
    QTest::newRow("too wide for v8 until it is fitted")
        << QStringList {"--fit", "100x", "-o", "out/", "bad/wide.png"} << 0
        << QByteArray("bad/wide.png -> out/wide.c (100 x 1)\n");
    QTest::newRow("a crop outside the image")
        << QStringList {"--crop", "0,0,5,5", "-o", "out", "in/a.png", "bad/wide.png"} << 1
        << QByteArray("bad/wide.png -> out/wide.c (5 x 5)\n");
    QTest::newRow("a pack lists its four files")
        << QStringList {"--lvgl", "9", "--cf", "RGB565", "--pack", "ui", "-o", "out", "in"} << 0
        << QByteArray("in/a.png -> out/ui.bin\nin/b.jpg -> out/ui.bin\npack ui -> out/ui.bin\n"
                      "pack ui -> out/ui.h\npack ui -> out/ui.c\npack ui -> out/ui_blob.S\n");
    QTest::newRow("a pack with a truncated PNG")
        << QStringList {"--pack", "ui", "-o", "out", "in/a.png", "bad/cut.png"} << 1
        << QByteArray();
}

// A dry run does all that the run does but the final writes: the same exit
// status, the same failure lines, and nothing written.
void TestCli::dryRun()
{
#ifdef Q_OS_UNIX
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, listed);

    QTemporaryDir dir;
    const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    saveImage(path("in/a.png"), TestImages::photo(5, 4, 1), "PNG");
    saveImage(path("in/b.jpg"), TestImages::photo(5, 4, 2), "JPEG");
    saveImage(path("bad/wide.png"), TestImages::photo(3000, 10, 3), "PNG");
    QVERIFY(writeFile(path("bad/text.png"), "not an image"));
    const QByteArray png = readFile(path("in/a.png"));
    QVERIFY(writeFile(path("bad/cut.png"), png.left(png.size() / 2)));
    QVERIFY(QDir().mkpath(path("shown/a.c.png")));
    QVERIFY(QDir().mkpath(path("special")));
    QCOMPARE(::mkfifo(QFile::encodeName(path("special/fifo.c")).constData(), 0644), 0);
    // What is there before, but for the FIFO, which must not be read.
    const auto files = [&] {
        QMap<QString, QByteArray> all = snapshot(path("in"));
        const QMap<QString, QByteArray> bad = snapshot(path("bad"));
        for (auto it = bad.constBegin(); it != bad.constEnd(); ++it)
            all.insert(QStringLiteral("bad/") + it.key(), it.value());
        for (const char *folder : {"out", "seen", "shown", "missing"})
            all.insert(QLatin1String(folder), QFileInfo::exists(path(folder)) ? "here" : "none");
        return all;
    };
    const QMap<QString, QByteArray> before = files();

    QList<QByteArray> dryArguments {"--dry-run"};
    QList<QByteArray> realArguments;
    for (const QString &a : qAsConst(arguments)) {
        dryArguments << a.toUtf8();
        realArguments << a.toUtf8();
    }
    const Outcome dry = runCliBytes(dir.path(), dryArguments);
    QCOMPARE(dry.exitCode, exitCode);
    QCOMPARE(dry.out, listed);
    QCOMPARE(files(), before);
    struct stat st;
    QVERIFY(::lstat(QFile::encodeName(path("special/fifo.c")).constData(), &st) == 0
            && S_ISFIFO(st.st_mode));

    const Outcome real = runCliBytes(dir.path(), realArguments);
    QCOMPARE(real.exitCode, exitCode);
    QCOMPARE(real.err, dry.err);
    QVERIFY(real.out.isEmpty());
#else
    QSKIP("needs FIFOs");
#endif
}

void TestCli::standardOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("written"); // what stdout holds: a file's name, or "preview:" one

    QTest::newRow("a C array") << QStringList {"-o", "-", "logo.png"} << "expected.c";
    QTest::newRow("a .bin") << QStringList {"-f", "bin-rgb565", "-o", "-", "logo.png"}
                            << "expected.bin";
    QTest::newRow("the prefix and the name joined")
        << QStringList {"--symbol-prefix", "lv_img", "-n", "_decoder_open", "-o", "-", "logo.png"}
        << "named.c";
    QTest::newRow("a preview") << QStringList {"--preview", "-", "-o", "logo.c", "logo.png"}
                               << "preview:logo.c";
    QTest::newRow("the output, and its preview from the same bytes")
        << QStringList {"-o", "-", "--preview", "shown.png", "logo.png"} << "expected.c";
    QTest::newRow("inspect's PNG")
        << QStringList {"inspect", "--png", "-", "expected.bin"} << "preview:expected.bin";
}

// "-" is standard output, for one output, one preview or one inspected PNG.
void TestCli::standardOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, written);

    QTemporaryDir dir;
    const QImage image = TestImages::photo(9, 6, 4);
    saveImage(dir.filePath(QStringLiteral("logo.png")), image, "PNG");
    const QString source = dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("expected.c")),
                      expected(source, CArray, TrueColor, QStringLiteral("logo.c"))));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("expected.bin")),
                      expected(source, BinaryRgb565, TrueColor, QStringLiteral("logo.bin"))));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("named.c")),
                      expected(source, CArray, TrueColor, QStringLiteral("x.c"),
                               QStringLiteral("lv_img_decoder_open"))));

    const Outcome outcome = runCli(dir.path(), arguments);
    QVERIFY2(outcome.exitCode == 0, outcome.err.constData());
    QVERIFY2(outcome.err.isEmpty(), outcome.err.constData());
    if (written.startsWith(QLatin1String("preview:"))) {
        const QString file = dir.filePath(written.mid(8));
        const LvglDecodeResult shown = decodeLvglFileNamed(file, readFile(file), DeviceSettings());
        QVERIFY2(shown.ok(), qPrintable(shown.error));
        QImage png;
        QVERIFY(png.loadFromData(outcome.out, "PNG"));
        QCOMPARE(png.convertToFormat(QImage::Format_ARGB32),
                 shown.image.convertToFormat(QImage::Format_ARGB32));
    } else {
        QCOMPARE(outcome.out, readFile(dir.filePath(written)));
    }
    // Nothing named "-" was made.
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("-"))));
    const QString shown = dir.filePath(QStringLiteral("shown.png"));
    if (arguments.contains(QStringLiteral("shown.png"))) {
        const LvglDecodeResult decoded = decodeLvglFile(outcome.out, DeviceSettings());
        QVERIFY2(decoded.ok(), qPrintable(decoded.error));
        QCOMPARE(QImage(shown).convertToFormat(QImage::Format_ARGB32),
                 decoded.image.convertToFormat(QImage::Format_ARGB32));
    }
}

namespace {

// A JPEG whose frame header claims width x height: the segments and the
// scan stay whole, so only a decoder would notice.
QByteArray jpegClaiming(const QByteArray &jpeg, int width, int height)
{
    QByteArray patched = jpeg;
    for (int i = 2; i + 9 < patched.size(); ++i) {
        const uchar marker = uchar(patched.at(i + 1));
        if (uchar(patched.at(i)) == 0xff && marker >= 0xc0 && marker <= 0xc2) {
            patched[i + 5] = char(height >> 8);
            patched[i + 6] = char(height);
            patched[i + 7] = char(width >> 8);
            patched[i + 8] = char(width);
            break;
        }
    }
    return patched;
}

} // namespace

void TestCli::embeddedSources_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("said"); // in stderr
    QTest::addColumn<QByteArray>("header"); // in the C file written

    // The RAW formats embed the file: its header and a walk over its data
    // decide, whatever a decode would cost.
    QTest::newRow("a JPEG past the decoding budget")
        << QStringList {"-v", "--lvgl", "9", "--cf", "RAW", "-o", "out.c", "huge.jpg"} << 0
        << QByteArray("huge.jpg: the library's JPEG decoder needs about 274.7 MiB of RAM to draw "
                      "it (12000 x 8000 x 3 bytes), more than most devices have")
        << QByteArray("    .header.w = 12000,\n    .header.h = 8000,\n");
    QTest::newRow("a small PNG, with its RAM")
        << QStringList {"-v", "-c", "RAW_ALPHA", "-o", "out.c", "small.png"} << 0
        << QByteArray("small.png: the library's PNG decoder needs about 1 KiB of RAM to draw it "
                      "(16 x 12 x 4 bytes)")
        << QByteArray("    .header.w = 16,\n    .header.h = 12,\n");
    QTest::newRow("a JPEG cut short")
        << QStringList {"-c", "RAW", "-o", "out.c", "cut.jpg"} << 1
        << QByteArray("cut.jpg -> out.c: cannot be decoded (truncated or corrupt data)")
        << QByteArray();
    QTest::newRow("a PNG cut short")
        << QStringList {"--lvgl", "9", "--cf", "RAW_ALPHA", "-o", "out.c", "cut.png"} << 1
        << QByteArray("cut.png -> out.c: cannot be decoded (truncated or corrupt data)")
        << QByteArray();
    QTest::newRow("a PNG with a damaged image data CRC")
        << QStringList {"-c", "RAW_ALPHA", "-o", "out.c", "crc.png"} << 1
        << QByteArray("crc.png -> out.c: cannot be decoded (truncated or corrupt data)")
        << QByteArray();

    // A GIF for the library's GIF player, which allocates by its version
    // and depth.
    QTest::newRow("a GIF for LVGL 8's player, with its RAM")
        << QStringList {"-v", "-c", "RAW", "-o", "out.c", "anim.gif"} << 0
        << QByteArray("anim.gif: the library's GIF player needs about 2 KiB of RAM to play it at "
                      "LV_COLOR_DEPTH 16 (20 x 16 x 4 bytes)")
        << QByteArray("    .header.cf = LV_IMG_CF_RAW,\n");
    QTest::newRow("a GIF for LVGL 8's player, at the depth of its lv_conf.h")
        << QStringList {"-v", "--lv-conf", "lv_conf.h", "--lvgl", "8",
                        "-c", "RAW",       "-o",        "out.c",  "anim.gif"}
        << 0
        << QByteArray("anim.gif: the library's GIF player needs about 2 KiB of RAM to play it at "
                      "LV_COLOR_DEPTH 32 (20 x 16 x 5 bytes)")
        << QByteArray("    .header.cf = LV_IMG_CF_RAW,\n");
    QTest::newRow("a GIF for a build without the GIF player")
        << QStringList {"--lv-conf", "nogif.h", "--lvgl", "9",       "--cf",
                        "RAW",       "-o",      "out.c",  "anim.gif"}
        << 2
        << QByteArray("anim.gif: a GIF is drawn by the GIF player, which this configuration leaves "
                      "out: nogif.h does not set LV_USE_GIF")
        << QByteArray();
    QTest::newRow("a GIF as RAW_ALPHA for LVGL 8")
        << QStringList {"-c", "RAW_ALPHA", "-o", "out.c", "anim.gif"} << 0 << QByteArray()
        << QByteArray("    .header.w = 20,\n    .header.h = 16,\n");
    QTest::newRow("a GIF for LVGL 9's player, with its RAM")
        << QStringList {"-v", "--lvgl", "9", "--cf", "RAW", "-o", "out.c", "anim.gif"} << 0
        << QByteArray("anim.gif: the library's GIF player needs about 21 KiB of RAM to play it "
                      "(20 x 16 x 4 bytes in ARGB8888, plus about 20 KB of decoder state)")
        << QByteArray("    .header.w = 20,\n    .header.h = 16,\n");
    QTest::newRow("a GIF restoring to previous, LVGL 9 warns")
        << QStringList {"--lvgl", "9", "--cf", "RAW", "-o", "out.c", "back.gif"} << 0
        << QByteArray("back.gif -> out.c: warning: a frame has disposal method 3 (restore to "
                      "previous), which LVGL 9's GIF player does not support")
        << QByteArray("    .header.w = 20,\n    .header.h = 16,\n");
    QTest::newRow("a GIF restoring to previous, LVGL 8 plays it")
        << QStringList {"-c", "RAW", "-o", "out.c", "back.gif"} << 0 << QByteArray()
        << QByteArray("    .header.w = 20,\n    .header.h = 16,\n");
    QTest::newRow("a GIF cut in its last frame")
        << QStringList {"-c", "RAW", "-o", "out.c", "cut.gif"} << 1
        << QByteArray("cut.gif -> out.c: cannot be decoded (truncated or corrupt data)")
        << QByteArray();
}

void TestCli::embeddedSources()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, said);
    QFETCH(QByteArray, header);

    QTemporaryDir dir;
    const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    saveImage(path("photo.jpg"), TestImages::photo(40, 30, 5), "JPEG");
    saveImage(path("small.png"), TestImages::photo(16, 12, 6), "PNG");
    const QByteArray jpeg = readFile(path("photo.jpg"));
    const QByteArray png = readFile(path("small.png"));
    QVERIFY(writeFile(path("huge.jpg"), jpegClaiming(jpeg, 12000, 8000)));
    QVERIFY(writeFile(path("cut.jpg"), jpeg.left(jpeg.size() - 40)));
    QVERIFY(writeFile(path("cut.png"), png.left(png.size() - 20)));
    QByteArray crc = png;
    crc[crc.indexOf("IDAT") + 6] = char(crc.at(crc.indexOf("IDAT") + 6) ^ 0x40);
    QVERIFY(writeFile(path("crc.png"), crc));
    EncodedFiles::GifFrame first;
    first.image = TestImages::photo(20, 16, 2).convertToFormat(QImage::Format_Indexed8);
    first.delayCs = 10;
    EncodedFiles::GifFrame second = first;
    second.image = TestImages::photo(8, 8, 3).convertToFormat(QImage::Format_Indexed8);
    second.localTable = true;
    second.at = QPoint(4, 4);
    const QByteArray gif = EncodedFiles::gif(QSize(20, 16), {first, second, first}, 0);
    QVERIFY(writeFile(path("anim.gif"), gif));
    QVERIFY(writeFile(path("cut.gif"), gif.left(gif.size() - 30)));
    second.disposal = 3;
    QVERIFY(writeFile(path("back.gif"), EncodedFiles::gif(QSize(20, 16), {first, second, first})));
    QVERIFY(writeFile(path("lv_conf.h"), "#define LV_COLOR_DEPTH 32\n#define LV_USE_GIF 1\n"));
    QVERIFY(writeFile(path("nogif.h"), "#define LV_COLOR_DEPTH 16\n"));

    const Outcome outcome = runCli(dir.path(), arguments);
    QCOMPARE(outcome.exitCode, exitCode);
    QVERIFY2(outcome.err.contains(said), outcome.err.constData());
    QVERIFY2(!outcome.err.contains("warning") || said.contains("warning"), outcome.err.constData());
    if (exitCode != 0) {
        QVERIFY(!QFileInfo::exists(path("out.c")));
        return;
    }
    const QByteArray text = readFile(path("out.c"));
    QVERIFY2(text.contains(header), text.right(300).constData());
    const QByteArray embedded = readFile(dir.filePath(arguments.constLast()));
    QVERIFY(text.contains(QByteArray(".data_size = " + QByteArray::number(embedded.size()) + ",")));
}

// A batch in which opaque pixels of one image take the chroma key's value
// is written, exit code 0, with one warning per depth section that names
// the files, even with -q.
void TestCli::chromaKeyWarnings()
{
    QTemporaryDir dir;
    QImage image(15, 5, QImage::Format_RGB32);
    image.fill(qRgb(200, 50, 50));
    saveImage(dir.filePath(QStringLiteral("in/plain.png")), image, "PNG");
    for (int x = 0; x < 15; ++x)
        image.setPixel(x, 2, qRgb(0, 0xfc, 0));
    saveImage(dir.filePath(QStringLiteral("in/key.png")), image, "PNG");

    const Outcome outcome =
        runCli(dir.path(), {"-q", "-j", "2", "-c", "chroma-keyed", "-o", "out", "in"});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(entries(dir.filePath(QStringLiteral("out"))), QStringList({"key.c", "plain.c"}));
    QList<QByteArray> lines;
    for (const char *depth : {"8", "16", "16 with LV_COLOR_16_SWAP"}) {
        lines << "brindleforge-cli: in/key.png -> out/key.c: warning: 15 opaque pixels near the "
                 "chroma key 0x00FF00 take its value at LV_COLOR_DEPTH "
                + QByteArray(depth)
                + " and are not drawn; choose a key colour the image does not use "
                  "(LV_COLOR_CHROMA_KEY), or a format with alpha";
    }
    QCOMPARE(outcome.errLines(), lines);

    // LV_COLOR_CHROMA_KEY of the device's configuration is the key: a row
    // of its own colour is meant to be left out, and pure green, which
    // takes its value at depth 8 and 16, is said to vanish. The bytes are
    // the same whatever the key.
    for (int x = 0; x < 15; ++x)
        image.setPixel(x, 0, qRgb(0, 0xff, 0));
    saveImage(dir.filePath(QStringLiteral("in/key.png")), image, "PNG");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf/lv_conf.h")), lvConf8));
    const Outcome keyed = runCli(
        dir.path(),
        {"--lv-conf", "conf/lv_conf.h", "-c", "chroma-keyed", "-o", "keyed.c", "in/key.png"});
    QCOMPARE(keyed.exitCode, 0);
    lines.clear();
    for (const char *depth : {"8", "16", "16 with LV_COLOR_16_SWAP"}) {
        lines << "brindleforge-cli: in/key.png -> keyed.c: warning: 15 opaque pixels near the "
                 "chroma key 0x00FC00 take its value at LV_COLOR_DEPTH "
                + QByteArray(depth)
                + " and are not drawn; choose a key colour the image does not use "
                  "(LV_COLOR_CHROMA_KEY), or a format with alpha";
    }
    QCOMPARE(keyed.errLines(), lines);
    const Outcome plain =
        runCli(dir.path(), {"-q", "-c", "chroma-keyed", "-o", "keyed-plain.c", "in/key.png"});
    QCOMPARE(plain.exitCode, 0);
    QByteArray keyedText = readFile(dir.filePath(QStringLiteral("keyed.c")));
    QVERIFY(!keyedText.isEmpty());
    keyedText.replace("keyed", "keyed_plain");
    QCOMPARE(keyedText, readFile(dir.filePath(QStringLiteral("keyed-plain.c"))));

    // The preview leaves out what the device leaves out with that key: with
    // magenta as the key, a magenta row vanishes and the green row stays.
    for (int x = 0; x < 15; ++x)
        image.setPixel(x, 4, qRgb(0xff, 0, 0xff));
    saveImage(dir.filePath(QStringLiteral("in/key.png")), image, "PNG");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("magenta/lv_conf.h")),
                      "#define LV_COLOR_CHROMA_KEY lv_color_hex(0xff00ff)\n"
                      "#define LV_USE_PNG 0\n"));
    for (const bool configured : {false, true}) {
        QStringList arguments = {"-q",      "-c",        "chroma-keyed", "-o",
                                 "shown.c", "--preview", "shown.png",    "in/key.png"};
        if (configured)
            arguments << "--lv-conf"
                      << "magenta/lv_conf.h";
        QCOMPARE(runCli(dir.path(), arguments).exitCode, 0);
        const QImage shown(dir.filePath(QStringLiteral("shown.png")));
        QCOMPARE(shown.size(), QSize(15, 5));
        QCOMPARE(qAlpha(shown.pixel(3, 0)), configured ? 255 : 0); // green
        QCOMPARE(qAlpha(shown.pixel(3, 4)), configured ? 0 : 255); // magenta
        QCOMPARE(qAlpha(shown.pixel(3, 1)), 255);
    }
}

void TestCli::deviceConfiguration_data()
{
    QTest::addColumn<QStringList>("arguments"); // with conf/lv_conf.h; the source is pic.png
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QByteArray>("version"); // conf/lv_version.h, or none when empty
    QTest::addColumn<QString>("output");
    // The options that give the same bytes without --lv-conf.
    QTest::addColumn<QStringList>("same");
    QTest::addColumn<QStringList>("err"); // a part of each line on stderr, in order

    const auto args = [](const char *line) { return QString::fromLatin1(line).split(' '); };
    const QByteArray v9 = lvConf9;
    const QByteArray v8 = lvConf8;
    const QByteArray v91("#define LVGL_VERSION_MAJOR 9\n#define LVGL_VERSION_MINOR 1\n"
                         "#define LVGL_VERSION_PATCH 0\n");
    const QStringList quiet;
    QTest::newRow("v8 .bin at the file's depth") << args("-f bin") << v8 << QByteArray(lvVersion8)
                                                 << "pic.bin" << args("-f bin --depth 32") << quiet;
    QTest::newRow("v8 .bin of LV_COLOR_16_SWAP")
        << args("-f bin -c TRUE_COLOR_ALPHA")
        << QByteArray("#define LV_COLOR_DEPTH 16\n#define LV_COLOR_16_SWAP 1\n")
        << QByteArray(lvVersion8) << "pic.bin" << args("-f bin -c TRUE_COLOR_ALPHA --depth 16swap")
        << quiet;
    QTest::newRow("v8 C array as without the file") << args("-c INDEXED_4BIT") << v8 << QByteArray()
                                                    << "pic.c" << args("-c INDEXED_4BIT") << quiet;
    QTest::newRow("v9 stride from the file")
        << args("-f bin --cf RGB565") << v9 << QByteArray() << "pic.bin"
        << args("--lvgl 9 -f bin --cf RGB565 --stride-align 4") << quiet;
    QTest::newRow("v9 --stride-align wins, and the copy is said")
        << args("--cf RGB565 --stride-align 8") << v9 << QByteArray() << "pic.c"
        << args("--lvgl 9 --cf RGB565 --stride-align 8")
        << QStringList {"brindleforge-cli: pic.png -> pic.c: warning: the library copies this "
                        "image into heap RAM at load (its stride of 24 bytes is not the 20 that "
                        "conf/lv_conf.h:5: LV_DRAW_BUF_STRIDE_ALIGN is 4 asks for): 120 bytes"};
    QTest::newRow("v9 I4 is copied into RAM")
        << args("--cf I4 -f bin") << v9 << QByteArray() << "pic.bin"
        << args("--lvgl 9 --cf I4 -f bin --stride-align 4")
        << QStringList {"pic.png -> pic.bin: warning: the library copies this image into heap "
                        "RAM at load (I4 is expanded to ARGB8888): 240 bytes"};
    QTest::newRow("a frame set's frames are copied into RAM")
        << args("--frames --cf I4") << v9 << QByteArray() << "pic.c"
        << args("--lvgl 9 --frames --cf I4 --stride-align 4")
        << QStringList {"pic.png -> pic.c: warning: every frame: the library copies this image "
                        "into heap RAM at load (I4 is expanded to ARGB8888): 240 bytes"};
    QTest::newRow("a pack's entries are copied into RAM")
        << args("--cf I4 --pack pk") << v9 << QByteArray() << "pk.bin"
        << args("--lvgl 9 --cf I4 --stride-align 4 --pack pk")
        << QStringList {"pic.png: warning: the library copies this image into heap RAM at load "
                        "(I4 is expanded to ARGB8888): 240 bytes"};
    QTest::newRow("-q keeps the warnings quiet")
        << args("-q --cf I4") << v9 << QByteArray() << "pic.c"
        << args("--lvgl 9 --cf I4 --stride-align 4") << quiet;
    QTest::newRow("9.1 draws L8 whatever its switch")
        << args("--cf L8") << v9 << v91 << "pic.c" << args("--lvgl 9 --cf L8 --stride-align 4")
        << quiet;
    QTest::newRow("--lv-version names the release")
        << args("--cf L8 --lv-version conf/lv_version.h") << v9 << v91 << "pic.c"
        << args("--lvgl 9 --cf L8 --stride-align 4") << quiet;
    QTest::newRow("no lv_version.h, with --lvgl")
        << args("--lvgl 9 --cf RGB565") << QByteArray("#define LV_COLOR_DEPTH 16\n") << QByteArray()
        << "pic.c" << args("--lvgl 9 --cf RGB565") << quiet;
    QTest::newRow("--lvgl wins over lv_version.h")
        << args("--lvgl 9 --cf ARGB8888") << v8 << QByteArray(lvVersion8) << "pic.c"
        << args("--lvgl 9 --cf ARGB8888") << quiet;
    QTest::newRow("-v says what the reader passed over")
        << args("-v --cf RGB565")
        << QByteArray("#ifndef LV_CONF_H\n#define LV_CONF_H\n"
                      "#if defined(__has_include) && __has_include(<lz4.h>)\n"
                      "#define LV_USE_LZ4_EXTERNAL 1\n#endif\n"
                      "#define LV_DRAW_BUF_STRIDE_ALIGN LV_ALIGN()\n#endif\n")
        << QByteArray() << "pic.c" << args("--lvgl 9 --cf RGB565")
        << QStringList {"brindleforge-cli: conf/lv_conf.h: taken for LVGL 9, which alone defines "
                        "LV_DRAW_BUF_STRIDE_ALIGN (line 6)",
                        "conf/lv_conf.h: the release of LVGL 9 is unknown",
                        "conf/lv_conf.h:3: the condition of #if cannot be evaluated",
                        "conf/lv_conf.h:6: the value of LV_DRAW_BUF_STRIDE_ALIGN is not "
                        "understood ('(' does not belong in the expression); taken as not set"};
}

// The device's configuration decides what no option does, and says what
// the image costs on it; the bytes are those of the options it stands for.
void TestCli::deviceConfiguration()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, conf);
    QFETCH(QByteArray, version);
    QFETCH(QString, output);
    QFETCH(QStringList, same);
    QFETCH(QStringList, err);

    QTemporaryDir dir;
    QTemporaryDir plainDir;
    const QImage image = TestImages::photo(10, 6, 3);
    for (const QTemporaryDir *d : {&dir, &plainDir})
        saveImage(d->filePath(QStringLiteral("pic.png")), image, "PNG");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("conf/lv_conf.h")), conf));
    if (!version.isEmpty())
        QVERIFY(writeFile(dir.filePath(QStringLiteral("conf/lv_version.h")), version));

    const Outcome outcome =
        runCli(dir.path(),
               QStringList {"--lv-conf", "conf/lv_conf.h"} + arguments + QStringList {"pic.png"});
    QVERIFY2(outcome.exitCode == 0, outcome.err.constData());
    const QList<QByteArray> lines = outcome.errLines();
    QCOMPARE(lines.size(), err.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(lines.at(i).contains(err.at(i).toUtf8()), lines.at(i).constData());

    const Outcome plain = runCli(plainDir.path(), same + QStringList {"pic.png"});
    QCOMPARE(plain.exitCode, 0);
    const QByteArray bytes = readFile(dir.filePath(output));
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(bytes, readFile(plainDir.filePath(output)));
}

void TestCli::transforms_data()
{
    QTest::addColumn<QStringList>("arguments"); // the source is icon.png, 10 x 8
    QTest::addColumn<QString>("output"); // empty when nothing is written
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("err");
    // What the test does to the image for a conversion without transforms
    // that must give the same bytes; empty for none.
    QTest::addColumn<QString>("same");

    const QByteArray trimmed =
        "brindleforge-cli: icon.png: --trim cut 2 pixels on the left, 1 at the top, 3 on the "
        "right and 3 at the bottom\n";
    QTest::newRow("trim -v says what it cut")
        << QStringList {"-v", "--trim", "icon.png"} << "icon.c" << QSize(5, 4) << trimmed
        << "crop 2,1,5,4";
    QTest::newRow("trim without -v says nothing") << QStringList {"--trim", "icon.png"} << "icon.c"
                                                  << QSize(5, 4) << QByteArray() << "crop 2,1,5,4";
    QTest::newRow("rotate 90, v9 .bin")
        << QStringList {"--rotate", "90",   "--lvgl",   "9",       "-f",
                        "bin",      "--cf", "ARGB8888", "icon.png"}
        << "icon.bin" << QSize(8, 10) << QByteArray() << "rotate 90";
    QTest::newRow("rotate 270 and flip v")
        << QStringList {"--rotate", "270", "--flip", "v", "-c", "TRUE_COLOR_ALPHA", "icon.png"}
        << "icon.c" << QSize(8, 10) << QByteArray() << "rotate 270 flip v";
    QTest::newRow("flip h, -f bin-rgb565")
        << QStringList {"--flip", "h", "-f", "bin-rgb565", "icon.png"} << "icon.bin" << QSize(10, 8)
        << QByteArray() << "flip h";
    QTest::newRow("resize, height only") << QStringList {"--resize", "x4", "icon.png"} << "icon.c"
                                         << QSize(5, 4) << QByteArray() << QString();
    QTest::newRow("fit enlarges") << QStringList {"--fit", "25x100", "icon.png"} << "icon.c"
                                  << QSize(25, 20) << QByteArray() << QString();
    QTest::newRow("a crop outside fails, naming the image's size")
        << QStringList {"--crop", "8,0,3,3", "icon.png"} << QString() << QSize()
        << QByteArray(
               "brindleforge-cli: icon.png -> icon.c: --crop 8,0,3,3 reaches outside the image, "
               "which is 10 x 8 pixels\n")
        << QString();
    QTest::newRow("a trim of nothing visible fails")
        << QStringList {"--crop", "0,5,10,3", "--trim", "icon.png"} << QString() << QSize()
        << QByteArray("brindleforge-cli: icon.png -> icon.c: --trim finds no visible pixel: the "
                      "image (10 x 3 pixels) is fully transparent\n")
        << QString();
}

// Each transform end to end: the output has the final size, and for moves
// that do not resample, the very bytes of the moved image converted
// without transforms.
void TestCli::transforms()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(QSize, size);
    QFETCH(QByteArray, err);
    QFETCH(QString, same);

    QTemporaryDir dir;
    // A photo with a fully transparent border: 2 columns left, 1 row at the
    // top, 3 columns right and 3 rows at the bottom.
    QImage icon = TestImages::photo(10, 8, 4).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            if (x < 2 || x >= 7 || y < 1 || y >= 5)
                icon.setPixel(x, y, qRgba(0, 200, 0, 0));
        }
    }
    saveImage(dir.filePath(QStringLiteral("icon.png")), icon, "PNG");

    const Outcome outcome = runCli(dir.path(), QStringList {"-q"} + arguments);
    QCOMPARE(outcome.err, err);
    QCOMPARE(outcome.exitCode, output.isEmpty() ? 1 : 0);
    if (output.isEmpty()) {
        QCOMPARE(entries(dir.path()), QStringList {"icon.png"});
        return;
    }
    const QByteArray written = readFile(dir.filePath(output));
    const LvglDecodeResult shown = decodeLvglFile(written, DeviceSettings());
    QVERIFY2(shown.ok(), qPrintable(shown.error));
    QCOMPARE(shown.image.size(), size);
    if (same.isEmpty())
        return;

    QImage moved = icon;
    const QStringList steps = same.split(QLatin1Char(' '));
    for (int i = 0; i + 1 < steps.size(); i += 2) {
        const QString &value = steps.at(i + 1);
        if (steps.at(i) == QLatin1String("crop")) {
            const QStringList n = value.split(QLatin1Char(','));
            moved = moved.copy(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt());
        } else if (steps.at(i) == QLatin1String("rotate")) {
            moved = moved.transformed(QTransform().rotate(value.toInt()));
        } else {
            moved = moved.mirrored(value == QLatin1String("h"), value == QLatin1String("v"));
        }
    }
    saveImage(dir.filePath(QStringLiteral("moved/icon.png")), moved, "PNG");
    QStringList plain;
    for (int i = 0; i < arguments.size() - 1; ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("-v") || a == QLatin1String("--trim"))
            continue;
        if (a == QLatin1String("--rotate") || a == QLatin1String("--flip")) {
            ++i;
            continue;
        }
        plain << a;
    }
    VERIFY_SUCCESS(runCli(dir.filePath(QStringLiteral("moved")),
                          QStringList {"-q"} + plain + QStringList {"icon.png"}));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("moved/") + output)), written);
}

void TestCli::frameSets_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file"); // written, and holding every one of contents
    QTest::addColumn<QByteArrayList>("contents");
    QTest::addColumn<QByteArray>("noted"); // in the -v lines; empty for none

    const auto args = [](const char *line) { return QString::fromLatin1(line).split(' '); };
    QTest::newRow("128 frames kept to 127, the duration kept")
        << args("--frames --max-frames 127 -o anim.c many/anim.gif") << "anim.c"
        << QByteArrayList {"const uint32_t anim_frame_count = 127;",
                           "const uint32_t anim_duration_ms = 2560;",
                           "const uint32_t anim_loop_count = 0;", "&anim_126 };"}
        << QByteArray();
    QTest::newRow("a sprite sheet as v9 I4 frames")
        << args("--frames --grid 2x1 --lvgl 9 --cf I4 -o sheet.c sheet.png") << "sheet.c"
        << QByteArrayList {"sheet_frames[] = { &sheet_0, &sheet_1 };",
                           "sheet_frame_ms[] = { 100, 100 };", "LV_COLOR_FORMAT_I4"}
        << QByteArray();
    QTest::newRow("a batch writes one folder per source")
        << args("--frames -f bin --lvgl 9 --cf RGB565 --max-frames 4 -o out many sheet.png")
        << "out/anim/frames.txt"
        << QByteArrayList {"000.bin 640\n001.bin 640\n002.bin 640\n003.bin 640\n"} << QByteArray();
    QTest::newRow("the batch's other folder")
        << args("--frames -f bin --lvgl 9 --cf RGB565 --max-frames 4 -o out many sheet.png")
        << "out/sheet/frames.txt" << QByteArrayList {"000.bin 100\n"} << QByteArray();
    QTest::newRow("-v says zero delays are shown 100 ms")
        << args("-v --frames -o zero.c zero.gif") << "zero.c"
        << QByteArrayList {"zero_frame_ms[] = { 100, 100, 100 };"}
        << QByteArray("3 of 3 frames have no delay in the file: each is shown for 100 ms");
    QTest::newRow("-v says which frames share an array")
        << args("-v --frames -o same.c same.gif") << "same.c"
        << QByteArrayList {"    .data = same_0_map,\n};\n\nconst lv_img_dsc_t same_1"}
        << QByteArray("1 frame equals the frame before it and shares its pixels");
}

// Frame sets from the command line: a GIF, a sprite sheet, a batch of
// folders, and what -v says.
void TestCli::frameSets()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QByteArrayList, contents);
    QFETCH(QByteArray, noted);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("many/anim.gif")), manyFramesGif(128)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("zero.gif")), manyFramesGif(3, 0)));
    QImage sheet(8, 4, QImage::Format_ARGB32);
    sheet.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 4; ++y) {
        for (int x = 4; x < 8; ++x)
            sheet.setPixel(x, y, qRgb(255, 255, 0));
    }
    saveImage(dir.filePath(QStringLiteral("sheet.png")), sheet, "PNG");
    // Two equal frames, each of one colour.
    {
        EncodedFiles::GifFrame frame;
        frame.image = QImage(4, 4, QImage::Format_Indexed8);
        frame.image.setColorTable({qRgb(9, 9, 9), qRgb(0, 0, 0)});
        frame.image.fill(0u);
        QVERIFY(writeFile(dir.filePath(QStringLiteral("same.gif")),
                          EncodedFiles::gif(QSize(4, 4), {frame, frame})));
    }

    const Outcome outcome = runCli(dir.path(), arguments);
    QVERIFY2(outcome.exitCode == 0, outcome.err.constData());
    if (noted.isEmpty())
        QVERIFY2(outcome.err.isEmpty(), outcome.err.constData());
    else
        QVERIFY2(outcome.err.contains(noted), outcome.err.constData());
    const QByteArray text = readFile(dir.filePath(file));
    for (const QByteArray &expected : qAsConst(contents))
        QVERIFY2(text.contains(expected), expected.constData());
}

QTEST_GUILESS_MAIN(TestCli)
void TestCli::packsAllOrNothing_data()
{
    QTest::addColumn<QStringList>("inputs"); // of the second run, which fails
    QTest::addColumn<QString>("blocked"); // a file of the pack made a folder first
    QTest::addColumn<QByteArray>("error"); // the start of stderr's first line

    QTest::newRow("an undecodable image")
        << QStringList {"in/a.png", "in/b.jpg", "bad/cut.png"} << QString()
        << QByteArray("brindleforge-cli: bad/cut.png -> out/ui.bin: ");
    QTest::newRow("a folder where ui.c goes")
        << QStringList {"in/a.png", "in/b.jpg"} << "out/ui.c"
        << QByteArray("brindleforge-cli: out/ui.c: cannot be opened for writing (is a directory); "
                      "the pack is not written");
    QTest::newRow("a folder where ui_blob.S goes")
        << QStringList {"in/a.png", "in/b.jpg"} << "out/ui_blob.S"
        << QByteArray("brindleforge-cli: out/ui_blob.S: cannot be opened for writing (is a "
                      "directory); the pack is not written");
}

// A pack is written whole or not at all: a failed image or an unwritable
// file of the four leaves the existing pack as it was. The pack written
// reads back consistent, and an entry renders as the image's own .bin.
void TestCli::packsAllOrNothing()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, blocked);
    QFETCH(QByteArray, error);

    QTemporaryDir dir;
    const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    saveImage(path("in/a.png"), TestImages::photo(5, 4, 1), "PNG");
    saveImage(path("in/b.jpg"), TestImages::photo(6, 3, 2), "JPEG");
    const QByteArray png = readFile(path("in/a.png"));
    QVERIFY(writeFile(path("bad/cut.png"), png.left(png.size() / 2)));
    const QStringList options = {"--lvgl", "9", "--cf", "RGB565", "--pack", "ui", "-o", "out"};

    const Outcome first = runCli(dir.path(), options + QStringList {"in/b.jpg"});
    QCOMPARE(first.exitCode, 0);
    QVERIFY2(first.err.isEmpty(), first.err.constData());
    QCOMPARE(entries(path("out")), QStringList({"ui.bin", "ui.c", "ui.h", "ui_blob.S"}));
    const Outcome checked = runCli(dir.path(), {"inspect", "out/ui.bin"});
    QCOMPARE(checked.exitCode, 0);
    QVERIFY(checked.out.contains("  consistent:  yes\n"));
    const Outcome json = runCli(dir.path(), {"inspect", "--json", "out/ui.bin"});
    QCOMPARE(json.exitCode, 0);
    const QJsonObject facts = QJsonDocument::fromJson(json.out)
                                  .object()
                                  .value(QStringLiteral("files"))
                                  .toArray()
                                  .first()
                                  .toObject();
    QCOMPARE(facts.value(QStringLiteral("source")).toString(), QStringLiteral("pack"));
    QCOMPARE(facts.value(QStringLiteral("consistent")).toBool(), true);
    QCOMPARE(facts.value(QStringLiteral("crcMatches")).toBool(), true);
    const QJsonObject only = facts.value(QStringLiteral("entries")).toArray().first().toObject();
    QCOMPARE(only.value(QStringLiteral("name")).toString(), QStringLiteral("b"));
    QCOMPARE(only.value(QStringLiteral("format")).toString(),
             QStringLiteral("LV_COLOR_FORMAT_RGB565"));
    QCOMPARE(only.value(QStringLiteral("width")).toInt(), 6);
    QCOMPARE(only.value(QStringLiteral("stride")).toInt(), 12);

    // The entry's picture is the picture of the image's own .bin.
    const Outcome single = runCli(
        dir.path(), {"--lvgl", "9", "--cf", "RGB565", "-f", "bin", "-o", "b.bin", "in/b.jpg"});
    QCOMPARE(single.exitCode, 0);
    QCOMPARE(runCli(dir.path(), {"inspect", "--png", "entry.png", "--entry", "b", "out/ui.bin"})
                 .exitCode,
             0);
    QCOMPARE(runCli(dir.path(), {"inspect", "--png", "single.png", "b.bin"}).exitCode, 0);
    // A pack of one image renders it without --entry.
    QCOMPARE(runCli(dir.path(), {"inspect", "--png", "only.png", "out/ui.bin"}).exitCode, 0);
    const QImage entry(path("entry.png"));
    QVERIFY(!entry.isNull());
    QCOMPARE(entry, QImage(path("single.png")));
    QCOMPARE(QImage(path("only.png")), entry);

    if (!blocked.isEmpty()) {
        QVERIFY(QFile::remove(dir.filePath(blocked)));
        QVERIFY(QDir().mkdir(dir.filePath(blocked)));
    }
    const QMap<QString, QByteArray> before = snapshot(path("out"));
    const Outcome second = runCli(dir.path(), options + inputs);
    QCOMPARE(second.exitCode, 1);
    QVERIFY(second.out.isEmpty());
    QVERIFY(!second.errLines().isEmpty());
    QVERIFY2(second.errLines().first().startsWith(error), second.err.constData());
    QCOMPARE(snapshot(path("out")), before);
}

#include "tst_cli.moc"
