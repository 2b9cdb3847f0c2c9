// SPDX-License-Identifier: GPL-3.0-or-later
// The indexing window (TForm12) as plain state and commands, without Qt: the cell of an
// unknown phase found from the peaks of the pattern window, or from the d column of the
// main table when no pattern is open. The search runs on a thread of its own (IndexingJob)
// while the window stays responsive: its progress and the candidates it finds arrive as the
// window collects them, best first by de Wolff's M(20) once it ends. A candidate chosen
// shows its indexed lines and its tick marks under the pattern; "Use This Cell" fills the
// main table with the indexed lines and chooses the crystal system and lattice centring
// they are indexed in, so that Execute refines the cell at once. The Qt window draws itself
// from this state.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "indexing.h"
#include "indexing_job.h"
#include "lang.h"
#include "main_state.h"
#include "pattern_window_commands.h"
#include "ui.h"

namespace dorvalix {

// Controls of the window that carry a fixed caption.
enum class IndexingControl : int {
    TForm12,          // window title
    OptionsBox,       // the options' frame
    InputLabel,       // what is indexed
    WavelengthLabel,  // wavelength
    TypedWavelength,  // the wavelength list's entry for a typed value
    SystemsLabel,     // crystal systems to try
    Cubic,            // their check boxes, in the order of indexing::Family
    Tetragonal,
    Hexagonal,
    Rhombohedral,
    Orthorhombic,
    Monoclinic,
    Triclinic,
    LinesLabel,       // number of lines
    ToleranceLabel,   // 2θ tolerance
    ImpuritiesLabel,  // unindexed lines tolerated
    VolumeLabel,      // maximum volume
    TimeLabel,        // time limit
    WeakLabel,        // peaks left out as too weak
    ZeroShift,        // refine a zero shift
    Automatic,        // what an empty field means: the search chooses
    NoLimit,          // ... no limit
    RunButton,
    CancelButton,
    CandidatesLabel,  // the candidates' table
    LinesTableLabel,  // the indexed lines' table
    KeepUnindexed,    // Use This Cell keeps the unindexed lines as excluded rows
    UseButton,        // "Use This Cell"
    CopyButton,
    TextButton,
    JsonButton,
    CloseButton,
    EmptyNote,  // nothing to index
};
inline constexpr int kIndexingControlCount = static_cast<int>(IndexingControl::EmptyNote) + 1;

// The component name ("TForm12", "UseButton") and the caption in a language.
const char* IndexingControlName(IndexingControl control);
const char* IndexingCaption(IndexingControl control, Lang lang);
// The letter the English caption underlines for Alt+letter (0: none).
char IndexingMnemonic(IndexingControl control);

// The window's messages.
namespace indexing_window_text {
extern const Text kNothingToIndex;  // no peaks and no d in the table
extern const Text kNoSystem;        // no crystal system ticked
extern const Text kBadLines;        // the options' fields
extern const Text kBadTolerance;
extern const Text kBadImpurities;
extern const Text kBadVolume;
extern const Text kBadTimeLimit;
extern const Text kBadWeak;
extern const Text kBadD;            // a d text of the table that is no number above 0
extern const Text kDWithout2Theta;  // a d too small for the wavelength
extern const Text kSearching;       // wait for the search, or cancel it
extern const Text kNoCandidate;     // nothing chosen to use, copy or save
extern const Text kReplaceTable;    // the question before the table is replaced
extern const Text kLinesLeftOut;    // {n} lines, {left} of them beyond the 300 rows
extern const Text kSaveTextTitle;   // the save dialogs
extern const Text kSaveJsonTitle;
}  // namespace indexing_window_text

// What is indexed: the peaks of the pattern window, or the d column of the main table.
enum class IndexingInput { Pattern, Table };

// The options' text fields.
enum class IndexingField { Lines, Tolerance, Impurities, MaxVolume, TimeLimit, Weak };
inline constexpr int kIndexingFields = static_cast<int>(IndexingField::Weak) + 1;

// Columns of the candidates' table.
enum class CandidateColumn : int {
    Rank,
    System,
    Bravais,
    A,
    B,
    C,
    Alpha,
    Beta,
    Gamma,
    Volume,
    M20,
    FN,
    Zero,
    Unindexed,
    Extinction,
};
inline constexpr int kCandidateColumns = static_cast<int>(CandidateColumn::Extinction) + 1;
const char* CandidateColumnCaption(CandidateColumn column, Lang lang);

// Columns of the indexed lines' table.
enum class LineColumn : int { Number, TwoThetaObs, TwoThetaCalc, Delta, DObs, DCalc, Hkl, Note };
inline constexpr int kLineColumns = static_cast<int>(LineColumn::Note) + 1;
const char* LineColumnCaption(LineColumn column, Lang lang);

// One observed line of the input: its number (the peak's in the pattern window's list, in
// increasing 2θ, or the table's row), its position, and whether the search was given it.
struct InputLine {
    int number = 0;
    long double twoTheta = 0;  // degrees, at the search's wavelength
    long double d = 0;         // Å
    std::string dText;         // table input: the d text as the table holds it
    std::optional<long double> intensity;
    bool searched = true;  // false: weaker than the threshold
};

// What a search was run on, kept with its candidates: Use This Cell and the exports work
// from it whatever has changed in the pattern or the table since.
struct IndexingRecord {
    IndexingInput input = IndexingInput::Pattern;
    std::vector<InputLine> lines;       // every line of the input, in increasing 2θ
    std::vector<std::size_t> searched;  // the search's peak k (1-based) is lines[searched[k-1]]
    long double wavelength = 0;
    std::string wavelengthName;  // "Kα1 of the pattern", "Cu-Ka", a typed value ...
    std::string source;          // the pattern's file name; empty for the table
    std::string sample;          // the pattern's sample name
    indexing::IndexingOptions options;
};

// A candidate lattice: the search's solution and a number that stays with it while the
// table is sorted and refilled.
struct IndexingCandidate {
    indexing::IndexingSolution solution;
    int id = 0;
};

// One candidate as the table shows it, with the numbers it sorts by.
struct CandidateRow {
    std::size_t candidate = 0;  // index into the candidates
    std::array<std::string, kCandidateColumns> texts;
    std::array<std::optional<long double>, kCandidateColumns> keys;
};

// One line under a candidate: the search's lines as it indexed them, and the lines it was
// not given (weaker than the threshold, or beyond the number of lines) indexed from the
// candidate's cell where a calculated position lies within their tolerance.
struct CandidateLine {
    int number = 0;            // as InputLine::number
    long double twoTheta = 0;  // observed
    long double d = 0;         // observed, after the zero shift
    std::string dText;         // the table's text (table input)
    bool searched = true;
    bool indexed = false;
    indexing::Hkl hkl{};
    long double twoThetaCalc = 0, dCalc = 0;
    long double delta = 0;  // 2θobs − zero − 2θcalc, degrees
    int matches = 0;        // distinct calculated positions within the tolerance
};
std::vector<CandidateLine> CandidateLines(const IndexingRecord& record,
                                          const indexing::IndexingResult& result,
                                          const indexing::IndexingSolution& solution);

struct LineRow {
    std::array<std::string, kLineColumns> texts;
    bool indexed = false;
    bool searched = true;
};

// What the window shows and what it was computed from.
struct IndexingWindowState {
    explicit IndexingWindowState(MainState& main) : main(main) {}

