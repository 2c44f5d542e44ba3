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

ScopedStatus::ScopedStatus(bool show, const std::string& text) : shown_(show)
{
    if (shown_)
        CurrentStatusDisplay().ShowStatus(text);
}

ScopedStatus::~ScopedStatus()
{
    if (shown_)
        CurrentStatusDisplay().HideStatus();
}

} // namespace priv
