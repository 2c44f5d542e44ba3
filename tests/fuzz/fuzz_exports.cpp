// libFuzzer target: the three Boolean exports, called as a host calls them,
// with any bytes in the parameter buffer. The module runs against a real
// SQLite database with operators, posts and grants. Whatever the buffer
// holds, an export answers 0 or 1, never writes past what it may write, and
// changes the buffer only as its contract says:
// - LoadLoginForm: unchanged on false, exactly "CZY_DM=...;CZY_LB=..." on true;
// - InitGlobalUserInfo: never;
// - FilterUserAuthrz: unchanged on true; on false either unchanged (the
//   message does not fit) or the host's own bytes followed by the message.
// The first input byte picks the export; the rest is the buffer's text.
// Inputs that would open the login window (no operator code) are skipped.
#include "boundary/codepage.h"
#include "boundary/param_string.h"
#include "cipher/crypt.h"
#include "fennix/fennix.h"

#include <privilege/privilege.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

using BooleanExport = PrivBool (*)(int32_t, char**);

BooleanExport exports[3] = {nullptr, nullptr, nullptr};

[[noreturn]] void Stop(const std::string& why)
{
    std::cerr << "fuzz_exports: " << why << '\n';
    std::abort();
}

void Prepare()
{
    static int argc = 1;
    static char name[] = "fuzz_exports";
    static char* argv[] = {name, nullptr};
    static auto* application = new QCoreApplication(argc, argv);
    static auto* folder = new QTemporaryDir;
    (void)application;
    if (!folder->isValid())
        Stop("no temporary folder");
    const std::string dir = folder->path().toStdString();

    fennix::Settings settings;
    settings.databaseUrl = "sqlite:" + dir + "/privilege.db";
    settings.appDir = dir;
    settings.appsFile = std::string(PRIV_SOURCE_DIR) + "/host/app/apps.json";
    settings.companyId = "1001";
    std::string error;
    if (!fennix::Open(settings, error) ||
        !fennix::ApplySqlScript(std::string(PRIV_SOURCE_DIR) + "/db/schema-sqlite.sql", error))
        Stop(error);
    const std::string pw = priv::EncryptPassword("pw");
    for (const std::string& sql : {
             std::string("INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(1001, 'S1001', '华东机械', 0)"),
             std::string("INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('GW00001', '税务会计')"),
             "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ) VALUES('admin', '管理员', '" + pw +
                 "', '0', 'Y')",
             "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ) VALUES('lina', '李娜', '" + pw +
                 "', '', 'Y')",
             "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ) VALUES('kj', '会计', '" + pw +
                 "', '', 'Y')",
             std::string("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('admin', '0')"),
             std::string("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('lina', 'BUSINESS')"),
             std::string("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('kj', 'GW00001')"),
             std::string("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('1001', '', "
                         "0, '10', 1001)"),
             std::string(
                 "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) SELECT 'GW00001', MAX(PRMS_DM) FROM QX_PRMSMAP"),
             std::string("INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) SELECT '02', '', "
                         "MAX(PRMS_DM), '20', 0 FROM QX_PRMSMAP"),
         })
        if (!fennix::RunStatement(priv::kMainConnection, sql, nullptr, error))
            Stop(error + "\n" + sql);

    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!module)
        Stop(dlerror());
    const char* names[] = {"LoadLoginForm", "InitGlobalUserInfo", "FilterUserAuthrz"};
    for (int i = 0; i < 3; ++i)
        if (!(exports[i] = reinterpret_cast<BooleanExport>(dlsym(module, names[i]))))
            Stop(std::string("no export ") + names[i]);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Prepare();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int which = data[0] % 3;
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    input.resize(std::strlen(input.c_str())); // the host's text ends at its NUL
    // A text that fills the whole buffer leaves it without an end: the module
    // must refuse it without reading or writing past the bound.
    const bool endless = input.size() >= PRIV_PARAM_BUFFER_SIZE;
    if (endless)
        input.resize(PRIV_PARAM_BUFFER_SIZE);
    if (!endless && which == 0 && priv::GetParamValue(priv::HostToUtf8(input), PRIV_KEY_LOGIN_CODE).empty())
        return 0; // would show the login window

    // Exactly as much room as the module may use: anything beyond is caught.
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    std::memcpy(buffer.data(), input.data(), input.size());
    char* argv[1] = {buffer.data()};
    const PrivBool answer = exports[which](0, argv);
    if (answer != 0 && answer != 1)
        Stop("an answer that is neither true nor false");
    if (endless) {
        if (answer)
            Stop("a buffer without an end was accepted");
        const bool unchanged = std::memcmp(buffer.data(), input.data(), input.size()) == 0;
        if (which != 2 && !unchanged)
            Stop("a refused buffer was written");
        if (which == 2 && std::string(buffer.data(), std::strlen(PRIV_KEY_RESULT_MESSAGE "=")) !=
                              PRIV_KEY_RESULT_MESSAGE "=")
            Stop("a filter refusing a buffer without an end gave no reason");
        return 0;
    }
    if (std::memchr(buffer.data(), '\0', buffer.size()) == nullptr)
        Stop("the buffer lost its end");
    const std::string after(buffer.data());

    switch (which) {
    case 0:
        if (!answer && after != input)
            Stop("a failed sign-in changed the buffer");
        if (answer && after.rfind("CZY_DM=", 0) != 0)
            Stop("a sign-in returned " + after);
        break;
    case 1:
        if (after != input)
            Stop("InitGlobalUserInfo wrote the buffer");
        break;
    default:
        if (answer && after != input)
            Stop("a passing filter changed the buffer");
        if (!answer && after != input && after.rfind(input, 0) != 0 &&
            input.find(PRIV_KEY_RESULT_MESSAGE) == std::string::npos)
            Stop("a failing filter changed the host's items");
        break;
    }
    return 0;
}
