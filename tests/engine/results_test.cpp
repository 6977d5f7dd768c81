// The result store: validation and moving down, site names, emptied records, GetResult,
// URLSame, iData's arguments and iParse over a fetched page.
#include "realpages/sites.h"
#include "results.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

using namespace extraction;
using testsupport::encode;

namespace {

const char *kLoop = R"(LOOP href=" URL " > TITLE </a> ENDLOOP)";

std::string links(const std::vector<std::string> &urls)
{
    std::string page;
    int n = 0;
    for (const std::string &u : urls) {
        page += "<a href=\"" + u + "\">T" + std::to_string(++n) + "</a>\n";
    }
    return page;
}

class Store : public ::testing::Test {
protected:
    void load(std::vector<SiteSpec> sites)
    {
        ASSERT_EQ(loadSites(box, sites), int32_t(sites.size()));
        InitResult();
        iParse(-1, 1000);
    }
    int32_t data(int32_t site, const std::string &page)
    {
        return iData(site, page.data(), int32_t(page.size()));
    }
    testsupport::Sandbox box;
};

SiteSpec site(const std::string &name, const std::string &script = kLoop,
              const std::string &host = "")
{
    SiteSpec s;
    s.name = name;
    s.script = script;
    s.host = host;
    return s;
}

} // namespace

TEST_F(Store, KeepsAbsoluteHitsMovedDownWithTheSiteName)
{
    load({site("一つ目"), site("二つ目")});
    EXPECT_EQ(data(0, links({"http://a/1", "", "http://a/3"})), 2);
    EXPECT_EQ(data(1, links({"/rel", "https://b/2", "HTTP://b/3", "ftp://b/4", "http:/b/5",
                             "http://b/6"})),
              2);
    const auto hits = hitsFrom();
    ASSERT_EQ(hits.size(), 4u);
    EXPECT_EQ(hits[0].url, "http://a/1");
    EXPECT_EQ(hits[1].url, "http://a/3");
    EXPECT_EQ(hits[1].title, "T3"); // the whole record moved, not only the URL
    EXPECT_EQ(hits[1].site, "一つ目");
    EXPECT_EQ(hits[2].url, "https://b/2");
    EXPECT_EQ(hits[2].title, "T2");
    EXPECT_EQ(hits[3].url, "http://b/6");
    EXPECT_EQ(hits[3].site, "二つ目");
    EXPECT_EQ(tessel::resultCount(), 4);
    EXPECT_STREQ(tessel::resultUrl(3), "http://b/6");
    EXPECT_EQ(tessel::resultUrl(4), nullptr);
    EXPECT_EQ(tessel::resultRecord(-1), nullptr);
}

TEST_F(Store, RecordsAboveTheCountAreEmpty)
{
    // Site 0 captures a preview outside any loop: its unfinished record must not leak into
    // the next run's first hit. Site 1 leaves dropped records behind.
    load({site("a", "<p> PREVIEW </p>"), site("b")});
    EXPECT_EQ(data(0, "<p>stray text</p>"), 0);
    EXPECT_EQ(data(1, links({"/x", "/y", "http://b/1", "/z"})), 1);
    EXPECT_EQ(hitsFrom().at(0).preview, "");
    for (int i = 1; i < 6; ++i) {
        const char *r = tessel::resultRecord(0) + i * TESSEL_RESULT_SIZE;
        EXPECT_TRUE(std::all_of(r, r + TESSEL_RESULT_SIZE, [](char c) { return c == 0; }))
            << "record " << i;
    }
}

TEST_F(Store, GetResultAndInitResult)
{
    load({site("a")});
    char record[TESSEL_RESULT_SIZE];
    std::memset(record, 'k', sizeof record);
    EXPECT_EQ(GetResult(0, record), TESSEL_E_NO_RESULT);
    EXPECT_EQ(record[0], 'k'); // untouched
    ASSERT_EQ(data(0, links({"http://a/1", "http://a/2"})), 2);
    EXPECT_EQ(GetResult(1, record), 0);
    EXPECT_STREQ(record + 512, "http://a/2");
    EXPECT_EQ(GetResult(2, record), TESSEL_E_NO_RESULT);
    EXPECT_EQ(GetResult(-1, record), TESSEL_E_NO_RESULT);
    EXPECT_EQ(InitResult(), 1000);
    EXPECT_EQ(GetResult(0, record), TESSEL_E_NO_RESULT);
    ASSERT_EQ(data(0, links({"http://c/1"})), 1);
    EXPECT_EQ(hitsFrom().at(0).title, "T1");
}

