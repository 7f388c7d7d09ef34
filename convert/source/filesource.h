#ifndef FILESOURCE_H
#define FILESOURCE_H

#include "bytesource.h"

#ifndef Q_OS_UNIX
class QFile;
#endif

namespace Convert {
namespace Reading {

// An open file's bytes, read with pread where there is one, so that a read
// at one offset never moves another reader's position.
class FileSource : public ByteSource
{
public:
#ifdef Q_OS_UNIX
    explicit FileSource(int fd);
#else
    explicit FileSource(QFile *file);
#endif

    qint64 readAt(qint64 offset, char *out, qint64 length) override;

private:
#ifdef Q_OS_UNIX
    int m_fd;
#else
    QFile *m_file;
#endif
};

} // namespace Reading
} // namespace Convert

#endif // FILESOURCE_H
