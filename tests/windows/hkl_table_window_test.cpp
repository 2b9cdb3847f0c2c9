// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl window, the cell dialog and the sort progress window as widgets, on the
// offscreen platform: geometry, the model behind the table, captions, painting, keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "cell_constant_dialog.h"
#include "crystal_system.h"
#include "hkl_table_window.h"
#include "main_commands.h"
#include "main_window.h"
#include "qt_ui.h"
#include "scripted_ui.h"
#include "sort_progress_window.h"
#include "table_builder.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::Call;

class HklWidgets : public ::testing::Test {
  protected:
    void SetUp() override { main->settings.lang = "e"; }
    void Execute() {
        test::FillMonoclinicExample(main->calc);
        ShowCrystalSystem(*main);
        N4Click(*main, ui);
        ASSERT_TRUE(main->calc.resultValid);
    }
    QString TableText(int viewRow, int col) const {
        return form7->StringGrid1->model()->index(viewRow, col).data().toString();
    }
    QColor PixelIn(QWidget* grid, const QRect& cell, int dx, int dy) {
        const QImage image = grid->grab().toImage();
        return image.pixelColor(cell.topLeft() + QPoint(dx, dy));
    }

    std::unique_ptr<MainState> main = std::make_unique<MainState>();
    test::ScriptedUi ui;
    std::unique_ptr<HklTableWindow> form7 = std::make_unique<HklTableWindow>(ui, *main);
};

