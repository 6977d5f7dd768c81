// Merging the hits of several sites that name the same page: the page's key, the merged rank
// and the status line's note of what was merged.
#pragma once

#include <QList>
#include <QString>

// The target of a result-page redirect link, or url itself when it is none. Unwrapped are
// links whose target travels in the link: "/l/?uddg=<escaped URL>", "/ck/a?…&u=a1<base64url
// URL>" and "/url?q=<URL>" (or "url="); nested ones too. A wrapper whose parameter holds no
// http or https address is left as it is.
QString UnwrapRedirect(const QString &url);

// The key under which hits of the same page merge. The redirect wrapper is unwrapped first;
// then the scheme, the fragment, a leading "www." of the host, the scheme's default port and
// the tracking parameters (utm_*, fbclid, gclid, yclid, mc_cid, mc_eid, msclkid, ref_src)
// are dropped, the host is lower-cased, an empty path becomes "/" and a trailing "/" of a
// longer one goes, and percent-encoding is normalised (unreserved characters unescaped, other
// escapes in upper case, non-ASCII characters escaped as UTF-8). Path and query keep their
// letter case and order: servers may tell them apart.
QString MergeKey(const QString &url);

// The merged rank of a page from its 1-based positions on the sites that found it (one per
// site): the sum of 1 / (60 + position). Higher ranks first.
double MergedRank(const QList<int> &positions);

// The status line's note after the hit count when merging is on: "（重複N件をまとめました）",
// nothing when no hit was merged.
QString MergedCountSuffix(int merged);
