// The new-topic and site-search dialogs, opened from the Topics window's buttons as a user
// opens them, checked against the topic store and the Topics window's ticks.
#include "common/messagebox.h"
#include "core/settings.h"
#include "core/topicstore.h"
#include "sessionfixture.h"
#include "topics/newtopic.h"
#include "topics/sitesearch.h"
#include "topics/topicswindow.h"
#include "windowdriving.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace driving;

namespace {

void setSites(Session &session, int n)
{
    SiteInfoList &list = session.sites;
    list = SiteInfoList();
    list.count = n;
    for (int i = 0; i < n; ++i) {
        list.sites[i].name = QStringLiteral("site%1").arg(i, 2, 10, QLatin1Char('0'));
        list.sites[i].searchKey = i >= 50 ? QStringLiteral("late") : QStringLiteral("early");
        list.sites[i].root = QStringLiteral("http://s%1/").arg(i);
    }
}

void addTopic(Session &session, const QString &name, int members)
{
    TopicStore &store = session.topics;
    TopicRecord &t = store.topics[store.count++];
    t = TopicRecord();
    t.name = name;
    for (int32_t s = 0; s < members; ++s)
        t.sites[t.siteCount++] = s;
}

} // namespace

class NewTopicTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

    std::unique_ptr<Topics> w;

