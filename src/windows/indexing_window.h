// SPDX-License-Identifier: GPL-3.0-or-later
// The indexing window: the options at the top, Run and Cancel with the search's progress,
// the candidates found (a click on a header sorts them), the chosen candidate's lines, and
// the buttons that use, copy and save it. It is modeless; the search runs on a thread of its
// own, whose news a timer collects, so the window stays responsive. Every control runs a
// command on the state and the window draws itself from it.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "indexing_window_commands.h"
#include "ui.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace dorvalix {

class IndexingWindow : public QWidget {
    Q_OBJECT
  public:
    IndexingWindow(Ui& ui, MainState& main, PatternWindowState* pattern, QWidget* parent = nullptr);
    ~IndexingWindow() override;

    IndexingWindowState& State() { return *state_; }
    void Open();
    void Follow();

    using Command = std::function<void(IndexingWindowState&, Ui&)>;
    void Run(const Command& command);
    void SyncFromState();

    // The controls, by their names.
    QGroupBox* OptionsBox = nullptr;
    QLabel* InputLabel = nullptr;
    QComboBox* InputBox = nullptr;
    QLabel* InputText = nullptr;
    QLabel* WavelengthLabel = nullptr;
    QComboBox* WavelengthBox = nullptr;  // the input's own, eight presets, a typed value
    QLineEdit* WavelengthEdit = nullptr;
    QLabel* SystemsLabel = nullptr;
    std::array<QCheckBox*, indexing::kFamilyCount> FamilyBoxes{};
    std::array<QLabel*, kIndexingFields> FieldLabels{};
    std::array<QLineEdit*, kIndexingFields> FieldEdits{};
    QCheckBox* ZeroShift = nullptr;
    QPushButton* RunButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* ProgressText = nullptr;
    QLabel* EmptyNote = nullptr;
    QLabel* CandidatesLabel = nullptr;
    QTableWidget* CandidateGrid = nullptr;
    QLabel* SummaryText = nullptr;
    QLabel* LinesTableLabel = nullptr;
    QLabel* LinesCaption = nullptr;
    QTableWidget* LineGrid = nullptr;
    QCheckBox* KeepUnindexed = nullptr;
    QPushButton* UseButton = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* TextButton = nullptr;
    QPushButton* JsonButton = nullptr;
    QPushButton* CloseButton = nullptr;

    // How often the running search's news are collected, milliseconds.
    static constexpr int kPollMilliseconds = 100;

  signals:
    // Use This Cell changed the main window's table and crystal system.
    void MainStateChanged();
    // The chosen candidate's tick marks changed in the pattern window's state.
    void PatternStateChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void BuildControls();
    void SyncTables();
    // A field the user has edited, given to its command before anything else runs.
    void CommitEdits();

    Ui& ui_;
    std::unique_ptr<IndexingWindowState> state_;
    QTimer* poll_ = nullptr;
    std::uint64_t shownVersion_ = ~std::uint64_t{0};
    bool syncing_ = false;
};

}  // namespace dorvalix
