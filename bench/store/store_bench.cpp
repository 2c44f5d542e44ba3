// Loading and saving a post's permissions, the built-in super administrator
// over ten thousand companies, and the sign-in operator list, on SQLite and,
// when PRIV_TEST_PG_URL names a server, on PostgreSQL.
//
// Every scenario runs in interleaved rounds (bench/support/rounds.h): in each
// round the module does its work as the session does it (a new store and a
// new tree every time) and its baseline does the same work on the same
// database through the client library the host itself uses (SQLite's C API,
// libpq; bench/support/raw_client.h), every cell read. Reported are the
// medians over the rounds and "ratio", the median of the per-round ratios of
// the module's time to the baseline's. A load's baseline sends exactly the
// SELECTs that the module's load sent (recorded from the host's statement
// log) inside one read snapshot, as the host reads.
//
// Memory is counted at malloc (bench/support/heap_counter.h), so that the
// client libraries' result sets count too: "peak_MiB" is the most that the
// operation had allocated at once beyond what was allocated before it,
// "tree_MiB" what stays allocated once the store that loaded it is gone (the
// tree the session holds), and "peak_per_tree" the one over the other.
#include "store/operator_store.h"
#include "store/post_store.h"
#include "support/bench_data.h"
#include "support/bench_main.h"
#include "support/heap_counter.h"
#include "support/raw_client.h"
#include "support/rounds.h"

#include <QCoreApplication>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <sys/resource.h>

#include <memory>

namespace priv::bench {
namespace {

long MaxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void CountNodes(const TAbstractPermit& node, long long& nodes)
{
    for (int i = 0; i < node.Count(); ++i) {
        ++nodes;
        CountNodes(*node.Items(i), nodes);
    }
}

// A round of the module's work and its baseline, the order alternating.
template <typename Module, typename Baseline>
void RunRound(const Rounds& rounds, Module&& module, Baseline&& baseline)
{
    if (rounds.ModuleFirst()) {
        module();
        baseline();
    } else {
        baseline();
        module();
    }
}

// A load as the session makes one: a store of its own, a tree of its own.
// Gives the time; `tree` receives the tree, `peak` the heap's high-water
// mark during the load, `treeBytes` what stays once the store is gone.
struct Load {
    bool ok = false;
    double ms = 0;
    long long peak = 0;
    long long treeBytes = 0;
    long long nodes = 0;
};

Load LoadPost(const std::string& post)
{
    Load load;
    HeapWindow heap;
    heap.Start();
    auto tree = std::make_unique<TRolePermissions>();
    {
        auto store = std::make_unique<TRolesMgr>();
        load.ms = Milliseconds([&] { load.ok = store->LoadPostPermissions(post, tree.get()); });
    }
    load.peak = heap.PeakBytes();
    load.treeBytes = heap.LiveBytes();
    CountNodes(*tree, load.nodes);
    return load;
}

void AddLoad(Rounds& rounds, const Load& load)
{
    rounds.Add("load_ms", load.ms);
    rounds.Add("peak_MiB", Mebibytes(load.peak));
    rounds.Add("tree_MiB", Mebibytes(load.treeBytes));
    rounds.Add("peak_per_tree", load.treeBytes > 0
                                    ? static_cast<double>(load.peak) / static_cast<double>(load.treeBytes)
                                    : 0.0);
}

// --- Loading a stored post ---------------------------------------------------------------

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
    RawClient raw(db->Url());
    if (!raw.Ok()) {
        state.SkipWithError(raw.Error().c_str());
        return;
    }
    // What the load reads, taken from a load that is not measured.
    fennix::ClearExecutedStatements();
    if (!LoadPost("GW00001").ok) {
        state.SkipWithError("load failed");
        return;
    }
    const std::vector<std::string> selects = Selects(fennix::ExecutedStatements());

