// Time of a whole frame-set conversion: a 100-frame 240 x 240 GIF (its
// frames a photo-like picture panning by one pixel a frame, every frame
// mapped to the first frame's 256 colours, one global colour table) read,
// converted and written as one C file through Convert::convertFrames.
//
// Benchmark names:
//   frames/decode        readAnimation() alone: every frame composited
//   frames/v9RGB565      to v9 RGB565 frames in one C file
//   frames/v9I8          to v9 I8 frames with one shared palette
//   frames/v9I8localTables  the same from a GIF whose frames each have their
//                        own 256 colours (a local table), so that the shared
//                        palette is quantized from a sample of every frame
//   frames/v8TrueColor   to v8 TRUE_COLOR frames, each with its 4 depth
//                        sections (8, 16, 16 swapped, 32 bits)
//   frames/v8Indexed8    to v8 INDEXED_8BIT frames with one shared palette
//
//   frames_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//   frames_bench --write-gif PATH        writes the GIF and exits
//   frames_bench --write-local-gif PATH  the same for the GIF of local tables
//
// The files live in a temporary directory on /dev/shm (tmpfs) where it
// exists.

#include <animation.h>
#include <converter.h>
#include <encodedfiles.h>
#include <testimages.h>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Convert;

namespace {

constexpr int FrameCount = 100;
constexpr int Side = 240;

// localTables: each frame reduced to its own 256 colours, as a local
// table, so that the frames hold far more than 256 colours together and
// the shared palette must be quantized.
QByteArray animationGif(bool localTables = false)
{
    const QImage wide =
        TestImages::photo(Side + FrameCount, Side, 23).convertToFormat(QImage::Format_RGB32);
    const QVector<QRgb> table =
        wide.copy(0, 0, Side, Side).convertToFormat(QImage::Format_Indexed8).colorTable();
    QVector<EncodedFiles::GifFrame> frames;
    for (int i = 0; i < FrameCount; ++i) {
        EncodedFiles::GifFrame frame;
        // A local table is the global one with red moved by the frame's
        // number, so that no two frames share a colour.
        QVector<QRgb> own = table;
        if (localTables) {
            for (QRgb &c : own)
                c = qRgb(qBound(0, qRed(c) + i - FrameCount / 2, 255), qGreen(c), qBlue(c));
        }
        frame.image = wide.copy(i, 0, Side, Side).convertToFormat(QImage::Format_Indexed8, own);
        frame.image.setColorTable(own);
        frame.localTable = localTables && i > 0;
        frame.delayCs = 4;
        frames.append(frame);
    }
    return EncodedFiles::gif(QSize(Side, Side), frames, 0);
}

QTemporaryDir *dir()
{
    static QTemporaryDir temporary(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                       ? QStringLiteral("/dev/shm/frames_bench-XXXXXX")
                                       : QString());
    return &temporary;
}

QString writtenGif(const QString &name, bool localTables)
{
    const QString file = dir()->filePath(name);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(animationGif(localTables)) < 0)
        std::abort();
    return file;
}

QString gifPath(bool localTables = false)
{
    static const QString global = writtenGif(QStringLiteral("anim.gif"), false);
    static const QString local = writtenGif(QStringLiteral("local.gif"), true);
    return localTables ? local : global;
}

OutputPlan v9Plan(const char *name)
{
    OutputPlan plan;
    plan.row = Lvgl9::findFormat(QString::fromLatin1(name));
    return plan;
}

OutputPlan v8Plan(const char *name)
{
    OutputPlan plan;
    plan.row = Lvgl8::findFormat(QString::fromLatin1(name));
    return plan;
}

void convertSet(benchmark::State &state, const OutputPlan &plan, bool localTables = false)
{
    const QString source = gifPath(localTables);
    const QString output = dir()->filePath(QStringLiteral("anim.c"));
    int frames = 0;
    for (auto _ : state) {
        const ConvertResult result = convertFrames(source, plan, TransformPlan(), FramePlan(),
                                                   output, QString(), false, &frames);
        if (!result.ok())
            state.SkipWithError(qPrintable(result.message()));
    }
    state.SetLabel(QStringLiteral("%1 frames, %2 MB of C")
                       .arg(frames)
                       .arg(double(QFileInfo(output).size()) / 1e6, 0, 'f', 1)
                       .toStdString());
}

void decode(benchmark::State &state)
{
    const QString source = gifPath();
    for (auto _ : state) {
        Animation animation;
        const ConvertResult result = readAnimation(source, DecodeRequest(), &animation);
        if (!result.ok() || animation.frames.size() != FrameCount)
            state.SkipWithError("the GIF did not decode into its frames");
    }
}
BENCHMARK(decode)->Name("frames/decode")->Unit(benchmark::kMillisecond)->UseRealTime();

void v9Rgb565(benchmark::State &state)
{
    convertSet(state, v9Plan("RGB565"));
}
BENCHMARK(v9Rgb565)->Name("frames/v9RGB565")->Unit(benchmark::kMillisecond)->UseRealTime();

void v9I8(benchmark::State &state)
{
    convertSet(state, v9Plan("I8"));
}
BENCHMARK(v9I8)->Name("frames/v9I8")->Unit(benchmark::kMillisecond)->UseRealTime();

void v9I8LocalTables(benchmark::State &state)
{
    convertSet(state, v9Plan("I8"), true);
}
BENCHMARK(v9I8LocalTables)
    ->Name("frames/v9I8localTables")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void v8TrueColor(benchmark::State &state)
{
    convertSet(state, v8Plan("TRUE_COLOR"));
}
BENCHMARK(v8TrueColor)->Name("frames/v8TrueColor")->Unit(benchmark::kMillisecond)->UseRealTime();

void v8Indexed8(benchmark::State &state)
{
    convertSet(state, v8Plan("INDEXED_8BIT"));
}
BENCHMARK(v8Indexed8)->Name("frames/v8Indexed8")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool writeLocal = argc == 3 && std::strcmp(argv[1], "--write-local-gif") == 0;
    if (writeLocal || (argc == 3 && std::strcmp(argv[1], "--write-gif") == 0)) {
        QFile out(QString::fromLocal8Bit(argv[2]));
        const QByteArray gif = animationGif(writeLocal);
        if (!out.open(QIODevice::WriteOnly) || out.write(gif) != gif.size()) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
