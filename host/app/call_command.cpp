// `privhost call`: drives the module exactly as a host does: dlopen, then
// each export with a writable buffer in the host's code page. The window
// exports put free-standing page windows on screen; privhost then runs until
// the last of them is closed.
#include "commands.h"
#include "desktop_setup.h"
#include "module_loader.h"

#include "boundary/param_string.h"

#include <privilege/privilege.h>

#include <fennix/fennix.h>

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <iostream>
#include <vector>

namespace privhost {
namespace {

// One call per line: backslash, CR, LF and tab are shown escaped.
std::string OneLine(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void DumpApplications()
{
    for (const std::string& product : fennix::WithdrawnProducts())
        std::cout << "withdrawn-product " << product << '\n';
    for (const priv::SubAppDescriptor* descriptor : fennix::AllDescriptors())
        for (const priv::FunctionRecord& function : descriptor->functions)
            std::cout << "function " << descriptor->code << ' ' << function.code << ' '
                      << (function.enabled ? 1 : 0) << ' ' << (function.visible ? 1 : 0) << '\n';
}

bool Offscreen()
{
    return QGuiApplication::platformName() == "offscreen";
}

bool AnyWindowOpen()
{
    for (const QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            return true;
    return false;
}

} // namespace

int RunCall(const AppOptions& options)
{
    bool dumpApps = false;
    std::vector<std::pair<std::string, std::string>> calls;
    for (std::size_t i = 0; i < options.args.size(); ++i) {
        const std::string& arg = options.args[i];
        if (arg == "--dump-apps") {
            dumpApps = true;
            continue;
        }
        if (i + 1 >= options.args.size()) {
            std::cerr << "privhost: " << arg << " needs a parameter string\n";
            return kExitSetup;
        }
        calls.emplace_back(arg, options.args[++i]);
    }
    if (calls.empty()) {
        std::cerr << "privhost: call needs EXPORT PARAMS\n" << kUsage;
        return kExitSetup;
    }
    for (const auto& [name, params] : calls) {
        if (!IsBooleanExport(name) && !IsWindowExport(name)) {
            std::cerr << "privhost: unknown export " << name << '\n';
            return kExitSetup;
        }
        // Without a display nobody could answer the login window.
        if (name == "LoadLoginForm" && priv::GetParamValue(params, PRIV_KEY_LOGIN_CODE).empty() &&
            Offscreen()) {
            std::cerr
                << "privhost: LoadLoginForm without pamCZY_DM shows the login window and needs a display\n";
            return kExitSetup;
        }
        // Nor could anybody use or close a page window.
        if (IsWindowExport(name) && Offscreen()) {
            std::cerr << "privhost: " << name << " shows a page window and needs a display\n";
            return kExitSetup;
        }
    }

    if (!OpenHost(options, true))
        return kExitSetup;
    // An export that fails on the database answers only 0 (or its numbered
    // message); whoever runs privhost also learns the database's own reason,
    // which the host's log keeps as well.
    fennix::SetDatabaseFailureHandler(
        [](const std::string& text) { std::cerr << "privhost: 数据库操作失败：" << text << '\n'; });
    // The module's windows (the login window) show Qt's standard texts too.
    InstallChineseTranslations();
    // Windows on a display are used by a person, who sees the module's
    // message boxes and answers them.
    const bool windowsShown = std::any_of(calls.begin(), calls.end(), [](const auto& call) {
        return IsWindowExport(call.first) || (call.first == "LoadLoginForm" &&
                                              priv::GetParamValue(call.second, PRIV_KEY_LOGIN_CODE).empty());
    });
    if (windowsShown)
        fennix::SetInteractive(true);
    ModuleLoader module;
    std::string error;
    if (!module.Load(error)) {
        std::cerr << "privhost: " << error << '\n';
        return kExitSetup;
    }

    int status = kExitOk;
    for (const auto& [name, params] : calls) {
        ParamBuffer buffer(params);
        if (IsWindowExport(name)) {
            // No application window and no container: a free-standing page.
            if (!module.CallWindowExport(name, nullptr, nullptr, buffer.Argv())) {
                std::cerr << "privhost: the module has no export " << name << '\n';
                return kExitSetup;
            }
            std::cout << name << " - " << OneLine(buffer.Text()) << '\n';
            continue;
        }
        const bool answer = module.CallBoolean(name, buffer.Argv());
        std::cout << name << ' ' << (answer ? 1 : 0) << ' ' << OneLine(buffer.Text()) << '\n';
        if (!answer)
            status = kExitFalse;
    }
    std::cout.flush();
    // The pages stay usable until the last one is closed.
    if (AnyWindowOpen()) {
        QApplication::setQuitOnLastWindowClosed(true);
        QApplication::exec();
    }
    if (dumpApps)
        DumpApplications();
    std::cout.flush();
    return status;
}

} // namespace privhost
