// SPDX-License-Identifier: GPL-3.0-or-later
// The indexing window, headless: its commands on plain state, the user played by a scripted
// Ui, the main window's commands run beside it. The searches index the d column of peak lists
// made from known cells, and the example silicon pattern through the pattern window; Use This
// Cell must leave a table that Execute refines to the known cell at once.
#include "indexing_window_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "main_commands.h"
#include "numtext.h"
#include "pattern_window_commands.h"
#include "scripted_ui.h"
#include "synthetic_peak_list.h"

namespace dorvalix {
namespace {

using test::Call;
constexpr long double kCuKa1 = 1.540593L;

std::vector<std::string> TableTexts(const ObservationTable& table) {
    std::vector<std::string> out;
    for (int r = 1; r <= kMaxObservations; ++r)
        for (int c = 0; c < 5; ++c)
            out.push_back(table.Cell(c, r));
    return out;
}

class IndexingWindowTest : public test::CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        window = std::make_unique<IndexingWindowState>(*state);
    }
    template <class F>
    bool Do(F f) {
        return RunCommand(ui, [&] { f(*window, ui); });
    }
    void Field(IndexingField field, const std::string& text) {
        ASSERT_TRUE(
            Do([&](IndexingWindowState& s, Ui& u) { SetIndexingField(s, u, field, text); }));
    }
    // The d values of a peak list made from a known cell, in the table's d column, with
    // indices that the search must ignore.
    void TypeDColumn(const indexing::test::PeakListRecipe& made) {
        const indexing::test::Pattern pattern = indexing::test::MakePattern(made);
        ASSERT_GE(pattern.peaks.peaks.size(), 15u);
        int row = 1;
        for (const indexing::Peak& p : pattern.peaks.peaks) {
            const long double d =
                made.wavelength /
                (2 * std::sin(p.position * std::numbers::pi_v<long double> / 360));
            Cell(0, row) = FormatFixed(d, 5, 15);
            Cell(1, row) = "9";
            Cell(2, row) = "9";
            Cell(3, row) = "9";
            ++row;
        }
    }
    // Run, waited for to its end.
    void Search() {
        ASSERT_TRUE(Do(RunIndexingClick));
        ASSERT_TRUE(window->Running());
        ASSERT_TRUE(Do(WaitForIndexing));
        ASSERT_FALSE(window->Running());
        ASSERT_TRUE(window->result);
    }

    std::unique_ptr<IndexingWindowState> window;
};

TEST(IndexingWindowCaptions, EveryControlHasANameACaptionInBothLanguagesAndADistinctLetter) {
    std::string letters;
    for (int i = 0; i < kIndexingControlCount; ++i) {
        const auto control = static_cast<IndexingControl>(i);
        EXPECT_NE(std::string(IndexingControlName(control)), "");
        const std::string english = IndexingCaption(control, Lang::English);
        EXPECT_NE(english, "") << IndexingControlName(control);
        EXPECT_NE(std::string(IndexingCaption(control, Lang::Japanese)), english)
            << IndexingControlName(control);
        if (const char letter = IndexingMnemonic(control)) {
            EXPECT_NE(english.find(letter), std::string::npos) << english;
            const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
            EXPECT_EQ(letters.find(lower), std::string::npos) << "letter " << letter << " twice";
            letters += lower;
        }
    }
}

