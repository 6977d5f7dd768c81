#include "core/runcontroller.h"

#include "core/encoding.h"
#include "core/hit.h"
#include "core/keywords.h"
#include "core/runrules.h"
#include "core/runtexts.h"
#include "core/settings.h"
#include "core/sitelist.h"
#include "core/sitepause.h"
#include "core/text.h"
#include "core/topics.h"

#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <cstring>

using Clock = std::chrono::steady_clock;

namespace {

// The wait after a pass over the slots that harvested nothing grows from 2 ms to 8 ms while
// the sites are silent, to 32 ms once they have been silent for a second, to 128 ms after
// three seconds, and drops back at the next harvest: a finished page is still taken within a
// few milliseconds of a busy stretch, and a run waiting on slow sites costs almost no
// processor.
constexpr int kIdleWaitMin = 2; // ms
constexpr int kIdleWaitMax = 8;
constexpr std::chrono::milliseconds kQuietAfter{1000};
constexpr int kQuietWaitMax = 32;
constexpr std::chrono::milliseconds kSilentAfter{3000};
constexpr int kSilentWaitMax = 128;
// A page's hits go into the list in slices of at most this long, with the windows' events
// handled between slices: a page may bring hundreds of hits.
constexpr std::chrono::milliseconds kHitSlice{4};
// How long the stop notice shows before the run's threads are cancelled.
constexpr int kStopWaitMs = 1000;

} // namespace

double RunClock()
{
    using namespace std::chrono;
    return duration<double>(Clock::now().time_since_epoch()).count();
}

int32_t RecordStatus(const FetchRecord &record)
{
    return std::atomic_ref<int32_t>(const_cast<int32_t &>(record.status))
        .load(std::memory_order_acquire);
}

RunController::RunController(const Settings &settings, const SiteInfoList &sites,
                             const RunSiteList &runSites)
    : settings_(settings), sites_(sites), runSites_(runSites)
{
    pollTimer_.setSingleShot(true);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &RunController::poll);
    stopTimer_.setSingleShot(true);
    connect(&stopTimer_, &QTimer::timeout, this, &RunController::completeStop);
}

RunController::~RunController()
{
    // No thread may outlive the record it writes into.
    for (int i = 0; i < SlotCount; ++i) {
        if (Status(&FetchRecords[i]) != 0)
            cancelSlot(i, runKind_);
    }
}

void RunController::setView(RunView *view)
{
    view_ = view;
}

void RunController::setHeldBy(std::function<bool()> held)
{
    heldBy_ = std::move(held);
}

bool RunController::held() const
{
    return heldBy_ && heldBy_();
}

int32_t RunController::SlotsOfKind(int32_t kind) const
{
    return runKind_ == kind ? SlotCount : 0;
}

int32_t RunController::RowHits(int k) const
{
    const int32_t slots = SlotsOfKind(kRunSearch);
    for (int n = 0; n < slots; ++n) {
        if (SlotRow[n] == k)
            return SiteHits[n];
    }
    return 0;
}

SiteResult RunController::RowResult(int k) const
{
    if (!rowsShown_)
        return {};
    for (int n = 0; n < SearchSlots; ++n) {
        if (SlotRow[n] == k)
            return SlotResult[n];
    }
    if (k >= 0 && k < int(skippedRows_.size()))
        return skippedRows_[size_t(k)];
    return {};
}

int32_t RunController::FailedSites() const
{
    if (!rowsShown_)
        return 0;
    return int32_t(std::count_if(SlotResult, SlotResult + SearchSlots, IsFailure));
}

void RunController::rowsReplaced(int32_t count)
{
    for (int32_t k = 0; k < count && k < kRunTables; ++k)
        SiteHits[k] = 0;
    rowsShown_ = false;
}

int32_t RunController::ActiveCount() const
{
    const int32_t busy =
        int32_t(std::count_if(SlotBusy, SlotBusy + std::clamp(SlotCount, 0, kRunTables),
                              [](int32_t b) { return b > 0; }));
    return busy + (pendingSlot_ >= 0 ? 1 : 0);
}

int32_t RunController::CheckLeft() const
{
    return HitsInState(kLinkNoCheck);
}

int32_t RunController::DeadCount() const
{
    return HitsInState(kLinkNotFound);
}

