#ifndef BENCHREPORTER_H
#define BENCHREPORTER_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// The rates of one benchmark, for the tables the programs print at the end.
struct Rates
{
    double bytesPerSecond = 0;
    double pixelsPerSecond = 0;
    double secondsPerIteration = 0;
    std::map<std::string, double> counters; // the benchmark's own counters
    bool fromMedian = false;
};

// Prints the usual console report and keeps the rates of every benchmark
// for the closing table. With --benchmark_repetitions the median is kept.
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    explicit CollectingReporter(OutputOptions options)
        : benchmark::ConsoleReporter(options)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            Rates &rates = m_rates[run.run_name.function_name];
            if (rates.fromMedian && !median)
                continue;
            rates.bytesPerSecond = counter(run, "bytes_per_second");
            rates.pixelsPerSecond = counter(run, "items_per_second");
            rates.secondsPerIteration =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            for (const auto &entry : run.counters)
                rates.counters[entry.first] = entry.second.value;
            rates.fromMedian = median;
        }
    }

    const Rates *find(const std::string &name) const
    {
        const auto it = m_rates.find(name);
        return it == m_rates.end() ? nullptr : &it->second;
    }

private:
    static double counter(const Run &run, const char *name)
    {
        const auto it = run.counters.find(name);
        return it == run.counters.end() ? 0.0 : it->second.value;
    }

    std::map<std::string, Rates> m_rates;
};

#endif // BENCHREPORTER_H
