// How long a cancel may take before a test calls it slow. A cancel that works ends within a
// few milliseconds; one that doesn't waits for a stalled peer for seconds. The bound leaves room
// for a busy machine, and more for sanitized builds, which run the same code several times slower.
#pragma once

#include <chrono>

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr std::chrono::milliseconds kPromptCancel{1500};
#else
inline constexpr std::chrono::milliseconds kPromptCancel{250};
#endif

} // namespace testsupport
