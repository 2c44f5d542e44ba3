// Filling the operator window's list with a hundred thousand operators, on
// SQLite, beside the floor: the bare SELECT of the same rows read with Qt SQL
// directly. The window is shown (offscreen), and a fill counts until the list
// has laid out and painted its first screen of rows.
#include "admin/operator_list_model.h"
#include "admin/operator_window.h"
#include "support/database_fixture.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTreeView>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace priv::bench {
namespace {

using test::Backend;
using test::TestDatabase;

// The window's statement with both filters empty.
const char* kOperatorList =
    "SELECT t1.*, (SELECT t2.BM_MC FROM XT_BMXX t2 WHERE t2.BM_DM=t1.BM_DM) as BM_MC, t3.JS_DM, (SELECT "
    "t4.JS_MC FROM QX_ROLES t4 WHERE t4.JS_DM=t3.JS_DM) as JS_MC FROM QX_CZY t1, QX_CZYRROLE t3 WHERE "
    "t3.CZY_DM=t1.CZY_DM";

bool Arrange(TestDatabase& db, int count)
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
    if (!db->Ok() || !Arrange(*db, static_cast<int>(state.range(0)))) {
        state.SkipWithError("arranging failed");
        return nullptr;
    }
    return db;
}

void BM_FillOperatorWindow(benchmark::State& state)
{
    auto db = OpenArranged(state);
    if (!db)
        return;
    auto* window = new Tfrm_Operator;
    window->resize(800, 600);
    window->show();
    QApplication::processEvents();
    auto* list = window->findChild<QTreeView*>("cxTLOperator");
    for (auto _ : state) {
        if (!window->LoadOperators({}, {})) {
            state.SkipWithError("the list query failed");
            break;
        }
        list->repaint();
        QApplication::processEvents();
    }
    state.counters["operators"] = static_cast<double>(window->ListModel().rowCount());
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_FillOperatorWindow)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FillOperatorWindow_RawSelectBaseline(benchmark::State& state)
{
    auto db = OpenArranged(state);
    if (!db)
        return;
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase("QSQLITE", "bench_raw");
        connection.setDatabaseName(QString::fromStdString(db->Url().substr(std::string("sqlite:").size())));
        connection.open();
        long long cells = 0;
        for (auto _ : state) {
            QSqlQuery query(connection);
            query.setForwardOnly(true);
            query.exec(kOperatorList);
            const int columns = query.record().count();
            cells = 0;
            while (query.next())
                for (int i = 0; i < columns; ++i)
                    cells += query.value(i).toString().size() > 0;
        }
        state.counters["cells"] = static_cast<double>(cells);
    }
    QSqlDatabase::removeDatabase("bench_raw");
}
BENCHMARK(BM_FillOperatorWindow_RawSelectBaseline)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

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
