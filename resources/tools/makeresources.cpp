// Draws BrindleForge's pictures and writes them as the files that the
// resource bundle and the Windows icon are built from:
//
//   image/icon.png   72 x  72  8-bit RGBA   application icon (picture frame with "</>")
//   image/close.png 128 x 128  8-bit RGBA   power symbol (exit)
//   image/save.png  120 x 127  8-bit RGBA   floppy disk
//   image/open.png  156 x 127  8-bit RGBA   open folder
//   image/about.png 128 x 128  8-bit RGBA   "i" in a circle
//   image/note.png   72 x  72  8-bit RGBA   page with lines of text
//   image/bg.png     72 x  72  1-bit palette, 2 colours: checkerboard tile
//   brindleforge.ico           one 72 x 72 32-bit DIB made from icon.png
//
// Usage: brindleforge_makeresources [resources-directory]
// Without an argument it writes into the source tree's resources folder.
// Everything is drawn with shapes only (no fonts), so the output does not
// depend on the fonts installed where it runs.

#include <QBrush>
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QSaveFile>
#include <QString>
#include <QTextStream>
#include <QtEndian>

#include <array>

#ifndef BRINDLEFORGE_RESOURCES_SOURCE_DIR
#define BRINDLEFORGE_RESOURCES_SOURCE_DIR "."
#endif

namespace {

QImage newCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
}

// Application icon: a framed landscape (image in) with a "</>" badge (code out).
QImage drawAppIcon()
{
    QImage image = newCanvas(72, 72);
    QPainter p(&image);
    prepare(p);

    p.setBrush(QColor(0x37, 0x47, 0x4f));
    p.drawRoundedRect(QRectF(2, 2, 68, 68), 10, 10);

    const QRectF picture(8, 8, 56, 56);
    p.setBrush(QColor(0x8f, 0xd3, 0xff));
    p.drawRect(picture);

    p.save();
    p.setClipRect(picture);
    p.setBrush(QColor(0xff, 0xd5, 0x4f));
    p.drawEllipse(QPointF(20, 20), 6, 6);
    QPainterPath hills;
    hills.moveTo(8, 64);
    hills.lineTo(8, 52);
    hills.quadTo(22, 40, 36, 50);
    hills.quadTo(50, 42, 64, 50);
    hills.lineTo(64, 64);
    hills.closeSubpath();
    p.setBrush(QColor(0x66, 0xbb, 0x6a));
    p.drawPath(hills);
    p.restore();

    p.setBrush(QColor(0x26, 0x32, 0x38));
    p.setPen(QPen(QColor(0xff, 0xff, 0xff), 2));
    p.drawRoundedRect(QRectF(37, 45, 31, 22), 5, 5);

    QPen codePen(QColor(0xff, 0xff, 0xff), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(codePen);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(46, 51), QPointF(41, 56), QPointF(46, 61)}));
    p.drawPolyline(QPolygonF({QPointF(59, 51), QPointF(64, 56), QPointF(59, 61)}));
    p.drawLine(QPointF(54.5, 50), QPointF(50.5, 62));
    return image;
}

