#ifndef OUTPUTFILE_H
#define OUTPUTFILE_H

#include "convertresult.h"
#include "temporaryfiles.h"

#include <QIODevice>
#include <QString>

#include <chrono>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QSaveFile;

namespace Convert {

// One output file, written so that nothing is ever lost or left half done:
//
// - The data goes to a temporary file in the target's folder. Where the
//   file system has anonymous files (O_TMPFILE on Linux: ext4, xfs, btrfs,
//   tmpfs), it has no name until it is committed, so a process that is
//   killed leaves nothing behind. Elsewhere its name is short and fixed in
//   length (".bf-PPPPPRRRRR.tmp": the writer's process id and five random
//   letters, in base 36), so it fits wherever the target's name fits, and
//   a later run can tell whether its writer still runs
//   (removeStaleTemporaries()).
// - commit() flushes the data to the disk and only then renames the file
//   over the target, so a crash never leaves an empty or partial file
//   behind a good name, and a failure leaves an existing target as it was.
// - The target is always a regular file at the path given. A symbolic link
//   there is replaced by the new file, the way rename() replaces it; its
//   target is never written. A link whose target exists and is not a
//   regular file (/dev/stdout, a terminal, a FIFO, a /proc descriptor) is
//   refused and left alone, as is an existing target that is not a regular
//   file or a link (a device node, a FIFO, a socket) and a folder.
// - The target "-" is standard output: the data is held in memory and
//   written there by commit(), in one piece.
// - An existing regular target keeps its permission bits.
// - Every temporary file the process holds is known, so that an interrupt
//   can remove them all (removeTemporaryFilesAndExit()).
//
// Every failure is reported in words ("no space left on device", "file too
// large"), never as an unknown error. Writes are not buffered: callers hand
// over large blocks.
class OutputFile : public QIODevice
{
public:
    explicit OutputFile(const QString &target);
    // Removes the temporary file unless it was committed or handed to a
    // CommitGroup.
    ~OutputFile() override;
    Q_DISABLE_COPY(OutputFile)

    QString target() const { return m_target; }

    // The target that names standard output.
    static QString standardOutput() { return QStringLiteral("-"); }

    // Whether a file could be made at target now: every check of create(),
    // and the temporary file made and removed again. Nothing is left
    // behind, and an existing target is not touched.
    static ConvertResult checkTarget(const QString &target);
    // Only the check of what is at target now: whether create() would
    // refuse it (a folder, a device, a link to one).
    static ConvertResult checkExisting(const QString &target);

    // Whether temporary files are anonymous where the file system allows
    // (the default). Off, every temporary file is named, as on a file
    // system without anonymous files; the tests of that path use it.
    static void setAnonymousTemporaries(bool enabled);

    // Checks the target and creates the temporary file, opened for writing.
    // Fails with OpenFailed (the folder is missing, not a folder or not
    // writable; the target is a folder) or OutputNotRegular. text asks for
    // the platform's line ends where they are not '\n' (Windows).
    ConvertResult create(bool text = false);

    // Flushes, closes and renames over the target. Fails with WriteFailed,
    // and then removes the temporary file.
    ConvertResult commit();

    // Removes the temporary file; the target stays as it was.
    void cancel();

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    friend class CommitGroup;

    // The steps of commit(). A CommitGroup closes its files as they come,
    // flushes them all to the disk at once, then renames each.
    ConvertResult flushToDisk();
    ConvertResult closeFile();
    ConvertResult renameIntoPlace();
    void removeTemporary();

    ConvertResult writeToStandardOutput();

    // The platform's temporary file behind create(), writeData(),
    // flushToDisk() and renameIntoPlace() for a target that is not
    // standard output.
    ConvertResult createTemporary(bool text);
    qint64 writeToTemporary(const char *data, qint64 size);
    ConvertResult flushTemporary();
    ConvertResult renameTemporary();

    QString m_target;
    qint64 m_written = 0;
    bool m_toStandardOutput = false;
    QByteArray m_held; // the data for standard output
#ifdef Q_OS_UNIX
    int m_fd = -1;
    quint64 m_device = 0; // the file system the temporary file is on
    // The anonymous file has no name yet; it needs its descriptor open
    // until it is linked into place.
    bool m_anonymous = false;
    QByteArray m_folder; // encoded folder of the target, with its '/', or empty
    QByteArray m_temporary; // encoded path of the named temporary file
    QByteArray m_encodedTarget;
#else
    std::unique_ptr<QSaveFile> m_file;
#endif
};

} // namespace Convert

#endif // OUTPUTFILE_H
