// The PostgreSQL runner: statements and bulk loads on the libpq handle
// underneath Qt SQL.
#include "native_statements.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

namespace fennix::detail {
namespace {

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
                if (rows.Keeps(static_cast<std::size_t>(i)) && !PQgetisnull(result, row, i))
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

std::unique_ptr<NativeStatements> PostgresStatementsFor(const QSqlDatabase& db)
{
    if (PGconn* handle = HandleOf<PGconn*>(db, kPostgresHandle))
        return std::make_unique<PostgresStatements>(handle);
    return nullptr;
}

} // namespace fennix::detail
