// Runs in the history: storing, listing, loading, deleting and searching them.
#include "core/historystore.h"

#include "core/historysql.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>

using namespace historysql;

namespace {

// Site names never hold a line break, so a list of them is kept as one text.
QString joinedSites(const QStringList &sites)
{
    return sites.join(QLatin1Char('\n'));
}

QStringList splitSites(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QDateTime fromStored(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms);
}

// The columns every hit query selects, in this order.
constexpr char kHitColumns[] = "h.rank, h.title, h.url, h.preview, h.date, h.size, h.score, "
                               "h.site, h.link_state, h.key, h.is_new";

HistoryHit hitAt(const Statement &row, int first)
{
    HistoryHit hit;
    hit.rank = int(row.integer(first));
    hit.title = row.text(first + 1);
    hit.url = row.text(first + 2);
    hit.preview = row.text(first + 3);
    hit.date = row.text(first + 4);
    hit.size = row.text(first + 5);
    hit.score = row.text(first + 6);
    hit.site = row.text(first + 7);
    hit.linkState = int(row.integer(first + 8));
    hit.key = row.text(first + 9);
    hit.isNew = row.integer(first + 10) != 0;
    return hit;
}

// A word as a LIKE pattern that matches it anywhere, its own % and _ taken literally.
QString likePattern(QString word)
{
    word.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + word + QLatin1Char('%');
}

// A word as an FTS5 string, so that none of its characters is read as query syntax.
QString ftsString(QString word)
{
    return QLatin1Char('"') + word.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// The index's trigrams that begin with a two-character word, as FTS5 strings: any of them is
// an occurrence of the word, and every occurrence is one of them (see the schema's
// hits_indexed). The index folds case, so the word is folded too.
bool termsBeginning(sqlite3 *db, const QString &word, QStringList &terms)
{
    Statement query(db, "SELECT term FROM temp.hits_terms "
                        "WHERE term >= ?1 AND term < ?1 || char(1114111)");
    query.bindAll(word.toLower());
    int rc;
    while ((rc = query.step()) == SQLITE_ROW)
        terms.append(ftsString(query.text(0)));
    return rc == SQLITE_DONE;
}

// What a run's texts take, as stored.
qint64 textBytes(const HistoryRun &run)
{
    qint64 bytes = 0;
    for (const HistoryHit &h : run.hits)
        for (const QString *text :
             {&h.title, &h.url, &h.preview, &h.date, &h.size, &h.score, &h.site, &h.key})
            bytes += QStringView(*text).toUtf8().size();
    return bytes;
}

} // namespace

std::optional<HistoryStored> HistoryStore::storeRun(const HistoryRun &run)
{
    return guarded([&]() -> std::optional<HistoryStored> {
        const QString doing = QStringLiteral("保存");
        Transaction transaction(db_);
        if (!transaction.began())
            return fail(doing);
        const int failures =
            int(std::count_if(run.outcomes.begin(), run.outcomes.end(),
                              [](const HistorySiteOutcome &o) { return o.failed; }));
        Statement insertRun(db_, "INSERT INTO runs(time, topic, sites, keywords, or_mode, "
                                 "hit_count, failures, watch, bytes) VALUES (?, ?, ?, ?, ?, ?, "
                                 "?, NULLIF(?, 0), ?)");
        insertRun.bindAll(run.time.toMSecsSinceEpoch(), run.topic, joinedSites(run.sites),
                          run.keywords, run.orMode, int(run.hits.size()), failures, run.watch,
                          textBytes(run));
        if (!insertRun.run())
            return fail(doing);
        HistoryStored stored;
        stored.run = sqlite3_last_insert_rowid(db_);

        Statement insertOutcome(db_, "INSERT INTO outcomes(run, position, site, kind, code, "
                                     "text, failed) VALUES (?, ?, ?, ?, ?, ?, ?)");
        for (size_t i = 0; i < run.outcomes.size(); ++i) {
            const HistorySiteOutcome &o = run.outcomes[i];
            insertOutcome.bindAll(stored.run, int(i), o.site, o.kind, o.code, o.text, o.failed);
            if (!insertOutcome.run())
                return fail(doing);
        }
        if (run.watch && !findFresh(run, stored.fresh))
            return fail(doing);
        if (!storeHits(stored.run, run, stored.fresh) || !prune() || !transaction.commit())
            return fail(doing);
        return stored;
    });
}

bool HistoryStore::storeHits(qint64 run, const HistoryRun &source, const std::vector<int> &fresh)
{
    Statement insert(db_, "INSERT INTO hits(run, rank, title, url, preview, date, size, score, "
                          "site, link_state, key, is_new) "
                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    auto nextFresh = fresh.begin();
    for (size_t i = 0; i < source.hits.size(); ++i) {
        const HistoryHit &h = source.hits[i];
        const bool isNew = nextFresh != fresh.end() && *nextFresh == int(i);
        if (isNew)
            ++nextFresh;
        insert.bindAll(run, h.rank, h.title, h.url, h.preview, h.date, h.size, h.score, h.site,
                       h.linkState, h.mergeKey(), isNew);
        if (!insert.run())
            return false;
    }
    return true;
}

bool HistoryStore::prune()
{
    Statement drop(db_, "DELETE FROM runs WHERE id IN "
                        "(SELECT id FROM runs ORDER BY id DESC LIMIT -1 OFFSET ?)");
    // Newest first, the runs that would take the texts past the bound; the newest run stays
    // however large, or the search just made would be lost.
    Statement dropLarge(db_, "DELETE FROM runs WHERE id IN (SELECT id FROM (SELECT id, "
                             "sum(bytes) OVER (ORDER BY id DESC) AS kept FROM runs) "
                             "WHERE kept > ? AND id < (SELECT max(id) FROM runs))");
    return drop.bindAll(maxRuns_).run() && dropLarge.bindAll(maxBytes_).run();
}

std::optional<std::vector<HistoryRunSummary>> HistoryStore::runs()
{
    return guarded([&]() -> std::optional<std::vector<HistoryRunSummary>> {
        Statement query(db_, "SELECT id, time, topic, keywords, hit_count, failures, "
                             "ifnull(watch, 0) FROM runs ORDER BY time DESC, id DESC");
        std::vector<HistoryRunSummary> list;
        int rc;
        while ((rc = query.step()) == SQLITE_ROW)
            list.push_back({query.integer(0), fromStored(query.integer(1)), query.text(2),
                            query.text(3), int(query.integer(4)), int(query.integer(5)),
                            query.integer(6)});
        if (rc != SQLITE_DONE)
            return fail(QStringLiteral("読み込み"));
        return list;
    });
}

std::optional<HistoryRun> HistoryStore::loadRun(qint64 id)
{
    return guarded([&]() -> std::optional<HistoryRun> {
        const QString doing = QStringLiteral("読み込み");
        // One read transaction, so that the run can't be dropped between its parts.
        if (!exec(db_, "BEGIN"))
            return fail(doing);
        struct End {
            sqlite3 *db;
            ~End() { exec(db, "COMMIT"); }
        } end{db_};

        HistoryRun run;
        Statement head(db_, "SELECT time, topic, sites, keywords, or_mode, ifnull(watch, 0) "
                            "FROM runs WHERE id = ?");
        head.bindAll(id);
        int rc = head.step();
        if (rc == SQLITE_DONE)
            return std::nullopt;
        if (rc != SQLITE_ROW)
            return fail(doing);
        run.id = id;
        run.time = fromStored(head.integer(0));
        run.topic = head.text(1);
        run.sites = splitSites(head.text(2));
        run.keywords = head.text(3);
        run.orMode = head.integer(4) != 0;
        run.watch = head.integer(5);

        Statement outcomes(db_, "SELECT site, kind, code, text, failed FROM outcomes "
                                "WHERE run = ? ORDER BY position");
        outcomes.bindAll(id);
        while ((rc = outcomes.step()) == SQLITE_ROW)
            run.outcomes.push_back({outcomes.text(0), int(outcomes.integer(1)),
                                    int(outcomes.integer(2)), outcomes.text(3),
                                    outcomes.integer(4) != 0});
        if (rc != SQLITE_DONE)
            return fail(doing);

        Statement hits(db_, (QByteArray("SELECT ") + kHitColumns +
                             " FROM hits h WHERE h.run = ? ORDER BY h.rank, h.id")
                                .constData());
        hits.bindAll(id);
        while ((rc = hits.step()) == SQLITE_ROW)
            run.hits.push_back(hitAt(hits, 0));
        if (rc != SQLITE_DONE)
            return fail(doing);
        return run;
    });
}

bool HistoryStore::setLinkState(qint64 run, int rank, int state)
{
    return guarded([&] {
        Statement update(db_, "UPDATE hits SET link_state = ? WHERE run = ? AND rank = ?");
        return update.bindAll(state, run, rank).run() || fail(QStringLiteral("更新"));
    });
}

bool HistoryStore::deleteRun(qint64 id)
{
    return guarded([&] {
        Statement drop(db_, "DELETE FROM runs WHERE id = ?");
        return drop.bindAll(id).run() || fail(QStringLiteral("削除"));
    });
}

bool HistoryStore::clear()
{
    return guarded([&]() -> bool {
        Transaction transaction(db_);
        if (!transaction.began() ||
            !exec(db_, "INSERT INTO hits_text(hits_text) VALUES ('delete-all');"
                       "INSERT INTO index_paused VALUES (1);"
                       "DELETE FROM runs;"
                       "DELETE FROM index_paused;"
                       "DELETE FROM watch_seen;"
                       "UPDATE watches SET last_run = NULL") ||
            !transaction.commit())
            return fail(QStringLiteral("消去"));
        // Gives the cleared pages back, so the texts are gone from the file too. Another
        // connection reading just now keeps that from happening this time, at once rather than
        // after the busy wait; nothing is lost.
        sqlite3_busy_timeout(db_, 0);
        exec(db_, "VACUUM");
        sqlite3_busy_timeout(db_, busyWaitMs_);
        return true;
    });
}

std::optional<std::vector<HistoryMatch>> HistoryStore::search(const QString &text, int limit)
{
    return guarded([&]() -> std::optional<std::vector<HistoryMatch>> {
        const QString doing = QStringLiteral("検索");
        static const QRegularExpression space(QStringLiteral("\\s+"));
        QStringList indexed, scanned;
        for (const QString &word : text.split(space, Qt::SkipEmptyParts)) {
            // Trigrams are made of characters, not UTF-16 units.
            const qsizetype length = word.toUcs4().size();
            if (length >= 3) {
                indexed.append(ftsString(word));
            } else if (length == 2) {
                QStringList terms;
                if (!termsBeginning(db_, word, terms))
                    return fail(doing);
                if (terms.isEmpty())
                    return std::vector<HistoryMatch>{};
                indexed.append(QLatin1Char('(') + terms.join(QStringLiteral(" OR ")) +
                               QLatin1Char(')'));
            } else {
                scanned.append(likePattern(word));
            }
        }
        if (indexed.isEmpty() && scanned.isEmpty())
            return std::vector<HistoryMatch>{};

        // Newest first by the hits' ids: the index hands them out in that order, so a common
        // word stops at the limit instead of sorting every hit that has it.
        QByteArray sql = QByteArray("SELECT h.run, r.time, r.keywords, ") + kHitColumns;
        if (!indexed.isEmpty())
            sql += " FROM hits_text f JOIN hits h ON h.id = f.rowid JOIN runs r ON r.id = h.run"
                   " WHERE hits_text MATCH ?";
        else
            sql += " FROM hits h JOIN runs r ON r.id = h.run WHERE 1";
        for (qsizetype i = 0; i < scanned.size(); ++i)
            sql += " AND (h.title LIKE ? ESCAPE '\\' OR h.url LIKE ? ESCAPE '\\'"
                   " OR h.preview LIKE ? ESCAPE '\\')";
        sql += indexed.isEmpty() ? " ORDER BY h.id DESC LIMIT ?" : " ORDER BY f.rowid DESC LIMIT ?";

        Statement query(db_, sql.constData());
        int index = 0;
        if (!indexed.isEmpty())
            query.bind(++index, indexed.join(QStringLiteral(" AND ")));
        for (const QString &pattern : scanned)
            for (int column = 0; column < 3; ++column)
                query.bind(++index, pattern);
        query.bind(++index, limit);

        std::vector<HistoryMatch> found;
        int rc;
        while ((rc = query.step()) == SQLITE_ROW)
            found.push_back(
                {query.integer(0), fromStored(query.integer(1)), query.text(2), hitAt(query, 3)});
        if (rc != SQLITE_DONE)
            return fail(doing);
        return found;
    });
}
