// Encoding throughput of every output, in memory and through a file, at
// 512 x 512 and 2000 x 2000 pixels of a photo-like RGBA picture, measured
// against the plain reference encoder (pixelColor per pixel, one formatted
// print per byte) in the same run. After the usual report it prints a table
// of MB/s of output, Mpixel/s and the engine's speed-up over the reference.
//
// Benchmark names are <kind>/<output>/<side>:
//   encode     Convert::encodeImage into a QByteArray
//   file       Convert::convertImage into a file in a temporary folder
//   reference  referenceEncode into a QByteArray
//   copy       memcpy of the output's size, the machine's memory speed
//
// Everything:   encode_bench
// Quick run:    encode_bench --benchmark_filter='/512/|c-true-color-alpha/2000/'

#include "benchoutputs.h"
#include "benchreporter.h"

#include <converter.h>
#include <referenceencoder.h>
#include <testimages.h>

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const int sides[] = {512, 2000};

const QImage &photo(int side)
{
    static std::map<int, QImage> images;
    auto it = images.find(side);
    if (it == images.end())
        it = images.emplace(side, TestImages::photo(side, side)).first;
    return it->second;
}

void setRates(benchmark::State &state, qint64 outputBytes, const QImage &image)
{
    state.SetBytesProcessed(state.iterations() * outputBytes);
    state.SetItemsProcessed(state.iterations() * qint64(image.width()) * image.height());
}

std::string convertError(const Convert::ConvertResult &result)
{
    return result.message().toStdString();
}

void encodeBench(benchmark::State &state, BenchOutput kind, int side)
{
    const QImage &image = photo(side);
    QByteArray bytes;
    for (auto _ : state) {
        const Convert::ConvertResult result =
            Convert::encodeImage(image, kind.output, kind.color, QStringLiteral("photo"), &bytes);
        if (!result.ok()) {
            state.SkipWithError(convertError(result).c_str());
            return;
        }
        benchmark::DoNotOptimize(bytes.constData());
    }
    setRates(state, bytes.size(), image);
}

void fileBench(benchmark::State &state, BenchOutput kind, int side, QString path)
{
    const QImage &image = photo(side);
    for (auto _ : state) {
        const Convert::ConvertResult result =
            Convert::convertImage(image, kind.output, kind.color, path);
        if (!result.ok()) {
            state.SkipWithError(convertError(result).c_str());
            return;
        }
    }
    setRates(state, QFileInfo(path).size(), image);
    QFile::remove(path);
}

void referenceBench(benchmark::State &state, BenchOutput kind, int side)
{
    const QImage &image = photo(side);
    QByteArray bytes;
    for (auto _ : state) {
        bytes = referenceEncode(image, kind.output, kind.color, QStringLiteral("photo"));
        benchmark::DoNotOptimize(bytes.constData());
    }
    setRates(state, bytes.size(), image);
}

// Reading the image and writing as many bytes as the output holds: the
// ceiling for the binary outputs.
void copyBench(benchmark::State &state, BenchOutput kind, int side)
{
    const QImage &image = photo(side);
    QByteArray expected;
    Convert::encodeImage(image, kind.output, kind.color, QString(), &expected);
    const qint64 size = expected.size();
    const qint64 imageBytes = image.sizeInBytes();
    QByteArray bytes;
    for (auto _ : state) {
        bytes = QByteArray(int(size), Qt::Uninitialized);
        // Output formats larger than the image repeat its bytes.
        for (qint64 done = 0; done < size; done += imageBytes)
            std::memcpy(bytes.data() + done, image.constBits(),
                        size_t(qMin(imageBytes, size - done)));
        benchmark::DoNotOptimize(bytes.constData());
    }
    setRates(state, size, image);
}

std::string rateCell(const Rates *rates)
{
    if (!rates)
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%9.1f %8.2f", rates->bytesPerSecond / 1e6,
                  rates->pixelsPerSecond / 1e6);
    return text;
}

