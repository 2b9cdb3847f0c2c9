// SPDX-License-Identifier: GPL-3.0-or-later
#include "indexing_window_commands.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "atomic_file.h"
#include "hkl_table.h"
#include "main_commands.h"
#include "main_menu.h"
#include "numtext.h"
#include "observation_file.h"
#include "results_report.h"
#include "space_groups.h"
#include "table_sort.h"

namespace dorvalix {

namespace {

using indexing::Family;
using indexing::IndexingSolution;

struct CaptionEntry {
    const char* name;
    Text text;
};

constexpr CaptionEntry kCaptions[kIndexingControlCount] = {
    {"TForm12", {"Indexing", "指数付け"}},
    {"OptionsBox", {"Options", "条件"}},
    {"InputLabel", {"Input", "入力"}},
    {"WavelengthLabel", {"Wavelength", "波長"}},
    {"TypedWavelength", {"typed value", "入力値"}},
    {"SystemsLabel", {"Crystal systems", "結晶系"}},
    {"Cubic", {"Cubic", "等軸晶系"}},
    {"Tetragonal", {"Tetragonal", "正方晶系"}},
    {"Hexagonal", {"Hexagonal", "六方晶系"}},
    {"Rhombohedral", {"Rhombohedral", "菱面体晶系"}},
    {"Orthorhombic", {"Orthorhombic", "斜方晶系"}},
    {"Monoclinic", {"Monoclinic", "単斜晶系"}},
    {"Triclinic", {"Triclinic", "三斜晶系"}},
    {"LinesLabel", {"Number of lines", "使う線の数"}},
    {"ToleranceLabel", {"2θ tolerance (°)", "2θ の許容幅 (°)"}},
    {"ImpuritiesLabel", {"Unindexed lines tolerated", "指数付けできなくてよい線"}},
    {"VolumeLabel", {"Maximum volume (Å³)", "最大の体積 (Å³)"}},
    {"TimeLabel", {"Time limit (s)", "制限時間 (秒)"}},
    {"WeakLabel",
     {"Leave out peaks weaker than (% of the strongest)", "除く弱いピーク（最強の何 % 未満）"}},
    {"ZeroShift", {"Refine a zero shift", "零点のずれを精密化"}},
    {"Automatic", {"automatic", "自動"}},
    {"NoLimit", {"none", "なし"}},
    {"RunButton", {"Run", "実行"}},
    {"CancelButton", {"Cancel", "キャンセル"}},
    {"CandidatesLabel",
     {"Candidates (click a column header to sort)", "候補（列見出しのクリックで並べ替え）"}},
    {"LinesTableLabel", {"Lines of the chosen candidate", "選んだ候補の線"}},
    {"KeepUnindexed",
     {"Keep unindexed lines as excluded rows", "指数付けできない線も除外した行として残す"}},
    {"UseButton", {"Use This Cell", "この格子を使う"}},
    {"CopyButton", {"Copy", "コピー"}},
    {"TextButton", {"Save Text...", "テキストで保存..."}},
    {"JsonButton", {"Save JSON...", "JSON で保存..."}},
    {"CloseButton", {"Close", "閉じる"}},
    {"EmptyNote",
     {"Nothing to index: open a pattern and find its peaks (File, Open Pattern...), or type d "
      "values into the main table.",
      "指数付けするものがありません。回折パターンを開いてピークを求めるか（ファイルの「回折パターン"
      "を開く...」）、主画面の表に d 値を入力してください。"}},
};

constexpr Text kCandidateCaptions[kCandidateColumns] = {
    {"Rank", "順位"},         {"System", "晶系"},        {"Bravais", "ブラベー格子"},
    {"a (Å)", "a (Å)"},       {"b (Å)", "b (Å)"},        {"c (Å)", "c (Å)"},
    {"α (°)", "α (°)"},       {"β (°)", "β (°)"},        {"γ (°)", "γ (°)"},
    {"V (Å³)", "V (Å³)"},     {"M(20)", "M(20)"},        {"F(N)", "F(N)"},
    {"Zero (°)", "零点 (°)"}, {"Unindexed", "指数なし"}, {"Extinction symbols", "消滅則の記号"},
};

constexpr Text kLineCaptions[kLineColumns] = {
    {"No.", "番号"},
    {"2θ obs (°)", "2θ 観測 (°)"},
    {"2θ calc (°)", "2θ 計算 (°)"},
    {"Δ2θ (°)", "Δ2θ (°)"},
    {"d obs (Å)", "d 観測 (Å)"},
    {"d calc (Å)", "d 計算 (Å)"},
    {"hkl", "hkl"},
    {"Note", "備考"},
};

// The lattice systems by indexing::Family, as the candidates' table names them.
constexpr Text kFamilyNames[indexing::kFamilyCount] = {
    {"Cubic", "等軸晶系"},          {"Tetragonal", "正方晶系"},   {"Hexagonal", "六方晶系"},
    {"Rhombohedral", "菱面体晶系"}, {"Orthorhombic", "斜方晶系"}, {"Monoclinic", "単斜晶系"},
    {"Triclinic", "三斜晶系"}};

// {name} ... are replaced by their values.
constexpr Text kInputPattern = {"peaks of the pattern ({n})", "回折パターンのピーク（{n} 本）"};
constexpr Text kInputTable = {"d column of the main table ({n})", "主画面の表の d 値（{n} 行）"};
constexpr Text kOwnPatternWavelength = {"Kα1 of the pattern ({wl} Å)",
                                        "回折パターンの Kα1（{wl} Å）"};
constexpr Text kOwnTableWavelength = {"as the hkl table ({wl} Å)", "h,k,l 表の値（{wl} Å）"};
constexpr Text kNoPatternWavelength = {"Kα1 of the pattern (not chosen)",
                                       "回折パターンの Kα1（未選択）"};
constexpr Text kPatternInputLine = {
    "{n} peaks of {file}, at their Kα1 maxima; indexed at λ = {wl} Å",
    "{file} のピーク {n} 本（Kα1 の極大の位置）。λ = {wl} Å で指数付けします"};
constexpr Text kTableInputLine = {
    "{n} d values of the main table (their indices and exclusions are ignored); the 2θ shown "
    "and the tolerance are at λ = {wl} Å{own}",
    "主画面の表の d 値 {n} 行（指数と除外は無視します）。表示する 2θ と許容幅は λ = {wl} Å "
    "での値です{own}"};
constexpr Text kTableOwnWavelength = {
    ", the wavelength of the hkl table and the refinement "
    "details",
    "（h,k,l 表と精密化の詳細の波長）"};
constexpr Text kKa1Name = {"Kα1 of the pattern", "回折パターンの Kα1"};
constexpr Text kSettingsName = {"the wavelength of the hkl table", "h,k,l 表の波長"};
constexpr Text kTypedName = {"typed value", "入力値"};

constexpr Text kProgress = {"Searching {what}{shell}; {n} candidates so far",
                            "{what}を探索中{shell}。これまでの候補 {n} 個"};
constexpr Text kShell = {", volume {v0} to {v1} Å³", "（体積 {v0}–{v1} Å³）"};
constexpr Text kStarting = {"Starting the search...", "探索を始めています..."};
constexpr Text kCancelling = {"Cancelling...", "キャンセルしています..."};

struct StageText {
    const char* stage;
    Text text;
};
constexpr StageText kStages[] = {
    {"cubic", {"cubic cells", "立方晶の格子"}},
    {"hexagonal", {"hexagonal and rhombohedral cells", "六方晶と菱面体晶の格子"}},
    {"tetragonal", {"tetragonal cells", "正方晶の格子"}},
    {"dichotomy",
     {"hexagonal, rhombohedral and tetragonal cells", "六方晶、菱面体晶と正方晶の格子"}},
    {"orthorhombic", {"orthorhombic cells", "斜方晶の格子"}},
    {"monoclinic", {"monoclinic cells", "単斜晶の格子"}},
    {"zones", {"zones of the reciprocal lattice", "逆格子の晶帯"}},
    {"zones (zero grid)", {"zones over a grid of zero shifts", "零点のずれを変えた逆格子の晶帯"}},
    {"refining", {"the candidates' ranking", "候補の順位"}},
};

constexpr Text kSummary = {
    "{n} lines searched at λ = {wl} Å (tolerance {tol}°, {k} unindexed tolerated{zero}): "
    "{m} candidates in {s} s",
    "λ = {wl} Å で {n} 本の線を探索（許容幅 {tol}°、指数付けできなくてよい線 {k} 本{zero}）: "
    "候補 {m} 個、{s} 秒"};
constexpr Text kSummaryZero = {", zero shift refined", "、零点のずれを精密化"};
constexpr Text kSummaryCancelled = {"; cancelled: the candidates found until then",
                                    "。キャンセルしました（それまでに見つかった候補）"};
constexpr Text kSummaryTimeLimit = {"; stopped by the time limit: the candidates found until then",
                                    "。制限時間で打ち切りました（それまでに見つかった候補）"};
constexpr Text kTooFewLines = {
    "Too few lines: {n} lines, of which {k} may stay unindexed; indexing needs at least 4 "
    "indexed lines (10 or more for low symmetry)",
    "線が少なすぎます: {n} 本（うち {k} "
    "本は指数付けできなくてよい）。指数付けには指数付けできる線が "
    "4 本以上（対称性が低ければ 10 本以上）必要です"};
constexpr Text kNoCell = {"No cell indexes {m} of the {n} lines; searched {stages}",
                          "{n} 本のうち {m} 本を指数付けできる格子はありません。探索: {stages}"};
constexpr Text kStageTo = {"{stage} to {v} Å³", "{stage}（{v} Å³ まで）"};
constexpr Text kCutShort = {" (cut short)", "（打ち切り）"};
constexpr Text kStageSeparator = {", ", "、"};
constexpr Text kBestLeft = {"; the best cell left {u} unindexed",
                            "。最良の格子でも {u} 本が指数付けできません"};
constexpr Text kDominantZone = {
    "; {z} of the {n} lines lie in one zone (a plane of the reciprocal lattice): the third "
    "axis cannot be found from them",
    "。{n} 本のうち {z} 本が一つの晶帯（逆格子の一平面）にあり、三番目の軸は決まりません"};
constexpr Text kStoppedCancelled = {"; cancelled", "。キャンセルしました"};
constexpr Text kStoppedTimeLimit = {"; stopped by the time limit", "。制限時間で打ち切りました"};

constexpr Text kLinesOf = {
    "Lines of candidate {rank}: {system}, {bravais}, a = {a} b = {b} c = {c} Å, "
    "α = {alpha} β = {beta} γ = {gamma}°{zero}",
    "候補 {rank} の線: {system}、{bravais}、a = {a} b = {b} c = {c} Å、"
    "α = {alpha} β = {beta} γ = {gamma}°{zero}"};
constexpr Text kLinesZero = {", zero {z}° subtracted from 2θ obs",
                             "、2θ 観測から零点 {z}° を差し引き"};
constexpr Text kUnindexedNote = {"unindexed", "指数付けできない"};
constexpr Text kNotSearchedNote = {"not searched: from the cell", "探索外: 格子から"};
constexpr Text kNotSearchedUnindexed = {"not searched: unindexed", "探索外: 指数付けできない"};
constexpr Text kAmbiguousNote = {"{n} positions within the tolerance", "許容幅内に {n} か所"};
constexpr Text kTickLabel = {"indexing candidate {rank}", "指数付けの候補 {rank}"};
constexpr Text kTickLabelRunning = {"indexing candidate", "指数付けの候補"};
constexpr Text kTitleLine = {"Indexing", "指数付け"};
constexpr Text kFilterText = {"Text", "テキスト"};

// At most this many candidates of a running search are shown, its best by its score.
constexpr std::size_t kShownWhileRunning = 50;
// The candidates a search keeps in the end.
constexpr int kTopCandidates = 10;
// The extinction symbols a table cell names before "…".
constexpr std::size_t kSymbolsShown = 3;

const long double kRadians = std::numbers::pi_v<long double> / 180;

std::string Fixed(long double v, int decimals) {
    return std::isfinite(v) ? FormatFixed(v, decimals, 15) : std::string("-");
}

std::string Count(std::size_t n) {
    return IntText(static_cast<long long>(n));
}

std::string JsonNumber(long double v) {
    return std::isfinite(v) ? FormatG17(v) : "null";
}

std::string JsonOptional(const std::optional<long double>& v) {
    return v ? JsonNumber(*v) : "null";
}

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// d of a 2θ (degrees) at λ.
long double DOf(long double wavelength, long double twoTheta) {
    return wavelength / (2 * std::sin(twoTheta * kRadians / 2));
}

// 2θ of a d at λ; empty when the d is shorter than λ/2.
std::optional<long double> TwoThetaOf(long double wavelength, long double d) {
    const long double s = wavelength / (2 * d);
    if (!(s > 0 && s < 1)) return std::nullopt;
    return 2 * std::asin(s) / kRadians;
}

Family FamilyOfBravais(const std::string& bravais) {
    if (bravais.size() < 2) return Family::Triclinic;
    switch (bravais[0]) {
        case 'c':
            return Family::Cubic;
        case 't':
            return Family::Tetragonal;
        case 'h':
            return bravais[1] == 'R' ? Family::Rhombohedral : Family::Hexagonal;
        case 'o':
            return Family::Orthorhombic;
        case 'm':
            return Family::Monoclinic;
        default:
            return Family::Triclinic;
    }
}

std::string FamilyText(const IndexingSolution& s, Lang lang) {
    return kFamilyNames[static_cast<int>(FamilyOfBravais(s.bravais))].In(lang);
}

std::string StageName(const std::string& stage, Lang lang) {
    for (const StageText& s : kStages) {
        if (stage == s.stage) return s.text.In(lang);
    }
    return stage;
}

// An index triple as the tables write it.
std::string HklText(const indexing::Hkl& h) {
    return IntText(h[0]) + " " + IntText(h[1]) + " " + IntText(h[2]);
}

bool TableHoldsData(const ObservationTable& table) {
    for (int r = 1; r <= kMaxObservations; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!Trim(table.Cell(c, r)).empty()) return true;
        }
    }
    return false;
}

