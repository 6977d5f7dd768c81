#include "sandbox.h"
#include "tessel.h"
#include "utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string slashed(int32_t time)
{
    char text[32];
    EXPECT_EQ(GetTForm2(time, text), 0);
    return text;
}

// GetTForm formats only "now"; the report and the tests reach the same text for any time.
std::string dotted(int32_t time)
{
    char text[32];
    tessel::formatDotted(time, text);
    return text;
}

// The reference: the C library's own calendar, shifted to UTC+9.
std::string oracle(int32_t time, const char *format)
{
    std::time_t t = static_cast<std::time_t>(time) + 9 * 3600;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, format, tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

long long mtime(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

} // namespace

TEST(TimeText, ConvertsToJapanStandardTime)
{
    EXPECT_EQ(dotted(883580400), "1998.01.01.00:00:00");
    EXPECT_EQ(slashed(883580400), "1998/1/1,00:00:00");
    const int32_t leap = 951793200; // 2000-02-29 12:00:00 UTC+9
    EXPECT_EQ(dotted(leap), "2000.02.29.12:00:00");
    EXPECT_EQ(dotted(leap + 86400), "2000.03.01.12:00:00");
    EXPECT_EQ(slashed(leap + 86400), "2000/3/1,12:00:00");
    // Weekly steps from 1998 to 2038, each at another second of the day.
    for (int64_t t = 883580400; t < 2147483647; t += 86400 * 7 + 3599) {
        auto time = static_cast<int32_t>(t);
        ASSERT_EQ(slashed(time), oracle(time, "%d/%d/%d,%02d:%02d:%02d")) << time;
        ASSERT_EQ(dotted(time), oracle(time, "%04d.%02d.%02d.%02d:%02d:%02d")) << time;
    }
    // Before 1998 is outside the delivered range, but still exact rather than garbage.
    EXPECT_EQ(slashed(0), "1970/1/1,09:00:00");
    EXPECT_EQ(dotted(-1), "1970.01.01.08:59:59");
}

TEST(TimeText, DottedFormIsTheCurrentTimeAndTimeStampsRoundTrip)
{
    Sandbox box;
    char text[32];
    std::memset(text, '#', sizeof text);
    int32_t before = GetTime();
    ASSERT_EQ(GetTForm(text), 0);
    int32_t after = GetTime();
    EXPECT_EQ(std::strlen(text), 19u);
    EXPECT_EQ(text[20], '#');
    EXPECT_TRUE(oracle(before, "%04d.%02d.%02d.%02d:%02d:%02d") == text ||
                oracle(after, "%04d.%02d.%02d.%02d:%02d:%02d") == text)
        << text;

    // SetFTime with a text from GetTForm sets the time GetTForm saw, to the second.
    box.write("f.txt", "x");
    EXPECT_EQ(SetFTime("f.txt", text), 0);
    long long stamped = mtime("f.txt");
    EXPECT_TRUE(stamped == before || stamped == after) << stamped;

    EXPECT_EQ(SetFTime("f.txt", "2000.02.29.12:00:00"), 0);
    EXPECT_EQ(mtime("f.txt"), 951793200);
    EXPECT_EQ(SetFTime("f.txt", "1998.01.01.00:00:00"), 0);
    EXPECT_EQ(mtime("f.txt"), 883580400);
    // Not a dotted time, or no such file: nothing changes, and still 0.
    EXPECT_EQ(SetFTime("f.txt", "yesterday"), 0);
    EXPECT_EQ(mtime("f.txt"), 883580400);
    EXPECT_EQ(SetFTime("missing.txt", text), 0);
}

TEST(Files, CopyDeleteAndExist)
{
    Sandbox box;
    box.write("a.txt", "new text");
    box.write("b.txt", "old text that is longer");
    fs::create_directory("dir");

    EXPECT_NE(MyCopy("a.txt", "b.txt"), 0);
    EXPECT_EQ(box.read("b.txt"), "new text");
    EXPECT_EQ(MyCopy("missing.txt", "c.txt"), 0);
    EXPECT_FALSE(fs::exists("c.txt"));

    EXPECT_EQ(FileExist("a.txt"), 1);
    EXPECT_EQ(FileExist("dir"), 1);
    EXPECT_EQ(FileExist("missing.txt"), 0);
    EXPECT_EQ(FileExist(""), 0);

    EXPECT_EQ(DelFile("a.txt"), 1);
    EXPECT_EQ(DelFile("a.txt"), 0);
    EXPECT_EQ(DelFile("dir"), 0);
    EXPECT_TRUE(fs::is_directory("dir"));
    EXPECT_EQ(GetDPI(0), 96);
}

TEST(Files, PathsArriveInCp932)
{
    Sandbox box;
    std::string name = encode("日本語.txt");
    box.write("src.txt", "x");
    EXPECT_NE(MyCopy("src.txt", name.c_str()), 0);
    EXPECT_TRUE(fs::exists(box.path() / "日本語.txt"));
    EXPECT_EQ(FileExist(name.c_str()), 1);
    EXPECT_EQ(DelFile(name.c_str()), 1);
    EXPECT_FALSE(fs::exists(box.path() / "日本語.txt"));
}

TEST(Files, DelDirRemovesFilesThenTheDirectory)
{
    Sandbox box;
    box.write("gone/a.txt", "a");
    box.write("gone/.hidden", "h");
    ASSERT_EQ(DelDir("gone"), 1);
    EXPECT_FALSE(fs::exists(box.path() / "gone"));
    EXPECT_EQ(fs::current_path(), box.path());

    // A subdirectory stays, and so does the directory; still 1.
    box.write("kept/a.txt", "a");
    box.write("kept/sub/b.txt", "b");
    ASSERT_EQ(DelDir("kept"), 1);
    EXPECT_FALSE(fs::exists(box.path() / "kept/a.txt"));
    EXPECT_TRUE(fs::exists(box.path() / "kept/sub/b.txt"));

    // A path of several parts names the same directory after the change of directory.
    box.write("x/y/z/f.txt", "f");
    ASSERT_EQ(DelDir("x/y/z"), 1);
    EXPECT_FALSE(fs::exists(box.path() / "x/y/z"));
    EXPECT_EQ(fs::current_path(), box.path() / "x/y");
    fs::current_path(box.path());

    EXPECT_EQ(DelDir("missing"), 0);
    EXPECT_EQ(fs::current_path(), box.path());
}

TEST(Run, StartsTheCommandLineAndReturnsItsProcess)
{
    Sandbox box;
    // Double quotes group an argument; a backslash makes a quote plain text.
    int32_t pid = ::Run(0, "/bin/sh -c \"printf '%s|' \\\"a  b\\\" c > out.txt\"");
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitFor([&] { return box.read("out.txt") == "a  b|c|"; }));
    EXPECT_EQ(::Run(0, "velmora-no-such-program --flag"), 0);
    EXPECT_EQ(::Run(0, "   "), 0);
}

