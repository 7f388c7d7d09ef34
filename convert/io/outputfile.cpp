#include "outputfile.h"

#include "filepath.h"
#include "temporaryfiles.h"

#include <QSaveFile>

#include <atomic>
#include <cerrno>

#ifdef Q_OS_UNIX
#ifdef Q_OS_LINUX
#include <linux/magic.h>
#include <sys/vfs.h>
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Convert {

namespace {

// Whether create() makes anonymous temporary files where it can.
std::atomic<bool> anonymousTemporaries {true};

} // namespace

OutputFile::OutputFile(const QString &target)
    : m_target(target)
{
}

OutputFile::~OutputFile()
{
    removeTemporary();
}

qint64 OutputFile::readData(char *, qint64)
{
    return -1;
}

#ifdef Q_OS_UNIX

namespace {

// Whether following the link at path passes through /proc, as /dev/stdout
// does (to /proc/self/fd/1): such a link stands for a descriptor or a
// process's file, not a file to replace, whatever it leads to.
bool linkLeadsIntoProc(const QByteArray &path)
{
#ifdef Q_OS_LINUX
    QByteArray current = path;
    for (int hop = 0; hop < 40; ++hop) {
        char target[4096];
        const ssize_t n = ::readlink(current.constData(), target, sizeof target - 1);
        if (n < 0)
            return false;
        QByteArray next(target, int(n));
        if (!next.startsWith('/')) {
            const int slash = current.lastIndexOf('/');
            next.prepend(slash < 0 ? QByteArray() : current.left(slash + 1));
        }
        const int slash = next.lastIndexOf('/');
        const QByteArray folder = slash <= 0 ? QByteArray("/") : next.left(slash);
        struct statfs fs;
        if (::statfs(folder.constData(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC)
            return true;
        current = next;
    }
#else
    Q_UNUSED(path)
#endif
    return false;
}

// What is at the target decides whether it may be replaced: nothing, a
// regular file, or a link that points nowhere or to a regular file. A link
// to anything else (a terminal, a FIFO, a descriptor through /proc such as
// /dev/stdout)
// would be replaced by a regular file that nobody reads, so it is refused
// and left alone, as a device, FIFO or socket at the target itself is.
ConvertResult checkExistingTarget(const QString &target, const QByteArray &encoded,
                                  struct stat *existing, bool *keepMode)
{
    *keepMode = false;
    if (::lstat(encoded.constData(), existing) != 0) {
        if (errno != ENOENT)
            return ConvertResult::openFailed(target, errnoText(errno));
        return ConvertResult::success();
    }
    if (S_ISDIR(existing->st_mode))
        return ConvertResult::openFailed(target, errnoText(EISDIR));
    if (S_ISLNK(existing->st_mode)) {
        struct stat pointed;
        if ((::stat(encoded.constData(), &pointed) == 0 && !S_ISREG(pointed.st_mode))
            || linkLeadsIntoProc(encoded))
            return ConvertResult::outputNotRegular(target);
        return ConvertResult::success();
    }
    if (!S_ISREG(existing->st_mode))
        return ConvertResult::outputNotRegular(target);
    if (::access(encoded.constData(), W_OK) != 0)
        return ConvertResult::openFailed(target, errnoText(errno));
    *keepMode = true;
    return ConvertResult::success();
}

} // namespace

ConvertResult OutputFile::createTemporary(bool)
{
    m_encodedTarget = encodeFileName(m_target);
    if (m_encodedTarget.endsWith('/'))
        return ConvertResult::openFailed(m_target, errnoText(EISDIR));

    struct stat existing;
    bool keepMode = false;
    const ConvertResult checked =
        checkExistingTarget(m_target, m_encodedTarget, &existing, &keepMode);
    if (!checked.ok())
        return checked;

    const int slash = m_encodedTarget.lastIndexOf('/');
    m_folder = slash < 0 ? QByteArray() : m_encodedTarget.left(slash + 1);

    int fd = -1;
#ifdef O_TMPFILE
    // An anonymous file first. A file system without them says EOPNOTSUPP;
    // a kernel older than O_TMPFILE takes it for O_DIRECTORY and says
    // EISDIR; both mean: use a named one. A missing or read-only folder
    // fails here as it would below.
    if (anonymousTemporaries) {
        fd = ::open(m_folder.isEmpty() ? "." : m_folder.constData(),
                    O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return ConvertResult::openFailed(m_target, errnoText(errno));
        m_anonymous = fd >= 0;
    }
#endif
    if (fd < 0) {
        TemporaryRegistry &temporaries = temporaryRegistry();
        std::lock_guard<std::mutex> lock(temporaries.mutex);
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            const QByteArray path = m_folder + temporaryName();
            fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd >= 0) {
                m_temporary = path;
                temporaries.paths.insert(path.toStdString());
            } else if (errno != EEXIST) {
                return ConvertResult::openFailed(m_target, errnoText(errno));
            }
        }
        if (fd < 0)
            return ConvertResult::openFailed(m_target, errnoText(EEXIST));
    }
    if (keepMode)
        ::fchmod(fd, existing.st_mode & 07777);
    struct stat created;
    if (::fstat(fd, &created) == 0)
        m_device = quint64(created.st_dev);
    m_fd = fd;
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return ConvertResult::success();
}

qint64 OutputFile::writeToTemporary(const char *data, qint64 size)
{
    if (m_fd < 0)
        return -1;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size_t(qMin<qint64>(size - done, 1 << 30)));
        // A write that stops part-way (a full disk, a file size limit)
        // fails as a whole, with the reason: the file is discarded anyway.
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setErrorString(errnoText(errno));
            return -1;
        }
        if (n == 0) {
            setErrorString(errnoText(EIO));
            return -1;
        }
        done += n;
    }
    m_written += done;
    return done;
}

