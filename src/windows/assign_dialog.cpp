// SPDX-License-Identifier: GPL-3.0-or-later
#include "assign_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "fonts.h"
#include "main_menu.h"
#include "qt_ui.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

constexpr int kFontPixels = 13;
const QColor kAmbiguousBackground(255, 235, 190);
const QColor kUnindexedBackground(255, 205, 205);
constexpr const char* kCellNames[6] = {"CellA",     "CellB",    "CellC",
                                       "CellAlpha", "CellBeta", "CellGamma"};
constexpr const char* kCellLabels[6] = {"a", "b", "c", "α", "β", "γ"};

QLabel* MakeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

AssignDialog::AssignDialog(Ui& ui, MainState& main, HklWindowState* hkl,
                           PatternWindowState* pattern, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(ui),
      state_(std::make_unique<AssignDialogState>(main, hkl, pattern)) {
    setObjectName(AssignControlName(AssignControl::TForm13));
    setFont(SansFont(kFontPixels));
    BuildControls();
    resize(720, 640);
    SyncFromState();
}

AssignDialog::~AssignDialog() = default;

void AssignDialog::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    CellBox = new QGroupBox(this);
    CellBox->setObjectName(AssignControlName(AssignControl::CellBox));
    auto* cell = new QGridLayout(CellBox);
    for (int i = 0; i < 6; ++i) {
        auto* label = MakeLabel(CellBox, "CellLabel");
        label->setText(QString::fromUtf8(kCellLabels[i]));
        CellEdits[static_cast<std::size_t>(i)] = new QLineEdit(CellBox);
        QLineEdit* edit = CellEdits[static_cast<std::size_t>(i)];
        edit->setObjectName(kCellNames[i]);
        edit->setMaximumWidth(110);
        label->setBuddy(edit);
        cell->addWidget(label, i / 3, (i % 3) * 2);
        cell->addWidget(edit, i / 3, (i % 3) * 2 + 1);
        connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            state_->cellTexts[static_cast<std::size_t>(i)] = text.toStdString();
        });
    }
    FromResult = MakeButton(CellBox, AssignControlName(AssignControl::FromResult));
    FromHkl = MakeButton(CellBox, AssignControlName(AssignControl::FromHkl));
    FromCif = MakeButton(CellBox, AssignControlName(AssignControl::FromCif));
    auto* sources = new QHBoxLayout;
    sources->addWidget(FromResult);
    sources->addWidget(FromHkl);
    sources->addWidget(FromCif);
    sources->addStretch(1);
    cell->addLayout(sources, 2, 0, 1, 6);
    layout->addWidget(CellBox);

    auto* options = new QGridLayout;
    SystemLabel = MakeLabel(this, AssignControlName(AssignControl::SystemLabel));
    SystemBox = new QComboBox(this);
    SystemBox->setObjectName("SystemBox");
    for (int i = 0; i < 8; ++i)
        SystemBox->addItem(QString());
    SystemLabel->setBuddy(SystemBox);
    options->addWidget(SystemLabel, 0, 0);
    options->addWidget(SystemBox, 0, 1, 1, 2);

    RuleLabel = MakeLabel(this, AssignControlName(AssignControl::RuleLabel));
    ByCentring = new QRadioButton(this);
    ByCentring->setObjectName(AssignControlName(AssignControl::ByCentring));
    LatticeBox = new QComboBox(this);
    LatticeBox->setObjectName("LatticeBox");
    for (int i = 0; i < 7; ++i)
        LatticeBox->addItem(QString());
    BySpaceGroup = new QRadioButton(this);
    BySpaceGroup->setObjectName(AssignControlName(AssignControl::BySpaceGroup));
    SpaceGroupEdit = new QLineEdit(this);
    SpaceGroupEdit->setObjectName("SpaceGroupEdit");
    SpaceGroupHint = MakeLabel(this, AssignControlName(AssignControl::SpaceGroupHint));
    ruleGroup_ = new QButtonGroup(this);
    ruleGroup_->addButton(ByCentring, 0);
    ruleGroup_->addButton(BySpaceGroup, 1);
    options->addWidget(RuleLabel, 1, 0);
    options->addWidget(ByCentring, 1, 1);
    options->addWidget(LatticeBox, 1, 2);
    options->addWidget(BySpaceGroup, 2, 1);
    options->addWidget(SpaceGroupEdit, 2, 2);
    options->addWidget(SpaceGroupHint, 2, 3);

    ToleranceLabel = MakeLabel(this, AssignControlName(AssignControl::ToleranceLabel));
    ToleranceEdit = new QLineEdit(this);
    ToleranceEdit->setObjectName("ToleranceEdit");
    ToleranceEdit->setMaximumWidth(110);
    ToleranceLabel->setBuddy(ToleranceEdit);
    ToleranceHint = MakeLabel(this, AssignControlName(AssignControl::ToleranceHint));
    options->addWidget(ToleranceLabel, 3, 0);
    options->addWidget(ToleranceEdit, 3, 1);
    options->addWidget(ToleranceHint, 3, 2, 1, 2);

    LinesLabel = MakeLabel(this, AssignControlName(AssignControl::LinesLabel));
    FromTable = new QRadioButton(this);
    FromTable->setObjectName(AssignControlName(AssignControl::FromTable));
    FromPattern = new QRadioButton(this);
    FromPattern->setObjectName(AssignControlName(AssignControl::FromPattern));
    linesGroup_ = new QButtonGroup(this);
    linesGroup_->addButton(FromTable, 0);
    linesGroup_->addButton(FromPattern, 1);
    options->addWidget(LinesLabel, 4, 0);
    options->addWidget(FromTable, 4, 1, 1, 2);
    options->addWidget(FromPattern, 5, 1, 1, 2);
    options->setColumnStretch(3, 1);
    layout->addLayout(options);

    AssignButton = MakeButton(this, AssignControlName(AssignControl::AssignButton));
    auto* assignRow = new QHBoxLayout;
    assignRow->addWidget(AssignButton);
    assignRow->addStretch(1);
    layout->addLayout(assignRow);

    ResultLabel = MakeLabel(this, AssignControlName(AssignControl::ResultLabel));
    QFont bold = ResultLabel->font();
    bold.setBold(true);
    ResultLabel->setFont(bold);
    layout->addWidget(ResultLabel);
    ResultGrid = new QTableWidget(this);
    ResultGrid->setObjectName("ResultGrid");
    ResultGrid->setColumnCount(kAssignColumns);
    ResultGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultGrid->setTabKeyNavigation(false);
    ResultGrid->verticalHeader()->hide();
    ResultGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ResultGrid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(ResultGrid, 1);
    SummaryText = MakeLabel(this, "SummaryText");
    SummaryText->setWordWrap(true);
    SummaryText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(SummaryText);

    ApplyButton = MakeButton(this, AssignControlName(AssignControl::ApplyButton));
    CloseButton = MakeButton(this, AssignControlName(AssignControl::CloseButton));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ApplyButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);

    connect(FromResult, &QPushButton::clicked, this, [this] { Run(AssignFromResultClick); });
    connect(FromHkl, &QPushButton::clicked, this, [this] { Run(AssignFromHklClick); });
    connect(FromCif, &QPushButton::clicked, this, [this] { Run(AssignFromCifClick); });
    connect(SystemBox, &QComboBox::activated, this, [this](int index) {
        if (!syncing_) state_->system = index + 1;
    });
    connect(LatticeBox, &QComboBox::activated, this, [this](int index) {
        if (syncing_) return;
        state_->centring = index;
        state_->bySpaceGroup = false;
        SyncFromState();
    });
    connect(ruleGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        if (!syncing_) state_->bySpaceGroup = id == 1;
    });
    connect(SpaceGroupEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        state_->spaceGroupText = text.toStdString();
        state_->bySpaceGroup = true;
        syncing_ = true;
        BySpaceGroup->setChecked(true);
        syncing_ = false;
    });
    connect(ToleranceEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { state_->toleranceText = text.toStdString(); });
    connect(linesGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        if (!syncing_) state_->fromPattern = id == 1;
    });
    connect(AssignButton, &QPushButton::clicked, this, [this] { Run(AssignClick); });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Run(AssignApplyClick); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { Run(AssignCloseClick); });
}

