// The whole silent road a host walks after start, through the exports of the
// built module: LoadLoginForm, InitGlobalUserInfo, FilterUserAuthrz, for an
// operator of a created post granted 100 (or 5,000) companies, half of them
// with ten sub-applications of thirty functions each as rows and half
// wholly; on SQLite and, when PRIV_TEST_PG_URL names a server, on
// PostgreSQL. Each export's time is reported beside the total, and the bare
// SELECT of the operator's row is measured in the same run. The road reads
// the current company alone (its entry and its grants), so the larger post
// should cost little more than the smaller.
#include "support/bench_data.h"
#include "support/bench_main.h"

#include "boundary/codepage.h"
#include "cipher/crypt.h"

#include <privilege/privilege.h>

#include <QApplication>

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

using priv::bench::Backend;
using priv::test::TestDatabase;
using BooleanExport = PrivBool (*)(int32_t, char**);

// The operator "kuaiji" of the post GW00001 that holds the companies; the
// host's current company is 50 (one of the detailed ones).
std::unique_ptr<TestDatabase> ArrangeDatabase(Backend backend, const QTemporaryDir& folder, int companies)
{
    auto db = priv::bench::OpenDatabase(backend, priv::bench::WriteAppsFile(folder), "50");
    if (!db->Ok() || !priv::bench::ArrangeCompanies(*db, companies) ||
        !priv::bench::ArrangeStoredGrant(*db, "GW00001", {.detailed = companies / 2}) ||
        !db->ExecAll({"INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, YXBZ) VALUES('kuaiji', '赵敏', '" +
                          priv::EncryptPassword("zm2024") + "', 'Y')",
                      "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('kuaiji', 'GW00001')"}) ||
        !priv::bench::Analyze(*db))
        return nullptr;
    return db;
}

bool Call(BooleanExport function, const std::string& params)
{
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    const std::string host = priv::Utf8ToHost(params);
    std::memcpy(buffer.data(), host.c_str(), host.size() + 1);
    char* argv[1] = {buffer.data()};
    return function(0, argv) == 1;
}

void SilentSignInRoad(benchmark::State& state, Backend backend)
{
    QTemporaryDir folder;
    auto db = ArrangeDatabase(backend, folder, static_cast<int>(state.range(0)));
    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!db || !module) {
        state.SkipWithError("database or module not available");
        return;
    }
    auto login = reinterpret_cast<BooleanExport>(dlsym(module, "LoadLoginForm"));
    auto init = reinterpret_cast<BooleanExport>(dlsym(module, "InitGlobalUserInfo"));
    auto filter = reinterpret_cast<BooleanExport>(dlsym(module, "FilterUserAuthrz"));
    double loginMs = 0, initMs = 0, filterMs = 0, operatorMs = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        bool ok = true;
        loginMs += priv::bench::Milliseconds([&] { ok = Call(login, "pamCZY_DM=kuaiji;pamPWD=zm2024"); });
        initMs += priv::bench::Milliseconds([&] { ok = ok && Call(init, "CZY_DM=kuaiji"); });
        filterMs += priv::bench::Milliseconds(
            [&] { ok = ok && Call(filter, "authedProdcList=0200\r\n0300\r\n0400\r\n0500\r\n0600"); });
        if (!ok) {
            state.SkipWithError("the silent road failed");
            break;
        }
        state.PauseTiming();
        operatorMs = std::min(operatorMs, priv::bench::Milliseconds([] {
                                  priv::QueryResult row;
                                  std::string message;
                                  fennix::Services().ExecADOQueryMsg(
                                      priv::kMainConnection, "SELECT * FROM QX_CZY WHERE CZY_DM='kuaiji'",
                                      row, message, true);
                              }));
        state.ResumeTiming();
    }
    const double runs = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    const double total = loginMs + initMs + filterMs;
    state.counters["road_ms"] = total / runs;
    state.counters["login_ms"] = loginMs / runs;
    state.counters["init_ms"] = initMs / runs;
    state.counters["filter_ms"] = filterMs / runs;
    state.counters["login_share"] = total > 0 ? loginMs / total : 0;
    state.counters["init_share"] = total > 0 ? initMs / total : 0;
    state.counters["filter_share"] = total > 0 ? filterMs / total : 0;
    state.counters["bare_select_ms"] = operatorMs;
    db.reset(); // the host frees the session before the module goes
    dlclose(module);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return priv::bench::RunBenchmarks(
        argc, argv, priv::bench::PerBackend([](Backend backend) {
            benchmark::RegisterBenchmark(
                (std::string("BM_SilentSignInRoad/") + priv::test::ToString(backend)).c_str(),
                [backend](benchmark::State& state) { SilentSignInRoad(state, backend); })
                ->Arg(100)
                ->Arg(5000)
                ->Unit(benchmark::kMillisecond);
        }));
}
