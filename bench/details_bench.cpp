// SPDX-License-Identifier: GPL-3.0-or-later
// Refinement details on the 300-observation triclinic example (six coefficients, the largest
// fit), and the summary of a series of 1000 such files.
// Goals: --details adds under 1 ms to a refine; --zero-shift converges in under 20
// iterations; the summary of 1000 files of 300 observations takes under 2 s on 2 cores.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "calculation.h"
#include "commands.h"
#include "numtext.h"
#include "refine_input.h"
#include "refinement_details.h"

namespace {

using namespace dorvalix;

const std::string kInput = std::string(DORVALIX_SOURCE_DIR) + "/examples/triclinic-300.lat";

void RunCommand(benchmark::State& state, const std::vector<std::string>& args) {
    for (auto _ : state) {
        std::ostringstream out, err;
        if (cli::RunRefineCommand(args, out, err) != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }
        benchmark::DoNotOptimize(out.str().size());
    }
}

// The same refine with and without --details: the difference is what the details add.
void BM_RefineReport(benchmark::State& state) {
    RunCommand(state, {kInput});
}
BENCHMARK(BM_RefineReport)->Unit(benchmark::kMicrosecond);

void BM_RefineReportWithDetails(benchmark::State& state) {
    RunCommand(state, {kInput, "--details"});
}
BENCHMARK(BM_RefineReportWithDetails)->Unit(benchmark::kMicrosecond);

void BM_RefineJson(benchmark::State& state) {
    RunCommand(state, {kInput, "--format", "json"});
}
BENCHMARK(BM_RefineJson)->Unit(benchmark::kMicrosecond);

void BM_RefineJsonWithDetails(benchmark::State& state) {
    RunCommand(state, {kInput, "--format", "json", "--details"});
}
BENCHMARK(BM_RefineJsonWithDetails)->Unit(benchmark::kMicrosecond);

std::unique_ptr<CalculationState> ExampleRun() {
    auto s = std::make_unique<CalculationState>();
    cli::LoadRefineInput(*s, kInput, Lang::English, std::nullopt);
    if (!RunCalculation(*s, Lang::English).completed) return nullptr;
    return s;
}

// The details alone, on the run's result.
void BM_ComputeDetails(benchmark::State& state) {
    const auto run = ExampleRun();
    if (!run) return state.SkipWithError("the example did not refine");
    for (auto _ : state) {
        RefinementDetails d = ComputeRefinementDetails(*run, {});
        benchmark::DoNotOptimize(d);
    }
}
BENCHMARK(BM_ComputeDetails)->Unit(benchmark::kMicrosecond);

// The details with the fit on 2θ and the zero shift; the iterations it took as a counter.
void BM_ComputeDetailsZeroShift(benchmark::State& state) {
    const auto run = ExampleRun();
    if (!run) return state.SkipWithError("the example did not refine");
    DetailsOptions options;
    options.zeroShift = true;
    int iterations = 0;
    for (auto _ : state) {
        RefinementDetails d = ComputeRefinementDetails(*run, options);
        if (!d.twoTheta) return state.SkipWithError("the fit on 2θ was refused");
        iterations = d.twoTheta->iterations;
        benchmark::DoNotOptimize(d);
    }
    state.counters["iterations"] = iterations;
}
BENCHMARK(BM_ComputeDetailsZeroShift)->Unit(benchmark::kMicrosecond);

// A series of 1000 files: the example with every d scaled a little more than in the file
// before, as a temperature series expands the cell.
class Series {
  public:
    Series() {
        char tmpl[] = "/tmp/dorvalix-series-XXXXXX";
        dir_ = mkdtemp(tmpl);
        std::ifstream in(kInput, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        for (int f = 0; f < 1000; ++f) {
            const std::string path = dir_ + "/run-" + IntText(1000 + f) + ".lat";
            std::ofstream out(path, std::ios::binary);
            out << lines[0] << '\n';
            for (std::size_t i = 1; i < lines.size(); ++i) {
                std::istringstream fields(lines[i]);
                std::string h, k, l, d;
                if (!(fields >> h >> k >> l >> d)) {
                    out << lines[i] << '\n';
                    continue;
                }
                const long double scaled = ParseReal(d) * (1 + 2e-6L * f);
                out << h << ' ' << k << ' ' << l << ' ' << FormatFixed(scaled, 5, 15) << "\r\n";
            }
            files_.push_back(path);
        }
    }
    ~Series() { std::filesystem::remove_all(dir_); }
    const std::vector<std::string>& Files() const { return files_; }

  private:
    std::string dir_;
    std::vector<std::string> files_;
};

void BM_Summary1000Files(benchmark::State& state) {
    static const Series series;
    std::vector<std::string> args = series.Files();
    args.insert(args.end(), {"--format", "summary"});
    if (state.range(0) == 1) args.push_back("--zero-shift");
    RunCommand(state, args);
}
BENCHMARK(BM_Summary1000Files)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("zero_shift")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
