// The run controller without any window: a plain view records what a run tells it, as a
// console front end would, under a QCoreApplication.
#include "core/runcontroller.h"
#include "core/runrules.h"
#include "runfixture.h"
#include "sessionfixture.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>

using namespace runfixture;

namespace {

// Keeps the list in the order hits arrive and writes every call down.
class LogView : public RunView {
public:
    QString words = QStringLiteral("abc");
    QStringList log;
    QList<int32_t> indexes; // the listed hits
    QStringList messages;

    QString searchWords() const override { return words; }
    void statusChanged(const QString &text) override { status = text; }
    void clockStarted() override { log << QStringLiteral("clock"); }
    void clockStopped() override { log << QStringLiteral("clock end"); }
    void stopNotice(bool shown) override
    {
        log << (shown ? QStringLiteral("notice") : QStringLiteral("notice end"));
    }
    void message(const QString &text, const QString &) override { messages << text; }
    void searchStarted() override { log << QStringLiteral("search"); }
    bool hitAdded(const Hit &hit) override
    {
        [&hit] { QVERIFY(!hit.url.isEmpty()); }();
        indexes << hit.index;
        return true;
    }
    bool takesHits() const override { return true; }
    void searchSlotDone(int slot) override { log << QStringLiteral("slot %1").arg(slot); }
    void searchEnded(const QString &endText) override { log << endText; }
    void checkStarted() override { log << QStringLiteral("check"); }
    void checkSlotDone(int slot, int32_t state) override
    {
        log << QStringLiteral("checked %1:%2").arg(slot).arg(state);
    }
    void checkEnded(const QString &counted, const QString &dead) override { log << counted + dead; }
    QList<int32_t> removeDeadAndRepeated(const std::function<bool(int32_t, int32_t)> &same) override
    {
        QList<int32_t> kept;
        for (const int32_t index : std::as_const(indexes)) {
            const bool repeated =
                std::any_of(kept.cbegin(), kept.cend(), [&](int32_t k) { return same(k, index); });
            if (states.value(index) != kLinkNotFound && !repeated)
                kept << index;
        }
        indexes = kept;
        return kept;
    }
    int listCount() const override { return int(indexes.size()); }
    int32_t selectedIndex() const override { return -1; }
    void removeHit(int32_t index) override { indexes.removeAll(index); }
    void linkChecked(int32_t index, int32_t state) override { states.insert(index, state); }
    QHash<int32_t, int32_t> states;

    QString status;
};

// The catalogue and topic of the given sites, loaded as the program loads them, without a
// window; the first topic's sites are the next search's.
void openSites(Session &session, testsupport::Sandbox &sandbox, const testsupport::SiteFarm &farm,
               const std::vector<Site> &sites)
{
    sandbox.write("sitelist.dat", packCatalogue(catalogueText(farm, sites)));
    session.settings = Settings();
    QVERIFY(LoadSiteInfo(session) == static_cast<int32_t>(sites.size()));
    std::vector<std::string> members;
    for (const Site &s : sites)
        members.push_back(s.name);
    LoadTopicsFrom(session, topicsBytes(farm, {{"t", members}}));
    session.settings.iTopic = 0;
    UseTopic(session);
}

bool idle(Session &session)
{
    return QTest::qWaitFor([&session] { return !session.run.busy(); }, 60000);
}

} // namespace

class RunControllerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

private Q_SLOTS:
    void init()
    {
        session_ = sessionfixture::fresh();
        session_->run.setView(&view);
    }
    void cleanup()
    {
        session_->run.setView(nullptr);
        view = LogView();
    }
    void searchReportsInOrderWithoutBlocking();
    void stopWaitsThenCancelsAndEnds();
    void checkAndRemovalThroughTheView();

private:
    LogView view;
};

