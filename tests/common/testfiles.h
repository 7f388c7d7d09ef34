#ifndef TESTFILES_H
#define TESTFILES_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

// File helpers shared by the tests.
namespace TestFiles {

// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);
// Writes bytes to path, creating its folder; false on any failure.
bool writeFile(const QString &path, const QByteArray &bytes);
// Every entry of dir, hidden ones included, sorted by name.
QStringList entries(const QString &dir);

#ifdef Q_OS_UNIX
// Lowers this process's file size limit (RLIMIT_FSIZE), which the
// processes it starts inherit, with SIGXFSZ ignored, so that a write past
// the limit fails with EFBIG instead of killing the writer. This makes a
// real write failure that root cannot bypass. Restores both when it goes
// out of scope.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    Q_DISABLE_COPY(FileSizeLimit)

    bool active() const { return m_active; }

private:
    rlimit m_saved {};
    void (*m_savedHandler)(int) = nullptr;
    bool m_active = false;
};
#endif

} // namespace TestFiles

#endif // TESTFILES_H
