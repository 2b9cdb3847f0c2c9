// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <vector>

#include "crystal_system.h"
#include "hkl_table.h"
#include "hkl_text.h"
#include "numtext.h"
#include "selection_sort.h"

namespace dorvalix {
namespace {

// The selection sort as the table's rows are sorted by hand: for each row i, the first row
// of the largest d among rows i..n (d read back from its text), exchanged with row i.
void DirectSelectionSort(HklTable& t) {
    std::vector<long double> d(t.size());
    for (std::size_t i = 0; i < t.size(); ++i)
        d[i] = ParseReal(HklCellText(t[i], 0));
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        std::size_t at = i;
        for (std::size_t j = i + 1; j < t.size(); ++j)
            if (d[j] > d[at]) at = j;
        std::swap(t[i], t[at]);
        std::swap(d[i], d[at]);
    }
}

// Rows told apart by h (their number in the original order).
HklTable Rows(const std::vector<long double>& d) {
    HklTable t;
    for (std::size_t i = 0; i < d.size(); ++i)
        t.push_back(MakeReflection(static_cast<int>(i), 0, 0, d[i], 30));
    return t;
}

std::vector<int> Order(const HklTable& t) {
    std::vector<int> order;
    for (const HklReflection& r : t)
        order.push_back(r.h);
    return order;
}

// The sort on one thread, on the number the machine gives, and on 2 and 8 threads.
constexpr int kThreadCounts[] = {1, 0, 2, 8};

void ExpectSameAsDirect(const HklTable& table, const char* what,
                        std::span<const int> thread_counts = kThreadCounts) {
    HklTable direct = table;
    DirectSelectionSort(direct);
    for (const int threads : thread_counts) {
        HklTable fast = table;
        SortHklTable(fast, {}, threads);
        ASSERT_EQ(Order(fast), Order(direct))
            << what << ", n = " << table.size() << ", " << threads << " threads";
    }
}

TEST(HklSort, SmallTieHeavyTables) {
    // 2.0 and 2.00004 show the same text, 9.99996 and 10 the same value after different
    // blanks: both pairs are ties for the sort.
    const long double pool[] = {1.0L, 1.5L, 2.0L, 2.00004L, 9.99996L, 10.0L, 3.25L};
    std::mt19937 rng(11);
    for (int trial = 0; trial < 3000; ++trial) {
        const std::size_t n = rng() % 41;
        const std::size_t distinct = 1 + rng() % 7;
        std::vector<long double> d(n);
        for (long double& v : d)
            v = pool[rng() % distinct];
        // Starting threads costs more than these sorts: most run on one or the machine's.
        constexpr int kFew[] = {1, 0};
        ExpectSameAsDirect(Rows(d), "tie-heavy",
                           trial % 25 == 0 ? std::span<const int>(kThreadCounts) : kFew);
    }
}

// d from a fraction of an ångström to beyond 10⁵: keys too far apart to be counted, sorted
// by comparison instead; the order is the same.
TEST(HklSort, KeysSpreadFarApart) {
    const long double pool[] = {0.5L, 0.50004L, 150, 150.00004L, 2000, 40000, 9e5L, 3.25L};
    std::mt19937 rng(14);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<long double> d(1 + rng() % 400);
        for (long double& v : d)
            v = pool[rng() % 8];
        constexpr int kFew[] = {1, 2};
        ExpectSameAsDirect(Rows(d), "spread",
                           trial % 20 == 0 ? std::span<const int>(kThreadCounts) : kFew);
    }
}

