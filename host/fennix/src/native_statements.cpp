#include "native_statements.h"

#include <QByteArray>
#include <QLocale>
#include <QSqlDriver>
#include <QString>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <list>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fennix::detail {
namespace {

// Floating-point cells read as Qt SQL has always given them: fixed notation,
// the shortest text that reads back as the same number.
std::string DoubleText(double value)
{
    const QByteArray text = QString::number(value, 'f', QLocale::FloatingPointShortest).toUtf8();
    return std::string(text.constData(), static_cast<std::size_t>(text.size()));
}

// The driver's handle when its type is one of `typeNames` (the name Qt
// registered depends on how the client library declares the type).
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

const std::initializer_list<const char*> kSqliteHandle = {"sqlite3*"};
const std::initializer_list<const char*> kPostgresHandle = {"PGconn*", "pg_conn*"};

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

// --- PostgreSQL -----------------------------------------------------------------

// How a column's text is turned into the host's cell text.
enum class PgColumn { Text, Bool, Double, DateTime, Time, Bytes };

// Type codes of the server's built-in types (pg_type.oid), fixed since 7.x.
PgColumn ColumnKind(Oid type)
{
    switch (type) {
    case 16: // bool
        return PgColumn::Bool;
    case 700:  // float4
    case 701:  // float8
    case 1700: // numeric
        return PgColumn::Double;
    case 1114: // timestamp
    case 1184: // timestamptz
        return PgColumn::DateTime;
    case 1083: // time
    case 1266: // timetz
        return PgColumn::Time;
    case 17: // bytea
        return PgColumn::Bytes;
    default:
        return PgColumn::Text;
    }
}

// The server's error as Qt SQL has always reported it: its message with the
// SQLSTATE in brackets.
std::string PgErrorText(PGconn* connection, const PGresult* result)
{
    std::string text = result ? PQresultErrorMessage(result) : "";
    if (text.empty())
        text = PQerrorMessage(connection);
    if (result)
        if (const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE))
            text += std::string("(") + state + ")";
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    return text.empty() ? std::string("数据库操作失败。") : text;
}

// Into the cell `column` of the last row of `rows`.
void ReadPgCell(const char* value, int length, PgColumn kind, std::size_t column, priv::QueryResult& rows)
{
    switch (kind) {
    case PgColumn::Text:
        rows.SetCell(column, std::string_view(value, static_cast<std::size_t>(length)));
        return;
    case PgColumn::Bool:
        rows.SetCell(column, value[0] == 't' ? "1" : "0");
        return;
    case PgColumn::Double:
        rows.SetCell(column, DoubleText(std::strtod(value, nullptr)));
        return;
    case PgColumn::DateTime:
        // "yyyy-mm-dd hh:nn:ss" and whatever follows (fractions, zone):
        // the host's date-times are whole seconds.
        rows.SetCell(column, std::string_view(value, static_cast<std::size_t>(length < 19 ? length : 19)));
        return;
    case PgColumn::Time:
        rows.SetCell(column, std::string_view(value, static_cast<std::size_t>(length < 8 ? length : 8)));
        return;
    case PgColumn::Bytes: {
        std::size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &size);
        if (bytes) {
            rows.SetCell(column, std::string_view(reinterpret_cast<const char*>(bytes), size));
            PQfreemem(bytes);
        } else {
            rows.SetCell(column, std::string_view());
        }
        return;
    }
    }
}

class PgResult {
public:
    explicit PgResult(PGresult* result = nullptr) : result_(result) {}
    ~PgResult() { PQclear(result_); }
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    PgResult(PgResult&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}
    PgResult& operator=(PgResult&& other) noexcept
    {
        std::swap(result_, other.result_);
        return *this;
    }
    PGresult* get() const { return result_; }

private:
    PGresult* result_;
};

// Rows in COPY's text format: values separated by tabs, a row ended by a
// newline, NULL written \N; a backslash, tab, newline or carriage return
// inside a value is escaped, so that no text can end a value, a row or the
// data early, nor read as NULL.
class CopyTextRows final : public fennix::CopyRow {
public:
    explicit CopyTextRows(std::size_t columns) : columns_(columns) {}

    void Text(std::string_view value) override
    {
        Separate();
        std::size_t run = 0;
        for (std::size_t i = 0; i < value.size(); ++i) {
            const char escaped = EscapeOf(value[i]);
            if (!escaped)
                continue;
            buffer_.append(value.data() + run, i - run);
            buffer_ += '\\';
            buffer_ += escaped;
            run = i + 1;
        }
        buffer_.append(value.data() + run, value.size() - run);
    }

