#include "module/module_windows.h"

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

// The operator management and password change windows are not part of this
// build yet: their exports open nothing.
void ShowOperatorManagement(void*, void*, const std::string&) {}
void ShowPasswordChange(void*, void*, const std::string&) {}

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
