// What a fetched page is: a page to read, a site refusing robots, or the site's own "nothing
// found". Library-internal; the exports are PageKind and FetchRetryAfter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace tessel {

// A Retry-After that is there but names no time ("soon", "-5").
inline constexpr int64_t kRetryUnreadable = -2;

// When a Retry-After value ("120", or an HTTP date) says to ask again, in seconds since
// 1970, for an answer that came at now; -1 when there is no value, kRetryUnreadable when it
// is neither.
int64_t retryAt(const char *value, std::time_t now);

// True when one of the texts ("a|b|c", CP932; ASCII letters in any case) is in the page.
bool pageHolds(const char *texts, const char *page, std::size_t size);

} // namespace tessel
