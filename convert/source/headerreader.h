#ifndef HEADERREADER_H
#define HEADERREADER_H

#include "bytesource.h"

#include <QString>

#include <cstring>

namespace Convert {
namespace Reading {

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

// What reading a header came to.
// NotDecodable: a whole header that describes no image this program can
// decode (an SVG without a size), with the reason in the detail.
enum class HeaderStatus { Ok, NotAnImage, Corrupt, NotDecodable, ReadError };

// For a header whose bytes ended early: a read error if reading failed,
// else Corrupt with "the <kind> header is cut short" in detail.
HeaderStatus cutShort(const HeaderReader &in, QString *detail, const char *kind);

} // namespace Reading
} // namespace Convert

#endif // HEADERREADER_H
