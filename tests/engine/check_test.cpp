// Link checks over real sockets: iCheck, ExitCheck, the HEAD request and every stage.
#include "bounds.h"
#include "check.h"
#include "fakedns.h"
#include "reach.h"
#include "realpages/sites.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"
#include "transfer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

int32_t read(int32_t &field)
{
    return std::atomic_ref<int32_t>(field).load();
}

class Check : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (int32_t slot = 0; slot < TESSEL_SLOT_COUNT; ++slot)
            if (records[slot].slot == slot)
                ExitCheck(&records[slot]);
    }

    FetchRecord &record(int32_t slot)
    {
        FetchRecord &r = records[slot];
        r = FetchRecord{};
        r.slot = slot;
        return r;
    }

    // Checks the URL on the slot and waits (bounded) for the final status.
    int32_t check(const std::string &url, int32_t slot = 0)
    {
        FetchRecord &r = record(slot);
        if (tessel::startCheck(&r, slot, url.c_str()) == 1) {
            EXPECT_TRUE(waitFor([&] { return Status(&r) == 0; }));
        }
        return r.status;
    }

    SiteFarm farm;
    std::unique_ptr<FetchRecord[]> records{new FetchRecord[TESSEL_SLOT_COUNT]()};
};

} // namespace

// The state is the last answer's: redirects are followed for up to five hops, and a server
// that refuses HEAD is asked again with a GET whose body is never read (this one would never
// end). A check that gets no answer keeps the step it failed at: -12 before the request went
// out, -25 after.
TEST_F(Check, ReportsTheFinalAnswerOrTheStepItFailedAt)
{
    const int codes[] = {200, 402, 403, 404, 410, 500, 502};
    for (int code : codes)
        farm.serve("/" + std::to_string(code), status(code));
    farm.serve("/moved", status(301).withHeader("Location", "/200"));
    farm.serve("/lost", status(302).withHeader("Location", "/404"));
    // /hop1 -> /hop2 -> ... -> /hop6 -> /200
    for (int hop = 1; hop <= 6; ++hop)
        farm.serve("/hop" + std::to_string(hop),
                   status(302).withHeader("Location",
                                          hop < 6 ? "/hop" + std::to_string(hop + 1) : "/200"));
    auto refusing = [](int refusal, Answer get) {
        return [=](const Request &r) { return r.method == "HEAD" ? status(refusal) : get; };
    };
    farm.serve("/page", refusing(405, page("x").withFault(Fault::Endless)));
    farm.serve("/gone", refusing(501, status(404)));
    farm.serve("/never", status(405));
    farm.serve("/reset", status(200).withFault(Fault::Reset));
    farm.serve("/close", status(200).withFault(Fault::CloseBeforeHeaders));
    SiteFarm secure{SiteFarm::Tls{}};
    secure.serve("/doc", status(403));
    const std::string refused = "127.0.0.1:" + std::to_string(refusedPort()) + "/x";
    // Paths are the farm's; https is a web address, checked like any, and a certificate the
    // trust store doesn't vouch for fails the handshake.
    const std::pair<std::string, int32_t> cases[] = {
        {"/moved", 200},
        {"/lost", 404},
        {"/hop2", 200},
        {"/hop1", 302},
        {"/page", 200},
        {"/gone", 404},
        {"/never", 405},
        {"/reset", -25},
        {"/close", -25},
        {"http://" + refused, -12},
        {"https://" + refused, -12},
        {"http://gone.unresolvable.test/x", -12},
        {secure.url("/doc?x=1"), -12},
    };
    for (int code : codes)
        EXPECT_EQ(check(farm.url("/" + std::to_string(code))), code);
    for (const auto &[url, state] : cases)
        EXPECT_EQ(check(url[0] == '/' ? farm.url(url) : url), state) << url;
    EXPECT_EQ(farm.requests("/hop6").size(), 2u); // the sixth redirect was not followed
    auto log = farm.requests("/page");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method, "HEAD");
    EXPECT_EQ(log[1].method, "GET");

    // Over TLS only from a server the trust store vouches for.
    EXPECT_EQ(secure.requestCount(), 0u);
    tessel::trustCertificates(secure.certificate());
    const int32_t trusted = check(secure.url("/doc?x=1"), 1);
    tessel::trustCertificates("");
    EXPECT_EQ(trusted, 403);
    ASSERT_EQ(secure.requestCount(), 1u);
    EXPECT_EQ(secure.requests()[0].method, "HEAD");
    EXPECT_EQ(secure.requests()[0].target, "/doc");
}

