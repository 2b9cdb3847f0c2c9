// SPDX-License-Identifier: GPL-3.0-or-later
// The Assign Indices from Cell dialog as widgets, on the offscreen platform: typed into its
// fields, Assign fills its grid, Apply the main table; Escape closes it; the captions follow
// the language.
#include "assign_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "crystal_system.h"
#include "main_commands.h"
#include "main_window.h"
#include "scripted_ui.h"
#include "temp_dir.h"

namespace dorvalix {
namespace {

TEST(AssignDialogWidgets, TypedCellIndexesTheTableAndApplyFillsTheMainWindow) {
    test::TempDir dir;
    test::ScriptedUi ui;
    MainWindow form(ui, dir.Path("dorvalix"));
    form.Run(English2Click);
    ui.fileNames.push_back(std::string(DORVALIX_EXAMPLES) + "/diopside.lat");
    form.Run(Read1Click);
    MainState& main = form.State();
    for (int r = 1; r <= 7; ++r)
        main.calc.table.Cell(1, r) = main.calc.table.Cell(2, r) = main.calc.table.Cell(3, r) = "";

    AssignDialog dialog(ui, main, nullptr, nullptr);
    int changed = 0;
    QObject::connect(&dialog, &AssignDialog::MainStateChanged, [&] { ++changed; });
    dialog.Open();
    EXPECT_EQ(dialog.windowTitle(), "Assign Indices from Cell");
    EXPECT_EQ(dialog.ApplyButton->text(), "Apply to &Table...");
    // Every Alt+letter of the dialog reaches one control.
    QStringList letters;
    for (const QWidget* w : dialog.findChildren<QWidget*>()) {
        QString text;
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
        if (const auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
        const qsizetype at = text.indexOf('&');
        if (at >= 0 && at + 1 < text.size()) {
            const QString letter = text.mid(at + 1, 1).toLower();
            EXPECT_FALSE(letters.contains(letter)) << text.toStdString();
            letters << letter;
        }
    }
    EXPECT_GE(letters.size(), 10);
    const char* cell[6] = {"9.77", "8.92", "5.26", "90", "105.5", "90"};
    for (int i = 0; i < 6; ++i) {
        dialog.CellEdits[static_cast<std::size_t>(i)]->clear();
        QTest::keyClicks(dialog.CellEdits[static_cast<std::size_t>(i)], cell[i]);
    }
    // As the user picks them: the boxes act on `activated`.
    dialog.SystemBox->setCurrentIndex(kMonoclinicBeta - 1);
    emit dialog.SystemBox->activated(kMonoclinicBeta - 1);
    dialog.LatticeBox->setCurrentIndex(static_cast<int>(Centring::C));
    emit dialog.LatticeBox->activated(static_cast<int>(Centring::C));
    dialog.AssignButton->click();
    ASSERT_TRUE(ui.Texts(test::Call::Message).empty()) << ui.Texts(test::Call::Message)[0];
    ASSERT_EQ(dialog.ResultGrid->rowCount(), 7);
    EXPECT_EQ(dialog.ResultGrid->item(0, 5)->text(), "indexed");
    EXPECT_TRUE(dialog.SummaryText->text().startsWith("7 indexed, 0 ambiguous, 0 unindexed"))
        << dialog.SummaryText->text().toStdString();

    ui.answers.push_back(true);
    dialog.ApplyButton->click();
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(main.calc.crystalSystem, kMonoclinicBeta);
    EXPECT_FALSE(main.calc.table.Cell(1, 1).empty());
    EXPECT_EQ(dialog.ResultGrid->rowCount(), 0) << "the applied result is spent";

    form.Run(Japanese1Click);
    dialog.Follow();
    EXPECT_EQ(dialog.windowTitle(), "格子定数から指数を付ける");
    EXPECT_EQ(dialog.AssignButton->text(), "指数を付ける");
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace dorvalix
