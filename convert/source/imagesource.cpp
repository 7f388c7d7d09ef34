#include "imagesource.h"

#include "filepath.h"
#include "formats.h"

#include <QIODevice>
#include <QImageReader>
#include <QMessageLogContext>
#include <QVarLengthArray>

#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif
#else
#include <QFile>
#endif

namespace Convert {

namespace {

// A source larger than this is not read at all. The largest file that fits
// the decoding budget (formats.h) without extra data is an uncompressed BMP
// or a stored 16-bit PNG of 256 MiB of pixels plus a few headers, so only a
// file that carries hundreds of megabytes of something else is refused.
constexpr qint64 MaxSourceBytes = qint64(512) << 20;

quint16 be16(const uchar *p)
{
    return quint16((p[0] << 8) | p[1]);
}

quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

// ---------------------------------------------------------------------------
// Reading a source's bytes at an offset

// The bytes of a source: a file read with pread, or data already in memory.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // Copies up to length bytes at offset into out and returns how many it
    // copied, fewer only where the source ends; -1 if reading failed (error()
    // then holds errno).
    virtual qint64 readAt(qint64 offset, char *out, qint64 length) = 0;
    int error() const { return m_error; }

protected:
    int m_error = 0;
};

class MemorySource : public ByteSource
{
public:
    explicit MemorySource(const QByteArray &data)
        : m_data(data)
    {
    }

    qint64 readAt(qint64 offset, char *out, qint64 length) override
    {
        const qint64 count = qBound<qint64>(0, m_data.size() - offset, length);
        if (count > 0)
            std::memcpy(out, m_data.constData() + offset, size_t(count));
        return count;
    }

private:
    const QByteArray &m_data;
};

#ifdef Q_OS_UNIX
class FileSource : public ByteSource
{
public:
    explicit FileSource(int fd)
        : m_fd(fd)
    {
    }

    qint64 readAt(qint64 offset, char *out, qint64 length) override
    {
        qint64 done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(m_fd, out + done, size_t(length - done), off_t(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                m_error = errno;
                return -1;
            }
            if (n == 0)
                break;
            done += n;
        }
        return done;
    }

private:
    int m_fd;
};
#else
class FileSource : public ByteSource
{
public:
    explicit FileSource(QFile *file)
        : m_file(file)
    {
    }

    qint64 readAt(qint64 offset, char *out, qint64 length) override
    {
        if (!m_file->seek(offset))
            return 0;
        qint64 done = 0;
        while (done < length) {
            const qint64 n = m_file->read(out + done, length - done);
            if (n < 0) {
                m_error = EIO;
                return -1;
            }
            if (n == 0)
                break;
            done += n;
        }
        return done;
    }

private:
    QFile *m_file;
};
#endif

// Reads the small pieces a header is made of through one 4 KiB window, so a
// header costs one read, and a JPEG's segments cost one read each only where
// a segment is too long to fall in the window (its body is skipped unread).
class HeaderReader
{
public:
    static constexpr int WindowSize = 4096;

    explicit HeaderReader(ByteSource *source)
        : m_source(source)
    {
    }

    // Copies up to count (at most WindowSize) bytes at offset into out and
    // returns how many; -1 if reading failed.
    int read(qint64 offset, int count, uchar *out)
    {
        if (offset < m_start || offset + count > m_start + m_length) {
            const qint64 n = m_source->readAt(offset, m_window, WindowSize);
            if (n < 0) {
                m_failed = true;
                m_length = 0;
                return -1;
            }
            m_start = offset;
            m_length = int(n);
        }
        const int available = int(qBound(qint64(0), m_start + m_length - offset, qint64(count)));
        std::memcpy(out, m_window + (offset - m_start), size_t(available));
        return available;
    }

    // Whether all count bytes at offset were there.
    bool get(qint64 offset, int count, uchar *out) { return read(offset, count, out) == count; }

    bool failed() const { return m_failed; }
    int error() const { return m_source->error(); }

private:
    ByteSource *m_source;
    char m_window[WindowSize];
    qint64 m_start = 0;
    int m_length = 0;
    bool m_failed = false;
};

// ---------------------------------------------------------------------------
// Headers
//
// PNG: the 8-byte signature 89 50 4E 47 0D 0A 1A 0A, then chunks, each a
// big-endian u32 data length (at most 2^31 - 1), a 4-letter type, the data
// and a big-endian CRC-32 of type and data. IHDR must come first, with 13
// bytes of data: width u32, height u32 (each 1 .. 2^31 - 1), bit depth u8,
// colour type u8, compression u8 (0), filter method u8 (0), interlace u8
// (0 none, 1 Adam7).
//
// JPEG: FF D8 (SOI), then segments: FF (any number of FF fill bytes), a
// marker code and, except for the standalone markers SOI, TEM (01) and
// RST0..7 (D0..D7), a big-endian u16 length that counts itself but not the
// marker. The frame header SOFn (C0..CF except C4 DHT, C8 JPG and CC DAC)
// holds length u16, sample precision u8, height u16, width u16, component
// count u8. It must come before the first scan (DA) and the end (D9).
//
// BMP: a 14-byte file header ("BM", file size u32, reserved u32, pixel data
// offset u32, little-endian), then the DIB header, whose first u32 is its
// own size: 12 for BITMAPCOREHEADER (width u16, height u16, planes u16, bit
// count u16); 40, 52, 56, 64, 108 or 124 for the later ones (width i32,
// height i32, negative for rows stored top-down, planes u16, bit count u16,
// compression u32, ...).

const uchar PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};

// Bytes sniffImageKind needs to tell every kind apart (up to the BMP's DIB
// header size).
constexpr int SniffBytes = 18;

// Steps (segments or fill bytes) a JPEG may take before its frame header.
// A photo has a few dozen segments; an ICC profile split into the most
// segments the format allows adds 255.
constexpr int MaxJpegHeaderSteps = 65536;

bool plausibleDibSize(quint32 size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108
        || size == 124;
}

struct PngHeader
{
    quint32 width = 0;
    quint32 height = 0;
    int depth = 0;
    int colorType = 0;
    int compression = 0;
    int filter = 0;
    int interlace = 0;
};

// The 13 data bytes of IHDR.
PngHeader parsePngHeader(const uchar *p)
{
    PngHeader header;
    header.width = be32(p);
    header.height = be32(p + 4);
    header.depth = p[8];
    header.colorType = p[9];
    header.compression = p[10];
    header.filter = p[11];
    header.interlace = p[12];
    return header;
}

