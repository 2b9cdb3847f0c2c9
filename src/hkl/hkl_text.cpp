// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "errors.h"
#include "hkl_parallel.h"
#include "long_double_bits.h"
#include "numtext.h"

namespace dorvalix {

namespace {

using u128 = ldbits::U128;

constexpr std::uint32_t kPow10[7] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// The binary value of x as m × 2^e2 in an integer: 64 bits for the x87 format and double,
// 128 for binary128.
constexpr bool kIntegerRounding = ldbits::kNarrowMantissa || ldbits::kWideMantissa;
using Mantissa = std::conditional_t<ldbits::kWideMantissa, u128, std::uint64_t>;

// p = m × 10^k < 2^(digits + 14) is below one half of 2^shift from this shift on.
constexpr int kNoHalfShift = std::min(ldbits::kDigits + 16, 127);

// x × 10^k rounded half away from zero, on its exact decimal expansion: for a pair of
// doubles, which no integer holds.
std::uint64_t RoundScaledExact(long double x, int k) {
    const std::string text = FormatFixedExact(x, k, 40);
    std::uint64_t q = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') q = q * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return q;
}

// x × 10^k rounded half away from zero, computed exactly on the binary value of x.
// 0 ≤ x, 0 ≤ k ≤ 4, x × 10^k < 2^63.
inline std::uint64_t RoundScaled(long double x, int k) {
    if constexpr (!kIntegerRounding) return RoundScaledExact(x, k);
    Mantissa m;
    int e2;
    ldbits::Decompose(x, m, e2);
    const u128 p = static_cast<u128>(m) * kPow10[k];  // < 2^(digits + 14)
    if (e2 >= 0) return static_cast<std::uint64_t>(p << e2);
    const int shift = -e2;
    if (shift > kNoHalfShift) return 0;  // below one half
    const u128 whole = p >> shift;
    const u128 rest = p & ((static_cast<u128>(1) << shift) - 1);
    return static_cast<std::uint64_t>(whole) + (rest >= (static_cast<u128>(1) << (shift - 1)));
}

constexpr int kQBits = 20;
constexpr std::uint32_t kQMask = (1U << kQBits) - 1;
constexpr int kMaxKeyExponent = (1 << (32 - kQBits)) - 1;

// Digits of v, at least `width` of them, written backwards ending at `end`.
inline char* WriteDigitsBackward(char* end, std::uint64_t v, int width) {
    do {
        *--end = static_cast<char>('0' + v % 10);
        v /= 10;
        --width;
    } while (v != 0 || width > 0);
    return end;
}

inline char* WriteUnsigned(char* out, std::uint64_t v, int width = 1) {
    char buffer[24];
    char* const end = buffer + sizeof buffer;
    char* begin = WriteDigitsBackward(end, v, width);
    const std::size_t n = static_cast<std::size_t>(end - begin);
    std::memcpy(out, begin, n);
    return out + n;
}

// "00" .. "99".
constexpr auto kPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

inline char* WritePair(char* out, std::uint32_t v) {  // v < 100, two digits
    std::memcpy(out, &kPairs[2 * v], 2);
    return out + 2;
}

// v without leading zeros; the common small values without a division loop.
inline char* WriteSmall(char* out, std::uint32_t v) {
    if (v < 10) {
        *out = static_cast<char>('0' + v);
        return out + 1;
    }
    if (v < 100) return WritePair(out, v);
    return WriteUnsigned(out, v);
}

inline char* WriteIndex(char* out, std::int32_t v) {
    *out++ = ' ';
    if (v < 0) {
        *out++ = '-';
        return WriteSmall(out, 0U - static_cast<std::uint32_t>(v));
    }
    *out++ = ' ';
    return WriteSmall(out, static_cast<std::uint32_t>(v));
}

// The fixed text of d: "q.qqqq" with exactly 4 decimals, or the exponent form
// ("1.23457E6") from 10^6 up.
char* WriteDValue(char* out, std::uint32_t key) {
    const int e = static_cast<int>(key >> kQBits);
    const std::uint32_t q = key & kQMask;
    if (e == 0) {  // below 100: the common case
        out = WriteSmall(out, q / 10000);
        *out++ = '.';
        const std::uint32_t fraction = q % 10000;
        out = WritePair(out, fraction / 100);
        return WritePair(out, fraction % 100);
    }
    if (e <= 4) {
        const int decimals = 4 - e;  // of q; the rest of the 4 are zeros
        out = WriteUnsigned(out, q / kPow10[decimals]);
        *out++ = '.';
        if (decimals > 0) out = WriteUnsigned(out, q % kPow10[decimals], decimals);
        for (int i = decimals; i < 4; ++i)
            *out++ = '0';
        return out;
    }
    // q has six digits: d.ddddd without trailing zeros, then the exponent of the first.
    char digits[6];
    WriteDigitsBackward(digits + 6, q, 6);
    int used = 6;
    while (used > 1 && digits[used - 1] == '0')
        --used;
    *out++ = digits[0];
    if (used > 1) {
        *out++ = '.';
        std::memcpy(out, digits + 1, static_cast<std::size_t>(used - 1));
        out += used - 1;
    }
    *out++ = 'E';
    return WriteUnsigned(out, static_cast<std::uint64_t>(e + 1));
}

char* WriteDCell(char* out, const HklReflection& r) {
    *out++ = ' ';
    *out++ = ' ';
    if ((r.flags & kDAtLeast10) == 0) *out++ = ' ';
    return WriteDValue(out, r.d_key);
}

char* WriteTwoThetaCell(char* out, const HklReflection& r) {
    *out++ = ' ';
    if ((r.flags & kTwoThetaAtLeast100) == 0) *out++ = ' ';
    if ((r.flags & kTwoThetaAtLeast10) == 0) *out++ = ' ';
    out = WriteSmall(out, r.two_theta / 100U);
    *out++ = '.';
    return WritePair(out, r.two_theta % 100U);
}

}  // namespace

std::uint32_t DKeyOf(long double d) {
    if (d < 1e14L) {
        // Four decimals while that leaves at most six digits, then one decimal fewer at a
        // time: the rounding position of six significant digits.
        for (int k = 4; k >= 0; --k) {
            const std::uint64_t q = RoundScaled(d, k);
            if (q < kPow10[6]) return (static_cast<std::uint32_t>(4 - k) << kQBits) | q;
        }
    }
    // From 10^6 up the text has an exponent: take its six digits from the exact formatter.
    const std::string text = FormatFixedExact(d, 4, 6);
    const std::size_t e_at = text.find('E');
    std::uint32_t q = 0;
    int digits = 0;
    for (std::size_t i = 0; i < e_at; ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            q = q * 10 + static_cast<std::uint32_t>(text[i] - '0');
            ++digits;
        }
    }
    for (; digits < 6; ++digits)
        q *= 10;
    const int exponent = std::stoi(text.substr(e_at + 1));
    if (exponent - 1 > kMaxKeyExponent) throw FloatFault(FloatFault::Kind::Overflow);
    return (static_cast<std::uint32_t>(exponent - 1) << kQBits) | q;
}

