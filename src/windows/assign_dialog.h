// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog that gives the observed lines their indices from a known cell: the cell, the
// crystal system, a lattice centring or a space group, the tolerance and the lines at the
// top, the lines with their indices below, Apply to put them into the main table. It is
// modeless; every control runs a command on the state and the dialog draws itself from it.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "assign_dialog_commands.h"
#include "ui.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace dorvalix {

class AssignDialog : public QWidget {
    Q_OBJECT
  public:
    AssignDialog(Ui& ui, MainState& main, HklWindowState* hkl, PatternWindowState* pattern,
                 QWidget* parent = nullptr);
    ~AssignDialog() override;

    AssignDialogState& State() { return *state_; }
    void Open();
    void Follow();

    using Command = std::function<void(AssignDialogState&, Ui&)>;
    void Run(const Command& command);
    void SyncFromState();

    // The controls, by their names.
    QGroupBox* CellBox = nullptr;
    std::array<QLineEdit*, 6> CellEdits{};  // CellA .. CellGamma
    QPushButton* FromResult = nullptr;
    QPushButton* FromHkl = nullptr;
    QPushButton* FromCif = nullptr;
    QLabel* SystemLabel = nullptr;
    QComboBox* SystemBox = nullptr;
    QLabel* RuleLabel = nullptr;
    QRadioButton* ByCentring = nullptr;
    QComboBox* LatticeBox = nullptr;
    QRadioButton* BySpaceGroup = nullptr;
    QLineEdit* SpaceGroupEdit = nullptr;
    QLabel* SpaceGroupHint = nullptr;
    QLabel* ToleranceLabel = nullptr;
    QLineEdit* ToleranceEdit = nullptr;
    QLabel* ToleranceHint = nullptr;
    QLabel* LinesLabel = nullptr;
    QRadioButton* FromTable = nullptr;
    QRadioButton* FromPattern = nullptr;
    QPushButton* AssignButton = nullptr;
    QLabel* ResultLabel = nullptr;
    QTableWidget* ResultGrid = nullptr;
    QLabel* SummaryText = nullptr;
    QPushButton* ApplyButton = nullptr;
    QPushButton* CloseButton = nullptr;

  signals:
    // Apply changed the main window's table and crystal system.
    void MainStateChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BuildControls();
    void SyncResult();

    Ui& ui_;
    std::unique_ptr<AssignDialogState> state_;
    QButtonGroup* ruleGroup_ = nullptr;
    QButtonGroup* linesGroup_ = nullptr;
    std::uint64_t shownVersion_ = ~std::uint64_t{0};
    bool syncing_ = false;
};

}  // namespace dorvalix
