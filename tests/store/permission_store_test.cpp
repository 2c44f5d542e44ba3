#include "store/post_store.h"

#include "boundary/status_display.h"
#include "per_node_load.h"
#include "store_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace priv::test {
namespace {

// The tree in one line: company code ("*" when it grants everything), its
// sub-applications and their functions, e.g. "12(02[F1 F2] 01[])".
std::string Shape(const TAbstractPermit& node)
{
    std::string text;
    for (int i = 0; i < node.Count(); ++i) {
        const TAbstractPermit* child = node.Items(i);
        if (!text.empty())
            text += ' ';
        text += child->GetCode();
        if (child->PermitType() == "10" && child->AllGranted())
            text += '*';
        const bool company = child->PermitType() == "10";
        if ((company && child->Count() > 0) || child->PermitType() == "20") {
            text += company ? '(' : '[';
            text += Shape(*child);
            text += company ? ')' : ']';
        }
    }
    return text;
}

// Every node of the tree, depth first.
void Walk(const TAbstractPermit& node, const std::function<void(const TAbstractPermit&)>& visit)
{
    for (int i = 0; i < node.Count(); ++i) {
        visit(*node.Items(i));
        Walk(*node.Items(i), visit);
    }
}

class RecordingStatus final : public StatusDisplay {
public:
    void ShowStatus(const std::string& text) override { shown.push_back(text); }
    void HideStatus() override { ++hidden; }
    void ShowProgress(int done, int total) override { progress.emplace_back(done, total); }
    std::vector<std::string> shown;
    int hidden = 0;
    std::vector<std::pair<int, int>> progress;
};

// Each reading of the clock a second later than the last: every count a
// long operation reports is shown.
void UseASecondPerReading()
{
    auto now = std::make_shared<StatusProgress::Clock::time_point>();
    SetStatusProgressClock([now] { return *now += std::chrono::seconds(1); });
}

// Counted up company by company to the last one.
void ExpectCountedThrough(const std::vector<std::pair<int, int>>& progress, int total)
{
    ASSERT_EQ(progress.size(), static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i)
        EXPECT_EQ(progress[static_cast<std::size_t>(i)], std::make_pair(i + 1, total));
}

class PermissionStoreTest : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(AddPost(Db(), "GW00001", "出纳"));
        ASSERT_TRUE(AddPost(Db(), "GW00002", "会计"));
        ASSERT_TRUE(AddCompany(Db(), 11, "S11", "甲公司"));
        ASSERT_TRUE(AddCompany(Db(), 12, "S12", "乙公司"));
        ASSERT_TRUE(AddCompany(Db(), 13, "S13", "丙公司"));
        ASSERT_TRUE(AddCompany(Db(), 20, "S20", "代理公司", 10));
    }
    void TearDown() override
    {
        SetStatusDisplay(nullptr);
        SetStatusProgressClock({});
        DatabaseTest::TearDown();
    }

    int Node(const std::string& target, const std::string& name, int parent, const std::string& type,
             int extension = 0)
    {
        return static_cast<int>(AddNode(
            Db(), {.code = target, .name = name, .parent = parent, .type = type, .extension = extension}));
    }
    int Grant(const std::string& post, int companyId)
    {
        return static_cast<int>(GrantCompany(Db(), post, companyId));
    }
    // Company node of `post` with sub-applications, each with functions.
    int GrantWith(const std::string& post, int companyId,
                  const std::vector<std::pair<std::string, std::vector<std::string>>>& apps)
    {
        const int company = Grant(post, companyId);
        for (const auto& [app, functions] : apps) {
            const int appNode = Node(app, "", company, "20");
            for (const std::string& function : functions)
                Node(function, "名" + function, appNode, "30");
        }
        return company;
    }
    std::string Count(const std::string& where)
    {
        return Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE " + where);
    }
    bool WroteAnything()
    {
        return !StatementsContaining("INSERT").empty() || !StatementsContaining("DELETE").empty();
    }
    // Every stored type-20 node hangs under a company node, every type-30
    // node under a type-20 node, and every company node is granted.
    void ExpectTreeWellFormed()
    {
        EXPECT_EQ(
            Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP c WHERE c.PRMS_TYPE='20' AND NOT EXISTS "
                        "(SELECT 1 FROM QX_PRMSMAP p WHERE p.PRMS_DM=c.PARENT_DM AND p.PRMS_TYPE='10')"),
            "0");
        EXPECT_EQ(
            Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP c WHERE c.PRMS_TYPE='30' AND NOT EXISTS "
                        "(SELECT 1 FROM QX_PRMSMAP p WHERE p.PRMS_DM=c.PARENT_DM AND p.PRMS_TYPE='20')"),
            "0");
        EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP c WHERE c.PRMS_TYPE='10' AND NOT EXISTS "
                              "(SELECT 1 FROM QX_ROLEPRMS r WHERE r.PRMS_DM=c.PRMS_DM)"),
                  "0");
    }

    TRolesMgr store;
};

// --- Built-in posts ------------------------------------------------------------------

struct BuiltInCase {
    std::string post;
    std::string functionsOf; // the post whose functions are listed; empty: every function
};

