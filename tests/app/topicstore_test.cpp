// The topic store: reading and writing "TOPICS.DAT" and the operations the windows use.
#include "common/messagebox.h"
#include "common/progdir.h"
#include "common/runhooks.h"
#include "sandbox.h"
#include "settings/settings.h"
#include "topics/topicsfile.h"
#include "topics/topicstore.h"

#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <random>

namespace {

// Sites 0 .. n-1 with roots "http://s<i>/"; extra roots replace some of them.
void setSites(int n, const QMap<int, QString> &roots = {})
{
    SiteInfoList &list = siteInfoList();
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

std::vector<int32_t> members(int topic)
{
    const TopicRecord &t = topicStore().topics[topic];
    return std::vector<int32_t>(t.sites.begin(), t.sites.begin() + t.siteCount);
}

void load(const QByteArray &bytes)
{
    LoadTopicsFrom(bytes);
}

} // namespace

class TopicStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        setProgramDir(QString());
        setSites(10);
        settings() = Settings();
        msgbox::clearShown();
        msgbox::setAutoAnswer(true);
        topicStore() = TopicStore();
    }

    void readsRecordsAndWritesThemBackByteForByte()
    {
        const QByteArray file = cp932("TOPIC ニュース\r\nhttp://s3/\r\nhttp://s1/\r\nENDTOPIC\r\n"
                                      "TOPIC 空\r\nENDTOPIC\r\n");
        load(file);
        QCOMPARE(topicStore().count, 2);
        QCOMPARE(topicStore().topics[0].name, QString::fromUtf8("ニュース"));
        QCOMPARE(members(0), (std::vector<int32_t>{3, 1}));
        QCOMPARE(topicStore().topics[1].siteCount, 0);
        QCOMPARE(TopicsFileBytes(), file);
    }

    void linesOutsideRecordsAndHeaderRules()
    {
        load(cp932("# comment\r\nENDTOPIC\r\n\r\n"
                   "TOPIC\r\nhttp://s1/\r\nENDTOPIC\r\n"  // no blank: not a header
                   "TOPIC \r\nhttp://s2/\r\nENDTOPIC\r\n" // empty name
                   "TOPIC 名前 に空白   \r\nENDTOPICS and more\r\n"
                   "stray line\r\n"));
        QCOMPARE(topicStore().count, 2);
        QCOMPARE(topicStore().topics[0].name, QString());
        QCOMPARE(members(0), std::vector<int32_t>{2});
        // Kept whole in memory (trailing blanks dropped), cut at the blank when written.
        QCOMPARE(topicStore().topics[1].name, QString::fromUtf8("名前 に空白"));
        QCOMPARE(TopicsFileBytes(),
                 cp932("TOPIC \r\nhttp://s2/\r\nENDTOPIC\r\nTOPIC 名前\r\nENDTOPIC\r\n"));
    }

    void itemsSplitAtCommasAndQuotes()
    {
        setSites(4, {{3, QStringLiteral("http://x/a,b")}});
        load("TOPIC t\r\n  http://s1/,http://s2/\r\n\"http://x/a,b\" tail\r\nENDTOPIC\r\n");
        QCOMPARE(members(0), (std::vector<int32_t>{1, 2, 3}));
        // A root holding a comma is written quoted so it reads back as one member.
        const QByteArray written = TopicsFileBytes();
        QVERIFY(written.contains("\r\n\"http://x/a,b\"\r\n"));
        load(written);
        QCOMPARE(members(0), (std::vector<int32_t>{1, 2, 3}));
    }

    void fiftyMembersAtMostAndCutsAt1024()
    {
        setSites(60);
        QByteArray file = "TOPIC big\r\n";
        for (int i = 0; i < 51; ++i)
            file += QStringLiteral("http://s%1/\r\n").arg(i).toLatin1();
        file += "ENDTOPIC\r\nTOPIC " + QByteArray(2000, 'n') + "\r\nENDTOPIC\r\n";
        load(file);
        QCOMPARE(topicStore().count, 2);
        QCOMPARE(topicStore().topics[0].siteCount, 50);
        QCOMPARE(topicStore().topics[0].sites[49], 49);
        QCOMPARE(topicStore().topics[1].name.size(), 1018);
    }

    void duplicateRootsNameTheLowerSite()
    {
        setSites(5, {{1, QStringLiteral("http://same/")}, {4, QStringLiteral("http://same/  ")}});
        QCOMPARE(FindSiteByRoot(QStringLiteral("http://same/ x")), 1);
        QCOMPARE(FindSiteByRoot(QStringLiteral("http://same")), 5);
        QCOMPARE(FindSiteByRoot(QStringLiteral("HTTP://SAME/")), 5);
    }

    void currentTopicIsClampedAfterTheLoad()
    {
        settings().iTopic = 7;
        load("TOPIC a\r\nENDTOPIC\r\nTOPIC b\r\nENDTOPIC\r\nTOPIC c\r\nENDTOPIC\r\n");
        QCOMPARE(settings().iTopic, 2);
        load(QByteArray());
        QCOMPARE(settings().iTopic, -1);
        settings().iTopic = -1;
        UseTopic();
        QCOMPARE(runSites().count, 0);
    }

    void unknownRootsSurviveTheNextSave()
    {
        load("TOPIC t\r\nhttp://gone/\r\nhttp://s2/\r\nhttp://also-gone/ note\r\nENDTOPIC\r\n");
        QCOMPARE(members(0), std::vector<int32_t>{2});
        QCOMPARE(topicStore().topics[0].unknownRoots,
                 QStringList({"http://gone/", "http://also-gone/"}));
        QCOMPARE(TopicsFileBytes(), QByteArray("TOPIC t\r\nhttp://s2/\r\nhttp://gone/\r\n"
                                               "http://also-gone/\r\nENDTOPIC\r\n"));
        // Editing the members in the Topics window keeps them too.
        memberFlags().fill(0);
        memberFlags()[2] = 1;
        SetSiteFlag(0, 5, 1);
        QCOMPARE(members(0), (std::vector<int32_t>{2, 5}));
        QCOMPARE(topicStore().topics[0].unknownRoots.size(), 2);
        // They never reach a search.
        settings().iTopic = 0;
        UseTopic();
        QCOMPARE(runSites().count, 2);
    }

    void damagedRecordsKeepEveryTopic()
    {
        // A missing "ENDTOPIC" before the next header, and at the end of the file.
        load("TOPIC a\r\nhttp://s1/\r\nTOPIC b\r\nhttp://s2/\r\nENDTOPIC\r\nTOPIC c\r\nhttp://s3/");
        QCOMPARE(topicStore().count, 3);
        QCOMPARE(members(0), std::vector<int32_t>{1});
        QCOMPARE(members(1), std::vector<int32_t>{2});
        QCOMPARE(members(2), std::vector<int32_t>{3});
        QVERIFY(topicStore().topics[0].unknownRoots.isEmpty());
        // Lone LF and lone CR line ends read the same.
        load("TOPIC a\nhttp://s1/\rENDTOPIC\n");
        QCOMPARE(members(0), std::vector<int32_t>{1});
    }

    void moreRecordsThanSlotsStopAtTheLastSlot()
    {
        QByteArray file;
        for (int i = 0; i < 300; ++i)
            file += "TOPIC t" + QByteArray::number(i) + "\r\nhttp://s1/\r\nENDTOPIC\r\n";
        const TopicsParse parse = ParseTopics(file, topicStore());
        QVERIFY(parse.overflow);
        QCOMPARE(topicStore().count, kTopicSlots);
        QCOMPARE(topicStore().topics[256].name, QStringLiteral("t256"));
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
            load(file);
            QVERIFY(topicStore().count >= 0 && topicStore().count <= kTopicSlots);
            const QByteArray once = TopicsFileBytes();
            load(once);
            QCOMPARE(TopicsFileBytes(), once);
        }
    }

    void appendAndRemoveWithTheirMessages()
    {
        for (int i = 0; i < 256; ++i)
            QCOMPARE(AppendTopic(QStringLiteral("t%1").arg(i)), 1);
        QCOMPARE(AppendTopic(QStringLiteral("one more")), 0);
        QCOMPARE(topicStore().count, 256);
        QCOMPARE(msgbox::shown().size(), 1);
        QCOMPARE(msgbox::shown().at(0).text,
                 QString::fromUtf8("これ以上に検索テーマを作成できません。"));
        QCOMPARE(msgbox::shown().at(0).title, QString::fromUtf8("検索テーマの追加"));

        QCOMPARE(RemoveTopic(256), 0);
        QCOMPARE(RemoveTopic(-1), 0);
        QCOMPARE(msgbox::shown().at(1).text,
                 QString::fromUtf8("検索テーマは削除しませんでした。i=256"));
        QCOMPARE(msgbox::shown().at(1).title, QString::fromUtf8("検索テーマの削除"));
        QCOMPARE(topicStore().count, 256);

        topicStore().topics[1].siteCount = 1;
        topicStore().topics[1].sites[0] = 4;
        QCOMPARE(RemoveTopic(0), 1);
        QCOMPARE(topicStore().count, 255);
        QCOMPARE(topicStore().topics[0].name, QStringLiteral("t1"));
        QCOMPARE(members(0), std::vector<int32_t>{4});
        QCOMPARE(topicStore().topics[254].name, QStringLiteral("t255"));
        QCOMPARE(AppendTopic(QStringLiteral("again")), 1);
    }

    void setSiteFlagRebuildsInSiteOrder()
    {
        load("TOPIC t\r\nhttp://s5/\r\nhttp://s2/\r\nENDTOPIC\r\n");
        memberFlags().fill(0);
        for (int32_t s : members(0))
            memberFlags()[s] = 1;
        SetSiteFlag(0, 7, 1);
        QCOMPARE(members(0), (std::vector<int32_t>{2, 5, 7}));
        SetSiteFlag(0, 5, 0);
        QCOMPARE(members(0), (std::vector<int32_t>{2, 7}));
        // Out of range: nothing happens.
        SetSiteFlag(0, 10, 1);
        SetSiteFlag(0, -1, 1);
        SetSiteFlag(3, 1, 1);
        QCOMPARE(members(0), (std::vector<int32_t>{2, 7}));
        QCOMPARE(TopicHasSite(0, 7), 1);
        QCOMPARE(TopicHasSite(0, 5), 0);
        QCOMPARE(TopicHasSite(9, 7), 0);
    }

    void useTopicFillsTheRunSites()
    {
        load("TOPIC a\r\nENDTOPIC\r\nTOPIC b\r\nhttp://s6/\r\nhttp://s0/\r\nENDTOPIC\r\n");
        int32_t resetCount = -1;
        runHooks().resetSiteHits = [&](int32_t n) { resetCount = n; };
        settings().iTopic = 1;
        UseTopic();
        runHooks().resetSiteHits = nullptr;
        QCOMPARE(runSites().count, 2);
        QCOMPARE(runSites().sites[0], 6);
        QCOMPARE(runSites().sites[1], 0);
        QCOMPARE(resetCount, 2);
    }

    void saveReplacesTheFileOrKeepsTheOldOne()
    {
        testsupport::Sandbox box;
        box.write("TOPICS.DAT", "TOPIC old\r\nENDTOPIC\r\n");
        LoadTopics();
        AppendTopic(QStringLiteral("new"));
        QVERIFY(SaveTopics());
        QCOMPARE(box.read("TOPICS.DAT"),
                 std::string("TOPIC old\r\nENDTOPIC\r\nTOPIC new\r\nENDTOPIC\r\n"));
        QVERIFY(msgbox::shown().isEmpty());

        // A full disk: the write fails part-way, the old file stays whole and the user hears.
        for (int i = 0; i < 200; ++i)
            AppendTopic(QStringLiteral("filler topic %1").arg(i));
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const bool saved = SaveTopics();
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
        QVERIFY(!SaveTopics());
        QCOMPARE(msgbox::shown().size(), 2);
    }

    void anUnreadableFileIsNeverOverwritten()
    {
        testsupport::Sandbox box;
        QVERIFY(QDir(box.path().c_str()).mkdir("TOPICS.DAT"));
        LoadTopics();
        QCOMPARE(topicStore().count, 0);
        QCOMPARE(msgbox::shown().size(), 1);
        QVERIFY(!SaveTopics());
        QVERIFY(QFileInfo(QString::fromStdString((box.path() / "TOPICS.DAT").string())).isDir());
        // A missing file is simply an empty store.
        QVERIFY(QDir(box.path().c_str()).rmdir("TOPICS.DAT"));
        msgbox::clearShown();
        LoadTopics();
        QVERIFY(msgbox::shown().isEmpty());
        QVERIFY(SaveTopics());
        QCOMPARE(box.read("TOPICS.DAT"), std::string());
    }

    void textsCp932CantHoldAreWrittenVisibly()
    {
        testsupport::Sandbox box;
        AppendTopic(QString::fromUtf8("旅行😀"));
        QVERIFY(SaveTopics());
        QCOMPARE(QByteArray::fromStdString(box.read("TOPICS.DAT")),
                 cp932("TOPIC 旅行?\r\nENDTOPIC\r\n"));
        QCOMPARE(msgbox::shown().size(), 1);
        // Bytes that are no CP932 read as replacement characters and are written as "?".
        load("TOPIC a\x82\r\nENDTOPIC\r\n");
        QCOMPARE(topicStore().topics[0].name, QString::fromUtf16(u"a\xFFFD"));
    }
};

QTEST_MAIN(TopicStoreTest)
#include "topicstore_test.moc"
