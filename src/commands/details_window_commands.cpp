// SPDX-License-Identifier: GPL-3.0-or-later
#include "details_window_commands.h"

#include <algorithm>
#include <cmath>

#include "atomic_file.h"
#include "cif_writer.h"
#include "csv_writer.h"
#include "details_report.h"
#include "hkl_table.h"
#include "hkl_window_commands.h"
#include "numtext.h"
#include "results_report.h"

namespace dorvalix {

namespace {

struct CaptionEntry {
    const char* name;
    Text text;
};

constexpr CaptionEntry kCaptions[kDetailsControlCount] = {
    {"TForm10", {"Refinement Details", "精密化の詳細"}},
    {"OptionsBox", {"Options", "計算条件"}},
    {"WavelengthLabel", {"Wavelength", "波長"}},
    {"TypedWavelength", {"typed value", "入力値"}},
    {"LatticeLabel", {"Lattice centring", "格子の型"}},
    {"FitLabel", {"Fit", "フィット"}},
    {"FitQ", {"on Q = 1/d² (as the results panel)", "Q = 1/d² で（主画面の結果と同じ）"}},
    {"FitTwoTheta", {"on 2θ", "2θ で"}},
    {"FitZeroShift", {"on 2θ with zero shift", "2θ で、ゼロ点補正あり"}},
    {"CorrelationLabel",
     {"Correlation matrix of the refined parameters", "精密化したパラメータの相関行列"}},
    {"TableLabel",
     {"Reflections (click a column header to sort)", "反射（列見出しのクリックで並べ替え）"}},
    {"PlotLabel",
     {"Residuals against 2θ (drag a rectangle to zoom)",
      "2θ に対する残差（範囲をドラッグして拡大）"}},
    {"LegendOutlier",
     {"Outlier: |t| > 3, or influential: Cook's distance > 1 or leverage > 2P/N",
      "外れ値: |t| > 3、または影響大: クックの距離 > 1 かてこ比 > 2P/N"}},
    {"CopyButton", {"Copy", "コピー"}},
    {"CifButton", {"Save CIF...", "CIF で保存..."}},
    {"CsvButton", {"Save CSV...", "CSV で保存..."}},
    {"PlotButton", {"Save Plot as PNG/SVG...", "グラフを PNG/SVG で保存..."}},
    {"ResetZoomButton", {"Reset Zoom", "拡大を戻す"}},
    {"CloseButton", {"Close", "閉じる"}},
    {"EmptyNote",
     {"No details: execute the calculation for the table as it stands.",
      "詳細はありません。現在の表で計算を実行してください。"}},
    {"WavelengthNote",
     {"2θ, Δ2θ, F(n) and the zero shift are degrees 2θ at this wavelength: choose the "
      "wavelength the pattern was measured with.",
      "2θ、Δ2θ、F(n) とゼロ点補正はこの波長での 2θ の度数です。測定に使った波長を選んで"
      "ください。"}},
    {"LegendExcluded",
     {"Excluded: not fitted, residual predicted by the fit",
      "除外: フィットに含めず、残差はフィットからの予測"}},
};

constexpr Text kColumnCaptions[kDetailsColumns] = {
    {"Row", "行"},
    {"h", "h"},
    {"k", "k"},
    {"l", "l"},
    {"d obs (Å)", "d 観測 (Å)"},
    {"d calc (Å)", "d 計算 (Å)"},
    {"Δd (Å)", "Δd (Å)"},
    {"2θ obs (°)", "2θ 観測 (°)"},
    {"2θ calc (°)", "2θ 計算 (°)"},
    {"Δ2θ (°)", "Δ2θ (°)"},
    {"ΔQ (Å⁻²)", "ΔQ (Å⁻²)"},
    {"Leverage", "てこ比"},
    {"Studentised residual", "スチューデント化残差"},
    {"Cook's distance", "クックの距離"},
};

// {lattice}, {wavelength}, {n} and {p} are replaced by their values.
constexpr Text kCellCaptionQ = {"Lattice parameters, fit on Q = 1/d²",
                                "格子定数（Q = 1/d² でのフィット）"};
constexpr Text kCellCaptionTwoTheta = {"Lattice parameters, fit on 2θ",
                                       "格子定数（2θ でのフィット）"};
constexpr Text kCellCaptionZeroShift = {"Lattice parameters, fit on 2θ with zero shift",
                                        "格子定数（2θ でのフィット、ゼロ点補正あり）"};
constexpr Text kCountLine = {
    "{n} reflections, {p} parameters (standard uncertainties from the "
    "full covariance)",
    "反射 {n} 本、パラメータ {p} 個（標準不確かさは全共分散から）"};
constexpr Text kZeroLine = {"Zero shift = {value}°  (2θ corrected = 2θ obs − zero shift)",
                            "ゼロ点補正 = {value}°（補正後の 2θ = 観測 2θ − ゼロ点補正）"};
// With a refined zero shift the observed d and 2θ are the corrected ones.
constexpr Text kDObsCorrected = {"d obs corr. (Å)", "d 観測・補正 (Å)"};
constexpr Text kTwoThetaObsCorrected = {"2θ obs corr. (°)", "2θ 観測・補正 (°)"};
constexpr Text kMeritCaption = {"Figures of merit ({fit}, lattice {lattice}, λ = {wavelength} Å)",
                                "性能指数（{fit}、格子 {lattice}、λ = {wavelength} Å）"};
constexpr Text kAbsentCount = {"{count} of {n} lines are absent under {lattice}",
                               "観測線 {n} 本のうち {count} 本が格子 {lattice} で消滅"};
constexpr Text kFewDegrees = {
    "With N − P = {count} degrees of freedom the leverages, studentised residuals and Cook's "
    "distances carry little information",
    "自由度 N − P = {count} では、てこ比、スチューデント化残差、クックの距離からわかることは"
    "わずかです"};
constexpr Text kNoCorrelation = {
    "none without a degree of freedom (as many reflections as "
    "parameters)",
    "自由度がないため、ありません（反射の数とパラメータの数が同じ）"};
constexpr Text kZeroLabel = {"zero", "ゼロ点"};
constexpr Text kLegendAbsent = {"Absent under lattice {lattice}", "格子 {lattice} で消滅"};
constexpr Text kXTitle = {"2θ obs (°)", "観測 2θ (°)"};
// Short enough to stand beside the plot's height; the zero shift is explained by the cell's
// lines.
constexpr Text kYTitleQ = {"ΔQ obs − calc (Å⁻²)", "ΔQ 観測 − 計算 (Å⁻²)"};
constexpr Text kYTitleTwoTheta = {"Δ2θ obs − calc (°)", "Δ2θ 観測 − 計算 (°)"};
constexpr Text kTipRow = {"row {n}", "{n} 行目"};
constexpr Text kTipOutlier = {"outlier", "外れ値"};
constexpr Text kTipInfluential = {"influential", "影響大"};
constexpr Text kTipExcluded = {"excluded: not fitted", "除外: フィットに含めず"};
constexpr Text kAbsentName = {"Absent under {lattice}", "格子 {lattice} で消滅"};
constexpr Text kExcludedName = {"Excluded", "除外"};
constexpr Text kOutliersName = {"Outliers, influential", "外れ値・影響大"};
constexpr Text kPlotTitle = {"{sample}  λ = {wavelength} Å", "{sample}  λ = {wavelength} Å"};
constexpr Text kTipAbsent = {"absent under {lattice}", "格子 {lattice} で消滅"};
constexpr Text kUnplotted = {"{n} reflections have no 2θ at λ = {wavelength} Å and are not plotted",
                             "反射 {n} 本は λ = {wavelength} Å で 2θ がないため描いていません"};
constexpr Text kOptionsLine = {"Wavelength {wavelength} Å ({xray}), lattice {lattice}, fit {fit}",
                               "波長 {wavelength} Å（{xray}）、格子 {lattice}、フィット {fit}"};
constexpr Text kReflections = {"Reflections", "反射"};
constexpr Text kFlags = {"Flags", "注記"};
constexpr Text kSaveCifTitle = {"Save CIF", "CIF の保存"};
constexpr Text kSaveCsvTitle = {"Save CSV", "CSV の保存"};
constexpr Text kSavePlotTitle = {"Save Plot", "グラフの保存"};

// The seven quantities of the direct cell as the window writes them.
constexpr const char* kCellNames[7] = {"a", "b", "c", "α", "β", "γ", "V"};
constexpr const char* kCellUnits[7] = {" Å", " Å", " Å", "°", "°", "°", " Å³"};

std::string LatticeText(Centring c) {
    return std::string(1, CentringLetter(c));
}

// The coefficients x1..xP of a crystal system, by what each is in the reciprocal metric.
std::vector<std::string> CoefficientLabels(int code) {
    switch (code) {
        case kCubic:
            return {"a*²"};
        case kHexagonal:
        case kTetragonal:
            return {"a*²", "c*²"};
        case kOrthorhombic:
            return {"a*²", "b*²", "c*²"};
        case kMonoclinicBeta:
            return {"a*²", "b*²", "c*²", "c*a*cos β*"};
        case kTriclinic:
            return {"a*²", "b*²", "c*²", "b*c*cos α*", "c*a*cos β*", "a*b*cos γ*"};
        case kMonoclinicGamma:
            return {"a*²", "b*²", "c*²", "a*b*cos γ*"};
        case kTrigonal:
            return {"a*²", "a*²cos α*"};
        default:
            return {};
    }
}

// Three significant digits, never in exponent form: residuals in Q are of order 10⁻⁴.
std::string Significant(long double v) {
    if (v == 0 || !std::isfinite(v)) return FormatGeneral(v);
    long long digits;
    return FormatAtDecimalPlace(v, 2 - LeadingDecimalDigits(v, 1, digits));
}

std::string Optional(const std::optional<long double>& v) {
    return v ? FormatF(*v, 4) : "-";
}

DetailsOptions OptionsOf(const DetailsWindowState& state) {
    DetailsOptions options;
    options.lattice = state.main.settings.lattice;
    options.wavelength = state.main.settings.lamda;
    options.fit = state.fit == DetailsFitChoice::Q ? DetailsFit::Q : DetailsFit::TwoTheta;
    options.zeroShift = state.fit == DetailsFitChoice::TwoThetaZeroShift;
    return options;
}

DetailsWindowState::Key KeyOf(const DetailsWindowState& state) {
    DetailsWindowState::Key key;
    const CalculationState& calc = state.main.calc;
    key.filled = ResultDescribesTable(calc);
    key.lang = state.UiLang();
    if (!key.filled) return key;
    key.system = calc.crystalSystem;
    key.n = calc.result.n;
    key.p = calc.result.p;
    for (std::size_t j = 0; j < key.x.size(); ++j)
        key.x[j] = calc.result.x[j];
    key.wavelength = state.main.settings.lamda;
    key.lattice = state.main.settings.lattice;
    key.fit = state.fit;
    return key;
}

void ApplyCaptions(DetailsWindowState& state) {
    const Lang lang = state.UiLang();
    for (int i = 0; i < kDetailsControlCount; ++i)
        state.captions[static_cast<std::size_t>(i)] = kCaptions[i].text.In(lang);
    for (int i = 0; i < kDetailsColumns; ++i)
        state.columnCaptions[static_cast<std::size_t>(i)] = kColumnCaptions[i].In(lang);
    for (std::size_t i = 0; i < state.latticeCaptions.size(); ++i)
        state.latticeCaptions[i] = CentringCaption(static_cast<Centring>(i), lang);
    for (std::size_t i = 0; i < state.presetCaptions.size(); ++i) {
        state.presetCaptions[i] = std::string(kWavelengthPresets[i].name) + "  " +
                                  FormatGeneral(kWavelengthPresets[i].wavelength) + " Å";
    }
    state.legendAbsent =
        With(kLegendAbsent.In(lang), "{lattice}", LatticeText(state.main.settings.lattice));
}

// The preset the settings name, when λ is still its wavelength; else a typed value.
void ShowWavelength(DetailsWindowState& state) {
    const AppSettings& s = state.main.settings;
    state.wavelengthPreset = -1;
    // The settings file keeps λ in double precision.
    for (std::size_t i = 0; i < kWavelengthPresets.size(); ++i) {
        if (s.xRay == kWavelengthPresets[i].name &&
            static_cast<double>(s.lamda) == static_cast<double>(kWavelengthPresets[i].wavelength))
            state.wavelengthPreset = static_cast<int>(i);
    }
    state.wavelengthText = FormatGeneral(s.lamda);
}

std::vector<std::vector<std::string>> CorrelationTexts(
    const std::vector<std::vector<long double>>& c) {
    std::vector<std::vector<std::string>> out(c.size());
    for (std::size_t r = 0; r < c.size(); ++r) {
        for (std::size_t k = 0; k < c.size(); ++k) {
            const long double scale = std::sqrt(c[r][r] * c[k][k]);
            out[r].push_back(scale > 0 ? FormatAtDecimalPlace(c[r][k] / scale, 3) : "-");
        }
    }
    return out;
}

std::string Tooltip(const DetailsWindowState& state, const FitReflection& r, bool twoTheta,
                    long double residual, const DetailsRow& row) {
    const Lang lang = state.UiLang();
    std::string tip = IntText(r.h) + " " + IntText(r.k) + " " + IntText(r.l) + "   " +
                      With(kTipRow.In(lang), "{n}", IntText(r.row));
    tip += "\n2θ = " + FormatAtDecimalPlace(*r.twoThetaObs, 4) + "°";
    if (r.dObs) tip += "\nd = " + FormatGeneral(*r.dObs) + " Å";
    tip += twoTheta ? "\nΔ2θ = " + FormatAtDecimalPlace(residual, 4) + "°"
                    : "\nΔQ = " + Significant(residual) + " Å⁻²";
    if (r.studentized) tip += "\nt = " + FormatAtDecimalPlace(*r.studentized, 2);
    if (row.excluded) tip += std::string("\n") + kTipExcluded.In(lang);
    if (row.outlier) tip += std::string("\n") + kTipOutlier.In(lang);
    if (row.influential) tip += std::string("\n") + kTipInfluential.In(lang);
    if (r.absent) {
        tip +=
            "\n" + With(kTipAbsent.In(lang), "{lattice}", LatticeText(state.main.settings.lattice));
    }
    return tip;
}

// Keys in ascending order with the rows without a value last, the table order among equals.
void ApplySort(DetailsWindowState& state) {
    auto& rows = state.rows;
    if (!state.sortColumn) {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const DetailsRow& x, const DetailsRow& y) { return x.row < y.row; });
        return;
    }
    const auto c = static_cast<std::size_t>(*state.sortColumn);
    const bool ascending = state.sortAscending;
    std::stable_sort(rows.begin(), rows.end(), [&](const DetailsRow& x, const DetailsRow& y) {
        const auto& a = x.keys[c];
        const auto& b = y.keys[c];
        if (!a || !b) return a.has_value() && !b.has_value();
        if (*a == *b) return x.row < y.row;
        return ascending ? *a < *b : *a > *b;
    });
}

