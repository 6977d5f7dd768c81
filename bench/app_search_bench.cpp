// Whole-run figures of the search driver, each against a peer measured in the same run:
//   SearchVsPages   50 sites answering after 200 ms, two pages a site to reach LimitLink 10:
//                   Enter to "終了しました。" against the library fetching the same pages alone
//                   (counter "ratio", target <= 1.10).
//   StalledRunCpu   a 10 s run over 50 sites that never answer: processor time of the whole
//                   program (window, driver and library threads) per second of run (counter
//                   "cpu_percent", target <= 1), without (arg 0) and with (arg 1) the Searching
//                   window. The stalling server runs in a child process, since its own waits
//                   would count otherwise. Offscreen unless a display is given: run under
//                   xvfb-run the windows are drawn as a user's are (counter "x_display" 1).
//   StreamStall     999 hits streaming into the list: the longest gap between two ticks of a
//                   1 ms timer on the user-interface thread (counter "max_stall_ms",
//                   target <= 20), with the list unsorted (arg 0) and sorted by title (1);
//                   merged, sites sharing half their pages under other spellings of the
//                   addresses, unsorted (2) and sorted by rank (3). On a loaded machine a
//                   stall includes waiting for a processor; "max_busy_ms" is the most
//                   processor time the interface thread itself spent between two ticks.
#include "../tests/app/runfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QThread>

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <numeric>

using namespace runfixture;

namespace {

// "s1", "h7" ...: a generated site's name.
std::string numbered(const char *prefix, int k)
{
    std::string name = prefix;
    name += std::to_string(k);
    return name;
}

double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// A stage without QtTest's checks: catalogue, topic of every site, main window.
struct BenchStage {
    Session session;
    testsupport::Sandbox sandbox;
    testsupport::SiteFarm farm;
    std::unique_ptr<Form1> form;
    std::vector<Site> sites;

    // The sites live on the stage's farm, or on another server whose addresses url() makes.
    void open(std::function<std::string(const std::string &)> url = {})
    {
        if (!url)
            url = [this](const std::string &path) { return farm.url(path); };
        std::vector<std::string> members;
        for (const Site &s : sites)
            members.push_back(s.name);
        sandbox.write("sitelist.dat", packCatalogue(catalogueText(url, sites)));
        LoadSiteInfo(session);
        LoadTopicsFrom(session, topicsBytes(url, {{"bench", members}}));
        session.settings.iTopic = 0;
        msgbox::setAutoAnswer(true);
        form = std::make_unique<Form1>(session);
        form->Form_Load(0);
    }

    // Enter in the keyword box; returns when the run is over, having run the event loop
    // meanwhile as the program does.
    void search()
    {
        form->Word->setText(QStringLiteral("abc"));
        QEventLoop loop;
        QObject::connect(&session.run, &RunController::settled, &loop, &QEventLoop::quit);
        QTest::keyClick(form->Word, Qt::Key_Return);
        if (session.run.busy())
            loop.exec();
    }
};

testsupport::SearchSite generated(int total, int perPage, std::chrono::milliseconds delay)
{
    testsupport::SearchSite site;
    site.totalHits = total;
    site.hitsPerPage = perPage;
    site.delay = delay;
    return site;
}

// The peer: the library alone fetches page 0 of every site, and page 1 of each as soon as
// its page 0 is in, polling with 1 ms sleeps; no window, no list.
double pagesAlone(BenchStage &stage)
{
    static FetchRecord records[50];
    static char request[TESSEL_REQUEST_SIZE];
    const int n = int(stage.sites.size());
    QElapsedTimer clock;
    clock.start();
    InitResult();
    for (int i = 0; i < n; ++i) {
        records[i] = FetchRecord{0, i, i, 0, 0, 0};
        iForm(i, 0, 0, "abc", request);
        iGet(&records[i], request);
    }
    int pending = n * 2;
    std::vector<int> page(n, 0);
    while (pending > 0) {
        for (int i = 0; i < n; ++i) {
            if (page[i] > 1 || Status(&records[i]) != 0)
                continue;
            iParse(i, 10);
            --pending;
            if (++page[i] == 1) {
                records[i].page = 1;
                iForm(i, 0, 1, "abc", request);
                iGet(&records[i], request);
            }
        }
        QThread::msleep(1);
    }
    return clock.nsecsElapsed() / 1e9;
}

void SearchVsPages(benchmark::State &state)
{
    BenchStage stage;
    for (int k = 1; k <= 50; ++k) {
        const std::string name = numbered("s", k);
        stage.farm.serveSearch("/" + name + "/search",
                               generated(50, 5, std::chrono::milliseconds(200)));
        stage.sites.push_back({name, "日本語", "/" + name + "/search", "AND OR", false, 5});
    }
    stage.open();
    stage.session.settings.LimitLink = 10;
    double run = 0, peer = 0;
    for (auto _ : state) {
        peer += pagesAlone(stage);
        QElapsedTimer clock;
        clock.start();
        stage.search();
        const double once = clock.nsecsElapsed() / 1e9;
        run += once;
        if (!stage.form->statusText().startsWith(QStringLiteral("終了しました。")) ||
            stage.session.run.HitCount != 500)
            state.SkipWithError("the run did not end with 500 hits");
        state.SetIterationTime(once);
    }
    run /= double(state.iterations());
    peer /= double(state.iterations());
    state.counters["run_s"] = run;
    state.counters["pages_alone_s"] = peer;
    state.counters["ratio"] = run / peer;
}

// A server in a child process whose every path stalls; returns its port.
int stallingServer(pid_t &child)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return 0;
    child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        testsupport::SiteFarm farm;
        farm.servePrefix("/", [](const testsupport::Request &) {
            return testsupport::page("").withFault(testsupport::Fault::StallBeforeHeaders);
        });
        const int port = farm.port();
        if (write(pipeEnds[1], &port, sizeof port) != sizeof port)
            _exit(1);
        close(pipeEnds[1]);
        for (;;)
            pause();
    }
    close(pipeEnds[1]);
    int port = 0;
    if (read(pipeEnds[0], &port, sizeof port) != sizeof port)
        port = 0;
    close(pipeEnds[0]);
    return port;
}

