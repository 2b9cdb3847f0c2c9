// SPDX-License-Identifier: GPL-3.0-or-later
// The fit on 2θ with and without a refined zero shift, its s.u. checked against a numeric
// Jacobian, and its refusals in both languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "least_squares.h"
#include "refinement_details.h"
#include "synthetic_data.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

const long double kDegrees = 180 / 3.14159265358979323846264338327950288L;
const test::DirectCell kCell = {9.746L, 8.899L, 5.251L, 90, 105.63L, 90};

std::unique_ptr<CalculationState> Synthetic(int decimals, long double noise, long double zero) {
    const auto g = test::ReciprocalMetricOf(kCell);
    auto state = std::make_unique<CalculationState>();
    test::FillSynthetic(*state, kMonoclinicBeta, g, test::ReflectionsOf(g, 1.2L, 24), decimals,
                        noise, zero);
    EXPECT_TRUE(RunCalculation(*state, Lang::English).completed);
    return state;
}

DetailsOptions ZeroShift() {
    DetailsOptions o;
    o.zeroShift = true;
    return o;
}

TEST(TwoThetaFit, RecoversAKnownZeroShift) {
    const auto state = Synthetic(10, 0, 0.05L);
    const RefinementDetails d = ComputeRefinementDetails(*state, ZeroShift());
    ASSERT_FALSE(d.twoThetaRefusal) << d.twoThetaRefusal->Text(Lang::English);
    ASSERT_TRUE(d.twoTheta);
    const TwoThetaFit& fit = *d.twoTheta;
    EXPECT_TRUE(fit.zeroRefined);
    EXPECT_NEAR(static_cast<double>(fit.zero), 0.05, 1e-7);
    EXPECT_LT(fit.iterations, 20);
    EXPECT_GE(fit.iterations, 2);
    // The true cell, which the Q fit misses by far more than its s.u.
    const long double truth[7] = {9.746L, 8.899L, 5.251L, 90, 105.63L, 90, 0};
    for (int r : {0, 1, 2, 4}) {
        EXPECT_NEAR(static_cast<double>(fit.direct.value[static_cast<std::size_t>(r)]),
                    static_cast<double>(truth[r]), 1e-6)
            << r;
        EXPECT_GT(std::fabs(d.direct.value[static_cast<std::size_t>(r)] - truth[r]), 1e-4L) << r;
    }
    EXPECT_EQ(fit.coefficients.size(), 4u);
    ASSERT_EQ(fit.qCalc.size(), 24u);
    // The fitted lines are the true ones.
    const auto g = test::ReciprocalMetricOf(kCell);
    for (std::size_t i = 0; i < 24; ++i) {
        const ObservationDetails& o = d.observations[i];
        EXPECT_NEAR(static_cast<double>(fit.qCalc[i] / test::QOf(g, o.h, o.k, o.l)), 1, 1e-9);
    }
    EXPECT_LT(fit.sumSq, 1e-14L);
}

// Numeric Jacobian of the model 2θ = 2·asin(λ√(aᵀx)/2) + Z at the fit's parameters and the
// covariance s²·(JᵀJ)⁻¹ through the engine's own inversion.
std::vector<long double> NumericSu(const CalculationState& state, const TwoThetaFit& fit) {
    const int n = state.result.n, p = state.result.p, u = p + 1;
    std::vector<long double> params = fit.coefficients;
    params.push_back(fit.zero);
    auto model = [&](const std::vector<long double>& v, int i) {
        const DesignRow a = MakeDesignRow(kMonoclinicBeta, state.table.parsed.h[i],
                                          state.table.parsed.k[i], state.table.parsed.l[i]);
        long double q = 0;
        for (int j = 0; j < p; ++j)
            q += a[static_cast<std::size_t>(j)] * v[static_cast<std::size_t>(j)];
        return 2 * std::asin(1.54178L * std::sqrt(q) / 2) * kDegrees +
               v[static_cast<std::size_t>(p)];
    };
    std::vector<std::vector<long double>> jac(static_cast<std::size_t>(u));
    long double s = 0;
    for (int i = 1; i <= n; ++i) {
        const long double observed =
            2 * std::asin(1.54178L / (2 * state.table.parsed.d[i])) * kDegrees;
        s += (observed - model(params, i)) * (observed - model(params, i));
        for (int j = 0; j < u; ++j) {
            std::vector<long double> up = params, down = params;
            const long double step =
                j < p ? 1e-7L * std::fabs(params[static_cast<std::size_t>(j)]) : 1e-7L;
            up[static_cast<std::size_t>(j)] += step;
            down[static_cast<std::size_t>(j)] -= step;
            jac[static_cast<std::size_t>(j)].push_back((model(up, i) - model(down, i)) /
                                                       (2 * step));
        }
    }
    NormalMatrix m{};
    for (int r = 0; r < u; ++r)
        for (int c = 0; c < u; ++c)
            for (int i = 0; i < n; ++i)
                m[static_cast<std::size_t>(r + 1)][static_cast<std::size_t>(c + 1)] +=
                    jac[static_cast<std::size_t>(r)][static_cast<std::size_t>(i)] *
                    jac[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
    EXPECT_TRUE(InvertNormalMatrix(m, u));
    std::vector<long double> su;
    for (int j = 1; j <= u; ++j)
        su.push_back(
            std::sqrt(m[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)] * s / (n - u)));
    return su;
}

