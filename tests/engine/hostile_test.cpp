// Hostile servers: every fetch, check and download ends, within its limits, whatever a server
// sends: endless or dripping bodies and heads, enormous heads, redirect loops, a way down from
// https to plain http or from a public server into the private network, credentials in an
// address, compressed bombs.
#include "check.h"
#include "reach.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "slots.h"
#include "tessel.h"
#include "transfer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

int32_t read(int32_t &field)
{
    return std::atomic_ref<int32_t>(field).load();
}

// What one address did to a fetch, a link check and a download of it, all run at once.
struct Outcome {
    int32_t fetch = 0;
    int32_t fetchResult = 0;
    int32_t fetchBytes = 0;
    std::string page; // what the fetch stored
    int32_t check = 0;
    int32_t download = 0;
    int32_t downloadBytes = 0;
    bool file = false;
};

class Hostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = tessel::transferLimits();
        // The limits scaled down, so a test waits a second where the program waits a minute.
        tessel::transferLimits().stallSeconds = 1;
        tessel::transferLimits().downloadMost = 8 << 20;
    }

    void TearDown() override
    {
        Kill(&fetchRecord);
        ExitCheck(&checkRecord);
        if (Status_iDown())
            Exit_iDown(&downloadRecord);
        tessel::transferLimits() = saved;
        tessel::treatAsPublic({});
    }

    Outcome run(const std::string &url)
    {
        fetchRecord = FetchRecord{};
        checkRecord = FetchRecord{};
        checkRecord.slot = 100;
        EXPECT_EQ(iGet(&fetchRecord, url.c_str()), 1);
        EXPECT_EQ(tessel::startCheck(&checkRecord, 0, url.c_str()), 1);
        EXPECT_EQ(iDown(&downloadRecord, url.c_str(), "f.bin"), 1);
        // Far beyond the one-second stall limit, far below the program's minute.
        EXPECT_TRUE(waitFor(
            [&] {
                return Status(&fetchRecord) == 0 && Status(&checkRecord) == 0 && !Status_iDown();
            },
            20s))
            << url;
        Outcome o;
        o.fetch = read(fetchRecord.status);
        o.fetchResult = FetchResult(&fetchRecord);
        o.fetchBytes = read(fetchRecord.bytes);
        o.page = stored(o.fetchBytes);
        o.check = read(checkRecord.status);
        o.download = read(downloadRecord.status);
        o.downloadBytes = read(downloadRecord.bytes);
        o.file = std::filesystem::exists("f.bin");
        return o;
    }

    std::string stored(int32_t bytes) const
    {
        return std::string(tessel::pageBuffer(0), static_cast<size_t>(bytes));
    }

    tessel::TransferLimits saved;
    Sandbox box;
    SiteFarm farm;
    FetchRecord fetchRecord{};
    FetchRecord checkRecord{};
    DownloadRecord downloadRecord{};
};

} // namespace

TEST_F(Hostile, AnEndlessBodyEndsWithAFullPageAndNoFile)
{
    farm.serve("/endless", page(std::string(64 * 1024, 'e')).withFault(Fault::Endless));
    const Outcome o = run(farm.url("/endless"));
    EXPECT_EQ(o.fetch, -20);
    EXPECT_GE(o.fetchBytes, tessel::kPageFillLimit);
    EXPECT_LE(o.fetchBytes, tessel::kPageSize);
    EXPECT_EQ(o.check, 200);
    EXPECT_EQ(o.download, -15);
    EXPECT_GT(o.downloadBytes, 8 << 20);
    EXPECT_FALSE(o.file);
}

