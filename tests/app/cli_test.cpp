// velmora-search over the fixture server: what it writes to standard output and standard
// error, its exit statuses, every option, each way a site's part can end, the site checker,
// and Ctrl+C; and the program itself, started in a copy of its directory: where its files go,
// its own process limits, and failed writes.
#include "cli/console.h"
#include "common/messagebox.h"
#include "core/merge.h"
#include "core/progdir.h"
#include "core/session.h"
#include "core/sessionbus.h"
#include "core/termination.h"
#include "core/watchtimer.h"
#include "fakedns.h"
#include "notifyfixture.h"
#include "opensearchfixture.h"
#include "runfixture.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

using namespace testsupport;

namespace {

// A site whose requests go to url(path)?q=...&p=...; the scripts read resultPage() markup.
struct CliSite {
    std::string name;
    std::string address; // the AND template up to its query
    std::string test = "alpha";
    std::string lang = "英語";
    std::string memo = "AND OR";
    std::string extra = {}; // further statements, each line ending in CRLF
};

std::string catalogue(const std::vector<CliSite> &sites, const std::string &host)
{
    std::string text;
    for (const CliSite &s : sites) {
        text += "SITE " + s.name + "\r\nLANG " + s.lang + "\r\nTYPE t\r\nSKEY k\r\nROOT " + host +
                s.name + "/\r\nMEMO " + s.memo + "\r\nTEST " + s.test + "\r\nHOST " + host +
                "\r\n" + s.extra;
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

// In the started program, before it runs: a soft limit of the given size, and the signal a
// write past the file-size limit sends back at its default (which kills).
void lowerSoftLimit(int resource, rlim_t value)
{
    rlimit limit{};
    getrlimit(resource, &limit);
    limit.rlim_cur = value;
    setrlimit(resource, &limit);
    struct sigaction kills = {};
    kills.sa_handler = SIG_DFL;
    sigaction(SIGXFSZ, &kills, nullptr);
}

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
    // The test's own session, as velmora-search's main() makes one: its notices go to the
    // console's standard error, not to message boxes.
    std::unique_ptr<Session> session_;

    // Writes the catalogue and topics into a fresh program directory (the sandbox).
    void stage(const std::vector<CliSite> &sites, const std::vector<runfixture::Topic> &topics = {})
    {
        box_->write("sitelist.dat", runfixture::packCatalogue(catalogue(sites, farm_->url("/"))));
        box_->write("TOPICS.DAT", runfixture::topicsBytes(*farm_, topics).toStdString());
    }

    std::vector<CliSite> two()
    {
        return {{"alpha", farm_->url("/alpha/search")}, {"beta", farm_->url("/beta/search")}};
    }

    Outcome run(const QStringList &arguments)
    {
        Outcome o;
        QTextStream out(&o.out), err(&o.err);
        ConsoleSearch search(*session_, out, err, false);
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

    QString boxPath(const QString &name = QString()) const
    {
        const QString root = QString::fromStdString(box_->path().string());
        return name.isEmpty() ? root : root + u'/' + name;
    }

    // The program as installed portably: velmora-search and its library beside the staged
    // catalogue and topics in the sandbox, with a settings file of its own, started from the
    // folder "here" in it. inChild runs in the started process before the program does.
    void startProgram(QProcess &process, const QStringList &arguments,
                      std::function<void()> inChild = {}, const QString &outputFile = QString())
    {
        prepareProgram(process);
        process.setProgram(boxPath(QStringLiteral("velmora-search")));
        process.setArguments(arguments);
        if (inChild)
            process.setChildProcessModifier(inChild);
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        process.start();
    }

    void prepareProgram(QProcess &process)
    {
        namespace fs = std::filesystem;
        const fs::path program(VELMORA_PROGRAM_DIR);
        for (const char *name : {"velmora-search", "libtessel.so"}) {
            std::error_code ec;
            if (!fs::exists(box_->path() / name))
                fs::create_hard_link(program / name, box_->path() / name, ec);
            if (ec)
                fs::copy_file(program / name, box_->path() / name);
        }
        fs::copy_file(program / "STARTUP.DAT", box_->path() / "STARTUP.DAT",
                      fs::copy_options::overwrite_existing);
        fs::permissions(box_->path() / "STARTUP.DAT", fs::perms::owner_write,
                        fs::perm_options::add);
        QDir().mkpath(boxPath(QStringLiteral("here")));
        process.setWorkingDirectory(boxPath(QStringLiteral("here")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), boxPath(QStringLiteral("home")));
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        // A watch's new hits would reach the developer's desktop as notifications.
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        process.setProcessEnvironment(environment);
    }

    // Waits (bounded) for the started program's end.
    static Outcome outcomeOf(QProcess &process)
    {
        Outcome o;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return o;
        }
        // Killed by a signal: -1, whatever the signal.
        o.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        o.out = QString::fromUtf8(process.readAllStandardOutput());
        o.err = QString::fromUtf8(process.readAllStandardError());
        return o;
    }

    Outcome runProgram(const QStringList &arguments, std::function<void()> inChild = {},
                       const QString &outputFile = QString())
    {
        QProcess process;
        startProgram(process, arguments, std::move(inChild), outputFile);
        return outcomeOf(process);
    }

    // The files of a folder of the sandbox.
    QStringList filesIn(const QString &folder = QString()) const
    {
        return QDir(boxPath(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private Q_SLOTS:
    void init()
    {
        box_ = std::make_unique<Sandbox>();
        farm_ = std::make_unique<SiteFarm>();
        session_ = std::make_unique<Session>();
        setProgramDir(QString()); // the sandbox, the current directory, is the program's
    }

    void cleanup()
    {
        // A failed test may leave its run going: end it before the next one starts.
        if (session_->run.busy() && !session_->run.stopping())
            session_->run.Do_Stop();
        QTRY_VERIFY_WITH_TIMEOUT(!session_->run.busy(), 10000);
        session_.reset();
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
        QVERIFY2(o.err.contains(QStringLiteral("alpha: done\n")), qPrintable(o.err));
        QVERIFY2(o.err.contains(QStringLiteral("beta: HTTP error 404\n")), qPrintable(o.err));
    }

    void formatsJsonAndCsv()
    {
        stage(two(), {{"both", {"alpha"}}});
        firstPage("/alpha/search", hits("/doc/a", 2, "a, \"quoted\""));
        Outcome o = run({QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("--format"),
                         QStringLiteral("json"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3); // two hits, then the site's record
        const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(first.value(QStringLiteral("type")).toString(), QStringLiteral("hit"));
        QCOMPARE(first.value(QStringLiteral("title")).toString(),
                 QStringLiteral("a, \"quoted\" 1"));
        QCOMPARE(first.value(QStringLiteral("site")).toString(), QStringLiteral("alpha"));

        o = run({QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("--format"),
                 QStringLiteral("csv"), QStringLiteral("x")});
        QVERIFY(o.out.startsWith(QStringLiteral("title,url,preview,date,size,score,site\n")));
        QVERIFY(o.out.contains(QStringLiteral("\"a, \"\"quoted\"\" 2\",")));
    }

    // --merge: a page two sites found under other spellings of its address is one line, after
    // the search, best ranked first, with the sites that found it; a check checks it once (at
    // the address of the hit found first: the https one of page a fails on the plain farm).
    void mergeWritesEachPageOnce()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        const std::string port = std::to_string(farm_->port());
        firstPage("/alpha/search",
                  runfixture::resultPage(
                      {farm_->url("/doc/a"), farm_->url("/doc/b"), farm_->url("/doc/c")}, "alpha"));
        firstPage("/beta/search",
                  runfixture::resultPage({"https://127.0.0.1:" + port + "/doc/a#top",
                                          farm_->url("/doc/b/?utm_medium=x"), farm_->url("/doc/d")},
                                         "beta longer"));
        for (const char *path : {"/doc/a", "/doc/b", "/doc/b/", "/doc/c", "/doc/d"})
            farm_->serve(path, page("ok"));
        const QStringList search{QStringLiteral("--limit"), QStringLiteral("3"),
                                 QStringLiteral("--merge"), QStringLiteral("--format")};
        Outcome o = run(search + QStringList{QStringLiteral("json"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        QList<QJsonObject> pages;
        for (const QString &line : o.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject record = QJsonDocument::fromJson(line.toUtf8()).object();
            if (record.value(QStringLiteral("type")) == QStringLiteral("hit"))
                pages << record;
        }
        QCOMPARE(pages.size(), 4);
        const double both[] = {2.0 / 61, 2.0 / 62, 1.0 / 63, 1.0 / 63};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(pages[i].value(QStringLiteral("rank")).toDouble(), both[i]);
            QStringList sites;
            for (const QJsonValue &site : pages[i].value(QStringLiteral("sites")).toArray())
                sites << site.toString();
            QCOMPARE(sites.size(), i < 2 ? 2 : 1);
            QCOMPARE(sites.contains(QStringLiteral("beta")),
                     i < 2 || pages[i]
                                  .value(QStringLiteral("url"))
                                  .toString()
                                  .endsWith(QLatin1String("/doc/d")));
        }
        QCOMPARE(MergeKey(pages[0].value(QStringLiteral("url")).toString()),
                 MergeKey(QString::fromStdString(farm_->url("/doc/a"))));
        QCOMPARE(pages[1].value(QStringLiteral("title")).toString(),
                 QStringLiteral("beta longer 2"));
        QVERIFY2(o.err.contains(QStringLiteral("6 hits")), qPrintable(o.err));

        farm_->clearLog();
        o = run(search +
                QStringList{QStringLiteral("csv"), QStringLiteral("--check"), QStringLiteral("x")});
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("title,url,preview,date,size,score,site,state,sites"));
        QVERIFY2(lines[2].endsWith(QStringLiteral(",OK,\"alpha, beta\"")) ||
                     lines[2].endsWith(QStringLiteral(",OK,\"beta, alpha\"")),
                 qPrintable(lines[2]));
        QCOMPARE(farm_->requests("/doc/b").size() + farm_->requests("/doc/b/").size(), size_t(1));
    }

    // Each site's record follows its last hit, as the site ends: its figures are numbers, and
    // --sites writes the same records as TSV.
    void siteRecordsFollowEachSitesHits()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        const Outcome o =
            run({QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--limit"),
                 QStringLiteral("2"), QStringLiteral("--sites"),
                 boxPath(QStringLiteral("sites.tsv")), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        QList<QJsonObject> records;
        for (const QString &line : o.out.split(u'\n', Qt::SkipEmptyParts))
            records << QJsonDocument::fromJson(line.toUtf8()).object();
        QCOMPARE(records.size(), 4);
        QStringList kinds;
        for (const QJsonObject &r : records)
            kinds << r.value(QStringLiteral("type")).toString() + u' ' +
                         r.value(QStringLiteral("site")).toString();
        QCOMPARE(kinds.indexOf(QStringLiteral("site alpha")), 2); // after alpha's two hits
        QVERIFY(kinds.contains(QStringLiteral("site beta")));
        QCOMPARE(records[0].value(QStringLiteral("date")).toString(), QStringLiteral("2024/01/01"));
        QCOMPARE(records[0].value(QStringLiteral("date_iso")).toString(),
                 QStringLiteral("2024-01-01"));
        const QJsonObject alpha = records[2];
        QCOMPARE(alpha.value(QStringLiteral("outcome")).toString(), QStringLiteral("ok"));
        QCOMPARE(alpha.value(QStringLiteral("http")), QJsonValue(200));
        QCOMPARE(alpha.value(QStringLiteral("hits")), QJsonValue(2));
        QVERIFY(alpha.value(QStringLiteral("seconds")).isDouble());
        const QJsonObject beta = records[kinds.indexOf(QStringLiteral("site beta"))];
        QCOMPARE(beta.value(QStringLiteral("outcome")).toString(), QStringLiteral("http"));
        QCOMPARE(beta.value(QStringLiteral("http")), QJsonValue(404));

        QStringList file = QString::fromStdString(box_->read("sites.tsv")).split(u'\n');
        QCOMPARE(file.size(), 4); // the head, two sites, the last line's end
        QCOMPARE(file[0], SiteHeader());
        file.sort();
        QVERIFY2(file[1].startsWith(QStringLiteral("alpha\tok\t200\t2\t")), qPrintable(file[1]));
        QVERIFY2(file[2].startsWith(QStringLiteral("beta\thttp\t404\t0\t")), qPrintable(file[2]));
    }

    void datesReadAsIso8601_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("iso");
        auto row = [](const char *text, const char *iso) {
            QTest::newRow(text) << QString::fromUtf8(text) << QString::fromLatin1(iso);
        };
        row("2024/01/01", "2024-01-01");
        row("2024-5-2", "2024-05-02");
        row("2018年11月2日 (金) 10:15", "2018-11-02T10:15");
        row("Feb 21, 2024", "2024-02-21");
        row("2 May, 2024", "2024-05-02");
        row("1 November 2023", "2023-11-01");
        row("updated 2024.03.09 08:05", "2024-03-09T08:05");
        row("2024/02/30", "");     // no such day
        row("Vaccine. 2024.", ""); // a year alone is no date
        row("First published in 1954", "");
        row("12KB", "");
    }

    void datesReadAsIso8601()
    {
        QFETCH(QString, text);
        QFETCH(QString, iso);
        QCOMPARE(IsoDate(text), iso);
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
        QCOMPARE(o.status, int(kExitSitesFailed));
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

    void listsInEachFormat_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out"); // "%1" and "%2": the roots of alpha and beta
        // format "": no --format, which is tsv
        auto row = [](const char *list, const char *format, const char *out) {
            QStringList args{QString::fromLatin1(list)};
            if (*format)
                args << QStringLiteral("--format") << QString::fromLatin1(format);
            QTest::newRow((std::string(list) + ' ' + format).c_str())
                << args << QString::fromUtf8(out);
        };
        row("--list-sites", "", "1\talpha\t英語\t%1\tshipped\n2\tbeta\t英語\t%2\tshipped\n");
        row("--list-sites", "csv",
            "number,name,language,root,origin\n1,alpha,英語,%1,shipped\n2,beta,英語,%2,shipped\n");
        row("--list-sites", "json",
            "{\"language\":\"英語\",\"name\":\"alpha\",\"number\":1,\"origin\":\"shipped\","
            "\"root\":\"%1\"}\n"
            "{\"language\":\"英語\",\"name\":\"beta\",\"number\":2,\"origin\":\"shipped\","
            "\"root\":\"%2\"}\n");
        row("--list-topics", "", "1\tboth\talpha,beta\n");
        row("--list-topics", "tsv", "1\tboth\talpha,beta\n");
        row("--list-topics", "csv", "number,name,sites\n1,both,\"alpha,beta\"\n");
        row("--list-topics", "json",
            "{\"name\":\"both\",\"number\":1,\"sites\":[\"alpha\",\"beta\"]}\n");
    }

    void listsInEachFormat()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        stage(two(), {{"both", {"alpha", "beta"}}});
        const Outcome o = run(args);
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out,
                 out.replace(QStringLiteral("%1"), QString::fromStdString(farm_->url("/alpha/")))
                     .replace(QStringLiteral("%2"), QString::fromStdString(farm_->url("/beta/"))));
    }

    // A watch's first run writes every hit, a run that finds nothing new writes none and ends
    // with 1, and a hit that appears later is written alone; --watch NAME alone runs the
    // stored watch.
    void watchWritesOnlyTheHitsNewToIt()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        const QStringList create{QStringLiteral("--watch"), QStringLiteral("news"),
                                 QStringLiteral("-s"),      QStringLiteral("alpha"),
                                 QStringLiteral("--limit"), QStringLiteral("4"),
                                 QStringLiteral("x")};
        // Hits that reached no reader (a full disk, a closed pipe) stay new.
        Outcome o = runProgram(create, {}, QStringLiteral("/dev/full"));
        QCOMPARE(o.status, int(kExitBroken));
        o = run(create);
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out.count(u'\n'), 2);
        o = run(create);
        QCOMPARE(o.status, int(kExitNoHits));
        QCOMPARE(o.out, QString());
        firstPage("/alpha/search", hits("/doc/a", 3));
        o = run({QStringLiteral("--watch"), QStringLiteral("news")});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out.split(u'\t').value(1), QString::fromStdString(farm_->url("/doc/a3")));
        QCOMPARE(o.out.count(u'\n'), 1);
        // The stored watch asks for as many hits as the run that made it.
        firstPage("/alpha/search", hits("/doc/a", 7));
        o = run({QStringLiteral("--watch"), QStringLiteral("news")});
        QCOMPARE(o.out.count(u'\n'), 1);
        // The same name with other terms would watch something else under the user's cron line.
        o = run({QStringLiteral("--watch"), QStringLiteral("news"), QStringLiteral("y")});
        QCOMPARE(o.status, int(kExitUsage));
        o = run(QStringList(create).replaceInStrings(QStringLiteral("4"), QStringLiteral("5")));
        QCOMPARE(o.status, int(kExitUsage));
        o = run({QStringLiteral("--watches")});
        QVERIFY2(o.out.startsWith(QStringLiteral("news\t\talpha\tx\tand\t")), qPrintable(o.out));
        // --unwatch ends the watch and its timer, found by the stored name even when the one
        // given has blanks around it; its runs stay in the history.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(boxPath(QStringLiteral("config"))));
        QString said;
        QVERIFY(WriteWatchUnits(QStringLiteral("/x"), QStringLiteral("news"), 60, &said));
        box_->write("bin/systemctl", "#!/bin/sh\n");
        QFile(boxPath(QStringLiteral("bin/systemctl")))
            .setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(boxPath(QStringLiteral("bin"))));
        QCOMPARE(run({QStringLiteral("--unwatch"), QStringLiteral(" news")}).status,
                 int(kExitHits));
        qputenv("PATH", path);
        QVERIFY(!WatchScheduled(QStringLiteral("news")));
        qunsetenv("XDG_CONFIG_HOME");
        const QStringList unwatch{QStringLiteral("--unwatch"), QStringLiteral("news")};
        QCOMPARE(run(unwatch + QStringList{QStringLiteral("x")}).status, int(kExitUsage));
        QCOMPARE(run(unwatch + QStringList{QStringLiteral("--list-sites")}).status,
                 int(kExitUsage));
        QCOMPARE(run({QStringLiteral("--watches")}).out, QString());
        QCOMPARE(run(unwatch).status, int(kExitUsage));
        QCOMPARE(run({QStringLiteral("--history")}).out.count(QStringLiteral("\tnews\n")), 0);
        QCOMPARE(run({QStringLiteral("--history")}).out.count(u'\n'), 5);
    }

    // A session bus that takes the connection and never answers must not hold a scheduled
    // watch run: the hits are written and the run ends as usual.
    void aSilentSessionBusDoesNotHoldAWatch()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        const std::string socketPath = (box_->path() / "silent.bus").string();
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(listener, 8) == 0);
        QProcess process;
        prepareProgram(process);
        QProcessEnvironment environment = process.processEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + QString::fromStdString(socketPath));
        process.setProcessEnvironment(environment);
        process.setProgram(boxPath(QStringLiteral("velmora-search")));
        process.setArguments({QStringLiteral("--watch"), QStringLiteral("news"),
                              QStringLiteral("-s"), QStringLiteral("alpha"), QStringLiteral("x")});
        process.start();
        const Outcome o = outcomeOf(process);
        ::close(listener);
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out.count(u'\n'), 2);
    }

    // The run ends once its hits are written; the notification it leaves still hears the click
    // and opens the window on the run that found them.
    void aClickOnTheNotificationOpensTheWindowOnTheRun()
    {
        notifyfixture::NotificationBus bus;
        if (!bus.start())
            QSKIP("no dbus-daemon to stand in for the session bus");
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        // The window program stands in as a script that keeps what it was asked, and the files
        // it was handed.
        box_->write("velmora", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.asked\"\n"
                               "ls -l /proc/$$/fd > \"$0.files\"\n");
        QFile(boxPath(QStringLiteral("velmora")))
            .setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        QProcess process;
        prepareProgram(process);
        QProcessEnvironment environment = process.processEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
        process.setProcessEnvironment(environment);
        process.setProgram(boxPath(QStringLiteral("velmora-search")));
        process.setArguments({QStringLiteral("--watch"), QStringLiteral("news"),
                              QStringLiteral("-s"), QStringLiteral("alpha"), QStringLiteral("x")});
        // A lock the run was handed, as a cron line's flock hands it: the announcement, which
        // waits for hours, must not keep it.
        const QByteArray lock = QFile::encodeName(boxPath(QStringLiteral("cron.lock")));
        process.setChildProcessModifier(
            [lock] { ::open(lock.constData(), O_RDONLY | O_CREAT, 0600); });
        process.start();
        QCOMPARE(outcomeOf(process).status, int(kExitHits));
        QTRY_COMPARE_WITH_TIMEOUT(bus.service.notices().size(), size_t(1), 20000);
        QCOMPARE(bus.service.notices()[0].summary, QStringLiteral("「news」の新着 2件"));
        notifyfixture::tell(bus.connection(), QStringLiteral("ActionInvoked"),
                            {bus.service.notices()[0].id, QStringLiteral("default")});
        QFile asked(boxPath(QStringLiteral("velmora.asked")));
        QTRY_VERIFY_WITH_TIMEOUT(asked.size() > 0, 20000);
        QVERIFY(asked.open(QIODevice::ReadOnly));
        const QJsonObject stored =
            QJsonDocument::fromJson(run({QStringLiteral("--history"), QStringLiteral("--format"),
                                         QStringLiteral("json")})
                                        .out.toUtf8())
                .object();
        QCOMPARE(QString::fromUtf8(asked.readAll()),
                 QStringLiteral("--watch=news\n--run=%1\n")
                     .arg(stored.value(QStringLiteral("run")).toInteger()));
        QFile files(boxPath(QStringLiteral("velmora.files")));
        QVERIFY(files.open(QIODevice::ReadOnly));
        QVERIFY(!files.readAll().contains("cron.lock"));

        // With a window open, the click goes to it, and no second window is started.
        notifyfixture::StandInWindow window;
        QDBusConnection windowBus = bus.connection(QStringLiteral("window"));
        QVERIFY(windowBus.registerVirtualObject(QString::fromLatin1(kWindowPath), &window));
        QVERIFY(windowBus.registerService(QString::fromLatin1(kWindowService)));
        QVERIFY(asked.remove());
        firstPage("/alpha/search", hits("/doc/a", 3));
        process.start();
        QCOMPARE(outcomeOf(process).status, int(kExitHits));
        QTRY_COMPARE_WITH_TIMEOUT(bus.service.notices().size(), size_t(2), 20000);
        notifyfixture::tell(bus.connection(), QStringLiteral("ActionInvoked"),
                            {bus.service.notices()[1].id, QStringLiteral("default")});
        QTRY_COMPARE_WITH_TIMEOUT(window.asked().size(), 2, 20000);
        QCOMPARE(window.asked().first(), QStringLiteral("news"));
        QVERIFY(!QFile::exists(boxPath(QStringLiteral("velmora.asked"))));
    }

    // A watch that can't read its history can't tell what is new: that must not pass for
    // "nothing new" (1) in a script, nor a watch never created.
    void watchWithoutItsHistoryIsNoAnswer()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        QCOMPARE(run({QStringLiteral("--watch"), QStringLiteral("none")}).status, int(kExitUsage));
        QVERIFY(QFile::remove(QStringLiteral("history.sqlite3")));
        QVERIFY(QDir().mkdir(QStringLiteral("history.sqlite3")));
        const Outcome o = run({QStringLiteral("--watch"), QStringLiteral("news"),
                               QStringLiteral("-s"), QStringLiteral("alpha"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitBroken));
        QCOMPARE(o.out, QString());
    }

    // Every search is kept, and a history that can't be written costs the search nothing.
    void historyKeepsEveryRunAndNeverFailsOne()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        QCOMPARE(run({QStringLiteral("--or"), QStringLiteral("x")}).status, int(kExitHits));
        Outcome o =
            run({QStringLiteral("--history"), QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(o.status, int(kExitHits));
        const QJsonObject last = QJsonDocument::fromJson(o.out.toUtf8()).object();
        QCOMPARE(last.value(QStringLiteral("topic")).toString(), QStringLiteral("both"));
        QCOMPARE(last.value(QStringLiteral("keywords")).toString(), QStringLiteral("x"));
        QCOMPARE(last.value(QStringLiteral("hits")).toInt(), 2);
        QCOMPARE(last.value(QStringLiteral("failures")).toInt(), 1); // beta's 404
        QVERIFY(QDateTime::fromString(last.value(QStringLiteral("time")).toString(), Qt::ISODate)
                    .isValid());
        // --run writes a stored run's hits as they were found, asking no site.
        const QString id = QString::number(last.value(QStringLiteral("run")).toInteger());
        const size_t asked = farm_->requests("/alpha/search").size();
        o = run({QStringLiteral("--run"), id});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out.count(u'\n'), 2);
        QCOMPARE(o.out.split(u'\t').value(1), QString::fromStdString(farm_->url("/doc/a1")));
        QCOMPARE(farm_->requests("/alpha/search").size(), asked);
        QCOMPARE(run({QStringLiteral("--run"), id + u'0'}).status, int(kExitUsage));
        QCOMPARE(run({QStringLiteral("--run"), id, QStringLiteral("x")}).status, int(kExitUsage));
        QCOMPARE(run({QStringLiteral("--history"), QStringLiteral("--run"), id}).status,
                 int(kExitUsage));
        QCOMPARE(run({QStringLiteral("--watches"), QStringLiteral("--list-sites")}).status,
                 int(kExitUsage));

        // A file that is no history is set aside, and that is said though the listing succeeds.
        box_->write("history.sqlite3", std::string(4096, 'x'));
        o = run({QStringLiteral("--history")});
        QCOMPARE(o.status, int(kExitHits));
        QVERIFY2(o.err.contains(QStringLiteral(".bad")), qPrintable(o.err));

        QFile::remove(QStringLiteral("history.sqlite3"));
        QVERIFY(QDir().mkdir(QStringLiteral("history.sqlite3")));
        o = run({QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out.count(u'\n'), 2);
        QVERIFY2(o.err.contains(QStringLiteral("history.sqlite3")), qPrintable(o.err));
    }

    void helpAndVersion()
    {
        Outcome o = run({QStringLiteral("--help")});
        QVERIFY(o.out.contains(QStringLiteral("--check-sites")));
        QVERIFY(!o.out.contains(QStringLiteral("--help-all"))); // refused as unknown
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
        QVERIFY2(o.err.contains(QStringLiteral("velmora-search: STARTUP.DATを読み込めませんでした。"
                                               "終了時にこのファイルは上書きしません。\n")),
                 qPrintable(o.err));
        QVERIFY(msgbox::shown().isEmpty()); // a console asks for no message box
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
        // Each hit is written as its check ends, whichever ends first.
        const auto lineOf = [&](const char *path) {
            const QString url = QString::fromStdString(farm_->url(path)) + u'\t';
            return lines[0].contains(url) ? lines[0] : lines[1];
        };
        QVERIFY(lineOf("/doc/a1").endsWith(QStringLiteral("\talpha\tOK")));
        QVERIFY(lineOf("/doc/a2").endsWith(QStringLiteral("\talpha\tNot Found")));
        const std::string html = box_->read("hits.htm");
        QVERIFY(html.find(farm_->url("/doc/a2")) != std::string::npos);
    }

    // A checked hit is written as its check ends; the time limit bounds the search and the
    // checks together, so a check that never ends leaves its hit unchecked at the limit
    // (the settings' 60 seconds for checks would outlast the wait for the end).
    void checkedHitsComeAsTheirChecksEnd()
    {
        stage(two(), {{"both", {"alpha"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        farm_->serve("/doc/a1", page("").withFault(Fault::StallBeforeHeaders));
        farm_->serve("/doc/a2", status(302).withHeader("Location", "/doc/live"));
        farm_->serve("/doc/live", page("here"));
        const Outcome o =
            run({QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("--time"),
                 QStringLiteral("3"), QStringLiteral("--check"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(QStringLiteral("hit 2\t")) &&
                     lines[0].endsWith(QStringLiteral("\tOK")),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(QStringLiteral("hit 1\t")) &&
                     lines[1].endsWith(QStringLiteral("\tNo Check")),
                 qPrintable(lines[1]));
        QVERIFY(o.err.contains(QStringLiteral("1 links could not be checked")));
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
        const Outcome o =
            run({QStringLiteral("--time"), QStringLiteral("2"), QStringLiteral("--format"),
                 QStringLiteral("json"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        // The same endings as a script reads them, a record a site.
        QMap<QString, QString> outcomes;
        for (const QString &line : o.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject record = QJsonDocument::fromJson(line.toUtf8()).object();
            if (record.value(QStringLiteral("type")) == QStringLiteral("site"))
                outcomes[record.value(QStringLiteral("site")).toString()] =
                    record.value(QStringLiteral("outcome")).toString();
        }
        QCOMPARE(outcomes, (QMap<QString, QString>{{"found", "ok"},
                                                   {"nohits", "nohits"},
                                                   {"missing", "http"},
                                                   {"noname", "dns"},
                                                   {"refused", "refused"},
                                                   {"tls", "tls"},
                                                   {"stalled", "timeout"},
                                                   {"hangup", "closed"},
                                                   {"nowhere", "unbuilt"}}));
        for (const char *line :
             {"found: done\n", "nohits: page read but no hits taken", "missing: HTTP error 404\n",
              "noname: host name could not be resolved\n", "refused: cannot connect\n",
              "tls: secure connection failed\n", "stalled: no answer within the time limit\n",
              "hangup: the connection ended without an answer\n",
              "nowhere: request could not be built"})
            QVERIFY2(o.err.contains(QString::fromUtf8(line)), line);
    }

    // A site that refuses the client (429 with Retry-After, a robot check page) reads as
    // blocked, not as a script that no longer fits, and is left alone by the next runs, a new
    // program start included; the site's own page for nothing found reads as empty.
    void blockedEmptyAndBrokenAreToldApart()
    {
        const std::vector<CliSite> sites = {
            {"limited", farm_->url("/limited")},
            {"robot", farm_->url("/robot")},
            {"nothing", farm_->url("/nothing"), "alpha", "英語", "AND OR", "NOHITS no-results\r\n"},
            {"changed", farm_->url("/changed")},
            {"found", farm_->url("/found")},
        };
        std::vector<std::string> names;
        for (const CliSite &s : sites)
            names.push_back(s.name);
        stage(sites, {{"all", names}});
        farm_->serve("/limited", status(429).withHeader("Retry-After", "120"));
        farm_->serve("/robot", page("<html><div class=\"g-recaptcha\"></div></html>"));
        farm_->serve("/nothing", page("<html><p class=no-results>No match</p><ol></ol></html>"));
        farm_->serve("/changed", page("<html><ol></ol></html>"));
        firstPage("/found", hits("/doc/f", 1));
        const auto outcomes = [](const QString &out) {
            QMap<QString, QString> seen;
            for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
                const QJsonObject record = QJsonDocument::fromJson(line.toUtf8()).object();
                if (record.value(QStringLiteral("type")) == QStringLiteral("site"))
                    seen[record.value(QStringLiteral("site")).toString()] =
                        record.value(QStringLiteral("outcome")).toString();
            }
            return seen;
        };
        const QStringList json = {QStringLiteral("--format"), QStringLiteral("json"),
                                  QStringLiteral("x")};
        Outcome o = run(json);
        QCOMPARE(outcomes(o.out), (QMap<QString, QString>{{"limited", "blocked"},
                                                          {"robot", "blocked"},
                                                          {"nothing", "empty"},
                                                          {"changed", "nohits"},
                                                          {"found", "ok"}}));
        QVERIFY2(o.err.contains(QRegularExpression(
                     QStringLiteral("\\blimited: blocked, next try at \\d\\d:\\d\\d\\n"))),
                 qPrintable(o.err));
        QVERIFY(o.err.contains(QStringLiteral("nothing: nothing found\n")));
        QVERIFY(o.err.contains(QStringLiteral("changed: page read but no hits taken")));

        // A later start of the program: the blocked sites are not asked while paused.
        session_ = std::make_unique<Session>();
        o = run(json);
        QCOMPARE(farm_->requests("/limited").size(), size_t(1));
        QCOMPARE(farm_->requests("/robot").size(), size_t(1));
        QCOMPARE(farm_->requests("/nothing").size(), size_t(2));
        QCOMPARE(outcomes(o.out).value(QStringLiteral("limited")), QStringLiteral("blocked"));
        QVERIFY(o.err.contains(QStringLiteral("robot: blocked, next try at ")));

        // The site's "nothing found" alone is no failure of a site.
        o = run({QStringLiteral("--site"), QStringLiteral("nothing"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitNoHits));
    }

    // Keywords in any script reach the sites that read UTF-8; a site whose encoding can't carry
    // them is not asked, and says why.
    void anyScriptGoesToUtf8Sites()
    {
        stage({{"utf", farm_->url("/utf"), "alpha", "英語", "AND OR UTF8"},
               {"latin", farm_->url("/latin")}},
              {{"all", {"utf", "latin"}}});
        firstPage("/utf", hits("/doc/u", 2));
        firstPage("/latin", hits("/doc/l", 2));
        const Outcome o = run({QString::fromUtf8("Москва"), QString::fromUtf8("😀")});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(farm_->requests("/utf").at(0).param("q"), std::string("Москва 😀"));
        QVERIFY(farm_->requests("/latin").empty());
        QVERIFY2(o.err.contains(QStringLiteral(
                     "latin: not searched (the site's encoding can't carry the keywords)\n")),
                 qPrintable(o.err));
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
            ConsoleSearch search(*session_, out, err, false);
            EndOnTerminationSignals([&search] { search.interrupt(SIGINT); });
            QSignalSpy done(&search, &ConsoleSearch::finished);
            QCOMPARE(
                search.start({QStringLiteral("--time"), QStringLiteral("0"), QStringLiteral("x")}),
                -1);
            QTRY_VERIFY_WITH_TIMEOUT(
                farm_->requests("/beta/search").size() == 1 && session_->run.HitCount == 2, 10000);
            std::raise(SIGINT);
            QVERIFY(done.wait(10000));
            QCOMPARE(done.first().first().toInt(), kExitSignalBase + SIGINT);
        }
        QVERIFY2(o.err.contains(QStringLiteral("beta: stopped\n")), qPrintable(o.err));
        QVERIFY(!session_->run.busy());
        // The library's fetch threads are gone; the farm's own end as their clients go.
        QTRY_COMPARE_WITH_TIMEOUT(threadCount(), before, 10000);
    }

    // A script tells hits, an honest "nothing" and sites that could not be asked apart.
    void exitStatusTellsHowTheSearchWent()
    {
        struct Case {
            const char *name;
            int alphaHits; // 0: a page without hits
            bool betaDown; // else a page without hits
            bool strict;
            int status;
        };
        const Case cases[] = {
            {"nothing, every site answered", 0, false, false, kExitNoHits},
            {"nothing, a site failed", 0, true, false, kExitSitesFailed},
            {"hits, a site failed", 2, true, false, kExitHits},
            {"hits, a site failed, strict", 2, true, true, kExitSitesFailed},
            {"hits, every site answered, strict", 2, false, true, kExitHits},
        };
        stage(two(), {{"both", {"alpha", "beta"}}});
        for (const Case &c : cases) {
            if (c.alphaHits > 0)
                firstPage("/alpha/search", hits("/doc/a", c.alphaHits));
            else
                farm_->serve("/alpha/search", page("<html>nothing</html>"));
            farm_->serve("/beta/search", c.betaDown ? status(500) : page("<html>none</html>"));
            QStringList args{QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("x")};
            if (c.strict)
                args.prepend(QStringLiteral("--strict"));
            const Outcome o = run(args);
            QVERIFY2(o.status == c.status, c.name);
        }
    }

    // A signal stops the run in order: what was found is written, and the status is the
    // shell's 128 + the signal.
    void signalsEndWithTheirShellStatus()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        farm_->serve("/beta/search", page("").withFault(Fault::StallBeforeHeaders));
        for (const int signal : {SIGINT, SIGTERM}) {
            farm_->clearLog();
            QProcess process;
            startProgram(process,
                         {QStringLiteral("-t"), QStringLiteral("both"), QStringLiteral("--time"),
                          QStringLiteral("0"), QStringLiteral("x")});
            QVERIFY(process.waitForStarted());
            QString out;
            QTRY_VERIFY_WITH_TIMEOUT(
                (out += QString::fromUtf8(process.readAllStandardOutput())).count(u'\n') == 2 &&
                    farm_->requests("/beta/search").size() == 1,
                20000);
            ::kill(pid_t(process.processId()), signal);
            const Outcome o = outcomeOf(process);
            QCOMPARE(o.status, kExitSignalBase + signal);
            QCOMPARE((out + o.out).count(u'\n'), 2);
        }
    }

    // On a terminal the progress line counts the seconds, is cleared before a hit or the
    // summary is written, and leaves the last line ended; its texts follow the locale.
    void terminalKeepsProgressOffTheHitLines()
    {
        stage(two(), {{"both", {"alpha", "beta"}}});
        firstPage("/alpha/search", hits("/doc/a", 2));
        // beta answers late enough for the clock to count a second.
        farm_->serve("/beta/search",
                     page("<html>none</html>").withDelay(std::chrono::milliseconds(1500)));
        struct Case {
            const char *lang;
            const char *counting;
            const char *summary;
        };
        for (const Case &c : {Case{"C.UTF-8", "(1 s)", "alpha: done"},
                              Case{"ja_JP.UTF-8", "(時間経過=1秒)", "alpha: 完了"}}) {
            QProcess process;
            prepareProgram(process);
            QProcessEnvironment environment = process.processEnvironment();
            environment.remove(QStringLiteral("LC_ALL"));
            environment.remove(QStringLiteral("LC_MESSAGES"));
            environment.insert(QStringLiteral("LANG"), QString::fromLatin1(c.lang));
            process.setProcessEnvironment(environment);
            // script gives the program a terminal for both its streams and copies what it shows.
            process.start(QStringLiteral("script"), {QStringLiteral("-qc"),
                                                     boxPath(QStringLiteral("velmora-search")) +
                                                         QStringLiteral(" -t both --limit 2 x"),
                                                     QStringLiteral("/dev/null")});
            const Outcome o = outcomeOf(process);
            QCOMPARE(o.status, 0);
            QVERIFY2(o.out.contains(QString::fromUtf8(c.counting)), qPrintable(o.out));
            // What the terminal shows: a carriage return goes back to the line's start, ESC [ K
            // erases to its end.
            QStringList shown;
            QString line;
            qsizetype column = 0;
            for (qsizetype i = 0; i < o.out.size(); ++i) {
                if (o.out.mid(i, 3) == QStringLiteral("\x1b[K")) {
                    line.truncate(column);
                    i += 2;
                } else if (o.out[i] == u'\r') {
                    column = 0;
                } else if (o.out[i] == u'\n') {
                    shown << line;
                    line.clear();
                    column = 0;
                } else {
                    line = line.left(column) + o.out[i] + line.mid(column + 1);
                    ++column;
                }
            }
            QVERIFY2(line.isEmpty(), qPrintable(line)); // the last line ended
            QCOMPARE(shown.filter(QStringLiteral("\t")).size(), 2);
            for (const QString &hit : shown.filter(QStringLiteral("\t")))
                QVERIFY2(hit.startsWith(QStringLiteral("hit ")), qPrintable(hit));
            QVERIFY2(shown.contains(QString::fromUtf8(c.summary)), qPrintable(shown.join(u'|')));
        }
    }

    void localeChoosesTheLanguage()
    {
        QCOMPARE(LanguageOfLocale(nullptr, nullptr, "ja_JP.UTF-8"), OutcomeLanguage::Japanese);
        QCOMPARE(LanguageOfLocale("", "ja_JP.UTF-8", "en_US.UTF-8"), OutcomeLanguage::Japanese);
        QCOMPARE(LanguageOfLocale("C", nullptr, "ja_JP.UTF-8"), OutcomeLanguage::English);
        QCOMPARE(LanguageOfLocale(nullptr, nullptr, nullptr), OutcomeLanguage::English);
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
        // Named sites only, by a start of the name.
        o = run({QStringLiteral("--check-sites"), QStringLiteral("alp")});
        QCOMPARE(o.status, int(kExitHits));
        QVERIFY(o.out.endsWith(QStringLiteral("1 sites ok, 0 failing\n")));
        // As records: standard output holds them alone.
        o = run({QStringLiteral("--check-sites"), QStringLiteral("--format"),
                 QStringLiteral("json"), QStringLiteral("beta")});
        QCOMPARE(o.status, int(kExitNoHits));
        QCOMPARE(o.out.count(u'\n'), 1);
        const QJsonObject beta = QJsonDocument::fromJson(o.out.toUtf8()).object();
        QCOMPARE(beta.value(QStringLiteral("verdict")).toString(), QStringLiteral("fail"));
        QCOMPARE(beta.value(QStringLiteral("outcome")).toString(), QStringLiteral("nohits"));
        QCOMPARE(beta.value(QStringLiteral("http")), QJsonValue(200));
        QCOMPARE(beta.value(QStringLiteral("hits")), QJsonValue(0));
        QVERIFY(o.err.contains(QStringLiteral("0 sites ok, 1 failing\n")));
    }

    // The checker asks every site at once, as a search does: each of two sites answers only
    // once the other has been asked. Blocked, empty and broken sites are told apart, and each
    // line names the request the site's test words make.
    void checkSitesAsksEverySiteAtOnce()
    {
        stage({{"left", farm_->url("/left")},
               {"right", farm_->url("/right")},
               {"limited", farm_->url("/limited")},
               {"nothing", farm_->url("/nothing"), "alpha", "英語", "AND OR",
                "NOHITS no-results\r\n"}});
        const auto afterOther = [this](const std::string &other, const std::string &body) {
            return [this, other, body](const Request &r) {
                const bool together = testsupport::waitFor(
                    [&] { return !farm_->requests(other).empty(); }, std::chrono::seconds(5));
                return page(r.param("p") == "1" && together ? body : std::string("<ol></ol>"));
            };
        };
        farm_->serve("/left", afterOther("/right", hits("/doc/l", 3)));
        farm_->serve("/right", afterOther("/left", hits("/doc/r", 3)));
        farm_->serve("/limited", status(429));
        farm_->serve("/nothing", page("<p class=no-results></p>"));
        Outcome o =
            run({QStringLiteral("--check-sites"), QStringLiteral("--time"), QStringLiteral("20")});
        QCOMPARE(o.status, int(kExitHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[0].startsWith(QStringLiteral("left\tok\t")), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(QStringLiteral("right\tok\t")), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(QStringLiteral("limited\tblocked\t")), qPrintable(lines[2]));
        QVERIFY2(lines[3].startsWith(QStringLiteral("nothing\tempty\t")), qPrintable(lines[3]));
        QVERIFY2(lines[0].contains(QString::fromStdString("\t" + farm_->url("/left") + "?q=alpha")),
                 qPrintable(lines[0]));
        QCOMPARE(lines[4], QStringLiteral("2 sites ok, 0 failing, 1 blocked, 1 empty"));

        // A catalogue that holds no site is no catalogue to pass.
        box_->write("sitelist.dat", runfixture::packCatalogue("garbage\r\n"));
        session_ = std::make_unique<Session>();
        o = run({QStringLiteral("--check-sites")});
        QCOMPARE(o.status, int(kExitBroken));
    }

    // A site from an OpenSearch description, read from a file or fetched from an address, joins
    // the user's own catalogue, is searched through its Atom template, and can be removed; a
    // description that offers HTML results only is refused, saying why.
    void importsAndRemovesOpenSearchSites()
    {
        stage({{"alpha", farm_->url("/alpha/search")}});
        const auto description = [this](const std::string &name, const std::string &type) {
            return opensearchfixture::description(name, type, farm_->url("/feed"));
        };
        box_->write("feedy.xml", description("Feedy", "application/atom+xml"));
        box_->write("html.xml", description("Pages", "text/html"));
        farm_->serve("/osd.xml", page(description("Fetched", "application/rss+xml")));
        farm_->serve("/feed", page("<feed xmlns=\"http://www.w3.org/2005/Atom\"></feed>"));

        Outcome o =
            run({QStringLiteral("--import-opensearch"), boxPath(QStringLiteral("feedy.xml"))});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out, QStringLiteral("added: Feedy\n"));
        session_ = std::make_unique<Session>();
        o = run({QStringLiteral("--import-opensearch"),
                 QString::fromStdString(farm_->url("/osd.xml"))});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out, QStringLiteral("added: Fetched\n"));
        session_ = std::make_unique<Session>();
        o = run({QStringLiteral("--import-opensearch"), boxPath(QStringLiteral("html.xml"))});
        QCOMPARE(o.status, int(kExitUsage));
        QVERIFY2(o.err.contains(QStringLiteral("HTML pages only")), qPrintable(o.err));
        // A shipped site's name is refused; the user's own site takes its newer description.
        box_->write("alpha.xml", description("alpha", "application/atom+xml"));
        for (const char *name : {"alpha.xml", "feedy.xml"}) {
            session_ = std::make_unique<Session>();
            o = run({QStringLiteral("--import-opensearch"), boxPath(QString::fromLatin1(name))});
            QCOMPARE(o.status, int(name[0] == 'a' ? kExitUsage : kExitHits));
        }

        session_ = std::make_unique<Session>();
        o = run({QStringLiteral("--site"), QStringLiteral("Feedy"), QStringLiteral("x")});
        QCOMPARE(farm_->requests("/feed").at(0).param("q"), std::string("x"));
        session_ = std::make_unique<Session>();
        o = run({QStringLiteral("--list-sites")});
        QVERIFY2(o.out.contains(QRegularExpression(QStringLiteral("\\tFeedy\\t.*\\tuser\\n"))),
                 qPrintable(o.out));
        QVERIFY(o.out.contains(QStringLiteral("Fetched")));
        QVERIFY(!o.out.contains(QStringLiteral("Pages")));

        session_ = std::make_unique<Session>();
        QCOMPARE(run({QStringLiteral("--remove-site"), QStringLiteral("Feedy")}).status,
                 int(kExitHits));
        session_ = std::make_unique<Session>();
        o = run({QStringLiteral("--list-sites")});
        QVERIFY(!o.out.contains(QStringLiteral("Feedy")) &&
                o.out.contains(QStringLiteral("alpha")));
        session_ = std::make_unique<Session>();
        QCOMPARE(run({QStringLiteral("--remove-site"), QStringLiteral("alpha")}).status,
                 int(kExitUsage));
    }

    // Page text is data: nothing in it may steer the terminal, split a line or become a
    // spreadsheet formula.
    void hitTextStaysText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tsv");
        QTest::addColumn<QString>("csv");
        // A CSV cell is the TSV cell but where the text would start a formula or needs
        // quoting.
        auto row = [](const char *tag, const char16_t *text, const char16_t *tsv,
                      const char16_t *csv = nullptr) {
            QTest::newRow(tag) << QString::fromUtf16(text) << QString::fromUtf16(tsv)
                               << QString::fromUtf16(csv ? csv : tsv);
        };
        row("screen clear", u"\x1b[2J\x1b[H", u" [2J [H");
        row("title change", u"\x1b]0;owned\a", u" ]0;owned ");
        row("file link", u"\x1b]8;;file:///etc/passwd\x1b\\x\x1b]8;;\x1b\\",
            u" ]8;;file:///etc/passwd \\x ]8;; \\");
        row("vt ff bs del",
            u"a\vb\fc\bd\x7f"
            u"e",
            u"a b c d e");
        row("line ends", u"a\tb\nc\rd", u"a b c d");
        row("nel and csi",
            u"a\x85"
            u"b\x9b"
            u"31mc",
            u"a b 31mc");
        row("separators",
            u"a\u2028"
            u"b\u2029"
            u"c",
            u"a b c");
        row("bidi", u"\u202Etxt.exe\u202C \u2066x\u2069\u200E\u200F\u061C\u202A",
            u" txt.exe   x     ");
        row("japanese", u"日本語　テスト", u"日本語　テスト");
        row("hyperlink formula", u"=HYPERLINK(\"http://x\",\"y\")",
            u"=HYPERLINK(\"http://x\",\"y\")", u"\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"");
        row("plus", u"+1+cmd|' /C calc'!A0", u"+1+cmd|' /C calc'!A0", u"'+1+cmd|' /C calc'!A0");
        row("minus", u"-2+3", u"-2+3", u"'-2+3");
        row("at", u"@SUM(A1)", u"@SUM(A1)", u"'@SUM(A1)");
        row("leading tab", u"\t=1", u" =1", u"' =1");
        row("leading cr", u"\r=1", u" =1", u"' =1");
        row("equals inside", u"a=b", u"a=b");
    }

    void hitTextStaysText()
    {
        QFETCH(QString, text);
        QFETCH(QString, tsv);
        QFETCH(QString, csv);
        // The text as title and as preview; every other cell empty.
        const QStringList row{text, QString(), text};
        QCOMPARE(FormatHit(HitFormat::Tsv, row, QString()),
                 tsv + QStringLiteral("\t\t") + tsv + QStringLiteral("\t\t\t\t"));
        QCOMPARE(FormatHit(HitFormat::Csv, row, QString()),
                 csv + QStringLiteral(",,") + csv + QStringLiteral(",,,,"));
        // JSON escapes every character a terminal or a line reader would act on.
        const QString json = FormatHit(HitFormat::Json, row, QString());
        for (const QChar c : json)
            QVERIFY2(FormatHit(HitFormat::Tsv, {QString(c)}, QString()).front() == c,
                     qPrintable(json.toUtf8().toPercentEncoding()));
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(json.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(object.value(QStringLiteral("title")).toString(), text);
    }

    // A page's character references come out decoded; what they name must still be text.
    void pageControlCharactersDoNotReachTheTerminal()
    {
        stage(two(), {{"both", {"alpha"}}});
        firstPage("/alpha/search",
                  hits("/doc/a", 2, "&#27;]0;owned&#7;&#27;[2J&#11;&#8232;&#8238;gpj.exe"));
        const Outcome o =
            run({QStringLiteral("--limit"), QStringLiteral("2"), QStringLiteral("x")});
        QCOMPARE(o.status, int(kExitHits));
        QCOMPARE(o.out.count(u'\n'), 2);
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].section(u'\t', 0, 0), QStringLiteral(" ]0;owned  [2J   gpj.exe 1"));
    }

    // Blanks alone are no keyword: the run would start nothing and wait for its end forever.
    void blankKeywordsAreAUsageError()
    {
        stage(two(), {{"both", {"alpha"}}});
        for (const QString &blank : {QString(), QStringLiteral("   "), QString::fromUtf8("　")}) {
            const Outcome o = run({blank});
            QCOMPARE(o.status, int(kExitUsage));
            QVERIFY2(o.err.contains(QStringLiteral("no keyword to search")), qPrintable(o.err));
        }
        QVERIFY(farm_->requests().empty());
    }

    // The command line as the program reads it, started where the user stands: relative
    // paths mean that directory; a report keeps the name given and is refused, before any
    // site is asked, where it can't be written; after "--" every word is a keyword, as
    // written; a site or topic is named by a unique start of its name; the User-Agent is the
    // library's own unless one is given.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("lines");         // of standard output
        QTest::addColumn<QString>("asked");     // "site:keywords" of every request; "" none
        QTest::addColumn<QString>("agent");     // the start of its User-Agent
        QTest::addColumn<QString>("err");       // a part of standard error
        QTest::addColumn<QStringList>("files"); // the reports, in the user's directory
        const QStringList search{QStringLiteral("-t"), QStringLiteral("both"),
                                 QStringLiteral("--limit"), QStringLiteral("2"),
                                 QStringLiteral("x")};
        const QString inet = QStringLiteral("INET");
        auto row = [&](const char *tag, const QStringList &args, int status, int lines,
                       const char *asked, const QString &err = QString(),
                       const QStringList &files = {}) {
            QTest::newRow(tag) << args << status << lines << QString::fromUtf8(asked) << inet << err
                               << files;
        };
        auto arg = [](const char *text) { return QString::fromUtf8(text); };
        row("report", search + QStringList{arg("--report"), arg("rel.htm")}, kExitHits, 2,
            "alpha:x", {}, {arg("rel.htm")});
        row("report=", search + QStringList{arg("--report=other.htm")}, kExitHits, 2, "alpha:x", {},
            {arg("other.htm")});
        row("report keeps its extension", search + QStringList{arg("--report"), arg("r.txt")},
            kExitHits, 2, "alpha:x", {}, {arg("r.txt")});
        row("report without an extension", search + QStringList{arg("--report"), arg("rel")},
            kExitHits, 2, "alpha:x", {}, {arg("rel.htm")});
        row("report is a directory", search + QStringList{arg("--report"), arg(".")}, kExitBroken,
            0, "", arg("is a directory"));
        row("report in no directory", search + QStringList{arg("--report"), arg("no/r.htm")},
            kExitBroken, 0, "", arg("can't be written"));
        row("report outside Shift_JIS", search + QStringList{arg("--report"), arg("résumé.htm")},
            kExitUsage, 0, "", arg("résumé.htm"));
        for (const char *words : {"--report foo", "-h", "--help"})
            row(words, QStringList{arg("-t"), arg("both"), arg("--")} + arg(words).split(u' '),
                kExitNoHits, 0, (std::string("alpha:") + words).c_str());
        row("site exact, whatever its case", {arg("-s"), arg("ALPHA"), arg("x")}, kExitHits, 2,
            "alpha:x");
        row("site start", {arg("-s"), arg("Be"), arg("x")}, kExitNoHits, 0, "beta:x");
        row("topic start", {arg("-t"), arg("BO"), arg("x")}, kExitHits, 2, "alpha:x");
        row("site start of several", {arg("-s"), arg("alph"), arg("x")}, kExitUsage, 0, "",
            arg("'alph' could be any of these sites:\n  alpha\n  alphabet\n"));
        row("help-all", {arg("--help-all")}, kExitUsage, 0, "", arg("help-all"));
        row("history with keywords", {arg("--history"), arg("x")}, kExitUsage, 0, "",
            arg("take only --format"));
        QTest::newRow("user agent")
            << (QStringList{arg("--user-agent"), arg("Probe/1.0 (x)")} + search) << int(kExitHits)
            << 2 << arg("alpha:x") << arg("Probe/1.0 (x)") << QString() << QStringList{};
        row("user agent of two lines", {arg("--user-agent"), arg("a\r\nX-Y: 1"), arg("x")},
            kExitUsage, 0, "", arg("--user-agent"));
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(int, lines);
        QFETCH(QString, asked);
        QFETCH(QString, agent);
        QFETCH(QString, err);
        QFETCH(QStringList, files);
        std::vector<CliSite> sites = two();
        sites.push_back({"alphabet", farm_->url("/alphabet/search")});
        stage(sites, {{"both", {"alpha"}}});
        // Two hits for "x"; a page without hits for any other keywords.
        for (const char *site : {"/alpha/search", "/beta/search", "/alphabet/search"})
            farm_->serve(site, [this, site](const Request &r) {
                return page(r.param("q") == "x" && r.param("p") == "1" &&
                                    std::string(site) == "/alpha/search"
                                ? hits("/doc/a", 2)
                                : std::string("<html>nothing</html>"));
            });
        const Outcome o = runProgram(args);
        QVERIFY2(o.status == status, qPrintable(o.err));
        QCOMPARE(o.out.count(u'\n'), lines);
        QVERIFY2(o.err.contains(err), qPrintable(o.err));
        const std::vector<Request> requests = farm_->requests();
        QCOMPARE(requests.empty(), asked.isEmpty());
        for (const Request &r : requests) {
            QCOMPARE(QString::fromStdString(r.path),
                     u'/' + asked.section(u':', 0, 0) + QStringLiteral("/search"));
            QVERIFY(QString::fromStdString(r.header("User-Agent")).startsWith(agent));
        }
        if (!requests.empty())
            QCOMPARE(QString::fromStdString(requests.front().param("q")), asked.section(u':', 1));
        QCOMPARE(filesIn(QStringLiteral("here")), files);
        for (const QString &file : files)
            QVERIFY(box_->read("here/" + file.toStdString()).find(farm_->url("/doc/a2")) !=
                    std::string::npos);
        QVERIFY(filesIn().filter(QStringLiteral(".htm")).isEmpty());
    }

    // Hits that could not be written are a failure, not a search without hits or a success.
    void failedStandardOutputIsStatusThree()
    {
        stage(two(), {{"both", {"alpha"}}});
        firstPage("/alpha/search", hits("/doc/a", 3));
        for (const QStringList &args :
             {QStringList{QStringLiteral("-t"), QStringLiteral("both"), QStringLiteral("--limit"),
                          QStringLiteral("3"), QStringLiteral("x")},
              QStringList{QStringLiteral("-t"), QStringLiteral("both"), QStringLiteral("--limit"),
                          QStringLiteral("3"), QStringLiteral("--check"), QStringLiteral("x")},
              QStringList{QStringLiteral("--list-sites")}}) {
            const Outcome o = runProgram(args, {}, QStringLiteral("/dev/full"));
            QVERIFY2(o.status == kExitBroken,
                     qPrintable(args.join(u' ') + QStringLiteral(": ") + o.err));
            QVERIFY2(o.err.contains(QStringLiteral("standard output could not be written")),
                     qPrintable(o.err));
        }
    }

    // Under a file-size limit the report's write fails (EFBIG) instead of killing the
    // program: its temporary file is gone and the failure is told.
    void reportPastTheFileSizeLimitFailsCleanly()
    {
        stage(two(), {{"both", {"alpha"}}});
        firstPage("/alpha/search", hits("/doc/a", 40));
        const Outcome o =
            runProgram({QStringLiteral("-t"), QStringLiteral("both"), QStringLiteral("--limit"),
                        QStringLiteral("40"), QStringLiteral("--report"), QStringLiteral("r.htm"),
                        QStringLiteral("x")},
                       [] { lowerSoftLimit(RLIMIT_FSIZE, 2048); });
        QCOMPARE(o.status, int(kExitBroken));
        QVERIFY2(o.err.contains(QStringLiteral("the report could not be written")),
                 qPrintable(o.err));
        QCOMPARE(o.out.count(u'\n'), 40);
        QVERIFY2(filesIn(QStringLiteral("here")).isEmpty(),
                 qPrintable(filesIn(QStringLiteral("here")).join(u' ')));
    }

    // 999 links at once under the usual soft limit of 1024 descriptors: the program raises
    // its limit, and every link gets a state from its server's answer.
    void checkOfEveryLinkFitsTheOpenFileLimit()
    {
        testsupport::raiseOpenFileLimit(); // the farm answers all of them at once
        std::vector<CliSite> sites;
        std::vector<std::string> names;
        for (int i = 0; i < 10; ++i) {
            const std::string name = "s" + std::to_string(i);
            sites.push_back({name, farm_->url("/" + name + "/search")});
            names.push_back(name);
            firstPage("/" + name + "/search", hits("/doc/" + name + "-", 100));
        }
        stage(sites, {{"all", names}});
        // Slow enough that every check is under way at once.
        farm_->servePrefix("/doc/", [](const Request &) {
            return page("fine").withDelay(std::chrono::milliseconds(500));
        });
        const Outcome o =
            runProgram({QStringLiteral("-t"), QStringLiteral("all"), QStringLiteral("--limit"),
                        QStringLiteral("100"), QStringLiteral("--check"), QStringLiteral("x")},
                       [] { lowerSoftLimit(RLIMIT_NOFILE, 1024); });
        QCOMPARE(o.status, int(kExitHits));
        const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 999);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("\tOK$"))).size(), 999);
        QVERIFY2(!o.err.contains(QStringLiteral("could not be checked")), qPrintable(o.err));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "cli_test.moc"
