// `privhost init`: creates the privilege tables, the built-in posts and the
// first super administrator; `--demo` adds a realistic data set.
#include "commands.h"
#include "demo_data.h"
#include "host_database.h"

#include "cipher/crypt.h"
#include "store/audit_record.h"

#include <fennix/fennix.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace privhost {
namespace {

namespace fs = std::filesystem;

// One value read from the database; false with the database's text when the
// statement failed.
bool ReadScalar(const std::string& sql, std::string& value, std::string& error)
{
    priv::QueryResult query;
    if (!fennix::Services().ExecADOQueryMsg(priv::kMainConnection, sql, query, error, true))
        return false;
    value = query.Eof() || query.Columns().empty() ? std::string() : query.AsString(query.Columns().front());
    return true;
}

// What init finds in the database.
enum class Found {
    Unreadable, // the database answers with an error
    Empty,      // no privilege tables
    NoAdmin,    // tables, but nobody who can sign in as super administrator
    Complete,
};

Found Inspect(bool postgres, std::string& error)
{
    // Asked of the catalogue, so that a new database is not met with a
    // failing statement.
    const std::string tables =
        postgres ? "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = current_schema() AND "
                   "table_name = 'qx_roles'"
                 : "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'QX_ROLES'";
    std::string count;
    if (!ReadScalar(tables, count, error))
        return Found::Unreadable;
    if (count == "0")
        return Found::Empty;
    // The super administrator signs in only with a post row (every operator
    // read joins QX_CZYRROLE).
    if (!ReadScalar("SELECT COUNT(*) FROM QX_CZY t1, QX_CZYRROLE t3 WHERE t1.CZY_LB='0' and "
                    "t3.CZY_DM=t1.CZY_DM",
                    count, error))
        return Found::Unreadable;
    return count == "0" ? Found::NoAdmin : Found::Complete;
}

std::string AskNewPassword()
{
    std::string first = ReadPassword("超级管理员 admin 的新密码: ");
    const std::string second = ReadPassword("再次输入新密码: ");
    if (first != second) {
        std::cerr << "privhost: the two passwords differ\n";
        return {};
    }
    return first;
}

// The same rules whether the password was typed or given: the super
// administrator is never created without one, nor with one that would be
// stored other than as given.
bool AcceptableAdminPassword(const std::string& password)
{
    if (password.empty()) {
        std::cerr << "privhost: init needs a password for admin\n";
        return false;
    }
    if (std::string unstorable; !priv::PasswordStorable(password, &unstorable)) {
        std::cerr << "privhost: " << unstorable << '\n';
        return false;
    }
    return true;
}

// Whether this process may create files in `folder` (which exists).
bool Writable(const fs::path& folder, std::error_code& ec)
{
    if (access(folder.c_str(), W_OK | X_OK) == 0)
        return true;
    ec = std::error_code(errno, std::generic_category());
    return false;
}

// A folder init has to write into: made when missing, and named when it
// cannot be written, rather than leaving the failure to whatever reads from
// it later.
bool PrepareFolder(const fs::path& folder, const char* what)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec && Writable(folder, ec))
        return true;
    std::cerr << "privhost: 无法写入" << what << ' ' << folder.string() << "：" << ec.message() << '\n';
    return false;
}

// The sample applications file goes into the host's folder on first use;
// the host cannot start without the applications file it is told to read.
bool InstallSampleFiles(const fennix::Settings& settings)
{
    const fs::path appDir = settings.appDir;
    const fs::path apps = appDir / "apps.json";
    const bool needed = fs::path(settings.appsFile) == apps;
    std::error_code ec;
    if (fs::exists(apps, ec))
        return true;
    if (!needed) { // another file is used; the sample is a courtesy
        fs::create_directories(appDir, ec);
        fs::copy_file(fs::path(ResourceDir()) / "apps.json", apps, ec);
        return true;
    }
    if (!PrepareFolder(appDir, "应用目录"))
        return false;
    fs::copy_file(fs::path(ResourceDir()) / "apps.json", apps, ec);
    if (ec) {
        std::cerr << "privhost: 无法把示例应用程序文件 apps.json 放入应用目录 " << appDir.string() << "："
                  << ec.message() << '\n';
        return false;
    }
    return true;
}

