// SPDX-License-Identifier: GPL-3.0-or-later
#include "assign_dialog_commands.h"

#include <algorithm>
#include <cmath>

#include "cif_cell.h"
#include "crystal_system.h"
#include "hkl_table.h"
#include "input_file.h"
#include "main_commands.h"
#include "numtext.h"
#include "refinement_details.h"

namespace dorvalix {

namespace {

using indexing::AssignedLine;

struct CaptionEntry {
    const char* name;
    Text text;
};

constexpr CaptionEntry kCaptions[kAssignControlCount] = {
    {"TForm13", {"Assign Indices from Cell", "格子定数から指数を付ける"}},
    {"CellBox", {"Cell (Å, degrees)", "格子定数 (Å、度)"}},
    {"FromResult", {"Refined Cell", "精密化した格子定数"}},
    {"FromHkl", {"hkl Table's Cell", "h,k,l 表の格子定数"}},
    {"FromCif", {"Read CIF...", "CIF を読む..."}},
    {"SystemLabel", {"Crystal system", "結晶系"}},
    {"RuleLabel", {"Reflections allowed", "消滅しない反射"}},
    {"ByCentring", {"by lattice centring", "格子の型で"}},
    {"BySpaceGroup", {"by space group", "空間群で"}},
    {"SpaceGroupHint", {"number or symbol, e.g. 14 or P 21/c", "番号か記号 (例: 14、P 21/c)"}},
    {"ToleranceLabel", {"2θ tolerance (°)", "2θ の許容幅 (°)"}},
    {"ToleranceHint",
     {"empty: four times the scatter of the fit", "空欄: フィットのばらつきの 4 倍"}},
    {"LinesLabel", {"Lines", "観測線"}},
    {"FromTable", {"d of the table (indices ignored)", "表の d 値 (指数は使わない)"}},
    {"FromPattern", {"peaks of the pattern window", "パターンの窓のピーク"}},
    {"AssignButton", {"Assign", "指数を付ける"}},
    {"ApplyButton", {"Apply to Table...", "表に入れる..."}},
    {"CloseButton", {"Close", "閉じる"}},
    {"ResultLabel", {"Lines and their indices", "観測線とその指数"}},
};

constexpr Text kColumnCaptions[kAssignColumns] = {
    {"Line", "線"}, {"d (Å)", "d (Å)"},     {"2θ (°)", "2θ (°)"},
    {"hkl", "hkl"}, {"Δ2θ (°)", "Δ2θ (°)"}, {"Status", "状態"},
};

constexpr Text kIndexed = {"indexed", "指数付け済み"};
constexpr Text kAmbiguous = {"ambiguous", "あいまい"};
constexpr Text kUnindexed = {"unindexed", "指数なし"};
constexpr Text kSummary = {
    "{indexed} indexed, {ambiguous} ambiguous, {unindexed} unindexed (tolerance {tolerance}°, "
    "{rounds} rounds); refined: {cell}",
    "指数付け {indexed} 本、あいまい {ambiguous} 本、指数なし {unindexed} 本 (許容幅 "
    "{tolerance}°、{rounds} 回); 精密化した格子定数: {cell}"};
constexpr Text kCifTitle = {"Read CIF", "CIF の読み込み"};
constexpr Text kBlockTitle = {"Data Block", "データブロック"};
constexpr Text kBlockPrompt = {"The file holds several cells: choose one",
                               "ファイルに複数の格子定数があります。選んでください"};

// A constant as the fields show it: at most six decimals, no trailing zeros.
std::string Short(long double v) {
    std::string text = FormatAtDecimalPlace(v, 6);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

std::string HklText(const indexing::Hkl& h) {
    return IntText(h[0]) + " " + IntText(h[1]) + " " + IntText(h[2]);
}

void ApplyCaptions(AssignDialogState& state) {
    const Lang lang = state.UiLang();
    for (int i = 0; i < kAssignControlCount; ++i)
        state.captions[static_cast<std::size_t>(i)] = kCaptions[i].text.In(lang);
    for (int i = 0; i < kAssignColumns; ++i)
        state.columnCaptions[static_cast<std::size_t>(i)] = kColumnCaptions[i].In(lang);
    for (int code = 1; code <= 8; ++code)
        state.systemCaptions[static_cast<std::size_t>(code - 1)] = CrystalSystemName(code, lang);
    for (std::size_t i = 0; i < state.latticeCaptions.size(); ++i)
        state.latticeCaptions[i] = CentringCaption(static_cast<Centring>(i), lang);
}

bool PatternHasPeaks(const AssignDialogState& state) {
    return state.pattern != nullptr && !PatternPeaks(*state.pattern).empty() &&
           PatternLines(*state.pattern).Known();
}

void SetCell(AssignDialogState& state, const long double (&values)[6]) {
    for (std::size_t i = 0; i < 6; ++i)
        state.cellTexts[i] = Short(values[i]);
    ++state.version;
}

// The crystal system of a space group's number, and for a rhombohedral group the
// description its cell has: rhombohedral axes (a = b = c, α = β = γ ≠ 90°) or hexagonal.
int SystemOfGroup(int number, const indexing::Cell& cell) {
    if (number <= 2) return kTriclinic;
    if (number <= 15) return kMonoclinicBeta;
    if (number <= 74) return kOrthorhombic;
    if (number <= 142) return kTetragonal;
    if (number <= 167) {
        const bool rhombohedral = std::fabs(cell.alpha - 90) > 1e-6L &&
                                  std::fabs(cell.alpha - cell.beta) < 1e-6L &&
                                  std::fabs(cell.alpha - cell.gamma) < 1e-6L;
        return rhombohedral ? kTrigonal : kHexagonal;
    }
    if (number <= 194) return kHexagonal;
    return kCubic;
}

// The lines the options name, with the table row each comes from (table lines only).
struct Lines {
    indexing::PeakList peaks;
    std::vector<int> tableRows;
};

Lines LinesOf(const AssignDialogState& state) {
    Lines out;
    if (state.fromPattern) {
        out.peaks.kind = indexing::PeakKind::TwoTheta;
        out.peaks.wavelength = PatternLines(*state.pattern).ka1;
        for (const FittedPeak& p : PatternPeaks(*state.pattern)) {
            indexing::Peak peak;
            peak.position = p.twoTheta;
            peak.text = FormatAtDecimalPlace(p.twoTheta, 5);
            peak.intensity = p.height;
            out.peaks.peaks.push_back(peak);
        }
        return out;
    }
    out.peaks.kind = indexing::PeakKind::D;
    const ObservationTable& table = state.main.calc.table;
    for (int r = 1; r <= kMaxObservations; ++r) {
        long double d;
        if (!TryParseReal(table.Cell(0, r), d) || !(d > 0)) continue;
        indexing::Peak peak;
        peak.position = d;
        peak.text = std::string(Trim(table.Cell(0, r)));
        out.peaks.peaks.push_back(peak);
        out.tableRows.push_back(r);
    }
    return out;
}

void Present(AssignDialogState& state) {
    const Lang lang = state.UiLang();
    const indexing::AssignmentResult& r = *state.result;
    state.rows.clear();
    for (const AssignedLine& line : r.lines) {
        AssignRow row;
        row.status = line.status;
        row.texts[0] = IntText(line.line);
        row.texts[1] = line.dText.empty() ? FormatAtDecimalPlace(line.d, 5) : line.dText;
        row.texts[2] = r.twoThetaInput ? FormatAtDecimalPlace(line.twoTheta, 4) : "-";
        switch (line.status) {
            case AssignedLine::Status::Indexed:
                row.texts[3] = HklText(line.hkl);
                row.texts[4] = r.twoThetaInput ? FormatAtDecimalPlace(line.delta, 4) : "-";
                row.texts[5] = kIndexed.In(lang);
                break;
            case AssignedLine::Status::Ambiguous: {
                std::string candidates;
                for (const indexing::Hkl& h : line.candidates)
                    candidates += (candidates.empty() ? "" : " / ") + HklText(h);
                row.texts[3] = candidates;
                row.texts[4] = "-";
                row.texts[5] = kAmbiguous.In(lang);
                break;
            }
            case AssignedLine::Status::Unindexed:
                row.texts[3] = "-";
                row.texts[4] = "-";
                row.texts[5] = kUnindexed.In(lang);
                break;
        }
        state.rows.push_back(std::move(row));
    }
    constexpr const char* kNames[7] = {"a", "b", "c", "α", "β", "γ", "V"};
    const long double values[7] = {r.cell.a,    r.cell.b,     r.cell.c, r.cell.alpha,
                                   r.cell.beta, r.cell.gamma, r.volume};
    std::string cell;
    for (std::size_t i = 0; i < 7; ++i) {
        const Su su = r.cellSu[i] > 0 ? Su(r.cellSu[i]) : std::nullopt;
        // An angle the system fixes has no s.u.: its exact value.
        const bool fixed = i >= 3 && i < 6 && !su;
        cell += (i > 0 ? ", " : "") + std::string(kNames[i]) + " = " + SuText(values[i], su, fixed);
    }
    state.summary =
        With(With(With(With(With(With(kSummary.In(lang), "{indexed}", IntText(r.indexed)),
                                 "{ambiguous}", IntText(r.ambiguous)),
                            "{unindexed}", IntText(r.unindexed)),
                       "{tolerance}", FormatAtDecimalPlace(r.tolerance, 4)),
                  "{rounds}", IntText(r.rounds)),
             "{cell}", cell);
    ++state.version;
}

void Forget(AssignDialogState& state) {
    state.result.reset();
    state.rows.clear();
    state.summary.clear();
    ++state.version;
}

void Refuse(const AssignDialogState& state, Ui& ui, const Text& text) {
    ui.ShowMessage(text.In(state.UiLang()));
}

}  // namespace

namespace assign_text {
const Text kApplyQuestion = {
    "The table will hold {n} lines with their indices: {indexed} indexed, {ambiguous} "
    "ambiguous (the first candidate, excluded) and {unindexed} unindexed (0 0 0, "
    "excluded); the crystal system becomes {system}. Replace the table's indices?",
    "表に観測線 {n} 本とその指数を入れます: 指数付け {indexed} 本、あいまい {ambiguous} 本 "
    "(最初の候補、除外)、指数なし {unindexed} 本 (0 0 0、除外)。結晶系は {system} に"
    "なります。表の指数を置き換えてよろしいですか"};
const Text kNoResult = {"Assign the indices first", "先に指数を付けてください"};
const Text kCellNotNumbers = {"Type the six cell constants as numbers",
                              "6 つの格子定数を数値で入力してください"};
const Text kNoSystem = {"Choose the crystal system", "結晶系を選んでください"};
const Text kUnknownSpaceGroup = {"No space group has that number or symbol",
                                 "その番号か記号の空間群はありません"};
const Text kTolerance = {
    "Type the 2θ tolerance in degrees, greater than 0 and below 5, or leave "
    "it empty",
    "2θ の許容幅は 0 より大きく 5 より小さい度数で入力するか、空欄に"
    "してください"};
const Text kNoLines = {"The table holds no d values", "表に d 値がありません"};
const Text kNoPeaks = {"The pattern window holds no peaks", "パターンの窓にピークがありません"};
const Text kNoRefinedCell = {"Execute the calculation for the table as it stands",
                             "現在の表で計算を実行してください"};
const Text kNoHklCell = {"The hkl table has no cell yet", "h,k,l 表にはまだ格子定数がありません"};
const Text kCifWithoutCell = {"No data block of the file states a whole cell",
                              "ファイルのどのデータブロックにも格子定数がそろっていません"};
const Text kAssignFailed = {"The indices could not be assigned: {reason}",
                            "指数を付けられませんでした: {reason}"};
const Text kTableChanged = {"The table changed since the indices were assigned: assign them again",
                            "指数を付けた後で表が変わりました。もう一度指数を付けてください"};
}  // namespace assign_text

const char* AssignControlName(AssignControl control) {
    return kCaptions[static_cast<int>(control)].name;
}

const char* AssignCaption(AssignControl control, Lang lang) {
    return kCaptions[static_cast<int>(control)].text.In(lang);
}

char AssignMnemonic(AssignControl control) {
    switch (control) {
        case AssignControl::FromResult:
            return 'R';
        case AssignControl::FromHkl:
            return 'h';
        case AssignControl::FromCif:
            return 'I';
        case AssignControl::SystemLabel:
            return 'y';
        case AssignControl::ByCentring:
            return 'l';
        case AssignControl::BySpaceGroup:
            return 'g';
        case AssignControl::ToleranceLabel:
            return 'e';
        case AssignControl::FromTable:
            return 'd';
        case AssignControl::FromPattern:
            return 'p';
        case AssignControl::AssignButton:
            return 'A';
        case AssignControl::ApplyButton:
            return 'T';
        case AssignControl::CloseButton:
            return 'o';
        default:
            return 0;
    }
}

bool TableHoldsText(const ObservationTable& table) {
    for (int r = 1; r <= kMaxObservations; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!Trim(table.Cell(c, r)).empty()) return true;
        }
    }
    return false;
}

