// Two workstations save grants of the same company for two different posts
// at the same time, on one shared database. A new node's code is read back as
// the greatest code with the same DYDM, so a node that the other workstation
// inserts and commits in between must stay invisible; otherwise children end
// up under the other post's nodes. Each workstation is a process of its own
// (the module's host binding is process-wide): this test binary started again
// with "--saver".
#include "store/post_store.h"

#include "store_fixture.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace priv::test {
namespace {

constexpr int kSavesPerWorkstation = 21; // odd: each post ends up holding its grant

// The same company, sub-applications and functions for both posts; every
// node's name says whose it is.
void GrantTagged(TRolePermissions& permissions, const std::string& companyId)
{
    const std::string tag = permissions.PostCode() + ":";
    TCompPermit* company = permissions.Mark(companyId, true);
    company->SetAllGranted(false);
    company->SetName(tag + companyId);
    for (const auto& [appCode, functions] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"02", {"F1", "F2", "F3"}}, {"03", {"F4"}}}) {
        TAppPermit* app = company->Mark(appCode, true);
        app->SetAllGranted(false);
        app->SetName(tag + appCode);
        for (const std::string& code : functions)
            app->Mark(code, true)->SetName(tag + code);
    }
}

// Opens the host of a workstation process from its arguments
// "URL APPS_FILE APP_DIR" (argv[2] to argv[4]) and binds the module to it.
bool OpenWorkstationHost(char** argv, const std::string& who)
{
    fennix::Settings settings;
    settings.databaseUrl = argv[2];
    settings.appsFile = argv[3];
    settings.appDir = argv[4];
    std::string error;
    if (!fennix::Open(settings, error)) {
        std::cerr << who << ": " << error << "\n";
        return false;
    }
    BindHost(&fennix::Services());
    return true;
}

// argv: --saver URL APPS_FILE APP_DIR POST COMPANY
int RunSaver(int argc, char** argv)
{
    if (argc != 7) {
        std::cerr << "saver: wrong arguments\n";
        return 2;
    }
    QCoreApplication application(argc, argv);
    const std::string post = argv[5];
    const std::string companyId = argv[6];
    if (!OpenWorkstationHost(argv, "saver " + post))
        return 3;
    TRolesMgr store;
    int result = 0;
    for (int i = 0; i < kSavesPerWorkstation && result == 0; ++i) {
        TRolePermissions permissions;
        if (!store.LoadPostPermissions(post, &permissions)) {
            std::cerr << "saver " << post << ": load " << i << " failed\n";
            result = 4;
            break;
        }
        if (permissions.FindCompany(companyId))
            permissions.Mark(companyId, false);
        else
            GrantTagged(permissions, companyId);
        std::string message;
        if (!store.SavePostPermissions(&permissions, message)) {
            std::cerr << "saver " << post << ": save " << i << " failed: " << message << "\n";
            result = 5;
        }
    }
    BindHost(nullptr);
    fennix::Close();
    return result;
}

// The post's companies left without any application node: each of them
// grants the whole company. Run outside any transaction, so that it reads
// what is committed.
std::string BareCompaniesStatement(const std::string& post)
{
    return "SELECT COUNT(*) AS BARE FROM QX_ROLEPRMS r, QX_PRMSMAP c WHERE c.PRMS_DM=r.PRMS_DM AND "
           "c.PRMS_TYPE='10' "
           "AND r.JS_DM='" +
           post +
           "' AND NOT EXISTS (SELECT 1 FROM QX_PRMSMAP a WHERE a.PARENT_DM=c.PRMS_DM AND a.PRMS_TYPE='20')";
}

constexpr int kRandomSavesPerWorkstation = 40;
const std::vector<std::string> kRandomApps = {"02", "03", "04", "05"};
const std::vector<std::string> kRandomFunctions = {"F1", "F2", "F3"};