int32_t RunController::HitsInState(int32_t state) const
{
    int32_t n = 0;
    for (int32_t j = 0; j < std::clamp(HitCount, 0, kRunTables); ++j) {
        const int32_t d = HitOrder[j];
        n += d >= 0 && d < kRunTables && LinkState[d] == state;
    }
    return n;
}

double RunController::RunSeconds() const
{
    return RunClock() - RunStart;
}

QString RunController::SlotUrl(int k) const
{
    char record[TESSEL_RESULT_SIZE];
    if (GetResult(FetchRecords[k].slot, record) != 0)
        return QString();
    return HitFromRecord(record, FetchRecords[k].slot, 0).url;
}

// Cancels the work of slot i of the current tables and waits for its thread to end.
void RunController::cancelSlot(int i, int32_t kind)
{
    if (kind == kRunSearch)
        Kill(&FetchRecords[i]);
    else if (kind == kRunCheck)
        ExitCheck(&FetchRecords[i]);
}

void RunController::Do_Toggle()
{
    if (RunState != kRunIdle)
        Do_Stop();
    else
        Do_Search();
}

void RunController::Do_Search()
{
    if (RunState != kRunIdle || stopping_ || !view_ || held())
        return;
    const QString words = view_->searchWords();
    // Blanks alone, of either width, hold no word any site could be asked for.
    if (!siteWords_ && (words.isEmpty() || KeywordIsBlank(words)))
        return;

    const RunSiteList &sites = runSites_;
    const SiteInfoList &info = sites_;
    // The rows of RunSites the search queries, in order.
    std::vector<int> rows;
    std::vector<SiteResult> skipped(size_t(std::max<int32_t>(sites.count, 0)));
    bool someNotUtf8 = false;
    for (int k = 0; k < sites.count && int(rows.size()) < TESSEL_PAGE_SLOTS; ++k) {
        const int32_t site = sites.sites[k];
        if (site < 0 || site >= info.count)
            continue;
        const SiteInfo &s = info.sites[site];
        const bool utf8 = MemoTakesUtf8(s.memo);
        const bool wide = WideWord(siteWords_ ? siteWords_(site) : words) != 0;
        // A UTF-8 site takes every script; the others take what CP932 holds, which only a
        // Japanese site reads as meant.
        if (wide && !utf8 && s.language.left(3) != QStringLiteral("日本語")) {
            skipped[size_t(k)] = {SiteOutcome::Skipped};
            continue;
        }
        // Asking a site that blocked us before its pause is over only prolongs the block.
        if (const int64_t until = pauses_ ? pauses_->pausedUntil(s.name) : 0; until > 0) {
            skipped[size_t(k)] = {SiteOutcome::Blocked, 0, until};
            continue;
        }
        rows.push_back(k);
        someNotUtf8 = someNotUtf8 || !utf8;
    }
    // Said once, before anything is sent: which characters the CP932 and EUC-JP sites will
    // not receive.
    const QStringList missing =
        someNotUtf8 && !siteWords_ ? UnsendableCharacters(words) : QStringList();
    if (!missing.isEmpty() && !view_->goOnWithout(missing))
        return;

    RunState = kRunSearch;
    InitResult();
    storeNext_ = 0;
    HitCount = 0;
    StopFlag = 0;
    slotWords_.clear();
    for (const int k : rows) {
        const QString own = siteWords_ ? siteWords_(sites.sites[k]) : words;
        slotWords_.push_back({KeywordBytes(own, false), KeywordBytes(own, true)});
    }
    skippedRows_ = std::move(skipped);
    rowsShown_ = true;
    siteStored_.assign(rows.size(), {});

    int n = 0;
    for (const int k : rows) {
        const int32_t site = sites.sites[k];
        FetchRecord &record = FetchRecords[n];
        record.status = 0;
        record.slot = n;
        record.bytes = 0;
        record.site = site;
        record.page = 0;
        SiteHits[n] = 0;
        SlotRow[n] = k;
        SlotBusy[n] = 0;
        SlotResult[n] = {};
        if (!startPage(n))
            SlotResult[n] = {SiteOutcome::NotBuilt, NotBuilt[n]};
        ++n;
    }
    SlotCount = SearchSlots = n;
    RunStart = RunClock();
    RunLimit = settings_.LimitTime;
    startRun(kRunSearch);
}

