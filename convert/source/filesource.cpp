#include "filesource.h"

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <QFile>
#endif

namespace Convert {
namespace Reading {

#ifdef Q_OS_UNIX
FileSource::FileSource(int fd)
    : m_fd(fd)
{
}

qint64 FileSource::readAt(qint64 offset, char *out, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(m_fd, out + done, size_t(length - done), off_t(offset + done));
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
#else
FileSource::FileSource(QFile *file)
    : m_file(file)
{
}

qint64 FileSource::readAt(qint64 offset, char *out, qint64 length)
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
#endif

} // namespace Reading
} // namespace Convert
