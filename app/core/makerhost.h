// Where the maker's server lives: the update list, the message endpoint and the web pages.
//
// The host is a build setting (VELMORA_MAKER_HOST). Tests point it at a local server through
// SetMakerHost; the user has no way to change it.
#pragma once

#include <QString>

// Paths on the maker's server; fixed, the server's scripts answer there.
inline constexpr char kUpdateListPath[] = "/halvane/velmora/update/update3.cgi";
inline constexpr char kMessagePath[] = "/halvane/velmora/update/umail.cgi";

// The host (optionally "host:port", or a whole "scheme://host:port") of the maker's server.
QString MakerHost();
// Replaces the host for this process; an empty text goes back to the build setting.
void SetMakerHost(const QString &host);
// The address of a path on the maker's server, e.g. MakerUrl(kUpdateListPath). A host without
// a scheme is reached over https.
QString MakerUrl(const char *path);
// Whether the program may exchange data with this address on the maker's behalf: update
// files and messages carry the user's name, mail and settings, so only https, unless the
// maker's host itself is written as plain "http://" (a local server).
bool MakerAddressAllowed(const QString &address);