    void Null() override
    {
        Separate();
        buffer_ += "\\N";
    }

    // Ends the row the source just gave; false when it did not give one
    // value per column.
    bool EndRow()
    {
        const bool whole = values_ == columns_;
        buffer_ += '\n';
        values_ = 0;
        return whole;
    }

    // The values the row just given holds (EndRow counts them afresh).
    std::size_t Values() const { return values_; }
    std::string& Buffer() { return buffer_; }

private:
    static char EscapeOf(char c)
    {
        switch (c) {
        case '\\':
            return '\\';
        case '\t':
            return 't';
        case '\n':
            return 'n';
        case '\r':
            return 'r';
        default:
            return 0;
        }
    }

    void Separate()
    {
        if (values_++)
            buffer_ += '\t';
    }

    std::size_t columns_;
    std::size_t values_ = 0;
    std::string buffer_;
};

// Statements go to the server as they are, each in one round trip; the
// result arrives as text and is copied cell by cell. The server plans a
// statement faster than a second round trip would cost, so texts are not
// prepared ahead.
class PostgresStatements final : public NativeStatements {
public:
    explicit PostgresStatements(PGconn* connection) : connection_(connection) {}

    bool Serves(const QSqlDatabase& db) const override
    {
        return HandleOf<PGconn*>(db, kPostgresHandle) == connection_;
    }

    // A server that restarted or ended the session leaves the handle bad;
    // 55P03 is the server's lock_timeout.
    Failure LastFailure() const override
    {
        if (PQstatus(connection_) == CONNECTION_BAD)
            return Failure::ConnectionLost;
        return lastState_ == "55P03" ? Failure::LockWait : Failure::Other;
    }

    bool Run(const std::string& sql, priv::QueryResult* rows, std::string& error) override
    {
        lastState_.clear();
        if (rows && rows->MaxRecords() > 0 && IsPlainQuery(sql))
            return RunFirstRows(sql, *rows, error);
        if (rows && rows->HasRowSink())
            return RunRowByRow(sql, *rows, error);
        // The extended protocol takes one statement only, as the host has
        // always run them: text after a ';' never runs as a statement of its own.
        PgResult result(PQexecParams(connection_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
        return Accept(result.get(), rows, error);
    }

    // One COPY ... FROM STDIN in the open transaction. The rows go out a
    // block at a time (libpq sends as its buffer fills, the server parses as
    // they come), never gathered whole. Whatever goes wrong (the server
    // refusing a value, the session ending, the source giving a row of the
    // wrong width or throwing), the COPY is ended with an error so that the
    // connection leaves the copy state, and every result is read, so that
    // the next statement finds the connection ready (or plainly lost).
    bool Copy(const std::string& table, const std::vector<std::string>& columns,
              const fennix::CopyRowSource& next, std::size_t rowsPerBlock,
              const fennix::CopyProgress& progress, std::string& error) override
    {
        lastState_.clear();
        std::string sql = "COPY " + table + "(";
        for (std::size_t c = 0; c < columns.size(); ++c)
            sql += (c ? ", " : "") + columns[c];
        sql += ") FROM STDIN";
        {
            PgResult started(PQexec(connection_, sql.c_str()));
            if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
                error = PgErrorText(connection_, started.get());
                KeepState(started.get());
                return false;
            }
        }
        CopyTextRows rows(columns.size());
        std::string abandoned; // why the client ends the COPY itself
        bool sending = true;
        std::size_t sent = 0, inBlock = 0;
        const auto send = [&] {
            std::string& buffer = rows.Buffer();
            if (PQputCopyData(connection_, buffer.data(), static_cast<int>(buffer.size())) != 1)
                return false;
            buffer.clear();
            sent += inBlock;
            inBlock = 0;
            if (progress)
                progress(sent);
            return true;
        };
        try {
            while (next(rows)) {
                const std::size_t values = rows.Values();
                if (!rows.EndRow()) {
                    abandoned = "第 " + std::to_string(sent + inBlock + 1) + " 行有 " +
                                std::to_string(values) + " 个值，而表 " + table + " 复制 " +
                                std::to_string(columns.size()) + " 列。";
                    break;
                }
                if (++inBlock >= rowsPerBlock && !(sending = send()))
                    break;
            }
            if (abandoned.empty() && sending && inBlock)
                sending = send();
        } catch (const std::exception& e) {
            abandoned = std::string("读取要复制的行时出错：") + e.what();
        } catch (...) {
            abandoned = "读取要复制的行时出错。";
        }
        const bool ended =
            PQputCopyEnd(connection_,
                         abandoned.empty() && sending ? nullptr : "copy abandoned by the client") == 1;

        // The COPY's own result, then whatever follows it; a result still
        // asking for data means the end did not get through, and is asked
        // no more once the connection is gone.
        bool ok = abandoned.empty() && sending && ended;
        bool copied = false;
        std::string refusal;
        for (int guard = 0; guard < 8; ++guard) {
            PGresult* next_result = PQgetResult(connection_);
            if (!next_result)
                break;
            PgResult result(next_result);
            const ExecStatusType status = PQresultStatus(next_result);
            if (status == PGRES_COMMAND_OK) {
                copied = true;
                continue;
            }
            ok = false;
            if (refusal.empty() && status != PGRES_COPY_IN) {
                refusal = PgErrorText(connection_, next_result);
                KeepState(next_result);
            }
            if (status == PGRES_COPY_IN && (PQstatus(connection_) == CONNECTION_BAD ||
                                            PQputCopyEnd(connection_, "copy abandoned by the client") != 1))
                break;
        }
        if (ok && copied)
            return true;
        if (!abandoned.empty())
            error = abandoned; // the server's answer only repeats the client's reason
        else if (!refusal.empty())
            error = refusal;
        else
            error = PgErrorText(connection_, nullptr);
        return false;
    }

private:
    bool Accept(const PGresult* result, priv::QueryResult* rows, std::string& error)
    {
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
            error = PgErrorText(connection_, result);
            KeepState(result);
            return false;
        }
        if (rows)
            Read(result, *rows);
        return true;
    }

