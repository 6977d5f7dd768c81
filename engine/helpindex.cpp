// InitHelp and GetHelp: the help index "idxhelp.dat", read through the catalogue's text
// buffer and read position.
#include "catalogue.h"
#include "tessel.h"
#include "textscan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace tessel {
namespace {

constexpr int kHelpLevels = 5;
constexpr int kHelpTextSize = 256; // title and page buffers: 255 bytes and a NUL

// The word at the read position, ended in the buffer with a NUL; the position moves past
// the blanks after it. An exhausted text gives the empty word.
const char *nextWord()
{
    Catalogue &c = catalogue();
    // The buffer and position are shared with the catalogue loader and the script
    // interpreter: never trust them to be in range.
    int32_t length = c.textLength < 0 ? 0 : c.textLength > kTextSize ? kTextSize : c.textLength;
    int32_t pos = c.position < 0 ? 0 : c.position;
    if (pos >= length) {
        c.position = length;
        return "";
    }
    int32_t end = wordEnd(c.text, length, pos);
    c.text[end] = '\0'; // a blank byte, or the spare byte after the text
    c.position = skipBlanks(c.text, length, end);
    return c.text + pos;
}

// Leading decimal digits with an optional sign, as atoi reads them, but held to the
// 32-bit range instead of overflowing.
int32_t number(const char *p)
{
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v <= INT_MAX)
            v = v * 10 + (*p - '0');
    if (negative)
        v = -v;
    return static_cast<int32_t>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
}

} // namespace
} // namespace tessel

using namespace tessel;

extern "C" int32_t InitHelp(void)
{
    Catalogue &c = catalogue();
    int fd = ::open("idxhelp.dat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    // Only the first 80000 bytes are read; an index that long ends where the buffer does.
    int32_t got = 0;
    while (got < kTextSize) {
        ssize_t n = ::read(fd, c.text + got, kTextSize - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<int32_t>(n);
    }
    ::close(fd);
    c.textLength = got;
    c.text[got] = '\0';
    c.position = skipBlanks(c.text, got, 0);
    return number(nextWord());
}

extern "C" int32_t GetHelp(int32_t *levels, char *title, char *page)
{
    int32_t icon = number(nextWord());

    const char *outline = nextWord();
    if (levels) {
        for (int i = 1; i <= kHelpLevels; ++i)
            levels[i] = 0;
        // "1.2.3" gives 1, 2, 3, 0, 0; numbers after the fifth are ignored.
        const char *p = outline;
        for (int i = 1; i <= kHelpLevels; ++i) {
            levels[i] = number(p);
            while (*p && *p != '.')
                ++p;
            if (*p != '.')
                break;
            ++p;
        }
    }

    const char *titleWord = nextWord();
    if (title)
        copyField(title, kHelpTextSize, titleWord);
    const char *pageWord = nextWord();
    if (page)
        copyField(page, kHelpTextSize, pageWord);
    return icon;
}
