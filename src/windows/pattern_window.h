// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern window: the options (scan, wavelength, background width, significance,
// intensity scale, what the plot shows) at the top, the file and its lines, the plot with its
// tick strip beside the peak list and its buttons. It is modeless and follows the main window
// after each of its commands. Every control runs a command on the state at the command
// boundary, and the window then draws itself from the state; the long work of the commands
// runs on a worker thread while the window stays drawn (QtUi::RunCancellable).
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "main_state.h"
#include "pattern_plot.h"
#include "pattern_window_commands.h"
#include "ui.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace dorvalix {

// The peak list: the rows of the state in their order, explained peaks' hkl beside them.
class PeakTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    PeakTableModel(const PatternWindowState& state, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void Reset();

  private:
    const PatternWindowState& state_;
};

// The question for the wavelength of a file that states none: the presets and a typed
// value. Modeless to the program (window-modal), so that the window's Run goes on.
class WavelengthDialog : public QDialog {
    Q_OBJECT
  public:
    WavelengthDialog(const PatternWindowState& state, QWidget* parent);
    // The choice: 0..7 a preset, 8 the typed value in Text().
    int Choice() const;
    std::string Text() const;

    QComboBox* LineBox = nullptr;
    QLineEdit* LineEdit = nullptr;
    QPushButton* OkButton = nullptr;
};

class PatternWindow : public QWidget {
    Q_OBJECT
  public:
    PatternWindow(Ui& ui, MainState& main, QWidget* parent = nullptr);
    ~PatternWindow() override;

    PatternWindowState& State() { return *state_; }

    // File → Open Pattern...: the open dialog, then the window with the file beside `main`.
    void OpenFileDialog(const QWidget* main = nullptr);
    // A file named on the command line or dropped: read and shown beside `main`.
    void OpenFile(const std::string& path, const QWidget* main = nullptr);
    // After a command of the main window, and when the window becomes active.
    void Follow();

    using Command = std::function<void(PatternWindowState&, Ui&)>;
    void Run(const Command& command);
    void SyncFromState();

    // The controls, by their names.
    QGroupBox* OptionsBox = nullptr;
    QLabel* ScanLabel = nullptr;
    QComboBox* ScanBox = nullptr;
    QLabel* WavelengthLabel = nullptr;
    QComboBox* WavelengthBox = nullptr;  // the file's lines, eight presets, a typed value
    QLineEdit* WavelengthEdit = nullptr;
    QPushButton* UseWavelengthButton = nullptr;
    QLabel* BackgroundLabel = nullptr;
    QLineEdit* BackgroundEdit = nullptr;
    QLabel* SignificanceLabel = nullptr;
    QLineEdit* SignificanceEdit = nullptr;
    QLabel* ScaleLabel = nullptr;
    QComboBox* ScaleBox = nullptr;
    QCheckBox* ShowBackground = nullptr;
    QCheckBox* ShowProfiles = nullptr;
    QCheckBox* ShowTicks = nullptr;
    QLabel* NoWavelengthNote = nullptr;
    QLabel* EmptyNote = nullptr;
    QLabel* FileText = nullptr;
    QLabel* LinesText = nullptr;
    QLabel* NotesText = nullptr;
    QLabel* TickText = nullptr;
    PatternPlot* Plot = nullptr;
    QLabel* PlotHint = nullptr;
    QPushButton* FullViewButton = nullptr;
    QLabel* PeaksLabel = nullptr;
    QTableView* PeakGrid = nullptr;
    QPushButton* RemovePeakButton = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* CsvButton = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* OpenButton = nullptr;
    QPushButton* CloseButton = nullptr;
    WavelengthDialog* Question = nullptr;  // while the wavelength question is open

  signals:
    // A command changed the main window's table or the shared settings: it redraws, and
    // the windows that follow it look again.
    void MainStateChanged();
    // A command of the window ran: its pattern, peaks or wavelength may have changed, and
    // the windows that index its peaks look again.
    void CommandRun();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildControls();
    QWidget* BuildOptions();
    QWidget* BuildPeakList();
    void SyncOptions();
    void SyncContent();
    void AskWavelength();
    void PlaceBeside(const QWidget* main);
    std::optional<std::size_t> ChosenPeak() const;

    Ui& ui_;
    std::unique_ptr<PatternWindowState> state_;
    PeakTableModel* tableModel_ = nullptr;
    std::uint64_t shownVersion_ = ~std::uint64_t{0};
    const void* shownPattern_ = nullptr;  // the pattern and scan the plot's view belongs to
    std::size_t shownScan_ = 0;
    bool syncing_ = false;
    bool running_ = false;  // a command is running
    bool placed_ = false;
};

}  // namespace dorvalix
