// Loading and saving a post's permissions, the built-in super administrator
// over ten thousand companies, and the sign-in operator list, on SQLite and,
// when PRIV_TEST_PG_URL names a server, on PostgreSQL. Every scenario measures
// its baseline in the same run and reports "ratio", the store's time over the
// baseline's (the best of the iterations of each): the same rows read or
// written with Qt SQL directly on a connection of their own, which is the
// floor the store's statements are measured against.
//
// Memory is counted by replacing the global allocation functions: "live" is
// what a load leaves allocated (the tree and what the store keeps), "peak" the
// most that was allocated at once during the load.
#include "store/operator_store.h"
#include "store/post_store.h"
#include "support/bench_data.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
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

long MaxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

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

long long RawSelect(const RawConnection& raw, const char* sql)
{
    QSqlQuery query(raw.Get());
    query.setForwardOnly(true);
    if (!query.exec(QString::fromUtf8(sql)))
        return -1;
    return ReadAll(query);
}

void CountNodes(const TAbstractPermit& node, long long& nodes)
{
    for (int i = 0; i < node.Count(); ++i) {
        ++nodes;
        CountNodes(*node.Items(i), nodes);
    }
}

// The best time of the iterations of the measured code and of its baseline.
struct Best {
    double measured = std::numeric_limits<double>::infinity();
    double baseline = std::numeric_limits<double>::infinity();

    void Report(benchmark::State& state, const char* measuredName, const char* baselineName) const
    {
        state.counters[measuredName] = measured;
        state.counters[baselineName] = baseline;
        state.counters["ratio"] = baseline > 0 ? measured / baseline : 0.0;
    }
};

// --- Loading a stored post ---------------------------------------------------------------

// Every node of the post's tree in one SELECT: what the load turns into nodes.
const char* kStoredRowsSelect =
    "SELECT t.PRMS_DM, t.PARENT_DM, t.DYDM, t.DYMC, t.PRMS_TYPE, q.QYSBH, q.QYMC FROM QX_PRMSMAP t "
    "LEFT JOIN XT_QYXX q ON q.QYID=t.KZDM AND t.PRMS_TYPE='10'";

void LoadStoredPost(benchmark::State& state, Backend backend)
{
    const int companies = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    auto db = OpenDatabase(backend, WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, companies) ||
        !ArrangeStoredGrant(*db, "GW00001", {.detailed = companies}) || !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    TRolesMgr store;
    long long nodes = 0;
    long long cells = 0;
    double hostSelect = std::numeric_limits<double>::infinity();
    Best best;
    for (auto _ : state) {
        TRolePermissions permissions;
        bool loaded = false;
        const double load =
            Milliseconds([&] { loaded = store.LoadPostPermissions("GW00001", &permissions); });
        state.SetIterationTime(load / 1000.0);
        if (!loaded) {
            state.SkipWithError("load failed");
            return;
        }
        best.measured = std::min(best.measured, load);
        best.baseline =
            std::min(best.baseline, Milliseconds([&] { cells = RawSelect(raw, kStoredRowsSelect); }));
        // The same rows through the host's statement runner, in one statement.
        hostSelect = std::min(hostSelect, Milliseconds([&] {
                                  QueryResult rows;
                                  std::string message;
                                  CurrentHost().ExecADOQueryMsg(kMainConnection, kStoredRowsSelect, rows,
                                                                message, true);
                              }));
        nodes = 0;
        CountNodes(permissions, nodes);
    }
    best.Report(state, "load_ms", "raw_select_ms");
    state.counters["host_select_ms"] = hostSelect;
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["cells"] = static_cast<double>(cells);
}

// --- Saving a post's grant from empty --------------------------------------------------------

// Every company with every sub-application and function named, the
// companies not wholly granted: the store writes every node as a row.
void MarkGrant(TRolePermissions& permissions, int companies)
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

