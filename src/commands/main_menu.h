// The main window's menu bar: menus in order, their items and separators, and the command
// each item runs.
#pragma once

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

}  // namespace dorvalix
