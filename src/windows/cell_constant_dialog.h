// SPDX-License-Identifier: GPL-3.0-or-later
// The cell constant dialog: a small grid in which the user types a, b, c, α, β, γ, and a
// Close button that hands the cell to the hkl window.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <memory>

#include "cell_dialog_commands.h"
#include "hkl_grid_views.h"
#include "ui.h"

namespace dorvalix {

class CellConstantDialog : public QDialog {
    Q_OBJECT
  public:
    CellConstantDialog(Ui& ui, HklWindowState& window, QWidget* parent = nullptr);
    ~CellConstantDialog() override;

    CellDialogState& State() { return *state_; }

    // Opening: FormShow, then the dialog stays open (modal) until it is closed.
    void Open();
    // FormShow alone, the dialog shown without waiting (for tests).
    void ShowWindow();

    using Command = std::function<void(CellDialogState&, HklWindowState&, Ui&)>;
    void Run(const Command& command);
    void SyncFromState();

    QLabel* Label7 = nullptr;
    GridView* StringGrid1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

  protected:
    // Enter and Escape belong to the grid: neither presses the button nor closes.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Prepare();
    void OnEnter();
    void OnCurrentChanged(const QModelIndex& current);

    Ui& ui_;
    HklWindowState& window_;
    std::unique_ptr<CellDialogState> state_;
    TextGridModel* model_ = nullptr;
    bool syncing_ = false;
};

}  // namespace dorvalix
