// Host names that test programs resolve without any traffic to a name server.
//
// Linking this file into a test program puts its getaddrinfo in front of the system's:
//   <anything>.stall.test          the lookup hangs until releaseStalledNames() (or 60 s)
//   <anything>.unresolvable.test   the lookup fails at once (no such host)
// Every other name goes to the system's resolver unchanged.
#pragma once

namespace testsupport {

// Lets every hanging lookup fail now, and later ones fail at once, until holdStalledNames().
void releaseStalledNames();
void holdStalledNames();
// Lookups hanging right now.
int stalledLookups();

// Including this header links the replacement in: nothing of the file is called otherwise,
// and a static library member nobody refers to would be left out.
extern const int fakeDnsLinked;
[[gnu::used]] static const int *const fakeDnsAnchor = &fakeDnsLinked;

} // namespace testsupport
