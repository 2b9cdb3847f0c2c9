// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_ui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "beeper.h"

namespace dorvalix {
namespace {

QStringList ButtonTexts(const QMessageBox& box) {
    QStringList texts;
    for (QAbstractButton* b : box.buttons())
        texts << b->text();
    texts.sort();
    return texts;
}

TEST(QtUiBoxes, QuestionsCarryThePlatformsTitleAndButtonTexts) {
    auto okCancel = MakeQuestionBox(QuestionButtons::OkCancel, "終了しますか", nullptr);
    EXPECT_EQ(okCancel->windowTitle(), "警告");
    EXPECT_EQ(okCancel->icon(), QMessageBox::Warning);
    EXPECT_EQ(okCancel->text(), "終了しますか");
    EXPECT_EQ(ButtonTexts(*okCancel), (QStringList{"OK", "キャンセル"}));
    EXPECT_EQ(okCancel->defaultButton()->text(), "OK");
    EXPECT_EQ(okCancel->escapeButton()->text(), "キャンセル");

    auto yesNo = MakeQuestionBox(QuestionButtons::YesNo, "Data are in hkld order ? ", nullptr);
    EXPECT_EQ(yesNo->windowTitle(), "警告");
    EXPECT_EQ(ButtonTexts(*yesNo), (QStringList{"いいえ(&N)", "はい(&Y)"}));
    EXPECT_EQ(yesNo->defaultButton()->text(), "はい(&Y)");
    EXPECT_EQ(yesNo->text(), "Data are in hkld order ? ");  // trailing blank kept
}

TEST(QtUiBoxes, MessagesAndErrorsAreTitledWithTheProgramsTitle) {
    auto message = MakeMessageBox("Dorvalix", "Set Input Data", nullptr);
    EXPECT_EQ(message->windowTitle(), "Dorvalix");
    EXPECT_EQ(message->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(ButtonTexts(*message).size(), 1);
    auto error = MakeErrorBox("Dorvalix", "0 による浮動小数点数除算.", nullptr);
    EXPECT_EQ(error->windowTitle(), "Dorvalix");
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
    EXPECT_EQ(error->text(), "0 による浮動小数点数除算.");
}

// Presses the button with `text` of the next modal box.
void PressLater(const QString& text) {
    QTimer::singleShot(0, [text] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == text) b->click();
        }
    });
}

TEST(QtUi, QuestionsAnswerWhatWasPressed) {
    QtUi ui("Dorvalix");
    PressLater("OK");
    EXPECT_TRUE(ui.AskOkCancel("Do you want to Exit ? "));
    PressLater("キャンセル");
    EXPECT_FALSE(ui.AskOkCancel("Do you want to Exit ? "));
    PressLater("はい(&Y)");
    EXPECT_TRUE(ui.AskYesNo("hkldの並びですか"));
    PressLater("いいえ(&N)");
    EXPECT_FALSE(ui.AskYesNo("hkldの並びですか"));
}

TEST(QtUi, ClipboardTextAndSpreadsheetCells) {
    QtUi ui("Dorvalix");
    ui.SetClipboardText("Calculation of Cell Parameters\r\nα β γ\r\n");
    EXPECT_EQ(ui.ClipboardText(), "Calculation of Cell Parameters\r\nα β γ\r\n");
    EXPECT_EQ(ui.ClipboardSylk(), std::nullopt);  // plain text only

    auto* mime = new QMimeData;
    static const char sylk[] = "ID;PSCALC3\r\nC;X1;Y1;K3.1355\r\nE\r\n\0rest";
    mime->setData("application/x-openoffice-sylk;windows_formatname=\"Sylk\"",
                  QByteArray(sylk, sizeof sylk - 1));
    mime->setText("3.1355");
    QGuiApplication::clipboard()->setMimeData(mime);
    EXPECT_EQ(ui.ClipboardSylk(), "ID;PSCALC3\r\nC;X1;Y1;K3.1355\r\nE\r\n");
    EXPECT_EQ(ui.ClipboardText(), "3.1355");
}

TEST(BeepTone, IsAnEightHundredHertzToneOfTwoHundredMilliseconds) {
    const auto tone = MakeBeepTone(48000, 800, 0.2);
    ASSERT_EQ(tone.size(), 9600u);
    int crossings = 0;
    int peak = 0;
    for (std::size_t i = 1; i < tone.size(); ++i) {
        if ((tone[i - 1] < 0) != (tone[i] < 0)) ++crossings;
        peak = std::max(peak, std::abs(static_cast<int>(tone[i])));
    }
    EXPECT_NEAR(crossings, 2 * 800 * 0.2, 2);
    EXPECT_GT(peak, 10000);
    EXPECT_EQ(tone.front(), 0);  // faded in and out: no click
    EXPECT_EQ(tone.back(), 0);
}

}  // namespace
}  // namespace dorvalix
