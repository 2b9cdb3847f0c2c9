// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern_window_commands.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "atomic_file.h"
#include "calculation.h"
#include "csv_writer.h"
#include "fitted_curve.h"
#include "hkl_window_commands.h"
#include "main_commands.h"
#include "numtext.h"
#include "observation_file.h"
#include "pattern_reader.h"
#include "results_report.h"
#include "table_sort.h"
#include "xray_lines.h"

namespace dorvalix {

namespace {

struct CaptionEntry {
    const char* name;
    Text text;
};

constexpr CaptionEntry kCaptions[kPatternControlCount] = {
    {"TForm11", {"Pattern", "回折パターン"}},
    {"OptionsBox", {"Options", "条件"}},
    {"ScanLabel", {"Scan", "スキャン"}},
    {"WavelengthLabel", {"Wavelength", "波長"}},
    {"WavelengthFromFile", {"as the file states", "ファイルの値"}},
    {"WavelengthNotStated", {"not stated: choose one", "記載なし: 選んでください"}},
    {"TypedWavelength", {"typed value", "入力値"}},
    {"UseWavelengthButton",
     {"Use λ₁ in hkl Table and Details", "λ₁ を h,k,l 表と精密化の詳細に使う"}},
    {"BackgroundLabel", {"Background width (°)", "バックグラウンド幅 (°)"}},
    {"SignificanceLabel", {"Significance (σ)", "有意水準 (σ)"}},
    {"ScaleLabel", {"Intensity", "強度"}},
    {"ShowBackground", {"Background", "バックグラウンド"}},
    {"ShowProfiles", {"Fitted profiles", "フィットしたプロファイル"}},
    {"ShowTicks", {"Tick marks", "反射位置"}},
    {"PlotHint",
     {"Click: add a peak   Right button: remove a peak   Drag: zoom   Shift+drag or middle "
      "button: pan   Wheel: zoom 2θ",
      "クリック: ピークを追加　右ボタン: ピークを削除　ドラッグ: 拡大　Shift+ドラッグか中ボタン: "
      "移動　ホイール: 2θ の拡大縮小"}},
    {"FullViewButton", {"Full View", "全体を表示"}},
    {"PeaksLabel",
     {"Peaks (click a column header to sort)", "ピーク（列見出しのクリックで並べ替え）"}},
    {"RemovePeakButton", {"Remove Peak", "ピークを削除"}},
    {"CopyButton", {"Copy", "コピー"}},
    {"CsvButton", {"Save CSV...", "CSV で保存..."}},
    {"SendButton", {"Send Peaks to Table", "ピークを表に送る"}},
    {"OpenButton", {"Open Pattern...", "回折パターンを開く..."}},
    {"CloseButton", {"Close", "閉じる"}},
    {"EmptyNote",
     {"No pattern: open a diffractometer file (File, Open Pattern..., or drop it on the main "
      "window).",
      "回折パターンがありません。回折計のファイルを開いてください（ファイルの「回折パターンを"
      "開く...」、またはメイン画面にドロップ）。"}},
    {"NoWavelengthNote",
     {"The file states no wavelength: choose the X-ray line the pattern was measured with. "
      "Nothing is assumed.",
      "ファイルに波長が書かれていません。測定に使った X 線を選んでください。波長は仮定しません。"}},
    {"RemovePeakItem", {"Remove This Peak", "このピークを削除"}},
    {"WavelengthTitle", {"Wavelength of the Pattern", "回折パターンの波長"}},
    {"WavelengthPrompt",
     {"The file states no wavelength. Choose the X-ray line the pattern was measured with: a Ka "
      "line is the Kα1/Kα2 doublet (their ratio refined), a Ka1 line or a typed value a single "
      "line.",
      "ファイルに波長が書かれていません。測定に使った X 線を選んでください。Ka は Kα1/Kα2 の"
      "二重線（強度比を精密化）、Ka1 と入力値は単一の線です。"}},
};

constexpr Text kColumnCaptions[kPeakColumns] = {
    {"No.", "番号"},    {"2θ (°)", "2θ (°)"},       {"s.u. (°)", "標準不確かさ (°)"},
    {"d (Å)", "d (Å)"}, {"FWHM (°)", "半値幅 (°)"}, {"Height", "高さ"},
    {"hkl", "hkl"},
};

constexpr Text kScaleCaptions[3] = {
    {"linear", "線形"}, {"square root", "平方根"}, {"logarithmic", "対数"}};
constexpr Text kYTitles[3] = {{"Counts", "強度（カウント）"},
                              {"Counts (square-root scale)", "強度（平方根目盛）"},
                              {"Counts (log scale)", "強度（対数目盛）"}};
constexpr Text kXTitle = {"2θ (°)", "2θ (°)"};
constexpr Text kFilterName = {"Diffraction patterns", "回折パターン"};
constexpr Text kDTitle = {"d (Å)", "d (Å)"};

// {name} ... are replaced by their values.
constexpr Text kFileLine = {
    "{file} ({format}), scan {scan} of {scans}: {points} points, 2θ {from}° "
    "to {to}°",
    "{file}（{format}）、スキャン {scan}/{scans}: {points} 点、2θ {from}° "
    "から {to}°"};
constexpr Text kSampleLine = {"  Sample: {sample}", "　試料: {sample}"};
constexpr Text kDoubletLine = {"Kα1 {ka1} Å, Kα2 {ka2} Å, Kα2/Kα1 {ratio} {refined}",
                               "Kα1 {ka1} Å、Kα2 {ka2} Å、Kα2/Kα1 {ratio} {refined}"};
constexpr Text kRatioRefined = {"(refined)", "（精密化）"};
constexpr Text kRatioFixed = {"(not refined: no resolved doublet)", "（分離した二重線がなく固定）"};
constexpr Text kSingleLine = {"λ {ka1} Å, a single line", "λ {ka1} Å、単一の線"};
constexpr Text kFromFile = {", from the file", "、ファイルの値"};
constexpr Text kChosen = {", as chosen", "、選んだ値"};
constexpr Text kPeakCount = {"; {n} peaks (background {width}°, significance {sig})",
                             "。ピーク {n} 本（バックグラウンド幅 {width}°、有意水準 {sig}）"};
constexpr Text kTickLine = {
    "Tick marks: {source}, a = {a} b = {b} c = {c} Å, α = {alpha} β = {beta} γ = {gamma}°, "
    "lattice {lattice}: {n} positions; {explained} of {peaks} peaks explained",
    "反射位置: {source}、a = {a} b = {b} c = {c} Å、α = {alpha} β = {beta} γ = {gamma}°、"
    "格子 {lattice}: {n} か所、ピーク {peaks} 本のうち {explained} 本を説明"};
constexpr Text kNoTicks = {"No tick marks: {why}", "反射位置なし: {why}"};
constexpr Text kRefinedSource = {"refined cell", "精密化した格子定数"};
constexpr Text kHklSource = {"cell of the hkl table", "h,k,l 表の格子定数"};
constexpr Text kGivenSource = {"given cell", "指定された格子定数"};
constexpr Text kNoReflections = {"no reflection lies in the pattern's range",
                                 "パターンの範囲に反射がありません"};
constexpr Text kTooManyTicks = {"more than 20000 reflections lie in the pattern's range",
                                "パターンの範囲に反射が 20000 本を超えてあります"};
constexpr Text kPeakTip = {"Peak {n}: 2θ = {tt}°, d = {d} Å, FWHM {fwhm}°, height {height}",
                           "ピーク {n}: 2θ = {tt}°、d = {d} Å、半値幅 {fwhm}°、高さ {height}"};
constexpr Text kNoPeakThere = {"No peak can be fitted at 2θ = {x}°",
                               "2θ = {x}° にはピークをフィットできません"};

// At most this many reflections are marked: more could not be told apart on a plot.
constexpr std::size_t kMaxTicks = 20000;
// The indices a tick's tooltip lists before it says how many more it has.
constexpr std::size_t kTipIndices = 8;

std::string Fixed(long double v, int decimals) {
    return std::isfinite(v) ? FormatFixed(v, decimals, 15) : std::string("-");
}

// An angle of the scan's range: at most four decimals.
std::string AngleText(double v) {
    return FormatGeneral(std::round(static_cast<long double>(v) * 1e4L) / 1e4L);
}

std::string LatticeText(Centring c) {
    return std::string(1, CentringLetter(c));
}

const std::vector<FittedPeak> kNoPeaks;

// Runs `work` as long work titled `title`; false when the user cancelled.
bool LongWork(const PatternWindowState& state, Ui& ui, const Text& title,
              const std::function<void(const Ui::ProgressReport&)>& work) {
    const Lang lang = state.UiLang();
    return ui.RunCancellable(title.In(lang), pattern_window_text::kCancel.In(lang), work);
}

// --- The background and the peaks ----------------------------------------------------------

// The background and, when the lines are known, the peaks of `scan` for `settings`, over
// `background` when it belongs to the scan. A cancelled step marks the result cancelled.
ScanPeaks Analyse(const Scan& scan, const Wavelengths& lines, const PeakSettings& settings,
                  std::vector<double> background, const Ui::ProgressReport& report) {
    if (lines.Known()) return FindPeaks(scan, lines, settings, std::move(background), report);
    // Without the lines only the background is shown: no peak is fitted on an assumed λ.
    ScanPeaks out;
    out.significance = settings.significance;
    out.typicalWidth = TypicalPeakWidth(scan);
    if (!(out.typicalWidth > 0)) out.typicalWidth = 5 * MeanStep(scan);
    out.backgroundWidth = settings.backgroundWidth > 0
                              ? settings.backgroundWidth
                              : DefaultBackgroundWidth(scan, out.typicalWidth);
    out.background = background.size() == scan.Size()
                         ? std::move(background)
                         : ScanBackground(scan, out.backgroundWidth, report);
    out.cancelled = out.background.size() != scan.Size() || !Report(report, 1);
    return out;
}

// The lines of a file as the fit takes them: a doublet without its ratio starts from 0.5.
Wavelengths FileLines(const Pattern& pattern) {
    Wavelengths lines = pattern.wavelength;
    if (lines.ka2 > 0 && !(lines.ratio > 0)) lines.ratio = kStartRatio;
    return lines;
}

// --- Tick marks ----------------------------------------------------------------------------

std::string CellNumber(long double v) {
    return FormatGeneral(std::round(v * 1e5L) / 1e5L);
}

// The reciprocal metric G* of a cell (Å and degrees), the inverse of the direct metric G.
std::array<std::array<long double, 3>, 3> ReciprocalMetric(const TickCell& cell) {
    constexpr long double kRadian = std::numbers::pi_v<long double> / 180;
    const long double ca = std::cos(cell.alpha * kRadian);
    const long double cb = std::cos(cell.beta * kRadian);
    const long double cg = std::cos(cell.gamma * kRadian);
    const long double g[3][3] = {{cell.a * cell.a, cell.a * cell.b * cg, cell.a * cell.c * cb},
                                 {cell.a * cell.b * cg, cell.b * cell.b, cell.b * cell.c * ca},
                                 {cell.a * cell.c * cb, cell.b * cell.c * ca, cell.c * cell.c}};
    const long double det = g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
                            g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
                            g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
    std::array<std::array<long double, 3>, 3> inv{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            // The cofactor of g[c][r] over the determinant.
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inv[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                (g[r1][c1] * g[r2][c2] - g[r1][c2] * g[r2][c1]) / det;
        }
    }
    return inv;
}

std::string TickTip(const PatternTick& tick) {
    std::string tip;
    for (std::size_t i = 0; i < tick.hkl.size() && i < kTipIndices; ++i) {
        const auto& [h, k, l] = tick.hkl[i];
        tip += IntText(h) + " " + IntText(k) + " " + IntText(l) + "\n";
    }
    if (tick.hkl.size() > kTipIndices)
        tip += "(+" + IntText(static_cast<long long>(tick.hkl.size() - kTipIndices)) + ")\n";
    tip += "d = " + Fixed(tick.d, 5) +
           " Å\n2θ = " + Fixed(static_cast<long double>(tick.twoTheta), 4) + "°";
    return tip;
}

std::string HklText(const PatternTick& tick) {
    std::string text;
    for (std::size_t i = 0; i < tick.hkl.size() && i < 2; ++i) {
        const auto& [h, k, l] = tick.hkl[i];
        text += (i > 0 ? " / " : "") + IntText(h) + " " + IntText(k) + " " + IntText(l);
    }
    if (tick.hkl.size() > 2) text += " …";
    return text;
}

// The tick marks of the cell in force, for the lines and the scan shown.
void ComputeTicks(PatternWindowState& state) {
    state.ticks.clear();
    state.tickLine.clear();
    const Scan* scan = state.CurrentScan();
    if (!state.tickCell || !scan || !state.lines.Known()) return;
    std::string refusal;
    state.ticks = TicksOf(*state.tickCell, state.lines.ka1, scan->twoTheta.front(),
                          scan->twoTheta.back(), state.UiLang(), refusal);
    if (state.ticks.empty() && refusal.empty()) refusal = kNoReflections.In(state.UiLang());
    if (!refusal.empty()) state.tickLine = With(kNoTicks.In(state.UiLang()), "{why}", refusal);
}

// A cell as a TickCell, or nothing when there is none.
std::optional<TickCell> RefinedCell(const MainState& main) {
    if (!ResultDescribesTable(main.calc)) return std::nullopt;
    const CellParameters& d = main.calc.result.direct;
    if (!(d.a > 0)) return std::nullopt;
    return TickCell{
        d.a, d.b, d.c, d.alpha, d.beta, d.gamma, main.calc.crystalSystem, main.settings.lattice,
        ""};
}

std::optional<TickCell> HklWindowCell(const PatternWindowState& state) {
    if (!state.hkl) return std::nullopt;
    const HklCell& c = state.hkl->cell;
    if (!(c.a > 0)) return std::nullopt;
    return TickCell{c.a,
                    c.b,
                    c.c,
                    c.alpha_degrees,
                    c.beta_degrees,
                    c.gamma_degrees,
                    state.main.calc.crystalSystem,
                    state.main.settings.lattice,
                    ""};
}

// The same lengths and angles, to the five decimals a cell is typed with.
bool SameCell(const TickCell& x, const TickCell& y) {
    const long double a[6] = {x.a, x.b, x.c, x.alpha, x.beta, x.gamma};
    const long double b[6] = {y.a, y.b, y.c, y.alpha, y.beta, y.gamma};
    for (int i = 0; i < 6; ++i) {
        if (std::fabs(a[i] - b[i]) > 5e-6L * std::max(1.0L, std::fabs(a[i]))) return false;
    }
    return true;
}

// --- What the window shows -------------------------------------------------------------------

void ApplyCaptions(PatternWindowState& state) {
    const Lang lang = state.UiLang();
    for (int i = 0; i < kPatternControlCount; ++i)
        state.captions[static_cast<std::size_t>(i)] = kCaptions[i].text.In(lang);
    for (int i = 0; i < kPeakColumns; ++i)
        state.columnCaptions[static_cast<std::size_t>(i)] = kColumnCaptions[i].In(lang);
    for (std::size_t i = 0; i < state.scaleCaptions.size(); ++i)
        state.scaleCaptions[i] = kScaleCaptions[i].In(lang);
    for (std::size_t i = 0; i < state.presetCaptions.size(); ++i) {
        const XrayLine& line = kXrayLines[i];
        state.presetCaptions[i] =
            std::string(line.name) + "  " +
            (line.ka2 > 0 ? "Kα1 " + FormatGeneral(line.ka1) + " + Kα2 " + FormatGeneral(line.ka2)
                          : FormatGeneral(line.ka1)) +
            " Å";
    }
    state.xTitle = kXTitle.In(lang);
    state.dTitle = kDTitle.In(lang);
    state.yTitle = kYTitles[static_cast<int>(state.scale)].In(lang);
}

std::string LinesLine(const PatternWindowState& state) {
    const Lang lang = state.UiLang();
    const Wavelengths& w = state.lines;
    if (!w.Known()) return state.Caption(PatternControl::NoWavelengthNote);
    std::string line;
    if (w.IsDoublet()) {
        const bool refined = state.found && state.found->ratio.refined;
        const long double ratio = state.found ? state.found->ratio.ratio : w.ratio;
        line = With(With(With(With(kDoubletLine.In(lang), "{ka1}", FormatGeneral(w.ka1)), "{ka2}",
                              FormatGeneral(w.ka2)),
                         "{ratio}", Fixed(ratio, 3)),
                    "{refined}", (refined ? kRatioRefined : kRatioFixed).In(lang));
    } else {
        line = With(kSingleLine.In(lang), "{ka1}", FormatGeneral(w.ka1));
    }
    line += (state.wavelengthChoice == -1 ? kFromFile : kChosen).In(lang);
    if (state.found) {
        line += With(With(With(kPeakCount.In(lang), "{n}",
                               IntText(static_cast<long long>(state.found->peaks.size()))),
                          "{width}", Fixed(state.found->backgroundWidth, 3)),
                     "{sig}", FormatGeneral(state.found->significance));
    }
    return line;
}

// The nearest tick within half the peak's FWHM (at least 3 s.u.), or nullptr: a tick under
// the top half of the peak. A measurement's zero shift or sample displacement moves every
// peak by a few hundredths of a degree from the ticks of a cell refined elsewhere.
const PatternTick* ExplainingTick(const PatternWindowState& state, const FittedPeak& p) {
    if (!state.showTicks || state.ticks.empty()) return nullptr;
    long double tolerance = p.fwhm / 2;
    if (std::isfinite(p.twoThetaSu)) tolerance = std::max(tolerance, 3 * p.twoThetaSu);
    const auto at = static_cast<double>(p.twoTheta);
    const auto it = std::lower_bound(state.ticks.begin(), state.ticks.end(), at,
                                     [](const PatternTick& t, double x) { return t.twoTheta < x; });
    const PatternTick* best = nullptr;
    for (auto candidate : {it, it == state.ticks.begin() ? it : it - 1}) {
        if (candidate == state.ticks.end()) continue;
        const long double distance = std::fabs(static_cast<long double>(candidate->twoTheta) - at);
        if (distance <= tolerance &&
            (!best || distance < std::fabs(static_cast<long double>(best->twoTheta) - at)))
            best = &*candidate;
    }
    return best;
}

// Keys ascending with the rows without a value last, the peaks' order among equals.
void ApplySort(PatternWindowState& state) {
    const std::optional<std::size_t> column =
        state.sortColumn ? std::optional<std::size_t>(static_cast<std::size_t>(*state.sortColumn))
                         : std::nullopt;
    SortTableRows(state.rows, column, state.sortAscending, [](const PeakRow& r) { return r.peak; });
}

// Everything shown from the pattern, the peaks and the ticks; the window is told.
void Present(PatternWindowState& state) {
    const Lang lang = state.UiLang();
    ++state.version;
    state.shownLang = lang;
    state.yTitle = kYTitles[static_cast<int>(state.scale)].In(lang);
    state.rows.clear();
    state.marks.clear();
    state.profile.clear();
    state.fileLine.clear();
    state.notesText.clear();
    state.linesLine.clear();
    const Scan* scan = state.CurrentScan();
    if (!scan) return;
    const Pattern& pattern = *state.pattern;
    state.fileLine =
        With(With(With(With(With(With(kFileLine.In(lang), "{file}", FileNameOf(state.path)),
                                 "{format}", pattern.format),
                            "{scans}", IntText(static_cast<long long>(pattern.scans.size()))),
                       "{scan}", IntText(static_cast<long long>(state.scan + 1))),
                  "{points}", IntText(static_cast<long long>(scan->Size()))),
             "{from}", AngleText(scan->twoTheta.front()));
    state.fileLine = With(state.fileLine, "{to}", AngleText(scan->twoTheta.back()));
    if (!pattern.sampleName.empty())
        state.fileLine += With(kSampleLine.In(lang), "{sample}", pattern.sampleName);
    for (const std::string& note : pattern.notes)
        state.notesText += (state.notesText.empty() ? "" : "\n") + note;
    state.linesLine = LinesLine(state);

    const std::vector<FittedPeak>& peaks = state.Peaks();
    std::size_t explained = 0;
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        const FittedPeak& p = peaks[k];
        const PatternTick* tick = ExplainingTick(state, p);
        if (tick) ++explained;
        PeakMark mark;
        mark.twoTheta = static_cast<double>(p.twoTheta);
        // Above the counts: a Kα2 line or a neighbour adds to the fitted height.
        const std::size_t i = std::min(LowerIndex(*scan, mark.twoTheta), scan->Size() - 1);
        mark.top = state.found->background[i] + static_cast<double>(p.height);
        const auto half = static_cast<double>(p.fwhm) / 2;
        for (std::size_t j = LowerIndex(*scan, mark.twoTheta - half);
             j < scan->Size() && scan->twoTheta[j] <= mark.twoTheta + half; ++j)
            mark.top = std::max(mark.top, scan->counts[j]);
        mark.explained = tick != nullptr;
        mark.tip = With(
            With(With(With(With(kPeakTip.In(lang), "{n}", IntText(static_cast<long long>(k + 1))),
                           "{tt}", Fixed(p.twoTheta, 4)),
                      "{d}", Fixed(p.d, 5)),
                 "{fwhm}", Fixed(p.fwhm, 4)),
            "{height}", Fixed(p.height, 0));
        if (tick) mark.tip += "\nhkl " + HklText(*tick);
        state.marks.push_back(std::move(mark));

        PeakRow row;
        row.peak = k;
        const std::optional<long double> keys[kPeakColumns] = {
            static_cast<long double>(k + 1),
            p.twoTheta,
            std::isfinite(p.twoThetaSu) ? std::optional<long double>(p.twoThetaSu) : std::nullopt,
            p.d,
            p.fwhm,
            p.height,
            std::nullopt};
        const std::string texts[kPeakColumns] = {IntText(static_cast<long long>(k + 1)),
                                                 Fixed(p.twoTheta, 5),
                                                 Fixed(p.twoThetaSu, 5),
                                                 Fixed(p.d, 6),
                                                 Fixed(p.fwhm, 4),
                                                 Fixed(p.height, 1),
                                                 tick ? HklText(*tick) : std::string()};
        for (std::size_t c = 0; c < kPeakColumns; ++c) {
            row.keys[c] = keys[c];
            row.texts[c] = texts[c];
        }
        state.rows.push_back(std::move(row));
    }
    ApplySort(state);
    if (state.showProfiles && state.found && state.lines.Known())
        state.profile = FittedCurve(*scan, *state.found, peaks);

