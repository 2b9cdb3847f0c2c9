// SPDX-License-Identifier: GPL-3.0-or-later
#include "indexing_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "fonts.h"
#include "main_menu.h"
#include "numtext.h"
#include "qt_ui.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

constexpr int kFontPixels = 13;
const QColor kUnindexedBackground(255, 205, 205);
const QColor kNotSearchedText(96, 96, 96);
// The wavelength list: the input's own, the presets, a typed value.
constexpr int kPresetCount = 8;
constexpr int kTypedEntry = kPresetCount + 1;

constexpr IndexingControl kFieldControls[kIndexingFields] = {
    IndexingControl::LinesLabel,  IndexingControl::ToleranceLabel, IndexingControl::ImpuritiesLabel,
    IndexingControl::VolumeLabel, IndexingControl::TimeLabel,      IndexingControl::WeakLabel};
constexpr const char* kFieldNames[kIndexingFields] = {
    "LinesEdit", "ToleranceEdit", "ImpuritiesEdit", "VolumeEdit", "TimeEdit", "WeakEdit"};

QLabel* MakeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* MakeButton(QWidget* parent, IndexingControl control) {
    auto* button = new QPushButton(parent);
    button->setObjectName(IndexingControlName(control));
    button->setAutoDefault(false);
    return button;
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, int columns) {
    auto* grid = new QTableWidget(parent);
    grid->setObjectName(name);
    grid->setColumnCount(columns);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->hide();
    // Rows as high as the text, so that more candidates and lines show at once.
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

int EntryOf(int choice) {
    return choice + 1;
}

}  // namespace

