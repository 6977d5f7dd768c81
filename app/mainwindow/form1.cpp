// Form1: construction and start-up.
#include "mainwindow/form1.h"

#include "common/pause.h"
#include "core/session.h"
#include "core/sessionend.h"
#include "history/historylink.h"
#include "mainwindow/menus.h"
#include "mainwindow/msgform.h"
#include "settings/splash.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

Form1::Form1(Session &session, QWidget *parent)
    : QMainWindow(parent), session_(session), runWindows_(session, this)
{
    setObjectName(QStringLiteral("Form1"));
    session_.run.setView(this);

    surface_ = new QWidget(this);
    surface_->setObjectName(QStringLiteral("surface"));
    setCentralWidget(surface_);
    surface_->installEventFilter(this);
    buildSearchFace(surface_);
    buildList(surface_);
    buildWebPanes(surface_);
    BuildMenus(this);
    history = new HistoryLink(*this);
}

Form1::~Form1()
{
    if (session_.run.view() == this)
        session_.run.setView(nullptr);
}

MsgForm *Form1::msgForm()
{
    if (!msgForm_)
        msgForm_ = new MsgForm(this);
    return msgForm_;
}

void Form1::EndProgram()
{
    EndSession(session_, [this] {
        if (rememberPlace)
            savePlace();
    });
}

void Form1::Form_Load(int waitMs)
{
    move(0, 0);
    setWindowTitle(session_.settings.Title);
    // The lists take their column widths from their size, so the layout must have placed
    // them before they are filled, even though the window isn't shown yet.
    InitLayout();
    if (rememberPlace)
        restorePlace();
    Init_TMethod();
    Init_finder();
    Init_Topic();
    ListMode();
    PreviewShown = false;
    Before_Search();
    // The keys follow a search's steps: words, how they combine, go, then the topic and the
    // hits. The program starts with the keyword box ready for typing.
    setTabOrder(Word, TMethod);
    setTabOrder(TMethod, Search);
    setTabOrder(Search, Topic);
    setTabOrder(Topic, LView);
    show();
    Word->setFocus(Qt::OtherFocusReason);
    if (rememberPlace)
        restoreSplits();
    HideSplash();
    Pause(waitMs);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the window is the exit command: the orderly end saves settings and topics. A run
    // still going keeps the window up, with the stop notice, until its threads are gone; then
    // the window closes again, and for good.
    // The end is already on its way, waiting for a stop before it saves: closing now would
    // quit with the last window and lose the save.
    if (session_.ended && session_.run.stopping()) {
        event->ignore();
        return;
    }
    if (session_.run.ActiveCount() > 0 && !session_.ended) {
        event->ignore();
        QPointer<Form1> self(this);
        session_.run.Do_Stop(
            [self] {
                if (self)
                    self->close();
            },
            true);
        return;
    }
    event->accept();
    EndProgram();
}