TEST_F(HklWidgets, WindowAndTableGeometry) {
    form7->ShowWindow();
    EXPECT_EQ(form7->size(), QSize(651, 653));
    EXPECT_EQ(form7->minimumSize(), form7->maximumSize());  // fixed
    QTableView* table = form7->StringGrid1;
    const int widths[] = {94, 37, 37, 36, 81};
    for (int col = 0; col < 5; ++col)
        EXPECT_EQ(table->columnWidth(col), widths[col] + 1) << col;  // and its grid line
    EXPECT_EQ(table->verticalHeader()->defaultSectionSize(), 21);
    EXPECT_EQ(table->horizontalHeader()->height(), 21);
    EXPECT_EQ(table->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // Whole rows fill the view; every column is inside it.
    EXPECT_EQ(table->viewport()->height() % 21, 0);
    EXPECT_GE(table->viewport()->width(), table->horizontalHeader()->length());
    // The right-hand controls stay inside the window, clear of the table and of each
    // other, and show their texts whole.
    QWidget* client = form7->StringGrid2->parentWidget();
    const QRect inside = client->rect();
    QList<QWidget*> controls = {
        form7->StringGrid2, form7->StringGrid3, form7->Label1,         form7->Label2,
        form7->Label3,      form7->Label4,      form7->Label5,         form7->Label6,
        form7->Label7,      form7->Label8,      form7->Label9,         form7->Label10,
        form7->Label11,     form7->Image1,      form7->LatticeCaption, form7->LatticeShown};
    EXPECT_TRUE(inside.contains(table->geometry()));
    for (int i = 0; i < controls.size(); ++i) {
        const QRect r = controls[i]->geometry();
        const std::string name = controls[i]->objectName().toStdString();
        EXPECT_TRUE(inside.contains(r)) << name;
        EXPECT_FALSE(r.intersects(table->geometry())) << name;
        for (int j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(r.intersects(controls[j]->geometry()))
                << name << " " << controls[j]->objectName().toStdString();
    }
    for (const char* code : {"e", "j"}) {
        main->settings.lang = code;
        main->label3 = code == std::string("e") ? "Monoclinic(ganma<>90)" : "単斜晶系(γ≠90)";
        form7->ShowWindow();
        for (QLabel* label : {form7->Label1, form7->Label2, form7->Label3, form7->Label4,
                              form7->Label5, form7->Label6, form7->Label7, form7->Label8,
                              form7->Label10, form7->LatticeCaption, form7->LatticeShown}) {
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
                << label->objectName().toStdString() << " " << label->text().toStdString();
        }
    }
    // The small grids show all their cells without scrolling.
    for (QTableView* grid : {form7->StringGrid2, form7->StringGrid3}) {
        EXPECT_EQ(grid->viewport()->width(), grid->horizontalHeader()->length());
        EXPECT_EQ(grid->viewport()->height(), grid->verticalHeader()->length());
    }
}

TEST_F(HklWidgets, TableIsAModelThatWritesRowsOnDemand) {
    QTableView* table = form7->StringGrid1;
    EXPECT_EQ(qobject_cast<QTableWidget*>(table), nullptr);
    ASSERT_EQ(table->model(), form7->TableModel());
    EXPECT_EQ(table->model()->rowCount(), 199);  // 200 grid rows with the header
    EXPECT_EQ(table->model()->columnCount(), 5);
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(table->model()->flags(table->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(table->model()->headerData(4, Qt::Horizontal).toString(), "    2θ");

    Execute();
    form7->ShowWindow();
    EXPECT_EQ(table->model()->rowCount(), 548);
    EXPECT_EQ(TableText(0, 0), "   1.5265");
    EXPECT_EQ(TableText(0, 1), " -6");
    EXPECT_EQ(TableText(0, 4), "  60.66");
    EXPECT_EQ(table->currentIndex(), table->model()->index(0, 0));
    // Sort through the menu: the view shows the new order.
    form7->Action(HklControl::N4)->trigger();
    EXPECT_EQ(TableText(0, 0), "   9.3830");
    // Reopened without a result: the rows are emptied, their number kept.
    main->calc.resultValid = false;
    form7->ShowWindow();
    EXPECT_EQ(table->model()->rowCount(), 548);
    EXPECT_EQ(TableText(0, 0), "");
}

TEST_F(HklWidgets, CaptionsPerLanguage) {
    const struct {
        const char* code;
        const char* title;
        const char* n1;
        const char* n2;
        const char* n12;
        const char* n16;
        const char* label4;
    } cases[] = {
        // English menus underline a letter of their own; Japanese ones are as written.
        {"e", "hkl Table", "&Make hkl Table", "&Calculate", "Set &hkl Range", "すべての指数を計算",
         "System "},
        {"j", "指数表の計算", "表の計算", "表の計算", "指数範囲", "すべての指数を計算", "結晶系"},
    };
    for (const auto& c : cases) {
        main->settings.lang = c.code;
        form7->ShowWindow();
        EXPECT_EQ(form7->windowTitle(), c.title);
        EXPECT_EQ(form7->Menu(HklControl::N1)->title(), c.n1);
        EXPECT_EQ(form7->Action(HklControl::N2)->text(), c.n2);
        EXPECT_EQ(form7->Menu(HklControl::N12)->title(), c.n12);
        EXPECT_EQ(form7->Action(HklControl::N16)->text(), c.n16);
        EXPECT_EQ(form7->Label4->text(), c.label4);
        EXPECT_EQ(form7->StringGrid2->model()->index(3, 0).data().toString(),
                  c.code == std::string("e") ? " alfa " : "   α  ");
        EXPECT_EQ(form7->PresetAction(7)->text(), "Mo-Ka1");
        EXPECT_EQ(form7->PresetAction(7)->objectName(), "MoKa11");
        EXPECT_EQ(form7->Label9->text(), "Å");
    }
    // The menu bar holds the four menus in order and then the lattice menu; the range
    // submenu sits in the range menu.
    const QList<QAction*> menus = form7->MainMenu1->actions();
    ASSERT_EQ(menus.size(), 5);
    EXPECT_EQ(menus[3]->menu(), form7->Menu(HklControl::N11));
    EXPECT_EQ(menus[4]->menu(), form7->Menu(HklControl::Lattice1));
    EXPECT_EQ(form7->Menu(HklControl::N11)->actions().first()->menu(),
              form7->Menu(HklControl::N12));
}

TEST_F(HklWidgets, CheckMarksAndLabelsFollowTheState) {
    main->settings.hklRange = "asym";
    form7->ShowWindow();
    EXPECT_FALSE(form7->Action(HklControl::N16)->isChecked());
    EXPECT_TRUE(form7->Action(HklControl::N17)->isChecked());
    form7->Action(HklControl::N16)->trigger();
    EXPECT_TRUE(form7->Action(HklControl::N16)->isChecked());
    EXPECT_FALSE(form7->Action(HklControl::N17)->isChecked());
    EXPECT_EQ(main->settings.hklRange, "all");
    // Clicking the checked item again keeps it checked.
    form7->Action(HklControl::N16)->trigger();
    EXPECT_TRUE(form7->Action(HklControl::N16)->isChecked());

    form7->PresetAction(6)->trigger();  // Mo-Ka
    EXPECT_EQ(form7->Label7->text(), "Mo-Ka");
    EXPECT_EQ(form7->Label8->text(), "0.710678");
    // The X-ray menu marks the line in force, or the typed wavelength.
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(form7->PresetAction(i)->isChecked(), i == 6) << i;
    EXPECT_FALSE(form7->Action(HklControl::N6)->isChecked());
    ui.inputs = {"1.5406"};
    form7->Action(HklControl::N6)->trigger();
    EXPECT_FALSE(form7->PresetAction(6)->isChecked());
    EXPECT_TRUE(form7->Action(HklControl::N6)->isChecked());
    ui.inputs = {""};
    form7->Action(HklControl::N13)->trigger();
    EXPECT_EQ(form7->Label10->text(), "  1.5");
}

TEST_F(HklWidgets, OpeningTheRangeSubmenuComputesTheRange) {
    Execute();
    form7->ShowWindow();
    main->settings.dMin = 2.5L;
    emit form7->Menu(HklControl::N12)->aboutToShow();
    QApplication::processEvents();  // the range follows once the submenu is up
    EXPECT_EQ(form7->StringGrid3->model()->index(1, 2).data().toString(), "   4");
    // Without a cell: the message, and the range grid stays empty.
    main->calc.resultValid = false;
    form7->State().hkl.cell = {};
    form7->ShowWindow();
    emit form7->Menu(HklControl::N12)->aboutToShow();
    QApplication::processEvents();
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{"Set Cell Constant"});
    EXPECT_EQ(form7->StringGrid3->model()->index(1, 2).data().toString(), "");
}

TEST_F(HklWidgets, CellAndRangeGridsPaintSilverAndNeverHighlight) {
    Execute();
    form7->ShowWindow();
    const QColor silver(192, 192, 192);
    for (QTableView* grid : {form7->StringGrid2, form7->StringGrid3}) {
        grid->setFocus();
        const QModelIndex value = grid->model()->index(1, 1);
        grid->setCurrentIndex(value);
        const QRect cell = grid->visualRect(value).translated(grid->viewport()->pos());
        // Right of the text, inside the cell: the silver fill, although it is current.
        EXPECT_EQ(PixelIn(grid, cell, cell.width() - 4, cell.height() / 2), silver)
            << grid->objectName().toStdString();
        // The fixed label column keeps the button face.
        const QRect label =
            grid->visualRect(grid->model()->index(1, 0)).translated(grid->viewport()->pos());
        EXPECT_EQ(PixelIn(grid, label, label.width() - 4, label.height() / 2),
                  grid->palette().color(QPalette::Active, QPalette::Button));
    }
    // The value texts are drawn in black.
    const QModelIndex a = form7->StringGrid2->model()->index(0, 1);
    const QRect cell =
        form7->StringGrid2->visualRect(a).translated(form7->StringGrid2->viewport()->pos());
    const QImage image = form7->StringGrid2->grab().toImage();
    bool black = false;
    for (int x = cell.left(); x <= cell.right(); ++x) {
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            black = black || image.pixelColor(x, y) == QColor(Qt::black);
    }
    EXPECT_TRUE(black);
}

TEST_F(HklWidgets, ScrollingMovesTheCurrentRowIntoView) {
    Execute();
    form7->ShowWindow();
    QTableView* table = form7->StringGrid1;
    const int visible = table->viewport()->height() / 21;
    ASSERT_GT(visible, 20);
    table->verticalScrollBar()->setValue(10);  // the current row 1 is now above the top
    EXPECT_EQ(table->currentIndex().row(), 10 + visible - 1);
    EXPECT_EQ(table->currentIndex().column(), 0);
    table->setCurrentIndex(table->model()->index(10 + visible + 5, 3));
    table->verticalScrollBar()->setValue(2);  // now far below the visible rows
    EXPECT_EQ(table->currentIndex(), table->model()->index(2, 0));
}

// --- The cell dialog ------------------------------------------------------------------------

class CellDialogWidget : public HklWidgets {
  protected:
    std::unique_ptr<CellConstantDialog> form8 =
        std::make_unique<CellConstantDialog>(ui, form7->State());
    QString Value(int row) const {
        return form8->StringGrid1->model()->index(row, 1).data().toString();
    }
};

TEST_F(CellDialogWidget, GeometryCaptionsAndColours) {
    form8->ShowWindow();
    EXPECT_EQ(form8->size(), QSize(228, 288));
    EXPECT_EQ(form8->minimumSize(), form8->maximumSize());
    EXPECT_EQ(form8->windowTitle(), "Cell Constant");
    EXPECT_EQ(form8->Label7->text(), "Input Cell Constant");
    EXPECT_EQ(form8->BitBtn1->text(), "Close");
    EXPECT_EQ(form8->StringGrid1->verticalHeader()->defaultSectionSize(), 23);
    EXPECT_EQ(form8->StringGrid1->viewport()->height(),
              form8->StringGrid1->verticalHeader()->length());
    for (QWidget* w :
         {static_cast<QWidget*>(form8->Label7), static_cast<QWidget*>(form8->StringGrid1),
          static_cast<QWidget*>(form8->BitBtn1)}) {
        EXPECT_TRUE(form8->rect().contains(w->geometry())) << w->objectName().toStdString();
    }
    const QRect cell = form8->StringGrid1->visualRect(form8->StringGrid1->model()->index(2, 1))
                           .translated(form8->StringGrid1->viewport()->pos());
    EXPECT_EQ(PixelIn(form8->StringGrid1, cell, cell.width() - 3, cell.height() / 2),
              QColor(255, 255, 0));
    main->settings.lang = "j";
    form8->ShowWindow();
    EXPECT_EQ(form8->windowTitle(), "格子定数");
    EXPECT_EQ(form8->Label7->text(), "格子定数の入力");
    EXPECT_EQ(form8->BitBtn1->text(), "戻る");
}

TEST_F(CellDialogWidget, TypingEnterAndClose) {
    form7->ShowWindow();
    form8->ShowWindow();
    QTableView* grid = form8->StringGrid1;
    auto* delegate = qobject_cast<GridCellDelegate*>(grid->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0, 1));
    // A key typed on the grid opens the editor with that key.
    QTest::keyClick(grid, Qt::Key_7);
    ASSERT_NE(delegate->OpenEditor(), nullptr);
    EXPECT_EQ(Value(0), "7");
    // Each row typed in its editor; Enter in the editor reformats and moves on.
    const char* typed[] = {"5.430", "5.430", "5.430", "90", "105.2", "90"};
    for (int row = 0; row < 6; ++row) {
        form8->StringGrid1->FinishEditing();
        form8->State().row = row;
        form8->SyncFromState();
        grid->edit(grid->model()->index(row, 1));
        QWidget* editor = delegate->OpenEditor();
        ASSERT_NE(editor, nullptr);
        qobject_cast<QLineEdit*>(editor)->clear();
        QTest::keyClicks(editor, typed[row]);
        if (row == 5) QTest::keyClick(editor, Qt::Key_Return);
    }
    EXPECT_EQ(delegate->OpenEditor(), nullptr);  // Enter closed it
    EXPECT_EQ(Value(0), "   5.430");
    EXPECT_EQ(Value(4), " 105.2");
    EXPECT_EQ(Value(5), "  90");
    EXPECT_EQ(grid->currentIndex().row(), 0);  // from row 5 back to row 0
    // Enter on the grid itself moves on too, and presses no button.
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_TRUE(form8->isVisible());
    QTest::mouseClick(form8->BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(form8->isVisible());
    EXPECT_EQ(form7->StringGrid2->model()->index(0, 1).data().toString(), "    5.43");
    EXPECT_EQ(form7->StringGrid2->model()->index(4, 1).data().toString(), "  105.2");
    EXPECT_EQ(form7->State().hkl.cell.a, 5.43L);
    EXPECT_TRUE(ui.Texts(Call::Error).empty());
}

// From the keyboard alone: Escape in an editor gives the cell its text back; Tab after the
// last value reaches the button instead of wrapping round the grid.
TEST_F(CellDialogWidget, EscapeRestoresTheCellAndTabReachesTheButton) {
    form7->ShowWindow();
    form8->ShowWindow();
    form8->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form8.get()));
    QTableView* grid = form8->StringGrid1;
    auto* delegate = qobject_cast<GridCellDelegate*>(grid->itemDelegate());
    const char* values[] = {"   5.430", "5.430", "5.430", "90", "90", "90"};
    for (std::size_t r = 0; r < 6; ++r)
        form8->State().grid[r][1] = values[r];
    form8->SyncFromState();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QTest::keyClick(grid, Qt::Key_9);
    ASSERT_NE(delegate->OpenEditor(), nullptr);
    QTest::keyClick(delegate->OpenEditor(), Qt::Key_9);
    EXPECT_EQ(Value(0), "99");  // every keystroke is in the grid's text
    QTest::keyClick(delegate->OpenEditor(), Qt::Key_Escape);
    EXPECT_EQ(delegate->OpenEditor(), nullptr);
    EXPECT_EQ(Value(0), "   5.430");
    EXPECT_TRUE(form8->isVisible());  // Escape cancels the edit, not the dialog
    // Ctrl+Tab leaves the grid from any cell; Tab from the last one.
    QTest::keyClick(grid, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), form8->BitBtn1);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(4, 1));
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(5, 1));
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form8->BitBtn1);
    QTest::keyClick(form8->BitBtn1, Qt::Key_Space);
    EXPECT_FALSE(form8->isVisible());
}

