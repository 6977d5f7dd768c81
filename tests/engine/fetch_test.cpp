// Page fetches over real sockets: iGet, Status, Kill, the page buffer and every stage.
#include "bounds.h"
#include "fakedns.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "slots.h"
#include "tessel.h"
#include "transfer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

int32_t read(int32_t &field)
{
    return std::atomic_ref<int32_t>(field).load();
}

// A page with a mark every `every` bytes, so a shifted or repeated piece shows.
std::string marked(size_t size, size_t every)
{
    std::string text(size, 'a');
    for (size_t i = 0; i < size; i += every)
        text[i] = static_cast<char>('0' + (i / every) % 43);
    return text;
}

class Fetch : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (FetchRecord &record : records)
            Kill(&record);
    }

    FetchRecord &record(int32_t slot)
    {
        FetchRecord &r = records[slot];
        r = FetchRecord{};
        r.slot = slot;
        r.site = 3;
        r.page = 7;
        return r;
    }

    // Starts a fetch on the slot and waits (bounded) for its thread to end.
    FetchRecord &fetch(const std::string &url, int32_t slot = 0)
    {
        FetchRecord &r = record(slot);
        EXPECT_EQ(iGet(&r, url.c_str()), 1);
        EXPECT_TRUE(waitFor([&] { return Status(&r) == 0; }));
        return r;
    }

    std::string stored(int32_t slot, const FetchRecord &r)
    {
        return std::string(tessel::pageBuffer(slot), static_cast<size_t>(r.bytes));
    }

    SiteFarm farm;
    FetchRecord records[TESSEL_PAGE_SLOTS] = {};
};

} // namespace

TEST_F(Fetch, StoresThePageAndSendsAPlainGetWithItsOwnAgentName)
{
    std::string sjis = encode("<html>検索結果のページ</html>");
    farm.serve("/search", page(sjis, "text/html; charset=Shift_JIS"));
    FetchRecord &r = fetch(farm.url("/search?q=%93%FA%96%7B&p=11"), 4);
    EXPECT_EQ(r.status, -20);
    EXPECT_EQ(r.bytes, static_cast<int32_t>(sjis.size()));
    EXPECT_GE(r.reads, 1);
    EXPECT_EQ(stored(4, r), sjis);
    EXPECT_EQ(tessel::pageBuffer(4)[r.bytes], '\0');
    EXPECT_EQ(r.site, 3); // the caller's fields are left alone
    EXPECT_EQ(r.page, 7);
    EXPECT_EQ(tessel::slotOwner(4), &r);

    FetchRecord &again = fetch(farm.url("/search"), 5);
    EXPECT_EQ(again.status, -20);
    auto log = farm.requests("/search");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].query, "q=%93%FA%96%7B&p=11");
    ASSERT_EQ(log[0].header("User-Agent").rfind("INET", 0), 0u);
    int first = std::stoi(log[0].header("User-Agent").substr(4));
    EXPECT_EQ(log[1].header("User-Agent"), "INET" + std::to_string(first + 1));
}

// A text that would end the header line is refused and leaves the one set before.
TEST_F(Fetch, SendsTheUserAgentSetUntilTheDefaultIsRestored)
{
    farm.serve("/search", page("ok"));
    ASSERT_EQ(SetUserAgent("Mozilla/5.0 (X11; Linux x86_64) probe"), 0);
    EXPECT_EQ(SetUserAgent("a\r\nX-Injected: 1"), -1);
    EXPECT_EQ(SetUserAgent(std::string(256, 'a').c_str()), -1);
    fetch(farm.url("/search"));
    ASSERT_EQ(SetUserAgent(nullptr), 0);
    fetch(farm.url("/search"));
    auto log = farm.requests("/search");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].header("User-Agent"), "Mozilla/5.0 (X11; Linux x86_64) probe");
    EXPECT_FALSE(log[0].hasHeader("X-Injected"));
    EXPECT_EQ(log[1].header("User-Agent").rfind("INET", 0), 0u);
}

