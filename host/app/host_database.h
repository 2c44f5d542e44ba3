// Small helpers of the host application for its own statements (creating the
// database and the demo data); the module builds its own statements.
#pragma once

#include <string>
#include <vector>

namespace privhost {

// Runs a statement on MainAppCon; prints the database's message on failure.
bool Execute(const std::string& sql);
// The first column of the first row as text; empty when there is none.
std::string ScalarText(const std::string& sql);
// 'text' with inner quotes doubled.
std::string Quoted(const std::string& text);
bool IsPostgreSqlUrl(const std::string& url);
// The statements of a schema file, each without its ';' and leading blank
// lines; lines starting with "--" are comments.
std::vector<std::string> SchemaStatements(const std::string& path);

} // namespace privhost
