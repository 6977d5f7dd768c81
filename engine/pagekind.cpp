// PageKind and FetchRetryAfter: how a fetched page is to be taken. A site that blocks a client
// usually still answers, often with 200 and a page of its own; told apart from a real page
// with no hits and from a page the script no longer fits, each asks the user for something
// else (wait, accept, mend the catalogue).
#include "pagekind.h"

#include "catalogue.h"
#include "charset.h"
#include "feed.h"
#include "slots.h"
#include "tessel.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>

namespace tessel {

namespace {

// A site saying "come back in ten years" is not taken at its word: a week at most.
constexpr int64_t kLongestPause = 7 * 24 * 3600;

// Marks of the challenge, CAPTCHA and consent pages that sites put in front of clients they
// take for robots. Each is the markup of a challenge service or its wording, never a word
// an ordinary result page carries around its hits: a page that also gave hits is read as
// hits (PageKind's comment).
constexpr const char *kChallengeMarks =
    "g-recaptcha|h-captcha|cf-turnstile|/cdn-cgi/challenge-platform/|captcha-delivery.com|"
    "unusual traffic|are you a robot|verify you are human|action=\"https://consent.";

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool asciiOnly(const char *text)
{
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    return true;
}

} // namespace

int64_t retryAt(const char *value, std::time_t now)
{
    while (*value == ' ' || *value == '\t')
        ++value;
    std::string text(value);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    if (text.empty())
        return -1;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const int64_t seconds = text.size() > 9 ? kLongestPause : std::stoll(text);
        return now + std::min(seconds, kLongestPause);
    }
    const std::time_t when = curl_getdate(text.c_str(), &now);
    if (when == -1)
        return kRetryUnreadable;
    return std::clamp<int64_t>(when, now, now + kLongestPause);
}

bool pageHolds(const char *texts, const char *page, std::size_t size)
{
    if (!texts || !*texts || !page || size == 0)
        return false;
    const std::string haystack = lowered(std::string_view(page, size));
    std::string_view rest(texts);
    while (!rest.empty()) {
        const std::size_t bar = rest.find('|');
        const std::string_view one = rest.substr(0, bar);
        if (!one.empty() && haystack.find(lowered(one)) != std::string::npos)
            return true;
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    return false;
}

} // namespace tessel

using namespace tessel;

namespace {

// The slot's page as the site's markers are written: a UTF8 site's converted to CP932 when a
// marker needs it (an ASCII marker reads the same in both).
std::string_view markedPage(int32_t site, const char *page, std::size_t size, std::string &room)
{
    const SiteRecord *s = tessel::site(site);
    if (!s || !memoHas(site, "UTF8") ||
        (asciiOnly(s->field[kBlocked]) && asciiOnly(s->field[kNoHits])))
        return {page, size};
    room.resize(kPageSize);
    room.resize(utf8ToCp932(page, size, room.data(), room.size()));
    return room;
}

// The fetch the record started, once it ended with an answer: its slot, else -1.
int32_t answeredSlot(const FetchRecord *record)
{
    if (!record || slotOwner(record->slot) != record || !pageBuffer(record->slot))
        return -1;
    return slotOutcome(record->slot) >= 100 ? record->slot : -1;
}

} // namespace

extern "C" {

int32_t PageKind(const FetchRecord *record)
{
    const int32_t slot = answeredSlot(record);
    if (slot < 0)
        return TESSEL_PAGE_NONE;
    const int32_t code = slotOutcome(slot);
    // A 503 that names when to come back, in any words, is a refusal, not server trouble.
    if (code == 429 || (code == 503 && slotRetryAt(slot) != -1))
        return TESSEL_PAGE_BLOCKED;
    const int32_t site =
        std::atomic_ref<const int32_t>(record->site).load(std::memory_order_relaxed);
    const int32_t bytes =
        std::atomic_ref<const int32_t>(record->bytes).load(std::memory_order_acquire);
    const char *page = pageBuffer(slot);
    const std::size_t size = static_cast<std::size_t>(std::clamp(bytes, 0, kPageSize));
    const SiteRecord *s = tessel::site(site);
    const bool challenge =
        pageHolds(kChallengeMarks, page, size) || (s && pageHolds(s->field[kBlocked], page, size));
    if ((code == 403 || (code >= 200 && code < 300)) && challenge)
        return TESSEL_PAGE_BLOCKED;
    if (code < 200 || code >= 300 || !s)
        return TESSEL_PAGE_READ;
    std::string room;
    const std::string_view marked = markedPage(site, page, size, room);
    if (pageHolds(s->field[kNoHits], marked.data(), marked.size()))
        return TESSEL_PAGE_NO_HITS;
    if (feedEntries(site, page, size) == 0)
        return TESSEL_PAGE_NO_HITS;
    return TESSEL_PAGE_READ;
}

int32_t FetchRetryAfter(const FetchRecord *record)
{
    const int32_t slot = answeredSlot(record);
    const int64_t when = slot < 0 ? -1 : slotRetryAt(slot); // kRetryUnreadable too
    if (when < 0)
        return -1;
    return static_cast<int32_t>(std::clamp<int64_t>(when - std::time(nullptr), 0, kLongestPause));
}

} // extern "C"
