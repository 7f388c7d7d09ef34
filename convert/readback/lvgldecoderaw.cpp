#include "lvgldecoding.h"

#include <animation.h>

#include <cstring>

namespace Convert {
namespace Decoder {

bool Decoding::decodeRaw(const QByteArray &data, qint64 present, qint64 dataSize)
{
    LvglImageInfo &i = info();
    i.dataSize = dataSize;
    i.bytesNeeded = present;
    if (!i.fromC && i.version == 8)
        warn(QStringLiteral("LVGL does not open a .bin holding a PNG or JPEG file; it reads "
                            "such files by their own path"));
    if (dataSize >= 0 && dataSize != present)
        return fail(QStringLiteral(".data_size is %1, but the array holds %2 bytes")
                        .arg(dataSize)
                        .arg(present));
    if (data.size() < present)
        return needData();
    const ImageKind kind = sniffImageKind(data.left(64));
    if (kind == ImageKind::Bmp)
        return fail(QStringLiteral("the data is a BMP file, and LVGL has no decoder for BMP data"));
    if (kind == ImageKind::Gif)
        return decodeGif(data);
    if (kind != ImageKind::Png && kind != ImageKind::Jpeg)
        return fail(QStringLiteral(
            "the data of a RAW format is not a PNG or JPEG file, nor a GIF for the GIF player"));
    if (kind == ImageKind::Png && m_format->cf == 1)
        warn(QStringLiteral("a PNG embedded as RAW is drawn wrongly at depths 8 and 16: it must "
                            "be RAW_ALPHA"));
    SourceImage source;
    const ConvertResult decoded = decodeImageData(data, QString(), 0, &source);
    if (!decoded.ok())
        return fail(QStringLiteral("the embedded %1 file: %2")
                        .arg(kind == ImageKind::Png ? QLatin1String("PNG") : QLatin1String("JPEG"),
                             decoded.reason()));
    const QImage image = source.image.convertToFormat(QImage::Format_ARGB32);
    if (image.size() != QSize(i.width, i.height)) {
        // LVGL 8's PNG decoder takes the descriptor's size, when it is not
        // 0, over the file's own, and so draws the pixels in the wrong rows.
        if (i.fromC && i.version == 8 && kind == ImageKind::Png)
            return fail(QStringLiteral("the descriptor says %1 x %2, the embedded PNG is %3 x %4: "
                                       "LVGL 8's PNG decoder takes the descriptor's size and "
                                       "draws it wrongly")
                            .arg(i.width)
                            .arg(i.height)
                            .arg(image.width())
                            .arg(image.height()));
        warn(QStringLiteral("the header says %1 x %2, the embedded file is %3 x %4")
                 .arg(i.width)
                 .arg(i.height)
                 .arg(image.width())
                 .arg(image.height()));
    }
    const bool depth8 = i.version == 8 && i.depth == 8;
    if (kind == ImageKind::Jpeg)
        notePreview(QStringLiteral("a RAW JPEG is shown as this program's JPEG decoder reads it; "
                                   "LVGL's own decoder differs by a level or two on average and "
                                   "up to about 17, so the preview is approximate"));
    if (depth8)
        notePreview(kind == ImageKind::Png
                        ? QStringLiteral("at LV_COLOR_DEPTH 8 LVGL 8's PNG decoder swaps red and "
                                         "blue; the preview shows the colours it draws")
                        : QStringLiteral("at LV_COLOR_DEPTH 8 LVGL 8's JPEG decoder packs its "
                                         "colours as R2G3B3, which the display reads as RGB332; "
                                         "the preview shows the colours it draws"));
    QImage shown(image.size(),
                 m_device.hasBackground ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (shown.isNull())
        return fail(QStringLiteral("there is not enough memory to show it"));
    if (m_format->chromaKeyed)
        m_keyed.assign(size_t(image.width()) * size_t(image.height()), false);
    std::vector<QRgb> line(static_cast<size_t>(image.width()));
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(line.data(), image.constScanLine(y), line.size() * sizeof(QRgb));
        if (depth8)
            showRawAtDepth8(kind, line.data(), image.width());
        finishPixel(line.data(), image.width(), &shown, y);
    }
    m_result.image = shown;
    return true;
}

// A GIF embedded for the library's GIF player, which takes the file's
// bytes from .data (LVGL 8 ignores the rest of the descriptor; LVGL 9 reads
// .data_size too). Every frame is composited as the file says and shown.
bool Decoding::decodeGif(const QByteArray &data)
{
    LvglImageInfo &i = info();
    Animation animation;
    const ConvertResult decoded = readAnimationData(data, QString(), DecodeRequest(), &animation);
    if (!decoded.ok())
        return fail(QStringLiteral("the embedded GIF file: %1").arg(decoded.reason()));
    const AnimationInfo &gif = animation.info;
    LvglAnimationInfo &a = i.animation;
    a.kind = QStringLiteral("GIF");
    a.canvas = gif.canvas;
    a.loopCount = gif.loopCount;
    for (int k = 0; k < gif.frameCount; ++k) {
        LvglFrameInfo frame;
        frame.width = gif.canvas.width();
        frame.height = gif.canvas.height();
        frame.delayMs = gif.delaysMs.at(k);
        a.durationMs += frame.delayMs;
        a.frames.append(frame);
    }

    // What the player allocates: LVGL 8's the canvas and its decoder's
    // buffers, 5, 4 or 3 bytes a pixel at LV_COLOR_DEPTH 32, 16 or 8;
    // LVGL 9's an ARGB8888 canvas and about 20 KB of decoder state.
    const qint64 pixels = qint64(gif.canvas.width()) * gif.canvas.height();
    const QString w = QString::number(gif.canvas.width());
    const QString h = QString::number(gif.canvas.height());
    if (i.version == 9) {
        a.playerBytes = pixels * 4 + 20 * 1000;
        a.playerNote = QStringLiteral("%1 x %2 x 4 bytes in ARGB8888, plus about 20 KB of "
                                      "decoder state")
                           .arg(w, h);
    } else {
        const int depth = i.depth ? i.depth : 16;
        const int perPixel = depth == 32 ? 5 : depth == 16 ? 4 : 3;
        a.playerBytes = pixels * perPixel;
        a.playerNote = QStringLiteral("%1 x %2 x %3 bytes at LV_COLOR_DEPTH %4")
                           .arg(w, h, QString::number(perPixel), QString::number(depth));
    }

    // The players' traps.
    if (i.version == 8) {
        if (gif.gifVersion != "89a")
            warn(QStringLiteral("LVGL 8's GIF player plays only GIF89a files, and this one is "
                                "GIF%1: it shows nothing")
                     .arg(QString::fromLatin1(gif.gifVersion)));
        if (!gif.globalColorTable)
            warn(QStringLiteral("LVGL 8's GIF player needs a global colour table, and this GIF "
                                "has none: it shows nothing"));
    } else {
        if (gif.canvas.width() > 480)
            warn(QStringLiteral("LVGL 9's GIF player refuses a canvas wider than 480 pixels "
                                "(LV_GIF_MAX_WIDTH), and this GIF is %1 wide")
                     .arg(w));
        if (gif.restoresToPrevious)
            warn(QStringLiteral("a frame has disposal method 3 (restore to previous), which "
                                "LVGL 9's GIF player does not support"));
        if (gif.frameCount > 1 && gif.delaysMs.contains(0))
            warn(QStringLiteral("LVGL 9's GIF player shows a frame of delay 0 for 100 ms"));
        if (m_format->cf != 1)
            warn(QStringLiteral("LVGL 9's GIF player is given a GIF as RAW, not %1")
                     .arg(QLatin1String(m_format->name)));
    }
    if (gif.canvas != QSize(i.width, i.height))
        warn(QStringLiteral("the header says %1 x %2, the embedded GIF's canvas is %3 x %4")
                 .arg(i.width)
                 .arg(i.height)
                 .arg(gif.canvas.width())
                 .arg(gif.canvas.height()));

    if (m_format->chromaKeyed)
        m_keyed.assign(size_t(pixels), false);
    for (const AnimationFrame &frame : qAsConst(animation.frames)) {
        QImage shown(frame.image.size(),
                     m_device.hasBackground ? QImage::Format_RGB32 : QImage::Format_ARGB32);
        if (shown.isNull())
            return fail(QStringLiteral("there is not enough memory to show it"));
        std::vector<QRgb> line(static_cast<size_t>(frame.image.width()));
        for (int y = 0; y < frame.image.height(); ++y) {
            std::memcpy(line.data(), frame.image.constScanLine(y), line.size() * sizeof(QRgb));
            finishPixel(line.data(), frame.image.width(), &shown, y);
        }
        m_result.frames.append(shown);
    }
    m_result.image = m_result.frames.first();
    return true;
}

// The colours LVGL 8's decoders give a screen of LV_COLOR_DEPTH 8. Its PNG
// decoder reads lodepng's red, green, blue and alpha bytes as blue, green,
// red and alpha; its JPEG decoder packs red in bits 7-6, green in 5-3 and
// blue in 2-0 (R2G3B3), and the display reads that byte as RGB332.
void Decoding::showRawAtDepth8(ImageKind kind, QRgb *line, int width) const
{
    for (int x = 0; x < width; ++x) {
        const QRgb c = line[x];
        if (kind == ImageKind::Png) {
            line[x] = qRgba(qBlue(c), qGreen(c), qRed(c), qAlpha(c));
        } else {
            const uint byte = uint((qRed(c) & 0xc0) | (qGreen(c) >> 5) << 3 | qBlue(c) >> 5);
            line[x] = (expand332(byte) & 0xffffff) | (c & 0xff000000);
        }
    }
}

} // namespace Decoder
} // namespace Convert
