// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_table.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>

#include "crystal_system.h"
#include "errors.h"
#include "hkl_generation.h"
#include "hkl_parallel.h"
#include "hkl_text.h"
#include "numtext.h"

namespace dorvalix {

const Text kSetCellConstantText = {"Set Cell Constant", "格子定数を設定してください"};
const Text kSetHklRangeText = {"Set hkl range ", "指数範囲を設定してください"};
const Text kWavelengthRangeText = {"The X-ray wavelength must be a number from 0.01 to 100 Å",
                                   "X線の波長には0.01から100 Åまでの数値を入れてください"};
const Text kMinimumDNotPositiveText = {"The minimum d-value must be greater than 0",
                                       "最小ｄ値には0より大きい値を入れてください"};
const Text kRangeTooLargeText = {
    "The hkl range holds more than 2,000,000,000 indices: set a larger minimum d-value",
    "指数範囲が20億組を超えます。最小ｄ値を大きくしてください"};
const Text kTooManyReflectionsText = {
    "The table would hold more than 20,000,000 reflections: set a larger minimum d-value",
    "反射の数が2000万を超えます。最小ｄ値を大きくしてください"};
const Text kToolTooManyReflectionsText = {
    "The table would hold more than 100,000,000 reflections: set a larger minimum d-value",
    "反射の数が1億を超えます。最小ｄ値を大きくしてください"};
const Text kTableExceedsMemoryText = {
    "The sorted table would need more than half of the memory this program may use: set a "
    "larger minimum d-value",
    "並べ替えた表にはこのプログラムが使えるメモリの半分以上が必要です。最小ｄ値を大きくしてくださ"
    "い"};

const HklLimit kWindowLimit = {kWindowMaxReflections, kTooManyReflectionsText};

HklLimit ToolLimit(std::uint64_t memory_bytes) {
    const std::uint64_t fits = memory_bytes / 2 / kToolBytesPerReflection;
    if (memory_bytes == 0 || fits >= kToolMaxReflections) {
        return {kToolMaxReflections, kToolTooManyReflectionsText};
    }
    return {static_cast<std::size_t>(fits), kTableExceedsMemoryText};
}

std::uint64_t PhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}
const Text kNotACellText = {
    "These cell constants describe no cell: a, b and c must be greater than 0, each angle "
    "between 0 and 180 degrees, and the volume greater than 0",
    "格子定数が単位格子になっていません。a, b, c は 0 より大きく、α, β, γ は 0° と 180° の間で、"
    "体積が 0 より大きくなるように入力してください"};

