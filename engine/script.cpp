#include "script.h"

#include "capture.h"
#include "charset.h"
#include "cp932.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessel {

namespace {

enum TokenKind : uint8_t { kText, kIf, kThen, kEndif, kLoop, kEndloop, kSkipto, kUntill, kEof };

inline bool isLetter(unsigned char c)
{
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// A byte of a tag or attribute name.
bool nameByte(unsigned char c)
{
    return isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':';
}

constexpr size_t kNone = SIZE_MAX;

// What a run has learnt of one search text's matches. Matches at or after `from` and below
// `walk` are known: the first of them is `at` (kNone: there is none), covering up to `atEnd`.
// A loop runs the same searches pass after pass, over stretches of the page an earlier pass
// has read already (an UNTILL to a marker that isn't there, the first of two alternatives
// while the second is found); answering from here keeps a whole run linear in the page.
struct Memo {
    bool used = false;
    size_t from = 0, at = kNone, atEnd = 0, walk = 0;
};

// A search text prepared once per run: two byte positions that filter start candidates, and
// what the run has learnt of its matches.
struct Needle {
    const unsigned char *text = nullptr;
    size_t length = 0;   // bytes of the text, and of the page a match covers
    bool wide = false;   // holds a byte of 0x80 or above: matched character by character
    bool filter = false; // the filter below may be used
    size_t at0 = 0, at1 = 0;
    unsigned char or0 = 0, or1 = 0, want0 = 0, want1 = 0;
    // "<name.class": text is "<name"; a match must be that start tag carrying the class, and
    // it covers the whole tag.
    const unsigned char *cls = nullptr;
    size_t clsLength = 0;
    Memo memo;
};

// A word with "|" inside is a set of alternatives; a search finds the earliest of them.
constexpr int kMaxAlternatives = 4;

struct Token {
    TokenKind kind = kText;
    FieldKind field = kNotField;
    bool leadingTags = false; // a field word ending in "*": tags before its text are skipped
    int alternatives = 1;
    Needle needle[kMaxAlternatives];
};

// Where a search text was found: its start and the end of what it covers.
struct Match {
    size_t start, end;
};

struct Run {
    Run(const Page &p, ScriptOutput &o) : page(p), out(o) {}
    // Counts page bytes passed over (ScriptOutput::read).
    void passed(size_t from, size_t to) { out.read += to > from ? to - from : 0; }
    const Page &page;
    ScriptOutput &out;
    Token tokens[kMaxTokens + 1]; // one more: an empty word past the script's end
    int count = 0;
    size_t pos = 0;
    char scratch[kResultSize]; // the current record once the store is full
};

TokenKind keyword(const char *w, size_t n)
{
    auto is = [&](const char *k) { return std::strlen(k) == n && std::memcmp(w, k, n) == 0; };
    if (is("IF")) {
        return kIf;
    }
    if (is("THEN")) {
        return kThen;
    }
    if (is("ENDIF")) {
        return kEndif;
    }
    if (is("LOOP")) {
        return kLoop;
    }
    if (is("ENDLOOP")) {
        return kEndloop;
    }
    if (is("SKIPTO")) {
        return kSkipto;
    }
    if (is("UNTILL")) {
        return kUntill;
    }
    if (is("EOF")) {
        return kEof;
    }
    return kText;
}

void prepare(Needle &nd, const char *word, size_t n, bool euc)
{
    nd.text = reinterpret_cast<const unsigned char *>(word);
    nd.length = n;
    nd.wide = false;
    nd.filter = false;
    nd.memo = Memo{};
    // Walk the text as the matcher does, one Shift_JIS character at a time.
    size_t firstSingle = n, lastSingle = n;
    for (size_t i = 0; i < n;) {
        const size_t width = characterWidth(nd.text, i, n, false);
        nd.wide = nd.wide || nd.text[i] >= 0x80;
        if (width == 1) {
            if (firstSingle == n) {
                firstSingle = i;
            }
            lastSingle = i;
        }
        i += width;
    }
    if (n == 0) {
        return;
    }
    // On an EUC site a two-byte character's page bytes differ from the text's, so only its
    // one-byte characters can filter; elsewhere the first and last bytes do.
    if (euc && nd.wide) {
        if (firstSingle == n) {
            return;
        }
        nd.at0 = firstSingle;
        nd.at1 = lastSingle;
    } else {
        nd.at0 = 0;
        nd.at1 = n - 1;
    }
    nd.filter = true;
    const unsigned char c0 = nd.text[nd.at0], c1 = nd.text[nd.at1];
    nd.or0 = isLetter(c0) ? 0x20 : 0;
    nd.or1 = isLetter(c1) ? 0x20 : 0;
    nd.want0 = c0 | nd.or0;
    nd.want1 = c1 | nd.or1;
}

// "<name.class": a tag name of letters, digits and "-", a dot, and a class of bytes that
// can stand in a class attribute. Anything else is a plain text.
bool prepareTagClass(Needle &nd, const char *word, size_t n, bool euc)
{
    size_t dot = 1;
    while (dot < n && nameByte(static_cast<unsigned char>(word[dot])) && word[dot] != ':') {
        ++dot;
    }
    if (n < 4 || word[0] != '<' || dot == 1 || dot + 1 >= n || word[dot] != '.' ||
        !isLetter(static_cast<unsigned char>(word[1]))) {
        return false;
    }
    for (size_t i = dot + 1; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c < 0x21 || c >= 0x80 || c == '<' || c == '>' || c == '"' || c == '\'' || c == '=' ||
            c == '.') {
            return false;
        }
    }
    prepare(nd, word, dot, euc);
    nd.cls = reinterpret_cast<const unsigned char *>(word + dot + 1);
    nd.clsLength = n - dot - 1;
    return true;
}

// Prepares a word as a search text: its alternatives, parts between "|", each a plain text
// or "<name.class". A word whose parts would be empty, or that has more than
// kMaxAlternatives of them, is one plain text. Every word is prepared, a field word too: it
// is searched for where it stands after SKIPTO, UNTILL or IF.
void prepareWord(Token &t, const char *word, size_t n, bool euc)
{
    size_t cuts[kMaxAlternatives + 1];
    int parts = 0;
    bool split = true;
    size_t from = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i < n && word[i] != '|') {
            continue;
        }
        if (i == from || parts == kMaxAlternatives) {
            split = false;
            break;
        }
        cuts[parts++] = from;
        from = i + 1;
    }
    if (!split) {
        parts = 1;
        cuts[0] = 0;
    }
    t.alternatives = parts;
    for (int a = 0; a < parts; ++a) {
        Needle &nd = t.needle[a];
        const size_t start = cuts[a];
        const size_t end = split && a + 1 < parts ? cuts[a + 1] - 1 : n;
        nd.cls = nullptr;
        nd.clsLength = 0;
        if (!prepareTagClass(nd, word + start, end - start, euc)) {
            prepare(nd, word + start, end - start, euc);
        }
    }
}

