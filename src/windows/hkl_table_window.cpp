// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_table_window.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "fonts.h"
#include "main_menu.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

// Layout of the window, in pixels.
constexpr int kWindowWidth = 651;
constexpr int kWindowHeight = 653;
const QColor kGray(128, 128, 128);
constexpr int kFontPixels = 16;
constexpr int kRowHeight = 20;
constexpr int kFrame = 1;
constexpr int kMargin = 16;
constexpr int kTableWidths[kHklColumns] = {94, 37, 37, 36, 81};
constexpr int kCellWidths[2] = {64, 136};
constexpr int kRangeWidths[kRangeGridColumns] = {64, 67, 64, 64};
constexpr int kRight = 344;  // left edge of the right-hand column
constexpr int kLabelHeight = 18;

// A label as the window draws them: black text from its top-left corner on white (the
// captions) or silver (the values).
QLabel* MakeLabel(QWidget* parent, const char* name, const QPoint& at, int width,
                  const QColor& background) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(at.x(), at.y(), width, kLabelHeight);
    label->setFont(GothicFont(kFontPixels));
    label->setAutoFillBackground(true);
    SetColour(label, QPalette::Window, background);
    SetColour(label, QPalette::WindowText, Qt::black);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setMargin(0);
    label->setIndent(0);
    return label;
}

int Sum(const int* widths, int count) {
    int total = 0;
    for (int i = 0; i < count; ++i)
        total += widths[i] + kGridLine;
    return total;
}

// A small picture of reciprocal-lattice points, the window's emblem.
QPixmap LatticePicture() {
    QPixmap picture(32, 32);
    picture.fill(kSilver);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            painter.setBrush(i == 1 && j == 2 ? QColor(200, 0, 0) : QColor(0, 0, 128));
            // The sheared rows stay inside the frame: the last point ends at x = 30.2.
            painter.drawEllipse(QPointF(4 + 6.5 * i + 1.5 * j, 5 + 7 * j), 2.2, 2.2);
        }
    }
    // A crisp frame on the outermost pixels: antialiased, it would spread half-grey into
    // the picture.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, 31, 31);
    return picture;
}

}  // namespace

