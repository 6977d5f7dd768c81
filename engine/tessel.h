/* tessel — the search engine library of Velmora.
 *
 * The one header the program includes. Every export is a plain C function with 32-bit
 * integers, NUL-terminated byte strings in CP932, and fixed-size records that the caller
 * allocates. Unless an export's comment says otherwise, call it from ONE thread only (the
 * program's user-interface thread): the library keeps engine-wide tables that its own worker
 * threads touch only through their own slot and record.
 *
 * Binding rule: never remove or reorder an export or a record field; the program and any
 * other caller depend on the names, argument orders and sizes below.
 */
#ifndef TESSEL_H
#define TESSEL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TESSEL_BUILDING)
#define TESSEL_API __attribute__((visibility("default")))
#else
#define TESSEL_API
#endif

/* A fetch or a link check in progress. Owned by the caller; the library keeps its address
 * while the worker thread runs, so the record must not move or die before Status() says 0.
 * The worker thread writes status, bytes and reads; read them with atomic loads. */
typedef struct FetchRecord {
    int32_t status; /* stage reached: -1, -10 .. -15, -20, -24, -25 or an HTTP code */
    int32_t slot;   /* slot index, set by the caller */
    int32_t site;   /* site index of the page being fetched, set by the caller */
    int32_t page;   /* page number the caller asked iForm for; untouched by the library */
    int32_t bytes;  /* page bytes stored so far (a check: the result index it checks) */
    int32_t reads;  /* reads that returned data */
} FetchRecord;

/* A file download in progress; same ownership rule as FetchRecord. inet, url and file are
 * opaque non-zero ids while the download holds the object, 0 otherwise. */
typedef struct DownloadRecord {
    int32_t status;
    int32_t bytes;
    int32_t inet;
    int32_t url;
    int32_t file;
} DownloadRecord;

/* clang-format off */
enum {
    TESSEL_SITE_HEADER_SIZE = 3072, /* SiteHeader record: name, language, type, key, root, memo */
    TESSEL_SITE_TEST_SIZE = 256,    /* SiteTest text, NUL included */
    TESSEL_RESULT_SIZE = 3328,      /* GetResult record: site, title, URL, preview, score, size, date */
    TESSEL_REQUEST_SIZE = 1024,     /* iForm request buffer */
    TESSEL_ENVIRON_SIZE = 16000,    /* GetEnviron buffer */
    TESSEL_SLOT_COUNT = 1000,       /* slots 0..999; fetches use 0..49 */
    TESSEL_PAGE_SLOTS = 50,
    TESSEL_MAX_RESULTS = 1000
};
/* clang-format on */

/* Where GetResult puts each field of a hit in its TESSEL_RESULT_SIZE record: the field's first
 * byte (_AT) and its width, NUL included (_WIDTH). The layout is part of the contract: read
 * the fields through these names, never through numbers of your own. */
/* clang-format off */
enum {
    TESSEL_RESULT_SITE_AT = 0,       TESSEL_RESULT_SITE_WIDTH = 256,
    TESSEL_RESULT_TITLE_AT = 256,    TESSEL_RESULT_TITLE_WIDTH = 256,
    TESSEL_RESULT_URL_AT = 512,      TESSEL_RESULT_URL_WIDTH = 1024,
    TESSEL_RESULT_PREVIEW_AT = 1536, TESSEL_RESULT_PREVIEW_WIDTH = 1024,
    TESSEL_RESULT_SCORE_AT = 2560,   TESSEL_RESULT_SCORE_WIDTH = 256,
    TESSEL_RESULT_SIZE_AT = 2816,    TESSEL_RESULT_SIZE_WIDTH = 256,
    TESSEL_RESULT_DATE_AT = 3072,    TESSEL_RESULT_DATE_WIDTH = 256
};
/* clang-format on */

