#include "core/processlimits.h"

#include <sys/resource.h>

#include <csignal>

void SetUpProcessLimits()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}
