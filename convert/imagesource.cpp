#include "imagesource.h"

// Placeholder until the hardened reader lands.
namespace Convert {

ImageKind sniffImageKind(const QByteArray &)
{
    return ImageKind::Unknown;
}

ConvertResult probeImage(const QString &path, ImageProbe *)
{
    return ConvertResult::notAnImage(path);
}

bool withinDecodeBudget(const ImageProbe &)
{
    return false;
}

ConvertResult readSourceImage(const QString &path, int, SourceImage *)
{
    return ConvertResult::notAnImage(path);
}

ConvertResult decodeImageData(const QByteArray &, const QString &path, int, SourceImage *)
{
    return ConvertResult::notAnImage(path);
}

} // namespace Convert
