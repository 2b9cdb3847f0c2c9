// SPDX-License-Identifier: GPL-3.0-or-later
#include "refinement_details_window.h"

#include <QBuffer>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTableView>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "fonts.h"
#include "hkl_table.h"
#include "main_menu.h"
#include "qt_ui.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

constexpr int kFontPixels = 13;
constexpr int kWidth = 1180;
constexpr int kHeight = 840;
const QColor kPointColour(30, 90, 200);
const QColor kOutlierColour(215, 25, 25);

QLabel* MakeLabel(QWidget* parent, const char* name, bool bold = false) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QString Joined(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& line : lines)
        list << ToQ(line);
    return list.join('\n');
}

// As many decimals as the step between two ticks needs (a round step of 0.025 needs three),
// at most enough for two significant digits of a step that is not round (after a zoom).
QString TickFormat(const QValueAxis* axis) {
    const double step = (axis->max() - axis->min()) / std::max(1, axis->tickCount() - 1);
    if (!(step > 0)) return "%.1f";
    const int most = std::clamp(1 - static_cast<int>(std::floor(std::log10(step))), 0, 9);
    for (int decimals = 0; decimals < most; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * scaled)
            return QString("%.%1f").arg(decimals);
    }
    return QString("%.%1f").arg(most);
}

// The symbol of a series in the legend, where nothing else shows it.
void HideFromLegend(QChart* chart, QLineSeries* series) {
    for (QLegendMarker* marker : chart->legend()->markers(series))
        marker->setVisible(false);
}

}  // namespace

// --- The reflection table ---------------------------------------------------------------

DetailsTableModel::DetailsTableModel(const DetailsWindowState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state) {}

int DetailsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(state_.rows.size());
}

int DetailsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kDetailsColumns;
}

QVariant DetailsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const DetailsRow& row = state_.rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return ToQ(row.texts[static_cast<std::size_t>(index.column())]);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            if (row.outlier || row.influential) return QBrush(kOutlierBackground);
            return {};
        case Qt::ForegroundRole:
            if (row.absent) return QBrush(kAbsentText);
            if (row.excluded) return QBrush(kExcludedText);
            return {};
        case Qt::FontRole:
            if (row.absent) {
                QFont font = SansFont(kFontPixels);
                font.setItalic(true);
                return font;
            }
            return {};
        default:
            return {};
    }
}

QVariant DetailsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kDetailsColumns) return {};
    if (role != Qt::DisplayRole) return {};
    QString caption = ToQ(state_.columnCaptions[static_cast<std::size_t>(section)]);
    // The sorted column says which way; the header's own indicator would flip itself on a
    // click before the command decides.
    if (state_.sortColumn && static_cast<int>(*state_.sortColumn) == section)
        caption += state_.sortAscending ? QString::fromUtf8(" ▲") : QString::fromUtf8(" ▼");
    return caption;
}

void DetailsTableModel::Reset() {
    beginResetModel();
    endResetModel();
}

// --- The window -------------------------------------------------------------------------

RefinementDetailsWindow::RefinementDetailsWindow(Ui& ui, MainState& main, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(ui), state_(std::make_unique<DetailsWindowState>(main)) {
    setObjectName(DetailsControlName(DetailsControl::TForm10));
    setFont(SansFont(kFontPixels));
    BuildControls();
    resize(kWidth, kHeight);
    SyncFromState();
}

RefinementDetailsWindow::~RefinementDetailsWindow() {
    // The widgets and the model read the state: they go first.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
    delete tableModel_;
}

void RefinementDetailsWindow::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildOptions());
    EmptyNote = MakeLabel(this, DetailsControlName(DetailsControl::EmptyNote), true);
    EmptyNote->setWordWrap(true);
    layout->addWidget(EmptyNote);

    auto* vertical = new QSplitter(Qt::Vertical, this);
    vertical->setObjectName("VerticalSplitter");
    vertical->setChildrenCollapsible(false);
    auto* horizontal = new QSplitter(Qt::Horizontal, vertical);
    horizontal->setObjectName("HorizontalSplitter");
    horizontal->setChildrenCollapsible(false);
    // The summary scrolls rather than cut a line off when notes make it long.
    auto* summary = new QScrollArea(horizontal);
    summary->setObjectName("SummaryScroll");
    summary->setFrameShape(QFrame::NoFrame);
    summary->setWidgetResizable(true);
    summary->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    summary->setFocusPolicy(Qt::NoFocus);
    summary->setWidget(BuildSummary());
    horizontal->addWidget(summary);
    horizontal->addWidget(BuildPlot());
    horizontal->setStretchFactor(0, 2);
    horizontal->setStretchFactor(1, 3);
    // A scroll area asks for little room: the summary gets its share from the start.
    summary->setMinimumWidth(320);
    horizontal->setSizes({kWidth * 2 / 5, kWidth * 3 / 5});
    vertical->addWidget(horizontal);
    vertical->addWidget(BuildTable());
    vertical->setStretchFactor(0, 3);
    vertical->setStretchFactor(1, 2);
    layout->addWidget(vertical, 1);
    layout->addWidget(BuildButtons());
}

