#include "atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "errors.h"

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
    std::string dir;
};

TEST_F(AtomicFile, WritesAndReplaces) {
    const std::string path = dir + "/a.lat";
    WriteFileAtomically(path, "first\r\n");
    EXPECT_EQ(ReadWholeFile(path), "first\r\n");
    WriteFileAtomically(path, "second");
    EXPECT_EQ(ReadWholeFile(path), "second");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);  // no temporary file is left behind
}

TEST_F(AtomicFile, FailedWriteKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    const std::string path = dir + "/a.lat";
    WriteFileAtomically(path, "keep");
    chmod(dir.c_str(), 0555);
    try {
        WriteFileAtomically(path, "lost");
        FAIL();
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    EXPECT_EQ(ReadWholeFile(path), "keep");
}

TEST_F(AtomicFile, MissingFilesAndFoldersAreErrors) {
    EXPECT_THROW(WriteFileAtomically(dir + "/missing/a.lat", "x"), IoError);
    EXPECT_THROW(ReadWholeFile(dir + "/missing.lat"), IoError);
    EXPECT_THROW(ReadWholeFile(dir), IoError);
}

}  // namespace
}  // namespace dorvalix
