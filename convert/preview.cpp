#include "preview.h"

#include "lvgldecoder.h"
#include "outputfile.h"

#include <QBuffer>
#include <QImageWriter>

namespace Convert {

ConvertResult writePreview(const QString &outputPath, const QString &pngPath)
{
    ConvertResult read;
    const LvglDecodeResult decoded =
        readLvglImage(outputPath, DeviceSettings(), LvglVersion::Detect, &read);
    if (!read.ok())
        return read;
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
    ConvertResult committed = file.commit();
    committed.addNotes(decoded.info.previewNotes);
    return committed;
}

} // namespace Convert
