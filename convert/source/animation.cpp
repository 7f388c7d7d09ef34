#include "animation.h"

#include "gifdecode.h"
#include "gifreader.h"
#include "imagekinds.h"
#include "webpdecode.h"

#include <formats.h>

#include <utility>

namespace Convert {

using namespace Reading;

namespace {

// Bytes one canvas pixel takes beside the frames (ARGB32, 4 bytes each):
// a WebP animation decoder keeps its canvas, the previous frame and a
// lossless frame's own buffer; giflib decodes one row at a time.
constexpr int WebpDecoderBytesPerPixel = 12;

// The side limit and the decoding budget over all the frames together.
ConvertResult checkAnimationLimits(const AnimationInfo &info, int decoderBytesPerPixel,
                                   const DecodeRequest &request, const QString &path)
{
    const QSize canvas = info.canvas;
    if (request.maxSide > 0
        && (canvas.width() > request.maxSide || canvas.height() > request.maxSide))
        return ConvertResult::tooLarge(path, canvas).withSideLimit(request.maxSide);
    const qint64 pixels = qint64(canvas.width()) * canvas.height();
    if (pixels <= 0)
        return ConvertResult::corrupt(path, QStringLiteral("the canvas is empty"));
    const qint64 frames = info.frameCount;
    const bool fits = pixels <= DecodeBudgetPixels / frames
        && pixels * (4 * frames + decoderBytesPerPixel) <= DecodeBudgetBytes;
    if (fits)
        return ConvertResult::success();
    return frames == 1 ? ConvertResult::overBudget(path, canvas)
                       : ConvertResult::overBudget(path, canvas, info.frameCount);
}

ConvertResult gifInfo(const QByteArray &data, const QString &path, AnimationInfo *info,
                      GifLayout *layout)
{
    const QString problem = readGifLayout(data, layout);
    if (!problem.isEmpty())
        return ConvertResult::corrupt(path, problem);
    if (layout->frames.isEmpty())
        return ConvertResult::notDecodable(path, QStringLiteral("the GIF holds no image"));
    info->kind = ImageKind::Gif;
    info->canvas = layout->canvas;
    info->frameCount = layout->frames.size();
    // A single image is a still one, whatever delay it carries.
    for (const GifFrameHeader &frame : qAsConst(layout->frames))
        info->delaysMs.append(info->frameCount > 1 ? frame.delayCs * 10 : 0);
    info->loopCount = layout->loopCount;
    info->gifVersion = layout->version;
    info->globalColorTable = layout->globalTable;
    for (const GifFrameHeader &frame : qAsConst(layout->frames))
        info->restoresToPrevious = info->restoresToPrevious || frame.disposal == 3;
    return ConvertResult::success();
}

// Clears rect of canvas to transparent (disposal method 2).
void clearRect(QImage *canvas, const QRect &rect)
{
    const QRect area = rect & canvas->rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(canvas->scanLine(y));
        std::fill(row + area.left(), row + area.left() + area.width(), QRgb(0));
    }
}

// Draws every frame onto the canvas in turn, disposing of each as its
// graphic control extension says before the next: 0 and 1 leave it, 2
// clears its rectangle to transparent, 3 restores the canvas it was drawn
// on.
ConvertResult decodeGifFrames(const QByteArray &data, const QString &path, const GifLayout &layout,
                              const AnimationInfo &info, QVector<AnimationFrame> *frames)
{
    GifFrameReader reader(data, path);
    ConvertResult result = reader.open();
    if (!result.ok())
        return result;
    if (reader.canvas() != layout.canvas)
        return ConvertResult::corrupt(path, QStringLiteral("giflib reads another canvas size"));
    QImage canvas(layout.canvas, QImage::Format_ARGB32);
    if (canvas.isNull())
        return ConvertResult::notDecodable(path, QStringLiteral("out of memory"));
    canvas.fill(0u);
    frames->reserve(layout.frames.size());
    for (int i = 0; i < layout.frames.size(); ++i) {
        bool found = false;
        int transparent = -1;
        result = reader.nextImage(&found, &transparent);
        if (!result.ok())
            return result;
        if (!found)
            return ConvertResult::corrupt(path, QStringLiteral("giflib reads fewer frames"));
        const GifFrameHeader &header = layout.frames.at(i);
        // Shallow copies: the canvas detaches when it is drawn on next.
        const QImage before = header.disposal == 3 ? canvas : QImage();
        result = reader.drawImage(transparent, gifFrameName(i), &canvas);
        if (!result.ok())
            return result;
        frames->append({canvas, info.delaysMs.at(i)});
        if (header.disposal == 2)
            clearRect(&canvas, reader.imageRect());
        else if (header.disposal == 3)
            canvas = before;
    }
    return result;
}

ConvertResult readGifAnimation(const QByteArray &data, const QString &path,
                               const DecodeRequest &request, Animation *animation)
{
    GifLayout layout;
    AnimationInfo info;
    ConvertResult result = gifInfo(data, path, &info, &layout);
    if (result.ok())
        result = checkAnimationLimits(info, 0, request, path);
    QVector<AnimationFrame> frames;
    if (result.ok())
        result = decodeGifFrames(data, path, layout, info, &frames);
    if (!result.ok())
        return result;
    animation->info = std::move(info);
    animation->bytes = data;
    animation->frames = std::move(frames);
    return result;
}

void webpInfo(const WebpAnimationHeaders &headers, AnimationInfo *info)
{
    info->kind = ImageKind::Webp;
    info->canvas = headers.canvas;
    info->frameCount = headers.durationsMs.size();
    info->delaysMs = headers.durationsMs;
    info->loopCount = headers.loopCount;
}

// A still image: one frame, shown for no time in particular.
void stillInfo(ImageKind kind, QSize size, AnimationInfo *info)
{
    info->kind = kind;
    info->canvas = size;
    info->frameCount = 1;
    info->delaysMs = {0};
}

} // namespace

