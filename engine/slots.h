// The slot table shared by page fetches and link checks. Library-internal.
#pragma once

#include "tessel.h"

#include <cstdint>
#include <string>

namespace tessel {

constexpr int kSlotCount = 1000;
constexpr int kPageSlots = 50;
constexpr int kPageSize = 1000000; // each page buffer holds kPageSize + 1 bytes
constexpr int kPageFillLimit = kPageSize - 2048;

// The page buffer of a fetch slot (0..49), or nullptr for any other slot.
char *pageBuffer(int32_t slot);

// The caller's record of the slot's current or last fetch, or nullptr.
FetchRecord *slotOwner(int32_t slot);

// The User-Agent of the next fetch or check: SetUserAgent's text, else "INET" and the next
// number of the engine-wide counter (fetches and checks share it).
std::string nextAgent();

// ---- Slot threads (fetch.cpp and check.cpp); all but the worker's own calls on the caller's
// thread. A slot "has a thread" from its first start until the library unloads; Status reads
// whether that thread still runs.

class CancelToken;
using SlotWorker = void (*)(int32_t slot, FetchRecord *record);

// Links the slot to the record, keeps the request text (at most 1023 bytes) and starts the
// worker. False when the slot is out of range, its previous thread still runs, or no thread
// can be created.
bool startSlot(int32_t slot, FetchRecord *record, const char *request, SlotWorker worker);
// True while the slot's thread runs.
bool slotRunning(int32_t slot);
// Cancels the slot's transfer and joins its thread; false when the slot never had a thread.
bool stopSlot(int32_t slot);
// How the slot's last fetch ended (FetchResult's answer): set by the worker before its thread
// ends, 0 from every start and while the thread runs.
void setSlotOutcome(int32_t slot, int32_t outcome);
int32_t slotOutcome(int32_t slot);
// When the answer of the slot's last fetch said to ask again (seconds since 1970, from its
// Retry-After header): set by the worker before its thread ends, -1 from every start, while
// the thread runs and for an answer without the header; kRetryUnreadable for a header that
// names no time.
void setSlotRetryAt(int32_t slot, int64_t when);
int64_t slotRetryAt(int32_t slot);
// The worker's view of its slot: the request text and the token that cancels it.
const char *slotRequest(int32_t slot);
CancelToken &slotToken(int32_t slot);

} // namespace tessel
