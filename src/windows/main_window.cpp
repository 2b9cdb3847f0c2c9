// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QUrl>

#include "fonts.h"
#include "main_commands.h"
#include "program_arguments.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

// Layout of the window, in pixels.
constexpr int kWindowWidth = 648;
constexpr int kWindowHeight = 613;
constexpr int kRowHeight = 20;
constexpr int kLabelFontPixels = 19;
constexpr int kGridFontPixels = 16;
constexpr int kObservationWidths[kTableColumns] = {73, 28, 25, 26, 84};
constexpr int kResultsWidths[kPanelColumns] = {80, 100, 90};
// A grid line of one pixel follows every row and column, inside its section.

// Grid lines are silver, as on the platform the layout comes from.
class GridLineStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Table_GridLineColor) return static_cast<int>(kSilver.rgba());
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A label as the window draws them: white background, black text from its top-left corner.
QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(GothicFont(kLabelFontPixels));
    label->setAutoFillBackground(true);
    SetColour(label, QPalette::Window, Qt::white);
    SetColour(label, QPalette::WindowText, Qt::black);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setMargin(0);
    label->setIndent(0);
    return label;
}

QLineEdit* MakeField(QWidget* parent, const char* name, const QRect& geometry, const QFont& font,
                     const QColor& background) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    edit->setFont(font);
    edit->setFrame(false);
    edit->setTextMargins(0, 0, 0, 0);
    SetColour(edit, QPalette::Base, background);
    SetColour(edit, QPalette::Text, Qt::black);
    return edit;
}

// A disabled grid keeps the colours of an enabled one, so its texts stay readable.
void KeepColoursWhenDisabled(QWidget* widget) {
    QPalette p = widget->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        p.setColor(QPalette::Disabled, r, p.color(QPalette::Active, r));
    }
    widget->setPalette(p);
}

QColor ColourOf(GridCellColour colour) {
    switch (colour) {
        case GridCellColour::Aqua:
            return kAqua;
        case GridCellColour::Yellow:
            return kYellow;
        case GridCellColour::White:
            break;
    }
    return Qt::white;
}

}  // namespace

MainWindow::MainWindow(Ui& ui, const std::string& executablePath, QWidget* parent)
    : QMainWindow(parent), ui_(ui), state_(std::make_unique<MainState>()) {
    setObjectName("TForm1");
    gridStyle_ = new GridLineStyle;
    gridStyle_->setParent(this);
    BuildControls();
    BuildMenus();
    BuildMenuKey();
    setFixedSize(kWindowWidth, kWindowHeight);
    setAcceptDrops(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(kWindowWidth / 2, kWindowHeight / 2));
    }
    FormCreate(*state_, executablePath);
    SyncFromState();
    StringGrid1->setFocus();
}

MainWindow::~MainWindow() {
    // The widgets and models read the state: they go first.
    delete takeCentralWidget();
    delete gridModel_;
    delete reciprocalModel_;
    delete directModel_;
}

