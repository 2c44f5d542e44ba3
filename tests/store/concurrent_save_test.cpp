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

#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
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

// argv: --saver URL APPS_FILE APP_DIR POST COMPANY
int RunSaver(int argc, char** argv)
{
    if (argc != 7) {
        std::cerr << "saver: wrong arguments\n";
        return 2;
    }
    QCoreApplication application(argc, argv);
    fennix::Settings settings;
    settings.databaseUrl = argv[2];
    settings.appsFile = argv[3];
    settings.appDir = argv[4];
    const std::string post = argv[5];
    const std::string companyId = argv[6];
    std::string error;
    if (!fennix::Open(settings, error)) {
        std::cerr << "saver " << post << ": " << error << "\n";
        return 3;
    }
    BindHost(&fennix::Services());
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

pid_t StartSaver(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
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

    for (const std::string post : {"GW00001", "GW00002"}) {
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

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrentSaveTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--saver")
        return priv::test::RunSaver(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