QWidget* RefinementDetailsWindow::BuildOptions() {
    OptionsBox = new QGroupBox(this);
    OptionsBox->setObjectName(DetailsControlName(DetailsControl::OptionsBox));
    auto* grid = new QGridLayout(OptionsBox);

    WavelengthLabel = MakeLabel(OptionsBox, DetailsControlName(DetailsControl::WavelengthLabel));
    WavelengthBox = new QComboBox(OptionsBox);
    WavelengthBox->setObjectName("WavelengthBox");
    for (int i = 0; i <= static_cast<int>(kWavelengthPresets.size()); ++i)
        WavelengthBox->addItem(QString());
    WavelengthEdit = new QLineEdit(OptionsBox);
    WavelengthEdit->setObjectName("WavelengthEdit");
    WavelengthEdit->setMaximumWidth(120);
    auto* unit = MakeLabel(OptionsBox, "WavelengthUnit");
    unit->setText(QString::fromUtf8("Å"));
    LatticeLabel = MakeLabel(OptionsBox, DetailsControlName(DetailsControl::LatticeLabel));
    LatticeBox = new QComboBox(OptionsBox);
    LatticeBox->setObjectName("LatticeBox");
    for (int i = 0; i < 7; ++i)
        LatticeBox->addItem(QString());
    FitLabel = MakeLabel(OptionsBox, DetailsControlName(DetailsControl::FitLabel));
    FitQ = new QRadioButton(OptionsBox);
    FitQ->setObjectName(DetailsControlName(DetailsControl::FitQ));
    FitTwoTheta = new QRadioButton(OptionsBox);
    FitTwoTheta->setObjectName(DetailsControlName(DetailsControl::FitTwoTheta));
    FitZeroShift = new QRadioButton(OptionsBox);
    FitZeroShift->setObjectName(DetailsControlName(DetailsControl::FitZeroShift));
    fitGroup_ = new QButtonGroup(this);
    fitGroup_->addButton(FitQ, static_cast<int>(DetailsFitChoice::Q));
    fitGroup_->addButton(FitTwoTheta, static_cast<int>(DetailsFitChoice::TwoTheta));
    fitGroup_->addButton(FitZeroShift, static_cast<int>(DetailsFitChoice::TwoThetaZeroShift));

    grid->addWidget(WavelengthLabel, 0, 0);
    auto* wavelength = new QHBoxLayout;
    wavelength->addWidget(WavelengthBox);
    wavelength->addWidget(WavelengthEdit);
    wavelength->addWidget(unit);
    grid->addLayout(wavelength, 0, 1);
    grid->addWidget(LatticeLabel, 0, 2);
    grid->addWidget(LatticeBox, 0, 3);
    grid->addWidget(FitLabel, 1, 0);
    auto* fits = new QHBoxLayout;
    fits->addWidget(FitQ);
    fits->addWidget(FitTwoTheta);
    fits->addWidget(FitZeroShift);
    fits->addStretch(1);
    grid->addLayout(fits, 1, 1, 1, 3);
    WavelengthNote = MakeLabel(OptionsBox, DetailsControlName(DetailsControl::WavelengthNote));
    WavelengthNote->setWordWrap(true);
    grid->addWidget(WavelengthNote, 2, 0, 1, 5);
    grid->setColumnStretch(4, 1);
    WavelengthLabel->setBuddy(WavelengthBox);
    LatticeLabel->setBuddy(LatticeBox);

    connect(WavelengthBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_) return;
        if (index < static_cast<int>(kWavelengthPresets.size())) {
            Run([index](DetailsWindowState& s, Ui& ui) { ChooseWavelengthPreset(s, ui, index); });
        } else {
            WavelengthEdit->setFocus();
            WavelengthEdit->selectAll();
        }
    });
    connect(WavelengthEdit, &QLineEdit::editingFinished, this, [this] {
        if (syncing_ || !WavelengthEdit->isModified()) return;
        WavelengthEdit->setModified(false);
        const std::string text = WavelengthEdit->text().toStdString();
        Run([text](DetailsWindowState& s, Ui& ui) { TypeWavelength(s, ui, text); });
    });
    connect(LatticeBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_) return;
        Run([index](DetailsWindowState& s, Ui& ui) {
            ChooseLattice(s, ui, static_cast<Centring>(index));
        });
    });
    connect(fitGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        if (syncing_) return;
        Run([id](DetailsWindowState& s, Ui& ui) {
            ChooseFit(s, ui, static_cast<DetailsFitChoice>(id));
        });
    });
    return OptionsBox;
}

