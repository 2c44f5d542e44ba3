// The operation log (操作日志): every sign-in and every change an
// administrator makes, one row each in QX_CZRZ, written in the same
// transaction as the change it records. The rows form one chain: each row's
// hash (SHA-256) covers its content and the hash of the row before it, and
// QX_CZRZLT, the chain's head, holds the number and hash of the last row.
// Editing, removing or inserting a row without recomputing every hash after
// it breaks the chain where it happened (VerifyChain finds it).
//
// A database made before the log has neither table: changes then run
// exactly as they always did, unrecorded, and the host's log says so once.
#pragma once

#include "boundary/host.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace priv::audit {

// --- Tables ----------------------------------------------------------------------
inline constexpr const char* kLogTable = "QX_CZRZ";    // 操作日志
inline constexpr const char* kHeadTable = "QX_CZRZLT"; // 操作日志链头: one row, LT_ID 1

// --- Events (SJLX), as `privhost audit --event` takes them -------------------------
inline constexpr const char* kSignIn = "signin";
inline constexpr const char* kOperatorAdd = "operator.add";
inline constexpr const char* kOperatorModify = "operator.modify";
inline constexpr const char* kOperatorDelete = "operator.delete";
inline constexpr const char* kPasswordChange = "password.change";
inline constexpr const char* kPostAdd = "post.add";
inline constexpr const char* kPostRename = "post.rename";
inline constexpr const char* kPostDelete = "post.delete";
inline constexpr const char* kDepartmentAdd = "department.add";
inline constexpr const char* kDepartmentRename = "department.rename";
inline constexpr const char* kDepartmentDelete = "department.delete";
inline constexpr const char* kCompanyGrant = "company.grant";
inline constexpr const char* kCompanyRevoke = "company.revoke";
inline constexpr const char* kGrantsSave = "grants.save"; // one row per company the save changed
inline constexpr const char* kInit = "init";
inline constexpr const char* kImport = "import";               // privhost import, in the database it writes
inline constexpr const char* kCopy = "copy";                   // privhost copy, in the database copied to
inline constexpr const char* kPurge = "audit.purge";           // privhost audit purge
inline constexpr const char* kCheckpoint = "audit.checkpoint"; // where a purged chain starts

// The Chinese caption of an event for people reading the log; empty for a
// name this version does not know.
std::string_view EventCaption(std::string_view event);
// The names of every event this version writes, for a reader to choose from.
std::vector<std::string_view> KnownEvents();

// --- Object kinds (DXLX) and results (JG) ------------------------------------------
inline constexpr const char* kObjectOperator = "操作员";
inline constexpr const char* kObjectPost = "岗位";
inline constexpr const char* kObjectDepartment = "部门";
inline constexpr const char* kObjectDatabase = "数据库";
inline constexpr const char* kResultDone = "成功";
inline constexpr const char* kResultRefused = "拒绝";

// What happened, as the caller knows it; when, where, who and the chain's
// links are added by the recorder.
struct Event {
    std::string name;
    std::string objectKind;
    std::string objectCode;
    std::string detail; // for a change: what was and what became, by field
    std::string result = kResultDone;
};

// One row of the log, as stored.
struct Row {
    std::int64_t sequence = 0; // XH, 1, 2, 3, ... without gaps
    std::string utcTime;       // CZSJ_UTC, "yyyy-mm-ddThh:nn:ssZ"
    std::string localTime;     // CZSJ, "yyyy-mm-dd hh:nn:ss", the workstation's clock
    std::string workstation;   // GZZ, host name
    std::string systemUser;    // XTYH
    std::string operatorCode;  // CZY_DM, the operator signed in ("" before sign-in)
    std::string event;         // SJLX
    std::string objectKind;    // DXLX
    std::string objectCode;    // DXDM
    std::string detail;        // XQ
    std::string result;        // JG
    std::string previousHash;  // QHXZ, the hash of row XH-1 (kFirstPreviousHash for row 1)
    std::string hash;          // HXZ
};

// What the first row links back to.
inline constexpr const char* kFirstPreviousHash =
    "0000000000000000000000000000000000000000000000000000000000000000";

