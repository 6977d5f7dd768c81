// The HTML report: every line, CR LF, the ".htm" name rule, quoting, atomic replacement.
#include "realpages/sites.h"
#include "sandbox.h"
#include "tessel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

using namespace extraction;
using testsupport::encode;

namespace {

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            out.push_back("<no CR LF>" + text.substr(at));
            break;
        }
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

// The saving time as a clock in UTC shows it: the report follows the machine's time zone.
std::string utcSlashed(int32_t t)
{
    const time_t when = t;
    std::tm c{};
    gmtime_r(&when, &c);
    char text[48];
    std::snprintf(text, sizeof text, "%d/%d/%d,%02d:%02d:%02d", c.tm_year + 1900, c.tm_mon + 1,
                  c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec);
    return text;
}

class Report : public ::testing::Test {
protected:
    void SetUp() override
    {
        SiteSpec s;
        s.script = "LOOP <h> URL </h> <t> TITLE </t> <p> PREVIEW </p> <s> SCORE </s> "
                   "<z> SIZE </z> <d> DATE </d> ENDLOOP";
        ASSERT_EQ(loadSites(box, {s}), 1);
        InitResult();
        iParse(-1, 100);
        const std::string page = encode(
            "<h>http://a.jp/?q=\"x\"&y=1</h><t>一番 &lt;目&gt;</t><p>前置き & 本文</p><s>99%</s>"
            "<z>3KB</z><d>2001/2/3</d>"
            "<h>/two</h><t>Two</t><p></p><s></s><z></z><d></d>");
        ASSERT_EQ(iData(0, page.data(), int32_t(page.size())), 2);
    }
    testsupport::Sandbox box;
};

} // namespace

TEST_F(Report, EveryLineExactly)
{
    setenv("TZ", "UTC0", 1);
    tzset();
    const int32_t before = GetTime();
    ASSERT_EQ(HTMLOpen(encode("日本 語").c_str(), 2, "out.txt"), 0);
    const int32_t after = GetTime();
    EXPECT_EQ(HTMLSave(0, 1), 0);
    EXPECT_EQ(HTMLSave(1, 0), 0);
    ASSERT_EQ(HTMLClose(), 0);
    const std::vector<std::string> got = lines(testsupport::decode(box.read("out.htm")));
    ASSERT_EQ(got.size(), 17u + 3 + 4 + 7);
    const std::string image = "<img src=\"" + box.path().string() + "/mapbar.gif\"><br>";
    const std::vector<std::string> head = {
        "<html>",
        "<head>",
        R"(<meta charset="Shift_JIS">)",
        "<title>日本 語 - Velmoraの検索結果</title>",
        "</head>",
        "<body>",
        "<center>",
        image,
        R"(<table border="0" cellpadding="3" width="100%">)",
        "<tr>",
        R"(<td align="right" valign="top" width="10%"></td>)",
        R"(<td valign="top" width="80%">)",
        "<center>Velmoraの検索結果</center><br>",
        "キーワード： 日本 語<br>",
        "検索結果数： 2<br>",
    };
    for (size_t i = 0; i < head.size(); ++i) {
        EXPECT_EQ(got[i], head[i]) << "line " << i + 1;
    }
    EXPECT_TRUE(got[15] == "保存時間： " + utcSlashed(before) + "<br>" ||
                got[15] == "保存時間： " + utcSlashed(after) + "<br>")
        << got[15];
    const std::vector<std::string> rest = {
        "<p></p>",
        // Position counts from 1 in list order; the hit is looked up by its result index.
        R"(1 <a href="http://example.jp/two"><B>Two</B></a><br>)",
        "  <br>", // score, date and size, all empty; no preview line
        "<p></p>",
        R"(2 <a href="http://a.jp/?q=%22x%22&y=1"><B>一番 &lt;目&gt;</B></a><br>)",
        "前置き & 本文<br>",
        "99% 2001/2/3 3KB<br>",
        "<p></p>",
        "</td>",
        R"(<td width="10%"></td>)",
        "</tr>",
        "</table>",
        "</center>",
        "</body>",
        "</html>",
    };
    for (size_t i = 0; i < rest.size(); ++i) {
        EXPECT_EQ(got[16 + i], rest[i]) << "line " << 17 + i;
    }
}

// The banner travels inside the report, so a report moved or mailed still shows it.
TEST_F(Report, BannerIsEmbeddedWhenTheProgramHasIt)
{
    box.write("mapbar.gif", std::string("GIF89a\x01\x00\x01\x00", 10));
    ASSERT_EQ(HTMLOpen("k", 0, "banner"), 0);
    ASSERT_EQ(HTMLClose(), 0);
    const std::vector<std::string> got = lines(box.read("banner.htm"));
    ASSERT_GT(got.size(), 7u);
    EXPECT_EQ(got[7], R"(<img src="data:image/gif;base64,R0lGODlhAQABAA=="><br>)");
}

