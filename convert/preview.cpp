#include "preview.h"

#include "lvgldecoder.h"
#include "outputfile.h"

#include <QBuffer>
#include <QImageWriter>

namespace Convert {

ConvertResult writePreview(const QString &outputPath, const QString &pngPath)
{
    QByteArray bytes;
    const ConvertResult read = readLvglFile(outputPath, &bytes);
    if (!read.ok())
        return read;
    const LvglDecodeResult decoded = decodeLvglFileNamed(outputPath, bytes, DeviceSettings());
    if (!decoded.ok()) {
        return ConvertResult::writeFailed(
            pngPath, QStringLiteral("the written file cannot be read back: %1").arg(decoded.error));
    }

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(decoded.image))
        return ConvertResult::writeFailed(pngPath, writer.errorString());

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

} // namespace Convert