// A public server's redirect can't lead a check into the user's own network: the chain ends
// at the redirect. From a private start (an intranet search) it is followed.
TEST_F(Check, ARedirectFromPublicToPrivateIsNotFollowed)
{
    SiteFarm inside;
    inside.serve("/admin", status(200));
    farm.serve("/out", status(302).withHeader("Location", inside.url("/admin")));
    tessel::treatAsPublic({farm.port()});
    const int32_t fromPublic = check(farm.url("/out"));
    tessel::treatAsPublic({});
    EXPECT_EQ(fromPublic, 302);
    EXPECT_EQ(inside.requestCount(), 0u);
    EXPECT_EQ(check(farm.url("/out")), 200);
}

TEST_F(Check, SendsHeadOverHttp10ForThePathWithoutItsQuery)
{
    farm.servePrefix("/", [](const Request &) { return status(200); });
    check(farm.url("/dir/page.html?q=1&r=2"));
    check(farm.url(""));
    check(farm.url("/a b/\x93\xFA"));
    auto log = farm.requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].method, "HEAD");
    EXPECT_EQ(log[0].version, "HTTP/1.0");
    EXPECT_EQ(log[0].target, "/dir/page.html");
    EXPECT_EQ(log[0].header("User-Agent").rfind("INET", 0), 0u);
    EXPECT_EQ(log[1].target, "/"); // a host without a path
    EXPECT_EQ(log[2].target, "/a%20b/%93%FA");
}

TEST_F(Check, FetchesAndChecksCountOneAgentNumber)
{
    farm.serve("/x", status(200));
    FetchRecord &fetch = record(1);
    ASSERT_EQ(iGet(&fetch, farm.url("/x").c_str()), 1);
    ASSERT_TRUE(waitFor([&] { return Status(&fetch) == 0; }));
    check(farm.url("/x"), 2);
    auto log = farm.requests("/x");
    ASSERT_EQ(log.size(), 2u);
    int first = std::stoi(log[0].header("User-Agent").substr(4));
    EXPECT_EQ(log[1].header("User-Agent"), "INET" + std::to_string(first + 1));
}

TEST_F(Check, AddressesThatAreNotWebAddressesReadAs404WithoutTraffic)
{
    for (const char *url :
         {"ftp://127.0.0.1/x", "HTTP://127.0.0.1/", "Https://a/", "", "www.a.jp", "mailto:a@b"}) {
        FetchRecord &r = record(3);
        r.status = 7;
        EXPECT_EQ(tessel::startCheck(&r, 3, url), 0) << url;
        EXPECT_EQ(r.status, 404) << url;
        EXPECT_EQ(Status(&r), 0);
    }
    EXPECT_EQ(farm.requestCount(), 0u);
}

TEST_F(Check, RecordRulesForSlotsAndIndexes)
{
    farm.serve("/x", status(200));
    FetchRecord outside{};
    outside.slot = 1000;
    EXPECT_EQ(tessel::startCheck(&outside, 5, farm.url("/x").c_str()), 0);
    EXPECT_EQ(outside.status, -1);
    outside.slot = -1;
    EXPECT_EQ(tessel::startCheck(&outside, 5, farm.url("/x").c_str()), 0);
    EXPECT_EQ(outside.status, -1);

    FetchRecord &r = record(999);
    ASSERT_EQ(tessel::startCheck(&r, 42, farm.url("/x").c_str()), 1);
    EXPECT_EQ(read(r.bytes), 42); // the result index, for the caller
    ASSERT_TRUE(waitFor([&] { return Status(&r) == 0; }));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.bytes, 42);
    EXPECT_EQ(ExitCheck(&r), 0); // after the end: cancelled all the same
    EXPECT_EQ(r.status, -24);
    EXPECT_EQ(r.bytes, 0);
}

