// Named database connections on Qt SQL: MainAppCon and any extra connection a
// tool or test opens. Statements run as given; no text is rewritten.
#pragma once

#include "boundary/host.h"
#include "fennix/fennix.h"

#include <string>
#include <vector>

namespace fennix::detail {

// Opens (or reopens) the named connection from a database URL. A relative
// SQLite path is taken from `appDir` when it is not empty.
bool OpenNamedConnection(const std::string& name, const std::string& url, const std::string& appDir,
                         int busyTimeoutMs, std::string& error);
void CloseNamedConnection(const std::string& name);
// The URL as it may be shown or logged: any password replaced by "***".
std::string UrlForDisplay(const std::string& url);
bool ConnectionOpen(const std::string& name);
// "sqlite" or "postgresql" for an open connection of that driver; empty
// otherwise.
std::string Product(const std::string& name);

// Runs one statement; with `rows`, reads the whole result set into it.
bool Execute(const std::string& name, const std::string& sql, priv::QueryResult* rows, std::string& error);

// Appends rows with the driver's bulk load, inside the host transaction open
// on the connection (see fennix::CopyRows).
bool CopyRows(const std::string& name, const std::string& table, const std::vector<std::string>& columns,
              const fennix::CopyRowSource& next, std::size_t rowsPerBlock,
              const fennix::CopyProgress& progress, std::string& error);

// One transaction on the named connection (see database.cpp for isolation).
bool BeginTransaction(const std::string& name, std::string& error);
bool CommitTransaction(const std::string& name, std::string& error);
bool RollbackTransaction(const std::string& name, std::string& error);
bool TransactionOpen(const std::string& name);

// One snapshot for several reads (see database.cpp); reads nest.
bool BeginRead(const std::string& name, std::string& error);
void EndRead(const std::string& name);

// How many compiled statements the connection keeps for texts that come again.
std::size_t CachedStatements(const std::string& name);

// The failure rules of FailStatementsContaining: true when `sql` is to fail,
// with the message that says so.
bool InjectedFailure(const std::string& sql, std::string& message);

// Splits a .sql script into its statements (';' at a line end ends one).
std::vector<std::string> SplitSqlScript(const std::string& script);

} // namespace fennix::detail
