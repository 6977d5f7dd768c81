#include "catalogue.h"

#include "charset.h"
#include "tessel.h"
#include "textscan.h"
#include "usersites.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace tessel {

Catalogue &catalogue()
{
    static Catalogue instance;
    return instance;
}

const SiteRecord *site(int32_t index)
{
    Catalogue &c = catalogue();
    return index >= 0 && index < c.count ? &c.sites[index] : nullptr;
}

bool memoHas(int32_t index, const char *word)
{
    const SiteRecord *s = site(index);
    return s && std::strstr(s->field[kMemo], word) != nullptr;
}

namespace {

constexpr int kEndSite = -1;

struct Keyword {
    const char *word;
    int32_t length;
    int field; // the SiteField it sets, or kEndSite
};

// Compared in this order, and only as many bytes as the keyword has: "SITENAME x" sets the
// name to "NAME x". The catalogue files in use depend on both rules.
constexpr Keyword kKeywords[] = {
    {"SITE", 4, kName}, {"LANG", 4, kLang},       {"TYPE", 4, kType},
    {"SKEY", 4, kSkey}, {"ROOT", 4, kRoot},       {"MEMO", 4, kMemo},
    {"TEST", 4, kTest}, {"HOST", 4, kHost},       {"AND", 3, kAndList},
    {"OR", 2, kOrList}, {"SEARCH", 6, kScript},   {"ENDSITE", 7, kEndSite},
    {"FEED", 4, kFeed}, {"BLOCKED", 7, kBlocked}, {"NOHITS", 6, kNoHits},
};

class Parser {
public:
    explicit Parser(Catalogue &c) : c_(c), text_(c.text), length_(c.textLength) {}

    void run()
    {
        int32_t &pos = c_.position;
        pos = 0;
        while (c_.count < kMaxSites) {
            pos = skipBlanks(text_, length_, pos);
            if (pos >= length_)
                break;
            const Keyword *k = match(pos);
            if (!k) {
                skipLine();
                continue;
            }
            pos += k->length;
            if (k->field == kEndSite)
                ++c_.count;
            else if (k->field == kAndList || k->field == kOrList)
                readList(k->field);
            else if (k->field == kScript)
                readScript();
            else
                readLine(k->field);
        }
    }

private:
    bool startsWith(int32_t pos, const char *word, int32_t n) const
    {
        return pos + n <= length_ && std::memcmp(text_ + pos, word, n) == 0;
    }

    const Keyword *match(int32_t pos) const
    {
        for (const Keyword &k : kKeywords)
            if (startsWith(pos, k.word, k.length))
                return &k;
        return nullptr;
    }

    // Appends bytes and a NUL to the pool; nullptr when the pool can't hold them. Each
    // statement uses fewer pool bytes than file bytes, so an 80000-byte file always fits;
    // the check keeps that a guarantee rather than an argument.
    const char *pool(const char *bytes, int32_t n)
    {
        if (n < 0 || c_.poolUsed + n + 1 > kPoolSize)
            return nullptr;
        char *start = c_.pool + c_.poolUsed;
        std::memcpy(start, bytes, n);
        start[n] = '\0';
        c_.poolUsed += n + 1;
        return start;
    }

    void set(int field, const char *value) { c_.sites[c_.count].field[field] = value; }

    void skipLineEnd()
    {
        int32_t &pos = c_.position;
        if (pos < length_ && text_[pos] == '\r')
            ++pos;
        if (pos < length_ && text_[pos] == '\n')
            ++pos;
    }

    void skipLine()
    {
        int32_t &pos = c_.position;
        while (pos < length_ && text_[pos] != '\r' && text_[pos] != '\n')
            ++pos;
        skipLineEnd();
    }

    // The value runs from the first non-blank byte (line ends included, so a keyword alone
    // on its line takes the next line) to the end of that line; trailing blanks are kept.
    void readLine(int field)
    {
        int32_t &pos = c_.position;
        pos = skipBlanks(text_, length_, pos);
        int32_t start = pos;
        while (pos < length_ && text_[pos] != '\r' && text_[pos] != '\n')
            ++pos;
        const char *value = pos > start ? pool(text_ + start, pos - start) : nullptr;
        set(field, value ? value : c_.pool);
        skipLineEnd();
    }

    // Words go to the pool one after another; an empty word closes the list. A list that
    // doesn't fit whole is dropped rather than left without its closing empty word.
    void readWords(int field, bool (Parser::*more)(int32_t) const)
    {
        int32_t &pos = c_.position;
        int32_t listStart = c_.poolUsed;
        const char *first = nullptr;
        bool fits = true;
        pos = skipBlanks(text_, length_, pos);
        while (pos < length_ && (this->*more)(pos)) {
            int32_t end = wordEnd(text_, length_, pos);
            const char *word = pool(text_ + pos, end - pos);
            fits = fits && word;
            if (!first)
                first = word;
            pos = skipBlanks(text_, length_, end);
        }
        if (first && fits && pool("", 0)) {
            set(field, first);
            return;
        }
        c_.poolUsed = listStart;
        set(field, c_.pool);
    }

    // An AND or OR entry begins with a four-letter scheme ("http", "post") or "https":
    // the bytes at offsets 4..6 or 5..7 are "://". The first other word ends the list and
    // starts the next statement.
    bool isEntry(int32_t pos) const
    {
        return startsWith(pos + 4, "://", 3) || startsWith(pos, "https://", 8);
    }

    bool beforeEndSite(int32_t pos) const { return !startsWith(pos, "ENDSITE", 7); }

