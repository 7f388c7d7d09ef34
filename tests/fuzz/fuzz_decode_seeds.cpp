// Writes a starting corpus for fuzz_decode into a folder: every v8 format
// as C and .bin at every depth, every v9 format uncompressed, RLE and LZ4,
// as .bin and as C, C sources in another tool's layout, and PNG and JPEG
// sources. With --sources, a starting corpus for fuzz_source instead: WebP
// files (lossy, lossless, animated) and GIF files (global and local colour
// tables, transparency, interlace, two frames) as their libraries write them.
//
//   fuzz_decode_seeds [--sources] DIR

#include "decodeharness.h"

#include <encodedfiles.h>
#include <testimages.h>

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

QVector<QByteArray> sourceSeeds()
{
    using EncodedFiles::GifFrame;
    const QImage photo = TestImages::photo(24, 16, 2).convertToFormat(QImage::Format_ARGB32);
    const QImage opaque = photo.convertToFormat(QImage::Format_RGB32);
    QVector<QByteArray> seeds = {
        EncodedFiles::webp(photo, true),
        EncodedFiles::webp(opaque, true),
        EncodedFiles::webp(photo, false, 60),
        EncodedFiles::webp(opaque, false, 60),
        EncodedFiles::webpAnimation({photo, photo.mirrored(true, false)}),
    };
    GifFrame frame;
    frame.image = photo.convertToFormat(QImage::Format_Indexed8);
    GifFrame placed = frame;
    placed.at = QPoint(3, 2);
    placed.transparent = 0;
    GifFrame interlaced = placed;
    interlaced.interlaced = true;
    interlaced.localTable = true;
    const QSize canvas(30, 20);
    seeds << EncodedFiles::gif(photo.size(), {frame}) << EncodedFiles::gif(canvas, {placed})
          << EncodedFiles::gif(canvas, {interlaced})
          << EncodedFiles::gif(canvas, {placed, interlaced});
    return seeds;
}

} // namespace

int main(int argc, char **argv)
{
    const bool sources = argc == 3 && qstrcmp(argv[1], "--sources") == 0;
    if (argc != 2 && !sources) {
        std::fprintf(stderr, "usage: fuzz_decode_seeds [--sources] DIR\n");
        return 2;
    }
    argv += argc - 2;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const QVector<QByteArray> seeds =
        sources ? sourceSeeds() : DecodeHarness::seeds() + DecodeHarness::sourceSeeds();
    for (int i = 0; i < seeds.size(); ++i) {
        QFile file(dir.filePath(QStringLiteral("seed-%1").arg(i, 3, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(seeds.at(i)) != seeds.at(i).size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    std::printf("%d seeds in %s\n", int(seeds.size()), argv[1]);
    return 0;
}
