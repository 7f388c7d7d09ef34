#include "lvgl8cframe.h"
#include "lvgl8writers.h"
#include "pixelpacking.h"
#include "pixelrows.h"
#include "textsink.h"

namespace Convert {
namespace Lvgl8 {

namespace {

const char *const depthConditions[4] = {
    "#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8",
    "#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP == 0",
    "#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0",
    "#if LV_COLOR_DEPTH == 32",
};

const char *const trueColorComments[4] = {
    " /*Pixel format: Red: 3 bit, Green: 3 bit, Blue: 2 bit*/",
    " /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit*/",
    " /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes are swapped*/",
    " /*Pixel format: Fix 0xFF: 8 bit, Red: 8 bit, Green: 8 bit, Blue: 8 bit*/",
};

// The alpha array has no comment above its depth-32 rows.
const char *const alphaComments[4] = {
    "//Pixel format: Alpha 8 bit, Red: 3 bit, Green: 3 bit, Blue: 2 bit",
    "//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit",
    ("//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes "
     "are swapped"),
    nullptr,
};

// Bytes one pixel takes in depth section 1 to 4, without and with alpha.
constexpr int sectionBytes(int section, bool alpha)
{
    const int colour[4] = {1, 2, 2, 3};
    return colour[section - 1] + ((alpha || section == 4) ? 1 : 0);
}

// The "0xHH, " values of one row of pixels in depth section Section.
// Without alpha, depth 32 ends each pixel with the constant 0xff.
template<int Section, bool Alpha> char *formatRow(char *p, const QRgb *pixels, int width)
{
    for (int x = 0; x < width; ++x) {
        const QRgb c = pixels[x];
        if constexpr (Section == 1) {
            p = putHex(p, rgb332(c));
        } else if constexpr (Section == 2) {
            const quint16 v = rgb565(c);
            p = putHex(p, quint8(v & 0xff));
            p = putHex(p, quint8(v >> 8));
        } else if constexpr (Section == 3) {
            const quint16 v = rgb565(c);
            p = putHex(p, quint8(v >> 8));
            p = putHex(p, quint8(v & 0xff));
        } else {
            p = putHex(p, quint8(qBlue(c)));
            p = putHex(p, quint8(qGreen(c)));
            p = putHex(p, quint8(qRed(c)));
        }
        if constexpr (Alpha)
            p = putHex(p, quint8(qAlpha(c)));
        else if constexpr (Section == 4)
            p = putHex(p, 0xff);
    }
    return p;
}

template<int Section, bool Alpha>
void appendSection(TextSink &out, PixelRows &rows, const char *comment)
{
    out.appendLine(depthConditions[Section - 1]);
    if (comment)
        out.appendLine(comment);
    const int width = rows.width();
    // Two spaces, the values and the line end: at most 49 KB for 2047
    // pixels of 4 bytes, well within one block of the sink.
    const int lineChars = 2 + width * sectionBytes(Section, Alpha) * HexByteChars + 1;
    for (int y = 0; y < rows.height() && out.ok(); ++y) {
        char *p = out.reserve(lineChars + HexSlack);
        *p++ = ' ';
        *p++ = ' ';
        p = formatRow<Section, Alpha>(p, rows.row(y), width);
        *p++ = '\n';
        out.commit(p);
    }
    out.appendLine("#endif");
}

template<bool Alpha> void appendDepthSections(TextSink &out, const QImage &image)
{
    const char *const *comments = Alpha ? alphaComments : trueColorComments;
    PixelRows rows(image);
    appendSection<1, Alpha>(out, rows, comments[0]);
    appendSection<2, Alpha>(out, rows, comments[1]);
    appendSection<3, Alpha>(out, rows, comments[2]);
    appendSection<4, Alpha>(out, rows, comments[3]);
}

bool finish(TextSink &out, QString *error)
{
    if (out.finish())
        return true;
    if (error)
        *error = out.errorString();
    return false;
}

QByteArray pixelCount(const QImage &image)
{
    return QByteArray::number(qint64(image.width()) * image.height());
}

} // namespace

bool writeTrueColorC(const QImage &image, const QByteArray &symbol, bool chromaKeyed,
                     QIODevice *device, QString *error)
{
    TextSink out(device);
    appendBanner(out);
    appendIncludes(out);
    appendArrayHead(out, symbol);
    appendDepthSections<false>(out, image);
    appendDescriptor(out, symbol, image.width(), image.height(),
                     "    .data_size = " + pixelCount(image) + " * LV_COLOR_SIZE / 8,",
                     chromaKeyed ? "    .header.cf = LV_IMG_CF_TRUE_COLOR_CHROMA_KEYED,"
                                 : "    .header.cf = LV_IMG_CF_TRUE_COLOR,");
    return finish(out, error);
}

bool writeTrueColorAlphaC(const QImage &image, const QByteArray &symbol, QIODevice *device,
                          QString *error)
{
    TextSink out(device);
    appendBanner(out);
    appendIncludes(out);
    appendArrayHead(out, symbol);
    appendDepthSections<true>(out, image);
    appendDescriptor(out, symbol, image.width(), image.height(),
                     "    .data_size = " + pixelCount(image) + " * LV_IMG_PX_SIZE_ALPHA_BYTE,",
                     "    .header.cf = LV_IMG_CF_TRUE_COLOR_ALPHA,");
    return finish(out, error);
}

bool writeIndexed8C(const QImage &source, const QByteArray &symbol, QIODevice *device,
                    QString *error)
{
    const QImage image = source.format() == QImage::Format_Indexed8
        ? source
        : source.convertToFormat(QImage::Format_Indexed8);
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("cannot reduce the image to 256 colors");
        return false;
    }
    const QVector<QRgb> colorTable = image.colorTable();

    TextSink out(device);
    appendBanner(out);
    appendIncludes(out);
    appendArrayHead(out, symbol);

    // LVGL reads 256 palette entries before the first index whatever the
    // image uses, so the palette is always complete.
    constexpr int PaletteEntries = 256;
    for (int i = 0; i < PaletteEntries; ++i) {
        const QRgb c = i < colorTable.size() ? colorTable.at(i) : 0;
        char *p = out.reserve(64);
        *p++ = ' ';
        *p++ = ' ';
        p = putHex(p, quint8(qBlue(c)));
        p = putHex(p, quint8(qGreen(c)));
        p = putHex(p, quint8(qRed(c)));
        p = putHex(p, quint8(qAlpha(c)));
        out.commit(p);
        out.appendLine("/*Color of index " + QByteArray::number(i) + "*/");
    }
    out.appendLine("");

    const int width = image.width();
    for (int y = 0; y < image.height() && out.ok(); ++y) {
        const uchar *indices = image.constScanLine(y);
        char *p = out.reserve(2 + width * HexByteChars + 1 + HexSlack);
        *p++ = ' ';
        *p++ = ' ';
        for (int x = 0; x < width; ++x)
            p = putHex(p, indices[x]);
        *p++ = '\n';
        out.commit(p);
    }

    const qint64 dataSize = qint64(width) * image.height() + 4 * PaletteEntries;
    appendDescriptor(out, symbol, width, image.height(),
                     "    .data_size = " + QByteArray::number(dataSize) + ',',
                     "    .header.cf = LV_IMG_CF_INDEXED_8BIT,");
    return finish(out, error);
}

} // namespace Lvgl8
} // namespace Convert