void AssignIndices1Click(MainState&, Ui& ui) {
    ui.ShowWindow(SecondaryWindow::TForm13);
}

void AssignDialogShow(AssignDialogState& state) {
    state.closeRequested = false;
    state.raiseRequested = true;
    ApplyCaptions(state);
    state.patternAvailable = PatternHasPeaks(state);
    state.fromPattern = state.fromPattern && state.patternAvailable;
    if (state.system == 0) state.system = state.main.calc.crystalSystem;
    if (!state.opened) state.centring = static_cast<int>(state.main.settings.lattice);
    state.opened = true;
    const bool typed = std::any_of(state.cellTexts.begin(), state.cellTexts.end(),
                                   [](const std::string& t) { return !Trim(t).empty(); });
    if (!typed) {
        const CalculationState& calc = state.main.calc;
        if (ResultDescribesTable(calc)) {
            const CellParameters& c = calc.result.direct;
            SetCell(state, {c.a, c.b, c.c, c.alpha, c.beta, c.gamma});
        } else if (state.hkl != nullptr && state.hkl->hkl.cell.a > 0) {
            const HklCell& c = state.hkl->hkl.cell;
            SetCell(state, {c.a, c.b, c.c, c.alpha_degrees, c.beta_degrees, c.gamma_degrees});
        }
    }
    ++state.version;
}

