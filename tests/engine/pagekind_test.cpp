// PageKind and FetchRetryAfter over real fetches: a site that blocks, a site that found
// nothing and a page to read, told apart by status, Retry-After and the page's markers.
#include "sandbox.h"
#include "sitefarm.h"
#include "sitelist_fixture.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

using namespace testsupport;

namespace {

// An HTTP date the given seconds from now.
std::string httpDate(int seconds)
{
    std::time_t when = std::time(nullptr) + seconds;
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

struct KindCase {
    const char *name;
    Answer answer;
    int32_t kind;
    int32_t retryLeast, retryMost; // FetchRetryAfter's range
};

class PageKinds : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeSiteList(box, "SITE 試験\nLANG 日本語\nMEMO AND UTF8\nHOST http://127.0.0.1/\n"
                           "AND http://127.0.0.1/search?q=_WORD1_\n"
                           "BLOCKED please-prove-yourself\n"
                           "NOHITS 一致する情報は見つかりませんでした|class=\"nothing\"\n"
                           "SEARCH\nLOOP\n<h3>\nURL \"\nENDLOOP\nENDSITE\n");
        ASSERT_EQ(LoadSite(), 1);
    }
    void TearDown() override { Kill(&record); }

    // Fetches the answer as the site's page on slot 0.
    void fetch(const Answer &answer)
    {
        farm.serve("/search", answer);
        record = FetchRecord{};
        record.site = 0;
        ASSERT_EQ(iGet(&record, farm.url("/search").c_str()), 1);
        ASSERT_TRUE(waitFor([&] { return Status(&record) == 0; }));
    }

    Sandbox box;
    SiteFarm farm;
    FetchRecord record{};
};

} // namespace

TEST_F(PageKinds, TellBlockedEmptyAndReadablePagesApart)
{
    const std::string utf8 = "text/html; charset=utf-8";
    const KindCase cases[] = {
        {"429 with seconds", status(429).withHeader("Retry-After", "120"), TESSEL_PAGE_BLOCKED, 118,
         120},
        {"429 without", status(429), TESSEL_PAGE_BLOCKED, -1, -1},
        {"503 with a date", status(503).withHeader("Retry-After", httpDate(600)),
         TESSEL_PAGE_BLOCKED, 590, 600},
        {"503 with a past date", status(503).withHeader("Retry-After", httpDate(-600)),
         TESSEL_PAGE_BLOCKED, 0, 0},
        {"503 without: server trouble", status(503), TESSEL_PAGE_READ, -1, -1},
        {"503 with words: a refusal still", status(503).withHeader("Retry-After", "soon"),
         TESSEL_PAGE_BLOCKED, -1, -1},
        {"absurd wait is cut to a week", status(429).withHeader("Retry-After", "99999999999"),
         TESSEL_PAGE_BLOCKED, 604790, 604800},
        {"403 challenge", page("<div class=\"cf-turnstile\"></div>").withStatus(403),
         TESSEL_PAGE_BLOCKED, -1, -1},
        {"403 plain", page("Forbidden").withStatus(403), TESSEL_PAGE_READ, -1, -1},
        {"200 CAPTCHA", page("<form><div class=\"g-recaptcha\"></div></form>"), TESSEL_PAGE_BLOCKED,
         -1, -1},
        {"200 unusual traffic", page("<p>Our systems have detected Unusual Traffic</p>"),
         TESSEL_PAGE_BLOCKED, -1, -1},
        {"200 site's own block page", page("<p class=\"PLEASE-prove-yourself\">"),
         TESSEL_PAGE_BLOCKED, -1, -1},
        {"200 site's no-hits text", page("<p>一致する情報は見つかりませんでした</p>", utf8),
         TESSEL_PAGE_NO_HITS, -1, -1},
        {"200 site's no-hits markup", page("<div class=\"nothing\">"), TESSEL_PAGE_NO_HITS, -1, -1},
        {"200 page to read", page("<h3><a href=\"http://a.example/\">a</a></h3>"), TESSEL_PAGE_READ,
         -1, -1},
        {"Retry-After of a redirect is not the page's",
         status(302).withHeader("Location", "/search2").withHeader("Retry-After", "60"),
         TESSEL_PAGE_READ, -1, -1},
    };
    farm.serve("/search2", page("<p>fine</p>"));
    for (const KindCase &c : cases) {
        SCOPED_TRACE(c.name);
        fetch(c.answer);
        EXPECT_EQ(PageKind(&record), c.kind);
        const int32_t retry = FetchRetryAfter(&record);
        EXPECT_GE(retry, c.retryLeast);
        EXPECT_LE(retry, c.retryMost);
    }
}

TEST_F(PageKinds, NoAnswerNoJudgement)
{
    record = FetchRecord{};
    std::string url = "http://127.0.0.1:" + std::to_string(refusedPort()) + "/";
    ASSERT_EQ(iGet(&record, url.c_str()), 1);
    ASSERT_TRUE(waitFor([&] { return Status(&record) == 0; }));
    EXPECT_EQ(PageKind(&record), TESSEL_PAGE_NONE);
    EXPECT_EQ(FetchRetryAfter(&record), -1);
    FetchRecord stranger{};
    EXPECT_EQ(PageKind(&stranger), TESSEL_PAGE_NONE); // not the slot's fetch
    EXPECT_EQ(PageKind(nullptr), TESSEL_PAGE_NONE);
}
