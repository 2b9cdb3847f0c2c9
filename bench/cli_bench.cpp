// dorvalix-cli refine of a 300-observation triclinic file (six coefficients, the largest
// fit): the whole process as a script would start it, and the command alone in-process.
// Goal: the whole process under 10 ms.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
