#include "commitgroup.h"

#include "filepath.h"

#include <algorithm>
#include <set>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace Convert {

CommitGroup::CommitGroup()
    : CommitGroup(Limits())
{
}

namespace {

// Anonymous files stay open until their group commits, so a group holds
// at most a quarter of the descriptors the process may open.
CommitGroup::Limits withinDescriptors(CommitGroup::Limits limits)
{
#ifdef Q_OS_UNIX
    rlimit descriptors;
    if (::getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur != RLIM_INFINITY)
        limits.files = int(qBound<rlim_t>(1, descriptors.rlim_cur / 4, rlim_t(limits.files)));
#endif
    return limits;
}

} // namespace

CommitGroup::CommitGroup(Limits limits)
    : m_limits(withinDescriptors(limits))
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
    // A named file is closed now, so that a large group holds few
    // descriptors; the sync of the file system below covers closed files
    // too. An anonymous one stays open until it is linked into place.
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
        // An anonymous file's own descriptor names its file system; a
        // closed named file is reached through its folder.
        const QByteArray &folder = pending.file->m_folder;
        const int fd = pending.file->m_fd >= 0 ? pending.file->m_fd
                                               : ::open(folder.isEmpty() ? "." : folder.constData(),
                                                        O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || ::syncfs(fd) != 0)
            failedDevices.emplace_back(device, errnoText(errno));
        if (fd >= 0 && fd != pending.file->m_fd)
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