// One partial change that keeps, as this workstation sees the post, every
// company partly granted: an application withdrawn only while another one
// stays, an application granted with one function, a function granted or
// withdrawn. Nobody grants a company whole.
void RandomPartialChange(TRolePermissions& permissions, std::mt19937& random)
{
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    if (permissions.Count() == 0)
        return;
    TCompPermit* company =
        permissions.Items(static_cast<int>(pick(static_cast<std::size_t>(permissions.Count()))));
    if (company->AllGranted())
        return;
    // Mostly withdrawals and grants of applications, so that the companies
    // hover around two applications, where two withdrawals meet.
    switch (pick(5)) {
    case 0:
    case 1:
        if (company->Count() > 1)
            company->Mark(
                company->Items(static_cast<int>(pick(static_cast<std::size_t>(company->Count()))))->GetCode(),
                false);
        break;
    case 2:
    case 3:
        if (TAppPermit* app = company->Mark(kRandomApps[pick(kRandomApps.size())], true)) {
            app->SetAllGranted(false);
            app->Mark(kRandomFunctions[pick(kRandomFunctions.size())], true);
        }
        break;
    default:
        if (company->Count() > 0) {
            TAppPermit* app =
                company->Items(static_cast<int>(pick(static_cast<std::size_t>(company->Count()))));
            app->Mark(kRandomFunctions[pick(kRandomFunctions.size())], pick(2) == 0);
        }
        break;
    }
}

// argv: --random-saver URL APPS_FILE APP_DIR POST WORKSTATION
// Each workstation number gives its own, repeatable run of changes.
int RunRandomSaver(int argc, char** argv)
{
    if (argc != 7) {
        std::cerr << "random saver: wrong arguments\n";
        return 2;
    }
    QCoreApplication application(argc, argv);
    const std::string post = argv[5];
    std::mt19937 random(static_cast<std::mt19937::result_type>(std::stoul(argv[6])));
    if (!OpenWorkstationHost(argv, "random saver"))
        return 3;
    TRolesMgr store;
    int result = 0;
    int saved = 0;
    for (int i = 0; i < kRandomSavesPerWorkstation && result == 0; ++i) {
        TRolePermissions permissions;
        // A load or save that meets another workstation's lock or a change
        // made meanwhile is refused: the next round starts afresh.
        if (!store.LoadPostPermissions(post, &permissions))
            continue;
        RandomPartialChange(permissions, random);
        // The administrator looks at the page a moment before saving, while
        // the others save.
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
        std::string message;
        if (!store.SavePostPermissions(&permissions, message))
            continue;
        ++saved;
        QueryResult rows;
        std::string error;
        if (!fennix::RunStatement(kMainConnection, BareCompaniesStatement(post), &rows, error)) {
            std::cerr << "random saver: " << error << "\n";
            result = 4;
        } else if (rows.AsString("BARE") != "0") {
            std::cerr << "random saver: after save " << i << " a company is granted whole\n";
            result = 5;
        }
    }
    std::cout << "random saver " << argv[6] << ": " << saved << " saves committed\n";
    // A workstation that never got a save through checked nothing.
    if (result == 0 && saved == 0)
        result = 6;
    BindHost(nullptr);
    fennix::Close();
    return result;
}

pid_t StartSaver(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

class ConcurrentSaveTest : public DatabaseTest {};

TEST_P(ConcurrentSaveTest, TwoWorkstationsNeverHangNodesUnderEachOther)
{
    ASSERT_TRUE(
        Db().ExecAll({"INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')",
                      "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00002', '会计')",
                      "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(11, 'S11', '甲公司', 0)"}));
    std::vector<pid_t> savers;
    for (const char* post : {"GW00001", "GW00002"}) {
        savers.push_back(StartSaver({"test_store_concurrency", "--saver", Db().Url(),
                                     Db().Settings().appsFile, Db().AppDir(), post, "11"}));
        ASSERT_GT(savers.back(), 0);
    }
    for (const pid_t pid : savers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "every save of both workstations succeeded";
    }

    for (const std::string& post : {std::string("GW00001"), std::string("GW00002")}) {
        SCOPED_TRACE(post);
        const std::string mine = "LIKE '" + post + ":%'";
        EXPECT_EQ(
            Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP c WHERE c.PRMS_TYPE='20' AND c.DYMC " + mine +
                        " AND NOT EXISTS (SELECT 1 FROM QX_PRMSMAP p, QX_ROLEPRMS r WHERE "
                        "p.PRMS_DM=c.PARENT_DM AND p.PRMS_TYPE='10' AND r.PRMS_DM=p.PRMS_DM AND r.JS_DM='" +
                        post + "')"),
            "0")
            << "every sub-application hangs under a company node of its own post";
        EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP c WHERE c.PRMS_TYPE='30' AND c.DYMC " + mine +
                              " AND NOT EXISTS (SELECT 1 FROM QX_PRMSMAP p WHERE p.PRMS_DM=c.PARENT_DM AND "
                              "p.PRMS_TYPE='20' AND p.DYMC " +
                              mine + ")"),
                  "0")
            << "every function hangs under a sub-application node of its own post";
        EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE DYMC " + mine), "7")
            << "the last grant is all that is left: company, 2 sub-applications, 4 functions";
        EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='" + post + "'"), "1");

        TRolesMgr store;
        TRolePermissions permissions;
        ASSERT_TRUE(store.LoadPostPermissions(post, &permissions));
        ASSERT_EQ(permissions.Count(), 1);
        EXPECT_EQ(permissions.Items(0)->Count(), 2);
    }
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE PARENT_DM=0 AND PRMS_TYPE<>'10'"), "0");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP"), "14");
}