TEST_P(PermissionStoreTest, BuiltInPostsAreMadeFromTheCompaniesAndTheDescriptors)
{
    for (const BuiltInCase& c :
         std::vector<BuiltInCase>{{"0", ""}, {"SYSTEM", "SYSTEM"}, {"BUSINESS", "BUSINESS"}}) {
        SCOPED_TRACE(c.post);
        TRolePermissions permissions;
        permissions.AddCompany(kPermitAdded)->SetCode("stale");
        ASSERT_TRUE(store.LoadPostPermissions(c.post, &permissions));
        EXPECT_EQ(permissions.PostCode(), c.post);
        ASSERT_EQ(permissions.Count(), 3) << "the companies of category 0";
        std::set<std::string> companies;
        for (int i = 0; i < permissions.Count(); ++i) {
            const TCompPermit* company = permissions.Items(i);
            companies.insert(company->CompanyId());
            EXPECT_TRUE(company->AllGranted());
            EXPECT_EQ(company->TaxNumber(), "S" + company->CompanyId());
            ASSERT_EQ(company->Count(), 5);
            for (int a = 0; a < company->Count(); ++a) {
                const TAppPermit* app = company->Items(a);
                const SubAppDescriptor* descriptor = FindSubAppDescriptor(app->SubAppCode());
                ASSERT_NE(descriptor, nullptr);
                EXPECT_EQ(app->ProductCode(), descriptor->product);
                EXPECT_EQ(app->SubAppName(), descriptor->name);
                std::vector<std::string> expected;
                for (const FunctionRecord& function : descriptor->functions)
                    if (c.functionsOf.empty() || function.posts.find(c.functionsOf) != std::string::npos)
                        expected.push_back(function.code + "=" + function.name);
                std::vector<std::string> actual;
                actual.reserve(static_cast<std::size_t>(app->Count()));
                for (int f = 0; f < app->Count(); ++f)
                    actual.push_back(app->Items(f)->FunctionCode() + "=" + app->Items(f)->FunctionName());
                EXPECT_EQ(actual, expected) << app->SubAppCode();
            }
        }
        EXPECT_EQ(companies, (std::set<std::string>{"11", "12", "13"}));
        EXPECT_EQ(Shape(*permissions.Items(0)).substr(0, 3), "02[")
            << "the host's order, the main frame last";
        Walk(permissions, [](const TAbstractPermit& node) {
            EXPECT_EQ(node.PermitCode(), 0);
            EXPECT_EQ(node.ParentCode(), 0);
            EXPECT_EQ(node.PermitState(), kPermitUnchanged);
        });
        // The same function under two companies is one text block, not two.
        EXPECT_EQ(&permissions.Items(0)->Items(0)->Items(0)->GetName(),
                  &permissions.Items(2)->Items(0)->Items(0)->GetName());
    }

    TRolePermissions system;
    ASSERT_TRUE(store.LoadPostPermissions("SYSTEM", &system));
    EXPECT_EQ(Shape(*system.Items(0)).substr(0, 22), "02[02001-01-03-00-00] ")
        << "the only function of 02 that names SYSTEM";
}

TEST_P(PermissionStoreTest, AnAgencyListsOnlyCompaniesOfCategory10)
{
    ASSERT_TRUE(Db().Reopen([](fennix::Settings& settings) { settings.agency = true; }));
    EXPECT_EQ(CompanyListStatement(), "select QYID,QYSBH,QYMC from XT_QYXX where 1=1 and LBDM=10");
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("BUSINESS", &permissions));
    ASSERT_EQ(permissions.Count(), 1);
    EXPECT_EQ(permissions.Items(0)->CompanyId(), "20");
    EXPECT_EQ(permissions.Items(0)->CompanyName(), "代理公司");
}

TEST_P(PermissionStoreTest, APostWithoutItsRowLoadsNothing)
{
    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLES WHERE JS_DM IN ('0', 'GW00001')"));
    for (const char* post : {"0", "GW00001", "GW09999"}) {
        SCOPED_TRACE(post);
        TRolePermissions permissions;
        permissions.AddCompany(kPermitUnchanged)->SetCode("11");
        EXPECT_FALSE(store.LoadPostPermissions(post, &permissions));
        EXPECT_EQ(permissions.PostCode(), post);
        EXPECT_EQ(permissions.Count(), 0);
    }
    EXPECT_FALSE(store.LoadPostPermissions("SYSTEM", nullptr));
}

// --- Stored posts ----------------------------------------------------------------------

TEST_P(PermissionStoreTest, StoredPostsAreReadFromTheTree)
{
    const int whole = Grant("GW00001", 11);
    const int company = GrantWith("GW00001", 12, {{"02", {"F1", "F2"}}, {"99", {"F9"}}, {"01", {}}});
    GrantWith("GW00002", 13, {{"03", {"F3"}}});

    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    std::map<std::string, const TCompPermit*> byId;
    for (int i = 0; i < permissions.Count(); ++i)
        byId[permissions.Items(i)->CompanyId()] = permissions.Items(i);
    ASSERT_EQ(byId.size(), 2u) << "only this post's companies";
    EXPECT_EQ(Shape(*byId["11"]), "");
    EXPECT_TRUE(byId["11"]->AllGranted()) << "no sub-application node: the whole company";
    EXPECT_EQ(byId["11"]->PermitCode(), whole);
    EXPECT_EQ(byId["11"]->CompanyName(), "甲公司");

    const TCompPermit* partial = byId["12"];
    EXPECT_FALSE(partial->AllGranted());
    EXPECT_EQ(partial->PermitCode(), company);
    EXPECT_EQ(partial->ParentCode(), 0);
    EXPECT_EQ(Shape(*partial), "02[F1 F2] 01[]") << "a sub-application the host does not know is skipped";
    const TAppPermit* app = partial->Items(0);
    EXPECT_EQ(app->ParentCode(), company);
    EXPECT_EQ(app->SubAppName(), "增值税申报");
    EXPECT_EQ(app->ProductCode(), "0200");
    EXPECT_EQ(app->Items(1)->FunctionName(), "名F2");
    EXPECT_EQ(app->Items(1)->ParentCode(), app->PermitCode());
    EXPECT_GT(app->Items(1)->PermitCode(), app->PermitCode());
    EXPECT_EQ(Count("DYDM='99'"), "1") << "the unknown sub-application stays in the tables";

    TRolePermissions auditor;
    ASSERT_TRUE(store.LoadPostPermissions("AUDITOR", &auditor))
        << "read from the tables like any created post";
    EXPECT_EQ(auditor.Count(), 0);
}

