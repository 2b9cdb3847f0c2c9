// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <memory>

#include "main_commands.h"
#include "scripted_ui.h"
#include "table_builder.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::Call;
using test::ScriptedUi;
using test::TempDir;

// What a menu shows of a text: the mnemonic marks taken out ("&&" shows one "&").
std::string VisibleText(const QString& text) {
    std::string out;
    const std::string t = text.toStdString();
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '&' && i + 1 < t.size()) ++i;
        out += t[i];
    }
    return out;
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override { form = std::make_unique<MainWindow>(ui, dir.Path("dorvalix")); }
    void Trigger(Control control) { form->Action(control)->trigger(); }
    QString GridText(GridView* grid, int row, int col) const {
        return grid->model()->index(row, col).data().toString();
    }

    TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<MainWindow> form;
};

TEST_F(Window, ControlsStandWhereTheLayoutPutsThem) {
    EXPECT_EQ(form->size(), QSize(648, 613));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());  // fixed
    const struct {
        QWidget* widget;
        QRect geometry;
    } cases[] = {
        {form->StringGrid1, {51, 16, 265, 529}},   {form->Edit2, {16, 41, 30, 17}},
        {form->Label7, {344, 16, 81, 19}},         {form->Edit1, {440, 16, 177, 20}},
        {form->Label5, {344, 48, 82, 19}},         {form->Label6, {440, 48, 177, 20}},
        {form->Label4, {344, 80, 81, 19}},         {form->Label3, {440, 80, 177, 20}},
        {form->StringGrid2, {344, 144, 273, 149}}, {form->StringGrid3, {344, 344, 273, 148}},
        {form->Label8, {344, 520, 100, 19}},       {form->Label9, {456, 520, 161, 19}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.widget->geometry(), c.geometry) << c.widget->objectName().toStdString();
    // The captions above the grids are as wide as their texts, in either language.
    for (const Control lang : {Control::English2, Control::Japanese1}) {
        Trigger(lang);
        for (QLabel* label : {form->Label1, form->Label2}) {
            const int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
            EXPECT_NEAR(label->width(), textWidth, 2) << label->text().toStdString();
            EXPECT_EQ(label->height(), 19);
            EXPECT_LE(label->geometry().right(), 640);
        }
    }
    EXPECT_EQ(form->Label1->pos(), QPoint(344, 120));
    EXPECT_EQ(form->Label2->pos(), QPoint(344, 320));
}

TEST_F(Window, TheCrystalSystemLabelWidensForTheMonoclinicNamesInEnglish) {
    Trigger(Control::English2);
    Trigger(Control::Monoclinic902);
    EXPECT_EQ(form->Label3->text(), "Monoclinic(ganma<>90)");
    EXPECT_EQ(form->Label3->width(), 201);
    // The whole name fits.
    EXPECT_LE(QFontMetricsF(form->Label3->font()).horizontalAdvance(form->Label3->text()), 201);
    Trigger(Control::Japanese1);
    EXPECT_EQ(form->Label3->text(), "単斜晶系(γ≠90)");
    EXPECT_EQ(form->Label3->width(), 177);
}

TEST_F(Window, FontsAreTheIpaFacesInPixelSizes) {
    const struct {
        QWidget* widget;
        const char* family;
        int pixels;
    } cases[] = {
        {form->Label7, "IPAGothic", 19},      {form->Label9, "IPAGothic", 19},
        {form->StringGrid1, "IPAGothic", 16}, {form->StringGrid2, "IPAGothic", 16},
        {form->StringGrid3, "IPAGothic", 16}, {form->Edit1, "IPAPGothic", 19},
        {form->Edit2, "IPAPGothic", 15},
    };
    for (const auto& c : cases) {
        const QFontInfo info(c.widget->font());
        EXPECT_EQ(info.family(), c.family) << c.widget->objectName().toStdString();
        EXPECT_EQ(info.pixelSize(), c.pixels) << c.widget->objectName().toStdString();
    }
    // Fixed pitch: every half-width character of the 16 px grid font is 8 px wide, so the
    // blanks before the numbers line the decimal points up.
    const QFontMetricsF grid(form->StringGrid2->font());
    EXPECT_DOUBLE_EQ(grid.horizontalAdvance(" "), 8.0);
    EXPECT_DOUBLE_EQ(grid.horizontalAdvance("  105.833   "), 96.0);
}

