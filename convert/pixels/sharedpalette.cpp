#include "sharedpalette.h"

#include "pixelrows.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace Convert {

namespace {

// The sample quantize() sees at most: beyond it a palette gains little and
// the quantizer's time grows.
constexpr qint64 SamplePixels = 512 * 512;

// The nearest palette entry of a colour, by premultiplied red, green and
// blue and by alpha, each on a 0..65025 scale, so that the distance follows
// the error seen over any background. Remembers every colour it was asked.
class NearestEntry
{
public:
    explicit NearestEntry(const QVector<QRgb> &palette)
    {
        m_entries.reserve(size_t(palette.size()));
        for (int i = 0; i < palette.size(); ++i) {
            m_entries.push_back(premultiplied(palette.at(i)));
            // The first of equal entries is a colour's own.
            if (!m_cache.contains(palette.at(i)))
                m_cache.insert(palette.at(i), uchar(i));
        }
    }

    uchar operator()(QRgb colour)
    {
        const auto it = m_cache.constFind(colour);
        if (it != m_cache.cend())
            return it.value();
        const Components c = premultiplied(colour);
        int best = 0;
        qint64 bestDistance = -1;
        for (size_t i = 0; i < m_entries.size(); ++i) {
            const Components &e = m_entries[i];
            const qint64 distance = (c.r - e.r) * (c.r - e.r) + (c.g - e.g) * (c.g - e.g)
                + (c.b - e.b) * (c.b - e.b) + (c.a - e.a) * (c.a - e.a);
            if (bestDistance < 0 || distance < bestDistance) {
                best = int(i);
                bestDistance = distance;
            }
        }
        m_cache.insert(colour, uchar(best));
        return uchar(best);
    }

private:
    struct Components
    {
        qint64 r, g, b, a;
    };
    static Components premultiplied(QRgb c)
    {
        const qint64 a = qAlpha(c);
        return {qRed(c) * a, qGreen(c) * a, qBlue(c) * a, a * 255};
    }

    std::vector<Components> m_entries;
    QHash<QRgb, uchar> m_cache;
};

// The distinct colours of images in order of first appearance, or false
// as soon as there are more than colors.
bool exactColours(const QVector<QImage> &images, int colors, QVector<QRgb> *palette)
{
    QHash<QRgb, int> seen;
    seen.reserve(colors + 1);
    for (const QImage &image : images) {
        PixelRows rows(image);
        QRgb last = 0;
        bool any = false;
        for (int y = 0; y < rows.height(); ++y) {
            const QRgb *in = rows.row(y);
            for (int x = 0; x < rows.width(); ++x) {
                if (any && in[x] == last)
                    continue;
                last = in[x];
                any = true;
                if (seen.contains(in[x]))
                    continue;
                if (palette->size() == colors)
                    return false;
                seen.insert(in[x], palette->size());
                palette->append(in[x]);
            }
        }
    }
    return true;
}

// Rows taken evenly from every image, as one image as wide as the widest;
// a narrower row is repeated to fill it.
QImage sampleRows(const QVector<QImage> &images)
{
    qint64 pixels = 0;
    int width = 0;
    for (const QImage &image : images) {
        pixels += qint64(image.width()) * image.height();
        width = qMax(width, image.width());
    }
    const qint64 step = qMax<qint64>(1, (pixels + SamplePixels - 1) / SamplePixels);
    std::vector<std::pair<int, int>> picked; // (image, row)
    for (int i = 0; i < images.size(); ++i) {
        // Each image starts at another offset, so that the sample does not
        // take the same row of every frame.
        for (qint64 y = i % step; y < images.at(i).height(); y += step)
            picked.emplace_back(i, int(y));
    }
    if (picked.empty() || width == 0)
        return QImage();
    QImage sample(width, int(picked.size()), QImage::Format_ARGB32);
    if (sample.isNull())
        return sample;
    std::vector<PixelRows> rows;
    rows.reserve(size_t(images.size()));
    for (const QImage &image : images)
        rows.emplace_back(image);
    for (size_t k = 0; k < picked.size(); ++k) {
        PixelRows &from = rows[size_t(picked[k].first)];
        const QRgb *in = from.row(picked[k].second);
        auto *out = reinterpret_cast<QRgb *>(sample.scanLine(int(k)));
        for (int x = 0; x < width; ++x)
            out[x] = in[x % from.width()];
    }
    return sample;
}

} // namespace

QVector<QRgb> sharedPalette(const QVector<QImage> &images, int colors, QuantizerKind kind)
{
    if (images.isEmpty() || colors < 2 || colors > 256)
        return {};
    QVector<QRgb> palette;
    if (exactColours(images, colors, &palette))
        return palette;
    const QImage sample = sampleRows(images);
    const QuantizerKind used = colors == 256 ? kind : QuantizerKind::Best;
    return quantize(sample, colors, used, false).palette;
}

IndexedImage mapToPalette(const QImage &image, const QVector<QRgb> &palette, bool dither)
{
    if (image.isNull() || palette.isEmpty() || palette.size() > 256)
        return {};
    IndexedImage result;
    result.indices = QImage(image.size(), QImage::Format_Indexed8);
    if (result.indices.isNull())
        return {};
    result.palette = palette;
    result.indices.setColorTable(palette);
    NearestEntry nearest(palette);
    PixelRows rows(image);
    const int width = rows.width();

    if (!dither) {
        QRgb last = 0;
        int lastIndex = -1;
        for (int y = 0; y < rows.height(); ++y) {
            const QRgb *in = rows.row(y);
            uchar *out = result.indices.scanLine(y);
            for (int x = 0; x < width; ++x) {
                if (lastIndex < 0 || in[x] != last) {
                    last = in[x];
                    lastIndex = nearest(in[x]);
                }
                out[x] = uchar(lastIndex);
            }
        }
        return result;
    }

    // Floyd-Steinberg on the four components, in sixteenths: 7 to the
    // right, 3, 5 and 1 below left, below and below right. Two rows of
    // errors, with a spare column at each end.
    std::vector<int> current(size_t(width + 2) * 4, 0);
    std::vector<int> below(size_t(width + 2) * 4, 0);
    for (int y = 0; y < rows.height(); ++y) {
        const QRgb *in = rows.row(y);
        uchar *out = result.indices.scanLine(y);
        std::fill(below.begin(), below.end(), 0);
        for (int x = 0; x < width; ++x) {
            int *e = &current[size_t(x + 1) * 4];
            const int want[4] = {qAlpha(in[x]), qRed(in[x]), qGreen(in[x]), qBlue(in[x])};
            int value[4];
            for (int c = 0; c < 4; ++c)
                value[c] = qBound(0, want[c] + (e[c] + (e[c] < 0 ? -8 : 8)) / 16, 255);
            const uchar index = nearest(qRgba(value[1], value[2], value[3], value[0]));
            out[x] = index;
            const QRgb got = palette.at(index);
            const int have[4] = {qAlpha(got), qRed(got), qGreen(got), qBlue(got)};
            for (int c = 0; c < 4; ++c) {
                const int error = value[c] - have[c];
                current[size_t(x + 2) * 4 + size_t(c)] += error * 7;
                below[size_t(x) * 4 + size_t(c)] += error * 3;
                below[size_t(x + 1) * 4 + size_t(c)] += error * 5;
                below[size_t(x + 2) * 4 + size_t(c)] += error;
            }
        }
        std::swap(current, below);
    }
    return result;
}

} // namespace Convert
