// The update run behind the Download window: asks the maker's server for its file list,
// fetches every newer or unknown file into the folder "update" of the program directory
// through the library's download, and records what it fetched in "release.dat".
//
// Runs on the user-interface thread and handles window events while a file comes in, so the
// window's cancel button stays live. The window only supplies where the texts go.
#pragma once

#include "core/releaselist.h"

#include <QString>

#include <functional>

// Where the run shows its progress.
struct UpdateView {
    std::function<void(const QString &)> log;        // one line of the log
    std::function<void(const QString &)> showOne;    // the state of the file being fetched
    std::function<void(int value, int maximum)> bar; // bytes of the file being fetched
};

enum class UpdateOutcome {
    NotRun,     // another run was active
    ListFailed, // the server's list could not be fetched
    UpToDate,   // nothing was fetched
    Cancelled,  // the user cancelled; the record was not written
    Downloaded, // at least one file was fetched and recorded
};

// The update run of a session. One at a time, and none while the session's search or check
// holds the library (setHeldBy).
class UpdateRun {
public:
    UpdateRun() = default;
    UpdateRun(const UpdateRun &) = delete;
    UpdateRun &operator=(const UpdateRun &) = delete;

    void setHeldBy(std::function<bool()> held) { heldBy_ = std::move(held); }
    // The whole run; NotRun when a run is on or the session is held.
    UpdateOutcome run(const UpdateView &view);
    // Cancels a run: the run's own cancel flag is set and, while a file is coming in, the
    // library's download is stopped (which removes its partial file). The run notices the
    // flag at its next poll.
    void cancel();
    bool busy() const { return busy_; }
    // True when the last run was cancelled.
    bool cancelled() const { return cancelled_; }

private:
    bool downloadFile(const UpdateView &view, const ListedFile &file);
    int fetchListed(const UpdateView &view, const QList<ListedFile> &files, ReleaseList &record);

    std::function<bool()> heldBy_;
    bool busy_ = false;
    bool cancelled_ = false;
};

// The progress bar's value for count bytes received: a file larger than the server said
// must not push the bar past its maximum.
int ClampProgress(int count, int maximum);

// GET of the server's file list, waiting for the answer without taking user input. Returns
// false, with a short reason, on a network failure or an answer other than 2xx.
bool FetchUpdateList(QByteArray &body, QString &reason);