// Each field refuses what it does not take with its own message and keeps its value; the
// search refuses without a crystal system, without input, and on a table it cannot read.
TEST_F(IndexingWindowTest, OptionsAndInputsRefuseWhatTheSearchCannotTake) {
    ASSERT_TRUE(Do([](IndexingWindowState& s, Ui&) { IndexingFormShow(s); }));
    struct FieldCase {
        IndexingField field;
        const char* text;
        const Text* message;  // nullptr: taken
    };
    using namespace indexing_window_text;
    const FieldCase cases[] = {
        {IndexingField::Lines, "3", &kBadLines},
        {IndexingField::Lines, "12.5", &kBadLines},
        {IndexingField::Lines, "1001", &kBadLines},
        {IndexingField::Lines, "20", nullptr},
        {IndexingField::Tolerance, "0", &kBadTolerance},
        {IndexingField::Tolerance, "5", &kBadTolerance},
        {IndexingField::Tolerance, "abc", &kBadTolerance},
        {IndexingField::Tolerance, "0.05", nullptr},
        {IndexingField::Impurities, "-1", &kBadImpurities},
        {IndexingField::Impurities, "51", &kBadImpurities},
        {IndexingField::Impurities, "", nullptr},
        {IndexingField::MaxVolume, "0", &kBadVolume},
        {IndexingField::MaxVolume, "nan", &kBadVolume},
        {IndexingField::MaxVolume, "", nullptr},
        {IndexingField::TimeLimit, "-2", &kBadTimeLimit},
        {IndexingField::TimeLimit, "30", nullptr},
        {IndexingField::Weak, "100", &kBadWeak},
        {IndexingField::Weak, "-1", &kBadWeak},
        {IndexingField::Weak, "0", nullptr},
    };
    for (const FieldCase& c : cases) {
        const std::string before = window->fields[static_cast<std::size_t>(c.field)];
        ui.calls.clear();
        Field(c.field, c.text);
        if (c.message) {
            EXPECT_EQ(ui.Texts(Call::Message),
                      std::vector<std::string>{c.message->In(Lang::English)})
                << c.text;
            EXPECT_EQ(window->fields[static_cast<std::size_t>(c.field)], before) << c.text;
        } else {
            EXPECT_TRUE(ui.calls.empty()) << c.text;
            EXPECT_EQ(window->fields[static_cast<std::size_t>(c.field)], c.text);
        }
    }
    // A typed wavelength as the hkl window takes one.
    ui.calls.clear();
    ASSERT_TRUE(Do([](IndexingWindowState& s, Ui& u) { TypeIndexingWavelength(s, u, "0"); }));
    EXPECT_EQ(ui.Texts(Call::Message).size(), 1u);
    EXPECT_EQ(window->wavelengthChoice, -1);

    struct RunCase {
        const char* name;
        std::vector<std::string> d;  // the d column, from row 1
        bool families;
        std::string message;
    };
    const RunCase runs[] = {
        {"empty table", {}, true, kNothingToIndex.In(Lang::English)},
        {"no system",
         {"3.1", "2.5", "2.1", "1.9"},
         false,
         indexing_window_text::kNoSystem.In(Lang::English)},
        {"no number",
         {"3.1", "2,5x", "2.1"},
         true,
         "Row 2: the d value '2,5x' is no number above 0"},
        {"negative", {"3.1", "-2.5"}, true, "Row 2: the d value '-2.5' is no number above 0"},
        {"no 2θ",
         {"3.1", "0.5"},
         true,
         "Row 2: d = 0.5 Å has no 2θ at λ = 1.54178 Å; choose a shorter wavelength"},
    };
    for (const RunCase& c : runs) {
        ClearTable(*state);
        for (std::size_t r = 0; r < c.d.size(); ++r)
            Cell(0, static_cast<int>(r) + 1) = c.d[r];
        window->families.fill(c.families);
        ui.calls.clear();
        ASSERT_TRUE(Do(RunIndexingClick)) << c.name;
        EXPECT_FALSE(window->Running()) << c.name;
        EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{c.message}) << c.name;
    }
}

struct KnownCell {
    const char* name;
    indexing::test::PeakListRecipe made;
    const char* bravais;
    int system;
    Centring lattice;
};

void PrintTo(const KnownCell& c, std::ostream* os) {
    *os << c.name;
}

indexing::test::PeakListRecipe Lines(indexing::Cell cell, const char* group, int lines,
                                     std::uint64_t seed) {
    indexing::test::PeakListRecipe s;
    s.cell = cell;
    s.spaceGroup = group;
    s.lines = lines;
    s.noise = 0.004L;
    s.seed = seed;
    return s;
}

class UseThisCell : public IndexingWindowTest, public ::testing::WithParamInterface<KnownCell> {};

