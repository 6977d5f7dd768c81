// Opening the history file: creating it, bringing it up to this version, and setting aside a
// file that can't be the history.
#include "core/historysql.h"
#include "core/historystore.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <iterator>

using namespace historysql;

namespace {

// "VLMR": tells our file from any other SQLite file left at the same name.
constexpr int kApplicationId = 0x564c4d52;
// Each step brings the file from version i to version i + 1. A step that has shipped never
// changes: a new schema is a new step at the end, so every older file finds its way up.
constexpr const char *kMigrations[] = {
    R"sql(
CREATE TABLE watches(
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE,
    topic TEXT NOT NULL,
    sites TEXT NOT NULL,
    keywords TEXT NOT NULL,
    or_mode INTEGER NOT NULL,
    created INTEGER NOT NULL,
    last_run INTEGER);
-- Every key a watch's runs have had. Kept apart from the runs, so a hit stays seen when the
-- run that had it is dropped by the size bound or deleted.
CREATE TABLE watch_seen(
    watch INTEGER NOT NULL REFERENCES watches(id) ON DELETE CASCADE,
    key TEXT NOT NULL,
    PRIMARY KEY(watch, key)) WITHOUT ROWID;
CREATE TABLE runs(
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    topic TEXT NOT NULL,
    sites TEXT NOT NULL,
    keywords TEXT NOT NULL,
    or_mode INTEGER NOT NULL,
    hit_count INTEGER NOT NULL,
    failures INTEGER NOT NULL,
    watch INTEGER REFERENCES watches(id) ON DELETE SET NULL);
CREATE INDEX runs_by_time ON runs(time, id);
CREATE INDEX runs_by_watch ON runs(watch);
CREATE TABLE outcomes(
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    site TEXT NOT NULL,
    kind INTEGER NOT NULL,
    code INTEGER NOT NULL,
    text TEXT NOT NULL,
    failed INTEGER NOT NULL,
    PRIMARY KEY(run, position)) WITHOUT ROWID;
CREATE TABLE hits(
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
    rank INTEGER NOT NULL,
    title TEXT NOT NULL,
    url TEXT NOT NULL,
    preview TEXT NOT NULL,
    date TEXT NOT NULL,
    size TEXT NOT NULL,
    score TEXT NOT NULL,
    site TEXT NOT NULL,
    link_state INTEGER NOT NULL,
    key TEXT NOT NULL,
    is_new INTEGER NOT NULL);
CREATE INDEX hits_by_run ON hits(run, rank);
-- Trigrams find a word inside Japanese text, which has no spaces between words. The index
-- keeps only the trigrams; the texts stay in hits, and the triggers keep the two in step.
-- Each text is indexed with U+001F after it, so that every two characters of a text begin a
-- trigram, those at its end too: a two-character word is found among the trigrams it begins.
CREATE VIEW hits_indexed AS
    SELECT id, title || char(31) AS title, url || char(31) AS url,
           preview || char(31) AS preview FROM hits;
CREATE VIRTUAL TABLE hits_text USING fts5(
    title, url, preview, content='hits_indexed', content_rowid='id', tokenize='trigram');
CREATE TRIGGER hits_text_add AFTER INSERT ON hits BEGIN
    INSERT INTO hits_text(rowid, title, url, preview)
        SELECT id, title, url, preview FROM hits_indexed WHERE id = new.id;
END;
-- A row here while the whole history is cleared: the index is emptied at once, rather than
-- hit by hit, which takes seconds with a full history.
CREATE TABLE index_paused(paused INTEGER);
CREATE TRIGGER hits_text_drop BEFORE DELETE ON hits
    WHEN NOT EXISTS (SELECT 1 FROM index_paused) BEGIN
    INSERT INTO hits_text(hits_text, rowid, title, url, preview)
        SELECT 'delete', id, title, url, preview FROM hits_indexed WHERE id = old.id;
END;
CREATE TRIGGER hits_text_unchange BEFORE UPDATE OF title, url, preview ON hits BEGIN
    INSERT INTO hits_text(hits_text, rowid, title, url, preview)
        SELECT 'delete', id, title, url, preview FROM hits_indexed WHERE id = old.id;
END;
CREATE TRIGGER hits_text_change AFTER UPDATE OF title, url, preview ON hits BEGIN
    INSERT INTO hits_text(rowid, title, url, preview)
        SELECT id, title, url, preview FROM hits_indexed WHERE id = new.id;
END;
)sql",
    // 2: a watch keeps how many hits a site it wants, so that its scheduled runs, which name
    // nothing but the watch, ask for as many as the run that made it.
    "ALTER TABLE watches ADD COLUMN hit_limit INTEGER NOT NULL DEFAULT 0;",
    // 3: the size of a run's texts, for the bound in bytes (counted for the runs there), and
    // in which of its runs a watch last saw each page, so that what it remembers is bounded too.
    R"sql(
ALTER TABLE runs ADD COLUMN bytes INTEGER NOT NULL DEFAULT 0;
UPDATE runs SET bytes = ifnull((SELECT sum(length(CAST(title AS BLOB)) + length(CAST(url AS BLOB))
    + length(CAST(preview AS BLOB)) + length(CAST(date AS BLOB)) + length(CAST(size AS BLOB))
    + length(CAST(score AS BLOB)) + length(CAST(site AS BLOB)) + length(CAST(key AS BLOB)))
    FROM hits WHERE hits.run = runs.id), 0);
ALTER TABLE watch_seen ADD COLUMN seen_at INTEGER NOT NULL DEFAULT 0;
CREATE INDEX watch_seen_by_age ON watch_seen(watch, seen_at);
)sql",
};
constexpr int kSchemaVersion = int(std::size(kMigrations));

