// SPDX-License-Identifier: GPL-3.0-or-later
// The Assign Indices from Cell dialog, headless: the worked example's lines stripped of
// their indices get them back from a cell a little off the refined one, and Execute then
// refines the same cell; what the dialog refuses, in both languages; a CIF's data blocks.
#include "assign_dialog_commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "crystal_system.h"
#include "main_commands.h"
#include "main_menu.h"

namespace dorvalix {
namespace {

using test::Call;

const std::string kDiopside = std::string(DORVALIX_EXAMPLES) + "/diopside.lat";

class AssignDialog : public test::CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        ui.fileNames.push_back(kDiopside);
        Run(Read1Click);
        Run(N4Click);
        ASSERT_TRUE(state->calc.resultValid);
        refined = state->calc.result.direct;
        ui.calls.clear();
    }
    void Show() { AssignDialogShow(dialog); }
    void Assign() {
        RunCommand(ui, [&] { AssignClick(dialog, ui); });
    }
    void Apply() {
        RunCommand(ui, [&] { AssignApplyClick(dialog, ui); });
    }
    std::vector<std::string> Messages() const { return ui.Texts(Call::Message); }

    AssignDialogState dialog{*state, nullptr, nullptr};
    CellParameters refined;
};

// The table without indices, a cell 0.3 % off: Assign and Apply give every line its
// index again, the system is the dialog's, and Execute refines the example's cell.
TEST_F(AssignDialog, IndexesTheTableFromANearbyCellAndExecuteRefinesIt) {
    Show();
    EXPECT_NEAR(std::stod(dialog.cellTexts[0]), static_cast<double>(refined.a), 1e-6)
        << "the last result's cell";
    EXPECT_EQ(dialog.system, kMonoclinicBeta);
    dialog.cellTexts = {"9.77", "8.92", "5.26", "90", "105.5", "90"};
    dialog.centring = static_cast<int>(Centring::C);
    for (int r = 1; r <= 7; ++r)
        Cell(1, r) = Cell(2, r) = Cell(3, r) = "";
    state->calc.crystalSystem = kCubic;

    Assign();
    ASSERT_TRUE(dialog.result) << (Messages().empty() ? "" : Messages().back());
    EXPECT_EQ(dialog.result->indexed, 7);
    ui.answers.push_back(true);
    Apply();
    ASSERT_EQ(ui.Texts(Call::OkCancel).size(), 1u);
    EXPECT_NE(ui.Texts(Call::OkCancel)[0].find("7 indexed"), std::string::npos)
        << ui.Texts(Call::OkCancel)[0];
    EXPECT_TRUE(dialog.mainChanged);
    EXPECT_EQ(state->calc.crystalSystem, kMonoclinicBeta);
    for (int r = 1; r <= 7; ++r) {
        EXPECT_NE(Cell(1, r) + Cell(2, r) + Cell(3, r), "000") << "row " << r;
        EXPECT_EQ(Cell(4, r), "") << "row " << r << " included";
    }
    // Indices equivalent to the example's (and only those) refine exactly its cell.
    Run(N4Click);
    ASSERT_TRUE(state->calc.resultValid);
    EXPECT_NEAR(static_cast<double>(state->calc.result.direct.a), static_cast<double>(refined.a),
                1e-9);
    EXPECT_NEAR(static_cast<double>(state->calc.result.direct.beta),
                static_cast<double>(refined.beta), 1e-7);
}

