// File downloads over real sockets: iDown, Status_iDown, Exit_iDown and the target file.
#include "bounds.h"
#include "fakedns.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"

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

class Download : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (Status_iDown())
            Exit_iDown(&record);
    }

    // Downloads into the sandbox file and waits (bounded) for the end.
    DownloadRecord &download(const std::string &url, const std::string &file = "f.bin")
    {
        EXPECT_EQ(iDown(&record, url.c_str(), target(file).c_str()), 1);
        EXPECT_TRUE(waitFor([] { return Status_iDown() == 0; }));
        return record;
    }

    std::string target(const std::string &file) const { return (box.path() / file).string(); }
    bool exists(const std::string &file) const
    {
        return std::filesystem::exists(box.path() / file);
    }
    static bool released(const DownloadRecord &r) { return !r.inet && !r.url && !r.file; }

    Sandbox box;
    SiteFarm farm;
    DownloadRecord record{};
};

} // namespace

TEST_F(Download, WritesTheWholeBodyReplacingAnOldFile)
{
    std::string body(250000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7);
    farm.serve("/files/new.exe", page(body, "application/octet-stream"));
    box.write("f.bin", "an older file that is longer than nothing");
    DownloadRecord &r = download(farm.url("/files/new.exe"));
    EXPECT_EQ(r.status, -20);
    EXPECT_EQ(r.bytes, static_cast<int32_t>(body.size()));
    EXPECT_TRUE(released(r));
    EXPECT_EQ(box.read("f.bin"), body);
    auto log = farm.requests("/files/new.exe");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].header("User-Agent"), "Down2File");
}

TEST_F(Download, ThePathIsCp932AndLandsInTheFileSystemsUtf8)
{
    farm.serve("/f", page("payload"));
    std::filesystem::create_directory(box.path() / "更新フォルダ");
    DownloadRecord &r = download(farm.url("/f"), encode("更新フォルダ/新版.bin"));
    EXPECT_EQ(r.status, -20);
    EXPECT_EQ(box.read("更新フォルダ/新版.bin"), "payload");
}

TEST_F(Download, FollowsRedirectsAndKeepsAnEmptyBodyAsAnEmptyFile)
{
    farm.serve("/old", status(301).withHeader("Location", "/new"));
    farm.serve("/new", page("payload"));
    farm.serve("/empty", page(""));
    EXPECT_EQ(download(farm.url("/old")).status, -20);
    EXPECT_EQ(box.read("f.bin"), "payload");
    DownloadRecord &empty = download(farm.url("/empty"), "empty.bin");
    EXPECT_EQ(empty.status, -20);
    EXPECT_EQ(empty.bytes, 0);
    EXPECT_TRUE(exists("empty.bin"));
}

TEST_F(Download, AnAddressThatCantBeOpenedLeavesMinus11AndNoFileAtAll)
{
    farm.serve("/missing", page("<html>not here</html>").withStatus(404));
    farm.serve("/reset", page("x").withFault(Fault::Reset));
    std::string refused = "http://127.0.0.1:" + std::to_string(refusedPort()) + "/f";
    for (const std::string &url :
         {refused, std::string("http://no.unresolvable.test/f"), farm.url("/missing"),
          farm.url("/reset"), std::string("ftp://127.0.0.1/f")}) {
        box.write("f.bin", "old contents");
        DownloadRecord &r = download(url);
        EXPECT_EQ(r.status, -11) << url;
        EXPECT_FALSE(exists("f.bin")) << url;
        EXPECT_TRUE(released(r)) << url;
    }
}

TEST_F(Download, ABodyThatBreaksOffRemovesThePartialFile)
{
    std::string body(100000, 'd');
    farm.serve("/cut", page(body).withFault(Fault::CutOff, 40000));
    farm.serve("/reset", page(body).withFault(Fault::ResetMidBody, 40000));
    for (const char *path : {"/cut", "/reset"}) {
        DownloadRecord &r = download(farm.url(path));
        EXPECT_EQ(r.status, -15) << path;
        EXPECT_FALSE(exists("f.bin")) << path;
        EXPECT_TRUE(released(r)) << path;
    }
}

TEST_F(Download, ATargetThatCantBeCreatedFailsWithoutWriting)
{
    farm.serve("/f", page("payload"));
    DownloadRecord &r = download(farm.url("/f"), "no/such/folder/f.bin");
    EXPECT_EQ(r.status, -15);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_FALSE(exists("no"));
    EXPECT_TRUE(released(r));
    // A folder in the way is neither written nor removed.
    std::filesystem::create_directories(box.path() / "taken");
    EXPECT_EQ(download(farm.url("/f"), "taken").status, -15);
    EXPECT_TRUE(std::filesystem::is_directory(box.path() / "taken"));
}

