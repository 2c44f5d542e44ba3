// privilege.dll as a Windows host loads it: by name, its seven exports looked
// up by their plain names and called with a parameter buffer. This build binds
// no host, so the Boolean exports answer 0; what matters is that the DLL
// loads, that every export is found, and that no failure escapes into the
// host or touches its buffer.
#include <privilege/privilege.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using BooleanExport = PrivBool(PRIV_CALL*)(int32_t, char**);
using WindowExport = void(PRIV_CALL*)(void*, void*, char**);
using LogoutExport = void(PRIV_CALL*)(void*, int32_t, int32_t);

class ModuleDll : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryA("privilege.dll");
        ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << GetLastError();
    }
    void TearDown() override
    {
        if (module_) {
            EXPECT_TRUE(FreeLibrary(module_));
        }
    }
    template <typename Function> Function Find(const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_ = nullptr;
};

struct Buffer {
    explicit Buffer(const std::string& text)
    {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        argv[0] = bytes;
    }
    std::string Text() const { return bytes; }
    char bytes[PRIV_PARAM_BUFFER_SIZE] = {};
    char* argv[1] = {};
};

TEST_F(ModuleDll, ExportsTheSevenPlainNames)
{
    for (const char* name :
         {"LoadLoginForm", "InitGlobalUserInfo", "FilterUserAuthrz", "ShowLogoutForm", "ShowOperatorMgrProc",
          "ShowOperatorModifyPwdProc", "ShowPrivilegeAssignInnerProc"})
        EXPECT_NE(Find<void*>(name), nullptr) << name;
    for (const char* decorated : {"LoadLoginForm@8", "_LoadLoginForm@8", "ShowOperatorMgrProc@12"})
        EXPECT_EQ(Find<void*>(decorated), nullptr) << decorated;
}

TEST_F(ModuleDll, WithoutAHostNobodySignsInAndTheBufferStays)
{
    const struct {
        const char* name;
        std::string params;
    } calls[] = {
        {"LoadLoginForm", "pamCZY_DM=admin;pamPWD=admin123"},
        {"LoadLoginForm", ""}, // the login window is not part of this build
        {"InitGlobalUserInfo", "CZY_DM=admin"},
    };
    for (const auto& call : calls) {
        const auto function = Find<BooleanExport>(call.name);
        ASSERT_NE(function, nullptr) << call.name;
        Buffer buffer(call.params);
        EXPECT_EQ(function(0, buffer.argv), 0) << call.name << " " << call.params;
        EXPECT_EQ(buffer.Text(), call.params) << call.name;
    }
}

TEST_F(ModuleDll, WindowExportsReturnWithoutShowingAnything)
{
    Buffer buffer("JS_DM=SYSTEM;ModalFormMsg=x");
    for (const char* name :
         {"ShowOperatorMgrProc", "ShowOperatorModifyPwdProc", "ShowPrivilegeAssignInnerProc"}) {
        const auto function = Find<WindowExport>(name);
        ASSERT_NE(function, nullptr) << name;
        function(nullptr, nullptr, buffer.argv);
    }
    const auto logout = Find<LogoutExport>("ShowLogoutForm");
    ASSERT_NE(logout, nullptr);
    logout(nullptr, 0, 0);
    EXPECT_EQ(buffer.Text(), "JS_DM=SYSTEM;ModalFormMsg=x");
}

TEST_F(ModuleDll, FreeLibraryUnloadsItAfterItConvertedText)
{
    Buffer buffer("pamCZY_DM=\xB9\xDC\xC0\xED;pamPWD=\xC8\xA8"); // GBK text
    const auto login = Find<BooleanExport>("LoadLoginForm");
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login(0, buffer.argv), 0);
    ASSERT_TRUE(FreeLibrary(module_));
    module_ = nullptr;
    EXPECT_EQ(GetModuleHandleA("privilege.dll"), nullptr);
}

} // namespace
