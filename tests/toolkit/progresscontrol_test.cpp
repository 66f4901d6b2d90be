#include "tests/toolkit/toolkit_test_application.h"
#include "toolkit/memorydevicecontext.h"
#include "toolkit/progresscontrol.h"
#include "toolkit/window_widget.h"

#include <gtest/gtest.h>

namespace {

class GaugeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_EQ(RegisterGaugeClass(), 1);
        ASSERT_EQ(RegisterGaugeClass(), 1); // a second registration is no failure
        // 102 wide: inside the black frame, one pixel a percent.
        gauge = CreateKestaWindow(kGaugeClassName, nullptr, nullptr, 0, 0, 102, 10);
        ASSERT_NE(gauge, nullptr);
    }
    void TearDown() override { DestroyKestaWindow(gauge); }

    WindowHandle gauge = nullptr;
};

} // namespace

TEST_F(GaugeTest, EveryGaugeWindowBindsTheProcessWideGauge)
{
    EXPECT_EQ(gauge->m_slot, &TheGauge());
    EXPECT_EQ(TheGauge().m_hWnd, gauge);
}

TEST_F(GaugeTest, GaugeMessageTakesThePercentageUpToAFullBar)
{
    const struct
    {
        MessageParam sent;
        int percent;
    } cases[] = {{0, 0}, {37, 37}, {100, 100}, {150, 100}, {static_cast<MessageParam>(-1), 100}};
    for (const auto &c : cases) {
        EXPECT_EQ(WindowProcedure(gauge, kGaugeMessage, c.sent, 0), Routed::kHandled);
        EXPECT_EQ(TheGauge().m_percent, c.percent) << c.sent;
    }
    EXPECT_EQ(WindowProcedure(gauge, kGaugeMessage + 1, 5, 0), Routed::kDefault);
    EXPECT_EQ(WindowProcedure(gauge, kMsgCommand, 5, 0), Routed::kDefault);
    EXPECT_EQ(TheGauge().m_percent, 100);
}

TEST_F(GaugeTest, PaintSplitsTheBarAtThePercentage)
{
    const COLORREF done = SysColor(SystemColour::kActiveCaption);
    const COLORREF rest = SysColor(SystemColour::kCaptionText);
    ASSERT_NE(done, rest);
    for (int percent : {0, 30, 100}) {
        SCOPED_TRACE(percent);
        TheGauge().m_percent = percent;
        MEMORYDEVICECONTEXT dc(102, 10);
        TheGauge().Paint(dc);
        EXPECT_EQ(dc.Pixel(0, 0), 0u);
        EXPECT_EQ(dc.Pixel(101, 9), 0u);
        for (int x = 1; x <= 100; ++x)
            ASSERT_EQ(dc.Pixel(x, 5), x <= percent ? done : rest) << x;
    }
}
