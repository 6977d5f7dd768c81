// Thin owners of the SQLite handles the history store uses: a prepared statement and a write
// transaction. Nothing outside app/core/history* includes this.
#pragma once

#include <QString>

#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

namespace historysql {

// One prepared statement, finalized with the object. A statement that failed to prepare
// answers every step with the preparation's error, so a caller checks once, at the end.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, const QString &text);
    Statement &bind(int index, qint64 value);
    Statement &bind(int index, int value) { return bind(index, qint64(value)); }
    Statement &bind(int index, bool value) { return bind(index, qint64(value)); }

    // Binds the arguments to parameters 1, 2, … in order.
    template <class... Args> Statement &bindAll(const Args &...args)
    {
        int index = 0;
        (bind(++index, args), ...);
        return *this;
    }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps to the end and resets for the next binding; true when it ended well.
    bool run();
    void reset();

    QString text(int column) const;
    qint64 integer(int column) const;
    bool isNull(int column) const;

private:
    sqlite3_stmt *stmt_ = nullptr;
    int prepareError_ = 0;
};

// Runs statements that take no parameters and give no rows; true when all ended well.
bool exec(sqlite3 *db, const char *sql);

// A write transaction begun IMMEDIATE, so that the write lock is taken (or waited for under
// the busy timeout) at the start: a deferred one that meets another writer at its first
// insert fails at once, whatever the timeout. Rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3 *db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool began() const { return began_; }
    bool commit();

private:
    sqlite3 *db_;
    bool began_ = false;
    bool done_ = false;
};

} // namespace historysql
