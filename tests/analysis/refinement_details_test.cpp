// SPDX-License-Identifier: GPL-3.0-or-later
// Refinement details: the worked example in full, a noisy data set of every crystal system
// checked against an independent numeric propagation and against Monte Carlo refits, the
// cases without spread, and the diagnostics' identities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>

#include "cell.h"
#include "errors.h"
#include "numtext.h"
#include "refinement_details.h"
#include "synthetic_data.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

const long double kRadians = 3.14159265358979323846264338327950288L / 180;
volatile long double fault_sink;

std::unique_ptr<CalculationState> RunOn(const std::function<void(CalculationState&)>& fill) {
    auto state = std::make_unique<CalculationState>();
    fill(*state);
    const RunReport report = RunCalculation(*state, Lang::English);
    EXPECT_TRUE(report.completed) << report.messageText << report.faultText.value_or("");
    return state;
}

std::array<std::string, 7> Texts(const CellWithSu& cell) {
    std::array<std::string, 7> t;
    for (int r = 0; r < 7; ++r)
        t[static_cast<std::size_t>(r)] = SuText(cell, r);
    return t;
}

// --- The worked example -----------------------------------------------------------------

class DiopsideDetails : public ::testing::Test {
  protected:
    void SetUp() override {
        state = RunOn(test::FillMonoclinicExample);
        DetailsOptions options;
        options.lattice = Centring::C;  // C2/c
        details = ComputeRefinementDetails(*state, options);
    }
    std::unique_ptr<CalculationState> state;
    RefinementDetails details;
};

TEST_F(DiopsideDetails, CellsInSuNotation) {
    EXPECT_EQ(Texts(details.direct),
              (std::array<std::string, 7>{"9.753(7)", "8.933(2)", "5.255(9)", "90", "105.83(7)",
                                          "90", "440.5(6)"}));
    EXPECT_EQ(Texts(details.reciprocal),
              (std::array<std::string, 7>{"0.10658(7)", "0.11195(3)", "0.1978(3)", "90", "74.17(7)",
                                          "90", "0.002270(3)"}));
    // The full covariance lowers the volume's s.u. the panel shows (0.785): a, c and β are
    // correlated.
    EXPECT_NEAR(static_cast<double>(*details.direct.su[6]), 0.631, 0.0005);
    EXPECT_NEAR(static_cast<double>(*details.direct.su[0]), 0.00721, 0.000005);
}

TEST_F(DiopsideDetails, CovarianceDiagonalIsThePanelsCoefficientDeviation) {
    ASSERT_EQ(details.covariance.size(), 4u);
    for (std::size_t r = 0; r < 4; ++r) {
        const long double sx = state->result.sx[r + 1];
        // Not to the last digit: the panel's residuals use the rounded π in the cosines of
        // the fixed angles (cos(π₀/2) ≈ 5·10⁻¹¹), which moves R by about 10⁻⁸.
        EXPECT_NEAR(static_cast<double>(std::sqrt(details.covariance[r][r]) / sx), 1, 1e-7) << r;
    }
    EXPECT_NEAR(static_cast<double>(details.residual / state->result.residual), 1, 1e-7);
    // C·(AᵀA) = s²·I, with the design rows (h², k², l², 2hl) written here: every element of
    // C, both triangles, against the normal matrix of the observations.
    long double ata[4][4] = {};
    for (const ObservationDetails& o : details.observations) {
        const long double a[4] = {1.0L * o.h * o.h, 1.0L * o.k * o.k, 1.0L * o.l * o.l,
                                  2.0L * o.h * o.l};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                ata[i][j] += a[i] * a[j];
    }
    const long double s2 = details.residual / (7 - 4);
    for (std::size_t r = 0; r < 4; ++r) {
        for (std::size_t c = 0; c < 4; ++c) {
            long double product = 0;
            for (std::size_t j = 0; j < 4; ++j)
                product += details.covariance[r][j] * ata[j][c];
            EXPECT_NEAR(static_cast<double>(product / s2), r == c ? 1.0 : 0.0, 1e-9) << r << c;
        }
    }
}

