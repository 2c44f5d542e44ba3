// The privilege assignment window on SQLite at the scale of a large
// installation: opening it on a big created post beside the store's load of
// the same post, switching the shown company, ticking the check-all box over
// ten thousand companies, and saving one change beside a whole save.
//
// Goals: the window's own work on opening at most half the store's load
// ("window_per_load" <= 0.5, on this thread's processor time); a company switch under 5 ms; the check-all box
// under 100 ms; a one-change save writes one row and takes a small fraction
// of a whole save.
#include "assign/privilege_assign_window.h"
#include "store/permit.h"
#include "store/post_store.h"
#include "support/database_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>

namespace priv::bench {
namespace {

using test::Backend;
using test::TestDatabase;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// This thread's processor time: the database runs in it too, and it does
// not count what other processes on a busy machine take.
double ThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string SubAppCode(int app)
{
    char code[8];
    std::snprintf(code, sizeof code, "%02d", app + 2);
    return code;
}
std::string FunctionCode(int app, int function)
{
    char code[32];
    std::snprintf(code, sizeof code, "%s001-01-%02d-00-00", SubAppCode(app).c_str(), function);
    return code;
}

// `subApps` sub-applications of `functions` functions each, and a main frame
// of five.
std::string WriteAppsFile(const QTemporaryDir& folder, int subApps, int functions)
{
    const std::string path = folder.path().toStdString() + "/bench-apps.json";
    std::ofstream out(path);
    out << R"({"versionType": "50", "mainFrame": {"code": "01", "product": "0100", "name": "主框架", "functions": [)";
    for (int f = 0; f < 5; ++f)
        out << (f ? "," : "") << R"({"code": "01001-01-0)" << f << R"(-00-00", "name": "系统功能)" << f
            << R"(", "posts": "SYSTEM", "versions": ""})";
    out << "]}, \"subApps\": [";
    for (int a = 0; a < subApps; ++a) {
        out << (a ? "," : "") << R"({"code": ")" << SubAppCode(a) << R"(", "product": ")" << SubAppCode(a)
            << R"(00", "name": "子系统)" << a << R"(", "functions": [)";
        for (int f = 0; f < functions; ++f)
            out << (f ? "," : "") << R"({"code": ")" << FunctionCode(a, f) << R"(", "name": "业务功能名称)"
                << a << "-" << f << R"(", "posts": "BUSINESS", "versions": ""})";
        out << "]}";
    }
    out << "]}";
    return path;
}

bool Run(TestDatabase& db, const std::string& sql)
{
    if (db.Exec(sql))
        return true;
    std::cerr << "arranging failed: " << sql << "\n";
    return false;
}

bool ArrangeCompanies(TestDatabase& db, int count)
{
    return Run(db, "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                   "SELECT i + 1 FROM n WHERE i < " +
                       std::to_string(count) +
                       ") SELECT i, '91110000' || i, '北京某某税务咨询有限公司' || i, 0 FROM n");
}

// GW00001 granted the first `companies` companies, each with every function
// of every sub-application stored row by row.
bool ArrangeStoredGrant(TestDatabase& db, int companies, int subApps, int functions)
{
    std::string apps = "WITH a(code, name) AS (VALUES ";
    for (int a = 0; a < subApps; ++a)
        apps += std::string(a ? "," : "") + "('" + SubAppCode(a) + "', '子系统" + std::to_string(a) + "')";
    apps += ") ";
    std::string funcs = "WITH f(app, code, name) AS (VALUES ";
    for (int a = 0; a < subApps; ++a)
        for (int f = 0; f < functions; ++f)
            funcs += std::string(a || f ? "," : "") + "('" + SubAppCode(a) + "', '" + FunctionCode(a, f) +
                     "', '业务功能名称" + std::to_string(a) + "-" + std::to_string(f) + "')";
    funcs += ") ";
    return Run(db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '全部业务')") &&
           Run(db,
               "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT CAST(QYID AS TEXT), "
               "QYMC, 0, '10', QYID FROM XT_QYXX WHERE QYID <= " +
                   std::to_string(companies)) &&
           Run(db, "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', PRMS_DM FROM QX_PRMSMAP") &&
           Run(db,
               "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) " + apps +
                   "SELECT a.code, a.name, c.PRMS_DM, '20', 0 FROM QX_PRMSMAP c, a WHERE c.PRMS_TYPE='10'") &&
           Run(db, "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) " + funcs +
                       "SELECT f.code, f.name, s.PRMS_DM, '30', 0 FROM QX_PRMSMAP s, f WHERE "
                       "s.PRMS_TYPE='20' AND "
                       "s.DYDM=f.app");
}

