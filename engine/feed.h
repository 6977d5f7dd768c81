// Feeds: hits read from a site's Atom, RSS or JSON answer instead of by a script over HTML.
// Library-internal.
//
// ---- The FEED statement (what a catalogue author can rely on) ----
//   FEED ATOM      the answer is an Atom feed: every <entry> is a hit; its <title>, the href
//                  of its first <link> with no rel or rel="alternate" (else its <id>), its
//                  <summary> (else <content>) and its <published> (else <updated>)
//   FEED RSS       the answer is RSS 2.0 or 1.0: every <item> is a hit; <title>, <link>,
//                  <description>, <pubDate> (else <dc:date>)
//   FEED JSON list FIELD=path ...
//                  the answer is JSON; list is the path of the array whose elements are the
//                  hits ("." for a document that is that array), and each FIELD (TITLE, URL,
//                  PREVIEW, DATE, SIZE, SCORE) names the path of its value inside an element.
//                  A path is keys and array positions joined by "." (senses.0.word);
//                  "a|b" takes the first that is present; a path that ends at an array of
//                  values takes them all, joined by ", "; "html:" in front marks a value that
//                  is HTML (its tags are dropped), others are plain text.
// Only children of an entry count (an Atom entry's <author><name> is not its title). Texts
// are cut and stored as a script's captures are: CP932, blanks run together, "&", "<" and ">"
// of plain text written as references; a relative URL gets HOST in front, its bytes outside
// the plain path characters percent-encoded (a page title "C++" or "富士山" gives a working
// address). Hostile documents are read in bounded memory and time: XML declaring entities is
// refused (no entity expansion, no external entity ever fetched), nesting past 256 levels
// ends the read, and hits taken before any error stay.
#pragma once

#include "script.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

enum class FeedFormat { None, Atom, Rss, Json };

struct FeedField {
    ResultField field{0, 0};
    std::vector<std::vector<std::string>> paths; // alternatives, each a list of path steps
    bool html = false;
};

struct FeedPlan {
    FeedFormat format = FeedFormat::None;
    std::vector<std::string> list; // JSON: path of the hit array (empty: the document)
    std::vector<FeedField> fields; // JSON only
};

// Appends c to out with blanks (any byte to 0x20) run together into one and none at the start;
// blank carries a pending blank between calls, so none is left at the end either.
void appendFolded(std::string &out, char c, bool &blank);

// Reads a FEED statement's value; false (format None) for one that names no known format or
// a JSON one without a URL field.
bool parseFeedPlan(const char *statement, FeedPlan &plan);

// One entry's texts as the document gave them (UTF-8), before they become a record.
struct FeedEntry {
    std::string text[7]; // indexed by FeedText
    bool html[7] = {};
};
enum FeedText { kFeedTitle, kFeedUrl, kFeedPreview, kFeedDate, kFeedSize, kFeedScore, kFeedTexts };

// Where the readers put their entries: records[count] while count is below cap (records may be
// null: entries are only counted).
class FeedSink {
public:
    FeedSink(ScriptOutput &out, const char *host) : out_(out), host_(host) {}
    void add(const FeedEntry &entry);
    int32_t entries() const { return entries_; }
    bool full() const;

private:
    ScriptOutput &out_;
    const char *host_;
    int32_t entries_ = 0;
};

// The readers: each returns the number of entries in the document, or -1 when the text is not
// a document of its format (then it wrote no record).
int32_t readXmlFeed(FeedFormat format, const char *text, std::size_t length, FeedSink &sink);
int32_t readJsonFeed(const FeedPlan &plan, const char *text, std::size_t length, FeedSink &sink);

// Runs the site's feed over the text like runScript: hits go to out. Returns the number of
// entries, or -1 when the site has no FEED statement or the text is not its feed.
int32_t runFeed(int32_t site, const char *text, std::size_t length, ScriptOutput &out);

// The number of entries of the site's feed in the text, or -1 (as runFeed, writing nothing).
int32_t feedEntries(int32_t site, const char *text, std::size_t length);

} // namespace tessel
