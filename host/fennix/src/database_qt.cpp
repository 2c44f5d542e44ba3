#include "database_qt.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <QVariant>

#include <utility>
#include <vector>

namespace fennix::detail {
namespace {

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

std::string CellText(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return Utf8(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    case QMetaType::QDate:
        return Utf8(value.toDate().toString(QStringLiteral("yyyy-MM-dd")));
    case QMetaType::QTime:
        return Utf8(value.toTime().toString(QStringLiteral("hh:mm:ss")));
    case QMetaType::Double:
    case QMetaType::Float:
        return Utf8(QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest));
    case QMetaType::Bool:
        return value.toBool() ? "1" : "0";
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    default:
        return Utf8(value.toString());
    }
}

} // namespace

QString ErrorText(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("数据库操作失败。");
    return text;
}

bool RunOnQt(QSqlDatabase& db, const QString& sql, priv::QueryResult* rows, std::string& error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        error = Utf8(ErrorText(query.lastError()));
        return false;
    }
    if (rows) {
        const QSqlRecord record = query.record();
        std::vector<std::string> columns;
        columns.reserve(static_cast<std::size_t>(record.count()));
        for (int i = 0; i < record.count(); ++i)
            columns.push_back(Utf8(record.fieldName(i)));
        rows->Reset(std::move(columns));
        const int count = record.count();
        const int maxRecords = rows->MaxRecords();
        while ((maxRecords == 0 || rows->RecordCount() < maxRecords) && query.next()) {
            rows->AddRow();
            for (int i = 0; i < count; ++i) {
                if (!rows->Keeps(static_cast<std::size_t>(i)))
                    continue;
                const QVariant value = query.value(i);
                if (!value.isNull())
                    rows->SetCell(static_cast<std::size_t>(i), CellText(value));
            }
        }
        if (query.lastError().isValid()) {
            error = Utf8(ErrorText(query.lastError()));
            return false;
        }
    }
    // Lets SQLite give up its read lock now rather than when the query dies.
    query.finish();
    return true;
}

} // namespace fennix::detail