    if (state.tickCell && !state.ticks.empty()) {
        const TickCell& c = *state.tickCell;
        const Text& source = state.tickSource == TickSource::Refined     ? kRefinedSource
                             : state.tickSource == TickSource::HklWindow ? kHklSource
                                                                         : kGivenSource;
        std::string line = kTickLine.In(lang);
        line = With(line, "{source}", c.label.empty() ? source.In(lang) : c.label);
        const std::pair<const char*, long double> values[] = {
            {"{alpha}", c.alpha}, {"{beta}", c.beta}, {"{gamma}", c.gamma},
            {"{a}", c.a},         {"{b}", c.b},       {"{c}", c.c}};
        for (const auto& [key, value] : values)
            line = With(line, key, CellNumber(value));
        line = With(line, "{lattice}", LatticeText(c.centring));
        line = With(line, "{n}", IntText(static_cast<long long>(state.ticks.size())));
        line = With(line, "{explained}", IntText(static_cast<long long>(explained)));
        state.tickLine = With(line, "{peaks}", IntText(static_cast<long long>(peaks.size())));
    }
}

// The tick marks anew, then everything shown.
void Refresh(PatternWindowState& state) {
    ComputeTicks(state);
    Present(state);
}

bool RefuseWithoutPattern(const PatternWindowState& state, Ui& ui) {
    if (state.CurrentScan()) return false;
    ui.ShowMessage(pattern_window_text::kNoPattern.In(state.UiLang()));
    return true;
}

bool RefuseWithoutLines(const PatternWindowState& state, Ui& ui) {
    if (RefuseWithoutPattern(state, ui)) return true;
    if (state.lines.Known() && state.found) return false;
    ui.ShowMessage(pattern_window_text::kChooseWavelength.In(state.UiLang()));
    return true;
}

bool RefuseWithoutPeaks(const PatternWindowState& state, Ui& ui) {
    if (!state.Peaks().empty()) return false;
    ui.ShowMessage(pattern_window_text::kNoPeaks.In(state.UiLang()));
    return true;
}

// The scan, lines and settings become those of the window once their background and peaks
// are computed; a cancelled computation leaves everything as it was. Returns false then.
bool Reanalyse(PatternWindowState& state, Ui& ui, std::size_t scanIndex, const Wavelengths& lines,
               const PeakSettings& settings, bool keepBackground) {
    const std::shared_ptr<const Pattern> pattern = state.pattern;
    if (!pattern || scanIndex >= pattern->scans.size()) return false;
    const Scan& scan = pattern->scans[scanIndex];
    std::vector<double> background;
    if (keepBackground && state.found && scanIndex == state.scan)
        background = state.found->background;
    ScanPeaks result;
    const bool done =
        LongWork(state, ui, pattern_window_text::kFinding, [&](const Ui::ProgressReport& report) {
            result = Analyse(scan, lines, settings, std::move(background), report);
        });
    if (!done || result.cancelled) return false;
    state.scan = scanIndex;
    state.lines = lines;
    state.settings = settings;
    state.found = std::make_shared<const ScanPeaks>(std::move(result));
    state.backgroundText = state.settings.backgroundWidth > 0
                               ? FormatGeneral(state.settings.backgroundWidth)
                               : Fixed(state.found->backgroundWidth, 3);
    state.significanceText = FormatGeneral(state.settings.significance);
    Refresh(state);
    return true;
}

// The peaks replaced by `peaks`, the rest of what was found kept.
void ReplacePeaks(PatternWindowState& state, std::vector<FittedPeak> peaks) {
    auto found = std::make_shared<ScanPeaks>(*state.found);
    found->peaks = std::move(peaks);
    state.found = std::move(found);
    Present(state);
}

// Any text in a d or index cell, typed since the last count too.
bool TableHoldsData(const ObservationTable& table) {
    for (int r = 1; r <= kMaxObservations; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!Trim(table.Cell(c, r)).empty()) return true;
        }
    }
    return false;
}

