// The operation log against real databases: what each change and sign-in
// writes (through the privilege manager, the session, the stores' recorded
// changes and the module's own export), a record that cannot be written
// undoing its change, a database without the log, and the chain check
// finding rows edited, removed and inserted.
#include "boundary/datetime.h"
#include "boundary/workstation.h"
#include "cipher/crypt.h"
#include "session/named_values.h"
#include "session/privilege_manager.h"
#include "session/session.h"
#include "store/audit_purge.h"
#include "store/audit_reader.h"
#include "store/audit_record.h"
#include "store/audited_changes.h"
#include "store/audited_grants.h"

#include "session/session_fixture.h"
#include "store_fixture.h"
#include "support/loaded_module.h"

#include <dlfcn.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace priv::test {
namespace {

using audit::Row;

class AuditLogTest : public SignedInTest {
protected:
    void SetUp() override
    {
        SignedInTest::SetUp();
        if (HasFatalFailure())
            return;
        ArrangeCompaniesAndPosts();
        AddOperator("admin", "0", "0", "Y", "Admin#1");
        AddOperator("lina", "BUSINESS", "", "Y", "ln2024");
        AddOperator("zhoujie", "BUSINESS", "", "N", "zj2024");
        AddOperator("wangfang", "AUDITOR", "", "Y", "wf2024");
        ASSERT_TRUE(test::AddDepartment(Db(), 0, "D01", "财务部"));
        fennix::SetNow(EncodeDateTime({2024, 3, 5, 14, 7, 59}));
    }
    void TearDown() override
    {
        fennix::ClearStatementFailures();
        fennix::SetNow(std::nullopt);
        SignedInTest::TearDown();
    }

    void SignInAs(const std::string& code) { SetTextValue(Host().GetUserInfoVO(), "CZY_DM", code); }

    static std::vector<Row> Rows(const audit::Filter& filter = {})
    {
        std::vector<Row> rows;
        std::string message;
        EXPECT_TRUE(audit::ReadRows(
            filter,
            [&rows](const Row& row) {
                rows.push_back(row);
                return true;
            },
            message))
            << message;
        return rows;
    }
    std::string Count(const std::string& sql) { return Db().Scalar(sql); }
    std::string LogRows() { return Count("SELECT COUNT(*) FROM QX_CZRZ"); }