void StalledRunCpu(benchmark::State &state)
{
    pid_t child = 0;
    const int port = stallingServer(child);
    if (port == 0) {
        state.SkipWithError("no stalling server");
        return;
    }
    BenchStage stage;
    for (int k = 1; k <= 50; ++k) {
        const std::string name = numbered("h", k);
        stage.sites.push_back({name, "日本語", "/" + name + "/search"});
    }
    stage.open([port](const std::string &path) {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    });
    stage.session.settings.LimitTime = 10;
    stage.session.settings.ShowSearching = int32_t(state.range(0));
    double percent = 0, mainPercent = 0;
    for (auto _ : state) {
        const double cpu = cpuSeconds();
        const double mainCpu = cpuSeconds(RUSAGE_THREAD);
        QElapsedTimer clock;
        clock.start();
        stage.search();
        const double wall = clock.nsecsElapsed() / 1e9;
        percent = 100.0 * (cpuSeconds() - cpu) / wall;
        mainPercent = 100.0 * (cpuSeconds(RUSAGE_THREAD) - mainCpu) / wall;
        state.SetIterationTime(wall);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    state.counters["cpu_percent"] = percent;
    state.counters["ui_thread_percent"] = mainPercent;
    state.counters["x_display"] = QGuiApplication::platformName() == QLatin1String("xcb");
}

// Processor time of the calling thread, in milliseconds, to the nanosecond.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Result pages of 100 hits from 400 pages, site k's shifted by 50 k: a first page shares
// each hit with a neighbouring site, one of the two writing its address with https, "www.",
// a trailing "/" and a tracking parameter. Nothing fetches those addresses.
testsupport::Handler sharedPages(const testsupport::SiteFarm &farm, int k)
{
    const std::string port = std::to_string(farm.port());
    return [port, k](const testsupport::Request &request) {
        const int first = std::max(1, std::atoi(request.param("p").c_str()));
        std::vector<std::string> urls;
        for (int n = first; n < first + 100 && n <= 400; ++n) {
            const std::string page = "/shared/doc/" + std::to_string(n + 50 * k);
            urls.push_back(k % 2 == 0 ? "http://127.0.0.1:" + port + page
                                      : "https://www.127.0.0.1:" + port + page + "/?utm_source=b" +
                                            std::to_string(k));
        }
        return testsupport::page(resultPage(urls, "shared page"));
    };
}

void StreamStall(benchmark::State &state)
{
    BenchStage stage;
    const bool sorted = state.range(0) % 2 != 0;
    const bool merged = state.range(0) >= 2;
    for (int k = 1; k <= 12; ++k) {
        const std::string name = numbered("b", k);
        if (merged)
            stage.farm.serve("/" + name + "/search", sharedPages(stage.farm, k));
        else
            stage.farm.serveSearch("/" + name + "/search",
                                   generated(400, 100, std::chrono::milliseconds(0)));
        stage.sites.push_back({name, "日本語", "/" + name + "/search", "AND OR", false, 100});
    }
    stage.open();
    stage.session.settings.LimitLink = 1000;
    stage.session.settings.AutoCheck = 0; // the shared addresses are no loopback ones
    // The list's sort and merging outlast a search, as a user's do.
    stage.form->Init_LVResult();
    stage.form->setMerging(merged);
    if (merged && sorted)
        stage.form->sortByRank();
    else if (sorted)
        qobject_cast<HitSortProxy *>(stage.form->LView->model())
            ->sortByColumn(0, Qt::AscendingOrder);
    double worst = 0, busiest = 0;
    for (auto _ : state) {
        QElapsedTimer gap;
        double longest = 0, busy = 0, cpuAtTick = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const double cpu = threadCpuMs();
            if (stage.session.run.RunState == kRunSearch && gap.isValid()) {
                longest = std::max(longest, gap.nsecsElapsed() / 1e6);
                busy = std::max(busy, cpu - cpuAtTick);
            }
            cpuAtTick = cpu;
            gap.start();
        });
        ticker.start(1);
        QElapsedTimer clock;
        clock.start();
        stage.search();
        ticker.stop();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        // Merged, the store fills before the list: the hits that arrived are what counts.
        const RunController &run = stage.session.run;
        const int arrived = std::accumulate(run.SiteHits, run.SiteHits + run.SearchSlots, 0);
        if (merged ? arrived < 999 || run.HitCount >= arrived : run.HitCount != 999)
            state.SkipWithError("the list did not fill");
        state.counters["rows"] = run.HitCount;
        worst = std::max(worst, longest);
        busiest = std::max(busiest, busy);
    }
    state.counters["max_stall_ms"] = worst;
    state.counters["max_busy_ms"] = busiest;
}

} // namespace

BENCHMARK(SearchVsPages)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(StalledRunCpu)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StreamStall)
    ->DenseRange(0, 3)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // A display given (xvfb-run) is used, so the windows are drawn as on a desktop.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