TEST_F(Store, URLSame)
{
    load({site("a")});
    ASSERT_EQ(data(0, links({"http://a.jp/x/", "HTTP://A.JP/X", "http://a.jp/x", "http://a.jp/y",
                             "http://a.jp/x//", "http://a.jp/"})),
              5);
    // Kept: 0 http://a.jp/x/  1 http://a.jp/x  2 http://a.jp/y  3 http://a.jp/x//  4 http://a.jp/
    EXPECT_EQ(URLSame(0, 1), 1);
    EXPECT_EQ(URLSame(1, 0), 1);
    EXPECT_EQ(URLSame(1, 2), 0);
    EXPECT_EQ(URLSame(0, 3), 0); // only one closing "/" is ignored
    EXPECT_EQ(URLSame(0, 0), 1);
    EXPECT_EQ(URLSame(0, 5), 0);
    EXPECT_EQ(URLSame(-1, 0), 0);
}

TEST_F(Store, URLSameFoldsAsciiLettersOnly)
{
    load({site("a", kLoop, "http://h/")});
    ASSERT_EQ(data(0, links({"http://h/ABC", "http://h/abc", "http://h/@", "http://h/`"})), 4);
    EXPECT_EQ(URLSame(0, 1), 1);
    EXPECT_EQ(URLSame(2, 3), 0); // '@' and '`' differ by the letter bit but are no letters
}

TEST_F(Store, IDataArguments)
{
    load({site("a")});
    const std::string page = links({"http://a/1"});
    EXPECT_EQ(iData(0, page.data(), -5), -5);
    EXPECT_EQ(iData(1, page.data(), int32_t(page.size())), 0); // no such site
    EXPECT_EQ(iData(-1, page.data(), int32_t(page.size())), 0);
    EXPECT_EQ(iData(0, nullptr, 10), 0);
    EXPECT_EQ(iData(0, page.data(), 0), 0);
    // The length is respected: the text past it is not read.
    EXPECT_EQ(iData(0, page.data(), 12), 0);
    EXPECT_EQ(tessel::resultCount(), 0);
}

TEST_F(Store, LongSiteNameIsCutToItsField)
{
    load({site(std::string(300, 'n'))});
    ASSERT_EQ(data(0, links({"http://a/1"})), 1);
    EXPECT_EQ(hitsFrom().at(0).site, std::string(255, 'n'));
}

TEST_F(Store, IParseReadsTheFetchedPage)
{
    testsupport::SiteFarm farm;
    std::string big = "<!--" + std::string(300000, '-') + "-->" +
                      encode(links({"http://a/1", "/rel", "http://a/3"}));
    farm.serve("/page", testsupport::page(big));
    load({site("a", kLoop, "http://h/")});
    FetchRecord record{0, 7, 0, 0, 0, 0};
    ASSERT_EQ(iGet(&record, farm.url("/page").c_str()), 1);
    ASSERT_TRUE(testsupport::waitFor([&] { return Status(&record) == 0; }));
    ASSERT_EQ(std::atomic_ref<int32_t>(record.status).load(), -20);
    EXPECT_EQ(iParse(7, 2), 2);
    EXPECT_EQ(iParse(7, 10), 3);
    const auto hits = hitsFrom();
    ASSERT_EQ(hits.size(), 5u);
    EXPECT_EQ(hits[1].url, "http://h/rel");
    EXPECT_EQ(hits[4].url, "http://a/3");
    // A slot without a page buffer, or never used, adds nothing.
    EXPECT_EQ(iParse(50, 10), 0);
    EXPECT_EQ(iParse(49, 10), 0);
}