// Every refusal names what is wrong in the user's language, and leaves the table alone.
TEST_F(AssignDialog, RefusesWhatItCannotUseInBothLanguages) {
    struct Case {
        const char* what;
        std::function<void(AssignDialogState&, MainState&)> set;
        bool apply;
        const Text& text;
    };
    const std::vector<Case> cases = {
        {"a constant not a number", [](auto& d, auto&) { d.cellTexts[1] = "8,9x"; }, false,
         assign_text::kCellNotNumbers},
        {"no system", [](auto& d, auto&) { d.system = 0; }, false, assign_text::kNoSystem},
        {"unknown group",
         [](auto& d, auto&) {
             d.bySpaceGroup = true;
             d.spaceGroupText = "Q 42/z";
         },
         false, assign_text::kUnknownSpaceGroup},
        {"tolerance", [](auto& d, auto&) { d.toleranceText = "5"; }, false,
         assign_text::kTolerance},
        {"empty table",
         [](auto&, MainState& m) {
             for (int r = 1; r <= 7; ++r)
                 m.calc.table.Cell(0, r) = "";
         },
         false, assign_text::kNoLines},
        {"apply before assign", [](auto&, auto&) {}, true, assign_text::kNoResult},
    };
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        SetLanguage(lang);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (lang == Lang::Japanese ? " ja" : " en"));
            ui.fileNames.push_back(kDiopside);
            Run(Read1Click);
            ui.calls.clear();
            AssignDialogState d(*state, nullptr, nullptr);
            AssignDialogShow(d);
            d.cellTexts = {"9.746", "8.899", "5.251", "90", "105.63", "90"};
            d.system = kMonoclinicBeta;
            c.set(d, *state);
            const ObservationTable kept = Table();
            RunCommand(ui, [&] { c.apply ? AssignApplyClick(d, ui) : AssignClick(d, ui); });
            ASSERT_EQ(Messages().size(), 1u);
            EXPECT_EQ(Messages()[0], c.text.In(lang));
            EXPECT_FALSE(d.result);
            EXPECT_FALSE(d.mainChanged);
            for (int r = 1; r <= 7; ++r)
                EXPECT_EQ(Cell(1, r), kept.Cell(1, r));
        }
    }
    SetLanguage(Lang::English);
    ui.fileNames.push_back(kDiopside);
    Run(Read1Click);
    Run(N4Click);
    ui.calls.clear();
    // A table changed between Assign and Apply is not overwritten; a cancelled question
    // changes nothing either.
    Show();
    dialog.centring = static_cast<int>(Centring::C);
    Assign();
    ASSERT_TRUE(dialog.result) << (Messages().empty() ? "" : Messages().back());
    Cell(0, 3) = "2.3050";
    Apply();
    EXPECT_EQ(Messages().back(), assign_text::kTableChanged.In(Lang::English));
    Cell(0, 3) = "2.304";
    ui.answers.push_back(false);
    Cell(1, 1) = "9";
    Apply();
    EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 1u);
    EXPECT_EQ(Cell(1, 1), "9");
    EXPECT_FALSE(dialog.mainChanged);
}

// A CIF with two data blocks: the user chooses one; its cell, space group and the system
// the group belongs to (a rhombohedral group on hexagonal axes: hexagonal) fill the dialog.
TEST_F(AssignDialog, TakesTheCellAndGroupOfTheChosenCifBlock) {
    const std::string path = dir.Path("two.cif");
    std::ofstream(path) << "data_silicon\n_cell_length_a 5.4309\n_cell_length_b 5.4309\n"
                           "_cell_length_c 5.4309\n_cell_angle_alpha 90\n_cell_angle_beta 90\n"
                           "_cell_angle_gamma 90\n_space_group_name_H-M_alt 'F d -3 m'\n"
                           "data_corundum\n_cell_length_a 4.7589\n_cell_length_b 4.7589\n"
                           "_cell_length_c 12.991\n_cell_angle_alpha 90\n_cell_angle_beta 90\n"
                           "_cell_angle_gamma 120\n_space_group_IT_number 167\n";
    Show();
    ui.fileNames = {path, path};
    ui.choices = {1, -1};
    RunCommand(ui, [&] { AssignFromCifClick(dialog, ui); });
    ASSERT_EQ(ui.Texts(Call::Input).size(), 1u);
    EXPECT_NE(ui.Texts(Call::Input)[0].find("|silicon  (5.4309"), std::string::npos);
    EXPECT_EQ(dialog.cellTexts[2], "12.991");
    EXPECT_EQ(dialog.cellTexts[5], "120");
    EXPECT_TRUE(dialog.bySpaceGroup);
    EXPECT_EQ(dialog.spaceGroupText, "167");
    EXPECT_EQ(dialog.system, kHexagonal);
    // A cancelled choice keeps what the dialog holds.
    RunCommand(ui, [&] { AssignFromCifClick(dialog, ui); });
    EXPECT_EQ(dialog.cellTexts[2], "12.991");
}

}  // namespace
}  // namespace dorvalix
