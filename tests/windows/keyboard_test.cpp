// SPDX-License-Identifier: GPL-3.0-or-later
// The main window from the keyboard alone: underlined letters in the English menus, the
// usual shortcuts, F10 to the menu bar, and Qt's own texts in the program's language.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <memory>
#include <set>

#include "main_commands.h"
#include "main_window.h"
#include "scripted_ui.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

using test::Call;

// The letter a menu text underlines, or 0.
QChar MnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] != '&') return text[i + 1];
            ++i;
        }
    }
    return QChar();
}

class Keyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        form = std::make_unique<MainWindow>(ui, dir.Path("dorvalix"));
        form->Action(Control::English2)->trigger();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    }
    // A key to the widget that has the keyboard: the open menu, else the focus widget.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::activePopupWidget();
        if (!target) target = QApplication::focusWidget();
        if (!target) target = form.get();
        QTest::keyClick(target, key, modifiers);
        QApplication::processEvents();
    }
    // Each key goes where the keyboard is: the grid, or the cell editor the first key opened.
    void TypeInGrid(const char* text) {
        for (const char* c = text; *c; ++c) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target ? target : form->StringGrid1, *c);
        }
        Key(Qt::Key_Return);
    }

    test::TempDir dir;
    test::ScriptedUi ui;
    std::unique_ptr<MainWindow> form;
};

TEST_F(Keyboard, EnglishMenusUnderlineALetterOfTheirOwnOnceJapaneseOnesAreAsWritten) {
    std::set<QChar> titles;
    for (QAction* title : form->menuBar()->actions()) {
        const QChar letter = MnemonicOf(title->text()).toLower();
        ASSERT_FALSE(letter.isNull()) << title->text().toStdString();
        EXPECT_TRUE(titles.insert(letter).second) << title->text().toStdString();
        std::set<QChar> items;
        for (QAction* item : title->menu()->actions()) {
            if (item->isSeparator()) continue;
            const QChar mark = MnemonicOf(item->text()).toLower();
            ASSERT_FALSE(mark.isNull()) << item->text().toStdString();
            EXPECT_TRUE(items.insert(mark).second) << item->text().toStdString();
        }
    }
    form->Action(Control::Japanese1)->trigger();
    for (QAction* title : form->menuBar()->actions()) {
        EXPECT_FALSE(title->text().contains('&')) << title->text().toStdString();
        for (QAction* item : title->menu()->actions())
            EXPECT_FALSE(item->text().contains('&')) << item->text().toStdString();
    }
    EXPECT_EQ(form->Menu(Control::N2)->title(), "ファイル");
}

TEST_F(Keyboard, ShortcutsRunTheirCommandsAndShowInTheMenus) {
    const struct {
        Control control;
        QKeySequence key;
    } cases[] = {
        {Control::Read1, QKeySequence("Ctrl+O")}, {Control::Write1, QKeySequence("Ctrl+S")},
        {Control::N4, QKeySequence("F9")},        {Control::N4, QKeySequence("Ctrl+R")},
        {Control::N10, QKeySequence("Ctrl+P")},   {Control::hkld1, QKeySequence("Ctrl+H")},
        {Control::Exit1, QKeySequence("Ctrl+Q")}, {Control::N8, QKeySequence("F1")},
    };
    for (const auto& c : cases) {
        QAction* action = form->Action(c.control);
        EXPECT_TRUE(action->shortcuts().contains(c.key)) << c.key.toString().toStdString();
        int fired = 0;
        const auto connection = QObject::connect(action, &QAction::triggered, [&] { ++fired; });
        // The commands ask nothing of an empty window but Read from File (cancelled here)
        // and Exit (answered Cancel).
        ui.fileNames = {""};
        ui.answers = {false};
        QTest::keySequence(form.get(), c.key);
        QObject::disconnect(connection);
        EXPECT_EQ(fired, 1) << c.key.toString().toStdString();
    }
}

