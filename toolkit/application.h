// The program's one application object, which every window needs, and what the desktop
// tells about the screen.
#pragma once

#include <memory>

class APPLICATION
{
public:
    // argc and argv must live as long as the object; the window system may take its own
    // options out of them.
    APPLICATION(int &argc, char **argv, const char *name);
    ~APPLICATION();
    APPLICATION(const APPLICATION &) = delete;
    APPLICATION &operator=(const APPLICATION &) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Why no window can be opened, before trying (the window system would abort the program): null
// when a display or a chosen platform is at hand.
[[nodiscard]] const char *MissingDisplay();

struct ScreenSize
{
    int width = 0;
    int height = 0;
};
// The primary screen's size; zero without an application object or a screen.
[[nodiscard]] ScreenSize PrimaryScreenSize();

// The height of one row of desktop icons, which the main window leaves free below itself.
inline constexpr int kIconRowHeight = 75;
