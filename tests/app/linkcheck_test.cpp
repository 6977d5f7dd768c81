// The link check of the listed hits over real sockets, dead-link removal with repeated URLs,
// and the automatic check and removal after a search.
#include "core/runrules.h"
#include "core/runtexts.h"
#include "mainwindow/commands.h"
#include "runfixture.h"
#include "settings/startup.h"

using namespace runfixture;
using testsupport::Fault;

class LinkCheckTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void texts();
    void checkAndRemoveDeadLinks();
    void autoCheckAndDeleteAfterSearch();
    void stopDuringCheckStillRemoves();
    void stoppedSearchIsStillChecked();
    // Last: ending the program leaves the event loops told to quit.
    void closingDuringCheckRemovesNothing();

private:
    // Serves one result page of these links (and statuses for them) and searches for it.
    void searchLinks(Stage &stage, const std::vector<std::string> &urls);
    // Lists a dead link and one whose check stalls, with AutoDelete on and no time limit.
    void searchDeadAndStalled(Stage &stage);
};

void LinkCheckTest::texts()
{
    QCOMPARE(LinkStateOf(200), 2);
    QCOMPARE(LinkStateOf(402), 7);
    QCOMPARE(LinkStateOf(403), 7);
    QCOMPARE(LinkStateOf(404), 3);
    QCOMPARE(LinkStateOf(410), 3);
    QCOMPARE(LinkStateOf(502), 6);
    QCOMPARE(LinkStateOf(0), 1);
    QCOMPARE(LinkStateOf(301), 4);
    QCOMPARE(LinkStateOf(500), 4);
    QCOMPARE(LinkStateOf(-12), 0); // a check without a status code changes nothing
    QCOMPARE(LinkStateText(3), QStringLiteral("Not Found"));
    QCOMPARE(LinkStateText(6), QStringLiteral("Not Connect"));
    QCOMPARE(CheckSecondsText(150), QStringLiteral("1.5"));
    QCOMPARE(CheckSecondsText(1200), QStringLiteral("12"));
    QCOMPARE(CheckSecondsText(7), QStringLiteral("0.07"));
    QCOMPARE(CheckSecondsText(305), QStringLiteral("3.05"));
    QCOMPARE(Hundredths(0.074), 7);
    QCOMPARE(CheckedText(11, 2) + DeadEndText(0),
             QStringLiteral("9/11件が確認済み、リンク切れが見つかりませんでした。"));
    QCOMPARE(DelDeadResultText(5, 5), QStringLiteral("有効リンク数は5個です。"));
    QCOMPARE(DelDeadResultText(11, 7), QStringLiteral("有効リンク数は11個から7個になりました。"));
}

void LinkCheckTest::searchLinks(Stage &stage, const std::vector<std::string> &urls)
{
    stage.farm.serve("/links/search", testsupport::page(resultPage(urls)));
    stage.open({{"links", "日本語", "/links/search"}}, {{"t", {"links"}}});
    stage.session.settings.LimitLink = static_cast<int32_t>(urls.size());
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.HitCount, static_cast<int32_t>(urls.size()));
}

