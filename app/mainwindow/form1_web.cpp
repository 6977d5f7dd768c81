// Form1's web panes (Web beside the tree, Web2 under the list), the address box of browse
// mode, the hand-off to the desktop's browser, and the window's layout with the splitter
// between the panes. The arithmetic is in layout.cpp; this file measures and places.
#include "core/session.h"
#include "mainwindow/form1.h"
#include "mainwindow/splittergrip.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include <algorithm>
#include <cmath>

// ---- the desktop's browser ----

namespace {

// The offscreen and minimal platforms have no screen a browser window could appear on.
bool noDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

bool reuseRunningBrowser(const QUrl &url)
{
    return !noDisplay() && QDesktopServices::openUrl(url);
}

bool startNewBrowser(const QUrl &url)
{
    return !noDisplay() &&
           QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

BrowserHandoff &handoff()
{
    static BrowserHandoff h;
    return h;
}

// What the user or a caller gave as an address: a full address, a bare host and path, or a
// file's path (the saved list).
QUrl addressUrl(const QString &address)
{
    return QUrl::fromUserInput(address);
}

QRect pixels(const layout::Box &b, int twips)
{
    // Edges are rounded, not sizes, so controls that touch in twips touch on screen.
    auto px = [twips](int v) { return int(std::lround(double(v) / twips)); };
    const int left = px(b.left);
    const int top = px(b.top);
    return {left, top, std::max(0, px(b.right()) - left), std::max(0, px(b.bottom()) - top)};
}

} // namespace

void setBrowserHandoff(BrowserHandoff h)
{
    handoff() = std::move(h);
}

void Form1::Do_RefIE()
{
    const QUrl url = addressUrl(TargetURL);
    const auto &reuse = handoff().reuse ? handoff().reuse : reuseRunningBrowser;
    const auto &fresh = handoff().fresh ? handoff().fresh : startNewBrowser;
    // Once the reused browser has failed the window keeps it as it is: every later address
    // goes to a new browser.
    if (!refDead_ && reuse(url))
        return;
    refDead_ = true;
    if (fresh(url))
        return;
    setStatusText(QStringLiteral("ブラウザを起動できません： ") + TargetURL);
}

// ---- web panes ----

// The window's own filter for the surface and the address box, apart from the one the search
// face and the list share.
class PaneEvents : public QObject {
public:
    explicit PaneEvents(Form1 *form) : QObject(form), form_(form) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return form_->paneEvent(watched, event);
    }

private:
    Form1 *form_;
};

void Form1::buildWebPanes(QWidget *surface)
{
    Web = new QWebEngineView(surface);
    Web->setObjectName(QStringLiteral("Web"));
    Web->hide();
    connect(Web, &QWebEngineView::loadFinished, this, [this](bool) { Web_DownloadComplete(); });
    Web2 = new QWebEngineView(surface);
    Web2->setObjectName(QStringLiteral("Web2"));
    Web2->hide();
    connect(Web2, &QWebEngineView::loadFinished, this, [this](bool) { Web2_DownloadComplete(); });

    // A pane draws its pages through a child the web engine adds with the pane's first page,
    // a widget that renders to a texture. The first such child turns the window's composition
    // over to textures, and a window already on screen is rebuilt for that: destroyed and made
    // again, so the click that opened the first preview loses the second click of a double
    // click, and the window its focus. An empty page in the preview pane now, before the
    // window has its native window, has it made for textures from the start.
    Web2->setUrl(QUrl(QStringLiteral("about:blank")));

    grip_ = new SplitterGrip(surface, {[this](QPoint at) { splitterPress(at, true); },
                                       [this](QPoint at) { splitterMove(at); },
                                       [this](QPoint at) { splitterRelease(at); }});
    grip_->hide();

    auto *filter = new PaneEvents(this);
    surface->installEventFilter(filter);
    surface->setMouseTracking(true);
    URL->installEventFilter(filter);
}

void Form1::Do_Browse1()
{
    Web->show();
    Web->load(addressUrl(TargetURL));
    showPageStatus(QStringLiteral("アクセス中： ") + TargetURL);
}

void Form1::Do_Browse2()
{
    runCommand(11);
    Web2->load(addressUrl(TargetURL));
    showPageStatus(QStringLiteral("アクセス中： ") + TargetURL);
}

