#include "driver/runwindows.h"

#include "core/runcontroller.h"
#include "core/runrules.h"
#include "core/runtexts.h"
#include "core/session.h"
#include "driver/confirm.h"
#include "driver/searching.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

// Column 3 of the slot's row: the stage of a running fetch (left as it is for a stage without
// a text); once the site has ended, how it ended; empty between its pages.
static void refreshStatusCell(Searching *window, RunController &run, int i)
{
    FetchRecord &record = run.FetchRecords[i];
    if (Status(&record) != 0) {
        const QString text = FetchStageText(RecordStatus(record));
        if (!text.isNull())
            window->Sub2_Table(run.SlotRow[i], text);
    } else {
        window->Sub2_Table(run.SlotRow[i], OutcomeText(run.RowResult(run.SlotRow[i])));
    }
}

// Column 2 and the status cell of the slot's row, the bar and both lines.
static void showSlot(Searching *window, RunController &run, int i)
{
    window->Sub1_Table(run.SlotRow[i], SiteFoundText(run.SiteHits[i]));
    refreshStatusCell(window, run, i);
}

// Every row's status cell from how its site ended (empty for a site still going).
static void showOutcomes(Searching *window, const RunController &run)
{
    for (int row = 0; row < window->rowCount(); ++row)
        window->Sub2_Table(row, OutcomeText(run.RowResult(row)));
}

// The bar: the share of the window's sites whose part of the search has ended, in per cent.
// A site cut off by the user's stop has not ended its part.
static int finishedShare(const RunController &run, int rows)
{
    if (rows <= 0)
        return 0;
    int done = 0;
    for (int k = 0; k < rows; ++k) {
        const SiteOutcome kind = run.RowResult(k).kind;
        done += kind != SiteOutcome::Pending && kind != SiteOutcome::Stopped ? 1 : 0;
    }
    return done * 100 / rows;
}

static void showCounts(Searching *window, const RunController &run)
{
    window->Up_Progress(finishedShare(run, window->rowCount()));
    window->LBSearch->setText(SearchSitesText(run.ActiveCount()));
    window->TBSearch->setText(HitCountText(run.HitCount));
}

// How the last search ended: its end text, each site's hits and outcome, and the bar at the
// share of sites that got to their end; after a stop the bar says so instead of looking done.
static void showEnd(Searching *window, const RunController &run, const QString &endText)
{
    for (int i = 0; i < run.SearchSlots && i < kRunTables; ++i)
        window->Sub1_Table(run.SlotRow[i], SiteFoundText(run.SiteHits[i]));
    showOutcomes(window, run);
    window->Up_Progress(finishedShare(run, window->rowCount()));
    if (run.StopFlag == 1)
        window->PGSearch->setFormat(RunEndText(true) + QStringLiteral(" %p%"));
    window->LBSearch->setText(endText);
    window->TBSearch->setText(HitCountText(run.HitCount));
}

// A run's start: the window is closed for updates, shown (which opens it) when the setting
// asks for it, and reset for the run in any case.
template <typename Window> static void openForRun(Window *window, int32_t show)
{
    window->cmdExit->setEnabled(true);
    window->openFlag = false;
    if (show != 0) {
        window->show();
        window->openFlag = true;
    }
    window->Init_Form();
}

RunWindows::RunWindows(Session &session, QWidget *owner) : session_(session), owner_(owner)
{
}

RunWindows::~RunWindows() = default;

Searching *RunWindows::searching()
{
    // Owned by the owner window; made again if it went away with it.
    if (!searching_)
        searching_ = new Searching(
            session_, [this] { refreshSearching(); }, owner_);
    return searching_;
}

Confirm *RunWindows::confirm()
{
    if (!confirm_)
        confirm_ = new Confirm(
            session_.run, [this] { refreshConfirm(); }, owner_);
    return confirm_;
}

void RunWindows::searchStart()
{
    RunController &run = session_.run;
    Searching *window = searching();
    searchEnd_.clear();
    openForRun(window, session_.settings.ShowSearching);
    // Sites passed over and sites no request could be built for have ended already.
    showOutcomes(window, run);
    if (window->openFlag) {
        for (int i = 0; i < run.SlotCount; ++i)
            refreshStatusCell(window, run, i);
        window->Up_Progress(0);
        window->LBSearch->setText(run.StatusText);
        window->TBSearch->setText(HitCountText(run.HitCount));
    }
}

