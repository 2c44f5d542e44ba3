// The operation log page on a log of a million rows: opening it until its
// first rows are painted, and applying a filter, beside the same first-page
// SELECT sent through SQLite's C API or libpq on a connection of their own,
// every cell read and nothing else done.
#include "desktop_setup.h"
#include "operation_log_model.h"
#include "operation_log_page.h"

#include "support/database_fixture.h"
#include "support/operation_log_rows.h"
#include "support/raw_client.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace {

using priv::test::Backend;
using priv::test::TestDatabase;
using privhost::OperationLogModel;
using privhost::TfrmOperationLog;

constexpr long long kLogRows = 1000000;

const std::string kFirstPage =
    "SELECT XH, CZSJ_UTC, CZSJ, GZZ, XTYH, CZY_DM, SJLX, DXLX, DXDM, XQ, JG, QHXZ, HXZ "
    "FROM QX_CZRZ";
const std::string kPageEnd = " ORDER BY XH DESC LIMIT " + std::to_string(OperationLogModel::kPageRows);

// The filters measured: what the reader types, and the condition it becomes.
struct FilterCase {
    const char* name;
    const char* since;
    const char* until;
    const char* operatorCode;
    const char* where;
};
const FilterCase kFilters[] = {
    {"operator", "", "", "lina", " WHERE UPPER(CZY_DM)=UPPER('lina')"},
    {"since_operator", "2024-06-01", "", "LINA",
     " WHERE CZSJ>='2024-06-01 00:00:00' AND UPPER(CZY_DM)=UPPER('LINA')"},
    // The oldest rows, at the far end of the newest-first order.
    {"until_early", "", "2024-01-02", "", " WHERE CZSJ<='2024-01-02 23:59:59'"},
};

// The same statement on the client library, every cell read; rows read, -1
// on failure.
long long ReadRaw(priv::bench::RawClient& client, const std::string& sql)
{
    long long rows = 0;
    std::size_t bytes = 0;
    const bool read = client.Query(sql, [&](const priv::bench::RawRow& row) {
        for (int c = 0; c < row.Columns(); ++c) {
            benchmark::DoNotOptimize(row.Text(c));
            bytes += static_cast<std::size_t>(row.Length(c));
        }
        ++rows;
    });
    benchmark::DoNotOptimize(bytes);
    return read ? rows : -1;
}

std::unique_ptr<TfrmOperationLog> ShownPage()
{
    auto page = std::make_unique<TfrmOperationLog>();
    page->resize(1180, 640);
    page->show();
    // Painted: the first rows are on the screen.
    page->repaint();
    return page;
}

void OpenPage(benchmark::State& state)
{
    for (auto _ : state) {
        std::unique_ptr<TfrmOperationLog> page = ShownPage();
        if (page->Model()->rowCount() != OperationLogModel::kPageRows)
            state.SkipWithError("the first page is not shown");
        state.PauseTiming();
        page.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void FirstPageRaw(benchmark::State& state, const std::string& url, const std::string& where)
{
    priv::bench::RawClient client(url);
    if (!client.Ok()) {
        state.SkipWithError("the client library cannot connect");
        return;
    }
    for (auto _ : state)
        if (ReadRaw(client, kFirstPage + where + kPageEnd) != OperationLogModel::kPageRows)
            state.SkipWithError("the first page is not a page");
}

void ApplyFilter(benchmark::State& state, const FilterCase& filter)
{
    std::unique_ptr<TfrmOperationLog> page = ShownPage();
    auto* since = page->findChild<QLineEdit*>(QStringLiteral("edtSince"));
    auto* until = page->findChild<QLineEdit*>(QStringLiteral("edtUntil"));
    auto* code = page->findChild<QLineEdit*>(QStringLiteral("edtOperator"));
    for (auto _ : state) {
        state.PauseTiming();
        page->ResetFilter();
        since->setText(QString::fromUtf8(filter.since));
        until->setText(QString::fromUtf8(filter.until));
        code->setText(QString::fromUtf8(filter.operatorCode));
        state.ResumeTiming();
        page->ApplyFilter();
        page->repaint();
        if (page->Model()->rowCount() != OperationLogModel::kPageRows)
            state.SkipWithError("the filter's first page is not shown");
    }
}

// The database of the benchmarks running now: a million rows, made when the
// first benchmark of its backend starts (the host opens one database at a
// time, and the benchmarks run in the order they were registered).
std::unique_ptr<TestDatabase>& Current()
{
    static std::unique_ptr<TestDatabase> database;
    return database;
}

bool Arrange(Backend backend)
{
    std::unique_ptr<TestDatabase>& db = Current();
    if (db && db->GetBackend() == backend)
        return true;
    db.reset();
    const std::string name = priv::test::BackendName(backend);
    db = std::make_unique<TestDatabase>(backend);
    if (!db->Ok()) {
        std::cerr << name << ": " << db->Error() << "\n";
        db.reset();
        return false;
    }
    const auto started = std::chrono::steady_clock::now();
    if (!db->Exec(priv::test::GeneratedLogRows(backend, 1, kLogRows)) ||
        (backend == Backend::PostgreSQL && !db->Exec("ANALYZE QX_CZRZ"))) {
        std::cerr << name << ": the log could not be arranged\n";
        db.reset();
        return false;
    }
    std::cerr << name << ": " << kLogRows << " rows arranged in "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() << " s\n";
    return true;
}

// Runs `body` on the backend's database, once it is there.
template <class Body> void OnBackend(benchmark::State& state, Backend backend, Body body)
{
    if (!Arrange(backend)) {
        state.SkipWithError("the database could not be arranged");
        return;
    }
    body(state, Current()->Url());
}

void Register(Backend backend)
{
    const std::string name = priv::test::BackendName(backend);
    benchmark::RegisterBenchmark(("OpenPage/" + name).c_str(), [backend](benchmark::State& state) {
        OnBackend(state, backend, [](benchmark::State& s, const std::string&) { OpenPage(s); });
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("FirstPageRaw/" + name).c_str(), [backend](benchmark::State& state) {
        OnBackend(state, backend,
                  [](benchmark::State& s, const std::string& url) { FirstPageRaw(s, url, ""); });
    })->Unit(benchmark::kMillisecond);
    for (const FilterCase& filter : kFilters) {
        benchmark::RegisterBenchmark(
            ("ApplyFilter/" + std::string(filter.name) + "/" + name).c_str(),
            [backend, &filter](benchmark::State& state) {
                OnBackend(state, backend,
                          [&filter](benchmark::State& s, const std::string&) { ApplyFilter(s, filter); });
            })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("FilterFirstPageRaw/" + std::string(filter.name) + "/" + name).c_str(),
                                     [backend, &filter](benchmark::State& state) {
                                         OnBackend(state, backend,
                                                   [&filter](benchmark::State& s, const std::string& url) {
                                                       FirstPageRaw(s, url, filter.where);
                                                   });
                                     })
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // The page is a real window; without a display it paints off screen.
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    privhost::InstallDesktopFonts();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const Backend backend : priv::test::AvailableBackends())
        Register(backend);
    benchmark::RunSpecifiedBenchmarks();
    Current().reset();
    benchmark::Shutdown();
    return 0;
}
