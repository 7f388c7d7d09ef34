// Peak resident memory of converting one decoded image, beyond what the
// process held before the conversion started.
//
//   peakmem [--side N] [--output c-true-color-alpha|...] [IMAGE]
//
// The image is decoded from IMAGE, or made in code (photo-like RGBA, N x N,
// 2000 by default). Then, for each way of encoding, the kernel's peak RSS
// is reset by writing "5" to /proc/self/clear_refs, the image is encoded,
// and VmHWM minus the RSS before the step is printed:
//   file       Convert::convertImage into a file (streams the text in blocks)
//   memory     Convert::encodeImage into a QByteArray
//   reference  the plain reference encoder: the whole text built in memory
//              as strings, then written to a file
// The file steps write into a temporary folder that is removed at the end.

#include "benchoutputs.h"

#include <converter.h>
#include <referenceencoder.h>
#include <testimages.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

// A "Vm...:  1234 kB" field of /proc/self/status, in bytes, or -1. Read
// with stdio: the file reports a size of 0, which QFile takes as empty.
qint64 statusField(const char *name)
{
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    const size_t nameLength = std::strlen(name);
    qint64 bytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        long long kb = 0;
        if (std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ':'
            && std::sscanf(line + nameLength + 1, "%lld", &kb) == 1) {
            bytes = kb * 1024;
            break;
        }
    }
    std::fclose(status);
    return bytes;
}

bool resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

double megabytes(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

// Runs step and prints the peak RSS it added. Returns false when the peak
// cannot be reset or read, or when the step itself failed.
bool measure(const char *label, const std::function<qint64()> &step)
{
    if (!resetPeak()) {
        std::fprintf(stderr, "cannot reset the peak RSS through /proc/self/clear_refs\n");
        return false;
    }
    const qint64 before = statusField("VmRSS");
    // Kernels without the reset leave the old peak in place, which would
    // show an earlier step's memory as this one's.
    if (statusField("VmHWM") > before + (4 << 20)) {
        std::fprintf(stderr, "the peak RSS was not reset; the figures would be wrong\n");
        return false;
    }
    const qint64 outputBytes = step();
    const qint64 peak = statusField("VmHWM");
    if (before < 0 || peak < 0) {
        std::fprintf(stderr, "cannot read VmRSS and VmHWM from /proc/self/status\n");
        return false;
    }
    if (outputBytes < 0)
        return false;
    std::printf("%-10s output %8.1f MiB   RSS before %7.1f MiB   peak %7.1f MiB   "
                "beyond the image: %7.1f MiB\n",
                label, megabytes(outputBytes), megabytes(before), megabytes(peak),
                megabytes(peak - before));
    return true;
}

const BenchOutput *findOutput(const char *name)
{
    for (const BenchOutput &output : benchOutputs) {
        if (std::strcmp(output.name, name) == 0)
            return &output;
    }
    return nullptr;
}

int usage()
{
    std::fprintf(stderr, "usage: peakmem [--side N] [--output NAME] [IMAGE]\noutputs:");
    for (const BenchOutput &output : benchOutputs)
        std::fprintf(stderr, " %s", output.name);
    std::fprintf(stderr, "\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    int side = 2000;
    const BenchOutput *kind = findOutput("c-true-color-alpha");
    QString imagePath;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--side") == 0 && i + 1 < argc) {
            side = std::atoi(argv[++i]);
            if (side <= 0)
                return usage();
        } else if (std::strcmp(argv[i], "--output") == 0 && i + 1 < argc) {
            kind = findOutput(argv[++i]);
            if (!kind)
                return usage();
        } else if (argv[i][0] != '-' && imagePath.isEmpty()) {
            imagePath = QString::fromLocal8Bit(argv[i]);
        } else {
            return usage();
        }
    }

    QImage image;
    if (imagePath.isEmpty()) {
        image = TestImages::photo(side, side);
    } else {
        const Convert::ConvertResult loaded = Convert::loadImage(imagePath, &image);
        if (!loaded.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(loaded.message()));
            return 1;
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const QString outputPath =
        dir.filePath(QStringLiteral("photo")) + Convert::outputExtension(kind->output);

    std::printf("%s, %d x %d, format %d, decoded image %.1f MiB\n", kind->name, image.width(),
                image.height(), int(image.format()), megabytes(image.sizeInBytes()));

    bool ok = measure("file", [&]() -> qint64 {
        const Convert::ConvertResult result =
            Convert::convertImage(image, kind->output, kind->color, outputPath);
        if (!result.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(result.message()));
            return -1;
        }
        return QFileInfo(outputPath).size();
    });
    QFile::remove(outputPath);

    ok = measure("memory",
                 [&]() -> qint64 {
                     QByteArray bytes;
                     const Convert::ConvertResult result = Convert::encodeImage(
                         image, kind->output, kind->color, QStringLiteral("photo"), &bytes);
                     if (!result.ok()) {
                         std::fprintf(stderr, "%s\n", qPrintable(result.message()));
                         return -1;
                     }
                     return bytes.size();
                 })
        && ok;

    ok = measure("reference",
                 [&]() -> qint64 {
                     const QByteArray bytes =
                         referenceEncode(image, kind->output, kind->color, QStringLiteral("photo"));
                     QFile file(outputPath);
                     if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
                         std::fprintf(stderr, "cannot write %s\n", qPrintable(outputPath));
                         return -1;
                     }
                     return bytes.size();
                 })
        && ok;
    QFile::remove(outputPath);
    return ok ? 0 : 1;
}
