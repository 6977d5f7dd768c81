// iForm: the request text for one page of one site, built from the site's request templates.
#include "catalogue.h"
#include "charset.h"
#include "cp932.h"
#include "tessel.h"

#include <cstring>
#include <string>
#include <string_view>

namespace tessel {
namespace {

constexpr int kMaxWords = 10;
constexpr int kFieldSize = 256; // escaped word, prefix, joiner, suffix: 255 bytes and a NUL

// Text assembled into a fixed array. Appending past the room sets `ok` to false and writes
// nothing, so every caller can build first and check once.
template <int Size> struct Bounded {
    char text[Size];
    int length = 0;
    bool ok = true;

    Bounded() { text[0] = '\0'; }

    void add(const char *bytes, size_t n)
    {
        if (!ok || n > static_cast<size_t>(Size - 1 - length)) {
            ok = false;
            return;
        }
        std::memcpy(text + length, bytes, n);
        length += static_cast<int>(n);
        text[length] = '\0';
    }
    void add(std::string_view s) { add(s.data(), s.size()); }
    void add(const char *from, const char *to) { add(from, static_cast<size_t>(to - from)); }
};

using Field = Bounded<kFieldSize>;
using Request = Bounded<TESSEL_REQUEST_SIZE>;

// What a query value may carry as it is: RFC 3986's unreserved bytes (letters, digits,
// "-", ".", "_", "~"). Everything else goes as "%XX", ASCII punctuation included: a site
// reads a bare "&", "=", "+", "#" or "%" in a keyword as the query's own syntax, so "C++"
// would arrive as "C  " and "AT&T" as a stray parameter.
bool unreserved(unsigned char b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
           b == '.' || b == '_' || b == '~';
}

void escapeBytes(std::string_view bytes, Field &out)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        const char hex[3] = {'%', kDigits[b >> 4], kDigits[b & 0xF]};
        if (unreserved(b))
            out.add(&c, 1);
        else
            out.add(hex, 3);
    }
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// True when CP932 has a code for the character: the library's page conversion writes it as
// that code rather than as a reference.
bool cp932Holds(char32_t c)
{
    std::string utf8;
    appendUtf8(utf8, c);
    char cp932[16];
    size_t n = utf8ToCp932(utf8.data(), utf8.size(), cp932, sizeof cp932);
    return !(n >= 2 && cp932[0] == '&' && cp932[1] == '#');
}

// A decimal reference "&#N;" at the text's start to a character CP932 lacks, or to "&"
// itself: its length, and the character in c; 0 for anything else.
size_t referenceAt(std::string_view text, char32_t &c)
{
    if (text.size() < 4 || text[0] != '&' || text[1] != '#')
        return 0;
    char32_t value = 0;
    size_t at = 2;
    for (; at < text.size() && at < 10 && text[at] >= '0' && text[at] <= '9'; ++at)
        value = value * 10 + static_cast<char32_t>(text[at] - '0');
    if (at == 2 || at >= text.size() || text[at] != ';')
        return 0;
    bool lacking = value >= 0x80 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF) &&
                   !cp932Holds(value);
    if (!lacking && value != '&')
        return 0;
    c = value;
    return at + 1;
}

// A word for a site marked UTF8 in its memo, which reads its queries as UTF-8. The word comes
// in CP932 like every text; a character CP932 lacks comes as the reference "&#N;" that the
// library writes for it on pages, and is sent as the character itself. A caller that must
// keep a typed "&#128512;" apart from one writes its "&" as "&#38;". Any other reference is
// text and goes as it stands.
std::string utf8Word(std::string_view cp932)
{
    std::string text = utf8FromCp932(cp932);
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        if (size_t length = referenceAt(std::string_view(text).substr(i), c)) {
            appendUtf8(out, c);
            i += length;
        } else {
            out += text[i++];
        }
    }
    return out;
}

struct Words {
    Field word[kMaxWords];
    int count = 0;
};

// Splits the keyword text into at most ten escaped words. The text ends at its first
// control byte; blanks and ideographic spaces (81 40) separate words, wherever they stand:
// an input method types the ideographic one. The text is walked a character at a time, as
// capture and matching cut it, so the second byte of a character is never read as the start
// of a space. Each word is escaped here and nowhere
// else: the caller passes the words as typed. False when a word doesn't fit its field.
bool splitWords(const char *keywords, bool utf8, Words &words)
{
    const auto *t = reinterpret_cast<const unsigned char *>(keywords ? keywords : "");
    int end = 0;
    while (t[end] >= 0x20)
        ++end;
    auto spaceAt = [&](int at) {
        return t[at] <= 0x20 || (t[at] == 0x81 && at + 1 < end && t[at + 1] == 0x40);
    };
    // Half-width katakana is one byte: the ideographic space after one is still a space.
    auto next = [&](int at) {
        return at + static_cast<int>(characterWidth(t, static_cast<size_t>(at),
                                                    static_cast<size_t>(end), false));
    };
    int pos = 0;
    while (pos < end && words.count < kMaxWords) {
        if (spaceAt(pos)) {
            pos = next(pos);
            continue;
        }
        int start = pos;
        while (pos < end && !spaceAt(pos))
            pos = next(pos);
        Field &f = words.word[words.count++];
        std::string_view word(reinterpret_cast<const char *>(t + start), pos - start);
        if (utf8)
            escapeBytes(utf8Word(word), f);
        else
            escapeBytes(word, f);
        if (!f.ok)
            return false;
    }
    return true;
}

