#include "reach.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace tessel {

namespace {

struct Range {
    std::uint32_t first; // the network, host byte order
    int bits;            // its prefix length
};

// Every IPv4 range that leads into the user's machine or network, or nowhere.
constexpr Range kNotPublicV4[] = {
    {0x00000000, 8},  // "this network", 0.0.0.0 included
    {0x0A000000, 8},  // private
    {0x64400000, 10}, // shared address space (carrier NAT)
    {0x7F000000, 8},  // loopback
    {0xA9FE0000, 16}, // link-local
    {0xAC100000, 12}, // private
    {0xC0000000, 24}, // protocol assignments
    {0xC0A80000, 16}, // private
    {0xC6120000, 15}, // benchmarking
    {0xE0000000, 4},  // multicast
    {0xF0000000, 4},  // reserved, limited broadcast included
};

bool publicV4(std::uint32_t address)
{
    return std::none_of(std::begin(kNotPublicV4), std::end(kNotPublicV4), [&](const Range &r) {
        return (address >> (32 - r.bits)) == (r.first >> (32 - r.bits));
    });
}

std::uint32_t lastFour(const unsigned char *bytes)
{
    return std::uint32_t{bytes[12]} << 24 | std::uint32_t{bytes[13]} << 16 |
           std::uint32_t{bytes[14]} << 8 | bytes[15];
}

bool publicV6(const unsigned char *b)
{
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    static const unsigned char kNat64[12] = {0, 0x64, 0xFF, 0x9B};
    static const unsigned char kZero[12] = {};
    if (std::memcmp(b, kMapped, 12) == 0 || std::memcmp(b, kNat64, 12) == 0 ||
        std::memcmp(b, kZero, 12) == 0)
        return publicV4(lastFour(b)); // :: and ::1 read as 0.0.0.0 and 0.0.0.1
    if (b[0] == 0x20 && b[1] == 0x02) // 6to4 carries the IPv4 address it leads to
        return publicV4(std::uint32_t{b[2]} << 24 | std::uint32_t{b[3]} << 16 |
                        std::uint32_t{b[4]} << 8 | b[5]);
    static const unsigned char kTeredo[4] = {0x20, 0x01, 0, 0};
    static const unsigned char kLocalNat64[6] = {0, 0x64, 0xFF, 0x9B, 0, 0x01};
    if (std::memcmp(b, kTeredo, 4) == 0 || std::memcmp(b, kLocalNat64, 6) == 0)
        return false; // tunnels and translators whose far end can't be judged from here
    if ((b[0] & 0xFE) == 0xFC)
        return false; // unique local
    if (b[0] == 0xFE && (b[1] & 0x80) == 0x80)
        return false;    // link-local and the old site-local
    return b[0] != 0xFF; // multicast
}

// Never destroyed: a worker cancelled while the program exits may still connect.
std::mutex standInLock;
std::vector<int> &standInPorts = *new std::vector<int>;

} // namespace

bool isPublicAddress(const sockaddr *address)
{
    if (!address)
        return false;
    if (address->sa_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(address);
        return publicV4(ntohl(v4->sin_addr.s_addr));
    }
    if (address->sa_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(address);
        return publicV6(v6->sin6_addr.s6_addr);
    }
    return false;
}

bool reachesPublic(const sockaddr *address)
{
    if (isPublicAddress(address))
        return true;
    if (!address || address->sa_family != AF_INET)
        return false;
    const auto *v4 = reinterpret_cast<const sockaddr_in *>(address);
    if (ntohl(v4->sin_addr.s_addr) != INADDR_LOOPBACK)
        return false;
    std::lock_guard<std::mutex> lock(standInLock);
    return std::find(standInPorts.begin(), standInPorts.end(), ntohs(v4->sin_port)) !=
           standInPorts.end();
}

void treatAsPublic(std::vector<int> loopbackPorts)
{
    std::lock_guard<std::mutex> lock(standInLock);
    standInPorts = std::move(loopbackPorts);
}

} // namespace tessel
