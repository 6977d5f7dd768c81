// The user catalogue over the shipped one, and sites made from OpenSearch descriptions.
#include "catalogue.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "sitelist_fixture.h"
#include "slots.h"
#include "tessel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

using namespace testsupport;

namespace {

std::string nameOf(int32_t site)
{
    return decode(tessel::site(site)->field[tessel::kName]);
}

std::string request(int32_t site, int32_t page, const char *words)
{
    char buffer[TESSEL_REQUEST_SIZE] = {};
    EXPECT_EQ(iForm(site, 0, page, encode(words).c_str(), buffer), 0);
    return buffer;
}

// A description as sites publish them: an HTML template first, then the Atom one.
std::string description(const std::string &atomTemplate, const std::string &extra = "")
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<OpenSearchDescription xmlns="http://a9.com/-/opensearch/1.1/">
  <ShortName>論文検索</ShortName>
  <Description>Papers
   and theses</Description>
  <Tags>papers theses</Tags>
  <Language>ja</Language>
  <InputEncoding>UTF-8</InputEncoding>
  <Url type="text/html" template="http://127.0.0.1/html?q={searchTerms}"/>
  <Url type="application/atom+xml" rel="suggestions" template="http://127.0.0.1/s?q={searchTerms}"/>
  <Url type="application/atom+xml" indexOffset="0" template=")" +
           atomTemplate + "\"/>" + extra + "</OpenSearchDescription>";
}

class UserSites : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeSiteList(box,
                      "SITE shipped one\nMEMO AND\nAND http://127.0.0.1/a?q=_WORD1_\nENDSITE\n"
                      "SITE shipped two\nMEMO AND\nAND http://127.0.0.1/b?q=_WORD1_\nENDSITE\n");
        UserCatalogue((box.path() / "user-sites.txt").c_str());
    }
    void TearDown() override { UserCatalogue(nullptr); }

    std::string entry(const std::string &text)
    {
        char block[4096];
        const int32_t n = OpenSearchSite(text.data(), int32_t(text.size()), block, sizeof block);
        EXPECT_GT(n, 0);
        return n > 0 ? std::string(block, n) : "";
    }

    Sandbox box;
};

} // namespace

TEST_F(UserSites, AnOpenSearchSiteFromAFileSearchesItsAtomTemplate)
{
    SiteFarm farm;
    const std::string block = entry(description(
        farm.url("/atom") + "?q={searchTerms}&amp;start={startIndex?}&amp;n={count?}&amp;"
                            "lang={language?}&amp;geo={geo:box?}"));
    EXPECT_EQ(decode(block), "# Papers and theses\nSITE 論文検索\nLANG 日本語\nTYPE OpenSearch\n"
                             "SKEY papers theses\nROOT " +
                                 farm.url("/atom") + "\nMEMO AND UTF8\nHOST " + farm.url("/") +
                                 "\nAND " + farm.url("/atom") +
                                 "?q=_WORD1_+_WORD2_&start=_NUM_0,20&n=20&lang=*&geo=\n"
                                 "FEED ATOM\nENDSITE\n");
    ASSERT_EQ(UserSiteAdd(block.c_str()), 0);
    ASSERT_EQ(LoadSite(), 3);
    EXPECT_EQ(nameOf(2), "論文検索");
    EXPECT_EQ(SiteOrigin(2), TESSEL_SITE_USER);
    EXPECT_EQ(SiteOrigin(0), TESSEL_SITE_SHIPPED);

    farm.serve("/atom", page("<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>t</title>"
                             "<link href=\"/paper/1\"/></entry></feed>"));
    FetchRecord record{0, 0, 2, 0, 0, 0};
    ASSERT_EQ(iGet(&record, request(2, 1, "富士 山").c_str()), 1);
    ASSERT_TRUE(waitFor([&] { return Status(&record) == 0; }));
    EXPECT_EQ(farm.requests("/atom").at(0).param("q"), "富士 山");
    EXPECT_EQ(farm.requests("/atom").at(0).param("start"), "20");
    InitResult();
    ASSERT_EQ(iParse(0, 10), 1);
    char hit[TESSEL_RESULT_SIZE];
    ASSERT_EQ(GetResult(0, hit), 0);
    EXPECT_STREQ(hit + 512, farm.url("/paper/1").c_str());
}

