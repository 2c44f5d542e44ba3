// A host that unloads the module gets it unloaded: after dlclose nothing of
// the module stays in the process (its unload handler ran and its state is
// gone), even after calls that converted text on the host's thread, and a
// second load starts afresh.
#include "support/database_fixture.h"

#include "boundary/codepage.h"
#include "cipher/crypt.h"

#include <privilege/privilege.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace priv::test {
namespace {

using BooleanExport = PrivBool (*)(int32_t, char**);

class ModuleUnloadTest : public DatabaseTest {};

// Loads the module, signs in without a window (text converted both ways, a
// password deciphered and measured) and unloads it again.
bool SignInThroughFreshModule()
{
    void* module = dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return false;
    auto login = reinterpret_cast<BooleanExport>(dlsym(module, "LoadLoginForm"));
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    const std::string params = Utf8ToHost("pamCZY_DM=admin;pamPWD=权限pw");
    std::memcpy(buffer.data(), params.c_str(), params.size() + 1);
    char* argv[1] = {buffer.data()};
    const bool signedIn = login && login(0, argv) == 1;
    dlclose(module);
    return signedIn && HostToUtf8(buffer.data()) == "CZY_DM=admin;CZY_LB=0";
}

TEST_P(ModuleUnloadTest, DlcloseUnloadsTheModuleAfterItConvertedText)
{
    ASSERT_TRUE(
        Db().Exec("INSERT INTO QX_CZY(CZY_DM, CZY_MC, PWD, CZY_LB, YXBZ) VALUES('admin', '管理员', '" +
                  EncryptPassword("权限pw") + "', '0', 'Y')"));
    ASSERT_TRUE(Db().Exec("INSERT INTO QX_CZYRROLE(CZY_DM, JS_DM) VALUES('admin', '0')"));
    for (int load = 1; load <= 2; ++load) {
        EXPECT_TRUE(SignInThroughFreshModule()) << "load " << load;
        EXPECT_EQ(dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
            << "the module stayed loaded after dlclose (load " << load << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ModuleUnloadTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