// --- The input -----------------------------------------------------------------------------

const std::vector<FittedPeak>& PeaksOf(const IndexingWindowState& state) {
    static const std::vector<FittedPeak> none;
    return state.pattern ? PatternPeaks(*state.pattern) : none;
}

int CountTableLines(const ObservationTable& table) {
    int n = 0;
    for (int r = 1; r <= kMaxObservations; ++r)
        n += !Trim(table.Cell(0, r)).empty();
    return n;
}

// The input's own wavelength: the pattern's Kα1, or the settings' λ for the table; none
// while the pattern's lines are unknown.
std::optional<long double> OwnWavelength(const IndexingWindowState& state) {
    if (state.input == IndexingInput::Table) return state.main.settings.lamda;
    if (state.pattern && PatternLines(*state.pattern).Known())
        return PatternLines(*state.pattern).ka1;
    return std::nullopt;
}

std::optional<long double> WavelengthInForce(const IndexingWindowState& state) {
    if (state.wavelengthChoice >= 0 &&
        state.wavelengthChoice < static_cast<int>(kWavelengthPresets.size()))
        return kWavelengthPresets[static_cast<std::size_t>(state.wavelengthChoice)].wavelength;
    if (state.wavelengthChoice == static_cast<int>(kWavelengthPresets.size()))
        return state.typedWavelength;
    return OwnWavelength(state);
}

std::string WavelengthName(const IndexingWindowState& state) {
    const Lang lang = state.UiLang();
    if (state.wavelengthChoice >= 0 &&
        state.wavelengthChoice < static_cast<int>(kWavelengthPresets.size()))
        return kWavelengthPresets[static_cast<std::size_t>(state.wavelengthChoice)].name;
    if (state.wavelengthChoice == static_cast<int>(kWavelengthPresets.size()))
        return kTypedName.In(lang);
    return (state.input == IndexingInput::Pattern ? kKa1Name : kSettingsName).In(lang);
}

std::string PatternFileName(const IndexingWindowState& state) {
    return state.pattern ? FileNameOf(state.pattern->path) : std::string();
}

