#include "module/module_windows.h"

#include "session/export_calls.h"

namespace priv::module {

void ShowLogoutForm(void* /*applicationWindow*/)
{
    // A successful sign-in replaces the current operator; the host learns of
    // it by calling InitGlobalUserInfo again.
    RunLoginWindow();
}

// The operator management, password change and privilege assignment windows
// are not part of this build yet: their exports open nothing.
void ShowOperatorManagement(void*, void*, const std::string&) {}
void ShowPasswordChange(void*, void*, const std::string&) {}
void ShowPrivilegeAssignment(void*, void*, const std::string&) {}

} // namespace priv::module
