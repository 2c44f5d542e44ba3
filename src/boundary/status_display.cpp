#include "boundary/status_display.h"

namespace priv {
namespace {

class SilentStatus final : public StatusDisplay {
public:
    void ShowStatus(const std::string&) override {}
    void HideStatus() override {}
};

SilentStatus silentStatus;
StatusDisplay* installedStatus = &silentStatus;

} // namespace

StatusDisplay& CurrentStatusDisplay()
{
    return *installedStatus;
}
void SetStatusDisplay(StatusDisplay* display)
{
    installedStatus = display ? display : &silentStatus;
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
