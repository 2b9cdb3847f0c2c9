// The selection sort of the hkl table, step for step, in O(n log n).
//
// The selection sort takes, for i = 0 .. n − 2, the first position j ≥ i of the largest d
// among positions i..n−1 and exchanges positions i and j. Look at it one d value at a time,
// largest first. While the group G of rows with the largest remaining d is being placed,
// position i holds either a member of G (then it is the first one, and stays) or another
// row, which is exchanged with the first member of G and so moves to that member's place.
// No other member of G moves. So the members of G are placed in the order of the positions
// they hold when G's turn comes, and step t of G exchanges position i₀ + t with the t-th of
// those positions. Sorting the rows by d once, and each group's current positions, gives
// every exchange of the selection sort without searching for the maximum.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "hkl_table.h"

namespace dorvalix {

namespace {

constexpr std::size_t kProgressInterval = 1 << 16;

// Row numbers ordered by d key, largest first (equal keys in any order): an LSD radix sort
// of (complemented key, row) pairs on the bits the keys use.
std::vector<std::uint32_t> RowsByKeyDescending(const HklTable& table) {
    const std::size_t n = table.size();
    std::uint32_t all_bits = 0;
    for (const HklReflection& r : table)
        all_bits |= r.d_key;
    int bits = 0;
    while (bits < 32 && (all_bits >> bits) != 0)
        ++bits;
    const std::uint32_t mask = bits == 32 ? ~0U : (1U << bits) - 1;
    std::vector<std::uint64_t> a(n), b(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t descending = ~table[i].d_key & mask;
        a[i] = (static_cast<std::uint64_t>(descending) << 32) | i;
    }
    constexpr int kDigitBits = 11;
    constexpr std::size_t kBuckets = 1 << kDigitBits;
    for (int shift = 0; shift < bits; shift += kDigitBits) {
        std::size_t count[kBuckets + 1] = {};
        for (std::uint64_t v : a)
            ++count[((v >> (32 + shift)) & (kBuckets - 1)) + 1];
        for (std::size_t bucket = 1; bucket <= kBuckets; ++bucket)
            count[bucket] += count[bucket - 1];
        for (std::uint64_t v : a)
            b[count[(v >> (32 + shift)) & (kBuckets - 1)]++] = v;
        a.swap(b);
    }
    std::vector<std::uint32_t> rows(n);
    for (std::size_t i = 0; i < n; ++i)
        rows[i] = static_cast<std::uint32_t>(a[i]);
    return rows;
}

}  // namespace

void SortHklTable(HklTable& table, const HklSortProgress& progress) {
    const std::size_t n = table.size();
    const std::size_t steps = n > 0 ? n - 1 : 0;
    if (progress) progress(0);
    bool ordered = true;
    for (std::size_t i = 1; i < n && ordered; ++i)
        ordered = table[i].d_key <= table[i - 1].d_key;
    if (ordered) {  // every step exchanges a row with itself
        if (progress) progress(steps);
        return;
    }

    const std::vector<std::uint32_t> by_key = RowsByKeyDescending(table);
    // row_at[p]: the original row now at position p; position_of[r]: where row r is now.
    std::vector<std::uint32_t> row_at(n), position_of(n);
    for (std::size_t i = 0; i < n; ++i) {
        row_at[i] = static_cast<std::uint32_t>(i);
        position_of[i] = static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t> group_positions;
    std::size_t next_report = kProgressInterval;
    std::size_t i = 0;  // the position being filled
    while (i < n) {
        const std::uint32_t key = table[by_key[i]].d_key;
        std::size_t end = i + 1;
        while (end < n && table[by_key[end]].d_key == key)
            ++end;
        group_positions.clear();
        for (std::size_t g = i; g < end; ++g)
            group_positions.push_back(position_of[by_key[g]]);
        if (group_positions.size() == 2) {
            if (group_positions[1] < group_positions[0])
                std::swap(group_positions[0], group_positions[1]);
        } else if (group_positions.size() > 2) {
            std::sort(group_positions.begin(), group_positions.end());
        }
        for (const std::uint32_t p : group_positions) {
            if (p != i) {
                const std::uint32_t displaced = row_at[i];
                row_at[i] = row_at[p];
                row_at[p] = displaced;
                position_of[displaced] = p;
            }
            ++i;
        }
        if (progress && i >= next_report && i < steps) {
            progress(i);
            next_report = i + kProgressInterval;
        }
    }

    HklTable sorted(n);
    for (std::size_t p = 0; p < n; ++p)
        sorted[p] = table[row_at[p]];
    table.swap(sorted);
    if (progress) progress(steps);
}

}  // namespace dorvalix
