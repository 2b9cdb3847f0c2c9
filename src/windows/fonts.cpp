// SPDX-License-Identifier: GPL-3.0-or-later
#include "fonts.h"

#include <QStringList>

namespace dorvalix {

namespace {

QFont MakeFont(const QStringList& families, QFont::StyleHint hint, int pixelSize) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(pixelSize);
    // Unhinted glyph advances keep the layout's widths: a half-width character of a 19 px
    // Gothic is 9.5 px wide, not rounded up to 10.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace

QFont GothicFont(int pixelSize) {
    QFont font = MakeFont({"IPAGothic", "IPAゴシック", "Noto Sans Mono CJK JP", "VL Gothic",
                           "DejaVu Sans Mono", "Monospace"},
                          QFont::TypeWriter, pixelSize);
    font.setFixedPitch(true);
    return font;
}

QFont PGothicFont(int pixelSize) {
    return MakeFont(
        {"IPAPGothic", "IPA Pゴシック", "Noto Sans CJK JP", "VL PGothic", "DejaVu Sans"},
        QFont::SansSerif, pixelSize);
}

QFont MinchoFont(int pixelSize) {
    return MakeFont({"IPAMincho", "IPA明朝", "Noto Serif CJK JP", "DejaVu Serif"}, QFont::Serif,
                    pixelSize);
}

QFont SansFont(int pixelSize) {
    return MakeFont({"DejaVu Sans", "Liberation Sans", "IPAPGothic"}, QFont::SansSerif, pixelSize);
}

QFont SerifFont(int pixelSize) {
    return MakeFont({"DejaVu Serif", "Liberation Serif", "IPAPMincho"}, QFont::Serif, pixelSize);
}

}  // namespace dorvalix
