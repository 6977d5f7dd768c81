// The progress windows Searching and Confirm as a run fills them: rows, cells, the bar, the
// lines, the stop and close buttons, and the refresh when a window is shown mid-run.
#include "core/outcome.h"
#include "core/runtexts.h"
#include "fakedns.h"
#include "mainwindow/commands.h"
#include "runfixture.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStyle>
#include <QToolButton>

using namespace runfixture;
using testsupport::Fault;

namespace {

testsupport::SearchSite generated(int total)
{
    testsupport::SearchSite site;
    site.totalHits = total;
    return site;
}

// Three sites: one answering at once, one sending its page slowly, one never answering.
void openThree(Stage &stage)
{
    stage.farm.serveSearch("/fast/search", generated(30));
    std::string slow = resultPage({stage.farm.url("/a")});
    slow += std::string(4000, ' ');
    stage.farm.serve("/drip/search",
                     testsupport::page(slow).withDrip(200, std::chrono::milliseconds(50)));
    stage.farm.serve("/hang/search", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    stage.open({{"fast", "日本語", "/fast/search"},
                {"drip", "日本語", "/drip/search"},
                {"hang", "日本語", "/hang/search"}},
               {{"three", {"fast", "drip", "hang"}}});
    stage.session.settings.LimitLink = 10;
}

} // namespace

class ProgressTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void windowsAsBuilt();
    void windowsGrowWithTheFont();
    void searchingFollowsRun();
    void hiddenWindowIsFilledAndRefreshed();
    void closeDoesNotStopButStopDoes();
    void progressHeldAt100();
    void columnsAreThirdsFromTheFirstOpening();
    void windowsKeepTheEnd();
    void eachSiteTellsHowItEnded();
    void barShowsTheShareOfSitesEnded();
    void keysInTheProgressWindows();
};

void ProgressTest::windowsAsBuilt()
{
    Stage stage;
    openThree(stage);
    Searching *searching = stage.form->runWindows().searching();
    QCOMPARE(searching->windowTitle(), QStringLiteral("検索中"));
    QCOMPARE(searching->Table->headerItem()->text(0), QStringLiteral("サイト"));
    QCOMPARE(searching->Table->headerItem()->text(1), QStringLiteral("検索結果"));
    QCOMPARE(searching->Table->headerItem()->text(2), QStringLiteral("Status"));
    QCOMPARE(searching->Table->columnWidth(0), searching->Table->columnWidth(2));
    QCOMPARE(searching->cmdExit->text(), QStringLiteral("中止"));
    QCOMPARE(searching->cmdOK->text(), QStringLiteral("閉じる"));
    QCOMPARE(searching->PGSearch->maximum(), 100);
    // Before any run the window lists the topic's sites (Before_Search resets it).
    QCOMPARE(searching->rowCount(), 3);
    QCOMPARE(searching->cell(1, 0), QStringLiteral("drip"));
    QCOMPARE(searching->cell(1, 1), QString());
    QCOMPARE(searching->LBSearch->text(), QStringLiteral("検索テーマのサイト数=3"));
    QCOMPARE(searching->TBSearch->text(), QString());

    Confirm *confirm = stage.form->runWindows().confirm();
    QCOMPARE(confirm->windowTitle(), QStringLiteral("リンク確認中"));
    QCOMPARE(confirm->Table->headerItem()->text(0), QStringLiteral("URL"));
    QCOMPARE(confirm->Table->headerItem()->text(1), QStringLiteral("確認結果"));
    QCOMPARE(confirm->Table->headerItem()->text(2), QStringLiteral("時間(秒)"));
    const int half = confirm->Table->columnWidth(0);
    QVERIFY(qAbs(half - 2 * confirm->Table->columnWidth(1)) <= 1);
    QCOMPARE(confirm->Table->columnWidth(1), confirm->Table->columnWidth(2));
    QCOMPARE(confirm->rowCount(), 0);
    // An address too long for its column keeps both ends: the host and the page.
    QCOMPARE(confirm->Table->textElideMode(), Qt::ElideMiddle);
}

// The windows are measured in the font's characters and lines: a larger font makes them
// larger, in both directions.
void ProgressTest::windowsGrowWithTheFont()
{
    Stage stage;
    openThree(stage);
    const QFont usual = QApplication::font();
    const QSize before = Confirm(
                             stage.session.run, [] {}, nullptr)
                             .size();
    QFont large = usual;
    large.setPointSizeF(usual.pointSizeF() * 2);
    QApplication::setFont(large);
    const QSize after = Confirm(
                            stage.session.run, [] {}, nullptr)
                            .size();
    QApplication::setFont(usual);
    QVERIFY2(after.width() > before.width() * 3 / 2 && after.height() > before.height() * 3 / 2,
             qPrintable(QStringLiteral("%1x%2 -> %3x%4")
                            .arg(before.width())
                            .arg(before.height())
                            .arg(after.width())
                            .arg(after.height())));
}