TEST_F(Fetch, RequestIsCutAtTheFirstByteOutside21To7FAndAt1023Bytes)
{
    farm.servePrefix("/", [](const Request &) { return page("ok"); });
    fetch(farm.url("/a?q=x y&z=1"));
    fetch(farm.url("/b?q=\x93\xFA"));
    fetch(farm.url("/c?q=\x01tab"));
    fetch(farm.url("/d?q=~\x7F"));
    std::string prefix = farm.url("/e?q=");
    fetch(prefix + std::string(1100 - prefix.size(), 'x'));
    auto log = farm.requests();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].target, "/a?q=x");
    EXPECT_EQ(log[1].target, "/b?q=");
    EXPECT_EQ(log[2].target, "/c?q=");
    EXPECT_EQ(log[3].target, "/d?q=~%7F"); // 0x7F passes the cut; the client escapes it
    EXPECT_EQ(farm.url(log[4].target).size(), 1023u);
}

TEST_F(Fetch, EachAnswerOrFailureEndsWithItsStatusPageAndResult)
{
    SiteFarm secure{SiteFarm::Tls{}};
    secure.serve("/page", page("over TLS"));
    const std::string body(20000, 'c');
    farm.serve("/ok", page("fine"));
    farm.serve("/old", status(302).withHeader("Location", "/new"));
    farm.serve("/new", page("moved here"));
    farm.serve("/gone", status(302).withHeader("Location", "/missing"));
    farm.serve("/missing", page("no such page").withStatus(404));
    farm.serve("/fails", page("broken").withStatus(500));
    farm.serve("/cut", page(body).withFault(Fault::CutOff, 5000));
    farm.serve("/reset", page("x").withFault(Fault::Reset));
    farm.serve("/close", page("x").withFault(Fault::CloseBeforeHeaders));
    const std::string host = "127.0.0.1:" + std::to_string(farm.port());
    const std::string refused = "http://127.0.0.1:" + std::to_string(refusedPort()) + "/";
    const struct {
        std::string url;
        int32_t status;
        int32_t result;
        std::string page;
    } cases[] = {
        {farm.url("/ok"), -20, 200, "fine"},
        {farm.url("/old"), -20, 200, "moved here"},
        {farm.url("/gone"), -20, 404, "no such page"}, // the final answer's code
        {farm.url("/missing"), -20, 404, "no such page"},
        {farm.url("/fails"), -20, 500, "broken"},
        {farm.url("/cut"), -20, 200, body.substr(0, 5000)}, // broke off: the page holds what came
        {"http://nowhere.unresolvable.test/", -11, TESSEL_FETCH_NAME, ""},
        {refused, -11, TESSEL_FETCH_CONNECT, ""},
        {secure.url("/page"), -11, TESSEL_FETCH_TLS, ""}, // self-signed, not in the system's store
        {farm.url("/reset"), -11, TESSEL_FETCH_NO_ANSWER, ""},
        {farm.url("/close"), -11, TESSEL_FETCH_NO_ANSWER, ""},
        {"ftp://" + host + "/x", -10, TESSEL_FETCH_BAD_REQUEST, ""},
        {"HTTP://" + host + "/x", -10, TESSEL_FETCH_BAD_REQUEST, ""},
        {"gopher://" + host + "/x", -10, TESSEL_FETCH_BAD_REQUEST, ""},
        {"", -10, TESSEL_FETCH_BAD_REQUEST, ""},
    };
    for (const auto &c : cases) {
        std::memset(tessel::pageBuffer(2), 'z', 16);
        FetchRecord &r = fetch(c.url, 2);
        EXPECT_EQ(r.status, c.status) << c.url;
        EXPECT_EQ(FetchResult(&r), c.result) << c.url;
        EXPECT_EQ(stored(2, r), c.page) << c.url;
    }
    EXPECT_EQ(secure.requestCount(), 0u);
    EXPECT_TRUE(farm.requests("/x").empty()); // an unknown scheme sends nothing

    // Over TLS only from a server the trust store vouches for.
    tessel::trustCertificates(secure.certificate());
    FetchRecord &trusted = fetch(secure.url("/page"), 1);
    tessel::trustCertificates("");
    EXPECT_EQ(trusted.status, -20);
    EXPECT_EQ(stored(1, trusted), "over TLS");
}

