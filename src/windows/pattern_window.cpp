// SPDX-License-Identifier: GPL-3.0-or-later
#include "pattern_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include "fonts.h"
#include "main_menu.h"
#include "numtext.h"
#include "observation_file.h"
#include "qt_ui.h"
#include "refinement_details_window.h"
#include "widget_style.h"
#include "xray_lines.h"

namespace dorvalix {

namespace {

constexpr int kFontPixels = 13;
constexpr int kWidth = 1280;
constexpr int kHeight = 820;
// The wavelength list: the file's lines first, the presets, a typed value last.
constexpr int kTypedEntry = static_cast<int>(kXrayLines.size()) + 1;

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

QPushButton* MakeButton(QWidget* parent, PatternControl control) {
    auto* button = new QPushButton(parent);
    button->setObjectName(PatternControlName(control));
    button->setAutoDefault(false);
    return button;
}

int EntryOf(int choice) {
    return choice < 0 ? 0 : choice + 1;
}

// The first local file of a drop, or empty.
QString DroppedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return {};
}

}  // namespace

// --- The peak list -------------------------------------------------------------------------

PeakTableModel::PeakTableModel(const PatternWindowState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state) {}

int PeakTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(state_.rows.size());
}

int PeakTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kPeakColumns;
}

QVariant PeakTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const PeakRow& row = state_.rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return ToQ(row.texts[static_cast<std::size_t>(index.column())]);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(index.column() == static_cast<int>(PeakColumn::Hkl)
                                           ? Qt::AlignLeft | Qt::AlignVCenter
                                           : Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ForegroundRole:
            if (!state_.ticks.empty() && state_.showTicks && row.peak < state_.marks.size())
                return QBrush(state_.marks[row.peak].explained ? kExplainedColour.darker(120)
                                                               : kUnexplainedColour);
            return {};
        default:
            return {};
    }
}

QVariant PeakTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kPeakColumns) return {};
    if (role != Qt::DisplayRole) return {};
    QString caption = ToQ(state_.columnCaptions[static_cast<std::size_t>(section)]);
    if (state_.sortColumn && static_cast<int>(*state_.sortColumn) == section)
        caption += state_.sortAscending ? QString::fromUtf8(" ▲") : QString::fromUtf8(" ▼");
    return caption;
}

void PeakTableModel::Reset() {
    beginResetModel();
    endResetModel();
}

// --- The wavelength question -----------------------------------------------------------------

