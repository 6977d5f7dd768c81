// Feed extraction against the HTML script on the same hits: 100 hits (title, address,
// preview, date) as a result page read by a script, as an Atom feed and as a JSON answer,
// each through InitResult + iData as a search reads them. Prints MB/s and hits per
// millisecond of each and the feeds' ratio to the script.
#include "sandbox.h"
#include "tessel.h"
#include "throughput.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int kHits = 100;

std::string preview()
{
    std::string text;
    while (text.size() < 600)
        text += "Preview text of the hit with the keyword in it. ";
    return text;
}

std::string htmlPage()
{
    std::string page = "<html><head><meta charset=\"utf-8\"></head><body><ol>\n";
    for (int i = 1; i <= kHits; ++i)
        page += "<li class=\"hit\"><h3><a href=\"https://example.org/doc/" + std::to_string(i) +
                "\">Title of hit " + std::to_string(i) + " <b>keyword</b></a></h3><p class=\"s\">" +
                preview() + "</p><span class=\"d\">2021-09-06</span></li>\n";
    return page + "</ol></body></html>\n";
}

std::string atomFeed()
{
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>results</title>\n";
    for (int i = 1; i <= kHits; ++i)
        feed += "<entry><title>Title of hit " + std::to_string(i) +
                " keyword</title><link rel=\"alternate\" href=\"https://example.org/doc/" +
                std::to_string(i) + "\"/><summary>" + preview() +
                "</summary><published>2021-09-06</published></entry>\n";
    return feed + "</feed>\n";
}

std::string jsonAnswer()
{
    std::string json = "{\"query\":{\"search\":[";
    for (int i = 1; i <= kHits; ++i)
        json += std::string(i > 1 ? "," : "") + "{\"title\":\"Title of hit " + std::to_string(i) +
                " keyword\",\"url\":\"https://example.org/doc/" + std::to_string(i) +
                "\",\"snippet\":\"" + preview() + "\",\"timestamp\":\"2021-09-06\"}";
    return json + "]}}";
}

struct Case {
    const char *name;
    std::string page;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    testsupport::Sandbox box;
    const std::string sites =
        "SITE html\nMEMO AND UTF8\nHOST https://example.org/\nSEARCH\nLOOP <li.hit UNTILL "
        "<li.hit href=\" URL \" > TITLE </a> class=\"s\"> PREVIEW </p> class=\"d\"> DATE </span> "
        "ENDLOOP\nENDSITE\n"
        "SITE atom\nMEMO AND UTF8\nHOST https://example.org/\nFEED ATOM\nENDSITE\n"
        "SITE json\nMEMO AND UTF8\nHOST https://example.org/\n"
        "FEED JSON query.search TITLE=title URL=url PREVIEW=html:snippet DATE=timestamp\n"
        "ENDSITE\n";
    std::string packed = sites;
    for (char &c : packed)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    box.write("sitelist.dat", packed);
    if (LoadSite() != 3) {
        std::fprintf(stderr, "catalogue did not load\n");
        return 1;
    }
    const Case cases[] = {{"html", htmlPage()}, {"atom", atomFeed()}, {"json", jsonAnswer()}};
    std::map<std::string, int32_t> hits;
    for (int32_t site = 0; site < 3; ++site) {
        const Case &c = cases[site];
        InitResult();
        iParse(-1, 1000);
        hits[c.name] = iData(site, c.page.data(), int32_t(c.page.size()));
        benchmark::RegisterBenchmark(
            (std::string("feed/") + c.name).c_str(), [&c, site](benchmark::State &st) {
                for (auto _ : st) {
                    InitResult();
                    benchmark::DoNotOptimize(iData(site, c.page.data(), int32_t(c.page.size())));
                }
                st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(c.page.size()));
            });
    }
    iParse(-1, 1000);
    Throughput reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-6s %8s %5s %10s %12s %10s\n", "answer", "KB", "hits", "MB/s", "hits per ms",
                "vs html");
    const double html = reporter.mbps["feed/html"] * 1e6 / cases[0].page.size();
    for (const Case &c : cases) {
        const double mbps = reporter.mbps[std::string("feed/") + c.name];
        const double perMs = mbps * 1e6 / c.page.size() * hits[c.name] / 1000.0;
        const double runs = mbps * 1e6 / c.page.size();
        std::printf("%-6s %8.1f %5d %10.1f %12.1f %9.2fx\n", c.name, c.page.size() / 1024.0,
                    hits[c.name], mbps, perMs, html > 0 ? runs / html : 0);
    }
    return 0;
}
