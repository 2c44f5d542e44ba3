#pragma once

#include <chrono>
#include <functional>
#include <utility>

namespace priv {

// Lets the host's waiting window events run during a long load, at most once
// per time slice. A load of many thousand companies would otherwise pass
// through the event loop after every row, which costs more than the rows
// themselves; once per slice still repaints the status window and keeps the
// host's windows answering while the tree is built.
class EventSlice {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSlice{50};

    // `runEvents` is called when a slice has run out; `now` tells the time.
    explicit EventSlice(std::function<void()> runEvents, std::function<Clock::time_point()> now = &Clock::now)
        : runEvents_(std::move(runEvents)), now_(std::move(now)), sliceStart_(now_())
    {
    }

    // Called after each piece of work: runs the waiting events when the
    // current slice is over and starts the next one.
    void Pass()
    {
        const Clock::time_point current = now_();
        if (current - sliceStart_ < kSlice)
            return;
        runEvents_();
        sliceStart_ = now_();
    }

private:
    std::function<void()> runEvents_;
    std::function<Clock::time_point()> now_;
    Clock::time_point sliceStart_;
};

} // namespace priv
