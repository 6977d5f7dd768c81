// The other delivered files, read the way the program and library read them: the default
// topics against the shipped catalogue, the default settings, the help index (through the
// library's reader and the help window's tree rule) with its pages and the pictures.
#include "sandbox.h"
#include "shipped_sites/shipped.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using shipped::readFile;
using shipped::sourcePath;
using testsupport::decode;
using testsupport::encode;

std::vector<std::string> crlfLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// ---- topics and settings ----

TEST(DefaultTopics, NameShippedSitesByTheirRoots)
{
    testsupport::Sandbox sandbox;
    sandbox.write("sitelist.dat", shipped::packedCatalogue());
    const int32_t count = LoadSite();
    ASSERT_GT(count, 0);
    std::map<std::string, int32_t> roots;
    for (int32_t i = 0; i < count; ++i) {
        char header[3072];
        SiteHeader(header, i);
        roots.emplace(header + 1792, i);
    }

    const std::string text = readFile(sourcePath("data/topics.txt"));
    encode(text); // the build converts it to CP932; a character outside it would fail there
    std::set<std::string> names;
    std::set<int32_t> used;
    std::string topic;
    int members = 0;
    for (const std::string &line : crlfLines(text)) {
        if (line.rfind("TOPIC ", 0) == 0) {
            EXPECT_TRUE(topic.empty()) << "no ENDTOPIC before " << line;
            topic = line.substr(6);
            members = 0;
            // The file keeps a name only up to its first blank.
            EXPECT_FALSE(topic.empty());
            EXPECT_EQ(topic.find(' '), std::string::npos) << topic;
            EXPECT_TRUE(names.insert(topic).second) << "topic twice: " << topic;
        } else if (line == "ENDTOPIC") {
            EXPECT_GT(members, 0) << topic;
            EXPECT_LE(members, 50) << topic;
            topic.clear();
        } else {
            ASSERT_FALSE(topic.empty()) << "site line outside a topic: " << line;
            auto site = roots.find(line);
            ASSERT_NE(site, roots.end()) << topic << ": no site has the root " << line;
            used.insert(site->second);
            ++members;
        }
    }
    EXPECT_TRUE(topic.empty()) << "the last topic has no ENDTOPIC";
    EXPECT_GE(names.size(), 4u);
    for (const char *expected : {"日本語総合", "英語総合", "辞書", "学術"})
        EXPECT_TRUE(names.count(expected)) << expected;
    EXPECT_EQ(used.size(), static_cast<size_t>(count)) << "every shipped site is in a topic";
}

TEST(DefaultSettings, HoldEveryKeyInTheProgramsOrderAndForm)
{
    const std::vector<std::string> lines = crlfLines(readFile(sourcePath("data/STARTUP.DAT")));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Title", "Velmora"}, {"iTopic", "0"},     {"LimitTime", "120"},   {"LimitLink", "10"},
        {"HomeURL", ""},      {"SearchMode", "0"}, {"ShowSearching", "0"}, {"ShowChecking", "0"},
        {"AutoCheck", "0"},   {"AutoDelete", "0"}, {"CheckWait", "60"},    {"FontSize", "9"},
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t eq = lines[i].find('=');
        ASSERT_NE(eq, std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].substr(0, eq), expected[i].first);
        const std::string value = lines[i].substr(eq + 1);
        if (expected[i].first == "HomeURL") {
            EXPECT_EQ(value.rfind("https://", 0), 0u) << value;
            EXPECT_EQ(value.find_first_of(" \t"), std::string::npos) << value;
        } else {
            EXPECT_EQ(value, expected[i].second) << expected[i].first;
        }
    }
}

// ---- help ----

struct HelpEntry {
    int32_t icon;
    int32_t levels[5];
    std::string title, page;
};

