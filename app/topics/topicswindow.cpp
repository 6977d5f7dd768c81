#include "topics/topicswindow.h"

#include "common/messagebox.h"
#include "common/viewtips.h"
#include "core/session.h"
#include "core/text.h"
#include "core/topicstore.h"
#include "topics/newtopic.h"
#include "topics/sitesearch.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

namespace topicsrules {

int TMatched(const QString &text, const QString &filter)
{
    return int(text.indexOf(filter, 0, Qt::CaseInsensitive)) + 1;
}

QString RowKey(int32_t site)
{
    return QStringLiteral("j=") + QString::number(site);
}

int32_t KeySite(const QString &key)
{
    bool ok = false;
    const int32_t site = CutAtBlank(key.mid(2)).toInt(&ok, 10);
    return ok ? site : -1;
}

QString CountLine(int sites, int topics)
{
    return QStringLiteral("検索テーマ：（指定されたサイト数=") + QString::number(sites) +
           QStringLiteral("、テーマ総数=") + QString::number(topics) + QStringLiteral("）");
}

QString LimitMessage()
{
    // The two sentences stand on two lines of the box.
    return QStringLiteral("検索テーマごとに最大サイト数は") + QString::number(kMaxMembers) +
           QStringLiteral("です。\n更新を中止しました。");
}

std::optional<QString> SiteColumnText(const SiteInfo &site, int column)
{
    switch (column) {
    case 0:
        return site.name;
    case 1:
        return site.language;
    case 2:
        return site.type;
    case 3:
        return site.searchKey;
    default:
        return std::nullopt;
    }
}

int PositionAfterRemoval(int a, int oldCount)
{
    return a + 1 == oldCount ? oldCount - 2 : a;
}

bool NameIsFree(const TopicStore &store, const QString &name)
{
    for (int32_t t = 0; t < store.count; ++t) {
        if (store.topics[t].name == name)
            return false;
    }
    return true;
}

bool CurrentSitesChanged(const Session &session)
{
    const TopicStore &store = session.topics;
    const RunSiteList &run = session.runSites;
    const int32_t t = session.settings.iTopic;
    if (t < 0 || t >= store.count)
        return run.count != 0;
    const TopicRecord &topic = store.topics[t];
    const int32_t n = std::clamp(topic.siteCount, 0, kMaxMembers);
    return n != run.count ||
           !std::equal(run.sites.begin(), run.sites.begin() + n, topic.sites.begin());
}

} // namespace topicsrules

using namespace topicsrules;

namespace {

// Fields shown in the list: the text as the catalogue gives it, without trailing filler.
// Names and search keys may hold blanks inside, so the text is not cut at the first blank.
QString shown(const QString &field)
{
    qsizetype end = field.size();
    while (end > 0 && field.at(end - 1).unicode() < 33)
        --end;
    return field.left(end);
}

// A small globe beside the topic chooser.
QPixmap globePicture()
{
    QPixmap picture(48, 48);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(70, 130, 200));
    p.setPen(QPen(QColor(30, 60, 120), 2));
    p.drawEllipse(4, 4, 40, 40);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(220, 235, 255), 1.5));
    p.drawEllipse(16, 4, 16, 40);
    p.drawLine(4, 24, 44, 24);
    p.drawLine(8, 14, 40, 14);
    p.drawLine(8, 34, 40, 34);
    return picture;
}

} // namespace

Topics::Topics(Session &session, QWidget *parent) : QDialog(parent), session_(session)
{
    buildControls();
    modified_ = false;
    SetTopicList(session_.settings.iTopic);
    ShowTopic(session_.settings.iTopic);
    SetColumn();
}