TEST(TwoThetaFit, NoisyDataGiveTheZeroWithinItsSu) {
    const auto state = Synthetic(5, 2e-5L, 0.05L);
    const RefinementDetails d = ComputeRefinementDetails(*state, ZeroShift());
    ASSERT_TRUE(d.twoTheta);
    const TwoThetaFit& fit = *d.twoTheta;
    ASSERT_TRUE(fit.zeroSu);
    EXPECT_LT(std::fabs(fit.zero - 0.05L), 3 * *fit.zeroSu);
    EXPECT_EQ(SuText(fit.zero, fit.zeroSu), "0.0499(2)");
    std::array<std::string, 7> cell;
    for (int r = 0; r < 7; ++r)
        cell[static_cast<std::size_t>(r)] = SuText(fit.direct, r);
    EXPECT_EQ(cell, (std::array<std::string, 7>{"9.74599(10)", "8.89898(9)", "5.25096(6)", "90",
                                                "105.6307(5)", "90", "438.570(12)"}));
    EXPECT_LT(fit.iterations, 20);

    const std::vector<long double> su = NumericSu(*state, fit);
    ASSERT_EQ(su.size(), 5u);
    for (std::size_t j = 0; j < 4; ++j)
        EXPECT_NEAR(static_cast<double>(fit.coefficientSu[j] / su[j]), 1, 1e-6) << j;
    EXPECT_NEAR(static_cast<double>(*fit.zeroSu / su[4]), 1, 1e-6);
}

// The covariance of all the fit's parameters, and the residuals and diagnostics of each line
// in 2θ: the hat matrix projects onto the P + 1 columns of the Jacobian.
TEST(TwoThetaFit, CovarianceResidualsAndDiagnostics) {
    const auto state = Synthetic(5, 2e-5L, 0.05L);
    const RefinementDetails d = ComputeRefinementDetails(*state, ZeroShift());
    ASSERT_TRUE(d.twoTheta);
    const TwoThetaFit& fit = *d.twoTheta;
    const std::vector<long double> su = NumericSu(*state, fit);
    ASSERT_EQ(fit.covariance.size(), 5u);
    for (std::size_t r = 0; r < 5; ++r) {
        ASSERT_EQ(fit.covariance[r].size(), 5u);
        EXPECT_NEAR(static_cast<double>(std::sqrt(fit.covariance[r][r]) / su[r]), 1, 1e-6) << r;
        for (std::size_t c = 0; c < 5; ++c)
            EXPECT_NEAR(static_cast<double>(fit.covariance[r][c] - fit.covariance[c][r]), 0,
                        1e-15 * static_cast<double>(fit.covariance[r][r] + fit.covariance[c][c]));
    }
    ASSERT_EQ(fit.observations.size(), 24u);
    long double trace = 0, sumSq = 0;
    for (std::size_t i = 0; i < 24; ++i) {
        const TwoThetaObservation& o = fit.observations[i];
        const long double observed =
            2 * std::asin(1.54178L / (2 * d.observations[i].dObs)) * kDegrees;
        const long double calculated =
            2 * std::asin(1.54178L * std::sqrt(fit.qCalc[i]) / 2) * kDegrees;
        EXPECT_NEAR(static_cast<double>(o.residual),
                    static_cast<double>(observed - fit.zero - calculated), 1e-12);
        ASSERT_TRUE(o.leverage && o.studentized && o.cook);
        EXPECT_GT(*o.leverage, 0);
        EXPECT_LT(*o.leverage, 1);
        EXPECT_FALSE(o.outlier) << i;
        trace += *o.leverage;
        sumSq += o.residual * o.residual;
    }
    EXPECT_NEAR(static_cast<double>(trace), 5, 1e-9);
    EXPECT_NEAR(static_cast<double>(sumSq / fit.sumSq), 1, 1e-12);
}

