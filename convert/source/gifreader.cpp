#include "gifreader.h"

#include <byteorder.h>

#include <gif_lib.h>

#include <cstring>
#include <vector>

namespace Convert {
namespace Reading {

namespace {

constexpr int ScreenBytes = 13; // signature, canvas size, flags, background, aspect
constexpr uchar ExtensionIntroducer = 0x21;
constexpr uchar ImageSeparator = 0x2c;
constexpr uchar Trailer = 0x3b;
constexpr uchar GraphicControlLabel = 0xf9;
constexpr uchar ApplicationLabel = 0xff;

// Bytes of a colour table whose size field (bits 0-2 of a flags byte) is
// bits: 2^(bits + 1) RGB entries.
qint64 tableBytes(uchar flags)
{
    return 3 * (qint64(2) << (flags & 7));
}

// What the first data sub-block of an extension at pos (its length byte)
// says, for the two extensions that matter here.
void readExtension(const uchar *p, qint64 size, qint64 pos, uchar label, GifFrameHeader *control,
                   bool *hasControl, GifLayout *layout)
{
    if (pos >= size)
        return;
    const int length = p[pos];
    if (label == GraphicControlLabel && length >= 4 && pos + 4 < size) {
        const uchar flags = p[pos + 1];
        *control = GifFrameHeader();
        control->disposal = (flags >> 2) & 7;
        control->delayCs = le16(p + pos + 2);
        control->transparent = flags & 1 ? p[pos + 4] : -1;
        *hasControl = true;
    } else if (label == ApplicationLabel && length == 11 && pos + 12 <= size
               && std::memcmp(p + pos + 1, "NETSCAPE2.0", 11) == 0) {
        const qint64 next = pos + 12;
        if (next + 3 < size && p[next] >= 3 && p[next + 1] == 1)
            layout->loopCount = le16(p + next + 2);
    }
}

} // namespace

QString walkGifBlocks(const uchar *p, qint64 size, qint64 pos, GifLayout *layout)
{
    const QString endsEarly = QStringLiteral("the data ends early");
    GifFrameHeader control;
    bool hasControl = false;
    for (;;) {
        if (pos >= size)
            return endsEarly;
        const uchar introducer = p[pos++];
        if (introducer == Trailer)
            return QString();
        if (introducer == ExtensionIntroducer) {
            if (pos >= size)
                return endsEarly;
            const uchar label = p[pos++];
            if (layout)
                readExtension(p, size, pos, label, &control, &hasControl, layout);
        } else if (introducer == ImageSeparator) {
            if (size - pos < 9)
                return endsEarly;
            const uchar flags = p[pos + 8];
            if (layout) {
                GifFrameHeader frame = hasControl ? control : GifFrameHeader();
                frame.rect =
                    QRect(le16(p + pos), le16(p + pos + 2), le16(p + pos + 4), le16(p + pos + 6));
                frame.interlaced = flags & 0x40;
                frame.localTable = flags & 0x80;
                layout->frames.append(frame);
                hasControl = false;
            }
            pos += 9;
            if (flags & 0x80)
                pos += tableBytes(flags);
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

QString readGifLayout(const QByteArray &data, GifLayout *layout)
{
    *layout = GifLayout();
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    if (size < ScreenBytes)
        return QStringLiteral("the data ends early");
    layout->version = data.mid(3, 3);
    layout->canvas = QSize(le16(p + 6), le16(p + 8));
    layout->globalTable = p[10] & 0x80;
    const qint64 blocks = ScreenBytes + (layout->globalTable ? tableBytes(p[10]) : 0);
    return walkGifBlocks(p, size, blocks, layout);
}

GifFrameReader::GifFrameReader(const QByteArray &data, const QString &path)
    : m_data(data)
    , m_path(path)
    , m_memory {reinterpret_cast<const uchar *>(m_data.constData()), m_data.size(), 0}
{
}

GifFrameReader::~GifFrameReader()
{
    if (m_gif) {
        int error = 0;
        DGifCloseFile(m_gif, &error);
    }
}

// giflib asks for exactly the bytes it needs next, so pos is where the
// blocks it has finished end.
int GifFrameReader::readMemory(GifFileType *gif, GifByteType *out, int length)
{
    auto *memory = static_cast<Memory *>(gif->UserData);
    const qint64 count = qBound(qint64(0), memory->size - memory->pos, qint64(length));
    std::memcpy(out, memory->data + memory->pos, size_t(count));
    memory->pos += count;
    return int(count);
}

// giflib names what it was reading when the data ran out ("No screen
// descriptor detected" for a colour table cut short); the reader knows.
ConvertResult GifFrameReader::failed(int error) const
{
    if (error == D_GIF_ERR_READ_FAILED || m_memory.pos >= m_memory.size)
        return ConvertResult::corrupt(m_path, QStringLiteral("the data ends early"));
    if (error == D_GIF_ERR_NOT_ENOUGH_MEM)
        return ConvertResult::notDecodable(m_path, QStringLiteral("out of memory"));
    const char *text = GifErrorString(error);
    return ConvertResult::corrupt(
        m_path, text ? QString::fromLatin1(text) : QStringLiteral("giflib error %1").arg(error));
}

ConvertResult GifFrameReader::open()
{
    int error = 0;
    m_gif = DGifOpen(&m_memory, readMemory, &error);
    return m_gif ? ConvertResult::success() : failed(error);
}

QSize GifFrameReader::canvas() const
{
    return QSize(m_gif->SWidth, m_gif->SHeight);
}

qint64 GifFrameReader::position() const
{
    return m_memory.pos;
}

QRect GifFrameReader::imageRect() const
{
    const GifImageDesc &desc = m_gif->Image;
    return QRect(desc.Left, desc.Top, desc.Width, desc.Height);
}

ConvertResult GifFrameReader::nextImage(bool *found, int *transparent)
{
    *found = false;
    *transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(m_gif, &type) == GIF_ERROR)
            return failed(m_gif->Error);
        if (type == TERMINATE_RECORD_TYPE)
            return ConvertResult::success();
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR)
                return failed(m_gif->Error);
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block
                && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                *transparent = control.TransparentColor;
            while (block) {
                if (DGifGetExtensionNext(m_gif, &block) == GIF_ERROR)
                    return failed(m_gif->Error);
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return ConvertResult::corrupt(m_path, QStringLiteral("an unknown GIF block"));
        if (DGifGetImageDesc(m_gif) == GIF_ERROR)
            return failed(m_gif->Error);
        *found = true;
        return ConvertResult::success();
    }
}

ConvertResult GifFrameReader::drawImage(int transparent, const QString &which, QImage *canvas)
{
    const GifImageDesc &desc = m_gif->Image;
    if (desc.Left < 0 || desc.Top < 0 || desc.Width < 0 || desc.Height < 0
        || qint64(desc.Left) + desc.Width > m_gif->SWidth
        || qint64(desc.Top) + desc.Height > m_gif->SHeight)
        return ConvertResult::corrupt(
            m_path,
            QStringLiteral("%1 (%2 x %3 pixels at %4, %5) lies past the %6 x %7 canvas")
                .arg(which, QString::number(desc.Width), QString::number(desc.Height),
                     QString::number(desc.Left), QString::number(desc.Top),
                     QString::number(m_gif->SWidth), QString::number(m_gif->SHeight)));
    if (desc.Width == 0 || desc.Height == 0) {
        // An image without pixels: its data is skipped.
        int codeSize = 0;
        GifByteType *block = nullptr;
        if (DGifGetCode(m_gif, &codeSize, &block) == GIF_ERROR)
            return failed(m_gif->Error);
        while (block) {
            if (DGifGetCodeNext(m_gif, &block) == GIF_ERROR)
                return failed(m_gif->Error);
        }
        return ConvertResult::success();
    }
    const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : m_gif->SColorMap;
    if (!map || !map->Colors)
        return ConvertResult::corrupt(m_path, QStringLiteral("%1 has no colour table").arg(which));

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
            if (DGifGetLine(m_gif, line.data(), desc.Width) == GIF_ERROR)
                return failed(m_gif->Error);
            if (!canvas)
                continue;
            auto *row = reinterpret_cast<QRgb *>(canvas->scanLine(desc.Top + y)) + desc.Left;
            for (int x = 0; x < desc.Width; ++x) {
                if (drawnIndex[line[size_t(x)]])
                    row[x] = colours[line[size_t(x)]];
            }
        }
    }
    return ConvertResult::success();
}

} // namespace Reading
} // namespace Convert
