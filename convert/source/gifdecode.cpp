#include "gifdecode.h"

#include <byteorder.h>

#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace Convert {
namespace Reading {

namespace {

constexpr int ScreenBytes = 10; // the signature and the canvas size
constexpr uchar ExtensionIntroducer = 0x21;
constexpr uchar ImageSeparator = 0x2c;
constexpr uchar Trailer = 0x3b;

// What giflib reads from: the data in memory and how far it has read.
// giflib asks for exactly the bytes it needs next, so pos is where the
// blocks it has finished end.
struct MemoryReader
{
    const uchar *data;
    qint64 size;
    qint64 pos;
};

int readMemory(GifFileType *gif, GifByteType *out, int length)
{
    auto *reader = static_cast<MemoryReader *>(gif->UserData);
    const qint64 count = qBound(qint64(0), reader->size - reader->pos, qint64(length));
    std::memcpy(out, reader->data + reader->pos, size_t(count));
    reader->pos += count;
    return int(count);
}

struct GifClose
{
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// giflib names what it was reading when the data ran out ("No screen
// descriptor detected" for a colour table cut short); the reader knows.
ConvertResult giflibFailed(int error, const MemoryReader &reader, const QString &path)
{
    if (error == D_GIF_ERR_READ_FAILED || reader.pos >= reader.size)
        return ConvertResult::corrupt(path, QStringLiteral("the data ends early"));
    if (error == D_GIF_ERR_NOT_ENOUGH_MEM)
        return ConvertResult::notDecodable(path, QStringLiteral("out of memory"));
    const char *text = GifErrorString(error);
    return ConvertResult::corrupt(
        path, text ? QString::fromLatin1(text) : QStringLiteral("giflib error %1").arg(error));
}

// Follows the blocks from pos to the trailer without decoding them, so that
// a file cut anywhere fails even though only its first image is drawn.
// Empty when they are whole, else what is wrong.
QString followBlocks(const uchar *p, qint64 size, qint64 pos)
{
    const QString endsEarly = QStringLiteral("the data ends early");
    for (;;) {
        if (pos >= size)
            return endsEarly;
        const uchar introducer = p[pos++];
        if (introducer == Trailer)
            return QString();
        if (introducer == ExtensionIntroducer) {
            ++pos; // the label
        } else if (introducer == ImageSeparator) {
            if (size - pos < 9)
                return endsEarly;
            const uchar flags = p[pos + 8];
            pos += 9;
            if (flags & 0x80)
                pos += 3 * (2 << (flags & 7));
            ++pos; // the LZW minimum code size
        } else {
            return QStringLiteral("an unknown GIF block 0x%1")
                .arg(introducer, 2, 16, QLatin1Char('0'));
        }
        for (;;) {
            if (pos >= size)
                return endsEarly;
            const int length = p[pos++];
            if (length == 0)
                break;
            pos += length;
        }
    }
}

// Skips the data of an image that has no pixels.
bool skipImageData(GifFileType *gif)
{
    int codeSize = 0;
    GifByteType *block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

// Draws the image giflib has just read the descriptor of onto canvas.
ConvertResult drawImage(GifFileType *gif, int transparent, const QString &path, QImage *canvas)
{
    const GifImageDesc &desc = gif->Image;
    if (desc.Left < 0 || desc.Top < 0 || desc.Width < 0 || desc.Height < 0
        || qint64(desc.Left) + desc.Width > gif->SWidth
        || qint64(desc.Top) + desc.Height > gif->SHeight)
        return ConvertResult::corrupt(
            path,
            QStringLiteral("the first frame (%1 x %2 pixels at %3, %4) lies past the %5 x %6 "
                           "canvas")
                .arg(QString::number(desc.Width), QString::number(desc.Height),
                     QString::number(desc.Left), QString::number(desc.Top),
                     QString::number(gif->SWidth), QString::number(gif->SHeight)));
    if (desc.Width == 0 || desc.Height == 0)
        return skipImageData(gif)
            ? ConvertResult::success()
            : giflibFailed(gif->Error, *static_cast<const MemoryReader *>(gif->UserData), path);
    const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || !map->Colors)
        return ConvertResult::corrupt(path, QStringLiteral("the first frame has no colour table"));

    // An index past the colour table, like the transparent one, leaves the
    // canvas as it is.
    QRgb colours[256];
    bool drawnIndex[256];
    for (int i = 0; i < 256; ++i) {
        drawnIndex[i] = i < map->ColorCount && i != transparent;
        colours[i] =
            drawnIndex[i] ? qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue) : 0;
    }

    // Interlaced rows come in four passes: every 8th row from 0, every 8th
    // from 4, every 4th from 2, every 2nd from 1.
    static const int passStart[4] = {0, 4, 2, 1};
    static const int passStep[4] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    std::vector<GifByteType> line(size_t(desc.Width));
    for (int pass = 0; pass < passes; ++pass) {
        const int start = desc.Interlace ? passStart[pass] : 0;
        const int step = desc.Interlace ? passStep[pass] : 1;
        for (int y = start; y < desc.Height; y += step) {
            if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR)
                return giflibFailed(gif->Error, *static_cast<const MemoryReader *>(gif->UserData),
                                    path);
            auto *row = reinterpret_cast<QRgb *>(canvas->scanLine(desc.Top + y)) + desc.Left;
            for (int x = 0; x < desc.Width; ++x) {
                if (drawnIndex[line[size_t(x)]])
                    row[x] = colours[line[size_t(x)]];
            }
        }
    }
    return ConvertResult::success();
}

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
    MemoryReader reader {reinterpret_cast<const uchar *>(input.data.constData()), input.data.size(),
                         0};
    int error = 0;
    const std::unique_ptr<GifFileType, GifClose> gif(DGifOpen(&reader, readMemory, &error));
    if (!gif)
        return giflibFailed(error, reader, path);
    if (QSize(gif->SWidth, gif->SHeight) != input.probe.size)
        return ConvertResult::corrupt(path, QStringLiteral("giflib reads another canvas size"));

    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            return giflibFailed(gif->Error, *static_cast<const MemoryReader *>(gif->UserData),
                                path);
        if (type == TERMINATE_RECORD_TYPE)
            return ConvertResult::notDecodable(path, QStringLiteral("the GIF holds no image"));
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                return giflibFailed(gif->Error, *static_cast<const MemoryReader *>(gif->UserData),
                                    path);
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block
                && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    return giflibFailed(gif->Error,
                                        *static_cast<const MemoryReader *>(gif->UserData), path);
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return ConvertResult::corrupt(path, QStringLiteral("an unknown GIF block"));
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            return giflibFailed(gif->Error, *static_cast<const MemoryReader *>(gif->UserData),
                                path);
        break;
    }

    // Opaque (RGB32, as a PNG without alpha) only where the frame covers
    // the whole canvas and has no transparent index.
    const GifImageDesc &desc = gif->Image;
    const bool opaque = transparent < 0 && desc.Left == 0 && desc.Top == 0
        && desc.Width == gif->SWidth && desc.Height == gif->SHeight;
    QImage canvas(input.probe.size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (canvas.isNull())
        return ConvertResult::notDecodable(path, QStringLiteral("out of memory"));
    canvas.fill(opaque ? 0xff000000u : 0u);
    ConvertResult result = drawImage(gif.get(), transparent, path, &canvas);
    if (!result.ok())
        return result;
    const QString rest = followBlocks(reader.data, reader.size, reader.pos);
    if (!rest.isEmpty())
        return ConvertResult::corrupt(path, rest);
    *image = std::move(canvas);
    return result;
}

} // namespace Reading
} // namespace Convert
