// Throughput of every LVGL v8 and v9 writer on a 2000 x 2000 photo-like
// RGBA picture, plain and dithered, and the speed and size of RLE and LZ4
// compression on three kinds of picture. After the usual report it prints
// the tables the README quotes.
//
// Benchmark names:
//   v8/<c|bin|bin-dither>/<FORMAT>        Convert::encodeSource, v8
//   v9/<c|bin|bin-dither>/<FORMAT>        the same, v9
//   compress/<none|rle|lz4>/<picture>/<FORMAT>   v9 .bin of a picture
//
// Everything:   formats_bench
// Quick run:    formats_bench --benchmark_filter='bin/(RGB565|TRUE_COLOR)$'

#include "benchreporter.h"

#include <converter.h>
#include <lvgl8formats.h>
#include <lvgl9formats.h>
#include <testimages.h>

#include <benchmark/benchmark.h>

#include <QPainter>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

using namespace Convert;

namespace {

constexpr int Side = 2000;

// Flat-coloured icons on a transparent sheet, as a sprite sheet of a UI.
QImage iconSheet(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    std::mt19937 random(7);
    const QColor colours[] = {QColor(0x21, 0x96, 0xf3), QColor(0xf4, 0x43, 0x36),
                              QColor(0x4c, 0xaf, 0x50), QColor(0xff, 0xc1, 0x07),
                              QColor(0x60, 0x7d, 0x8b), Qt::white};
    for (int y = 0; y + 64 <= side; y += 80) {
        for (int x = 0; x + 64 <= side; x += 80) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colours[random() % 6]);
            painter.drawRoundedRect(x + 4, y + 4, 56, 56, 12, 12);
            painter.setBrush(colours[random() % 6]);
            painter.drawEllipse(x + 20, y + 20, 24, 24);
        }
    }
    return image;
}

// A screen of a device UI: flat panels, a gradient header, rows of
// text-like strokes and buttons.
QImage screenshot(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(0xf5, 0xf5, 0xf5));
    QLinearGradient header(0, 0, 0, 160);
    header.setColorAt(0, QColor(0x30, 0x3f, 0x9f));
    header.setColorAt(1, QColor(0x1a, 0x23, 0x7e));
    painter.fillRect(0, 0, side, 160, header);
    std::mt19937 random(3);
    for (int y = 200; y + 60 < side; y += 90) {
        painter.fillRect(40, y, side - 80, 70, Qt::white);
        for (int x = 60; x < side - 400; x += 14 + int(random() % 30))
            painter.fillRect(x, y + 20, 8 + int(random() % 20), 12, QColor(0x42, 0x42, 0x42));
        painter.setBrush(QColor(0x00, 0x96, 0x88));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(side - 300, y + 15, 220, 40, 20, 20);
    }
    return image;
}

const QImage &picture(const std::string &name)
{
    static std::map<std::string, QImage> images;
    auto it = images.find(name);
    if (it == images.end()) {
        const QImage image = name == "photo" ? TestImages::photo(Side, Side)
            : name == "icons"                ? iconSheet(Side)
                                             : screenshot(Side);
        it = images.emplace(name, image).first;
    }
    return it->second;
}

