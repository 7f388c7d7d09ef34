#include "svgdecode.h"

#include <cmath>
#include <cstring>

namespace Convert {
namespace Reading {

namespace {

// The root's start tag may be long (namespace declarations, styles in an
// attribute), but not longer than this.
constexpr int MaxRootTagBytes = 64 * 1024;
// A declared side past this is refused by the budget anyway; the cap keeps
// the arithmetic in range.
constexpr double MaxSide = double(1 << 24);

bool isXmlSpace(uchar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool startsWith(const uchar *p, int size, int pos, const char *text)
{
    const int n = int(std::strlen(text));
    return size - pos >= n && std::memcmp(p + pos, text, size_t(n)) == 0;
}

// The offset just past the first occurrence of text at or after pos, or -1.
int skipPast(const uchar *p, int size, int pos, const char *text)
{
    const int n = int(std::strlen(text));
    for (int i = pos; i + n <= size; ++i) {
        if (std::memcmp(p + i, text, size_t(n)) == 0)
            return i + n;
    }
    return -1;
}

// The offset just past a <!DOCTYPE ...> that starts at pos: quoted
// identifiers and a bracketed internal subset (with its own quoted
// literals and comments) may hold '>'. -1 if it does not end in size.
int skipDoctype(const uchar *p, int size, int pos)
{
    bool inSubset = false;
    for (int i = pos; i < size; ++i) {
        const uchar c = p[i];
        if (c == '"' || c == '\'') {
            const void *end = std::memchr(p + i + 1, c, size_t(size - i - 1));
            if (!end)
                return -1;
            i = int(static_cast<const uchar *>(end) - p);
        } else if (inSubset && startsWith(p, size, i, "<!--")) {
            i = skipPast(p, size, i + 4, "-->");
            if (i < 0)
                return -1;
            --i;
        } else if (c == '[') {
            inSubset = true;
        } else if (c == ']') {
            inSubset = false;
        } else if (c == '>' && !inSubset) {
            return i + 1;
        }
    }
    return -1;
}

// The offset of the root's "<svg" in head, after the prologue; -1 when the
// prologue holds anything else, names another root, or does not end in
// size.
int svgRootOffset(const uchar *p, int size)
{
    int pos = startsWith(p, size, 0, "\xef\xbb\xbf") ? 3 : 0;
    bool sawDoctype = false;
    while (pos < size) {
        if (isXmlSpace(p[pos])) {
            ++pos;
        } else if (startsWith(p, size, pos, "<?")) {
            pos = skipPast(p, size, pos + 2, "?>");
        } else if (startsWith(p, size, pos, "<!--")) {
            pos = skipPast(p, size, pos + 4, "-->");
        } else if (!sawDoctype && startsWith(p, size, pos, "<!DOCTYPE")) {
            const int name = pos + 9;
            if (name >= size || !isXmlSpace(p[name]))
                return -1;
            int at = name;
            while (at < size && isXmlSpace(p[at]))
                ++at;
            if (!startsWith(p, size, at, "svg") || at + 3 >= size
                || !(isXmlSpace(p[at + 3]) || p[at + 3] == '>' || p[at + 3] == '['))
                return -1;
            pos = skipDoctype(p, size, at + 3);
            sawDoctype = true;
        } else if (startsWith(p, size, pos, "<svg")) {
            if (pos + 4 >= size)
                return -1;
            const uchar next = p[pos + 4];
            return isXmlSpace(next) || next == '>' || next == '/' ? pos : -1;
        } else {
            return -1;
        }
        if (pos < 0)
            return -1;
    }
    return -1;
}

// The value of attribute name in a start tag, as written: an entity
// reference in a size attribute makes it unreadable as a length, so that
// side counts as absent. *found is false when the tag has no such
// attribute; false is returned when the tag is not well-formed.
bool attribute(const QByteArray &tag, const char *name, QByteArray *value, bool *found)
{
    *found = false;
    const auto *p = reinterpret_cast<const uchar *>(tag.constData());
    const int size = tag.size();
    int pos = 4; // past "<svg"
    for (;;) {
        const int before = pos;
        while (pos < size && isXmlSpace(p[pos]))
            ++pos;
        if (pos >= size)
            return false;
        if (p[pos] == '>' || (p[pos] == '/' && pos + 1 < size && p[pos + 1] == '>'))
            return true;
        if (pos == before)
            return false; // attributes are separated by white space
        const int nameStart = pos;
        while (pos < size && !isXmlSpace(p[pos]) && p[pos] != '=' && p[pos] != '>' && p[pos] != '/')
            ++pos;
        const QByteArray attributeName = tag.mid(nameStart, pos - nameStart);
        while (pos < size && isXmlSpace(p[pos]))
            ++pos;
        if (attributeName.isEmpty() || pos >= size || p[pos] != '=')
            return false;
        ++pos;
        while (pos < size && isXmlSpace(p[pos]))
            ++pos;
        if (pos >= size || (p[pos] != '"' && p[pos] != '\''))
            return false;
        const uchar quote = p[pos++];
        const int valueStart = pos;
        while (pos < size && p[pos] != quote)
            ++pos;
        if (pos >= size)
            return false;
        if (attributeName == name) {
            *value = tag.mid(valueStart, pos - valueStart);
            *found = true;
        }
        ++pos;
    }
}

// The number at the start of text (CSS's <number>), its length in *used;
// false if there is none.
bool leadingNumber(const QByteArray &text, double *number, int *used)
{
    int pos = 0;
    const int size = text.size();
    const auto digitAt = [&](int i) { return i < size && text[i] >= '0' && text[i] <= '9'; };
    if (pos < size && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const int mantissa = pos;
    while (digitAt(pos))
        ++pos;
    if (pos < size && text[pos] == '.' && digitAt(pos + 1)) {
        ++pos;
        while (digitAt(pos))
            ++pos;
    }
    if (pos == mantissa)
        return false;
    if (pos < size && (text[pos] == 'e' || text[pos] == 'E')) {
        int exponent = pos + 1;
        if (exponent < size && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (digitAt(exponent)) {
            pos = exponent;
            while (digitAt(pos))
                ++pos;
        }
    }
    bool ok = false;
    *number = text.left(pos).toDouble(&ok); // in the C locale
    *used = pos;
    return ok && std::isfinite(*number);
}

// A length in CSS pixels; false for a relative or unreadable one.
bool absoluteLength(const QByteArray &value, double *pixels)
{
    const QByteArray text = value.trimmed();
    double number = 0;
    int used = 0;
    if (!leadingNumber(text, &number, &used))
        return false;
    const QByteArray unit = text.mid(used).toLower();
    static const struct
    {
        const char *unit;
        double pixels;
    } units[] = {{"", 1.0},           {"px", 1.0},         {"in", 96.0},        {"cm", 96.0 / 2.54},
                 {"mm", 96.0 / 25.4}, {"q", 96.0 / 101.6}, {"pt", 96.0 / 72.0}, {"pc", 16.0}};
    for (const auto &known : units) {
        if (unit == known.unit) {
            *pixels = number * known.pixels;
            return true;
        }
    }
    return false;
}

// The viewBox's width and height; false unless it is four numbers with a
// positive width and height.
bool viewBoxSize(const QByteArray &value, QSizeF *size)
{
    QByteArray text = value;
    text.replace(',', ' ');
    const QList<QByteArray> parts = text.simplified().split(' ');
    if (parts.size() != 4)
        return false;
    double numbers[4];
    for (int i = 0; i < 4; ++i) {
        int used = 0;
        if (!leadingNumber(parts[i], &numbers[i], &used) || used != parts[i].size())
            return false;
    }
    if (numbers[2] <= 0 || numbers[3] <= 0)
        return false;
    *size = QSizeF(numbers[2], numbers[3]);
    return true;
}

} // namespace

bool sniffSvg(const uchar *head, int size)
{
    return svgRootOffset(head, size) >= 0;
}

QSizeF svgDeclaredSize(const QByteArray &rootTag, QString *detail, bool *wellFormed)
{
    *wellFormed = true;
    QByteArray width;
    QByteArray height;
    QByteArray viewBox;
    bool hasWidth = false;
    bool hasHeight = false;
    bool hasViewBox = false;
    if (!attribute(rootTag, "width", &width, &hasWidth)
        || !attribute(rootTag, "height", &height, &hasHeight)
        || !attribute(rootTag, "viewBox", &viewBox, &hasViewBox)) {
        *detail = QStringLiteral("the SVG's root element is not well-formed");
        *wellFormed = false;
        return QSizeF();
    }
    double w = 0;
    double h = 0;
    hasWidth = hasWidth && absoluteLength(width, &w);
    hasHeight = hasHeight && absoluteLength(height, &h);
    if ((hasWidth && w <= 0) || (hasHeight && h <= 0)) {
        *detail = QStringLiteral("the SVG's width or height is zero or negative");
        return QSizeF();
    }
    QSizeF box;
    hasViewBox = hasViewBox && viewBoxSize(viewBox, &box);
    if (hasWidth && hasHeight)
        return QSizeF(w, h);
    if (hasViewBox) {
        if (hasWidth)
            return QSizeF(w, w * box.height() / box.width());
        if (hasHeight)
            return QSizeF(h * box.width() / box.height(), h);
        return box;
    }
    *detail = hasWidth || hasHeight
        ? QStringLiteral("the SVG has no %1 and no viewBox")
              .arg(hasWidth ? QLatin1String("height") : QLatin1String("width"))
        : QStringLiteral("the SVG has no width, height or viewBox");
    return QSizeF();
}

HeaderStatus readSvgHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    uchar head[SniffHeadBytes];
    const int count = in.read(0, SniffHeadBytes, head);
    if (count < 0)
        return HeaderStatus::ReadError;
    const int root = svgRootOffset(head, count);
    if (root < 0)
        return HeaderStatus::NotAnImage;

    // The start tag, up to its '>' outside quoted values.
    QByteArray tag;
    uchar quote = 0;
    uchar chunk[HeaderReader::WindowSize];
    for (qint64 offset = root;;) {
        const int n = in.read(offset, HeaderReader::WindowSize, chunk);
        if (n <= 0)
            return cutShort(in, detail, "SVG");
        for (int i = 0; i < n; ++i) {
            const uchar c = chunk[i];
            if (quote) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                tag.append(reinterpret_cast<const char *>(chunk), i + 1);
                bool wellFormed = true;
                const QSizeF size = svgDeclaredSize(tag, detail, &wellFormed);
                if (size.isEmpty())
                    return wellFormed ? HeaderStatus::NotDecodable : HeaderStatus::Corrupt;
                const auto pixels = [](double side) {
                    return int(std::ceil(qMin(side, MaxSide) - 1e-3));
                };
                probe->size = QSize(qMax(1, pixels(size.width())), qMax(1, pixels(size.height())));
                probe->decodedBytesPerPixel = 4;
                return HeaderStatus::Ok;
            }
        }
        tag.append(reinterpret_cast<const char *>(chunk), n);
        offset += n;
        if (tag.size() > MaxRootTagBytes) {
            *detail = QStringLiteral("the SVG's root element is longer than %1 KiB")
                          .arg(MaxRootTagBytes / 1024);
            return HeaderStatus::Corrupt;
        }
    }
}

} // namespace Reading
} // namespace Convert
