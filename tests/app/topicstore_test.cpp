// The topic store: reading and writing "TOPICS.DAT" and the operations the windows use.
#include "common/messagebox.h"
#include "core/progdir.h"
#include "core/settings.h"
#include "core/topicsfile.h"
#include "core/topicstore.h"
#include "sandbox.h"
#include "sessionfixture.h"

#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <random>

namespace {

// Sites 0 .. n-1 with roots "http://s<i>/"; extra roots replace some of them.
void setSites(Session &session, int n, const QMap<int, QString> &roots = {})
{
    SiteInfoList &list = session.sites;
    list = SiteInfoList();
    list.count = n;
    for (int i = 0; i < n; ++i) {
        list.sites[i].name = QStringLiteral("site%1").arg(i);
        list.sites[i].root = roots.value(i, QStringLiteral("http://s%1/").arg(i));
    }
}

QByteArray cp932(const std::string &utf8)
{
    return QByteArray::fromStdString(testsupport::encode(utf8));
}

std::vector<int32_t> members(Session &session, int topic)
{
    const TopicRecord &t = session.topics.topics[topic];
    return std::vector<int32_t>(t.sites.begin(), t.sites.begin() + t.siteCount);
}

void load(Session &session, const QByteArray &bytes)
{
    LoadTopicsFrom(session, bytes);
}

} // namespace

class TopicStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

