// The host's named-value records: entries found without regard to ASCII case,
// stable while more are appended, owned objects released with the record.
#include "support/database_fixture.h"

#include "fennix/fennix.h"

#include <gtest/gtest.h>

namespace {

struct Tracked {
    int* releases;
};

void ReleaseTracked(void* object)
{
    auto* tracked = static_cast<Tracked*>(object);
    ++*tracked->releases;
    delete tracked;
}

TEST(HostRecords, FindsEntriesWithoutRegardToAsciiCaseAndKeepsThemStable)
{
    priv::HostRecord& record = fennix::Services().GetUserInfoVO();
    priv::RecordEntry& code = record.Append("CZY_DM");
    code.text = "admin";
    priv::RecordEntry* first = &code;
    // Many more entries must not move the first one.
    for (int i = 0; i < 200; ++i)
        record.Append("ENTRY" + std::to_string(i)).number = i;

    for (const char* name : {"CZY_DM", "czy_dm", "Czy_Dm"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(record.Find(name), first);
        EXPECT_EQ(record.Find(name)->text, "admin");
    }
    EXPECT_EQ(record.Find("CZY_D"), nullptr);
    EXPECT_EQ(record.Find("CZY_DMX"), nullptr);
    EXPECT_EQ(record.Find("entry199")->number, 199);
    // Only ASCII letters fold: a Chinese name matches itself only.
    record.Append("企业名称").text = "x";
    EXPECT_NE(record.Find("企业名称"), nullptr);
    fennix::Close();
}

TEST(HostRecords, KeepEachEntrysKind)
{
    priv::HostRecord& record = fennix::Services().GetUserInfoVO();
    int releases = 0;
    auto& text = record.Append("CZY_MC");
    text.text = "张三";
    auto& number = record.Append("ZHDLSJ");
    number.kind = priv::EntryKind::Number;
    number.number = 45356.5;
    auto& borrowed = record.Append("Borrowed");
    borrowed.kind = priv::EntryKind::BorrowedObject;
    borrowed.object = &releases;

    EXPECT_EQ(record.Find("czy_mc")->kind, priv::EntryKind::Text);
    EXPECT_EQ(record.Find("czy_mc")->text, "张三");
    EXPECT_EQ(record.Find("zhdlsj")->kind, priv::EntryKind::Number);
    EXPECT_DOUBLE_EQ(record.Find("zhdlsj")->number, 45356.5);
    EXPECT_EQ(record.Find("borrowed")->object, &releases);
    fennix::Close();
    EXPECT_EQ(releases, 0); // a borrowed object is never the record's to free
}

TEST(HostRecords, CloseReleasesOwnedObjectsOnceAndLeavesEmptyRecords)
{
    int releases = 0;
    int otherReleases = 0;
    for (priv::HostRecord* record :
         {&fennix::Services().GetUserInfoVO(), &fennix::Services().GetCompanyInfoVO()}) {
        auto& owned = record->Append("TPSession");
        owned.kind = priv::EntryKind::OwnedObject;
        owned.object =
            new Tracked{record == &fennix::Services().GetUserInfoVO() ? &releases : &otherReleases};
        owned.release = &ReleaseTracked;
    }
    // An owned entry whose object the module already took away holds nothing.
    auto& emptied = fennix::Services().GetUserInfoVO().Append("Emptied");
    emptied.kind = priv::EntryKind::OwnedObject;
    emptied.release = &ReleaseTracked;

    fennix::Close();
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(otherReleases, 1);
    EXPECT_EQ(fennix::Services().GetUserInfoVO().Find("TPSession"), nullptr);
    fennix::Close();
    EXPECT_EQ(releases, 1);
}

TEST(HostRecords, OpenStartsFreshRecordsAndSetsTheCompany)
{
    int releases = 0;
    {
        priv::test::TestDatabase db(priv::test::Backend::SQLite,
                                    [](fennix::Settings& settings) { settings.companyId = "10086"; });
        ASSERT_TRUE(db.Ok()) << db.Error();
        auto& owned = fennix::Services().GetUserInfoVO().Append("TPSession");
        owned.kind = priv::EntryKind::OwnedObject;
        owned.object = new Tracked{&releases};
        owned.release = &ReleaseTracked;
        priv::RecordEntry* company = fennix::Services().GetCompanyInfoVO().Find("qyid");
        ASSERT_NE(company, nullptr);
        EXPECT_EQ(company->kind, priv::EntryKind::Text);
        EXPECT_EQ(company->text, "10086");

        ASSERT_TRUE(db.Reopen([](fennix::Settings& settings) { settings.companyId = "20001"; }));
        EXPECT_EQ(releases, 1);
        EXPECT_EQ(fennix::Services().GetUserInfoVO().Find("TPSession"), nullptr);
        EXPECT_EQ(fennix::Services().GetCompanyInfoVO().Find("QYID")->text, "20001");
    }
    EXPECT_EQ(releases, 1);
}

} // namespace
