// SPDX-License-Identifier: GPL-3.0-or-later
// The selection sort of the hkl table, step for step, in O(n) after a sort by d.
//
// The selection sort takes, for i = 0 .. n − 2, the first position j ≥ i of the largest d
// among positions i..n−1 and exchanges positions i and j. Look at it one d value at a time,
// largest first. While the group G of rows with the largest remaining d is being placed,
// position i holds either a member of G (then it is the first one, and stays) or another
// row, which is exchanged with the first member of G and so moves to that member's place.
// No other member of G moves. So the members of G are placed in the order of the positions
// they hold when G's turn comes, and step t of G exchanges position i₀ + t with the t-th of
// those positions.
//
// A row that the sort has not reached (its first position is at or beyond i₀) still holds
// it; only a row that was in the way of an earlier exchange has moved, and only forward.
// So the rows are first sorted by d, largest first and in table order among equal d (each
// thread counts the d values of its part of the table and the parts are merged by those
// counts, in parallel), and then the groups are played through once, keeping track of the
// rows that were moved. That pass does O(n) work but follows the exchanges in order, so it
// runs on one thread; it reports the progress.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "hkl_parallel.h"
#include "hkl_table.h"

namespace dorvalix {

namespace {

constexpr std::size_t kProgressInterval = 1 << 16;
// Rows placed between two calls of the placed callback.
constexpr std::size_t kPlacedInterval = 1 << 12;

// Below this many rows one thread sorts faster than several start (unless a number of
// threads is asked for).
constexpr std::size_t kParallelRows = 1 << 15;

int ThreadsFor(std::size_t n, int requested) {
    if (requested > 0) return HklThreadCount(requested);
    return n >= kParallelRows ? HklThreadCount(0) : 1;
}

// An array of zeros that costs nothing until it is written (large blocks come from the
// system already cleared).
struct ZeroArray {
    explicit ZeroArray(std::size_t n)
        : data(static_cast<std::uint32_t*>(std::calloc(std::max<std::size_t>(n, 1), 4)),
               &std::free) {
        if (!data) throw std::bad_alloc();
    }
    std::unique_ptr<std::uint32_t, decltype(&std::free)> data;
    std::uint32_t& operator[](std::size_t i) { return data.get()[i]; }
};

struct KeySpan {
    std::uint32_t low = ~0U, high = 0;
    bool descending = true;  // every key at most the one before it
};

KeySpan SpanOfKeys(const HklTable& table, int threads) {
    std::vector<KeySpan> parts(static_cast<std::size_t>(threads));
    const std::size_t n = table.size();
    RunOnThreads(threads, [&](int t) {
        KeySpan& part = parts[static_cast<std::size_t>(t)];
        const std::size_t begin = PartBegin(n, threads, t), end = PartBegin(n, threads, t + 1);
        // The first row of a part is compared with the last of the part before.
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t key = table[i].d_key;
            part.low = std::min(part.low, key);
            part.high = std::max(part.high, key);
            if (i > 0 && key > table[i - 1].d_key) part.descending = false;
        }
    });
    KeySpan all;
    for (const KeySpan& part : parts) {
        all.low = std::min(all.low, part.low);
        all.high = std::max(all.high, part.high);
        all.descending = all.descending && part.descending;
    }
    return all;
}

// The rows ordered by d key, largest first, in table order among equal keys, and the end
// of each run of equal keys.
struct RowsByKey {
    std::vector<std::uint32_t> rows;
    std::vector<std::uint32_t> group_ends;
};

// Each thread counts the keys of its part of the table; the counts, taken key by key and
// part by part, give every row its place, and each thread puts its rows there. The keys of
// a table are its d texts, of which a few thousand distinct ones share many rows.
void CountingSort(const HklTable& table, const KeySpan& span, int threads, RowsByKey& out) {
    const std::size_t n = table.size();
    const std::size_t buckets = static_cast<std::size_t>(span.high - span.low) + 1;
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(threads) * buckets, 0);
    auto bucket = [&](std::size_t row) { return span.high - table[row].d_key; };
    RunOnThreads(threads, [&](int t) {
        std::uint32_t* mine = counts.data() + static_cast<std::size_t>(t) * buckets;
        const std::size_t end = PartBegin(n, threads, t + 1);
        for (std::size_t row = PartBegin(n, threads, t); row < end; ++row)
            ++mine[bucket(row)];
    });
    std::uint32_t start = 0;
    for (std::size_t b = 0; b < buckets; ++b) {
        const std::uint32_t group_start = start;
        for (int t = 0; t < threads; ++t) {
            std::uint32_t& count = counts[static_cast<std::size_t>(t) * buckets + b];
            const std::uint32_t c = count;
            count = start;  // where part t's first row of this key goes
            start += c;
        }
        if (start != group_start) out.group_ends.push_back(start);
    }
    out.rows.resize(n);
    RunOnThreads(threads, [&](int t) {
        std::uint32_t* next = counts.data() + static_cast<std::size_t>(t) * buckets;
        const std::size_t end = PartBegin(n, threads, t + 1);
        for (std::size_t row = PartBegin(n, threads, t); row < end; ++row)
            out.rows[next[bucket(row)]++] = static_cast<std::uint32_t>(row);
    });
}

