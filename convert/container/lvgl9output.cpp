#include "lvgl9output.h"

#include "lvgl9encoder.h"
#include "lvgl9writer.h"

namespace Convert {

namespace {

// The writers take the size from the image; an embedded source has none
// decoded, so its header's size is put in.
Lvgl9::Encoded encode(const OutputPlan &plan, const SourceImage &source)
{
    Lvgl9::Encoded encoded = Lvgl9::encode(plan, source.image, source.bytes);
    if (source.image.isNull()) {
        encoded.width = source.size.width();
        encoded.height = source.size.height();
    }
    return encoded;
}

void addNotes(const OutputPlan &plan, const Lvgl9::Encoded &encoded, Remarks *remarks)
{
    const int aligned = Lvgl9::alignedStride(plan, encoded.width);
    if (encoded.stride != aligned) {
        remarks->notes << QStringLiteral("under RLE the stride is widened from %1 to %2 bytes, so "
                                         "that LVGL reads the data as whole blocks of %3 bytes")
                              .arg(QString::number(aligned), QString::number(encoded.stride),
                                   QString::number(Lvgl9::rleBlockSize(*plan.format9())));
    }
    if (plan.compression == Lvgl9::Compression::None
        || encoded.dataSize() < encoded.uncompressedSize)
        return;
    remarks->notes << QStringLiteral("%1 does not make the data smaller (%2 bytes with its "
                                     "header, %3 without compression); written as asked")
                          .arg(plan.compression == Lvgl9::Compression::Rle ? QStringLiteral("RLE")
                                                                           : QStringLiteral("LZ4"),
                               QString::number(encoded.dataSize()),
                               QString::number(encoded.uncompressedSize));
}

} // namespace

QString Lvgl9Output::problem(const OutputPlan &plan) const
{
    if (!plan.format9())
        return QStringLiteral("no such output format");
    const Lvgl9::Format &f = *plan.format9();
    if (plan.hasBackground && f.alpha) {
        return QStringLiteral("%1 keeps the image's alpha; --background applies to formats "
                              "without alpha")
            .arg(QLatin1String(f.name));
    }
    if (f.layout == Lvgl9::Layout::Raw && plan.compression != Lvgl9::Compression::None) {
        return QStringLiteral("%1 holds a PNG or JPEG file, which is compressed already: "
                              "--compress does not apply")
            .arg(QLatin1String(f.name));
    }
    if (plan.strideAlign < 1 || plan.strideAlign > 1024
        || (plan.strideAlign & (plan.strideAlign - 1)) != 0)
        return QStringLiteral("the stride alignment must be a power of two up to 1024");
    if (!plan.binary)
        return QString();
    if (f.layout == Lvgl9::Layout::Raw) {
        return QStringLiteral("%1 exists only as a C array: LVGL does not open a .bin holding "
                              "a PNG or JPEG (it reads such files by their own path)")
            .arg(QLatin1String(f.name));
    }
    if (!f.plainBinary && plan.compression == Lvgl9::Compression::None) {
        return QStringLiteral("LVGL 9.5 cannot open an uncompressed .bin of %1: write a C "
                              "array (-f c), or compress the .bin (--compress rle or lz4)")
            .arg(QLatin1String(f.name));
    }
    return QString();
}

const char *Lvgl9Output::formatName(const OutputPlan &plan) const
{
    return plan.format9()->name;
}

int Lvgl9Output::paletteEntries(const OutputPlan &plan) const
{
    const auto *format = plan.format9();
    return format && format->layout == Lvgl9::Layout::Indexed ? Lvgl9::paletteEntries(*format) : 0;
}

int Lvgl9Output::maxSide() const
{
    return 65535;
}

ConvertResult Lvgl9Output::checkSize(const OutputPlan &plan, QSize size, const QString &path) const
{
    const QString tooLarge = Lvgl9::sizeProblem(plan, size.width(), size.height());
    if (!tooLarge.isEmpty())
        return ConvertResult::tooLarge(path, size, tooLarge);
    return ConvertResult::success();
}

QByteArray Lvgl9Output::binary(const OutputPlan &plan, const SourceImage &source,
                               Remarks *remarks) const
{
    Lvgl9::Encoded encoded = encode(plan, source);
    addNotes(plan, encoded, remarks);
    return Lvgl9::binary(plan, std::move(encoded));
}

bool Lvgl9Output::writeC(const OutputPlan &plan, const SourceImage &source,
                         const QByteArray &symbol, QIODevice *device, QString *error,
                         Remarks *remarks) const
{
    const Lvgl9::Encoded encoded = encode(plan, source);
    addNotes(plan, encoded, remarks);
    return Lvgl9::writeC(plan, encoded, symbol, device, error);
}

void Lvgl9Output::writeCHead(const OutputPlan &plan, const QByteArray &attribute,
                             TextSink &out) const
{
    Lvgl9::appendHead(out, plan, attribute);
}

void Lvgl9Output::writeCImage(const OutputPlan &plan, const SourceImage &source,
                              const QByteArray &symbol, const QByteArray &attribute,
                              const QByteArray &sharedData, TextSink &out, Remarks *remarks) const
{
    const Lvgl9::Encoded encoded = encode(plan, source);
    addNotes(plan, encoded, remarks);
    Lvgl9::appendImage(out, plan, encoded, symbol, attribute, sharedData);
}

void Lvgl9Output::writeCEnd(TextSink &out) const
{
    Lvgl9::appendEnd(out);
}

} // namespace Convert
