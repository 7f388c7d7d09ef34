#include "quantizer.h"

#include "pixelrows.h"

#include <libimagequant.h>

#include <QHash>

#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace Convert {

namespace {

// libimagequant's speed, 1 (slowest, best) to 10, by the number of pixels.
// Measured on a photo-like RGBA image (libimagequant on one thread, see
// OneOpenMpThread; a 2-core machine with other work beside it), the slowest
// case, 256 colours dithered, takes about 0.37 s at 512 x 512 with speed 4,
// 0.46 s at 1024 x 1024 with speed 7 and 0.7 to 0.9 s at 2000 x 2000 with
// speed 8; 16 colours take about half as long. So a quantize stays within
// about half a second for 16 colours and a second for 256 up to 2000 x 2000.
// The slower speeds below each step buy a few percent less error: k-means
// refinement of the palette (speed 7 and below), a histogram at full
// precision and contrast maps (speed 7 and below). Speed 9 gives the same
// result as 8.
int liqSpeed(qint64 pixels)
{
    if (pixels <= 512 * 512)
        return 4;
    if (pixels <= 1024 * 1024)
        return 7;
    return 8;
}

// libimagequant runs some loops on OpenMP threads when it is built with
// OpenMP (Debian builds it with GCC's libgomp), and then its output depends
// on the thread count: liq_set_speed turns selective dithering on at speeds
// 6 and 7 only when more than one thread is available (which changes the
// dithered indices), and its k-means step adds up per-thread colour totals
// whose rounding depends on how the rows were split. With one thread the
// result is the same on every machine, under any OMP_NUM_THREADS and at any
// load. The cost is the parallel part of the work, the nearest-colour search
// without dithering and k-means: on the 2000 x 2000 photo, 256 colours
// undithered take 0.50 s instead of 0.39 s at best; dithered remapping is
// serial anyway. Under load the single thread is also steadier, as libgomp's
// waiting threads spin for the cores that other work needs.
//
// The thread count is an OpenMP setting of the calling thread's own task,
// so pinning it here leaves concurrent quantizes and other OpenMP users on
// other threads alone. The runtime is looked up among the libraries already
// loaded, which is the one libimagequant itself uses; when there is none,
// libimagequant was built without OpenMP and runs on one thread anyway.
struct OpenMpRuntime
{
    void (*setNumThreads)(int) = nullptr;
    int (*getMaxThreads)() = nullptr;
};

const OpenMpRuntime &openMpRuntime()
{
    static const OpenMpRuntime runtime = [] {
        OpenMpRuntime r;
        r.setNumThreads =
            reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
        r.getMaxThreads = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "omp_get_max_threads"));
        if (!r.setNumThreads || !r.getMaxThreads)
            r = OpenMpRuntime();
        return r;
    }();
    return runtime;
}

// Runs the calling thread's OpenMP regions on one thread while it lives.
class OneOpenMpThread
{
public:
    OneOpenMpThread()
    {
        const OpenMpRuntime &runtime = openMpRuntime();
        if (runtime.setNumThreads) {
            m_saved = runtime.getMaxThreads();
            runtime.setNumThreads(1);
        }
    }
    ~OneOpenMpThread()
    {
        if (m_saved > 0)
            openMpRuntime().setNumThreads(m_saved);
    }

private:
    Q_DISABLE_COPY(OneOpenMpThread)
    int m_saved = 0;
};

struct LiqDeleter
{
    void operator()(liq_attr *attr) const { liq_attr_destroy(attr); }
    void operator()(liq_image *image) const { liq_image_destroy(image); }
    void operator()(liq_result *result) const { liq_result_destroy(result); }
};
template<typename T> using LiqPointer = std::unique_ptr<T, LiqDeleter>;

