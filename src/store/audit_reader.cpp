#include "store/audit_reader.h"

#include "boundary/datetime.h"
#include "boundary/host.h"
#include "boundary/utilities.h"
#include "store/audit_purge.h"

#include <optional>
#include <string_view>

namespace priv::audit {
namespace {

constexpr int kRowsPerRead = 2000;

std::string Quoted(const std::string& text)
{
    return "'" + QuoteSqlText(text) + "'";
}

// A filter time as the log writes it, "yyyy-mm-dd hh:nn:ss"; an upper end
// given with less than seconds reaches to the end of what it names.
std::optional<std::string> FilterTime(const std::string& text, bool upperEnd)
{
    if (text.empty())
        return std::string();
    const std::optional<double> parsed = ParseDateTime(text);
    if (!parsed)
        return std::nullopt;
    std::string time = FormatDateTimeSeconds(*parsed);
    // The text's own precision: a date (10 characters) or minutes (16).
    if (upperEnd && text.size() == 10)
        time = time.substr(0, 10) + " 23:59:59";
    else if (upperEnd && text.size() == 16)
        time = time.substr(0, 16) + ":59";
    return time;
}

} // namespace

Row ReadRow(const QueryResult& rows)
{
    Row row;
    row.sequence = rows.AsInteger("XH");
    row.utcTime = rows.AsString("CZSJ_UTC");
    row.localTime = rows.AsString("CZSJ");
    row.workstation = rows.AsString("GZZ");
    row.systemUser = rows.AsString("XTYH");
    row.operatorCode = rows.AsString("CZY_DM");
    row.event = rows.AsString("SJLX");
    row.objectKind = rows.AsString("DXLX");
    row.objectCode = rows.AsString("DXDM");
    row.detail = rows.AsString("XQ");
    row.result = rows.AsString("JG");
    row.previousHash = rows.AsString("QHXZ");
    row.hash = rows.AsString("HXZ");
    return row;
}

namespace {

// The rows after `after` that match `where` (" WHERE ..." or empty), at
// most kRowsPerRead of them.
bool ReadChunk(const std::string& where, std::int64_t after, QueryResult& rows, std::string& message)
{
    rows.SetMaxRecords(kRowsPerRead);
    const std::string range = "XH>" + std::to_string(after);
    return CurrentHost().ExecADOQueryMsg(kMainConnection,
                                         "SELECT " + std::string(kRowColumns) + " FROM QX_CZRZ" +
                                             (where.empty() ? " WHERE " + range : where + " AND " + range) +
                                             " ORDER BY XH",
                                         rows, message, true);
}

std::string RowText(std::int64_t first, std::int64_t last)
{
    return first == last ? "第 " + std::to_string(first) + " 条记录"
                         : "第 " + std::to_string(first) + " 至 " + std::to_string(last) + " 条记录";
}

} // namespace

std::string WhereClause(const Filter& filter)
{
    std::string where;
    const auto add = [&where](const std::string& condition) {
        where += where.empty() ? " WHERE " : " AND ";
        where += condition;
    };
    if (const auto since = FilterTime(filter.since, false); since && !since->empty())
        add("CZSJ>=" + Quoted(*since));
    if (const auto until = FilterTime(filter.until, true); until && !until->empty())
        add("CZSJ<=" + Quoted(*until));
    if (!filter.operatorCode.empty())
        add("UPPER(CZY_DM)=UPPER(" + Quoted(filter.operatorCode) + ")");
    if (!filter.event.empty())
        add("SJLX=" + Quoted(filter.event));
    return where;
}

bool CheckFilter(const Filter& filter, std::string& message)
{
    for (const auto& [text, what] :
         {std::pair{&filter.since, "--since"}, std::pair{&filter.until, "--until"}})
        if (!FilterTime(*text, false)) {
            message = std::string(what) + " 的时间 “" + *text +
                      "” 无法识别，应为 yyyy-mm-dd 或 yyyy-mm-dd hh:nn[:ss]。";
            return false;
        }
    return true;
}

bool ReadRows(const Filter& filter, const std::function<bool(const Row&)>& consume, std::string& message)
{
    if (!CheckFilter(filter, message))
        return false;
    const std::string where = WhereClause(filter);
    std::int64_t after = 0;
    for (;;) {
        QueryResult rows;
        if (!ReadChunk(where, after, rows, message))
            return false;
        for (; !rows.Eof(); rows.Next()) {
            const Row row = ReadRow(rows);
            after = row.sequence;
            if (!consume(row))
                return true;
        }
        if (rows.RecordCount() < kRowsPerRead)
            return true;
    }
}

ChainCheck VerifyChain()
{
    ChainCheck check;
    const auto finish = [&check](ChainCheck::Finding finding, std::int64_t first, std::int64_t last,
                                 std::string text) {
        check.finding = finding;
        check.firstRow = first;
        check.lastRow = last;
        check.text = std::move(text);
        return check;
    };

    std::string message;
    switch (InspectLog(message)) {
    case LogState::Absent:
        return finish(ChainCheck::Finding::NoLog, 0, 0, "数据库中没有操作日志表（QX_CZRZ）。");
    case LogState::Unreadable:
        return finish(ChainCheck::Finding::Unreadable, 0, 0, "无法读取操作日志：" + message);
    case LogState::Present:
        break;
    }
    // One state of the log for the whole walk, while workstations append.
    Host& host = CurrentHost();
    const bool snapshot = host.DBBeginRead(kMainConnection, message);
    struct EndRead {
        bool open;
        ~EndRead()
        {
            if (open)
                CurrentHost().DBEndRead(kMainConnection);
        }
    } endRead{snapshot};

    QueryResult head;
    if (!host.ExecADOQueryMsg(kMainConnection, "SELECT XH, HXZ FROM QX_CZRZLT WHERE LT_ID=1", head, message,
                              true))
        return finish(ChainCheck::Finding::Unreadable, 0, 0, "无法读取操作日志链头：" + message);
    const bool headPresent = !head.Eof();
    const std::int64_t headSequence = headPresent ? head.AsInteger("XH") : 0;
    const std::string headHash = headPresent ? head.AsString("HXZ") : std::string();

    std::int64_t expected = 1;
    std::string previousHash = kFirstPreviousHash;
    std::optional<Row> pending; // a row waits for the one after it, which tells how it broke
    std::optional<ChainCheck> found;

    // A chain purged before starts at a checkpoint, which a purge row
    // further on must vouch for.
    std::optional<Row> checkpoint;
    bool vouched = false;

    // Judges `row` with `next` (the row after it, if any) in sight.
    const auto judge = [&](const Row& row, const Row* next) -> bool {
        if (check.rowsRead == 0 && row.event == kCheckpoint) {
            checkpoint = row;
            previousHash = row.hash;
            expected = row.sequence + 1;
            ++check.rowsRead;
            check.lastSequence = row.sequence;
            check.lastHash = row.hash;
            return true;
        }
        if (checkpoint && !vouched && row.event == kPurge &&
            row.detail.find(PurgedLastText(checkpoint->sequence, checkpoint->hash)) != std::string::npos)
            vouched = true;
        if (row.sequence > expected) {
            found = finish(ChainCheck::Finding::Removed, expected, row.sequence - 1,
                           RowText(expected, row.sequence - 1) + "已被删除。");
            return false;
        }
        if (headPresent && row.sequence > headSequence) {
            found = finish(ChainCheck::Finding::Inserted, row.sequence, row.sequence,
                           RowText(row.sequence, row.sequence) + "在操作日志链头之后，是插入的记录。");
            return false;
        }
        const bool contentIntact = ComputeHash(row) == row.hash;
        const bool linked = row.previousHash == previousHash;
        if (contentIntact && linked) {
            previousHash = row.hash;
            ++expected;
            ++check.rowsRead;
            check.lastSequence = row.sequence;
            check.lastHash = row.hash;
            return true;
        }
        // The row after a foreign row still links to the one before it.
        if (next && next->previousHash == previousHash) {
            found = finish(ChainCheck::Finding::Inserted, row.sequence, row.sequence,
                           RowText(row.sequence, row.sequence) + "是插入的记录，不属于操作日志。");
        } else if (!contentIntact || row.sequence == 1) {
            found = finish(ChainCheck::Finding::Changed, row.sequence, row.sequence,
                           RowText(row.sequence, row.sequence) + "已被修改。");
        } else {
            // Intact in itself but linked to another hash than its
            // predecessor's: the predecessor was changed, hash and all.
            found = finish(ChainCheck::Finding::Changed, row.sequence - 1, row.sequence - 1,
                           RowText(row.sequence - 1, row.sequence - 1) + "已被修改（连同其哈希值）。");
        }
        return false;
    };

    std::string readError;
    const bool read = ReadRows(
        Filter{},
        [&](const Row& row) {
            if (pending && !judge(*pending, &row))
                return false;
            pending = row;
            return true;
        },
        readError);
    if (!read)
        return finish(ChainCheck::Finding::Unreadable, 0, 0, "无法读取操作日志：" + readError);
    if (!found && pending)
        judge(*pending, nullptr);
    if (found)
        return *found;

    if (checkpoint && !vouched)
        return finish(ChainCheck::Finding::Removed, 1, checkpoint->sequence,
                      RowText(1, checkpoint->sequence) + "已被删除（第 " +
                          std::to_string(checkpoint->sequence) + " 条检查点没有对应的清除记录）。");
    const std::int64_t last = expected - 1;
    if (!headPresent) {
        if (last == 0)
            return finish(ChainCheck::Finding::Intact, 0, 0, "操作日志完整：尚无记录。");
        return finish(ChainCheck::Finding::HeadBroken, last, last,
                      "操作日志链头（QX_CZRZLT）缺失：无法确认第 " + std::to_string(last) +
                          " 条之后的记录是否被删除。");
    }
    if (last < headSequence)
        return finish(ChainCheck::Finding::Removed, last + 1, headSequence,
                      RowText(last + 1, headSequence) + "已被删除（操作日志的末尾）。");
    if (headHash != check.lastHash)
        return finish(ChainCheck::Finding::HeadBroken, last, last,
                      "操作日志链头与第 " + std::to_string(last) +
                          " 条记录的哈希值不符：该记录或链头已被修改。");
    return finish(ChainCheck::Finding::Intact, 0, 0,
                  "操作日志完整：共 " + std::to_string(check.rowsRead) + " 条记录" +
                      (checkpoint ? "（自第 " + std::to_string(checkpoint->sequence) + " 条检查点起）" : "") +
                      "，最后一条为第 " + std::to_string(last) + " 条，哈希值 " + check.lastHash + "。");
}

} // namespace priv::audit
