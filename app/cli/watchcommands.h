// The console's history and watches: every search it runs is kept in the history file, and a
// watched search prints only the hits none of the watch's earlier runs had. QtCore only.
#pragma once

#include "core/historystore.h"
#include "core/outcome.h"

#include <QJsonValue>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// One field of a listed record (--list-sites, --history ...): its name and value, in order.
struct ListedField {
    const char *name;
    QJsonValue value;
};
using ListedRecord = std::vector<ListedField>;

// A hit of the console's list as the history keeps it: its seven texts (title, URL, preview,
// date, size, score, site), its 1-based rank, its link state (0 unchecked) and its merge key.
HistoryHit HistoryHitOf(const QStringList &row, int rank, int linkState);
HistorySiteOutcome HistoryOutcomeOf(const QString &site, const SiteResult &result,
                                    OutcomeLanguage language);

// --history: a record a run, newest first (run, time, topic, keywords, mode, hits, failures,
// watch). The watch is named; a run of a watch deleted since is a plain run.
std::vector<ListedRecord> RunListing(const std::vector<HistoryRunSummary> &runs,
                                     const std::vector<HistoryWatch> &watches);
// --watches: a record a watch (name, topic, sites, keywords, mode, created, last_run).
std::vector<ListedRecord> WatchListing(const std::vector<HistoryWatch> &watches);

// The console's connection to the history file (userDataPath(kHistoryFileName)), opened on
// first use, once the program directory is entered. Every call reports failure by its result;
// notice() says why, for standard error.
class ConsoleHistory {
public:
    QString notice() const { return notice_; }
    // Tells what the user must know though every call succeeds (a damaged file set aside).
    std::function<void(const QString &)> tell;
    // The last call failed for the file's sake (it can't be opened, read or written), not for
    // a watch that isn't there or is there with other terms.
    bool failed() const { return failed_; }

    std::optional<std::vector<ListedRecord>> runs();
    std::optional<std::vector<ListedRecord>> watches();

    // --watch NAME alone: the stored watch. nullopt when there is none, or on failure.
    std::optional<HistoryWatch> stored(const QString &name);
    // --watch NAME with its terms (topic or site names as resolved, keywords, mode): the
    // watch's id, the watch created on its first run. A watch of that name with other terms
    // is refused: a scheduled command line must not silently watch something else.
    std::optional<qint64> define(const HistoryWatch &given);

    // --run ID: the stored run; nullopt when it isn't there (notice() says so) or on failure.
    std::optional<HistoryRun> load(qint64 id);
    // --unwatch NAME: takes the watch off its schedule, then deletes it (its runs stay). A
    // timer that could not be stopped keeps the watch, so that its runs don't fail from then on.
    bool remove(const QString &name);
    // Stores the run; for a watch's run, which of its hits are new to the watch.
    std::optional<HistoryStored> store(const HistoryRun &run);
    // The watch's new hits of that run never reached the user: they stay new.
    bool forget(qint64 watch, const QStringList &keys);

private:
    bool open();
    // Runs one call on the open store, its notice kept for the caller.
    template <class Call> auto onStore(Call call)
    {
        auto result = call(store_);
        notice_ = store_.notice();
        failed_ = !result && !notice_.isEmpty();
        return result;
    }

    HistoryStore store_;
    QString notice_;
    bool failed_ = false;
};
