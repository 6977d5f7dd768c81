// The result store and the exports that fill and read it.
#include "results.h"

#include "catalogue.h"
#include "charset.h"
#include "feed.h"
#include "script.h"
#include "slots.h"
#include "tessel.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace tessel {

namespace {

struct ResultStore {
    char records[kMaxResults][kResultSize];
    int32_t count = 0;
    int32_t cap = 0;
    int32_t touched = 0; // records below this index may hold text; all others are empty
};

ResultStore store;

// A UTF8 site's page converted to CP932, cut at the page buffer's size.
char converted[kPageSize + 1];

bool isAbsolute(const char *url)
{
    return std::strncmp(url, "http://", 7) == 0 || std::strncmp(url, "https://", 8) == 0;
}

void emptyRecords(int32_t from, int32_t to)
{
    if (from < to) {
        std::memset(store.records[from], 0, static_cast<size_t>(to - from) * kResultSize);
    }
}

// Keeps the records from first up to end whose URL is absolute, moved down in order and
// stamped with the site's name; empties what is left behind. Returns how many were kept.
int32_t validate(int32_t first, int32_t end, const char *siteName)
{
    int32_t kept = first;
    for (int32_t i = first; i < end; ++i) {
        char *record = store.records[i];
        if (!isAbsolute(record + kUrl.offset)) {
            continue;
        }
        char *target = store.records[kept];
        if (target != record) {
            std::memcpy(target + kTitle.offset, record + kTitle.offset,
                        kResultSize - kTitle.offset);
        }
        std::memset(target + kSiteName.offset, 0, kSiteName.width);
        std::strncpy(target + kSiteName.offset, siteName, kSiteName.width - 1);
        ++kept;
    }
    // The record a run left current (index end) may hold captures of an unfinished pass;
    // it is emptied too, so no text leaks into the next run's first hit.
    store.touched = std::max(store.touched, std::min(end + 1, kMaxResults));
    emptyRecords(kept, std::min(end + 1, kMaxResults));
    store.count = kept;
    return kept - first;
}

int32_t runSite(int32_t index, const char *text, int32_t length)
{
    const SiteRecord *s = site(index);
    if (!s) {
        return 0;
    }
    const int32_t previous = store.count;
    ScriptOutput out{store.records, store.count, store.cap};
    store.touched = std::max(store.touched, std::min(previous + 1, kMaxResults));
    // A site that answers in a feed is read as one; its script, if any, is kept for an answer
    // that is no feed at all (the site sent its HTML page instead).
    if (runFeed(index, text ? text : "", text ? static_cast<size_t>(length) : 0, out) >= 0)
        return validate(previous, out.count, s->field[kName]);
    Page page{reinterpret_cast<const unsigned char *>(text ? text : ""),
              text ? static_cast<size_t>(length) : 0, false, s->field[kHost]};
    if (memoHas(index, "UTF8")) {
        page.size = utf8ToCp932(text, page.size, converted, kPageSize);
        page.text = reinterpret_cast<const unsigned char *>(converted);
    } else {
        page.euc = memoHas(index, "EUC");
    }
    runScript(s->field[kScript], page, out); // a script error keeps what was captured
    return validate(previous, out.count, s->field[kName]);
}

} // namespace

int32_t resultCount()
{
    return store.count;
}

const char *resultRecord(int32_t index)
{
    return index >= 0 && index < store.count ? store.records[index] : nullptr;
}

const char *resultUrl(int32_t index)
{
    const char *record = resultRecord(index);
    return record ? record + kUrl.offset : nullptr;
}

} // namespace tessel

using namespace tessel;

extern "C" {

int32_t InitResult(void)
{
    // Only records that a run may have written need emptying; the rest are empty already.
    emptyRecords(0, store.touched);
    store.touched = 0;
    store.count = 0;
    return kMaxResults;
}

int32_t iParse(int32_t slot, int32_t most)
{
    store.cap = static_cast<int32_t>(
        std::clamp<int64_t>(static_cast<int64_t>(store.count) + most, 0, kMaxResults));
    const char *page = pageBuffer(slot);
    FetchRecord *record = slotOwner(slot);
    if (!page || !record) {
        return 0;
    }
    const int32_t site = std::atomic_ref<int32_t>(record->site).load(std::memory_order_relaxed);
    const int32_t bytes = std::atomic_ref<int32_t>(record->bytes).load(std::memory_order_acquire);
    return runSite(site, page, std::clamp(bytes, 0, kPageSize));
}

int32_t iData(int32_t site, const char *text, int32_t length)
{
    if (length < 0) {
        return length;
    }
    return runSite(site, text, length);
}

int32_t GetResult(int32_t index, char *record)
{
    const char *source = resultRecord(index);
    if (!source || !record) {
        return TESSEL_E_NO_RESULT;
    }
    std::memcpy(record, source, kResultSize);
    return 0;
}

int32_t URLSame(int32_t a, int32_t b)
{
    const char *x = resultUrl(a);
    const char *y = resultUrl(b);
    if (!x || !y) {
        return 0;
    }
    size_t n = std::strlen(x);
    size_t m = std::strlen(y);
    n -= n > 0 && x[n - 1] == '/';
    m -= m > 0 && y[m - 1] == '/';
    if (n != m) {
        return 0;
    }
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(x[i]);
        const unsigned char d = static_cast<unsigned char>(y[i]);
        if (c != d && !((c | 0x20) == (d | 0x20) && (c | 0x20) >= 'a' && (c | 0x20) <= 'z')) {
            return 0;
        }
    }
    return 1;
}

} // extern "C"