// The d column of a known cell's lines (with wrong indices) is indexed; Use This Cell puts
// the lines with their indices into the table, chooses the crystal system and centring they
// are indexed in, keeps the sample name, and Execute gives the known cell.
TEST_P(UseThisCell, FillsTheTableAndChoosesTheSystemSoThatExecuteRefinesTheCell) {
    const KnownCell& c = GetParam();
    state->edit1 = "my sample";
    TypeDColumn(c.made);
    ASSERT_TRUE(Do([](IndexingWindowState& s, Ui&) { IndexingFormShow(s); }));
    EXPECT_EQ(window->input, IndexingInput::Table);
    // Triclinic is left out: its search is the slow one, and nothing here needs it.
    window->families[static_cast<std::size_t>(indexing::Family::Triclinic)] = false;
    Field(IndexingField::TimeLimit, "120");
    Search();
    ASSERT_FALSE(window->candidates.empty()) << window->summaryLine;
    ASSERT_TRUE(window->Chosen());
    const indexing::IndexingSolution& best = window->Chosen()->solution;
    EXPECT_EQ(best.bravais, c.bravais);
    EXPECT_EQ(best.rank, 1);
    EXPECT_EQ(window->rows.front().texts[static_cast<std::size_t>(CandidateColumn::Rank)], "1");
    // Every line of the list is indexed by the true cell.
    for (const LineRow& row : window->lines)
        EXPECT_TRUE(row.indexed) << row.texts[0];

    ui.answers = {true};
    ASSERT_TRUE(Do(UseThisCellClick));
    EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 1u);  // the table held data
    EXPECT_TRUE(ui.answers.empty());
    EXPECT_EQ(state->calc.crystalSystem, c.system);
    EXPECT_EQ(state->settings.lattice, c.lattice);
    EXPECT_EQ(state->edit1, "my sample");
    EXPECT_TRUE(window->mainChanged);
    int rows = 0;
    while (rows < kMaxObservations && !Cell(0, rows + 1).empty())
        ++rows;
    EXPECT_EQ(rows, static_cast<int>(window->lines.size()));
    EXPECT_NE(Cell(1, 1) + Cell(2, 1) + Cell(3, 1), "999");

    ASSERT_TRUE(Run(N4Click));
    ASSERT_TRUE(state->calc.resultValid) << ::testing::PrintToString(ui.Texts(Call::Message));
    // The refined cell is the known one, in the setting of the main window's system.
    const CellParameters& cell = state->calc.result.direct;
    EXPECT_NEAR(static_cast<double>(cell.a), static_cast<double>(c.made.cell.a), 2e-3);
    EXPECT_NEAR(static_cast<double>(cell.c), static_cast<double>(c.made.cell.c), 4e-3);
    EXPECT_NEAR(static_cast<double>(cell.beta), static_cast<double>(c.made.cell.beta), 0.02);
    EXPECT_NEAR(static_cast<double>(cell.gamma), static_cast<double>(c.made.cell.gamma), 0.02);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, UseThisCell,
    ::testing::Values(
        KnownCell{"tI_anatase", Lines({3.7845L, 3.7845L, 9.5143L, 90, 90, 90}, "I 41/a m d", 22, 3),
                  "tI", kTetragonal, Centring::I},
        KnownCell{"hP_zincite", Lines({3.2498L, 3.2498L, 5.2066L, 90, 90, 120}, "P 63 m c", 22, 4),
                  "hP", kHexagonal, Centring::P},
        // A rhombohedral lattice is given on hexagonal axes (obverse), as the main window's
        // hexagonal system refines it.
        KnownCell{"hR_calcite", Lines({4.9896L, 4.9896L, 17.061L, 90, 90, 120}, "R -3 c", 25, 5),
                  "hR", kHexagonal, Centring::R},
        // β unique: the main window's Monoclinic(beta<>90).
        KnownCell{"mC_diopside",
                  Lines({9.746L, 8.899L, 5.251L, 90, 105.63L, 90}, "C 1 2/c 1", 26, 7), "mC",
                  kMonoclinicBeta, Centring::C}),
    [](const ::testing::TestParamInfo<KnownCell>& info) { return std::string(info.param.name); });