std::string Stem(const std::string& path) {
    std::string name = FileNameOf(path);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

}  // namespace

namespace pattern_window_text {
const Text kNoPattern = {"Open a pattern first", "先に回折パターンを開いてください"};
const Text kChooseWavelength = {"Choose the wavelength the pattern was measured with first",
                                "先に測定に使った波長を選んでください"};
const Text kNoPeaks = {"No peaks", "ピークがありません"};
const Text kReplaceTable = {"The table holds data: replace it with the peaks?",
                            "表にデータがあります。ピークで置き換えてよろしいですか"};
const Text kPeaksLeftOut = {
    "{n} peaks, and the table holds 300 rows: the {left} peaks of the highest 2θ were left out",
    "ピークは {n} 本ですが、表は 300 行までです。2θ の大きい {left} 本は入れていません"};
const Text kBadBackgroundWidth = {
    "Give the background width in degrees 2θ, a number above 0 (empty: chosen from the "
    "pattern)",
    "バックグラウンド幅は 0 より大きい 2θ の度数で入力してください（空欄: パターンから決めます）"};
const Text kBadSignificance = {"Give the significance in standard deviations, a number above 0",
                               "有意水準は 0 より大きい数（標準偏差の倍数）で入力してください"};
const Text kWavelengthUsed = {
    "The hkl table and the refinement details now use λ = {wavelength} Å, Kα1 of the pattern",
    "h,k,l 表と精密化の詳細の波長を λ = {wavelength} Å（パターンの Kα1）にしました"};
const Text kOpenTitle = {"Open Pattern", "回折パターンを開く"};
const Text kSaveCsvTitle = {"Save Peaks as CSV", "ピークを CSV で保存"};
const Text kReading = {"Reading the pattern...", "回折パターンを読み込んでいます..."};
const Text kFinding = {"Background, peak search and fit...",
                       "バックグラウンド、ピーク探索とフィット..."};
const Text kFitting = {"Fitting the peaks...", "ピークをフィットしています..."};
const Text kCancel = {"Cancel", "キャンセル"};
}  // namespace pattern_window_text

