#include "boundary/event_slice.h"

#include <gtest/gtest.h>

#include <chrono>

namespace priv {
namespace {

using std::chrono::milliseconds;

// A load that builds one row per millisecond for a second lets the events run
// once per 50 ms slice, not once per row, and not before the first slice ends.
TEST(EventSlice, RunsTheWaitingEventsOncePerSlice)
{
    EventSlice::Clock::time_point now{};
    int passes = 0;
    EventSlice events([&passes] { ++passes; }, [&now] { return now; });

    for (int row = 0; row < 49; ++row) {
        now += milliseconds(1);
        events.Pass();
    }
    EXPECT_EQ(passes, 0) << "the first slice is not over";

    for (int row = 49; row < 1000; ++row) {
        now += milliseconds(1);
        events.Pass();
    }
    EXPECT_EQ(passes, 20);
}

// A slice is counted from the end of the events that ran, so a long pass of
// the event loop does not make the next rows run events at once.
TEST(EventSlice, TheNextSliceStartsWhenTheEventsHaveRun)
{
    EventSlice::Clock::time_point now{};
    int passes = 0;
    EventSlice events(
        [&] {
            ++passes;
            now += milliseconds(200); // a repaint of a large window
        },
        [&now] { return now; });

    now += milliseconds(50);
    events.Pass();
    ASSERT_EQ(passes, 1);
    now += milliseconds(10);
    events.Pass();
    EXPECT_EQ(passes, 1);
    now += milliseconds(40);
    events.Pass();
    EXPECT_EQ(passes, 2);
}

} // namespace
} // namespace priv
