// Writes the image sets that the command-line batch timing converts:
//
//   bench_makeimages DIR COUNT SIDE [PREFIX]
//
// COUNT photo-like RGBA pictures of SIDE x SIDE, saved as PNG files named
// PREFIX_0000.png, PREFIX_0001.png, ... in DIR (created if missing). Each
// file has its own seed, so no two are alike.

#include <testimages.h>

#include <QDir>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: bench_makeimages DIR COUNT SIDE [PREFIX]\n");
        return 2;
    }
    const QString dirPath = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    const int side = std::atoi(argv[3]);
    const QString prefix = argc == 5 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("image");
    if (count <= 0 || side <= 0) {
        std::fprintf(stderr, "COUNT and SIDE must be positive\n");
        return 2;
    }
    QDir dir;
    if (!dir.mkpath(dirPath)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(dirPath).filePath(
            QStringLiteral("%1_%2.png").arg(prefix).arg(i, 4, 10, QLatin1Char('0')));
        if (!TestImages::photo(side, side, quint32(i + 1)).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
