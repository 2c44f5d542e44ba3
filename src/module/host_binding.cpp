// Load and unload of the shared module: bind the module to the substitute
// host it is loaded into, install its windows, and let go of everything at
// unload.
#include "boundary/host.h"
#include "boundary/status_display.h"
#include "session/export_calls.h"
#include "signin/login_window.h"
#include "ui/accessibility.h"
#include "ui/status_window.h"

#include <fennix/fennix.h>

namespace {

__attribute__((constructor)) void OnModuleLoad()
{
    priv::BindHost(&fennix::Services());
    priv::SetLoginWindowRunner(&priv::RunLoginDialog);
    priv::InstallStatusWindow();
}

__attribute__((destructor)) void OnModuleUnload()
{
    try {
        priv::HideStatus();
        priv::SetStatusDisplay(nullptr);
        priv::ReleaseModuleState();
        priv::UninstallAccessibility();
    } catch (...) {
    }
    priv::BindHost(nullptr);
}

} // namespace
