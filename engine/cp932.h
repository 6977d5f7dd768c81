// CP932 text to UTF-8 for the places where the library leaves its own code page: file
// system paths and command lines, and keywords for sites that want UTF-8. Library-internal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessel {

// The bytes of the character at pos in text of size bytes: 2 for a pair, else 1. Shift_JIS
// pairs lead with 0x81-0x9F or 0xE0-0xFC; half-width katakana (0xA1-0xDF), 0x80, 0xA0 and
// 0xFD-0xFF are one byte each. EUC-JP pairs lead with any byte from 0x81 up. Either way a
// lead byte pairs only with a byte that can end a character (0x40-0x7E or 0x80-0xFC in
// Shift_JIS, 0xA1-0xFE in EUC-JP); before anything else it stands alone, so a '<', a blank
// or a quote after it is never taken as the second half of a character (captured text ends
// up in the HTML report: this keeps a page's tags out of it). Capture and text matching both
// cut text with this, so a search text matches what a field shows.
inline size_t characterWidth(const unsigned char *text, size_t pos, size_t size, bool euc)
{
    const unsigned char lead = text[pos];
    const bool leads =
        euc ? lead >= 0x81 : (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    if (!leads || pos + 1 >= size) {
        return 1;
    }
    const unsigned char b = text[pos + 1];
    const bool ends =
        euc ? b >= 0xA1 && b <= 0xFE : (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
    return ends ? 2 : 1;
}

// Converts CP932 text to UTF-8. A byte that starts no CP932 character is passed through
// unchanged: the conversion never fails and never drops text.
std::string utf8FromCp932(std::string_view text);

// A path or command line from the caller (CP932) in the file system's encoding (UTF-8).
inline std::string nativePath(const char *path)
{
    return path ? utf8FromCp932(path) : std::string();
}

} // namespace tessel
