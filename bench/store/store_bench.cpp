// Loading and saving a post's permissions, the built-in super administrator
// over ten thousand companies, and the sign-in operator list, on SQLite.
// Every scenario runs beside a raw baseline in the same run: the same rows
// read or written with Qt SQL directly, which is the floor the store's
// statements are measured against.
//
// Memory is counted by replacing the global allocation functions: "live" is
// what a load leaves allocated (the tree and what the store keeps), "peak" the
// most that was allocated at once during the load.
#include "store/operator_store.h"
#include "store/post_store.h"
#include "support/database_fixture.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <malloc.h>
#include <new>
#include <sys/resource.h>

// --- Counting allocator -----------------------------------------------------------------

namespace {
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};

void* CountedAlloc(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const long long now = liveBytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = peakBytes.load(std::memory_order_relaxed);
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
    return p;
}

void CountedFree(void* p) noexcept
{
    if (!p)
        return;
    liveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
} // namespace

void* operator new(std::size_t size)
{
    return CountedAlloc(size);
}
void* operator new[](std::size_t size)
{
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept
{
    CountedFree(p);
}
void operator delete[](void* p) noexcept
{
    CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    CountedFree(p);
}

namespace priv::bench {
namespace {

using test::Backend;
using test::TestDatabase;

long MaxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool Run(TestDatabase& db, const std::string& sql)
{
    if (db.Exec(sql))
        return true;
    std::cerr << "arranging failed: " << sql << "\n";
    return false;
}

// Ten sub-applications of thirty functions each (and a main frame of five),
// written into `folder`; the stored post is granted all of it.
constexpr int kSubApps = 10;
constexpr int kFunctions = 30;

std::string SubAppCode(int app)
{
    char code[8];
    std::snprintf(code, sizeof code, "%02d", app + 2);
    return code;
}
std::string FunctionCode(int app, int function)
{
    return SubAppCode(app) + "001-01-" + std::to_string(100 + function).substr(1) + "-00-00";
}

std::string WriteAppsFile(const QTemporaryDir& folder)
{
    const std::string path = folder.path().toStdString() + "/bench-apps.json";
    std::ofstream out(path);
    out << R"({"versionType": "50", "mainFrame": {"code": "01", "product": "0100", "name": "主框架", "functions": [)";
    for (int f = 0; f < 5; ++f)
        out << (f ? "," : "") << R"({"code": "01001-01-0)" << f << R"(-00-00", "name": "系统功能)" << f
            << R"(", "posts": "SYSTEM", "versions": ""})";
    out << "]}, \"subApps\": [";
    for (int a = 0; a < kSubApps; ++a) {
        out << (a ? "," : "") << R"({"code": ")" << SubAppCode(a) << R"(", "product": ")" << SubAppCode(a)
            << R"(00", "name": "子系统)" << a << R"(", "enabled": true, "functions": [)";
        for (int f = 0; f < kFunctions; ++f)
            out << (f ? "," : "") << R"({"code": ")" << FunctionCode(a, f) << R"(", "name": "业务功能名称)"
                << a << "-" << f << R"(", "posts": "BUSINESS", "versions": ""})";
        out << "]}";
    }
    out << "]}";
    return path;
}

// A raw Qt SQL connection to the benchmark's database file.
class RawConnection {
public:
    explicit RawConnection(const TestDatabase& db)
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase("QSQLITE", "bench_raw");
        connection.setDatabaseName(QString::fromStdString(db.Url().substr(std::string("sqlite:").size())));
        connection.open();
    }
    ~RawConnection() { QSqlDatabase::removeDatabase("bench_raw"); }
    QSqlDatabase Get() const { return QSqlDatabase::database("bench_raw"); }
};

// Reads every row and every column, as the host does.
long long ReadAll(QSqlQuery& query)
{
    long long cells = 0;
    const int columns = query.record().count();
    while (query.next())
        for (int i = 0; i < columns; ++i)
            cells += query.value(i).toString().size() > 0;
    return cells;
}

