// SPDX-License-Identifier: GPL-3.0-or-later
// The observation grid as an editor in the window: keys, painting, scrolling and focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <memory>

#include "main_commands.h"
#include "main_window.h"
#include "scripted_ui.h"
#include "table_builder.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::Call;

class EditingWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        form = std::make_unique<MainWindow>(ui, dir.Path("dorvalix"));
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        grid = form->StringGrid1;
        grid->setFocus();
    }
    void Trigger(Control control) { form->Action(control)->trigger(); }
    // Keys go where the keyboard focus is: the grid, or the editor it opened.
    QWidget* Focus() const {
        QWidget* w = QApplication::focusWidget();
        return w ? w : grid;
    }
    void Keys(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(Focus(), c.toLatin1());
    }
    void Enter() { QTest::keyClick(Focus(), Qt::Key_Return); }
    void SetCurrent(int col, int row) { grid->setCurrentIndex(grid->model()->index(row - 1, col)); }
    CellRef Current() const {
        return {grid->currentIndex().column(), grid->currentIndex().row() + 1};
    }
    QLineEdit* OpenEditor() const {
        return qobject_cast<QLineEdit*>(
            static_cast<GridCellDelegate*>(grid->itemDelegate())->OpenEditor());
    }
    std::string Cell(int col, int row) { return form->State().calc.table.Cell(col, row); }

    test::TempDir dir;
    test::ScriptedUi ui;
    std::unique_ptr<MainWindow> form;
    GridView* grid = nullptr;
};

TEST_F(EditingWindow, EnterCommitsTheTypedTextChecksItAndMovesOn) {
    SetCurrent(0, 1);
    const struct {
        const char* typed;
        CellRef cell;
        const char* text;
    } steps[] = {
        {"2.5", {0, 1}, " 2.5"}, {"7", {1, 1}, " 7"},        {"-1", {2, 1}, "-1"},
        {"0", {3, 1}, " 0"},     {"12.50", {0, 2}, "12.50"},
    };
    for (const auto& s : steps) {
        ASSERT_EQ(Current(), s.cell) << s.typed;
        Keys(s.typed);
        ASSERT_NE(OpenEditor(), nullptr) << s.typed;  // typing opened the cell's editor
        Enter();
        EXPECT_EQ(Cell(s.cell.col, s.cell.row), s.text);
        EXPECT_EQ(grid->model()->index(s.cell.row - 1, s.cell.col).data().toString(), s.text);
    }
    EXPECT_EQ(Current(), (CellRef{1, 2}));
    EXPECT_EQ(OpenEditor(), nullptr);
    EXPECT_EQ(form->Edit2->text(), " 002");
    EXPECT_TRUE(ui.calls.empty());

    // Enter on a cell that is not being edited checks it just the same.
    form->State().calc.table.Cell(1, 2) = "3";
    form->SyncFromState();
    Enter();
    EXPECT_EQ(Cell(1, 2), " 3");
    EXPECT_EQ(Current(), (CellRef{2, 2}));
}

TEST_F(EditingWindow, ARefusedEntryBeepsAndStaysInItsEditor) {
    SetCurrent(0, 4);
    Keys("2.5x");
    Enter();
    EXPECT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls.at(0).call, Call::Beep);
    EXPECT_EQ(Current(), (CellRef{0, 4}));
    EXPECT_EQ(Cell(0, 4), "2.5x");
    ASSERT_NE(OpenEditor(), nullptr);
    EXPECT_EQ(OpenEditor()->text(), "2.5x");
    // Corrected in place, it passes.
    QTest::keyClick(Focus(), Qt::Key_End);
    QTest::keyClick(Focus(), Qt::Key_Backspace);
    Enter();
    EXPECT_EQ(Cell(0, 4), " 2.5");
    EXPECT_EQ(Current(), (CellRef{1, 4}));

    // An empty cell, not being edited.
    ui.calls.clear();
    Enter();
    EXPECT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(Current(), (CellRef{1, 4}));
}

TEST_F(EditingWindow, ColumnFourTakesNoTyping) {
    SetCurrent(4, 3);
    Keys("5");
    EXPECT_EQ(OpenEditor(), nullptr);
    EXPECT_EQ(Cell(4, 3), "");
    // Tab still steps through it.
    SetCurrent(3, 3);
    QTest::keyClick(Focus(), Qt::Key_Tab);
    EXPECT_EQ(Current(), (CellRef{4, 3}));
}

// The pixels of a cell of the viewport.
QImage CellImage(GridView* grid, int row, int col) {
    const QImage all = grid->viewport()->grab().toImage();
    return all.copy(grid->visualRect(grid->model()->index(row, col)));
}

