#include "temporaryfiles.h"

#include "filepath.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Convert {

TemporaryRegistry &temporaryRegistry()
{
    static TemporaryRegistry *instance = new TemporaryRegistry; // never destroyed
    return *instance;
}

// ".bf-", the writer's process id as five base-36 digits (Linux's pids
// are below 2^22, 36^5 is above 2^25), five random base-36 digits and
// ".tmp": 18 bytes whatever the target's name, so the temporary name always
// fits the file system's limit on a name. The leading dot keeps it out of
// directory scans.
namespace {

const char Base36[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr int TemporaryNameLength = 18;

} // namespace

QByteArray temporaryName()
{
    QByteArray name(".bf-");
    quint64 pid = quint64(QCoreApplication::applicationPid());
    char digits[5];
    for (int i = 4; i >= 0; --i) {
        digits[i] = Base36[pid % 36];
        pid /= 36;
    }
    name.append(digits, 5);
    for (int i = 0; i < 5; ++i)
        name += Base36[QRandomGenerator::global()->bounded(36)];
    return name + ".tmp";
}

// The process id a temporary name carries, or -1 when the name is not one
// of ours.
qint64 temporaryWriter(const char *name)
{
    if (std::strlen(name) != size_t(TemporaryNameLength) || std::strncmp(name, ".bf-", 4) != 0
        || std::strcmp(name + 14, ".tmp") != 0)
        return -1;
    qint64 pid = 0;
    for (int i = 4; i < 14; ++i) {
        const char *digit = std::strchr(Base36, name[i]);
        if (!name[i] || !digit)
            return -1;
        if (i < 9)
            pid = pid * 36 + (digit - Base36);
    }
    return pid;
}

#ifdef Q_OS_UNIX

void removeTemporaryFilesAndExit(int status)
{
    TemporaryRegistry &temporaries = temporaryRegistry();
    temporaries.mutex.lock(); // never unlocked: the process ends here
    for (const std::string &path : temporaries.paths)
        ::unlink(path.c_str());
    ::_exit(status);
}

int removeStaleTemporaries(const QString &folder)
{
    const QByteArray path = encodeFileName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return 0;
    const qint64 self = QCoreApplication::applicationPid();
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const qint64 pid = temporaryWriter(entry->d_name);
        if (pid <= 0 || pid == self)
            continue;
        // A writer that still runs (or that this user may not signal) keeps
        // its file; kill() with signal 0 only asks.
        if (pid <= qint64(INT_MAX) && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH))
            continue;
        const QByteArray file = path + '/' + entry->d_name;
        struct stat st;
        if (::lstat(file.constData(), &st) == 0 && S_ISREG(st.st_mode)
            && ::unlink(file.constData()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

#else

void removeTemporaryFilesAndExit(int status)
{
    std::_Exit(status);
}

int removeStaleTemporaries(const QString &)
{
    return 0; // QSaveFile's temporary files carry no writer
}

#endif

} // namespace Convert
