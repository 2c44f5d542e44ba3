// `privhost` without a command: the desktop host. Opens the framework, loads
// the module, lets an operator sign in (the module's login window, or
// silently with --code/--password) and shows the main frame.
#include "commands.h"
#include "desktop_session.h"
#include "desktop_setup.h"
#include "main_window.h"
#include "module_loader.h"

#include <fennix/fennix.h>

#include <QApplication>

#include <iostream>
#include <memory>

namespace privhost {

int RunDesktop(const AppOptions& options)
{
    InstallDesktopFonts();
    InstallChineseTranslations();
    if (!OpenHost(options, true))
        return kExitSetup;
    // On the desktop every message box of the module and of the host is real.
    fennix::SetInteractive(true);

    ModuleLoader module;
    std::string error;
    if (!module.Load(error)) {
        std::cerr << "privhost: " << error << '\n';
        return kExitSetup;
    }

    int status = kExitOk;
    {
        // The main frame exists (hidden) before the sign-in so that the login
        // window already has the host's application window.
        Tfrm_MainFrame frame(module);
        DesktopSession session(module);
        std::string password = options.signInPassword;
        if (!options.signInCode.empty() && !options.hasSignInPassword)
            password = ReadPassword("操作员 " + options.signInCode + " 的密码: ");
        const std::optional<SignedInOperator> signedIn = session.SignIn(options.signInCode, password);
        if (!signedIn) {
            std::cerr << (options.signInCode.empty()
                              ? "privhost: 未登录（登录窗口已取消或不可用）\n"
                              : "privhost: 登录失败：操作员代码或密码不正确，或操作员已停用\n");
            status = kExitFalse;
        } else if (!frame.StartSession(signedIn->code, error)) {
            std::cerr << "privhost: " << error << '\n';
            status = kExitFalse;
        } else {
            frame.show();
            status = QApplication::exec();
        }
    }
    // Pages the module closed are deleted later; that has to happen while the
    // module's code is still loaded.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}

} // namespace privhost
