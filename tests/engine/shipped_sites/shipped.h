// Helpers of the tests of the delivered files: paths, the packed catalogue, fetching a built
// request from the fixture server, and the *.expect files of the site pages.
#pragma once

#include "sandbox.h"
#include "sitefarm.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace shipped {

inline std::filesystem::path sourcePath(const std::string &relative)
{
    return std::filesystem::path(VELMORA_SOURCE_DIR) / relative;
}

inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// data/sitelist.txt as the build packs it into sitelist.dat: CP932, every byte complemented.
// encode() throws on a character CP932 lacks, as the packer refuses it.
inline std::string packedCatalogue()
{
    std::string bytes = testsupport::encode(readFile(sourcePath("data/sitelist.txt")));
    for (char &c : bytes)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return bytes;
}

inline std::vector<std::string> words(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// A list field of the catalogue: NUL-separated strings ending with an empty one.
inline std::vector<std::string> list(const char *first)
{
    std::vector<std::string> out;
    for (const char *s = first; *s; s += std::strlen(s) + 1)
        out.emplace_back(s);
    return out;
}

// "https://host" of a URL.
inline std::string serverOf(const std::string &url)
{
    const size_t start = url.find("://");
    if (start == std::string::npos)
        return "";
    const size_t end = url.find('/', start + 3);
    return url.substr(0, end);
}

// Fetches a built request from the farm instead of its real server, on slot 0.
inline bool fetchInto(testsupport::SiteFarm &farm, const std::string &built, FetchRecord &record)
{
    const std::string server = serverOf(built);
    const std::string local = farm.url(built.substr(server.size()));
    if (iGet(&record, local.c_str()) != 1)
        return false;
    return testsupport::waitFor([&] { return Status(&record) == 0; });
}

// The request the farm received for a built request.
inline testsupport::Request fetch(testsupport::SiteFarm &farm, const std::string &built)
{
    FetchRecord record{0, 0, 0, 0, 0, 0};
    farm.clearLog();
    EXPECT_TRUE(fetchInto(farm, built, record)) << built;
    EXPECT_EQ(record.status, -20) << built;
    const std::vector<testsupport::Request> log = farm.requests();
    EXPECT_EQ(log.size(), 1u) << built;
    return log.empty() ? testsupport::Request{} : log.back();
}

struct Hit {
    std::string site, title, url, preview, score, size, date;
};

// Fetches the page of a built request (served by the farm) and runs the site's script on it,
// as a search does. Texts come back in UTF-8.
inline std::vector<Hit> searchAndParse(testsupport::SiteFarm &farm, int32_t site,
                                       const std::string &built)
{
    FetchRecord record{0, 0, site, 0, 0, 0};
    EXPECT_TRUE(fetchInto(farm, built, record)) << built;
    EXPECT_EQ(record.status, -20);
    InitResult();
    const int32_t added = iParse(0, 100);
    std::vector<Hit> hits;
    for (int32_t i = 0; i < added; ++i) {
        char r[3328];
        if (GetResult(i, r) != 0)
            break;
        auto text = [&](int offset) { return testsupport::decode(r + offset); };
        hits.push_back(
            {text(0), text(256), text(512), text(1536), text(2560), text(2816), text(3072)});
    }
    return hits;
}

// An *.expect file: hits separated by blank lines, one "field: value" line per field
// (title, url, preview, score, size, date); "#" starts a comment line. Fields a hit doesn't
// list must come out empty, unless a "compare:" line at the top names the only fields that
// are compared. "${HOST}" stands for the site's HOST.
struct Expected {
    std::vector<std::string> compared;
    std::vector<std::vector<std::pair<std::string, std::string>>> hits;
};

inline Expected readExpected(const std::string &name, const std::string &host)
{
    Expected e;
    e.compared = {"title", "url", "preview", "score", "size", "date"};
    std::istringstream in(readFile(sourcePath("tests/engine/shipped_sites/" + name)));
    bool open = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            open = false;
            continue;
        }
        if (line[0] == '#')
            continue;
        const size_t colon = line.find(": ");
        if (colon == std::string::npos)
            continue;
        const std::string key = line.substr(0, colon);
        std::string value = line.substr(colon + 2);
        if (key == "compare") {
            e.compared = words(value);
            continue;
        }
        for (size_t at; (at = value.find("${HOST}")) != std::string::npos;)
            value.replace(at, 7, host);
        if (!open)
            e.hits.emplace_back();
        open = true;
        e.hits.back().emplace_back(key, value);
    }
    return e;
}

