// SPDX-License-Identifier: GPL-3.0-or-later
#include "space_groups.h"

#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <map>
#include <mutex>

#include "crystal_system.h"

namespace dorvalix::indexing {

struct SpaceGroup::Impl {
    const gemmi::SpaceGroup* group = nullptr;
    gemmi::GroupOps ops;
};

namespace {

gemmi::Op::Miller MillerOf(const Hkl& h) {
    return {h[0], h[1], h[2]};
}

// The rotations of the holohedry of each system's setting, built once.
const std::vector<gemmi::Op>& HolohedryOps(int code, Centring centring) {
    static const auto table = [] {
        std::map<int, std::vector<gemmi::Op>> t;
        const std::pair<int, const char*> groups[] = {{kCubic, "P m -3 m"},
                                                      {kTetragonal, "P 4/m m m"},
                                                      {kOrthorhombic, "P m m m"},
                                                      {kHexagonal, "P 6/m m m"},
                                                      {-kHexagonal, "R -3 m:H"},
                                                      {kTrigonal, "R -3 m:R"},
                                                      {kMonoclinicBeta, "P 1 2/m 1"},
                                                      {kMonoclinicGamma, "P 1 1 2/m"},
                                                      {kTriclinic, "P -1"}};
        for (const auto& [key, name] : groups) {
            if (const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(name))
                t[key] = sg->operations().sym_ops;
        }
        return t;
    }();
    static const std::vector<gemmi::Op> none;
    const int key = code == kHexagonal && centring == Centring::R ? -kHexagonal : code;
    const auto it = table.find(key);
    return it == table.end() ? none : it->second;
}

// The index to show of equivalent triples: the most indices not negative, then the largest.
bool PreferredIndices(const Hkl& a, const Hkl& b) {
    auto nonNegative = [](const Hkl& h) { return (h[0] >= 0) + (h[1] >= 0) + (h[2] >= 0); };
    if (nonNegative(a) != nonNegative(b)) return nonNegative(a) > nonNegative(b);
    return a > b;
}

Centring CentringOfLetter(char letter) {
    const auto c = CentringFromLetter(std::string_view(&letter, 1));
    return c ? *c : Centring::P;
}

// Whether the group's setting is one Dorvalix reports for crystal system `code` with the
// lattice centring.
bool InSetting(const gemmi::SpaceGroup& sg, int code, Centring centring) {
    const char letter = CentringLetter(centring);
    const gemmi::CrystalSystem cs = sg.crystal_system();
    const std::string_view qualifier = sg.qualifier;
    switch (code) {
        case kCubic:
            return cs == gemmi::CrystalSystem::Cubic && sg.hm[0] == letter;
        case kTetragonal:
            return cs == gemmi::CrystalSystem::Tetragonal && sg.hm[0] == letter;
        case kHexagonal:
            if (cs != gemmi::CrystalSystem::Trigonal && cs != gemmi::CrystalSystem::Hexagonal)
                return false;
            if (centring == Centring::R) return sg.hm[0] == 'R' && sg.ext == 'H';
            return centring == Centring::P && sg.hm[0] == 'P';
        case kTrigonal:
            return cs == gemmi::CrystalSystem::Trigonal && sg.ext == 'R';
        case kOrthorhombic:
            return cs == gemmi::CrystalSystem::Orthorhombic && sg.hm[0] == letter;
        case kMonoclinicBeta:
            return cs == gemmi::CrystalSystem::Monoclinic && sg.hm[0] == letter &&
                   qualifier.find('b') != std::string_view::npos;
        case kMonoclinicGamma:
            return cs == gemmi::CrystalSystem::Monoclinic && sg.hm[0] == letter &&
                   qualifier.find('c') != std::string_view::npos;
        case kTriclinic:
            return cs == gemmi::CrystalSystem::Triclinic && sg.hm[0] == letter;
        default:
            return false;
    }
}

std::vector<std::string> Tokens(const char* hm) {
    std::vector<std::string> out;
    std::string current;
    for (const char* p = hm; *p != '\0'; ++p) {
        if (*p == ' ') {
            if (!current.empty()) out.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty()) out.push_back(current);
    return out;
}

// The glide letter of a symbol part ("21/c": c, "n": n, "m": none, "-3": none).
char GlideOf(const std::string& token) {
    const std::size_t slash = token.find('/');
    const std::string plane = slash == std::string::npos ? token : token.substr(slash + 1);
    if (plane.size() == 1 && std::string_view("abcnde").find(plane[0]) != std::string_view::npos)
        return plane[0];
    return 0;
}

// The order of the rotation axis of a symbol part (1 when none).
int AxisOrderOf(const std::string& token) {
    for (const char c : token) {
        if (c >= '1' && c <= '6') return c - '0';
        if (c != '-') break;
    }
    return 1;
}

// The row of reflections along the direct axis of each position of the symbol, where the
// position stands for a cell axis: (1, 0, 0), (0, 1, 0), (0, 0, 1); {0, 0, 0} for none.
std::array<Hkl, 3> RowsOfPositions(int code) {
    switch (code) {
        case kMonoclinicBeta:
        case kMonoclinicGamma:
        case kOrthorhombic:
            return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        case kTetragonal:
            return {{{0, 0, 1}, {1, 0, 0}, {0, 0, 0}}};
        case kHexagonal:
            return {{{0, 0, 1}, {0, 0, 0}, {0, 0, 0}}};
        case kCubic:
            return {{{1, 0, 0}, {0, 0, 0}, {0, 0, 0}}};
        default:
            return {};
    }
}

struct ClassData {
    ExtinctionClass info;
    std::vector<const gemmi::SpaceGroup*> members;
    gemmi::GroupOps ops;  // of the first member
};

bool LatticeAllows(const gemmi::GroupOps& ops, const gemmi::Op::Miller& h) {
    for (auto c = ops.cen_ops.begin() + 1; c < ops.cen_ops.end(); ++c)
        if (gemmi::GroupOps::has_phase_shift(*c, h)) return false;
    return true;
}

// Absent through a glide plane (a mirror part with a translation) alone.
bool AbsentByGlide(const gemmi::GroupOps& ops, const gemmi::Op::Miller& h) {
    const gemmi::Op::Miller denh = {gemmi::Op::DEN * h[0], gemmi::Op::DEN * h[1],
                                    gemmi::Op::DEN * h[2]};
    for (const gemmi::Op& op : ops.sym_ops) {
        if (op.rot_type() != -2 || op.apply_to_hkl_without_division(h) != denh) continue;
        for (const gemmi::Op::Tran& c : ops.cen_ops) {
            if (gemmi::GroupOps::has_phase_shift(
                    {op.tran[0] + c[0], op.tran[1] + c[1], op.tran[2] + c[2]}, h))
                return true;
        }
    }
    return false;
}

// The screw part of the symbol at a position: from the row of reflections along its axis,
// when the group's absences there go beyond the lattice's and beyond what the glide planes
// already make absent.
std::string ScrewOf(const gemmi::GroupOps& ops, const Hkl& row, int axisOrder) {
    if (row == Hkl{0, 0, 0} || axisOrder < 2) return {};
    std::vector<int> present;
    bool beyondLattice = false, beyondGlides = false;
    for (int n = 1; n <= 12; ++n) {
        const gemmi::Op::Miller h = {row[0] * n, row[1] * n, row[2] * n};
        const bool lattice = LatticeAllows(ops, h);
        const bool absent = ops.is_systematically_absent(h);
        if (!absent) present.push_back(n);
        if (lattice && absent) {
            beyondLattice = true;
            if (!AbsentByGlide(ops, h)) beyondGlides = true;
        }
    }
    if (!beyondLattice || !beyondGlides || present.empty()) return {};
    const int step = present.front();
    // 2₁; 3₁ (3₂ alike); 4₂ (l = 2n) or 4₁ (4n); 6₃, 6₂ or 6₁.
    if (axisOrder == 2 && step == 2) return "21";
    if (axisOrder == 3 && step == 3) return "31";
    if (axisOrder == 4 && step == 2) return "42";
    if (axisOrder == 4 && step == 4) return "41";
    if (axisOrder == 6 && step == 2) return "63";
    if (axisOrder == 6 && step == 3) return "62";
    if (axisOrder == 6 && step == 6) return "61";
    return {};
}

std::string SymbolOf(int code, const std::vector<const gemmi::SpaceGroup*>& members,
                     const gemmi::GroupOps& ops) {
    std::vector<std::vector<std::string>> tokens;
    std::size_t positions = 0;
    for (const gemmi::SpaceGroup* sg : members) {
        tokens.push_back(Tokens(sg->hm));
        positions = std::max(positions, tokens.back().size() - 1);
    }
    const std::array<Hkl, 3> rows = RowsOfPositions(code);
    std::string symbol(1, tokens.front().front()[0]);
    for (std::size_t p = 1; p <= positions; ++p) {
        // The glide of the first member (the tables' first setting) when every member has
        // one there: settings of one class may name the same glide differently (C 1 c 1 and
        // C 1 n 1). The screw is named after the lowest axis order among the members (3₁
        // rather than 6₂ for l = 3n).
        char glide = 0;
        bool everyGlide = true, allOne = true;
        int axisOrder = 0;
        for (const auto& t : tokens) {
            const std::string part = p < t.size() ? t[p] : std::string("1");
            const char g = GlideOf(part);
            if (&t == &tokens.front()) glide = g;
            if (g == 0) everyGlide = false;
            if (part != "1") allOne = false;
            const int order = AxisOrderOf(part);
            if (order >= 2 && (axisOrder == 0 || order < axisOrder)) axisOrder = order;
        }
        if (!everyGlide) glide = 0;
        const std::string screw =
            p - 1 < rows.size() ? ScrewOf(ops, rows[p - 1], axisOrder) : std::string();
        std::string part;
        if (allOne) {
            part = "1";
        } else if (!screw.empty() && glide != 0) {
            part = screw + "/" + glide;
        } else if (!screw.empty()) {
            part = screw;
        } else if (glide != 0) {
            part = std::string(1, glide);
        } else {
            part = "-";
        }
        symbol += " " + part;
    }
    return symbol;
}

// The extinction classes of a setting, built once: groups with the same absences among the
// reflections of indices up to ±6 (enough for every condition of the tables, 6₁ included).
const std::vector<ClassData>& ClassesOf(int code, Centring centring) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, std::vector<ClassData>> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto key = std::make_pair(code, static_cast<int>(centring));
    const auto found = cache.find(key);
    if (found != cache.end()) return found->second;
    std::vector<gemmi::Op::Miller> probe;
    for (int h = 0; h <= 6; ++h)
        for (int k = -6; k <= 6; ++k)
            for (int l = -6; l <= 6; ++l)
                if (h > 0 || k > 0 || (k == 0 && l > 0)) probe.push_back({h, k, l});
    std::map<std::vector<bool>, std::size_t> bySignature;
    std::vector<ClassData> classes;
    // The first 530 entries are the settings of the International Tables; gemmi adds a few
    // unconventional ones after them.
    for (std::size_t entry = 0; entry < 530; ++entry) {
        const gemmi::SpaceGroup& sg = gemmi::spacegroup_tables::main[entry];
        if (!InSetting(sg, code, centring)) continue;
        const gemmi::GroupOps ops = sg.operations();
        std::vector<bool> signature(probe.size());
        for (std::size_t i = 0; i < probe.size(); ++i)
            signature[i] = ops.is_systematically_absent(probe[i]);
        const auto [it, inserted] = bySignature.emplace(signature, classes.size());
        if (inserted) {
            classes.push_back({});
            classes.back().ops = ops;
        }
        ClassData& c = classes[it->second];
        // Origin choices of one group share their name.
        const std::string name = sg.hm;
        if (std::find(c.info.groups.begin(), c.info.groups.end(), name) == c.info.groups.end()) {
            c.info.groups.push_back(name);
            c.members.push_back(&sg);
        }
    }
    for (ClassData& c : classes)
        c.info.symbol = SymbolOf(code, c.members, c.ops);
    return cache.emplace(key, std::move(classes)).first->second;
}

}  // namespace

Hkl ShownIndices(const Hkl& hkl, int code, Centring centring) {
    Hkl best = hkl;
    for (const gemmi::Op& op : HolohedryOps(code, centring)) {
        const gemmi::Op::Miller m = op.apply_to_hkl({hkl[0], hkl[1], hkl[2]});
        const Hkl candidate{m[0], m[1], m[2]};
        if (PreferredIndices(candidate, best)) best = candidate;
        const Hkl mate{-m[0], -m[1], -m[2]};
        if (PreferredIndices(mate, best)) best = mate;
    }
    return best;
}

std::optional<SpaceGroup> SpaceGroup::Find(std::string_view symbol, bool rhombohedralAxes) {
    const std::string name(symbol);
    const gemmi::SpaceGroup* sg = rhombohedralAxes ? gemmi::find_spacegroup_by_name(name, 60, 60)
                                                   : gemmi::find_spacegroup_by_name(name, 90, 120);
    if (sg == nullptr) return std::nullopt;
    auto impl = std::make_shared<Impl>();
    impl->group = sg;
    impl->ops = sg->operations();
    return SpaceGroup(std::move(impl));
}

bool SpaceGroup::Allowed(const Hkl& h) const {
    return !impl_->ops.is_systematically_absent(MillerOf(h));
}

bool SpaceGroup::AllowedOnItsLine(const Hkl& h, int code) const {
    if (Allowed(h)) return true;
    for (const gemmi::Op& op : HolohedryOps(code, LatticeCentring())) {
        if (!impl_->ops.is_systematically_absent(op.apply_to_hkl(MillerOf(h)))) return true;
    }
    return false;
}

Centring SpaceGroup::LatticeCentring() const {
    return CentringOfLetter(impl_->group->centring_type());
}

std::string SpaceGroup::Name() const {
    return impl_->group->xhm();
}

int SpaceGroup::Number() const {
    return impl_->group->number;
}

std::vector<ExtinctionClass> ConsistentExtinctionClasses(int code, Centring centring,
                                                         const std::vector<LineCandidates>& lines,
                                                         const std::vector<Hkl>& inRange) {
    std::vector<ExtinctionClass> out;
    for (const ClassData& c : ClassesOf(code, centring)) {
        bool consistent = true;
        for (const LineCandidates& line : lines) {
            if (line.empty()) continue;
            bool any = false;
            for (const Hkl& h : line)
                any = any || !c.ops.is_systematically_absent(MillerOf(h));
            if (!any) {
                consistent = false;
                break;
            }
        }
        if (!consistent) continue;
        ExtinctionClass e = c.info;
        e.absentInRange = 0;
        for (const Hkl& h : inRange)
            e.absentInRange += c.ops.is_systematically_absent(MillerOf(h)) ? 1 : 0;
        out.push_back(std::move(e));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const ExtinctionClass& a, const ExtinctionClass& b) {
                         return a.absentInRange > b.absentInRange;
                     });
    return out;
}

}  // namespace dorvalix::indexing