    Rounds rounds;
    long long nodes = 0;
    long long bytes = 0;
    for (auto _ : state) {
        Load load;
        RunRound(
            rounds, [&] { load = LoadPost("GW00001"); },
            [&] { rounds.Add("raw_read_ms", Milliseconds([&] { bytes = raw.ReadEveryCell(selects); })); });
        if (!load.ok || bytes < 0) {
            state.SkipWithError(load.ok ? raw.Error().c_str() : "load failed");
            return;
        }
        state.SetIterationTime(load.ms / 1000.0);
        AddLoad(rounds, load);
        nodes = load.nodes;
        rounds.EndRound("load_ms", "raw_read_ms");
    }
    rounds.Report(state);
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["statements"] = static_cast<double>(selects.size());
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
    explicit RawSave(RawClient& raw) : raw_(raw) {}
    ~RawSave()
    {
        sqlite3_finalize(insert_);
        sqlite3_finalize(link_);
    }
    RawSave(const RawSave&) = delete;
    RawSave& operator=(const RawSave&) = delete;

    bool Write(const TRolePermissions& permissions)
    {
        post_ = permissions.PostCode();
        ok_ = raw_.Exec(raw_.IsPostgres() ? "BEGIN" : "BEGIN IMMEDIATE") && Prepare();
        if (ok_)
            WriteChildren(permissions, 0);
        return raw_.Exec(ok_ ? "COMMIT" : "ROLLBACK") && ok_;
    }

private:
    static constexpr const char* kInsert =
        "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES";
    static constexpr const char* kLink = "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES";

    bool Prepare()
    {
        if (prepared_)
            return true;
        if (raw_.IsPostgres()) {
            PGconn* pg = raw_.Postgres();
            auto prepare = [pg](const char* name, const std::string& sql) {
                PGresult* result = PQprepare(pg, name, sql.c_str(), 0, nullptr);
                const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
                PQclear(result);
                return ok;
            };
            prepared_ =
                prepare("raw_insert", std::string(kInsert) + "($1, $2, $3, $4, $5) RETURNING PRMS_DM") &&
                prepare("raw_link", std::string(kLink) + "($1, $2)");
        } else {
            const std::string insert = std::string(kInsert) + "(?, ?, ?, ?, ?)";
            const std::string link = std::string(kLink) + "(?, ?)";
            prepared_ =
                sqlite3_prepare_v2(raw_.Sqlite(), insert.c_str(), -1, &insert_, nullptr) == SQLITE_OK &&
                sqlite3_prepare_v2(raw_.Sqlite(), link.c_str(), -1, &link_, nullptr) == SQLITE_OK;
        }
        return prepared_;
    }