HklRefusal CheckWavelength(long double wavelength) {
    // NaN fails both comparisons, infinity the second.
    const auto lambda = static_cast<double>(wavelength);
    if (lambda >= kMinWavelength && lambda <= kMaxWavelength) return std::nullopt;
    return kWavelengthRangeText;
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
            cell.alpha_degrees = value;
            break;
        case 4:
            cell.beta = radians;
            cell.beta_degrees = value;
            break;
        case 5:
            cell.gamma = radians;
            cell.gamma_degrees = value;
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

HklRefusal CheckCell(const HklCell& cell) {
    auto positive = [](long double x) { return x > 0 && std::isfinite(x); };
    auto angle = [](long double degrees) { return degrees > 0 && degrees < 180; };
    const long double al = cell.alpha_degrees, be = cell.beta_degrees, ga = cell.gamma_degrees;
    if (!positive(cell.a) || !positive(cell.b) || !positive(cell.c) || !angle(al) || !angle(be) ||
        !angle(ga)) {
        return kNotACellText;
    }
    if (!(al + be + ga < 360 && al < be + ga && be < ga + al && ga < al + be)) {
        return kNotACellText;
    }
    const long double ca = std::cos(cell.alpha), cb = std::cos(cell.beta),
                      cg = std::cos(cell.gamma);
    if (!(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg > 0)) return kNotACellText;
    return std::nullopt;
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
    if (auto refusal = CheckCell(cell)) return refusal;
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

long double TwoThetaDegrees(long double wavelength, long double d) {
    return TwoThetaFromArcSine(ArcSinSafe(static_cast<double>(wavelength / (2 * d))));
}

namespace {

// Fills the table of a planned loop from its counts, every piece at its place; false when
// a piece gave other rows than counted (the table is then for the full loop to make).
bool FillPieces(const HklLoop& g, const std::vector<HklPiece>& pieces, const PieceCounts& counts,
                int threads, HklTable& table) {
    std::vector<std::size_t> offsets(pieces.size() + 1, 0);
    for (std::size_t i = 0; i < pieces.size(); ++i)
        offsets[i + 1] = offsets[i] + counts.counts[i];
    table.resize(counts.total);
    const std::size_t own = g.mirrored ? (pieces.size() + 1) / 2 : pieces.size();
    std::atomic<bool> mismatch{false};
    ForEachPiece(own, threads, [&](std::size_t i, int) {
        if (counts.counts[i] == 0 || mismatch) return;
        HklReflection* out = table.data() + offsets[i];
        HklReflection* const end = table.data() + offsets[i + 1];
        if (!GeneratePiece(g, pieces[i], out, end) || out != end) mismatch = true;
    });
    if (mismatch) return false;
    // The rest of a mirrored table is its first part backwards, indices negated.
    const std::size_t n = table.size(), made = offsets[own];
    RunOnThreads(made < n ? threads : 1, [&](int t) {
        const std::size_t end = made + PartBegin(n - made, threads, t + 1);
        for (std::size_t i = made + PartBegin(n - made, threads, t); i < end; ++i) {
            HklReflection r = table[n - 1 - i];
            r.h = -r.h;
            r.k = -r.k;
            r.l = -r.l;
            table[i] = r;
        }
    });
    return true;
}

}  // namespace

std::optional<std::size_t> CountHklReflections(const HklCell& cell, const IndexRange& range,
                                               const HklParameters& p, std::size_t stop_above,
                                               int threads) {
    if (CheckWavelength(p.wavelength) || CheckMinimumD(p.d_min) || CheckCell(cell)) return 0;
    const HklLoop g = MakeHklLoop(cell, range, p);
    if (!g.all && !g.asym) return 0;
    if (!g.planned) return std::nullopt;
    const std::optional<PieceCounts> counts =
        CountPieces(g, HklPieces(range), stop_above, HklThreadCount(threads));
    if (!counts) return std::nullopt;
    return counts->total;
}

HklRefusal CheckTableInput(const HklCell& cell, const IndexRange& range, const HklParameters& p) {
    if (auto refusal = CheckWavelength(p.wavelength)) return refusal;
    if (auto refusal = CheckMinimumD(p.d_min)) return refusal;
    if (!(IndexTripleCount(range) <= kMaxIndexTriples)) return kRangeTooLargeText;
    if (auto refusal = CheckCell(cell)) return refusal;
    return std::nullopt;
}

HklRefusal GenerateHklTable(const HklCell& cell, const IndexRange& range, const HklParameters& p,
                            HklTable& table, const HklLimit& limit, int threads) {
    HklTable().swap(table);  // the old rows' memory goes before the new rows are made
    if (auto refusal = CheckTableInput(cell, range, p)) return refusal;
    const HklLoop g = MakeHklLoop(cell, range, p);
    if (!g.all && !g.asym) return std::nullopt;
    threads = HklThreadCount(threads);
    if (g.planned) {
        const std::vector<HklPiece> pieces = HklPieces(range);
        if (const std::optional<PieceCounts> counts =
                CountPieces(g, pieces, limit.reflections, threads)) {
            if (counts->over) return limit.refusal;
            if (FillPieces(g, pieces, *counts, threads, table)) return std::nullopt;
            HklTable().swap(table);
        }
    }
    // A cell near the limits of the arithmetic: triple by triple, its faults where they
    // happen.
    if (!GenerateByFullLoop(g, limit.reflections, table)) return limit.refusal;
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