// ShowSearching on: the window shows at the start and each row follows its site; shown
// again while the run goes on, every row's connection state is brought up to date.
void ProgressTest::searchingFollowsRun()
{
    Stage stage;
    openThree(stage);
    stage.session.settings.ShowSearching = 1;
    stage.session.settings.LimitTime = 30;
    Searching *window = stage.form->runWindows().searching();
    QString receiving, sending, fastCell, lines, summary;
    bool shown = false;
    Stage::when(
        [&stage] { return stage.session.run.HitCount == 10; },
        [&] {
            shown = window->isVisible();
            stage.form->activateWindow();
            Stage::when(
                [&] { return stage.form->isActiveWindow(); },
                [&] {
                    RunCommand(*stage.form, 9);
                    Stage::when(
                        [&] { return window->isActiveWindow(); },
                        [&] {
                            receiving = window->cell(1, 2);
                            sending = window->cell(2, 2);
                            fastCell = window->cell(0, 1) + QLatin1Char('|') + window->cell(0, 2);
                            summary = window->LBSearch->text();
                            lines = window->TBSearch->text();
                            Stage::when(
                                [&stage] { return stage.session.run.HitCount == 11; },
                                [&] { QTest::mouseClick(window->cmdExit, Qt::LeftButton); });
                        });
                });
        });
    stage.search(QStringLiteral("abc"));

    QVERIFY(shown);
    QCOMPARE(receiving, QStringLiteral("受信中"));
    QCOMPARE(sending, QStringLiteral("送信中"));
    QCOMPARE(fastCell, QStringLiteral("10件が見つかりました。|完了"));
    QCOMPARE(summary, QStringLiteral("検索中のサイト数=2"));
    QCOMPARE(lines, QStringLiteral("検索結果のリンク数=10"));
    // The stop ends the run with the stopped text, in the window and the status line.
    QCOMPARE(window->LBSearch->text(), QStringLiteral("中止しました。"));
    QCOMPARE(window->TBSearch->text(), QStringLiteral("検索結果のリンク数=11"));
    QCOMPARE(window->cell(1, 1), QStringLiteral("1件が見つかりました。"));
    QCOMPARE(stage.form->statusText(), QStringLiteral("中止しました。検索結果のリンク数＝11"));
    window->hide();
}

// ShowSearching off: the window stays hidden but is reset for the run; showing it mid-run
// (the monitor command) brings it up to date at once.
void ProgressTest::hiddenWindowIsFilledAndRefreshed()
{
    Stage stage;
    openThree(stage);
    stage.session.settings.ShowSearching = 0;
    stage.session.settings.LimitTime = 30;
    Searching *window = stage.form->runWindows().searching();
    bool hiddenAtStart = true;
    QString beforeShow, afterShow, afterShowLine;
    Stage::when([&stage] { return stage.session.run.HitCount == 10; },
                [&] {
                    hiddenAtStart = !window->isVisible();
                    beforeShow = window->cell(0, 1);
                    RunCommand(*stage.form, 9);
                    Stage::when([&] { return window->isActiveWindow(); },
                                [&] {
                                    afterShow = window->cell(0, 1);
                                    afterShowLine = window->LBSearch->text();
                                    QTest::keyClick(stage.form->Word, Qt::Key_Return);
                                });
                });
    stage.search(QStringLiteral("abc"));

    QVERIFY(hiddenAtStart);
    QCOMPARE(window->rowCount(), 3);
    QCOMPARE(beforeShow, QString());
    QCOMPARE(afterShow, QStringLiteral("10件が見つかりました。"));
    QCOMPARE(afterShowLine, QStringLiteral("検索中のサイト数=2"));
    window->hide();
}