TEST_F(Hostile, SilenceEndsEachTransferAsAFailureOfItsStage)
{
    // Headers, then a byte a minute.
    farm.serve("/drip", page(std::string(100, 'd')).withDrip(1, 60s));
    const Outcome drip = run(farm.url("/drip"));
    EXPECT_EQ(drip.fetch, -20); // the body broke off: the page holds what came
    EXPECT_EQ(drip.fetchBytes, 0);
    EXPECT_EQ(drip.check, 200); // a HEAD answer has no body to wait for
    EXPECT_EQ(drip.download, -15);
    EXPECT_FALSE(drip.file);

    farm.serve("/silent", page("x").withFault(Fault::StallBeforeHeaders));
    const Outcome silent = run(farm.url("/silent"));
    EXPECT_EQ(silent.fetch, -11);
    EXPECT_EQ(silent.check, -25);
    EXPECT_EQ(silent.download, -11);
    EXPECT_FALSE(silent.file);

    // A TLS handshake nobody answers.
    SilentPort port;
    const Outcome handshake = run("https://127.0.0.1:" + std::to_string(port.port()) + "/");
    EXPECT_EQ(handshake.fetch, -11);
    EXPECT_EQ(handshake.check, -12);
    EXPECT_EQ(handshake.download, -11);
}

TEST_F(Hostile, ADripOfTwoBytesASecondEndsEachTransferAsATimeout)
{
    // Never silent, far below the floor of 100 bytes a second: in the body ...
    farm.serve("/drip", page(std::string(100000, 'd')).withDrip(2, 1s));
    const Outcome body = run(farm.url("/drip"));
    EXPECT_EQ(body.fetch, -20); // the read loop ended; the page holds what came
    EXPECT_LT(body.fetchBytes, 100);
    EXPECT_EQ(body.fetchResult, TESSEL_FETCH_TIMEOUT);
    EXPECT_EQ(body.check, 200); // a HEAD answer has no body to wait for
    EXPECT_EQ(body.download, -15);
    EXPECT_FALSE(body.file);

    // ... and in a head that never ends.
    HeadDrip head(2, 1s);
    const Outcome endless = run(head.url("/"));
    EXPECT_EQ(endless.fetch, -11);
    EXPECT_EQ(endless.fetchBytes, 0);
    EXPECT_EQ(endless.fetchResult, TESSEL_FETCH_TIMEOUT);
    EXPECT_EQ(endless.check, -25);
    EXPECT_EQ(endless.download, -11);
    EXPECT_FALSE(endless.file);
}

TEST_F(Hostile, CredentialsInAnAddressAreNeverSent)
{
    farm.serve("/members", page("welcome"));
    const std::string inside = farm.url("/members").substr(std::string("http://").size());
    const Outcome o = run("http://user:secret@" + inside);
    EXPECT_EQ(o.fetch, -20);
    EXPECT_EQ(o.check, 200);
    EXPECT_EQ(o.download, -20);
    // A redirect that hands some over is not followed.
    farm.serve("/hand-over", status(302).withHeader("Location", "http://user:secret@" + inside));
    const Outcome handOver = run(farm.url("/hand-over"));
    EXPECT_EQ(handOver.fetch, -11);
    EXPECT_EQ(handOver.download, -11);
    EXPECT_FALSE(handOver.file);
    const auto asked = farm.requests("/members");
    EXPECT_EQ(asked.size(), 3u);
    for (const Request &request : asked)
        EXPECT_FALSE(request.hasHeader("Authorization")) << request.method;
}