void DescribeInput(IndexingWindowState& state) {
    const Lang lang = state.UiLang();
    const std::size_t peaks = PeaksOf(state).size();
    state.inputCaptions[0] = With(kInputPattern.In(lang), "{n}", Count(peaks));
    state.inputCaptions[1] =
        With(kInputTable.In(lang), "{n}", Count(static_cast<std::size_t>(state.tableLines)));
    const std::optional<long double> own = OwnWavelength(state);
    if (state.input == IndexingInput::Pattern) {
        state.ownWavelengthCaption =
            own ? With(kOwnPatternWavelength.In(lang), "{wl}", FormatGeneral(*own))
                : kNoPatternWavelength.In(lang);
    } else {
        state.ownWavelengthCaption =
            With(kOwnTableWavelength.In(lang), "{wl}", FormatGeneral(*own));
    }
    const std::optional<long double> wl = WavelengthInForce(state);
    const std::string wlText = wl ? FormatGeneral(*wl) : std::string("-");
    if (state.input == IndexingInput::Pattern) {
        state.inputLine = state.patternAvailable
                              ? With(With(With(kPatternInputLine.In(lang), "{n}", Count(peaks)),
                                          "{file}", PatternFileName(state)),
                                     "{wl}", wlText)
                              : std::string();
    } else {
        state.inputLine =
            state.tableLines > 0
                ? With(With(With(kTableInputLine.In(lang), "{n}",
                                 Count(static_cast<std::size_t>(state.tableLines))),
                            "{wl}", wlText),
                       "{own}", state.wavelengthChoice < 0 ? kTableOwnWavelength.In(lang) : "")
                : std::string();
    }
}

void ApplyCaptions(IndexingWindowState& state) {
    const Lang lang = state.UiLang();
    for (int i = 0; i < kIndexingControlCount; ++i)
        state.captions[static_cast<std::size_t>(i)] = kCaptions[i].text.In(lang);
    for (int i = 0; i < kCandidateColumns; ++i)
        state.candidateCaptions[static_cast<std::size_t>(i)] = kCandidateCaptions[i].In(lang);
    for (int i = 0; i < kLineColumns; ++i)
        state.lineCaptions[static_cast<std::size_t>(i)] = kLineCaptions[i].In(lang);
    for (std::size_t i = 0; i < state.presetCaptions.size(); ++i) {
        state.presetCaptions[i] = std::string(kWavelengthPresets[i].name) + "  " +
                                  FormatGeneral(kWavelengthPresets[i].wavelength) + " Å";
    }
}

// What the inputs hold now; an input that holds nothing gives way to the other.
void LookAtInputs(IndexingWindowState& state) {
    state.patternAvailable = !PeaksOf(state).empty();
    state.tableLines = CountTableLines(state.main.calc.table);
    if (state.input == IndexingInput::Pattern && !state.patternAvailable)
        state.input = IndexingInput::Table;
}

// --- Fields --------------------------------------------------------------------------------

// The value of a field's text, nullopt when the field does not take it. An empty text means
// automatic (−1 unindexed lines) or none (0) where the field allows it.
std::optional<long double> FieldValue(IndexingField field, const std::string& text) {
    const std::string_view t = Trim(text);
    auto whole = [&](int low, int high) -> std::optional<long double> {
        std::int32_t n = 0;
        if (!TryParseInt(t, n) || n < low || n > high) return std::nullopt;
        return static_cast<long double>(n);
    };
    auto real = [&]() -> std::optional<long double> {
        long double v = 0;
        if (!TryParseReal(t, v) || !std::isfinite(v)) return std::nullopt;
        return v;
    };
    switch (field) {
        case IndexingField::Lines:
            return whole(4, 1000);
        case IndexingField::Tolerance: {
            const auto v = real();
            return v && *v > 0 && *v < 5 ? v : std::nullopt;
        }
        case IndexingField::Impurities:
            return t.empty() ? std::optional<long double>(-1) : whole(0, 50);
        case IndexingField::MaxVolume:
        case IndexingField::TimeLimit: {
            if (t.empty()) return 0;
            const auto v = real();
            return v && *v > 0 ? v : std::nullopt;
        }
        case IndexingField::Weak: {
            if (t.empty()) return 0;
            const auto v = real();
            return v && *v >= 0 && *v < 100 ? v : std::nullopt;
        }
    }
    return std::nullopt;
}

const Text& FieldMessage(IndexingField field) {
    using namespace indexing_window_text;
    switch (field) {
        case IndexingField::Lines:
            return kBadLines;
        case IndexingField::Tolerance:
            return kBadTolerance;
        case IndexingField::Impurities:
            return kBadImpurities;
        case IndexingField::MaxVolume:
            return kBadVolume;
        case IndexingField::TimeLimit:
            return kBadTimeLimit;
        case IndexingField::Weak:
            return kBadWeak;
    }
    return kBadLines;
}

long double Field(const IndexingWindowState& state, IndexingField field) {
    return FieldValue(field, state.fields[static_cast<std::size_t>(field)]).value_or(0);
}

// --- Candidates ------------------------------------------------------------------------------

// The number an input line of the search carries in the window (peak or row).
int NumberOf(const IndexingRecord& record, int searchLine) {
    if (searchLine < 1 || static_cast<std::size_t>(searchLine) > record.searched.size()) return 0;
    return record.lines[record.searched[static_cast<std::size_t>(searchLine - 1)]].number;
}

std::string UnindexedText(const IndexingRecord& record, const IndexingSolution& s) {
    if (s.unindexed.empty()) return "0";
    std::string list;
    for (const int u : s.unindexed)
        list += (list.empty() ? "" : ", ") + IntText(NumberOf(record, u));
    return Count(s.unindexed.size()) + " (" + list + ")";
}

std::string ExtinctionText(const IndexingSolution& s) {
    std::string text;
    for (std::size_t i = 0; i < s.extinction.size() && i < kSymbolsShown; ++i)
        text += (i > 0 ? "; " : "") + s.extinction[i].symbol;
    if (s.extinction.size() > kSymbolsShown) text += "; …";
    return text;
}

// A figure of merit with the number of lines it is of when that is not its own (M(20) of
// fewer lines).
std::string FigureText(const std::optional<long double>& value, int n, int usual) {
    if (!value) return "-";
    std::string text = Fixed(*value, 1);
    if (n != usual) text += " (" + IntText(n) + ")";
    return text;
}

CandidateRow MakeRow(const IndexingWindowState& state, std::size_t index) {
    const Lang lang = state.UiLang();
    const IndexingSolution& s = state.candidates[index].solution;
    CandidateRow row;
    row.candidate = index;
    const std::optional<long double> keys[kCandidateColumns] = {
        s.rank > 0 ? std::optional<long double>(s.rank) : std::nullopt,
        std::nullopt,
        std::nullopt,
        s.cell.a,
        s.cell.b,
        s.cell.c,
        s.cell.alpha,
        s.cell.beta,
        s.cell.gamma,
        s.volume,
        s.merit.m.value,
        s.merit.f.value,
        s.zeroRefined ? std::optional<long double>(s.zero) : std::nullopt,
        static_cast<long double>(s.unindexed.size()),
        std::nullopt};
    const std::string texts[kCandidateColumns] = {
        s.rank > 0 ? IntText(s.rank) : std::string("-"),
        FamilyText(s, lang),
        s.bravais,
        Fixed(s.cell.a, 5),
        Fixed(s.cell.b, 5),
        Fixed(s.cell.c, 5),
        Fixed(s.cell.alpha, 3),
        Fixed(s.cell.beta, 3),
        Fixed(s.cell.gamma, 3),
        Fixed(s.volume, 2),
        FigureText(s.merit.m.value, s.merit.m.n, 20),
        FigureText(s.merit.f.value, s.merit.f.n, s.merit.f.n),
        s.zeroRefined ? Fixed(s.zero, 4) : std::string("-"),
        UnindexedText(state.record, s),
        ExtinctionText(s)};
    for (std::size_t c = 0; c < kCandidateColumns; ++c) {
        row.keys[c] = keys[c];
        row.texts[c] = texts[c];
    }
    return row;
}

// Keys ascending with the rows without a value last, the candidates' order among equals.
void ApplySort(IndexingWindowState& state) {
    const std::optional<std::size_t> column =
        state.sortColumn ? std::optional<std::size_t>(static_cast<std::size_t>(*state.sortColumn))
                         : std::nullopt;
    SortTableRows(state.rows, column, state.sortAscending,
                  [](const CandidateRow& r) { return r.candidate; });
}