/* Error codes. Always add new codes last; never remove one. */
enum {
    TESSEL_E_NO_RESULT = -4003,
    TESSEL_E_REQUEST_TOO_LONG = -4006,
    TESSEL_E_BAD_NUM = -4008,
    TESSEL_E_NO_KEYWORD = -4011,
    TESSEL_E_ONE_WORD_SITE = -4012,
    TESSEL_E_NO_LIST = -4013,
    TESSEL_E_NO_SITELIST = -5001,
    TESSEL_E_EMPTY_SITELIST = -5002,
    TESSEL_E_SITELIST_TOO_BIG = -5003,      /* sitelist.dat is over 80000 bytes: nothing loaded */
    TESSEL_E_NO_SITE = -5004,               /* SiteHeader: not a site index of the catalogue */
    TESSEL_E_NO_USER_CATALOGUE = -5005,     /* no user catalogue file is named */
    TESSEL_E_NOT_ONE_SITE = -5006,          /* UserSiteAdd: the entry is not one named site */
    TESSEL_E_USER_CATALOGUE_WRITE = -5007,  /* the user catalogue can't be read or replaced */
    TESSEL_E_OPENSEARCH_UNREADABLE = -5008, /* not an OpenSearch description with a ShortName */
    TESSEL_E_OPENSEARCH_HTML_ONLY = -5009,  /* no Atom or RSS result template, only HTML ones */
    TESSEL_E_OPENSEARCH_UNUSABLE = -5010,   /* its encoding, method or a parameter won't do */
    TESSEL_E_OPENSEARCH_TOO_LONG = -5011    /* the entry or its request would not fit */
};

/* Where a site of the catalogue comes from: SiteOrigin's results. */
enum {
    TESSEL_SITE_SHIPPED = 0, /* sitelist.dat */
    TESSEL_SITE_USER = 1,    /* the user catalogue, added after the shipped sites */
    TESSEL_SITE_REPLACED = 2 /* the user catalogue, in place of the shipped site of its name */
};

/* How a fetch ended without an answer: FetchResult's results other than an HTTP status code.
 * Always add new kinds last; never remove one. */
enum {
    TESSEL_FETCH_NAME = -6001,        /* the host name could not be resolved */
    TESSEL_FETCH_CONNECT = -6002,     /* no connection: refused or unreachable */
    TESSEL_FETCH_TLS = -6003,         /* the secure connection failed (handshake, certificate) */
    TESSEL_FETCH_TIMEOUT = -6004,     /* the transfer gave up waiting */
    TESSEL_FETCH_NO_ANSWER = -6005,   /* connected, but no response came (closed, reset, ...) */
    TESSEL_FETCH_BAD_REQUEST = -6006, /* the request names no scheme a fetch knows */
    TESSEL_FETCH_CANCELLED = -6007    /* Kill ended it before an answer came */
};

/* ---- Site catalogue and query building ---- */

/* Loads "sitelist.dat" from the current directory (every byte stored complemented) and
 * records the current directory as the start directory. Call it before any other search
 * export; a second call loads everything afresh and invalidates the previous catalogue.
 * Returns the number of sites (0..500; sites past the 500th are ignored), or
 * TESSEL_E_NO_SITELIST (can't be opened or read), TESSEL_E_EMPTY_SITELIST (0 bytes) or
 * TESSEL_E_SITELIST_TOO_BIG (over 80000 bytes); on an error the catalogue is empty. */
TESSEL_API int32_t LoadSite(void);

