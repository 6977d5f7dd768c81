// The help table: the library's help index kept in memory for the help window's tree.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

constexpr int kHelpEntries = 257;

struct HelpEntry {
    QString title;
    QString page; // file name relative to the program directory
    int32_t icon = 0;
    std::array<int32_t, 6> levels{}; // outline numbers of levels 0 .. 5; level 5 is always 0
};

struct HelpTable {
    std::array<HelpEntry, kHelpEntries> entries;
    int32_t count = 0;
};

// Fills the table once from the library (InitHelp, GetHelp); a negative count counts as 0,
// and an index with more than 257 entries is cut to 257.
void LoadHelp(HelpTable &table);
