// The help table filled at start-up from the library's help index.
#include "help/helptable.h"
#include "sandbox.h"

#include <QtTest>

class HelpTableTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entriesKeepTitlesPagesIconsAndLevels()
    {
        testsupport::Sandbox box;
        box.write("idxhelp.dat", testsupport::encode("3\r\n0 1 はじめに intro.htm\r\n"
                                                     "2 1.2.3 検索の手順 search.htm\r\n"
                                                     "5 2.1.1.1.1.9 深い deep.htm\r\n"));
        LoadHelp();
        const HelpTable &table = helpTable();
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
        LoadHelp();
        QCOMPARE(helpTable().count, 1);
        std::filesystem::remove(box.path() / "idxhelp.dat");
        LoadHelp();
        QCOMPARE(helpTable().count, 0);
        QCOMPARE(helpTable().entries[0].title, QString());
        box.write("idxhelp.dat", "-4 0 1 a a.htm");
        LoadHelp();
        QCOMPARE(helpTable().count, 0);
    }

    void aLargerIndexIsCutAt257()
    {
        testsupport::Sandbox box;
        std::string index = "400\n";
        for (int i = 0; i < 400; ++i)
            index += "1 " + std::to_string(i + 1) + " t" + std::to_string(i) + " p.htm\n";
        box.write("idxhelp.dat", index);
        LoadHelp();
        QCOMPARE(helpTable().count, kHelpEntries);
        QCOMPARE(helpTable().entries[256].title, QStringLiteral("t256"));
        QCOMPARE(helpTable().entries[256].levels[0], 257);
        // An index that promises more entries than it holds reads the rest as empty.
        box.write("idxhelp.dat", "5\n1 1 only one.htm\n");
        LoadHelp();
        QCOMPARE(helpTable().count, 5);
        QCOMPARE(helpTable().entries[0].title, QStringLiteral("only"));
        QCOMPARE(helpTable().entries[4].title, QString());
    }
};

QTEST_MAIN(HelpTableTest)
#include "helptable_test.moc"
