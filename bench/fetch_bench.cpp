// (a) Fifty fetches at once of 100 KB pages that the fixture server answers after 200 ms:
// the whole time against the slowest of the same fetches run one at a time, measured in the
// same run. Perfect concurrency gives 1.0; fetches that queue behind each other give up to 50.
// Target: 1.05 or less. For scale it also times the curl tool fetching the same fifty pages
// with --parallel --parallel-immediate against the same server.
#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFetches = TESSEL_PAGE_SLOTS;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Starts the fetches on the slots and polls, as the search driver does, until all have ended.
double fetchAll(FetchRecord *records, int count, const std::string &url)
{
    auto start = Clock::now();
    for (int slot = 0; slot < count; ++slot) {
        records[slot] = FetchRecord{};
        records[slot].slot = slot;
        iGet(&records[slot], url.c_str());
    }
    for (int slot = 0; slot < count; ++slot)
        while (Status(&records[slot]) != 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    return seconds(Clock::now() - start);
}

void FiftyConcurrentFetches(benchmark::State &state)
{
    testsupport::SiteFarm farm;
    farm.serve(
        "/page",
        testsupport::page(std::string(100 * 1024, 'p')).withDelay(std::chrono::milliseconds(200)));
    std::string url = farm.url("/page");
    testsupport::Sandbox box;
    std::ofstream config(box.path() / "urls.cfg");
    for (int i = 0; i < kFetches; ++i)
        config << "url = \"" << url << "?n=" << i << "\"\noutput = \"/dev/null\"\n";
    config.close();
    std::string curl = "curl -s --parallel --parallel-immediate --parallel-max 50 -K " +
                       (box.path() / "urls.cfg").string();
    FetchRecord records[kFetches];
    double slowestSingles = 0, wholes = 0, tool = 0;
    for (auto _ : state) {
        double slowestSingle = 0;
        for (int i = 0; i < kFetches; ++i)
            slowestSingle = std::max(slowestSingle, fetchAll(records, 1, url));
        double whole = fetchAll(records, kFetches, url);
        for (const FetchRecord &r : records)
            if (r.status != -20 || r.bytes != 100 * 1024)
                state.SkipWithError("a fetch failed");
        slowestSingles += slowestSingle;
        wholes += whole;
        state.SetIterationTime(whole);
        auto start = Clock::now();
        if (std::system(curl.c_str()) != 0)
            state.SkipWithError("curl failed (is it installed?)");
        tool += seconds(Clock::now() - start);
    }
    auto runs = static_cast<double>(state.iterations());
    state.counters["whole_ms"] = wholes * 1000 / runs;
    state.counters["slowest_single_ms"] = slowestSingles * 1000 / runs;
    state.counters["ratio"] = wholes / slowestSingles;
    state.counters["curl_tool_ms"] = tool * 1000 / runs;
}

} // namespace

BENCHMARK(FiftyConcurrentFetches)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
