// `privhost call`: drives the module exactly as a host does: dlopen, then
// each Boolean export with a writable buffer in the host's code page.
#include "commands.h"
#include "main_frame.h"
#include "module_loader.h"

#include "boundary/param_string.h"

#include <privilege/privilege.h>

#include <fennix/fennix.h>

#include <QGuiApplication>

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
        if (!IsBooleanExport(name)) {
            std::cerr << "privhost: unknown export " << name << '\n';
            return kExitSetup;
        }
        // Without a display nobody could answer the login window.
        if (name == "LoadLoginForm" && priv::GetParamValue(params, PRIV_KEY_LOGIN_CODE).empty() &&
            QGuiApplication::platformName() == "offscreen") {
            std::cerr
                << "privhost: LoadLoginForm without pamCZY_DM shows the login window and needs a display\n";
            return kExitSetup;
        }
    }

    if (!OpenHost(options, true))
        return kExitSetup;
    // The module's windows (the login window) show Qt's standard texts too.
    InstallChineseTranslations();
    ModuleLoader module;
    std::string error;
    if (!module.Load(error)) {
        std::cerr << "privhost: " << error << '\n';
        return kExitSetup;
    }

    int status = kExitOk;
    for (const auto& [name, params] : calls) {
        ParamBuffer buffer(params);
        const bool answer = module.CallBoolean(name, buffer.Argv());
        std::cout << name << ' ' << (answer ? 1 : 0) << ' ' << OneLine(buffer.Text()) << '\n';
        if (!answer)
            status = kExitFalse;
    }
    if (dumpApps)
        DumpApplications();
    std::cout.flush();
    return status;
}

} // namespace privhost
