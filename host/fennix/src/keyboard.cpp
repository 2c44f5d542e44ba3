#include "keyboard.h"

#include <QGuiApplication>

#if defined(FENNIX_WITH_X11)
#include <X11/XKBlib.h>
#endif

namespace fennix::detail {

std::optional<bool> PlatformCapsLock()
{
#if defined(FENNIX_WITH_X11)
    // Qt reports the modifier keys but not the lock keys; on X11 the keyboard
    // extension tells which modifiers are locked, Caps Lock being the Lock
    // modifier (read from the keyboard state, not the LED, which not every
    // server drives).
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!application)
        return std::nullopt;
    auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return std::nullopt;
    // The connection Qt opened has not set up the keyboard extension yet.
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(x11->display(), &opcode, &event, &error, &major, &minor))
        return std::nullopt;
    XkbStateRec state{};
    if (XkbGetState(x11->display(), XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    return (state.locked_mods & LockMask) != 0;
#else
    return std::nullopt;
#endif
}

} // namespace fennix::detail