// Builds the request for the slot's page and starts its fetch. A request that can't be built
// is never sent: the buffer would still hold the last request of another site or search, and
// the previous keywords would go to this site. False when nothing was started.
bool RunController::startPage(int i)
{
    FetchRecord &slot = FetchRecords[i];
    std::memset(request_, 0, sizeof request_);
    const SlotWords &own = slotWords_[size_t(i)];
    const QByteArray &words = MemoTakesUtf8(sites_.sites[slot.site].memo) ? own.utf8 : own.cp932;
    NotBuilt[i] = iForm(slot.site, settings_.SearchMode, slot.page, words.constData(), request_);
    if (NotBuilt[i] != 0)
        return false;
    iGet(&slot, request_);
    SlotBusy[i] = 1;
    return true;
}

void RunController::Do_Check()
{
    if (HitCount == 0 || RunState != kRunIdle || stopping_ || held())
        return;
    RunState = kRunCheck;
    StopFlag = 0;
    int n = 0;
    for (int j = 0; j < HitCount; ++j) {
        const int32_t d = HitOrder[j];
        if (LinkState[d] == kLinkNoCheck) {
            SlotBusy[n] = 1;
            FetchRecord &record = FetchRecords[n];
            record.slot = d;
            record.status = 0;
            record.bytes = 0;
            CheckTime[n] = 0;
            CheckDone[n] = false;
            iCheck(&record, d);
            ++n;
        }
    }
    SlotCount = n;
    RunStart = RunClock();
    RunLimit = settings_.CheckWait;
    startRun(kRunCheck);
}

void RunController::startRun(int32_t kind)
{
    runKind_ = kind;
    ending_ = false;
    pendingSlot_ = -1;
    pending_.clear();
    nextSlot_ = 0;
    passHarvested_ = false;
    if (kind == kRunSearch) {
        StatusText = SearchActiveText(ActiveCount());
        if (view_)
            view_->searchStarted();
    } else {
        StatusText = CheckActiveText(ActiveCount());
        if (view_)
            view_->checkStarted();
    }
    ElapsedTicks = 0;
    if (view_) {
        view_->clockStarted();
        view_->statusChanged(ElapsedText(StatusText, ElapsedTicks));
    }
    idleWait_ = kIdleWaitMin;
    lastHarvest_ = Clock::now();
    schedule(0);
}

void RunController::schedule(int milliseconds)
{
    pollTimer_.start(milliseconds);
}

// One step of a run: a slice of a page's hits, or the rest of the current pass over the slots
// up to the next finished one. Window events are handled between steps.
void RunController::poll()
{
    if (stopping_ || (RunState != kRunSearch && RunState != kRunCheck))
        return;
    if (pendingSlot_ >= 0) {
        if (addPendingHits(Clock::now() + kHitSlice))
            finishSearchSlot(pendingSlot_);
        schedule(0);
        return;
    }
    if (nextSlot_ == 0) {
        if (ActiveCount() <= 0) {
            finishRun(false);
            return;
        }
        // The time limit is tested once per pass over the slots.
        if (RunLimit > 0 && RunSeconds() > RunLimit) {
            finishRun(true);
            return;
        }
    }
    const int count = SlotCount;
    for (int i = nextSlot_; i < count; ++i) {
        if (Status(&FetchRecords[i]) != 0 || SlotBusy[i] < 1)
            continue;
        SlotBusy[i] = 0;
        nextSlot_ = i + 1;
        passHarvested_ = true;
        if (runKind_ == kRunSearch) {
            harvestSearch(i);
            if (addPendingHits(Clock::now() + kHitSlice))
                finishSearchSlot(i);
        } else {
            harvestCheck(i);
        }
        schedule(0);
        return;
    }
    nextSlot_ = 0;
    if (ActiveCount() <= 0) {
        finishRun(false);
        return;
    }
    if (passHarvested_) {
        passHarvested_ = false;
        idleWait_ = kIdleWaitMin;
        lastHarvest_ = Clock::now();
        schedule(0);
    } else {
        schedule(idleWait_);
        const auto silence = Clock::now() - lastHarvest_;
        const int most = silence > kSilentAfter  ? kSilentWaitMax
                         : silence > kQuietAfter ? kQuietWaitMax
                                                 : kIdleWaitMax;
        idleWait_ = std::min(idleWait_ * 2, most);
    }
}

