#include "host_database.h"

#include "boundary/host.h"

#include <fennix/fennix.h>

#include <iostream>

namespace privhost {

bool Execute(const std::string& sql)
{
    priv::QueryResult query;
    std::string message;
    if (fennix::Services().ExecADOQueryMsg(priv::kMainConnection, sql, query, message, false))
        return true;
    std::cerr << "privhost: " << message << '\n';
    return false;
}

std::string ScalarText(const std::string& sql)
{
    priv::QueryResult query;
    std::string message;
    if (!fennix::Services().ExecADOQueryMsg(priv::kMainConnection, sql, query, message, true) ||
        query.Eof() || query.Columns().empty())
        return {};
    return query.AsString(query.Columns().front());
}

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

bool IsPostgreSqlUrl(const std::string& url)
{
    // Both schemes the framework accepts.
    return url.rfind("postgresql:", 0) == 0 || url.rfind("postgres:", 0) == 0;
}

} // namespace privhost