// Indexes image exactly when it has at most colors distinct ARGB values:
// the palette holds them in order of first appearance, row by row. Returns
// false (with out->indices partly written) as soon as value colors + 1
// turns up, which for a photo is within its first row.
bool quantizeExactly(const QImage &image, int colors, IndexedImage *out)
{
    PixelRows rows(image);
    QVector<QRgb> palette;
    QHash<QRgb, int> indexOf;
    indexOf.reserve(colors + 1);
    QRgb last = 0;
    int lastIndex = -1;
    for (int y = 0; y < rows.height(); ++y) {
        const QRgb *in = rows.row(y);
        uchar *line = out->indices.scanLine(y);
        for (int x = 0; x < rows.width(); ++x) {
            if (in[x] != last || lastIndex < 0) {
                auto it = indexOf.constFind(in[x]);
                if (it == indexOf.cend()) {
                    if (palette.size() == colors)
                        return false;
                    it = indexOf.insert(in[x], palette.size());
                    palette.append(in[x]);
                }
                last = in[x];
                lastIndex = it.value();
            }
            line[x] = uchar(lastIndex);
        }
    }
    out->palette = palette;
    out->indices.setColorTable(palette);
    return true;
}

// libimagequant: a palette of at most colors entries chosen by median cut
// and (at the slower speeds) k-means over a perceptually weighted histogram,
// alpha included, then each pixel mapped to its nearest entry, with
// Floyd-Steinberg error diffusion when dither is set. Returns false when
// the library fails: out of memory, or an image larger than it accepts
// (width above 8388607, or more than 2^29 pixels).
bool quantizeWithLiq(const QImage &image, int colors, bool dither, IndexedImage *out)
{
    const int width = image.width();
    const int height = image.height();

    // The library's input: bytes R, G, B, A per pixel, not premultiplied,
    // one row pointer per row. It keeps the pointers, so the rows outlive it.
    QImage rgba(width, height, QImage::Format_RGBA8888);
    if (rgba.isNull())
        return false;
    std::vector<void *> rgbaRows(static_cast<size_t>(height));
    PixelRows rows(image);
    for (int y = 0; y < height; ++y) {
        const QRgb *in = rows.row(y);
        uchar *line = rgba.scanLine(y);
        rgbaRows[size_t(y)] = line;
        for (int x = 0; x < width; ++x) {
            uchar *px = line + 4 * x;
            px[0] = uchar(qRed(in[x]));
            px[1] = uchar(qGreen(in[x]));
            px[2] = uchar(qBlue(in[x]));
            px[3] = uchar(qAlpha(in[x]));
        }
    }
    std::vector<unsigned char *> indexRows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        indexRows[size_t(y)] = out->indices.scanLine(y);

    const OneOpenMpThread oneThread;
    const LiqPointer<liq_attr> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), colors) != LIQ_OK
        || liq_set_speed(attr.get(), liqSpeed(qint64(width) * height)) != LIQ_OK) {
        return false;
    }
    // Gamma 0: the library's default, sRGB's 1/2.2.
    const LiqPointer<liq_image> input(
        liq_image_create_rgba_rows(attr.get(), rgbaRows.data(), width, height, 0.0));
    if (!input)
        return false;
    liq_result *quantized = nullptr;
    const liq_error error = liq_image_quantize(input.get(), attr.get(), &quantized);
    const LiqPointer<liq_result> result(quantized);
    if (error != LIQ_OK || !result)
        return false;
    if (liq_set_dithering_level(result.get(), dither ? 1.0f : 0.0f) != LIQ_OK
        || liq_write_remapped_image_rows(result.get(), input.get(), indexRows.data()) != LIQ_OK) {
        return false;
    }
    // Read after remapping: the remapping settles the final palette.
    const liq_palette *palette = liq_get_palette(result.get());
    if (!palette || palette->count == 0 || palette->count > unsigned(colors))
        return false;

    QVector<QRgb> table;
    table.reserve(int(palette->count));
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color &c = palette->entries[i];
        // The library gives transparent entries an arbitrary colour; make
        // them transparent black, as QImage and the outputs write them.
        table.append(c.a == 0 ? 0u : qRgba(c.r, c.g, c.b, c.a));
    }
    out->palette = table;
    out->indices.setColorTable(table);
    return true;
}

