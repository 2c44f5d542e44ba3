// What every store does the same way: run one statement on the host's main
// connection with the store's own result set, remember its text, and write
// values into statements by the table rules (texts quoted with inner quotes
// doubled, integers bare).
#pragma once

#include "boundary/host.h"
#include "boundary/utilities.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace priv::store {

// Runs `sql` on MainAppCon (opened for a SELECT, executed otherwise) and
// keeps it in `lastStatement`. The database's error text lands in `message`.
bool Run(std::string& lastStatement, QueryResult& query, std::string sql, bool open, std::string& message);
bool Run(std::string& lastStatement, QueryResult& query, std::string sql, bool open);

// An existence check: the SELECT ran and gave at least one row.
bool Exists(std::string& lastStatement, QueryResult& query, std::string sql);

// The existence checks of the stores all read `select` + the quoted value +
// "'" (for instance "SELECT JS_DM FROM QX_ROLES WHERE JS_DM='" + code + "'").
// Any exception on the way answers false, as each check must.
bool ExistsWithText(std::string& lastStatement, QueryResult& query, std::string_view select,
                    const std::string& value) noexcept;

// Codes compare ignoring the case of their ASCII letters (FindCode). The
// statement that finds a code is `select` + the quoted code + "')", with
// `select` of the form "SELECT BM_DM FROM XT_BMXX WHERE UPPER(BM_DM)=UPPER('"
// (one form on both databases, served by an index on the expression); its
// `column` rows are then held to FindCode's rule, so that a database folding
// more than ASCII letters answers as any other. Gives the code as stored,
// nothing when none matches or the statement fails.
std::optional<std::string> FindStoredCode(std::string& lastStatement, QueryResult& query,
                                          std::string_view select, const std::string& code,
                                          const char* column) noexcept;

// As ExistsWithText, for a statement that finds a code whatever its case:
// `select` + the quoted code + "')", `select` ending in "=UPPER('".
bool ExistsWithCode(std::string& lastStatement, QueryResult& query, std::string_view select,
                    const std::string& code) noexcept;

// Of the rows of an opened query, the one whose `column` is the code that
// `code` means (FindCode's rule), made the current row. False when none is.
bool MoveToCode(QueryResult& query, const std::string& code, const char* column);

// Keeps only the named columns of the statements `query` runs while it
// lives (QueryResult::KeepColumns): a reader of a wide SELECT that uses a
// few of its columns stores no more than those.
class KeptColumns {
public:
    KeptColumns(QueryResult& query, std::vector<std::string> names) : query_(query)
    {
        query_.KeepColumns(std::move(names));
    }
    ~KeptColumns() { query_.KeepColumns({}); }
    KeptColumns(const KeptColumns&) = delete;
    KeptColumns& operator=(const KeptColumns&) = delete;

private:
    QueryResult& query_;
};

// A text value ready to stand between single quotes.
inline std::string Text(const std::string& value)
{
    return QuoteSqlText(value);
}

// Integer values are written bare into statements, so a text that claims to
// be one must be a plain decimal number (an optional minus sign and digits,
// nothing else); anything else never reaches a statement.
bool IsDecimalInteger(std::string_view text);
std::optional<std::int32_t> ParseInt32(std::string_view text);

// One host transaction on MainAppCon. If the operation leaves before it
// committed or rolled back (an exception from the host), the destructor rolls
// back: a transaction left open would hold its locks and swallow every later
// statement of the connection.
//
// When a transaction is already open on the connection (a change that is
// recorded in the operation log together with its record), the operation
// joins it: Begin opens nothing, and Commit and Rollback leave the ending to
// whoever opened it, who learns of a failure from the operation's false.
class Transaction {
public:
    Transaction() = default;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    // False when the host could not open one (its reason in `message`);
    // then nothing must be written.
    bool Begin(std::string* message = nullptr);
    // `message` goes to the host with the rollback (it may log it).
    void Rollback(std::string message);
    // False when the commit failed (the database's text in `message`); the
    // destructor then rolls back.
    bool Commit(std::string* message = nullptr);

private:
    bool open_ = false;
    bool joined_ = false;
};

// One snapshot of MainAppCon for the reads of a load, so that a post read
// in many statements is read as one state while another workstation saves
// (and the statements skip a lock each). Ends when the object goes.
class ReadSnapshot {
public:
    ReadSnapshot() = default;
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;
    ~ReadSnapshot();
    // False when the host could not open one; then nothing must be read.
    bool Begin();

private:
    bool open_ = false;
};

} // namespace priv::store
