// SPDX-License-Identifier: GPL-3.0-or-later
// Lattice centring and the figures of merit M(n) and F(n).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "refinement_details.h"
#include "synthetic_data.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

TEST(Centring, Rules) {
    const struct {
        Centring c;
        int h, k, l;
        bool allowed;
    } cases[] = {
        {Centring::P, 1, 0, 0, true},   {Centring::P, 1, 2, 3, true},
        {Centring::A, 1, 1, 1, true},   {Centring::A, 1, 1, 0, false},
        {Centring::A, 0, -1, 1, true},  {Centring::B, 1, 0, 1, true},
        {Centring::B, 1, 1, 0, false},  {Centring::B, -1, 5, 3, true},
        {Centring::C, 1, 1, 0, true},   {Centring::C, 1, 0, 1, false},
        {Centring::C, -2, 0, 7, true},  {Centring::I, 1, 1, 0, true},
        {Centring::I, 1, 1, 1, false},  {Centring::I, -1, 0, 1, true},
        {Centring::F, 1, 1, 1, true},   {Centring::F, 2, 0, 0, true},
        {Centring::F, -1, 3, -5, true}, {Centring::F, 1, 1, 0, false},
        {Centring::F, 2, 1, 0, false},  {Centring::F, 1, 0, 0, false},
        {Centring::R, 1, 0, 1, true},   {Centring::R, 0, 1, 2, true},
        {Centring::R, 0, 0, 3, true},   {Centring::R, 1, 0, 0, false},
        {Centring::R, 0, 0, 1, false},  {Centring::R, -1, 0, -1, true},
        {Centring::R, 1, 1, 0, true},   {Centring::R, 2, -1, 0, true},
        {Centring::R, 1, -1, 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AllowedByCentring(c.c, c.h, c.k, c.l), c.allowed)
            << CentringLetter(c.c) << " " << c.h << " " << c.k << " " << c.l;
        // A Friedel mate is allowed or absent with it.
        EXPECT_EQ(AllowedByCentring(c.c, -c.h, -c.k, -c.l), c.allowed);
    }
    // Indices beyond 32 bits, as the table's integers could make them, do not wrap.
    EXPECT_TRUE(AllowedByCentring(Centring::I, 2147483647, 2147483647, 0));
    EXPECT_FALSE(AllowedByCentring(Centring::R, -2147483648LL, 2147483647, 1));
}

TEST(Centring, Letters) {
    for (const char* letter : {"P", "A", "B", "C", "I", "F", "R"}) {
        const auto c = CentringFromLetter(letter);
        ASSERT_TRUE(c) << letter;
        EXPECT_EQ(CentringLetter(*c), letter[0]);
    }
    for (const char* bad : {"", "p", "X", "PP", "H"})
        EXPECT_FALSE(CentringFromLetter(bad)) << bad;
}

std::unique_ptr<CalculationState> Diopside() {
    auto state = std::make_unique<CalculationState>();
    test::FillMonoclinicExample(*state);
    EXPECT_TRUE(RunCalculation(*state, Lang::English).completed);
    return state;
}

TEST(FiguresOfMerit, AbsentReflectionsFollowTheCentring) {
    const auto state = Diopside();
    DetailsOptions options;
    options.lattice = Centring::I;
    const RefinementDetails d = ComputeRefinementDetails(*state, options);
    std::vector<bool> absent;
    for (const ObservationDetails& o : d.observations)
        absent.push_back(o.absent);
    // 220, 13-1, 311, 330, 33-1, 041, 150: h + k + l odd is absent.
    EXPECT_EQ(absent, (std::vector<bool>{false, true, true, false, true, true, false}));
    EXPECT_EQ(d.merit.lattice, Centring::I);
}

TEST(FiguresOfMerit, ALineWithout2ThetaLeavesFWithoutValue) {
    const auto state = Diopside();
    DetailsOptions options;
    options.wavelength = 5;  // λ/2 = 2.5 Å: rows 3 to 7 have no 2θ
    const RefinementDetails d = ComputeRefinementDetails(*state, options);
    EXPECT_FALSE(d.merit.f.value);
    EXPECT_FALSE(d.merit.f.meanAbsD2Theta);
    ASSERT_TRUE(d.merit.f.note);
    EXPECT_EQ(d.merit.f.note->kind, DetailsMessage::Kind::FigureFNoTwoTheta);
    EXPECT_EQ(d.merit.f.note->Text(Lang::English),
              "F has no value: row 3 (d = 2.304) has no 2θ at the wavelength 5 Å");
    EXPECT_EQ(d.merit.f.note->Text(Lang::Japanese),
              "F は求められません: 3 行目 (d = 2.304) には波長 5 Å での 2θ がありません");
    // M does not need a wavelength.
    EXPECT_EQ(MeritText(d.merit.m), "M(7) = 20.2");
    EXPECT_FALSE(d.observations[2].twoThetaObs);
    EXPECT_TRUE(d.observations[1].twoThetaObs);
}

