// Palette quality and speed of the quantizer: Qt's reduction to 256 colours
// (the "toolkit" kind) against the "best" kind at 256, 16, 4 and 2 colours,
// without and with dithering, on a 2000 x 2000 and a 512 x 512 photo-like
// RGBA picture and a soft-edged icon of about 140 colours.
//
// Error: each pixel's source colour (as QImage::pixelColor reports it) and
// the palette entry of its index, both composited over black and over white
// (premultiplied by their alpha), compared per channel in levels of 255:
// the mean over all pixels and channels, and the largest. Time: the median
// of several runs of one quantize, in milliseconds.
//
//   quantize_bench            everything
//   quantize_bench 512 icon   only the images named (2000, 512, icon)

#include <quantizer.h>
#include <testimages.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace Convert;

namespace {

struct Error
{
    double blackMean = 0;
    double blackMax = 0;
    double whiteMean = 0;
    double whiteMax = 0;
};

Error measure(const QImage &source, const IndexedImage &result)
{
    Error error;
    const QVector<QRgb> palette = result.palette;
    for (int y = 0; y < source.height(); ++y) {
        const uchar *indices = result.indices.constScanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            const QRgb s = source.pixelColor(x, y).rgba();
            const QRgb p = palette.value(indices[x]);
            const int channels[3][2] = {
                {qRed(s), qRed(p)}, {qGreen(s), qGreen(p)}, {qBlue(s), qBlue(p)}};
            for (const auto &c : channels) {
                const double overBlackS = c[0] * qAlpha(s) / 255.0;
                const double overBlackP = c[1] * qAlpha(p) / 255.0;
                const double black = std::abs(overBlackS - overBlackP);
                const double white =
                    std::abs(overBlackS + 255 - qAlpha(s) - overBlackP - 255 + qAlpha(p));
                error.blackMean += black;
                error.whiteMean += white;
                error.blackMax = std::max(error.blackMax, black);
                error.whiteMax = std::max(error.whiteMax, white);
            }
        }
    }
    const double samples = 3.0 * source.width() * source.height();
    error.blackMean /= samples;
    error.whiteMean /= samples;
    return error;
}

struct Case
{
    const char *name;
    QuantizerKind kind;
    int colors;
    bool dither;
};

const Case cases[] = {
    {"toolkit-256", QuantizerKind::Toolkit, 256, false},
    {"best-256", QuantizerKind::Best, 256, false},
    {"best-256-dither", QuantizerKind::Best, 256, true},
    {"best-16", QuantizerKind::Best, 16, false},
    {"best-16-dither", QuantizerKind::Best, 16, true},
    {"best-4", QuantizerKind::Best, 4, false},
    {"best-4-dither", QuantizerKind::Best, 4, true},
    {"best-2", QuantizerKind::Best, 2, false},
    {"best-2-dither", QuantizerKind::Best, 2, true},
};

void run(const char *imageName, const QImage &image, int runs)
{
    for (const Case &c : cases) {
        std::vector<qint64> nanoseconds;
        IndexedImage result;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer timer;
            timer.start();
            result = quantize(image, c.colors, c.kind, c.dither);
            nanoseconds.push_back(timer.nsecsElapsed());
        }
        std::sort(nanoseconds.begin(), nanoseconds.end());
        const Error e = measure(image, result);
        std::printf("%-18s %-16s %7d %10.2f %9.0f %10.2f %9.0f %9.1f\n", imageName, c.name,
                    int(result.palette.size()), e.blackMean, e.blackMax, e.whiteMean, e.whiteMax,
                    nanoseconds[nanoseconds.size() / 2] / 1e6);
        std::fflush(stdout);
    }
}

int distinctColours(const QImage &image)
{
    std::vector<QRgb> seen;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            seen.push_back(image.pixel(x, y));
    }
    std::sort(seen.begin(), seen.end());
    return int(std::unique(seen.begin(), seen.end()) - seen.begin());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    const auto wanted = [&only](const char *name) {
        return only.isEmpty() || only.contains(QLatin1String(name));
    };

    std::printf("%-18s %-16s %7s %10s %9s %10s %9s %9s\n", "image", "quantizer", "entries",
                "black mean", "black max", "white mean", "white max", "ms");
    if (wanted("2000"))
        run("photo 2000x2000", TestImages::photo(2000, 2000), 5);
    if (wanted("512"))
        run("photo 512x512", TestImages::photo(512, 512), 7);
    if (wanted("icon")) {
        const QImage icon = TestImages::softIcon(64);
        const QByteArray name = "icon 64x64 (" + QByteArray::number(distinctColours(icon)) + ")";
        run(name.constData(), icon, 7);
    }
    return 0;
}
