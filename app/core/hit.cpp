#include "core/hit.h"

#include "core/encoding.h"
#include "tessel.h"

Hit HitFromRecord(const char *record, int32_t index, qint64 firstSeen)
{
    auto field = [record](int at, int width) {
        return DecodeCharRefs(readCp932Field(record + at, width));
    };
    Hit hit;
    hit.title = field(TESSEL_RESULT_TITLE_AT, TESSEL_RESULT_TITLE_WIDTH);
    hit.url = field(TESSEL_RESULT_URL_AT, TESSEL_RESULT_URL_WIDTH);
    hit.preview = field(TESSEL_RESULT_PREVIEW_AT, TESSEL_RESULT_PREVIEW_WIDTH);
    hit.date = field(TESSEL_RESULT_DATE_AT, TESSEL_RESULT_DATE_WIDTH);
    hit.size = field(TESSEL_RESULT_SIZE_AT, TESSEL_RESULT_SIZE_WIDTH);
    hit.score = field(TESSEL_RESULT_SCORE_AT, TESSEL_RESULT_SCORE_WIDTH);
    hit.site = field(TESSEL_RESULT_SITE_AT, TESSEL_RESULT_SITE_WIDTH);
    hit.index = index;
    hit.firstSeen = firstSeen;
    return hit;
}