void Empty(DetailsWindowState& state) {
    state.details.reset();
    state.cellCaption.clear();
    state.cellLines.clear();
    state.countLine.clear();
    state.zeroLine.clear();
    state.notes.clear();
    state.meritCaption.clear();
    state.meritLines.clear();
    state.correlationLabels.clear();
    state.correlations.clear();
    state.rows.clear();
    state.plot = ResidualPlot{};
}

// The texts, the rows and the plot from state.details.
void Present(DetailsWindowState& state) {
    const Lang lang = state.UiLang();
    const RefinementDetails& d = *state.details;
    const bool twoTheta = d.twoTheta.has_value();
    const TwoThetaFit* fit = twoTheta ? &*d.twoTheta : nullptr;
    const std::string lattice = LatticeText(d.merit.lattice);

    state.cellCaption = (!twoTheta          ? kCellCaptionQ
                         : fit->zeroRefined ? kCellCaptionZeroShift
                                            : kCellCaptionTwoTheta)
                            .In(lang);
    state.notes.clear();
    if (d.twoThetaRefusal) state.notes.push_back(d.twoThetaRefusal->Text(lang));
    state.cellLines.clear();
    if (d.cellRefusal && !twoTheta) {
        state.notes.push_back(d.cellRefusal->Text(lang));
    } else {
        const CellWithSu& cell = twoTheta ? fit->direct : d.direct;
        for (int r = 0; r < 7; ++r)
            state.cellLines.push_back(std::string(kCellNames[r]) + " = " + SuText(cell, r) +
                                      kCellUnits[r]);
    }
    state.countLine = With(With(kCountLine.In(lang), "{n}", IntText(d.n)), "{p}",
                           IntText(d.p + (twoTheta && fit->zeroRefined ? 1 : 0)));
    state.zeroLine.clear();
    if (twoTheta && fit->zeroRefined)
        state.zeroLine = With(kZeroLine.In(lang), "{value}", SuText(fit->zero, fit->zeroSu));

    const Text& meritFit = d.merit.fit == DetailsFit::Q ? details_text::kMeritFitQ
                           : d.merit.zeroRefined        ? details_text::kMeritFitZero
                                                        : details_text::kMeritFitTwoTheta;
    state.meritCaption =
        With(With(With(kMeritCaption.In(lang), "{fit}", meritFit.In(lang)), "{lattice}", lattice),
             "{wavelength}", FormatGeneral(d.merit.wavelength));
    auto figure = [&](const std::string& text, const char* name, int n,
                      const std::optional<DetailsMessage>& note) {
        if (!text.empty()) return text;
        std::string line = std::string(name) + "(" + IntText(n) + ") = -";
        if (note) line += "  " + note->Text(lang);
        return line;
    };
    state.meritLines = {figure(MeritText(d.merit.m), "M", d.merit.m.n, d.merit.m.note),
                        figure(MeritText(d.merit.f), "F", d.merit.f.n, d.merit.f.note)};
    if (d.merit.lattice != Centring::P) {
        state.meritLines.push_back(
            With(With(With(kAbsentCount.In(lang), "{count}", IntText(d.absentCount)), "{n}",
                      IntText(d.n)),
                 "{lattice}", lattice));
    }

    state.correlationLabels = CoefficientLabels(d.system);
    if (twoTheta && fit->zeroRefined) state.correlationLabels.push_back(kZeroLabel.In(lang));
    state.correlations = CorrelationTexts(twoTheta ? fit->covariance : d.covariance);
    if (state.correlations.empty()) state.notes.push_back(kNoCorrelation.In(lang));
    if (d.fewDegreesOfFreedom && !state.correlations.empty()) {
        const int unknowns = d.p + (twoTheta && fit->zeroRefined ? 1 : 0);
        state.notes.push_back(With(kFewDegrees.In(lang), "{count}", IntText(d.n - unknowns)));
    }
    const bool corrected = twoTheta && fit->zeroRefined;
    state.columnCaptions[static_cast<std::size_t>(DetailsColumn::DObs)] =
        (corrected ? kDObsCorrected : kColumnCaptions[static_cast<int>(DetailsColumn::DObs)])
            .In(lang);
    state.columnCaptions[static_cast<std::size_t>(DetailsColumn::TwoThetaObs)] =
        (corrected ? kTwoThetaObsCorrected
                   : kColumnCaptions[static_cast<int>(DetailsColumn::TwoThetaObs)])
            .In(lang);

    // Every reflection, and the markers of those with a 2θ.
    state.rows.clear();
    state.plot = ResidualPlot{};
    ResidualPlot& plot = state.plot;
    plot.xTitle = kXTitle.In(lang);
    plot.pointsName = kReflections.In(lang);
    plot.outliersName = kOutliersName.In(lang);
    plot.excludedName = kExcludedName.In(lang);
    plot.absentName = With(kAbsentName.In(lang), "{lattice}", lattice);
    plot.yTitle = (twoTheta ? kYTitleTwoTheta : kYTitleQ).In(lang);
    auto difference = [](const std::optional<long double>& a,
                         const std::optional<long double>& b) -> std::optional<long double> {
        if (!a || !b) return std::nullopt;
        return *a - *b;
    };
    auto text = [](const std::optional<long double>& v, int decimals) {
        return v ? FormatAtDecimalPlace(*v, decimals) : std::string("-");
    };
    bool anyX = false;
    for (const FitReflection& r : d.reflections) {
        const std::optional<long double> dDiff = difference(r.dObs, r.dCalc);
        const std::optional<long double> twoThetaDiff = difference(r.twoThetaObs, r.twoThetaCalc);
        const std::optional<long double> qDiff = difference(r.qObs, r.qCalc);
        DetailsRow row;
        row.row = r.row;
        row.outlier = r.outlier;
        row.influential = r.influential;
        row.absent = r.absent;
        row.excluded = r.excluded;
        const std::optional<long double> keys[kDetailsColumns] = {
            r.row,          r.h,          r.k,   r.l,
            r.dObs,         r.dCalc,      dDiff, r.twoThetaObs,
            r.twoThetaCalc, twoThetaDiff, qDiff, r.leverage,
            r.studentized,  r.cook};
        const std::string texts[kDetailsColumns] = {
            IntText(r.row),
            IntText(r.h),
            IntText(r.k),
            IntText(r.l),
            r.dObs ? (corrected ? FormatAtDecimalPlace(*r.dObs, 5) : FormatGeneral(*r.dObs))
                   : std::string("-"),
            text(r.dCalc, 5),
            text(dDiff, 5),
            text(r.twoThetaObs, 4),
            text(r.twoThetaCalc, 4),
            text(twoThetaDiff, 4),
            qDiff ? Significant(*qDiff) : std::string("-"),
            Optional(r.leverage),
            Optional(r.studentized),
            Optional(r.cook)};
        for (std::size_t c = 0; c < kDetailsColumns; ++c) {
            row.keys[c] = keys[c];
            row.texts[c] = texts[c];
        }

        const std::optional<long double> residual = twoTheta ? twoThetaDiff : qDiff;
        if (!r.twoThetaObs || !residual) {
            ++plot.unplotted;
        } else {
            PlotPoint point{static_cast<double>(*r.twoThetaObs), static_cast<double>(*residual),
                            Tooltip(state, r, twoTheta, *residual, row)};
            plot.xMin = anyX ? std::min(plot.xMin, point.x) : point.x;
            plot.xMax = anyX ? std::max(plot.xMax, point.x) : point.x;
            anyX = true;
            if (r.absent) plot.absent.push_back(point);
            (r.excluded                   ? plot.excluded
             : r.outlier || r.influential ? plot.outliers
                                          : plot.points)
                .push_back(std::move(point));
        }
        state.rows.push_back(std::move(row));
    }
    if (plot.unplotted > 0) {
        state.notes.push_back(With(With(kUnplotted.In(lang), "{n}", IntText(plot.unplotted)),
                                   "{wavelength}", FormatGeneral(d.merit.wavelength)));
    }
    ApplySort(state);
}

