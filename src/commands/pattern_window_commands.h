// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern window (TForm11) as plain state and commands, without Qt: a measured powder
// pattern read from a diffractometer file, its background, the peaks found and fitted on it
// (each at its Kα1 maximum), the tick marks of a cell under it and the list of peaks, which
// the user sends to the main window's table. Reading, background, search and fit run as
// long work the user can cancel (Ui::RunCancellable); everything else at once. The window is
// modeless and follows the main window: its tick marks follow the refined cell after each
// Execute. The Qt window draws itself from this state.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hkl_table.h"
#include "lang.h"
#include "main_state.h"
#include "pattern.h"
#include "peaks.h"
#include "ui.h"

namespace dorvalix {

// Controls of the window that carry a fixed caption.
enum class PatternControl : int {
    TForm11,              // window title
    OptionsBox,           // the options' frame
    ScanLabel,            // scan of a multi-scan file
    WavelengthLabel,      // wavelength
    WavelengthFromFile,   // the wavelength list's entry for the file's own lines
    WavelengthNotStated,  // ... while the file states none and none was chosen
    TypedWavelength,      // ... for a typed value
    UseWavelengthButton,  // λ₁ to the hkl and details windows
    BackgroundLabel,      // background width
    SignificanceLabel,    // significance of the peak search
    ScaleLabel,           // intensity scale
    ShowBackground,       // check boxes of the plot
    ShowProfiles,
    ShowTicks,
    PlotHint,        // what the mouse does on the plot
    FullViewButton,  // back to the whole pattern
    PeaksLabel,      // the peak list's caption
    RemovePeakButton,
    CopyButton,
    CsvButton,
    SendButton,  // "Send Peaks to Table"
    OpenButton,
    CloseButton,
    EmptyNote,         // what an empty window says
    NoWavelengthNote,  // the file states no wavelength: choose one
    RemovePeakItem,    // the plot's context menu
    WavelengthTitle,   // the wavelength question's title
    WavelengthPrompt,  // ... and its text
};
inline constexpr int kPatternControlCount = static_cast<int>(PatternControl::WavelengthPrompt) + 1;

// The component name ("TForm11", "SendButton") and the caption in a language.
const char* PatternControlName(PatternControl control);
const char* PatternCaption(PatternControl control, Lang lang);
// The letter the English caption underlines for Alt+letter (0: none).
char PatternMnemonic(PatternControl control);

// The window's messages.
namespace pattern_window_text {
extern const Text kNoPattern;           // a command that needs a pattern
extern const Text kChooseWavelength;    // a command that needs the wavelength
extern const Text kNoPeaks;             // nothing to send, copy or save
extern const Text kReplaceTable;        // the question before the table is replaced
extern const Text kPeaksLeftOut;        // {n} peaks, {left} of them beyond the 300 rows
extern const Text kBadBackgroundWidth;  // a width that is no number above 0
extern const Text kBadSignificance;
extern const Text kWavelengthUsed;  // λ₁ given to the hkl and details windows
extern const Text kOpenTitle;       // the open dialog
extern const Text kSaveCsvTitle;
extern const Text kReading;  // titles of the long work
extern const Text kFinding;
extern const Text kFitting;
extern const Text kCancel;
}  // namespace pattern_window_text

// The file kinds the open dialog offers, by extension.
inline constexpr const char* kPatternFilePatterns =
    "*.xrdml *.raw *.brml *.ras *.rasx *.xy *.xye *.csv *.txt *.dat *.gsa *.gss *.gsas *.fxye";

// Whether a file named on the command line or dropped on the main window is a pattern for
// this window (by its extension: .xrdml .raw .brml .ras .rasx .xy .xye .gsa .gss .gsas
// .fxye, letter case ignored); any other file is read as an observation file.
bool IsPatternFileName(const std::string& path);

// The intensity scale of the plot.
enum class IntensityScale { Linear, SquareRoot, Log };

// Columns of the peak list.
enum class PeakColumn : int { Number, TwoTheta, Su, D, Fwhm, Height, Hkl };
inline constexpr int kPeakColumns = static_cast<int>(PeakColumn::Hkl) + 1;
const char* PeakColumnCaption(PeakColumn column, Lang lang);

// One peak as the list shows it, with the numbers it sorts by.
struct PeakRow {
    std::size_t peak = 0;  // index into the peaks, in increasing 2θ
    std::array<std::string, kPeakColumns> texts;
    std::array<std::optional<long double>, kPeakColumns> keys;
};

// A cell whose reflections are marked under the pattern: lengths in Å, angles in degrees,
// the crystal-system code (which reflections are equivalent; 0 lists every one) and the
// lattice centring (which are absent). The indexing window sets its solutions this way.
struct TickCell {
    long double a = 0, b = 0, c = 0;
    long double alpha = 90, beta = 90, gamma = 90;
    int system = 0;
    Centring centring = Centring::P;
    std::string label;  // how the window names it; empty: "given cell"
    bool operator==(const TickCell&) const = default;
};

// Where the tick marks come from: the run's refined cell, the hkl window's cell, or a cell
// given to the window (SetTickCell).
enum class TickSource { None, Refined, HklWindow, Given };

// One tick mark: the 2θ of the Kα1 line of one or more reflections of equal d, and what its
// tooltip says (the indices, d and 2θ).
struct PatternTick {
    double twoTheta = 0;  // degrees
    long double d = 0;    // Å
    std::vector<std::array<int, 3>> hkl;
    std::string tip;
};

// A peak as the plot marks it.
struct PeakMark {
    double twoTheta = 0;  // Kα1 maximum, degrees
    double top = 0;       // counts at the maximum: background plus height
    // Whether a tick mark lies within half its FWHM (at least 3 s.u.): the cell
    // explains it. Without tick marks, none is.
    bool explained = false;
    std::string tip;
};

// What the window shows and what it was computed from.
struct PatternWindowState {
    explicit PatternWindowState(MainState& main) : main(main) {}

