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
#include "core/historystore.h"
#include "sandbox.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

constexpr int kRuns = 200;
constexpr int kHits = 1000;

const QStringList kWords = {
    QStringLiteral("天気予報"), QStringLiteral("東京"),     QStringLiteral("大阪"),
    QStringLiteral("観光"),     QStringLiteral("ニュース"), QStringLiteral("経済"),
    QStringLiteral("スポーツ"), QStringLiteral("レシピ"),   QStringLiteral("料理"),
    QStringLiteral("旅行"),     QStringLiteral("温泉"),     QStringLiteral("映画"),
    QStringLiteral("音楽"),     QStringLiteral("ゲーム"),   QStringLiteral("株価"),
    QStringLiteral("選挙"),     QStringLiteral("地震"),     QStringLiteral("台風"),
    QStringLiteral("の"),       QStringLiteral("と"),       QStringLiteral("について"),
    QStringLiteral("まとめ"),   QStringLiteral("最新"),     QStringLiteral("情報")};

QString phrase(std::mt19937 &random, int words)
{
    QString text;
    for (int i = 0; i < words; ++i)
        text += kWords[qsizetype(random() % kWords.size())];
    return text;
}

HistoryRun makeRun(std::mt19937 &random, int number)
{
    HistoryRun run;
    run.time = QDateTime::fromSecsSinceEpoch(1700000000 + 3600LL * number);
    run.topic = QStringLiteral("ニュース");
    run.keywords = phrase(random, 2);
    for (int s = 0; s < 20; ++s)
        run.outcomes.push_back(
            {QStringLiteral("site%1").arg(s), 1, 0, QStringLiteral("見つかりました"), s == 7});
    for (int i = 1; i <= kHits; ++i) {
        HistoryHit hit;
        hit.rank = i;
        hit.title = phrase(random, 4) + QStringLiteral(" - site%1").arg(i % 20);
        hit.url = QStringLiteral("https://www%1.example.jp/%2/%3.html")
                      .arg(random() % 5000)
                      .arg(random() % 100000)
                      .arg(i);
        hit.preview = phrase(random, 24);
        hit.date = QStringLiteral("2024/05/%1").arg(i % 28 + 1);
        hit.site = QStringLiteral("site%1").arg(i % 20);
        run.hits.push_back(hit);
    }
    return run;
}

// The filled file, made on first use and shared by every benchmark.
struct Filled {
    testsupport::Sandbox sandbox;
    QString path = QString::fromStdString((sandbox.path() / "history.sqlite3").string());
    std::mt19937 random{25};
    int stored = 0;

    Filled()
    {
        HistoryStore store;
        if (!store.open(path))
            return;
        for (; stored < kRuns; ++stored)
            if (!store.storeRun(makeRun(random, stored)))
                return;
    }
};

Filled &filled()
{
    static Filled f;
    return f;
}

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