IndexingWindow::IndexingWindow(Ui& ui, MainState& main, PatternWindowState* pattern,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(ui), state_(std::make_unique<IndexingWindowState>(main)) {
    state_->pattern = pattern;
    setObjectName(IndexingControlName(IndexingControl::TForm12));
    setFont(SansFont(kFontPixels));
    BuildControls();
    poll_ = new QTimer(this);
    poll_->setInterval(kPollMilliseconds);
    connect(poll_, &QTimer::timeout, this, [this] { Run(CollectIndexing); });
    resize(1100, 800);
    Run([](IndexingWindowState& s, Ui&) { FollowMainWindow(s); });
}

IndexingWindow::~IndexingWindow() = default;

void IndexingWindow::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    OptionsBox = new QGroupBox(this);
    OptionsBox->setObjectName(IndexingControlName(IndexingControl::OptionsBox));
    auto* options = new QGridLayout(OptionsBox);

    InputLabel = MakeLabel(OptionsBox, IndexingControlName(IndexingControl::InputLabel));
    InputBox = new QComboBox(OptionsBox);
    InputBox->setObjectName("InputBox");
    InputBox->addItem(QString());
    InputBox->addItem(QString());
    InputLabel->setBuddy(InputBox);
    options->addWidget(InputLabel, 0, 0);
    options->addWidget(InputBox, 0, 1, 1, 3);

    WavelengthLabel = MakeLabel(OptionsBox, IndexingControlName(IndexingControl::WavelengthLabel));
    WavelengthBox = new QComboBox(OptionsBox);
    WavelengthBox->setObjectName("WavelengthBox");
    for (int i = 0; i <= kTypedEntry; ++i)
        WavelengthBox->addItem(QString());
    WavelengthLabel->setBuddy(WavelengthBox);
    WavelengthEdit = new QLineEdit(OptionsBox);
    WavelengthEdit->setObjectName("WavelengthEdit");
    WavelengthEdit->setMaximumWidth(110);
    options->addWidget(WavelengthLabel, 0, 4);
    options->addWidget(WavelengthBox, 0, 5, 1, 2);
    options->addWidget(WavelengthEdit, 0, 7);

    InputText = MakeLabel(OptionsBox, "InputText");
    InputText->setWordWrap(true);
    options->addWidget(InputText, 1, 0, 1, 8);

    SystemsLabel = MakeLabel(OptionsBox, IndexingControlName(IndexingControl::SystemsLabel));
    auto* systems = new QHBoxLayout;
    for (int f = 0; f < indexing::kFamilyCount; ++f) {
        const auto control =
            static_cast<IndexingControl>(static_cast<int>(IndexingControl::Cubic) + f);
        auto* box = new QCheckBox(OptionsBox);
        box->setObjectName(IndexingControlName(control));
        FamilyBoxes[static_cast<std::size_t>(f)] = box;
        systems->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, f](bool on) {
            Run([f, on](IndexingWindowState& s, Ui& ui) {
                ChooseFamily(s, ui, static_cast<indexing::Family>(f), on);
            });
        });
    }
    systems->addStretch(1);
    SystemsLabel->setBuddy(FamilyBoxes[0]);
    options->addWidget(SystemsLabel, 2, 0);
    options->addLayout(systems, 2, 1, 1, 7);

    // The fields, two rows of three: label, field, each pair in columns of its own.
    auto* fields = new QGridLayout;
    for (int i = 0; i < kIndexingFields; ++i) {
        const auto field = static_cast<IndexingField>(i);
        QLabel* label = MakeLabel(OptionsBox, IndexingControlName(kFieldControls[i]));
        auto* edit = new QLineEdit(OptionsBox);
        edit->setObjectName(kFieldNames[i]);
        edit->setMaximumWidth(90);
        label->setBuddy(edit);
        FieldLabels[static_cast<std::size_t>(i)] = label;
        FieldEdits[static_cast<std::size_t>(i)] = edit;
        fields->addWidget(label, i / 3, (i % 3) * 2);
        fields->addWidget(edit, i / 3, (i % 3) * 2 + 1);
        connect(edit, &QLineEdit::editingFinished, this, [this, edit, field] {
            if (syncing_ || !edit->isModified()) return;
            edit->setModified(false);
            const std::string text = edit->text().toStdString();
            Run([field, text](IndexingWindowState& s, Ui& ui) {
                SetIndexingField(s, ui, field, text);
            });
        });
    }
    fields->setColumnMinimumWidth(2, 24);
    fields->setColumnStretch(6, 1);
    options->addLayout(fields, 3, 0, 2, 9);
    ZeroShift = new QCheckBox(OptionsBox);
    ZeroShift->setObjectName(IndexingControlName(IndexingControl::ZeroShift));
    options->addWidget(ZeroShift, 5, 0, 1, 4);
    options->setColumnStretch(8, 1);
    layout->addWidget(OptionsBox);

    RunButton = MakeButton(this, IndexingControl::RunButton);
    CancelButton = MakeButton(this, IndexingControl::CancelButton);
    Progress = new QProgressBar(this);
    Progress->setObjectName("Progress");
    Progress->setRange(0, 1000);
    Progress->setTextVisible(true);
    Progress->setMinimumWidth(200);
    ProgressText = MakeLabel(this, "ProgressText");
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(RunButton);
    runRow->addWidget(CancelButton);
    runRow->addWidget(Progress);
    runRow->addWidget(ProgressText, 1);
    runRow->addStretch(1);
    layout->addLayout(runRow);

    EmptyNote = MakeLabel(this, IndexingControlName(IndexingControl::EmptyNote));
    EmptyNote->setWordWrap(true);
    layout->addWidget(EmptyNote);

    // The candidates above, the chosen candidate's lines below, in a splitter.
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    auto* top = new QWidget(splitter);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    CandidatesLabel = MakeLabel(top, IndexingControlName(IndexingControl::CandidatesLabel));
    QFont bold = CandidatesLabel->font();
    bold.setBold(true);
    CandidatesLabel->setFont(bold);
    topLayout->addWidget(CandidatesLabel);
    CandidateGrid = MakeGrid(top, "CandidateGrid", kCandidateColumns);
    CandidateGrid->horizontalHeader()->setSectionsClickable(true);
    CandidateGrid->horizontalHeader()->setSortIndicatorShown(false);
    CandidatesLabel->setBuddy(CandidateGrid);
    topLayout->addWidget(CandidateGrid, 1);
    SummaryText = MakeLabel(top, "SummaryText");
    SummaryText->setWordWrap(true);
    SummaryText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    topLayout->addWidget(SummaryText);
    auto* bottom = new QWidget(splitter);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    LinesTableLabel = MakeLabel(bottom, IndexingControlName(IndexingControl::LinesTableLabel));
    LinesTableLabel->setFont(bold);
    LinesCaption = MakeLabel(bottom, "LinesCaption");
    LinesCaption->setWordWrap(true);
    LinesCaption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bottomLayout->addWidget(LinesTableLabel);
    bottomLayout->addWidget(LinesCaption);
    LineGrid = MakeGrid(bottom, "LineGrid", kLineColumns);
    LinesTableLabel->setBuddy(LineGrid);
    bottomLayout->addWidget(LineGrid, 1);
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    KeepUnindexed = new QCheckBox(this);
    KeepUnindexed->setObjectName(IndexingControlName(IndexingControl::KeepUnindexed));
    UseButton = MakeButton(this, IndexingControl::UseButton);
    CopyButton = MakeButton(this, IndexingControl::CopyButton);
    TextButton = MakeButton(this, IndexingControl::TextButton);
    JsonButton = MakeButton(this, IndexingControl::JsonButton);
    CloseButton = MakeButton(this, IndexingControl::CloseButton);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(UseButton);
    buttons->addWidget(KeepUnindexed);
    buttons->addStretch(1);
    buttons->addWidget(CopyButton);
    buttons->addWidget(TextButton);
    buttons->addWidget(JsonButton);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);

    // Tab goes through the controls as they stand, top to bottom, left to right.
    std::vector<QWidget*> order = {InputBox, WavelengthBox, WavelengthEdit};
    for (QCheckBox* box : FamilyBoxes)
        order.push_back(box);
    for (QLineEdit* edit : FieldEdits)
        order.push_back(edit);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ZeroShift, RunButton, CancelButton, CandidateGrid, LineGrid, UseButton, KeepUnindexed,
             CopyButton, TextButton, JsonButton, CloseButton})
        order.push_back(w);
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(InputBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_) return;
        Run([index](IndexingWindowState& s, Ui& ui) {
            ChooseIndexingInput(s, ui, index == 0 ? IndexingInput::Pattern : IndexingInput::Table);
        });
    });
    connect(WavelengthBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_) return;
        if (index == kTypedEntry) {
            WavelengthEdit->setEnabled(true);
            WavelengthEdit->setFocus();
            WavelengthEdit->selectAll();
            return;
        }
        Run([index](IndexingWindowState& s, Ui& ui) {
            ChooseIndexingWavelength(s, ui, index - 1);
        });
    });
    connect(WavelengthEdit, &QLineEdit::editingFinished, this, [this] {
        if (syncing_ || !WavelengthEdit->isModified()) return;
        WavelengthEdit->setModified(false);
        const std::string text = WavelengthEdit->text().toStdString();
        Run([text](IndexingWindowState& s, Ui& ui) { TypeIndexingWavelength(s, ui, text); });
    });
    connect(ZeroShift, &QCheckBox::clicked, this, [this](bool on) {
        Run([on](IndexingWindowState& s, Ui& ui) { SetZeroShift(s, ui, on); });
    });
    connect(KeepUnindexed, &QCheckBox::clicked, this, [this](bool on) {
        Run([on](IndexingWindowState& s, Ui& ui) { SetKeepUnindexed(s, ui, on); });
    });
    connect(RunButton, &QPushButton::clicked, this, [this] {
        CommitEdits();
        Run(RunIndexingClick);
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] { Run(CancelIndexingClick); });
    connect(CandidateGrid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) {
                if (column < 0 || column >= kCandidateColumns) return;
                Run([column](IndexingWindowState& s, Ui&) {
                    SortCandidates(s, static_cast<CandidateColumn>(column));
                });
            });
    connect(CandidateGrid, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (syncing_ || row < 0) return;
        Run([row](IndexingWindowState& s, Ui& ui) {
            ChooseCandidate(s, ui, static_cast<std::size_t>(row));
        });
    });
    connect(UseButton, &QPushButton::clicked, this, [this] { Run(UseThisCellClick); });
    connect(CopyButton, &QPushButton::clicked, this, [this] { Run(CopyIndexingClick); });
    connect(TextButton, &QPushButton::clicked, this, [this] { Run(SaveIndexingTextClick); });
    connect(JsonButton, &QPushButton::clicked, this, [this] { Run(SaveIndexingJsonClick); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { Run(CloseIndexingClick); });
}