    // A query that wants only its first rows reads them through a cursor,
    // so that the server neither sends the rest nor, where an index gives the
    // order, reads it: a new node's code is read back as the first row of
    // every node with its target code, newest first. Declaring, fetching and
    // closing go in one pipeline, one round trip; outside a host transaction
    // they get a transaction of their own, as a cursor needs one.
    bool RunFirstRows(const std::string& sql, priv::QueryResult& rows, std::string& error)
    {
        const bool own = PQtransactionStatus(connection_) == PQTRANS_IDLE;
        std::vector<std::string> steps;
        if (own)
            steps.emplace_back("BEGIN");
        steps.push_back("DECLARE fennix_first_rows NO SCROLL CURSOR FOR " + sql);
        const std::size_t fetch = steps.size();
        steps.push_back("FETCH FORWARD " + std::to_string(rows.MaxRecords()) + " FROM fennix_first_rows");
        steps.emplace_back("CLOSE fennix_first_rows");
        if (own)
            steps.emplace_back("COMMIT");

        if (!PQenterPipelineMode(connection_)) {
            PgResult result(PQexecParams(connection_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
            return Accept(result.get(), &rows, error);
        }
        bool ok = true;
        std::size_t sent = 0;
        for (; sent < steps.size(); ++sent)
            if (!PQsendQueryParams(connection_, steps[sent].c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                   0))
                break;
        if (sent < steps.size()) {
            ok = false;
            error = PgErrorText(connection_, nullptr);
        }
        if (!PQpipelineSync(connection_) && ok) {
            ok = false;
            error = PgErrorText(connection_, nullptr);
        }
        // Every step answers with its results and an empty one; the sync
        // ends the pipeline. The first failure is the answer; the steps after
        // it come back aborted.
        for (std::size_t step = 0; step < sent; ++step) {
            while (PGresult* next = PQgetResult(connection_)) {
                PgResult result(next);
                const ExecStatusType status = PQresultStatus(next);
                if (!ok || status == PGRES_PIPELINE_ABORTED)
                    continue;
                if (status == PGRES_TUPLES_OK && step == fetch)
                    Read(next, rows);
                else if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
                    error = PgErrorText(connection_, next);
                    KeepState(next);
                    ok = false;
                }
            }
        }
        while (PGresult* next = PQgetResult(connection_)) {
            PgResult result(next);
            if (PQresultStatus(next) == PGRES_PIPELINE_SYNC)
                break;
        }
        PQexitPipelineMode(connection_);
        if (!ok && own && PQtransactionStatus(connection_) != PQTRANS_IDLE)
            PgResult(PQexec(connection_, "ROLLBACK"));
        if (!ok)
            rows.Reset({});
        return ok;
    }

    // A reader that takes its rows a block at a time (a row sink) gets them
    // from the server one by one as they arrive, so that the whole result
    // never sits in the client library beside what the reader builds of it:
    // a post's hundreds of thousands of nodes would otherwise be held twice.
    bool RunRowByRow(const std::string& sql, priv::QueryResult& rows, std::string& error)
    {
        if (!PQsendQueryParams(connection_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0)) {
            error = PgErrorText(connection_, nullptr);
            return false;
        }
        // Without single-row mode the one result holds every row, as Run's.
        PQsetSingleRowMode(connection_);
        bool ok = true;
        bool columnsRead = false;
        std::vector<PgColumn> kinds;
        // Every result is fetched, a failed statement's too, so that the
        // connection is ready for the next statement.
        while (PGresult* next = PQgetResult(connection_)) {
            PgResult result(next);
            const ExecStatusType status = PQresultStatus(next);
            if (!ok)
                continue;
            if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
                if (!columnsRead) {
                    kinds = ReadColumns(next, rows);
                    columnsRead = true;
                }
                ReadRows(next, kinds, PQntuples(next), rows);
            } else if (status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
                error = PgErrorText(connection_, next);
                KeepState(next);
                ok = false;
            }
        }
        if (!ok)
            rows.Reset({});
        return ok;
    }

