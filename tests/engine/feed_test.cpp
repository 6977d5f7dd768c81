// Sites that answer in a feed: each format read through iParse and iData as a search reads a
// page, the FEED statement's rules, and documents that try to hurt the reader.
#include "catalogue.h"
#include "feed.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "sitelist_fixture.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct Hit {
    std::string title, url, preview, date, size;
};

class Feeds : public ::testing::Test {
protected:
    // One site reading its answers as the statement says, with a fallback script taking
    // every <h3> link of an HTML page.
    void site(const std::string &feed)
    {
        writeSiteList(box, "SITE 試験\nLANG 英語\nMEMO AND UTF8\nHOST https://h.example/wiki/\n"
                           "AND http://127.0.0.1/q?q=_WORD1_\nFEED " +
                               feed +
                               "\nSEARCH\nLOOP\n<h3\nhref=\"\nURL \"\n>\nTITLE </a>\n"
                               "ENDLOOP\nENDSITE\n");
        ASSERT_EQ(LoadSite(), 1);
        fresh();
    }

    // An empty store whose later iData calls may take up to 1000 hits.
    void fresh()
    {
        InitResult();
        iParse(-1, 1000);
    }

    std::vector<Hit> read(const std::string &document)
    {
        const int32_t added = iData(0, document.data(), int32_t(document.size()));
        std::vector<Hit> hits;
        char r[TESSEL_RESULT_SIZE];
        for (int32_t i = 0; i < added && GetResult(i, r) == 0; ++i)
            hits.push_back({decode(r + 256), decode(r + 512), decode(r + 1536), decode(r + 3072),
                            decode(r + 2816)});
        return hits;
    }

    Sandbox box;
};

// A hit as one line: title | url | preview | date | size.
std::vector<std::string> lines(const std::vector<Hit> &hits)
{
    std::vector<std::string> out;
    for (const Hit &h : hits)
        out.push_back(h.title + " | " + h.url + " | " + h.preview + " | " + h.date + " | " +
                      h.size);
    return out;
}

} // namespace

TEST_F(Feeds, AtomEntriesGiveTitleAlternateLinkSummaryAndDate)
{
    site("ATOM");
    const auto hits = read(R"(<?xml version="1.0"?>
<feed xmlns="http://www.w3.org/2005/Atom"><title>feed</title><link href="http://feed.example/"/>
<entry><title type="html">&lt;b&gt;Bold&lt;/b&gt; &amp;amp; co</title>
 <link rel="related" href="http://pdf.example/1"/><link href="http://a.example/1"/>
 <author><name>not the title</name></author>
 <content>from content</content><summary>from summary</summary>
 <updated>2020-02-02</updated><published>2020-01-01</published></entry>
<entry><id>https://a.example/by-id</id><title>AT&amp;T &lt;x&gt;</title><updated>2021</updated>
 <content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml">deep <i>text</i></div></content></entry>
<entry><title>relative</title><link rel="alternate" href="/page 1"/></entry>
</feed>)");
    EXPECT_EQ(lines(hits), (std::vector<std::string>{
                               "Bold &amp; co | http://a.example/1 | from summary | 2020-01-01 | ",
                               "AT&amp;T &lt;x&gt; | https://a.example/by-id | deep text | 2021 | ",
                               "relative | https://h.example/wiki/page%201 |  |  | ",
                           }));
}

TEST_F(Feeds, RssItemsOfBothVersionsGiveTheirFields)
{
    site("RSS");
    const auto rss2 =
        read(R"(<rss version="2.0"><channel><title>c</title><link>http://c.example/</link>
<item><title>One &amp; two</title><link> http://a.example/?a=1&amp;b=2 </link>
<description>&lt;p&gt;Some &lt;b&gt;HTML&lt;/b&gt; &amp;amp; text&lt;/p&gt;</description>
<pubDate>Mon, 06 Sep 2021 16:45:00 +0000</pubDate></item></channel></rss>)");
    EXPECT_EQ(lines(rss2), (std::vector<std::string>{
                               "One &amp; two | http://a.example/?a=1&amp;b=2 | Some HTML &amp; "
                               "text | Mon, 06 Sep 2021 16:45:00 +0000 | ",
                           }));

    fresh();
    const auto rss1 = read(R"(<?xml version="1.0" encoding="UTF-8"?>
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/"
 xmlns:dc="http://purl.org/dc/elements/1.1/"><channel rdf:about="http://c.example/"><title>c</title></channel>
<item rdf:about="http://b.example/"><title>日本語の題</title><link>http://b.example/</link>
<dc:date>2021-09-06T16:45:00+09:00</dc:date></item></rdf:RDF>)");
    EXPECT_EQ(lines(rss1), (std::vector<std::string>{
                               "日本語の題 | http://b.example/ |  | 2021-09-06T16:45:00+09:00 | ",
                           }));
}

