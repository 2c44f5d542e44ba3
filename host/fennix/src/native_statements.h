// Statements run on the driver's own connection handle, underneath Qt SQL:
// the module's texts go to the database unchanged, and every cell arrives as
// the UTF-8 text the host hands on, without passing through QVariant and
// QString. The connection itself (opening, options, closing) stays Qt SQL's.
#pragma once

#include "boundary/host.h"
#include "fennix/fennix.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace fennix::detail {

class NativeStatements {
public:
    // The runner for the driver behind `db`; none when its handle is not one
    // of the drivers known here (the caller then goes through Qt SQL).
    static std::unique_ptr<NativeStatements> For(const QSqlDatabase& db);
    virtual ~NativeStatements() = default;

    // Whether this runner still belongs to the handle `db` has now.
    virtual bool Serves(const QSqlDatabase& db) const = 0;

    // Runs one statement; with `rows` its result set is read into them, no
    // more than rows->MaxRecords() rows when that is set. The error text is
    // the database's own.
    virtual bool Run(const std::string& sql, priv::QueryResult* rows, std::string& error) = 0;

    // Appends rows to `table` with the driver's bulk load (see
    // fennix::CopyRows); `table` and `columns` are plain names already
    // checked. Drivers without one refuse.
    virtual bool Copy(const std::string& table, const std::vector<std::string>& columns,
                      const fennix::CopyRowSource& next, std::size_t rowsPerBlock,
                      const fennix::CopyProgress& progress, std::string& error)
    {
        (void)table, (void)columns, (void)next, (void)rowsPerBlock, (void)progress;
        error = "此数据库不支持成批写入（COPY）。";
        return false;
    }

    // Prepared statements kept for texts that come again (none where the
    // driver gains nothing from them).
    virtual std::size_t CachedStatements() const { return 0; }

    // What the last failed Run met, as far as the host acts on it: the
    // server gone (the connection must be opened again), or a lock held by
    // another connection for longer than the host waits.
    enum class Failure { Other, ConnectionLost, LockWait };
    virtual Failure LastFailure() const = 0;
};

// True when the statement is a plain query (its first word is SELECT).
bool IsPlainQuery(const std::string& sql);

// --- Shared by the drivers' runners (native_sqlite.cpp, native_postgres.cpp) ---

// Each driver's runner for `db`; none when `db`'s handle is not its driver's.
std::unique_ptr<NativeStatements> SqliteStatementsFor(const QSqlDatabase& db);
std::unique_ptr<NativeStatements> PostgresStatementsFor(const QSqlDatabase& db);

// The names Qt registers for the drivers' handle types (they depend on how
// the client library declares the type).
inline const std::initializer_list<const char*> kSqliteHandle = {"sqlite3*"};
inline const std::initializer_list<const char*> kPostgresHandle = {"PGconn*", "pg_conn*"};

// The driver's handle when its type is one of `typeNames`.
template <typename T> T HandleOf(const QSqlDatabase& db, std::initializer_list<const char*> typeNames)
{
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || !handle.typeName())
        return nullptr;
    for (const char* typeName : typeNames)
        if (std::strcmp(handle.typeName(), typeName) == 0)
            return *static_cast<const T*>(handle.constData());
    return nullptr;
}

// Floating-point cells read as Qt SQL has always given them: fixed notation,
// the shortest text that reads back as the same number.
std::string DoubleText(double value);

} // namespace fennix::detail