private Q_SLOTS:
    void init()
    {
        session_ = sessionfixture::fresh();
        setProgramDir(QString());
        setSites(*session_, 10);
        msgbox::clearShown();
        msgbox::setAutoAnswer(true);
    }

    void readsRecordsAndWritesThemBackByteForByte()
    {
        const QByteArray file = cp932("TOPIC ニュース\r\nhttp://s3/\r\nhttp://s1/\r\nENDTOPIC\r\n"
                                      "TOPIC 空\r\nENDTOPIC\r\n");
        load(*session_, file);
        QCOMPARE(session_->topics.count, 2);
        QCOMPARE(session_->topics.topics[0].name, QString::fromUtf8("ニュース"));
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{3, 1}));
        QCOMPARE(session_->topics.topics[1].siteCount, 0);
        QCOMPARE(TopicsFileBytes(*session_), file);
    }

    void linesOutsideRecordsAndHeaderRules()
    {
        load(*session_, cp932("# comment\r\nENDTOPIC\r\n\r\n"
                              "TOPIC\r\nhttp://s1/\r\nENDTOPIC\r\n"  // no blank: not a header
                              "TOPIC \r\nhttp://s2/\r\nENDTOPIC\r\n" // empty name
                              "TOPIC 名前 に空白   \r\nENDTOPICS and more\r\n"
                              "stray line\r\n"));
        QCOMPARE(session_->topics.count, 2);
        QCOMPARE(session_->topics.topics[0].name, QString());
        QCOMPARE(members(*session_, 0), std::vector<int32_t>{2});
        // Kept whole in memory (trailing blanks dropped), cut at the blank when written.
        QCOMPARE(session_->topics.topics[1].name, QString::fromUtf8("名前 に空白"));
        QCOMPARE(TopicsFileBytes(*session_),
                 cp932("TOPIC \r\nhttp://s2/\r\nENDTOPIC\r\nTOPIC 名前\r\nENDTOPIC\r\n"));
    }

    void itemsSplitAtCommasAndQuotes()
    {
        setSites(*session_, 4, {{3, QStringLiteral("http://x/a,b")}});
        load(*session_,
             "TOPIC t\r\n  http://s1/,http://s2/\r\n\"http://x/a,b\" tail\r\nENDTOPIC\r\n");
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{1, 2, 3}));
        // A root holding a comma is written quoted so it reads back as one member.
        const QByteArray written = TopicsFileBytes(*session_);
        QVERIFY(written.contains("\r\n\"http://x/a,b\"\r\n"));
        load(*session_, written);
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{1, 2, 3}));
    }

    void fiftyMembersAtMostAndCutsAt1024()
    {
        setSites(*session_, 60);
        QByteArray file = "TOPIC big\r\n";
        for (int i = 0; i < 51; ++i)
            file += QStringLiteral("http://s%1/\r\n").arg(i).toLatin1();
        file += "ENDTOPIC\r\nTOPIC " + QByteArray(2000, 'n') + "\r\nENDTOPIC\r\n";
        load(*session_, file);
        QCOMPARE(session_->topics.count, 2);
        QCOMPARE(session_->topics.topics[0].siteCount, 50);
        QCOMPARE(session_->topics.topics[0].sites[49], 49);
        QCOMPARE(session_->topics.topics[1].name.size(), 1018);
    }

    void duplicateRootsNameTheLowerSite()
    {
        setSites(*session_, 5,
                 {{1, QStringLiteral("http://same/")}, {4, QStringLiteral("http://same/  ")}});
        QCOMPARE(FindSiteByRoot(session_->sites, QStringLiteral("http://same/ x")), 1);
        QCOMPARE(FindSiteByRoot(session_->sites, QStringLiteral("http://same")), 5);
        QCOMPARE(FindSiteByRoot(session_->sites, QStringLiteral("HTTP://SAME/")), 5);
    }

    void currentTopicIsClampedAfterTheLoad()
    {
        session_->settings.iTopic = 7;
        load(*session_, "TOPIC a\r\nENDTOPIC\r\nTOPIC b\r\nENDTOPIC\r\nTOPIC c\r\nENDTOPIC\r\n");
        QCOMPARE(session_->settings.iTopic, 2);
        load(*session_, QByteArray());
        QCOMPARE(session_->settings.iTopic, -1);
        session_->settings.iTopic = -1;
        UseTopic(*session_);
        QCOMPARE(session_->runSites.count, 0);
    }

    void unknownRootsSurviveTheNextSave()
    {
        load(*session_,
             "TOPIC t\r\nhttp://gone/\r\nhttp://s2/\r\nhttp://also-gone/ note\r\nENDTOPIC\r\n");
        QCOMPARE(members(*session_, 0), std::vector<int32_t>{2});
        QCOMPARE(session_->topics.topics[0].unknownRoots,
                 QStringList({"http://gone/", "http://also-gone/"}));
        QCOMPARE(TopicsFileBytes(*session_), QByteArray("TOPIC t\r\nhttp://s2/\r\nhttp://gone/\r\n"
                                                        "http://also-gone/\r\nENDTOPIC\r\n"));
        // Editing the members in the Topics window keeps them too.
        session_->memberFlags.fill(0);
        session_->memberFlags[2] = 1;
        SetSiteFlag((*session_), 0, 5, 1);
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{2, 5}));
        QCOMPARE(session_->topics.topics[0].unknownRoots.size(), 2);
        // They never reach a search.
        session_->settings.iTopic = 0;
        UseTopic(*session_);
        QCOMPARE(session_->runSites.count, 2);
    }

    void damagedRecordsKeepEveryTopic()
    {
        // A missing "ENDTOPIC" before the next header, and at the end of the file.
        load(*session_,
             "TOPIC a\r\nhttp://s1/\r\nTOPIC b\r\nhttp://s2/\r\nENDTOPIC\r\nTOPIC c\r\nhttp://s3/");
        QCOMPARE(session_->topics.count, 3);
        QCOMPARE(members(*session_, 0), std::vector<int32_t>{1});
        QCOMPARE(members(*session_, 1), std::vector<int32_t>{2});
        QCOMPARE(members(*session_, 2), std::vector<int32_t>{3});
        QVERIFY(session_->topics.topics[0].unknownRoots.isEmpty());
        // Lone LF and lone CR line ends read the same.
        load(*session_, "TOPIC a\nhttp://s1/\rENDTOPIC\n");
        QCOMPARE(members(*session_, 0), std::vector<int32_t>{1});
    }

    void moreRecordsThanSlotsStopAtTheLastSlot()
    {
        QByteArray file;
        for (int i = 0; i < 300; ++i)
            file += "TOPIC t" + QByteArray::number(i) + "\r\nhttp://s1/\r\nENDTOPIC\r\n";
        const TopicsParse parse = ParseTopics(file, session_->topics, session_->sites);
        QVERIFY(parse.overflow);
        QCOMPARE(session_->topics.count, kTopicSlots);
        QCOMPARE(session_->topics.topics[256].name, QStringLiteral("t256"));
    }

    void hostileBytesNeverBreakTheNextSave()
    {
        std::mt19937 random(5);
        const QByteArray pieces[] = {
            "TOPIC ",           "ENDTOPIC", "\r\n", "\n",       ",", "\"", "http://s1/",
            "http://s7/",       "\x82",     "\xff", "\x81\x40", " ", "\t", QByteArray(3000, 'x'),
            QByteArray(1, '\0')};
        for (int round = 0; round < 300; ++round) {
            QByteArray file;
            const int n = int(random() % 80);
            for (int i = 0; i < n; ++i)
                file += pieces[random() % std::size(pieces)];
            load(*session_, file);
            QVERIFY(session_->topics.count >= 0 && session_->topics.count <= kTopicSlots);
            const QByteArray once = TopicsFileBytes(*session_);
            load(*session_, once);
            QCOMPARE(TopicsFileBytes(*session_), once);
        }
    }

    void appendAndRemoveWithTheirMessages()
    {
        for (int i = 0; i < 256; ++i)
            QCOMPARE(AppendTopic((*session_), QStringLiteral("t%1").arg(i)), 1);
        QCOMPARE(AppendTopic((*session_), QStringLiteral("one more")), 0);
        QCOMPARE(session_->topics.count, 256);
        QCOMPARE(msgbox::shown().size(), 1);
        QCOMPARE(msgbox::shown().at(0).text,
                 QString::fromUtf8("これ以上に検索テーマを作成できません。"));
        QCOMPARE(msgbox::shown().at(0).title, QString::fromUtf8("検索テーマの追加"));

        QCOMPARE(RemoveTopic((*session_), 256), 0);
        QCOMPARE(RemoveTopic((*session_), -1), 0);
        QCOMPARE(msgbox::shown().at(1).text,
                 QString::fromUtf8("検索テーマは削除しませんでした。i=256"));
        QCOMPARE(msgbox::shown().at(1).title, QString::fromUtf8("検索テーマの削除"));
        QCOMPARE(session_->topics.count, 256);

        session_->topics.topics[1].siteCount = 1;
        session_->topics.topics[1].sites[0] = 4;
        QCOMPARE(RemoveTopic((*session_), 0), 1);
        QCOMPARE(session_->topics.count, 255);
        QCOMPARE(session_->topics.topics[0].name, QStringLiteral("t1"));
        QCOMPARE(members(*session_, 0), std::vector<int32_t>{4});
        QCOMPARE(session_->topics.topics[254].name, QStringLiteral("t255"));
        QCOMPARE(AppendTopic((*session_), QStringLiteral("again")), 1);
    }

    void setSiteFlagRebuildsInSiteOrder()
    {
        load(*session_, "TOPIC t\r\nhttp://s5/\r\nhttp://s2/\r\nENDTOPIC\r\n");
        session_->memberFlags.fill(0);
        for (int32_t s : members(*session_, 0))
            session_->memberFlags[s] = 1;
        SetSiteFlag((*session_), 0, 7, 1);
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{2, 5, 7}));
        SetSiteFlag((*session_), 0, 5, 0);
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{2, 7}));
        // Out of range: nothing happens.
        SetSiteFlag((*session_), 0, 10, 1);
        SetSiteFlag((*session_), 0, -1, 1);
        SetSiteFlag((*session_), 3, 1, 1);
        QCOMPARE(members(*session_, 0), (std::vector<int32_t>{2, 7}));
        QCOMPARE(TopicHasSite(session_->topics, 0, 7), 1);
        QCOMPARE(TopicHasSite(session_->topics, 0, 5), 0);
        QCOMPARE(TopicHasSite(session_->topics, 9, 7), 0);
    }

    void useTopicFillsTheRunSites()
    {
        load(*session_,
             "TOPIC a\r\nENDTOPIC\r\nTOPIC b\r\nhttp://s6/\r\nhttp://s0/\r\nENDTOPIC\r\n");
        // The hits the last search took per slot belong to other sites now: the topic's
        // entries are reset, the rest left.
        for (int32_t &hits : session_->run.SiteHits)
            hits = 7;
        session_->settings.iTopic = 1;
        UseTopic(*session_);
        QCOMPARE(session_->runSites.count, 2);
        QCOMPARE(session_->runSites.sites[0], 6);
        QCOMPARE(session_->runSites.sites[1], 0);
        QCOMPARE(session_->run.SiteHits[0], 0);
        QCOMPARE(session_->run.SiteHits[1], 0);
        QCOMPARE(session_->run.SiteHits[2], 7);
    }

    void saveReplacesTheFileOrKeepsTheOldOne()
    {
        testsupport::Sandbox box;
        box.write("TOPICS.DAT", "TOPIC old\r\nENDTOPIC\r\n");
        LoadTopics(*session_);
        AppendTopic((*session_), QStringLiteral("new"));
        QVERIFY(SaveTopics(*session_));
        QCOMPARE(box.read("TOPICS.DAT"),
                 std::string("TOPIC old\r\nENDTOPIC\r\nTOPIC new\r\nENDTOPIC\r\n"));
        QVERIFY(msgbox::shown().isEmpty());

        // A full disk: the write fails part-way, the old file stays whole and the user hears.
        for (int i = 0; i < 200; ++i)
            AppendTopic((*session_), QStringLiteral("filler topic %1").arg(i));
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const bool saved = SaveTopics(*session_);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        QVERIFY(!saved);
        QCOMPARE(box.read("TOPICS.DAT"),
                 std::string("TOPIC old\r\nENDTOPIC\r\nTOPIC new\r\nENDTOPIC\r\n"));
        QCOMPARE(msgbox::shown().size(), 1);
        QVERIFY(msgbox::shown().at(0).text.startsWith(
            QString::fromUtf8("TOPICS.DATを保存できませんでした。")));
        QCOMPARE(QDir(box.path().c_str()).entryList(QDir::Files), QStringList{"TOPICS.DAT"});

        // A folder that can't be written.
        setProgramDir(QString::fromStdString((box.path() / "missing").string()));
        QVERIFY(!SaveTopics(*session_));
        QCOMPARE(msgbox::shown().size(), 2);
    }

    void anUnreadableFileIsNeverOverwritten()
    {
        testsupport::Sandbox box;
        QVERIFY(QDir(box.path().c_str()).mkdir("TOPICS.DAT"));
        LoadTopics(*session_);
        QCOMPARE(session_->topics.count, 0);
        QCOMPARE(msgbox::shown().size(), 1);
        QVERIFY(!SaveTopics(*session_));
        QVERIFY(QFileInfo(QString::fromStdString((box.path() / "TOPICS.DAT").string())).isDir());
        // A missing file is simply an empty store.
        QVERIFY(QDir(box.path().c_str()).rmdir("TOPICS.DAT"));
        msgbox::clearShown();
        LoadTopics(*session_);
        QVERIFY(msgbox::shown().isEmpty());
        QVERIFY(SaveTopics(*session_));
        QCOMPARE(box.read("TOPICS.DAT"), std::string());
    }

    void textsCp932CantHoldAreWrittenVisibly()
    {
        testsupport::Sandbox box;
        AppendTopic((*session_), QString::fromUtf8("旅行😀"));
        QVERIFY(SaveTopics(*session_));
        QCOMPARE(QByteArray::fromStdString(box.read("TOPICS.DAT")),
                 cp932("TOPIC 旅行?\r\nENDTOPIC\r\n"));
        QCOMPARE(msgbox::shown().size(), 1);
        // Bytes that are no CP932 read as replacement characters and are written as "?".
        load(*session_, "TOPIC a\x82\r\nENDTOPIC\r\n");
        QCOMPARE(session_->topics.topics[0].name, QString::fromUtf16(u"a\xFFFD"));
    }
};

QTEST_MAIN(TopicStoreTest)
#include "topicstore_test.moc"
