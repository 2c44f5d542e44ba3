#include "channel.h"

#include "fennix/host_message_event.h"
#include "state.h"

#include <QCoreApplication>
#include <QObject>

namespace fennix {

HostMessageEvent::HostMessageEvent(unsigned message, std::intptr_t wParam, std::intptr_t lParam)
    : QEvent(TypeFor(message)), message_(message), wParam_(wParam), lParam_(lParam)
{
}

HostMessageEvent::~HostMessageEvent() = default;

namespace detail {
namespace {

// The host's main frame answers for itself and for every window it
// registered under a class name.
bool IsMainFrameWindow(void* target)
{
    const HostState& state = State();
    if (target == state.mainFrame)
        return true;
    for (const auto& [name, window] : state.windowClasses)
        if (window == target)
            return true;
    return false;
}

} // namespace

void* FindWindowByClass(const std::string& className)
{
    const HostState& state = State();
    const auto found = state.windowClasses.find(className);
    return found == state.windowClasses.end() ? nullptr : found->second;
}

void SendWindowMessage(void* target, unsigned message, std::intptr_t wParam, std::intptr_t lParam)
{
    if (!target)
        return;
    HostState& state = State();
    if (state.onMessage && IsMainFrameWindow(target)) {
        // A copy: the handler may replace the handlers while it runs.
        const MessageHandler handler = state.onMessage;
        handler(target, message, wParam, lParam);
        return;
    }
    // Qt's user event types end at QEvent::MaxUser; a message number beyond
    // that has no event type and cannot be delivered.
    if (static_cast<unsigned long long>(QEvent::User) + message >
        static_cast<unsigned long long>(QEvent::MaxUser))
        return;
    HostMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(static_cast<QObject*>(target), &event);
}

void SendCopyData(void* target, void* sender, std::uintptr_t kind, const std::vector<char>& bytes)
{
    if (!target)
        return;
    // Only the main frame takes copy-data; other windows have no use for it.
    HostState& state = State();
    if (state.onCopyData && IsMainFrameWindow(target)) {
        const CopyDataHandler handler = state.onCopyData;
        handler(target, sender, kind, bytes);
    }
}

} // namespace detail
} // namespace fennix
