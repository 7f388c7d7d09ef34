#include "lvgl8writer.h"

#include "byteorder.h"
#include "hextext.h"
#include "lvgl8cframe.h"
#include "textsink.h"

#include <cstring>

namespace Convert {
namespace Lvgl8 {

namespace {

const char *const depthConditions[ColorDepthCount] = {
    "#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8",
    "#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP == 0",
    "#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0",
    "#if LV_COLOR_DEPTH == 32",
};

void appendRows(TextSink &out, SectionEncoder &section, int height)
{
    for (int plane = 0; plane < section.planeCount(); ++plane) {
        const int bytes = section.rowBytes(plane);
        for (int y = 0; y < height && out.ok(); ++y)
            out.appendHexLine(section.row(plane, y), bytes);
    }
}

QByteArray dataSizeLine(const PreparedImage &prepared)
{
    const qint64 pixels = qint64(prepared.width) * prepared.height;
    switch (prepared.format->dataSize) {
    case DataSize::PixelsTimesColorSize:
        return "    .data_size = " + QByteArray::number(pixels) + " * LV_COLOR_SIZE / 8,";
    case DataSize::PixelsTimesAlphaByte:
        return "    .data_size = " + QByteArray::number(pixels) + " * LV_IMG_PX_SIZE_ALPHA_BYTE,";
    case DataSize::Exact:
        break;
    }
    // Every depth section of a format with exact sizes is equally long.
    const SectionEncoder section(prepared, ColorDepth::Depth16, false);
    return "    .data_size = " + QByteArray::number(section.totalBytes()) + ',';
}

} // namespace

void appendHead(TextSink &out, IncludeStyle include)
{
    CFrame::appendBanner(out);
    appendIncludes(out, include);
}

void appendImage(TextSink &out, const PreparedImage &prepared, bool dither,
                 const QByteArray &symbol, const QByteArray &sharedData, HiddenPixels *hidden,
                 const Placement &placement)
{
    const Format &format = *prepared.format;
    const QByteArray colorFormatLine =
        "    .header.cf = LV_IMG_CF_" + QByteArray(format.name) + ',';
    if (!sharedData.isEmpty()) {
        appendDescriptorOnly(out, symbol, sharedData, prepared.width, prepared.height,
                             dataSizeLine(prepared), colorFormatLine.constData());
        return;
    }
    appendArrayHead(out, symbol, placement);

    if (format.layout == Layout::Raw) {
        const auto *bytes = reinterpret_cast<const uchar *>(prepared.raw.constData());
        const int size = prepared.raw.size();
        for (int at = 0; at < size && out.ok(); at += 16)
            out.appendHexLine(bytes + at, qMin(16, size - at));
    } else if (format.sections == 0) {
        SectionEncoder section(prepared, ColorDepth::Depth32, dither);
        if (format.layout == Layout::Indexed)
            CFrame::appendPalette(out, section.palette());
        appendRows(out, section, prepared.height);
    } else {
        for (int d = 0; d < ColorDepthCount; ++d) {
            const auto depth = ColorDepth(d);
            if (!(format.sections & depthBit(depth)))
                continue;
            out.appendLine(depthConditions[d]);
            if (format.comments && format.comments[d])
                out.appendLine(format.comments[d]);
            SectionEncoder section(prepared, depth, dither);
            appendRows(out, section, prepared.height);
            if (hidden)
                (*hidden)[size_t(d)] = section.hiddenPixels();
            out.appendLine("#endif");
        }
        if (format.layout == Layout::Rgb565A8) {
            // At other depths the library draws it wrongly or reads past
            // it; a build for one of them stops here with the reason.
            out.appendLine("#if LV_COLOR_DEPTH != 16");
            out.appendLine("#error \"LV_IMG_CF_RGB565A8 images are drawn only with "
                           "LV_COLOR_DEPTH 16\"");
            out.appendLine("#endif");
        }
    }

    appendArrayEnd(out);
    appendDescriptorOnly(out, symbol, symbol + "_map", prepared.width, prepared.height,
                         dataSizeLine(prepared), colorFormatLine.constData());
}

bool writeC(const PreparedImage &prepared, bool dither, IncludeStyle include,
            const QByteArray &symbol, QIODevice *device, QString *error, HiddenPixels *hidden,
            const Placement &placement)
{
    TextSink out(device);
    appendHead(out, include);
    appendImage(out, prepared, dither, symbol, QByteArray(), hidden, placement);
    appendEnd(out);
    if (out.finish())
        return true;
    if (error)
        *error = out.errorString();
    return false;
}

QByteArray encodeBinary(const PreparedImage &prepared, ColorDepth depth, bool dither,
                        HiddenPixels *hidden)
{
    const Format &format = *prepared.format;
    const ColorDepth sectionDepth = format.sections ? depth : ColorDepth::Depth32;
    SectionEncoder section(prepared, sectionDepth, dither);
    // 8 bytes of slack for rowTo()'s scratch writes past the last row.
    QByteArray bytes(int(4 + section.totalBytes() + 8), Qt::Uninitialized);
    auto *d = reinterpret_cast<uchar *>(bytes.data());

    // Width and height are at most 2047 here, so both fit their 11 bits.
    const quint32 header = quint32(format.cf) | ((quint32(prepared.width) & 0x7ffu) << 10)
        | ((quint32(prepared.height) & 0x7ffu) << 21);
    putLe32(d, header);
    d += 4;

    const QByteArray palette = section.palette();
    std::memcpy(d, palette.constData(), size_t(palette.size()));
    d += palette.size();
    for (int plane = 0; plane < section.planeCount(); ++plane) {
        const int rowBytes = section.rowBytes(plane);
        for (int y = 0; y < prepared.height; ++y) {
            section.rowTo(plane, y, d);
            d += rowBytes;
        }
    }
    if (hidden)
        (*hidden)[size_t(sectionDepth)] = section.hiddenPixels();
    bytes.chop(8);
    return bytes;
}

} // namespace Lvgl8
} // namespace Convert
