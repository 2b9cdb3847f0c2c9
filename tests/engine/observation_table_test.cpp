// SPDX-License-Identifier: GPL-3.0-or-later
#include "observation_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "errors.h"
#include "numtext.h"
#include "selection_sort.h"
#include "table_builder.h"

namespace dorvalix {
namespace {

using test::FillRows;

TEST(NormalizeCell, DKeepsItsTypedDecimals) {
    struct Case {
        int col;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {0, "3.23", " 3.23"},  {0, "2.5660", " 2.5660"}, {0, "3", " 3"},
        {0, "0.5", " 0.5"},    {0, "12.5", "12.5"},      {0, "100.5", "100.50"},
        {0, " 3.23", " 3.23"}, {0, "3.2300", " 3.2300"}, {0, "12", "12"},
        {0, "12.50", "12.50"}, {0, "3.1416", " 3.1416"}, {0, "  2.5  ", " 2.5"},
        {0, "", ""},           {1, "2", " 2"},           {1, "-1", "-1"},
        {2, "10", "10"},       {3, "7", " 7"},           {3, "", ""},
        {2, "x", " x"},        {1, "α", " α"},
    };
    for (const Case& c : cases) {
        std::string text = c.in;
        EXPECT_TRUE(NormalizeCell(c.col, text)) << c.in;
        EXPECT_EQ(text, c.out) << "column " << c.col << " '" << c.in << "'";
    }
    std::string bad = "abc";
    EXPECT_FALSE(NormalizeCell(0, bad));
    EXPECT_EQ(bad, "abc");
    std::string one = "a";  // a one-character d that is not a number stays as it is
    EXPECT_FALSE(NormalizeCell(0, one));
    EXPECT_EQ(one, "a");
}

// The rule written out with the exact formatters, as a reference.
std::string ReferenceRule(const std::string& text) {
    const long double x = ParseReal(text);
    const int n = static_cast<int>(Trim(text).size());
    if (x >= 10) return n > 3 ? FormatFixedExact(x, n - 3, 15) : FormatGeneralExact(x);
    return " " + (n > 2 ? FormatFixedExact(x, n - 2, 15) : FormatGeneralExact(x));
}

TEST(NormalizeCell, AgreesWithTheRuleOnManyTexts) {
    std::mt19937 rng(11);
    const char* shapes[] = {" d",    " d.f", "dd",    "dd.f", "d.f", "ddd.f",
                            "  d.f", "d",    "dd.f ", "-d.f", ".f",  "d.fe-1"};
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (const char* p = shapes[i % 12]; *p; ++p) {
            if (*p == 'd') {
                text += static_cast<char>('0' + rng() % 10);
            } else if (*p == 'f') {
                for (int k = 1 + static_cast<int>(rng() % 16); k > 0; --k)
                    text += static_cast<char>('0' + rng() % 10);
            } else {
                text += *p;
            }
        }
        std::string normalized = text;
        ASSERT_TRUE(NormalizeCell(0, normalized)) << text;
        ASSERT_EQ(normalized, ReferenceRule(text)) << "'" << text << "'";
    }
}

TEST(NormalizeCells, LastNonNumericDBecomesCurrent) {
    ObservationTable table;
    FillRows(table, {{"abc", "1", "2", "3"}, {"3.23", "1", "1", "0"}, {"x1", "2", "", ""}});
    const auto current = NormalizeCells(table);
    ASSERT_TRUE(current.has_value());
    EXPECT_EQ(*current, (CellRef{0, 3}));
    EXPECT_EQ(table.Cell(0, 1), "abc");
    EXPECT_EQ(table.Cell(1, 1), " 1");  // the pass goes on with the row's indices
    EXPECT_EQ(table.Cell(0, 2), " 3.23");
    EXPECT_EQ(table.Cell(1, 3), " 2");
    ObservationTable clean;
    FillRows(clean, {{"3.23", "1", "1", "0"}});
    EXPECT_FALSE(NormalizeCells(clean).has_value());
}

// Identifies rows by their h text.
std::vector<std::string> HColumn(const ObservationTable& t, int rows) {
    std::vector<std::string> out;
    for (int r = 1; r <= rows; ++r)
        out.push_back(t.Cell(1, r));
    return out;
}

TEST(SortRows, EmptyTableAndOneRow) {
    ObservationTable empty;
    SortRows(empty);
    EXPECT_EQ(empty.filled, 0u);
    EXPECT_EQ(empty.excluded, 0u);
    EXPECT_EQ(empty.included, 0u);

    ObservationTable one;
    FillRows(one, {{"2.5", "a", "", ""}}, 7);
    SortRows(one);
    EXPECT_EQ(one.filled, 1u);
    EXPECT_EQ(one.Cell(0, 1), "2.5");
    EXPECT_EQ(one.Cell(0, 7), "");
}

TEST(SortRows, CompactsHolesAndSortsLargestFirst) {
    ObservationTable t;
    FillRows(t, {{"", "x", "", ""}, {"2.5", "a", "", ""}, {"3.1", "b", "", ""}});
    SortRows(t);
    EXPECT_EQ(t.filled, 2u);
    EXPECT_EQ(t.Cell(0, 1), "3.1");
    EXPECT_EQ(t.Cell(0, 2), "2.5");
    EXPECT_EQ(t.Cell(0, 3), "");
    EXPECT_EQ(t.Cell(1, 3), "");  // the found row is emptied whole
}

TEST(SortRows, ZeroRowsAreReplacedOnlyFromBelow) {
    ObservationTable above;
    FillRows(above, {{"0", "z", "", ""}, {"2.0", "a", "", ""}});
    SortRows(above);
    EXPECT_EQ(above.filled, 1u);
    EXPECT_EQ(above.Cell(1, 1), "a");

    ObservationTable below;
    FillRows(below, {{"2.0", "a", "", ""}, {"0", "z", "", ""}});
    SortRows(below);
    EXPECT_EQ(below.filled, 2u);
    EXPECT_EQ(HColumn(below, 2), (std::vector<std::string>{"a", "z"}));
}

TEST(SortRows, BlankOnlyDIsAHoleButCountsWhenItStays) {
    ObservationTable t;
    FillRows(t, {{"  ", "blank", "", ""}, {"2.0", "a", "", ""}});
    SortRows(t);
    EXPECT_EQ(t.filled, 1u);
    EXPECT_EQ(t.Cell(1, 1), "a");

    ObservationTable stays;
    FillRows(stays, {{"2.0", "a", "", ""}, {"  ", "blank", "", ""}});
    EXPECT_THROW(SortRows(stays), ConversionError);  // counted, then read by the sort
    EXPECT_EQ(stays.filled, 2u);
}

TEST(SortRows, EqualValuesFollowTheExchanges) {
    ObservationTable t;
    FillRows(t, {{"2.0", "first", "", ""}, {"2.0", "second", "", ""}, {"3.0", "third", "", ""}});
    SortRows(t);
    EXPECT_EQ(HColumn(t, 3), (std::vector<std::string>{"third", "second", "first"}));
}

TEST(SortRows, ExclusionMarkersTravelWithTheirRows) {
    ObservationTable t;
    FillRows(t, {{"", "", "", ""},
                 {"1.5", "a", "", "", "  Exclude"},
                 {"2.5", "b", "", "", " +0.00010"},
                 {"1.9", "c", "", "", "  Exclude"}});
    SortRows(t);
    EXPECT_EQ(t.filled, 3u);
    EXPECT_EQ(t.excluded, 2u);
    EXPECT_EQ(t.included, 1u);
    EXPECT_EQ(HColumn(t, 3), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(t.Cell(4, 1), " +0.00010");
    EXPECT_TRUE(t.IsExcluded(2));
    EXPECT_TRUE(t.IsExcluded(3));
}

TEST(SortRows, MarkerMustMatchExactly) {
    ObservationTable t;
    FillRows(t, {{"1.5", "a", "", "", " Exclude"}, {"2.5", "b", "", "", "  exclude"}});
    SortRows(t);
    EXPECT_EQ(t.excluded, 0u);
}

TEST(SortRows, NonNumericDStopsTheSortAfterCounting) {
    ObservationTable t;
    FillRows(t,
             {{"1.5", "a", "", ""}, {"", "", "", ""}, {"3.2a", "b", "", ""}, {"4", "c", "", ""}});
    try {
        SortRows(t);
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'3.2a' は浮動小数点数ではありません");
    }
    EXPECT_EQ(t.filled, 3u);
    EXPECT_EQ(HColumn(t, 3), (std::vector<std::string>{"a", "b", "c"}));  // compacted, unsorted
}

// The plain selection sort with exchanges, as a reference.
std::vector<int> PlainSelectionSort(std::vector<int> keys, std::vector<int>& ids) {
    const int n = static_cast<int>(keys.size());
    for (int i = 0; i + 1 < n; ++i) {
        int best = i;
        for (int m = i + 1; m < n; ++m) {
            if (keys[m] > keys[best]) best = m;
        }
        std::swap(keys[i], keys[best]);
        std::swap(ids[i], ids[best]);
    }
    return keys;
}

std::vector<int> FastSelectionSort(std::vector<int> keys, std::vector<int>& ids, int& steps) {
    std::vector<int> tree(
        static_cast<std::size_t>(SelectionSortTreeSize(static_cast<int>(keys.size()))));
    steps = 0;
    SelectionSortExchanges(
        static_cast<int>(keys.size()), [&](int a, int b) { return keys[a] > keys[b]; },
        [&](int a, int b) {
            std::swap(keys[a], keys[b]);
            std::swap(ids[a], ids[b]);
        },
        [&](int) { ++steps; }, tree);
    return keys;
}

TEST(SelectionSort, FastExchangesEqualThePlainOnes) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = trial < 10 ? trial : 1 + static_cast<int>(rng() % 200);
        const int distinct = trial % 3 == 0 ? 2 : trial % 3 == 1 ? 5 : 1000;  // tie-heavy or not
        std::vector<int> keys(static_cast<std::size_t>(n));
        for (int& k : keys)
            k = static_cast<int>(rng() % static_cast<unsigned>(distinct));
        if (trial % 7 == 0) std::sort(keys.rbegin(), keys.rend());
        if (trial % 11 == 0) std::sort(keys.begin(), keys.end());
        std::vector<int> idsPlain(static_cast<std::size_t>(n)),
            idsFast(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            idsPlain[i] = idsFast[i] = i;
        int steps = 0;
        const auto plain = PlainSelectionSort(keys, idsPlain);
        const auto fast = FastSelectionSort(keys, idsFast, steps);
        ASSERT_EQ(plain, fast) << "trial " << trial;
        ASSERT_EQ(idsPlain, idsFast) << "trial " << trial;
        EXPECT_EQ(steps, std::max(0, n - 1));
    }
}

}  // namespace
}  // namespace dorvalix
