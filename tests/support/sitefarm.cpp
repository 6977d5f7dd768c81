#include "sitefarm.h"

#include "sandbox.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr auto kForever = std::chrono::hours(24);

// A thread for every connection at once: a test may hold a thousand connections open
// (stalled answers, link checks), and a fixed pool would make them queue and distort every
// timing. Threads that finish wait a while for the next connection before they end, so a
// burst of short connections does not pay for a thread each; their stacks are kept small.
class ConnectionThreads : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(std::atomic<int> &open) : open_(open) {}

    void enqueue(std::function<void()> fn) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++open_;
        jobs_.push_back(std::move(fn));
        reap();
        if (jobs_.size() <= idle_) {
            wake_.notify_one();
            return;
        }
        auto *worker = new Worker{this, {}, false};
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        pthread_attr_setstacksize(&attributes, 1 << 20);
#endif
        int failed = pthread_create(&worker->thread, &attributes, run, worker);
        pthread_attr_destroy(&attributes);
        if (failed) {
            // Out of threads: the job waits for a thread that is busy now.
            delete worker;
            return;
        }
        workers_.push_back(worker);
    }

    void shutdown() override
    {
        std::list<Worker *> all;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            all.swap(workers_);
        }
        wake_.notify_all();
        for (Worker *worker : all) {
            pthread_join(worker->thread, nullptr);
            delete worker;
        }
    }

private:
    struct Worker {
        ConnectionThreads *pool;
        pthread_t thread;
        bool done;
    };

    static void *run(void *argument)
    {
        auto *worker = static_cast<Worker *>(argument);
        ConnectionThreads &pool = *worker->pool;
        std::unique_lock<std::mutex> lock(pool.mutex_);
        for (;;) {
            if (!pool.jobs_.empty()) {
                std::function<void()> job = std::move(pool.jobs_.front());
                pool.jobs_.pop_front();
                lock.unlock();
                job();
                --pool.open_;
                lock.lock();
                continue;
            }
            if (pool.stopping_)
                break;
            ++pool.idle_;
            bool woken = pool.wake_.wait_for(lock, std::chrono::seconds(2),
                                             [&] { return !pool.jobs_.empty() || pool.stopping_; });
            --pool.idle_;
            if (!woken)
                break;
        }
        worker->done = true;
        return nullptr;
    }

    // Joins the threads that ended on their own; called with the lock held.
    void reap()
    {
        for (auto it = workers_.begin(); it != workers_.end();) {
            if ((*it)->done) {
                pthread_join((*it)->thread, nullptr);
                delete *it;
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::atomic<int> &open_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::list<Worker *> workers_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

int portOf(const sockaddr_storage &address)
{
    if (address.ss_family != AF_INET)
        return -1;
    return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
}

// Calls visit(fd, localPort, peerPort) for every connected IPv4 socket of the process.
template <typename Visit> void forEachSocket(Visit visit)
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    int own = dirfd(dir);
    while (dirent *entry = readdir(dir)) {
        char *end = nullptr;
        long fd = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || end == entry->d_name || fd == own)
            continue;
        sockaddr_storage local{}, peer{};
        socklen_t length = sizeof local;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr *>(&local), &length) != 0)
            continue;
        length = sizeof peer;
        if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr *>(&peer), &length) != 0)
            continue;
        if (visit(static_cast<int>(fd), portOf(local), portOf(peer)))
            break;
    }
    closedir(dir);
}

// The socket of the connection a handler serves. The library keeps it to itself, but a
// fault (reset, cut-off, stall) has to be played on that very socket.
int socketOf(int localPort, int remotePort)
{
    int found = -1;
    forEachSocket([&](int fd, int local, int peer) {
        if (local == localPort && peer == remotePort)
            found = fd;
        return found >= 0;
    });
    return found;
}

