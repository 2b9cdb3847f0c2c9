// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"

#include <cfenv>

namespace dorvalix {

const char* FloatFaultText(FloatFault::Kind kind) {
    switch (kind) {
        case FloatFault::Kind::DivideByZero:
            return "0 による浮動小数点数除算";
        case FloatFault::Kind::InvalidOperation:
            return "不正な浮動小数点数演算命令";
        case FloatFault::Kind::Overflow:
            return "浮動小数点数のオーバーフロー";
    }
    return "";
}

FloatFault::FloatFault(Kind kind) : DorvalixError(FloatFaultText(kind)), kind_(kind) {}

void ClearFloatFaults() {
    std::feclearexcept(FE_ALL_EXCEPT);
}

// Kept out of line and behind a compiler barrier so that the arithmetic before a check
// is finished before the flags are read.
__attribute__((noinline)) void CheckFloatFaults() {
    asm volatile("" ::: "memory");
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    if (raised == 0) return;
    std::feclearexcept(FE_ALL_EXCEPT);
    if (raised & FE_INVALID) throw FloatFault(FloatFault::Kind::InvalidOperation);
    if (raised & FE_DIVBYZERO) throw FloatFault(FloatFault::Kind::DivideByZero);
    throw FloatFault(FloatFault::Kind::Overflow);
}

__attribute__((noinline)) bool FloatFaultRaised() {
    asm volatile("" ::: "memory");
    return std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) != 0;
}

}  // namespace dorvalix
