// Catalogue fixtures for the extraction tests: one site written as sitelist.txt text, packed
// as the library reads it (CP932, every byte complemented) into the sandbox, and loaded.
#pragma once

#include "sandbox.h"
#include "tessel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace extraction {

struct SiteSpec {
    std::string name = "テスト";
    std::string memo = "AND";
    std::string host = "http://example.jp/";
    std::string script; // the words after SEARCH, UTF-8
};

inline std::string siteText(const SiteSpec &s)
{
    std::string text = "SITE " + s.name + "\nMEMO " + s.memo + "\n";
    if (!s.host.empty()) {
        text += "HOST " + s.host + "\n";
    }
    return text + "SEARCH\n" + s.script + "\nENDSITE\n";
}

// Packs catalogue text (UTF-8, the form of sitelist.txt) into the sandbox's sitelist.dat and
// loads it; returns LoadSite's count.
inline int32_t loadCatalogue(const testsupport::Sandbox &box, const std::string &text)
{
    std::string packed = testsupport::encode(text);
    for (char &c : packed) {
        c = static_cast<char>(~static_cast<unsigned char>(c));
    }
    box.write("sitelist.dat", packed);
    return LoadSite();
}

// Writes the sites in order (site index = position) and loads them; returns LoadSite's count.
inline int32_t loadSites(const testsupport::Sandbox &box, const std::vector<SiteSpec> &sites)
{
    std::string text;
    for (const SiteSpec &s : sites) {
        text += siteText(s);
    }
    return loadCatalogue(box, text);
}

// A result's field as a string.
inline std::string field(const char *record, int offset)
{
    return std::string(record + offset);
}

struct Hit {
    std::string site, title, url, preview, score, size, date;
};

// The hits in the store from index first up to (not including) end, fields decoded from
// CP932 to UTF-8.
inline std::vector<Hit> hitsFrom(int32_t first = 0, int32_t end = TESSEL_MAX_RESULTS)
{
    std::vector<Hit> hits;
    std::vector<char> record(TESSEL_RESULT_SIZE);
    for (int32_t i = first; i < end && GetResult(i, record.data()) == 0; ++i) {
        auto f = [&](int offset) { return testsupport::decode(field(record.data(), offset)); };
        hits.push_back({f(0), f(256), f(512), f(1536), f(2560), f(2816), f(3072)});
    }
    return hits;
}

} // namespace extraction
