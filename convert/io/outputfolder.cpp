#include "outputfolder.h"

#include "commitgroup.h"
#include "outputfile.h"
#include "temporaryfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif
#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace Convert {

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool renamePath(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Swaps two paths atomically where the system can; false with errno set
// otherwise (EINVAL or ENOSYS where it cannot).
bool exchangePaths(const QString &a, const QString &b)
{
#if defined(Q_OS_LINUX) && defined(RENAME_EXCHANGE)
    return renameat2(AT_FDCWD, QFile::encodeName(a).constData(), AT_FDCWD,
                     QFile::encodeName(b).constData(), RENAME_EXCHANGE)
        == 0;
#else
    Q_UNUSED(a)
    Q_UNUSED(b)
    errno = ENOSYS;
    return false;
#endif
}

// Removes the staging folders beside target that a writer left when it
// was killed (".<name>" and a temporary name of a process that no longer
// runs), and the old folders that an interrupted exchange left.
void removeStaleStaging(const QFileInfo &target)
{
    const QString prefix = QStringLiteral(".") + target.fileName();
    const QFileInfoList entries =
        QDir(target.absolutePath())
            .entryInfoList({prefix + QStringLiteral(".bf-*.tmp")},
                           QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QByteArray name = entry.fileName().mid(prefix.size()).toLatin1();
        const qint64 pid = temporaryWriter(name.constData());
        if (pid <= 0 || pid == QCoreApplication::applicationPid() || entry.isSymLink())
            continue;
#ifdef Q_OS_UNIX
        // A writer that still runs (or that this user may not signal)
        // keeps its folder; kill() with signal 0 only asks.
        if (pid <= qint64(INT_MAX) && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH))
            continue;
#endif
        QDir(entry.filePath()).removeRecursively();
    }
}

} // namespace

OutputFolder::OutputFolder(const QString &target, Replaceable replaceable)
    : m_target(QDir::cleanPath(target))
    , m_replaceable(std::move(replaceable))
{
}

OutputFolder::~OutputFolder()
{
    if (!m_committed)
        removeStaging();
}

ConvertResult OutputFolder::checkTarget(const QString &target, const Replaceable &replaceable)
{
    const QFileInfo info(target);
    if (!info.exists() && !info.isSymLink()) {
        const QFileInfo parent(info.absolutePath());
        if (!parent.isDir())
            return ConvertResult::openFailed(
                target, QStringLiteral("the folder %1 does not exist").arg(parent.filePath()));
        return ConvertResult::success();
    }
    if (info.isSymLink() || !info.isDir())
        return ConvertResult::openFailed(target,
                                         QStringLiteral("it exists and is not a folder of frames"));
    const QFileInfoList entries = QDir(target).entryInfoList(QDir::AllEntries | QDir::Hidden
                                                             | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() || !entry.isFile() || !replaceable(entry.fileName())) {
            return ConvertResult::openFailed(
                target,
                QStringLiteral("the folder holds %1, which is not a file of a frame set; "
                               "it is left alone")
                    .arg(entry.fileName()));
        }
    }
    return ConvertResult::success();
}

ConvertResult OutputFolder::create()
{
    const ConvertResult checked = checkTarget(m_target, m_replaceable);
    if (!checked.ok())
        return checked;
    const QFileInfo info(m_target);
    removeStaleStaging(info);
    m_staging = info.absolutePath() + QStringLiteral("/.") + info.fileName()
        + QString::fromLatin1(temporaryName());
    if (!QDir().mkdir(m_staging)) {
        const QString error = errnoText();
        m_staging.clear();
        return ConvertResult::openFailed(m_target, error);
    }
    return ConvertResult::success();
}

ConvertResult OutputFolder::addFile(const QString &name, const QByteArray &bytes)
{
    m_names << name;
    m_contents.push_back(bytes);
    return ConvertResult::success();
}

ConvertResult OutputFolder::commit()
{
    if (m_staging.isEmpty())
        return ConvertResult::openFailed(m_target, QStringLiteral("the folder was not created"));
    {
        CommitGroup group;
        for (int i = 0; i < m_names.size(); ++i) {
            auto file = std::make_unique<OutputFile>(m_staging + QLatin1Char('/') + m_names.at(i));
            ConvertResult made = file->create();
            if (made.ok() && file->write(m_contents[size_t(i)]) != m_contents[size_t(i)].size())
                made = ConvertResult::writeFailed(m_target, file->errorString());
            if (!made.ok()) {
                file->cancel();
                return ConvertResult::writeFailed(
                    m_target, made.detail().isEmpty() ? made.reason() : made.detail());
            }
            group.add(i, std::move(file));
        }
        group.flush();
        for (const auto &finished : group.takeFinished()) {
            if (!finished.second.ok())
                return ConvertResult::writeFailed(m_target,
                                                  finished.second.detail().isEmpty()
                                                      ? finished.second.reason()
                                                      : finished.second.detail());
        }
    }
    const QFileInfo info(m_target);
    if (!info.exists()) {
        if (!renamePath(m_staging, m_target))
            return ConvertResult::writeFailed(m_target, errnoText());
        m_committed = true;
        return ConvertResult::success();
    }
    // Checked again: the folder may have changed since create().
    const ConvertResult checked = checkTarget(m_target, m_replaceable);
    if (!checked.ok())
        return checked;
    if (exchangePaths(m_staging, m_target)) {
        // The staging path now holds the old folder.
        removeStaging();
        m_committed = true;
        return ConvertResult::success();
    }
    const QString aside = info.absolutePath() + QStringLiteral("/.") + info.fileName()
        + QString::fromLatin1(temporaryName());
    if (!renamePath(m_target, aside))
        return ConvertResult::writeFailed(m_target, errnoText());
    if (!renamePath(m_staging, m_target)) {
        const QString error = errnoText();
        renamePath(aside, m_target);
        return ConvertResult::writeFailed(m_target, error);
    }
    m_committed = true;
    QDir(aside).removeRecursively();
    return ConvertResult::success();
}

void OutputFolder::removeStaging()
{
    if (!m_staging.isEmpty())
        QDir(m_staging).removeRecursively();
    m_staging.clear();
}

} // namespace Convert