void MakeRows(IndexingWindowState& state) {
    state.rows.clear();
    for (std::size_t i = 0; i < state.candidates.size(); ++i)
        state.rows.push_back(MakeRow(state, i));
    ApplySort(state);
}

std::string CellLine(const Text& pattern, const IndexingSolution& s, Lang lang) {
    std::string line = pattern.In(lang);
    line = With(line, "{rank}", s.rank > 0 ? IntText(s.rank) : std::string("-"));
    line = With(line, "{system}", FamilyText(s, lang));
    line = With(line, "{bravais}", s.bravais);
    const std::pair<const char*, std::string> values[] = {
        {"{alpha}", Fixed(s.cell.alpha, 3)}, {"{beta}", Fixed(s.cell.beta, 3)},
        {"{gamma}", Fixed(s.cell.gamma, 3)}, {"{a}", Fixed(s.cell.a, 5)},
        {"{b}", Fixed(s.cell.b, 5)},         {"{c}", Fixed(s.cell.c, 5)}};
    for (const auto& [key, value] : values)
        line = With(line, key, value);
    return With(line, "{zero}",
                s.zeroRefined ? With(kLinesZero.In(lang), "{z}", Fixed(s.zero, 4)) : "");
}

std::vector<LineRow> MakeLineRows(const IndexingWindowState& state, const IndexingSolution& s) {
    const Lang lang = state.UiLang();
    std::vector<LineRow> out;
    if (!state.result) return out;
    for (const CandidateLine& l : CandidateLines(state.record, *state.result, s)) {
        LineRow row;
        row.indexed = l.indexed;
        row.searched = l.searched;
        std::string note;
        if (!l.searched) {
            note = (l.indexed ? kNotSearchedNote : kNotSearchedUnindexed).In(lang);
        } else if (!l.indexed) {
            note = kUnindexedNote.In(lang);
        }
        if (l.indexed && l.matches > 1) {
            note += (note.empty() ? "" : "; ") +
                    With(kAmbiguousNote.In(lang), "{n}", IntText(l.matches));
        }
        row.texts = {IntText(l.number),
                     Fixed(l.twoTheta, 4),
                     l.indexed ? Fixed(l.twoThetaCalc, 4) : std::string(),
                     l.indexed ? Fixed(l.delta, 4) : std::string(),
                     l.dText.empty() ? Fixed(l.d, 5) : std::string(Trim(l.dText)),
                     l.indexed ? Fixed(l.dCalc, 5) : std::string(),
                     l.indexed ? HklText(l.hkl) : std::string(),
                     note};
        out.push_back(std::move(row));
    }
    return out;
}

const IndexingCandidate* FindCandidate(const IndexingWindowState& state, std::optional<int> id) {
    if (!id) return nullptr;
    for (const IndexingCandidate& c : state.candidates) {
        if (c.id == *id) return &c;
    }
    return nullptr;
}

// The tick marks of the pattern window: the chosen candidate's cell, or none of ours.
void ShowTicks(IndexingWindowState& state) {
    if (!state.pattern) return;
    const IndexingCandidate* c = state.Chosen();
    if (!c) {
        if (state.pattern->tickSource == TickSource::Given) {
            ClearTickCell(*state.pattern);
            state.patternChanged = true;
        }
        return;
    }
    if (!state.pattern->pattern) return;
    const IndexingSolution& s = c->solution;
    TickCell cell;
    cell.a = s.cell.a;
    cell.b = s.cell.b;
    cell.c = s.cell.c;
    cell.alpha = s.cell.alpha;
    cell.beta = s.cell.beta;
    cell.gamma = s.cell.gamma;
    cell.system = s.code;
    cell.centring = s.centring;
    cell.label = s.rank > 0 ? With(kTickLabel.In(state.UiLang()), "{rank}", IntText(s.rank))
                            : kTickLabelRunning.In(state.UiLang());
    SetTickCell(*state.pattern, cell);
    state.patternChanged = true;
}

// The lines of the chosen candidate, as the language writes them.
void PresentChosen(IndexingWindowState& state) {
    state.lines.clear();
    state.linesCaption.clear();
    if (const IndexingCandidate* c = state.Chosen()) {
        state.lines = MakeLineRows(state, c->solution);
        state.linesCaption = CellLine(kLinesOf, c->solution, state.UiLang());
    }
}

void Choose(IndexingWindowState& state, std::optional<int> id) {
    state.chosen = id;
    PresentChosen(state);
    ShowTicks(state);
    ++state.version;
}

std::string SummaryLine(const IndexingWindowState& state) {
    const Lang lang = state.UiLang();
    if (!state.result) return {};
    const indexing::IndexingResult& r = *state.result;
    if (r.refusal) return *r.refusal;
    const indexing::SearchSummary& s = r.searched;
    const std::string n = IntText(s.linesUsed), k = IntText(s.impurities);
    if (state.candidates.empty()) {
        if (s.stages.empty()) return With(With(kTooFewLines.In(lang), "{n}", n), "{k}", k);
        std::string stages;
        for (const indexing::SearchStage& st : s.stages) {
            if (!stages.empty()) stages += kStageSeparator.In(lang);
            const std::string name = StageName(st.name, lang);
            stages += st.maxVolume > 0 ? With(With(kStageTo.In(lang), "{stage}", name), "{v}",
                                              FormatFixed(st.maxVolume, 0, 18))
                                       : name;
            if (!st.complete) stages += kCutShort.In(lang);
        }
        std::string line =
            With(With(With(kNoCell.In(lang), "{m}", IntText(s.linesUsed - s.impurities)), "{n}", n),
                 "{stages}", stages);
        if (s.fewestUnindexed >= 0)
            line += With(kBestLeft.In(lang), "{u}", IntText(s.fewestUnindexed));
        if (s.linesUsed >= 12 && s.dominantZoneLines >= s.linesUsed - s.impurities)
            line +=
                With(With(kDominantZone.In(lang), "{z}", IntText(s.dominantZoneLines)), "{n}", n);
        if (s.stopped == "cancelled") line += kStoppedCancelled.In(lang);
        if (s.stopped == "time limit") line += kStoppedTimeLimit.In(lang);
        return line;
    }
    std::string line = kSummary.In(lang);
    line = With(line, "{n}", n);
    line = With(line, "{wl}", FormatGeneral(r.lines.wavelength));
    line = With(line, "{tol}", FormatGeneral(s.tolerance));
    line = With(line, "{k}", k);
    line = With(line, "{zero}", state.record.options.refineZero ? kSummaryZero.In(lang) : "");
    line = With(line, "{m}", Count(state.candidates.size()));
    line = With(line, "{s}", FormatFixed(static_cast<long double>(r.elapsed), 1, 18));
    if (s.stopped == "cancelled") line += kSummaryCancelled.In(lang);
    if (s.stopped == "time limit") line += kSummaryTimeLimit.In(lang);
    return line;
}

// Every text shown anew, in the language.
void Present(IndexingWindowState& state) {
    state.shownLang = state.UiLang();
    DescribeInput(state);
    MakeRows(state);
    PresentChosen(state);
    if (!state.Running()) state.summaryLine = SummaryLine(state);
    ++state.version;
}

std::string ProgressText(const IndexingWindowState& state, const indexing::IndexingProgress& p) {
    const Lang lang = state.UiLang();
    const std::string shell =
        p.shellMax > 0 ? With(With(kShell.In(lang), "{v0}", FormatFixed(p.shellMin, 0, 18)), "{v1}",
                              FormatFixed(p.shellMax, 0, 18))
                       : std::string();
    return With(
        With(With(kProgress.In(lang), "{what}", StageName(p.stage, lang)), "{shell}", shell), "{n}",
        Count(state.candidates.size()));
}

bool RefuseWhileRunning(const IndexingWindowState& state, Ui& ui) {
    if (!state.Running()) return false;
    ui.ShowMessage(indexing_window_text::kSearching.In(state.UiLang()));
    return true;
}

bool RefuseWithoutCandidate(const IndexingWindowState& state, Ui& ui) {
    if (RefuseWhileRunning(state, ui)) return true;
    if (state.Chosen()) return false;
    ui.ShowMessage(indexing_window_text::kNoCandidate.In(state.UiLang()));
    return true;
}

