#include "gui/dispwindow.h"

#include "engine/comparison.h"
#include "gui/settings.h"
#include "toolkit/window.h"

DISPWINDOW::DISPWINDOW(COMPARISON *comparison, WINDOW &owner, SETTINGS &settings)
    : DIFFWINDOW(owner, settings)
{
    m_comparison = comparison;
}
DISPWINDOW::~DISPWINDOW() = default;
void DISPWINDOW::LayOut() {}
void DISPWINDOW::DrawStatusText(DEVICECONTEXT &, const Rect &) {}
void DISPWINDOW::Resize(int width, int height)
{
    m_width = width;
    m_height = height;
}
void DISPWINDOW::RebuildFonts() {}
void DISPWINDOW::Rebuild() {}
void DISPWINDOW::VerticalScroll(int, int) {}
void DISPWINDOW::HorizontalScroll(int, int) {}
void DISPWINDOW::ScrollByLines(std::int64_t, bool) {}
void DISPWINDOW::SetCurrentLine(int, int) {}
bool DISPWINDOW::Find(const std::string &, bool, bool)
{
    return false;
}
int DISPWINDOW::SideAt(int x) const
{
    return x <= m_separator ? 1 : 2;
}
bool DISPWINDOW::HeaderHitTest(int, HeaderHit &)
{
    return false;
}
void DISPWINDOW::SetStatusText(const char *text)
{
    m_hasStatusText = text != nullptr;
    m_statusText = text != nullptr ? text : "";
}
void DISPWINDOW::SetSeparator(int x)
{
    m_separator = x;
}
void DISPWINDOW::ScrollHorizontallyByChars(int) {}
void DISPWINDOW::SetHeaderColumnWidth(const HeaderHit &, int) {}
int DISPWINDOW::RecordToVisibleLine(std::int64_t) const
{
    return -1;
}
std::int64_t DISPWINDOW::VisibleLineToRecord(int) const
{
    return -1;
}
void DISPWINDOW::CreateFonts() {}
std::int64_t DISPWINDOW::StepShown(std::int64_t row, std::int64_t, std::int64_t &moved) const
{
    moved = 0;
    return row;
}
std::int64_t DISPWINDOW::ShownDistance(std::int64_t from, std::int64_t to) const
{
    return to - from;
}
std::int64_t DISPWINDOW::NextDifferenceDistance() const
{
    return 0;
}
std::int64_t DISPWINDOW::PreviousDifferenceDistance() const
{
    return 0;
}
void DISPWINDOW::UpdateScrollBars() {}
void DISPWINDOW::InvalidateLines(int, int) {}
void DISPWINDOW::InvalidateRows(std::int64_t, std::int64_t) {}