// What the store reads and writes of each table. A file of ours that lacks any of it (a
// table dropped, a column renamed by hand) would fail every call for good.
constexpr const char *kShape[] = {
    "SELECT id, name, topic, sites, keywords, or_mode, created, last_run, hit_limit FROM watches",
    "SELECT watch, key, seen_at FROM watch_seen",
    "SELECT id, time, topic, sites, keywords, or_mode, hit_count, failures, watch, bytes FROM runs",
    "SELECT run, position, site, kind, code, text, failed FROM outcomes",
    "SELECT id, run, rank, title, url, preview, date, size, score, site, link_state, key, "
    "is_new FROM hits",
    "SELECT rowid, title, url, preview FROM hits_indexed",
    "SELECT rowid FROM hits_text",
    "SELECT paused FROM index_paused",
};

bool hasShape(sqlite3 *db)
{
    for (const char *query : kShape) {
        sqlite3_stmt *statement = nullptr;
        const int rc = sqlite3_prepare_v2(db, query, -1, &statement, nullptr);
        sqlite3_finalize(statement);
        if (rc != SQLITE_OK)
            return false;
    }
    return true;
}

bool isDamage(int code)
{
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// "history.sqlite3.20250314-093015.bad", or "…-2.bad" when that is taken.
QString asideName(const QString &path)
{
    const QString stem =
        path + QLatin1Char('.') + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss");
    QString name = stem + QStringLiteral(".bad");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QStringLiteral("-%1.bad").arg(n);
    return name;
}

} // namespace

HistoryStore::~HistoryStore()
{
    close();
}

void HistoryStore::close()
{
    // Every statement is finalized before its call returns, so the handle closes at once and
    // the last connection folds the WAL back into the file.
    sqlite3_close(db_);
    db_ = nullptr;
    damaged_ = false;
}

void HistoryStore::setMaxRuns(int runs)
{
    maxRuns_ = std::max(1, runs);
}

