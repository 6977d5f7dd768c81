// How each site's part of a search ended, in words a user can act on. The search driver keeps
// one per site for the Searching window; the console front end prints the same texts in
// Japanese and English. QtCore only.
#pragma once

#include <QString>

#include <cstdint>

enum class SiteOutcome {
    Pending,       // no page of the site has ended yet
    Found,         // the site gave hits
    NoHits,        // a page was read, but its extraction script took no hit from it
    Empty,         // the site's own page for a search that found nothing
    Blocked,       // the site refuses the client for now; or still paused since it did
    NameNotFound,  // the host name could not be resolved
    CannotConnect, // refused or unreachable
    SecureFailed,  // TLS handshake or certificate
    TimedOut,      // still no answer when the run's time limit passed
    NoAnswer,      // connected, but the connection ended without an answer
    HttpError,     // the site answered 400 or above (code)
    NotBuilt,      // no request could be built for the site (code: iForm's error, or 0)
    Stopped,       // the user stopped the run while the site was still being fetched
    Skipped,       // not asked: the site's encoding can't carry the keywords
    ListFull,      // its page was read after the hit list had taken all it can hold
};

struct SiteResult {
    SiteOutcome kind = SiteOutcome::Pending;
    int32_t code = 0;  // HttpError: the status code; NotBuilt: iForm's error code or 0
    int64_t until = 0; // Blocked: when the site may be asked again (seconds since the epoch)
};

// From FetchResult's answer for the site's last page, PageKind's reading of that page and the
// hits the site gave in the run. A site that gave hits has been Found, whatever its later pages
// did: a search for "captcha" finds pages that look like a robot check.
SiteResult OutcomeOfFetch(int32_t fetchResult, int32_t siteHits, int32_t pageKind = 0);

// True for an ending of the site's own that kept it from giving hits: everything but Pending,
// Found, Empty (the site said it has nothing), Stopped (the user's doing) and Skipped (by
// design). NoHits counts, as a script that no longer fits its site reads exactly like that.
bool IsFailure(const SiteResult &result);

enum class OutcomeLanguage { Japanese, English };

// One line per outcome, e.g. "HTTPエラー 404" / "HTTP error 404"; empty for Pending.
QString OutcomeText(const SiteResult &result, OutcomeLanguage language = OutcomeLanguage::Japanese);
