#include "slots.h"

#include <atomic>

namespace tessel {

namespace {

// Allocated once with the library; a fetch never allocates page memory.
char pages[kPageSlots][kPageSize + 1];
FetchRecord *owners[kSlotCount];
std::atomic<int32_t> agentCounter{0};

} // namespace

char *pageBuffer(int32_t slot)
{
    return slot >= 0 && slot < kPageSlots ? pages[slot] : nullptr;
}

FetchRecord *slotOwner(int32_t slot)
{
    return slot >= 0 && slot < kSlotCount ? owners[slot] : nullptr;
}

int32_t nextAgent()
{
    return agentCounter.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace tessel
