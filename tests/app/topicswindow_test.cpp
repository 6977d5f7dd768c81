// The Topics window driven as a user drives it: ticking sites, sorting, applying, cancelling,
// deleting topics, filtering and closing; checked against the topic store and the texts shown.
#include "common/messagebox.h"
#include "common/viewtips.h"
#include "core/settings.h"
#include "core/topicstore.h"
#include "sessionfixture.h"
#include "topics/sitesearch.h"
#include "topics/topicswindow.h"
#include "windowdriving.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace driving;

namespace {

// Sites 0 .. n-1. Types run backwards ("分野59" for site 0) so a sort by type reverses the
// list; every third search key holds "Weather" in mixed case.
void setSites(Session &session, int n)
{
    SiteInfoList &list = session.sites;
    list = SiteInfoList();
    list.count = n;
    for (int i = 0; i < n; ++i) {
        SiteInfo &s = list.sites[i];
        s.name = QStringLiteral("サイト%1").arg(i, 2, 10, QLatin1Char('0'));
        s.language = i % 2 ? QStringLiteral("English") : QStringLiteral("日本語");
        s.type = QStringLiteral("分野%1").arg(n - 1 - i, 2, 10, QLatin1Char('0'));
        s.searchKey = i % 3 == 0 ? QStringLiteral("news WeAtHer %1").arg(i)
                                 : QStringLiteral("news %1").arg(i);
        s.root = QStringLiteral("http://s%1/").arg(i);
    }
}

void addTopic(Session &session, const QString &name, std::initializer_list<int32_t> sites)
{
    TopicStore &store = session.topics;
    TopicRecord &t = store.topics[store.count++];
    t = TopicRecord();
    t.name = name;
    for (int32_t s : sites)
        t.sites[t.siteCount++] = s;
}

std::vector<int32_t> members(Session &session, int topic)
{
    const TopicRecord &t = session.topics.topics[topic];
    return std::vector<int32_t>(t.sites.begin(), t.sites.begin() + t.siteCount);
}

void clickHeader(QTreeWidget *view, int column)
{
    QHeaderView *header = view->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

QString lastMessage()
{
    return msgbox::shown().isEmpty() ? QString() : msgbox::shown().last().text;
}

} // namespace

class TopicsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

    std::unique_ptr<Topics> w;

    Topics &open()
    {
        w = std::make_unique<Topics>(*session_);
        w->show();
        return *w;
    }

    int checkedRows() const
    {
        int n = 0;
        for (int i = 1; i <= w->LVSite->topLevelItemCount(); ++i)
            n += w->rowChecked(i);
        return n;
    }

    // The display position of a site's row.
    int positionOf(int32_t site) const
    {
        for (int i = 1; i <= w->LVSite->topLevelItemCount(); ++i) {
            if (w->index2j(i) == site)
                return i;
        }
        return 0;
    }

    void tick(int32_t site) { clickCheck(w->LVSite, w->row(positionOf(site))); }

private Q_SLOTS:
    void init()
    {
        w.reset(); // a window goes before the session it shows
        session_ = sessionfixture::fresh();
        setSites(*session_, 60);
        addTopic(*session_, QStringLiteral("ニュース"), {5, 2});
        addTopic(*session_, QStringLiteral("辞書"), {1});
        addTopic(*session_, QStringLiteral("天気"), {});
        session_->settings.iTopic = 0;
        UseTopic(*session_); // as the main window leaves it: its list made from the current topic
        msgbox::clearShown();
        msgbox::setAutoAnswer(true);
    }

    void cleanup() { w.reset(); }