const char* PatternControlName(PatternControl control) {
    return kCaptions[static_cast<int>(control)].name;
}

const char* PatternCaption(PatternControl control, Lang lang) {
    return kCaptions[static_cast<int>(control)].text.In(lang);
}

const char* PeakColumnCaption(PeakColumn column, Lang lang) {
    return kColumnCaptions[static_cast<int>(column)].In(lang);
}

char PatternMnemonic(PatternControl control) {
    switch (control) {
        case PatternControl::ScanLabel:
            return 'S';
        case PatternControl::WavelengthLabel:
            return 'W';
        case PatternControl::UseWavelengthButton:
            return 'U';
        case PatternControl::BackgroundLabel:
            return 'd';
        case PatternControl::SignificanceLabel:
            return 'g';
        case PatternControl::ScaleLabel:
            return 'I';
        case PatternControl::ShowBackground:
            return 'B';
        case PatternControl::ShowProfiles:
            return 'p';
        case PatternControl::ShowTicks:
            return 'k';
        case PatternControl::FullViewButton:
            return 'F';
        case PatternControl::RemovePeakButton:
            return 'R';
        case PatternControl::CopyButton:
            return 'C';
        case PatternControl::CsvButton:
            return 'V';
        case PatternControl::SendButton:
            return 'T';
        case PatternControl::OpenButton:
            return 'O';
        case PatternControl::CloseButton:
            return 'l';
        default:
            return 0;
    }
}

