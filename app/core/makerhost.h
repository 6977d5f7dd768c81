// Where the maker's server lives: the update list, the message endpoint and the web pages.
//
// The host comes from the user's "window.ini" (key Host of group Maker) and, without it, from
// the build setting VELMORA_MAKER_HOST, which is empty unless a build names a real server.
// With neither, the commands that need the server are disabled and say why; they never try
// an address that cannot answer. Tests point it at a local server through SetMakerHost.
#pragma once

#include <QString>

// Paths on the maker's server; fixed, the server's scripts answer there.
inline constexpr char kUpdateListPath[] = "/halvane/velmora/update/update3.cgi";
inline constexpr char kMessagePath[] = "/halvane/velmora/update/umail.cgi";

// The host (optionally "host:port", or a whole "scheme://host:port") of the maker's server;
// empty when none is configured.
QString MakerHost();
// Replaces the host for this process; an empty text goes back to the setting and the build's.
void SetMakerHost(const QString &host);
// The address of a path on the maker's server, e.g. MakerUrl(kUpdateListPath). A host without
// a scheme is reached over https. Empty when no host is configured.
QString MakerUrl(const char *path);
// Whether the program may exchange data with this address on the maker's behalf: update
// files and messages carry the user's name, mail and settings, so only https, unless the
// maker's host itself is written as plain "http://" (a local server).
bool MakerAddressAllowed(const QString &address);
// Why a command that needs the maker's server can't act: empty when a host is configured.
QString MakerUnavailableReason();

// True in a build for the system's packages (VELMORA_PACKAGED) or an installation from the
// package (its data folder holds the marker "packaged"): the package manager replaces the
// program, so it never fetches program files itself.
bool UpdatesFromPackages();
// What the update command says instead in such a build.
QString PackagedUpdateText();
