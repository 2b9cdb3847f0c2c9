// SPDX-License-Identifier: GPL-3.0-or-later
// Ab-initio indexing: the cell, Bravais lattice and zero shift of an unknown phase from its
// peak positions, candidates ranked by de Wolff's M(20).
//
// The search combines methods that cover each other's gaps: successive dichotomy over
// volume shells for cubic, hexagonal (rhombohedral lattices among them), tetragonal,
// orthorhombic and monoclinic cells; zones and their combinations (Ito, Visser) for
// monoclinic and triclinic ones, and for any lattice whose symmetry the dichotomy's systems
// do not reach. Every cell found is refined on the lines by least squares on 2θ (with the
// zero shift when asked), reduced to its primitive lattice (centring read from the indices
// of the lines) and to its Niggli cell, and given the highest-symmetry Bravais lattice
// whose constrained fit is as good. Candidates are ranked by M(20) with fewer unindexed
// lines first among equals; a smaller cell and a higher symmetry win a tie, and a supercell
// never ranks above its own subcell at equal fit.
//
// A window runs RunIndexing in a worker thread: the progress callback, called from that
// thread, tells the fraction done and the current system and volume shell, and cancels the
// search by returning false; solutions are delivered as they are found and in the result.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bravais.h"
#include "cell_fit.h"
#include "lattice.h"
#include "lines.h"
#include "refinement_details.h"
#include "space_groups.h"
#include "zero_estimate.h"

namespace dorvalix::indexing {

enum class Family {
    Cubic,
    Tetragonal,
    Hexagonal,
    Rhombohedral,
    Orthorhombic,
    Monoclinic,
    Triclinic
};
inline constexpr int kFamilyCount = 7;

// "cubic", "tetragonal", "hexagonal", "rhombohedral", "orthorhombic", "monoclinic",
// "triclinic".
const char* FamilyName(Family family);
std::optional<Family> FamilyFromName(std::string_view name);

struct IndexingOptions {
    LineOptions lines;    // count, 2θ tolerance, wavelength override
    int impurities = -1;  // lines that need not be indexed; −1: 1 below 12 lines, else 2
    std::array<bool, kFamilyCount> families{true, true, true, true, true, true, true};
    long double maxVolume = 0;            // Å³ of a search cell; 0: each system's own limit
    bool refineZero = false;              // 2θ input only
    long double zeroRange = 0.25L;        // |zero| searched, degrees
    int top = 10;                         // solutions kept
    double timeLimit = 0;                 // seconds; 0: none
    long double bravaisTolerance = 1.5L;  // Le Page's δ, degrees
    int threads = 0;                      // 0: every core
    bool monoclinicCUnique = false;       // monoclinic cells with c unique (code 7) instead of b
};

struct IndexingProgress {
    double fraction = 0;                     // 0..1
    std::string stage;                       // "cubic", ..., "zones", "refining"
    long double shellMin = 0, shellMax = 0;  // the volume shell searched, Å³ (0 when none)
};

// One line under a solution.
struct SolutionLine {
    int line = 0;  // input number
    long double twoTheta = 0, d = 0;
    bool indexed = false;
    Hkl hkl{};
    long double delta = 0;  // 2θobs − zero − 2θcalc (degrees); d input: dobs − dcalc (Å)
    long double twoThetaDelta = 0;  // the same on 2θ at the working wavelength, degrees
    int matches = 0;                // distinct calculated positions within the tolerance
};

struct IndexingSolution {
    int rank = 0;  // 1 = best; 0 while the search still runs
    int code = kTriclinic;
    Centring centring = Centring::P;
    std::string bravais = "aP";
    Cell cell;
    long double volume = 0;
    std::optional<Cell> rhombohedralAxes;  // hR on rhombohedral axes
    SystemCoefficients x{};                // coefficients of `code`
    long double zero = 0;
    bool zeroRefined = false;
    FiguresOfMerit merit;        // M(20) and F(N) as the refinement details give them
    long double score = 0;       // the ranking's figure
    std::vector<int> unindexed;  // input numbers of the lines left unindexed
    std::vector<SolutionLine> lines;
    std::vector<ExtinctionClass> extinction;  // the best solutions only
    std::string method;                       // the search that found it
    Metric reduced{};                         // Niggli cell of the primitive lattice
    long double primitiveVolume = 0;
};

struct SearchStage {
    std::string name;
    long double maxVolume = 0;  // the largest search cell covered, Å³
    long long boxes = 0;        // dichotomy boxes, or zone pairs
    int found = 0;              // cells refined successfully
    bool complete = true;       // not cut by the time limit or cancelling
    double seconds = 0;
};

struct SearchSummary {
    std::vector<SearchStage> stages;
    int linesUsed = 0, impurities = 0;
    long double tolerance = 0;
    std::vector<ZeroEstimate> zeroEstimates;
    int lattices = 0;                  // distinct lattices refined
    std::string stopped = "complete";  // or "time limit", "cancelled"
    int fewestUnindexed = -1;          // among the lattices refined (−1: none)
    int dominantZoneLines = 0;         // lines in the best zone (a 2-D lattice)
};

struct IndexingResult {
    std::vector<IndexingSolution> solutions;  // best first
    std::optional<std::string> refusal;       // the input cannot be indexed as given
    std::string reason;                       // why nothing was found
    SearchSummary searched;
    LineSet lines;
    double elapsed = 0;  // seconds
};

using ProgressCallback = std::function<bool(const IndexingProgress&)>;
using SolutionCallback = std::function<void(const IndexingSolution&)>;

IndexingResult RunIndexing(const PeakList& peaks, const IndexingOptions& options,
                           const ProgressCallback& progress = {},
                           const SolutionCallback& found = {});

// The extinction classes consistent with a solution's indexed lines.
std::vector<ExtinctionClass> ExtinctionClassesOf(const LineSet& lines,
                                                 const IndexingSolution& solution);

}  // namespace dorvalix::indexing
