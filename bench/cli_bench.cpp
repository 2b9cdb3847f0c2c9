// SPDX-License-Identifier: GPL-3.0-or-later
// dorvalix-cli refine of a 300-observation triclinic file (six coefficients, the largest
// fit): the whole process as a script would start it, and the command alone in-process.
// Goal: the whole process under 10 ms.
//
// dorvalix-cli hkl of large tables, the whole process writing to /dev/null, with its peak
// memory: the 995,514 reflections of a 25.1/27.3/30.2 Å, 85/95/100° cell at 0.44 Å with
// Mo-Ka, sorted (goal: under 0.15 s); the 10.3 million of a 100.1/105.3/120.2 Å, 88/92/95°
// cell at 0.8 Å with Cu-Ka, sorted (goal: under 1.5 s and 400 MB) and streamed unsorted
// (memory independent of the table's size).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"

extern char** environ;

namespace {

const std::string kInput = std::string(DORVALIX_SOURCE_DIR) + "/examples/triclinic-300.lat";

void BM_RefineWholeProcess(benchmark::State& state, const char* format) {
    std::string program = DORVALIX_CLI_PATH;
    std::string command = "refine";
    std::string input = kInput;
    std::string formatOption = "--format";
    std::string formatValue = format;
    char* argv[] = {program.data(),      command.data(),     input.data(),
                    formatOption.data(), formatValue.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start dorvalix-cli");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("dorvalix-cli failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK_CAPTURE(BM_RefineWholeProcess, report, "report")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RefineWholeProcess, json, "json")->Unit(benchmark::kMillisecond);

// Runs dorvalix-cli with `arguments`, its output to /dev/null, once per iteration; the
// largest peak memory of the runs as a counter.
void RunWholeProcess(benchmark::State& state, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), DORVALIX_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    long peak_kb = 0;
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("cannot start dorvalix-cli");
            break;
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        peak_kb = std::max(peak_kb, usage.ru_maxrss);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("dorvalix-cli failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    state.counters["peak_MB"] = static_cast<double>(peak_kb) / 1024;
}

const std::vector<std::string> kLargeTable = {"hkl",    "--cell", "25.1",    "27.3",   "30.2",
                                              "85",     "95",     "100",     "--xray", "Mo-Ka",
                                              "--dmin", "0.44",   "--range", "all"};
const std::vector<std::string> kProteinTable = {"hkl",    "--cell", "100.1",   "105.3",  "120.2",
                                                "88",     "92",     "95",      "--xray", "Cu-Ka",
                                                "--dmin", "0.8",    "--range", "all"};

std::vector<std::string> Sorted(std::vector<std::string> arguments) {
    arguments.push_back("--sort");
    return arguments;
}

BENCHMARK_CAPTURE(RunWholeProcess, hkl_large_sorted, Sorted(kLargeTable))
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(RunWholeProcess, hkl_protein_sorted, Sorted(kProteinTable))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(RunWholeProcess, hkl_protein_streamed, kProteinTable)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_RefineInProcess(benchmark::State& state) {
    const std::vector<std::string> args = {kInput};
    for (auto _ : state) {
        std::ostringstream out, err;
        if (dorvalix::cli::RunRefineCommand(args, out, err) != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }
        benchmark::DoNotOptimize(out.str().size());
    }
}
BENCHMARK(BM_RefineInProcess)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
