// SPDX-License-Identifier: GPL-3.0-or-later
// Refinement details: what a crystallographer reports beside the results panel. Standard
// uncertainties from the full covariance of the coefficients, per-reflection regression
// diagnostics, the de Wolff and Smith-Snyder figures of merit, and an optional fit on 2θ with
// a refined zero shift.
//
// Everything works on the included observations of a completed run, with the run's design
// rows and fitted coefficients, in long double and with π to full precision (the panel's
// own numbers keep their rounded constants and stay as they are).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "calculation.h"
#include "centring.h"
#include "details_messages.h"
#include "refinement.h"

namespace dorvalix {

// A standard uncertainty; empty where there is none (a quantity the crystal system fixes,
// or no degree of freedom left).
using Su = std::optional<long double>;

// Cu-Kα, the wavelength the figures of merit use unless the user picks another.
inline constexpr long double kDefaultWavelength = 1.54178L;

enum class DetailsFit { Q, TwoTheta };

struct DetailsOptions {
    Centring lattice = Centring::P;
    long double wavelength = kDefaultWavelength;  // Å
    DetailsFit fit = DetailsFit::Q;
    bool zeroShift = false;  // refine the zero of the 2θ scale (implies the fit on 2θ)
};

// The seven quantities of a cell in panel row order (a, b, c, α, β, γ, V; angles in
// degrees) with their s.u. An angle the crystal system fixes holds its exact value.
struct CellWithSu {
    std::array<long double, 7> value{};
    std::array<Su, 7> su{};
    std::array<bool, 7> fixed{};  // fixed by the crystal system: written without decimals
};

// One included observation, in table order.
struct ObservationDetails {
    int row = 0;  // table row
    int h = 0, k = 0, l = 0;
    long double dObs = 0, dCalc = 0;
    long double qObs = 0, qCalc = 0;
    std::optional<long double> twoThetaObs, twoThetaCalc;  // degrees, at the chosen λ
    std::optional<long double> leverage, studentized, cook;
    bool outlier = false;  // |studentized| > 3
    bool absent = false;   // systematically absent under the chosen centring
};

// de Wolff's M(n).
struct FigureM {
    int n = 0;
    std::optional<long double> value;
    long double qN = 0;                  // Q of the n-th line
    long double meanAbsDq = 0;           // mean |Qobs − Qcalc| over the n lines
    std::optional<int> nCalc;            // distinct calculated Q up to qN
    std::optional<DetailsMessage> note;  // why there is no value, when it is not ε = 0
};

// Smith and Snyder's F(n).
struct FigureF {
    int n = 0;
    std::optional<long double> value;
    std::optional<long double> meanAbsD2Theta;  // degrees
    std::optional<int> nPoss;
    std::optional<DetailsMessage> note;
};

struct FiguresOfMerit {
    Centring lattice = Centring::P;
    long double wavelength = kDefaultWavelength;
    // The fit whose positions the figures are computed from: its calculated Q, and for a
    // refined zero shift its corrected observations.
    DetailsFit fit = DetailsFit::Q;
    bool zeroRefined = false;
    FigureM m;
    FigureF f;
};

// One reflection of the table as the fit the details show sees it: the 2θ fit when one was
// made, else the Q fit. With a refined zero shift the observation is the corrected one
// (2θobs − zero, and its d and Q), so that every column of a row follows from the same
// numbers. A reflection excluded from the run did not take part: its residuals are the
// fit's prediction, without regression diagnostics.
struct FitReflection {
    int row = 0;  // table row
    int h = 0, k = 0, l = 0;
    bool excluded = false;
    std::optional<long double> dObs, qObs, twoThetaObs;  // the observation (corrected)
    std::optional<long double> dCalc, qCalc, twoThetaCalc;
    std::optional<long double> leverage, studentized, cook;
    bool outlier = false;      // |studentized| > 3
    bool influential = false;  // Cook's distance > 1 or leverage > 2P/N
    bool absent = false;       // systematically absent under the chosen centring
};

// One included observation under the fit on 2θ, in table order.
struct TwoThetaObservation {
    long double residual = 0;  // 2θobs − (2θcalc + zero), degrees
    // The regression diagnostics of the fit on 2θ, as for the Q fit with the rows of the
    // Jacobian in place of the design rows.
    std::optional<long double> leverage, studentized, cook;
    bool outlier = false;  // |studentized| > 3
};

// The fit on 2θ.
struct TwoThetaFit {
    bool zeroRefined = false;
    long double zero = 0;  // degrees; the corrected angle is 2θobs − zero
    Su zeroSu;
    std::vector<long double> coefficients, coefficientSu;  // x1..xP
    CellWithSu reciprocal, direct;
    std::vector<long double> qCalc;  // aᵢᵀx of each included observation, in table order
    std::vector<long double> excludedQCalc;  // aᵢᵀx of each of RefinementDetails::excluded
    long double sumSq = 0;                   // Σ (2θobs − 2θcalc)², degrees²
    int iterations = 0;
    // Covariance of x1..xP, then the zero when refined: s²·(JᵀJ)⁻¹ at the minimum.
    std::vector<std::vector<long double>> covariance;
    std::vector<TwoThetaObservation> observations;
};

struct RefinementDetails {
    int system = kNoSystem;
    int n = 0, p = 0;
    long double residual = 0;  // R = Σ (Qobs − Qcalc)² with Qcalc = aᵢᵀx
    // Covariance of the coefficients of the Q fit, P × P; empty when N = P.
    std::vector<std::vector<long double>> covariance;
    CellWithSu reciprocal, direct;              // of the Q fit; zeros when the metric is no cell
    std::optional<DetailsMessage> cellRefusal;  // the fitted metric is not positive definite
    std::vector<ObservationDetails> observations;
    // The rows excluded from the run whose d and indices are numbers, in table order, with
    // the Q fit's prediction (no regression diagnostics).
    std::vector<ObservationDetails> excluded;
    // The figures of merit of the fit shown: the 2θ fit when made, else the Q fit.
    FiguresOfMerit merit;
    // Every reflection of `observations` and `excluded`, in table order, under the fit
    // shown; the included lines the centring forbids; whether N − P ≤ 2 leaves the
    // regression diagnostics of that fit little to say.
    std::vector<FitReflection> reflections;
    int absentCount = 0;
    bool fewDegreesOfFreedom = false;
    std::optional<TwoThetaFit> twoTheta;  // when asked for and made
    // Why the fit on 2θ that was asked for could not be made (the rest is still filled).
    std::optional<DetailsMessage> twoThetaRefusal;
};

// A fitted cell is refused beyond these: no powder pattern determines a longer axis, and
// a zero shift of more than a few degrees means misindexed lines or a wrong wavelength.
inline constexpr long double kMaxCellLength = 1e4L;  // Å
inline constexpr long double kMaxZeroShift = 5;      // degrees 2θ

// The details of the run that `state` holds (state.resultValid: a completed Execute).
RefinementDetails ComputeRefinementDetails(const CalculationState& state,
                                           const DetailsOptions& options);

// The value in the notation of journals and CIF: "5.43118(5)", "440(30)"; a fixed angle as
// its exact value without decimals ("90"), a value without s.u. (or with 0) to five
// decimals ("2.00000").
std::string SuText(long double value, const Su& su, bool fixed = false);

// The same for row r (0..6) of a cell.
inline std::string SuText(const CellWithSu& cell, int r) {
    return SuText(cell.value[static_cast<std::size_t>(r)], cell.su[static_cast<std::size_t>(r)],
                  cell.fixed[static_cast<std::size_t>(r)]);
}

// "M(7) = 45.2" and "F(7) = 30.1 (0.0123, 19)"; empty when the figure has no value.
std::string MeritText(const FigureM& m);
std::string MeritText(const FigureF& f);

}  // namespace dorvalix
