#include "fakedns.h"

#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {

std::mutex lock;
std::condition_variable released;
bool releasing = false;
int hanging = 0;

bool endsWith(const char *name, const char *suffix)
{
    std::size_t n = std::strlen(name), s = std::strlen(suffix);
    return n >= s && std::strcmp(name + n - s, suffix) == 0;
}

using Lookup = int (*)(const char *, const char *, const addrinfo *, addrinfo **);

} // namespace

namespace testsupport {

const int fakeDnsLinked = 1;

void releaseStalledNames()
{
    std::lock_guard<std::mutex> guard(lock);
    releasing = true;
    released.notify_all();
}

void holdStalledNames()
{
    std::lock_guard<std::mutex> guard(lock);
    releasing = false;
}

int stalledLookups()
{
    std::lock_guard<std::mutex> guard(lock);
    return hanging;
}

} // namespace testsupport

extern "C" int getaddrinfo(const char *node, const char *service, const addrinfo *hints,
                           addrinfo **result)
{
    if (node && endsWith(node, ".unresolvable.test"))
        return EAI_NONAME;
    if (node && endsWith(node, ".stall.test")) {
        std::unique_lock<std::mutex> guard(lock);
        ++hanging;
        released.wait_for(guard, std::chrono::seconds(60), [] { return releasing; });
        --hanging;
        return EAI_AGAIN;
    }
    static Lookup next = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return next(node, service, hints, result);
}
