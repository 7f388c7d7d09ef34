#ifndef PACKREADER_H
#define PACKREADER_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Convert {

// Reads an asset pack (a "BFPK" blob, whose layout is in
// convert/container/pack.h) back from its bytes, from the layout alone:
// the header, each index entry and whether the whole holds together. Each
// entry's own bytes are an LVGL .bin, for decodeLvglBinary().
struct PackInfo
{
    struct Entry
    {
        QByteArray name;
        quint32 offset = 0;
        quint32 size = 0;
        int lvgl = 0;
        int cf = 0;
        int width = 0;
        int height = 0;
        int stride = 0;
        // What is wrong with the entry; empty when it is consistent.
        QStringList problems;
    };

    int version = 0;
    int count = 0;
    quint32 align = 0;
    quint32 size = 0; // the size the header gives
    quint32 crc = 0; // as stored
    quint32 computedCrc = 0; // of the bytes present after the header
    QVector<Entry> entries;
    // What is wrong with the header, the index or the CRC; the entries'
    // own problems are theirs.
    QStringList problems;

    bool consistent() const;
    // The index of the entry named name, or -1.
    int find(const QByteArray &name) const;
};

// Whether bytes start with the pack's magic "BFPK".
bool isPack(const QByteArray &bytes);

// The facts of the pack in bytes. Reading never fails: what cannot be read
// is a problem in the result.
PackInfo readPack(const QByteArray &bytes);

// The bytes of entry (its .bin), or an empty array when they are not
// inside bytes.
QByteArray packEntryBytes(const QByteArray &bytes, const PackInfo::Entry &entry);

} // namespace Convert

#endif // PACKREADER_H
