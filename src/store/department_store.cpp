#include "store/department_store.h"

#include "store/schema.h"
#include "store/store_common.h"

namespace priv {

using store::Text;

bool TDepartmentMgr::GetDepartmentList(TDepartmentList& list)
{
    try {
        if (!store::Run(FLastStatement, FQuery, "select * from XT_BMXX", true))
            return false;
        TDepartmentList departments;
        departments.reserve(static_cast<std::size_t>(FQuery.RecordCount()));
        for (; !FQuery.Eof(); FQuery.Next()) {
            DepartmentInfo department;
            department.Code = RecordText(FQuery.AsString(schema::kDepartmentCode));
            department.Name = RecordText(FQuery.AsString(schema::kDepartmentName));
            if (department.Name.empty())
                department.Name = kEmptyNameText;
            departments.push_back(std::move(department));
        }
        list = std::move(departments);
        return true;
    } catch (...) {
        return false;
    }
}

std::optional<std::string> TDepartmentMgr::StoredDepartmentCode(const std::string& code)
{
    return store::FindStoredCode(FLastStatement, FQuery,
                                 "SELECT BM_DM FROM XT_BMXX WHERE UPPER(BM_DM)=UPPER('", code,
                                 schema::kDepartmentCode);
}

bool TDepartmentMgr::DepartmentCodeExists(const std::string& code)
{
    return StoredDepartmentCode(code).has_value();
}

bool TDepartmentMgr::DepartmentNameExists(const std::string& name)
{
    return store::ExistsWithText(FLastStatement, FQuery, "SELECT BM_MC FROM XT_BMXX WHERE BM_MC='", name);
}

bool TDepartmentMgr::DepartmentInUse(const std::string& code)
{
    // Any operator whose department code is this one in another letter case
    // keeps the department too: better refused than left pointing nowhere.
    return store::ExistsWithCode(FLastStatement, FQuery,
                                 "SELECT CZY_DM FROM QX_CZY WHERE UPPER(BM_DM)=UPPER('", code);
}

bool TDepartmentMgr::AddDepartment(const DepartmentInfo& department)
{
    try {
        return store::Run(FLastStatement, FQuery,
                          "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, '" + Text(department.Code) +
                              "','" + Text(department.Name) + "')",
                          false);
    } catch (...) {
        return false;
    }
}

bool TDepartmentMgr::ModifyDepartment(const DepartmentInfo& department)
{
    try {
        // The row is the one the code means as stored; an update that meets
        // no row would still answer true.
        const std::optional<std::string> stored = StoredDepartmentCode(department.Code);
        if (!stored)
            return false;
        return store::Run(FLastStatement, FQuery,
                          "UPDATE XT_BMXX SET BM_MC ='" + Text(department.Name) + "' where BM_DM='" +
                              Text(*stored) + "'",
                          false);
    } catch (...) {
        return false;
    }
}

bool TDepartmentMgr::DeleteDepartment(const std::string& code)
{
    try {
        const std::optional<std::string> stored = StoredDepartmentCode(code);
        if (!stored)
            return false;
        return store::Run(FLastStatement, FQuery, "DELETE FROM XT_BMXX WHERE BM_DM='" + Text(*stored) + "'",
                          false);
    } catch (...) {
        return false;
    }
}

} // namespace priv