TEST_F(CellDialogWidget, CloseBoxStoresNothing) {
    form7->ShowWindow();
    form8->ShowWindow();
    form8->State().grid[0][1] = "4";
    form8->close();
    EXPECT_FALSE(form8->isVisible());
    EXPECT_EQ(form7->State().hkl.cell.a, 0);
    EXPECT_EQ(form7->State().cellGrid[0][1], "");
}

// --- The sort progress window -----------------------------------------------------------------

TEST(SortProgressWindow, ShownWhileTheSortRunsAndHiddenAfterIt) {
    SortProgressWindow form9;
    EXPECT_EQ(form9.windowTitle(), "SORT");
    EXPECT_EQ(form9.size(), QSize(368, 114));
    EXPECT_EQ(form9.ProgressBar1->size(), QSize(289, 25));
    EXPECT_TRUE(form9.rect().contains(form9.ProgressBar1->geometry()));

    QtUi ui("Dorvalix");
    std::vector<std::pair<int, bool>> seen;  // bar position, window visible
    int maximum = -1;
    bool busy = true;  // the busy pointer at every step
    ui.SetProgressHooks({[&](int max) {
                             form9.Begin(max);
                             maximum = form9.ProgressBar1->maximum();
                         },
                         [&](int position) {
                             form9.SetPosition(position);
                             seen.emplace_back(form9.ProgressBar1->value(), form9.isVisible());
                             const QCursor* cursor = QGuiApplication::overrideCursor();
                             busy = busy && cursor && cursor->shape() == Qt::WaitCursor;
                         },
                         [&] { form9.End(); }});
    auto main = std::make_unique<MainState>();
    test::FillMonoclinicExample(main->calc);
    N4Click(*main, ui);
    ASSERT_TRUE(main->calc.resultValid);
    HklTableWindow form7(ui, *main);
    form7.ShowWindow();
    const int n = static_cast<int>(form7.State().hkl.table.size());
    EXPECT_FALSE(form9.isVisible());
    form7.Action(HklControl::N4)->trigger();
    EXPECT_EQ(maximum, n - 1);
    EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{0, true}, {n - 1, true}}));
    EXPECT_FALSE(form9.isVisible());
    EXPECT_TRUE(busy);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // the ordinary pointer again
    // A one-row range shows an empty bar, not a busy one.
    form9.Begin(0);
    EXPECT_EQ(form9.ProgressBar1->value(), 0);
    EXPECT_GT(form9.ProgressBar1->maximum(), 0);
    form9.End();
}

