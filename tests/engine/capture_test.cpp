// Field capture: blank folding, inline tags, widths, EUC-JP, TOKEN, URL completion, and the
// page conversions of EUC and UTF8 sites.
#include "capture.h"
#include "charset.h"
#include "realpages/sites.h"
#include "results.h"
#include "sandbox.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace extraction;
using testsupport::decode;
using testsupport::encode;

namespace {

std::string capture(const std::string &text, size_t most = 255, bool euc = false,
                    size_t *stopped = nullptr)
{
    tessel::Page page{reinterpret_cast<const unsigned char *>(text.data()), text.size(), euc, ""};
    char out[1024];
    std::memset(out, 'Z', sizeof out);
    const size_t at = tessel::captureText(page, 0, text.size(), out, most);
    if (stopped) {
        *stopped = at;
    }
    return out;
}

std::string complete(const std::string &url, const std::string &host)
{
    char field[1024] = {};
    std::memcpy(field, url.data(), std::min<size_t>(url.size(), 1023));
    tessel::completeUrl(field, host.c_str());
    return field;
}

std::string toCp932(const std::string &utf8, size_t capacity = 4096)
{
    std::string out(capacity, '\0');
    out.resize(tessel::utf8ToCp932(utf8.data(), utf8.size(), out.data(), capacity));
    return out;
}

} // namespace