    static OperatorInfo NewOperator(const std::string& code)
    {
        OperatorInfo info;
        info.Code = code;
        info.Name = "王五";
        info.Password = EncryptPassword("Ww#2024");
        info.PostCode = "GW00001";
        info.Phone = "010-5555";
        info.Email = "ww@example.cn";
        info.Address = "北京市";
        info.ValidFlag = "Y";
        info.DepartmentCode = "D01";
        return info;
    }
};

// What a row says, in one text, for comparing against a table of cases.
std::string Said(const Row& row)
{
    return row.operatorCode + "|" + row.event + "|" + row.objectKind + "|" + row.objectCode + "|" +
           row.result;
}

TEST_P(AuditLogTest, EachChangeIsRecordedWithItsOperatorObjectAndDetail)
{
    SignInAs("admin");
    TPrivilegeMgr manager;
    OperatorInfo wangwu = NewOperator("wangwu");
    ASSERT_TRUE(manager.AddOperator(wangwu));

    OperatorInfo changed = wangwu;
    changed.Name = "王五五";
    changed.Phone = "";
    changed.Password = EncryptPassword("Ww#2024"); // the same password enciphered anew
    ASSERT_TRUE(manager.ModifyOperator(changed));
    changed.Password = EncryptPassword("New#1");
    ASSERT_TRUE(manager.ModifyOperator(changed)); // only the password
    ASSERT_TRUE(manager.ModifyPassword("wangwu", EncryptPassword("Other#2")));
    SignInAs("wangwu");
    ASSERT_TRUE(manager.ModifyPassword("wangwu", EncryptPassword("Mine#3")));
    SignInAs("admin");
    TOperator store;
    ASSERT_TRUE(audit::SetPasswordFromCommandLine(store, "lina", EncryptPassword("Reset#4")));

    TRolesMgr posts;
    ASSERT_TRUE(audit::AddPost(posts, {"GW00002", "出纳", false}));
    ASSERT_TRUE(audit::ModifyPost(posts, {"GW00002", "出纳主管", false}));
    ASSERT_TRUE(audit::DeletePost(posts, "gw00002"));
    TDepartmentMgr departments;
    ASSERT_TRUE(audit::AddDepartment(departments, {"D02", "O'Neil 办公室"}));
    ASSERT_TRUE(audit::ModifyDepartment(departments, {"D02", "办公室"}));
    ASSERT_TRUE(audit::DeleteDepartment(departments, "D02"));
    ASSERT_TRUE(manager.DeleteOperator("WangWu"));

    // The signed-in operator's own session grants and withdraws a company.
    ASSERT_TRUE(manager.LoadUserInfo("wangfang"));
    auto* session = static_cast<TPSession*>(GetObjectValue(Host().GetUserInfoVO(), "TPSession"));
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(session->GrantCompany("1002"));
    ASSERT_TRUE(session->RevokeCompany("1002"));

    struct Expected {
        std::string said;
        std::string detail;
    };
    const std::vector<Expected> expected = {
        {"admin|operator.add|操作员|wangwu|成功", "姓名：王五；岗位：GW00001；部门：D01；联系电话：010-"
                                                  "5555；电子邮箱：ww@example.cn；住址：北京市；有效标志：Y；"
                                                  "密码：已设置"},
        {"admin|operator.modify|操作员|wangwu|成功", "姓名：王五→王五五；联系电话：010-5555→（空）"},
        {"admin|operator.modify|操作员|wangwu|成功", "密码：已修改"},
        {"admin|password.change|操作员|wangwu|成功", "密码：已修改（管理员修改）"},
        {"admin|password.change|操作员|wangwu|成功", "密码：已修改（管理员修改）"},
        {"wangwu|password.change|操作员|wangwu|成功", "密码：已修改（本人修改）"},
        {"admin|password.change|操作员|lina|成功", "密码：已修改（privhost passwd 设置）"},
        {"admin|post.add|岗位|GW00002|成功", "名称：出纳"},
        {"admin|post.rename|岗位|GW00002|成功", "名称：出纳→出纳主管"},
        {"admin|post.delete|岗位|GW00002|成功", "名称：出纳主管"},
        {"admin|department.add|部门|D02|成功", "名称：O'Neil 办公室"},
        {"admin|department.rename|部门|D02|成功", "名称：O'Neil 办公室→办公室"},
        {"admin|department.delete|部门|D02|成功", "名称：办公室"},
        {"admin|operator.delete|操作员|wangwu|成功", "姓名：王五五；岗位：GW00001"},
        {"wangfang|company.grant|岗位|AUDITOR|成功", "单位：1002（整个单位）"},
        {"wangfang|company.revoke|岗位|AUDITOR|成功", "单位：1002"},
    };
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].sequence, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(Said(rows[i]), expected[i].said) << "row " << i + 1;
        EXPECT_EQ(rows[i].detail, expected[i].detail) << "row " << i + 1;
        EXPECT_EQ(rows[i].localTime, "2024-03-05 14:07:59");
        EXPECT_EQ(rows[i].workstation, WorkstationName());
        EXPECT_EQ(rows[i].systemUser, SystemUserName());
        EXPECT_EQ(rows[i].hash.size(), 64u);
    }
    EXPECT_FALSE(rows.front().utcTime.empty());
    EXPECT_EQ(rows.front().previousHash, audit::kFirstPreviousHash);

    const audit::ChainCheck check = audit::VerifyChain();
    EXPECT_EQ(check.finding, audit::ChainCheck::Finding::Intact) << check.text;
    EXPECT_EQ(check.rowsRead, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(Count("SELECT XH FROM QX_CZRZLT WHERE LT_ID=1"), std::to_string(expected.size()));

    // The filters a reader has.
    EXPECT_EQ(Rows({"", "", "WANGWU", ""}).size(), 1u);
    EXPECT_EQ(Rows({"", "", "", "password.change"}).size(), 4u);
    EXPECT_EQ(Rows({"2024-03-05", "2024-03-05", "", ""}).size(), expected.size());
    EXPECT_EQ(Rows({"2024-03-05 14:08", "", "", ""}).size(), 0u);
    EXPECT_EQ(Rows({"", "2024-03-04", "", ""}).size(), 0u);
}