TEST_F(HklWidgets, LatticeMenuChecksOneCentring) {
    main->settings.lattice = Centring::F;
    form7->ShowWindow();
    QMenu* menu = form7->Menu(HklControl::Lattice1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "&Lattice Centring");
    EXPECT_TRUE(form7->MainMenu1->actions().contains(menu->menuAction()));
    QStringList names, checked;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        names << a->objectName();
        EXPECT_TRUE(a->isCheckable());
        if (a->isChecked()) checked << a->objectName();
    }
    EXPECT_EQ(names, (QStringList{"LatticeP", "LatticeA", "LatticeB", "LatticeC", "LatticeI",
                                  "LatticeF", "LatticeR", "SpaceGroup1"}));
    EXPECT_EQ(checked, QStringList{"LatticeF"});
    form7->LatticeAction(Centring::I)->trigger();
    EXPECT_EQ(main->settings.lattice, Centring::I);
    EXPECT_TRUE(form7->LatticeAction(Centring::I)->isChecked());
    EXPECT_FALSE(form7->LatticeAction(Centring::F)->isChecked());
    EXPECT_EQ(form7->LatticeAction(Centring::I)->text(), "&I  body centred");
    // The window says which centring filters the table: the stored one before a table is
    // made, then the table's own until the next Calculate.
    EXPECT_EQ(form7->LatticeShown->text(), "I  body centred");
    EXPECT_EQ(form7->LatticeCaption->text(), "Lattice Centring");
    Execute();
    form7->ShowWindow();                       // the refined cell and its range
    form7->Action(HklControl::N2)->trigger();  // Calculate
    ASSERT_FALSE(form7->State().hkl.table.empty());
    form7->LatticeAction(Centring::F)->trigger();
    EXPECT_EQ(form7->LatticeShown->text(), "I  body centred");
    form7->Action(HklControl::N2)->trigger();
    EXPECT_EQ(form7->LatticeShown->text(), "F  face-centred");
    // The example's space group instead: its item checked, no letter, its symbol shown.
    ui.inputs.push_back("C2/c");
    form7->Action(HklControl::SpaceGroup1)->trigger();
    EXPECT_TRUE(form7->Action(HklControl::SpaceGroup1)->isChecked());
    EXPECT_FALSE(form7->LatticeAction(Centring::C)->isChecked());
    form7->Action(HklControl::N2)->trigger();
    EXPECT_EQ(form7->LatticeShown->text(), "C 1 2/c 1");
    form7->LatticeAction(Centring::F)->trigger();
    EXPECT_FALSE(form7->Action(HklControl::SpaceGroup1)->isChecked());
    form7->Action(HklControl::N2)->trigger();
    main->settings.lang = "j";
    form7->ShowWindow();
    EXPECT_EQ(menu->title(), "格子の型");
    EXPECT_EQ(form7->LatticeAction(Centring::P)->text(), "P  単純格子");
    EXPECT_EQ(form7->LatticeShown->text(), "F  面心格子");
}