void AssignDialog::Open() {
    Run([](AssignDialogState& s, Ui&) { AssignDialogShow(s); });
}

void AssignDialog::Follow() {
    Run([](AssignDialogState& s, Ui&) { FollowMainForAssign(s); });
}

void AssignDialog::Run(const Command& command) {
    // The boxes and dialogs of the dialog's own commands belong to it.
    auto* qtUi = dynamic_cast<QtUi*>(&ui_);
    QWidget* previous = qtUi ? qtUi->Parent() : nullptr;
    if (qtUi && isVisible()) qtUi->SetParent(this);
    RunCommand(ui_, [&] { command(*state_, ui_); });
    if (qtUi && isVisible()) qtUi->SetParent(previous);
    SyncFromState();
    if (state_->mainChanged) {
        state_->mainChanged = false;
        emit MainStateChanged();
    }
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

void AssignDialog::SyncFromState() {
    const AssignDialogState& s = *state_;
    syncing_ = true;
    const bool english = s.UiLang() == Lang::English;
    auto caption = [&](AssignControl control) {
        return ToQ(WithMnemonic(s.Caption(control), english ? AssignMnemonic(control) : 0));
    };
    setWindowTitle(ToQ(s.Caption(AssignControl::TForm13)));
    CellBox->setTitle(caption(AssignControl::CellBox));
    const std::pair<QLabel*, AssignControl> labels[] = {
        {SystemLabel, AssignControl::SystemLabel},
        {RuleLabel, AssignControl::RuleLabel},
        {SpaceGroupHint, AssignControl::SpaceGroupHint},
        {ToleranceLabel, AssignControl::ToleranceLabel},
        {ToleranceHint, AssignControl::ToleranceHint},
        {LinesLabel, AssignControl::LinesLabel},
        {ResultLabel, AssignControl::ResultLabel}};
    for (const auto& [label, control] : labels)
        label->setText(caption(control));
    const std::pair<QAbstractButton*, AssignControl> buttons[] = {
        {FromResult, AssignControl::FromResult},     {FromHkl, AssignControl::FromHkl},
        {FromCif, AssignControl::FromCif},           {ByCentring, AssignControl::ByCentring},
        {BySpaceGroup, AssignControl::BySpaceGroup}, {FromTable, AssignControl::FromTable},
        {FromPattern, AssignControl::FromPattern},   {AssignButton, AssignControl::AssignButton},
        {ApplyButton, AssignControl::ApplyButton},   {CloseButton, AssignControl::CloseButton}};
    for (const auto& [button, control] : buttons)
        button->setText(caption(control));
    for (std::size_t i = 0; i < 6; ++i) {
        if (!CellEdits[i]->hasFocus() || CellEdits[i]->text().toStdString() != s.cellTexts[i])
            CellEdits[i]->setText(ToQ(s.cellTexts[i]));
    }
    for (int i = 0; i < 8; ++i)
        SystemBox->setItemText(i, ToQ(s.systemCaptions[static_cast<std::size_t>(i)]));
    SystemBox->setCurrentIndex(s.system >= 1 && s.system <= 8 ? s.system - 1 : -1);
    for (int i = 0; i < 7; ++i)
        LatticeBox->setItemText(i, ToQ(s.latticeCaptions[static_cast<std::size_t>(i)]));
    LatticeBox->setCurrentIndex(s.centring);
    (s.bySpaceGroup ? BySpaceGroup : ByCentring)->setChecked(true);
    if (SpaceGroupEdit->text().toStdString() != s.spaceGroupText)
        SpaceGroupEdit->setText(ToQ(s.spaceGroupText));
    if (ToleranceEdit->text().toStdString() != s.toleranceText)
        ToleranceEdit->setText(ToQ(s.toleranceText));
    FromPattern->setEnabled(s.patternAvailable);
    (s.fromPattern ? FromPattern : FromTable)->setChecked(true);
    ApplyButton->setEnabled(s.result.has_value());
    if (shownVersion_ != s.version) {
        shownVersion_ = s.version;
        SyncResult();
    }
    syncing_ = false;
}

void AssignDialog::SyncResult() {
    const AssignDialogState& s = *state_;
    ResultGrid->clearContents();
    ResultGrid->setRowCount(static_cast<int>(s.rows.size()));
    QStringList headers;
    for (const std::string& c : s.columnCaptions)
        headers << ToQ(c);
    ResultGrid->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < static_cast<int>(s.rows.size()); ++r) {
        const AssignRow& row = s.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < kAssignColumns; ++c) {
            auto* item = new QTableWidgetItem(ToQ(row.texts[static_cast<std::size_t>(c)]));
            item->setTextAlignment(c == 3 || c == 5 ? Qt::AlignLeft | Qt::AlignVCenter
                                                    : Qt::AlignRight | Qt::AlignVCenter);
            if (row.status == indexing::AssignedLine::Status::Ambiguous)
                item->setBackground(kAmbiguousBackground);
            if (row.status == indexing::AssignedLine::Status::Unindexed)
                item->setBackground(kUnindexedBackground);
            ResultGrid->setItem(r, c, item);
        }
    }
    SummaryText->setText(ToQ(s.summary));
    SummaryText->setVisible(!s.summary.empty());
}

void AssignDialog::keyPressEvent(QKeyEvent* event) {
    // Escape closes the dialog, as Close does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Run(AssignCloseClick);
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace dorvalix