    MainState& main;  // the table that is indexed or filled, the settings
    // The pattern window's state, when the program has one: its peaks are indexed and its
    // tick marks show the chosen candidate.
    PatternWindowState* pattern = nullptr;

    std::array<std::string, kIndexingControlCount> captions;
    std::array<std::string, kCandidateColumns> candidateCaptions;
    std::array<std::string, kLineColumns> lineCaptions;
    std::array<std::string, 8> presetCaptions;  // "Cu-Ka  1.54178 Å" ...
    std::array<std::string, 2> inputCaptions;   // "peaks of the pattern (17)", ...
    std::string ownWavelengthCaption;           // the wavelength list's first entry
    std::string inputLine;                      // what the input is, and its wavelength

    // The options.
    IndexingInput input = IndexingInput::Table;
    bool patternAvailable = false;  // the pattern window has peaks
    int tableLines = 0;             // d texts in the main table
    // −1 the input's own wavelength (the pattern's Kα1, or the settings' λ for the table),
    // 0..7 the presets of kWavelengthPresets, 8 a typed value.
    int wavelengthChoice = -1;
    long double typedWavelength = 0;
    std::array<bool, indexing::kFamilyCount> families{true, true, true, true, true, true, true};
    std::array<std::string, kIndexingFields> fields{"25", "0.03", "", "", "", "2"};
    bool zeroShift = true;       // 2θ input only
    bool keepUnindexed = false;  // Use This Cell: unindexed lines as excluded rows

    // The search: running while a job exists; its progress; its record and result.
    std::unique_ptr<IndexingJob> job;
    double fraction = 0;
    std::string progressText;
    IndexingRecord record;
    std::optional<indexing::IndexingResult> result;  // the ended search, solutions moved out
    std::string summaryLine;                         // how it ended, or why nothing was found

    std::vector<IndexingCandidate> candidates;  // best first (a running search: by its score)
    bool provisional = false;                   // found by a running search, not ranked yet
    int nextId = 1;
    std::vector<CandidateRow> rows;  // in the order shown
    std::optional<CandidateColumn> sortColumn;
    bool sortAscending = true;
    std::optional<int> chosen;  // the id of the candidate shown below
    std::string linesCaption;   // which candidate the lines belong to
    std::vector<LineRow> lines;

