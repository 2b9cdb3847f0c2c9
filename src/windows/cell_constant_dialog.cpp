// SPDX-License-Identifier: GPL-3.0-or-later
#include "cell_constant_dialog.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>

#include "fonts.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

// Layout of the dialog, in pixels.
constexpr int kWidth = 228;
constexpr int kHeight = 288;
constexpr int kLabelWidth = 80;
// Wide enough for a refined angle ("  105.8334") in the proportional face.
constexpr int kValueWidth = 96;
constexpr int kRowHeight = 22;
constexpr int kFontPixels = 16;

}  // namespace

CellConstantDialog::CellConstantDialog(Ui& ui, HklWindowState& window, QWidget* parent)
    : QDialog(parent), ui_(ui), window_(window), state_(std::make_unique<CellDialogState>()) {
    setObjectName("TForm8");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, kGreen);
    setFont(PGothicFont(kFontPixels));

    Label7 = new QLabel(this);
    Label7->setObjectName("Label7");
    Label7->setFont(PGothicFont(kFontPixels));
    SetColour(Label7, QPalette::WindowText, Qt::white);
    Label7->setTextFormat(Qt::PlainText);

    model_ = new TextGridModel(
        kCellGridRows, 2,
        [this](int row, int col) -> std::string& {
            return state_->grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
        },
        [](int, int col) { return col == 1; }, this);
    StringGrid1 = new GridView(this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setModel(model_);
    auto* style = new GridLineColourStyle(kSilver);
    style->setParent(StringGrid1);
    StringGrid1->setStyle(style);
    StringGrid1->setFont(PGothicFont(kFontPixels));
    auto* delegate = new FixedCellDelegate([](const QModelIndex& i) { return i.column() == 0; },
                                           kYellow, 2, 2, StringGrid1);
    // Enter reformats the values, from an open editor or from the grid.
    connect(delegate, &GridCellDelegate::EditorEnterPressed, this, &CellConstantDialog::OnEnter);
    connect(StringGrid1, &GridView::EnterPressed, this, &CellConstantDialog::OnEnter);
    delegate->SetFocusFrame(true);
    StringGrid1->setItemDelegate(delegate);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    for (QHeaderView* header : {StringGrid1->horizontalHeader(), StringGrid1->verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    StringGrid1->horizontalHeader()->resizeSection(0, kLabelWidth + kGridLine);
    StringGrid1->horizontalHeader()->resizeSection(1, kValueWidth + kGridLine);
    StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight + kGridLine);
    StringGrid1->setFrameStyle(QFrame::Box | QFrame::Plain);
    StringGrid1->setLineWidth(1);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    StringGrid1->setWordWrap(false);
    StringGrid1->setCornerButtonEnabled(false);
    // Tab after the last value goes on to the button, so that the dialog can be used from
    // the keyboard alone.
    StringGrid1->SetTabLeavesAtEnds(true);
    SetColour(StringGrid1, QPalette::Base, kYellow);
    const int gridWidth = kLabelWidth + kValueWidth + 2 * kGridLine + 2;
    const int gridHeight = kCellGridRows * (kRowHeight + kGridLine) + 2;
    StringGrid1->setGeometry((kWidth - gridWidth) / 2, 52, gridWidth, gridHeight);
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnCurrentChanged(current); });

    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setIcon(style->standardIcon(QStyle::SP_DialogCloseButton));
    BitBtn1->setAutoDefault(false);
    BitBtn1->setDefault(false);
    BitBtn1->setGeometry((kWidth - 100) / 2, 52 + gridHeight + 28, 100, 30);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        StringGrid1->FinishEditing();
        Run(BitBtn1Click);
    });

    ApplyCellDialogCaptions(*state_, window_);
    setFixedSize(kWidth, kHeight);
    SyncFromState();
}

CellConstantDialog::~CellConstantDialog() {
    // The grid and its model read the state: they go first.
    delete StringGrid1;
    delete model_;
}

void CellConstantDialog::Open() {
    Prepare();
    exec();
}

void CellConstantDialog::ShowWindow() {
    Prepare();
    show();
}

void CellConstantDialog::Prepare() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }
    StringGrid1->FinishEditing();
    Run([](CellDialogState& d, HklWindowState& w, Ui&) { FormShow(d, w); });
}

void CellConstantDialog::Run(const Command& command) {
    RunCommand(ui_, [&] { command(*state_, window_, ui_); });
    SyncFromState();
    if (state_->closeRequested) {
        state_->closeRequested = false;
        accept();
    }
}

void CellConstantDialog::SyncFromState() {
    const CellDialogState& s = *state_;
    syncing_ = true;
    setWindowTitle(ToQ(s.title));
    Label7->setText(ToQ(s.label7));
    Label7->setGeometry(24, 20, Label7->sizeHint().width(), Label7->sizeHint().height());
    BitBtn1->setText(ToQ(s.bitBtn1));
    model_->Refresh();
    const QModelIndex current = model_->index(s.row, 1);
    if (StringGrid1->currentIndex() != current) StringGrid1->setCurrentIndex(current);
    if (state_->focusRequested && isVisible()) {
        StringGrid1->setFocus();
        state_->focusRequested = false;
    }
    syncing_ = false;
}

void CellConstantDialog::OnCurrentChanged(const QModelIndex& current) {
    if (syncing_ || !current.isValid()) return;
    // The labels cannot be current: a click on one selects the value beside it.
    state_->row = current.row();
    if (current.column() != 1) {
        syncing_ = true;
        StringGrid1->setCurrentIndex(model_->index(current.row(), 1));
        syncing_ = false;
    }
}

void CellConstantDialog::OnEnter() {
    StringGrid1->FinishEditing();
    Run([](CellDialogState& d, HklWindowState&, Ui& ui) { StringGrid1Enter(d, ui); });
}

void CellConstantDialog::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CellConstantDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SyncFromState();
}

}  // namespace dorvalix
