// A console reporter that also keeps each benchmark's MB/s, for the ratio tables the
// extraction benchmarks print after the runs.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class Throughput : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            const auto found = r.counters.find("bytes_per_second");
            if (found != r.counters.end())
                mbps[r.benchmark_name()] = found->second.value / 1e6;
        }
    }
    std::map<std::string, double> mbps;
};