bool peerGone(int fd)
{
    pollfd item{fd, POLLRDHUP, 0};
    return poll(&item, 1, 0) > 0 && (item.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool sendAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Aborts the connection with RST: disconnecting a TCP socket resets it while the descriptor
// stays valid for the library, which closes it as usual afterwards.
void resetConnection(int fd)
{
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    connect(fd, &unspecified, sizeof unspecified);
}

const char *reasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

std::string htmlEscape(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

const char *charsetLabel(const char *charset)
{
    std::string name = charset;
    if (name == "CP932")
        return "Shift_JIS";
    return charset;
}

} // namespace

namespace {

// The library listens with a backlog of 5; a burst of a thousand connects would then wait
// for SYN retransmits and every timing would measure the backlog instead. Its socket is a
// protected member, reached here through a derived class.
struct Backlog : httplib::Server {
    static void widen(httplib::Server &server)
    {
        auto socket = &Backlog::svr_sock_;
        ::listen((server.*socket).load(), 4096);
    }
};

// A self-signed certificate for 127.0.0.1 (P-256 key) written as PEM files.
void writeCertificate(const std::string &certificate, const std::string &key)
{
    EVP_PKEY *pair = EVP_EC_gen("P-256");
    X509 *cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 7 * 86400);
    X509_set_pubkey(cert, pair);
    X509_NAME *name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *alt =
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1");
    X509_add_ext(cert, alt, -1);
    X509_EXTENSION_free(alt);
    X509_sign(cert, pair, EVP_sha256());
    FILE *out = std::fopen(certificate.c_str(), "w");
    PEM_write_X509(out, cert);
    std::fclose(out);
    out = std::fopen(key.c_str(), "w");
    PEM_write_PrivateKey(out, pair, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    X509_free(cert);
    EVP_PKEY_free(pair);
}

} // namespace

Answer page(std::string body, std::string contentType)
{
    Answer answer;
    answer.body = std::move(body);
    answer.contentType = std::move(contentType);
    return answer;
}

Answer status(int code)
{
    Answer answer;
    answer.status = code;
    answer.body = std::to_string(code) + " " + reasonOf(code);
    answer.contentType = "text/plain";
    return answer;
}

std::string gzipOfZeros(std::size_t inflated)
{
    z_stream z{};
    // Run-length matching finds the zeros at once: a gigabyte takes about a second.
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_RLE) != Z_OK)
        throw std::runtime_error("deflateInit2");
    static const std::string zeros(1 << 20, '\0');
    std::string out;
    char buffer[1 << 16];
    std::size_t left = inflated;
    int flush = Z_NO_FLUSH;
    do {
        const std::size_t piece = std::min(left, zeros.size());
        left -= piece;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.data()));
        z.avail_in = static_cast<uInt>(piece);
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, flush);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return out;
}

Answer Answer::withStatus(int code) const
{
    Answer copy = *this;
    copy.status = code;
    return copy;
}

Answer Answer::withHeader(const std::string &name, const std::string &value) const
{
    Answer copy = *this;
    copy.headers.emplace_back(name, value);
    return copy;
}

Answer Answer::withDelay(std::chrono::milliseconds before) const
{
    Answer copy = *this;
    copy.delay = before;
    return copy;
}

Answer Answer::withFault(Fault what, std::size_t after) const
{
    Answer copy = *this;
    copy.fault = what;
    copy.faultAfter = after;
    return copy;
}

Answer Answer::withDrip(std::size_t bytes, std::chrono::milliseconds every) const
{
    Answer copy = *this;
    copy.dripBytes = bytes;
    copy.dripEvery = every;
    return copy;
}

