// Writes a sitelist.dat into the current directory the way the packer does: UTF-8 text
// converted to CP932, every byte complemented.
#pragma once

#include "sandbox.h"

#include <string>

namespace testsupport {

inline std::string complemented(std::string bytes)
{
    for (char &c : bytes)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return bytes;
}

// Raw CP932 bytes, complemented into sitelist.dat.
inline void writeSiteListBytes(const Sandbox &box, const std::string &cp932)
{
    box.write("sitelist.dat", complemented(cp932));
}

inline void writeSiteList(const Sandbox &box, const std::string &utf8)
{
    writeSiteListBytes(box, encode(utf8));
}

} // namespace testsupport
