// SPDX-License-Identifier: GPL-3.0-or-later
// The calculation-principle window TForm4: a read-only rich text explaining how the program
// refines the cell, and "戻る". Green, fixed in size, centred and modal. It shows its
// built-in text until the Japanese manual's button loads "dorvalix.rtf", then the file
// loaded last.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTextEdit>

#include "manual_window_commands.h"
#include "rtf_reader.h"

class QTextDocument;

namespace dorvalix {

// Fills `document` with the paragraphs and runs of an RTF file over the document's default
// font: a size of 12 points is that font's pixel size; other sizes scale with it.
void FillTextDocument(QTextDocument& document, const RtfDocument& rtf);

class PrincipleWindow : public QDialog {
    Q_OBJECT
  public:
    explicit PrincipleWindow(const PrincipleWindowState& state, QWidget* parent = nullptr);

    // Shows what the state holds, centred on the screen, modal until closed.
    void Open();
    // The same without waiting (for tests).
    void ShowWindow();

    QTextEdit* RichEdit1 = nullptr;
    QPushButton* Button1 = nullptr;

  private:
    void SyncFromState();
    void Centre();

    const PrincipleWindowState& state_;
    std::uint64_t shownVersion_ = 0;
};

}  // namespace dorvalix
