#include "capture.h"

#include "charset.h"
#include "cp932.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessel {

namespace {

inline unsigned char lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20) : c;
}

inline bool startsWith(const char *word, size_t length, const char *name)
{
    const size_t n = std::strlen(name);
    return length >= n && std::memcmp(word, name, n) == 0;
}

// The twenty inline prefixes <tt </tt <i </i <b </b <u </u <s </s <big </big <small </small
// <font </font <sub </sub <sup </sup reduce to: "<", an optional "/", then i, b, u, s, "tt" or
// "font". Only the prefix is compared, so <br, <span, <img, <script ... are inline too.
bool inlineTag(const unsigned char *p, size_t left)
{
    size_t i = 1;
    if (i < left && p[i] == '/') {
        ++i;
    }
    if (i >= left) {
        return false;
    }
    const unsigned char c = lower(p[i]);
    if (c == 'i' || c == 'b' || c == 'u' || c == 's') {
        return true;
    }
    if (c == 't') {
        return i + 1 < left && lower(p[i + 1]) == 't';
    }
    if (c == 'f') {
        return i + 3 < left && lower(p[i + 1]) == 'o' && lower(p[i + 2]) == 'n' &&
               lower(p[i + 3]) == 't';
    }
    return false;
}

} // namespace

FieldKind fieldKind(const char *word, size_t length)
{
    if (startsWith(word, length, "TITLE")) {
        return kTitleField;
    }
    if (startsWith(word, length, "SCORE")) {
        return kScoreField;
    }
    if (startsWith(word, length, "URL")) {
        return kUrlField;
    }
    if (startsWith(word, length, "SIZE")) {
        return kSizeField;
    }
    if (startsWith(word, length, "PREVIEW")) {
        return kPreviewField;
    }
    if (startsWith(word, length, "DATE")) {
        return kDateField;
    }
    if (startsWith(word, length, "TOKEN")) {
        return kTokenField;
    }
    return kNotField;
}

ResultField fieldOf(FieldKind kind)
{
    switch (kind) {
    case kTitleField:
        return kTitle;
    case kScoreField:
        return kScore;
    case kUrlField:
        return kUrl;
    case kSizeField:
        return kSize;
    case kPreviewField:
        return kPreview;
    case kDateField:
        return kDate;
    default:
        return kTitle;
    }
}

namespace {

// A one-byte character that capture copies as it stands: not a blank, not a tag's "<", not
// the lead byte of a two-byte character.
inline bool plain(unsigned char b)
{
    return b > 0x20 && b <= 0x80 && b != '<';
}

// The end of the run of plain bytes from pos. A single blank between two plain bytes is the
// folded blank itself, so the run takes it along.
inline size_t plainRun(const unsigned char *s, size_t pos, size_t end)
{
    for (;;) {
#if defined(__SSE2__)
        // Sixteen bytes at a time: a byte ends the run when it is at most 0x20, at least 0x81,
        // or '<'.
        const __m128i low = _mm_set1_epi8(0x20);
        const __m128i high = _mm_set1_epi8(static_cast<char>(0x81));
        const __m128i lt = _mm_set1_epi8('<');
        while (pos + 16 <= end) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + pos));
            const __m128i stop =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, low), v),
                                          _mm_cmpeq_epi8(_mm_max_epu8(v, high), v)),
                             _mm_cmpeq_epi8(v, lt));
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
            if (mask != 0) {
                pos += static_cast<size_t>(__builtin_ctz(mask));
                break;
            }
            pos += 16;
        }
#endif
        while (pos < end && plain(s[pos])) {
            ++pos;
        }
        if (pos + 1 < end && s[pos] == ' ' && plain(s[pos + 1])) {
            pos += 2;
            continue;
        }
        return pos;
    }
}

// Copies n bytes; most runs are short, so when both sides have sixteen bytes to spare one
// vector move does it (bytes past n in the field are overwritten later or lie past the NUL).
inline void copyBytes(char *to, const unsigned char *from, size_t n, size_t toRoom, size_t fromRoom)
{
#if defined(__SSE2__)
    if (n <= 16 && toRoom >= 16 && fromRoom >= 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(from)));
        return;
    }
#endif
    std::memcpy(to, from, n);
}

inline size_t skipBlanks(const unsigned char *s, size_t pos, size_t end)
{
    while (pos < end) {
        if (s[pos] <= 0x20) {
            ++pos;
        } else if (pos + 1 < end && ((s[pos] == 0x81 && s[pos + 1] == 0x40) ||
                                     (s[pos] == 0xA1 && s[pos + 1] == 0xA1))) {
            pos += 2;
        } else {
            break;
        }
    }
    return pos;
}

} // namespace

