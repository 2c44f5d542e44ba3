// Talking to the host's main window: plain window messages and copy-data
// texts. Both wait until the main window has handled them.
#pragma once

#include "boundary/host.h"

#include <cstdint>
#include <string>

class QWidget;

namespace priv {

// The host's main window: the main-frame handle the host hands out, else the
// window registered under the class name "Tfrm_MainFrame", else none.
HostHandle FindMainFrame();

// Sends `message` with both parameters 0. Without a main window nothing is
// sent and nothing is reported.
void SendMainFrameMsg(unsigned message);

// Sends the UTF-8 `text` as a copy-data message of `kind`: converted to the
// host's code page and followed by its terminating zero, with the module's
// application handle as sender. Without a main window nothing is sent.
void SendMainFrameData(std::uintptr_t kind, const std::string& text);

// A window's handle as the host reads it in copy-data texts: the value of the
// QWidget pointer as an unsigned decimal number.
std::string WindowHandleText(const QWidget* window);

} // namespace priv