void FollowMainForAssign(AssignDialogState& state) {
    ApplyCaptions(state);
    state.patternAvailable = PatternHasPeaks(state);
    if (!state.patternAvailable) state.fromPattern = false;
    if (state.result) Present(state);
    ++state.version;
}

void AssignFromResultClick(AssignDialogState& state, Ui& ui) {
    const CalculationState& calc = state.main.calc;
    if (!ResultDescribesTable(calc)) return Refuse(state, ui, assign_text::kNoRefinedCell);
    const CellParameters& c = calc.result.direct;
    SetCell(state, {c.a, c.b, c.c, c.alpha, c.beta, c.gamma});
    state.system = calc.crystalSystem;
}

void AssignFromHklClick(AssignDialogState& state, Ui& ui) {
    if (state.hkl == nullptr || !(state.hkl->hkl.cell.a > 0))
        return Refuse(state, ui, assign_text::kNoHklCell);
    const HklCell& c = state.hkl->hkl.cell;
    SetCell(state, {c.a, c.b, c.c, c.alpha_degrees, c.beta_degrees, c.gamma_degrees});
}

void AssignFromCifClick(AssignDialogState& state, Ui& ui) {
    const Lang lang = state.UiLang();
    const std::string path = ui.OpenFileName({kCifTitle.In(lang), "CIF", "*.cif", "cif", ""});
    if (path.empty()) return;
    const std::string bytes = ReadInputFile(path, lang);
    const indexing::CifCells cells = indexing::ReadCifCells(bytes, path);
    if (cells.refusal) {
        ui.ShowMessage(indexing::CifRefusalText(cells, lang));
        return;
    }
    std::vector<const indexing::CifCell*> usable;
    std::vector<std::string> names;
    for (const indexing::CifCell& block : cells.blocks) {
        if (!block.cell) continue;
        usable.push_back(&block);
        const indexing::Cell& c = *block.cell;
        names.push_back(block.block + "  (" + Short(c.a) + " " + Short(c.b) + " " + Short(c.c) +
                        " " + Short(c.alpha) + " " + Short(c.beta) + " " + Short(c.gamma) +
                        (block.spaceGroup.empty() ? "" : ", " + block.spaceGroup) + ")");
    }
    if (usable.empty()) return Refuse(state, ui, assign_text::kCifWithoutCell);
    std::size_t chosen = 0;
    if (usable.size() > 1) {
        const std::optional<std::size_t> choice =
            ui.ChooseItem(kBlockTitle.In(lang), kBlockPrompt.In(lang), names);
        if (!choice || *choice >= usable.size()) return;
        chosen = *choice;
    }
    const indexing::CifCell& block = *usable[chosen];
    const indexing::Cell& c = *block.cell;
    SetCell(state, {c.a, c.b, c.c, c.alpha, c.beta, c.gamma});
    if (!block.spaceGroup.empty() || block.spaceGroupNumber > 0) {
        state.bySpaceGroup = true;
        state.spaceGroupText =
            block.spaceGroup.empty() ? IntText(block.spaceGroupNumber) : block.spaceGroup;
        int number = block.spaceGroupNumber;
        if (number == 0) {
            if (const auto group = indexing::SpaceGroup::Find(block.spaceGroup)) {
                number = group->Number();
            }
        }
        if (number > 0) state.system = SystemOfGroup(number, c);
    }
}

