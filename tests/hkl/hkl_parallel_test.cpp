// SPDX-License-Identifier: GPL-3.0-or-later
// The table made on several threads is the table of the one-thread loop, byte for byte:
// generation, count, sort and texts, for every crystal system, both range choices, sorted
// and unsorted, with 1, 2 and 8 threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "crystal_system.h"
#include "hkl_generation.h"
#include "hkl_parallel.h"
#include "hkl_stream.h"
#include "hkl_table.h"
#include "hkl_text.h"
#include "selection_sort.h"

namespace dorvalix {
namespace {

constexpr int kThreadCounts[] = {1, 2, 8};

// The table as the loop over every triple makes it, one triple after the other.
HklTable FullLoopTable(const HklCell& cell, const IndexRange& range, const HklParameters& p) {
    HklTable table;
    EXPECT_TRUE(GenerateByFullLoop(MakeHklLoop(cell, range, p), kWindowMaxReflections, table));
    return table;
}

// The selection sort's order by its exchanges, one at a time (the tournament of the
// engine's selection sort).
std::vector<std::uint32_t> ExchangeOrder(const HklTable& table) {
    const int n = static_cast<int>(table.size());
    std::vector<std::uint32_t> order(table.size());
    std::iota(order.begin(), order.end(), 0U);
    std::vector<int> tree(static_cast<std::size_t>(SelectionSortTreeSize(n)));
    SelectionSortExchanges(
        n, [&](int a, int b) { return table[order[a]].d_key > table[order[b]].d_key; },
        [&](int a, int b) { std::swap(order[a], order[b]); }, [](int) {}, tree);
    return order;
}

std::string SerialText(const HklTable& table, const std::vector<std::uint32_t>& order,
                       HklLineEnd end) {
    HklTable rows;
    for (const std::uint32_t row : order)
        rows.push_back(table[row]);
    std::string text;
    AppendHklLines(text, rows.data(), 0, rows.size(), end);
    return text;
}

std::string Lines(const HklTable& table, std::span<const std::uint32_t> order, int threads) {
    std::string text;
    WriteHklLines(table, order, HklLineEnd::Lf, threads,
                  [&text](std::string_view block) { text.append(block); });
    return text;
}

bool SameRows(const HklTable& a, const HklTable& b) {
    auto same = [](const HklReflection& x, const HklReflection& y) {
        return x.h == y.h && x.k == y.k && x.l == y.l && x.d_key == y.d_key &&
               x.two_theta == y.two_theta && x.flags == y.flags;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

struct Case {
    const char* what;
    int system;
    HklCell cell;
    long double d_min;
};

// One cell of each system, each table some tens of thousands of reflections "all" (ties
// galore among the symmetry equivalents), some of them cut by λ ÷ 2 = 0.355 Å as well.
const Case kCases[] = {
    {"none chosen", 0, CellFromDegrees(7.1L, 8.2L, 9.3L, 80, 95, 105), 0.45L},
    {"cubic", kCubic, CellFromDegrees(12.4L, 12.4L, 12.4L, 90, 90, 90), 0.5L},
    {"hexagonal", kHexagonal, CellFromDegrees(6.2L, 6.2L, 11.3L, 90, 90, 120), 0.35L},
    {"tetragonal", kTetragonal, CellFromDegrees(4.9L, 4.9L, 8.1L, 90, 90, 90), 0.3L},
    {"orthorhombic", kOrthorhombic, CellFromDegrees(7.1L, 8.2L, 9.3L, 90, 90, 90), 0.45L},
    {"monoclinic β", kMonoclinicBeta, CellFromDegrees(9.75L, 8.93L, 5.25L, 90, 105.83L, 90), 0.4L},
    {"triclinic", kTriclinic, CellFromDegrees(7.1L, 8.2L, 9.3L, 80, 95, 105), 0.42L},
    {"monoclinic γ", kMonoclinicGamma, CellFromDegrees(9.75L, 8.93L, 5.25L, 90, 90, 112.1L), 0.4L},
    {"trigonal", kTrigonal, CellFromDegrees(5.0L, 5.0L, 13.7L, 90, 90, 120), 0.33L},
};

TEST(HklParallel, EverySystemAndChoiceGivesTheSerialTablesAndTexts) {
    for (const Case& c : kCases) {
        for (const char* choice : {"all", "asym"}) {
            SCOPED_TRACE(std::string(c.what) + " " + choice);
            IndexRange range;
            ASSERT_FALSE(ComputeIndexRange(c.cell, c.d_min, range));
            const HklParameters p{c.system, choice, 0.710678L, c.d_min};
            const HklTable serial = FullLoopTable(c.cell, range, p);
            ASSERT_GT(serial.size(), 200u);
            const std::vector<std::uint32_t> exchanges = ExchangeOrder(serial);
            std::vector<std::uint32_t> identity(serial.size());
            std::iota(identity.begin(), identity.end(), 0U);
            const std::string unsorted = SerialText(serial, identity, HklLineEnd::Lf);
            const std::string sorted = SerialText(serial, exchanges, HklLineEnd::Lf);
            HklTable sorted_rows;
            for (const std::uint32_t row : exchanges)
                sorted_rows.push_back(serial[row]);
            for (const int threads : kThreadCounts) {
                SCOPED_TRACE(threads);
                HklTable table;
                ASSERT_FALSE(GenerateHklTable(c.cell, range, p, table, kWindowLimit, threads));
                ASSERT_TRUE(SameRows(table, serial));
                EXPECT_EQ(CountHklReflections(c.cell, range, p, kWindowMaxReflections, threads),
                          serial.size());
                EXPECT_EQ(Lines(table, {}, threads), unsorted);

                const std::vector<std::uint32_t> order = HklSortOrder(table, {}, threads);
                ASSERT_EQ(order, exchanges);
                EXPECT_EQ(Lines(table, order, threads), sorted);
                std::string written;
                WriteSortedHklLines(table, HklLineEnd::Lf, threads,
                                    [&](std::string_view b) { written.append(b); });
                EXPECT_EQ(written, sorted);
                HklTable moved = table;
                SortHklTable(moved, {}, threads);
                EXPECT_TRUE(SameRows(moved, sorted_rows));
                const int rows = HklGridRowCount(moved.size());
                EXPECT_EQ(CopyHklTable(moved, rows, threads), CopyHklTable(moved, rows, 1));

                std::string streamed;
                ASSERT_FALSE(StreamHklLines(c.cell, range, p, kWindowLimit, HklLineEnd::Lf, threads,
                                            [&](std::string_view b) { streamed.append(b); }));
                EXPECT_EQ(streamed, unsorted);
            }
        }
    }
}

// Every lattice centring leaves out the same reflections on any number of threads, and the
// count from the index range knows which.
TEST(HklParallel, CentredLatticesGiveTheSerialTables) {
    const Case cells[] = {kCases[6], kCases[1], kCases[8]};  // triclinic, cubic, trigonal
    for (const Case& c : cells) {
        IndexRange range;
        ASSERT_FALSE(ComputeIndexRange(c.cell, c.d_min, range));
        for (const char* choice : {"all", "asym"}) {
            for (int lattice = 0; lattice < 7; ++lattice) {
                const HklParameters p{c.system, choice, 0.710678L, c.d_min,
                                      static_cast<Centring>(lattice)};
                SCOPED_TRACE(std::string(c.what) + " " + choice + " " + CentringLetter(p.lattice));
                const HklTable serial = FullLoopTable(c.cell, range, p);
                ASSERT_GT(serial.size(), 20u);
                for (const int threads : kThreadCounts) {
                    HklTable table;
                    ASSERT_FALSE(GenerateHklTable(c.cell, range, p, table, kWindowLimit, threads));
                    EXPECT_TRUE(SameRows(table, serial)) << threads;
                    EXPECT_EQ(CountHklReflections(c.cell, range, p, kWindowMaxReflections, threads),
                              serial.size())
                        << threads;
                }
            }
        }
    }
}

// The plan is made for ordinary cells; the mirrored half only for every reflection over a
// range symmetric about 0.
TEST(HklParallel, PlanAndMirrorAreUsedWhereTheyHold) {
    const HklCell cell = CellFromDegrees(7.1L, 8.2L, 9.3L, 80, 95, 105);
    IndexRange range;
    ASSERT_FALSE(ComputeIndexRange(cell, 0.8L, range));
    const HklLoop all = MakeHklLoop(cell, range, {kTriclinic, "all", 1.54178L, 0.8L});
    EXPECT_TRUE(all.planned);
    EXPECT_TRUE(all.mirrored);
    EXPECT_FALSE(MakeHklLoop(cell, range, {kTriclinic, "asym", 1.54178L, 0.8L}).mirrored);
    const IndexRange lopsided{-3, 9, -2, 11, -10, 1};
    EXPECT_FALSE(MakeHklLoop(cell, lopsided, {kTriclinic, "all", 1.54178L, 0.8L}).mirrored);
    // A range far beyond what the cell needs (the window keeps its range when the cell
    // changes): the terms grow too large beside the limit for the plan's margins.
    EXPECT_FALSE(MakeHklLoop(CellFromDegrees(1, 5, 5, 90, 90, 90), {-40000, 40000, -1, 1, -1, 1},
                             {0, "all", 0.5L, 0.9L})
                     .planned);
}

// Ranges the window can hold after the cell or the minimum d changed under them: not
// symmetric, larger or smaller than the cell needs, and cells near the limits of the plan.
TEST(HklParallel, OtherRangesAndAwkwardCellsGiveTheSerialTables) {
    struct Other {
        HklCell cell;
        IndexRange range;
        const char* choice;
        int system;
        long double d_min, wavelength;
    };
    const Other cases[] = {
        {CellFromDegrees(7.1L, 8.2L, 9.3L, 80, 95, 105),
         {-3, 9, -2, 11, -10, 1},
         "all",
         6,
         0.6L,
         1.54178L},
        {CellFromDegrees(7.1L, 8.2L, 9.3L, 80, 95, 105),
         {-40, 40, -40, 40, -40, 40},
         "all",
         6,
         0.9L,
         1.54178L},
        {CellFromDegrees(12.4L, 12.4L, 12.4L, 90, 90, 90),
         {-7, 7, -7, 7, -7, 7},
         "all",
         1,
         0.5L,
         0.710678L},
        {CellFromDegrees(5, 5, 5, 119.9L, 119.9L, 119.9L),
         {-30, 30, -30, 30, -30, 30},
         "all",
         0,
         0.5L,
         0.710678L},
        // Nearly flat (170° + 170° + 20° would enclose no volume at all).
        {CellFromDegrees(5, 5, 5, 170, 170, 19.9L),
         {-15, 15, -15, 15, -15, 15},
         "all",
         0,
         0.6L,
         0.710678L},
        {CellFromDegrees(2, 50, 3, 60, 110, 100),
         {-4, 4, -90, 90, -5, 5},
         "asym",
         6,
         0.5L,
         0.710678L},
        {CellFromDegrees(1, 5, 5, 90, 90, 90), {-40000, 40000, -1, 1, -1, 1}, "all", 0, 0.9L, 0.5L},
        {CellFromDegrees(100, 1, 1, 90, 90, 90), {-334, 334, -4, 4, -4, 4}, "all", 4, 0.3L, 0.5L},
    };
    for (const Other& c : cases) {
        const HklParameters p{c.system, c.choice, c.wavelength, c.d_min};
        const HklTable serial = FullLoopTable(c.cell, c.range, p);
        for (const int threads : kThreadCounts) {
            HklTable table;
            ASSERT_FALSE(GenerateHklTable(c.cell, c.range, p, table, kWindowLimit, threads));
            EXPECT_TRUE(SameRows(table, serial))
                << c.range.hmax << " " << c.choice << " " << threads << ": " << table.size()
                << " rows, " << serial.size() << " expected";
        }
    }
}

TEST(HklParallel, AsymmetricUnitRowsAreIntervals) {
    for (int system = 0; system <= 9; ++system) {
        for (int h = -7; h <= 7; ++h) {
            for (int k = -7; k <= 7; ++k) {
                long long lo, hi;
                AsymmetricUnitL(system, h, k, lo, hi);
                for (int l = -9; l <= 9; ++l) {
                    ASSERT_EQ(InAsymmetricUnit(system, h, k, l), l >= lo && l <= hi)
                        << system << ": " << h << " " << k << " " << l;
                }
            }
        }
    }
}

// The pieces cover the rows once, in order, and mirror each other.
TEST(HklParallel, PiecesCoverTheRowsAndMirrorEachOther) {
    const IndexRange ranges[] = {{-3, 3, -2, 2, -1, 1},
                                 {-40, 40, -40, 40, -40, 40},
                                 {-200, 200, -1, 1, -1, 1},
                                 {-2, 2, -2, 2, -9000, 9000},
                                 {0, 0, 0, 0, 0, 0}};
    for (const IndexRange& r : ranges) {
        const std::vector<HklPiece> pieces = HklPieces(r);
        const long long rows = (2LL * r.hmax + 1) * (2LL * r.kmax + 1);
        ASSERT_FALSE(pieces.empty());
        EXPECT_EQ(pieces.front().row_begin, 0);
        EXPECT_EQ(pieces.back().row_end, rows);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_LT(pieces[i].row_begin, pieces[i].row_end);
            if (i > 0) {
                EXPECT_EQ(pieces[i].row_begin, pieces[i - 1].row_end);
            }
            const HklPiece& mirror = pieces[pieces.size() - 1 - i];
            EXPECT_EQ(mirror.row_begin, rows - pieces[i].row_end);
        }
    }
}

// Work handed out to threads: every piece done once, results in piece order, and the
// first failure reported.
TEST(HklParallel, PiecesAreHandedOutOnceAndTextsComeInOrder) {
    for (const int threads : kThreadCounts) {
        std::vector<int> done(1000, 0);
        ForEachPiece(done.size(), threads, [&](std::size_t i, int) { ++done[i]; });
        EXPECT_EQ(std::count(done.begin(), done.end(), 1), 1000);

        std::string joined;
        ProduceInOrder(
            300, threads, [](std::size_t i, std::string& text) { text = std::to_string(i) + ","; },
            [&](std::string_view text) { joined.append(text); });
        std::string expected;
        for (int i = 0; i < 300; ++i)
            expected += std::to_string(i) + ",";
        EXPECT_EQ(joined, expected);

        EXPECT_THROW(ProduceInOrder(
                         300, threads,
                         [](std::size_t i, std::string&) {
                             if (i == 150) throw std::runtime_error("piece 150");
                         },
                         [](std::string_view) {}),
                     std::runtime_error);
        EXPECT_THROW(ForEachPiece(50, threads,
                                  [](std::size_t i, int) {
                                      if (i == 7) throw std::runtime_error("piece 7");
                                  }),
                     std::runtime_error);
    }
    EXPECT_EQ(HklThreadCount(3), 3);
    EXPECT_GE(HklThreadCount(0), 1);
}

}  // namespace
}  // namespace dorvalix
