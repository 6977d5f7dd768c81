#include "core/historysql.h"

#include <sqlite3.h>

namespace historysql {

Statement::Statement(sqlite3 *db, const char *sql)
{
    prepareError_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    if (prepareError_ == SQLITE_OK && !stmt_)
        prepareError_ = SQLITE_MISUSE; // only white space or a comment
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

Statement &Statement::bind(int index, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (stmt_)
        sqlite3_bind_text(stmt_, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::bind(int index, qint64 value)
{
    if (stmt_)
        sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

int Statement::step()
{
    return stmt_ ? sqlite3_step(stmt_) : prepareError_;
}

bool Statement::run()
{
    int rc;
    while ((rc = step()) == SQLITE_ROW) {
    }
    reset();
    return rc == SQLITE_DONE;
}

void Statement::reset()
{
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

QString Statement::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(stmt_, column));
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

bool exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Transaction::Transaction(sqlite3 *db) : db_(db), began_(exec(db, "BEGIN IMMEDIATE"))
{
}

Transaction::~Transaction()
{
    if (began_ && !done_)
        exec(db_, "ROLLBACK");
}

bool Transaction::commit()
{
    done_ = began_ && exec(db_, "COMMIT");
    return done_;
}

} // namespace historysql
