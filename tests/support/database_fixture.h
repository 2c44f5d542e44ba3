// A fresh privilege database for each test, on every backend available here,
// with the substitute host (fennix) opened on it and the module bound to it.
//
//     class OperatorStoreTest : public priv::test::DatabaseTest {};
//     TEST_P(OperatorStoreTest, Loads) { Db().Exec("INSERT INTO ..."); ... }
//     INSTANTIATE_TEST_SUITE_P(Backends, OperatorStoreTest,
//                              ::testing::ValuesIn(priv::test::AvailableBackends()),
//                              priv::test::BackendName);
//
// SQLite always runs. PostgreSQL runs when PRIV_TEST_PG_URL names a server
// (the test script starts a throw-away one); each test then gets a database
// of its own, created on that server and dropped afterwards. With
// PRIV_REQUIRE_PG=1 a missing or unreachable server fails the tests instead
// of leaving PostgreSQL out.
//
// Tests link priv_testsupport and priv_testmain (a main that creates the
// QApplication Qt SQL and the windows need). priv_testsupport brings the
// substitute host's test seams too (fennix/testing.h: statement failures and
// log, recorded message boxes and answers, fixed clock and Caps Lock).
#pragma once

#include "boundary/host.h"
#include "fennix/fennix.h"
#include "fennix/testing.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class QTemporaryDir;

namespace priv::test {

enum class Backend { SQLite, PostgreSQL };

// SQLite, and PostgreSQL when PRIV_TEST_PG_URL is set or PRIV_REQUIRE_PG=1.
std::vector<Backend> AvailableBackends();

const char* ToString(Backend backend);
void PrintTo(Backend backend, std::ostream* out);

// Names parameterised tests "SQLite" and "PostgreSQL"; usable as the name
// generator of INSTANTIATE_TEST_SUITE_P and as a plain function of a Backend.
struct BackendNameFunction {
    std::string operator()(const ::testing::TestParamInfo<Backend>& info) const
    {
        return ToString(info.param);
    }
    std::string operator()(Backend backend) const { return ToString(backend); }
};
inline constexpr BackendNameFunction BackendName{};

using SettingsAdjust = std::function<void(fennix::Settings&)>;

// Another connection to the test database, as a second workstation has. Its
// statements bypass the statement log and the statement failures; its
// transactions are the host's (fennix::Services().DBBeginTrans on its name,
// so REPEATABLE READ on PostgreSQL). Qt SQL connections belong to the thread
// that opened them. On SQLite a host transaction holds the write lock, so
// interleaving two writing transactions in one thread only works on
// PostgreSQL (SQLite would wait for the busy timeout and then fail).
class SecondConnection {
public:
    SecondConnection(std::string name, const std::string& url, std::string& error);
    ~SecondConnection();
    SecondConnection(const SecondConnection&) = delete;
    SecondConnection& operator=(const SecondConnection&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Name() const { return name_; }
    ::testing::AssertionResult Exec(const std::string& sql);
    priv::QueryResult Query(const std::string& sql); // a failure is reported to GoogleTest
    bool Begin(std::string* message = nullptr);
    bool Commit(std::string* message = nullptr);
    bool Rollback(std::string* message = nullptr);

private:
    std::string name_;
    bool ok_ = false;
};

class TestDatabase {
public:
    // Creates the database, applies db/schema-<backend>.sql, opens fennix on
    // it (temporary application folder, the sample applications file, no
    // company) and binds the module's host to fennix. `adjust` may change the
    // settings before fennix opens. The host context (windows, handlers,
    // functions, current codes, fixed clock and Caps Lock) starts empty: set
    // it after construction. Check Ok() before use.
    explicit TestDatabase(Backend backend, const SettingsAdjust& adjust = {});
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    Backend GetBackend() const { return backend_; }
    bool IsPostgres() const { return backend_ == Backend::PostgreSQL; }
    const std::string& Url() const { return url_; }
    const std::string& AppDir() const { return appDir_; }
    const fennix::Settings& Settings() const { return settings_; }

    // Opens fennix again on the same database with changed settings (the
    // records and recorded messages start afresh; the rows stay).
    ::testing::AssertionResult Reopen(const SettingsAdjust& adjust);

    // Arranging and checking rows, outside the statement log and failures.
    ::testing::AssertionResult Exec(const std::string& sql);
    ::testing::AssertionResult ExecAll(std::initializer_list<std::string> statements);
    priv::QueryResult Query(const std::string& sql); // a failure is reported to GoogleTest
    // The first column of the first row as text; empty without rows.
    std::string Scalar(const std::string& sql);

    std::unique_ptr<SecondConnection> OpenSecondConnection(const std::string& name);

    // The host log of this test and its lines.
    std::string LogFile() const;
    std::vector<std::string> LogLines() const;

private:
    Backend backend_;
    bool ok_ = false;
    std::string error_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::string appDir_;
    std::string url_;
    std::string postgresName_; // the database created for this test
    fennix::Settings settings_;
};

// The host's message boxes shown since the last fennix::ClearShownMessages,
// in order: their texts, their catalogue numbers (plain texts count as 0),
// and the last text (empty when none was shown).
std::vector<std::string> ShownTexts();
std::vector<int> ShownNumbers();
std::string LastShownText();

// Parameterised base for database tests: a TestDatabase per test.
// A suite that overrides SetUp calls DatabaseTest::SetUp() first and returns
// when it failed (if (HasFatalFailure()) return;).
class DatabaseTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;
    // Changes the settings fennix opens with (company, version type...).
    virtual void AdjustSettings(fennix::Settings& /*settings*/) {}

    TestDatabase& Db() { return *db_; }
    priv::Host& Host() { return fennix::Services(); }

    std::unique_ptr<TestDatabase> db_;
};

} // namespace priv::test