bool ArrangeCompanies(TestDatabase& db, int count)
{
    return Run(db, "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                   "SELECT i + 1 FROM n WHERE i < " +
                       std::to_string(count) +
                       ") SELECT i, '91110000' || i, '北京某某税务咨询有限公司' || i, 0 FROM n");
}

// The whole grant of the stored post GW00001 over `companies` companies,
// written with set statements (the save benchmark writes it the store's way).
bool ArrangeStoredGrant(TestDatabase& db)
{
    std::string apps = "WITH a(code, name) AS (VALUES ";
    for (int a = 0; a < kSubApps; ++a)
        apps += std::string(a ? "," : "") + "('" + SubAppCode(a) + "', '子系统" + std::to_string(a) + "')";
    apps += ") ";
    std::string functions = "WITH f(app, code, name) AS (VALUES ";
    for (int a = 0; a < kSubApps; ++a)
        for (int f = 0; f < kFunctions; ++f)
            functions += std::string(a || f ? "," : "") + "('" + SubAppCode(a) + "', '" + FunctionCode(a, f) +
                         "', '业务功能名称" + std::to_string(a) + "-" + std::to_string(f) + "')";
    functions += ") ";
    return Run(db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '全部业务')") &&
           Run(db,
               "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT CAST(QYID AS TEXT), "
               "QYMC, 0, '10', QYID FROM XT_QYXX") &&
           Run(db, "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', PRMS_DM FROM QX_PRMSMAP") &&
           Run(db,
               "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) " + apps +
                   "SELECT a.code, a.name, c.PRMS_DM, '20', 0 FROM QX_PRMSMAP c, a WHERE c.PRMS_TYPE='10'") &&
           Run(db, "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) " + functions +
                       "SELECT f.code, f.name, s.PRMS_DM, '30', 0 FROM QX_PRMSMAP s, f WHERE "
                       "s.PRMS_TYPE='20' AND "
                       "s.DYDM=f.app");
}

void CountNodes(const TAbstractPermit& node, long long& nodes)
{
    for (int i = 0; i < node.Count(); ++i) {
        ++nodes;
        CountNodes(*node.Items(i), nodes);
    }
}

std::unique_ptr<TestDatabase> OpenDatabase(const std::string& appsFile)
{
    auto db = std::make_unique<TestDatabase>(Backend::SQLite, [&appsFile](fennix::Settings& settings) {
        if (!appsFile.empty())
            settings.appsFile = appsFile;
    });
    if (!db->Ok())
        std::cerr << "benchmark database: " << db->Error() << "\n";
    return db;
}

// --- Loading a stored post ---------------------------------------------------------------

void BM_LoadStoredPost(benchmark::State& state)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, static_cast<int>(state.range(0))) || !ArrangeStoredGrant(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    TRolesMgr store;
    long long nodes = 0;
    for (auto _ : state) {
        TRolePermissions permissions;
        if (!store.LoadPostPermissions("GW00001", &permissions)) {
            state.SkipWithError("load failed");
            return;
        }
        state.PauseTiming();
        nodes = 0;
        CountNodes(permissions, nodes);
        state.ResumeTiming();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_LoadStoredPost)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadStoredPost_RawSelectBaseline(benchmark::State& state)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, static_cast<int>(state.range(0))) || !ArrangeStoredGrant(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    long long cells = 0;
    for (auto _ : state) {
        QSqlQuery query(raw.Get());
        query.setForwardOnly(true);
        query.exec(
            "SELECT t.PRMS_DM, t.PARENT_DM, t.DYDM, t.DYMC, t.PRMS_TYPE, q.QYSBH, q.QYMC FROM QX_PRMSMAP t "
            "LEFT JOIN XT_QYXX q ON q.QYID=t.KZDM AND t.PRMS_TYPE='10'");
        cells = ReadAll(query);
    }
    state.counters["cells"] = static_cast<double>(cells);
}
BENCHMARK(BM_LoadStoredPost_RawSelectBaseline)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// --- Saving a post's whole grant from empty -------------------------------------------------

