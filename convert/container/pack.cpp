#include "pack.h"

#include "byteorder.h"

#include <QSet>

#include <zlib.h>

#include <cstring>
#include <limits>

namespace Convert {
namespace Pack {

namespace {

// Bytes of one row of the first plane of a v8 image.
int lvgl8Stride(const OutputPlan &plan, int width)
{
    const Lvgl8::Format &format = *plan.format();
    const int colour = plan.depth == ColorDepth::Depth8 ? 1
        : plan.depth == ColorDepth::Depth32             ? 4
                                                        : 2;
    switch (format.layout) {
    case Lvgl8::Layout::TrueColor:
        return colour * width;
    case Lvgl8::Layout::TrueColorAlpha:
        return (colour + 1) * width;
    case Lvgl8::Layout::Indexed:
    case Lvgl8::Layout::Alpha:
        return (width * format.bits + 7) / 8;
    case Lvgl8::Layout::Rgb565A8:
        return 2 * width;
    case Lvgl8::Layout::Raw:
        break;
    }
    return 0;
}

quint32 alignUp(quint32 value, int align)
{
    return (value + quint32(align) - 1) & ~(quint32(align) - 1);
}

// The first offset from end at which the data of e, after its LVGL header,
// is at a multiple of align.
quint32 entryOffset(quint32 end, const Entry &e, int align)
{
    const quint32 header = quint32(binHeaderSize(e.lvgl));
    return alignUp(end + header, align) - header;
}

} // namespace

Entry entry(const OutputPlan &plan, const QByteArray &name, const QByteArray &bin)
{
    Entry e;
    e.name = name;
    e.bin = bin;
    e.lvgl = plan.lvgl();
    const auto *d = reinterpret_cast<const uchar *>(bin.constData());
    if (e.lvgl == 9 && bin.size() >= 12) {
        // magic, cf, flags, width, height, stride, reserved
        e.cf = d[1];
        e.flags = le16(d + 2);
        e.width = le16(d + 4);
        e.height = le16(d + 6);
        e.stride = le16(d + 8);
    } else if (e.lvgl == 8 && bin.size() >= 4) {
        const quint32 word = le32(d);
        e.cf = int(word & 0x1f);
        e.width = int((word >> 10) & 0x7ff);
        e.height = int((word >> 21) & 0x7ff);
        e.stride = lvgl8Stride(plan, e.width);
    }
    return e;
}

QString problem(const QVector<Entry> &entries, int align)
{
    if (entries.isEmpty())
        return QStringLiteral("a pack needs at least one image");
    if (entries.size() > MaxEntries)
        return QStringLiteral("a pack holds at most %1 images, not %2")
            .arg(QString::number(MaxEntries), QString::number(entries.size()));
    if (!Placement::isAlignment(align))
        return QStringLiteral("the alignment %1 is not a power of two up to %2")
            .arg(QString::number(align), QString::number(Placement::MaxAlign));
    QSet<QByteArray> names;
    qint64 end = HeaderSize + qint64(EntrySize) * entries.size();
    for (const Entry &e : entries) {
        if (e.name.isEmpty() || e.name.size() > MaxName || e.name.contains('\0'))
            return QStringLiteral("the name '%1' does not fit the pack's index: at most %2 bytes")
                .arg(QString::fromLatin1(e.name), QString::number(MaxName));
        if (names.contains(e.name))
            return QStringLiteral("two images are named '%1' in the pack")
                .arg(QString::fromLatin1(e.name));
        names.insert(e.name);
        end = qint64(entryOffset(quint32(end), e, align)) + e.bin.size();
        if (end >= std::numeric_limits<int>::max() - Placement::MaxAlign)
            return QStringLiteral("the pack would reach 2 GiB");
    }
    return QString();
}

QByteArray assemble(QVector<Entry> *entries, int align)
{
    const int count = entries->size();
    quint32 end = quint32(HeaderSize + EntrySize * count);
    for (Entry &e : *entries) {
        e.offset = entryOffset(end, e, align);
        end = e.offset + quint32(e.bin.size());
    }
    QByteArray blob(int(end), '\0');
    auto *d = reinterpret_cast<uchar *>(blob.data());
    std::memcpy(d, Magic, 4);
    putLe16(d + 4, Version);
    putLe16(d + 6, quint16(count));
    putLe32(d + 8, quint32(align));
    putLe32(d + 12, end);
    uchar *index = d + HeaderSize;
    for (const Entry &e : qAsConst(*entries)) {
        std::memcpy(index, e.name.constData(), size_t(e.name.size()));
        putLe32(index + 32, e.offset);
        putLe32(index + 36, quint32(e.bin.size()));
        index[40] = uchar(e.lvgl);
        index[41] = uchar(e.cf);
        putLe16(index + 42, quint16(e.width));
        putLe16(index + 44, quint16(e.height));
        putLe16(index + 46, quint16(e.stride));
        index += EntrySize;
        std::memcpy(d + e.offset, e.bin.constData(), size_t(e.bin.size()));
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), d + HeaderSize, uInt(end - HeaderSize));
    putLe32(d + 16, quint32(crc));
    return blob;
}

} // namespace Pack
} // namespace Convert