// A design column that is nearly, not exactly, another's (l = h on every line but one): the
// fit is made, its s.u. are finite, and the two coefficients correlate near −1.
TEST(RefinementDetails, NearlyDependentColumns) {
    auto state = std::make_unique<CalculationState>();
    // a = 4, b = 5, c = 4.3 Å, d to four decimals.
    test::FillRows(state->table, {{"2.9287", "1", "0", "1"},
                                  {"1.4644", "2", "0", "2"},
                                  {"5.0000", "0", "1", "0"},
                                  {"2.5000", "0", "2", "0"},
                                  {"2.5271", "1", "1", "1"},
                                  {"0.9762", "3", "0", "3"},
                                  {"1.8938", "1", "0", "2"}});
    state->crystalSystem = kOrthorhombic;
    ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
    const RefinementDetails d = ComputeRefinementDetails(*state, {});
    ASSERT_EQ(d.covariance.size(), 3u);
    const long double r13 = d.covariance[0][2] / std::sqrt(d.covariance[0][0] * d.covariance[2][2]);
    EXPECT_LT(r13, -0.9L);
    EXPECT_GT(r13, -1.0L);
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(d.direct.su[i]);
        EXPECT_TRUE(std::isfinite(*d.direct.su[i]));
    }
    EXPECT_NEAR(static_cast<double>(d.direct.value[0]), 4.0, 0.01);
}

TEST_F(DiopsideDetails, Diagnostics) {
    const struct {
        int row, h, k, l;
        const char *leverage, *studentized, *cook;
    } rows[7] = {
        {1, 2, 2, 0, "0.1027", "1.6090", "0.0741"},   {2, 1, 3, -1, "0.3566", "0.7002", "0.0679"},
        {3, 3, 1, 1, "0.9191", "-0.1421", "0.0574"},  {4, 3, 3, 0, "0.5201", "-0.6802", "0.1254"},
        {5, 3, 3, -1, "0.8207", "-0.5375", "0.3306"}, {6, 0, 4, 1, "0.4984", "-0.4145", "0.0427"},
        {7, 1, 5, 0, "0.7824", "-0.0106", "0.0001"},
    };
    ASSERT_EQ(details.observations.size(), 7u);
    long double trace = 0;
    for (int i = 0; i < 7; ++i) {
        const ObservationDetails& o = details.observations[static_cast<std::size_t>(i)];
        const auto& e = rows[i];
        EXPECT_EQ(o.row, e.row);
        EXPECT_EQ(o.h, e.h);
        EXPECT_EQ(o.k, e.k);
        EXPECT_EQ(o.l, e.l);
        ASSERT_TRUE(o.leverage && o.studentized && o.cook);
        EXPECT_EQ(FormatF(*o.leverage, 4), e.leverage) << e.row;
        EXPECT_EQ(FormatF(*o.studentized, 4), e.studentized) << e.row;
        EXPECT_EQ(FormatF(*o.cook, 4), e.cook) << e.row;
        EXPECT_FALSE(o.outlier);
        EXPECT_FALSE(o.absent);  // every reflection has h + k even
        // d_calc as the panel shows it, 2θ at Cu-Kα.
        EXPECT_EQ(FormatF(o.dCalc, 5), FormatF(state->result.dCalc[i + 1], 5));
        const long double twoTheta = 2 * std::asin(1.54178L / (2 * o.dObs)) / kRadians;
        EXPECT_NEAR(static_cast<double>(*o.twoThetaObs), static_cast<double>(twoTheta), 1e-12);
        trace += *o.leverage;
    }
    // The hat matrix is a projection onto the P columns: its trace is P.
    EXPECT_NEAR(static_cast<double>(trace), 4, 1e-12);
    EXPECT_EQ(FormatF(*details.observations[0].twoThetaCalc, 4), "27.5735");
}