// Samples per pixel of a colour type, 0 for a type that does not exist.
int pngChannels(int colorType)
{
    switch (colorType) {
    case 0: // grey
    case 3: // palette index
        return 1;
    case 4: // grey and alpha
        return 2;
    case 2: // RGB
        return 3;
    case 6: // RGBA
        return 4;
    default:
        return 0;
    }
}

// What libpng's png_check_IHDR lets through: every legal pair of bit depth
// and colour type, compression and filter method 0, interlace 0 or 1.
bool validPngHeader(const PngHeader &h)
{
    if (h.width == 0 || h.height == 0 || h.width > 0x7fffffffu || h.height > 0x7fffffffu)
        return false;
    bool depthOk = false;
    switch (h.colorType) {
    case 0:
        depthOk = h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8 || h.depth == 16;
        break;
    case 3:
        depthOk = h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8;
        break;
    case 2:
    case 4:
    case 6:
        depthOk = h.depth == 8 || h.depth == 16;
        break;
    default:
        break;
    }
    return depthOk && h.compression == 0 && h.filter == 0 && (h.interlace == 0 || h.interlace == 1);
}

enum class HeaderStatus { Ok, NotAnImage, Corrupt, ReadError };

HeaderStatus cutShort(const HeaderReader &in, QString *detail, const char *kind)
{
    if (in.failed())
        return HeaderStatus::ReadError;
    *detail = QStringLiteral("the %1 header is cut short").arg(QLatin1String(kind));
    return HeaderStatus::Corrupt;
}

HeaderStatus readPngHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    // IHDR's length, type and data follow the signature.
    uchar chunk[21];
    if (!in.get(8, sizeof chunk, chunk))
        return cutShort(in, detail, "PNG");
    if (be32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0) {
        *detail = QStringLiteral("the PNG does not start with a 13-byte IHDR chunk");
        return HeaderStatus::Corrupt;
    }
    const PngHeader header = parsePngHeader(chunk + 8);
    if (!validPngHeader(header)) {
        *detail = QStringLiteral("the PNG header is invalid");
        return HeaderStatus::Corrupt;
    }
    probe->size = QSize(int(header.width), int(header.height));
    probe->decodedBytesPerPixel = header.depth == 16 ? 8 : 4;
    return HeaderStatus::Ok;
}

HeaderStatus readBmpHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    uchar size[4];
    if (!in.get(14, 4, size))
        return cutShort(in, detail, "BMP");
    int width;
    int height;
    if (le32(size) == 12) {
        uchar dims[4];
        if (!in.get(18, sizeof dims, dims))
            return cutShort(in, detail, "BMP");
        width = le16(dims);
        height = le16(dims + 2);
    } else {
        uchar dims[8];
        if (!in.get(18, sizeof dims, dims))
            return cutShort(in, detail, "BMP");
        width = qint32(le32(dims));
        const qint32 signedHeight = qint32(le32(dims + 4));
        if (signedHeight == INT_MIN) {
            *detail = QStringLiteral("the BMP header is invalid");
            return HeaderStatus::Corrupt;
        }
        height = signedHeight < 0 ? -signedHeight : signedHeight;
    }
    if (width <= 0 || height == 0) {
        *detail = QStringLiteral("the BMP header is invalid");
        return HeaderStatus::Corrupt;
    }
    probe->size = QSize(width, height);
    probe->decodedBytesPerPixel = 4;
    return HeaderStatus::Ok;
}

