// SPDX-License-Identifier: GPL-3.0-or-later
// The manual windows: TForm3 in Japanese (the manual with a vertical scroll bar, "戻る" and
// "計算原理の解説", which opens the calculation-principle window) and TForm6 in English (the
// manual with both scroll bars and "Close"). Green, fixed in size, centred and modal; the
// manual is read once, when the window is created.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

#include "manual_window_commands.h"
#include "ui.h"

namespace dorvalix {

class ManualWindow : public QDialog {
    Q_OBJECT
  public:
    // FormCreate: the built-in manual or the file that replaces it (an unreadable file is
    // shown in the error box). `principle` is the state the Japanese window's button loads
    // the principle text into; the English window has none.
    ManualWindow(Ui& ui, Lang lang, std::string dataFolder, PrincipleWindowState* principle,
                 QWidget* parent = nullptr);

    // Centred on the screen, modal until closed.
    void Open();
    // Centred and shown without waiting (for tests).
    void ShowWindow();

    const ManualWindowState& State() const { return state_; }

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;  // close
    QPushButton* Button2 = nullptr;  // "計算原理の解説" (Japanese only)

  protected:
    // FormShow: the keyboard focus goes to the manual.
    void showEvent(QShowEvent* event) override;

  private:
    void Centre();

    Ui& ui_;
    std::string dataFolder_;
    PrincipleWindowState* principle_;
    ManualWindowState state_;
};

}  // namespace dorvalix