TEST_F(Fetch, PageKeepsUpToOneMegabyteAndDrainsTheRest)
{
    const std::string large = marked(700000, 1000), huge = marked(2500000, 777);
    farm.serve("/large", page(large));
    farm.serve("/huge", page(huge));
    FetchRecord &whole = fetch(farm.url("/large"));
    EXPECT_EQ(whole.status, -20);
    EXPECT_EQ(stored(0, whole), large); // past the old 100000-byte cut: nothing lost

    FetchRecord &cut = fetch(farm.url("/huge"), 1);
    EXPECT_EQ(cut.status, -20);
    EXPECT_GE(cut.bytes, tessel::kPageFillLimit);
    EXPECT_LE(cut.bytes, tessel::kPageSize);
    EXPECT_EQ(stored(1, cut), huge.substr(0, static_cast<size_t>(cut.bytes)));
    // Every read counts, the drained ones of at most 8192 bytes included.
    EXPECT_GE(cut.reads, 1 + (2500000 - cut.bytes) / 8192);
}

TEST_F(Fetch, BodyResetMidwayEndsTheReadLoopWithWhatCame)
{
    farm.serve("/reset", page(std::string(20000, 'c')).withFault(Fault::ResetMidBody, 5000));
    FetchRecord &reset = fetch(farm.url("/reset"), 1);
    EXPECT_EQ(reset.status, -20);
    EXPECT_LE(reset.bytes, 5000);
    EXPECT_EQ(stored(1, reset), std::string(static_cast<size_t>(reset.bytes), 'c'));
}

TEST_F(Fetch, GetPassesMinus11ThenMinus15WhileTheBodyDrips)
{
    farm.serve("/slow", page(std::string(3000, 's')).withDelay(300ms).withDrip(1000, 100ms));
    FetchRecord &r = record(0);
    ASSERT_EQ(iGet(&r, farm.url("/slow").c_str()), 1);
    EXPECT_EQ(Status(&r), 1);
    ASSERT_TRUE(waitFor([&] { return farm.requestCount() == 1; }));
    EXPECT_EQ(read(r.status), -11);
    ASSERT_TRUE(waitFor([&] { return read(r.bytes) > 0; }));
    EXPECT_EQ(read(r.status), -15);
    EXPECT_LT(read(r.bytes), 3000);
    ASSERT_TRUE(waitFor([&] { return Status(&r) == 0; }));
    EXPECT_EQ(r.status, -20);
    EXPECT_EQ(r.bytes, 3000);
    EXPECT_GE(r.reads, 3);
}