QWidget* RefinementDetailsWindow::BuildSummary() {
    auto* panel = new QWidget(this);
    panel->setObjectName("SummaryPanel");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    CellCaption = MakeLabel(panel, "CellCaption", true);
    CellCaption->setWordWrap(true);
    CellText = MakeLabel(panel, "CellText");
    CellText->setWordWrap(true);
    CellText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    NotesText = MakeLabel(panel, "NotesText");
    NotesText->setWordWrap(true);
    SetColour(NotesText, QPalette::WindowText, QColor(150, 0, 0));
    MeritCaption = MakeLabel(panel, "MeritCaption", true);
    MeritCaption->setWordWrap(true);
    MeritText = MakeLabel(panel, "MeritText");
    MeritText->setWordWrap(true);
    MeritText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    CorrelationLabel = MakeLabel(panel, DetailsControlName(DetailsControl::CorrelationLabel), true);
    CorrelationLabel->setWordWrap(true);
    CorrelationGrid = new QTableWidget(panel);
    CorrelationGrid->setObjectName("CorrelationGrid");
    CorrelationGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CorrelationGrid->setSelectionMode(QAbstractItemView::NoSelection);
    CorrelationGrid->setFocusPolicy(Qt::NoFocus);
    CorrelationGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    CorrelationGrid->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    CorrelationGrid->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    CorrelationGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CorrelationGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CorrelationGrid->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    for (QWidget* w :
         std::initializer_list<QWidget*>{CellCaption, CellText, NotesText, MeritCaption, MeritText,
                                         CorrelationLabel, CorrelationGrid})
        layout->addWidget(w);
    layout->addStretch(1);
    return panel;
}

