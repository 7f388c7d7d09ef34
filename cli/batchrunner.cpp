#include "batchrunner.h"

#include "console.h"

#include <converter.h>
#include <csymbol.h>
#include <devicemodel.h>
#include <outputfile.h>
#include <outputfolder.h>
#include <preview.h>

#include <QDir>
#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace Convert;

namespace {

// How often the progress line is redrawn at most, in milliseconds. Drawing
// it for every one of thousands of small icons would cost more than the
// conversions.
constexpr qint64 progressInterval = 100;

} // namespace

BatchRunner::BatchRunner(const QVector<BatchPlan::Job> &jobs, const OutputPlan &outSpec,
                         Console *console)
    : m_jobs(jobs)
    , m_spec(outSpec)
    , m_console(console)
{
}

ConvertResult BatchRunner::runJob(int index, CommitGroup *group)
{
    if (m_frames)
        return framesJob(index);
    if (m_dryRun)
        return checkJob(index);
    const BatchPlan::Job &job = m_jobs.at(index);
    if (job.output == OutputFile::standardOutput())
        return writeToStandardOutput(index);
    ConvertResult result =
        convertFile(job.source, m_spec, m_transforms, job.output, job.symbol, group, index);
    if (m_device && result.ok()) {
        // The size from the header, as the transforms make it; a trim can
        // only make it smaller.
        ImageProbe probe;
        if (probeImage(job.source, &probe).ok())
            result.addWarnings(
                m_device->warnings(DeviceImage::of(m_spec, m_transforms.finalSize(probe.size))));
    }
    return result;
}

ConvertResult BatchRunner::framesJob(int index)
{
    // A set is written as a whole, a folder by its own commit, so it never
    // waits in a group.
    const BatchPlan::Job &job = m_jobs.at(index);
    ConvertResult result = convertFrames(job.source, m_spec, m_transforms, m_framePlan, job.output,
                                         job.symbol, m_dryRun, &m_frameCounts[size_t(index)]);
    if (m_device && result.ok()) {
        // Every frame is drawn as an image of its own: the size of one, a
        // grid's cell as the transforms make it.
        ImageProbe probe;
        if (probeImage(job.source, &probe).ok()) {
            QSize frame = probe.size;
            if (!m_framePlan.grid.isEmpty())
                frame = QSize(frame.width() / m_framePlan.grid.width(),
                              frame.height() / m_framePlan.grid.height());
            for (const QString &warning :
                 m_device->warnings(DeviceImage::of(m_spec, m_transforms.finalSize(frame))))
                result.addWarnings({QStringLiteral("every frame: ") + warning});
        }
    }
    if (!result.ok() || !m_dryRun || job.output == OutputFile::standardOutput()
        || inMissingFolder(job.output))
        return result;
    ConvertResult target = m_spec.binary ? OutputFolder::checkTarget(job.output, isFrameSetFileName)
                                         : OutputFile::checkTarget(job.output);
    if (!target.ok())
        return target;
    return result;
}

bool BatchRunner::inMissingFolder(const QString &path) const
{
    for (const QString &folder : m_missingFolders) {
        if (!folder.isEmpty() && path.startsWith(QDir::cleanPath(folder) + QLatin1Char('/')))
            return true;
    }
    return false;
}

ConvertResult BatchRunner::encodeJob(int index)
{
    const BatchPlan::Job &job = m_jobs.at(index);
    SourceImage source;
    const ConvertResult loaded = loadSource(job.source, m_spec, m_transforms, &source);
    if (!loaded.ok())
        return loaded;
    m_finalSizes[size_t(index)] = source.image.isNull() ? source.size : source.image.size();
    ConvertResult result = encodeSource(source, m_spec, job.symbol, &m_encoded[size_t(index)]);
    result.addNotes(loaded.notes());
    if (m_device && result.ok())
        result.addWarnings(
            m_device->warnings(DeviceImage::of(m_spec, m_finalSizes[size_t(index)])));
    return result;
}

ConvertResult BatchRunner::checkJob(int index)
{
    const BatchPlan::Job &job = m_jobs.at(index);
    const ConvertResult result = encodeJob(index);
    if (!result.ok())
        return result;
    QByteArray &bytes = m_encoded[size_t(index)];
    // In a folder that the run makes first nothing can be in the way; the
    // folder itself is checked by the caller.
    if (job.output != OutputFile::standardOutput() && !inMissingFolder(job.output)) {
        ConvertResult target = OutputFile::checkTarget(job.output);
        if (!target.ok()) {
            bytes.clear();
            return target;
        }
    }
    // The preview is made now, so that a batch holds no encoded outputs;
    // writePreviews() reports it in its turn.
    if (!job.preview.isEmpty())
        m_previewResults[size_t(index)] = previewJob(index);
    bytes.clear();
    return result;
}

