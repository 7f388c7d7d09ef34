#ifndef SAVEREPORT_H
#define SAVEREPORT_H

#include <convertresult.h>
#include <formats.h>

#include <QCoreApplication>
#include <QStringList>

// Collects what went wrong in one save command, for the single warning the
// window shows at its end: sources that were not written and why, outputs
// that a later source of the same name replaced, and the sources a
// cancelled batch left out.
class SaveReport
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    explicit SaveReport(int total)
        : m_total(total)
    {
    }

    void addFailure(const QString &source, const Convert::ConvertResult &result);
    void addReplaced(const QString &earlierSource, const QString &laterSource,
                     const QString &output);
    void addCancelled(const QStringList &sources);

    bool isEmpty() const { return m_lines.isEmpty(); }
    // Outputs that are not on disk now.
    int missingCount() const { return m_missing; }

    // One sentence for the message box.
    QString summary() const;
    // One line per missing output, naming the source and the reason.
    QStringList lines() const { return m_lines; }

    // The reason for a failed result, in the window's language.
    static QString reason(const Convert::ConvertResult &result);

private:
    int m_total;
    int m_missing = 0;
    int m_cancelled = 0;
    QStringList m_lines;
};

#endif // SAVEREPORT_H