// Distinct Q of the reflections a centring allows, up to qMax, counted by brute force over
// a generous index box.
int CountLines(const std::array<long double, 6>& g, Centring c, long double qMax) {
    std::vector<long double> q;
    for (int h = -25; h <= 25; ++h)
        for (int k = -25; k <= 25; ++k)
            for (int l = -25; l <= 25; ++l) {
                if ((h == 0 && k == 0 && l == 0) || !AllowedByCentring(c, h, k, l)) continue;
                const long double v = test::QOf(g, h, k, l);
                if (v <= qMax * (1 + 1e-9L)) q.push_back(v);
            }
    std::sort(q.begin(), q.end());
    int count = 0;
    for (std::size_t i = 0; i < q.size(); ++i)
        count += i == 0 || q[i] - q[i - 1] > 1e-9L * q[i];
    return count;
}

TEST_F(DiopsideDetails, FiguresOfMerit) {
    const FiguresOfMerit& fom = details.merit;
    EXPECT_EQ(fom.lattice, Centring::C);
    EXPECT_EQ(fom.wavelength, 1.54178L);
    EXPECT_EQ(MeritText(fom.m), "M(7) = 40.4");
    EXPECT_EQ(MeritText(fom.f), "F(7) = 13.8 (0.0106, 48)");
    EXPECT_EQ(fom.m.n, 7);
    EXPECT_EQ(fom.m.qN, 1 / (1.755L * 1.755L));
    EXPECT_FALSE(fom.m.note);
    EXPECT_FALSE(fom.f.note);

    // N_calc by brute force from the refined metric.
    const Coefficients& x = state->result.x;
    const std::array<long double, 6> g = {x[1], x[2], x[3], 0, x[4], 0};
    EXPECT_EQ(*fom.m.nCalc, CountLines(g, Centring::C, fom.m.qN));
    // ε from the residuals.
    long double sum = 0;
    for (const ObservationDetails& o : details.observations)
        sum += std::fabs(o.qObs - o.qCalc);
    EXPECT_EQ(fom.m.meanAbsDq, sum / 7);
    EXPECT_NEAR(static_cast<double>(*fom.m.value),
                static_cast<double>(fom.m.qN / (2 * sum / 7 * *fom.m.nCalc)), 1e-12);

    // Without centring about twice the lines.
    DetailsOptions primitive;
    const RefinementDetails p = ComputeRefinementDetails(*state, primitive);
    EXPECT_EQ(*p.merit.m.nCalc, CountLines(g, Centring::P, fom.m.qN));
    EXPECT_EQ(MeritText(p.merit.m), "M(7) = 20.2");
    EXPECT_EQ(MeritText(p.merit.f), "F(7) = 6.9 (0.0106, 96)");
}

// --- Every crystal system -----------------------------------------------------------------

struct SystemCase {
    int code;
    test::DirectCell cell;
    int count;
    std::array<const char*, 7> direct;  // golden s.u. texts of the direct cell
};

