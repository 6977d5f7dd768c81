#include "update/transferstate.h"

#include <QNetworkReply>

#include <memory>

namespace {

enum : int {
    kResolving = 1,
    kConnecting = 3,
    kSending = 5,
    kSent = 6,
    kReceiving = 7,
    kReceived = 8,
    kError = 11,
    kComplete = 12,
};

struct Progress {
    std::function<void(int)> onState;
    int last = 0;
    bool failed = false;

    // Reports every step from the last one reported up to state.
    void reach(int state)
    {
        if (failed)
            return;
        while (last < state)
            onState(++last);
    }
};

} // namespace

void WatchTransfer(QNetworkReply *reply, std::function<void(int state)> onState)
{
    auto progress = std::make_shared<Progress>();
    progress->onState = std::move(onState);
    progress->reach(kResolving);

    QObject::connect(reply, &QNetworkReply::socketStartedConnecting, reply,
                     [progress] { progress->reach(kConnecting); });
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [progress](qint64 sent, qint64) {
        if (sent > 0)
            progress->reach(kSending);
    });
    QObject::connect(reply, &QNetworkReply::requestSent, reply,
                     [progress] { progress->reach(kSent); });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply,
                     [progress] { progress->reach(kReceiving); });
    QObject::connect(reply, &QNetworkReply::errorOccurred, reply,
                     [progress](QNetworkReply::NetworkError) {
                         progress->failed = true;
                         progress->onState(kError);
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply, [progress, reply] {
        if (progress->failed || reply->error() != QNetworkReply::NoError)
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status < 200 || status > 299) {
            progress->failed = true;
            progress->onState(kError);
            return;
        }
        progress->reach(kReceived);
        progress->last = kComplete;
        progress->onState(kComplete);
    });
}
