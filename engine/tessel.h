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

enum {
    TESSEL_SITE_HEADER_SIZE = 3072, /* SiteHeader record: name, language, type, key, root, memo */
    TESSEL_RESULT_SIZE = 3328,      /* GetResult record: site, title, URL, preview, score, size, date */
    TESSEL_REQUEST_SIZE = 1024,     /* iForm request buffer */
    TESSEL_ENVIRON_SIZE = 16000,    /* GetEnviron buffer */
    TESSEL_SLOT_COUNT = 1000,       /* slots 0..999; fetches use 0..49 */
    TESSEL_PAGE_SLOTS = 50,
    TESSEL_MAX_RESULTS = 1000
};

/* Error codes. Always add new codes last; never remove one. */
enum {
    TESSEL_E_NO_RESULT = -4003,
    TESSEL_E_REQUEST_TOO_LONG = -4006,
    TESSEL_E_BAD_NUM = -4008,
    TESSEL_E_NO_KEYWORD = -4011,
    TESSEL_E_ONE_WORD_SITE = -4012,
    TESSEL_E_NO_LIST = -4013,
    TESSEL_E_NO_SITELIST = -5001,
    TESSEL_E_EMPTY_SITELIST = -5002
};

/* ---- Site catalogue and query building ---- */
TESSEL_API int32_t LoadSite(void);
TESSEL_API int32_t SiteHeader(char *record, int32_t site);
TESSEL_API int32_t iForm(int32_t site, int32_t mode, int32_t page, const char *keywords, char *request);

/* ---- Fetch slots ---- */
TESSEL_API int32_t iGet(FetchRecord *record, const char *url);
TESSEL_API int32_t Status(FetchRecord *record);
TESSEL_API int32_t Kill(FetchRecord *record);

/* ---- Result store ---- */
TESSEL_API int32_t InitResult(void);
TESSEL_API int32_t iParse(int32_t slot, int32_t most);
TESSEL_API int32_t iData(int32_t site, const char *text, int32_t length);
TESSEL_API int32_t GetResult(int32_t index, char *record);
TESSEL_API int32_t URLSame(int32_t a, int32_t b);

/* ---- Link checker ---- */
TESSEL_API int32_t iCheck(FetchRecord *record, int32_t index);
TESSEL_API int32_t ExitCheck(FetchRecord *record);

/* ---- File download ---- */
TESSEL_API int32_t iDown(DownloadRecord *record, const char *url, const char *path);
TESSEL_API int32_t Status_iDown(void);
TESSEL_API int32_t Exit_iDown(DownloadRecord *record);

/* ---- HTML report ---- */
TESSEL_API int32_t HTMLOpen(const char *keyword, int32_t count, const char *path);
TESSEL_API int32_t HTMLSave(int32_t position, int32_t index);
TESSEL_API int32_t HTMLClose(void);

/* ---- File, time and process utilities ---- */
TESSEL_API int32_t GetTime(void);
TESSEL_API int32_t SetFTime(const char *path, const char *text);
TESSEL_API int32_t MyCopy(const char *from, const char *to);
TESSEL_API int32_t DelFile(const char *path);
TESSEL_API int32_t DelDir(const char *path);
TESSEL_API int32_t Run(int32_t ignored, const char *command);
TESSEL_API int32_t FileExist(const char *path);
TESSEL_API int32_t GetDPI(int32_t dc);
TESSEL_API int32_t GetTForm(char *text);
TESSEL_API int32_t GetTForm2(int32_t time, char *text);
TESSEL_API int32_t GetEnviron(char *text);

/* ---- Help index ---- */
TESSEL_API int32_t InitHelp(void);
TESSEL_API int32_t GetHelp(int32_t *levels, char *title, char *page);

#ifdef __cplusplus
} /* extern "C" */
static_assert(sizeof(FetchRecord) == 24, "FetchRecord is 24 bytes");
static_assert(sizeof(DownloadRecord) == 20, "DownloadRecord is 20 bytes");
#endif

#endif /* TESSEL_H */