const SystemCase kSystems[] = {
    {kCubic,
     {5.4311L, 5.4311L, 5.4311L, 90, 90, 90},
     12,
     {"5.43108(4)", "5.43108(4)", "5.43108(4)", "90", "90", "90", "160.199(3)"}},
    {kHexagonal,
     {4.913L, 4.913L, 5.405L, 90, 90, 120},
     16,
     {"4.91296(8)", "4.91296(8)", "5.40515(10)", "90", "90", "120", "112.986(3)"}},
    {kTetragonal,
     {4.594L, 4.594L, 2.959L, 90, 90, 90},
     16,
     {"4.59412(7)", "4.59412(7)", "2.95894(6)", "90", "90", "90", "62.451(2)"}},
    {kOrthorhombic,
     {4.756L, 10.207L, 5.980L, 90, 90, 90},
     20,
     {"4.75593(11)", "10.20736(16)", "5.97996(7)", "90", "90", "90", "290.300(6)"}},
    {kMonoclinicBeta,
     {9.746L, 8.899L, 5.251L, 90, 105.63L, 90},
     24,
     {"9.74594(15)", "8.89902(14)", "5.25091(12)", "90", "105.6311(13)", "90", "438.565(9)"}},
    {kTriclinic,
     {7.1L, 8.2L, 9.3L, 80, 95, 105},
     30,
     {"7.09982(7)", "8.20021(9)", "9.29991(12)", "79.9991(10)", "95.0013(11)", "105.0015(11)",
      "514.533(7)"}},
    {kMonoclinicGamma,
     {5.1L, 6.3L, 7.4L, 90, 90, 98},
     24,
     {"5.09994(6)", "6.30002(9)", "7.39989(11)", "90", "90", "98.0000(14)", "235.442(4)"}},
    {kTrigonal,
     {5.0L, 5.0L, 5.0L, 55, 55, 55},
     16,
     {"5.00017(5)", "5.00017(5)", "5.00017(5)", "54.9969(9)", "54.9969(9)", "54.9969(9)",
      "78.1069(18)"}},
};

void FillNoisy(CalculationState& state, const SystemCase& c) {
    const auto g = test::ReciprocalMetricOf(c.cell);
    test::FillSynthetic(state, c.code, g, test::ReflectionsOf(g, 1.0L, c.count), 4, 5e-5L);
}

// The fourteen cell quantities (reciprocal, then direct; angles in degrees) that the
// engine's own cell functions give for coefficients x.
std::array<long double, 14> EngineCells(int code, const Coefficients& x) {
    ClearFloatFaults();
    CellParameters rc, dc;
    ComputeReciprocalCell(code, x, rc);
    ComputeDirectCell(rc, dc);
    std::array<long double, 14> f;
    for (int r = 0; r < 7; ++r) {
        const long double scale = r >= 3 && r <= 5 ? 1 / kRadians : 1;
        f[static_cast<std::size_t>(r)] = rc[r] * scale;
        f[static_cast<std::size_t>(r + 7)] = dc[r] * scale;
    }
    return f;
}

// s.u. of the fourteen quantities: a central-difference Jacobian of the engine's cell
// functions with respect to x, and the covariance s²·M⁻¹ from the engine's inverted normal
// matrix and the residuals recomputed here.
std::array<long double, 14> NumericSu(const CalculationState& state) {
    const RefinementResult& res = state.result;
    const int code = state.crystalSystem, p = res.p, n = res.n;
    long double r2 = 0;
    for (int i = 1; i <= n; ++i) {
        const DesignRow a = MakeDesignRow(code, state.table.parsed.h[i], state.table.parsed.k[i],
                                          state.table.parsed.l[i]);
        long double q = 0;
        for (int j = 0; j < p; ++j)
            q += a[static_cast<std::size_t>(j)] * res.x[static_cast<std::size_t>(j + 1)];
        const long double d = state.table.parsed.d[i];
        r2 += (1 / (d * d) - q) * (1 / (d * d) - q);
    }
    const long double s2 = r2 / (n - p);
    std::array<std::array<long double, kMaxCoefficients>, 14> jac{};
    for (int j = 1; j <= p; ++j) {
        Coefficients up = res.x, down = res.x;
        const long double step = 1e-6L * std::fabs(res.x[static_cast<std::size_t>(j)]);
        up[static_cast<std::size_t>(j)] += step;
        down[static_cast<std::size_t>(j)] -= step;
        const auto fu = EngineCells(code, up), fd = EngineCells(code, down);
        for (std::size_t f = 0; f < 14; ++f)
            jac[f][static_cast<std::size_t>(j - 1)] = (fu[f] - fd[f]) / (2 * step);
    }
    std::array<long double, 14> su;
    for (std::size_t f = 0; f < 14; ++f) {
        long double v = 0;
        for (int r = 0; r < p; ++r)
            for (int c = 0; c < p; ++c)
                v += jac[f][static_cast<std::size_t>(r)] * s2 *
                     res.m[static_cast<std::size_t>(r + 1)][static_cast<std::size_t>(c + 1)] *
                     jac[f][static_cast<std::size_t>(c)];
        su[f] = std::sqrt(v);
    }
    return su;
}