void LinkCheckTest::searchDeadAndStalled(Stage &stage)
{
    stage.farm.serve("/gone", testsupport::status(404));
    stage.farm.serve("/hang", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    searchLinks(stage, {stage.farm.url("/gone"), stage.farm.url("/hang")});
    stage.session.settings.CheckWait = 0;
    stage.session.settings.AutoDelete = 1;
}

// Every kind of answer gets its icon; a refused or stalled check leaves its hit unchecked;
// dead-link removal drops the two dead hits and the two repeats of a URL kept before them.
void LinkCheckTest::checkAndRemoveDeadLinks()
{
    Stage stage;
    stage.farm.serve("/ok", testsupport::page("ok"));
    stage.farm.serve("/Ok/", testsupport::page("ok"));
    stage.farm.serve("/forbidden", testsupport::status(403));
    stage.farm.serve("/payment", testsupport::status(402));
    stage.farm.serve("/gone", testsupport::status(404));
    stage.farm.serve("/gone2", testsupport::status(404));
    stage.farm.serve("/proxy", testsupport::status(502));
    stage.farm.serve("/moved", testsupport::status(301).withHeader("Location", "/ok"));
    // Answered late enough that its check time shows in hundredths of a second.
    stage.farm.serve("/broken", testsupport::status(500).withDelay(std::chrono::milliseconds(50)));
    stage.farm.serve("/hang", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(testsupport::refusedPort()) + "/x";
    // "/ok" comes back twice, once in other letters and with a closing "/".
    const std::vector<std::string> paths = {"/ok",    "/forbidden", "/payment", "/gone",
                                            "/proxy", "/moved",     "/broken",  "/ok",
                                            "/Ok/",   "/gone2",     "/hang",    ""};
    std::vector<std::string> urls;
    for (const std::string &path : paths)
        urls.push_back(path.empty() ? refused : stage.farm.url(path));
    searchLinks(stage, urls);

    stage.session.settings.ShowChecking = 1;
    stage.session.settings.CheckWait = 2;
    RunCommand(*stage.form, 3);
    QVERIFY(stage.settle());

    // 200 OK, 403 and 402 Forbidden, 404 Not Found, 502 Not Connect, 500 Other Case; the 301
    // is followed to the page it names, which is OK.
    // The stalled and the refused check end without a status code: their hits stay
    // "No Check".
    const QList<int> want = {2, 7, 7, 3, 6, 2, 4, 2, 2, 3, 1, 1};
    for (int row = 0; row < want.size(); ++row)
        QCOMPARE(stage.image(row), want[row]);
    QCOMPARE(stage.session.run.DeadCount(), 2);
    QCOMPARE(stage.session.run.CheckLeft(), 2);
    QCOMPARE(stage.form->statusText(),
             QStringLiteral("終了しました。10/12件が確認済み、2件リンク切れが見つかりました。"));
    QCOMPARE(stage.form->Search->text(), QStringLiteral("検索開始"));
    QCOMPARE(stage.session.run.RunState, kRunIdle);
    // HEAD requests, one per hit (the refused one never reached the farm).
    QCOMPARE(stage.farm.requests("/gone").back().method, std::string("HEAD"));

    // The Confirm window lists every checked link with its result and time.
    Confirm *window = stage.form->runWindows().confirm();
    QVERIFY(window->isVisible());
    QCOMPARE(window->rowCount(), 12);
    QCOMPARE(window->cell(0, 0), QString::fromStdString(urls[0]));
    QCOMPARE(window->cell(3, 1), QStringLiteral("Not Found"));
    QCOMPARE(window->cell(4, 1), QStringLiteral("Not Connect"));
    // Each state's cell says what the state means.
    QVERIFY(window->Table->topLevelItem(3)->toolTip(1).startsWith(QStringLiteral("Not Found：")));
    QVERIFY(window->Table->topLevelItem(4)->toolTip(1).startsWith(QStringLiteral("Not Connect：")));
    QCOMPARE(window->cell(9, 1), QStringLiteral("Not Found"));
    QCOMPARE(window->cell(10, 1), QString());
    QCOMPARE(window->cell(10, 2), QString());
    QVERIFY(window->cell(6, 2).toDouble() > 0);
    // A finished check shows its time, even one under the clock's hundredth.
    bool timed = false;
    window->cell(0, 2).toDouble(&timed);
    QVERIFY(timed);
    QCOMPARE(window->LBCheck->text(), QStringLiteral("10/12件が確認済み、"));
    QCOMPARE(window->TBCheck->text(), QStringLiteral("2件リンク切れが見つかりました。"));
    window->hide();

    // Removal: the two dead hits, and the two repeats of the first hit's URL.
    msgbox::clearShown();
    RunCommand(*stage.form, 4);
    QCOMPARE(stage.session.run.HitCount, 8);
    QCOMPARE(stage.form->listCount(), 8);
    QCOMPARE(stage.form->statusText(), QStringLiteral("有効リンク数は12個から8個になりました。"));
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
    QCOMPARE(msgbox::shown()[0].title, QStringLiteral("リンク切れ削除"));
    QCOMPARE(msgbox::shown()[0].text, QStringLiteral("有効リンク数は12個から8個になりました。"));
    QCOMPARE(msgbox::shown()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QStringList kept = stage.column(1);
    QCOMPARE(kept.first(), QString::fromStdString(urls[0]));
    QCOMPARE(kept.count(QString::fromStdString(urls[0])), 1);
    for (int dropped : {3, 8, 9})
        QVERIFY(!kept.contains(QString::fromStdString(urls[dropped])));
    for (int j = 0; j < stage.session.run.HitCount; ++j)
        QCOMPARE(stage.form->itemIndex(j + 1), stage.session.run.HitOrder[j]);

    // Nothing left to remove: the list stays as it is.
    RunCommand(*stage.form, 4);
    QCOMPARE(stage.form->statusText(), QStringLiteral("有効リンク数は8個です。"));
    QCOMPARE(stage.form->listCount(), 8);

    // A second check asks only about the two hits still unchecked.
    stage.farm.clearLog();
    stage.session.settings.CheckWait = 1;
    RunCommand(*stage.form, 3);
    QVERIFY(stage.settle());
    QCOMPARE(window->rowCount(), 2);
    QCOMPARE(stage.farm.requests("/ok").size(), size_t(0));
    QCOMPARE(stage.form->statusText(),
             QStringLiteral("終了しました。6/8件が確認済み、リンク切れが見つかりませんでした。"));
}

// AutoCheck checks right after the search, AutoDelete then removes the dead links.
void LinkCheckTest::autoCheckAndDeleteAfterSearch()
{
    Stage stage;
    stage.farm.serve("/ok", testsupport::page("ok"));
    stage.farm.serve("/gone", testsupport::status(404));
    stage.farm.serve("/links/search",
                     testsupport::page(resultPage(
                         {stage.farm.url("/ok"), stage.farm.url("/gone"), stage.farm.url("/ok")})));
    stage.open({{"links", "日本語", "/links/search"}}, {{"t", {"links"}}});
    stage.session.settings.LimitLink = 3;
    stage.session.settings.AutoCheck = 1;
    stage.session.settings.AutoDelete = 1;
    stage.search(QStringLiteral("abc"));

    QCOMPARE(stage.farm.requests("/gone").size(), size_t(1));
    QCOMPARE(stage.form->listCount(), 1);
    QCOMPARE(stage.image(0), 2);
    QCOMPARE(stage.form->statusText(), QStringLiteral("有効リンク数は3個から1個になりました。"));
    QCOMPARE(msgbox::shown().size(), qsizetype(1));

    // Everything is checked already: the next check starts nothing and ends at once.
    stage.farm.clearLog();
    stage.session.settings.AutoDelete = 0;
    RunCommand(*stage.form, 3);
    QVERIFY(stage.settle());
    QCOMPARE(stage.farm.requestCount(), size_t(0));
    QCOMPARE(stage.form->statusText(),
             QStringLiteral("終了しました。1/1件が確認済み、リンク切れが見つかりませんでした。"));
}

// The stop button of the Confirm window ends the check with the stopped text; AutoDelete
// still removes the dead links found so far.
void LinkCheckTest::stopDuringCheckStillRemoves()
{
    Stage stage;
    searchDeadAndStalled(stage);
    stage.session.settings.ShowChecking = 1;
    QString caption;
    Stage::when([&stage] { return stage.session.run.DeadCount() == 1; },
                [&] {
                    caption = stage.form->Search->text();
                    QTest::mouseClick(stage.form->runWindows().confirm()->cmdExit, Qt::LeftButton);
                });
    msgbox::clearShown();
    RunCommand(*stage.form, 3);
    QVERIFY(stage.settle());

    QCOMPARE(caption, QStringLiteral("確認中止"));
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
    QCOMPARE(msgbox::shown()[0].text, QStringLiteral("有効リンク数は2個から1個になりました。"));
    QCOMPARE(stage.form->listCount(), 1);
    QCOMPARE(stage.form->Search->text(), QStringLiteral("検索開始"));
    QVERIFY(testsupport::waitFor([&] { return stage.farm.openConnections() == 0; }));
}

// Stopping a search with AutoCheck on still checks the hits found so far.
void LinkCheckTest::stoppedSearchIsStillChecked()
{
    Stage stage;
    stage.farm.serve("/ok", testsupport::page("ok"));
    stage.farm.serve("/links/search", testsupport::page(resultPage({stage.farm.url("/ok")})));
    stage.farm.serve("/hang/search", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    stage.open({{"links", "日本語", "/links/search"}, {"hang", "日本語", "/hang/search"}},
               {{"t", {"links", "hang"}}});
    stage.session.settings.LimitLink = 1;
    stage.session.settings.LimitTime = 0;
    stage.session.settings.AutoCheck = 1;
    Stage::when([&stage] { return stage.session.run.HitCount == 1; },
                [&] { QTest::keyClick(stage.form->Word, Qt::Key_Return); });
    stage.search(QStringLiteral("abc"));

    QCOMPARE(stage.image(0), 2);
    QCOMPARE(stage.form->statusText(),
             QStringLiteral("終了しました。1/1件が確認済み、リンク切れが見つかりませんでした。"));
}

// Closing the main window during a check ends the program: the removal AutoDelete would add
// is not run, and no message box appears after the window has gone.
void LinkCheckTest::closingDuringCheckRemovesNothing()
{
    Stage stage;
    searchDeadAndStalled(stage);
    Form1 *form = stage.form.get();
    Stage::when([&stage] { return stage.session.run.DeadCount() == 1; }, [form] { form->close(); });
    msgbox::clearShown();
    RunCommand(*stage.form, 3);
    QVERIFY(stage.settle());

    QVERIFY(stage.session.ended);
    QCOMPARE(stage.session.run.RunState, kRunIdle);
    QCOMPARE(msgbox::shown().size(), qsizetype(0));
    QCOMPARE(form->listCount(), 2);
    QCOMPARE(stage.session.run.HitCount, 2);
    QVERIFY(testsupport::waitFor([&] { return stage.farm.openConnections() == 0; }));
}

QTEST_MAIN(LinkCheckTest)
#include "linkcheck_test.moc"