TEST_F(Keyboard, F10OpensTheFileMenuAndTheArrowsAndEnterChooseAnItem) {
    ui.fileNames = {""};  // Read from File is cancelled
    Key(Qt::Key_F10);
    ASSERT_EQ(QApplication::activePopupWidget(), form->Menu(Control::N2));
    Key(Qt::Key_Right);  // Crystal System
    ASSERT_EQ(QApplication::activePopupWidget(), form->Menu(Control::N1));
    Key(Qt::Key_Left);
    ASSERT_EQ(QApplication::activePopupWidget(), form->Menu(Control::N2));
    // The menu opened from the keyboard has its first item, Read from File, highlighted.
    EXPECT_EQ(form->Menu(Control::N2)->activeAction(), form->Action(Control::Read1));
    Key(Qt::Key_Return);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(ui.Texts(Call::OpenFile), std::vector<std::string>{"Select File"});
}

TEST_F(Keyboard, AKeyboardOnlyUserTypesChoosesRunsAndSavesAReport) {
    // The seven reflections of the monoclinic example, typed d, h, k, l with Enter.
    const char* rows[][4] = {{"3.23", "2", "2", "0"},   {"2.566", "1", "3", "-1"},
                             {"2.304", "3", "1", "1"},  {"2.157", "3", "3", "0"},
                             {"2.134", "3", "3", "-1"}, {"2.043", "0", "4", "1"},
                             {"1.755", "1", "5", "0"}};
    form->StringGrid1->setFocus();
    for (const auto& row : rows) {
        for (const char* cell : row)
            TypeInGrid(cell);
    }
    EXPECT_EQ(form->State().calc.table.Cell(1, 7), " 1");
    // Alt+S opens Crystal System, M chooses Monoclinic(beta<>90).
    Key(Qt::Key_S, Qt::AltModifier);
    ASSERT_EQ(QApplication::activePopupWidget(), form->Menu(Control::N1));
    Key(Qt::Key_M);
    EXPECT_EQ(form->State().calc.crystalSystem, 5);
    Key(Qt::Key_F9);
    EXPECT_TRUE(form->State().calc.resultValid);
    EXPECT_EQ(form->Label9->text(), "0.00000011");
    // Alt+F, S: Save Results to File.
    const std::string report = dir.Path("typed.out");
    ui.fileNames = {report};
    Key(Qt::Key_F, Qt::AltModifier);
    Key(Qt::Key_S);
    EXPECT_TRUE(test::Exists(report));
    EXPECT_NE(test::ReadText(report).find("Dorvalix Ver. 2.20"), std::string::npos);
}

// A slip is undone: Escape while typing in a cell gives it back the text from before.
TEST_F(Keyboard, EscapeCancelsAnEdit) {
    form->StringGrid1->setFocus();
    TypeInGrid("3.23");
    form->State().gridCurrent = {0, 1};
    form->SyncFromState();
    for (const char c : std::string("9.99"))
        QTest::keyClick(QApplication::focusWidget(), c);
    EXPECT_EQ(form->State().calc.table.Cell(0, 1), "9.99");
    Key(Qt::Key_Escape);
    EXPECT_EQ(form->State().calc.table.Cell(0, 1), " 3.23");  // as Enter left it
    EXPECT_EQ(QApplication::focusWidget(), form->StringGrid1);
}

TEST_F(Keyboard, TheLanguageMenuMarksTheLanguageInForce) {
    EXPECT_TRUE(form->Action(Control::English2)->isChecked());
    EXPECT_FALSE(form->Action(Control::Japanese1)->isChecked());
    form->Action(Control::Japanese1)->trigger();
    EXPECT_FALSE(form->Action(Control::English2)->isChecked());
    EXPECT_TRUE(form->Action(Control::Japanese1)->isChecked());
    form->Action(Control::Japanese1)->trigger();  // again: it stays marked
    EXPECT_TRUE(form->Action(Control::Japanese1)->isChecked());
}

TEST_F(Keyboard, QtsOwnTextsFollowTheLanguage) {
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    EXPECT_EQ(cancel(), "Cancel");
    form->Action(Control::Japanese1)->trigger();
    EXPECT_EQ(cancel(), "キャンセル");
    form->Action(Control::English2)->trigger();
    EXPECT_EQ(cancel(), "Cancel");
}

}  // namespace
}  // namespace dorvalix
