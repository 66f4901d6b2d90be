#include "gui/emptywindow.h"

#include "gui/mainwindow.h"

int EMPTYWINDOW::MessageHandler(unsigned message)
{
    switch (message) {
    case kMsgKeyDown:
        if (m_wParam == static_cast<MessageParam>(kVkF3))
            m_owner.SendCommand(kCmdSelectFiles);
        return kModeHandled;
    case kMsgHScroll:
    case kMsgVScroll:
    case kMsgLButtonDown:
    case kMsgLButtonDblClk:
    case kMsgRButtonDown:
    case kMsgRButtonUp:
        return kModeHandled;
    default:
        return kModeNotHandled;
    }
}
