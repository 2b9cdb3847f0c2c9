// SPDX-License-Identifier: GPL-3.0-or-later
// The refinement details window: options (wavelength, lattice centring, fit) at the top, the
// cell with its standard uncertainties, the figures of merit and the correlations beside the
// residual plot, the reflection table below, and the export buttons. It is modeless: it
// follows the main window after each of its commands. Every control runs a command on the
// state at the command boundary, and the window then draws itself from the state.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "details_window_commands.h"
#include "main_state.h"
#include "ui.h"

class QButtonGroup;
class QChart;
class QChartView;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QRadioButton;
class QScatterSeries;
class QTableView;
class QTableWidget;
class QValueAxis;

namespace dorvalix {

// The colours of the table's marks, which the legend repeats.
inline const QColor kOutlierBackground(255, 205, 205);
inline const QColor kAbsentText(0, 0, 170);
inline const QColor kExcludedText(140, 140, 140);

// The reflection table: the rows of the state, in their order, with the marks of outliers
// (background) and absent reflections (blue italic text).
class DetailsTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    DetailsTableModel(const DetailsWindowState& state, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void Reset();

  private:
    const DetailsWindowState& state_;
};

// Where a window of frame size `frame` stands beside the main window's frame `main` on a
// screen whose free area is `free`: right of it, else left of it, else as far right as the
// screen allows; its top level with the main window's, within the screen.
QPoint BesidePosition(const QRect& free, const QRect& main, const QSize& frame);

class RefinementDetailsWindow : public QWidget {
    Q_OBJECT
  public:
    RefinementDetailsWindow(Ui& ui, MainState& main, QWidget* parent = nullptr);
    ~RefinementDetailsWindow() override;

    DetailsWindowState& State() { return *state_; }

    // Opening from the menu: DetailsFormShow, then shown and raised; returns at once. At
    // its first opening the window stands beside `main` where the screen has room.
    void Open(const QWidget* main = nullptr);
    // After a command of the main window.
    void Follow();

    using Command = std::function<void(DetailsWindowState&, Ui&)>;
    void Run(const Command& command);
    void SyncFromState();

    // The plot as a PNG or SVG file's bytes, at the size it is shown.
    std::string RenderPlot(PlotFormat format);

    // The controls, by their names.
    QGroupBox* OptionsBox = nullptr;
    QLabel* WavelengthLabel = nullptr;
    QComboBox* WavelengthBox = nullptr;  // the eight presets and a typed value
    QLineEdit* WavelengthEdit = nullptr;
    QLabel* LatticeLabel = nullptr;
    QComboBox* LatticeBox = nullptr;
    QLabel* FitLabel = nullptr;
    QRadioButton* FitQ = nullptr;
    QRadioButton* FitTwoTheta = nullptr;
    QRadioButton* FitZeroShift = nullptr;
    QLabel* EmptyNote = nullptr;
    QLabel* CellCaption = nullptr;
    QLabel* CellText = nullptr;
    QLabel* NotesText = nullptr;
    QLabel* MeritCaption = nullptr;
    QLabel* MeritText = nullptr;
    QLabel* CorrelationLabel = nullptr;
    QTableWidget* CorrelationGrid = nullptr;
    QLabel* PlotLabel = nullptr;
    QChartView* PlotView = nullptr;
    QChart* Chart = nullptr;
    QScatterSeries* PointSeries = nullptr;
    QScatterSeries* OutlierSeries = nullptr;
    QScatterSeries* ExcludedSeries = nullptr;
    QScatterSeries* AbsentSeries = nullptr;  // a ring around the marker of an absent line
    QLineSeries* ZeroLine = nullptr;
    QValueAxis* XAxis = nullptr;
    QValueAxis* YAxis = nullptr;
    QLabel* TableLabel = nullptr;
    QTableView* ReflectionGrid = nullptr;
    QLabel* LegendOutlier = nullptr;
    QLabel* LegendAbsent = nullptr;
    QLabel* LegendExcluded = nullptr;
    QLabel* WavelengthNote = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* CifButton = nullptr;
    QPushButton* CsvButton = nullptr;
    QPushButton* PlotButton = nullptr;
    QPushButton* ResetZoomButton = nullptr;
    QPushButton* CloseButton = nullptr;

  private:
    void BuildControls();
    QWidget* BuildOptions();
    QWidget* BuildSummary();
    QWidget* BuildPlot();
    QWidget* BuildTable();
    QWidget* BuildButtons();
    void SyncOptions();
    void SyncSummary();
    void SyncPlot();
    void ShowTip(QScatterSeries* series, const QPointF& point, bool entered);
    void PlaceBeside(const QWidget* main);
    void keyPressEvent(QKeyEvent* event) override;

    Ui& ui_;
    std::unique_ptr<DetailsWindowState> state_;
    DetailsTableModel* tableModel_ = nullptr;
    QButtonGroup* fitGroup_ = nullptr;
    std::uint64_t shownVersion_ = ~std::uint64_t{0};
    bool syncing_ = false;
    bool placed_ = false;  // placed on the screen at its first opening
};

}  // namespace dorvalix
