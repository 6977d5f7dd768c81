// Atomic access to the fields of caller-owned records that a worker thread writes while the
// caller polls them. Library-internal.
#pragma once

#include <atomic>
#include <cstdint>

namespace tessel {

// The worker publishes with release, so a caller that sees a byte count also sees the bytes.
inline void put(int32_t &field, int32_t value)
{
    std::atomic_ref<int32_t>(field).store(value, std::memory_order_release);
}

inline int32_t get(int32_t &field)
{
    return std::atomic_ref<int32_t>(field).load(std::memory_order_acquire);
}

// A count for a record field: one that no longer fits stays at the largest value instead of
// turning negative.
inline int32_t saturated(std::int64_t count)
{
    return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

} // namespace tessel