void Topics::buildControls()
{
    setObjectName(QStringLiteral("Topics"));
    setWindowTitle(QStringLiteral("検索テーマの設定"));
    setFixedSize(760, 500);

    auto place = [this](QWidget *w, const char *name, int x, int y, int width, int height) {
        w->setParent(this);
        w->setObjectName(QLatin1String(name));
        w->setGeometry(x, y, width, height);
    };
    auto button = [&](const char *name, const QString &caption, int x, int y, int width) {
        auto *b = new QPushButton(caption);
        b->setAutoDefault(false);
        place(b, name, x, y, width, 28);
        return b;
    };

    SitePicture = new QLabel;
    SitePicture->setPixmap(globePicture());
    place(SitePicture, "SitePicture", 12, 10, 48, 48);
    TopicList = new QComboBox;
    place(TopicList, "TopicList", 72, 12, 300, 28);
    ElideChooser(TopicList, 48);
    AddTopic = button("AddTopic", QStringLiteral("新規テーマ"), 384, 12, 120);
    DelTopic = button("DelTopic", QStringLiteral("テーマの削除"), 512, 12, 120);
    LBTopics = new QLabel(QStringLiteral("検索テーマ："));
    LBTopics->setTextFormat(Qt::PlainText);
    place(LBTopics, "LBTopics", 72, 44, 660, 22);

    LVSite = new QTreeWidget;
    place(LVSite, "LVSite", 12, 72, 736, 300);
    LVSite->setRootIsDecorated(false);
    LVSite->setUniformRowHeights(true);
    LVSite->setAllColumnsShowFocus(true);
    ShowCutOffTips(LVSite);
    LVSite->header()->setSectionsClickable(true);
    LVSite->header()->setSortIndicatorShown(false);

    Column = new QComboBox;
    place(Column, "Column", 12, 384, 130, 28);
    Label2 = new QLabel(QStringLiteral("を対象に"));
    place(Label2, "Label2", 150, 384, 72, 28);
    TSearch = new QLineEdit;
    place(TSearch, "TSearch", 226, 384, 300, 28);
    CSearch = button("CSearch", QStringLiteral("を含む項目を検索"), 534, 384, 170);

    cmdAdapt = button("cmdAdapt", QStringLiteral("適用"), 408, 424, 106);
    cmdCancel = button("cmdCancel", QStringLiteral("取消"), 522, 424, 106);
    OKTopic = button("OKTopic", QStringLiteral("閉じる"), 642, 424, 106);

    Status = new QStatusBar;
    Status->setSizeGripEnabled(false);
    place(Status, "Status", 0, 476, 760, 24);

    connect(TopicList, &QComboBox::currentIndexChanged, this, &Topics::TopicList_Click);
    connect(LVSite, &QTreeWidget::itemChanged, this, &Topics::LVSite_ItemCheck);
    connect(LVSite->header(), &QHeaderView::sectionClicked, this, &Topics::LVSite_ColumnClick);
    connect(cmdAdapt, &QPushButton::clicked, this, &Topics::cmdAdapt_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Topics::cmdCancel_Click);
    connect(AddTopic, &QPushButton::clicked, this, &Topics::AddTopic_Click);
    connect(DelTopic, &QPushButton::clicked, this, &Topics::DelTopic_Click);
    connect(CSearch, &QPushButton::clicked, this, &Topics::CSearch_Click);
    connect(OKTopic, &QPushButton::clicked, this, &Topics::OKTopic_Click);
}

void Topics::SetTopicList(int index)
{
    // Filling the chooser is not the user choosing a topic.
    const QSignalBlocker quiet(TopicList);
    TopicList->clear();
    const TopicStore &store = session_.topics;
    for (int32_t t = 0; t < store.count; ++t)
        TopicList->addItem(store.topics[t].name);
    TopicList->setCurrentIndex(index >= 0 && index < store.count ? index : -1);
}

void Topics::ShowTopic(int topic)
{
    Init_LVSite();
    const SiteInfoList &list = session_.sites;
    auto &flags = session_.memberFlags;
    {
        const QScopedValueRollback<bool> quiet(filling_, true);
        for (int32_t s = 0; s < list.count; ++s) {
            const SiteInfo &site = list.sites[s];
            Add_LVSite(s, shown(site.name), shown(site.language), shown(site.type),
                       shown(site.searchKey));
            flags[s] = 0;
        }
    }
    // A sort chosen earlier stays in force for the new rows.
    if (sorted_)
        LVSite->sortItems(sortKey_, sortOrder_);
    const TopicStore &store = session_.topics;
    const bool valid = topic >= 0 && topic < store.count;
    if (valid) {
        const TopicRecord &record = store.topics[topic];
        for (int32_t k = 0; k < record.siteCount; ++k)
            flags[record.sites[k]] = 1;
    }
    LoadMember();
    writeCountLine(valid ? store.topics[topic].siteCount : 0);
}

