// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory_limit.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

#include "hkl_table.h"

namespace dorvalix {

namespace {

// The limit a cgroup file states: digits, or "max" (none, as is anything else).
std::uint64_t ReadLimit(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text.empty() || text.size() > 20) return 0;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    return value;
}

// The smallest limit in `file` of the folders from `group` up to the hierarchy's root.
std::uint64_t SmallestOnTheWayUp(const std::string& mount, std::string group, const char* file) {
    std::uint64_t smallest = 0;
    for (;;) {
        while (group.ends_with('/'))
            group.pop_back();
        const std::uint64_t limit = ReadLimit(mount + group + "/" + file);
        if (limit > 0) smallest = smallest == 0 ? limit : std::min(smallest, limit);
        if (group.empty()) return smallest;
        group.resize(group.find_last_of('/') == std::string::npos ? 0 : group.find_last_of('/'));
    }
}

}  // namespace

std::uint64_t CgroupMemoryLimit(const std::string& root) {
    std::ifstream groups(root + "/proc/self/cgroup");
    std::uint64_t smallest = 0;
    auto take = [&](std::uint64_t limit) {
        if (limit > 0) smallest = smallest == 0 ? limit : std::min(smallest, limit);
    };
    // Lines "ID:CONTROLLERS:PATH": v2 has ID 0 and no controllers; v1 names "memory" among
    // its comma-separated controllers.
    for (std::string line; std::getline(groups, line);) {
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string_view controllers(line.data() + first + 1, second - first - 1);
        const std::string group = line.substr(second + 1);
        if (!group.starts_with('/')) continue;
        if (line.starts_with("0::")) {
            take(SmallestOnTheWayUp(root + "/sys/fs/cgroup", group, "memory.max"));
            continue;
        }
        std::stringstream names{std::string(controllers)};
        for (std::string name; std::getline(names, name, ',');) {
            if (name == "memory") {
                take(SmallestOnTheWayUp(root + "/sys/fs/cgroup/memory", group,
                                        "memory.limit_in_bytes"));
            }
        }
    }
    return smallest;
}

std::uint64_t MemoryLimit() {
    const std::uint64_t machine = PhysicalMemory();
    const std::uint64_t group = CgroupMemoryLimit("/");
    if (machine == 0 || group == 0) return std::max(machine, group);
    return std::min(machine, group);
}

}  // namespace dorvalix
