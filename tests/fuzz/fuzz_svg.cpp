// libFuzzer entry point for SVG sources: every input is read as a source
// file from memory, with a side limit of 256, so the sniff and the root
// element's parser run here under the sanitizers and librsvg renders in its
// own process. Any broken promise aborts with a description of the case.
//
//   fuzz_svg [LIBFUZZER OPTIONS] CORPUS tests/fuzz/svg-seeds

#include <imagesource.h>
#include <svgdecode.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char *promise, const Convert::ConvertResult &result)
{
    std::fprintf(stderr, "\n%s (%s)\n", promise, qUtf8Printable(result.message()));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A render that runs into the deadline costs the fuzzer its time.
    Convert::Reading::setSvgRenderDeadline(2000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString path = QStringLiteral("fuzz.svg");
    Convert::SourceImage source;
    const Convert::ConvertResult result = Convert::decodeImageData(bytes, path, 256, &source);
    if (!result.ok()) {
        if (!source.image.isNull() || !source.bytes.isEmpty())
            broken("a failure left an image behind", result);
        if (result.filePath() != path)
            broken("a failure does not name its source", result);
        return 0;
    }
    if (source.image.isNull() || source.image.size() != source.size)
        broken("a success has no image of its size", result);
    if (source.size.width() > 256 || source.size.height() > 256)
        broken("an image passed the side limit", result);
    if (source.kind == Convert::ImageKind::Svg && source.image.format() != QImage::Format_ARGB32)
        broken("an SVG did not come out as straight ARGB32", result);
    return 0;
}
