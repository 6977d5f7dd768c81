// The shipped catalogue (data/sitelist.txt, packed as the build packs it) against each site.
//
// For every site: the requests iForm builds for the first pages and for an OR search, fetched
// from the fixture server in place of the real host, and the hits its script takes from a page
// written in that site's result markup (tests/engine/shipped_sites/*.html). Where a real result
// page of the site was saved (tests/realpages), the
// script must take that page's hits too. Expected hits are in *.expect files beside the pages.
#include "catalogue.h"
#include "feed.h"
#include "sandbox.h"
#include "shipped_sites/shipped.h"
#include "sitefarm.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using shipped::Expected;
using shipped::readFile;
using testsupport::decode;
using testsupport::encode;

struct SitePage {
    const char *file;   // under tests/engine/shipped_sites, or "real:" and a saved real page
    const char *expect; // under tests/engine/shipped_sites
};

struct SiteCase {
    const char *id;   // test name
    const char *name; // the site's SITE line
    bool japanese;    // a Japanese site: its language begins with 日本語
    const char *path; // path of the search request
    const char *wordParam;
    const char *pageParam;
    const char *pageValues[3]; // pageParam for pages 0, 1, 2
    std::vector<SitePage> pages;
    const char *server = nullptr; // the requests' server when it is not the root's (an API's)
    const char *words = nullptr;  // wordParam's value when it is not the bare keywords
};

// Test names and failure messages show the site's id, not the record's bytes.
void PrintTo(const SiteCase &c, std::ostream *out)
{
    *out << c.id;
}

constexpr const char *kWikiPath = "/w/index.php";
constexpr const char *kWikiApiPath = "/w/api.php";

const std::vector<SiteCase> &siteCases()
{
    static const std::vector<SiteCase> cases = {
        {"JaWikipedia",
         "ウィキペディア日本語版",
         true,
         kWikiApiPath,
         "srsearch",
         "sroffset",
         {"0", "20", "40"},
         {{"mediawiki-api.json", "mediawiki-api.expect"}}},
        {"EnWikipedia",
         "Wikipedia (English)",
         false,
         kWikiApiPath,
         "srsearch",
         "sroffset",
         {"0", "20", "40"},
         {{"mediawiki-api.json", "mediawiki-api.expect"}}},
        {"JaWiktionary",
         "ウィクショナリー日本語版",
         true,
         kWikiPath,
         "search",
         "offset",
         {"0", "20", "40"},
         {{"mediawiki.html", "mediawiki.expect"}}},
        {"EnWiktionary",
         "Wiktionary (English)",
         false,
         kWikiPath,
         "search",
         "offset",
         {"0", "20", "40"},
         {{"mediawiki.html", "mediawiki.expect"}}},
        {"JaWikibooks",
         "ウィキブックス日本語版",
         true,
         kWikiPath,
         "search",
         "offset",
         {"0", "20", "40"},
         {{"real:wikipedia-1.html", "real-wikipedia-1.expect"},
          {"mediawiki.html", "mediawiki.expect"},
          {"mediawiki-files.html", "mediawiki-files.expect"}}},
        {"JaWikisource",
         "ウィキソース日本語版",
         true,
         kWikiPath,
         "search",
         "offset",
         {"0", "20", "40"},
         {{"mediawiki.html", "mediawiki.expect"},
          {"mediawiki-files.html", "mediawiki-files.expect"}}},
        {"BingJapan",
         "Bing（日本）",
         true,
         "/search",
         "q",
         "first",
         {"1", "11", "21"},
         {{"real:bing-1.html", "real-bing-1.expect"}, {"bing.html", "bing.expect"}}},
        {"DuckDuckGoJapan",
         "DuckDuckGo（日本）",
         true,
         "/html/",
         "q",
         "s",
         {"0", "30", "60"},
         {{"real:duckduckgo-1.html", "real-duckduckgo-1.expect"},
          {"ddg-html.html", "ddg-html.expect"}}},
        {"DuckDuckGo",
         "DuckDuckGo",
         false,
         "/html/",
         "q",
         "s",
         {"0", "30", "60"},
         {{"real:duckduckgo-1.html", "real-duckduckgo-1.expect"},
          {"ddg-html.html", "ddg-html.expect"}}},
        {"Mojeek",
         "Mojeek",
         false,
         "/search",
         "q",
         "s",
         {"1", "11", "21"},
         {{"mojeek.html", "mojeek.expect"}}},
        {"Brave",
         "Brave Search",
         false,
         "/search",
         "q",
         "offset",
         {"0", "1", "2"},
         {{"real:brave-1.html", "real-brave-1.expect"}, {"brave.html", "brave.expect"}}},
        {"Marginalia",
         "Marginalia Search",
         false,
         "/search",
         "query",
         "page",
         {"1", "2", "3"},
         {{"marginalia.html", "marginalia.expect"}}},
        {"Wiby", "Wiby", false, "/", "q", "p", {"1", "2", "3"}, {{"wiby.html", "wiby.expect"}}},
        {"Jisho",
         "Jisho.org",
         true,
         "/api/v1/search/words",
         "keyword",
         "page",
         {"1", "2", "3"},
         {{"jisho-api.json", "jisho-api.expect"}}},
        {"Hatena",
         "はてなブックマーク",
         true,
         "/search/text",
         "q",
         "page",
         {"1", "2", "3"},
         {{"hatena.html", "hatena.expect"}}},
        {"CiNii",
         "CiNii Research",
         true,
         "/all",
         "q",
         "start",
         {"1", "21", "41"},
         {{"cinii.html", "cinii.expect"}}},
        {"JStage",
         "J-STAGE",
         true,
         "/result/global/-char/ja",
         "globalSearchKey",
         "pageNo",
         {"1", "2", "3"},
         {{"jstage.html", "jstage.expect"}}},
        {"Kaken",
         "KAKEN 科学研究費助成事業データベース",
         true,
         "/ja/search/",
         "kw",
         "st",
         {"1", "21", "41"},
         {{"kaken.html", "kaken.expect"}}},
        {"Arxiv",
         "arXiv",
         false,
         "/api/query",
         "search_query",
         "start",
         {"0", "50", "100"},
         {{"arxiv-api.xml", "arxiv-api.expect"}},
         "https://export.arxiv.org",
         "all:alpha AND all:beta"},
        {"PubMed",
         "PubMed",
         false,
         "/",
         "term",
         "page",
         {"1", "2", "3"},
         {{"pubmed.html", "pubmed.expect"}}},
        {"Gutenberg",
         "Project Gutenberg",
         false,
         "/ebooks/search/",
         "query",
         "start_index",
         {"1", "26", "51"},
         {{"gutenberg.html", "gutenberg.expect"}}},
        {"OpenLibrary",
         "Open Library",
         false,
         "/search.json",
         "q",
         "page",
         {"1", "2", "3"},
         {{"openlibrary-api.json", "openlibrary-api.expect"}}},
        {"PyPI",
         "PyPI",
         false,
         "/search/",
         "q",
         "page",
         {"1", "2", "3"},
         {{"pypi.html", "pypi.expect"}}},
    };
    return cases;
}

