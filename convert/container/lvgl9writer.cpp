#include "lvgl9writer.h"

#include "cframe.h"
#include "textsink.h"

#include <QIODevice>

namespace Convert {
namespace Lvgl9 {

namespace {

QByteArray flagsText(quint16 flags)
{
    if (flags == 0)
        return "0";
    QByteArrayList names;
    if (flags & FlagPremultiplied)
        names << "0x0001 /*premultiplied*/";
    if (flags & FlagCompressed)
        names << "0x0008 /*compressed*/";
    return names.join(" | ");
}

} // namespace

namespace {

// The image's own attribute macro, and the one its arrays are aligned with:
// LV_ATTRIBUTE_MEM_ALIGN, or with --align a macro of the image's own.
QByteArray attributeMacro(const QByteArray &attribute)
{
    return "LV_ATTRIBUTE_IMAGE_" + attribute.toUpper();
}

QByteArray alignMacro(const OutputPlan &plan, const QByteArray &attribute)
{
    return plan.placement.align > 0 ? attributeMacro(attribute) + "_ALIGN"
                                    : QByteArray("LV_ATTRIBUTE_MEM_ALIGN");
}

} // namespace

void appendHead(TextSink &out, const OutputPlan &plan, const QByteArray &attribute)
{
    CFrame::appendBanner(out);
    // The attribute macros fall back to nothing; --section gives the
    // image's own macro its fallback, --align puts a macro of the image's in
    // place of LV_ATTRIBUTE_MEM_ALIGN.
    const QByteArray macro = attributeMacro(attribute);
    CFrame::appendInclude(out, plan.include.value_or(IncludeStyle::Auto));
    out.appendLine("");
    const Placement &placement = plan.placement;
    CFrame::appendFallback(out, "LV_ATTRIBUTE_MEM_ALIGN");
    CFrame::appendFallback(out, "LV_ATTRIBUTE_LARGE_CONST");
    CFrame::appendFallback(
        out, macro,
        placement.section.isEmpty() ? QByteArray() : CFrame::sectionAttribute(placement.section));
    if (placement.align > 0)
        CFrame::appendFallback(out, alignMacro(plan, attribute),
                               CFrame::alignAttribute(placement.align));
    out.appendLine("");
    out.appendLine("#ifndef LV_IMAGE_HEADER_MAGIC");
    out.appendLine("#define LV_IMAGE_HEADER_MAGIC 0x19");
    out.appendLine("#endif");
    out.appendLine("");
    out.appendLine("");
}

void appendImage(TextSink &out, const OutputPlan &plan, const Encoded &encoded,
                 const QByteArray &symbol, const QByteArray &attribute,
                 const QByteArray &sharedData)
{
    const Format &format = *plan.format9();
    const int size = encoded.dataSize();
    if (sharedData.isEmpty()) {
        out.appendLine("const " + alignMacro(plan, attribute) + " LV_ATTRIBUTE_LARGE_CONST "
                       + attributeMacro(attribute) + " uint8_t " + symbol + "_map[] = {");
        const auto *bytes = reinterpret_cast<const uchar *>(encoded.data());
        const int palette = (encoded.flags & FlagCompressed) ? 0 : paletteEntries(format) * 4;
        if ((encoded.flags & FlagCompressed) || format.layout == Layout::Raw) {
            for (int at = 0; at < size && out.ok(); at += 16)
                out.appendHexLine(bytes + at, qMin(16, size - at));
        } else {
            if (palette > 0)
                CFrame::appendPalette(out, QByteArray::fromRawData(encoded.data(), palette));
            // Rows of stride bytes, then RGB565A8's alpha rows of stride / 2.
            int at = palette;
            for (int plane = 0; plane < (format.layout == Layout::Rgb565A8 ? 2 : 1); ++plane) {
                const int step = plane == 0 ? encoded.stride : encoded.stride / 2;
                for (int y = 0; y < encoded.height && out.ok() && step > 0; ++y, at += step)
                    out.appendHexLine(bytes + at, step);
            }
        }
        out.appendLine("};");
        out.appendLine("");
    }
    out.appendLine("const lv_image_dsc_t " + symbol + " = {");
    out.appendLine("    .header.magic = LV_IMAGE_HEADER_MAGIC,");
    out.appendLine("    .header.cf = LV_COLOR_FORMAT_" + QByteArray(format.name) + ',');
    out.appendLine("    .header.flags = " + flagsText(encoded.flags) + ',');
    out.appendLine("    .header.w = " + QByteArray::number(encoded.width) + ',');
    out.appendLine("    .header.h = " + QByteArray::number(encoded.height) + ',');
    out.appendLine("    .header.stride = " + QByteArray::number(encoded.stride) + ',');
    out.appendLine("    .data_size = " + QByteArray::number(size) + ',');
    out.appendLine("    .data = " + (sharedData.isEmpty() ? symbol + "_map" : sharedData) + ',');
    out.appendLine("};");
    out.appendLine("");
}

void appendEnd(TextSink &out)
{
    out.appendLine("//end of file");
}

bool writeC(const OutputPlan &plan, const Encoded &encoded, const QByteArray &symbol,
            QIODevice *device, QString *error)
{
    TextSink out(device);
    appendHead(out, plan, symbol);
    appendImage(out, plan, encoded, symbol, symbol, QByteArray());
    appendEnd(out);
    if (out.finish())
        return true;
    if (error)
        *error = out.errorString();
    return false;
}

} // namespace Lvgl9
} // namespace Convert
