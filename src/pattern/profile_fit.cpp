// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile_fit.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace dorvalix {

namespace {

// The fit runs in double: the counts carry at most seven digits and the positions are
// wanted to 1e-5°, which leaves nine digits to spare; what it reports is long double.
using Real = double;
using Matrix = Eigen::Matrix<Real, Eigen::Dynamic, Eigen::Dynamic>;
using Vector = Eigen::Matrix<Real, Eigen::Dynamic, 1>;

constexpr Real kLn2 = std::numbers::ln2_v<Real>;
constexpr Real kDegree = std::numbers::pi_v<Real> / 180;
// The areas of a Lorentzian and a Gaussian of height 1 and half width at half maximum 1: π
// and √(π / ln 2); a split profile takes half of each on either side.
constexpr long double kLorentzArea = std::numbers::pi_v<long double> / 2;
const long double kGaussArea =
    std::sqrt(std::numbers::pi_v<long double> / std::numbers::ln2_v<long double>) / 2;
// A line's derivatives are summed where |x − c| is at most this many half widths; its value
// everywhere in the window (the Lorentzian tail still counts there).
constexpr Real kDerivativeReach = 40;

constexpr std::size_t kMaxGroup = 10;       // peaks fitted together at most
constexpr double kWindowFwhm = 2.5;         // the window reaches this many FWHM past a line
constexpr double kStrongSignificance = 15;  // a peak this clear fits its own shape
constexpr std::size_t kPerPeak = 6;         // 2θ, height, FWHM, asymmetry, η left, η right
constexpr std::size_t kLine = 2;            // background level and slope come first

// What one line contributes at x, and its derivatives by the peak's parameters. Each side
// of the maximum has its own half width and its own Lorentzian fraction (Toraya 1990).
struct LineValue {
    Real f, dx, dh, dfwhm, dasym, detaLeft, detaRight;
};

LineValue Line(Real x, Real c, Real h, Real fwhm, Real asym, Real etaLeft, Real etaRight) {
    const bool left = x < c;
    const Real dwdF = left ? (1 + asym) / 2 : (1 - asym) / 2;
    const Real dwdA = left ? fwhm / 2 : -fwhm / 2;
    const Real eta = left ? etaLeft : etaRight;
    const Real w = fwhm * dwdF;
    const Real u = (x - c) / w;
    const Real u2 = u * u;
    const Real lorentz = 1 / (1 + u2);
    const Real gauss = std::exp(-kLn2 * u2);
    const Real shape = eta * lorentz + (1 - eta) * gauss;
    const Real dfdu =
        h * (eta * (-2 * u * lorentz * lorentz) + (1 - eta) * (-2 * kLn2 * u * gauss));
    const Real dfdw = dfdu * (-u / w);
    const Real deta = h * (lorentz - gauss);
    return {h * shape,   dfdu * (-1 / w), shape,          dfdw * dwdF,
            dfdw * dwdA, left ? deta : 0, left ? 0 : deta};
}

struct Peak {
    Real x = 0, h = 0, fwhm = 0, asym = 0, etaLeft = 0.5, etaRight = 0.5;
    bool shapeFree = true;
    double significance = 0;
    double startX = 0, startFwhm = 0;
};

// The points of a window and their weights.
struct Window {
    const Scan* scan = nullptr;
    const std::vector<double>* background = nullptr;
    const std::vector<double>* weight = nullptr;
    std::size_t lo = 0, hi = 0;  // points [lo, hi)
    Real centre = 0;
};

// A group's parameters: level and slope of the line under the peaks, six per peak, then
// the Kα2/Kα1 ratio.
struct Problem {
    Window window;
    const FitSetup* setup = nullptr;
    bool doublet = false;
    bool ratioFree = false;
    Real rho = 1;  // λ₂ / λ₁
};

std::size_t ParameterCount(std::size_t peaks) {
    return kLine + kPerPeak * peaks + 1;
}

std::vector<char> FreeMask(const Problem& problem, const std::vector<Peak>& peaks) {
    std::vector<char> free(ParameterCount(peaks.size()), 1);
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        if (!peaks[k].shapeFree) {
            free[kLine + kPerPeak * k + 3] = 0;
            free[kLine + kPerPeak * k + 4] = 0;
            free[kLine + kPerPeak * k + 5] = 0;
        }
    }
    free.back() = problem.doublet && problem.ratioFree;
    return free;
}