// The catalogue is loaded once, in a sandbox that holds only sitelist.dat.
class Catalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sandbox_ = new testsupport::Sandbox;
        sandbox_->write("sitelist.dat", shipped::packedCatalogue());
        count_ = LoadSite();
    }
    static void TearDownTestSuite()
    {
        delete sandbox_;
        sandbox_ = nullptr;
    }

    static int32_t indexOf(const std::string &name)
    {
        for (int32_t i = 0; i < count_; ++i) {
            if (decode(tessel::site(i)->field[tessel::kName]) == name)
                return i;
        }
        return -1;
    }

    static testsupport::Sandbox *sandbox_;
    static int32_t count_;
};

testsupport::Sandbox *Catalogue::sandbox_ = nullptr;
int32_t Catalogue::count_ = 0;

// ---- the catalogue as a whole ----

TEST_F(Catalogue, LoadsEverySiteWithinTheLoaderLimits)
{
    const std::string source = readFile(shipped::sourcePath("data/sitelist.txt"));
    size_t closed = 0;
    for (size_t at = source.find("\nENDSITE"); at != std::string::npos;
         at = source.find("\nENDSITE", at + 1))
        ++closed;
    EXPECT_EQ(count_, static_cast<int32_t>(closed));
    EXPECT_GE(count_, 20);
    // The loader reads at most this much text and pools as much again; a bigger file would
    // lose its last sites.
    EXPECT_LT(shipped::packedCatalogue().size(), static_cast<size_t>(tessel::kTextSize));
    EXPECT_LT(tessel::catalogue().poolUsed, tessel::kPoolSize);
}

TEST_F(Catalogue, EverySiteIsTestedHereAndNoOther)
{
    std::set<std::string> loaded, tested;
    for (int32_t i = 0; i < count_; ++i)
        loaded.insert(decode(tessel::site(i)->field[tessel::kName]));
    for (const SiteCase &c : siteCases())
        tested.insert(c.name);
    EXPECT_EQ(loaded, tested);
}