WavelengthDialog::WavelengthDialog(const PatternWindowState& state, QWidget* parent)
    : QDialog(parent) {
    setObjectName("WavelengthDialog");
    setWindowTitle(ToQ(state.Caption(PatternControl::WavelengthTitle)));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* prompt = MakeLabel(this, "WavelengthPrompt");
    prompt->setWordWrap(true);
    prompt->setText(ToQ(state.Caption(PatternControl::WavelengthPrompt)));
    prompt->setMinimumWidth(420);
    layout->addWidget(prompt);
    auto* row = new QHBoxLayout;
    LineBox = new QComboBox(this);
    LineBox->setObjectName("LineBox");
    for (const std::string& caption : state.presetCaptions)
        LineBox->addItem(ToQ(caption));
    LineBox->addItem(ToQ(state.Caption(PatternControl::TypedWavelength)));
    LineEdit = new QLineEdit(this);
    LineEdit->setObjectName("LineEdit");
    LineEdit->setMaximumWidth(120);
    row->addWidget(LineBox, 1);
    row->addWidget(LineEdit);
    row->addWidget(MakeLabel(this, "LineUnit"));
    static_cast<QLabel*>(row->itemAt(2)->widget())->setText(QString::fromUtf8("Å"));
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName("Buttons");
    OkButton = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton(ToQ(pattern_window_text::kCancel.In(state.UiLang())),
                       QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Nothing is chosen for the user: OK waits for a line or a typed value.
    LineBox->setPlaceholderText(ToQ(state.Caption(PatternControl::WavelengthNotStated)));
    LineBox->setCurrentIndex(-1);
    auto allow = [this] {
        const int typed = LineBox->count() - 1;
        const int chosen = LineBox->currentIndex();
        OkButton->setEnabled(chosen >= 0 &&
                             (chosen < typed || !LineEdit->text().trimmed().isEmpty()));
    };
    // A typed value chooses the typed entry.
    connect(LineEdit, &QLineEdit::textEdited, this, [this, allow] {
        LineBox->setCurrentIndex(LineBox->count() - 1);
        allow();
    });
    connect(LineBox, &QComboBox::currentIndexChanged, this, allow);
    allow();
}

int WavelengthDialog::Choice() const {
    return LineBox->currentIndex();
}

std::string WavelengthDialog::Text() const {
    return LineEdit->text().toStdString();
}

// --- The window ------------------------------------------------------------------------------

PatternWindow::PatternWindow(Ui& ui, MainState& main, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(ui), state_(std::make_unique<PatternWindowState>(main)) {
    setObjectName(PatternControlName(PatternControl::TForm11));
    setFont(SansFont(kFontPixels));
    setAcceptDrops(true);
    BuildControls();
    resize(kWidth, kHeight);
    Run([](PatternWindowState& s, Ui&) { FollowMainWindow(s); });
}

PatternWindow::~PatternWindow() {
    // The widgets and the model read the state: they go first.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
    delete tableModel_;
}

void PatternWindow::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildOptions());
    EmptyNote = MakeLabel(this, PatternControlName(PatternControl::EmptyNote), true);
    EmptyNote->setWordWrap(true);
    layout->addWidget(EmptyNote);
    FileText = MakeLabel(this, "FileText", true);
    LinesText = MakeLabel(this, "LinesText");
    NotesText = MakeLabel(this, "NotesText");
    NotesText->setWordWrap(true);
    SetColour(NotesText, QPalette::WindowText, QColor(150, 0, 0));
    TickText = MakeLabel(this, "TickText");
    TickText->setWordWrap(true);
    SetColour(TickText, QPalette::WindowText, kTickColour);
    for (QLabel* label : {FileText, LinesText, NotesText, TickText}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("Splitter");
    splitter->setChildrenCollapsible(false);
    auto* plotPanel = new QWidget(splitter);
    plotPanel->setObjectName("PlotPanel");
    auto* plotLayout = new QVBoxLayout(plotPanel);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    Plot = new PatternPlot(plotPanel);
    plotLayout->addWidget(Plot, 1);
    auto* under = new QHBoxLayout;
    PlotHint = MakeLabel(plotPanel, PatternControlName(PatternControl::PlotHint));
    PlotHint->setWordWrap(true);
    SetColour(PlotHint, QPalette::WindowText, QColor(80, 80, 80));
    FullViewButton = MakeButton(plotPanel, PatternControl::FullViewButton);
    under->addWidget(PlotHint, 1);
    under->addWidget(FullViewButton);
    plotLayout->addLayout(under);
    splitter->addWidget(plotPanel);
    splitter->addWidget(BuildPeakList());
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({kWidth * 60 / 100, kWidth * 40 / 100});
    layout->addWidget(splitter, 1);

    auto* bottom = new QHBoxLayout;
    OpenButton = MakeButton(this, PatternControl::OpenButton);
    CloseButton = MakeButton(this, PatternControl::CloseButton);
    bottom->addWidget(OpenButton);
    bottom->addStretch(1);
    bottom->addWidget(CloseButton);
    layout->addLayout(bottom);

    connect(Plot, &PatternPlot::Clicked, this, [this](double twoTheta) {
        Run([twoTheta](PatternWindowState& s, Ui& ui) { AddPeakAt(s, ui, twoTheta); });
    });
    connect(Plot, &PatternPlot::RemoveRequested, this, [this](std::size_t peak) {
        Run([peak](PatternWindowState& s, Ui& ui) { RemovePeakAt(s, ui, peak); });
    });
    connect(FullViewButton, &QPushButton::clicked, Plot, &PatternPlot::FullView);
    connect(OpenButton, &QPushButton::clicked, this, [this] { Run(OpenPatternClick); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { Run(ClosePatternClick); });
}

QWidget* PatternWindow::BuildOptions() {
    OptionsBox = new QGroupBox(this);
    OptionsBox->setObjectName(PatternControlName(PatternControl::OptionsBox));
    auto* grid = new QGridLayout(OptionsBox);

    ScanLabel = MakeLabel(OptionsBox, PatternControlName(PatternControl::ScanLabel));
    ScanBox = new QComboBox(OptionsBox);
    ScanBox->setObjectName("ScanBox");
    WavelengthLabel = MakeLabel(OptionsBox, PatternControlName(PatternControl::WavelengthLabel));
    WavelengthBox = new QComboBox(OptionsBox);
    WavelengthBox->setObjectName("WavelengthBox");
    for (int i = 0; i <= kTypedEntry; ++i)
        WavelengthBox->addItem(QString());
    WavelengthEdit = new QLineEdit(OptionsBox);
    WavelengthEdit->setObjectName("WavelengthEdit");
    WavelengthEdit->setMaximumWidth(110);
    auto* unit = MakeLabel(OptionsBox, "WavelengthUnit");
    unit->setText(QString::fromUtf8("Å"));
    UseWavelengthButton = MakeButton(OptionsBox, PatternControl::UseWavelengthButton);
    BackgroundLabel = MakeLabel(OptionsBox, PatternControlName(PatternControl::BackgroundLabel));
    BackgroundEdit = new QLineEdit(OptionsBox);
    BackgroundEdit->setObjectName("BackgroundEdit");
    BackgroundEdit->setMaximumWidth(90);
    SignificanceLabel =
        MakeLabel(OptionsBox, PatternControlName(PatternControl::SignificanceLabel));
    SignificanceEdit = new QLineEdit(OptionsBox);
    SignificanceEdit->setObjectName("SignificanceEdit");
    SignificanceEdit->setMaximumWidth(70);
    ScaleLabel = MakeLabel(OptionsBox, PatternControlName(PatternControl::ScaleLabel));
    ScaleBox = new QComboBox(OptionsBox);
    ScaleBox->setObjectName("ScaleBox");
    for (int i = 0; i < 3; ++i)
        ScaleBox->addItem(QString());
    ShowBackground = new QCheckBox(OptionsBox);
    ShowBackground->setObjectName(PatternControlName(PatternControl::ShowBackground));
    ShowProfiles = new QCheckBox(OptionsBox);
    ShowProfiles->setObjectName(PatternControlName(PatternControl::ShowProfiles));
    ShowTicks = new QCheckBox(OptionsBox);
    ShowTicks->setObjectName(PatternControlName(PatternControl::ShowTicks));
    NoWavelengthNote =
        MakeLabel(OptionsBox, PatternControlName(PatternControl::NoWavelengthNote), true);
    NoWavelengthNote->setWordWrap(true);
    SetColour(NoWavelengthNote, QPalette::WindowText, QColor(190, 0, 0));

    grid->addWidget(ScanLabel, 0, 0);
    grid->addWidget(ScanBox, 0, 1);
    grid->addWidget(WavelengthLabel, 0, 2);
    auto* wavelength = new QHBoxLayout;
    wavelength->addWidget(WavelengthBox, 1);
    wavelength->addWidget(WavelengthEdit);
    wavelength->addWidget(unit);
    wavelength->addWidget(UseWavelengthButton);
    grid->addLayout(wavelength, 0, 3, 1, 4);
    grid->addWidget(BackgroundLabel, 1, 0);
    grid->addWidget(BackgroundEdit, 1, 1);
    grid->addWidget(SignificanceLabel, 1, 2);
    auto* second = new QHBoxLayout;
    second->addWidget(SignificanceEdit);
    second->addSpacing(16);
    second->addWidget(ScaleLabel);
    second->addWidget(ScaleBox);
    second->addSpacing(16);
    second->addWidget(ShowBackground);
    second->addWidget(ShowProfiles);
    second->addWidget(ShowTicks);
    second->addStretch(1);
    grid->addLayout(second, 1, 3, 1, 4);
    grid->addWidget(NoWavelengthNote, 2, 0, 1, 7);
    grid->setColumnStretch(6, 1);
    ScanLabel->setBuddy(ScanBox);
    WavelengthLabel->setBuddy(WavelengthBox);
    BackgroundLabel->setBuddy(BackgroundEdit);
    SignificanceLabel->setBuddy(SignificanceEdit);
    ScaleLabel->setBuddy(ScaleBox);

    connect(ScanBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_ || index < 0) return;
        const auto scan = static_cast<std::size_t>(index);
        Run([scan](PatternWindowState& s, Ui& ui) { ChooseScan(s, ui, scan); });
    });
    connect(WavelengthBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_) return;
        if (index == kTypedEntry) {
            WavelengthEdit->setFocus();
            WavelengthEdit->selectAll();
        } else if (index == 0 && !(state_->pattern && state_->pattern->wavelength.Known())) {
            if (state_->pattern) AskWavelength();
            SyncFromState();
        } else {
            const int choice = index - 1;
            Run([choice](PatternWindowState& s, Ui& ui) {
                ChoosePatternWavelength(s, ui, choice);
            });
        }
    });
    connect(WavelengthEdit, &QLineEdit::editingFinished, this, [this] {
        if (syncing_ || !WavelengthEdit->isModified()) return;
        WavelengthEdit->setModified(false);
        const std::string text = WavelengthEdit->text().toStdString();
        Run([text](PatternWindowState& s, Ui& ui) { TypePatternWavelength(s, ui, text); });
    });
    connect(UseWavelengthButton, &QPushButton::clicked, this,
            [this] { Run(UsePatternWavelength); });
    connect(BackgroundEdit, &QLineEdit::editingFinished, this, [this] {
        if (syncing_ || !BackgroundEdit->isModified()) return;
        BackgroundEdit->setModified(false);
        const std::string text = BackgroundEdit->text().toStdString();
        Run([text](PatternWindowState& s, Ui& ui) { SetBackgroundWidth(s, ui, text); });
    });
    connect(SignificanceEdit, &QLineEdit::editingFinished, this, [this] {
        if (syncing_ || !SignificanceEdit->isModified()) return;
        SignificanceEdit->setModified(false);
        const std::string text = SignificanceEdit->text().toStdString();
        Run([text](PatternWindowState& s, Ui& ui) { SetSignificance(s, ui, text); });
    });
    connect(ScaleBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_) return;
        Run([index](PatternWindowState& s, Ui& ui) {
            SetIntensityScale(s, ui, static_cast<IntensityScale>(index));
        });
    });
    connect(ShowBackground, &QCheckBox::clicked, this, [this](bool on) {
        Run([on](PatternWindowState& s, Ui& ui) { ShowBackgroundCurve(s, ui, on); });
    });
    connect(ShowProfiles, &QCheckBox::clicked, this, [this](bool on) {
        Run([on](PatternWindowState& s, Ui& ui) { ShowFittedProfiles(s, ui, on); });
    });
    connect(ShowTicks, &QCheckBox::clicked, this, [this](bool on) {
        Run([on](PatternWindowState& s, Ui& ui) { ShowTickMarks(s, ui, on); });
    });
    return OptionsBox;
}

