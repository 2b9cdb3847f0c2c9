// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl table of a large triclinic cell: a = 25.1, b = 27.3, c = 30.2 Å, α = 85°, β = 95°,
// γ = 100°, Mo-Ka, minimum d 0.44 Å, every reflection ("all"): about 2.1 million index
// triples and 995,000 reflections; and of a P1 protein-sized cell, a = 100.1, b = 105.3,
// c = 120.2 Å, α = 88°, β = 92°, γ = 95°, Cu-Ka, minimum d 0.8 Å: 10.3 million reflections.
// Each step on one thread and on two (the argument), and the tool's whole work in-process.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "crystal_system.h"
#include "hkl_stream.h"
#include "hkl_table.h"
#include "hkl_text.h"

namespace {

using namespace dorvalix;

struct Table {
    HklCell cell;
    HklParameters parameters;
    IndexRange range;
};

Table MakeTable(const HklCell& cell, long double wavelength, long double d_min) {
    Table t{cell, HklParameters{kTriclinic, "all", wavelength, d_min}, {}};
    if (ComputeIndexRange(cell, d_min, t.range)) throw std::runtime_error("range refused");
    return t;
}

const Table& Large() {
    static const Table t =
        MakeTable(CellFromDegrees(25.1L, 27.3L, 30.2L, 85, 95, 100), 0.710678L, 0.44L);
    return t;
}

const Table& Protein() {
    static const Table t =
        MakeTable(CellFromDegrees(100.1L, 105.3L, 120.2L, 88, 92, 95), 1.54178L, 0.8L);
    return t;
}

const HklTable& GeneratedTable() {
    static const HklTable table = [] {
        HklTable t;
        if (GenerateHklTable(Large().cell, Large().range, Large().parameters, t))
            throw std::runtime_error("table refused");
        return t;
    }();
    return table;
}

// Counts the bytes of the text, as writing it to /dev/null would.
struct NullSink {
    std::size_t bytes = 0;
    HklTextSink Sink() {
        return [this](std::string_view text) { bytes += text.size(); };
    }
};

int Threads(const benchmark::State& s) {
    return static_cast<int>(s.range(0));
}

// The count from the index range alone, as a refusal needs it.
void BM_Count(benchmark::State& s) {
    const Table& t = Large();
    for (auto _ : s) {
        benchmark::DoNotOptimize(
            CountHklReflections(t.cell, t.range, t.parameters, kToolMaxReflections, Threads(s)));
    }
}
BENCHMARK(BM_Count)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The generation: every row holds the rounded d and 2θ its texts are written from.
void BM_Generate(benchmark::State& s) {
    const Table& t = Large();
    HklTable table;
    for (auto _ : s) {
        if (GenerateHklTable(t.cell, t.range, t.parameters, table, kWindowLimit, Threads(s)))
            s.SkipWithError("refused");
        benchmark::DoNotOptimize(table.data());
    }
    s.counters["reflections"] = static_cast<double>(table.size());
}
BENCHMARK(BM_Generate)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The sort of the table in generation order (the copy of the table is not timed).
void BM_Sort(benchmark::State& s) {
    HklTable table;
    for (auto _ : s) {
        s.PauseTiming();
        table = GeneratedTable();
        s.ResumeTiming();
        SortHklTable(table, {}, Threads(s));
        benchmark::DoNotOptimize(table.data());
    }
}
BENCHMARK(BM_Sort)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The clipboard text of the sorted table.
void BM_CopyText(benchmark::State& s) {
    HklTable table = GeneratedTable();
    SortHklTable(table);
    const int rows = HklGridRowCount(table.size());
    for (auto _ : s) {
        std::string text = CopyHklTable(table, rows, Threads(s));
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_CopyText)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// What `dorvalix-cli hkl ... --sort` does: generate, sort, write the lines.
void ToolSorted(benchmark::State& s, const Table& t) {
    for (auto _ : s) {
        HklTable table;
        NullSink sink;
        if (GenerateHklTable(t.cell, t.range, t.parameters, table, ToolLimit(PhysicalMemory()),
                             Threads(s))) {
            s.SkipWithError("refused");
        }
        WriteSortedHklLines(table, HklLineEnd::Lf, Threads(s), sink.Sink());
        benchmark::DoNotOptimize(sink.bytes);
    }
}
void BM_ToolSortedLarge(benchmark::State& s) {
    ToolSorted(s, Large());
}
BENCHMARK(BM_ToolSortedLarge)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
void BM_ToolSortedProtein(benchmark::State& s) {
    ToolSorted(s, Protein());
}
BENCHMARK(BM_ToolSortedProtein)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// What `dorvalix-cli hkl ...` does without --sort: the table streamed, never held.
void BM_ToolStreamedProtein(benchmark::State& s) {
    const Table& t = Protein();
    for (auto _ : s) {
        NullSink sink;
        if (StreamHklLines(t.cell, t.range, t.parameters, ToolLimit(0), HklLineEnd::Lf, Threads(s),
                           sink.Sink())) {
            s.SkipWithError("refused");
        }
        benchmark::DoNotOptimize(sink.bytes);
    }
}
BENCHMARK(BM_ToolStreamedProtein)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