// The demo host shows a login picture of its own for each version type.
void InstallLoginPictures(const std::string& appDir)
{
    std::error_code ec;
    const fs::path target = fs::path(appDir) / "Image" / "Tradition";
    fs::create_directories(target, ec);
    for (const char* name : {"login.jpg", "login-mulcomp.jpg", "login-agency.jpg"})
        fs::copy_file(fs::path(ResourceDir()) / "Image" / "Tradition" / name, target / name,
                      fs::copy_options::skip_existing, ec);
}

std::string SchemaPath(const fennix::Settings& settings)
{
    return ResourceDir() +
           (IsPostgreSqlUrl(settings.databaseUrl) ? "/db/schema-postgresql.sql" : "/db/schema-sqlite.sql");
}

// The operation log's tables and indexes (all of them name QX_CZRZ...).
bool IsLogStatement(const std::string& statement)
{
    return statement.find(priv::audit::kLogTable) != std::string::npos;
}

// The statements of the schema that may run again on a database made before
// them: the indexes written "CREATE INDEX IF NOT EXISTS", and those written
// "DROP INDEX IF EXISTS" that they replace (the operation log's own go with
// its tables, LogStatements).
std::vector<std::string> IndexStatements(const std::string& schemaPath)
{
    constexpr std::string_view kAddable = "CREATE INDEX IF NOT EXISTS ";
    constexpr std::string_view kReplaced = "DROP INDEX IF EXISTS ";
    std::vector<std::string> statements;
    for (std::string& statement : SchemaStatements(schemaPath))
        if ((statement.rfind(kAddable, 0) == 0 || statement.rfind(kReplaced, 0) == 0) &&
            !IsLogStatement(statement))
            statements.push_back(std::move(statement));
    return statements;
}

// The schema's statements that make the operation log, tables first, each
// written "IF NOT EXISTS" so that they may run on any database.
std::vector<std::string> LogStatements(const std::string& schemaPath)
{
    std::vector<std::string> statements;
    for (std::string& statement : SchemaStatements(schemaPath))
        if (IsLogStatement(statement) && statement.rfind("CREATE ", 0) == 0)
            statements.push_back(std::move(statement));
    return statements;
}

// The row that says what init did, written in init's own transaction.
bool RecordInit(const std::string& detail)
{
    priv::audit::RecordedChange change;
    if (!change.Begin() ||
        !change.Record(priv::audit::Event{priv::audit::kInit, priv::audit::kObjectDatabase, "", detail}) ||
        !change.Commit()) {
        std::cerr << "privhost: 无法写入操作日志：" << change.Failure() << '\n';
        return false;
    }
    return true;
}

// A database made before the operation log gains its tables, and the log's
// first row says so, all in one transaction. `added` tells whether they
// were missing.
bool AddMissingLog(const fennix::Settings& settings, bool& added)
{
    added = false;
    std::string error;
    switch (priv::audit::InspectLog(error)) {
    case priv::audit::LogState::Present:
        return true;
    case priv::audit::LogState::Unreadable:
    case priv::audit::LogState::Absent:
        break;
    }
    priv::Host& host = fennix::Services();
    if (!host.DBBeginTrans(priv::kMainConnection, error)) {
        std::cerr << "privhost: " << error << '\n';
        return false;
    }
    bool ok = true;
    for (const std::string& statement : LogStatements(SchemaPath(settings)))
        ok = ok && Execute(statement);
    ok = ok && RecordInit("补建操作日志表");
    if (ok && host.DBCommitTrans(priv::kMainConnection, error)) {
        added = true;
        return true;
    }
    if (ok)
        std::cerr << "privhost: " << error << '\n';
    host.DBRollbackTrans(priv::kMainConnection, error);
    return false;
}

// The names of the database's indexes, in order: an index replaced by
// another shows as a change.
std::string IndexNames(const fennix::Settings& settings)
{
    return ScalarText(IsPostgreSqlUrl(settings.databaseUrl)
                          ? "SELECT string_agg(indexname, ',' ORDER BY indexname) FROM pg_indexes "
                            "WHERE schemaname = current_schema()"
                          : "SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type = "
                            "'index' ORDER BY name)");
}

