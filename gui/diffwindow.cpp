#include "gui/diffwindow.h"

#include "engine/comparison.h"
#include "gui/settings.h"
#include "toolkit/font.h"
#include "toolkit/window.h"

DIFFWINDOW::DIFFWINDOW(WINDOW &owner, SETTINGS &settings) : m_owner(owner), m_settings(settings) {}

DIFFWINDOW::~DIFFWINDOW() = default;

void DIFFWINDOW::LayOut() {}
void DIFFWINDOW::Measure(DEVICECONTEXT &) {}
Rect DIFFWINDOW::SetUpForDevice(DEVICECONTEXT &, int width, int height)
{
    m_width = width;
    m_height = height;
    return {0, 0, width, height};
}
bool DIFFWINDOW::FillVisibleLines(bool)
{
    return false;
}
void DIFFWINDOW::Paint(DEVICECONTEXT &) {}
std::string DIFFWINDOW::LineText(std::int64_t, int)
{
    return {};
}
void DIFFWINDOW::ComputeLineNumberWidth() {}
void DIFFWINDOW::InvalidateTextCache() {}
void DIFFWINDOW::SetRowCount(std::int64_t count)
{
    m_rowCount = count;
}
void DIFFWINDOW::SetComparison(COMPARISON *comparison)
{
    m_comparison = comparison;
}
void DIFFWINDOW::SetTextMetrics(int charWidth, int digitWidth, int lineHeight, int fontHeight)
{
    m_charWidth = charWidth;
    m_digitWidth = digitWidth;
    m_lineHeight = lineHeight;
    m_fontHeight = fontHeight;
}
bool DIFFWINDOW::IsContainer() const
{
    return false;
}
const DecodedImage *DIFFWINDOW::SideImage(int) const
{
    return nullptr;
}
bool DIFFWINDOW::RowIsShown(std::int64_t) const
{
    return true;
}
const DiffEntry *DIFFWINDOW::Entry(std::int64_t) const
{
    return nullptr;
}
std::uint8_t DIFFWINDOW::DisplayedFlags(const DiffEntry &) const
{
    return 0;
}
BASEITEM *DIFFWINDOW::SideObject(int) const
{
    return nullptr;
}
bool DIFFWINDOW::HidingMatches() const
{
    return false;
}
bool DIFFWINDOW::SideShown(int) const
{
    return true;
}
void DIFFWINDOW::PaneBounds(int, int &left, int &right) const
{
    left = 0;
    right = m_width;
}
int DIFFWINDOW::NumberCellWidth() const
{
    return 0;
}
void DIFFWINDOW::FillPass(bool) {}
void DIFFWINDOW::PaintHeader(DEVICECONTEXT &) {}
void DIFFWINDOW::PaintImages(DEVICECONTEXT &) {}
void DIFFWINDOW::PaintLine(DEVICECONTEXT &, int, int) {}
void DIFFWINDOW::PaintCell(DEVICECONTEXT &, int, int, int, int) {}
void DIFFWINDOW::PaintPaneSeparator(DEVICECONTEXT &, int, int) {}