size_t skipSpace(const Page &page, size_t pos, size_t end)
{
    return skipBlanks(page.text, pos, end);
}

size_t captureText(const Page &page, size_t pos, size_t end, char *out, size_t most)
{
    const unsigned char *s = page.text;
    size_t n = 0;
    bool blank = false;
    pos = skipBlanks(s, pos, end);
    while (pos < end) {
        const unsigned char c = s[pos];
        if (c == '<') {
            if (!inlineTag(s + pos, page.size - pos)) {
                break;
            }
            // Tags are short: a plain scan beats a call here.
            size_t gt = pos + 1;
            while (gt < end && s[gt] != '>') {
                ++gt;
            }
            pos = gt < end ? gt + 1 : end;
            continue;
        }
        if (c <= 0x20) {
            blank = true;
            pos = skipBlanks(s, pos, end);
            continue;
        }
        // A blank is written only between two pieces of text: none at the start, even after
        // a stepped-over tag, and none at the end.
        if (blank && n > 0 && n < most) {
            out[n++] = ' ';
        }
        blank = false;
        if (c <= 0x80) {
            // A run of one-byte characters, kept while there is room.
            const size_t run = plainRun(s, pos, end);
            const size_t take = std::min(run - pos, most - n);
            copyBytes(out + n, s + pos, take, most - n, page.size - pos);
            n += take;
            pos = run;
            continue;
        }
        // A run of characters from 0x81 up, each kept whole or not at all.
        size_t run = pos;
        while (run < end && s[run] >= 0x81) {
            const size_t width = characterWidth(s, run, page.size, page.euc);
            if (n + width <= most) {
                out[n] = static_cast<char>(s[run]);
                if (width == 2) {
                    out[n + 1] = static_cast<char>(s[run + 1]);
                    if (page.euc) {
                        auto *a = reinterpret_cast<unsigned char *>(out + n);
                        eucToSjis(a[0], a[1]);
                    }
                }
                n += width;
            }
            run += width;
        }
        pos = run;
    }
    out[n] = '\0';
    return pos;
}

size_t skipLeadingTags(const Page &page, size_t pos, size_t end)
{
    const unsigned char *s = page.text;
    for (pos = skipBlanks(s, pos, end); pos < end && s[pos] == '<'; pos = skipBlanks(s, pos, end)) {
        size_t at = pos + 1;
        if (pos + 3 < end && std::memcmp(s + pos, "<!--", 4) == 0) {
            at = pos + 4;
            while (at < end && !(s[at] == '>' && s[at - 1] == '-' && s[at - 2] == '-')) {
                ++at;
            }
        } else {
            // A ">" inside a quoted attribute value doesn't close the tag.
            unsigned char quote = 0;
            for (; at < end && (quote != 0 || s[at] != '>'); ++at) {
                if (quote == 0 && (s[at] == '"' || s[at] == '\'')) {
                    quote = s[at];
                } else if (s[at] == quote) {
                    quote = 0;
                }
            }
        }
        pos = at < end ? at + 1 : end;
    }
    return pos;
}

size_t skipWord(const Page &page, size_t pos, size_t end)
{
    pos = skipSpace(page, pos, end);
    while (pos < end && skipSpace(page, pos, end) == pos) {
        ++pos;
    }
    return skipSpace(page, pos, end);
}

void completeUrl(char *url, const char *host)
{
    constexpr size_t most = kUrl.width - 1;
    const size_t length = std::strlen(url);
    if (length == 0 || (length >= 7 && std::memcmp(url + 4, "://", 3) == 0) ||
        std::strncmp(url, "https://", 8) == 0 || host[0] == '\0') {
        return;
    }
    char joined[2 * kUrl.width];
    size_t n = std::strlen(host);
    if (n > most) {
        n = most;
    }
    const char *rest = url;
    const char *scheme = std::strstr(host, "://");
    if (url[0] == '/' && url[1] == '/' && scheme) {
        // "//server/path" names another server: it takes only the host's scheme.
        n = static_cast<size_t>(scheme - host) + 1;
        if (n > most) {
            n = most;
        }
    } else if (url[0] == '/' && n > 0 && host[n - 1] == '/') {
        ++rest;
    }
    std::memcpy(joined, host, n);
    const size_t restLength = length - static_cast<size_t>(rest - url);
    std::memcpy(joined + n, rest, restLength);
    n += restLength;
    if (n > most) {
        n = most;
    }
    std::memcpy(url, joined, n);
    url[n] = '\0';
}

} // namespace tessel
