#include "preview.h"

#include "filepath.h"
#include "imagesource.h"
#include "lvgldecoder.h"
#include "outputfile.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cstring>

namespace Convert {

namespace {

const char MarkKeyword[] = "Software";
const char MarkText[] = "BrindleForge preview";

// The mark is in a tEXt chunk before the image data, where Qt's writer
// puts the image's texts; a few KiB of the file always reach it.
constexpr int MarkSearchBytes = 64 * 1024;

quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

// The PNG of a decoded file, marked as a preview, with the decoder's notes
// on where it is approximate.
ConvertResult pngOf(const LvglDecodeResult &decoded, QByteArray *png)
{
    png->clear();
    if (!decoded.ok()) {
        return ConvertResult::writeFailed(
            QString(),
            QStringLiteral("the written file cannot be read back: %1").arg(decoded.error));
    }
    QImage image = decoded.image;
    image.setText(QLatin1String(MarkKeyword), QLatin1String(MarkText));
    QBuffer buffer(png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        png->clear();
        return ConvertResult::writeFailed(QString(), writer.errorString());
    }
    ConvertResult made = ConvertResult::success();
    made.addNotes(decoded.info.previewNotes);
    return made;
}

} // namespace

ConvertResult previewPng(const QString &name, const QByteArray &file, QByteArray *png,
                         QRgb chromaKey)
{
    DeviceSettings device;
    device.chromaKey = chromaKey & 0xffffff;
    return pngOf(decodeLvglFileNamed(name, file, device), png);
}

bool isPreviewPng(const QByteArray &head)
{
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    const qint64 size = head.size();
    if (size < 8 || std::memcmp(p, signature, 8) != 0)
        return false;
    QByteArray mark(MarkKeyword);
    mark += '\0';
    mark += MarkText;
    qint64 pos = 8;
    while (size - pos >= 12) {
        const qint64 length = be32(p + pos);
        const uchar *type = p + pos + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            return false;
        if (length > size - pos - 12)
            return false;
        if (std::memcmp(type, "tEXt", 4) == 0 && length == mark.size()
            && std::memcmp(type + 4, mark.constData(), size_t(length)) == 0)
            return true;
        pos += 12 + length;
    }
    return false;
}

ConvertResult checkPreviewTarget(const QString &pngPath)
{
    // What OutputFile refuses anyway (a folder, a device, /dev/stdout) is
    // left to it, with its own reason.
    if (pngPath == OutputFile::standardOutput() || !OutputFile::checkExisting(pngPath).ok()
        || fileStatus(pngPath).kind != FileKind::Regular)
        return ConvertResult::success();
    QByteArray head;
    qint64 size = 0;
    const ConvertResult read = readRegularFileHead(pngPath, MarkSearchBytes, &head, &size);
    if (read.ok() && isPreviewPng(head))
        return ConvertResult::success();
    return ConvertResult::unsupported(pngPath,
                                      QStringLiteral("it exists and is not a preview made by "
                                                     "BrindleForge; it was left alone"));
}

ConvertResult writePreviewPng(const QByteArray &png, const QString &pngPath)
{
    const ConvertResult target = checkPreviewTarget(pngPath);
    if (!target.ok())
        return target;
    OutputFile file(pngPath);
    const ConvertResult opened = file.create();
    if (!opened.ok())
        return opened;
    if (file.write(png) != png.size()) {
        const QString error = file.errorString();
        file.cancel();
        return ConvertResult::writeFailed(pngPath, error);
    }
    return file.commit();
}

ConvertResult writePreview(const QString &outputPath, const QString &pngPath, QRgb chromaKey)
{
    DeviceSettings device;
    device.chromaKey = chromaKey & 0xffffff;
    ConvertResult read;
    const LvglDecodeResult decoded = readLvglImage(outputPath, device, LvglVersion::Detect, &read);
    if (!read.ok())
        return read;
    QByteArray png;
    const ConvertResult made = pngOf(decoded, &png);
    if (!made.ok())
        return ConvertResult::writeFailed(pngPath, made.detail());
    ConvertResult written = writePreviewPng(png, pngPath);
    written.addNotes(made.notes());
    return written;
}

} // namespace Convert
