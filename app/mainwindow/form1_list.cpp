// Form1's result list LView (topic view and result view), the site tree TView, and the
// switch between search mode and browse mode.
#include "common/viewtips.h"
#include "core/progdir.h"
#include "core/runcontroller.h"
#include "core/runrules.h"
#include "core/session.h"
#include "core/topicstore.h"
#include "mainwindow/form1.h"
#include "mainwindow/resultlist.h"
#include "mainwindow/windowmemory.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <algorithm>

// Item data: the row's key "j=N" and the index of its picture in the image list.
constexpr int kKeyRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
// A topic-view row's address: the site's root. Its column 1 shows the language, which is no
// address at all.
constexpr int kAddressRole = Qt::UserRole + 2;

// The address a row opens, copies or hands to the browser.
static QString rowAddress(const QTreeWidgetItem *item)
{
    const QVariant root = item->data(0, kAddressRole);
    return root.isValid() ? root.toString() : item->text(1);
}
// TView node data: the node's tag ("top" or the site's root address).
constexpr int kTagRole = Qt::UserRole;

void Form1::buildList(QWidget *surface)
{
    auto *list = new ResultList(surface);
    LView = list;
    LView->setObjectName(QStringLiteral("LView"));
    LView->setRootIsDecorated(false);
    LView->setUniformRowHeights(true);
    LView->setAllColumnsShowFocus(true);
    LView->setSelectionMode(QAbstractItemView::SingleSelection);
    LView->setFrameShape(QFrame::Box);
    LView->setSortingEnabled(false);
    LView->header()->setSectionsClickable(true);
    LView->header()->setSortIndicatorShown(false);
    LView->header()->setStretchLastSection(false);
    LView->setIconSize(QSize(16, 16));
    LView->viewport()->installEventFilter(this);
    ShowCutOffTips(LView);
    connect(LView->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { LView_ColumnClick(column); });
    connect(LView->header(), &QHeaderView::sectionResized, this, [this] { keepResultShares(); });
    connect(LView, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item, int) { LView_ItemClick(item); });
    connect(LView, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item, int) { LView_DblClick(item); });
    connect(list, &ResultList::rowOpened, this, [this](QTreeWidgetItem *item) {
        if (LView->indexOfTopLevelItem(item) < 0)
            return;
        TargetURL = rowAddress(item);
        runCommand(25);
    });
    connect(list, &ResultList::menuRequested, this, [this](QTreeWidgetItem *, const QPoint &at) {
        if (!mRClick->isVisible())
            mRClick->popup(at);
    });
    // The preview follows a row reached by the keyboard as it follows a clicked one, once the
    // keys rest: holding an arrow key down must not load every page it passes.
    previewFollow_ = new QTimer(this);
    previewFollow_->setSingleShot(true);
    previewFollow_->setInterval(300);
    connect(list, &ResultList::keyMoved, previewFollow_, qOverload<>(&QTimer::start));
    connect(previewFollow_, &QTimer::timeout, this, [this] {
        QTreeWidgetItem *item = LView->currentItem();
        if (BrowseMode || !LView->hasFocus() || !item || LView->indexOfTopLevelItem(item) < 0)
            return;
        TargetURL = rowAddress(item);
        runCommand(24);
    });

    TView = new QTreeWidget(surface);
    TView->setObjectName(QStringLiteral("TView"));
    TView->setHeaderHidden(true);
    TView->setIconSize(QSize(16, 16));
    ShowCutOffTips(TView);
    connect(TView, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *node, int) { TView_NodeClick(node); });

    mRClick = new QMenu(this);
    mRClick->setObjectName(QStringLiteral("mRClick"));
    mCopyURL = mRClick->addAction(QStringLiteral("URLをコピー(&C)"));
    mCopyURL->setObjectName(QStringLiteral("mCopyURL"));
    mBrowser = mRClick->addAction(QStringLiteral("ブラウザで開く(&O)"));
    mBrowser->setObjectName(QStringLiteral("mBrowser"));
    mDelLink = mRClick->addAction(QStringLiteral("削除(&D)"));
    mDelLink->setObjectName(QStringLiteral("mDelLink"));
    connect(mCopyURL, &QAction::triggered, this, [this] { mCopyURL_Click(); });
    connect(mBrowser, &QAction::triggered, this, [this] { mBrowser_Click(); });
    connect(mDelLink, &QAction::triggered, this, [this] { mDelLink_Click(); });
}

