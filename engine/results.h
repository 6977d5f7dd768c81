// The result store. Library-internal.
#pragma once

#include <cstdint>

namespace tessel {

constexpr int kMaxResults = 1000;
constexpr int kResultSize = 3328;

// Offsets and widths of the seven fields of a result record.
struct ResultField {
    int offset;
    int width;
};
constexpr ResultField kSiteName{0, 256};
constexpr ResultField kTitle{256, 256};
constexpr ResultField kUrl{512, 1024};
constexpr ResultField kPreview{1536, 1024};
constexpr ResultField kScore{2560, 256};
constexpr ResultField kSize{2816, 256};
constexpr ResultField kDate{3072, 256};

// Number of valid hits in the store.
int32_t resultCount();

// The hit's record (3328 bytes), or nullptr when the index is not below the count.
const char *resultRecord(int32_t index);

// The hit's URL field, or nullptr when the index is not below the count.
const char *resultUrl(int32_t index);

} // namespace tessel
