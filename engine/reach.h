// Which addresses a transfer may be led to. Library-internal.
//
// A page, a hit or a server's redirect may point anywhere: at the user's own machine, at the
// router, at an intranet server. Going where a hit points is the user's choice (checking the
// links of an intranet search is a use), but a public server must not be able to send a
// fetch or a download on to a private address by a redirect: the answer of such a request
// would then come from inside the user's network on a public site's behalf. Through a proxy
// the one address a transfer connects to is the proxy's: the rule then guards the way to the
// proxy, and what lies behind it is the proxy's to guard.
#pragma once

#include <sys/socket.h>

#include <vector>

namespace tessel {

// True for an address of the public internet. Not public: the unspecified addresses
// (0.0.0.0/8, ::), loopback (127.0.0.0/8, ::1), the private ranges (10/8, 172.16/12,
// 192.168/16, the shared 100.64/10, fc00::/7), link-local (169.254/16, fe80::/10, fec0::/10),
// 192.0.0/24, 198.18/15, multicast and the reserved 240/4 (broadcast included). An IPv4
// address written as IPv6 (::ffff:a.b.c.d, 64:ff9b::a.b.c.d, ::a.b.c.d) is judged as the
// IPv4 address it carries. Any family but IPv4 and IPv6 is not public.
bool isPublicAddress(const sockaddr *address);

// What a transfer goes by: isPublicAddress, except that loopback servers on the ports named by
// treatAsPublic count as public.
bool reachesPublic(const sockaddr *address);

// Tests only: every test server listens on loopback, so a test that needs a public server
// names its port here. An empty list restores the plain rule. Any thread, any time.
void treatAsPublic(std::vector<int> loopbackPorts);

} // namespace tessel
