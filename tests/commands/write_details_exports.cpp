// SPDX-License-Identifier: GPL-3.0-or-later
// Saves the worked example's CIF and CSV from the refinement details window's commands (lattice
// C, fit on 2θ with zero shift) into a folder, and prints what the window shows of the same
// run, one item a line, for check_details_exports.py to compare with what gemmi and python's
// csv module read from the files.
//
// usage: write_details_exports FOLDER
#include <iostream>
#include <string>

#include "details_window_commands.h"
#include "main_commands.h"
#include "scripted_ui.h"
#include "table_builder.h"

int main(int argc, char** argv) {
    using namespace dorvalix;
    if (argc != 2) {
        std::cerr << "usage: write_details_exports FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    MainState main;
    FormCreate(main, folder + "/dorvalix");
    ApplyEnglishCaptions(main);
    test::ScriptedUi ui;
    test::FillMonoclinicExample(main.calc);
    ShowCrystalSystem(main);
    main.edit1 = "Diopside (monoclinic C2/c)";
    N4Click(main, ui);
    DetailsWindowState window(main);
    DetailsFormShow(window);
    ChooseLattice(window, ui, Centring::C);
    ChooseFit(window, ui, DetailsFitChoice::TwoThetaZeroShift);
    ui.fileNames = {folder + "/diopside.cif", folder + "/diopside.csv"};
    const bool saved = RunCommand(ui, [&] {
        SaveCifClick(window, ui);
        SaveCsvClick(window, ui);
    });
    if (!saved || !window.details || !ui.Texts(test::Call::Message).empty()) {
        std::cerr << "write_details_exports: the commands did not write the files\n";
        for (const test::UiCall& call : ui.calls)
            std::cerr << "  " << call.text << "\n";
        return 1;
    }
    for (const std::string& line : window.cellLines)
        std::cout << "cell " << line << "\n";
    for (const DetailsRow& row : window.rows) {
        std::cout << "row";
        for (const std::string& text : row.texts)
            std::cout << " " << text;
        std::cout << "\n";
    }
    return 0;
}