// The example pattern, through the pattern window: its peaks are indexed at its Kα1, the
// chosen candidate's ticks go under the pattern, and Use This Cell on an empty table asks
// nothing; Execute gives silicon's cell, the zero shift taken out of the d values.
TEST_F(IndexingWindowTest, TheExamplePatternIsIndexedAsSiliconAndItsTicksFollowTheChoice) {
    PatternWindowState pattern(*state);
    window->pattern = &pattern;
    ui.fileNames = {std::string(DORVALIX_EXAMPLES) + "/silicon-cu-ka.xy"};
    ASSERT_TRUE(RunCommand(ui, [&] { OpenPatternClick(pattern, ui); }));
    ASSERT_TRUE(pattern.pattern);
    // The Cu Kα doublet, so that no Kα2 maximum counts as a peak of its own.
    ASSERT_TRUE(RunCommand(ui, [&] { ChoosePatternWavelength(pattern, ui, 0); }));
    ASSERT_GE(PatternPeaks(pattern).size(), 8u);

    ASSERT_TRUE(Do([](IndexingWindowState& s, Ui&) { IndexingFormShow(s); }));
    EXPECT_EQ(window->input, IndexingInput::Pattern);
    EXPECT_EQ(window->inputCaptions[1], "d column of the main table (0)");
    window->families[static_cast<std::size_t>(indexing::Family::Triclinic)] = false;
    Search();
    ASSERT_GE(window->candidates.size(), 2u) << window->summaryLine;
    const indexing::IndexingSolution& best = window->Chosen()->solution;
    EXPECT_EQ(best.bravais, "cF");
    EXPECT_NEAR(static_cast<double>(best.cell.a), 5.431194, 2e-3);
    EXPECT_NEAR(static_cast<double>(best.zero), 0.015, 0.01);
    // The chosen candidate's tick marks, then another's.
    ASSERT_TRUE(pattern.tickCell);
    EXPECT_EQ(pattern.tickSource, TickSource::Given);
    EXPECT_EQ(pattern.tickCell->a, best.cell.a);
    EXPECT_EQ(pattern.tickCell->label, "indexing candidate 1");
    EXPECT_TRUE(window->patternChanged);
    std::size_t other = 0;
    while (window->candidates[window->rows[other].candidate].id == *window->chosen)
        ++other;
    ASSERT_TRUE(Do([&](IndexingWindowState& s, Ui& u) { ChooseCandidate(s, u, other); }));
    const indexing::IndexingSolution& second = window->Chosen()->solution;
    EXPECT_EQ(pattern.tickCell->a, second.cell.a);
    EXPECT_EQ(pattern.tickCell->centring, second.centring);
    ASSERT_TRUE(Do([](IndexingWindowState& s, Ui& u) { ChooseCandidate(s, u, 0); }));

    // Copied and saved as shown; the JSON's numbers give the cell to 17 digits; a
    // cancelled dialog writes nothing.
    ASSERT_TRUE(Do(CopyIndexingClick));
    EXPECT_EQ(ui.clipboardText, IndexingText(*window));
    EXPECT_NE(ui.clipboardText.find("\r\n1\tCubic\tcF\t5.43"), std::string::npos);
    EXPECT_NE(ui.clipboardText.find(window->linesCaption + "\r\n"), std::string::npos);
    const std::string text = dir.Path("si.txt"), json = dir.Path("si.json");
    ui.fileNames = {"", text, json};
    ASSERT_TRUE(Do(SaveIndexingTextClick));
    EXPECT_FALSE(test::Exists(text));
    ASSERT_TRUE(Do(SaveIndexingTextClick));
    EXPECT_EQ(ui.dialogs.back().initialName,
              std::string(DORVALIX_EXAMPLES) + "/silicon-cu-ka-indexing.txt");
    EXPECT_EQ(test::ReadText(text), IndexingText(*window));
    ASSERT_TRUE(Do(SaveIndexingJsonClick));
    const std::string saved = test::ReadText(json);
    EXPECT_EQ(saved, IndexingJson(*window));
    const std::size_t cell = saved.find("\"cell\": [");
    ASSERT_NE(cell, std::string::npos);
    const std::string a = saved.substr(cell + 9, saved.find(',', cell) - cell - 9);
    // Seventeen significant digits: within half a unit of the seventeenth.
    EXPECT_LE(std::fabs(ParseReal(a) - best.cell.a), 5e-16L) << a;
    EXPECT_NE(saved.find("\"bravais\": \"cF\""), std::string::npos);
    // A folder that does not exist: the error box, no file.
    ui.fileNames = {dir.Path("missing/si.json")};
    ASSERT_FALSE(Do(SaveIndexingJsonClick));
    EXPECT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_FALSE(test::Exists(dir.Path("missing/si.json")));

    ASSERT_TRUE(Do(UseThisCellClick));
    EXPECT_TRUE(ui.Texts(Call::OkCancel).empty());
    EXPECT_EQ(state->calc.crystalSystem, kCubic);
    EXPECT_EQ(state->settings.lattice, Centring::F);
    // The lines from the largest d, with the indices a cubic table writes.
    const char* indices[] = {"1 1 1", "2 2 0", "3 1 1", "4 0 0", "3 3 1", "4 2 2"};
    for (int r = 1; r <= 6; ++r)
        EXPECT_EQ(std::string(Trim(Cell(1, r))) + " " + std::string(Trim(Cell(2, r))) + " " +
                      std::string(Trim(Cell(3, r))),
                  indices[r - 1])
            << r;
    EXPECT_FALSE(state->edit1.empty());  // the pattern's sample, or its file's name
    ASSERT_TRUE(Run(N4Click));
    ASSERT_TRUE(state->calc.resultValid);
    EXPECT_NEAR(static_cast<double>(state->calc.result.direct.a), 5.431194, 5e-4);
}