// Several workstations save random partial changes to the same partly
// granted company of one post. After each commit, the committed tables
// must hold no company node without applications: nobody granted one whole.
TEST_P(ConcurrentSaveTest, ManyWorkstationsSavingPartialChangesNeverGrantACompanyWhole)
{
    ASSERT_TRUE(
        Db().ExecAll({"INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')",
                      "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(11, 'S11', '甲公司', 0)"}));
    {
        TRolesMgr store;
        TRolePermissions permissions;
        ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
        TCompPermit* company = permissions.Mark("11", true);
        company->SetAllGranted(false);
        for (const char* appCode : {"02", "03"}) {
            TAppPermit* app = company->Mark(appCode, true);
            app->SetAllGranted(false);
            app->Mark("F1", true);
        }
        std::string message;
        ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
    }
    std::vector<pid_t> savers;
    for (const char* workstation : {"1", "2", "3", "4"}) {
        savers.push_back(StartSaver({"test_store_concurrency", "--random-saver", Db().Url(),
                                     Db().Settings().appsFile, Db().AppDir(), "GW00001", workstation}));
        ASSERT_GT(savers.back(), 0);
    }
    for (const pid_t pid : savers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "no commit left a company granted whole";
    }
    EXPECT_EQ(Db().Scalar(BareCompaniesStatement("GW00001")), "0");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS WHERE JS_DM='GW00001'"), "1");
}

// Two workstations in one test, stepped in a fixed order: the second one
// acts at an exact statement of the first one's save (through the host's
// statement hook) or between its load and its save.
class TwoWorkstationsTest : public DatabaseTest {
protected:
    // SQLite: a second writer gives up quickly instead of waiting 10 s.
    void AdjustSettings(fennix::Settings& settings) override { settings.busyTimeoutMs = 300; }

    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(
            Db().ExecAll({"INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')",
                          "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00002', '会计')",
                          "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(11, 'S11', '甲公司', 0)",
                          "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(12, 'S12', '乙公司', 0)"}));
    }
    void TearDown() override
    {
        fennix::SetStatementHook(nullptr);
        DatabaseTest::TearDown();
    }

    // Every stored node as "type:code<parent code", and every grant row.
    std::vector<std::string> StoredTree()
    {
        std::vector<std::string> rows;
        QueryResult nodes = Db().Query(
            "SELECT c.PRMS_TYPE, c.DYDM, p.DYDM AS PARENT FROM QX_PRMSMAP c LEFT JOIN QX_PRMSMAP p ON "
            "p.PRMS_DM=c.PARENT_DM ORDER BY c.PRMS_TYPE, c.DYDM, p.DYDM");
        for (; !nodes.Eof(); nodes.Next())
            rows.push_back(nodes.AsString("PRMS_TYPE") + ":" + nodes.AsString("DYDM") + "<" +
                           nodes.AsString("PARENT"));
        QueryResult grants = Db().Query("SELECT r.JS_DM, m.DYDM FROM QX_ROLEPRMS r, QX_PRMSMAP m WHERE "
                                        "m.PRMS_DM=r.PRMS_DM ORDER BY 1, 2");
        for (; !grants.Eof(); grants.Next())
            rows.push_back("grant:" + grants.AsString("JS_DM") + ":" + grants.AsString("DYDM"));
        return rows;
    }

    // Company 11 with sub-application 02 (and the others given) each holding
    // function F1. Withdrawing 02 leaves 05, so that the company stays partly
    // granted.
    void GrantBase(const std::string& post, const std::vector<std::string>& apps = {"02", "05"})
    {
        TRolesMgr store;
        TRolePermissions permissions;
        ASSERT_TRUE(store.LoadPostPermissions(post, &permissions));
        TCompPermit* company = permissions.Mark("11", true);
        company->SetAllGranted(false);
        for (const std::string& code : apps) {
            TAppPermit* app = company->Mark(code, true);
            app->SetAllGranted(false);
            app->Mark("F1", true);
        }
        std::string message;
        ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
    }
};

