// SPDX-License-Identifier: GPL-3.0-or-later
// The memory limit of a container or a slice, read from folders laid out as /proc and
// /sys/fs/cgroup are.
#include "memory_limit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hkl_table.h"

namespace dorvalix {
namespace {

namespace fs = std::filesystem;

struct File {
    const char* path;  // under the root
    const char* text;
};

TEST(MemoryLimit, TheSmallestLimitOfTheGroupAndItsParents) {
    const struct {
        const char* name;
        std::vector<File> files;
        std::uint64_t limit;
    } cases[] = {
        {"v2 container: its own group is the root",
         {{"proc/self/cgroup", "0::/\n"}, {"sys/fs/cgroup/memory.max", "536870912\n"}},
         536870912},
        {"v2 without a limit",
         {{"proc/self/cgroup", "0::/\n"}, {"sys/fs/cgroup/memory.max", "max\n"}},
         0},
        {"v2 slice: a parent's limit is smaller",
         {{"proc/self/cgroup", "0::/user.slice/app.scope\n"},
          {"sys/fs/cgroup/user.slice/app.scope/memory.max", "8589934592\n"},
          {"sys/fs/cgroup/user.slice/memory.max", "2147483648\n"}},
         2147483648},
        {"v1 container: the host's path of the group is not mounted inside",
         {{"proc/self/cgroup", "12:pids:/docker/abc\n4:cpu,memory:/docker/abc\n1:name=systemd:/\n"},
          {"sys/fs/cgroup/memory/memory.limit_in_bytes", "1073741824\n"}},
         1073741824},
        {"v1 without a limit: the largest multiple of the page size",
         {{"proc/self/cgroup", "4:memory:/\n"},
          {"sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"}},
         9223372036854771712u},
        {"hybrid: v1 memory beside the v2 line, the smaller counts",
         {{"proc/self/cgroup", "4:memory:/job\n0::/job\n"},
          {"sys/fs/cgroup/memory/job/memory.limit_in_bytes", "3000000000\n"},
          {"sys/fs/cgroup/job/memory.max", "4000000000\n"}},
         3000000000},
        {"no control groups at all", {}, 0},
        {"a limit that is no number",
         {{"proc/self/cgroup", "0::/\n"}, {"sys/fs/cgroup/memory.max", "12x\n"}},
         0},
    };
    for (const auto& c : cases) {
        char pattern[] = "/tmp/dorvalix-cgroup-XXXXXX";
        const std::string root = mkdtemp(pattern);
        for (const File& f : c.files) {
            const fs::path path = fs::path(root) / f.path;
            fs::create_directories(path.parent_path());
            std::ofstream(path) << f.text;
        }
        EXPECT_EQ(CgroupMemoryLimit(root), c.limit) << c.name;
        fs::remove_all(root);
    }
    // The process's own: never more than the machine has.
    EXPECT_GT(MemoryLimit(), 0u);
    EXPECT_LE(MemoryLimit(), PhysicalMemory());
}

}  // namespace
}  // namespace dorvalix
