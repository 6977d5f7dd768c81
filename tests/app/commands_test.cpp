// The command dispatcher as the menus and the toolbar reach it: every guarded command in every
// state of the window and of a run (idle, search running, check running, update, browse mode,
// no hits), judged by what it visibly does: requests reaching the fixture server, windows
// opening, the report written, the panes and modes switching.
#include "core/makerhost.h"
#include "core/progdir.h"
#include "help/helpwindow.h"
#include "help/productinfo.h"
#include "mainwindow/commands.h"
#include "mainwindow/msgform.h"
#include "mainwindow/report.h"
#include "runfixture.h"
#include "settings/startup.h"
#include "updatefarm.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QWebEngineHistory>
#include <QWebEngineView>

using namespace runfixture;
using testsupport::Fault;

namespace {

// The commands whose guards depend on the state.
// The search comes last: when it is carried out, it changes the state for the others.
const QList<int> kGuarded = {3, 4, 7, 8, 11, 12, 16, 18, 19, 22, 2};

// Runs the command and names what it did. Modal windows are closed as soon as they show
// (and named by their class); the report dialog is answered with a path in the sandbox.
class Observer {
public:
    explicit Observer(Stage &stage) : stage_(stage)
    {
        setReportDialog([this](QWidget *, const QString &, const QString &) {
            ++dialogs_;
            return QString::fromStdString((stage_.sandbox.path() / "saved").string());
        });
    }
    ~Observer() { setReportDialog({}); }

    QStringList effects(int command)
    {
        const int gets = countSearches();
        const int heads = countRequests("HEAD");
        const bool busy = stage_.session.run.busy();
        const int dialogs = dialogs_;
        const qsizetype boxes = msgbox::shown().size();
        const bool preview = stage_.form->PreviewShown;
        const bool browse = stage_.form->BrowseMode;
        const QString target = stage_.form->TargetURL;
        const int32_t stop = stage_.session.run.StopFlag;
        QFile::remove(dataPath(QStringLiteral("Current.htm")));
        modals_.clear();

        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [this] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                modals_ << QString::fromLatin1(dialog->metaObject()->className());
                dialog->reject();
            }
        });
        closer.start(10);
        RunCommand(*stage_.form, command);
        // A window shown modal without a loop of its own (the update window) is open now.
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            modals_ << QString::fromLatin1(dialog->metaObject()->className());
            dialog->reject();
        }
        // A run the command started is over before its effects are judged (a command given
        // during a run is judged at once: the run is still on).
        const bool settled = busy || stage_.settle();
        closer.stop();

        QStringList seen = modals_;
        if (!settled)
            seen << QStringLiteral("unfinished");
        // A search's GETs and a check's HEADs arrive from worker threads; they are logged
        // before the run that sent them ends.
        if (countSearches() > gets)
            seen << QStringLiteral("search");
        if (countRequests("HEAD") > heads)
            seen << QStringLiteral("check");
        if (dialogs_ > dialogs)
            seen << QStringLiteral("dialog");
        if (msgbox::shown().size() > boxes)
            seen << QStringLiteral("box");
        if (QFile::exists(dataPath(QStringLiteral("Current.htm"))))
            seen << QStringLiteral("report");
        if (stage_.form->PreviewShown != preview)
            seen << QStringLiteral("preview");
        if (stage_.form->BrowseMode != browse)
            seen << QStringLiteral("mode");
        if (stage_.form->TargetURL != target)
            seen << QStringLiteral("target");
        if (stage_.session.run.StopFlag == 1 && stop == 0)
            seen << QStringLiteral("stop");
        return seen;
    }

    // Each guarded command's effects, "-" for none.
    QStringList matrix()
    {
        QStringList rows;
        for (int command : kGuarded) {
            const QStringList seen = effects(command);
            rows << QString::number(command) + QLatin1Char(':') +
                        (seen.isEmpty() ? QStringLiteral("-") : seen.join(QLatin1Char(',')));
        }
        return rows;
    }

