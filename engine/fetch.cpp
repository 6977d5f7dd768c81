// Page fetches: iGet, Status, Kill. One worker thread per fetch, on its slot's page buffer.
#include "pagekind.h"
#include "record.h"
#include "slots.h"
#include "transfer.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace tessel {

namespace {

constexpr int kDrainRead = 8192;
// A result page is well below a megabyte; past this much body the rest is no longer
// drained but cut off, so an endless answer ends even in a run without a time limit.
constexpr std::int64_t kBodyMost = 16 << 20;

// The stages of a fetch and the page it stores. Every call comes on the worker's thread.
class PageFetch : public TransferStages {
public:
    PageFetch(FetchRecord *record, char *page, bool post)
        : record_(record), page_(page), post_(post)
    {
    }

    bool receiving() const { return receiving_; }
    // The status code of the final response; 0 until its headers are complete.
    long code() const { return code_; }

    void connected() override
    {
        if (post_) {
            put(record_->status, -13);
            put(record_->status, -14);
        }
    }

    bool responseStarts(long code) override
    {
        code_ = code;
        receive();
        return true;
    }

    // Only the final response's Retry-After counts: a redirect's belongs to another address.
    void headerLine(const char *line, std::size_t length) override
    {
        constexpr std::size_t kName = sizeof "retry-after:" - 1;
        if (length >= 5 && std::memcmp(line, "HTTP/", 5) == 0)
            retryAfter_.clear();
        else if (length > kName && length < 256 && strncasecmp(line, "retry-after:", kName) == 0)
            retryAfter_.assign(line + kName, length - kName);
    }

    const std::string &retryAfter() const { return retryAfter_; }

    // The page keeps what fits while fewer than kPageFillLimit bytes are stored; the rest of
    // the body is still read, in kDrainRead pieces, so the server sees a normal end.
    bool body(const char *data, std::size_t size) override
    {
        receive();
        received_ += static_cast<std::int64_t>(size);
        while (size > 0) {
            std::size_t piece;
            if (bytes_ < kPageFillLimit) {
                piece = std::min<std::size_t>(size, static_cast<std::size_t>(kPageSize - bytes_));
                std::memcpy(page_ + bytes_, data, piece);
                bytes_ += static_cast<int32_t>(piece);
                page_[bytes_] = '\0';
            } else {
                piece = std::min<std::size_t>(size, kDrainRead);
            }
            if (reads_ < INT32_MAX)
                ++reads_;
            data += piece;
            size -= piece;
            put(record_->bytes, bytes_);
            put(record_->reads, reads_);
        }
        return received_ <= kBodyMost;
    }

private:
    void receive()
    {
        if (receiving_)
            return;
        receiving_ = true;
        put(record_->status, -15);
        put(record_->bytes, 0);
        put(record_->reads, 0);
    }

    FetchRecord *record_;
    char *page_;
    bool post_;
    bool receiving_ = false;
    long code_ = 0;
    int32_t bytes_ = 0;
    int32_t reads_ = 0;
    std::int64_t received_ = 0;
    std::string retryAfter_;
};

// What a transfer that got no answer tells of why, in the terms a user can act on.
int32_t failureKind(CURLcode result)
{
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return TESSEL_FETCH_NAME;
    case CURLE_COULDNT_CONNECT:
        return TESSEL_FETCH_CONNECT;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
        return TESSEL_FETCH_TLS;
    case CURLE_OPERATION_TIMEDOUT:
        return TESSEL_FETCH_TIMEOUT;
    default:
        return TESSEL_FETCH_NO_ANSWER;
    }
}

