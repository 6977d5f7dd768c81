#include "driver/searchrun.h"

#include "common/encoding.h"
#include "driver/cfind.h"
#include "driver/hitrow.h"
#include "driver/runrules.h"
#include "driver/runtexts.h"
#include "driver/searching.h"
#include "mainwindow/form1.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Column 3 of the slot's row: the stage of a running fetch; emptied once its thread ended;
// left as it is for a stage without a text.
static void RefreshStatusCell(Searching *window, int row, FetchRecord &record)
{
    if (Status(&record) != 0) {
        const QString text = FetchStageText(RecordStatus(record));
        if (!text.isNull())
            window->Sub2_Table(row, text);
    } else {
        window->Sub2_Table(row, QString());
    }
}

void SearchStartDisplay()
{
    StatusText = SearchActiveText(ActiveCount);
    if (Form1 *form = MainForm()) {
        form->Search->setText(QStringLiteral("検索中止"));
        form->Do_HideWeb2();
        form->Start_finder();
        form->ListMode();
        form->Init_LVResult();
    }
    Searching *window = SearchingForm();
    window->openFlag = false;
    if (settings().ShowSearching != 0) {
        window->show();
        // Showing the window makes it the active one, which opens it for updates.
        window->openFlag = true;
    }
    window->Init_Form();
    if (window->openFlag) {
        for (int i = 0; i < SlotCount; ++i)
            RefreshStatusCell(window, SlotRow[i], FetchRecords[i]);
        window->Up_Progress(0);
        window->LBSearch->setText(StatusText);
        window->TBSearch->setText(HitCountText(HitCount));
    }
}

// Hits read from the engine's store in this search. A hit deleted from the list during the
// run leaves HitCount below this, so the store is counted on its own.
static int32_t storeNext = 0;

void StartHarvests()
{
    storeNext = 0;
}

void HarvestSearch(int i)
{
    const int32_t limit = settings().LimitLink;
    const int32_t k = iParse(i, HarvestMost(limit, SiteHits[i]));
    if (k > 0) {
        const int32_t take = HarvestTake(k, HitCount, SiteHits[i], limit);
        const int32_t first = storeNext;
        storeNext += k;
        char record[TESSEL_RESULT_SIZE];
        for (int32_t added = 0; added < take; ++added) {
            const int32_t r = first + added;
            if (r >= kRunTables || GetResult(r, record) != 0)
                break;
            HitOrder[HitCount] = r;
            LinkState[r] = kLinkNoCheck;
            // Counted at once: a hit deleted while events are handled below is found in
            // HitOrder, and the next hit goes to the place after the list's last.
            HitCount += 1;
            SiteHits[i] += 1;
            Form1 *form = MainForm();
            if (form)
                form->Add_LView(HitRow(record), r);
            QCoreApplication::processEvents();
            // A topic change agreed to meanwhile has given the list to the new topic's sites:
            // the rest of this page belongs to no list any more.
            form = MainForm();
            if (form && !form->resultView())
                return;
        }
    }
    // A stop may have arrived while the hits were taken; a page asked for now would start a
    // thread that nothing cancels any more. A full list takes no further hit, so asking any
    // site for more would only keep the run going until its time limit.
    if (!WantsNextPage(SiteHits[i], limit) || StopFlag == 1 || HitCount >= kMaxListHits)
        return;

    FetchRecord &slot = FetchRecords[i];
    slot.page += 1;
    if (!MayFetchPage(SiteHits[i], slot.page))
        return;
    iForm(slot.site, settings().SearchMode, slot.page, SearchKeywords(), SearchRequest());
    iGet(&slot, SearchRequest());
    SlotBusy[i] = 1;
    ActiveCount += 1;
}

void SearchSlotDisplay(int i)
{
    StatusText = SearchActiveText(ActiveCount);
    Searching *window = SearchingForm();
    if (window->openFlag) {
        window->Sub1_Table(SlotRow[i], SiteFoundText(SiteHits[i]));
        RefreshStatusCell(window, SlotRow[i], FetchRecords[i]);
        window->Up_Progress(WholeSeconds(RunClock() - RunStart));
        window->LBSearch->setText(SearchSitesText(ActiveCount));
        window->TBSearch->setText(HitCountText(HitCount));
    }
    StatusText += RunningHitsSuffix(HitCount);
    if (Form1 *form = MainForm())
        form->ShowElapsed();
}

void SearchEndDisplay()
{
    Form1 *form = MainForm();
    if (form)
        form->Search->setText(QStringLiteral("検索開始"));
    StatusText = RunEndText(StopFlag == 1);
    if (form)
        form->Stop_finder();
    Searching *window = SearchingForm();
    if (window->openFlag) {
        window->LBSearch->setText(StatusText);
        window->TBSearch->setText(HitCountText(HitCount));
    }
    StatusText += EndHitsSuffix(HitCount);
}

int32_t RowHits(int k)
{
    const int32_t slots = SlotsOfKind(kRunSearch);
    for (int n = 0; n < slots; ++n) {
        if (SlotRow[n] == k)
            return SiteHits[n];
    }
    return 0;
}

void RefreshSearching()
{
    Searching *window = SearchingForm();
    const int32_t slots = SlotsOfKind(kRunSearch);
    for (int i = 0; i < slots; ++i) {
        window->Sub1_Table(SlotRow[i], SiteFoundText(SiteHits[i]));
        RefreshStatusCell(window, SlotRow[i], FetchRecords[i]);
    }
    window->Up_Progress(WholeSeconds(RunClock() - RunStart));
    window->LBSearch->setText(SearchSitesText(ActiveCount));
    window->TBSearch->setText(HitCountText(HitCount));
}
