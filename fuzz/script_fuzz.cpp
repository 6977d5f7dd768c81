// The extraction interpreter with field capture: both the script and the page come from the
// input, on plain, EUC and UTF8 sites, with and without a host.
//
// One input in four repeats its page to 256 KB. A step that reads the page over and over
// (a tag read to the page's end for every candidate, a search redone in every loop pass)
// then takes seconds instead of milliseconds, and libFuzzer's -timeout (tools/run-fuzzers)
// reports the input as a failure. The seeds in seeds/script_fuzz are such inputs, written
// for the order of kWords below: add words at its end.
#include "catalogue.h"
#include "results.h"
#include "tessel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

namespace {

constexpr size_t kLongPage = 256 * 1024;

// Words a script is mostly made of, so that the fuzzer reaches the constructs quickly.
const char *const kWords[] = {
    "IF",
    "THEN",
    "ENDIF",
    "LOOP",
    "ENDLOOP",
    "SKIPTO",
    "UNTILL",
    "EOF",
    "TITLE",
    "URL",
    "PREVIEW",
    "DATE",
    "SIZE",
    "SCORE",
    "TOKEN",
    "TITLE2",
    "<a",
    "href=",
    "\"",
    ">",
    "</a>",
    "<b>",
    "</b>",
    "<p>",
    "<li>",
    "<",
    "/",
    "http://",
    "\x8c\x9f",
    "\xa4\xa2",
    "\x81",
    "a",
    // Alternatives, tags by class and fields that step over leading tags.
    "TITLE*",
    "URL*",
    "<li.x",
    "<a.x|<p",
    "a|b|<li.x|>",
    "|",
    "a||b",
    "class=x",
    "class='x",
    "<!--",
    "-->",
};

// A pool string appended to the catalogue's pool; returns its start.
const char *put(tessel::Catalogue &c, const std::string &text)
{
    const size_t room = tessel::kPoolSize - static_cast<size_t>(c.poolUsed);
    const size_t n = std::min(text.size() + 1, room);
    char *at = c.pool + c.poolUsed;
    std::memcpy(at, text.data(), n - 1);
    at[n - 1] = '\0';
    c.poolUsed += static_cast<int32_t>(n);
    return at;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const uint8_t flags = in.ConsumeIntegral<uint8_t>();
    const int32_t cap = in.ConsumeIntegralInRange<int32_t>(-2, 1100);

    // The script: each byte picks a word, or says how many raw bytes form the next word.
    std::string list;
    const size_t words = in.ConsumeIntegralInRange<size_t>(0, 110);
    for (size_t i = 0; i < words && in.remaining_bytes() > 0; ++i) {
        const uint8_t pick = in.ConsumeIntegral<uint8_t>();
        std::string word;
        if (pick < 2 * std::size(kWords)) {
            word = kWords[pick % std::size(kWords)];
        } else {
            word = in.ConsumeBytesAsString(pick % 12 + 1);
        }
        // Words hold no blank and no NUL, as the catalogue loader makes them.
        std::string kept;
        for (char ch : word) {
            if (static_cast<unsigned char>(ch) > 0x20) {
                kept += ch;
            }
        }
        if (!kept.empty()) {
            list += kept + '\0';
        }
    }
    list += '\0';
    std::string page = in.ConsumeRemainingBytesAsString();
    if ((flags & 0x30) == 0x30 && !page.empty()) {
        const std::string piece = page;
        while (page.size() < kLongPage) {
            page += piece;
        }
    }

    tessel::Catalogue &c = tessel::catalogue();
    c.poolUsed = 1;
    c.pool[0] = '\0';
    tessel::SiteRecord &site = c.sites[0];
    for (const char *&f : site.field) {
        f = c.pool;
    }
    site.field[tessel::kName] = put(c, "fuzz");
    const char *memos[] = {"AND", "EUC", "UTF8", "EUC UTF8"};
    site.field[tessel::kMemo] = put(c, memos[flags & 3]);
    site.field[tessel::kHost] = put(c, (flags & 4)   ? ""
                                       : (flags & 8) ? "https://h.jp"
                                                     : "http://h/");
    if (list.size() < tessel::kPoolSize - 100) {
        char *at = c.pool + c.poolUsed;
        std::memcpy(at, list.data(), list.size());
        c.poolUsed += static_cast<int32_t>(list.size());
        site.field[tessel::kScript] = at;
    }
    c.count = 1;

    InitResult();
    iParse(-1, cap);
    const int32_t added = iData(0, page.data(), static_cast<int32_t>(page.size()));
    if (added < 0 || added != tessel::resultCount() || added > TESSEL_MAX_RESULTS) {
        __builtin_trap();
    }
    char record[TESSEL_RESULT_SIZE];
    for (int32_t i = 0; i < added; ++i) {
        if (GetResult(i, record) != 0 || (std::strncmp(record + 512, "http://", 7) != 0 &&
                                          std::strncmp(record + 512, "https://", 8) != 0)) {
            __builtin_trap();
        }
        for (const auto &f : {tessel::kSiteName, tessel::kTitle, tessel::kUrl, tessel::kPreview,
                              tessel::kScore, tessel::kSize, tessel::kDate}) {
            if (std::memchr(record + f.offset, '\0', f.width) == nullptr) {
                __builtin_trap(); // every field ends within its width
            }
        }
        URLSame(i, added - 1 - i);
    }
    if (GetResult(added, record) != TESSEL_E_NO_RESULT) {
        __builtin_trap();
    }
    return 0;
}
