// SiteFarm: the fixture HTTP server of every network test and benchmark.
//
// It listens on 127.0.0.1 only, on a free port, and answers from its own threads (one per
// connection, so a thousand clients at once are served at once). A test registers canned
// answers per path and then checks exactly what the client sent through the request log:
//
//     using namespace testsupport;
//     SiteFarm farm;
//     farm.serve("/search", page(encode("<html>日本</html>"), "text/html; charset=Shift_JIS"));
//     farm.serve("/moved", status(301).withHeader("Location", "/search"));
//     farm.serve("/slow", page("x").withDelay(std::chrono::milliseconds(200)));
//     farm.serve("/hang", page("").withFault(Fault::StallBeforeHeaders));
//     farm.serve("/drip", page(std::string(5000, 'a')).withDrip(100,
//     std::chrono::milliseconds(10))); farm.serve("/cut", page(std::string(1000,
//     'a')).withFault(Fault::CutOff, 300));
//                                            // Content-Length 1000, 300 bytes, then close
//     farm.serve("/echo", SiteFarm::echo);   // answers the body sent (form posts)
//     farm.serve("/q", [](const Request &r) { return page(r.param("q")); });  // computed
//     SearchSite site;
//     site.totalHits = 25;
//     farm.serveSearch("/site1/search", site);
//     ... client talks to farm.url("/search") ...
//     EXPECT_EQ(farm.requests("/search").at(0).header("User-Agent"), "INET1");
//
// HEAD requests are answered from the same registrations with the headers only (any status,
// 301/302 with Location included); faults apply to them as well. Stalls and drip pauses end
// at once when the client goes away or the farm stops, so `openConnections()` shows whether a
// client really closed its socket; a plain delay runs its course unless the farm stops.
// Stopping never hangs on a stalled connection. Unregistered paths answer 404.
//
// The standalone program `sitefarm` (tests/support/sitefarm_main.cpp) serves the same for
// benchmarks and end-to-end runs; it prints "port N" on its first line and runs until SIGINT
// or SIGTERM:
//
//     sitefarm [--port P] [--dir DIR] [--sites N] [--hits H] [--total T] [--delay-ms D]
//              [--page-kb K] [--charset CP932|EUC-JP|UTF-8]
//
//   --dir DIR     serve the files under DIR (canned pages) at their relative paths
//   --sites N     N generated search sites at /site1/search … /siteN/search (query q, first
//                 hit p, 1-based), H hits a page (default 10) of T in all (default 50),
//                 answering after D ms, each page padded to at least K KB, in the charset
//                 (default CP932); the hit links /doc/siteK/N answer 200
//   --port P      listen on P instead of a free port
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace testsupport {

// What goes wrong with an answer, and where.
enum class Fault {
    None,
    StallBeforeHeaders, // the request is read, nothing is ever sent
    CloseBeforeHeaders, // the request is read, the connection is closed without an answer
    Reset,              // the request is read, the connection is reset (RST)
    StallMidBody,       // headers and faultAfter body bytes, then nothing more
    CutOff,             // headers with the full Content-Length, faultAfter bytes, then close
    ResetMidBody,       // headers and faultAfter body bytes, then reset
    Endless,            // headers without a length, then the body over and over, never ending
};

struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "text/html";
    std::vector<std::pair<std::string, std::string>> headers; // extra header lines
    std::chrono::milliseconds delay{0};                       // before the headers
    Fault fault = Fault::None;
    std::size_t faultAfter = 0;
    std::size_t dripBytes = 0;             // send the body this many bytes at a time …
    std::chrono::milliseconds dripEvery{}; // … pausing this long before each piece

    Answer withStatus(int code) const;
    Answer withHeader(const std::string &name, const std::string &value) const;
    Answer withDelay(std::chrono::milliseconds before) const;
    Answer withFault(Fault what, std::size_t after = 0) const;
    Answer withDrip(std::size_t bytes, std::chrono::milliseconds every) const;
};

// A 200 answer with this body.
Answer page(std::string body, std::string contentType = "text/html");
// An answer with this status and a short text body.
Answer status(int code);
// A gzip stream that inflates to this many zero bytes (a few bytes per kilobyte inflated).
std::string gzipOfZeros(std::size_t inflated);

// One request as the farm received it.
struct Request {
    std::string method;
    std::string path;    // without the query
    std::string query;   // raw, as sent, without "?"
    std::string target;  // raw request target
    std::string version; // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;
    std::multimap<std::string, std::string> params; // decoded query (and form) parameters
    std::string body;

    // Value of the first header of that name (any letter case); empty when absent.
    std::string header(const std::string &name) const;
    bool hasHeader(const std::string &name) const;
    std::string param(const std::string &name) const;
};

using Handler = std::function<Answer(const Request &)>;

