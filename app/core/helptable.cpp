#include "core/helptable.h"

#include "core/encoding.h"
#include "tessel.h"

#include <algorithm>

namespace {

// GetHelp fills caller buffers of this size.
constexpr int kHelpTextSize = 256;

} // namespace

void LoadHelp(HelpTable &table)
{
    // An index that claims more entries than the table holds is read only as far as it fits.
    const int32_t count = std::clamp(InitHelp(), 0, kHelpEntries);
    for (int32_t i = 0; i < kHelpEntries; ++i) {
        HelpEntry &entry = table.entries[i];
        if (i >= count) {
            entry = HelpEntry();
            continue;
        }
        // Element 0 is the library's to leave alone; elements 1 .. 5 are levels 0 .. 4.
        int32_t levels[6] = {};
        char title[kHelpTextSize] = {};
        char page[kHelpTextSize] = {};
        writeCp932Field(entry.title, title, kHelpTextSize);
        writeCp932Field(entry.page, page, kHelpTextSize);
        entry.icon = GetHelp(levels, title, page);
        entry.title = readCp932Field(title, kHelpTextSize);
        entry.page = readCp932Field(page, kHelpTextSize);
        for (int level = 0; level < 5; ++level)
            entry.levels[level] = levels[level + 1];
        entry.levels[5] = 0;
    }
    table.count = count;
}
