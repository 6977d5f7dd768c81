// sitefarm: the fixture server as a program, for benchmarks and end-to-end runs.
// Usage and the pages it serves: see sitefarm.h.
#include "sitefarm.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: sitefarm [--port P] [--dir DIR] [--sites N] [--hits H] "
                         "[--total T] [--delay-ms D] [--page-kb K] "
                         "[--charset CP932|EUC-JP|UTF-8]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    int port = 0;
    int sites = 0;
    std::string dir;
    testsupport::SearchSite site;
    std::string charset = "CP932";
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char *value = argv[++i];
        if (option == "--port")
            port = std::atoi(value);
        else if (option == "--dir")
            dir = value;
        else if (option == "--sites")
            sites = std::atoi(value);
        else if (option == "--hits")
            site.hitsPerPage = std::atoi(value);
        else if (option == "--total")
            site.totalHits = std::atoi(value);
        else if (option == "--delay-ms")
            site.delay = std::chrono::milliseconds(std::atoi(value));
        else if (option == "--page-kb")
            site.padTo = static_cast<std::size_t>(std::atoi(value)) * 1024;
        else if (option == "--charset")
            charset = value;
        else
            return usage();
    }
    if (charset != "CP932" && charset != "EUC-JP" && charset != "UTF-8")
        return usage();
    site.charset = charset == "CP932" ? "CP932" : charset == "EUC-JP" ? "EUC-JP" : "UTF-8";

    // Block the stop signals before any thread starts, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    testsupport::SiteFarm farm(port);
    if (!dir.empty())
        farm.serveDirectory(dir);
    for (int k = 1; k <= sites; ++k)
        farm.serveSearch("/site" + std::to_string(k) + "/search", site);
    std::printf("port %d\n", farm.port());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    farm.stop();
    return 0;
}