// A save of a post's grants: one row per company it changed, computed from
// what was stored and what is stored after, whatever the tree's marks say.
TEST_P(AuditLogTest, AGrantSaveRecordsEachCompanyItChanged)
{
    SignInAs("admin");
    TRolesMgr posts;
    TRolePermissions tree;
    std::string message;
    // GW00001 holds 1001 in part ("02" with two functions, "01" with one)
    // and 1002 whole.
    ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &tree));
    TCompPermit* partial = tree.FindCompany("1001");
    ASSERT_NE(partial, nullptr);
    TAbstractPermit* vat = partial->Mark("02", true);
    ASSERT_NE(vat, nullptr);
    vat->Mark("02001-01-05-00-00", false);
    vat->Mark("02001-01-09-00-00", true);
    partial->Mark("01", false);
    TAbstractPermit* income = partial->Mark("03", true);
    income->SetAllGranted(false);
    income->Mark("03001-01-01-00-00", true);
    tree.Mark("1002", false);
    ASSERT_TRUE(posts.SavePostPermissions(&tree, message)) << message;

    // Saving the tree again as it was read afresh changes nothing.
    ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &tree));
    ASSERT_TRUE(posts.SavePostPermissions(&tree, message)) << message;

    // The whole company again, and the other one granted whole.
    ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &tree));
    tree.FindCompany("1001")->SetAllGranted(true);
    tree.Mark("1002", true);
    ASSERT_TRUE(posts.SavePostPermissions(&tree, message)) << message;

    // Whole to part.
    ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &tree));
    TCompPermit* whole = tree.FindCompany("1002");
    whole->SetAllGranted(false);
    TAbstractPermit* app = whole->Mark("02", true);
    app->SetAllGranted(false);
    app->Mark("02001-01-01-00-00", true);
    ASSERT_TRUE(posts.SavePostPermissions(&tree, message)) << message;

    const std::vector<std::string> expected = {
        std::string("单位：1001；新增应用：03（功能：03001-01-01-00-00）；收回应用：01；") +
            "应用 02 新增功能：02001-01-09-00-00；应用 02 收回功能：02001-01-05-00-00",
        "单位：1002；收回单位",
        "单位：1001；部分应用→整个单位",
        "单位：1002；授予整个单位",
        "单位：1002；整个单位→部分应用：02（功能：02001-01-01-00-00）",
    };
    const std::vector<Row> rows = Rows({"", "", "", audit::kGrantsSave});
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(Said(rows[i]), "admin|grants.save|岗位|GW00001|成功") << i;
        EXPECT_EQ(rows[i].detail, expected[i]) << i;
    }
    EXPECT_EQ(LogRows(), std::to_string(expected.size()));
    EXPECT_EQ(audit::VerifyChain().finding, audit::ChainCheck::Finding::Intact);
}

// The rows of a save are those that reading the whole post before and after
// it gives: for the companies it adds (taken from its tree), for those it
// changes beneath, and for what another workstation stored meanwhile.
TEST_P(AuditLogTest, AGrantSaveRecordsWhatTheDatabaseHoldsAfterIt)
{
    SignInAs("admin");
    const std::string companyNode = "SELECT t1.PRMS_DM FROM QX_ROLEPRMS t1, QX_PRMSMAP t3 WHERE "
                                    "t3.PRMS_DM=t1.PRMS_DM AND t1.JS_DM='GW00001' AND t3.KZDM=";
    struct Save {
        const char* name;
        std::function<void(TRolePermissions&)> mark;
        std::function<void()> elsewhere; // after the window read the post
        std::vector<std::string> rows;
    };
    const std::vector<Save> saves = {
        {"a company added in part",
         [](TRolePermissions& tree) {
             TCompPermit* company = tree.Mark("2001", true);
             company->SetAllGranted(false);
             TAbstractPermit* vat = company->Mark("02", true);
             vat->Mark("02001-01-05-00-00", true);
             vat->Mark("02001-01-01-00-00", true);
             company->Mark("03", true)->SetAllGranted(true);
             TAbstractPermit* dropped = company->Mark("04", true);
             dropped->Mark("04001-01-01-00-00", true);
             company->Mark("04", false);
         },
         {},
         {"单位：2001；授予单位，应用：02（功能：02001-01-01-00-00、02001-01-05-00-00）、03（功能：无）"}},
        {"two withdrawn",
         [](TRolePermissions& tree) {
             tree.Mark("2001", false);
             tree.Mark("1002", true)->SetAllGranted(true);
             tree.Mark("1001", false);
         },
         {},
         {"单位：1001；收回单位", "单位：2001；收回单位"}},
        {"beneath a whole company, elsewhere",
         [](TRolePermissions& tree) {
             tree.Mark("1002", true)->SetAllGranted(true);
             tree.Mark("2001", true)->SetAllGranted(true);
         },
         [&] {
             const std::string node = Count(companyNode + "1002");
             ASSERT_TRUE(
                 Db().Exec("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('05', "
                           "'其他工作站', " +
                           node + ", '20', 0)"));
         },
         {"单位：1002；部分应用→整个单位", "单位：2001；授予整个单位"}},
        {"withdrawn and granted again in one save",
         [](TRolePermissions& tree) {
             tree.Mark("1002", false);
             TCompPermit* again = tree.AddCompany(kPermitAdded);
             again->SetCode("1002");
             again->SetAllGranted(false);
             again->Mark("02", true);
         },
         {},
         {"单位：1002；整个单位→部分应用：02（功能：无）"}},
    };
    const std::set<std::string> everyCompany = {"1001", "1002", "2001"};
    std::size_t recorded = 0;
    for (const Save& save : saves) {
        TRolesMgr posts;
        TRolePermissions tree;
        std::string message;
        ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &tree)) << save.name;
        save.mark(tree);
        if (save.elsewhere)
            save.elsewhere();
        audit::PostGrants before, after;
        ASSERT_TRUE(audit::ReadPostGrants("GW00001", everyCompany, before));
        ASSERT_TRUE(posts.SavePostPermissions(&tree, message)) << save.name << ": " << message;
        ASSERT_TRUE(audit::ReadPostGrants("GW00001", everyCompany, after));

        const std::vector<Row> rows = Rows({"", "", "", audit::kGrantsSave});
        ASSERT_EQ(rows.size(), recorded + save.rows.size()) << save.name;
        const std::vector<audit::Event> read = audit::GrantChanges("GW00001", before, after);
        ASSERT_EQ(read.size(), save.rows.size()) << save.name;
        for (std::size_t i = 0; i < save.rows.size(); ++i) {
            EXPECT_EQ(rows[recorded + i].detail, save.rows[i]) << save.name;
            EXPECT_EQ(rows[recorded + i].detail, read[i].detail) << save.name;
        }
        recorded = rows.size();
    }
    EXPECT_EQ(audit::VerifyChain().finding, audit::ChainCheck::Finding::Intact);
}