ConvertResult OutputFile::flushTemporary()
{
    if (m_fd < 0)
        return ConvertResult::writeFailed(m_target, QStringLiteral("the file is not open"));
    // The data must be on the disk before the name points at it. A file
    // system that cannot sync (EINVAL) has nothing to wait for.
    if (::fdatasync(m_fd) != 0 && errno != EINVAL) {
        const ConvertResult failed = ConvertResult::writeFailed(m_target, errnoText(errno));
        removeTemporary();
        return failed;
    }
    return ConvertResult::success();
}

ConvertResult OutputFile::closeFile()
{
    // An anonymous file lives only through its descriptor until it is
    // linked into place.
    if (m_fd < 0 || m_anonymous)
        return ConvertResult::success();
    const int fd = m_fd;
    m_fd = -1;
    QIODevice::close();
    // Some network file systems report a full disk only here.
    if (::close(fd) != 0 && errno != EINTR) {
        const ConvertResult failed = ConvertResult::writeFailed(m_target, errnoText(errno));
        removeTemporary();
        return failed;
    }
    return ConvertResult::success();
}

ConvertResult OutputFile::writeToStandardOutput()
{
    QIODevice::close();
    const char *data = m_held.constData();
    qint64 left = m_held.size();
    while (left > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, size_t(qMin<qint64>(left, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            m_held.clear();
            return ConvertResult::writeFailed(m_target, errnoText(error));
        }
        data += n;
        left -= n;
    }
    m_held.clear();
    return ConvertResult::success();
}

ConvertResult OutputFile::renameTemporary()
{
    if (m_temporary.isEmpty() && !m_anonymous)
        return ConvertResult::writeFailed(m_target, QStringLiteral("the file was not written"));
    TemporaryRegistry &temporaries = temporaryRegistry();
    std::lock_guard<std::mutex> lock(temporaries.mutex);
    const auto drop = [&] {
        if (!m_temporary.isEmpty()) {
            ::unlink(m_temporary.constData());
            temporaries.paths.erase(m_temporary.toStdString());
            m_temporary.clear();
        }
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        m_anonymous = false;
        QIODevice::close();
    };
    // Something else may have been put at the target meanwhile; a device,
    // a FIFO or a link to one there is still never replaced.
    struct stat existing;
    bool keepMode = false;
    const ConvertResult checked =
        checkExistingTarget(m_target, m_encodedTarget, &existing, &keepMode);
    if (!checked.ok()) {
        drop();
        return checked.status() == ConvertResult::OutputNotRegular
            ? checked
            : ConvertResult::writeFailed(m_target, checked.detail());
    }
    if (m_anonymous) {
        // The anonymous file gets a temporary name first (rename replaces
        // the target at once, linkat cannot); it is registered, so that an
        // interrupt in between still removes it.
        for (int attempt = 0; attempt < 16 && m_temporary.isEmpty(); ++attempt) {
            const QByteArray path = m_folder + temporaryName();
            int linked = ::linkat(m_fd, "", AT_FDCWD, path.constData(), AT_EMPTY_PATH);
            if (linked != 0 && errno != EEXIST) {
                // AT_EMPTY_PATH needs CAP_DAC_READ_SEARCH; /proc does not.
                const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
                linked = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(),
                                  AT_SYMLINK_FOLLOW);
            }
            if (linked == 0) {
                m_temporary = path;
                temporaries.paths.insert(path.toStdString());
            } else if (errno != EEXIST) {
                const ConvertResult failed = ConvertResult::writeFailed(m_target, errnoText(errno));
                drop();
                return failed;
            }
        }
        if (m_temporary.isEmpty()) {
            drop();
            return ConvertResult::writeFailed(m_target, errnoText(EEXIST));
        }
        const int fd = m_fd;
        m_fd = -1;
        m_anonymous = false;
        QIODevice::close();
        if (::close(fd) != 0 && errno != EINTR) {
            const ConvertResult failed = ConvertResult::writeFailed(m_target, errnoText(errno));
            drop();
            return failed;
        }
    }
    if (::rename(m_temporary.constData(), m_encodedTarget.constData()) != 0) {
        const ConvertResult failed = ConvertResult::writeFailed(m_target, errnoText(errno));
        drop();
        return failed;
    }
    temporaries.paths.erase(m_temporary.toStdString());
    m_temporary.clear();
    return ConvertResult::success();
}