    void readList(int field) { readWords(field, &Parser::isEntry); }
    void readScript() { readWords(kScript, &Parser::beforeEndSite); }

    Catalogue &c_;
    const char *text_;
    int32_t length_;
};

void reset(Catalogue &c)
{
    c.count = 0;
    c.pool[0] = '\0';
    c.poolUsed = 1;
    for (SiteRecord &s : c.sites)
        for (const char *&f : s.field)
            f = c.pool;
    c.textLength = 0;
    c.position = 0;
    c.text[0] = '\0';
    std::memset(c.origin, TESSEL_SITE_SHIPPED, sizeof c.origin);
}

// Reads the whole file into the text buffer: its length, -1 when it can't be read, or
// kTextSize + 1 when it is longer than the buffer.
int32_t readSiteList(Catalogue &c)
{
    int fd = ::open("sitelist.dat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int32_t got = 0;
    char spill;
    while (true) {
        // One byte past the buffer's room is read into `spill` to tell "exactly full"
        // from "too long" without ever writing beyond the buffer.
        char *into = got < kTextSize ? c.text + got : &spill;
        size_t room = got < kTextSize ? static_cast<size_t>(kTextSize - got) : 1;
        ssize_t n = ::read(fd, into, room);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<int32_t>(n);
        if (got > kTextSize)
            break;
    }
    ::close(fd);
    return got;
}

void clearSite(Catalogue &c, int32_t index)
{
    for (const char *&f : c.sites[index].field)
        f = c.pool;
    c.origin[index] = TESSEL_SITE_SHIPPED;
}

// The user's sites (UTF-8 text in the catalogue language, not complemented) come after the
// shipped ones; one named like a shipped site takes that site's place and index, so topics
// and settings that name it keep working. A file that can't be read adds nothing.
void overlayUserSites(Catalogue &c)
{
    const std::string path = userCataloguePath();
    std::string bytes;
    if (path.empty() || !readUserFile(path, bytes))
        return;
    c.textLength = static_cast<int32_t>(utf8ToCp932(bytes.data(), bytes.size(), c.text, kTextSize));
    c.text[c.textLength] = '\0';
    const int32_t shipped = c.count;
    if (shipped < kMaxSites)
        clearSite(c, shipped); // an unfinished last shipped site leaves fields behind
    Parser(c).run();
    for (int32_t i = shipped; i < c.count;) {
        int32_t same = 0;
        while (same < shipped && std::strcmp(c.sites[same].field[kName], c.sites[i].field[kName]))
            ++same;
        if (same == shipped) {
            c.origin[i++] = TESSEL_SITE_USER;
            continue;
        }
        c.sites[same] = c.sites[i];
        c.origin[same] = TESSEL_SITE_REPLACED;
        std::memmove(&c.sites[i], &c.sites[i + 1], sizeof(SiteRecord) * (c.count - i - 1));
        std::memmove(&c.origin[i], &c.origin[i + 1], c.count - i - 1);
        clearSite(c, --c.count);
    }
}

} // namespace

int32_t countSites(const char *text, int32_t length, std::string *name)
{
    auto scratch = std::make_unique<Catalogue>();
    reset(*scratch);
    scratch->textLength = std::min(length, kTextSize);
    std::memcpy(scratch->text, text, scratch->textLength);
    scratch->text[scratch->textLength] = '\0';
    Parser(*scratch).run();
    if (name)
        *name = scratch->sites[0].field[kName];
    return scratch->count;
}

} // namespace tessel

using namespace tessel;

extern "C" int32_t LoadSite(void)
{
    Catalogue &c = catalogue();
    reset(c);
    // A directory too long for the field is recorded as empty, never cut: a cut path
    // would name some other directory.
    if (!::getcwd(c.startDir, sizeof c.startDir))
        c.startDir[0] = '\0';

    int32_t got = readSiteList(c);
    if (got < 0)
        return TESSEL_E_NO_SITELIST;
    if (got == 0)
        return TESSEL_E_EMPTY_SITELIST;
    if (got > kTextSize) {
        c.text[0] = '\0';
        return TESSEL_E_SITELIST_TOO_BIG;
    }
    c.textLength = got;
    c.text[got] = '\0';
    for (int32_t i = 0; i < got; ++i)
        c.text[i] = static_cast<char>(~static_cast<unsigned char>(c.text[i]));
    Parser(c).run();
    overlayUserSites(c);
    return c.count;
}

extern "C" int32_t SiteOrigin(int32_t index)
{
    return site(index) ? int32_t{catalogue().origin[index]} : int32_t{TESSEL_E_NO_SITE};
}

namespace {

struct HeaderField {
    int field, offset, width;
};
constexpr HeaderField kHeader[] = {
    {kName, 0, 256},    {kLang, 256, 256},   {kType, 512, 256},
    {kSkey, 768, 1024}, {kRoot, 1792, 1024}, {kMemo, 2816, 256},
};

} // namespace

extern "C" int32_t SiteHeader(char *record, int32_t index)
{
    const SiteRecord *s = site(index);
    for (const HeaderField &h : kHeader)
        copyField(record + h.offset, h.width, s ? s->field[h.field] : "");
    return s ? 0 : TESSEL_E_NO_SITE;
}

extern "C" int32_t SiteTest(char *text, int32_t index)
{
    const SiteRecord *s = site(index);
    copyField(text, TESSEL_SITE_TEST_SIZE, s ? s->field[kTest] : "");
    return s ? 0 : TESSEL_E_NO_SITE;
}