// The search's input from the pattern's peaks or the table's d column, at the wavelength
// in force; false after telling the user why there is none.
bool MakeRecord(IndexingWindowState& state, Ui& ui, IndexingRecord& record,
                indexing::PeakList& peaks) {
    using namespace indexing_window_text;
    const Lang lang = state.UiLang();
    record.input = state.input;
    const std::optional<long double> wavelength = WavelengthInForce(state);
    if (state.input == IndexingInput::Pattern) {
        const std::vector<FittedPeak>& fitted = PeaksOf(state);
        if (fitted.empty() || !wavelength) {
            ui.ShowMessage(kNothingToIndex.In(lang));
            return false;
        }
        record.wavelength = *wavelength;
        record.source = PatternFileName(state);
        if (state.pattern->pattern) record.sample = state.pattern->pattern->sampleName;
        long double strongest = 0;
        for (const FittedPeak& p : fitted)
            strongest = std::max(strongest, p.height);
        const long double weak = Field(state, IndexingField::Weak) / 100 * strongest;
        for (std::size_t k = 0; k < fitted.size(); ++k) {
            const FittedPeak& p = fitted[k];
            InputLine line;
            line.number = static_cast<int>(k) + 1;
            line.twoTheta = p.twoTheta;
            line.d = DOf(record.wavelength, p.twoTheta);
            line.intensity = p.height;
            line.searched = !(p.height < weak);
            record.lines.push_back(line);
        }
        peaks.kind = indexing::PeakKind::TwoTheta;
    } else {
        const ObservationTable& table = state.main.calc.table;
        record.wavelength = *wavelength;
        for (int r = 1; r <= kMaxObservations; ++r) {
            const std::string& text = table.Cell(0, r);
            if (Trim(text).empty()) continue;
            long double d = 0;
            if (!TryParseReal(text, d) || !std::isfinite(d) || !(d > 0)) {
                ui.ShowMessage(With(With(kBadD.In(lang), "{row}", IntText(r)), "{text}",
                                    std::string(Trim(text))));
                return false;
            }
            const std::optional<long double> twoTheta = TwoThetaOf(record.wavelength, d);
            if (!twoTheta) {
                ui.ShowMessage(With(With(With(kDWithout2Theta.In(lang), "{row}", IntText(r)), "{d}",
                                         std::string(Trim(text))),
                                    "{wl}", FormatGeneral(record.wavelength)));
                return false;
            }
            InputLine line;
            line.number = r;
            line.twoTheta = *twoTheta;
            line.d = d;
            line.dText = text;
            record.lines.push_back(line);
        }
        if (record.lines.empty()) {
            ui.ShowMessage(kNothingToIndex.In(lang));
            return false;
        }
        std::stable_sort(record.lines.begin(), record.lines.end(),
                         [](const InputLine& a, const InputLine& b) { return a.d > b.d; });
        peaks.kind = indexing::PeakKind::D;
    }
    record.wavelengthName = WavelengthName(state);
    peaks.wavelength = record.wavelength;
    for (std::size_t i = 0; i < record.lines.size(); ++i) {
        const InputLine& line = record.lines[i];
        if (!line.searched) continue;
        indexing::Peak peak;
        peak.position = state.input == IndexingInput::Pattern ? line.twoTheta : line.d;
        peak.text = std::string(Trim(line.dText));
        peak.intensity = line.intensity;
        peaks.peaks.push_back(peak);
        record.searched.push_back(i);
    }
    indexing::IndexingOptions& o = record.options;
    o.lines.count = static_cast<int>(Field(state, IndexingField::Lines));
    o.lines.tolerance = Field(state, IndexingField::Tolerance);
    o.lines.wavelength = record.wavelength;
    o.impurities = static_cast<int>(Field(state, IndexingField::Impurities));
    o.families = state.families;
    o.maxVolume = Field(state, IndexingField::MaxVolume);
    o.timeLimit = static_cast<double>(Field(state, IndexingField::TimeLimit));
    o.refineZero = state.zeroShift && state.input == IndexingInput::Pattern;
    o.top = kTopCandidates;
    return true;
}

// The search ended: its ranked candidates, the first of them chosen.
void Finish(IndexingWindowState& state, Ui& ui, indexing::IndexingResult result) {
    state.candidates.clear();
    for (IndexingSolution& s : result.solutions)
        state.candidates.push_back({std::move(s), state.nextId++});
    result.solutions.clear();
    state.provisional = false;
    state.sortColumn.reset();
    state.sortAscending = true;
    const std::optional<std::string> refusal = result.refusal;
    state.result = std::move(result);
    state.progressText.clear();
    state.fraction = 0;
    Present(state);
    Choose(state, state.candidates.empty() ? std::nullopt
                                           : std::optional<int>(state.candidates.front().id));
    if (refusal) ui.ShowMessage(*refusal);
}

// The main window's crystal-system command of a code.
MainCommand SystemCommand(int code) {
    switch (code) {
        case kCubic:
            return Cibic1Click;
        case kHexagonal:
            return Hexagonal1Click;
        case kTetragonal:
            return tetragonal1Click;
        case kOrthorhombic:
            return Orthorhombic1Click;
        case kMonoclinicBeta:
            return Monoclinic901Click;
        case kMonoclinicGamma:
            return Monoclinic902Click;
        case kTrigonal:
            return trigonalClick;
        default:
            return Triclinic1Click;
    }
}

std::string Stem(const std::string& path) {
    std::string name = FileNameOf(path);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

}  // namespace

namespace indexing_window_text {
const Text kNothingToIndex = {
    "Nothing to index: open a pattern and find its peaks, or type d values into the main table",
    "指数付けするものがありません。回折パターンを開いてピークを求めるか、主画面の表に d "
    "値を入力して"
    "ください"};
const Text kNoSystem = {"Tick at least one crystal system", "結晶系を一つ以上選んでください"};
const Text kBadLines = {"Give the number of lines as a whole number from 4 to 1000",
                        "使う線の数は 4 から 1000 までの整数で入力してください"};
const Text kBadTolerance = {"Give the 2θ tolerance in degrees, a number above 0 and below 5",
                            "2θ の許容幅は 0 より大きく 5 より小さい度数で入力してください"};
const Text kBadImpurities = {
    "Give the unindexed lines tolerated as a whole number from 0 to 50 (empty: automatic)",
    "指数付けできなくてよい線の数は 0 から 50 までの整数で入力してください（空欄: 自動）"};
const Text kBadVolume = {
    "Give the maximum volume in Å³, a number above 0 (empty: each system's own)",
    "最大の体積は 0 より大きい数 (Å³) で入力してください（空欄: 晶系ごとの既定値）"};
const Text kBadTimeLimit = {"Give the time limit in seconds, a number above 0 (empty: none)",
                            "制限時間は 0 より大きい秒数で入力してください（空欄: なし）"};
const Text kBadWeak = {
    "Give the weakest peak used as a percentage of the strongest, from 0 to below 100",
    "除く弱いピークは最強のピークに対する % で、0 以上 100 未満の数を入力してください"};
const Text kBadD = {"Row {row}: the d value '{text}' is no number above 0",
                    "{row} 行目: d 値「{text}」が 0 より大きい数ではありません"};
const Text kDWithout2Theta = {
    "Row {row}: d = {d} Å has no 2θ at λ = {wl} Å; choose a shorter wavelength",
    "{row} 行目: d = {d} Å は λ = {wl} Å では 2θ がありません。短い波長を選んでください"};
const Text kSearching = {"The search is running: wait for it to end, or cancel it",
                         "探索中です。終わるのを待つか、キャンセルしてください"};
const Text kNoCandidate = {"No candidate is chosen", "候補が選ばれていません"};
const Text kReplaceTable = {"The table holds data: replace it with the indexed lines?",
                            "表にデータがあります。指数付けした線で置き換えてよろしいですか"};
const Text kLinesLeftOut = {
    "{n} lines, and the table holds 300 rows: the {left} lines of the smallest d were left out",
    "線は {n} 本ですが、表は 300 行までです。d の小さい {left} 本は入れていません"};
const Text kSaveTextTitle = {"Save Indexing as Text", "指数付けをテキストで保存"};
const Text kSaveJsonTitle = {"Save Indexing as JSON", "指数付けを JSON で保存"};
}  // namespace indexing_window_text

