#include "boundary/status_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

namespace priv {
namespace {

using std::chrono::milliseconds;

class RecordingDisplay final : public StatusDisplay {
public:
    void ShowStatus(const std::string&) override {}
    void HideStatus() override {}
    void ShowProgress(int done, int total) override { shown.emplace_back(done, total); }
    std::vector<std::pair<int, int>> shown;
};

class StatusProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetStatusProgressClock([this] { return now; });
    }
    void TearDown() override { SetStatusProgressClock({}); }

    StatusProgress::Clock::time_point now{};
    RecordingDisplay display;
};

// A save of 100 companies at 15 ms each: nothing during its first second,
// then the count about every 100 ms, and the last company whenever it comes.
TEST_F(StatusProgressTest, CountsOnlyOnceTheOperationHasRunASecond)
{
    StatusProgress progress(display, 100);
    for (int done = 0; done <= 66; ++done) {
        progress.Step(done);
        now += milliseconds(15);
    }
    EXPECT_TRUE(display.shown.empty()) << "a second has not passed";
    for (int done = 67; done <= 100; ++done) {
        progress.Step(done);
        now += milliseconds(15);
    }
    ASSERT_FALSE(display.shown.empty());
    EXPECT_EQ(display.shown.front(), std::make_pair(67, 100));
    EXPECT_EQ(display.shown.back(), std::make_pair(100, 100));
    // 34 companies over 510 ms: one count per 100 ms (105 ms, seven steps)
    // and the last one.
    EXPECT_EQ(display.shown.size(), 6u);
    for (std::size_t i = 1; i < display.shown.size(); ++i)
        EXPECT_LT(display.shown[i - 1].first, display.shown[i].first);
}

TEST_F(StatusProgressTest, AnOperationWithoutStatusOrCompaniesShowsNothing)
{
    struct Case {
        int total;
        bool active;
    };
    for (const Case c : {Case{5, false}, Case{0, true}}) {
        StatusProgress progress(display, c.total, c.active);
        for (int done = 0; done <= 5; ++done) {
            now += milliseconds(1000);
            progress.Step(done);
        }
    }
    EXPECT_TRUE(display.shown.empty());
}

// A step past the total (a company counted twice) never shows more than
// there is; the same count is not shown twice.
TEST_F(StatusProgressTest, NeverCountsPastTheTotalNorTheSameCountTwice)
{
    StatusProgress progress(display, 3);
    now += milliseconds(2000);
    progress.Step(2);
    now += milliseconds(2000);
    progress.Step(2);
    progress.Step(7);
    EXPECT_EQ(display.shown, (std::vector<std::pair<int, int>>{{2, 3}, {3, 3}}));
}

} // namespace
} // namespace priv
