// The database connection when the server or another workstation gets in the
// way: a PostgreSQL server restarted under a running host, and a lock held by
// another connection.
#include "support/database_fixture.h"

#include "cipher/crypt.h"
#include "fennix/fennix.h"
#include "privilege/privilege.h"
#include "quillet/quillet.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

using priv::kMainConnection;
using priv::test::Backend;

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> ReadLines(const std::string& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool AnyLineHas(const std::vector<std::string>& lines, const std::string& part)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return Contains(line, part); });
}

// A PostgreSQL cluster of this test alone, so that restarting it disturbs no
// other test: created in a temporary folder, listening on a Unix socket
// there, run as "postgres" when the test runs as root (the server refuses
// root).
class PrivateServer {
public:
    // Empty when the server runs; otherwise why it could not be started.
    std::string Start()
    {
        const QStringList versions =
            QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QString newest;
        for (const QString& version : versions)
            if (QFileInfo::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/pg_ctl").arg(version)) &&
                (newest.isEmpty() || version.toInt() > newest.toInt()))
                newest = version;
        if (newest.isEmpty())
            return "no PostgreSQL server binaries under /usr/lib/postgresql";
        bin_ = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(newest);
        char pattern[] = "/tmp/priv-pg-private.XXXXXX";
        if (!mkdtemp(pattern))
            return "cannot create a temporary folder";
        dir_ = pattern;
        if (geteuid() == 0) {
            const passwd* user = getpwnam("postgres");
            if (!user)
                return "running as root without a postgres user to run the server as";
            if (chown(dir_.c_str(), user->pw_uid, user->pw_gid) != 0)
                return "cannot hand the temporary folder to postgres";
        }
        std::string output;
        if (!Tool("initdb", {"-D", Data(), "-A", "trust", "-U", "postgres", "-E", "UTF8", "--no-sync"},
                  output))
            return "initdb failed: " + output;
        const QString options =
            QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' -c fsync=off")
                .arg(QString::fromStdString(dir_));
        if (!Tool("pg_ctl", {"-D", Data(), "-l", Log(), "-w", "-o", options, "start"}, output))
            return "the server did not start: " + output;
        running_ = true;
        return {};
    }

    ~PrivateServer()
    {
        std::string ignored;
        if (running_)
            Tool("pg_ctl", {"-D", Data(), "-m", "immediate", "-w", "stop"}, ignored);
        if (!dir_.empty())
            QDir(QString::fromStdString(dir_)).removeRecursively();
    }

    ::testing::AssertionResult Restart()
    {
        std::string output;
        if (Tool("pg_ctl", {"-D", Data(), "-l", Log(), "-m", "fast", "-w", "restart"}, output))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "pg_ctl restart failed: " << output;
    }

    std::string Url() const { return "postgresql://postgres@/postgres?host=" + dir_; }

private:
    QString Data() const { return QString::fromStdString(dir_ + "/data"); }
    QString Log() const { return QString::fromStdString(dir_ + "/server.log"); }

    bool Tool(const char* tool, const QStringList& arguments, std::string& output) const
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString program = bin_ + QLatin1String(tool);
        if (geteuid() == 0)
            process.start(
                QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} +
                    arguments);
        else
            process.start(program, arguments);
        const bool finished = process.waitForFinished(120000);
        output = process.readAll().toStdString();
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QString bin_;
    std::string dir_;
    bool running_ = false;
};

bool PostgresRequired()
{
    const char* required = std::getenv("PRIV_REQUIRE_PG");
    return required && std::string(required) == "1";
}