TEST_F(Window, ObservationGridLayout) {
    GridView* g = form->StringGrid1;
    EXPECT_EQ(g->model()->rowCount(), 300);
    EXPECT_EQ(g->model()->columnCount(), 5);
    const int widths[] = {73, 28, 25, 26, 84};
    const char* headers[] = {"  dobs.", " h ", " k ", " l ", "   Qo-Qc"};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(g->columnWidth(c), widths[c] + 1);  // and its grid line
        EXPECT_EQ(g->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
        EXPECT_EQ(bool(g->model()->flags(g->model()->index(0, c)) & Qt::ItemIsEditable), c < 4);
    }
    EXPECT_EQ(g->rowHeight(0), 21);
    EXPECT_EQ(g->palette().color(QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(g->currentIndex(), g->model()->index(0, 0));
    EXPECT_EQ(form->Edit2->text(), " 001");
    EXPECT_EQ(form->State().currentRow, 0u);  // placed at start without the selection rule
    EXPECT_EQ(form->centralWidget()->palette().color(QPalette::Window), QColor(0, 128, 0));
    EXPECT_EQ(form->Label9->palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(Window, ResultGridsAreDisabledButReadable) {
    test::FillMonoclinicExample(form->State().calc);
    Trigger(Control::N4);
    ASSERT_TRUE(ui.calls.empty());
    for (GridView* grid : {form->StringGrid2, form->StringGrid3}) {
        EXPECT_FALSE(grid->isEnabled());
        EXPECT_EQ(grid->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(grid->currentIndex().row(), 8);
        // Rows 0..6 are the visible ones (the last grid line of StringGrid3, one pixel
        // lower, may fall outside).
        EXPECT_EQ(grid->indexAt(QPoint(3, 3)).row(), 0);
        EXPECT_LE(grid->rowViewportPosition(6) + 20, grid->viewport()->height());
        const int widths[] = {80, 100, 90};
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(grid->columnWidth(c), widths[c] + 1);
        // The value of row 0 is drawn in black on white.
        const QImage image = grid->viewport()->grab().toImage();
        const QRect cell = grid->visualRect(grid->model()->index(0, 1));
        int dark = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                if (qGray(image.pixel(x, y)) < 80) ++dark;
            }
        }
        EXPECT_GT(dark, 40) << grid->objectName().toStdString();
        EXPECT_EQ(image.pixelColor(cell.right() - 2, cell.top() + 1), QColor(Qt::white));
    }
    EXPECT_EQ(GridText(form->StringGrid2, 0, 1), "  0.106576");
    EXPECT_EQ(GridText(form->StringGrid3, 4, 1), "  105.833   ");
    EXPECT_EQ(GridText(form->StringGrid3, 5, 2), "   ----- ");
    EXPECT_EQ(form->Label9->text(), "0.00000011");
    EXPECT_EQ(GridText(form->StringGrid1, 0, 4), " +0.00029");
    EXPECT_EQ(GridText(form->StringGrid1, 0, 0), " 3.23");
}

TEST_F(Window, MenusShowTheCaptionsOfTheLanguageInTheirOrder) {
    const QList<QAction*> bar = form->menuBar()->actions();
    ASSERT_EQ(bar.size(), static_cast<qsizetype>(MainMenus().size()));
    for (const Control lang : {Control::English2, Control::Japanese1}) {
        Trigger(lang);
        const Lang l = lang == Control::English2 ? Lang::English : Lang::Japanese;
        EXPECT_EQ(form->windowTitle().toStdString(), CaptionText(Control::TForm1).In(l));
        EXPECT_EQ(form->Label4->text().toStdString(), CaptionText(Control::Label4).In(l));
        for (std::size_t m = 0; m < MainMenus().size(); ++m) {
            const MenuDefinition& definition = MainMenus()[m];
            QMenu* menu = bar[static_cast<qsizetype>(m)]->menu();
            ASSERT_EQ(menu, form->Menu(definition.title));
            EXPECT_EQ(VisibleText(menu->title()), CaptionText(definition.title).In(l));
            EXPECT_FALSE(menu->separatorsCollapsible());  // a leading separator shows
            const QList<QAction*> items = menu->actions();
            ASSERT_EQ(items.size(), static_cast<qsizetype>(definition.entries.size()));
            for (std::size_t i = 0; i < definition.entries.size(); ++i) {
                const MenuEntry& e = definition.entries[i];
                QAction* a = items[static_cast<qsizetype>(i)];
                EXPECT_EQ(a->isSeparator(), e.separator);
                if (!e.separator) {
                    EXPECT_EQ(VisibleText(a->text()), CaptionText(e.control).In(l));
                }
            }
        }
    }
    EXPECT_EQ(form->Action(Control::N20)->text(), "１行除外　");
    EXPECT_EQ(form->Menu(Control::N14)->title(), " デ － タ  ");
}

TEST_F(Window, TypedCellsReachTheCalculation) {
    form->show();
    test::FillMonoclinicExample(form->State().calc);
    form->State().calc.table.Cell(2, 4).clear();  // k of the fourth row
    form->SyncFromState();
    GridView* g = form->StringGrid1;
    g->setFocus();
    g->setCurrentIndex(g->model()->index(3, 2));
    EXPECT_EQ(form->Edit2->text(), " 004");
    EXPECT_EQ(form->State().currentRow, 4u);
    QTest::keyClicks(g->focusWidget() ? g->focusWidget() : g, "3");
    Trigger(Control::N4);  // the edit is finished first
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(form->State().calc.table.Cell(2, 4), " 3");
    EXPECT_EQ(form->Label9->text(), "0.00000011");

    QTest::keyClicks(form->Edit1, "diopside");
    EXPECT_EQ(form->State().edit1, "diopside");
}

// A sample name the program puts into the field (from a file) shows from its beginning,
// also when it is wider than the field.
TEST_F(Window, ALongSampleNameShowsItsBeginning) {
    form->show();
    form->State().edit1 = "Diopside CaMgSi2O6 (monoclinic, C2/c), sample 17";
    form->SyncFromState();
    EXPECT_EQ(form->Edit1->cursorPosition(), 0);
}

TEST_F(Window, AFailingCellBecomesCurrentAndTheMessageIsShown) {
    form->show();
    test::FillMonoclinicExample(form->State().calc);
    form->State().calc.table.Cell(3, 5) = "1.5";
    Trigger(Control::N4);
    EXPECT_EQ(ui.Texts(Call::Message), std::vector<std::string>{"指数には整数を入れてください"});
    EXPECT_EQ(form->StringGrid1->currentIndex(), form->StringGrid1->model()->index(4, 3));
    EXPECT_EQ(form->Edit2->text(), " 005");

    ui.calls.clear();
    form->State().calc.table.Cell(0, 2) = "2.5b";
    Trigger(Control::N4);
    EXPECT_EQ(ui.Texts(Call::Error),
              std::vector<std::string>{"'2.5b' は浮動小数点数ではありません."});
    EXPECT_TRUE(form->isVisible());
}

// The title bar's close button goes through the Exit question: it used to end the program
// at once, with the typed rows lost and the settings not written.
TEST_F(Window, ClosingByTheTitleBarAsksAsExitDoes) {
    form->show();
    Trigger(Control::English2);
    ui.answers = {false, true};
    form->close();  // Cancel: the window stays, nothing is written
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ui.Texts(Call::OkCancel), std::vector<std::string>{"Do you want to Exit ? "});
    EXPECT_FALSE(test::Exists(dir.Path("dorvalixini")));
    form->close();  // OK: the settings are written and the window closes
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 2u);
    EXPECT_EQ(test::ReadText(dir.Path("dorvalixini")).substr(0, 18), "[Dorvalix]\nlang=e\n");
}

TEST_F(Window, ExitClosesOnlyAfterOk) {
    form->show();
    Trigger(Control::English2);
    ui.answers = {false, true};
    Trigger(Control::Exit1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(test::Exists(dir.Path("dorvalixini")));
    Trigger(Control::Exit1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(test::ReadText(dir.Path("dorvalixini")).substr(0, 18), "[Dorvalix]\nlang=e\n");
}

}  // namespace
}  // namespace dorvalix
