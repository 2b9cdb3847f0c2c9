// SPDX-License-Identifier: GPL-3.0-or-later
// Space groups from gemmi's table (every setting of International Tables, Vol. A): the
// reflections a group makes systematically absent, and the extinction classes of a crystal
// system's setting with their extinction symbols.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "centring.h"
#include "lattice.h"

namespace dorvalix::indexing {

// The index shown of a reflection of a cell of crystal system `code` (1..8) and lattice
// centring `centring`: of the triples the lattice's point symmetry makes equivalent (the
// holohedry; on hexagonal axes with R centring its -3m), which all have the same d, the one
// with the most indices not negative, then the largest: 1 1 1 rather than 1 -1 -1, 2 2 0
// rather than 0 2 -2. Any other code leaves the triple as it is.
Hkl ShownIndices(const Hkl& hkl, int code, Centring centring);

// One space group, in the setting its symbol names.
class SpaceGroup {
  public:
    // By Hermann-Mauguin symbol ("P 21/c", "P 1 21/c 1", "Fd-3m", "R -3 c:H") or number.
    // For a symbol with a hexagonal and a rhombohedral setting, `rhombohedralAxes` picks the
    // latter. Empty when gemmi does not know the symbol.
    static std::optional<SpaceGroup> Find(std::string_view symbol, bool rhombohedralAxes = false);

    // Whether (h, k, l) is not systematically absent (lattice centring included).
    bool Allowed(const Hkl& h) const;
    // Whether any triple of the same d as (h, k, l) in a cell of crystal system `code` (its
    // lattice's point symmetry) is allowed: a line of the powder pattern, which a group of
    // lower Laue symmetry may allow as 0 2 3 but not as 3 2 0.
    bool AllowedOnItsLine(const Hkl& h, int code) const;
    // The lattice letter of the setting (rhombohedral axes: P).
    Centring LatticeCentring() const;
    std::string Name() const;  // gemmi's extended H-M symbol, e.g. "P 1 21/c 1"
    int Number() const;

    struct Impl;
    explicit SpaceGroup(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

  private:
    std::shared_ptr<const Impl> impl_;
};

// A set of space groups with the same systematic absences in one setting.
struct ExtinctionClass {
    std::string symbol;               // e.g. "P 1 21/c 1", "C 1 c 1", "P n - a", "F d - -"
    std::vector<std::string> groups;  // the groups' H-M symbols
    int absentInRange = 0;            // calculated reflections of the cell it makes absent
};

// The reflections that may explain one indexed line: every calculated reflection within
// its tolerance.
using LineCandidates = std::vector<Hkl>;

// The extinction classes of crystal system `code` with `centring` (the settings Dorvalix
// reports: monoclinic with b unique for code 5 and c unique for 7; rhombohedral lattices on
// hexagonal axes under code 2 with R) that leave every line at least one of its candidate
// reflections, most absences first. `inRange` lists the calculated reflections up to the
// last line (for the count of absences).
std::vector<ExtinctionClass> ConsistentExtinctionClasses(int code, Centring centring,
                                                         const std::vector<LineCandidates>& lines,
                                                         const std::vector<Hkl>& inRange);

}  // namespace dorvalix::indexing
