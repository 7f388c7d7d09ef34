#include "hostilefiles.h"

#include <QBuffer>
#include <QtEndian>

#include <zlib.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace HostileFiles {

namespace {

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray littleEndian(quint32 value, int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes += char(value >> (8 * i));
    return bytes;
}

QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    const QByteArray body = type + data;
    const quint32 crc =
        quint32(::crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
    return bigEndian32(quint32(data.size())) + body + bigEndian32(crc);
}

// Offset of the first chunk of the given type, or -1.
int findChunk(const QByteArray &png, const QByteArray &type)
{
    for (int at = 8; at + 12 <= png.size();) {
        const int length = int(qFromBigEndian<quint32>(png.constData() + at));
        if (png.mid(at + 4, 4) == type)
            return at;
        at += 12 + length;
    }
    return -1;
}

} // namespace

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray png(int width, int height, bool claimOnly)
{
    QByteArray header = bigEndian32(quint32(width)) + bigEndian32(quint32(height));
    header += char(8); // bit depth
    header += char(6); // RGBA
    header += QByteArray(3, '\0'); // compression, filter, interlace
    QByteArray idat;
    if (claimOnly) {
        idat = QByteArray::fromHex("789c030000000001"); // an empty zlib stream
    } else {
        QByteArray raw(int((qint64(width) * 4 + 1) * height), '\0');
        uLongf size = compressBound(uLong(raw.size()));
        idat.resize(int(size));
        ::compress(reinterpret_cast<Bytef *>(idat.data()), &size,
                   reinterpret_cast<const Bytef *>(raw.constData()), uLong(raw.size()));
        idat.resize(int(size));
    }
    return QByteArray::fromHex("89504e470d0a1a0a") + chunk("IHDR", header) + chunk("IDAT", idat)
        + chunk("IEND", QByteArray());
}

QByteArray withChunk(const QByteArray &png, const QByteArray &type, const QByteArray &data)
{
    const int ihdrEnd = 8 + 12 + 13;
    return png.left(ihdrEnd) + chunk(type, data) + png.mid(ihdrEnd);
}

QByteArray withBadCrc(const QByteArray &png, const QByteArray &type)
{
    QByteArray bytes = png;
    const int at = findChunk(bytes, type);
    if (at < 0)
        return bytes;
    const int length = int(qFromBigEndian<quint32>(bytes.constData() + at));
    bytes[at + 8 + length] = char(bytes.at(at + 8 + length) ^ 0x5a);
    return bytes;
}

QByteArray bmpHeader(int width, int height)
{
    const quint32 rowBytes = (quint32(width) * 3 + 3) & ~3u;
    const quint32 pixels = rowBytes * quint32(height);
    QByteArray bytes("BM");
    bytes += littleEndian(54 + pixels, 4) + littleEndian(0, 4) + littleEndian(54, 4);
    bytes +=
        littleEndian(40, 4) + littleEndian(quint32(width), 4) + littleEndian(quint32(height), 4);
    bytes +=
        littleEndian(1, 2) + littleEndian(24, 2) + littleEndian(0, 4) + littleEndian(pixels, 4);
    bytes +=
        littleEndian(2835, 4) + littleEndian(2835, 4) + littleEndian(0, 4) + littleEndian(0, 4);
    return bytes;
}

QByteArray icoHolding(const QByteArray &png)
{
    QByteArray bytes = littleEndian(0, 2) + littleEndian(1, 2) + littleEndian(1, 2);
    bytes += QByteArray(4, '\0'); // width, height (0 = 256), colours, reserved
    bytes += littleEndian(1, 2) + littleEndian(32, 2);
    bytes += littleEndian(quint32(png.size()), 4) + littleEndian(22, 4);
    return bytes + png;
}

bool writeRaw(const QByteArray &path, const QByteArray &data)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
#else
    Q_UNUSED(path)
    Q_UNUSED(data)
    return false;
#endif
}

QByteArray readRaw(const QByteArray &path)
{
    QByteArray data;
#ifdef Q_OS_UNIX
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return data;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, int(n));
    ::close(fd);
#else
    Q_UNUSED(path)
#endif
    return data;
}

} // namespace HostileFiles
