// The SQLite runner: statements on the sqlite3 handle underneath Qt SQL,
// compiled once per text and kept.
#include "native_statements.h"

#include <sqlite3.h>

#include <cstring>
#include <list>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fennix::detail {
namespace {

bool OnlySpaceAndComments(const char* text)
{
    while (*text) {
        if (std::strchr(" \t\r\n\f\v;", *text)) {
            ++text;
        } else if (text[0] == '-' && text[1] == '-') {
            while (*text && *text != '\n')
                ++text;
        } else {
            return false;
        }
    }
    return true;
}

// --- SQLite -------------------------------------------------------------------

// Compiling a statement costs about as much as running a small one, and the
// module asks the same queries again and again (a new node's code is read
// back by its target code, which repeats across companies). Compiled queries
// are kept by their text, the least recently used going first; SQLite
// compiles a kept statement again by itself when the schema changed.
class SqliteStatements final : public NativeStatements {
public:
    explicit SqliteStatements(sqlite3* db) : db_(db) {}
    ~SqliteStatements() override
    {
        for (auto& [text, statement] : lru_)
            sqlite3_finalize(statement);
    }

    bool Serves(const QSqlDatabase& db) const override
    {
        return HandleOf<sqlite3*>(db, kSqliteHandle) == db_;
    }

    std::size_t CachedStatements() const override { return lru_.size(); }

    // A file is never lost as a server is; only the busy timeout has a
    // meaning of its own.
    Failure LastFailure() const override
    {
        const int code = sqlite3_errcode(db_) & 0xFF;
        return code == SQLITE_BUSY || code == SQLITE_LOCKED ? Failure::LockWait : Failure::Other;
    }

    bool Run(const std::string& sql, priv::QueryResult* rows, std::string& error) override
    {
        const bool keep = IsPlainQuery(sql);
        sqlite3_stmt* statement = keep ? Take(sql) : nullptr;
        if (!statement && !Prepare(sql, keep, statement, error))
            return false;
        if (!statement) { // nothing but spaces and comments
            if (rows)
                rows->Reset({});
            return true;
        }
        const bool ok = Step(statement, rows, error);
        // Ends the statement's read, so that its lock goes now.
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (keep)
            Give(sql, statement);
        else
            sqlite3_finalize(statement);
        return ok;
    }

private:
    static constexpr std::size_t kCapacity = 512;
    using Entry = std::pair<std::string, sqlite3_stmt*>;

    sqlite3_stmt* Take(const std::string& sql)
    {
        const auto found = index_.find(sql);
        if (found == index_.end())
            return nullptr;
        sqlite3_stmt* statement = found->second->second;
        lru_.erase(found->second);
        index_.erase(found);
        return statement;
    }

    void Give(const std::string& sql, sqlite3_stmt* statement)
    {
        lru_.emplace_front(sql, statement);
        index_.emplace(lru_.front().first, lru_.begin());
        if (lru_.size() > kCapacity) {
            index_.erase(lru_.back().first);
            sqlite3_finalize(lru_.back().second);
            lru_.pop_back();
        }
    }

    bool Prepare(const std::string& sql, bool keep, sqlite3_stmt*& statement, std::string& error)
    {
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()) + 1,
                                          keep ? SQLITE_PREPARE_PERSISTENT : 0, &statement, &tail);
        if (rc != SQLITE_OK) {
            error = sqlite3_errmsg(db_);
            sqlite3_finalize(statement);
            statement = nullptr;
            return false;
        }
        // One statement per call, as the host has always run them.
        if (statement && tail && !OnlySpaceAndComments(tail)) {
            sqlite3_finalize(statement);
            statement = nullptr;
            error = "Unable to execute multiple statements at a time";
            return false;
        }
        return true;
    }

    bool Step(sqlite3_stmt* statement, priv::QueryResult* rows, std::string& error)
    {
        int rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            error = sqlite3_errmsg(db_);
            return false;
        }
        if (!rows)
            return true; // executed, not opened
        // Names are taken after the first step: a statement compiled again
        // for a changed schema may have other columns now.
        const int count = sqlite3_column_count(statement);
        std::vector<std::string> columns;
        columns.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const char* name = sqlite3_column_name(statement, i);
            columns.emplace_back(name ? name : "");
        }
        rows->Reset(std::move(columns));
        const int maxRecords = rows->MaxRecords();
        while (rc == SQLITE_ROW) {
            rows->AddRow();
            for (int i = 0; i < count; ++i)
                if (rows->Keeps(static_cast<std::size_t>(i)))
                    ReadCell(statement, i, *rows);
            if (maxRecords > 0 && rows->RecordCount() >= maxRecords)
                return true;
            rc = sqlite3_step(statement);
        }
        if (rc != SQLITE_DONE) {
            error = sqlite3_errmsg(db_);
            return false;
        }
        return true;
    }

    // Into the cell `column` of the last row of `rows`.
    static void ReadCell(sqlite3_stmt* statement, int column, priv::QueryResult& rows)
    {
        const auto cell = static_cast<std::size_t>(column);
        switch (sqlite3_column_type(statement, column)) {
        case SQLITE_NULL:
            return;
        case SQLITE_FLOAT:
            rows.SetCell(cell, DoubleText(sqlite3_column_double(statement, column)));
            return;
        case SQLITE_BLOB: {
            const void* bytes = sqlite3_column_blob(statement, column);
            const int size = sqlite3_column_bytes(statement, column);
            rows.SetCell(cell, bytes && size > 0 ? std::string_view(static_cast<const char*>(bytes),
                                                                    static_cast<std::size_t>(size))
                                                 : std::string_view());
            return;
        }
        default: { // integers come as their decimal text, texts as UTF-8
            const unsigned char* text = sqlite3_column_text(statement, column);
            const int size = sqlite3_column_bytes(statement, column);
            rows.SetCell(cell, text && size > 0 ? std::string_view(reinterpret_cast<const char*>(text),
                                                                   static_cast<std::size_t>(size))
                                                : std::string_view());
            return;
        }
        }
    }

    sqlite3* db_;
    std::list<Entry> lru_;
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

} // namespace

std::unique_ptr<NativeStatements> SqliteStatementsFor(const QSqlDatabase& db)
{
    if (sqlite3* handle = HandleOf<sqlite3*>(db, kSqliteHandle))
        return std::make_unique<SqliteStatements>(handle);
    return nullptr;
}

} // namespace fennix::detail
