// Menus and accelerator keys. A menu is built from a table of items with command ids and
// pop-ups; a chosen item, like a key found in an accelerator table, reaches its window as a
// command message with the id in the low word of the first parameter.
#pragma once

#include "toolkit/window.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

enum class MenuEntryKind
{
    kItem,      // a command
    kSeparator, // a line between items
    kPopup,     // opens a pop-up; the entries up to the matching kEnd belong to it
    kEnd,       // closes the innermost open pop-up
};

struct MenuEntry
{
    MenuEntryKind kind;
    const char *text = nullptr; // "&" marks the mnemonic; "\t" then the key shown beside it
    int id = 0;
};

class MENU
{
public:
    // A menu bar of the table's top-level pop-ups. Unbalanced kEnd entries are ignored.
    static std::unique_ptr<MENU> FromTable(std::span<const MenuEntry> table);
    ~MENU();
    MENU(const MENU &) = delete;
    MENU &operator=(const MENU &) = delete;

    // The pop-up at a position (counting items and separators from 0); null for anything else.
    [[nodiscard]] MENU *SubMenu(int position) const;
    [[nodiscard]] int ItemCount() const;
    // Text (as in the table, "&" and the key included) and command id at a position; an empty
    // text and 0 for a separator or a position out of range.
    [[nodiscard]] std::string ItemText(int position) const;
    [[nodiscard]] int ItemId(int position) const;
    // The check mark of the command `id` among this menu's own items; false when none has it.
    bool CheckItem(int id, bool checked);
    [[nodiscard]] bool IsItemChecked(int id) const;
    // Every command id of this menu and its pop-ups, in table order.
    [[nodiscard]] std::vector<int> CommandIds() const;

    // Chooses the item as the user would: its window gets the command message. False when
    // no item of this menu or its pop-ups has the id, or the menu belongs to no window.
    bool Choose(int id) const;

    // The window system's side, private to the toolkit.
    struct Impl;
    explicit MENU(std::unique_ptr<Impl> impl);
    [[nodiscard]] Impl &Inner() const { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};

// Shows the menu bar above the window's client area (the window must have been made by
// CreateTopLevelWindow); its commands then go to the window. False when that cannot be.
bool SetWindowMenu(WINDOW &window, MENU &menu);

// Modifier bits of an accelerator.
inline constexpr unsigned kAccelShift = 0x04;
inline constexpr unsigned kAccelControl = 0x08;
inline constexpr unsigned kAccelAlt = 0x10;

struct Accelerator
{
    unsigned modifiers; // exactly these must be held
    int key;            // virtual key code
    int id;             // command sent
};

// The command of the first row for the key with exactly these modifiers; 0 when none.
[[nodiscard]] int FindAccelerator(std::span<const Accelerator> table, int key, unsigned modifiers);

// From now on key presses on the window that the table knows arrive as command messages
// (1 in the high word of the first parameter) instead of key messages.
void SetWindowAccelerators(WINDOW &window, std::span<const Accelerator> table);
