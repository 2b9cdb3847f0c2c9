// Commands of the file and data menus whose work comes with the observation file, the
// spreadsheet import, the results report, printing and the data editing commands. The
// menu items exist already; these do nothing yet.
#include "main_commands.h"

namespace dorvalix {

void Read1Click(MainState&, Ui&) {}
void Write1Click(MainState&, Ui&) {}
void Exceld1Click(MainState&, Ui&) {}
void N10Click(MainState&, Ui&) {}
void N11Click(MainState&, Ui&) {}
void N18Click(MainState&, Ui&) {}
void N22Click(MainState&, Ui&) {}
void N15Click(MainState&, Ui&) {}
void N16Click(MainState&, Ui&) {}
void N17Click(MainState&, Ui&) {}
void N20Click(MainState&, Ui&) {}
void N21Click(MainState&, Ui&) {}

}  // namespace dorvalix