bool isJpegFrameMarker(uchar marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

HeaderStatus readJpegHeader(HeaderReader &in, ImageProbe *probe, QString *detail)
{
    const auto invalid = [detail](const char *why) {
        *detail = QLatin1String(why);
        return HeaderStatus::Corrupt;
    };
    qint64 pos = 2; // past SOI
    for (int step = 0; step < MaxJpegHeaderSteps; ++step) {
        uchar marker[2];
        if (!in.get(pos, 2, marker))
            return cutShort(in, detail, "JPEG");
        if (marker[0] != 0xff)
            return invalid("the JPEG has data between its segments");
        if (marker[1] == 0xff) { // a fill byte
            ++pos;
            continue;
        }
        const uchar code = marker[1];
        pos += 2;
        if (code == 0xd8 || code == 0x01 || (code >= 0xd0 && code <= 0xd7))
            continue; // no length follows
        if (code == 0xd9 || code == 0xda || code == 0x00)
            return invalid("the JPEG has no frame header before its image data");
        if (isJpegFrameMarker(code)) {
            uchar frame[8];
            if (!in.get(pos, sizeof frame, frame))
                return cutShort(in, detail, "JPEG");
            const int height = be16(frame + 3);
            const int width = be16(frame + 5);
            if (be16(frame) < 8 || width == 0 || height == 0)
                return invalid("the JPEG frame header is invalid");
            probe->size = QSize(width, height);
            probe->decodedBytesPerPixel = 4;
            return HeaderStatus::Ok;
        }
        uchar length[2];
        if (!in.get(pos, 2, length))
            return cutShort(in, detail, "JPEG");
        if (be16(length) < 2)
            return invalid("the JPEG has a segment of impossible length");
        pos += be16(length);
    }
    return invalid("the JPEG has no frame header in its first segments");
}

// Follows a whole JPEG without decoding it: every segment complete, a frame
// header before the first scan, each scan's entropy-coded data ending at
// a marker (0xFF followed by a byte other than 0x00 and RST0..7), and the
// end marker EOI at last. This is what a file embedded for the library's
// own decoder must hold; its pixels are that decoder's business.
QString checkJpegStructure(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    bool haveFrame = false;
    bool haveScan = false;
    qint64 pos = 2; // past SOI
    while (pos < size) {
        if (p[pos] != 0xff)
            return QStringLiteral("the JPEG has data between its segments");
        while (pos < size && p[pos] == 0xff) // fill bytes
            ++pos;
        if (pos == size)
            break;
        const uchar code = p[pos++];
        if (code == 0xd9)
            return haveScan ? QString() : QStringLiteral("the JPEG has no image data");
        if (code == 0x01 || (code >= 0xd0 && code <= 0xd7))
            continue;
        if (code == 0x00 || code == 0xd8)
            return QStringLiteral("the JPEG has a misplaced marker");
        if (size - pos < 2)
            break;
        const qint64 length = be16(p + pos);
        if (length < 2)
            return QStringLiteral("the JPEG has a segment of impossible length");
        if (size - pos < length)
            break;
        if (isJpegFrameMarker(code))
            haveFrame = true;
        pos += length;
        if (code != 0xda)
            continue;
        if (!haveFrame)
            return QStringLiteral("the JPEG has no frame header before its image data");
        haveScan = true;
        // The entropy-coded data: 0xFF 0x00 is a stuffed byte, 0xFF RSTn a
        // restart marker inside the scan.
        for (;;) {
            const void *next = std::memchr(p + pos, 0xff, size_t(size - pos));
            if (!next) {
                pos = size;
                break;
            }
            pos = static_cast<const uchar *>(next) - p;
            if (pos + 1 >= size) {
                pos = size;
                break;
            }
            const uchar after = p[pos + 1];
            if (after == 0x00 || (after >= 0xd0 && after <= 0xd7) || after == 0xff) {
                pos += after == 0xff ? 1 : 2;
                continue;
            }
            break; // the next marker
        }
    }
    return QStringLiteral("the data ends early");
}

HeaderStatus readHeader(ByteSource *source, ImageProbe *probe, QString *detail)
{
    HeaderReader in(source);
    uchar head[SniffBytes];
    const int count = in.read(0, SniffBytes, head);
    if (count < 0)
        return HeaderStatus::ReadError;
    probe->kind =
        sniffImageKind(QByteArray::fromRawData(reinterpret_cast<const char *>(head), count));
    switch (probe->kind) {
    case ImageKind::Png:
        return readPngHeader(in, probe, detail);
    case ImageKind::Jpeg:
        return readJpegHeader(in, probe, detail);
    case ImageKind::Bmp:
        return readBmpHeader(in, probe, detail);
    case ImageKind::Unknown:
        break;
    }
    return HeaderStatus::NotAnImage;
}

ConvertResult headerResult(HeaderStatus status, const QString &path, const QString &detail,
                           int error)
{
    switch (status) {
    case HeaderStatus::Ok:
        break;
    case HeaderStatus::NotAnImage:
        return ConvertResult::notAnImage(path);
    case HeaderStatus::Corrupt:
        return ConvertResult::corrupt(path, detail);
    case HeaderStatus::ReadError:
        return ConvertResult::readFailed(path, errnoText(error));
    }
    return ConvertResult::success();
}

// The output's side limit first, then the decoding budget, both from the
// header alone.
ConvertResult checkLimits(const ImageProbe &probe, const QString &path, int maxSide)
{
    if (maxSide > 0 && (probe.size.width() > maxSide || probe.size.height() > maxSide))
        return ConvertResult::tooLarge(path, probe.size).withSideLimit(maxSide);
    if (!withinDecodeBudget(probe))
        return ConvertResult::overBudget(path, probe.size);
    return ConvertResult::success();
}

// ---------------------------------------------------------------------------
// PNG: checked, and the image data handed on re-framed
//
// libpng reports what it cannot read through its error callback, and
// neither Qt 5.15 nor Qt 6.4 installs one: libpng's default one prints
// "libpng error: ..." to the process's stderr, past any Qt message handler.
// So libpng must never meet data it would fail on. Every chunk is checked
// first: complete, of a valid type, within libpng's size limits, with a
// correct CRC if it is critical (libpng only warns about an ancillary one),
// in an order libpng accepts, IEND present. The image data is then not
// handed on as it is: it is inflated here, once, its rows checked, and
// given to Qt as stored (uncompressed) deflate blocks. Whatever the source
// holds, libpng sees a well-formed stream with every row it needs, and
// inflating stored blocks costs it no more than a copy, so checking the
// data costs about one inflate in all. Should the source's stream prove
// damaged part way, the remaining rows go to libpng as zeros and the source
// fails.
//
// The PNG that Qt decodes: the source's bytes up to its first IDAT chunk;
// then for each block k of n, one IDAT chunk: u32 length, "IDAT", the zlib
// header 78 01 (k = 0 only), the stored block header (final flag u8, LEN u16
// and ~LEN u16, little-endian), LEN (at most 65535) bytes of rows, the
// big-endian Adler-32 of all rows (k = n - 1 only), the chunk's CRC-32; then
// the source's bytes from the end of its last IDAT chunk to the end of IEND.

// libpng's limits as built (pnglibconf.h: PNG_USER_WIDTH_MAX,
// PNG_USER_HEIGHT_MAX, PNG_USER_CHUNK_MALLOC_MAX). Past them it fails with
// an error, not a warning. The re-framed IDAT chunks are far smaller.
constexpr quint32 LibpngMaxSide = 1000000;
constexpr quint32 LibpngMaxChunk = 8000000;

constexpr quint32 StoredBlockBytes = 65535; // the most a stored block holds
// Inflated data accepted after the last row: as much again as the rows, and
// this much more.
constexpr quint64 ExtraDataSlack = 64 * 1024;

bool isCriticalChunk(const uchar *type)
{
    return (type[0] & 0x20) == 0;
}

bool isChunkType(const uchar *type, const char *name)
{
    return std::memcmp(type, name, 4) == 0;
}

void putBe32(uchar *p, quint32 v)
{
    p[0] = uchar(v >> 24);
    p[1] = uchar(v >> 16);
    p[2] = uchar(v >> 8);
    p[3] = uchar(v);
}

// Rows of the filtered image data: each row is a filter type byte (0..4)
// and the row's packed samples. A non-interlaced image is one run of rows,
// an Adam7 image one run for each of its seven passes that has pixels.
struct RowRun
{
    quint64 rows = 0;
    quint64 bytes = 0; // per row, filter byte included
};

using RowRuns = QVarLengthArray<RowRun, 7>;

RowRuns pngRowRuns(const PngHeader &h)
{
    const quint64 bitsPerPixel = quint64(pngChannels(h.colorType)) * quint64(h.depth);
    const auto rowBytes = [bitsPerPixel](quint64 columns) {
        return 1 + (columns * bitsPerPixel + 7) / 8;
    };
    RowRuns runs;
    if (h.interlace == 0) {
        runs.append({h.height, rowBytes(h.width)});
        return runs;
    }
    // Adam7: pass p takes the pixels at (xStart + i * xStep, yStart + j * yStep).
    static const int xStart[7] = {0, 4, 0, 2, 0, 1, 0};
    static const int yStart[7] = {0, 0, 4, 0, 2, 0, 1};
    static const int xStep[7] = {8, 8, 4, 4, 2, 2, 1};
    static const int yStep[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int p = 0; p < 7; ++p) {
        const quint64 columns =
            h.width > quint32(xStart[p]) ? (h.width - xStart[p] + xStep[p] - 1) / xStep[p] : 0;
        const quint64 rows =
            h.height > quint32(yStart[p]) ? (h.height - yStart[p] + yStep[p] - 1) / yStep[p] : 0;
        if (columns > 0 && rows > 0)
            runs.append({rows, rowBytes(columns)});
    }
    return runs;
}

// Follows the filter type byte at the start of every row through the
// inflated rows. libpng fails on a filter type above 4.
class FilterTypeCheck
{
public:
    explicit FilterTypeCheck(const RowRuns &runs)
        : m_runs(runs)
    {
        reset();
    }

    void reset()
    {
        m_run = 0;
        m_rowsLeft = m_runs.at(0).rows;
        m_next = 0;
    }

    // Checks the rows' bytes [start, start + count). A filter type above 4
    // is made 0 so that libpng does not fail on it; the result says whether
    // there was one.
    bool check(uchar *bytes, quint64 start, quint64 count)
    {
        bool valid = true;
        const quint64 end = start + count;
        while (m_next < end) {
            uchar &type = bytes[m_next - start];
            if (type > 4) {
                type = 0;
                valid = false;
            }
            m_next += m_runs.at(m_run).bytes;
            if (--m_rowsLeft == 0) {
                if (++m_run == m_runs.size()) {
                    m_next = ~quint64(0);
                    break;
                }
                m_rowsLeft = m_runs.at(m_run).rows;
            }
        }
        return valid;
    }

private:
    const RowRuns &m_runs;
    int m_run = 0;
    quint64 m_rowsLeft = 0;
    quint64 m_next = 0; // offset of the next filter type byte
};

struct PngCheck
{
    enum Outcome { Valid, Corrupt, Refused } outcome = Valid;
    QString detail;
};

PngCheck pngFailure(PngCheck::Outcome outcome, const QString &detail)
{
    PngCheck check;
    check.outcome = outcome;
    check.detail = detail;
    return check;
}

// Where the parts of a checked PNG are.
struct PngLayout
{
    PngHeader header;
    std::vector<std::pair<const uchar *, quint32>> idat; // the IDAT chunks' data
    qint64 idatStart = 0; // offset of the first IDAT chunk
    qint64 idatEnd = 0; // just past the last IDAT chunk
    qint64 end = 0; // just past IEND
};

// Walks the chunks of a PNG that passed its header check.
PngCheck checkPngChunks(const QByteArray &data, PngLayout *layout)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    layout->header = parsePngHeader(bytes + 16);
    const PngHeader &header = layout->header;
    if (header.width > LibpngMaxSide || header.height > LibpngMaxSide) {
        return pngFailure(PngCheck::Refused,
                          QStringLiteral("PNG images wider or taller than %1 pixels are not read")
                              .arg(LibpngMaxSide));
    }

    bool havePalette = false;
    qint64 pos = 8;
    for (int index = 0;; ++index) {
        if (pos == size)
            return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG has no IEND chunk"));
        if (size - pos < 12)
            return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG ends inside a chunk"));
        const quint32 length = be32(bytes + pos);
        const uchar *type = bytes + pos + 4;
        for (int i = 0; i < 4; ++i) {
            const uchar c = type[i];
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                return pngFailure(PngCheck::Corrupt, QStringLiteral("invalid PNG chunk type"));
        }
        const bool isIdat = isChunkType(type, "IDAT");
        // IDAT chunks do not reach libpng, so only the format's own limit
        // applies to them.
        if (length > 0x7fffffffu || (!isIdat && length > LibpngMaxChunk))
            return pngFailure(PngCheck::Corrupt, QStringLiteral("PNG chunk too large"));
        if (size - pos - 12 < qint64(length))
            return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG ends inside a chunk"));
        const uchar *body = type + 4;
        const QString name = QString::fromLatin1(reinterpret_cast<const char *>(type), 4);
        if (isCriticalChunk(type)
            && crc32(crc32(0, type, 4), body, length) != be32(body + length)) {
            return pngFailure(PngCheck::Corrupt,
                              QStringLiteral("CRC error in the PNG's %1 chunk").arg(name));
        }
        const qint64 chunkStart = pos;
        pos += 12 + qint64(length);

        if (isChunkType(type, "IHDR")) {
            if (index != 0)
                return pngFailure(PngCheck::Corrupt, QStringLiteral("a second PNG IHDR chunk"));
        } else if (isChunkType(type, "PLTE")) {
            if (havePalette)
                return pngFailure(PngCheck::Corrupt, QStringLiteral("a second PNG PLTE chunk"));
            havePalette = true;
            // libpng ignores a bad palette in a true-colour image, with a
            // warning; an indexed image needs 1 to 256 entries.
            if (header.colorType == 3 && (length == 0 || length > 768 || length % 3 != 0))
                return pngFailure(PngCheck::Corrupt, QStringLiteral("invalid PNG palette"));
        } else if (isIdat) {
            if (header.colorType == 3 && !havePalette)
                return pngFailure(PngCheck::Corrupt, QStringLiteral("no palette before PNG IDAT"));
            if (layout->idat.empty())
                layout->idatStart = chunkStart;
            else if (layout->idatEnd != chunkStart)
                return pngFailure(PngCheck::Corrupt,
                                  QStringLiteral("the PNG's IDAT chunks are not consecutive"));
            layout->idat.emplace_back(body, length);
            layout->idatEnd = pos;
        } else if (isChunkType(type, "IEND")) {
            if (layout->idat.empty())
                return pngFailure(PngCheck::Corrupt, QStringLiteral("the PNG has no IDAT chunk"));
            layout->end = pos;
            return PngCheck();
        } else if (isCriticalChunk(type)) {
            return pngFailure(PngCheck::Corrupt,
                              QStringLiteral("unknown critical PNG chunk %1").arg(name));
        }
    }
}

