// Writes a starting corpus for fuzz_convert into a folder: one small image
// of every pixel format, indexed formats with short, full and overlong
// colour tables, images on both sides of the 2047-pixel limit, and a few
// awkward names.
//
//   fuzz_seeds DIR

#include "fuzzharness.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using FuzzHarness::makeInput;
using FuzzHarness::NameEncoding;

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 0x9e3779b9u;
    for (char &byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return bytes;
}

QVector<QRgb> table(int size)
{
    QVector<QRgb> entries(size);
    for (int i = 0; i < size; ++i)
        entries[i] = qRgba(i * 37, i * 11, 255 - i, i * 5);
    return entries;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    QVector<QByteArray> seeds;
    const QVector<QRgb> shortTable = table(3);
    const QVector<QRgb> fullTable = table(256);
    const QVector<QRgb> longTable = table(300);
    for (int format = 0; format < QImage::NImageFormats; ++format) {
        const auto f = QImage::Format(format);
        seeds << makeInput(7, 5, f, pattern(7 * 5 * 8), NameEncoding::Utf8, "logo");
        seeds << makeInput(3, 2, f, pattern(64), NameEncoding::Latin1, "my-logo.small");
    }
    for (const QImage::Format f :
         {QImage::Format_Indexed8, QImage::Format_Mono, QImage::Format_MonoLSB}) {
        seeds << makeInput(9, 4, f, pattern(64), NameEncoding::Utf8, "2x", &shortTable);
        seeds << makeInput(9, 4, f, pattern(64), NameEncoding::Utf8, "int", &fullTable);
        seeds << makeInput(9, 4, f, pattern(64), NameEncoding::Utf8, "", &longTable);
    }
    seeds << makeInput(2047, 1, QImage::Format_ARGB32, pattern(2047 * 4));
    seeds << makeInput(2048, 1, QImage::Format_ARGB32, pattern(64));
    seeds << makeInput(1, 2047, QImage::Format_RGB888, pattern(2047 * 4));
    seeds << makeInput(1, 2048, QImage::Format_RGB888, pattern(64));
    seeds << makeInput(4, 4, QImage::Format_ARGB32, pattern(64), NameEncoding::Utf16,
                       QByteArray("\x00\xd8\x41\x00\x3d\xd8\x00\xde", 8));
    seeds << makeInput(4, 4, QImage::Format_ARGB32, pattern(64), NameEncoding::Utf8,
                       "\xc3\xa9t\xc3\xa9.c");

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
