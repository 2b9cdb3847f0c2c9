// SPDX-License-Identifier: GPL-3.0-or-later
// The fitted profile as the pattern window draws it: each side of a line falls to half its
// height at its own half width, and the curve of background, Kα1 and Kα2 lines follows the
// counts within their noise.
#include "fitted_curve.h"

#include <gtest/gtest.h>

#include <cmath>

#include "synthetic_pattern.h"

namespace dorvalix {
namespace {

TEST(FittedCurve, EachSideFallsToHalfItsHeightAtItsOwnHalfWidth) {
    const struct {
        double asymmetry, etaLeft, etaRight;
    } cases[] = {{0, 0.5, 0.5}, {0.3, 0, 1}, {-0.4, 1, 0.2}, {0.8, 0.7, 0}};
    for (const auto& c : cases) {
        FittedPeak p;
        p.fwhm = 0.1L;
        p.asymmetry = c.asymmetry;
        p.etaLeft = c.etaLeft;
        p.etaRight = c.etaRight;
        const double left = 0.1 * (1 + c.asymmetry) / 2, right = 0.1 * (1 - c.asymmetry) / 2;
        EXPECT_DOUBLE_EQ(SplitPseudoVoigt(p, 30, 800, 30), 800);
        EXPECT_NEAR(SplitPseudoVoigt(p, 30, 800, 30 - left), 400, 1e-9) << c.asymmetry;
        EXPECT_NEAR(SplitPseudoVoigt(p, 30, 800, 30 + right), 400, 1e-9) << c.asymmetry;
        // Three half widths out: a Lorentzian keeps a tenth, a Gaussian 2⁻⁹.
        const double far = SplitPseudoVoigt(p, 30, 800, 30 + 3 * right);
        EXPECT_NEAR(far, 800 * (c.etaRight / 10 + (1 - c.etaRight) / 512), 1e-9);
    }
}

TEST(FittedCurve, BackgroundAndDoubletsFollowTheCountsWithinTheirNoise) {
    test::Synthetic s;
    s.start = 25;
    s.step = 0.01;
    s.points = 3001;
    s.tail = 0;
    s.lines = test::CuDoublet(0.5);
    s.reflections = {{28.44, 20000}, {47.30, 12000}};
    s.seed = 2;
    const Scan scan = test::MakeScan(s);
    const ScanPeaks found = FindPeaks(scan, s.lines, PeakSettings{});
    ASSERT_EQ(found.peaks.size(), 2u);
    // χ² per point over the windows the fit was made in (2.5 FWHM past the Kα1 and Kα2
    // lines): about 1 for a curve that describes the counts there.
    auto chi2 = [&](const std::vector<double>& curve) {
        double sum = 0;
        int n = 0;
        for (std::size_t i = 0; i < scan.Size(); ++i) {
            const double x = scan.twoTheta[i];
            if (std::fabs(x - 28.48) > 0.24 && std::fabs(x - 47.36) > 0.26) continue;
            const double r = scan.counts[i] - curve[i];
            sum += r * r / std::max(scan.counts[i], 1.0);
            ++n;
        }
        return sum / n;
    };
    const std::vector<double> curve = FittedCurve(scan, found, found.peaks);
    ASSERT_EQ(curve.size(), scan.Size());
    // (Without the windows' lines, 1.8: the background under the tails of strong lines lies
    // lower than the fit's.)
    EXPECT_LT(chi2(curve), 1.3);
    // Without its Kα2 lines the curve misses half the counts of each doublet.
    ScanPeaks single = found;
    single.lines.ka2 = 0;
    single.lines.ratio = 0;
    EXPECT_GT(chi2(FittedCurve(scan, single, single.peaks)), 50 * chi2(curve));
    // A background of another scan gives no curve.
    ScanPeaks other = found;
    other.background.pop_back();
    EXPECT_TRUE(FittedCurve(scan, other, other.peaks).empty());
}

}  // namespace
}  // namespace dorvalix
