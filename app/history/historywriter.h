// The window's writer of the history: runs are stored on a thread of its own with its own
// connection, so that storing a long run (most of a second for a thousand hits) never holds
// the window up. Calls return at once; what came of each is told by a signal, on the thread
// the writer was made on. Work is done in the order asked.
#pragma once

#include "core/historyrecords.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

class HistoryStore;

class HistoryWriter : public QObject {
    Q_OBJECT

public:
    // path: the history file, opened at the first call.
    explicit HistoryWriter(const QString &path, QObject *parent = nullptr);
    // Finishes what was asked (a run being stored is not cut off), then closes the file.
    ~HistoryWriter() override;
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    QString path() const { return path_; }

    // Stores the run, keeping at most maxRuns runs. replacing, when not 0, is a run deleted
    // once this one is in: the same search stored again as the first run of a new watch.
    void store(HistoryRun run, int maxRuns, qint64 replacing = 0);
    // Drops every run (the watches stay).
    void clear();

Q_SIGNALS:
    // A run was stored (run is its id) or not (run 0). fresh: the merge keys of the hits new
    // to the run's watch. notice: what the user is to be told (a damaged file set aside, a
    // failure); empty when nothing.
    void stored(qint64 run, qint64 watch, const QStringList &fresh, const QString &notice);
    void cleared(bool done, const QString &notice);

private:
    // Runs work on the writer's thread, after everything asked before it.
    template <class Work> void post(Work work);
    // The store, opened if it isn't; nullptr when the file can't be used (notice says why).
    HistoryStore *open(QString &notice);

    QString path_;
    QThread thread_;
    QObject *worker_ = nullptr;           // lives on thread_
    std::unique_ptr<HistoryStore> store_; // used on thread_ only
};
