// The window messages and copy-data kinds that the module's windows exchange
// with the host's main window. The numbers are fixed: the host knows them.
//
// A message from the host reaches a Qt window synchronously as an event whose
// type is QEvent::User + the message number (see HostMessageType); windows
// test for it in QWidget::event.
#pragma once

#include <QEvent>

#include <cstdint>

namespace priv {

// WM_USER on the original desktop; the host's own messages count from it.
inline constexpr unsigned kWmUser = 0x0400;

// Host to page window: close yourself.
inline constexpr unsigned WM_MODULE_CLOSE = kWmUser + 256; // 0x500
// Host to page window or dialog: the skin changed.
inline constexpr unsigned WM_MODULE_SKIN = kWmUser + 279; // 0x517
// Window to host: F1 was pressed.
inline constexpr unsigned WM_MAINFRAME_HELP = kWmUser + 272; // 0x510
// Page window to host (first parameter 1): keep the host's caption active.
inline constexpr unsigned WM_NCACTIVATE = 0x0086;

// Copy-data kinds sent to the host's main window.
inline constexpr std::uintptr_t CD_PAGE_OPENED = 0x502;
inline constexpr std::uintptr_t CD_PAGE_CLOSED = 0x516;
inline constexpr std::uintptr_t CD_PAGE_SIZE = 0x531;

// The window class under which the host's main window can be found when the
// host hands out no main-frame handle.
inline constexpr const char* kMainFrameClassName = "Tfrm_MainFrame";

// The event type that carries host message `message` to a Qt window.
inline QEvent::Type HostMessageType(unsigned message)
{
    return static_cast<QEvent::Type>(static_cast<int>(QEvent::User) + static_cast<int>(message));
}

} // namespace priv
