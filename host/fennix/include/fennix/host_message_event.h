// A window message of the host delivered to a Qt window: the host's message
// number travels as the event type QEvent::User + number, its two parameters
// with it. Windows that handle host messages (close, skin change) override
// QWidget::event and test for the type they expect.
#pragma once

#include <QEvent>

#include <cstdint>

#if defined(FENNIX_BUILDING)
#define FENNIX_EVENT_API __attribute__((visibility("default")))
#else
#define FENNIX_EVENT_API
#endif

namespace fennix {

class FENNIX_EVENT_API HostMessageEvent : public QEvent {
public:
    HostMessageEvent(unsigned message, std::intptr_t wParam, std::intptr_t lParam);
    ~HostMessageEvent() override;

    // The event type that carries host message `message`.
    static QEvent::Type TypeFor(unsigned message)
    {
        return static_cast<QEvent::Type>(static_cast<int>(QEvent::User) + static_cast<int>(message));
    }

    unsigned message() const { return message_; }
    std::intptr_t wParam() const { return wParam_; }
    std::intptr_t lParam() const { return lParam_; }

private:
    unsigned message_;
    std::intptr_t wParam_;
    std::intptr_t lParam_;
};

} // namespace fennix
