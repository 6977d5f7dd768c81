// (c) Cancel latency, median and worst, of Kill, ExitCheck and Exit_iDown in every stage a
// transfer can hang in: name lookup, connect to a port that never answers, TLS handshake,
// waiting for headers, a body stalled half-way and a drip-fed body. The target is 100 ms in
// every stage. Everything runs against loopback; host names under .stall.test hang in the
// test resolver (tests/support/fakedns.h) until released.
#include "check.h"
#include "fakedns.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Places {
    testsupport::SiteFarm farm;
    testsupport::Tarpit tarpit;
    testsupport::SilentPort silent;
    testsupport::Sandbox box;
    Places()
    {
        std::string body(400000, 'b');
        farm.serve("/hang",
                   testsupport::page(body).withFault(testsupport::Fault::StallBeforeHeaders));
        farm.serve("/half",
                   testsupport::page(body).withFault(testsupport::Fault::StallMidBody, 100000));
        farm.serve("/drip", testsupport::page(body).withDrip(100, 10ms));
    }
    std::string pit() const { return "127.0.0.1:" + std::to_string(tarpit.port()); }
    std::string tls() const { return "https://127.0.0.1:" + std::to_string(silent.port()) + "/"; }
};

Places *places;

int32_t read(int32_t &field)
{
    return std::atomic_ref<int32_t>(field).load();
}

enum class Kind { Fetch, Check, Download };

struct Stage {
    const char *name;
    Kind kind;
    std::function<std::string()> url;
    // When the transfer is surely in the stage; null: after a short settling time.
    std::function<bool(int32_t *bytes, size_t requestsBefore)> reached;
};

bool lookupHangs(int32_t *, size_t)
{
    return testsupport::stalledLookups() > 0;
}
bool requested(int32_t *, size_t before)
{
    return places->farm.requestCount() > before;
}
bool receiving(int32_t *bytes, size_t)
{
    return read(*bytes) > 0;
}
bool helloSent(int32_t *, size_t)
{
    return places->silent.clientSpoke();
}

void Cancel(benchmark::State &state, const Stage &stage)
{
    std::vector<double> latencies;
    FetchRecord record{};
    DownloadRecord download{};
    std::string target = (places->box.path() / "file.bin").string();
    for (auto _ : state) {
        std::string url = stage.url();
        size_t before = places->farm.requestCount();
        record = FetchRecord{};
        record.slot = 0;
        int32_t *bytes = &record.bytes;
        switch (stage.kind) {
        case Kind::Fetch:
            iGet(&record, url.c_str());
            break;
        case Kind::Check:
            tessel::startCheck(&record, 0, url.c_str());
            break;
        case Kind::Download:
            iDown(&download, url.c_str(), target.c_str());
            bytes = &download.bytes;
            break;
        }
        auto since = Clock::now();
        while (stage.reached ? !stage.reached(bytes, before) : Clock::now() - since < 30ms) {
            if (Clock::now() - since > 10s) {
                state.SkipWithError("the stage was never reached");
                break;
            }
            std::this_thread::sleep_for(200us);
        }
        auto start = Clock::now();
        switch (stage.kind) {
        case Kind::Fetch:
            Kill(&record);
            break;
        case Kind::Check:
            ExitCheck(&record);
            break;
        case Kind::Download:
            Exit_iDown(&download);
            break;
        }
        double took = std::chrono::duration<double>(Clock::now() - start).count();
        places->silent.hangUp();
        latencies.push_back(took);
        state.SetIterationTime(took);
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = latencies[latencies.size() / 2] * 1e6;
    state.counters["worst_us"] = latencies.back() * 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    Places shared;
    places = &shared;
    testsupport::holdStalledNames();
    auto farm = [](const char *path) { return [path] { return places->farm.url(path); }; };
    auto post = [](const char *path) {
        return [path] {
            return "post://127.0.0.1:" + std::to_string(places->farm.port()) + path + "?a=1";
        };
    };
    auto pit = [] { return "http://" + places->pit() + "/"; };
    auto lookup = [] { return std::string("http://site.stall.test/"); };
    auto tls = [] { return places->tls(); };
    const std::vector<Stage> stages = {
        {"Kill/name_lookup", Kind::Fetch, lookup, lookupHangs},
        {"Kill/connect", Kind::Fetch, pit, nullptr},
        {"Kill/tls", Kind::Fetch, tls, helloSent},
        {"Kill/headers", Kind::Fetch, farm("/hang"), requested},
        {"Kill/mid_body", Kind::Fetch, farm("/half"), receiving},
        {"Kill/drip_body", Kind::Fetch, farm("/drip"), receiving},
        {"Kill/post_connect", Kind::Fetch, [] { return "post://" + places->pit() + "/x?a=1"; },
         nullptr},
        {"Kill/post_answer", Kind::Fetch, post("/hang"), requested},
        {"ExitCheck/name_lookup", Kind::Check, lookup, lookupHangs},
        {"ExitCheck/connect", Kind::Check, pit, nullptr},
        {"ExitCheck/tls", Kind::Check, tls, helloSent},
        {"ExitCheck/status_line", Kind::Check, farm("/hang"), requested},
        {"Exit_iDown/name_lookup", Kind::Download, lookup, lookupHangs},
        {"Exit_iDown/connect", Kind::Download, pit, nullptr},
        {"Exit_iDown/headers", Kind::Download, farm("/hang"), requested},
        {"Exit_iDown/mid_body", Kind::Download, farm("/half"), receiving},
        {"Exit_iDown/drip_body", Kind::Download, farm("/drip"), receiving},
    };
    for (const Stage &stage : stages)
        benchmark::RegisterBenchmark(stage.name, Cancel, stage)
            ->Iterations(30)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    testsupport::releaseStalledNames();
    return 0;
}
