#include "models/word_book.h"

#include "fennix/fennix.h"
#include "fennix/testing.h"
#include "store/store_fixture.h"

#include <gtest/gtest.h>

namespace priv::test {
namespace {

class WordBookTest : public DatabaseTest {};

TEST_P(WordBookTest, PostsListTheBuiltInPostsFirstAfterThePlaceholder)
{
    ASSERT_TRUE(Db().ExecAll({"INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '税务会计')",
                              "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00002', '税务会计')",
                              "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00003', 'Cashier')"}));
    const TRolesWordBook book;
    ASSERT_GE(book.Codes().size(), 7u);
    EXPECT_EQ(book.Codes()[0], kWordBookPlaceholder);
    EXPECT_EQ(book.Names()[0], kWordBookPlaceholder);
    EXPECT_EQ(book.GetCodeByIndex(1), "SYSTEM");
    EXPECT_EQ(book.GetCodeByIndex(2), "BUSINESS");
    EXPECT_EQ(book.GetCodeByIndex(3), "AUDITOR");
    EXPECT_EQ(book.Names().size(), book.Codes().size());

    EXPECT_EQ(book.GetCodeByName("税务会计"), "GW00001") << "the first of two equal names wins";
    EXPECT_EQ(book.GetCodeByName("cashIER"), "GW00003") << "letter case is ignored";
    EXPECT_EQ(book.GetNameByCode("gw00003"), "Cashier");
    EXPECT_EQ(book.GetCodeByName(kWordBookPlaceholder), kWordBookPlaceholder);
    EXPECT_EQ(book.GetCodeByName("出纳"), "");
    EXPECT_EQ(book.GetNameByCode("GW99999"), "");
    EXPECT_EQ(book.GetNameByCode("0"), "") << "the super administrator's post is never offered";
}

TEST_P(WordBookTest, PositionsOutsideTheEntriesGiveNoCode)
{
    const TRolesWordBook book;
    for (const int position : {0, -1, static_cast<int>(book.Codes().size()), 1000})
        EXPECT_EQ(book.GetCodeByIndex(position), "") << position;
}

TEST_P(WordBookTest, DepartmentsFillADropDownListReplacingWhatItHeld)
{
    ASSERT_TRUE(Db().ExecAll({"INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收科')",
                              "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B02', '稽查局')"}));
    const TDepartmentsWordBook book;
    std::vector<std::string> items{"stale", "entries", "here"};
    book.FillStrings(items);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], kWordBookPlaceholder);
    EXPECT_EQ(book.GetCodeByName(items[1]), book.GetCodeByIndex(1));
    EXPECT_EQ(book.GetCodeByName("稽查局"), "B02");
}

TEST_P(WordBookTest, AFailedReadLeavesOnlyThePlaceholder)
{
    ASSERT_TRUE(Db().ExecAll({"INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收科')"}));
    fennix::FailStatementsContaining("QX_ROLES");
    fennix::FailStatementsContaining("XT_BMXX");
    const TRolesWordBook posts;
    const TDepartmentsWordBook departments;
    for (const TBaseWordBook* book :
         {static_cast<const TBaseWordBook*>(&posts), static_cast<const TBaseWordBook*>(&departments)}) {
        EXPECT_EQ(book->Codes(), std::vector<std::string>{kWordBookPlaceholder});
        EXPECT_EQ(book->GetCodeByIndex(1), "");
        EXPECT_EQ(book->GetCodeByName("征收科"), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, WordBookTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
