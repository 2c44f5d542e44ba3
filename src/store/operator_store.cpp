#include "store/operator_store.h"

#include "store/schema.h"
#include "store/store_common.h"

namespace priv {

using store::Text;

bool TOperator::LoadOperator(const std::string& operatorCode, OperatorInfo& info)
{
    try {
        const bool ran = store::Run(
            FLastStatement, FQuery,
            "SELECT t1.*, (SELECT t2.BM_MC FROM XT_BMXX t2 WHERE t2.BM_DM=t1.BM_DM) as BM_MC, t3.JS_DM, "
            "(SELECT t4.JS_MC FROM QX_ROLES t4 WHERE t4.JS_DM=t3.JS_DM) as JS_MC FROM QX_CZY t1, QX_CZYRROLE "
            "t3 "
            "WHERE UPPER(t1.CZY_DM)=UPPER('" +
                Text(operatorCode) + "') and t3.CZY_DM=t1.CZY_DM",
            true);
        // Sign-in finds an operator by his code whatever its letter case;
        // so does every load, or the two would disagree about who "LINA" is.
        if (!ran || !store::MoveToCode(FQuery, operatorCode, schema::kOperatorCode))
            return false;
        info = ReadOperatorRow(FQuery);
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

} // namespace priv