// The same rows as the store's save, with the same columns and the post's
// links, written with prepared statements in one transaction; each new code
// is taken back as the database gives it (RETURNING on PostgreSQL, the last
// row id on SQLite), as the children need it.
class RawSave {
public:
    RawSave(const RawConnection& raw, bool postgres) : connection_(raw.Get()), postgres_(postgres) {}

    bool Write(const TRolePermissions& permissions)
    {
        connection_.transaction();
        insert_ = QSqlQuery(connection_);
        link_ = QSqlQuery(connection_);
        ok_ = insert_.prepare(QString::fromLatin1("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, "
                                                  "KZDM) VALUES(?, ?, ?, ?, ?)") +
                              (postgres_ ? QStringLiteral(" RETURNING PRMS_DM") : QString())) &&
              link_.prepare(QStringLiteral("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES(?, ?)"));
        post_ = QString::fromStdString(permissions.PostCode());
        if (ok_)
            WriteChildren(permissions, 0);
        insert_ = QSqlQuery();
        link_ = QSqlQuery();
        return connection_.commit() && ok_;
    }

private:
    void WriteChildren(const TAbstractPermit& parent, qlonglong parentCode)
    {
        for (int i = 0; ok_ && i < parent.Count(); ++i) {
            const TAbstractPermit& child = *parent.Items(i);
            const bool company = child.PermitType() == "10";
            insert_.bindValue(0, QString::fromStdString(child.GetCode()));
            insert_.bindValue(1, QString::fromStdString(child.GetName()));
            insert_.bindValue(2, parentCode);
            insert_.bindValue(3, QString::fromStdString(child.PermitType()));
            insert_.bindValue(4, company ? QString::fromStdString(child.GetCode()).toLongLong() : 0);
            ok_ = insert_.exec();
            qlonglong code = 0;
            if (ok_ && postgres_)
                code = insert_.next() ? insert_.value(0).toLongLong() : 0;
            else if (ok_)
                code = insert_.lastInsertId().toLongLong();
            if (ok_ && company) {
                link_.bindValue(0, post_);
                link_.bindValue(1, code);
                ok_ = link_.exec();
            }
            if (ok_ && !child.AllGranted())
                WriteChildren(child, code);
        }
    }

    QSqlDatabase connection_;
    bool postgres_;
    QSqlQuery insert_;
    QSqlQuery link_;
    QString post_;
    bool ok_ = true;
};

void SaveGrant(benchmark::State& state, Backend backend)
{
    const int companies = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    auto db = OpenDatabase(backend, WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, companies) ||
        !Arrange(*db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '全部业务')") || !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    TRolesMgr store;
    Best best;
    std::string rows;
    std::string baselineRows;
    for (auto _ : state) {
        db->ExecAll({"DELETE FROM QX_PRMSMAP", "DELETE FROM QX_ROLEPRMS"});
        TRolePermissions permissions;
        store.LoadPostPermissions("GW00001", &permissions);
        MarkGrant(permissions, companies);
        std::string message;
        bool saved = false;
        const double save = Milliseconds([&] { saved = store.SavePostPermissions(&permissions, message); });
        state.SetIterationTime(save / 1000.0);
        if (!saved) {
            state.SkipWithError(("save failed: " + message).c_str());
            return;
        }
        rows = db->Scalar("SELECT COUNT(*) FROM QX_PRMSMAP") + "/" +
               db->Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS");
        best.measured = std::min(best.measured, save);

        db->ExecAll({"DELETE FROM QX_PRMSMAP", "DELETE FROM QX_ROLEPRMS"});
        TRolePermissions same;
        same.SetPostCode("GW00001");
        MarkGrant(same, companies);
        RawSave baseline(raw, db->IsPostgres());
        bool written = false;
        best.baseline = std::min(best.baseline, Milliseconds([&] { written = baseline.Write(same); }));
        baselineRows = db->Scalar("SELECT COUNT(*) FROM QX_PRMSMAP") + "/" +
                       db->Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS");
        if (!written || baselineRows != rows) {
            state.SkipWithError(
                ("the baseline wrote other rows: " + baselineRows + " against " + rows).c_str());
            return;
        }
    }
    best.Report(state, "save_ms", "raw_insert_ms");
    state.counters["rows"] = std::stod(rows.substr(0, rows.find('/')));
    state.counters["ms_per_company"] = best.measured / companies;
}

