#include "transfer.h"

#include "reach.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace tessel {

namespace {

// Set up once when the library loads, before any worker thread can exist.
struct Startup {
    Startup() { curl_global_init(CURL_GLOBAL_DEFAULT); }
} startup;

std::mutex trustLock;
// Never destroyed: a worker cancelled while the program exits may still reach them after
// this file's other objects are gone.
std::string &trustedBundle = *new std::string;
std::string &sharedSource = *new std::string;
X509_STORE *sharedStore = nullptr;

// Reading the system's certificate bundle costs tens of milliseconds of processor time
// with every TLS connection when each transfer loads it on its own; a check run of https
// links would spend most of its time there, and a cancel would wait for the parse to end.
// One store is built on first use and shared by every connection; it is only read.
// Returns a new reference.
X509_STORE *verifyStore()
{
    std::lock_guard<std::mutex> lock(trustLock);
    const curl_version_info_data *curl = curl_version_info(CURLVERSION_NOW);
    std::string source = !trustedBundle.empty() ? trustedBundle : curl->cainfo ? curl->cainfo : "";
    if (!sharedStore || source != sharedSource) {
        X509_STORE *store = X509_STORE_new();
        if (!store)
            return nullptr;
        if (!source.empty())
            X509_STORE_load_file(store, source.c_str());
        if (trustedBundle.empty() && curl->capath)
            X509_STORE_load_path(store, curl->capath);
        // As libcurl does by default: an intermediate in the store may anchor a chain.
        X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
        if (sharedStore)
            X509_STORE_free(sharedStore);
        sharedStore = store;
        sharedSource = source;
    }
    X509_STORE_up_ref(sharedStore);
    return sharedStore;
}

CURLcode onSslContext(CURL *, void *context, void *)
{
    X509_STORE *store = verifyStore();
    if (!store)
        return CURLE_OUT_OF_MEMORY;
    SSL_CTX_set1_verify_cert_store(static_cast<SSL_CTX *>(context), store);
    X509_STORE_free(store);
    return CURLE_OK;
}

// How long run() sleeps when nothing happens; cancel() wakes it sooner.
constexpr int kIdleWaitMs = 1000;

// The address without the user name and password before its host. The authority ends at the
// first '/', '?' or '#'; everything up to its last '@' goes, so no '@' is left for the client
// to take a user name from.
std::string withoutUserinfo(const char *url)
{
    std::string text = url;
    std::size_t scheme = text.find("://");
    if (scheme == std::string::npos)
        return text;
    std::size_t host = scheme + 3;
    std::size_t end = std::min(text.find_first_of("/?#", host), text.size());
    std::size_t at = text.find_last_of('@', end);
    if (at != std::string::npos && at >= host && at < end)
        text.erase(host, at + 1 - host);
    return text;
}

} // namespace

bool WorkerThread::start(std::function<void()> body)
{
    join();
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr size_t kStack = 8 << 20; // instrumented code needs far more stack
#else
    constexpr size_t kStack = 512 << 10;
#endif
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStack);
    auto *task = new std::function<void()>(std::move(body));
    int failed = pthread_create(
        &thread_, &attributes,
        [](void *argument) -> void * {
            auto *work = static_cast<std::function<void()> *>(argument);
            (*work)();
            delete work;
            return nullptr;
        },
        task);
    pthread_attr_destroy(&attributes);
    if (failed) {
        delete task;
        return false;
    }
    started_ = true;
    return true;
}

void WorkerThread::join()
{
    if (started_) {
        pthread_join(thread_, nullptr);
        started_ = false;
    }
}

TransferLimits &transferLimits()
{
    static TransferLimits limits;
    return limits;
}

void trustCertificates(const std::string &bundle)
{
    std::lock_guard<std::mutex> lock(trustLock);
    trustedBundle = bundle;
}

void CancelToken::cancel()
{
    std::lock_guard<std::mutex> lock(lock_);
    cancelled_.store(true, std::memory_order_release);
    if (multi_)
        curl_multi_wakeup(multi_);
}

