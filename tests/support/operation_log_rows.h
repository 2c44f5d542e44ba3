// Operation log rows made by the database itself, for a viewer's tests and
// benchmarks: row i (from `first`) is stamped 30 seconds after row i-1
// starting 2024-01-01 00:00:30 UTC (local time = UTC here), is written by one
// of seven operators (letter case varying, one row in seven before sign-in),
// and is one of five events. Their hashes are not a chain: a viewer does not
// check them.
#pragma once

#include "support/database_fixture.h"

#include <string>

namespace priv::test {

// The operator of row i, as stored.
inline const char* GeneratedOperator(long long i)
{
    static const char* const kOperators[] = {"admin", "zhangwei", "LINA", "wangfang", "", "Zhaomin", "lina"};
    return kOperators[i % 7];
}

// The event of row i.
inline const char* GeneratedEvent(long long i)
{
    static const char* const kEvents[] = {"signin", "operator.modify", "signin", "company.grant", "post.add"};
    return kEvents[i % 5];
}

// One statement inserting rows first .. first+count-1.
inline std::string GeneratedLogRows(Backend backend, long long first, long long count)
{
    const std::string seconds = "(1704067200 + i * 30)";
    const std::string local =
        backend == Backend::PostgreSQL
            ? "to_char(to_timestamp" + seconds + " AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')"
            : "strftime('%Y-%m-%d %H:%M:%S', " + seconds + ", 'unixepoch')";
    const std::string utc =
        backend == Backend::PostgreSQL
            ? "to_char(to_timestamp" + seconds + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')"
            : "strftime('%Y-%m-%dT%H:%M:%SZ', " + seconds + ", 'unixepoch')";
    std::string operatorCase = "CASE i % 7";
    for (int k = 0; k < 7; ++k)
        operatorCase += " WHEN " + std::to_string(k) + " THEN '" + GeneratedOperator(k) + "'";
    operatorCase += " END";
    std::string eventCase = "CASE i % 5";
    for (int k = 0; k < 5; ++k)
        eventCase += " WHEN " + std::to_string(k) + " THEN '" + GeneratedEvent(k) + "'";
    eventCase += " END";
    return "INSERT INTO QX_CZRZ (XH, CZSJ_UTC, CZSJ, GZZ, XTYH, CZY_DM, SJLX, DXLX, DXDM, XQ, JG, QHXZ, HXZ) "
           "WITH RECURSIVE n(i) AS (SELECT " +
           std::to_string(first) + " UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(first + count - 1) + ") SELECT i, " + utc + ", " + local +
           ", 'WS-' || (i % 3), 'user', " + operatorCase + ", " + eventCase +
           ", '操作员', 'OP' || (i % 11), '姓名：张三→李四；部门：财务部→办公室', '成功', 'h', 'h' FROM n";
}

} // namespace priv::test