TEST(TwoThetaFit, AMisreadLineIsTheOutlier) {
    const auto g = test::ReciprocalMetricOf(kCell);
    auto state = std::make_unique<CalculationState>();
    test::FillSynthetic(*state, kMonoclinicBeta, g, test::ReflectionsOf(g, 1.2L, 24), 5, 2e-5L,
                        0.05L);
    const std::string misread = state->table.Cell(0, 9);
    state->table.Cell(0, 9) = FormatFixed(ParseReal(misread) * 1.004L, 5, 20);
    const std::string indices =
        state->table.Cell(1, 9) + state->table.Cell(2, 9) + state->table.Cell(3, 9);
    ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
    for (const bool zero : {false, true}) {
        DetailsOptions options;
        options.fit = DetailsFit::TwoTheta;
        options.zeroShift = zero;
        const RefinementDetails d = ComputeRefinementDetails(*state, options);
        ASSERT_TRUE(d.twoTheta);
        int outliers = 0;
        for (std::size_t i = 0; i < d.observations.size(); ++i) {
            const TwoThetaObservation& o = d.twoTheta->observations[i];
            if (!o.outlier) continue;
            ++outliers;
            EXPECT_GT(std::fabs(*o.studentized), 3);
            // Execute sorted the rows by d: the misread line is found by its indices.
            const ObservationDetails& line = d.observations[i];
            EXPECT_EQ(IntText(line.h) + IntText(line.k) + IntText(line.l), indices);
        }
        EXPECT_EQ(outliers, 1) << zero;
    }
}

TEST(TwoThetaFit, WithoutZeroShift) {
    const auto state = Synthetic(5, 2e-5L, 0);
    DetailsOptions options;
    options.fit = DetailsFit::TwoTheta;
    const RefinementDetails d = ComputeRefinementDetails(*state, options);
    ASSERT_TRUE(d.twoTheta);
    const TwoThetaFit& fit = *d.twoTheta;
    EXPECT_FALSE(fit.zeroRefined);
    EXPECT_EQ(fit.zero, 0);
    EXPECT_FALSE(fit.zeroSu);
    // Weighted differently, the same cell within the s.u. of both fits.
    for (std::size_t r : {0u, 1u, 2u, 4u, 6u}) {
        EXPECT_LT(std::fabs(fit.direct.value[r] - d.direct.value[r]),
                  2 * (*fit.direct.su[r] + *d.direct.su[r]))
            << r;
    }
    EXPECT_TRUE(fit.direct.fixed[3]);
    EXPECT_EQ(SuText(fit.direct, 5), "90");
    const RefinementDetails q = ComputeRefinementDetails(*state, {});
    EXPECT_FALSE(q.twoTheta);
    EXPECT_FALSE(q.twoThetaRefusal);
}