QWidget* PatternWindow::BuildPeakList() {
    auto* panel = new QWidget(this);
    panel->setObjectName("PeakPanel");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    PeaksLabel = MakeLabel(panel, PatternControlName(PatternControl::PeaksLabel), true);
    PeaksLabel->setWordWrap(true);
    layout->addWidget(PeaksLabel);
    tableModel_ = new PeakTableModel(*state_, this);
    PeakGrid = new QTableView(panel);
    PeakGrid->setObjectName("PeakGrid");
    PeakGrid->setModel(tableModel_);
    PeakGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PeakGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    PeakGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    PeakGrid->verticalHeader()->hide();
    PeakGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    PeakGrid->setWordWrap(false);
    PeakGrid->setTabKeyNavigation(false);
    PeakGrid->setMinimumWidth(330);
    QHeaderView* header = PeakGrid->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        Run([section](PatternWindowState& s, Ui&) {
            SortPeakTable(s, static_cast<PeakColumn>(section));
        });
    });
    connect(PeakGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        Plot->SetChosenPeak(ChosenPeak());
        RemovePeakButton->setEnabled(ChosenPeak().has_value());
    });
    layout->addWidget(PeakGrid, 1);
    auto* buttons = new QGridLayout;
    RemovePeakButton = MakeButton(panel, PatternControl::RemovePeakButton);
    CopyButton = MakeButton(panel, PatternControl::CopyButton);
    CsvButton = MakeButton(panel, PatternControl::CsvButton);
    SendButton = MakeButton(panel, PatternControl::SendButton);
    buttons->addWidget(RemovePeakButton, 0, 0);
    buttons->addWidget(CopyButton, 0, 1);
    buttons->addWidget(CsvButton, 1, 0);
    buttons->addWidget(SendButton, 1, 1);
    layout->addLayout(buttons);
    connect(RemovePeakButton, &QPushButton::clicked, this, [this] {
        const std::optional<std::size_t> peak = ChosenPeak();
        if (!peak) return;
        Run([peak](PatternWindowState& s, Ui& ui) { RemovePeakAt(s, ui, *peak); });
    });
    connect(CopyButton, &QPushButton::clicked, this, [this] { Run(CopyPeaks); });
    connect(CsvButton, &QPushButton::clicked, this, [this] { Run(SavePeaksCsv); });
    connect(SendButton, &QPushButton::clicked, this, [this] { Run(SendPeaksToTable); });
    return panel;
}

