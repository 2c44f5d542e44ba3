// The department store: the rows of XT_BMXX. It checks nothing on the
// dialog's behalf (new names, departments still in use); it only answers.
#pragma once

#include "boundary/host.h"
#include "store/records.h"

#include <optional>
#include <string>

namespace priv {

class TDepartmentMgr {
public:
    TDepartmentMgr() = default;
    TDepartmentMgr(const TDepartmentMgr&) = delete;
    TDepartmentMgr& operator=(const TDepartmentMgr&) = delete;

    // Every department in the order the database returns them, an empty name
    // shown as "——". When the statement fails the list is left as it was
    // (and the answer is false; callers may ignore it: the list is the answer).
    bool GetDepartmentList(TDepartmentList& list);
    // Codes compare ignoring the case of their letters. Modify and delete
    // act on the department stored exactly under the code given when there
    // is one, else on the one it means in another case, and answer false
    // when there is none.
    bool DepartmentCodeExists(const std::string& code);
    bool DepartmentNameExists(const std::string& name);
    // True when an operator belongs to the department.
    bool DepartmentInUse(const std::string& code);
    bool AddDepartment(const DepartmentInfo& department);
    // Only the name changes; a department's code is fixed once created.
    bool ModifyDepartment(const DepartmentInfo& department);
    bool DeleteDepartment(const std::string& code);

    const std::string& LastStatement() const { return FLastStatement; }

private:
    std::optional<std::string> StoredDepartmentCode(const std::string& code);

    QueryResult FQuery;
    std::string FLastStatement;
};

} // namespace priv