// Every node with all it carries, depth first, one line each.
std::string Dump(const TAbstractPermit& node, const std::string& indent = std::string())
{
    std::string text;
    for (int i = 0; i < node.Count(); ++i) {
        const TAbstractPermit& child = *node.Items(i);
        text += indent + child.PermitType() + " " + child.GetCode() + " '" + child.GetName() + "' #" +
                std::to_string(child.PermitCode()) + " ^" + std::to_string(child.ParentCode()) + " s" +
                std::to_string(child.PermitState()) + (child.AllGranted() ? " all" : "");
        if (const auto* company = dynamic_cast<const TCompPermit*>(&child))
            text += " " + company->TaxNumber();
        if (const auto* app = dynamic_cast<const TAppPermit*>(&child))
            text += " " + app->ProductCode();
        text += "\n" + Dump(child, indent + "  ");
    }
    return text;
}

// The set statements build node for node the tree that the statements per
// company and sub-application build, odd rows included.
TEST_P(PermissionStoreTest, BothLoadRoadsBuildTheSameTree)
{
    Grant("GW00001", 11);
    const int company =
        GrantWith("GW00001", 12, {{"03", {"F3", "F1"}}, {"02", {"F1", "F2"}}, {"99", {"F9"}}});
    GrantWith("GW00001", 13, {{"02", {}}});
    GrantWith("GW00002", 11, {{"03", {"F3"}}});
    // The same company node granted twice, a grant of a node that is no
    // company, a company node of a company that is gone, and a function
    // hanging directly under a company.
    ASSERT_TRUE(Db().Exec("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES('GW00001', " +
                          std::to_string(company) + ")"));
    const int stray = Node("02", "", 0, "20");
    ASSERT_TRUE(Db().Exec("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES('GW00001', " +
                          std::to_string(stray) + ")"));
    Node("F7", "名F7", stray, "30");
    GrantWith("GW00001", 77, {{"02", {"F1"}}});
    Node("F8", "名F8", company, "30");

    TRolePermissions perNode;
    ASSERT_TRUE(LoadPostPermissionsPerNode(store, "GW00001", &perNode));
    TRolePermissions inSets;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &inSets));
    EXPECT_EQ(perNode.Count(), 4) << Dump(perNode);
    EXPECT_EQ(Dump(inSets), Dump(perNode));
    EXPECT_EQ(inSets.FunctionState("F2"), 1);
    // And a company at a time, as the signed-in operator's session reads it.
    TRolePermissions byCompany;
    ASSERT_TRUE(store.LoadPostCompanies("GW00001", &byCompany));
    for (int i = 0; i < byCompany.Count(); ++i)
        ASSERT_EQ(store.LoadCompanyGrants("GW00001", *byCompany.Items(i)), TRolesMgr::CompanyGrants::Read);
    EXPECT_EQ(Dump(byCompany), Dump(perNode));

    // And the same when nothing is stored for the post.
    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLEPRMS WHERE JS_DM='GW00001'"));
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &inSets));
    EXPECT_EQ(inSets.Count(), 0);
}

struct StoredFailure {
    const char* name;
    std::string fragment;
    int skip;
};

TEST_P(PermissionStoreTest, AStoredLoadThatCannotReadEverythingFailsAndGrantsNothing)
{
    GrantWith("GW00001", 11, {{"02", {"F1"}}, {"03", {"F2", "F3"}}});
    GrantWith("GW00001", 12, {{"02", {"F1"}}});
    // The store's load in sets, and the oracle's per node.
    enum class Road { PerNode, InSets };
    struct RoadFailure : StoredFailure {
        Road road;
    };
    const std::vector<RoadFailure> cases = {
        {{"the companies", "QX_ROLEPRMS t1", 0}, Road::PerNode},
        {{"the sub-applications of the second company", "PRMS_TYPE='20'", 1}, Road::PerNode},
        {{"the functions of the second sub-application", "PRMS_TYPE='30'", 1}, Road::PerNode},
        {{"the companies", "QX_ROLEPRMS t1", 0}, Road::InSets},
        {{"the sub-applications", "PRMS_TYPE='20'", 0}, Road::InSets},
        {{"the functions", "PRMS_TYPE='30'", 0}, Road::InSets},
    };
    for (const RoadFailure& c : cases) {
        SCOPED_TRACE(c.name);
        SCOPED_TRACE(c.road == Road::InSets ? "in sets" : "per node");
        const auto load = [&](TRolePermissions* permissions) {
            return c.road == Road::InSets ? store.LoadPostPermissions("GW00001", permissions)
                                          : LoadPostPermissionsPerNode(store, "GW00001", permissions);
        };
        fennix::FailStatementsContaining(c.fragment, c.skip, 1);
        TRolePermissions permissions;
        EXPECT_FALSE(load(&permissions));
        EXPECT_EQ(permissions.Count(), 0);
        fennix::ClearStatementFailures();
        ASSERT_TRUE(load(&permissions));
        EXPECT_EQ(permissions.Count(), 2);
    }
}