TEST(GetEnviron, StampsTimeThenReleaseThenStartup)
{
    Sandbox box;
    char text[TESSEL_ENVIRON_SIZE + 8];
    std::memset(text, '#', sizeof text);
    int32_t n = GetEnviron(text);
    ASSERT_EQ(n, 9 + 19 + 2);
    EXPECT_EQ(std::string(text, 9), "SendTime=");
    EXPECT_EQ(std::string(text + 28, 3), std::string("\r\n\0", 3));

    // The program's names are STARTUP.DAT and release.dat; any letter case is found.
    box.write("RELEASE.dat", "r1\r\n");
    box.write("STARTUP.DAT", "s1\r\n");
    box.write("startup.dat", "stray copy\r\n");
    n = GetEnviron(text);
    EXPECT_EQ(std::string(text + 30, n - 30), "r1\r\ns1\r\n");

    // A block over the caller's 16000 bytes is cut there, never written past.
    box.write("STARTUP.DAT", std::string(20000, 's'));
    n = GetEnviron(text);
    EXPECT_EQ(n, TESSEL_ENVIRON_SIZE);
    EXPECT_EQ(text[TESSEL_ENVIRON_SIZE - 1], 's');
    EXPECT_EQ(std::string(text + TESSEL_ENVIRON_SIZE, 8), std::string(8, '#'));
}
