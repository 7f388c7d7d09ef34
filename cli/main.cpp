#include "batchplan.h"
#include "batchrunner.h"
#include "clidocs.h"
#include "commandline.h"
#include "console.h"
#include "infocommand.h"
#include "interrupts.h"

#include <convertresult.h>
#include <filepath.h>

#include <QCoreApplication>

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

    BatchPlan plan;
    if (!plan.build(commandLine))
        return usageError(plan.errorText());
    if (commandLine.dryRun()) {
        for (const BatchPlan::Job &job : plan.jobs()) {
            print(stdout,
                  Convert::displayPath(job.source) + QStringLiteral(" -> ")
                      + Convert::displayPath(job.output) + QLatin1Char('\n'));
        }
        return AllWritten;
    }

    Console console(plan.jobs().size() > 1 && !commandLine.quiet() && Console::stderrIsTerminal());
    messageConsole = &console;
    interrupts.setBeforeExit([&console] { console.clearProgress(); });
    BatchRunner runner(plan.jobs(), commandLine.outputKind(), &console);
    runner.setVerbose(commandLine.verbose());

    int failures = 0;
    const QString directory = plan.directoryToCreate();
    QString error;
    if (!directory.isEmpty() && !Convert::makePath(directory, &error)) {
        failures = runner.failAll(Convert::ConvertResult::openFailed(directory, error));
    } else {
        failures = runner.run(commandLine.jobs());
        // Previews of what was written, once every output is in place.
        const QString previews = plan.previewDirectoryToCreate();
        if (!previews.isEmpty() && !Convert::makePath(previews, &error)) {
            const QString line =
                QStringLiteral("brindleforge-cli: ") + Convert::escapeControls(error);
            console.printError(line);
            ++failures;
        } else if (!commandLine.previewPath().isEmpty()) {
            failures += runner.writePreviews(commandLine.jobs());
        }
    }
    interrupts.setBeforeExit({});
    messageConsole = nullptr;
    return failures == 0 ? AllWritten : SomeFailed;
}
