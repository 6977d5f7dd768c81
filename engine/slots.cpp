#include "slots.h"

#include "transfer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace tessel {

namespace {

constexpr int kRequestSize = 1024;

struct SlotThread {
    WorkerThread thread;
    bool started = false;             // caller's thread only: the slot has had a thread
    std::atomic<bool> running{false}; // written last by the worker, so the page is complete
    std::atomic<int32_t> outcome{0};  // how the last fetch ended; see FetchResult
    std::atomic<int64_t> retryAt{-1}; // see slotRetryAt
    CancelToken token;
    char request[kRequestSize] = {};
};

// Unloading the library (or a program's exit) while transfers run must not leave a thread
// running on freed memory: cancel and join them all.
struct SlotThreads {
    SlotThread slot[kSlotCount];
    ~SlotThreads()
    {
        for (SlotThread &each : slot)
            each.token.cancel();
        for (SlotThread &each : slot)
            if (each.thread.joinable())
                each.thread.join();
    }
};

// Allocated once with the library; a fetch never allocates page memory.
char pages[kPageSlots][kPageSize + 1];
FetchRecord *owners[kSlotCount];
std::atomic<int32_t> agentCounter{0};
std::mutex agentLock;
std::string agentText; // SetUserAgent's; empty: the counted default
SlotThreads threads;

bool inRange(int32_t slot)
{
    return slot >= 0 && slot < kSlotCount;
}

} // namespace

char *pageBuffer(int32_t slot)
{
    return slot >= 0 && slot < kPageSlots ? pages[slot] : nullptr;
}

FetchRecord *slotOwner(int32_t slot)
{
    return slot >= 0 && slot < kSlotCount ? owners[slot] : nullptr;
}

std::string nextAgent()
{
    {
        std::lock_guard<std::mutex> lock(agentLock);
        if (!agentText.empty())
            return agentText;
    }
    return "INET" + std::to_string(agentCounter.fetch_add(1, std::memory_order_relaxed) + 1);
}

bool startSlot(int32_t slot, FetchRecord *record, const char *request, SlotWorker worker)
{
    if (!inRange(slot))
        return false;
    SlotThread &entry = threads.slot[slot];
    if (entry.running.load(std::memory_order_acquire))
        return false;
    if (entry.thread.joinable())
        entry.thread.join(); // ended already; this only releases it
    owners[slot] = record;
    size_t length = std::min(std::strlen(request), sizeof entry.request - 1);
    std::memcpy(entry.request, request, length);
    entry.request[length] = '\0';
    entry.token.reset();
    entry.outcome.store(0, std::memory_order_relaxed);
    entry.retryAt.store(-1, std::memory_order_relaxed);
    entry.started = true;
    entry.running.store(true, std::memory_order_release);
    bool started = entry.thread.start([slot, record, worker] {
        worker(slot, record);
        threads.slot[slot].running.store(false, std::memory_order_release);
    });
    if (!started) {
        entry.running.store(false, std::memory_order_release);
        entry.started = false;
    }
    return started;
}

bool slotRunning(int32_t slot)
{
    return inRange(slot) && threads.slot[slot].running.load(std::memory_order_acquire);
}

bool stopSlot(int32_t slot)
{
    if (!inRange(slot) || !threads.slot[slot].started)
        return false;
    SlotThread &entry = threads.slot[slot];
    entry.token.cancel();
    if (entry.thread.joinable())
        entry.thread.join();
    return true;
}

void setSlotOutcome(int32_t slot, int32_t outcome)
{
    if (inRange(slot))
        threads.slot[slot].outcome.store(outcome, std::memory_order_relaxed);
}

int32_t slotOutcome(int32_t slot)
{
    if (!inRange(slot) || threads.slot[slot].running.load(std::memory_order_acquire))
        return 0;
    return threads.slot[slot].outcome.load(std::memory_order_relaxed);
}

void setSlotRetryAt(int32_t slot, int64_t when)
{
    if (inRange(slot))
        threads.slot[slot].retryAt.store(when, std::memory_order_relaxed);
}

int64_t slotRetryAt(int32_t slot)
{
    if (!inRange(slot) || threads.slot[slot].running.load(std::memory_order_acquire))
        return -1;
    return threads.slot[slot].retryAt.load(std::memory_order_relaxed);
}

const char *slotRequest(int32_t slot)
{
    return inRange(slot) ? threads.slot[slot].request : "";
}

CancelToken &slotToken(int32_t slot)
{
    return threads.slot[slot].token;
}

} // namespace tessel

using namespace tessel;

extern "C" {

int32_t SetUserAgent(const char *text)
{
    const std::string agent = text ? text : "";
    if (agent.size() > 255 || std::any_of(agent.begin(), agent.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        }))
        return -1;
    std::lock_guard<std::mutex> lock(agentLock);
    agentText = agent;
    return 0;
}

} // extern "C"
