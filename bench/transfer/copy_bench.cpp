// `privhost copy` moving an office from its SQLite file to a PostgreSQL
// server, against the floor of that move: the same rows read through
// SQLite's C API and sent with COPY through libpq in one transaction, with
// nothing checked. Runs only when PRIV_TEST_PG_URL names a server.
//
// The source holds `companies` companies each granted to one post with ten
// sub-applications of thirty functions (every node a row of QX_PRMSMAP) and
// `operators` operators with their post links. The copy is the command
// itself, run as a user runs it (a process of its own: its start, reading
// the source, writing, and reading every table back for the checksums all
// count), as it is no library function. Each round empties the target's
// tables outside the measured time and runs the command and the baseline one
// after the other, in turns which first (bench/support/rounds.h); reported
// are the medians, "ratio" (the command's time over the baseline's), the
// time per thousand rows, which stays flat across the sizes when the copy is
// linear, and "privhost_rss_MiB", the most memory the command's process held.
#include "support/bench_data.h"
#include "support/raw_client.h"
#include "support/rounds.h"

#include <QCoreApplication>

#include <libpq-fe.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

extern char** environ;

namespace priv::bench {
namespace {

// The nine tables the copy moves, in its order, with the columns it moves.
struct CopiedTable {
    const char* name;
    const char* columns;
};

constexpr std::array<CopiedTable, 9> kTables{{
    {"XT_QYXX", "QYID, QYSBH, QYMC, LBDM"},
    {"XT_BMXX", "QYID, BM_DM, BM_MC"},
    {"QX_ROLES", "JS_DM, JS_MC"},
    {"QX_CZY", "CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, DHHM, EMAIL, ZZ, YXBZ, SFXZSJ, XZSJ, ZHDLSJ, "
               "BM_DM"},
    {"QX_CZYRROLE", "CZY_DM, JS_DM"},
    {"QX_PRMSMAP", "PRMS_DM, DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM"},
    {"QX_ROLEPRMS", "JS_DM, PRMS_DM"},
    {"QX_CZYQY", "CZY_DM, QYID"},
    {"QX_CZYZXT", "CZY_DM, QYID, CPBM"},
}};

// Operators with their own names, telephone numbers and sign-in times, in
// departments, linked to the post that holds the grant.
bool ArrangeOperators(TestDatabase& db, int count)
{
    const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(count) + ") ";
    return Arrange(db, "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收管理科'), (0, 'B02', "
                       "'纳税服务科')") &&
           Arrange(db, "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, DHHM, EMAIL, ZZ, "
                       "YXBZ, SFXZSJ, XZSJ, ZHDLSJ, BM_DM) " +
                           n +
                           "SELECT 'op' || i, '操作员' || i, 'X1b#2c$3d%4e' || (i % 97), '1', '', '', "
                           "'010-' || (12340000 + i), 'op' || i || '@example.cn', '北京市海淀区', 'Y', 'N', "
                           "'2030-01-01 00:00:00', '2024-03-05 08:' || (10 + i % 50) || ':00', "
                           "CASE WHEN i % 2 = 0 THEN 'B01' ELSE 'B02' END FROM n") &&
           Arrange(db, "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) SELECT CZY_DM, 'GW00001' FROM QX_CZY");
}

// A value in COPY's text format.
void AppendCopyText(std::string& line, const RawRow& row, int column)
{
    if (row.IsNull(column)) {
        line += "\\N";
        return;
    }
    const char* text = row.Text(column);
    const int length = row.Length(column);
    for (int i = 0; i < length; ++i) {
        switch (text[i]) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += text[i];
        }
    }
}

// The floor: each table read from the SQLite file and sent with COPY, one
// transaction, the node codes' identity moved past the highest one.
bool BareCopy(RawClient& source, RawClient& target, std::string& error)
{
    PGconn* pg = target.Postgres();
    if (!target.Exec("BEGIN")) {
        error = target.Error();
        return false;
    }
    for (const CopiedTable& table : kTables) {
        const std::string copy = std::string("COPY ") + table.name + "(" + table.columns + ") FROM STDIN";
        PGresult* started = PQexec(pg, copy.c_str());
        const bool ready = PQresultStatus(started) == PGRES_COPY_IN;
        PQclear(started);
        if (!ready) {
            error = copy + ": " + PQerrorMessage(pg);
            target.Exec("ROLLBACK");
            return false;
        }
        std::string buffer;
        bool sent = true;
        const bool read = source.Query(
            std::string("SELECT ") + table.columns + " FROM " + table.name, [&](const RawRow& row) {
                for (int c = 0; c < row.Columns(); ++c) {
                    if (c)
                        buffer += '\t';
                    AppendCopyText(buffer, row, c);
                }
                buffer += '\n';
                if (buffer.size() >= 1 << 16) {
                    sent = sent && PQputCopyData(pg, buffer.data(), static_cast<int>(buffer.size())) == 1;
                    buffer.clear();
                }
            });
        if (!buffer.empty())
            sent = sent && PQputCopyData(pg, buffer.data(), static_cast<int>(buffer.size())) == 1;
        sent = PQputCopyEnd(pg, read && sent ? nullptr : "source not read") == 1 && sent;
        PGresult* result = PQgetResult(pg);
        const bool copied = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
        while ((result = PQgetResult(pg)) != nullptr)
            PQclear(result);
        if (!read || !sent || !copied) {
            error = std::string(table.name) + ": " + (read ? PQerrorMessage(pg) : source.Error());
            target.Exec("ROLLBACK");
            return false;
        }
    }
    if (!target.Exec("SELECT setval(pg_get_serial_sequence('qx_prmsmap', 'prms_dm'), "
                     "(SELECT MAX(PRMS_DM) FROM QX_PRMSMAP))") ||
        !target.Exec("COMMIT")) {
        error = target.Error();
        target.Exec("ROLLBACK");
        return false;
    }
    return true;
}

// `privhost --app-dir APP --db SOURCE copy --to TARGET`, its output
// discarded (standard error is then no terminal: no progress is drawn).
// The exit status, -1 when it could not be started; `rssKiB` receives the
// most memory the process held.
int RunPrivhostCopy(const std::string& appDir, const std::string& apps, const std::string& source,
                    const std::string& target, long& rssKiB)
{
    std::vector<std::string> args = {
        PRIVHOST_EXECUTABLE, "--app-dir", appDir, "--apps", apps, "--db", source, "copy", "--to", target};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (appDir + "/copy.err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return -1;
    rssKiB = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long long Count(RawClient& client, const char* table)
{
    long long count = -1;
    client.Query(std::string("SELECT COUNT(*) FROM ") + table,
                 [&](const RawRow& row) { count = row.Integer(0); });
    return count;
}

void CopyToPostgres(benchmark::State& state)
{
    const int companies = static_cast<int>(state.range(0));
    const int operators = static_cast<int>(state.range(1));
    // The source first (the framework is open on it while it is arranged),
    // then the target, a database of its own on the server with the schema.
    QTemporaryDir folder;
    const std::string apps = WriteAppsFile(folder);
    auto source = OpenDatabase(Backend::SQLite, apps);
    if (!source->Ok() || !ArrangeCompanies(*source, companies) ||
        !ArrangeStoredGrant(*source, "GW00001", {.detailed = companies}) ||
        !ArrangeOperators(*source, operators)) {
        state.SkipWithError("arranging the source failed");
        return;
    }
    const std::string sourceUrl = source->Url();
    const std::string appDir = source->AppDir();
    auto target = OpenDatabase(Backend::PostgreSQL, std::string());
    if (!target->Ok()) {
        state.SkipWithError(("the target database: " + target->Error()).c_str());
        return;
    }
    RawClient sourceRaw(sourceUrl);
    RawClient targetRaw(target->Url());
    if (!sourceRaw.Ok() || !targetRaw.Ok()) {
        state.SkipWithError((sourceRaw.Error() + targetRaw.Error()).c_str());
        return;
    }
    long long rows = 0;
    for (const CopiedTable& table : kTables)
        rows += Count(sourceRaw, table.name);
    std::string truncate = "TRUNCATE ";
    for (std::size_t t = 0; t < kTables.size(); ++t)
        truncate += std::string(t ? ", " : "") + kTables[t].name;

    Rounds rounds;
    for (auto _ : state) {
        int status = -1;
        bool baselineOk = false;
        std::string error;
        long long copiedByCommand = 0, copiedByBaseline = 0;
        auto command = [&] {
            targetRaw.Exec(truncate);
            long rssKiB = 0;
            const double ms = Milliseconds(
                [&] { status = RunPrivhostCopy(appDir, apps, sourceUrl, target->Url(), rssKiB); });
            rounds.Add("copy_ms", ms);
            rounds.Add("privhost_rss_MiB", static_cast<double>(rssKiB) / 1024.0);
            state.SetIterationTime(ms / 1000.0);
            for (const CopiedTable& table : kTables)
                copiedByCommand += Count(targetRaw, table.name);
        };
        auto baseline = [&] {
            targetRaw.Exec(truncate);
            rounds.Add("raw_copy_ms",
                       Milliseconds([&] { baselineOk = BareCopy(sourceRaw, targetRaw, error); }));
            for (const CopiedTable& table : kTables)
                copiedByBaseline += Count(targetRaw, table.name);
        };
        if (rounds.ModuleFirst()) {
            command();
            baseline();
        } else {
            baseline();
            command();
        }
        if (status != 0) {
            std::ifstream err(appDir + "/copy.err");
            const std::string said((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
            state.SkipWithError(
                ("privhost copy exit status " + std::to_string(status) + ": " + said).c_str());
            return;
        }
        if (!baselineOk) {
            state.SkipWithError(("bare COPY failed: " + error).c_str());
            return;
        }
        if (copiedByCommand != rows || copiedByBaseline != rows) {
            state.SkipWithError(("rows on the target: " + std::to_string(copiedByCommand) + " by privhost, " +
                                 std::to_string(copiedByBaseline) + " by COPY, of " + std::to_string(rows))
                                    .c_str());
            return;
        }
        rounds.EndRound("copy_ms", "raw_copy_ms");
    }
    rounds.Report(state);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["copy_ms_per_krow"] = rounds.MedianOf("copy_ms") / (static_cast<double>(rows) / 1000.0);
    state.counters["raw_ms_per_krow"] = rounds.MedianOf("raw_copy_ms") / (static_cast<double>(rows) / 1000.0);
}

} // namespace
} // namespace priv::bench

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const char* url = std::getenv("PRIV_TEST_PG_URL");
    if (!url || !*url) {
        std::cerr << "priv_bench_copy copies to PostgreSQL: set PRIV_TEST_PG_URL to a server's URL\n";
        return 0;
    }
    // The office of the goal, and half of it: the time per thousand rows
    // shows whether the copy stays linear. The smallest is a quick check.
    benchmark::RegisterBenchmark("BM_CopySqliteToPostgres", priv::bench::CopyToPostgres)
        ->Args({100, 10000})
        ->Args({500, 50000})
        ->Args({1000, 100000})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
