// OpenSearchSite over any document: whatever the description, the block it writes fits the
// caller's buffer and is either empty or one site the catalogue reads back as one.
#include "catalogue.h"
#include "tessel.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    char entry[2048];
    const int32_t n = OpenSearchSite(reinterpret_cast<const char *>(data), int32_t(size), entry,
                                     int32_t(sizeof entry));
    if (n > 0 && (std::strlen(entry) != size_t(n) || tessel::countSites(entry, n, nullptr) != 1))
        __builtin_trap();
    return 0;
}
