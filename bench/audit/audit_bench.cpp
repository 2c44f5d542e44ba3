// What recording in the operation log adds to the changes it records and to
// the silent sign-in road, on SQLite and, when PRIV_TEST_PG_URL names a
// server, on PostgreSQL.
//
// The baseline is the same database without the log: a database made before
// the log has neither QX_CZRZ nor QX_CZRZLT and changes exactly as it always
// did. Each round runs the work once with the log's tables in place and once
// with them renamed out of the way (bench/support/rounds.h: the order
// alternates, so that a loaded machine slows both alike); the renaming
// happens before either half alike and is not timed. Reported are the medians
// of "with_ms" and "without_ms", "ratio" (the median per-round ratio) and
// "added_ms" (the median per-round difference); "log_rows" is how many rows
// the log held at the end.
#include "support/bench_data.h"
#include "support/bench_main.h"
#include "support/rounds.h"

#include "boundary/codepage.h"
#include "cipher/crypt.h"
#include "store/audited_changes.h"
#include "store/operator_store.h"
#include "store/post_store.h"

#include <privilege/privilege.h>

#include <QApplication>

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace priv::bench {
namespace {

// Puts the log's tables in place or out of the way. The renamed tables keep
// their rows, so the chain simply goes on when they come back.
class LogSwitch {
public:
    explicit LogSwitch(TestDatabase& db) : db_(db) {}
    bool Set(bool present)
    {
        if (present == present_)
            return true;
        const char* from = present ? "_OFF" : "";
        const char* to = present ? "" : "_OFF";
        const bool ok =
            Arrange(db_, std::string("ALTER TABLE QX_CZRZ") + from + " RENAME TO QX_CZRZ" + to) &&
            Arrange(db_, std::string("ALTER TABLE QX_CZRZLT") + from + " RENAME TO QX_CZRZLT" + to);
        if (ok)
            present_ = present;
        return ok;
    }
    std::string Rows()
    {
        return db_.Scalar(std::string("SELECT COUNT(*) FROM QX_CZRZ") + (present_ ? "" : "_OFF"));
    }

private:
    TestDatabase& db_;
    bool present_ = true;
};

// One round: `work(withLog)` answers the milliseconds it took, or a
// negative number when it failed. False when a half failed.
bool Round(Rounds& rounds, LogSwitch& log, const std::function<double(bool)>& work, std::string& failure)
{
    double with = -1, without = -1;
    for (int half = 0; half < 2; ++half) {
        const bool withLog = (half == 0) == rounds.ModuleFirst();
        if (!log.Set(withLog)) {
            failure = "the log's tables could not be renamed";
            return false;
        }
        (withLog ? with : without) = work(withLog);
    }
    if (with < 0 || without < 0) {
        failure = with < 0 ? "the work failed with the log" : "the work failed without the log";
        return false;
    }
    rounds.Add("with_ms", with);
    rounds.Add("without_ms", without);
    rounds.Add("added_ms", with - without);
    rounds.EndRound("with_ms", "without_ms");
    return true;
}

void Finish(benchmark::State& state, Rounds& rounds, LogSwitch& log)
{
    rounds.Report(state);
    log.Set(true);
    state.counters["log_rows"] = std::stod("0" + log.Rows());
}

// --- An operator save, as the operator window saves one ---------------------------------

void SaveOperator(benchmark::State& state, Backend backend)
{
    auto db = OpenDatabase(backend, std::string());
    if (!db->Ok() ||
        !db->ExecAll({"INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'B01', '征收管理科')",
                      "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '出纳')",
                      "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, DHHM, EMAIL, ZZ, YXBZ, BM_DM) "
                      "VALUES('kuaiji', '赵敏', '" +
                          EncryptPassword("zm2024") +
                          "', '1', '010-12345678', 'zm@example.cn', '北京市海淀区', 'Y', 'B01')",
                      "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('kuaiji', 'GW00001')"}) ||
        !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    LogSwitch log(*db);
    Rounds rounds;
    int saves = 0;
    // The name changes at every save, so that every recorded save writes a row.
    auto work = [&](bool) {
        OperatorInfo info;
        if (!TOperator().LoadOperator("kuaiji", info))
            return -1.0;
        info.Name = "赵敏" + std::to_string(++saves);
        TOperator store;
        bool saved = false;
        const double ms = Milliseconds([&] {
            saved =
                audit::ModifyOperator(store, info, [](const std::string& stored, const std::string& given) {
                    return DecryptPassword(stored) == DecryptPassword(given);
                });
        });
        return saved ? ms : -1.0;
    };
    std::string failure;
    for (auto _ : state)
        if (!Round(rounds, log, work, failure)) {
            state.SkipWithError(failure.c_str());
            return;
        }
    Finish(state, rounds, log);
}

// --- A grant save of 100 companies, as the assignment window saves one --------------------

void MarkCompanies(TRolePermissions& permissions, int companies, bool detailed)
{
    for (int c = 1; c <= companies; ++c) {
        TCompPermit* company = permissions.Mark(std::to_string(c), true);
        if (!detailed)
            continue;
        company->SetAllGranted(false);
        for (int a = 0; a < kSubApps; ++a) {
            TAppPermit* app = company->Mark(SubAppCode(a), true);
            for (int f = 0; f < kFunctions; ++f)
                app->Mark(FunctionCode(a, f), true);
        }
    }
}

// range(0): companies; range(1): 1 when each company is granted with its ten
// sub-applications of thirty functions as rows, 0 when granted whole.
void SaveGrant(benchmark::State& state, Backend backend)
{
    const int companies = static_cast<int>(state.range(0));
    const bool detailed = state.range(1) != 0;
    QTemporaryDir folder;
    auto db = OpenDatabase(backend, WriteAppsFile(folder));
    if (!db->Ok() || !ArrangeCompanies(*db, companies) ||
        !Arrange(*db, "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '全部业务')") || !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    LogSwitch log(*db);
    Rounds rounds;
    std::string message;
    // From a post that holds nothing to one that holds every company.
    auto work = [&](bool) {
        if (!db->ExecAll({"DELETE FROM QX_PRMSMAP", "DELETE FROM QX_ROLEPRMS"}))
            return -1.0;
        auto tree = std::make_unique<TRolePermissions>();
        TRolesMgr().LoadPostPermissions("GW00001", tree.get());
        MarkCompanies(*tree, companies, detailed);
        auto store = std::make_unique<TRolesMgr>();
        bool saved = false;
        const double ms = Milliseconds([&] { saved = store->SavePostPermissions(tree.get(), message); });
        return saved ? ms : -1.0;
    };
    std::string failure;
    for (auto _ : state)
        if (!Round(rounds, log, work, failure)) {
            state.SkipWithError((failure + " " + message).c_str());
            return;
        }
    Finish(state, rounds, log);
    state.counters["rows"] = std::stod("0" + db->Scalar("SELECT COUNT(*) FROM QX_PRMSMAP"));
}

// --- The silent sign-in road through the module's exports ------------------------------------

using BooleanExport = PrivBool (*)(int32_t, char**);

bool Call(BooleanExport function, const std::string& params)
{
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    const std::string host = Utf8ToHost(params);
    std::memcpy(buffer.data(), host.c_str(), host.size() + 1);
    char* argv[1] = {buffer.data()};
    return function(0, argv) == 1;
}

// As bench/session arranges it: "kuaiji" of a post granted 100 companies,
// half of them with ten sub-applications of thirty functions as rows.
void SilentSignInRoad(benchmark::State& state, Backend backend)
{
    QTemporaryDir folder;
    auto db = OpenDatabase(backend, WriteAppsFile(folder), "50");
    if (!db->Ok() || !ArrangeCompanies(*db, 100) || !ArrangeStoredGrant(*db, "GW00001", {.detailed = 50}) ||
        !db->ExecAll({"INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, YXBZ) VALUES('kuaiji', '赵敏', '" +
                          EncryptPassword("zm2024") + "', 'Y')",
                      "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('kuaiji', 'GW00001')"}) ||
        !Analyze(*db)) {
        state.SkipWithError("arranging failed");
        return;
    }
    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        state.SkipWithError("module not available");
        return;
    }
    auto login = reinterpret_cast<BooleanExport>(dlsym(module, "LoadLoginForm"));
    auto init = reinterpret_cast<BooleanExport>(dlsym(module, "InitGlobalUserInfo"));
    auto filter = reinterpret_cast<BooleanExport>(dlsym(module, "FilterUserAuthrz"));
    LogSwitch log(*db);
    Rounds rounds;
    auto work = [&](bool) {
        bool ok = false;
        const double ms = Milliseconds([&] {
            ok = Call(login, "pamCZY_DM=kuaiji;pamPWD=zm2024") && Call(init, "CZY_DM=kuaiji") &&
                 Call(filter, "authedProdcList=0200\r\n0300\r\n0400\r\n0500\r\n0600");
        });
        return ok ? ms : -1.0;
    };
    std::string failure;
    for (auto _ : state)
        if (!Round(rounds, log, work, failure)) {
            state.SkipWithError(failure.c_str());
            break;
        }
    if (!failure.empty()) {
        db.reset();
        dlclose(module);
        return;
    }
    Finish(state, rounds, log);
    db.reset(); // the host frees the session before the module goes
    dlclose(module);
}

void Register(Backend backend)
{
    const std::string suffix = std::string("/") + test::ToString(backend);
    auto with = [backend](void (*function)(benchmark::State&, Backend)) {
        return [function, backend](benchmark::State& state) { function(state, backend); };
    };
    benchmark::RegisterBenchmark(("BM_AuditOperatorSave" + suffix).c_str(), with(SaveOperator))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30);
    benchmark::RegisterBenchmark(("BM_AuditGrantSave" + suffix).c_str(), with(SaveGrant))
        ->Args({100, 0})
        ->Args({100, 1})
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark(("BM_AuditSilentSignInRoad" + suffix).c_str(), with(SilentSignInRoad))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30);
}

} // namespace
} // namespace priv::bench

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return priv::bench::RunBenchmarks(argc, argv, priv::bench::PerBackend(priv::bench::Register));
}
