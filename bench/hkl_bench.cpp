// The hkl table of a large triclinic cell: a = 25.1, b = 27.3, c = 30.2 Å, α = 85°, β = 95°,
// γ = 100°, Mo-Ka, minimum d 0.44 Å, every reflection ("all"): about 2.1 million index
// triples and 995,000 reflections.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "crystal_system.h"
#include "hkl_table.h"
#include "hkl_text.h"

namespace {

using namespace dorvalix;

constexpr long double kDMin = 0.44L;

const HklCell& LargeCell() {
    static const HklCell cell = CellFromDegrees(25.1L, 27.3L, 30.2L, 85, 95, 100);
    return cell;
}

HklParameters LargeParameters() {
    return HklParameters{kTriclinic, "all", FindWavelengthPreset("Mo-Ka")->wavelength, kDMin};
}

IndexRange LargeRange() {
    IndexRange range;
    if (ComputeIndexRange(LargeCell(), kDMin, range)) throw std::runtime_error("range refused");
    return range;
}

const HklTable& GeneratedTable() {
    static const HklTable table = [] {
        HklTable t;
        if (GenerateHklTable(LargeCell(), LargeRange(), LargeParameters(), t))
            throw std::runtime_error("table refused");
        return t;
    }();
    return table;
}

// The generation: every row holds the rounded d and 2θ its texts are written from.
void BM_Generate(benchmark::State& s) {
    const IndexRange range = LargeRange();
    HklTable table;
    for (auto _ : s) {
        if (GenerateHklTable(LargeCell(), range, LargeParameters(), table)) {
            s.SkipWithError("refused");
        }
        benchmark::DoNotOptimize(table.data());
    }
    s.counters["reflections"] = static_cast<double>(table.size());
}
BENCHMARK(BM_Generate)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// The generation followed by every cell text of every row.
void BM_GenerateWithTexts(benchmark::State& s) {
    const IndexRange range = LargeRange();
    HklTable table;
    std::vector<char> lines;
    for (auto _ : s) {
        if (GenerateHklTable(LargeCell(), range, LargeParameters(), table)) {
            s.SkipWithError("refused");
        }
        lines.resize(table.size() * kMaxHklLineLength);
        char* out = lines.data();
        for (const HklReflection& r : table)
            out = WriteHklLine(out, r);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_GenerateWithTexts)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// The sort of the table in generation order (the copy of the table is not timed).
void BM_Sort(benchmark::State& s) {
    HklTable table;
    for (auto _ : s) {
        s.PauseTiming();
        table = GeneratedTable();
        s.ResumeTiming();
        SortHklTable(table);
        benchmark::DoNotOptimize(table.data());
    }
}
BENCHMARK(BM_Sort)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// The clipboard text of the sorted table.
void BM_CopyText(benchmark::State& s) {
    HklTable table = GeneratedTable();
    SortHklTable(table);
    const int rows = HklGridRowCount(table.size());
    for (auto _ : s) {
        std::string text = CopyHklTable(table, rows);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_CopyText)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
