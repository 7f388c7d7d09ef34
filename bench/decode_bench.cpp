// Time of the PNG and JPEG decoders inside a whole conversion to a file.
//
// Benchmark names:
//   png/convertFile          a 2000 x 2000 RGBA PNG to a TRUE_COLOR_ALPHA C
//                            array through Convert::convertFile (libpng)
//   png/streamingReference   the same file decoded by QImageReader, then the
//                            same conversion of the decoded image
//   jpeg/scaled480x320       a 4000 x 3000 JPEG with --fit 480x320 to an
//                            RGB565 .bin: decoded by libjpeg-turbo at 1/8
//                            (500 x 375), resampled to 427 x 320
//
// The files live in a temporary directory on /dev/shm (tmpfs) where it
// exists.
// After the usual report it prints the ratio of the two PNG medians.
//
//   decode_bench --benchmark_repetitions=11 --benchmark_report_aggregates_only=true

#include <converter.h>
#include <testimages.h>

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace Convert;

namespace {

// On /dev/shm (tmpfs) where it exists, so that the flush before each
// rename costs what it costs on tmpfs and the disk's noise stays out.
QTemporaryDir *dir()
{
    static QTemporaryDir temporary(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                       ? QStringLiteral("/dev/shm/decode_bench-XXXXXX")
                                       : QString());
    return &temporary;
}

QString pngPath()
{
    static const QString path = [] {
        const QString file = dir()->filePath(QStringLiteral("photo.png"));
        QImageWriter writer(file, "png");
        if (!writer.write(TestImages::photo(2000, 2000, 17)))
            std::abort();
        return file;
    }();
    return path;
}

QString jpegPath()
{
    static const QString path = [] {
        const QString file = dir()->filePath(QStringLiteral("photo.jpg"));
        QImageWriter writer(file, "jpeg");
        writer.setQuality(90);
        if (!writer.write(TestImages::photo(4000, 3000, 5).convertToFormat(QImage::Format_RGB32)))
            std::abort();
        return file;
    }();
    return path;
}

void pngConvertFile(benchmark::State &state)
{
    const QString source = pngPath();
    const QString output = dir()->filePath(QStringLiteral("png.c"));
    for (auto _ : state) {
        const ConvertResult result = convertFile(source, CArray, TrueColorAlpha, output);
        if (!result.ok())
            state.SkipWithError(qPrintable(result.message()));
    }
}
BENCHMARK(pngConvertFile)->Name("png/convertFile")->Unit(benchmark::kMillisecond)->UseRealTime();

void pngStreamingReference(benchmark::State &state)
{
    const QString source = pngPath();
    const QString output = dir()->filePath(QStringLiteral("reference.c"));
    for (auto _ : state) {
        QImageReader reader(source, "png");
        const QImage image = reader.read();
        const ConvertResult result = convertImage(image, CArray, TrueColorAlpha, output);
        if (image.isNull() || !result.ok())
            state.SkipWithError("the reference conversion failed");
    }
}
BENCHMARK(pngStreamingReference)
    ->Name("png/streamingReference")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void jpegScaled(benchmark::State &state)
{
    const QString source = jpegPath();
    const QString output = dir()->filePath(QStringLiteral("photo.bin"));
    const OutputPlan plan = outputPlan(BinaryRgb565, TrueColorAlpha);
    // --fit 480x320: the JPEG is decoded at the smallest scale n / 8 that
    // covers the box, then resampled to the size that fits.
    TransformPlan transforms;
    transforms.scaling = TransformPlan::Scaling::Fit;
    transforms.box = QSize(480, 320);
    for (auto _ : state) {
        const ConvertResult result = convertFile(source, plan, transforms, output);
        if (!result.ok())
            state.SkipWithError(qPrintable(result.message()));
    }
    state.SetLabel(QStringLiteral("written at %1 x %2")
                       .arg(transforms.finalSize(QSize(4000, 3000)).width())
                       .arg(transforms.finalSize(QSize(4000, 3000)).height())
                       .toStdString());
}
BENCHMARK(jpegScaled)->Name("jpeg/scaled480x320")->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the medians of the PNG pair for the ratio printed at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    double convertMedian = 0;
    double referenceMedian = 0;
    double convertCpu = 0;
    double referenceCpu = 0;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const std::string name = run.benchmark_name();
            if (name.find("_median") == std::string::npos)
                continue;
            if (name.find("png/convertFile") == 0) {
                convertMedian = run.GetAdjustedRealTime();
                convertCpu = run.GetAdjustedCPUTime();
            } else if (name.find("png/streamingReference") == 0) {
                referenceMedian = run.GetAdjustedRealTime();
                referenceCpu = run.GetAdjustedCPUTime();
            }
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.convertMedian > 0 && reporter.referenceMedian > 0)
        std::printf("png: convertFile / streaming reference = %.3f wall, %.3f CPU (medians)\n",
                    reporter.convertMedian / reporter.referenceMedian,
                    reporter.convertCpu / reporter.referenceCpu);
    return 0;
}