std::string ratioCell(const Rates *engine, const Rates *baseline)
{
    if (!engine || !baseline || baseline->pixelsPerSecond <= 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1fx", engine->pixelsPerSecond / baseline->pixelsPerSecond);
    return text;
}

void printTable(const CollectingReporter &reporter)
{
    std::printf("\nMB/s of output (10^6 bytes) and Mpixel/s; ratios are pixel rates over the "
                "reference encoder's, or over a plain copy of the same size\n");
    std::printf("%-19s %5s | %-18s | %-18s | %-18s | %-18s | %9s %9s | %9s\n", "output", "side",
                "encode MB/s  Mpx/s", "file   MB/s  Mpx/s", "ref.   MB/s  Mpx/s",
                "copy   MB/s  Mpx/s", "enc/ref", "file/ref", "enc/copy");
    for (const BenchOutput &kind : benchOutputs) {
        for (const int side : sides) {
            const std::string suffix = std::string("/") + kind.name + "/" + std::to_string(side);
            const Rates *encode = reporter.find("encode" + suffix);
            const Rates *file = reporter.find("file" + suffix);
            const Rates *reference = reporter.find("reference" + suffix);
            const Rates *copy = reporter.find("copy" + suffix);
            if (!encode && !file && !reference && !copy)
                continue;
            std::printf("%-19s %5d | %18s | %18s | %18s | %18s | %9s %9s | %9s\n", kind.name, side,
                        rateCell(encode).c_str(), rateCell(file).c_str(),
                        rateCell(reference).c_str(), rateCell(copy).c_str(),
                        ratioCell(encode, reference).c_str(), ratioCell(file, reference).c_str(),
                        ratioCell(encode, copy).c_str());
        }
    }
}

void registerBenchmarks(const QString &outputDir)
{
    for (const BenchOutput &kind : benchOutputs) {
        const bool binary = Convert::isBinary(kind.output);
        const QString path = outputDir + QLatin1Char('/') + QString::fromLatin1(kind.name)
            + Convert::outputExtension(kind.output);
        for (const int side : sides) {
            const std::string suffix = std::string("/") + kind.name + "/" + std::to_string(side);
            // A 2000 x 2000 C array takes about a second; keep a few
            // iterations of it without letting the run grow long.
            const double minTime = side > 1000 && !binary ? 2.0 : 0.5;
            benchmark::RegisterBenchmark(("encode" + suffix).c_str(), encodeBench, kind, side)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(minTime)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("file" + suffix).c_str(), fileBench, kind, side, path)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(minTime)
                ->UseRealTime();
            // The reference formats a 2000 x 2000 C array for tens of
            // seconds: once is enough for a ratio of that size.
            benchmark::RegisterBenchmark(("reference" + suffix).c_str(), referenceBench, kind, side)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(side > 1000 && !binary ? 1 : 3)
                ->UseRealTime();
            if (binary) {
                benchmark::RegisterBenchmark(("copy" + suffix).c_str(), copyBench, kind, side)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
}

// glibc serves a large block from a fresh mapping or from the heap
// depending on the blocks freed before it, so an output of a few megabytes
// is encoded into memory that page-faults in one run and not in another,
// whichever benchmarks happen to run first. Fix the choice: blocks under
// 32 MiB come from the heap and are reused between iterations, as in a
// batch; larger ones (the 2000 x 2000 C arrays) are always fresh mappings,
// as in a single conversion.
void fixAllocatorRegime()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    fixAllocatorRegime();

    QTemporaryDir outputDir;
    if (!outputDir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder: %s\n",
                     qPrintable(outputDir.errorString()));
        return 1;
    }
    registerBenchmarks(outputDir.path());

    CollectingReporter reporter(isatty(fileno(stdout)) ? CollectingReporter::OO_ColorTabular
                                                       : CollectingReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable(reporter);
    benchmark::Shutdown();
    return 0;
}
