#include "lvgldecoder.h"

#include "filepath.h"
#include "imagesource.h"
#include "lvgldecoding.h"

#include <QFileInfo>

#include <cstring>
#include <vector>

namespace Convert {

using namespace Decoder;

namespace {

// A .bin from its first bytes (head) and its length. needsData: the header
// and the length agree, and the result waits for the whole file.
LvglDecodeResult decodeBinary(const QByteArray &head, qint64 size, const DeviceSettings &device,
                              LvglVersion version, bool *needsData)
{
    *needsData = false;
    Decoding decoding(device, false);
    const auto *d = reinterpret_cast<const uchar *>(head.constData());
    if (size == 0 || head.isEmpty()) {
        decoding.fail(QStringLiteral("the file is empty"));
        return decoding.take();
    }
    if (version == LvglVersion::Detect)
        version = d[0] == V9Magic ? LvglVersion::V9 : LvglVersion::V8;

    // The data after the header, without a copy.
    const auto after = [&head](int header) {
        return QByteArray::fromRawData(head.constData() + header, head.size() - header);
    };
    Header header;
    if (version == LvglVersion::V8) {
        header.version = 8;
        decoding.info().version = 8;
        if (size < 4 || head.size() < 4) {
            decoding.fail(
                QStringLiteral("the file ends inside its 4-byte header (%1 bytes)").arg(size));
            return decoding.take();
        }
        const quint32 word = le32(d);
        header.cf = int(word & 31);
        header.flags = int((word >> 5) & 31);
        header.width = int((word >> 10) & 0x7ff);
        header.height = int(word >> 21);
        if (decoding.readHeader(header))
            decoding.decodeV8(after(4), size - 4, -1);
    } else {
        header.version = 9;
        decoding.info().version = 9;
        if (size < 12 || head.size() < 12) {
            decoding.fail(
                QStringLiteral("the file ends inside its 12-byte header (%1 bytes)").arg(size));
            return decoding.take();
        }
        header.cf = d[1];
        header.flags = le16(d + 2);
        header.width = le16(d + 4);
        header.height = le16(d + 6);
        header.stride = le16(d + 8);
        if (d[0] != V9Magic)
            decoding.fail(QStringLiteral("the magic byte is 0x%1; a v9 image starts with 0x19")
                              .arg(d[0], 2, 16, QLatin1Char('0')));
        if (!decoding.readHeader(header) || d[0] != V9Magic)
            return decoding.take();
        if (le16(d + 10) != 0)
            decoding.warn(QStringLiteral("the header's reserved bytes are not 0"));
        decoding.decodeV9(after(12), size - 12, -1);
    }
    *needsData = decoding.needsData();
    const std::vector<bool> keyed = decoding.keyed();
    LvglDecodeResult result = decoding.take();
    const LvglImageInfo &i = result.info;
    if (result.ok() && !keyed.empty() && (i.depth == 8 || i.depth == 16)) {
        const qint64 count = countOf(keyed);
        if (count > 0)
            result.info.warnings << keyWarning(i.depth, i.swap, count, device.chromaKey, false);
    }
    return result;
}

} // namespace

LvglDecodeResult decodeLvglBinary(const QByteArray &file, const DeviceSettings &device,
                                  LvglVersion version)
{
    bool needsData = false;
    return decodeBinary(file, file.size(), device, version, &needsData);
}

bool looksLikeCSource(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(4096);
    // Text has no control characters but white space.
    for (const char c : head) {
        const uchar u = uchar(c);
        if ((u < 0x20 && !std::strchr("\t\r\n\f\v", c)) || u == 0x7f || u == 0)
            return false;
    }
    int at = head.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (at < head.size() && std::strchr(" \t\r\n\f\v", head.at(at)))
        ++at;
    if (at >= head.size())
        return false;
    const char c = head.at(at);
    return c == '/' || c == '#' || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

LvglDecodeResult decodeLvglFile(const QByteArray &bytes, const DeviceSettings &device,
                                LvglVersion version)
{
    return looksLikeCSource(bytes) ? decodeLvglSource(bytes, device, version)
                                   : decodeLvglBinary(bytes, device, version);
}

namespace {

enum class NamedKind { Binary, Source, ByContent };

NamedKind kindByName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bin"))
        return NamedKind::Binary;
    for (const char *source : {"c", "h", "cpp", "cc", "inc"}) {
        if (suffix == QLatin1String(source))
            return NamedKind::Source;
    }
    return NamedKind::ByContent;
}

// A file named .bin that does not read as one, and is C text.
LvglDecodeResult checkedBinary(LvglDecodeResult result, const QByteArray &head)
{
    if (result.ok() || !looksLikeCSource(head))
        return result;
    LvglDecodeResult source;
    source.error = QStringLiteral("this is C source, not a binary image");
    return source;
}

// The first bytes of a file: enough to tell C text from a .bin and to hold
// every header.
constexpr qint64 HeadBytes = 4096;

} // namespace

LvglDecodeResult decodeLvglFileNamed(const QString &path, const QByteArray &bytes,
                                     const DeviceSettings &device, LvglVersion version)
{
    switch (kindByName(path)) {
    case NamedKind::Binary:
        return checkedBinary(decodeLvglBinary(bytes, device, version), bytes);
    case NamedKind::Source:
        return decodeLvglSource(bytes, device, version);
    case NamedKind::ByContent:
        break;
    }
    return decodeLvglFile(bytes, device, version);
}

ConvertResult readLvglFile(const QString &path, QByteArray *bytes)
{
    return readRegularFile(path, MaxLvglFileBytes, bytes);
}

LvglDecodeResult readLvglImage(const QString &path, const DeviceSettings &device,
                               LvglVersion version, ConvertResult *read)
{
    QByteArray head;
    qint64 size = 0;
    *read = readRegularFileHead(path, HeadBytes, &head, &size);
    if (!read->ok())
        return LvglDecodeResult();
    const NamedKind kind = kindByName(path);
    if (size > head.size()
        && (kind == NamedKind::Binary
            || (kind == NamedKind::ByContent && !looksLikeCSource(head)))) {
        // A .bin is judged from its header and its length before its data
        // is read.
        bool needsData = false;
        const LvglDecodeResult judged = decodeBinary(head, size, device, version, &needsData);
        if (!needsData)
            return kind == NamedKind::Binary ? checkedBinary(judged, head) : judged;
    }
    QByteArray bytes;
    if (size <= head.size()) {
        bytes = head;
    } else {
        *read = readLvglFile(path, &bytes);
        if (!read->ok())
            return LvglDecodeResult();
    }
    return decodeLvglFileNamed(path, bytes, device, version);
}

} // namespace Convert
