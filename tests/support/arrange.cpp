#include "arrange.h"

#include "cipher/crypt.h"
#include "store/store_common.h"

namespace priv::test {

std::string SqlText(const std::string& text)
{
    return "'" + store::Text(text) + "'";
}

::testing::AssertionResult AddOperator(TestDatabase& db, const OperatorRow& row)
{
    std::string columns = "CZY_DM";
    std::string values = SqlText(row.code);
    const auto add = [&](const char* column, const std::optional<std::string>& value) {
        if (!value)
            return;
        columns += std::string(", ") + column;
        values += ", " + SqlText(*value);
    };
    add("CZY_MC", row.name);
    if (row.password)
        add("PWD", EncryptPassword(*row.password));
    add("PWD", row.storedPassword);
    add("CZY_LB", row.category);
    add("SSBM", row.departmentText);
    add("YXBZ", row.valid);
    add("BM_DM", row.department);
    for (const auto& [column, value] : row.more)
        add(column.c_str(), value);
    auto written = db.Exec("INSERT INTO QX_CZY (" + columns + ") VALUES (" + values + ")");
    if (!written || !row.post)
        return written;
    return db.Exec("INSERT INTO QX_CZYRROLE (CZY_DM, JS_DM) VALUES (" + SqlText(row.code) + ", " +
                   SqlText(*row.post) + ")");
}

::testing::AssertionResult AddPost(TestDatabase& db, const std::string& code, const std::string& name)
{
    return db.Exec("INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES (" + SqlText(code) + ", " + SqlText(name) +
                   ")");
}

::testing::AssertionResult AddDepartment(TestDatabase& db, int company, const std::string& code,
                                         const std::string& name)
{
    return db.Exec("INSERT INTO XT_BMXX (QYID, BM_DM, BM_MC) VALUES (" + std::to_string(company) + ", " +
                   SqlText(code) + ", " + SqlText(name) + ")");
}

::testing::AssertionResult AddCompany(TestDatabase& db, int id, const std::string& taxNumber,
                                      const std::string& name, int category)
{
    return db.Exec("INSERT INTO XT_QYXX (QYID, QYSBH, QYMC, LBDM) VALUES (" + std::to_string(id) + ", " +
                   SqlText(taxNumber) + ", " + SqlText(name) + ", " + std::to_string(category) + ")");
}

long long AddNode(TestDatabase& db, const NodeRow& row)
{
    auto written = db.Exec("INSERT INTO QX_PRMSMAP (DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES (" +
                           SqlText(row.code) + ", " + SqlText(row.name) + ", " + std::to_string(row.parent) +
                           ", " + SqlText(row.type) + ", " + std::to_string(row.extension) + ")");
    if (!written) {
        ADD_FAILURE() << written.message();
        return 0;
    }
    // Node numbers only grow, so the newest node has the greatest.
    const std::string node = db.Scalar("SELECT MAX(PRMS_DM) FROM QX_PRMSMAP");
    return node.empty() ? 0 : std::stoll(node);
}

::testing::AssertionResult Grant(TestDatabase& db, const std::string& post, long long node)
{
    return db.Exec("INSERT INTO QX_ROLEPRMS (JS_DM, PRMS_DM) VALUES (" + SqlText(post) + ", " +
                   std::to_string(node) + ")");
}

long long GrantCompany(TestDatabase& db, const std::string& post, int company)
{
    const long long node = AddNode(
        db, {.code = std::to_string(company), .name = "", .parent = 0, .type = "10", .extension = company});
    EXPECT_TRUE(Grant(db, post, node));
    return node;
}

} // namespace priv::test