std::string Request::header(const std::string &name) const
{
    for (const auto &[key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    return {};
}

bool Request::hasHeader(const std::string &name) const
{
    return std::any_of(headers.begin(), headers.end(), [&](const auto &item) {
        return strcasecmp(item.first.c_str(), name.c_str()) == 0;
    });
}

std::string Request::param(const std::string &name) const
{
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

SiteFarm::SiteFarm()
{
    start(0, false);
}

SiteFarm::SiteFarm(int port)
{
    start(port, false);
}

SiteFarm::SiteFarm(Tls)
{
    start(0, true);
}

SiteFarm::~SiteFarm()
{
    stop();
    if (!keyDir_.empty())
        std::filesystem::remove_all(keyDir_);
}

void SiteFarm::start(int port, bool tls)
{
    signal(SIGPIPE, SIG_IGN); // a client that went away must not end the test program
    // A proxy configured in the environment must not carry the clients' loopback traffic.
    static std::once_flag bypass;
    std::call_once(bypass, [] {
        const char *current = std::getenv("no_proxy");
        std::string hosts = "127.0.0.1,localhost";
        if (current && *current)
            hosts += std::string(",") + current;
        setenv("no_proxy", hosts.c_str(), 1);
    });
    if (tls) {
        std::string dir = (std::filesystem::temp_directory_path() / "sitefarm-XXXXXX").string();
        if (!mkdtemp(dir.data()))
            throw std::runtime_error("mkdtemp failed");
        keyDir_ = dir;
        certificate_ = dir + "/cert.pem";
        writeCertificate(certificate_, dir + "/key.pem");
        server_ =
            std::make_unique<httplib::SSLServer>(certificate_.c_str(), (dir + "/key.pem").c_str());
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    server_->new_task_queue = [this] { return new ConnectionThreads(open_); };
    // Headers and body go out in separate writes; with Nagle's algorithm the body would wait
    // for the client's delayed acknowledgement, 40 ms on every answer.
    server_->set_tcp_nodelay(true);
    auto handler = [this](const httplib::Request &in, httplib::Response &out) {
        Request request;
        request.method = in.method;
        request.path = in.path;
        request.target = in.target;
        auto mark = in.target.find('?');
        if (mark != std::string::npos)
            request.query = in.target.substr(mark + 1);
        request.version = in.version;
        request.headers.assign(in.headers.begin(), in.headers.end());
        request.params.insert(in.params.begin(), in.params.end());
        request.body = in.body;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            log_.push_back(request);
        }
        changed_.notify_all();
        respond(request, answerFor(request), in.local_port, in.remote_port, &out);
    };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    server_->Put(".*", handler);
    server_->Delete(".*", handler);
    server_->Options(".*", handler);
    server_->Patch(".*", handler);
    if (port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else if (server_->bind_to_port("127.0.0.1", port)) {
        port_ = port;
    }
    if (port_ <= 0)
        throw std::runtime_error("the fixture server can't listen on 127.0.0.1");
    Backlog::widen(*server_);
    listening_ = true;
    listener_ = std::thread([this] {
        server_->listen_after_bind();
        listening_ = false;
    });
    // stop() only takes effect once the library has begun listening.
    while (!server_->is_running() && listening_)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SiteFarm::closeConnections() const
{
    forEachSocket([&](int fd, int local, int) {
        if (local == port_)
            shutdown(fd, SHUT_RDWR);
        return false;
    });
}

void SiteFarm::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_)
            return;
        stopped_ = stopping_ = true;
    }
    changed_.notify_all();
    server_->stop();
    // Idle keep-alive connections would hold their threads for seconds; close them, and any
    // accepted while the listener was winding down, until every thread has been joined.
    while (listening_) {
        closeConnections();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    listener_.join();
}

std::string SiteFarm::url(const std::string &path) const
{
    return (certificate_.empty() ? "http://127.0.0.1:" : "https://127.0.0.1:") +
           std::to_string(port_) + path;
}

void SiteFarm::serve(const std::string &path, Answer answer)
{
    auto fixed = std::make_shared<const Answer>(std::move(answer));
    addRoute(path, false, [fixed](const Request &) { return fixed; });
}

void SiteFarm::serve(const std::string &path, Handler handler)
{
    addRoute(path, false, [handler = std::move(handler)](const Request &request) {
        return std::make_shared<const Answer>(handler(request));
    });
}

void SiteFarm::servePrefix(const std::string &prefix, Handler handler)
{
    addRoute(prefix, true, [handler = std::move(handler)](const Request &request) {
        return std::make_shared<const Answer>(handler(request));
    });
}

void SiteFarm::addRoute(const std::string &path, bool prefix, Route route)
{
    auto shared = std::make_shared<const Route>(std::move(route));
    std::lock_guard<std::mutex> lock(mutex_);
    if (!prefix) {
        exact_[path] = shared;
        return;
    }
    prefixes_.emplace_back(path, shared);
    // Longest prefix first, so a more specific registration wins.
    std::stable_sort(prefixes_.begin(), prefixes_.end(),
                     [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
}

void SiteFarm::serveDirectory(const std::string &dir)
{
    servePrefix("/", [dir](const Request &request) {
        if (request.path.find("..") != std::string::npos)
            return status(404);
        std::ifstream in(dir + request.path, std::ios::binary);
        if (!in)
            return status(404);
        Answer answer;
        answer.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (request.path.ends_with(".txt"))
            answer.contentType = "text/plain";
        return answer;
    });
}

Answer SiteFarm::echo(const Request &request)
{
    return page(request.body, "text/plain");
}

std::shared_ptr<const Answer> SiteFarm::answerFor(const Request &request)
{
    std::shared_ptr<const Route> route;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto exact = exact_.find(request.path);
        if (exact != exact_.end()) {
            route = exact->second;
        } else {
            for (const auto &[prefix, candidate] : prefixes_) {
                if (request.path.starts_with(prefix)) {
                    route = candidate;
                    break;
                }
            }
        }
    }
    if (!route)
        return std::make_shared<const Answer>(status(404));
    return (*route)(request);
}

bool SiteFarm::pause(int fd, std::chrono::milliseconds duration)
{
    auto deadline = std::chrono::steady_clock::now() + duration;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopping_ || (fd >= 0 && peerGone(fd)))
            return false;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        // Without a socket to watch there is nothing to look at until the deadline.
        auto step = fd < 0 ? deadline - now
                           : std::min<std::chrono::steady_clock::duration>(
                                 deadline - now, std::chrono::milliseconds(5));
        changed_.wait_for(lock, step, [this] { return stopping_; });
    }
}

void SiteFarm::respond(const Request &request, const std::shared_ptr<const Answer> &shared,
                       int localPort, int remotePort, void *response)
{
    const Answer &answer = *shared;
    auto &out = *static_cast<httplib::Response *>(response);
    bool raw = answer.fault != Fault::None || answer.dripBytes > 0;
    // A plain delay needs no socket: it ends anyway, and looking the socket up costs a scan of
    // every descriptor, which adds up when a benchmark opens hundreds of connections.
    int fd = raw ? socketOf(localPort, remotePort) : -1;
    // After an abandoned answer the library's own write fails on the closed socket and it
    // drops the connection; nothing else reaches the client.
    auto abandon = [fd] {
        if (fd >= 0)
            shutdown(fd, SHUT_RDWR);
    };
    if (answer.delay.count() > 0 && !pause(fd, answer.delay))
        return abandon();
    if (!raw) {
        out.status = answer.status;
        for (const auto &[name, value] : answer.headers)
            out.set_header(name, value);
        if (answer.body.empty()) {
            out.set_content("", answer.contentType);
            return;
        }
        // Written straight from the shared answer, without a copy into the response.
        out.set_content_provider(answer.body.size(), answer.contentType,
                                 [shared](size_t offset, size_t length, httplib::DataSink &sink) {
                                     return sink.write(shared->body.data() + offset, length);
                                 });
        return;
    }
    if (fd < 0) {
        out.status = 500;
        return;
    }
    switch (answer.fault) {
    case Fault::StallBeforeHeaders:
        pause(fd, kForever);
        return abandon();
    case Fault::CloseBeforeHeaders:
        return abandon();
    case Fault::Reset:
        return resetConnection(fd);
    default:
        break;
    }
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + reasonOf(answer.status) +
                       "\r\nContent-Type: " + answer.contentType + "\r\n";
    if (answer.fault != Fault::Endless)
        head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    for (const auto &[name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!sendAll(fd, head.data(), head.size()))
        return abandon();
    if (answer.fault == Fault::Endless && request.method != "HEAD" && !answer.body.empty()) {
        while (pause(fd, std::chrono::milliseconds(0)) &&
               sendAll(fd, answer.body.data(), answer.body.size())) {
        }
        return abandon();
    }
    std::size_t length = request.method == "HEAD" ? 0 : answer.body.size();
    if (answer.fault != Fault::None)
        length = std::min(length, answer.faultAfter);
    std::size_t piece = answer.dripBytes > 0 ? answer.dripBytes : length;
    for (std::size_t sent = 0; sent < length; sent += piece) {
        if (answer.dripEvery.count() > 0 && !pause(fd, answer.dripEvery))
            return abandon();
        if (!sendAll(fd, answer.body.data() + sent, std::min(piece, length - sent)))
            return abandon();
    }
    if (answer.fault == Fault::StallMidBody)
        pause(fd, kForever);
    if (answer.fault == Fault::ResetMidBody)
        return resetConnection(fd);
    abandon();
}

std::vector<Request> SiteFarm::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

std::vector<Request> SiteFarm::requests(const std::string &path) const
{
    std::vector<Request> matching;
    std::lock_guard<std::mutex> lock(mutex_);
    std::copy_if(log_.begin(), log_.end(), std::back_inserter(matching),
                 [&](const Request &request) { return request.path == path; });
    return matching;
}

std::size_t SiteFarm::requestCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return log_.size();
}

void SiteFarm::clearLog()
{
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

bool SiteFarm::waitForRequests(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return log_.size() >= n; });
}

int SiteFarm::openConnections() const
{
    return open_.load();
}

void SiteFarm::serveSearch(const std::string &path, SearchSite site)
{
    serve(path, [this, path, site](const Request &request) {
        int first = site.firstBase;
        std::string value = request.param(site.firstParam);
        if (!value.empty())
            first = std::atoi(value.c_str());
        return page(searchPage(site, path, request.param(site.queryParam), first),
                    std::string("text/html; charset=") + charsetLabel(site.charset))
            .withDelay(site.delay);
    });
    servePrefix(path + "/doc/", [](const Request &request) {
        return page("<html><body>" + request.path + "</body></html>");
    });
}

std::string SiteFarm::searchPage(const SearchSite &site, const std::string &path,
                                 const std::string &rawQuery, int first) const
{
    // Written in UTF-8 with \x01 where the query goes, converted, and then the query's own
    // bytes (already in the site's charset, as the client sent them) put in.
    int from = std::max(0, first - site.firstBase);
    int to = std::min(site.totalHits, from + site.hitsPerPage);
    std::string text = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=" +
                       std::string(charsetLabel(site.charset)) +
                       "\"><title>検索結果</title></head><body>\n";
    text += "<p class=\"count\">\x01: 全 " + std::to_string(site.totalHits) + " 件中 " +
            std::to_string(from + 1) + " - " + std::to_string(to) + " 件</p>\n<ol>\n";
    for (int n = from + 1; n <= to; ++n) {
        std::string number = std::to_string(n);
        text += "<li><a href=\"" + url(path + "/doc/" + number) + "\">\x01 の結果 " + number +
                "</a><p>\x01 について " + number + " 番目の説明です。</p><span class=\"size\">" +
                std::to_string(n * 3) + "KB</span><span class=\"date\">2024/01/" +
                std::to_string(n % 28 + 1) + "</span></li>\n";
    }
    text += "</ol>\n";
    if (to < site.totalHits)
        text += "<a class=\"next\" href=\"" + path + "?" + site.firstParam + "=" +
                std::to_string(site.firstBase + to) + "\">次へ</a>\n";
    text += "</body></html>\n";
    std::string bytes = std::string(site.charset) == "UTF-8" ? text : encode(text, site.charset);
    std::string query = htmlEscape(rawQuery);
    std::string page;
    for (char c : bytes) {
        if (c == '\x01')
            page += query;
        else
            page += c;
    }
    if (page.size() < site.padTo) {
        auto at = page.find("<body>") + 6;
        std::string pad = "<!--" + std::string(site.padTo - page.size(), ' ') + "-->";
        page.insert(at, pad);
    }
    return page;
}

namespace {

// A TCP socket listening on 127.0.0.1 on a free port.
int listenOnLoopback(int backlog, int &port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("can't listen on 127.0.0.1");
    port = ntohs(address.sin_port);
    return fd;
}

// Starts a connect to the port; true when it completed within the wait.
bool connectTo(int port, int &fd, std::chrono::milliseconds wait)
{
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return true;
    pollfd item{fd, POLLOUT, 0};
    return poll(&item, 1, static_cast<int>(wait.count())) > 0;
}

int countEntries(const char *dir)
{
    int count = 0;
    if (DIR *handle = opendir(dir)) {
        while (dirent *entry = readdir(handle))
            if (entry->d_name[0] != '.')
                ++count;
        closedir(handle);
    }
    return count;
}

} // namespace

Tarpit::Tarpit()
{
    listener_ = listenOnLoopback(0, port_);
    // With a backlog of 0 the queue is full after one or two unaccepted connections; the
    // first connect that does not complete proves it.
    for (int i = 0; i < 16; ++i) {
        int fd = -1;
        bool completed = connectTo(port_, fd, std::chrono::milliseconds(50));
        fillers_.push_back(fd);
        if (!completed)
            return;
    }
    throw std::runtime_error("the tarpit's queue never filled");
}

Tarpit::~Tarpit()
{
    for (int fd : fillers_)
        close(fd);
    close(listener_);
}

SilentPort::SilentPort()
{
    listener_ = listenOnLoopback(4096, port_);
    fcntl(listener_, F_SETFL, fcntl(listener_, F_GETFL) | O_NONBLOCK);
}

SilentPort::~SilentPort()
{
    hangUp();
    close(listener_);
}

bool SilentPort::clientSpoke()
{
    for (int fd; (fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;)
        accepted_.push_back(fd);
    for (int fd : accepted_) {
        char byte;
        if (recv(fd, &byte, 1, MSG_PEEK) > 0)
            return true;
    }
    return false;
}

void SilentPort::hangUp()
{
    for (int fd : accepted_)
        close(fd);
    accepted_.clear();
}

int refusedPort()
{
    int port = 0;
    int fd = listenOnLoopback(1, port);
    close(fd);
    return port;
}

int openDescriptors()
{
    return countEntries("/proc/self/fd") - 1;
}

int runningThreads()
{
    return countEntries("/proc/self/task");
}

// ---- A server that never ends its head ----

HeadDrip::HeadDrip(std::size_t bytes, std::chrono::milliseconds every)
    : bytes_(std::max<std::size_t>(bytes, 1)), every_(every)
{
    listener_ = listenOnLoopback(64, port_);
    fcntl(listener_, F_SETFL, fcntl(listener_, F_GETFL) | O_NONBLOCK);
    if (pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    thread_ = std::thread([this] { run(); });
}

HeadDrip::~HeadDrip()
{
    char stop = 's';
    ssize_t ignored = write(wake_[1], &stop, 1);
    (void)ignored;
    thread_.join();
    close(wake_[0]);
    close(wake_[1]);
    close(listener_);
}

std::string HeadDrip::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HeadDrip::run()
{
    // The head as an endless text: the status line, then the same header line over and over.
    const std::string status = "HTTP/1.1 200 OK\r\n";
    const std::string line = "X-Drip: dddddddd\r\n";
    auto byteAt = [&](std::size_t at) {
        return at < status.size() ? status[at] : line[(at - status.size()) % line.size()];
    };
    struct Client {
        int fd;
        std::size_t sent;
    };
    std::vector<Client> clients;
    auto tick = std::chrono::steady_clock::now() + every_;
    for (;;) {
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            tick - std::chrono::steady_clock::now());
        pollfd items[] = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        if (poll(items, 2, static_cast<int>(std::max<long>(wait.count(), 0))) < 0 && errno != EINTR)
            break;
        if (items[0].revents != 0)
            break;
        for (int fd;
             (fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
            clients.push_back({fd, 0});
        }
        if (std::chrono::steady_clock::now() < tick)
            continue;
        tick += every_;
        for (auto it = clients.begin(); it != clients.end();) {
            char request[4096];
            while (recv(it->fd, request, sizeof request, 0) > 0) {
            }
            std::string piece;
            for (std::size_t i = 0; i < bytes_; ++i)
                piece += byteAt(it->sent + i);
            if (send(it->fd, piece.data(), piece.size(), MSG_NOSIGNAL) <= 0) {
                close(it->fd);
                it = clients.erase(it);
                continue;
            }
            it->sent += piece.size();
            ++it;
        }
    }
    for (const Client &client : clients)
        close(client.fd);
}

} // namespace testsupport
