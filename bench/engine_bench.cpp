// SPDX-License-Identifier: GPL-3.0-or-later
// One complete Execute (normalise, sort, check, parse, fit, cells, residuals, deviations,
// panel) on 300 triclinic observations.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "calculation.h"
#include "numtext.h"

namespace {

using namespace dorvalix;

// 300 reflections of a triclinic cell with d typed to 5 decimals, in no particular order.
ObservationTable TypedTriclinicTable() {
    ObservationTable table;
    // Reciprocal metric of a = 7.1, b = 8.2, c = 9.3 Å, α = 80°, β = 95°, γ = 105°.
    const long double g[6] = {0.0211L, 0.0161L, 0.0120L, 0.0012L, -0.0009L, 0.0031L};
    std::mt19937 rng(300);
    int row = 0;
    while (row < kMaxObservations) {
        const int h = static_cast<int>(rng() % 9) - 4, k = static_cast<int>(rng() % 9) - 4,
                  l = static_cast<int>(rng() % 9) - 4;
        if (h == 0 && k == 0 && l == 0) continue;
        const long double q = h * h * g[0] + k * k * g[1] + l * l * g[2] + 2 * k * l * g[3] +
                              2 * l * h * g[4] + 2 * h * k * g[5];
        if (q <= 0) continue;
        const long double noise = 1 + 1e-5L * (static_cast<int>(rng() % 200) - 100) / 100;
        ++row;
        table.Cell(0, row) = FormatFixed(noise / std::sqrt(q), 5, 15);
        table.Cell(1, row) = IntText(h);
        table.Cell(2, row) = IntText(k);
        table.Cell(3, row) = IntText(l);
    }
    return table;
}

// The common case: Execute again on a table that the previous run left sorted.
void BM_ExecuteRepeated(benchmark::State& s) {
    CalculationState state;
    state.table = TypedTriclinicTable();
    state.crystalSystem = kTriclinic;
    if (!RunCalculation(state, Lang::English).completed) s.SkipWithError("run failed");
    for (auto _ : s) {
        RunReport report = RunCalculation(state, Lang::English);
        benchmark::DoNotOptimize(report);
    }
}
BENCHMARK(BM_ExecuteRepeated);

// Execute on the table as typed (unsorted, not normalised); the copy of the typed table
// into the state is part of each iteration.
void BM_ExecuteFromTypedTable(benchmark::State& s) {
    const ObservationTable typed = TypedTriclinicTable();
    CalculationState state;
    state.crystalSystem = kTriclinic;
    for (auto _ : s) {
        state.table.rows = typed.rows;
        RunReport report = RunCalculation(state, Lang::English);
        if (!report.completed) s.SkipWithError("run failed");
        benchmark::DoNotOptimize(report);
    }
}
BENCHMARK(BM_ExecuteFromTypedTable);

}  // namespace

BENCHMARK_MAIN();
