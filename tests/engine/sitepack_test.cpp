// The packer and unpacker a user edits sitelist.dat with: both ways lose nothing, and a
// packed catalogue is what LoadSite reads.
#include "sandbox.h"
#include "tessel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace testsupport;

namespace {

const std::string kTool = VELMORA_PROGRAM_DIR "/../tools/sitepack";

int sitepack(const std::string &args)
{
    return std::system((kTool + " " + args + " 2>/dev/null").c_str());
}

} // namespace

TEST(SitePack, PackThenUnpackGivesTheSameText)
{
    Sandbox box;
    const std::string text = "SITE 検索サイト\r\nMEMO AND OR\r\nAND http://a/?q=_WORD1_\r\n"
                             "SEARCH <li> \"～①髙\"\r\nENDSITE\r\n";
    box.write("in.txt", text);
    ASSERT_EQ(sitepack("pack in.txt sitelist.dat"), 0);
    std::string packed = box.read("sitelist.dat");
    ASSERT_EQ(packed.size(), encode(text).size());
    EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0xFF ^ 'S');

    ASSERT_EQ(sitepack("unpack sitelist.dat out.txt"), 0);
    EXPECT_EQ(box.read("out.txt"), text);

    ASSERT_EQ(LoadSite(), 1);
    char header[TESSEL_SITE_HEADER_SIZE];
    ASSERT_EQ(SiteHeader(header, 0), 0);
    EXPECT_EQ(decode(header), "検索サイト");
}

TEST(SitePack, RefusesTextCp932CannotHold)
{
    Sandbox box;
    box.write("in.txt", "SITE \U0001F600\nENDSITE\n");
    EXPECT_NE(sitepack("pack in.txt sitelist.dat"), 0);
    EXPECT_TRUE(box.read("sitelist.dat").empty());
}
