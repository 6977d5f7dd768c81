// The fixture server itself: every other network test trusts what it serves and logs.
#include "sandbox.h"
#include "sitefarm.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <future>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string headers;
    std::string body;
    double seconds = 0;
};

size_t collect(char *data, size_t size, size_t count, void *target)
{
    static_cast<std::string *>(target)->append(data, size * count);
    return size * count;
}

// A plain client: no redirects, a time limit so a faulty farm fails the test instead of
// hanging it.
Reply fetch(const std::string &url, bool head = false, const char *post = nullptr,
            long timeoutMs = 5000)
{
    Reply reply;
    CURL *easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "farmtest");
    curl_easy_setopt(easy, CURLOPT_NOBODY, head ? 1L : 0L);
    if (post)
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, post);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &reply.headers);
    auto start = std::chrono::steady_clock::now();
    reply.code = curl_easy_perform(easy);
    reply.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_cleanup(easy);
    return reply;
}

} // namespace

TEST(SiteFarm, ServesExactBytesStatusAndLogsTheRequest)
{
    SiteFarm farm;
    std::string sjis = encode("日本語のページ");
    farm.serve("/page", page(sjis, "text/html; charset=Shift_JIS"));
    farm.serve("/gone", status(404));
    farm.serve("/moved", status(301).withHeader("Location", "/page"));

    Reply got = fetch(farm.url("/page?q=%93%FA&p=11"));
    EXPECT_EQ(got.code, CURLE_OK);
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body, sjis);
    EXPECT_NE(got.headers.find("charset=Shift_JIS"), std::string::npos);
    EXPECT_EQ(fetch(farm.url("/gone")).status, 404);
    EXPECT_EQ(fetch(farm.url("/never-registered")).status, 404);

    Reply moved = fetch(farm.url("/moved"), true);
    EXPECT_EQ(moved.status, 301);
    EXPECT_NE(moved.headers.find("Location: /page"), std::string::npos);

    auto log = farm.requests("/page");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].query, "q=%93%FA&p=11");
    EXPECT_EQ(log[0].param("q"), "\x93\xFA");
    EXPECT_EQ(log[0].version, "HTTP/1.1");
    EXPECT_EQ(log[0].header("user-agent"), "farmtest");
    EXPECT_EQ(farm.requests("/moved").at(0).method, "HEAD");
    EXPECT_EQ(farm.requestCount(), 4u);
}

TEST(SiteFarm, EchoesFormPostsAndAnswersFromHandlers)
{
    SiteFarm farm;
    farm.serve("/post", SiteFarm::echo);
    farm.serve("/calc", [](const Request &r) { return page("q=" + r.param("q")); });
    Reply posted = fetch(farm.url("/post"), false, "a=1&b=%82%A0");
    EXPECT_EQ(posted.body, "a=1&b=%82%A0");
    EXPECT_EQ(farm.requests("/post").at(0).method, "POST");
    EXPECT_EQ(farm.requests("/post").at(0).header("Content-Type"),
              "application/x-www-form-urlencoded");
    EXPECT_EQ(fetch(farm.url("/calc?q=abc")).body, "q=abc");
}

TEST(SiteFarm, GeneratedSearchSitePagesThroughItsHits)
{
    SiteFarm farm;
    SearchSite site;
    site.hitsPerPage = 10;
    site.totalHits = 25;
    site.charset = "EUC-JP";
    farm.serveSearch("/s/search", site);
    std::string word = encode("日本", "EUC-JP");
    std::string escaped = "%C6%FC%CB%DC";
    std::string first = decode(fetch(farm.url("/s/search?q=" + escaped)).body, "EUC-JP");
    std::string last = decode(fetch(farm.url("/s/search?q=" + escaped + "&p=21")).body, "EUC-JP");
    EXPECT_NE(first.find("日本 の結果 1<"), std::string::npos);
    EXPECT_NE(first.find("日本 の結果 10<"), std::string::npos);
    EXPECT_EQ(first.find("日本 の結果 11<"), std::string::npos);
    EXPECT_NE(first.find("次へ"), std::string::npos);
    EXPECT_NE(last.find("日本 の結果 25<"), std::string::npos);
    EXPECT_EQ(last.find("日本 の結果 20<"), std::string::npos);
    EXPECT_EQ(last.find("次へ"), std::string::npos);
    EXPECT_EQ(fetch(farm.url("/s/search/doc/7")).status, 200);

    site.padTo = 300000;
    site.charset = "UTF-8";
    farm.serveSearch("/big", site);
    std::string big = fetch(farm.url("/big?q=x")).body;
    EXPECT_GE(big.size(), 300000u);
    EXPECT_NE(big.find("x の結果 10<"), std::string::npos);
}

