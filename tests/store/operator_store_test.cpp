#include "store/operator_store.h"

#include "boundary/datetime.h"
#include "store_fixture.h"

#include <gtest/gtest.h>

namespace priv::test {
namespace {

class OperatorStoreTest : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(AddDepartment(Db(), 0, "B01", "征收科"));
        ASSERT_TRUE(AddPost(Db(), "GW00001", "出纳"));
        ASSERT_TRUE(AddOperator(Db(), {.code = "zhang",
                                       .name = "张三",
                                       .storedPassword = "pw#1",
                                       .category = "1",
                                       .departmentText = "ssbm",
                                       .valid = "Y",
                                       .department = "B01",
                                       .post = "GW00001",
                                       .more = {{"DESCRIPTION", "说明"},
                                                {"DHHM", "010-1234"},
                                                {"EMAIL", "z@a.cn"},
                                                {"ZZ", "北京"},
                                                {"SFXZSJ", "N"},
                                                {"XZSJ", "2030-01-02 03:04"},
                                                {"ZHDLSJ", "2024-03-05 08:30"}}}));
    }

    OperatorInfo Sample(const std::string& code) const
    {
        OperatorInfo info;
        info.Code = code;
        info.Name = "李四";
        info.Password = "enc!pw";
        info.PostCode = "GW00001";
        info.DepartmentName = "";
        info.Description = "新建";
        info.Phone = "(010)5555-1";
        info.Email = "li@si.cn";
        info.Address = "上海";
        info.ValidFlag = "Y";
        info.DepartmentCode = "B01";
        return info;
    }

    TOperator store;
};

TEST_P(OperatorStoreTest, LoadReadsEveryFieldOfTheJoinedRow)
{
    OperatorInfo info;
    ASSERT_TRUE(store.LoadOperator("zhang", info));
    EXPECT_EQ(info.Code, "zhang");
    EXPECT_EQ(info.Name, "张三");
    EXPECT_EQ(info.Password, "pw#1");
    EXPECT_EQ(info.PostCode, "GW00001");
    EXPECT_EQ(info.PostName, "出纳");
    EXPECT_EQ(info.DepartmentName, "征收科");
    EXPECT_EQ(info.Description, "说明");
    EXPECT_EQ(info.Phone, "010-1234");
    EXPECT_EQ(info.Email, "z@a.cn");
    EXPECT_EQ(info.Address, "北京");
    EXPECT_EQ(info.ValidFlag, "Y");
    EXPECT_EQ(info.TimeLimitFlag, "N");
    EXPECT_DOUBLE_EQ(info.TimeLimit, EncodeDateTime({2030, 1, 2, 3, 4, 0}));
    EXPECT_DOUBLE_EQ(info.LastSignIn, EncodeDateTime({2024, 3, 5, 8, 30, 0}));
    EXPECT_EQ(info.DepartmentCode, "B01");
}

TEST_P(OperatorStoreTest, LoadReadsAStoredImpossibleMomentAsNoDate)
{
    // Only a text column can hold one; PostgreSQL's timestamp refuses it.
    if (Db().IsPostgres())
        GTEST_SKIP() << "timestamp columns hold only possible moments";
    ASSERT_TRUE(Db().ExecAll({"UPDATE QX_CZY SET XZSJ='2030-02-31 03:04', ZHDLSJ='2024-03-05 25:61' "
                              "WHERE CZY_DM='zhang'"}));
    OperatorInfo info;
    ASSERT_TRUE(store.LoadOperator("zhang", info));
    EXPECT_DOUBLE_EQ(info.TimeLimit, 0.0);
    EXPECT_DOUBLE_EQ(info.LastSignIn, 0.0);
}

struct LoadCase {
    const char* name;
    std::vector<std::string> arrange;
    bool loads;
    std::string postCode;
    std::string postName;
};