// Page byte a against text byte b: ASCII letters of the text match either case.
inline bool sameByte(unsigned char a, unsigned char b)
{
    return a == b || (isLetter(b) && (a | 0x20) == (b | 0x20));
}

// Does the needle match at page position i? i + length is within the page.
inline bool matchAt(const Page &page, size_t i, const Needle &nd)
{
    const unsigned char *p = page.text + i;
    const unsigned char *t = nd.text;
    const size_t n = nd.length;
    if (!nd.wide) {
        for (size_t k = 0; k < n; ++k) {
            if (!sameByte(p[k], t[k])) {
                return false;
            }
        }
        return true;
    }
    // Character by character, each side cut as capture cuts it (the text is Shift_JIS, the
    // page in its site's encoding): a pair matches only a pair, a one-byte character only a
    // one-byte character.
    for (size_t k = 0; k < n;) {
        const unsigned char b = t[k];
        if (b < 0x80) {
            if (!sameByte(p[k], b)) {
                return false;
            }
            ++k;
            continue;
        }
        const size_t width = characterWidth(t, k, n, false);
        if (characterWidth(page.text, i + k, page.size, page.euc) != width) {
            return false;
        }
        if (width == 1) {
            if (p[k] != b) {
                return false;
            }
            ++k;
            continue;
        }
        unsigned char a0 = p[k], a1 = p[k + 1];
        if (page.euc) {
            eucToSjis(a0, a1);
        }
        if (a0 != b || a1 != t[k + 1]) {
            return false;
        }
        k += 2;
    }
    return true;
}

