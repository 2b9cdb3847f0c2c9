// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace dorvalix {

QtTranslation::~QtTranslation() {
    if (installed_) QCoreApplication::removeTranslator(&translator_);
}

void QtTranslation::Use(Lang lang) {
    const bool japanese = lang == Lang::Japanese;
    if (japanese == installed_) return;
    if (!japanese) {
        QCoreApplication::removeTranslator(&translator_);
        installed_ = false;
        return;
    }
    // qtbase_ja holds the widgets' and dialogs' texts (Debian's qt6-translations-l10n).
    if (translator_.isEmpty() &&
        !translator_.load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return;
    }
    installed_ = QCoreApplication::installTranslator(&translator_);
}

}  // namespace dorvalix