void Form1::Do_ShowWeb2()
{
    setPreview(true);
}

void Form1::Do_HideWeb2()
{
    setPreview(false);
}

void Form1::setPreview(bool shown)
{
    PreviewShown = shown;
    layout::SetPreviewShown(layout_, shown);
    placeControls();
    Web2->setVisible(shown);
    UpdateSplitterZone();
}

void Form1::clearPreview()
{
    if (PreviewShown)
        Do_HideWeb2();
    if (Web2->url().isEmpty() || Web2->url() == QUrl(QStringLiteral("about:blank")))
        return;
    Web2->stop();
    Web2->setUrl(QUrl(QStringLiteral("about:blank")));
    Web2->history()->clear();
}

void Form1::Web_DownloadComplete()
{
    if (!BrowseMode)
        return;
    const QString shown = Web->url().toString();
    showPageStatus(QStringLiteral("表示中： ") + shown);
    URL->setText(shown);
}

void Form1::Web2_DownloadComplete()
{
    // The empty page the pane starts with (or is cleared to) is no page to go back to.
    QWebEngineHistory *history = Web2->history();
    if (history->count() == 2 && history->canGoBack() &&
        history->backItem().url() == QUrl(QStringLiteral("about:blank")))
        history->clear();
    if (PreviewShown)
        showPageStatus(QStringLiteral("表示中： ") + Web2->url().toString());
}

void Form1::URL_KeyPress(int key)
{
    if (key != 13)
        return;
    // Browse mode opens the home address; the typed one replaces it at once.
    TreeMode();
    TargetURL = URL->text();
    runCommand(23);
}

bool Form1::paneEvent(QObject *watched, QEvent *event)
{
    if (watched == URL) {
        if (event->type() == QEvent::FocusIn) {
            // Selecting at once would be undone by the mouse press that gave the focus.
            QTimer::singleShot(0, URL, [u = URL] { u->selectAll(); });
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                URL_KeyPress(13);
                return true;
            }
        }
        return false;
    }
    if (watched != surface_)
        return false;
    switch (event->type()) {
    case QEvent::Resize:
        Form_Resize();
        break;
    case QEvent::MouseButtonPress:
        splitterPress(static_cast<QMouseEvent *>(event)->position().toPoint(), false);
        break;
    case QEvent::MouseButtonRelease:
        splitterRelease(static_cast<QMouseEvent *>(event)->position().toPoint());
        break;
    case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        splitterMove(at);
        if (layout_.dragging || layout_.zone.holds(at.x() * twips_, at.y() * twips_))
            surface_->setCursor(layoutMode == LayoutMode::Browse ? Qt::SplitHCursor
                                                                 : Qt::SplitVCursor);
        else
            surface_->unsetCursor();
        break;
    }
    default:
        break;
    }
    return false;
}

// ---- splitter ----

// A press in the zone (or anywhere on the grip) starts a drag; while the button is held the
// panes follow the mouse, each step worked out from the layout at the press, so the release
// leaves them where a single move by the whole distance would.
void Form1::splitterPress(QPoint at, bool onGrip)
{
    const int x = at.x() * twips_;
    const int y = at.y() * twips_;
    if (onGrip)
        layout::SplitterGrab(layout_, x, y);
    else if (!layout::SplitterDown(layout_, x, y))
        return;
    pressed_ = layout_;
}

void Form1::splitterMove(QPoint at)
{
    if (!layout_.dragging)
        return;
    layout::SplitterFollow(layout_, pressed_, layoutMode, PreviewShown, at.x() * twips_,
                           at.y() * twips_);
    placeControls();
}

void Form1::splitterRelease(QPoint at)
{
    if (!layout_.dragging)
        return;
    splitterMove(at);
    UpdateSplitterZone();
}

void Form1::placeGrip()
{
    if (!grip_)
        return;
    const layout::Box box = layout::SplitterHandle(layout_, layoutMode, PreviewShown);
    grip_->setOrientation(layoutMode == LayoutMode::Browse ? Qt::Horizontal : Qt::Vertical);
    // At least kPaneMin across on screen too, however the twips round to pixels.
    QRect r = pixels(box, twips_);
    const int least = (layout::kPaneMin + twips_ - 1) / twips_;
    if (layoutMode == LayoutMode::Browse && r.width() < least)
        r.adjust(-(least - r.width()) / 2, 0, (least - r.width() + 1) / 2, 0);
    else if (layoutMode == LayoutMode::Search && r.height() < least)
        r.adjust(0, -(least - r.height()) / 2, 0, (least - r.height() + 1) / 2);
    grip_->setGeometry(r);
    grip_->setVisible(laidOut_ && box.width > 0 && box.height > 0);
    grip_->raise();
}