// The details anew from the run and the options, or nothing when the result no longer
// describes the table; the window is told only when something changed.
void Refresh(DetailsWindowState& state, bool force) {
    ApplyCaptions(state);
    ShowWavelength(state);
    const DetailsWindowState::Key key = KeyOf(state);
    if (!force && key == state.shown) return;
    state.shown = key;
    ++state.version;
    if (!key.filled) {
        Empty(state);
        return;
    }
    state.details = ComputeRefinementDetails(state.main.calc, OptionsOf(state));
    Present(state);
}

bool RefuseWithoutDetails(const DetailsWindowState& state, Ui& ui) {
    if (state.details) return false;
    ui.ShowMessage(kDetailsNeedExecuteText.In(state.UiLang()));
    return true;
}

// The data file's name with another ending, in its folder; "dorvalix" with it when there
// is no data file.
std::string ProposedName(const DetailsWindowState& state, const std::string& ending) {
    const std::string& file =
        state.main.label6.empty() ? std::string() : state.main.currentFileName;
    if (file.empty()) return "dorvalix" + ending;
    const std::size_t slash = file.find_last_of('/');
    const std::size_t dot = file.find_last_of('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (extension ? file.substr(0, dot) : file) + ending;
}

bool EndsWith(const std::string& text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        char c = text[text.size() - ending.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != ending[i]) return false;
    }
    return true;
}

