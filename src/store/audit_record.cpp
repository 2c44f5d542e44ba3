#include "store/audit_record.h"

#include "boundary/datetime.h"
#include "boundary/host.h"
#include "boundary/sha256.h"
#include "boundary/utilities.h"
#include "boundary/workstation.h"

#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

namespace priv::audit {
namespace {

constexpr const char* kRecordFailureNumber = "70018513";

std::optional<std::string>& PendingFailure()
{
    static std::optional<std::string> failure;
    return failure;
}

// The host's log hears of a database without the log once, not at every change.
bool& AbsenceLogged()
{
    static bool logged = false;
    return logged;
}

void AppendField(std::string& out, std::string_view field)
{
    out += std::to_string(field.size());
    out += ':';
    out += field;
    out += ';';
}

std::string Quoted(const std::string& text)
{
    return "'" + QuoteSqlText(text) + "'";
}

bool Execute(const std::string& connection, const std::string& sql, std::string& message)
{
    QueryResult none;
    return CurrentHost().ExecADOQueryMsg(connection, sql, none, message, false);
}

bool Open(const std::string& connection, const std::string& sql, QueryResult& rows, std::string& message)
{
    return CurrentHost().ExecADOQueryMsg(connection, sql, rows, message, true);
}

// The workstation's clock as UTC. The local time is the host's (Now(), the
// clock tests set); the system's time-zone rules say what it is in UTC.
std::string UtcText(double localDayCount)
{
    const CivilDateTime local = DecodeDateTime(localDayCount);
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;
    const std::time_t moment = std::mktime(&fields);
    std::tm utc{};
#if defined(_WIN32)
    const bool converted = moment != static_cast<std::time_t>(-1) && gmtime_s(&utc, &moment) == 0;
#else
    const bool converted = moment != static_cast<std::time_t>(-1) && gmtime_r(&moment, &utc) != nullptr;
#endif
    if (!converted)
        return {};
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

// The number and hash of the chain's last row: from the head, or, when the
// head row is missing, from the last row itself (a head lost must not stop
// the recording; verifying names the loss).
bool ReadChainEnd(const std::string& connection, std::int64_t& sequence, std::string& hash, bool& headPresent,
                  std::string& message)
{
    QueryResult head;
    if (!Open(connection, "SELECT XH, HXZ FROM QX_CZRZLT WHERE LT_ID=1", head, message))
        return false;
    headPresent = !head.Eof();
    if (headPresent) {
        sequence = head.AsInteger("XH");
        hash = head.AsString("HXZ");
        return true;
    }
    QueryResult last;
    if (!Open(connection, "SELECT XH, HXZ FROM QX_CZRZ WHERE XH=(SELECT MAX(XH) FROM QX_CZRZ)", last,
              message))
        return false;
    sequence = last.Eof() ? 0 : last.AsInteger("XH");
    hash = last.Eof() ? kFirstPreviousHash : last.AsString("HXZ");
    return true;
}

} // namespace

namespace {

// Every event this version writes, in the order a reader is offered them.
constexpr std::pair<std::string_view, std::string_view> kCaptions[] = {
    {kSignIn, "登录"},
    {kOperatorAdd, "新增操作员"},
    {kOperatorModify, "修改操作员"},
    {kOperatorDelete, "删除操作员"},
    {kPasswordChange, "修改密码"},
    {kPostAdd, "新增岗位"},
    {kPostRename, "修改岗位名称"},
    {kPostDelete, "删除岗位"},
    {kDepartmentAdd, "新增部门"},
    {kDepartmentRename, "修改部门名称"},
    {kDepartmentDelete, "删除部门"},
    {kCompanyGrant, "授予单位"},
    {kCompanyRevoke, "收回单位"},
    {kGrantsSave, "保存岗位权限"},
    {kInit, "初始化数据库"},
    {kImport, "导入权限数据"},
    {kCopy, "复制权限数据"},
    {kPurge, "清除操作日志"},
    {kCheckpoint, "操作日志检查点"},
};

} // namespace

std::string_view EventCaption(std::string_view event)
{
    for (const auto& [name, caption] : kCaptions)
        if (name == event)
            return caption;
    return {};
}

std::vector<std::string_view> KnownEvents()
{
    std::vector<std::string_view> names;
    for (const auto& entry : kCaptions)
        names.push_back(entry.first);
    return names;
}

std::string ComputeHash(const Row& row)
{
    std::string content;
    AppendField(content, std::to_string(row.sequence));
    for (const std::string* field :
         {&row.utcTime, &row.localTime, &row.workstation, &row.systemUser, &row.operatorCode, &row.event,
          &row.objectKind, &row.objectCode, &row.detail, &row.result, &row.previousHash})
        AppendField(content, *field);
    return Sha256Hex(content);
}

LogState InspectLog(std::string& message, const std::string& connection)
{
    Host& host = CurrentHost();
    const std::string product = host.DBProduct(connection);
    std::string sql;
    if (product == "sqlite")
        sql = "SELECT COUNT(*) AS N FROM sqlite_master WHERE type='table' AND UPPER(name) IN "
              "('QX_CZRZ','QX_CZRZLT')";
    else if (product == "postgresql")
        // The system catalogue itself, by its name index: every change asks
        // this first, and information_schema's view costs more than many a
        // change. Tables and their look-alikes only, in the schema the
        // statements' unqualified names land in.
        sql =
            "SELECT COUNT(*) AS N FROM pg_catalog.pg_class WHERE relnamespace=(SELECT oid FROM "
            "pg_catalog.pg_namespace WHERE nspname=current_schema()) AND relname IN ('qx_czrz','qx_czrzlt') "
            "AND relkind IN ('r','p','v','f')";
    else {
        message = "无法判断数据库的种类，操作日志不可用。";
        return LogState::Unreadable;
    }
    QueryResult count;
    if (!Open(connection, sql, count, message))
        return LogState::Unreadable;
    switch (count.Eof() ? 0 : count.AsInteger("N")) {
    case 2:
        AbsenceLogged() = false;
        return LogState::Present;
    case 0:
        if (!AbsenceLogged()) {
            AbsenceLogged() = true;
            host.Info("0", "数据库中没有操作日志表 QX_CZRZ，登录和管理操作不作记录；运行 privhost init "
                           "可以补建。");
        }
        return LogState::Absent;
    default:
        message = "操作日志表不完整（QX_CZRZ 与 QX_CZRZLT 缺一），请运行 privhost init 补建。";
        return LogState::Unreadable;
    }
}

RecordedChange::~RecordedChange()
{
    if (open_ && ownTransaction_) {
        try {
            std::string message;
            CurrentHost().DBRollbackTrans(connection_, message);
        } catch (...) {
        }
    }
}

bool RecordedChange::Fail(std::string reason)
{
    failure_ = std::move(reason);
    if (undoesChange_) {
        PendingFailure() = failure_;
        CurrentHost().Error("0", "[" + std::string(kRecordFailureNumber) + "]操作日志写入失败，更改已撤销：" +
                                     failure_);
    }
    return false;
}

bool RecordedChange::Begin()
{
    if (undoesChange_)
        PendingFailure().reset();
    std::string message;
    switch (InspectLog(message, connection_)) {
    case LogState::Absent:
        return true;
    case LogState::Unreadable:
        return Fail(message);
    case LogState::Present:
        break;
    }
    Host& host = CurrentHost();
    recording_ = true;
    if (!host.DBInTransaction(connection_)) {
        if (!host.DBBeginTrans(connection_, message)) {
            failure_ = message;
            return false;
        }
        ownTransaction_ = true;
    }
    open_ = true;
    // PostgreSQL: the head's lock comes before anything the transaction
    // reads. LOCK takes no snapshot, so this transaction's snapshot (its
    // first read, REPEATABLE READ) is taken after the workstation before it
    // committed, and the chain's end it reads is the true one; a row lock
    // taken by a read would find that row changed since the snapshot and
    // fail. SQLite: the host's transaction already holds the file's write
    // lock. In a transaction joined late the chain's end may be stale: the
    // head's update and the row number's key then refuse the row, and the
    // change fails rather than forking the chain.
    postgres_ = host.DBProduct(connection_) == "postgresql";
    if (postgres_ && !Execute(connection_, "LOCK TABLE QX_CZRZLT IN EXCLUSIVE MODE", message))
        return Fail("无法锁定操作日志链头：" + message);
    return true;
}

bool RecordedChange::Record(const Event& event)
{
    return RecordAll({event});
}

bool RecordedChange::RecordAll(const std::vector<Event>& events)
{
    if (!recording_ || events.empty())
        return true;
    if (!open_)
        return Fail("操作日志的事务未打开。");
    std::string message;
    // The chain's end is read once per change: the head's lock (or the
    // file's write lock) is held from Begin, so after that only this change
    // moves it, and it knows where it moved it.
    if (!chainKnown_) {
        if (!ReadChainEnd(connection_, lastSequence_, lastHash_, headPresent_, message))
            return Fail("无法读取操作日志链头：" + message);
        chainKnown_ = true;
    }

    Host& host = CurrentHost();
    const double now = host.Now();
    Row row;
    row.localTime = FormatDateTimeSeconds(now);
    row.utcTime = UtcText(now);
    row.workstation = WorkstationName();
    row.systemUser = SystemUserName();
    row.operatorCode = SignedInOperatorCode();
    std::int64_t sequence = lastSequence_;
    std::string hash = lastHash_;
    // Every row in one statement: a save that changed many companies pays
    // one round trip for its records, not one per company.
    std::string insert = "INSERT INTO QX_CZRZ(" + std::string(kRowColumns) + ") VALUES";
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& event = events[i];
        row.sequence = ++sequence;
        row.event = event.name;
        row.objectKind = event.objectKind;
        row.objectCode = event.objectCode;
        row.detail = event.detail;
        row.result = event.result;
        row.previousHash = hash;
        row.hash = ComputeHash(row);
        if (row.hash.empty())
            return Fail("无法计算操作日志的哈希值。");
        hash = row.hash;
        insert += std::string(i ? ", " : "") + "(" + std::to_string(row.sequence) + ", " +
                  Quoted(row.utcTime) + ", " + Quoted(row.localTime) + ", " + Quoted(row.workstation) + ", " +
                  Quoted(row.systemUser) + ", " + Quoted(row.operatorCode) + ", " + Quoted(row.event) + ", " +
                  Quoted(row.objectKind) + ", " + Quoted(row.objectCode) + ", " + Quoted(row.detail) + ", " +
                  Quoted(row.result) + ", " + Quoted(row.previousHash) + ", " + Quoted(row.hash) + ")";
    }
    // A failed statement leaves the chain's end unknown again.
    chainKnown_ = false;
    const std::string last = std::to_string(sequence);
    const std::string head =
        headPresent_ ? "UPDATE QX_CZRZLT SET XH=" + last + ", HXZ=" + Quoted(hash) + " WHERE LT_ID=1"
                     : "INSERT INTO QX_CZRZLT(LT_ID, XH, HXZ) VALUES(1, " + last + ", " + Quoted(hash) + ")";
    if (postgres_) {
        // The rows and the head in one round trip: the two touch different
        // tables, and the head's lock, taken in Begin, keeps everyone else
        // out of both until the commit.
        if (!Execute(connection_, "WITH NEW_ROWS AS (" + insert + ") " + head, message))
            return Fail("无法写入操作日志：" + message);
    } else {
        if (!Execute(connection_, insert, message))
            return Fail("无法写入操作日志：" + message);
        if (!Execute(connection_, head, message))
            return Fail("无法更新操作日志链头：" + message);
    }
    chainKnown_ = true;
    headPresent_ = true;
    lastSequence_ = sequence;
    lastHash_ = hash;
    return true;
}

bool RecordedChange::Commit()
{
    if (!open_ || !ownTransaction_)
        return true;
    std::string message;
    open_ = false;
    if (!CurrentHost().DBCommitTrans(connection_, message)) {
        failure_ = message;
        // A commit that fails leaves the transaction to be rolled back.
        CurrentHost().DBRollbackTrans(connection_, message);
        return false;
    }
    return true;
}

void RecordedChange::Rollback()
{
    if (!open_ || !ownTransaction_)
        return;
    open_ = false;
    std::string message;
    CurrentHost().DBRollbackTrans(connection_, message);
}

std::optional<std::string> TakeRecordFailure()
{
    return std::exchange(PendingFailure(), std::nullopt);
}

std::string RecordFailureMessage(const std::string& reason)
{
    return "系统错误：[" + std::string(kRecordFailureNumber) + "]\r\n操作日志写入失败，本次更改未保存：" +
           reason;
}

void RecordAlone(const Event& event)
{
    // A sign-in goes ahead whatever became of its record; the reason goes
    // to the host's log.
    std::string failure;
    try {
        RecordedChange change(false);
        if (!change.Begin() || !change.Record(event) || !change.Commit())
            failure = change.Failure().empty() ? "未知原因" : change.Failure();
    } catch (...) {
        failure = "未知原因";
    }
    if (failure.empty())
        return;
    try {
        CurrentHost().Error("0", "[" + std::string(kRecordFailureNumber) + "]" +
                                     std::string(EventCaption(event.name)) + "记录未能写入操作日志（" +
                                     event.objectCode + "，" + event.result + "）：" + failure);
    } catch (...) {
    }
}

std::string SignedInOperatorCode()
{
    const RecordEntry* entry = CurrentHost().GetUserInfoVO().Find("CZY_DM");
    return entry && entry->kind == EntryKind::Text ? entry->text : std::string();
}

} // namespace priv::audit
