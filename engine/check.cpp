// Link checks: iCheck, ExitCheck. A HEAD request per hit on the slot of its result index.
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

class HeadCheck : public TransferStages {
public:
    explicit HeadCheck(FetchRecord *record) : record_(record) {}

    void connected() override
    {
        put(record_->status, -13);
        put(record_->status, -14);
    }

    void requestSent() override { put(record_->status, -25); }

private:
    FetchRecord *record_;
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

void checkWorker(int32_t slot, FetchRecord *record)
{
    put(record->status, -10);
    char agent[32];
    std::snprintf(agent, sizeof agent, "INET%d", nextAgent());
    HeadCheck stages(record);
    Transfer transfer(slotToken(slot), stages, agent, false);
    if (!transfer.valid())
        return;
    const char *url = slotRequest(slot);
    std::size_t scheme = schemeLength(url);
    std::string rest = url + scheme;
    // The host keeps a port written after a colon; the object is sent as it stands.
    std::string origin = std::string(url, scheme) + rest.substr(0, rest.find('/')) + "/";
    std::string object = objectOf(rest);
    CURL *easy = transfer.easy();
    transfer.setUrl(origin.c_str());
    curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, object.c_str());
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    put(record->status, -12);
    CURLcode result = transfer.run();
    if (result != CURLE_OK)
        return; // the status stays at the step that failed; a cancel is written by ExitCheck
    long code = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
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
