// The slot table shared by page fetches and link checks. Library-internal.
#pragma once

#include "tessel.h"

#include <cstdint>

namespace tessel {

constexpr int kSlotCount = 1000;
constexpr int kPageSlots = 50;
constexpr int kPageSize = 1000000; // each page buffer holds kPageSize + 1 bytes
constexpr int kPageFillLimit = kPageSize - 2048;

// The page buffer of a fetch slot (0..49), or nullptr for any other slot.
char *pageBuffer(int32_t slot);

// The caller's record of the slot's current or last fetch, or nullptr.
FetchRecord *slotOwner(int32_t slot);

// Next number of the engine-wide "INET%d" agent counter (fetches and checks share it).
int32_t nextAgent();

} // namespace tessel