bool IsPatternFileName(const std::string& path) {
    const std::string name = Lower(FileNameOf(path));
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    const std::string extension = name.substr(dot + 1);
    for (const char* known :
         {"xrdml", "raw", "brml", "ras", "rasx", "xy", "xye", "gsa", "gss", "gsas", "fxye"}) {
        if (extension == known) return true;
    }
    return false;
}

const std::vector<FittedPeak>& PatternWindowState::Peaks() const {
    return found ? found->peaks : kNoPeaks;
}

// --- The main window's side -------------------------------------------------------------

void OpenPattern1Click(MainState&, Ui& ui) {
    ui.ShowWindow(SecondaryWindow::TForm11);
}

// --- Opening, reading, following ----------------------------------------------------------

void OpenPatternClick(PatternWindowState& state, Ui& ui) {
    ApplyCaptions(state);
    const Lang lang = state.UiLang();
    const std::string path =
        ui.OpenFileName({pattern_window_text::kOpenTitle.In(lang), kFilterName.In(lang),
                         kPatternFilePatterns, "", state.path});
    if (path.empty()) return;
    OpenPatternFile(state, ui, path);
}

void OpenPatternFile(PatternWindowState& state, Ui& ui, const std::string& path) {
    ApplyCaptions(state);
    const Lang lang = state.UiLang();
    // The file and its first scan's background and peaks as one piece of work: a file that
    // cannot be read, or a cancel, leaves the window as it was.
    std::shared_ptr<Pattern> pattern;
    Wavelengths lines;
    ScanPeaks result;
    PeakSettings settings = state.settings;
    settings.backgroundWidth = 0;  // another file: the background's width chosen from it
    const bool done =
        LongWork(state, ui, pattern_window_text::kReading, [&](const Ui::ProgressReport& report) {
            pattern = std::make_shared<Pattern>(ReadPatternFile(path, lang));
            if (!Report(report, 0.1)) return;
            // Nothing is assumed of a file that states no wavelength.
            if (pattern->wavelength.Known()) lines = FileLines(*pattern);
            result = Analyse(pattern->scans.front(), lines, settings, {},
                             [&report](double f) { return Report(report, 0.1 + 0.9 * f); });
            if (!Report(report, 1)) result.cancelled = true;
        });
    if (!done || !pattern || result.cancelled) return;
    state.path = path;
    state.pattern = std::move(pattern);
    state.scan = 0;
    state.lines = lines;
    state.wavelengthChoice = lines.Known() ? -1 : -2;
    state.wavelengthText.clear();
    state.settings = settings;
    state.found = std::make_shared<const ScanPeaks>(std::move(result));
    state.backgroundText = Fixed(state.found->backgroundWidth, 3);
    state.significanceText = FormatGeneral(state.settings.significance);
    state.sortColumn.reset();
    state.sortAscending = true;
    state.wavelengthRequested = !lines.Known();
    state.raiseRequested = true;
    state.closeRequested = false;
    Refresh(state);
}