void MainWindow::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setAutoFillBackground(true);
    SetColour(client, QPalette::Window, kGreen);
    client->setFont(PGothicFont(kLabelFontPixels));  // the window's default font
    setCentralWidget(client);

    gridModel_ = new ObservationTableModel(state_->calc.table, this);
    StringGrid1 = new GridView(client);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(51, 16, 265, 529);
    StringGrid1->setModel(gridModel_);
    StringGrid1->setStyle(gridStyle_);
    StringGrid1->setFont(GothicFont(kGridFontPixels));
    auto* cellDelegate = new GridCellDelegate(
        [this](const QModelIndex& index) {
            return ColourOf(StringGrid1CellColour(*state_, index.column(), index.row() + 1));
        },
        1, 2, StringGrid1);
    StringGrid1->setItemDelegate(cellDelegate);
    connect(cellDelegate, &GridCellDelegate::EditorEnterPressed, this, &MainWindow::OnGridEnter);
    connect(StringGrid1, &GridView::EnterPressed, this, &MainWindow::OnGridEnter);
    StringGrid1->verticalHeader()->hide();
    SetRowHeights(StringGrid1->verticalHeader(), kRowHeight);
    QHeaderView* header = StringGrid1->horizontalHeader();
    SetSectionSizes(header, kObservationWidths, kTableColumns);
    header->setFont(GothicFont(kGridFontPixels));
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(kRowHeight + kGridLine);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    StringGrid1->setWordWrap(false);
    StringGrid1->setCornerButtonEnabled(false);
    SetColour(StringGrid1, QPalette::Base, kYellow);
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnGridCurrentChanged(current); });
    // The scrolling rule runs once the scroll (and any change of the current cell that
    // caused it) is complete; the window's own scrolling does not count.
    connect(StringGrid1->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!syncing_)
            QMetaObject::invokeMethod(this, &MainWindow::OnGridScrolled, Qt::QueuedConnection);
    });

    Edit2 = MakeField(client, "Edit2", {16, 41, 30, 17}, PGothicFont(15), kSilver);
    Edit2->setReadOnly(true);
    Edit2->setFocusPolicy(Qt::NoFocus);

    Label7 = MakeLabel(client, "Label7", {344, 16, 81, 19});
    Edit1 = MakeField(client, "Edit1", {440, 16, 177, 20}, PGothicFont(kLabelFontPixels), kYellow);
    Edit1->setFocusPolicy(Qt::ClickFocus);  // Tab passes it by
    connect(Edit1, &QLineEdit::textEdited, this,
            [this](const QString& text) { state_->edit1 = text.toStdString(); });
    Label5 = MakeLabel(client, "Label5", {344, 48, 82, 19});
    Label6 = MakeLabel(client, "Label6", {440, 48, 177, 20});
    Label4 = MakeLabel(client, "Label4", {344, 80, 81, 19});
    Label3 = MakeLabel(client, "Label3", {440, 80, 177, 20});
    Label1 = MakeLabel(client, "Label1", {344, 120, 0, 19});
    reciprocalModel_ = new ResultsGridModel(state_->calc.panel.reciprocal, this);
    StringGrid2 = MakeResultsGrid("StringGrid2", {344, 144, 273, 149}, reciprocalModel_);
    Label2 = MakeLabel(client, "Label2", {344, 320, 0, 19});
    directModel_ = new ResultsGridModel(state_->calc.panel.direct, this);
    StringGrid3 = MakeResultsGrid("StringGrid3", {344, 344, 273, 148}, directModel_);
    Label8 = MakeLabel(client, "Label8", {344, 520, 100, 19});
    Label9 = MakeLabel(client, "Label9", {456, 520, 161, 19});
}

GridView* MainWindow::MakeResultsGrid(const char* name, const QRect& geometry,
                                      ResultsGridModel* model) {
    auto* grid = new GridView(centralWidget());
    grid->setObjectName(name);
    grid->setGeometry(geometry);
    grid->setModel(model);
    grid->setStyle(gridStyle_);
    grid->setFont(GothicFont(kGridFontPixels));
    const QColor fixedColumn = grid->palette().color(QPalette::Button);
    grid->setItemDelegate(new GridCellDelegate(
        [fixedColumn](const QModelIndex& index) {
            return index.column() == 0 ? fixedColumn : QColor(Qt::white);
        },
        2, 2, grid));
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    SetSectionSizes(grid->horizontalHeader(), kResultsWidths, kPanelColumns);
    SetRowHeights(grid->verticalHeader(), kRowHeight);
    grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    grid->setLineWidth(1);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setWordWrap(false);
    grid->setAutoScroll(false);  // the current row 8 lies below the visible rows 0..6
    KeepColoursWhenDisabled(grid);
    KeepColoursWhenDisabled(grid->viewport());
    grid->setEnabled(false);
    return grid;
}

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    for (const MenuDefinition& definition : MainMenus()) {
        QMenu* menu = bar->addMenu(QString());
        menu->setObjectName(ControlName(definition.title));
        menu->setSeparatorsCollapsible(false);  // the Calculation menu begins with one
        menus_[static_cast<std::size_t>(definition.title)] = menu;
        for (const MenuEntry& entry : definition.entries) {
            if (entry.separator) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString());
            action->setObjectName(ControlName(entry.control));
            QList<QKeySequence> shortcuts;
            for (const char* key : KeysOf(entry.control).shortcuts)
                shortcuts.append(QKeySequence::fromString(key, QKeySequence::PortableText));
            action->setShortcuts(shortcuts);
            actions_[static_cast<std::size_t>(entry.control)] = action;
            const MainCommand command = entry.command;
            connect(action, &QAction::triggered, this, [this, command] { Run(command); });
        }
    }
}

void MainWindow::BuildMenuKey() {
    AddMenuBarKey(this, menuBar());
}

void MainWindow::Run(MainCommand command) {
    StringGrid1->FinishEditing();
    RunCommand(ui_, [&] { command(*state_, ui_); });
    SyncFromState();
    if (state_->closeRequested) close();
}

void MainWindow::ReadFileAtStart(const std::string& path) {
    RunCommand(ui_, [&] { dorvalix::ReadFileAtStart(*state_, path); });
    SyncFromState();
}