TEST_P(AuditLogTest, AGrantSaveWhoseRecordCannotBeWrittenIsUndone)
{
    SignInAs("admin");
    TRolesMgr posts;
    TRolePermissions tree;
    ASSERT_TRUE(posts.LoadPostPermissions("GW00001", &tree));
    tree.Mark("1002", false);
    tree.Mark("2001", true);
    const std::string nodes = Count("SELECT COUNT(*) FROM QX_PRMSMAP");
    for (const char* failing : {"INSERT INTO QX_CZRZ(", "INSERT INTO QX_CZRZLT"}) {
        std::string message;
        fennix::FailStatementsContaining(failing);
        EXPECT_FALSE(posts.SavePostPermissions(&tree, message)) << failing;
        fennix::ClearStatementFailures();
        EXPECT_NE(message.find("操作日志"), std::string::npos) << message;
        EXPECT_TRUE(audit::TakeRecordFailure().has_value()) << failing;
        EXPECT_EQ(Count("SELECT COUNT(*) FROM QX_PRMSMAP"), nodes) << failing;
        EXPECT_EQ(Count("SELECT COUNT(*) FROM QX_ROLEPRMS t1, QX_PRMSMAP t3 WHERE t3.PRMS_DM=t1.PRMS_DM AND "
                        "t1.JS_DM='GW00001' AND t3.KZDM=1002"),
                  "1")
            << failing;
        EXPECT_EQ(LogRows(), "0");
    }
    // The same tree saves once the log can be written: the failed attempts
    // left its marks as they were.
    std::string message;
    ASSERT_TRUE(posts.SavePostPermissions(&tree, message)) << message;
    EXPECT_EQ(LogRows(), "2");
}

