// Form1: construction, start-up, and the provisional layout and web-pane operations.
#include "mainwindow/form1.h"

#include "common/pause.h"
#include "driver/cfind.h"
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

    surface_ = new QWidget(this);
    surface_->setObjectName(QStringLiteral("surface"));
    setCentralWidget(surface_);
    surface_->installEventFilter(this);
    buildSearchFace(surface_);
    buildList(surface_);
    BuildMenus(this);
}

Form1::~Form1()
{
    if (theForm == this)
        theForm = nullptr;
}

void Form1::Form_Load(int waitMs)
{
    move(0, 0);
    setWindowTitle(settings().Title);
    // The lists take their column widths from their size, so the layout must have placed
    // them before they are filled, even though the window isn't shown yet.
    resize(800, 500);
    layout()->activate();
    ProvisionalLayout();
    Init_TMethod();
    Init_finder();
    Init_Topic();
    ListMode();
    PreviewShown = false;
    Before_Search();
    show();
    HideSplash();
    Pause(waitMs);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the window is the exit command: the orderly end saves settings and topics.
    event->accept();
    EndProgram();
}

// ---- Layout (provisional: a plain two-row search face over the list, the tree at left in
// browse mode; the full layout with the splitter replaces this). ----

void Form1::ProvisionalLayout()
{
    if (!surface_ || !LView || !TView)
        return;
    const int w = surface_->width();
    const int h = surface_->height();
    const int right = w - 8;
    const int rowH = 24;
    const int row1 = 8;
    const int row2 = row1 + rowH + 4;

    finder->setGeometry(right - 32, 0, 32, 32);
    const int rightEnd = right - 40;
    LWord->setGeometry(8, row1, 72, rowH);
    Search->setGeometry(rightEnd - 90, row1, 90, rowH);
    Word->setGeometry(84, row1, qMax(50, rightEnd - 90 - 8 - 84), rowH);
    LTopic->setGeometry(8, row2, 72, rowH);
    TMethod->setGeometry(rightEnd - 150, row2, 150, rowH);
    LMethod->setGeometry(rightEnd - 150 - 72, row2, 68, rowH);
    Topic->setGeometry(84, row2, qMax(50, rightEnd - 150 - 76 - 84), rowH);
    ADR->setGeometry(8, row1, 72, rowH);
    URL->setGeometry(84, row1, qMax(50, rightEnd - 84), rowH);

    const int listTop = row2 + rowH + 8;
    LView->setGeometry(0, listTop, right, qMax(64, h - listTop));
    TView->setGeometry(0, row1 + rowH + 8, qMin(240, right / 3), qMax(64, h - row1 - rowH - 8));
    Resize_LView();
}

void Form1::resizeEvent(QResizeEvent *event)
{
    // The controls follow the surface's size (see eventFilter): when the window's own resize
    // arrives, the surface hasn't been given its new size yet.
    QMainWindow::resizeEvent(event);
}

// ---- Web panes (provisional: the panes are not built yet; these keep the flags and the
// splitter contract so the drivers and the modes can call them). ----

void Form1::Do_HideWeb2()
{
    PreviewShown = false;
    UpdateSplitterZone();
}

void Form1::Do_ShowWeb2()
{
    PreviewShown = true;
    UpdateSplitterZone();
}

void Form1::UpdateSplitterZone()
{
}