    void opensOnTheCurrentTopicWithEveryControl()
    {
        session_->settings.iTopic = 1;
        Topics &t = open();
        QCOMPARE(t.windowTitle(), QStringLiteral("検索テーマの設定"));
        QCOMPARE(t.AddTopic->text(), QStringLiteral("新規テーマ"));
        QCOMPARE(t.DelTopic->text(), QStringLiteral("テーマの削除"));
        QCOMPARE(t.Label2->text(), QStringLiteral("を対象に"));
        QCOMPARE(t.CSearch->text(), QStringLiteral("を含む項目を検索"));
        QCOMPARE(t.cmdAdapt->text(), QStringLiteral("適用"));
        QCOMPARE(t.cmdCancel->text(), QStringLiteral("取消"));
        QCOMPARE(t.OKTopic->text(), QStringLiteral("閉じる"));

        QCOMPARE(t.TopicList->count(), 3);
        QCOMPARE(t.TopicList->itemText(2), QStringLiteral("天気"));
        QCOMPARE(t.TopicList->currentIndex(), 1);
        QCOMPARE(t.Column->count(), 4);
        QCOMPARE(t.Column->currentText(), QStringLiteral("キーワード"));

        QCOMPARE(t.LVSite->topLevelItemCount(), 60);
        QCOMPARE(t.LVSite->headerItem()->text(3), QStringLiteral("キーワード"));
        // Columns of 1/3, 1/12, 1/12 and 1/2 of the list, all within it.
        const int unit = t.LVSite->columnWidth(1);
        QVERIFY(unit > 20);
        QVERIFY(qAbs(t.LVSite->columnWidth(0) - 4 * unit) <= 4);
        QCOMPARE(t.LVSite->columnWidth(2), unit);
        QVERIFY(qAbs(t.LVSite->columnWidth(3) - 6 * unit) <= 6);
        QVERIFY(t.LVSite->header()->length() <= t.LVSite->viewport()->width());
        QTreeWidgetItem *row = t.row(8);
        QCOMPARE(row->text(0), QStringLiteral("サイト07"));
        QCOMPARE(row->text(1), QStringLiteral("English"));
        QCOMPARE(row->text(2), QStringLiteral("分野52"));
        QCOMPARE(row->data(0, Qt::UserRole).toString(), QStringLiteral("j=7"));
        QVERIFY(t.rowChecked(2));
        QCOMPARE(checkedRows(), 1);
        QCOMPARE(t.LBTopics->text(),
                 QStringLiteral("検索テーマ：（指定されたサイト数=1、テーマ総数=3）"));
        QVERIFY(!t.modified());
    }

    // A long topic name is elided in the drop-down, which stays within the window, and the
    // row's tool tip gives the whole name.
    void aLongTopicNameIsElided()
    {
        const QString name = QStringLiteral("とても長い名前の検索テーマ").repeated(12);
        addTopic(*session_, name, {});
        open();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->TopicList->showPopup();
        QWidget *popup = w->TopicList->view()->window();
        QTRY_VERIFY(popup->isVisible());
        QVERIFY2(popup->width() < w->width(), qPrintable(QString::number(popup->width())));
        QAbstractItemView *rows = w->TopicList->view();
        QCOMPARE(CutOffText(rows, rows->model()->index(3, 0)), name);
        QCOMPARE(CutOffText(rows, rows->model()->index(0, 0)), QString());
        w->TopicList->hidePopup();
    }