std::vector<Real> Pack(Real level, Real slope, const std::vector<Peak>& peaks, Real ratio) {
    std::vector<Real> p{level, slope};
    for (const Peak& k : peaks) {
        p.insert(p.end(), {k.x, k.h, k.fwhm, k.asym, k.etaLeft, k.etaRight});
    }
    p.push_back(ratio);
    return p;
}

void Unpack(const std::vector<Real>& p, std::vector<Peak>& peaks) {
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        const std::size_t b = kLine + kPerPeak * k;
        peaks[k].x = p[b];
        peaks[k].h = p[b + 1];
        peaks[k].fwhm = p[b + 2];
        peaks[k].asym = p[b + 3];
        peaks[k].etaLeft = p[b + 4];
        peaks[k].etaRight = p[b + 5];
    }
}

// Keeps the parameters where the profile means something.
void Clamp(const Problem& problem, const std::vector<Peak>& starts, std::vector<Real>& p) {
    const Scan& scan = *problem.window.scan;
    const Real lo = scan.twoTheta[problem.window.lo];
    const Real hi = scan.twoTheta[problem.window.hi - 1];
    const Real step = MeanStep(scan);
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t b = kLine + kPerPeak * k;
        p[b] = std::clamp(p[b], lo, hi);
        p[b + 1] = std::max(p[b + 1], 1e-9);
        p[b + 2] =
            std::clamp<Real>(p[b + 2], step / 2, std::max<Real>(8 * starts[k].startFwhm, step));
        p[b + 3] = std::clamp<Real>(p[b + 3], -0.8, 0.8);
        p[b + 4] = std::clamp<Real>(p[b + 4], 0, 1);
        p[b + 5] = std::clamp<Real>(p[b + 5], 0, 1);
    }
    // The Kα2/Kα1 ratio of a tube is about 0.5; 0 is a monochromatic beam.
    p.back() = std::clamp<Real>(p.back(), 0, 0.9);
}

// χ² of the parameters `p` and, when `normal` is given, the normal equations over the free
// parameters. A point adds to the parameters of the lines that reach it only.
Real Evaluate(const Problem& problem, std::size_t peaks, const std::vector<Real>& p,
              const std::vector<char>& free, Matrix* normal, Vector* gradient) {
    const Window& w = problem.window;
    const Scan& scan = *w.scan;
    const std::size_t count = p.size();
    std::vector<std::ptrdiff_t> column(count, -1);
    std::ptrdiff_t q = 0;
    for (std::size_t j = 0; j < count; ++j) {
        if (free[j]) column[j] = q++;
    }
    if (normal != nullptr) {
        normal->setZero(q, q);
        gradient->setZero(q);
    }
    const Real ratio = p.back();
    // Kα2 positions and their derivatives by the Kα1 positions, once per evaluation.
    std::vector<Real> x2(peaks, 0), dx2(peaks, 0);
    if (problem.doublet) {
        for (std::size_t k = 0; k < peaks; ++k) {
            const Real t1 = p[kLine + kPerPeak * k] * kDegree / 2;
            const Real s = problem.rho * std::sin(t1);
            if (s < 1) {
                const Real t2 = std::asin(s);
                x2[k] = 2 * t2 / kDegree;
                dx2[k] = problem.rho * std::cos(t1) / std::cos(t2);
            }
        }
    }
    // The compact row of one point: the free parameters it touches and their derivatives.
    std::vector<std::ptrdiff_t> at;
    std::vector<Real> row;
    at.reserve(count);
    row.reserve(count);
    Real chi2 = 0;
    for (std::size_t i = w.lo; i < w.hi; ++i) {
        const Real x = scan.twoTheta[i];
        const Real dxc = x - w.centre;
        Real model = (*w.background)[i] + p[0] + p[1] * dxc;
        at.clear();
        row.clear();
        auto add = [&](std::size_t j, Real d) {
            if (column[j] < 0) return;
            at.push_back(column[j]);
            row.push_back(d);
        };
        add(0, 1);
        add(1, dxc);
        Real dratio = 0;
        for (std::size_t k = 0; k < peaks; ++k) {
            const std::size_t b = kLine + kPerPeak * k;
            const LineValue v1 = Line(x, p[b], p[b + 1], p[b + 2], p[b + 3], p[b + 4], p[b + 5]);
            model += v1.f;
            LineValue d = v1;
            bool near = std::abs(x - p[b]) <= kDerivativeReach * p[b + 2];
            if (problem.doublet && x2[k] > 0) {
                const LineValue v2 =
                    Line(x, x2[k], p[b + 1], p[b + 2], p[b + 3], p[b + 4], p[b + 5]);
                model += ratio * v2.f;
                d.dx += ratio * v2.dx * dx2[k];
                d.dh += ratio * v2.dh;
                d.dfwhm += ratio * v2.dfwhm;
                d.dasym += ratio * v2.dasym;
                d.detaLeft += ratio * v2.detaLeft;
                d.detaRight += ratio * v2.detaRight;
                dratio += v2.f;
                near = near || std::abs(x - x2[k]) <= kDerivativeReach * p[b + 2];
            }
            if (normal == nullptr || !near) continue;
            add(b, d.dx);
            add(b + 1, d.dh);
            add(b + 2, d.dfwhm);
            add(b + 3, d.dasym);
            add(b + 4, d.detaLeft);
            add(b + 5, d.detaRight);
        }
        add(count - 1, dratio);
        const Real weight = (*w.weight)[i];
        const Real r = scan.counts[i] - model;
        chi2 += weight * r * r;
        if (normal == nullptr) continue;
        for (std::size_t u = 0; u < at.size(); ++u) {
            const Real wu = weight * row[u];
            (*gradient)(at[u]) += wu * r;
            for (std::size_t v = 0; v <= u; ++v)
                (*normal)(at[u], at[v]) += wu * row[v];
        }
    }
    if (normal != nullptr) {
        // Columns were added in increasing order, so the sums sit below the diagonal.
        for (std::ptrdiff_t u = 0; u < q; ++u) {
            for (std::ptrdiff_t v = 0; v < u; ++v)
                (*normal)(v, u) = (*normal)(u, v);
        }
    }
    return chi2;
}

