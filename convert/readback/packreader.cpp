#include "packreader.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>

namespace Convert {

namespace {

constexpr int headerBytes = 20;
constexpr int entryBytes = 48;

quint32 u32(const uchar *p)
{
    return qFromLittleEndian<quint32>(p);
}

int u16(const uchar *p)
{
    return qFromLittleEndian<quint16>(p);
}

// Whether the entry's own LVGL header gives what the index says.
void checkOwnHeader(const QByteArray &bytes, PackInfo::Entry *e)
{
    const QByteArray own = packEntryBytes(bytes, *e);
    const auto *p = reinterpret_cast<const uchar *>(own.constData());
    int cf = -1, width = -1, height = -1, stride = -1;
    if (e->lvgl == 9) {
        if (own.size() < 12) {
            e->problems << QStringLiteral("%1 bytes hold no v9 header (12 bytes)").arg(own.size());
            return;
        }
        if (p[0] != 0x19)
            e->problems << QStringLiteral("its header's magic is 0x%1, not 0x19")
                               .arg(QString::number(p[0], 16));
        cf = p[1];
        width = u16(p + 4);
        height = u16(p + 6);
        stride = u16(p + 8);
    } else if (e->lvgl == 8) {
        if (own.size() < 4) {
            e->problems << QStringLiteral("%1 bytes hold no v8 header (4 bytes)").arg(own.size());
            return;
        }
        const quint32 word = u32(p);
        cf = int(word & 0x1f);
        width = int((word >> 10) & 0x7ff);
        height = int((word >> 21) & 0x7ff);
    } else {
        e->problems << QStringLiteral("LVGL version %1 is neither 8 nor 9").arg(e->lvgl);
        return;
    }
    const auto differs = [e](const char *what, int own, int indexed) {
        if (own != indexed)
            e->problems << QStringLiteral("its header's %1 is %2, the index says %3")
                               .arg(QLatin1String(what), QString::number(own),
                                    QString::number(indexed));
    };
    differs("cf", cf, e->cf);
    differs("width", width, e->width);
    differs("height", height, e->height);
    if (stride >= 0)
        differs("stride", stride, e->stride);
}

} // namespace

bool PackInfo::consistent() const
{
    return problems.isEmpty() && std::all_of(entries.begin(), entries.end(), [](const Entry &e) {
               return e.problems.isEmpty();
           });
}

int PackInfo::find(const QByteArray &name) const
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).name == name)
            return i;
    }
    return -1;
}

bool isPack(const QByteArray &bytes)
{
    return bytes.startsWith("BFPK");
}

PackInfo readPack(const QByteArray &bytes)
{
    PackInfo info;
    const auto *d = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 length = bytes.size();
    if (!isPack(bytes)) {
        info.problems << QStringLiteral("not a pack: it does not start with \"BFPK\"");
        return info;
    }
    if (length < headerBytes) {
        info.problems << QStringLiteral("%1 bytes are shorter than the pack's header (%2)")
                             .arg(QString::number(length), QString::number(headerBytes));
        return info;
    }
    info.version = u16(d + 4);
    info.count = u16(d + 6);
    info.align = u32(d + 8);
    info.size = u32(d + 12);
    info.crc = u32(d + 16);
    info.computedCrc =
        quint32(crc32(crc32(0L, Z_NULL, 0), d + headerBytes, uInt(length - headerBytes)));
    if (info.version != 1)
        info.problems
            << QStringLiteral("format version %1; this reader knows version 1").arg(info.version);
    if (info.align == 0 || (info.align & (info.align - 1)) != 0)
        info.problems << QStringLiteral("the alignment %1 is not a power of two").arg(info.align);
    if (info.size != quint64(length))
        info.problems << QStringLiteral("the header gives %1 bytes, the file has %2")
                             .arg(QString::number(info.size), QString::number(length));
    if (info.computedCrc != info.crc)
        info.problems
            << QStringLiteral("the CRC-32 is 0x%1, the header says 0x%2")
                   .arg(QString::number(info.computedCrc, 16).rightJustified(8, QLatin1Char('0')),
                        QString::number(info.crc, 16).rightJustified(8, QLatin1Char('0')));
    const qint64 indexEnd = headerBytes + qint64(entryBytes) * info.count;
    if (indexEnd > length) {
        info.problems << QStringLiteral("the index of %1 entries reaches past the end of the file")
                             .arg(info.count);
        return info;
    }
    for (int i = 0; i < info.count; ++i) {
        const uchar *p = d + headerBytes + entryBytes * i;
        PackInfo::Entry e;
        const int nameLength = int(std::find(p, p + 32, uchar(0)) - p);
        e.name = QByteArray(reinterpret_cast<const char *>(p), nameLength);
        e.offset = u32(p + 32);
        e.size = u32(p + 36);
        e.lvgl = p[40];
        e.cf = p[41];
        e.width = u16(p + 42);
        e.height = u16(p + 44);
        e.stride = u16(p + 46);
        if (nameLength == 32)
            e.problems << QStringLiteral("its name fills the field without a NUL");
        if (e.name.isEmpty())
            e.problems << QStringLiteral("it has no name");
        if (e.offset < indexEnd)
            e.problems
                << QStringLiteral("its offset %1 is inside the header or the index").arg(e.offset);
        if (qint64(e.offset) + e.size > length)
            e.problems << QStringLiteral("its %1 bytes at %2 reach past the end of the file")
                              .arg(QString::number(e.size), QString::number(e.offset));
        // The data after the entry's LVGL header is what the pack aligns.
        const quint32 header = e.lvgl == 9 ? 12 : 4;
        if ((e.lvgl == 8 || e.lvgl == 9) && info.align && (info.align & (info.align - 1)) == 0
            && (e.offset + header) % info.align != 0)
            e.problems << QStringLiteral("its data at %1 (offset %2 and its %3-byte header) is not "
                                         "at a multiple of %4")
                              .arg(QString::number(qint64(e.offset) + header),
                                   QString::number(e.offset), QString::number(header),
                                   QString::number(info.align));
        if (e.problems.isEmpty())
            checkOwnHeader(bytes, &e);
        info.entries.append(e);
    }
    // Overlaps and names given twice, between entries in offset order.
    QVector<int> order(info.entries.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&info](int a, int b) {
        return info.entries.at(a).offset < info.entries.at(b).offset;
    });
    for (int k = 1; k < order.size(); ++k) {
        const PackInfo::Entry &before = info.entries.at(order.at(k - 1));
        PackInfo::Entry &e = info.entries[order.at(k)];
        if (qint64(before.offset) + before.size > e.offset)
            e.problems << QStringLiteral("it overlaps %1").arg(QString::fromLatin1(before.name));
    }
    for (int i = 0; i < info.entries.size(); ++i) {
        if (info.find(info.entries.at(i).name) != i)
            info.entries[i].problems << QStringLiteral("its name is given twice");
    }
    return info;
}

QByteArray packEntryBytes(const QByteArray &bytes, const PackInfo::Entry &entry)
{
    if (qint64(entry.offset) + entry.size > bytes.size())
        return QByteArray();
    return bytes.mid(int(entry.offset), int(entry.size));
}

} // namespace Convert