std::uint16_t TwoThetaHundredthsOf(long double two_theta) {
    return static_cast<std::uint16_t>(RoundScaled(two_theta, 2));
}

HklReflection MakeReflection(int h, int k, int l, long double d, long double two_theta) {
    HklReflection r;
    r.h = h;
    r.k = k;
    r.l = l;
    r.d_key = DKeyOf(d);
    r.two_theta = TwoThetaHundredthsOf(two_theta);
    r.flags = static_cast<std::uint8_t>((d >= 10 ? kDAtLeast10 : 0) |
                                        (two_theta >= 10 ? kTwoThetaAtLeast10 : 0) |
                                        (two_theta >= 100 ? kTwoThetaAtLeast100 : 0));
    return r;
}

long double DValueOfKey(std::uint32_t d_key) {
    char text[32];
    char* end = WriteDValue(text, d_key);
    return ParseReal(std::string_view(text, static_cast<std::size_t>(end - text)));
}

std::string HklCellText(const HklReflection& r, int column) {
    char text[kMaxHklLineLength];
    char* end = text;
    switch (column) {
        case 0:
            end = WriteDCell(text, r);
            break;
        case 1:
            end = WriteIndex(text, r.h);
            break;
        case 2:
            end = WriteIndex(text, r.k);
            break;
        case 3:
            end = WriteIndex(text, r.l);
            break;
        case 4:
            end = WriteTwoThetaCell(text, r);
            break;
        default:
            break;
    }
    return std::string(text, static_cast<std::size_t>(end - text));
}

char* WriteHklLine(char* out, const HklReflection& r, HklLineEnd end) {
    out = WriteDCell(out, r);
    out = WriteIndex(out, r.h);
    out = WriteIndex(out, r.k);
    out = WriteIndex(out, r.l);
    out = WriteTwoThetaCell(out, r);
    if (end == HklLineEnd::CrLf) *out++ = '\r';
    *out++ = '\n';
    return out;
}

void AppendHklLines(std::string& text, const HklReflection* rows, std::size_t first,
                    std::size_t last, HklLineEnd end) {
    // Written through a buffer of whole lines, so the text is never filled twice.
    constexpr std::size_t kBufferRows = 1024;
    char buffer[kBufferRows * kMaxHklLineLength];
    while (first < last) {
        const std::size_t stop = std::min(last, first + kBufferRows);
        char* out = buffer;
        for (std::size_t i = first; i < stop; ++i)
            out = WriteHklLine(out, rows[i], end);
        text.append(buffer, static_cast<std::size_t>(out - buffer));
        first = stop;
    }
}

