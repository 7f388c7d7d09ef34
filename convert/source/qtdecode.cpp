#include "qtdecode.h"

#include "decodeattempt.h"
#include "decodemessages.h"

#include <utility>

namespace Convert {
namespace Reading {

ConvertResult decodeWithQt(const DecodeInput &input, const PngLayout *png, EndRule rule,
                           QImage *image)
{
    const QString &path = input.path;
    const QSize size = input.probe.size;
    allowDecodeBudget();
    DecodeAttempt attempt =
        decodeOnce(input.data, png, input.probe.kind, size, QImage::Format_Invalid);
    // Should a handler pick another format than it announced, it allocated
    // its own image: decode once more into a zeroed one of that format.
    if (attempt.read && !attempt.filledPrepared && attempt.image.size() == size)
        attempt = decodeOnce(input.data, png, input.probe.kind, size, attempt.image.format());

    if (attempt.png.outcome == PngCheck::Refused)
        return ConvertResult::notDecodable(path, attempt.png.detail);
    bool corrupt = attempt.png.outcome == PngCheck::Corrupt;
    QString detail;
    if (corrupt)
        detail = attempt.png.detail;
    for (const QString &message : qAsConst(attempt.messages)) {
        if (saysCorrupt(message)) {
            corrupt = true;
            detail = message;
        }
    }
    const bool endsEarly = rule == EndRule::ReadAtEnd ? attempt.readAtEnd
                                                      : attempt.readPastEnd
            || (rule == EndRule::ReadPastEndOrStopsAtEnd && !attempt.read && attempt.consumedAll);
    if (endsEarly) {
        corrupt = true;
        detail = QStringLiteral("the data ends early");
    }
    ConvertResult result;
    if (corrupt)
        result = ConvertResult::corrupt(path, detail);
    else if (!attempt.read || attempt.image.isNull())
        result = ConvertResult::notDecodable(path, attempt.error);
    else if (!attempt.filledPrepared && attempt.image.size() == size)
        result = ConvertResult::notDecodable(
            path, QStringLiteral("the decoder did not write into the prepared image"));
    result.addNotes(attempt.messages);
    if (result.ok())
        *image = std::move(attempt.image);
    return result;
}

} // namespace Reading
} // namespace Convert
