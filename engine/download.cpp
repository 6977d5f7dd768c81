// File download: iDown, Status_iDown, Exit_iDown. One download at a time, on its own thread.
#include "cp932.h"
#include "record.h"
#include "tessel.h"
#include "transfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>

namespace tessel {

namespace {

constexpr long kReadSize = 32000;

// The one download. url, path and record are set by iDown on the caller's thread before the
// worker starts and are not touched again until it has been joined.
struct Download {
    WorkerThread thread;
    std::atomic<bool> running{false};
    CancelToken token;
    std::string url;
    std::string path;
    DownloadRecord *record = nullptr;

    void finish()
    {
        token.cancel();
        if (thread.joinable())
            thread.join();
    }
    ~Download() { finish(); }
} download;

std::atomic<uint32_t> lastId{0};

// The opaque ids that stand for the handles and the file in the record: never 0.
int32_t newId()
{
    return static_cast<int32_t>(lastId.fetch_add(1, std::memory_order_relaxed) % 0x7FFFFFFFu + 1);
}

// The target file and the stages of the download. Only the worker opens and closes the
// file, so it is released exactly once however a cancel and the worker's end meet.
class FileSink : public TransferStages {
public:
    FileSink(DownloadRecord *record, const std::string &path) : record_(record), path_(path) {}

    ~FileSink() { close(); }

    bool open() const { return fd_ >= 0; }

    bool responseStarts(long code) override
    {
        // An error answer is not the file asked for; it must not replace it.
        if (code >= 400)
            return false;
        put(record_->url, newId());
        put(record_->status, -15);
        // A symbolic link at the target would carry the download to wherever it points.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd_ < 0)
            return false;
        put(record_->file, newId());
        put(record_->bytes, 0);
        return true;
    }

    bool body(const char *data, std::size_t size) override
    {
        if (fd_ < 0)
            return false;
        for (std::size_t done = 0; done < size;) {
            ssize_t written = ::write(fd_, data + done, size - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            done += static_cast<std::size_t>(written);
        }
        bytes_ += static_cast<std::int64_t>(size);
        put(record_->bytes, saturated(bytes_));
        // No update file comes near this; a body that does is not one of them.
        return bytes_ <= transferLimits().downloadMost;
    }

    // False when the data did not reach the disk whole.
    bool close()
    {
        if (fd_ < 0)
            return true;
        int result = ::close(fd_);
        fd_ = -1;
        put(record_->file, 0);
        return result == 0;
    }

private:
    DownloadRecord *record_;
    const std::string &path_;
    int fd_ = -1;
    std::int64_t bytes_ = 0;
};

void downloadWorker()
{
    DownloadRecord *record = download.record;
    put(record->status, -10);
    FileSink sink(record, download.path);
    bool complete = false;
    {
        Transfer transfer(download.token, sink, "Down2File", true);
        if (transfer.valid()) {
            put(record->inet, newId());
            put(record->status, -11);
            transfer.setUrl(download.url.c_str());
            curl_easy_setopt(transfer.easy(), CURLOPT_BUFFERSIZE, kReadSize);
            complete = transfer.run() == CURLE_OK && sink.open();
            complete = sink.close() && complete;
        }
    }
    if (complete) {
        put(record->status, -20);
    } else {
        // A failed or cancelled download leaves no file behind, not even an older one.
        sink.close();
        if (!download.path.empty())
            ::unlink(download.path.c_str());
    }
    put(record->url, 0);
    put(record->inet, 0);
}

} // namespace

} // namespace tessel

using namespace tessel;

extern "C" {

int32_t iDown(DownloadRecord *record, const char *url, const char *path)
{
    if (!record)
        return 0;
    // One download at a time: a new one replaces one still running, which is cancelled
    // and cleans up after itself first.
    download.finish();
    download.url = url ? url : "";
    download.path = nativePath(path);
    download.record = record;
    put(record->status, -1);
    put(record->bytes, 0);
    put(record->inet, 0);
    put(record->url, 0);
    put(record->file, 0);
    download.token.reset();
    download.running.store(true, std::memory_order_release);
    bool started = download.thread.start([] {
        downloadWorker();
        download.running.store(false, std::memory_order_release);
    });
    if (!started)
        download.running.store(false, std::memory_order_release);
    return started ? 1 : 0;
}

int32_t Status_iDown(void)
{
    return download.running.load(std::memory_order_acquire) ? 1 : 0;
}

int32_t Exit_iDown(DownloadRecord *record)
{
    download.finish();
    // The worker has released everything; what is left is the target itself, which a
    // cancel removes even when the transfer had just completed.
    if (!download.path.empty())
        ::unlink(download.path.c_str());
    if (record) {
        put(record->file, 0);
        put(record->url, 0);
        put(record->inet, 0);
    }
    return 0;
}

} // extern "C"
