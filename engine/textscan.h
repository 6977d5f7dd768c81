// Word and blank scanning shared by the catalogue loader and the help index reader.
// Library-internal. Both files are Shift_JIS text that may also carry EUC-JP blanks.
#pragma once

#include <cstdint>
#include <cstring>

namespace tessel {

// Width of the blank at pos: 1 for a byte 0x00..0x20, 2 for an ideographic space
// (81 40 in Shift_JIS, A1 A1 in EUC-JP), 0 when pos starts no blank.
inline int blankWidth(const char *text, int32_t length, int32_t pos)
{
    auto b = static_cast<unsigned char>(text[pos]);
    if (b <= 0x20)
        return 1;
    if (pos + 1 < length) {
        auto n = static_cast<unsigned char>(text[pos + 1]);
        if ((b == 0x81 && n == 0x40) || (b == 0xA1 && n == 0xA1))
            return 2;
    }
    return 0;
}

// The first position at or after pos that is not blank (length at the end of the text).
inline int32_t skipBlanks(const char *text, int32_t length, int32_t pos)
{
    while (pos < length) {
        int width = blankWidth(text, length, pos);
        if (width == 0)
            break;
        pos += width;
    }
    return pos < length ? pos : length;
}

// The end of the word that starts at pos: the next byte of 0x20 or below, or the text's end.
// An ideographic space inside a word belongs to it: both its bytes are above 0x20.
inline int32_t wordEnd(const char *text, int32_t length, int32_t pos)
{
    while (pos<length &&static_cast<unsigned char>(text[pos])> 0x20)
        ++pos;
    return pos;
}

// Copies Shift_JIS text into a caller's field of `width` bytes, NUL included, and clears
// the rest of the field. A cut never splits a two-byte character, so a reader that
// converts the field sees no stray lead byte.
inline void copyField(char *field, int width, const char *value)
{
    int n = 0;
    while (value[n] != '\0') {
        auto b = static_cast<unsigned char>(value[n]);
        bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        int step = lead && value[n + 1] != '\0' ? 2 : 1;
        if (n + step > width - 1)
            break;
        n += step;
    }
    std::memcpy(field, value, n);
    std::memset(field + n, 0, width - n);
}

} // namespace tessel
