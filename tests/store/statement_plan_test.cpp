// Every statement the stores run stays on an index: SQLite's query plan of
// each one, taken from the statements a working session of the stores really
// ran, names no full scan of a table except for the lists that read a whole
// table by nature.
#include "store/department_store.h"
#include "store/operator_store.h"
#include "store/post_store.h"

#include "store_fixture.h"

#include <gtest/gtest.h>

#include <set>

namespace priv::test {
namespace {

TEST(StatementPlanTest, EveryStoreStatementSearchesAnIndex)
{
    TestDatabase db(Backend::SQLite);
    ASSERT_TRUE(db.Ok()) << db.Error();
    ASSERT_TRUE(db.ExecAll({"INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(11, 'S11', '甲', 0)",
                            "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(12, 'S12', '乙', 0)",
                            "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')"}));

    fennix::ClearExecutedStatements();
    TOperator operators;
    OperatorInfo info;
    info.Code = "zhang";
    info.PostCode = "GW00001";
    ASSERT_TRUE(operators.AddOperator(info));
    ASSERT_TRUE(operators.LoadOperator("ZHANG", info));
    std::string address;
    ASSERT_TRUE(operators.LoadOperatorAddress("zhang", address));
    ASSERT_TRUE(operators.ModifyOperator(info));
    ASSERT_TRUE(operators.ModifyPassword("zhang", "x"));
    ASSERT_TRUE(operators.DeleteOperator("zhang"));

    TDepartmentMgr departments;
    ASSERT_TRUE(departments.AddDepartment({"B01", "征收科"}));
    departments.DepartmentNameExists("征收科");
    departments.DepartmentInUse("B01");
    ASSERT_TRUE(departments.ModifyDepartment({"B01", "稽查"}));
    ASSERT_TRUE(departments.DeleteDepartment("B01"));

    TRolesMgr posts;
    posts.PostNameExists("出纳");
    posts.PostInUse("GW00001");
    ASSERT_TRUE(posts.ModifyPost({"GW00001", "会计", false}));
    TRolePermissions permissions;
    ASSERT_TRUE(posts.LoadPostPermissions("BUSINESS", &permissions));
    ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &permissions));
    TCompPermit* company = permissions.Mark("11", true);
    company->SetAllGranted(false);
    company->Mark("02", true)->Mark("02001-01-01-00-00", true);
    permissions.Mark("12", true);
    std::string message;
    ASSERT_TRUE(posts.SavePostPermissions(&permissions, message)) << message;
    ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &permissions));
    permissions.Mark("11", false);
    ASSERT_TRUE(posts.SavePostPermissions(&permissions, message)) << message;
    ASSERT_TRUE(posts.DeletePost("GW00001"));

    const std::set<std::string> wholeTableLists = {
        "select * from XT_BMXX",
        "select * from QX_ROLES where JS_DM not in('0' ,'SYSTEM' ,'BUSINESS' ,'AUDITOR')",
    };
    auto isFullScan = [](const std::string& detail) {
        return detail.rfind("SCAN ", 0) == 0 && detail.find(" USING ") == std::string::npos &&
               detail != "SCAN CONSTANT ROW";
    };
    // The check itself sees a full scan where there is one.
    QueryResult control = db.Query("EXPLAIN QUERY PLAN SELECT * FROM QX_CZY WHERE CZY_MC='x'");
    ASSERT_FALSE(control.Eof());
    EXPECT_TRUE(isFullScan(control.AsString("detail"))) << control.AsString("detail");

    std::set<std::string> seen;
    for (const std::string& statement : fennix::ExecutedStatements()) {
        if (statement.rfind("INSERT", 0) == 0 || statement.rfind("BEGIN", 0) == 0 ||
            statement.rfind("COMMIT", 0) == 0 || !seen.insert(statement).second ||
            wholeTableLists.count(statement))
            continue;
        QueryResult plan = db.Query("EXPLAIN QUERY PLAN " + statement);
        for (; !plan.Eof(); plan.Next()) {
            const std::string detail = plan.AsString("detail");
            const bool fullScan = detail.rfind("SCAN ", 0) == 0 &&
                                  detail.find(" USING ") == std::string::npos &&
                                  detail != "SCAN CONSTANT ROW";
            EXPECT_FALSE(fullScan) << statement << "\n  plan: " << detail;
            EXPECT_EQ(detail.find("TEMP B-TREE"), std::string::npos) << statement << "\n  plan: " << detail;
        }
    }
    EXPECT_GT(seen.size(), 20u) << "the session ran the statements it should have";
}

} // namespace
} // namespace priv::test
