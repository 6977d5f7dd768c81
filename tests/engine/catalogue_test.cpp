#include "catalogue.h"
#include "sandbox.h"
#include "sitelist_fixture.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace testsupport;
using tessel::SiteField;

namespace {

std::string field(int32_t index, SiteField f)
{
    const tessel::SiteRecord *s = tessel::site(index);
    return s ? decode(s->field[f]) : "<no site>";
}

std::vector<std::string> list(int32_t index, SiteField f)
{
    std::vector<std::string> out;
    const tessel::SiteRecord *s = tessel::site(index);
    for (const char *e = s->field[f]; *e; e += std::strlen(e) + 1)
        out.push_back(decode(e));
    return out;
}

struct Header {
    char bytes[TESSEL_SITE_HEADER_SIZE + 16];
    Header() { std::memset(bytes, '#', sizeof bytes); }
    std::string at(int offset) const { return decode(bytes + offset); }
};

} // namespace

TEST(LoadSite, ReadsEveryFieldOfEverySiteInFileOrder)
{
    Sandbox box;
    writeSiteList(box, "SITE 日本の検索\r\nLANG 日本語\r\nTYPE 全文\r\nSKEY キー\r\n"
                       "ROOT http://a.example/\r\nMEMO AND OR EUC\r\nTEST テスト\r\n"
                       "HOST http://a.example\r\n"
                       "AND http://a.example/s?q=_WORD1_ post://a.example/p?q=_WORD1_\r\n"
                       "OR https://a.example/s?q=_WORD1_\r\n"
                       "SEARCH <ol> LOOP\r\n<li> END\r\nENDSITE\r\n"
                       "SITE second\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 2);
    EXPECT_EQ(field(0, tessel::kName), "日本の検索");
    EXPECT_EQ(field(0, tessel::kLang), "日本語");
    EXPECT_EQ(field(0, tessel::kType), "全文");
    EXPECT_EQ(field(0, tessel::kSkey), "キー");
    EXPECT_EQ(field(0, tessel::kRoot), "http://a.example/");
    EXPECT_EQ(field(0, tessel::kMemo), "AND OR EUC");
    EXPECT_EQ(field(0, tessel::kTest), "テスト");
    EXPECT_EQ(field(0, tessel::kHost), "http://a.example");
    EXPECT_EQ(
        list(0, tessel::kAndList),
        (std::vector<std::string>{"http://a.example/s?q=_WORD1_", "post://a.example/p?q=_WORD1_"}));
    EXPECT_EQ(list(0, tessel::kOrList), std::vector<std::string>{"https://a.example/s?q=_WORD1_"});
    EXPECT_EQ(list(0, tessel::kScript), (std::vector<std::string>{"<ol>", "LOOP", "<li>", "END"}));
    EXPECT_EQ(field(1, tessel::kName), "second");
    EXPECT_TRUE(tessel::memoHas(0, "EUC"));
    EXPECT_FALSE(tessel::memoHas(1, "EUC"));

    // Fields the file doesn't give are the pool's one shared empty string.
    const tessel::SiteRecord *second = tessel::site(1);
    for (int f = tessel::kLang; f < tessel::kFieldCount; ++f)
        EXPECT_EQ(second->field[f], tessel::catalogue().pool) << "field " << f;
    EXPECT_EQ(tessel::site(2), nullptr);
    EXPECT_EQ(std::filesystem::path(tessel::catalogue().startDir), box.path());
}

TEST(LoadSite, ReportsMissingEmptyAndOversizedFiles)
{
    Sandbox box;
    EXPECT_EQ(LoadSite(), TESSEL_E_NO_SITELIST);
    std::filesystem::create_directory(box.path() / "sitelist.dat");
    EXPECT_EQ(LoadSite(), TESSEL_E_NO_SITELIST);
    std::filesystem::remove(box.path() / "sitelist.dat");
    box.write("sitelist.dat", "");
    EXPECT_EQ(LoadSite(), TESSEL_E_EMPTY_SITELIST);

    // A file one byte over the text buffer is refused whole and leaves nothing loaded.
    std::string site = "SITE x\r\nENDSITE\r\n";
    std::string big;
    while (big.size() + site.size() <= 80000)
        big += site;
    big.append(80000 - big.size(), ' ');
    writeSiteListBytes(box, big);
    EXPECT_EQ(LoadSite(), 500);
    writeSiteListBytes(box, big + " ");
    EXPECT_EQ(LoadSite(), TESSEL_E_SITELIST_TOO_BIG);
    EXPECT_EQ(tessel::site(0), nullptr);
    char record[TESSEL_SITE_HEADER_SIZE];
    EXPECT_EQ(SiteHeader(record, 0), TESSEL_E_NO_SITE);
}

TEST(LoadSite, StatementsFollowTheKeywordAndLineRules)
{
    Sandbox box;
    writeSiteList(box,
                  // a word that begins with a keyword is that keyword, the rest its value
                  "SITENAME  x  \n"
                  // a keyword alone on its line takes the whole next line, keyword and all
                  "MEMO\n\nTEST line\n"
                  // lower case and unknown words: the line is skipped
                  "type lower\n# comment TYPE no\n"
                  // ideographic spaces (Shift_JIS 81 40) between statements are blanks
                  "\u3000\u3000LANG ja\rROOT r\r\n"
                  // a statement given twice keeps the later value
                  "SKEY first\nSKEY second\n"
                  "ENDSITE"
                  // statements after the last ENDSITE fill a site that is never counted
                  "\nSITE dangling\n");
    ASSERT_EQ(LoadSite(), 1);
    EXPECT_EQ(field(0, tessel::kName), "NAME  x  ");
    EXPECT_EQ(field(0, tessel::kMemo), "TEST line");
    EXPECT_EQ(field(0, tessel::kTest), "");
    EXPECT_EQ(field(0, tessel::kType), "");
    EXPECT_EQ(field(0, tessel::kLang), "ja");
    EXPECT_EQ(field(0, tessel::kRoot), "r");
    EXPECT_EQ(field(0, tessel::kSkey), "second");

    writeSiteList(box, "SITE a\nSITE b\n");
    EXPECT_EQ(LoadSite(), 0);

    // EUC ideographic spaces (A1 A1) are blanks too.
    writeSiteListBytes(box, "\xA1\xA1SITE a\n\xA1\xA1\x81\x40\x45NDSITE");
    ASSERT_EQ(LoadSite(), 1);
    EXPECT_EQ(field(0, tessel::kName), "a");
}

TEST(LoadSite, ListEntriesNeedASchemeAndEndAtTheFirstOtherWord)
{
    Sandbox box;
    writeSiteList(box,
                  // the first non-entry word starts the next statement
                  "AND http://a/1\n  post://a/2 OR http://b/1\n"
                  "ENDSITE\n"
                  // a five-letter scheme fails the test: the list is empty and the entry's
                  // line is skipped as unknown text
                  "AND shttp://x/1 http://x/2\nOR\nhttps://y/1\n"
                  "ENDSITE\n");
    ASSERT_EQ(LoadSite(), 2);
    EXPECT_EQ(list(0, tessel::kAndList), (std::vector<std::string>{"http://a/1", "post://a/2"}));
    EXPECT_EQ(list(0, tessel::kOrList), std::vector<std::string>{"http://b/1"});
    EXPECT_EQ(tessel::site(1)->field[tessel::kAndList], tessel::catalogue().pool);
    EXPECT_EQ(list(1, tessel::kOrList), std::vector<std::string>{"https://y/1"});

    // The last entry is followed by two NUL bytes.
    const char *entry = tessel::site(0)->field[tessel::kOrList];
    EXPECT_EQ(std::memcmp(entry, "http://b/1\0\0", 12), 0);
}

TEST(LoadSite, ScriptsRunToEndSite)
{
    Sandbox box;
    writeSiteList(box, "SEARCH a\n b\n\n c ENDSITE\n"
                       "SEARCH x ENDSITEwards\n"
                       "SEARCH\nENDSITE\n"
                       "SEARCH never closed");
    ASSERT_EQ(LoadSite(), 3);
    EXPECT_EQ(list(0, tessel::kScript), (std::vector<std::string>{"a", "b", "c"}));
    // A token that merely begins with ENDSITE ends the script and closes the site.
    EXPECT_EQ(list(1, tessel::kScript), std::vector<std::string>{"x"});
    EXPECT_EQ(tessel::site(2)->field[tessel::kScript], tessel::catalogue().pool);
}

TEST(LoadSite, SecondLoadStartsAfreshWithTheSameIndexes)
{
    Sandbox box;
    writeSiteList(box, "SITE a\nMEMO AND\nENDSITE\nSITE b\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 2);
    int32_t used = tessel::catalogue().poolUsed;
    ASSERT_EQ(LoadSite(), 2);
    EXPECT_EQ(tessel::catalogue().poolUsed, used);
    EXPECT_EQ(field(0, tessel::kName), "a");
    EXPECT_EQ(field(1, tessel::kName), "b");

    writeSiteList(box, "SITE c\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 1);
    EXPECT_EQ(field(0, tessel::kName), "c");
    EXPECT_EQ(field(0, tessel::kMemo), "");
    EXPECT_EQ(tessel::site(1), nullptr);
}

TEST(LoadSite, KeepsAtMostFiveHundredSites)
{
    Sandbox box;
    std::string text;
    for (int i = 0; i < 520; ++i)
        text += "SITE s" + std::to_string(i) + "\nENDSITE\n";
    writeSiteList(box, text);
    ASSERT_EQ(LoadSite(), 500);
    EXPECT_EQ(field(499, tessel::kName), "s499");
}

TEST(LoadSite, BinaryAndTruncatedFilesLoadWithoutHarm)
{
    Sandbox box;
    std::string noise;
    for (int i = 0; i < 80000; ++i)
        noise += static_cast<char>((i * 7919) % 251);
    box.write("sitelist.dat", noise);
    int32_t count = LoadSite();
    EXPECT_GE(count, 0);
    EXPECT_LE(tessel::catalogue().poolUsed, tessel::kPoolSize);
    for (int32_t i = 0; i < count; ++i)
        for (const char *f : tessel::site(i)->field)
            ASSERT_NE(f, nullptr);

    // Cut inside a keyword, a list and a script: nothing past the end is read.
    for (const char *cut : {"SITE a\nENDSIT", "AND http:/", "SEARCH a b", "SEA", "\x81"}) {
        writeSiteListBytes(box, cut);
        EXPECT_EQ(LoadSite(), 0) << cut;
    }
}

TEST(SiteHeader, FillsSixFieldsWithinTheirWidths)
{
    Sandbox box;
    std::string longName(300, 'n');
    std::string longRoot(1100, 'r');
    // 130 two-byte characters: 260 bytes, cut at 254 so no character is split.
    std::string longMemo;
    for (int i = 0; i < 130; ++i)
        longMemo += "日";
    writeSiteList(box, "SITE " + longName + "\nLANG ja\nTYPE t\nSKEY k\nROOT " + longRoot +
                           "\nMEMO " + longMemo + "\nENDSITE\nSITE short\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 2);

    Header h;
    ASSERT_EQ(SiteHeader(h.bytes, 0), 0);
    EXPECT_EQ(h.at(0), longName.substr(0, 255));
    EXPECT_EQ(h.at(256), "ja");
    EXPECT_EQ(h.at(512), "t");
    EXPECT_EQ(h.at(768), "k");
    EXPECT_EQ(h.at(1792), longRoot.substr(0, 1023));
    EXPECT_EQ(std::strlen(h.bytes + 2816), 254u);
    EXPECT_EQ(h.at(2816), longMemo.substr(0, 127 * 3));
    EXPECT_EQ(std::string(h.bytes + TESSEL_SITE_HEADER_SIZE, 16), std::string(16, '#'));

    // A shorter header clears what the previous one left in the caller's record.
    ASSERT_EQ(SiteHeader(h.bytes, 1), 0);
    EXPECT_EQ(h.at(0), "short");
    EXPECT_EQ(std::string(h.bytes + 5, 251), std::string(251, '\0'));
    EXPECT_EQ(h.at(1792), "");

    EXPECT_EQ(SiteHeader(h.bytes, 2), TESSEL_E_NO_SITE);
    EXPECT_EQ(SiteHeader(h.bytes, -1), TESSEL_E_NO_SITE);
    EXPECT_EQ(h.at(0), "");
}

TEST(SiteTest, GivesTheTestKeywordsWithinTheirWidth)
{
    Sandbox box;
    writeSiteList(box, "SITE a\nTEST 富士山 登山\nENDSITE\nSITE b\nTEST " + std::string(300, 'w') +
                           "\nENDSITE\nSITE c\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 3);
    char text[TESSEL_SITE_TEST_SIZE + 4];
    std::memset(text, '#', sizeof text);
    ASSERT_EQ(SiteTest(text, 0), 0);
    EXPECT_EQ(decode(text), "富士山 登山");
    ASSERT_EQ(SiteTest(text, 1), 0);
    EXPECT_EQ(std::string(text), std::string(255, 'w'));
    EXPECT_EQ(std::string(text + TESSEL_SITE_TEST_SIZE, 4), "####");
    ASSERT_EQ(SiteTest(text, 2), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(SiteTest(text, 3), TESSEL_E_NO_SITE);
}

TEST(LoadSite, TheDeliveredCatalogueLoads)
{
    Sandbox box;
    std::filesystem::copy_file(std::filesystem::path(VELMORA_PROGRAM_DIR) / "sitelist.dat",
                               box.path() / "sitelist.dat");
    int32_t count = LoadSite();
    ASSERT_GT(count, 0);
    for (int32_t i = 0; i < count; ++i)
        EXPECT_FALSE(field(i, tessel::kName).empty()) << "site " << i;
}