// n = 20 and n = 30 lines of a larger data set, each count checked by brute force.
TEST(FiguresOfMerit, TwentyAndThirtyLines) {
    const test::DirectCell cell = {7.1L, 8.2L, 9.3L, 80, 95, 105};
    const auto g = test::ReciprocalMetricOf(cell);
    auto state = std::make_unique<CalculationState>();
    test::FillSynthetic(*state, kTriclinic, g, test::ReflectionsOf(g, 1.0L, 45), 4, 3e-5L);
    ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
    DetailsOptions options;
    options.wavelength = 0.710678L;  // Mo-Kα
    const RefinementDetails d = ComputeRefinementDetails(*state, options);
    EXPECT_EQ(d.merit.m.n, 20);
    EXPECT_EQ(d.merit.f.n, 30);
    const Coefficients& x = state->result.x;
    const std::array<long double, 6> fitted = {x[1], x[2], x[3], x[4], x[5], x[6]};
    std::vector<long double> q;
    for (int h = -12; h <= 12; ++h)
        for (int k = -12; k <= 12; ++k)
            for (int l = -12; l <= 12; ++l)
                if (h || k || l) q.push_back(test::QOf(fitted, h, k, l));
    std::sort(q.begin(), q.end());
    std::vector<long double> lines;  // distinct
    for (const long double v : q)
        if (lines.empty() || v - lines.back() > 1e-9L * v) lines.push_back(v);
    std::vector<long double> qObs;
    for (const ObservationDetails& o : d.observations)
        qObs.push_back(o.qObs);
    std::sort(qObs.begin(), qObs.end());
    const long double q20 = qObs[19];
    EXPECT_EQ(d.merit.m.qN, q20);
    EXPECT_EQ(*d.merit.m.nCalc,
              std::upper_bound(lines.begin(), lines.end(), q20 * (1 + 1e-9L)) - lines.begin());
    // 2θ rises with Q: the positions up to the 30th line's 2θ are the lines up to its Q,
    // give or take the 10⁻⁹ on the angle.
    const long double s30 = 0.710678L * std::sqrt(qObs[29]) / 2;
    const long double limit = std::sin(std::asin(s30) * (1 + 1e-9L));
    const long double q30 = 4 * limit * limit / (0.710678L * 0.710678L);
    EXPECT_EQ(*d.merit.f.nPoss, std::upper_bound(lines.begin(), lines.end(), q30) - lines.begin());
    // Δ of the 30 lines of lowest Q, from their 2θ written here.
    std::vector<std::pair<long double, long double>> byQ;  // Q obs, |Δ2θ|
    for (const ObservationDetails& o : d.observations) {
        const long double degrees = 180 / std::acos(-1.0L);
        const long double qc = test::QOf(fitted, o.h, o.k, o.l);
        byQ.emplace_back(o.qObs, std::fabs(2 * std::asin(0.710678L / (2 * o.dObs)) * degrees -
                                           2 * std::asin(0.710678L * std::sqrt(qc) / 2) * degrees));
    }
    std::sort(byQ.begin(), byQ.end());
    long double delta = 0;
    for (int i = 0; i < 30; ++i)
        delta += byQ[static_cast<std::size_t>(i)].second / 30;
    EXPECT_NEAR(static_cast<double>(*d.merit.f.value / (30 / (delta * *d.merit.f.nPoss))), 1,
                1e-9);
    EXPECT_GT(*d.merit.m.value, 10);  // a right cell
}

