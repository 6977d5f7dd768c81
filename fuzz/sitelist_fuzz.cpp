// sitelist.dat from outside: any bytes must load without reading or writing out of bounds,
// and every site it yields must give its header and requests safely.
#include "catalogue.h"
#include "tessel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

char workDir[] = "/tmp/velmora-sitelist-fuzz-XXXXXX";
int homeDir = -1;

// The library reads its file from the current directory, so each input is written to and
// read in a directory of its own; changing back right after keeps the fuzzer's relative
// paths (corpus, crash files) valid.
void enterWithInput(const uint8_t *data, size_t size)
{
    if (chdir(workDir) != 0)
        std::abort();
    FILE *f = std::fopen("sitelist.dat", "wb");
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
    int32_t count = LoadSite();
    leave();
    if (count > 500 || tessel::catalogue().poolUsed > tessel::kPoolSize)
        std::abort();

    // The input itself, cut, doubles as keyword text.
    std::string own(reinterpret_cast<const char *>(data), size < 300 ? size : 300);
    const char *keywords[] = {"a", "a b c d e f g h i j k", "\x93\xFA\x96\x7B \x82", own.c_str()};
    static char header[TESSEL_SITE_HEADER_SIZE];
    static char request[TESSEL_REQUEST_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        SiteHeader(header, i);
        if (i >= 8)
            continue;
        for (const char *k : keywords)
            for (int32_t mode = 0; mode < 2; ++mode)
                for (int32_t page : {0, 1, 2, 7, -1, 2147483647})
                    if (iForm(i, mode, page, k, request) == 0 &&
                        std::strlen(request) >= TESSEL_REQUEST_SIZE)
                        std::abort();
    }
    return 0;
}