TEST_F(Report, FileNameGetsHtm)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.html", "a.htm"},        {"b", "b.htm"},
        {"c.htm", "c.htm"},         {"d.x.txt", "d.x.htm"},
        {"sub.d/e", "sub.d/e.htm"}, {".hidden", ".hidden.htm"},
    };
    std::filesystem::create_directory("sub.d");
    for (const auto &[given, written] : cases) {
        ASSERT_EQ(HTMLOpen("k", 0, given.c_str()), 0) << given;
        ASSERT_EQ(HTMLClose(), 0);
        EXPECT_TRUE(std::filesystem::exists(written)) << given;
    }
    // A CP932 name is written as the file system's UTF-8.
    std::filesystem::create_directory("保存先");
    ASSERT_EQ(HTMLOpen("k", 0, encode("保存先/検索.txt").c_str()), 0);
    ASSERT_EQ(HTMLClose(), 0);
    EXPECT_TRUE(std::filesystem::exists("保存先/検索.htm"));
}

TEST_F(Report, RefusalsAndNothingOpen)
{
    EXPECT_EQ(HTMLOpen("k", 0, ""), -1);
    EXPECT_EQ(HTMLOpen("k", 0, "no/such/dir/r"), -1);
    EXPECT_EQ(HTMLSave(0, 0), -1);
    EXPECT_EQ(HTMLClose(), -1);
    ASSERT_EQ(HTMLOpen("k", 0, "r"), 0);
    EXPECT_EQ(HTMLSave(0, 2), -1); // index equal to the count
    EXPECT_EQ(HTMLSave(0, -1), -1);
    ASSERT_EQ(HTMLClose(), 0);
    EXPECT_EQ(box.read("r.htm").find("<a href"), std::string::npos);
}

TEST_F(Report, AppearsOnlyWholeAndReplacesAtomically)
{
    box.write("r.htm", "old report");
    ASSERT_EQ(HTMLOpen("k", 1, "r"), 0);
    ASSERT_EQ(HTMLSave(0, 0), 0);
    EXPECT_EQ(box.read("r.htm"), "old report"); // still the old one until HTMLClose
    ASSERT_EQ(HTMLClose(), 0);
    EXPECT_NE(box.read("r.htm").find("</html>\r\n"), std::string::npos);
    // Only r.htm is left: no temporary file stays behind.
    int files = 0;
    for (const auto &e : std::filesystem::directory_iterator(box.path())) {
        files += e.path().filename().string().rfind("r.htm", 0) == 0;
    }
    EXPECT_EQ(files, 1);
    // A second open while one is open drops the first: it never appears.
    ASSERT_EQ(HTMLOpen("k", 1, "first"), 0);
    ASSERT_EQ(HTMLOpen("k", 1, "second"), 0);
    ASSERT_EQ(HTMLClose(), 0);
    EXPECT_FALSE(std::filesystem::exists("first.htm"));
    EXPECT_TRUE(std::filesystem::exists("second.htm"));
}

TEST_F(Report, PageAndUserTextNeverBecomeMarkup)
{
    InitResult();
    // Half-width katakana before a tag, then every markup character in every field.
    const std::string page = "<h>http://a.jp/\"'&>x</h><t>\xb1<img src=x onerror=alert(1)></t>"
                             "<p>a>b\"c'd&amp;</p><s>1>0</s><z>\"'></z><d>></d>";
    ASSERT_EQ(iData(0, page.data(), int32_t(page.size())), 1);
    ASSERT_EQ(HTMLOpen("<script>k</script>&", 1, "r"), 0);
    ASSERT_EQ(HTMLSave(0, 0), 0);
    ASSERT_EQ(HTMLClose(), 0);
    const std::vector<std::string> got = lines(testsupport::decode(box.read("r.htm")));
    ASSERT_EQ(got.size(), 17u + 4 + 7);
    EXPECT_EQ(got[3], "<title>&lt;script&gt;k&lt;/script&gt;& - Velmoraの検索結果</title>");
    EXPECT_EQ(got[13], "キーワード： &lt;script&gt;k&lt;/script&gt;&<br>");
    EXPECT_EQ(got[17], "1 <a href=\"http://a.jp/%22'&&gt;x\"><B>ｱ</B></a><br>");
    EXPECT_EQ(got[18], "a&gt;b\"c'd&amp;<br>");
    EXPECT_EQ(got[19], "1&gt;0 &gt; \"'&gt;<br>");
}
