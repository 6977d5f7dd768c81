// Scripts in the catalogue language over result pages that real search engines served: each
// must yield the page's organic hits, with their titles and URLs, in page order.
//
// tests/engine/realpages/<page>.site holds the site as sitelist.txt would (its script, host
// and memo); <page>.expected the hits, one "title<TAB>URL" line each, as the store keeps them
// (CP932 text shown here in UTF-8; characters CP932 lacks as &#N; references, entities as
// the page wrote them). The pages are in tests/realpages, with their sources in SOURCES.md.
#include "realpages/sites.h"
#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace extraction;

namespace {

const std::filesystem::path kScripts =
    std::filesystem::path(VELMORA_SOURCE_DIR) / "tests/engine/realpages";
const std::filesystem::path kPages =
    std::filesystem::path(VELMORA_SOURCE_DIR) / "tests/realpages";

const char *const kPageNames[] = {"yahoo-1",  "ask-1",  "google-1", "google-2",
                                  "google-3", "bing-1", "brave-1",  "wikipedia-1"};

std::string slurp(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct Expected {
    std::string title, url;
    bool operator==(const Expected &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Expected &e)
{
    return out << e.title << '\t' << e.url;
}

std::vector<Expected> expectedHits(const std::string &name)
{
    std::vector<Expected> hits;
    std::istringstream in(slurp(kScripts / (name + ".expected")));
    for (std::string line; std::getline(in, line);) {
        const size_t tab = line.find('\t');
        if (!line.empty() && tab != std::string::npos) {
            hits.push_back({line.substr(0, tab), line.substr(tab + 1)});
        }
    }
    return hits;
}

class RealPage : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        std::string catalogue;
        for (const char *name : kPageNames) {
            catalogue += slurp(kScripts / (std::string(name) + ".site"));
        }
        ASSERT_EQ(loadCatalogue(box, catalogue), int32_t(std::size(kPageNames)));
        InitResult();
        iParse(-1, 1000);
    }
    testsupport::Sandbox box;
};

} // namespace

TEST_P(RealPage, YieldsTheOrganicHitsInPageOrder)
{
    const int site = GetParam();
    const std::string name = kPageNames[site];
    const std::string page = slurp(kPages / (name + ".html"));
    ASSERT_FALSE(page.empty()) << name;
    const std::vector<Expected> expected = expectedHits(name);
    ASSERT_FALSE(expected.empty()) << name;

    EXPECT_EQ(iData(site, page.data(), int32_t(page.size())), int32_t(expected.size()));
    std::vector<Expected> got;
    for (const Hit &h : hitsFrom()) {
        got.push_back({h.title, h.url});
    }
    EXPECT_EQ(got, expected);
}

// The road of a search: the page fetched into a slot over HTTP, then iParse. google-1 is
// 281 KB and its hits start after 90 KB, so this needs the large page buffers.
TEST_P(RealPage, SameHitsThroughAFetchSlot)
{
    const int site = GetParam();
    const std::string name = kPageNames[site];
    testsupport::SiteFarm farm;
    farm.serve("/" + name, testsupport::page(slurp(kPages / (name + ".html"))));
    FetchRecord record{0, 3, site, 0, 0, 0};
    ASSERT_EQ(iGet(&record, farm.url("/" + name).c_str()), 1);
    ASSERT_TRUE(testsupport::waitFor([&] { return Status(&record) == 0; }));
    const std::vector<Expected> expected = expectedHits(name);
    EXPECT_EQ(iParse(3, 1000), int32_t(expected.size()));
    std::vector<Expected> got;
    for (const Hit &h : hitsFrom()) {
        got.push_back({h.title, h.url});
    }
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, RealPage, ::testing::Range(0, int(std::size(kPageNames))),
                         [](const auto &info) {
                             std::string n = kPageNames[info.param];
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });
