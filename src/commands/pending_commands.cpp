// Printing and the printer setup come with the printed report; until then the menu items
// do nothing.
#include "main_commands.h"

namespace dorvalix {

void N10Click(MainState&, Ui&) {}
void N11Click(MainState&, Ui&) {}

}  // namespace dorvalix