TAppPermit* SubApp02(TRolePermissions& permissions)
{
    TCompPermit* company = permissions.FindCompany("11");
    TAppPermit* app = company ? company->Mark("02", true) : nullptr;
    if (app)
        app->SetAllGranted(false);
    return app;
}

struct StaleChange {
    const char* what;
    std::function<void(TRolePermissions&)> first;  // saved first, by the other workstation
    std::function<void(TRolePermissions&)> second; // saved afterwards, on a tree loaded before
    const char* named;                             // the node the refusal names
};

TEST_P(TwoWorkstationsTest, ASaveNeverRepeatsWhatAnotherWorkstationChangedMeanwhile)
{
    auto grantCompany12 = [](TRolePermissions& p) { p.Mark("12", true); };
    auto withdrawCompany11 = [](TRolePermissions& p) { p.Mark("11", false); };
    auto grantSubApp03 = [](TRolePermissions& p) { p.FindCompany("11")->Mark("03", true); };
    auto withdrawSubApp02 = [](TRolePermissions& p) { p.FindCompany("11")->Mark("02", false); };
    auto grantFunctionF2 = [](TRolePermissions& p) { SubApp02(p)->Mark("F2", true); };
    auto withdrawFunctionF1 = [](TRolePermissions& p) { SubApp02(p)->Mark("F1", false); };
    const StaleChange cases[] = {
        {"the same company granted twice", grantCompany12, grantCompany12, "12"},
        {"the same company withdrawn twice", withdrawCompany11, withdrawCompany11, "甲公司"},
        {"the same sub-application granted twice", grantSubApp03, grantSubApp03, "03"},
        {"the same sub-application withdrawn twice", withdrawSubApp02, withdrawSubApp02, "增值税申报"},
        {"the same function granted twice", grantFunctionF2, grantFunctionF2, "F2"},
        {"the same function withdrawn twice", withdrawFunctionF1, withdrawFunctionF1, "F1"},
        {"a function granted beneath a withdrawn sub-application", withdrawSubApp02, grantFunctionF2,
         "增值税申报"},
        {"a sub-application granted beneath a withdrawn company", withdrawCompany11, grantSubApp03, "甲公司"},
    };
    for (const StaleChange& change : cases) {
        SCOPED_TRACE(change.what);
        ASSERT_TRUE(Db().ExecAll({"DELETE FROM QX_ROLEPRMS", "DELETE FROM QX_PRMSMAP"}));
        GrantBase("GW00001");
        TRolesMgr here, there;
        TRolePermissions mine, theirs;
        ASSERT_TRUE(here.LoadPostPermissions("GW00001", &mine));
        ASSERT_TRUE(there.LoadPostPermissions("GW00001", &theirs));
        change.first(theirs);
        change.second(mine);
        std::string message;
        ASSERT_TRUE(there.SavePostPermissions(&theirs, message)) << message;
        const std::vector<std::string> stored = StoredTree();

        message.clear();
        EXPECT_FALSE(here.SavePostPermissions(&mine, message));
        EXPECT_TRUE(here.LastSaveConflicted());
        EXPECT_NE(message.find(std::string("[") + change.named + "]"), std::string::npos) << message;
        EXPECT_NE(message.find("其他工作站"), std::string::npos) << message;
        EXPECT_EQ(StoredTree(), stored) << "the refused save wrote nothing";
    }
}