ConvertResult BatchRunner::writeToStandardOutput(int index)
{
    // Standard output cannot be read back, so the bytes are kept for the
    // preview; they are what the file would hold.
    const BatchPlan::Job &job = m_jobs.at(index);
    const ConvertResult result = encodeJob(index);
    if (!result.ok())
        return result;
    const QByteArray &bytes = m_encoded[size_t(index)];
    OutputFile out(job.output);
    ConvertResult written = out.create();
    if (written.ok() && out.write(bytes) != bytes.size())
        written = ConvertResult::writeFailed(job.output, out.errorString());
    if (written.ok())
        written = out.commit();
    written.addNotes(result.notes());
    written.addWarnings(result.warnings());
    return written;
}

int BatchRunner::run(int threadCount)
{
    const int total = m_jobs.size();
    m_encoded.assign(size_t(total), QByteArray());
    m_previewResults.assign(size_t(total), ConvertResult());
    m_finalSizes.assign(size_t(total), QSize());
    m_frameCounts.assign(size_t(total), 0);
    std::vector<ConvertResult> results(static_cast<size_t>(total));
    std::vector<char> finished(size_t(total), 0);
    int finishedCount = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> next {0};

    // One image keeps its own flush; a batch flushes its outputs together.
    std::unique_ptr<CommitGroup> group;
    if (total > 1 && !m_dryRun && !m_frames)
        group.reset(new CommitGroup);

    // Results of files committed by the group are only known after the
    // commit, possibly on another worker's thread.
    const auto collectCommitted = [&](std::unique_lock<std::mutex> &lock) {
        if (!group)
            return;
        for (auto &entry : group->takeFinished()) {
            const size_t i = size_t(entry.first);
            entry.second.addNotes(results[i].notes());
            entry.second.addWarnings(results[i].warnings());
            results[i] = std::move(entry.second);
            finished[i] = 1;
            ++finishedCount;
        }
        (void)lock;
    };

    const int workerCount = qBound(1, threadCount, total);
    int idleWorkers = 0;
    bool joined = false;

    const auto work = [&]() {
        for (int i = next++; i < total; i = next++) {
            ConvertResult result = runJob(i, group.get());
            {
                std::unique_lock<std::mutex> lock(mutex);
                const bool pending = group && result.ok();
                results[size_t(i)] = std::move(result);
                if (!pending) {
                    finished[size_t(i)] = 1;
                    ++finishedCount;
                }
                collectCommitted(lock);
            }
            changed.notify_one();
        }
        // The last jobs may wait in the group: wake the reporting loop, which
        // commits them once every worker is through.
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++idleWorkers;
        }
        changed.notify_one();
    };

    std::vector<std::thread> workers;
    workers.reserve(size_t(workerCount));
    for (int i = 0; i < workerCount; ++i)
        workers.emplace_back(work);

    // Report in plan order as soon as every job before is done. Once every
    // worker has taken its last job, what is left in the group is
    // committed here.
    int failures = 0;
    int reported = 0;
    int done = 0;
    const auto workersIdle = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return idleWorkers == workerCount;
    };
    QElapsedTimer sinceProgress;
    while (reported < total) {
        std::vector<std::pair<int, ConvertResult>> ready;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(progressInterval), [&] {
                return finishedCount > done || (!joined && idleWorkers == workerCount);
            });
            done = finishedCount;
            while (reported < total && finished[size_t(reported)]) {
                const ConvertResult &result = results[size_t(reported)];
                if (!result.ok() || !result.warnings().isEmpty()
                    || (m_verbose && !result.notes().isEmpty()))
                    ready.emplace_back(reported, result);
                ++reported;
            }
        }
        for (const auto &entry : ready) {
            const BatchPlan::Job &job = m_jobs.at(entry.first);
            if (m_verbose) {
                for (const QString &line : noteLines(job, entry.second))
                    m_console->printError(line);
            }
            // What the device will show wrongly, with or without -v.
            for (const QString &warning : entry.second.warnings()) {
                if (entry.second.ok())
                    m_console->printError(tr("brindleforge-cli: %1 -> %2: warning: %3")
                                              .arg(displayPath(job.source), displayPath(job.output),
                                                   escapeControls(warning)));
            }
            if (!entry.second.ok()) {
                m_console->printError(failureLine(job, entry.second));
                ++failures;
            }
        }
        if (!joined && next.load() >= total && reported < total && workersIdle()) {
            // Every job is taken; wait for the workers, then commit the rest.
            for (std::thread &worker : workers)
                worker.join();
            joined = true;
            if (group) {
                group->flush();
                std::unique_lock<std::mutex> lock(mutex);
                collectCommitted(lock);
            }
        }
        if (!sinceProgress.isValid() || sinceProgress.elapsed() >= progressInterval) {
            m_console->setProgress(tr("brindleforge-cli: %1 of %2 images done")
                                       .arg(QString::number(done), QString::number(total)));
            sinceProgress.start();
        }
    }
    if (!joined) {
        for (std::thread &worker : workers)
            worker.join();
    }
    m_console->clearProgress();
    m_written.assign(size_t(total), 0);
    for (int i = 0; i < total; ++i)
        m_written[size_t(i)] = results[size_t(i)].ok() ? 1 : 0;
    return failures;
}