// Purging old rows leaves a chain that verifies from its checkpoint, and is
// itself recorded; a checkpoint that no purge vouches for is rows removed.
TEST_P(AuditLogTest, APurgeKeepsTheChainVerifiable)
{
    const auto recordAt = [](const CivilDateTime& when, const std::string& what) {
        fennix::SetNow(EncodeDateTime(when));
        audit::RecordAlone({audit::kInit, audit::kObjectDatabase, "", what});
    };
    recordAt({2024, 3, 1, 9, 0, 0}, "一");
    recordAt({2024, 3, 1, 10, 0, 0}, "二");
    recordAt({2024, 3, 2, 23, 59, 59}, "三");
    recordAt({2024, 3, 5, 9, 0, 0}, "四");
    // A workstation whose clock runs behind: its row stays with the rows
    // before it.
    recordAt({2024, 3, 1, 8, 0, 0}, "时钟慢的工作站");
    fennix::SetNow(EncodeDateTime({2024, 3, 10, 12, 0, 0}));
    const std::string lastHash = Count("SELECT HXZ FROM QX_CZRZ WHERE XH=3");

    audit::PurgeResult result;
    std::string message;
    ASSERT_TRUE(audit::PurgeBefore("2024-03-03", result, message)) << message;
    EXPECT_EQ(result.first, 1);
    EXPECT_EQ(result.last, 3);
    EXPECT_EQ(result.count, 3);
    EXPECT_EQ(Count("SELECT SJLX || '|' || HXZ FROM QX_CZRZ WHERE XH=3"), "audit.checkpoint|" + lastHash);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM QX_CZRZ WHERE XH<3"), "0");
    EXPECT_EQ(Count("SELECT XQ FROM QX_CZRZ WHERE XH=6"),
              "清除 2024-03-03 之前的记录：第 1 至 3 条，共 3 条；最后清除的记录：第 3 条，哈希值 " +
                  lastHash);
    audit::ChainCheck check = audit::VerifyChain();
    EXPECT_EQ(check.finding, audit::ChainCheck::Finding::Intact) << check.text;
    EXPECT_NE(check.text.find("自第 3 条检查点起"), std::string::npos) << check.text;

    // Nothing before the date: nothing purged, nothing recorded.
    ASSERT_TRUE(audit::PurgeBefore("2024-01-01 08:00", result, message)) << message;
    EXPECT_EQ(result.count, 0);
    EXPECT_EQ(LogRows(), "4");

    // A later purge starts after the checkpoint and replaces it.
    ASSERT_TRUE(audit::PurgeBefore("2024-03-06", result, message)) << message;
    EXPECT_EQ(result.first, 4);
    EXPECT_EQ(result.last, 5);
    check = audit::VerifyChain();
    EXPECT_EQ(check.finding, audit::ChainCheck::Finding::Intact) << check.text;
    EXPECT_EQ(Count("SELECT MIN(XH) FROM QX_CZRZ"), "5");

    // A purge whose own row cannot be written purges nothing.
    const std::string rows = LogRows();
    fennix::FailStatementsContaining("UPDATE QX_CZRZLT");
    EXPECT_FALSE(audit::PurgeBefore("2024-03-11", result, message));
    fennix::ClearStatementFailures();
    EXPECT_EQ(LogRows(), rows);
    EXPECT_EQ(Count("SELECT MIN(XH) FROM QX_CZRZ"), "5");

    EXPECT_FALSE(audit::PurgeBefore("yesterday", result, message));
}

TEST_P(AuditLogTest, ACheckpointNoPurgeVouchesForIsRowsRemoved)
{
    for (const char* what : {"一", "二", "三"})
        audit::RecordAlone({audit::kInit, audit::kObjectDatabase, "", what});
    // Someone deletes the first rows and makes a checkpoint of the last one.
    ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZRZ WHERE XH=1"));
    ASSERT_TRUE(Db().Exec("UPDATE QX_CZRZ SET SJLX='audit.checkpoint' WHERE XH=2"));
    const audit::ChainCheck check = audit::VerifyChain();
    EXPECT_EQ(check.finding, audit::ChainCheck::Finding::Removed) << check.text;
    EXPECT_EQ(check.firstRow, 1);
    EXPECT_EQ(check.lastRow, 2);
}

// What an operator was is read from his whole row: the address beyond what a
// record keeps, and, of two codes that differ only in letter case, the
// operator written exactly so even when he has no post and the other has
// (of whom only the code and name are known then).
TEST_P(AuditLogTest, AnOperatorChangeSaysWhatTheOperatorWrittenSoWas)
{
    SignInAs("admin");
    const std::string longAddress = std::string(300, 'a');
    ASSERT_TRUE(test::AddOperator(Db(), {.code = "zhao",
                                         .name = "赵一",
                                         .password = "pw",
                                         .post = "BUSINESS",
                                         .more = {{"ZZ", longAddress}}}));
    ASSERT_TRUE(test::AddOperator(Db(), {.code = "ZHAO", .name = "赵二", .password = "pw"}));
    TOperator store;
    const auto samePassword = [](const std::string&, const std::string&) { return true; };

    OperatorInfo zhao;
    ASSERT_TRUE(store.LoadOperator("zhao", zhao));
    zhao.Address = "北京市";
    ASSERT_TRUE(audit::ModifyOperator(store, zhao, samePassword));

    OperatorInfo other = zhao;
    other.Code = "ZHAO";
    other.Name = "赵三";
    ASSERT_TRUE(audit::ModifyOperator(store, other, samePassword));

    const std::vector<Row> rows = Rows({"", "", "", audit::kOperatorModify});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].objectCode, "zhao");
    EXPECT_EQ(rows[0].detail, "住址：" + longAddress + "→北京市");
    EXPECT_EQ(rows[1].objectCode, "ZHAO");
    EXPECT_EQ(rows[1].detail,
              "姓名：赵二→赵三；岗位：（空）→BUSINESS；住址：（空）→北京市；有效标志：（空）→Y");
}

