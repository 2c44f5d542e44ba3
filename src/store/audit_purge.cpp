#include "store/audit_purge.h"

#include "boundary/datetime.h"
#include "boundary/host.h"
#include "boundary/utilities.h"
#include "boundary/workstation.h"
#include "store/audit_reader.h"
#include "store/audit_record.h"

namespace priv::audit {
namespace {

std::string Quoted(const std::string& text)
{
    return "'" + QuoteSqlText(text) + "'";
}

bool Open(const std::string& sql, QueryResult& rows, std::string& message)
{
    return CurrentHost().ExecADOQueryMsg(kMainConnection, sql, rows, message, true);
}

bool Execute(const std::string& sql, std::string& message)
{
    QueryResult none;
    return CurrentHost().ExecADOQueryMsg(kMainConnection, sql, none, message, false);
}

} // namespace

std::string PurgedLastText(std::int64_t sequence, const std::string& hash)
{
    return "最后清除的记录：第 " + std::to_string(sequence) + " 条，哈希值 " + hash;
}

bool PurgeBefore(const std::string& before, PurgeResult& result, std::string& message)
{
    result = {};
    const std::optional<double> moment = ParseDateTime(before);
    if (!moment || (before.size() != 10 && before.size() != 16 && before.size() != 19)) {
        message = "时间应为 yyyy-mm-dd 或 yyyy-mm-dd hh:nn[:ss]：" + before;
        return false;
    }
    const std::string limit = FormatDateTimeSeconds(*moment);
    return RunRecorded([&](RecordedChange& change) {
        if (!change.Recording()) {
            message = "数据库中没有操作日志表（QX_CZRZ）。";
            return false;
        }
        // Where the chain starts now (row 1, or a checkpoint of an earlier
        // purge) and the first row to keep.
        QueryResult rows;
        if (!Open("SELECT MIN(XH) AS F, MAX(XH) AS L FROM QX_CZRZ", rows, message))
            return false;
        const std::int64_t first = rows.AsInteger("F");
        std::int64_t last = rows.AsInteger("L");
        if (!Open("SELECT MIN(XH) AS K FROM QX_CZRZ WHERE CZSJ>=" + Quoted(limit), rows, message))
            return false;
        if (!rows.AsString("K").empty())
            last = rows.AsInteger("K") - 1;
        if (!Open("SELECT XH, CZSJ_UTC, CZSJ, SJLX, QHXZ, HXZ FROM QX_CZRZ WHERE XH IN (" +
                      std::to_string(first) + ", " + std::to_string(last) + ") ORDER BY XH",
                  rows, message))
            return false;
        if (rows.Eof() || last < first)
            return true; // nothing before the date
        const bool startsAtCheckpoint = rows.AsString("SJLX") == kCheckpoint;
        result.first = startsAtCheckpoint ? first + 1 : first;
        if (result.first > last)
            return true;
        for (; !rows.Eof() && rows.AsInteger("XH") != last; rows.Next()) {
        }
        if (rows.Eof()) {
            message = "操作日志第 " + std::to_string(last) + " 条记录缺失，无法清除。";
            return false;
        }
        result.last = last;
        result.count = result.last - result.first + 1;

        Row checkpoint;
        checkpoint.sequence = last;
        // It stands where the last row purged stood, at its time.
        checkpoint.utcTime = rows.AsString("CZSJ_UTC");
        checkpoint.localTime = rows.AsString("CZSJ");
        checkpoint.workstation = WorkstationName();
        checkpoint.systemUser = SystemUserName();
        checkpoint.operatorCode = SignedInOperatorCode();
        checkpoint.event = kCheckpoint;
        checkpoint.objectKind = kObjectDatabase;
        checkpoint.detail = "此前的记录已清除，本行承接第 " + std::to_string(last) + " 条记录的哈希值";
        checkpoint.result = kResultDone;
        checkpoint.previousHash = rows.AsString("QHXZ");
        checkpoint.hash = rows.AsString("HXZ");
        const std::string hash = checkpoint.hash;
        if (!Execute("DELETE FROM QX_CZRZ WHERE XH<=" + std::to_string(last), message) ||
            !Execute("INSERT INTO QX_CZRZ(" + std::string(kRowColumns) + ") VALUES(" + std::to_string(last) +
                         ", " + Quoted(checkpoint.utcTime) + ", " + Quoted(checkpoint.localTime) + ", " +
                         Quoted(checkpoint.workstation) + ", " + Quoted(checkpoint.systemUser) + ", " +
                         Quoted(checkpoint.operatorCode) + ", " + Quoted(checkpoint.event) + ", " +
                         Quoted(checkpoint.objectKind) + ", '', " + Quoted(checkpoint.detail) + ", " +
                         Quoted(checkpoint.result) + ", " + Quoted(checkpoint.previousHash) + ", " +
                         Quoted(checkpoint.hash) + ")",
                     message))
            return false;
        if (!change.Record(Event{kPurge, kObjectDatabase, "",
                                 "清除 " + before + " 之前的记录：第 " + std::to_string(result.first) +
                                     " 至 " + std::to_string(result.last) + " 条，共 " +
                                     std::to_string(result.count) + " 条；" + PurgedLastText(last, hash)})) {
            message = change.Failure();
            return false;
        }
        return true;
    });
}

} // namespace priv::audit