// ---- layout ----

void Form1::InitLayout()
{
    const int t = layout::TwipsPerPixel(session_.screenDpi);
    twips_ = t;
    // 800 × 500 pixels; the controls are placed on the surface's coordinates, so the window's
    // own layout must have settled the menu bar, the surface and the status bar first.
    resize(800, 500);
    layout()->activate();

    layout::Design d;
    d.width = width() * t;
    d.height = height() * t;
    d.statusTop = (Status->geometry().top() - surface_->geometry().top()) * t;
    d.toolHeight = Tool ? Tool->sizeHint().height() * t : 0;
    const QSize finderSize = finder->sizeHint().expandedTo(QSize(32, 32));
    d.finderWidth = finderSize.width() * t;
    d.finderHeight = finderSize.height() * t;
    int row = 0;
    for (QWidget *w : std::initializer_list<QWidget *>{Word, Topic, TMethod, Search, URL})
        row = std::max(row, w->sizeHint().height());
    d.rowHeight = row * t;
    int label = 0;
    for (QLabel *l : {LWord, LTopic, ADR})
        label = std::max(label, l->sizeHint().width());
    d.labelWidth = label * t;
    d.methodLabelWidth = LMethod->sizeHint().width() * t;
    // The chooser's entries are added later; make room for the longer one and the arrow.
    int method = 0;
    for (const QString &caption : MethodCaptions())
        method = std::max(method, TMethod->fontMetrics().horizontalAdvance(caption));
    d.methodWidth = (method + 40) * t;
    // Wide enough for every caption the button takes ("検索開始", "検索中止", "確認中止").
    d.searchWidth =
        std::max(Search->sizeHint().width(),
                 Search->fontMetrics().horizontalAdvance(QStringLiteral("検索中止")) + 32) *
        t;
    d.treeWidth = 200 * t;

    layout_ = layout::InitLayout(d);
    setMinimumSize(layout_.minWidth / t, layout_.minHeight / t);
    laidOut_ = true;
    placeControls();
    Resize_LView();
    UpdateSplitterZone();
}

void Form1::placeControls()
{
    if (!laidOut_)
        return;
    const layout::Layout &l = layout_;
    const int t = twips_;
    finder->setGeometry(pixels(l.finder, t));
    if (Tool)
        Tool->setGeometry(pixels(l.tool, t));
    LWord->setGeometry(pixels(l.lWord, t));
    Word->setGeometry(pixels(l.word, t));
    Search->setGeometry(pixels(l.search, t));
    LTopic->setGeometry(pixels(l.lTopic, t));
    Topic->setGeometry(pixels(l.topic, t));
    LMethod->setGeometry(pixels(l.lMethod, t));
    TMethod->setGeometry(pixels(l.tMethod, t));
    ADR->setGeometry(pixels(l.adr, t));
    URL->setGeometry(pixels(l.url, t));
    TView->setGeometry(pixels(l.tree, t));
    Web->setGeometry(pixels(l.web, t));
    LView->setGeometry(pixels(l.list, t));
    Web2->setGeometry(pixels(l.web2, t));
    placeGrip();
}

void Form1::Form_Resize()
{
    if (!laidOut_)
        return;
    // The menu bar and the status bar take their final heights only once the window is shown
    // and styled, so the band below the status top is measured here rather than kept from
    // start-up; the status top then is always the surface's bottom.
    layout_.bottomBand = (height() - surface_->height()) * twips_;
    int dx = 0;
    if (!layout::Form_Resize(layout_, width() * twips_, height() * twips_, PreviewShown, &dx))
        return;
    placeControls();
    if (dx != 0)
        Resize_LView();
    // The zone follows the panes' new edges; a stale one would leave part of the splitter
    // out of reach after the window grew.
    UpdateSplitterZone();
}

void Form1::UpdateSplitterZone()
{
    layout::UpdateSplitterZone(layout_, layoutMode, PreviewShown);
    if (surface_)
        surface_->unsetCursor();
    placeGrip();
}