// The PNG that Qt decodes (see above), made as Qt reads it. Its IDAT
// chunks are made one at a time, each from the next rows inflated from the
// source; should Qt read one again, the source is inflated again from the
// start.
class PngRewrite : public ByteSource
{
public:
    PngRewrite(const QByteArray &data, const PngLayout &layout)
        : m_data(data)
        , m_layout(layout)
        , m_runs(pngRowRuns(layout.header))
        , m_filters(m_runs)
    {
        for (const RowRun &run : qAsConst(m_runs))
            m_rowBytes += run.rows * run.bytes;
        m_blocks = qint64((m_rowBytes + StoredBlockBytes - 1) / StoredBlockBytes);
        m_blocksEnd = chunkStart(m_blocks - 1) + chunkSize(m_blocks - 1);
        m_size = m_blocksEnd + (layout.end - layout.idatEnd);
        std::memset(&m_stream, 0, sizeof m_stream);
        // A 32 KiB window whatever the stream's header claims, as libpng
        // reads for Qt (PNG_MAXIMUM_INFLATE_WINDOW).
        if (inflateInit2(&m_stream, 15) == Z_OK)
            m_streamReady = true;
        else
            m_check = pngFailure(PngCheck::Refused, QStringLiteral("out of memory"));
    }

    ~PngRewrite() override
    {
        if (m_streamReady)
            inflateEnd(&m_stream);
    }
    Q_DISABLE_COPY(PngRewrite)