private:
    // Requests for result pages only: a browse pane may load the home address from the same
    // server whenever the event loop runs.
    int countSearches() const
    {
        int n = 0;
        for (const auto &r : stage_.farm.requests())
            n += r.method == "GET" && r.path.ends_with("/search");
        return n;
    }

    int countRequests(const char *method) const
    {
        int n = 0;
        for (const auto &r : stage_.farm.requests())
            n += r.method == method;
        return n;
    }

    Stage &stage_;
    int dialogs_ = 0;
    QStringList modals_;
};

// A topic of one site whose result page lists these links, and a search that lists them.
void openWithLinks(Stage &stage, const std::vector<std::string> &paths, bool stalledSite = false)
{
    std::vector<std::string> urls;
    for (const std::string &p : paths)
        urls.push_back(stage.farm.url(p));
    stage.farm.serve("/ok", testsupport::page("ok"));
    stage.farm.serve("/gone", testsupport::status(404));
    stage.farm.serve("/hang", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    stage.farm.serve("/links/search", testsupport::page(resultPage(urls)));
    stage.farm.serve("/stall/search", testsupport::page("").withFault(Fault::StallBeforeHeaders));
    std::vector<Site> sites = {{"links", "日本語", "/links/search"}};
    std::vector<std::string> members = {"links"};
    if (stalledSite) {
        sites.push_back({"stall", "日本語", "/stall/search"});
        members.push_back("stall");
    }
    stage.open(sites, {{"t", members}}, [&](Settings &s) {
        s.LimitLink = static_cast<int32_t>(urls.size());
        s.LimitTime = stalledSite ? 0 : 5;
        s.CheckWait = 0;
        // Browse mode opens the home address: keep it on the fixture server.
        s.HomeURL = QString::fromStdString(stage.farm.url("/ok"));
    });
}

// A maker's host for one test, made before the window so its menus take it.
struct MakerHostFor {
    explicit MakerHostFor(const QString &host) { SetMakerHost(host); }
    ~MakerHostFor() { SetMakerHost(QString()); }
};

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void idleSearchMode();
    void idleBrowseMode();
    void refusedWhileSearchRuns();
    void refusedWhileCheckRuns();
    void updateRunRefusesOnlyItsOwnKind();
    void stopInBrowseModeLeavesTheRun();
    void backAndForward();
    void stopEndsTheShownPanesLoading();
    void windowsOfOtherParts();
    void keysReachTheirCommands();
    void stopNoticeReadsAsText();
    void escapeStopsARun();
    void exitEndsProgram();
    void refusedCommandsSayWhy();
    void menusNameTheWindowKeys();
    void withoutMakerHostItsCommandsAreDisabled();
    void packagedProgramLeavesUpdatesToPackages();
};

// Search mode, no run: without hits only the windows, the preview pane and the search itself
// act; with hits the check, removal, save and view commands act too.
void CommandsTest::idleSearchMode()
{
    const MakerHostFor maker(QStringLiteral("127.0.0.1:1"));
    Stage stage;
    openWithLinks(stage, {"/ok", "/gone", "/ok"});
    Observer observer(stage);
    stage.form->Word->setText(QStringLiteral("abc"));
    // Without hits. 11 shows the preview pane, so 12 finds it shown and hides it again.
    QCOMPARE(observer.matrix(),
             QStringList({"3:-", "4:-", "7:-", "8:-", "11:preview", "12:preview", "16:Download",
                          "18:Setting", "19:Topics", "22:-", "2:search"}));
    // The search of command 2 left three hits.
    QCOMPARE(stage.session.run.HitCount, 3);
    QCOMPARE(observer.effects(3), QStringList{"check"});
    QCOMPARE(observer.effects(4), QStringList{"box"}); // one dead link gone, one repeat
    QCOMPARE(stage.session.run.HitCount, 1);
    QCOMPARE(observer.effects(7), QStringList{"dialog"});
    QCOMPARE(observer.effects(8), QStringList({"report", "target"}));
    QCOMPARE(stage.form->TargetURL, dataPath(QStringLiteral("Current.htm")));
    // The preview commands only act when the pane is in the other state.
    QCOMPARE(observer.effects(12), QStringList());
    QCOMPARE(observer.effects(11), QStringList{"preview"});
    QCOMPARE(observer.effects(11), QStringList());
    QVERIFY(stage.form->PreviewShown);
    // Closing the Topics window without a change to the current topic's sites leaves the
    // listed hits alone, without a question.
    QCOMPARE(observer.effects(19), QStringList{"Topics"});
    QCOMPARE(stage.session.run.HitCount, 1);
}

