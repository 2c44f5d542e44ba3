// Filling the operator window's list with a hundred thousand operators, on
// SQLite, beside the floor: the window's own statement with both filters
// empty, sent through SQLite's C API as the host sends it, every cell read.
// The window is shown (offscreen), and a fill counts until the list has laid
// out and painted its first screen of rows.
#include "admin/operator_list_model.h"
#include "admin/operator_window.h"
#include "support/bench_data.h"
#include "support/bench_main.h"
#include "support/raw_client.h"
#include "support/rounds.h"

#include <QApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace priv::bench {
namespace {

// The window's statement with both filters empty.
const char* kOperatorList =
    "SELECT t1.*, (SELECT t2.BM_MC FROM XT_BMXX t2 WHERE t2.BM_DM=t1.BM_DM) as BM_MC, t3.JS_DM, (SELECT "
    "t4.JS_MC FROM QX_ROLES t4 WHERE t4.JS_DM=t3.JS_DM) as JS_MC FROM QX_CZY t1, QX_CZYRROLE t3 WHERE "
    "t3.CZY_DM=t1.CZY_DM";

bool ArrangeOperators(TestDatabase& db, int count)
{
    const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(count) + ") ";
    // Codes in the reverse of their reading order, so the list really sorts.
    return db.Exec("INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收管理科')") &&
           db.Exec("INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')") &&
           db.Exec(
               "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, DHHM, EMAIL, ZZ, YXBZ, "
               "SFXZSJ, XZSJ, ZHDLSJ, BM_DM) " +
               n + "SELECT 'op' || (" + std::to_string(count) +
               " - i), '操作员' || i, 'X1b#2c$3d%4e', '1', '', '', '010-12345678', 'op@example.cn', "
               "'北京市海淀区', 'Y', 'N', '2030-01-01 00:00', '2024-03-05 08:30', "
               "CASE WHEN i % 3 = 0 THEN '' ELSE 'B01' END FROM n") &&
           db.Exec("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) SELECT CZY_DM, CASE WHEN CZY_DM LIKE '%7' THEN "
                   "'BUSINESS' ELSE 'GW00001' END FROM QX_CZY");
}

std::unique_ptr<TestDatabase> OpenArranged(benchmark::State& state)
{
    auto db = std::make_unique<TestDatabase>(Backend::SQLite);
    if (!db->Ok() || !ArrangeOperators(*db, static_cast<int>(state.range(0)))) {
        state.SkipWithError("arranging failed");
        return nullptr;
    }
    return db;
}

// Rounds of the window's fill interleaved with the baseline, medians
// reported (bench/support/rounds.h).
void BM_FillOperatorWindow(benchmark::State& state)
{
    auto db = OpenArranged(state);
    if (!db)
        return;
    RawClient raw(db->Url());
    if (!raw.Ok()) {
        state.SkipWithError(raw.Error().c_str());
        return;
    }
    auto* window = new Tfrm_Operator;
    window->resize(800, 600);
    window->show();
    QApplication::processEvents();
    auto* list = window->findChild<QTreeView*>("cxTLOperator");
    Rounds rounds;
    long long bytes = 0;
    for (auto _ : state) {
        bool filled = false;
        auto fill = [&] {
            const double ms = Milliseconds([&] {
                filled = window->LoadOperators({}, {});
                list->repaint();
                QApplication::processEvents();
            });
            rounds.Add("fill_ms", ms);
            state.SetIterationTime(ms / 1000.0);
        };
        auto baseline = [&] {
            rounds.Add("raw_read_ms", Milliseconds([&] { bytes = raw.ReadEveryCell({kOperatorList}); }));
        };
        if (rounds.ModuleFirst()) {
            fill();
            baseline();
        } else {
            baseline();
            fill();
        }
        if (!filled || bytes < 0) {
            state.SkipWithError(filled ? raw.Error().c_str() : "the list query failed");
            break;
        }
        rounds.EndRound("fill_ms", "raw_read_ms");
    }
    rounds.Report(state);
    state.counters["operators"] = static_cast<double>(window->ListModel().rowCount());
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_FillOperatorWindow)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace priv::bench

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return priv::bench::RunBenchmarks(argc, argv);
}
