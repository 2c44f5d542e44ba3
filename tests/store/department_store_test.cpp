#include "store/department_store.h"

#include "store_fixture.h"

#include <gtest/gtest.h>

namespace priv::test {
namespace {

class DepartmentStoreTest : public DatabaseTest {
protected:
    TDepartmentMgr store;
};

TEST_P(DepartmentStoreTest, ListsEveryRowAndShowsEmptyNamesAsDashes)
{
    TDepartmentList list{{"old", "stale"}};
    store.GetDepartmentList(list);
    EXPECT_TRUE(list.empty()) << "an empty table gives an empty list";

    ASSERT_TRUE(Db().ExecAll({"INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收科')",
                              "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B02', '')",
                              "INSERT INTO XT_BMXX(QYID, BM_DM) VALUES(3, 'B03')"}));
    store.GetDepartmentList(list);
    ASSERT_EQ(list.size(), 3u);
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.Code < b.Code; });
    EXPECT_EQ(list, (TDepartmentList{{"B01", "征收科"}, {"B02", "——"}, {"B03", "——"}}));
}

TEST_P(DepartmentStoreTest, AFailedListLeavesTheListAsItWas)
{
    TDepartmentList list{{"keep", "me"}};
    fennix::FailStatementsContaining("XT_BMXX");
    EXPECT_FALSE(store.GetDepartmentList(list));
    EXPECT_EQ(list, (TDepartmentList{{"keep", "me"}}));
}

TEST_P(DepartmentStoreTest, ChecksCompareWholeValues)
{
    ASSERT_TRUE(AddDepartment(Db(), 0, "B010", "征收科室"));
    ASSERT_TRUE(AddOperator(Db(), {.code = "zhang", .valid = std::nullopt, .department = "B010"}));
    EXPECT_TRUE(store.DepartmentCodeExists("B010"));
    EXPECT_FALSE(store.DepartmentCodeExists("B01"));
    EXPECT_FALSE(store.DepartmentCodeExists("B0100"));
    EXPECT_TRUE(store.DepartmentNameExists("征收科室"));
    EXPECT_FALSE(store.DepartmentNameExists("征收科"));
    EXPECT_TRUE(store.DepartmentInUse("B010"));
    EXPECT_FALSE(store.DepartmentInUse("B01"));
}

TEST_P(DepartmentStoreTest, AddRenameAndDelete)
{
    ASSERT_TRUE(store.AddDepartment({"B01", "征收科"}));
    ASSERT_TRUE(store.AddDepartment({"B02", "稽查局"}));
    EXPECT_EQ(Db().Scalar("SELECT QYID FROM XT_BMXX WHERE BM_DM='B01'"), "0");
    EXPECT_FALSE(store.AddDepartment({"B01", "again"})) << "the key refuses a second row";

    EXPECT_TRUE(store.ModifyDepartment({"B02", "征收科"})) << "the store does not refuse a name in use";
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM XT_BMXX WHERE BM_MC='征收科'"), "2");

    fennix::ClearExecutedStatements();
    EXPECT_FALSE(store.DeleteDepartment("B09"));
    EXPECT_TRUE(StatementsContaining("DELETE").empty());
    EXPECT_TRUE(store.DeleteDepartment("B01"));
    EXPECT_EQ(store.LastStatement(), "DELETE FROM XT_BMXX WHERE BM_DM='B01'");
    EXPECT_FALSE(store.DepartmentCodeExists("B01"));
}

TEST_P(DepartmentStoreTest, HostileTextIsStoredAndFoundUnchanged)
{
    for (const std::string& text : HostileTexts()) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(store.AddDepartment({text, text}));
        EXPECT_TRUE(store.DepartmentCodeExists(text));
        EXPECT_TRUE(store.DepartmentNameExists(text));
        ASSERT_TRUE(store.ModifyDepartment({text, text + "'"}));
        EXPECT_TRUE(store.DepartmentNameExists(text + "'"));
        TDepartmentList list;
        store.GetDepartmentList(list);
        EXPECT_NE(std::find(list.begin(), list.end(), DepartmentInfo{text, RecordText(text + "'")}),
                  list.end());
        ASSERT_TRUE(store.DeleteDepartment(text));
        EXPECT_FALSE(store.DepartmentCodeExists(text));
    }
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM XT_BMXX"), "0");
}

INSTANTIATE_TEST_SUITE_P(Backends, DepartmentStoreTest, ::testing::ValuesIn(AvailableBackends()),
                         BackendName);

} // namespace
} // namespace priv::test
