#include "store/audited_changes.h"

#include "boundary/text.h"
#include "boundary/utilities.h"
#include "store/audit_record.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <optional>
#include <vector>

namespace priv::audit {
namespace {

constexpr const char* kPasswordChangedText = "已修改";

std::string Shown(const std::string& value)
{
    return value.empty() ? "（空）" : value;
}

// Details joined in reading order.
class Detail {
public:
    void Add(const std::string& piece)
    {
        if (piece.empty())
            return;
        if (!text_.empty())
            text_ += "；";
        text_ += piece;
    }
    void Value(const std::string& field, const std::string& value) { Add(field + "：" + Shown(value)); }
    void Change(const std::string& field, const std::string& before, const std::string& after)
    {
        if (before != after)
            Add(ChangeText(field, before, after));
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// A read the record depends on failed: the change does not go ahead
// (RunRecorded rolls it back), rather than go unrecorded.
struct ReadFailed {};

// One row's columns by a code whatever its letter case, as the stores find
// it; nothing when there is no such row. Throws ReadFailed when the
// statement fails.
std::optional<QueryResult> ReadByCode(const std::string& select, const std::string& code, const char* column)
{
    QueryResult rows;
    std::string statement;
    if (!store::Run(statement, rows, select + QuoteSqlText(code) + "')", true))
        throw ReadFailed{};
    if (!store::MoveToCode(rows, code, column))
        return std::nullopt;
    return rows;
}

// The operator's stored code, for the changes that only need to know that
// he exists.
std::optional<std::string> StoredOperatorCode(const std::string& code)
{
    const std::optional<QueryResult> row =
        ReadByCode("SELECT CZY_DM FROM QX_CZY WHERE UPPER(CZY_DM)=UPPER('", code, schema::kOperatorCode);
    return row ? std::optional<std::string>(row->AsString(schema::kOperatorCode)) : std::nullopt;
}

struct StoredOperator {
    OperatorInfo info;
    std::string address; // whole, where the record keeps 255 bytes
};

std::optional<StoredOperator> ReadOperator(TOperator& store, const std::string& code)
{
    // The common case in one statement: the operator's load reads the
    // whole row. It may find another operator whose code differs only in
    // case when the one written exactly so has no post; then as below.
    StoredOperator stored;
    if (store.LoadOperator(code, stored.info, &stored.address) && stored.info.Code == code)
        return stored;
    stored = {};
    const std::optional<QueryResult> row = ReadByCode(
        "SELECT CZY_DM, CZY_MC, ZZ FROM QX_CZY WHERE UPPER(CZY_DM)=UPPER('", code, schema::kOperatorCode);
    if (!row)
        return std::nullopt;
    stored.address = row->AsString(schema::kAddress);
    // The rest as the operator's load reads it (an operator without a post
    // has no load: his code and name still say whom the change touched).
    // The load must have found this very operator, not the one whose code
    // differs only in case and who has a post.
    const std::string storedCode = row->AsString(schema::kOperatorCode);
    if (!store.LoadOperator(storedCode, stored.info) || stored.info.Code != storedCode) {
        stored.info = {};
        stored.info.Code = storedCode;
        stored.info.Name = row->AsString(schema::kOperatorName);
    }
    return stored;
}

void DescribeOperator(Detail& detail, const OperatorInfo& info, const std::string& address)
{
    detail.Value("姓名", info.Name);
    detail.Value("岗位", info.PostCode);
    detail.Value("部门", info.DepartmentCode);
    detail.Value("联系电话", info.Phone);
    detail.Value("电子邮箱", info.Email);
    detail.Value("住址", address);
    detail.Value("有效标志", info.ValidFlag);
}

Event OperatorEvent(const char* name, const std::string& code, std::string detail)
{
    return Event{name, kObjectOperator, code, std::move(detail)};
}

bool IsSignedIn(const std::string& operatorCode)
{
    return SameTextAscii(SignedInOperatorCode(), operatorCode) && !operatorCode.empty();
}

bool RecordPasswordChange(RecordedChange& change, const std::string& code, TOperator& store,
                          const std::string& enciphered, const std::string& how)
{
    // Nothing is recorded for a code that matches no operator (the update
    // changes nothing and still answers true).
    const std::optional<std::string> stored = StoredOperatorCode(code);
    if (!store.ModifyPassword(code, enciphered))
        return false;
    // The update goes by the code exactly as given.
    if (!stored || *stored != code)
        return true;
    return change.Record(OperatorEvent(kPasswordChange, *stored,
                                       "密码：" + std::string(kPasswordChangedText) + "（" + how + "）"));
}

const char* OutcomeText(SignInOutcome outcome)
{
    switch (outcome) {
    case SignInOutcome::SignedIn:
        return "";
    case SignInOutcome::UnknownOperator:
        return "操作员代码不存在或不可登录";
    case SignInOutcome::WrongPassword:
        return "密码错误";
    case SignInOutcome::NotActive:
        return "操作员已停用";
    case SignInOutcome::CheckFailed:
        return "核对密码时出错";
    }
    return "";
}

} // namespace

std::string ChangeText(const std::string& field, const std::string& before, const std::string& after)
{
    return field + "：" + Shown(before) + "→" + Shown(after);
}

// --- Operators ----------------------------------------------------------------------

bool AddOperator(TOperator& store, const OperatorInfo& info)
{
    return RunRecorded([&](RecordedChange& change) {
        if (!store.AddOperator(info))
            return false;
        Detail detail;
        DescribeOperator(detail, info, info.Address);
        detail.Add("密码：已设置");
        return change.Record(OperatorEvent(kOperatorAdd, info.Code, detail.Text()));
    });
}

bool ModifyOperator(TOperator& store, const OperatorInfo& info, const SamePassword& samePassword)
{
    return RunRecorded([&](RecordedChange& change) {
        const std::optional<StoredOperator> before =
            change.Recording() ? ReadOperator(store, info.Code) : std::nullopt;
        if (!store.ModifyOperator(info))
            return false;
        // The update goes by the code exactly as given.
        if (!before || before->info.Code != info.Code)
            return true;
        const OperatorInfo& was = before->info;
        Detail detail;
        detail.Change("姓名", was.Name, info.Name);
        detail.Change("岗位", was.PostCode, info.PostCode);
        detail.Change("部门", was.DepartmentCode, info.DepartmentCode);
        detail.Change("联系电话", was.Phone, info.Phone);
        detail.Change("电子邮箱", was.Email, info.Email);
        detail.Change("住址", before->address, info.Address);
        detail.Change("有效标志", was.ValidFlag, info.ValidFlag);
        const bool passwordChanged = !samePassword || !samePassword(was.Password, info.Password);
        if (passwordChanged)
            detail.Add("密码：" + std::string(kPasswordChangedText));
        if (!detail.Text().empty() && !change.Record(OperatorEvent(kOperatorModify, was.Code, detail.Text())))
            return false;
        if (passwordChanged &&
            !change.Record(OperatorEvent(kPasswordChange, was.Code,
                                         "密码：" + std::string(kPasswordChangedText) + "（" +
                                             (IsSignedIn(was.Code) ? "本人修改" : "管理员修改") + "）")))
            return false;
        return true;
    });
}

bool DeleteOperator(TOperator& store, const std::string& operatorCode)
{
    return RunRecorded([&](RecordedChange& change) {
        const std::optional<StoredOperator> before =
            change.Recording() ? ReadOperator(store, operatorCode) : std::nullopt;
        if (!store.DeleteOperator(operatorCode))
            return false;
        Detail detail;
        std::string code = operatorCode;
        if (before) {
            code = before->info.Code;
            detail.Value("姓名", before->info.Name);
            detail.Value("岗位", before->info.PostCode);
        }
        return change.Record(OperatorEvent(kOperatorDelete, code, detail.Text()));
    });
}

bool ModifyPassword(TOperator& store, const std::string& operatorCode, const std::string& enciphered)
{
    return RunRecorded([&](RecordedChange& change) {
        if (!change.Recording())
            return store.ModifyPassword(operatorCode, enciphered);
        return RecordPasswordChange(change, operatorCode, store, enciphered,
                                    IsSignedIn(operatorCode) ? "本人修改" : "管理员修改");
    });
}

bool SetPasswordFromCommandLine(TOperator& store, const std::string& operatorCode,
                                const std::string& enciphered)
{
    return RunRecorded([&](RecordedChange& change) {
        if (!change.Recording())
            return store.ModifyPassword(operatorCode, enciphered);
        return RecordPasswordChange(change, operatorCode, store, enciphered, "privhost passwd 设置");
    });
}

// --- Posts ------------------------------------------------------------------------------

bool AddPost(TRolesMgr& store, const UserPostInfo& post)
{
    return RunRecorded([&](RecordedChange& change) {
        return store.AddPost(post) &&
               change.Record(Event{kPostAdd, kObjectPost, post.Code, "名称：" + Shown(post.Name)});
    });
}

bool ModifyPost(TRolesMgr& store, const UserPostInfo& post)
{
    return RunRecorded([&](RecordedChange& change) {
        const std::optional<QueryResult> before =
            change.Recording() ? ReadByCode("SELECT JS_DM, JS_MC FROM QX_ROLES WHERE UPPER(JS_DM)=UPPER('",
                                            post.Code, schema::kPostCode)
                               : std::nullopt;
        if (!store.ModifyPost(post))
            return false;
        // The update goes by the code exactly as given.
        if (!before || before->AsString(schema::kPostCode) != post.Code)
            return true;
        return change.Record(Event{kPostRename, kObjectPost, post.Code,
                                   ChangeText("名称", before->AsString(schema::kPostName), post.Name)});
    });
}

bool DeletePost(TRolesMgr& store, const std::string& code)
{
    return RunRecorded([&](RecordedChange& change) {
        const std::optional<QueryResult> before =
            change.Recording() ? ReadByCode("SELECT JS_DM, JS_MC FROM QX_ROLES WHERE UPPER(JS_DM)=UPPER('",
                                            code, schema::kPostCode)
                               : std::nullopt;
        if (!store.DeletePost(code))
            return false;
        return change.Record(Event{kPostDelete, kObjectPost,
                                   before ? before->AsString(schema::kPostCode) : code,
                                   before ? "名称：" + Shown(before->AsString(schema::kPostName)) : ""});
    });
}

// --- Departments ------------------------------------------------------------------------

bool AddDepartment(TDepartmentMgr& store, const DepartmentInfo& department)
{
    return RunRecorded([&](RecordedChange& change) {
        return store.AddDepartment(department) &&
               change.Record(Event{kDepartmentAdd, kObjectDepartment, department.Code,
                                   "名称：" + Shown(department.Name)});
    });
}

bool ModifyDepartment(TDepartmentMgr& store, const DepartmentInfo& department)
{
    return RunRecorded([&](RecordedChange& change) {
        const std::optional<QueryResult> before =
            change.Recording() ? ReadByCode("SELECT BM_DM, BM_MC FROM XT_BMXX WHERE UPPER(BM_DM)=UPPER('",
                                            department.Code, schema::kDepartmentCode)
                               : std::nullopt;
        if (!store.ModifyDepartment(department))
            return false;
        if (!before)
            return true;
        return change.Record(
            Event{kDepartmentRename, kObjectDepartment, before->AsString(schema::kDepartmentCode),
                  ChangeText("名称", before->AsString(schema::kDepartmentName), department.Name)});
    });
}

bool DeleteDepartment(TDepartmentMgr& store, const std::string& code)
{
    return RunRecorded([&](RecordedChange& change) {
        const std::optional<QueryResult> before =
            change.Recording() ? ReadByCode("SELECT BM_DM, BM_MC FROM XT_BMXX WHERE UPPER(BM_DM)=UPPER('",
                                            code, schema::kDepartmentCode)
                               : std::nullopt;
        if (!store.DeleteDepartment(code))
            return false;
        return change.Record(Event{
            kDepartmentDelete, kObjectDepartment, before ? before->AsString(schema::kDepartmentCode) : code,
            before ? "名称：" + Shown(before->AsString(schema::kDepartmentName)) : ""});
    });
}

// --- Sign-in ------------------------------------------------------------------------------

void RecordSignIn(const std::string& operatorCode, SignInOutcome outcome, SignInRoad road)
{
    Event event{kSignIn, kObjectOperator, operatorCode,
                road == SignInRoad::Window ? "登录窗口" : "无窗口登录",
                outcome == SignInOutcome::SignedIn ? kResultDone : kResultRefused};
    if (outcome != SignInOutcome::SignedIn)
        event.detail += std::string("；") + OutcomeText(outcome);
    const std::string signedIn = SignedInOperatorCode();
    if (!signedIn.empty() && outcome == SignInOutcome::SignedIn && !SameTextAscii(signedIn, operatorCode))
        event.detail += "；更换操作员：" + signedIn + "→" + operatorCode;
    RecordAlone(event);
}

} // namespace priv::audit