// Company 11 holds exactly the applications 02 and 03. Each workstation
// withdraws one of them from a tree read before the other saved: whichever
// saves second would leave the company node without applications, and such
// a node grants the whole company.
TEST_P(TwoWorkstationsTest, TwoPartialWithdrawalsNeverGrantTheWholeCompany)
{
    struct Interleaving {
        const char* what;
        // The statement of our save after which the other workstation
        // withdraws 03 on its own connection; none: it saves through its
        // store before ours begins.
        const char* ourStatement;
        // Whether the other one gets through; if not, it saves its stale
        // tree once our save has committed.
        bool otherGetsThrough;
    };
    const Interleaving cases[] = {
        {"the other saved before our save began", nullptr, true},
        {"the other commits while our save reads the post's row", "SELECT JS_DM FROM QX_ROLES", true},
        {"the other tries while our save holds the post and saves after it", "DELETE FROM QX_ROLEPRMS",
         false},
    };
    const auto applications = [this] {
        std::vector<std::string> codes;
        QueryResult rows =
            Db().Query("SELECT a.DYDM FROM QX_PRMSMAP a, QX_PRMSMAP c WHERE a.PARENT_DM=c.PRMS_DM "
                       "AND a.PRMS_TYPE='20' AND c.PRMS_TYPE='10' AND c.KZDM=11 ORDER BY 1");
        for (; !rows.Eof(); rows.Next())
            codes.push_back(rows.AsString("DYDM"));
        return codes;
    };
    for (const Interleaving& interleaving : cases) {
        SCOPED_TRACE(interleaving.what);
        ASSERT_TRUE(Db().ExecAll({"DELETE FROM QX_ROLEPRMS", "DELETE FROM QX_PRMSMAP"}));
        GrantBase("GW00001", {"02", "03"});
        ASSERT_EQ(applications(), (std::vector<std::string>{"02", "03"}));

        TRolesMgr here, there;
        TRolePermissions mine, theirs;
        ASSERT_TRUE(here.LoadPostPermissions("GW00001", &mine));
        ASSERT_TRUE(there.LoadPostPermissions("GW00001", &theirs));
        mine.FindCompany("11")->Mark("02", false);
        theirs.FindCompany("11")->Mark("03", false);

        auto other = Db().OpenSecondConnection("OtherWorkstation");
        ASSERT_TRUE(other->Ok());
        if (Db().IsPostgres()) {
            ASSERT_TRUE(other->Exec("SET lock_timeout = '300ms'"));
        }
        bool stepped = false;
        bool otherWrote = false;
        std::string otherMessage;
        // As the other workstation's save would: the post's row locked, then
        // application 03 with its function deleted.
        const auto otherWithdraws03 = [&] {
            std::string ignored;
            otherWrote = other->Begin(&otherMessage);
            for (const char* sql : {"UPDATE QX_ROLES SET JS_MC=JS_MC WHERE JS_DM='GW00001'",
                                    "DELETE FROM QX_PRMSMAP WHERE PARENT_DM IN (SELECT PRMS_DM FROM "
                                    "QX_PRMSMAP WHERE PRMS_TYPE='20' "
                                    "AND DYDM='03')",
                                    "DELETE FROM QX_PRMSMAP WHERE PRMS_TYPE='20' AND DYDM='03'"})
                otherWrote = otherWrote && fennix::RunStatement(other->Name(), sql, nullptr, otherMessage);
            otherWrote = otherWrote && other->Commit(&otherMessage);
            if (!otherWrote)
                other->Rollback(&ignored);
        };
        std::string message;
        if (interleaving.ourStatement) {
            fennix::SetStatementHook([&](const std::string& sql) {
                if (stepped || sql.find(interleaving.ourStatement) == std::string::npos)
                    return;
                stepped = true;
                otherWithdraws03();
            });
        } else {
            ASSERT_TRUE(there.SavePostPermissions(&theirs, message)) << message;
            otherWrote = true;
        }
        message.clear();
        const bool ours = here.SavePostPermissions(&mine, message);
        fennix::SetStatementHook(nullptr);
        EXPECT_EQ(stepped, interleaving.ourStatement != nullptr);
        ASSERT_EQ(otherWrote, interleaving.otherGetsThrough) << otherMessage;

        TRolesMgr* refused = &here;
        if (interleaving.otherGetsThrough) {
            EXPECT_FALSE(ours);
            EXPECT_EQ(applications(), std::vector<std::string>{"02"}) << "the refused save wrote nothing";
        } else {
            EXPECT_TRUE(ours) << message;
            message.clear();
            EXPECT_FALSE(there.SavePostPermissions(&theirs, message));
            EXPECT_EQ(applications(), std::vector<std::string>{"03"}) << "the refused save wrote nothing";
            refused = &there;
        }
        EXPECT_TRUE(refused->LastSaveConflicted()) << "the window reads the post afresh";
        EXPECT_EQ(message, "权限分配失败：[甲公司]的其他应用已在其他工作站上撤销，保存后该单位将被整体授予，"
                           "请重新打开该岗位的权限后再保存。");
        TRolePermissions now;
        ASSERT_TRUE(TRolesMgr().LoadPostPermissions("GW00001", &now));
        ASSERT_NE(now.FindCompany("11"), nullptr);
        EXPECT_FALSE(now.FindCompany("11")->AllGranted());
    }
}