struct GroupFit {
    std::vector<Peak> peaks;
    std::vector<Real> su;       // of every parameter; NaN where fixed or unknown
    Real level = 0, slope = 0;  // the line under the peaks, about the window's centre
    Window window;
    Real ratio = 0;
    Real chi2 = 0;
    bool ok = false;
};

// Levenberg–Marquardt from `peaks`, with the ratio `ratio` (refined when the problem says).
GroupFit FitGroup(const Problem& problem, std::vector<Peak> peaks, Real ratio) {
    GroupFit out;
    const std::vector<char> free = FreeMask(problem, peaks);
    std::vector<Real> p = Pack(0, 0, peaks, ratio);
    Clamp(problem, peaks, p);
    std::size_t q = 0;
    for (const char f : free)
        q += f != 0;
    const std::size_t n = problem.window.hi - problem.window.lo;
    if (n <= q) return out;
    Matrix normal;
    Vector gradient;
    Real chi2 = Evaluate(problem, peaks.size(), p, free, &normal, &gradient);
    Real lambda = 1e-3;
    for (int iteration = 0; iteration < 200; ++iteration) {
        Matrix a = normal;
        for (Eigen::Index d = 0; d < a.rows(); ++d)
            a(d, d) += lambda * normal(d, d) + std::numeric_limits<Real>::min();
        const Eigen::LDLT<Matrix> solver(a);
        const Vector delta = solver.solve(gradient);
        if (solver.info() != Eigen::Success || !delta.allFinite()) {
            lambda *= 10;
            if (lambda > 1e12) break;
            continue;
        }
        std::vector<Real> trial = p;
        std::size_t c = 0;
        for (std::size_t j = 0; j < p.size(); ++j) {
            if (free[j]) trial[j] += delta(static_cast<Eigen::Index>(c++));
        }
        Clamp(problem, peaks, trial);
        const Real trialChi2 = Evaluate(problem, peaks.size(), trial, free, nullptr, nullptr);
        if (std::isfinite(trialChi2) && trialChi2 <= chi2) {
            const Real gain = (chi2 - trialChi2) / std::max(chi2, 1e-300);
            p.swap(trial);
            chi2 = Evaluate(problem, peaks.size(), p, free, &normal, &gradient);
            lambda = std::max(lambda / 10, 1e-9);
            if (gain < 1e-10) break;
        } else {
            lambda *= 10;
            if (lambda > 1e12) break;
        }
    }
    // The covariance at the minimum, scaled by the reduced χ².
    out.su.assign(p.size(), std::numeric_limits<Real>::quiet_NaN());
    const Eigen::LDLT<Matrix> solver(normal);
    if (solver.info() == Eigen::Success) {
        const Matrix inverse = solver.solve(Matrix::Identity(normal.rows(), normal.cols()));
        const Real scale = chi2 / static_cast<Real>(n - q);
        std::size_t c = 0;
        for (std::size_t j = 0; j < p.size(); ++j) {
            if (!free[j]) continue;
            const Real v = inverse(static_cast<Eigen::Index>(c), static_cast<Eigen::Index>(c));
            ++c;
            if (v >= 0 && std::isfinite(v)) out.su[j] = std::sqrt(v * scale);
        }
    }
    Unpack(p, peaks);
    out.peaks = std::move(peaks);
    out.level = p[0];
    out.slope = p[1];
    out.window = problem.window;
    out.ratio = p.back();
    out.chi2 = chi2;
    out.ok = std::isfinite(chi2);
    return out;
}