void IndexingWindow::CommitEdits() {
    for (int i = 0; i < kIndexingFields; ++i) {
        QLineEdit* edit = FieldEdits[static_cast<std::size_t>(i)];
        if (!edit->isModified()) continue;
        edit->setModified(false);
        const std::string text = edit->text().toStdString();
        const auto field = static_cast<IndexingField>(i);
        Run([field, text](IndexingWindowState& s, Ui& ui) {
            SetIndexingField(s, ui, field, text);
        });
    }
    if (WavelengthEdit->isModified()) {
        WavelengthEdit->setModified(false);
        const std::string text = WavelengthEdit->text().toStdString();
        Run([text](IndexingWindowState& s, Ui& ui) { TypeIndexingWavelength(s, ui, text); });
    }
}

void IndexingWindow::Open() {
    Run([](IndexingWindowState& s, Ui&) { IndexingFormShow(s); });
}

void IndexingWindow::Follow() {
    Run([](IndexingWindowState& s, Ui&) { FollowMainWindow(s); });
}

void IndexingWindow::Run(const Command& command) {
    // The boxes and dialogs of the window's own commands belong to it.
    auto* qtUi = dynamic_cast<QtUi*>(&ui_);
    QWidget* previous = qtUi ? qtUi->Parent() : nullptr;
    if (qtUi && isVisible()) qtUi->SetParent(this);
    RunCommand(ui_, [&] { command(*state_, ui_); });
    if (qtUi && isVisible()) qtUi->SetParent(previous);
    SyncFromState();
    if (state_->Running() && !poll_->isActive()) poll_->start();
    if (!state_->Running() && poll_->isActive()) poll_->stop();
    if (state_->patternChanged) {
        state_->patternChanged = false;
        emit PatternStateChanged();
    }
    if (state_->mainChanged) {
        state_->mainChanged = false;
        emit MainStateChanged();
    }
    if (state_->showMainRequested) {
        state_->showMainRequested = false;
        if (QWidget* main = parentWidget()) {
            main->raise();
            main->activateWindow();
        }
    }
    if (state_->raiseRequested) {
        state_->raiseRequested = false;
        show();
        raise();
        activateWindow();
        // Each opening offers Run to Enter and the space bar.
        if (RunButton->isEnabled()) RunButton->setFocus();
    }
    if (state_->closeRequested) {
        state_->closeRequested = false;
        hide();
    }
}