// What one company grants, read after its post's companies: a statement
// that fails, or a company the post no longer holds, leaves the company
// granting nothing rather than everything.
TEST_P(PermissionStoreTest, ACompanysGrantsThatCannotBeReadGrantNothing)
{
    const int company = GrantWith("GW00001", 11, {{"02", {"F1"}}});
    TRolePermissions permissions;
    EXPECT_FALSE(store.LoadPostCompanies("SYSTEM", &permissions)) << "nothing stored for a built-in post";
    ASSERT_TRUE(store.LoadPostCompanies("GW00001", &permissions));
    ASSERT_EQ(permissions.Count(), 1);
    TCompPermit& node = *permissions.Items(0);
    EXPECT_FALSE(node.AllGranted()) << "not read yet";

    for (const StoredFailure& failure : std::vector<StoredFailure>{
             {"the post's hold on the company", "QX_PRMSMAP t3 WHERE", 0},
             {"the sub-applications", "PRMS_TYPE='20'", 0},
             {"the functions", "PRMS_TYPE='30'", 0},
         }) {
        SCOPED_TRACE(failure.name);
        ASSERT_EQ(store.LoadCompanyGrants("GW00001", node), TRolesMgr::CompanyGrants::Read);
        fennix::FailStatementsContaining(failure.fragment, failure.skip, 1);
        EXPECT_EQ(store.LoadCompanyGrants("GW00001", node), TRolesMgr::CompanyGrants::Unreadable);
        fennix::ClearStatementFailures();
        EXPECT_EQ(node.Count(), 0);
        EXPECT_FALSE(node.AllGranted());
    }

    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLEPRMS WHERE PRMS_DM=" + std::to_string(company)));
    EXPECT_EQ(store.LoadCompanyGrants("GW00001", node), TRolesMgr::CompanyGrants::Withdrawn);
    EXPECT_EQ(node.Count(), 0);
    EXPECT_FALSE(node.AllGranted()) << "a company without sub-applications left would look whole";
}

// A load reads in one snapshot of its own and ends it on every way out; in
// a host transaction it reads the transaction's rows and leaves it open.
TEST_P(PermissionStoreTest, ALoadEndsItsReadAndJoinsAnOpenTransaction)
{
    GrantWith("GW00001", 11, {{"02", {"F1"}}});
    std::string message;
    TRolePermissions permissions;
    for (const bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "failed load" : "load");
        if (fail)
            fennix::FailStatementsContaining("PRMS_TYPE='30'", 0, 1);
        EXPECT_EQ(store.LoadPostPermissions("GW00001", &permissions), !fail);
        fennix::ClearStatementFailures();
        ASSERT_TRUE(Host().DBBeginTrans(kMainConnection, message)) << message;
        ASSERT_TRUE(Host().DBRollbackTrans(kMainConnection, message)) << message;
    }

    ASSERT_TRUE(Host().DBBeginTrans(kMainConnection, message)) << message;
    GrantWith("GW00001", 12, {{"03", {"F2", "F3"}}});
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    ASSERT_EQ(permissions.Count(), 2);
    EXPECT_EQ(permissions.Items(1)->Items(0)->Count(), 2);
    ASSERT_TRUE(Host().DBRollbackTrans(kMainConnection, message)) << message;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    EXPECT_EQ(permissions.Count(), 1);
}

TEST_P(PermissionStoreTest, LargeLoadsShowTheStatusWindowAndAlwaysHideIt)
{
    ASSERT_TRUE(Db().Exec("DELETE FROM XT_QYXX"));
    ASSERT_TRUE(
        Db().Exec("INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) WITH RECURSIVE n(i) AS (SELECT 1 UNION "
                  "ALL SELECT i + 1 FROM n WHERE i < 1000) SELECT i, 'S' || i, 'C' || i, 0 FROM n"));
    ASSERT_TRUE(
        Db().Exec("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT CAST(QYID AS "
                  "TEXT), '', 0, '10', QYID FROM XT_QYXX"));
    ASSERT_TRUE(
        Db().Exec("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', PRMS_DM FROM QX_PRMSMAP"));
    RecordingStatus status;
    SetStatusDisplay(&status);
    TRolePermissions permissions;

    ASSERT_TRUE(store.LoadPostPermissions("SYSTEM", &permissions));
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    EXPECT_EQ(permissions.Count(), 1000);
    EXPECT_TRUE(status.shown.empty()) << "1000 companies are not a large load";

    ASSERT_TRUE(
        Db().ExecAll({"INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(1001, 'S', 'C', 0)",
                      "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('1001', '', 0, "
                      "'10', 1001)",
                      "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', MAX(PRMS_DM) FROM "
                      "QX_PRMSMAP"}));
    ASSERT_TRUE(store.LoadPostPermissions("SYSTEM", &permissions));
    EXPECT_EQ(permissions.Count(), 1001);
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    EXPECT_EQ(permissions.Count(), 1001);
    fennix::FailStatementsContaining("PRMS_TYPE='30'", 0, 1);
    EXPECT_FALSE(store.LoadPostPermissions("GW00001", &permissions));
    fennix::FailStatementsContaining("PRMS_TYPE='20'", 500, 1);
    EXPECT_FALSE(LoadPostPermissionsPerNode(store, "GW00001", &permissions));
    EXPECT_EQ(status.shown, (std::vector<std::string>(4, "正在读取用户权限，请稍候 ...")));
    EXPECT_EQ(status.hidden, 4) << "hidden on every way out, the failed loads included";
}

