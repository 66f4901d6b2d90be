#include "toolkit/menu.h"

#include "toolkit/topwindow_private.h"
#include "toolkit/window_widget.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <algorithm>

// The window the commands of a whole menu tree go to; shared by the bar and its pop-ups.
using MenuTarget = std::shared_ptr<QPointer<WindowWidget>>;

struct MENU::Impl
{
    struct Item
    {
        MenuEntryKind kind = MenuEntryKind::kItem;
        std::string text;
        int id = 0;
        QAction *action = nullptr;
        std::unique_ptr<MENU> popup;
    };

    QPointer<QWidget> widget; // a QMenuBar at the top, QMenus below it
    std::vector<Item> items;
    MenuTarget target;
};

static void SendCommand(const MenuTarget &target, int id)
{
    if (target && *target)
        WindowProcedure(target->data(), kMsgCommand, MakeParam(id, 0), 0);
}

MENU::MENU(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

MENU::~MENU()
{
    // Pop-ups belong to the bar, and a bar shown on a window to its frame.
    if (m_impl->widget && m_impl->widget->parent() == nullptr)
        delete m_impl->widget.data();
}

static QAction *AddAction(QWidget *menu, const QString &text)
{
    if (auto *bar = qobject_cast<QMenuBar *>(menu))
        return bar->addAction(text);
    return static_cast<QMenu *>(menu)->addAction(text);
}

// Adds the entries from `next` up to the matching kEnd (or the table's end) to the menu.
static void AddEntries(MENU::Impl &menu, std::span<const MenuEntry> table, std::size_t &next)
{
    while (next < table.size()) {
        const MenuEntry &entry = table[next++];
        if (entry.kind == MenuEntryKind::kEnd)
            return;
        MENU::Impl::Item item;
        item.kind = entry.kind;
        item.text = entry.text != nullptr ? entry.text : "";
        item.id = entry.id;
        const QString text = QString::fromUtf8(item.text.c_str());
        switch (entry.kind) {
        case MenuEntryKind::kSeparator:
            item.text.clear();
            item.id = 0;
            if (auto *bar = qobject_cast<QMenuBar *>(menu.widget.data()))
                item.action = bar->addSeparator();
            else
                item.action = static_cast<QMenu *>(menu.widget.data())->addSeparator();
            break;
        case MenuEntryKind::kPopup: {
            auto impl = std::make_unique<MENU::Impl>();
            auto *popup = new QMenu(text, menu.widget);
            impl->widget = popup;
            impl->target = menu.target;
            if (auto *bar = qobject_cast<QMenuBar *>(menu.widget.data()))
                bar->addMenu(popup);
            else
                static_cast<QMenu *>(menu.widget.data())->addMenu(popup);
            item.action = popup->menuAction();
            AddEntries(*impl, table, next);
            item.popup = std::make_unique<MENU>(std::move(impl));
            break;
        }
        case MenuEntryKind::kItem:
        case MenuEntryKind::kEnd: {
            item.action = AddAction(menu.widget, text);
            const int id = entry.id;
            QObject::connect(item.action, &QAction::triggered, item.action,
                             [target = menu.target, id] { SendCommand(target, id); });
            break;
        }
        }
        menu.items.push_back(std::move(item));
    }
}

std::unique_ptr<MENU> MENU::FromTable(std::span<const MenuEntry> table)
{
    auto impl = std::make_unique<Impl>();
    impl->widget = new QMenuBar;
    impl->target = std::make_shared<QPointer<WindowWidget>>();
    std::size_t next = 0;
    // A stray kEnd at the top level ends nothing: go on after it.
    while (next < table.size())
        AddEntries(*impl, table, next);
    return std::make_unique<MENU>(std::move(impl));
}

MENU *MENU::SubMenu(int position) const
{
    if (position < 0 || position >= ItemCount())
        return nullptr;
    return m_impl->items[static_cast<std::size_t>(position)].popup.get();
}

int MENU::ItemCount() const
{
    return static_cast<int>(m_impl->items.size());
}

std::string MENU::ItemText(int position) const
{
    if (position < 0 || position >= ItemCount())
        return {};
    return m_impl->items[static_cast<std::size_t>(position)].text;
}

int MENU::ItemId(int position) const
{
    if (position < 0 || position >= ItemCount())
        return 0;
    return m_impl->items[static_cast<std::size_t>(position)].id;
}

static const MENU::Impl::Item *OwnItem(const MENU::Impl &menu, int id)
{
    for (const MENU::Impl::Item &item : menu.items)
        if (item.kind == MenuEntryKind::kItem && item.id == id)
            return &item;
    return nullptr;
}

bool MENU::CheckItem(int id, bool checked)
{
    const Impl::Item *item = OwnItem(*m_impl, id);
    if (item == nullptr || item->action == nullptr)
        return false;
    item->action->setCheckable(true);
    item->action->setChecked(checked);
    return true;
}

bool MENU::IsItemChecked(int id) const
{
    const Impl::Item *item = OwnItem(*m_impl, id);
    return item != nullptr && item->action != nullptr && item->action->isChecked();
}

std::vector<int> MENU::CommandIds() const
{
    std::vector<int> ids;
    for (const Impl::Item &item : m_impl->items) {
        if (item.popup) {
            const std::vector<int> inner = item.popup->CommandIds();
            ids.insert(ids.end(), inner.begin(), inner.end());
        } else if (item.kind == MenuEntryKind::kItem) {
            ids.push_back(item.id);
        }
    }
    return ids;
}

static QAction *FindAction(const MENU::Impl &menu, int id)
{
    for (const MENU::Impl::Item &item : menu.items) {
        if (item.popup) {
            if (QAction *inner = FindAction(item.popup->Inner(), id))
                return inner;
        } else if (item.kind == MenuEntryKind::kItem && item.id == id) {
            return item.action;
        }
    }
    return nullptr;
}

bool MENU::Choose(int id) const
{
    QAction *action = FindAction(*m_impl, id);
    if (action == nullptr || !m_impl->target || !*m_impl->target)
        return false;
    action->trigger();
    return true;
}

bool SetWindowMenu(WINDOW &window, MENU &menu)
{
    auto *bar = qobject_cast<QMenuBar *>(menu.Inner().widget.data());
    if (bar == nullptr || !SetFrameMenuBar(window.m_hWnd, bar))
        return false;
    *menu.Inner().target = window.m_hWnd;
    return true;
}

int FindAccelerator(std::span<const Accelerator> table, int key, unsigned modifiers)
{
    const auto found = std::find_if(table.begin(), table.end(), [&](const Accelerator &row) {
        return row.key == key && row.modifiers == modifiers;
    });
    return found != table.end() ? found->id : 0;
}

namespace {

// Watches the key presses of one window and turns those of its table into commands.
class AcceleratorFilter : public QObject
{
public:
    AcceleratorFilter(WindowWidget *window, std::span<const Accelerator> table)
        : QObject(window), m_window(window), m_table(table.begin(), table.end())
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched != m_window || e->type() != QEvent::KeyPress)
            return false;
        auto *ke = static_cast<QKeyEvent *>(e);
        const int key = VirtualKeyOf(ke->key(), (ke->modifiers() & Qt::KeypadModifier) != 0);
        unsigned modifiers = 0;
        if (ke->modifiers() & Qt::ShiftModifier)
            modifiers |= kAccelShift;
        if (ke->modifiers() & Qt::ControlModifier)
            modifiers |= kAccelControl;
        if (ke->modifiers() & Qt::AltModifier)
            modifiers |= kAccelAlt;
        const int id = key != 0 ? FindAccelerator(m_table, key, modifiers) : 0;
        if (id == 0)
            return false;
        // An accelerator's command says so with 1 in the high word.
        WindowProcedure(m_window, kMsgCommand, MakeParam(id, 1), 0);
        return true;
    }

private:
    WindowWidget *m_window;
    std::vector<Accelerator> m_table;
};

} // namespace

void SetWindowAccelerators(WINDOW &window, std::span<const Accelerator> table)
{
    if (window.m_hWnd == nullptr)
        return;
    window.m_hWnd->installEventFilter(new AcceleratorFilter(window.m_hWnd, table));
}
