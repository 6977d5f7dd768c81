// The shared library exports exactly the interface of tessel.h: nothing missing, nothing
// internal leaking out. The checked-in list changes only with the header.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> exportedFunctions(const std::string &library)
{
    std::set<std::string> names;
    std::string command = "nm -D --defined-only '" + library + "' 2>/dev/null";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return names;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name && type == "T")
            names.insert(name);
    }
    ::pclose(pipe);
    return names;
}

std::set<std::string> expectedFunctions()
{
    std::set<std::string> names;
    std::ifstream in(VELMORA_SOURCE_DIR "/tests/engine/exports.txt");
    for (std::string name; in >> name;)
        names.insert(name);
    return names;
}

std::string join(const std::set<std::string> &names)
{
    std::string out;
    for (const std::string &n : names)
        out += n + " ";
    return out;
}

} // namespace

TEST(Exports, SharedLibraryExportsExactlyTheInterface)
{
    std::set<std::string> expected = expectedFunctions();
    ASSERT_EQ(expected.size(), 42u);
    std::set<std::string> actual = exportedFunctions(VELMORA_PROGRAM_DIR "/libtessel.so");
    ASSERT_FALSE(actual.empty()) << "nm found no functions in libtessel.so";

    std::set<std::string> missing, extra;
    for (const std::string &n : expected)
        if (!actual.count(n))
            missing.insert(n);
    for (const std::string &n : actual)
        if (!expected.count(n))
            extra.insert(n);
    EXPECT_TRUE(missing.empty()) << "not exported: " << join(missing);
    EXPECT_TRUE(extra.empty()) << "exported but not in the interface: " << join(extra);
}