TEST_F(Catalogue, HeadersAreCompleteAndRootsUnique)
{
    std::set<std::string> roots;
    int japanese = 0;
    for (const SiteCase &c : siteCases()) {
        SCOPED_TRACE(c.name);
        const int32_t index = indexOf(c.name);
        ASSERT_GE(index, 0);
        const tessel::SiteRecord &s = *tessel::site(index);
        for (int f : {tessel::kLang, tessel::kType, tessel::kSkey, tessel::kRoot, tessel::kMemo,
                      tessel::kHost})
            EXPECT_STRNE(s.field[f], "") << "field " << f;
        const std::string lang = decode(s.field[tessel::kLang]);
        EXPECT_EQ(lang.rfind("日本語", 0) == 0, c.japanese) << lang;
        japanese += c.japanese;
        const std::string root = s.field[tessel::kRoot];
        EXPECT_EQ(root.rfind("https://", 0), 0u) << root;
        // Topics name their sites by root: a blank, a comma or a quote would split it there.
        EXPECT_EQ(root.find_first_of(" ,\""), std::string::npos) << root;
        EXPECT_TRUE(roots.insert(root).second) << "root given twice: " << root;
        EXPECT_EQ(std::string(s.field[tessel::kHost]).rfind("https://", 0), 0u);
    }
    EXPECT_GE(japanese, 5);
    EXPECT_GE(static_cast<int>(siteCases().size()) - japanese, 5);
}

TEST_F(Catalogue, MemosAgreeWithTheListsAndEveryListPages)
{
    for (const SiteCase &c : siteCases()) {
        SCOPED_TRACE(c.name);
        const int32_t index = indexOf(c.name);
        ASSERT_GE(index, 0);
        const tessel::SiteRecord &s = *tessel::site(index);
        const std::vector<std::string> memo = shipped::words(s.field[tessel::kMemo]);
        for (const std::string &w : memo)
            EXPECT_TRUE(w == "AND" || w == "OR" || w == "MONO" || w == "UTF8" || w == "EUC") << w;
        auto has = [&](const char *w) { return std::count(memo.begin(), memo.end(), w) > 0; };
        const std::vector<std::string> andList = shipped::list(s.field[tessel::kAndList]);
        const std::vector<std::string> orList = shipped::list(s.field[tessel::kOrList]);
        EXPECT_TRUE(has("AND") || has("MONO"));
        EXPECT_FALSE(andList.empty());
        EXPECT_EQ(has("OR"), !orList.empty());
        EXPECT_TRUE(has("UTF8")); // every shipped site answers in UTF-8
        for (const auto *l : {&andList, &orList}) {
            for (const std::string &entry : *l) {
                EXPECT_EQ(entry.rfind("https://", 0), 0u) << entry;
                EXPECT_NE(entry.find("_WORD1_"), std::string::npos) << entry;
                EXPECT_NE(entry.find("_NUM_"), std::string::npos) << entry;
            }
        }
        // A site reads its hits by a script or from a feed.
        const size_t tokens = shipped::list(s.field[tessel::kScript]).size();
        tessel::FeedPlan feed;
        EXPECT_NE(tokens > 0, tessel::parseFeedPlan(s.field[tessel::kFeed], feed));
        EXPECT_LE(tokens, 100u); // the interpreter refuses longer scripts outright
    }
}

// ---- each site ----

class ShippedSite : public Catalogue, public ::testing::WithParamInterface<SiteCase> {
protected:
    void SetUp() override
    {
        site_ = indexOf(GetParam().name);
        ASSERT_GE(site_, 0) << "no site " << GetParam().name << " in data/sitelist.txt";
    }

    std::string keywords() const { return GetParam().japanese ? "日本 東京" : "alpha beta"; }

    // The request of iForm for the page, or "" (with a failure) when iForm refuses.
    std::string request(int32_t mode, int32_t page, const std::string &words) const
    {
        char buffer[1024] = {};
        const int32_t rc = iForm(site_, mode, page, encode(words).c_str(), buffer);
        EXPECT_EQ(rc, 0) << "iForm mode " << mode << " page " << page;
        return rc == 0 ? buffer : "";
    }

    int32_t site_ = -1;
};

TEST_P(ShippedSite, BuildsPagedRequestsThatReachItsServer)
{
    const SiteCase &c = GetParam();
    const std::string root = tessel::site(site_)->field[tessel::kRoot];
    testsupport::SiteFarm farm;
    farm.serve(c.path, testsupport::page("<html></html>"));
    for (int32_t p = 0; p < 3; ++p) {
        SCOPED_TRACE("page " + std::to_string(p));
        const std::string built = request(0, p, keywords());
        ASSERT_FALSE(built.empty());
        EXPECT_EQ(shipped::serverOf(built), c.server ? c.server : shipped::serverOf(root)) << built;
        const testsupport::Request sent = shipped::fetch(farm, built);
        EXPECT_EQ(sent.path, c.path);
        EXPECT_EQ(sent.param(c.wordParam), c.words ? c.words : keywords());
        EXPECT_EQ(sent.param(c.pageParam), c.pageValues[p]);
    }
    // An OR search joins the words with OR where the site understands it, and falls back to
    // the site's AND request where it doesn't.
    const bool hasOr = !shipped::list(tessel::site(site_)->field[tessel::kOrList]).empty();
    const std::string built = request(1, 0, keywords());
    ASSERT_FALSE(built.empty());
    if (hasOr) {
        const std::string joined = keywords().replace(keywords().find(' '), 1, " OR ");
        EXPECT_EQ(shipped::fetch(farm, built).param(c.wordParam), joined);
    } else {
        EXPECT_EQ(built, request(0, 0, keywords()));
    }
}