std::optional<std::size_t> PatternWindow::ChosenPeak() const {
    const QModelIndexList chosen = PeakGrid->selectionModel()->selectedRows();
    if (chosen.isEmpty()) return std::nullopt;
    const auto row = static_cast<std::size_t>(chosen.front().row());
    if (row >= state_->rows.size()) return std::nullopt;
    return state_->rows[row].peak;
}

void PatternWindow::PlaceBeside(const QWidget* main) {
    const QScreen* screen = main ? main->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    resize(size().boundedTo(free.size()));
    if (!main) {
        move(free.center() - QPoint(width() / 2, height() / 2));
        return;
    }
    const QSize decoration = main->frameGeometry().size() - main->size();
    move(BesidePosition(free, main->frameGeometry(), size() + decoration));
}

void PatternWindow::OpenFileDialog(const QWidget* main) {
    if (!placed_ && !isVisible()) {
        placed_ = true;
        PlaceBeside(main);
    }
    Run(OpenPatternClick);
}

void PatternWindow::OpenFile(const std::string& path, const QWidget* main) {
    if (!placed_ && !isVisible()) {
        placed_ = true;
        PlaceBeside(main);
    }
    Run([path](PatternWindowState& s, Ui& ui) { OpenPatternFile(s, ui, path); });
}