// "閉じる" only hides the window; the run goes on. "中止" of the Confirm window stops a check.
void ProgressTest::closeDoesNotStopButStopDoes()
{
    Stage stage;
    openThree(stage);
    stage.session.settings.ShowSearching = 1;
    stage.session.settings.LimitTime = 2;
    Searching *window = stage.form->runWindows().searching();
    bool hidden = false;
    int stateAfterClose = 0;
    Stage::at(300, [&] {
        QTest::mouseClick(window->cmdOK, Qt::LeftButton);
        hidden = !window->isVisible();
        stateAfterClose = stage.session.run.RunState;
    });
    stage.search(QStringLiteral("abc"));
    QVERIFY(hidden);
    QCOMPARE(stateAfterClose, int(kRunSearch));
    QCOMPARE(stage.form->statusText(), QStringLiteral("終了しました。検索結果のリンク数＝") +
                                           QString::number(stage.session.run.HitCount));
    // The hidden window kept taking updates.
    QCOMPARE(window->LBSearch->text(), QStringLiteral("終了しました。"));

    // A check of the hits, those of the slow site stalled, stopped from the Confirm window.
    stage.farm.serve("/a", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    const int stalled = int(stage.column(1).count(QString::fromStdString(stage.farm.url("/a"))));
    QVERIFY(stalled >= 1);
    stage.session.settings.ShowChecking = 1;
    stage.session.settings.CheckWait = 0;
    Confirm *confirm = stage.form->runWindows().confirm();
    Stage::when([&] { return stage.session.run.CheckLeft() == stalled; },
                [&] { QTest::mouseClick(confirm->cmdExit, Qt::LeftButton); });
    RunCommand(*stage.form, 3);
    QVERIFY(stage.settle());
    const QString counted = QString::number(stage.session.run.HitCount - stalled) +
                            QLatin1Char('/') + QString::number(stage.session.run.HitCount) +
                            QStringLiteral("件が確認済み、");
    QCOMPARE(confirm->rowCount(), stage.session.run.HitCount);
    QCOMPARE(stage.form->statusText(), QStringLiteral("中止しました。") + counted +
                                           QStringLiteral("リンク切れが見つかりませんでした。"));
    QCOMPARE(confirm->LBCheck->text(), counted);
    confirm->hide();
}

void ProgressTest::progressHeldAt100()
{
    Stage stage;
    openThree(stage);
    Searching *window = stage.form->runWindows().searching();
    window->Up_Progress(42);
    QCOMPARE(window->PGSearch->value(), 42);
    window->Up_Progress(150);
    QCOMPARE(window->PGSearch->value(), 100);
    // A Searching row that doesn't exist is left alone.
    window->Sub1_Table(7, QStringLiteral("x"));
    QCOMPARE(window->rowCount(), 3);
}

// A run that didn't show the Searching window still sized its columns: shown for the first
// time afterwards, the three share the table's width.
void ProgressTest::columnsAreThirdsFromTheFirstOpening()
{
    Stage stage;
    stage.farm.serveSearch("/fast/search", generated(30));
    stage.open({{"fast", "日本語", "/fast/search"}}, {{"one", {"fast"}}});
    stage.search(QStringLiteral("abc"));
    Searching *window = stage.form->runWindows().searching();
    RunCommand(*stage.form, 9);
    QTRY_VERIFY(window->isVisible());
    QTreeWidget *table = window->Table;
    const int bar = table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
    const auto thirds = [&] {
        const int sum = table->columnWidth(0) + table->columnWidth(1) + table->columnWidth(2);
        return sum <= table->viewport()->width() && sum >= table->viewport()->width() - bar - 3 &&
               table->columnWidth(0) == table->columnWidth(2);
    };
    QVERIFY(thirds());
    // They keep their shares as the window grows, until the user sets a width of their own.
    const int narrow = table->viewport()->width();
    window->resize(window->width() + 300, window->height());
    QTRY_VERIFY(table->viewport()->width() > narrow && thirds());
    const int wide = table->viewport()->width();
    table->header()->resizeSection(0, 50);
    window->resize(window->width() + 100, window->height());
    QTRY_VERIFY(table->viewport()->width() > wide);
    QCOMPARE(table->columnWidth(0), 50);
    window->hide();
}

// After a run stopped while sites were still sending, and after a check run, each window shows
// how its run ended: the end text, no row still sending, 中止 disabled; shown again, the same.
void ProgressTest::windowsKeepTheEnd()
{
    Stage stage;
    openThree(stage);
    stage.session.settings.ShowSearching = 1;
    // No time limit: the hanging site holds the run until the stop is seen, however slowly a
    // loaded machine gets there.
    stage.session.settings.LimitTime = 0;
    Searching *window = stage.form->runWindows().searching();
    Stage::when(
        [&] {
            return stage.session.run.HitCount >= 10 &&
                   window->cell(2, 2) == QStringLiteral("送信中");
        },
        [&] { QTest::keyClick(stage.form->Word, Qt::Key_Return); }, 60000);
    stage.search(QStringLiteral("abc"));
    const QString found = OutcomeText({SiteOutcome::Found});
    const QString stopped = OutcomeText({SiteOutcome::Stopped});
    const auto ended = [&] {
        const QString drip = window->cell(1, 2);
        return QStringList{window->LBSearch->text(),
                           window->PGSearch->value() < window->PGSearch->maximum() &&
                                   window->PGSearch->text().startsWith(RunEndText(true))
                               ? QStringLiteral("stopped")
                               : window->PGSearch->text(),
                           window->cell(0, 2),
                           drip == found ? stopped : drip,
                           window->cell(2, 2),
                           window->cmdExit->isEnabled() ? QStringLiteral("enabled") : QString()};
    };
    const QStringList expected{QStringLiteral("中止しました。"),
                               QStringLiteral("stopped"),
                               found,
                               stopped,
                               stopped,
                               QString()};
    QCOMPARE(ended(), expected);
    window->hide();
    RunCommand(*stage.form, 9);
    QTRY_VERIFY(window->isVisible());
    QTRY_COMPARE(ended(), expected);
    window->hide();

    stage.session.settings.ShowChecking = 0;
    RunCommand(*stage.form, 3);
    QVERIFY(stage.settle());
    Confirm *confirm = stage.form->runWindows().confirm();
    RunCommand(*stage.form, 10);
    QTRY_VERIFY(confirm->isVisible());
    QTRY_VERIFY(confirm->LBCheck->text().endsWith(QStringLiteral("件が確認済み、")));
    QVERIFY(!confirm->cmdExit->isEnabled());
    confirm->hide();
}

// Every way a site can fail ends in its own words in its Searching row, kept after the run; the
// main window shows the count of failed sites at the right of the status bar, and the mark
// opens Searching. A topic change takes the rows, and the mark, away.
void ProgressTest::eachSiteTellsHowItEnded()
{
    Stage stage;
    testsupport::SiteFarm secure{testsupport::SiteFarm::Tls{}};
    stage.farm.serveSearch("/found/search", generated(5));
    stage.farm.serve("/empty/search", testsupport::page("<html><body>0件</body></html>"));
    stage.farm.serve("/gone/search", testsupport::status(404));
    stage.farm.serve("/broken/search", testsupport::status(500));
    stage.farm.serve("/closed/search", testsupport::page("").withFault(Fault::CloseBeforeHeaders));
    stage.farm.serve("/hang/search", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    const std::string port = std::to_string(stage.farm.port());
    const struct {
        Site site;
        SiteResult outcome;
    } cases[] = {
        {{"found", "日本語", "/found/search"}, {SiteOutcome::Found}},
        {{"empty", "日本語", "/empty/search"}, {SiteOutcome::NoHits}},
        {{"gone", "日本語", "/gone/search"}, {SiteOutcome::HttpError, 404}},
        {{"broken", "日本語", "/broken/search"}, {SiteOutcome::HttpError, 500}},
        {{"nohost",
          "日本語",
          "",
          "AND OR",
          false,
          10,
          {},
          "http://nohost.unresolvable.test:" + port + "/search"},
         {SiteOutcome::NameNotFound}},
        {{"refused",
          "日本語",
          "",
          "AND OR",
          false,
          10,
          {},
          "http://127.0.0.1:" + std::to_string(testsupport::refusedPort()) + "/search"},
         {SiteOutcome::CannotConnect}},
        {{"secure", "日本語", "", "AND OR", false, 10, {}, secure.url("/search")},
         {SiteOutcome::SecureFailed}},
        {{"closed", "日本語", "/closed/search"}, {SiteOutcome::NoAnswer}},
        {{"oneword", "日本語", "/found/search", ""},
         {SiteOutcome::NotBuilt, TESSEL_E_ONE_WORD_SITE}},
        {{"english", "English", "/found/search"}, {SiteOutcome::Skipped}},
        {{"hang", "日本語", "/hang/search"}, {SiteOutcome::TimedOut}},
    };
    std::vector<Site> sites;
    Topic topic{"all", {}};
    for (const auto &c : cases) {
        sites.push_back(c.site);
        topic.members.push_back(c.site.name);
    }
    stage.open(sites, {topic}, [](Settings &s) { s.LimitTime = 3; });
    QVERIFY(!stage.form->Failures->isVisible());

    stage.search(QStringLiteral("日本 語"));
    Searching *window = stage.form->runWindows().searching();
    QCOMPARE(window->rowCount(), int(std::size(cases)));
    for (int row = 0; row < window->rowCount(); ++row)
        QCOMPARE(window->cell(row, 0) + QLatin1Char('|') + window->cell(row, 2),
                 window->cell(row, 0) + QLatin1Char('|') + OutcomeText(cases[row].outcome));
    // The end line is the run's own; the failures have their mark beside it.
    QVERIFY(stage.form->statusText().startsWith(QStringLiteral("終了しました。")));
    QToolButton *mark = stage.form->Failures;
    QVERIFY(mark->isVisible());
    QCOMPARE(mark->text(), QStringLiteral("9"));
    QVERIFY(mark->toolTip().startsWith(QStringLiteral("9件のサイト")));
    QVERIFY(!window->isVisible());
    // The window holds the end without being shown or refreshed: hits and outcome alike.
    QCOMPARE(window->cell(0, 1), QStringLiteral("5件が見つかりました。"));
    QCOMPARE(window->cell(1, 1), QString());
    QTest::mouseClick(mark, Qt::LeftButton);
    QTRY_VERIFY(window->isVisible());
    window->hide();

    stage.form->Do_SetTopic();
    QVERIFY(!mark->isVisible());
    RunCommand(*stage.form, 9);
    QTRY_VERIFY(window->isVisible());
    for (int row = 0; row < window->rowCount(); ++row)
        QCOMPARE(window->cell(row, 2), QString());
    window->hide();
}

// The bar counts the sites that have ended, not seconds; stopped, it stays where the sites
// had got to and says it was stopped.
void ProgressTest::barShowsTheShareOfSitesEnded()
{
    Stage stage;
    openThree(stage);
    stage.session.settings.ShowSearching = 1;
    stage.session.settings.LimitTime = 0;
    Searching *window = stage.form->runWindows().searching();
    const QString found = OutcomeText({SiteOutcome::Found});
    int firstEnded = -1;
    int secondEnded = -1;
    Stage::when([&] { return window->cell(0, 2) == found; },
                [&] { firstEnded = window->PGSearch->value(); });
    Stage::when([&] { return window->cell(1, 2) == found; },
                [&] {
                    secondEnded = window->PGSearch->value();
                    QTest::mouseClick(window->cmdExit, Qt::LeftButton);
                });
    stage.search(QStringLiteral("abc"));
    QCOMPARE(firstEnded, 33);
    QCOMPARE(secondEnded, 66);
    QCOMPARE(window->PGSearch->value(), 66);
    QCOMPARE(window->PGSearch->text(), QStringLiteral("中止しました。 66%"));

    // A run every site of which ends fills the bar, with no stop in its text.
    stage.farm.serve("/hang/search", testsupport::status(404));
    stage.search(QStringLiteral("abc"));
    QCOMPARE(window->PGSearch->value(), 100);
    QCOMPARE(window->PGSearch->text(), QStringLiteral("100%"));
    window->hide();
}

// With Searching in front, the program's keys still work: Ctrl+Q is the exit entry, and Esc
// stops the run (the window stays to show the stop); with no run Esc closes the window.
void ProgressTest::keysInTheProgressWindows()
{
    Stage stage;
    openThree(stage);
    stage.session.settings.ShowSearching = 1;
    stage.session.settings.LimitTime = 10;
    Searching *window = stage.form->runWindows().searching();
    auto *exit = stage.form->findChild<QAction *>(QStringLiteral("mExit"));
    QVERIFY(exit);
    exit->disconnect();
    QSignalSpy exits(exit, &QAction::triggered);
    bool shownAfterEsc = false;
    Stage::when([&] { return stage.session.run.HitCount == 10 && window->isVisible(); },
                [&] {
                    window->activateWindow();
                    Stage::when([&] { return window->isActiveWindow(); },
                                [&] {
                                    QTest::keyClick(window->Table, Qt::Key_Q, Qt::ControlModifier);
                                    QTest::keyClick(window->Table, Qt::Key_Escape);
                                    shownAfterEsc = window->isVisible();
                                });
                });
    stage.search(QStringLiteral("abc"));
    QCOMPARE(exits.count(), 1);
    QVERIFY(shownAfterEsc);
    QVERIFY2(stage.form->statusText().startsWith(QStringLiteral("中止しました。")),
             qPrintable(stage.form->statusText()));
    QCOMPARE(window->LBSearch->text(), QStringLiteral("中止しました。"));
    QTest::keyClick(window->Table, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(ProgressTest)
#include "progress_test.moc"