// --- The built-in super administrator over ten thousand companies ---------------------------

// The floor of the super administrator's load: its companies read raw, and
// as many nodes as its tree has (`functions`: the functions of each of a
// company's sub-applications), built with texts shared as the store shares
// them.
long long BuildSameNodes(const RawConnection& raw, const std::vector<int>& functions,
                         TRolePermissions& permissions)
{
    QSqlQuery query(raw.Get());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select QYID,QYSBH,QYMC from XT_QYXX where 1=1 and LBDM=0")))
        return -1;
    std::vector<std::shared_ptr<const TAppPermit::Texts>> appTexts;
    std::vector<std::vector<std::shared_ptr<const TAppFuncPermit::Texts>>> functionTexts;
    for (std::size_t a = 0; a < functions.size(); ++a) {
        appTexts.push_back(PermitTexts<3>::Make({std::to_string(a), std::to_string(a) + "00", "子系统"}));
        functionTexts.emplace_back();
        for (int f = 0; f < functions[a]; ++f)
            functionTexts.back().push_back(PermitTexts<2>::Make({std::to_string(f), "业务功能名称"}));
    }
    long long nodes = 0;
    while (query.next()) {
        TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
        company->SetTexts(query.value(0).toString().toStdString(), query.value(1).toString().toStdString(),
                          query.value(2).toString().toStdString());
        ++nodes;
        company->ReserveChildren(functions.size());
        for (std::size_t a = 0; a < functions.size(); ++a) {
            TAppPermit* app = company->AddSubApp(kPermitUnchanged);
            app->ShareTexts(appTexts[a]);
            app->ReserveChildren(functionTexts[a].size());
            for (const auto& texts : functionTexts[a])
                app->AddFunction(kPermitUnchanged)->ShareTexts(texts);
            nodes += 1 + static_cast<long long>(functionTexts[a].size());
        }
    }
    return nodes;
}

void LoadBuiltInSuperAdmin(benchmark::State& state, Backend backend)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(backend, WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, static_cast<int>(state.range(0))) || !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    long long nodes = 0, baselineNodes = 0, live = 0, peak = 0;
    std::vector<int> shape; // the functions of each sub-application of a company
    Best best;
    for (auto _ : state) {
        {
            TRolesMgr store;
            TRolePermissions permissions;
            const long long before = liveBytes.load();
            peakBytes = before;
            bool loaded = false;
            const double load = Milliseconds([&] { loaded = store.LoadPostPermissions("0", &permissions); });
            state.SetIterationTime(load / 1000.0);
            if (!loaded) {
                state.SkipWithError("load failed");
                return;
            }
            best.measured = std::min(best.measured, load);
            live = liveBytes.load() - before;
            peak = peakBytes.load() - before;
            nodes = 0;
            CountNodes(permissions, nodes);
            shape.clear();
            if (permissions.Count() > 0)
                for (int a = 0; a < permissions.Items(0)->Count(); ++a)
                    shape.push_back(permissions.Items(0)->Items(a)->Count());
        }
        TRolePermissions same;
        best.baseline =
            std::min(best.baseline, Milliseconds([&] { baselineNodes = BuildSameNodes(raw, shape, same); }));
    }
    if (baselineNodes != nodes) {
        state.SkipWithError("the baseline built another number of nodes");
        return;
    }
    best.Report(state, "load_ms", "raw_build_ms");
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["live_MiB"] = static_cast<double>(live) / (1 << 20);
    state.counters["peak_MiB"] = static_cast<double>(peak) / (1 << 20);
    state.counters["bytes_per_node"] = nodes ? static_cast<double>(live) / static_cast<double>(nodes) : 0.0;
    state.counters["maxrss_MiB"] = static_cast<double>(MaxRssKiB()) / 1024.0;
}