TEST_F(Hostile, APublicServerCannotRedirectIntoThePrivateNetwork)
{
    // The farm stands for a public site; `inside` for a server of the user's network.
    SiteFarm inside;
    tessel::treatAsPublic({farm.port()});
    inside.serve("/secret", page("inside"));
    farm.serve("/page", page("public"));
    farm.serve("/in", status(302).withHeader("Location", inside.url("/secret")));
    farm.serve("/named",
               status(302).withHeader(
                   "Location", "http://localhost:" + std::to_string(inside.port()) + "/secret"));
    farm.serve("/along", status(302).withHeader("Location", "/page"));
    inside.serve("/out", status(302).withHeader("Location", farm.url("/page")));
    inside.serve("/within", status(302).withHeader("Location", "/secret"));
    for (const char *path : {"/in", "/named"}) {
        const Outcome refused = run(farm.url(path));
        EXPECT_EQ(refused.fetch, -11) << path;
        EXPECT_EQ(refused.fetchBytes, 0) << path;
        EXPECT_EQ(refused.fetchResult, TESSEL_FETCH_CONNECT) << path;
        EXPECT_EQ(refused.check, 302) << path; // a check follows no redirect anyway
        EXPECT_EQ(refused.download, -11) << path;
        EXPECT_FALSE(refused.file) << path;
    }
    EXPECT_EQ(inside.requestCount(), 0u);
    // Public to public, private to anywhere, and a private address named outright: as before.
    const Outcome along = run(farm.url("/along"));
    const Outcome out = run(inside.url("/out"));
    const Outcome within = run(inside.url("/within"));
    const Outcome direct = run(inside.url("/secret"));
    EXPECT_EQ(along.page, "public");
    EXPECT_EQ(along.download, -20);
    EXPECT_EQ(out.fetch, -20);
    EXPECT_EQ(out.download, -20);
    EXPECT_EQ(within.fetch, -20);
    EXPECT_EQ(within.download, -20);
    EXPECT_EQ(direct.page, "inside");
    EXPECT_EQ(direct.check, 200);
    EXPECT_EQ(direct.download, -20);
}

TEST_F(Hostile, AMegabyteOfHeadersIsRefused)
{
    Answer huge = page("x");
    for (int i = 0; i < 10000; ++i)
        huge.headers.emplace_back("X-Pad-" + std::to_string(i), std::string(90, 'p'));
    farm.serve("/head", huge);
    const Outcome o = run(farm.url("/head"));
    EXPECT_EQ(o.fetch, -11);
    EXPECT_EQ(o.fetchBytes, 0);
    EXPECT_EQ(o.check, -25);
    EXPECT_EQ(o.download, -11);
    EXPECT_FALSE(o.file);
}

TEST_F(Hostile, ARedirectLoopEnds)
{
    farm.serve("/loop", status(302).withHeader("Location", "/loop"));
    const Outcome o = run(farm.url("/loop"));
    EXPECT_EQ(o.fetch, -11);
    EXPECT_EQ(o.check, 302); // a check follows five redirects, then reports the last
    EXPECT_EQ(o.download, -11);
    EXPECT_FALSE(o.file);
    // A fetch and a download follow 20 redirects at most, a check 5.
    EXPECT_LE(farm.requests("/loop").size(), 2u * 21 + 6);
}

TEST_F(Hostile, HttpsNeverRedirectsDownToHttp)
{
    SiteFarm secure{SiteFarm::Tls{}};
    farm.serve("/page", page("in clear"));
    secure.serve("/page", page("private"));
    secure.serve("/down", status(302).withHeader("Location", farm.url("/page")));
    secure.serve("/along", status(302).withHeader("Location", "/page"));
    tessel::trustCertificates(secure.certificate());
    const Outcome down = run(secure.url("/down"));
    const Outcome along = run(secure.url("/along"));
    tessel::trustCertificates("");
    EXPECT_EQ(down.fetch, -11);
    EXPECT_EQ(down.fetchBytes, 0);
    EXPECT_EQ(down.download, -11);
    EXPECT_FALSE(down.file);
    EXPECT_EQ(farm.requestCount(), 0u);
    // Redirects that stay on https are followed as before.
    EXPECT_EQ(along.fetch, -20);
    EXPECT_EQ(stored(along.fetchBytes), "private");
    EXPECT_EQ(along.download, -20);
}

TEST_F(Hostile, ACompressedBombIsNeverInflated)
{
    static const std::string bomb = gzipOfZeros(std::size_t{1} << 30);
    farm.serve("/bomb", page(bomb, "text/html").withHeader("Content-Encoding", "gzip"));
    const Outcome o = run(farm.url("/bomb"));
    EXPECT_EQ(o.fetch, -20);
    EXPECT_EQ(stored(o.fetchBytes), bomb.substr(0, static_cast<size_t>(o.fetchBytes)));
    EXPECT_EQ(o.download, -20);
    EXPECT_EQ(box.read("f.bin"), bomb);
    for (const Request &request : farm.requests("/bomb"))
        EXPECT_FALSE(request.hasHeader("Accept-Encoding"));
}