TEST_F(Download, ALinkAtTheTargetIsNotWrittenThrough)
{
    farm.serve("/f", page("payload"));
    box.write("elsewhere.txt", "untouched");
    std::filesystem::create_symlink(box.path() / "elsewhere.txt", box.path() / "f.bin");
    DownloadRecord &r = download(farm.url("/f"));
    EXPECT_EQ(r.status, -15);
    EXPECT_EQ(box.read("elsewhere.txt"), "untouched");
    EXPECT_TRUE(released(r));
}

TEST_F(Download, StagesAndGrowingByteCount)
{
    farm.serve("/slow", page(std::string(64000, 's')).withDelay(300ms).withDrip(16000, 100ms));
    ASSERT_EQ(iDown(&record, farm.url("/slow").c_str(), target("slow.bin").c_str()), 1);
    EXPECT_EQ(Status_iDown(), 1);
    ASSERT_TRUE(farm.waitForRequests(1));
    EXPECT_EQ(read(record.status), -11);
    EXPECT_NE(read(record.inet), 0);
    ASSERT_TRUE(waitFor([&] { return read(record.bytes) > 0; }));
    EXPECT_EQ(read(record.status), -15);
    EXPECT_NE(read(record.url), 0);
    EXPECT_NE(read(record.file), 0);
    EXPECT_LT(read(record.bytes), 64000);
    ASSERT_TRUE(waitFor([] { return Status_iDown() == 0; }));
    EXPECT_EQ(record.status, -20);
    EXPECT_EQ(record.bytes, 64000);
}

TEST_F(Download, ExitEndsEveryStageAtOnceAndRemovesTheFile)
{
    Tarpit tarpit;
    std::string body(300000, 'e');
    farm.serve("/hang", page(body).withFault(Fault::StallBeforeHeaders));
    farm.serve("/half", page(body).withFault(Fault::StallMidBody, 100000));
    farm.serve("/drip", page(body).withDrip(1000, 20ms));
    const int descriptors = openDescriptors();
    const int threads = runningThreads();
    holdStalledNames();
    struct Stage {
        const char *name;
        std::string url;
        int32_t status;
        std::function<bool()> reached;
    };
    auto receiving = [&] { return read(record.bytes) > 0; };
    std::vector<Stage> stages = {
        {"name lookup", "http://files.stall.test/f", -11, [] { return stalledLookups() > 0; }},
        {"connect", "http://127.0.0.1:" + std::to_string(tarpit.port()) + "/f", -11, nullptr},
        {"headers", farm.url("/hang"), -11, [&] { return farm.requestCount() > 0; }},
        {"mid-body", farm.url("/half"), -15, receiving},
        {"drip-fed body", farm.url("/drip"), -15, receiving},
    };
    for (Stage &stage : stages) {
        box.write("f.bin", "old contents");
        ASSERT_EQ(iDown(&record, stage.url.c_str(), target("f.bin").c_str()), 1);
        if (!stage.reached) {
            auto since = std::chrono::steady_clock::now();
            stage.reached = [since] { return std::chrono::steady_clock::now() - since > 150ms; };
        }
        ASSERT_TRUE(waitFor(stage.reached)) << stage.name;
        EXPECT_EQ(read(record.status), stage.status) << stage.name;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Exit_iDown(&record), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, testsupport::kPromptCancel)
            << stage.name;
        EXPECT_EQ(Status_iDown(), 0);
        EXPECT_FALSE(exists("f.bin")) << stage.name;
        EXPECT_TRUE(released(record)) << stage.name;
    }
    releaseStalledNames();
    EXPECT_TRUE(waitFor([] { return stalledLookups() == 0; }));
    EXPECT_TRUE(waitFor([&] { return openDescriptors() <= descriptors; }));
    EXPECT_TRUE(waitFor([&] { return runningThreads() <= threads; }));
}

TEST_F(Download, ExitAfterTheEndStillRemovesTheFileAndANewDownloadReplacesARunningOne)
{
    farm.serve("/f", page("payload"));
    EXPECT_EQ(download(farm.url("/f")).status, -20);
    EXPECT_EQ(Exit_iDown(&record), 0);
    EXPECT_FALSE(exists("f.bin"));
    EXPECT_EQ(Exit_iDown(&record), 0); // nothing left: harmless

    farm.serve("/hang", page("x").withFault(Fault::StallBeforeHeaders));
    DownloadRecord first{};
    ASSERT_EQ(iDown(&first, farm.url("/hang").c_str(), target("first.bin").c_str()), 1);
    ASSERT_TRUE(farm.waitForRequests(2));
    EXPECT_EQ(download(farm.url("/f"), "second.bin").status, -20);
    EXPECT_EQ(box.read("second.bin"), "payload");
    EXPECT_FALSE(exists("first.bin"));
    EXPECT_TRUE(released(first));
}