// Reads the slot's page into the library's store and lines up the hits the list takes.
void RunController::harvestSearch(int i)
{
    const int32_t limit = settings_.LimitLink;
    cameFull_ = HitCount >= kMaxListHits || storeNext_ >= TESSEL_MAX_RESULTS;
    const int32_t k = iParse(i, HarvestMost(limit, SiteHits[i]));
    pageHits_ = k;
    pendingSlot_ = i;
    pending_.clear();
    pendingNext_ = 0;
    dropped_ = false;
    nothingNew_ = true;
    if (k <= 0)
        return;
    const int32_t first = storeNext_;
    storeNext_ += k;
    std::vector<int32_t> &given = siteStored_[size_t(i)];
    std::vector<int32_t> fresh;
    for (int32_t r = first; r < first + k && r < kRunTables; ++r) {
        const bool seen =
            std::any_of(given.begin(), given.end(), [r](int32_t e) { return URLSame(r, e) != 0; });
        if (!seen)
            fresh.push_back(r);
    }
    for (int32_t r = first; r < first + k && r < kRunTables; ++r)
        given.push_back(r);
    nothingNew_ = fresh.empty();
    const int32_t take = HarvestTake(int32_t(fresh.size()), HitCount, SiteHits[i], limit);
    pending_.assign(fresh.begin(), fresh.begin() + take);
}

// Adds lined-up hits to the list until the deadline; true once none is left.
bool RunController::addPendingHits(Clock::time_point until)
{
    const int i = pendingSlot_;
    char record[TESSEL_RESULT_SIZE];
    while (pendingNext_ < pending_.size()) {
        // A topic change agreed to meanwhile has given the list to the new topic's sites:
        // the rest of this page belongs to no list any more.
        if (view_ && !view_->takesHits()) {
            dropped_ = true;
            break;
        }
        const int32_t r = pending_[pendingNext_++];
        if (GetResult(r, record) != 0)
            break;
        HitOrder[HitCount] = r;
        LinkState[r] = kLinkNoCheck;
        // Counted before the list hears of it: a hit deleted between slices is found in
        // HitOrder, and the next hit goes to the place after the list's last.
        HitCount += 1;
        SiteHits[i] += 1;
        if (view_ &&
            !view_->hitAdded(HitFromRecord(record, r, QDateTime::currentMSecsSinceEpoch())))
            HitCount -= 1;
        if (Clock::now() >= until && pendingNext_ < pending_.size())
            return false;
    }
    pending_.clear();
    pendingNext_ = 0;
    return true;
}

// The slot's page is in the list: ask for the next page while the site still wants hits.
void RunController::finishSearchSlot(int i)
{
    pendingSlot_ = -1;
    const int32_t limit = settings_.LimitLink;
    // After a stop a page asked for now would start a thread that nothing cancels any more.
    // A full list takes no further hit, so asking any site for more would only keep the run
    // going until its time limit.
    FetchRecord &slot = FetchRecords[i];
    bool more = false;
    const bool exhausted = SiteHits[i] > 0 && nothingNew_;
    // Read before the next page's fetch replaces the page. A page that gave hits is a page of
    // hits, whatever it looks like; one that refuses the client, or says there is nothing,
    // ends the site's part: asking on only prolongs a block.
    const int32_t kind = pageHits_ > 0 ? int32_t(TESSEL_PAGE_READ) : PageKind(&slot);
    const int32_t retryAfter = kind == TESSEL_PAGE_BLOCKED ? FetchRetryAfter(&slot) : -1;
    const bool refused = kind == TESSEL_PAGE_BLOCKED || kind == TESSEL_PAGE_NO_HITS;
    if (!dropped_ && !exhausted && !refused && WantsNextPage(SiteHits[i], limit) && StopFlag != 1 &&
        HitCount < kMaxListHits) {
        slot.page += 1;
        more = MayFetchPage(SiteHits[i], slot.page) && startPage(i);
    }
    if (!more) {
        // The site's last page tells how it ended; a site that gave hits has been found,
        // whatever a later page did.
        if (SiteHits[i] > 0)
            SlotResult[i] = {SiteOutcome::Found};
        else if (NotBuilt[i] != 0)
            SlotResult[i] = {SiteOutcome::NotBuilt, NotBuilt[i]};
        else
            SlotResult[i] = OutcomeOfFetch(FetchResult(&slot), 0, kind);
        notePause(i, kind == TESSEL_PAGE_BLOCKED, retryAfter);
        // A page read fine gave nothing because there was no room left for it, not because its
        // script no longer fits.
        if (SlotResult[i].kind == SiteOutcome::NoHits && cameFull_)
            SlotResult[i] = {SiteOutcome::ListFull};
    }
    StatusText = SearchActiveText(ActiveCount());
    if (view_)
        view_->searchSlotDone(i);
    StatusText += RunningHitsSuffix(HitCount);
    if (view_)
        StatusText += view_->hitCountNote();
    if (view_)
        view_->statusChanged(ElapsedText(StatusText, ElapsedTicks));
}

