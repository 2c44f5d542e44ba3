// A host that unloads the module gets it unloaded: after dlclose nothing of
// the module stays in the process (its unload handler ran and its state is
// gone), even after calls that converted text on the host's thread, and a
// second load starts afresh.
#include "support/arrange.h"
#include "support/database_fixture.h"
#include "support/loaded_module.h"

#include "boundary/codepage.h"
#include "cipher/crypt.h"

#include <privilege/privilege.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace priv::test {
namespace {

class ModuleUnloadTest : public DatabaseTest {};

// Loads the module, signs in without a window (text converted both ways, a
// password deciphered and measured) and unloads it again.
bool SignInThroughFreshModule()
{
    HostBuffer buffer("pamCZY_DM=admin;pamPWD=权限pw");
    bool signedIn = false;
    {
        const LoadedModule module;
        if (!module.Handle())
            return false;
        signedIn = module.Call("LoadLoginForm", buffer);
    }
    return signedIn && buffer.Text() == "CZY_DM=admin;CZY_LB=0";
}

TEST_P(ModuleUnloadTest, DlcloseUnloadsTheModuleAfterItConvertedText)
{
    ASSERT_TRUE(AddOperator(
        Db(), {.code = "admin", .name = "管理员", .password = "权限pw", .category = "0", .post = "0"}));
    for (int load = 1; load <= 2; ++load) {
        EXPECT_TRUE(SignInThroughFreshModule()) << "load " << load;
        EXPECT_EQ(dlopen(PRIV_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
            << "the module stayed loaded after dlclose (load " << load << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ModuleUnloadTest, ::testing::ValuesIn(AvailableBackends()), BackendName);

} // namespace
} // namespace priv::test
