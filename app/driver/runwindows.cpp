#include "driver/runwindows.h"

#include "driver/confirm.h"
#include "driver/runcontroller.h"
#include "driver/runrules.h"
#include "driver/runtexts.h"
#include "driver/searching.h"
#include "settings/settings.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

static QPointer<QWidget> &owner()
{
    static QPointer<QWidget> widget;
    return widget;
}

void setProgressOwner(QWidget *widget)
{
    owner() = widget;
}

QWidget *progressOwner()
{
    return owner();
}

// The end texts of the last run of each kind, kept so that a window shown after its run shows
// how the run ended instead of the running counts; empty while a run of its kind goes on.
static QString &searchEnd()
{
    static QString text;
    return text;
}

static QStringList &checkEnd()
{
    static QStringList texts;
    return texts;
}

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
static void showEnd(Searching *window, const RunController &run)
{
    for (int i = 0; i < run.SearchSlots && i < kRunTables; ++i)
        window->Sub1_Table(run.SlotRow[i], SiteFoundText(run.SiteHits[i]));
    showOutcomes(window, run);
    window->Up_Progress(finishedShare(run, window->rowCount()));
    if (run.StopFlag == 1)
        window->PGSearch->setFormat(RunEndText(true) + QStringLiteral(" %p%"));
    window->LBSearch->setText(searchEnd());
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

void SearchWindowStart(RunController &run)
{
    Searching *window = SearchingForm();
    searchEnd().clear();
    openForRun(window, settings().ShowSearching);
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

void SearchWindowSlot(RunController &run, int slot)
{
    Searching *window = SearchingForm();
    if (!window->openFlag)
        return;
    showSlot(window, run, slot);
    showCounts(window, run);
}

// The end stays in the window, hidden or not, so that showing it later needs no refresh (a
// window manager may show it without activating it): the end text, each site's hits and
// outcome in its row (none still sending: no thread of the run runs any more), the bar, and a
// stop button that has nothing left to stop.
void SearchWindowEnd(RunController &run, const QString &endText)
{
    Searching *window = SearchingForm();
    searchEnd() = endText;
    showEnd(window, run);
    window->cmdExit->setEnabled(false);
}

void RefreshSearching()
{
    RunController &run = runController();
    Searching *window = SearchingForm();
    const int32_t slots = run.SlotsOfKind(kRunSearch);
    for (int i = 0; i < slots; ++i)
        showSlot(window, run, i);
    if (!searchEnd().isEmpty() && run.RunState != kRunSearch)
        showEnd(window, run);
    else
        showCounts(window, run);
}

// A classified check's row: its state and, once found finished, its time.
static void showCheck(Confirm *window, const RunController &run, int slot, int32_t state)
{
    window->Sub1_Table(slot, LinkStateText(state));
    if (run.CheckDone[slot])
        window->Sub2_Table(slot, CheckSecondsText(run.CheckTime[slot]));
}

void CheckWindowStart(RunController &run)
{
    Confirm *window = ConfirmForm();
    checkEnd().clear();
    openForRun(window, settings().ShowChecking);
    for (int k = 0; k < run.SlotCount; ++k)
        window->Add_Table({run.SlotUrl(k), QString(), QString()});
    if (window->openFlag) {
        window->LBCheck->setText(run.StatusText);
        window->TBCheck->setText(DeadLineText(run.DeadCount()));
    }
}

void CheckWindowSlot(RunController &run, int slot, int32_t state)
{
    Confirm *window = ConfirmForm();
    if (!window->openFlag)
        return;
    if (state != 0)
        showCheck(window, run, slot, state);
    window->LBCheck->setText(CheckingText(run.HitCount));
    window->TBCheck->setText(DeadFoundText(run.DeadCount()));
}

void CheckWindowEnd(const QString &counted, const QString &dead)
{
    Confirm *window = ConfirmForm();
    checkEnd() = {counted, dead};
    window->LBCheck->setText(counted);
    window->TBCheck->setText(dead);
    window->cmdExit->setEnabled(false);
}

void RefreshConfirm()
{
    RunController &run = runController();
    Confirm *window = ConfirmForm();
    const int32_t slots = run.SlotsOfKind(kRunCheck);
    for (int k = 0; k < slots; ++k) {
        const int32_t state = run.ClassifySlot(k);
        if (state != 0)
            showCheck(window, run, k, state);
    }
    const bool ended = checkEnd().size() == 2 && run.RunState != kRunCheck;
    window->LBCheck->setText(ended ? checkEnd().at(0) : CheckingText(run.HitCount));
    window->TBCheck->setText(ended ? checkEnd().at(1) : DeadFoundText(run.DeadCount()));
}