TEST_P(AuditLogTest, AChangeThatChangesNothingIsNotRecorded)
{
    SignInAs("admin");
    TPrivilegeMgr manager;
    TRolesMgr posts;
    TDepartmentMgr departments;
    EXPECT_TRUE(manager.ModifyPassword("nobody", EncryptPassword("x"))) << "as before: no row, still true";
    EXPECT_FALSE(manager.DeleteOperator("nobody"));
    EXPECT_FALSE(audit::DeletePost(posts, "GW09999"));
    EXPECT_FALSE(audit::ModifyDepartment(departments, {"D99", "无"}));
    EXPECT_EQ(LogRows(), "0");
}

// Every change paired with what shows that it did not happen.
struct UndoneChange {
    const char* name;
    std::function<bool()> change;
    std::string unchanged; // a query that answers "1" while nothing changed
};

TEST_P(AuditLogTest, AChangeWhoseRecordCannotBeWrittenIsUndone)
{
    SignInAs("admin");
    TPrivilegeMgr manager;
    TRolesMgr posts;
    TDepartmentMgr departments;
    const std::string linaPassword = Count("SELECT PWD FROM QX_CZY WHERE CZY_DM='lina'");
    const std::vector<UndoneChange> changes = {
        {"add operator", [&] { return manager.AddOperator(NewOperator("wangwu")); },
         "SELECT COUNT(*)+1 FROM QX_CZY WHERE CZY_DM='wangwu'"},
        {"delete operator", [&] { return manager.DeleteOperator("lina"); },
         "SELECT COUNT(*) FROM QX_CZYRROLE WHERE CZY_DM='lina'"},
        {"password", [&] { return manager.ModifyPassword("lina", EncryptPassword("x")); },
         "SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='lina' AND PWD=" + SqlText(linaPassword)},
        {"add post",
         [&] {
             return audit::AddPost(posts, {"GW00002", "出纳", false});
         },
         "SELECT COUNT(*)+1 FROM QX_ROLES WHERE JS_DM='GW00002'"},
        {"rename post",
         [&] {
             return audit::ModifyPost(posts, {"GW00001", "改名", false});
         },
         "SELECT COUNT(*) FROM QX_ROLES WHERE JS_MC='税务会计'"},
        {"delete department", [&] { return audit::DeleteDepartment(departments, "D01"); },
         "SELECT COUNT(*) FROM XT_BMXX WHERE BM_DM='D01'"},
    };
    // The row itself, and the head that follows it.
    for (const char* failing : {"INSERT INTO QX_CZRZ(", "UPDATE QX_CZRZLT", "INSERT INTO QX_CZRZLT"}) {
        // The head is inserted with the first row and updated after it.
        if (std::string(failing) == "UPDATE QX_CZRZLT")
            audit::RecordAlone({audit::kInit, audit::kObjectDatabase, "", "首行"});
        for (const UndoneChange& c : changes) {
            fennix::FailStatementsContaining(failing);
            EXPECT_FALSE(c.change()) << c.name << " / " << failing;
            fennix::ClearStatementFailures();
            EXPECT_EQ(Count(c.unchanged), "1") << c.name << " / " << failing;
            const std::optional<std::string> reason = audit::TakeRecordFailure();
            ASSERT_TRUE(reason.has_value()) << c.name;
            EXPECT_NE(audit::RecordFailureMessage(*reason).find("系统错误：[70018513]"), std::string::npos);
        }
        if (std::string(failing) == "UPDATE QX_CZRZLT") {
            ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZRZ"));
            ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZRZLT"));
        }
    }
    EXPECT_EQ(LogRows(), "0");
    // Nothing stays pending once a change goes through.
    ASSERT_TRUE(changes[0].change());
    EXPECT_FALSE(audit::TakeRecordFailure().has_value());
    EXPECT_EQ(LogRows(), "1");
}

