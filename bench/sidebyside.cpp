// Puts an image that brindleforge-cli resized beside the same source scaled
// by nearest neighbour to the same size, both enlarged by whole pixels over
// a checkerboard (so that alpha shows), for the README's picture.
//
//   bench_sidebyside SOURCE RESIZED OUT.png [ZOOM]
//
// RESIZED is what the tool made (the --preview of a v9 ARGB8888 .bin holds
// its pixels unchanged); ZOOM (default 4) is the enlargement.
#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

QImage enlarged(const QImage &image, int zoom)
{
    return image.scaled(image.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void drawCheckerboard(QPainter *painter, const QRect &rect, int cell)
{
    for (int y = rect.top(); y <= rect.bottom(); y += cell) {
        for (int x = rect.left(); x <= rect.right(); x += cell) {
            const bool dark = ((x - rect.left()) / cell + (y - rect.top()) / cell) % 2;
            painter->fillRect(QRect(x, y, cell, cell).intersected(rect),
                              dark ? QColor(204, 204, 204) : QColor(255, 255, 255));
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || args.size() > 5) {
        std::fprintf(stderr, "usage: bench_sidebyside SOURCE RESIZED OUT.png [ZOOM]\n");
        return 2;
    }
    const QImage source(args.at(1));
    const QImage resized(args.at(2));
    const int zoom = args.size() == 5 ? args.at(4).toInt() : 4;
    if (source.isNull() || resized.isNull() || zoom < 1) {
        std::fprintf(stderr, "bench_sidebyside: cannot read the images\n");
        return 1;
    }
    const QImage nearest =
        source.convertToFormat(QImage::Format_ARGB32)
            .scaled(resized.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QImage left = enlarged(resized.convertToFormat(QImage::Format_ARGB32), zoom);
    const QImage right = enlarged(nearest, zoom);
    const int gap = 16;
    QImage out(left.width() + gap + right.width(), left.height(), QImage::Format_ARGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    const QRect leftRect(QPoint(0, 0), left.size());
    const QRect rightRect(QPoint(left.width() + gap, 0), right.size());
    drawCheckerboard(&painter, leftRect, 8);
    drawCheckerboard(&painter, rightRect, 8);
    painter.drawImage(leftRect.topLeft(), left);
    painter.drawImage(rightRect.topLeft(), right);
    painter.end();
    if (!out.save(args.at(3), "PNG")) {
        std::fprintf(stderr, "bench_sidebyside: cannot write %s\n", qPrintable(args.at(3)));
        return 1;
    }
    return 0;
}