std::unique_ptr<TestDatabase> OpenDatabase(const std::string& appsFile)
{
    auto db = std::make_unique<TestDatabase>(
        Backend::SQLite, [&appsFile](fennix::Settings& settings) { settings.appsFile = appsFile; });
    if (!db->Ok())
        std::cerr << "benchmark database: " << db->Error() << "\n";
    return db;
}

// Opens the window on GW00001 and lets it draw its first frame.
std::unique_ptr<TfrmPrivilegeAssignEx> OpenWindow()
{
    auto window = std::make_unique<TfrmPrivilegeAssignEx>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->PostCode = "GW00001";
    if (!window->Prepare())
        return nullptr;
    window->show();
    QApplication::processEvents();
    window->repaint();
    return window;
}

QTreeView* CompanyList(QWidget& window)
{
    return window.findChild<QTreeView*>(QStringLiteral("vstCompList"));
}

// --- Opening ---------------------------------------------------------------------

void BM_OpenWindowOnALargePost(benchmark::State& state)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder, 10, 30));
    if (!db->Ok() || !ArrangeCompanies(*db, 10000) || !ArrangeStoredGrant(*db, 1000, 10, 30)) {
        state.SkipWithError("arranging failed");
        return;
    }
    double openMs = 0;
    double loadMs = 0;
    double openCpuMs = 0;
    double loadCpuMs = 0;
    for (auto _ : state) {
        // The store's load alone first, then the window that makes the same
        // load, so that both meet the database in the same state.
        state.PauseTiming();
        {
            TRolesMgr store;
            TRolePermissions permissions;
            const Clock::time_point loadStart = Clock::now();
            const double loadStartCpu = ThreadCpuMilliseconds();
            store.LoadPostPermissions("GW00001", &permissions);
            loadMs += MillisecondsSince(loadStart);
            loadCpuMs += ThreadCpuMilliseconds() - loadStartCpu;
        }
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        const double startCpu = ThreadCpuMilliseconds();
        std::unique_ptr<TfrmPrivilegeAssignEx> window = OpenWindow();
        if (!window) {
            state.SkipWithError("prepare failed");
            return;
        }
        openMs += MillisecondsSince(start);
        openCpuMs += ThreadCpuMilliseconds() - startCpu;
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
    // The window's own work is the opening less the store's load within it.
    const double runs = static_cast<double>(state.iterations());
    state.counters["open_ms"] = openMs / runs;
    state.counters["load_ms"] = loadMs / runs;
    state.counters["open_cpu_ms"] = openCpuMs / runs;
    state.counters["load_cpu_ms"] = loadCpuMs / runs;
    state.counters["window_cpu_ms"] = (openCpuMs - loadCpuMs) / runs;
    state.counters["window_per_load"] = (openCpuMs - loadCpuMs) / loadCpuMs;
}
BENCHMARK(BM_OpenWindowOnALargePost)->Unit(benchmark::kMillisecond)->Iterations(5);

// --- Switching the shown company -----------------------------------------------

void BM_SwitchShownCompany(benchmark::State& state)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder, 20, 50));
    if (!db->Ok() || !ArrangeCompanies(*db, 100) || !ArrangeStoredGrant(*db, 2, 20, 50)) {
        state.SkipWithError("arranging failed");
        return;
    }
    std::unique_ptr<TfrmPrivilegeAssignEx> window = OpenWindow();
    QTreeView* list = window ? CompanyList(*window) : nullptr;
    if (!list) {
        state.SkipWithError("opening failed");
        return;
    }
    // Both companies hold their functions row by row, so storing the shown
    // one marks every node of it.
    list->setCurrentIndex(list->model()->index(0, 0));
    int row = 0;
    for (auto _ : state) {
        row = 1 - row;
        list->setCurrentIndex(list->model()->index(row, 0));
        QApplication::processEvents();
    }
    if (window->ShownCompany() != row)
        state.SkipWithError("the switch did not show the company");
}
BENCHMARK(BM_SwitchShownCompany)->Unit(benchmark::kMillisecond);

// --- The check-all box -----------------------------------------------------------