/* ---- The user catalogue ----
 * Sites the user adds live in a file of their own (UTF-8 text in the catalogue language of
 * data/sitelist.txt, not complemented, at most 80000 bytes), so catalogue updates never touch
 * them. LoadSite reads it after sitelist.dat: its sites come after the shipped ones, except one
 * named like a shipped site, which takes that site's place and index. A file that can't be read
 * or is too long adds nothing; LoadSite's result counts the sites of both.
 * UserCatalogue: names the file (CP932 path; the program's configuration folder). NULL or ""
 *   falls back to the environment variable VELMORA_USER_SITES (UTF-8), unset: no file. Takes
 *   effect at the next LoadSite. Returns 0.
 * UserSiteAdd: stores one site block (CP932 text from SITE to ENDSITE, "#" notes before it
 *   allowed, as OpenSearchSite writes it) in the file, replacing any block of the same name;
 *   the file is written beside and renamed over, so it is whole or unchanged. The catalogue in
 *   memory is not changed: call LoadSite. 0, or TESSEL_E_NO_USER_CATALOGUE,
 *   TESSEL_E_NOT_ONE_SITE, TESSEL_E_SITELIST_TOO_BIG (the file would pass 80000 bytes) or
 *   TESSEL_E_USER_CATALOGUE_WRITE (also for an existing file that can't be read whole).
 * UserSiteRemove: removes the blocks of the site of that name (CP932) from the file; then call
 *   LoadSite. A shipped site it had replaced is back. 0, or TESSEL_E_NO_SITE (no such block),
 *   TESSEL_E_NO_USER_CATALOGUE or TESSEL_E_USER_CATALOGUE_WRITE.
 * SiteOrigin: TESSEL_SITE_SHIPPED, TESSEL_SITE_USER or TESSEL_SITE_REPLACED, or
 *   TESSEL_E_NO_SITE for an index not below LoadSite's count.
 * All on the caller's thread. */
TESSEL_API int32_t UserCatalogue(const char *path);
TESSEL_API int32_t UserSiteAdd(const char *entry);
TESSEL_API int32_t UserSiteRemove(const char *name);
TESSEL_API int32_t SiteOrigin(int32_t site);

/* OpenSearchSite: turns an OpenSearch 1.1 description (the document's bytes, length of them,
 * as read from a file or an address) into a site block of the catalogue language, written into
 * entry (caller's, size bytes, CP932, LF lines, NUL-terminated) for UserSiteAdd. The block: a
 * "#" note with the Description, SITE from ShortName, LANG 日本語 when Language begins with "ja"
 * (else 英語), TYPE OpenSearch, SKEY from Tags (else ShortName), ROOT the template's address
 * without its query, MEMO AND plus UTF8 unless InputEncoding is Shift_JIS, HOST the template's
 * server, AND the template, FEED ATOM or RSS. The template is the first Url of type
 * application/atom+xml (else application/rss+xml) with rel "results" (or none) and method GET;
 * {searchTerms} becomes the keywords, {startPage?} and {startIndex?} the page (from the Url's
 * pageOffset and indexOffset, 20 hits a page), {count?} 20, {language?} "*", {inputEncoding?} and
 * {outputEncoding?} "UTF-8", any other optional parameter nothing. Returns the block's length, or
 * TESSEL_E_OPENSEARCH_UNREADABLE (not XML, not such a description, no ShortName, or it declares
 * entities), TESSEL_E_OPENSEARCH_HTML_ONLY (result templates only of other types, text/html
 * among them), TESSEL_E_OPENSEARCH_UNUSABLE (the Atom/RSS template has no {searchTerms}, is not
 * http or https, needs a parameter other than these, or InputEncoding is neither UTF-8 nor
 * Shift_JIS), TESSEL_E_OPENSEARCH_TOO_LONG (the request or the block would not fit); entry is
 * then empty. Any thread; touches no engine table. */
TESSEL_API int32_t OpenSearchSite(const char *description, int32_t length, char *entry,
                                  int32_t size);

/* Copies the site's name, language, type, search key, root and memo into the caller's
 * record of TESSEL_SITE_HEADER_SIZE (3072) bytes, at offsets 0, 256, 512, 768, 1792, 2816;
 * each field is cut to its width less one (255 or 1023 bytes, never inside a two-byte
 * character) and padded with NULs. Returns 0, or TESSEL_E_NO_SITE when site is not below
 * the count LoadSite returned (the record then holds six empty fields). */
TESSEL_API int32_t SiteHeader(char *record, int32_t site);

