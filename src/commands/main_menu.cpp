#include "main_menu.h"

#include "main_commands.h"

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
          Separator(), Item(C::N10, N10Click), Item(C::N11, N11Click), Separator(),
          Item(C::N18, N18Click), Item(C::N22, N22Click), Separator(), Item(C::Exit1, Exit1Click)}},
        {C::N1,
         {Item(C::Cibic1, Cibic1Click), Item(C::tetragonal1, tetragonal1Click),
          Item(C::Orthorhombic1, Orthorhombic1Click), Item(C::trigonal, trigonalClick),
          Item(C::Hexagonal1, Hexagonal1Click), Item(C::Monoclinic901, Monoclinic901Click),
          Item(C::Monoclinic902, Monoclinic902Click), Item(C::Triclinic1, Triclinic1Click)}},
        {C::N14,
         {Item(C::N15, N15Click), Item(C::N16, N16Click), Item(C::N17, N17Click),
          Item(C::N20, N20Click), Item(C::N21, N21Click)}},
        {C::N3, {Separator(), Item(C::N4, N4Click), Item(C::hkld1, hkld1Click)}},
        {C::N7,
         {Item(C::N8, N8Click), Item(C::N9, N9Click), Separator(),
          Item(C::dorvalix1, dorvalix1Click)}},
        {C::English1, {Item(C::English2, English2Click), Item(C::Japanese1, Japanese1Click)}},
    };
    return menus;
}

}  // namespace dorvalix
