// The main window's menu bar and toolbar, built from the tables below. Every entry and every
// button stays enabled (but "おすすめ順" while the hits are not merged); RunCommand decides
// whether a command does anything.
#pragma once

#include <QIcon>
#include <QString>

#include <span>

class Form1;

namespace menus {

// One menu entry: its object name, its caption (with the accelerator) and what it does,
// either a command number or, for the entries without one, a function. An entry without a
// name is a separator.
struct Entry {
    const char *name;
    const char *caption;
    int command;
    void (*action)(Form1 &form);
};

struct Menu {
    const char *name;
    const char *caption;
    std::span<const Entry> entries;
};

// One toolbar button: caption, key (the action's object name, by which a click is
// dispatched), tool tip (empty: none), the desktop theme's icon name, and its command.
struct Button {
    const char *caption;
    const char *key;
    const char *tip;
    const char *themeIcon;
    int command;
};

std::span<const Menu> MenuTable();
std::span<const Button> ToolTable();

// The command of a toolbar key; 0 for a key the toolbar doesn't know.
int ToolCommand(const QString &key);

// A toolbar click: runs the command of the button's key; any other key does nothing.
void Tool_ButtonClick(Form1 &form, const QString &key);

// The button's picture: the desktop theme's icon when it has one, else a drawn one.
QIcon ToolImage(const QString &key);

} // namespace menus

// Builds the menu bar and the toolbar Tool of the main window.
void BuildMenus(Form1 *form);
