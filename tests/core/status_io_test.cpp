#include "core/status_io.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// A gauge that records every position it is asked to show.
class RecordingGauge : public STATUS_IO
{
public:
    explicit RecordingGauge(int steps) : STATUS_IO(steps) {}

    void ShowMessage(const char *) override { Record(BeginNextStep()); }
    std::int16_t CheckCancel() override { return 0; }
    std::int16_t ShowProgress(std::int64_t total, std::int64_t done) override
    {
        Record(AdvanceGauge(total, done));
        return CheckCancel();
    }

    std::vector<int> shown;

private:
    void Record(int position)
    {
        if (position >= 0) {
            shown.push_back(position);
        }
    }
};

// Implements only what it must: progress goes to the base.
class SilentStatus : public STATUS_IO
{
public:
    SilentStatus() : STATUS_IO(1) {}
    void ShowMessage(const char *) override {}
    std::int16_t CheckCancel() override { return 1; }
};

using Positions = std::vector<int>;

} // namespace

TEST(StatusIo, EachMessageBeginsTheNextStepUntilTheLast)
{
    RecordingGauge gauge(4);
    EXPECT_EQ(gauge.StepWidth(), 25);
    EXPECT_EQ(gauge.CurrentStep(), -1);
    for (int i = 0; i < 5; ++i) {
        gauge.ShowMessage("step");
    }
    // The fifth message stays on the last step, where the gauge already stands.
    EXPECT_EQ(gauge.shown, (Positions{0, 25, 50, 75}));
    EXPECT_EQ(gauge.CurrentStep(), 3);
}

TEST(StatusIo, ProgressPositionsWithinAStep)
{
    struct Case
    {
        int steps;
        std::int64_t total;
        std::int64_t done;
        int expected;
    };
    const Case cases[] = {
        {1, 0, 0, 100},   // no work counts as all of it
        {4, 0, 0, 26},    // the whole first quarter, and one more
        {1, 100, 0, 2},   // a started step shows at least 1, plus one
        {1, 200, 50, 27}, // 25 % + 1, plus one
        {1, 10, 10, 100}, // full: no extra point beyond 100
        {1, 10, 25, 100}, // more done than the total stays at full
        // Byte counts of multi-GiB files: done x 100 must not overflow.
        {1, 8LL << 30, 6LL << 30, 77},
        {1, std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max() / 2,
         51},
    };
    for (const Case &c : cases) {
        RecordingGauge gauge(c.steps);
        gauge.ShowMessage("work");
        EXPECT_FALSE(gauge.ShowProgress(c.total, c.done));
        EXPECT_EQ(gauge.ShownPosition(), c.expected)
            << c.steps << " steps, " << c.done << " of " << c.total;
    }
}

TEST(StatusIo, GaugeNeverMovesBackExceptToZero)
{
    RecordingGauge gauge(2);
    gauge.ShowMessage("first");
    (void)gauge.ShowProgress(10, 5);  // 51 / 2 + 1 = 26
    (void)gauge.ShowProgress(10, 1);  // would be 6: stays
    (void)gauge.ShowProgress(10, 10); // 100 / 2 + 1 = 51
    gauge.ShowMessage("second");      // step 1 starts at 50: stays at 51
    EXPECT_EQ(gauge.shown, (Positions{0, 26, 51}));
    EXPECT_EQ(gauge.ShownPosition(), 51);

    // On a single step a new message starts the step over at 0.
    RecordingGauge single(1);
    single.ShowMessage("a");
    (void)single.ShowProgress(2, 1);
    single.ShowMessage("b");
    EXPECT_EQ(single.shown, (Positions{0, 52, 0}));
}

TEST(StatusIo, MoreStepsDivideTheRestOfTheGauge)
{
    // One step half done, then a second step turns up.
    RecordingGauge gauge(1);
    gauge.ShowMessage("read");
    (void)gauge.ShowProgress(100, 50); // percent 51, position 52
    gauge.SetStepCount(2);             // O = (52 x 2 - 51 - 0) / 2 = 26, W = 37
    EXPECT_EQ(gauge.BaseOffset(), 26);
    EXPECT_EQ(gauge.StepWidth(), 37);
    gauge.ShowMessage("compare");
    EXPECT_EQ(gauge.ShownPosition(), 63);

    // From the second of two steps to three: k = 1.
    RecordingGauge later(2);
    later.ShowMessage("a");
    later.ShowMessage("b");
    (void)later.ShowProgress(10, 5); // 51 / 2 + 50 + 1 = 76
    later.AddStep();                 // O = (76 x 3 - 51 - 100) / 2 = 38, W = 20
    EXPECT_EQ(later.StepCount(), 3);
    EXPECT_EQ(later.BaseOffset(), 38);
    EXPECT_EQ(later.StepWidth(), 20);
    later.ShowMessage("c");         // 2 x 20 + 38
    (void)later.ShowProgress(1, 1); // 33 + 40 + 38 would pass the end
    EXPECT_EQ(later.shown, (Positions{0, 50, 76, 78, 100}));
}

TEST(StatusIo, NegativeOffsetIsHeldAtZero)
{
    // Progress before any message leaves S at 100 with the gauge near 0.
    RecordingGauge gauge(1);
    (void)gauge.ShowProgress(0, 0);
    EXPECT_EQ(gauge.ShownPosition(), 1);
    gauge.SetStepCount(2); // (1 x 2 - 100 - 0) / 2 < 0
    EXPECT_EQ(gauge.BaseOffset(), 0);
    EXPECT_EQ(gauge.StepWidth(), 50);
}

TEST(StatusIo, StepCountsThatWouldDivideByZeroAreRaised)
{
    RecordingGauge none(0);
    EXPECT_EQ(none.StepCount(), 1);
    EXPECT_EQ(none.StepWidth(), 100);

    RecordingGauge gauge(3);
    gauge.ShowMessage("a");
    gauge.ShowMessage("b");
    gauge.ShowMessage("c");
    gauge.SetStepCount(2); // fewer than the current index: the current step stays the last
    EXPECT_EQ(gauge.StepCount(), 3);
    EXPECT_GE(gauge.StepWidth(), 0);
}

TEST(StatusIo, BaseProgressAnswersZeroAndShowsNothing)
{
    SilentStatus status;
    status.ShowMessage("x");
    EXPECT_EQ(status.ShowProgress(10, 5), 0);
    EXPECT_EQ(status.ShownPosition(), 0);
    EXPECT_EQ(status.StepPercent(), 0);
}