void MarkWholeGrant(TRolePermissions& permissions, int companies)
{
    for (int c = 1; c <= companies; ++c) {
        TCompPermit* company = permissions.Mark(std::to_string(c), true);
        company->SetAllGranted(false);
        for (int a = 0; a < kSubApps; ++a) {
            TAppPermit* app = company->Mark(SubAppCode(a), true);
            for (int f = 0; f < kFunctions; ++f)
                app->Mark(FunctionCode(a, f), true);
        }
    }
}

void BM_SaveWholeGrantFromEmpty(benchmark::State& state)
{
    const int companies = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, companies) ||
        !Run(*db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '全部业务')")) {
        state.SkipWithError("arranging failed");
        return;
    }
    TRolesMgr store;
    for (auto _ : state) {
        state.PauseTiming();
        Run(*db, "DELETE FROM QX_PRMSMAP");
        Run(*db, "DELETE FROM QX_ROLEPRMS");
        TRolePermissions permissions;
        store.LoadPostPermissions("GW00001", &permissions);
        MarkWholeGrant(permissions, companies);
        state.ResumeTiming();
        std::string message;
        if (!store.SavePostPermissions(&permissions, message)) {
            state.SkipWithError(("save failed: " + message).c_str());
            return;
        }
    }
    state.counters["rows"] = std::stod(db->Scalar("SELECT COUNT(*) FROM QX_PRMSMAP"));
}
BENCHMARK(BM_SaveWholeGrantFromEmpty)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SaveWholeGrant_RawPreparedInsertBaseline(benchmark::State& state)
{
    const int companies = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    auto db = OpenDatabase(WriteAppsFile(folder));
    if (!db->Ok()) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    for (auto _ : state) {
        state.PauseTiming();
        Run(*db, "DELETE FROM QX_PRMSMAP");
        state.ResumeTiming();
        QSqlDatabase connection = raw.Get();
        connection.transaction();
        QSqlQuery insert(connection);
        insert.prepare(
            "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES(?, '', ?, ?, ?)");
        auto add = [&insert](const QString& code, qlonglong parent, const char* type, qlonglong extension) {
            insert.bindValue(0, code);
            insert.bindValue(1, parent);
            insert.bindValue(2, QString::fromLatin1(type));
            insert.bindValue(3, extension);
            insert.exec();
            return insert.lastInsertId().toLongLong();
        };
        for (int c = 1; c <= companies; ++c) {
            const qlonglong company = add(QString::number(c), 0, "10", c);
            for (int a = 0; a < kSubApps; ++a) {
                const qlonglong app = add(QString::fromStdString(SubAppCode(a)), company, "20", 0);
                for (int f = 0; f < kFunctions; ++f)
                    add(QString::fromStdString(FunctionCode(a, f)), app, "30", 0);
            }
        }
        connection.commit();
    }
    state.counters["rows"] = std::stod(db->Scalar("SELECT COUNT(*) FROM QX_PRMSMAP"));
}
BENCHMARK(BM_SaveWholeGrant_RawPreparedInsertBaseline)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// --- The built-in super administrator over ten thousand companies ---------------------------