HklTableWindow::HklTableWindow(Ui& ui, MainState& main, QWidget* parent)
    : QDialog(parent), ui_(ui), state_(std::make_unique<HklWindowState>(main)) {
    setObjectName("TForm7");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    silverGridStyle_ = new GridLineColourStyle(kGray);
    silverGridStyle_->setParent(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    MainMenu1->setNativeMenuBar(false);
    layout->setMenuBar(MainMenu1);
    BuildMenus();
    AddMenuBarKey(this, MainMenu1);
    auto* client = new QWidget(this);
    client->setObjectName("client");
    layout->addWidget(client);
    BuildControls(kWindowHeight - MainMenu1->sizeHint().height());
    setFixedSize(kWindowWidth, kWindowHeight);
    SyncFromState();
}

HklTableWindow::~HklTableWindow() {
    // The widgets and models read the state: they go first.
    delete findChild<QWidget*>("client");
    delete tableModel_;
    delete cellModel_;
    delete rangeModel_;
}

void HklTableWindow::BuildMenus() {
    auto action = [this](QMenu* menu, HklControl control, const Command& command) {
        QAction* a = menu->addAction(QString());
        a->setObjectName(HklControlName(control));
        actions_[static_cast<std::size_t>(control)] = a;
        connect(a, &QAction::triggered, this, [this, command] { Run(command); });
        return a;
    };
    auto menu = [this](QMenu* parentMenu, HklControl control) {
        QMenu* m = parentMenu ? parentMenu->addMenu(QString()) : MainMenu1->addMenu(QString());
        m->setObjectName(HklControlName(control));
        m->setSeparatorsCollapsible(false);
        menus_[static_cast<std::size_t>(control)] = m;
        return m;
    };

    QMenu* n1 = menu(nullptr, HklControl::N1);
    action(n1, HklControl::N2, N2Click);
    n1->addSeparator();
    action(n1, HklControl::N4, N4Click);
    n1->addSeparator();
    action(n1, HklControl::N15, N15Click);
    n1->addSeparator();
    action(n1, HklControl::N8, N8Click);
    n1->addSeparator();
    action(n1, HklControl::N19, N19Click);

    QMenu* n5 = menu(nullptr, HklControl::N5);
    for (int i = 0; i < static_cast<int>(presets_.size()); ++i) {
        QAction* a =
            n5->addAction(QString::fromUtf8(kWavelengthPresets[static_cast<std::size_t>(i)].name));
        a->setObjectName(kPresetItemNames[static_cast<std::size_t>(i)]);
        presets_[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this,
                [this, i] { Run([i](HklWindowState& s, Ui& ui) { PresetClick(s, ui, i); }); });
    }
    action(n5, HklControl::N6, N6Click)->setCheckable(true);
    for (QAction* a : presets_)
        a->setCheckable(true);

    QMenu* n9 = menu(nullptr, HklControl::N9);
    action(n9, HklControl::N10, N10Click);

    QMenu* n11 = menu(nullptr, HklControl::N11);
    QMenu* n12 = menu(n11, HklControl::N12);
    // Opening the submenu computes the range. The command runs once the submenu is up: a
    // message box or the cell dialog opened while a menu is still popping up would close
    // the menu under Qt's feet.
    connect(n12, &QMenu::aboutToShow, this,
            [this] { QTimer::singleShot(0, this, [this] { Run(N12Click); }); });
    action(n12, HklControl::N16, N16Click)->setCheckable(true);
    action(n12, HklControl::N17, N17Click)->setCheckable(true);
    action(n11, HklControl::N13, N13Click);

    QMenu* lattice = menu(nullptr, HklControl::Lattice1);
    for (std::size_t i = 0; i < lattices_.size(); ++i) {
        QAction* a = lattice->addAction(QString());
        a->setObjectName(kLatticeItemNames[i]);
        a->setCheckable(true);
        lattices_[i] = a;
        const auto centring = static_cast<Centring>(i);
        connect(a, &QAction::triggered, this, [this, centring] {
            Run([centring](HklWindowState& s, Ui& ui) { LatticeClick(s, ui, centring); });
        });
    }
    lattice->addSeparator();
    action(lattice, HklControl::SpaceGroup1, SpaceGroupClick)->setCheckable(true);
}

GridView* HklTableWindow::MakeSmallGrid(QWidget* parent, const char* name, TextGridModel* model,
                                        const int* widths, int columns, int rows,
                                        FixedCellDelegate::IsFixed isFixed) {
    auto* grid = new GridView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setStyle(silverGridStyle_);
    grid->setFont(GothicFont(kFontPixels));
    grid->setItemDelegate(new FixedCellDelegate(std::move(isFixed), kSilver, 1, 2, grid));
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    SetSectionSizes(grid->horizontalHeader(), widths, columns);
    SetRowHeights(grid->verticalHeader(), kRowHeight);
    grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    grid->setLineWidth(kFrame);
    grid->resize(Sum(widths, columns) + 2 * kFrame, rows * (kRowHeight + kGridLine) + 2 * kFrame);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setFocusPolicy(Qt::ClickFocus);  // not reached by Tab
    grid->setWordWrap(false);
    grid->setCornerButtonEnabled(false);
    SetColour(grid, QPalette::Base, kSilver);
    return grid;
}

void HklTableWindow::BuildControls(int clientHeight) {
    QWidget* client = findChild<QWidget*>("client");
    client->setAutoFillBackground(true);
    SetColour(client, QPalette::Window, kGreen);
    client->setFont(GothicFont(kFontPixels));
    HklWindowState& s = *state_;

    // The table fills the left side with whole rows.
    tableModel_ = new HklTableModel(s.hkl, this);
    StringGrid1 = new GridView(client);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setModel(tableModel_);
    StringGrid1->setStyle(silverGridStyle_);
    StringGrid1->setFont(GothicFont(kFontPixels));
    StringGrid1->setItemDelegate(new HklTableDelegate(StringGrid1));
    StringGrid1->verticalHeader()->hide();
    SetRowHeights(StringGrid1->verticalHeader(), kRowHeight);
    QHeaderView* header = StringGrid1->horizontalHeader();
    SetSectionSizes(header, kTableWidths, kHklColumns);
    header->setFont(GothicFont(kFontPixels));
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(kRowHeight + kGridLine);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setFocusPolicy(Qt::ClickFocus);
    StringGrid1->setWordWrap(false);
    StringGrid1->setCornerButtonEnabled(false);
    StringGrid1->setFrameStyle(QFrame::Box | QFrame::Plain);
    StringGrid1->setLineWidth(kFrame);
    SetColour(StringGrid1, QPalette::Base, kSilver);
    const int scrollBar = StringGrid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int rowPitch = kRowHeight + kGridLine;
    const int visibleRows = (clientHeight - 2 * kMargin - 2 * kFrame - rowPitch) / rowPitch;
    StringGrid1->setGeometry(kMargin, kMargin,
                             Sum(kTableWidths, kHklColumns) + scrollBar + 2 * kFrame,
                             (visibleRows + 1) * rowPitch + 2 * kFrame);
    connect(StringGrid1->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { OnTableScrolled(); });

    const QColor white(Qt::white);
    Label4 = MakeLabel(client, "Label4", {kRight, 16}, 0, white);
    Label5 = MakeLabel(client, "Label5", {kRight + 80, 16}, 200, kSilver);

    Label1 = MakeLabel(client, "Label1", {kRight, 52}, 0, white);
    cellModel_ = new TextGridModel(
        kCellGridRows, 2,
        [this](int row, int col) -> std::string& {
            return state_->cellGrid[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
        },
        nullptr, this);
    StringGrid2 = MakeSmallGrid(client, "StringGrid2", cellModel_, kCellWidths, 2, kCellGridRows,
                                [](const QModelIndex& i) { return i.column() == 0; });
    StringGrid2->move(kRight, 74);

    Label2 = MakeLabel(client, "Label2", {kRight, 222}, 0, white);
    rangeModel_ = new TextGridModel(
        kRangeGridRows, kRangeGridColumns,
        [this](int row, int col) -> std::string& {
            return state_->rangeGrid[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
        },
        nullptr, this);
    StringGrid3 = MakeSmallGrid(
        client, "StringGrid3", rangeModel_, kRangeWidths, kRangeGridColumns, kRangeGridRows,
        [](const QModelIndex& i) { return i.column() == 0 || i.row() == 0; });
    StringGrid3->move(kRight, 244);

    Label3 = MakeLabel(client, "Label3", {kRight, 352}, 0, white);
    Label10 = MakeLabel(client, "Label10", {kRight + 96, 352}, 112, kSilver);
    Label11 = MakeLabel(client, "Label11", {kRight + 212, 352}, 12, kGreen);
    Label6 = MakeLabel(client, "Label6", {kRight, 392}, 0, white);
    Label7 = MakeLabel(client, "Label7", {kRight, 416}, 88, kSilver);
    Label8 = MakeLabel(client, "Label8", {kRight + 96, 416}, 112, kSilver);
    Label9 = MakeLabel(client, "Label9", {kRight + 212, 416}, 12, kGreen);
    for (QLabel* unit : {Label11, Label9}) {
        SetColour(unit, QPalette::WindowText, Qt::white);
        unit->setText(QString::fromUtf8("Å"));
        unit->resize(unit->sizeHint().width(), kLabelHeight);
    }

    LatticeCaption = MakeLabel(client, "LatticeCaption", {kRight, 452}, 0, white);
    LatticeShown = MakeLabel(client, "LatticeShown", {kRight, 476}, 208, kSilver);

    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setPixmap(LatticePicture());
    Image1->setGeometry(kWindowWidth - kMargin - 32, clientHeight - kMargin - 32, 32, 32);
}

void HklTableWindow::Open() {
    Prepare();
    exec();
}

void HklTableWindow::ShowWindow() {
    Prepare();
    show();
}

void HklTableWindow::Prepare() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(kWindowWidth / 2, kWindowHeight / 2));
    }
    Run([](HklWindowState& s, Ui& ui) { FormShow(s, ui); });
}

void HklTableWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SyncFromState();  // the current cells and the focus, now that the grids can take it
}

void HklTableWindow::Run(const Command& command) {
    RunCommand(ui_, [&] { command(*state_, ui_); });
    SyncFromState();
    if (state_->closeRequested) {
        state_->closeRequested = false;
        accept();
    }
}

void HklTableWindow::SyncFromState() {
    HklWindowState& s = *state_;
    syncing_ = true;
    setWindowTitle(ToQ(s.Caption(HklControl::TForm7)));
    // English captions carry their underlined letter; Japanese ones are shown as written.
    const bool english = s.UiLang() == Lang::English;
    for (int i = 0; i < kHklControlCount; ++i) {
        const char letter = english ? HklMnemonic(static_cast<HklControl>(i)) : 0;
        const QString caption = ToQ(WithMnemonic(s.captions[static_cast<std::size_t>(i)], letter));
        if (QAction* a = actions_[static_cast<std::size_t>(i)]) a->setText(caption);
        if (QMenu* m = menus_[static_cast<std::size_t>(i)]) m->setTitle(caption);
    }
    Action(HklControl::N16)->setChecked(s.n16Checked);
    Action(HklControl::N17)->setChecked(s.n17Checked);
    Action(HklControl::SpaceGroup1)->setChecked(!s.spaceGroup.empty());
    for (std::size_t i = 0; i < lattices_.size(); ++i) {
        const std::string& lattice = s.latticeCaptions[i];
        lattices_[i]->setText(ToQ(WithMnemonic(lattice, english ? lattice.front() : 0)));
        lattices_[i]->setChecked(s.latticeChecked[i]);
    }

    const std::pair<QLabel*, HklControl> captionLabels[] = {{Label4, HklControl::Label4},
                                                            {Label1, HklControl::Label1},
                                                            {Label2, HklControl::Label2},
                                                            {Label3, HklControl::Label3},
                                                            {Label6, HklControl::Label6}};
    for (const auto& [label, control] : captionLabels) {
        label->setText(ToQ(s.Caption(control)));
        label->resize(label->sizeHint().width(), kLabelHeight);
    }
    LatticeCaption->setText(ToQ(s.Caption(HklControl::Lattice1)));
    LatticeCaption->resize(LatticeCaption->sizeHint().width(), kLabelHeight);
    LatticeShown->setText(ToQ(s.latticeShown));
    for (std::size_t i = 0; i < presets_.size(); ++i)
        presets_[i]->setChecked(s.presetChecked == static_cast<int>(i));
    Action(HklControl::N6)->setChecked(s.presetChecked < 0);
    Label5->setText(ToQ(s.label5));
    Label7->setText(ToQ(s.label7));
    Label8->setText(ToQ(s.label8));
    Label10->setText(ToQ(s.label10));

    cellModel_->Refresh();
    rangeModel_->Refresh();
    if (shownTableVersion_ != s.tableVersion) {
        // The rows were rewritten: the current cell stays where it was, within the grid.
        const QModelIndex before = StringGrid1->currentIndex();
        const int scroll = StringGrid1->verticalScrollBar()->value();
        tableModel_->Reset();
        shownTableVersion_ = s.tableVersion;
        const int rows = tableModel_->rowCount();
        if (before.isValid() && rows > 0) {
            StringGrid1->setCurrentIndex(
                tableModel_->index(std::min(before.row(), rows - 1), before.column()));
        }
        StringGrid1->verticalScrollBar()->setValue(scroll);
    }
    if (s.currentCellsRequested) {
        StringGrid2->setCurrentIndex(cellModel_->index(0, 1));
        StringGrid2->setFocus();
        if (tableModel_->rowCount() > 0) {
            StringGrid1->setCurrentIndex(tableModel_->index(0, 0));
            StringGrid1->scrollToTop();
        }
        StringGrid1->setFocus();
        if (isVisible()) s.currentCellsRequested = false;
    }
    StringGrid1->viewport()->update();
    syncing_ = false;
}

void HklTableWindow::OnTableScrolled() {
    if (syncing_) return;
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid()) return;
    const int topRow = StringGrid1->TopRow() + 1;  // grid rows: the header is row 0
    const std::optional<int> row =
        RowAfterScroll(current.row() + 1, topRow, StringGrid1->FullyVisibleRows());
    if (!row) return;
    const int last = tableModel_->rowCount();
    StringGrid1->setCurrentIndex(tableModel_->index(std::clamp(*row, 1, last) - 1, 0));
    StringGrid1->setFocus();
}

void HklTableWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace dorvalix