const char* IndexingControlName(IndexingControl control) {
    return kCaptions[static_cast<int>(control)].name;
}

const char* IndexingCaption(IndexingControl control, Lang lang) {
    return kCaptions[static_cast<int>(control)].text.In(lang);
}

const char* CandidateColumnCaption(CandidateColumn column, Lang lang) {
    return kCandidateCaptions[static_cast<int>(column)].In(lang);
}

const char* LineColumnCaption(LineColumn column, Lang lang) {
    return kLineCaptions[static_cast<int>(column)].In(lang);
}

char IndexingMnemonic(IndexingControl control) {
    switch (control) {
        case IndexingControl::InputLabel:
            return 'I';
        case IndexingControl::WavelengthLabel:
            return 'W';
        case IndexingControl::LinesLabel:
            return 'N';
        case IndexingControl::ToleranceLabel:
            return 'o';
        case IndexingControl::ImpuritiesLabel:
            return 'x';
        case IndexingControl::VolumeLabel:
            return 'M';
        case IndexingControl::TimeLabel:
            return 'T';
        case IndexingControl::WeakLabel:
            return 'v';
        case IndexingControl::ZeroShift:
            return 'z';
        case IndexingControl::RunButton:
            return 'R';
        case IndexingControl::CancelButton:
            return 'a';
        case IndexingControl::CandidatesLabel:
            return 'd';
        case IndexingControl::LinesTableLabel:
            return 'h';
        case IndexingControl::KeepUnindexed:
            return 'K';
        case IndexingControl::UseButton:
            return 'U';
        case IndexingControl::CopyButton:
            return 'C';
        case IndexingControl::TextButton:
            return 'S';
        case IndexingControl::JsonButton:
            return 'J';
        case IndexingControl::CloseButton:
            return 'l';
        default:
            return 0;
    }
}

const IndexingCandidate* IndexingWindowState::Chosen() const {
    return FindCandidate(*this, chosen);
}

std::vector<CandidateLine> CandidateLines(const IndexingRecord& record,
                                          const indexing::IndexingResult& result,
                                          const IndexingSolution& s) {
    std::vector<CandidateLine> out;
    const long double lambda = record.wavelength;
    const bool twoThetaInput = record.input == IndexingInput::Pattern;
    const auto g = indexing::ReciprocalMetricOf(s.cell);
    // The calculated d and 2θ of an index triple; false when it has none.
    auto calculate = [&](const indexing::Hkl& hkl, CandidateLine& line) {
        if (!g) return false;
        const long double q = indexing::QOf(*g, hkl);
        if (!(q > 0)) return false;
        line.dCalc = 1 / std::sqrt(q);
        const std::optional<long double> t = TwoThetaOf(lambda, line.dCalc);
        if (!t) return false;
        line.twoThetaCalc = *t;
        line.delta = line.twoTheta - s.zero - *t;
        return true;
    };
    std::vector<bool> done(record.lines.size(), false);
    auto lineOf = [&](int searchLine) -> std::optional<std::size_t> {
        if (searchLine < 1 || static_cast<std::size_t>(searchLine) > record.searched.size())
            return std::nullopt;
        return record.searched[static_cast<std::size_t>(searchLine - 1)];
    };
    // A duplicate peak merged into its neighbour is that line already.
    for (const int m : result.lines.merged) {
        if (const auto i = lineOf(m)) done[*i] = true;
    }
    for (const indexing::SolutionLine& l : s.lines) {
        const auto i = lineOf(l.line);
        if (!i) continue;
        done[*i] = true;
        const InputLine& in = record.lines[*i];
        CandidateLine c;
        c.number = in.number;
        c.twoTheta = in.twoTheta;
        c.d = twoThetaInput ? DOf(lambda, in.twoTheta - s.zero) : in.d;
        c.dText = in.dText;
        c.matches = l.matches;
        c.hkl = indexing::ShownIndices(l.hkl, s.code, s.centring);
        c.indexed = l.indexed && calculate(c.hkl, c);
        out.push_back(c);
    }
    // The lines the search was not given: the nearest calculated position within the
    // tolerance gives the indices.
    long double top = 0;
    for (std::size_t i = 0; i < record.lines.size(); ++i)
        if (!done[i]) top = std::max(top, record.lines[i].twoTheta);
    std::vector<indexing::Reflection> reflections;
    const long double tolerance = record.options.lines.tolerance;
    if (g && top > 0) {
        const long double edge = std::min(top + std::fabs(s.zero) + 1, 179.9L);
        const long double qTop = std::pow(2 * std::sin(edge * kRadians / 2) / lambda, 2.0L);
        reflections = indexing::ReflectionsOf(*g, qTop, s.centring);
    }
    for (std::size_t i = 0; i < record.lines.size(); ++i) {
        if (done[i]) continue;
        const InputLine& in = record.lines[i];
        CandidateLine c;
        c.number = in.number;
        c.twoTheta = in.twoTheta;
        c.d = twoThetaInput ? DOf(lambda, in.twoTheta - s.zero) : in.d;
        c.dText = in.dText;
        c.searched = false;
        // A position is never known better than half a unit of its last written digit
        // (δ2θ = 2·tan θ·δd/d for a d).
        long double window = tolerance;
        if (!in.dText.empty()) {
            const long double half = indexing::HalfUnitOfLastDigit(in.dText);
            window =
                std::max(window, 2 * std::tan(in.twoTheta * kRadians / 2) * half / in.d / kRadians);
        }
        const long double at = in.twoTheta - s.zero;
        std::vector<long double> positions;
        const indexing::Reflection* best = nullptr;
        long double bestDistance = 0;
        for (const indexing::Reflection& r : reflections) {
            const std::optional<long double> t = TwoThetaOf(lambda, 1 / std::sqrt(r.q));
            if (!t || std::fabs(*t - at) > window) continue;
            if (positions.empty() || std::fabs(*t - positions.back()) > 1e-9L * *t)
                positions.push_back(*t);
            if (!best || std::fabs(*t - at) < bestDistance) {
                best = &r;
                bestDistance = std::fabs(*t - at);
            }
        }
        c.matches = static_cast<int>(positions.size());
        if (best) {
            c.hkl = indexing::ShownIndices(best->hkl, s.code, s.centring);
            c.indexed = calculate(c.hkl, c);
        }
        out.push_back(c);
    }
    std::stable_sort(out.begin(), out.end(), [](const CandidateLine& a, const CandidateLine& b) {
        return a.twoTheta < b.twoTheta;
    });
    return out;
}

// --- The main window's side -------------------------------------------------------------

void Indexing1Click(MainState&, Ui& ui) {
    ui.ShowWindow(SecondaryWindow::TForm12);
}

// --- Opening and following ---------------------------------------------------------------

void IndexingFormShow(IndexingWindowState& state) {
    ApplyCaptions(state);
    LookAtInputs(state);
    // Each opening starts from the pattern's peaks when there are any.
    state.input = state.patternAvailable ? IndexingInput::Pattern : IndexingInput::Table;
    state.raiseRequested = true;
    state.closeRequested = false;
    Present(state);
}

void FollowMainWindow(IndexingWindowState& state) {
    ApplyCaptions(state);
    const bool pattern = state.patternAvailable;
    const int table = state.tableLines;
    const IndexingInput input = state.input;
    const std::string line = state.inputLine, own = state.ownWavelengthCaption;
    LookAtInputs(state);
    DescribeInput(state);
    if (state.shownLang != state.UiLang()) {
        Present(state);
    } else if (pattern != state.patternAvailable || table != state.tableLines ||
               input != state.input || line != state.inputLine ||
               own != state.ownWavelengthCaption) {
        ++state.version;
    }
}

// --- Options -----------------------------------------------------------------------------

void ChooseIndexingInput(IndexingWindowState& state, Ui&, IndexingInput input) {
    LookAtInputs(state);
    if (input == IndexingInput::Pattern && !state.patternAvailable) input = IndexingInput::Table;
    state.input = input;
    DescribeInput(state);
    ++state.version;
}