void FollowMainWindow(PatternWindowState& state) {
    ApplyCaptions(state);
    const std::optional<TickCell> refined = RefinedCell(state.main);
    std::optional<TickCell> hkl = HklWindowCell(state);
    const bool refinedNew =
        refined && (!state.refinedSeen || !SameCell(*refined, *state.refinedSeen));
    // The hkl window opens on the refined cell: that is no other cell.
    const bool hklNew = hkl && (!state.hklSeen || !SameCell(*hkl, *state.hklSeen)) &&
                        !(refined && SameCell(*hkl, *refined));
    state.refinedSeen = refined;
    state.hklSeen = hkl;
    bool changed = false;
    auto take = [&](TickSource source, const std::optional<TickCell>& cell) {
        if (cell == state.tickCell && source == state.tickSource) return;
        state.tickSource = cell ? source : TickSource::None;
        state.tickCell = cell;
        changed = true;
    };
    if (refinedNew) {
        take(TickSource::Refined, refined);
    } else if (hklNew) {
        take(TickSource::HklWindow, hkl);
    } else if (state.tickSource == TickSource::Refined) {
        take(TickSource::Refined, refined);  // gone with the result, or another centring
    } else if (state.tickSource == TickSource::HklWindow) {
        take(TickSource::HklWindow, hkl);
    }
    if (changed) {
        Refresh(state);
    } else if (state.shownLang != state.UiLang()) {
        Refresh(state);  // the texts of the rows, ticks and lines are in the language
    }
}

// --- Options -----------------------------------------------------------------------------

void ChooseScan(PatternWindowState& state, Ui& ui, std::size_t scan) {
    if (RefuseWithoutPattern(state, ui) || scan == state.scan) return;
    PeakSettings settings = state.settings;
    settings.backgroundWidth = 0;
    Reanalyse(state, ui, scan, state.lines, settings, false);
}

void ChoosePatternWavelength(PatternWindowState& state, Ui& ui, int choice) {
    if (RefuseWithoutPattern(state, ui)) return;
    Wavelengths lines;
    if (choice == -1) {
        if (!state.pattern->wavelength.Known()) return;
        lines = FileLines(*state.pattern);
    } else if (choice >= 0 && choice < static_cast<int>(kXrayLines.size())) {
        lines = WavelengthsOf(kXrayLines[static_cast<std::size_t>(choice)]);
    } else {
        return;
    }
    if (Reanalyse(state, ui, state.scan, lines, state.settings, true)) {
        state.wavelengthChoice = choice;
        state.wavelengthText.clear();
        state.wavelengthRequested = false;
        Present(state);  // the lines' line names where they come from
    }
}

void TypePatternWavelength(PatternWindowState& state, Ui& ui, const std::string& text) {
    if (RefuseWithoutPattern(state, ui)) return;
    long double wavelength = 0;
    if (!TryParseReal(text, wavelength)) wavelength = 0;  // refused as any number outside
    if (const HklRefusal refusal = CheckWavelength(wavelength)) {
        ui.ShowMessage(refusal->In(state.UiLang()));
        ++state.version;  // the field shows the wavelength in force again
        return;
    }
    if (Reanalyse(state, ui, state.scan, SingleLine(wavelength), state.settings, true)) {
        state.wavelengthChoice = static_cast<int>(kXrayLines.size());
        state.wavelengthText = FormatGeneral(wavelength);
        state.wavelengthRequested = false;
        Present(state);
    }
}

