#ifndef BYTESOURCE_H
#define BYTESOURCE_H

#include <QtGlobal>

namespace Convert {
namespace Reading {

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

} // namespace Reading
} // namespace Convert

#endif // BYTESOURCE_H