// An existing database keeps its rows; it only gains the indexes that the
// module's statements have come to need since it was made. False when one of
// them could not be made (the module still works, only slower).
bool AddMissingIndexes(const fennix::Settings& settings, bool& added)
{
    const std::string before = IndexNames(settings);
    // PostgreSQL would print a notice for every index it already has.
    if (IsPostgreSqlUrl(settings.databaseUrl))
        Execute("SET client_min_messages TO warning");
    bool allMade = true;
    for (const std::string& statement : IndexStatements(SchemaPath(settings)))
        allMade = Execute(statement) && allMade;
    added = IndexNames(settings) != before;
    return allMade;
}

const char* const kBuiltInPosts[][2] = {
    {"0", "超级管理员"}, {"SYSTEM", "系统管理员"}, {"BUSINESS", "业务员"}, {"AUDITOR", "审核员"}};

// Brings a database whose earlier init stopped after the tables up to what
// init makes: the built-in posts that are missing.
bool CompleteBuiltInPosts()
{
    for (const auto& [code, name] : kBuiltInPosts) {
        std::string count, error;
        if (!ReadScalar("SELECT COUNT(*) FROM QX_ROLES WHERE JS_DM=" + Quoted(code), count, error)) {
            std::cerr << "privhost: " << error << '\n';
            return false;
        }
        if (count == "0" &&
            !Execute("INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES(" + Quoted(code) + ", " + Quoted(name) + ")"))
            return false;
    }
    return true;
}

bool CreateAdmin(const std::string& password)
{
    return Execute("INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, YXBZ, BM_DM) "
                   "VALUES('admin', "
                   "'超级管理员', " +
                   Quoted(priv::EncryptPassword(password)) + ", '0', '', '系统内置超级管理员', 'Y', '')") &&
           Execute("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('admin', '0')");
}

// Everything init writes, in one transaction: a database is either made
// whole or left as it was (SQLite and PostgreSQL both undo tables created
// in a transaction that does not commit).
bool Populate(const fennix::Settings& settings, Found found, const std::string& password, bool demo)
{
    priv::Host& host = fennix::Services();
    std::string error;
    if (!host.DBBeginTrans(priv::kMainConnection, error)) {
        std::cerr << "privhost: " << error << '\n';
        return false;
    }
    bool ok = true;
    if (found == Found::Empty) {
        ok = fennix::ApplySqlScript(SchemaPath(settings), error);
        if (!ok)
            std::cerr << "privhost: cannot create the tables: " << error << '\n';
    } else {
        ok = CompleteBuiltInPosts();
        // An earlier init may have stopped before the operation log existed.
        for (const std::string& statement : LogStatements(SchemaPath(settings)))
            ok = ok && Execute(statement);
    }
    ok = ok && CreateAdmin(password) && (!demo || CreateDemoData(settings)) &&
         RecordInit(std::string(found == Found::Empty ? "新建数据库" : "补全未完成的初始化") +
                    "，创建超级管理员 admin" + (demo ? "，写入演示数据" : ""));
    if (ok && !host.DBCommitTrans(priv::kMainConnection, error)) {
        std::cerr << "privhost: " << error << '\n';
        return false;
    }
    if (!ok)
        host.DBRollbackTrans(priv::kMainConnection, error);
    return ok;
}

// A SQLite file this init created and could not fill goes again, with its
// journal, so that nothing half-made stays behind.
void RemoveCreatedFile(const fs::path& file)
{
    fennix::Close();
    std::error_code ec;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        fs::remove(file.string() + suffix, ec);
}

} // namespace

