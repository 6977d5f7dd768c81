#include "driver/check.h"

#include "common/messagebox.h"
#include "driver/confirm.h"
#include "driver/hitrow.h"
#include "driver/runrules.h"
#include "driver/runtexts.h"
#include "mainwindow/form1.h"
#include "settings/settings.h"
#include "settings/startup.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

int32_t CheckTime[kRunTables];
int32_t CheckLeft = 0;
int32_t DeadCount = 0;

void Do_Check()
{
    if (HitCount == 0)
        return;
    RunState = kRunCheck;
    StopFlag = 0;
    DeadCount = 0;
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
            iCheck(&record, d);
            ++n;
        } else if (LinkState[d] == kLinkNotFound) {
            DeadCount += 1;
        }
    }
    ActiveCount = CheckLeft = SlotCount = n;
    RunStart = RunClock();
    RunLimit = settings().CheckWait;
    Run_Poll();
    RunState = kRunIdle;
    // A topic change during the run (after the user agreed) leaves no hit to clean up; a
    // close of the main window during it has ended the program.
    if (settings().AutoDelete != 0 && HitCount > 0 && !ProgramEnded())
        Do_DelDead();
}

// The URL of the hit a check slot checks, for the Confirm window.
static QString slotUrl(int k)
{
    char record[TESSEL_RESULT_SIZE];
    if (GetResult(FetchRecords[k].slot, record) != 0)
        return QString();
    return HitRow(record).value(1);
}

void CheckStartDisplay()
{
    StatusText = CheckActiveText(ActiveCount);
    if (Form1 *form = MainForm())
        form->Search->setText(QStringLiteral("確認中止"));
    Confirm *window = ConfirmForm();
    window->openFlag = false;
    if (settings().ShowChecking != 0) {
        window->show();
        // Showing the window makes it the active one, which opens it for updates.
        window->openFlag = true;
    }
    window->Init_Form();
    for (int k = 0; k < SlotCount; ++k)
        window->Add_Table({slotUrl(k), QString(), QString()});
    if (window->openFlag) {
        window->LBCheck->setText(StatusText);
        window->TBCheck->setText(DeadLineText(DeadCount));
    }
}

// Step 3 of a check harvest: the state of a finished check and its row in the Confirm window.
// Returns the new state, or 0 when the check ended without a status code.
static int32_t classify(int i)
{
    const int32_t status = RecordStatus(FetchRecords[i]);
    const int32_t state = LinkStateOf(status);
    if (state == 0)
        return 0;
    const int32_t r = FetchRecords[i].slot;
    LinkState[r] = state;
    Confirm *window = ConfirmForm();
    if (window->openFlag) {
        window->Sub1_Table(i, LinkStateText(state));
        if (CheckTime[i] > 0)
            window->Sub2_Table(i, CheckSecondsText(CheckTime[i]));
    }
    return state;
}

void HarvestCheck(int i)
{
    CheckTime[i] = Hundredths(RunClock() - RunStart);
    const int32_t state = classify(i);
    if (state == 0)
        return;
    if (Form1 *form = MainForm())
        form->Item_LinkCheck(FetchRecords[i].slot, state);
    CheckLeft -= 1;
    if (state == kLinkNotFound)
        DeadCount += 1;
}

void CheckSlotDisplay(int)
{
    StatusText = CheckActiveText(ActiveCount);
    Confirm *window = ConfirmForm();
    if (window->openFlag) {
        window->LBCheck->setText(CheckingText(HitCount));
        window->TBCheck->setText(DeadFoundText(DeadCount));
    }
    if (Form1 *form = MainForm())
        form->ShowElapsed();
}

void CheckEndDisplay()
{
    if (Form1 *form = MainForm())
        form->Search->setText(QStringLiteral("検索開始"));
    const QString first = RunEndText(StopFlag == 1);
    const QString counted = CheckedText(HitCount, CheckLeft);
    const QString dead = DeadEndText(DeadCount);
    Confirm *window = ConfirmForm();
    if (window->openFlag) {
        window->LBCheck->setText(counted);
        window->TBCheck->setText(dead);
    }
    StatusText = first + counted + dead;
}

void RefreshConfirm()
{
    const int32_t slots = SlotsOfKind(kRunCheck);
    for (int k = 0; k < slots; ++k)
        classify(k);
    Confirm *window = ConfirmForm();
    window->LBCheck->setText(CheckingText(HitCount));
    window->TBCheck->setText(DeadFoundText(DeadCount));
}

void Do_DelDead()
{
    Form1 *form = MainForm();
    if (!form)
        return;
    form->setStatusText(QStringLiteral("リンク切れの削除中です。"));
    const int32_t before = HitCount;
    int32_t kept = 0;
    int position = 1;
    while (position <= form->listCount()) {
        const int32_t idx = KeyIndex(form->itemKey(position));
        bool repeated = false;
        for (int k = 0; k < kept && !repeated; ++k)
            repeated = URLSame(idx, HitOrder[k]) != 0;
        const bool dead = idx >= 0 && idx < kRunTables && LinkState[idx] == kLinkNotFound;
        if (!dead && !repeated && kept < kRunTables) {
            HitOrder[kept] = idx;
            kept += 1;
            position += 1;
        } else {
            // The next row moves up into this position and is examined there.
            form->Item_LinkDel(position);
        }
    }
    form->setStatusText(QStringLiteral("リンク切れの削除が終わりました。"));
    HitCount = kept;
    const QString result = DelDeadResultText(before, kept);
    form->setStatusText(result);
    MsgBox(result, QMessageBox::Ok, QStringLiteral("リンク切れ削除"));
}

void Do_DelOne(int position)
{
    Form1 *form = MainForm();
    if (!form || position > form->listCount() || position < 1)
        return;
    const QString key = form->itemKey(form->selectedPosition());
    bool ok = false;
    const int32_t idx = key.startsWith(QStringLiteral("j=")) ? key.mid(2).toInt(&ok) : 0;
    if (!ok) {
        MsgBox(QStringLiteral("Do_DelOne error"));
        return;
    }
    int j = 0;
    while (j < HitCount && HitOrder[j] != idx)
        ++j;
    if (j >= HitCount)
        return;
    form->Item_LinkDel(position);
    form->setStatusText(QStringLiteral("j=") + QString::number(idx) + QStringLiteral(" n=") +
                        QString::number(j));
    for (int k = j; k + 1 < HitCount; ++k)
        HitOrder[k] = HitOrder[k + 1];
    HitCount -= 1;
}