// Browse mode: no search, check or update; saving, removal, settings and topics as in search
// mode; home opens the home address; the preview pane commands do nothing.
void CommandsTest::idleBrowseMode()
{
    Stage stage;
    openWithLinks(stage, {"/ok", "/gone"});
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.HitCount, 2);
    Observer observer(stage);
    QCOMPARE(observer.effects(26), QStringList({"mode", "target"}));
    QVERIFY(stage.form->BrowseMode);
    stage.form->TargetURL.clear();
    QCOMPARE(observer.matrix(),
             QStringList({"3:-", "4:box", "7:dialog", "8:report,target", "11:-", "12:-", "16:-",
                          "18:Setting", "19:Topics", "22:target", "2:-"}));
    QCOMPARE(stage.form->TargetURL, stage.session.settings.HomeURL);
    QCOMPARE(observer.effects(26), QStringList{"mode"});
    QVERIFY(!stage.form->BrowseMode);
}

// Runs startRun and, once reached holds during that run, every guarded command and then the
// stop: a run that is busy refuses everything that would disturb it, while the preview pane
// still toggles and the stop ends the run.
static void expectRefusedDuringRun(Stage &stage, int32_t kind, std::function<bool()> reached,
                                   std::function<void()> startRun)
{
    Observer observer(stage);
    QStringList during;
    QStringList stop;
    int32_t state = -1;
    Stage::when(std::move(reached), [&] {
        state = stage.session.run.RunState;
        during = observer.matrix();
        stop = observer.effects(5);
    });
    startRun();
    QVERIFY(stage.settle());
    QCOMPARE(state, kind);
    QCOMPARE(during, QStringList({"3:-", "4:-", "7:-", "8:-", "11:preview", "12:preview", "16:-",
                                  "18:-", "19:-", "22:-", "2:-"}));
    QCOMPARE(stop, QStringList{"stop"});
    QCOMPARE(stage.session.run.RunState, kRunIdle);
}

void CommandsTest::refusedWhileSearchRuns()
{
    Stage stage;
    openWithLinks(stage, {"/ok", "/gone"}, true);
    expectRefusedDuringRun(
        stage, kRunSearch,
        [&] {
            return stage.session.run.HitCount == 2 && !stage.farm.requests("/stall/search").empty();
        },
        [&] { stage.search(QStringLiteral("abc")); });
    QCOMPARE(stage.form->statusText(), QStringLiteral("中止しました。検索結果のリンク数＝2"));
}

void CommandsTest::refusedWhileCheckRuns()
{
    Stage stage;
    openWithLinks(stage, {"/ok", "/hang"});
    stage.search(QStringLiteral("abc"));
    expectRefusedDuringRun(
        stage, kRunCheck,
        [&] {
            const RunController &run = stage.session.run;
            return run.RunState == kRunCheck && run.LinkState[run.HitOrder[0]] == 2 &&
                   !stage.farm.requests("/hang").empty();
        },
        [&stage] { RunCommand(*stage.form, 3); });
}

// An update run refuses a second update, a search and a check, but is not "busy": saving,
// removal, settings and topics stay available.
void CommandsTest::updateRunRefusesOnlyItsOwnKind()
{
    Stage stage;
    openWithLinks(stage, {"/ok", "/gone"});
    stage.search(QStringLiteral("abc"));
    Observer observer(stage);
    // The commands are given while the update run waits for a list that is slow to come.
    testsupport::UpdateFarm maker;
    maker.setListAnswer(testsupport::page("").withDelay(std::chrono::minutes(1)));
    SetMakerHost(QString::fromStdString(maker.host()));
    QVERIFY(stage.session.update.start());
    const QStringList seen = observer.matrix();
    stage.session.update.cancel();
    QVERIFY(!stage.session.update.busy());
    SetMakerHost(QString());
    QCOMPARE(seen, QStringList({"3:-", "4:box", "7:dialog", "8:report,target", "11:preview",
                                "12:preview", "16:-", "18:Setting", "19:Topics", "22:-", "2:-"}));
}