// Do_Search returns before any page is taken; the view hears start, hits, each harvested
// slot and the end, in that order, and the status line ends with the end text.
void RunControllerTest::searchReportsInOrderWithoutBlocking()
{
    testsupport::Sandbox sandbox;
    testsupport::SiteFarm farm;
    testsupport::SearchSite site;
    site.totalHits = 30;
    farm.serveSearch("/a/search", site);
    openSites(*session_, sandbox, farm, {{"a", "日本語", "/a/search"}});

    RunController &run = session_->run;
    run.Do_Search();
    QCOMPARE(run.RunState, kRunSearch);
    QCOMPARE(view.indexes.size(), 0);
    QVERIFY(idle(*session_));

    QCOMPARE(view.indexes.size(), 10);
    QCOMPARE(view.indexes.first(), 0);
    QCOMPARE(run.HitCount, 10);
    QCOMPARE(view.log, QStringList({"search", "clock", "slot 0", "終了しました。", "clock end"}));
    QCOMPARE(view.status, QStringLiteral("終了しました。検索結果のリンク数＝10"));
}

// A stop shows the notice, holds the run for its wait, then cancels the stalled fetch, runs
// what was to follow the stop, and ends the run with the stopped text; nothing follows a
// stop for the program's end. A second stop during the wait joins the first.
void RunControllerTest::stopWaitsThenCancelsAndEnds()
{
    testsupport::Sandbox sandbox;
    testsupport::SiteFarm farm;
    farm.serve("/hang/search",
               testsupport::page("").withFault(testsupport::Fault::StallBeforeHeaders));
    openSites(*session_, sandbox, farm, {{"hang", "日本語", "/hang/search"}});
    session_->settings.LimitTime = 0;
    session_->settings.AutoCheck = 1;

    RunController &run = session_->run;
    run.Do_Search();
    QVERIFY(farm.waitForRequests(1));
    bool followed = false;
    run.Do_Stop([&] { followed = view.log.last() == QStringLiteral("notice end"); }, true);
    QCOMPARE(run.StopFlag, 1);
    QVERIFY(run.stopping());
    QCOMPARE(view.log.last(), QStringLiteral("notice"));
    QCOMPARE(run.RunState, kRunSearch);
    // Asked again while it waits, the stop is joined, not started over: one notice, one wait,
    // and what each asker wanted to follow runs.
    int joined = 0;
    run.Do_Stop([&] { ++joined; });
    QVERIFY(idle(*session_));

    QVERIFY(followed);
    QCOMPARE(joined, 1);
    QCOMPARE(view.log.count(QStringLiteral("notice")), 1);
    QCOMPARE(view.log.mid(view.log.size() - 4),
             QStringList({"notice", "notice end", "中止しました。", "clock end"}));
    QCOMPARE(run.SlotCount, 0);
    QCOMPARE(run.ActiveCount(), 0);
    QVERIFY(QTest::qWaitFor([&] { return farm.openConnections() == 0; }));
}

// A check classifies each hit through the view's list; the removal then walks that list and
// reports its result as a message.
void RunControllerTest::checkAndRemovalThroughTheView()
{
    testsupport::Sandbox sandbox;
    testsupport::SiteFarm farm;
    farm.serve("/ok", testsupport::page("ok"));
    farm.serve("/gone", testsupport::status(404));
    farm.serve("/links/search", testsupport::page(resultPage(
                                    {farm.url("/ok"), farm.url("/gone"), farm.url("/ok")})));
    openSites(*session_, sandbox, farm, {{"links", "日本語", "/links/search"}});
    session_->settings.LimitLink = 3;
    session_->settings.AutoCheck = 1;
    session_->settings.AutoDelete = 1;

    session_->run.Do_Search();
    QVERIFY(idle(*session_));

    QVERIFY(view.log.contains(QStringLiteral("check")));
    QVERIFY(view.log.contains(QStringLiteral("3/3件が確認済み、1件リンク切れが見つかりました。")));
    QCOMPARE(session_->run.LinkState[1], kLinkNotFound);
    QCOMPARE(view.indexes, QList<int32_t>{0});
    QCOMPARE(view.messages, QStringList{"有効リンク数は3個から1個になりました。"});
    QCOMPARE(session_->run.HitCount, 1);
}

QTEST_GUILESS_MAIN(RunControllerTest)
#include "runcontroller_test.moc"
