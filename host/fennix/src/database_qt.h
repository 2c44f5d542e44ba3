// Statements through Qt SQL itself, for a driver whose own handle the host
// does not know (and for the session settings of a new connection).
#pragma once

#include "boundary/host.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <string>

namespace fennix::detail {

// The database's own error text, or Qt's when it has none.
QString ErrorText(const QSqlError& error);

// Runs one statement; with `rows`, reads its result set into them.
bool RunOnQt(QSqlDatabase& db, const QString& sql, priv::QueryResult* rows, std::string& error);

} // namespace fennix::detail
