// The module's one status window, as the plain C++ layers see it: the window
// layer installs the real one; until then showing it shows nothing.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace priv {

class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void HideStatus() = 0;
    // How far the long operation has come: `done` of `total` companies,
    // shown beside the text until the window is hidden. A display without
    // room for it shows nothing more.
    virtual void ShowProgress(int /*done*/, int /*total*/) {}
};

StatusDisplay& CurrentStatusDisplay();
void SetStatusDisplay(StatusDisplay* display); // nullptr: back to showing nothing

// Shows the status window for the lifetime of a long operation and hides it on
// every path out, exceptions included.
class ScopedStatus {
public:
    ScopedStatus(bool show, const std::string& text);
    // On a given display instead of the installed one (a window showing its
    // own status window whether or not the module installed it).
    ScopedStatus(StatusDisplay& display, bool show, const std::string& text);
    ~ScopedStatus();
    ScopedStatus(const ScopedStatus&) = delete;
    ScopedStatus& operator=(const ScopedStatus&) = delete;
    // Hides it now, before the operation ends (a message box must not open
    // beneath it); the end of the scope then hides nothing.
    void Hide();

private:
    StatusDisplay& display_;
    bool shown_;
};

// Tells the operator how far an operation over many companies has come, once
// it has run long enough for him to wonder: a save or load that ends within
// kProgressDelay shows its text alone. After that the count is shown at most
// once per kProgressInterval, so that the window is not repainted for every
// company of a fast loop.
class StatusProgress {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kProgressDelay{1000};
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    // Nothing is shown when `active` is false (the operation shows no
    // status window) or there is nothing to count.
    StatusProgress(StatusDisplay& display, int total, bool active = true);
    StatusProgress(const StatusProgress&) = delete;
    StatusProgress& operator=(const StatusProgress&) = delete;

    // `done` companies of the total are through.
    void Step(int done);
    int Total() const { return total_; }

private:
    StatusDisplay& display_;
    int total_;
    bool active_;
    Clock::time_point start_;
    Clock::time_point lastShown_{};
    bool shown_ = false;
    int lastDone_ = -1;
};

// The clock that StatusProgress reads; tests give one of their own so that
// the count appears without waiting. Empty: the steady clock.
void SetStatusProgressClock(std::function<StatusProgress::Clock::time_point()> now);

} // namespace priv