void encodeBench(benchmark::State &state, OutputPlan outSpec, std::string pictureName)
{
    SourceImage source;
    source.image = picture(pictureName);
    QByteArray bytes;
    for (auto _ : state) {
        const ConvertResult result = encodeSource(source, outSpec, QStringLiteral("photo"), &bytes);
        if (!result.ok()) {
            state.SkipWithError(result.message().toStdString().c_str());
            return;
        }
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.SetItemsProcessed(state.iterations() * qint64(Side) * Side);
    state.counters["output"] = double(bytes.size());
}

void registerBenchmarks()
{
    for (int i = 0; i < Lvgl8::formatCount(); ++i) {
        const Lvgl8::Format &f = Lvgl8::formats()[i];
        if (f.layout == Lvgl8::Layout::Raw || f.layout == Lvgl8::Layout::Indexed)
            continue;
        OutputPlan outSpec;
        outSpec.row = &f;
        const std::string name = f.name;
        benchmark::RegisterBenchmark(("v8/c/" + name).c_str(), encodeBench, outSpec, "photo")
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
        outSpec.dither = true;
        benchmark::RegisterBenchmark(("v8/c-dither/" + name).c_str(), encodeBench, outSpec, "photo")
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
        outSpec.dither = false;
        outSpec.binary = true;
        benchmark::RegisterBenchmark(("v8/bin/" + name).c_str(), encodeBench, outSpec, "photo")
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        outSpec.dither = true;
        benchmark::RegisterBenchmark(("v8/bin-dither/" + name).c_str(), encodeBench, outSpec,
                                     "photo")
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    for (int i = 0; i < Lvgl9::formatCount(); ++i) {
        const Lvgl9::Format &f = Lvgl9::formats()[i];
        if (f.layout == Lvgl9::Layout::Raw || f.layout == Lvgl9::Layout::Indexed)
            continue;
        OutputPlan outSpec;
        outSpec.row = &f;
        const std::string name = f.name;
        benchmark::RegisterBenchmark(("v9/c/" + name).c_str(), encodeBench, outSpec, "photo")
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
        outSpec.dither = true;
        benchmark::RegisterBenchmark(("v9/c-dither/" + name).c_str(), encodeBench, outSpec, "photo")
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
        outSpec.dither = false;
        // The .bin of formats LVGL cannot open uncompressed is written as
        // a C array would hold it: the same bytes. Measure those through
        // compression only.
        outSpec.binary = true;
        if (f.plainBinary) {
            benchmark::RegisterBenchmark(("v9/bin/" + name).c_str(), encodeBench, outSpec, "photo")
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            outSpec.dither = true;
            benchmark::RegisterBenchmark(("v9/bin-dither/" + name).c_str(), encodeBench, outSpec,
                                         "photo")
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            outSpec.dither = false;
        }
    }
    for (const char *pictureName : {"photo", "icons", "screen"}) {
        for (const char *format : {"ARGB8888", "RGB565", "A8"}) {
            for (const auto method :
                 {Lvgl9::Compression::None, Lvgl9::Compression::Rle, Lvgl9::Compression::Lz4}) {
                OutputPlan outSpec;
                outSpec.row = Lvgl9::findFormat(QLatin1String(format));
                outSpec.binary = true;
                outSpec.compression = method;
                const char *methodName = method == Lvgl9::Compression::None ? "none"
                    : method == Lvgl9::Compression::Rle                     ? "rle"
                                                                            : "lz4";
                benchmark::RegisterBenchmark(
                    (std::string("compress/") + methodName + "/" + pictureName + "/" + format)
                        .c_str(),
                    encodeBench, outSpec, pictureName)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
}

void printTables(const CollectingReporter &reporter)
{
    std::printf("\nWriters, %d x %d photo: MB/s of output (10^6 bytes) and Mpixel/s; \"dither\" "
                "is the time with --dither over the time without\n",
                Side, Side);
    std::printf("%-4s %-24s | %9s %9s | %9s %9s %9s\n", "lvgl", "format", "C MB/s", "dither",
                "bin MB/s", "Mpx/s", "dither");
    const auto slower = [](const Rates *plain, const Rates *dithered) {
        char cell[32] = "-";
        if (plain && dithered && dithered->pixelsPerSecond > 0)
            std::snprintf(cell, sizeof cell, "%8.2fx",
                          plain->pixelsPerSecond / dithered->pixelsPerSecond);
        return std::string(cell);
    };
    const auto row = [&](const char *version, const std::string &name) {
        const std::string prefix = std::string(version) + "/";
        const Rates *c = reporter.find(prefix + "c/" + name);
        const Rates *cDither = reporter.find(prefix + "c-dither/" + name);
        const Rates *bin = reporter.find(prefix + "bin/" + name);
        const Rates *binDither = reporter.find(prefix + "bin-dither/" + name);
        if (!c && !bin)
            return;
        char cCell[32] = "-";
        char binCell[48] = "        -         -";
        if (c)
            std::snprintf(cCell, sizeof cCell, "%9.1f", c->bytesPerSecond / 1e6);
        if (bin)
            std::snprintf(binCell, sizeof binCell, "%9.1f %9.1f", bin->bytesPerSecond / 1e6,
                          bin->pixelsPerSecond / 1e6);
        std::printf("%-4s %-24s | %9s %9s | %19s %9s\n", version + 1, name.c_str(), cCell,
                    slower(c, cDither).c_str(), binCell, slower(bin, binDither).c_str());
    };
    for (int i = 0; i < Lvgl8::formatCount(); ++i)
        row("v8", Lvgl8::formats()[i].name);
    for (int i = 0; i < Lvgl9::formatCount(); ++i)
        row("v9", Lvgl9::formats()[i].name);

    std::printf("\nv9 compression of a %d x %d .bin: size against uncompressed, and Mpixel/s "
                "of the whole encoding\n",
                Side, Side);
    std::printf("%-8s %-9s | %-22s | %-22s\n", "picture", "format", "RLE  size   Mpx/s",
                "LZ4  size   Mpx/s");
    for (const char *pictureName : {"photo", "icons", "screen"}) {
        for (const char *format : {"ARGB8888", "RGB565", "A8"}) {
            const std::string suffix = std::string("/") + pictureName + "/" + format;
            const Rates *none = reporter.find("compress/none" + suffix);
            const Rates *rle = reporter.find("compress/rle" + suffix);
            const Rates *lz4 = reporter.find("compress/lz4" + suffix);
            if (!none || !rle || !lz4)
                continue;
            const double plain = none->counters.at("output");
            std::printf("%-8s %-9s | %8.1f%% %9.1f | %8.1f%% %9.1f\n", pictureName, format,
                        100.0 * rle->counters.at("output") / plain, rle->pixelsPerSecond / 1e6,
                        100.0 * lz4->counters.at("output") / plain, lz4->pixelsPerSecond / 1e6);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // QPainter on QImage needs no platform plugin.
    registerBenchmarks();
    CollectingReporter reporter(isatty(fileno(stdout)) ? CollectingReporter::OO_ColorTabular
                                                       : CollectingReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTables(reporter);
    benchmark::Shutdown();
    return 0;
}