bool HistoryStore::open(const QString &path)
{
    close();
    notice_.clear();
    path_ = path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Where waiting could deadlock (both connections turning a new file to WAL, or making its
    // tables), SQLite answers "locked" at once instead of waiting: the window and a timer's run
    // opening the history together must both get through. All tries share the one wait.
    const QDeadlineTimer deadline(busyWaitMs_);
    FileState state = prepare(path, busyWaitMs_);
    while (state == FileState::Busy && !deadline.hasExpired()) {
        QThread::msleep(20);
        notice_.clear();
        state = prepare(path, int(deadline.remainingTime()));
    }
    if (state == FileState::SetAside)
        state = prepare(path, busyWaitMs_); // a new file where the old one was
    return state == FileState::Usable;
}

HistoryStore::FileState HistoryStore::prepare(const QString &path, int waitMs)
{
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        notice_ = QStringLiteral("履歴ファイル %1 を開けません（%2）。履歴は保存されません。")
                      .arg(path, QString::fromUtf8(sqlite3_errstr(rc)));
        close();
        return FileState::Unusable;
    }
    sqlite3_busy_timeout(db_, waitMs);

    int step;
    int id = 0, version = 0, objects = 0;
    {
        Statement header(db_, "SELECT (SELECT application_id FROM pragma_application_id),"
                              " (SELECT user_version FROM pragma_user_version),"
                              " (SELECT count(*) FROM sqlite_schema)");
        step = header.step();
        if (step == SQLITE_ROW) {
            id = int(header.integer(0));
            version = int(header.integer(1));
            objects = int(header.integer(2));
        }
    }
    if (isDamage(step))
        return setAside(path, QStringLiteral("壊れている"));
    if (step != SQLITE_ROW)
        return unusable();
    // An empty file, or one another program created at this name while we looked, is ours to
    // fill; anything else with tables in it belongs to someone else.
    if (objects > 0 && id != kApplicationId)
        return setAside(path, QStringLiteral("Velmora の履歴ではない"));
    if (version > kSchemaVersion) {
        notice_ = QStringLiteral("履歴ファイル %1 はこの版より新しい Velmora "
                                 "のものです。履歴は使えません。")
                      .arg(path);
        close();
        return FileState::Unusable;
    }
    // NORMAL loses no committed run when the process dies, only (at worst) the last ones on a
    // power cut, and never leaves the file inconsistent.
    if (!exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON"))
        return isDamage(sqlite3_errcode(db_)) ? setAside(path, QStringLiteral("壊れている"))
                                              : unusable();
    if (const int failed = version < kSchemaVersion ? migrate() : SQLITE_OK; failed != SQLITE_OK)
        return isDamage(failed) ? setAside(path, QStringLiteral("壊れている"))
                                : unusable(failed, QString::fromUtf8(sqlite3_errstr(failed)));
    if (!hasShape(db_))
        return setAside(path, QStringLiteral("形が崩れている"));
    // The index's own list of trigrams, which search() reads to find two-character words.
    // In this connection's temporary schema: nothing is written to the file.
    if (!exec(db_, "CREATE VIRTUAL TABLE temp.hits_terms USING fts5vocab(main, hits_text, row)"))
        return unusable();
    sqlite3_busy_timeout(db_, busyWaitMs_);
    return FileState::Usable;
}

HistoryStore::FileState HistoryStore::unusable()
{
    return unusable(sqlite3_errcode(db_), QString::fromUtf8(sqlite3_errmsg(db_)));
}

HistoryStore::FileState HistoryStore::unusable(int code, const QString &why)
{
    notice_ = QStringLiteral("履歴ファイル %1 を使えません（%2）。履歴は保存されません。")
                  .arg(path_, why);
    close();
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? FileState::Busy
                                                              : FileState::Unusable;
}

int HistoryStore::migrate()
{
    Transaction transaction(db_);
    // The code is taken before the transaction rolls back, which would clear it.
    const auto failed = [this] { return sqlite3_errcode(db_); };
    if (!transaction.began())
        return failed();
    int version;
    {
        // Again inside the transaction: another process may have brought the file up since.
        Statement current(db_, "PRAGMA user_version");
        if (current.step() != SQLITE_ROW)
            return failed();
        version = int(current.integer(0));
    }
    for (; version < kSchemaVersion; ++version)
        if (!exec(db_, kMigrations[version]))
            return failed();
    const QByteArray mark = QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2")
                                .arg(kApplicationId)
                                .arg(kSchemaVersion)
                                .toLatin1();
    return exec(db_, mark.constData()) && transaction.commit() ? SQLITE_OK : failed();
}

HistoryStore::FileState HistoryStore::setAside(const QString &path, const QString &why)
{
    close();
    const QString aside = asideName(path);
    if (!QFile::rename(path, aside)) {
        notice_ = QStringLiteral("履歴ファイル %1 は%2ため使えず、別の名前にもできません。"
                                 "履歴は保存されません。")
                      .arg(path, why);
        return FileState::Unusable;
    }
    // The journal belongs to the file it was written for; the shared-memory index is rebuilt
    // from it by whoever opens that file again.
    if (QFile::exists(path + QStringLiteral("-wal")))
        QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    notice_ = QStringLiteral("履歴ファイル %1 は%2ため %3 として残し、新しい履歴を始めました。")
                  .arg(path, why, aside);
    return FileState::SetAside;
}

HistoryStore::Failed HistoryStore::fail(const QString &doing)
{
    const int code = sqlite3_errcode(db_) & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        notice_ =
            QStringLiteral("履歴が他の Velmora で使用中のため、%1できませんでした。").arg(doing);
    else
        notice_ = QStringLiteral("履歴を%1できませんでした（%2）。")
                      .arg(doing, QString::fromUtf8(sqlite3_errmsg(db_)));
    // Set aside once the call's statements are gone: see guarded().
    damaged_ = damaged_ || isDamage(code);
    return {};
}

void HistoryStore::recover()
{
    const QString failed = notice_;
    const QString path = path_;
    close();
    FileState state = setAside(path, QStringLiteral("壊れている"));
    const QString said = notice_;
    if (state == FileState::SetAside)
        state = prepare(path, busyWaitMs_);
    notice_ = failed + QLatin1Char('\n') + (state == FileState::Usable ? said : notice_);
}
