#include "encodedfiles.h"

#include <gif_lib.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>

namespace EncodedFiles {

namespace {

// ARGB32 is B, G, R, A in memory on the little-endian machines the tests
// run on, as the BGRA importers want it.
bool importPicture(const QImage &image, WebPPicture *picture)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    picture->use_argb = 1;
    picture->width = argb.width();
    picture->height = argb.height();
    return WebPPictureImportBGRA(picture, argb.constBits(), int(argb.bytesPerLine())) != 0;
}

bool lossyOrLossless(WebPConfig *config, bool lossless, int quality)
{
    if (!WebPConfigInit(config))
        return false;
    config->lossless = lossless ? 1 : 0;
    config->quality = float(quality);
    config->exact = 1;
    return WebPValidateConfig(config) != 0;
}

int writeGif(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

// The palette padded to a power of two, as GIF tables are.
ColorMapObject *colourMap(const QImage &image)
{
    const QVector<QRgb> table = image.colorTable();
    int count = 2;
    while (count < table.size())
        count *= 2;
    QVector<GifColorType> colours(count);
    for (int i = 0; i < table.size(); ++i)
        colours[i] = {GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])),
                      GifByteType(qBlue(table[i]))};
    return GifMakeMapObject(count, colours.constData());
}

} // namespace

QByteArray webp(const QImage &image, bool lossless, int quality)
{
    WebPConfig config;
    WebPPicture picture;
    if (!lossyOrLossless(&config, lossless, quality) || !WebPPictureInit(&picture)
        || !importPicture(image, &picture))
        return QByteArray();
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool ok = WebPEncode(&config, &picture) != 0;
    WebPPictureFree(&picture);
    QByteArray bytes = ok ? QByteArray(reinterpret_cast<const char *>(writer.mem), int(writer.size))
                          : QByteArray();
    WebPMemoryWriterClear(&writer);
    return bytes;
}

QByteArray webpAnimation(const QVector<QImage> &frames)
{
    if (frames.isEmpty())
        return QByteArray();
    WebPAnimEncoderOptions options;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&options) || !lossyOrLossless(&config, true, 90))
        return QByteArray();
    const QSize size = frames.first().size();
    WebPAnimEncoder *encoder = WebPAnimEncoderNew(size.width(), size.height(), &options);
    if (!encoder)
        return QByteArray();
    bool ok = true;
    int timestamp = 0;
    for (const QImage &frame : frames) {
        WebPPicture picture;
        ok = ok && WebPPictureInit(&picture) && importPicture(frame, &picture)
            && WebPAnimEncoderAdd(encoder, &picture, timestamp, &config);
        WebPPictureFree(&picture);
        timestamp += 100;
    }
    WebPData data;
    WebPDataInit(&data);
    ok = ok && WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr)
        && WebPAnimEncoderAssemble(encoder, &data);
    const QByteArray bytes =
        ok ? QByteArray(reinterpret_cast<const char *>(data.bytes), int(data.size)) : QByteArray();
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return bytes;
}

QByteArray webpFrames(QSize canvas, const QVector<WebpFrame> &frames, int loopCount)
{
    WebPMux *mux = WebPMuxNew();
    if (!mux)
        return QByteArray();
    bool ok = WebPMuxSetCanvasSize(mux, canvas.width(), canvas.height()) == WEBP_MUX_OK;
    const WebPMuxAnimParams params {0, loopCount};
    ok = ok && WebPMuxSetAnimationParams(mux, &params) == WEBP_MUX_OK;
    for (const WebpFrame &frame : frames) {
        const QByteArray still = webp(frame.image, true);
        WebPMuxFrameInfo info;
        std::memset(&info, 0, sizeof info);
        info.bitstream.bytes = reinterpret_cast<const uint8_t *>(still.constData());
        info.bitstream.size = size_t(still.size());
        info.x_offset = frame.at.x();
        info.y_offset = frame.at.y();
        info.duration = frame.durationMs;
        info.id = WEBP_CHUNK_ANMF;
        info.dispose_method =
            frame.disposeToBackground ? WEBP_MUX_DISPOSE_BACKGROUND : WEBP_MUX_DISPOSE_NONE;
        info.blend_method = frame.blend ? WEBP_MUX_BLEND : WEBP_MUX_NO_BLEND;
        ok = ok && !still.isEmpty() && WebPMuxPushFrame(mux, &info, 1) == WEBP_MUX_OK;
    }
    WebPData data;
    WebPDataInit(&data);
    ok = ok && WebPMuxAssemble(mux, &data) == WEBP_MUX_OK;
    const QByteArray bytes =
        ok ? QByteArray(reinterpret_cast<const char *>(data.bytes), int(data.size)) : QByteArray();
    WebPDataClear(&data);
    WebPMuxDelete(mux);
    return bytes;
}

