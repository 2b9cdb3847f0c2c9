// SPDX-License-Identifier: GPL-3.0-or-later
// What scripts and shells expect of a command-line program: --output - and devices, "--",
// --help of a subcommand, output that cannot be written, a stop by a signal, a terminal
// that must not run what a file holds, and a process limit on threads.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_outcome.h"
#include "commands.h"
#include "input_file.h"
#include "test_files.h"

namespace dorvalix::cli {
namespace {

using namespace std::chrono_literals;

class Conventions : public test::TempFolder {};

const std::vector<std::string> kSilicon = {"--cell", "5.431",   "5.431", "5.431",
                                           "90",     "90",      "90",    "--system",
                                           "1",      "--range", "asym",  "--sort"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Both subcommands, each with the arguments of a small result of its own.
struct Subcommand {
    const char* name;
    CliCommand run;
    std::vector<std::string> args;
};
std::vector<Subcommand> Subcommands() {
    return {{"refine", RunRefineCommand, {kExample, "--format", "json"}},
            {"hkl", RunHklCommand, kSilicon}};
}

TEST_F(Conventions, OutputToStandardOutputDevicesAndFifos) {
    // A socket cannot be written as a file or replaced: still refused.
    const std::string socketPath = dir + "/socket";
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);

    for (const Subcommand& c : Subcommands()) {
        const Outcome plain = cli::Run(c.run, c.args);
        ASSERT_EQ(plain.status, 0) << c.name << plain.err;
        const struct {
            const char* output;
            int status;
            std::string out, err;
        } cases[] = {
            {"-", 0, plain.out, ""},
            {"/dev/null", 0, "", ""},
            {"/dev/full", 1, "", "dorvalix-cli: No space left on device: /dev/full.\n"},
            {socketPath.c_str(), 1, "",
             "dorvalix-cli: " + socketPath + " is not a regular file.\n"},
        };
        for (const auto& k : cases) {
            const Outcome o = cli::Run(c.run, With(c.args, {"--output", k.output}));
            EXPECT_EQ(o.status, k.status) << c.name << " " << k.output;
            EXPECT_EQ(o.out, k.out) << c.name << " " << k.output;
            EXPECT_EQ(o.err, k.err) << c.name << " " << k.output;
        }
        // A FIFO, as a shell's process substitution gives one: written as it is read.
        std::string read;
        std::thread reader([&] {
            std::ifstream in(fifo, std::ios::binary);
            read.assign(std::istreambuf_iterator<char>(in), {});
        });
        const Outcome o = cli::Run(c.run, With(c.args, {"--output", fifo}));
        reader.join();
        EXPECT_EQ(o.status, 0) << c.name << o.err;
        EXPECT_EQ(read, plain.out) << c.name;
        EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    }
    close(s);
}

// --help of a subcommand is the program's help; a help or version that cannot be written
// is a failure (a script would otherwise take an empty text for the answer).
TEST_F(Conventions, HelpOfTheSubcommandsAndFailedWrites) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"refine", "--help"},
             {"refine", kExample, "--format", "json", "-h"},
             {"hkl", "--help"},
             {"hkl", "--cell", "5", "5", "5", "90", "90", "90", "-h"}}) {
        const Outcome o = Cli(args);
        EXPECT_EQ(o.status, 0) << args[1];
        EXPECT_EQ(o.out, std::string(kUsage) + kHelpText);
        EXPECT_EQ(o.err, "");
    }
    const struct {
        std::vector<std::string> args;
        const char* err;
    } unwritable[] = {
        {{"--help"}, "dorvalix-cli: the help could not be written\n"},
        {{"hkl", "--help"}, "dorvalix-cli: the help could not be written\n"},
        {{"refine", "-h"}, "dorvalix-cli: the help could not be written\n"},
        {{"--version"}, "dorvalix-cli: the version could not be written\n"},
    };
    for (const auto& c : unwritable) {
        std::ostringstream out, err;
        out.setstate(std::ios::badbit);
        EXPECT_EQ(RunCli(c.args, out, err), 1) << c.args.back();
        EXPECT_EQ(err.str(), c.err);
    }
    EXPECT_EQ(RunBinary("--help > /dev/full").status, 1);
    EXPECT_EQ(RunBinary("hkl --help > /dev/full").status, 1);
    EXPECT_EQ(RunBinary("--version > /dev/full").status, 1);
}