// The figures of merit belong to the fit shown: its calculated positions (and, with a zero
// shift, its corrected observations). Checked against sums over the fit's own residuals.
TEST(TwoThetaFit, FiguresOfMeritFollowTheFit) {
    const auto state = Synthetic(5, 2e-5L, 0.03L);
    const RefinementDetails q = ComputeRefinementDetails(*state, {});
    EXPECT_EQ(q.merit.fit, DetailsFit::Q);
    std::vector<long double> fMeans;
    for (const bool zero : {false, true}) {
        DetailsOptions options;
        options.fit = DetailsFit::TwoTheta;
        options.zeroShift = zero;
        const RefinementDetails d = ComputeRefinementDetails(*state, options);
        ASSERT_TRUE(d.twoTheta);
        EXPECT_EQ(d.merit.fit, DetailsFit::TwoTheta);
        EXPECT_EQ(d.merit.zeroRefined, zero);
        const std::size_t n = d.observations.size();
        ASSERT_EQ(d.merit.f.n, static_cast<int>(n));  // 24 lines: F(24)
        long double sum2Theta = 0;
        for (const TwoThetaObservation& o : d.twoTheta->observations)
            sum2Theta += std::fabs(o.residual);
        ASSERT_TRUE(d.merit.f.meanAbsD2Theta);
        EXPECT_NEAR(static_cast<double>(*d.merit.f.meanAbsD2Theta / (sum2Theta / n)), 1, 1e-9);
        fMeans.push_back(*d.merit.f.meanAbsD2Theta);
        // M(20): the 20 lines of lowest Q, |Qobs − Qcalc| with the corrected Qobs.
        std::vector<std::pair<long double, long double>> lines;  // Q obs, |ΔQ|
        for (const FitReflection& r : d.reflections)
            lines.emplace_back(*r.qObs, std::fabs(*r.qObs - *r.qCalc));
        std::sort(lines.begin(), lines.end());
        long double sumQ = 0;
        for (std::size_t i = 0; i < 20; ++i)
            sumQ += lines[i].second;
        EXPECT_NEAR(static_cast<double>(d.merit.m.meanAbsDq / (sumQ / 20)), 1, 1e-9);
        EXPECT_EQ(d.merit.m.qN, lines[19].first);
    }
    // The zero shift absorbs the 0.03° error: its residuals, and so F's Δ, are smaller.
    EXPECT_LT(fMeans[1], fMeans[0] / 3);
    ASSERT_TRUE(q.merit.f.meanAbsD2Theta);
    EXPECT_NE(*q.merit.f.meanAbsD2Theta, fMeans[0]);
}

TEST(TwoThetaFit, Refusals) {
    const struct {
        std::vector<test::RowTexts> rows;
        int code;
        long double wavelength;
        bool zero;
        DetailsMessage::Kind kind;
        const char *en, *ja;
    } cases[] = {
        {{{"4", "1", "0", "0"}, {"2", "2", "0", "0"}},
         kCubic,
         1.54178L,
         true,
         DetailsMessage::Kind::TwoThetaTooFewObservations,
         "The fit on 2θ needs more observations than parameters: 2 observations for 2 parameters",
         "2θでのフィットにはパラメータより多いデータが必要です（データ 2 個、パラメータ 2 個）"},
        {{{"3.23", "2", "2", "0"},
          {"2.566", "1", "3", "-1"},
          {"2.304", "3", "1", "1"},
          {"2.157", "3", "3", "0"},
          {"2.134", "3", "3", "-1"},
          {"2.043", "0", "4", "1"},
          {"1.755", "1", "5", "0"}},
         kMonoclinicBeta,
         5,
         false,
         DetailsMessage::Kind::NoTwoThetaForObservation,
         "Row 3: d = 2.304 has no 2θ at the wavelength 5 Å (λ/2d ≥ 1)",
         "3 行目: d = 2.304 には波長 5 Å での 2θ がありません（λ/2d ≥ 1）"},
        {{{"4", "1", "0", "0"}, {"2", "2", "0", "0"}, {"1.34", "3", "0", "0"}},
         kCubic,
         2.679L,  // between 2·d_calc = 2.6776 and 2·d_obs = 2.68 of row 3
         false,
         DetailsMessage::Kind::NoTwoThetaForCalculated,
         "Row 3: the calculated d has no 2θ at the wavelength 2.679 Å",
         "3 行目: 計算した d には波長 2.679 Å での 2θ がありません"},
        {{{"2.001", "1", "0", "0"}, {"2", "0", "1", "0"}, {"1.999", "0", "0", "1"}},
         kCubic,
         1.54178L,
         true,
         DetailsMessage::Kind::TwoThetaSingular,
         "The fit on 2θ cannot determine its parameters (singular matrix)",
         "2θでのフィットのパラメータが決まりません（特異行列）"},
        // Silicon with 400 indexed as 200: the zero runs off with the cell.
        {{{"3.1356", "1", "1", "1"},
          {"1.9201", "2", "2", "0"},
          {"1.6375", "3", "1", "1"},
          {"1.3578", "2", "0", "0"}},
         kCubic,
         1.54178L,
         true,
         DetailsMessage::Kind::ZeroOutOfRange,
         "The fit on 2θ does not determine the cell: the refined zero shift 33.415° lies beyond "
         "±5° "
         "(check the indices and the wavelength)",
         "2θでのフィットでは格子が決まりません: 精密化したゼロ点補正 33.415° が ±5° "
         "を超えています（指数と波長を確かめてください）"},
    };
    for (const auto& c : cases) {
        auto state = std::make_unique<CalculationState>();
        int r = 0;
        for (const test::RowTexts& row : c.rows) {
            ++r;
            test::FillRows(state->table, {row}, r);
        }
        state->crystalSystem = c.code;
        ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
        DetailsOptions options;
        options.fit = DetailsFit::TwoTheta;
        options.zeroShift = c.zero;
        options.wavelength = c.wavelength;
        const RefinementDetails d = ComputeRefinementDetails(*state, options);
        EXPECT_FALSE(d.twoTheta);
        ASSERT_TRUE(d.twoThetaRefusal) << c.en;
        EXPECT_EQ(d.twoThetaRefusal->kind, c.kind);
        EXPECT_EQ(d.twoThetaRefusal->Text(Lang::English), c.en);
        EXPECT_EQ(d.twoThetaRefusal->Text(Lang::Japanese), c.ja);
        // The details of the Q fit are there all the same.
        EXPECT_EQ(d.observations.size(), c.rows.size());
    }
}