QByteArray gif(QSize canvas, const QVector<GifFrame> &frames, int loopCount)
{
    QByteArray bytes;
    int error = 0;
    GifFileType *file = EGifOpen(&bytes, writeGif, &error);
    if (!file || frames.isEmpty())
        return QByteArray();
    EGifSetGifVersion(file, true);
    ColorMapObject *global = frames.first().localTable ? nullptr : colourMap(frames.first().image);
    bool ok = EGifPutScreenDesc(file, canvas.width(), canvas.height(), 8, 0, global) == GIF_OK;
    if (ok && loopCount >= 0) {
        const GifByteType loop[3] = {1, GifByteType(loopCount & 0xff), GifByteType(loopCount >> 8)};
        ok = EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE) == GIF_OK
            && EGifPutExtensionBlock(file, 11, "NETSCAPE2.0") == GIF_OK
            && EGifPutExtensionBlock(file, 3, loop) == GIF_OK
            && EGifPutExtensionTrailer(file) == GIF_OK;
    }
    for (const GifFrame &frame : frames) {
        if (!ok)
            break;
        if (frame.transparent >= 0 || frame.disposal != 0 || frame.delayCs >= 0) {
            GraphicsControlBlock control {
                frame.disposal, false, frame.delayCs >= 0 ? frame.delayCs : 10, frame.transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            ok = EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
        }
        ColorMapObject *local = frame.localTable ? colourMap(frame.image) : nullptr;
        const QImage &image = frame.image;
        ok = ok
            && EGifPutImageDesc(file, frame.at.x(), frame.at.y(), image.width(), image.height(),
                                frame.interlaced, local)
                == GIF_OK;
        GifFreeMapObject(local);
        // Interlaced rows go in their four passes.
        static const int start[4] = {0, 4, 2, 1};
        static const int step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < (frame.interlaced ? 4 : 1); ++pass) {
            for (int y = frame.interlaced ? start[pass] : 0; ok && y < image.height();
                 y += frame.interlaced ? step[pass] : 1) {
                ok = EGifPutLine(file, const_cast<GifPixelType *>(image.constScanLine(y)),
                                 image.width())
                    == GIF_OK;
            }
        }
    }
    GifFreeMapObject(global);
    ok = EGifCloseFile(file, &error) == GIF_OK && ok;
    return ok ? bytes : QByteArray();
}

QImage gifCanvas(QSize canvas, const GifFrame &frame)
{
    QImage expected(canvas, QImage::Format_ARGB32);
    expected.fill(0);
    drawGifFrame(&expected, frame);
    return expected;
}

void drawGifFrame(QImage *canvas, const GifFrame &frame)
{
    const QVector<QRgb> table = frame.image.colorTable();
    for (int y = 0; y < frame.image.height(); ++y) {
        for (int x = 0; x < frame.image.width(); ++x) {
            const int index = frame.image.constScanLine(y)[x];
            if (index != frame.transparent)
                canvas->setPixel(frame.at + QPoint(x, y), table.at(index) | 0xff000000u);
        }
    }
}

} // namespace EncodedFiles
