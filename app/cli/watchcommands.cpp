#include "cli/watchcommands.h"

#include "cli/console.h"
#include "core/merge.h"
#include "core/progdir.h"
#include "core/watchtimer.h"

#include <QJsonArray>

#include <map>

namespace {

// The user's local time with its offset, so that a script comparing times across a change of
// daylight saving or time zone reads them right.
QJsonValue timeText(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue(QJsonValue::Null);
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QString modeName(bool orMode)
{
    return orMode ? QStringLiteral("or") : QStringLiteral("and");
}

} // namespace

HistoryHit HistoryHitOf(const QStringList &row, int rank, int linkState)
{
    HistoryHit hit;
    hit.rank = rank;
    hit.title = row.value(0);
    hit.url = row.value(1);
    hit.preview = row.value(2);
    hit.date = row.value(3);
    hit.size = row.value(4);
    hit.score = row.value(5);
    hit.site = row.value(6);
    hit.linkState = linkState;
    hit.key = MergeKey(hit.url);
    return hit;
}

HistorySiteOutcome HistoryOutcomeOf(const QString &site, const SiteResult &result,
                                    OutcomeLanguage language)
{
    return {site, int(result.kind), result.code, OutcomeText(result, language), SiteFailed(result)};
}

std::vector<ListedRecord> RunListing(const std::vector<HistoryRunSummary> &runs,
                                     const std::vector<HistoryWatch> &watches)
{
    std::map<qint64, QString> names;
    for (const HistoryWatch &w : watches)
        names[w.id] = w.name;
    std::vector<ListedRecord> records;
    for (const HistoryRunSummary &r : runs) {
        const auto watch = names.find(r.watch);
        records.push_back({{"run", r.id},
                           {"time", timeText(r.time)},
                           {"topic", r.topic},
                           {"keywords", r.keywords},
                           {"hits", r.hits},
                           {"failures", r.failures},
                           {"watch", watch == names.end() ? QString() : watch->second}});
    }
    return records;
}

std::vector<ListedRecord> WatchListing(const std::vector<HistoryWatch> &watches)
{
    std::vector<ListedRecord> records;
    for (const HistoryWatch &w : watches)
        records.push_back({{"name", w.name},
                           {"topic", w.topic},
                           {"sites", QJsonArray::fromStringList(w.sites)},
                           {"keywords", w.keywords},
                           {"mode", modeName(w.orMode)},
                           {"created", timeText(w.created)},
                           {"last_run", timeText(w.lastRun)},
                           {"limit", w.hitLimit}});
    return records;
}

bool ConsoleHistory::open()
{
    if (store_.isOpen())
        return true;
    const bool opened = store_.open(userDataPath(QString::fromLatin1(kHistoryFileName)));
    notice_ = store_.notice();
    failed_ = !opened;
    // A damaged file set aside is told at once, even though the new one opened: the call that
    // follows has its own notice.
    if (opened && !notice_.isEmpty() && tell)
        tell(notice_);
    return opened;
}

std::optional<std::vector<ListedRecord>> ConsoleHistory::runs()
{
    if (!open())
        return std::nullopt;
    const auto runs = onStore([](HistoryStore &s) { return s.runs(); });
    const auto watches = runs ? store_.watches() : std::nullopt;
    if (!watches) {
        notice_ = store_.notice();
        return std::nullopt;
    }
    return RunListing(*runs, *watches);
}

std::optional<std::vector<ListedRecord>> ConsoleHistory::watches()
{
    if (!open())
        return std::nullopt;
    const auto watches = onStore([](HistoryStore &s) { return s.watches(); });
    if (!watches)
        return std::nullopt;
    return WatchListing(*watches);
}

std::optional<HistoryWatch> ConsoleHistory::stored(const QString &name)
{
    if (!open())
        return std::nullopt;
    auto watch = onStore([&](HistoryStore &s) { return s.watch(name); });
    if (!watch && notice_.isEmpty())
        notice_ = QStringLiteral("no watch '%1' (see --watches)").arg(name);
    return watch;
}

std::optional<qint64> ConsoleHistory::define(const HistoryWatch &given)
{
    if (!open())
        return std::nullopt;
    const auto existing = onStore([&](HistoryStore &s) { return s.watch(given.name); });
    if (!existing && !notice_.isEmpty())
        return std::nullopt;
    if (existing) {
        // A limit counts only where both give one: a watch made before watches kept theirs
        // runs on under its old command line.
        const bool sameLimit =
            existing->hitLimit == 0 || given.hitLimit == 0 || existing->hitLimit == given.hitLimit;
        if (existing->topic == given.topic && existing->sites == given.sites &&
            existing->keywords == given.keywords && existing->orMode == given.orMode && sameLimit)
            return existing->id;
        notice_ = QStringLiteral("the watch '%1' exists with other terms: run it with --watch "
                                 "'%1' alone")
                      .arg(given.name);
        return std::nullopt;
    }
    return onStore([&](HistoryStore &s) { return s.createWatch(given); });
}

std::optional<HistoryRun> ConsoleHistory::load(qint64 id)
{
    if (!open())
        return std::nullopt;
    auto run = onStore([&](HistoryStore &s) { return s.loadRun(id); });
    if (!run && notice_.isEmpty())
        notice_ = QStringLiteral("no run %1 in the history (see --history)").arg(id);
    return run;
}

bool ConsoleHistory::remove(const QString &name)
{
    const auto watch = stored(name);
    if (!watch)
        return false;
    // The stored name names the timer: the one given may differ by blanks around it.
    QString said;
    if (!UnscheduleWatch(watch->name, &said)) {
        notice_ = QStringLiteral("the watch's timer could not be disabled: ") + said;
        failed_ = true;
        return false;
    }
    return onStore([&](HistoryStore &s) { return s.deleteWatch(watch->id); });
}

std::optional<HistoryStored> ConsoleHistory::store(const HistoryRun &run)
{
    if (!open())
        return std::nullopt;
    return onStore([&](HistoryStore &s) { return s.storeRun(run); });
}

bool ConsoleHistory::forget(qint64 watch, const QStringList &keys)
{
    return open() && onStore([&](HistoryStore &s) { return s.forgetSeen(watch, keys); });
}
