#include "decodeattempt.h"

#include "contentdevice.h"
#include "decodemessages.h"
#include "imagekinds.h"
#include "memorysource.h"
#include "pngrewrite.h"

#include <formats.h>

#include <QImageReader>

#include <cstring>
#include <memory>
#include <mutex>

namespace Convert {
namespace Reading {

void allowDecodeBudget()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    static std::once_flag raised;
    std::call_once(raised, [] {
        const int budgetMiB = int(DecodeBudgetBytes >> 20) + 1;
        const int limit = QImageReader::allocationLimit();
        if (limit != 0 && limit < budgetMiB)
            QImageReader::setAllocationLimit(budgetMiB);
    });
#endif
}

DecodeAttempt decodeOnce(const QByteArray &data, const PngLayout *png, ImageKind kind, QSize size,
                         QImage::Format format)
{
    DecodeAttempt attempt;
    MemorySource memory(data);
    std::unique_ptr<PngRewrite> rewrite(png ? new PngRewrite(data, *png) : nullptr);
    {
        // The reader and the device go before the message scope ends, so
        // that what they say while closing is caught too.
        DecodeMessages messages(&attempt.messages);
        ContentDevice device(rewrite ? static_cast<ByteSource *>(rewrite.get()) : &memory,
                             rewrite ? rewrite->size() : data.size());
        device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        QImageReader reader(&device, readerFormat(kind));
        reader.setAutoDetectImageFormat(false);
        if (format == QImage::Format_Invalid) {
            // Qt's JPEG handler announces a format it never set when the
            // header cannot be read. The value is taken as a number, since
            // it may be none of the enum's and merely loading such an enum
            // is undefined.
            const QImage::Format announced = reader.imageFormat();
            static_assert(sizeof announced == sizeof(int), "QImage::Format is an int");
            int value = 0;
            std::memcpy(&value, &announced, sizeof value);
            format = value > QImage::Format_Invalid && value < QImage::NImageFormats
                ? QImage::Format(value)
                : QImage::Format_Invalid;
        }
        const uchar *prepared = nullptr;
        if (format != QImage::Format_Invalid) {
            attempt.image = QImage(size, format);
            if (!attempt.image.isNull()) {
                std::memset(attempt.image.bits(), 0, size_t(attempt.image.sizeInBytes()));
                prepared = attempt.image.constBits();
            }
        }
        attempt.read = reader.read(&attempt.image);
        attempt.filledPrepared = prepared && attempt.image.constBits() == prepared;
        attempt.readPastEnd = device.readPastEnd();
        attempt.readAtEnd = device.readAtEnd();
        attempt.consumedAll = device.atEnd();
        attempt.error = reader.errorString();
    }
    if (rewrite)
        attempt.png = rewrite->finish();
    return attempt;
}

} // namespace Reading
} // namespace Convert
