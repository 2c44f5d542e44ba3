// A host that loads the module, signs an operator in, publishes him and
// filters its products, and then simply leaves main without unloading the
// module, as many hosts do. The module's unload handler then runs after every
// static object has been destroyed; it must touch none of them. The process
// must end cleanly (the sanitizer build turns any use after free into a
// failing exit status).
#include "boundary/codepage.h"
#include "cipher/crypt.h"
#include "fennix/fennix.h"

#include <privilege/privilege.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <dlfcn.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

using BooleanExport = PrivBool (*)(int32_t, char**);

bool Fail(const std::string& what)
{
    std::cerr << "exit_without_unload: " << what << '\n';
    return false;
}

bool Run(const std::string& folder)
{
    fennix::Settings settings;
    settings.databaseUrl = "sqlite:" + folder + "/privilege.db";
    settings.appDir = folder;
    settings.appsFile = std::string(PRIV_SOURCE_DIR) + "/host/app/apps.json";
    settings.companyId = "1001";
    std::string error;
    if (!fennix::Open(settings, error))
        return Fail(error);
    if (!fennix::ApplySqlScript(std::string(PRIV_SOURCE_DIR) + "/db/schema-sqlite.sql", error))
        return Fail(error);
    // Texts longer than a string keeps in place, so that the module-wide
    // operator record owns memory of its own.
    const std::string code = "operator-with-a-long-code";
    for (const std::string& sql : std::vector<std::string>{
             "INSERT INTO XT_QYXX(QYID, QYSBH, QYMC, LBDM) VALUES(1001, 'S1001', '华东机械制造有限公司', 0)",
             "INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ, DESCRIPTION) VALUES('" + code +
                 "', '一位名字很长的业务操作员', '" + priv::EncryptPassword("a long password") +
                 "', '', 'Y', '负责华东地区的增值税申报与发票管理工作')",
             "INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('" + code + "', 'BUSINESS')",
         }) {
        if (!fennix::RunStatement(priv::kMainConnection, sql, nullptr, error))
            return Fail(error);
    }

    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return Fail(dlerror());
    auto call = [module](const char* name, const std::string& params, bool expected) {
        const auto entry = reinterpret_cast<BooleanExport>(dlsym(module, name));
        if (!entry)
            return Fail(std::string("no export ") + name);
        std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
        const std::string host = priv::Utf8ToHost(params);
        std::memcpy(buffer.data(), host.c_str(), host.size() + 1);
        char* argv[1] = {buffer.data()};
        if ((entry(0, argv) == 1) != expected)
            return Fail(std::string(name) + " answered otherwise with " + params);
        return true;
    };
    return call("LoadLoginForm", "pamCZY_DM=" + code + ";pamPWD=a long password", true) &&
           call("InitGlobalUserInfo", "CZY_DM=" + code, true) &&
           call("FilterUserAuthrz", "authedProdcList=0200\r\n0300", true);
    // The module stays loaded and fennix stays open on purpose.
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir folder;
    {
        QCoreApplication application(argc, argv);
        if (!folder.isValid() || !Run(folder.path().toStdString()))
            return 1;
    }
    std::cout << "left main with the module still loaded\n";
    return 0;
}