// In browse mode the stop command stops only the browse pane, even while a search runs; back
// in search mode it stops the run.
void CommandsTest::stopInBrowseModeLeavesTheRun()
{
    Stage stage;
    openWithLinks(stage, {"/ok"}, true);
    Observer observer(stage);
    QStringList inBrowse;
    QStringList inSearch;
    Stage::when([&stage] { return stage.session.run.HitCount == 1; },
                [&] {
                    RunCommand(*stage.form, 26);
                    inBrowse = observer.effects(5);
                    RunCommand(*stage.form, 26);
                    inSearch = observer.effects(5);
                });
    stage.search(QStringLiteral("abc"));
    QCOMPARE(inBrowse, QStringList());
    QCOMPARE(inSearch, QStringList{"stop"});
    QCOMPARE(stage.session.run.RunState, kRunIdle);
}

// Back and forward move the browse pane in browse mode, the preview pane in search mode while
// it is shown, and nothing otherwise; at either end of the history they change nothing.
void CommandsTest::backAndForward()
{
    Stage stage;
    openWithLinks(stage, {"/ok"});
    stage.farm.serve("/one", testsupport::page("<html><body>1</body></html>"));
    stage.farm.serve("/two", testsupport::page("<html><body>2</body></html>"));
    const QUrl one(QString::fromStdString(stage.farm.url("/one")));
    const QUrl two(QString::fromStdString(stage.farm.url("/two")));
    Form1 &form = *stage.form;
    auto open = [&](QWebEngineView *pane, const QUrl &url, int command) {
        QSignalSpy loaded(pane, &QWebEngineView::loadFinished);
        form.TargetURL = url.toString();
        RunCommand(*stage.form, command);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(pane->url(), url);
    };

    // Search mode, preview pane hidden: nothing moves, nothing fails.
    RunCommand(*stage.form, 20);
    RunCommand(*stage.form, 21);

    // The preview pane.
    open(form.Web2, one, 24);
    open(form.Web2, two, 24);
    QVERIFY(form.PreviewShown);
    RunCommand(*stage.form, 20);
    QTRY_COMPARE(form.Web2->url(), one);
    RunCommand(*stage.form, 20); // no earlier page
    RunCommand(*stage.form, 21);
    QTRY_COMPARE(form.Web2->url(), two);
    RunCommand(*stage.form, 20);
    QTRY_COMPARE(form.Web2->url(), one);
    RunCommand(*stage.form, 12);
    RunCommand(*stage.form, 21); // the hidden pane stays where it is

    // The browse pane (browse mode opens the home address first). Its home page takes longer
    // to load than a history step of the hidden pane takes to start, so by the time it has
    // loaded, a step the command wrongly sent would show.
    QSignalSpy home(form.Web, &QWebEngineView::loadFinished);
    RunCommand(*stage.form, 26);
    QVERIFY(home.wait(10000));
    QCOMPARE(form.Web2->url(), one);
    open(form.Web, one, 23);
    open(form.Web, two, 23);
    RunCommand(*stage.form, 20);
    QTRY_COMPARE(form.Web->url(), one);
    QCOMPARE(form.Web2->url(), one);
    RunCommand(*stage.form, 21);
    QTRY_COMPARE(form.Web->url(), two);
    QVERIFY(!form.Web->history()->canGoForward());
    RunCommand(*stage.form, 21); // no later page: nothing to go to, nothing fails
    QCOMPARE(form.Web->url(), two);
}

