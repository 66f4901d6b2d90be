// The window system's side of a WINDOW: a widget that turns its events into messages for the
// window procedure. Private to the toolkit (and its tests), the only place Qt shows.
#pragma once

#include "toolkit/messages.h"
#include "toolkit/window.h"

#include <QRect>
#include <QScrollBar>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class WindowWidget : public QWidget
{
public:
    WindowWidget(const char *className, QWidget *parent);
    ~WindowWidget() override;

    [[nodiscard]] const std::string &ClassName() const { return m_className; }

    // The bar, made on first use.
    QScrollBar &Bar(ScrollBarId id);
    [[nodiscard]] const QScrollBar *ExistingBar(ScrollBarId id) const
    {
        return m_bars[static_cast<int>(id)];
    }
    [[nodiscard]] QSize ClientSize() const { return ClientSizeFor(size()); }
    // The client area of a window of the given whole size.
    [[nodiscard]] QSize ClientSizeFor(QSize whole) const;
    // Places the shown bars; a changed client area is reported with a size message.
    void LayOutBars();
    // Sends a size message when the client area differs from the one last reported.
    void SizeChanged(QSize client);

    WINDOW *m_slot = nullptr; // the bound object; null until the creation message binds it
    std::vector<std::string> m_droppedFiles;
    // The area being repainted while a paint event is handled.
    std::optional<QRect> m_paintRect;

protected:
    bool event(QEvent *e) override;

private:
    // Routes one converted event; true when the widget's own handling should run.
    bool Route(unsigned message, MessageParam first, MessageParam second);
    void BarAction(ScrollBarId id, int action);

    std::string m_className;
    QScrollBar *m_bars[2] = {nullptr, nullptr}; // children of the widget
    QSize m_reportedClient;                     // the size the last size message gave
    bool m_resettingBar = false;                // putting a bar back after an action
};

// Window-system key to virtual key code; 0 when the key has none.
int VirtualKeyOf(int qtKey, bool keypad);