inline std::string field(const Hit &h, const std::string &key)
{
    if (key == "title")
        return h.title;
    if (key == "url")
        return h.url;
    if (key == "preview")
        return h.preview;
    if (key == "score")
        return h.score;
    if (key == "size")
        return h.size;
    if (key == "date")
        return h.date;
    ADD_FAILURE() << "unknown field " << key;
    return "";
}

inline void expectHits(const std::vector<Hit> &hits, const Expected &expected,
                       const std::string &siteName)
{
    ASSERT_EQ(hits.size(), expected.hits.size());
    for (size_t i = 0; i < hits.size(); ++i) {
        SCOPED_TRACE("hit " + std::to_string(i + 1));
        EXPECT_EQ(hits[i].site, siteName);
        for (const std::string &key : expected.compared) {
            std::string want;
            for (const auto &[k, v] : expected.hits[i])
                if (k == key)
                    want = v;
            EXPECT_EQ(field(hits[i], key), want) << key;
        }
    }
}

// A page under tests/engine/shipped_sites, or with "real:" a saved real result page from the
// tests/realpages.
inline std::string fixturePage(const std::string &file)
{
    if (file.rfind("real:", 0) == 0)
        return readFile(sourcePath("tests/realpages/" + file.substr(5)));
    return readFile(sourcePath("tests/engine/shipped_sites/" + file));
}

} // namespace shipped

namespace shipped {

// The hits a reader sees on a saved real page: tests/realpages/more/<name>.hits.tsv, rows
// "rank<TAB>url<TAB>title<TAB>kind"; only the organic ones, in page order.
struct ReaderHit {
    std::string url, title;
    bool operator==(const ReaderHit &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const ReaderHit &h)
{
    return out << h.title << '\t' << h.url;
}

// The address the page was requested from ("# page: ..." in the file).
inline std::string readerPageAddress(const std::string &tsv)
{
    const size_t at = tsv.find("# page: ");
    return at == std::string::npos ? "" : tsv.substr(at + 8, tsv.find('\n', at) - at - 8);
}

inline std::vector<ReaderHit> readerHits(const std::string &tsv)
{
    std::vector<ReaderHit> hits;
    std::istringstream in(tsv);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells;
        for (size_t from = 0;;) {
            const size_t tab = line.find('\t', from);
            cells.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        if (cells.size() == 4 && cells[3] == "organic")
            hits.push_back({cells[1], cells[2]});
    }
    return hits;
}

inline std::string utf8(unsigned long code)
{
    std::string out;
    if (code == 0 || code > 0x10ffff)
        return out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
    return out;
}

// Character references as the hit list shows them decoded: numeric ones and the few named
// ones result pages use in titles and links.
inline std::string decodeReferences(const std::string &text)
{
    static const std::pair<const char *, const char *> named[] = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", "\u00a0"}};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t semi = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semi == std::string::npos || semi - i > 12) {
            out += text[i];
            continue;
        }
        const std::string body = text.substr(i + 1, semi - i - 1);
        std::string replacement;
        if (body.size() > 1 && body[0] == '#') {
            const bool hex = body[1] == 'x' || body[1] == 'X';
            const unsigned long code =
                std::strtoul(body.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
            replacement = utf8(code);
        }
        for (const auto &[name, value] : named)
            if (body == name)
                replacement = value;
        if (replacement.empty()) {
            out += text[i];
            continue;
        }
        out += replacement;
        i = semi;
    }
    return out;
}

} // namespace shipped