// The host opened on the private server's database with the privilege
// tables and the super administrator, as a workstation runs it.
class ServerRestartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string why = server_.Start();
        if (!why.empty()) {
            if (PostgresRequired())
                FAIL() << "PRIV_REQUIRE_PG=1 but no private PostgreSQL server: " << why;
            GTEST_SKIP() << "no private PostgreSQL server to restart: " << why;
        }
        ASSERT_TRUE(folder_.isValid());
        settings_.databaseUrl = server_.Url();
        settings_.appDir = folder_.path().toStdString();
        settings_.appsFile = std::string(PRIV_SOURCE_DIR) + "/host/app/apps.json";
        std::string error;
        ASSERT_TRUE(fennix::Open(settings_, error)) << error;
        ASSERT_TRUE(fennix::ApplySqlScript(std::string(PRIV_SOURCE_DIR) + "/db/schema-postgresql.sql", error))
            << error;
        ASSERT_TRUE(
            Run("INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ) VALUES('admin', '超级管理员', '" +
                priv::EncryptPassword("x") + "', '0', 'Y')"));
        ASSERT_TRUE(Run("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('admin', '0')"));
        priv::BindHost(&fennix::Services());
    }

    void TearDown() override
    {
        fennix::Close();
        priv::BindHost(nullptr);
        quillet::SetLogFolder(std::string());
    }

    bool Run(const std::string& sql, std::string* message = nullptr)
    {
        priv::QueryResult query;
        std::string text;
        const bool ok = fennix::Services().ExecADOQueryMsg(kMainConnection, sql, query, text, false);
        if (message)
            *message = text;
        return ok;
    }

    std::string Scalar(const std::string& sql)
    {
        priv::QueryResult query;
        std::string message;
        if (!fennix::Services().ExecADOQueryMsg(kMainConnection, sql, query, message, true) || query.Eof())
            return "failed: " + message;
        return query.AsString(query.Columns().front());
    }

    std::vector<std::string> LogLines() const { return ReadLines(settings_.appDir + "/Log/privilege.log"); }

    PrivateServer server_;
    QTemporaryDir folder_;
    fennix::Settings settings_;
};

TEST_F(ServerRestartTest, TheNextCallAfterARestartReconnectsAndRuns)
{
    // The module as a host loads it: a sign-in before the restart, the
    // user's information after it.
    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using BooleanExport = PrivBool (*)(int32_t, char**);
    auto signIn = reinterpret_cast<BooleanExport>(dlsym(module, "LoadLoginForm"));
    auto userInfo = reinterpret_cast<BooleanExport>(dlsym(module, "InitGlobalUserInfo"));
    ASSERT_TRUE(signIn && userInfo);
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    char* argv[1] = {buffer.data()};
    std::strcpy(buffer.data(), "pamCZY_DM=admin;pamPWD=x");
    ASSERT_TRUE(signIn(1, argv));

    ASSERT_TRUE(server_.Restart());
    std::strcpy(buffer.data(), "CZY_DM=admin");
    EXPECT_TRUE(userInfo(1, argv)) << "the call after the restart runs on a new connection";
    EXPECT_TRUE(AnyLineHas(LogLines(), "已重新连接")) << "each reconnection is logged";

    // A write outside a transaction is run again as well.
    ASSERT_TRUE(server_.Restart());
    std::string message;
    EXPECT_TRUE(Run("UPDATE QX_CZY SET CZY_MC='管理员' WHERE CZY_DM='admin'", &message)) << message;
    EXPECT_EQ(Scalar("SELECT CZY_MC FROM QX_CZY WHERE CZY_DM='admin'"), "管理员");
    fennix::Close();
    dlclose(module);
}

TEST_F(ServerRestartTest, ATransactionCutByARestartFailsWholeAndTheNextOneWorks)
{
    priv::Host& host = fennix::Services();
    std::string message;
    ASSERT_TRUE(host.DBBeginTrans(kMainConnection, message)) << message;
    ASSERT_TRUE(Run("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D1', '一部')"));
    ASSERT_TRUE(server_.Restart());

    // Not run again on a new connection: it would commit without the first.
    EXPECT_FALSE(Run("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D2', '二部')", &message));
    EXPECT_TRUE(Contains(message, "事务已失败")) << message;
    EXPECT_FALSE(Run("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D3', '三部')", &message));
    EXPECT_FALSE(host.DBCommitTrans(kMainConnection, message));
    EXPECT_TRUE(Contains(message, "事务已失败")) << message;
    EXPECT_FALSE(host.DBInTransaction(kMainConnection));

    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM XT_BMXX"), "0") << "nothing of the cut transaction is kept";
    ASSERT_TRUE(host.DBBeginTrans(kMainConnection, message)) << message;
    ASSERT_TRUE(Run("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D2', '二部')"));
    ASSERT_TRUE(host.DBCommitTrans(kMainConnection, message)) << message;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM XT_BMXX"), "1");
    EXPECT_TRUE(AnyLineHas(LogLines(), "事务已失败"));
}

TEST_F(ServerRestartTest, ARollbackAfterTheServerLeftSucceedsAndReconnects)
{
    priv::Host& host = fennix::Services();
    std::string message;
    ASSERT_TRUE(host.DBBeginTrans(kMainConnection, message)) << message;
    ASSERT_TRUE(Run("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D1', '一部')"));
    ASSERT_TRUE(server_.Restart());
    EXPECT_FALSE(Run("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D2', '二部')"));
    EXPECT_TRUE(host.DBRollbackTrans(kMainConnection, message)) << message;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM XT_BMXX"), "0");
}