const char* FitName(DetailsFitChoice fit, Lang lang) {
    switch (fit) {
        case DetailsFitChoice::TwoTheta:
            return kCaptions[static_cast<int>(DetailsControl::FitTwoTheta)].text.In(lang);
        case DetailsFitChoice::TwoThetaZeroShift:
            return kCaptions[static_cast<int>(DetailsControl::FitZeroShift)].text.In(lang);
        case DetailsFitChoice::Q:
            break;
    }
    return kCaptions[static_cast<int>(DetailsControl::FitQ)].text.In(lang);
}

}  // namespace

const Text kDetailsNeedExecuteText = {"Execute the calculation for the table as it stands",
                                      "現在の表で計算を実行してください"};
const Text kDetailsPlotExtensionText = {"Give the plot's file name the extension .png or .svg",
                                        "グラフのファイル名の拡張子は .png か .svg にしてください"};

const char* DetailsControlName(DetailsControl control) {
    return kCaptions[static_cast<int>(control)].name;
}

const char* DetailsCaption(DetailsControl control, Lang lang) {
    return kCaptions[static_cast<int>(control)].text.In(lang);
}

const char* DetailsColumnCaption(DetailsColumn column, Lang lang) {
    return kColumnCaptions[static_cast<int>(column)].In(lang);
}