TEST(DetailsMessages, EveryKindInBothLanguages) {
    for (int k = 0; k <= static_cast<int>(DetailsMessage::Kind::CellNotDetermined); ++k) {
        DetailsMessage m;
        m.kind = static_cast<DetailsMessage::Kind>(k);
        m.row = 12;
        m.d = 0.5L;
        m.wavelength = 1.5405L;
        m.count = 100;
        m.limit = 7;
        const std::string en = m.Text(Lang::English), ja = m.Text(Lang::Japanese);
        EXPECT_FALSE(en.empty());
        EXPECT_NE(en, ja);
        EXPECT_EQ(en.find('{'), std::string::npos) << en;
        EXPECT_EQ(ja.find('{'), std::string::npos) << ja;
    }
    DetailsMessage m;
    m.kind = DetailsMessage::Kind::TwoThetaNotConverged;
    m.count = 100;
    EXPECT_EQ(m.Text(Lang::English), "The fit on 2θ did not converge in 100 iterations");
    EXPECT_EQ(m.Text(Lang::Japanese), "2θでのフィットが 100 回の反復で収束しませんでした");
}

// No powder pattern determines an axis beyond 10⁴ Å: such a cell, or an s.u. that large, is
// refused by the Q fit's details too (the results panel keeps what the run found).
TEST(TwoThetaFit, CellsBeyondAnyPowderPatternAreRefused) {
    const struct {
        std::vector<test::RowTexts> rows;
        bool refused;
    } cases[] = {
        {{{"20000", "1", "0", "0"}, {"10000", "2", "0", "0"}}, true},
        {{{"9000", "1", "0", "0"}, {"4500", "2", "0", "0"}}, false},
    };
    for (const auto& c : cases) {
        auto state = std::make_unique<CalculationState>();
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            test::FillRows(state->table, {c.rows[r]}, static_cast<int>(r) + 1);
        state->crystalSystem = kCubic;
        ASSERT_TRUE(RunCalculation(*state, Lang::English).completed);
        const RefinementDetails d = ComputeRefinementDetails(*state, {});
        ASSERT_EQ(d.cellRefusal.has_value(), c.refused) << c.rows[0].d;
        if (!c.refused) continue;
        EXPECT_EQ(d.cellRefusal->Text(Lang::English),
                  "The fit does not determine the cell: a cell length or its standard uncertainty "
                  "is not finite or exceeds 10000 Å (check the indices)");
        EXPECT_EQ(d.direct.value[0], 0);
    }
}

}  // namespace
}  // namespace dorvalix
