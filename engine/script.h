// The extraction script interpreter. Library-internal.
//
// ---- The script language (what a catalogue author can rely on) ----
// A site's script is the list of words between SEARCH and ENDSITE in sitelist.txt, at most
// 100 of them. Words never hold blanks. One read position moves forward through the page;
// each block runs only while the position is below its limit (the whole script: page end).
//
//   text                   search: move just past the next occurrence of text
//   SKIPTO text            move to the START of the next occurrence of text
//   UNTILL text            this block's limit becomes the start of the next occurrence of
//                          text (searched to the page end; page end when absent);
//                          UNTILL EOF sets the limit to the page end
//   FIELD terminator       capture FIELD from the position up to the next occurrence of
//                          terminator (or the limit), then terminator runs as a search
//   IF text THEN ... ENDIF run the inner commands when text is found (the position is then
//                          past it); not found: the position goes to the limit (block ends)
//   LOOP ... ENDLOOP       repeat, one result record per pass, while the position is below
//                          the limit and the cap / 1000 records are not reached; afterwards
//                          the position is at the limit, so nothing after ENDLOOP runs at
//                          that level
//   IF text LOOP ... ENDLOOP  same as LOOP; text is ignored
//
// Search texts (wherever a text is searched: commands, SKIPTO, UNTILL, IF, terminators; a
// word after SKIPTO, UNTILL or IF is a search text even when it begins with a field name):
//   a|b|c                  alternatives (2 to 4, none empty): the earliest match wins, the
//                          first listed on a tie; otherwise the word is one plain text
//   <name.class            a start tag of that name whose class attribute (quoted or not)
//                          holds the class among its blank-separated words; the match covers
//                          the whole tag, up to and including its ">". Tags are read in page
//                          order from the page's start: a "<name" inside an earlier one (in
//                          its attribute values, before its ">") belongs to that tag, and one
//                          that never closes takes the rest of the page
//
// Fields (a word that BEGINS with the name counts): TITLE (255 bytes), URL (1023), PREVIEW
// (1023), DATE, SIZE, SCORE (255 each), TOKEN (steps over one word of the page, keeps
// nothing). When the terminator is itself a field name the field runs to the limit; a field
// that is the script's last word captures nothing. A field word ending in "*" (TITLE*,
// TOKEN*) first steps over every tag and comment before its text, so a container that opens
// with a block element (an icon's <div>) still gives its text; from the text on, capture is
// as usual.
// Capture: leading/trailing blanks dropped, runs of blanks become one blank; tags starting
// <b <i <u <s <tt <font (and closing forms; so <br <span <strong <img <script too) are
// stepped over, any other tag ends the capture; two-byte characters are never split.
// URL: a capture not starting with a four-letter scheme ("http://") or "https://" gets the
// site's HOST in front (one "/" is dropped when HOST ends with "/"; "//server/..." takes the
// HOST's scheme). Hits are kept only with a URL beginning "http://" or "https://".
// Matching: ASCII letters compare case-insensitively; two-byte characters exactly (on an EUC
// site the page's EUC-JP pairs are converted to Shift_JIS first; a UTF8 site's page is
// converted to CP932 before the run, so write scripts in Shift_JIS text either way). Text
// and page are cut into characters as capture cuts them (characterWidth): half-width
// katakana is one byte, and a pair matches only a pair.
// Cost: a search text reads each stretch of the page once per run however often loops
// repeat it (what it found, or that it found nothing, is remembered): a run stays linear in
// the page.
// Keywords (IF LOOP SKIPTO UNTILL THEN ENDIF ENDLOOP EOF) are exact, upper case; anywhere
// else they are plain search texts. Blocks don't nest: IF..THEN ends at the first ENDIF,
// LOOP at the first ENDLOOP.
// Errors (they end the run; hits captured before stay): -4014 IF..THEN without ENDIF,
// -4015 LOOP without ENDLOOP, -4016 more than 100 words, -4017 IF text not followed by
// THEN or LOOP.
#pragma once

#include "results.h"

#include <cstddef>
#include <cstdint>

namespace tessel {

enum ScriptError : int32_t {
    kNoEndif = -4014,
    kNoEndloop = -4015,
    kTooManyTokens = -4016,
    kBadIf = -4017
};

constexpr int kMaxTokens = 100;

// The records a run writes: the current record is records[count]; every completed loop pass
// adds one to count, and loops stop once count reaches cap or kMaxResults.
struct ScriptOutput {
    char (*records)[kResultSize];
    int32_t count;
    int32_t cap;
    // Page bytes the run's searches, tag reads and captures passed over (a byte passed twice
    // counts twice): a measure of its work that does not depend on the machine.
    uint64_t read = 0;
};

// The page a run reads, with the site's flags that capture and matching need.
struct Page {
    const unsigned char *text;
    size_t size;
    bool euc;         // convert EUC-JP pairs to Shift_JIS while matching and capturing
    const char *host; // prefix of relative URLs ("" for none)
};

// Runs a script (NUL-separated words ending with an empty word, as the catalogue stores it)
// over the page. Returns 0 or a script error. Allocates nothing.
int32_t runScript(const char *script, const Page &page, ScriptOutput &out);

} // namespace tessel
