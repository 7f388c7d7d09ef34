// Writes a starting corpus for fuzz_decode into a folder: every v8 format
// as C and .bin at every depth, every v9 format uncompressed, RLE and LZ4,
// as .bin and as C, C sources in another tool's layout, and PNG and JPEG
// sources.
//
//   fuzz_decode_seeds DIR

#include "decodeharness.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_decode_seeds DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const QVector<QByteArray> seeds = DecodeHarness::seeds() + DecodeHarness::sourceSeeds();
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
