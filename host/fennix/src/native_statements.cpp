#include "native_statements.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <memory>

namespace fennix::detail {

// Floating-point cells read as Qt SQL has always given them: fixed notation,
// the shortest text that reads back as the same number.
std::string DoubleText(double value)
{
    const QByteArray text = QString::number(value, 'f', QLocale::FloatingPointShortest).toUtf8();
    return std::string(text.constData(), static_cast<std::size_t>(text.size()));
}

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
    if (std::unique_ptr<NativeStatements> sqlite = SqliteStatementsFor(db))
        return sqlite;
    return PostgresStatementsFor(db);
}

} // namespace fennix::detail