void AssignClick(AssignDialogState& state, Ui& ui) {
    long double v[6];
    for (std::size_t i = 0; i < 6; ++i) {
        if (!TryParseReal(state.cellTexts[i], v[i]))
            return Refuse(state, ui, assign_text::kCellNotNumbers);
    }
    const HklCell hklCell = CellFromDegrees(v[0], v[1], v[2], v[3], v[4], v[5]);
    if (const HklRefusal refusal = CheckCell(hklCell)) return Refuse(state, ui, *refusal);
    if (!IsCrystalSystem(state.system)) return Refuse(state, ui, assign_text::kNoSystem);
    indexing::ReflectionRule rule;
    rule.centring = static_cast<Centring>(std::clamp(state.centring, 0, 6));
    if (state.bySpaceGroup) {
        rule.group =
            indexing::SpaceGroup::Find(Trim(state.spaceGroupText), state.system == kTrigonal);
        if (!rule.group) return Refuse(state, ui, assign_text::kUnknownSpaceGroup);
    }
    indexing::AssignmentOptions options;
    if (!Trim(state.toleranceText).empty()) {
        long double t;
        if (!TryParseReal(state.toleranceText, t) || !(t > 0 && t < 5))
            return Refuse(state, ui, assign_text::kTolerance);
        options.tolerance = t;
    }
    if (state.fromPattern && !PatternHasPeaks(state))
        return Refuse(state, ui, assign_text::kNoPeaks);
    const Lines lines = LinesOf(state);
    if (lines.peaks.peaks.empty()) return Refuse(state, ui, assign_text::kNoLines);

    const indexing::Cell cell{v[0], v[1], v[2], v[3], v[4], v[5]};
    indexing::AssignmentResult result;
    {
        const BusyScope busy(ui);
        result = indexing::AssignIndices(lines.peaks, cell, state.system, rule, options);
    }
    if (result.refusal) {
        Forget(state);
        ui.ShowMessage(
            With(assign_text::kAssignFailed.In(state.UiLang()), "{reason}", *result.refusal));
        return;
    }
    state.result = std::move(result);
    state.resultFromPattern = state.fromPattern;
    Present(state);
}

