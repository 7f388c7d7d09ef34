#include "referenceencoder.h"

#include <cframe.h>
#include <textsink.h>

#include <QBuffer>
#include <QColor>
#include <QStringList>

using namespace Convert;

namespace {

// The pixel's components as pixelColor() reports them, each clamped to
// 0..255. Qt 6's floating-point formats hold values outside 0..1, and NaN,
// for which QColor's components lie outside that range.
QColor pixelAt(const QImage &image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    const auto clamped = [](int v) { return qBound(0, v, 255); };
    return QColor(clamped(c.red()), clamped(c.green()), clamped(c.blue()), clamped(c.alpha()));
}

QString hex(int value)
{
    return QString::asprintf("0x%02x, ", value);
}

int rgb332(const QColor &c)
{
    return (c.red() >> 5) << 5 | (c.green() >> 5) << 2 | (c.blue() >> 6);
}

int rgb565(const QColor &c)
{
    return (c.red() >> 3) << 11 | (c.green() >> 2) << 5 | (c.blue() >> 3);
}

// The bytes of one pixel in depth section 1 to 4.
QString pixelText(const QColor &c, int section, bool alpha)
{
    QString text;
    switch (section) {
    case 1:
        text += hex(rgb332(c));
        break;
    case 2:
        text += hex(rgb565(c) & 0xff) + hex(rgb565(c) >> 8);
        break;
    case 3:
        text += hex(rgb565(c) >> 8) + hex(rgb565(c) & 0xff);
        break;
    case 4:
        text += hex(c.blue()) + hex(c.green()) + hex(c.red());
        if (!alpha)
            text += hex(0xff);
        break;
    }
    if (alpha)
        text += hex(c.alpha());
    return text;
}

QByteArray cFile(const QImage &input, ColorFormat color, const QString &symbol)
{
    QStringList lines;
    lines << QStringLiteral("/*")
          << QStringLiteral("*---------------------------------------------------------------")
          << QStringLiteral("*                        Brindle Forge                          ")
          << QStringLiteral("*                                                               ")
          << QStringLiteral("* 注:使用UTF8编码") + QString(49, QLatin1Char(' '))
          << QStringLiteral("* 注:本字体文件由Brindle Forge V0.1 生成")
            + QString(27, QLatin1Char(' '))
          << QString::fromUtf8(engineAuthorLine())
          << QStringLiteral("*---------------------------------------------------------------")
          << QStringLiteral("*/") << QString() << QString()
          << QStringLiteral("#include \"lvgl/lvgl.h\"") << QString()
          << QStringLiteral("#ifndef LV_ATTRIBUTE_MEM_ALIGN")
          << QStringLiteral("#define LV_ATTRIBUTE_MEM_ALIGN") << QStringLiteral("#endif")
          << QString() << QString()
          << QStringLiteral("const LV_ATTRIBUTE_MEM_ALIGN uint8_t ") + symbol
            + QStringLiteral("_map[] = {");

    const QImage image =
        color == Indexed256 ? input.convertToFormat(QImage::Format_Indexed8) : input;
    const qint64 pixels = qint64(image.width()) * image.height();
    QString dataSize;
    QString cf;

    if (color == Indexed256) {
        const QVector<QRgb> table = image.colorTable();
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < table.size() ? table.at(i) : 0;
            lines << QString::asprintf("  0x%02x, 0x%02x, 0x%02x, 0x%02x, /*Color of index %d*/",
                                       qBlue(c), qGreen(c), qRed(c), qAlpha(c), i);
        }
        lines << QString();
        for (int y = 0; y < image.height(); ++y) {
            QString row = QStringLiteral("  ");
            for (int x = 0; x < image.width(); ++x)
                row += hex(image.pixelIndex(x, y));
            lines << row;
        }
        dataSize = QString::asprintf("    .data_size = %lld,", pixels + 1024);
        cf = QStringLiteral("    .header.cf = LV_IMG_CF_INDEXED_8BIT,");
    } else {
        const bool alpha = color == TrueColorAlpha;
        const char *const conditions[] = {
            "#if LV_COLOR_DEPTH == 1 || LV_COLOR_DEPTH == 8",
            "#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP == 0",
            "#if LV_COLOR_DEPTH == 16 && LV_COLOR_16_SWAP != 0",
            "#if LV_COLOR_DEPTH == 32",
        };
        const char *const plainComments[] = {
            " /*Pixel format: Red: 3 bit, Green: 3 bit, Blue: 2 bit*/",
            " /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit*/",
            (" /*Pixel format: Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color bytes are "
             "swapped*/"),
            " /*Pixel format: Fix 0xFF: 8 bit, Red: 8 bit, Green: 8 bit, Blue: 8 bit*/",
        };
        const char *const alphaComments[] = {
            "//Pixel format: Alpha 8 bit, Red: 3 bit, Green: 3 bit, Blue: 2 bit",
            "//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit",
            ("//Pixel format: Alpha 8 bit, Red: 5 bit, Green: 6 bit, Blue: 5 bit  BUT the 2  color "
             "bytes are swapped"),
            nullptr,
        };
        for (int section = 1; section <= 4; ++section) {
            lines << QString::fromLatin1(conditions[section - 1]);
            const char *comment = (alpha ? alphaComments : plainComments)[section - 1];
            if (comment)
                lines << QString::fromLatin1(comment);
            for (int y = 0; y < image.height(); ++y) {
                QString row = QStringLiteral("  ");
                for (int x = 0; x < image.width(); ++x)
                    row += pixelText(pixelAt(image, x, y), section, alpha);
                lines << row;
            }
            lines << QStringLiteral("#endif");
        }
        dataSize = alpha
            ? QString::asprintf("    .data_size = %lld * LV_IMG_PX_SIZE_ALPHA_BYTE,", pixels)
            : QString::asprintf("    .data_size = %lld * LV_COLOR_SIZE / 8,", pixels);
        cf = color == TrueColorAlpha
            ? QStringLiteral("    .header.cf = LV_IMG_CF_TRUE_COLOR_ALPHA,")
            : color == TrueColorChromaKeyed
            ? QStringLiteral("    .header.cf = LV_IMG_CF_TRUE_COLOR_CHROMA_KEYED,")
            : QStringLiteral("    .header.cf = LV_IMG_CF_TRUE_COLOR,");
    }

