#ifndef INFOOPTIONS_H
#define INFOOPTIONS_H

#include <QCommandLineOption>
#include <QCoreApplication>
#include <QStringList>

// The options and texts of "brindleforge-cli inspect": one table that the
// command parses with and that its manual page and shell completions are
// made from (clidocs.h), so they cannot drift from "inspect --help".
class InspectOptions
{
    Q_DECLARE_TR_FUNCTIONS(InspectOptions)

public:
    InspectOptions();

    const QCommandLineOption json;
    const QCommandLineOption png;
    const QCommandLineOption frame;
    const QCommandLineOption depth;
    const QCommandLineOption swap;
    const QCommandLineOption chromaKey;
    const QCommandLineOption recolor;
    const QCommandLineOption background;
    const QCommandLineOption lvgl;
    const QCommandLineOption entry;
    const QCommandLineOption lvConf;
    const QCommandLineOption lvVersion;
    const QCommandLineOption help;

    // Every option, in the order of --help.
    QList<QCommandLineOption> listed() const;
    static QString description();
    static QString filesDescription();
    // What --help prints after the options and the arguments: what is
    // reported, the exit status and examples.
    static QString detailsText();
    // The values option takes when they form a fixed set; empty otherwise.
    QStringList valueChoices(const QCommandLineOption &option) const;
    // Whether option's value is a path.
    bool takesPath(const QCommandLineOption &option) const;

private:
    Q_DISABLE_COPY(InspectOptions)
};

#endif // INFOOPTIONS_H
