#include "module_loader.h"

#include "app_options.h"

#include "boundary/codepage.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>

namespace privhost {
namespace {

using BooleanExport = PrivBool(PRIV_CALL*)(int32_t, char**);
using LogoutExport = void(PRIV_CALL*)(void*, int32_t, int32_t);
using WindowExport = void(PRIV_CALL*)(void*, void*, char**);

const char* const kBooleanExports[] = {"LoadLoginForm", "InitGlobalUserInfo", "FilterUserAuthrz"};
const char* const kWindowExports[] = {"ShowOperatorMgrProc", "ShowOperatorModifyPwdProc",
                                      "ShowPrivilegeAssignInnerProc"};

} // namespace

bool IsBooleanExport(const std::string& name)
{
    for (const char* known : kBooleanExports)
        if (name == known)
            return true;
    return false;
}

bool IsWindowExport(const std::string& name)
{
    for (const char* known : kWindowExports)
        if (name == known)
            return true;
    return false;
}

ModuleLoader::~ModuleLoader()
{
    if (handle_)
        dlclose(handle_);
}

bool ModuleLoader::Load(std::string& error)
{
    for (const std::string& path : ModuleCandidates())
        if (std::filesystem::exists(path))
            return LoadFrom(path, error);
    error = "module libprivilege.so not found (set PRIVHOST_MODULE)";
    return false;
}

bool ModuleLoader::LoadFrom(const std::string& path, std::string& error)
{
    if (handle_) {
        error = "the module is already loaded";
        return false;
    }
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_)
        return true;
    const char* reason = dlerror();
    error = std::string("cannot load the module: ") + (reason ? reason : path);
    return false;
}

void* ModuleLoader::Symbol(const std::string& name) const
{
    return handle_ ? dlsym(handle_, name.c_str()) : nullptr;
}

bool ModuleLoader::CallBoolean(const std::string& name, char** argv)
{
    const auto function = reinterpret_cast<BooleanExport>(Symbol(name));
    return function && function(0, argv) != 0;
}

bool ModuleLoader::CallShowLogoutForm(void* appWindow)
{
    const auto function = reinterpret_cast<LogoutExport>(Symbol("ShowLogoutForm"));
    if (!function)
        return false;
    function(appWindow, 0, 0);
    return true;
}

bool ModuleLoader::CallWindowExport(const std::string& name, void* appWindow, void* container, char** argv)
{
    if (!IsWindowExport(name))
        return false;
    const auto function = reinterpret_cast<WindowExport>(Symbol(name));
    if (!function)
        return false;
    function(appWindow, container, argv);
    return true;
}

ParamBuffer::ParamBuffer(const std::string& utf8Params)
{
    const std::string hostText = priv::Utf8ToHost(utf8Params);
    bytes_.assign(std::max<std::size_t>(PRIV_PARAM_BUFFER_SIZE, hostText.size() + 1), '\0');
    std::memcpy(bytes_.data(), hostText.c_str(), hostText.size() + 1);
    argv_[0] = bytes_.data();
}

std::string ParamBuffer::Text() const
{
    return priv::HostToUtf8(bytes_.data());
}

} // namespace privhost
