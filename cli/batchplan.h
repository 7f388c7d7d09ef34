#ifndef BATCHPLAN_H
#define BATCHPLAN_H

#include <converter.h>
#include <formats.h>

#include <QCoreApplication>
#include <QString>
#include <QVector>

class CommandLine;
namespace Convert {
class DeviceModel;
}

// Which files a run converts and where each output goes. Building the plan
// reads the file system but changes nothing, so a usage error found here
// (a missing input, two inputs writing one output, an output that would
// replace an input) leaves everything as it was.
class BatchPlan
{
    Q_DECLARE_TR_FUNCTIONS(BatchPlan)

public:
    struct Job
    {
        QString source; // as given, or joined onto the input directory as given
        QString output; // "-" for standard output
        QString preview; // the PNG of what the device shows (--preview), "-", or empty
        // The C symbol stem before the symbol rule (cSymbol): the --symbol-prefix,
        // then the --name or the output's base name.
        QString symbol;
    };

    BatchPlan() = default;

    bool build(const CommandLine &commandLine);
    // Only the sources the inputs name, in the order build() takes them;
    // false with errorText() for a missing input or none found (--pack).
    bool listSources(const CommandLine &commandLine, QStringList *sources)
    {
        return collectSources(commandLine, sources);
    }

    QString errorText() const { return m_error; }
    const QVector<Job> &jobs() const { return m_jobs; }
    // The output directory the run must create first; empty when none is
    // missing.
    QString directoryToCreate() const { return m_directoryToCreate; }
    // The same for the previews' folder.
    QString previewDirectoryToCreate() const { return m_previewDirectoryToCreate; }

    // Whether a directory contributes a file of this name.
    static bool hasImageSuffix(const QString &fileName);

private:
    Q_DISABLE_COPY(BatchPlan)

    bool fail(const QString &error);
    bool collectSources(const CommandLine &commandLine, QStringList *sources);
    bool planPreviews(const CommandLine &commandLine, bool singleFile);
    bool checkPreviewFolder(const CommandLine &commandLine, const QString &preview);
    bool checkExtension(const CommandLine &commandLine, const QString &output);
    bool checkOutputs();
    bool checkPreviewTargets();
    bool checkSymbols();
    bool checkSources(const Convert::OutputPlan &outSpec, const Convert::DeviceModel *device);
    bool checkFrameCounts(const Convert::FramePlan &framePlan);

    QString m_error;
    QVector<Job> m_jobs;
    QString m_directoryToCreate;
    QString m_previewDirectoryToCreate;
};

#endif // BATCHPLAN_H
