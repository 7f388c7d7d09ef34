#include "filepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace Convert {

namespace {

constexpr ushort EscapedByteBase = 0xdc00; // byte b (>= 0x80) is kept as U+DC00 + b

bool isEscapedByte(ushort unit)
{
    return unit >= EscapedByteBase + 0x80 && unit <= EscapedByteBase + 0xff;
}

// The length of the valid UTF-8 sequence at s (n bytes available), or 0.
// Overlong forms, surrogates and values past U+10FFFF are invalid.
int utf8SequenceLength(const uchar *s, int n, uint *codePoint)
{
    const uchar c = s[0];
    int length;
    uint value;
    uint minimum;
    if (c < 0x80) {
        *codePoint = c;
        return 1;
    } else if ((c & 0xe0) == 0xc0) {
        length = 2;
        value = c & 0x1f;
        minimum = 0x80;
    } else if ((c & 0xf0) == 0xe0) {
        length = 3;
        value = c & 0x0f;
        minimum = 0x800;
    } else if ((c & 0xf8) == 0xf0) {
        length = 4;
        value = c & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (n < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xc0) != 0x80)
            return 0;
        value = (value << 6) | (s[i] & 0x3f);
    }
    if (value < minimum || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
        return 0;
    *codePoint = value;
    return length;
}

QString hexEscape(uint value, int digits, char prefix)
{
    return QLatin1Char('\\') + QLatin1Char(prefix)
        + QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

} // namespace

QByteArray encodeFileName(const QString &path)
{
#ifdef Q_OS_UNIX
    QByteArray bytes;
    bytes.reserve(path.size() * 3);
    const ushort *u = path.utf16();
    const int n = path.size();
    for (int i = 0; i < n; ++i) {
        const ushort c = u[i];
        if (c < 0x80) {
            bytes += char(c);
        } else if (isEscapedByte(c)) {
            bytes += char(c - EscapedByteBase);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(u[i + 1])) {
            const uint cp = QChar::surrogateToUcs4(c, u[i + 1]);
            ++i;
            bytes += char(0xf0 | (cp >> 18));
            bytes += char(0x80 | ((cp >> 12) & 0x3f));
            bytes += char(0x80 | ((cp >> 6) & 0x3f));
            bytes += char(0x80 | (cp & 0x3f));
        } else if (QChar::isSurrogate(c)) {
            // A lone surrogate that no decoded name holds: no file can
            // have this name, so make it one that will not be found.
            bytes += '?';
        } else if (c < 0x800) {
            bytes += char(0xc0 | (c >> 6));
            bytes += char(0x80 | (c & 0x3f));
        } else {
            bytes += char(0xe0 | (c >> 12));
            bytes += char(0x80 | ((c >> 6) & 0x3f));
            bytes += char(0x80 | (c & 0x3f));
        }
    }
    return bytes;
#else
    return QFile::encodeName(path);
#endif
}

QString decodeFileName(const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    QString text;
    text.reserve(bytes.size());
    const auto *s = reinterpret_cast<const uchar *>(bytes.constData());
    const int n = bytes.size();
    for (int i = 0; i < n;) {
        uint cp = 0;
        const int length = utf8SequenceLength(s + i, n - i, &cp);
        if (length == 0) {
            text += QChar(ushort(EscapedByteBase + s[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            text += QChar(QChar::highSurrogate(cp));
            text += QChar(QChar::lowSurrogate(cp));
        } else {
            text += QChar(ushort(cp));
        }
        i += length;
    }
    return text;
#else
    return QFile::decodeName(bytes);
#endif
}

QStringList decodeArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << decodeFileName(QByteArray(argv[i]));
    return arguments;
}

QString escapeControls(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const ushort c = ch.unicode();
        switch (c) {
        case '\a':
            out += QLatin1String("\\a");
            continue;
        case '\b':
            out += QLatin1String("\\b");
            continue;
        case '\t':
            out += QLatin1String("\\t");
            continue;
        case '\n':
            out += QLatin1String("\\n");
            continue;
        case '\v':
            out += QLatin1String("\\v");
            continue;
        case '\f':
            out += QLatin1String("\\f");
            continue;
        case '\r':
            out += QLatin1String("\\r");
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7f)
            out += hexEscape(c, 2, 'x');
        else if (isEscapedByte(c))
            out += hexEscape(uint(c - EscapedByteBase), 2, 'x');
        else if ((c >= 0x80 && c <= 0x9f) || (c >= 0x202a && c <= 0x202e)
                 || (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f)
            out += hexEscape(c, 4, 'u');
        else
            out += ch;
    }
    return out;
}

QString displayPath(const QString &path)
{
    return escapeControls(QDir::toNativeSeparators(path));
}

#ifdef Q_OS_UNIX

namespace {

FileStatus statusOf(const QString &path, bool follow)
{
    FileStatus status;
    struct stat st;
    const QByteArray name = encodeFileName(path);
    const int rc = follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st);
    if (rc != 0) {
        status.error = errno;
        status.kind = (errno == ENOENT || errno == ENOTDIR) ? FileKind::Missing : FileKind::Error;
        return status;
    }
    status.mode = quint32(st.st_mode & 07777);
    if (S_ISREG(st.st_mode))
        status.kind = FileKind::Regular;
    else if (S_ISDIR(st.st_mode))
        status.kind = FileKind::Directory;
    else if (S_ISLNK(st.st_mode))
        status.kind = FileKind::Symlink;
    else
        status.kind = FileKind::Other;
    return status;
}

// The canonical form of an existing folder, or an empty string.
QString canonicalFolder(const QString &path)
{
    char *resolved = ::realpath(encodeFileName(path).constData(), nullptr);
    if (!resolved)
        return QString();
    const QString result = decodeFileName(QByteArray(resolved));
    ::free(resolved);
    return result;
}

bool listInto(const QString &dir, bool recursive, QStringList *files, QString *error)
{
    DIR *stream = ::opendir(encodeFileName(dir).constData());
    if (!stream) {
        *error = QStringLiteral("the directory %1 cannot be read (%2)")
                     .arg(displayPath(dir), errnoText(errno));
        return false;
    }
    const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    QStringList folders;
    errno = 0;
    while (const dirent *entry = ::readdir(stream)) {
        const char *name = entry->d_name;
        if (name[0] == '.') // ".", ".." and hidden entries
            continue;
        const QString path = prefix + decodeFileName(QByteArray(name));
        // Folders are told apart without following a link, so a link to a
        // folder is neither entered nor listed; links to anything else are
        // listed and judged by what they point to when they are read.
        const FileStatus status = statusOf(path, false);
        if (status.kind == FileKind::Directory) {
            if (recursive)
                folders << path;
        } else if (status.kind == FileKind::Symlink
                   && fileStatus(path).kind == FileKind::Directory) {
            continue;
        } else if (status.kind != FileKind::Missing) { // gone meanwhile
            *files << path;
        }
    }
    const int readError = errno;
    ::closedir(stream);
    if (readError != 0) {
        *error = QStringLiteral("the directory %1 cannot be read (%2)")
                     .arg(displayPath(dir), errnoText(readError));
        return false;
    }
    for (const QString &folder : qAsConst(folders)) {
        if (!listInto(folder, recursive, files, error))
            return false;
    }
    return true;
}

} // namespace

FileStatus fileStatus(const QString &path)
{
    return statusOf(path, true);
}

FileStatus linkStatus(const QString &path)
{
    return statusOf(path, false);
}

QString pathIdentity(const QString &path)
{
    struct stat st;
    if (::stat(encodeFileName(path).constData(), &st) == 0) {
        return QStringLiteral("inode:%1:%2")
            .arg(QString::number(quint64(st.st_dev)), QString::number(quint64(st.st_ino)));
    }

    // Nothing there yet: the nearest folder that exists, resolved, and the
    // names below it.
    QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    QString rest;
    while (true) {
        const QString canonical = canonicalFolder(folder);
        if (!canonical.isEmpty()) {
            QString key = canonical;
            if (!rest.isEmpty())
                key += (key.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + rest;
#ifdef Q_OS_MACOS
            key = key.toCaseFolded();
#endif
            return QStringLiteral("path:") + key;
        }
        const int slash = folder.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return QStringLiteral("path:") + QDir::cleanPath(folder);
        const QString name = folder.mid(slash + 1);
        rest = rest.isEmpty() ? name : name + QLatin1Char('/') + rest;
        folder = slash == 0 ? QStringLiteral("/") : folder.left(slash);
    }
}

bool makePath(const QString &dir, QString *error)
{
    const QString clean = QDir::cleanPath(dir);
    // Walk down from the top, making each missing folder.
    int from = clean.startsWith(QLatin1Char('/')) ? 1 : 0;
    while (true) {
        const int slash = clean.indexOf(QLatin1Char('/'), from);
        const QString part = slash < 0 ? clean : clean.left(slash);
        if (!part.isEmpty() && part != QLatin1String(".") && part != QLatin1String("..")) {
            if (::mkdir(encodeFileName(part).constData(), 0777) != 0) {
                const int code = errno;
                if (code != EEXIST || fileStatus(part).kind != FileKind::Directory) {
                    *error =
                        QStringLiteral("the directory %1 cannot be created: %2")
                            .arg(displayPath(part), errnoText(code == EEXIST ? ENOTDIR : code));
                    return false;
                }
            }
        }
        if (slash < 0)
            return true;
        from = slash + 1;
    }
}

bool listFiles(const QString &dir, bool recursive, QStringList *files, QString *error)
{
    return listInto(dir, recursive, files, error);
}

#else // not Q_OS_UNIX: Qt's own file information, without the byte-exact names

FileStatus fileStatus(const QString &path)
{
    FileStatus status;
    const QFileInfo info(path);
    if (!info.exists())
        return status;
    status.kind =
        info.isDir() ? FileKind::Directory : (info.isFile() ? FileKind::Regular : FileKind::Other);
    return status;
}

FileStatus linkStatus(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        FileStatus status;
        status.kind = FileKind::Symlink;
        return status;
    }
    return fileStatus(path);
}

QString pathIdentity(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    const QString key = canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    return key.toCaseFolded();
}

bool makePath(const QString &dir, QString *error)
{
    if (QDir().mkpath(dir))
        return true;
    *error = QStringLiteral("the directory %1 cannot be created").arg(displayPath(dir));
    return false;
}

bool listFiles(const QString &dir, bool recursive, QStringList *files, QString *error)
{
    const QFileInfo info(dir);
    if (!info.isDir() || !info.isReadable()) {
        *error = QStringLiteral("the directory %1 cannot be read").arg(displayPath(dir));
        return false;
    }
    const QDir folder(dir);
    const QStringList names =
        folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = folder.filePath(name);
        if (QFileInfo(path).isDir()) {
            if (recursive && !QFileInfo(path).isSymLink() && !listFiles(path, true, files, error))
                return false;
        } else {
            *files << path;
        }
    }
    return true;
}

#endif

QString errnoText(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("no space left on device");
    case EFBIG:
        return QStringLiteral("file too large");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case EROFS:
        return QStringLiteral("read-only file system");
    case ENOENT:
        return QStringLiteral("no such file or directory");
    case ENOTDIR:
        return QStringLiteral("not a directory");
    case EISDIR:
        return QStringLiteral("is a directory");
    case ENAMETOOLONG:
        return QStringLiteral("file name too long");
    case EIO:
        return QStringLiteral("input/output error");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("disk quota exceeded");
#endif
    case EMFILE:
    case ENFILE:
        return QStringLiteral("too many open files");
    case ENOMEM:
        return QStringLiteral("out of memory");
#ifdef ELOOP
    case ELOOP:
        return QStringLiteral("too many levels of symbolic links");
#endif
    case EEXIST:
        return QStringLiteral("file exists");
    default:
        break;
    }
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (text.isEmpty())
        return QStringLiteral("system error %1").arg(error);
    if (text.size() > 1 && text.at(0).isUpper() && text.at(1).isLower())
        text[0] = text.at(0).toLower();
    return text;
}

} // namespace Convert
