#include "capture.h"

#include "charset.h"

#include <cstring>

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

size_t skipSpace(const Page &page, size_t pos, size_t end)
{
    const unsigned char *s = page.text;
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

size_t captureText(const Page &page, size_t pos, size_t end, char *out, size_t most)
{
    const unsigned char *s = page.text;
    size_t n = 0;
    bool blank = false;
    pos = skipSpace(page, pos, end);
    while (pos < end) {
        unsigned char c = s[pos];
        if (c == '<') {
            if (!inlineTag(s + pos, page.size - pos)) {
                break;
            }
            const void *gt = std::memchr(s + pos, '>', end - pos);
            pos = gt ? static_cast<size_t>(static_cast<const unsigned char *>(gt) - s) + 1 : end;
            continue;
        }
        if (c <= 0x20) {
            blank = true;
            pos = skipSpace(page, pos, end);
            continue;
        }
        // A blank is written only between two pieces of text: none at the start, even after
        // a stepped-over tag, and none at the end.
        if (blank && n > 0) {
            if (n < most) {
                out[n++] = ' ';
            }
        }
        blank = false;
        if (c <= 0x80) {
            if (n < most) {
                out[n++] = static_cast<char>(c);
            }
            ++pos;
            continue;
        }
        // A two-byte character is kept whole or not at all.
        if (pos + 1 >= page.size) {
            pos = page.size;
            break;
        }
        unsigned char d = s[pos + 1];
        if (n + 2 <= most) {
            if (page.euc) {
                eucToSjis(c, d);
            }
            out[n++] = static_cast<char>(c);
            out[n++] = static_cast<char>(d);
        }
        pos += 2;
    }
    out[n] = '\0';
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
