#include "lvgl8output.h"

#include "lvgl8writer.h"

namespace Convert {

namespace {

// The writers take the size from the image; an embedded source has none
// decoded, so its header's size is put in.
Lvgl8::PreparedImage prepare(const OutputPlan &plan, const SourceImage &source)
{
    Lvgl8::PreparedImage prepared = Lvgl8::prepare(*plan.format(), source.image, source.bytes,
                                                   plan.quantizer, plan.dither, plan.palette);
    prepared.chromaKey = plan.chromaKey & 0xffffff;
    if (source.image.isNull()) {
        prepared.width = source.size.width();
        prepared.height = source.size.height();
    }
    return prepared;
}

// One warning for each depth at which opaque pixels take the chroma key's
// value: the device leaves them out, so a part of the picture vanishes.
void addKeyWarnings(const Lvgl8::HiddenPixels &hidden, QRgb key, Remarks *remarks)
{
    for (int d = 0; d < ColorDepthCount; ++d) {
        const qint64 count = hidden[size_t(d)];
        if (count == 0)
            continue;
        const QString what = count == 1
            ? QStringLiteral("%1 opaque pixel near the chroma key 0x%3 takes its value at %2 "
                             "and is not drawn")
            : QStringLiteral("%1 opaque pixels near the chroma key 0x%3 take its value at %2 "
                             "and are not drawn");
        remarks->warnings
            << what.arg(QString::number(count), depthSetting(ColorDepth(d)),
                        QStringLiteral("%1").arg(key & 0xffffff, 6, 16, QLatin1Char('0')).toUpper())
                + QStringLiteral("; choose a key colour the image does not use "
                                 "(LV_COLOR_CHROMA_KEY), or a format with alpha");
    }
}

} // namespace

QString Lvgl8Output::problem(const OutputPlan &plan) const
{
    if (!plan.format())
        return QStringLiteral("no such output format");
    if (!plan.binary)
        return QString();
    if (!plan.format()->hasBinary) {
        return QStringLiteral("%1 exists only as a C array: LVGL does not open a .bin holding a "
                              "PNG or JPEG (it reads such files by their own path)")
            .arg(QLatin1String(plan.format()->name));
    }
    if (plan.format()->sections && !(plan.format()->sections & depthBit(plan.depth))) {
        return QStringLiteral("%1 is drawn right only at LV_COLOR_DEPTH 16 (at depth 8 it is "
                              "wrong, at depth 32 LVGL reads past it): use --depth 16 or 16swap")
            .arg(QLatin1String(plan.format()->name));
    }
    return QString();
}

const char *Lvgl8Output::formatName(const OutputPlan &plan) const
{
    return plan.format()->name;
}

int Lvgl8Output::paletteEntries(const OutputPlan &plan) const
{
    const auto *format = plan.format();
    return format && format->layout == Lvgl8::Layout::Indexed ? Lvgl8::paletteEntries(*format) : 0;
}

int Lvgl8Output::maxSide() const
{
    return MaxImageSide;
}

ConvertResult Lvgl8Output::checkSize(const OutputPlan &, QSize size, const QString &path) const
{
    if (size.width() > MaxImageSide || size.height() > MaxImageSide)
        return ConvertResult::tooLarge(path, size);
    return ConvertResult::success();
}

QByteArray Lvgl8Output::binary(const OutputPlan &plan, const SourceImage &source,
                               Remarks *remarks) const
{
    const Lvgl8::PreparedImage prepared = prepare(plan, source);
    Lvgl8::HiddenPixels hidden {};
    QByteArray bytes = Lvgl8::encodeBinary(prepared, plan.depth, plan.dither, &hidden);
    addKeyWarnings(hidden, plan.chromaKey, remarks);
    return bytes;
}

bool Lvgl8Output::writeC(const OutputPlan &plan, const SourceImage &source,
                         const QByteArray &symbol, QIODevice *device, QString *error,
                         Remarks *remarks) const
{
    const Lvgl8::PreparedImage prepared = prepare(plan, source);
    Lvgl8::HiddenPixels hidden {};
    // The window's files include "lvgl/lvgl.h".
    const bool written =
        Lvgl8::writeC(prepared, plan.dither, plan.include.value_or(IncludeStyle::Subdir), symbol,
                      device, error, &hidden, plan.placement);
    addKeyWarnings(hidden, plan.chromaKey, remarks);
    return written;
}

void Lvgl8Output::writeCHead(const OutputPlan &plan, const QByteArray &, TextSink &out) const
{
    Lvgl8::appendHead(out, plan.include.value_or(IncludeStyle::Subdir));
}

void Lvgl8Output::writeCImage(const OutputPlan &plan, const SourceImage &source,
                              const QByteArray &symbol, const QByteArray &,
                              const QByteArray &sharedData, TextSink &out, Remarks *remarks) const
{
    const Lvgl8::PreparedImage prepared = prepare(plan, source);
    Lvgl8::HiddenPixels hidden {};
    Lvgl8::appendImage(out, prepared, plan.dither, symbol, sharedData, &hidden, plan.placement);
    addKeyWarnings(hidden, plan.chromaKey, remarks);
}

void Lvgl8Output::writeCEnd(TextSink &out) const
{
    Lvgl8::appendEnd(out);
}

} // namespace Convert