// --- The sign-in operator list ------------------------------------------------------------

const char* kSignInList =
    "SELECT t1.*, (SELECT t2.BM_MC FROM XT_BMXX t2 WHERE t2.BM_DM=t1.BM_DM) as BM_MC, t3.JS_DM, (SELECT "
    "t4.JS_MC FROM QX_ROLES t4 WHERE t4.JS_DM=t3.JS_DM) as JS_MC FROM QX_CZY t1, QX_CZYRROLE t3 WHERE "
    "t1.YXBZ='Y' AND t3.CZY_DM=t1.CZY_DM order by t1.CZY_DM";

bool ArrangeOperators(TestDatabase& db, int count)
{
    const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(count) + ") ";
    return Arrange(db, "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收管理科')") &&
           Arrange(db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')") &&
           Arrange(
               db,
               "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, SSBM, DESCRIPTION, DHHM, EMAIL, ZZ, YXBZ, "
               "SFXZSJ, XZSJ, ZHDLSJ, BM_DM) " +
                   n +
                   "SELECT 'op' || i, '操作员' || i, 'X1b#2c$3d%4e', '1', '', '', '010-12345678', "
                   "'op@example.cn', '北京市海淀区', 'Y', 'N', " +
                   (db.IsPostgres() ? "TIMESTAMP '2030-01-01 00:00', TIMESTAMP '2024-03-05 08:30'"
                                    : "'2030-01-01 00:00', '2024-03-05 08:30'") +
                   ", 'B01' FROM n") &&
           Arrange(db, "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) SELECT CZY_DM, 'GW00001' FROM QX_CZY");
}

void ListOperators(benchmark::State& state, Backend backend)
{
    auto db = OpenDatabase(backend, std::string());
    if (!db->Ok() || !ArrangeOperators(*db, static_cast<int>(state.range(0))) || !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawConnection raw(*db);
    std::size_t listed = 0;
    Best best;
    for (auto _ : state) {
        bool ok = false;
        std::string message;
        const double list = Milliseconds([&] {
            QueryResult query;
            ok = CurrentHost().ExecADOQueryMsg(kMainConnection, kSignInList, query, message, true);
            TOperatorInfoList operators;
            operators.reserve(static_cast<std::size_t>(query.RecordCount()));
            for (; !query.Eof(); query.Next()) {
                OperatorInfo info = ReadOperatorRow(query);
                info.DepartmentName = RecordText(query.AsString("SSBM"));
                info.DepartmentCode.clear();
                operators.push_back(std::move(info));
            }
            listed = operators.size();
        });
        state.SetIterationTime(list / 1000.0);
        if (!ok) {
            state.SkipWithError(message.c_str());
            return;
        }
        best.measured = std::min(best.measured, list);
        best.baseline = std::min(best.baseline, Milliseconds([&] { RawSelect(raw, kSignInList); }));
    }
    best.Report(state, "list_ms", "raw_select_ms");
    state.counters["operators"] = static_cast<double>(listed);
}

void Register(Backend backend)
{
    const std::string suffix = std::string("/") + test::ToString(backend);
    auto with = [backend](void (*function)(benchmark::State&, Backend)) {
        return [function, backend](benchmark::State& state) { function(state, backend); };
    };
    benchmark::RegisterBenchmark(("BM_LoadStoredPost" + suffix).c_str(), with(LoadStoredPost))
        ->Arg(100)
        ->Arg(1000)
        ->Arg(5000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(("BM_SaveGrantFromEmpty" + suffix).c_str(), with(SaveGrant))
        ->Arg(100)
        ->Arg(1000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark(("BM_LoadBuiltInSuperAdmin" + suffix).c_str(), with(LoadBuiltInSuperAdmin))
        ->Arg(10000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(("BM_ListOperators" + suffix).c_str(), with(ListOperators))
        ->Arg(100000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

} // namespace
} // namespace priv::bench

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const priv::test::Backend backend : priv::test::AvailableBackends())
        priv::bench::Register(backend);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