TEST(EveryCrystalSystem, SuAgreeWithANumericPropagation) {
    for (const SystemCase& c : kSystems) {
        SCOPED_TRACE(CrystalSystemName(c.code, Lang::English));
        const auto state = RunOn([&](CalculationState& s) { FillNoisy(s, c); });
        const RefinementDetails d = ComputeRefinementDetails(*state, {});
        const std::array<long double, 14> expected = NumericSu(*state);
        const std::array<long double, 14> values = EngineCells(c.code, state->result.x);
        for (std::size_t f = 0; f < 14; ++f) {
            const CellWithSu& cell = f < 7 ? d.reciprocal : d.direct;
            const std::size_t r = f % 7;
            SCOPED_TRACE(testing::Message() << (f < 7 ? "reciprocal row " : "direct row ") << r);
            if (cell.fixed[r]) {
                EXPECT_FALSE(cell.su[r]);
                EXPECT_NEAR(static_cast<double>(values[f]), static_cast<double>(cell.value[r]),
                            1e-7);
                continue;
            }
            ASSERT_TRUE(cell.su[r]);
            EXPECT_NEAR(static_cast<double>(*cell.su[r] / expected[f]), 1, 1e-6);
            EXPECT_NEAR(static_cast<double>(cell.value[r] / values[f]), 1, 1e-9);
        }
        // Which angles the system fixes.
        const bool free[9][3] = {{},
                                 {},
                                 {false, false, false},
                                 {},
                                 {},
                                 {false, true, false},
                                 {true, true, true},
                                 {false, false, true},
                                 {true, true, true}};
        for (std::size_t a = 0; a < 3; ++a) {
            EXPECT_EQ(d.direct.fixed[3 + a], !free[c.code][a]) << a;
            EXPECT_EQ(d.reciprocal.fixed[3 + a], !free[c.code][a]) << a;
        }
    }
}

TEST(EveryCrystalSystem, GoldenTexts) {
    for (const SystemCase& c : kSystems) {
        const auto state = RunOn([&](CalculationState& s) { FillNoisy(s, c); });
        const RefinementDetails d = ComputeRefinementDetails(*state, {});
        std::array<std::string, 7> expected;
        for (std::size_t r = 0; r < 7; ++r)
            expected[r] = c.direct[r] ? c.direct[r] : "";
        EXPECT_EQ(Texts(d.direct), expected) << CrystalSystemName(c.code, Lang::English);
    }
}