// ---- building the two views ----

static void applyFontSize(QTreeWidget *list, int32_t points)
{
    QFont font = list->font();
    if (points > 0)
        font.setPointSize(points);
    list->setFont(font);
}

// The width W the columns share: the list's inside, less room for a vertical scroll bar so
// that the columns never call for a horizontal one.
static int listWidth(const QTreeWidget *list)
{
    const int bar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    return qMax(0, list->width() - 2 * list->frameWidth() - bar);
}

void Form1::Init_LVTopic()
{
    const QScopedValueRollback<bool> fitting(fittingColumns_, true);
    LView->clear();
    applyFontSize(LView, session_.settings.FontSize);
    LView->setColumnCount(4);
    LView->setHeaderLabels({QStringLiteral("サイト"), QStringLiteral("言語"),
                            QStringLiteral("分野"), QStringLiteral("キーワード")});
    const int w = listWidth(LView);
    LView->setColumnWidth(0, w / 3);
    LView->setColumnWidth(1, w / 12);
    LView->setColumnWidth(2, w / 12);
    LView->setColumnWidth(3, w / 2);
}

void Form1::LView_Current()
{
    Init_LVTopic();
    const int32_t t = session_.settings.iTopic;
    const TopicStore &store = session_.topics;
    if (t < 0 || t >= store.count)
        return;
    const TopicRecord &topic = store.topics[t];
    const SiteInfoList &list = session_.sites;
    QList<QTreeWidgetItem *> rows;
    for (int k = 0; k < topic.siteCount; ++k) {
        const int32_t s = topic.sites[k];
        if (s < 0 || s >= list.count)
            continue;
        const SiteInfo &site = list.sites[s];
        auto *item = new QTreeWidgetItem({site.name, site.language, site.type, site.searchKey});
        item->setIcon(0, ListImage(kLinkTopic));
        item->setData(0, kImageRole, int(kLinkTopic));
        item->setData(0, kAddressRole, site.root);
        rows.append(item);
    }
    LView->addTopLevelItems(rows);
}

void Form1::Init_LVResult()
{
    applyFontSize(LView, session_.settings.FontSize);
    Init_LView({QStringLiteral("TITLE"), QStringLiteral("URL"), QStringLiteral("PREVIEW"),
                QStringLiteral("DATE"), QStringLiteral("SIZE"), QStringLiteral("SCORE"),
                QStringLiteral("SITE")});
}

void Form1::Init_LView(const QStringList &headers)
{
    // New columns come with widths of their own; they are not the user's.
    const QScopedValueRollback<bool> fitting(fittingColumns_, true);
    LView->clear();
    applyFontSize(LView, session_.settings.FontSize);
    LView->setColumnCount(int(headers.size()));
    LView->setHeaderLabels(headers);
    Resize_LView();
}

void Form1::Resize_LView()
{
    if (!LView || LView->columnCount() < 7)
        return;
    const int w = listWidth(LView);
    int widths[7] = {w / 4, w / 8, 3 * w / 8, w / 16, w / 16, w / 16, w / 16};
    // Columns the user widened keep their shares through every resize and the next session.
    if (resultShares_.size() == 7) {
        for (int c = 0; c < 7; ++c)
            widths[c] = w * resultShares_[c] / 1000;
    }
    const QScopedValueRollback<bool> fitting(fittingColumns_, true);
    for (int c = 0; c < 7; ++c)
        LView->setColumnWidth(c, widths[c]);
}

void Form1::keepResultShares()
{
    const int w = listWidth(LView);
    if (fittingColumns_ || !resultView() || w <= 0)
        return;
    QList<int> shares;
    for (int c = 0; c < 7; ++c)
        shares << std::max(1, LView->columnWidth(c) * 1000 / w);
    // Columns dragged wider than the list together keep their widths (and the scroll bar).
    resultShares_ = CheckedResultShares(shares);
}

bool Form1::resultView() const
{
    return LView->columnCount() >= 7;
}

// ---- rows ----

static bool rowLess(const QTreeWidgetItem *a, const QTreeWidgetItem *b, int key,
                    Qt::SortOrder order)
{
    const int c = QString::compare(a->text(key), b->text(key), Qt::CaseInsensitive);
    return order == Qt::AscendingOrder ? c < 0 : c > 0;
}