// "--" ends the options: a file whose name starts with "-" is read; hkl takes no files.
TEST_F(Conventions, DoubleDashEndsTheOptions) {
    std::filesystem::copy_file(kExample, dir + "/-x.lat");
    Outcome o = RunBinary("refine -- -x.lat --format json", "cd " + dir + " && ");
    EXPECT_EQ(o.status, 2);  // "--format" is a file name too
    EXPECT_TRUE(o.out.starts_with("dorvalix-cli refine: more than one FILE: -x.lat, --format\n"))
        << o.out;
    o = RunBinary("refine --format json -- -x.lat", "cd " + dir + " && ");
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_EQ(o.out, Refine({kExample, "--format", "json"}).out);
    EXPECT_EQ(Refine({"-x.lat"}).status, 2);  // without "--" an unknown option
    EXPECT_EQ(RunHkl(With(kSilicon, {"--"})).status, 0);
    const Outcome extra = RunHkl(With(kSilicon, {"--", "x"}));
    EXPECT_EQ(extra.status, 2);
    EXPECT_TRUE(extra.err.starts_with("dorvalix-cli hkl: unknown argument 'x'\n")) << extra.err;
}

// The built program, started with `signal` at its default action; its process id.
pid_t StartProgram(const std::string& arguments) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const int s : {SIGINT, SIGTERM, SIGHUP})
            signal(s, SIG_DFL);
        const std::string command = "exec " + std::string(DORVALIX_CLI_PATH) + " " + arguments;
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The size of a file the process has open in `folder`, named or not (-1: none yet).
long long OpenFileSizeIn(pid_t pid, const std::string& folder) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(fds, ec)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
        struct stat st;
        if (!ec && target.starts_with(folder + "/") && stat(entry.path().c_str(), &st) == 0)
            return st.st_size;
    }
    return -1;
}

// A table of some ten million lines stopped while it is being written leaves the folder as
// it was: no temporary file of hundreds of MB beside the old table.
TEST_F(Conventions, AStoppedTableLeavesNoTemporaryFile) {
    const std::string table = Write("table.txt", "old\n");
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t pid = StartProgram("hkl --cell 40 40 40 90 90 90 --dmin 0.3 --output " + table);
        ASSERT_GT(pid, 0);
        // Stopped once a megabyte is written; within 60 s, or the test fails.
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        long long size = -1;
        while ((size = OpenFileSizeIn(pid, dir)) < (1 << 20) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        kill(pid, size >= (1 << 20) ? s : SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_GE(size, 1 << 20) << "signal " << s << ": nothing written in time";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == s) << s << " " << status;
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"table.txt"}) << "signal " << s;
        EXPECT_EQ(ReadInputFile(table, Lang::English), "old\n");
    }
}

// A sample name's escape sequence shown on a terminal, not run; a file keeps its bytes.
TEST_F(Conventions, ATerminalSeesControlCharactersEscaped) {
    // A terminal title command (OSC ... BEL) and the C1 control CSI.
    const std::string name = "Evil \x1b]0;owned\x07 sample\xc2\x9b";
    const std::string lat =
        Write("evil.lat",
              "       3       1\r\n       1       0       0   5.431\r\n"
              "       1       1       0   3.840\r\n       1       1       1   3.136\r\n" +
                  name + "\r\n");
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string command = "exec " + std::string(DORVALIX_CLI_PATH) + " refine " + lat;
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<std::size_t>(n));  // EIO once the program has ended
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
    EXPECT_NE(seen.find("Sample : Evil \\x1B]0;owned\\x07 sample\\xC2\\x9B\r\n"), std::string::npos)
        << seen;
    EXPECT_EQ(seen.find('\x1b'), std::string::npos);
    // Into a pipe or a file the name is as the file has it.
    EXPECT_NE(Refine({lat}).out.find("Sample : " + name + "\n"), std::string::npos);
}

// Threads the system refuses (here each wants a 32 GB stack in 4 GB of address space, as a
// process limit refuses them) leave their files to the others: the same summary, status 0.
TEST_F(Conventions, ASummaryWithoutThreadsIsTheSameSummary) {
    if (std::string(DORVALIX_CLI_PATH).find(' ') != std::string::npos)
        GTEST_SKIP() << "the emulator needs more address space than the limit leaves";
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer's shadow needs more address space than that";
#endif
    const std::string files = kExample + " " + kExample + " " + kExample + " " + kExample;
    const Outcome free = RunBinary("refine " + files + " --format summary");
    ASSERT_EQ(free.status, 0) << free.out;
    const Outcome limited = RunBinary("refine " + files + " --format summary",
                                      "ulimit -s 33554432 && ulimit -v 4194304 && ");
    EXPECT_EQ(limited.status, 0) << limited.out;
    EXPECT_EQ(limited.out, free.out);
}

}  // namespace
}  // namespace dorvalix::cli