TEST_P(AuditLogTest, ASignInIsNeverRefusedForItsRecord)
{
    fennix::FailStatementsContaining("INSERT INTO QX_CZRZ(");
    {
        TPrivilegeMgr manager;
        EXPECT_TRUE(manager.SignInWithoutWindow("lina", "ln2024"));
    }
    fennix::ClearStatementFailures();
    EXPECT_EQ(LogRows(), "0");
    bool logged = false;
    for (const std::string& line : Db().LogLines())
        logged =
            logged || (line.find("[70018513]登录记录未能写入操作日志（lina，成功）") != std::string::npos);
    EXPECT_TRUE(logged);
    EXPECT_FALSE(audit::TakeRecordFailure().has_value()) << "no window is told of a sign-in's record";
}

// The module loaded as a host loads it signs in on the silent road.
TEST_P(AuditLogTest, SignInsThroughTheExportAreRecorded)
{
    struct Attempt {
        std::string code, password;
        bool signedIn;
        std::string said, detail;
    };
    const std::vector<Attempt> attempts = {
        {"LINA", "ln2024", true, "|signin|操作员|lina|成功", "无窗口登录"},
        {"lina", "wrong", false, "|signin|操作员|lina|拒绝", "无窗口登录；密码错误"},
        {"zhoujie", "zj2024", false, "|signin|操作员|zhoujie|拒绝", "无窗口登录；操作员已停用"},
        {"ghost", "x", false, "|signin|操作员|ghost|拒绝", "无窗口登录；操作员代码不存在或不可登录"},
    };
    {
        LoadedModule module;
        ASSERT_NE(module.Handle(), nullptr) << dlerror();
        for (const Attempt& attempt : attempts) {
            HostBuffer buffer("pamCZY_DM=" + attempt.code + ";pamPWD=" + attempt.password);
            EXPECT_EQ(module.Call("LoadLoginForm", buffer), attempt.signedIn) << attempt.code;
        }
        // Someone signed in changes operator: the row names who was signed in.
        SignInAs("lina");
        HostBuffer buffer("pamCZY_DM=wangfang;pamPWD=wf2024");
        EXPECT_TRUE(module.Call("LoadLoginForm", buffer));
    }

    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), attempts.size() + 1);
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        EXPECT_EQ(Said(rows[i]), attempts[i].said);
        EXPECT_EQ(rows[i].detail, attempts[i].detail);
    }
    EXPECT_EQ(Said(rows.back()), "lina|signin|操作员|wangfang|成功");
    EXPECT_EQ(rows.back().detail, "无窗口登录；更换操作员：lina→wangfang");
    EXPECT_EQ(audit::VerifyChain().finding, audit::ChainCheck::Finding::Intact);
}

TEST_P(AuditLogTest, WithoutTheLogChangesRunAsBeforeAndTheLogSaysSoOnce)
{
    // The host's log says it once for each time the log goes missing.
    std::string message;
    ASSERT_EQ(audit::InspectLog(message), audit::LogState::Present);
    ASSERT_TRUE(Db().Exec("DROP TABLE QX_CZRZ"));
    ASSERT_TRUE(Db().Exec("DROP TABLE QX_CZRZLT"));
    SignInAs("admin");
    fennix::ClearExecutedStatements();
    TPrivilegeMgr manager;
    TRolesMgr posts;
    EXPECT_TRUE(manager.AddOperator(NewOperator("wangwu")));
    EXPECT_TRUE(manager.ModifyPassword("wangwu", EncryptPassword("x")));
    EXPECT_TRUE(audit::AddPost(posts, {"GW00002", "出纳", false}));
    EXPECT_TRUE(manager.SignInWithoutWindow("lina", "ln2024"));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='wangwu'"), "1");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM QX_ROLES WHERE JS_DM='GW00002'"), "1");
    // Nothing but the look into the catalogue touches the log's tables.
    for (const std::string& statement : fennix::ExecutedStatements())
        EXPECT_TRUE(statement.find("QX_CZRZ") == std::string::npos ||
                    statement.find("COUNT(*) AS N") != std::string::npos)
            << statement;
    int said = 0;
    for (const std::string& line : Db().LogLines())
        said += line.find("数据库中没有操作日志表 QX_CZRZ") != std::string::npos ? 1 : 0;
    EXPECT_EQ(said, 1);
    EXPECT_EQ(audit::VerifyChain().finding, audit::ChainCheck::Finding::NoLog);

    // With one of the two tables the log is broken, not absent: changes stop.
    ASSERT_TRUE(Db().Exec("CREATE TABLE QX_CZRZLT (LT_ID integer NOT NULL PRIMARY KEY, XH integer NOT NULL, "
                          "HXZ text NOT NULL)"));
    EXPECT_FALSE(audit::AddPost(posts, {"GW00003", "会计", false}));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM QX_ROLES WHERE JS_DM='GW00003'"), "0");
    ASSERT_TRUE(audit::TakeRecordFailure().has_value());
}

