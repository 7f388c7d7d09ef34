#include "animation.h"

namespace Convert {

// Until the animated kinds read their frames, every source is a still
// image of one frame.
ConvertResult readAnimationInfo(const QByteArray &data, const QString &path, AnimationInfo *info)
{
    SourceImage source;
    const ConvertResult result = decodeImageData(data, path, DecodeRequest(), &source);
    if (!result.ok())
        return result;
    *info = AnimationInfo();
    info->kind = source.kind;
    info->canvas = source.size;
    info->frameCount = 1;
    info->delaysMs = {0};
    return result;
}

ConvertResult readAnimation(const QString &path, const DecodeRequest &request, Animation *animation)
{
    SourceImage source;
    const ConvertResult result = readSourceImage(path, request, &source);
    if (!result.ok())
        return result;
    *animation = Animation();
    animation->info.kind = source.kind;
    animation->info.canvas = source.size;
    animation->info.frameCount = 1;
    animation->info.delaysMs = {0};
    animation->bytes = source.bytes;
    animation->frames.append({source.image.convertToFormat(QImage::Format_ARGB32), 0});
    return result;
}

} // namespace Convert