// Only a save that means it grants a company whole.
TEST_P(TwoWorkstationsTest, ACompanyIsGrantedWholeOnlyByASaveThatSaysSo)
{
    GrantBase("GW00001", {"02"});
    TRolesMgr store;
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    TCompPermit* company = permissions.FindCompany("11");
    ASSERT_EQ(company->Count(), 1);

    // Withdrawing the only application of a company kept partly granted.
    company->Mark("02", false);
    std::string message;
    EXPECT_FALSE(store.SavePostPermissions(&permissions, message));
    EXPECT_FALSE(store.LastSaveConflicted()) << "no other workstation is involved";
    EXPECT_EQ(
        message,
        "权限分配失败：[甲公司]已没有任何应用，保存后该单位将被整体授予；请撤销该单位或勾选其应用后再保存。");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE PRMS_TYPE='20'"), "1");

    // The same company granted whole on purpose.
    company->SetAllGranted(true);
    message.clear();
    EXPECT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP WHERE PRMS_TYPE<>'10'"), "0");
}

TEST_P(TwoWorkstationsTest, AGrantThatCannotBeSavedAsAWholeIsNoConflict)
{
    // A real failure keeps its own message and is not taken for a conflict.
    TRolesMgr store;
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    permissions.Mark("11", true);
    fennix::FailStatementsContaining("INSERT INTO QX_ROLEPRMS");
    std::string message;
    EXPECT_FALSE(store.SavePostPermissions(&permissions, message));
    EXPECT_FALSE(store.LastSaveConflicted());
    EXPECT_EQ(message, "权限分配失败：保存[11]信息出错。");
}

TEST_P(TwoWorkstationsTest, WhileOneSaveRunsNoOtherWorkstationWritesThatPost)
{
    auto other = Db().OpenSecondConnection("OtherWorkstation");
    ASSERT_TRUE(other->Ok());
    if (Db().IsPostgres()) {
        ASSERT_TRUE(other->Exec("SET lock_timeout = '300ms'"));
    }
    std::string otherMessage;
    bool otherLocked = true;
    bool stepped = false;
    fennix::SetStatementHook([&](const std::string& sql) {
        // Once the save writes its first node, it holds the post.
        if (stepped || sql.find("INSERT INTO QX_PRMSMAP") == std::string::npos)
            return;
        stepped = true;
        otherLocked = other->Begin(&otherMessage);
        if (otherLocked) {
            std::string error;
            otherLocked =
                fennix::RunStatement(other->Name(), "UPDATE QX_ROLES SET JS_MC=JS_MC WHERE JS_DM='GW00001'",
                                     nullptr, otherMessage);
            other->Rollback(&error);
        }
    });

    TRolesMgr store;
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    permissions.Mark("11", true);
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
    fennix::SetStatementHook(nullptr);
    ASSERT_TRUE(stepped);
    EXPECT_FALSE(otherLocked) << "the other workstation wrote the post in the middle of the save";
    EXPECT_NE(otherMessage.find(Db().IsPostgres() ? "lock" : "locked"), std::string::npos) << otherMessage;

    // Once the save has ended the post is free again.
    ASSERT_TRUE(other->Begin(&otherMessage)) << otherMessage;
    EXPECT_TRUE(other->Exec("UPDATE QX_ROLES SET JS_MC=JS_MC WHERE JS_DM='GW00001'"));
    EXPECT_TRUE(other->Commit(&otherMessage)) << otherMessage;
}

