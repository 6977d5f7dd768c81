// Field text capture: one stretch of page HTML to one clean line of Shift_JIS text.
// Library-internal.
#pragma once

#include "script.h"

#include <cstddef>

namespace tessel {

// Which record field a field word names; kNotField for any other word.
enum FieldKind : int {
    kNotField,
    kTitleField,
    kScoreField,
    kUrlField,
    kSizeField,
    kPreviewField,
    kDateField,
    kTokenField
};

// The field a script word names: TITLE, SCORE, URL, SIZE, PREVIEW, DATE (tested by prefix in
// that order) or TOKEN.
FieldKind fieldKind(const char *word, size_t length);

// Record offset and width of a field kind (not for kTokenField or kNotField).
ResultField fieldOf(FieldKind kind);

// Position after the whitespace at pos (bytes to 0x20, 0x81 0x40, 0xA1 0xA1), below end.
size_t skipSpace(const Page &page, size_t pos, size_t end);

// Captures text from pos up to end into out (at most most bytes and a NUL). Returns the
// position where the capture stopped: end, or the start of a tag that is not inline.
size_t captureText(const Page &page, size_t pos, size_t end, char *out, size_t most);

// The position of the first text at or after pos, stepping over blanks, tags and comments,
// below end.
size_t skipLeadingTags(const Page &page, size_t pos, size_t end);

// TOKEN: steps over the whitespace, one word and the whitespace after it, below end.
size_t skipWord(const Page &page, size_t pos, size_t end);

// Completes a captured URL (a field of 1024 bytes) with the site's host when it is relative.
void completeUrl(char *url, const char *host);

} // namespace tessel