TEST_P(PermissionStoreTest, LongLoadsCountTheCompaniesThrough)
{
    ASSERT_TRUE(Db().Exec("DELETE FROM XT_QYXX"));
    ASSERT_TRUE(
        Db().Exec("INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) WITH RECURSIVE n(i) AS (SELECT 1 UNION "
                  "ALL SELECT i + 1 FROM n WHERE i < 1001) SELECT i, 'S' || i, 'C' || i, 0 FROM n"));
    // Each statement is one literal split over lines; the commas between them
    // are all there.
    // NOLINTBEGIN(bugprone-suspicious-missing-comma)
    ASSERT_TRUE(Db().ExecAll(
        {"INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT CAST(QYID AS TEXT), '', 0, "
         "'10', QYID FROM XT_QYXX",
         "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', PRMS_DM FROM QX_PRMSMAP",
         // Every company but the last with one application of two functions.
         "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT '02', '', PRMS_DM, '20', 0 "
         "FROM QX_PRMSMAP WHERE PRMS_TYPE='10' AND KZDM < 1001",
         "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT 'F1', 'f1', PRMS_DM, '30', 0 "
         "FROM QX_PRMSMAP WHERE PRMS_TYPE='20'",
         "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT 'F2', 'f2', PRMS_DM, '30', 0 "
         "FROM QX_PRMSMAP WHERE PRMS_TYPE='20'"}));
    // NOLINTEND(bugprone-suspicious-missing-comma)
    RecordingStatus status;
    SetStatusDisplay(&status);
    UseASecondPerReading();
    TRolePermissions permissions;

    ASSERT_TRUE(store.LoadPostPermissions("SYSTEM", &permissions));
    ExpectCountedThrough(status.progress, 1001);
    status.progress.clear();
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    ASSERT_EQ(permissions.Count(), 1001);
    EXPECT_EQ(Shape(*permissions.Items(0)), "02[F1 F2]");
    ExpectCountedThrough(status.progress, 1001);

    // A load of a thousand companies shows no status window, and no count.
    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLEPRMS WHERE PRMS_DM=(SELECT MAX(PRMS_DM) FROM QX_ROLEPRMS)"));
    status.progress.clear();
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    EXPECT_EQ(permissions.Count(), 1000);
    EXPECT_TRUE(status.progress.empty());
}

// --- Saving ----------------------------------------------------------------------------

// What the privilege assignment window does for a company: grant it with
// some sub-applications and functions.
TCompPermit* GrantPartly(TRolePermissions& permissions, const std::string& companyId,
                         const std::vector<std::pair<std::string, std::vector<std::string>>>& apps)
{
    TCompPermit* company = permissions.Mark(companyId, true);
    company->SetAllGranted(false);
    for (const auto& [code, functions] : apps) {
        TAppPermit* app = company->Mark(code, true);
        app->SetAllGranted(false);
        for (const std::string& function : functions)
            app->Mark(function, true);
    }
    return company;
}

TEST_P(PermissionStoreTest, ASavedGrantReadsBackAsItWasMarked)
{
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    GrantPartly(permissions, "12", {{"02", {"F1", "F2"}}, {"01", {"F3"}}});
    permissions.Mark("11", true); // the whole company
    std::string message = "untouched";
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(message, "untouched");
    ExpectTreeWellFormed();
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='GW00001'"), "2");
    EXPECT_EQ(Count("PRMS_TYPE='10' AND DYDM='12' AND KZDM=12 AND PARENT_DM=0 AND DYMC=''"), "1");
    EXPECT_EQ(Count("PRMS_TYPE='20' AND KZDM=0"), "2");

    TRolePermissions reloaded;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &reloaded));
    std::map<std::string, std::string> shapes;
    for (int i = 0; i < reloaded.Count(); ++i)
        shapes[reloaded.Items(i)->CompanyId()] =
            Shape(*reloaded.Items(i)) + (reloaded.Items(i)->AllGranted() ? "*" : "");
    EXPECT_EQ(shapes, (std::map<std::string, std::string>{{"11", "*"}, {"12", "02[F1 F2] 01[F3]"}}));
}

// The save tells its caller how far it has come, company by company, on its
// way through unchanged companies as well; a failed save stops counting.
TEST_P(PermissionStoreTest, ASaveCountsThePostsCompaniesThrough)
{
    GrantWith("GW00001", 13, {{"02", {"F1"}}});
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    GrantPartly(permissions, "12", {{"02", {"F1"}}});
    permissions.Mark("11", true);
    std::vector<std::pair<int, int>> progress;
    store.SetSaveProgressHandler([&progress](int done, int total) { progress.emplace_back(done, total); });
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));

    progress.clear();
    permissions.Mark("11", false);
    fennix::FailStatementsContaining("DELETE FROM QX_PRMSMAP WHERE PRMS_DM=", 0, 1);
    EXPECT_FALSE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
}

// A parent's new children go to the database in one statement, each with
// the code of its own row handed back: no read-back per node, and right
// also for two children of one code (which go in two statements).
TEST_P(PermissionStoreTest, ASaveWritesTheNewChildrenOfAParentTogether)
{
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    TCompPermit* company = GrantPartly(permissions, "12", {{"02", {"F1", "F2", "F3"}}, {"01", {"F4"}}});
    TAppFuncPermit* twin = company->Items(0)->AddFunction(kPermitAdded);
    twin->SetCode("F2");
    twin->SetName("另一个F2");
    fennix::ClearExecutedStatements();
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;

    std::vector<std::string> inserts;
    for (const std::string& sql : fennix::ExecutedStatements()) {
        EXPECT_EQ(sql.find("order by PRMS_DM desc"), std::string::npos) << sql;
        if (sql.rfind("INSERT INTO QX_PRMSMAP", 0) == 0)
            inserts.push_back(sql);
    }
    // The company, its applications, F1-F3 of 02, the second F2, F4 of 01.
    EXPECT_EQ(inserts.size(), 5u);
    const std::function<void(const TAbstractPermit&)> expectOwnRows = [&](const TAbstractPermit& parent) {
        for (int i = 0; i < parent.Count(); ++i) {
            const TAbstractPermit& node = *parent.Items(i);
            EXPECT_EQ(
                Db().Scalar("SELECT DYDM || '|' || DYMC || '|' || PARENT_DM FROM QX_PRMSMAP WHERE PRMS_DM=" +
                            std::to_string(node.PermitCode())),
                node.GetCode() + "|" + node.GetName() + "|" + std::to_string(parent.PermitCode()));
            expectOwnRows(node);
        }
    };
    expectOwnRows(permissions);
    EXPECT_EQ(Count("PRMS_TYPE='30'"), "5");
    ExpectTreeWellFormed();
}