    lines << QStringLiteral("};") << QString()
          << QStringLiteral("const lv_img_dsc_t ") + symbol + QStringLiteral(" = {")
          << QStringLiteral("    .header.always_zero = 0,")
          << QString::asprintf("    .header.w = %d,", image.width())
          << QString::asprintf("    .header.h = %d,", image.height()) << dataSize << cf
          << QStringLiteral("    .data = ") + symbol + QStringLiteral("_map,")
          << QStringLiteral("};") << QString() << QStringLiteral("//end of file");
    return lines.join(QLatin1Char('\n')).toUtf8();
}

QByteArray binaryFile(const QImage &image, OutputFormat output)
{
    const quint32 header =
        5u | (quint32(image.width()) & 0x7ff) << 10 | (quint32(image.height()) & 0x7ff) << 21;
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char(header >> (8 * i));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = pixelAt(image, x, y);
            switch (output) {
            case BinaryRgb332:
                bytes += char(rgb332(c));
                break;
            case BinaryRgb565:
                bytes += char(rgb565(c) & 0xff);
                bytes += char(rgb565(c) >> 8);
                break;
            case BinaryRgb565Swap:
                bytes += char(rgb565(c) >> 8);
                bytes += char(rgb565(c) & 0xff);
                break;
            default:
                bytes += char(c.blue());
                bytes += char(c.green());
                bytes += char(c.red());
                break;
            }
            bytes += char(c.alpha());
        }
    }
    return bytes;
}

} // namespace

QByteArray engineAuthorLine()
{
    QByteArray banner;
    QBuffer buffer(&banner);
    buffer.open(QIODevice::WriteOnly);
    TextSink sink(&buffer);
    CFrame::appendBanner(sink);
    sink.finish();
    return banner.split('\n').value(6);
}

QByteArray referenceEncode(const QImage &image, OutputFormat output, ColorFormat color,
                           const QString &symbol)
{
    if (output == CArray)
        return cFile(image, color, symbol);
    return binaryFile(image, output);
}
