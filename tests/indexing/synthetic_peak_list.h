// SPDX-License-Identifier: GPL-3.0-or-later
// Peak lists made from a known cell and space group, as a diffractometer and a peak search
// would give them: every reflection the space group allows, lines closer than the
// resolution merged, the first N kept, some left out, impurity lines added, each position
// off by a random error and all by a zero shift. A fixed seed gives the same list on every
// machine (the generator is a splitmix64 of its own, not the library's distributions).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "lattice.h"
#include "lines.h"
#include "numtext.h"
#include "space_groups.h"

namespace dorvalix::indexing::test {

class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    long double Uniform() { return static_cast<long double>(Next() >> 11) / 9007199254740992.0L; }
    long double Between(long double a, long double b) { return a + (b - a) * Uniform(); }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

  private:
    std::uint64_t state_;
};

struct PeakListRecipe {
    Cell cell;
    std::string spaceGroup = "P 1";  // in the setting of the cell's axes
    int lines = 25;                  // lines kept, before the missing ones are taken out
    long double wavelength = 1.540593L;
    long double noise = 0;           // each 2θ off by up to ± this, degrees
    long double zero = 0;            // added to every 2θ, degrees
    int impurities = 0;              // foreign lines among the kept range
    int missing = 0;                 // lines left out among the first 20
    long double resolution = 0.03L;  // lines closer than this (2θ) are one
    int decimals = 4;                // of the written 2θ
    std::uint64_t seed = 1;
};

struct Pattern {
    PeakList peaks;
    std::vector<long double> trueTwoTheta;  // of the cell's lines kept, before noise and zero
};

inline Pattern MakePattern(const PeakListRecipe& recipe) {
    Pattern out;
    const auto g = ReciprocalMetricOf(recipe.cell);
    const auto group = SpaceGroup::Find(recipe.spaceGroup);
    if (!g || !group) return out;
    const long double rad = std::numbers::pi_v<long double> / 180;
    // Reflections up to 2θ of 150°, or fewer when the cell is large.
    const long double qTop = std::pow(2 * std::sin(75 * rad) / recipe.wavelength, 2.0L);
    const std::vector<Reflection> all = ReflectionsOf(*g, qTop, Centring::P, 50'000'000);
    std::vector<long double> positions;
    for (const Reflection& r : all) {
        if (!group->Allowed(r.hkl)) continue;
        const long double s = recipe.wavelength * std::sqrt(r.q) / 2;
        if (s >= 1) continue;
        positions.push_back(2 * std::asin(s) / rad);
    }
    std::sort(positions.begin(), positions.end());
    std::vector<long double> lines;
    for (std::size_t i = 0; i < positions.size();) {
        // A group of reflections within the resolution of its first is one line at its mean.
        std::size_t j = i;
        long double sum = 0;
        while (j < positions.size() && positions[j] - positions[i] <= recipe.resolution)
            sum += positions[j++];
        lines.push_back(sum / static_cast<long double>(j - i));
        i = j;
    }
    if (static_cast<int>(lines.size()) > recipe.lines)
        lines.resize(static_cast<std::size_t>(recipe.lines));
    Random random(recipe.seed);
    for (int m = 0; m < recipe.missing && !lines.empty(); ++m)
        lines.erase(lines.begin() + random.Below(std::min(20, static_cast<int>(lines.size()))));
    out.trueTwoTheta = lines;
    std::vector<long double> observed;
    for (const long double t : lines)
        observed.push_back(t + recipe.zero + random.Between(-recipe.noise, recipe.noise));
    if (!lines.empty()) {
        const long double low = lines.front() * 0.8L, high = lines.back();
        for (int i = 0; i < recipe.impurities; ++i) {
            for (int attempt = 0; attempt < 100; ++attempt) {
                const long double t = random.Between(low, high);
                bool clear = true;
                for (const long double o : observed)
                    clear = clear && std::fabs(o - t) > 0.1L;
                if (!clear) continue;
                observed.push_back(t);
                break;
            }
        }
    }
    std::sort(observed.begin(), observed.end());
    out.peaks.kind = PeakKind::TwoTheta;
    out.peaks.wavelength = recipe.wavelength;
    for (const long double t : observed) {
        Peak p;
        p.text = FormatFixed(t, recipe.decimals, 18);
        p.position = ParseReal(p.text);
        out.peaks.peaks.push_back(p);
    }
    return out;
}

}  // namespace dorvalix::indexing::test