// A generated search site: a result page per query and first-hit number.
struct SearchSite {
    std::string queryParam = "q";
    std::string firstParam = "p"; // number of the first hit asked for; absent: the first
    int firstBase = 1;            // the number of the very first hit in firstParam
    int hitsPerPage = 10;
    int totalHits = 50;
    const char *charset = "CP932"; // page bytes: "CP932", "EUC-JP" or "UTF-8"
    std::size_t padTo = 0;         // pad each page with a leading comment to this many bytes
    std::chrono::milliseconds delay{0};
};

class SiteFarm {
public:
    struct Tls {};
    SiteFarm();
    explicit SiteFarm(int port); // a fixed port (the standalone program); 0 picks a free one
    // https with a fresh self-signed certificate for 127.0.0.1 (see certificate()). Plain
    // answers and delays only: the faults are played on the raw socket, below TLS.
    explicit SiteFarm(Tls);
    ~SiteFarm();
    SiteFarm(const SiteFarm &) = delete;
    SiteFarm &operator=(const SiteFarm &) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" (https for a TLS farm) followed by the path (starting "/").
    std::string url(const std::string &path) const;
    // The PEM file of a TLS farm's certificate, for a client to trust; empty otherwise.
    const std::string &certificate() const { return certificate_; }

    void serve(const std::string &path, Answer answer);
    void serve(const std::string &path, Handler handler);
    // Every path starting with the prefix that has no exact registration.
    void servePrefix(const std::string &prefix, Handler handler);
    // Files under the directory at their relative paths ("/a/b.html" -> dir/a/b.html).
    void serveDirectory(const std::string &dir);
    // Result pages of a generated site; its hit links <path>/doc/N answer 200.
    void serveSearch(const std::string &path, SearchSite site);
    // The result page of a generated site for a query (raw bytes as sent) and first hit.
    std::string searchPage(const SearchSite &site, const std::string &path,
                           const std::string &rawQuery, int first) const;

    // An answer that echoes the request body (form posts).
    static Answer echo(const Request &request);

    std::vector<Request> requests() const;
    std::vector<Request> requests(const std::string &path) const;
    std::size_t requestCount() const;
    void clearLog();
    // Waits (bounded) until at least n requests were logged.
    bool waitForRequests(std::size_t n,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Connections the farm holds open right now.
    int openConnections() const;

    // Ends every answer in progress, closes every connection and joins every thread.
    // Idempotent; the destructor calls it.
    void stop();

private:
    // Answers are shared, not copied: a benchmark serves 100 KB pages to fifty clients at once.
    using Route = std::function<std::shared_ptr<const Answer>(const Request &)>;
    void addRoute(const std::string &path, bool prefix, Route route);
    std::shared_ptr<const Answer> answerFor(const Request &request);
    void start(int port, bool tls);
    void respond(const Request &request, const std::shared_ptr<const Answer> &answer, int localPort,
                 int remotePort, void *response);
    bool pause(int fd, std::chrono::milliseconds duration);
    void closeConnections() const;

    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::string certificate_;
    std::string keyDir_;
    std::thread listener_;
    std::atomic<bool> listening_{false};
    std::atomic<int> open_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    bool stopped_ = false;
    std::map<std::string, std::shared_ptr<const Route>> exact_;
    std::vector<std::pair<std::string, std::shared_ptr<const Route>>> prefixes_;
    std::vector<Request> log_;
};

// Ports for the stages before a server answers, all on 127.0.0.1.
//
// Tarpit: its listen queue is kept full, so a new connect is never completed (the kernel
// drops the SYN) until the client gives up.
// SilentPort: connections complete but nobody ever answers (a TLS handshake or a request
// waits forever). clientSpoke() tells when a client has sent its first bytes (a TLS client
// hello, a request), which proves it is past connecting; hangUp() closes what it accepted.
class Tarpit {
public:
    Tarpit();
    ~Tarpit();
    Tarpit(const Tarpit &) = delete;
    Tarpit &operator=(const Tarpit &) = delete;
    int port() const { return port_; }

private:
    int listener_ = -1;
    std::vector<int> fillers_;
    int port_ = 0;
};

class SilentPort {
public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort &) = delete;
    SilentPort &operator=(const SilentPort &) = delete;
    int port() const { return port_; }
    bool clientSpoke();
    void hangUp();

private:
    int listener_ = -1;
    std::vector<int> accepted_;
    int port_ = 0;
};

// A port on which nothing listens: connecting is refused at once.
int refusedPort();

// Descriptors and threads of this process right now (to prove nothing was left behind).
int openDescriptors();
int runningThreads();

// ---- A server that never ends its head ----
//
// HeadDrip answers every connection on 127.0.0.1 with a status line and then header lines
// that never end, `bytes` bytes every `every`: a server that is never silent and never
// answers. Connections end when the client closes them or the HeadDrip goes.
class HeadDrip {
public:
    HeadDrip(std::size_t bytes, std::chrono::milliseconds every);
    ~HeadDrip();
    HeadDrip(const HeadDrip &) = delete;
    HeadDrip &operator=(const HeadDrip &) = delete;
    // "http://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string &path) const;

private:
    void run();

    std::size_t bytes_;
    std::chrono::milliseconds every_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

} // namespace testsupport