// F10 opens the first menu, as in the main window; the emblem's points stay inside its frame.
TEST_F(HklWidgets, F10OpensTheMenuBarAndTheEmblemIsWhole) {
    form7->show();
    form7->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form7.get()));
    QTest::keyClick(form7.get(), Qt::Key_F10);
    EXPECT_EQ(form7->MainMenu1->activeAction(), form7->MainMenu1->actions().first());
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    const QImage emblem = form7->Image1->pixmap().toImage();
    ASSERT_EQ(emblem.size(), QSize(32, 32));
    for (int y = 1; y < 31; ++y) {
        // The column inside the right border holds at most the fringe of a point.
        EXPECT_GT(qRed(emblem.pixel(30, y)), 120) << y;
        EXPECT_EQ(emblem.pixel(31, y), QColor(Qt::black).rgb()) << y;
    }
}

// The busy pointer of the running program: the wait cursor over every window, nested
// spells ending with the outermost.
TEST(QtUiBusyPointer, WaitCursorUntilTheLastSpellEnds) {
    QtUi ui("Dorvalix");
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    ui.BeginBusy();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.BeginBusy();
    ui.EndBusy();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    ui.EndBusy();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// --- Opened from the main window --------------------------------------------------------------

TEST(HklWindowOpening, TheMainWindowsItemOpensItModally) {
    test::TempDir dir;
    QtUi ui("Dorvalix");
    MainWindow form(ui, dir.Path("dorvalix"));
    HklTableWindow form7(ui, form.State(), &form);
    ui.SetWindowOpener(SecondaryWindow::TForm7, [&] { form7.Open(); });
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        wasModal = QApplication::activeModalWidget() == &form7;
        form7.Action(HklControl::N19)->trigger();  // Close
    });
    form.Action(Control::hkld1)->trigger();
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(form7.isVisible());
}

// The letters the keyboard reaches the window's English menus by: every title has one,
// and no two titles, nor two items of one menu, share one.
TEST_F(HklWidgets, EnglishMenuLettersAreUnique) {
    main->settings.lang = "e";
    form7->ShowWindow();
    const auto letterOf = [](const QString& text) {
        const qsizetype at = text.indexOf('&');
        return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
    };
    QList<QChar> titles;
    for (QAction* title : form7->MainMenu1->actions()) {
        const QChar letter = letterOf(title->text());
        ASSERT_FALSE(letter.isNull()) << title->text().toStdString();
        EXPECT_FALSE(titles.contains(letter)) << title->text().toStdString();
        titles << letter;
        QList<QChar> items;
        for (QAction* item : title->menu()->actions()) {
            const QChar mark = letterOf(item->text());
            if (mark.isNull()) continue;
            EXPECT_FALSE(items.contains(mark)) << item->text().toStdString();
            items << mark;
        }
    }
}

}  // namespace
}  // namespace dorvalix