// The help index as the program gets it: through InitHelp and GetHelp on idxhelp.dat.
std::vector<HelpEntry> loadHelpIndex()
{
    testsupport::Sandbox sandbox;
    sandbox.write("idxhelp.dat", encode(readFile(sourcePath("data/idxhelp.txt"))));
    std::vector<HelpEntry> entries;
    const int32_t count = InitHelp();
    for (int32_t i = 0; i < count; ++i) {
        int32_t levels[6] = {};
        char title[256] = {}, page[256] = {};
        HelpEntry e;
        e.icon = GetHelp(levels, title, page);
        std::copy(levels + 1, levels + 6, e.levels);
        e.title = decode(title);
        e.page = page;
        entries.push_back(e);
    }
    return entries;
}

// The help window's tree: Init_THelp and Nest_THelp, giving each entry's parent (-1 for a root).
std::vector<int> helpTreeParents(const std::vector<HelpEntry> &e)
{
    const int n = static_cast<int>(e.size());
    std::vector<int> parent(n, -2);
    auto O = [&](int k, int i) { return e[i].levels[k]; };
    std::function<int(int, int, int)> nest = [&](int start, int level, int parentNode) {
        const int key = O(level, start);
        int previous = O(level, start);
        int lastChild = parentNode;
        int i = start;
        while (i < n && O(level, i) == key) {
            if (level + 1 < 5 && O(level + 1, i) == previous) {
                i = nest(i, level + 1, lastChild);
                if (i >= n)
                    break;
            }
            parent[i] = parentNode;
            lastChild = i;
            previous = level + 1 < 5 ? O(level + 1, i) : 0;
            ++i;
        }
        return i;
    };
    int lastKey = 0, lastRoot = -1;
    for (int i = 0; i < n;) {
        if (O(0, i) == lastKey) {
            i = nest(i, 0, lastRoot);
            if (i >= n)
                break;
        }
        parent[i] = -1;
        lastRoot = i;
        lastKey = O(0, i);
        ++i;
    }
    return parent;
}

std::string outlineOf(const HelpEntry &e)
{
    std::string s;
    for (int k = 0; k < 5 && e.levels[k] != 0; ++k) {
        if (k)
            s += '.';
        s += std::to_string(e.levels[k]);
    }
    return s;
}

TEST(HelpIndex, ReadsWholeAndBuildsTheOutlineItWrites)
{
    const std::vector<HelpEntry> entries = loadHelpIndex();
    ASSERT_GE(entries.size(), 10u);
    EXPECT_EQ(entries.front().page, "help-index.html"); // the page the window opens with
    const std::vector<int> parent = helpTreeParents(entries);
    std::set<std::string> outlines;
    for (size_t i = 0; i < entries.size(); ++i) {
        const HelpEntry &e = entries[i];
        SCOPED_TRACE(e.title);
        const std::string outline = outlineOf(e);
        EXPECT_TRUE(outlines.insert(outline).second) << "outline twice: " << outline;
        const size_t dot = outline.rfind('.');
        const std::string wanted = dot == std::string::npos ? "" : outline.substr(0, dot);
        ASSERT_NE(parent[i], -2) << "entry not placed in the tree";
        EXPECT_EQ(parent[i] < 0 ? "" : outlineOf(entries[parent[i]]), wanted) << outline;
        EXPECT_TRUE(e.icon >= 0 && e.icon <= 3) << e.icon;
        EXPECT_TRUE(fs::exists(sourcePath("data/images/help" + std::to_string(e.icon) + ".png")));
        EXPECT_TRUE(fs::exists(sourcePath("data/help/" + e.page))) << e.page;
    }
}

TEST(HelpPages, AreListedUtf8AndLinkOnlyToDeliveredFiles)
{
    std::set<std::string> listed;
    for (const HelpEntry &e : loadHelpIndex())
        listed.insert(e.page);
    const std::regex link(R"re((?:href|src)="([^"#:]*)(#[^"]*)?")re");
    for (const auto &file : fs::directory_iterator(sourcePath("data/help"))) {
        const std::string name = file.path().filename().string();
        if (file.path().extension() != ".html")
            continue;
        SCOPED_TRACE(name);
        EXPECT_TRUE(listed.count(name)) << "page missing from the index";
        const std::string html = readFile(file.path());
        EXPECT_NO_THROW(decode(html, "UTF-8")) << "not UTF-8";
        EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
        for (std::sregex_iterator m(html.begin(), html.end(), link), end; m != end; ++m) {
            const std::string target = (*m)[1];
            if (target.empty())
                continue;
            // Everything is laid out flat in the program directory.
            EXPECT_TRUE(fs::exists(sourcePath("data/help/" + target)) ||
                        fs::exists(sourcePath("data/images/" + target)))
                << "broken link " << target;
        }
    }
}