QWidget* RefinementDetailsWindow::BuildPlot() {
    auto* panel = new QWidget(this);
    panel->setObjectName("PlotPanel");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    PlotLabel = MakeLabel(panel, DetailsControlName(DetailsControl::PlotLabel), true);
    layout->addWidget(PlotLabel);

    Chart = new QChart;
    Chart->setObjectName("Chart");
    Chart->setFont(SansFont(kFontPixels));
    Chart->legend()->setAlignment(Qt::AlignBottom);
    Chart->legend()->setFont(SansFont(kFontPixels));
    Chart->setMargins(QMargins(4, 4, 4, 4));
    PointSeries = new QScatterSeries;
    PointSeries->setObjectName("PointSeries");
    PointSeries->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    PointSeries->setMarkerSize(9);
    PointSeries->setColor(kPointColour);
    PointSeries->setBorderColor(kPointColour.darker(130));
    OutlierSeries = new QScatterSeries;
    OutlierSeries->setObjectName("OutlierSeries");
    OutlierSeries->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    OutlierSeries->setMarkerSize(13);
    OutlierSeries->setColor(kOutlierColour);
    OutlierSeries->setBorderColor(kOutlierColour.darker(130));
    ExcludedSeries = new QScatterSeries;
    ExcludedSeries->setObjectName("ExcludedSeries");
    ExcludedSeries->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    ExcludedSeries->setMarkerSize(9);
    ExcludedSeries->setColor(QColor(210, 210, 210));
    ExcludedSeries->setBorderColor(kExcludedText);
    AbsentSeries = new QScatterSeries;
    AbsentSeries->setObjectName("AbsentSeries");
    AbsentSeries->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    AbsentSeries->setMarkerSize(17);
    AbsentSeries->setColor(Qt::transparent);
    AbsentSeries->setPen(QPen(kAbsentText, 2));
    ZeroLine = new QLineSeries;
    ZeroLine->setObjectName("ZeroLine");
    ZeroLine->setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    Chart->addSeries(ZeroLine);
    Chart->addSeries(ExcludedSeries);
    Chart->addSeries(PointSeries);
    Chart->addSeries(OutlierSeries);
    Chart->addSeries(AbsentSeries);
    XAxis = new QValueAxis;
    XAxis->setObjectName("XAxis");
    YAxis = new QValueAxis;
    YAxis->setObjectName("YAxis");
    for (QValueAxis* axis : {XAxis, YAxis}) {
        axis->setTitleFont(SansFont(kFontPixels));
        axis->setLabelsFont(SansFont(kFontPixels - 1));
        axis->setTickType(QValueAxis::TicksFixed);
        connect(axis, &QValueAxis::rangeChanged, this,
                [axis] { axis->setLabelFormat(TickFormat(axis)); });
    }
    Chart->addAxis(XAxis, Qt::AlignBottom);
    Chart->addAxis(YAxis, Qt::AlignLeft);
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{
             ZeroLine, ExcludedSeries, PointSeries, OutlierSeries, AbsentSeries}) {
        series->attachAxis(XAxis);
        series->attachAxis(YAxis);
    }
    HideFromLegend(Chart, ZeroLine);
    for (QScatterSeries* series : {ExcludedSeries, PointSeries, OutlierSeries}) {
        connect(series, &QXYSeries::hovered, this,
                [this, series](const QPointF& point, bool entered) {
                    ShowTip(series, point, entered);
                });
    }

    PlotView = new QChartView(Chart, panel);
    PlotView->setObjectName("PlotView");
    PlotView->setRenderHint(QPainter::Antialiasing);
    PlotView->setRubberBand(QChartView::RectangleRubberBand);
    PlotView->setMinimumSize(360, 260);
    layout->addWidget(PlotView, 1);
    return panel;
}

QWidget* RefinementDetailsWindow::BuildTable() {
    auto* panel = new QWidget(this);
    panel->setObjectName("TablePanel");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    TableLabel = MakeLabel(panel, DetailsControlName(DetailsControl::TableLabel), true);
    layout->addWidget(TableLabel);
    tableModel_ = new DetailsTableModel(*state_, this);
    ReflectionGrid = new QTableView(panel);
    ReflectionGrid->setObjectName("ReflectionGrid");
    ReflectionGrid->setModel(tableModel_);
    ReflectionGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ReflectionGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    ReflectionGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    ReflectionGrid->verticalHeader()->hide();
    ReflectionGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ReflectionGrid->setWordWrap(false);
    // The table is read only: Tab goes on to the next control instead of the next cell.
    ReflectionGrid->setTabKeyNavigation(false);
    QHeaderView* header = ReflectionGrid->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        Run([section](DetailsWindowState& s, Ui&) {
            SortDetailsTable(s, static_cast<DetailsColumn>(section));
        });
    });
    layout->addWidget(ReflectionGrid, 1);

    auto* legend = new QHBoxLayout;
    LegendOutlier = MakeLabel(panel, DetailsControlName(DetailsControl::LegendOutlier));
    LegendOutlier->setAutoFillBackground(true);
    SetColour(LegendOutlier, QPalette::Window, kOutlierBackground);
    LegendOutlier->setMargin(3);
    LegendAbsent = MakeLabel(panel, "LegendAbsent");
    SetColour(LegendAbsent, QPalette::WindowText, kAbsentText);
    QFont italic = LegendAbsent->font();
    italic.setItalic(true);
    LegendAbsent->setFont(italic);
    LegendAbsent->setMargin(3);
    LegendExcluded = MakeLabel(panel, DetailsControlName(DetailsControl::LegendExcluded));
    SetColour(LegendExcluded, QPalette::WindowText, kExcludedText);
    LegendExcluded->setMargin(3);
    legend->addWidget(LegendOutlier);
    legend->addWidget(LegendAbsent);
    legend->addWidget(LegendExcluded);
    legend->addStretch(1);
    layout->addLayout(legend);
    return panel;
}

