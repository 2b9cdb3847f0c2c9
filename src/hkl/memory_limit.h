// SPDX-License-Identifier: GPL-3.0-or-later
// The memory a large table may count on: the machine's, or less where the process's control
// group sets a limit (a container, a systemd slice), which ends the process when exceeded.
#pragma once

#include <cstdint>
#include <string>

namespace dorvalix {

// The smallest memory limit on the way from this process's control group up to the root of
// its hierarchy, in bytes, or 0 when none is set. Read under `root` ("/", or in tests a
// folder laid out as the file system): the groups from root/proc/self/cgroup, the limits
// from memory.max under root/sys/fs/cgroup (cgroup v2) and memory.limit_in_bytes under
// root/sys/fs/cgroup/memory (v1). A group's folder that is not there (a container shows
// the host's path of its group but mounts the group itself as the root) is passed by.
std::uint64_t CgroupMemoryLimit(const std::string& root);

// The smaller of the machine's memory (PhysicalMemory) and CgroupMemoryLimit("/"); 0 when
// neither is known.
std::uint64_t MemoryLimit();

}  // namespace dorvalix