TEST_P(OperatorStoreTest, LoadDecidesThePostAndRefusesOperatorsWithoutOne)
{
    const std::vector<LoadCase> cases = {
        {"category 0 is the super administrator whatever the post row says",
         {"UPDATE QX_CZY SET CZY_LB='0' WHERE CZY_DM='zhang'",
          "UPDATE QX_CZYRROLE SET JS_DM='SYSTEM' WHERE CZY_DM='zhang'"},
         true,
         "0",
         "超级管理员"},
        {"a built-in post shows its own name, not the stored one",
         {"UPDATE QX_ROLES SET JS_MC='随便' WHERE JS_DM='BUSINESS'",
          "UPDATE QX_CZYRROLE SET JS_DM='BUSINESS' WHERE CZY_DM='zhang'"},
         true,
         "BUSINESS",
         "业务员"},
        {"a post without a QX_ROLES row has an empty name",
         {"UPDATE QX_CZYRROLE SET JS_DM='GW09999' WHERE CZY_DM='zhang'"},
         true,
         "GW09999",
         ""},
        {"no post link: invisible", {"DELETE FROM QX_CZYRROLE WHERE CZY_DM='zhang'"}, false, "", ""},
        {"no operator row", {"DELETE FROM QX_CZY WHERE CZY_DM='zhang'"}, false, "", ""},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZY"));
        ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZYRROLE"));
        ASSERT_TRUE(AddOperator(
            Db(),
            {.code = "zhang", .name = "张三", .category = "1", .valid = std::nullopt, .post = "GW00001"}));
        for (const std::string& sql : c.arrange)
            ASSERT_TRUE(Db().Exec(sql));
        OperatorInfo info;
        info.Name = "untouched";
        EXPECT_EQ(store.LoadOperator("zhang", info), c.loads);
        if (c.loads) {
            EXPECT_EQ(info.PostCode, c.postCode);
            EXPECT_EQ(info.PostName, c.postName);
            EXPECT_EQ(info.LastSignIn, 0.0) << "a sign-in time never written reads as the zero date-time";
        } else {
            EXPECT_EQ(info, [] {
                OperatorInfo untouched;
                untouched.Name = "untouched";
                return untouched;
            }());
        }
    }
}

TEST_P(OperatorStoreTest, LoadCutsLongColumnsTo255HostBytes)
{
    std::string chinese;
    for (int i = 0; i < 200; ++i)
        chinese += "纳";
    const std::string ascii(300, 'a');
    ASSERT_TRUE(Db().Exec("UPDATE QX_CZY SET CZY_MC=" + SqlText(chinese) + ", ZZ=" + SqlText(ascii) +
                          ", DESCRIPTION=" + SqlText("x" + chinese) + " WHERE CZY_DM='zhang'"));
    OperatorInfo info;
    ASSERT_TRUE(store.LoadOperator("zhang", info));
    EXPECT_EQ(info.Name, chinese.substr(0, std::size_t{127} * 3))
        << "127 characters are 254 GBK bytes; the 128th would not fit";
    EXPECT_EQ(info.Address, ascii.substr(0, 255));
    EXPECT_EQ(info.Description, "x" + chinese.substr(0, std::size_t{127} * 3)) << "1 + 254 bytes";
    EXPECT_EQ(HostBytes(info.Description), 255u);
}

TEST_P(OperatorStoreTest, AddWritesOperatorAndPostTogether)
{
    const OperatorInfo info = Sample("li");
    ASSERT_TRUE(store.AddOperator(info));
    OperatorInfo loaded;
    ASSERT_TRUE(store.LoadOperator("li", loaded));
    EXPECT_EQ(loaded.Name, info.Name);
    EXPECT_EQ(loaded.Password, info.Password);
    EXPECT_EQ(loaded.PostCode, "GW00001");
    EXPECT_EQ(loaded.Description, "新建");
    EXPECT_EQ(loaded.Phone, info.Phone);
    EXPECT_EQ(loaded.DepartmentCode, "B01");
    EXPECT_EQ(Db().Scalar("SELECT SSBM FROM QX_CZY WHERE CZY_DM='li'"), "");
    EXPECT_EQ(
        Db().Scalar("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='li' AND CZY_LB IS NULL AND ZHDLSJ IS NULL"),
        "1");
}

