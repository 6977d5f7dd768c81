#include "help/helpwindow.h"

#include "core/progdir.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEngineHistory>
#include <QWebEngineView>

namespace helptree {

namespace {

struct Builder {
    const HelpTable &table;
    std::vector<Node> nodes;

    int O(int level, int entry) const { return table.entries[entry].levels[level]; }

    int add(int entry, int parent)
    {
        nodes.push_back({entry, parent});
        return int(nodes.size()) - 1;
    }

    // Places the run of entries from start on that share their number at this level under
    // parent; returns the first entry not taken.
    int Nest_THelp(int start, int level, int parent)
    {
        const int n = table.count;
        const int key = O(level, start);
        int previous = O(level, start);
        int lastChild = parent;
        int i = start;
        while (i < n && O(level, i) == key) {
            if (level + 1 < 5 && O(level + 1, i) == previous) {
                i = Nest_THelp(i, level + 1, lastChild);
                // The deeper group may end at an entry of another run (index 1, 1.1, 2):
                // that entry belongs to an outer level, never under this parent.
                if (i >= n || O(level, i) != key)
                    break;
            }
            lastChild = add(i, parent);
            previous = O(level + 1, i);
            ++i;
        }
        return i;
    }
};

} // namespace

std::vector<Node> Init_THelp(const HelpTable &table)
{
    Builder b{table, {}};
    const int n = std::clamp(table.count, 0, kHelpEntries);
    b.nodes.reserve(n);
    int lastKey = 0;
    int lastRoot = -1;
    for (int i = 0; i < n;) {
        if (b.O(0, i) == lastKey) {
            i = b.Nest_THelp(i, 0, lastRoot);
            if (i >= n)
                break;
        }
        lastRoot = b.add(i, -1);
        lastKey = b.O(0, i);
        ++i;
    }
    return b.nodes;
}

} // namespace helptree

namespace {

constexpr int kTreeWidth = 240;
constexpr int kMaxIcons = 64;

// The drawn icons: a closed book, an open book and a page, in the colours of the help pages.
QIcon drawnIcon(int number)
{
    QPixmap picture(32, 32);
    picture.setDevicePixelRatio(2);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 110), 1));
    switch (number) {
    case 0:
        p.setBrush(QColor(70, 110, 190));
        p.drawRect(3, 1, 10, 14);
        p.setBrush(QColor(240, 240, 230));
        p.drawRect(11, 2, 2, 12);
        break;
    case 1:
        p.setBrush(QColor(250, 250, 240));
        p.drawPolygon(QPolygon({QPoint(1, 3), QPoint(8, 5), QPoint(8, 14), QPoint(1, 12)}));
        p.drawPolygon(QPolygon({QPoint(15, 3), QPoint(8, 5), QPoint(8, 14), QPoint(15, 12)}));
        break;
    default:
        p.setBrush(Qt::white);
        p.drawPolygon(
            QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 15), QPoint(3, 15)}));
        p.drawLine(5, 6, 11, 6);
        p.drawLine(5, 9, 11, 9);
        p.drawLine(5, 12, 11, 12);
        break;
    }
    return QIcon(picture);
}

// Two addresses of the same help page: a link's #part or ?query still names the page.
bool samePage(const QUrl &a, const QUrl &b)
{
    constexpr auto kPageOnly =
        QUrl::RemoveFragment | QUrl::RemoveQuery | QUrl::NormalizePathSegments;
    return a.adjusted(kPageOnly) == b.adjusted(kPageOnly);
}

} // namespace

Help::Help(const HelpTable &table, QWidget *parent) : QWidget(parent, Qt::Window), table_(table)
{
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(QStringLiteral(" Velmora ヘルプ"));
    resize(860, 600);

    THelp = new QTreeWidget(this);
    THelp->setObjectName(QStringLiteral("THelp"));
    THelp->setHeaderHidden(true);
    THelp->setGeometry(0, 0, kTreeWidth, 576);
    WHelp = new QWebEngineView(this);
    WHelp->setObjectName(QStringLiteral("WHelp"));
    WHelp->setGeometry(kTreeWidth, 0, 860 - kTreeWidth, 576);
    SHelp = new QStatusBar(this);
    SHelp->setObjectName(QStringLiteral("SHelp"));
    SHelp->setGeometry(0, 576, 860, 24);
    statusLine_ = new QLabel(SHelp);
    statusLine_->setTextFormat(Qt::PlainText);
    SHelp->addWidget(statusLine_, 1);
    // Back and forward sit at the status bar's right end, so the tree and the page keep the
    // whole height above it.
    auto historyButton = [this](const char *name, const QString &caption,
                                QStyle::StandardPixmap picture, const QString &tip) {
        auto *b = new QToolButton(SHelp);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setIcon(style()->standardIcon(picture));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        b->setToolTip(tip);
        b->setEnabled(false);
        SHelp->addPermanentWidget(b);
        return b;
    };
    cmdBack = historyButton("cmdBack", QStringLiteral("戻る"), QStyle::SP_ArrowBack,
                            QStringLiteral("前のページへ戻る (Alt+←)"));
    cmdForward = historyButton("cmdForward", QStringLiteral("進む"), QStyle::SP_ArrowForward,
                               QStringLiteral("次のページへ進む (Alt+→)"));
    connect(cmdBack, &QToolButton::clicked, this, &Help::GoBack);
    connect(cmdForward, &QToolButton::clicked, this, &Help::GoForward);
    for (const auto &[key, go] :
         {std::pair{Qt::Key_Left, &Help::GoBack}, std::pair{Qt::Key_Right, &Help::GoForward}}) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, go);
    }

    for (int k = 0; k < kMaxIcons; ++k) {
        const QString path = dataPath(QStringLiteral("help%1.png").arg(k));
        if (!QFileInfo::exists(path))
            break;
        CImage.append(QIcon(path));
    }

    connect(THelp, &QTreeWidget::itemClicked, this, &Help::THelp_NodeClick);
    // The arrow keys open the page of each entry they move to.
    connect(THelp, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *node) {
        if (!following_)
            THelp_NodeClick(node);
    });
    connect(WHelp, &QWebEngineView::urlChanged, this, &Help::WHelp_UrlChanged);
    connect(WHelp, &QWebEngineView::loadFinished, this, &Help::updateHistoryButtons);
    // A page a link led to that has no entry of its own is named by its title.
    connect(WHelp, &QWebEngineView::titleChanged, this, [this](const QString &title) {
        if (!THelp->currentItem() && !samePage(WHelp->url(), requestedUrl_))
            statusLine_->setText(title);
    });
    Form_Load();
}