// For keys spread too thinly for counting: (complemented key, row) pairs sorted.
void ComparisonSort(const HklTable& table, RowsByKey& out) {
    const std::size_t n = table.size();
    std::vector<std::uint64_t> pairs(n);
    for (std::size_t i = 0; i < n; ++i)
        pairs[i] = (static_cast<std::uint64_t>(~table[i].d_key) << 32) | i;
    std::sort(pairs.begin(), pairs.end());
    out.rows.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.rows[i] = static_cast<std::uint32_t>(pairs[i]);
        if (i + 1 == n || (pairs[i + 1] >> 32) != (pairs[i] >> 32))
            out.group_ends.push_back(static_cast<std::uint32_t>(i + 1));
    }
}

// Sorts (position << 32 | row) pairs by position. The positions of a large group's moved
// members are in no order at all: a radix sort on the position's bytes beats comparisons.
void SortByPosition(std::vector<std::uint64_t>& pairs, std::vector<std::uint64_t>& scratch) {
    constexpr std::size_t kRadixFrom = 256;
    if (pairs.size() < kRadixFrom) {
        std::sort(pairs.begin(), pairs.end());
        return;
    }
    std::uint64_t all = 0;
    for (const std::uint64_t p : pairs)
        all |= p;
    scratch.resize(pairs.size());
    for (int shift = 32; shift < 64 && (all >> shift) != 0; shift += 8) {
        std::size_t count[257] = {};
        for (const std::uint64_t p : pairs)
            ++count[((p >> shift) & 0xFF) + 1];
        for (int b = 1; b <= 256; ++b)
            count[b] += count[b - 1];
        for (const std::uint64_t p : pairs)
            scratch[count[(p >> shift) & 0xFF]++] = p;
        pairs.swap(scratch);
    }
}

