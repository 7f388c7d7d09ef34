#include "imagekinds.h"

#include "bmpheader.h"
#include "gifdecode.h"
#include "jpegheader.h"
#include "pngheader.h"
#include "svgdecode.h"
#include "webpdecode.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Convert {

namespace {

const ImageKindRow Rows[] = {
    {ImageKind::Png,
     "PNG",
     {"png", nullptr},
     Reading::sniffPng,
     Reading::readPngHeader,
     "png",
     true,
     Reading::decodePng,
     Reading::checkEmbeddedPng,
     false},
    {ImageKind::Jpeg,
     "JPEG",
     {"jpg", "jpeg", nullptr},
     Reading::sniffJpeg,
     Reading::readJpegHeader,
     "jpeg",
     true,
     Reading::decodeJpeg,
     Reading::checkEmbeddedJpeg,
     false},
    {ImageKind::Bmp,
     "BMP",
     {"bmp", nullptr},
     Reading::sniffBmp,
     Reading::readBmpHeader,
     "bmp",
     true,
     Reading::decodeBmp,
     nullptr,
     false},
    // Decoded by libwebp and giflib rather than by Qt, and not opened by the
    // window.
    {ImageKind::Webp,
     "WebP",
     {"webp", nullptr},
     Reading::sniffWebp,
     Reading::readWebpHeader,
     nullptr,
     false,
     Reading::decodeWebp,
     nullptr,
     false},
    {ImageKind::Gif,
     "GIF",
     {"gif", nullptr},
     Reading::sniffGif,
     Reading::readGifHeader,
     nullptr,
     false,
     Reading::decodeGif,
     Reading::checkEmbeddedGif,
     false},
    // No Qt handler: librsvg renders it, in a process of its own.
    {ImageKind::Svg,
     "SVG",
     {"svg", nullptr},
     Reading::sniffSvg,
     Reading::readSvgHeader,
     "",
     false,
     Reading::decodeSvg,
     nullptr,
     true},
};

constexpr int RowCount = int(sizeof Rows / sizeof Rows[0]);

} // namespace

const ImageKindRow *imageKindRows(int *count)
{
    *count = RowCount;
    return Rows;
}

const ImageKindRow *imageKindRow(ImageKind kind)
{
    for (const ImageKindRow &row : Rows) {
        if (row.kind == kind)
            return &row;
    }
    return nullptr;
}

QByteArray readerFormat(ImageKind kind)
{
    const ImageKindRow *row = imageKindRow(kind);
    return row ? QByteArray(row->readerFormat) : QByteArray();
}

QStringList imageSuffixes(bool windowOnly)
{
    std::vector<const ImageKindRow *> rows;
    for (const ImageKindRow &row : Rows) {
        if (row.window || !windowOnly)
            rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(), [](const ImageKindRow *a, const ImageKindRow *b) {
        return std::strcmp(a->name, b->name) < 0;
    });
    QStringList suffixes;
    for (const ImageKindRow *row : rows) {
        for (const char *const *suffix = row->suffixes; *suffix; ++suffix)
            suffixes.append(QLatin1String(*suffix));
    }
    return suffixes;
}

bool hasImageSuffix(const QString &fileName, bool windowOnly)
{
    const QString suffix = QFileInfo(fileName).suffix();
    for (const ImageKindRow &row : Rows) {
        if (!row.window && windowOnly)
            continue;
        for (const char *const *known = row.suffixes; *known; ++known) {
            if (suffix.compare(QLatin1String(*known), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

QStringList imageKindNames(bool windowOnly)
{
    QStringList names;
    for (const ImageKindRow &row : Rows) {
        if (row.window || !windowOnly)
            names.append(QLatin1String(row.name));
    }
    return names;
}

QString joinedList(const QStringList &items, const QString &separator, const QString &lastSeparator)
{
    if (items.size() < 2)
        return items.join(separator);
    return items.mid(0, items.size() - 1).join(separator) + lastSeparator + items.last();
}

} // namespace Convert
