#include "raw_client.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <memory>

namespace priv::bench {

bool RawRow::IsNull(int column) const
{
    if (result_)
        return PQgetisnull(result_, row_, column) != 0;
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

const char* RawRow::Text(int column) const
{
    if (result_)
        return PQgetvalue(result_, row_, column);
    const unsigned char* text = sqlite3_column_text(statement_, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

int RawRow::Length(int column) const
{
    if (result_)
        return PQgetlength(result_, row_, column);
    return sqlite3_column_bytes(statement_, column);
}

long long RawRow::Integer(int column) const
{
    if (result_)
        return std::strtoll(PQgetvalue(result_, row_, column), nullptr, 10);
    return sqlite3_column_int64(statement_, column);
}

RawClient::RawClient(const std::string& url)
{
    if (url.rfind("sqlite:", 0) == 0) {
        ok_ = sqlite3_open_v2(url.substr(7).c_str(), &sqlite_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
        if (ok_)
            sqlite3_busy_timeout(sqlite_, 5000);
        else
            error_ = sqlite_ ? sqlite3_errmsg(sqlite_) : "sqlite3_open_v2 failed";
        return;
    }
    postgres_ = PQconnectdb(url.c_str());
    ok_ = postgres_ && PQstatus(postgres_) == CONNECTION_OK;
    if (!ok_)
        error_ = postgres_ ? PQerrorMessage(postgres_) : "PQconnectdb failed";
}

RawClient::~RawClient()
{
    if (sqlite_)
        sqlite3_close_v2(sqlite_);
    if (postgres_)
        PQfinish(postgres_);
}

bool RawClient::Fail(const std::string& what)
{
    error_ = what + ": " + (postgres_ ? PQerrorMessage(postgres_) : sqlite3_errmsg(sqlite_));
    return false;
}

bool RawClient::Exec(const std::string& sql)
{
    return Query(sql, [](const RawRow&) {});
}

bool RawClient::Query(const std::string& sql, const std::function<void(const RawRow&)>& each)
{
    RawRow row;
    if (postgres_) {
        // The extended protocol, as the host sends its statements.
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(
            PQexecParams(postgres_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0), PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            return Fail(sql);
        row.result_ = result.get();
        row.columns_ = PQnfields(result.get());
        const int rows = PQntuples(result.get());
        for (row.row_ = 0; row.row_ < rows; ++row.row_)
            each(row);
        return true;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(sqlite_, sql.c_str(), static_cast<int>(sql.size()) + 1, &statement, nullptr) !=
        SQLITE_OK)
        return Fail(sql);
    row.statement_ = statement;
    row.columns_ = sqlite3_column_count(statement);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        each(row);
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE || Fail(sql);
}

long long RawClient::ReadEveryCell(const std::vector<std::string>& statements)
{
    if (!Exec(postgres_ ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY" : "BEGIN"))
        return -1;
    long long bytes = 0;
    bool ok = true;
    for (const std::string& sql : statements) {
        ok = Query(sql, [&bytes](const RawRow& row) {
            for (int i = 0; i < row.Columns(); ++i)
                if (!row.IsNull(i)) {
                    const int length = row.Length(i);
                    bytes += length + (length > 0 ? static_cast<unsigned char>(row.Text(i)[0]) : 0);
                }
        });
        if (!ok)
            break;
    }
    Exec(postgres_ ? "ROLLBACK" : "COMMIT");
    return ok ? bytes : -1;
}

std::vector<std::string> Selects(const std::vector<std::string>& statements)
{
    std::vector<std::string> selects;
    for (const std::string& sql : statements) {
        std::size_t at = 0;
        while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at])))
            ++at;
        std::string word;
        while (at < sql.size() && std::isalpha(static_cast<unsigned char>(sql[at])))
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[at++])));
        if (word == "SELECT")
            selects.push_back(sql);
    }
    return selects;
}

} // namespace priv::bench