private Q_SLOTS:
    void init()
    {
        w.reset(); // a window goes before the session it shows
        session_ = sessionfixture::fresh();
        setSites(*session_, 60);
        addTopic(*session_, QStringLiteral("News"), 2);
        addTopic(*session_, QStringLiteral("辞書"), 0);
        msgbox::clearShown();
        msgbox::setAutoAnswer(true);
        w = std::make_unique<Topics>(*session_);
        w->show();
    }

    void cleanup() { w.reset(); }

    void enterCreatesTheTopicAndShowsIt()
    {
        NewTopic *dialog = w->newTopicDialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("新規テーマ名"));
        QCOMPARE(dialog->Label1->text(), QStringLiteral("新規テーマ名："));
        QCOMPARE(dialog->CancelButton->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        bool focused = false;
        whenShown(dialog, [&] {
            focused = dialog->focusWidget() == dialog->NewName;
            typeText(dialog->NewName, QStringLiteral("天気 予報"));
            QTest::keyClick(dialog->NewName, Qt::Key_Return);
        });
        QTest::mouseClick(w->AddTopic, Qt::LeftButton);
        QVERIFY(focused);
        QVERIFY(!dialog->isVisible());
        QVERIFY(msgbox::shown().isEmpty()); // committed once, not a second time as duplicate
        QCOMPARE(session_->topics.count, 3);
        QCOMPARE(session_->topics.topics[2].name, QStringLiteral("天気 予報"));
        QCOMPARE(session_->topics.topics[2].siteCount, 0);
        QCOMPARE(w->TopicList->currentIndex(), 2);
        QCOMPARE(w->TopicList->currentText(), QStringLiteral("天気 予報"));
        QCOMPARE(w->checkedCount(), 0);
        QCOMPARE(w->LBTopics->text(),
                 QStringLiteral("検索テーマ：（指定されたサイト数=0、テーマ総数=3）"));
        QCOMPARE(session_->settings.iTopic, 0);

        // The next opening shows the last text.
        QString shownText;
        whenShown(dialog, [&] {
            shownText = dialog->NewName->text();
            QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->AddTopic, Qt::LeftButton);
        QCOMPARE(shownText, QStringLiteral("天気 予報"));
        QCOMPARE(session_->topics.count, 3);
    }

    void aDuplicateNameIsRefusedAndCaseCounts()
    {
        NewTopic *dialog = w->newTopicDialog();
        bool stayedOpen = false;
        QString kept;
        whenShown(dialog, [&] {
            typeText(dialog->NewName, QStringLiteral("News"));
            QTest::keyClick(dialog->NewName, Qt::Key_Return);
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
            stayedOpen = dialog->isVisible();
            kept = dialog->NewName->text();
            dialog->NewName->clear();
            typeText(dialog->NewName, QStringLiteral("news"));
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->AddTopic, Qt::LeftButton);
        QVERIFY(stayedOpen);
        QCOMPARE(kept, QStringLiteral("News"));
        QCOMPARE(msgbox::shown().size(), 2); // one for Enter, one for the button
        QCOMPARE(msgbox::shown().first().title, QStringLiteral("Velmora"));
        QCOMPARE(msgbox::shown().first().text,
                 QStringLiteral("この名前は重複されています。変更してください。"));
        QCOMPARE(session_->topics.count, 3);
        QCOMPARE(session_->topics.topics[2].name, QStringLiteral("news"));
    }

    void aFullStoreRefusesAndTheDialogCloses()
    {
        for (int t = session_->topics.count; t < kTopicCreateLimit; ++t)
            addTopic(*session_, QStringLiteral("t%1").arg(t), 0);
        NewTopic *dialog = w->newTopicDialog();
        whenShown(dialog, [&] {
            typeText(dialog->NewName, QStringLiteral("one more"));
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->AddTopic, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(session_->topics.count, kTopicCreateLimit);
        QCOMPARE(msgbox::shown().last().text,
                 QStringLiteral("これ以上に検索テーマを作成できません。"));
        QCOMPARE(w->TopicList->count(), 2); // the window is unchanged
    }

    void siteSearchTicksJoinTheTopicWindowOnly()
    {
        SiteSearch *dialog = w->siteSearchDialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("検索後のサイト指定"));
        QCOMPARE(dialog->OKButton->text(), QStringLiteral("適用して閉じる"));
        QCOMPARE(dialog->CancelButton->text(), QStringLiteral("変更なしで閉じる"));
        typeText(w->TSearch, QStringLiteral("LATE")); // sites 50 .. 59
        whenShown(dialog, [&] {
            clickCheck(dialog->LVSiteSearch, dialog->LVSiteSearch->topLevelItem(1));
            clickCheck(dialog->LVSiteSearch, dialog->LVSiteSearch->topLevelItem(4));
            QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->CSearch, Qt::LeftButton);
        QCOMPARE(w->checkedCount(), 2);
        QVERIFY(!w->modified());

        whenShown(dialog, [&] {
            clickCheck(dialog->LVSiteSearch, dialog->LVSiteSearch->topLevelItem(1));
            clickCheck(dialog->LVSiteSearch, dialog->LVSiteSearch->topLevelItem(4));
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->CSearch, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w->checkedCount(), 4);
        QVERIFY(w->rowChecked(52) && w->rowChecked(55));
        QVERIFY(w->modified());
        QCOMPARE(session_->topics.topics[0].siteCount, 2); // nothing applied to the store here

        // Clearing a ticked site in the dialog does not remove it; an already ticked site is
        // passed over and the rows after it still count.
        whenShown(dialog, [&] {
            clickCheck(dialog->LVSiteSearch, dialog->LVSiteSearch->topLevelItem(1));
            clickCheck(dialog->LVSiteSearch, dialog->LVSiteSearch->topLevelItem(6));
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->CSearch, Qt::LeftButton);
        QVERIFY(w->rowChecked(52) && w->rowChecked(57));
        QCOMPARE(w->checkedCount(), 5);
        QVERIFY(msgbox::shown().isEmpty());
    }

    void siteSearchStopsAtTheLimit()
    {
        session_->topics.topics[0] = TopicRecord();
        session_->topics.topics[0].name = QStringLiteral("News");
        for (int32_t s = 0; s < 49; ++s)
            session_->topics.topics[0].sites[session_->topics.topics[0].siteCount++] = s;
        w->ShowTopic(0);
        QCOMPARE(w->checkedCount(), 49);
        SiteSearch *dialog = w->siteSearchDialog();
        typeText(w->TSearch, QStringLiteral("late"));
        int rows = 0;
        int firstPosition = 0;
        whenShown(dialog, [&] {
            rows = dialog->rowCount();
            firstPosition = dialog->rowPosition(0);
            for (int r : {2, 5, 8})
                clickCheck(dialog->LVSiteSearch, dialog->LVSiteSearch->topLevelItem(r));
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->CSearch, Qt::LeftButton);
        QCOMPARE(rows, 10);
        QCOMPARE(firstPosition, 51);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w->checkedCount(), 50);
        QVERIFY(w->rowChecked(53));
        QVERIFY(!w->rowChecked(56));
        QVERIFY(!w->rowChecked(59));
        QCOMPARE(msgbox::shown().size(), 1); // once: the third row was not tried
        QCOMPARE(msgbox::shown().first().title, QStringLiteral("更新無しの通知"));
    }
};

QTEST_MAIN(NewTopicTest)
#include "newtopic_test.moc"
