#include "webpdecode.h"

#include <byteorder.h>

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>
#include <utility>

namespace Convert {
namespace Reading {

namespace {

constexpr int RiffHeaderBytes = 12; // "RIFF", size, "WEBP"
constexpr int ChunkHeaderBytes = 8; // FourCC, payload size
// The first chunk's header and the part of its payload that holds the size.
constexpr int ProbeBytes = RiffHeaderBytes + ChunkHeaderBytes + 10;

constexpr uchar Vp8xAnimation = 0x02;

// Bytes a decode holds per canvas pixel beside the image it gives: a
// lossless bitstream is decoded into an ARGB buffer of its own before it is
// converted; a lossy one goes straight into the image through row-sized
// buffers. An animation's decoder keeps its canvas (4 bytes) and the
// previous frame (4 bytes), and decodes a lossless frame through its own
// ARGB buffer too.
constexpr int LossyBytesPerPixel = 4;
constexpr int LosslessBytesPerPixel = 4 + 4;
constexpr int AnimationBytesPerPixel = 4 + 4 + 4 + 4;

bool isTag(const uchar *p, const char *tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

HeaderStatus invalid(QString *detail, const char *what)
{
    *detail = QStringLiteral("the WebP header is invalid (%1)").arg(QLatin1String(what));
    return HeaderStatus::Corrupt;
}

ConvertResult fromStatus(VP8StatusCode status, const QString &path)
{
    switch (status) {
    case VP8_STATUS_OK:
        return ConvertResult::success();
    case VP8_STATUS_NOT_ENOUGH_DATA:
    case VP8_STATUS_SUSPENDED:
        return ConvertResult::corrupt(path, QStringLiteral("the data ends early"));
    case VP8_STATUS_BITSTREAM_ERROR:
    case VP8_STATUS_USER_ABORT:
        return ConvertResult::corrupt(path, QStringLiteral("the WebP bitstream is damaged"));
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return ConvertResult::notDecodable(path,
                                           QStringLiteral("libwebp does not support this file"));
    case VP8_STATUS_OUT_OF_MEMORY:
        return ConvertResult::notDecodable(path, QStringLiteral("out of memory"));
    case VP8_STATUS_INVALID_PARAM:
        break;
    }
    return ConvertResult::notDecodable(path, QStringLiteral("libwebp refused the file"));
}

ConvertResult wrongSize(const QString &path, int width, int height, QSize header)
{
    return ConvertResult::corrupt(
        path,
        QStringLiteral("the WebP image is %1 x %2 pixels, its header says %3 x %4")
            .arg(QString::number(width), QString::number(height), QString::number(header.width()),
                 QString::number(header.height())));
}

ConvertResult decodeStill(const DecodeInput &input, WebPDecoderConfig *config, QImage *image)
{
    const auto *data = reinterpret_cast<const uint8_t *>(input.data.constData());
    const size_t size = size_t(input.data.size());
    // RGB32 like a PNG without alpha; the decoder writes 0xFF there.
    QImage decoded(input.probe.size,
                   config->input.has_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (decoded.isNull())
        return ConvertResult::notDecodable(input.path, QStringLiteral("out of memory"));
    // ARGB32 is a native-endian 0xAARRGGBB word: B, G, R, A in memory on a
    // little-endian machine.
    config->output.colorspace = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_ARGB;
    config->output.is_external_memory = 1;
    config->output.u.RGBA.rgba = decoded.bits();
    config->output.u.RGBA.stride = int(decoded.bytesPerLine());
    config->output.u.RGBA.size = size_t(decoded.bytesPerLine()) * size_t(decoded.height());
    const VP8StatusCode status = WebPDecode(data, size, config);
    WebPFreeDecBuffer(&config->output);
    const ConvertResult result = fromStatus(status, input.path);
    if (result.ok())
        *image = std::move(decoded);
    return result;
}

struct AnimDecoderDelete
{
    void operator()(WebPAnimDecoder *decoder) const { WebPAnimDecoderDelete(decoder); }
};

// An animation decoder over data, set for ARGB32's bytes.
std::unique_ptr<WebPAnimDecoder, AnimDecoderDelete> animDecoder(const QByteArray &bytes)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return nullptr;
    // The animation decoder offers only byte orders, not native words.
    options.color_mode = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_RGBA;
    options.use_threads = 0;
    WebPData data;
    data.bytes = reinterpret_cast<const uint8_t *>(bytes.constData());
    data.size = size_t(bytes.size());
    return std::unique_ptr<WebPAnimDecoder, AnimDecoderDelete>(WebPAnimDecoderNew(&data, &options));
}

// The decoder's canvas (width x height x 4 bytes, rows packed) as ARGB32.
QImage copyCanvas(const uint8_t *canvas, QSize size)
{
    const bool littleEndian = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
    const size_t rowBytes = size_t(size.width()) * 4;
    QImage decoded(size, littleEndian ? QImage::Format_ARGB32 : QImage::Format_RGBA8888);
    if (decoded.isNull())
        return decoded;
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(decoded.scanLine(y), canvas + rowBytes * size_t(y), rowBytes);
    if (!littleEndian)
        decoded = decoded.convertToFormat(QImage::Format_ARGB32);
    return decoded;
}

ConvertResult decodeFirstFrame(const DecodeInput &input, QImage *image)
{
    const auto decoder = animDecoder(input.data);
    if (!decoder)
        return ConvertResult::corrupt(input.path,
                                      QStringLiteral("libwebp cannot read the animation"));
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info))
        return ConvertResult::corrupt(input.path,
                                      QStringLiteral("libwebp cannot read the animation"));
    if (QSize(int(info.canvas_width), int(info.canvas_height)) != input.probe.size)
        return wrongSize(input.path, int(info.canvas_width), int(info.canvas_height),
                         input.probe.size);
    uint8_t *canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderHasMoreFrames(decoder.get())
        || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas)
        return ConvertResult::corrupt(input.path,
                                      QStringLiteral("the first frame cannot be decoded"));
    QImage decoded = copyCanvas(canvas, input.probe.size);
    if (decoded.isNull())
        return ConvertResult::notDecodable(input.path, QStringLiteral("out of memory"));
    *image = std::move(decoded);
    return ConvertResult::success();
}

// The RIFF size counts everything after its own 8 bytes; a file shorter
// than that was cut.
ConvertResult checkRiffSize(const QByteArray &bytes, const QString &path)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    const qint64 riffEnd = size >= 8 ? qint64(le32(data + 4)) + 8 : 8;
    if (riffEnd > size)
        return ConvertResult::corrupt(
            path,
            QStringLiteral("the data ends early: the RIFF header says %1 bytes, "
                           "the file has %2")
                .arg(QString::number(riffEnd), QString::number(size)));
    return ConvertResult::success();
}

