#include "store/store_common.h"

#include "boundary/text.h"

#include <charconv>
#include <vector>

namespace priv::store {

bool Run(std::string& lastStatement, QueryResult& query, std::string sql, bool open, std::string& message)
{
    lastStatement = std::move(sql);
    return CurrentHost().ExecADOQueryMsg(kMainConnection, lastStatement, query, message, open);
}

bool Run(std::string& lastStatement, QueryResult& query, std::string sql, bool open)
{
    std::string message;
    return Run(lastStatement, query, std::move(sql), open, message);
}

bool Exists(std::string& lastStatement, QueryResult& query, std::string sql)
{
    return Run(lastStatement, query, std::move(sql), true) && !query.Eof();
}

bool ExistsWithText(std::string& lastStatement, QueryResult& query, std::string_view select,
                    const std::string& value) noexcept
{
    try {
        return Exists(lastStatement, query, std::string(select) + QuoteSqlText(value) + "'");
    } catch (...) {
        return false;
    }
}

bool ExistsWithCode(std::string& lastStatement, QueryResult& query, std::string_view select,
                    const std::string& code) noexcept
{
    try {
        return Exists(lastStatement, query, std::string(select) + QuoteSqlText(code) + "')");
    } catch (...) {
        return false;
    }
}

bool MoveToCode(QueryResult& query, const std::string& code, const char* column)
{
    std::vector<std::string> codes;
    codes.reserve(static_cast<std::size_t>(query.RecordCount()));
    for (query.First(); !query.Eof(); query.Next())
        codes.push_back(query.AsString(column));
    const auto found = FindCode(codes.begin(), codes.end(), code, [](const std::string& c) { return c; });
    query.MoveTo(static_cast<std::size_t>(found - codes.begin()));
    return found != codes.end();
}

std::optional<std::string> FindStoredCode(std::string& lastStatement, QueryResult& query,
                                          std::string_view select, const std::string& code,
                                          const char* column) noexcept
{
    try {
        if (!Run(lastStatement, query, std::string(select) + QuoteSqlText(code) + "')", true) ||
            !MoveToCode(query, code, column))
            return std::nullopt;
        return query.AsString(column);
    } catch (...) {
        return std::nullopt;
    }
}

bool IsDecimalInteger(std::string_view text)
{
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::optional<std::int32_t> ParseInt32(std::string_view text)
{
    if (!IsDecimalInteger(text))
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

Transaction::~Transaction()
{
    if (!open_)
        return;
    try {
        std::string message;
        CurrentHost().DBRollbackTrans(kMainConnection, message);
    } catch (...) {
    }
}

bool Transaction::Begin(std::string* message)
{
    if (CurrentHost().DBInTransaction(kMainConnection)) {
        joined_ = true;
        return true;
    }
    std::string text;
    open_ = CurrentHost().DBBeginTrans(kMainConnection, text);
    if (message)
        *message = std::move(text);
    return open_;
}

void Transaction::Rollback(std::string message)
{
    if (joined_)
        return;
    open_ = false;
    CurrentHost().DBRollbackTrans(kMainConnection, message);
}

bool Transaction::Commit(std::string* message)
{
    if (joined_)
        return true;
    std::string text;
    const bool committed = CurrentHost().DBCommitTrans(kMainConnection, text);
    if (message)
        *message = std::move(text);
    open_ = !committed;
    return committed;
}

ReadSnapshot::~ReadSnapshot()
{
    if (!open_)
        return;
    try {
        CurrentHost().DBEndRead(kMainConnection);
    } catch (...) {
    }
}

bool ReadSnapshot::Begin()
{
    std::string message;
    open_ = CurrentHost().DBBeginRead(kMainConnection, message);
    return open_;
}

} // namespace priv::store
