// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own texts — the buttons and labels of file, print and input dialogs — in the
// program's language: Qt's Japanese translation is installed while the language is
// Japanese and removed for English.
#pragma once

#include <QTranslator>

#include "lang.h"

namespace dorvalix {

class QtTranslation {
  public:
    QtTranslation() = default;
    ~QtTranslation();
    QtTranslation(const QtTranslation&) = delete;
    QtTranslation& operator=(const QtTranslation&) = delete;

    // Follows the language; does nothing when it is already in use. Without Qt's
    // translation files installed, Qt's texts stay English.
    void Use(Lang lang);

  private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace dorvalix