TEST_P(PermissionStoreTest, ASecondSaveOfTheSameObjectWritesNothing)
{
    const int stored = GrantWith("GW00001", 13, {{"02", {"F1", "F2"}}});
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    GrantPartly(permissions, "12", {{"02", {"F1"}}});
    TCompPermit* company13 = permissions.FindCompany("13");
    company13->Items(0)->Mark("F2", false);
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));

    // The tree now is what the tables hold.
    Walk(permissions, [](const TAbstractPermit& node) {
        EXPECT_EQ(node.PermitState(), kPermitUnchanged) << node.GetCode();
        EXPECT_GT(node.PermitCode(), 0) << node.GetCode();
    });
    EXPECT_EQ(Shape(*company13), "02[F1]") << "the removed function left the tree";
    const TCompPermit* company12 = permissions.FindCompany("12");
    EXPECT_EQ(company12->Items(0)->ParentCode(), company12->PermitCode());
    EXPECT_EQ(company13->PermitCode(), stored);

    fennix::ClearExecutedStatements();
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_FALSE(WroteAnything());
    EXPECT_EQ(Count("PRMS_TYPE='10'"), "2");
    EXPECT_EQ(Count("PRMS_TYPE='30'"), "2");

    // Marks after the save act on the saved codes.
    permissions.Mark("12", false);
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(permissions.FindCompany("12"), nullptr);
    EXPECT_EQ(Count("DYDM='12'"), "0");
    ExpectTreeWellFormed();
}

TEST_P(PermissionStoreTest, AGrantTakenBackBeforeSavingIsNotSaved)
{
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    GrantPartly(permissions, "12", {{"02", {"F1"}}});
    permissions.FindCompany("12")->Items(0)->Mark("F1", false);
    permissions.Mark("11", true);
    permissions.Mark("11", false);
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(Count("1=1"), "2") << "company 12 and its sub-application, no function, nothing of 11";
    EXPECT_EQ(Count("DYDM='F1'"), "0");
}

TEST_P(PermissionStoreTest, RemovingACompanyTakesItsWholeSubtree)
{
    GrantWith("GW00001", 11, {{"02", {"F1", "F2", "F3"}}, {"03", {}}, {"05", {"F4"}}});
    const int kept = GrantWith("GW00001", 12, {{"02", {"F1"}}});
    const int other = GrantWith("GW00002", 11, {{"02", {"F1", "F2"}}});
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    permissions.Mark("11", false);
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(Count("1=1"), "7") << "company 12 (3 nodes) and the other post's company 11 (4 nodes)";
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='GW00001'"), "1");
    EXPECT_EQ(Count("PRMS_DM=" + std::to_string(kept)), "1");
    EXPECT_EQ(Count("PARENT_DM=" + std::to_string(other)), "1");
    ExpectTreeWellFormed();

    // RemovePermission by itself: grant row, descendants (depth first), node.
    fennix::ClearExecutedStatements();
    ASSERT_TRUE(store.RemovePermission("GW00002", std::to_string(other)));
    const std::string app = std::to_string(other + 1);
    EXPECT_EQ(fennix::ExecutedStatements(),
              (std::vector<std::string>{
                  "DELETE FROM QX_ROLEPRMS WHERE JS_DM='GW00002' AND PRMS_DM=" + std::to_string(other),
                  "SELECT PRMS_DM FROM QX_PRMSMAP WHERE PARENT_DM=" + std::to_string(other),
                  "SELECT PRMS_DM FROM QX_PRMSMAP WHERE PARENT_DM=" + app,
                  "SELECT PRMS_DM FROM QX_PRMSMAP WHERE PARENT_DM=" + std::to_string(other + 2),
                  "SELECT PRMS_DM FROM QX_PRMSMAP WHERE PARENT_DM=" + std::to_string(other + 3),
                  "DELETE FROM QX_PRMSMAP WHERE PARENT_DM=" + app,
                  "DELETE FROM QX_PRMSMAP WHERE PARENT_DM=" + std::to_string(other),
                  "DELETE FROM QX_PRMSMAP WHERE PRMS_DM=" + std::to_string(other)}));
    EXPECT_EQ(Count("1=1"), "3");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='GW00002'"), "0");
}

TEST_P(PermissionStoreTest, GrantingAWholeStoredCompanyDeletesWhatWasBeneathIt)
{
    GrantWith("GW00001", 11, {{"02", {"F1", "F2"}}, {"03", {"F3"}}});
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    permissions.Items(0)->SetAllGranted(true);
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(Count("1=1"), "1");
    EXPECT_EQ(permissions.Items(0)->Count(), 0) << "the tree holds what the tables hold";

    // Marking sub-applications again after that adds them anew.
    permissions.Items(0)->SetAllGranted(false);
    permissions.Items(0)->Mark("02", true)->Mark("F1", true);
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(Count("1=1"), "3");
    ExpectTreeWellFormed();
}

