// idxhelp.dat from outside: any bytes, read entry by entry until exhausted, must never read
// or write beyond the text buffer or the caller's fields.
#include "catalogue.h"
#include "tessel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char workDir[] = "/tmp/velmora-helpindex-fuzz-XXXXXX";
int homeDir = -1;

// As in the catalogue fuzzer: write and read in a directory of our own, then change back.
void enterWithInput(const uint8_t *data, size_t size)
{
    if (chdir(workDir) != 0)
        std::abort();
    FILE *f = std::fopen("idxhelp.dat", "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void leave()
{
    if (fchdir(homeDir) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    homeDir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (homeDir < 0 || !mkdtemp(workDir))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    enterWithInput(data, size);
    InitHelp();
    leave();
    int32_t levels[6];
    char title[256], page[256];
    const tessel::Catalogue &c = tessel::catalogue();
    // Every word takes at least one byte and a blank: the text runs out within its length.
    for (int32_t i = 0; i <= c.textLength / 2 + 2; ++i) {
        GetHelp(levels, title, page);
        if (std::strlen(title) > 255 || std::strlen(page) > 255)
            std::abort();
    }
    if (c.position != c.textLength)
        std::abort();
    return 0;
}