    // Requests to the window: show and raise it; close it; the main window's table and
    // settings changed (and it is to be brought to the front); the pattern window's ticks
    // changed. Counts every change of what the tables show.
    bool raiseRequested = false;
    bool closeRequested = false;
    bool mainChanged = false;
    bool showMainRequested = false;
    bool patternChanged = false;
    std::uint64_t version = 0;
    Lang shownLang = Lang::English;

    Lang UiLang() const { return LangFromCode(main.settings.lang); }
    const std::string& Caption(IndexingControl control) const {
        return captions[static_cast<std::size_t>(control)];
    }
    bool Running() const { return job != nullptr; }
    const IndexingCandidate* Chosen() const;
};

// --- The main window's side -------------------------------------------------------------

// Calculation → Indexing...: the window.
void Indexing1Click(MainState& state, Ui& ui);

// --- Opening and following ---------------------------------------------------------------

// Every opening: captions of the language, the input (the pattern's peaks when the pattern
// window has any, else the table's d column), a raise.
void IndexingFormShow(IndexingWindowState& state);

// After every command of the main window and of the pattern window, and when the window
// becomes active: captions of the language, what the inputs hold.
void FollowMainWindow(IndexingWindowState& state);

// --- Options -----------------------------------------------------------------------------

// The input; the pattern only when it has peaks.
void ChooseIndexingInput(IndexingWindowState& state, Ui& ui, IndexingInput input);
// The wavelength: −1 the input's own, 0..7 a preset of kWavelengthPresets.
void ChooseIndexingWavelength(IndexingWindowState& state, Ui& ui, int choice);
// A typed wavelength in Å, refused as the hkl window refuses one (CheckWavelength).
void TypeIndexingWavelength(IndexingWindowState& state, Ui& ui, const std::string& text);
void ChooseFamily(IndexingWindowState& state, Ui& ui, indexing::Family family, bool on);
// A field's text: refused with its message (the field keeps its value) when it is not
// what the field takes: the number of lines a whole number 4..1000; the tolerance a number
// above 0 and below 5 degrees; the unindexed lines a whole number 0..50 or empty
// (automatic); the maximum volume a number above 0 or empty (each system's own limit); the
// time limit seconds above 0 or empty (none); the weak peaks' threshold a percentage of the
// strongest from 0 to below 100.
void SetIndexingField(IndexingWindowState& state, Ui& ui, IndexingField field,
                      const std::string& text);
void SetZeroShift(IndexingWindowState& state, Ui& ui, bool on);
void SetKeepUnindexed(IndexingWindowState& state, Ui& ui, bool on);

// --- The search --------------------------------------------------------------------------

// Starts a search on the input with the options (refused with a message when the input or
// a crystal system is missing, or a d of the table is no number above 0 or has no 2θ at
// the wavelength); the candidates of the last search go. Nothing while one runs.
void RunIndexingClick(IndexingWindowState& state, Ui& ui);
// Asks the running search to stop: the candidates it has found by then stay.
void CancelIndexingClick(IndexingWindowState& state, Ui& ui);
// Takes what the running search has reported: its progress, the candidates found (shown
// by its score until it ends), and at its end the ranked candidates, the first chosen.
void CollectIndexing(IndexingWindowState& state, Ui& ui);
// Waits for the running search to end, then collects it.
void WaitForIndexing(IndexingWindowState& state, Ui& ui);

// --- Candidates --------------------------------------------------------------------------

// A click on a column's header: that column ascending, again descending, and so on.
void SortCandidates(IndexingWindowState& state, CandidateColumn column);
// The candidate of row `row` (in the order shown): its lines below, its tick marks under
// the pattern.
void ChooseCandidate(IndexingWindowState& state, Ui& ui, std::size_t row);

// "Use This Cell": after the question when the table holds data, the main table replaced by
// the chosen candidate's indexed lines (d, h, k, l, largest d first; unindexed lines left
// out, or kept as excluded rows with indices 0 0 0), at most 300 rows; the crystal system
// and lattice centring of the candidate chosen (a rhombohedral lattice on hexagonal axes,
// obverse); the sample name kept. The main window comes to the front.
void UseThisCellClick(IndexingWindowState& state, Ui& ui);

// --- Output ------------------------------------------------------------------------------

// The search and its candidates as text (the tables tab-separated, in the order shown, and
// the chosen candidate's lines), lines ended by CR LF; and as JSON, every candidate with
// its lines, numbers to 17 significant digits.
std::string IndexingText(const IndexingWindowState& state);
std::string IndexingJson(const IndexingWindowState& state);
void CopyIndexingClick(IndexingWindowState& state, Ui& ui);
// The save dialog, then the file written atomically; a cancelled dialog writes nothing.
void SaveIndexingTextClick(IndexingWindowState& state, Ui& ui);
void SaveIndexingJsonClick(IndexingWindowState& state, Ui& ui);

// Close, or Escape: the window hides, and a running search is cancelled.
void CloseIndexingClick(IndexingWindowState& state, Ui& ui);

}  // namespace dorvalix