struct AddFailure {
    const char* name;
    std::string failingFragment; // empty: the code already exists
};

TEST_P(OperatorStoreTest, AddLeavesNothingBehindWhenAnyStepFails)
{
    const std::vector<AddFailure> cases = {
        {"post insert fails", "INSERT INTO QX_CZYRROLE"},
        {"operator insert fails", "INSERT INTO QX_CZY("},
        {"commit fails", "COMMIT"},
        {"no transaction can be opened", "BEGIN"},
    };
    for (const AddFailure& c : cases) {
        SCOPED_TRACE(c.name);
        fennix::FailStatementsContaining(c.failingFragment, 0, 1);
        EXPECT_FALSE(store.AddOperator(Sample("wang")));
        fennix::ClearStatementFailures();
        EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='wang'"), "0");
        EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZYRROLE WHERE CZY_DM='wang'"), "0");
    }
    // The connection is usable afterwards: nothing was left half open.
    EXPECT_TRUE(store.AddOperator(Sample("wang")));
}

TEST_P(OperatorStoreTest, AddWithAnExistingCodeFailsAtTheKeyAndInsertsNoPost)
{
    fennix::ClearExecutedStatements();
    EXPECT_FALSE(store.AddOperator(Sample("zhang")));
    EXPECT_TRUE(StatementsContaining("INSERT INTO QX_CZYRROLE").empty());
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZYRROLE WHERE CZY_DM='zhang'"), "1");
    EXPECT_EQ(Db().Scalar("SELECT CZY_MC FROM QX_CZY WHERE CZY_DM='zhang'"), "张三");
}

TEST_P(OperatorStoreTest, ModifyChangesTheRecordButNeverCodeCategoryOrDescription)
{
    OperatorInfo info = Sample("zhang");
    info.Name = "张三丰";
    info.PostCode = "BUSINESS";
    info.Description = "ignored";
    ASSERT_TRUE(store.ModifyOperator(info));
    EXPECT_EQ(Db().Scalar("SELECT CZY_MC FROM QX_CZY WHERE CZY_DM='zhang'"), "张三丰");
    EXPECT_EQ(Db().Scalar("SELECT DESCRIPTION FROM QX_CZY WHERE CZY_DM='zhang'"), "说明");
    EXPECT_EQ(Db().Scalar("SELECT CZY_LB FROM QX_CZY WHERE CZY_DM='zhang'"), "1");
    EXPECT_EQ(Db().Scalar("SELECT JS_DM FROM QX_CZYRROLE WHERE CZY_DM='zhang'"), "BUSINESS");
}

TEST_P(OperatorStoreTest, ModifyRollsBackTheOperatorWhenThePostUpdateFails)
{
    OperatorInfo info = Sample("zhang");
    info.Name = "改名";
    fennix::FailStatementsContaining("UPDATE QX_CZYRROLE");
    EXPECT_FALSE(store.ModifyOperator(info));
    fennix::ClearStatementFailures();
    EXPECT_EQ(Db().Scalar("SELECT CZY_MC FROM QX_CZY WHERE CZY_DM='zhang'"), "张三");
}

TEST_P(OperatorStoreTest, ModifyPasswordOfAnUnknownCodeChangesNothingAndSucceeds)
{
    EXPECT_TRUE(store.ModifyPassword("nobody", "x"));
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY WHERE PWD='x'"), "0");
    EXPECT_TRUE(store.ModifyPassword("zhang", "new\\pw"));
    EXPECT_EQ(Db().Scalar("SELECT PWD FROM QX_CZY WHERE CZY_DM='zhang'"), "new\\pw");
    EXPECT_EQ(store.LastStatement(), "UPDATE QX_CZY SET PWD='new\\pw' where CZY_DM='zhang'");
}

