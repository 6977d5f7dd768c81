// The update run behind the Download window: asks the maker's server for its file list,
// fetches every newer or unknown file into the folder "update" of the program directory
// through the library's download, and records what it fetched in "release.dat".
//
// Runs on the user-interface thread without ever waiting there: the list arrives through the
// network reply's signal and each file's download is polled from a timer, so the window stays
// live and nothing else of the program runs inside the update. Whoever shows the run listens
// to its signals.
#pragma once

#include "core/releaselist.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

enum class UpdateOutcome {
    ListFailed, // the server's list could not be fetched
    UpToDate,   // nothing was fetched
    Cancelled,  // the user cancelled; the record was not written
    Downloaded, // at least one file was fetched and recorded
};

// The update run of a session. One at a time, and none while the session's search or check
// holds the library (setHeldBy).
class UpdateRun : public QObject {
    Q_OBJECT

public:
    UpdateRun();
    ~UpdateRun() override;
    UpdateRun(const UpdateRun &) = delete;
    UpdateRun &operator=(const UpdateRun &) = delete;

    void setHeldBy(std::function<bool()> held) { heldBy_ = std::move(held); }
    // Starts a run and returns at once; false (and no signal) when a run is on or the session
    // is held. finished() follows every run that started.
    bool start();
    // Cancels a run: the run's own cancel flag is set and, while a file is coming in, the
    // library's download is stopped (which removes its partial file); a list still on its way
    // is dropped. The run ends at its next poll.
    void cancel();
    bool busy() const { return busy_; }
    // True when the last run was cancelled.
    bool cancelled() const { return cancelled_; }

Q_SIGNALS:
    void logged(const QString &line);      // one line of the log
    void fileState(const QString &text);   // the state of the file being fetched
    void progress(int value, int maximum); // bytes of the file being fetched
    void finished(UpdateOutcome outcome);

private:
    void listArrived();
    void fetchNext();
    bool startDownload(const ListedFile &file);
    void poll();
    void fileEnded();
    void finish(UpdateOutcome outcome);

    std::function<bool()> heldBy_;
    bool busy_ = false;
    bool cancelled_ = false;
    QNetworkAccessManager *network_ = nullptr;
    QPointer<QNetworkReply> listReply_;
    bool listTooLarge_ = false;
    QTimer poll_;
    ReleaseList record_;
    QString recordPath_;
    QList<ListedFile> files_;
    qsizetype next_ = 0;
    int downloaded_ = 0;
    // The file coming in: its entry in the record, the bar's maximum, the most bytes it may
    // have, and the count last shown.
    ListedFile current_;
    int currentEntry_ = -1;
    int maximum_ = 0;
    int most_ = 0;
    int shown_ = 0;
};

// The progress bar's value for count bytes received: a file larger than the server said
// must not push the bar past its maximum.
int ClampProgress(int count, int maximum);