void MainWindow::OnGridCurrentChanged(const QModelIndex& current) {
    if (syncing_ || !current.isValid()) return;
    RunCommand(ui_, [&] { StringGrid1SelectCell(*state_, current.column(), current.row() + 1); });
    SyncFromState();
}

void MainWindow::OnGridEnter() {
    const bool wasEditing = StringGrid1->FinishEditing();
    const CellRef before = state_->gridCurrent;
    RunCommand(ui_, [&] { StringGrid1KeyPress(*state_, ui_, '\r'); });
    SyncFromState();
    // A refused entry stays in its editor, to be corrected.
    if (wasEditing && state_->gridCurrent == before) StringGrid1->edit(StringGrid1->currentIndex());
}

void MainWindow::OnGridScrolled() {
    const int top = StringGrid1->TopRow() + 1;
    const int visible = StringGrid1->FullyVisibleRows();
    RunCommand(ui_, [&] { StringGrid1TopLeftChanged(*state_, top, visible); });
    // The cell the rule chose stays where it is in view: the grid does not scroll again.
    StringGrid1->setAutoScroll(false);
    SyncFromState();
    StringGrid1->setAutoScroll(true);
}

void MainWindow::SyncFromState() {
    const MainState& s = *state_;
    syncing_ = true;
    qtTranslation_.Use(UiLang(s));
    setWindowTitle(ToQ(s.Caption(Control::TForm1)));
    const std::pair<QLabel*, Control> captionLabels[] = {
        {Label7, Control::Label7}, {Label5, Control::Label5}, {Label4, Control::Label4},
        {Label1, Control::Label1}, {Label2, Control::Label2}, {Label8, Control::Label8}};
    for (const auto& [label, control] : captionLabels)
        label->setText(ToQ(s.Caption(control)));
    // The captions above the grids are as wide as their texts.
    for (QLabel* label : {Label1, Label2})
        label->resize(label->sizeHint().width(), kLabelFontPixels);
    Label3->setGeometry(440, 80, s.label3Width, 20);
    Label3->setText(ToQ(s.label3));
    Label6->setText(ToQ(s.label6));
    Label9->setText(ToQ(s.calc.panel.residual));
    if (Edit1->text() != ToQ(s.edit1)) {
        Edit1->setText(ToQ(s.edit1));
        Edit1->setCursorPosition(0);  // a long name shows from its beginning
    }
    Edit2->setText(ToQ(s.edit2));
    // English captions carry their underlined letter; Japanese ones are shown as written.
    const bool english = UiLang(s) == Lang::English;
    for (int i = 0; i < kControlCount; ++i) {
        const Control control = static_cast<Control>(i);
        const QString caption = ToQ(WithMnemonic(s.captions[static_cast<std::size_t>(i)],
                                                 english ? KeysOf(control).mnemonic : 0));
        if (QAction* action = actions_[static_cast<std::size_t>(i)]) {
            action->setText(caption);
            action->setEnabled(MenuItemEnabled(s, control));
            const std::optional<bool> checked = MenuItemChecked(s, control);
            action->setCheckable(checked.has_value());
            if (checked) action->setChecked(*checked);
        }
        if (QMenu* menu = menus_[static_cast<std::size_t>(i)]) menu->setTitle(caption);
    }

    gridModel_->Refresh();
    reciprocalModel_->Refresh();
    directModel_->Refresh();
    const QModelIndex current = gridModel_->index(s.gridCurrent.row - 1, s.gridCurrent.col);
    if (current.isValid() && StringGrid1->currentIndex() != current) {
        StringGrid1->setCurrentIndex(current);
    }
    for (GridView* grid : {StringGrid2, StringGrid3})
        grid->setCurrentIndex(grid->model()->index(s.panelCurrentRow, 0));
    if (state_->gridTopRowRequested) {
        StringGrid1->scrollTo(gridModel_->index(*state_->gridTopRowRequested - 1, 0),
                              QAbstractItemView::PositionAtTop);
        state_->gridTopRowRequested.reset();
    }
    if (state_->gridFocusRequested) {
        StringGrid1->setFocus();
        state_->gridFocusRequested = false;
    }
    syncing_ = false;
    emit StateShown();
}

namespace {

// The first local file a drop carries, or empty.
QString DroppedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return {};
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    emit FileDropped(file.toStdString());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The title bar's close button asks as File → Exit does and keeps the settings on OK;
    // Exit itself has asked already.
    if (!state_->closeRequested) {
        StringGrid1->FinishEditing();
        RunCommand(ui_, [&] { Exit1Click(*state_, ui_); });
        SyncFromState();
    }
    if (state_->closeRequested) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace dorvalix