// What a capture keeps of a text: blanks folded, inline tags stepped over, cut at a width
// that never splits a character, EUC pairs turned into Shift_JIS.
TEST(Capture, KeepsTheTextAsTheFieldShowsIt)
{
    std::string title;
    for (int i = 0; i < 200; ++i)
        title += "日";
    const std::string pairs = encode(title), a254(254, 'a');
    const struct {
        std::string text, kept;
        size_t most = 255;
        bool euc = false;
    } cases[] = {
        // Blanks fold; an ideographic blank is skipped with other blanks but kept between
        // two characters; a comment is a tag that ends the capture.
        {"  Foo <b>Bar</b>\r\n  baz</a> tail", "Foo Bar baz"},
        {"\t<b> Title </b>\n", "Title"},
        {" " + encode("　日本　語 "), encode("日本　語")},
        {"a<!-- c -->b", "a"},
        // An inline tag without its '>' before the end swallows the rest.
        {"one<b two three", "one"},
        // The width never splits a two-byte character: 127 pairs, or one ASCII byte and
        // 127 pairs, fill 255 bytes; a URL's width is 1023. A byte of 0x80 is one character.
        {pairs, pairs.substr(0, 254)},
        {"a" + pairs, "a" + pairs.substr(0, 254)},
        {std::string(300, 'x'), std::string(255, 'x')},
        {std::string(1500, 'x'), std::string(1023, 'x'), 1023},
        {"a\x80\x62", "a\x80\x62"},
        // Lead bytes pair only with a byte that ends a character. Half-width katakana is one
        // byte in Shift_JIS: it swallows neither a tag's "<" nor the next character.
        {"\xb1<a href=x>y", "\xb1"},
        {"\xb1<img src=x onerror=alert(1)>z", "\xb1z"},
        {"\xb1\xb2" + encode("あ") + "A\xdf", "\xb1\xb2" + encode("あ") + "A\xdf"},
        // A lead byte before anything that can't end a character stands alone.
        {"\x82<p>more", "\x82"},
        {"\x82 \x82\"x", "\x82 \x82\"x"},
        {"x\x82", "x\x82"},
        // One byte of room left holds a katakana but not a pair.
        {a254 + "\xb1", a254 + "\xb1"},
        {a254 + encode("あ"), a254},
        // 0xA0 and 0xFD-0xFF are no lead bytes: one byte each, whatever follows.
        {a254 + "\xa0" + "A", a254 + "\xa0"},
        {a254 + "\xfd" + "A", a254 + "\xfd"},
        // EUC-JP pairs end in 0xA1-0xFE and arrive as Shift_JIS; its katakana lead 0xA1-0xDF
        // starts a pair there; half-width katakana (8E xx) is not converted.
        {"\xa4<p>", "\xa4", 255, true},
        {"\xb1\xa1", encode("院"), 255, true},
        {encode("日本語の検索", "EUC-JP"), encode("日本語の検索"), 255, true},
        {"\x8e\xb1", "\x8e\xb1", 255, true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(capture(c.text, c.most, c.euc), c.kept) << c.text.substr(0, 40);
}

TEST(Capture, InlinePrefixesGoOnOtherTagsStop)
{
    for (const char *tag : {"<br>",
                            "<BR/>",
                            "<span class=x>",
                            "</SPAN>",
                            "<strong>",
                            "<img src=a>",
                            "<tt>",
                            "</i>",
                            "<u>",
                            "<s>",
                            "<small>",
                            "</big>",
                            "<font color=red>",
                            "</FONT>",
                            "<sub>",
                            "</sup>",
                            "<script>",
                            "<select>",
                            "<body>",
                            "<ul>",
                            "<input>"}) {
        EXPECT_EQ(capture(std::string("one") + tag + "two"), "onetwo") << tag;
    }
    for (const char *tag : {"<p>", "</a>", "<a href=x>", "<td>", "<tr>", "<table>", "<div>", "<li>",
                            "<form>", "<h3>", "<t>", "<fo>", "<em>", "<cite>"}) {
        EXPECT_EQ(capture(std::string("one") + tag + "two"), "one") << tag;
    }
}

TEST(Capture, StopsAtATagAndReportsWhere)
{
    size_t at = 0;
    EXPECT_EQ(capture("  title  <p>more", 255, false, &at), "title");
    EXPECT_EQ(at, 9u);
}

TEST(Capture, EucToShiftJisPairs)
{
    auto pair = [](uint8_t a, uint8_t b) {
        tessel::eucToSjis(a, b);
        return a << 8 | b;
    };
    EXPECT_EQ(pair(0xA1, 0xA1), 0x8140);
    EXPECT_EQ(pair(0xA4, 0xA2), 0x82A0); // あ
    EXPECT_EQ(pair(0xC6, 0xFC), 0x93FA); // 日
    EXPECT_EQ(pair(0xB0, 0xA1), 0x889F); // 亜
    EXPECT_EQ(pair(0xA1, 0xDF), 0x817E); // r = 62: no skip
    EXPECT_EQ(pair(0xA1, 0xE0), 0x8180); // r = 63: 0x7F is skipped
    EXPECT_EQ(pair(0xDE, 0xFE), 0x9FFC); // q = 30, the last first byte below 0xA0
    EXPECT_EQ(pair(0xDF, 0xA1), 0xE040); // q = 31 jumps to 0xE0
    EXPECT_EQ(pair(0xFE, 0xFE), 0xEFFC);
    EXPECT_EQ(pair(0xA0, 0xB0), 0xA0B0);
    EXPECT_EQ(pair(0xB0, 0xFF), 0xB0FF);
    EXPECT_EQ(pair(0xFF, 0xB0), 0xFFB0);
}

TEST(Capture, UrlCompletion)
{
    EXPECT_EQ(complete("/a/b.html", "http://h.jp/"), "http://h.jp/a/b.html");
    EXPECT_EQ(complete("a/b.html", "http://h.jp/"), "http://h.jp/a/b.html");
    EXPECT_EQ(complete("http://o.jp/x", "http://h.jp/"), "http://o.jp/x");
    EXPECT_EQ(complete("https://o.jp/x", "http://h.jp/"), "https://o.jp/x");
    // Only a four-letter scheme is absolute: three- and five-letter ones are relative.
    EXPECT_EQ(complete("ftp://o.jp/x", "http://h.jp/"), "http://h.jp/ftp://o.jp/x");
    EXPECT_EQ(complete("HTTPS://o.jp/x", "http://h.jp/"), "http://h.jp/HTTPS://o.jp/x");
    EXPECT_EQ(complete("/x", ""), "/x");
    EXPECT_EQ(complete("", "http://h.jp/"), "");
    // Dot segments stay; a host without its closing "/" keeps the path's "/".
    EXPECT_EQ(complete("../x", "http://h.jp/d/"), "http://h.jp/d/../x");
    EXPECT_EQ(complete("/x", "http://h.jp"), "http://h.jp/x");
    // "//server/path" names its own server and takes the host's scheme.
    EXPECT_EQ(complete("//o.jp/x", "https://h.jp/"), "https://o.jp/x");
    // Cut to 1023 bytes.
    const std::string longPath = "/" + std::string(1100, 'p');
    EXPECT_EQ(complete(longPath, "http://h.jp/").size(), 1023u);
}

TEST(Capture, Utf8PageToCp932)
{
    EXPECT_EQ(toCp932("abc 日本語"), "abc " + encode("日本語"));
    EXPECT_EQ(toCp932("ä€😀"), "&#228;&#8364;&#128512;");
    EXPECT_EQ(toCp932("①～"), encode("①～")); // NEC row 13 and the full-width tilde
    EXPECT_EQ(toCp932("ｱ"), "\xb1");          // half-width katakana is one byte
    // Bytes that are not UTF-8: stray, overlong, surrogate, cut at the end.
    EXPECT_EQ(toCp932("a\xff"
                      "b\xc0\xaf"
                      "c\xed\xa0\x80"
                      "d\xe6\x97"),
              "a&#65533;b&#65533;&#65533;c&#65533;&#65533;&#65533;d&#65533;&#65533;");
    // The output is cut before what does not fit whole.
    EXPECT_EQ(toCp932("ab日", 3), "ab");
    EXPECT_EQ(toCp932("ab😀", 10), "ab");
    EXPECT_EQ(toCp932("ab😀", 11), "ab&#128512;");
    EXPECT_EQ(toCp932(std::string(20, 'x'), 13), std::string(13, 'x'));
}

class CaptureSite : public ::testing::Test {
protected:
    testsupport::Sandbox box;
};

TEST_F(CaptureSite, SitesConvertTheirPagesBeforeTheScript)
{
    SiteSpec euc, utf8, plain;
    euc.memo = "EUC AND";
    utf8.memo = "UTF8";
    euc.script = utf8.script = plain.script = R"(LOOP <a href=" URL " > TITLE </a> ENDLOOP)";
    ASSERT_EQ(loadSites(box, {euc, utf8, plain}), 3);
    InitResult();
    iParse(-1, 100);
    const std::string utf8Page = R"(<a href="/ü">日本語 ä 😀</a>)";
    const std::string eucPage = encode(R"(<a href="/x">日本語</a>)", "EUC-JP");
    EXPECT_EQ(iData(0, eucPage.data(), int32_t(eucPage.size())), 1);
    EXPECT_EQ(iData(1, utf8Page.data(), int32_t(utf8Page.size())), 1);
    EXPECT_EQ(iData(2, utf8Page.data(), int32_t(utf8Page.size())), 1);
    ASSERT_EQ(tessel::resultCount(), 3);
    const auto hits = hitsFrom(0, 2);
    EXPECT_EQ(hits[0].title, "日本語");
    EXPECT_EQ(hits[1].title, "日本語 &#228; &#128512;");
    EXPECT_EQ(hits[1].url, "http://example.jp/&#252;");
    char record[TESSEL_RESULT_SIZE];
    ASSERT_EQ(GetResult(2, record), 0);
    EXPECT_EQ(field(record, 256), "日本語 ä 😀"); // the bytes as they came, without UTF8
}

TEST_F(CaptureSite, PreviewScoreSizeDateGoToTheirFields)
{
    SiteSpec s;
    s.script = "<a> URL </a> <t> TITLE </t> <p> PREVIEW </p> <s> SCORE </s> <z> SIZE </z> "
               "<d> DATE </d> LOOP ENDLOOP";
    ASSERT_EQ(loadSites(box, {s}), 1);
    InitResult();
    iParse(-1, 1);
    const std::string page = "<a>/u</a><t>T</t><p>P  p</p><s>90%</s><z>3KB</z><d>2001/1/2</d>.";
    ASSERT_EQ(iData(0, page.data(), int32_t(page.size())), 1);
    const Hit h = hitsFrom().at(0);
    EXPECT_EQ(h.url, "http://example.jp/u");
    EXPECT_EQ(h.title, "T");
    EXPECT_EQ(h.preview, "P p");
    EXPECT_EQ(h.score, "90%");
    EXPECT_EQ(h.size, "3KB");
    EXPECT_EQ(h.date, "2001/1/2");
}
