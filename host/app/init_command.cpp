// `privhost init`: creates the privilege tables, the built-in posts and the
// first super administrator; `--demo` adds a realistic data set.
#include "commands.h"
#include "demo_data.h"
#include "host_database.h"

#include "cipher/crypt.h"

#include <fennix/fennix.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>
#include <vector>

namespace privhost {
namespace {

bool DatabaseHasTables()
{
    priv::QueryResult query;
    std::string message;
    return fennix::Services().ExecADOQueryMsg(priv::kMainConnection, "SELECT JS_DM FROM QX_ROLES", query,
                                              message, true);
}

std::string AskNewPassword()
{
    const std::string first = ReadPassword("超级管理员 admin 的新密码: ");
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

// The sample applications file goes into the host's folder on first use.
void InstallSampleFiles(const std::string& appDir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(appDir, ec);
    const fs::path apps = fs::path(appDir) / "apps.json";
    if (!fs::exists(apps))
        fs::copy_file(fs::path(ResourceDir()) / "apps.json", apps, ec);
}

// The demo host shows a login picture of its own for each version type.
void InstallLoginPictures(const std::string& appDir)
{
    namespace fs = std::filesystem;
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

// The statements of the schema that may run again on a database made before
// them: the indexes written "CREATE INDEX IF NOT EXISTS". A statement ends
// with ';' at the end of a line; lines starting with "--" are comments.
std::vector<std::string> AddableIndexes(const std::string& schemaPath)
{
    constexpr std::string_view kAddable = "CREATE INDEX IF NOT EXISTS ";
    std::vector<std::string> statements;
    std::ifstream file(schemaPath);
    std::string line, statement;
    while (std::getline(file, line)) {
        if (line.rfind("--", 0) == 0)
            continue;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        statement += line;
        if (line.empty() || line.back() != ';') {
            statement += '\n';
            continue;
        }
        statement.pop_back();
        if (statement.rfind(kAddable, 0) == 0)
            statements.push_back(statement);
        statement.clear();
    }
    return statements;
}

std::string IndexCount(const fennix::Settings& settings)
{
    return ScalarText(IsPostgreSqlUrl(settings.databaseUrl)
                          ? "SELECT COUNT(*) FROM pg_indexes WHERE schemaname = current_schema()"
                          : "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index'");
}

// An existing database keeps its rows; it only gains the indexes that the
// module's statements have come to need since it was made. False when one of
// them could not be made (the module still works, only slower).
bool AddMissingIndexes(const fennix::Settings& settings, bool& added)
{
    const std::string before = IndexCount(settings);
    // PostgreSQL would print a notice for every index it already has.
    if (IsPostgreSqlUrl(settings.databaseUrl))
        Execute("SET client_min_messages TO warning");
    bool allMade = true;
    for (const std::string& statement : AddableIndexes(SchemaPath(settings)))
        allMade = Execute(statement) && allMade;
    added = IndexCount(settings) != before;
    return allMade;
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
    InstallSampleFiles(settings.appDir);
    if (!OpenHost(options, false))
        return kExitSetup;
    if (DatabaseHasTables()) {
        bool added = false;
        if (!AddMissingIndexes(settings, added))
            std::cerr
                << "privhost: could not add every index; the database works without them, only slower\n";
        std::cout << (added ? "数据库已初始化，已补建索引: " : "数据库已初始化，未作任何更改: ")
                  << fennix::UrlForDisplay(settings.databaseUrl) << '\n';
        return kExitOk;
    }
    if (!havePassword && !AcceptableAdminPassword(adminPassword = AskNewPassword()))
        return kExitSetup;

    const std::string schema = SchemaPath(settings);
    std::string error;
    if (!fennix::ApplySqlScript(schema, error)) {
        std::cerr << "privhost: cannot create the tables: " << error << '\n';
        return kExitSetup;
    }
    const bool adminCreated =
        Execute(
            "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, YXBZ, BM_DM) VALUES('admin', "
            "'超级管理员', " +
            Quoted(priv::EncryptPassword(adminPassword)) + ", '0', '', '系统内置超级管理员', 'Y', '')") &&
        Execute("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('admin', '0')");
    if (!adminCreated)
        return kExitSetup;
    std::cout << "已创建数据库: " << fennix::UrlForDisplay(settings.databaseUrl)
              << "\n已创建超级管理员 admin\n";

    if (demo) {
        if (!CreateDemoData(settings))
            return kExitSetup;
        InstallLoginPictures(settings.appDir);
        PrintDemoOperators(std::cout);
    }
    return kExitOk;
}

} // namespace privhost
