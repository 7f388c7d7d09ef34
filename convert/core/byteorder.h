#ifndef BYTEORDER_H
#define BYTEORDER_H

#include <QtGlobal>

// Unsigned integers read from bytes in a stated byte order, for the headers
// and chunks of the file formats (PNG and JPEG are big-endian, BMP is
// little-endian). p must hold the integer's whole width.
namespace Convert {

inline quint16 be16(const uchar *p)
{
    return quint16((p[0] << 8) | p[1]);
}

inline quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

inline quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

inline quint32 le32(const uchar *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

} // namespace Convert

#endif // BYTEORDER_H
