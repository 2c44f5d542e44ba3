#include "store/operator_store.h"

#include "boundary/datetime.h"
#include "boundary/utilities.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <utility>

namespace priv {

using store::Text;

namespace {

// An operator's row joined with his post (t3), with the names of his
// department and post; each statement adds its own WHERE clause.
constexpr const char* kOperatorJoin =
    "SELECT t1.*, (SELECT t2.BM_MC FROM XT_BMXX t2 WHERE t2.BM_DM=t1.BM_DM) as BM_MC, t3.JS_DM, "
    "(SELECT t4.JS_MC FROM QX_ROLES t4 WHERE t4.JS_DM=t3.JS_DM) as JS_MC FROM QX_CZY t1, QX_CZYRROLE t3 ";

std::string FieldText(const QueryResult& query, const char* name)
{
    return RecordText(query.AsString(name));
}

} // namespace

bool TOperator::LoadOperator(const std::string& operatorCode, OperatorInfo& info, std::string* wholeAddress)
{
    try {
        const bool ran = store::Run(FLastStatement, FQuery,
                                    std::string(kOperatorJoin) + "WHERE UPPER(t1.CZY_DM)=UPPER('" +
                                        Text(operatorCode) + "') and t3.CZY_DM=t1.CZY_DM",
                                    true);
        // Sign-in finds an operator by his code whatever its letter case;
        // so does every load, or the two would disagree about who "LINA" is.
        if (!ran || !store::MoveToCode(FQuery, operatorCode, schema::kOperatorCode))
            return false;
        info = ReadOperatorRow(FQuery);
        if (wholeAddress)
            *wholeAddress = FQuery.AsString(schema::kAddress);
        return true;
    } catch (...) {
        return false;
    }
}

std::optional<std::string> TOperator::StoredOperatorCode(const std::string& operatorCode)
{
    return store::FindStoredCode(FLastStatement, FQuery,
                                 "SELECT CZY_DM FROM QX_CZY WHERE UPPER(CZY_DM)=UPPER('", operatorCode,
                                 schema::kOperatorCode);
}

bool TOperator::OperatorExists(const std::string& operatorCode)
{
    return StoredOperatorCode(operatorCode).has_value();
}

bool TOperator::LoadOperatorAddress(const std::string& operatorCode, std::string& address)
{
    try {
        if (!store::Run(FLastStatement, FQuery,
                        "SELECT CZY_DM, ZZ FROM QX_CZY WHERE UPPER(CZY_DM)=UPPER('" + Text(operatorCode) +
                            "')",
                        true) ||
            !store::MoveToCode(FQuery, operatorCode, schema::kOperatorCode))
            return false;
        address = FQuery.AsString(schema::kAddress);
        return true;
    } catch (...) {
        return false;
    }
}

bool TOperator::AddOperator(const OperatorInfo& info)
{
    try {
        store::Transaction transaction;
        // Without a transaction the two inserts could not be undone together.
        if (!transaction.Begin())
            return false;
        if (!store::Run(
                FLastStatement, FQuery,
                "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, SSBM,DESCRIPTION,DHHM,EMAIL,ZZ, YXBZ, BM_DM) "
                "VALUES('" +
                    Text(info.Code) + "','" + Text(info.Name) + "','" + Text(info.Password) + "','" +
                    Text(info.DepartmentName) + "','" + Text(info.Description) + "','" + Text(info.Phone) +
                    "','" + Text(info.Email) + "','" + Text(info.Address) + "','" + Text(info.ValidFlag) +
                    "','" + Text(info.DepartmentCode) + "')",
                false)) {
            transaction.Rollback("用户信息写入数据时出错！");
            return false;
        }
        if (!store::Run(FLastStatement, FQuery,
                        "INSERT INTO QX_CZYRROLE(CZY_DM,JS_DM) VALUES('" + Text(info.Code) + "','" +
                            Text(info.PostCode) + "')",
                        false)) {
            transaction.Rollback("用户岗位信息写入数据时出错！");
            return false;
        }
        return transaction.Commit();
    } catch (...) {
        return false;
    }
}

bool TOperator::ModifyOperator(const OperatorInfo& info)
{
    try {
        store::Transaction transaction;
        if (!transaction.Begin())
            return false;
        std::string message;
        if (!store::Run(FLastStatement, FQuery,
                        "UPDATE QX_CZY SET CZY_MC ='" + Text(info.Name) + "', PWD='" + Text(info.Password) +
                            "', SSBM='" + Text(info.DepartmentName) + "',DHHM='" + Text(info.Phone) +
                            "',EMAIL='" + Text(info.Email) + "',ZZ='" + Text(info.Address) + "',YXBZ='" +
                            Text(info.ValidFlag) + "',BM_DM='" + Text(info.DepartmentCode) +
                            "' where CZY_DM='" + Text(info.Code) + "'",
                        false, message)) {
            transaction.Rollback(message);
            return false;
        }
        if (!store::Run(FLastStatement, FQuery,
                        "UPDATE QX_CZYRROLE SET JS_DM='" + Text(info.PostCode) + "' where CZY_DM='" +
                            Text(info.Code) + "'",
                        false, message)) {
            transaction.Rollback(message);
            return false;
        }
        return transaction.Commit();
    } catch (...) {
        return false;
    }
}

bool TOperator::ModifyPassword(const std::string& operatorCode, const std::string& encipheredPassword)
{
    try {
        return store::Run(FLastStatement, FQuery,
                          "UPDATE QX_CZY SET PWD='" + Text(encipheredPassword) + "' where CZY_DM='" +
                              Text(operatorCode) + "'",
                          false);
    } catch (...) {
        return false;
    }
}

bool TOperator::DeleteOperator(const std::string& operatorCode)
{
    try {
        // The rows go by the code as stored, which the one asked for may
        // differ from in letter case.
        const std::optional<std::string> stored = StoredOperatorCode(operatorCode);
        if (!stored)
            return false;
        const std::string code = Text(*stored);
        // Each link table goes by itself; a failure there must not keep the
        // operator's own rows alive.
        store::Run(FLastStatement, FQuery, "DELETE FROM QX_CZYQY WHERE CZY_DM='" + code + "'", false);
        store::Run(FLastStatement, FQuery, "DELETE FROM QX_CZYZXT WHERE CZY_DM='" + code + "'", false);
        store::Run(FLastStatement, FQuery, "DELETE FROM QX_CZYRROLE WHERE CZY_DM='" + code + "'", false);
        return store::Run(FLastStatement, FQuery, "DELETE from QX_CZY WHERE CZY_DM='" + code + "'", false);
    } catch (...) {
        return false;
    }
}

bool TOperator::ListSignInOperators(TOperatorInfoList& operators)
{
    try {
        if (!store::Run(FLastStatement, FQuery,
                        std::string(kOperatorJoin) +
                            "WHERE t1.YXBZ='Y' AND t3.CZY_DM=t1.CZY_DM order by t1.CZY_DM",
                        true))
            return false;
        for (; !FQuery.Eof(); FQuery.Next()) {
            OperatorInfo info = ReadOperatorRow(FQuery);
            // The list names the department by the operator's own column;
            // the sign-in needs no department code.
            info.DepartmentName = FieldText(FQuery, schema::kOperatorDepartmentText);
            info.DepartmentCode.clear();
            operators.push_back(std::move(info));
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool TOperator::ListOperators(const std::string& codeFilter, const std::string& nameFilter,
                              TOperatorListEntries& operators)
{
    try {
        // No ORDER BY: the window sorts the list by code itself.
        std::string sql = std::string(kOperatorJoin) + "WHERE t3.CZY_DM=t1.CZY_DM";
        if (!codeFilter.empty())
            sql += " and t1.CZY_DM like '%" + Text(codeFilter) + "%'";
        if (!nameFilter.empty())
            sql += " and t1.CZY_MC like '%" + Text(nameFilter) + "%'";
        // Of every column of the operator's row, the list reads seven: the
        // six it shows and the category that marks a super administrator.
        const store::KeptColumns listed(
            FQuery, {schema::kOperatorCode, schema::kOperatorName, schema::kOperatorCategory,
                     schema::kPostCode, schema::kPostName, schema::kDepartmentCode, schema::kDepartmentName});
        if (!store::Run(FLastStatement, FQuery, std::move(sql), true))
            return false;
        operators.reserve(operators.size() + static_cast<std::size_t>(FQuery.RecordCount()));
        for (; !FQuery.Eof(); FQuery.Next()) {
            OperatorListEntry info;
            info.Code = FieldText(FQuery, schema::kOperatorCode);
            info.Name = FieldText(FQuery, schema::kOperatorName);
            info.PostCode = FQuery.AsString(schema::kOperatorCategory) == schema::kSuperAdminCategory
                                ? std::string(schema::kSuperAdminPost)
                                : FieldText(FQuery, schema::kPostCode);
            info.PostName = RecordText(PostDisplayName(info.PostCode, FQuery.AsString(schema::kPostName)));
            info.DepartmentCode = FieldText(FQuery, schema::kDepartmentCode);
            info.DepartmentName = FieldText(FQuery, schema::kDepartmentName);
            if (info.DepartmentName.empty())
                info.DepartmentName = kEmptyNameText;
            operators.push_back(std::move(info));
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool TOperator::CountOperatorCompanies(const std::string& operatorCode, int& count)
{
    try {
        if (!store::Run(FLastStatement, FQuery,
                        "select * from XT_QYXX where QYID in (select QYID from QX_CZYQY where CZY_DM='" +
                            Text(operatorCode) + "')",
                        true))
            return false;
        count = FQuery.RecordCount();
        return true;
    } catch (...) {
        return false;
    }
}

bool TOperator::StampLastSignIn(const std::string& operatorCode, double signedInAt)
{
    try {
        return store::Run(FLastStatement, FQuery,
                          "UPDATE QX_CZY SET ZHDLSJ='" + Text(FormatDateTimeMinutes(signedInAt)) +
                              "' where CZY_DM='" + Text(operatorCode) + "'",
                          false);
    } catch (...) {
        return false;
    }
}

} // namespace priv
