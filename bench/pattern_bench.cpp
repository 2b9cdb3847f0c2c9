// SPDX-License-Identifier: GPL-3.0-or-later
// Measured patterns, read and searched and fitted.
//
// A 10,000-point lab pattern (eleven silicon Cu Kα doublets, tailed, with counting noise),
// written as an .xy file: read + background + search + fit in-process, and the whole
// `dorvalix-cli peaks` process. Goal: under 100 ms.
//
// The 2.5 MB APS 11-BM synchrotron file (59,498 points, Na2Ca3Al2F14) of the shared real
// patterns, as the whole `dorvalix-cli peaks` process. Goal: under 1 s. The folder is
// $DORVALIX_PATTERNS, else ../shared/data/patterns beside the source tree; without it the
// benchmark says so and is skipped.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "pattern_reader.h"
#include "peaks.h"
#include "synthetic_pattern.h"
#include "xray_lines.h"

extern char** environ;

namespace {

using namespace dorvalix;

// The lab pattern's file, written once.
const std::string& LabFile() {
    static const std::string path = [] {
        test::Synthetic s;
        s.start = 20;
        s.step = 0.012;
        s.points = 10000;
        s.lines = test::CuDoublet();
        s.reflections = {{28.442, 30000}, {47.302, 18000}, {56.121, 10000}, {69.130, 2500},
                         {76.377, 4000},  {88.029, 5000},  {94.951, 2600},  {106.710, 1500},
                         {114.092, 2800}, {127.547, 2400}, {136.897, 1100}};
        const std::string file =
            (std::filesystem::temp_directory_path() / "dorvalix-bench-lab.xy").string();
        WriteFileAtomically(file, test::XyText(test::MakeScan(s)));
        return file;
    }();
    return path;
}

std::string SynchrotronFile() {
    const char* folder = std::getenv("DORVALIX_PATTERNS");
    const std::string base = folder != nullptr
                                 ? std::string(folder)
                                 : std::string(DORVALIX_SOURCE_DIR) + "/../shared/data/patterns";
    return base + "/nac_11bm_synchrotron.fxye";
}

void BM_LabPatternInProcess(benchmark::State& state) {
    const std::string& file = LabFile();
    const Wavelengths lines = WavelengthsOf(*FindXrayLine("Cu-Ka"));
    std::size_t peaks = 0;
    for (auto _ : state) {
        const Pattern pattern = ReadPatternFile(file, Lang::English);
        const ScanPeaks found = FindPeaks(pattern.scans.front(), lines, PeakSettings{});
        peaks = found.peaks.size();
        benchmark::DoNotOptimize(found.peaks.data());
    }
    state.counters["peaks"] = static_cast<double>(peaks);
}
BENCHMARK(BM_LabPatternInProcess)->Unit(benchmark::kMillisecond);

// dorvalix-cli peaks FILE ARGUMENTS... --format json, its output to /dev/null.
void WholeProcess(benchmark::State& state, const std::string& file,
                  std::vector<std::string> arguments) {
    if (!std::filesystem::is_regular_file(file)) {
        state.SkipWithError(("no file " + file + ": set DORVALIX_PATTERNS").c_str());
        return;
    }
    arguments.insert(arguments.begin(), {DORVALIX_CLI_PATH, "peaks", file, "--format", "json"});
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("cannot start dorvalix-cli");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("dorvalix-cli peaks failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void BM_LabPatternWholeProcess(benchmark::State& state) {
    WholeProcess(state, LabFile(), {"--xray", "Cu-Ka"});
}
BENCHMARK(BM_LabPatternWholeProcess)->Unit(benchmark::kMillisecond);

void BM_SynchrotronFileWholeProcess(benchmark::State& state) {
    WholeProcess(state, SynchrotronFile(), {});
}
BENCHMARK(BM_SynchrotronFileWholeProcess)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
