#include "pngheader.h"

#include "pngchunks.h"
#include "pngrewrite.h"
#include "qtdecode.h"

namespace Convert {
namespace Reading {

ConvertResult decodePng(const DecodeInput &input, QImage *image)
{
    PngLayout layout;
    const PngCheck check = checkPngChunks(input.data, &layout);
    if (check.outcome == PngCheck::Corrupt)
        return ConvertResult::corrupt(input.path, check.detail);
    if (check.outcome == PngCheck::Refused)
        return ConvertResult::notDecodable(input.path, check.detail);
    return decodeWithQt(input, &layout, EndRule::ReadPastEnd, image);
}

ConvertResult checkEmbeddedPng(const QByteArray &data, const QString &path)
{
    PngLayout layout;
    PngCheck check = checkPngChunks(data, &layout);
    if (check.outcome == PngCheck::Valid)
        check = PngRewrite(data, layout).finish();
    if (check.outcome == PngCheck::Corrupt)
        return ConvertResult::corrupt(path, check.detail);
    if (check.outcome == PngCheck::Refused)
        return ConvertResult::notDecodable(path, check.detail);
    return ConvertResult::success();
}

} // namespace Reading
} // namespace Convert
