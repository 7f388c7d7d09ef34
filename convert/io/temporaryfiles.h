#ifndef TEMPORARYFILES_H
#define TEMPORARYFILES_H

#include <QByteArray>
#include <QString>

#include <mutex>
#include <set>
#include <string>

// The temporary files of OutputFile: their names, the registry of those
// this process holds, and what killed runs left.
namespace Convert {

// The named temporary files this process holds, by encoded path. Files are
// made, renamed and removed under the lock, so that an interrupt, which
// removes every file listed here and ends the process without unlocking,
// can never race with one being made or renamed.
struct TemporaryRegistry
{
    std::mutex mutex;
    std::set<std::string> paths;
};
TemporaryRegistry &temporaryRegistry();

// A new name for a temporary file (see outputfile.h): ".bf-", this
// process's id in five base-36 digits, five random ones, ".tmp".
QByteArray temporaryName();
// The process id a temporary name carries, or -1 when the name is not one
// of ours.
qint64 temporaryWriter(const char *name);

// Removes every temporary file that an OutputFile of this process has made
// and not yet renamed or removed, then ends the process with status at once
// (no exit handlers run). The registry stays locked to the end, so no
// other thread can make or rename a file meanwhile. Call it from a thread
// that handles SIGINT and its kin, never from a signal handler itself.
[[noreturn]] void removeTemporaryFilesAndExit(int status);

// Removes the temporary files in folder that a writer of this program left
// behind when it was killed: those whose name carries the process id of a
// process that no longer runs. Returns how many it removed.
int removeStaleTemporaries(const QString &folder);

} // namespace Convert

#endif // TEMPORARYFILES_H