// The points around a group of peaks: kWindowFwhm past the first Kα1 line and the last
// Kα2 line.
Window MakeWindow(const Scan& scan, const std::vector<double>& background,
                  const std::vector<double>& weight, const Problem& problem,
                  const std::vector<Peak>& peaks) {
    Real lo = peaks.front().x, hi = peaks.front().x;
    for (const Peak& k : peaks) {
        lo = std::min(lo, k.x - kWindowFwhm * k.fwhm);
        Real right = k.x;
        if (problem.doublet) {
            const Real s = problem.rho * std::sin(k.x * kDegree / 2);
            if (s < 1) right = 2 * std::asin(s) / kDegree;
        }
        hi = std::max(hi, right + kWindowFwhm * k.fwhm);
    }
    Window w;
    w.scan = &scan;
    w.background = &background;
    w.weight = &weight;
    w.lo = LowerIndex(scan, static_cast<double>(lo));
    w.hi = std::min(scan.Size(), LowerIndex(scan, static_cast<double>(hi)) + 1);
    // Enough points for the parameters, however narrow the peaks.
    const std::size_t need = kLine + kPerPeak * peaks.size() + 4;
    while (w.hi - w.lo < need && (w.lo > 0 || w.hi < scan.Size())) {
        if (w.lo > 0) --w.lo;
        if (w.hi < scan.Size()) ++w.hi;
    }
    w.centre = 0.5 * (static_cast<Real>(scan.twoTheta[w.lo]) + scan.twoTheta[w.hi - 1]);
    return w;
}

// Fits a group and drops what the fit does not support, one peak at a time: a height of
// fewer s.u. than the significance asked, a width below the minimum, a maximum that ran
// more than a start FWHM away, or two maxima closer than a third of their width. A window
// too short for its peaks' parameters (at the end of a scan) loses its weakest peak.
GroupFit FitAndPrune(const Scan& scan, const std::vector<double>& background,
                     const std::vector<double>& weight, Problem problem, std::vector<Peak> peaks,
                     Real ratio) {
    const Real minWidth = problem.setup->minWidth;
    const double step = MeanStep(scan);
    while (!peaks.empty()) {
        problem.window = MakeWindow(scan, background, weight, problem, peaks);
        GroupFit fit = FitGroup(problem, peaks, ratio);
        if (!fit.ok) {
            if (peaks.size() == 1) return fit;
            peaks.erase(std::min_element(peaks.begin(), peaks.end(),
                                         [](const Peak& a, const Peak& b) { return a.h < b.h; }));
            continue;
        }
        std::ptrdiff_t worst = -1;
        Real worstScore = std::numeric_limits<Real>::infinity();
        for (std::size_t k = 0; k < fit.peaks.size(); ++k) {
            const Peak& f = fit.peaks[k];
            const Real hsu = fit.su[kLine + kPerPeak * k + 1];
            const Real score = std::isfinite(hsu) && hsu > 0 ? f.h / hsu : 0;
            const bool away = std::abs(f.x - f.startX) > std::max(f.startFwhm, 3 * step);
            bool twin = false;
            for (std::size_t j = 0; j < fit.peaks.size(); ++j) {
                if (j != k && std::abs(fit.peaks[j].x - f.x) < f.fwhm / 3 && fit.peaks[j].h > f.h)
                    twin = true;
            }
            const bool bad =
                away || twin || score < problem.setup->minSignificance || f.fwhm < minWidth;
            if (bad && score < worstScore) {
                worstScore = score;
                worst = static_cast<std::ptrdiff_t>(k);
            }
        }
        if (worst < 0) return fit;
        // The survivors start again from their starts, not from the fit that carried the
        // dropped peak.
        peaks.erase(peaks.begin() + worst);
    }
    return {};
}

