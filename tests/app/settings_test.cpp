// The settings file "STARTUP.DAT" and the program's copy of the site catalogue.
#include "common/messagebox.h"
#include "core/progdir.h"
#include "core/settings.h"
#include "core/topicstore.h"
#include "sandbox.h"
#include "sessionfixture.h"

#include <QtTest>

namespace {

QByteArray cp932(const std::string &utf8)
{
    return QByteArray::fromStdString(testsupport::encode(utf8));
}

// The library reads "sitelist.dat" with every byte complemented.
void writeCatalogue(const testsupport::Sandbox &box, const std::string &utf8)
{
    std::string bytes = testsupport::encode(utf8);
    for (char &c : bytes)
        c = char(~c);
    box.write("sitelist.dat", bytes);
}

std::string sites(int n)
{
    std::string text;
    for (int i = 0; i < n; ++i) {
        const std::string k = std::to_string(i);
        text += "SITE サイト" + k + "\r\nLANG 日本語\r\nTYPE 検索\r\nSKEY キー " + k +
                "\r\nROOT http://s" + k + "/\r\nMEMO AND\r\nENDSITE\r\n";
    }
    return text;
}

const QByteArray kDefaultsFile = "Title=Velmora\r\niTopic=0\r\nLimitTime=120\r\nLimitLink=10\r\n"
                                 "HomeURL=" +
                                 QByteArray(kDefaultHomeURL) +
                                 "\r\nSearchMode=0\r\nShowSearching=0\r\nShowChecking=0\r\n"
                                 "AutoCheck=0\r\nAutoDelete=0\r\nCheckWait=60\r\nFontSize=9\r\n";

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

private Q_SLOTS:
    void init()
    {
        session_ = sessionfixture::fresh();
        setProgramDir(QString());
        msgbox::clearShown();
        msgbox::setAutoAnswer(true);
    }

    void defaultsAreWrittenAsTwelveLines()
    {
        QCOMPARE(SettingsFileBytes(ParseSettings(QByteArray())), kDefaultsFile);
        // What was written reads back as the same values.
        QCOMPARE(SettingsFileBytes(ParseSettings(kDefaultsFile)), kDefaultsFile);
    }

    // The history's two lines appear only when they differ from their defaults, so a file of
    // the defaults stays the twelve lines every version reads.
    void historyLinesOnlyWhenChanged()
    {
        Settings values;
        values.History = 0;
        values.HistoryRuns = 50;
        const QByteArray bytes = SettingsFileBytes(values);
        QVERIFY(bytes.endsWith("FontSize=9\r\nHistory=0\r\nHistoryRuns=50\r\n"));
        const Settings back = ParseSettings(bytes);
        QCOMPARE(back.History, 0);
        QCOMPARE(back.HistoryRuns, 50);
        QCOMPARE(ParseSettings("HistoryRuns=0\r\nHistory=7\r\n").HistoryRuns, 1);
        QCOMPARE(ParseSettings("HistoryRuns=0\r\nHistory=7\r\n").History, 1);
    }

    void linesAreReadAsTheyStand()
    {
        const Settings values = ParseSettings(cp932("LimitTime =5\r\n" // key ends with a blank
                                                    "limittime=6\r\n"  // keys are case-sensitive
                                                    "=LimitLink=7\r\n" // "=" first
                                                    "no sign here\r\n"
                                                    "Unknown=1\r\n"
                                                    "HomeURL=http://h/a b\r\n"
                                                    "Title=検索=速い\r\n"
                                                    "CheckWait=30\r\nCheckWait=-40\r\n"));
        QCOMPARE(values.LimitTime, 120);
        QCOMPARE(values.LimitLink, 10);
        QCOMPARE(values.HomeURL, QStringLiteral("http://h/a"));
        QCOMPARE(values.Title, QString::fromUtf8("検索=速い"));
        QCOMPARE(values.CheckWait, 1); // read as it stands, then clamped
    }

    void emptyTitleAndASingleLine()
    {
        Settings values = ParseSettings("Title=\r\n");
        QCOMPARE(values.Title, QString());
        QVERIFY(SettingsFileBytes(values).startsWith("Title=\r\niTopic=0\r\n"));
        values = ParseSettings("FontSize=14");
        Settings expected;
        expected.FontSize = 14;
        QCOMPARE(SettingsFileBytes(values), SettingsFileBytes(expected));
    }

    void numbersThatDontReadKeepTheEarlierValue()
    {
        const Settings values = ParseSettings("iTopic=3\r\niTopic=99999999999\r\n"
                                              "LimitTime=12abc\r\nLimitLink= 25 \r\n"
                                              "FontSize=-2147483648\r\nCheckWait=2147483648\r\n"
                                              "SearchMode=\r\nAutoCheck=1.5\r\n");
        QCOMPARE(values.iTopic, 3);
        QCOMPARE(values.LimitTime, 120);
        QCOMPARE(values.LimitLink, 25);
        QCOMPARE(values.FontSize, 1);
        QCOMPARE(values.CheckWait, 60);
        QCOMPARE(values.SearchMode, 0);
        QCOMPARE(values.AutoCheck, 0);
    }

    void hostileBytesGiveAFileThatReadsTheSame()
    {
        const QByteArray inputs[] = {QByteArray(100000, '='), QByteArray("Title=\x82\xff\x00x", 10),
                                     QByteArray("HomeURL=") + QByteArray(70000, 'u'),
                                     QByteArray("\r\r\n\n=\r=="), QByteArray("Title=\x81")};
        for (const QByteArray &input : inputs) {
            const QByteArray once = SettingsFileBytes(ParseSettings(input));
            QCOMPARE(SettingsFileBytes(ParseSettings(once)), once);
        }
    }