void BM_LoadBuiltInSuperAdmin(benchmark::State& state)
{
    auto db = OpenDatabase(std::string()); // the sample applications
    if (!db->Ok() || !ArrangeCompanies(*db, static_cast<int>(state.range(0)))) {
        state.SkipWithError("arranging failed");
        return;
    }
    long long nodes = 0, live = 0, peak = 0;
    for (auto _ : state) {
        TRolesMgr store;
        TRolePermissions permissions;
        const long long before = liveBytes.load();
        peakBytes = before;
        if (!store.LoadPostPermissions("0", &permissions)) {
            state.SkipWithError("load failed");
            return;
        }
        state.PauseTiming();
        live = liveBytes.load() - before;
        peak = peakBytes.load() - before;
        nodes = 0;
        CountNodes(permissions, nodes);
        state.ResumeTiming();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["live_MiB"] = static_cast<double>(live) / (1 << 20);
    state.counters["peak_MiB"] = static_cast<double>(peak) / (1 << 20);
    state.counters["bytes_per_node"] = nodes ? static_cast<double>(live) / static_cast<double>(nodes) : 0.0;
    state.counters["maxrss_MiB"] = static_cast<double>(MaxRssKiB()) / 1024.0;
}
BENCHMARK(BM_LoadBuiltInSuperAdmin)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadBuiltInSuperAdmin_RawCompanySelectBaseline(benchmark::State& state)
{
    auto db = OpenDatabase(std::string());
    if (!db->Ok() || !ArrangeCompanies(*db, static_cast<int>(state.range(0)))) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    long long cells = 0;
    for (auto _ : state) {
        QSqlQuery query(raw.Get());
        query.setForwardOnly(true);
        query.exec("select QYID,QYSBH,QYMC from XT_QYXX where 1=1 and LBDM=0");
        cells = ReadAll(query);
    }
    state.counters["cells"] = static_cast<double>(cells);
}
BENCHMARK(BM_LoadBuiltInSuperAdmin_RawCompanySelectBaseline)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// --- The sign-in operator list ------------------------------------------------------------

const char* kSignInList =
    "SELECT t1.*, (SELECT t2.BM_MC FROM XT_BMXX t2 WHERE t2.BM_DM=t1.BM_DM) as BM_MC, t3.JS_DM, (SELECT "
    "t4.JS_MC FROM QX_ROLES t4 WHERE t4.JS_DM=t3.JS_DM) as JS_MC FROM QX_CZY t1, QX_CZYRROLE t3 WHERE "
    "t1.YXBZ='Y' AND t3.CZY_DM=t1.CZY_DM order by t1.CZY_DM";

bool ArrangeOperators(TestDatabase& db, int count)
{
    const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(count) + ") ";
    return Run(db, "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收管理科')") &&
           Run(db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')") &&
           Run(db,
               "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, DHHM, EMAIL, ZZ, YXBZ, "
               "SFXZSJ, XZSJ, ZHDLSJ, BM_DM) " +
                   n +
                   "SELECT 'op' || i, '操作员' || i, 'X1b#2c$3d%4e', '1', '', '', '010-12345678', "
                   "'op@example.cn', '北京市海淀区', 'Y', 'N', '2030-01-01 00:00', '2024-03-05 08:30', 'B01' "
                   "FROM n") &&
           Run(db, "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) SELECT CZY_DM, 'GW00001' FROM QX_CZY");
}

void BM_ListOperators(benchmark::State& state)
{
    auto db = OpenDatabase(std::string());
    if (!db->Ok() || !ArrangeOperators(*db, static_cast<int>(state.range(0)))) {
        state.SkipWithError("arranging failed");
        return;
    }
    std::size_t listed = 0;
    for (auto _ : state) {
        QueryResult query;
        std::string message;
        if (!CurrentHost().ExecADOQueryMsg(kMainConnection, kSignInList, query, message, true)) {
            state.SkipWithError(message.c_str());
            return;
        }
        TOperatorInfoList list;
        list.reserve(static_cast<std::size_t>(query.RecordCount()));
        for (; !query.Eof(); query.Next()) {
            OperatorInfo info = ReadOperatorRow(query);
            info.DepartmentName = RecordText(query.AsString("SSBM"));
            info.DepartmentCode.clear();
            list.push_back(std::move(info));
        }
        listed = list.size();
    }
    state.counters["operators"] = static_cast<double>(listed);
}
BENCHMARK(BM_ListOperators)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ListOperators_RawSelectBaseline(benchmark::State& state)
{
    auto db = OpenDatabase(std::string());
    if (!db->Ok() || !ArrangeOperators(*db, static_cast<int>(state.range(0)))) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    long long cells = 0;
    for (auto _ : state) {
        QSqlQuery query(raw.Get());
        query.setForwardOnly(true);
        query.exec(kSignInList);
        cells = ReadAll(query);
    }
    state.counters["cells"] = static_cast<double>(cells);
}
BENCHMARK(BM_ListOperators_RawSelectBaseline)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace priv::bench

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
