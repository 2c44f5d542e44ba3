// Loads libprivilege with dlopen and finds its exports by name, as a host does.
#pragma once

#include <privilege/privilege.h>

#include <string>

namespace privhost {

bool IsBooleanExport(const std::string& name);

class ModuleLoader {
public:
    ModuleLoader() = default;
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Looks in $PRIVHOST_MODULE, beside the executable, then in the build tree.
    bool Load(std::string& error);
    bool CallBoolean(const std::string& name, char** argv);
    void* Symbol(const std::string& name) const;

private:
    void* handle_ = nullptr;
};

} // namespace privhost