    MainState& main;  // the table peaks are sent to, the refined cell, the settings
    // The hkl window's state, when the program has one: its cell can give the tick marks.
    const HklState* hkl = nullptr;

    std::array<std::string, kPatternControlCount> captions;
    std::array<std::string, kPeakColumns> columnCaptions;
    std::array<std::string, 8> presetCaptions;  // "Cu-Ka  Kα1 1.540593 + Kα2 1.544414 Å"
    std::array<std::string, 3> scaleCaptions;   // linear, square root, logarithmic

    // The file: its full path (empty while none is open), the pattern, the scan shown.
    std::string path;
    std::shared_ptr<const Pattern> pattern;
    std::size_t scan = 0;

    // The X-ray lines of the fit: the file's, a preset's or a typed one. Unknown (ka1 == 0)
    // while the file states none and the user has chosen none: then nothing is fitted.
    Wavelengths lines;
    // The wavelength list's entry: −1 the file's lines, 0..7 the presets of kXrayLines, 8 a
    // typed value; −2 none (the file states none).
    int wavelengthChoice = -2;
    std::string wavelengthText;  // the typed value, as shown

    PeakSettings settings;  // background width (0: chosen from the scan) and significance
    std::string backgroundText, significanceText;  // as the fields show them

    // The background and the peaks found on the scan shown; the peaks as fitted then added
    // to or removed from; the fitted profile (background and peaks) when it is shown.
    std::shared_ptr<const ScanPeaks> found;
    std::vector<double> profile;
    std::vector<PeakMark> marks;

    IntensityScale scale = IntensityScale::Linear;
    bool showBackground = true;
    bool showProfiles = false;
    bool showTicks = true;

    // The tick marks: their cell and where it comes from, the marks in the scan's range,
    // and the line that names the cell (or says why there are no marks).
    TickSource tickSource = TickSource::None;
    std::optional<TickCell> tickCell;
    std::vector<PatternTick> ticks;
    std::string tickLine;

    // The peak list in the order shown.
    std::vector<PeakRow> rows;
    std::optional<PeakColumn> sortColumn;
    bool sortAscending = true;

    // What the window writes above the plot: the file, the lines, the reader's notes.
    std::string fileLine, linesLine, notesText;
    std::string xTitle, dTitle, yTitle;  // the plot's axes

    // Requests to the window: show and raise it; close it; ask for the wavelength; the main
    // window's table changed. Counts every change of what the plot and the list show.
    bool raiseRequested = false;
    bool closeRequested = false;
    bool wavelengthRequested = false;
    bool mainChanged = false;
    std::uint64_t version = 0;

    // What the ticks of the refined and the hkl window's cell were last made from.
    std::optional<TickCell> refinedSeen, hklSeen;
    Lang shownLang = Lang::English;