TEST_F(UserSites, AnOpenSearchDescriptionFetchedFromItsAddress)
{
    SiteFarm farm;
    farm.serve("/opensearch.xml",
               page(description("https://r.example/feed?q={searchTerms}&amp;p={startPage}"),
                    "application/opensearchdescription+xml"));
    FetchRecord record{0, 0, 0, 0, 0, 0};
    ASSERT_EQ(iGet(&record, farm.url("/opensearch.xml").c_str()), 1);
    ASSERT_TRUE(waitFor([&] { return Status(&record) == 0; }));
    char block[4096];
    ASSERT_GT(OpenSearchSite(tessel::pageBuffer(0), record.bytes, block, sizeof block), 0);
    EXPECT_NE(std::string(block).find("AND https://r.example/feed?q=_WORD1_+_WORD2_&p=_NUM_1,1\n"),
              std::string::npos);
}

TEST_F(UserSites, DescriptionsThatCantMakeASiteAreRefusedWithTheirReason)
{
    const std::string rss =
        "<Url type=\"application/rss+xml\" template=\"http://x/?q={searchTerms}\"/>";
    struct Case {
        const char *name;
        std::string text;
        int32_t code;
    } cases[] = {
        {"HTML only",
         "<OpenSearchDescription xmlns=\"http://a9.com/-/opensearch/1.1/\"><ShortName>s"
         "</ShortName><Url type=\"text/html\" template=\"http://x/?q={searchTerms}\"/>"
         "</OpenSearchDescription>",
         TESSEL_E_OPENSEARCH_HTML_ONLY},
        {"not a description", "<html><body>no</body></html>", TESSEL_E_OPENSEARCH_UNREADABLE},
        {"not XML", "{\"a\":1}", TESSEL_E_OPENSEARCH_UNREADABLE},
        {"no name",
         description("http://x/?q={searchTerms}")
             .replace(description("").find("論文検索"), std::string("論文検索").size(), ""),
         TESSEL_E_OPENSEARCH_UNREADABLE},
        {"entities", "<!DOCTYPE o [<!ENTITY e \"x\">]>" + description("http://x/?q={searchTerms}"),
         TESSEL_E_OPENSEARCH_UNREADABLE},
        {"required unknown parameter", description("http://x/?q={searchTerms}&amp;b={geo:box}"),
         TESSEL_E_OPENSEARCH_UNUSABLE},
        {"no search terms", description("http://x/?q=fixed"), TESSEL_E_OPENSEARCH_UNUSABLE},
        {"not the web", description("ftp://x/?q={searchTerms}"), TESSEL_E_OPENSEARCH_UNUSABLE},
        {"a line break to start a statement",
         description("http://x/?q={searchTerms}&#13;SEARCH http://y/"),
         TESSEL_E_OPENSEARCH_UNUSABLE},
        {"a user name before the host", description("http://evil.example@x/?q={searchTerms}"),
         TESSEL_E_OPENSEARCH_UNUSABLE},
        {"EUC-JP",
         description("http://x/?q={searchTerms}")
             .replace(description("").find("UTF-8</Input"), 5, "EUC-JP"),
         TESSEL_E_OPENSEARCH_UNUSABLE},
        {"request too long",
         description("http://x/?q={searchTerms}&amp;p=" + std::string(1100, 'p')),
         TESSEL_E_OPENSEARCH_TOO_LONG},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        char block[4096] = "old";
        EXPECT_EQ(OpenSearchSite(c.text.data(), int32_t(c.text.size()), block, sizeof block),
                  c.code);
        EXPECT_STREQ(block, "");
    }
    const std::string fine = description("http://x/?q={searchTerms}", rss);
    char small[64];
    EXPECT_EQ(OpenSearchSite(fine.data(), int32_t(fine.size()), small, sizeof small),
              TESSEL_E_OPENSEARCH_TOO_LONG);
}

