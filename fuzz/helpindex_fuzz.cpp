// idxhelp.dat from outside: any bytes, read entry by entry until exhausted, must never read
// or write beyond the text buffer or the caller's fields.
#include "catalogue.h"
#include "fuzzdir.h"
#include "tessel.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzdir::make();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdir::enterWithInput("idxhelp.dat", data, size);
    InitHelp();
    fuzzdir::leave();
    int32_t levels[6];
    char title[256], page[256];
    const tessel::Catalogue &c = tessel::catalogue();
    // Every word takes at least one byte and a blank: the text runs out within its length.
    for (int32_t i = 0; i <= c.textLength / 2 + 2; ++i) {
        GetHelp(levels, title, page);
        if (std::strlen(title) > 255 || std::strlen(page) > 255)
            std::abort();
    }
    if (c.position != c.textLength)
        std::abort();
    return 0;
}
