// SPDX-License-Identifier: GPL-3.0-or-later
// The indexing window as widgets, on the offscreen platform: the menu item, Run with its
// progress while the window stays responsive, the candidates sorted by a header click, a
// candidate chosen in the table giving its ticks to the pattern window, Escape cancelling a
// running search and closing the window, and the captions of both languages.
#include "indexing_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "main_commands.h"
#include "main_window.h"
#include "pattern_window.h"
#include "scripted_ui.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

TEST(IndexingWidgets, RunShowsProgressAndAChosenCandidateGivesItsTicksToThePatternWindow) {
    test::TempDir dir;
    test::ScriptedUi ui;
    MainWindow form(ui, dir.Path("dorvalix"));
    form.Run(English2Click);
    QAction* item = form.Action(Control::Indexing1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Indexing...");
    EXPECT_TRUE(form.Menu(Control::N3)->actions().contains(item));
    item->trigger();
    EXPECT_EQ(ui.windows, std::vector<SecondaryWindow>{SecondaryWindow::TForm12});

    // The silicon example opened in the pattern window with the Cu Kα doublet.
    PatternWindow pattern(ui, form.State());
    PatternWindowState& ps = pattern.State();
    ui.fileNames = {std::string(DORVALIX_EXAMPLES) + "/silicon-cu-ka.xy"};
    pattern.Run(OpenPatternClick);
    pattern.Run([](PatternWindowState& s, Ui& u) { ChoosePatternWavelength(s, u, 0); });
    ASSERT_GE(ps.Peaks().size(), 8u);

    IndexingWindow window(ui, form.State(), &ps);
    int patternSignals = 0;
    QObject::connect(&window, &IndexingWindow::PatternStateChanged, [&] {
        ++patternSignals;
        pattern.SyncFromState();
    });
    window.Open();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.InputBox->currentIndex(), 0);  // the pattern's peaks
    EXPECT_FALSE(window.EmptyNote->isVisibleTo(&window));
    EXPECT_EQ(window.RunButton->text(), "&Run");
    QTest::mouseClick(window.FamilyBoxes[static_cast<std::size_t>(indexing::Family::Triclinic)],
                      Qt::LeftButton);
    EXPECT_FALSE(window.State().families[static_cast<std::size_t>(indexing::Family::Triclinic)]);

    QTest::mouseClick(window.RunButton, Qt::LeftButton);
    ASSERT_TRUE(window.State().Running());
    EXPECT_TRUE(window.Progress->isVisibleTo(&window));
    EXPECT_FALSE(window.ProgressText->text().isEmpty());
    EXPECT_TRUE(window.CancelButton->isEnabled());
    EXPECT_FALSE(window.RunButton->isEnabled());
    EXPECT_FALSE(window.UseButton->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!window.State().Running(), 60000);
    EXPECT_FALSE(window.Progress->isVisibleTo(&window));
    ASSERT_GE(window.CandidateGrid->rowCount(), 2);
    EXPECT_EQ(window.CandidateGrid->item(0, 2)->text(), "cF");
    EXPECT_EQ(window.CandidateGrid->currentRow(), 0);
    EXPECT_TRUE(window.UseButton->isEnabled());
    EXPECT_GT(window.LineGrid->rowCount(), 8);
    ASSERT_TRUE(ps.tickCell);
    EXPECT_EQ(ps.tickCell->label, "indexing candidate 1");
    EXPECT_GE(patternSignals, 1);

    // A header click sorts by that column, a second click the other way.
    const int volume = static_cast<int>(CandidateColumn::Volume);
    window.CandidateGrid->horizontalHeader()->sectionClicked(volume);
    window.CandidateGrid->horizontalHeader()->sectionClicked(volume);
    const int rows = window.CandidateGrid->rowCount();
    const double first = window.CandidateGrid->item(0, volume)->text().toDouble();
    const double last = window.CandidateGrid->item(rows - 1, volume)->text().toDouble();
    EXPECT_GE(first, last);
    EXPECT_TRUE(window.CandidateGrid->horizontalHeaderItem(volume)->text().endsWith("▼"));

    // Another row chosen: its lines and its ticks.
    const int other = window.CandidateGrid->currentRow() == 0 ? 1 : 0;
    window.CandidateGrid->setCurrentCell(other, 3);
    const IndexingCandidate* chosen = window.State().Chosen();
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(window.CandidateGrid->item(other, 3)->text().toStdString(),
              FormatFixed(chosen->solution.cell.a, 5, 15));
    EXPECT_EQ(ps.tickCell->a, chosen->solution.cell.a);
    EXPECT_EQ(ps.tickCell->centring, chosen->solution.centring);

    // Tab reaches every control.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.InputBox->setFocus();
    QSet<QWidget*> reached;
    for (int i = 0; i < 60 && QApplication::focusWidget(); ++i) {
        reached.insert(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    std::vector<QWidget*> controls = {
        window.InputBox,      window.WavelengthBox, window.WavelengthEdit, window.ZeroShift,
        window.RunButton,     window.CandidateGrid, window.LineGrid,       window.UseButton,
        window.KeepUnindexed, window.CopyButton,    window.TextButton,     window.JsonButton,
        window.CloseButton};
    controls.insert(controls.end(), window.FamilyBoxes.begin(), window.FamilyBoxes.end());
    controls.insert(controls.end(), window.FieldEdits.begin(), window.FieldEdits.end());
    for (QWidget* w : controls)
        EXPECT_TRUE(reached.contains(w)) << w->objectName().toStdString();

    // Escape in the candidates' table while a search runs cancels it and closes the window.
    QTest::mouseClick(window.RunButton, Qt::LeftButton);
    ASSERT_TRUE(window.State().Running());
    window.CandidateGrid->setFocus();
    QTest::keyClick(window.CandidateGrid, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!window.State().Running(), 60000);
    ASSERT_TRUE(window.State().result);
    EXPECT_EQ(window.State().result->searched.stopped, "cancelled");

    form.Run(Japanese1Click);
    window.Follow();
    EXPECT_EQ(window.windowTitle(), "指数付け");
    EXPECT_EQ(window.UseButton->text(), "この格子を使う");
    EXPECT_EQ(item->text(), "指数付け...");
}

}  // namespace
}  // namespace dorvalix
