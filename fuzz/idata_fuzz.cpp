// The result store under a stream of calls: iData over arbitrary pages, lengths and site
// indexes on plain, EUC and UTF8 sites, caps from iParse, InitResult, GetResult and URLSame.
// After every call the store must hold exactly its count of valid hits, and nothing above.
#include "catalogue.h"
#include "results.h"
#include "tessel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

namespace {

const char kScript[] = "LOOP\0<a\0href=\"\0URL\0\"\0>\0TITLE\0</a>\0PREVIEW\0<br>\0"
                       "TOKEN\0DATE\0<\0ENDLOOP\0";

void setUp()
{
    tessel::Catalogue &c = tessel::catalogue();
    std::memset(c.pool, 0, 4096);
    size_t used = 1;
    auto put = [&](const char *text, size_t n) {
        char *at = c.pool + used;
        std::memcpy(at, text, n);
        used += n + 1;
        return at;
    };
    const char *script = put(kScript, sizeof kScript);
    const char *memos[] = {"AND", "EUC", "UTF8"};
    for (int i = 0; i < 3; ++i) {
        for (const char *&f : c.sites[i].field) {
            f = c.pool;
        }
        c.sites[i].field[tessel::kName] = put("site", 4);
        c.sites[i].field[tessel::kMemo] = put(memos[i], std::strlen(memos[i]));
        c.sites[i].field[tessel::kHost] = put("http://h/", 9);
        c.sites[i].field[tessel::kScript] = script;
    }
    c.count = 3;
}

void check()
{
    const int32_t count = tessel::resultCount();
    if (count < 0 || count > TESSEL_MAX_RESULTS) {
        __builtin_trap();
    }
    for (int32_t i = 0; i < count; ++i) {
        const char *url = tessel::resultUrl(i);
        if (std::strncmp(url, "http://", 7) != 0 && std::strncmp(url, "https://", 8) != 0) {
            __builtin_trap();
        }
    }
    // Records above the count are empty.
    const char *base = count > 0 ? tessel::resultRecord(0) : nullptr;
    if (base) {
        for (int32_t i = count; i < count + 2 && i < TESSEL_MAX_RESULTS; ++i) {
            const char *r = base + static_cast<size_t>(i) * TESSEL_RESULT_SIZE;
            for (int k = 0; k < TESSEL_RESULT_SIZE; ++k) {
                if (r[k] != 0) {
                    __builtin_trap();
                }
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = (setUp(), true);
    (void)ready;
    FuzzedDataProvider in(data, size);
    InitResult();
    char record[TESSEL_RESULT_SIZE];
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
            InitResult();
            break;
        case 1:
            iParse(-1, in.ConsumeIntegral<int32_t>());
            break;
        case 2: {
            const int32_t site = in.ConsumeIntegralInRange<int32_t>(-1, 3);
            const std::string page = in.ConsumeRandomLengthString(4000);
            int32_t length = static_cast<int32_t>(page.size());
            if (in.ConsumeBool()) {
                length = in.ConsumeIntegralInRange<int32_t>(-3, length);
            }
            const int32_t before = tessel::resultCount();
            const int32_t added = iData(site, page.data(), length);
            if (length < 0 ? added != length : tessel::resultCount() != before + added) {
                __builtin_trap();
            }
            break;
        }
        case 3:
            GetResult(in.ConsumeIntegralInRange<int32_t>(-2, 1001), record);
            break;
        case 4:
            URLSame(in.ConsumeIntegralInRange<int32_t>(-2, 1001),
                    in.ConsumeIntegralInRange<int32_t>(-2, 1001));
            break;
        default: {
            // Many hits at once, to reach the store's bound.
            std::string page;
            const int n = in.ConsumeIntegralInRange<int>(0, 400);
            for (int i = 0; i < n; ++i) {
                page += "<a href=\"/" + std::to_string(i) + "\">t</a>";
            }
            iData(in.ConsumeIntegralInRange<int32_t>(0, 2), page.data(),
                  static_cast<int32_t>(page.size()));
            break;
        }
        }
        check();
    }
    return 0;
}
