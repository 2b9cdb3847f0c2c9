// SPDX-License-Identifier: GPL-3.0-or-later
#include "centring.h"

namespace dorvalix {

namespace {
constexpr char kLetters[] = "PABCIFR";
bool Even(std::int64_t v) {
    return v % 2 == 0;
}
}  // namespace

char CentringLetter(Centring c) {
    return kLetters[static_cast<int>(c)];
}

std::optional<Centring> CentringFromLetter(std::string_view letter) {
    if (letter.size() != 1) return std::nullopt;
    for (int i = 0; i < 7; ++i) {
        if (kLetters[i] == letter[0]) return static_cast<Centring>(i);
    }
    return std::nullopt;
}

bool AllowedByCentring(Centring c, std::int64_t h, std::int64_t k, std::int64_t l) {
    switch (c) {
        case Centring::P:
            return true;
        case Centring::A:
            return Even(k + l);
        case Centring::B:
            return Even(h + l);
        case Centring::C:
            return Even(h + k);
        case Centring::I:
            return Even(h + k + l);
        case Centring::F:
            return Even(h) == Even(k) && Even(k) == Even(l);
        case Centring::R:
            return (-h + k + l) % 3 == 0;
    }
    return true;
}

}  // namespace dorvalix
