#include "batchplan.h"
#include "batchrunner.h"
#include "clidocs.h"
#include "commandline.h"
#include "console.h"
#include "infocommand.h"
#include "interrupts.h"
#include "packcommand.h"

#include <convertresult.h>
#include <devicemodel.h>
#include <filepath.h>
#include <outputfile.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

enum ExitCode { AllWritten = 0, SomeFailed = 1, UsageError = 2 };

Console *messageConsole = nullptr;

// The engine logs write failures on Qt's debug stream for the window's
// sake; the command line reports every failure itself, once, so debug and
// info messages are dropped. Warnings (such as a decoder's note about a
// damaged file) still reach stderr, without breaking the progress line.
void handleMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    const QString line = QStringLiteral("brindleforge-cli: ") + Convert::escapeControls(message);
    if (messageConsole)
        messageConsole->printError(line);
    else
        std::fprintf(stderr, "%s\n", qPrintable(line));
    if (type == QtFatalMsg)
        std::abort();
}

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usageError(const QString &error)
{
    print(stderr,
          QStringLiteral("brindleforge-cli: ") + Convert::escapeControls(error)
              + QStringLiteral("\nTry 'brindleforge-cli --help' for more information.\n"));
    return UsageError;
}

// Whether makePath(dir) would succeed, without making anything: the path
// down to the first missing folder holds only folders, and that one's
// parent takes a new entry.
bool canMakePath(const QString &dir, QString *error)
{
    const QString clean = QDir::cleanPath(dir);
    QString parent = clean.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QStringLiteral(".");
    int from = clean.startsWith(QLatin1Char('/')) ? 1 : 0;
    while (true) {
        const int slash = clean.indexOf(QLatin1Char('/'), from);
        const QString part = slash < 0 ? clean : clean.left(slash);
        if (!part.isEmpty() && part != QLatin1String(".") && part != QLatin1String("..")) {
            const Convert::FileKind kind = Convert::fileStatus(part).kind;
            if (kind == Convert::FileKind::Missing) {
                const Convert::ConvertResult probe = Convert::OutputFile::checkTarget(
                    parent + QStringLiteral("/.brindleforge-dry-run"));
                if (probe.ok())
                    return true;
                *error = QStringLiteral("the directory %1 cannot be created: %2")
                             .arg(Convert::displayPath(part), probe.detail());
                return false;
            }
            if (kind != Convert::FileKind::Directory) {
                *error = QStringLiteral("the directory %1 cannot be created: %2")
                             .arg(Convert::displayPath(part), Convert::errnoText(ENOTDIR));
                return false;
            }
            parent = part;
        }
        if (slash < 0)
            return true;
        from = slash + 1;
    }
}

// Removes what killed runs left in the folders this run writes into.
void removeStaleTemporaries(const BatchPlan &plan, bool verbose, Console *console)
{
    QSet<QString> folders;
    for (const BatchPlan::Job &job : plan.jobs()) {
        for (const QString &path : {job.output, job.preview}) {
            if (!path.isEmpty() && path != Convert::OutputFile::standardOutput())
                folders.insert(QFileInfo(path).path());
        }
    }
    QStringList sorted = folders.values();
    std::sort(sorted.begin(), sorted.end());
    for (const QString &folder : qAsConst(sorted)) {
        const int removed = Convert::removeStaleTemporaries(folder);
        if (removed > 0 && verbose) {
            console->printError(
                QStringLiteral("brindleforge-cli: %1: removed %2 temporary file%3 that a killed "
                               "run left behind")
                    .arg(Convert::displayPath(folder), QString::number(removed),
                         removed == 1 ? QString() : QStringLiteral("s")));
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Before any other thread exists, so that all of them leave the
    // interrupt signals to its thread.
    Interrupts interrupts;
    qInstallMessageHandler(handleMessage);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brindleforge-cli"));

    // The arguments as bytes: Qt would turn a file name that is not UTF-8
    // into one that names no file.
    const QStringList arguments = Convert::decodeArguments(argc, argv);
    if (arguments.size() > 1 && arguments.at(1) == QLatin1String("inspect"))
        return Inspect::run(arguments);
    CommandLine commandLine;
    switch (commandLine.parse(arguments)) {
    case CommandLine::Action::ShowHelp:
        print(stdout, commandLine.helpText());
        return AllWritten;
    case CommandLine::Action::ShowVersion:
        print(stdout, CommandLine::versionText());
        return AllWritten;
    case CommandLine::Action::ShowCompletion:
        print(stdout, CliDocs::completion(commandLine, commandLine.completionShell()));
        return AllWritten;
    case CommandLine::Action::ShowManPage:
        print(stdout, CliDocs::manPage(commandLine));
        return AllWritten;
    case CommandLine::Action::UsageError:
        return usageError(commandLine.errorText());
    case CommandLine::Action::Convert:
        break;
    }

    if (!commandLine.packName().isEmpty()) {
        QString usage;
        const int status = PackCommand::run(commandLine, &usage);
        return status == PackCommand::UsageError ? usageError(usage) : status;
    }

    BatchPlan plan;
    if (!plan.build(commandLine))
        return usageError(plan.errorText());
    Console console(plan.jobs().size() > 1 && !commandLine.quiet() && Console::stderrIsTerminal());
    messageConsole = &console;
    interrupts.setBeforeExit([&console] { console.clearProgress(); });
    BatchRunner runner(plan.jobs(), commandLine.outputKind(), &console);
    runner.setVerbose(commandLine.verbose());
    runner.setDryRun(commandLine.dryRun());
    runner.setTransforms(commandLine.transforms());
    // What the device's configuration costs is said unless -q asks for
    // quiet; what its reader passed over, with -v.
    if (commandLine.device() && !commandLine.quiet())
        runner.setDevice(commandLine.device());
    if (commandLine.device() && commandLine.verbose()) {
        for (const QString &note : commandLine.device()->notes())
            console.printError(QStringLiteral("brindleforge-cli: ")
                               + Convert::escapeControls(note));
    }
    if (commandLine.frames())
        runner.setFrames(commandLine.framePlan());

    // A dry run checks that the folders can be made; a run makes them.
    const auto makeFolder = [&commandLine](const QString &folder, QString *error) {
        return commandLine.dryRun() ? canMakePath(folder, error) : Convert::makePath(folder, error);
    };
    int failures = 0;
    const QString directory = plan.directoryToCreate();
    const QString previews = plan.previewDirectoryToCreate();
    runner.setMissingFolders(QStringList {directory, previews});
    QString error;
    if (!directory.isEmpty() && !makeFolder(directory, &error)) {
        failures = runner.failAll(Convert::ConvertResult::openFailed(directory, error));
    } else {
        if (!commandLine.dryRun())
            removeStaleTemporaries(plan, commandLine.verbose(), &console);
        failures = runner.run(commandLine.jobs());
        // Previews of what was written, once every output is in place.
        if (!previews.isEmpty() && !makeFolder(previews, &error)) {
            const QString line =
                QStringLiteral("brindleforge-cli: ") + Convert::escapeControls(error);
            console.printError(line);
            ++failures;
        } else if (!commandLine.previewPath().isEmpty()) {
            failures += runner.writePreviews(commandLine.jobs());
        }
    }
    if (commandLine.dryRun())
        print(stdout, runner.dryRunListing());
    interrupts.setBeforeExit({});
    messageConsole = nullptr;
    return failures == 0 ? AllWritten : SomeFailed;
}
