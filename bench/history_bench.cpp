// The search history at its bound: 200 stored runs of 1000 hits each (Japanese titles and
// previews, varied URLs), in a sandbox file made once. Targets: listing the runs (the history
// window opening) and a full-text search each under 100 ms.
//   Open          opening the file and listing its runs, as the window does
//   ListRuns      listing the runs on an open store
//   LoadRun       one run's 1000 hits, as opening a past run shows them
//   Search/…      through the trigram index: a word of three or more characters, one in
//                 every URL, a two-character Japanese word, two of them, and one no hit has;
//                 by reading the hits: a single common character, and one no hit has (the
//                 worst case: every hit read)
//   StoreRun      one more run of 1000 hits, the earliest dropped to stay at 200
//   Clear         clearing the whole history
#include "historyfill.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace historyfill;

bool ready(benchmark::State &state, HistoryStore &store)
{
    if (filled().stored >= kRuns && store.open(filled().path))
        return true;
    state.SkipWithError("the history could not be filled");
    return false;
}

void Open(benchmark::State &state)
{
    HistoryStore probe;
    if (!ready(state, probe))
        return;
    probe.close();
    for (auto _ : state) {
        HistoryStore store;
        store.open(filled().path);
        benchmark::DoNotOptimize(store.runs()->size());
    }
}

void ListRuns(benchmark::State &state)
{
    HistoryStore store;
    if (!ready(state, store))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.runs()->size());
}

void LoadRun(benchmark::State &state)
{
    HistoryStore store;
    if (!ready(state, store))
        return;
    const qint64 id = store.runs()->at(kRuns / 2).id;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.loadRun(id)->hits.size());
}

void Search(benchmark::State &state, const char *text)
{
    HistoryStore store;
    if (!ready(state, store))
        return;
    const QString query = QString::fromUtf8(text);
    size_t found = 0;
    for (auto _ : state)
        found = store.search(query)->size();
    state.counters["found"] = double(found);
}

void StoreRun(benchmark::State &state)
{
    HistoryStore store;
    if (!ready(state, store))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        const HistoryRun run = makeRun(filled().random, filled().stored++);
        state.ResumeTiming();
        benchmark::DoNotOptimize(store.storeRun(run).has_value());
    }
}

// Last: it empties the file.
void Clear(benchmark::State &state)
{
    HistoryStore store;
    if (!ready(state, store))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.clear());
}

} // namespace

BENCHMARK(Open)->Unit(benchmark::kMillisecond);
BENCHMARK(ListRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadRun)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, long_word, "天気予報東京")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, in_every_url, "example")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, two_characters, "温泉")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, two_words, "温泉 観光")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, two_characters_nowhere, "ゑゐ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, one_character, "の")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, one_character_nowhere, "ゑ")->Unit(benchmark::kMillisecond);
BENCHMARK(StoreRun)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(Clear)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
