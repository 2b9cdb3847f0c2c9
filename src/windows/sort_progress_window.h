// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window of the hkl sort: a title and one progress bar, shown without
// blocking while the sort runs and repainted by the sort itself as it advances.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QProgressBar>

namespace dorvalix {

class SortProgressWindow : public QDialog {
    Q_OBJECT
  public:
    explicit SortProgressWindow(QWidget* parent = nullptr);

    // Shows the window centred on the screen with the bar at 0 of `maximum`.
    void Begin(int maximum);
    // Moves the bar; the window is repainted at once at the end and otherwise at most every
    // 40 ms.
    void SetPosition(int position);
    // Hides the window.
    void End();

    QProgressBar* ProgressBar1 = nullptr;

  private:
    void Repaint();
    QElapsedTimer sinceRepaint_;
};

}  // namespace dorvalix
