// velmora-search over the fixture server: what it writes to standard output and standard
// error, its exit statuses, every option, each way a site's part can end, the site checker,
// and Ctrl+C.
#include "cli/console.h"
#include "common/progdir.h"
#include "common/termination.h"
#include "fakedns.h"
#include "runfixture.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

using namespace testsupport;

namespace {

// A site whose requests go to url(path)?q=...&p=...; the scripts read resultPage() markup.
struct CliSite {
    std::string name;
    std::string address; // the AND template up to its query
    std::string test = "alpha";
    std::string lang = "英語";
};

std::string catalogue(const std::vector<CliSite> &sites, const std::string &host)
{
    std::string text;
    for (const CliSite &s : sites) {
        text += "SITE " + s.name + "\r\nLANG " + s.lang + "\r\nTYPE t\r\nSKEY k\r\nROOT " + host +
                s.name + "/\r\nMEMO AND OR\r\nTEST " + s.test + "\r\nHOST " + host + "\r\n";
        text += "AND " + s.address + "?q=_WORD1_+_WORD2_&p=_NUM_1,10\r\n";
        text += "OR " + s.address + "?q=_WORD1_+_WORD2_&p=_NUM_1,10&m=or\r\n";
        text += runfixture::kScript;
    }
    return text;
}

struct Outcome {
    int status = -1;
    QString out, err;
};

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Sandbox> box_;
    std::unique_ptr<SiteFarm> farm_;

    // Writes the catalogue and topics into a fresh program directory (the sandbox).
    void stage(const std::vector<CliSite> &sites, const std::vector<runfixture::Topic> &topics = {})
    {
        box_->write("sitelist.dat", runfixture::packCatalogue(catalogue(sites, farm_->url("/"))));
        box_->write("TOPICS.DAT", runfixture::topicsBytes(*farm_, topics).toStdString());
        settings() = Settings();
    }

    std::vector<CliSite> two()
    {
        return {{"alpha", farm_->url("/alpha/search")}, {"beta", farm_->url("/beta/search")}};
    }

    Outcome run(const QStringList &arguments)
    {
        Outcome o;
        QTextStream out(&o.out), err(&o.err);
        ConsoleSearch search(out, err, false);
        QSignalSpy done(&search, &ConsoleSearch::finished);
        o.status = search.start(arguments);
        if (o.status < 0) {
            if (done.isEmpty())
                done.wait(30000);
            o.status = done.isEmpty() ? -1 : done.first().first().toInt();
        }
        out.flush();
        err.flush();
        return o;
    }

    // The site's first result page is body; later pages hold no hit.
    void firstPage(const std::string &path, const std::string &body)
    {
        farm_->serve(path, [body](const Request &r) {
            return page(r.param("p") == "1" ? body : std::string("<html><ol></ol></html>"));
        });
    }

    std::string hits(const std::string &prefix, int n, const std::string &title = "hit")
    {
        std::vector<std::string> urls;
        for (int i = 1; i <= n; ++i)
            urls.push_back(farm_->url(prefix + std::to_string(i)));
        return runfixture::resultPage(urls, title);
    }

private Q_SLOTS:
    void init()
    {
        box_ = std::make_unique<Sandbox>();
        farm_ = std::make_unique<SiteFarm>();
        setProgramDir(QString()); // the sandbox, the current directory, is the program's
    }

    void cleanup()
    {
        // A failed test may leave its run going: end it before the next one starts.
        if (runController().busy() && !runController().stopping())
            runController().Do_Stop();
        QTRY_VERIFY_WITH_TIMEOUT(!runController().busy(), 10000);
        farm_.reset();
        box_.reset();
    }

