// The main window's history: every search stored off the window's thread, a stored run shown
// again offline, a watch marking what is new, and the history window's lists and search.
#include "common/commandline.h"
#include "core/sessionbus.h"
#include "history/historylink.h"
#include "history/historywindow.h"
#include "history/historywriter.h"
#include "history/windowrequests.h"
#include "notifyfixture.h"
#include "runfixture.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QSignalSpy>

using namespace runfixture;

namespace {

std::vector<std::string> links(const testsupport::SiteFarm &farm, std::initializer_list<int> ids)
{
    std::vector<std::string> urls;
    for (int id : ids)
        urls.push_back(farm.url("/page/" + std::to_string(id)));
    return urls;
}

// The stage with one site on the farm, its history in the sandbox.
struct HistoryStage : Stage {
    HistoryLink *link = nullptr;

    void openOn(std::initializer_list<int> ids)
    {
        serve(ids);
        open({{"alpha", "日本語", "/alpha/search"}}, {{"テーマ", {"alpha"}}});
        link = form->history;
        link->setPath(QString::fromStdString((sandbox.path() / "history.sqlite3").string()));
    }
    void serve(std::initializer_list<int> ids)
    {
        farm.serve("/alpha/search", testsupport::page(resultPage(links(farm, ids))));
    }
    // Searches and waits for the run to be stored; its id.
    qint64 searchStored(const QString &words)
    {
        QSignalSpy spy(link, &HistoryLink::runStored);
        search(words);
        // The answer may have come while the search was being waited for.
        if (!QTest::qWaitFor([&spy] { return !spy.isEmpty(); }, 20000))
            return 0;
        return spy.takeFirst().at(0).toLongLong();
    }
};

} // namespace

