// The module's one status window, as the plain C++ layers see it: the window
// layer installs the real one; until then showing it shows nothing.
#pragma once

#include <string>

namespace priv {

class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void HideStatus() = 0;
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

} // namespace priv