// Groups of peaks (sorted by 2θ) whose windows overlap, at most kMaxGroup each.
std::vector<std::vector<Peak>> MakeGroups(const std::vector<Peak>& sorted, const Problem& problem) {
    std::vector<std::vector<Peak>> groups;
    Real right = -std::numeric_limits<Real>::infinity();
    for (const Peak& k : sorted) {
        const Real left = k.x - kWindowFwhm * k.fwhm;
        if (groups.empty() || left > right || groups.back().size() >= kMaxGroup) {
            groups.emplace_back();
            right = -std::numeric_limits<Real>::infinity();
        }
        groups.back().push_back(k);
        Real end = k.x;
        if (problem.doublet) {
            const Real s = problem.rho * std::sin(k.x * kDegree / 2);
            if (s < 1) end = 2 * std::asin(s) / kDegree;
        }
        right = std::max(right, end + kWindowFwhm * k.fwhm);
    }
    return groups;
}

std::vector<Peak> PeaksFrom(const std::vector<PeakStart>& starts) {
    std::vector<Peak> peaks;
    for (const PeakStart& s : starts) {
        Peak k;
        k.x = s.twoTheta;
        k.h = s.height;
        k.fwhm = s.fwhm;
        k.startX = s.twoTheta;
        k.startFwhm = s.fwhm;
        k.significance = s.significance;
        k.shapeFree = s.significance >= kStrongSignificance;
        if (s.hasShape) {
            k.asym = s.asymmetry;
            k.etaLeft = s.etaLeft;
            k.etaRight = s.etaRight;
        }
        peaks.push_back(k);
    }
    std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.x < b.x; });
    return peaks;
}

Problem MakeProblem(const FitSetup& setup) {
    Problem problem;
    problem.setup = &setup;
    problem.doublet = setup.lines.IsDoublet() && setup.ratio > 0;
    problem.rho = setup.lines.IsDoublet() ? setup.lines.ka2 / setup.lines.ka1 : 1;
    return problem;
}

FittedPeak Reported(const Peak& k, Real xsu, const FitSetup& setup, const GroupFit& fit) {
    FittedPeak f;
    const Window& w = fit.window;
    f.lineLevel = fit.level;
    f.lineSlope = fit.slope;
    f.lineCentre = w.centre;
    if (w.scan != nullptr && w.hi > w.lo) {
        f.windowFrom = w.scan->twoTheta[w.lo];
        f.windowTo = w.scan->twoTheta[w.hi - 1];
    }
    f.twoTheta = k.x;
    f.twoThetaSu = xsu;
    f.d = DSpacing(k.x, setup.lines.ka1);
    f.fwhm = k.fwhm;
    f.height = k.h;
    // Each side's half width times the area of its half-profile of height 1 and half
    // width 1.
    const long double left = k.fwhm * (1 + k.asym) / 2, right = k.fwhm * (1 - k.asym) / 2;
    f.area = k.h * (left * (k.etaLeft * kLorentzArea + (1 - k.etaLeft) * kGaussArea) +
                    right * (k.etaRight * kLorentzArea + (1 - k.etaRight) * kGaussArea));
    f.eta = (k.etaLeft + k.etaRight) / 2;
    f.etaLeft = k.etaLeft;
    f.etaRight = k.etaRight;
    f.asymmetry = k.asym;
    f.shapeFixed = !k.shapeFree;
    return f;
}

}  // namespace

long double DSpacing(long double twoTheta, long double wavelength) {
    return wavelength / (2 * std::sin(twoTheta * kDegree / 2));
}

