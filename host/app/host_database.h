// Small helpers of the host application for its own statements (creating the
// database and the demo data); the module builds its own statements.
#pragma once

#include <string>

namespace privhost {

// Runs a statement on MainAppCon; prints the database's message on failure.
bool Execute(const std::string& sql);
// The first column of the first row as text; empty when there is none.
std::string ScalarText(const std::string& sql);
// 'text' with inner quotes doubled.
std::string Quoted(const std::string& text);
bool IsPostgreSqlUrl(const std::string& url);

} // namespace privhost
