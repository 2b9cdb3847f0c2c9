// SPDX-License-Identifier: GPL-3.0-or-later
// Background, search and fit on patterns whose truth is known: where each Kα1 line has its
// maximum, which Kα2/Kα1 ratio drew them, what is noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "background.h"
#include "peaks.h"
#include "profile_fit.h"
#include "synthetic_pattern.h"
#include "xray_lines.h"

namespace dorvalix {
namespace {

using test::CuDoublet;
using test::CuSingle;
using test::MakeScan;
using test::Reflection;
using test::Synthetic;

// Silicon's lines under Cu Kα1 from 20° to 140° 2θ, with heights spanning two decades.
const std::vector<Reflection> kSilicon = {
    {28.442, 30000}, {47.302, 18000}, {56.121, 10000}, {69.130, 2500},
    {76.377, 4000},  {88.029, 5000},  {94.951, 2600},  {106.710, 1500},
    {114.092, 2800}, {127.547, 2400}, {136.897, 1100},
};

const FittedPeak* Nearest(const std::vector<FittedPeak>& peaks, double twoTheta) {
    const FittedPeak* best = nullptr;
    for (const FittedPeak& p : peaks) {
        if (!best || std::abs(p.twoTheta - twoTheta) < std::abs(best->twoTheta - twoTheta))
            best = &p;
    }
    return best;
}

// Every reflection is found once at its Kα1 maximum (its Kα2 line is never a peak of its
// own), within a few s.u. and well inside the 0.01–0.03° by which a symmetric profile moves
// a tailed line; the s.u. are those of the noise, not far smaller.
TEST(FindPeaks, DoubletsAreFoundOnceAtTheirKAlpha1Maxima) {
    struct Case {
        const char* name;
        double tail;
        double ratio;
        bool doublet;
    };
    for (const Case& c :
         {Case{"tailed doublets", 0.03, 0.5, true}, Case{"symmetric doublets", 0, 0.5, true},
          Case{"tailed single line", 0.03, 0, false}}) {
        SCOPED_TRACE(c.name);
        Synthetic s;
        s.start = 20;
        s.step = 0.012;
        s.points = 10001;
        s.lines = c.doublet ? CuDoublet(c.ratio) : CuSingle();
        s.tail = c.tail;
        s.reflections = kSilicon;
        const Scan scan = MakeScan(s);
        const ScanPeaks found = FindPeaks(scan, s.lines, PeakSettings{});
        ASSERT_EQ(found.peaks.size(), kSilicon.size()) << test::Describe(found.peaks);
        double sumSquares = 0;
        for (const Reflection& r : kSilicon) {
            const FittedPeak* p = Nearest(found.peaks, r.twoTheta);
            SCOPED_TRACE(r.twoTheta);
            const double error = static_cast<double>(p->twoTheta) - r.twoTheta;
            // The noise, and what is left of the profile's difference from the drawn one.
            EXPECT_GT(p->twoThetaSu, 0);
            EXPECT_LT(std::abs(error), 3 * p->twoThetaSu + 0.003);
            EXPECT_EQ(p->d, DSpacing(p->twoTheta, s.lines.ka1));
            EXPECT_NEAR(p->height, r.height, 0.1 * r.height);
            sumSquares += error * error;
        }
        EXPECT_LT(std::sqrt(sumSquares / kSilicon.size()), 0.003);
    }
}

// The ratio that drew the doublets comes back from the peaks where they are resolved.
TEST(FindPeaks, RefinesTheKAlpha2Ratio) {
    for (const double ratio : {0.45, 0.52}) {
        SCOPED_TRACE(ratio);
        Synthetic s;
        s.start = 20;
        s.step = 0.012;
        s.points = 10001;
        s.lines = CuDoublet(ratio);
        s.reflections = kSilicon;
        const Scan scan = MakeScan(s);
        const ScanPeaks found = FindPeaks(scan, CuDoublet(kStartRatio), PeakSettings{});
        ASSERT_TRUE(found.ratio.refined);
        EXPECT_NEAR(found.ratio.ratio, ratio, 0.02);
        EXPECT_GT(found.ratio.su, 0);
        EXPECT_LT(found.ratio.su, 0.02);
        EXPECT_EQ(found.lines.ratio, found.ratio.ratio);
    }
}

// Counting noise alone is no peak, at the default significance or above.
TEST(FindPeaks, NoiseAloneGivesNoPeak) {
    for (const double level : {30.0, 1000.0, 50000.0}) {
        SCOPED_TRACE(level);
        Synthetic s;
        s.level = level;
        s.slope = level / 200;
        s.lines = CuDoublet();
        const Scan scan = MakeScan(s);
        const ScanPeaks found = FindPeaks(scan, s.lines, PeakSettings{});
        EXPECT_TRUE(found.peaks.empty()) << test::Describe(found.peaks);
    }
}

// Data that are not counts (scaled, or counts per second) scatter less than √counts says:
// the search measures the scatter, so the same peaks are found at the same places.
TEST(FindPeaks, ScaledCountsGiveTheSamePeaks) {
    Synthetic s;
    s.start = 20;
    s.step = 0.012;
    s.points = 10001;
    s.lines = CuDoublet();
    s.reflections = kSilicon;
    const ScanPeaks counts = FindPeaks(MakeScan(s), s.lines, PeakSettings{});
    for (const double scale : {0.01, 40.0}) {
        SCOPED_TRACE(scale);
        s.scale = scale;
        const ScanPeaks scaled = FindPeaks(MakeScan(s), s.lines, PeakSettings{});
        ASSERT_EQ(scaled.peaks.size(), counts.peaks.size());
        for (std::size_t k = 0; k < counts.peaks.size(); ++k)
            EXPECT_NEAR(scaled.peaks[k].twoTheta, counts.peaks[k].twoTheta, 1e-4);
    }
}

// The significance is the user's: a weak line is found at a low one, not at a high one.
TEST(FindPeaks, SignificanceDecidesOnAWeakLine) {
    Synthetic s;
    s.lines = CuSingle();
    s.level = 400;
    s.reflections = {{40, 5000}, {60, 120}};
    const Scan scan = MakeScan(s);
    PeakSettings settings;
    settings.significance = 3;
    EXPECT_EQ(FindPeaks(scan, s.lines, settings).peaks.size(), 2u);
    settings.significance = 20;
    const ScanPeaks strict = FindPeaks(scan, s.lines, settings);
    ASSERT_EQ(strict.peaks.size(), 1u);
    EXPECT_NEAR(strict.peaks[0].twoTheta, 40, 3 * strict.peaks[0].twoThetaSu + 0.003);
}

// --range limits the search; a peak added where the user clicks is fitted there, and one
// removed is gone while its neighbour stays where it was.
TEST(FindPeaks, RangeAddAndRemove) {
    Synthetic s;
    s.lines = CuDoublet();
    s.reflections = {{30, 8000}, {30.3, 4000}, {60, 6000}, {75, 150}};
    const Scan scan = MakeScan(s);
    PeakSettings settings;
    settings.rangeMin = 50;
    settings.rangeMax = 100;
    EXPECT_EQ(FindPeaks(scan, s.lines, settings).peaks.size(), 2u);

    settings = PeakSettings{};
    settings.significance = 30;  // the weak line at 75° is left out
    ScanPeaks found = FindPeaks(scan, s.lines, settings);
    ASSERT_EQ(found.peaks.size(), 3u);
    found.peaks = AddPeak(scan, found, 75.02);
    ASSERT_EQ(found.peaks.size(), 4u);
    EXPECT_NEAR(Nearest(found.peaks, 75)->twoTheta, 75, 0.01);

    const long double at30 = Nearest(found.peaks, 30)->twoTheta;
    std::size_t index = 0;
    while (std::abs(found.peaks[index].twoTheta - 30.3) > 0.05)
        ++index;
    found.peaks = RemovePeak(scan, found, index);
    ASSERT_EQ(found.peaks.size(), 3u);
    EXPECT_GT(std::abs(Nearest(found.peaks, 30.3)->twoTheta - 30.3), 0.1);
    // Without its neighbour the line at 30° takes the other's counts in its tail, but its
    // maximum stays within the noise of where it was.
    EXPECT_NEAR(Nearest(found.peaks, 30)->twoTheta, at30, 0.01);
    // Outside the scan nothing is added.
    EXPECT_EQ(AddPeak(scan, found, 200).size(), found.peaks.size());
}

// A long step can be cancelled: it stops at the next report with what it has.
TEST(FindPeaks, ProgressRunsToOneAndCancels) {
    Synthetic s;
    s.lines = CuDoublet();
    s.reflections = kSilicon;
    const Scan scan = MakeScan(s);
    std::vector<double> seen;
    const ScanPeaks all = FindPeaks(scan, s.lines, PeakSettings{}, [&](double f) {
        seen.push_back(f);
        return true;
    });
    EXPECT_FALSE(all.cancelled);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
    int calls = 0;
    const ScanPeaks stopped = FindPeaks(scan, s.lines, PeakSettings{}, [&](double f) {
        ++calls;
        return f < 0.5;
    });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_LT(stopped.peaks.size(), all.peaks.size());
    EXPECT_LT(calls, static_cast<int>(seen.size()));
}

// SNIP follows a sloping background under the peaks and leaves the peaks out of it.
TEST(Background, FollowsTheBaseUnderThePeaks) {
    Synthetic s;
    s.lines = CuDoublet();
    s.level = 500;
    s.slope = 8;
    s.reflections = kSilicon;
    s.start = 20;
    s.step = 0.012;
    s.points = 10001;
    s.noise = false;
    const Scan scan = MakeScan(s);
    const std::vector<double> background = ScanBackground(scan, 1.5);
    ASSERT_EQ(background.size(), scan.Size());
    for (std::size_t i = 200; i + 200 < scan.Size(); i += 50) {
        const double truth = s.level + s.slope * (scan.twoTheta[i] - s.start);
        EXPECT_NEAR(background[i], truth, 0.02 * truth) << scan.twoTheta[i];
    }
    EXPECT_TRUE(SnipBackground({}, 10).empty());
    EXPECT_TRUE(SnipBackground(scan.counts, 100, [](double) { return false; }).empty());
}

// The widths the defaults are chosen from.
TEST(Background, TypicalWidthAndDefaultWidth) {
    Synthetic s;
    s.lines = CuSingle();
    s.tail = 0;
    s.fwhm = 0.1;
    s.reflections = kSilicon;
    s.start = 20;
    s.step = 0.012;
    s.points = 10001;
    const Scan scan = MakeScan(s);
    const double typical = TypicalPeakWidth(scan);
    EXPECT_NEAR(typical, 0.1, 0.015);
    EXPECT_NEAR(DefaultBackgroundWidth(scan, typical), 15 * typical, 1e-12);
    // Never under 20 steps, never over a quarter of the scan.
    EXPECT_NEAR(DefaultBackgroundWidth(scan, 0.001), 20 * MeanStep(scan), 1e-9);
    EXPECT_NEAR(DefaultBackgroundWidth(scan, 10), (scan.twoTheta.back() - 20) / 4, 1e-9);
}

// Stripping for display takes the Kα2 line out (but for the error of interpolating between
// points 1/8 of a width apart), and the Kα1 line keeps its height without the Kα2 line's
// tail under it.
TEST(Background, StrippingTakesTheKAlpha2LineOut) {
    Synthetic s;
    s.lines = CuDoublet(0.5);
    s.tail = 0;
    s.level = 0;
    s.noise = false;
    s.reflections = {{80, 10000}};
    const Scan scan = MakeScan(s);
    const std::vector<double> none(scan.Size(), 0.0);
    const std::vector<double> stripped = StripKAlpha2(scan, none, s.lines);
    const auto at = [&](double x) { return LowerIndex(scan, x); };
    const double x2 = static_cast<double>(KAlpha2Position(80, s.lines.ka1, s.lines.ka2));
    EXPECT_GT(scan.counts[at(x2)], 4000);
    EXPECT_LT(std::abs(stripped[at(x2)]), 0.05 * scan.counts[at(x2)]);
    EXPECT_GT(scan.counts[at(80)], 10050);
    EXPECT_NEAR(stripped[at(80)], 10000, 5);
    EXPECT_EQ(StripKAlpha2(scan, none, CuSingle()), scan.counts);
}

// Worked values: the Kα2 line of Cu Kα1 at 2θ = 40° lies at 2 asin(1.544414 / 1.540593 ×
// sin 20°) = 40.1034616°, and d of 2θ = 40° is 1.540593 / (2 sin 20°) = 2.2521963 Å.
TEST(XrayLines, DoubletGeometry) {
    EXPECT_NEAR(KAlpha2Position(40, 1.540593L, 1.544414L), 40.1034616, 1e-7);
    EXPECT_NEAR(DSpacing(40, 1.540593L), 2.2521963, 1e-7);
    EXPECT_EQ(KAlpha2Position(179.9L, 1.540593L, 1.544414L), 0);  // past the cut-off

    const XrayLine* cu = FindXrayLine("cu-ka");
    ASSERT_NE(cu, nullptr);
    const Wavelengths doublet = WavelengthsOf(*cu);
    EXPECT_EQ(doublet.ka1, 1.540593L);
    EXPECT_EQ(doublet.ka2, 1.544414L);
    EXPECT_EQ(doublet.ratio, 0.5L);
    const Wavelengths single = WavelengthsOf(*FindXrayLine("Cu-Ka1"));
    EXPECT_FALSE(single.IsDoublet());
    for (const char* name : {"Fe-Ka", "Cr-Ka", "Mo-Ka"}) {
        const XrayLine* line = FindXrayLine(name);
        ASSERT_NE(line, nullptr) << name;
        // Kα2 lies 0.2 to 0.6 % above Kα1 for every anode.
        EXPECT_GT(line->ka2 / line->ka1, 1.0015L) << name;
        EXPECT_LT(line->ka2 / line->ka1, 1.0065L) << name;
    }
    EXPECT_EQ(FindXrayLine("Cu-Kb"), nullptr);
}

}  // namespace
}  // namespace dorvalix