ConvertResult BatchRunner::previewJob(int index)
{
    const BatchPlan::Job &job = m_jobs.at(index);
    const QByteArray &bytes = m_encoded[size_t(index)];
    if (bytes.isEmpty())
        return writePreview(job.output, job.preview, m_spec.chromaKey);
    const QString name = job.output == OutputFile::standardOutput()
        ? QStringLiteral("-") + outputExtension(m_spec)
        : job.output;
    QByteArray png;
    // The device's chroma key (--lv-conf) is the plan's.
    const ConvertResult made = previewPng(name, bytes, &png, m_spec.chromaKey);
    if (!made.ok())
        return ConvertResult::writeFailed(job.preview, made.detail());
    ConvertResult target;
    if (!m_dryRun) {
        target = writePreviewPng(png, job.preview);
    } else {
        target = checkPreviewTarget(job.preview);
        if (target.ok() && job.preview != OutputFile::standardOutput()
            && !inMissingFolder(job.preview))
            target = OutputFile::checkTarget(job.preview);
    }
    target.addNotes(made.notes());
    return target;
}

int BatchRunner::writePreviews(int threadCount)
{
    std::vector<int> todo;
    for (int i = 0; i < m_jobs.size(); ++i) {
        if (size_t(i) < m_written.size() && m_written[size_t(i)] && !m_jobs.at(i).preview.isEmpty())
            todo.push_back(i);
    }
    std::vector<ConvertResult> results(todo.size());
    std::atomic<size_t> next {0};
    const auto work = [&] {
        for (size_t k = next++; k < todo.size(); k = next++)
            results[k] = m_dryRun ? m_previewResults[size_t(todo[k])] : previewJob(todo[k]);
    };
    std::vector<std::thread> workers;
    const int workerCount = qBound(1, threadCount, int(qMax<size_t>(1, todo.size())));
    for (int i = 0; i < workerCount; ++i)
        workers.emplace_back(work);
    for (std::thread &worker : workers)
        worker.join();

    m_previewed.assign(size_t(m_jobs.size()), 0);
    int failures = 0;
    for (size_t k = 0; k < todo.size(); ++k) {
        const BatchPlan::Job &job = m_jobs.at(todo[k]);
        // Where the picture is only approximate (a RAW JPEG, say).
        if (m_verbose) {
            for (const QString &line : noteLines(job, results[k]))
                m_console->printError(line);
        }
        if (results[k].ok()) {
            m_previewed[size_t(todo[k])] = 1;
            continue;
        }
        m_console->printError(tr("brindleforge-cli: %1 -> %2: %3")
                                  .arg(displayPath(job.source), displayPath(job.preview),
                                       escapeControls(results[k].reason())));
        ++failures;
    }
    return failures;
}

QString BatchRunner::dryRunListing() const
{
    QString text;
    for (int i = 0; i < m_jobs.size(); ++i) {
        if (size_t(i) >= m_written.size() || !m_written[size_t(i)])
            continue;
        const BatchPlan::Job &job = m_jobs.at(i);
        text += displayPath(job.source) + QStringLiteral(" -> ") + displayPath(job.output);
        const QSize size = m_finalSizes[size_t(i)];
        if (m_frames)
            text += m_frameCounts[size_t(i)] == 1
                ? QStringLiteral(" (1 frame)")
                : QStringLiteral(" (%1 frames)").arg(m_frameCounts[size_t(i)]);
        else if (!m_transforms.isIdentity() && size.isValid())
            text += QStringLiteral(" (%1 x %2)")
                        .arg(QString::number(size.width()), QString::number(size.height()));
        text += QLatin1Char('\n');
        if (size_t(i) < m_previewed.size() && m_previewed[size_t(i)])
            text += displayPath(job.output) + QStringLiteral(" -> ") + displayPath(job.preview)
                + QLatin1Char('\n');
    }
    return text;
}

int BatchRunner::failAll(const ConvertResult &result)
{
    for (const BatchPlan::Job &job : m_jobs)
        m_console->printError(failureLine(job, result));
    return m_jobs.size();
}

QString BatchRunner::failureLine(const BatchPlan::Job &job, const ConvertResult &result)
{
    return tr("brindleforge-cli: %1 -> %2: %3")
        .arg(displayPath(job.source), displayPath(job.output), escapeControls(result.reason()));
}

QStringList BatchRunner::noteLines(const BatchPlan::Job &job, const ConvertResult &result)
{
    QStringList lines;
    for (const QString &note : result.notes()) {
        lines << tr("brindleforge-cli: %1: %2")
                     .arg(displayPath(job.source), escapeControls(note.trimmed()));
    }
    return lines;
}
