// Every statement the stores run stays on an index: SQLite's query plan of
// each one, taken from the statements a working session of the stores really
// ran, names no full scan of a table except for the lists that read a whole
// table by nature.
#include "store/department_store.h"
#include "store/operator_store.h"
#include "store/post_store.h"

#include "store_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

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
            wholeTableLists.count(statement) ||
            // Whether the database keeps the operation log: the catalogue,
            // a handful of rows, not a table of the module.
            statement.find("FROM sqlite_master") != std::string::npos)
            continue;
        // Whether the post holds a company looks up the post's grant row
        // of each of the company's nodes, not every grant row of the post.
        const bool companyCheck = statement.find("t3.KZDM=") != std::string::npos;
        QueryResult plan = db.Query("EXPLAIN QUERY PLAN " + statement);
        for (; !plan.Eof(); plan.Next()) {
            const std::string detail = plan.AsString("detail");
            if (companyCheck && detail.find("QX_ROLEPRMS") != std::string::npos) {
                EXPECT_NE(detail.find("PRMS_DM=?"), std::string::npos) << statement << "\n  plan: " << detail;
            }
            const bool fullScan = detail.rfind("SCAN ", 0) == 0 &&
                                  detail.find(" USING ") == std::string::npos &&
                                  detail != "SCAN CONSTANT ROW";
            EXPECT_FALSE(fullScan) << statement << "\n  plan: " << detail;
            EXPECT_EQ(detail.find("TEMP B-TREE"), std::string::npos) << statement << "\n  plan: " << detail;
        }
    }
    EXPECT_GT(seen.size(), 20u) << "the session ran the statements it should have";
}

