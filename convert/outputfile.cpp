#include "outputfile.h"

#include "filepath.h"

#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Convert {

namespace {

// The temporary files this process holds, by encoded path. Files are made,
// renamed and removed under the lock, so that an interrupt, which removes
// every file listed here and ends the process without unlocking, can never
// race with one being made or renamed.
struct TemporaryRegistry
{
    std::mutex mutex;
    std::set<std::string> paths;
};

TemporaryRegistry &registry()
{
    static TemporaryRegistry *instance = new TemporaryRegistry; // never destroyed
    return *instance;
}

// ".bf-" and ten random letters and digits, ".tmp": 18 bytes whatever the
// target's name, so the temporary name always fits the file system's limit
// on a name. The leading dot keeps it out of directory scans.
QByteArray temporaryName()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name(".bf-");
    for (int i = 0; i < 10; ++i)
        name += alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet) - 1)];
    return name + ".tmp";
}

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

ConvertResult OutputFile::create(bool)
{
    if (m_target.isEmpty())
        return ConvertResult::openFailed(m_target, QStringLiteral("no file name given"));
    m_encodedTarget = encodeFileName(m_target);

    // What is there now decides whether it may be replaced. A link is
    // replaced as a link, whatever it points to.
    struct stat existing;
    bool keepMode = false;
    if (::lstat(m_encodedTarget.constData(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return ConvertResult::openFailed(m_target, errnoText(EISDIR));
        if (!S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode))
            return ConvertResult::outputNotRegular(m_target);
        if (S_ISREG(existing.st_mode)) {
            if (::access(m_encodedTarget.constData(), W_OK) != 0)
                return ConvertResult::openFailed(m_target, errnoText(errno));
            keepMode = true;
        }
    } else if (errno != ENOENT) {
        return ConvertResult::openFailed(m_target, errnoText(errno));
    }

    const int slash = m_encodedTarget.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : m_encodedTarget.left(slash + 1);
    if (m_encodedTarget.endsWith('/'))
        return ConvertResult::openFailed(m_target, errnoText(EISDIR));

    TemporaryRegistry &temporaries = registry();
    std::lock_guard<std::mutex> lock(temporaries.mutex);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray path = folder + temporaryName();
        const int fd =
            ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return ConvertResult::openFailed(m_target, errnoText(errno));
        }
        if (keepMode)
            ::fchmod(fd, existing.st_mode & 07777);
        struct stat created;
        if (::fstat(fd, &created) == 0)
            m_device = quint64(created.st_dev);
        m_fd = fd;
        m_temporary = path;
        temporaries.paths.insert(path.toStdString());
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        return ConvertResult::success();
    }
    return ConvertResult::openFailed(m_target, errnoText(EEXIST));
}

qint64 OutputFile::writeData(const char *data, qint64 size)
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

ConvertResult OutputFile::flushToDisk()
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
    if (m_fd < 0)
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