TEST_P(OperatorStoreTest, DeleteRemovesLinkTablesFirstEachByItself)
{
    ASSERT_TRUE(Db().ExecAll({"INSERT INTO QX_CZYQY(CZY_DM, QYID) VALUES('zhang', 1)",
                              "INSERT INTO QX_CZYZXT(CZY_DM, QYID, CPBM) VALUES('zhang', 1, '0200')"}));
    fennix::ClearExecutedStatements();
    ASSERT_TRUE(store.DeleteOperator("zhang"));
    EXPECT_EQ(fennix::ExecutedStatements(),
              (std::vector<std::string>{"SELECT CZY_DM FROM QX_CZY WHERE UPPER(CZY_DM)=UPPER('zhang')",
                                        "DELETE FROM QX_CZYQY WHERE CZY_DM='zhang'",
                                        "DELETE FROM QX_CZYZXT WHERE CZY_DM='zhang'",
                                        "DELETE FROM QX_CZYRROLE WHERE CZY_DM='zhang'",
                                        "DELETE from QX_CZY WHERE CZY_DM='zhang'"}));
    for (const char* table : {"QX_CZY", "QX_CZYRROLE", "QX_CZYQY", "QX_CZYZXT"})
        EXPECT_EQ(Db().Scalar(std::string("SELECT COUNT(*) FROM ") + table), "0") << table;
}

struct DeleteCase {
    const char* name;
    std::string failingFragment;
    bool result;
    std::string operatorsLeft;
};

TEST_P(OperatorStoreTest, DeleteAnswersWhetherTheOperatorRowWent)
{
    const std::vector<DeleteCase> cases = {
        {"a failing link table does not stop the rest", "DELETE FROM QX_CZYQY", true, "0"},
        {"a failing post delete does not stop the rest", "DELETE FROM QX_CZYRROLE", true, "0"},
        {"the operator row itself fails", "DELETE from QX_CZY", false, "1"},
    };
    for (const DeleteCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Db().Exec("DELETE FROM QX_CZY"));
        ASSERT_TRUE(AddOperator(Db(), {.code = "zhang", .name = "张三", .valid = std::nullopt}));
        fennix::FailStatementsContaining(c.failingFragment);
        fennix::ClearExecutedStatements();
        EXPECT_EQ(store.DeleteOperator("zhang"), c.result);
        fennix::ClearStatementFailures();
        EXPECT_EQ(StatementsContaining("DELETE").size(), 4u);
        EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY"), c.operatorsLeft);
    }
}

TEST_P(OperatorStoreTest, DeleteOfAnUnknownCodeIssuesNoDelete)
{
    fennix::ClearExecutedStatements();
    EXPECT_FALSE(store.DeleteOperator("nobody"));
    EXPECT_TRUE(StatementsContaining("DELETE").empty());
}

TEST_P(OperatorStoreTest, HostileTextIsStoredAndFoundUnchanged)
{
    int n = 0;
    for (const std::string& text : HostileTexts()) {
        SCOPED_TRACE(text);
        OperatorInfo info = Sample(text.substr(0, 20) + std::to_string(++n));
        info.Code = text;
        info.Name = info.Password = info.DepartmentName = info.Description = info.Phone = info.Email =
            info.Address = info.DepartmentCode = text;
        ASSERT_TRUE(store.AddOperator(info));
        EXPECT_TRUE(store.OperatorExists(text));
        OperatorInfo loaded;
        ASSERT_TRUE(store.LoadOperator(text, loaded));
        for (const std::string* field :
             {&loaded.Code, &loaded.Name, &loaded.Password, &loaded.Description, &loaded.Phone, &loaded.Email,
              &loaded.Address, &loaded.DepartmentCode})
            EXPECT_EQ(*field, text);
        info.Name = text + "2";
        ASSERT_TRUE(store.ModifyOperator(info));
        EXPECT_EQ(Db().Scalar("SELECT CZY_MC FROM QX_CZY WHERE CZY_DM=" + SqlText(text)), text + "2");
        ASSERT_TRUE(store.DeleteOperator(text));
        EXPECT_FALSE(store.OperatorExists(text));
    }
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY"), "1") << "only the arranged operator is left";
}

INSTANTIATE_TEST_SUITE_P(Backends, OperatorStoreTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
