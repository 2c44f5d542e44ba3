#include "module_loader.h"

#include "app_options.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace privhost {
namespace {

using BooleanExport = PrivBool(PRIV_CALL*)(int32_t, char**);

const char* const kBooleanExports[] = {"LoadLoginForm", "InitGlobalUserInfo", "FilterUserAuthrz"};

} // namespace

bool IsBooleanExport(const std::string& name)
{
    for (const char* known : kBooleanExports)
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
    std::vector<std::string> candidates;
    if (const char* path = std::getenv("PRIVHOST_MODULE"))
        candidates.emplace_back(path);
    candidates.push_back(ExecutableDir() + "/libprivilege.so");
    candidates.emplace_back(PRIVHOST_BUILT_MODULE);
    for (const std::string& path : candidates) {
        if (!std::filesystem::exists(path))
            continue;
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_)
            return true;
        error = std::string("cannot load the module: ") + dlerror();
        return false;
    }
    error = "module libprivilege.so not found (set PRIVHOST_MODULE)";
    return false;
}

void* ModuleLoader::Symbol(const std::string& name) const { return handle_ ? dlsym(handle_, name.c_str()) : nullptr; }

bool ModuleLoader::CallBoolean(const std::string& name, char** argv)
{
    const auto function = reinterpret_cast<BooleanExport>(Symbol(name));
    return function && function(0, argv) != 0;
}

} // namespace privhost
