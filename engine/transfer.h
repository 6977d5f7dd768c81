// One cancellable HTTP transfer, shared by page fetches, link checks and downloads.
// Library-internal.
//
// A worker thread builds a Transfer, sets its options and calls run(), which drives the
// transfer on that thread until it ends. Any other thread may call cancel() on the worker's
// CancelToken at any moment: run() then returns within milliseconds whatever the transfer is
// doing (resolving, connecting, TLS, waiting for headers, reading the body), because the wait
// it sits in is woken rather than timed out. Threads are never killed.
#pragma once

#include <curl/curl.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace tessel {

class CancelToken {
public:
    // From any thread, any number of times, whether or not a transfer is running.
    void cancel();
    bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // Only while no worker uses the token (before its thread starts).
    void reset() { cancelled_.store(false, std::memory_order_release); }

private:
    friend class Transfer;
    std::mutex lock_;
    CURLM *multi_ = nullptr; // the running transfer's multi handle, woken by cancel()
    std::atomic<bool> cancelled_{false};
};

// What a worker learns of its transfer's progress; every call comes on the worker's thread.
class TransferStages {
public:
    virtual ~TransferStages() = default;
    // Connected (TLS included); the request is about to go out.
    virtual void connected() {}
    // The request head has been sent.
    virtual void requestSent() {}
    // One header line as it came (CR LF included), of every response: a redirect's too, so a
    // stage that keeps a header starts afresh at each status line ("HTTP/...").
    virtual void headerLine(const char * /*line*/, std::size_t /*length*/) {}
    // The headers of the final response (not a redirect being followed) are complete.
    // Returning false ends the transfer as a failure.
    virtual bool responseStarts(long /*code*/) { return true; }
    // A piece of the body. Returning false ends the transfer as a failure.
    virtual bool body(const char * /*data*/, std::size_t /*size*/) { return true; }
};

class Transfer {
public:
    // agent: the User-Agent text. followRedirects: follow Location answers as a browser does.
    Transfer(CancelToken &token, TransferStages &stages, const char *agent, bool followRedirects);
    ~Transfer();
    Transfer(const Transfer &) = delete;
    Transfer &operator=(const Transfer &) = delete;

    // False when the handles could not be created (out of memory or descriptors).
    bool valid() const { return easy_ && multi_; }
    CURL *easy() const { return easy_; }

    // The address to ask. A user name and password written into it are dropped: they come
    // from a page, not from the user, and go to no server. A transfer that starts on https
    // follows no redirect to plain http: what began private stays private. One that starts
    // on a public address follows no redirect to an address that is not (reach.h).
    void setUrl(const char *url);

    // Drives the transfer to its end: CURLE_OK, the failure, or CURLE_ABORTED_BY_CALLBACK
    // when the token was cancelled (before or during the run).
    CURLcode run();

private:
    static size_t onHeader(char *data, size_t size, size_t count, void *self);
    static size_t onBody(char *data, size_t size, size_t count, void *self);
    static int onPrereq(void *self, char *, char *, int, int);
    static int onDebug(CURL *, curl_infotype type, char *, size_t, void *self);
    static curl_socket_t onOpenSocket(void *self, curlsocktype purpose, curl_sockaddr *address);

    CancelToken &token_;
    TransferStages &stages_;
    bool follow_;
    bool location_ = false;       // the response being read carries a Location header
    std::size_t headerBytes_ = 0; // of every response of this transfer, redirects included
    bool startedPrivate_ = false; // the first request went to an address that is not public
    CURLM *multi_ = nullptr;
    CURL *easy_ = nullptr;
};

// A worker's thread. Its stack is small: a check run starts up to 999 of them at once, and
// with the usual 8 MB stacks most of their cost would be mapping and unmapping stacks.
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread() { join(); }
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    // False when no thread could be created.
    bool start(std::function<void()> body);
    bool joinable() const { return started_; }
    void join();

private:
    pthread_t thread_{};
    bool started_ = false;
};

// What a hostile server may cost a transfer. A transfer that receives fewer than
// slowestBytes bytes a second for stallSeconds (a connect that takes that long included)
// ends as a failure of the stage it is in, with CURLE_OPERATION_TIMEDOUT; the header lines
// of all its responses together may not pass headerMost bytes; a download fails once its
// body passes downloadMost bytes. Tests lower them; set them before any transfer starts.
struct TransferLimits {
    long stallSeconds = 60;
    long slowestBytes = 100;
    std::size_t headerMost = 256 * 1024;
    std::int64_t downloadMost = std::int64_t{512} << 20;
};
TransferLimits &transferLimits();

// Tests only: verify TLS peers against this bundle instead of the system store. An empty
// text restores the system store. Call before any transfer starts.
void trustCertificates(const std::string &bundle);

} // namespace tessel
