// The site catalogue and the text buffer it shares with the help index reader.
// Library-internal: nothing here is exported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessel {

constexpr int kMaxSites = 500;
// The shipped catalogue and the user's, each at most kTextSize bytes of text.
constexpr int kPoolSize = 160000;
constexpr int kTextSize = 80000;
constexpr int kStartDirSize = 260;

enum SiteField : int {
    kName,
    kLang,
    kType,
    kSkey,
    kRoot,
    kMemo,
    kTest,
    kAndList,
    kOrList,
    kScript,
    kHost,
    kFeed,    // FEED: the format the site's answers come in (feed.h); empty for HTML
    kBlocked, // BLOCKED: texts that mark the site's "you look like a robot" pages
    kNoHits,  // NOHITS: texts that mark the site's page of a search that found nothing
    kFieldCount
};

// Every field points into the pool; never null once LoadSite has run.
// List fields (AND, OR, script) are NUL-separated strings ending with an empty string.
struct SiteRecord {
    const char *field[kFieldCount];
};

struct Catalogue {
    SiteRecord sites[kMaxSites];
    int32_t count = 0;
    char pool[kPoolSize];
    int32_t poolUsed = 0;
    char text[kTextSize + 1]; // decoded file text; reused by the help index reader
    int32_t textLength = 0;
    int32_t position = 0; // the one read position into text
    char startDir[kStartDirSize];
    int8_t origin[kMaxSites]; // SiteOrigin's answer for each site
};

Catalogue &catalogue();

// The site's record, or nullptr when the index is not below the count.
const SiteRecord *site(int32_t index);

// Reads catalogue text (CP932, as the packed file holds it after complementing) into a
// catalogue of its own, for checking an entry before it is stored: the number of sites.
// name receives the first site's name.
int32_t countSites(const char *text, int32_t length, std::string *name);

// Case-sensitive substring test on the site's memo ("EUC", "MONO", "AND", "OR", "UTF8").
bool memoHas(int32_t index, const char *word);

} // namespace tessel
