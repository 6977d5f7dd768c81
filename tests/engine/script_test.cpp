// The extraction script language: commands, blocks, limits, matching, errors and bounds.
#include "realpages/sites.h"
#include "results.h"
#include "sandbox.h"
#include "script.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

using namespace extraction;
using testsupport::encode;

namespace {

// Direct runs of the interpreter, to see error codes and records the store would drop.
struct DirectRun {
    int32_t error = 0;
    int32_t count = 0;
    uint64_t read = 0;
    std::string title(int i) const { return records[i] + tessel::kTitle.offset; }
    std::string url(int i) const { return records[i] + tessel::kUrl.offset; }
    std::string date(int i) const { return records[i] + tessel::kDate.offset; }
    std::string size(int i) const { return records[i] + tessel::kSize.offset; }
    static inline char records[tessel::kMaxResults][tessel::kResultSize];
};

// Words separated by blanks, in the catalogue's NUL-separated form.
std::string words(const std::string &script)
{
    std::istringstream in(script);
    std::string w, list;
    while (in >> w) {
        list += w + '\0';
    }
    return list + '\0';
}

DirectRun run(const std::string &script, const std::string &page, int32_t cap = 1000,
              bool euc = false)
{
    DirectRun r;
    std::memset(DirectRun::records, 0, sizeof DirectRun::records);
    const std::string list = words(script);
    tessel::Page p{reinterpret_cast<const unsigned char *>(page.data()), page.size(), euc,
                   "http://h/"};
    tessel::ScriptOutput out{DirectRun::records, 0, cap};
    r.error = tessel::runScript(list.c_str(), p, out);
    r.count = out.count;
    r.read = out.read;
    return r;
}

std::string hitsPage(int n, int from = 1)
{
    std::string page = "<html><body>";
    for (int i = from; i < from + n; ++i) {
        page += "<li><a href=\"http://x.jp/" + std::to_string(i) + "\">Hit " + std::to_string(i) +
                "</a></li>\n";
    }
    return page + "</body></html>";
}

const char *kHitLoop = R"(LOOP href=" URL " > TITLE </a> ENDLOOP)";

class ScriptSite : public ::testing::Test {
protected:
    void load(const std::string &script, const std::string &memo = "AND")
    {
        SiteSpec s;
        s.script = script;
        s.memo = memo;
        ASSERT_EQ(loadSites(box, {s}), 1);
        InitResult();
        iParse(-1, 1000); // no page, but sets the cap the runs below use
    }
    int32_t data(const std::string &page) { return iData(0, page.data(), int32_t(page.size())); }

    testsupport::Sandbox box;
};

} // namespace

TEST(ScriptRun, LoopMakesOneRecordPerPassIncludingTheLastFailedOne)
{
    const DirectRun r = run(kHitLoop, hitsPage(5));
    EXPECT_EQ(r.error, 0);
    ASSERT_EQ(r.count, 6); // the pass that no longer finds href=" still counts
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r.url(i), "http://x.jp/" + std::to_string(i + 1));
        EXPECT_EQ(r.title(i), "Hit " + std::to_string(i + 1));
    }
    EXPECT_EQ(r.url(5), "");
}

TEST(ScriptRun, CapStopsLoopsAndZeroStillAllowsOnePass)
{
    EXPECT_EQ(run(kHitLoop, hitsPage(5), 3).count, 3);
    EXPECT_EQ(run(kHitLoop, hitsPage(5), 0).count, 1);
    EXPECT_EQ(run(kHitLoop, hitsPage(5), -7).count, 1);
}

TEST(ScriptRun, StoreBoundOfOneThousandRecords)
{
    const DirectRun r = run(kHitLoop, hitsPage(1200), 5000);
    EXPECT_EQ(r.count, 1000);
    EXPECT_EQ(r.url(999), "http://x.jp/1000");
    // A loop inside a loop (it shares the outer ENDLOOP) fills the store; the outer pass
    // that then completes must not count a record past the end.
    EXPECT_EQ(run(R"(LOOP href=" LOOP URL " ENDLOOP)", hitsPage(1200), 5000).count, 1000);
    EXPECT_EQ(run(R"(LOOP href=" IF x LOOP URL " ENDLOOP)", hitsPage(1200), 5000).count, 1000);
}

