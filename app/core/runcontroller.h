// The run controller: a search run, a link-check run, the dead-link removal and the removal of
// one hit, carried over the library on the user-interface thread. QtCore only: it knows the
// program's windows (or a console) only through RunView.
//
// A run advances from a timer and the library's record status; nothing here nests an event
// loop. Every call returns at once: Do_Search and Do_Check start a run, Do_Stop asks for the
// stop, and the view hears how each goes on.
//
// The library's threads touch only the FetchRecords entry they were started with (status,
// bytes, reads). The controller reads a record's status with an atomic load (RecordStatus)
// while its thread may run, and keeps the table at one address for its whole life, so a
// controller must outlive every run it starts (its destructor cancels what still runs).
#pragma once

#include "core/hit.h"
#include "core/outcome.h"
#include "tessel.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

class SitePauses;

struct Settings;
struct SiteInfoList;
struct RunSiteList;

// Every per-slot and per-hit table has this many entries (0 .. 1000).
constexpr int kRunTables = 1001;
// The hit list takes at most this many hits from one search (list positions 0 .. 998).
constexpr int kMaxListHits = 999;

enum : int32_t {
    kRunIdle = 0,
    kRunSearch = 2,
    kRunCheck = 3,
};

// What a run tells the user, and the list it works on. The controller calls these on the
// user-interface thread, in the order the user sees them; the run's numbers are readable on
// the controller when each call arrives. A view must not start or stop runs from inside a call.
class RunView {
public:
    virtual ~RunView() = default;

    // ---- both runs ----
    // The status line: the whole text to show.
    virtual void statusChanged(const QString &text) = 0;
    // The elapsed-time clock of a run: ElapsedTicks was set to 0; a view that counts seconds
    // adds 1 to it each second and shows ElapsedText(StatusText, ElapsedTicks).
    virtual void clockStarted() = 0;
    virtual void clockStopped() = 0;
    // The notice "中止の準備中です。しばらくお待ちください。" while a stop waits for the threads.
    virtual void stopNotice(bool shown) = 0;
    // A message the user acknowledges (the dead-link removal's result, a failed removal).
    virtual void message(const QString &text, const QString &title) = 0;

    // ---- search run ----
    // The keywords of the search about to start, as typed. A search queries the sites of
    // RunSites in order (at most 50); wide words (a character above U+00FF) only the sites
    // whose language begins with "日本語".
    virtual QString searchWords() const = 0;
    // Asked once before a search whose keywords hold characters the CP932 and EUC-JP sites
    // can't be sent (they get the keywords without them; UTF-8 sites get them all). True goes
    // on, false starts nothing.
    virtual bool goOnWithout(const QStringList & /*characters*/) { return true; }
    // The slots are started; StatusText holds the first progress text.
    virtual void searchStarted() = 0;
    // One hit for the list, its result index in hit.index. HitCount already counts it.
    // Returns false when the hit joined a row already listed (the same page, with merging
    // on): the hit is then no row of HitOrder, and checks, reports and counts pass it by.
    virtual bool hitAdded(const Hit &hit) = 0;
    // False once the list shows something else than this run's hits (a topic change took
    // it): the rest of a page is then dropped.
    virtual bool takesHits() const = 0;
    // What the status line says after the hit count (how many hits were merged); empty for
    // nothing.
    virtual QString hitCountNote() const { return QString(); }
    // Slot i was harvested; its hits, ActiveCount, HitCount and StatusText are up to date.
    virtual void searchSlotDone(int slot) = 0;
    // The run ended; endText is "終了しました。" or "中止しました。", StatusText the whole end
    // line.
    virtual void searchEnded(const QString &endText) = 0;

    // ---- check run ----
    // The checks are started, one per slot; StatusText holds the first progress text.
    virtual void checkStarted() = 0;
    // Slot i's check was classified (state, a link state) or ended without a status code
    // (state 0). CheckTime[i] / CheckDone[i] tell its time.
    virtual void checkSlotDone(int slot, int32_t state) = 0;
    // The run ended: the counted and dead texts of its end; StatusText the whole end line.
    virtual void checkEnded(const QString &counted, const QString &dead) = 0;

    // ---- the list ----
    // Delete-dead: visits the rows in the order the user sees them and removes each whose
    // link state is dead or that same (result indexes: a kept row's, this row's) calls the
    // same page as a row kept before it. Returns the kept rows' result indexes in that order.
    virtual QList<int32_t>
    removeDeadAndRepeated(const std::function<bool(int32_t, int32_t)> &same) = 0;
    virtual int listCount() const = 0;         // the rows the list shows
    virtual int32_t selectedIndex() const = 0; // the selected row's result index; -1 for none
    virtual void removeHit(int32_t index) = 0; // removes the row of that result index
    virtual void linkChecked(int32_t index, int32_t state) = 0; // the hit's new link state
};

