#include "sandbox.h"
#include "sitefarm.h"
#include "sitelist_fixture.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace testsupport;

namespace {

enum Site {
    kBoth,    // AND and OR lists, three AND entries
    kMono,    // one word only
    kAndOnly, // AND list only
    kUtf8,    // wants its keywords as UTF-8
    kBadNum,  // a _NUM_ without its second number
    kEmpty,   // memo allows AND but there is no list
    kOdd,     // templates outside the usual form
    kEuc,     // reads EUC-JP pages
};

const char *kCatalogue = "SITE both\nMEMO AND OR\n"
                         "AND http://b/0?q=_WORD1_+_WORD2_&n=10"
                         " http://b/1?k=v&q=_WORD1_+_WORD2_&p=_NUM_1,10"
                         " http://b/n?a=1&q=x_WORD1_-_WORD2_y&p=_NUM_1,10&z=2\n"
                         "OR post://b/or?q=_WORD1_|_WORD2_&s=_NUM_0,1\n"
                         "ENDSITE\n"
                         "SITE mono\nMEMO MONO\nAND http://m/?q=_WORD1_\nOR http://m/or\nENDSITE\n"
                         "SITE and only\nMEMO AND\nAND https://a/?q=_WORD1_&p=_NUM_-5,-5\nENDSITE\n"
                         "SITE utf8\nMEMO AND UTF8\nAND http://u/?q=_WORD1_+_WORD2_\nENDSITE\n"
                         "SITE bad num\nMEMO AND\nAND http://x/?q=_WORD1_&p=_NUM_1\nENDSITE\n"
                         "SITE empty\nMEMO AND\nENDSITE\n"
                         "SITE odd\nMEMO AND\nAND http://o/_WORD1_/_WORD2_/x\nENDSITE\n"
                         "SITE euc\nMEMO AND EUC\nAND http://e/?q=_WORD1_+_WORD2_\nENDSITE\n";

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeSiteList(box_, kCatalogue);
        ASSERT_EQ(LoadSite(), 8);
    }

    // The request for a CP932 keyword text, or the error code as text.
    std::string form(int32_t site, int32_t mode, int32_t page, const std::string &keywords)
    {
        char request[TESSEL_REQUEST_SIZE + 8];
        std::memset(request, '#', sizeof request);
        int32_t rc = iForm(site, mode, page, keywords.c_str(), request);
        EXPECT_EQ(std::string(request + TESSEL_REQUEST_SIZE, 8), std::string(8, '#'));
        if (rc != 0) {
            EXPECT_EQ(request[0], '#') << "an error must leave the buffer unchanged";
            return std::to_string(rc);
        }
        return request;
    }

    std::string formUtf8(int32_t site, int32_t mode, int32_t page, const std::string &keywords)
    {
        return form(site, mode, page, encode(keywords));
    }

    Sandbox box_;
};

} // namespace

