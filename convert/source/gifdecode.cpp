#include "gifdecode.h"

#include "gifreader.h"

#include <byteorder.h>

#include <cstring>
#include <utility>

namespace Convert {
namespace Reading {

namespace {

constexpr int ScreenBytes = 10; // the signature and the canvas size

} // namespace

bool sniffGif(const uchar *head, int size)
{
    return size >= 6
        && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

HeaderStatus readGifHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    uchar head[ScreenBytes];
    if (!in.get(0, ScreenBytes, head))
        return cutShort(in, detail, "GIF");
    const int width = le16(head + 6);
    const int height = le16(head + 8);
    if (width == 0 || height == 0) {
        *detail = QStringLiteral("the GIF header is invalid (zero size)");
        return HeaderStatus::Corrupt;
    }
    probe->size = QSize(width, height);
    // The canvas; giflib decodes one row at a time.
    probe->decodedBytesPerPixel = 4;
    return HeaderStatus::Ok;
}

ConvertResult decodeGif(const DecodeInput &input, QImage *image)
{
    const QString &path = input.path;
    GifFrameReader reader(input.data, path);
    ConvertResult result = reader.open();
    if (!result.ok())
        return result;
    if (reader.canvas() != input.probe.size)
        return ConvertResult::corrupt(path, QStringLiteral("giflib reads another canvas size"));
    bool found = false;
    int transparent = -1;
    result = reader.nextImage(&found, &transparent);
    if (!result.ok())
        return result;
    if (!found)
        return ConvertResult::notDecodable(path, QStringLiteral("the GIF holds no image"));

    // Opaque (RGB32, as a PNG without alpha) only where the frame covers
    // the whole canvas and has no transparent index.
    const bool opaque =
        transparent < 0 && reader.imageRect() == QRect(QPoint(0, 0), reader.canvas());
    QImage canvas(input.probe.size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (canvas.isNull())
        return ConvertResult::notDecodable(path, QStringLiteral("out of memory"));
    canvas.fill(opaque ? 0xff000000u : 0u);
    result = reader.drawImage(transparent, QStringLiteral("the first frame"), &canvas);
    if (!result.ok())
        return result;
    // The blocks after it are followed to the trailer without being
    // decoded, so that a file cut anywhere fails even though only its first
    // image is drawn.
    const QString rest = walkGifBlocks(reinterpret_cast<const uchar *>(input.data.constData()),
                                       input.data.size(), reader.position(), nullptr);
    if (!rest.isEmpty())
        return ConvertResult::corrupt(path, rest);
    *image = std::move(canvas);
    return result;
}

ConvertResult checkEmbeddedGif(const QByteArray &data, const QString &path)
{
    GifLayout layout;
    const QString problem = readGifLayout(data, &layout);
    if (!problem.isEmpty())
        return ConvertResult::corrupt(path, problem);
    GifFrameReader reader(data, path);
    ConvertResult result = reader.open();
    int frames = 0;
    while (result.ok()) {
        bool found = false;
        int transparent = -1;
        result = reader.nextImage(&found, &transparent);
        if (!result.ok() || !found)
            break;
        ++frames;
        result = reader.drawImage(transparent, gifFrameName(frames - 1), nullptr);
    }
    if (result.ok() && frames == 0)
        return ConvertResult::notDecodable(path, QStringLiteral("the GIF holds no image"));
    return result;
}

QString gifFrameName(int index)
{
    return index == 0 ? QStringLiteral("the first frame")
                      : QStringLiteral("frame %1").arg(index + 1);
}

} // namespace Reading
} // namespace Convert