bool DetailsAvailable(const MainState& state) {
    return ResultDescribesTable(state.calc);
}

void Details1Click(MainState& state, Ui& ui) {
    if (!DetailsAvailable(state)) {
        ui.ShowMessage(kDetailsNeedExecuteText.In(UiLang(state)));
        return;
    }
    ui.ShowWindow(SecondaryWindow::TForm10);
}

void DetailsFormShow(DetailsWindowState& state) {
    state.closeRequested = false;
    state.raiseRequested = true;
    Refresh(state, false);
}

void FollowMainWindow(DetailsWindowState& state) {
    Refresh(state, false);
}

void ChooseWavelengthPreset(DetailsWindowState& state, Ui&, int preset) {
    if (preset < 0 || preset >= static_cast<int>(kWavelengthPresets.size())) return;
    const WavelengthPreset& p = kWavelengthPresets[static_cast<std::size_t>(preset)];
    state.main.settings.lamda = p.wavelength;
    state.main.settings.xRay = p.name;
    Refresh(state, false);
}

void TypeWavelength(DetailsWindowState& state, Ui& ui, const std::string& text) {
    long double wavelength = 0;
    if (!TryParseReal(text, wavelength)) wavelength = 0;  // refused as any number outside
    if (const HklRefusal refusal = CheckWavelength(wavelength)) {
        ui.ShowMessage(refusal->In(state.UiLang()));
        ShowWavelength(state);  // the field shows the wavelength in force again
        ++state.version;
        return;
    }
    state.main.settings.lamda = wavelength;
    state.main.settings.xRay = kTypedWavelengthName;
    Refresh(state, false);
}

