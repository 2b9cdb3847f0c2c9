// SPDX-License-Identifier: GPL-3.0-or-later
#include "atomic_file.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "errors.h"
#include "input_file.h"

namespace dorvalix {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dorvalix-atomic-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override {
        chmod(dir.c_str(), 0755);
        fs::remove_all(dir);
    }
    std::string Read(const std::string& path) const { return ReadInputFile(path, Lang::English); }
    // The names in the folder, so that a temporary file left behind shows.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    mode_t Mode(const std::string& path) const {
        struct stat st;
        EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }
    std::string dir;
};

// Runs `body` in a child process (as the unprivileged user "nobody" when the test runs as
// root, so that file permissions apply) and returns its exit status.
int InChild(const std::function<int()>& body, bool dropRoot) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (dropRoot && geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                _exit(90);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(AtomicFile, WritesAndReplaces) {
    const std::string path = dir + "/a.lat";
    WriteFileAtomically(path, "first\r\n");
    EXPECT_EQ(Read(path), "first\r\n");
    WriteFileAtomically(path, "second");
    EXPECT_EQ(Read(path), "second");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.lat"});  // no temporary file left

    // Piece by piece; nothing shows before Commit, and without it nothing changes.
    {
        AtomicFileWriter writer(path);
        writer.Write("thi");
        writer.Write("rd");
        EXPECT_EQ(Read(path), "second");
        writer.Commit();
    }
    EXPECT_EQ(Read(path), "third");
    {
        AtomicFileWriter writer(path);
        writer.Write("abandoned");
    }
    EXPECT_EQ(Read(path), "third");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.lat"});
}

// A write that fails halfway (here: the file-size limit, which binds root too) leaves the
// old file and no temporary file.
TEST_F(AtomicFile, FailedWriteKeepsTheOldFile) {
    const std::string path = dir + "/a.lat";
    WriteFileAtomically(path, "keep");
    const int status = InChild(
        [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{100, 100};
            setrlimit(RLIMIT_FSIZE, &limit);
            try {
                WriteFileAtomically(path, std::string(1000, 'x'));
            } catch (const IoError& e) {
                return std::string(e.what()) == "File too large: " + path ? 0 : 2;
            }
            return 1;
        },
        false);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Read(path), "keep");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.lat"});

    // A folder that is a regular file: refused before anything is made.
    const std::string plain = dir + "/plain";
    WriteFileAtomically(plain, "not a folder");
    try {
        WriteFileAtomically(plain + "/a.lat", "x");
        FAIL();
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "Not a directory: " + plain + "/a.lat");
    }
    EXPECT_THROW(WriteFileAtomically(dir + "/missing/a.lat", "x"), IoError);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.lat", "plain"}));
}

// Stopped by a signal halfway (Ctrl-C on a large table), with the command-line program's
// handler: no temporary file, unnamed or named, and the old file as it was. A signal the
// program ignores (nohup) stays ignored.
TEST_F(AtomicFile, ASignalLeavesNoTemporaryFile) {
    const std::string path = dir + "/a.lat";
    WriteFileAtomically(path, "keep");
    for (const auto temporary :
         {AtomicFileWriter::Temporary::Unnamed, AtomicFileWriter::Temporary::Named}) {
        for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
            const int status = InChild(
                [&] {
                    std::signal(s, SIG_DFL);
                    RemoveTemporaryFilesOnSignals();
                    AtomicFileWriter writer(path, Lang::English, temporary);
                    writer.Write(std::string(1 << 20, 'x'));
                    std::raise(s);
                    return 1;
                },
                false);
            EXPECT_EQ(status, 100 + s) << s;
            EXPECT_EQ(Names(), std::vector<std::string>{"a.lat"}) << s;
            EXPECT_EQ(Read(path), "keep");
        }
    }
    const int ignored = InChild(
        [] {
            std::signal(SIGHUP, SIG_IGN);
            RemoveTemporaryFilesOnSignals();
            std::raise(SIGHUP);
            return 0;
        },
        false);
    EXPECT_EQ(ignored, 0);
}