void PatternWindow::Follow() {
    Run([](PatternWindowState& s, Ui&) { FollowMainWindow(s); });
}

void PatternWindow::Run(const Command& command) {
    // Nothing runs while a command waits for its long work (the window is drawn meanwhile,
    // and becomes active again when the progress bar closes).
    if (running_) return;
    running_ = true;
    // The boxes and dialogs of the window's own commands belong to it.
    auto* qtUi = dynamic_cast<QtUi*>(&ui_);
    QWidget* previous = qtUi ? qtUi->Parent() : nullptr;
    if (qtUi && isVisible()) qtUi->SetParent(this);
    RunCommand(ui_, [&] { command(*state_, ui_); });
    if (qtUi && isVisible()) qtUi->SetParent(previous);
    running_ = false;
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
    if (state_->mainChanged) {
        state_->mainChanged = false;
        emit MainStateChanged();
    }
    if (state_->wavelengthRequested) {
        state_->wavelengthRequested = false;
        AskWavelength();
    }
    emit CommandRun();
}

void PatternWindow::AskWavelength() {
    if (Question) return;
    Question = new WavelengthDialog(*state_, this);
    connect(Question, &QDialog::finished, this, [this](int result) {
        WavelengthDialog* dialog = Question;
        Question = nullptr;
        dialog->deleteLater();
        if (result != QDialog::Accepted) return;
        const int choice = dialog->Choice();
        if (choice < static_cast<int>(kXrayLines.size())) {
            Run([choice](PatternWindowState& s, Ui& ui) {
                ChoosePatternWavelength(s, ui, choice);
            });
        } else {
            const std::string text = dialog->Text();
            Run([text](PatternWindowState& s, Ui& ui) { TypePatternWavelength(s, ui, text); });
        }
    });
    Question->open();
}

