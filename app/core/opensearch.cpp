#include "core/opensearch.h"

#include "core/atomicfile.h"
#include "core/encoding.h"
#include "tessel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryFile>

#include <atomic>

namespace {

// A description is a few kilobytes; a site block of it fits the user catalogue's share of a
// site.
constexpr qint64 kDescriptionLimit = 1024 * 1024;
constexpr size_t kEntrySize = 16 * 1024;

bool isAddress(const QString &where)
{
    return where.startsWith(QLatin1String("http://")) ||
           where.startsWith(QLatin1String("https://"));
}

DescriptionFault readFile(const QString &where, QByteArray &bytes)
{
    bool exists = false;
    if (IsRegularOrAbsent(where, kDescriptionLimit) &&
        readWholeFile(where, kDescriptionLimit, bytes, &exists) && exists)
        return DescriptionFault::None;
    return DescriptionFault::Unreadable;
}

constexpr std::chrono::seconds kFetchTime{60};

} // namespace

// One download of the library into a temporary file of its own.
struct DescriptionDownload {
    QTemporaryFile file{QDir::tempPath() + QStringLiteral("/velmora-opensearch-XXXXXX")};
    DownloadRecord record{};
    bool started = false;

    // False with the reason in detail when there is no temporary file or no download.
    bool start(const QString &where, QString *detail)
    {
        if (!file.open()) {
            if (detail)
                *detail = file.errorString();
            return false;
        }
        const QByteArray path = toCp932(file.fileName());
        started = iDown(&record, where.toUtf8().constData(), path.constData()) == 1;
        return true;
    }
    // A download past the size a description may have is given up at once, not left to fill
    // the temporary folder.
    bool running() const
    {
        return started && Status_iDown() != 0 &&
               std::atomic_ref<const int32_t>(record.bytes).load(std::memory_order_relaxed) <=
                   kDescriptionLimit;
    }
    // After running() turned false, or on giving up: the description's bytes, or false.
    bool finish(QByteArray &bytes)
    {
        const bool done = started && Status_iDown() == 0 && record.status == -20;
        if (started && !done)
            Exit_iDown(&record);
        started = false;
        bool exists = false;
        return done && readWholeFile(file.fileName(), kDescriptionLimit, bytes, &exists);
    }
    ~DescriptionDownload()
    {
        QByteArray unused;
        finish(unused);
    }
};

DescriptionFault ReadDescription(const QString &where, QByteArray &bytes,
                                 const std::function<void()> &wait, QString *detail)
{
    if (!isAddress(where))
        return readFile(where, bytes);
    DescriptionDownload download;
    if (!download.start(where, detail))
        return DescriptionFault::NoPlace;
    const QDeadlineTimer deadline(kFetchTime);
    while (download.running() && !deadline.hasExpired())
        wait();
    return download.finish(bytes) ? DescriptionFault::None : DescriptionFault::NotFetched;
}

DescriptionFetch::DescriptionFetch(QObject *parent) : QObject(parent)
{
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, &DescriptionFetch::look);
}

DescriptionFetch::~DescriptionFetch() = default;

void DescriptionFetch::start(const QString &where)
{
    if (busy_)
        return;
    busy_ = true;
    bytes_.clear();
    if (!isAddress(where)) {
        const DescriptionFault fault = readFile(where, bytes_);
        QTimer::singleShot(0, this, [this, fault] { end(fault); });
        return;
    }
    download_ = std::make_unique<DescriptionDownload>();
    QString detail;
    if (!download_->start(where, &detail)) {
        QTimer::singleShot(0, this, [this, detail] { end(DescriptionFault::NoPlace, detail); });
        return;
    }
    deadline_ = QDeadlineTimer(kFetchTime);
    timer_.start();
}

void DescriptionFetch::look()
{
    if (download_->running() && !deadline_.hasExpired())
        return;
    timer_.stop();
    end(download_->finish(bytes_) ? DescriptionFault::None : DescriptionFault::NotFetched);
}

void DescriptionFetch::end(DescriptionFault fault, const QString &detail)
{
    download_.reset();
    busy_ = false;
    Q_EMIT ended(fault, bytes_, detail);
}

SiteDraft DraftSite(const QByteArray &description)
{
    SiteDraft draft;
    draft.entry.assign(kEntrySize, '\0');
    draft.made = OpenSearchSite(description.constData(), int32_t(description.size()),
                                draft.entry.data(), int32_t(draft.entry.size()));
    return draft;
}

QString SiteDraft::text() const
{
    return ok() && !entry.empty() ? fromCp932(entry.data()) : QString();
}

QString SiteDraft::name() const
{
    // The block may open with "#" notes; the name is the rest of its SITE line.
    const QString block = QLatin1Char('\n') + text();
    return block.section(QStringLiteral("\nSITE "), 1).section(u'\n', 0, 0).trimmed();
}