// The first start at or after pos and below bound where the needle matches, or bound.
size_t find(const Page &page, size_t pos, size_t bound, const Needle &nd)
{
    if (nd.length == 0) {
        return pos < bound ? pos : bound;
    }
    if (nd.length > page.size) {
        return bound;
    }
    // A match may run past the bound but never past the page.
    if (bound == 0) {
        return bound;
    }
    size_t last = page.size - nd.length; // last start that fits the page
    if (bound <= last) {
        last = bound - 1;
    }
    if (pos > last) {
        return bound;
    }
    size_t i = pos;
    if (nd.filter) {
#if defined(__SSE2__)
        const __m128i or0 = _mm_set1_epi8(static_cast<char>(nd.or0));
        const __m128i or1 = _mm_set1_epi8(static_cast<char>(nd.or1));
        const __m128i want0 = _mm_set1_epi8(static_cast<char>(nd.want0));
        const __m128i want1 = _mm_set1_epi8(static_cast<char>(nd.want1));
        const unsigned char *s = page.text;
        // Sixteen starts at a time: both filter bytes must fit, so stop 16 short of the end.
        while (i + 16 <= last + 1 && i + nd.at1 + 16 <= page.size) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + nd.at0));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + nd.at1));
            const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, or0), want0),
                                              _mm_cmpeq_epi8(_mm_or_si128(b, or1), want1));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
            while (mask != 0) {
                const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
                if (matchAt(page, at, nd)) {
                    return at;
                }
                mask &= mask - 1;
            }
            i += 16;
        }
#endif
        for (; i <= last; ++i) {
            if ((page.text[i + nd.at0] | nd.or0) == nd.want0 &&
                (page.text[i + nd.at1] | nd.or1) == nd.want1 && matchAt(page, i, nd)) {
                return i;
            }
        }
        return bound;
    }
    for (; i <= last; ++i) {
        if (matchAt(page, i, nd)) {
            return i;
        }
    }
    return bound;
}

// Is the start tag at i (its "<name" already matched) one whose class attribute holds the
// needle's class among its blank-separated words? tagEnd receives the position after its ">",
// or where the reading stopped: after the name when it is a longer one, the page's end when
// no ">" closes the tag.
bool tagHasClass(const Page &page, size_t i, const Needle &nd, size_t &tagEnd)
{
    const unsigned char *s = page.text;
    const size_t n = page.size;
    size_t p = i + nd.length;
    if (p < n && nameByte(s[p])) {
        tagEnd = p;
        return false; // a longer tag name
    }
    bool found = false;
    while (p < n && s[p] != '>') {
        if (s[p] <= 0x20 || s[p] == '/') {
            ++p;
            continue;
        }
        const size_t name = p;
        while (p < n && s[p] > 0x20 && s[p] != '=' && s[p] != '>' && s[p] != '/') {
            ++p;
        }
        const bool isClass = p - name == 5 && (s[name] | 0x20) == 'c' &&
                             (s[name + 1] | 0x20) == 'l' && (s[name + 2] | 0x20) == 'a' &&
                             (s[name + 3] | 0x20) == 's' && (s[name + 4] | 0x20) == 's';
        while (p < n && s[p] <= 0x20) {
            ++p;
        }
        if (p >= n || s[p] != '=') {
            continue; // an attribute without a value
        }
        ++p;
        while (p < n && s[p] <= 0x20) {
            ++p;
        }
        size_t valueEnd = p;
        if (p < n && (s[p] == '"' || s[p] == '\'')) {
            const unsigned char quote = s[p++];
            valueEnd = p;
            while (valueEnd < n && s[valueEnd] != quote) {
                ++valueEnd;
            }
        } else {
            while (valueEnd < n && s[valueEnd] > 0x20 && s[valueEnd] != '>') {
                ++valueEnd;
            }
        }
        if (isClass && !found) {
            for (size_t w = p; w < valueEnd;) {
                while (w < valueEnd && s[w] <= 0x20) {
                    ++w;
                }
                size_t e = w;
                while (e < valueEnd && s[e] > 0x20) {
                    ++e;
                }
                if (e - w == nd.clsLength && e > w) {
                    size_t k = 0;
                    while (k < nd.clsLength &&
                           (s[w + k] == nd.cls[k] ||
                            (isLetter(nd.cls[k]) && (s[w + k] | 0x20) == (nd.cls[k] | 0x20)))) {
                        ++k;
                    }
                    found = found || k == nd.clsLength;
                }
                w = e;
            }
        }
        p = valueEnd < n && (s[valueEnd] == '"' || s[valueEnd] == '\'') ? valueEnd + 1 : valueEnd;
    }
    tagEnd = p < n ? p + 1 : n;
    return p < n && found;
}

