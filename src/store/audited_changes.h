// The stores' changes as administrators make them: each one together with
// its row in the operation log, in one transaction (audit_record.h). What a
// change was and what it became is read inside that transaction, so the
// record says what this workstation changed, not what it saw earlier.
//
// Every operation answers as the store's own operation does; false also when
// the record could not be written, and then nothing was changed
// (TakeRecordFailure says why). A change that changes nothing (a row that is
// gone) is not recorded.
#pragma once

#include "store/department_store.h"
#include "store/operator_store.h"
#include "store/post_store.h"
#include "store/records.h"

#include <functional>
#include <string>

namespace priv::audit {

// Whether two enciphered passwords hold the same password (the cipher's
// prefix is random, so their texts differ even then).
using SamePassword = std::function<bool(const std::string& stored, const std::string& given)>;

// --- Operators ----------------------------------------------------------------------
bool AddOperator(TOperator& store, const OperatorInfo& info);
// Records what changed, field by field; a new password as "已修改" and, in
// a row of its own, as a password change by an administrator (or by the
// operator himself when he edits his own record).
bool ModifyOperator(TOperator& store, const OperatorInfo& info, const SamePassword& samePassword);
bool DeleteOperator(TOperator& store, const std::string& operatorCode);
// A new password from the password window: the operator's own, or an
// administrator's when someone else is signed in.
bool ModifyPassword(TOperator& store, const std::string& operatorCode, const std::string& enciphered);
// A new password given on the host's command line (`privhost passwd`).
bool SetPasswordFromCommandLine(TOperator& store, const std::string& operatorCode,
                                const std::string& enciphered);

// --- Posts ----------------------------------------------------------------------------
bool AddPost(TRolesMgr& store, const UserPostInfo& post);
bool ModifyPost(TRolesMgr& store, const UserPostInfo& post);
bool DeletePost(TRolesMgr& store, const std::string& code);

// --- Departments ------------------------------------------------------------------------
bool AddDepartment(TDepartmentMgr& store, const DepartmentInfo& department);
bool ModifyDepartment(TDepartmentMgr& store, const DepartmentInfo& department);
bool DeleteDepartment(TDepartmentMgr& store, const std::string& code);

// --- Sign-in ------------------------------------------------------------------------------
enum class SignInRoad { Window, Silent };
enum class SignInOutcome { SignedIn, UnknownOperator, WrongPassword, NotActive, CheckFailed };
// Records a sign-in or its refusal; never fails (see RecordAlone).
void RecordSignIn(const std::string& operatorCode, SignInOutcome outcome, SignInRoad road);

// --- Details --------------------------------------------------------------------------------
// "名称：旧→新" pieces joined by "；"; an empty value reads "（空）".
std::string ChangeText(const std::string& field, const std::string& before, const std::string& after);

} // namespace priv::audit
