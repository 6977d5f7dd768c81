// Form1: construction and start-up.
#include "mainwindow/form1.h"

#include "common/pause.h"
#include "driver/runcontroller.h"
#include "driver/runwindows.h"
#include "mainwindow/menus.h"
#include "settings/settings.h"
#include "settings/splash.h"
#include "settings/startup.h"

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

static Form1 *theForm = nullptr;

Form1 *MainForm()
{
    return theForm;
}

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    theForm = this;
    InstallRunHooks();
    runController().setView(this);
    setProgressOwner(this);

    surface_ = new QWidget(this);
    surface_->setObjectName(QStringLiteral("surface"));
    setCentralWidget(surface_);
    surface_->installEventFilter(this);
    buildSearchFace(surface_);
    buildList(surface_);
    buildWebPanes(surface_);
    BuildMenus(this);
}

Form1::~Form1()
{
    if (theForm == this)
        theForm = nullptr;
    if (runController().view() == this)
        runController().setView(nullptr);
}

void Form1::Form_Load(int waitMs)
{
    move(0, 0);
    setWindowTitle(settings().Title);
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
    show();
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
    if (ProgramEnded() && runController().stopping()) {
        event->ignore();
        return;
    }
    if (runController().ActiveCount() > 0 && !ProgramEnded()) {
        event->ignore();
        QPointer<Form1> self(this);
        runController().Do_Stop(
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
