// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation.h"

#include <cmath>

#include "cell.h"
#include "deviations.h"
#include "errors.h"
#include "numtext.h"

namespace dorvalix {

long double& CellParameters::operator[](int row) {
    long double* fields[7] = {&a, &b, &c, &alpha, &beta, &gamma, &volume};
    return *fields[row];
}

long double CellParameters::operator[](int row) const {
    const long double fields[7] = {a, b, c, alpha, beta, gamma, volume};
    return fields[row];
}

bool CheckIndexCells(ObservationTable& table, DValueCache* cache) {
    int last = 0;
    for (int r = kMaxObservations; r >= 1; --r) {
        if (!Trim(table.Cell(0, r)).empty()) {
            last = r;
            break;
        }
    }
    // A hole above the last d value is deleted: the rows below move up whole, with their
    // exclusion markers, and the last row is emptied.
    for (int r = 1; r < last; ++r) {
        if (!IsHoleText(table.Cell(0, r))) continue;
        for (int c = r; c < last; ++c) {
            table.rows[static_cast<std::size_t>(c)] =
                std::move(table.rows[static_cast<std::size_t>(c + 1)]);
            if (cache != nullptr) cache->MoveRow(c + 1, c);
        }
        table.ClearRow(last);
    }
    table.filled = 0;
    table.excluded = 0;
    for (int r = 1; r <= last; ++r) {
        if (table.Cell(0, r).empty()) continue;
        ++table.filled;
        if (table.IsExcluded(r)) ++table.excluded;
        for (int c = 1; c <= 3; ++c) {
            if (table.Cell(c, r).empty()) return false;
        }
    }
    table.included = table.filled - table.excluded;
    return true;
}

bool ParseObservations(ObservationTable& table, ParseFailure& failed, const DValueCache* cache) {
    ParsedObservations& obs = table.parsed;
    int i = 0;
    obs.count = 0;
    auto fail = [&](int col, int row, const Text& message) {
        failed = {{col, row}, &message};
        return false;
    };
    for (int r = 1; r <= static_cast<int>(table.filled); ++r) {
        if (table.IsExcluded(r)) continue;
        ++i;
        long double d;
        if (cache != nullptr && cache->known[static_cast<std::size_t>(r)]) {
            d = cache->value[static_cast<std::size_t>(r)];
        } else if (!TryParseReal(Trim(table.Cell(0, r)), d)) {
            return fail(0, r, run_text::kSetFiguresForD);
        }
        // A negative d would be fitted as its square and report d_obs − d_calc as about −2d.
        if (d < 0) return fail(0, r, run_text::kDNotPositive);
        obs.d[static_cast<std::size_t>(i)] = d;
        std::int32_t* targets[3] = {&obs.h[static_cast<std::size_t>(i)],
                                    &obs.k[static_cast<std::size_t>(i)],
                                    &obs.l[static_cast<std::size_t>(i)]};
        for (int c = 1; c <= 3; ++c) {
            std::int32_t& v = *targets[c - 1];
            if (!TryParseInt(table.Cell(c, r), v)) return fail(c, r, run_text::kSetIntegerForHkl);
            if (v > kMaxIndexMagnitude || v < -kMaxIndexMagnitude) {
                return fail(c, r, run_text::kIndexTooLarge);
            }
        }
        obs.count = i;
    }
    return true;
}

void WriteQDifference(std::string& cell, long double q) {
    char buf[kFixedTextCapacity + 2];
    std::size_t len;
    if (q >= 0) {
        buf[0] = ' ';
        buf[1] = '+';
        len = 2 + FormatFixedTo(q, 5, 8, buf + 2);
    } else {
        buf[0] = ' ';
        len = 1 + FormatFixedTo(q, 5, 8, buf + 1);
        if (std::string_view(buf, len) == " 0.00000") {
            cell = " -0.00000";
            return;
        }
    }
    cell.assign(buf, len);
}

std::string QDifferenceText(long double q) {
    std::string cell;
    WriteQDifference(cell, q);
    return cell;
}

void ComputeResiduals(CalculationState& state) {
    ObservationTable& table = state.table;
    const ParsedObservations& obs = table.parsed;
    RefinementResult& res = state.result;
    const CellParameters& rc = res.reciprocal;
    const long double ca = Cos0(rc.alpha), cb = Cos0(rc.beta), cg = Cos0(rc.gamma);
    // Qo − Qc, d_calc and d_obs − d_calc of included observation i.
    auto evaluate = [&](int i) {
        const long double h = obs.h[static_cast<std::size_t>(i)];
        const long double k = obs.k[static_cast<std::size_t>(i)];
        const long double l = obs.l[static_cast<std::size_t>(i)];
        const long double ha = h * rc.a, kb = k * rc.b, lc = l * rc.c;
        // Qc from the reciprocal parameters, with the fixed angles of the system.
        const long double qc = ha * ha + kb * kb + lc * lc + cg * (2 * rc.a * rc.b * h * k) +
                               ca * (2 * rc.b * rc.c * k * l) + cb * (2 * rc.c * rc.a * l * h);
        res.dCalc[static_cast<std::size_t>(i)] = 1 / std::sqrt(qc);
        res.dDiff[static_cast<std::size_t>(i)] =
            obs.d[static_cast<std::size_t>(i)] - res.dCalc[static_cast<std::size_t>(i)];
        return state.work.qo[static_cast<std::size_t>(i)] - qc;
    };
    // All rows at once with one fault test; after a fault the rows are done again one by
    // one, so that those before the failing row show their new texts and the rest do not.
    std::array<long double, kTableRows> q;
    long double sum = 0;
    for (int i = 1; i <= obs.count; ++i) {
        q[static_cast<std::size_t>(i)] = evaluate(i);
        sum += q[static_cast<std::size_t>(i)] * q[static_cast<std::size_t>(i)];
    }
    const bool rowByRow = FloatFaultRaised();
    if (rowByRow) {
        ClearFloatFaults();
        sum = 0;
    }
    int i = 0;
    for (int r = 1; r <= static_cast<int>(table.filled); ++r) {
        if (table.IsExcluded(r)) continue;
        ++i;
        if (rowByRow) {
            q[static_cast<std::size_t>(i)] = evaluate(i);
            sum += q[static_cast<std::size_t>(i)] * q[static_cast<std::size_t>(i)];
            CheckFloatFaults();
        }
        res.qDiff[static_cast<std::size_t>(i)] = q[static_cast<std::size_t>(i)];
        WriteQDifference(table.Cell(4, r), q[static_cast<std::size_t>(i)]);
    }
    res.residual = sum;
    state.panel.residual = ResidualText(sum);
}

namespace {

void RecordRunInput(CalculationState& state) {
    RunInput& in = state.lastRun;
    for (int r = 1; r <= kMaxObservations; ++r) {
        for (int c = 0; c < 4; ++c) {
            // Rows a run left unchanged need no copy.
            std::string& kept = in.cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            if (!SameText(kept, state.table.Cell(c, r))) kept = state.table.Cell(c, r);
        }
        in.excluded[static_cast<std::size_t>(r)] = state.table.IsExcluded(r);
    }
    in.crystalSystem = state.crystalSystem;
    in.shown = true;
}

void Show(RunReport& report, const Text& text, Lang lang) {
    report.message = &text;
    report.messageText = text.In(lang);
}

}  // namespace

void ExecuteRun(CalculationState& state, Lang lang, RunReport& report) {
    ObservationTable& table = state.table;
    DValueCache& cache = state.dValues;
    if (auto current = NormalizeCells(table, &cache)) report.currentCell = current;
    SortRows(table, &cache);
    const bool indicesComplete = CheckIndexCells(table, &cache);
    if (!indicesComplete) Show(report, run_text::kSetIndexData, lang);
    ClearResultsPanel(state.panel);
    state.lastRun.shown = false;
    for (int r = 1; r <= static_cast<int>(table.filled); ++r) {
        if (!table.IsExcluded(r)) table.Cell(4, r).clear();
    }
    if (!indicesComplete) return;

    const int code = state.crystalSystem;
    if (table.filled == 0) return Show(report, run_text::kSetInputData, lang);
    if (!IsCrystalSystem(code)) return Show(report, run_text::kSetCrystalSystem, lang);
    const int p = ParameterCount(code);
    if (table.included <= static_cast<std::uint32_t>(p)) {
        return Show(report, run_text::kNotEnoughData, lang);
    }

    ParseFailure failed;
    state.parseSucceeded = ParseObservations(table, failed, &cache);
    if (!state.parseSucceeded) {
        report.currentCell = failed.cell;
        return Show(report, *failed.message, lang);
    }

    RefinementResult& res = state.result;
    LeastSquaresWork& work = state.work;
    const int n = table.parsed.count;
    res.n = n;
    res.p = p;
    ClearFloatFaults();
    BuildDesignMatrix(work, table.parsed, code);
    ComputeObservedQ(work, table.parsed);
    BuildNormalMatrix(work, n, p, res.m);
    if (!InvertNormalMatrix(res.m, p)) return Show(report, run_text::kTooSmallPivot, lang);
    ComputeRightHandSide(work, n, p);
    SolveCoefficients(res.m, work.delta, p, res.x);
    ComputeReciprocalCell(code, res.x, res.reciprocal);
    ComputeDirectCell(res.reciprocal, res.direct);
    ComputeResiduals(state);
    ComputeCoefficientDeviations(res);
    ComputeCellDeviations(res, code);
    FillResultsPanel(state.panel, res, code);
    RecordRunInput(state);
    state.resultValid = true;
    report.completed = true;
}

bool ResultDescribesTable(const CalculationState& state) {
    if (!state.resultValid || !state.lastRun.shown ||
        state.crystalSystem != state.lastRun.crystalSystem)
        return false;
    for (int r = 1; r <= kMaxObservations; ++r) {
        if (state.table.IsExcluded(r) != state.lastRun.excluded[static_cast<std::size_t>(r)])
            return false;
        for (int c = 0; c < 4; ++c) {
            if (!SameText(state.table.Cell(c, r),
                          state.lastRun
                              .cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])) {
                return false;
            }
        }
    }
    return true;
}

RunReport RunCalculation(CalculationState& state, Lang lang) {
    RunReport report;
    try {
        ExecuteRun(state, lang, report);
    } catch (const DorvalixError& e) {
        report.faultText = e.what();
    }
    return report;
}

}  // namespace dorvalix