    long long Insert(const TAbstractPermit& node, long long parentCode, long long target)
    {
        if (raw_.IsPostgres()) {
            const std::string parent = std::to_string(parentCode);
            const std::string kzdm = std::to_string(target);
            const char* values[] = {node.GetCode().c_str(), node.GetName().c_str(), parent.c_str(),
                                    node.PermitType().c_str(), kzdm.c_str()};
            PGresult* result = PQexecPrepared(raw_.Postgres(), "raw_insert", 5, values, nullptr, nullptr, 0);
            long long code = -1;
            if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1)
                code = std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10);
            PQclear(result);
            return code;
        }
        sqlite3_bind_text(insert_, 1, node.GetCode().c_str(), static_cast<int>(node.GetCode().size()),
                          SQLITE_STATIC);
        sqlite3_bind_text(insert_, 2, node.GetName().c_str(), static_cast<int>(node.GetName().size()),
                          SQLITE_STATIC);
        sqlite3_bind_int64(insert_, 3, parentCode);
        sqlite3_bind_text(insert_, 4, node.PermitType().c_str(), static_cast<int>(node.PermitType().size()),
                          SQLITE_STATIC);
        sqlite3_bind_int64(insert_, 5, target);
        const bool done = sqlite3_step(insert_) == SQLITE_DONE;
        sqlite3_reset(insert_);
        return done ? sqlite3_last_insert_rowid(raw_.Sqlite()) : -1;
    }

    bool Link(long long code)
    {
        if (raw_.IsPostgres()) {
            const std::string text = std::to_string(code);
            const char* values[] = {post_.c_str(), text.c_str()};
            PGresult* result = PQexecPrepared(raw_.Postgres(), "raw_link", 2, values, nullptr, nullptr, 0);
            const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
            PQclear(result);
            return ok;
        }
        sqlite3_bind_text(link_, 1, post_.c_str(), static_cast<int>(post_.size()), SQLITE_STATIC);
        sqlite3_bind_int64(link_, 2, code);
        const bool done = sqlite3_step(link_) == SQLITE_DONE;
        sqlite3_reset(link_);
        return done;
    }

    void WriteChildren(const TAbstractPermit& parent, long long parentCode)
    {
        for (int i = 0; ok_ && i < parent.Count(); ++i) {
            const TAbstractPermit& child = *parent.Items(i);
            const bool company = child.PermitType() == "10";
            const long long code =
                Insert(child, parentCode, company ? std::strtoll(child.GetCode().c_str(), nullptr, 10) : 0);
            ok_ = code > 0 && (!company || Link(code));
            if (ok_ && !child.AllGranted())
                WriteChildren(child, code);
        }
    }

    RawClient& raw_;
    bool prepared_ = false;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* link_ = nullptr;
    std::string post_;
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
    RawClient raw(db->Url());
    RawSave baseline(raw);
    Rounds rounds;
    std::string rows;
    for (auto _ : state) {
        std::string message;
        bool saved = false;
        std::string savedRows;
        auto module = [&] {
            db->ExecAll({"DELETE FROM QX_PRMSMAP", "DELETE FROM QX_ROLEPRMS"});
            auto tree = std::make_unique<TRolePermissions>();
            TRolesMgr().LoadPostPermissions("GW00001", tree.get());
            MarkGrant(*tree, companies);
            auto store = std::make_unique<TRolesMgr>();
            const double ms = Milliseconds([&] { saved = store->SavePostPermissions(tree.get(), message); });
            rounds.Add("save_ms", ms);
            rounds.Add("ms_per_company", ms / companies);
            state.SetIterationTime(ms / 1000.0);
            savedRows = db->Scalar("SELECT COUNT(*) FROM QX_PRMSMAP") + "/" +
                        db->Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS");
        };
        bool written = false;
        std::string baselineRows;
        auto raw_save = [&] {
            db->ExecAll({"DELETE FROM QX_PRMSMAP", "DELETE FROM QX_ROLEPRMS"});
            TRolePermissions same;
            same.SetPostCode("GW00001");
            MarkGrant(same, companies);
            rounds.Add("raw_insert_ms", Milliseconds([&] { written = baseline.Write(same); }));
            baselineRows = db->Scalar("SELECT COUNT(*) FROM QX_PRMSMAP") + "/" +
                           db->Scalar("SELECT COUNT(*) FROM QX_ROLEPRMS");
        };
        RunRound(rounds, module, raw_save);
        if (!saved) {
            state.SkipWithError(("save failed: " + message).c_str());
            return;
        }
        if (!written || baselineRows != savedRows) {
            state.SkipWithError(("the baseline wrote other rows: " + baselineRows + " against " + savedRows +
                                 " " + raw.Error())
                                    .c_str());
            return;
        }
        rows = savedRows;
        rounds.EndRound("save_ms", "raw_insert_ms");
    }
    rounds.Report(state);
    state.counters["rows"] = std::stod(rows.substr(0, rows.find('/')));
}

// --- The built-in super administrator over ten thousand companies ---------------------------

// The floor of the super administrator's load: its companies read raw, and
// as many nodes as its tree has (`functions`: the functions of each of a
// company's sub-applications), built with texts shared as the store shares
// them.
long long BuildSameNodes(RawClient& raw, const std::vector<int>& functions, TRolePermissions& permissions)
{
    std::vector<std::shared_ptr<const TAppPermit::Texts>> appTexts;
    std::vector<std::vector<std::shared_ptr<const TAppFuncPermit::Texts>>> functionTexts;
    for (std::size_t a = 0; a < functions.size(); ++a) {
        appTexts.push_back(PermitTexts<3>::Make({std::to_string(a), std::to_string(a) + "00", "子系统"}));
        functionTexts.emplace_back();
        for (int f = 0; f < functions[a]; ++f)
            functionTexts.back().push_back(PermitTexts<2>::Make({std::to_string(f), "业务功能名称"}));
    }
    long long nodes = 0;
    const bool ok =
        raw.Query("select QYID,QYSBH,QYMC from XT_QYXX where 1=1 and LBDM=0", [&](const RawRow& row) {
            TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
            company->SetTexts(std::string(row.Text(0), static_cast<std::size_t>(row.Length(0))),
                              std::string(row.Text(1), static_cast<std::size_t>(row.Length(1))),
                              std::string(row.Text(2), static_cast<std::size_t>(row.Length(2))));
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
        });
    return ok ? nodes : -1;
}

