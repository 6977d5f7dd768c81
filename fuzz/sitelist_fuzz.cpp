// sitelist.dat from outside: any bytes must load without reading or writing out of bounds,
// and every site it yields must give its header and requests safely.
#include "catalogue.h"
#include "fuzzdir.h"
#include "tessel.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzdir::make();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdir::enterWithInput("sitelist.dat", data, size);
    int32_t count = LoadSite();
    fuzzdir::leave();
    if (count > 500 || tessel::catalogue().poolUsed > tessel::kPoolSize)
        std::abort();

    // The input itself, cut, doubles as keyword text.
    std::string own(reinterpret_cast<const char *>(data), size < 300 ? size : 300);
    const char *keywords[] = {"a", "a b c d e f g h i j k", "\x93\xFA\x96\x7B \x82", own.c_str()};
    static char header[TESSEL_SITE_HEADER_SIZE];
    static char request[TESSEL_REQUEST_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        SiteHeader(header, i);
        if (i >= 8)
            continue;
        for (const char *k : keywords)
            for (int32_t mode = 0; mode < 2; ++mode)
                for (int32_t page : {0, 1, 2, 7, -1, 2147483647})
                    if (iForm(i, mode, page, k, request) == 0 &&
                        std::strlen(request) >= TESSEL_REQUEST_SIZE)
                        std::abort();
    }
    return 0;
}
