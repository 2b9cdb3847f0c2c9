// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the observation grid, the sample, file and crystal-system fields, the
// results panel and the menus. It owns the widgets and the state; every menu action and
// grid event runs a command on the state at the command boundary, and the window then
// draws itself from the state.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <array>
#include <memory>
#include <string>

#include "grid_views.h"
#include "main_menu.h"
#include "main_state.h"
#include "qt_translation.h"
#include "ui.h"

class QMenu;
class QAction;
class QStyle;

namespace dorvalix {

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // Creates the window and runs FormCreate with the settings that belong to
    // `executablePath`.
    MainWindow(Ui& ui, const std::string& executablePath, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainState& State() { return *state_; }
    Ui& UserInterface() { return ui_; }

    // Runs a command at the command boundary (an error ends in the error box), then draws
    // the window from the state; closes the window when Exit was confirmed.
    void Run(MainCommand command);

    // Draws every control from the state.
    void SyncFromState();

    // Reads the observation file named on the command line, as Read from File would.
    void ReadFileAtStart(const std::string& path);

  signals:
    // The window has drawn itself after a command: the modeless windows that follow its
    // state look again.
    void StateShown();
    // A file was dropped on the window: a pattern for the pattern window, or an observation
    // file to read.
    void FileDropped(const std::string& path);

  public:
    // The menu item or the menu of a control of the caption table.
    QAction* Action(Control control) const { return actions_[static_cast<std::size_t>(control)]; }
    QMenu* Menu(Control control) const { return menus_[static_cast<std::size_t>(control)]; }

    // The controls, by their component names.
    GridView* StringGrid1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label1 = nullptr;
    GridView* StringGrid2 = nullptr;
    QLabel* Label2 = nullptr;
    GridView* StringGrid3 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;

  protected:
    // Closing the window by its title bar goes through Exit: the question, and on OK the
    // settings are written and the window closes.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void BuildMenuKey();
    GridView* MakeResultsGrid(const char* name, const QRect& geometry, ResultsGridModel* model);
    void OnGridCurrentChanged(const QModelIndex& current);
    void OnGridEnter();
    void OnGridScrolled();

    Ui& ui_;
    std::unique_ptr<MainState> state_;
    ObservationTableModel* gridModel_ = nullptr;
    ResultsGridModel* reciprocalModel_ = nullptr;
    ResultsGridModel* directModel_ = nullptr;
    std::array<QAction*, kControlCount> actions_{};
    std::array<QMenu*, kControlCount> menus_{};
    QStyle* gridStyle_ = nullptr;  // the grids' look, owned by the window
    QtTranslation qtTranslation_;  // Qt's dialog texts in the window's language
    bool syncing_ = false;         // the window itself is moving the grid's current cell
};

}  // namespace dorvalix