// The request for a site, a mode, a page and a keyword text (CP932), or the error.
TEST_F(QueryTest, FormsTheRequestFromTheSitesTemplate)
{
    const std::string noKeyword = std::to_string(TESSEL_E_NO_KEYWORD),
                      oneWord = std::to_string(TESSEL_E_ONE_WORD_SITE),
                      noList = std::to_string(TESSEL_E_NO_LIST);
    const struct {
        int32_t site, mode, page;
        std::string keywords, request;
    } cases[] = {
        // The keyword text splits into at most ten words and ends at its first control byte;
        // a half-width katakana is one byte: the ideographic space after it still separates.
        {kBoth, 0, 0, "a b", "http://b/0?q=a+b&n=10"},
        {kBoth, 0, 0, "  a   b  ", "http://b/0?q=a+b&n=10"},
        {kBoth, 0, 0, "1 2 3 4 5 6 7 8 9 10 11", "http://b/0?q=1+2+3+4+5+6+7+8+9+10&n=10"},
        {kBoth, 0, 0, "a\nb", "http://b/0?q=a&n=10"},
        {kBoth, 0, 0, "\xB1\x81\x40\x62", "http://b/0?q=%B1+b&n=10"},
        {kBoth, 0, 0, "", noKeyword},
        {kBoth, 0, 0, "   ", noKeyword},
        {kBoth, 0, 0, "\t a", noKeyword},
        {kBoth, 0, 0, "\x81\x40\x81\x40", noKeyword},
        // Shift_JIS is escaped byte by byte (日本 is 93 FA 96 7B). An ideographic space
        // separates words like a blank, right after a letter too, in both lists; the second
        // byte of a character (88 81) never starts one. A lead byte with no partner is
        // escaped alone and never takes the blank after it.
        {kBoth, 0, 0, encode("日本"), "http://b/0?q=%93%FA%96%7B&n=10"},
        {kBoth, 0, 0, encode("\u3000a\u3000 \u3000b"), "http://b/0?q=a+b&n=10"},
        {kBoth, 1, 0, encode("a\u3000b"), "post://b/or?q=a|b&s=0"},
        {kBoth, 0, 0, "\x88\x81\x40", "http://b/0?q=%88%81%40&n=10"},
        {kBoth, 0, 0, "a\x82 b", "http://b/0?q=a%82+b&n=10"},
        // UTF8 sites get UTF-8 escapes; characters CP932 lacks reach them as references, in
        // and between other text. Nothing else that looks like one is taken for one: no
        // digits, no ';', a surrogate, beyond Unicode, ASCII.
        {kUtf8, 0, 0, encode("日本 語"), "http://u/?q=%E6%97%A5%E6%9C%AC+%E8%AA%9E"},
        {kUtf8, 0, 0, "abc", "http://u/?q=abc"},
        {kUtf8, 0, 0, "&#128512; a&#134071;&#134071;b",
         "http://u/?q=%F0%9F%98%80+a%F0%A0%AE%B7%F0%A0%AE%B7b"},
        {kUtf8, 0, 0, "&#; &#128512 &#55357; &#1114112; &#65;",
         "http://u/?q=%26%23%3B+%26%23128512+%26%2355357%3B+%26%231114112%3B+%26%2365%3B"},
        // The word count and the mode choose the list: OR mode falls back to the AND list,
        // any mode other than 1 is AND; no site at that index has nothing to send.
        {kMono, 0, 0, "a b", oneWord},
        {kMono, 0, 0, "a", "http://m/?q=a"},
        {kMono, 1, 0, "a", noList},
        {kBoth, 1, 0, "a b", "post://b/or?q=a|b&s=0"},
        {kAndOnly, 1, 0, "a b", "https://a/?q=ab&p=-5"},
        {kAndOnly, 7, 0, "a b", "https://a/?q=ab&p=-5"},
        {8, 0, 0, "a", noList},
        {-1, 0, 0, "a b", oneWord},
        {kEmpty, 0, 3, "a", ""},
        // Pages before the last entry take theirs as it stands, _NUM_ and all; later pages
        // count on the last. A single entry serves every page; 0,1 gives the page itself.
        {kBoth, 0, 0, "a", "http://b/0?q=a&n=10"},
        {kBoth, 0, 1, "a b", "http://b/1?k=v&q=a+b&p=_NUM_1,10"},
        {kBoth, 0, 2, "a b", "http://b/n?a=1&q=xa-by&p=21&z=2"},
        {kBoth, 0, 3, "a b", "http://b/n?a=1&q=xa-by&p=31&z=2"},
        {kBoth, 0, -4, "a", "http://b/0?q=a&n=10"},
        {kBoth, 1, 0, "a", "post://b/or?q=a&s=0"},
        {kBoth, 1, 41, "a", "post://b/or?q=a&s=41"},
        {kBoth, 1, -1, "a", "post://b/or?q=a&s=0"},
        {kAndOnly, 0, 3, "a", "https://a/?q=a&p=-20"},
        {kAndOnly, 0, 2147483647, "a", "https://a/?q=a&p=-10737418240"},
        {kBadNum, 0, 0, "a", std::to_string(TESSEL_E_BAD_NUM)},
        // No '=' before _WORD1_: everything before the marker is kept as it stands.
        {kOdd, 0, 0, "a b c", "http://o/a/b/c/x"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(form(c.site, c.mode, c.page, c.keywords), c.request)
            << "site " << c.site << " mode " << c.mode << " page " << c.page << ": " << c.keywords;
}

// Every byte but letters, digits and "-._~" is escaped once, for every kind of site; only the
// bytes of a Japanese word differ: CP932 (EUC sites too) or UTF-8.
TEST_F(QueryTest, EscapesEveryByteThatIsNotUnreserved)
{
    struct Case {
        const char *typed; // UTF-8 here, CP932 for iForm
        const char *cp932; // the value for a CP932 site and for an EUC site
        const char *utf8;  // the value for a UTF8 site
    };
    const Case cases[] = {
        {"C++", "C%2B%2B", "C%2B%2B"},
        {"C#", "C%23", "C%23"},
        {"AT&T", "AT%26T", "AT%26T"},
        {"a=b", "a%3Db", "a%3Db"},
        {"100%", "100%25", "100%25"},
        {"a+b", "a%2Bb", "a%2Bb"},
        {"x/y?z'\"", "x%2Fy%3Fz%27%22", "x%2Fy%3Fz%27%22"},
        {"A-z.0_9~", "A-z.0_9~", "A-z.0_9~"},
        {"日本", "%93%FA%96%7B", "%E6%97%A5%E6%9C%AC"},
        // 表 and ソ end in 5C, a backslash on its own.
        {"表ソ", "%95%5C%83%5C", "%E8%A1%A8%E3%82%BD"},
        {"C++ 日本", "C%2B%2B+%93%FA%96%7B", "C%2B%2B+%E6%97%A5%E6%9C%AC"},
        // Escapes typed as text are text: sent once more escaped, never taken as bytes.
        {"%E6%97%A5", "%25E6%2597%25A5", "%25E6%2597%25A5"},
        // A reference to a character CP932 lacks is that character for a UTF8 site only.
        {"&#128512;", "%26%23128512%3B", "%F0%9F%98%80"},
        {"&#12354;", "%26%2312354%3B", "%26%2312354%3B"},
        {"&#38;#128512;", "%26%2338%3B%23128512%3B", "%26%23128512%3B"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(formUtf8(kBoth, 0, 0, c.typed), std::string("http://b/0?q=") + c.cp932 + "&n=10")
            << c.typed;
        EXPECT_EQ(formUtf8(kEuc, 0, 0, c.typed), std::string("http://e/?q=") + c.cp932) << c.typed;
        EXPECT_EQ(formUtf8(kUtf8, 0, 0, c.typed), std::string("http://u/?q=") + c.utf8) << c.typed;
    }
    // A form post carries the same escapes in its body.
    EXPECT_EQ(formUtf8(kBoth, 1, 0, "AT&T 100%"), "post://b/or?q=AT%26T|100%25&s=0");
}

TEST_F(QueryTest, RefusesRatherThanOverrunsItsFields)
{
    std::string word42, word43;
    for (int i = 0; i < 42; ++i)
        word42 += "日";
    word43 = word42 + "日";
    // 42 characters escape to 252 bytes and fit a word field; 43 give 258 and don't.
    EXPECT_EQ(formUtf8(kBoth, 0, 0, word42).size(), std::string("http://b/0?q=&n=10").size() + 252);
    EXPECT_EQ(formUtf8(kBoth, 0, 0, word43), std::to_string(TESSEL_E_REQUEST_TOO_LONG));

    // Four 252-byte words make a request of 1029 bytes: refused.
    std::string four = word42 + " " + word42 + " " + word42 + " " + word42;
    EXPECT_EQ(formUtf8(kBoth, 0, 0, four), std::to_string(TESSEL_E_REQUEST_TOO_LONG));
    std::string three = word42 + " " + word42 + " " + word42;
    EXPECT_EQ(formUtf8(kBoth, 0, 0, three).size(),
              std::string("http://b/0?q=&n=10").size() + 3 * 252 + 2);
}

TEST(Query, LongTemplatesAreRefused)
{
    Sandbox box;
    std::string entry = "http://l/?q=_WORD1_&pad=" + std::string(995, 'p');
    std::string prefix = "http://l/?q=" + std::string(256, 'x') + "_WORD1_";
    std::string num =
        "http://l/?q=_WORD1_&pad=" + std::string(990, 'p') + "&n=_NUM_1,999999999999999";
    writeSiteList(box, "MEMO AND\nAND " + entry + "\nENDSITE\nMEMO AND\nAND " + prefix +
                           "\nENDSITE\nMEMO AND\nAND " + num + "\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 3);
    char request[TESSEL_REQUEST_SIZE];
    ASSERT_EQ(iForm(0, 0, 0, "abc", request), 0);
    EXPECT_EQ(std::strlen(request), 1015u);
    EXPECT_EQ(iForm(0, 0, 0, std::string(12, 'w').c_str(), request), TESSEL_E_REQUEST_TOO_LONG);
    EXPECT_EQ(iForm(1, 0, 0, "a", request), TESSEL_E_REQUEST_TOO_LONG);
    ASSERT_EQ(iForm(2, 0, 0, "a", request), 0);
    EXPECT_EQ(iForm(2, 0, 1, "a", request), TESSEL_E_REQUEST_TOO_LONG);
}

// What the site receives, decoded as a server decodes its query or form, is what was typed.
TEST(Query, TheSiteDecodesTheRequestBackToTheTypedWords)
{
    Sandbox box;
    SiteFarm farm;
    farm.servePrefix("/", [](const Request &) { return page("ok"); });
    const std::string host = "127.0.0.1:" + std::to_string(farm.port());
    writeSiteList(box, "MEMO AND\nAND http://" + host + "/sjis?q=_WORD1_+_WORD2_&n=10\nENDSITE\n" +
                           "MEMO AND UTF8\nAND http://" + host +
                           "/utf8?q=_WORD1_+_WORD2_&n=10\nENDSITE\n" + "MEMO AND\nAND post://" +
                           host + "/post?q=_WORD1_+_WORD2_&n=10\nENDSITE\n");
    ASSERT_EQ(LoadSite(), 3);
    const std::string typed = "C++ C# AT&T a=b 100% a+b 日本 ~/?#";
    const struct {
        int32_t site;
        const char *path;
        std::string words; // as the site reads them
    } sites[] = {
        {0, "/sjis", encode(typed)},
        {1, "/utf8", typed},
        {2, "/post", encode(typed)},
    };
    for (const auto &site : sites) {
        char request[TESSEL_REQUEST_SIZE];
        ASSERT_EQ(iForm(site.site, 0, 0, encode(typed).c_str(), request), 0);
        FetchRecord record{};
        ASSERT_EQ(iGet(&record, request), 1);
        ASSERT_TRUE(waitFor([&] { return Status(&record) == 0; }));
        EXPECT_EQ(record.status, -20) << request;
        const auto log = farm.requests(site.path);
        ASSERT_EQ(log.size(), 1u) << request;
        EXPECT_EQ(log[0].param("q"), site.words) << request;
        EXPECT_EQ(log[0].param("n"), "10") << request;
        EXPECT_EQ(log[0].params.size(), 2u) << request; // no stray parameter
    }
}