void ChooseIndexingWavelength(IndexingWindowState& state, Ui&, int choice) {
    if (choice < -1 || choice >= static_cast<int>(kWavelengthPresets.size())) return;
    state.wavelengthChoice = choice;
    DescribeInput(state);
    ++state.version;
}

void TypeIndexingWavelength(IndexingWindowState& state, Ui& ui, const std::string& text) {
    long double wavelength = 0;
    if (!TryParseReal(text, wavelength)) wavelength = 0;  // refused as any number outside
    if (const HklRefusal refusal = CheckWavelength(wavelength)) {
        ui.ShowMessage(refusal->In(state.UiLang()));
        ++state.version;  // the field shows the wavelength in force again
        return;
    }
    state.typedWavelength = wavelength;
    state.wavelengthChoice = static_cast<int>(kWavelengthPresets.size());
    DescribeInput(state);
    ++state.version;
}

void ChooseFamily(IndexingWindowState& state, Ui&, Family family, bool on) {
    state.families[static_cast<std::size_t>(family)] = on;
    ++state.version;
}

void SetIndexingField(IndexingWindowState& state, Ui& ui, IndexingField field,
                      const std::string& text) {
    if (!FieldValue(field, text)) {
        ui.ShowMessage(FieldMessage(field).In(state.UiLang()));
        ++state.version;
        return;
    }
    state.fields[static_cast<std::size_t>(field)] = std::string(Trim(text));
    ++state.version;
}

void SetZeroShift(IndexingWindowState& state, Ui&, bool on) {
    state.zeroShift = on;
    ++state.version;
}

void SetKeepUnindexed(IndexingWindowState& state, Ui&, bool on) {
    state.keepUnindexed = on;
    ++state.version;
}

// --- The search --------------------------------------------------------------------------

void RunIndexingClick(IndexingWindowState& state, Ui& ui) {
    if (state.Running()) return;
    ApplyCaptions(state);
    LookAtInputs(state);
    if (std::none_of(state.families.begin(), state.families.end(), [](bool b) { return b; })) {
        ui.ShowMessage(indexing_window_text::kNoSystem.In(state.UiLang()));
        return;
    }
    IndexingRecord record;
    indexing::PeakList peaks;
    if (!MakeRecord(state, ui, record, peaks)) return;
    const indexing::IndexingOptions options = record.options;
    state.record = std::move(record);
    state.result.reset();
    state.candidates.clear();
    state.provisional = true;
    state.summaryLine.clear();
    state.fraction = 0;
    state.progressText = kStarting.In(state.UiLang());
    state.job = std::make_unique<IndexingJob>(std::move(peaks), options);
    Present(state);
    Choose(state, std::nullopt);
}

void CancelIndexingClick(IndexingWindowState& state, Ui&) {
    if (!state.Running() || state.job->Cancelled()) return;
    state.job->Cancel();
    state.progressText = kCancelling.In(state.UiLang());
    ++state.version;
}

void CollectIndexing(IndexingWindowState& state, Ui& ui) {
    if (!state.Running()) return;
    IndexingJob::News news = state.job->Collect();
    bool changed = false;
    if (!news.found.empty()) {
        for (IndexingSolution& s : news.found)
            state.candidates.push_back({std::move(s), state.nextId++});
        // Best first by the search's own figure while it runs; the weakest go.
        std::stable_sort(state.candidates.begin(), state.candidates.end(),
                         [](const IndexingCandidate& a, const IndexingCandidate& b) {
                             return a.solution.score > b.solution.score;
                         });
        if (state.candidates.size() > kShownWhileRunning)
            state.candidates.resize(kShownWhileRunning);
        if (!state.Chosen()) state.chosen.reset();
        MakeRows(state);
        PresentChosen(state);
        changed = true;
    }
    if (news.progress && !state.job->Cancelled()) {
        state.fraction = news.progress->fraction;
        state.progressText = ProgressText(state, *news.progress);
        changed = true;
    }
    if (news.finished) {
        // The thread has ended: it is joined at once.
        const std::unique_ptr<IndexingJob> ended = std::move(state.job);
        if (news.failure) {
            state.progressText.clear();
            state.fraction = 0;
            state.candidates.clear();
            Present(state);
            Choose(state, std::nullopt);
            std::rethrow_exception(news.failure);
        }
        Finish(state, ui, std::move(*news.result));
        return;
    }
    if (changed) ++state.version;
}

void WaitForIndexing(IndexingWindowState& state, Ui& ui) {
    if (!state.Running()) return;
    state.job->Wait();
    CollectIndexing(state, ui);
}

// --- Candidates --------------------------------------------------------------------------

void SortCandidates(IndexingWindowState& state, CandidateColumn column) {
    state.sortAscending = state.sortColumn == column ? !state.sortAscending : true;
    state.sortColumn = column;
    ApplySort(state);
    ++state.version;
}

void ChooseCandidate(IndexingWindowState& state, Ui&, std::size_t row) {
    if (row >= state.rows.size()) return;
    const int id = state.candidates[state.rows[row].candidate].id;
    if (state.chosen == id) return;
    Choose(state, id);
}

void UseThisCellClick(IndexingWindowState& state, Ui& ui) {
    using namespace indexing_window_text;
    if (RefuseWithoutCandidate(state, ui) || !state.result) return;
    const Lang lang = state.UiLang();
    const IndexingSolution& s = state.Chosen()->solution;
    std::vector<CandidateLine> lines = CandidateLines(state.record, *state.result, s);
    std::erase_if(lines,
                  [&](const CandidateLine& l) { return !l.indexed && !state.keepUnindexed; });
    MainState& main = state.main;
    if (TableHoldsData(main.calc.table) && !ui.AskOkCancel(kReplaceTable.In(lang))) return;
    const std::string sample = main.edit1;
    const std::string file = main.label6;
    ClearTable(main);
    // Largest d first; the table keeps the 300 of the largest d.
    std::stable_sort(lines.begin(), lines.end(),
                     [](const CandidateLine& a, const CandidateLine& b) { return a.d > b.d; });
    const std::size_t n = std::min(lines.size(), static_cast<std::size_t>(kMaxObservations));
    ObservationTable& table = main.calc.table;
    for (std::size_t k = 0; k < n; ++k) {
        const CandidateLine& l = lines[k];
        const int row = static_cast<int>(k) + 1;
        // The table's own text; a 2θ's d to six decimals, after the zero shift.
        table.Cell(0, row) = l.dText.empty() ? FormatFixed(l.d, 6, 15) : std::string(Trim(l.dText));
        const indexing::Hkl hkl = l.indexed ? l.hkl : indexing::Hkl{0, 0, 0};
        for (int c = 0; c < 3; ++c)
            table.Cell(c + 1, row) = IntText(hkl[static_cast<std::size_t>(c)]);
        if (!l.indexed) table.Cell(4, row) = std::string(kExclusionMarker);
    }
    NormalizeCells(table);
    SortRows(table);
    SystemCommand(s.code)(main, ui);
    // The hkl table, the details and the tick marks leave out what the lattice makes absent.
    main.settings.lattice = s.centring;
    std::string name = sample;
    if (Trim(name).empty() && state.record.input == IndexingInput::Pattern) {
        name = state.record.sample.empty() ? Stem(state.record.source) : state.record.sample;
        for (char& c : name) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        }
        name = std::string(Trim(name));
    }
    main.edit1 = name;
    if (state.record.input == IndexingInput::Table) main.label6 = file;
    main.gridTopRowRequested = 1;
    MakeCurrentCell(main, {0, 1}, true);
    main.currentRow = 1;
    state.mainChanged = true;
    state.showMainRequested = true;
    LookAtInputs(state);
    DescribeInput(state);
    ++state.version;
    if (lines.size() > n) {
        ui.ShowMessage(With(With(kLinesLeftOut.In(lang), "{n}", Count(lines.size())), "{left}",
                            Count(lines.size() - n)));
    }
}

// --- Output ------------------------------------------------------------------------------

std::string IndexingText(const IndexingWindowState& state) {
    std::vector<std::string> lines = {kTitleLine.In(state.UiLang()), state.inputLine,
                                      state.summaryLine, ""};
    auto tabbed = [](const auto& texts) {
        std::string line;
        for (std::size_t c = 0; c < texts.size(); ++c)
            line += (c > 0 ? "\t" : "") + texts[c];
        return line;
    };
    lines.push_back(tabbed(state.candidateCaptions));
    for (const CandidateRow& row : state.rows)
        lines.push_back(tabbed(row.texts));
    if (state.Chosen()) {
        lines.push_back("");
        lines.push_back(state.linesCaption);
        lines.push_back(tabbed(state.lineCaptions));
        for (const LineRow& row : state.lines)
            lines.push_back(tabbed(row.texts));
    }
    return JoinReportLines(lines);
}