// The first match of the needle that starts at or after pos and below bound, or bound; its
// end is then in nd.memo.atEnd.
//
// A "<name.class" search takes the page's "<name" tags in order from the page's start, each
// read once, up to its ">": a "<name" inside one of an earlier one's attribute values is part
// of that tag, not a tag. So no byte is read twice however many tags fail to match, and the
// answer does not depend on where the search starts.
size_t search(Run &r, size_t pos, size_t bound, Needle &nd)
{
    if (pos >= bound) {
        return bound;
    }
    if (nd.length == 0) {
        return pos;
    }
    Memo &m = nd.memo;
    if (!m.used || pos < m.from) {
        m = Memo{true, pos, kNone, 0, nd.cls ? 0 : pos};
    }
    if (m.at != kNone) {
        if (pos <= m.at) {
            return m.at < bound ? m.at : bound;
        }
        m.at = kNone; // no other match starts below walk
        m.from = pos;
    }
    if (m.walk <= pos) {
        m.from = pos;
        if (nd.cls == nullptr) {
            m.walk = pos;
        }
    }
    if (m.walk >= bound) {
        return bound;
    }
    for (;;) {
        const size_t at = find(r.page, m.walk, bound, nd);
        r.passed(m.walk, at);
        if (at >= bound) {
            m.walk = std::max(m.walk, bound); // a tag read may have passed the bound
            return bound;
        }
        if (nd.cls == nullptr) {
            m.at = at;
            m.atEnd = at + nd.length;
            m.walk = at + 1;
            return at;
        }
        size_t tagEnd = 0;
        const bool has = tagHasClass(r.page, at, nd, tagEnd);
        r.passed(at, tagEnd);
        m.walk = tagEnd;
        if (has && at >= pos) {
            m.at = at;
            m.atEnd = tagEnd;
            return at;
        }
    }
}

// The first match of any of the token's alternatives that starts at or after pos and below
// bound (the earliest start wins, then the first listed); {bound, bound} when there is none.
Match find(Run &r, size_t pos, size_t bound, Token &t)
{
    Match best{bound, bound};
    for (int a = 0; a < t.alternatives; ++a) {
        Needle &nd = t.needle[a];
        const size_t at = search(r, pos, best.start, nd);
        if (at < best.start) {
            best = {at, nd.length == 0 ? at : nd.memo.atEnd};
        }
    }
    return best;
}

char *currentRecord(Run &r)
{
    return r.out.count < kMaxResults ? r.out.records[r.out.count] : r.scratch;
}

// The first token of kind at an index above from, or -1.
int findToken(const Run &r, int from, TokenKind kind)
{
    for (int j = from + 1; j < r.count; ++j) {
        if (r.tokens[j].kind == kind) {
            return j;
        }
    }
    return -1;
}

int32_t runBlock(Run &r, int first, int end, size_t limit);

