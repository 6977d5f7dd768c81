// The user's catalogue: sites the user added (from OpenSearch descriptions, or by hand), kept
// in a file of their own that catalogue updates never touch. Library-internal; the exports
// are UserCatalogue, UserSiteAdd, UserSiteRemove and SiteOrigin.
#pragma once

#include <string>

namespace tessel {

// The file as UserCatalogue set it, else $VELMORA_USER_SITES; empty for none. UTF-8.
std::string userCataloguePath();

// Reads the whole file into bytes: false when it can't be read or is longer than the
// catalogue's text buffer (then nothing of it counts).
bool readUserFile(const std::string &path, std::string &bytes);

} // namespace tessel
