#include "module/module_windows.h"

#include "admin/operator_window.h"
#include "session/export_calls.h"
#include "ui/custom_form.h"

#include <QWidget>

namespace priv::module {

void ShowLogoutForm(void* /*applicationWindow*/)
{
    // A successful sign-in replaces the current operator; the host learns of
    // it by calling InitGlobalUserInfo again.
    RunLoginWindow();
}

void ShowOperatorManagement(void* /*applicationWindow*/, void* container, const std::string& params)
{
    // Owned by the application until the host's page takes it; it frees
    // itself when it closes.
    auto* window = new Tfrm_Operator;
    ShowModuleForm(static_cast<QWidget*>(container), window, params, true);
}

// The password change and privilege assignment windows are not part of this
// build yet: their exports open nothing.
void ShowPasswordChange(void*, void*, const std::string&) {}
void ShowPrivilegeAssignment(void*, void*, const std::string&) {}

} // namespace priv::module