// The s.u. describe the spread of refits of data with the same noise: for a triclinic and a
// hexagonal cell, 1500 data sets with Q scattered normally, each refined by Execute.
TEST(EveryCrystalSystem, SuMatchTheSpreadOfMonteCarloRefits) {
    for (const SystemCase& c : {kSystems[5], kSystems[1]}) {
        SCOPED_TRACE(CrystalSystemName(c.code, Lang::English));
        const auto g = test::ReciprocalMetricOf(c.cell);
        const std::vector<test::Hkl> hkl = test::ReflectionsOf(g, 1.2L, c.count);
        std::mt19937_64 rng(20240611);
        std::normal_distribution<double> normal;
        constexpr int kTrials = 1500;
        std::array<long double, 14> sum{}, sum2{}, meanSu{};
        auto state = std::make_unique<CalculationState>();
        for (int t = 0; t < kTrials; ++t) {
            state->table.ClearData();
            state->crystalSystem = c.code;
            int row = 0;
            for (const test::Hkl& r : hkl) {
                const long double q = test::QOf(g, r.h, r.k, r.l) + 2e-5L * normal(rng);
                ++row;
                state->table.Cell(0, row) = FormatFixed(1 / std::sqrt(q), 12, 18);
                state->table.Cell(1, row) = IntText(r.h);
                state->table.Cell(2, row) = IntText(r.k);
                state->table.Cell(3, row) = IntText(r.l);
            }
            ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
            const RefinementDetails d = ComputeRefinementDetails(*state, {});
            for (std::size_t f = 0; f < 14; ++f) {
                const CellWithSu& cell = f < 7 ? d.reciprocal : d.direct;
                const long double v = cell.value[f % 7];
                sum[f] += v;
                sum2[f] += v * v;
                meanSu[f] += cell.su[f % 7].value_or(0) / kTrials;
            }
        }
        for (std::size_t f = 0; f < 14; ++f) {
            const long double mean = sum[f] / kTrials;
            const long double spread =
                std::sqrt((sum2[f] / kTrials - mean * mean) * kTrials / (kTrials - 1));
            if (meanSu[f] == 0) continue;  // fixed by the system
            // The sample s.d. of 1500 draws is within 2 % of the true one (one standard
            // error); the mean estimated s.u. is within 1 % of it for N − P ≥ 10.
            EXPECT_NEAR(static_cast<double>(spread / meanSu[f]), 1, 0.07) << "quantity " << f;
        }
    }
}

// --- Without spread -------------------------------------------------------------------------

// N = P cannot come from Execute (it refuses): the state of a fit through one cubic line.
TEST(WithoutSpread, NEqualsPHasNoSu) {
    auto state = std::make_unique<CalculationState>();
    test::FillRows(state->table, {{"2", "1", "0", "0"}});
    state->table.filled = state->table.included = 1;
    state->crystalSystem = kCubic;
    state->table.parsed.count = 1;
    state->table.parsed.h[1] = 1;
    state->table.parsed.d[1] = 2;
    state->result.n = state->result.p = 1;
    state->result.x[1] = 0.25L;
    const RefinementDetails d = ComputeRefinementDetails(*state, {});
    EXPECT_TRUE(d.covariance.empty());
    EXPECT_EQ(Texts(d.direct), (std::array<std::string, 7>{"2.00000", "2.00000", "2.00000", "90",
                                                           "90", "90", "8.00000"}));
    for (const Su& su : d.reciprocal.su)
        EXPECT_FALSE(su);
    ASSERT_EQ(d.observations.size(), 1u);
    EXPECT_EQ(*d.observations[0].leverage, 1);
    EXPECT_FALSE(d.observations[0].studentized);
    EXPECT_FALSE(d.observations[0].cook);
    // ε = 0 and Δ = 0: no figures.
    EXPECT_EQ(d.merit.m.meanAbsDq, 0);
    EXPECT_FALSE(d.merit.m.value);
    EXPECT_EQ(*d.merit.m.nCalc, 1);
    EXPECT_FALSE(d.merit.f.value);
    EXPECT_EQ(*d.merit.f.meanAbsD2Theta, 0);
}

