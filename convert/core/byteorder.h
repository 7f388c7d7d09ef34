#ifndef BYTEORDER_H
#define BYTEORDER_H

#include <QtEndian>
#include <QtGlobal>

#include <cstring>

// Reading and writing fixed-width integers in a given byte order, from and
// into unaligned bytes. Header fields use the exact-width writers; hot row
// loops use putLittle(), which always stores a whole word.
namespace Convert {

inline quint16 le16(const uchar *p)
{
    return quint16(p[0] | p[1] << 8);
}

inline quint32 le32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

inline quint16 be16(const uchar *p)
{
    return quint16(p[0] << 8 | p[1]);
}

inline quint32 be32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

inline void putLe16(uchar *p, quint16 value)
{
    p[0] = uchar(value);
    p[1] = uchar(value >> 8);
}

inline void putLe32(uchar *p, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uchar(value >> (8 * i));
}

inline void putBe16(uchar *p, quint16 value)
{
    p[0] = uchar(value >> 8);
    p[1] = uchar(value);
}

inline void putBe32(uchar *p, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uchar(value >> (24 - 8 * i));
}

// Stores the low count bytes of value, least significant first, and
// returns the position after them. Always writes 4 bytes: those past count
// are zero, so they leave row padding zero, and the next pixel or the
// writers' 8 bytes of slack after the last row take them.
inline uchar *putLittle(uchar *d, quint32 value, int count)
{
    value = qToLittleEndian(value);
    std::memcpy(d, &value, 4);
    return d + count;
}

} // namespace Convert

#endif // BYTEORDER_H