ConvertResult OutputFile::renameIntoPlace()
{
    if (m_temporary.isEmpty())
        return ConvertResult::writeFailed(m_target, QStringLiteral("the file was not written"));
    TemporaryRegistry &temporaries = registry();
    std::lock_guard<std::mutex> lock(temporaries.mutex);
    const auto drop = [&] {
        ::unlink(m_temporary.constData());
        temporaries.paths.erase(m_temporary.toStdString());
        m_temporary.clear();
    };
    // Something else may have been put at the target meanwhile; a device or
    // a FIFO there is still never replaced.
    struct stat existing;
    if (::lstat(m_encodedTarget.constData(), &existing) == 0 && !S_ISREG(existing.st_mode)
        && !S_ISLNK(existing.st_mode)) {
        drop();
        return S_ISDIR(existing.st_mode) ? ConvertResult::writeFailed(m_target, errnoText(EISDIR))
                                         : ConvertResult::outputNotRegular(m_target);
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
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (isOpen())
        QIODevice::close();
    if (m_temporary.isEmpty())
        return;
    TemporaryRegistry &temporaries = registry();
    std::lock_guard<std::mutex> lock(temporaries.mutex);
    ::unlink(m_temporary.constData());
    temporaries.paths.erase(m_temporary.toStdString());
    m_temporary.clear();
}

void removeTemporaryFilesAndExit(int status)
{
    TemporaryRegistry &temporaries = registry();
    temporaries.mutex.lock(); // never unlocked: the process ends here
    for (const std::string &path : temporaries.paths)
        ::unlink(path.c_str());
    ::_exit(status);
}

#else // not Q_OS_UNIX: QSaveFile, without group commit or the registry

ConvertResult OutputFile::create(bool text)
{
    if (m_target.isEmpty())
        return ConvertResult::openFailed(m_target, QStringLiteral("no file name given"));
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

qint64 OutputFile::writeData(const char *data, qint64 size)
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

ConvertResult OutputFile::flushToDisk()
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

ConvertResult OutputFile::renameIntoPlace()
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

void removeTemporaryFilesAndExit(int status)
{
    std::_Exit(status);
}

#endif

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

CommitGroup::CommitGroup()
    : CommitGroup(Limits())
{
}

CommitGroup::CommitGroup(Limits limits)
    : m_limits(limits)
{
}

CommitGroup::~CommitGroup() = default;

void CommitGroup::add(int tag, std::unique_ptr<OutputFile> file)
{
#ifdef Q_OS_UNIX
#ifdef Q_OS_LINUX
    // Start writing the data out now, while the next images are encoded,
    // so that the sync at the end of the group finds little left to do.
    if (file->m_fd >= 0)
        ::sync_file_range(file->m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    // Closed now, so that a large group holds no descriptors; the sync of
    // the file system below covers closed files too.
    ConvertResult closed = file->closeFile();
#else
    ConvertResult closed = ConvertResult::success();
#endif
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!closed.ok()) {
        m_finished.emplace_back(tag, std::move(closed));
        return;
    }
    if (m_pending.empty())
        m_started = std::chrono::steady_clock::now();
    m_pendingBytes += file->m_written;
    m_pending.push_back({tag, std::move(file)});
    if (m_pendingBytes >= m_limits.bytes || int(m_pending.size()) >= m_limits.files
        || std::chrono::steady_clock::now() - m_started >= m_limits.age) {
        flushLocked();
    }
}

void CommitGroup::flush()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    flushLocked();
}

void CommitGroup::flushLocked()
{
#ifdef Q_OS_LINUX
    // One sync per file system, through the folder of its first file. If
    // the sync fails, none of that file system's files is renamed.
    std::vector<std::pair<quint64, QString>> failedDevices;
    std::set<quint64> synced;
    for (const Pending &pending : m_pending) {
        const quint64 device = pending.file->m_device;
        if (!synced.insert(device).second)
            continue;
        const QByteArray &temporary = pending.file->m_temporary;
        const int slash = temporary.lastIndexOf('/');
        const QByteArray folder = slash < 0 ? QByteArray(".") : temporary.left(slash + 1);
        const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || ::syncfs(fd) != 0)
            failedDevices.emplace_back(device, errnoText(errno));
        if (fd >= 0)
            ::close(fd);
    }
    for (Pending &pending : m_pending) {
        const auto failed =
            std::find_if(failedDevices.begin(), failedDevices.end(),
                         [&](const auto &entry) { return entry.first == pending.file->m_device; });
        if (failed != failedDevices.end()) {
            pending.file->removeTemporary();
            m_finished.emplace_back(
                pending.tag, ConvertResult::writeFailed(pending.file->target(), failed->second));
        } else {
            m_finished.emplace_back(pending.tag, pending.file->renameIntoPlace());
        }
    }
#else
    for (Pending &pending : m_pending) {
        ConvertResult result = pending.file->flushToDisk();
        if (result.ok())
            result = pending.file->closeFile();
        if (result.ok())
            result = pending.file->renameIntoPlace();
        m_finished.emplace_back(pending.tag, std::move(result));
    }
#endif
    m_pending.clear();
    m_pendingBytes = 0;
}

std::vector<std::pair<int, ConvertResult>> CommitGroup::takeFinished()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::pair<int, ConvertResult>> finished;
    finished.swap(m_finished);
    return finished;
}

} // namespace Convert
