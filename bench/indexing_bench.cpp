// SPDX-License-Identifier: GPL-3.0-or-later
// Indexing benchmark. Without arguments: Google Benchmark timings of a few patterns. With
// --table: every cell of indexing_cases.h made into several realistic peak lists (20 to 30
// lines, 2θ errors of 0.005° to 0.02°, zero shifts to ±0.15°, one or two impurity lines, one
// missing line; Cu Kα1; seed fixed), indexed with a refined zero shift; prints where the
// true cell ranks and the time of each, and per crystal system the rank-1 rate, the right
// Bravais lattice rate and the median and largest time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "assignment.h"
#include "calculation.h"
#include "indexing.h"
#include "indexing_cases.h"
#include "observation_file.h"
#include "peak_file.h"
#include "synthetic_peak_list.h"

namespace {

using namespace dorvalix;
using namespace dorvalix::indexing;

struct Variation {
    test::PeakListRecipe recipe;
    const bench::BenchCell* cell;
};

Variation VariationOf(const bench::BenchCell& cell, int seed) {
    test::Random random(static_cast<std::uint64_t>(seed) * 7919 +
                        std::hash<std::string>{}(cell.name) % 1000003);
    Variation v;
    v.cell = &cell;
    v.recipe.cell = cell.cell;
    v.recipe.spaceGroup = cell.spaceGroup;
    v.recipe.lines = 20 + random.Below(11);
    v.recipe.noise = random.Between(0.005L, 0.02L);
    v.recipe.zero = random.Between(-0.15L, 0.15L);
    v.recipe.impurities = 1 + random.Below(2);
    v.recipe.missing = 1;
    v.recipe.seed = random.Next();
    return v;
}

// The true lattice's first distinct Q (primitive, Niggli).
std::vector<long double> TruthFingerprint(const bench::BenchCell& cell) {
    const auto group = SpaceGroup::Find(cell.spaceGroup);
    const auto g = ReciprocalMetricOf(cell.cell);
    std::vector<long double> out;
    if (!group || !g) return out;
    const auto p = PrimitiveOf(*g, group->LatticeCentring());
    if (!p) return out;
    for (const Reflection& r : ReflectionsOf(*p, 1.0L, Centring::P)) {
        if (!out.empty() && r.q - out.back() <= 1e-9L * r.q) continue;
        out.push_back(r.q);
        if (out.size() >= 30) break;
    }
    return out;
}

bool SameLattice(const Metric& reduced, const std::vector<long double>& truth) {
    std::vector<long double> fp;
    for (const Reflection& r : ReflectionsOf(reduced, 1.0L, Centring::P)) {
        if (!fp.empty() && r.q - fp.back() <= 1e-9L * r.q) continue;
        fp.push_back(r.q);
        if (fp.size() >= truth.size()) break;
    }
    if (fp.size() < truth.size()) return false;
    for (std::size_t i = 0; i < truth.size(); ++i)
        if (std::fabs(fp[i] - truth[i]) > 5e-3L * truth[i]) return false;
    return true;
}

struct Outcome {
    int rank = 0;  // of the true lattice; 0: not found
    bool bravais = false;
    double seconds = 0;
    std::string best;
};

Outcome Run(const Variation& v, double timeLimit) {
    Outcome out;
    const test::Pattern pattern = test::MakePattern(v.recipe);
    IndexingOptions options;
    options.refineZero = true;
    options.lines.count = 30;
    options.timeLimit = timeLimit;
    const auto t0 = std::chrono::steady_clock::now();
    const IndexingResult result = RunIndexing(pattern.peaks, options);
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const std::vector<long double> truth = TruthFingerprint(*v.cell);
    for (const IndexingSolution& s : result.solutions) {
        if (SameLattice(s.reduced, truth)) {
            out.rank = s.rank;
            out.bravais = s.bravais == v.cell->bravais;
            break;
        }
    }
    if (std::getenv("DORVALIX_STAGES")) {
        for (const SearchStage& st : result.searched.stages)
            std::printf("    stage %-12s %6.2fs boxes %lld found %d to %.0Lf\n", st.name.c_str(),
                        st.seconds, st.boxes, st.found, st.maxVolume);
        if (std::getenv("DORVALIX_LINES"))
            for (std::size_t k = 0; k < result.solutions.size() && k < 8; ++k) {
                std::printf("    #%zu:", k + 1);
                for (const SolutionLine& l : result.solutions[k].lines)
                    if (l.indexed)
                        std::printf(" %d%d%d:%.4Lf/%d", l.hkl[0], l.hkl[1], l.hkl[2],
                                    l.twoThetaDelta, l.matches);
                    else
                        std::printf(" [--]");
                std::printf("\n");
            }
        for (const IndexingSolution& s : result.solutions)
            std::printf(
                "    %2d %s %.4Lf %.4Lf %.4Lf %.2Lf %.2Lf %.2Lf V=%.1Lf M20=%.1Lf un=%zu "
                "score=%.1Lf %s\n",
                s.rank, s.bravais.c_str(), s.cell.a, s.cell.b, s.cell.c, s.cell.alpha, s.cell.beta,
                s.cell.gamma, s.volume, s.merit.m.value ? *s.merit.m.value : 0.0L,
                s.unindexed.size(), s.score, s.method.c_str());
    }
    if (!result.solutions.empty()) {
        const IndexingSolution& s = result.solutions.front();
        char buf[200];
        std::snprintf(buf, sizeof buf, "%s %.4Lf %.4Lf %.4Lf %.2Lf %.2Lf %.2Lf M20=%.1Lf",
                      s.bravais.c_str(), s.cell.a, s.cell.b, s.cell.c, s.cell.alpha, s.cell.beta,
                      s.cell.gamma, s.merit.m.value ? *s.merit.m.value : 0.0L);
        out.best = buf;
    } else {
        out.best = result.reason;
    }
    return out;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int Table(int seeds, double timeLimit, const char* only) {
    struct Row {
        int total = 0, first = 0, bravais = 0;
        std::vector<double> times;
    };
    std::map<std::string, Row> rows;
    std::vector<double> all;
    const char* order[] = {"cubic",        "tetragonal", "hexagonal", "rhombohedral",
                           "orthorhombic", "monoclinic", "triclinic"};
    for (const bench::BenchCell& cell : bench::BenchCells()) {
        if (only != nullptr && std::strcmp(only, cell.family) != 0 &&
            std::strcmp(only, cell.name) != 0)
            continue;
        for (int seed = 1; seed <= seeds; ++seed) {
            const Variation v = VariationOf(cell, seed);
            const Outcome o = Run(v, timeLimit);
            Row& r = rows[cell.family];
            ++r.total;
            r.first += o.rank == 1 ? 1 : 0;
            r.bravais += o.rank == 1 && o.bravais ? 1 : 0;
            r.times.push_back(o.seconds);
            all.push_back(o.seconds);
            std::printf(
                "%-13s %-20s seed %d: %2d lines zero %+.3Lf noise %.3Lf imp %d: rank %d%s %7.2fs  "
                "%s\n",
                cell.family, cell.name, seed, v.recipe.lines, v.recipe.zero, v.recipe.noise,
                v.recipe.impurities, o.rank, o.rank == 1 && !o.bravais ? " (Bravais wrong)" : "",
                o.seconds, o.best.c_str());
            std::fflush(stdout);
        }
    }
    std::printf("\n%-13s %8s %8s %8s %10s %10s\n", "system", "patterns", "rank 1", "Bravais",
                "median s", "max s");
    for (const char* family : order) {
        const auto it = rows.find(family);
        if (it == rows.end()) continue;
        const Row& r = it->second;
        std::printf("%-13s %8d %7.0f%% %7.0f%% %10.3f %10.3f\n", family, r.total,
                    100.0 * r.first / r.total, 100.0 * r.bravais / r.total, Median(r.times),
                    *std::max_element(r.times.begin(), r.times.end()));
    }
    std::printf("%-13s %8zu %8s %8s %10.3f %10.3f\n", "all", all.size(), "", "", Median(all),
                all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()));
    return 0;
}

void BM_Index(benchmark::State& state, const char* name) {
    const bench::BenchCell* cell = nullptr;
    for (const bench::BenchCell& c : bench::BenchCells())
        if (std::strcmp(c.name, name) == 0) cell = &c;
    const Variation v = VariationOf(*cell, 1);
    for (auto _ : state) {
        const Outcome o = Run(v, 0);
        benchmark::DoNotOptimize(o.rank);
    }
}

// Assignment from a cell 1 % off in every length and 1° in the angles that are free: an
// example file's lines, the cell its own indices refine to.
void BM_Assign(benchmark::State& state, const char* file, int code, Centring centring) {
    const std::string path = std::string(DORVALIX_SOURCE_DIR) + "/examples/" + file;
    CalculationState calc;
    std::string sample;
    LoadObservationFile(calc, sample, path, Lang::English);
    calc.crystalSystem = code;
    if (!RunCalculation(calc, Lang::English).completed) {
        state.SkipWithError("the example does not refine");
        return;
    }
    const PeakFile peaks = ReadPeakFile(path);
    const CellParameters& d = calc.result.direct;
    const bool angles = code == kTriclinic;
    const Cell off{d.a * 1.01L, d.b * 0.99L,
                   d.c * 1.01L, d.alpha + (angles ? 1 : 0),
                   d.beta + 1,  d.gamma + (angles ? 1 : 0)};
    ReflectionRule rule;
    rule.centring = centring;
    int indexed = 0;
    for (auto _ : state) {
        const AssignmentResult r = AssignIndices(peaks.peaks, off, code, rule, {});
        indexed = r.indexed;
        benchmark::DoNotOptimize(r.indexed);
    }
    state.counters["indexed"] = indexed;
}

BENCHMARK_CAPTURE(BM_Assign, diopside, "diopside.lat", kMonoclinicBeta, Centring::C)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Assign, triclinic300, "triclinic-300.lat", kTriclinic, Centring::P)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Index, cubic, "spinel MgAl2O4")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Index, rhombohedral, "calcite")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Index, orthorhombic, "forsterite")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Index, monoclinic, "paracetamol")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Index, triclinic, "rhodonite")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--table") == 0) {
            int seeds = 3;
            double limit = 0;
            const char* only = nullptr;
            for (int j = i + 1; j + 1 < argc; j += 2) {
                if (std::strcmp(argv[j], "--seeds") == 0) seeds = std::atoi(argv[j + 1]);
                if (std::strcmp(argv[j], "--time-limit") == 0) limit = std::atof(argv[j + 1]);
                if (std::strcmp(argv[j], "--only") == 0) only = argv[j + 1];
            }
            return Table(seeds, limit, only);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
