// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu bar: menus in order, their items and separators, and the command
// each item runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "main_captions.h"
#include "main_state.h"
#include "ui.h"

namespace dorvalix {

using MainCommand = void (*)(MainState&, Ui&);

// One line of a menu: an item with its command, or a separator.
struct MenuEntry {
    bool separator = false;
    Control control = Control::TForm1;
    MainCommand command = nullptr;
};

struct MenuDefinition {
    Control title;
    std::vector<MenuEntry> entries;
};

// File, Crystal System, Data, Calculation, About, Language.
const std::vector<MenuDefinition>& MainMenus();

// The keyboard's way to a menu or an item: the letter its English caption is underlined at
// (0 for none; the Japanese captions carry none), and its shortcuts in the portable text
// of key sequences ("Ctrl+O", "F9"), the first one shown in the menu.
struct MenuKeys {
    char mnemonic = 0;
    std::vector<const char*> shortcuts;
};
const MenuKeys& KeysOf(Control control);

// A caption with its mnemonic marked for a menu: "&" before the first `letter` (none when
// `letter` is 0 or missing), and every "&" of the caption itself doubled so that it shows.
std::string WithMnemonic(const std::string& caption, char letter);

// Whether a menu item can be chosen in the state: "Refinement Details..." needs a result
// that describes the table; every other item always can.
bool MenuItemEnabled(const MainState& state, Control control);

// The check mark of a menu item: the language in force on its Language item; none (empty)
// for an item that carries no mark.
std::optional<bool> MenuItemChecked(const MainState& state, Control control);

}  // namespace dorvalix