void Topics::Init_LVSite()
{
    const QScopedValueRollback<bool> quiet(filling_, true);
    LVSite->clear();
    SetSiteColumns(LVSite);
}

void Topics::Add_LVSite(int32_t site, const QString &name, const QString &language,
                        const QString &type, const QString &searchKey)
{
    const QScopedValueRollback<bool> quiet(filling_, true);
    auto *item = new QTreeWidgetItem({name, language, type, searchKey});
    item->setData(0, Qt::UserRole, RowKey(site));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    LVSite->addTopLevelItem(item);
}

QTreeWidgetItem *Topics::row(int position) const
{
    return LVSite->topLevelItem(position - 1);
}

bool Topics::rowChecked(int position) const
{
    const QTreeWidgetItem *item = row(position);
    return item && item->checkState(0) == Qt::Checked;
}

void Topics::setRowCheck(QTreeWidgetItem *item, bool checked)
{
    const QScopedValueRollback<bool> quiet(filling_, true);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

int32_t Topics::index2j(int position) const
{
    const QTreeWidgetItem *item = row(position);
    return item ? KeySite(item->data(0, Qt::UserRole).toString()) : -1;
}

void Topics::LoadMember()
{
    const auto &flags = session_.memberFlags;
    for (int i = 1; i <= LVSite->topLevelItemCount(); ++i) {
        const int32_t site = index2j(i);
        setRowCheck(row(i), site >= 0 && site < kSiteInfoCount && flags[site] != 0);
    }
    CountList();
    modified_ = false;
}

void Topics::SaveMember()
{
    const int topic = TopicList->currentIndex();
    for (int i = 1; i <= LVSite->topLevelItemCount(); ++i)
        SetSiteFlag(session_, topic, index2j(i), rowChecked(i) ? 1 : 0);
    CountList();
    modified_ = false;
}

int Topics::CountList()
{
    int n = 0;
    for (int i = 1; i <= LVSite->topLevelItemCount(); ++i)
        n += rowChecked(i) ? 1 : 0;
    checkedCount_ = n;
    writeCountLine(n);
    return n;
}

void Topics::writeCountLine(int sites)
{
    LBTopics->setText(CountLine(sites, session_.topics.count));
}

void Topics::CheckLimitMsg()
{
    MsgBox(LimitMessage(), QMessageBox::Ok, QStringLiteral("更新無しの通知"));
}

int Topics::CheckLimitOK(int position)
{
    if (!rowChecked(position) && checkedCount_ > kMaxMembers - 1) {
        CheckLimitMsg();
        return 0;
    }
    return 1;
}

int Topics::SelectSet(int position)
{
    QTreeWidgetItem *item = row(position);
    if (!item || rowChecked(position))
        return 0;
    if (!CheckLimitOK(position))
        return -1;
    setRowCheck(item, true);
    modified_ = true;
    CountList();
    return 1;
}

bool Topics::CheckNewTopic(const QString &name) const
{
    return NameIsFree(session_.topics, name);
}

void Topics::AddNewTopic(const QString &name)
{
    if (!AppendTopic(session_, name))
        return;
    const int last = session_.topics.count - 1;
    SetTopicList(last);
    ShowTopic(last);
}

void Topics::SetColumn()
{
    Column->clear();
    Column->addItems(SiteColumnHeaders());
    Column->setCurrentIndex(3);
}

int Topics::TMatched(const QString &text) const
{
    return topicsrules::TMatched(text, TSearch->text());
}

void Topics::AskSave()
{
    const auto answer =
        MsgBox(QStringLiteral("内容が変更されています。保存しますか？"),
               QMessageBox::Yes | QMessageBox::No, QStringLiteral("保存"), QMessageBox::Question);
    if (answer == QMessageBox::Yes)
        SaveMember();
    else
        LoadMember();
}

void Topics::TopicList_Click(int index)
{
    ShowTopic(index);
}

void Topics::LVSite_ItemCheck(QTreeWidgetItem *item)
{
    if (filling_)
        return;
    if (item->checkState(0) == Qt::Checked && checkedCount_ > kMaxMembers - 1) {
        CheckLimitMsg();
        setRowCheck(item, false);
        return;
    }
    modified_ = true;
    CountList();
}

void Topics::LVSite_ColumnClick(int column)
{
    sortOrder_ = sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortKey_ = column;
    sorted_ = true;
    LVSite->header()->setSortIndicatorShown(true);
    LVSite->header()->setSortIndicator(column, sortOrder_);
    LVSite->sortItems(column, sortOrder_);
}

void Topics::cmdAdapt_Click()
{
    SaveMember();
}

void Topics::cmdCancel_Click()
{
    LoadMember();
}

void Topics::AddTopic_Click()
{
    newTopicDialog()->exec();
}

void Topics::DelTopic_Click()
{
    if (session_.topics.count <= 1) {
        MsgBox(QStringLiteral("検索テーマを全部削除することができません。"), QMessageBox::Ok,
               QStringLiteral("削除不可の通知"));
        return;
    }
    const int oldCount = TopicList->count();
    int a = TopicList->currentIndex();
    if (!RemoveTopic(session_, a))
        return;
    a = PositionAfterRemoval(a, oldCount);
    session_.settings.iTopic = a;
    SetTopicList(a);
    ShowTopic(a);
}

void Topics::CSearch_Click()
{
    const int column = Column->currentIndex();
    SiteSearch *dialog = siteSearchDialog();
    dialog->Init_LVSiteSearch();
    const SiteInfoList &list = session_.sites;
    int found = 0;
    for (int i = 1; i <= LVSite->topLevelItemCount(); ++i) {
        const int32_t s = index2j(i);
        if (s < 0 || s >= list.count)
            continue;
        const SiteInfo &site = list.sites[s];
        const std::optional<QString> text = SiteColumnText(site, column);
        if (!text || TMatched(shown(*text)) == 0)
            continue;
        dialog->Add_LVSiteSearch(rowChecked(i), i, shown(site.name), shown(site.language),
                                 shown(site.type), shown(site.searchKey));
        ++found;
    }
    if (found > 0)
        dialog->exec();
    else
        MsgBox(QStringLiteral("条件を満たすものは１件もありませんでした。"), QMessageBox::Ok,
               QStringLiteral("検索結果"));
}

void Topics::OKTopic_Click()
{
    if (modified_)
        AskSave();
    // Sites unchanged: the next search's list and the Searching window's rows, which show
    // the last search's sites, stay as they are.
    const bool changed = CurrentSitesChanged(session_);
    if (initTopic)
        initTopic(changed);
    if (changed)
        UseTopic(session_);
    hide();
}

void Topics::reject()
{
    OKTopic_Click();
}

NewTopic *Topics::newTopicDialog()
{
    if (!newTopic_)
        newTopic_ = new NewTopic(
            this, [this](const QString &name) { return CheckNewTopic(name); },
            [this](const QString &name) { AddNewTopic(name); });
    return newTopic_;
}

SiteSearch *Topics::siteSearchDialog()
{
    if (!siteSearch_) {
        siteSearch_ = new SiteSearch(this, [this](int row) { return SelectSet(row); });
        siteSearch_->setCatalogue(
            [this](const QString &name) {
                const SiteInfoList &list = session_.sites;
                for (int32_t s = 0; s < list.count; ++s)
                    if (list.sites[s].name == name)
                        return true;
                return false;
            },
            [this] { siteAdded(); });
    }
    return siteSearch_;
}

void Topics::siteAdded()
{
    // User sites come after the shipped ones, so the sites already listed keep their indexes.
    std::vector<int32_t> ticked;
    for (int i = 1; i <= LVSite->topLevelItemCount(); ++i)
        if (rowChecked(i))
            ticked.push_back(index2j(i));
    const bool modified = modified_;
    LoadSiteInfo(session_);
    ShowTopic(TopicList->currentIndex());
    for (int i = 1; i <= LVSite->topLevelItemCount(); ++i)
        setRowCheck(row(i), std::find(ticked.begin(), ticked.end(), index2j(i)) != ticked.end());
    CountList();
    modified_ = modified;
}

void ShowTopicsWindow(QPointer<Topics> &window, Session &session, QWidget *owner,
                      std::function<void(bool sitesChanged)> initTopic)
{
    if (!window)
        window = new Topics(session, owner);
    window->initTopic = std::move(initTopic);
    window->exec();
}