TEST(ScriptRun, FailedIfEndsThePassAndTheLoop)
{
    std::string page = R"(<a href="http://x/1"><b>one</b></a> <a href="http://x/2"><b>two</b></a>)"
                       R"( <a href="http://x/3">three</a> <a href="http://x/4">four</a>)";
    const DirectRun r = run(R"(LOOP href=" URL " IF <b> THEN TITLE </b> ENDIF ENDLOOP)", page);
    ASSERT_EQ(r.count, 3);
    EXPECT_EQ(r.title(1), "two");
    EXPECT_EQ(r.url(2), "http://x/3");
    EXPECT_EQ(r.title(2), "");
}

TEST(ScriptRun, IfLoopIgnoresItsText)
{
    EXPECT_EQ(run(R"(IF nowhere-on-the-page LOOP href=" URL " ENDLOOP)", hitsPage(2)).count, 3);
}

TEST(ScriptRun, UntillLimitsTheBlock)
{
    const std::string page = hitsPage(3) + "<hr>" + hitsPage(2, 10);
    EXPECT_EQ(run(std::string("UNTILL <hr> ") + kHitLoop, page).count, 4);
    // A text that isn't on the page leaves the limit at the page's end.
    EXPECT_EQ(run(std::string("UNTILL <nothing> ") + kHitLoop, page).count, 6);
    // EOF widens again; UNTILL searches to the page's end, not to the current limit.
    EXPECT_EQ(run(std::string("UNTILL <hr> UNTILL EOF ") + kHitLoop, page).count, 6);
    EXPECT_EQ(run(std::string("UNTILL <li> UNTILL <hr> ") + kHitLoop, page).count, 4);
}

TEST(ScriptRun, SearchStartMustLieBelowTheLimitButTheMatchMayRunPast)
{
    // Inside the IF block the limit is the <hr>; "c<hr" starts below it, so the position ends
    // up past "c<hr" and the title taken after ENDIF begins with '>'.
    EXPECT_EQ(run("IF a THEN UNTILL <hr> c<hr ENDIF TITLE </p>", "abc<hr>tail</p>").title(0),
              ">tail");
    EXPECT_EQ(run("IF a THEN UNTILL <hr> <hr ENDIF TITLE </p>", "abc<hr>tail</p>").title(0), "");
}

TEST(ScriptRun, SkiptoStopsAtTheStartOfTheText)
{
    EXPECT_EQ(run("SKIPTO Hello TITLE <p>", "xx <i>Hello</i> world<p>").title(0), "Hello world");
    EXPECT_EQ(run("Hello TITLE <p>", "xx <i>Hello</i> world<p>").title(0), "world");
    EXPECT_EQ(run("SKIPTO Hello Hello TITLE <p>", "xx Hello there<p>").title(0), "there");
}