namespace {

// Rows a block of text holds: some hundred kilobytes, and many blocks for the threads.
constexpr std::size_t kBlockRows = 4096;

// The lines of rows order[first .. last) of the table.
void AppendOrderedLines(std::string& text, std::span<const HklReflection> table,
                        const std::uint32_t* order, std::size_t first, std::size_t last,
                        HklLineEnd end) {
    // The rows of a sorted table lie all over it: each is asked for well before it is
    // copied, so that many are on their way from memory at once.
    constexpr std::size_t kAhead = 32;
    HklReflection rows[256];
    for (std::size_t i = first; i < last; i += 256) {
        const std::size_t count = std::min<std::size_t>(256, last - i);
        for (std::size_t j = 0; j < count; ++j) {
            if (i + j + kAhead < last) __builtin_prefetch(&table[order[i + j + kAhead]]);
            rows[j] = table[order[i + j]];
        }
        AppendHklLines(text, rows, 0, count, end);
    }
}

}  // namespace

void WriteHklLines(std::span<const HklReflection> table, std::span<const std::uint32_t> order,
                   HklLineEnd end, int threads, const HklTextSink& sink) {
    const std::size_t n = order.empty() ? table.size() : order.size();
    const std::size_t blocks = (n + kBlockRows - 1) / kBlockRows;
    ProduceInOrder(
        blocks, HklThreadCount(threads),
        [&](std::size_t block, std::string& text) {
            const std::size_t first = block * kBlockRows, last = std::min(n, first + kBlockRows);
            text.reserve((last - first) * 32);  // a typical line has 29 characters
            if (order.empty()) {
                AppendHklLines(text, table.data(), first, last, end);
            } else {
                AppendOrderedLines(text, table, order.data(), first, last, end);
            }
        },
        sink);
}

void WriteSortedHklLines(const HklTable& table, HklLineEnd end, int threads,
                         const HklTextSink& sink) {
    threads = HklThreadCount(threads);
    auto one_after_the_other = [&] {
        const std::vector<std::uint32_t> order = HklSortOrder(table, {}, threads);
        WriteHklLines(table, order, end, threads, sink);
    };
    if (threads == 1) {
        one_after_the_other();
        return;
    }
    // The sorting thread tells how far the order is final; the writers wait for it.
    std::mutex lock;
    std::condition_variable changed;
    const std::uint32_t* order = nullptr;
    std::size_t placed = 0;
    bool finished = false;
    std::exception_ptr failure;
    std::vector<std::uint32_t> kept;  // the order's rows live until the last line is written
    auto tell = [&](std::span<const std::uint32_t> final_rows) {
        const std::lock_guard<std::mutex> guard(lock);
        order = final_rows.data();
        placed = final_rows.size();
        changed.notify_all();
    };
    auto sort = [&] {
        try {
            kept = HklSortOrder(table, {}, threads, tell);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard<std::mutex> guard(lock);
        finished = true;
        changed.notify_all();
    };
    std::jthread sorter;
    try {
        sorter = std::jthread(sort);
    } catch (const std::system_error&) {
        one_after_the_other();  // no thread to be had
        return;
    }
    const std::size_t n = table.size();
    const std::size_t blocks = (n + kBlockRows - 1) / kBlockRows;
    try {
        // One thread places while the others write.
        ProduceInOrder(
            blocks, std::max(threads - 1, 1),
            [&](std::size_t block, std::string& text) {
                const std::size_t first = block * kBlockRows;
                const std::size_t last = std::min(n, first + kBlockRows);
                const std::uint32_t* rows;
                {
                    std::unique_lock<std::mutex> guard(lock);
                    changed.wait(guard, [&] { return placed >= last || finished; });
                    if (placed < last) throw std::runtime_error("the sort ended early");
                    rows = order;
                }
                text.reserve((last - first) * 32);
                AppendOrderedLines(text, table, rows, first, last, end);
            },
            sink);
    } catch (...) {
        sorter.join();
        if (failure) std::rethrow_exception(failure);
        throw;
    }
}

std::string CopyHklTable(const HklTable& table, int grid_rows, int threads) {
    const std::size_t lines = grid_rows > 1 ? static_cast<std::size_t>(grid_rows - 1) : 0;
    const std::size_t filled = std::min(lines, table.size());
    std::string text;
    text.reserve(filled * 32 + (lines - filled) * 2);  // a typical line has 29 characters
    WriteHklLines(std::span<const HklReflection>(table.data(), filled), {}, HklLineEnd::CrLf,
                  threads, [&text](std::string_view block) { text.append(block); });
    for (std::size_t i = filled; i < lines; ++i)
        text += "\r\n";
    return text;
}

std::string RangeGridText(int value) {
    return "   " + IntText(value);
}

std::string CellGridText(long double x) {
    const char* blanks = x >= 100 ? "  " : x >= 10 ? "   " : "    ";
    return blanks + FormatGeneral(x);
}

std::string RefinedCellGridText(long double x) {
    const long double rounded = std::trunc(x * 10000 + 0.5L) / 10000;
    const char* blanks = x >= 100 ? "  " : x >= 10 ? "   " : "    ";
    return blanks + FormatGeneral(rounded);
}

}  // namespace dorvalix