TEST_P(PermissionStoreTest, AFailureDeepDownRollsEverythingBackWithANestedMessage)
{
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    permissions.Mark("11", true); // saved before the failing company
    TCompPermit* company = GrantPartly(permissions, "12", {{"02", {}}});
    TAppFuncPermit* function = company->Items(0)->Mark("02001-01-04-00-00", true);
    function->SetName("网上申报");

    fennix::FailStatementsContaining("INSERT INTO QX_PRMSMAP", 3, 1); // 11, 12, 02 pass; the function fails
    std::string message;
    EXPECT_FALSE(store.SavePostPermissions(&permissions, message));
    fennix::ClearStatementFailures();
    EXPECT_EQ(
        message,
        "权限分配失败：保存[权限分配失败：保存[权限分配失败：保存[网上申报]信息出错。]信息出错。]信息出错。");
    EXPECT_EQ(Count("1=1"), "0");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS"), "0");
    // The tree is as it was: the user can save again.
    Walk(permissions, [](const TAbstractPermit& node) {
        EXPECT_EQ(node.PermitState(), kPermitAdded);
        EXPECT_EQ(node.PermitCode(), 0);
    });

    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(Count("1=1"), "4");
    EXPECT_EQ(Count("DYMC='网上申报' AND PRMS_TYPE='30'"), "1");
    ExpectTreeWellFormed();
}

struct SaveFailure {
    const char* name;
    std::string fragment;
    int skip;
    std::string message;
};

TEST_P(PermissionStoreTest, FailedStepsFailTheSaveAndNameTheNode)
{
    const std::vector<SaveFailure> cases = {
        {"the node cannot be written", "INSERT INTO QX_PRMSMAP", 0, "权限分配失败：保存[11]信息出错。"},
        {"an application cannot be written", "INSERT INTO QX_PRMSMAP", 1,
         "权限分配失败：保存[权限分配失败：保存[02]信息出错。]信息出错。"},
        {"the grant row cannot be written", "INSERT INTO QX_ROLEPRMS", 0, "权限分配失败：保存[11]信息出错。"},
        {"the commit fails", "COMMIT", 0, ""},
        {"no transaction", "BEGIN", 0, ""},
        {"the post lock cannot be taken", "UPDATE QX_ROLES", 0, ""},
        // The database's own words, not an empty message.
        {"the database cannot answer", "SELECT JS_DM FROM QX_ROLES", 0,
         "权限分配失败：模拟的数据库故障：语句含有“SELECT JS_DM FROM QX_ROLES”，未执行。"},
    };
    for (const SaveFailure& c : cases) {
        SCOPED_TRACE(c.name);
        TRolePermissions permissions;
        ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
        GrantPartly(permissions, "11", {{"02", {"F1"}}});
        fennix::FailStatementsContaining(c.fragment, c.skip, 1);
        std::string message;
        EXPECT_FALSE(store.SavePostPermissions(&permissions, message));
        fennix::ClearStatementFailures();
        if (!c.message.empty()) {
            EXPECT_EQ(message, c.message);
        } else {
            // A failure outside the nodes gives the database's reason.
            EXPECT_EQ(message.rfind("权限分配失败：", 0), 0u) << message;
            EXPECT_NE(message.find("模拟的数据库故障"), std::string::npos) << message;
        }
        EXPECT_EQ(Count("1=1"), "0");
        EXPECT_EQ(permissions.Items(0)->PermitCode(), 0);
        EXPECT_EQ(permissions.Items(0)->PermitState(), kPermitAdded);
    }
}

TEST_P(PermissionStoreTest, SavingAPostDeletedMeanwhileWritesNothing)
{
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    GrantPartly(permissions, "11", {{"02", {"F1"}}});
    ASSERT_TRUE(Db().Exec("DELETE FROM QX_ROLES WHERE JS_DM='GW00001'"));
    fennix::ClearExecutedStatements();
    std::string message = "before";
    EXPECT_FALSE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(message, "before");
    EXPECT_FALSE(WroteAnything());
    EXPECT_TRUE(StatementsContaining("BEGIN").empty());
    EXPECT_FALSE(store.SavePostPermissions(nullptr, message));
    TRolePermissions nameless;
    EXPECT_FALSE(store.SavePostPermissions(&nameless, message));
}

TEST_P(PermissionStoreTest, SavingABuiltInTreeNeverTouchesOtherPostsGrants)
{
    GrantWith("GW00001", 11, {{"02", {"F1"}}});
    GrantWith("GW00002", 12, {});
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("SYSTEM", &permissions));
    permissions.Mark("13", false); // removed, never stored: code 0
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message));
    EXPECT_EQ(Count("1=1"), "4");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS"), "2");
    EXPECT_EQ(permissions.Count(), 2) << "the removed company left the tree";
    EXPECT_EQ(permissions.Items(0)->Count(), 5) << "a built-in company keeps its sub-applications";
}

// --- Single nodes ----------------------------------------------------------------------