// A server that goes away in the middle of a bulk load: the load fails as
// a statement of the transaction does, the transaction with it, and the
// next transaction runs on a new connection.
TEST_F(ServerRestartTest, ABulkLoadCutByARestartFailsWholeAndTheNextOneWorks)
{
    priv::Host& host = fennix::Services();
    std::string message;
    ASSERT_TRUE(host.DBBeginTrans(kMainConnection, message)) << message;
    int given = 0;
    bool restarted = false;
    const fennix::CopyRowSource next = [&](fennix::CopyRow& row) {
        if (given == 20000)
            return false;
        const std::string code = "D" + std::to_string(++given);
        row.Text("0");
        row.Text(code);
        row.Text("部门" + code);
        return true;
    };
    const fennix::CopyProgress progress = [&](std::size_t sent) {
        if (sent == 1000)
            restarted = server_.Restart();
    };
    EXPECT_FALSE(fennix::CopyRows(kMainConnection, "XT_BMXX", {"QYID", "BM_DM", "BM_MC"}, next, 1000,
                                  progress, message));
    ASSERT_TRUE(restarted);
    EXPECT_TRUE(Contains(message, "事务已失败")) << message;
    EXPECT_FALSE(host.DBCommitTrans(kMainConnection, message));
    EXPECT_TRUE(Contains(message, "事务已失败")) << message;
    EXPECT_FALSE(host.DBInTransaction(kMainConnection));
    EXPECT_TRUE(AnyLineHas(LogLines(), "COPY XT_BMXX")) << "the host's log names the failed load";

    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM XT_BMXX"), "0") << "nothing of the cut load is kept";
    ASSERT_TRUE(host.DBBeginTrans(kMainConnection, message)) << message;
    ASSERT_TRUE(Run("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D2', '二部')"));
    ASSERT_TRUE(host.DBCommitTrans(kMainConnection, message)) << message;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM XT_BMXX"), "1");
}

// A lock another workstation holds: the statement gives up after the host's
// limit and says that it waited for a lock.
class LockWaitTest : public priv::test::DatabaseTest {
protected:
    void AdjustSettings(fennix::Settings& settings) override
    {
        // The host's own setting, as an administrator writes it.
        QDir().mkpath(QString::fromStdString(settings.appDir + "/Config"));
        std::ofstream(settings.appDir + "/Config/System.ini") << "[Database]\nLockTimeout=0.4\n";
        settings.busyTimeoutMs = -1;
    }
};

TEST_P(LockWaitTest, AHeldLockEndsTheWaitWithAMessageThatSaysSo)
{
    EXPECT_EQ(fennix::CurrentSettings().busyTimeoutMs, 400) << "read from Config/System.ini";
    auto other = Db().OpenSecondConnection("OtherWorkstation");
    ASSERT_TRUE(other->Ok());
    std::string message;
    ASSERT_TRUE(other->Begin(&message)) << message;
    if (Db().IsPostgres())
        ASSERT_TRUE(other->Exec("LOCK TABLE QX_CZY IN ACCESS EXCLUSIVE MODE"));
    else
        ASSERT_TRUE(other->Exec("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D9', '九部')"));

    priv::QueryResult query;
    bool ran = Host().ExecADOQueryMsg(kMainConnection, "SELECT CZY_DM FROM QX_CZY", query, message, true);
    if (!Db().IsPostgres()) {
        // SQLite readers are not held up by a writer; the next writer is.
        EXPECT_TRUE(ran) << message;
        ran = Host().DBBeginTrans(kMainConnection, message);
    }
    EXPECT_FALSE(ran);
    EXPECT_TRUE(Contains(message, Db().IsPostgres() ? "lock timeout" : "database is locked")) << message;
    EXPECT_TRUE(Contains(message, "等待其他连接持有的数据库锁超过 0.4 秒")) << message;
    const std::vector<std::string> log = Db().LogLines();
    EXPECT_TRUE(AnyLineHas(log, "等待其他连接持有的数据库锁")) << "the host's log names the wait";
    ASSERT_TRUE(other->Rollback(&message)) << message;

    // Once the lock is gone the same work runs.
    if (Db().IsPostgres()) {
        EXPECT_TRUE(
            Host().ExecADOQueryMsg(kMainConnection, "SELECT CZY_DM FROM QX_CZY", query, message, true))
            << message;
    } else {
        ASSERT_TRUE(Host().DBBeginTrans(kMainConnection, message)) << message;
        EXPECT_TRUE(Host().DBRollbackTrans(kMainConnection, message)) << message;
    }
}

