#include "module/module_windows.h"

#include "admin/operator_modify_pwd.h"
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
    // The host and the module share one toolkit: the container is the host's
    // own control. The page frees itself when it closes.
    auto* window = new Tfrm_Operator;
    ShowModuleForm(static_cast<QWidget*>(container), window, params, true);
}

void ShowPasswordChange(void* /*applicationWindow*/, void* container, const std::string& params)
{
    // The host and the module share one toolkit: the container is the host's
    // own control. The page frees itself when it closes.
    auto* window = new Tfrm_OperatorModifyPwdInner;
    ShowModuleForm(static_cast<QWidget*>(container), window, params, true);
}

// The privilege assignment window is not part of this build yet: its export
// opens nothing.
void ShowPrivilegeAssignment(void*, void*, const std::string&) {}

} // namespace priv::module
