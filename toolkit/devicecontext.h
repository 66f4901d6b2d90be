// A drawing surface with the pens for the three-dimensional look of column header buttons
// and panels. Rectangles exclude their right and bottom edges unless a function says so.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FONT;
struct DeviceContextPrivate;

using COLORREF = std::uint32_t; // 0x00BBGGRR

struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

enum class SystemColour
{
    kButtonFace,
    kButtonHighlight,
    kButtonShadow,
    kWindowText,
    kWindow,
    kActiveCaption,
    kCaptionText,
    kInactiveCaption,
    kHighlight,
    kHighlightText,
};

// The platform's theme colour for a system colour.
COLORREF SysColor(SystemColour colour);

// A column header button (the column headers of a directory listing).
struct HeaderButton
{
    int width = 0;        // in characters; kOpenEndedWidth for the last, open-ended button
    int defaultWidth = 0; // 0 or less: the button is hidden
    std::string caption;
    unsigned state = 0;
};
inline constexpr int kOpenEndedWidth = 9999;
inline constexpr unsigned kButtonPressable = 0x01;
inline constexpr unsigned kButtonHighlighted = 0x02;
inline constexpr unsigned kButtonPressed = 0x04;
inline constexpr unsigned kButtonRightAligned = 0x08;
inline constexpr unsigned kButtonWidthChanged = 0x20;
inline constexpr unsigned kButtonArrowUp = 0x40;
inline constexpr unsigned kButtonArrowDown = 0x80;

enum class PenKind
{
    kHighlight, // button highlight
    kShadow,    // button shadow
    kText,      // window text
    kFace,      // button face
};

inline constexpr int kTextAlignLeft = 0;
inline constexpr int kTextAlignRight = 2;
inline constexpr std::size_t kMaxTextOut = 2048; // characters drawn by one text output

class DEVICECONTEXT
{
public:
    virtual ~DEVICECONTEXT();
    DEVICECONTEXT(const DEVICECONTEXT &) = delete;
    DEVICECONTEXT &operator=(const DEVICECONTEXT &) = delete;

    COLORREF SetBkColor(COLORREF colour);
    COLORREF SetTextColor(COLORREF colour);
    int SetTextAlign(int align);
    void SelectFont(const FONT *font); // null: the surface's default font
    void SelectPen(PenKind pen);
    void MoveTo(int x, int y);
    // A line in the selected pen from the current point up to, not including, (x, y).
    void LineTo(int x, int y);
    void FillRect(const Rect &r, COLORREF colour);
    void FrameRect(const Rect &r, COLORREF colour);

    // Fills `clip` with the background colour and draws the UTF-8 text (at most kMaxTextOut
    // characters) at x, y in the text colour, cut to `clip`. With right alignment x is
    // where the text ends.
    void TextOut(int x, int y, const Rect &clip, const char *text);
    // Width of a text in the selected font; -1 when there is no font to measure with.
    [[nodiscard]] int TextWidth(const char *text) const;

    // The row of column header buttons across left..right (right and bottom included),
    // scrolled to start at character column `firstColumn`.
    void DrawHeaderButtons(int left, int top, int right, int bottom,
                           const std::vector<HeaderButton> &buttons, int firstColumn,
                           const FONT *font);
    // One header button; `r` includes its right and bottom edges.
    void DrawHeaderButton(const Rect &r, const char *caption, unsigned state);
    // A sunken panel: shadow edges at r.top and r.left, highlight edges at r.bottom and
    // r.right; the text is cut to the inside.
    void DrawSunkenPanel(const Rect &r, const char *text, const FONT *font);
    // A picture of width x height pixels, 4 bytes each (red, green, blue, alpha; rows from the
    // top), scaled into `r` and blended over what is there.
    void DrawImage(const Rect &r, const std::uint8_t *rgba, int width, int height);
    // The device's vertical resolution, for sizing fonts given in points.
    [[nodiscard]] int PixelsPerInchY() const;

    Rect m_clip;                   // the area being drawn
    std::vector<char> m_buffer;    // work buffer for callers composing texts
    int m_charWidth = 8;           // header buttons are measured in these
    COLORREF m_bkColor = 0xFFFFFF; // as last set through this object
    COLORREF m_textColor = 0;

protected:
    explicit DEVICECONTEXT(std::unique_ptr<DeviceContextPrivate> d);

    std::unique_ptr<DeviceContextPrivate> m_d;

private:
    int m_textAlign = kTextAlignLeft;
    int m_x = 0; // current point
    int m_y = 0;
};