    void tickingCountsAndApplyingStoresAscendingOrder()
    {
        Topics &t = open();
        QCOMPARE(checkedRows(), 2);
        // Sort by type: the rows now run from the highest site index to the lowest.
        // The first click sorts descending, the next ascending.
        clickHeader(t.LVSite, 2);
        QCOMPARE(t.index2j(1), 0);
        clickHeader(t.LVSite, 2);
        QCOMPARE(t.index2j(1), 59);
        tick(40);
        tick(9);
        tick(5); // clears it
        QVERIFY(t.modified());
        QCOMPARE(t.checkedCount(), 3);
        QCOMPARE(t.LBTopics->text(),
                 QStringLiteral("検索テーマ：（指定されたサイト数=3、テーマ総数=3）"));
        QCOMPARE(members(*session_, 0),
                 (std::vector<int32_t>{5, 2})); // nothing stored before apply

        QTest::mouseClick(t.cmdAdapt, Qt::LeftButton);
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{2, 9, 40}));
        QVERIFY(!t.modified());
        QCOMPARE(t.index2j(1), 59); // applying leaves the rows where they are
    }

    void cancelReturnsToTheLastAppliedState()
    {
        Topics &t = open();
        tick(30);
        QTest::mouseClick(t.cmdAdapt, Qt::LeftButton);
        tick(31);
        tick(2);
        QTest::mouseClick(t.cmdCancel, Qt::LeftButton);
        QVERIFY(t.rowChecked(positionOf(30)));
        QVERIFY(t.rowChecked(positionOf(2)));
        QVERIFY(!t.rowChecked(positionOf(31)));
        QCOMPARE(t.checkedCount(), 3);
        QVERIFY(!t.modified());
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{2, 5, 30}));
    }

    void aFiftyFirstTickIsRefused()
    {
        TopicRecord &topic = session_->topics.topics[0];
        topic.siteCount = 0;
        for (int32_t s = 0; s < 49; ++s)
            topic.sites[topic.siteCount++] = s;
        Topics &t = open();
        QCOMPARE(t.LBTopics->text(),
                 QStringLiteral("検索テーマ：（指定されたサイト数=49、テーマ総数=3）"));
        tick(49);
        QCOMPARE(t.checkedCount(), 50);
        QVERIFY(msgbox::shown().isEmpty());

        tick(55);
        QCOMPARE(msgbox::shown().size(), 1);
        QCOMPARE(msgbox::shown().last().title, QStringLiteral("更新無しの通知"));
        QCOMPARE(lastMessage(),
                 QStringLiteral("検索テーマごとに最大サイト数は50です。\n更新を中止しました。"));
        QVERIFY(!t.rowChecked(positionOf(55)));
        QCOMPARE(checkedRows(), 50);

        tick(3);  // clear one ...
        tick(55); // ... and another fits
        QCOMPARE(msgbox::shown().size(), 1);
        QVERIFY(t.rowChecked(positionOf(55)));
        QTest::mouseClick(t.cmdAdapt, Qt::LeftButton);
        QCOMPARE(session_->topics.topics[0].siteCount, 50);
        QCOMPARE(TopicHasSite(session_->topics, 0, 3), 0);
        QCOMPARE(TopicHasSite(session_->topics, 0, 55), 1);
    }

    void switchingTopicsDropsTicksAndClosingAsks()
    {
        int rebuilt = 0;
        QList<bool> changed;
        Topics &t = open();
        t.initTopic = [&](bool sitesChanged) {
            ++rebuilt;
            changed << sitesChanged;
        };
        tick(20);
        t.TopicList->setCurrentIndex(1);
        QVERIFY(msgbox::shown().isEmpty());
        QCOMPARE(checkedRows(), 1);
        QVERIFY(!t.modified());
        QCOMPARE(session_->settings.iTopic, 0); // choosing here does not change the current topic

        t.TopicList->setCurrentIndex(0);
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{5, 2}));
        tick(20);
        msgbox::setNextAnswer(QMessageBox::No);
        QTest::mouseClick(t.OKTopic, Qt::LeftButton);
        QCOMPARE(msgbox::shown().last().title, QStringLiteral("保存"));
        QCOMPARE(lastMessage(), QStringLiteral("内容が変更されています。保存しますか？"));
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{5, 2}));
        QVERIFY(!t.rowChecked(positionOf(20))); // No reloads the boxes
        QVERIFY(!t.isVisible());
        QCOMPARE(rebuilt, 1);
        QCOMPARE(session_->runSites.count, 2); // the current topic's sites, in stored order
        QCOMPARE(session_->runSites.sites[0], 5);
        QCOMPARE(changed, QList<bool>{false}); // ticks undone: the main window keeps its list

        t.show();
        tick(21);
        msgbox::setNextAnswer(QMessageBox::Yes);
        QTest::keyClick(&t, Qt::Key_Escape); // the close box and Escape close the same way
        QVERIFY(!t.isVisible());
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{2, 5, 21}));
        QCOMPARE(session_->runSites.count, 3);
        QCOMPARE(rebuilt, 2);
        QCOMPARE(changed, (QList<bool>{false, true}));
    }

    void aSecondOpeningShowsTheWindowAsLeft()
    {
        Topics &t = open();
        t.TopicList->setCurrentIndex(2);
        clickHeader(t.LVSite, 0);
        t.Column->setCurrentIndex(1);
        QTest::keyClicks(t.TSearch, QStringLiteral("eng"));
        QTest::mouseClick(t.OKTopic, Qt::LeftButton);
        session_->topics.topics[2].name = QStringLiteral("changed elsewhere");
        t.show();
        QCOMPARE(t.TopicList->currentIndex(), 2);
        QCOMPARE(t.TopicList->currentText(), QStringLiteral("天気"));
        QCOMPARE(t.index2j(1), 59);
        QCOMPARE(t.Column->currentIndex(), 1);
        QCOMPARE(t.TSearch->text(), QStringLiteral("eng"));
    }

    void deletingTopics()
    {
        Topics &t = open();
        // The last entry: the new last topic is selected.
        t.TopicList->setCurrentIndex(2);
        QTest::mouseClick(t.DelTopic, Qt::LeftButton);
        QCOMPARE(session_->topics.count, 2);
        QCOMPARE(t.TopicList->count(), 2);
        QCOMPARE(t.TopicList->currentIndex(), 1);
        QCOMPARE(session_->settings.iTopic, 1);
        QCOMPARE(checkedRows(), 1);
        QCOMPARE(t.LBTopics->text(),
                 QStringLiteral("検索テーマ：（指定されたサイト数=1、テーマ総数=2）"));
        QVERIFY(msgbox::shown().isEmpty()); // no question before removing

        // Any other entry: the topic that moved into its place is selected.
        t.TopicList->setCurrentIndex(0);
        QTest::mouseClick(t.DelTopic, Qt::LeftButton);
        QCOMPARE(t.TopicList->currentIndex(), 0);
        QCOMPARE(t.TopicList->currentText(), QStringLiteral("辞書"));
        QCOMPARE(session_->settings.iTopic, 0);

        // The only topic stays.
        QTest::mouseClick(t.DelTopic, Qt::LeftButton);
        QCOMPARE(session_->topics.count, 1);
        QCOMPARE(msgbox::shown().last().title, QStringLiteral("削除不可の通知"));
        QCOMPARE(lastMessage(), QStringLiteral("検索テーマを全部削除することができません。"));
    }

    void filterOffersMatchingSitesWithTheirTicks()
    {
        Topics &t = open();
        clickHeader(t.LVSite, 0); // descending by name: the dialog follows display order
        QTest::keyClicks(t.TSearch, QStringLiteral("weATher"));
        SiteSearch *dialog = t.siteSearchDialog();
        QStringList offered;
        QList<bool> ticks;
        QList<int> positions;
        whenShown(dialog, [&] {
            for (int r = 0; r < dialog->LVSiteSearch->topLevelItemCount(); ++r) {
                QTreeWidgetItem *item = dialog->LVSiteSearch->topLevelItem(r);
                offered << item->text(0);
                ticks << (item->checkState(0) == Qt::Checked);
                positions << dialog->rowPosition(r);
            }
            QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
        });
        QTest::mouseClick(t.CSearch, Qt::LeftButton);
        QCOMPARE(offered.size(), 20); // sites 0, 3, ..., 57
        QCOMPARE(offered.first(), QStringLiteral("サイト57"));
        QCOMPARE(offered.last(), QStringLiteral("サイト00"));
        QCOMPARE(positions.first(), 3);
        QCOMPARE(positions.last(), 60);
        QVERIFY(!ticks.first());
        QCOMPARE(dialog->rowCount(), 20);

        // An empty text with "キーワード" offers every site with its present tick.
        t.TSearch->clear();
        whenShown(dialog, [&] {
            offered.clear();
            ticks.clear();
            for (int r = 0; r < dialog->LVSiteSearch->topLevelItemCount(); ++r)
                ticks << (dialog->LVSiteSearch->topLevelItem(r)->checkState(0) == Qt::Checked);
            QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
        });
        QTest::mouseClick(t.CSearch, Qt::LeftButton);
        QCOMPARE(ticks.size(), 60);
        QCOMPARE(ticks.count(true), 2);
        QVERIFY(ticks.at(60 - 5 - 1));

        // Another column; nothing found gives the message and no dialog.
        t.Column->setCurrentIndex(1);
        typeText(t.TSearch, QStringLiteral("français"));
        QTest::mouseClick(t.CSearch, Qt::LeftButton);
        QCOMPARE(msgbox::shown().last().title, QStringLiteral("検索結果"));
        QCOMPARE(lastMessage(), QStringLiteral("条件を満たすものは１件もありませんでした。"));
        QVERIFY(!dialog->isVisible());
        QVERIFY(!t.modified());
    }

    void matchingRules()
    {
        using topicsrules::TMatched;
        QCOMPARE(TMatched(QStringLiteral("Daily WEATHER"), QStringLiteral("weather")), 7);
        QCOMPARE(TMatched(QStringLiteral("天気予報"), QStringLiteral("予報")), 3);
        QCOMPARE(TMatched(QStringLiteral("abc"), QString()), 1);
        QCOMPARE(TMatched(QString(), QString()), 1);
        QCOMPARE(TMatched(QStringLiteral("abc"), QStringLiteral("abd")), 0);
        QCOMPARE(topicsrules::KeySite(QStringLiteral("j=42")), 42);
        QCOMPARE(topicsrules::KeySite(QStringLiteral("j=7 x")), 7);
        QCOMPARE(topicsrules::KeySite(QStringLiteral("j=")), -1);
        QVERIFY(!topicsrules::SiteColumnText(session_->sites.sites[0], 4));
        QCOMPARE(topicsrules::PositionAfterRemoval(4, 5), 3);
        QCOMPARE(topicsrules::PositionAfterRemoval(0, 5), 0);
        QCOMPARE(topicsrules::PositionAfterRemoval(1, 2), 0);
    }
};

QTEST_MAIN(TopicsWindowTest)
#include "topicswindow_test.moc"