// Exit: a white power symbol on a red disc.
QImage drawClose()
{
    QImage image = newCanvas(128, 128);
    QPainter p(&image);
    prepare(p);

    QRadialGradient disc(QPointF(52, 44), 80);
    disc.setColorAt(0, QColor(0xff, 0x6b, 0x5e));
    disc.setColorAt(1, QColor(0xc6, 0x28, 0x28));
    p.setBrush(disc);
    p.drawEllipse(QRectF(4, 4, 120, 120));

    QPen pen(Qt::white, 12, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // Arc open at the top, from 60 degrees round to 120 degrees.
    p.drawArc(QRectF(34, 38, 60, 60), 60 * 16, -300 * 16);
    p.drawLine(QPointF(64, 26), QPointF(64, 64));
    return image;
}

// Save: a blue floppy disk with a metal shutter and a paper label.
QImage drawSave()
{
    QImage image = newCanvas(120, 127);
    QPainter p(&image);
    prepare(p);

    QPainterPath body;
    body.moveTo(14, 8);
    body.lineTo(94, 8);
    body.lineTo(112, 26);
    body.lineTo(112, 111);
    body.quadTo(112, 119, 104, 119);
    body.lineTo(16, 119);
    body.quadTo(8, 119, 8, 111);
    body.lineTo(8, 14);
    body.quadTo(8, 8, 14, 8);
    p.setBrush(QColor(0x2f, 0x5d, 0x9e));
    p.drawPath(body);

    p.setBrush(QColor(0xcf, 0xd8, 0xdc));
    p.drawRect(QRectF(30, 8, 54, 34));
    p.setBrush(QColor(0x2f, 0x5d, 0x9e));
    p.drawRect(QRectF(68, 14, 10, 22));

    p.setBrush(QColor(0xfa, 0xfa, 0xfa));
    p.drawRoundedRect(QRectF(22, 62, 76, 50), 4, 4);
    p.setPen(QPen(QColor(0x90, 0xa4, 0xae), 4, Qt::SolidLine, Qt::RoundCap));
    for (int y = 76; y <= 100; y += 12)
        p.drawLine(QPointF(32, y), QPointF(88, y));
    return image;
}

// Open: a folder whose front flap tilts open.
QImage drawOpen()
{
    QImage image = newCanvas(156, 127);
    QPainter p(&image);
    prepare(p);

    QPainterPath back;
    back.moveTo(10, 20);
    back.quadTo(10, 12, 18, 12);
    back.lineTo(56, 12);
    back.lineTo(68, 26);
    back.lineTo(128, 26);
    back.quadTo(136, 26, 136, 34);
    back.lineTo(136, 110);
    back.lineTo(10, 110);
    back.closeSubpath();
    p.setBrush(QColor(0xd9, 0x98, 0x1c));
    p.drawPath(back);

    p.setBrush(QColor(0xff, 0xff, 0xff));
    p.drawRect(QRectF(24, 34, 100, 50));

    QPainterPath flap;
    flap.moveTo(34, 52);
    flap.lineTo(150, 52);
    flap.lineTo(130, 114);
    flap.lineTo(6, 114);
    flap.closeSubpath();
    QLinearGradient shade(0, 52, 0, 114);
    shade.setColorAt(0, QColor(0xff, 0xd5, 0x4f));
    shade.setColorAt(1, QColor(0xff, 0xb3, 0x00));
    p.setBrush(shade);
    p.drawPath(flap);
    return image;
}

// About: a white "i" on a blue disc.
QImage drawAbout()
{
    QImage image = newCanvas(128, 128);
    QPainter p(&image);
    prepare(p);

    QRadialGradient disc(QPointF(50, 42), 84);
    disc.setColorAt(0, QColor(0x64, 0xb5, 0xf6));
    disc.setColorAt(1, QColor(0x15, 0x65, 0xc0));
    p.setBrush(disc);
    p.drawEllipse(QRectF(4, 4, 120, 120));

    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(64, 34), 10, 10);
    p.drawRoundedRect(QRectF(55, 52, 18, 52), 6, 6);
    p.drawRoundedRect(QRectF(46, 52, 18, 10), 3, 3);
    p.drawRoundedRect(QRectF(46, 96, 36, 10), 3, 3);
    return image;
}

// Notes: a page with a folded corner and lines of text.
QImage drawNote()
{
    QImage image = newCanvas(72, 72);
    QPainter p(&image);
    prepare(p);

    QPainterPath page;
    page.moveTo(12, 4);
    page.lineTo(46, 4);
    page.lineTo(62, 20);
    page.lineTo(62, 68);
    page.lineTo(12, 68);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x54, 0x6e, 0x7a), 2));
    p.setBrush(QColor(0xff, 0xff, 0xff));
    p.drawPath(page);

    QPainterPath fold;
    fold.moveTo(46, 4);
    fold.lineTo(46, 20);
    fold.lineTo(62, 20);
    fold.closeSubpath();
    p.setBrush(QColor(0xcf, 0xd8, 0xdc));
    p.drawPath(fold);

    p.setPen(QPen(QColor(0x1e, 0x88, 0xe5), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 16), QPointF(38, 16));
    for (int y = 28; y <= 58; y += 10)
        p.drawLine(QPointF(20, y), QPointF(y == 58 ? 42 : 54, y));
    return image;
}

