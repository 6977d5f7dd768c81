#include "core/updaterun.h"

#include "core/encoding.h"
#include "core/makerhost.h"
#include "core/progdir.h"
#include "core/releaselist.h"
#include "tessel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <atomic>

namespace {

const QString kChecking = QStringLiteral("製品の最新情報をチェックしております....");
const QString kLastUpdate = QStringLiteral("最後の更新時期は");
const QString kDesu = QStringLiteral("です。");
const QString kListFailed = QStringLiteral("製品の最新情報を取得できませんでした。");
const QString kFetching = QStringLiteral("をダウンロードしています：");
const QString kFetched = QStringLiteral("をダウンロードしました。fsize=");
const QString kCancelledOne = QStringLiteral("のダウンロードを中止しました。");
const QString kFailedOne = QStringLiteral("のダウンロードに失敗しました。");
const QString kDownloaded = QStringLiteral("Downloaded: ");
const QString kFailedFile = QStringLiteral("ダウンロードできませんでした：");
const QString kRefusedName = QStringLiteral("ファイル名が不正なためダウンロードしません：");
const QString kRefusedAddress = QStringLiteral("アドレスが不正なためダウンロードしません：");
const QString kRecordFull = QStringLiteral("記録が一杯のためダウンロードしません：");
const QString kCancelled = QStringLiteral("ダウンロードが中止されました。");
const QString kLatest = QStringLiteral("お使いになっているプログラムは最新版です。");
const QString kNothing = QStringLiteral("ダウンロードするものがありません。");
const QString kCountFiles = QStringLiteral("個ファイルがダウンロードされました。");
const QString kFinished = QStringLiteral("ダウンロードが終わりました。");
const QString kRestart = QStringLiteral("新しい内容はVelmoraが再起動してから有効になります。");
const QString kRecordFailed = QStringLiteral("release.datを書き込めませんでした。");
const QString kNoAddress = QStringLiteral("更新サーバーのアドレスが設定されていません。");
const QString kNotHttps = QStringLiteral("https以外のアドレスには接続しません：");

// The list is a few lines per file; an answer beyond this is not a list.
constexpr qint64 kListLimit = 1 << 20;
constexpr int kListTimeoutMs = 30000;
// How often a file's download is asked for its progress.
constexpr int kPollMs = 5;
constexpr int32_t kDownloadComplete = -20;
// The cap of a file whose size the list does not give.
constexpr int kUnannouncedMost = 512 << 20;

// The library keeps this record's address while its download thread runs, and the worker
// writes status and bytes, so it is static and read with atomic loads. The library has one
// download at a time.
DownloadRecord downloadRecord;

int32_t loadField(int32_t &field)
{
    return std::atomic_ref<int32_t>(field).load(std::memory_order_relaxed);
}

QString currentTimeText()
{
    char text[32] = {};
    GetTForm(text);
    return readCp932Field(text, sizeof text);
}

} // namespace

UpdateRun::UpdateRun()
{
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &UpdateRun::poll);
}

UpdateRun::~UpdateRun()
{
    // A download left running would write into a record and a file nobody watches.
    if (busy_)
        cancel();
}

bool UpdateRun::start()
{
    if (busy_ || (heldBy_ && heldBy_()))
        return false;
    busy_ = true;
    cancelled_ = false;
    downloaded_ = 0;
    files_.clear();
    next_ = 0;
    Q_EMIT logged(kChecking);
    record_ = ReleaseList{};
    recordPath_ = userDataPath(QStringLiteral("release.dat"));
    if (ReadReleaseList(recordPath_, record_))
        Q_EMIT logged(kLastUpdate + record_.lastUpdate + kDesu);
    Q_EMIT logged(QString());

    const QString address = MakerUrl(kUpdateListPath);
    if (MakerHost().isEmpty() || !MakerAddressAllowed(address)) {
        Q_EMIT logged(kListFailed);
        Q_EMIT logged(MakerHost().isEmpty() ? kNoAddress : kNotHttps + address);
        finish(UpdateOutcome::ListFailed);
        return true;
    }
    if (network_ == nullptr)
        network_ = new QNetworkAccessManager(this);
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kListTimeoutMs);
    listTooLarge_ = false;
    listReply_ = network_->get(request);
    connect(listReply_, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kListLimit && listReply_) {
            listTooLarge_ = true;
            listReply_->abort();
        }
    });
    connect(listReply_, &QNetworkReply::finished, this, &UpdateRun::listArrived);
    return true;
}