    qint64 size() const { return m_size; }

    qint64 readAt(qint64 offset, char *out, qint64 length) override
    {
        const auto *source = reinterpret_cast<const char *>(m_data.constData());
        const qint64 blocksStart = m_layout.idatStart;
        qint64 done = 0;
        while (done < length && offset + done < m_size) {
            const qint64 pos = offset + done;
            qint64 count;
            if (pos < blocksStart) {
                count = qMin(length - done, blocksStart - pos);
                std::memcpy(out + done, source + pos, size_t(count));
            } else if (pos < m_blocksEnd) {
                const qint64 k = chunkAt(pos);
                makeChunk(k);
                const qint64 inChunk = pos - chunkStart(k);
                count = qMin(length - done, m_chunk.size() - inChunk);
                std::memcpy(out + done, m_chunk.constData() + inChunk, size_t(count));
            } else {
                count = qMin(length - done, m_size - pos);
                std::memcpy(out + done, source + m_layout.idatEnd + (pos - m_blocksEnd),
                            size_t(count));
            }
            done += count;
        }
        return done;
    }

    // Inflates what Qt did not read and says whether the source's image
    // data was sound: one complete zlib stream, its Adler-32 included,
    // holding every row with a valid filter type. More data after the rows
    // is accepted as libpng accepts it, up to as much again as the rows, so
    // that a tiny image cannot hide a zlib bomb.
    PngCheck finish()
    {
        makeChunk(m_blocks - 1);
        return m_check;
    }

private:
    // Chunks 0 .. n - 2 are full blocks; chunk 0 also holds the zlib header.
    static constexpr qint64 FullChunk = 12 + 5 + StoredBlockBytes;

    qint64 chunkStart(qint64 k) const
    {
        return m_layout.idatStart + k * FullChunk + (k > 0 ? 2 : 0);
    }

    quint32 blockBytes(qint64 k) const
    {
        return quint32(qMin<quint64>(StoredBlockBytes, m_rowBytes - quint64(k) * StoredBlockBytes));
    }

    qint64 chunkSize(qint64 k) const
    {
        return 12 + (k == 0 ? 2 : 0) + 5 + blockBytes(k) + (k == m_blocks - 1 ? 4 : 0);
    }

    qint64 chunkAt(qint64 pos) const
    {
        const qint64 k = pos < chunkStart(1) ? 0 : (pos - m_layout.idatStart - 2) / FullChunk;
        return qMin(k, m_blocks - 1);
    }

    void fail(const QString &detail)
    {
        if (m_check.outcome == PngCheck::Valid)
            m_check = pngFailure(PngCheck::Corrupt, detail);
    }

    // Makes chunk k the one in m_chunk, inflating the rows up to it.
    void makeChunk(qint64 k)
    {
        if (k < m_chunkIndex)
            restart();
        while (m_chunkIndex < k) {
            const qint64 index = ++m_chunkIndex;
            const bool last = index == m_blocks - 1;
            const quint32 count = blockBytes(index);
            m_chunk.resize(int(chunkSize(index)));
            auto *p = reinterpret_cast<uchar *>(m_chunk.data());
            putBe32(p, quint32(m_chunk.size() - 12));
            std::memcpy(p + 4, "IDAT", 4);
            uchar *d = p + 8;
            if (index == 0) {
                *d++ = 0x78; // deflate, 32 KiB window
                *d++ = 0x01; // no dictionary, check bits
            }
            *d++ = last ? 1 : 0;
            d[0] = uchar(count);
            d[1] = uchar(count >> 8);
            d[2] = uchar(~count);
            d[3] = uchar(~count >> 8);
            d += 4;
            inflateRows(d, count);
            d += count;
            if (last) {
                checkStreamEnd();
                putBe32(d, quint32(m_adler));
                d += 4;
            }
            putBe32(d, quint32(crc32(0, p + 4, uInt(d - (p + 4)))));
        }
    }

    void restart()
    {
        if (m_streamReady)
            inflateReset(&m_stream);
        m_stream.avail_in = 0;
        m_span = 0;
        m_filters.reset();
        m_produced = 0;
        m_adler = adler32(0, nullptr, 0);
        m_chunkIndex = -1;
        m_ended = false;
        if (m_check.outcome == PngCheck::Corrupt)
            m_check = PngCheck();
    }

    // Feeds the next IDAT chunk's data to the inflater; false if none is left.
    bool feed()
    {
        if (m_span == m_layout.idat.size())
            return false;
        const auto &span = m_layout.idat.at(m_span++);
        m_stream.next_in = const_cast<Bytef *>(span.first);
        m_stream.avail_in = span.second;
        return true;
    }

    // Inflates the next count bytes of rows into out; zeros where the
    // source has none to give.
    void inflateRows(uchar *out, quint32 count)
    {
        uchar *p = out;
        uInt left = count;
        while (left > 0 && m_check.outcome == PngCheck::Valid) {
            if (m_ended) {
                fail(QStringLiteral("the PNG image data ends early"));
                break;
            }
            if (m_stream.avail_in == 0 && !feed()) {
                fail(QStringLiteral("the PNG image data ends early"));
                break;
            }
            m_stream.next_out = p;
            m_stream.avail_out = left;
            const int ret = inflate(&m_stream, Z_NO_FLUSH);
            p += left - m_stream.avail_out;
            left = m_stream.avail_out;
            if (ret == Z_STREAM_END)
                m_ended = true;
            else if (ret != Z_OK && ret != Z_BUF_ERROR)
                fail(zlibFailure());
        }
        std::memset(p, 0, left);
        if (!m_filters.check(out, m_produced, count))
            fail(QStringLiteral("invalid PNG row filter"));
        m_adler = adler32(m_adler, out, count);
        m_produced += count;
    }

    // After the last row: the source's stream must end, soon.
    void checkStreamEnd()
    {
        uchar scratch[4096];
        quint64 extra = 0;
        while (!m_ended && m_check.outcome == PngCheck::Valid) {
            if (m_stream.avail_in == 0 && !feed()) {
                fail(QStringLiteral("the PNG image data ends early"));
                break;
            }
            m_stream.next_out = scratch;
            m_stream.avail_out = sizeof scratch;
            const int ret = inflate(&m_stream, Z_NO_FLUSH);
            extra += sizeof scratch - m_stream.avail_out;
            if (extra > m_rowBytes + ExtraDataSlack)
                fail(QStringLiteral("far more PNG image data than the image needs"));
            else if (ret == Z_STREAM_END)
                m_ended = true;
            else if (ret != Z_OK && ret != Z_BUF_ERROR)
                fail(zlibFailure());
        }
    }