// The CRC-32 that PNG chunks carry (polynomial 0xEDB88320, reflected).
quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t {};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes)
        c = table[(c ^ static_cast<quint8>(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendBigEndian32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

// One PNG chunk: length (4, big-endian, of the data only), type (4 ASCII),
// data, CRC-32 over type and data.
QByteArray pngChunk(const char type[4], const QByteArray &data)
{
    QByteArray typeAndData(type, 4);
    typeAndData.append(data);
    QByteArray chunk;
    appendBigEndian32(chunk, static_cast<quint32>(data.size()));
    chunk.append(typeAndData);
    appendBigEndian32(chunk, crc32(typeAndData));
    return chunk;
}

// The background tile, written chunk by chunk: Qt's PNG writer would store a
// two-colour image whose colours are both grey as a greyscale PNG, and the
// tile must be a 1-bit palette PNG.
//
//   signature  89 50 4E 47 0D 0A 1A 0A
//   IHDR       width 72, height 72, bit depth 1, colour type 3 (palette),
//              compression 0, filter 0, interlace 0
//   PLTE       2 entries: index 0 = d9 d9 d9 (grey), index 1 = ff ff ff (white)
//   IDAT       zlib stream of 72 scanlines, each a filter byte (0, none) and
//              9 bytes holding 72 one-bit indices, most significant bit first
//   IEND       empty
//
// Squares of 36 x 36: grey at top left and bottom right, white elsewhere.
QByteArray makeCheckerPng()
{
    constexpr int side = 72;
    constexpr int half = side / 2;
    constexpr int rowBytes = (side + 7) / 8;

    QByteArray header;
    appendBigEndian32(header, side);
    appendBigEndian32(header, side);
    header.append(char(1)); // bit depth
    header.append(char(3)); // colour type: palette
    header.append(char(0)); // compression: deflate
    header.append(char(0)); // filter method: adaptive
    header.append(char(0)); // no interlace

    const QByteArray palette = QByteArray::fromHex("d9d9d9ffffff");

    QByteArray scanlines;
    scanlines.reserve(side * (1 + rowBytes));
    for (int y = 0; y < side; ++y) {
        scanlines.append(char(0));
        QByteArray row(rowBytes, char(0));
        for (int x = 0; x < side; ++x) {
            const bool white = (x < half) != (y < half);
            if (white)
                row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
        }
        scanlines.append(row);
    }
    // qCompress prefixes the zlib stream with the uncompressed size (4 bytes,
    // big-endian); PNG wants the bare zlib stream.
    const QByteArray zlibStream = qCompress(scanlines, 9).mid(4);

    QByteArray png = QByteArray::fromHex("89504e470d0a1a0a");
    png.append(pngChunk("IHDR", header));
    png.append(pngChunk("PLTE", palette));
    png.append(pngChunk("IDAT", zlibStream));
    png.append(pngChunk("IEND", QByteArray()));
    return png;
}

void appendLittleEndian16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendLittleEndian32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// A Windows icon file holding one 32-bit image, stored as a DIB (not PNG):
//
//   ICONDIR (6)       reserved 0, type 1 (icon), count 1
//   ICONDIRENTRY (16) width, height (1 byte each), colour count 0,
//                     reserved 0, planes 1, bits per pixel 32,
//                     size of the image data, offset of the image data (22)
//   image data        BITMAPINFOHEADER (40): size 40, width, height * 2
//                     (colour rows and mask rows), planes 1, 32 bits,
//                     BI_RGB (0), size of pixels and mask, resolution 0 0,
//                     colours used 0, important 0;
//                     then the pixels, B G R A (straight alpha), bottom row
//                     first; then the AND mask, 1 bit a pixel (1 = fully
//                     transparent), bottom row first, each row padded to a
//                     multiple of 4 bytes.
//
// For 72 x 72: 40 + 72 * 72 * 4 + 72 * 12 = 21640 bytes of image data.
// The entry's one-byte width and height limit this layout to 255 pixels.
QByteArray makeIco(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    Q_ASSERT(width > 0 && width < 256 && height > 0 && height < 256);

    const int maskStride = ((width + 31) / 32) * 4;
    const quint32 pixelBytes = quint32(width) * quint32(height) * 4;
    const quint32 maskBytes = quint32(maskStride) * quint32(height);
    const quint32 imageBytes = 40 + pixelBytes + maskBytes;

    QByteArray ico;
    appendLittleEndian16(ico, 0);
    appendLittleEndian16(ico, 1);
    appendLittleEndian16(ico, 1);

    ico.append(char(width));
    ico.append(char(height));
    ico.append(char(0));
    ico.append(char(0));
    appendLittleEndian16(ico, 1);
    appendLittleEndian16(ico, 32);
    appendLittleEndian32(ico, imageBytes);
    appendLittleEndian32(ico, 6 + 16);

    appendLittleEndian32(ico, 40);
    appendLittleEndian32(ico, quint32(width));
    appendLittleEndian32(ico, quint32(height) * 2);
    appendLittleEndian16(ico, 1);
    appendLittleEndian16(ico, 32);
    appendLittleEndian32(ico, 0);
    appendLittleEndian32(ico, pixelBytes + maskBytes);
    appendLittleEndian32(ico, 0);
    appendLittleEndian32(ico, 0);
    appendLittleEndian32(ico, 0);
    appendLittleEndian32(ico, 0);

    for (int y = height - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            ico.append(char(qBlue(line[x])));
            ico.append(char(qGreen(line[x])));
            ico.append(char(qRed(line[x])));
            ico.append(char(qAlpha(line[x])));
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QByteArray row(maskStride, char(0));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
        }
        ico.append(row);
    }
    Q_ASSERT(quint32(ico.size()) == 22 + imageBytes);
    return ico;
}

bool writeFile(const QString &path, const QByteArray &bytes, QTextStream &err)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        err << "cannot open " << QDir::toNativeSeparators(path) << ": " << file.errorString()
            << '\n';
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        err << "cannot write " << QDir::toNativeSeparators(path) << ": " << file.errorString()
            << '\n';
        return false;
    }
    return true;
}