void RunWindows::searchSlot(int slot)
{
    RunController &run = session_.run;
    Searching *window = searching();
    if (!window->openFlag)
        return;
    showSlot(window, run, slot);
    showCounts(window, run);
}

// The end stays in the window, hidden or not, so that showing it later needs no refresh (a
// window manager may show it without activating it): the end text, each site's hits and
// outcome in its row (none still sending: no thread of the run runs any more), the bar, and a
// stop button that has nothing left to stop.
void RunWindows::searchEnd(const QString &endText)
{
    Searching *window = searching();
    searchEnd_ = endText;
    showEnd(window, session_.run, searchEnd_);
    window->cmdExit->setEnabled(false);
}

// Each second of a search: a fetch that reports nothing for a while (a site that never
// answers) still shows the stage it has reached, not the one it had when last harvested.
void RunWindows::searchTick()
{
    RunController &run = session_.run;
    if (run.RunState != kRunSearch || !searching_ || !searching_->openFlag)
        return;
    const int32_t slots = run.SlotsOfKind(kRunSearch);
    for (int i = 0; i < slots; ++i) {
        if (Status(&run.FetchRecords[i]) != 0)
            refreshStatusCell(searching_, run, i);
    }
}

void RunWindows::refreshSearching()
{
    RunController &run = session_.run;
    Searching *window = searching();
    const int32_t slots = run.SlotsOfKind(kRunSearch);
    for (int i = 0; i < slots; ++i)
        showSlot(window, run, i);
    if (!searchEnd_.isEmpty() && run.RunState != kRunSearch)
        showEnd(window, run, searchEnd_);
    else
        showCounts(window, run);
}

// A classified check's row: its state and, once found finished, its time.
static void showCheck(Confirm *window, const RunController &run, int slot, int32_t state)
{
    window->Sub1_Table(slot, LinkStateText(state));
    window->setCellTip(slot, 1, LinkStateMeaning(state));
    if (run.CheckDone[slot])
        window->Sub2_Table(slot, CheckSecondsText(run.CheckTime[slot]));
}

void RunWindows::checkStart()
{
    RunController &run = session_.run;
    Confirm *window = confirm();
    checkEnd_.clear();
    openForRun(window, session_.settings.ShowChecking);
    for (int k = 0; k < run.SlotCount; ++k)
        window->Add_Table({run.SlotUrl(k), QString(), QString()});
    if (window->openFlag) {
        window->LBCheck->setText(run.StatusText);
        window->TBCheck->setText(DeadLineText(run.DeadCount()));
    }
}

void RunWindows::checkSlot(int slot, int32_t state)
{
    RunController &run = session_.run;
    Confirm *window = confirm();
    if (!window->openFlag)
        return;
    if (state != 0)
        showCheck(window, run, slot, state);
    window->LBCheck->setText(CheckingText(run.HitCount));
    window->TBCheck->setText(DeadFoundText(run.DeadCount()));
}

void RunWindows::checkEnd(const QString &counted, const QString &dead)
{
    Confirm *window = confirm();
    checkEnd_ = {counted, dead};
    window->LBCheck->setText(counted);
    window->TBCheck->setText(dead);
    window->cmdExit->setEnabled(false);
}

void RunWindows::refreshConfirm()
{
    RunController &run = session_.run;
    Confirm *window = confirm();
    const int32_t slots = run.SlotsOfKind(kRunCheck);
    for (int k = 0; k < slots; ++k) {
        const int32_t state = run.ClassifySlot(k);
        if (state != 0)
            showCheck(window, run, k, state);
    }
    const bool ended = checkEnd_.size() == 2 && run.RunState != kRunCheck;
    window->LBCheck->setText(ended ? checkEnd_.at(0) : CheckingText(run.HitCount));
    window->TBCheck->setText(ended ? checkEnd_.at(1) : DeadFoundText(run.DeadCount()));
}