// M(20) and F(30) of data sets of 40 lines in every crystal system with a metric of its own,
// against counts and sums made here: the fitted coefficients turned into the full metric by
// the system's own rule, every index triple of a box that holds the lines, equal lines merged
// at 10⁻⁹. The nearly tetragonal orthorhombic cell (b − a = 10⁻⁵ Å) keeps hk0 and kh0 apart.
TEST(FiguresOfMerit, EverySystemAgainstAnIndependentCount) {
    using Metric = std::array<long double, 6>;
    const struct {
        const char* name;
        int code;
        test::DirectCell cell;
        Metric (*full)(const Coefficients& x);
    } cases[] = {
        {"cubic",
         kCubic,
         {5.431L, 5.431L, 5.431L, 90, 90, 90},
         [](const Coefficients& x) { return Metric{x[1], x[1], x[1], 0, 0, 0}; }},
        {"tetragonal",
         kTetragonal,
         {4.5L, 4.5L, 6.2L, 90, 90, 90},
         [](const Coefficients& x) { return Metric{x[1], x[1], x[2], 0, 0, 0}; }},
        {"hexagonal",
         kHexagonal,
         {4.9L, 4.9L, 5.4L, 90, 90, 120},
         [](const Coefficients& x) { return Metric{x[1], x[1], x[2], 0, 0, x[1] / 2}; }},
        {"trigonal",
         kTrigonal,
         {6.1L, 6.1L, 6.1L, 77, 77, 77},
         [](const Coefficients& x) { return Metric{x[1], x[1], x[1], x[2], x[2], x[2]}; }},
        {"orthorhombic",
         kOrthorhombic,
         {5, 5.00001L, 7.3L, 90, 90, 90},
         [](const Coefficients& x) { return Metric{x[1], x[2], x[3], 0, 0, 0}; }},
    };
    const long double lambda = 1.54178L;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Metric g = test::ReciprocalMetricOf(c.cell);
        auto state = std::make_unique<CalculationState>();
        test::FillSynthetic(*state, c.code, g, test::ReflectionsOf(g, 0.8L, 40, 7), 7, 2e-6L);
        ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
        DetailsOptions options;
        options.wavelength = lambda;
        const RefinementDetails d = ComputeRefinementDetails(*state, options);
        ASSERT_EQ(d.n, 40);
        const Metric fitted = c.full(state->result.x);

        // The lines by Q, with their |ΔQ| and |Δ2θ|.
        struct Line {
            long double q, dq, d2theta, twoTheta;
        };
        std::vector<Line> lines;
        for (const ObservationDetails& o : d.observations) {
            const long double qc = test::QOf(fitted, o.h, o.k, o.l);
            const long double to = 2 * std::asin(lambda / (2 * o.dObs)) * 180 / std::acos(-1.0L);
            const long double tc =
                2 * std::asin(lambda * std::sqrt(qc) / 2) * 180 / std::acos(-1.0L);
            lines.push_back({o.qObs, std::fabs(o.qObs - qc), std::fabs(to - tc), to});
        }
        std::sort(lines.begin(), lines.end(), [](auto& a, auto& b) { return a.q < b.q; });
        long double eps = 0, delta = 0;
        for (int i = 0; i < 20; ++i)
            eps += lines[static_cast<std::size_t>(i)].dq / 20;
        for (int i = 0; i < 30; ++i)
            delta += lines[static_cast<std::size_t>(i)].d2theta / 30;

        // Every calculated line up to the 30th line's angle (Q ≤ 1.3 Å⁻² here).
        std::vector<long double> q;
        for (int h = -12; h <= 12; ++h)
            for (int k = -12; k <= 12; ++k)
                for (int l = -12; l <= 12; ++l)
                    if (h || k || l) q.push_back(test::QOf(fitted, h, k, l));
        std::sort(q.begin(), q.end());
        std::vector<long double> distinct;
        for (const long double v : q)
            if (distinct.empty() || v - distinct.back() > 1e-9L * v) distinct.push_back(v);
        const long double q20 = lines[19].q;
        const auto n20 = std::upper_bound(distinct.begin(), distinct.end(), q20 * (1 + 1e-9L)) -
                         distinct.begin();
        const long double s =
            std::sin(lines[29].twoTheta * (1 + 1e-9L) / 2 * std::acos(-1.0L) / 180);
        const long double q30 = 4 * s * s / (lambda * lambda);
        const auto nPoss =
            std::upper_bound(distinct.begin(), distinct.end(), q30) - distinct.begin();
        ASSERT_LT(q30, 0.9L * test::QOf(fitted, 12, 0, 0)) << "the box holds every line";

        EXPECT_EQ(d.merit.m.n, 20);
        EXPECT_EQ(*d.merit.m.nCalc, n20);
        EXPECT_NEAR(static_cast<double>(*d.merit.m.value / (q20 / (2 * eps * n20))), 1, 1e-9);
        EXPECT_EQ(d.merit.f.n, 30);
        EXPECT_EQ(*d.merit.f.nPoss, nPoss);
        EXPECT_NEAR(static_cast<double>(*d.merit.f.value / (30 / (delta * nPoss))), 1, 1e-9);
    }
}

TEST(FiguresOfMerit, AHugeCellIsNotCounted) {
    // A cubic cell of 3000 Å seen through lines near d = 3 Å: 4·10⁹ triples.
    auto state = std::make_unique<CalculationState>();
    test::FillRows(state->table, {{"3.0000000", "1000", "0", "0"},
                                  {"2.9999985", "1000", "1", "0"},
                                  {"2.9970030", "1001", "0", "0"}});
    state->crystalSystem = kCubic;
    ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
    const RefinementDetails d = ComputeRefinementDetails(*state, {});
    EXPECT_FALSE(d.merit.m.value);
    EXPECT_FALSE(d.merit.m.nCalc);
    EXPECT_FALSE(d.merit.f.value);
    ASSERT_TRUE(d.merit.m.note);
    EXPECT_EQ(d.merit.m.note->Text(Lang::English),
              "Too many reflections to count (more than 20000000 indices)");
    EXPECT_EQ(d.merit.f.note->kind, DetailsMessage::Kind::TooManyReflections);
    // The rest of the details is there.
    EXPECT_TRUE(d.direct.su[0]);
}

}  // namespace
}  // namespace dorvalix
