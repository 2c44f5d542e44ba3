// Load and unload of the shared module: bind the module to the substitute
// host it is loaded into, and let go of everything at unload.
#include "boundary/export_calls.h"
#include "boundary/host.h"

#include <fennix/fennix.h>

namespace {

__attribute__((constructor)) void OnModuleLoad()
{
    priv::BindHost(&fennix::Services());
}

__attribute__((destructor)) void OnModuleUnload()
{
    try {
        priv::ReleaseModuleState();
    } catch (...) {
    }
    priv::BindHost(nullptr);
}

} // namespace
