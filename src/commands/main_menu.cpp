// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_menu.h"

#include "assign_dialog_commands.h"
#include "details_window_commands.h"
#include "indexing_window_commands.h"
#include "main_commands.h"
#include "pattern_window_commands.h"

namespace dorvalix {

namespace {

MenuEntry Item(Control control, MainCommand command) {
    return {false, control, command};
}

MenuEntry Separator() {
    return {true, Control::TForm1, nullptr};
}

}  // namespace

const std::vector<MenuDefinition>& MainMenus() {
    using C = Control;
    static const std::vector<MenuDefinition> menus = {
        {C::N2,
         {Item(C::Read1, Read1Click), Item(C::Write1, Write1Click), Item(C::Exceld1, Exceld1Click),
          Item(C::OpenPattern1, OpenPattern1Click), Separator(), Item(C::N10, N10Click),
          Item(C::N11, N11Click), Separator(), Item(C::N18, N18Click), Item(C::N22, N22Click),
          Separator(), Item(C::Exit1, Exit1Click)}},
        {C::N1,
         {Item(C::Cibic1, Cibic1Click), Item(C::tetragonal1, tetragonal1Click),
          Item(C::Orthorhombic1, Orthorhombic1Click), Item(C::trigonal, trigonalClick),
          Item(C::Hexagonal1, Hexagonal1Click), Item(C::Monoclinic901, Monoclinic901Click),
          Item(C::Monoclinic902, Monoclinic902Click), Item(C::Triclinic1, Triclinic1Click)}},
        {C::N14,
         {Item(C::N15, N15Click), Item(C::N16, N16Click), Item(C::N17, N17Click),
          Item(C::N20, N20Click), Item(C::N21, N21Click), Separator(),
          Item(C::AssignIndices1, AssignIndices1Click)}},
        {C::N3,
         {Separator(), Item(C::N4, N4Click), Item(C::hkld1, hkld1Click),
          Item(C::Details1, Details1Click), Item(C::Indexing1, Indexing1Click)}},
        {C::N7,
         {Item(C::N8, N8Click), Item(C::N9, N9Click), Separator(),
          Item(C::dorvalix1, dorvalix1Click)}},
        {C::English1, {Item(C::English2, English2Click), Item(C::Japanese1, Japanese1Click)}},
    };
    return menus;
}

const MenuKeys& KeysOf(Control control) {
    using C = Control;
    // Each letter occurs in its English caption and is unique in its menu (and the menu
    // titles among themselves); the shortcuts are the ones desktop programs use.
    static const std::vector<std::pair<Control, MenuKeys>> table = {
        {C::N2, {'F', {}}},
        {C::Read1, {'R', {"Ctrl+O"}}},
        {C::Write1, {'W', {"Ctrl+S"}}},
        {C::Exceld1, {'E', {}}},
        {C::OpenPattern1, {'O', {"Ctrl+Shift+O"}}},
        {C::N10, {'P', {"Ctrl+P"}}},
        {C::N11, {'u', {}}},
        {C::N18, {'S', {}}},
        {C::N22, {'C', {}}},
        {C::Exit1, {'x', {"Ctrl+Q"}}},
        {C::N1, {'S', {}}},
        {C::Cibic1, {'C', {}}},
        {C::tetragonal1, {'T', {}}},
        {C::Orthorhombic1, {'O', {}}},
        {C::trigonal, {'r', {}}},
        {C::Hexagonal1, {'H', {}}},
        {C::Monoclinic901, {'M', {}}},
        {C::Monoclinic902, {'g', {}}},
        {C::Triclinic1, {'i', {}}},
        {C::N14, {'D', {}}},
        {C::N15, {'D', {}}},
        {C::N16, {'S', {}}},
        {C::N17, {'C', {}}},
        {C::N20, {'E', {}}},
        {C::N21, {'I', {}}},
        {C::AssignIndices1, {'A', {}}},
        {C::N3, {'C', {}}},
        {C::N4, {'E', {"F9", "Ctrl+R"}}},
        {C::hkld1, {'h', {"Ctrl+H"}}},
        {C::Details1, {'R', {}}},
        {C::Indexing1, {'I', {}}},
        {C::N7, {'A', {}}},
        {C::N8, {'H', {"F1"}}},
        {C::N9, {'V', {}}},
        {C::dorvalix1, {'P', {}}},
        {C::English1, {'L', {}}},
        {C::English2, {'E', {}}},
        {C::Japanese1, {'J', {}}},
    };
    static const MenuKeys none;
    for (const auto& [c, keys] : table) {
        if (c == control) return keys;
    }
    return none;
}

std::string WithMnemonic(const std::string& caption, char letter) {
    std::string out;
    bool marked = letter == 0;
    for (const char c : caption) {
        if (c == '&') {
            out += "&&";
            continue;
        }
        if (!marked && c == letter) {
            out += '&';
            marked = true;
        }
        out += c;
    }
    return out;
}

bool MenuItemEnabled(const MainState& state, Control control) {
    return control != Control::Details1 || DetailsAvailable(state);
}

std::optional<bool> MenuItemChecked(const MainState& state, Control control) {
    if (control == Control::English2) return UiLang(state) == Lang::English;
    if (control == Control::Japanese1) return UiLang(state) == Lang::Japanese;
    return std::nullopt;
}

}  // namespace dorvalix