struct DemuxDelete
{
    void operator()(WebPDemuxer *demuxer) const { WebPDemuxDelete(demuxer); }
};

} // namespace

bool sniffWebp(const uchar *head, int size)
{
    return size >= RiffHeaderBytes && isTag(head, "RIFF") && isTag(head + 8, "WEBP");
}

HeaderStatus readWebpHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    uchar head[ProbeBytes];
    const int count = in.read(0, ProbeBytes, head);
    if (count < RiffHeaderBytes + ChunkHeaderBytes)
        return cutShort(in, detail, "WebP");
    const uchar *chunk = head + RiffHeaderBytes;
    const quint32 chunkSize = le32(chunk + 4);
    const uchar *payload = chunk + ChunkHeaderBytes;
    const int payloadBytes = count - RiffHeaderBytes - ChunkHeaderBytes;
    int width = 0;
    int height = 0;
    if (isTag(chunk, "VP8 ")) {
        if (payloadBytes < 10)
            return cutShort(in, detail, "WebP");
        if (chunkSize < 10)
            return invalid(detail, "VP8 chunk too small");
        if (payload[3] != 0x9d || payload[4] != 0x01 || payload[5] != 0x2a)
            return invalid(detail, "no VP8 start code");
        width = le16(payload + 6) & 0x3fff;
        height = le16(payload + 8) & 0x3fff;
        probe->decodedBytesPerPixel = LossyBytesPerPixel;
    } else if (isTag(chunk, "VP8L")) {
        if (payloadBytes < 5)
            return cutShort(in, detail, "WebP");
        if (chunkSize < 5)
            return invalid(detail, "VP8L chunk too small");
        if (payload[0] != 0x2f)
            return invalid(detail, "no VP8L signature");
        const quint32 bits = le32(payload + 1);
        width = int(bits & 0x3fff) + 1;
        height = int((bits >> 14) & 0x3fff) + 1;
        probe->decodedBytesPerPixel = LosslessBytesPerPixel;
    } else if (isTag(chunk, "VP8X")) {
        if (payloadBytes < 10)
            return cutShort(in, detail, "WebP");
        if (chunkSize < 10)
            return invalid(detail, "VP8X chunk too small");
        width = int(payload[4] | payload[5] << 8 | payload[6] << 16) + 1;
        height = int(payload[7] | payload[8] << 8 | payload[9] << 16) + 1;
        // Which bitstream a still image holds is further on; count the
        // costlier one.
        probe->decodedBytesPerPixel =
            payload[0] & Vp8xAnimation ? AnimationBytesPerPixel : LosslessBytesPerPixel;
    } else {
        return invalid(detail, "no VP8, VP8L or VP8X chunk first");
    }
    if (width <= 0 || height <= 0)
        return invalid(detail, "zero size");
    probe->size = QSize(width, height);
    return HeaderStatus::Ok;
}