/* Copies the site's test keywords (its TEST line: words that should always find hits, for a
 * health check of the catalogue) into the caller's buffer of TESSEL_SITE_TEST_SIZE (256)
 * bytes, cut like a header field and NUL-padded. Returns 0, or TESSEL_E_NO_SITE (the buffer
 * then holds an empty text). */
TESSEL_API int32_t SiteTest(char *text, int32_t site);

/* Writes into request (caller's, at least TESSEL_REQUEST_SIZE = 1024 bytes) the GET URL or
 * "post://" form for page (0 first; negative counts as 0) of site, from its AND list or,
 * with mode 1, its OR list, and the keywords (CP932 text, at most 10 words used).
 * Returns 0, or TESSEL_E_REQUEST_TOO_LONG (request, a word or a template part would not
 * fit), TESSEL_E_BAD_NUM, TESSEL_E_NO_KEYWORD, TESSEL_E_ONE_WORD_SITE or TESSEL_E_NO_LIST
 * (also for a site index not in the catalogue); on an error request is left unchanged.
 * Blanks and ideographic spaces (81 40) separate the words. Pass the words as typed: iForm
 * is the one place they are escaped. Every byte of a word but the letters, digits, "-", ".",
 * "_" and "~" goes as "%XX" (upper-case digits), ASCII punctuation too ("C++" -> "C%2B%2B",
 * "100%" -> "100%25"), so a word never changes the query around it; the blank between words
 * becomes the template's joiner. Sites whose memo holds "UTF8" get the UTF-8 bytes of the
 * words, others (EUC ones included) their CP932 bytes. To send a UTF8 site a character CP932
 * lacks, write it as the decimal reference "&#N;" (as on pages, "&#128512;"), and a "&" that
 * must not start one as "&#38;"; any other reference, and every reference for other sites, is
 * sent as the text it is. */
TESSEL_API int32_t iForm(int32_t site, int32_t mode, int32_t page, const char *keywords,
                         char *request);

/* ---- Fetch slots ----
 * Every transfer (fetch, check, download) that starts on https follows no redirect to plain
 * http, and one that starts on a public address none to a loopback, private or link-local one
 * (a hit or request that names such an address itself is asked as usual). It ends as a
 * failure of the stage it is in when fewer than 100 bytes a second arrive for 60 seconds
 * (a silent server, or one that drips its head or body) or when the heads of its answers pass
 * 256 KB. A user name and password in an address are never sent, nor any from a .netrc
 * file; the address is asked without them. The library never changes its host process:
 * a caller that runs many fetches and checks at once (up to 999 checks, each with a socket
 * and a wake-up pair) raises the process's open-file limit (RLIMIT_NOFILE) itself. */
/* iGet: starts a fetch of url (the request text of iForm: "http://", "https://" or
 * "post://host[:port]/path?body") on the record's slot, 0..49, whose page buffer receives the
 * body (up to 1,000,000 bytes; the rest is read and dropped, up to 16 MB of body in all,
 * after which the answer is cut off and the fetch ends at -20 with its page). The request ends at
 * its first byte outside 0x21..0x7F and at 1023 bytes. GET follows redirects; a post sends the body
 * with "Content-Type: application/x-www-form-urlencoded" to port 80 unless the host names a port.
 * Sets bytes 0 and status -1, then the worker moves status through -10, -11 (GET) or -12,
 * -13, -14 (post), -15 (body) to -20; a failure leaves the stage it failed at, bytes 0 when
 * no body came. Returns 1 when the thread started; 0 when it could not, when the slot is not
 * 0..49 (status -1) or when the slot's previous fetch still runs (record untouched).
 * Status: 1 while the record's slot has a running thread, else 0; never waits. Read the page
 * (iParse) only after it says 0.
 * Kill: cancels the slot's transfer in any stage, waits for its thread (well under 100 ms),
 * then sets bytes 0 and status -24, also when the thread had already ended. A slot that never
 * had a thread is left alone. Returns 0.
 * FetchResult: how the record's last fetch ended, once Status says 0: the status code of the
 * final response (redirects followed; 100..599, also when its body broke off), else one of
 * TESSEL_FETCH_* (TESSEL_FETCH_TIMEOUT also for a body that came too slowly, whose page holds
 * what came; TESSEL_FETCH_CONNECT also for a redirect refused by the rule above). 0 while it runs,
 * when the slot's last work was a link check, or when the record is not the one the slot's last
 * fetch was started with. Kill after the end keeps it. The record's status tells how far a fetch
 * got; only this tells why it stopped there. All four on the caller's (user-interface) thread. */
