// The module where neither the substitute host nor Qt is at hand (the Windows
// build made on Linux). The export table and every plain C++ layer behind it
// are the same as in the full module, but no host is bound: a Boolean export
// answers false (without the host's services nobody can be signed in), and a
// window export shows nothing. Nothing is bound at load, so nothing needs
// undoing at unload; the module-wide state goes with the module. A full
// Windows build binds the host's framework library here and adds the Qt
// windows.
#include "module/module_windows.h"
#include "session/export_calls.h"

namespace priv::module {

// No login window is installed, so this shows nothing.
void ShowLogoutForm(void*)
{
    RunLoginWindow();
}

void ShowOperatorManagement(void*, void*, const std::string&) {}
void ShowPasswordChange(void*, void*, const std::string&) {}
void ShowPrivilegeAssignment(void*, void*, const std::string&) {}

} // namespace priv::module