    QString zlibFailure() const
    {
        return QStringLiteral("the PNG image data is corrupt (%1)")
            .arg(QLatin1String(m_stream.msg ? m_stream.msg : "zlib error"));
    }

    const QByteArray &m_data;
    const PngLayout &m_layout;
    const RowRuns m_runs;
    FilterTypeCheck m_filters;
    quint64 m_rowBytes = 0;
    qint64 m_blocks = 0;
    qint64 m_blocksEnd = 0;
    qint64 m_size = 0;
    z_stream m_stream;
    bool m_streamReady = false;
    size_t m_span = 0; // the next IDAT chunk to feed
    bool m_ended = false; // the source's stream has ended
    quint64 m_produced = 0;
    uLong m_adler = adler32(0, nullptr, 0);
    qint64 m_chunkIndex = -1; // the chunk in m_chunk
    QByteArray m_chunk;
    PngCheck m_check;
};

// ---------------------------------------------------------------------------
// Decoding

// A read-only, random-access device over a source's content that notes
// every read asking for bytes past its end. Qt's JPEG handler reads a
// QBuffer's memory directly, bypassing readData, so this is not one.
class ContentDevice : public QIODevice
{
public:
    ContentDevice(ByteSource *content, qint64 size)
        : m_content(content)
        , m_size(size)
    {
    }
    Q_DISABLE_COPY(ContentDevice)

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }
    bool seek(qint64 pos) override { return pos <= m_size && QIODevice::seek(pos); }

    // A read asked for more than was left (it came back short or empty).
    bool readPastEnd() const { return m_readPastEnd; }
    // A read found nothing left at all.
    bool readAtEnd() const { return m_readAtEnd; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 left = qMax<qint64>(0, m_size - pos());
        const qint64 count = qMin(maxSize, left);
        if (count < maxSize)
            m_readPastEnd = true;
        if (left == 0 && maxSize > 0)
            m_readAtEnd = true;
        return count > 0 ? m_content->readAt(pos(), data, count) : 0;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ByteSource *m_content;
    qint64 m_size;
    bool m_readPastEnd = false;
    bool m_readAtEnd = false;
};

// Decoder messages. The image handlers report through qWarning: libpng's
// warnings as "libpng warning: ...", libjpeg's as its own text. A handler
// installed once catches, on a thread that is decoding, every message for
// that decode; everything else goes on to the handler installed before it
// (the command line installs its own early in main). A handler installed
// later, and not chaining, would see the decoder messages instead.
thread_local QStringList *t_decodeMessages = nullptr;
std::atomic<QtMessageHandler> s_previousHandler {nullptr};
std::once_flag s_handlerInstalled;

void routeMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (QStringList *messages = t_decodeMessages) {
        if (type != QtFatalMsg) {
            messages->append(message);
            return;
        }
    }
    if (const QtMessageHandler previous = s_previousHandler.load()) {
        previous(type, context, message);
        return;
    }
    // Only in the moment between installing and recording the previous one.
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    if (type == QtFatalMsg)
        std::abort();
}

class DecodeMessages
{
public:
    explicit DecodeMessages(QStringList *messages)
        : m_outer(t_decodeMessages)
    {
        std::call_once(s_handlerInstalled,
                       [] { s_previousHandler.store(qInstallMessageHandler(routeMessage)); });
        t_decodeMessages = messages;
    }
    ~DecodeMessages() { t_decodeMessages = m_outer; }
    Q_DISABLE_COPY(DecodeMessages)

private:
    QStringList *m_outer;
};

// libjpeg's words for data that is damaged or ends early (its JWRN_* and
// JERR_* texts); other messages are remarks.
bool saysCorrupt(const QString &message)
{
    return message.startsWith(QLatin1String("Corrupt JPEG data"))
        || message.startsWith(QLatin1String("Premature end of JPEG file"))
        || message.startsWith(QLatin1String("Invalid JPEG file structure"));
}

QByteArray readerFormat(ImageKind kind)
{
    switch (kind) {
    case ImageKind::Png:
        return QByteArrayLiteral("png");
    case ImageKind::Jpeg:
        return QByteArrayLiteral("jpeg");
    case ImageKind::Bmp:
        return QByteArrayLiteral("bmp");
    case ImageKind::Unknown:
        break;
    }
    return QByteArray();
}

struct DecodeAttempt
{
    QImage image;
    bool read = false;
    bool filledPrepared = false; // the decoder wrote into the zeroed image
    bool readPastEnd = false;
    bool readAtEnd = false;
    bool consumedAll = false;
    QString error;
    QStringList messages;
    PngCheck png; // what became of the source's PNG image data
};

// Qt 6's image handlers refuse to allocate an image of more than
// QImageReader::allocationLimit() MiB themselves (128 by default; Qt 5 has
// no such limit). They skip that check when they reuse a destination, as
// decodeOnce() prepares one, but the retry for a handler that picks another
// format than it announced lets the handler allocate. Sources have been
// checked against the decoding budget from their header by then, so the
// limit is raised, once for the process, to hold the budget.
void allowDecodeBudget()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    static std::once_flag raised;
    std::call_once(raised, [] {
        const int budgetMiB = int(DecodeBudgetBytes >> 20) + 1;
        const int limit = QImageReader::allocationLimit();
        if (limit != 0 && limit < budgetMiB)
            QImageReader::setAllocationLimit(budgetMiB);
    });
#endif
}

