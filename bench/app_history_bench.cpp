// The 履歴 window's side of the history at its bound (200 runs of 1000 hits):
//   OpenWindow       what opening the window reads: the file opened, the runs and watches
//                    listed into the window's model, the first screen of lines read
//   SearchBox/…      a search typed into the window's box, its hits into the window's model
//   StoreFromWindow  what a finished search costs the window's thread: handing the run to
//                    the writer (the writing itself is timed apart, on the writer's thread)
// Target: opening and a search each under 100 ms; storing never stalls the window.
#include "history/historymodels.h"
#include "history/historywriter.h"
#include "historyfill.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

namespace {

using namespace historyfill;

bool ready(benchmark::State &state)
{
    if (filled().stored >= kRuns)
        return true;
    state.SkipWithError("the history could not be filled");
    return false;
}

void OpenWindow(benchmark::State &state)
{
    if (!ready(state))
        return;
    for (auto _ : state) {
        HistoryStore store;
        store.open(filled().path);
        HistoryRunsModel runs;
        runs.setRuns(store.runs().value(), store.watches().value());
        for (int r = 0; r < 30; ++r)
            for (int c = 0; c < runs.columnCount(); ++c)
                benchmark::DoNotOptimize(runs.index(r, c).data());
    }
}

void SearchBox(benchmark::State &state, const char *text)
{
    HistoryStore store;
    if (!ready(state) || !store.open(filled().path))
        return;
    const QString query = QString::fromUtf8(text);
    HistoryMatchesModel matches;
    for (auto _ : state) {
        matches.setMatches(store.search(query).value());
        for (int r = 0; r < std::min(30, matches.rowCount()); ++r)
            benchmark::DoNotOptimize(matches.index(r, 2).data());
    }
    state.counters["found"] = double(matches.rowCount());
}

void StoreFromWindow(benchmark::State &state)
{
    if (!ready(state))
        return;
    HistoryWriter writer(filled().path);
    QSignalSpy stored(&writer, &HistoryWriter::stored);
    double writing = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HistoryRun run = makeRun(filled().random, filled().stored++);
        state.ResumeTiming();
        writer.store(std::move(run), kRuns);
        state.PauseTiming();
        QElapsedTimer clock;
        clock.start();
        if (!stored.wait(30000))
            state.SkipWithError("the writer did not answer");
        writing += double(clock.elapsed());
        state.ResumeTiming();
    }
    state.counters["writer_ms"] = writing / double(state.iterations());
}

} // namespace

BENCHMARK(OpenWindow)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchBox, long_word, "天気予報東京")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchBox, two_characters, "温泉")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchBox, one_character, "の")->Unit(benchmark::kMillisecond);
BENCHMARK(StoreFromWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
