// Loads libprivilege with dlopen and finds its exports by name, as a host does.
#pragma once

#include <privilege/privilege.h>

#include <string>
#include <vector>

namespace privhost {

// A host buffer for one export: the parameter string in the host's code page,
// with room for the module's documented bound.
class ParamBuffer {
public:
    explicit ParamBuffer(const std::string& utf8Params);
    char** Argv() { return argv_; }
    // The buffer's text after the call, back in UTF-8.
    std::string Text() const;

private:
    std::vector<char> bytes_;
    char* argv_[1] = {nullptr};
};

bool IsBooleanExport(const std::string& name);
// ShowOperatorMgrProc, ShowOperatorModifyPwdProc, ShowPrivilegeAssignInnerProc.
bool IsWindowExport(const std::string& name);

class ModuleLoader {
public:
    ModuleLoader() = default;
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Loads the first of ModuleCandidates() that exists.
    bool Load(std::string& error);
    // Loads the module from one given file.
    bool LoadFrom(const std::string& path, std::string& error);
    bool IsLoaded() const { return handle_ != nullptr; }
    bool CallBoolean(const std::string& name, char** argv);
    void* Symbol(const std::string& name) const;

    // The window exports. Each answers false only when the module lacks the
    // export; what the export put on screen the host sees in `container`.
    bool CallShowLogoutForm(void* appWindow);
    bool CallWindowExport(const std::string& name, void* appWindow, void* container, char** argv);

private:
    void* handle_ = nullptr;
};

} // namespace privhost