TEST_F(EditingWindow, ExcludedRowsAreAquaAndTheCurrentCellWhite) {
    test::FillMonoclinicExample(form->State().calc);
    form->SyncFromState();
    SetCurrent(1, 3);
    Trigger(Control::N20);  // Exclude row 3
    ASSERT_EQ(Cell(4, 3), "  Exclude");
    const QColor aqua(0, 255, 255), yellow(255, 255, 0), white(255, 255, 255);
    const struct {
        int row, col;
        QColor colour;
    } cases[] = {
        {2, 0, aqua},  {2, 2, aqua},   {2, 3, aqua},   {2, 4, aqua},
        {2, 1, white}, {1, 0, yellow}, {1, 3, yellow}, {1, 4, white},
    };
    for (const auto& c : cases) {
        const QImage image = CellImage(grid, c.row, c.col);
        // A corner away from the text shows the background.
        EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() - 2), c.colour)
            << c.row << "," << c.col;
        EXPECT_EQ(image.pixelColor(0, 0), c.colour) << c.row << "," << c.col;
    }
}

TEST_F(EditingWindow, TextIsBlackFromOnePixelRightAndTwoPixelsDown) {
    form->State().calc.table.Cell(0, 2) = "12.50";
    form->SyncFromState();
    const QImage cell = CellImage(grid, 1, 0);
    // The same text drawn at a given offset onto the cell's background.
    const auto drawnAt = [&](int dx, int dy) {
        QImage image(cell.size(), cell.format());
        image.fill(QColor(255, 255, 0));
        QPainter p(&image);
        p.setFont(grid->font());
        p.setPen(Qt::black);
        p.drawText(QRect(QPoint(dx, dy), cell.size()), Qt::AlignLeft | Qt::AlignTop, "12.50");
        return image;
    };
    EXPECT_EQ(cell, drawnAt(1, 2));
    EXPECT_NE(cell, drawnAt(0, 0));
    EXPECT_NE(cell, drawnAt(2, 2));
}

TEST_F(EditingWindow, ScrollingPullsTheCurrentCellAlong) {
    SetCurrent(2, 1);
    QScrollBar* bar = grid->verticalScrollBar();
    bar->setValue(5);  // rows 6.. in view: the current row left at the top
    QCoreApplication::processEvents();
    EXPECT_EQ(Current(), (CellRef{0, 6}));
    EXPECT_EQ(form->Edit2->text(), " 006");
    EXPECT_EQ(form->State().currentRow, 6u);

    SetCurrent(3, 20);
    bar->setValue(0);  // still in view: nothing moves
    QCoreApplication::processEvents();
    EXPECT_EQ(Current(), (CellRef{3, 20}));

    bar->setValue(40);
    QCoreApplication::processEvents();
    SetCurrent(2, 55);
    bar->setValue(0);  // the current row left at the bottom
    QCoreApplication::processEvents();
    const int visible = grid->FullyVisibleRows();
    ASSERT_GT(visible, 20);
    EXPECT_EQ(Current(), (CellRef{0, 1 + visible}));
    EXPECT_EQ(form->Edit2->text().toStdString(), RowNumberText(1 + visible));
    EXPECT_EQ(bar->value(), 0);  // the grid does not scroll on to show it whole
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(EditingWindow, ReadingAFileScrollsBackToRowOneAndFocusesTheGrid) {
    grid->verticalScrollBar()->setValue(100);
    QCoreApplication::processEvents();
    form->Edit1->setFocus();
    ui.fileNames = {std::string(DORVALIX_EXAMPLES) + "/diopside.lat"};
    Trigger(Control::Read1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ui.calls.size() == 1 && ui.calls[0].call == Call::OpenFile);
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    EXPECT_EQ(Current(), (CellRef{0, 1}));
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(form->Label6->text(), "diopside.lat");
    EXPECT_EQ(form->Edit1->text(), "Diopside (monoclinic, C2/c)");
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), " 3.23");
}

TEST_F(EditingWindow, ClearTakesTheFocusBackToTheFirstCell) {
    test::FillMonoclinicExample(form->State().calc);
    form->SyncFromState();
    SetCurrent(3, 5);
    form->Edit1->setFocus();
    ui.answers = {true};
    Trigger(Control::N17);
    EXPECT_EQ(Current(), (CellRef{0, 1}));
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "");
    EXPECT_EQ(form->Edit2->text(), " 001");
}

}  // namespace
}  // namespace dorvalix
