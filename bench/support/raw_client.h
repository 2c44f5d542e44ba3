// The floor every store benchmark is measured against: the same statements
// sent through the very client libraries the host runs them on (SQLite's C
// API, libpq), on a connection of their own, every cell of every row read
// and nothing else done. No Qt SQL between: its QVariant and QString per cell
// cost more than the host's own runner does.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;
struct pg_result;

namespace priv::bench {

// One row of a result as the client library holds it.
class RawRow {
public:
    int Columns() const { return columns_; }
    bool IsNull(int column) const;
    // The cell as text (SQLite converts numbers as the host asks it to).
    const char* Text(int column) const;
    int Length(int column) const;
    long long Integer(int column) const;

private:
    friend class RawClient;
    sqlite3_stmt* statement_ = nullptr;
    const pg_result* result_ = nullptr;
    int row_ = 0;
    int columns_ = 0;
};

class RawClient {
public:
    // "sqlite:PATH" or a PostgreSQL URL (libpq's own form).
    explicit RawClient(const std::string& url);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    bool IsPostgres() const { return postgres_ != nullptr; }
    sqlite3* Sqlite() const { return sqlite_; }
    pg_conn* Postgres() const { return postgres_; }

    // A statement without rows.
    bool Exec(const std::string& sql);
    // A query whose rows go to `each` in the order they come.
    bool Query(const std::string& sql, const std::function<void(const RawRow&)>& each);
    // Every statement in one read snapshot, as the host reads a post, every
    // cell read; the bytes read (a sum nothing can skip), -1 on failure.
    long long ReadEveryCell(const std::vector<std::string>& statements);

private:
    bool Fail(const std::string& what);

    sqlite3* sqlite_ = nullptr;
    pg_conn* postgres_ = nullptr;
    bool ok_ = false;
    std::string error_;
};

// The SELECTs among `statements`, in their order: what a recorded run read.
std::vector<std::string> Selects(const std::vector<std::string>& statements);

} // namespace priv::bench