// The last resort when libimagequant fails: colours sampled from the image
// itself (the first colors distinct ones among 32 per entry), each pixel
// mapped to the nearest of them. Far cruder than the library, but
// deterministic, and needing little memory beyond the indices.
void quantizeBySampling(const QImage &image, int colors, IndexedImage *out)
{
    PixelRows rows(image);
    const qint64 width = rows.width();
    const qint64 pixels = width * rows.height();

    // Sample positions step through the pixels by the golden ratio of their
    // number (a Weyl sequence), which spreads them over the whole image
    // without lining up with a period in it, as evenly spaced samples can.
    const int samples = int(qMin<qint64>(pixels, 32 * qint64(colors)));
    const qint64 step = qMax<qint64>(1, qint64(pixels * 0.6180339887498949));
    std::vector<std::pair<qint64, int>> positions; // (pixel, sample number)
    positions.reserve(size_t(samples));
    for (int i = 0; i < samples; ++i)
        positions.emplace_back((pixels / 2 + i * step) % pixels, i);
    // Read in pixel order, so that each row is converted once.
    std::sort(positions.begin(), positions.end());
    std::vector<QRgb> sampled(static_cast<size_t>(samples));
    int sampledRow = -1;
    const QRgb *line = nullptr;
    for (const auto &position : positions) {
        const int y = int(position.first / width);
        if (y != sampledRow) {
            line = rows.row(y);
            sampledRow = y;
        }
        sampled[size_t(position.second)] = line[position.first % width];
    }
    QVector<QRgb> palette;
    for (const QRgb colour : sampled) {
        if (palette.size() == colors)
            break;
        if (!palette.contains(colour))
            palette.append(colour);
    }

    // Nearest by the premultiplied colour and the alpha, each on a 0..65025
    // scale, so that the distance follows the error seen over any background.
    struct Premultiplied
    {
        qint64 r, g, b, a;
    };
    const auto premultiply = [](QRgb c) {
        const qint64 a = qAlpha(c);
        return Premultiplied {qRed(c) * a, qGreen(c) * a, qBlue(c) * a, a * 255};
    };
    std::vector<Premultiplied> entries;
    entries.reserve(size_t(palette.size()));
    for (const QRgb c : qAsConst(palette))
        entries.push_back(premultiply(c));
    const auto nearest = [&entries, &premultiply](QRgb c) {
        const Premultiplied p = premultiply(c);
        int best = 0;
        qint64 bestDistance = -1;
        for (size_t i = 0; i < entries.size(); ++i) {
            const Premultiplied &e = entries[i];
            const qint64 distance = (p.r - e.r) * (p.r - e.r) + (p.g - e.g) * (p.g - e.g)
                + (p.b - e.b) * (p.b - e.b) + (p.a - e.a) * (p.a - e.a);
            if (bestDistance < 0 || distance < bestDistance) {
                best = int(i);
                bestDistance = distance;
            }
        }
        return best;
    };

    QRgb last = 0;
    int lastIndex = -1;
    for (int y = 0; y < rows.height(); ++y) {
        const QRgb *in = rows.row(y);
        uchar *indices = out->indices.scanLine(y);
        for (int x = 0; x < rows.width(); ++x) {
            if (in[x] != last || lastIndex < 0) {
                last = in[x];
                lastIndex = nearest(in[x]);
            }
            indices[x] = uchar(lastIndex);
        }
    }
    out->palette = palette;
    out->indices.setColorTable(palette);
}

} // namespace

IndexedImage quantize(const QImage &image, int colors, QuantizerKind kind, bool dither)
{
    if (image.isNull() || colors < 2 || colors > 256)
        return {};

    if (kind == QuantizerKind::Toolkit) {
        if (colors != 256)
            return {};
        IndexedImage result;
        result.indices = image.convertToFormat(QImage::Format_Indexed8);
        result.palette = result.indices.colorTable();
        return result;
    }

    // Containers throw std::bad_alloc when memory runs out; QImage returns
    // a null image. Either way the caller gets a null result, not an abort.
    try {
        IndexedImage result;
        result.indices = QImage(image.size(), QImage::Format_Indexed8);
        if (result.indices.isNull())
            return {};
        if (!quantizeExactly(image, colors, &result)
            && !quantizeWithLiq(image, colors, dither, &result))
            quantizeBySampling(image, colors, &result);
        return result;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

} // namespace Convert
