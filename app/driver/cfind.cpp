// The run driver: its tables, the start of a search, the polling loop and the stop.
#include "driver/cfind.h"

#include "common/encoding.h"
#include "common/pause.h"
#include "common/runhooks.h"
#include "common/text.h"
#include "driver/check.h"
#include "driver/searchrun.h"
#include "mainwindow/form1.h"
#include "mainwindow/msgform.h"
#include "settings/settings.h"
#include "settings/startup.h"
#include "topics/topicstore.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>

int32_t RunState = kRunIdle;
int32_t StopFlag = 0;
FetchRecord FetchRecords[kRunTables];
int32_t SlotBusy[kRunTables];
int32_t SiteHits[kRunTables];
int32_t SlotRow[kRunTables];
int32_t SlotCount = 0;
int32_t ActiveCount = 0;
int32_t HitCount = 0;
int32_t HitOrder[kRunTables];
int32_t LinkState[kRunTables];
double RunStart = 0;
int32_t RunLimit = 0;
int32_t ElapsedTicks = 0;
QString StatusText;

// Kind of the current or last run (search or check): which tables SlotCount describes.
static int32_t runKind = kRunIdle;
static QByteArray keywords;
static char request[TESSEL_REQUEST_SIZE];

const char *SearchKeywords()
{
    return keywords.constData();
}

char *SearchRequest()
{
    return request;
}

int32_t SlotsOfKind(int32_t kind)
{
    return runKind == kind ? SlotCount : 0;
}

double RunClock()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int32_t RecordStatus(const FetchRecord &record)
{
    return std::atomic_ref<int32_t>(const_cast<int32_t &>(record.status))
        .load(std::memory_order_acquire);
}

// Cancels the work of slot i of the current tables and waits for its thread to end.
static void cancelSlot(int i, int32_t kind)
{
    if (kind == kRunSearch)
        Kill(&FetchRecords[i]);
    else if (kind == kRunCheck)
        ExitCheck(&FetchRecords[i]);
}

void Do_Toggle()
{
    if (RunState != kRunIdle)
        Do_Stop();
    else
        Do_Search();
}

void Do_Search()
{
    Form1 *form = MainForm();
    const QString words = form ? form->Word->text() : QString();
    if (words.isEmpty())
        return;

    RunState = kRunSearch;
    InitResult();
    StartHarvests();
    HitCount = 0;
    StopFlag = 0;
    keywords = toCp932(words);
    const bool wide = WideWord(words) != 0;

    const RunSiteList &sites = runSites();
    const SiteInfoList &info = siteInfoList();
    int n = 0;
    for (int k = 0; k < sites.count && n < TESSEL_PAGE_SLOTS; ++k) {
        const int32_t site = sites.sites[k];
        if (site < 0 || site >= info.count)
            continue;
        if (wide && info.sites[site].language.left(3) != QStringLiteral("日本語"))
            continue;
        FetchRecord &record = FetchRecords[n];
        record.status = 0;
        record.slot = n;
        record.bytes = 0;
        record.site = site;
        record.page = 0;
        SiteHits[n] = 0;
        SlotRow[n] = k;
        iForm(site, settings().SearchMode, 0, keywords.constData(), request);
        iGet(&record, request);
        SlotBusy[n] = 1;
        ++n;
    }
    ActiveCount = SlotCount = n;
    RunStart = RunClock();
    RunLimit = settings().LimitTime;
    Run_Poll();
    RunState = kRunIdle;
    // A search stopped by closing the main window has ended the program: nothing follows it.
    if (settings().AutoCheck > 0 && !ProgramEnded())
        Do_Check();
}

constexpr int kIdleWaitMin = 2; // ms
constexpr int kIdleWaitMax = 8;
// After this long without a harvest the sites are slow ones, and a few more milliseconds on
// their answers count for nothing against the wake-ups saved.
constexpr std::chrono::milliseconds kQuietAfter{1000};
constexpr int kQuietWaitMax = 32;