TEST_P(TwoWorkstationsTest, ASaveWithNothingToWriteWritesNothingAndNeverWaitsForThePost)
{
    // A partly granted company and a whole one, both stored.
    GrantBase("GW00001");
    {
        TRolesMgr store;
        TRolePermissions permissions;
        ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
        permissions.Mark("12", true);
        std::string message;
        ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
    }
    const std::vector<std::string> stored = StoredTree();

    // On PostgreSQL another workstation is saving the post right now; the
    // save must not wait for it. (SQLite's transaction takes the whole file
    // as it begins, so there the save could not even start.)
    std::unique_ptr<SecondConnection> other;
    std::string otherMessage;
    if (Db().IsPostgres()) {
        other = Db().OpenSecondConnection("OtherWorkstation");
        ASSERT_TRUE(other->Ok());
        ASSERT_TRUE(other->Begin(&otherMessage)) << otherMessage;
        ASSERT_TRUE(other->Exec("UPDATE QX_ROLES SET JS_MC=JS_MC WHERE JS_DM='GW00001'"));
        ASSERT_TRUE(Db().Exec("SET lock_timeout = '300ms'"));
    }

    TRolesMgr store;
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    fennix::ClearExecutedStatements();
    std::string message;
    EXPECT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
    for (const char* verb : {"INSERT", "UPDATE", "DELETE"})
        EXPECT_EQ(StatementsContaining(verb), std::vector<std::string>{}) << verb;
    if (other) {
        EXPECT_TRUE(other->Rollback(&otherMessage)) << otherMessage;
    }
    EXPECT_EQ(StoredTree(), stored);
}

TEST_P(TwoWorkstationsTest, ANodeAnotherWorkstationAddsMeanwhileNeverBecomesOurParent)
{
    // The other workstation grants the same company to another post between
    // our insert of the company node and our read-back of its code. Its node
    // is younger and carries the greater code; reading it back would hang
    // our sub-applications under the other post's company.
    auto other = Db().OpenSecondConnection("OtherWorkstation");
    ASSERT_TRUE(other->Ok());
    bool stepped = false;
    bool otherWrote = false;
    std::string otherMessage;
    fennix::SetStatementHook([&](const std::string& sql) {
        if (stepped || sql.find("INSERT INTO QX_PRMSMAP") == std::string::npos)
            return;
        stepped = true;
        std::string ignored;
        otherWrote = other->Begin(&otherMessage) &&
                     fennix::RunStatement(other->Name(),
                                          "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) "
                                          "VALUES('11','GW00002:11',0,'10',11)",
                                          nullptr, otherMessage) &&
                     other->Commit(&otherMessage);
        if (!otherWrote)
            other->Rollback(&ignored);
    });

    TRolesMgr store;
    TRolePermissions permissions;
    ASSERT_TRUE(store.LoadPostPermissions("GW00001", &permissions));
    TCompPermit* company = permissions.Mark("11", true);
    company->SetName("甲公司");
    company->SetAllGranted(false);
    company->Mark("02", true);
    std::string message;
    ASSERT_TRUE(store.SavePostPermissions(&permissions, message)) << message;
    fennix::SetStatementHook(nullptr);
    ASSERT_TRUE(stepped);
    // PostgreSQL lets the other insert through; SQLite's writer waits for us.
    EXPECT_EQ(otherWrote, Db().IsPostgres()) << otherMessage;

    EXPECT_EQ(Db().Scalar("SELECT m.DYMC FROM QX_ROLEPRMS r, QX_PRMSMAP m WHERE m.PRMS_DM=r.PRMS_DM AND "
                          "r.JS_DM='GW00001'"),
              "甲公司")
        << "the post's grant row names its own company node";
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_PRMSMAP a, QX_PRMSMAP c, QX_ROLEPRMS r WHERE "
                          "a.PRMS_TYPE='20' AND c.PRMS_DM=a.PARENT_DM AND r.PRMS_DM=c.PRMS_DM AND "
                          "r.JS_DM='GW00001'"),
              "1")
        << "the sub-application hangs under the company node of its own post";
}

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrentSaveTest, ::testing::ValuesIn(AvailableBackends()), BackendName);
INSTANTIATE_TEST_SUITE_P(Backends, TwoWorkstationsTest, ::testing::ValuesIn(AvailableBackends()),
                         BackendName);

} // namespace
} // namespace priv::test

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--saver")
        return priv::test::RunSaver(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--random-saver")
        return priv::test::RunRandomSaver(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