// LOOP at index at: passes while the position is below the limit; then the position goes to
// the limit. next receives the index after ENDLOOP.
int32_t runLoop(Run &r, int at, size_t limit, int &next)
{
    const int stop = findToken(r, at, kEndloop);
    if (stop < 0) {
        return kNoEndloop;
    }
    while (r.pos < limit && r.out.count < kMaxResults) {
        if (const int32_t error = runBlock(r, at + 1, stop, limit)) {
            return error;
        }
        // A loop inside this one may have filled the store already.
        if (r.out.count < kMaxResults) {
            ++r.out.count;
        }
        if (r.out.count >= r.out.cap || r.out.count >= kMaxResults) {
            break;
        }
    }
    r.pos = limit;
    next = stop + 1;
    return 0;
}

void runField(Run &r, int at, size_t limit)
{
    const Token &field = r.tokens[at];
    Token &term = r.tokens[at + 1]; // the empty word past the script's end, at worst
    size_t end = limit;
    if (term.field == kNotField) {
        end = find(r, r.pos, limit, term).start;
    }
    const size_t start = r.pos;
    size_t from = start;
    if (field.leadingTags) {
        from = skipLeadingTags(r.page, from, end);
    }
    if (field.field == kTokenField) {
        r.pos = skipWord(r.page, from, end);
        r.passed(start, r.pos);
        return;
    }
    const ResultField f = fieldOf(field.field);
    char *text = currentRecord(r) + f.offset;
    r.pos = captureText(r.page, from, end, text, static_cast<size_t>(f.width - 1));
    r.passed(start, r.pos);
    if (field.field == kUrlField) {
        completeUrl(text, r.page.host);
    }
}

int32_t runBlock(Run &r, int first, int end, size_t limit)
{
    int i = first;
    while (i < end && r.pos < limit) {
        Token &t = r.tokens[i];
        switch (t.kind) {
        case kIf: {
            const TokenKind how = i + 2 < r.count ? r.tokens[i + 2].kind : kText;
            if (how == kThen) {
                const int endif = findToken(r, i + 2, kEndif);
                if (endif < 0) {
                    return kNoEndif;
                }
                const Match m = find(r, r.pos, limit, r.tokens[i + 1]);
                if (m.start >= limit) {
                    r.pos = limit;
                } else {
                    r.pos = m.end;
                    if (const int32_t error = runBlock(r, i + 3, endif, limit)) {
                        return error;
                    }
                }
                i = endif + 1;
            } else if (how == kLoop) {
                if (const int32_t error = runLoop(r, i + 2, limit, i)) {
                    return error;
                }
            } else {
                return kBadIf;
            }
            break;
        }
        case kLoop:
            if (const int32_t error = runLoop(r, i, limit, i)) {
                return error;
            }
            break;
        case kSkipto:
            r.pos = find(r, r.pos, limit, r.tokens[i + 1]).start;
            i += 2;
            break;
        case kUntill:
            if (r.tokens[i + 1].kind == kEof && i + 1 < r.count) {
                limit = r.page.size;
            } else {
                limit = find(r, r.pos, r.page.size, r.tokens[i + 1]).start;
            }
            i += 2;
            break;
        default:
            if (t.field != kNotField) {
                runField(r, i, limit);
            } else {
                const Match m = find(r, r.pos, limit, t);
                r.pos = m.start < limit ? m.end : limit;
            }
            i += 1;
            break;
        }
    }
    return 0;
}

} // namespace

int32_t runScript(const char *script, const Page &page, ScriptOutput &out)
{
    out.read = 0;
    Run r(page, out);
    for (const char *w = script; *w != '\0';) {
        const size_t n = std::strlen(w);
        if (r.count == kMaxTokens) {
            return kTooManyTokens;
        }
        Token &t = r.tokens[r.count++];
        t.kind = keyword(w, n);
        t.field = t.kind == kText ? fieldKind(w, n) : kNotField;
        t.leadingTags = t.field != kNotField && w[n - 1] == '*';
        prepareWord(t, w, n, page.euc);
        w += n + 1;
    }
    // The word after the last one is empty: as a terminator it ends a field where it starts.
    prepareWord(r.tokens[r.count], "", 0, page.euc);
    if (r.count == 0) {
        return 0;
    }
    r.pos = 0;
    return runBlock(r, 0, r.count, page.size);
}

} // namespace tessel