QWidget* RefinementDetailsWindow::BuildButtons() {
    auto* panel = new QWidget(this);
    panel->setObjectName("ButtonPanel");
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    CopyButton = MakeButton(panel, DetailsControlName(DetailsControl::CopyButton));
    CifButton = MakeButton(panel, DetailsControlName(DetailsControl::CifButton));
    CsvButton = MakeButton(panel, DetailsControlName(DetailsControl::CsvButton));
    PlotButton = MakeButton(panel, DetailsControlName(DetailsControl::PlotButton));
    ResetZoomButton = MakeButton(panel, DetailsControlName(DetailsControl::ResetZoomButton));
    CloseButton = MakeButton(panel, DetailsControlName(DetailsControl::CloseButton));
    for (QPushButton* b : {CopyButton, CifButton, CsvButton, PlotButton, ResetZoomButton})
        layout->addWidget(b);
    layout->addStretch(1);
    layout->addWidget(CloseButton);
    connect(CopyButton, &QPushButton::clicked, this, [this] { Run(CopyDetailsClick); });
    connect(CifButton, &QPushButton::clicked, this, [this] { Run(SaveCifClick); });
    connect(CsvButton, &QPushButton::clicked, this, [this] { Run(SaveCsvClick); });
    connect(PlotButton, &QPushButton::clicked, this, [this] {
        Run([this](DetailsWindowState& s, Ui& ui) {
            SavePlotClick(s, ui, [this](PlotFormat format) { return RenderPlot(format); });
        });
    });
    connect(ResetZoomButton, &QPushButton::clicked, this, [this] { Chart->zoomReset(); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { Run(CloseDetailsClick); });
    return panel;
}

QPoint BesidePosition(const QRect& free, const QRect& main, const QSize& frame) {
    // Right of the main window, else left of it, where the whole window fits; over it only
    // when the screen has no room beside it, then as far right as the screen allows.
    const int top = std::max(free.top(), std::min(main.top(), free.bottom() + 1 - frame.height()));
    if (main.right() + 1 + frame.width() <= free.right() + 1) return {main.right() + 1, top};
    if (main.left() - frame.width() >= free.left()) return {main.left() - frame.width(), top};
    return {std::max(free.left(), free.right() + 1 - frame.width()), top};
}

void RefinementDetailsWindow::PlaceBeside(const QWidget* main) {
    const QScreen* screen = main ? main->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    resize(size().boundedTo(free.size()));
    if (!main) {
        move(free.center() - QPoint(width() / 2, height() / 2));
        return;
    }
    // The frame the window manager adds, as the main window has it.
    const QSize decoration = main->frameGeometry().size() - main->size();
    move(BesidePosition(free, main->frameGeometry(), size() + decoration));
}

void RefinementDetailsWindow::Open(const QWidget* main) {
    // Beside the main window when first shown; later where the user left it.
    if (!placed_) {
        placed_ = true;
        PlaceBeside(main);
    }
    Run([](DetailsWindowState& s, Ui&) { DetailsFormShow(s); });
}

void RefinementDetailsWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes the window, as the Close button does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Run(CloseDetailsClick);
        return;
    }
    QWidget::keyPressEvent(event);
}