TEST_P(PermissionStoreTest, AddPermissionWritesTheNodeAndAGrantForCompanies)
{
    std::string code = "stale";
    fennix::ClearExecutedStatements();
    ASSERT_TRUE(store.AddPermission("GW00001", "11", "O'Neil", "11", "0", "10", code));
    EXPECT_EQ(
        fennix::ExecutedStatements(),
        (std::vector<std::string>{
            "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('11','O''Neil',0,'10',11)",
            "SELECT PRMS_DM FROM QX_PRMSMAP WHERE DYDM='11' order by PRMS_DM desc",
            "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES('GW00001'," + code + ")"}));
    ASSERT_TRUE(Db().Exec("UPDATE QX_PRMSMAP SET DYMC='11'"));
    EXPECT_EQ(Db().Scalar("SELECT PRMS_DM FROM QX_ROLEPRMS WHERE JS_DM='GW00001'"), code);
    EXPECT_EQ(Count("PRMS_DM=" + code + " AND DYMC='11' AND KZDM=11"), "1");

    std::string app;
    ASSERT_TRUE(store.AddPermission("GW00001", "02", "", "", code, "20", app));
    EXPECT_EQ(Count("PRMS_DM=" + app + " AND PARENT_DM=" + code + " AND KZDM=0"), "1");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS"), "1") << "only company nodes are granted";

    std::string parentless;
    ASSERT_TRUE(store.AddPermission("GW00001", "F1", "", "", "", "30", parentless));
    EXPECT_EQ(Count("PRMS_DM=" + parentless + " AND PARENT_DM=0"), "1") << "an empty parent is written as 0";

    fennix::ClearExecutedStatements();
    for (const char* bad : {"1; DELETE FROM QX_PRMSMAP", "x", "1 OR 1=1"}) {
        std::string none = "stale";
        EXPECT_FALSE(store.AddPermission("GW00001", "F", "", bad, "0", "30", none));
        EXPECT_TRUE(none.empty());
        EXPECT_FALSE(store.AddPermission("GW00001", "F", "", "0", bad, "30", none));
        EXPECT_FALSE(store.RemovePermission("GW00001", bad));
        TextList codes;
        EXPECT_FALSE(store.GetChildPermissionCodes(bad, codes));
    }
    EXPECT_TRUE(fennix::ExecutedStatements().empty()) << "a number that is none never reaches a statement";
}

TEST_P(PermissionStoreTest, AddPermissionFailsWhenTheNewCodeCannotBeFound)
{
    fennix::FailStatementsContaining("order by PRMS_DM desc", 0, 1);
    std::string code = "stale";
    EXPECT_FALSE(store.AddPermission("GW00001", "11", "", "11", "0", "10", code));
    EXPECT_EQ(code, "");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS"), "0") << "no grant of node 0";
}

TEST_P(PermissionStoreTest, CodesOfChildrenAndNewNodes)
{
    EXPECT_EQ(store.FindNewPermissionCode("nothing"), "");
    fennix::FailStatementsContaining("order by");
    EXPECT_EQ(store.FindNewPermissionCode("nothing"), "0");
    fennix::ClearStatementFailures();
    const int company = GrantWith("GW00001", 11, {{"02", {}}, {"03", {}}});
    Node("02", "", 0, "20");
    EXPECT_EQ(store.FindNewPermissionCode("02"), Db().Scalar("SELECT MAX(PRMS_DM) FROM QX_PRMSMAP"));

    TextList codes{"stale"};
    EXPECT_TRUE(store.GetChildPermissionCodes(std::to_string(company), codes));
    EXPECT_EQ(codes.size(), 2u);
    EXPECT_FALSE(store.GetChildPermissionCodes("999999", codes));
    EXPECT_TRUE(codes.empty()) << "the statement ran: the list is cleared";
    codes = {"kept"};
    fennix::FailStatementsContaining("PARENT_DM=");
    EXPECT_FALSE(store.GetChildPermissionCodes(std::to_string(company), codes));
    EXPECT_EQ(codes, TextList{"kept"});
}

TEST_P(PermissionStoreTest, DeletingChildrenStaysWithinTheNode)
{
    const int company = GrantWith("GW00001", 11, {{"02", {"F1", "F2"}}});
    GrantWith("GW00002", 12, {{"02", {"F1"}}});
    EXPECT_TRUE(store.DeletePermissionChildren("0"))
        << "0 is no node: the companies of every post hang there";
    EXPECT_EQ(Count("1=1"), "7");
    // A damaged tree whose node is its own parent ends too.
    const int loop = Node("L", "", 0, "20");
    ASSERT_TRUE(Db().Exec("UPDATE QX_PRMSMAP SET PARENT_DM=PRMS_DM WHERE PRMS_DM=" + std::to_string(loop)));
    EXPECT_TRUE(store.DeletePermissionChildren(std::to_string(loop)));
    EXPECT_EQ(Count("PRMS_DM=" + std::to_string(loop)), "0");

    EXPECT_TRUE(store.DeletePermissionChildren(std::to_string(company)));
    EXPECT_EQ(Count("1=1"), "4");
    EXPECT_EQ(Count("PRMS_DM=" + std::to_string(company)), "1");
}

TEST_P(PermissionStoreTest, HostileTextIsStoredAndFoundUnchanged)
{
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    TAppPermit* app = GrantPartly(permissions, "11", {{"02", {}}})->Items(0);
    for (const std::string& text : HostileTexts())
        app->Mark(text, true)->SetName(text);
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;

    TRolePermissions reloaded;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &reloaded));
    const TAppPermit* read = reloaded.Items(0)->Items(0);
    std::multiset<std::string> expected, codes, names;
    for (const std::string& text : HostileTexts())
        expected.insert(text);
    for (int i = 0; i < read->Count(); ++i) {
        codes.insert(read->Items(i)->FunctionCode());
        names.insert(read->Items(i)->FunctionName());
    }
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(names, expected);
    for (const std::string& text : HostileTexts())
        EXPECT_EQ(store.FindNewPermissionCode(text).empty(), false) << text;
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZY"), "0") << "the operator table is still there";
}

INSTANTIATE_TEST_SUITE_P(Backends, PermissionStoreTest, ::testing::ValuesIn(AvailableBackends()),
                         BackendName);

} // namespace
} // namespace priv::test
