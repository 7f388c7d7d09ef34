// libFuzzer entry point of the source decoders: every input is read as a
// file handed to the command line, by whichever kind its first bytes name
// (PNG, JPEG, BMP, WebP, GIF). A decode either fails with a reason or gives
// an image of the size its header declares; the same bytes decode the same
// way twice. Read as an animation, the same bytes give every frame the
// headers count, each the size of the canvas, the first the still image.
// The sanitizers catch every read past the input and every use of memory
// the decoders did not write.

#include "fuzzharness.h"

#include <animation.h>
#include <imagesource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "\n%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static FuzzHarness::ScopedMessageFilter filter;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    // Small images only, so that the fuzzer spends its time on the data.
    constexpr int MaxSide = 1024;
    Convert::SourceImage first;
    const Convert::ConvertResult result =
        Convert::decodeImageData(bytes, QStringLiteral("fuzz"), MaxSide, &first);
    if (result.ok()) {
        if (first.image.isNull() || first.image.size() != first.size)
            broken("a successful decode gave no image of its size");
        if (first.image.width() > MaxSide || first.image.height() > MaxSide)
            broken("a decode went past the side limit");
        // Every pixel is read once, so that memory no decoder wrote shows.
        quint32 sum = 0;
        for (int y = 0; y < first.image.height(); ++y) {
            const uchar *line = first.image.constScanLine(y);
            for (int x = 0; x < first.image.bytesPerLine(); ++x)
                sum += line[x];
        }
        if (sum == 0xffffffffu)
            std::fprintf(stderr, " ");
    } else if (result.reason().isEmpty() || !first.image.isNull()) {
        broken("a failed decode gave no reason or left an image");
    }
    Convert::SourceImage second;
    const Convert::ConvertResult again =
        Convert::decodeImageData(bytes, QStringLiteral("fuzz"), MaxSide, &second);
    if (again.status() != result.status() || second.image != first.image)
        broken("the same bytes decoded two ways");

    Convert::DecodeRequest request;
    request.maxSide = MaxSide;
    Convert::Animation animation;
    const Convert::ConvertResult read =
        Convert::readAnimationData(bytes, QStringLiteral("fuzz"), request, &animation);
    if (read.ok()) {
        if (animation.frames.isEmpty() || animation.frames.size() != animation.info.frameCount
            || animation.info.delaysMs.size() != animation.frames.size())
            broken("an animation's frames disagree with its headers");
        for (const Convert::AnimationFrame &frame : qAsConst(animation.frames)) {
            if (frame.image.size() != animation.info.canvas
                || frame.image.format() != QImage::Format_ARGB32)
                broken("a frame is not an ARGB32 image of the canvas");
        }
        if (result.ok()
            && animation.frames.first().image != first.image.convertToFormat(QImage::Format_ARGB32))
            broken("the first frame is not the still image");
    } else if (read.reason().isEmpty()) {
        broken("a failed animation gave no reason");
    }
    return 0;
}
