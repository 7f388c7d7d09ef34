#include "lvgl8cframe.h"

#include "cframe.h"
#include "textsink.h"

namespace Convert {
namespace Lvgl8 {

void appendIncludes(TextSink &out, IncludeStyle include)
{
    CFrame::appendInclude(out, include);
    out.appendLine("");
    out.appendLine("#ifndef LV_ATTRIBUTE_MEM_ALIGN");
    out.appendLine("#define LV_ATTRIBUTE_MEM_ALIGN");
    out.appendLine("#endif");
    out.appendLine("");
    out.appendLine("");
}

void appendArrayHead(TextSink &out, const QByteArray &symbol, const Placement &placement)
{
    if (placement.isDefault()) {
        out.appendLine("const LV_ATTRIBUTE_MEM_ALIGN uint8_t " + symbol + "_map[] = {");
        return;
    }
    const QByteArray attribute = "LV_ATTRIBUTE_IMG_" + symbol.toUpper();
    QByteArray used = "LV_ATTRIBUTE_MEM_ALIGN";
    if (placement.align > 0) {
        used = attribute + "_ALIGN";
        CFrame::appendFallback(out, used, CFrame::alignAttribute(placement.align));
    }
    if (!placement.section.isEmpty()) {
        CFrame::appendFallback(out, attribute, CFrame::sectionAttribute(placement.section));
        used += ' ' + attribute;
    }
    out.appendLine("");
    out.appendLine("const " + used + " uint8_t " + symbol + "_map[] = {");
}

void appendDescriptor(TextSink &out, const QByteArray &symbol, int width, int height,
                      const QByteArray &dataSizeLine, const char *colorFormatLine)
{
    appendArrayEnd(out);
    appendDescriptorOnly(out, symbol, symbol + "_map", width, height, dataSizeLine,
                         colorFormatLine);
    appendEnd(out);
}

void appendArrayEnd(TextSink &out)
{
    out.appendLine("};");
    out.appendLine("");
}

void appendDescriptorOnly(TextSink &out, const QByteArray &symbol, const QByteArray &dataSymbol,
                          int width, int height, const QByteArray &dataSizeLine,
                          const char *colorFormatLine)
{
    out.appendLine("const lv_img_dsc_t " + symbol + " = {");
    out.appendLine("    .header.always_zero = 0,");
    out.appendLine("    .header.w = " + QByteArray::number(width) + ',');
    out.appendLine("    .header.h = " + QByteArray::number(height) + ',');
    out.appendLine(dataSizeLine);
    out.appendLine(colorFormatLine);
    out.appendLine("    .data = " + dataSymbol + ',');
    out.appendLine("};");
    out.appendLine("");
}

void appendEnd(TextSink &out)
{
    const char end[] = "//end of file";
    out.append(end, int(sizeof(end)) - 1);
}

} // namespace Lvgl8
} // namespace Convert