/* The User-Agent of the fetches and link checks started from now on (downloads keep their
 * own). NULL or "" restores the default: "INET" and a number counting the requests. Returns
 * 0, or -1 with nothing changed for a text over 255 bytes or holding a byte below 0x20 or
 * 0x7F (a line end would end the header and start another). Any thread. */
TESSEL_API int32_t SetUserAgent(const char *text);
TESSEL_API int32_t iGet(FetchRecord *record, const char *url);
TESSEL_API int32_t Status(FetchRecord *record);
TESSEL_API int32_t Kill(FetchRecord *record);
TESSEL_API int32_t FetchResult(const FetchRecord *record);

/* How a page that came is to be taken; PageKind's results. Always add new kinds last. */
/* clang-format off */
enum {
    TESSEL_PAGE_READ = 0,    /* a page to read: hits, or none when the site's script no longer fits */
    TESSEL_PAGE_BLOCKED = 1, /* the site refuses the client for now (robot check, too many asks) */
    TESSEL_PAGE_NO_HITS = 2, /* the site's own answer to a search that found nothing */
    TESSEL_PAGE_NONE = 3     /* no answer to judge (see below) */
};
/* clang-format on */

/* PageKind: once Status says 0, how the page of the record's last fetch is to be taken.
 * TESSEL_PAGE_BLOCKED for status 429; 503 with a Retry-After header; and 403 or 2xx whose page
 * carries a challenge, CAPTCHA or consent wall (marks of the common challenge services and
 * their wording, or a text of the site's BLOCKED statement). TESSEL_PAGE_NO_HITS for a 2xx page
 * holding a text of the site's NOHITS statement, or a feed site's answer that is a feed without
 * entries. TESSEL_PAGE_NONE while it runs, when it ended without an answer (FetchResult is not
 * an HTTP status), for a link check's slot, or when the record is not the one the slot's last
 * fetch was started with. Else TESSEL_PAGE_READ (other statuses included: FetchResult tells
 * those). A page from which iParse took hits is a page of hits whatever this says of it (a
 * search for "captcha" finds pages that talk of one): judge by it only pages without hits.
 * FetchRetryAfter: the seconds from now until the answer's Retry-After ("120" or an HTTP date)
 * allows another ask, 0 when that time has passed, at most 604800 (a week), or -1 when the
 * last fetch's final answer had no such header (or under PageKind's NONE conditions).
 * Both on the caller's thread; both read the page, so call them before the slot's next iGet. */
TESSEL_API int32_t PageKind(const FetchRecord *record);
TESSEL_API int32_t FetchRetryAfter(const FetchRecord *record);

/* ---- Result store ----
 * The hits of one search, at most 1000, in the order extracted. A hit's result index (0 ..
 * count-1) stays until the next InitResult. Don't change the store while checks run.
 * InitResult: empties the store; returns 1000, its capacity.
 * iParse: runs the site's script (field 2 of the slot's FetchRecord) over the slot's page
 *   (bytes field 4, up to 1,000,000) after Status said 0. The loops stop at count + most
 *   (the cap, also used by later iData calls) or at 1000 records. Keeps only hits whose URL
 *   begins "http://" or "https://", stamps them with the site's name and returns how many
 *   were added (0 for a slot without a page buffer or fetch). A UTF8 site's page is read
 *   as CP932 (characters it lacks as "&#N;"); an EUC site's as EUC-JP. Script errors are
 *   not reported: the hits before them count.
 * iData: the same run over text..text+length for the site; returns the hits added, or the
 *   length itself when it is negative. The text is not kept.
 * GetResult: copies hit index into record (TESSEL_RESULT_SIZE bytes, fields at the
 *   TESSEL_RESULT_*_AT offsets above, each NUL-terminated); 0, or
 *   TESSEL_E_NO_RESULT (record untouched) when index is not below the count.
 * URLSame: 1 when both indexes are below the count and their URLs are equal ignoring ASCII
 *   letter case and one closing "/"; else 0. */