void ChooseLattice(DetailsWindowState& state, Ui&, Centring centring) {
    state.main.settings.lattice = centring;
    Refresh(state, false);
}

void ChooseFit(DetailsWindowState& state, Ui&, DetailsFitChoice fit) {
    state.fit = fit;
    Refresh(state, false);
}

void SortDetailsTable(DetailsWindowState& state, DetailsColumn column) {
    state.sortAscending = state.sortColumn == column ? !state.sortAscending : true;
    state.sortColumn = column;
    ApplySort(state);
    ++state.version;
}

std::string PlotExportTitle(const DetailsWindowState& state) {
    std::string sample(Trim(state.main.edit1));
    if (sample.empty()) sample = state.main.label6;
    return std::string(Trim(With(With(kPlotTitle.In(state.UiLang()), "{sample}", sample),
                                 "{wavelength}", FormatGeneral(state.main.settings.lamda))));
}

char DetailsMnemonic(DetailsControl control) {
    switch (control) {
        case DetailsControl::CopyButton:
            return 'C';
        case DetailsControl::CifButton:
            return 'I';
        case DetailsControl::CsvButton:
            return 'V';
        case DetailsControl::PlotButton:
            return 'P';
        case DetailsControl::ResetZoomButton:
            return 'R';
        case DetailsControl::CloseButton:
            return 'l';
        case DetailsControl::FitQ:
            return 'Q';
        case DetailsControl::FitTwoTheta:
            return '2';
        case DetailsControl::FitZeroShift:
            return 'z';
        case DetailsControl::WavelengthLabel:
            return 'W';
        case DetailsControl::LatticeLabel:
            return 'L';
        default:
            return 0;
    }
}

