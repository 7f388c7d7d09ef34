#ifndef COMMITGROUP_H
#define COMMITGROUP_H

#include "convertresult.h"
#include "outputfile.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace Convert {

// Group commit for batches. Flushing every output to the disk before its
// rename makes each file wait for the disk on its own; a batch of small
// files then spends most of its time waiting. A CommitGroup collects
// completely written and closed files, and when the group is full (a few
// MB, a number of files, or a fraction of a second after its first file)
// flushes them to the disk together, with one sync of each file system
// they are on (syncfs on Linux; one flush per file elsewhere), then renames
// each over its target, in the order they came.
//
// An interrupt loses at most the group in flight, and leaves nothing
// partial: its files are still temporary. Thread-safe: workers of a batch
// share one group.
class CommitGroup
{
public:
    struct Limits
    {
        qint64 bytes = qint64(8) << 20;
        int files = 256;
        std::chrono::milliseconds age {250};
    };

    CommitGroup();
    explicit CommitGroup(Limits limits);
    // Discards what was not committed: those targets stay as they were.
    ~CommitGroup();
    Q_DISABLE_COPY(CommitGroup)

    // Takes a completely written file and the caller's tag for it. Commits
    // the group when it is due.
    void add(int tag, std::unique_ptr<OutputFile> file);

    // Commits what is waiting.
    void flush();

    // The results of the files committed since the last call, by tag.
    std::vector<std::pair<int, ConvertResult>> takeFinished();

private:
    void flushLocked();

    struct Pending
    {
        int tag;
        std::unique_ptr<OutputFile> file;
    };

    const Limits m_limits;
    std::mutex m_mutex;
    std::vector<Pending> m_pending;
    qint64 m_pendingBytes = 0;
    std::chrono::steady_clock::time_point m_started;
    std::vector<std::pair<int, ConvertResult>> m_finished;
};

} // namespace Convert

#endif // COMMITGROUP_H
