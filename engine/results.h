// The result store. Library-internal.
#pragma once

#include "tessel.h"

#include <cstdint>

namespace tessel {

constexpr int kMaxResults = TESSEL_MAX_RESULTS;
constexpr int kResultSize = TESSEL_RESULT_SIZE;

// Offsets and widths of the seven fields of a result record.
struct ResultField {
    int offset;
    int width;
};
constexpr ResultField kSiteName{TESSEL_RESULT_SITE_AT, TESSEL_RESULT_SITE_WIDTH};
constexpr ResultField kTitle{TESSEL_RESULT_TITLE_AT, TESSEL_RESULT_TITLE_WIDTH};
constexpr ResultField kUrl{TESSEL_RESULT_URL_AT, TESSEL_RESULT_URL_WIDTH};
constexpr ResultField kPreview{TESSEL_RESULT_PREVIEW_AT, TESSEL_RESULT_PREVIEW_WIDTH};
constexpr ResultField kScore{TESSEL_RESULT_SCORE_AT, TESSEL_RESULT_SCORE_WIDTH};
constexpr ResultField kSize{TESSEL_RESULT_SIZE_AT, TESSEL_RESULT_SIZE_WIDTH};
constexpr ResultField kDate{TESSEL_RESULT_DATE_AT, TESSEL_RESULT_DATE_WIDTH};

// Number of valid hits in the store.
int32_t resultCount();

// The hit's record (3328 bytes), or nullptr when the index is not below the count.
const char *resultRecord(int32_t index);

// The hit's URL field, or nullptr when the index is not below the count.
const char *resultUrl(int32_t index);

} // namespace tessel
