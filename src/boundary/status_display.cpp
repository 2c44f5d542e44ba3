#include "boundary/status_display.h"

#include <utility>

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

std::function<StatusProgress::Clock::time_point()>& ProgressClock()
{
    static std::function<StatusProgress::Clock::time_point()> clock;
    return clock;
}

StatusProgress::Clock::time_point ProgressNow()
{
    const auto& clock = ProgressClock();
    return clock ? clock() : StatusProgress::Clock::now();
}

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

void SetStatusProgressClock(std::function<StatusProgress::Clock::time_point()> now)
{
    ProgressClock() = std::move(now);
}

StatusProgress::StatusProgress(StatusDisplay& display, int total, bool active)
    : display_(display), total_(total), active_(active && total > 0),
      start_(active_ ? ProgressNow() : Clock::time_point{})
{
}

void StatusProgress::Step(int done)
{
    if (!active_ || done == lastDone_)
        return;
    const Clock::time_point now = ProgressNow();
    if (now - start_ < kProgressDelay)
        return;
    // The last company is always shown once the count is up, however soon
    // after the one before it came.
    if (shown_ && now - lastShown_ < kProgressInterval && done < total_)
        return;
    shown_ = true;
    lastShown_ = now;
    lastDone_ = done;
    display_.ShowProgress(done < total_ ? done : total_, total_);
}

} // namespace priv