// One decode with Qt's handler for kind. The destination is allocated
// first, zero-filled, at the header's size and in format (or the format
// the handler announces). The BMP (read_dib_body), PNG (setup_qt) and JPEG
// (ensureValidImage) handlers of Qt 5.15 and 6.4 all keep a destination
// whose size and format match what they would allocate and write into it,
// so a row or pixel they skip (a BMP cut short, an RLE bitmap that jumps
// over pixels) stays zero instead of holding whatever the heap held before.
DecodeAttempt decodeOnce(const QByteArray &data, const PngLayout *png, ImageKind kind, QSize size,
                         QImage::Format format)
{
    DecodeAttempt attempt;
    MemorySource memory(data);
    std::unique_ptr<PngRewrite> rewrite(png ? new PngRewrite(data, *png) : nullptr);
    {
        // The reader and the device go before the message scope ends, so
        // that what they say while closing is caught too.
        DecodeMessages messages(&attempt.messages);
        ContentDevice device(rewrite ? static_cast<ByteSource *>(rewrite.get()) : &memory,
                             rewrite ? rewrite->size() : data.size());
        device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        QImageReader reader(&device, readerFormat(kind));
        reader.setAutoDetectImageFormat(false);
        if (format == QImage::Format_Invalid) {
            // Qt's JPEG handler announces a format it never set when the
            // header cannot be read. The value is taken as a number, since
            // it may be none of the enum's and merely loading such an enum
            // is undefined.
            const QImage::Format announced = reader.imageFormat();
            static_assert(sizeof announced == sizeof(int), "QImage::Format is an int");
            int value = 0;
            std::memcpy(&value, &announced, sizeof value);
            format = value > QImage::Format_Invalid && value < QImage::NImageFormats
                ? QImage::Format(value)
                : QImage::Format_Invalid;
        }
        const uchar *prepared = nullptr;
        if (format != QImage::Format_Invalid) {
            attempt.image = QImage(size, format);
            if (!attempt.image.isNull()) {
                std::memset(attempt.image.bits(), 0, size_t(attempt.image.sizeInBytes()));
                prepared = attempt.image.constBits();
            }
        }
        attempt.read = reader.read(&attempt.image);
        attempt.filledPrepared = prepared && attempt.image.constBits() == prepared;
        attempt.readPastEnd = device.readPastEnd();
        attempt.readAtEnd = device.readAtEnd();
        attempt.consumedAll = device.atEnd();
        attempt.error = reader.errorString();
    }
    if (rewrite)
        attempt.png = rewrite->finish();
    return attempt;
}

} // namespace

ImageKind sniffImageKind(const QByteArray &head)
{
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    const int n = head.size();
    if (n >= 8 && std::memcmp(p, PngSignature, 8) == 0)
        return ImageKind::Png;
    if (n >= 3 && p[0] == 0xff && p[1] == 0xd8 && p[2] == 0xff)
        return ImageKind::Jpeg;
    // "BM" alone is too common a start for text, so the DIB header's size
    // must be there and be one that exists.
    if (n >= 18 && p[0] == 'B' && p[1] == 'M' && plausibleDibSize(le32(p + 14)))
        return ImageKind::Bmp;
    return ImageKind::Unknown;
}

bool withinDecodeBudget(const ImageProbe &probe)
{
    const qint64 width = probe.size.width();
    const qint64 height = probe.size.height();
    if (width <= 0 || height <= 0)
        return false;
    const qint64 pixels = width * height;
    return pixels <= DecodeBudgetPixels && pixels * probe.decodedBytesPerPixel <= DecodeBudgetBytes;
}

namespace {

#ifdef Q_OS_UNIX
// Whether an open file that stat calls regular is one of the kernel's own:
// the files of /proc, /sys and their kind report a size of 0 (or a page)
// whatever they hold, and hold something else at each read.
bool isPseudoFile(int fd, const struct stat &st)
{
#ifdef Q_OS_LINUX
    // The file systems' magic numbers (linux/magic.h).
    static const unsigned long pseudo[] = {
        0x9fa0, // proc
        0x62656572, // sysfs
        0x64626720, // debugfs
        0x74726163, // tracefs
        0x73636673, // securityfs
        0x27e0eb, // cgroup
        0x63677270, // cgroup2
        0x62656570, // configfs
    };
    struct statfs fs;
    if (::fstatfs(fd, &fs) == 0) {
        for (const unsigned long magic : pseudo) {
            if ((unsigned long)(fs.f_type) == magic)
                return true;
        }
    }
#endif
    // Elsewhere: a file of size 0 that has bytes to read.
    char byte;
    return st.st_size == 0 && ::pread(fd, &byte, 1, 0) == 1;
}
#endif

// An open source file: a regular file, checked before and after opening.
class SourceFile
{
public:
    ~SourceFile()
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }

    ConvertResult open(const QString &path)
    {
        // A FIFO or a device is refused before it is opened: opening a FIFO
        // for reading blocks until a writer comes.
        const FileStatus status = fileStatus(path);
        switch (status.kind) {
        case FileKind::Regular:
            break;
        case FileKind::Missing:
        case FileKind::Error:
            return ConvertResult::readFailed(path, errnoText(status.error ? status.error : ENOENT));
        case FileKind::Directory:
        case FileKind::Symlink:
        case FileKind::Other:
            return ConvertResult::notRegularFile(path);
        }
#ifdef Q_OS_UNIX
        // O_NONBLOCK: should the path have become a FIFO since the check,
        // the open returns at once and fstat below refuses it.
        m_fd =
            ::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return ConvertResult::readFailed(path, errnoText(errno));
        struct stat st;
        if (::fstat(m_fd, &st) != 0)
            return ConvertResult::readFailed(path, errnoText(errno));
        if (!S_ISREG(st.st_mode) || isPseudoFile(m_fd, st))
            return ConvertResult::notRegularFile(path);
        m_size = qint64(st.st_size);
        m_source.reset(new FileSource(m_fd));
#else
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly))
            return ConvertResult::readFailed(path, m_file.errorString());
        m_size = m_file.size();
        m_source.reset(new FileSource(&m_file));
#endif
        return ConvertResult::success();
    }

    ByteSource *source() const
    {
        return m_source.get();
    }

    // The whole file, refused when it is larger than maxBytes.
    ConvertResult readAll(const QString &path, qint64 maxBytes, QByteArray *bytes)
    {
        if (m_size > maxBytes) {
            return ConvertResult::readFailed(
                path,
                QStringLiteral("the file is %1 MiB; files larger than %2 MiB are not read")
                    .arg(QString::number(m_size >> 20), QString::number(maxBytes >> 20)));
        }
        *bytes = QByteArray(int(m_size), Qt::Uninitialized);
        const qint64 count = m_source->readAt(0, bytes->data(), bytes->size());
        if (count < 0) {
            bytes->clear();
            return ConvertResult::readFailed(path, errnoText(m_source->error()));
        }
        bytes->truncate(int(count)); // the file may have shrunk since fstat
        return ConvertResult::success();
    }
    qint64 size() const
    {
        return m_size;
    }

private:
#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    QFile m_file;
#endif
    qint64 m_size = 0;
    std::unique_ptr<ByteSource> m_source;
};

} // namespace

ConvertResult readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    SourceFile file;
    const ConvertResult opened = file.open(path);
    if (!opened.ok())
        return opened;
    return file.readAll(path, maxBytes, bytes);
}

