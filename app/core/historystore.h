// The search history and the watched searches, kept in one SQLite file (history.sqlite3 in the
// user's data folder: userDataPath(kHistoryFileName)). QtCore and SQLite only, so the console
// keeps history without Gui or Widgets.
//
// One HistoryStore is one connection: use it from one thread at a time. Any number of stores,
// in this process or others, may use the same file at once: the file is in WAL mode, readers
// never wait, and a writer waits for another's transaction under a busy timeout instead of
// failing. Every run is written in one transaction, so a run is in the file whole or not at
// all, even when the process is killed while writing it.
//
// Whether history is kept at all is the caller's setting: a store writes what it is given.
// Calls report failure by their result; notice() then says why, in Japanese, for the user.
#pragma once

#include "core/historyrecords.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct sqlite3;

inline constexpr char kHistoryFileName[] = "history.sqlite3";

// Why a watch can't have that name (empty when it can): a name is typed back on command lines
// and in timer units, so it has no control or direction characters and at most 100 characters.
QString WatchNameProblem(const QString &name);

class HistoryStore {
public:
    static constexpr int kDefaultMaxRuns = 200;
    // How much text (UTF-8) the kept runs may hold, whatever their number: sites that send the
    // longest titles and previews they may would otherwise grow the file to gigabytes. The file
    // takes about three times this with its index; 200 runs of 500 ordinary hits hold some 30 MB.
    static constexpr qint64 kDefaultMaxBytes = qint64(128) << 20;

    HistoryStore() = default;
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens the file at path, creating it (and its folder) or bringing an older one up to this
    // version. A file that is damaged or not a history file is renamed aside (its name with the
    // date and ".bad") and a new one made: open() succeeds and notice() says so. False when the
    // store can't be used: the file can't be created, or a newer version of the program made it
    // (that file is left as it is).
    bool open(const QString &path);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // What the last call that had something to tell the user said; empty when nothing.
    QString notice() const { return notice_; }

    // How many runs are kept; storing one more drops the earliest stored. At least 1.
    void setMaxRuns(int runs);
    int maxRuns() const { return maxRuns_; }
    // The bound on the runs' text: storing past it drops the earliest runs, never the newest.
    void setMaxBytes(qint64 bytes) { maxBytes_ = bytes; }
    // How long a call waits for another program's lock before it fails; set before open().
    // A writer holds the lock while one run is stored (under a second for a full list), and
    // SQLite's busy wait polls, so a writer storing run after run can keep another out for
    // several of its runs: the default outlasts such a burst. The window's own reader waits
    // only a moment: a program holding the file for long (a backup, an inspector) must not
    // freeze the window.
    static constexpr int kDefaultBusyWaitMs = 30000;
    void setBusyWait(int ms) { busyWaitMs_ = ms; }
    // How many pages a watch remembers having seen (some 10 MB of ordinary addresses).
    static constexpr int kDefaultMaxSeen = 100000;
    void setMaxSeen(int pages) { maxSeen_ = pages; }

    // Stores a run (its id and each hit's isNew are ignored). For a run of a watch (run.watch),
    // also says which hits are new to the watch and remembers their keys for its later runs.
    std::optional<HistoryStored> storeRun(const HistoryRun &run);
    // Every run, newest first.
    std::optional<std::vector<HistoryRunSummary>> runs();
    // One run with its outcomes and hits (in rank order); nullopt when it isn't there.
    std::optional<HistoryRun> loadRun(qint64 id);
    // Records a hit's link state once it has been checked.
    bool setLinkState(qint64 run, int rank, int state);
    bool deleteRun(qint64 id);
    // Drops every run and what the watches have seen (their next runs find everything new),
    // and gives the space back to the disk; the watches themselves stay. Takes a few seconds
    // with a full history.
    bool clear();

    // Hits whose title, URL or preview hold every word of text (words are separated by white
    // space; case is ignored), newest first, at most limit. Words of two characters or more
    // (most Japanese words have two) are found through the trigram index; a single character
    // is matched by reading the hits, newest first, until limit have it.
    std::optional<std::vector<HistoryMatch>> search(const QString &text, int limit = 500);

    // Creates a watch (its id, created and lastRun are ignored) and gives its id. Fails when
    // the name is empty or taken, or neither a topic nor sites are given, or no keywords.
    std::optional<qint64> createWatch(const HistoryWatch &watch);
    std::optional<std::vector<HistoryWatch>> watches();
    // The watch of that name; nullopt when there is none (notice() empty) or on failure.
    std::optional<HistoryWatch> watch(const QString &name);
    // Deletes the watch; its runs stay in the history as plain runs.
    bool deleteWatch(qint64 id);
    // The watch has not seen these keys after all (its new hits never reached the user): its
    // next run finds them new again.
    bool forgetSeen(qint64 watch, const QStringList &keys);

private:
    // Busy: another connection held a lock SQLite would not wait for (two programs making the
    // file at once); trying again a moment later gets through.
    enum class FileState { Usable, SetAside, Unusable, Busy };
    // Opens and readies the file, waiting up to waitMs for another program's lock.
    FileState prepare(const QString &path, int waitMs);
    FileState unusable();
    // The failure of code, told with why (SQLite's own words when it has them).
    FileState unusable(int code, const QString &why);
    FileState setAside(const QString &path, const QString &why);
    // Brings the file up to this version; SQLITE_OK or the error that stopped it.
    int migrate();
    // A failed call's result: false, or no value.
    struct Failed {
        operator bool() const { return false; }
        template <class T> operator std::optional<T>() const { return std::nullopt; }
    };
    // Says in notice_ why doing (a noun: "保存") failed.
    Failed fail(const QString &doing);
    void recover();
    bool storeHits(qint64 run, const HistoryRun &source, const std::vector<int> &fresh);
    bool findFresh(const HistoryRun &run, std::vector<int> &fresh);
    bool prune();

    // Runs one public call: clears the notice, refuses when closed, and sets a file found
    // damaged aside only after body has returned, when none of its statements or its
    // transaction still use the connection.
    template <class Body> auto guarded(Body body) -> decltype(body())
    {
        notice_.clear();
        if (!db_) {
            notice_ = QStringLiteral("履歴ファイルが開かれていません。");
            return {};
        }
        auto result = body();
        if (damaged_)
            recover();
        return result;
    }

    sqlite3 *db_ = nullptr;
    bool damaged_ = false;
    QString path_;
    QString notice_;
    int maxRuns_ = kDefaultMaxRuns;
    qint64 maxBytes_ = kDefaultMaxBytes;
    int maxSeen_ = kDefaultMaxSeen;
    int busyWaitMs_ = kDefaultBusyWaitMs;
};
