// (b) 999 HEAD checks of distinct URLs on the fixture server, started at once and polled to
// their end, against `curl --parallel --parallel-max 999 -I` over the same URLs, measured in
// the same run against the same server. Target: a ratio of 1.2 or less.
// (The curl tool itself caps --parallel-max at 300.)
#include "check.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kChecks = 999;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double checkAll(FetchRecord *records, const std::vector<std::string> &urls)
{
    auto start = Clock::now();
    for (int slot = 0; slot < kChecks; ++slot) {
        records[slot] = FetchRecord{};
        records[slot].slot = slot;
        tessel::startCheck(&records[slot], slot, urls[slot].c_str());
    }
    for (int slot = 0; slot < kChecks; ++slot)
        while (Status(&records[slot]) != 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    return seconds(Clock::now() - start);
}

void NineHundredNinetyNineChecks(benchmark::State &state)
{
    testsupport::raiseOpenFileLimit();
    testsupport::Sandbox box;
    testsupport::SiteFarm farm;
    farm.servePrefix("/hit/",
                     [](const testsupport::Request &) { return testsupport::status(200); });
    std::vector<std::string> urls;
    std::ofstream config(box.path() / "urls.cfg");
    for (int i = 0; i < kChecks; ++i) {
        urls.push_back(farm.url("/hit/" + std::to_string(i)));
        config << "url = \"" << urls.back() << "\"\n";
    }
    config.close();
    std::string curl = "curl --parallel --parallel-max 999 -I -s -o /dev/null -K " +
                       (box.path() / "urls.cfg").string() + " > /dev/null";
    auto records = std::make_unique<FetchRecord[]>(kChecks);
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        double mine = checkAll(records.get(), urls);
        ours += mine;
        for (int slot = 0; slot < kChecks; ++slot)
            if (records[slot].status != 200)
                state.SkipWithError("a check failed");
        auto start = Clock::now();
        if (std::system(curl.c_str()) != 0)
            state.SkipWithError("curl failed (is it installed?)");
        theirs += seconds(Clock::now() - start);
        state.SetIterationTime(mine);
    }
    state.counters["checks_ms"] = ours * 1000 / static_cast<double>(state.iterations());
    state.counters["curl_ms"] = theirs * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours / theirs;
}

} // namespace

BENCHMARK(NineHundredNinetyNineChecks)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
