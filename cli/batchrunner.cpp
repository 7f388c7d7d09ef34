#include "batchrunner.h"

#include "console.h"

#include <converter.h>

#include <QDir>
#include <QElapsedTimer>

#include <atomic>
#include <condition_variable>
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

BatchRunner::BatchRunner(const QVector<BatchPlan::Job> &jobs, OutputFormat output,
                         ColorFormat color, const QString &symbol, Console *console)
    : m_jobs(jobs)
    , m_output(output)
    , m_color(color)
    , m_symbol(symbol)
    , m_console(console)
{
}

int BatchRunner::run(int threadCount)
{
    const int total = m_jobs.size();
    std::vector<ConvertResult> results(static_cast<size_t>(total));
    std::vector<char> finished(size_t(total), 0);
    int finishedCount = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> next {0};

    const auto work = [&]() {
        for (int i = next++; i < total; i = next++) {
            const BatchPlan::Job &job = m_jobs.at(i);
            ConvertResult result = convertFile(job.source, m_output, m_color, job.output, m_symbol);
            {
                std::lock_guard<std::mutex> lock(mutex);
                results[size_t(i)] = std::move(result);
                finished[size_t(i)] = 1;
                ++finishedCount;
            }
            changed.notify_one();
        }
    };

    std::vector<std::thread> workers;
    const int workerCount = qBound(1, threadCount, total);
    workers.reserve(size_t(workerCount));
    for (int i = 0; i < workerCount; ++i)
        workers.emplace_back(work);

    // Report failures in plan order as soon as every job before them is done.
    int failures = 0;
    int reported = 0;
    int done = 0;
    QElapsedTimer sinceProgress;
    while (reported < total) {
        std::vector<std::pair<int, ConvertResult>> ready;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return finishedCount > done; });
            done = finishedCount;
            while (reported < total && finished[size_t(reported)]) {
                if (!results[size_t(reported)].ok())
                    ready.emplace_back(reported, results[size_t(reported)]);
                ++reported;
            }
        }
        for (const auto &entry : ready)
            m_console->printError(failureLine(m_jobs.at(entry.first), entry.second));
        failures += int(ready.size());
        if (!sinceProgress.isValid() || sinceProgress.elapsed() >= progressInterval) {
            m_console->setProgress(tr("brindleforge-cli: %1 of %2 images done")
                                       .arg(QString::number(done), QString::number(total)));
            sinceProgress.start();
        }
    }
    for (std::thread &worker : workers)
        worker.join();
    m_console->clearProgress();
    return failures;
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
        .arg(QDir::toNativeSeparators(job.source), QDir::toNativeSeparators(job.output),
             result.reason());
}
