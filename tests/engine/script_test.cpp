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

// One run and what it leaves in one place: a field of the first record, the number of
// records or the error.
enum class Field { Title, Url, Date, Size, Count, Error };

struct Row {
    std::string script;
    std::string page;
    std::string expected;
    Field field = Field::Title;
    int32_t cap = 1000;
    bool euc = false;
};

std::string seen(const Row &row)
{
    const DirectRun r = run(row.script, row.page, row.cap, row.euc);
    switch (row.field) {
    case Field::Title:
        return r.title(0);
    case Field::Url:
        return r.url(0);
    case Field::Date:
        return r.date(0);
    case Field::Size:
        return r.size(0);
    case Field::Count:
        return std::to_string(r.count);
    case Field::Error:
        return std::to_string(r.error);
    }
    return {};
}

std::string many(int n, const std::string &word)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += word;
    return text;
}

const std::string kFailingIf =
    R"(LOOP href=" URL " UNTILL href= IF <em> THEN IF x y ENDIF ENDLOOP)";

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

// Every rule of the language that one run shows in one place. A row's comment line names the
// rule its rows hold to.
TEST(ScriptRun, EachRuleShowsInTheRecordsOfARun)
{
    const std::string twoLists = hitsPage(3) + "<hr>" + hitsPage(2, 10);
    const std::string insideTag = "<li title='<li class=hit>'>no<li class=hit>yes<";
    const std::string star = "<span class=t>\n <div class=icon><img alt=\"<>\"></div>"
                             "<!-- a > b --><em></em>The <b>title</b>\n</span><cite>x</cite></a>";
    const std::string blocks = "IF <x> THEN IF <y> THEN TITLE </y> ENDIF ENDIF <s> SIZE </s>";
    const std::string fields = "<b> TITLE2 </b> <i> URLs </i>";
    const std::string links = R"(<a href="http://x/1">a</a> <a href="http://x/2">b</a> )"
                              R"(<a href="http://x/3"><em>c</em></a> <a href="http://x/4">d</a>)";
    const std::string a = encode("ア"); // 83 41: its second byte is the letter A
    const std::string euc = encode("<p>検索：日本語</p>", "EUC-JP");
    const std::string loop = kHitLoop;
    const Field url = Field::Url, date = Field::Date, size = Field::Size, n = Field::Count,
                err = Field::Error;
    const Row rows[] = {
        // The cap stops loops, and zero or less still allows one pass.
        {loop, hitsPage(5), "3", n, 3},
        {loop, hitsPage(5), "1", n, 0},
        {loop, hitsPage(5), "1", n, -7},
        // The store bounds loops at 1000 records; a loop inside a loop (it shares the outer
        // ENDLOOP) fills it, and the outer pass that then completes counts no record past it.
        {loop, hitsPage(1200), "1000", n, 5000},
        {R"(LOOP href=" LOOP URL " ENDLOOP)", hitsPage(1200), "1000", n, 5000},
        {R"(LOOP href=" IF x LOOP URL " ENDLOOP)", hitsPage(1200), "1000", n, 5000},
        // IF text LOOP ignores its text.
        {R"(IF nowhere-on-the-page LOOP href=" URL " ENDLOOP)", hitsPage(2), "3", n},
        // UNTILL limits the block; a text that isn't on the page leaves the limit at the
        // page's end; EOF widens again; UNTILL searches to the page's end, not the limit.
        {"UNTILL <hr> " + loop, twoLists, "4", n},
        {"UNTILL <nothing> " + loop, twoLists, "6", n},
        {"UNTILL <hr> UNTILL EOF " + loop, twoLists, "6", n},
        {"UNTILL <li> UNTILL <hr> " + loop, twoLists, "4", n},
        // A search must start below the limit, but its match may run past it: inside the IF
        // the limit is the <hr>, "c<hr" starts below it, so the title begins with '>'.
        {"IF a THEN UNTILL <hr> c<hr ENDIF TITLE </p>", "abc<hr>tail</p>", ">tail"},
        {"IF a THEN UNTILL <hr> <hr ENDIF TITLE </p>", "abc<hr>tail</p>", ""},
        // SKIPTO stops at the start of the text.
        {"SKIPTO Hello TITLE <p>", "xx <i>Hello</i> world<p>", "Hello world"},
        {"Hello TITLE <p>", "xx <i>Hello</i> world<p>", "world"},
        {"SKIPTO Hello Hello TITLE <p>", "xx Hello there<p>", "there"},
        // ASCII letters match without case, two-byte characters exactly.
        {R"(<A HREF=" URL ")", R"(<a href="http://x/">)", "http://x/", url},
        {R"(<a href=" URL ")", R"(<A HREF="http://x/">)", "http://x/", url},
        {a + " TITLE <", a + "yes<", "yes"},
        {a + " TITLE <", "\x83\x61no<" + a + "yes<", "yes"},
        {encode("検索") + " TITLE <", encode("検索結果<"), encode("結果")},
        // Search texts split into characters as capture does: half-width katakana is one
        // byte (an odd run of it matches, a letter after it folds); 0xA0 and 0xFD-0xFF lead
        // no pair; a lead byte before a byte that ends no character stands alone; on an EUC
        // page a byte of the text matches no half of a page pair.
        {"\xb6\xc0\xb6 TITLE <", "x\xb6\xc0\xb6yes<", "yes"},
        {"\xb6id= TITLE <", "\xb6ID=yes<", "yes"},
        {"\xa0z TITLE <", "\xa0Zyes<", "yes"},
        {"\xfdz\xff TITLE <", "\xfdZ\xffyes<", "yes"},
        {"x\x82 TITLE <", "x\x82\x41no< x\x82!yes<", "!yes"},
        {"\xb1 TITLE <", "\xb1\xa1no<\xb1yes<", "yes", Field::Title, 1000, true},
        // EUC pages match Shift_JIS script text (and are read as EUC only on an EUC site).
        {encode("検索： TITLE </p>"), euc, encode("日本語"), Field::Title, 1000, true},
        {encode("検索： TITLE </p>"), euc, "", Field::Title, 1000, false},
        // Blocks don't nest; the second ENDIF is a search for the text "ENDIF".
        {blocks, "<x><y>T</y><s>S</s>", "T"},
        {blocks, "<x><y>T</y><s>S</s>", "", size},
        {blocks, "<x><y>T</y> endif <s>S</s>", "S", size},
        // Field words are recognised by their beginning.
        {fields, "<b>Name</b><i>/path</i>", "Name"},
        {fields, "<b>Name</b><i>/path</i>", "http://h/path", url},
        // A terminator that is a field name: the field runs to the limit (or a tag); a field
        // that is the last word captures nothing; a terminator that isn't found ends the
        // field at the limit, and then ends the block.
        {"<b> TITLE DATE </b>", "<b>one two", "one two"},
        {"<b> TITLE", "<b>one two", ""},
        {"<b> TITLE zzz DATE <", "<b>one two", "one two"},
        {"<b> TITLE zzz DATE <", "<b>one two", "", date},
        // Alternatives find the earliest of them, the first listed on a tie, and move past
        // the one that matched, as an UNTILL text and as a terminator too. A word with an
        // empty part, or more than four parts, is one plain text. A search text that begins
        // with a field name splits all the same.
        {"<h3>|<h2> TITLE <", "<h1>a<h2>b<h3>c<", "b"},
        {"<b|<b> TITLE <", "<b>x<", ">x"},
        {"UNTILL <hr>|<p> LOOP <i> TITLE </i> ENDLOOP", "<i>1</i> <p><i>2</i>", "2", n},
        {"<b> TITLE .|! ", "<b>Hi! there.", "Hi"},
        {"a||b TITLE <", "a<b>x a||b y<", "y"},
        {"| TITLE <", "a|b<", "b"},
        {"a|b|c|d|e TITLE <", "e<x a|b|c|d|e y<", "y"},
        {"SKIPTO TITLE|x x URL ;", "a x http://a/;", "http://a/", url},
        {"IF URL|<b> THEN TITLE </b> ENDIF", "<b>Name</b>", "Name"},
        {"UNTILL DATE|<hr> LOOP <i> TITLE </i> ENDLOOP", "<i>1</i> <hr><i>2</i> <i>3</i>", "2", n},
        // A tag with a class: one that never closes is no match, nor is a word that only
        // looks like the form; SKIPTO stops at the tag's start, so the same text finds it
        // again; a "<li" inside an li tag's attribute value is part of that tag, wherever
        // the search starts, also when a second alternative stopped inside it before.
        {"<li.hit TITLE <", "<li class=\"hit\"", ""},
        {"<li.hit.x TITLE <", "<li.hit.x y<", "y"},
        {"SKIPTO <p.x <p.x TITLE </p>", "<p>a</p><p class=x>b</p>", "b"},
        {"<li.hit TITLE <", insideTag, "yes"},
        {"title= <li.hit TITLE <", insideTag, "yes"},
        {"LOOP b|<li.hit ENDLOOP", "<li title='b<li class=hit>'>x<li class=hit>y", "3", n},
        // A starred field skips the tags before its text; with no text before the
        // terminator it takes nothing, and the position stops at the terminator.
        {"class=t> TITLE* </a>", star, "The title"},
        {"class=t> TITLE </a>", star, ""},
        {"class=t> TITLE* <em> DATE <", star, ""},
        // TOKEN steps over one word; TOKEN* over the tags before it first.
        {"<td> TOKEN DATE </td>", "<td>  12KB  2003/01/02 </td>", "2003/01/02", date},
        {"<td> TOKEN* DATE </td>", "<td><span class=\"n\">12KB</span> 2003</td>", "2003", date},
        // Errors; an IF that is never reached raises nothing; an error keeps the records
        // completed before it.
        {"IF a THEN TITLE", "a b", std::to_string(tessel::kNoEndif), err},
        {"LOOP TITLE </b>", "a b", std::to_string(tessel::kNoEndloop), err},
        {"IF a TITLE ENDIF", "a b", std::to_string(tessel::kBadIf), err},
        {"IF a", "a b", std::to_string(tessel::kBadIf), err},
        {"zzz IF a", "a b", "0", err},
        {many(100, "x "), "x", "0", err},
        {many(100, "x ") + "x", "x", std::to_string(tessel::kTooManyTokens), err},
        {kFailingIf, links, std::to_string(tessel::kBadIf), err},
        {kFailingIf, links, "2", n},
    };
    for (const Row &row : rows)
        EXPECT_EQ(seen(row), row.expected) << "script \"" << row.script << "\"";
}

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
    EXPECT_EQ(run(kHitLoop, hitsPage(1200), 5000).url(999), "http://x.jp/1000");
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

TEST(ScriptRun, TagWithClassCoversTheWholeTag)
{
    const std::string page = R"(<div class="hit">no</div><li class="hit-wide">no</li>)"
                             R"(<lix class="hit">no</lix><li data-class="hit">no</li>)"
                             R"(<LI id=3 CLASS='big  Hit wide'>yes</li><li class=hit>also</li>)";
    DirectRun r = run("LOOP <li.hit TITLE </li> ENDLOOP", page);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.title(0), "yes");
    EXPECT_EQ(r.title(1), "also");
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

// Through iData only hits with a URL stay; a script that errs keeps the ones before the
// error, and one too long or empty yields nothing.
TEST_F(ScriptSite, RunThroughIDataKeepsValidHits)
{
    const struct {
        std::string script, page;
        int32_t hits;
    } cases[] = {
        {kHitLoop, hitsPage(5), 5},
        {kFailingIf, R"(<a href="http://x/1">a</a> <a href="http://x/2"><em>b</em></a>)", 1},
        {kHitLoop + many(101 - 7, " x"), hitsPage(3), 0},
        {"", hitsPage(3), 0},
    };
    for (const auto &c : cases) {
        load(c.script);
        EXPECT_EQ(data(c.page), c.hits) << c.script;
        EXPECT_EQ(hitsFrom().size(), static_cast<size_t>(c.hits)) << c.script;
    }
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