// The hash a row must carry: SHA-256, in hexadecimal, over every field above
// but the hash itself, each written as its length in bytes, ':', its bytes
// and ';'. Empty when the platform could not compute it.
std::string ComputeHash(const Row& row);

// The columns of a row, in the order the statements name them.
inline constexpr const char* kRowColumns =
    "XH, CZSJ_UTC, CZSJ, GZZ, XTYH, CZY_DM, SJLX, DXLX, DXDM, XQ, JG, QHXZ, HXZ";

// Whether this database keeps the log.
enum class LogState { Present, Absent, Unreadable };
// Asks the catalogue. Unreadable (the reason in `message`) when the
// catalogue cannot be read, when the host cannot tell its database product,
// or when only one of the two tables exists (the log must not stop
// recording because its head was dropped).
LogState InspectLog(std::string& message, const std::string& connection = kMainConnection);

// One change and its records, in one transaction. Begin looks for the log:
// without it nothing else happens here, and the change runs as it always
// did. With it, Begin opens a host transaction (or joins the one that is
// open on the connection) and takes the chain's head, so that workstations
// that record at the same time append one after another; the stores' own
// transactions then join this one.
class RecordedChange {
public:
    // `undoesChange`: a failed record undoes a change (said in the host's
    // log and kept for TakeRecordFailure); false for an event that changes
    // nothing else (RecordAlone says what it needs itself).
    // `connection`: the host connection whose database the change is made
    // in and recorded in.
    explicit RecordedChange(bool undoesChange = true, std::string connection = kMainConnection)
        : undoesChange_(undoesChange), connection_(std::move(connection))
    {
    }
    RecordedChange(const RecordedChange&) = delete;
    RecordedChange& operator=(const RecordedChange&) = delete;
    // Rolls back a transaction it opened and did not end.
    ~RecordedChange();

    // False when the change must not go ahead: the log cannot be read, or
    // the transaction or the chain's head cannot be had.
    bool Begin();
    bool Recording() const { return recording_; }
    // Appends one row for `event`. Without the log: true, nothing written.
    bool Record(const Event& event);
    // Appends one row for each event, in order, in one statement.
    bool RecordAll(const std::vector<Event>& events);
    // Ends a transaction this change opened; a joined one is left to its
    // owner. Without the log: true.
    bool Commit();
    void Rollback();
    // Why Begin, Record or Commit failed.
    const std::string& Failure() const { return failure_; }

private:
    bool Fail(std::string reason);

    bool undoesChange_ = true;
    std::string connection_;
    bool recording_ = false;
    bool ownTransaction_ = false;
    bool open_ = false;
    bool postgres_ = false;
    // The chain's end as this change last left it (valid once read).
    bool chainKnown_ = false;
    bool headPresent_ = false;
    std::int64_t lastSequence_ = 0;
    std::string lastHash_;
    std::string failure_;
};

// Runs `work` (bool(RecordedChange&): the change's statements, then its
// Record calls) in one recorded change: committed when it answers true,
// rolled back otherwise. A record that could not be written undoes the
// change; TakeRecordFailure then says why, for the window to show.
template <class Work> bool RunRecorded(Work&& work)
{
    RecordedChange change;
    if (!change.Begin())
        return false;
    bool done = false;
    try {
        done = work(change);
    } catch (...) {
        done = false;
    }
    if (!done) {
        change.Rollback();
        return false;
    }
    return change.Commit();
}

// The reason the last recorded change was undone because its record could
// not be written, once; nothing when it was not.
std::optional<std::string> TakeRecordFailure();

// The text a window shows for such a failure: "系统错误：[70018513]" and
// the reason.
std::string RecordFailureMessage(const std::string& reason);

// Records an event that changes nothing else (a sign-in), in a transaction
// of its own (or the open one). Never fails its caller: a row that cannot be
// written is written to the host's log instead.
void RecordAlone(const Event& event);

// The signed-in operator as the host knows him (its user-information
// record's "CZY_DM"), empty before anyone signed in.
std::string SignedInOperatorCode();

} // namespace priv::audit