void IndexingWindow::SyncFromState() {
    const IndexingWindowState& s = *state_;
    syncing_ = true;
    const bool english = s.UiLang() == Lang::English;
    auto caption = [&](IndexingControl control) {
        return ToQ(WithMnemonic(s.Caption(control), english ? IndexingMnemonic(control) : 0));
    };
    setWindowTitle(ToQ(s.Caption(IndexingControl::TForm12)));
    OptionsBox->setTitle(ToQ(s.Caption(IndexingControl::OptionsBox)));
    const std::pair<QLabel*, IndexingControl> labels[] = {
        {InputLabel, IndexingControl::InputLabel},
        {WavelengthLabel, IndexingControl::WavelengthLabel},
        {SystemsLabel, IndexingControl::SystemsLabel},
        {CandidatesLabel, IndexingControl::CandidatesLabel},
        {LinesTableLabel, IndexingControl::LinesTableLabel},
        {EmptyNote, IndexingControl::EmptyNote}};
    for (const auto& [label, control] : labels)
        label->setText(caption(control));
    for (int i = 0; i < kIndexingFields; ++i)
        FieldLabels[static_cast<std::size_t>(i)]->setText(caption(kFieldControls[i]));
    const std::pair<QAbstractButton*, IndexingControl> buttons[] = {
        {ZeroShift, IndexingControl::ZeroShift},
        {RunButton, IndexingControl::RunButton},
        {CancelButton, IndexingControl::CancelButton},
        {KeepUnindexed, IndexingControl::KeepUnindexed},
        {UseButton, IndexingControl::UseButton},
        {CopyButton, IndexingControl::CopyButton},
        {TextButton, IndexingControl::TextButton},
        {JsonButton, IndexingControl::JsonButton},
        {CloseButton, IndexingControl::CloseButton}};
    for (const auto& [button, control] : buttons)
        button->setText(caption(control));
    for (int f = 0; f < indexing::kFamilyCount; ++f) {
        const auto control =
            static_cast<IndexingControl>(static_cast<int>(IndexingControl::Cubic) + f);
        QCheckBox* box = FamilyBoxes[static_cast<std::size_t>(f)];
        box->setText(ToQ(s.Caption(control)));
        box->setChecked(s.families[static_cast<std::size_t>(f)]);
    }

    const bool running = s.Running();
    const bool nothing = !s.patternAvailable && s.tableLines == 0;
    InputBox->setItemText(0, ToQ(s.inputCaptions[0]));
    InputBox->setItemText(1, ToQ(s.inputCaptions[1]));
    InputBox->setCurrentIndex(s.input == IndexingInput::Pattern ? 0 : 1);
    InputText->setText(ToQ(s.inputLine));
    InputText->setVisible(!s.inputLine.empty());
    WavelengthBox->setItemText(0, ToQ(s.ownWavelengthCaption));
    for (int i = 0; i < kPresetCount; ++i)
        WavelengthBox->setItemText(i + 1, ToQ(s.presetCaptions[static_cast<std::size_t>(i)]));
    WavelengthBox->setItemText(kTypedEntry, ToQ(s.Caption(IndexingControl::TypedWavelength)));
    WavelengthBox->setCurrentIndex(EntryOf(s.wavelengthChoice));
    if (!WavelengthEdit->hasFocus() || !WavelengthEdit->isModified()) {
        WavelengthEdit->setText(
            s.wavelengthChoice == kPresetCount ? ToQ(FormatGeneral(s.typedWavelength)) : QString());
        WavelengthEdit->setModified(false);
    }
    WavelengthEdit->setPlaceholderText(ToQ(s.Caption(IndexingControl::TypedWavelength)));
    const QString automatic = ToQ(s.Caption(IndexingControl::Automatic));
    const QString none = ToQ(s.Caption(IndexingControl::NoLimit));
    for (int i = 0; i < kIndexingFields; ++i) {
        QLineEdit* edit = FieldEdits[static_cast<std::size_t>(i)];
        if (!edit->hasFocus() || !edit->isModified()) {
            edit->setText(ToQ(s.fields[static_cast<std::size_t>(i)]));
            edit->setModified(false);
        }
        const auto field = static_cast<IndexingField>(i);
        edit->setPlaceholderText(
            field == IndexingField::Impurities || field == IndexingField::MaxVolume ? automatic
            : field == IndexingField::TimeLimit                                     ? none
                                                                                    : QString());
    }
    ZeroShift->setChecked(s.zeroShift && s.input == IndexingInput::Pattern);
    KeepUnindexed->setChecked(s.keepUnindexed);

    // While the search runs only Cancel, the tables and Close take a click.
    for (QWidget* w : std::initializer_list<QWidget*>{InputBox, WavelengthBox, RunButton})
        w->setEnabled(!running && !nothing);
    WavelengthEdit->setEnabled(!running && !nothing);
    for (QCheckBox* box : FamilyBoxes)
        box->setEnabled(!running);
    for (QLineEdit* edit : FieldEdits)
        edit->setEnabled(!running);
    FieldEdits[static_cast<std::size_t>(IndexingField::Weak)]->setEnabled(
        !running && s.input == IndexingInput::Pattern);
    ZeroShift->setEnabled(!running && s.input == IndexingInput::Pattern);
    CancelButton->setEnabled(running);
    const bool chosen = !running && s.Chosen() != nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{UseButton, KeepUnindexed, CopyButton,
                                                      TextButton, JsonButton})
        w->setEnabled(chosen);
    EmptyNote->setVisible(nothing && !running);

    Progress->setValue(static_cast<int>(s.fraction * 1000 + 0.5));
    Progress->setFormat(QString::number(static_cast<int>(s.fraction * 100 + 0.5)) + " %");
    Progress->setVisible(running);
    ProgressText->setText(ToQ(s.progressText));
    ProgressText->setVisible(running);

    if (shownVersion_ != s.version) {
        shownVersion_ = s.version;
        SyncTables();
    }
    syncing_ = false;
}

