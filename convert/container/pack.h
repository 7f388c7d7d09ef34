#ifndef PACK_H
#define PACK_H

#include "outputplan.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace Convert {

// An asset pack: many images' .bin files in one blob, for firmware that
// flashes them once (to external flash, say) and points descriptors into
// it. The blob is NAME.bin; NAME.h, NAME.c and NAME_blob.S (packsource.h)
// give the descriptors. Everything is little-endian:
//
//   offset  size  header (HeaderSize bytes)
//        0     4  magic "BFPK"
//        4     2  format version (Version)
//        6     2  entry count n (at least 1)
//        8     4  alignment a of every entry's data (a power of two)
//       12     4  the blob's size in bytes, header included
//       16     4  CRC-32 (zlib's crc32) of the bytes from 20 to the end
//
//   then n index entries of EntrySize bytes, the first at 20:
//        0    32  name: the image's C symbol stem, NUL-padded (at most
//                 MaxName bytes, so at least one NUL)
//       32     4  offset of the entry's bytes from the blob's start
//       36     4  size of the entry's bytes
//       40     1  LVGL major version (8 or 9)
//       41     1  colour format (cf) of the entry's LVGL header
//       42     2  width
//       44     2  height
//       46     2  stride: bytes of one row (v9: the header's stride; v8:
//                 of the first plane at the depth it was made for)
//
//   then each entry's bytes, in index order, at the first offset after the
//   previous one (or the index) where its data is at a multiple of a; the
//   gaps are zero. An entry's bytes are the image's own .bin (its 4-byte v8
//   or 12-byte v9 header, then the data, compressed when asked), so the
//   library opens an entry as a .bin (through MEMFS from 9.4 on), and a
//   descriptor's .data, the entry's offset plus the header's size, is
//   aligned as the data of a C array with --align is.
//
// Offsets and sizes are 32-bit: a pack is refused when it would reach
// 2 GiB (QByteArray's limit, well inside the fields).
namespace Pack {

constexpr char Magic[4] = {'B', 'F', 'P', 'K'};
constexpr int Version = 1;
constexpr int HeaderSize = 20;
constexpr int EntrySize = 48;
constexpr int NameSize = 32;
constexpr int MaxName = NameSize - 1;
constexpr int MaxEntries = 65535;

// The size of the LVGL header before an entry's data: 12 bytes for v9, 4
// for v8.
constexpr int binHeaderSize(int lvgl)
{
    return lvgl == 9 ? 12 : 4;
}

// One image of a pack: its stem and .bin, and the facts the index holds,
// read from the .bin's own header.
struct Entry
{
    QByteArray name; // the C symbol stem
    QByteArray bin; // the whole .bin
    int lvgl = 8;
    int cf = 0;
    int flags = 0; // v9 header flags (compressed, premultiplied); 0 for v8
    int width = 0;
    int height = 0;
    int stride = 0;
    quint32 offset = 0; // set by assemble()

    // The size of the LVGL header at the entry's start: 4 (v8) or 12 (v9).
    int headerSize() const { return lvgl == 9 ? 12 : 4; }
};

// The entry for bin, the .bin that plan made of one image named name.
Entry entry(const OutputPlan &plan, const QByteArray &name, const QByteArray &bin);

// Why the entries cannot make one pack (too many, a name too long or given
// twice, a total of 2 GiB or more), or an empty string.
QString problem(const QVector<Entry> &entries, int align);

// The blob of the entries, each at an offset aligned to align; sets each
// entry's offset. The entries must have no problem().
QByteArray assemble(QVector<Entry> *entries, int align);

} // namespace Pack
} // namespace Convert

#endif // PACK_H