void BM_CheckAllOverTenThousandCompanies(benchmark::State& state)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder, 10, 30));
    if (!db->Ok() || !ArrangeCompanies(*db, 10000) ||
        !Run(*db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '全部业务')")) {
        state.SkipWithError("arranging failed");
        return;
    }
    std::unique_ptr<TfrmPrivilegeAssignEx> window = OpenWindow();
    auto* box = window ? window->findChild<QCheckBox*>(QStringLiteral("cbxCompList")) : nullptr;
    if (!box) {
        state.SkipWithError("opening failed");
        return;
    }
    // Every iteration ticks every company of a post that has none, then
    // (untimed) takes the ticks away again.
    for (auto _ : state) {
        box->click();
        QApplication::processEvents();
        state.PauseTiming();
        if (window->Permissions().Count() != 10000)
            state.SkipWithError("not every company was added");
        box->click();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CheckAllOverTenThousandCompanies)->Unit(benchmark::kMillisecond)->Iterations(5);

// --- Saving one change -------------------------------------------------------------

std::size_t WritingStatements()
{
    std::size_t count = 0;
    for (const std::string& statement : fennix::ExecutedStatements())
        if (statement.rfind("INSERT", 0) == 0 || statement.rfind("DELETE", 0) == 0 ||
            statement.rfind("UPDATE", 0) == 0)
            ++count;
    return count;
}

void BM_SaveOneUntickedFunction(benchmark::State& state)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder, 10, 30));
    if (!db->Ok() || !ArrangeCompanies(*db, 10000) || !ArrangeStoredGrant(*db, 1000, 10, 30)) {
        state.SkipWithError("arranging failed");
        return;
    }
    std::unique_ptr<TfrmPrivilegeAssignEx> window = OpenWindow();
    QTreeView* list = window ? CompanyList(*window) : nullptr;
    if (!list) {
        state.SkipWithError("opening failed");
        return;
    }
    list->setCurrentIndex(list->model()->index(500, 0));
    auto* save = window->findChild<QToolButton*>(QStringLiteral("tBtnSave"));
    std::size_t writes = 0;
    int next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Another function of the shown company each time.
        TMVCNode* function = window->AppFuncsTree().Model()->Root().ChildAt(3)->ChildAt(next++);
        window->AppFuncsTree().Model()->UserChecked(function, TCheckState::Unchecked);
        fennix::ClearExecutedStatements();
        fennix::ClearShownMessages();
        state.ResumeTiming();
        save->click();
        state.PauseTiming();
        writes = WritingStatements();
        const auto shown = fennix::ShownMessages();
        if (shown.empty() || shown.back().kind != fennix::MessageKind::Info)
            state.SkipWithError("the save failed");
        state.ResumeTiming();
    }
    state.counters["writing_statements"] = static_cast<double>(writes);
}
BENCHMARK(BM_SaveOneUntickedFunction)->Unit(benchmark::kMillisecond)->Iterations(4);

// The whole grant of the same size written by the store from empty: what a
// save of everything costs.
void BM_SaveWholeGrantBaseline(benchmark::State& state)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder, 10, 30));
    if (!db->Ok() || !ArrangeCompanies(*db, 1000) ||
        !Run(*db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '全部业务')")) {
        state.SkipWithError("arranging failed");
        return;
    }
    TRolesMgr store;
    std::size_t writes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Run(*db, "DELETE FROM QX_PRMSMAP");
        Run(*db, "DELETE FROM QX_ROLEPRMS");
        TRolePermissions permissions;
        store.LoadPostPermissions("GW00001", &permissions);
        for (int c = 1; c <= 1000; ++c) {
            TAbstractPermit* company = permissions.Mark(std::to_string(c), true);
            company->SetAllGranted(false);
            for (int a = 0; a < 10; ++a) {
                TAbstractPermit* app = company->Mark(SubAppCode(a), true);
                for (int f = 0; f < 30; ++f)
                    app->Mark(FunctionCode(a, f), true);
            }
        }
        fennix::ClearExecutedStatements();
        state.ResumeTiming();
        std::string message;
        if (!store.SavePostPermissions(&permissions, message)) {
            state.SkipWithError(("save failed: " + message).c_str());
            return;
        }
        state.PauseTiming();
        writes = WritingStatements();
        state.ResumeTiming();
    }
    state.counters["writing_statements"] = static_cast<double>(writes);
}
BENCHMARK(BM_SaveWholeGrantBaseline)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace priv::bench

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
