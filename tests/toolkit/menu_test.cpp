#include "tests/toolkit/toolkit_test_application.h"
#include "toolkit/menu.h"
#include "toolkit/topwindow.h"
#include "toolkit/window_widget.h"

#include <QApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>
#include <vector>

namespace {

using enum MenuEntryKind;

constexpr MenuEntry kTable[] = {
    {kPopup, "&File"},
    {kItem, "&Open\tF3", 10},
    {kSeparator},
    {kItem, "E&xit", 11},
    {kEnd},
    {kPopup, "&View"},
    {kItem, "&Numbers", 20},
    {kPopup, "&More"},
    {kItem, "&Deep", 30},
    {kEnd},
    {kItem, "&Wide", 21},
    {kEnd},
};

constexpr Accelerator kAccelerators[] = {
    {0, kVkF1 + 2, 10},
    {kAccelControl, kVkHome, 21},
    {0, kVkHome, 20},
};

class CommandWindow : public WINDOW
{
public:
    int MessageHandler(unsigned message) override
    {
        if (message == kMsgCommand)
            commands.push_back(m_wParam);
        if (message == kMsgKeyDown)
            ++keys;
        return message == kMsgCommand || message == kMsgKeyDown ? 0 : 1;
    }
    std::vector<MessageParam> commands;
    int keys = 0;
};

TEST(Menu, TableBuildsPopupsReachedByPosition)
{
    TestApplication();
    const auto menu = MENU::FromTable(kTable);
    ASSERT_EQ(menu->ItemCount(), 2);
    MENU *file = menu->SubMenu(0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->ItemCount(), 3);
    EXPECT_EQ(file->ItemText(0), "&Open\tF3");
    EXPECT_EQ(file->ItemId(1), 0); // the separator
    EXPECT_EQ(file->SubMenu(0), nullptr);
    MENU *more = menu->SubMenu(1)->SubMenu(1);
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->ItemId(0), 30);
    EXPECT_EQ(menu->SubMenu(1)->ItemId(2), 21);
    EXPECT_EQ(menu->SubMenu(5), nullptr);
    EXPECT_EQ(menu->CommandIds(), (std::vector<int>{10, 11, 20, 30, 21}));

    // Check marks belong to a menu's own items only.
    MENU *view = menu->SubMenu(1);
    EXPECT_TRUE(view->CheckItem(20, true));
    EXPECT_TRUE(view->IsItemChecked(20));
    EXPECT_FALSE(view->CheckItem(30, true));
    EXPECT_TRUE(view->CheckItem(20, false));
    EXPECT_FALSE(view->IsItemChecked(20));
}

TEST(Menu, AcceleratorsMatchExactModifiers)
{
    EXPECT_EQ(FindAccelerator(kAccelerators, kVkHome, 0), 20);
    EXPECT_EQ(FindAccelerator(kAccelerators, kVkHome, kAccelControl), 21);
    EXPECT_EQ(FindAccelerator(kAccelerators, kVkHome, kAccelShift), 0);
    EXPECT_EQ(FindAccelerator(kAccelerators, kVkEnd, 0), 0);
}

TEST(Menu, ChoicesAndAcceleratorKeysReachTheWindowAsCommands)
{
    TestApplication();
    RegisterWindowClass("MenuTest", true);
    CommandWindow window;
    ASSERT_NE(CreateTopLevelWindow("MenuTest", &window, 10, 10, 300, 200), nullptr);
    const auto menu = MENU::FromTable(kTable);
    EXPECT_FALSE(menu->Choose(30)); // not on a window yet
    ASSERT_TRUE(SetWindowMenu(window, *menu));
    SetWindowAccelerators(window, kAccelerators);

    ASSERT_TRUE(menu->Choose(30));
    EXPECT_FALSE(menu->Choose(99));
    QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::ControlModifier);
    QApplication::sendEvent(window.m_hWnd, &home);
    QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
    QApplication::sendEvent(window.m_hWnd, &f3);
    QKeyEvent other(QEvent::KeyPress, Qt::Key_F4, Qt::NoModifier);
    QApplication::sendEvent(window.m_hWnd, &other);
    // Menu choices carry 0 in the high word, accelerators 1; other keys stay keys.
    EXPECT_EQ(window.commands, (std::vector<MessageParam>{30, MakeParam(21, 1), MakeParam(10, 1)}));
    EXPECT_EQ(window.keys, 1);

    SetTopLevelCaption(window.m_hWnd, "Caption");
    EXPECT_EQ(TopLevelCaption(window.m_hWnd), "Caption");
    DeleteTopLevelWindow(window.m_hWnd);
    EXPECT_EQ(window.m_hWnd, nullptr);
}

TEST(TopWindow, FrameClosingAsksTheWindowAndDestroyingTellsIt)
{
    TestApplication();
    RegisterWindowClass("FrameTest", true);
    class Closing : public WINDOW
    {
    public:
        int MessageHandler(unsigned message) override
        {
            seen.push_back(message);
            if (message == kMsgClose && destroyOnClose)
                DestroyTopLevelWindow(m_hWnd);
            return message == kMsgClose || message == kMsgDestroy ? 0 : 1;
        }
        std::vector<unsigned> seen;
        bool destroyOnClose = false;
    } window;
    WindowHandle handle = CreateTopLevelWindow("FrameTest", &window, 0, 0, 200, 100);
    ASSERT_NE(handle, nullptr);
    ShowTopLevelWindow(handle, false);

    // The frame's close arrives later, from the loop; the window decides.
    handle->window()->close();
    EXPECT_TRUE(handle->window()->isVisible());
    QApplication::processEvents();
    EXPECT_EQ(std::count(window.seen.begin(), window.seen.end(), kMsgClose), 1);
    EXPECT_TRUE(handle->window()->isVisible());

    window.destroyOnClose = true;
    handle->window()->close();
    QApplication::processEvents();
    EXPECT_EQ(window.seen.back(), kMsgDestroy);
    EXPECT_EQ(window.m_hWnd, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