    void streamsHitsAndEachSitesOutcome()
    {
        const auto sites = two();
        stage(sites, {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 3));
        // A site that gave hits is asked for more pages until it gave --limit of them.
        const Outcome o =
            run({QStringLiteral("--limit"), QStringLiteral("3"), QStringLiteral("alpha")});
        QCOMPARE(o.status, int(kExitHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(
            lines[0].split(u'\t').mid(0, 2),
            (QStringList{QStringLiteral("hit 1"), QString::fromStdString(farm_->url("/doc/a1"))}));
        QCOMPARE(lines[0].split(u'\t').last(), QStringLiteral("alpha"));
        QVERIFY2(o.err.contains(QStringLiteral("alpha: done / 完了")), qPrintable(o.err));
        QVERIFY2(o.err.contains(QStringLiteral("beta: HTTP error 404 / HTTPエラー 404")),
                 qPrintable(o.err));
    }

    void formatsJsonAndCsv()
    {
        stage(two(), {{"both", {"alpha"}}});
        firstPage("/alpha/search", hits("/doc/a", 2, "a, \"quoted\""));
        Outcome o = run({QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("--format"),
                         QStringLiteral("json"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(first.value(QStringLiteral("title")).toString(),
                 QStringLiteral("a, \"quoted\" 1"));
        QCOMPARE(first.value(QStringLiteral("site")).toString(), QStringLiteral("alpha"));

        o = run({QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("--format"),
                 QStringLiteral("csv"), QStringLiteral("x")});
        QVERIFY(o.out.startsWith(QStringLiteral("title,url,preview,date,size,score,site\n")));
        QVERIFY(o.out.contains(QStringLiteral("\"a, \"\"quoted\"\" 2\",")));
    }

    void optionsChooseSitesLimitsAndTheOrSearch()
    {
        stage(two(), {{"alpha only", {"alpha"}}, {"beta only", {"beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 5));
        firstPage("/beta/search", hits("/doc/b", 5));
        // -s by name, --limit per site, --or sends the site's OR request.
        Outcome o = run({QStringLiteral("-s"), QStringLiteral("beta"), QStringLiteral("--limit"),
                         QStringLiteral("2"), QStringLiteral("--or"), QStringLiteral("x"),
                         QStringLiteral("y")});
        QCOMPARE(o.out.count(u'\n'), 2);
        QVERIFY(o.out.contains(QStringLiteral("\tbeta\n")));
        QCOMPARE(farm_->requests("/beta/search").at(0).param("m"), std::string("or"));
        QVERIFY(farm_->requests("/alpha/search").empty());
        // -t by name; no hit at all is exit status 1.
        farm_->serve("/alpha/search", page("<html>nothing here</html>"));
        o = run({QStringLiteral("-t"), QStringLiteral("alpha only"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitNoHits));
        QVERIFY(o.err.contains(QStringLiteral("alpha: page read but no hits taken")));
        // --time ends a site that never answers.
        farm_->serve("/beta/search", page("").withFault(Fault::StallBeforeHeaders));
        o = run({QStringLiteral("-s"), QStringLiteral("beta"), QStringLiteral("--time"),
                 QStringLiteral("1"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitNoHits));
        QVERIFY2(o.err.contains(QStringLiteral("beta: no answer within the time limit")),
                 qPrintable(o.err));
    }

    void usageErrorsAreStatusTwo()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        for (const QStringList &args :
             {QStringList{QStringLiteral("--bogus"), QStringLiteral("x")}, QStringList{},
              QStringList{QStringLiteral("--limit"), QStringLiteral("0"), QStringLiteral("x")},
              QStringList{QStringLiteral("--time"), QStringLiteral("-1"), QStringLiteral("x")},
              QStringList{QStringLiteral("--format"), QStringLiteral("xml"), QStringLiteral("x")},
              QStringList{QStringLiteral("-t"), QStringLiteral("none"), QStringLiteral("x")},
              QStringList{QStringLiteral("-s"), QStringLiteral("gamma"), QStringLiteral("x")},
              QStringList{QStringLiteral("-t"), QStringLiteral("both"), QStringLiteral("-s"),
                          QStringLiteral("alpha"), QStringLiteral("x")}}) {
            const Outcome o = run(args);
            QVERIFY2(o.status == kExitUsage, qPrintable(args.join(u' ')));
            QVERIFY(o.err.startsWith(QStringLiteral("velmora-search: ")));
            QVERIFY(o.out.isEmpty());
        }
    }

    void listsHelpAndVersion()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        Outcome o = run({QStringLiteral("--list-sites")});
        QCOMPARE(o.status, int(kExitHits));
        QVERIFY(o.out.startsWith(QStringLiteral("1\talpha\t英語\t")));
        QVERIFY(o.out.contains(QStringLiteral("2\tbeta\t")));
        o = run({QStringLiteral("--list-topics")});
        QCOMPARE(o.out, QStringLiteral("1\tboth\talpha,beta\n"));
        o = run({QStringLiteral("--help")});
        QVERIFY(o.out.contains(QStringLiteral("--check-sites")));
        o = run({QStringLiteral("--version")});
        QVERIFY(o.out.startsWith(QStringLiteral("velmora-search ")));
    }

    // What the window would say in a message box reaches the console user on standard error.
    void messagesGoToStandardError()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        QVERIFY(QDir().mkdir(QStringLiteral("STARTUP.DAT"))); // there, but not a readable file
        const Outcome o = run({QStringLiteral("--list-topics")});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out, QStringLiteral("1\tboth\talpha,beta\n"));
        QVERIFY2(o.err.contains(QStringLiteral("STARTUP.DATを読み込めませんでした。")),
                 qPrintable(o.err));
    }

    void checkAddsEachHitsStateAndReportIsWritten()
    {
        stage(two(), {{"both", {"alpha"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        farm_->serve("/doc/a1", page("fine"));
        const QString report = box_->path().string().c_str() + QStringLiteral("/hits.htm");
        const Outcome o =
            run({QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("--check"),
                 QStringLiteral("--report"), report, QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith(QStringLiteral("\talpha\tOK")));
        QVERIFY(lines[1].endsWith(QStringLiteral("\talpha\tNot Found")));
        const std::string html = box_->read("hits.htm");
        QVERIFY(html.find(farm_->url("/doc/a2")) != std::string::npos);
    }

    void tellsEachWayASiteCanEnd()
    {
        SiteFarm tlsless; // a plain server spoken to over TLS
        std::vector<CliSite> sites = {
            {"found", farm_->url("/found")},
            {"nohits", farm_->url("/nohits")},
            {"missing", farm_->url("/missing")},
            {"noname", "http://site.unresolvable.test/s"},
            {"refused", "http://127.0.0.1:1/s"},
            {"tls", "https" + tlsless.url("/s").substr(4)},
            {"stalled", farm_->url("/stalled")},
            {"hangup", farm_->url("/hangup")},
            {"nowhere", "gone://" + farm_->url("/x").substr(7)},
        };
        std::vector<std::string> names;
        for (const CliSite &s : sites)
            names.push_back(s.name);
        stage(sites, {{"all", names}});
        firstPage("/found", hits("/doc/f", 1));
        farm_->serve("/nohits", page("<html>changed</html>"));
        farm_->serve("/stalled", page("").withFault(Fault::StallBeforeHeaders));
        farm_->serve("/hangup", page("").withFault(Fault::CloseBeforeHeaders));
        const Outcome o = run({QStringLiteral("--time"), QStringLiteral("2"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        for (const char *line :
             {"found: done / 完了", "nohits: page read but no hits taken",
              "missing: HTTP error 404 / HTTPエラー 404", "noname: name not found / ",
              "refused: cannot connect / ", "tls: secure connection failed / ",
              "stalled: no answer within the time limit / ",
              "hangup: the connection ended without an answer / ",
              "nowhere: request could not be built"})
            QVERIFY2(o.err.contains(QString::fromUtf8(line)), line);
    }

    void ctrlCStopsTheRunAndJoinsEveryThread()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        farm_->serve("/beta/search", page("").withFault(Fault::StallBeforeHeaders));
        const int before = threadCount();
        Outcome o;
        {
            QTextStream out(&o.out), err(&o.err);
            ConsoleSearch search(out, err, false);
            EndOnTerminationSignals([&search] { search.interrupt(); });
            QSignalSpy done(&search, &ConsoleSearch::finished);
            QCOMPARE(
                search.start({QStringLiteral("--time"), QStringLiteral("0"), QStringLiteral("x")}),
                -1);
            QTRY_VERIFY_WITH_TIMEOUT(farm_->requests("/beta/search").size() == 1 &&
                                         runController().HitCount == 2,
                                     10000);
            std::raise(SIGINT);
            QVERIFY(done.wait(10000));
            QCOMPARE(done.first().first().toInt(), int(kExitHits));
        }
        QVERIFY2(o.err.contains(QStringLiteral("beta: stopped / 中止しました")), qPrintable(o.err));
        QVERIFY(!runController().busy());
        // The library's fetch threads are gone; the farm's own end as their clients go.
        QTRY_COMPARE_WITH_TIMEOUT(threadCount(), before, 10000);
    }

    void checkSitesFlagsASiteWhoseMarkupChanged()
    {
        std::vector<CliSite> sites = two();
        sites.push_back({"gamma", farm_->url("/gamma/search")});
        stage(sites, {});
        firstPage("/alpha/search", hits("/doc/a", 10));
        // beta's pages changed their markup: the script finds no hit any more.
        farm_->serve("/beta/search", page("<html><div class=hits><a href=/x>x</a></div></html>"));
        // gamma's titles are mostly empty now: the link holds only a picture.
        std::string pictures = hits("/doc/g", 10, "<img src=g.png>");
        for (int n = 1; n <= 9; ++n) {
            const std::string was = "<img src=g.png> " + std::to_string(n) + "</a>";
            pictures.replace(pictures.find(was), was.size(), "<img src=g.png></a>");
        }
        firstPage("/gamma/search", pictures);
        Outcome o = run({QStringLiteral("--check-sites")});
        QCOMPARE(o.status, int(kExitNoHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[0].startsWith(QStringLiteral("alpha\tok\tdone / 完了\tHTTP 200\t")),
                 qPrintable(lines[0]));
        QVERIFY(lines[0].contains(QStringLiteral("\t10 hits\t0 empty\t")));
        QVERIFY2(lines[1].startsWith(QStringLiteral("beta\tFAIL\tpage read but no hits")),
                 qPrintable(lines[1]));
        QVERIFY(lines[2].startsWith(QStringLiteral("gamma\tFAIL\t")));
        QCOMPARE(lines[3], QStringLiteral("1 sites ok, 2 failing"));
        QCOMPARE(farm_->requests("/alpha/search").at(0).param("q"), std::string("alpha"));
        // Named sites only.
        o = run({QStringLiteral("--check-sites"), QStringLiteral("alpha")});
        QCOMPARE(o.status, int(kExitHits));
        QVERIFY(o.out.endsWith(QStringLiteral("1 sites ok, 0 failing\n")));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "cli_test.moc"
