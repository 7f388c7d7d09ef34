#include "lvgldecoding.h"

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
    if (kind != ImageKind::Png && kind != ImageKind::Jpeg)
        return fail(QStringLiteral("the data of a RAW format is not a PNG or JPEG file"));
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