// A site that blocked the client is paused until it may be asked again, even after giving
// hits on earlier pages; one that answered starts any later pause short again.
void RunController::notePause(int i, bool blocked, int32_t retryAfter)
{
    if (!pauses_)
        return;
    const QString &name = sites_.sites[FetchRecords[i].site].name;
    SiteResult &result = SlotResult[i];
    if (blocked) {
        const int64_t until = pauses_->blocked(name, retryAfter);
        if (result.kind == SiteOutcome::Blocked)
            result.until = until;
    } else if (result.kind == SiteOutcome::Found || result.kind == SiteOutcome::Empty) {
        pauses_->answered(name);
    }
}

int32_t RunController::ClassifySlot(int k)
{
    const int32_t state = LinkStateOf(RecordStatus(FetchRecords[k]));
    const int32_t index = FetchRecords[k].slot;
    // The list shows what the tables hold, however the state was learnt: dead-link removal
    // reads the list, and a state the Confirm window's refresh found may be all there is of
    // a check that a stop then cut off.
    if (state != 0 && LinkState[index] != state) {
        LinkState[index] = state;
        if (view_)
            view_->linkChecked(index, state);
    }
    return state;
}

void RunController::harvestCheck(int i)
{
    CheckTime[i] = Hundredths(RunSeconds());
    CheckDone[i] = true;
    const int32_t state = ClassifySlot(i);
    StatusText = CheckActiveText(ActiveCount());
    if (view_) {
        view_->checkSlotDone(i, state);
        view_->statusChanged(ElapsedText(StatusText, ElapsedTicks));
    }
}

// The time limit ends the run without harvesting what is still outstanding. Those fetches or
// checks are cancelled here, before the run ends, so that no thread of this run still holds a
// FetchRecords entry or an engine slot when the next run starts them again. Their hits are not
// taken (a check's hit stays "No Check" and is checked by the next check run).
void RunController::cancelOutstanding(int32_t kind)
{
    for (int i = 0; i < SlotCount; ++i) {
        if (Status(&FetchRecords[i]) != 0)
            cancelSlot(i, kind);
        SlotBusy[i] = 0;
    }
}

void RunController::finishRun(bool timedOut)
{
    pollTimer_.stop();
    const int32_t kind = runKind_;
    if (timedOut)
        cancelOutstanding(kind);
    if (kind == kRunSearch) {
        settleSlotResults();
        const QString end = RunEndText(StopFlag == 1);
        StatusText = end + EndHitsSuffix(HitCount);
        if (view_)
            StatusText += view_->hitCountNote();
        if (view_)
            view_->searchEnded(end);
    } else {
        const QString counted = CheckedText(HitCount, CheckLeft());
        const QString dead = DeadEndText(DeadCount());
        StatusText = RunEndText(StopFlag == 1) + counted + dead;
        if (view_)
            view_->checkEnded(counted, dead);
    }
    if (view_)
        view_->statusChanged(ElapsedText(StatusText, ElapsedTicks));
    ElapsedTicks = 0;
    if (view_) {
        view_->clockStopped();
        view_->statusChanged(StatusText);
    }
    RunState = kRunIdle;
    // A run stopped because the program is closing has nothing after it. Otherwise the check
    // follows however the search ended, a stop included; a topic change during the run leaves
    // no hit to check or clean up.
    if (!ending_ && kind == kRunSearch && settings_.AutoCheck > 0)
        Do_Check();
    else if (!ending_ && kind == kRunCheck && settings_.AutoDelete != 0 && HitCount > 0)
        Do_DelDead();
    if (!busy())
        Q_EMIT settled();
}

