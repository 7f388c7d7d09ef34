#include "batchplan.h"
#include "batchrunner.h"
#include "commandline.h"
#include "console.h"

#include <convertresult.h>

#include <QCoreApplication>
#include <QDir>

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
    if (messageConsole)
        messageConsole->printError(QStringLiteral("brindleforge-cli: ") + message);
    else
        std::fprintf(stderr, "brindleforge-cli: %s\n", qPrintable(message));
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
          QStringLiteral("brindleforge-cli: ") + error
              + QStringLiteral("\nTry 'brindleforge-cli --help' for more information.\n"));
    return UsageError;
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(handleMessage);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brindleforge-cli"));

    CommandLine commandLine;
    switch (commandLine.parse(QCoreApplication::arguments())) {
    case CommandLine::Action::ShowHelp:
        print(stdout, commandLine.helpText());
        return AllWritten;
    case CommandLine::Action::ShowVersion:
        print(stdout, CommandLine::versionText());
        return AllWritten;
    case CommandLine::Action::UsageError:
        return usageError(commandLine.errorText());
    case CommandLine::Action::Convert:
        break;
    }

    BatchPlan plan;
    if (!plan.build(commandLine))
        return usageError(plan.errorText());

    Console console(plan.jobs().size() > 1 && !commandLine.quiet() && Console::stderrIsTerminal());
    messageConsole = &console;
    BatchRunner runner(plan.jobs(), commandLine.outputFormat(), commandLine.colorFormat(),
                       commandLine.symbol(), &console);

    int failures = 0;
    const QString directory = plan.directoryToCreate();
    if (!directory.isEmpty() && !QDir().mkpath(directory)) {
        failures = runner.failAll(Convert::ConvertResult::openFailed(
            directory,
            QCoreApplication::translate("main", "the directory %1 cannot be created")
                .arg(QDir::toNativeSeparators(directory))));
    } else {
        failures = runner.run(commandLine.jobs());
    }
    messageConsole = nullptr;
    return failures == 0 ? AllWritten : SomeFailed;
}
