// Form1 as the view of the run controller: what a search or a link check shows in the main
// window, the progress windows and the stop notice.
#include "common/messagebox.h"
#include "core/keywords.h"
#include "core/merge.h"
#include "core/runtexts.h"
#include "core/session.h"
#include "driver/runwindows.h"
#include "history/historylink.h"
#include "mainwindow/form1.h"
#include "mainwindow/msgform.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

QString Form1::searchWords() const
{
    return Word->text();
}

bool Form1::goOnWithout(const QStringList &characters)
{
    return MsgBox(UnsendableNotice(characters), QMessageBox::Yes | QMessageBox::No, QString(),
                  QMessageBox::Question) == QMessageBox::Yes;
}

void Form1::statusChanged(const QString &text)
{
    setStatusText(text);
}

void Form1::clockStarted()
{
    Timer1->setInterval(1000);
    Timer1->start();
}

void Form1::clockStopped()
{
    Timer1->stop();
}

void Form1::stopNotice(bool shown)
{
    MsgForm *notice = msgForm();
    if (shown) {
        notice->msg->setText(StoppingText());
        notice->show();
    } else if (notice->isVisible()) {
        notice->hide();
    }
}

void Form1::message(const QString &text, const QString &title)
{
    MsgBox(text, QMessageBox::Ok, title);
}

void Form1::searchStarted()
{
    Search->setText(QStringLiteral("検索中止"));
    Do_HideWeb2();
    showFailures(0);
    Start_finder();
    ListMode();
    Init_LVResult();
    runWindows_.searchStart();
    history->searchStarted();
}

bool Form1::hitAdded(const Hit &hit)
{
    return Add_LView(hit);
}

QString Form1::hitCountNote() const
{
    return merging() ? MergedCountSuffix(hits_->mergedCount()) : QString();
}

bool Form1::takesHits() const
{
    return resultView();
}

void Form1::searchSlotDone(int slot)
{
    runWindows_.searchSlot(slot);
}

void Form1::searchEnded(const QString &endText)
{
    Search->setText(QStringLiteral("検索開始"));
    Stop_finder();
    runWindows_.searchEnd(endText);
    showFailures(session_.run.FailedSites());
    history->searchEnded();
}

void Form1::checkStarted()
{
    Search->setText(QStringLiteral("確認中止"));
    runWindows_.checkStart();
}

void Form1::checkSlotDone(int slot, int32_t state)
{
    runWindows_.checkSlot(slot, state);
}

void Form1::checkEnded(const QString &counted, const QString &dead)
{
    Search->setText(QStringLiteral("検索開始"));
    runWindows_.checkEnd(counted, dead);
}

void Form1::linkChecked(int32_t index, int32_t state)
{
    Item_LinkCheck(index, state);
}
