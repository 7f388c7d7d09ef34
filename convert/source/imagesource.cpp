#include "imagesource.h"

#include "decodeattempt.h"
#include "decodemessages.h"
#include "imagekinds.h"
#include "jpegheader.h"
#include "memorysource.h"
#include "pngrewrite.h"
#include "sourcefile.h"

#include <filepath.h>
#include <formats.h>

#include <utility>

namespace Convert {

using namespace Reading;

namespace {

// A source larger than this is not read at all. The largest file that fits
// the decoding budget (formats.h) without extra data is an uncompressed BMP
// or a stored 16-bit PNG of 256 MiB of pixels plus a few headers, so only a
// file that carries hundreds of megabytes of something else is refused.
constexpr qint64 MaxSourceBytes = qint64(512) << 20;

HeaderStatus readHeader(ByteSource *source, ImageProbe *probe, QString *detail)
{
    HeaderReader in(source);
    uchar head[SniffBytes];
    const int count = in.read(0, SniffBytes, head);
    if (count < 0)
        return HeaderStatus::ReadError;
    probe->kind =
        sniffImageKind(QByteArray::fromRawData(reinterpret_cast<const char *>(head), count));
    if (const ImageKindRow *row = imageKindRow(probe->kind))
        return row->readHeader(in, probe, detail);
    return HeaderStatus::NotAnImage;
}

ConvertResult headerResult(HeaderStatus status, const QString &path, const QString &detail,
                           int error)
{
    switch (status) {
    case HeaderStatus::Ok:
        break;
    case HeaderStatus::NotAnImage:
        return ConvertResult::notAnImage(path);
    case HeaderStatus::Corrupt:
        return ConvertResult::corrupt(path, detail);
    case HeaderStatus::ReadError:
        return ConvertResult::readFailed(path, errnoText(error));
    }
    return ConvertResult::success();
}

// The output's side limit first, then the decoding budget, both from the
// header alone.
// The output's side limit, from the header alone.
ConvertResult checkSide(const ImageProbe &probe, const QString &path, int maxSide)
{
    if (maxSide > 0 && (probe.size.width() > maxSide || probe.size.height() > maxSide))
        return ConvertResult::tooLarge(path, probe.size).withSideLimit(maxSide);
    return ConvertResult::success();
}

ConvertResult checkLimits(const ImageProbe &probe, const QString &path, int maxSide)
{
    const ConvertResult side = checkSide(probe, path, maxSide);
    if (!side.ok())
        return side;
    if (!withinDecodeBudget(probe))
        return ConvertResult::overBudget(path, probe.size);
    return ConvertResult::success();
}

} // namespace

ImageKind sniffImageKind(const QByteArray &head)
{
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    int count = 0;
    const ImageKindRow *rows = imageKindRows(&count);
    for (int i = 0; i < count; ++i) {
        if (rows[i].sniff(p, head.size()))
            return rows[i].kind;
    }
    return ImageKind::Unknown;
}

bool withinDecodeBudget(const ImageProbe &probe)
{
    const qint64 width = probe.size.width();
    const qint64 height = probe.size.height();
    if (width <= 0 || height <= 0)
        return false;
    const qint64 pixels = width * height;
    return pixels <= DecodeBudgetPixels && pixels * probe.decodedBytesPerPixel <= DecodeBudgetBytes;
}

namespace {

// Opens path as a regular file and reads its header.
ConvertResult openAndProbe(const QString &path, SourceFile *file, ImageProbe *probe)
{
    ConvertResult result = file->open(path);
    if (!result.ok())
        return result;
    QString detail;
    const HeaderStatus status = readHeader(file->source(), probe, &detail);
    return headerResult(status, path, detail, file->source()->error());
}

} // namespace

ConvertResult probeImage(const QString &path, ImageProbe *probe)
{
    *probe = ImageProbe();
    SourceFile file;
    return openAndProbe(path, &file, probe);
}

ConvertResult readSourceImage(const QString &path, int maxSide, SourceImage *source)
{
    *source = SourceImage();
    // Everything that can be decided from the header is decided before the
    // rest of the file is read.
    SourceFile file;
    ImageProbe probe;
    ConvertResult result = openAndProbe(path, &file, &probe);
    if (!result.ok())
        return result;
    result = checkLimits(probe, path, maxSide);
    if (!result.ok())
        return result;

    QByteArray bytes;
    result = file.readAll(path, MaxSourceBytes, &bytes);
    if (!result.ok())
        return result;
    return decodeImageData(bytes, path, maxSide, source);
}

ConvertResult readEmbeddedSource(const QString &path, int maxSide, SourceImage *source)
{
    *source = SourceImage();
    SourceFile file;
    ImageProbe probe;
    ConvertResult result = openAndProbe(path, &file, &probe);
    if (!result.ok())
        return result;
    if (probe.kind == ImageKind::Bmp)
        return readSourceImage(path, maxSide, source);
    result = checkSide(probe, path, maxSide);
    if (!result.ok())
        return result;

    QByteArray bytes;
    result = file.readAll(path, MaxSourceBytes, &bytes);
    if (!result.ok())
        return result;
    if (probe.kind == ImageKind::Png) {
        PngLayout layout;
        PngCheck check = checkPngChunks(bytes, &layout);
        if (check.outcome == PngCheck::Valid)
            check = PngRewrite(bytes, layout).finish();
        if (check.outcome == PngCheck::Corrupt)
            return ConvertResult::corrupt(path, check.detail);
        if (check.outcome == PngCheck::Refused)
            return ConvertResult::notDecodable(path, check.detail);
    } else {
        const QString problem = checkJpegStructure(bytes);
        if (!problem.isEmpty())
            return ConvertResult::corrupt(path, problem);
    }
    source->kind = probe.kind;
    source->size = probe.size;
    source->bytes = std::move(bytes);
    return result;
}

ConvertResult decodeImageData(const QByteArray &data, const QString &path, int maxSide,
                              SourceImage *source)
{
    *source = SourceImage();
    MemorySource memory(data);
    ImageProbe probe;
    QString detail;
    ConvertResult result = headerResult(readHeader(&memory, &probe, &detail), path, detail, 0);
    if (!result.ok())
        return result;
    result = checkLimits(probe, path, maxSide);
    if (!result.ok())
        return result;

    PngLayout layout;
    if (probe.kind == ImageKind::Png) {
        const PngCheck check = checkPngChunks(data, &layout);
        if (check.outcome == PngCheck::Corrupt)
            return ConvertResult::corrupt(path, check.detail);
        if (check.outcome == PngCheck::Refused)
            return ConvertResult::notDecodable(path, check.detail);
    }
    const PngLayout *png = probe.kind == ImageKind::Png ? &layout : nullptr;

    allowDecodeBudget();
    DecodeAttempt attempt = decodeOnce(data, png, probe.kind, probe.size, QImage::Format_Invalid);
    // Should a handler pick another format than it announced, it allocated
    // its own image: decode once more into a zeroed one of that format.
    if (attempt.read && !attempt.filledPrepared && attempt.image.size() == probe.size)
        attempt = decodeOnce(data, png, probe.kind, probe.size, attempt.image.format());

    if (attempt.png.outcome == PngCheck::Refused)
        return ConvertResult::notDecodable(path, attempt.png.detail);
    bool corrupt = attempt.png.outcome == PngCheck::Corrupt;
    if (corrupt)
        detail = attempt.png.detail;
    for (const QString &message : qAsConst(attempt.messages)) {
        if (saysCorrupt(message)) {
            corrupt = true;
            detail = message;
        }
    }
    // libjpeg reads in blocks, so a short last block is normal there; an
    // empty read means it wanted more and was given a made-up end marker.
    // Qt's BMP and PNG handlers read exactly what they need.
    if (probe.kind == ImageKind::Jpeg ? attempt.readAtEnd : attempt.readPastEnd) {
        corrupt = true;
        detail = QStringLiteral("the data ends early");
    }
    // Qt's BMP handler gives up without reading further when the data ends
    // right after the colour table.
    if (!attempt.read && probe.kind == ImageKind::Bmp && attempt.consumedAll) {
        corrupt = true;
        detail = QStringLiteral("the data ends early");
    }
    if (corrupt)
        result = ConvertResult::corrupt(path, detail);
    else if (!attempt.read || attempt.image.isNull())
        result = ConvertResult::notDecodable(path, attempt.error);
    else if (attempt.image.size() != probe.size)
        result = ConvertResult::corrupt(
            path,
            QStringLiteral("the decoded image is %1 x %2 pixels, the header says %3 x %4")
                .arg(QString::number(attempt.image.width()),
                     QString::number(attempt.image.height()), QString::number(probe.size.width()),
                     QString::number(probe.size.height())));
    else if (!attempt.filledPrepared)
        result = ConvertResult::notDecodable(
            path, QStringLiteral("the decoder did not write into the prepared image"));
    result.addNotes(attempt.messages);
    if (!result.ok())
        return result;

    source->kind = probe.kind;
    source->bytes = data;
    source->image = std::move(attempt.image);
    source->size = source->image.size();
    return result;
}

} // namespace Convert
