// SPDX-License-Identifier: GPL-3.0-or-later
// The refinement details window (TForm10) as plain state and commands, without Qt: for the
// run the main window holds, the cell with standard uncertainties from the full covariance,
// the zero shift, the figures of merit, the correlations of the coefficients, every included
// reflection with its regression diagnostics, and the residual plot, for a chosen
// wavelength, lattice centring and fit. The window is modeless and follows the main
// window: it shows the details while the results panel shows a result that describes the
// table, and nothing otherwise. The Qt window draws itself from this state.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lang.h"
#include "main_state.h"
#include "refinement_details.h"
#include "ui.h"

namespace dorvalix {

// Controls of the window that carry a fixed caption.
enum class DetailsControl : int {
    TForm10,           // window title
    OptionsBox,        // the options' frame
    WavelengthLabel,   // wavelength
    TypedWavelength,   // the wavelength list's entry for a typed value
    LatticeLabel,      // lattice centring
    FitLabel,          // fit
    FitQ,              // on Q, as the results panel
    FitTwoTheta,       // on 2θ
    FitZeroShift,      // on 2θ with a zero shift
    CorrelationLabel,  // correlation matrix
    TableLabel,        // reflections
    PlotLabel,         // residual plot
    LegendOutlier,     // the outliers' colour
    CopyButton,
    CifButton,
    CsvButton,
    PlotButton,
    ResetZoomButton,
    CloseButton,
    EmptyNote,       // what an empty window says
    WavelengthNote,  // the line under the options: 2θ and the zero shift belong to λ
    LegendExcluded,  // the excluded reflections' colour
};
inline constexpr int kDetailsControlCount = static_cast<int>(DetailsControl::LegendExcluded) + 1;

// The component name ("TForm10", "CopyButton") and the caption in a language.
const char* DetailsControlName(DetailsControl control);
const char* DetailsCaption(DetailsControl control, Lang lang);
// The letter the English caption underlines for Alt+letter (0: none).
char DetailsMnemonic(DetailsControl control);

// The refused command when the result no longer describes the table.
extern const Text kDetailsNeedExecuteText;
// A plot file name that ends neither in .png nor in .svg.
extern const Text kDetailsPlotExtensionText;

// The three fits the window offers.
enum class DetailsFitChoice { Q, TwoTheta, TwoThetaZeroShift };

// Columns of the reflection table.
enum class DetailsColumn : int {
    Row,
    H,
    K,
    L,
    DObs,
    DCalc,
    DDiff,
    TwoThetaObs,
    TwoThetaCalc,
    TwoThetaDiff,
    QDiff,
    Leverage,
    Studentized,
    Cook,
};
inline constexpr int kDetailsColumns = static_cast<int>(DetailsColumn::Cook) + 1;
const char* DetailsColumnCaption(DetailsColumn column, Lang lang);

// One reflection as the table shows it, with the numbers it sorts by (empty: no value,
// sorted last). With a refined zero shift the observed d and 2θ are the corrected ones.
struct DetailsRow {
    int row = 0;  // table row
    std::array<std::string, kDetailsColumns> texts;
    std::array<std::optional<long double>, kDetailsColumns> keys;
    bool outlier = false;      // |t| > 3 under the chosen fit
    bool influential = false;  // Cook's distance > 1 or leverage > 2P/N: marked as outliers
    bool absent = false;       // systematically absent under the chosen centring
    bool excluded = false;     // excluded from the run: greyed, the fit's prediction
};

// One marker of the residual plot: x = 2θobs (degrees), y = the residual of the chosen fit
// (ΔQ in Å⁻² for the fit on Q, Δ2θ in degrees for the fits on 2θ), and its tooltip.
struct PlotPoint {
    double x = 0, y = 0;
    std::string tip;
};

struct ResidualPlot {
    std::string xTitle, yTitle;
    // The series in the chart's legend.
    std::string pointsName, outliersName, excludedName, absentName;
    std::vector<PlotPoint> points;    // the other included reflections
    std::vector<PlotPoint> outliers;  // |t| > 3, or influential
    std::vector<PlotPoint> excluded;  // excluded from the run: the fit's prediction
    std::vector<PlotPoint> absent;    // absent under the centring: a ring around its marker
    double xMin = 0, xMax = 0;        // the markers' extent
    int unplotted = 0;                // reflections without 2θ at the wavelength
    bool Empty() const { return points.empty() && outliers.empty() && excluded.empty(); }
};

// What the window shows and what it was computed from.
struct DetailsWindowState {
    explicit DetailsWindowState(MainState& main) : main(main) {}

    MainState& main;  // the run, the table, the settings (lamda, x_ray, lattice), the names
    DetailsFitChoice fit = DetailsFitChoice::Q;

