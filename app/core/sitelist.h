// The site list: the program's copy of the site catalogue's descriptive fields, as the
// library's SiteHeader gives them.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

class Session;

constexpr int kSiteInfoCount = 101; // site indexes 0 .. 100 held by the program

// Widths of the six SiteInfo fields (characters) and their byte offsets in the 3072-byte
// record that SiteHeader fills.
constexpr std::array<int, 6> kSiteFieldWidth = {256, 256, 256, 1024, 1024, 256};
constexpr std::array<int, 6> kSiteFieldOffset = {0, 256, 512, 768, 1792, 2816};
constexpr int kSiteHeaderSize = 3072;

// One site's descriptive fields as SiteHeader gave them (text up to the field's NUL).
struct SiteInfo {
    QString name;
    QString language;
    QString type;
    QString searchKey;
    QString root; // the key by which topics name the site
    QString memo;
};

struct SiteInfoList {
    std::array<SiteInfo, kSiteInfoCount> sites;
    int32_t count = 0; // 0 .. 101
};

// Fills the session's site list from the library (LoadSite, SiteHeader). Returns the LoadSite
// result; a negative one has been given as the notice "LoadSite Error=" and the program must
// end.
int32_t LoadSiteInfo(Session &session);

// Lowest site index whose root (cut with CutAtBlank) equals the text cut the same way; the
// site count when none does.
int32_t FindSiteByRoot(const SiteInfoList &list, const QString &text);