bool startsWith(const char *text, const char *prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

void fetchWorker(int32_t slot, FetchRecord *record)
{
    put(record->status, -10);
    const std::string agent = nextAgent();
    const char *request = slotRequest(slot);
    bool post = startsWith(request, "post://");
    PageFetch stages(record, pageBuffer(slot), post);
    Transfer transfer(slotToken(slot), stages, agent.c_str(), true);
    if (!transfer.valid()) {
        setSlotOutcome(slot, TESSEL_FETCH_NO_ANSWER);
        return;
    }
    CURL *easy = transfer.easy();
    curl_slist *headers = nullptr;
    std::string url;
    std::string form;
    if (startsWith(request, "http://") || startsWith(request, "https://")) {
        url = request;
        put(record->status, -11);
    } else if (post) {
        // post://host/path?body. The host may name a port; without one it is 80.
        std::string rest = request + 7;
        std::size_t slash = rest.find('/');
        std::string host = rest.substr(0, slash);
        std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
        std::size_t mark = path.find('?');
        if (mark != std::string::npos) {
            form = path.substr(mark + 1);
            path.erase(mark);
        }
        url = "http://" + host + path;
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, form.c_str());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(form.size()));
        curl_easy_setopt(easy, CURLOPT_DEFAULT_PROTOCOL, "http");
        put(record->status, -12);
    } else {
        setSlotOutcome(slot, TESSEL_FETCH_BAD_REQUEST);
        return; // no scheme a fetch knows: the status stays -10
    }
    // DEL passes the request's cut but no client sends it raw; it goes escaped.
    for (std::size_t at = url.find('\x7F'); at != std::string::npos; at = url.find('\x7F', at))
        url.replace(at, 1, "%7F");
    transfer.setUrl(url.c_str());
    CURLcode result = transfer.run();
    curl_slist_free_all(headers);
    if (result == CURLE_ABORTED_BY_CALLBACK && slotToken(slot).cancelled()) {
        setSlotOutcome(slot, TESSEL_FETCH_CANCELLED);
        return; // Kill writes the rest once this thread has ended
    }
    // A body that broke off still ends the read loop: the page holds what came.
    if (stages.receiving() || result == CURLE_OK) {
        if (!stages.receiving()) {
            long code = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
            stages.responseStarts(code);
        }
        put(record->status, -20);
    }
    // A response counts by its status even when its body broke off; the page holds what came.
    // A body that came too slowly is the exception: the site did not answer in time, and
    // the caller is told so rather than that the page was read.
    bool answered = stages.code() > 0 && result != CURLE_OPERATION_TIMEDOUT;
    if (answered)
        setSlotRetryAt(slot, retryAt(stages.retryAfter().c_str(), std::time(nullptr)));
    setSlotOutcome(slot, answered ? static_cast<int32_t>(stages.code()) : failureKind(result));
}

} // namespace

} // namespace tessel

using namespace tessel;

extern "C" {

int32_t iGet(FetchRecord *record, const char *url)
{
    if (!record)
        return 0;
    int32_t slot = record->slot;
    if (slotRunning(slot))
        return 0; // its record still belongs to the running fetch
    put(record->bytes, 0);
    put(record->status, -1);
    if (!pageBuffer(slot))
        return 0; // only slots 0..49 have a page
    // The request ends at its first byte outside 0x21-0x7F: a blank, a control byte or any
    // byte of 0x80 and above.
    char request[1024];
    int length = 0;
    for (; url && length < 1023; ++length) {
        unsigned char c = static_cast<unsigned char>(url[length]);
        if (c < 0x21 || c > 0x7F)
            break;
        request[length] = static_cast<char>(c);
    }
    request[length] = '\0';
    return startSlot(slot, record, request, fetchWorker) ? 1 : 0;
}

int32_t Status(FetchRecord *record)
{
    return record && slotRunning(record->slot) ? 1 : 0;
}

int32_t FetchResult(const FetchRecord *record)
{
    if (!record || slotOwner(record->slot) != record || !pageBuffer(record->slot))
        return 0;
    return slotOutcome(record->slot);
}

int32_t Kill(FetchRecord *record)
{
    if (record && stopSlot(record->slot)) {
        put(record->bytes, 0);
        put(record->status, -24);
    }
    return 0;
}

} // extern "C"
