// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_window_commands.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "crystal_system.h"
#include "hkl_text.h"
#include "numtext.h"
#include "space_groups.h"

namespace dorvalix {

namespace {

struct CaptionEntry {
    const char* name;
    Text text;
};

// Items whose two texts are the same show the Japanese one in both languages.
constexpr CaptionEntry kCaptions[kHklControlCount] = {
    {"TForm7", {"hkl Table", "指数表の計算"}},
    {"N1", {"Make hkl Table", "表の計算"}},
    {"N2", {"Calculate", "表の計算"}},
    {"N4", {"Sort", "ソート"}},
    {"N15", {"Send to ClipBoard", "クリップボードに出力"}},
    {"N8", {"Redistribute Indices", "指数再配布"}},
    {"N19", {"Close", "戻る"}},
    {"N5", {"Select X-Ray", "X線選択"}},
    {"N6", {"A", "Å"}},
    {"N9", {"Cell Constant", "格子定数"}},
    {"N10", {"Correct Cell Constant", "格子定数修正"}},
    {"N11", {"Range", "範囲指定"}},
    {"N12", {"Set hkl Range", "指数範囲"}},
    {"N16", {"すべての指数を計算", "すべての指数を計算"}},
    {"N17", {"非対称単位内の指数を計算", "非対称単位内の指数を計算"}},
    {"N13", {"Set Minimum d-Value", "最小ｄ値"}},
    {"Label1", {"Cell Constant ", "格子定数"}},
    {"Label2", {"hkl Range ", "指数範囲"}},
    {"Label3", {"minimum d ", "最小ｄ値"}},
    {"Label4", {"System ", "結晶系"}},
    {"Label6", {"X-Ray", "X線の種類と波長"}},
    {"Lattice1", {"Lattice Centring", "格子の型"}},
    {"SpaceGroup1", {"Space Group...", "空間群..."}},
};

// The letter first, as crystallographers write the Bravais lattice; R with its setting,
// since the reflection condition −h + k + l = 3n holds on hexagonal axes, obverse.
constexpr Text kCentringCaptions[7] = {
    {"P  primitive", "P  単純格子"},
    {"A  A-face centred", "A  A 底心格子"},
    {"B  B-face centred", "B  B 底心格子"},
    {"C  C-face centred", "C  C 底心格子"},
    {"I  body centred", "I  体心格子"},
    {"F  all-face centred", "F  面心格子"},
    {"R  rhombohedral (hexagonal axes, obverse)", "R  菱面体格子（六方晶軸、正位置）"},
};

// The same, short enough for the window's label of the centring in force.
constexpr Text kCentringShort[7] = {
    {"P  primitive", "P  単純格子"},        {"A  A-face centred", "A  A 底心格子"},
    {"B  B-face centred", "B  B 底心格子"}, {"C  C-face centred", "C  C 底心格子"},
    {"I  body centred", "I  体心格子"},     {"F  face-centred", "F  面心格子"},
    {"R  rhombohedral", "R  菱面体格子"},
};

// Column 0 of the cell grid, rows a .. γ; blanks line the letters up in the fixed-pitch
// font, where a Greek letter is two half-widths wide.
constexpr Text kCellLabels[kCellGridRows] = {
    {"  a  ", "    a  "}, {"  b  ", "    b  "}, {"  c  ", "    c  "},
    {" alfa ", "   α  "}, {" beta", "   β  "},  {" ganma  ", "   γ  "},
};

// Row 0 of the range grid, columns 0..3 (column 3 stays empty), and column 0, rows 1..3.
constexpr Text kRangeHeader[kRangeGridColumns] = {
    {"    ", "  "}, {"   min.", "  最小"}, {"   max.  ", "  最大  "}, {"", ""}};
constexpr const char* kRangeLabels[kRangeGridRows - 1] = {"   h ", "   k ", "   l "};

// The main window names the cubic system "等軸晶系(立方晶系)"; this window has room for
// the short name only.
constexpr const char* kLongCubicName = "等軸晶系(立方晶系)";
constexpr const char* kShortCubicName = "等軸晶系";

void ShowMessage(const HklWindowState& state, Ui& ui, const Text& text) {
    ui.ShowMessage(text.In(state.UiLang()));
}

void CheckLattice(HklWindowState& state) {
    for (std::size_t i = 0; i < state.latticeChecked.size(); ++i)
        state.latticeChecked[i] =
            state.spaceGroup.empty() && static_cast<Centring>(i) == state.main.settings.lattice;
    const bool table = !state.hkl.table.empty();
    const std::string& group = table ? state.tableGroup : state.spaceGroup;
    const Centring shown = table ? state.tableLattice : state.main.settings.lattice;
    state.latticeShown =
        group.empty() ? std::string(kCentringShort[static_cast<int>(shown)].In(state.UiLang()))
                      : group;
}

// Whether a space group belongs to a crystal system as the program describes it: the
// trigonal system on rhombohedral axes takes only the R groups in that setting, hexagonal
// axes every trigonal and hexagonal group, and each monoclinic system its unique axis.
bool GroupFitsSystem(const indexing::SpaceGroup& group, int system) {
    const int n = group.Number();
    std::vector<std::string> parts;
    std::istringstream words(group.Name());
    for (std::string w; words >> w;)
        parts.push_back(w);
    switch (system) {
        case kCubic:
            return n >= 195;
        case kHexagonal:
            return n >= 143 && n <= 194 && group.Name().find(":R") == std::string::npos;
        case kTrigonal:
            return n >= 143 && n <= 167 && group.Name().find(":R") != std::string::npos;
        case kTetragonal:
            return n >= 75 && n <= 142;
        case kOrthorhombic:
            return n >= 16 && n <= 74;
        case kMonoclinicBeta:
            return n >= 3 && n <= 15 && parts.size() == 4 && parts[1] == "1" && parts[3] == "1";
        case kMonoclinicGamma:
            return n >= 3 && n <= 15 && parts.size() == 4 && parts[1] == "1" && parts[2] == "1";
        case kTriclinic:
            return n <= 2;
        default:
            return false;
    }
}

// The preset the settings name while λ is still its wavelength (kept in double precision
// by the settings file); else the typed wavelength.
void CheckPreset(HklWindowState& state) {
    const AppSettings& s = state.main.settings;
    state.presetChecked = -1;
    for (std::size_t i = 0; i < kWavelengthPresets.size(); ++i) {
        if (Trim(s.xRay) == kWavelengthPresets[i].name &&
            static_cast<double>(s.lamda) == static_cast<double>(kWavelengthPresets[i].wavelength))
            state.presetChecked = static_cast<int>(i);
    }
}

void ApplyCaptions(HklWindowState& state) {
    const Lang lang = state.UiLang();
    for (int i = 0; i < kHklControlCount; ++i)
        state.captions[static_cast<std::size_t>(i)] = kCaptions[i].text.In(lang);
    for (int row = 0; row < kCellGridRows; ++row)
        state.cellGrid[static_cast<std::size_t>(row)][0] = kCellLabels[row].In(lang);
    for (int col = 0; col < kRangeGridColumns; ++col)
        state.rangeGrid[0][static_cast<std::size_t>(col)] = kRangeHeader[col].In(lang);
    for (int row = 1; row < kRangeGridRows; ++row)
        state.rangeGrid[static_cast<std::size_t>(row)][0] = kRangeLabels[row - 1];
    state.label5 = state.main.systemLabel == kLongCubicName ? std::string(kShortCubicName)
                                                            : state.main.systemLabel;
    for (std::size_t i = 0; i < state.latticeCaptions.size(); ++i)
        state.latticeCaptions[i] = CentringCaption(static_cast<Centring>(i), lang);
    CheckLattice(state);
}

void ShowRange(HklWindowState& state) {
    const IndexRange& r = state.hkl.range;
    const int mins[3] = {r.hmin, r.kmin, r.lmin};
    const int maxs[3] = {r.hmax, r.kmax, r.lmax};
    for (std::size_t i = 0; i < 3; ++i) {
        state.rangeGrid[i + 1][1] = RangeGridText(mins[i]);
        state.rangeGrid[i + 1][2] = RangeGridText(maxs[i]);
    }
}

void GenerateTable(HklWindowState& state, Ui& ui) {
    ++state.tableVersion;
    const HklParameters parameters{state.main.crystalSystem, state.main.settings.hklRange,
                                   state.main.settings.lamda, state.main.settings.dMin,
                                   state.main.settings.lattice};
    HklRefusal refusal;
    {
        const BusyScope busy(ui);
        refusal = GenerateHklTable(state.CellTexts(), parameters, state.hkl);
    }
    state.tableLattice = state.main.settings.lattice;
    state.tableGroup.clear();
    if (!refusal && !state.spaceGroup.empty()) {
        const auto group = indexing::SpaceGroup::Find(state.spaceGroup);
        if (group && GroupFitsSystem(*group, state.main.crystalSystem)) {
            // The asymmetric unit stands for every triple of its line: kept when any of them
            // is allowed.
            const bool lines = state.main.settings.hklRange != "all";
            const int system = state.main.crystalSystem;
            std::erase_if(state.hkl.table, [&](const HklReflection& r) {
                return lines ? !group->AllowedOnItsLine({r.h, r.k, r.l}, system)
                             : !group->Allowed({r.h, r.k, r.l});
            });
            state.hkl.grid_rows = HklGridRowCount(state.hkl.table.size());
            state.tableGroup = state.spaceGroup;
        } else {
            // The crystal system changed since the group was chosen: the centring alone.
            const std::string name = state.spaceGroup;
            state.spaceGroup.clear();
            CheckLattice(state);
            ui.ShowMessage(With(With(kSpaceGroupOfOtherSystem.In(state.UiLang()), "{group}", name),
                                "{system}",
                                CrystalSystemName(state.main.crystalSystem, state.UiLang())));
        }
    }
    CheckLattice(state);
    if (refusal) ShowMessage(state, ui, *refusal);
}

// After a change of wavelength or minimum d the range follows, once a cell is known.
void RecomputeRangeIfCellKnown(HklWindowState& state, Ui& ui) {
    if (state.hkl.cell.a != 0) ComputeIndexRange(state, ui);
}

void ChooseRange(HklWindowState& state, const char* choice) {
    state.main.settings.hklRange = choice;
    state.n16Checked = state.main.settings.hklRange == "all";
    state.n17Checked = !state.n16Checked;
}

// Ends a progress display however the command ends.
class ProgressScope {
  public:
    ProgressScope(Ui& ui, int maximum) : ui_(ui) { ui_.BeginProgress(maximum); }
    ~ProgressScope() { ui_.EndProgress(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

  private:
    Ui& ui_;
};

}  // namespace

const Text kWavelengthInputTitle = {"X-Ray Wave Length", "Ｘ線波長"};
const Text kWavelengthInputPrompt = {"Input Wave Length ", "Ｘ線の波長を入力してください"};
const Text kSpaceGroupInputTitle = {"Space Group", "空間群"};
const Text kSpaceGroupInputPrompt = {"Number or Hermann-Mauguin symbol, e.g. 14 or P 21/c",
                                     "番号かヘルマン・モーガンの記号 (例: 14、P 21/c)"};
const Text kUnknownSpaceGroup = {"No space group has that number or symbol",
                                 "その番号か記号の空間群はありません"};
const Text kSpaceGroupOfOtherSystem = {
    "The space group {group} does not belong to the crystal system {system}",
    "空間群 {group} は結晶系 {system} に属しません"};
const Text kMinimumDInputTitle = {"Minimum d-Value", "計算範囲の指定"};
const Text kMinimumDInputPrompt = {"Input minimum d-Value", "最小のｄ値を入力してください"};

const std::array<const char*, kHklColumns> kHklTableHeader = {"    d ", "  h ", "  k ", "  l ",
                                                              "    2θ"};

const char* HklCaption(HklControl control, Lang lang) {
    return kCaptions[static_cast<int>(control)].text.In(lang);
}

const char* HklControlName(HklControl control) {
    return kCaptions[static_cast<int>(control)].name;
}

const char* CentringCaption(Centring centring, Lang lang) {
    return kCentringCaptions[static_cast<int>(centring)].In(lang);
}

std::array<std::string, kCellGridRows> HklWindowState::CellTexts() const {
    std::array<std::string, kCellGridRows> texts;
    for (std::size_t row = 0; row < texts.size(); ++row)
        texts[row] = cellGrid[row][1];
    return texts;
}

void FormShow(HklWindowState& state, Ui& ui) {
    AppSettings& settings = state.main.settings;
    // Any stored choice other than "all" shows the asymmetric unit checked.
    state.n16Checked = settings.hklRange == "all";
    state.n17Checked = !state.n16Checked;
    CheckPreset(state);
    state.currentCellsRequested = true;
    state.closeRequested = false;
    state.label7 = settings.xRay;
    state.label8 = FormatGeneral(settings.lamda);
    state.label10 = FormatGeneral(settings.dMin);
    ApplyCaptions(state);

    // The grids are emptied; the current cell and the range are kept.
    ++state.tableVersion;
    state.hkl.table.clear();
    CheckLattice(state);
    for (auto& row : state.cellGrid)
        row[1].clear();
    for (std::size_t row = 1; row < kRangeGridRows; ++row) {
        state.rangeGrid[row][1].clear();
        state.rangeGrid[row][2].clear();
    }

    // After another file was read, the last result belongs to another sample: its cell
    // under the new sample's crystal system would mislead.
    if (!ResultDescribesTable(state.main.calculation) || !(state.main.refinedCell.a > 0)) return;
    const CellParameters& refined = state.main.refinedCell;
    const long double values[kCellGridRows] = {refined.a,     refined.b,    refined.c,
                                               refined.alpha, refined.beta, refined.gamma};
    for (std::size_t row = 0; row < kCellGridRows; ++row)
        state.cellGrid[row][1] = RefinedCellGridText(values[row]);
    ReadCellGrid(state, ui);
    // A refused range ends the opening: a table from another cell's range would mislead.
    if (!ComputeIndexRange(state, ui)) return;
    GenerateTable(state, ui);
}

void ReadCellGrid(HklWindowState& state, Ui& ui) {
    if (state.cellGrid[0][1].empty()) {
        ui.ShowWindow(SecondaryWindow::TForm8);
        return;
    }
    ReadCellTexts(state.CellTexts(), state.hkl.cell);
}

bool ComputeIndexRange(HklWindowState& state, Ui& ui) {
    if (state.hkl.cell.a == 0) {
        ShowMessage(state, ui, kSetCellConstantText);
        return false;
    }
    ReadCellGrid(state, ui);
    const HklRefusal refusal =
        ComputeIndexRange(state.hkl.cell, state.main.settings.dMin, state.hkl.range);
    if (refusal) {
        // The old range does not reach the new minimum d: Calculate would miss reflections.
        state.hkl.range = IndexRange{};
        for (std::size_t row = 1; row < kRangeGridRows; ++row) {
            state.rangeGrid[row][1].clear();
            state.rangeGrid[row][2].clear();
        }
        ShowMessage(state, ui, *refusal);
        return false;
    }
    ShowRange(state);
    return true;
}

void N2Click(HklWindowState& state, Ui& ui) {
    GenerateTable(state, ui);
}

void N4Click(HklWindowState& state, Ui& ui) {
    // An empty d cell in row 1: no table to sort.
    if (state.hkl.table.empty()) return;
    ++state.tableVersion;
    const BusyScope busy(ui);
    ProgressScope progress(ui, static_cast<int>(state.hkl.table.size() - 1));
    SortHklTable(state.hkl.table,
                 [&ui](std::size_t done) { ui.SetProgress(static_cast<int>(done)); });
}

void N15Click(HklWindowState& state, Ui& ui) {
    const BusyScope busy(ui);
    ui.SetClipboardText(CopyHklTable(state.hkl.table, state.hkl.grid_rows));
}

void N8Click(HklWindowState&, Ui&) {}

void N19Click(HklWindowState& state, Ui&) {
    state.closeRequested = true;
}

void PresetClick(HklWindowState& state, Ui& ui, int preset) {
    if (preset < 0 || preset >= static_cast<int>(kWavelengthPresets.size())) return;
    const WavelengthPreset& p = kWavelengthPresets[static_cast<std::size_t>(preset)];
    AppSettings& settings = state.main.settings;
    settings.lamda = p.wavelength;
    state.label8 = FormatGeneral(settings.lamda);
    settings.xRay = p.name;
    state.label7 = settings.xRay;
    CheckPreset(state);
    RecomputeRangeIfCellKnown(state, ui);
}

void N6Click(HklWindowState& state, Ui& ui) {
    const Lang lang = state.UiLang();
    const std::string answer =
        ui.InputText(kWavelengthInputTitle.In(lang), kWavelengthInputPrompt.In(lang), "");
    // Cancel reads as an empty answer, which is no number either.
    const long double wavelength = ParseReal(answer);
    if (const HklRefusal refusal = CheckWavelength(wavelength)) {
        ShowMessage(state, ui, *refusal);
        return;
    }
    AppSettings& settings = state.main.settings;
    settings.lamda = wavelength;
    state.label8 = answer;
    settings.xRay = kTypedWavelengthName;
    state.label7 = settings.xRay;
    CheckPreset(state);
    RecomputeRangeIfCellKnown(state, ui);
}

void N10Click(HklWindowState&, Ui& ui) {
    ui.ShowWindow(SecondaryWindow::TForm8);
}

void N12Click(HklWindowState& state, Ui& ui) {
    ComputeIndexRange(state, ui);
}

void N16Click(HklWindowState& state, Ui&) {
    ChooseRange(state, "all");
}

void N17Click(HklWindowState& state, Ui&) {
    ChooseRange(state, "asym");
}

void N13Click(HklWindowState& state, Ui& ui) {
    const Lang lang = state.UiLang();
    const std::string answer =
        ui.InputText(kMinimumDInputTitle.In(lang), kMinimumDInputPrompt.In(lang), "");
    AppSettings& settings = state.main.settings;
    if (answer.empty()) {
        settings.dMin = 1.5L;
        state.label10 = "  1.5";
    } else {
        const long double d_min = ParseReal(answer);
        if (const HklRefusal refusal = CheckMinimumD(d_min)) {
            ShowMessage(state, ui, *refusal);
            return;
        }
        settings.dMin = d_min;
        state.label10 = answer;
    }
    RecomputeRangeIfCellKnown(state, ui);
}

void LatticeClick(HklWindowState& state, Ui&, Centring centring) {
    state.main.settings.lattice = centring;
    state.spaceGroup.clear();
    CheckLattice(state);
}

void SpaceGroupClick(HklWindowState& state, Ui& ui) {
    const Lang lang = state.UiLang();
    const std::string answer = ui.InputText(kSpaceGroupInputTitle.In(lang),
                                            kSpaceGroupInputPrompt.In(lang), state.spaceGroup);
    if (Trim(answer).empty()) {
        CheckLattice(state);
        return;
    }
    const int system = state.main.crystalSystem;
    const auto group = indexing::SpaceGroup::Find(Trim(answer), system == kTrigonal);
    if (!group) {
        CheckLattice(state);
        return ShowMessage(state, ui, kUnknownSpaceGroup);
    }
    if (!GroupFitsSystem(*group, system)) {
        CheckLattice(state);
        ui.ShowMessage(With(With(kSpaceGroupOfOtherSystem.In(lang), "{group}", group->Name()),
                            "{system}", CrystalSystemName(system, lang)));
        return;
    }
    state.spaceGroup = group->Name();
    state.main.settings.lattice = group->LatticeCentring();
    CheckLattice(state);
}

std::optional<int> RowAfterScroll(int currentRow, int topRow, int visibleRows) {
    if (currentRow < topRow) return topRow + visibleRows - 1;
    if (currentRow - topRow > visibleRows) return topRow;
    return std::nullopt;
}

char HklMnemonic(HklControl control) {
    using C = HklControl;
    // Unique among the menu titles and within each menu; the range items and the X-ray
    // names carry none (their captions are the same in both languages, or names).
    switch (control) {
        case C::N1:
            return 'M';
        case C::N2:
            return 'C';
        case C::N4:
            return 'S';
        case C::N15:
            return 'e';
        case C::N8:
            return 'R';
        case C::N19:
            return 'l';
        case C::N5:
            return 'X';
        case C::N6:
            return 'A';
        case C::N9:
            return 'e';
        case C::N10:
            return 'C';
        case C::N11:
            return 'R';
        case C::N12:
            return 'h';
        case C::N13:
            return 'M';
        case C::Lattice1:
            return 'L';
        case C::SpaceGroup1:
            return 'S';
        default:
            return 0;
    }
}

}  // namespace dorvalix