TEST(ScriptRun, AsciiLettersMatchWithoutCaseTwoByteCharactersExactly)
{
    EXPECT_EQ(run(R"(<A HREF=" URL ")", R"(<a href="http://x/">)").url(0), "http://x/");
    EXPECT_EQ(run(R"(<a href=" URL ")", R"(<A HREF="http://x/">)").url(0), "http://x/");
    const std::string a = encode("ア"); // 83 41: its second byte is the letter A
    EXPECT_EQ(run(a + " TITLE <", a + "yes<").title(0), "yes");
    EXPECT_EQ(run(a + " TITLE <", "\x83"
                                  "a"
                                  "no<" +
                                      a + "yes<")
                  .title(0),
              "yes");
    EXPECT_EQ(run(encode("検索") + " TITLE <", encode("検索結果<")).title(0), encode("結果"));
}

TEST(ScriptRun, SearchTextsSplitIntoCharactersAsCaptureDoes)
{
    // Half-width katakana is one byte: an odd run of it matches, and a letter after it folds.
    EXPECT_EQ(run("\xb6\xc0\xb6 TITLE <", "x\xb6\xc0\xb6yes<").title(0), "yes");
    EXPECT_EQ(run("\xb6id= TITLE <", "\xb6ID=yes<").title(0), "yes");
    // 0xA0 and 0xFD-0xFF lead no pair; a lead byte before a byte that ends no character
    // stands alone, on the page as in the text.
    EXPECT_EQ(run("\xa0z TITLE <", "\xa0Zyes<").title(0), "yes");
    EXPECT_EQ(run("\xfdz\xff TITLE <", "\xfdZ\xffyes<").title(0), "yes");
    EXPECT_EQ(run("x\x82 TITLE <", "x\x82\x41no< x\x82!yes<").title(0), "!yes");
    // On an EUC page a byte of the text matches no half of a page pair.
    EXPECT_EQ(run("\xb1 TITLE <", "\xb1\xa1no<\xb1yes<", 1000, true).title(0), "yes");
}

TEST(ScriptRun, EucPagesMatchShiftJisScriptText)
{
    const std::string page = encode("<p>検索：日本語</p>", "EUC-JP");
    const DirectRun r = run(encode("検索： TITLE </p>"), page, 1000, true);
    EXPECT_EQ(r.title(0), encode("日本語"));
    EXPECT_EQ(run(encode("検索： TITLE </p>"), page, 1000, false).title(0), "");
}

TEST(ScriptRun, BlocksDoNotNestAndOutOfPlaceKeywordsAreSearchTexts)
{
    const char *script = "IF <x> THEN IF <y> THEN TITLE </y> ENDIF ENDIF <s> SIZE </s>";
    DirectRun r = run(script, "<x><y>T</y><s>S</s>");
    EXPECT_EQ(r.title(0), "T");
    EXPECT_EQ(r.size(0), ""); // the second ENDIF was a search for the text "ENDIF"
    r = run(script, "<x><y>T</y> endif <s>S</s>");
    EXPECT_EQ(r.size(0), "S");
}

TEST(ScriptRun, FieldWordsAreRecognisedByTheirBeginning)
{
    const DirectRun r = run("<b> TITLE2 </b> <i> URLs </i>", "<b>Name</b><i>/path</i>");
    EXPECT_EQ(r.title(0), "Name");
    EXPECT_EQ(r.url(0), "http://h/path");
}

TEST(ScriptRun, FieldTerminators)
{
    // A terminator that is a field name: the first field runs to the limit (or a tag).
    EXPECT_EQ(run("<b> TITLE DATE </b>", "<b>one two").title(0), "one two");
    // A field that is the script's last word captures nothing.
    EXPECT_EQ(run("<b> TITLE", "<b>one two").title(0), "");
    // A terminator that isn't found ends the field at the limit, and then ends the block.
    DirectRun r = run("<b> TITLE zzz DATE <", "<b>one two");
    EXPECT_EQ(r.title(0), "one two");
    EXPECT_EQ(r.date(0), "");
}

TEST(ScriptRun, AlternativesFindTheEarliestOfThem)
{
    EXPECT_EQ(run("<h3>|<h2> TITLE <", "<h1>a<h2>b<h3>c<").title(0), "b");
    // The first listed wins a tie; the position moves past the one that matched.
    EXPECT_EQ(run("<b|<b> TITLE <", "<b>x<").title(0), ">x");
    // As an UNTILL text and as a terminator.
    EXPECT_EQ(run("UNTILL <hr>|<p> LOOP <i> TITLE </i> ENDLOOP", "<i>1</i> <p><i>2</i>").count, 2);
    EXPECT_EQ(run("<b> TITLE .|! ", "<b>Hi! there.").title(0), "Hi");
    // A word with an empty part, or more than four parts, is one plain text.
    EXPECT_EQ(run("a||b TITLE <", "a<b>x a||b y<").title(0), "y");
    EXPECT_EQ(run("| TITLE <", "a|b<").title(0), "b");
    EXPECT_EQ(run("a|b|c|d|e TITLE <", "e<x a|b|c|d|e y<").title(0), "y");
    // A search text that begins with a field name splits all the same.
    EXPECT_EQ(run("SKIPTO TITLE|x x URL ;", "a x http://a/;").url(0), "http://a/");
    EXPECT_EQ(run("IF URL|<b> THEN TITLE </b> ENDIF", "<b>Name</b>").title(0), "Name");
    EXPECT_EQ(
        run("UNTILL DATE|<hr> LOOP <i> TITLE </i> ENDLOOP", "<i>1</i> <hr><i>2</i> <i>3</i>").count,
        2);
}

TEST(ScriptRun, TagWithClassMatchesAClassAmongSeveral)
{
    const std::string page = R"(<div class="hit">no</div><li class="hit-wide">no</li>)"
                             R"(<lix class="hit">no</lix><li data-class="hit">no</li>)"
                             R"(<LI id=3 CLASS='big  Hit wide'>yes</li><li class=hit>also</li>)";
    DirectRun r = run("LOOP <li.hit TITLE </li> ENDLOOP", page);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.title(0), "yes"); // the match covers the whole tag
    EXPECT_EQ(r.title(1), "also");
    // A tag that never closes is no match; nor is a word that only looks like the form.
    EXPECT_EQ(run("<li.hit TITLE <", "<li class=\"hit\"").title(0), "");
    EXPECT_EQ(run("<li.hit.x TITLE <", "<li.hit.x y<").title(0), "y");
    // SKIPTO stops at the tag's start, so the same text finds it again.
    EXPECT_EQ(run("SKIPTO <p.x <p.x TITLE </p>", "<p>a</p><p class=x>b</p>").title(0), "b");
    // A "<li" inside an li tag's attribute value is part of that tag, wherever the search
    // starts.
    const std::string inside = "<li title='<li class=hit>'>no<li class=hit>yes<";
    EXPECT_EQ(run("<li.hit TITLE <", inside).title(0), "yes");
    EXPECT_EQ(run("title= <li.hit TITLE <", inside).title(0), "yes");
    // Nor when the search, as the second of two alternatives, stopped inside that tag before.
    EXPECT_EQ(run("LOOP b|<li.hit ENDLOOP", "<li title='b<li class=hit>'>x<li class=hit>y").count,
              3);
}

TEST(ScriptRun, StarredFieldSkipsTheTagsBeforeItsText)
{
    const std::string page = "<span class=t>\n <div class=icon><img alt=\"<>\"></div>"
                             "<!-- a > b --><em></em>The <b>title</b>\n</span><cite>x</cite></a>";
    EXPECT_EQ(run("class=t> TITLE* </a>", page).title(0), "The title");
    EXPECT_EQ(run("class=t> TITLE </a>", page).title(0), "");
    // No text before the terminator: nothing, and the position stops at it.
    EXPECT_EQ(run("class=t> TITLE* <em> DATE <", page).title(0), "");
}

TEST(ScriptRun, TokenStepsOverOneWord)
{
    EXPECT_EQ(run("<td> TOKEN DATE </td>", "<td>  12KB  2003/01/02 </td>").date(0), "2003/01/02");
    // TOKEN* steps over the tags before the word first.
    EXPECT_EQ(run("<td> TOKEN* DATE </td>", "<td><span class=\"n\">12KB</span> 2003</td>").date(0),
              "2003");
}

TEST(ScriptRun, NoStepReadsAStretchOfThePageOverAndOver)
{
    // Pages of one piece repeated to 64 KB, each built so that a step would read again what a
    // failed candidate, an alternative or an earlier pass read already: unclosed tags, a
    // limit or a first alternative that is nowhere, a field end searched for in every pass.
    const struct {
        const char *script;
        const char *piece;
    } cases[] = {
        {"LOOP <li.r URL ; ENDLOOP", "<li "},
        {"LOOP <li.r URL ; ENDLOOP", "<li title='<li "},
        {"LOOP x UNTILL <nowhere> TOKEN ENDLOOP", "x "},
        {"LOOP SKIPTO <nowhere>|x x ENDLOOP", "x "},
        {"LOOP x DATE SIZE ENDLOOP", "x<p>"},
        {"LOOP SKIPTO <nowhere>|x ENDLOOP", "xa"},
    };
    for (const auto &c : cases) {
        std::string page;
        while (page.size() < 65536) {
            page += c.piece;
        }
        const DirectRun r = run(c.script, page);
        EXPECT_LE(r.read, 8 * page.size()) << c.script << " over " << c.piece;
    }
}

TEST(ScriptRun, Errors)
{
    EXPECT_EQ(run("IF a THEN TITLE", "a b").error, tessel::kNoEndif);
    EXPECT_EQ(run("LOOP TITLE </b>", "a b").error, tessel::kNoEndloop);
    EXPECT_EQ(run("IF a TITLE ENDIF", "a b").error, tessel::kBadIf);
    EXPECT_EQ(run("IF a", "a b").error, tessel::kBadIf);
    // An IF that is never reached raises nothing.
    EXPECT_EQ(run("zzz IF a", "a b").error, 0);
    std::string many;
    for (int i = 0; i < 100; ++i) {
        many += "x ";
    }
    EXPECT_EQ(run(many, "x").error, 0);
    EXPECT_EQ(run(many + "x", "x").error, tessel::kTooManyTokens);
}

TEST(ScriptRun, ErrorKeepsTheRecordsCompletedBeforeIt)
{
    std::string page = R"(<a href="http://x/1">a</a> <a href="http://x/2">b</a> )"
                       R"(<a href="http://x/3"><em>c</em></a> <a href="http://x/4">d</a>)";
    const DirectRun r =
        run(R"(LOOP href=" URL " UNTILL href= IF <em> THEN IF x y ENDIF ENDLOOP)", page);
    EXPECT_EQ(r.error, tessel::kBadIf);
    EXPECT_EQ(r.count, 2);
}

TEST_F(ScriptSite, RunThroughIDataKeepsValidHits)
{
    load(kHitLoop);
    EXPECT_EQ(data(hitsPage(5)), 5);
    EXPECT_EQ(hitsFrom().size(), 5u);
}

TEST_F(ScriptSite, ScriptErrorStillKeepsEarlierHits)
{
    load(R"(LOOP href=" URL " UNTILL href= IF <em> THEN IF x y ENDIF ENDLOOP)");
    std::string page = R"(<a href="http://x/1">a</a> <a href="http://x/2"><em>b</em></a>)";
    EXPECT_EQ(data(page), 1);
}

TEST_F(ScriptSite, TooManyWordsYieldNothing)
{
    std::string script = kHitLoop;
    for (int i = 0; i < 101 - 7; ++i) {
        script += " x";
    }
    load(script);
    EXPECT_EQ(data(hitsPage(3)), 0);
}

TEST_F(ScriptSite, EmptyScriptYieldsNothing)
{
    load("");
    EXPECT_EQ(data(hitsPage(3)), 0);
}

TEST_F(ScriptSite, CapComesFromTheLastIParse)
{
    load(kHitLoop);
    iParse(-1, 2);
    EXPECT_EQ(data(hitsPage(5)), 2);
    iParse(-1, 0);
    EXPECT_EQ(data(hitsPage(5)), 1);
    iParse(-1, 5000);
    EXPECT_EQ(data(hitsPage(1200)), 997); // the store holds 1000 records in all
    EXPECT_EQ(data(hitsPage(3)), 0);
}