void PatternWindow::SyncFromState() {
    const PatternWindowState& s = *state_;
    syncing_ = true;
    setWindowTitle(s.path.empty()
                       ? ToQ(s.Caption(PatternControl::TForm11))
                       : ToQ(s.Caption(PatternControl::TForm11) + " - " + FileNameOf(s.path)));
    OptionsBox->setTitle(ToQ(s.Caption(PatternControl::OptionsBox)));
    const bool english = s.UiLang() == Lang::English;
    auto caption = [&](PatternControl control) {
        return ToQ(WithMnemonic(s.Caption(control), english ? PatternMnemonic(control) : 0));
    };
    const std::pair<QLabel*, PatternControl> labels[] = {
        {ScanLabel, PatternControl::ScanLabel},
        {WavelengthLabel, PatternControl::WavelengthLabel},
        {BackgroundLabel, PatternControl::BackgroundLabel},
        {SignificanceLabel, PatternControl::SignificanceLabel},
        {ScaleLabel, PatternControl::ScaleLabel},
        {NoWavelengthNote, PatternControl::NoWavelengthNote},
        {EmptyNote, PatternControl::EmptyNote},
        {PlotHint, PatternControl::PlotHint},
        {PeaksLabel, PatternControl::PeaksLabel}};
    for (const auto& [label, control] : labels)
        label->setText(caption(control));
    const std::pair<QAbstractButton*, PatternControl> buttons[] = {
        {UseWavelengthButton, PatternControl::UseWavelengthButton},
        {ShowBackground, PatternControl::ShowBackground},
        {ShowProfiles, PatternControl::ShowProfiles},
        {ShowTicks, PatternControl::ShowTicks},
        {FullViewButton, PatternControl::FullViewButton},
        {RemovePeakButton, PatternControl::RemovePeakButton},
        {CopyButton, PatternControl::CopyButton},
        {CsvButton, PatternControl::CsvButton},
        {SendButton, PatternControl::SendButton},
        {OpenButton, PatternControl::OpenButton},
        {CloseButton, PatternControl::CloseButton}};
    for (const auto& [button, control] : buttons)
        button->setText(caption(control));
    SyncOptions();
    if (shownVersion_ != s.version) {
        shownVersion_ = s.version;
        SyncContent();
    }
    syncing_ = false;
}

