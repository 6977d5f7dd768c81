#include "sandbox.h"
#include "tessel.h"

#include <gtest/gtest.h>

TEST(Smoke, SandboxIsCurrentDirectory)
{
    testsupport::Sandbox box;
    box.write("a.txt", "abc");
    EXPECT_EQ(box.read("a.txt"), "abc");
    EXPECT_EQ(testsupport::decode(testsupport::encode("日本")), "日本");
}