FitOutcome FitPeaks(const Scan& scan, const std::vector<double>& background, const FitSetup& setup,
                    const std::vector<PeakStart>& starts, const Progress& progress) {
    FitOutcome out;
    if (starts.empty() || scan.Size() < 8 || background.size() != scan.Size()) return out;
    std::vector<double> weight = CountVariances(scan, setup.noiseScale);
    for (double& v : weight)
        v = 1 / v;
    const Problem problem = MakeProblem(setup);
    const std::vector<std::vector<Peak>> groups = MakeGroups(PeaksFrom(starts), problem);

    // First every group with the shapes of its strong peaks free.
    std::vector<GroupFit> fits(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        fits[g] = FitAndPrune(scan, background, weight, problem, groups[g], setup.ratio);
        if (!Report(progress,
                    0.8 * static_cast<double>(g + 1) / static_cast<double>(groups.size()))) {
            out.cancelled = true;
            return out;
        }
    }
    // Then the weak peaks again, with the shape of the strong peaks nearest to them.
    std::vector<Peak> strong;
    for (const GroupFit& fit : fits) {
        for (const Peak& k : fit.peaks) {
            if (k.shapeFree) strong.push_back(k);
        }
    }
    if (!strong.empty()) {
        for (std::size_t g = 0; g < fits.size(); ++g) {
            std::vector<Peak> peaks = fits[g].peaks;
            bool weak = false;
            for (Peak& k : peaks) {
                if (k.shapeFree) continue;
                weak = true;
                // The mean shape of the (up to) three strong peaks nearest in 2θ.
                std::vector<const Peak*> near;
                for (const Peak& s : strong)
                    near.push_back(&s);
                std::partial_sort(near.begin(),
                                  near.begin() + std::min<std::ptrdiff_t>(
                                                     3, static_cast<std::ptrdiff_t>(near.size())),
                                  near.end(), [&](const Peak* a, const Peak* b) {
                                      return std::abs(a->x - k.x) < std::abs(b->x - k.x);
                                  });
                const std::size_t m = std::min<std::size_t>(3, near.size());
                Real asym = 0, etaLeft = 0, etaRight = 0;
                for (std::size_t j = 0; j < m; ++j) {
                    asym += near[j]->asym;
                    etaLeft += near[j]->etaLeft;
                    etaRight += near[j]->etaRight;
                }
                k.asym = asym / static_cast<Real>(m);
                k.etaLeft = etaLeft / static_cast<Real>(m);
                k.etaRight = etaRight / static_cast<Real>(m);
            }
            if (weak) {
                GroupFit again = FitAndPrune(scan, background, weight, problem, peaks, setup.ratio);
                if (again.ok) fits[g] = std::move(again);
            }
            if (!Report(progress, 0.8 + 0.2 * static_cast<double>(g + 1) /
                                            static_cast<double>(fits.size()))) {
                out.cancelled = true;
                return out;
            }
        }
    }
    for (const GroupFit& fit : fits) {
        for (std::size_t k = 0; k < fit.peaks.size(); ++k)
            out.peaks.push_back(Reported(fit.peaks[k], fit.su[kLine + kPerPeak * k], setup, fit));
    }
    std::sort(out.peaks.begin(), out.peaks.end(),
              [](const FittedPeak& a, const FittedPeak& b) { return a.twoTheta < b.twoTheta; });
    return out;
}

RatioEstimate RefineRatio(const Scan& scan, const std::vector<double>& background,
                          const FitSetup& setup, const std::vector<PeakStart>& starts) {
    RatioEstimate estimate;
    estimate.ratio = setup.ratio;
    if (!setup.lines.IsDoublet() || starts.empty() || background.size() != scan.Size())
        return estimate;
    std::vector<double> weight = CountVariances(scan, setup.noiseScale);
    for (double& v : weight)
        v = 1 / v;
    Problem problem = MakeProblem(setup);
    problem.ratioFree = true;
    // The strongest peaks whose Kα2 line lies at least half a width from the Kα1 line: there
    // the ratio is told apart from the width.
    std::vector<Peak> candidates;
    for (const Peak& k : PeaksFrom(starts)) {
        const long double x2 = KAlpha2Position(k.x, setup.lines.ka1, setup.lines.ka2);
        if (x2 > 0 && x2 - k.x >= 0.5L * k.fwhm && k.shapeFree) candidates.push_back(k);
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Peak& a, const Peak& b) { return a.significance > b.significance; });
    if (candidates.size() > 8) candidates.resize(8);
    const std::vector<std::vector<Peak>> all = MakeGroups(PeaksFrom(starts), problem);
    long double sum = 0, weights = 0;
    for (const Peak& c : candidates) {
        // The whole group the peak belongs to, so that its neighbours are fitted too.
        for (const std::vector<Peak>& group : all) {
            const bool here =
                std::any_of(group.begin(), group.end(), [&](const Peak& k) { return k.x == c.x; });
            if (!here) continue;
            const GroupFit fit = FitAndPrune(scan, background, weight, problem, group, setup.ratio);
            const long double su = fit.ok ? fit.su.back() : 0;
            if (fit.ok && std::isfinite(su) && su > 0) {
                sum += fit.ratio / (su * su);
                weights += 1 / (su * su);
            }
        }
    }
    if (weights > 0) {
        estimate.ratio = sum / weights;
        estimate.su = 1 / std::sqrt(weights);
        estimate.refined = true;
    }
    return estimate;
}

}  // namespace dorvalix
