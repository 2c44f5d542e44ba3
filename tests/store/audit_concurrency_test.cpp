// Two workstations record at the same time on one database and the log stays
// one chain. Workstation A's change is stopped at its own statement, inside
// its transaction and before its record (the host's statement hook), while
// workstation B, a process of its own (the module's host binding is
// process-wide: this test binary started again with "--workstation"), makes
// a recorded change of its own. B must wait for A's chain head and then
// append after A's row; had B appended first, A would read a stale chain end
// and its record would fail (or fork the chain).
#include "store/audit_reader.h"
#include "store/audit_record.h"
#include "store/audited_changes.h"

#include "support/database_fixture.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace priv::test {
namespace {

// argv: --workstation URL APP_DIR DEPARTMENT READY_FILE
int RunWorkstation(int argc, char** argv)
{
    if (argc != 6) {
        std::cerr << "workstation: wrong arguments\n";
        return 2;
    }
    QCoreApplication application(argc, argv);
    fennix::Settings settings;
    settings.databaseUrl = argv[2];
    settings.appDir = argv[3];
    std::string error;
    if (!fennix::Open(settings, error)) {
        std::cerr << "workstation: " << error << "\n";
        return 3;
    }
    BindHost(&fennix::Services());
    // Tells workstation A that B is about to begin.
    std::ofstream(argv[5]) << "ready\n";
    TDepartmentMgr departments;
    const bool added = audit::AddDepartment(departments, {argv[4], "乙工作站的部门"});
    if (!added)
        std::cerr << "workstation: " << audit::TakeRecordFailure().value_or("the change failed") << "\n";
    BindHost(nullptr);
    fennix::Close();
    return added ? 0 : 4;
}

pid_t StartWorkstation(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

class ConcurrentRecordTest : public DatabaseTest {};

TEST_P(ConcurrentRecordTest, TwoWorkstationsAppendToOneChain)
{
    // The chain has a head already: the common case.
    audit::RecordAlone({audit::kInit, audit::kObjectDatabase, "", "起点"});
    ASSERT_EQ(Db().Scalar("SELECT COUNT(*) FROM QX_CZRZLT"), "1");

    std::unique_ptr<SecondConnection> watcher;
    if (Db().IsPostgres()) {
        watcher = Db().OpenSecondConnection("watcher");
        ASSERT_TRUE(watcher && watcher->Ok());
    }
    const std::string ready = Db().AppDir() + "/workstation-b.ready";
    pid_t other = -1;
    bool otherDone = false;
    int otherStatus = 0;
    bool otherWaited = false;
    fennix::SetStatementHook([&](const std::string& sql) {
        if (other != -1 || sql.find("INSERT INTO XT_BMXX(") == std::string::npos)
            return;
        other =
            StartWorkstation({"/proc/self/exe", "--workstation", Db().Url(), Db().AppDir(), "D20", ready});
        ASSERT_GT(other, 0);
        // Until B is ready to begin, and on PostgreSQL until it waits for
        // A's lock or is done (without waiting, B would have gone first).
        for (int i = 0; i < 3000 && !otherDone; ++i) {
            if (waitpid(other, &otherStatus, WNOHANG) == other) {
                otherDone = true;
                break;
            }
            if (std::filesystem::exists(ready)) {
                if (!watcher)
                    break;
                if (watcher
                        ->Query("SELECT COUNT(*) AS N FROM pg_stat_activity WHERE datname=current_database() "
                                "AND wait_event_type='Lock'")
                        .AsString("N") != "0") {
                    otherWaited = true;
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    TDepartmentMgr departments;
    const bool mine = audit::AddDepartment(departments, {"D10", "甲工作站的部门"});
    fennix::SetStatementHook({});
    ASSERT_GT(other, 0);
    if (!otherDone) {
        ASSERT_EQ(waitpid(other, &otherStatus, 0), other);
    }
    EXPECT_TRUE(mine) << audit::TakeRecordFailure().value_or("");
    ASSERT_TRUE(WIFEXITED(otherStatus));
    EXPECT_EQ(WEXITSTATUS(otherStatus), 0) << "workstation B's change and record went through";
    if (Db().IsPostgres()) {
        EXPECT_TRUE(otherWaited) << "B waited for A's chain head";
    }

    // One chain: A's row, then B's, and the head at B's.
    const audit::ChainCheck check = audit::VerifyChain();
    EXPECT_EQ(check.finding, audit::ChainCheck::Finding::Intact) << check.text;
    EXPECT_EQ(check.rowsRead, 3);
    EXPECT_EQ(Db().Scalar("SELECT DXDM FROM QX_CZRZ WHERE XH=2"), "D10");
    EXPECT_EQ(Db().Scalar("SELECT DXDM FROM QX_CZRZ WHERE XH=3"), "D20");
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM XT_BMXX WHERE BM_DM IN ('D10', 'D20')"), "2");
}

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrentRecordTest, ::testing::ValuesIn(AvailableBackends()),
                         BackendName);

} // namespace
} // namespace priv::test

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--workstation")
        return priv::test::RunWorkstation(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
