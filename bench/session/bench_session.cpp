// The whole silent road a host walks after start, through the exports of the
// built module: LoadLoginForm, InitGlobalUserInfo, FilterUserAuthrz, for an
// operator of a created post granted 100 companies; beside the bare SELECT of
// that operator's row, measured in the same run.
#include "support/database_fixture.h"

#include "boundary/codepage.h"
#include "cipher/crypt.h"

#include <privilege/privilege.h>

#include <QApplication>

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using priv::test::Backend;
using priv::test::TestDatabase;
using BooleanExport = PrivBool (*)(int32_t, char**);

constexpr int kCompanies = 100;

// 100 companies; the post holds each with the sub-applications "02" and "03"
// and two functions of each, so the filter has real work in every company.
std::unique_ptr<TestDatabase> ArrangeDatabase()
{
    auto db = std::make_unique<TestDatabase>(Backend::SQLite,
                                             [](fennix::Settings& settings) { settings.companyId = "1050"; });
    if (!db->Ok())
        return nullptr;
    db->Exec("INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '税务会计')");
    db->Exec("INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, YXBZ) VALUES('kuaiji', '赵敏', '" +
             priv::EncryptPassword("zm2024") + "', 'Y')");
    db->Exec("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('kuaiji', 'GW00001')");
    db->Exec("BEGIN");
    for (int i = 0; i < kCompanies; ++i) {
        const std::string id = std::to_string(1001 + i);
        db->Exec("INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(" + id + ", 'S" + id + "', '企业" + id +
                 "', 0)");
        db->Exec("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('" + id +
                 "', '', 0, '10', " + id + ")");
        const std::string company = db->Scalar("SELECT MAX(PRMS_DM) FROM QX_PRMSMAP");
        db->Exec("INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES('GW00001', " + company + ")");
        for (const char* app : {"02", "03"}) {
            db->Exec(std::string("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('") +
                     app + "', '', " + company + ", '20', 0)");
            const std::string appNode = db->Scalar("SELECT MAX(PRMS_DM) FROM QX_PRMSMAP");
            for (const char* function : {"01-01-00-00", "01-03-00-00"})
                db->Exec(
                    std::string("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('") +
                    app + "001-" + function + "', '', " + appNode + ", '30', 0)");
        }
    }
    db->Exec("COMMIT");
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

void BM_SilentSignInRoad(benchmark::State& state)
{
    auto db = ArrangeDatabase();
    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!db || !module) {
        state.SkipWithError("database or module not available");
        return;
    }
    auto login = reinterpret_cast<BooleanExport>(dlsym(module, "LoadLoginForm"));
    auto init = reinterpret_cast<BooleanExport>(dlsym(module, "InitGlobalUserInfo"));
    auto filter = reinterpret_cast<BooleanExport>(dlsym(module, "FilterUserAuthrz"));
    for (auto _ : state) {
        const bool ok = Call(login, "pamCZY_DM=kuaiji;pamPWD=zm2024") && Call(init, "CZY_DM=kuaiji") &&
                        Call(filter, "authedProdcList=0200\r\n0300\r\n0500");
        if (!ok)
            state.SkipWithError("the silent road failed");
    }
    db.reset(); // the host frees the session before the module goes
    dlclose(module);
}
BENCHMARK(BM_SilentSignInRoad)->Unit(benchmark::kMillisecond);

void BM_SilentSignInRoad_BareOperatorSelectBaseline(benchmark::State& state)
{
    auto db = ArrangeDatabase();
    if (!db) {
        state.SkipWithError("database not available");
        return;
    }
    for (auto _ : state) {
        priv::QueryResult row;
        std::string message;
        fennix::Services().ExecADOQueryMsg(priv::kMainConnection,
                                           "SELECT * FROM QX_CZY WHERE CZY_DM='kuaiji'", row, message, true);
        benchmark::DoNotOptimize(row.RecordCount());
    }
}
BENCHMARK(BM_SilentSignInRoad_BareOperatorSelectBaseline)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