void IndexingWindow::SyncTables() {
    const IndexingWindowState& s = *state_;
    QStringList candidateHeaders;
    for (std::size_t c = 0; c < s.candidateCaptions.size(); ++c) {
        QString text = ToQ(s.candidateCaptions[c]);
        if (s.sortColumn && static_cast<std::size_t>(*s.sortColumn) == c)
            text += s.sortAscending ? QString::fromUtf8(" ▲") : QString::fromUtf8(" ▼");
        candidateHeaders << text;
    }
    CandidateGrid->setHorizontalHeaderLabels(candidateHeaders);
    CandidateGrid->setRowCount(static_cast<int>(s.rows.size()));
    int chosenRow = -1;
    for (int r = 0; r < static_cast<int>(s.rows.size()); ++r) {
        const CandidateRow& row = s.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < kCandidateColumns; ++c) {
            auto* item = new QTableWidgetItem(ToQ(row.texts[static_cast<std::size_t>(c)]));
            const auto column = static_cast<CandidateColumn>(c);
            const bool left =
                column == CandidateColumn::System || column == CandidateColumn::Bravais ||
                column == CandidateColumn::Unindexed || column == CandidateColumn::Extinction;
            item->setTextAlignment(left ? Qt::AlignLeft | Qt::AlignVCenter
                                        : Qt::AlignRight | Qt::AlignVCenter);
            CandidateGrid->setItem(r, c, item);
        }
        if (s.chosen && s.candidates[row.candidate].id == *s.chosen) chosenRow = r;
    }
    if (chosenRow >= 0) {
        CandidateGrid->setCurrentCell(chosenRow, 0);
        CandidateGrid->selectRow(chosenRow);
    } else {
        CandidateGrid->clearSelection();
        CandidateGrid->setCurrentCell(-1, -1);
    }
    SummaryText->setText(ToQ(s.summaryLine));
    SummaryText->setVisible(!s.summaryLine.empty());

    QStringList lineHeaders;
    for (const std::string& c : s.lineCaptions)
        lineHeaders << ToQ(c);
    LineGrid->setHorizontalHeaderLabels(lineHeaders);
    LineGrid->clearContents();
    LineGrid->setRowCount(static_cast<int>(s.lines.size()));
    for (int r = 0; r < static_cast<int>(s.lines.size()); ++r) {
        const LineRow& row = s.lines[static_cast<std::size_t>(r)];
        for (int c = 0; c < kLineColumns; ++c) {
            auto* item = new QTableWidgetItem(ToQ(row.texts[static_cast<std::size_t>(c)]));
            const auto column = static_cast<LineColumn>(c);
            const bool left = column == LineColumn::Hkl || column == LineColumn::Note;
            item->setTextAlignment(left ? Qt::AlignLeft | Qt::AlignVCenter
                                        : Qt::AlignRight | Qt::AlignVCenter);
            if (!row.indexed) item->setBackground(kUnindexedBackground);
            if (!row.searched) item->setForeground(kNotSearchedText);
            LineGrid->setItem(r, c, item);
        }
    }
    LinesCaption->setText(ToQ(s.linesCaption));
    LinesCaption->setVisible(!s.linesCaption.empty());
}

void IndexingWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes the window, as Close does, and cancels a running search.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Run(CloseIndexingClick);
        return;
    }
    QWidget::keyPressEvent(event);
}

void IndexingWindow::closeEvent(QCloseEvent* event) {
    // The title bar's close: as Close.
    RunCommand(ui_, [&] { CloseIndexingClick(*state_, ui_); });
    state_->closeRequested = false;
    SyncFromState();
    QWidget::closeEvent(event);
}

void IndexingWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Coming to the front: what the pattern window and the table hold now.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !syncing_) Follow();
}

}  // namespace dorvalix