class RunController : public QObject {
    Q_OBJECT

public:
    // The controller reads the settings, the site list and the run's site list of its session;
    // they must outlive it.
    RunController(const Settings &settings, const SiteInfoList &sites, const RunSiteList &runSites);
    ~RunController() override;
    RunController(const RunController &) = delete;
    RunController &operator=(const RunController &) = delete;

    // The view that hears about runs; nullptr for none. Not owned.
    void setView(RunView *view);
    RunView *view() const { return view_; }
    // While held answers true, other work (the update run) has the library's transfers: no
    // search or check starts.
    void setHeldBy(std::function<bool()> held);
    // Where blocked sites are paused; nullptr asks every site every time. Not owned.
    void setPauses(SitePauses *pauses) { pauses_ = pauses; }
    // When set, each site of a search is asked for its own words (the catalogue's test words,
    // for the site checker) instead of the view's.
    void setSiteWords(std::function<QString(int32_t site)> words) { siteWords_ = std::move(words); }

    // Search button, Enter in the keyword box, the search command: asks for a stop when a
    // run is active, else starts a search.
    void Do_Toggle();
    // Starts a search over RunSites with the view's words; nothing when they are empty. With
    // AutoCheck the link check follows the search's end.
    void Do_Search();
    // Starts a check of every hit still "No Check"; nothing without hits. With AutoDelete
    // the dead-link removal follows its end.
    void Do_Check();
    // The list's rows are now these result indexes, in list order (the view folded or
    // unfolded its hits). Their link states stay.
    void Relist(const QList<int32_t> &indexes);
    // Removes dead and repeated hits from the list; reports through the view.
    void Do_DelDead();
    // Removes the selected hit; position is its 1-based place in the list.
    void Do_DelOne(int position);

    // Asks for a stop: StopFlag = 1 and the stop notice for one second, then every running
    // fetch or check of the current run is cancelled, the notice hidden, SlotCount = 0, then
    // is called (once every worker thread has ended), and the run ends with the stopped
    // text. A stop asked for while one is pending joins it (its then is called too). With ending,
    // nothing follows the run (no AutoCheck, no AutoDelete): the program is closing.
    void Do_Stop(std::function<void()> then = {}, bool ending = false);

    // True while a run is on or a stop is pending.
    bool busy() const { return RunState != kRunIdle || stopping_; }

Q_SIGNALS:
    // A run or stop ended and nothing follows it: busy() is false.
    void settled();

public:
    bool stopping() const { return stopping_; }

    // SlotCount when the current or last run is of this kind (kRunSearch or kRunCheck),
    // else 0: the progress window of the other kind must not read these tables as its own.
    int32_t SlotsOfKind(int32_t kind) const;
    // The hits the slot shown in row k of the Searching window found (0 when none shows it).
    int32_t RowHits(int k) const;
    // How the site in row k of the Searching window ended in the last search: its slot's
    // SlotResult, Skipped or Blocked (still paused) for a site the search passed over, Pending
    // for none (or once a topic change gave the rows to other sites).
    SiteResult RowResult(int k) const;
    // Sites of the last search that failed on their own (IsFailure); 0 once its rows are gone.
    int32_t FailedSites() const;
    // A topic change: SiteHits of entries 0 .. count - 1 are reset and the Searching window's
    // rows no longer show the last search's sites.
    void rowsReplaced(int32_t count);
    // Classifies check slot k again from its record: LinkState, and the list when the state
    // changed (nothing counted). Returns the state, 0 while the check has no status code.
    int32_t ClassifySlot(int k);
    // The URL of the hit check slot k checks.
    QString SlotUrl(int k) const;
    // Seconds since RunStart.
    double RunSeconds() const;

