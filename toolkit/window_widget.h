// The window system's side of a WINDOW: a widget that turns its events into messages for the
// window procedure. Private to the toolkit (and its tests), the only place Qt shows.
#pragma once

#include "toolkit/messages.h"
#include "toolkit/window.h"

#include <QRect>
#include <QWidget>
#include <optional>
#include <string>

class WindowWidget : public QWidget
{
public:
    WindowWidget(const char *className, QWidget *parent);
    ~WindowWidget() override;

    [[nodiscard]] const std::string &ClassName() const { return m_className; }

    WINDOW *m_slot = nullptr; // the bound object; null until the creation message binds it
    // The area being repainted while a paint event is handled.
    std::optional<QRect> m_paintRect;

protected:
    bool event(QEvent *e) override;

private:
    // Routes one converted event; true when the widget's own handling should run.
    bool Route(unsigned message, MessageParam first, MessageParam second);

    std::string m_className;
};

// Window-system key to virtual key code; 0 when the key has none.
int VirtualKeyOf(int qtKey, bool keypad);
