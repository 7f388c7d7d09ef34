#include "imagesource.h"

#include "imagekinds.h"
#include "memorysource.h"
#include "sourcefile.h"

#include <filepath.h>
#include <formats.h>

#include <utility>

namespace Convert {

using namespace Reading;

namespace {

HeaderStatus readHeader(ByteSource *source, ImageProbe *probe, QString *detail)
{
    HeaderReader in(source);
    uchar head[SniffHeadBytes];
    const int count = in.read(0, SniffHeadBytes, head);
    if (count < 0)
        return HeaderStatus::ReadError;
    probe->kind =
        sniffImageKind(QByteArray::fromRawData(reinterpret_cast<const char *>(head), count));
    if (const ImageKindRow *row = imageKindRow(probe->kind))
        return row->readHeader(in, probe, detail);
    return HeaderStatus::NotAnImage;
}

// The kinds read, as a result that is no image names them.
QString kindsRead(bool windowOnly)
{
    return joinedList(imageKindNames(windowOnly), QStringLiteral(", "), QStringLiteral(" or "));
}

ConvertResult headerResult(HeaderStatus status, const QString &path, const QString &detail,
                           int error, bool windowOnly = false)
{
    switch (status) {
    case HeaderStatus::Ok:
        break;
    case HeaderStatus::NotAnImage:
        return ConvertResult::notAnImage(path, kindsRead(windowOnly));
    case HeaderStatus::Corrupt:
        return ConvertResult::corrupt(path, detail);
    case HeaderStatus::NotDecodable:
        return ConvertResult::notDecodable(path, detail);
    case HeaderStatus::ReadError:
        return ConvertResult::readFailed(path, errnoText(error));
    }
    return ConvertResult::success();
}

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

ConvertResult probeImageData(const QByteArray &data, const QString &path, ImageProbe *probe)
{
    *probe = ImageProbe();
    MemorySource memory(data);
    QString detail;
    return headerResult(readHeader(&memory, probe, &detail), path, detail, 0);
}

namespace {

// The row of a probed kind that this request reads; nullptr when the
// content is of no kind it reads.
const ImageKindRow *readableRow(const ImageProbe &probe, const DecodeRequest &request)
{
    const ImageKindRow *row = imageKindRow(probe.kind);
    if (!row || (request.windowKindsOnly && !row->window))
        return nullptr;
    return row;
}

// The size a source is decoded at: a rendered kind is drawn at the size
// wanted, every other kind at its own (a scaled decoder may come near the
// size wanted, but never exceeds its own).
QSize decodedSize(const ImageKindRow &row, const ImageProbe &probe, const DecodeRequest &request)
{
    if (row.rendered && request.wantedSize)
        return request.wantedSize(probe.size);
    return probe.size;
}

// The side limit and the decoding budget for what will be decoded.
ConvertResult checkDecode(const ImageKindRow &row, const ImageProbe &probe,
                          const DecodeRequest &request, const QString &path)
{
    ImageProbe decoded = probe;
    decoded.size = decodedSize(row, probe, request);
    return checkLimits(decoded, path, request.maxSide);
}

} // namespace

ConvertResult readSourceImage(const QString &path, int maxSide, SourceImage *source)
{
    DecodeRequest request;
    request.maxSide = maxSide;
    return readSourceImage(path, request, source);
}

ConvertResult readSourceImage(const QString &path, const DecodeRequest &request,
                              SourceImage *source)
{
    *source = SourceImage();
    // Everything that can be decided from the header is decided before the
    // rest of the file is read.
    SourceFile file;
    ImageProbe probe;
    ConvertResult result = openAndProbe(path, &file, &probe);
    if (!result.ok())
        return result;
    const ImageKindRow *row = readableRow(probe, request);
    if (!row)
        return ConvertResult::notAnImage(path, kindsRead(request.windowKindsOnly));
    result = checkDecode(*row, probe, request, path);
    if (!result.ok())
        return result;

    QByteArray bytes;
    result = file.readAll(path, MaxSourceBytes, &bytes);
    if (!result.ok())
        return result;
    return decodeImageData(bytes, path, request, source);
}

ConvertResult readEmbeddedSource(const QString &path, int maxSide, SourceImage *source)
{
    *source = SourceImage();
    SourceFile file;
    ImageProbe probe;
    ConvertResult result = openAndProbe(path, &file, &probe);
    if (!result.ok())
        return result;
    const ImageKindRow *row = imageKindRow(probe.kind);
    if (!row->checkEmbedded)
        return readSourceImage(path, maxSide, source);
    result = checkSide(probe, path, maxSide);
    if (!result.ok())
        return result;

    QByteArray bytes;
    result = file.readAll(path, MaxSourceBytes, &bytes);
    if (!result.ok())
        return result;
    result = row->checkEmbedded(bytes, path);
    if (!result.ok())
        return result;
    source->kind = probe.kind;
    source->size = probe.size;
    source->bytes = std::move(bytes);
    return result;
}

ConvertResult decodeImageData(const QByteArray &data, const QString &path, int maxSide,
                              SourceImage *source)
{
    DecodeRequest request;
    request.maxSide = maxSide;
    return decodeImageData(data, path, request, source);
}

ConvertResult decodeImageData(const QByteArray &data, const QString &path,
                              const DecodeRequest &request, SourceImage *source)
{
    *source = SourceImage();
    MemorySource memory(data);
    ImageProbe probe;
    QString detail;
    ConvertResult result = headerResult(readHeader(&memory, &probe, &detail), path, detail, 0,
                                        request.windowKindsOnly);
    if (!result.ok())
        return result;
    const ImageKindRow *row = readableRow(probe, request);
    if (!row)
        return ConvertResult::notAnImage(path, kindsRead(request.windowKindsOnly));
    result = checkDecode(*row, probe, request, path);
    if (!result.ok())
        return result;

    const QSize wanted = request.wantedSize ? request.wantedSize(probe.size) : probe.size;
    const DecodeInput input {data, probe, wanted, path};
    QImage image;
    result = row->decode(input, &image);
    if (!result.ok())
        return result;
    if (image.isNull())
        return ConvertResult::notDecodable(path, QStringLiteral("the image is empty"));
    // A decoder that keeps to the header gives exactly its size; a rendered
    // kind gives the size it was drawn at, and a scaled one at most its own.
    const QSize expected = decodedSize(*row, probe, request);
    const bool sizeHolds = wanted == probe.size || row->rendered
        ? image.size() == expected
        : image.width() <= expected.width() && image.height() <= expected.height();
    if (!sizeHolds) {
        ConvertResult wrong = ConvertResult::corrupt(
            path,
            QStringLiteral("the decoded image is %1 x %2 pixels, the header says %3 x %4")
                .arg(QString::number(image.width()), QString::number(image.height()),
                     QString::number(expected.width()), QString::number(expected.height())));
        wrong.addNotes(result.notes());
        return wrong;
    }

    source->kind = probe.kind;
    source->bytes = data;
    source->image = std::move(image);
    source->size = source->image.size();
    return result;
}

} // namespace Convert
