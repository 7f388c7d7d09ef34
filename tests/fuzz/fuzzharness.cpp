#include "fuzzharness.h"

#include <converter.h>
#include <csymbol.h>
#include <lvgl8formats.h>
#include <lvgl9formats.h>
#include <lvgldecoder.h>
#include <referenceencoder.h>

#include <cstring>

using namespace Convert;

namespace FuzzHarness {

namespace {

struct Output
{
    const char *name;
    OutputFormat output;
    ColorFormat color;
    int binaryBytesPerPixel; // 0 for C arrays
};

const Output outputs[] = {
    {"C array, True color", CArray, TrueColor, 0},
    {"C array, True color with alpha", CArray, TrueColorAlpha, 0},
    {"C array, True color chroma keyed", CArray, TrueColorChromaKeyed, 0},
    {"C array, Indexed 256 colors", CArray, Indexed256, 0},
    {"Binary RGB332", BinaryRgb332, TrueColor, 2},
    {"Binary RGB565", BinaryRgb565, TrueColor, 3},
    {"Binary RGB565 Swap", BinaryRgb565Swap, TrueColor, 3},
    {"Binary RGB888", BinaryRgb888, TrueColor, 4},
};

constexpr int HeaderBytes = 7;

// The bytes after the name, read in order and round again from their start.
class CyclicReader
{
public:
    CyclicReader(const uchar *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    uchar next()
    {
        if (m_size == 0)
            return 0;
        const uchar byte = m_data[m_pos];
        m_pos = (m_pos + 1) % m_size;
        return byte;
    }

private:
    const uchar *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

bool isIndexed(QImage::Format format)
{
    return format == QImage::Format_Indexed8 || format == QImage::Format_Mono
        || format == QImage::Format_MonoLSB;
}

QString decodeName(const uchar *bytes, int length, NameEncoding encoding)
{
    const auto *chars = reinterpret_cast<const char *>(bytes);
    switch (encoding) {
    case NameEncoding::Utf8:
        return QString::fromUtf8(chars, length);
    case NameEncoding::Utf16: {
        QString name;
        for (int i = 0; i + 1 < length; i += 2)
            name.append(QChar(ushort(bytes[i] | bytes[i + 1] << 8)));
        return name;
    }
    case NameEncoding::Latin1:
        return QString::fromLatin1(chars, length);
    case NameEncoding::None:
        break;
    }
    return QString();
}

QString describe(const Case &fuzzCase)
{
    const QImage &image = fuzzCase.image;
    return QStringLiteral("%1 x %2, format %3, %4 colours, name \"%5\" (%6 UTF-16 units)")
        .arg(image.width())
        .arg(image.height())
        .arg(int(image.format()))
        .arg(image.colorCount())
        .arg(fuzzCase.name.toHtmlEscaped())
        .arg(fuzzCase.name.size());
}

// Where two outputs first differ, with a little context from both.
QString firstDifference(const QByteArray &actual, const QByteArray &expected)
{
    int i = 0;
    const int common = qMin(actual.size(), expected.size());
    while (i < common && actual.at(i) == expected.at(i))
        ++i;
    const int from = qMax(0, i - 24);
    return QStringLiteral("sizes %1 and %2, first difference at byte %3:\n  engine    %4\n"
                          "  reference %5")
        .arg(actual.size())
        .arg(expected.size())
        .arg(i)
        .arg(QString::fromLatin1(actual.mid(from, 64).toPercentEncoding(" ,x")),
             QString::fromLatin1(expected.mid(from, 64).toPercentEncoding(" ,x")));
}

QString checkSymbol(const QString &name)
{
    const QString symbol = cSymbol(name);
    if (!symbolProblem(symbol).isEmpty() || !isCIdentifier(symbol))
        return QStringLiteral("cSymbol gave \"%1\", which is not acceptable: %2")
            .arg(symbol, symbolProblem(symbol));
    if (cSymbol(symbol) != symbol)
        return QStringLiteral("cSymbol is not idempotent: \"%1\" then \"%2\"")
            .arg(symbol, cSymbol(symbol));
    if (symbolProblem(name).isEmpty() != (symbol == name))
        return QStringLiteral("cSymbol gave \"%1\" for \"%2\", but symbolProblem says \"%3\"")
            .arg(symbol, name, symbolProblem(name));
    if (isCIdentifier(name) != (symbol == name))
        return QStringLiteral("isCIdentifier(\"%1\") disagrees with cSymbol, which gave \"%2\"")
            .arg(name, symbol);
    if (name.isEmpty() && symbol != QLatin1String("image"))
        return QStringLiteral("cSymbol gave \"%1\" for an empty name").arg(symbol);
    // Otherwise each code point outside A-Z, a-z, 0-9 and '_' becomes one
    // '_'; a result that then begins with a digit or '_' gets the prefix
    // "img_", and only a result that is still not acceptable gets '_'
    // appended.
    if (!name.isEmpty() && symbol != name) {
        QString replaced;
        for (const uint c : name.toUcs4()) {
            const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
                || (c >= '0' && c <= '9') || c == '_';
            replaced += keep ? QChar(c) : QLatin1Char('_');
        }
        const QChar first = replaced.at(0);
        if (first.isDigit() || first == QLatin1Char('_'))
            replaced.prepend(QLatin1String("img_"));
        const QString suffix = symbol.mid(replaced.size());
        if (!symbol.startsWith(replaced) || suffix.count(QLatin1Char('_')) != suffix.size())
            return QStringLiteral("cSymbol gave \"%1\" for \"%2\", which is not the name with "
                                  "its other characters replaced, a prefix and a suffix")
                .arg(symbol, name);
        if (!suffix.isEmpty() && isCIdentifier(replaced))
            return QStringLiteral("cSymbol gave \"%1\" for \"%2\", but \"%3\" was acceptable")
                .arg(symbol, name, replaced);
    }
    const QString pathSymbol = cSymbolForPath(name + QLatin1String(".c"));
    if (!isCIdentifier(pathSymbol))
        return QStringLiteral("cSymbolForPath gave \"%1\", which is not acceptable: %2")
            .arg(pathSymbol, symbolProblem(pathSymbol));
    return QString();
}

QString checkOutput(const Case &fuzzCase, const Output &output, const QString &symbol)
{
    const QImage &image = fuzzCase.image;
    // A failed encode must leave nothing behind, so start from stale bytes.
    QByteArray bytes("stale");
    const ConvertResult result =
        encodeImage(image, output.output, output.color, fuzzCase.name, &bytes);
    const QString where = QLatin1String(output.name) + QLatin1String(": ");

    if (image.isNull()) {
        if (result.status() != ConvertResult::NotDecodable || !bytes.isEmpty())
            return where
                + QStringLiteral("a null image gave status %1 and %2 bytes")
                      .arg(int(result.status()))
                      .arg(bytes.size());
        return QString();
    }
    if (image.width() > MaxImageSide || image.height() > MaxImageSide) {
        if (result.status() != ConvertResult::TooLarge || !bytes.isEmpty()
            || result.imageSize() != image.size())
            return where
                + QStringLiteral("an oversized image gave status %1, size %2 x %3 and %4 bytes")
                      .arg(int(result.status()))
                      .arg(result.imageSize().width())
                      .arg(result.imageSize().height())
                      .arg(bytes.size());
        return QString();
    }
    if (!result.ok())
        return where + QStringLiteral("failed: ") + result.message();

    if (output.binaryBytesPerPixel > 0) {
        const qint64 expectedSize =
            4 + qint64(image.width()) * image.height() * output.binaryBytesPerPixel;
        if (bytes.size() != expectedSize)
            return where
                + QStringLiteral("%1 bytes instead of %2").arg(bytes.size()).arg(expectedSize);
    }
    const QByteArray expected = referenceEncode(image, output.output, output.color, symbol);
    if (bytes != expected)
        return where + QStringLiteral("differs from the reference, ")
            + firstDifference(bytes, expected);
    return QString();
}

// Every v8 and v9 format (but RAW, which needs a file), C array and .bin,
// with dithering, stride alignment and compression chosen from the case:
// the engine must encode it, and the independent decoder must read each
// result back as a consistent image of the same size.
QString checkEveryFormat(const Case &fuzzCase)
{
    const QImage &image = fuzzCase.image;
    if (image.isNull())
        return QString();
    const int w = image.width();
    const int h = image.height();
    SourceImage source;
    source.image = image;
    const bool dither = (w + h) % 2 != 0;
    const int align = 1 << ((w * 3 + h) % 4);
    const auto compression = Lvgl9::Compression((w + 2 * h) % 3);

    const auto verify = [&](const OutputPlan &outSpec, const char *name) -> QString {
        QByteArray bytes;
        const ConvertResult result = encodeSource(source, outSpec, fuzzCase.name, &bytes);
        const QString where = QLatin1String(name)
            + (outSpec.binary ? QLatin1String(" .bin: ") : QLatin1String(" C: "));
        if (outSpec.lvgl() == 8 && (w > MaxImageSide || h > MaxImageSide)) {
            if (result.status() != ConvertResult::TooLarge || !bytes.isEmpty())
                return where + QStringLiteral("an oversized image was not refused");
            return QString();
        }
        if (!result.ok())
            return where + QStringLiteral("failed: ") + result.message();
        const LvglDecodeResult decoded = outSpec.binary ? decodeLvglBinary(bytes, DeviceSettings())
                                                        : decodeLvglSource(bytes, DeviceSettings());
        if (!decoded.ok())
            return where + QStringLiteral("the decoder refuses it: ") + decoded.error;
        if (decoded.info.width != w || decoded.info.height != h
            || decoded.image.size() != QSize(w, h))
            return where
                + QStringLiteral("read back as %1 x %2")
                      .arg(decoded.info.width)
                      .arg(decoded.info.height);
        return QString();
    };

    for (int i = 0; i < Lvgl8::formatCount(); ++i) {
        const Lvgl8::Format &format = Lvgl8::formats()[i];
        if (format.layout == Lvgl8::Layout::Raw)
            continue;
        OutputPlan outSpec;
        outSpec.row = &format;
        outSpec.dither = dither;
        QString failure = verify(outSpec, format.name);
        outSpec.binary = true;
        for (int d = 0; failure.isEmpty() && d < ColorDepthCount; ++d) {
            outSpec.depth = ColorDepth(d);
            if (format.sections && !(format.sections & depthBit(outSpec.depth)))
                continue;
            failure = verify(outSpec, format.name);
            if (!format.sections)
                break;
        }
        if (!failure.isEmpty())
            return failure;
    }
    for (int i = 0; i < Lvgl9::formatCount(); ++i) {
        const Lvgl9::Format &format = Lvgl9::formats()[i];
        if (format.layout == Lvgl9::Layout::Raw)
            continue;
        OutputPlan outSpec;
        outSpec.row = &format;
        outSpec.dither = dither;
        outSpec.strideAlign = align;
        outSpec.compression = compression;
        QString failure = verify(outSpec, format.name);
        if (failure.isEmpty() && (format.plainBinary || compression != Lvgl9::Compression::None)) {
            outSpec.binary = true;
            failure = verify(outSpec, format.name);
        }
        if (!failure.isEmpty())
            return failure;
    }
    return QString();
}

QtMessageHandler previousHandler = nullptr;

void filterMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("out of range")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

Case decode(const uchar *data, size_t size)
{
    uchar header[HeaderBytes] = {};
    std::memcpy(header, data, qMin(size, size_t(HeaderBytes)));
    const size_t bodySize = size > HeaderBytes ? size - HeaderBytes : 0;
    const uchar *body = data + (size - bodySize);

    int width;
    int height;
    switch (header[0] & 3) {
    case 2:
        width = 2040 + header[1] % 21;
        height = 1 + header[2] % 2;
        break;
    case 3:
        width = 1 + header[1] % 2;
        height = 2040 + header[2] % 21;
        break;
    default:
        width = header[1] % (MaxSmallSide + 1);
        height = header[2] % (MaxSmallSide + 1);
        break;
    }
    const auto encoding = NameEncoding((header[0] >> 2) & 3);
    const bool setColorTable = header[0] & 0x10;
    const auto format = QImage::Format(header[3] % QImage::NImageFormats);
    const int colorCount = (header[4] | header[5] << 8) % (MaxColorTable + 1);
    const int nameLength = int(qMin(size_t(header[6] % (MaxNameBytes + 1)), bodySize));

    Case fuzzCase;
    fuzzCase.name = decodeName(body, nameLength, encoding);

    CyclicReader reader(body + nameLength, bodySize - size_t(nameLength));
    QImage image(width, height, format);
    if (!image.isNull()) {
        if (setColorTable && isIndexed(format)) {
            QVector<QRgb> table(colorCount);
            for (QRgb &entry : table) {
                entry = 0;
                for (int i = 0; i < 4; ++i)
                    entry = entry << 8 | reader.next();
            }
            image.setColorTable(table);
        }
        for (int y = 0; y < image.height(); ++y) {
            uchar *line = image.scanLine(y);
            for (qsizetype i = 0; i < image.bytesPerLine(); ++i)
                line[i] = reader.next();
        }
    }
    fuzzCase.image = image;
    return fuzzCase;
}

QByteArray makeInput(int width, int height, QImage::Format format, const QByteArray &pixelBytes,
                     NameEncoding encoding, const QByteArray &nameBytes,
                     const QVector<QRgb> *colorTable)
{
    uchar header[HeaderBytes] = {};
    if (width >= 0 && width <= MaxSmallSide && height >= 0 && height <= MaxSmallSide) {
        header[0] = 0;
        header[1] = uchar(width);
        header[2] = uchar(height);
    } else if (width >= 2040 && width <= 2060 && height >= 1 && height <= 2) {
        header[0] = 2;
        header[1] = uchar(width - 2040);
        header[2] = uchar(height - 1);
    } else if (width >= 1 && width <= 2 && height >= 2040 && height <= 2060) {
        header[0] = 3;
        header[1] = uchar(width - 1);
        header[2] = uchar(height - 2040);
    } else {
        return QByteArray();
    }
    if (nameBytes.size() > MaxNameBytes || (colorTable && colorTable->size() > MaxColorTable))
        return QByteArray();

    header[0] |= uchar(int(encoding) << 2);
    if (colorTable)
        header[0] |= 0x10;
    header[3] = uchar(format);
    const int colorCount = colorTable ? colorTable->size() : 0;
    header[4] = uchar(colorCount & 0xff);
    header[5] = uchar(colorCount >> 8);
    header[6] = uchar(nameBytes.size());

    QByteArray input(reinterpret_cast<const char *>(header), HeaderBytes);
    input += nameBytes;
    if (colorTable && isIndexed(format)) {
        for (const QRgb entry : *colorTable) {
            for (int shift = 24; shift >= 0; shift -= 8)
                input += char(entry >> shift);
        }
    }
    input += pixelBytes;
    return input;
}

QString check(const Case &fuzzCase)
{
    QString failure = checkSymbol(fuzzCase.name);
    const QString symbol = cSymbol(fuzzCase.name);
    for (const Output &output : outputs) {
        if (!failure.isEmpty())
            break;
        failure = checkOutput(fuzzCase, output, symbol);
    }
    if (failure.isEmpty())
        failure = checkEveryFormat(fuzzCase);
    if (failure.isEmpty())
        return failure;
    return describe(fuzzCase) + QLatin1String(": ") + failure;
}

ScopedMessageFilter::ScopedMessageFilter()
    : m_previous(qInstallMessageHandler(filterMessage))
{
    previousHandler = m_previous;
}

ScopedMessageFilter::~ScopedMessageFilter()
{
    qInstallMessageHandler(m_previous);
    previousHandler = nullptr;
}

} // namespace FuzzHarness
