// SPDX-License-Identifier: GPL-3.0-or-later
#include "observation_table.h"

#include <algorithm>

#include "errors.h"
#include "numtext.h"
#include "selection_sort.h"

namespace dorvalix {

ObservationTable::ObservationTable() {
    for (int c = 0; c < kTableColumns; ++c)
        rows[0][static_cast<std::size_t>(c)] = kObservationHeaders[static_cast<std::size_t>(c)];
}

void ObservationTable::ClearRow(int row) {
    for (auto& cell : rows[static_cast<std::size_t>(row)])
        cell.clear();
}

void ObservationTable::ClearData() {
    for (int r = 1; r <= kMaxObservations; ++r)
        ClearRow(r);
}

namespace {

bool IsOneCharacter(const std::string& text) {
    if (text.empty() || text.size() > 4) return false;
    // An ASCII first byte is a character of its own; otherwise count the UTF-8 sequence.
    if (static_cast<unsigned char>(text[0]) < 0x80) return text.size() == 1;
    return CharCount(text) == 1;
}

// Whether the rule would give the text back unchanged, judged from its form alone: one
// blank and one digit (" 3"), or one blank, one digit, a point and decimals (" 3.23"), or
// two digits without a leading zero ("12"), or those and decimals ("12.50"). With at most
// 15 digits the number reads back to the same digits in the same number of decimals.
bool IsNormalizedDText(std::string_view t) {
    auto digits = [](std::string_view s) {
        return !s.empty() &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (t.size() > 16) return false;
    std::string_view whole = t;
    std::string_view fraction;
    if (const auto dot = t.find('.'); dot != std::string_view::npos) {
        whole = t.substr(0, dot);
        fraction = t.substr(dot + 1);
        if (!digits(fraction)) return false;
    }
    if (whole.size() == 2 && whole[0] == ' ') return digits(whole.substr(1));
    return whole.size() == 2 && whole[0] != '0' && digits(whole);
}

// The column-0 rule on a non-empty text. Returns false when the text is not a number;
// otherwise `value` is the number of the text as it stands afterwards.
bool NormalizeDText(std::string& text, long double& value) {
    long double x;
    if (!TryParseReal(text, x)) return false;
    if (IsNormalizedDText(text)) {
        value = x;
        return true;
    }
    const int n = static_cast<int>(Trim(text).size());  // a number is plain ASCII
    // A d keeps the decimals it was typed with, assuming one integer digit below 10 and two
    // from 10 up; values below 10 get one blank so that the decimal points line up.
    char buf[kFixedTextCapacity + 1];
    std::size_t len = 0;
    if (x < 10) buf[len++] = ' ';
    const int decimals = n - (x >= 10 ? 3 : 2);
    if (decimals > 0) {
        len += FormatFixedTo(x, decimals, 15, buf + len);
    } else {
        const std::string general = FormatGeneral(x);
        const std::size_t glen = std::min(general.size(), kFixedTextCapacity);
        general.copy(buf + len, glen);
        len += glen;
    }
    // A formatted d is never one character long, so the one-character rule has no effect.
    value = x;
    if (std::string_view(buf, len) != text) {
        // The new text may stand for a rounded number (fewer digits than were typed).
        text.assign(buf, len);
        TryParseReal(text, value);
    }
    return true;
}

}  // namespace

bool NormalizeCell(int col, std::string& text) {
    if (col != 0) {
        if (IsOneCharacter(text)) text.insert(0, 1, ' ');
        return true;
    }
    long double value;
    return text.empty() || NormalizeDText(text, value);
}

std::optional<long double> DValueOf(const ObservationTable& table, int row,
                                    const DValueCache* cache) {
    if (cache != nullptr && cache->known[static_cast<std::size_t>(row)]) {
        return cache->value[static_cast<std::size_t>(row)];
    }
    long double v;
    if (!TryParseReal(table.Cell(0, row), v)) return std::nullopt;
    return v;
}

std::optional<CellRef> NormalizeCells(ObservationTable& table, DValueCache* cache) {
    std::optional<CellRef> current;
    for (int r = 1; r <= kMaxObservations; ++r) {
        std::string& d = table.Cell(0, r);
        bool known = false;
        long double value = 0;
        if (!d.empty()) {
            known = NormalizeDText(d, value);
            if (!known) current = CellRef{0, r};
        }
        if (cache != nullptr) {
            cache->known[static_cast<std::size_t>(r)] = known;
            cache->value[static_cast<std::size_t>(r)] = value;
        }
        for (int c = 1; c < 4; ++c)
            NormalizeCell(c, table.Cell(c, r));
    }
    return current;
}

std::uint32_t CountFilledRows(const ObservationTable& table) {
    std::uint32_t n = 0;
    for (int r = 1; r <= kMaxObservations; ++r) {
        if (!table.Cell(0, r).empty()) ++n;
    }
    return n;
}

void SortRows(ObservationTable& table, DValueCache* cache) {
    // Compaction: a hole takes the first valid row below it; filled rows keep their order.
    for (int r = 1; r < kMaxObservations; ++r) {
        if (!IsHoleText(table.Cell(0, r))) continue;
        for (int f = r + 1; f <= kMaxObservations; ++f) {
            if (IsHoleText(table.Cell(0, f))) continue;
            table.rows[static_cast<std::size_t>(r)] =
                std::move(table.rows[static_cast<std::size_t>(f)]);
            table.ClearRow(f);
            if (cache != nullptr) cache->MoveRow(f, r);
            break;
        }
    }
    // Counting.
    table.filled = 0;
    table.excluded = 0;
    for (int r = 1; r <= kMaxObservations; ++r) {
        if (!table.Cell(0, r).empty()) ++table.filled;
        if (table.IsExcluded(r)) ++table.excluded;
    }
    table.included = table.filled - table.excluded;
    // Sorting by d, largest first. The selection sort reads every d on its first pass, so
    // the first text that is not a number (in row order) stops it before any exchange.
    const int n = static_cast<int>(table.filled);
    if (n < 2) return;
    std::array<long double, kTableRows> d;
    for (int i = 0; i < n; ++i) {
        const auto v = DValueOf(table, i + 1, cache);
        if (!v) throw ConversionError(RealConversionText(table.Cell(0, i + 1)));
        d[static_cast<std::size_t>(i)] = *v;
    }
    std::array<int, 2 * 512> tree;
    SelectionSortExchanges(
        n,
        [&](int a, int b) {
            return d[static_cast<std::size_t>(a)] > d[static_cast<std::size_t>(b)];
        },
        [&](int a, int b) {
            std::swap(d[static_cast<std::size_t>(a)], d[static_cast<std::size_t>(b)]);
            std::swap(table.rows[static_cast<std::size_t>(a + 1)],
                      table.rows[static_cast<std::size_t>(b + 1)]);
            if (cache != nullptr) cache->SwapRows(a + 1, b + 1);
        },
        [](int) {}, std::span<int>(tree));
}

}  // namespace dorvalix