TEST(SiteFarm, PlaysEveryFault)
{
    SiteFarm farm;
    std::string body(10000, 'b');
    farm.serve("/cut", page(body).withFault(Fault::CutOff, 3000));
    farm.serve("/reset", page(body).withFault(Fault::Reset));
    farm.serve("/reset-mid", page(body).withFault(Fault::ResetMidBody, 3000));
    farm.serve("/close", page(body).withFault(Fault::CloseBeforeHeaders));
    farm.serve("/stall", page(body).withFault(Fault::StallBeforeHeaders));
    farm.serve("/stall-mid", page(body).withFault(Fault::StallMidBody, 3000));
    farm.serve("/drip", page(body).withDrip(1000, 20ms));
    farm.serve("/slow", page(body).withDelay(150ms));
    farm.serve("/head", status(302).withHeader("Location", "/x").withFault(Fault::StallMidBody));

    Reply cut = fetch(farm.url("/cut"));
    EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.body.size(), 3000u);
    EXPECT_EQ(fetch(farm.url("/reset")).code, CURLE_RECV_ERROR);
    Reply resetMid = fetch(farm.url("/reset-mid"));
    EXPECT_EQ(resetMid.code, CURLE_RECV_ERROR);
    EXPECT_LE(resetMid.body.size(), 3000u);
    EXPECT_EQ(fetch(farm.url("/close")).code, CURLE_GOT_NOTHING);

    Reply stalled = fetch(farm.url("/stall"), false, nullptr, 300);
    EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(stalled.headers, "");
    Reply stalledMid = fetch(farm.url("/stall-mid"), false, nullptr, 300);
    EXPECT_EQ(stalledMid.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(stalledMid.body.size(), 3000u);

    Reply drip = fetch(farm.url("/drip"));
    EXPECT_EQ(drip.body, body);
    EXPECT_GE(drip.seconds, 0.18); // ten pieces, 20 ms before each
    Reply slow = fetch(farm.url("/slow"));
    EXPECT_EQ(slow.body, body);
    EXPECT_GE(slow.seconds, 0.14);

    // A HEAD answer ends after its headers even when the body would stall.
    Reply head = fetch(farm.url("/head"), true);
    EXPECT_EQ(head.code, CURLE_OK);
    EXPECT_EQ(head.status, 302);
    EXPECT_NE(head.headers.find("Location: /x"), std::string::npos);
}

TEST(SiteFarm, SeesAClientLeaveAndStopsPromptlyWithStalledConnections)
{
    auto farm = std::make_unique<SiteFarm>();
    farm->serve("/stall", page("x").withFault(Fault::StallBeforeHeaders));
    farm->serve("/idle", page("x"));

    // A client that gives up: the farm notices and lets the connection go.
    fetch(farm->url("/stall"), false, nullptr, 100);
    EXPECT_TRUE(waitFor([&] { return farm->openConnections() == 0; }, 2s));

    std::vector<std::future<Reply>> stalled;
    for (int i = 0; i < 20; ++i)
        stalled.push_back(std::async(
            std::launch::async, [&] { return fetch(farm->url("/stall"), false, nullptr, 20000); }));
    ASSERT_TRUE(farm->waitForRequests(21));
    EXPECT_EQ(farm->openConnections(), 20);
    auto start = std::chrono::steady_clock::now();
    farm.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    for (auto &reply : stalled)
        EXPECT_NE(reply.get().code, CURLE_OK);
}