// Whether a post holds a company, the company nodes of a post, and the
// children of a node that a save looks for, on a PostgreSQL database as
// init leaves it: statistics of empty tables (and then fresh ones), while
// the tables have filled. None may walk the nodes of a whole type: with
// thousands of companies that is a scan of millions of rows per statement,
// once per company of a save.
TEST(StatementPlanTest, CompanyNodesAreFoundByIndexOnPostgresWhateverTheStatistics)
{
    const std::vector<Backend> backends = AvailableBackends();
    if (std::find(backends.begin(), backends.end(), Backend::PostgreSQL) == backends.end())
        GTEST_SKIP() << "no PostgreSQL server";
    TestDatabase db(Backend::PostgreSQL);
    ASSERT_TRUE(db.Ok()) << db.Error();
    // 300 companies, each granted with ten sub-applications of ten
    // functions, every company's nodes together as saving writes them (codes
    // 111 apart). Each statement is one literal split over lines; the commas
    // between them are all there.
    // NOLINTBEGIN(bugprone-suspicious-missing-comma)
    const std::vector<std::string> companies = {
        "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')",
        "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) SELECT i, 'S' || i, '单位' || i, 0 FROM "
        "generate_series(1, 300) i",
        "INSERT INTO QX_PRMSMAP(PRMS_DM, DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT QYID * 111, "
        "CAST(QYID AS TEXT), QYMC, 0, '10', QYID FROM XT_QYXX",
        "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', PRMS_DM FROM QX_PRMSMAP"};
    const std::vector<std::string> beneath = {
        "DELETE FROM QX_PRMSMAP WHERE PRMS_TYPE<>'10'",
        "INSERT INTO QX_PRMSMAP(PRMS_DM, DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT c.PRMS_DM + a * 11 "
        "+ 1, "
        "LPAD(CAST(a + 2 AS TEXT), 2, '0'), '子系统', c.PRMS_DM, '20', 0 FROM QX_PRMSMAP c, "
        "generate_series(0, 9) a WHERE c.PRMS_TYPE='10'",
        "INSERT INTO QX_PRMSMAP(PRMS_DM, DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT s.PRMS_DM + f, "
        "s.DYDM || '001-01-' || f, '功能', s.PRMS_DM, '30', 0 FROM QX_PRMSMAP s, generate_series(1, 10) f "
        "WHERE s.PRMS_TYPE='20'"};
    // NOLINTEND(bugprone-suspicious-missing-comma)
    // Statistics taken while the tables were empty; while the post held
    // whole companies only (nothing of type '20' seen: the planner then
    // takes any index that leads with the type for a short road); and fresh.
    const auto run = [&db](const std::vector<std::string>& statements) {
        return std::all_of(statements.begin(), statements.end(),
                           [&db](const std::string& statement) { return db.Exec(statement); });
    };
    ASSERT_TRUE(db.Exec("ANALYZE"));
    ASSERT_TRUE(run(companies) && run(beneath));
    const char* const statistics[] = {"empty-table", "whole-companies", "fresh"};
    for (const std::string kind : statistics) {
        if (kind == "whole-companies") {
            ASSERT_TRUE(db.Exec(beneath.front()) && db.Exec("ANALYZE") && run(beneath));
        } else if (kind == "fresh") {
            ASSERT_TRUE(db.Exec("ANALYZE"));
        }
        fennix::ClearExecutedStatements();
        TRolesMgr posts;
        EXPECT_EQ(posts.PostHoldsCompany("GW00001", "150"), std::optional<bool>(true));
        EXPECT_EQ(posts.PostHoldsCompany("GW00001", "301"), std::optional<bool>(false));
        TRolePermissions permissions;
        ASSERT_TRUE(posts.LoadPostCompanies("GW00001", &permissions));
        EXPECT_EQ(permissions.Count(), 300);
        // A save that withdraws one function asks whether the company still
        // has sub-applications beneath it.
        TRolePermissions grants;
        ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &grants));
        ASSERT_NE(grants.FindCompany("150"), nullptr);
        ASSERT_NE(grants.FindCompany("150")
                      ->Mark("02", true)
                      ->Mark(kind == "fresh" ? "02001-01-2" : "02001-01-1", false),
                  nullptr);
        std::string message;
        ASSERT_TRUE(posts.SavePostPermissions(&grants, message)) << message;

        int explained = 0;
        int childSearches = 0;
        for (const std::string& statement : fennix::ExecutedStatements()) {
            const bool childSearch = statement.find("FROM QX_PRMSMAP WHERE PARENT_DM=") != std::string::npos;
            if (statement.find("t3.KZDM") == std::string::npos && !childSearch)
                continue;
            // Statistics that say every node is a company make reading all
            // nodes for the post's company list look as cheap as reading the
            // company nodes, and the list is read once per load; what they
            // must not do is send every search for a node's children, once
            // per company of a save, through all the nodes of a type.
            if (kind == "whole-companies" && !childSearch && statement.find("t3.KZDM=") == std::string::npos)
                continue;
            childSearches += childSearch ? 1 : 0;
            ++explained;
            QueryResult plan = db.Query("EXPLAIN " + statement);
            std::string lines;
            for (; !plan.Eof(); plan.Next())
                lines += plan.AsString("QUERY PLAN") + "\n";
            // Every read of the node table goes to its rows through an
            // index condition: no scan of the table, and no walk of a
            // whole index that only filters.
            std::vector<std::string> steps;
            for (std::size_t at = 0; at < lines.size();) {
                const std::size_t end = lines.find('\n', at);
                steps.push_back(lines.substr(at, end - at));
                at = end + 1;
            }
            for (std::size_t i = 0; i < steps.size(); ++i) {
                if (steps[i].find(" on qx_prmsmap") == std::string::npos ||
                    steps[i].find("Bitmap Heap Scan") != std::string::npos)
                    continue;
                // An index condition, or the index that holds the company
                // nodes alone; a search for children by their parent.
                const bool conditioned =
                    i + 1 < steps.size() && steps[i + 1].find("Index Cond") != std::string::npos;
                const bool companyNodesOnly = steps[i].find("qx_prmsmap_company_kzdm") != std::string::npos;
                const bool indexed =
                    steps[i].find("Seq Scan") == std::string::npos &&
                    (childSearch ? conditioned && steps[i + 1].find("parent_dm") != std::string::npos
                                 : conditioned || companyNodesOnly);
                EXPECT_TRUE(indexed) << kind << " statistics: " << statement << "\n" << lines;
            }
        }
        EXPECT_GT(childSearches, 0) << "the save looked for children";
        EXPECT_GE(explained - childSearches, kind == "whole-companies" ? 2 : 3)
            << "the company checks and the company list were run";
    }
}

} // namespace
} // namespace priv::test