// The sites still going when the search ended: cut off by the user's stop or by the time limit
// (a stop empties SlotCount, so the search's own count is used).
void RunController::settleSlotResults()
{
    for (int n = 0; n < SearchSlots; ++n) {
        if (SlotResult[n].kind != SiteOutcome::Pending)
            continue;
        if (SiteHits[n] > 0)
            SlotResult[n] = {SiteOutcome::Found};
        else
            SlotResult[n] = {StopFlag == 1 ? SiteOutcome::Stopped : SiteOutcome::TimedOut};
    }
}

void RunController::Do_Stop(std::function<void()> then, bool ending)
{
    StopFlag = 1;
    if (then)
        afterStop_.push_back(std::move(then));
    if (ending)
        ending_ = true;
    // A stop asked for again while one waits joins it: clicking 中止 faster than once a second
    // must not put the stop off for ever.
    if (stopping_)
        return;
    stopping_ = true;
    if (view_)
        view_->stopNotice(true);
    stopTimer_.start(kStopWaitMs);
}

void RunController::completeStop()
{
    // A stop asked for between runs still cancels what the last run may have left running.
    const int32_t kind = RunState == kRunIdle ? runKind_ : RunState;
    // A page that arrived during the wait is not harvested any more: the run is over for it.
    for (int i = 0; i < SlotCount; ++i) {
        if (Status(&FetchRecords[i]) != 0)
            cancelSlot(i, kind);
        SlotBusy[i] = 0;
    }
    if (view_)
        view_->stopNotice(false);
    SlotCount = 0;
    stopping_ = false;
    // The page being listed when the stop came is listed to its end: after this nothing of
    // the run is outstanding (ActiveCount is 0) when those who waited for the stop hear of it.
    if (pendingSlot_ >= 0 && runKind_ == kRunSearch &&
        (RunState == kRunSearch || RunState == kRunCheck)) {
        addPendingHits(Clock::time_point::max());
        finishSearchSlot(pendingSlot_);
    }
    pendingSlot_ = -1;
    const std::vector<std::function<void()>> then = std::move(afterStop_);
    afterStop_.clear();
    for (const auto &fn : then)
        fn();
    if (RunState != kRunSearch && RunState != kRunCheck) {
        if (!busy())
            Q_EMIT settled();
        return;
    }
    finishRun(false);
}

void RunController::Relist(const QList<int32_t> &indexes)
{
    const int32_t count = int32_t(std::min<qsizetype>(indexes.size(), kRunTables));
    std::copy_n(indexes.cbegin(), count, HitOrder);
    HitCount = count;
}

void RunController::Do_DelDead()
{
    if (!view_)
        return;
    view_->statusChanged(QStringLiteral("リンク切れの削除中です。"));
    const int32_t before = HitCount;
    const QList<int32_t> kept =
        view_->removeDeadAndRepeated([](int32_t a, int32_t b) { return URLSame(a, b) != 0; });
    Relist(kept);
    const int32_t count = HitCount;
    view_->statusChanged(QStringLiteral("リンク切れの削除が終わりました。"));
    const QString result = DelDeadResultText(before, count);
    view_->statusChanged(result);
    view_->message(result, QStringLiteral("リンク切れ削除"));
}

void RunController::Do_DelOne(int position)
{
    if (!view_ || position > view_->listCount() || position < 1)
        return;
    const int32_t idx = view_->selectedIndex();
    if (idx < 0) {
        view_->message(QStringLiteral("Do_DelOne error"), QString());
        return;
    }
    int j = 0;
    while (j < HitCount && HitOrder[j] != idx)
        ++j;
    if (j >= HitCount)
        return;
    view_->removeHit(idx);
    view_->statusChanged(QStringLiteral("j=") + QString::number(idx) + QStringLiteral(" n=") +
                         QString::number(j));
    for (int k = j; k + 1 < HitCount; ++k)
        HitOrder[k] = HitOrder[k + 1];
    HitCount -= 1;
}

// Its own meta-object code, so that a program using it alone does not take in every window.
#include "moc_runcontroller.cpp"
