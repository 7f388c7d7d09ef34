#include "sourcefile.h"

#include "filesource.h"
#include "imagesource.h"

#include <filepath.h>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif
#endif

namespace Convert {
namespace Reading {

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
} // namespace

SourceFile::~SourceFile()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

ConvertResult SourceFile::open(const QString &path)
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
    m_fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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

ConvertResult SourceFile::readAll(const QString &path, qint64 maxBytes, QByteArray *bytes)
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

} // namespace Reading

using Reading::SourceFile;

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

} // namespace Convert