std::string IndexingJson(const IndexingWindowState& state) {
    const IndexingRecord& r = state.record;
    const bool pattern = r.input == IndexingInput::Pattern;
    std::string o = "{\n";
    o += "  \"input\": " + JsonString(pattern ? "pattern" : "table") + ",\n";
    o += "  \"source\": " + JsonString(r.source) + ",\n";
    o += "  \"wavelength\": " + JsonNumber(r.wavelength) + ",\n";
    o += "  \"options\": {\"lines\": " + IntText(r.options.lines.count) +
         ", \"tolerance\": " + JsonNumber(r.options.lines.tolerance) + ", \"impurities\": " +
         (r.options.impurities >= 0 ? IntText(r.options.impurities) : "null") +
         ", \"max_volume\": " +
         (r.options.maxVolume > 0 ? JsonNumber(r.options.maxVolume) : std::string("null")) +
         ", \"time_limit\": " +
         (r.options.timeLimit > 0 ? JsonNumber(static_cast<long double>(r.options.timeLimit))
                                  : std::string("null")) +
         ", \"zero_shift\": " + (r.options.refineZero ? "true" : "false") + ", \"systems\": [";
    bool first = true;
    for (int f = 0; f < indexing::kFamilyCount; ++f) {
        if (!r.options.families[static_cast<std::size_t>(f)]) continue;
        o += std::string(first ? "" : ", ") +
             JsonString(indexing::FamilyName(static_cast<Family>(f)));
        first = false;
    }
    o += "]},\n";
    if (state.result) {
        const indexing::SearchSummary& s = state.result->searched;
        o += "  \"lines_searched\": " + IntText(s.linesUsed) + ",\n";
        o += "  \"impurities\": " + IntText(s.impurities) + ",\n";
        o += "  \"stopped\": " + JsonString(s.stopped) + ",\n";
        o += "  \"elapsed_s\": " + JsonNumber(static_cast<long double>(state.result->elapsed)) +
             ",\n";
    }
    o += "  \"candidates\": [";
    for (std::size_t i = 0; i < state.candidates.size(); ++i) {
        const IndexingSolution& s = state.candidates[i].solution;
        const std::string in = "      ";
        o += std::string(i > 0 ? "," : "") + "\n    {\n";
        o += in + "\"rank\": " + (s.rank > 0 ? IntText(s.rank) : "null") + ",\n";
        o += in + "\"system\": " + IntText(s.code) + ",\n";
        o +=
            in + "\"system_name\": " + JsonString(CrystalSystemName(s.code, Lang::English)) + ",\n";
        o += in + "\"bravais\": " + JsonString(s.bravais) + ",\n";
        o += in + "\"centring\": " + JsonString(std::string(1, CentringLetter(s.centring))) + ",\n";
        o += in + "\"cell\": [" + JsonNumber(s.cell.a) + ", " + JsonNumber(s.cell.b) + ", " +
             JsonNumber(s.cell.c) + ", " + JsonNumber(s.cell.alpha) + ", " +
             JsonNumber(s.cell.beta) + ", " + JsonNumber(s.cell.gamma) + "],\n";
        o += in + "\"volume\": " + JsonNumber(s.volume) + ",\n";
        if (s.rhombohedralAxes) {
            const indexing::Cell& c = *s.rhombohedralAxes;
            o += in + "\"rhombohedral_axes\": [" + JsonNumber(c.a) + ", " + JsonNumber(c.b) + ", " +
                 JsonNumber(c.c) + ", " + JsonNumber(c.alpha) + ", " + JsonNumber(c.beta) + ", " +
                 JsonNumber(c.gamma) + "],\n";
        }
        o += in + "\"M\": {\"n\": " + IntText(s.merit.m.n) +
             ", \"value\": " + JsonOptional(s.merit.m.value) + "},\n";
        o += in + "\"F\": {\"n\": " + IntText(s.merit.f.n) +
             ", \"value\": " + JsonOptional(s.merit.f.value) + "},\n";
        o += in + "\"zero\": " + (s.zeroRefined ? JsonNumber(s.zero) : std::string("null")) + ",\n";
        o += in + "\"unindexed\": [";
        for (std::size_t u = 0; u < s.unindexed.size(); ++u)
            o += (u > 0 ? ", " : "") + IntText(NumberOf(r, s.unindexed[u]));
        o += "],\n";
        o += in + "\"extinction_symbols\": [";
        for (std::size_t e = 0; e < s.extinction.size(); ++e)
            o += (e > 0 ? ", " : "") + JsonString(s.extinction[e].symbol);
        o += "],\n";
        o += in + "\"lines\": [";
        if (state.result) {
            const std::vector<CandidateLine> lines = CandidateLines(r, *state.result, s);
            for (std::size_t k = 0; k < lines.size(); ++k) {
                const CandidateLine& l = lines[k];
                o += std::string(k > 0 ? "," : "") + "\n" + in +
                     "  {\"number\": " + IntText(l.number) +
                     ", \"two_theta\": " + JsonNumber(l.twoTheta) + ", \"d\": " + JsonNumber(l.d) +
                     ", \"searched\": " + (l.searched ? "true" : "false");
                if (l.indexed) {
                    o += ", \"h\": " + IntText(l.hkl[0]) + ", \"k\": " + IntText(l.hkl[1]) +
                         ", \"l\": " + IntText(l.hkl[2]) +
                         ", \"two_theta_calc\": " + JsonNumber(l.twoThetaCalc) +
                         ", \"delta\": " + JsonNumber(l.delta);
                } else {
                    o += ", \"h\": null, \"k\": null, \"l\": null, \"two_theta_calc\": null, "
                         "\"delta\": null";
                }
                o += "}";
            }
            if (!lines.empty()) o += "\n" + in;
        }
        o += "]\n    }";
    }
    o += state.candidates.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return o;
}

void CopyIndexingClick(IndexingWindowState& state, Ui& ui) {
    if (RefuseWithoutCandidate(state, ui)) return;
    ui.SetClipboardText(IndexingText(state));
}

namespace {

// The name a save dialog proposes: the pattern's or the sample's, with "-indexing".
std::string ProposedName(const IndexingWindowState& state, const char* extension) {
    std::string stem;
    if (state.record.input == IndexingInput::Pattern && state.pattern &&
        !state.pattern->path.empty()) {
        const std::string& path = state.pattern->path;
        const std::size_t slash = path.find_last_of('/');
        const std::size_t dot = path.find_last_of('.');
        stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                   ? path.substr(0, dot)
                   : path;
    } else {
        stem = std::string(Trim(state.main.edit1));
        for (char& c : stem) {
            if (c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
        }
    }
    return (stem.empty() ? std::string("indexing") : stem + "-indexing") + extension;
}

}  // namespace

void SaveIndexingTextClick(IndexingWindowState& state, Ui& ui) {
    if (RefuseWithoutCandidate(state, ui)) return;
    const Lang lang = state.UiLang();
    const std::string path =
        ui.SaveFileName({indexing_window_text::kSaveTextTitle.In(lang), kFilterText.In(lang),
                         "*.txt", "txt", ProposedName(state, ".txt")});
    if (path.empty()) return;
    WriteFileAtomically(path, IndexingText(state), lang);
}

void SaveIndexingJsonClick(IndexingWindowState& state, Ui& ui) {
    if (RefuseWithoutCandidate(state, ui)) return;
    const Lang lang = state.UiLang();
    const std::string path = ui.SaveFileName({indexing_window_text::kSaveJsonTitle.In(lang), "JSON",
                                              "*.json", "json", ProposedName(state, ".json")});
    if (path.empty()) return;
    WriteFileAtomically(path, IndexingJson(state), lang);
}

void CloseIndexingClick(IndexingWindowState& state, Ui& ui) {
    CancelIndexingClick(state, ui);
    state.closeRequested = true;
}

}  // namespace dorvalix