    void loadAndSaveTheFile()
    {
        testsupport::Sandbox box;
        LoadSettings(*session_); // missing file: the defaults, silently
        QVERIFY(msgbox::shown().isEmpty());
        box.write("STARTUP.DAT", "FontSize=12\r\nTitle=Mine\r\n");
        LoadSettings(*session_);
        QCOMPARE(session_->settings.FontSize, 12);
        session_->settings.LimitTime = 30;
        QVERIFY(SaveSettings(*session_));
        QByteArray expected = kDefaultsFile;
        expected.replace("Title=Velmora", "Title=Mine")
            .replace("LimitTime=120", "LimitTime=30")
            .replace("FontSize=9", "FontSize=12");
        QCOMPARE(QByteArray::fromStdString(box.read("STARTUP.DAT")), expected);

        // A folder that can't be written: the old file stays, the user is told through the
        // session's notice, which the window program shows as a box with the critical icon.
        setProgramDir(QString::fromStdString((box.path() / "missing").string()));
        QSignalSpy notices(session_.get(), &Session::notice);
        QVERIFY(!SaveSettings(*session_));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0).at(2).value<NoticeLevel>(), NoticeLevel::Critical);
        QCOMPARE(msgbox::shown().size(), 1);
        QVERIFY(msgbox::shown().at(0).text.startsWith(
            QString::fromUtf8("STARTUP.DATを保存できませんでした。")));
        QCOMPARE(QByteArray::fromStdString(box.read("STARTUP.DAT")), expected);
    }

    // Hand-edited numbers come into the ranges the settings window accepts, and the file
    // written back holds what the program used.
    void numbersAreClampedOnLoadAndWrittenBackClamped()
    {
        testsupport::Sandbox box;
        box.write("STARTUP.DAT", "LimitTime=-1\r\nLimitLink=-5\r\nCheckWait=99999\r\n"
                                 "FontSize=0\r\nShowSearching=7\r\nAutoCheck=-2\r\n"
                                 "ShowChecking=1\r\nSearchMode=5\r\niTopic=4\r\n");
        LoadSettings(*session_);
        const Settings &s = session_->settings;
        QCOMPARE(s.LimitTime, 0);
        QCOMPARE(s.LimitLink, 1);
        QCOMPARE(s.CheckWait, 3600);
        QCOMPARE(s.FontSize, 1);
        QCOMPARE(s.ShowSearching, 1);
        QCOMPARE(s.AutoCheck, 0);
        QCOMPARE(s.ShowChecking, 1);
        QCOMPARE(s.SearchMode, 5); // not the settings window's: left as it stands
        QVERIFY(SaveSettings(*session_));
        QByteArray expected = kDefaultsFile;
        expected.replace("iTopic=0", "iTopic=4")
            .replace("LimitTime=120", "LimitTime=0")
            .replace("LimitLink=10", "LimitLink=1")
            .replace("SearchMode=0", "SearchMode=5")
            .replace("ShowSearching=0", "ShowSearching=1")
            .replace("ShowChecking=0", "ShowChecking=1")
            .replace("CheckWait=60", "CheckWait=3600")
            .replace("FontSize=9", "FontSize=1");
        QCOMPARE(QByteArray::fromStdString(box.read("STARTUP.DAT")), expected);
    }

    void siteInfoComesFromTheCatalogue()
    {
        testsupport::Sandbox box;
        writeCatalogue(box, sites(3) + "SITE 名前が長い" + std::string(600, 'x') +
                                "\r\nROOT http://long/ tail\r\nENDSITE\r\n");
        QCOMPARE(LoadSiteInfo(*session_), 4);
        const SiteInfoList &list = session_->sites;
        QCOMPARE(list.count, 4);
        QCOMPARE(list.sites[1].name, QString::fromUtf8("サイト1"));
        QCOMPARE(list.sites[1].language, QString::fromUtf8("日本語"));
        QCOMPARE(list.sites[1].searchKey, QString::fromUtf8("キー 1"));
        QCOMPARE(list.sites[2].root, QStringLiteral("http://s2/"));
        QCOMPARE(list.sites[2].memo, QStringLiteral("AND"));
        // A name longer than its field arrives cut to the field, never cut inside a character.
        QVERIFY(list.sites[3].name.startsWith(QString::fromUtf8("名前が長い")));
        QVERIFY(list.sites[3].name.size() <= 255);
        QCOMPARE(list.sites[3].root, QStringLiteral("http://long/ tail"));
        QVERIFY(msgbox::shown().isEmpty());
    }

    void siteCountIsClippedTo101()
    {
        testsupport::Sandbox box;
        writeCatalogue(box, sites(130));
        QCOMPARE(LoadSiteInfo(*session_), 130);
        QCOMPARE(session_->sites.count, 101);
        QCOMPARE(session_->sites.sites[100].root, QStringLiteral("http://s100/"));
        QCOMPARE(FindSiteByRoot(session_->sites, QStringLiteral("http://s120/")), 101);
    }

    void emptyAndMissingCatalogues()
    {
        testsupport::Sandbox box;
        writeCatalogue(box, "# no sites here\r\n");
        QCOMPARE(LoadSiteInfo(*session_), 0);
        QCOMPARE(session_->sites.count, 0);
        QVERIFY(msgbox::shown().isEmpty());

        std::filesystem::remove(box.path() / "sitelist.dat");
        QVERIFY(LoadSiteInfo(*session_) < 0);
        QCOMPARE(session_->sites.count, 0);
        QCOMPARE(msgbox::shown().size(), 1);
        QCOMPARE(msgbox::shown().at(0).text, QStringLiteral("LoadSite Error=-5001"));
        QCOMPARE(msgbox::shown().at(0).title, QStringLiteral("Velmora"));
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