void AssignApplyClick(AssignDialogState& state, Ui& ui) {
    if (!state.result) return Refuse(state, ui, assign_text::kNoResult);
    const indexing::AssignmentResult& r = *state.result;
    const Lines lines = state.resultFromPattern ? Lines{} : LinesOf(state);
    // The table's lines must still be those the assignment saw.
    if (!state.resultFromPattern) {
        bool same = lines.peaks.peaks.size() == r.lines.size() + r.merged.size();
        for (const AssignedLine& line : r.lines) {
            const std::size_t at = static_cast<std::size_t>(line.line - 1);
            same =
                same && at < lines.peaks.peaks.size() && lines.peaks.peaks[at].text == line.dText;
        }
        if (!same) return Refuse(state, ui, assign_text::kTableChanged);
    }
    const Lang lang = state.UiLang();
    const std::string question =
        With(With(With(With(With(assign_text::kApplyQuestion.In(lang), "{n}",
                                 IntText(static_cast<long long>(r.lines.size() + r.merged.size()))),
                            "{indexed}", IntText(r.indexed)),
                       "{ambiguous}", IntText(r.ambiguous)),
                  "{unindexed}", IntText(r.unindexed + static_cast<int>(r.merged.size()))),
             "{system}", CrystalSystemName(r.code, lang));
    if (!ui.AskOkCancel(question)) return;

    MainState& main = state.main;
    ObservationTable& table = main.calc.table;
    auto write = [&](int row, const std::string& d, const AssignedLine* line) {
        table.Cell(0, row) = d;
        indexing::Hkl hkl{0, 0, 0};
        bool excluded = true;
        if (line != nullptr && line->status == AssignedLine::Status::Indexed) {
            hkl = line->hkl;
            excluded = false;
        } else if (line != nullptr && line->status == AssignedLine::Status::Ambiguous &&
                   !line->candidates.empty()) {
            hkl = line->candidates.front();
        }
        for (int c = 0; c < 3; ++c)
            table.Cell(c + 1, row) = IntText(hkl[static_cast<std::size_t>(c)]);
        table.Cell(4, row) = excluded ? std::string(kExclusionMarker) : std::string();
    };
    if (state.resultFromPattern) {
        // The table becomes the peaks, as Send Peaks to Table makes it, with their indices;
        // the sample name stays.
        const std::string sample = main.edit1;
        ClearTable(main);
        main.edit1 = sample;
        int row = 0;
        for (const AssignedLine& line : r.lines) {
            if (++row > kMaxObservations) break;
            write(row, FormatFixed(line.d, 6, 15), &line);
        }
    } else {
        std::vector<const AssignedLine*> byInput(lines.peaks.peaks.size(), nullptr);
        for (const AssignedLine& line : r.lines)
            byInput[static_cast<std::size_t>(line.line - 1)] = &line;
        for (std::size_t i = 0; i < lines.tableRows.size(); ++i)
            write(lines.tableRows[i], table.Cell(0, lines.tableRows[i]), byInput[i]);
    }
    NormalizeCells(table);
    SortRows(table);
    table.filled = CountFilledRows(table);
    table.excluded = 0;
    for (int row = 1; row <= static_cast<int>(table.filled); ++row)
        table.excluded += table.IsExcluded(row) ? 1 : 0;
    table.included = table.filled - table.excluded;
    main.calc.crystalSystem = r.code;
    ShowCrystalSystem(main);
    main.gridTopRowRequested = 1;
    MakeCurrentCell(main, {0, 1}, true);
    main.currentRow = 1;
    state.mainChanged = true;
    Forget(state);
}

void AssignCloseClick(AssignDialogState& state, Ui&) {
    state.closeRequested = true;
}

}  // namespace dorvalix