TESSEL_API int32_t InitResult(void);
TESSEL_API int32_t iParse(int32_t slot, int32_t most);
TESSEL_API int32_t iData(int32_t site, const char *text, int32_t length);
TESSEL_API int32_t GetResult(int32_t index, char *record);
TESSEL_API int32_t URLSame(int32_t a, int32_t b);

/* ---- Link checker ---- */
/* iCheck: checks the URL of result index with "HEAD <path> HTTP/1.0" (the path without its
 * query; no redirect is followed) on the record's slot, 0..999, and writes index into bytes.
 * A URL not beginning with "http://" or "https://" gets status 404 at once, without traffic,
 * and returns 0. Otherwise status -1, then -10, -12 (resolve, connect, TLS), -13, -14, -25
 * (request sent) and finally the HTTP status code; a failure leaves the step it failed at.
 * Returns 1 when the thread started; 0 when it could not, when the slot is out of range
 * (status -1) or when the slot's previous check still runs. Poll it with Status.
 * ExitCheck: Kill for a check: cancels, waits, status -24, bytes 0. Returns 0.
 * Both on the caller's thread; up to 999 checks may run at once. */
TESSEL_API int32_t iCheck(FetchRecord *record, int32_t index);
TESSEL_API int32_t ExitCheck(FetchRecord *record);

/* ---- File download ---- */
/* iDown: downloads url (redirects followed) into the file path (CP932), replacing it. One download
 * at a time: a running one is cancelled first. Status -1, -10, -11 (opening the URL), -15 (writing;
 * bytes counts what is in the file) and -20 when the whole body is in the file. A failure keeps its
 * stage and removes the target, an older file of that name included: an address that can't be
 * opened or answers 400 or above leaves -11, a body that breaks off or a target that can't be
 * created (a symbolic link there included: it is never written through) or a body past 512 MB
 * leaves -15. A caller that knows the file's size cancels a download that passes it. Returns 1 when
 * the thread started, else 0. Status_iDown: 1 while the download's thread runs, else 0. Exit_iDown:
 * cancels in any stage, waits for the thread, and removes the target file (even a completed one);
 * inet, url and file are 0 afterwards. Returns 0. All three on the caller's thread; the record must
 * outlive the download. */
TESSEL_API int32_t iDown(DownloadRecord *record, const char *url, const char *path);
TESSEL_API int32_t Status_iDown(void);
TESSEL_API int32_t Exit_iDown(DownloadRecord *record);

/* ---- HTML report ----
 * One report at a time, written in CP932 with CR LF lines to a temporary file beside the
 * target and renamed over it only by a successful HTMLClose: the file appears whole or not
 * at all, and an old file of that name stays until then.
 * HTMLOpen: path (CP932) gets its extension replaced by ".htm" (a "." after the last "/";
 *   none: ".htm" is added). Writes the head with the keyword, count and the time; the image
 *   is mapbar.gif in the directory LoadSite started in. 0, or -1 for an empty path or a
 *   file that can't be created. A report still open is dropped.
 * HTMLSave: appends hit index as entry position + 1. Every text from a page or the caller
 *   (keyword, folder, URL, title, preview, score, date, size) has its "<" and ">" written as
 *   "&lt;" and "&gt;" ("&" stays as captured); a '"' in the URL or folder is written as %22;
 *   0, or -1 when no report is open or index is not a hit of the store.
 * HTMLClose: writes the tail and puts the file in place; 0, or -1 when no report is open
 *   or the file could not be written whole (the temporary file is removed). */
