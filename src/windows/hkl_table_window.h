// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl table window: the table of reflections on the left, the crystal system, the
// cell, the index range, the minimum d and the X-ray line on the right. It owns its
// widgets and its state; every menu action runs a command on the state at the command
// boundary, and the window then draws itself from the state.
#pragma once

#include <QDialog>
#include <QLabel>
#include <array>
#include <functional>
#include <memory>

#include "hkl_grid_views.h"
#include "hkl_window_commands.h"
#include "main_state.h"
#include "ui.h"

class QAction;
class QMenu;
class QMenuBar;

namespace dorvalix {

class HklTableWindow : public QDialog {
    Q_OBJECT
  public:
    HklTableWindow(Ui& ui, MainState& main, QWidget* parent = nullptr);
    ~HklTableWindow() override;

    HklWindowState& State() { return *state_; }

    // Opening: FormShow, then the window stays open (modal) until it is closed.
    void Open();
    // FormShow alone, the window shown without waiting (for tests and the opener).
    void ShowWindow();

    // Runs a command at the command boundary, then draws the window from the state.
    using Command = std::function<void(HklWindowState&, Ui&)>;
    void Run(const Command& command);
    void SyncFromState();

    QAction* Action(HklControl control) const {
        return actions_[static_cast<std::size_t>(control)];
    }
    QMenu* Menu(HklControl control) const { return menus_[static_cast<std::size_t>(control)]; }
    QAction* PresetAction(int preset) const { return presets_[static_cast<std::size_t>(preset)]; }
    QAction* LatticeAction(Centring c) const { return lattices_[static_cast<std::size_t>(c)]; }
    HklTableModel* TableModel() const { return tableModel_; }

    // The controls, by their component names.
    QMenuBar* MainMenu1 = nullptr;
    GridView* StringGrid1 = nullptr;   // the hkl table
    GridView* StringGrid2 = nullptr;   // the cell
    GridView* StringGrid3 = nullptr;   // the index range
    QLabel* Label4 = nullptr;          // "System "
    QLabel* Label5 = nullptr;          // crystal-system name
    QLabel* Label1 = nullptr;          // "Cell Constant "
    QLabel* Label2 = nullptr;          // "hkl Range "
    QLabel* Label3 = nullptr;          // "minimum d "
    QLabel* Label10 = nullptr;         // minimum d
    QLabel* Label11 = nullptr;         // "Å"
    QLabel* Label6 = nullptr;          // "X-Ray"
    QLabel* Label7 = nullptr;          // X-ray name
    QLabel* Label8 = nullptr;          // wavelength
    QLabel* Label9 = nullptr;          // "Å"
    QLabel* LatticeCaption = nullptr;  // "Lattice Centring"
    QLabel* LatticeShown = nullptr;    // the centring that filters the table
    QLabel* Image1 = nullptr;          // the small picture at the lower right

  protected:
    // Escape does not close the window; only Close and the close box do.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Prepare();  // centred on the screen, FormShow
    void BuildMenus();
    void BuildControls(int clientHeight);
    GridView* MakeSmallGrid(QWidget* parent, const char* name, TextGridModel* model,
                            const int* widths, int columns, int rows,
                            FixedCellDelegate::IsFixed isFixed);
    void OnTableScrolled();

    Ui& ui_;
    std::unique_ptr<HklWindowState> state_;
    HklTableModel* tableModel_ = nullptr;
    TextGridModel* cellModel_ = nullptr;
    TextGridModel* rangeModel_ = nullptr;
    std::array<QAction*, kHklControlCount> actions_{};
    std::array<QMenu*, kHklControlCount> menus_{};
    std::array<QAction*, 8> presets_{};
    std::array<QAction*, 7> lattices_{};
    QStyle* silverGridStyle_ = nullptr;
    std::uint64_t shownTableVersion_ = ~std::uint64_t{0};
    bool syncing_ = false;
};

}  // namespace dorvalix
