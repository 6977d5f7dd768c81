// Character set work on pages: EUC-JP pairs to Shift_JIS, UTF-8 pages to CP932.
// Library-internal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessel {

// Converts one EUC-JP pair to Shift_JIS in place (the JIS X 0208 mapping). Pairs that are not
// two-byte EUC-JP (either byte at or below 0xA0, or 0xFF) are left unchanged; half-width
// katakana (0x8E) and three-byte sequences are never converted.
inline void eucToSjis(uint8_t &a, uint8_t &b)
{
    if (a <= 0xA0 || a == 0xFF || b <= 0xA0 || b == 0xFF) {
        return;
    }
    const int c = (a - 0xA1) * 94 + (b - 0xA1);
    const int q = c / 188;
    const int r = c % 188;
    a = static_cast<uint8_t>(q <= 30 ? 0x81 + q : 0xC1 + q);
    b = static_cast<uint8_t>(0x40 + r + (r > 62 ? 1 : 0));
}

// Converts UTF-8 text to CP932 into out, writing at most capacity bytes (no NUL is added).
// A character CP932 lacks, and every byte that is not part of valid UTF-8, becomes a numeric
// character reference "&#N;" (an invalid byte as U+FFFD). The output is cut before the first
// character or reference that would not fit whole. Returns the number of bytes written.
// Allocates nothing; the first call builds a static table.
size_t utf8ToCp932(const char *in, size_t length, char *out, size_t capacity);

} // namespace tessel
