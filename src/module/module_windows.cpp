#include "module/module_windows.h"

#include "admin/operator_modify_pwd.h"
#include "admin/operator_window.h"
#include "assign/privilege_assign_window.h"
#include "boundary/param_string.h"
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

void ShowPrivilegeAssignment(void* /*applicationWindow*/, void* container, const std::string& params)
{
    // Host and module share one application object here, so the host's
    // application window already owns every window the module shows.
    auto* window = new TfrmPrivilegeAssignEx;
    bool prepared = true;
    try {
        window->PostCode = GetParamValue(params, "JS_DM");
        prepared = window->Prepare();
    } catch (...) {
        // The page still opens; it shows what it could prepare.
    }
    if (!prepared) {
        delete window;
        return;
    }
    ShowModuleForm(static_cast<QWidget*>(container), window, params, false);
}

} // namespace priv::module
