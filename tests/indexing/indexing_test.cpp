// SPDX-License-Identifier: GPL-3.0-or-later
// Ab-initio indexing: patterns made from known cells and space groups, with the errors real
// peak lists have, indexed back to their lattice at rank 1 with the right Bravais lattice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "indexing.h"
#include "synthetic_peak_list.h"

namespace dorvalix::indexing {
namespace {

using test::MakePattern;
using test::PeakListRecipe;

// The distinct Q of a primitive lattice, the first 30.
std::vector<long double> Fingerprint(const Metric& g) {
    std::vector<long double> out;
    for (const Reflection& r : ReflectionsOf(g, 2.0L, Centring::P)) {
        if (!out.empty() && r.q - out.back() <= 1e-9L * r.q) continue;
        out.push_back(r.q);
        if (out.size() == 30) break;
    }
    return out;
}

// The same lattice whatever cell describes it: the same powder lines (within 0.3 % in Q,
// what a refined zero shift leaves of the scale).
bool SameLattice(const Metric& a, const Metric& b) {
    const auto fa = Fingerprint(a), fb = Fingerprint(b);
    if (fa.size() != fb.size() || fa.empty()) return false;
    for (std::size_t i = 0; i < fa.size(); ++i)
        if (std::fabs(fa[i] - fb[i]) > 3e-3L * fa[i]) return false;
    return true;
}

Metric TruePrimitive(const PeakListRecipe& recipe) {
    const auto group = SpaceGroup::Find(recipe.spaceGroup);
    return *PrimitiveOf(*ReciprocalMetricOf(recipe.cell), group->LatticeCentring());
}

struct IndexingCase {
    const char* name;
    PeakListRecipe recipe;
    const char* bravais;
    const char* extinction;  // the first extinction symbol of the best solution ("" to skip)
};

void PrintTo(const IndexingCase& c, std::ostream* os) {
    *os << c.name;
}

PeakListRecipe Recipe(Cell cell, const char* group, int lines, long double noise, long double zero,
                      int impurities, int missing, std::uint64_t seed) {
    PeakListRecipe s;
    s.cell = cell;
    s.spaceGroup = group;
    s.lines = lines;
    s.noise = noise;
    s.zero = zero;
    s.impurities = impurities;
    s.missing = missing;
    s.seed = seed;
    return s;
}

IndexingResult Index(const PeakList& peaks, bool zero, int threads = 0) {
    IndexingOptions options;
    options.refineZero = zero;
    options.lines.count = 30;
    options.threads = threads;
    options.timeLimit = 90;  // a guard; every case here takes a few seconds at most
    return RunIndexing(peaks, options);
}

class IndexesKnownCell : public ::testing::TestWithParam<IndexingCase> {};

// The pattern of a known cell comes back as its lattice at rank 1, with its Bravais lattice,
// whatever impurity lines, missing line and zero shift it carries: no sub- or supercell and
// no lattice of lower symmetry ranks above it.
TEST_P(IndexesKnownCell, TrueLatticeRanksFirst) {
    const IndexingCase& c = GetParam();
    const test::Pattern pattern = MakePattern(c.recipe);
    const IndexingResult result = Index(pattern.peaks, c.recipe.zero != 0);
    ASSERT_FALSE(result.refusal) << *result.refusal;
    ASSERT_FALSE(result.solutions.empty()) << result.reason;
    const IndexingSolution& best = result.solutions.front();
    EXPECT_TRUE(SameLattice(best.reduced, TruePrimitive(c.recipe)))
        << "rank 1 is " << best.bravais << " " << best.cell.a << " " << best.cell.b << " "
        << best.cell.c << " " << best.cell.alpha << " " << best.cell.beta << " " << best.cell.gamma;
    EXPECT_EQ(best.bravais, c.bravais);
    EXPECT_LE(static_cast<int>(best.unindexed.size()), c.recipe.impurities);
    if (c.recipe.zero != 0) {
        EXPECT_NEAR(best.zero, c.recipe.zero, 0.05L);
    }
    ASSERT_TRUE(best.merit.m.value);
    EXPECT_GT(*best.merit.m.value, 10);
    if (*c.extinction != '\0') {
        ASSERT_FALSE(best.extinction.empty());
        EXPECT_EQ(best.extinction.front().symbol, c.extinction);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Systems, IndexesKnownCell,
    ::testing::Values(
        IndexingCase{
            "cF_Si",
            Recipe({5.4309L, 5.4309L, 5.4309L, 90, 90, 90}, "F d -3 m", 30, 0.01L, 0.1L, 1, 0, 11),
            "cF", "F d - -"},
        IndexingCase{"cP_with_two_impurities",
                     Recipe({4.1569L, 4.1569L, 4.1569L, 90, 90, 90}, "P m -3 m", 29, 0.01L, 0.052L,
                            2, 1, 12),
                     "cP", ""},
        // Five lines of a body-centred cell, which the primitive cubic cell
        // of half its volume (a row of 2.04 Å) also indexes.
        IndexingCase{"cI_chromium_five_lines",
                     Recipe({2.8839L, 2.8839L, 2.8839L, 90, 90, 90}, "I m -3 m", 24, 0.009L,
                            -0.115L, 1, 1, 17224614187952062655u),
                     "cI", ""},
        IndexingCase{"tI_anatase",
                     Recipe({3.7845L, 3.7845L, 9.5143L, 90, 90, 90}, "I 41/a m d", 20, 0.018L,
                            -0.027L, 2, 1, 13),
                     "tI", "I a - d"},
        IndexingCase{"hP_zincite",
                     Recipe({3.2498L, 3.2498L, 5.2066L, 90, 90, 120}, "P 63 m c", 25, 0.008L,
                            -0.081L, 2, 1, 14),
                     "hP", ""},
        IndexingCase{"hR_calcite",
                     Recipe({4.9896L, 4.9896L, 17.061L, 90, 90, 120}, "R -3 c", 29, 0.008L, 0.076L,
                            2, 1, 15),
                     "hR", "R - c"},
        // The orthorhombic cell a/2, a·√3/2, c has the same powder lines.
        IndexingCase{
            "hP_nepheline",
            Recipe({10.01L, 10.01L, 8.405L, 90, 90, 120}, "P 63", 21, 0.006L, 0.129L, 2, 1, 22),
            "hP", ""},
        // A monoclinic cell of a quarter of the volume, M(20) 57, is found
        // first.
        IndexingCase{"hP_beryl_behind_a_small_monoclinic_cell",
                     Recipe({9.21L, 9.21L, 9.19L, 90, 90, 120}, "P 6/m c c", 27, 0.017984L,
                            -0.131414L, 1, 1, 8635233928365133535u),
                     "hP", ""},
        IndexingCase{
            "oP_forsterite",
            Recipe({4.756L, 10.207L, 5.980L, 90, 90, 90}, "P b n m", 25, 0.014L, 0.118L, 2, 1, 16),
            "oP", ""},
        IndexingCase{
            "oC_alpha_uranium",
            Recipe({2.854L, 5.869L, 4.955L, 90, 90, 90}, "C m c m", 25, 0.007L, 0, 1, 1, 17), "oC",
            ""},
        // Lines within reach of an F-allowed and a forbidden reflection.
        IndexingCase{"oF_natrolite",
                     Recipe({18.29L, 18.64L, 6.59L, 90, 90, 90}, "F d d 2", 29, 0.012L, -0.023L, 2,
                            1, 996652309790133495u),
                     "oF", ""},
        IndexingCase{"mC_diopside",
                     Recipe({9.746L, 8.899L, 5.251L, 90, 105.63L, 90}, "C 1 2/c 1", 26, 0.013L,
                            -0.023L, 2, 1, 18),
                     "mC", "C 1 c 1"},
        IndexingCase{
            "mP_paracetamol",
            Recipe({7.10L, 9.38L, 11.71L, 90, 97.4L, 90}, "P 1 21/n 1", 25, 0.01L, 0.06L, 1, 1, 19),
            "mP", "P 1 21/n 1"},
        // a ≈ c: an orthorhombic I cell on a + c, a − c, b and four times the
        // volume indexes all but two lines with M(20) 23.
        IndexingCase{"mP_aspirin_a_near_c",
                     Recipe({11.43L, 6.59L, 11.40L, 90, 95.7L, 90}, "P 1 21/c 1", 27, 0.018L,
                            -0.062L, 1, 1, 11248568597982887872u),
                     "mP", ""},
        // 19 of the 21 lines in a plane of a large cell, by chance.
        // A supercell of twice the volume indexes an impurity, at 86 % of
        // the merit.
        IndexingCase{"mP_realgar_impurity_on_a_supercell",
                     Recipe({9.33L, 13.57L, 6.59L, 90, 106.4L, 90}, "P 1 21/n 1", 28, 0.012267L,
                            0.110976L, 2, 1, 14837367700337957624u),
                     "mP", ""},
        IndexingCase{"aP_rhodonite_no_dominant_zone",
                     Recipe({7.68L, 11.82L, 6.71L, 92.4L, 94.3L, 105.7L}, "P -1", 20, 0.00827L,
                            0.14134L, 2, 1, 3757943506000477873u),
                     "aP", ""},
        // A supercell of twice the volume catches an impurity line.
        IndexingCase{"aP_microcline_impurity_on_a_supercell",
                     Recipe({8.57L, 12.96L, 7.22L, 90.6L, 116.0L, 87.7L}, "C -1", 23, 0.013L,
                            0.057L, 2, 1, 2706043352672427399u),
                     "aP", ""},
        // A pseudo-monoclinic C supercell of twice the volume with fewer
        // parameters scores higher.
        IndexingCase{"aP_kyanite_pseudo_monoclinic_supercell",
                     Recipe({7.126L, 7.852L, 5.572L, 89.99L, 101.11L, 106.03L}, "P -1", 25,
                            0.008419L, -0.028417L, 1, 1, 1703356068687053235u),
                     "aP", ""},
        // No lattice of two zones reaches enough lines until refined on those it reaches.
        IndexingCase{"aP_turquoise_near_misses_refined",
                     Recipe({7.42L, 7.63L, 9.91L, 68.6L, 69.7L, 65.1L}, "P -1", 28, 0.0198704L,
                            0.0635571L, 2, 1, 5143867346924902031u),
                     "aP", ""},
        IndexingCase{
            "aP_turquoise",
            Recipe({7.42L, 7.63L, 9.91L, 68.6L, 69.7L, 65.1L}, "P -1", 24, 0.007L, 0.05L, 2, 1, 20),
            "aP", ""}),
    [](const ::testing::TestParamInfo<IndexingCase>& info) {
        return std::string(info.param.name);
    });

TEST(Indexing, TooFewLinesSaySo) {
    PeakList peaks;
    peaks.wavelength = 1.5406L;
    for (const long double t : {20.0L, 30.0L, 40.0L})
        peaks.peaks.push_back({t, "", std::nullopt});
    const IndexingResult result = Index(peaks, false);
    EXPECT_TRUE(result.solutions.empty());
    EXPECT_NE(result.reason.find("too few lines: 3"), std::string::npos) << result.reason;
}

// Lines that no cell explains: the reason names what was searched and how close the best
// cell came.
TEST(Indexing, NoSolutionSaysWhatWasSearched) {
    PeakList peaks;
    peaks.wavelength = 1.5406L;
    test::Random random(5);
    for (int i = 0; i < 20; ++i) {
        const long double t = random.Between(10, 60);
        peaks.peaks.push_back({t, FormatFixed(t, 3, 18), std::nullopt});
    }
    IndexingOptions options;
    options.families.fill(false);
    options.families[static_cast<std::size_t>(Family::Cubic)] = true;
    options.families[static_cast<std::size_t>(Family::Tetragonal)] = true;
    options.impurities = 0;
    const IndexingResult result = RunIndexing(peaks, options);
    EXPECT_TRUE(result.solutions.empty());
    EXPECT_NE(result.reason.find("no cell indexes 20 of the 20 lines"), std::string::npos)
        << result.reason;
    EXPECT_NE(result.reason.find("cubic to"), std::string::npos) << result.reason;
    EXPECT_NE(result.reason.find("tetragonal to"), std::string::npos) << result.reason;
}

// Every line in one zone (hk0 of an orthorhombic cell): no third axis can be found, and the
// reason says so; three lines off the zone are enough to find the cell.
TEST(Indexing, DominantZone) {
    const Cell cell{6.1L, 8.7L, 11.3L, 90, 90, 90};
    const Metric g = *ReciprocalMetricOf(cell);
    std::vector<std::pair<long double, Hkl>> lines;  // one of each position
    for (const Reflection& r : ReflectionsOf(g, 0.4L, Centring::P))
        if (r.hkl[2] == 0 && (lines.empty() || r.q > lines.back().first * (1 + 1e-9L)))
            lines.push_back({r.q, r.hkl});
    auto peaksOf = [&](const std::vector<Hkl>& extra) {
        PeakList peaks;
        peaks.wavelength = 1.5406L;
        std::vector<long double> q;
        for (std::size_t i = 0; i < lines.size() && i < 18; ++i)
            q.push_back(lines[i].first);
        for (const Hkl& h : extra)
            q.push_back(QOf(g, h));
        for (const long double v : q) {
            const long double t =
                2 * std::asin(1.5406L * std::sqrt(v) / 2) * 180 / std::acos(-1.0L);
            peaks.peaks.push_back({t, FormatFixed(t, 4, 18), std::nullopt});
        }
        return peaks;
    };
    const IndexingResult zone = Index(peaksOf({}), false);
    EXPECT_TRUE(zone.solutions.empty());
    EXPECT_NE(zone.reason.find("lie in one zone"), std::string::npos) << zone.reason;
    const IndexingResult found =
        Index(peaksOf({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}}), false);
    ASSERT_FALSE(found.solutions.empty()) << found.reason;
    EXPECT_TRUE(SameLattice(found.solutions.front().reduced, g));
}

// The first line missing, d values without a wavelength, peaks in random order with two of
// them given twice: each still indexes to the same cell.
TEST(Indexing, EdgeCasesOfTheInput) {
    PeakListRecipe recipe =
        Recipe({4.5937L, 4.5937L, 2.9587L, 90, 90, 90}, "P 42/m n m", 25, 0.01L, 0, 1, 0, 21);
    const test::Pattern pattern = MakePattern(recipe);
    const Metric truth = TruePrimitive(recipe);
    const IndexingResult reference = Index(pattern.peaks, false);
    ASSERT_FALSE(reference.solutions.empty()) << reference.reason;
    EXPECT_TRUE(SameLattice(reference.solutions.front().reduced, truth));

    PeakList withoutFirst = pattern.peaks;
    withoutFirst.peaks.erase(withoutFirst.peaks.begin());
    const IndexingResult missing = Index(withoutFirst, false);
    ASSERT_FALSE(missing.solutions.empty()) << missing.reason;
    EXPECT_TRUE(SameLattice(missing.solutions.front().reduced, truth));
    EXPECT_EQ(missing.solutions.front().bravais, "tP");

    PeakList dList;
    dList.kind = PeakKind::D;
    for (const Peak& p : pattern.peaks.peaks) {
        const long double d = 1.540593L / (2 * std::sin(p.position * std::acos(-1.0L) / 360));
        dList.peaks.push_back({d, FormatFixed(d, 5, 18), std::nullopt});
    }
    const IndexingResult fromD = Index(dList, false);
    ASSERT_FALSE(fromD.solutions.empty()) << fromD.reason;
    EXPECT_FALSE(fromD.lines.wavelengthStated);
    EXPECT_TRUE(SameLattice(fromD.solutions.front().reduced, truth));

    PeakList shuffled = pattern.peaks;
    shuffled.peaks.push_back(shuffled.peaks[3]);
    shuffled.peaks.push_back(shuffled.peaks[7]);
    test::Random random(3);
    for (std::size_t i = shuffled.peaks.size(); i > 1; --i)
        std::swap(shuffled.peaks[i - 1],
                  shuffled.peaks[static_cast<std::size_t>(random.Below(static_cast<int>(i)))]);
    const IndexingResult unordered = Index(shuffled, false);
    ASSERT_FALSE(unordered.solutions.empty()) << unordered.reason;
    EXPECT_EQ(unordered.lines.merged.size(), 2u);
    const Cell &a = reference.solutions.front().cell, &b = unordered.solutions.front().cell;
    EXPECT_EQ(a.a, b.a);
    EXPECT_EQ(a.c, b.c);
}

// One thread or two: the same solutions in the same order, to the last bit.
TEST(Indexing, ResultDoesNotDependOnThreads) {
    const PeakListRecipe recipe =
        Recipe({7.10L, 9.38L, 11.71L, 90, 97.4L, 90}, "P 1 21/n 1", 24, 0.012L, 0.04L, 1, 1, 22);
    const test::Pattern pattern = MakePattern(recipe);
    const IndexingResult one = Index(pattern.peaks, true, 1);
    const IndexingResult two = Index(pattern.peaks, true, 2);
    ASSERT_EQ(one.solutions.size(), two.solutions.size());
    for (std::size_t i = 0; i < one.solutions.size(); ++i) {
        EXPECT_EQ(one.solutions[i].cell.a, two.solutions[i].cell.a) << "rank " << i + 1;
        EXPECT_EQ(one.solutions[i].cell.beta, two.solutions[i].cell.beta) << "rank " << i + 1;
        EXPECT_EQ(one.solutions[i].zero, two.solutions[i].zero) << "rank " << i + 1;
    }
}

// The window's worker: progress from the calling thread, cancelling by returning false,
// solutions delivered as they are found.
TEST(Indexing, ProgressCancelsAndSolutionsArriveAsFound) {
    const PeakListRecipe recipe =
        Recipe({4.756L, 10.207L, 5.980L, 90, 90, 90}, "P b n m", 25, 0.01L, 0, 1, 1, 23);
    const test::Pattern pattern = MakePattern(recipe);
    IndexingOptions options;
    int calls = 0;
    const IndexingResult cancelled =
        RunIndexing(pattern.peaks, options, [&](const IndexingProgress& p) {
            ++calls;
            EXPECT_GE(p.fraction, 0);
            EXPECT_LE(p.fraction, 1);
            return false;
        });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cancelled.searched.stopped, "cancelled");

    int delivered = 0;
    double last = 0;
    const IndexingResult done = RunIndexing(
        pattern.peaks, options,
        [&](const IndexingProgress& p) {
            EXPECT_GE(p.fraction, last);
            last = p.fraction;
            return true;
        },
        [&](const IndexingSolution& s) {
            EXPECT_EQ(s.rank, 0);
            ++delivered;
        });
    EXPECT_EQ(done.searched.stopped, "complete");
    EXPECT_GE(delivered, static_cast<int>(done.solutions.size()));
    EXPECT_EQ(last, 1.0);
}

}  // namespace
}  // namespace dorvalix::indexing
