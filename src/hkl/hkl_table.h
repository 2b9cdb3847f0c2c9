// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl table: every reflection of a unit cell down to a minimum d, with its d and its
// diffraction angle 2θ for an X-ray wavelength.
//
// The table is held compactly (one HklReflection of 20 bytes per row) and its cell texts are
// written on demand from the stored, already rounded values (hkl_text.h), so a window can
// show hundreds of thousands of rows without holding a text per cell.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "centring.h"
#include "lang.h"

namespace dorvalix {

// --- Messages ------------------------------------------------------------------------

// A step the user can mend returns the message to show, or nothing when it succeeded.
using HklRefusal = std::optional<Text>;

extern const Text kSetCellConstantText;  // "Set Cell Constant"
extern const Text kSetHklRangeText;      // "Set hkl range "
extern const Text kWavelengthRangeText;  // "... from 0.01 to 100 Å"
extern const Text kMinimumDNotPositiveText;
extern const Text kRangeTooLargeText;
extern const Text kTooManyReflectionsText;      // the window's limit
extern const Text kToolTooManyReflectionsText;  // the tool's limit
extern const Text kTableExceedsMemoryText;      // the tool, on a machine of little memory
extern const Text kNotACellText;

// Largest index range the program covers: each row (h, k) of it costs a little even when
// none of its triples is a reflection, and a larger minimum d is what the user wants anyway.
constexpr long double kMaxIndexTriples = 2'000'000'000;

// The most reflections a table may hold, and what is shown for a larger one. A table is
// counted from its index range before it is built, so a refusal costs no memory.
struct HklLimit {
    std::size_t reflections;
    Text refusal;
};

// The window's tables: what its grid scrolls through smoothly, and far more than a screen
// can show.
constexpr std::size_t kWindowMaxReflections = 20'000'000;
extern const HklLimit kWindowLimit;

// The tool's tables: up to 100 million reflections, fewer when a sorted table would not
// fit in half the memory (a row of the table and its sort take at most 32 bytes).
constexpr std::size_t kToolMaxReflections = 100'000'000;
constexpr std::size_t kToolBytesPerReflection = 32;
HklLimit ToolLimit(std::uint64_t memory_bytes);
// The machine's memory in bytes (0 when unknown: no limit from it).
std::uint64_t PhysicalMemory();

// The X-ray wavelengths the program takes, in Å, compared in double precision as the
// settings file keeps them. Far below, every 2θ prints as 0.00 and F grows to a thousand
// digits; far above, no reflection has a 2θ at all: digits that look like a result.
inline constexpr double kMinWavelength = 0.01;
inline constexpr double kMaxWavelength = 100;

// λ must be a finite number from kMinWavelength to kMaxWavelength (kWavelengthRangeText);
// the minimum d greater than 0 and finite (a division by zero is no table). The one check
// of a wavelength typed, read from the settings or given on the command line.
HklRefusal CheckWavelength(long double wavelength);
HklRefusal CheckMinimumD(long double d_min);

// --- Wavelengths -----------------------------------------------------------------------

struct WavelengthPreset {
    const char* name;  // stored as "x_ray" and shown as the menu caption
    long double wavelength;
};
extern const std::array<WavelengthPreset, 8> kWavelengthPresets;

// The preset of that name (letter case ignored), or nullptr.
const WavelengthPreset* FindWavelengthPreset(std::string_view name);

// --- Cell and metric ---------------------------------------------------------------------

// Degrees to radians with the table's own constant (not π to full precision).
constexpr long double kHklPi = 3.141592L;

// The current cell: a, b, c in Å, angles in radians. a == 0: no cell read yet.
struct HklCell {
    long double a = 0, b = 0, c = 0;
    long double alpha = 0, beta = 0, gamma = 0;
    // The angles as given, in degrees: whether they form a cell is decided on these, since
    // the radians carry the table's rounded π (120°, 120°, 120° would pass by a hair).
    long double alpha_degrees = 0, beta_degrees = 0, gamma_degrees = 0;
};

// Refuses (kNotACellText) six numbers that describe no cell: an axis that is not greater
// than 0, an angle not between 0° and 180°, or a volume term
// 1 − cos²α − cos²β − cos²γ + 2 cos α cos β cos γ that is not greater than 0. The last
// equals 4 sin σ sin(σ − α) sin(σ − β) sin(σ − γ) with σ = (α + β + γ) ÷ 2, so it is
// tested exactly on the degrees: α + β + γ < 360° and each angle below the sum of the other
// two (and once more on the radians the table computes with).
HklRefusal CheckCell(const HklCell& cell);

// Stores the value of cell-grid row 0..5 (a, b, c, α, β, γ; angles typed in degrees).
void StoreCellValue(HklCell& cell, int row, long double value);

// The cell from three lengths and three angles in degrees.
HklCell CellFromDegrees(long double a, long double b, long double c, long double alpha,
                        long double beta, long double gamma);

// Parses the six value texts of the cell grid into `cell`, each stored as soon as it is
// parsed; a text that is not a number throws ConversionError (earlier rows stay stored).
void ReadCellTexts(const std::array<std::string, 6>& texts, HklCell& cell);

// S(h, k, l) = h·S_hh·h + k·S_kk·k + l·S_ll·l + 2·S_hk·h·k + 2·S_kl·k·l + 2·S_hl·h·l = V²/d².
struct CellMetric {
    long double s_hh = 0, s_kk = 0, s_ll = 0;
    long double s_hk = 0, s_kl = 0, s_hl = 0;
    long double v = 0;
};

// Throws FloatFault when the angles form no cell (square root of a negative number) or a
// product overflows.
CellMetric ComputeCellMetric(const HklCell& cell);

// d = V × √(1 ÷ S), S summed in the order h, k, l, hk, kl, hl. Throws FloatFault when S is
// 0 (division by zero), negative (invalid operation) or not finite (overflow).
long double SpacingD(const CellMetric& m, int h, int k, int l);

// --- Index range -------------------------------------------------------------------------

// hmin = −hmax and so on; hmax == 0: no range computed yet.
struct IndexRange {
    int hmin = 0, hmax = 0, kmin = 0, kmax = 0, lmin = 0, lmax = 0;
};

// Number of (h, k, l) the range covers.
long double IndexTripleCount(const IndexRange& range);

// hmax = trunc(a ÷ d_min) + 1, kmax = trunc(b ÷ d_min) + 1, lmax = trunc(c ÷ d_min) + 1:
// |h| ≤ a ÷ d holds for every reflection of every cell, oblique or not. Refused, with the
// range unchanged, without a cell (a == 0), for numbers that form no cell (CheckCell), for
// a minimum d that is not positive and for a range of more than kMaxIndexTriples triples.
HklRefusal ComputeIndexRange(const HklCell& cell, long double d_min, IndexRange& range);

// --- Table -------------------------------------------------------------------------------

// One reflection. d and 2θ are held as the values their texts show (rounded as the formats
// demand); the flags keep the leading-blank choice, which is made on the unrounded values.
struct HklReflection {
    std::int32_t h, k, l;
    // d rounded to 6 significant digits and 4 decimals, as q × 10^(e − 4) with q < 10^6
    // (q ≥ 10^5 when e > 0): key = e << 20 | q. A larger key is a larger displayed d, an
    // equal key the same text.
    std::uint32_t d_key;
    std::uint16_t two_theta;  // 2θ in hundredths of a degree, rounded
    std::uint8_t flags;       // kDAtLeast10 | kTwoThetaAtLeast10 | kTwoThetaAtLeast100
};
static_assert(sizeof(HklReflection) == 20);
constexpr std::uint8_t kDAtLeast10 = 1;
constexpr std::uint8_t kTwoThetaAtLeast10 = 2;
constexpr std::uint8_t kTwoThetaAtLeast100 = 4;

// Allocates the rows of a table without filling them first: they are written at once,
// by several threads, and a large table's memory is first touched where it is written.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Rows 1..n of the table grid are rows[0..n−1].
using HklTable = std::vector<HklReflection, UninitializedAllocator<HklReflection>>;

// What the hkl window holds besides its settings: the current cell, the range, the table
// and the table grid's row count (header included; 200 until the first table is made).
struct HklState {
    HklCell cell;
    IndexRange range;
    HklTable table;
    int grid_rows = 200;
};

// Row count of the table grid after a table of n reflections: n + 1, never below 30.
int HklGridRowCount(std::size_t n);

// The inputs of a generation besides the cell and the range.
struct HklParameters {
    int system = 0;                 // crystal-system code
    std::string_view range_choice;  // "all", "asym"; any other text keeps nothing
    long double wavelength = 1.54178L;
    long double d_min = 1.5L;
    Centring lattice = Centring::P;  // reflections it makes absent are left out
};

// Keeps one representative of each class of reflections the Laue symmetry of the system
// makes equivalent; codes outside 1..8 keep every triple.
bool InAsymmetricUnit(int system, int h, int k, int l);

// arctan(x ÷ √(1 − x²)); x × π ÷ 2 for x = ±1; 999 for |x| > 1.
double ArcSinSafe(double x);

// 2θ in degrees of a reflection of spacing d: θ = ArcSinSafe(λ ÷ (2 × d)) × 180 ÷ 3.14159,
// with the constant 3.14159 exactly.
long double TwoThetaDegrees(long double wavelength, long double d);

// The refusals every listing of a table starts with, in this order: a λ or minimum d the
// checks refuse, a range of more than kMaxIndexTriples triples, numbers that form no cell.
HklRefusal CheckTableInput(const HklCell& cell, const IndexRange& range,
                           const HklParameters& parameters);

// Every (h, k, l) of the range with h outermost and l innermost, each ascending, except
// (0, 0, 0), those outside the range choice, those the lattice centring makes absent,
// those with d < d_min·(1 − 10⁻⁹) and those with d ≤ λ ÷ 2, into `table` (emptied
// first). Refused, with the table left empty, for a λ or minimum d the checks refuse,
// numbers that form no cell (CheckCell), a range of more than kMaxIndexTriples triples and
// a table of more than limit.reflections reflections. The work is shared by `threads`
// threads (0: one for each core); the table is the same for any number.
HklRefusal GenerateHklTable(const HklCell& cell, const IndexRange& range,
                            const HklParameters& parameters, HklTable& table,
                            const HklLimit& limit = kWindowLimit, int threads = 0);

// The number of reflections GenerateHklTable lists, counted without building the table;
// counting stops as soon as the count passes `stop_above`. nullopt for a cell so
// degenerate that only the generation itself can tell (it may fail).
std::optional<std::size_t> CountHklReflections(const HklCell& cell, const IndexRange& range,
                                               const HklParameters& parameters,
                                               std::size_t stop_above, int threads = 0);

// Calculate of the hkl window: the table from the cell grid's texts. Without an a text
// ("Set Cell Constant") or a range ("Set hkl range ") the table is left empty; otherwise
// the texts become the current cell (ConversionError for a non-number) and the table is
// generated. The grid's row count is set unless an exception ends the command.
HklRefusal GenerateHklTable(const std::array<std::string, 6>& cell_texts,
                            const HklParameters& parameters, HklState& state);

// --- Sort --------------------------------------------------------------------------------

// Progress of the sort: called with the number of steps done, 0 .. n − 1 (the progress
// bar runs from 0 to n − 1), at the start, about every 65536 steps and at the end.
using HklSortProgress = std::function<void(std::size_t done)>;

// Orders the rows by displayed d, largest first, exactly as the selection sort that, for
// i = 1 .. n − 1, exchanges row i with the first row of the largest d among rows i..n
// does — including its order among equal d texts — in one pass over the groups of equal d
// after a parallel sort by d.
void SortHklTable(HklTable& table, const HklSortProgress& progress = {}, int threads = 0);

// Told, on the sorting thread, that the rows of positions 0 .. span.size() − 1 are final
// (the span stays valid and unchanged until the sort returns), about every 4096 positions
// and at the end.
using HklPlaced = std::function<void(std::span<const std::uint32_t> order)>;

// The same order without moving the rows: order[p] is the row the sort puts at position p.
// Progress is reported on the calling thread.
std::vector<std::uint32_t> HklSortOrder(const HklTable& table, const HklSortProgress& progress = {},
                                        int threads = 0, const HklPlaced& placed = {});

}  // namespace dorvalix
