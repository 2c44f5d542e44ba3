// Load and unload of the shared module: bind the module to the substitute
// host it is loaded into, install its windows, and let go of everything at
// unload.
#include "boundary/host.h"
#include "boundary/status_display.h"
#include "session/export_calls.h"
#include "signin/login_window.h"
#include "ui/status_window.h"

#include <fennix/fennix.h>

#include <cstdlib>

namespace {

// A host may unload the module (dlclose: the unload handler runs first, then
// the module's static objects are destroyed) or simply exit with the module
// still loaded (exit(): every static object is destroyed first, and the unload
// handler runs last). In the second case the handler must touch nothing: the
// module-wide state is already gone, and so is the process a moment later.
// A handler registered at load runs in both cases, after the unload handler on
// dlclose and before it on exit, and tells the two apart.
bool processExiting = false;

void NoteProcessExit()
{
    processExiting = true;
}

__attribute__((constructor)) void OnModuleLoad()
{
    std::atexit(&NoteProcessExit);
    priv::BindHost(&fennix::Services());
    priv::SetLoginWindowRunner(&priv::RunLoginDialog);
    priv::InstallStatusWindow();
}

__attribute__((destructor)) void OnModuleUnload()
{
    if (processExiting)
        return;
    try {
        priv::HideStatus();
        priv::SetStatusDisplay(nullptr);
        priv::ReleaseModuleState();
    } catch (...) {
    }
    priv::BindHost(nullptr);
}

} // namespace