ConvertResult decodeWebp(const DecodeInput &input, QImage *image)
{
    const auto *data = reinterpret_cast<const uint8_t *>(input.data.constData());
    const qint64 size = input.data.size();
    const ConvertResult riff = checkRiffSize(input.data, input.path);
    if (!riff.ok())
        return riff;

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return ConvertResult::notDecodable(input.path, QStringLiteral("libwebp is unusable"));
    const ConvertResult features =
        fromStatus(WebPGetFeatures(data, size_t(size), &config.input), input.path);
    if (!features.ok())
        return features;
    if (QSize(config.input.width, config.input.height) != input.probe.size)
        return wrongSize(input.path, config.input.width, config.input.height, input.probe.size);
    if (config.input.has_animation)
        return decodeFirstFrame(input, image);
    return decodeStill(input, &config, image);
}

ConvertResult readWebpAnimationHeaders(const QByteArray &bytes, const QString &path, bool *animated,
                                       WebpAnimationHeaders *headers)
{
    *animated = false;
    *headers = WebpAnimationHeaders();
    ConvertResult result = checkRiffSize(bytes, path);
    if (!result.ok())
        return result;
    WebPData data;
    data.bytes = reinterpret_cast<const uint8_t *>(bytes.constData());
    data.size = size_t(bytes.size());
    // Not partial: chunks cut short make the demuxer fail.
    const std::unique_ptr<WebPDemuxer, DemuxDelete> demuxer(WebPDemux(&data));
    if (!demuxer)
        return ConvertResult::corrupt(path, QStringLiteral("libwebp cannot read the chunks"));
    if (!(WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG))
        return result;
    *animated = true;
    headers->canvas = QSize(int(WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH)),
                            int(WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT)));
    headers->loopCount = int(WebPDemuxGetI(demuxer.get(), WEBP_FF_LOOP_COUNT));
    const int count = int(WebPDemuxGetI(demuxer.get(), WEBP_FF_FRAME_COUNT));
    WebPIterator frame;
    if (count > 0 && WebPDemuxGetFrame(demuxer.get(), 1, &frame)) {
        do
            headers->durationsMs.append(frame.duration);
        while (WebPDemuxNextFrame(&frame));
        WebPDemuxReleaseIterator(&frame);
    }
    if (headers->durationsMs.isEmpty() || headers->durationsMs.size() != count)
        return ConvertResult::corrupt(path,
                                      QStringLiteral("the animation's frames cannot be read"));
    return result;
}

ConvertResult decodeWebpFrames(const QByteArray &data, const QString &path, int expected,
                               QVector<QImage> *frames)
{
    frames->clear();
    const auto decoder = animDecoder(data);
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info))
        return ConvertResult::corrupt(path, QStringLiteral("libwebp cannot read the animation"));
    if (int(info.frame_count) != expected)
        return ConvertResult::corrupt(path, QStringLiteral("libwebp reads another frame count"));
    const QSize size(int(info.canvas_width), int(info.canvas_height));
    while (WebPAnimDecoderHasMoreFrames(decoder.get())) {
        uint8_t *canvas = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) {
            frames->clear();
            return ConvertResult::corrupt(
                path, QStringLiteral("frame %1 cannot be decoded").arg(frames->size() + 1));
        }
        QImage frame = copyCanvas(canvas, size);
        if (frame.isNull()) {
            frames->clear();
            return ConvertResult::notDecodable(path, QStringLiteral("out of memory"));
        }
        frames->append(std::move(frame));
    }
    if (frames->size() != expected) {
        frames->clear();
        return ConvertResult::corrupt(path, QStringLiteral("libwebp reads another frame count"));
    }
    return ConvertResult::success();
}

} // namespace Reading
} // namespace Convert
