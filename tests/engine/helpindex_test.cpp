#include "catalogue.h"
#include "sandbox.h"
#include "sitelist_fixture.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

using namespace testsupport;

namespace {

struct Entry {
    int32_t icon;
    std::array<int32_t, 6> levels;
    std::string title, page;
};

Entry next()
{
    Entry e;
    e.levels.fill(-7);
    char title[256 + 8], page[256 + 8];
    std::memset(title, '#', sizeof title);
    std::memset(page, '#', sizeof page);
    e.icon = GetHelp(e.levels.data(), title, page);
    EXPECT_EQ(std::string(title + 256, 8), std::string(8, '#'));
    EXPECT_EQ(std::string(page + 256, 8), std::string(8, '#'));
    EXPECT_EQ(e.levels[0], -7) << "element 0 is the caller's";
    e.title = decode(title);
    e.page = page;
    return e;
}

using Levels = std::array<int32_t, 6>;

} // namespace

TEST(HelpIndex, MissingIndexHasNoEntries)
{
    Sandbox box;
    EXPECT_EQ(InitHelp(), 0);
}

TEST(HelpIndex, ReadsCountThenFourWordsPerEntry)
{
    Sandbox box;
    // Line structure means nothing; ideographic spaces separate words like blanks.
    box.write("idxhelp.dat", encode("3\r\n"
                                    "0 1 はじめに intro.htm\r\n"
                                    "1 1.2.3 検索の\u3000方法 search.htm 2\n"
                                    "3.4.5.6.7.8 \u3000設定 setting.htm"));
    ASSERT_EQ(InitHelp(), 3);
    Entry e = next();
    EXPECT_EQ(e.icon, 0);
    EXPECT_EQ(e.levels, (Levels{-7, 1, 0, 0, 0, 0}));
    EXPECT_EQ(e.title, "はじめに");
    EXPECT_EQ(e.page, "intro.htm");

    // An ideographic space inside a word belongs to it.
    e = next();
    EXPECT_EQ(e.icon, 1);
    EXPECT_EQ(e.levels, (Levels{-7, 1, 2, 3, 0, 0}));
    EXPECT_EQ(e.title, "検索の\u3000方法");
    EXPECT_EQ(e.page, "search.htm");

    e = next();
    EXPECT_EQ(e.icon, 2);
    EXPECT_EQ(e.levels, (Levels{-7, 3, 4, 5, 6, 7}));
    EXPECT_EQ(e.title, "設定");

    // Past the end: 0, empty texts, levels cleared.
    e = next();
    EXPECT_EQ(e.icon, 0);
    EXPECT_EQ(e.levels, (Levels{-7, 0, 0, 0, 0, 0}));
    EXPECT_EQ(e.title, "");
    EXPECT_EQ(e.page, "");
}

TEST(HelpIndex, OddWordsNeverOverrun)
{
    Sandbox box;
    std::string longTitle;
    for (int i = 0; i < 200; ++i)
        longTitle += "日";
    box.write("idxhelp.dat", "x 99999999999999 1..x. " + encode(longTitle) + " " +
                                 std::string(300, 'p') + " -3 2");
    EXPECT_EQ(InitHelp(), 0);
    Entry e = next();
    EXPECT_EQ(e.icon, 2147483647);
    EXPECT_EQ(e.levels, (Levels{-7, 1, 0, 0, 0, 0}));
    // 255 bytes at most, and never half a character: 127 characters.
    EXPECT_EQ(e.title, longTitle.substr(0, 127 * 3));
    EXPECT_EQ(e.page, std::string(255, 'p'));
    e = next();
    EXPECT_EQ(e.icon, -3);
    EXPECT_EQ(e.levels, (Levels{-7, 2, 0, 0, 0, 0}));
}

TEST(HelpIndex, ReadsOnlyTheFirst80000Bytes)
{
    Sandbox box;
    std::string text = "2\n1 1 first first.htm\n";
    text.append(80000 - text.size() - 4, ' ');
    text += "2 2 second second.htm\n";
    box.write("idxhelp.dat", text);
    ASSERT_EQ(InitHelp(), 2);
    EXPECT_EQ(next().page, "first.htm");
    Entry cut = next();
    EXPECT_EQ(cut.icon, 2);
    EXPECT_EQ(cut.levels, (Levels{-7, 2, 0, 0, 0, 0}));
    EXPECT_EQ(cut.title, "");
}

TEST(HelpIndex, LeavesTheLoadedCatalogueAlone)
{
    Sandbox box;
    writeSiteList(box, "SITE 日本\nMEMO AND\nAND http://a/?q=_WORD1_\nENDSITE\n");
    box.write("idxhelp.dat", "1 0 1 t p.htm");
    ASSERT_EQ(LoadSite(), 1);
    ASSERT_EQ(InitHelp(), 1);
    next();
    char header[TESSEL_SITE_HEADER_SIZE];
    ASSERT_EQ(SiteHeader(header, 0), 0);
    EXPECT_EQ(decode(header), "日本");
    char request[TESSEL_REQUEST_SIZE];
    ASSERT_EQ(iForm(0, 0, 0, "x", request), 0);
    EXPECT_STREQ(request, "http://a/?q=x");
}