void Help::Form_Load()
{
    rightMargin_ = width() - SHelp->width();
    bottomMargin_ = height() - SHelp->y();
    Form_Resize();
    Init_THelp();
    const HelpTable &table = table_;
    const HelpEntry &first = table.entries[0];
    // An empty index shows no title and the program directory itself.
    showPage(table.count > 0 ? first.title : QString(), table.count > 0 ? first.page : QString());
}

void Help::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Help::Form_Resize()
{
    const int h = std::max(0, height() - bottomMargin_);
    THelp->setGeometry(0, 0, kTreeWidth, h);
    WHelp->setGeometry(kTreeWidth, 0, std::max(0, width() - kTreeWidth - rightMargin_), h);
    SHelp->setGeometry(0, height() - bottomMargin_, width() - rightMargin_, bottomMargin_);
}

QIcon Help::icon(int number) const
{
    if (number >= 0 && number < CImage.size())
        return CImage.at(number);
    return drawnIcon(number);
}

void Help::Init_THelp()
{
    THelp->clear();
    const HelpTable &table = table_;
    std::vector<QTreeWidgetItem *> items;
    for (const helptree::Node &node : helptree::Init_THelp(table)) {
        const HelpEntry &entry = table.entries[node.entry];
        auto *item =
            node.parent < 0 ? new QTreeWidgetItem(THelp) : new QTreeWidgetItem(items[node.parent]);
        item->setText(0, entry.title);
        item->setData(0, Qt::UserRole, entry.page);
        item->setIcon(0, icon(entry.icon));
        items.push_back(item);
    }
}

void Help::THelp_NodeClick(QTreeWidgetItem *node)
{
    if (node)
        showPage(node->text(0), node->data(0, Qt::UserRole).toString());
}

QUrl Help::pageUrl(const QString &page)
{
    return QUrl::fromLocalFile(programDir() + QLatin1Char('/') + page);
}

void Help::showPage(const QString &title, const QString &page)
{
    statusLine_->setText(title);
    const QUrl url = pageUrl(page);
    // A second click on the entry whose page is showing adds no step to the history.
    if (!shownUrl_.isEmpty() && samePage(url, shownUrl_))
        return;
    shownUrl_ = url;
    requestedUrl_ = url;
    WHelp->setUrl(url);
}

void Help::WHelp_UrlChanged(const QUrl &url)
{
    shownUrl_ = url;
    updateHistoryButtons();
    QTreeWidgetItem *entry = nullptr;
    for (QTreeWidgetItemIterator it(THelp); *it; ++it) {
        if (samePage(pageUrl((*it)->data(0, Qt::UserRole).toString()), url)) {
            entry = *it;
            break;
        }
    }
    const QScopedValueRollback<bool> quiet(following_, true);
    if (entry) {
        THelp->setCurrentItem(entry);
        THelp->scrollToItem(entry);
        statusLine_->setText(entry->text(0));
    } else if (!samePage(url, requestedUrl_)) {
        THelp->setCurrentItem(nullptr);
        THelp->clearSelection();
        statusLine_->setText(WHelp->title());
    }
}

void Help::updateHistoryButtons()
{
    cmdBack->setEnabled(WHelp->history()->canGoBack());
    cmdForward->setEnabled(WHelp->history()->canGoForward());
}

void Help::GoBack()
{
    QWebEngineHistory *history = WHelp->history();
    if (history->canGoBack())
        history->goToItem(history->backItem());
}

void Help::GoForward()
{
    QWebEngineHistory *history = WHelp->history();
    if (history->canGoForward())
        history->goToItem(history->forwardItem());
}

QString Help::statusText() const
{
    return statusLine_->text();
}

void ShowHelpWindow(QPointer<Help> &window, const HelpTable &table, QWidget *owner)
{
    if (!window) {
        window = new Help(table, owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}
