#ifndef BATCHRUNNER_H
#define BATCHRUNNER_H

#include "batchplan.h"

#include <converter.h>
#include <convertresult.h>
#include <formats.h>

#include <QCoreApplication>
#include <QVector>

#include <vector>

class Console;

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
    BatchRunner(const QVector<BatchPlan::Job> &jobs, const Convert::OutputSpec &outSpec,
                Console *console);

    // With verbose, the notes a decoder made about a source that was
    // converted are printed too.
    void setVerbose(bool verbose) { m_verbose = verbose; }

    // Runs every job with at most threadCount workers and returns the
    // number of failed jobs. With several jobs, outputs are committed in
    // groups (see Convert::CommitGroup); a job counts as done once its
    // output is renamed into place.
    int run(int threadCount);

    // Writes the preview of every job whose output run() wrote, with at
    // most threadCount workers; reports each failure on its line and
    // returns their number.
    int writePreviews(int threadCount);

    // Reports every job as failed with result, converting none (used when
    // the output directory cannot be created). Returns the number of jobs.
    int failAll(const Convert::ConvertResult &result);

    // "<source> -> <output>: <reason>"
    static QString failureLine(const BatchPlan::Job &job, const Convert::ConvertResult &result);
    // "<source>: <note>", one per note.
    static QStringList noteLines(const BatchPlan::Job &job, const Convert::ConvertResult &result);

private:
    Q_DISABLE_COPY(BatchRunner)

    const QVector<BatchPlan::Job> m_jobs;
    const Convert::OutputSpec m_spec;
    Console *const m_console;
    bool m_verbose = false;
    std::vector<char> m_written; // per job: whether run() wrote its output
};

#endif // BATCHRUNNER_H