// Coefficients that describe no cell (cos α* = −2.4) come with a refusal, not with numbers; the
// processor's fault flags are as they were before.
TEST(WithoutSpread, NoCellIsRefused) {
    auto state = std::make_unique<CalculationState>();
    test::FillRows(state->table, {{"5", "1", "0", "0"},
                                  {"4", "0", "1", "0"},
                                  {"3", "0", "0", "1"},
                                  {"2", "0", "1", "1"},
                                  {"2", "1", "0", "1"},
                                  {"2", "1", "1", "0"},
                                  {"1", "1", "1", "1"}});
    state->table.filled = state->table.included = 7;
    state->crystalSystem = kTriclinic;
    state->table.parsed.count = 7;
    const int hkl[7][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1},
                           {1, 0, 1}, {1, 1, 0}, {1, 1, 1}};
    for (std::size_t i = 1; i <= 7; ++i) {
        state->table.parsed.h[i] = hkl[i - 1][0];
        state->table.parsed.k[i] = hkl[i - 1][1];
        state->table.parsed.l[i] = hkl[i - 1][2];
        state->table.parsed.d[i] = ParseReal(state->table.Cell(0, static_cast<int>(i)));
    }
    state->result.n = 7;
    state->result.p = 6;
    state->result.x = {0, 0.04L, 0.0625L, 0.1111L, -0.2L, 0, 0};  // Q(011) < 0
    for (const bool raisedBefore : {false, true}) {
        ClearFloatFaults();
        if (raisedBefore) {
            volatile long double zero = 0;
            fault_sink = 1 / zero;
        }
        const RefinementDetails d = ComputeRefinementDetails(*state, {});
        EXPECT_EQ(FloatFaultRaised(), raisedBefore);
        ASSERT_TRUE(d.cellRefusal);
        EXPECT_EQ(d.cellRefusal->Text(Lang::English), "The fitted metric describes no cell");
        EXPECT_EQ(d.direct.value[0], 0);
        EXPECT_FALSE(d.direct.su[0]);
        EXPECT_EQ(d.merit.m.note->kind, DetailsMessage::Kind::NoCell);
    }
    ClearFloatFaults();
}

// A perfect fit has s.u. 0 (written to five decimals) and nothing to studentise by.
TEST(WithoutSpread, PerfectFitHasZeroSu) {
    auto state = RunOn([](CalculationState& s) {
        test::FillRows(s.table,
                       {{"2", "1", "0", "0"}, {"1", "2", "0", "0"}, {"0.5", "4", "0", "0"}});
        s.crystalSystem = kCubic;
    });
    const RefinementDetails d = ComputeRefinementDetails(*state, {});
    ASSERT_EQ(d.residual, 0) << "the fit of three exact lines";
    EXPECT_EQ(SuText(d.direct, 0), "2.00000");
    EXPECT_EQ(*d.direct.su[0], 0);
    for (const ObservationDetails& o : d.observations) {
        EXPECT_TRUE(o.leverage);
        EXPECT_FALSE(o.studentized);
        EXPECT_FALSE(o.outlier);
    }
}

// --- Diagnostics --------------------------------------------------------------------------

TEST(Diagnostics, AnOutlierStandsOut) {
    const SystemCase& c = kSystems[3];  // orthorhombic
    const auto g = test::ReciprocalMetricOf(c.cell);
    const auto state = RunOn([&](CalculationState& s) {
        test::FillSynthetic(s, c.code, g, test::ReflectionsOf(g, 1.0L, c.count), 5, 2e-5L);
        // One line misread by 0.5 %.
        s.table.Cell(0, 9) = FormatFixed(ParseReal(s.table.Cell(0, 9)) * 1.005L, 5, 20);
    });
    const RefinementDetails d = ComputeRefinementDetails(*state, {});
    int outliers = 0;
    const ObservationDetails* worst = nullptr;
    for (const ObservationDetails& o : d.observations) {
        outliers += o.outlier;
        if (!worst || *o.cook > *worst->cook) worst = &o;
    }
    EXPECT_EQ(outliers, 1);
    ASSERT_TRUE(worst);
    EXPECT_TRUE(worst->outlier);
    EXPECT_GT(std::fabs(*worst->studentized), 3);
    // Rows move while sorting by d: the misread line is the one whose d_obs is 0.5 % off.
    EXPECT_NEAR(
        static_cast<double>(worst->dObs * std::sqrt(test::QOf(g, worst->h, worst->k, worst->l))),
        1.005, 0.0002);
}

}  // namespace
}  // namespace dorvalix
