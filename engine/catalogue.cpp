#include "catalogue.h"

#include <cstring>

namespace tessel {

Catalogue &catalogue()
{
    static Catalogue instance;
    return instance;
}

const SiteRecord *site(int32_t index)
{
    Catalogue &c = catalogue();
    return index >= 0 && index < c.count ? &c.sites[index] : nullptr;
}

bool memoHas(int32_t index, const char *word)
{
    const SiteRecord *s = site(index);
    return s && std::strstr(s->field[kMemo], word) != nullptr;
}

} // namespace tessel