TEST(HelpPages, ListEveryShippedSite)
{
    const std::string page = readFile(sourcePath("data/help/help-sites.html"));
    const std::string catalogue = readFile(sourcePath("data/sitelist.txt"));
    std::istringstream in(catalogue);
    int sites = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("SITE ", 0) != 0)
            continue;
        ++sites;
        EXPECT_NE(page.find("<td>" + line.substr(5) + "</td>"), std::string::npos) << line;
    }
    EXPECT_GE(sites, 20);
}

// ---- pictures ----

struct Picture {
    std::string format;
    int width = 0, height = 0, frames = 0;
};

int le16(const std::string &b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
int be32(const std::string &b, size_t at)
{
    int v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// Size (and for a GIF the number of frames) from the file's own headers.
Picture inspect(const std::string &name)
{
    const std::string b = readFile(sourcePath("data/images/" + name));
    Picture p;
    if (b.size() > 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 &&
        b.compare(12, 4, "IHDR") == 0) {
        p = {"png", be32(b, 16), be32(b, 20), 1};
    } else if (b.size() > 13 &&
               (b.compare(0, 6, "GIF89a") == 0 || b.compare(0, 6, "GIF87a") == 0)) {
        p = {"gif", le16(b, 6), le16(b, 8), 0};
        size_t at = 13;
        const unsigned char flags = b[10];
        if (flags & 0x80)
            at += 3u << ((flags & 7) + 1);
        auto skipBlocks = [&] {
            while (at < b.size() && b[at] != 0)
                at += static_cast<unsigned char>(b[at]) + 1;
            ++at;
        };
        while (at < b.size() && b[at] != 0x3b) {
            if (b[at] == 0x21) {
                at += 2;
                skipBlocks();
            } else if (b[at] == 0x2c) {
                const unsigned char local = b[at + 9];
                at += 10;
                if (local & 0x80)
                    at += 3u << ((local & 7) + 1);
                ++at; // LZW code size
                skipBlocks();
                ++p.frames;
            } else {
                ADD_FAILURE() << name << ": unexpected GIF block at " << at;
                break;
            }
        }
    }
    return p;
}

TEST(Pictures, HaveTheNamesAndSizesTheProgramLoads)
{
    for (const char *icon :
         {"tocheck", "html", "error", "unknown", "engine", "discon", "forbidden", "japan", "world",
          "books", "site", "help0", "help1", "help2", "help3"}) {
        const Picture p = inspect(std::string(icon) + ".png");
        EXPECT_EQ(p.format, "png") << icon;
        EXPECT_EQ(p.width, 16) << icon;
        EXPECT_EQ(p.height, 16) << icon;
        // Drawn again for screens that scale by 2: the icons load "name@2x.png" there.
        const Picture sharp = inspect(std::string(icon) + "@2x.png");
        EXPECT_EQ(sharp.format, "png") << icon;
        EXPECT_EQ(sharp.width, 32) << icon;
        EXPECT_EQ(sharp.height, 32) << icon;
    }
    const Picture splash = inspect("splash.png");
    EXPECT_EQ(splash.format, "png");
    EXPECT_EQ(splash.width, 480);
    EXPECT_EQ(splash.height, 300);
    const Picture banner = inspect("mapbar.gif");
    EXPECT_EQ(banner.format, "gif");
    EXPECT_GE(banner.width, 400);
    EXPECT_EQ(banner.frames, 1);
    const Picture animation = inspect("earth15.gif");
    EXPECT_EQ(animation.format, "gif");
    EXPECT_EQ(animation.width, 32); // the animation's place in the window is 32 x 32
    EXPECT_EQ(animation.height, 32);
    EXPECT_GE(animation.frames, 8);
    EXPECT_EQ(inspect("velmora.png").format, "png");
}

} // namespace