// Writes an RGBA picture through Qt's PNG writer, which stores a straight
// (non-premultiplied) 32-bit image as 8-bit RGBA.
bool writeRgbaPng(const QString &path, const QImage &picture, QTextStream &err)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG")) {
            err << "cannot encode " << QDir::toNativeSeparators(path) << '\n';
            return false;
        }
    }
    return writeFile(path, bytes, err);
}

} // namespace

int main(int argc, char *argv[])
{
    QTextStream err(stderr);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QStringLiteral(BRINDLEFORGE_RESOURCES_SOURCE_DIR);
    const QDir dir(root);
    if (!dir.mkpath(QStringLiteral("image"))) {
        err << "cannot create " << QDir::toNativeSeparators(dir.filePath(QStringLiteral("image")))
            << '\n';
        return 1;
    }

    struct Picture
    {
        const char *name;
        QImage (*draw)();
    };
    const Picture pictures[] = {
        {"icon.png", drawAppIcon}, {"close.png", drawClose}, {"save.png", drawSave},
        {"open.png", drawOpen},    {"about.png", drawAbout}, {"note.png", drawNote},
    };

    bool ok = true;
    for (const Picture &picture : pictures) {
        const QString path = dir.filePath(QLatin1String("image/") + QLatin1String(picture.name));
        ok = writeRgbaPng(path, picture.draw(), err) && ok;
    }
    ok = writeFile(dir.filePath(QStringLiteral("image/bg.png")), makeCheckerPng(), err) && ok;

    // The Windows icon is made from the PNG as written, so both hold the
    // same pixels.
    const QImage icon(dir.filePath(QStringLiteral("image/icon.png")));
    if (icon.isNull()) {
        err << "cannot read back image/icon.png\n";
        return 1;
    }
    ok = writeFile(dir.filePath(QStringLiteral("brindleforge.ico")), makeIco(icon), err) && ok;
    return ok ? 0 : 1;
}
