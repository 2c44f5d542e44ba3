#include "database_fixture.h"

#include "quillet/quillet.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace priv::test {
namespace {

constexpr const char* kAdminConnection = "priv_test_admin";

std::string EnvText(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool PostgresRequired()
{
    return EnvText("PRIV_REQUIRE_PG") == "1";
}

// The same server URL with another database name.
std::string WithDatabase(const std::string& url, const std::string& database)
{
    const std::size_t scheme = url.find("://");
    const std::size_t authority = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t query = url.find('?', authority);
    const std::size_t slash = url.find('/', authority);
    if (slash == std::string::npos || (query != std::string::npos && slash > query)) {
        const std::size_t at = query == std::string::npos ? url.size() : query;
        return url.substr(0, at) + "/" + database + url.substr(at);
    }
    const std::size_t end = query == std::string::npos ? url.size() : query;
    return url.substr(0, slash + 1) + database + url.substr(end);
}

// One connection per test process to the server's maintenance database,
// through which the per-test databases are created and dropped.
bool AdminConnection(std::string& error)
{
    static bool open = false;
    if (open)
        return true;
    const std::string url = EnvText("PRIV_TEST_PG_URL");
    if (url.empty()) {
        error = "PRIV_REQUIRE_PG=1 but PRIV_TEST_PG_URL names no PostgreSQL server.";
        return false;
    }
    if (!fennix::OpenConnection(kAdminConnection, url, error)) {
        error = "PostgreSQL server of PRIV_TEST_PG_URL not reachable: " + error;
        return false;
    }
    open = true;
    return true;
}

std::string UniqueDatabaseName()
{
    static std::atomic<int> counter{0};
    return "priv_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_" +
           std::to_string(QRandomGenerator::global()->bounded(1000000));
}

std::string SchemaFile(Backend backend)
{
    return std::string(PRIV_SOURCE_DIR) +
           (backend == Backend::SQLite ? "/db/schema-sqlite.sql" : "/db/schema-postgresql.sql");
}

::testing::AssertionResult RunOn(const std::string& connection, const std::string& sql)
{
    std::string error;
    if (fennix::RunStatement(connection, sql, nullptr, error))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "statement failed: " << sql << "\n  " << error;
}

priv::QueryResult QueryOn(const std::string& connection, const std::string& sql)
{
    priv::QueryResult rows;
    std::string error;
    if (!fennix::RunStatement(connection, sql, &rows, error))
        ADD_FAILURE() << "query failed: " << sql << "\n  " << error;
    return rows;
}

} // namespace

std::vector<Backend> AvailableBackends()
{
    std::vector<Backend> backends{Backend::SQLite};
    if (!EnvText("PRIV_TEST_PG_URL").empty() || PostgresRequired())
        backends.push_back(Backend::PostgreSQL);
    return backends;
}

const char* ToString(Backend backend)
{
    return backend == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

void PrintTo(Backend backend, std::ostream* out)
{
    *out << ToString(backend);
}

// --- SecondConnection ---------------------------------------------------------

SecondConnection::SecondConnection(std::string name, const std::string& url, std::string& error)
    : name_(std::move(name))
{
    ok_ = fennix::OpenConnection(name_, url, error);
}

SecondConnection::~SecondConnection()
{
    if (ok_)
        fennix::CloseConnection(name_);
}

::testing::AssertionResult SecondConnection::Exec(const std::string& sql)
{
    return RunOn(name_, sql);
}

priv::QueryResult SecondConnection::Query(const std::string& sql)
{
    return QueryOn(name_, sql);
}

bool SecondConnection::Begin(std::string* message)
{
    std::string text;
    const bool ok = fennix::Services().DBBeginTrans(name_, text);
    if (message)
        *message = text;
    return ok;
}

bool SecondConnection::Commit(std::string* message)
{
    std::string text;
    const bool ok = fennix::Services().DBCommitTrans(name_, text);
    if (message)
        *message = text;
    return ok;
}

bool SecondConnection::Rollback(std::string* message)
{
    std::string text;
    const bool ok = fennix::Services().DBRollbackTrans(name_, text);
    if (message)
        *message = text;
    return ok;
}

// --- TestDatabase ---------------------------------------------------------------

TestDatabase::TestDatabase(Backend backend, const SettingsAdjust& adjust)
    : backend_(backend), folder_(std::make_unique<QTemporaryDir>())
{
    if (!QCoreApplication::instance()) {
        error_ = "no Qt application object: link priv_testmain";
        return;
    }
    if (!folder_->isValid()) {
        error_ = "cannot create a temporary folder: " + folder_->errorString().toStdString();
        return;
    }
    appDir_ = folder_->path().toStdString();

    if (backend_ == Backend::SQLite) {
        url_ = "sqlite:" + appDir_ + "/privilege.db";
    } else {
        if (!AdminConnection(error_))
            return;
        const std::string name = UniqueDatabaseName();
        if (!fennix::RunStatement(kAdminConnection,
                                  "CREATE DATABASE " + name + " ENCODING 'UTF8' TEMPLATE template0", nullptr,
                                  error_)) {
            error_ = "cannot create the test database: " + error_;
            return;
        }
        postgresName_ = name;
        url_ = WithDatabase(EnvText("PRIV_TEST_PG_URL"), name);
    }

    settings_.databaseUrl = url_;
    settings_.appDir = appDir_;
    settings_.appsFile = std::string(PRIV_SOURCE_DIR) + "/host/app/apps.json";
    if (adjust)
        adjust(settings_);

    fennix::ResetHostContext();
    if (!fennix::Open(settings_, error_))
        return;
    if (!fennix::ApplySqlScript(SchemaFile(backend_), error_))
        return;
    priv::BindHost(&fennix::Services());
    ok_ = true;
}

TestDatabase::~TestDatabase()
{
    fennix::Close();
    fennix::ResetHostContext();
    priv::BindHost(nullptr);
    // The folder goes with this test; later lines go to standard error.
    quillet::SetLogFolder(std::string());
    if (!postgresName_.empty()) {
        std::string error;
        if (!fennix::RunStatement(kAdminConnection,
                                  "DROP DATABASE IF EXISTS " + postgresName_ + " WITH (FORCE)", nullptr,
                                  error))
            ADD_FAILURE() << "cannot drop the test database " << postgresName_ << ": " << error;
    }
}

::testing::AssertionResult TestDatabase::Reopen(const SettingsAdjust& adjust)
{
    fennix::Settings settings = settings_;
    if (adjust)
        adjust(settings);
    std::string error;
    if (!fennix::Open(settings, error))
        return ::testing::AssertionFailure() << "fennix did not open again: " << error;
    settings_ = settings;
    priv::BindHost(&fennix::Services());
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TestDatabase::Exec(const std::string& sql)
{
    return RunOn(priv::kMainConnection, sql);
}

::testing::AssertionResult TestDatabase::ExecAll(std::initializer_list<std::string> statements)
{
    for (const std::string& sql : statements) {
        auto result = Exec(sql);
        if (!result)
            return result;
    }
    return ::testing::AssertionSuccess();
}

priv::QueryResult TestDatabase::Query(const std::string& sql)
{
    return QueryOn(priv::kMainConnection, sql);
}

std::string TestDatabase::Scalar(const std::string& sql)
{
    priv::QueryResult rows = Query(sql);
    if (rows.Eof() || rows.Columns().empty())
        return {};
    return rows.AsString(rows.Columns().front());
}

std::unique_ptr<SecondConnection> TestDatabase::OpenSecondConnection(const std::string& name)
{
    std::string error;
    auto connection = std::make_unique<SecondConnection>(name, url_, error);
    if (!connection->Ok())
        ADD_FAILURE() << "second connection " << name << " did not open: " << error;
    return connection;
}

std::string TestDatabase::LogFile() const
{
    return settings_.logFolder.empty() ? appDir_ + "/Log/privilege.log"
                                       : settings_.logFolder + "/privilege.log";
}

std::vector<std::string> TestDatabase::LogLines() const
{
    std::vector<std::string> lines;
    std::ifstream file(LogFile());
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

// --- Shown messages ---------------------------------------------------------------

std::vector<std::string> ShownTexts()
{
    std::vector<std::string> texts;
    for (const fennix::ShownMessage& message : fennix::ShownMessages())
        texts.push_back(message.text);
    return texts;
}

std::vector<int> ShownNumbers()
{
    std::vector<int> numbers;
    for (const fennix::ShownMessage& message : fennix::ShownMessages())
        numbers.push_back(message.number);
    return numbers;
}

std::string LastShownText()
{
    const auto messages = fennix::ShownMessages();
    return messages.empty() ? std::string() : messages.back().text;
}

// --- DatabaseTest -----------------------------------------------------------------

void DatabaseTest::SetUp()
{
    db_ = std::make_unique<TestDatabase>(GetParam(),
                                         [this](fennix::Settings& settings) { AdjustSettings(settings); });
    ASSERT_TRUE(db_->Ok()) << ToString(GetParam()) << " test database: " << db_->Error();
}

void DatabaseTest::TearDown()
{
    db_.reset();
}

} // namespace priv::test
