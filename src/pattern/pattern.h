// SPDX-License-Identifier: GPL-3.0-or-later
// A measured powder pattern as a diffractometer file holds it: one or more scans of 2θ and
// counts, the X-ray lines, and what the file says about the sample and the instrument.
//
// The points are kept in double: the files hold at most seven significant digits (text) or
// single-precision numbers (binary formats), and a 2θ computed as start + i × step in double
// is exact to 1e-13°. What is derived from them (peak positions, d, s.u.) is long double.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dorvalix {

// The X-ray lines of a measurement. A single line has ka2 == 0 and ratio == 0.
struct Wavelengths {
    long double ka1 = 0;    // Å; 0 when not known
    long double ka2 = 0;    // Å; 0 for a single line
    long double ratio = 0;  // I(Kα2) / I(Kα1); 0 for a single line
    bool stated = false;    // the file states them (otherwise nothing is assumed)

    bool Known() const { return ka1 > 0; }
    bool IsDoublet() const { return ka2 > 0 && ratio > 0; }
};

// One scan: the points in increasing 2θ, the counts with any attenuation factor applied.
struct Scan {
    std::vector<double> twoTheta;  // degrees, strictly increasing
    std::vector<double> counts;
    std::vector<double> su;   // s.u. of the counts as the file gives them; empty: none
    double countingTime = 0;  // seconds per point; 0 when the file does not say
    bool attenuated = false;  // an attenuation factor other than 1 was applied

    std::size_t Size() const { return twoTheta.size(); }
};

struct Pattern {
    std::string format;      // "xy", "xrdml", "raw", "brml", "ras", "rasx", "gsas", "fxye"
    std::string sampleName;  // as the file names it; empty when it does not
    std::string instrument;
    std::string date;
    Wavelengths wavelength;
    std::vector<Scan> scans;         // at least one, each with at least one point
    std::vector<std::string> notes;  // what was read differently from what the file declares

    std::size_t PointCount() const;
};

// The mean distance between neighbouring points of a scan (0 for a single point).
double MeanStep(const Scan& scan);

// The index of the first point at or above `twoTheta` (Size() when there is none).
std::size_t LowerIndex(const Scan& scan, double twoTheta);

}  // namespace dorvalix
