// Link checks: iCheck, ExitCheck. A HEAD request per hit on the slot of its result index,
// following the hit's redirects to the answer a reader would get.
#include "check.h"

#include "record.h"
#include "results.h"
#include "slots.h"
#include "transfer.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tessel {

namespace {

// Most sites answer every http:// address with a redirect to https://, and moved pages
// redirect again: a check follows up to this many redirects and reports the answer at the end.
constexpr long kMostHops = 5;

class LinkCheck : public TransferStages {
public:
    // bodiless: a GET, whose body nobody reads; the transfer ends once its head is in.
    LinkCheck(FetchRecord *record, bool bodiless) : record_(record), bodiless_(bodiless) {}

    void connected() override
    {
        put(record_->status, -13);
        put(record_->status, -14);
    }

    void requestSent() override { put(record_->status, -25); }

    bool responseStarts(long code) override
    {
        answer_ = code;
        return !bodiless_;
    }

    long answer() const { return answer_; }

private:
    FetchRecord *record_;
    bool bodiless_;
    long answer_ = 0; // the status code of the final answer, once its head is in
};

std::size_t schemeLength(const char *url)
{
    if (std::strncmp(url, "http://", 7) == 0)
        return 7;
    if (std::strncmp(url, "https://", 8) == 0)
        return 8;
    return 0;
}

// The object asked for: the path up to the query, which is dropped. Bytes a request line
// can't carry (blanks, control bytes, bytes of 0x80 and above) go percent-encoded, as a
// browser sends them.
std::string objectOf(const std::string &rest)
{
    std::size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return "/";
    std::string path = rest.substr(slash, rest.find('?', slash) - slash);
    std::string object;
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7F) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            object += escaped;
        } else {
            object += static_cast<char>(c);
        }
    }
    return object;
}

// One request of a check, its redirects followed: the status code of the last answer, or 0
// when there is none (the record's status then keeps the step that failed).
long ask(int32_t slot, FetchRecord *record, const std::string &url, bool get)
{
    const std::string agent = nextAgent();
    LinkCheck stages(record, get);
    // The transfer keeps the rule for redirects: none from a public address to a private one.
    Transfer transfer(slotToken(slot), stages, agent.c_str(), true);
    if (!transfer.valid())
        return 0;
    CURL *easy = transfer.easy();
    transfer.setUrl(url.c_str());
    // The path goes out as the page wrote it: "/a/../b" is not the same page as "/b".
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMostHops);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    if (!get)
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    put(record->status, -12);
    const CURLcode result = transfer.run();
    if (result == CURLE_ABORTED_BY_CALLBACK && slotToken(slot).cancelled())
        return 0; // ExitCheck writes the cancel
    if (stages.answer() != 0)
        return stages.answer();
    // A chain that stops at a redirect (one hop too many, a private address behind a public
    // one, a next server that doesn't answer) ends at that redirect: the link leads nowhere
    // a check may go, which is neither a live page nor a dead one.
    long hops = 0;
    long code = 0;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_COUNT, &hops);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
    return hops > 0 || result == CURLE_TOO_MANY_REDIRECTS ? code : 0;
}

void checkWorker(int32_t slot, FetchRecord *record)
{
    put(record->status, -10);
    const char *url = slotRequest(slot);
    std::size_t scheme = schemeLength(url);
    std::string rest = url + scheme;
    // The host keeps a port written after a colon; the query is dropped from the object.
    std::string target = std::string(url, scheme) + rest.substr(0, rest.find('/')) + objectOf(rest);
    long code = ask(slot, record, target, false);
    // A server that refuses HEAD (405) or doesn't know it (501) may serve the page all the
    // same: it is asked once more with a GET, whose body is not read. Without an answer to
    // that, the refusal stands.
    if (code == 405 || code == 501) {
        const long retried = ask(slot, record, target, true);
        if (retried > 0)
            code = retried;
    }
    if (code > 0)
        put(record->status, static_cast<int32_t>(code));
}

} // namespace

int32_t startCheck(FetchRecord *record, int32_t index, const char *url)
{
    if (!record)
        return 0;
    if (!url || schemeLength(url) == 0) {
        put(record->status, 404); // not a web address: "Not Found" without any traffic
        return 0;
    }
    int32_t slot = record->slot;
    if (slotRunning(slot))
        return 0; // its record still belongs to the running check
    put(record->status, -1);
    if (slot < 0 || slot >= kSlotCount)
        return 0;
    put(record->bytes, index);
    return startSlot(slot, record, url, checkWorker) ? 1 : 0;
}

} // namespace tessel

using namespace tessel;

extern "C" {

int32_t iCheck(FetchRecord *record, int32_t index)
{
    return startCheck(record, index, resultUrl(index));
}

int32_t ExitCheck(FetchRecord *record)
{
    return Kill(record);
}

} // extern "C"