// Stop ends the loading of the pane in view: the browse pane in browse mode, the preview pane
// in search mode.
void CommandsTest::stopEndsTheShownPanesLoading()
{
    Stage stage;
    openWithLinks(stage, {"/ok"});
    const QString hang = QString::fromStdString(stage.farm.url("/hang"));
    Form1 &form = *stage.form;
    for (const bool browse : {false, true}) {
        if (browse) {
            QSignalSpy home(form.Web, &QWebEngineView::loadFinished);
            RunCommand(*stage.form, 26);
            QVERIFY(home.wait(10000));
        }
        QWebEngineView *pane = browse ? form.Web : form.Web2;
        QSignalSpy loaded(pane, &QWebEngineView::loadFinished);
        QSignalSpy started(pane, &QWebEngineView::loadStarted);
        const std::size_t asked = stage.farm.requests("/hang").size();
        form.TargetURL = hang;
        RunCommand(*stage.form, browse ? 23 : 24);
        QTRY_VERIFY(started.count() >= 1);
        // The page is asked for and its server holds it: only the stop can end its loading.
        QTRY_VERIFY(stage.farm.requests("/hang").size() > asked);
        QCOMPARE(loaded.count(), 0);
        RunCommand(*stage.form, 5);
        QTRY_COMPARE(loaded.count(), 1);
        QCOMPARE(loaded.at(0).at(0).toBool(), false);
    }
}

// Help and the product information show without blocking; the maker's pages go to the
// desktop's browser; the message form to the maker is modal.
void CommandsTest::windowsOfOtherParts()
{
    const MakerHostFor maker(QStringLiteral("127.0.0.1:1"));
    Stage stage;
    openWithLinks(stage, {"/ok"});
    Observer observer(stage);

    // Product information names the program, its version and the libraries this process
    // runs on; OK closes it.
    QCOMPARE(observer.effects(17), QStringList());
    QPointer<ProductInfo> info = stage.form->findChild<ProductInfo *>();
    QVERIFY(info && info->isVisible());
    QCOMPARE(info->LBName->text(), QStringLiteral("Velmora"));
    QVERIFY(QRegularExpression(QStringLiteral("^バージョン \\d+\\.\\d+"))
                .match(info->LBVersion->text())
                .hasMatch());
    const QString libraries = info->LBLibraries->text();
    QVERIFY2(
        libraries.contains(QStringLiteral("Qt ") + QLatin1String(qVersion())) &&
            QRegularExpression(QStringLiteral("libcurl \\d+\\.\\d+")).match(libraries).hasMatch(),
        qPrintable(libraries));
    QVERIFY(info->LBMaker->text().contains(MakerUrl("/")));
    QTest::mouseClick(info->cmdOK, Qt::LeftButton);
    QTRY_VERIFY(!info);

    QCOMPARE(observer.effects(13), QStringList());
    auto *help = stage.form->findChild<Help *>();
    QVERIFY(help && help->isVisible());
    help->close();

    QCOMPARE(observer.effects(15), QStringList{"target"});
    QCOMPARE(stage.form->TargetURL, MakerUrl(kSupportPagePath));
    QVERIFY(stage.form->TargetURL.endsWith(QLatin1String("/halvane/velmora/support/support.htm")));
    auto *news = stage.form->findChild<QAction *>(QStringLiteral("mNews"));
    QVERIFY(news);
    news->trigger();
    QCOMPARE(stage.form->TargetURL, MakerUrl(kNewsPagePath));

    QString shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            shown = QString::fromLatin1(dialog->metaObject()->className());
            dialog->reject();
        }
    });
    closer.start(10);
    stage.form->findChild<QAction *>(QStringLiteral("mToHalvane"))->trigger();
    QCOMPARE(shown, QStringLiteral("ToHalvane"));
}