void SetBackgroundWidth(PatternWindowState& state, Ui& ui, const std::string& text) {
    if (RefuseWithoutPattern(state, ui)) return;
    PeakSettings settings = state.settings;
    long double width = 0;
    if (!Trim(text).empty() &&
        (!TryParseReal(text, width) || !(width > 0) || !std::isfinite(width))) {
        ui.ShowMessage(pattern_window_text::kBadBackgroundWidth.In(state.UiLang()));
        ++state.version;
        return;
    }
    settings.backgroundWidth = static_cast<double>(width);
    if (!Reanalyse(state, ui, state.scan, state.lines, settings, false)) ++state.version;
}

void SetSignificance(PatternWindowState& state, Ui& ui, const std::string& text) {
    if (RefuseWithoutPattern(state, ui)) return;
    long double significance = 0;
    if (!TryParseReal(text, significance) || !(significance > 0) || !std::isfinite(significance)) {
        ui.ShowMessage(pattern_window_text::kBadSignificance.In(state.UiLang()));
        ++state.version;
        return;
    }
    PeakSettings settings = state.settings;
    settings.significance = static_cast<double>(significance);
    if (!Reanalyse(state, ui, state.scan, state.lines, settings, true)) ++state.version;
}

void SetIntensityScale(PatternWindowState& state, Ui&, IntensityScale scale) {
    state.scale = scale;
    Present(state);
}

void ShowBackgroundCurve(PatternWindowState& state, Ui&, bool shown) {
    state.showBackground = shown;
    Present(state);
}

void ShowFittedProfiles(PatternWindowState& state, Ui& ui, bool shown) {
    state.showProfiles = shown;
    BusyScope busy(ui);
    Present(state);
}

void ShowTickMarks(PatternWindowState& state, Ui&, bool shown) {
    state.showTicks = shown;
    Present(state);
}

// --- Peaks ---------------------------------------------------------------------------------

void AddPeakAt(PatternWindowState& state, Ui& ui, double twoTheta) {
    if (RefuseWithoutLines(state, ui)) return;
    // The pattern and the peaks stay alive while the work runs, whatever the window does.
    const std::shared_ptr<const Pattern> pattern = state.pattern;
    const Scan& scan = pattern->scans[state.scan];
    if (!(twoTheta >= scan.twoTheta.front() && twoTheta <= scan.twoTheta.back())) return;
    const std::shared_ptr<const ScanPeaks> found = state.found;
    std::vector<FittedPeak> peaks;
    if (!LongWork(state, ui, pattern_window_text::kFitting,
                  [&](const Ui::ProgressReport&) { peaks = AddPeak(scan, *found, twoTheta); }))
        return;
    if (peaks.size() <= found->peaks.size()) {
        ui.ShowMessage(With(kNoPeakThere.In(state.UiLang()), "{x}",
                            Fixed(static_cast<long double>(twoTheta), 3)));
    }
    ReplacePeaks(state, std::move(peaks));
}

void RemovePeakAt(PatternWindowState& state, Ui& ui, std::size_t peak) {
    if (RefuseWithoutLines(state, ui) || peak >= state.Peaks().size()) return;
    const std::shared_ptr<const Pattern> pattern = state.pattern;
    const Scan& scan = pattern->scans[state.scan];
    const std::shared_ptr<const ScanPeaks> found = state.found;
    std::vector<FittedPeak> peaks;
    if (!LongWork(state, ui, pattern_window_text::kFitting,
                  [&](const Ui::ProgressReport&) { peaks = RemovePeak(scan, *found, peak); }))
        return;
    ReplacePeaks(state, std::move(peaks));
}

void SortPeakTable(PatternWindowState& state, PeakColumn column) {
    state.sortAscending = state.sortColumn == column ? !state.sortAscending : true;
    state.sortColumn = column;
    ApplySort(state);
    ++state.version;
}

std::string PeaksText(const PatternWindowState& state) {
    std::vector<std::string> lines = {state.fileLine, state.linesLine};
    if (state.showTicks && !state.tickLine.empty()) lines.push_back(state.tickLine);
    lines.push_back("");
    std::string header;
    for (std::size_t c = 0; c < kPeakColumns; ++c)
        header += (c > 0 ? "\t" : "") + state.columnCaptions[c];
    lines.push_back(header);
    for (const PeakRow& row : state.rows) {
        std::string line;
        for (std::size_t c = 0; c < kPeakColumns; ++c)
            line += (c > 0 ? "\t" : "") + row.texts[c];
        lines.push_back(line);
    }
    return JoinReportLines(lines);
}

std::string PeaksCsv(const PatternWindowState& state) {
    std::string out = CsvRecord({"peak", "two_theta", "two_theta_su", "d", "fwhm", "height", "area",
                                 "eta", "asymmetry", "hkl"});
    const std::vector<FittedPeak>& peaks = state.Peaks();
    for (const PeakRow& row : state.rows) {
        const FittedPeak& p = peaks[row.peak];
        out += CsvRecord({IntText(static_cast<long long>(row.peak + 1)), CsvNumber(p.twoTheta),
                          CsvNumber(p.twoThetaSu), CsvNumber(p.d), CsvNumber(p.fwhm),
                          CsvNumber(p.height), CsvNumber(p.area), CsvNumber(p.eta),
                          CsvNumber(p.asymmetry),
                          CsvText(row.texts[static_cast<std::size_t>(PeakColumn::Hkl)])});
    }
    return out;
}

void CopyPeaks(PatternWindowState& state, Ui& ui) {
    if (RefuseWithoutPattern(state, ui) || RefuseWithoutPeaks(state, ui)) return;
    ui.SetClipboardText(PeaksText(state));
}