// Neither a cancelled search nor a question answered Cancel touches the table; closing the
// window cancels a running search.
TEST_F(IndexingWindowTest, CancelLeavesTheTableAsItWas) {
    TypeDColumn(Lines({4.756L, 10.207L, 5.980L, 90, 90, 90}, "P b n m", 25, 6));
    state->edit1 = "forsterite";
    ASSERT_TRUE(Run(Orthorhombic1Click));
    const std::vector<std::string> before = TableTexts(state->calc.table);
    ASSERT_TRUE(Do([](IndexingWindowState& s, Ui&) { IndexingFormShow(s); }));
    const auto unchanged = [&](const char* when) {
        EXPECT_EQ(TableTexts(state->calc.table), before) << when;
        EXPECT_EQ(state->calc.crystalSystem, kOrthorhombic) << when;
        EXPECT_EQ(state->edit1, "forsterite") << when;
        EXPECT_FALSE(window->mainChanged) << when;
    };

    // A triclinic search of 25 lines runs for long: Cancel stops it.
    window->families.fill(false);
    window->families[static_cast<std::size_t>(indexing::Family::Triclinic)] = true;
    ASSERT_TRUE(Do(RunIndexingClick));
    ASSERT_TRUE(window->Running());
    ASSERT_TRUE(Do(CancelIndexingClick));
    ASSERT_TRUE(Do(WaitForIndexing));
    ASSERT_TRUE(window->result);
    EXPECT_EQ(window->result->searched.stopped, "cancelled");
    EXPECT_NE(window->summaryLine.find("cancelled"), std::string::npos) << window->summaryLine;
    unchanged("after Cancel");

    // Close while a search runs cancels it.
    ASSERT_TRUE(Do(RunIndexingClick));
    ASSERT_TRUE(Do(CloseIndexingClick));
    EXPECT_TRUE(window->closeRequested);
    ASSERT_TRUE(Do(WaitForIndexing));
    EXPECT_EQ(window->result->searched.stopped, "cancelled");
    unchanged("after Close");

    // The orthorhombic cell found, and the question before replacing the table answered
    // Cancel.
    window->families.fill(false);
    window->families[static_cast<std::size_t>(indexing::Family::Orthorhombic)] = true;
    Search();
    ASSERT_TRUE(window->Chosen()) << window->summaryLine;
    ui.answers = {false};
    ASSERT_TRUE(Do(UseThisCellClick));
    EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 1u);
    unchanged("after the question");
}

}  // namespace
}  // namespace dorvalix