    Lang UiLang() const { return LangFromCode(main.settings.lang); }
    const std::string& Caption(PatternControl control) const {
        return captions[static_cast<std::size_t>(control)];
    }
    const Scan* CurrentScan() const {
        return pattern && scan < pattern->scans.size() ? &pattern->scans[scan] : nullptr;
    }
    // The peaks as fitted, in increasing 2θ (empty without any).
    const std::vector<FittedPeak>& Peaks() const;
};

// --- The main window's side -------------------------------------------------------------

// File → Open Pattern...: the pattern window, which asks for the file.
void OpenPattern1Click(MainState& state, Ui& ui);

// --- Opening, reading, following ----------------------------------------------------------

// The open dialog, then the file read (OpenPatternFile); a cancelled dialog changes nothing.
void OpenPatternClick(PatternWindowState& state, Ui& ui);

// Reads the file (long work: cancelled, nothing changes; a file that cannot be read ends in
// the error box with nothing changed), shows its first scan and raises the window. With the
// file's wavelength the background, peaks and fit follow; a file that states none shows its
// background only and asks for the wavelength (wavelengthRequested): nothing is assumed.
void OpenPatternFile(PatternWindowState& state, Ui& ui, const std::string& path);

// After every command of the main window, and when the window becomes active: captions of
// its language; the tick marks of the refined cell after an Execute, of the hkl window's
// cell after its Calculate, anew when the lattice centring changed, and none from a result
// that no longer describes the table.
void FollowMainWindow(PatternWindowState& state);

// --- Options -----------------------------------------------------------------------------

// Another scan of a multi-scan file: its background and peaks anew.
void ChooseScan(PatternWindowState& state, Ui& ui, std::size_t scan);
// The X-ray lines: −1 the file's, 0..7 a preset of kXrayLines (a Kα preset is the doublet
// with its ratio refined, a Kα1 preset a single line). The peaks are fitted anew.
void ChoosePatternWavelength(PatternWindowState& state, Ui& ui, int choice);
// A typed wavelength in Å, a single line; refused (nothing changes) as the hkl window refuses
// one (CheckWavelength).
void TypePatternWavelength(PatternWindowState& state, Ui& ui, const std::string& text);
// The background's width in degrees 2θ (empty: chosen from the scan); the background and
// the peaks anew. The significance of the search in standard deviations; the peaks anew
// over the same background. A text that is no number above 0 is refused with its message.
// Peaks added or removed by hand are found anew with the rest.
void SetBackgroundWidth(PatternWindowState& state, Ui& ui, const std::string& text);
void SetSignificance(PatternWindowState& state, Ui& ui, const std::string& text);
void SetIntensityScale(PatternWindowState& state, Ui& ui, IntensityScale scale);
void ShowBackgroundCurve(PatternWindowState& state, Ui& ui, bool shown);
void ShowFittedProfiles(PatternWindowState& state, Ui& ui, bool shown);
void ShowTickMarks(PatternWindowState& state, Ui& ui, bool shown);

// --- Peaks ---------------------------------------------------------------------------------

// A click on the plot: a peak added at 2θ and fitted at once with its neighbours.
void AddPeakAt(PatternWindowState& state, Ui& ui, double twoTheta);
// Peak `peak` (in increasing 2θ) removed, its neighbours fitted again.
void RemovePeakAt(PatternWindowState& state, Ui& ui, std::size_t peak);

// A click on a column's header: that column ascending, again descending, and so on.
void SortPeakTable(PatternWindowState& state, PeakColumn column);

// The peak list as text for a spreadsheet: the file and lines, the header, one line per
// peak in the order shown, tab-separated, lines ended by CR LF.
std::string PeaksText(const PatternWindowState& state);
// The peak list as CSV (RFC 4180, numbers to 17 digits) in the order shown: peak,
// two_theta, two_theta_su, d, fwhm, height, area, eta, asymmetry, hkl.
std::string PeaksCsv(const PatternWindowState& state);
void CopyPeaks(PatternWindowState& state, Ui& ui);
// The save dialog, then the CSV written atomically; a cancelled dialog writes nothing.
void SavePeaksCsv(PatternWindowState& state, Ui& ui);

// "Send Peaks to Table": after the question when the table holds data, the table replaced by
// the peaks' d (from λ₁, six decimals) with empty indices, largest d first; at most 300 rows
// (those of the lowest 2θ), with a message naming how many were left out. The sample name
// is the file's (its name without extension when it states none); the main window redraws.
void SendPeaksToTable(PatternWindowState& state, Ui& ui);

// λ₁ of the lines in force becomes the wavelength of the hkl table and the refinement
// details (the settings' lamda, a typed value): the peaks were fitted at their Kα1 maxima,
// so their d give back those 2θ only with λ₁.
void UsePatternWavelength(PatternWindowState& state, Ui& ui);

void ClosePatternClick(PatternWindowState& state, Ui& ui);

// --- For other windows ---------------------------------------------------------------------

// The peaks fitted on the scan shown (2θ of Kα1 with s.u., d from λ₁, FWHM, height, area) in
// increasing 2θ, and the lines they were fitted with.
const std::vector<FittedPeak>& PatternPeaks(const PatternWindowState& state);
const Wavelengths& PatternLines(const PatternWindowState& state);

// Tick marks of any cell: they stay until another cell is given, an Execute refines one, the
// hkl window calculates one, or ClearTickCell.
void SetTickCell(PatternWindowState& state, const TickCell& cell);
void ClearTickCell(PatternWindowState& state);

// The tick marks of `cell` for λ₁ `wavelength` between 2θ `from` and `to` (degrees), one per
// distinct d, the reflections the centring makes absent left out; `refusal` tells why there
// are none (a cell that is no cell, more reflections than a plot can mark).
std::vector<PatternTick> TicksOf(const TickCell& cell, long double wavelength, double from,
                                 double to, Lang lang, std::string& refusal);

}  // namespace dorvalix