// Plays the groups through in place: on return rows[p] is the row the selection sort
// puts at position p.
void PlaceGroups(RowsByKey& by_key, const HklSortProgress& progress, const HklPlaced& placed) {
    std::vector<std::uint32_t>& rows = by_key.rows;
    const std::size_t n = rows.size();
    const std::size_t steps = n - 1;
    // slot[j] for a position j not yet filled: 1 + the row that now holds it, or 0 while its
    // own row does. slot[x] for a row x that lies before the position being filled and has
    // not been placed: 1 + the position it was moved to. A position's slot is done with
    // before the row of the same number can first move, so one array serves both.
    ZeroArray slot(n);
    std::vector<std::uint64_t> moved, scratch;  // (position, row) of a group's moved members
    std::size_t next_report = kProgressInterval;
    std::size_t next_placed = kPlacedInterval;
    std::size_t i = 0;  // the position being filled
    for (const std::uint32_t end : by_key.group_ends) {
        // The members in table order: first those before i (moved out of the way earlier),
        // then those still at their own positions, which are in order already.
        std::size_t own = i;
        while (own < end && rows[own] < i)
            ++own;
        moved.clear();
        // The slots lie all over the array: each is asked for well before it is read, and
        // the places the members go to as well.
        constexpr std::size_t kAhead = 16;
        for (std::size_t g = i; g < own; ++g) {
            if (g + kAhead < own) __builtin_prefetch(&slot[rows[g + kAhead]]);
            moved.push_back((static_cast<std::uint64_t>(slot[rows[g]] - 1) << 32) | rows[g]);
        }
        for (std::size_t g = own; g < end && g < own + kAhead; ++g)
            __builtin_prefetch(&slot[rows[g]], 1);
        SortByPosition(moved, scratch);
        // Merged by position; the placed members overwrite entries already read.
        std::size_t a = 0, b = own;
        for (std::size_t out = i; out < end; ++out) {
            std::uint32_t position, member;
            if (b >= end || (a < moved.size() && (moved[a] >> 32) < rows[b])) {
                position = static_cast<std::uint32_t>(moved[a] >> 32);
                member = static_cast<std::uint32_t>(moved[a]);
                if (a + kAhead < moved.size())
                    __builtin_prefetch(&slot[moved[a + kAhead] >> 32], 1);
                ++a;
            } else {
                position = member = rows[b];
                if (b + kAhead < end) __builtin_prefetch(&slot[rows[b + kAhead]], 1);
                ++b;
            }
            if (position != out) {  // the row at `out` goes to the member's place
                const std::uint32_t held = slot[out];
                const std::uint32_t displaced =
                    held != 0 ? held - 1 : static_cast<std::uint32_t>(out);
                slot[position] = displaced + 1;
                slot[displaced] = position + 1;
            }
            rows[out] = member;
        }
        i = end;
        if (progress && i >= next_report && i < steps) {
            progress(i);
            next_report = i + kProgressInterval;
        }
        if (placed && i >= next_placed && i < n) {
            placed(std::span<const std::uint32_t>(rows.data(), i));
            next_placed = i + kPlacedInterval;
        }
    }
}

}  // namespace

std::vector<std::uint32_t> HklSortOrder(const HklTable& table, const HklSortProgress& progress,
                                        int threads, const HklPlaced& placed) {
    const std::size_t n = table.size();
    const std::size_t steps = n > 0 ? n - 1 : 0;
    if (progress) progress(0);
    threads = ThreadsFor(n, threads);
    RowsByKey by_key;
    const KeySpan span = n > 0 ? SpanOfKeys(table, threads) : KeySpan{};
    if (span.descending) {  // every step exchanges a row with itself
        by_key.rows.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            by_key.rows[i] = static_cast<std::uint32_t>(i);
    } else {
        // Counting needs a counter for each key between the smallest and the largest.
        const std::size_t buckets = static_cast<std::size_t>(span.high - span.low) + 1;
        if (buckets <= 4 * n + 65536) {
            CountingSort(table, span, threads, by_key);
        } else {
            ComparisonSort(table, by_key);
        }
        PlaceGroups(by_key, progress, placed);
    }
    if (placed) placed(by_key.rows);
    if (progress) progress(steps);
    return std::move(by_key.rows);
}

void SortHklTable(HklTable& table, const HklSortProgress& progress, int threads) {
    const std::vector<std::uint32_t> order = HklSortOrder(table, progress, threads);
    const std::size_t n = table.size();
    bool moved = false;
    for (std::size_t p = 0; p < n && !moved; ++p)
        moved = order[p] != p;
    if (!moved) return;
    threads = ThreadsFor(n, threads);
    HklTable sorted(n);
    RunOnThreads(threads, [&](int t) {
        const std::size_t end = PartBegin(n, threads, t + 1);
        for (std::size_t p = PartBegin(n, threads, t); p < end; ++p)
            sorted[p] = table[order[p]];
    });
    table.swap(sorted);
}

}  // namespace dorvalix
