// The update run behind the Download window: asks the maker's server for its file list,
// fetches every newer or unknown file into the folder "update" of the program directory
// through the library's download, and records what it fetched in "release.dat".
//
// Runs on the user-interface thread and handles window events while a file comes in, so the
// window's cancel button stays live. The window only supplies where the texts go.
#pragma once

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

// The whole run; only when RunState is idle, which it holds at 4 until it returns.
UpdateOutcome RunUpdate(const UpdateView &view);

// Cancels a run: StopFlag = 1 and, while a file is coming in, the library's download is
// stopped (which removes its partial file). The run notices the flag at its next poll.
void CancelUpdate();

// The progress bar's value for count bytes received: a file larger than the server said
// must not push the bar past its maximum.
int ClampProgress(int count, int maximum);

// GET of the server's file list, waiting for the answer without taking user input. Returns
// false, with a short reason, on a network failure or an answer other than 2xx.
bool FetchUpdateList(QByteArray &body, QString &reason);