void RefinementDetailsWindow::Follow() {
    Run([](DetailsWindowState& s, Ui&) { FollowMainWindow(s); });
}

void RefinementDetailsWindow::Run(const Command& command) {
    // The boxes and dialogs of the window's own commands belong to it.
    auto* qtUi = dynamic_cast<QtUi*>(&ui_);
    QWidget* previous = qtUi ? qtUi->Parent() : nullptr;
    if (qtUi && isVisible()) qtUi->SetParent(this);
    RunCommand(ui_, [&] { command(*state_, ui_); });
    if (qtUi && isVisible()) qtUi->SetParent(previous);
    SyncFromState();
    if (state_->raiseRequested) {
        state_->raiseRequested = false;
        show();
        raise();
        activateWindow();
    }
    if (state_->closeRequested) {
        state_->closeRequested = false;
        hide();
    }
}

void RefinementDetailsWindow::SyncFromState() {
    const DetailsWindowState& s = *state_;
    syncing_ = true;
    setWindowTitle(ToQ(s.Caption(DetailsControl::TForm10)));
    OptionsBox->setTitle(ToQ(s.Caption(DetailsControl::OptionsBox)));
    const std::pair<QLabel*, DetailsControl> labels[] = {
        {WavelengthLabel, DetailsControl::WavelengthLabel},
        {LatticeLabel, DetailsControl::LatticeLabel},
        {FitLabel, DetailsControl::FitLabel},
        {CorrelationLabel, DetailsControl::CorrelationLabel},
        {TableLabel, DetailsControl::TableLabel},
        {PlotLabel, DetailsControl::PlotLabel},
        {LegendOutlier, DetailsControl::LegendOutlier},
        {LegendExcluded, DetailsControl::LegendExcluded},
        {WavelengthNote, DetailsControl::WavelengthNote},
        {EmptyNote, DetailsControl::EmptyNote}};
    const bool english = s.UiLang() == Lang::English;
    auto caption = [&](DetailsControl control) {
        return ToQ(WithMnemonic(s.Caption(control), english ? DetailsMnemonic(control) : 0));
    };
    for (const auto& [label, control] : labels)
        label->setText(caption(control));
    const std::pair<QAbstractButton*, DetailsControl> buttons[] = {
        {FitQ, DetailsControl::FitQ},
        {FitTwoTheta, DetailsControl::FitTwoTheta},
        {FitZeroShift, DetailsControl::FitZeroShift},
        {CopyButton, DetailsControl::CopyButton},
        {CifButton, DetailsControl::CifButton},
        {CsvButton, DetailsControl::CsvButton},
        {PlotButton, DetailsControl::PlotButton},
        {ResetZoomButton, DetailsControl::ResetZoomButton},
        {CloseButton, DetailsControl::CloseButton}};
    for (const auto& [button, control] : buttons)
        button->setText(caption(control));
    LegendAbsent->setText(ToQ(s.legendAbsent));
    SyncOptions();

    const bool filled = s.details.has_value();
    EmptyNote->setVisible(!filled);
    for (QWidget* w : std::initializer_list<QWidget*>{CifButton, CsvButton, PlotButton,
                                                      ResetZoomButton, ReflectionGrid, PlotView})
        w->setEnabled(filled);
    if (shownVersion_ != s.version) {
        shownVersion_ = s.version;
        SyncSummary();
        tableModel_->Reset();
        SyncPlot();
    }
    syncing_ = false;
}

