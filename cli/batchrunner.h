#ifndef BATCHRUNNER_H
#define BATCHRUNNER_H

#include "batchplan.h"

#include <converter.h>
#include <convertresult.h>
#include <formats.h>

#include <QCoreApplication>
#include <QVector>

#include <memory>
#include <vector>

class Console;
namespace Convert {
class DeviceModel;
}

// Converts the jobs of a plan on worker threads. Each worker decodes,
// encodes and writes one image before it takes the next, so no more images
// than workers are in memory at once. Results are reported in the order of
// the plan, whatever order the workers finish in, so that two runs over
// the same inputs print the same lines.
class BatchRunner
{
    Q_DECLARE_TR_FUNCTIONS(BatchRunner)

public:
    // Each job's C symbol stem is its own (BatchPlan::Job::symbol).
    BatchRunner(const QVector<BatchPlan::Job> &jobs, const Convert::OutputPlan &outSpec,
                Console *console);

    // With verbose, the notes a decoder made about a source that was
    // converted are printed too.
    void setVerbose(bool verbose) { m_verbose = verbose; }
    // A dry run does all that a run does but the final writes: every source
    // is decoded and encoded in memory, its preview made, and every target
    // checked as it would be written; nothing is left on the disk.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // What is done to each decoded image (see Convert::TransformPlan).
    void setTransforms(const Convert::TransformPlan &transforms) { m_transforms = transforms; }
    // Write each job as a frame set (see Convert::convertFrames).
    void setFrames(const Convert::FramePlan &framePlan)
    {
        m_frames = true;
        m_framePlan = framePlan;
    }
    // Folders that the run makes before it writes into them: a dry run
    // checks no target inside them.
    void setMissingFolders(const QStringList &folders) { m_missingFolders = folders; }
    // The device's configuration (--lv-conf), whose warnings (an image
    // copied into RAM at load, say) each output gets; nullptr for none.
    void setDevice(std::shared_ptr<const Convert::DeviceModel> device)
    {
        m_device = std::move(device);
    }

    // Runs every job with at most threadCount workers and returns the
    // number of failed jobs. With several jobs, outputs are committed in
    // groups (see Convert::CommitGroup); a job counts as done once its
    // output is renamed into place.
    int run(int threadCount);

    // Writes the preview of every job whose output run() wrote, with at
    // most threadCount workers; reports each failure on its line and
    // returns their number. In a dry run, only reports what run() found.
    int writePreviews(int threadCount);

    // After a dry run: "SOURCE -> OUTPUT" for each output that would be
    // written and "OUTPUT -> PREVIEW" for each preview, in plan order. With
    // transforms, each output's line ends in its final size: " (W x H)"; a
    // frame set's in its frame count: " (N frames)", " (1 frame)".
    QString dryRunListing() const;

    // Reports every job as failed with result, converting none (used when
    // the output directory cannot be created). Returns the number of jobs.
    int failAll(const Convert::ConvertResult &result);

    // "<source> -> <output>: <reason>"
    static QString failureLine(const BatchPlan::Job &job, const Convert::ConvertResult &result);
    // "<source>: <note>", one per note.
    static QStringList noteLines(const BatchPlan::Job &job, const Convert::ConvertResult &result);

private:
    Q_DISABLE_COPY(BatchRunner)

    // One job of run(): the output converted and written (or handed to
    // group), or in a dry run checked.
    Convert::ConvertResult runJob(int index, Convert::CommitGroup *group);
    // The job's source read and encoded into m_encoded.
    Convert::ConvertResult encodeJob(int index);
    Convert::ConvertResult checkJob(int index);
    // One job of run() with frames: the set written, or in a dry run checked.
    Convert::ConvertResult framesJob(int index);
    bool inMissingFolder(const QString &path) const;
    Convert::ConvertResult writeToStandardOutput(int index);
    // The preview of a job whose output run() wrote (or checked).
    Convert::ConvertResult previewJob(int index);

    const QVector<BatchPlan::Job> m_jobs;
    const Convert::OutputPlan m_spec;
    Console *const m_console;
    bool m_verbose = false;
    bool m_dryRun = false;
    Convert::TransformPlan m_transforms;
    bool m_frames = false;
    Convert::FramePlan m_framePlan;
    std::vector<int> m_frameCounts; // per job: the frames of its set
    QStringList m_missingFolders;
    std::shared_ptr<const Convert::DeviceModel> m_device;
    std::vector<char> m_written; // per job: whether run() wrote (or would write) its output
    // Per job: the encoded output, kept where the preview cannot read it
    // back from the disk (a dry run, standard output).
    std::vector<QByteArray> m_encoded;
    std::vector<Convert::ConvertResult> m_previewResults; // a dry run's, by job
    std::vector<char> m_previewed; // per job: whether its preview was (or would be) written
    std::vector<QSize> m_finalSizes; // per job: the size of the image encoded by encodeJob()
};

#endif // BATCHRUNNER_H