TESSEL_API int32_t HTMLOpen(const char *keyword, int32_t count, const char *path);
TESSEL_API int32_t HTMLSave(int32_t position, int32_t index);
TESSEL_API int32_t HTMLClose(void);

/* ---- File, time and process utilities ----
 * Paths and command lines are CP932 like every text and are converted to the file
 * system's UTF-8. Time texts are Japan Standard Time (UTC+9). None of these shows
 * anything; each reports only through its result. */

/* Seconds since 1970-01-01 00:00:00 UTC. */
TESSEL_API int32_t GetTime(void);
/* Sets the file's access and modification times to a dotted time text (as GetTForm
 * writes). Returns 0 whether or not that succeeded. */
TESSEL_API int32_t SetFTime(const char *path, const char *text);
/* Copies a file, replacing an existing target. 1 on success, 0 on failure. */
TESSEL_API int32_t MyCopy(const char *from, const char *to);
/* Deletes a file (not a directory). 1 on success, 0 on failure. */
TESSEL_API int32_t DelFile(const char *path);
/* Deletes every entry of the directory that is not itself a directory, then the directory
 * (left in place while a subdirectory remains). Changes the process's current directory
 * to the directory's parent: no other thread may resolve relative paths meanwhile.
 * 0 when the directory can't be entered, else 1. */
TESSEL_API int32_t DelDir(const char *path);
/* Starts the program of a command line (blanks separate arguments, double quotes group,
 * \" is a plain quote; the program is looked up in PATH). Returns the process id, or 0
 * when it can't be started. The library reaps the process: don't wait for it. */
TESSEL_API int32_t Run(int32_t ignored, const char *command);
/* 1 when a file or directory of that name exists, else 0. */
TESSEL_API int32_t FileExist(const char *path);
/* Logical pixels per inch: always 96. */
TESSEL_API int32_t GetDPI(int32_t dc);
/* Writes the current time as "YYYY.MM.DD.hh:mm:ss" (19 bytes and a NUL; text holds at
 * least 20). Returns 0. */
TESSEL_API int32_t GetTForm(char *text);
/* Writes time as "Y/M/D,hh:mm:ss" (year, month, day without leading zeros; at most 19
 * bytes and a NUL; text holds at least 20). Returns 0. */
TESSEL_API int32_t GetTForm2(int32_t time, char *text);
/* Writes the installation block into text (caller's, TESSEL_ENVIRON_SIZE = 16000 bytes):
 * "SendTime=", GetTForm's text, CR LF, then the bytes of release.dat and of STARTUP.DAT
 * from the current directory (names matched in any letter case). Returns its length; a
 * longer block is cut at 16000 bytes, and the text ends with a NUL only when shorter. */
TESSEL_API int32_t GetEnviron(char *text);

/* ---- Help index ----
 * Both read through the catalogue's text buffer: call them after LoadSite and before
 * any search, and don't interleave them with a search. */

/* Reads up to the first 80000 bytes of "idxhelp.dat" from the current directory and
 * returns the entry count it starts with, or 0 when the file can't be opened. */
TESSEL_API int32_t InitHelp(void);
/* Reads the next entry: levels[1..5] get its outline numbers (0 for missing levels;
 * levels[0] is left alone), title and page (caller's, at least 256 bytes each) its title
 * and page file name, cut to 255 bytes. Returns its icon number. Past the last entry:
 * 0, empty texts and zero levels. */
TESSEL_API int32_t GetHelp(int32_t *levels, char *title, char *page);

#ifdef __cplusplus
} /* extern "C" */
static_assert(sizeof(FetchRecord) == 24, "FetchRecord is 24 bytes");
static_assert(sizeof(DownloadRecord) == 20, "DownloadRecord is 20 bytes");
static_assert(TESSEL_RESULT_DATE_AT + TESSEL_RESULT_DATE_WIDTH == TESSEL_RESULT_SIZE,
              "the date is the last field of a result record");
#endif

#endif /* TESSEL_H */