ConvertResult readAnimationInfo(const QByteArray &data, const QString &path, AnimationInfo *info)
{
    *info = AnimationInfo();
    ImageProbe probe;
    ConvertResult result = probeImageData(data, path, &probe);
    if (!result.ok())
        return result;
    AnimationInfo read;
    if (probe.kind == ImageKind::Gif) {
        GifLayout layout;
        result = gifInfo(data, path, &read, &layout);
    } else if (probe.kind == ImageKind::Webp) {
        bool animated = false;
        WebpAnimationHeaders headers;
        result = readWebpAnimationHeaders(data, path, &animated, &headers);
        if (animated)
            webpInfo(headers, &read);
        else
            stillInfo(probe.kind, probe.size, &read);
    } else {
        stillInfo(probe.kind, probe.size, &read);
    }
    if (result.ok())
        *info = std::move(read);
    return result;
}

ConvertResult readAnimationData(const QByteArray &data, const QString &path,
                                const DecodeRequest &request, Animation *animation)
{
    *animation = Animation();
    ImageProbe probe;
    ConvertResult result = probeImageData(data, path, &probe);
    if (!result.ok())
        return result;
    if (probe.kind == ImageKind::Gif)
        return readGifAnimation(data, path, request, animation);
    if (probe.kind == ImageKind::Webp) {
        bool animated = false;
        WebpAnimationHeaders headers;
        result = readWebpAnimationHeaders(data, path, &animated, &headers);
        if (!result.ok())
            return result;
        if (animated) {
            AnimationInfo info;
            webpInfo(headers, &info);
            result = checkAnimationLimits(info, WebpDecoderBytesPerPixel, request, path);
            QVector<QImage> images;
            if (result.ok())
                result = decodeWebpFrames(data, path, info.frameCount, &images);
            if (!result.ok())
                return result;
            for (int i = 0; i < images.size(); ++i)
                animation->frames.append({std::move(images[i]), info.delaysMs.at(i)});
            animation->info = std::move(info);
            animation->bytes = data;
            return result;
        }
    }
    SourceImage source;
    result = decodeImageData(data, path, request, &source);
    if (!result.ok())
        return result;
    stillInfo(source.kind, source.image.size(), &animation->info);
    animation->bytes = source.bytes;
    animation->frames.append({source.image.convertToFormat(QImage::Format_ARGB32), 0});
    return result;
}

ConvertResult readAnimation(const QString &path, const DecodeRequest &request, Animation *animation)
{
    *animation = Animation();
    // What the header alone decides comes before the file is read whole.
    ImageProbe probe;
    ConvertResult result = probeImage(path, &probe);
    if (!result.ok())
        return result;
    // A kind drawn at any size (SVG) is limited at the size wanted, later.
    const ImageKindRow *row = imageKindRow(probe.kind);
    if (row && !row->rendered && request.maxSide > 0
        && (probe.size.width() > request.maxSide || probe.size.height() > request.maxSide))
        return ConvertResult::tooLarge(path, probe.size).withSideLimit(request.maxSide);
    QByteArray bytes;
    result = readRegularFile(path, MaxSourceBytes, &bytes);
    if (!result.ok())
        return result;
    return readAnimationData(bytes, path, request, animation);
}

} // namespace Convert
