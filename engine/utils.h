// Time texts shared by the utilities and the HTML report. Library-internal.
#pragma once

#include <cstdint>

namespace tessel {

// A calendar date and time in Japan Standard Time (UTC+9, no daylight saving).
struct Civil {
    int year, month, day, hour, minute, second;
};

Civil civilTime(int32_t time);

// "%04d.%02d.%02d.%02d:%02d:%02d", e.g. 1999.07.15.09:05:03; text holds at least 20 bytes.
void formatDotted(int32_t time, char *text);

// "%d/%d/%d,%02d:%02d:%02d", e.g. 1999/7/15,09:05:03; text holds at least 20 bytes.
void formatSlashed(int32_t time, char *text);

// The inverse of formatDotted: seconds since 1970 (64-bit, never cut), false when the text
// is not six numbers in the dotted form.
bool parseDotted(const char *text, long long &time);

} // namespace tessel