TEST_F(Fetch, FormPostSendsTheBodyWithExactlyOneContentTypeLine)
{
    farm.serve("/cgi/find", SiteFarm::echo);
    farm.serve("/", SiteFarm::echo);
    std::string host = "127.0.0.1:" + std::to_string(farm.port());
    FetchRecord &r = fetch("post://" + host + "/cgi/find?q=%82%A0&n=10");
    EXPECT_EQ(r.status, -20);
    EXPECT_EQ(stored(0, r), "q=%82%A0&n=10");
    fetch("post://" + host + "/cgi/find", 1);
    fetch("post://" + host, 2);
    auto log = farm.requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].method, "POST");
    EXPECT_EQ(log[0].target, "/cgi/find");
    EXPECT_EQ(log[0].body, "q=%82%A0&n=10");
    EXPECT_EQ(log[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_FALSE(log[0].hasHeader("Expect"));
    EXPECT_EQ(log[0].header("User-Agent").rfind("INET", 0), 0u);
    EXPECT_EQ(log[1].body, "");
    EXPECT_EQ(log[2].target, "/");
}

TEST_F(Fetch, FormPostStagesAndAnUnreachableHostLeavesMinus12)
{
    std::string refused = "post://127.0.0.1:" + std::to_string(refusedPort()) + "/x?a=1";
    FetchRecord &lost = fetch(refused);
    EXPECT_EQ(lost.status, -12);
    EXPECT_EQ(lost.bytes, 0);

    farm.serve("/wait", page("done").withDelay(300ms));
    FetchRecord &r = record(1);
    ASSERT_EQ(iGet(&r, ("post://127.0.0.1:" + std::to_string(farm.port()) + "/wait?a=1").c_str()),
              1);
    ASSERT_TRUE(farm.waitForRequests(1));
    EXPECT_EQ(read(r.status), -14); // sent, waiting for the answer
    ASSERT_TRUE(waitFor([&] { return Status(&r) == 0; }));
    EXPECT_EQ(r.status, -20);
}

TEST_F(Fetch, KillStatusAndSlotRules)
{
    FetchRecord never{}; // slots above 49 never fetch
    never.slot = 600;
    never.status = 5;
    never.bytes = 6;
    EXPECT_EQ(Status(&never), 0);
    EXPECT_EQ(Kill(&never), 0); // a slot that never had a thread is left alone
    EXPECT_EQ(never.status, 5);
    EXPECT_EQ(never.bytes, 6);

    farm.serve("/p", page("done"));
    FetchRecord &ended = fetch(farm.url("/p"), 8);
    ASSERT_EQ(ended.status, -20);
    EXPECT_EQ(Kill(&ended), 0);
    EXPECT_EQ(ended.status, -24);
    EXPECT_EQ(ended.bytes, 0);

    FetchRecord outside{};
    outside.slot = 50; // no page buffer: refused, nothing written outside the 50 pages
    EXPECT_EQ(iGet(&outside, farm.url("/p").c_str()), 0);
    EXPECT_EQ(outside.status, -1);
    outside.slot = -1;
    EXPECT_EQ(iGet(&outside, farm.url("/p").c_str()), 0);
    EXPECT_EQ(Status(&outside), 0);
    EXPECT_EQ(Kill(&outside), 0);

    // A slot whose fetch still runs is not taken over.
    farm.serve("/hang", page("x").withFault(Fault::StallBeforeHeaders));
    FetchRecord &busy = record(7);
    ASSERT_EQ(iGet(&busy, farm.url("/hang").c_str()), 1);
    EXPECT_EQ(FetchResult(&busy), 0); // still running
    FetchRecord other{};
    other.slot = 7;
    EXPECT_EQ(iGet(&other, farm.url("/p").c_str()), 0);
    EXPECT_EQ(tessel::slotOwner(7), &busy);
    Kill(&busy);
    EXPECT_EQ(busy.status, -24);
    EXPECT_EQ(FetchResult(&busy), TESSEL_FETCH_CANCELLED);
    EXPECT_EQ(FetchResult(&other), 0); // same slot, not the record the fetch was started with
    EXPECT_EQ(FetchResult(nullptr), 0);
}

TEST_F(Fetch, FiftyConcurrentFetchesDoNotWaitForEachOther)
{
    farm.serve("/slow", page(std::string(100000, 'p')).withDelay(400ms));
    auto start = std::chrono::steady_clock::now();
    for (int32_t slot = 0; slot < TESSEL_PAGE_SLOTS; ++slot) {
        FetchRecord &r = record(slot);
        ASSERT_EQ(iGet(&r, farm.url("/slow").c_str()), 1);
    }
    for (int32_t slot = 0; slot < TESSEL_PAGE_SLOTS; ++slot)
        ASSERT_TRUE(waitFor([&] { return Status(&records[slot]) == 0; }));
    auto elapsed = std::chrono::steady_clock::now() - start;
    // One after another they would take 20 s; together, barely more than one.
    EXPECT_LT(elapsed, 2s);
    for (FetchRecord &r : records) {
        EXPECT_EQ(r.status, -20);
        EXPECT_EQ(r.bytes, 100000);
    }
}

TEST_F(Fetch, KillEndsEveryStageAtOnceAndLeavesNothingBehind)
{
    Tarpit tarpit;
    SilentPort silent;
    std::string body(200000, 'm');
    farm.serve("/hang", page(body).withFault(Fault::StallBeforeHeaders));
    farm.serve("/half", page(body).withFault(Fault::StallMidBody, 50000));
    farm.serve("/drip", page(body).withDrip(100, 20ms));
    std::string farmHost = "127.0.0.1:" + std::to_string(farm.port());
    std::string pit = "127.0.0.1:" + std::to_string(tarpit.port());
    struct Stage {
        const char *name;
        std::string url;
        int32_t status;
        std::function<bool(FetchRecord &)> reached;
    };
    auto after = [](std::chrono::milliseconds wait) {
        auto since = std::make_shared<std::chrono::steady_clock::time_point>(
            std::chrono::steady_clock::now());
        return [since, wait](FetchRecord &) {
            return std::chrono::steady_clock::now() - *since > wait;
        };
    };
    auto requested = [&](size_t n) {
        return [&, n](FetchRecord &) { return farm.requestCount() >= n; };
    };
    auto receiving = [](FetchRecord &r) { return read(r.bytes) > 0; };
    const int descriptors = openDescriptors();
    const int threads = runningThreads();
    holdStalledNames();
    std::vector<Stage> stages = {
        {"name lookup", "http://search.stall.test/", -11,
         [](FetchRecord &) { return stalledLookups() > 0; }},
        {"connect", "http://" + pit + "/", -11, nullptr},
        {"TLS handshake", "https://127.0.0.1:" + std::to_string(silent.port()) + "/", -11,
         [&](FetchRecord &) { return silent.clientSpoke(); }},
        {"headers", farm.url("/hang"), -11, requested(1)},
        {"mid-body", farm.url("/half"), -15, receiving},
        {"drip-fed body", farm.url("/drip"), -15, receiving},
        {"post connect", "post://" + pit + "/f?a=1", -12, nullptr},
        {"post answer", "post://" + farmHost + "/hang?a=1", -14, requested(4)},
    };
    for (Stage &stage : stages) {
        if (!stage.reached)
            stage.reached = after(150ms);
        FetchRecord &r = record(0);
        ASSERT_EQ(iGet(&r, stage.url.c_str()), 1) << stage.name;
        ASSERT_TRUE(waitFor([&] { return stage.reached(r); })) << stage.name;
        EXPECT_EQ(read(r.status), stage.status) << stage.name;
        EXPECT_EQ(Status(&r), 1) << stage.name;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Kill(&r), 0);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, testsupport::kPromptCancel) << stage.name;
        EXPECT_EQ(Status(&r), 0);
        EXPECT_EQ(r.status, -24) << stage.name;
        EXPECT_EQ(r.bytes, 0) << stage.name;
    }
    // The lookup thread belongs to the resolver and ends when the lookup does.
    releaseStalledNames();
    silent.hangUp();
    EXPECT_TRUE(waitFor([] { return stalledLookups() == 0; }));
    EXPECT_TRUE(waitFor([&] { return farm.openConnections() == 0; }));
    EXPECT_TRUE(waitFor([&] { return openDescriptors() <= descriptors; }))
        << openDescriptors() << " descriptors, " << descriptors << " before";
    EXPECT_TRUE(waitFor([&] { return runningThreads() <= threads; }))
        << runningThreads() << " threads, " << threads << " before";
}