Transfer::Transfer(CancelToken &token, TransferStages &stages, const char *agent,
                   bool followRedirects)
    : token_(token), stages_(stages), follow_(followRedirects), multi_(curl_multi_init()),
      easy_(curl_easy_init())
{
    if (!valid())
        return;
    CURL *e = easy_;
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // Cancelling while a host name is being resolved must not wait for the resolver thread:
    // it is left to finish on its own and frees itself.
    curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, agent);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, onSslContext);
    // A server that stops sending, or drips a few bytes a second, must not hold a transfer
    // for ever: nothing else ends a fetch when the run has no time limit. A connect or TLS
    // handshake that gets no answer is the same silence.
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, transferLimits().slowestBytes);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, transferLimits().stallSeconds);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, transferLimits().stallSeconds);
    if (follow_) {
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, 20L);
        curl_easy_setopt(e, CURLOPT_AUTOREFERER, 1L);
    }
    // Credentials are never sent: none from an address (setUrl drops them, and a redirect
    // that carries some fails), none from a .netrc file.
    curl_easy_setopt(e, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
    curl_easy_setopt(e, CURLOPT_DISALLOW_USERNAME_IN_URL, 1L);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, onPrereq);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, this);
    // The debug hook is the one place libcurl tells that the request head went out; it is
    // only called in verbose mode, and with our own hook verbose mode prints nothing.
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
}

void Transfer::setUrl(const char *url)
{
    curl_easy_setopt(easy_, CURLOPT_URL, withoutUserinfo(url).c_str());
    if (strncasecmp(url, "https://", 8) == 0)
        curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "https");
}

Transfer::~Transfer()
{
    if (multi_) {
        std::lock_guard<std::mutex> lock(token_.lock_);
        token_.multi_ = nullptr;
    }
    if (easy_)
        curl_easy_cleanup(easy_);
    if (multi_)
        curl_multi_cleanup(multi_);
}

CURLcode Transfer::run()
{
    {
        std::lock_guard<std::mutex> lock(token_.lock_);
        if (token_.cancelled())
            return CURLE_ABORTED_BY_CALLBACK;
        token_.multi_ = multi_;
    }
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int queued = 0;
            while (CURLMsg *message = curl_multi_info_read(multi_, &queued))
                if (message->msg == CURLMSG_DONE)
                    result = message->data.result;
            break;
        }
        if (token_.cancelled())
            break;
        curl_multi_poll(multi_, nullptr, 0, kIdleWaitMs, nullptr);
        if (token_.cancelled())
            break;
    }
    curl_multi_remove_handle(multi_, easy_);
    if (token_.cancelled())
        result = CURLE_ABORTED_BY_CALLBACK;
    return result;
}

size_t Transfer::onHeader(char *data, size_t size, size_t count, void *self)
{
    auto &transfer = *static_cast<Transfer *>(self);
    size_t length = size * count;
    // Header lines are kept by libcurl as they come; a server that never ends its head
    // would otherwise grow this process without bound.
    transfer.headerBytes_ += length;
    if (transfer.headerBytes_ > transferLimits().headerMost)
        return 0;
    transfer.stages_.headerLine(data, length);
    if (length >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
        transfer.location_ = false; // a new response begins
    else if (length >= 9 && strncasecmp(data, "location:", 9) == 0)
        transfer.location_ = true;
    bool blank =
        (length == 2 && data[0] == '\r' && data[1] == '\n') || (length == 1 && data[0] == '\n');
    if (!blank)
        return length;
    long code = 0;
    curl_easy_getinfo(transfer.easy_, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 100 && code < 200)
        return length; // an interim answer; the real one follows
    if (transfer.follow_ && transfer.location_ && code >= 300 && code < 400 && code != 304)
        return length; // followed: the final response is still to come
    return transfer.stages_.responseStarts(code) ? length : 0;
}

size_t Transfer::onBody(char *data, size_t size, size_t count, void *self)
{
    auto &transfer = *static_cast<Transfer *>(self);
    size_t length = size * count;
    return transfer.stages_.body(data, length) ? length : 0;
}

int Transfer::onPrereq(void *self, char *, char *, int, int)
{
    static_cast<Transfer *>(self)->stages_.connected();
    return CURL_PREREQFUNC_OK;
}

// Every connection a transfer opens passes here with the address it goes to, before any
// packet is sent. The first request decides: from a private address on (the user's own
// intranet) the transfer may go anywhere; from a public one, every redirect must stay public.
curl_socket_t Transfer::onOpenSocket(void *self, curlsocktype purpose, curl_sockaddr *address)
{
    auto &transfer = *static_cast<Transfer *>(self);
    if (purpose == CURLSOCKTYPE_IPCXN) {
        long hops = 0;
        curl_easy_getinfo(transfer.easy_, CURLINFO_REDIRECT_COUNT, &hops);
        bool open = reachesPublic(&address->addr);
        if (hops == 0 && !open)
            transfer.startedPrivate_ = true;
        else if (hops > 0 && !open && !transfer.startedPrivate_)
            return CURL_SOCKET_BAD; // ends the transfer as a connect that failed
    }
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int Transfer::onDebug(CURL *, curl_infotype type, char *, size_t, void *self)
{
    if (type == CURLINFO_HEADER_OUT)
        static_cast<Transfer *>(self)->stages_.requestSent();
    return 0;
}

} // namespace tessel