    std::array<std::string, kDetailsControlCount> captions;
    std::array<std::string, kDetailsColumns> columnCaptions;
    std::array<std::string, 7> latticeCaptions;  // P .. R
    std::array<std::string, 8> presetCaptions;   // "Cu-Ka  1.54178 Å" ...

    // The options as shown: the preset of the wavelength (−1 for a typed one), its text.
    int wavelengthPreset = 0;
    std::string wavelengthText;

    // The details, or nothing while the result does not describe the table.
    std::optional<RefinementDetails> details;
    std::string cellCaption;             // which fit the cell is from
    std::vector<std::string> cellLines;  // "a = 9.753(7) Å" ... "V = 440.5(6) Å³"
    std::string countLine;               // reflections and parameters of the fit
    std::string zeroLine;                // "Zero shift = 0.012(3)°" when refined
    std::vector<std::string> notes;      // why the 2θ fit or a figure has no value
    std::string meritCaption;
    std::vector<std::string> meritLines;
    // The correlation matrix of the chosen fit's parameters: labels and texts [row][col];
    // empty without a degree of freedom.
    std::vector<std::string> correlationLabels;
    std::vector<std::vector<std::string>> correlations;
    std::vector<DetailsRow> rows;  // in the order shown
    ResidualPlot plot;
    std::string legendAbsent;  // the absent reflections' colour: "Absent under I" ...

    // The order of the table: a column and its direction, or table order.
    std::optional<DetailsColumn> sortColumn;
    bool sortAscending = true;

    // Requests to the window: show and raise it; close it. Counts every change of what is
    // shown, so that the window knows when to rebuild its table and its chart.
    bool raiseRequested = false;
    bool closeRequested = false;
    std::uint64_t version = 0;

    // What the shown details were computed from.
    struct Key {
        bool filled = false;
        int system = 0, n = 0, p = 0;
        std::array<long double, 7> x{};
        long double wavelength = 0;
        Centring lattice = Centring::P;
        DetailsFitChoice fit = DetailsFitChoice::Q;
        Lang lang = Lang::English;
        bool operator==(const Key&) const = default;
    };
    Key shown;

    Lang UiLang() const { return LangFromCode(main.settings.lang); }
    const std::string& Caption(DetailsControl control) const {
        return captions[static_cast<std::size_t>(control)];
    }
};

// --- The main window's side -------------------------------------------------------------

// Whether the Calculation menu offers the details: a valid result that describes the table
// as it stands, as the reports require.
bool DetailsAvailable(const MainState& state);

// "Refinement Details...": the window, or the message when the result no longer describes
// the table.
void Details1Click(MainState& state, Ui& ui);

// --- Opening and following -------------------------------------------------------------

// Every opening: captions of the language, the details of the current run, a raise.
void DetailsFormShow(DetailsWindowState& state);

// After every command of the main window: captions of its language; the details computed
// anew when the run, the options or the language changed, emptied when the result no
// longer describes the table.
void FollowMainWindow(DetailsWindowState& state);

// --- Options ---------------------------------------------------------------------------

// A wavelength preset, 0..7 in the hkl window's order: λ and x_ray of the settings.
void ChooseWavelengthPreset(DetailsWindowState& state, Ui& ui, int preset);
// A typed wavelength in Å: λ, and x_ray " Set W.L." as the hkl window writes it. A text
// that is not a number CheckWavelength takes is refused with its message; nothing changes.
void TypeWavelength(DetailsWindowState& state, Ui& ui, const std::string& text);
// The lattice centring, shared with the hkl window's table.
void ChooseLattice(DetailsWindowState& state, Ui& ui, Centring centring);
void ChooseFit(DetailsWindowState& state, Ui& ui, DetailsFitChoice fit);

// A click on a column's header: that column ascending, again descending, and so on.
void SortDetailsTable(DetailsWindowState& state, DetailsColumn column);

// --- Output ----------------------------------------------------------------------------

// The title an exported plot carries: the sample name and the wavelength.
std::string PlotExportTitle(const DetailsWindowState& state);

// The whole details as text (the reflections tab-separated, for a spreadsheet), lines
// ended by CR LF.
std::string DetailsText(const DetailsWindowState& state);

void CopyDetailsClick(DetailsWindowState& state, Ui& ui);
// The save dialog, then the CIF or the CSV written atomically; a cancelled dialog writes
// nothing.
void SaveCifClick(DetailsWindowState& state, Ui& ui);
void SaveCsvClick(DetailsWindowState& state, Ui& ui);

// The plot's image in a format, made by the window.
enum class PlotFormat { Png, Svg };
using PlotRenderer = std::function<std::string(PlotFormat)>;
// The save dialog (PNG or SVG, by the name's extension), then the image written atomically.
void SavePlotClick(DetailsWindowState& state, Ui& ui, const PlotRenderer& render);

void CloseDetailsClick(DetailsWindowState& state, Ui& ui);

}  // namespace dorvalix