void OutputFile::removeTemporary()
{
    m_held.clear();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_anonymous = false;
    if (isOpen())
        QIODevice::close();
    if (m_temporary.isEmpty())
        return;
    TemporaryRegistry &temporaries = temporaryRegistry();
    std::lock_guard<std::mutex> lock(temporaries.mutex);
    ::unlink(m_temporary.constData());
    temporaries.paths.erase(m_temporary.toStdString());
    m_temporary.clear();
}

#else // not Q_OS_UNIX: QSaveFile, without group commit or the registry

ConvertResult OutputFile::createTemporary(bool text)
{
    const FileStatus status = linkStatus(m_target);
    if (status.kind == FileKind::Directory)
        return ConvertResult::openFailed(m_target, errnoText(EISDIR));
    if (status.kind == FileKind::Other)
        return ConvertResult::outputNotRegular(m_target);
    m_file.reset(new QSaveFile(m_target));
    if (!m_file->open(text ? QIODevice::WriteOnly | QIODevice::Text : QIODevice::WriteOnly)) {
        const ConvertResult failed = ConvertResult::openFailed(m_target, m_file->errorString());
        m_file.reset();
        return failed;
    }
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return ConvertResult::success();
}

qint64 OutputFile::writeToTemporary(const char *data, qint64 size)
{
    if (!m_file)
        return -1;
    const qint64 n = m_file->write(data, size);
    if (n != size)
        setErrorString(m_file->errorString());
    if (n > 0)
        m_written += n;
    return n;
}

ConvertResult OutputFile::flushTemporary()
{
    if (!m_file)
        return ConvertResult::writeFailed(m_target, QStringLiteral("the file is not open"));
    if (!m_file->flush()) {
        const ConvertResult failed = ConvertResult::writeFailed(m_target, m_file->errorString());
        removeTemporary();
        return failed;
    }
    return ConvertResult::success();
}

ConvertResult OutputFile::closeFile()
{
    return ConvertResult::success();
}

ConvertResult OutputFile::writeToStandardOutput()
{
    QIODevice::close();
    const size_t size = size_t(m_held.size());
    const bool ok =
        std::fwrite(m_held.constData(), 1, size, stdout) == size && std::fflush(stdout) == 0;
    m_held.clear();
    return ok ? ConvertResult::success() : ConvertResult::writeFailed(m_target, errnoText(errno));
}

ConvertResult OutputFile::renameTemporary()
{
    if (!m_file)
        return ConvertResult::writeFailed(m_target, QStringLiteral("the file was not written"));
    QIODevice::close();
    // QSaveFile flushes to the disk before its rename.
    if (!m_file->commit()) {
        const ConvertResult failed = ConvertResult::writeFailed(m_target, m_file->errorString());
        m_file.reset();
        return failed;
    }
    m_file.reset();
    return ConvertResult::success();
}

void OutputFile::removeTemporary()
{
    if (isOpen())
        QIODevice::close();
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset();
    }
}

#endif

// Standard output is one branch of each step here, above the temporary
// files of either platform.

ConvertResult OutputFile::create(bool text)
{
    if (m_target.isEmpty())
        return ConvertResult::openFailed(m_target, QStringLiteral("no file name given"));
    if (m_target == standardOutput()) {
        m_toStandardOutput = true;
        m_held.clear();
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        return ConvertResult::success();
    }
    return createTemporary(text);
}

qint64 OutputFile::writeData(const char *data, qint64 size)
{
    if (!m_toStandardOutput)
        return writeToTemporary(data, size);
    m_held.append(data, int(size));
    m_written += size;
    return size;
}

ConvertResult OutputFile::flushToDisk()
{
    return m_toStandardOutput ? ConvertResult::success() : flushTemporary();
}

ConvertResult OutputFile::renameIntoPlace()
{
    return m_toStandardOutput ? writeToStandardOutput() : renameTemporary();
}

ConvertResult OutputFile::commit()
{
    ConvertResult result = flushToDisk();
    if (result.ok())
        result = closeFile();
    if (result.ok())
        result = renameIntoPlace();
    return result;
}

void OutputFile::cancel()
{
    removeTemporary();
}

ConvertResult OutputFile::checkExisting(const QString &target)
{
#ifdef Q_OS_UNIX
    if (target.isEmpty() || target == standardOutput())
        return ConvertResult::success();
    struct stat existing;
    bool keepMode = false;
    return checkExistingTarget(target, encodeFileName(target), &existing, &keepMode);
#else
    const FileStatus status = linkStatus(target);
    if (status.kind == FileKind::Directory)
        return ConvertResult::openFailed(target, errnoText(EISDIR));
    if (status.kind == FileKind::Other)
        return ConvertResult::outputNotRegular(target);
    return ConvertResult::success();
#endif
}

void OutputFile::setAnonymousTemporaries(bool enabled)
{
    anonymousTemporaries = enabled;
}

ConvertResult OutputFile::checkTarget(const QString &target)
{
    OutputFile file(target);
    const ConvertResult created = file.create();
    file.cancel();
    return created;
}

} // namespace Convert
