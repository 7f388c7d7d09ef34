#ifndef FILEPATH_H
#define FILEPATH_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// File names as the engine and its front ends handle them.
//
// On Unix a file name is a string of bytes, and not every one is valid
// UTF-8: names unpacked from an archive made on a GBK or Latin-1 system are
// common. Qt decodes such bytes to U+FFFD and can then no longer open the
// file. Here every byte that is not part of valid UTF-8 is kept in the
// QString as the lone surrogate U+DC80 + (byte - 0x80), the scheme Python
// calls "surrogateescape", so that encodeFileName(decodeFileName(b)) == b
// for every name b. All file access of the engine goes through these two
// functions; such names must not be handed to Qt's own file classes.
namespace Convert {

QByteArray encodeFileName(const QString &path);
QString decodeFileName(const QByteArray &bytes);

// The process arguments, decoded with decodeFileName, program name first.
QStringList decodeArguments(int argc, char **argv);

// A path as it may be shown in a message or a window: native separators,
// and every character that a terminal or a label would act on or not show
// escaped: control characters as \n, \t, \x1b and so on, bytes that are not
// UTF-8 (see above) as \xNN, and the Unicode direction overrides as \uNNNN.
// A name can then neither forge a line nor send escape sequences.
QString displayPath(const QString &path);
// The same escaping for any text that may hold a file name.
QString escapeControls(const QString &text);

// What is at a path.
enum class FileKind {
    Missing, // nothing (or a dangling link, when links are followed)
    Regular,
    Directory,
    Symlink, // only from linkStatus()
    Other, // FIFO, device, socket
    Error, // the path could not be examined (see error)
};

struct FileStatus
{
    FileKind kind = FileKind::Missing;
    int error = 0; // errno for Error (and for Missing: ENOENT or ENOTDIR)
    quint32 mode = 0; // permission bits of an existing file
};

// Follows symbolic links.
FileStatus fileStatus(const QString &path);
// Does not follow a link at the path itself.
FileStatus linkStatus(const QString &path);

// A key that is equal for two paths exactly when they name the same file.
// An existing file is known by its device and inode number, so a symbolic
// link to it, a path through a linked folder or /proc/self/cwd/... all give
// the key of the file itself. A path where nothing exists yet gets the
// canonical path of its nearest existing folder, followed by the rest of
// the path; where file names ignore case by default (Windows, macOS) that
// part is case-folded.
QString pathIdentity(const QString &path);

// Creates dir and the folders above it that are missing. On failure, error
// says why, naming the folder that could not be made.
bool makePath(const QString &dir, QString *error);

// The entries of dir that are not folders (regular files, links, FIFOs and
// the rest), hidden ones left out, as paths joined onto dir as given. With
// recursive, also those of its folders, except hidden ones and links to
// folders. The order is the file system's. On a folder that cannot be
// read, returns false with error naming it and the reason.
bool listFiles(const QString &dir, bool recursive, QStringList *files, QString *error);

// The reason for a system error number, in lower case as the messages of
// this program put it: "no space left on device", "file too large".
QString errnoText(int error);

} // namespace Convert

#endif // FILEPATH_H