std::string DetailsText(const DetailsWindowState& state) {
    const Lang lang = state.UiLang();
    std::vector<std::string> lines = {state.Caption(DetailsControl::TForm10)};
    const AppSettings& s = state.main.settings;
    lines.push_back(
        With(With(With(With(kOptionsLine.In(lang), "{wavelength}", FormatGeneral(s.lamda)),
                       "{xray}", std::string(Trim(s.xRay))),
                  "{lattice}", LatticeText(s.lattice)),
             "{fit}", FitName(state.fit, lang)));
    if (!state.details) {
        lines.push_back(state.Caption(DetailsControl::EmptyNote));
        return JoinReportLines(lines);
    }
    lines.push_back("");
    lines.push_back(state.cellCaption);
    for (const std::string& line : state.cellLines)
        lines.push_back(" " + line);
    if (!state.zeroLine.empty()) lines.push_back(" " + state.zeroLine);
    lines.push_back(" " + state.countLine);
    for (const std::string& note : state.notes)
        lines.push_back(" " + note);
    lines.push_back("");
    lines.push_back(state.meritCaption);
    for (const std::string& line : state.meritLines)
        lines.push_back(" " + line);
    lines.push_back("");
    lines.push_back(state.Caption(DetailsControl::CorrelationLabel));
    if (!state.correlations.empty()) {
        std::string header;
        for (const std::string& label : state.correlationLabels)
            header += "\t" + label;
        lines.push_back(header);
        for (std::size_t r = 0; r < state.correlations.size(); ++r) {
            std::string line = state.correlationLabels[r];
            for (const std::string& cell : state.correlations[r])
                line += "\t" + cell;
            lines.push_back(line);
        }
    }
    lines.push_back("");
    lines.push_back(kReflections.In(lang));
    std::string header;
    for (std::size_t c = 0; c < kDetailsColumns; ++c)
        header += (c > 0 ? "\t" : "") + state.columnCaptions[c];
    lines.push_back(header + "\t" + kFlags.In(lang));
    for (const DetailsRow& row : state.rows) {
        std::string line;
        for (std::size_t c = 0; c < kDetailsColumns; ++c)
            line += (c > 0 ? "\t" : "") + row.texts[c];
        std::vector<std::string> flags;
        if (row.excluded) flags.push_back(kTipExcluded.In(lang));
        if (row.outlier) flags.push_back(kTipOutlier.In(lang));
        if (row.influential) flags.push_back(kTipInfluential.In(lang));
        if (row.absent)
            flags.push_back(With(kTipAbsent.In(lang), "{lattice}", LatticeText(s.lattice)));
        line += "\t";
        for (std::size_t f = 0; f < flags.size(); ++f)
            line += (f > 0 ? ", " : "") + flags[f];
        lines.push_back(line);
    }
    return JoinReportLines(lines);
}

