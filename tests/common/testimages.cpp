#include "testimages.h"

#include <QtMath>

#include <random>

namespace TestImages {

QImage photo(int width, int height, quint32 seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> grain(-12, 12);
    QImage image(width, height, QImage::Format_ARGB32);
    const double cx = width * 0.55;
    const double cy = height * 0.45;
    const double radius = qMax(1.0, qMin(width, height) * 0.35);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double d = qSqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) / radius;
            const double shade = qBound(0.0, 1.0 - d * 0.6, 1.0);
            const int n = grain(random);
            const int r = qBound(0, int(255 * shade * x / qMax(1, width)) + 40 + n, 255);
            const int g = qBound(0, int(180 * shade + 60 * y / qMax(1, height)) + n, 255);
            const int b = qBound(0, int(220 * (1.0 - shade)) + 20 + n, 255);
            // Opaque inside the shape, a ramp at its rim, transparent outside.
            const int a = qBound(0, int(255 * (1.6 - d)), 255);
            line[x] = qRgba(r, g, b, a);
        }
    }
    return image;
}

QImage softIcon(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    const double centre = (side - 1) / 2.0;
    const double radius = side * 0.42;
    const double band = side * 9.0 / 16.0;
    for (int y = 0; y < side; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const double d = qSqrt((x - centre) * (x - centre) + (y - centre) * (y - centre));
            const int a = qBound(0, qRound((radius - d) * 128), 255);
            const double t = qBound(0.0, (x - y) / band + 0.5, 1.0);
            const int r = qRound(230 * t + 30 * (1 - t));
            const int g = qRound(120 * t + 160 * (1 - t));
            const int b = qRound(40 * t + 220 * (1 - t));
            line[x] = a > 0 ? qRgba(r, g, b, a) : 0;
        }
    }
    return image;
}

QImage randomBytes(QImage::Format format, int width, int height, quint32 seed, int colorCount)
{
    std::mt19937 random(seed);
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        for (int i = 0; i < image.bytesPerLine(); ++i)
            line[i] = uchar(random());
    }
    if (colorCount > 0) {
        QVector<QRgb> table(colorCount);
        for (QRgb &c : table)
            c = random();
        image.setColorTable(table);
    }
    return image;
}

} // namespace TestImages
