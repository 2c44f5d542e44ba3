// The share of the password cipher and the code page in a sign-in without a
// window: LoadLoginForm through the built module's export, beside the cipher
// and code-page calls that one such sign-in makes (the parameter buffer read
// and written, the stored password deciphered, the operator's texts cut to
// record fields), measured in the same run on the same operator.
#include "support/database_fixture.h"

#include "boundary/codepage.h"
#include "boundary/param_buffer.h"
#include "cipher/crypt.h"
#include "store/records.h"

#include <privilege/privilege.h>

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using priv::test::Backend;
using priv::test::TestDatabase;
using BooleanExport = PrivBool (*)(int32_t, char**);

const char* const kSignIn = "pamCZY_DM=zhangwei;pamPWD=zw2024管理";

std::unique_ptr<TestDatabase> ArrangeDatabase()
{
    auto db = std::make_unique<TestDatabase>(Backend::SQLite);
    if (!db->Ok())
        return nullptr;
    db->Exec("INSERT INTO XT_BMXX(BM_DM, BM_MC) VALUES('01', '办公室')");
    db->Exec(
        "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, YXBZ, BM_DM, DHHM, EMAIL, DESCRIPTION, ZZ) "
        "VALUES('zhangwei', '张伟', '" +
        priv::EncryptPassword("zw2024管理") +
        "', 'Y', '01', '010-12345678', 'zw@example.com', '负责系统管理与权限分配的操作员', '北京市海淀区')");
    db->Exec("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('zhangwei', 'SYSTEM')");
    return db;
}

// The host's buffer, filled with the sign-in's parameters in the host code
// page before each call (the host's own conversion is not measured).
struct Buffer {
    Buffer() : host(priv::Utf8ToHost(kSignIn)) { argv[0] = bytes.data(); }
    void Refill() { std::memcpy(bytes.data(), host.c_str(), host.size() + 1); }
    std::string host;
    std::vector<char> bytes = std::vector<char>(PRIV_PARAM_BUFFER_SIZE, '\0');
    char* argv[1] = {};
};

void BM_WindowlessLoadLoginForm(benchmark::State& state)
{
    auto db = ArrangeDatabase();
    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!db || !module) {
        state.SkipWithError("database or module not available");
        return;
    }
    auto login = reinterpret_cast<BooleanExport>(dlsym(module, "LoadLoginForm"));
    Buffer buffer;
    for (auto _ : state) {
        buffer.Refill();
        if (login(0, buffer.argv) != 1)
            state.SkipWithError("the sign-in failed");
    }
    db.reset();
    dlclose(module);
}
BENCHMARK(BM_WindowlessLoadLoginForm)->Unit(benchmark::kMicrosecond);

// The same sign-in's cipher and code-page calls, on the operator's stored row.
void BM_WindowlessLoadLoginForm_CipherAndCodePageShare(benchmark::State& state)
{
    auto db = ArrangeDatabase();
    if (!db) {
        state.SkipWithError("database not available");
        return;
    }
    priv::QueryResult row = db->Query("SELECT * FROM QX_CZY WHERE CZY_DM='zhangwei'");
    std::vector<std::string> texts;
    for (const char* column :
         {"CZY_DM", "CZY_MC", "PWD", "DHHM", "EMAIL", "DESCRIPTION", "ZZ", "BM_DM", "YXBZ"})
        texts.push_back(row.AsString(column));
    for (const char* extra : {"SYSTEM", "系统管理员", "办公室", "N"})
        texts.emplace_back(extra);
    const std::string stored = row.AsString("PWD");
    const std::string typed = "zw2024管理";
    Buffer buffer;
    for (auto _ : state) {
        buffer.Refill();
        benchmark::DoNotOptimize(priv::ReadParamBuffer(buffer.argv));
        for (const std::string& text : texts)
            benchmark::DoNotOptimize(priv::RecordText(text));
        benchmark::DoNotOptimize(priv::DecryptPassword(stored));
        // The password check also asks whether the code page holds the typed password.
        benchmark::DoNotOptimize(priv::FitsHostCodePage(typed));
        benchmark::DoNotOptimize(priv::WriteParamBuffer(buffer.argv, "CZY_DM=zhangwei;CZY_LB=SYSTEM"));
    }
}
BENCHMARK(BM_WindowlessLoadLoginForm_CipherAndCodePageShare)->Unit(benchmark::kMicrosecond);

} // namespace