// A number after "_NUM_": an optional '-' and digits, at most 16 characters in all, at
// least one digit.
bool readNumber(const char *&p, long long &value)
{
    const char *start = p;
    bool negative = *p == '-';
    if (negative)
        ++p;
    long long v = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9' && p - start < 16) {
        v = v * 10 + (*p - '0');
        ++p;
        ++digits;
    }
    value = negative ? -v : v;
    return digits > 0;
}

void addDecimal(Request &out, __int128 v)
{
    char digits[48];
    int n = 0;
    bool negative = v < 0;
    unsigned __int128 u = negative ? -static_cast<unsigned __int128>(v) : v;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(u % 10));
        u /= 10;
    } while (u != 0);
    if (negative)
        out.add("-", 1);
    while (n > 0)
        out.add(&digits[--n], 1);
}

// "_NUM_X,Y" becomes Y * page + X; the marker and all after it up to the next '&' go.
int32_t substituteNumber(const char *entry, int32_t page, Request &out)
{
    const char *marker = std::strstr(entry, "_NUM_");
    if (!marker) {
        out.add(entry, std::strlen(entry));
        return out.ok ? 0 : TESSEL_E_REQUEST_TOO_LONG;
    }
    const char *p = marker + 5;
    long long x = 0, y = 0;
    if (!readNumber(p, x) || *p == '\0')
        return TESSEL_E_BAD_NUM;
    ++p; // the separator, whatever it is
    if (!readNumber(p, y))
        return TESSEL_E_BAD_NUM;
    const char *rest = std::strchr(marker, '&');
    if (!rest)
        rest = marker + std::strlen(marker);
    out.add(entry, marker);
    addDecimal(out, static_cast<__int128>(y) * page + x);
    out.add(rest, std::strlen(rest));
    return out.ok ? 0 : TESSEL_E_REQUEST_TOO_LONG;
}

// The parameter holding "_WORD1_" (and "_WORD2_") gets the words: prefix, the words with
// the joiner between them, suffix. Without an '=' before the marker the whole entry before
// it is kept as it stands and the prefix is empty.
int32_t substituteWords(const char *entry, const Words &words, Request &out)
{
    const char *w1 = std::strstr(entry, "_WORD1_");
    if (!w1) {
        out.add(entry, std::strlen(entry));
        return out.ok ? 0 : TESSEL_E_REQUEST_TOO_LONG;
    }
    const char *head = w1;
    while (head > entry && head[-1] != '=')
        --head;
    if (head == entry)
        head = w1;
    const char *afterW1 = w1 + 7;
    const char *w2 = std::strstr(afterW1, "_WORD2_");
    const char *last = w2 ? w2 + 7 : afterW1;
    const char *amp = std::strchr(last, '&');
    if (!amp)
        amp = last + std::strlen(last);

    Field prefix, joiner, suffix;
    prefix.add(head, w1);
    if (w2)
        joiner.add(afterW1, w2);
    suffix.add(last, amp);
    if (!prefix.ok || !joiner.ok || !suffix.ok)
        return TESSEL_E_REQUEST_TOO_LONG;

    Request value;
    value.add(prefix.text, prefix.length);
    for (int i = 0; i < words.count; ++i) {
        if (i > 0)
            value.add(joiner.text, joiner.length);
        value.add(words.word[i].text, words.word[i].length);
    }
    value.add(suffix.text, suffix.length);
    out.add(entry, head);
    out.add(value.text, value.length);
    out.add(amp, std::strlen(amp));
    return value.ok && out.ok ? 0 : TESSEL_E_REQUEST_TOO_LONG;
}

// The list for this mode and word count, or nullptr when the memo allows none.
const char *chooseList(int32_t index, int32_t mode, int wordCount)
{
    const SiteRecord *s = site(index);
    if (!s)
        return nullptr;
    bool andList = memoHas(index, "AND");
    bool orList = memoHas(index, "OR");
    if (mode == 1) {
        if (orList)
            return s->field[kOrList];
        return andList ? s->field[kAndList] : nullptr;
    }
    if (andList || (wordCount == 1 && memoHas(index, "MONO")))
        return s->field[kAndList];
    return nullptr;
}

} // namespace
} // namespace tessel

using namespace tessel;

extern "C" int32_t iForm(int32_t index, int32_t mode, int32_t page, const char *keywords,
                         char *request)
{
    Words words;
    if (!splitWords(keywords, memoHas(index, "UTF8"), words))
        return TESSEL_E_REQUEST_TOO_LONG;
    if (words.count == 0)
        return TESSEL_E_NO_KEYWORD;
    if (words.count > 1 && !memoHas(index, "AND") && !memoHas(index, "OR"))
        return TESSEL_E_ONE_WORD_SITE;
    const char *list = chooseList(index, mode, words.count);
    if (!list)
        return TESSEL_E_NO_LIST;

    // Entries e0 .. en-1: pages below n-1 take their own entry as it stands; every later
    // page takes the last entry with its page number worked in. A negative page is page 0.
    int32_t n = 0;
    for (const char *e = list; *e; e += std::strlen(e) + 1)
        ++n;
    if (n == 0) {
        request[0] = '\0';
        return 0;
    }
    if (page < 0)
        page = 0;
    const char *entry = list;
    for (int32_t i = 0; i < page && i < n - 1; ++i)
        entry += std::strlen(entry) + 1;

    Request staged, built;
    int32_t rc;
    if (page < n - 1) {
        staged.add(entry, std::strlen(entry));
        rc = staged.ok ? 0 : TESSEL_E_REQUEST_TOO_LONG;
    } else {
        rc = substituteNumber(entry, page, staged);
    }
    if (rc == 0)
        rc = substituteWords(staged.text, words, built);
    if (rc != 0)
        return rc;
    std::memcpy(request, built.text, built.length + 1);
    return 0;
}