TEST_F(UserSites, ATemplateWithoutAPathHasItsHostAlone)
{
    EXPECT_NE(entry(description("http://127.0.0.1:8080?q={searchTerms}"))
                  .find("\nHOST http://127.0.0.1:8080/\n"),
              std::string::npos);
}

TEST_F(UserSites, AUserSiteTakesTheIndexOfTheShippedOneItNamesUntilRemoved)
{
    const std::string mine =
        "# mine\nSITE shipped two\nMEMO AND\nAND http://127.0.0.1/mine?q=_WORD1_\nENDSITE\n";
    ASSERT_EQ(UserSiteAdd(mine.c_str()), 0);
    ASSERT_EQ(UserSiteAdd("SITE extra\nMEMO AND\nAND http://127.0.0.1/x?q=_WORD1_\nENDSITE\n"), 0);
    ASSERT_EQ(UserSiteAdd(mine.c_str()), 0); // again: replaced, not doubled
    ASSERT_EQ(LoadSite(), 3);
    EXPECT_EQ(nameOf(1), "shipped two");
    EXPECT_EQ(SiteOrigin(1), TESSEL_SITE_REPLACED);
    EXPECT_NE(request(1, 0, "w").find("/mine?"), std::string::npos);
    EXPECT_EQ(nameOf(2), "extra");
    EXPECT_EQ(SiteOrigin(3), TESSEL_E_NO_SITE);

    EXPECT_EQ(UserSiteRemove("shipped two"), 0);
    EXPECT_EQ(UserSiteRemove("shipped two"), TESSEL_E_NO_SITE);
    ASSERT_EQ(LoadSite(), 3);
    EXPECT_EQ(SiteOrigin(1), TESSEL_SITE_SHIPPED);
    EXPECT_NE(request(1, 0, "w").find("/b?"), std::string::npos);
    EXPECT_EQ(box.read("user-sites.txt"),
              "SITE extra\nMEMO AND\nAND http://127.0.0.1/x?q=_WORD1_\nENDSITE\n");

    EXPECT_EQ(UserSiteAdd("SITE no end\n"), TESSEL_E_NOT_ONE_SITE);
    EXPECT_EQ(UserSiteAdd("SITE a\nENDSITE\nSITE b\nENDSITE\n"), TESSEL_E_NOT_ONE_SITE);
}

TEST_F(UserSites, TheFileComesFromTheEnvironmentAndABadOneAddsNothing)
{
    UserCatalogue(nullptr);
    ASSERT_EQ(::setenv("VELMORA_USER_SITES", (box.path() / "env.txt").c_str(), 1), 0);
    box.write("env.txt", "SITE 環境の\nMEMO AND\nAND http://127.0.0.1/e?q=_WORD1_\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 3);
    EXPECT_EQ(nameOf(2), "環境の");
    // A byte-order mark is not part of the first statement.
    box.write("env.txt",
              "\xEF\xBB\xBFSITE bom\nMEMO AND\nAND http://127.0.0.1/e?q=_WORD1_\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 3);
    EXPECT_EQ(nameOf(2), "bom");
    // Neither an endless device nor a FIFO without a writer holds the loader.
    ASSERT_EQ(::setenv("VELMORA_USER_SITES", "/dev/zero", 1), 0);
    EXPECT_EQ(LoadSite(), 2);
    ASSERT_EQ(::mkfifo((box.path() / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::setenv("VELMORA_USER_SITES", (box.path() / "fifo").c_str(), 1), 0);
    EXPECT_EQ(LoadSite(), 2);
    ASSERT_EQ(::setenv("VELMORA_USER_SITES", (box.path() / "env.txt").c_str(), 1), 0);
    box.write("env.txt", std::string(80001, '#'));
    EXPECT_EQ(LoadSite(), 2);
    EXPECT_EQ(UserSiteAdd("SITE x\nENDSITE\n"), TESSEL_E_USER_CATALOGUE_WRITE); // never cut it
    ::unsetenv("VELMORA_USER_SITES");
    EXPECT_EQ(LoadSite(), 2);
    EXPECT_EQ(UserSiteAdd("SITE x\nENDSITE\n"), TESSEL_E_NO_USER_CATALOGUE);
}
