#include "hkl_table.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "crystal_system.h"
#include "errors.h"
#include "hkl_text.h"
#include "numtext.h"

namespace dorvalix {

const Text kSetCellConstantText = {"Set Cell Constant", "格子定数を設定してください"};
const Text kSetHklRangeText = {"Set hkl range ", "指数範囲を設定してください"};
const Text kWavelengthNotPositiveText = {"The X-ray wavelength must be greater than 0",
                                         "X線の波長には0より大きい値を入れてください"};
const Text kMinimumDNotPositiveText = {"The minimum d-value must be greater than 0",
                                       "最小ｄ値には0より大きい値を入れてください"};
const Text kRangeTooLargeText = {
    "The hkl range holds more than 50,000,000 indices: set a larger minimum d-value",
    "指数範囲が5000万組を超えます。最小ｄ値を大きくしてください"};
const Text kTooManyReflectionsText = {
    "The table would hold more than 5,000,000 reflections: set a larger minimum d-value",
    "反射の数が500万を超えます。最小ｄ値を大きくしてください"};

HklRefusal CheckWavelength(long double wavelength) {
    if (wavelength > 0 && std::isfinite(wavelength)) return std::nullopt;
    return kWavelengthNotPositiveText;
}

HklRefusal CheckMinimumD(long double d_min) {
    if (d_min > 0 && std::isfinite(d_min)) return std::nullopt;
    return kMinimumDNotPositiveText;
}

// Each wavelength is the extended value nearest to the decimal.
const std::array<WavelengthPreset, 8> kWavelengthPresets = {{
    {"Cu-Ka", 1.54178L},
    {"Cu-Ka1", 1.5405L},
    {"Fe-Ka", 1.93733L},
    {"Fe-Ka1", 1.93597L},
    {"Cr-Ka", 2.29099L},
    {"Cr-Ka1", 2.28962L},
    {"Mo-Ka", 0.710678L},
    {"Mo-Ka1", 0.70926L},
}};

const WavelengthPreset* FindWavelengthPreset(std::string_view name) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (const WavelengthPreset& preset : kWavelengthPresets) {
        const std::string_view candidate = preset.name;
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lower(candidate[i]) == lower(name[i]);
        if (same) return &preset;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Cell and metric

void StoreCellValue(HklCell& cell, int row, long double value) {
    const long double radians = value * kHklPi / 180;
    switch (row) {
        case 0:
            cell.a = value;
            break;
        case 1:
            cell.b = value;
            break;
        case 2:
            cell.c = value;
            break;
        case 3:
            cell.alpha = radians;
            break;
        case 4:
            cell.beta = radians;
            break;
        case 5:
            cell.gamma = radians;
            break;
        default:
            break;
    }
}

HklCell CellFromDegrees(long double a, long double b, long double c, long double alpha,
                        long double beta, long double gamma) {
    HklCell cell;
    const long double values[6] = {a, b, c, alpha, beta, gamma};
    for (int row = 0; row < 6; ++row)
        StoreCellValue(cell, row, values[row]);
    return cell;
}

void ReadCellTexts(const std::array<std::string, 6>& texts, HklCell& cell) {
    for (int row = 0; row < 6; ++row)
        StoreCellValue(cell, row, ParseReal(texts[static_cast<std::size_t>(row)]));
}

CellMetric ComputeCellMetric(const HklCell& cell) {
    ClearFloatFaults();
    const long double a = cell.a, b = cell.b, c = cell.c;
    const long double sa = std::sin(cell.alpha), sb = std::sin(cell.beta),
                      sg = std::sin(cell.gamma);
    const long double ca = std::cos(cell.alpha), cb = std::cos(cell.beta),
                      cg = std::cos(cell.gamma);
    CellMetric m;
    const long double pa = sa * (b * c), pb = sb * (c * a), pc = sg * (a * b);
    m.s_hh = pa * pa;
    m.s_kk = pb * pb;
    m.s_ll = pc * pc;
    m.s_hk = (ca * cb - cg) * a * b * c * c;
    m.s_kl = (cb * cg - ca) * a * a * b * c;
    m.s_hl = (cg * ca - cb) * a * b * b * c;
    const long double radicand = 1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg;
    // Angles that form no cell: the square root of a negative number.
    if (radicand < 0) throw FloatFault(FloatFault::Kind::InvalidOperation);
    m.v = a * b * c * std::sqrt(radicand);
    CheckFloatFaults();
    return m;
}

namespace {

// d from S, with the faults the arithmetic would raise: 1 ÷ 0, the square root of a
// negative number, a sum or quotient beyond the range of the type.
inline long double DFromS(long double v, long double s) {
    if (!(s > 0) || !(s <= std::numeric_limits<long double>::max())) {
        if (s == 0) throw FloatFault(FloatFault::Kind::DivideByZero);
        if (s < 0) throw FloatFault(FloatFault::Kind::InvalidOperation);
        throw FloatFault(FloatFault::Kind::Overflow);  // ∞, or ∞ − ∞ after an overflow
    }
    const long double d = v * std::sqrt(1 / s);
    if (!std::isfinite(d)) throw FloatFault(FloatFault::Kind::Overflow);
    return d;
}

}  // namespace

long double SpacingD(const CellMetric& m, int h, int k, int l) {
    const long double x = h, y = k, z = l;
    const long double s = x * m.s_hh * x + y * m.s_kk * y + z * m.s_ll * z + 2 * m.s_hk * x * y +
                          2 * m.s_kl * y * z + 2 * m.s_hl * x * z;
    return DFromS(m.v, s);
}

// ---------------------------------------------------------------------------------------
// Index range

long double IndexTripleCount(const IndexRange& r) {
    auto axis = [](int lo, int hi) { return hi >= lo ? static_cast<long double>(hi) - lo + 1 : 0; };
    return axis(r.hmin, r.hmax) * axis(r.kmin, r.kmax) * axis(r.lmin, r.lmax);
}

HklRefusal ComputeIndexRange(const HklCell& cell, long double d_min, IndexRange& range) {
    if (cell.a == 0) return kSetCellConstantText;
    if (auto refusal = CheckMinimumD(d_min)) return refusal;
    const long double hmax = std::trunc(cell.a / d_min) + 1;
    const long double kmax = std::trunc(cell.b / d_min) + 1;
    const long double lmax = std::trunc(cell.c / d_min) + 1;
    // Counted on the magnitudes, so that no bound is too large for an integer.
    const long double count =
        (2 * std::fabs(hmax) + 1) * (2 * std::fabs(kmax) + 1) * (2 * std::fabs(lmax) + 1);
    if (!(count <= kMaxIndexTriples)) return kRangeTooLargeText;
    range.hmax = static_cast<int>(hmax);
    range.kmax = static_cast<int>(kmax);
    range.lmax = static_cast<int>(lmax);
    range.hmin = -range.hmax;
    range.kmin = -range.kmax;
    range.lmin = -range.lmax;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------
// Table

int HklGridRowCount(std::size_t n) {
    return n + 1 < 30 ? 30 : static_cast<int>(n + 1);
}

bool InAsymmetricUnit(int system, int h, int k, int l) {
    switch (system) {
        case kCubic:
            return (h > 0 && k > 0 && l >= 0 && k <= h && l <= k) || (h == 0 && k == 0 && l > 0);
        case kHexagonal:
        case kTetragonal:
            return (h > 0 && k >= 0 && l >= 0 && k <= h) || (h == 0 && k == 0 && l > 0);
        case kOrthorhombic:
            return h >= 0 && k >= 0 && l >= 0;
        case kMonoclinicBeta:
            return (k >= 0 && l > 0) || (h >= 0 && k > 0 && l == 0) || (h > 0 && k == 0 && l == 0);
        case kTriclinic:
            return h > 0 || (h == 0 && k > 0) || (h == 0 && k == 0 && l > 0);
        case kMonoclinicGamma:
            return (k > 0 && l >= 0) || (h > 0 && k == 0 && l >= 0) || (h == 0 && k == 0 && l > 0);
        case kTrigonal:
            return h > 0 && k >= 0 && k <= h && l <= k && (k != 0 || (h >= -l && h >= l));
        default:
            return true;
    }
}

double ArcSinSafe(double x) {
    const long double xl = x;
    const long double rest = 1 - xl * xl;
    if (rest == 0) return static_cast<double>(xl * std::numbers::pi_v<long double> / 2);
    if (!(rest > 0)) return 999;  // |x| > 1, or not a number
    return static_cast<double>(std::atan(xl / std::sqrt(rest)));
}

namespace {

// 2θ in degrees from θ in radians: θ × 180 ÷ 3.14159, doubled.
inline long double TwoThetaFromArcSine(double theta) {
    return static_cast<long double>(theta) * 180 / 3.14159L * 2;
}

// Whether a 2θ lies so close to a half hundredth (where its text rounds the other way) or
// to 10 or 100 (where its leading blanks change) that an arcsine differing in the last bit
// of a double could change its text.
inline bool NearTextBoundary(long double two_theta) {
    constexpr long double kMargin = 1e-9L;
    const long double hundredths = two_theta * 100;
    const long double from_half = hundredths - std::floor(hundredths) - 0.5L;
    return std::fabs(from_half) < kMargin || std::fabs(two_theta - 10) < kMargin ||
           std::fabs(two_theta - 100) < kMargin;
}

}  // namespace

long double TwoThetaDegrees(long double wavelength, long double d) {
    return TwoThetaFromArcSine(ArcSinSafe(static_cast<double>(wavelength / (2 * d))));
}

HklRefusal GenerateHklTable(const HklCell& cell, const IndexRange& range, const HklParameters& p,
                            HklTable& table) {
    table.clear();
    if (auto refusal = CheckWavelength(p.wavelength)) return refusal;
    if (auto refusal = CheckMinimumD(p.d_min)) return refusal;
    if (!(IndexTripleCount(range) <= kMaxIndexTriples)) return kRangeTooLargeText;
    const CellMetric m = ComputeCellMetric(cell);
    const bool all = p.range_choice == "all";
    const bool asym = p.range_choice == "asym";
    // With P every triple stays, without a test on its indices.
    const bool centred = p.lattice != Centring::P;
    if (!all && !asym) return std::nullopt;

    // A d that should equal the minimum comes out a hair below it when 90° is not exactly
    // a right angle (3.141592 ÷ 2 radians); such a reflection is listed.
    const long double d_limit = p.d_min * (1 - 1e-9L);
    const long double half_lambda = p.wavelength / 2;
    // S beyond s_far means d < d_limit by far more than any rounding: S ≥ (V ÷ d_limit)²
    // is the limit itself.
    const long double s_far = (m.v / d_limit) * (m.v / d_limit) * (1 + 1e-12L);
    const long double s_max = std::numeric_limits<long double>::max();
    if (all) {
        // The reciprocal lattice has 1 ÷ V points per unit volume: about 4π ÷ 3 × V ÷ d³
        // of them lie within 1 ÷ d of the origin.
        const long double d = std::max(d_limit, half_lambda);
        const long double expected = 4.18879L * std::fabs(m.v) / (d * d * d);
        const long double bound = std::min(expected * 1.02L + 64, IndexTripleCount(range));
        table.reserve(
            static_cast<std::size_t>(std::min(bound, static_cast<long double>(kMaxReflections))));
    }
    for (int h = range.hmin; h <= range.hmax; ++h) {
        const long double x = h;
        const long double s_h = x * m.s_hh * x;
        const long double s_hk_h = 2 * m.s_hk * x;
        const long double s_hl_h = 2 * m.s_hl * x;
        for (int k = range.kmin; k <= range.kmax; ++k) {
            const long double y = k;
            const long double s_hk_part = s_h + y * m.s_kk * y;
            const long double s_hk_term = s_hk_h * y;
            const long double s_kl_k = 2 * m.s_kl * y;
            for (int l = range.lmin; l <= range.lmax; ++l) {
                if (h == 0 && k == 0 && l == 0) continue;
                if (asym && !InAsymmetricUnit(p.system, h, k, l)) continue;
                const long double z = l;
                // Summed in the order h, k, l, hk, kl, hl, as SpacingD does.
                const long double s =
                    s_hk_part + z * m.s_ll * z + s_hk_term + s_kl_k * z + s_hl_h * z;
                // Far beyond the limit the division and the root are not needed.
                if (s > s_far && s <= s_max) continue;
                const long double d = DFromS(m.v, s);
                if (d < d_limit) continue;
                if (d <= half_lambda) continue;  // no diffraction angle
                // Tested last: most triples are gone by now, and with P nothing is tested.
                if (centred && !AllowedByCentring(p.lattice, h, k, l)) continue;
                if (table.size() == kMaxReflections) {
                    table.clear();
                    table.shrink_to_fit();
                    return kTooManyReflectionsText;
                }
                const double sine = static_cast<double>(p.wavelength / (2 * d));
                long double two_theta = TwoThetaFromArcSine(std::asin(sine));
                if (NearTextBoundary(two_theta)) two_theta = TwoThetaFromArcSine(ArcSinSafe(sine));
                table.push_back(MakeReflection(h, k, l, d, two_theta));
            }
        }
    }
    return std::nullopt;
}

HklRefusal GenerateHklTable(const std::array<std::string, 6>& cell_texts,
                            const HklParameters& parameters, HklState& state) {
    state.table.clear();
    HklRefusal refusal;
    if (cell_texts[0].empty()) {
        refusal = kSetCellConstantText;
    } else if (state.range.hmax == 0) {
        refusal = kSetHklRangeText;
    } else {
        ReadCellTexts(cell_texts, state.cell);
        refusal = GenerateHklTable(state.cell, state.range, parameters, state.table);
    }
    state.grid_rows = HklGridRowCount(state.table.size());
    return refusal;
}

}  // namespace dorvalix