void UpdateRun::listArrived()
{
    QNetworkReply *reply = listReply_;
    listReply_ = nullptr;
    reply->deleteLater();
    if (cancelled_) {
        finish(UpdateOutcome::Cancelled);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString reason;
    if (listTooLarge_)
        reason = QStringLiteral("応答が%1バイトを超えています。").arg(kListLimit);
    else if (status != 0 && (status < 200 || status > 299))
        reason = QStringLiteral("HTTP %1").arg(status);
    else if (reply->error() != QNetworkReply::NoError)
        reason = reply->errorString();
    if (!reason.isEmpty()) {
        Q_EMIT logged(kListFailed);
        Q_EMIT logged(reason);
        finish(UpdateOutcome::ListFailed);
        return;
    }
    files_ = ParseUpdateList(fromCp932(reply->readAll()));
    fetchNext();
}

// Walks the list from next_ until a download has started or the list is done.
void UpdateRun::fetchNext()
{
    while (next_ < files_.size() && !cancelled_) {
        const ListedFile &file = files_[next_++];
        if (UpdateNameRefused(file.name)) {
            Q_EMIT logged(kRefusedName + file.name);
            continue;
        }
        const int entry = CheckRelease(record_, file.name, file.version);
        if (entry == kReleaseFull) {
            Q_EMIT logged(kRecordFull + file.name);
        } else if (entry >= 0 && UpdateAddressRefused(file.address)) {
            Q_EMIT logged(kRefusedAddress + file.address);
        } else if (entry >= 0) {
            currentEntry_ = entry;
            if (startDownload(file))
                return;
            Q_EMIT logged(kFailedFile + file.name);
        }
    }
    finish(cancelled_         ? UpdateOutcome::Cancelled
           : downloaded_ == 0 ? UpdateOutcome::UpToDate
                              : UpdateOutcome::Downloaded);
}

// Starts one file into the folder "update"; false when the library would not start it.
bool UpdateRun::startDownload(const ListedFile &file)
{
    const QString folder = userDataPath(QStringLiteral("update"));
    QDir().mkpath(folder);
    const QString target = folder + QLatin1Char('/') + file.name;
    // A link left at the target would let the download write wherever it points.
    if (QFileInfo(target).isSymLink())
        QFile::remove(target);

    const QByteArray url = toCp932(file.address);
    const QByteArray path = toCp932(target);
    if (iDown(&downloadRecord, url.constData(), path.constData()) == 0)
        return false;

    current_ = file;
    maximum_ = std::max(file.size, 0);
    // A body larger than the list announced is not the file the list names.
    most_ = file.size > 0 ? file.size : kUnannouncedMost;
    shown_ = 0;
    Q_EMIT progress(0, maximum_);
    Q_EMIT fileState(file.name + kFetching + QLatin1Char('0'));
    poll_.start();
    return true;
}

void UpdateRun::poll()
{
    if (cancelled_) {
        poll_.stop();
        if (Status_iDown() != 0)
            Exit_iDown(&downloadRecord);
        Q_EMIT progress(ClampProgress(shown_, maximum_), maximum_);
        Q_EMIT fileState(current_.name + kCancelledOne);
        fetchNext();
        return;
    }
    const int count = loadField(downloadRecord.bytes);
    if (Status_iDown() == 0 || count > most_) {
        poll_.stop();
        fileEnded();
        return;
    }
    if (count != shown_) {
        shown_ = count;
        Q_EMIT fileState(current_.name + kFetching + QString::number(shown_));
        Q_EMIT progress(ClampProgress(shown_, maximum_), maximum_);
    }
}

void UpdateRun::fileEnded()
{
    const int received = loadField(downloadRecord.bytes);
    Q_EMIT progress(ClampProgress(received, maximum_), maximum_);
    // The download thread ends the same way whether or not the body arrived; only the
    // complete status tells a fetched file from a failed one.
    if (loadField(downloadRecord.status) != kDownloadComplete || received > most_) {
        if (received > most_)
            Exit_iDown(&downloadRecord); // stops it and removes what arrived
        Q_EMIT fileState(current_.name + kFailedOne);
        Q_EMIT logged(kFailedFile + current_.name);
    } else {
        Q_EMIT fileState(current_.name + kFetched + QString::number(received));
        record_.entries[currentEntry_] = ReleaseEntry{current_.version, current_.name};
        Q_EMIT logged(kDownloaded + current_.name);
        ++downloaded_;
    }
    fetchNext();
}

void UpdateRun::finish(UpdateOutcome outcome)
{
    if (outcome != UpdateOutcome::ListFailed)
        Q_EMIT logged(QString());
    if (outcome == UpdateOutcome::Cancelled) {
        Q_EMIT logged(kCancelled);
    } else if (outcome == UpdateOutcome::UpToDate) {
        Q_EMIT logged(kLatest);
        Q_EMIT logged(kNothing);
    } else if (outcome == UpdateOutcome::Downloaded) {
        Q_EMIT logged(QString::number(downloaded_) + kCountFiles);
        Q_EMIT logged(QString());
        Q_EMIT logged(kFinished);
        Q_EMIT logged(kRestart);
        if (!WriteReleaseList(recordPath_, record_, currentTimeText()))
            Q_EMIT logged(kRecordFailed);
    }
    busy_ = false;
    Q_EMIT finished(outcome);
}

void UpdateRun::cancel()
{
    if (!busy_)
        return;
    cancelled_ = true;
    // Only a download in progress is stopped: the library's cancel removes the file at its
    // last target, which after a finished download is a complete file.
    if (poll_.isActive() && Status_iDown() != 0)
        Exit_iDown(&downloadRecord);
    if (listReply_)
        listReply_->abort();
}

int ClampProgress(int count, int maximum)
{
    return std::clamp(count, 0, std::max(maximum, 0));
}