TEST_F(Feeds, JsonPathsAlternativesArraysAndHtml)
{
    site("JSON result.list TITLE=names.0.word|slug URL=slug PREVIEW=html:senses.0.defs "
         "SIZE=n DATE=meta.when");
    const auto hits = read(R"({"result":{"other":[{"slug":"no"}],"list":[
 {"slug":"富士 山?","names":[{"reading":"ふじ"},{"word":"first only"}],"n":12.5,
  "senses":[{"defs":["<em>a</em> &amp; b","c"]},{"defs":["not this sense"]}],"meta":{"when":2021}},
 {"slug":"https://abs.example/x?y=1&z=2","names":[{"word":"word"}],"n":-3,"extra":{"slug":"deep"}},
 "not an object",
 {"names":[],"slug":"ok","n":null}
]}})");
    EXPECT_EQ(lines(hits), (std::vector<std::string>{
                               "富士 山? | https://h.example/wiki/%E5%AF%8C%E5%A3%AB%20%E5%B1%B1%3F"
                               " | a &amp; b, c | 2021 | 12.5",
                               "word | https://abs.example/x?y=1&amp;z=2 |  |  | -3",
                               "ok | https://h.example/wiki/ok |  |  | ",
                           }));
}

TEST_F(Feeds, StatementsWithoutAFormatOrAUrlAreNoFeeds)
{
    tessel::FeedPlan plan;
    EXPECT_TRUE(tessel::parseFeedPlan("JSON . URL=u", plan));
    EXPECT_TRUE(plan.list.empty());
    for (const char *bad : {"", "XML", "JSON", "JSON list TITLE=t", "JSON list URL=",
                            "JSON list URL=a..b", "JSON a..b URL=u", "JSON list WHAT=u URL=u"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(tessel::parseFeedPlan(bad, plan));
    }
}

TEST_F(Feeds, AnAnswerThatIsNoFeedFallsToTheScript)
{
    site("JSON items URL=u");
    const auto hits = read("<h3><a href=\"http://html.example/\">from html</a></h3>");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].title, "from html");
    fresh();
    EXPECT_TRUE(read(R"({"items":[]})").empty()); // a feed without entries: no fallback
}

TEST_F(Feeds, HostileDocumentsEndWithoutHarm)
{
    site("ATOM");
    const std::string laughs =
        R"(<?xml version="1.0"?><!DOCTYPE feed [<!ENTITY a "aaaaaaaaaa">)"
        R"(<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">]>)"
        R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry><title>&c;</title><link href="http://a/"/></entry></feed>)";
    EXPECT_TRUE(read(laughs).empty());
    const std::string external =
        R"(<?xml version="1.0"?><!DOCTYPE feed [<!ENTITY x SYSTEM "file:///etc/passwd">]>)"
        R"(<feed><entry><title>&x;</title><link href="http://a/"/></entry></feed>)";
    EXPECT_TRUE(read(external).empty());

    std::string deep = "<feed><entry><link href=\"http://a/\"/></entry>";
    for (int i = 0; i < 200000; ++i)
        deep += "<x>";
    EXPECT_EQ(read(deep).size(), 1u); // the entry before the abyss stays

    site("JSON . URL=u");
    std::string nested = R"([{"u":"http://a/"},)" + std::string(200000, '[');
    EXPECT_EQ(read(nested).size(), 1u);
    fresh();
    EXPECT_EQ(read("[{\"u\":\"http://a/\"},{\"u\":\"\xff\xfe\"}").size(), 1u); // bad UTF-8
}

TEST_F(Feeds, AFetchedFeedIsReadAndAnEmptyOneFoundNothing)
{
    site("RSS");
    SiteFarm farm;
    farm.serve("/full", page("<rss><channel><item><title>t</title><link>http://a.example/</link>"
                             "</item></channel></rss>",
                             "application/rss+xml"));
    farm.serve("/empty",
               page("<rss><channel><title>nothing</title></channel></rss>", "application/rss+xml"));
    for (const char *path : {"/full", "/empty"}) {
        SCOPED_TRACE(path);
        FetchRecord record{};
        ASSERT_EQ(iGet(&record, farm.url(path).c_str()), 1);
        ASSERT_TRUE(waitFor([&] { return Status(&record) == 0; }));
        InitResult();
        const bool full = std::string(path) == "/full";
        EXPECT_EQ(iParse(0, 100), full ? 1 : 0);
        EXPECT_EQ(PageKind(&record), full ? TESSEL_PAGE_READ : TESSEL_PAGE_NO_HITS);
    }
}