// Exit ends the program the orderly way: the settings and the topics are written.
// Ctrl+S saves, F5 searches again, F1 opens the help, Ctrl+L goes to the address box in browse mode
// only, Ctrl+Q is the exit entry (the end itself is the next test's).
void CommandsTest::keysReachTheirCommands()
{
    Stage stage;
    openWithLinks(stage, {"/ok"});
    stage.search(QStringLiteral("abc"));
    Form1 *form = stage.form.get();
    QVERIFY(QTest::qWaitForWindowActive(form));
    int dialogs = 0;
    setReportDialog([&dialogs](QWidget *, const QString &, const QString &) {
        ++dialogs;
        return QString();
    });
    QTest::keyClick(form->Word, Qt::Key_S, Qt::ControlModifier);
    setReportDialog({});
    QCOMPARE(dialogs, 1);

    // F5 searches again with the same keywords.
    const size_t searches = stage.farm.requests("/links/search").size();
    QTest::keyClick(form->LView, Qt::Key_F5);
    QTRY_VERIFY(stage.farm.requests("/links/search").size() > searches);
    QTRY_COMPARE(form->Search->text(), QStringLiteral("検索開始"));
    QTRY_COMPARE(form->listCount(), 1);

    QTest::keyClick(form->LView, Qt::Key_F1);
    auto *help = form->findChild<Help *>();
    QVERIFY(help && help->isVisible());
    help->close();
    QVERIFY(QTest::qWaitForWindowActive(form));

    form->Word->setFocus();
    QTest::keyClick(form->Word, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(form->Word->hasFocus());
    RunCommand(*stage.form, 26);
    form->URL->setText(QStringLiteral("http://127.0.0.1/typed"));
    form->TView->setFocus();
    QTest::keyClick(form->TView, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(form->URL->hasFocus());
    QTRY_COMPARE(form->URL->selectedText(), form->URL->text());

    auto *exit = form->findChild<QAction *>(QStringLiteral("mExit"));
    exit->disconnect();
    QSignalSpy exits(exit, &QAction::triggered);
    QTest::keyClick(form->TView, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(exits.count(), 1);
    QVERIFY(!stage.session.ended);
}

// The stop notice shows its message as text on the window, not in an editable-looking box.
void CommandsTest::stopNoticeReadsAsText()
{
    Session session;
    Form1 form(session);
    MsgForm *notice = form.msgForm();
    QLineEdit *msg = notice->msg;
    QVERIFY(msg->isReadOnly());
    QVERIFY(!msg->hasFrame());
    QCOMPARE(msg->palette().color(QPalette::Base), notice->palette().color(QPalette::Window));
    QCOMPARE(msg->cursor().shape(), Qt::ArrowCursor);
}

// Esc stops a running search, in browse mode too; with no run on it does nothing. Back on the
// search face the status line tells how the run ended, not which page was shown.
void CommandsTest::escapeStopsARun()
{
    Stage stage;
    openWithLinks(stage, {"/ok"}, true);
    Form1 *form = stage.form.get();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTest::keyClick(form->LView, Qt::Key_Escape);
    QVERIFY(!stage.session.run.busy());
    Stage::when([&stage] { return stage.session.run.HitCount == 1; },
                [&] {
                    RunCommand(*stage.form, 26);
                    QTest::keyClick(form->TView, Qt::Key_Escape);
                });
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.RunState, kRunIdle);
    RunCommand(*stage.form, 26);
    QVERIFY2(form->statusText().startsWith(QStringLiteral("中止しました。")),
             qPrintable(form->statusText()));
}

void CommandsTest::exitEndsProgram()
{
    Stage stage;
    openWithLinks(stage, {"/ok"});
    QVERIFY(!stage.session.ended);
    RunCommand(*stage.form, 6);
    QVERIFY(stage.session.ended);
    QVERIFY(!stage.sandbox.read("STARTUP.DAT").empty());
    QVERIFY(!stage.sandbox.read("TOPICS.DAT").empty());
}

// A command that can't act in the present state says why on the status line, and does
// nothing else; once the state allows it, it acts and the reason is gone.
void CommandsTest::refusedCommandsSayWhy()
{
    Stage stage;
    openWithLinks(stage, {"/ok"});
    Observer observer(stage);
    Form1 *form = stage.form.get();
    form->setStatusText(QStringLiteral("前の表示"));
    struct Case {
        int command;
        const char *says;
    };
    // No hits, search face, empty keyword box, preview pane hidden.
    const Case refused[] = {
        {2, "キーワードを入力"},     {3, "検索結果がありません"}, {7, "検索結果がありません"},
        {8, "検索結果がありません"}, {20, "閲覧モード"},          {21, "閲覧モード"},
        {22, "閲覧モード"},
    };
    for (const Case &c : refused) {
        form->showPageStatus(QString());
        QCOMPARE(observer.effects(c.command), QStringList());
        QVERIFY2(form->statusText().contains(QString::fromUtf8(c.says)),
                 qPrintable(QString::number(c.command) + ": " + form->statusText()));
    }
    // The keyword box's Enter and the search button answer as the search command does.
    form->Word->setText(QStringLiteral("　 "));
    form->showPageStatus(QString());
    QTest::keyClick(form->Word, Qt::Key_Return);
    QVERIFY(form->statusText().contains(QStringLiteral("キーワードを入力")));
    form->showPageStatus(QString());
    form->Search->click();
    QVERIFY(form->statusText().contains(QStringLiteral("キーワードを入力")));
    QVERIFY(!stage.session.run.busy());
    // The search face keeps its own text for its return from browse mode.
    RunCommand(*form, 26);
    RunCommand(*form, 26);
    QCOMPARE(form->statusText(), QStringLiteral("前の表示"));

    form->Word->setText(QStringLiteral("abc"));
    QCOMPARE(observer.effects(2), QStringList{"search"});
    QVERIFY(WhyNot(*form, 7).isEmpty());
    QCOMPARE(observer.effects(7), QStringList{"dialog"});
    // In browse mode the search and the check are refused for the mode, home acts.
    RunCommand(*form, 26);
    for (int command : {2, 3})
        QVERIFY2(WhyNot(*form, command).contains(QStringLiteral("モード")),
                 qPrintable(QString::number(command)));
    QVERIFY(WhyNot(*form, 22).isEmpty());
    QVERIFY(WhyNot(*form, 20).isEmpty());
}

// The keys of the window stand beside their menu entries; a key shown only in the menu does
// not take the key from the window (F5 and Esc keep working as keysReachTheirCommands and
// escapeStopsARun show), and the address entry says why on the search face.
void CommandsTest::menusNameTheWindowKeys()
{
    Stage stage;
    openWithLinks(stage, {"/ok"});
    Form1 *form = stage.form.get();
    const std::pair<const char *, QKeySequence> keys[] = {
        {"mSearch", QKeySequence(Qt::Key_F5)},
        {"mAbort", QKeySequence(Qt::Key_Escape)},
        {"mAddress", QKeySequence(Qt::CTRL | Qt::Key_L)},
    };
    for (const auto &[name, key] : keys) {
        auto *entry = form->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(entry && entry->shortcut() == key, name);
    }
    form->findChild<QAction *>(QStringLiteral("mAddress"))->trigger();
    QVERIFY(form->statusText().contains(QStringLiteral("閲覧モード")));
}

QTEST_MAIN(CommandsTest)
// No maker's host: the entries that would reach it are disabled with a tool tip saying why,
// and the commands do nothing (no window, no address opened).
void CommandsTest::withoutMakerHostItsCommandsAreDisabled()
{
    Stage stage;
    openWithLinks(stage, {"/ok"});
    QVERIFY(MakerHost().isEmpty());
    for (const char *name : {"mSupport", "mNews", "mUpdate"}) {
        auto *action = stage.form->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(action && !action->isEnabled(), name);
        QVERIFY2(action->toolTip().contains(QStringLiteral("アドレスが設定されていない")), name);
    }
    QVERIFY(stage.form->findChild<QAction *>(QStringLiteral("mToHalvane"))->isEnabled());
    Observer observer(stage);
    QCOMPARE(observer.effects(15), QStringList());
    QCOMPARE(observer.effects(16), QStringList());
}

// An installation from the system's package (its data folder holds the marker) says where
// updates come from and asks no server, even with a maker's host set.
void CommandsTest::packagedProgramLeavesUpdatesToPackages()
{
    testsupport::UpdateFarm maker;
    const MakerHostFor host(QString::fromStdString(maker.host()));
    Stage stage;
    openWithLinks(stage, {"/ok"});
    QFile marker(dataPath(QStringLiteral("packaged")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    Observer observer(stage);
    QCOMPARE(observer.effects(16), QStringList{"box"});
    QCOMPARE(msgbox::shown().last().text, PackagedUpdateText());
    QVERIFY(PackagedUpdateText().contains(QStringLiteral("パッケージマネージャー")));
    QCOMPARE(maker.listRequests(), std::size_t(0));
    QVERIFY(marker.remove());
}

#include "commands_test.moc"
