#include "core/updaterun.h"

#include "core/encoding.h"
#include "core/makerhost.h"
#include "core/progdir.h"
#include "core/releaselist.h"
#include "tessel.h"

#include <QDir>
#include <QEventLoop>
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

// The list is a few lines per file; an answer beyond this is not a list.
constexpr qint64 kListLimit = 1 << 20;
constexpr int kListTimeoutMs = 30000;
// How long one poll waits for window events before it asks the download again.
constexpr int kPollMs = 2;
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

void waitForEvents()
{
    QEventLoop loop;
    QTimer::singleShot(kPollMs, &loop, &QEventLoop::quit);
    loop.exec();
}

QString currentTimeText()
{
    char text[32] = {};
    GetTForm(text);
    return readCp932Field(text, sizeof text);
}

} // namespace

// One file into the folder "update"; true only when the whole body arrived.
bool UpdateRun::downloadFile(const UpdateView &view, const ListedFile &file)
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

    const int maximum = std::max(file.size, 0);
    view.bar(0, maximum);
    view.showOne(file.name + kFetching + QLatin1Char('0'));
    // A body larger than the list announced is not the file the list names.
    const int most = file.size > 0 ? file.size : kUnannouncedMost;
    int shown = 0;
    while (Status_iDown() != 0 && !cancelled_) {
        waitForEvents();
        const int count = loadField(downloadRecord.bytes);
        if (count > most)
            break;
        if (count != shown) {
            shown = count;
            view.showOne(file.name + kFetching + QString::number(shown));
            view.bar(ClampProgress(shown, maximum), maximum);
        }
    }
    if (cancelled_) {
        if (Status_iDown() != 0)
            Exit_iDown(&downloadRecord);
        view.bar(ClampProgress(shown, maximum), maximum);
        view.showOne(file.name + kCancelledOne);
        return false;
    }
    const int received = loadField(downloadRecord.bytes);
    view.bar(ClampProgress(received, maximum), maximum);
    // The download thread ends the same way whether or not the body arrived; only the
    // complete status tells a fetched file from a failed one.
    if (loadField(downloadRecord.status) != kDownloadComplete || received > most) {
        if (received > most)
            Exit_iDown(&downloadRecord); // stops it and removes what arrived
        view.showOne(file.name + kFailedOne);
        return false;
    }
    view.showOne(file.name + kFetched + QString::number(received));
    return true;
}

// Walks the server's list; returns the number of files fetched.
int UpdateRun::fetchListed(const UpdateView &view, const QList<ListedFile> &files,
                           ReleaseList &record)
{
    int downloaded = 0;
    for (const ListedFile &file : files) {
        if (UpdateNameRefused(file.name)) {
            view.log(kRefusedName + file.name);
        } else {
            const int entry = CheckRelease(record, file.name, file.version);
            if (entry == kReleaseFull) {
                view.log(kRecordFull + file.name);
            } else if (entry >= 0 && UpdateAddressRefused(file.address)) {
                view.log(kRefusedAddress + file.address);
            } else if (entry >= 0) {
                if (downloadFile(view, file)) {
                    record.entries[entry] = ReleaseEntry{file.version, file.name};
                    view.log(kDownloaded + file.name);
                    ++downloaded;
                } else if (!cancelled_) {
                    view.log(kFailedFile + file.name);
                }
            }
        }
        if (cancelled_)
            break;
    }
    return downloaded;
}

int ClampProgress(int count, int maximum)
{
    return std::clamp(count, 0, std::max(maximum, 0));
}

bool FetchUpdateList(QByteArray &body, QString &reason)
{
    body.clear();
    const QString address = MakerUrl(kUpdateListPath);
    if (!MakerAddressAllowed(address)) {
        reason = QStringLiteral("not an https address: ") + address;
        return false;
    }
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kListTimeoutMs);
    QNetworkReply *reply = manager.get(request);
    bool tooLarge = false;
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64) {
        if (received > kListLimit) {
            tooLarge = true;
            reply->abort();
        }
    });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The list is asked for synchronously: the user's clicks wait until it has arrived.
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    bool ok = false;
    if (tooLarge)
        reason = QStringLiteral("応答が%1バイトを超えています。").arg(kListLimit);
    else if (status != 0 && (status < 200 || status > 299))
        reason = QStringLiteral("HTTP %1").arg(status);
    else if (reply->error() != QNetworkReply::NoError)
        reason = reply->errorString();
    else
        ok = true;
    if (ok)
        body = reply->readAll();
    delete reply;
    return ok;
}

UpdateOutcome UpdateRun::run(const UpdateView &view)
{
    if (busy_ || (heldBy_ && heldBy_()))
        return UpdateOutcome::NotRun;
    busy_ = true;
    view.log(kChecking);
    ReleaseList record;
    const QString recordPath = userDataPath(QStringLiteral("release.dat"));
    if (ReadReleaseList(recordPath, record))
        view.log(kLastUpdate + record.lastUpdate + kDesu);
    view.log(QString());

    QByteArray body;
    QString reason;
    if (!FetchUpdateList(body, reason)) {
        view.log(kListFailed);
        view.log(reason);
        busy_ = false;
        return UpdateOutcome::ListFailed;
    }

    cancelled_ = false;
    const int downloaded = fetchListed(view, ParseUpdateList(fromCp932(body)), record);
    UpdateOutcome outcome = UpdateOutcome::Downloaded;
    view.log(QString());
    if (cancelled_) {
        view.log(kCancelled);
        outcome = UpdateOutcome::Cancelled;
    } else if (downloaded == 0) {
        view.log(kLatest);
        view.log(kNothing);
        outcome = UpdateOutcome::UpToDate;
    } else {
        view.log(QString::number(downloaded) + kCountFiles);
        view.log(QString());
        view.log(kFinished);
        view.log(kRestart);
        if (!WriteReleaseList(recordPath, record, currentTimeText()))
            view.log(kRecordFailed);
    }
    busy_ = false;
    return outcome;
}

void UpdateRun::cancel()
{
    cancelled_ = true;
    // Only a download in progress is stopped: the library's cancel removes the file at its
    // last target, which after a finished download is a complete file.
    if (Status_iDown() != 0)
        Exit_iDown(&downloadRecord);
}