void Form1::insertSorted(QTreeWidgetItem *item)
{
    // Rows that arrive while sorting is on go to their sorted place, after their equals.
    int lo = 0;
    int hi = LView->topLevelItemCount();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (rowLess(item, LView->topLevelItem(mid), sortKey, sortOrder))
            hi = mid;
        else
            lo = mid + 1;
    }
    LView->insertTopLevelItem(lo, item);
}

// While hits stream in, the list is painted at most every 100 ms instead of once per hit:
// painting a screenful of rows costs far more than adding one, and a run adds hundreds.
void Form1::holdListPaint()
{
    if (paintHeld_)
        return;
    paintHeld_ = true;
    LView->setUpdatesEnabled(false);
    QTimer::singleShot(100, this, [this] {
        paintHeld_ = false;
        LView->setUpdatesEnabled(true);
    });
}

void Form1::Add_LView(const QStringList &row, int32_t index)
{
    holdListPaint();
    auto *item = new QTreeWidgetItem(row.mid(0, 7));
    const int32_t state =
        (index >= 0 && index < kRunTables) ? session_.run.LinkState[index] : kLinkNoCheck;
    item->setIcon(0, ListImage(state));
    item->setData(0, kImageRole, int(state));
    item->setData(0, kKeyRole, IndexKey(index));
    if (sortOn && sortKey < row.size())
        insertSorted(item);
    else
        LView->addTopLevelItem(item);
}

void Form1::Item_LinkCheck(int32_t index, int32_t state)
{
    const QString key = IndexKey(index);
    for (int i = 0; i < LView->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = LView->topLevelItem(i);
        if (item->data(0, kKeyRole).toString() == key) {
            item->setIcon(0, ListImage(state));
            item->setData(0, kImageRole, int(state));
        }
    }
}

void Form1::Item_LinkDel(int position)
{
    if (position >= 1 && position <= LView->topLevelItemCount())
        delete LView->takeTopLevelItem(position - 1);
}

int Form1::listCount() const
{
    return LView->topLevelItemCount();
}

QString Form1::itemKey(int position) const
{
    if (position < 1 || position > LView->topLevelItemCount())
        return QString();
    return LView->topLevelItem(position - 1)->data(0, kKeyRole).toString();
}

int Form1::selectedPosition() const
{
    const QList<QTreeWidgetItem *> selected = LView->selectedItems();
    if (selected.isEmpty())
        return 0;
    return LView->indexOfTopLevelItem(selected.first()) + 1;
}

// ---- list events ----

void Form1::LView_ColumnClick(int column)
{
    sortOrder = sortOrder == Qt::DescendingOrder ? Qt::AscendingOrder : Qt::DescendingOrder;
    sortKey = column;
    sortOn = true;
    QList<QTreeWidgetItem *> rows;
    while (LView->topLevelItemCount() > 0)
        rows.append(LView->takeTopLevelItem(0));
    std::stable_sort(rows.begin(), rows.end(),
                     [this](const QTreeWidgetItem *a, const QTreeWidgetItem *b) {
                         return rowLess(a, b, sortKey, sortOrder);
                     });
    LView->addTopLevelItems(rows);
    LView->header()->setSortIndicatorShown(true);
    LView->header()->setSortIndicator(column, sortOrder);
}

void Form1::LView_ItemClick(QTreeWidgetItem *item)
{
    if (rightPending_ || !item || LView->indexOfTopLevelItem(item) < 0)
        return;
    TargetURL = rowAddress(item);
    runCommand(24);
}

void Form1::LView_DblClick(QTreeWidgetItem *item)
{
    // The row's own address: the click before may not have reached the window.
    if (item && LView->indexOfTopLevelItem(item) >= 0)
        TargetURL = rowAddress(item);
    runCommand(25);
}

void Form1::LView_MouseUp()
{
    mRClick->popup(QCursor::pos());
    rightPending_ = false;
}

// The pop-up entries act on the selected row; with none selected they do nothing.

void Form1::mCopyURL_Click()
{
    const int position = selectedPosition();
    if (position < 1)
        return;
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(rowAddress(LView->topLevelItem(position - 1)));
    setStatusText(QStringLiteral("Copied URl of Item ") + QString::number(position));
}

void Form1::mBrowser_Click()
{
    const int position = selectedPosition();
    if (position < 1)
        return;
    TargetURL = rowAddress(LView->topLevelItem(position - 1));
    runCommand(25);
}

void Form1::mDelLink_Click()
{
    const int position = selectedPosition();
    if (position < 1)
        return;
    setStatusText(itemKey(position) + QStringLiteral(" i=") + QString::number(position));
    session_.run.Do_DelOne(position);
}

