// Which addresses count as public, judged without sending anything.
#include "reach.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <string>

namespace {

// The address as a socket address on the port, IPv6 when it holds a ':'.
sockaddr_storage addressOf(const std::string &text, int port = 80)
{
    sockaddr_storage storage{};
    if (text.find(':') != std::string::npos) {
        auto &v6 = reinterpret_cast<sockaddr_in6 &>(storage);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<uint16_t>(port));
        EXPECT_EQ(inet_pton(AF_INET6, text.c_str(), &v6.sin6_addr), 1) << text;
    } else {
        auto &v4 = reinterpret_cast<sockaddr_in &>(storage);
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<uint16_t>(port));
        EXPECT_EQ(inet_pton(AF_INET, text.c_str(), &v4.sin_addr), 1) << text;
    }
    return storage;
}

bool isPublic(const std::string &text)
{
    sockaddr_storage storage = addressOf(text);
    return tessel::isPublicAddress(reinterpret_cast<const sockaddr *>(&storage));
}

} // namespace

TEST(Reach, OnlyAddressesOfThePublicInternetArePublic)
{
    const char *notPublic[] = {
        "127.0.0.1",
        "127.255.255.254",
        "0.0.0.0",
        "0.1.2.3",
        "10.0.0.1",
        "10.255.255.255",
        "172.16.0.1",
        "172.31.255.255",
        "192.168.0.1",
        "192.168.255.255",
        "169.254.169.254",
        "100.64.0.1",
        "192.0.0.8",
        "198.18.0.1",
        "224.0.0.1",
        "255.255.255.255",
        "::",
        "::1",
        "fc00::1",
        "fd12:3456::1",
        "fe80::1",
        "febf::1",
        "fec0::1",
        "ff02::1",
        "::ffff:127.0.0.1",
        "::ffff:10.1.2.3",
        "::ffff:192.168.1.1",
        "64:ff9b::a00:1",
        "::127.0.0.1",
        "2002:7f00:1::1",                       // 6to4 of 127.0.0.1
        "2002:c0a8:101::",                      // 6to4 of 192.168.1.1
        "2001:0:4136:e378:8000:63bf:3fff:fdd2", // Teredo
        "64:ff9b:1::a00:1",
    };
    for (const char *address : notPublic)
        EXPECT_FALSE(isPublic(address)) << address;
    const char *open[] = {
        "1.1.1.1",     "8.8.8.8",        "9.255.255.255",    "11.0.0.1",        "100.63.255.255",
        "100.128.0.1", "172.15.255.255", "172.32.0.1",       "192.167.1.1",     "192.169.0.1",
        "169.253.1.1", "203.0.114.1",    "223.255.255.254",  "2a00:1450::1",    "2606:4700::1111",
        "fbff::1",     "::ffff:8.8.8.8", "64:ff9b::808:808", "2002:808:808::1",
    };
    for (const char *address : open)
        EXPECT_TRUE(isPublic(address)) << address;
    EXPECT_FALSE(tessel::isPublicAddress(nullptr));
    sockaddr local{};
    local.sa_family = AF_UNIX;
    EXPECT_FALSE(tessel::isPublicAddress(&local));
}

TEST(Reach, ATestCanLetALoopbackPortStandForAPublicServer)
{
    auto reaches = [](const std::string &text, int port) {
        sockaddr_storage storage = addressOf(text, port);
        return tessel::reachesPublic(reinterpret_cast<const sockaddr *>(&storage));
    };
    EXPECT_FALSE(reaches("127.0.0.1", 8080));
    EXPECT_TRUE(reaches("8.8.8.8", 8080));
    tessel::treatAsPublic({8080});
    EXPECT_TRUE(reaches("127.0.0.1", 8080));
    EXPECT_FALSE(reaches("127.0.0.1", 8081));
    EXPECT_FALSE(reaches("10.0.0.1", 8080)); // only loopback stands in
    tessel::treatAsPublic({});
    EXPECT_FALSE(reaches("127.0.0.1", 8080));
}
