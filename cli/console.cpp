#include "console.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Carriage return, then "erase to the end of the line".
const char eraseLine[] = "\r\033[K";

} // namespace

Console::Console(bool showProgress)
    : m_showProgress(showProgress)
{
}

void Console::printError(const QString &line)
{
    QMutexLocker locker(&m_mutex);
    QByteArray bytes;
    if (!m_progress.isEmpty())
        bytes += eraseLine;
    bytes += line.toLocal8Bit() + '\n';
    bytes += m_progress;
    writeLocked(bytes);
}

void Console::setProgress(const QString &text)
{
    if (!m_showProgress)
        return;
    QMutexLocker locker(&m_mutex);
    m_progress = text.toLocal8Bit();
    writeLocked(eraseLine + m_progress);
}

void Console::clearProgress()
{
    QMutexLocker locker(&m_mutex);
    if (m_progress.isEmpty())
        return;
    m_progress.clear();
    writeLocked(eraseLine);
}

bool Console::stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

void Console::writeLocked(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}