// A bulk load waits for a table's lock as a statement does, and says so.
TEST_P(LockWaitTest, ABulkLoadIntoALockedTableEndsTheWaitWithTheMessage)
{
    if (!Db().IsPostgres())
        GTEST_SKIP() << "bulk loading is PostgreSQL's";
    auto other = Db().OpenSecondConnection("OtherWorkstation");
    ASSERT_TRUE(other->Ok());
    std::string message;
    ASSERT_TRUE(other->Begin(&message)) << message;
    ASSERT_TRUE(other->Exec("LOCK TABLE XT_BMXX IN ACCESS EXCLUSIVE MODE"));

    ASSERT_TRUE(Host().DBBeginTrans(kMainConnection, message)) << message;
    bool given = false;
    const fennix::CopyRowSource one = [&](fennix::CopyRow& row) {
        if (given)
            return false;
        given = true;
        row.Text("0");
        row.Text("D1");
        row.Text("一部");
        return true;
    };
    EXPECT_FALSE(
        fennix::CopyRows(kMainConnection, "XT_BMXX", {"QYID", "BM_DM", "BM_MC"}, one, 500, {}, message));
    EXPECT_TRUE(Contains(message, "等待其他连接持有的数据库锁超过 0.4 秒")) << message;
    EXPECT_FALSE(Host().DBCommitTrans(kMainConnection, message));
    ASSERT_TRUE(other->Rollback(&message)) << message;
    EXPECT_EQ(Db().Scalar("SELECT COUNT(*) FROM XT_BMXX"), "0");
}

TEST_P(LockWaitTest, ASettingThatIsNoNumberFallsBackToTheDefault)
{
    std::ofstream(Db().AppDir() + "/Config/System.ini") << "[Database]\nLockTimeout=soon\n";
    ASSERT_TRUE(Db().Reopen({}));
    EXPECT_EQ(fennix::CurrentSettings().busyTimeoutMs, fennix::kDefaultLockTimeoutMs);
    EXPECT_TRUE(AnyLineHas(Db().LogLines(), "LockTimeout=soon"));
}

// A SQLite file damaged under a signed-in operator: the filter, which reads
// a company's grants when first asked, answers its failure message, and the
// host's log keeps the database's reason.
class DamagedFileTest : public priv::test::DatabaseTest {
protected:
    void AdjustSettings(fennix::Settings& settings) override { settings.companyId = "1001"; }
};

TEST_P(DamagedFileTest, TheFilterAnswersItsMessageAndTheLogNamesTheCause)
{
    ASSERT_TRUE(Db().ExecAll({
        "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(1001, 'S1', '甲公司', 0)",
        "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '会计')",
        "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('1001', '', 0, '10', 1001)",
        "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', MAX(PRMS_DM) FROM QX_PRMSMAP",
        "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ) VALUES('zm', '赵敏', '" +
            priv::EncryptPassword("pw") + "', '', 'Y')",
        "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('zm', 'GW00001')",
    }));
    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using BooleanExport = PrivBool (*)(int32_t, char**);
    auto userInfo = reinterpret_cast<BooleanExport>(dlsym(module, "InitGlobalUserInfo"));
    auto filter = reinterpret_cast<BooleanExport>(dlsym(module, "FilterUserAuthrz"));
    ASSERT_TRUE(userInfo && filter);
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    char* argv[1] = {buffer.data()};
    std::strcpy(buffer.data(), "CZY_DM=zm");
    ASSERT_TRUE(userInfo(1, argv));

    // The file's header overwritten while the host runs.
    const std::string file = Db().Url().substr(std::string("sqlite:").size());
    {
        std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(out.is_open());
        const std::string garbage(100, '\x5A');
        out.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    std::strcpy(buffer.data(), "authedProdcList=02001");
    EXPECT_FALSE(filter(1, argv));
    const std::string answer = buffer.data();
    EXPECT_EQ(answer.rfind("authedProdcList=02001;ResultMsgStr=[70018501]", 0), 0u) << answer;
    EXPECT_TRUE(AnyLineHas(Db().LogLines(), "file is not a database"));
    fennix::Close();
    dlclose(module);
}

INSTANTIATE_TEST_SUITE_P(SQLite, DamagedFileTest, ::testing::Values(Backend::SQLite),
                         priv::test::BackendName);

INSTANTIATE_TEST_SUITE_P(Backends, LockWaitTest, ::testing::ValuesIn(priv::test::AvailableBackends()),
                         priv::test::BackendName);

} // namespace