void CopyDetailsClick(DetailsWindowState& state, Ui& ui) {
    ui.SetClipboardText(DetailsText(state));
}

void SaveCifClick(DetailsWindowState& state, Ui& ui) {
    if (RefuseWithoutDetails(state, ui)) return;
    const Lang lang = state.UiLang();
    const std::string path = ui.SaveFileName(
        {kSaveCifTitle.In(lang), "CIF", "*.cif", "cif", ProposedName(state, ".cif")});
    if (path.empty()) return;
    CifInput in;
    in.sampleName = state.main.edit1;
    in.fileName = state.main.label6;
    in.table = &state.main.calc.table;
    in.details = &*state.details;
    // The window shows and uses the wavelength throughout (Δ2θ, F(n), the plot).
    in.wavelengthApplies = true;
    WriteFileAtomically(path, BuildCif(in));
}

void SaveCsvClick(DetailsWindowState& state, Ui& ui) {
    if (RefuseWithoutDetails(state, ui)) return;
    const Lang lang = state.UiLang();
    const std::string path = ui.SaveFileName(
        {kSaveCsvTitle.In(lang), "CSV", "*.csv", "csv", ProposedName(state, ".csv")});
    if (path.empty()) return;
    WriteFileAtomically(path, BuildObservationCsv(state.main.calc.table, *state.details));
}

void SavePlotClick(DetailsWindowState& state, Ui& ui, const PlotRenderer& render) {
    if (RefuseWithoutDetails(state, ui)) return;
    const Lang lang = state.UiLang();
    const std::string path = ui.SaveFileName({kSavePlotTitle.In(lang), "PNG, SVG", "*.png *.svg",
                                              "png", ProposedName(state, "-residuals.png")});
    if (path.empty()) return;
    PlotFormat format;
    if (EndsWith(path, ".png")) {
        format = PlotFormat::Png;
    } else if (EndsWith(path, ".svg")) {
        format = PlotFormat::Svg;
    } else {
        ui.ShowMessage(kDetailsPlotExtensionText.In(lang));
        return;
    }
    WriteFileAtomically(path, render(format));
}

void CloseDetailsClick(DetailsWindowState& state, Ui&) {
    state.closeRequested = true;
}

}  // namespace dorvalix
