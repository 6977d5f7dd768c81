// The history store: runs, search, watches, and the file surviving damage, rivals and kills.
#include "core/historystore.h"
#include "sandbox.h"

#include <QtTest>

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace {

const QDateTime kStart = QDateTime::fromSecsSinceEpoch(1700000000);

HistoryHit hit(int rank, const QString &title, const QString &url, const QString &preview = {})
{
    HistoryHit h;
    h.rank = rank;
    h.title = title;
    h.url = url;
    h.preview = preview;
    h.site = QStringLiteral("site%1").arg(rank % 3);
    return h;
}

// A run at kStart + minute with hits "word i" at https://h.test/word/i.
HistoryRun run(const QString &word, int hits, int minute = 0, qint64 watch = 0)
{
    HistoryRun r;
    r.time = kStart.addSecs(60 * minute);
    r.keywords = word;
    r.topic = QStringLiteral("話題");
    r.watch = watch;
    for (int i = 1; i <= hits; ++i)
        r.hits.push_back(hit(i, word + QStringLiteral(" %1").arg(i),
                             QStringLiteral("https://h.test/%1/%2").arg(word).arg(i)));
    return r;
}

QStringList keywordsOf(HistoryStore &store)
{
    QStringList list;
    const auto runs = store.runs();
    for (const HistoryRunSummary &s : runs.value())
        list << s.keywords;
    return list;
}

QStringList urlsFound(HistoryStore &store, const QString &text)
{
    QStringList urls;
    const auto matches = store.search(text);
    for (const HistoryMatch &m : matches.value())
        urls << m.hit.url;
    return urls;
}

// What SQLite itself says of the file: "ok" when both the file and the full-text index are
// sound and every run has exactly the hits it was stored with.
QString soundness(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QString said = QStringLiteral("unreadable");
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    if (sqlite3_step(stmt) == SQLITE_ROW)
        said = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    if (said == QLatin1String("ok") &&
        sqlite3_exec(db, "INSERT INTO hits_text(hits_text) VALUES('integrity-check')", nullptr,
                     nullptr, nullptr) != SQLITE_OK)
        said = QStringLiteral("index: ") + QString::fromUtf8(sqlite3_errmsg(db));
    // The index's check doesn't compare it with the texts: count what it holds.
    sqlite3_prepare_v2(db,
                       "SELECT (SELECT count(*) FROM runs r WHERE hit_count != "
                       "(SELECT count(*) FROM hits WHERE run = r.id)), "
                       "(SELECT count(*) FROM hits_text_docsize) - (SELECT count(*) FROM hits)",
                       -1, &stmt, nullptr);
    if (said == QLatin1String("ok") && sqlite3_step(stmt) == SQLITE_ROW)
        if (sqlite3_column_int(stmt, 0) || sqlite3_column_int(stmt, 1))
            said = QStringLiteral("incomplete runs: %1, index entries less hits: %2")
                       .arg(sqlite3_column_int(stmt, 0))
                       .arg(sqlite3_column_int(stmt, 1));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return said;
}

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::Sandbox> sandbox;
    QString path;

private Q_SLOTS:
    void init()
    {
        sandbox = std::make_unique<testsupport::Sandbox>();
        path = QString::fromStdString((sandbox->path() / "data/history.sqlite3").string());
    }
    void cleanup() { sandbox.reset(); }

    void storesARunWholeAndListsRunsNewestFirst()
    {
        HistoryStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.notice().isEmpty());
        HistoryRun later = run(QStringLiteral("later"), 2, 5);
        later.sites = QStringList{QStringLiteral("甲"), QStringLiteral("乙")};
        later.orMode = true;
        later.outcomes = {{QStringLiteral("甲"), 1, 0, QStringLiteral("見つかりました"), false},
                          {QStringLiteral("乙"), 8, 404, QStringLiteral("HTTPエラー 404"), true}};
        later.hits[1].date = QStringLiteral("2024/01/02");
        later.hits[1].size = QStringLiteral("12KB");
        later.hits[1].score = QStringLiteral("98%");
        later.hits[1].linkState = 2;
        later.hits[1].key = QStringLiteral("h.test/later/2");
        const qint64 id = store.storeRun(later).value().run;
        store.storeRun(run(QStringLiteral("earlier"), 1, 0)).value();

        QCOMPARE(keywordsOf(store), (QStringList{"later", "earlier"}));
        const HistoryRunSummary line = store.runs().value().front();
        QCOMPARE(line.time, later.time);
        QCOMPARE(line.hits, 2);
        QCOMPARE(line.failures, 1);

        QVERIFY(store.setLinkState(id, 1, 3));
        const HistoryRun back = store.loadRun(id).value();
        QCOMPARE(back.sites, later.sites);
        QVERIFY(back.orMode);
        QCOMPARE(back.outcomes[1].code, 404);
        QCOMPARE(back.outcomes[1].text, later.outcomes[1].text);
        QCOMPARE(back.hits.size(), size_t(2));
        QCOMPARE(back.hits[0].linkState, 3);
        const HistoryHit &h = back.hits[1];
        QCOMPARE((QStringList{h.title, h.url, h.date, h.size, h.score, h.site, h.key}),
                 (QStringList{"later 2", "https://h.test/later/2", "2024/01/02", "12KB", "98%",
                              "site2", "h.test/later/2"}));
        QCOMPARE(h.linkState, 2);
        QVERIFY(!store.loadRun(id + 100));
        QVERIFY(store.notice().isEmpty());
    }

    void dropsTheEarliestRunsBeyondTheBound()
    {
        HistoryStore store;
        QVERIFY(store.open(path));
        store.setMaxRuns(3);
        for (int i = 1; i <= 5; ++i)
            QVERIFY(store.storeRun(run(QStringLiteral("run%1").arg(i), 2, i)));
        QCOMPARE(keywordsOf(store), (QStringList{"run5", "run4", "run3"}));
        QVERIFY(urlsFound(store, QStringLiteral("run1")).isEmpty());

        // A bound on the texts too (a kilobyte of preview a run here): the earliest runs
        // leave, and the newest stays however large.
        store.setMaxRuns(100);
        store.setMaxBytes(2500);
        for (int i = 6; i <= 8; ++i) {
            HistoryRun large = run(QStringLiteral("run%1").arg(i), 1, i);
            large.hits[0].preview = QString(1000, u'x');
            QVERIFY(store.storeRun(large));
        }
        QCOMPARE(keywordsOf(store), (QStringList{"run8", "run7"}));
        store.setMaxBytes(1);
        QVERIFY(store.storeRun(run(QStringLiteral("run9"), 1, 9)));
        QCOMPARE(keywordsOf(store), (QStringList{"run9"}));
    }

    void deletesOneRunOrClearsAllButKeepsTheWatches()
    {
        HistoryStore store;
        QVERIFY(store.open(path));
        const qint64 watch = store.createWatch({0, "w", "話題", {}, "kw", false, {}, {}}).value();
        const qint64 first = store.storeRun(run(QStringLiteral("alpha"), 3, 1)).value().run;
        store.storeRun(run(QStringLiteral("beta"), 3, 2, watch)).value();
        QVERIFY(store.deleteRun(first));
        QCOMPARE(keywordsOf(store), QStringList{"beta"});
        QVERIFY(urlsFound(store, QStringLiteral("alpha")).isEmpty());

        QVERIFY(store.clear());
        QVERIFY(keywordsOf(store).isEmpty());
        QVERIFY(urlsFound(store, QStringLiteral("beta")).isEmpty());
        QCOMPARE(store.watches().value().size(), size_t(1));
        const HistoryStored again =
            store.storeRun(run(QStringLiteral("beta"), 3, 3, watch)).value();
        QCOMPARE(again.fresh.size(), size_t(3));
        QVERIFY(store.deleteRun(again.run)); // the index follows deletions again
        QCOMPARE(soundness(path), QStringLiteral("ok"));
    }

    void searchFindsWordsOfAnyLengthInTitlesUrlsAndPreviews_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        const QString tokyo = QStringLiteral("https://weather.example.jp/tokyo");
        const QString osaka = QStringLiteral("https://osaka.example.jp/kanko");
        QTest::newRow("two-character Japanese") << "天気" << QStringList{tokyo};
        QTest::newRow("long Japanese") << "天気予報" << QStringList{tokyo};
        QTest::newRow("one character") << "の" << QStringList{osaka, tokyo};
        QTest::newRow("two characters ending a text") << "案内" << QStringList{osaka};
        QTest::newRow("two letters, any case") << "OS" << QStringList{osaka};
        QTest::newRow("in the URL, any case") << "WEATHER" << QStringList{tokyo};
        QTest::newRow("in the preview") << "晴れ" << QStringList{tokyo};
        QTest::newRow("% is a character") << "%" << QStringList{tokyo};
        QTest::newRow("_ is a character") << "_" << QStringList{osaka};
        QTest::newRow("every word, short ones") << "大阪 観光" << QStringList{osaka};
        QTest::newRow("every word, mixed") << "観光案内 大阪" << QStringList{osaka};
        QTest::newRow("words on different hits") << "天気 大阪" << QStringList{};
        QTest::newRow("query syntax is text") << "\"東京 OR" << QStringList{};
        QTest::newRow("nothing") << "  " << QStringList{};
    }
    void searchFindsWordsOfAnyLengthInTitlesUrlsAndPreviews()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        HistoryStore store;
        QVERIFY(store.open(path));
        HistoryRun r = run(QStringLiteral("旅"), 0, 7);
        r.hits = {hit(1, "東京の天気予報", "https://weather.example.jp/tokyo", "明日は晴れ 100%"),
                  hit(2, "大阪の観光案内", "https://osaka.example.jp/kanko", "食べ歩き_ガイド")};
        store.storeRun(r).value();
        QCOMPARE(urlsFound(store, text), found);
        QVERIFY(store.notice().isEmpty());
        if (!found.isEmpty())
            QCOMPARE(store.search(text).value().front().keywords, QStringLiteral("旅"));
    }

    void watchAnnouncesOnlyPagesItsEarlierRunsNeverHad()
    {
        HistoryStore store;
        QVERIFY(store.open(path));
        store.setMaxRuns(1); // a page stays seen after the run that had it is dropped
        const qint64 watch = store.createWatch({0, "w", "", {"s"}, "kw", false, {}, {}}).value();
        const qint64 other = store.createWatch({0, "v", "", {"s"}, "kw", false, {}, {}}).value();
        auto keyed = [&](qint64 w, int minute, const QStringList &keys) {
            HistoryRun r = run(QStringLiteral("kw"), int(keys.size()), minute, w);
            for (size_t i = 0; i < r.hits.size(); ++i)
                r.hits[i].key = keys[qsizetype(i)];
            return store.storeRun(r).value();
        };
        QCOMPARE(keyed(watch, 1, {"a", "b"}).fresh, (std::vector<int>{0, 1}));
        const HistoryStored second = keyed(watch, 2, {"b", "c", "c"});
        QCOMPARE(second.fresh, (std::vector<int>{1, 2}));
        const HistoryRun loaded = store.loadRun(second.run).value();
        QCOMPARE((QList<bool>{loaded.hits[0].isNew, loaded.hits[1].isNew, loaded.hits[2].isNew}),
                 (QList<bool>{false, true, true}));
        QCOMPARE(keyed(watch, 3, {"a"}).fresh, std::vector<int>{});
        QCOMPARE(keyed(other, 4, {"a"}).fresh, std::vector<int>{0});
        QCOMPARE(store.watch(QStringLiteral("w")).value().lastRun, kStart.addSecs(180));

        // What a watch remembers is bounded: the page it saw longest ago (b; "a" and "c" were
        // seen since) is forgotten, and new again should it return.
        store.setMaxSeen(3);
        QCOMPARE(keyed(watch, 5, {"c", "d"}).fresh, std::vector<int>{1});
        QCOMPARE(keyed(watch, 6, {"b", "a"}).fresh, std::vector<int>{0});
        // By the order of the watch's runs, not the clock: after a run stamped a year ahead (a
        // clock set wrong, then right again), the page just seen is still one of those kept.
        QCOMPARE(keyed(watch, 525600, {"x", "y", "z"}).fresh, (std::vector<int>{0, 1, 2}));
        QCOMPARE(keyed(watch, 8, {"p"}).fresh, std::vector<int>{0});
        QCOMPARE(keyed(watch, 9, {"p"}).fresh, std::vector<int>{});
    }

    void watchesNeedANameOfTheirOwnASourceAndKeywords()
    {
        HistoryStore store;
        QVERIFY(store.open(path));
        const qint64 id =
            store.createWatch({0, "ニュース", "話題", {}, "kw", true, {}, {}}).value();
        const std::vector<HistoryWatch> refused = {
            {0, " ", "話題", {}, "kw", false, {}, {}},
            {0, "x", "", {}, "kw", false, {}, {}},
            {0, "x", "話題", {}, " ", false, {}, {}},
            {0, "ニュース ", "", {"s"}, "k", false, {}, {}},
            {0, "a\tb", "話題", {}, "kw", false, {}, {}},
            {0, "a\u202eb", "話題", {}, "kw", false, {}, {}},
            {0, QString(101, u'x'), "話題", {}, "kw", false, {}, {}}};
        for (const HistoryWatch &w : refused) {
            QVERIFY(!store.createWatch(w));
            QVERIFY(!store.notice().isEmpty());
        }
        QCOMPARE(store.watches().value().size(), size_t(1));
        QVERIFY(store.watch(QStringLiteral("ニュース")).value().orMode);
        const qint64 kept = store.storeRun(run(QStringLiteral("kw"), 1, 1, id)).value().run;
        QVERIFY(store.deleteWatch(id));
        QVERIFY(!store.watch(QStringLiteral("ニュース")));
        QCOMPARE(store.loadRun(kept).value().watch, qint64(0));
    }

    void setsAsideAFileThatIsNotAHistory_data()
    {
        // The file's bytes, or SQL run on a new database (ours: a history first).
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<bool>("ours");
        QTest::newRow("noise") << QByteArray(8192, '\x5a') << QByteArray() << false;
        QTest::newRow("header only")
            << QByteArray("SQLite format 3\0 and no more", 28) << QByteArray() << false;
        QTest::newRow("another program's database")
            << QByteArray() << QByteArray("CREATE TABLE notes(text)") << false;
        QTest::newRow("ours, a table dropped")
            << QByteArray() << QByteArray("DROP TABLE outcomes") << true;
        QTest::newRow("ours, a column renamed")
            << QByteArray() << QByteArray("ALTER TABLE runs RENAME COLUMN topic TO theme") << true;
    }
    void setsAsideAFileThatIsNotAHistory()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, sql);
        QFETCH(bool, ours);
        QDir().mkpath(QFileInfo(path).path());
        if (ours)
            QVERIFY(HistoryStore().open(path));
        if (!sql.isEmpty()) {
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(path).constData(), &db);
            QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();

        HistoryStore store;
        QVERIFY(store.open(path));
        const QStringList aside =
            QDir(QFileInfo(path).path()).entryList({QStringLiteral("history.sqlite3.*.bad")});
        QCOMPARE(aside.size(), 1);
        QVERIFY2(store.notice().contains(aside.front()), qPrintable(store.notice()));
        QFile kept(QFileInfo(path).dir().filePath(aside.front()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
        QVERIFY(store.storeRun(run(QStringLiteral("new"), 1)));
    }

    void damageFoundWhileReadingIsSetAsideToo()
    {
        {
            HistoryStore store;
            QVERIFY(store.open(path));
            for (int i = 0; i < 20; ++i)
                QVERIFY(store.storeRun(run(QStringLiteral("r%1").arg(i), 100, i)));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 4);
        file.write(QByteArray(int(file.size() / 2), '\x5a'));
        file.close();

        HistoryStore store;
        QVERIFY(store.open(path));
        QVERIFY(!store.search(QStringLiteral("r")));
        QVERIFY2(store.notice().contains(QStringLiteral(".bad")), qPrintable(store.notice()));
        QVERIFY(store.storeRun(run(QStringLiteral("new"), 1)));
        QCOMPARE(keywordsOf(store), QStringList{"new"});
    }

    // A file of the first version is brought up keeping its watches (their limit unset) and
    // its runs, whose texts count toward the bound from then on.
    void bringsAnOlderFileUpToThisVersion()
    {
        HistoryStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.createWatch({0, "old", "話題", {}, "kw", false, {}, {}, 0}));
        HistoryRun large = run(QStringLiteral("early"), 1);
        large.hits[0].preview = QString(1000, u'x');
        QVERIFY(store.storeRun(large));
        store.close();
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        QCOMPARE(sqlite3_exec(db,
                              "ALTER TABLE watches DROP COLUMN hit_limit; ALTER TABLE runs DROP "
                              "COLUMN bytes; DROP INDEX watch_seen_by_age; ALTER TABLE watch_seen "
                              "DROP COLUMN seen_at; PRAGMA user_version = 1",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);

        QVERIFY(store.open(path));
        QCOMPARE(store.watch(QStringLiteral("old")).value().hitLimit, 0);
        QVERIFY(store.createWatch({0, "new", "話題", {}, "kw", false, {}, {}, 30}));
        QCOMPARE(store.watch(QStringLiteral("new")).value().hitLimit, 30);
        store.setMaxBytes(1500);
        large.keywords = QStringLiteral("later");
        QVERIFY(store.storeRun(large));
        QCOMPARE(keywordsOf(store), QStringList{"later"});
    }

    void leavesTheFileOfANewerVersionAlone()
    {
        HistoryStore store;
        QVERIFY(store.open(path));
        store.close();
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
        sqlite3_close(db);

        QVERIFY(!store.open(path));
        QVERIFY(store.notice().contains(QStringLiteral("新しい")));
        QVERIFY(!store.storeRun(run(QStringLiteral("x"), 1)));
        QCOMPARE(QDir(QFileInfo(path).path()).entryList({QStringLiteral("*.bad")}).size(), 0);
    }

    void twoWritersAtOnceLoseNothing()
    {
        std::atomic<int> stored{0};
        auto writer = [&](const QString &name) {
            HistoryStore store;
            if (!store.open(path))
                return;
            for (int i = 0; i < 25; ++i)
                if (store.storeRun(run(name + QString::number(i), 200, i)))
                    ++stored;
        };
        std::thread a(writer, QStringLiteral("a")), b(writer, QStringLiteral("b"));
        a.join();
        b.join();
        QCOMPARE(stored.load(), 50);
        HistoryStore store;
        QVERIFY(store.open(path));
        QCOMPARE(keywordsOf(store).size(), 50);
        QCOMPARE(soundness(path), QStringLiteral("ok"));
    }

    // Two programs making the file at once (the window and a timer's run, on first use) both
    // get to use it: SQLite answers one of them "locked" without waiting.
    void twoOpeningANewFileAtOnceBothGetIt()
    {
        for (int round = 0; round < 20; ++round) {
            const QString fresh = path + QString::number(round);
            std::atomic<int> stored{0};
            auto opener = [&] {
                HistoryStore store;
                if (store.open(fresh) && store.storeRun(run(QStringLiteral("r"), 1)))
                    ++stored;
            };
            std::thread a(opener), b(opener);
            a.join();
            b.join();
            QCOMPARE(stored.load(), 2);
        }
    }

    void aWriterKilledMidRunLeavesEachRunWholeOrAbsent()
    {
        for (int round = 1; round <= 3; ++round) {
            // No connection may cross the fork: SQLite's locks belong to the process.
            const pid_t child = fork();
            if (child == 0) {
                HistoryStore store;
                store.open(path);
                for (int i = 0;; ++i)
                    store.storeRun(run(QStringLiteral("k%1_%2").arg(round).arg(i), 2000, i));
            }
            QVERIFY(child > 0);
            HistoryStore reader;
            // Storing takes nearly all of the child's time, so the kill lands inside a run.
            const bool storing = testsupport::waitFor(
                [&] { return reader.open(path) && keywordsOf(reader).size() >= 2 * round; },
                std::chrono::seconds(60));
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            QVERIFY(storing);
        }
        QCOMPARE(soundness(path), QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "history_test.moc"