ConvertResult readRegularFileHead(const QString &path, qint64 maxBytes, QByteArray *head,
                                  qint64 *size)
{
    head->clear();
    *size = 0;
    SourceFile file;
    const ConvertResult opened = file.open(path);
    if (!opened.ok())
        return opened;
    *size = file.size();
    QByteArray bytes(int(qMin(maxBytes, file.size())), Qt::Uninitialized);
    const qint64 count = file.source()->readAt(0, bytes.data(), bytes.size());
    if (count < 0)
        return ConvertResult::readFailed(path, errnoText(file.source()->error()));
    bytes.truncate(int(count)); // the file may have shrunk since fstat
    *head = bytes;
    return ConvertResult::success();
}

ConvertResult probeImage(const QString &path, ImageProbe *probe)
{
    *probe = ImageProbe();
    SourceFile file;
    const ConvertResult opened = file.open(path);
    if (!opened.ok())
        return opened;
    QString detail;
    const HeaderStatus status = readHeader(file.source(), probe, &detail);
    return headerResult(status, path, detail, file.source()->error());
}

ConvertResult readSourceImage(const QString &path, int maxSide, SourceImage *source)
{
    *source = SourceImage();
    SourceFile file;
    ConvertResult result = file.open(path);
    if (!result.ok())
        return result;

    // Everything that can be decided from the header is decided before the
    // rest of the file is read.
    ImageProbe probe;
    QString detail;
    const HeaderStatus status = readHeader(file.source(), &probe, &detail);
    result = headerResult(status, path, detail, file.source()->error());
    if (!result.ok())
        return result;
    result = checkLimits(probe, path, maxSide);
    if (!result.ok())
        return result;

    QByteArray bytes;
    result = file.readAll(path, MaxSourceBytes, &bytes);
    if (!result.ok())
        return result;
    return decodeImageData(bytes, path, maxSide, source);
}

ConvertResult readEmbeddedSource(const QString &path, int maxSide, SourceImage *source)
{
    *source = SourceImage();
    SourceFile file;
    ConvertResult result = file.open(path);
    if (!result.ok())
        return result;
    ImageProbe probe;
    QString detail;
    result = headerResult(readHeader(file.source(), &probe, &detail), path, detail,
                          file.source()->error());
    if (!result.ok())
        return result;
    if (probe.kind == ImageKind::Bmp)
        return readSourceImage(path, maxSide, source);
    if (maxSide > 0 && (probe.size.width() > maxSide || probe.size.height() > maxSide))
        return ConvertResult::tooLarge(path, probe.size).withSideLimit(maxSide);

    QByteArray bytes;
    result = file.readAll(path, MaxSourceBytes, &bytes);
    if (!result.ok())
        return result;
    if (probe.kind == ImageKind::Png) {
        PngLayout layout;
        PngCheck check = checkPngChunks(bytes, &layout);
        if (check.outcome == PngCheck::Valid)
            check = PngRewrite(bytes, layout).finish();
        if (check.outcome == PngCheck::Corrupt)
            return ConvertResult::corrupt(path, check.detail);
        if (check.outcome == PngCheck::Refused)
            return ConvertResult::notDecodable(path, check.detail);
    } else {
        const QString problem = checkJpegStructure(bytes);
        if (!problem.isEmpty())
            return ConvertResult::corrupt(path, problem);
    }
    source->kind = probe.kind;
    source->size = probe.size;
    source->bytes = std::move(bytes);
    return result;
}

ConvertResult decodeImageData(const QByteArray &data, const QString &path, int maxSide,
                              SourceImage *source)
{
    *source = SourceImage();
    MemorySource memory(data);
    ImageProbe probe;
    QString detail;
    ConvertResult result = headerResult(readHeader(&memory, &probe, &detail), path, detail, 0);
    if (!result.ok())
        return result;
    result = checkLimits(probe, path, maxSide);
    if (!result.ok())
        return result;

    PngLayout layout;
    if (probe.kind == ImageKind::Png) {
        const PngCheck check = checkPngChunks(data, &layout);
        if (check.outcome == PngCheck::Corrupt)
            return ConvertResult::corrupt(path, check.detail);
        if (check.outcome == PngCheck::Refused)
            return ConvertResult::notDecodable(path, check.detail);
    }
    const PngLayout *png = probe.kind == ImageKind::Png ? &layout : nullptr;

    allowDecodeBudget();
    DecodeAttempt attempt = decodeOnce(data, png, probe.kind, probe.size, QImage::Format_Invalid);
    // Should a handler pick another format than it announced, it allocated
    // its own image: decode once more into a zeroed one of that format.
    if (attempt.read && !attempt.filledPrepared && attempt.image.size() == probe.size)
        attempt = decodeOnce(data, png, probe.kind, probe.size, attempt.image.format());

    if (attempt.png.outcome == PngCheck::Refused)
        return ConvertResult::notDecodable(path, attempt.png.detail);
    bool corrupt = attempt.png.outcome == PngCheck::Corrupt;
    if (corrupt)
        detail = attempt.png.detail;
    for (const QString &message : qAsConst(attempt.messages)) {
        if (saysCorrupt(message)) {
            corrupt = true;
            detail = message;
        }
    }
    // libjpeg reads in blocks, so a short last block is normal there; an
    // empty read means it wanted more and was given a made-up end marker.
    // Qt's BMP and PNG handlers read exactly what they need.
    if (probe.kind == ImageKind::Jpeg ? attempt.readAtEnd : attempt.readPastEnd) {
        corrupt = true;
        detail = QStringLiteral("the data ends early");
    }
    // Qt's BMP handler gives up without reading further when the data ends
    // right after the colour table.
    if (!attempt.read && probe.kind == ImageKind::Bmp && attempt.consumedAll) {
        corrupt = true;
        detail = QStringLiteral("the data ends early");
    }
    if (corrupt)
        result = ConvertResult::corrupt(path, detail);
    else if (!attempt.read || attempt.image.isNull())
        result = ConvertResult::notDecodable(path, attempt.error);
    else if (attempt.image.size() != probe.size)
        result = ConvertResult::corrupt(
            path,
            QStringLiteral("the decoded image is %1 x %2 pixels, the header says %3 x %4")
                .arg(QString::number(attempt.image.width()),
                     QString::number(attempt.image.height()), QString::number(probe.size.width()),
                     QString::number(probe.size.height())));
    else if (!attempt.filledPrepared)
        result = ConvertResult::notDecodable(
            path, QStringLiteral("the decoder did not write into the prepared image"));
    result.addNotes(attempt.messages);
    if (!result.ok())
        return result;

    source->kind = probe.kind;
    source->bytes = data;
    source->image = std::move(attempt.image);
    source->size = source->image.size();
    return result;
}

} // namespace Convert