    static void Read(const PGresult* result, priv::QueryResult& rows)
    {
        const std::vector<PgColumn> kinds = ReadColumns(result, rows);
        int total = PQntuples(result);
        if (rows.MaxRecords() > 0 && total > rows.MaxRecords())
            total = rows.MaxRecords();
        rows.ReserveRows(static_cast<std::size_t>(total));
        ReadRows(result, kinds, total, rows);
    }

    // Gives `rows` the result's columns (and no rows); answers how each
    // column's text is read.
    static std::vector<PgColumn> ReadColumns(const PGresult* result, priv::QueryResult& rows)
    {
        const int count = PQnfields(result);
        std::vector<std::string> columns;
        std::vector<PgColumn> kinds;
        columns.reserve(static_cast<std::size_t>(count));
        kinds.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            columns.emplace_back(PQfname(result, i));
            kinds.push_back(ColumnKind(PQftype(result, i)));
        }
        rows.Reset(std::move(columns));
        return kinds;
    }

    // Appends the result's first `total` rows to `rows`.
    static void ReadRows(const PGresult* result, const std::vector<PgColumn>& kinds, int total,
                         priv::QueryResult& rows)
    {
        const int count = static_cast<int>(kinds.size());
        for (int row = 0; row < total; ++row) {
            rows.AddRow();
            for (int i = 0; i < count; ++i)
                if (!PQgetisnull(result, row, i))
                    ReadPgCell(PQgetvalue(result, row, i), PQgetlength(result, row, i),
                               kinds[static_cast<std::size_t>(i)], static_cast<std::size_t>(i), rows);
        }
    }

    void KeepState(const PGresult* result)
    {
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        lastState_ = state ? state : "";
    }

    PGconn* connection_;
    std::string lastState_;
};

} // namespace

bool IsPlainQuery(const std::string& sql)
{
    std::size_t at = 0;
    while (at < sql.size() && (sql[at] == ' ' || sql[at] == '\t' || sql[at] == '\r' || sql[at] == '\n'))
        ++at;
    static constexpr char kSelect[] = "select";
    if (sql.size() - at < sizeof kSelect)
        return false;
    for (std::size_t i = 0; i + 1 < sizeof kSelect; ++i) {
        const char c = sql[at + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kSelect[i])
            return false;
    }
    const char after = sql[at + sizeof kSelect - 1];
    return !(after == '_' || (after >= '0' && after <= '9') || (after >= 'a' && after <= 'z') ||
             (after >= 'A' && after <= 'Z'));
}

std::unique_ptr<NativeStatements> NativeStatements::For(const QSqlDatabase& db)
{
    if (sqlite3* handle = HandleOf<sqlite3*>(db, kSqliteHandle))
        return std::make_unique<SqliteStatements>(handle);
    if (PGconn* handle = HandleOf<PGconn*>(db, kPostgresHandle))
        return std::make_unique<PostgresStatements>(handle);
    return nullptr;
}

} // namespace fennix::detail