// Waits for window events, at most the given time, so that a pass over slots that are all
// still busy doesn't spin a processor core at 100 %.
static void waitForEvents(int milliseconds)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(milliseconds);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The time limit ends the run without harvesting what is still outstanding. Those fetches or
// checks are cancelled here, before the run ends, so that no thread of this run still holds a
// FetchRecords entry or an engine slot when the next run starts them again. Their hits are not
// taken (a check's hit stays "No Check" and is checked by the next check run).
static void cancelOutstanding(int32_t kind)
{
    for (int i = 0; i < SlotCount; ++i) {
        if (Status(&FetchRecords[i]) != 0)
            cancelSlot(i, kind);
        if (SlotBusy[i] > 0) {
            SlotBusy[i] = 0;
            ActiveCount -= 1;
        }
    }
}

void Run_Poll()
{
    const int32_t kind = RunState;
    runKind = kind;
    if (kind == kRunSearch)
        SearchStartDisplay();
    else
        CheckStartDisplay();
    Form1 *form = MainForm();
    ElapsedTicks = 0;
    if (form) {
        form->Timer1->setInterval(1000);
        form->Timer1->start();
        form->ShowElapsed();
    }

    // Window events are handled before every slot visit that follows work (the start, a
    // harvest, the wait between passes). A visit that only found its slot still busy takes
    // microseconds, so nothing can have piled up behind it; asking the event loop again there
    // would cost far more than the visit itself.
    bool eventsDue = true;
    bool timedOut = false;
    // The wait between passes that found nothing grows from 2 ms to 8 ms while the sites are
    // silent, to 32 ms once they have been silent for a second, and drops back at the next
    // harvest: a finished page is still taken within a few milliseconds of a busy stretch, and
    // a run waiting on slow sites costs almost no processor. Window events end every wait at
    // once.
    int idleWait = kIdleWaitMin;
    auto lastHarvest = std::chrono::steady_clock::now();
    while (ActiveCount > 0) {
        if (RunLimit > 0 && RunClock() - RunStart > RunLimit) {
            timedOut = true;
            break;
        }
        const int count = SlotCount;
        bool harvested = false;
        for (int i = 0; i < count; ++i) {
            if (eventsDue) {
                QCoreApplication::processEvents();
                eventsDue = false;
            }
            if (StopFlag == 1)
                break;
            if (Status(&FetchRecords[i]) != 0 || SlotBusy[i] < 1)
                continue;
            SlotBusy[i] = 0;
            if (kind == kRunSearch)
                HarvestSearch(i);
            else
                HarvestCheck(i);
            ActiveCount -= 1;
            if (kind == kRunSearch)
                SearchSlotDisplay(i);
            else
                CheckSlotDisplay(i);
            harvested = true;
            eventsDue = true;
        }
        if (StopFlag == 1 || ActiveCount <= 0)
            break;
        if (harvested) {
            idleWait = kIdleWaitMin;
            lastHarvest = std::chrono::steady_clock::now();
        } else {
            waitForEvents(idleWait);
            const bool quiet = std::chrono::steady_clock::now() - lastHarvest > kQuietAfter;
            idleWait = std::min(idleWait * 2, quiet ? kQuietWaitMax : kIdleWaitMax);
        }
    }
    if (timedOut)
        cancelOutstanding(kind);

    if (kind == kRunSearch)
        SearchEndDisplay();
    else
        CheckEndDisplay();
    form = MainForm();
    if (form)
        form->ShowElapsed();
    ElapsedTicks = 0;
    if (form) {
        form->Timer1->stop();
        form->setStatusText(StatusText);
    }
}

void Do_Stop()
{
    StopFlag = 1;
    // The notice belongs to the main window, which a close during the wait may take away.
    QPointer<MsgForm> notice = msgform();
    notice->msg->setText(QStringLiteral("中止の準備中です。しばらくお待ちください。"));
    notice->show();
    Pause(1000);
    for (int i = 0; i < SlotCount; ++i) {
        if (Status(&FetchRecords[i]) != 0) {
            cancelSlot(i, RunState);
            ActiveCount -= 1;
        }
    }
    if (notice && notice->isVisible())
        notice->hide();
    SlotCount = 0;
}

void InstallRunHooks()
{
    RunHooks &hooks = runHooks();
    hooks.runActive = [] { return ActiveCount > 0; };
    hooks.stopRun = [] { Do_Stop(); };
    hooks.resetSiteHits = [](int32_t count) {
        for (int32_t k = 0; k < count && k < kRunTables; ++k)
            SiteHits[k] = 0;
    };
}
