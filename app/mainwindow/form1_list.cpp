// Form1's result list LView (topic view and result view), the site tree TView, and the
// switch between search mode and browse mode.
#include "common/viewtips.h"
#include "core/progdir.h"
#include "core/runcontroller.h"
#include "core/runrules.h"
#include "core/runtexts.h"
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
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <algorithm>

// A row's picture number, as the hits' model gives its link state.
constexpr int kImageRole = HitListModel::LinkStateRole;
// A topic-view row's address: the site's root. Its column 1 shows the language, which is no
// address at all.
constexpr int kAddressRole = Qt::UserRole + 8;

// The address a row opens, copies or hands to the browser.
static QString rowAddress(const QModelIndex &index)
{
    const QVariant root = index.siblingAtColumn(0).data(kAddressRole);
    return root.isValid() ? root.toString() : index.siblingAtColumn(1).data().toString();
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
    hits_ = new HitListModel(this);
    hits_->setDecoration([](int32_t state) { return QVariant(ListImage(state)); });
    sortedHits_ = new HitSortProxy(this);
    sortedHits_->setSourceModel(hits_);
    topicRows_ = new QStandardItemModel(this);
    sortedTopics_ = new QSortFilterProxyModel(this);
    sortedTopics_->setSortCaseSensitivity(Qt::CaseInsensitive);
    sortedTopics_->setSourceModel(topicRows_);
    LView->setModel(sortedTopics_);
    LView->header()->setSectionsClickable(true);
    LView->header()->setSortIndicatorShown(false);
    LView->header()->setStretchLastSection(false);
    LView->setIconSize(QSize(16, 16));
    LView->viewport()->installEventFilter(this);
    ShowCutOffTips(LView);
    ShowPictureTips(LView, kImageRole,
                    [](const QVariant &state) { return LinkStateMeaning(state.toInt()); });
    connect(LView->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { LView_ColumnClick(column); });
    connect(LView->header(), &QHeaderView::sectionResized, this, [this] { keepResultShares(); });
    connect(LView, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { LView_ItemClick(index); });
    connect(LView, &QTreeView::doubleClicked, this,
            [this](const QModelIndex &index) { LView_DblClick(index); });
    connect(list, &ResultList::rowOpened, this, [this](const QModelIndex &index) {
        TargetURL = rowAddress(index);
        runCommand(25);
    });
    connect(list, &ResultList::menuRequested, this, [this](const QModelIndex &, const QPoint &at) {
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
        const QModelIndex current = LView->currentIndex();
        if (BrowseMode || !LView->hasFocus() || !current.isValid())
            return;
        TargetURL = rowAddress(current);
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

static void applyFontSize(QTreeView *list, int32_t points)
{
    QFont font = list->font();
    if (points > 0)
        font.setPointSize(points);
    list->setFont(font);
}

// The width W the columns share: the list's inside, less room for a vertical scroll bar so
// that the columns never call for a horizontal one.
static int listWidth(const QTreeView *list)
{
    const int bar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    return qMax(0, list->width() - 2 * list->frameWidth() - bar);
}

void Form1::Init_LVTopic()
{
    const QScopedValueRollback<bool> fitting(fittingColumns_, true);
    topicRows_->clear();
    // Rows come in the topic's order; a header click sorts them.
    sortedTopics_->sort(-1);
    showRows(sortedTopics_);
    applyFontSize(LView, session_.settings.FontSize);
    topicRows_->setHorizontalHeaderLabels({QStringLiteral("サイト"), QStringLiteral("言語"),
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
    for (int k = 0; k < topic.siteCount; ++k) {
        const int32_t s = topic.sites[k];
        if (s < 0 || s >= list.count)
            continue;
        const SiteInfo &site = list.sites[s];
        QList<QStandardItem *> row;
        for (const QString &text : {site.name, site.language, site.type, site.searchKey}) {
            auto *cell = new QStandardItem(text);
            cell->setEditable(false);
            row.append(cell);
        }
        row[0]->setIcon(ListImage(kLinkTopic));
        row[0]->setData(int(kLinkTopic), kImageRole);
        row[0]->setData(site.root, kAddressRole);
        topicRows_->appendRow(row);
    }
}

void Form1::Init_LVResult()
{
    // New columns come with widths of their own; they are not the user's.
    const QScopedValueRollback<bool> fitting(fittingColumns_, true);
    hits_->clear();
    showRows(sortedHits_);
    applyFontSize(LView, session_.settings.FontSize);
    Resize_LView();
}

void Form1::showRows(QAbstractItemModel *rows)
{
    if (LView->model() == rows)
        return;
    QItemSelectionModel *old = LView->selectionModel();
    LView->setModel(rows);
    delete old;
    // The topic's sites fill a window made wider with their last column (the keywords); the
    // result view keeps its columns' shares itself (Resize_LView).
    LView->header()->setStretchLastSection(rows == sortedTopics_);
}

void Form1::Resize_LView()
{
    if (!LView || !resultView())
        return;
    const int w = listWidth(LView);
    int widths[7] = {w / 4, w / 8, 3 * w / 8, w / 16, w / 16, w / 16, w / 16};
    // Columns the user widened keep their shares through every resize and the next session.
    if (resultShares_.size() == 7) {
        for (int c = 0; c < 7; ++c)
            widths[c] = w * resultShares_[c] / 1000;
    }
    // The site count takes its room from the preview, which gets it back when merging ends.
    const int siteCount = merging() ? std::min(w / 16, widths[2] / 2) : 0;
    widths[2] -= siteCount;
    const QScopedValueRollback<bool> fitting(fittingColumns_, true);
    for (int c = 0; c < 7; ++c)
        LView->setColumnWidth(c, widths[c]);
    if (merging())
        LView->setColumnWidth(HitListModel::SiteCount, siteCount);
}

void Form1::keepResultShares()
{
    const int w = listWidth(LView);
    if (fittingColumns_ || !resultView() || w <= 0)
        return;
    QList<int> shares;
    for (int c = 0; c < 7; ++c)
        shares << std::max(1, LView->columnWidth(c) * 1000 / w);
    if (merging())
        shares[HitListModel::Preview] += LView->columnWidth(HitListModel::SiteCount) * 1000 / w;
    // Columns dragged wider than the list together keep their widths (and the scroll bar).
    resultShares_ = CheckedResultShares(shares);
}

bool Form1::resultView() const
{
    return LView->model() == sortedHits_;
}

// ---- rows ----

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

bool Form1::Add_LView(const Hit &hit)
{
    holdListPaint();
    const int rows = hits_->rowCount();
    hits_->append(hit);
    return hits_->rowCount() > rows;
}

bool Form1::merging() const
{
    return hits_->merging();
}

void Form1::setMerging(bool on)
{
    if (auto *toggle = menuBar()->findChild<QAction *>(QStringLiteral("mMerge")))
        toggle->setChecked(on);
    if (auto *byRank = menuBar()->findChild<QAction *>(QStringLiteral("mByRank")))
        byRank->setEnabled(on);
    if (on == hits_->merging())
        return;
    // The rank and the site count order merged rows; single hits go back to the order they
    // came in rather than keep an order their columns no longer show.
    if (!on &&
        (sortedHits_->sortedByRank() || sortedHits_->sortColumn() == HitListModel::SiteCount)) {
        sortedHits_->sortByColumn(-1, Qt::AscendingOrder);
        if (resultView())
            LView->header()->setSortIndicatorShown(false);
    }
    hits_->setMerging(on);
    // Checks, reports, the dead-link removal and the count go by the rows listed.
    session_.run.Relist(hits_->resultIndexes());
    if (resultView()) {
        Resize_LView();
        if (!session_.run.busy())
            setStatusText(EndHitsSuffix(session_.run.HitCount) + hitCountNote());
    }
}

void Form1::sortByRank()
{
    if (!merging() || !resultView())
        return;
    sortedHits_->sortByRank();
    LView->header()->setSortIndicatorShown(false);
}

void Form1::Item_LinkCheck(int32_t index, int32_t state)
{
    hits_->setLinkState(index, state);
}

void Form1::Item_LinkDel(int position)
{
    if (resultView() && position >= 1 && position <= sortedHits_->rowCount())
        hits_->removeRow(sortedHits_->mapToSource(sortedHits_->index(position - 1, 0)).row());
}

int Form1::listCount() const
{
    return LView->model()->rowCount();
}

int32_t Form1::itemIndex(int position) const
{
    if (!resultView() || position < 1 || position > sortedHits_->rowCount())
        return -1;
    return sortedHits_->index(position - 1, 0).data(HitListModel::ResultIndexRole).toInt();
}

int Form1::selectedPosition() const
{
    const QModelIndexList selected = LView->selectionModel()->selectedRows();
    return selected.isEmpty() ? 0 : selected.first().row() + 1;
}

QList<int32_t> Form1::removeDeadAndRepeated(const std::function<bool(int32_t, int32_t)> &same)
{
    return hits_
        ->removeDeadAndRepeated(
            sortedHits_->sourceOrder(),
            [&same](const Hit &kept, const Hit &hit) { return same(kept.index, hit.index); })
        .keptIndexes;
}

int32_t Form1::selectedIndex() const
{
    return itemIndex(selectedPosition());
}

void Form1::removeHit(int32_t index)
{
    const int row = hits_->rowOfIndex(index);
    if (row >= 0)
        hits_->removeRow(row);
}

// ---- list events ----

void Form1::LView_ColumnClick(int column)
{
    sortOrder = sortOrder == Qt::DescendingOrder ? Qt::AscendingOrder : Qt::DescendingOrder;
    sortKey = column;
    sortOn = true;
    if (resultView())
        sortedHits_->sortByColumn(column, sortOrder);
    else
        sortedTopics_->sort(column, sortOrder);
    LView->header()->setSortIndicatorShown(true);
    LView->header()->setSortIndicator(column, sortOrder);
}

void Form1::LView_ItemClick(const QModelIndex &index)
{
    if (rightPending_ || !index.isValid())
        return;
    TargetURL = rowAddress(index);
    runCommand(24);
}

void Form1::LView_DblClick(const QModelIndex &index)
{
    // The row's own address: the click before may not have reached the window.
    if (index.isValid())
        TargetURL = rowAddress(index);
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
    clipboard->setText(rowAddress(LView->model()->index(position - 1, 0)));
    setStatusText(QStringLiteral("Copied URl of Item ") + QString::number(position));
}

void Form1::mBrowser_Click()
{
    const int position = selectedPosition();
    if (position < 1)
        return;
    TargetURL = rowAddress(LView->model()->index(position - 1, 0));
    runCommand(25);
}

void Form1::mDelLink_Click()
{
    const int position = selectedPosition();
    if (position < 1)
        return;
    setStatusText(QStringLiteral("j=") + QString::number(itemIndex(position)) +
                  QStringLiteral(" i=") + QString::number(position));
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