TEST_F(AtomicFile, KeepsThePermissionsButNeverSetId) {
    const struct {
        mode_t before, after;
    } cases[] = {{0640, 0640},  {0604, 0604},  {0755, 0755},
                 {04755, 0755}, {02775, 0775}, {01644, 0644}};
    for (const auto& c : cases) {
        const std::string path = dir + "/m.lat";
        WriteFileAtomically(path, "old");
        ASSERT_EQ(chmod(path.c_str(), c.before), 0);
        WriteFileAtomically(path, "new");
        EXPECT_EQ(Mode(path), c.after) << std::oct << c.before;
        EXPECT_EQ(Read(path), "new");
    }
    // A new file: 0666 less the umask.
    for (const mode_t mask : {022, 077, 002}) {
        const mode_t old = umask(mask);
        const std::string path = dir + "/new" + std::to_string(mask) + ".lat";
        WriteFileAtomically(path, "x");
        umask(old);
        EXPECT_EQ(Mode(path), 0666 & ~mask) << std::oct << mask;
    }
}

TEST_F(AtomicFile, KeepsTheOwnerWhereItMay) {
    if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const std::string path = dir + "/owned.lat";
    WriteFileAtomically(path, "old");
    ASSERT_EQ(chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    WriteFileAtomically(path, "new");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_gid, nobody->pw_gid);
}

TEST_F(AtomicFile, ReplacesTheFileASymbolicLinkPointsTo) {
    fs::create_directory(dir + "/data");
    const std::string real = dir + "/data/real.lat";
    WriteFileAtomically(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    // A relative link, a link to that link, and an absolute one.
    fs::create_symlink("data/real.lat", dir + "/rel.lat");
    fs::create_symlink("rel.lat", dir + "/chain.lat");
    fs::create_symlink(real, dir + "/abs.lat");
    for (const char* link : {"rel.lat", "chain.lat", "abs.lat"}) {
        const std::string path = dir + "/" + link;
        const std::string text = std::string("through ") + link;
        WriteFileAtomically(path, text);
        EXPECT_TRUE(fs::is_symlink(path)) << link;
        EXPECT_EQ(Read(real), text);
        EXPECT_EQ(Mode(real), 0640u);
    }
    // The temporary file was made beside the target (the rename stays in one folder) and is
    // gone.
    EXPECT_EQ(Names(), (std::vector<std::string>{"abs.lat", "chain.lat", "data", "rel.lat"}));
    EXPECT_EQ(fs::directory_iterator(dir + "/data")->path().filename(), "real.lat");

    // A link to a file not made yet makes it.
    fs::create_symlink("data/later.lat", dir + "/later.lat");
    WriteFileAtomically(dir + "/later.lat", "made");
    EXPECT_TRUE(fs::is_symlink(dir + "/later.lat"));
    EXPECT_EQ(Read(dir + "/data/later.lat"), "made");

    // A loop of links is an error, not a hang.
    fs::create_symlink("loop2", dir + "/loop1");
    fs::create_symlink("loop1", dir + "/loop2");
    EXPECT_THROW(WriteFileAtomically(dir + "/loop1", "x"), IoError);
}

// The file's own permission counts, not only the folder's: a read-only file is refused as
// writing it in place would be. Runs as "nobody" under root, whom permissions do not bind.
TEST_F(AtomicFile, RefusesAFileItMayNotWrite) {
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    const int status = InChild(
        [&] {
            const std::string path = dir + "/ro.lat";
            WriteFileAtomically(path, "keep");
            if (chmod(path.c_str(), 0444) != 0) return 3;
            try {
                WriteFileAtomically(path, "lost");
                return 1;
            } catch (const IoError& e) {
                if (std::string(e.what()) != "Permission denied: " + path) return 2;
            }
            if (ReadInputFile(path, Lang::English) != "keep") return 4;
            return 0;
        },
        true);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"ro.lat"});
}

TEST_F(AtomicFile, RefusesWhatIsNotARegularFile) {
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        try {
            WriteFileAtomically(fifo, "x", lang);
            FAIL();
        } catch (const IoError& e) {
            EXPECT_EQ(std::string(e.what()), lang == Lang::English
                                                 ? fifo + " is not a regular file"
                                                 : fifo + " は通常のファイルではありません");
        }
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    fs::create_directory(dir + "/folder");
    EXPECT_THROW(WriteFileAtomically(dir + "/folder", "x"), IoError);
    EXPECT_EQ(Names(), (std::vector<std::string>{"fifo", "folder"}));
}

// A file name as long as the system allows still leaves room for the temporary name.
TEST_F(AtomicFile, SavesTheLongestFileName) {
    for (const std::size_t length : {250u, 255u}) {
        const std::string path = dir + "/" + std::string(length - 4, 'n') + ".lat";
        WriteFileAtomically(path, "long");
        WriteFileAtomically(path, "longer");
        EXPECT_EQ(Read(path), "longer");
        fs::remove(path);
    }
}

}  // namespace
}  // namespace dorvalix