void RefinementDetailsWindow::SyncOptions() {
    const DetailsWindowState& s = *state_;
    for (int i = 0; i < static_cast<int>(s.presetCaptions.size()); ++i)
        WavelengthBox->setItemText(i, ToQ(s.presetCaptions[static_cast<std::size_t>(i)]));
    const int typed = static_cast<int>(s.presetCaptions.size());
    WavelengthBox->setItemText(typed, ToQ(s.Caption(DetailsControl::TypedWavelength)));
    WavelengthBox->setCurrentIndex(s.wavelengthPreset >= 0 ? s.wavelengthPreset : typed);
    if (!WavelengthEdit->hasFocus() || !WavelengthEdit->isModified()) {
        WavelengthEdit->setText(ToQ(s.wavelengthText));
        WavelengthEdit->setModified(false);
    }
    for (int i = 0; i < 7; ++i)
        LatticeBox->setItemText(i, ToQ(s.latticeCaptions[static_cast<std::size_t>(i)]));
    LatticeBox->setCurrentIndex(static_cast<int>(s.main.settings.lattice));
    if (QAbstractButton* b = fitGroup_->button(static_cast<int>(s.fit))) b->setChecked(true);
}

void RefinementDetailsWindow::SyncSummary() {
    const DetailsWindowState& s = *state_;
    CellCaption->setText(ToQ(s.cellCaption));
    std::vector<std::string> cell = s.cellLines;
    if (!s.zeroLine.empty()) cell.push_back(s.zeroLine);
    if (!s.countLine.empty()) cell.push_back(s.countLine);
    CellText->setText(Joined(cell));
    NotesText->setText(Joined(s.notes));
    NotesText->setVisible(!s.notes.empty());
    MeritCaption->setText(ToQ(s.meritCaption));
    MeritText->setText(Joined(s.meritLines));
    const int n = static_cast<int>(s.correlations.size());
    CorrelationGrid->clear();
    CorrelationGrid->setRowCount(n);
    CorrelationGrid->setColumnCount(n);
    for (int r = 0; r < n; ++r) {
        const QString label = ToQ(s.correlationLabels[static_cast<std::size_t>(r)]);
        CorrelationGrid->setHorizontalHeaderItem(r, new QTableWidgetItem(label));
        CorrelationGrid->setVerticalHeaderItem(r, new QTableWidgetItem(label));
        for (int c = 0; c < n; ++c) {
            auto* item = new QTableWidgetItem(
                ToQ(s.correlations[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            CorrelationGrid->setItem(r, c, item);
        }
    }
    CorrelationGrid->setVisible(n > 0);
}

void RefinementDetailsWindow::SyncPlot() {
    const ResidualPlot& plot = state_->plot;
    auto fill = [](QScatterSeries* series, const std::vector<PlotPoint>& points) {
        QList<QPointF> list;
        for (const PlotPoint& p : points)
            list.append(QPointF(p.x, p.y));
        series->replace(list);
    };
    fill(PointSeries, plot.points);
    fill(OutlierSeries, plot.outliers);
    fill(ExcludedSeries, plot.excluded);
    fill(AbsentSeries, plot.absent);
    PointSeries->setName(ToQ(plot.pointsName));
    OutlierSeries->setName(ToQ(plot.outliersName));
    ExcludedSeries->setName(ToQ(plot.excludedName));
    AbsentSeries->setName(ToQ(plot.absentName));
    XAxis->setTitleText(ToQ(plot.xTitle));
    YAxis->setTitleText(ToQ(plot.yTitle));
    // An empty plot shows neither axes nor legend. The chart holds only the kinds of marker
    // the plot has, in a fixed order (drawn bottom to top), so that the legend names each
    // of them and nothing else: a hidden legend marker would still take its place.
    const bool any = !plot.Empty();
    XAxis->setVisible(any);
    YAxis->setVisible(any);
    ZeroLine->setVisible(any);
    HideFromLegend(Chart, ZeroLine);  // a series shown again shows its marker again
    Chart->legend()->setVisible(any);
    const std::pair<QScatterSeries*, bool> kinds[] = {{ExcludedSeries, !plot.excluded.empty()},
                                                      {PointSeries, !plot.points.empty()},
                                                      {OutlierSeries, !plot.outliers.empty()},
                                                      {AbsentSeries, !plot.absent.empty()}};
    for (const auto& [series, shown] : kinds) {
        if (!Chart->series().contains(series)) continue;
        Chart->removeSeries(series);
        series->setParent(this);  // the chart hands it back; the window keeps it
    }
    for (const auto& [series, shown] : kinds) {
        if (!shown) continue;
        Chart->addSeries(series);
        series->attachAxis(XAxis);
        series->attachAxis(YAxis);
    }

    // A little room around the markers; the y range symmetric about the zero line.
    double span = plot.xMax - plot.xMin;
    if (!(span > 1)) span = 1;
    const double x0 = any ? plot.xMin - 0.06 * span : 0;
    const double x1 = any ? plot.xMax + 0.06 * span : 1;
    double largest = 0;
    for (const auto* points : {&plot.points, &plot.outliers, &plot.excluded}) {
        for (const PlotPoint& p : *points)
            largest = std::max(largest, std::fabs(p.y));
    }
    const double y = largest > 0 ? largest * 1.15 : 1;
    // The zero line runs across every angle, so that it stays whole when zoomed out.
    ZeroLine->replace(QList<QPointF>{{-10, 0}, {190, 0}});
    Chart->zoomReset();
    // A fixed number of ticks at round values: a zoom never asks for thousands of them.
    XAxis->setRange(x0, x1);
    XAxis->setTickCount(6);
    XAxis->applyNiceNumbers();
    YAxis->setRange(-y, y);
    YAxis->setTickCount(5);
    YAxis->applyNiceNumbers();
    const double yEdge = std::max(std::fabs(YAxis->min()), std::fabs(YAxis->max()));
    YAxis->setRange(-yEdge, yEdge);
    XAxis->setLabelFormat(TickFormat(XAxis));
    YAxis->setLabelFormat(TickFormat(YAxis));
}

void RefinementDetailsWindow::ShowTip(QScatterSeries* series, const QPointF& point, bool entered) {
    if (!entered) {
        QToolTip::hideText();
        return;
    }
    const std::vector<PlotPoint>& points = series == OutlierSeries    ? state_->plot.outliers
                                           : series == ExcludedSeries ? state_->plot.excluded
                                                                      : state_->plot.points;
    // The marker under the mouse: the nearest point of its series.
    const PlotPoint* nearest = nullptr;
    double best = 0;
    for (const PlotPoint& p : points) {
        const double dx = (p.x - point.x()) / std::max(1e-12, XAxis->max() - XAxis->min());
        const double dy = (p.y - point.y()) / std::max(1e-300, YAxis->max() - YAxis->min());
        const double distance = dx * dx + dy * dy;
        if (!nearest || distance < best) {
            nearest = &p;
            best = distance;
        }
    }
    if (!nearest) return;
    // The tip stays while the pointer rests on the marker: it goes when the pointer leaves
    // the marker's square, not after the usual few seconds.
    const QPoint at = PlotView->mapFromGlobal(QCursor::pos());
    const int r = static_cast<int>(series->markerSize());
    QToolTip::showText(QCursor::pos(), ToQ(nearest->tip), PlotView,
                       QRect(at - QPoint(r, r), QSize(2 * r, 2 * r)), 24 * 3600 * 1000);
}

std::string RefinementDetailsWindow::RenderPlot(PlotFormat format) {
    // The exported picture names the sample and the wavelength; the window's plot does not
    // need to (the window shows both).
    Chart->setTitle(ToQ(PlotExportTitle(*state_)));
    struct TitleReset {
        QChart* chart;
        ~TitleReset() { chart->setTitle(QString()); }
    } reset{Chart};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size = PlotView->size().isEmpty() ? QSize(800, 500) : PlotView->size();
    if (format == PlotFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(ToQ(state_->Caption(DetailsControl::PlotLabel)));
        QPainter painter(&svg);
        PlotView->render(&painter, QRectF(QPoint(0, 0), size), PlotView->rect());
    } else {
        QImage image(size * 2, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        PlotView->render(&painter, QRectF(QPoint(0, 0), size * 2), PlotView->rect());
        painter.end();
        image.save(&buffer, "PNG");
    }
    return bytes.toStdString();
}

}  // namespace dorvalix
