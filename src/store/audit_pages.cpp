#include "store/audit_pages.h"

#include "boundary/host.h"
#include "boundary/utilities.h"

namespace priv::audit {
namespace {

// The sort expression of a column. Columns that may be empty (NULL) are
// read as "" so that every row has a value to continue after; the time
// and the event are never NULL and keep their indexes.
const char* SortExpression(Column column)
{
    switch (column) {
    case Column::Sequence:
        return "XH";
    case Column::LocalTime:
        return "CZSJ";
    case Column::Workstation:
        return "COALESCE(GZZ,'')";
    case Column::SystemUser:
        return "COALESCE(XTYH,'')";
    case Column::Operator:
        return "COALESCE(CZY_DM,'')";
    case Column::Event:
        return "SJLX";
    case Column::ObjectKind:
        return "COALESCE(DXLX,'')";
    case Column::ObjectCode:
        return "COALESCE(DXDM,'')";
    case Column::Detail:
        return "COALESCE(XQ,'')";
    case Column::Result:
        return "COALESCE(JG,'')";
    }
    return "XH";
}

} // namespace

std::string SortValue(const Row& row, Column column)
{
    switch (column) {
    case Column::Sequence:
        return std::to_string(row.sequence);
    case Column::LocalTime:
        return row.localTime;
    case Column::Workstation:
        return row.workstation;
    case Column::SystemUser:
        return row.systemUser;
    case Column::Operator:
        return row.operatorCode;
    case Column::Event:
        return row.event;
    case Column::ObjectKind:
        return row.objectKind;
    case Column::ObjectCode:
        return row.objectCode;
    case Column::Detail:
        return row.detail;
    case Column::Result:
        return row.result;
    }
    return {};
}

bool ReadPage(const Filter& filter, const PageOrder& order, const Row* after, int limit,
              std::vector<Row>& rows, std::string& message)
{
    if (limit <= 0)
        return true;
    const char* direction = order.descending ? " DESC" : "";
    const char* beyond = order.descending ? "<" : ">";
    std::string where = WhereClause(filter);
    std::string orderBy = " ORDER BY XH" + std::string(direction);
    std::string range;
    if (order.column == Column::Sequence) {
        if (after)
            range = "XH" + std::string(beyond) + std::to_string(after->sequence);
    } else {
        const std::string key = SortExpression(order.column);
        orderBy = " ORDER BY " + key + direction + ", XH" + direction;
        // A row value: both databases compare it column by column and
        // use the time's index for it.
        if (after)
            range = "(" + key + ", XH)" + beyond + "('" + QuoteSqlText(SortValue(*after, order.column)) +
                    "', " + std::to_string(after->sequence) + ")";
    }
    if (!range.empty())
        where += (where.empty() ? " WHERE " : " AND ") + range;
    // The LIMIT bounds the page; no row cap besides, which would have the
    // host read through a cursor, and PostgreSQL plans a cursor for a tenth
    // of all rows rather than for the LIMIT: a filter on old times then
    // walked the whole log backwards instead of taking the time's index.
    QueryResult result;
    if (!CurrentHost().ExecADOQueryMsg(kMainConnection,
                                       "SELECT " + std::string(kRowColumns) + " FROM QX_CZRZ" + where +
                                           orderBy + " LIMIT " + std::to_string(limit),
                                       result, message, true))
        return false;
    for (; !result.Eof(); result.Next())
        rows.push_back(ReadRow(result));
    return true;
}

} // namespace priv::audit