void SavePeaksCsv(PatternWindowState& state, Ui& ui) {
    if (RefuseWithoutPattern(state, ui) || RefuseWithoutPeaks(state, ui)) return;
    const Lang lang = state.UiLang();
    const std::string& file = state.path;
    const std::size_t slash = file.find_last_of('/');
    const std::size_t dot = file.find_last_of('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string proposed = (extension ? file.substr(0, dot) : file) + "-peaks.csv";
    const std::string path = ui.SaveFileName(
        {pattern_window_text::kSaveCsvTitle.In(lang), "CSV", "*.csv", "csv", proposed});
    if (path.empty()) return;
    WriteFileAtomically(path, PeaksCsv(state), lang);
}

void SendPeaksToTable(PatternWindowState& state, Ui& ui) {
    if (RefuseWithoutPattern(state, ui) || RefuseWithoutPeaks(state, ui)) return;
    const Lang lang = state.UiLang();
    MainState& main = state.main;
    if (TableHoldsData(main.calc.table) &&
        !ui.AskOkCancel(pattern_window_text::kReplaceTable.In(lang)))
        return;
    const std::vector<FittedPeak>& peaks = state.Peaks();
    ClearTable(main);
    ObservationTable& table = main.calc.table;
    // The peaks are in increasing 2θ: the table keeps those of the largest d.
    const std::size_t n = std::min(peaks.size(), static_cast<std::size_t>(kMaxObservations));
    for (std::size_t k = 0; k < n; ++k)
        table.Cell(0, static_cast<int>(k) + 1) = FormatFixed(peaks[k].d, 6, 15);
    NormalizeCells(table);
    SortRows(table);
    // The sample's name is one line of the observation file.
    std::string sample =
        state.pattern->sampleName.empty() ? Stem(state.path) : state.pattern->sampleName;
    for (char& c : sample) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    main.edit1 = std::string(Trim(sample));
    main.gridTopRowRequested = 1;
    MakeCurrentCell(main, {0, 1}, true);
    main.currentRow = 1;
    state.mainChanged = true;
    if (peaks.size() > n) {
        ui.ShowMessage(With(With(pattern_window_text::kPeaksLeftOut.In(lang), "{n}",
                                 IntText(static_cast<long long>(peaks.size()))),
                            "{left}", IntText(static_cast<long long>(peaks.size() - n))));
    }
}

void UsePatternWavelength(PatternWindowState& state, Ui& ui) {
    if (RefuseWithoutLines(state, ui)) return;
    const Lang lang = state.UiLang();
    if (const HklRefusal refusal = CheckWavelength(state.lines.ka1)) {
        ui.ShowMessage(refusal->In(lang));
        return;
    }
    state.main.settings.lamda = state.lines.ka1;
    state.main.settings.xRay = kTypedWavelengthName;
    state.mainChanged = true;
    ui.ShowMessage(With(pattern_window_text::kWavelengthUsed.In(lang), "{wavelength}",
                        FormatGeneral(state.lines.ka1)));
}

void ClosePatternClick(PatternWindowState& state, Ui&) {
    state.closeRequested = true;
}

// --- For other windows ---------------------------------------------------------------------

const std::vector<FittedPeak>& PatternPeaks(const PatternWindowState& state) {
    return state.Peaks();
}

const Wavelengths& PatternLines(const PatternWindowState& state) {
    return state.lines;
}

void SetTickCell(PatternWindowState& state, const TickCell& cell) {
    state.tickSource = TickSource::Given;
    state.tickCell = cell;
    Refresh(state);
}

void ClearTickCell(PatternWindowState& state) {
    state.tickSource = TickSource::None;
    state.tickCell.reset();
    Refresh(state);
}

std::vector<PatternTick> TicksOf(const TickCell& cell, long double wavelength, double from,
                                 double to, Lang lang, std::string& refusal) {
    refusal.clear();
    constexpr long double kRadian = std::numbers::pi_v<long double> / 180;
    const HklCell hklCell =
        CellFromDegrees(cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma);
    if (const HklRefusal r = CheckCell(hklCell)) {
        refusal = r->In(lang);
        return {};
    }
    if (const HklRefusal r = CheckWavelength(wavelength)) {
        refusal = r->In(lang);
        return {};
    }
    const long double top = std::min(static_cast<long double>(to), 179.999L);
    if (!(top > 0) || !(from <= to)) return {};
    // The smallest d in the range; the generation lists down to it.
    const long double dMin = wavelength / (2 * std::sin(top * kRadian / 2));
    IndexRange range;
    if (const HklRefusal r = ComputeIndexRange(hklCell, dMin, range)) {
        refusal = r->In(lang);
        return {};
    }
    HklParameters parameters;
    parameters.system = cell.system;
    // One reflection of each set of equivalent ones: they share their d.
    parameters.range_choice = "asym";
    parameters.wavelength = wavelength;
    parameters.d_min = dMin;
    parameters.lattice = cell.centring;
    HklTable table;
    if (const HklRefusal r = GenerateHklTable(hklCell, range, parameters, table,
                                              HklLimit{kMaxTicks, kTooManyTicks})) {
        refusal = r->In(lang);
        return {};
    }
    // d from the metric with π to full precision: the table's own d is rounded for its texts.
    const auto g = ReciprocalMetric(cell);
    struct Line {
        long double d;
        std::array<int, 3> hkl;
    };
    std::vector<Line> lines;
    for (const HklReflection& r : table) {
        const long double v[3] = {static_cast<long double>(r.h), static_cast<long double>(r.k),
                                  static_cast<long double>(r.l)};
        long double q = 0;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                q += v[i] * g[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] * v[j];
        }
        if (q > 0) lines.push_back({1 / std::sqrt(q), {r.h, r.k, r.l}});
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line& x, const Line& y) { return x.d > y.d; });
    std::vector<PatternTick> ticks;
    for (const Line& line : lines) {
        const long double s = wavelength / (2 * line.d);
        if (!(s < 1)) continue;
        const auto twoTheta = static_cast<double>(2 * std::asin(s) / kRadian);
        if (twoTheta < from || twoTheta > to) continue;
        // Reflections of one d (equivalent under a higher symmetry, or by chance) share a mark.
        if (!ticks.empty() && std::fabs(ticks.back().d - line.d) <= 1e-9L * line.d) {
            ticks.back().hkl.push_back(line.hkl);
            continue;
        }
        ticks.push_back({twoTheta, line.d, {line.hkl}, {}});
    }
    for (PatternTick& tick : ticks)
        tick.tip = TickTip(tick);
    return ticks;
}

}  // namespace dorvalix
