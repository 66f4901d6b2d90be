#include "tests/toolkit/toolkit_test_application.h"
#include "toolkit/devicecontext.h"
#include "toolkit/memorydevicecontext.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kBackdrop = 0x123456; // no theme colour, so untouched pixels show

class DrawingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        highlight = SysColor(SystemColour::kButtonHighlight);
        shadow = SysColor(SystemColour::kButtonShadow);
        text = SysColor(SystemColour::kWindowText);
        face = SysColor(SystemColour::kButtonFace);
        // The probes below tell the pens apart by colour.
        ASSERT_NE(highlight, shadow);
        ASSERT_NE(highlight, text);
        ASSERT_NE(highlight, face);
        ASSERT_NE(shadow, text);
        ASSERT_NE(shadow, face);
        ASSERT_NE(text, face);
        dc.FillRect({0, 0, 240, 40}, kBackdrop);
    }

    MEMORYDEVICECONTEXT dc{240, 40};
    COLORREF highlight = 0;
    COLORREF shadow = 0;
    COLORREF text = 0;
    COLORREF face = 0;
};

} // namespace

TEST_F(DrawingTest, HeaderButtonBevelsNormalAndPressed)
{
    // The button covers x 10..60 and y 5..25, edges included.
    dc.DrawHeaderButton({10, 5, 60, 25}, "", 0);
    EXPECT_EQ(dc.Pixel(30, 5), highlight);  // top outer
    EXPECT_EQ(dc.Pixel(10, 15), highlight); // left outer
    EXPECT_EQ(dc.Pixel(30, 24), shadow);    // bottom inner
    EXPECT_EQ(dc.Pixel(59, 15), shadow);    // right inner
    EXPECT_EQ(dc.Pixel(30, 25), text);      // bottom outer
    EXPECT_EQ(dc.Pixel(60, 15), text);      // right outer
    EXPECT_EQ(dc.Pixel(60, 5), text);
    EXPECT_EQ(dc.Pixel(30, 15), face);
    EXPECT_EQ(dc.Pixel(61, 15), kBackdrop);
    EXPECT_EQ(dc.Pixel(30, 26), kBackdrop);

    dc.DrawHeaderButton({70, 5, 120, 25}, "", kButtonPressed);
    EXPECT_EQ(dc.Pixel(90, 5), text);
    EXPECT_EQ(dc.Pixel(70, 15), text);
    EXPECT_EQ(dc.Pixel(90, 24), face);
    EXPECT_EQ(dc.Pixel(119, 15), face);
    EXPECT_EQ(dc.Pixel(90, 25), highlight);
    EXPECT_EQ(dc.Pixel(120, 15), highlight);
    EXPECT_EQ(dc.Pixel(90, 15), face);

    dc.DrawHeaderButton({130, 5, 180, 25}, "", kButtonHighlighted);
    EXPECT_EQ(dc.Pixel(150, 15), highlight);
    EXPECT_EQ(dc.Pixel(130, 15), text);
}

TEST_F(DrawingTest, SortArrowPlacement)
{
    // Pointing down: the first stroke is a shadow line 4 below the inside top, 8 wide.
    // A right-aligned caption wider than its button keeps the arrow at the inside's left + 3.
    dc.DrawHeaderButton({10, 5, 40, 25}, "A caption far wider than the button",
                        kButtonRightAligned | kButtonArrowDown);
    EXPECT_EQ(dc.Pixel(14, 10), shadow);
    EXPECT_EQ(dc.Pixel(21, 10), shadow);

    // Pointing up with an empty caption: 10 right of the inside's left, base line in highlight.
    dc.DrawHeaderButton({50, 5, 110, 25}, "", kButtonArrowUp);
    EXPECT_EQ(dc.Pixel(61, 16), highlight);
    EXPECT_EQ(dc.Pixel(68, 16), highlight);
    EXPECT_EQ(dc.Pixel(69, 16), face); // the end point stays unpainted

    // A left-aligned caption too wide for the button puts the arrow 10 left of the inside's
    // right (here 130 - 10).
    dc.DrawHeaderButton({120, 5, 150, 25}, "", 0);
    dc.DrawHeaderButton({120, 5, 150, 25}, "A caption far wider than the button", kButtonArrowDown);
    EXPECT_EQ(dc.Pixel(139, 10), shadow);
    EXPECT_EQ(dc.Pixel(146, 10), shadow);
}

TEST_F(DrawingTest, HeaderRowLaysButtonsOutFromTheScrolledColumn)
{
    const std::vector<HeaderButton> buttons = {
        {5, 5, "", 0},
        {3, 0, "", 0}, // hidden
        {10, 10, "", 0},
        {kOpenEndedWidth, 20, "", 0},
    };
    struct Case
    {
        int firstColumn;
        std::vector<int> rightEdges;
    };
    // Character width 8: the first button's right edge is 4 + (width - offset) * 8 - 1; the
    // open-ended button reaches the row's right end, 199.
    const Case cases[] = {
        {0, {43, 123, 199}},
        {7, {67, 199}},
        {15, {199}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.firstColumn);
        dc.FillRect({0, 0, 240, 40}, kBackdrop);
        dc.DrawHeaderButtons(0, 5, 199, 25, buttons, c.firstColumn, nullptr);
        int left = 0;
        for (int right : c.rightEdges) {
            EXPECT_EQ(dc.Pixel(left, 15), highlight) << left;
            EXPECT_EQ(dc.Pixel(right, 15), text) << right;
            EXPECT_EQ(dc.Pixel(right - 1, 15), shadow) << right;
            left = right + 1;
        }
        EXPECT_EQ(dc.Pixel(200, 15), kBackdrop);
    }
}

TEST_F(DrawingTest, SunkenPanelAndOpaqueClippedText)
{
    dc.SetBkColor(0x00FF00);
    dc.DrawSunkenPanel({20, 5, 120, 30}, "", nullptr);
    EXPECT_EQ(dc.Pixel(20, 15), shadow);
    EXPECT_EQ(dc.Pixel(60, 5), shadow);
    EXPECT_EQ(dc.Pixel(60, 30), highlight);
    EXPECT_EQ(dc.Pixel(120, 15), highlight);
    EXPECT_EQ(dc.Pixel(60, 20), 0x00FF00u);

    // A text longer than its rectangle stops at the rectangle's edge.
    dc.FillRect({0, 0, 240, 40}, kBackdrop);
    dc.SetBkColor(0xFFFFFF);
    dc.SetTextColor(0x000000);
    dc.TextOut(2, 2, {0, 0, 30, 20}, "MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM");
    EXPECT_EQ(dc.Pixel(0, 0), 0xFFFFFFu);
    for (int x = 30; x < 240; ++x)
        ASSERT_EQ(dc.Pixel(x, 10), kBackdrop) << x;
}