TEST_P(ShippedSite, TakesTheHitsOfItsResultPages)
{
    const SiteCase &c = GetParam();
    const std::string host = tessel::site(site_)->field[tessel::kHost];
    for (const SitePage &p : c.pages) {
        SCOPED_TRACE(p.file);
        const std::string html = shipped::fixturePage(p.file);
        ASSERT_FALSE(html.empty());
        const Expected expected = shipped::readExpected(p.expect, host);
        ASSERT_FALSE(expected.hits.empty());

        testsupport::SiteFarm farm;
        farm.serve(c.path, testsupport::page(html, "text/html; charset=utf-8"));
        const std::vector<shipped::Hit> hits =
            shipped::searchAndParse(farm, site_, request(0, 0, keywords()));
        shipped::expectHits(hits, expected, decode(tessel::site(site_)->field[tessel::kName]));
    }
}

INSTANTIATE_TEST_SUITE_P(Sites, ShippedSite, ::testing::ValuesIn(siteCases()),
                         [](const ::testing::TestParamInfo<SiteCase> &info) {
                             return std::string(info.param.id);
                         });

// ---- real result pages the sites served over the years ----

// tests/realpages/more: each page through its site's shipped script, fetched as a search
// fetches it, must give the organic hits a reader sees there, in order, nothing else, with
// the titles the reader sees (character references decoded, as the hit list shows them).
struct ReaderPage {
    std::string file; // without .html
    std::string site; // the shipped site whose script reads it
};

std::vector<ReaderPage> readerPages()
{
    const std::pair<const char *, const char *> engines[] = {
        {"bing-", "Bing（日本）"},
        {"brave-", "Brave Search"},
        {"wikimedia-", "ウィキブックス日本語版"}};
    std::vector<ReaderPage> pages;
    for (const auto &entry :
         std::filesystem::directory_iterator(shipped::sourcePath("tests/realpages/more"))) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".html")
            continue;
        // A page of no known engine stays in the list with no site, and fails.
        pages.push_back({entry.path().stem().string(), ""});
        for (const auto &[prefix, site] : engines)
            if (name.rfind(prefix, 0) == 0)
                pages.back().site = site;
    }
    std::sort(pages.begin(), pages.end(),
              [](const auto &a, const auto &b) { return a.file < b.file; });
    return pages;
}

void PrintTo(const ReaderPage &p, std::ostream *out)
{
    *out << p.file;
}

class RealPage : public Catalogue, public ::testing::WithParamInterface<ReaderPage> {};

TEST_P(RealPage, GivesTheOrganicHitsAReaderSees)
{
    const ReaderPage &p = GetParam();
    const int32_t site = indexOf(p.site);
    ASSERT_GE(site, 0);
    const std::string base = shipped::sourcePath("tests/realpages/more/" + p.file).string();
    const std::string tsv = readFile(base + ".hits.tsv");
    std::vector<shipped::ReaderHit> expected = shipped::readerHits(tsv);
    ASSERT_FALSE(expected.empty());
    // Relative links on the page take the site's HOST, not the server the page came from.
    const std::string server = shipped::serverOf(shipped::readerPageAddress(tsv)) + "/";
    const std::string host = tessel::site(site)->field[tessel::kHost];
    for (shipped::ReaderHit &h : expected)
        if (h.url.rfind(server, 0) == 0)
            h.url = host + h.url.substr(server.size());

    testsupport::SiteFarm farm;
    farm.serve("/page", testsupport::page(readFile(base + ".html"), "text/html; charset=utf-8"));
    std::vector<shipped::ReaderHit> got;
    for (const shipped::Hit &h : shipped::searchAndParse(farm, site, host + "page"))
        got.push_back({shipped::decodeReferences(h.url), shipped::decodeReferences(h.title)});
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(More, RealPage, ::testing::ValuesIn(readerPages()),
                         [](const ::testing::TestParamInfo<ReaderPage> &info) {
                             std::string n = info.param.file.substr(0, info.param.file.rfind('-'));
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

} // namespace
