// CP932 text to UTF-8 for the places where the library leaves its own code page: file
// system paths and command lines, and keywords for sites that want UTF-8. Library-internal.
#pragma once

#include <string>
#include <string_view>

namespace tessel {

// Converts CP932 text to UTF-8. A byte that starts no CP932 character is passed through
// unchanged: the conversion never fails and never drops text.
std::string utf8FromCp932(std::string_view text);

// A path or command line from the caller (CP932) in the file system's encoding (UTF-8).
inline std::string nativePath(const char *path)
{
    return path ? utf8FromCp932(path) : std::string();
}

} // namespace tessel
