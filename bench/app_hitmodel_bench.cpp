// The hit model under a streaming search, without the network:
//   MergeStream   999 hits of 12 sites arrive a page of 10 at a time, every event-loop turn,
//                 into a HitListModel with merging on, through the sort proxy, shown in a
//                 tree view. Many pages are found by several sites under variant URLs, so a
//                 third of the hits merge into rows already listed. Counters: the longest gap
//                 between two ticks of a 1 ms timer ("max_stall_ms", target <= 20), the most
//                 processor time the thread spent between two ticks ("max_busy_ms": the stall
//                 without what other programs on a loaded machine take), the longest single
//                 page's append ("max_append_ms"), the rows and merged hits at the end.
//                 First argument 0: sorted by rank (おすすめ順), 1: by the date column, 2:
//                 unsorted; second argument 1 with the view shown (painting each turn: the
//                 text layout of a screenful of rows), 0 model and proxy alone.
#include "core/hitlistmodel.h"
#include "core/hitsort.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>

#include <benchmark/benchmark.h>
#include <time.h>

#include <random>

namespace {

// Processor time of the calling thread: unlike the clock it does not count the time other
// programs on a busy machine take the processor away.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The hits in the order a search over 12 sites delivers them, a page of 10 at a time.
QList<QList<Hit>> searchPages()
{
    std::mt19937 random(24);
    const QStringList spellings = {"https://www.", "http://", "https://", "https://"};
    QList<QList<Hit>> pages;
    int32_t index = 0;
    for (int page = 0; index < 999; ++page) {
        for (int site = 0; site < 12 && index < 999; ++site) {
            QList<Hit> hits;
            for (int k = 0; k < 10 && index < 999; ++k, ++index) {
                const int doc = int(random() % 650);
                Hit h;
                h.index = index;
                h.site = QStringLiteral("site %1").arg(site);
                h.url = spellings[random() % spellings.size()] +
                        QStringLiteral("host%1.example/doc/%2").arg(doc % 40).arg(doc) +
                        (random() % 3 == 0 ? QStringLiteral("/?utm_source=s") : QString());
                h.title = QStringLiteral("Document %1 about the keywords").arg(doc) +
                          QString(int(random() % 20), u'.');
                h.preview = QStringLiteral("A preview of document %1 ").repeated(4).arg(doc);
                h.date = QStringLiteral("2024年%1月%2日").arg(1 + doc % 12).arg(1 + doc % 28);
                h.size = QStringLiteral("%1 KB").arg(doc * 7 % 900);
                h.score = QStringLiteral("%1%").arg(doc % 100);
                hits.append(h);
            }
            pages.append(hits);
        }
    }
    return pages;
}

void MergeStream(benchmark::State &state)
{
    const QList<QList<Hit>> pages = searchPages();
    double worstStall = 0;
    double worstBusy = 0;
    double worstAppend = 0;
    int rows = 0;
    int merged = 0;
    for (auto _ : state) {
        HitListModel model;
        model.setMerging(true);
        HitSortProxy proxy;
        proxy.setSourceModel(&model);
        if (state.range(0) == 0)
            proxy.sortByRank();
        else if (state.range(0) == 1)
            proxy.sortByColumn(HitListModel::Date, Qt::DescendingOrder);
        QTreeView view;
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setModel(&proxy);
        view.resize(1000, 600);
        if (state.range(1) != 0)
            view.show();
        // The first paint loads fonts and glyphs once per program: not part of the stream.
        {
            QEventLoop shown;
            QTimer::singleShot(100, &shown, &QEventLoop::quit);
            shown.exec();
        }

        double longestGap = 0;
        double busiestGap = 0;
        double longestAppend = 0;
        QElapsedTimer gap;
        double cpuBefore = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const double cpu = threadCpuMs();
            if (gap.isValid()) {
                longestGap = std::max(longestGap, gap.nsecsElapsed() / 1e6);
                busiestGap = std::max(busiestGap, cpu - cpuBefore);
            }
            cpuBefore = cpu;
            gap.start();
        });
        qsizetype next = 0;
        QEventLoop loop;
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            QElapsedTimer append;
            append.start();
            model.append(pages[next++]);
            longestAppend = std::max(longestAppend, append.nsecsElapsed() / 1e6);
            if (next == pages.size()) {
                feeder.stop();
                // One more turn, so the last page is painted too.
                QTimer::singleShot(50, &loop, &QEventLoop::quit);
            }
        });
        QElapsedTimer clock;
        clock.start();
        ticker.start(1);
        feeder.start(0);
        loop.exec();
        ticker.stop();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        worstStall = std::max(worstStall, longestGap);
        worstBusy = std::max(worstBusy, busiestGap);
        worstAppend = std::max(worstAppend, longestAppend);
        rows = model.rowCount();
        merged = model.mergedCount();
    }
    state.counters["max_stall_ms"] = worstStall;
    state.counters["max_busy_ms"] = worstBusy;
    state.counters["max_append_ms"] = worstAppend;
    state.counters["rows"] = rows;
    state.counters["merged"] = merged;
}

} // namespace

BENCHMARK(MergeStream)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