TEST_F(Check, ChecksTheUrlsOfTheResultStore)
{
    Sandbox box;
    extraction::SiteSpec site;
    site.script = R"(LOOP href=" URL " > TITLE </a> ENDLOOP)";
    ASSERT_EQ(extraction::loadSites(box, {site}), 1);
    InitResult();
    iParse(-1, 1000);
    farm.serve("/live", status(200));
    std::string hits = "<a href=\"" + farm.url("/live?from=list") + "\">live</a>" + "<a href=\"" +
                       farm.url("/dead") + "\">dead</a>";
    ASSERT_EQ(iData(0, hits.data(), static_cast<int32_t>(hits.size())), 2);
    for (int32_t index = 0; index < 2; ++index) {
        FetchRecord &r = record(index);
        ASSERT_EQ(iCheck(&r, index), 1);
        ASSERT_TRUE(waitFor([&] { return Status(&r) == 0; }));
    }
    EXPECT_EQ(records[0].status, 200);
    EXPECT_EQ(records[1].status, 404);
    FetchRecord &beyond = record(2);
    EXPECT_EQ(iCheck(&beyond, 2), 0); // no such result: its empty URL reads as 404
    EXPECT_EQ(beyond.status, 404);
}

TEST_F(Check, ExitCheckEndsEveryStageAtOnce)
{
    Tarpit tarpit;
    SilentPort silent;
    farm.serve("/hang", status(200).withFault(Fault::StallBeforeHeaders));
    const int descriptors = openDescriptors();
    const int threads = runningThreads();
    holdStalledNames();
    struct Stage {
        const char *name;
        std::string url;
        int32_t status;
        std::function<bool()> reached;
    };
    auto settled = [] {
        auto since = std::chrono::steady_clock::now();
        return [since] { return std::chrono::steady_clock::now() - since > 150ms; };
    };
    std::vector<Stage> stages = {
        {"name lookup", "http://site.stall.test/", -12, [] { return stalledLookups() > 0; }},
        {"connect", "http://127.0.0.1:" + std::to_string(tarpit.port()) + "/", -12, nullptr},
        {"TLS handshake", "https://127.0.0.1:" + std::to_string(silent.port()) + "/", -12,
         [&] { return silent.clientSpoke(); }},
        {"status line", farm.url("/hang"), -25, [&] { return farm.requestCount() > 0; }},
    };
    for (Stage &stage : stages) {
        FetchRecord &r = record(10);
        ASSERT_EQ(tessel::startCheck(&r, 10, stage.url.c_str()), 1);
        if (!stage.reached)
            stage.reached = settled();
        ASSERT_TRUE(waitFor(stage.reached)) << stage.name;
        // The thread writes its stage a moment after the far side has seen it get there.
        waitFor([&] { return read(r.status) == stage.status; });
        EXPECT_EQ(read(r.status), stage.status) << stage.name;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ExitCheck(&r), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, testsupport::kPromptCancel)
            << stage.name;
        EXPECT_EQ(Status(&r), 0);
        EXPECT_EQ(r.status, -24) << stage.name;
    }
    releaseStalledNames();
    silent.hangUp();
    EXPECT_TRUE(waitFor([] { return stalledLookups() == 0; }));
    EXPECT_TRUE(waitFor([&] { return openDescriptors() <= descriptors; }));
    EXPECT_TRUE(waitFor([&] { return runningThreads() <= threads; }));
}

TEST_F(Check, NineHundredNinetyNineChecksAtOnceAllComplete)
{
    farm.servePrefix("/hit/", [](const Request &request) {
        return status(request.path.ends_with("7") ? 404 : 200);
    });
    raiseOpenFileLimit();
    const int descriptors = openDescriptors();
    const int threads = runningThreads();
    for (int32_t slot = 0; slot < 999; ++slot) {
        FetchRecord &r = record(slot);
        ASSERT_EQ(tessel::startCheck(&r, slot, farm.url("/hit/" + std::to_string(slot)).c_str()), 1)
            << slot;
    }
    for (int32_t slot = 0; slot < 999; ++slot)
        ASSERT_TRUE(waitFor([&] { return Status(&records[slot]) == 0; }, 60s)) << slot;
    for (int32_t slot = 0; slot < 999; ++slot)
        EXPECT_EQ(records[slot].status, slot % 10 == 7 ? 404 : 200) << slot;
    EXPECT_EQ(farm.requestCount(), 999u);
    EXPECT_TRUE(waitFor([&] { return openDescriptors() <= descriptors; }));
    EXPECT_TRUE(waitFor([&] { return runningThreads() <= threads; }));
}
