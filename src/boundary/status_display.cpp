#include "boundary/status_display.h"

namespace priv {
namespace {

class SilentStatus final : public StatusDisplay {
public:
    void ShowStatus(const std::string&) override {}
    void HideStatus() override {}
};

// Made on first use: loading the library runs no constructor of it.
StatusDisplay& Silent()
{
    static SilentStatus silent;
    return silent;
}

StatusDisplay* installedStatus = nullptr;

} // namespace

StatusDisplay& CurrentStatusDisplay()
{
    return installedStatus ? *installedStatus : Silent();
}
void SetStatusDisplay(StatusDisplay* display)
{
    installedStatus = display;
}

ScopedStatus::ScopedStatus(bool show, const std::string& text)
    : ScopedStatus(CurrentStatusDisplay(), show, text)
{
}

ScopedStatus::ScopedStatus(StatusDisplay& display, bool show, const std::string& text)
    : display_(display), shown_(show)
{
    if (shown_)
        display_.ShowStatus(text);
}

ScopedStatus::~ScopedStatus()
{
    Hide();
}

void ScopedStatus::Hide()
{
    if (!shown_)
        return;
    shown_ = false;
    display_.HideStatus();
}

} // namespace priv
