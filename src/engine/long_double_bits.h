// SPDX-License-Identifier: GPL-3.0-or-later
// The binary value of a long double as an integer mantissa and a power of two, and the
// 128-bit integer arithmetic that rounds it exactly.
//
// long double is the x87 extended format on amd64 and i386 (64-bit mantissa with an explicit
// integer bit), IEEE binary128 on arm64, s390x and riscv64 (113 bits), a pair of doubles on
// ppc64el (106 bits, with a gap of any length allowed between the two) and plain double on
// armhf (53 bits). The number texts are exact on each: the integer fast paths take the
// formats whose mantissa fits their integers, the others go through the exact expansion.
#pragma once

#include <bit>
#include <cmath>
#include <compare>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace dorvalix::ldbits {

inline constexpr int kDigits = std::numeric_limits<long double>::digits;

// The x87 extended format, read straight from its ten bytes.
inline constexpr bool kX87 = kDigits == 64 &&
                             std::numeric_limits<long double>::max_exponent == 16384 &&
                             std::endian::native == std::endian::little;

// A pair of doubles (IBM extended): no fixed mantissa, and arithmetic that is not correctly
// rounded.
inline constexpr bool kDoubleDouble = kDigits == 106;

// Every finite value is m × 2^e with an integer m < 2^kDigits that fits 64 bits.
inline constexpr bool kNarrowMantissa = !kDoubleDouble && kDigits <= 64;

// 2^e as a constant (exact for every format).
constexpr long double PowerOfTwo(int e) {
    long double p = 1;
    for (; e > 0; --e)
        p *= 2;
    for (; e < 0; ++e)
        p /= 2;
    return p;
}

// --- 128-bit unsigned integers ------------------------------------------------------------

#ifdef __SIZEOF_INT128__
using U128 = unsigned __int128;
#else
// The operations the number texts use, for targets without a 128-bit integer type (i386,
// armhf): products of two 64-bit numbers, shifts, masks and comparisons.
class U128 {
  public:
    constexpr U128() = default;
    constexpr U128(std::uint64_t v) : lo_(v) {}  // NOLINT: converts like the built-in type

    explicit constexpr operator std::uint64_t() const { return lo_; }

    friend constexpr U128 operator*(U128 a, U128 b) {
        // The low 128 bits of the product: the full product of the low halves, plus the
        // cross terms in the high half.
        U128 r = Multiply64(a.lo_, b.lo_);
        r.hi_ += a.hi_ * b.lo_ + a.lo_ * b.hi_;
        return r;
    }
    friend constexpr U128 operator+(U128 a, U128 b) {
        U128 r;
        r.lo_ = a.lo_ + b.lo_;
        r.hi_ = a.hi_ + b.hi_ + (r.lo_ < a.lo_ ? 1 : 0);
        return r;
    }
    friend constexpr U128 operator-(U128 a, U128 b) {
        U128 r;
        r.lo_ = a.lo_ - b.lo_;
        r.hi_ = a.hi_ - b.hi_ - (a.lo_ < b.lo_ ? 1 : 0);
        return r;
    }
    friend constexpr U128 operator&(U128 a, U128 b) {
        U128 r;
        r.lo_ = a.lo_ & b.lo_;
        r.hi_ = a.hi_ & b.hi_;
        return r;
    }
    // Shifts by 0..127 bits, as for the built-in type.
    friend constexpr U128 operator<<(U128 a, int s) {
        if (s == 0) return a;
        U128 r;
        if (s >= 64) {
            r.hi_ = a.lo_ << (s - 64);
        } else {
            r.hi_ = (a.hi_ << s) | (a.lo_ >> (64 - s));
            r.lo_ = a.lo_ << s;
        }
        return r;
    }
    friend constexpr U128 operator>>(U128 a, int s) {
        if (s == 0) return a;
        U128 r;
        if (s >= 64) {
            r.lo_ = a.hi_ >> (s - 64);
        } else {
            r.lo_ = (a.lo_ >> s) | (a.hi_ << (64 - s));
            r.hi_ = a.hi_ >> s;
        }
        return r;
    }
    friend constexpr bool operator==(U128 a, U128 b) = default;
    friend constexpr std::strong_ordering operator<=>(U128 a, U128 b) {
        if (a.hi_ != b.hi_) return a.hi_ <=> b.hi_;
        return a.lo_ <=> b.lo_;
    }

  private:
    static constexpr U128 Multiply64(std::uint64_t a, std::uint64_t b) {
        // Schoolbook on 32-bit halves (Knuth, TAOCP vol. 2, 4.3.1, algorithm M).
        const std::uint64_t a0 = a & 0xFFFFFFFFU, a1 = a >> 32;
        const std::uint64_t b0 = b & 0xFFFFFFFFU, b1 = b >> 32;
        const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
        const std::uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFFU) + (p10 & 0xFFFFFFFFU);
        U128 r;
        r.lo_ = (middle << 32) | (p00 & 0xFFFFFFFFU);
        r.hi_ = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
        return r;
    }

    std::uint64_t lo_ = 0;
    std::uint64_t hi_ = 0;
};
#endif

// Every finite value is m × 2^e with an integer m that fits 128 bits (binary128 on 64-bit
// targets).
#ifdef __SIZEOF_INT128__
inline constexpr bool kWideMantissa = !kDoubleDouble && kDigits > 64 && kDigits <= 127;
#else
inline constexpr bool kWideMantissa = false;
#endif

// --- Decomposition -------------------------------------------------------------------------

// |a| = m × 2^e2 for a finite a, with m < 2^kDigits. Only where kNarrowMantissa.
inline void Decompose(long double a, std::uint64_t& m, int& e2) {
    if constexpr (kX87) {
        // The mantissa with its explicit integer bit, then the 15-bit biased exponent.
        unsigned char bytes[sizeof(long double)];
        std::memcpy(bytes, &a, sizeof bytes);
        std::memcpy(&m, bytes, 8);
        const int biased = (bytes[8] | (bytes[9] << 8)) & 0x7FFF;
        e2 = (biased == 0 ? 1 : biased) - 16383 - 63;
    } else {
        // frexp scales by a power of two and so is exact, subnormal numbers included.
        int e = 0;
        const long double f = std::frexp(std::fabs(a), &e);
        m = static_cast<std::uint64_t>(std::ldexp(f, kDigits));
        e2 = e - kDigits;
    }
}

#ifdef __SIZEOF_INT128__
// The same with a 128-bit m. Only where kWideMantissa.
inline void Decompose(long double a, unsigned __int128& m, int& e2) {
    int e = 0;
    const long double f = std::frexp(std::fabs(a), &e);
    m = static_cast<unsigned __int128>(std::ldexp(f, kDigits));
    e2 = e - kDigits;
}
#endif

}  // namespace dorvalix::ldbits
