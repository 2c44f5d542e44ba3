#include "ui/main_frame_channel.h"

#include "boundary/codepage.h"
#include "ui/host_messages.h"

#include <vector>

namespace priv {

HostHandle FindMainFrame()
{
    Host& host = CurrentHost();
    if (HostHandle frame = host.GetMainFrameHandle())
        return frame;
    return host.FindWindowByClass(kMainFrameClassName);
}

void SendMainFrameMsg(unsigned message)
{
    if (HostHandle frame = FindMainFrame())
        CurrentHost().SendWindowMessage(frame, message, 0, 0);
}

void SendMainFrameData(std::uintptr_t kind, const std::string& text)
{
    HostHandle frame = FindMainFrame();
    if (!frame)
        return;
    const std::string hostText = Utf8ToHost(text);
    // The receiver reads a zero-terminated text; the byte count includes it.
    std::vector<char> bytes(hostText.begin(), hostText.end());
    bytes.push_back('\0');
    Host& host = CurrentHost();
    host.SendCopyData(frame, host.GetAppHandle(), kind, bytes);
}

std::string WindowHandleText(const QWidget* window)
{
    return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

} // namespace priv