void LoadBuiltInSuperAdmin(benchmark::State& state, Backend backend)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(backend, WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, static_cast<int>(state.range(0))) || !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    RawClient raw(db->Url());
    long long nodes = 0, baselineNodes = 0;
    std::vector<int> shape; // the functions of each sub-application of a company
    Rounds rounds;
    double first = -1;
    long long firstRssGrowthKiB = -1;
    for (auto _ : state) {
        Load load;
        auto module = [&] {
            const long rssBefore = MaxRssKiB();
            load = LoadPost("0");
            if (first < 0) {
                // The first load in the process meets cold caches and a heap
                // that has to grow; the session's first call is that one.
                first = load.ms;
                firstRssGrowthKiB = MaxRssKiB() - rssBefore;
            }
        };
        auto baseline = [&] {
            TRolePermissions same;
            if (shape.empty()) {
                // The tree's shape is known from a load; the first round
                // learns it without timing the baseline's building.
                TRolePermissions probe;
                TRolesMgr().LoadPostPermissions("0", &probe);
                if (probe.Count() > 0)
                    for (int a = 0; a < probe.Items(0)->Count(); ++a)
                        shape.push_back(probe.Items(0)->Items(a)->Count());
            }
            rounds.Add("raw_build_ms",
                       Milliseconds([&] { baselineNodes = BuildSameNodes(raw, shape, same); }));
        };
        RunRound(rounds, module, baseline);
        if (!load.ok) {
            state.SkipWithError("load failed");
            return;
        }
        state.SetIterationTime(load.ms / 1000.0);
        AddLoad(rounds, load);
        nodes = load.nodes;
        rounds.EndRound("load_ms", "raw_build_ms");
    }
    if (baselineNodes != nodes) {
        state.SkipWithError("the baseline built another number of nodes");
        return;
    }
    rounds.Report(state);
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["first_load_ms"] = first;
    state.counters["first_rss_growth_MiB"] = static_cast<double>(firstRssGrowthKiB) / 1024.0;
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
    RawClient raw(db->Url());
    std::size_t listed = 0;
    Rounds rounds;
    for (auto _ : state) {
        bool ok = false;
        long long bytes = 0;
        std::string message;
        auto module = [&] {
            const double ms = Milliseconds([&] {
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
            rounds.Add("list_ms", ms);
            state.SetIterationTime(ms / 1000.0);
        };
        auto baseline = [&] {
            rounds.Add("raw_read_ms", Milliseconds([&] { bytes = raw.ReadEveryCell({kSignInList}); }));
        };
        RunRound(rounds, module, baseline);
        if (!ok || bytes < 0) {
            state.SkipWithError(ok ? raw.Error().c_str() : message.c_str());
            return;
        }
        rounds.EndRound("list_ms", "raw_read_ms");
    }
    rounds.Report(state);
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
        ->Iterations(5);
    // 5,000 companies take minutes a round: run it on its own with a filter.
    benchmark::RegisterBenchmark(("BM_SaveGrantFromEmpty" + suffix).c_str(), with(SaveGrant))
        ->Arg(100)
        ->Arg(1000)
        ->Arg(5000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(("BM_LoadBuiltInSuperAdmin" + suffix).c_str(), with(LoadBuiltInSuperAdmin))
        ->Arg(10000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark(("BM_ListOperators" + suffix).c_str(), with(ListOperators))
        ->Arg(100000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
}

} // namespace
} // namespace priv::bench

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    return priv::bench::RunBenchmarks(argc, argv, priv::bench::PerBackend(priv::bench::Register));
}
