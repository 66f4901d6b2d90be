#include "gui/winmode.h"

#include "engine/comparison.h"
#include "gui/dispwindow.h"
#include "gui/emptywindow.h"
#include "gui/mainwindow.h"

#include <cstdlib>

// A second parameter no larger than this carries no pointer position (its y is 0): key
// messages and modes made from the keyboard.
static constexpr MessageParam kNoPositionLimit = 0xFFFF;

WINMODE::WINMODE(MAINWINDOW &owner) : m_owner(owner), m_display(owner.Display())
{
    m_row = kRowNoPosition;
}

WINMODE::~WINMODE()
{
    if (m_previous != nullptr)
        m_previous->m_next = m_next;
    if (m_next != nullptr)
        m_next->m_previous = m_previous;
}

int WINMODE::MessageHandler(unsigned message)
{
    switch (message) {
    case kMsgKeyDown:
        if (m_wParam == static_cast<MessageParam>(kVkReturn))
            return EnterKey();
        if (m_wParam == static_cast<MessageParam>(kVkEscape))
            return EscapeKey();
        return KeyDown();
    case kMsgLButtonDown:
        return LeftButtonDown();
    case kMsgLButtonDblClk:
        return LeftDoubleClick();
    case kMsgRButtonDown:
        return RightButtonDown();
    default:
        return kModeNotHandled;
    }
}

void WINMODE::TakeMessage(MessageParam first, MessageParam second)
{
    m_wParam = first;
    m_lParam = second;
    m_display = m_owner.Display();
    m_x = SignedLowWord(second);
    const int y = SignedHighWord(second);
    if (m_display == nullptr) {
        m_textTop = m_statusHeight = m_lineHeight = m_charWidth = 0;
        m_y = y;
        m_row = kRowStatus;
        return;
    }
    m_textTop = m_display->TextTop();
    m_statusHeight = m_display->StatusHeight();
    m_lineHeight = m_display->LineHeight();
    m_charWidth = m_display->CharWidth();
    m_y = y - m_textTop;
    const int boundary = m_display->HeaderBoundary();
    if (y >= m_display->TextBottom())
        m_row = kRowStatus;
    else if (y < m_textTop) {
        if (second <= kNoPositionLimit)
            m_row = kRowNoPosition;
        else if (boundary > 0 && boundary < y)
            m_row = kRowHeader;
        else
            m_row = kRowFileName;
    } else
        m_row = m_lineHeight > 0 ? m_y / m_lineHeight : 0;
}

COMPARISON &WINMODE::Comparison() const
{
    return m_owner.Top();
}

bool WINMODE::OnSeparator() const
{
    if (m_display == nullptr || Comparison().SingleSideView() != kSideNone)
        return false;
    return std::abs(m_x - m_display->Separator()) <= kSeparatorZone;
}

int WINMODE::SideUnderPointer() const
{
    if (m_display == nullptr)
        return kSideLeft;
    return m_display->SideAt(m_x);
}

int MODESTACK::Dispatch(MAINWINDOW &owner, unsigned message, MessageParam first,
                        MessageParam second)
{
    if (m_top == nullptr)
        Push(std::make_unique<EMPTYWINDOW>(owner));
    WINMODE *top = m_top;
    ++top->m_useCount;
    int result = kModeNotHandled;
    for (WINMODE *mode = top; mode != nullptr;) {
        // Every mode asked is kept alive until its handler has returned, even when the
        // handler clears the stack (as showing another comparison does).
        if (mode != top)
            ++mode->m_useCount;
        mode->TakeMessage(first, second);
        result = mode->MessageHandler(message);
        if (result == kModeNotHandled && message == kMsgMouseMove)
            result = mode->MouseMove();
        else if (result == kModeNotHandled && message == kMsgCommand)
            result = mode->Command();
        WINMODE *below = mode->m_next;
        if (result == kModeFinished)
            Release(mode);
        if (mode != top)
            Release(mode);
        if (result != kModeNotHandled)
            break;
        mode = below;
    }
    Release(top);
    return result;
}

void MODESTACK::Push(std::unique_ptr<WINMODE> mode)
{
    WINMODE *pushed = mode.release();
    pushed->m_next = m_top;
    pushed->m_previous = nullptr;
    if (m_top != nullptr)
        m_top->m_previous = pushed;
    m_top = pushed;
}

void MODESTACK::Clear()
{
    while (m_top != nullptr) {
        WINMODE *mode = m_top;
        Unlink(mode);
        if (--mode->m_useCount <= 0)
            delete mode;
    }
}

int MODESTACK::Depth() const
{
    int depth = 0;
    for (const WINMODE *mode = m_top; mode != nullptr; mode = mode->m_next)
        ++depth;
    return depth;
}

void MODESTACK::Unlink(WINMODE *mode)
{
    if (m_top == mode)
        m_top = mode->m_next;
    if (mode->m_previous != nullptr)
        mode->m_previous->m_next = mode->m_next;
    if (mode->m_next != nullptr)
        mode->m_next->m_previous = mode->m_previous;
    mode->m_next = nullptr;
    mode->m_previous = nullptr;
}

void MODESTACK::Release(WINMODE *mode)
{
    if (--mode->m_useCount > 0)
        return;
    Unlink(mode);
    delete mode;
}