TEST(HklSort, RandomAndLargerTables) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> spread(0.5, 30);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<long double> d(300);
        for (long double& v : d)
            v = spread(rng);
        ExpectSameAsDirect(Rows(d), "random");
    }
    std::vector<long double> ties(1500);
    for (long double& v : ties)
        v = 1 + (rng() % 6) * 0.25L;
    ExpectSameAsDirect(Rows(ties), "six values");
    // Sorted, reversed and nearly sorted.
    std::vector<long double> ordered(500);
    for (std::size_t i = 0; i < ordered.size(); ++i)
        ordered[i] = 60 - i * 0.1L;
    ExpectSameAsDirect(Rows(ordered), "ordered");
    std::reverse(ordered.begin(), ordered.end());
    ExpectSameAsDirect(Rows(ordered), "reversed");
    std::swap(ordered[10], ordered[400]);
    ExpectSameAsDirect(Rows(ordered), "nearly sorted");
}

TEST(HklSort, GeneratedTables) {
    // Friedel mates and symmetry equivalents give runs of equal d in loop order.
    struct Case {
        HklCell cell;
        int system;
        const char* choice;
        long double d_min;
    };
    const Case cases[] = {
        {CellFromDegrees(9.1L, 9.1L, 9.1L, 90, 90, 90), kCubic, "all", 1.3L},
        {CellFromDegrees(6.2L, 6.2L, 11.3L, 90, 90, 120), kHexagonal, "all", 1.2L},
        {CellFromDegrees(10, 12, 15, 60, 110, 75), kTriclinic, "all", 1.9L},
        {CellFromDegrees(12.4L, 12.4L, 12.4L, 90, 90, 90), kCubic, "asym", 0.8L},
    };
    for (const Case& c : cases) {
        IndexRange range;
        ASSERT_FALSE(ComputeIndexRange(c.cell, c.d_min, range));
        HklTable table;
        ASSERT_FALSE(
            GenerateHklTable(c.cell, range, {c.system, c.choice, 1.54178L, c.d_min}, table));
        for (std::size_t i = 0; i < table.size(); ++i)
            table[i].h = static_cast<int>(i);
        ASSERT_GT(table.size(), 300u);
        ExpectSameAsDirect(table, c.choice);
    }
}

// On a table too large for the direct sort, and large enough to be sorted on every core:
// the tournament of the selection sort's exchanges gives the same order.
TEST(HklSort, LargeTableAgreesWithTheTournament) {
    std::mt19937 rng(13);
    std::vector<long double> d(200000);
    for (long double& v : d)
        v = 0.5L + (rng() % 20000) * 0.0001L;  // about ten rows per d text
    HklTable fast = Rows(d);
    HklTable tournament = fast;
    std::vector<int> tree(static_cast<std::size_t>(SelectionSortTreeSize(200000)));
    SelectionSortExchanges(
        200000, [&](int a, int b) { return tournament[a].d_key > tournament[b].d_key; },
        [&](int a, int b) { std::swap(tournament[a], tournament[b]); }, [](int) {}, tree);

    for (const int threads : {2, 8}) {
        HklTable other = fast;
        SortHklTable(other, {}, threads);
        EXPECT_EQ(Order(other), Order(tournament)) << threads;
        std::vector<std::uint32_t> order = HklSortOrder(fast, {}, threads);
        ASSERT_EQ(order.size(), fast.size());
        EXPECT_EQ(static_cast<int>(order[0]), Order(tournament)[0]);  // rows told apart by h
        for (std::size_t p = 0; p < order.size(); ++p)
            ASSERT_EQ(fast[order[p]].h, tournament[p].h) << p;
    }
    std::vector<std::size_t> progress;
    SortHklTable(fast, [&](std::size_t done) { progress.push_back(done); });
    EXPECT_EQ(Order(fast), Order(tournament));

    // The bar runs from 0 to n − 1, forward only.
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 0u);
    EXPECT_EQ(progress.back(), 199999u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST(HklSort, EmptyAndSingleRowTables) {
    for (std::size_t n : {0u, 1u}) {
        HklTable table = Rows(std::vector<long double>(n, 2));
        std::vector<std::size_t> progress;
        SortHklTable(table, [&](std::size_t done) { progress.push_back(done); });
        EXPECT_EQ(table.size(), n);
        EXPECT_EQ(progress, (std::vector<std::size_t>{0, 0}));
    }
}

}  // namespace
}  // namespace dorvalix
