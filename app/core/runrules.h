// The arithmetic of a run, kept apart from the windows so it can be tested on its own:
// how many hits a page may give, when a site gets another page, and how a link check's
// answer becomes a link state.
#pragma once

#include <QString>

#include <cstdint>

// Link states of a hit (the list's icon numbers).
enum : int32_t {
    kLinkNoCheck = 1,
    kLinkOk = 2,
    kLinkNotFound = 3,
    kLinkOther = 4,
    kLinkTopic = 5, // never a hit's state: the icon of the topic view's rows
    kLinkNotConnect = 6,
    kLinkForbidden = 7,
};

// Most new hits iParse may add for a slot whose site has given siteHits of limitLink.
int32_t HarvestMost(int32_t limitLink, int32_t siteHits);

// Of the k new hits of a page, how many go into the list when the list holds hitCount hits
// and the site has given siteHits: the list stops at position 998, the site at limitLink.
int32_t HarvestTake(int32_t k, int32_t hitCount, int32_t siteHits, int32_t limitLink);

// True when the site still wants hits, so its next page is worth asking for.
bool WantsNextPage(int32_t siteHits, int32_t limitLink);

// True when page (already counted up) may still be fetched: a site without any hit is asked
// for pages 0 to 3 only.
bool MayFetchPage(int32_t siteHits, int32_t page);

// The link state of a finished check's status, or 0 when the status (negative) leaves the
// hit's state unchanged.
int32_t LinkStateOf(int32_t status);

// "No Check", "OK", "Not Found", "Other Case", "Not Connect", "Forbidden"; empty for others.
QString LinkStateText(int32_t state);

// What a link state (or the topic view's site picture) means, in a sentence for a tool tip;
// empty for values that are no state.
QString LinkStateMeaning(int32_t state);

// The progress text of a running fetch's status ("接続開始" ...), or a null QString when the
// status leaves the cell as it is.
QString FetchStageText(int32_t status);

// Hundredths of a second shown as seconds with only the digits needed: 150 -> "1.5",
// 1200 -> "12", 7 -> "0.07".
QString CheckSecondsText(int32_t hundredths);

// Whole hundredths of a second in a span of seconds, rounded to the nearest.
int32_t Hundredths(double seconds);

// Seconds of a span rounded to a whole number (for the progress bar).
int32_t WholeSeconds(double seconds);
