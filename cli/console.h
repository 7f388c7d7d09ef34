#ifndef CONSOLE_H
#define CONSOLE_H

#include <QByteArray>
#include <QMutex>
#include <QString>

// The command line's stderr. Error lines may come from any thread; the
// progress line is a single line that is redrawn in place, and an error
// line printed while it shows first erases it and then draws it again
// below, so the two never end up on one line.
class Console
{
public:
    // showProgress: whether setProgress() draws anything at all (stderr is
    // a terminal, several inputs, not quiet).
    explicit Console(bool showProgress);

    // Writes one line (the newline is added). Thread-safe.
    void printError(const QString &line);
    void setProgress(const QString &text);
    // Erases the progress line, leaving the cursor at the start of the line.
    void clearProgress();

    // Whether stderr is a terminal.
    static bool stderrIsTerminal();

private:
    Q_DISABLE_COPY(Console)

    void writeLocked(const QByteArray &bytes);

    QMutex m_mutex;
    const bool m_showProgress;
    QByteArray m_progress; // the line on screen, empty when none
};

#endif // CONSOLE_H
