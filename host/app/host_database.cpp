#include "host_database.h"

#include "boundary/host.h"

#include <fennix/fennix.h>

#include <fstream>
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

// A statement ends with ';' at the end of a line.
std::vector<std::string> SchemaStatements(const std::string& path)
{
    std::vector<std::string> statements;
    std::ifstream file(path);
    std::string line, statement;
    while (std::getline(file, line)) {
        if (line.rfind("--", 0) == 0)
            continue;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        statement += line;
        if (line.empty() || line.back() != ';') {
            statement += '\n';
            continue;
        }
        statement.pop_back();
        statement.erase(0, statement.find_first_not_of(" \n"));
        statements.push_back(statement);
        statement.clear();
    }
    return statements;
}

} // namespace privhost