    // ---- the run tables ----
    // 0 idle, 2 search, 3 link check. The commands refuse work while a run is on.
    int32_t RunState = kRunIdle;
    // 1 once the user asked to stop the current run; 0 when a run starts.
    int32_t StopFlag = 0;
    // Entry n is the record of slot n of the current run. The library keeps the address of
    // an entry while its thread runs.
    FetchRecord FetchRecords[kRunTables] = {};
    int32_t SlotBusy[kRunTables] = {}; // 1 after work started in the slot, until harvested
    int32_t SiteHits[kRunTables] = {}; // hits taken from the slot's site in this search
    int32_t SlotRow[kRunTables] = {};  // row of the Searching window that shows slot n
    int32_t SlotCount = 0;             // slots used by the current run
    // iForm's error for the slot's last page, 0 when its request was built and sent.
    int32_t NotBuilt[kRunTables] = {};
    // How each slot's site ended in the last search: Pending while its pages go on, then its
    // outcome, kept after the run (a stop included) until the next search starts.
    SiteResult SlotResult[kRunTables] = {};
    int32_t SearchSlots = 0; // slots of the last search (a stop empties SlotCount, not this)
    int32_t HitCount = 0;    // hits in the list
    int32_t HitOrder[kRunTables] = {};  // list position -> result index
    int32_t LinkState[kRunTables] = {}; // link state by result index
    double RunStart = 0;                // RunClock() when the run began
    int32_t RunLimit = 0;               // seconds; 0 means none
    int32_t ElapsedTicks = 0;           // seconds counted by the view's clock
    QString StatusText;                 // the current progress text
    // Hundredths of a second from RunStart to when check slot n was found finished, and
    // whether it was: a check under 5 ms finishes at 0 hundredths.
    int32_t CheckTime[kRunTables] = {};
    bool CheckDone[kRunTables] = {};

    // Counted from the tables each time they are asked for, never kept by hand: a path that
    // ends a slot's work (a harvest, the time limit, a stop racing a page that just arrived)
    // can't leave a count behind that keeps the program waiting for work that is gone.
    // Fetches or checks started and not yet harvested, and the page whose hits are being
    // listed.
    int32_t ActiveCount() const;
    // Hits in the list whose link is still "No Check" (a check run's unclassified checks).
    int32_t CheckLeft() const;
    // Hits in the list whose link state is "Not Found".
    int32_t DeadCount() const;

private:
    void startRun(int32_t kind);
    void schedule(int milliseconds);
    void poll();
    bool addPendingHits(std::chrono::steady_clock::time_point until);
    bool startPage(int i);
    void harvestSearch(int i);
    void finishSearchSlot(int i);
    void notePause(int i, bool blocked, int32_t retryAfter);
    void settleSlotResults();
    void harvestCheck(int i);
    void cancelSlot(int i, int32_t kind);
    void cancelOutstanding(int32_t kind);
    void completeStop();
    int32_t HitsInState(int32_t state) const;
    void finishRun(bool timedOut);
    bool held() const;

    const Settings &settings_;
    const SiteInfoList &sites_;
    const RunSiteList &runSites_;
    std::function<bool()> heldBy_;
    SitePauses *pauses_ = nullptr;
    int32_t pageHits_ = 0; // the hits iParse took from the page being listed
    RunView *view_ = nullptr;
    std::function<QString(int32_t)> siteWords_;
    struct SlotWords {
        QByteArray cp932; // without what CP932 can't hold
        QByteArray utf8;  // for UTF-8 sites: what CP932 lacks as "&#N;"
    };
    std::vector<SlotWords> slotWords_; // each slot's keywords in the current search
    char request_[TESSEL_REQUEST_SIZE] = {};
    int32_t runKind_ = kRunIdle;          // kind of the current or last run
    std::vector<SiteResult> skippedRows_; // why the last search passed over a row of RunSites
    bool rowsShown_ = false;              // the Searching window's rows are the last search's
    int32_t storeNext_ = 0;               // hits read from the library's store in this search
    QTimer pollTimer_;
    QTimer stopTimer_;
    bool stopping_ = false;
    bool ending_ = false;
    std::vector<std::function<void()>> afterStop_;
    // The page being taken into the list: its slot (-1 for none) and its result indexes.
    int pendingSlot_ = -1;
    std::vector<int32_t> pending_;
    std::size_t pendingNext_ = 0;
    bool dropped_ = false; // the rest of the page was dropped: no next page for the slot
    // The page added no hit its site had not given on an earlier page: a site that serves the
    // same page for every page number, or an empty page after the last hit, is asked no more.
    bool nothingNew_ = false;
    bool cameFull_ = false; // the page came back after the list had filled up
    // Per slot of the search, the result indexes of the hits its site has given in the run.
    std::vector<std::vector<int32_t>> siteStored_;
    // Where the current pass over the slots goes on, and whether it harvested anything.
    int nextSlot_ = 0;
    bool passHarvested_ = false;
    int idleWait_ = 0;
    std::chrono::steady_clock::time_point lastHarvest_;
};

// Seconds with fractions from a clock that never runs backwards.
double RunClock();
// The record's status, read atomically (a worker thread may be writing it).
int32_t RecordStatus(const FetchRecord &record);
