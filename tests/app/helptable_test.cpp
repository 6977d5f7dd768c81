// The help table filled at start-up from the library's help index.
#include "core/helptable.h"
#include "sandbox.h"
#include "sessionfixture.h"

#include <QtTest>

class HelpTableTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

private Q_SLOTS:
    void init() { session_ = sessionfixture::fresh(); }
    void entriesKeepTitlesPagesIconsAndLevels()
    {
        testsupport::Sandbox box;
        box.write("idxhelp.dat", testsupport::encode("3\r\n0 1 はじめに intro.htm\r\n"
                                                     "2 1.2.3 検索の手順 search.htm\r\n"
                                                     "5 2.1.1.1.1.9 深い deep.htm\r\n"));
        LoadHelp(session_->help);
        const HelpTable &table = session_->help;
        QCOMPARE(table.count, 3);
        QCOMPARE(table.entries[0].title, QString::fromUtf8("はじめに"));
        QCOMPARE(table.entries[0].page, QStringLiteral("intro.htm"));
        QCOMPARE(table.entries[0].levels, (std::array<int32_t, 6>{1, 0, 0, 0, 0, 0}));
        QCOMPARE(table.entries[1].icon, 2);
        QCOMPARE(table.entries[1].title, QString::fromUtf8("検索の手順"));
        QCOMPARE(table.entries[1].levels, (std::array<int32_t, 6>{1, 2, 3, 0, 0, 0}));
        QCOMPARE(table.entries[2].levels, (std::array<int32_t, 6>{2, 1, 1, 1, 1, 0}));
    }

    void aMissingIndexGivesAnEmptyTable()
    {
        testsupport::Sandbox box;
        box.write("idxhelp.dat", "1 0 1 a a.htm");
        LoadHelp(session_->help);
        QCOMPARE(session_->help.count, 1);
        std::filesystem::remove(box.path() / "idxhelp.dat");
        LoadHelp(session_->help);
        QCOMPARE(session_->help.count, 0);
        QCOMPARE(session_->help.entries[0].title, QString());
        box.write("idxhelp.dat", "-4 0 1 a a.htm");
        LoadHelp(session_->help);
        QCOMPARE(session_->help.count, 0);
    }

    void aLargerIndexIsCutAt257()
    {
        testsupport::Sandbox box;
        std::string index = "400\n";
        for (int i = 0; i < 400; ++i)
            index += "1 " + std::to_string(i + 1) + " t" + std::to_string(i) + " p.htm\n";
        box.write("idxhelp.dat", index);
        LoadHelp(session_->help);
        QCOMPARE(session_->help.count, kHelpEntries);
        QCOMPARE(session_->help.entries[256].title, QStringLiteral("t256"));
        QCOMPARE(session_->help.entries[256].levels[0], 257);
        // An index that promises more entries than it holds reads the rest as empty.
        box.write("idxhelp.dat", "5\n1 1 only one.htm\n");
        LoadHelp(session_->help);
        QCOMPARE(session_->help.count, 5);
        QCOMPARE(session_->help.entries[0].title, QStringLiteral("only"));
        QCOMPARE(session_->help.entries[4].title, QString());
    }
};

QTEST_MAIN(HelpTableTest)
#include "helptable_test.moc"