class Form1HistoryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { msgbox::clearShown(); }

    void everySearchIsStoredAndShownAgainOffline()
    {
        HistoryStage stage;
        stage.openOn({1, 2, 3});
        const qint64 first = stage.searchStored(QStringLiteral("東京 天気"));
        QVERIFY(first != 0);
        stage.serve({4});
        QVERIFY(stage.searchStored(QStringLiteral("大阪")) != 0);

        HistoryWindow *window = stage.link->window();
        window->refresh();
        QCOMPARE(window->runs.rowCount(), 2);
        // Newest first, with its keywords, hits and failures.
        QCOMPARE(window->runs.index(0, 2).data().toString(), QStringLiteral("大阪"));
        QCOMPARE(window->runs.index(1, 2).data().toString(), QStringLiteral("東京 天気"));
        QCOMPARE(window->runs.index(1, 3).data().toInt(), 3);
        QCOMPARE(window->runs.index(1, 4).data().toInt(), 0);

        // Shown again with the server gone: nothing is asked of the network.
        const size_t asked = stage.farm.requests("/alpha/search").size();
        QVERIFY(stage.link->showRun(first));
        QCOMPARE(stage.farm.requests("/alpha/search").size(), asked);
        QCOMPARE(stage.column(1), QStringList({QString::fromStdString(stage.farm.url("/page/1")),
                                               QString::fromStdString(stage.farm.url("/page/2")),
                                               QString::fromStdString(stage.farm.url("/page/3"))}));
        // The library holds other hits: the run's commands must find none of these to act on.
        QCOMPARE(stage.session.run.HitCount, 0);

        // The search box reads the stored hits; a deleted run is gone from the list.
        window->Find->setText(QStringLiteral("page/2"));
        window->refresh();
        QCOMPARE(window->matches.rowCount(), 1);
        QCOMPARE(window->matches.index(0, 3).data().toString(),
                 QString::fromStdString(stage.farm.url("/page/2")));
        window->Find->clear();
        window->refresh();
        window->Runs->setCurrentIndex(window->runs.index(0, 0));
        window->cmdDelete->click();
        QCOMPARE(window->runs.rowCount(), 1);

        // A run of a topic this window doesn't have is not searched again under another.
        HistoryRun foreign;
        foreign.time = QDateTime::currentDateTime();
        foreign.topic = QStringLiteral("ないテーマ");
        foreign.keywords = QStringLiteral("京都");
        const auto stored = stage.link->reader()->storeRun(foreign);
        QVERIFY(stored);
        QVERIFY(!stage.link->rerun(stored->run));
        QCOMPARE(stage.farm.requests("/alpha/search").size(), asked);
    }

    void aHistoryThatCantBeWrittenNeverFailsTheSearch()
    {
        HistoryStage stage;
        stage.openOn({1, 2});
        // The file's folder would have to be made inside a plain file.
        stage.sandbox.write("plain", "x");
        stage.link->setPath(
            QString::fromStdString((stage.sandbox.path() / "plain" / "history.sqlite3").string()));
        QSignalSpy spy(stage.link, &HistoryLink::runStored);
        stage.search(QStringLiteral("東京"));
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty(), 20000);
        QCOMPARE(spy.at(0).at(0).toLongLong(), qint64(0));
        QCOMPARE(stage.form->hits().rowCount(), 2);
        QVERIFY(stage.form->statusText().startsWith(QStringLiteral("履歴：")));
        QVERIFY(msgbox::shown().isEmpty());
    }

    void historyOffStoresNothing()
    {
        HistoryStage stage;
        stage.openOn({1});
        stage.session.settings.History = 0;
        stage.search(QStringLiteral("東京"));
        QVERIFY(stage.link->reader());
        QCOMPARE(stage.link->reader()->runs()->size(), size_t(0));
    }

    void aWatchMarksOnlyTheHitsItNeverHad()
    {
        HistoryStage stage;
        stage.openOn({1, 2});
        QVERIFY(stage.searchStored(QStringLiteral("東京")) != 0);
        stage.link->askWatchName = [] { return QStringLiteral("東京の記事"); };
        QSignalSpy made(stage.link, &HistoryLink::runStored);
        stage.link->watchCurrent();
        QVERIFY(made.wait(20000));
        QCOMPARE(stage.link->reader()->watches()->size(), size_t(1));
        // The search shown is now the watch's first run, in place of the plain one.
        QCOMPARE(stage.link->shownRun(), made.at(0).at(0).toLongLong());
        QCOMPARE(stage.link->reader()->runs()->size(), size_t(1));

        stage.serve({1, 2, 3});
        QSignalSpy again(stage.link, &HistoryLink::runStored);
        QVERIFY(stage.link->rerun(made.at(0).at(0).toLongLong()));
        QVERIFY(stage.settle());
        QTRY_VERIFY_WITH_TIMEOUT(!again.isEmpty(), 20000);
        QStringList marked;
        const QAbstractItemModel *rows = stage.form->LView->model();
        for (int r = 0; r < rows->rowCount(); ++r)
            if (rows->index(r, 0).data(HitListModel::NewRole).toBool())
                marked << rows->index(r, 1).data().toString();
        QCOMPARE(marked, QStringList{QString::fromStdString(stage.farm.url("/page/3"))});
        QVERIFY(rows->index(2, 0).data().toString().startsWith(QStringLiteral("【新着】")));

        // 新着のみ hides the rest; off again shows everything.
        stage.link->setNewOnly(true);
        QVERIFY(stage.form->LView->isRowHidden(0, {}));
        QVERIFY(!stage.form->LView->isRowHidden(2, {}));
        stage.link->setNewOnly(false);
        QVERIFY(!stage.form->LView->isRowHidden(0, {}));

        // The watch's notification opens the window on the run it told of, or on the watch's
        // latest when that run is gone; the latest again with its marks.
        const qint64 first = made.at(0).at(0).toLongLong();
        const qint64 latest = again.at(0).at(0).toLongLong();
        const QString name = QStringLiteral("東京の記事");
        QVERIFY(stage.link->openAsked(name, first));
        QCOMPARE(stage.link->shownRun(), first);
        // A number freed by a deleted run may be another search's by now.
        HistoryRun other;
        other.time = QDateTime::currentDateTime();
        other.keywords = QStringLiteral("ほかの検索");
        const auto otherStored = stage.link->reader()->storeRun(other);
        QVERIFY(otherStored);
        QVERIFY(stage.link->openAsked(name, otherStored->run));
        QCOMPARE(stage.link->shownRun(), latest);
        QVERIFY(rows->index(2, 0).data(HitListModel::NewRole).toBool());
        QVERIFY(!stage.link->openAsked(QStringLiteral("ない"), 0));
        QCOMPARE(stage.form->statusText(), QStringLiteral("監視「ない」がありません。"));

        // A later click comes over the session bus to the window already open; a second window
        // waits in line for the name and takes it once the first is closed.
        notifyfixture::NotificationBus bus;
        QVERIFY(bus.start());
        auto *requests = new WindowRequests(*stage.form);
        QVERIFY(requests->listen(bus.connection(QStringLiteral("window"))));
        QDBusConnection second = bus.connection(QStringLiteral("other"));
        QVERIFY(!(new WindowRequests(*stage.form))->listen(second));
        QDBusMessage open = QDBusMessage::createMethodCall(
            QString::fromLatin1(kWindowService), QString::fromLatin1(kWindowPath),
            QString::fromLatin1(kWindowInterface), QStringLiteral("OpenRun"));
        bus.connection(QStringLiteral("client")).asyncCall(open << name << first);
        QTRY_COMPARE_WITH_TIMEOUT(stage.link->shownRun(), first, 10000);
        bus.connection(QStringLiteral("window"))
            .unregisterService(QString::fromLatin1(kWindowService));
        QTRY_COMPARE_WITH_TIMEOUT(bus.connection(QStringLiteral("client"))
                                      .interface()
                                      ->serviceOwner(QString::fromLatin1(kWindowService))
                                      .value(),
                                  second.baseService(), 10000);
        // Not while a dialog the window waits on is open: it reads the list once closed.
        QDialog dialog(stage.form.get());
        dialog.setModal(true);
        dialog.show();
        QVERIFY(!requests->OpenRun(name, latest));
        QCOMPARE(stage.link->shownRun(), first);
        dialog.close();

        // 監視をやめる: the watch goes, its runs stay.
        QVERIFY(stage.link->unwatch(name));
        QCOMPARE(stage.link->reader()->watches()->size(), size_t(0));
        QCOMPARE(stage.link->reader()->runs()->size(), size_t(3));
        QCOMPARE(stage.link->shownWatch(), qint64(0));
    }

    void theWindowsCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("watch");
        QTest::addColumn<qint64>("run");
        QTest::newRow("nothing") << QStringList() << true << "" << qint64(0);
        QTest::newRow("the toolkit's own")
            << QStringList{"-platform", "offscreen"} << true << "" << qint64(0);
        QTest::newRow("a watch and its run") << QStringList{"--watch", "東京 の記事", "--run=12"}
                                             << true << "東京 の記事" << qint64(12);
        QTest::newRow("help") << QStringList{"--watch", "a", "-h"} << false << "" << qint64(0);
        QTest::newRow("no name") << QStringList{"--watch"} << false << "" << qint64(0);
        QTest::newRow("no number") << QStringList{"--run", "x"} << false << "" << qint64(0);
        QTest::newRow("unknown") << QStringList{"--wach", "a"} << false << "" << qint64(0);
    }

    void theWindowsCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, window);
        QFETCH(QString, watch);
        QFETCH(qint64, run);
        std::vector<QByteArray> bytes{"velmora"};
        for (const QString &a : arguments)
            bytes.push_back(a.toLocal8Bit());
        std::vector<const char *> argv;
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        const auto request = WindowRequestOf(int(argv.size()), argv.data());
        QCOMPARE(bool(request), window);
        if (request) {
            QCOMPARE(request->watch, watch);
            QCOMPARE(request->run, run);
        }
    }

    void aDeadLinkOfAWatchOpensTheArchiveOnlyWhenAsked()
    {
        QCOMPARE(ArchiveUrl(QStringLiteral("http://a.test/x?q=1")).toString(),
                 QStringLiteral("https://web.archive.org/web/*/http://a.test/x?q=1"));
        HistoryStage stage;
        stage.openOn({1});
        QVERIFY(stage.searchStored(QStringLiteral("東京")) != 0);
        QList<QUrl> opened;
        stage.link->openExternal = [&opened](const QUrl &url) {
            opened << url;
            return true;
        };
        stage.link->askWatchName = [] { return QStringLiteral("w"); };
        QSignalSpy made(stage.link, &HistoryLink::runStored);
        stage.link->watchCurrent();
        QVERIFY(made.wait(20000));
        stage.form->hits().setLinkState(0, kHitNotFound);
        stage.form->LView->setCurrentIndex(stage.form->LView->model()->index(0, 0));
        auto *archive = stage.form->mRClick->findChild<QAction *>(QStringLiteral("mArchive"));
        QVERIFY(archive);
        QVERIFY(opened.isEmpty());
        Q_EMIT stage.form->mRClick->aboutToShow();
        QVERIFY(archive->isVisible());
        archive->trigger();
        QCOMPARE(opened,
                 QList<QUrl>{ArchiveUrl(QString::fromStdString(stage.farm.url("/page/1")))});
    }

    void clearingAsksWithNoAsTheDefault()
    {
        HistoryStage stage;
        stage.openOn({1});
        QVERIFY(stage.searchStored(QStringLiteral("東京")) != 0);
        msgbox::clearShown();
        stage.link->clearHistory(); // the test's boxes answer No
        QCOMPARE(msgbox::shown().size(), qsizetype(1));
        QCOMPARE(msgbox::shown().at(0).defaultButton, QMessageBox::No);
        QCOMPARE(stage.link->reader()->runs()->size(), size_t(1));
        msgbox::setNextAnswer(QMessageBox::Yes);
        QSignalSpy cleared(stage.link->writer(), &HistoryWriter::cleared);
        stage.link->clearHistory();
        // Emitted on the writer's thread: it may come before a wait would begin.
        QTRY_VERIFY_WITH_TIMEOUT(!cleared.isEmpty(), 20000);
        QCOMPARE(stage.link->reader()->runs()->size(), size_t(0));
    }
};

QTEST_MAIN(Form1HistoryTest)
#include "form1_history_test.moc"
