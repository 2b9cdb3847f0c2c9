// The progress window of the hkl sort: a title and one progress bar, shown without
// blocking while the sort runs and repainted by the sort itself as it advances.
#pragma once

#include <QDialog>
#include <QProgressBar>

namespace dorvalix {

class SortProgressWindow : public QDialog {
    Q_OBJECT
  public:
    explicit SortProgressWindow(QWidget* parent = nullptr);

    // Shows the window centred on the screen with the bar at 0 of `maximum`.
    void Begin(int maximum);
    // Moves the bar and repaints the window at once.
    void SetPosition(int position);
    // Hides the window.
    void End();

    QProgressBar* ProgressBar1 = nullptr;

  private:
    void Repaint();
};

}  // namespace dorvalix
