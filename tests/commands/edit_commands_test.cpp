// SPDX-License-Identifier: GPL-3.0-or-later
// The observation grid as an editor (Enter, scrolling, colours) and the Data menu, through
// the scripted Ui.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "crystal_system.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

using test::Call;
using test::FillRows;

class Editing : public test::CommandTest {
  protected:
    // Ten rows with d 10.5, 9.5 ... 1.5, written as the normalisation leaves them.
    void FillTenRows() {
        for (int r = 1; r <= 10; ++r) {
            Cell(0, r) = r == 1 ? "10.5" : " " + std::to_string(11 - r) + ".5";
            Cell(1, r) = " " + std::to_string(r % 10);
            Cell(2, r) = " 0";
            Cell(3, r) = " 0";
        }
        Table().filled = 10;
        Table().included = 10;
    }
};

// --- Enter ------------------------------------------------------------------------------

TEST_F(Editing, EnterRewritesADValueAndMovesToH) {
    const struct {
        const char* typed;
        const char* cell;
    } cases[] = {
        {"2.5", " 2.5"},    {"3.1416", " 3.1416"}, {"12.50", "12.50"},    {"12.5", "12.5"},
        {"3", " 3"},        {"0.5", " 0.5"},       {"100.5", "100.50"},   {"  3.23 ", " 3.23"},
        {" 3.23", " 3.23"}, {"12", "12"},          {"2.5660", " 2.5660"}, {"1e1", "10"},
    };
    for (const auto& c : cases) {
        Select(0, 4);
        Type(c.typed);
        EXPECT_EQ(Cell(0, 4), c.cell) << c.typed;
        EXPECT_EQ(state->gridCurrent, (CellRef{1, 4})) << c.typed;
    }
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(Editing, EnterChecksIndicesAndPutsABlankBeforeOneCharacter) {
    const struct {
        int col;
        const char* typed;
        const char* cell;
        CellRef next;
    } cases[] = {
        {2, "7", " 7", {3, 9}},     {1, "-1", "-1", {2, 9}}, {3, "10", "10", {0, 10}},
        {3, " 12", " 12", {0, 10}}, {1, "$A", "$A", {2, 9}}, {2, " 3 ", " 3 ", {3, 9}},
    };
    for (const auto& c : cases) {
        Select(c.col, 9);
        Type(c.typed);
        EXPECT_EQ(Cell(c.col, 9), c.cell) << c.typed;
        EXPECT_EQ(state->gridCurrent, c.next) << c.typed;
    }
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(Editing, EnterLeadsThroughDHKLAndOnToTheNextRow) {
    Select(0, 1);
    for (const char* text : {"3.23", "2", "2", "0", "2.566", "1", "3", "-1"})
        Type(text);
    EXPECT_EQ(state->gridCurrent, (CellRef{0, 3}));
    EXPECT_EQ(state->currentRow, 3u);
    EXPECT_EQ(state->edit2, " 003");
    const ObservationTable::Row first = {" 3.23", " 2", " 2", " 0", ""};
    const ObservationTable::Row second = {" 2.566", " 1", " 3", "-1", ""};
    EXPECT_EQ(Table().rows[1], first);
    EXPECT_EQ(Table().rows[2], second);
    // Typing does not count: the counts stay as the last counting command left them.
    EXPECT_EQ(Table().filled, 0u);
}

TEST_F(Editing, EnterInTheLastRowGoesBackToTheFirst) {
    Select(3, 300);
    Type("1");
    EXPECT_EQ(state->gridCurrent, (CellRef{0, 1}));
    EXPECT_EQ(state->edit2, " 001");
}

TEST_F(Editing, ABadEntryBeepsAndStaysWithoutAMessage) {
    const struct {
        int col;
        const char* text;
    } cases[] = {
        {0, ""}, {0, "abc"},       {0, "2,5"},       {0, "2.5a"}, {0, "   "},
        {1, ""}, {1, "1.5"},       {2, "x"},         {3, "1 2"},  {3, "+"},
        {4, ""}, {4, "  Exclude"}, {4, " +0.00029"},
    };
    for (const auto& c : cases) {
        Select(c.col, 6);
        Cell(c.col, 6) = c.text;
        ui.calls.clear();
        RunCommand(ui, [&] { StringGrid1KeyPress(*state, ui, 13); });
        ASSERT_EQ(ui.calls.size(), 1u) << c.col << " '" << c.text << "'";
        EXPECT_EQ(ui.calls[0].call, Call::Beep);
        EXPECT_EQ(Cell(c.col, 6), c.text);
        EXPECT_EQ(state->gridCurrent, (CellRef{c.col, 6}));
    }
}

// --- Scrolling --------------------------------------------------------------------------

TEST_F(Editing, ScrollingPullsTheCurrentCellBackIntoView) {
    const struct {
        CellRef current;
        int top, visible;
        CellRef after;
    } cases[] = {
        {{2, 1}, 6, 24, {0, 6}},     // left at the top: column 0 of the new top row
        {{3, 10}, 10, 24, {0, 10}},  // the top row itself
        {{1, 11}, 10, 24, {1, 11}},  // in view
        {{1, 34}, 10, 24, {1, 34}},  // the partly visible row below the last full one
        {{2, 60}, 10, 24, {0, 34}},  // left at the bottom: the row just below the view
        {{2, 300}, 277, 24, {2, 300}},
    };
    for (const auto& c : cases) {
        Select(c.current.col, c.current.row);
        state->gridFocusRequested = false;
        StringGrid1TopLeftChanged(*state, c.top, c.visible);
        EXPECT_EQ(state->gridCurrent, c.after) << c.top << " " << c.current.row;
        EXPECT_EQ(state->currentRow, static_cast<std::uint32_t>(c.after.row));
        EXPECT_EQ(state->edit2, RowNumberText(c.after.row));
        EXPECT_EQ(state->gridFocusRequested, c.after != c.current);
    }
}

// --- Delete One Data --------------------------------------------------------------------

TEST_F(Editing, DeletingRowFiveOfTenMovesTheRowsBelowUp) {
    FillTenRows();
    Cell(4, 7) = "  Exclude";
    Cell(4, 8) = " +0.00012";
    Select(1, 5);
    ui.answers = {true};
    Run(N15Click);
    EXPECT_EQ(ui.Texts(Call::OkCancel), std::vector<std::string>{"Delete one data "});
    EXPECT_EQ(Cell(0, 4), " 7.5");
    for (int r = 5; r <= 9; ++r)
        EXPECT_EQ(Cell(0, r), " " + std::to_string(10 - r) + ".5") << r;
    EXPECT_EQ(Cell(4, 6), "  Exclude");
    EXPECT_EQ(Cell(4, 7), " +0.00012");
    EXPECT_EQ(Table().rows[10], ObservationTable::Row{});
    EXPECT_EQ(Table().filled, 9u);
    // CurrentRow stays: deleting again takes the row that moved up.
    EXPECT_EQ(state->currentRow, 5u);
    ui.answers = {true};
    Run(N15Click);
    EXPECT_EQ(Cell(0, 5), " 4.5");
    EXPECT_EQ(Table().filled, 8u);
}

TEST_F(Editing, DeletingTheLastRowOfAFullTableEmptiesIt) {
    for (int r = 1; r <= 300; ++r)
        FillRows(Table(), {{"1.5", "1", "1", "1", "  Exclude"}}, r);
    Table().filled = 300;
    Select(0, 300);
    ui.answers = {true};
    Run(N15Click);
    EXPECT_EQ(Table().rows[300], ObservationTable::Row{});
    EXPECT_EQ(Cell(0, 299), "1.5");
    EXPECT_EQ(Table().filled, 299u);
}

TEST_F(Editing, DeleteAsksButCancelOrNoChosenRowDeletesNothing) {
    FillTenRows();
    const ObservationTable::Row row5 = Table().rows[5];
    Select(0, 5);
    ui.answers = {false};
    Run(N15Click);
    EXPECT_EQ(Table().rows[5], row5);
    EXPECT_EQ(Table().filled, 10u);

    state->currentRow = 0;  // nothing chosen since the start
    ui.answers = {true};
    Run(N15Click);
    EXPECT_EQ(Table().rows[5], row5);
    EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 2u);
}

// Rows typed since the last count count: Delete One Data counts them first (it used to do
// nothing at all after typing), as Exclude does.
TEST_F(Editing, DeleteAndExcludeCountRowsTypedByHand) {
    Select(0, 1);
    for (const char* text :
         {"3.23", "2", "2", "0", "2.566", "1", "3", "-1", "2.304", "3", "1", "1"})
        Type(text);
    ASSERT_EQ(Table().filled, 0u);
    Select(0, 2);
    ui.answers = {true};
    Run(N15Click);
    EXPECT_EQ(ui.Texts(Call::OkCancel), std::vector<std::string>{"Delete one data "});
    EXPECT_EQ(Cell(0, 2), " 2.304");
    EXPECT_EQ(Cell(0, 3), "");
    EXPECT_EQ(Table().filled, 2u);
    ui.calls.clear();

    // Exclude counts the rows first, then marks the current one.
    Select(0, 3);
    Type("2.157");
    Type("3");
    Type("3");
    Type("0");
    Table().filled = 0;  // as if nothing had counted since the typing
    Select(0, 3);
    Run(N20Click);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(Cell(4, 3), "  Exclude");
    EXPECT_EQ(Table().filled, 3u);
    EXPECT_EQ(Table().excluded, 1u);
    EXPECT_EQ(Table().included, 2u);
    // An empty table still asks nothing.
    state->calc.table.ClearData();
    Table().filled = 5;  // a stale count
    Run(N15Click);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(Table().filled, 0u);
}

// --- Exclude and Include ----------------------------------------------------------------

TEST_F(Editing, ExcludeTwiceCountsOnceAndIncludeUndoesIt) {
    FillTenRows();
    Cell(4, 3) = " +0.00029";  // the residual of an earlier run is replaced
    Select(2, 3);
    Run(N20Click);
    Run(N20Click);
    EXPECT_EQ(Cell(4, 3), "  Exclude");
    EXPECT_EQ(Table().excluded, 1u);
    EXPECT_EQ(Table().included, 9u);

    using G = GridCellColour;
    EXPECT_EQ(StringGrid1CellColour(*state, 2, 3), G::White);  // the current cell
    for (const int col : {0, 1, 3, 4})
        EXPECT_EQ(StringGrid1CellColour(*state, col, 3), G::Aqua) << col;
    EXPECT_EQ(StringGrid1CellColour(*state, 0, 4), G::Yellow);

    Run(N21Click);
    EXPECT_EQ(Cell(4, 3), "");
    EXPECT_EQ(Table().excluded, 0u);
    EXPECT_EQ(Table().included, 10u);
    EXPECT_EQ(StringGrid1CellColour(*state, 0, 3), G::Yellow);

    // Include on a row without the marker changes nothing.
    Cell(4, 4) = " +0.00011";
    Select(0, 4);
    Run(N21Click);
    EXPECT_EQ(Cell(4, 4), " +0.00011");
    EXPECT_EQ(Table().excluded, 0u);
    EXPECT_EQ(Table().included, 10u);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(Editing, ExcludeOutsideTheFilledRowsDoesNothing) {
    FillTenRows();
    Run(N20Click);  // CurrentRow 0: nothing chosen yet
    Select(0, 11);
    Run(N20Click);
    for (int r = 1; r <= 11; ++r)
        EXPECT_EQ(Cell(4, r), "") << r;
    EXPECT_EQ(Table().excluded, 0u);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(Editing, ExcludeOnUncountedRowsWithAMissingIndexSaysSo) {
    FillRows(Table(), {{"3.23", "2", "2", "0"}, {"2.566", "1", "", "-1"}});
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        SetLanguage(lang);
        Table().filled = 0;
        Select(0, 1);
        ui.calls.clear();
        Run(N20Click);
        EXPECT_EQ(
            ui.Texts(Call::Message),
            std::vector<std::string>{lang == Lang::English ? "Set Index Data"
                                                           : "指数のデ－タが入力されていません"});
        EXPECT_EQ(Cell(4, 1), "  Exclude");  // the rows counted so far are enough
        Run(N21Click);
    }
}

// --- Sort and Clear ---------------------------------------------------------------------

TEST_F(Editing, SortKeepsTheCurrentRowNumber) {
    FillRows(
        Table(),
        {{"", "", "", ""}, {" 2.5", " 1", " 1", " 0", "  Exclude"}, {" 3.1", " 1", " 0", " 0"}});
    Select(1, 2);
    Run(N16Click);
    EXPECT_EQ(Cell(0, 1), " 3.1");
    EXPECT_EQ(Cell(0, 2), " 2.5");
    EXPECT_EQ(Cell(4, 2), "  Exclude");
    EXPECT_EQ(Table().filled, 2u);
    EXPECT_EQ(Table().excluded, 1u);
    EXPECT_EQ(state->currentRow, 2u);
    EXPECT_EQ(state->gridCurrent, (CellRef{1, 2}));

    Cell(0, 3) = "2.5b";
    Run(N16Click);
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{"'2.5b' は浮動小数点数ではありません."});
}

TEST_F(Editing, ClearAsksAndResetsTheWholeInputSide) {
    test::FillMonoclinicExample(state->calc);
    Run(N4Click);
    ASSERT_TRUE(state->calc.resultValid);
    state->edit1 = "diopside";
    state->label6 = "diopside.lat";
    state->currentFileName = "/data/diopside.lat";
    Cell(4, 2) = "  Exclude";
    Select(2, 5);

    ui.answers = {false};
    Run(N17Click);
    EXPECT_EQ(Cell(0, 1), " 3.23");
    EXPECT_TRUE(state->calc.resultValid);

    ui.answers = {true};
    state->gridFocusRequested = false;
    Run(N17Click);
    EXPECT_EQ(ui.Texts(Call::OkCancel),
              (std::vector<std::string>{"Delete All Data ? ", "Delete All Data ? "}));
    for (int r = 1; r <= 300; ++r)
        EXPECT_EQ(Table().rows[static_cast<std::size_t>(r)], ObservationTable::Row{}) << r;
    EXPECT_EQ(Table().filled, 0u);
    EXPECT_EQ(Table().excluded, 0u);
    EXPECT_EQ(state->calc.crystalSystem, kNoSystem);
    EXPECT_EQ(state->label3, "");
    EXPECT_EQ(state->label6, "");
    EXPECT_EQ(state->edit1, "");
    EXPECT_EQ(state->calc.panel.residual, "");
    EXPECT_EQ(state->calc.panel.reciprocal[0][1], "  ");
    EXPECT_EQ(state->calc.panel.direct[6][2], "  ");
    EXPECT_FALSE(state->calc.resultValid);
    EXPECT_EQ(state->gridCurrent, (CellRef{0, 1}));
    EXPECT_EQ(state->currentRow, 1u);
    EXPECT_EQ(state->edit2, " 001");
    EXPECT_TRUE(state->gridFocusRequested);
    // What Clear leaves: the current file name, the language, the header row.
    EXPECT_EQ(state->currentFileName, "/data/diopside.lat");
    EXPECT_EQ(state->settings.lang, "e");
    EXPECT_EQ(Cell(0, 0), "  dobs.");
    EXPECT_EQ(state->calc.panel.reciprocal[0][0], "   a*  ");
}

TEST_F(Editing, QuestionsInBothLanguages) {
    const struct {
        MainCommand command;
        const char* en;
        const char* ja;
    } cases[] = {
        {N15Click, "Delete one data ", "カーソルのある行のデータを消去します"},
        {N17Click, "Delete All Data ? ", "すべてのデータを消去してよろしいですか"},
    };
    FillTenRows();
    for (const auto& c : cases) {
        for (const Lang lang : {Lang::English, Lang::Japanese}) {
            SetLanguage(lang);
            ui.calls.clear();
            ui.answers = {false};
            Run(c.command);
            EXPECT_EQ(ui.Texts(Call::OkCancel),
                      std::vector<std::string>{lang == Lang::English ? c.en : c.ja});
        }
    }
    EXPECT_EQ(Table().filled, 10u);
}

}  // namespace
}  // namespace dorvalix
