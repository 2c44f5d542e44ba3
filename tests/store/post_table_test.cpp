#include "store/post_store.h"

#include "store_fixture.h"

#include <gtest/gtest.h>

namespace priv::test {
namespace {

class PostTableTest : public DatabaseTest {
protected:
    TRolesMgr store;
};

const TUserPostList kBuiltInPosts = {
    {"SYSTEM", "系统管理员", true}, {"BUSINESS", "业务员", true}, {"AUDITOR", "审核员", true}};

TEST_P(PostTableTest, ListsTheBuiltInPostsFirstAndNeverTheSuperAdministrator)
{
    TUserPostList list{{"x", "y", false}};
    ASSERT_TRUE(store.GetPostList(list));
    EXPECT_EQ(list, kBuiltInPosts) << "only the built-in rows: exactly the three entries";

    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLES"));
    ASSERT_TRUE(store.GetPostList(list));
    EXPECT_EQ(list, kBuiltInPosts) << "an empty table: the same three entries";

    ASSERT_TRUE(Db().ExecAll({"INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('0', '超级管理员')",
                              "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')",
                              "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00002', '   ')",
                              "INSERT INTO QX_ROLES(JS_DM) VALUES('GW00003')",
                              "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('system', '小写')"}));
    ASSERT_TRUE(store.GetPostList(list));
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(TUserPostList(list.begin(), list.begin() + 3), kBuiltInPosts);
    TUserPostList created(list.begin() + 3, list.end());
    std::sort(created.begin(), created.end(), [](const auto& a, const auto& b) { return a.Code < b.Code; });
    EXPECT_EQ(created, (TUserPostList{{"GW00001", "出纳", false},
                                      {"GW00002", "——", false},
                                      {"GW00003", "——", false},
                                      {"system", "小写", false}}))
        << "codes are compared exactly: 'system' is a created post";
}

TEST_P(PostTableTest, AFailedListLeavesTheListAsItWas)
{
    TUserPostList list{{"keep", "me", false}};
    fennix::FailStatementsContaining("QX_ROLES");
    EXPECT_FALSE(store.GetPostList(list));
    EXPECT_EQ(list, (TUserPostList{{"keep", "me", false}}));
}

TEST_P(PostTableTest, ChecksAddRenameAndDelete)
{
    ASSERT_TRUE(store.AddPost({"GW00001", "出纳", false}));
    EXPECT_FALSE(store.AddPost({"GW00001", "again", false}));
    EXPECT_TRUE(store.PostCodeExists("GW00001"));
    EXPECT_FALSE(store.PostCodeExists("GW0000"));
    EXPECT_TRUE(store.PostNameExists("出纳"));
    EXPECT_FALSE(store.PostNameExists("出"));
    EXPECT_FALSE(store.PostInUse("GW00001"));
    ASSERT_TRUE(Db().Exec("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('zhang', 'GW00001')"));
    EXPECT_TRUE(store.PostInUse("GW00001"));

    ASSERT_TRUE(store.ModifyPost({"GW00001", "会计", false}));
    EXPECT_TRUE(store.PostNameExists("会计"));
    EXPECT_EQ(store.LastStatement(), "SELECT JS_MC FROM QX_ROLES WHERE JS_MC='会计'");

    fennix::ClearExecutedStatements();
    EXPECT_FALSE(store.DeletePost("GW00009"));
    EXPECT_TRUE(StatementsContaining("DELETE").empty());
}

TEST_P(PostTableTest, DeleteLeavesTheGrantsInTheirTables)
{
    ASSERT_TRUE(AddPost(Db(), "GW00001", "出纳"));
    const long long node =
        AddNode(Db(), {.code = "7", .name = "七", .parent = 0, .type = "10", .extension = 7});
    ASSERT_TRUE(Grant(Db(), "GW00001", node));
    ASSERT_TRUE(store.DeletePost("GW00001"));
    EXPECT_FALSE(store.PostCodeExists("GW00001"));
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS"), "1");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP"), "1");
}

TEST_P(PostTableTest, HostileTextIsStoredAndFoundUnchanged)
{
    for (const std::string& text : HostileTexts()) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(store.AddPost({text, text, false}));
        EXPECT_TRUE(store.PostCodeExists(text));
        EXPECT_TRUE(store.PostNameExists(text));
        ASSERT_TRUE(store.ModifyPost({text, "新" + text, false}));
        TUserPostList list;
        ASSERT_TRUE(store.GetPostList(list));
        EXPECT_NE(std::find(list.begin(), list.end(), UserPostInfo{text, RecordText("新" + text), false}),
                  list.end());
        ASSERT_TRUE(store.DeletePost(text));
        EXPECT_FALSE(store.PostCodeExists(text));
    }
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLES"), "4") << "the built-in rows are untouched";
}

INSTANTIATE_TEST_SUITE_P(Backends, PostTableTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