void PatternWindow::SyncOptions() {
    const PatternWindowState& s = *state_;
    const bool open = s.CurrentScan() != nullptr;
    const bool known = s.lines.Known();
    const bool peaks = !s.Peaks().empty();
    const int scans = s.pattern ? static_cast<int>(s.pattern->scans.size()) : 0;
    if (ScanBox->count() != scans) {
        ScanBox->clear();
        for (int i = 0; i < scans; ++i)
            ScanBox->addItem(QString::number(i + 1));
    }
    if (scans > 0) ScanBox->setCurrentIndex(static_cast<int>(s.scan));
    ScanBox->setEnabled(scans > 1);

    const bool stated = s.pattern && s.pattern->wavelength.Known();
    WavelengthBox->setItemText(0, ToQ(s.Caption(stated ? PatternControl::WavelengthFromFile
                                                       : PatternControl::WavelengthNotStated)));
    for (int i = 0; i < static_cast<int>(s.presetCaptions.size()); ++i)
        WavelengthBox->setItemText(i + 1, ToQ(s.presetCaptions[static_cast<std::size_t>(i)]));
    WavelengthBox->setItemText(kTypedEntry, ToQ(s.Caption(PatternControl::TypedWavelength)));
    WavelengthBox->setCurrentIndex(EntryOf(s.wavelengthChoice));
    if (!WavelengthEdit->hasFocus() || !WavelengthEdit->isModified()) {
        WavelengthEdit->setText(known ? ToQ(FormatGeneral(s.lines.ka1)) : QString());
        WavelengthEdit->setModified(false);
    }
    if (!BackgroundEdit->hasFocus() || !BackgroundEdit->isModified()) {
        BackgroundEdit->setText(ToQ(s.backgroundText));
        BackgroundEdit->setModified(false);
    }
    if (!SignificanceEdit->hasFocus() || !SignificanceEdit->isModified()) {
        SignificanceEdit->setText(ToQ(s.significanceText.empty()
                                          ? FormatGeneral(s.settings.significance)
                                          : s.significanceText));
        SignificanceEdit->setModified(false);
    }
    for (int i = 0; i < 3; ++i)
        ScaleBox->setItemText(i, ToQ(s.scaleCaptions[static_cast<std::size_t>(i)]));
    ScaleBox->setCurrentIndex(static_cast<int>(s.scale));
    ShowBackground->setChecked(s.showBackground);
    ShowProfiles->setChecked(s.showProfiles);
    ShowTicks->setChecked(s.showTicks);

    for (QWidget* w : std::initializer_list<QWidget*>{WavelengthBox, WavelengthEdit, BackgroundEdit,
                                                      SignificanceEdit, ScaleBox, ShowBackground,
                                                      ShowProfiles, ShowTicks, FullViewButton})
        w->setEnabled(open);
    UseWavelengthButton->setEnabled(open && known);
    for (QWidget* w : std::initializer_list<QWidget*>{CopyButton, CsvButton, SendButton})
        w->setEnabled(peaks);
    RemovePeakButton->setEnabled(ChosenPeak().has_value());
    NoWavelengthNote->setVisible(open && !known);
    EmptyNote->setVisible(!open);
}

void PatternWindow::SyncContent() {
    const PatternWindowState& s = *state_;
    FileText->setText(ToQ(s.fileLine));
    LinesText->setText(ToQ(s.linesLine));
    LinesText->setVisible(!s.linesLine.empty() && s.lines.Known());
    NotesText->setText(ToQ(s.notesText));
    NotesText->setVisible(!s.notesText.empty());
    TickText->setText(ToQ(s.tickLine));
    TickText->setVisible(!s.tickLine.empty() && s.showTicks);
    FileText->setVisible(!s.fileLine.empty());

    PlotContent content;
    content.pattern = s.pattern;
    content.scan = s.scan;
    content.found = s.found;
    content.profile = s.profile;
    content.marks = s.marks;
    if (s.showTicks) content.ticks = s.ticks;
    content.scale = s.scale;
    content.showBackground = s.showBackground;
    content.showTicks = s.showTicks;
    content.wavelength = s.lines.Known() ? s.lines.ka1 : 0;
    content.xTitle = ToQ(s.xTitle);
    content.dTitle = ToQ(s.dTitle);
    content.yTitle = ToQ(s.yTitle);
    content.removeCaption = ToQ(s.Caption(PatternControl::RemovePeakItem));
    content.fullViewCaption = ToQ(s.Caption(PatternControl::FullViewButton));
    const bool same = s.pattern.get() == shownPattern_ && s.scan == shownScan_;
    shownPattern_ = s.pattern.get();
    shownScan_ = s.scan;
    Plot->SetContent(std::move(content), same);

    tableModel_->Reset();
    Plot->SetChosenPeak(std::nullopt);
}

void PatternWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Run(ClosePatternClick);
        return;
    }
    if (event->key() == Qt::Key_Delete && PeakGrid->hasFocus()) {
        if (const std::optional<std::size_t> peak = ChosenPeak()) {
            Run([peak](PatternWindowState& s, Ui& ui) { RemovePeakAt(s, ui, *peak); });
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void PatternWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The hkl window's cell may have changed while it was in front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !syncing_) Follow();
}

void PatternWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void PatternWindow::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    const std::string path = file.toStdString();
    Run([path](PatternWindowState& s, Ui& ui) { OpenPatternFile(s, ui, path); });
}

}  // namespace dorvalix