// ---- search mode and browse mode ----

static void setExchangeCaption(QObject *form, const QString &caption)
{
    if (auto *action = form->findChild<QAction *>(QStringLiteral("exchange")))
        action->setText(caption);
}

void Form1::ListMode()
{
    // The browse pane's addresses mean nothing on the search face: the status line goes back
    // to the last text that was not a page's (a run's progress or end, the hit count).
    if (BrowseMode)
        setStatusText(searchStatus_);
    layoutMode = LayoutMode::Search;
    BrowseMode = false;
    for (QWidget *w : {static_cast<QWidget *>(ADR), static_cast<QWidget *>(URL),
                       static_cast<QWidget *>(TView), static_cast<QWidget *>(Web)})
        w->hide();
    for (QWidget *w : {static_cast<QWidget *>(LWord), static_cast<QWidget *>(Word),
                       static_cast<QWidget *>(LTopic), static_cast<QWidget *>(Topic),
                       static_cast<QWidget *>(LView), static_cast<QWidget *>(Search)})
        w->show();
    applyFontSize(LView, session_.settings.FontSize);
    Web2->setVisible(PreviewShown);
    LMethod->show();
    TMethod->show();
    setExchangeCaption(this, QStringLiteral("閲覧へ"));
    UpdateSplitterZone();
}

void Form1::TreeMode()
{
    layoutMode = LayoutMode::Browse;
    BrowseMode = true;
    for (QWidget *w : {static_cast<QWidget *>(LWord), static_cast<QWidget *>(Word),
                       static_cast<QWidget *>(LTopic), static_cast<QWidget *>(Topic),
                       static_cast<QWidget *>(LView), static_cast<QWidget *>(Search),
                       static_cast<QWidget *>(LMethod), static_cast<QWidget *>(TMethod),
                       static_cast<QWidget *>(Web2)})
        w->hide();
    ADR->show();
    URL->show();
    TView->show();
    Web->show();
    setExchangeCaption(this, QStringLiteral("検索へ"));
    InitTreeMode();
    UpdateSplitterZone();
}

void Form1::InitTreeMode()
{
    BuildSiteTree();
    TargetURL = session_.settings.HomeURL;
    runCommand(23);
}

// Names in the tree lose their trailing blanks and control characters.
static QString trimmedName(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1).unicode() <= 32)
        --end;
    return name.left(end);
}

static QTreeWidgetItem *addNode(QTreeWidgetItem *parent, const QString &text, const QString &tag,
                                int image)
{
    auto *node = new QTreeWidgetItem(parent, {text});
    node->setData(0, kTagRole, tag);
    node->setIcon(0, TreeImage(image));
    return node;
}

void Form1::BuildSiteTree()
{
    TView->clear();
    auto root = [this](const QString &text, int image) {
        auto *node = new QTreeWidgetItem(TView, {text});
        node->setData(0, kTagRole, QStringLiteral("top"));
        node->setIcon(0, TreeImage(image));
        return node;
    };
    // Node numbers: 1 and 2 the roots, 3 + t topic t; topics come before any site.
    QTreeWidgetItem *japan = root(QStringLiteral("日本のサイト"), 1);
    QTreeWidgetItem *world = root(QStringLiteral("世界のサイト"), 2);
    const TopicStore &store = session_.topics;
    QList<QTreeWidgetItem *> topics;
    for (int t = 0; t < store.count; ++t)
        topics.append(root(trimmedName(store.topics[t].name), 3));

    const SiteInfoList &list = session_.sites;
    for (int s = 0; s < list.count; ++s) {
        const SiteInfo &site = list.sites[s];
        QTreeWidgetItem *parent = site.language.left(3) == QStringLiteral("日本語") ? japan : world;
        addNode(parent, trimmedName(site.name), site.root, 4);
    }
    for (int t = 0; t < store.count; ++t) {
        for (int s = 0; s < list.count; ++s) {
            if (TopicHasSite(session_.topics, t, s) == 1)
                addNode(topics[t], trimmedName(list.sites[s].name), list.sites[s].root, 4);
        }
    }
}

void Form1::TView_NodeClick(QTreeWidgetItem *node)
{
    if (!node)
        return;
    showPageStatus(node->text(0));
    const QString tag = node->data(0, kTagRole).toString();
    if (tag != QStringLiteral("top")) {
        TargetURL = tag;
        runCommand(23);
    }
}
