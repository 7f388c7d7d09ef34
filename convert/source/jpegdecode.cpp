#include "jpegheader.h"

#include "qtdecode.h"

namespace Convert {
namespace Reading {

ConvertResult decodeJpeg(const DecodeInput &input, QImage *image)
{
    return decodeWithQt(input, nullptr, EndRule::ReadAtEnd, image);
}

ConvertResult checkEmbeddedJpeg(const QByteArray &data, const QString &path)
{
    const QString problem = checkJpegStructure(data);
    if (!problem.isEmpty())
        return ConvertResult::corrupt(path, problem);
    return ConvertResult::success();
}

} // namespace Reading
} // namespace Convert