int RunInit(const AppOptions& options)
{
    std::string adminPassword;
    bool havePassword = false;
    bool demo = false;
    for (std::size_t i = 0; i < options.args.size(); ++i) {
        if (options.args[i] == "--demo") {
            demo = true;
        } else if (options.args[i] == "--admin-password" && i + 1 < options.args.size()) {
            adminPassword = options.args[++i];
            havePassword = true;
        } else {
            std::cerr << "privhost: init: unknown argument " << options.args[i] << '\n' << kUsage;
            return kExitSetup;
        }
    }

    // A given password is judged before anything is created.
    if (havePassword && !AcceptableAdminPassword(adminPassword))
        return kExitSetup;

    const fennix::Settings settings = ResolveSettings(options);
    if (!InstallSampleFiles(settings))
        return kExitSetup;
    const bool postgres = IsPostgreSqlUrl(settings.databaseUrl);
    fs::path sqliteFile;
    bool fileIsNew = false;
    if (!postgres) {
        sqliteFile = settings.databaseUrl.substr(std::string("sqlite:").size());
        if (!PrepareFolder(sqliteFile.parent_path(), "数据库文件夹"))
            return kExitSetup;
        std::error_code ec;
        fileIsNew = !fs::exists(sqliteFile, ec);
    }
    if (!OpenHost(options, false))
        return kExitSetup;
    const std::string url = fennix::UrlForDisplay(settings.databaseUrl);

    std::string error;
    const Found found = Inspect(postgres, error);
    switch (found) {
    case Found::Unreadable:
        std::cerr << "privhost: 无法读取数据库 " << url << "：" << error << '\n';
        return kExitSetup;
    case Found::Complete: {
        bool logAdded = false;
        if (!AddMissingLog(settings, logAdded)) {
            std::cerr
                << "privhost: 无法补建操作日志表，数据库未作任何更改；排除上面的原因后重新运行 privhost "
                   "init。\n";
            return kExitSetup;
        }
        bool added = false;
        if (!AddMissingIndexes(settings, added))
            std::cerr
                << "privhost: could not add every index; the database works without them, only slower\n";
        std::cout << (logAdded && added ? "数据库已初始化，已补建操作日志表和索引: "
                      : logAdded        ? "数据库已初始化，已补建操作日志表: "
                      : added           ? "数据库已初始化，已补建索引: "
                                        : "数据库已初始化，未作任何更改: ")
                  << url << '\n';
        return kExitOk;
    }
    case Found::NoAdmin: {
        // An earlier init that stopped after the tables: completed, unless
        // the code admin is taken by something init did not make.
        std::string taken;
        if (!ReadScalar("SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='admin'", taken, error) ||
            (taken == "0" &&
             !ReadScalar("SELECT COUNT(*) FROM QX_CZYRROLE WHERE CZY_DM='admin'", taken, error))) {
            std::cerr << "privhost: 无法读取数据库 " << url << "：" << error << '\n';
            return kExitSetup;
        }
        if (taken != "0") {
            std::cerr << "privhost: 数据库 " << url
                      << " 中没有可登录的超级管理员，而操作员代码 admin 已被占用，未作任何更改。\n"
                         "请在数据库中把操作员 admin 的 CZY_LB 设为 0 并在 QX_CZYRROLE 中给它岗位 0，"
                         "或删除该数据库后重新运行 privhost init。\n";
            return kExitSetup;
        }
        std::cout << "数据库中已有权限表，但没有超级管理员（上次初始化未完成），现在补全: " << url << '\n';
        break;
    }
    case Found::Empty:
        break;
    }
    if (!havePassword && !AcceptableAdminPassword(adminPassword = AskNewPassword())) {
        if (fileIsNew)
            RemoveCreatedFile(sqliteFile);
        return kExitSetup;
    }

    if (!Populate(settings, found, adminPassword, demo)) {
        if (fileIsNew)
            RemoveCreatedFile(sqliteFile);
        std::cerr << "privhost: 初始化失败，" << (fileIsNew ? "未留下数据库文件" : "数据库未作任何更改")
                  << "；排除上面的原因后重新运行 privhost init。\n";
        return kExitSetup;
    }
    std::cout << (found == Found::Empty ? "已创建数据库: " : "已补全数据库: ") << url
              << "\n已创建超级管理员 admin\n";
    if (demo) {
        InstallLoginPictures(settings.appDir);
        PrintDemoOperators(std::cout);
    }
    return kExitOk;
}

} // namespace privhost
