// What the main window does with the history: every finished search is stored (by a writer
// on its own thread), a stored run is shown again in the list without the network, a run is
// searched again, the current search becomes a watch, and a watch's new hits stand out.
// Form1 owns one and calls it at a search's start and end; the menus reach it through Form1.
#pragma once

#include "core/historystore.h"
#include "history/historyrecord.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>

class Form1;
class HistoryWindow;
class HistoryWriter;
class QAction;

// The address of the archived copies of a page: the archive's list of every copy it holds.
QUrl ArchiveUrl(const QString &page);

class HistoryLink : public QObject {
    Q_OBJECT

public:
    explicit HistoryLink(Form1 &form);
    ~HistoryLink() override;

    // The history file; userDataPath(kHistoryFileName) unless a test names another.
    void setPath(const QString &path) { path_ = path; }
    QString path() const;

    // Test hooks: the name a watch is given ("" cancels), and how the desktop opens an
    // address. The defaults ask the user and hand the address to the desktop.
    std::function<QString()> askWatchName;
    std::function<bool(const QUrl &)> openExternal;

    // The search starts: what it was asked is kept for its record.
    void searchStarted();
    // The search ended: it is stored when the history is on.
    void searchEnded();

    // The store the window reads through (the window thread's own connection), opened on
    // first use; nullptr when the file can't be used, the user told on the status line.
    HistoryStore *reader();
    // Shows the stored run in the list, offline; false when it is not there or a run is on.
    bool showRun(qint64 id);
    // Shows the stored run asked for on the command line: run when the history has it, else
    // the latest run of the watch named; false (the status line says why) when neither is there.
    bool openAsked(const QString &watch, qint64 run);
    // Searches again with the stored run's topic, keywords and mode (and its watch).
    bool rerun(qint64 id);
    // "この検索を監視": makes the search shown a watch, under a name the user gives.
    void watchCurrent();
    // "定期的に確認…": the user picks a watch and an interval; the units are written and the
    // watch's timer enabled. A failure is told with what systemctl said.
    void scheduleWatch();
    // "監視をやめる…": the user picks a watch and confirms (いいえ the default); see unwatch.
    void stopWatching();
    // Takes the watch off its schedule and deletes it; its runs stay as plain runs. A timer
    // that could not be stopped keeps the watch (its runs would fail from then on) and is told.
    bool unwatch(const QString &name);
    // "履歴を消去", after a question whose default is いいえ.
    void clearHistory();
    // "新着のみ": only the rows new to their watch are shown.
    void setNewOnly(bool on);
    bool newOnly() const { return newOnly_; }
    // The 履歴 window, made at its first opening.
    HistoryWindow *window();

    // The run the list shows (0: none stored yet) and its watch.
    qint64 shownRun() const { return shownRun_; }
    qint64 shownWatch() const { return terms_.watch; }
    // The writer, made when the first run is stored; tests wait on its signals.
    HistoryWriter *writer();

Q_SIGNALS:
    // A search of the window was stored (run 0: it could not be).
    void runStored(qint64 run);

private:
    // The watch the user picks in a list (the shown run's first); empty when there is none
    // (the user is told) or the choice is cancelled.
    QString pickWatch(const QString &title, const QString &label);
    void stored(qint64 run, qint64 watch, const QStringList &fresh, const QString &notice);
    void applyNewOnly();
    void archiveSelected();
    void updateArchiveEntry();

    Form1 &form_;
    QString path_;
    std::unique_ptr<HistoryWriter> writer_;
    std::unique_ptr<HistoryStore> reader_;
    QPointer<HistoryWindow> window_;
    QAction *archive_ = nullptr;
    RunTerms terms_;          // of the search the list shows
    qint64 pendingWatch_ = 0; // the watch the next search re-runs
    qint64 shownRun_ = 0;
    int serial_ = 0; // counts the searches, so a late answer finds its own list
    // Each run handed to the writer and not yet answered, in order: the search it was, and
    // whether its new hits are to be marked (not for a watch's first run: all would be).
    struct Storing {
        int serial;
        bool mark;
    };
    std::deque<Storing> storing_;
    bool newOnly_ = false;
    bool rowsHidden_ = false; // the list may have rows "新着のみ" hid
};

// The menu entries of the history (menus.cpp): 履歴 (Ctrl+H), 新着のみ, この検索を監視,
// 定期的に確認… and 履歴を消去.
void ShowHistory(Form1 &form);
void ToggleNewOnly(Form1 &form);
void WatchSearch(Form1 &form);
void ClearHistory(Form1 &form);
void ScheduleWatch(Form1 &form);
void StopWatching(Form1 &form);