// Rows 1 to 5 written by the recorder, then one tampering; VerifyChain names it.
TEST_P(AuditLogTest, VerifyNamesTheFirstRowEditedRemovedOrInserted)
{
    using Finding = audit::ChainCheck::Finding;
    const auto writeFive = [this] {
        ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZRZ"));
        ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZRZLT"));
        for (int i = 1; i <= 5; ++i)
            audit::RecordAlone({audit::kInit, audit::kObjectDatabase, "", "第" + std::to_string(i) + "行"});
        ASSERT_EQ(LogRows(), "5");
        ASSERT_EQ(audit::VerifyChain().finding, Finding::Intact);
    };
    const auto rowHash = [this](int sequence) {
        return Count("SELECT HXZ FROM QX_CZRZ WHERE XH=" + std::to_string(sequence));
    };
    // A row inserted with a hash that fits its content and the row before.
    const auto forged = [&](std::int64_t sequence, const std::string& previous) {
        Row row;
        row.sequence = sequence;
        row.utcTime = "2024-03-05T06:07:59Z";
        row.localTime = "2024-03-05 14:07:59";
        row.event = audit::kOperatorDelete;
        row.objectKind = audit::kObjectOperator;
        row.objectCode = "lina";
        row.result = audit::kResultDone;
        row.previousHash = previous;
        row.hash = audit::ComputeHash(row);
        return "INSERT INTO QX_CZRZ(" + std::string(audit::kRowColumns) + ") VALUES(" +
               std::to_string(sequence) + ", '" + row.utcTime + "', '" + row.localTime +
               "', '', '', 'admin', '" + row.event + "', '" + row.objectKind + "', 'lina', '', '" +
               row.result + "', '" + row.previousHash + "', '" + row.hash + "')";
    };
    struct Tampering {
        const char* name;
        std::function<std::vector<std::string>()> statements;
        Finding finding;
        std::int64_t firstRow;
    };
    const std::vector<Tampering> tamperings = {
        {"detail edited", [] { return std::vector<std::string>{"UPDATE QX_CZRZ SET XQ='无' WHERE XH=3"}; },
         Finding::Changed, 3},
        {"operator edited and its hash made to fit",
         [&] {
             Row row;
             std::string message;
             audit::ReadRows(
                 {}, [&row](const Row& r) { return r.sequence == 3 ? (row = r, false) : true; }, message);
             row.operatorCode = "ghost";
             return std::vector<std::string>{"UPDATE QX_CZRZ SET CZY_DM='ghost', HXZ='" +
                                             audit::ComputeHash(row) + "' WHERE XH=3"};
         },
         Finding::Changed, 3},
        {"row removed", [] { return std::vector<std::string>{"DELETE FROM QX_CZRZ WHERE XH=3"}; },
         Finding::Removed, 3},
        {"last row removed", [] { return std::vector<std::string>{"DELETE FROM QX_CZRZ WHERE XH=5"}; },
         Finding::Removed, 5},
        {"row appended after the head", [&] { return std::vector<std::string>{forged(6, rowHash(5))}; },
         Finding::Inserted, 6},
        {"row inserted in the middle",
         [&] {
             return std::vector<std::string>{"UPDATE QX_CZRZ SET XH=XH+100 WHERE XH>=3",
                                             "UPDATE QX_CZRZ SET XH=XH-99 WHERE XH>=100",
                                             "UPDATE QX_CZRZLT SET XH=6", forged(3, "forged")};
         },
         Finding::Inserted, 3},
    };
    for (const Tampering& t : tamperings) {
        writeFive();
        if (HasFatalFailure())
            return;
        for (const std::string& sql : t.statements())
            ASSERT_TRUE(Db().Exec(sql)) << t.name;
        const audit::ChainCheck check = audit::VerifyChain();
        EXPECT_EQ(check.finding, t.finding) << t.name << ": " << check.text;
        EXPECT_EQ(check.firstRow, t.firstRow) << t.name << ": " << check.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, AuditLogTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
