// Watched searches: which hits of a watch's run are new to it.
#include "core/historysql.h"
#include "core/historystore.h"

#include <sqlite3.h>

using namespace historysql;

bool HistoryStore::findFresh(const HistoryRun &run, std::vector<int> &fresh)
{
    // All lookups before any key is remembered: a page two sites of this run both found is new
    // on both rows.
    Statement seen(db_, "SELECT 1 FROM watch_seen WHERE watch = ? AND key = ?");
    for (size_t i = 0; i < run.hits.size(); ++i) {
        seen.bindAll(run.watch, run.hits[i].mergeKey());
        const int rc = seen.step();
        if (rc == SQLITE_DONE)
            fresh.push_back(int(i));
        else if (rc != SQLITE_ROW)
            return false;
        seen.reset();
    }
    // Every page of the run, seen now: what a watch keeps seeing stays remembered however many
    // pages pass it by. "Now" counts the watch's runs, not the clock: a clock once set ahead
    // would otherwise keep the pages it stamped and forget the ones just seen.
    Statement next(db_, "SELECT ifnull(max(seen_at), 0) + 1 FROM watch_seen WHERE watch = ?");
    if (next.bindAll(run.watch).step() != SQLITE_ROW)
        return false;
    const qint64 now = next.integer(0);
    Statement remember(db_, "INSERT INTO watch_seen(watch, key, seen_at) VALUES (?, ?, ?) "
                            "ON CONFLICT(watch, key) DO UPDATE SET "
                            "seen_at = max(seen_at, excluded.seen_at)");
    for (const HistoryHit &hit : run.hits)
        if (!remember.bindAll(run.watch, hit.mergeKey(), now).run())
            return false;
    // A watch over a site whose pages are all new each time would remember without end: the
    // pages it saw longest ago go first, and come back new should they ever return.
    Statement forgetOldest(db_, "DELETE FROM watch_seen WHERE watch = ?1 AND key IN "
                                "(SELECT key FROM watch_seen WHERE watch = ?1 "
                                "ORDER BY seen_at DESC LIMIT -1 OFFSET ?2)");
    if (!forgetOldest.bindAll(run.watch, maxSeen_).run())
        return false;
    Statement last(db_, "UPDATE watches SET last_run = ? WHERE id = ?");
    return last.bindAll(run.time.toMSecsSinceEpoch(), run.watch).run();
}

bool HistoryStore::forgetSeen(qint64 watch, const QStringList &keys)
{
    return guarded([&]() -> bool {
        Transaction transaction(db_);
        Statement forget(db_, "DELETE FROM watch_seen WHERE watch = ? AND key = ?");
        for (const QString &key : keys)
            if (!transaction.began() || !forget.bindAll(watch, key).run())
                return fail(QStringLiteral("保存"));
        return transaction.commit() || fail(QStringLiteral("保存"));
    });
}

QString WatchNameProblem(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("監視の名前がありません。");
    if (trimmed.size() > 100)
        return QStringLiteral("監視の名前は100文字までです。");
    for (const QChar c : trimmed)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return QStringLiteral("監視の名前に使えない文字があります。");
    return QString();
}

std::optional<qint64> HistoryStore::createWatch(const HistoryWatch &watch)
{
    return guarded([&]() -> std::optional<qint64> {
        const QString name = watch.name.trimmed();
        notice_ = WatchNameProblem(name);
        if (!notice_.isEmpty())
            return std::nullopt;
        if (watch.topic.isEmpty() && watch.sites.isEmpty())
            notice_ = QStringLiteral("監視する話題かサイトを指定してください。");
        else if (watch.keywords.trimmed().isEmpty())
            notice_ = QStringLiteral("監視するキーワードがありません。");
        if (!notice_.isEmpty())
            return std::nullopt;
        Statement insert(db_, "INSERT INTO watches(name, topic, sites, keywords, or_mode, "
                              "created, hit_limit) VALUES (?, ?, ?, ?, ?, ?, ?)");
        insert.bindAll(name, watch.topic, watch.sites.join(QLatin1Char('\n')), watch.keywords,
                       watch.orMode, QDateTime::currentMSecsSinceEpoch(),
                       std::max(watch.hitLimit, 0));
        if (insert.run())
            return sqlite3_last_insert_rowid(db_);
        if ((sqlite3_errcode(db_) & 0xff) == SQLITE_CONSTRAINT) {
            notice_ = QStringLiteral("監視「%1」はすでにあります。").arg(name);
            return std::nullopt;
        }
        return fail(QStringLiteral("監視の作成"));
    });
}

namespace {

constexpr char kWatchQuery[] = "SELECT id, name, topic, sites, keywords, or_mode, created, "
                               "last_run, hit_limit FROM watches";

HistoryWatch watchAt(const Statement &row)
{
    HistoryWatch watch;
    watch.id = row.integer(0);
    watch.name = row.text(1);
    watch.topic = row.text(2);
    watch.sites = row.text(3).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    watch.keywords = row.text(4);
    watch.orMode = row.integer(5) != 0;
    watch.created = QDateTime::fromMSecsSinceEpoch(row.integer(6));
    if (!row.isNull(7))
        watch.lastRun = QDateTime::fromMSecsSinceEpoch(row.integer(7));
    watch.hitLimit = int(row.integer(8));
    return watch;
}

} // namespace

std::optional<std::vector<HistoryWatch>> HistoryStore::watches()
{
    return guarded([&]() -> std::optional<std::vector<HistoryWatch>> {
        Statement query(db_, (QByteArray(kWatchQuery) + " ORDER BY name").constData());
        std::vector<HistoryWatch> list;
        int rc;
        while ((rc = query.step()) == SQLITE_ROW)
            list.push_back(watchAt(query));
        if (rc != SQLITE_DONE)
            return fail(QStringLiteral("読み込み"));
        return list;
    });
}

std::optional<HistoryWatch> HistoryStore::watch(const QString &name)
{
    return guarded([&]() -> std::optional<HistoryWatch> {
        Statement query(db_, (QByteArray(kWatchQuery) + " WHERE name = ?").constData());
        const int rc = query.bindAll(name.trimmed()).step();
        if (rc == SQLITE_ROW)
            return watchAt(query);
        if (rc == SQLITE_DONE)
            return std::nullopt;
        return fail(QStringLiteral("読み込み"));
    });
}

bool HistoryStore::deleteWatch(qint64 id)
{
    return guarded([&] {
        Statement drop(db_, "DELETE FROM watches WHERE id = ?");
        return drop.bindAll(id).run() || fail(QStringLiteral("削除"));
    });
}
