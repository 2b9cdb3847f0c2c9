// SPDX-License-Identifier: GPL-3.0-or-later
// Only regular files of at most 16 MiB are read: nothing the user hands the program can
// hang it or fill its memory.
#include "input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file.h"
#include "errors.h"
#include "test_files.h"

namespace dorvalix {
namespace {

class InputFile : public test::TempFolder {
  protected:
    // The error text of reading `path`, or "read" when it was read.
    std::string Refusal(const std::string& path, Lang lang = Lang::English) {
        try {
            ReadInputFile(path, lang);
            return "read";
        } catch (const IoError& e) {
            return e.what();
        }
    }
    // A file of `size` bytes without writing them (a hole).
    std::string Sized(const std::string& name, off_t size) {
        const std::string path = dir + "/" + name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
        return path;
    }
};

TEST_F(InputFile, ReadsRegularFilesUpTo16MiB) {
    EXPECT_EQ(ReadInputFile(Write("a.lat", "1 5\r\n"), Lang::English), "1 5\r\n");
    EXPECT_EQ(ReadInputFile(Write("empty", ""), Lang::English), "");
    EXPECT_EQ(ReadInputFile(Sized("limit", 16 << 20), Lang::English).size(), 16u << 20);
    const std::string over = Sized("over", (16 << 20) + 1);
    EXPECT_EQ(Refusal(over), over + " is larger than 16 MiB");
    EXPECT_EQ(Refusal(over, Lang::Japanese), over + " は 16 MiB を超えているため読み込めません");
}

TEST_F(InputFile, RefusesDevicesFifosAndFolders) {
    EXPECT_EQ(Refusal("/dev/zero"), "/dev/zero is not a regular file");
    EXPECT_EQ(Refusal("/dev/zero", Lang::Japanese), "/dev/zero は通常のファイルではありません");
    // A FIFO without a writer: opening it must not wait for one.
    const std::string fifo = dir + "/settings";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(Refusal(fifo), fifo + " is not a regular file");
    EXPECT_EQ(Refusal(dir), "Is a directory: " + dir);
    EXPECT_EQ(Refusal(dir + "/missing.lat"), "No such file or directory: " + dir + "/missing.lat");
}

// A name in a message is quoted as any input is: its end kept, control characters shown.
TEST_F(InputFile, NamesInMessagesAreQuoted) {
    const std::string folder = dir + "/" + std::string(90, 'f');
    const std::string path = folder + "/\x1b[2Jx.lat";
    const std::string text = Refusal(path);
    EXPECT_EQ(text, "No such file or directory: …" + std::string(70, 'f') + "/\\x1B[2Jx.lat");
}

}  // namespace
}  // namespace dorvalix
