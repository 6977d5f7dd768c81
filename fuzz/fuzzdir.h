// The library reads its files from the current directory, so a fuzzer writes each input to
// a directory of its own and reads it there; changing back right after keeps libFuzzer's
// relative paths (corpus, crash files) valid.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzzdir {

inline char workDir[] = "/tmp/velmora-fuzz-XXXXXX";
inline int homeDir = -1;

// Call from LLVMFuzzerInitialize.
inline void make()
{
    homeDir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (homeDir < 0 || !mkdtemp(workDir))
        std::abort();
}

// Makes the work directory current and writes the input there as `name`.
inline void enterWithInput(const char *name, const uint8_t *data, size_t size)
{
    if (chdir(workDir) != 0)
        std::abort();
    FILE *f = std::fopen(name, "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

inline void leave()
{
    if (fchdir(homeDir) != 0)
        std::abort();
}

} // namespace fuzzdir
