// SPDX-License-Identifier: GPL-3.0-or-later
// The version, manual and principle windows as widgets on the offscreen platform: titles,
// sizes, colours, fonts, scroll bars, focus, the picture decoded with libjpeg, and the
// principle text built from RTF.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontInfo>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <filesystem>
#include <memory>

#include "input_file.h"
#include "manual_window.h"
#include "principle_window.h"
#include "scripted_ui.h"
#include "temp_dir.h"
#include "version_window.h"
#include "widget_style.h"

namespace dorvalix {
namespace {

using test::Call;

const QColor kTeal(0, 128, 128);

QColor Background(const QWidget* w) {
    return w->palette().color(QPalette::Window);
}

// Every label shows its whole text, and no two controls overlap.
void ExpectLaidOut(const QDialog& window, const QList<QWidget*>& controls) {
    for (int i = 0; i < controls.size(); ++i) {
        const QWidget* w = controls[i];
        const std::string name = w->objectName().toStdString();
        EXPECT_TRUE(window.rect().contains(w->geometry())) << name;
        if (const auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty()) {
            const QFontMetrics metrics(label->font());
            EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width())
                << name << " " << label->text().toStdString();
            EXPECT_LE(metrics.height(), label->height()) << name;
        }
        for (int j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(w->geometry().intersects(controls[j]->geometry()))
                << name << " " << controls[j]->objectName().toStdString();
    }
}

QImage ImageOf(const QLabel* label) {
    return label->pixmap().toImage();
}

TEST(VersionWindows, JapaneseWindow) {
    VersionWindow form2(Lang::Japanese, DORVALIX_PICTURE);
    form2.ShowWindow();
    EXPECT_EQ(form2.objectName(), "TForm2");
    EXPECT_EQ(form2.windowTitle(), "バージョン情報");
    EXPECT_EQ(form2.size(), QSize(414, 263));
    EXPECT_EQ(form2.minimumSize(), form2.maximumSize());
    EXPECT_EQ(Background(&form2), QColor(Qt::white));

    EXPECT_EQ(form2.Label1->text(), "格子定数計算プログラム");
    EXPECT_TRUE(form2.Label1->font().bold());
    EXPECT_EQ(form2.Label1->font().pixelSize(), 21);
    EXPECT_EQ(form2.Label1->font().family(), "IPAMincho");
    // The face the label is drawn with, not only the one asked for: bold IPAMincho has no
    // bold file, and a bold face of another family must not stand in for it.
    EXPECT_EQ(QFontInfo(form2.Label1->font()).family(), "IPAMincho");
    EXPECT_TRUE(QFontInfo(form2.Label1->font()).bold());
    EXPECT_EQ(form2.Label2->text(), "Dorvalix Ver. 2.20");
    EXPECT_EQ(form2.Label2->palette().color(QPalette::WindowText), kTeal);
    EXPECT_TRUE(form2.Label2->font().bold());
    EXPECT_EQ(form2.Label2->font().pixelSize(), 27);
    EXPECT_EQ(form2.Button1->text(), "戻　る");
    // The organisation, the author and the contact: the project's own.
    ASSERT_EQ(form2.lines.size(), 5u);
    EXPECT_EQ(form2.lines[4]->text(), "ライセンス: GPL-3.0-or-later");
    EXPECT_TRUE(form2.lines[2]->text().contains("Dorvalix maintainers"));
    EXPECT_TRUE(form2.lines[3]->text().contains("README"));

    // The picture, decoded with libjpeg, at the right.
    ASSERT_NE(form2.Image1, nullptr);
    EXPECT_EQ(form2.Image1->size(), QSize(105, 161));
    EXPECT_GT(form2.Image1->x(), form2.width() / 2);
    const QImage picture = ImageOf(form2.Image1);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(105, 161));
    const QColor crystal = picture.pixelColor(52, 100);
    EXPECT_GT(crystal.green(), crystal.red() + 30);

    QList<QWidget*> controls = {form2.Label1, form2.Label2, form2.Image1, form2.Button1};
    for (QLabel* line : form2.lines)
        controls << line;
    ExpectLaidOut(form2, controls);

    // Centred on the screen, within the frame the platform draws around it; the button
    // closes it.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((form2.geometry().center() - screen.center()).manhattanLength(), 4);
    QTest::mouseClick(form2.Button1, Qt::LeftButton);
    EXPECT_FALSE(form2.isVisible());
}

TEST(VersionWindows, EnglishWindow) {
    VersionWindow form5(Lang::English, DORVALIX_PICTURE);
    form5.ShowWindow();
    EXPECT_EQ(form5.objectName(), "TForm5");
    EXPECT_EQ(form5.windowTitle(), "About Dorvalix");
    EXPECT_EQ(form5.size(), QSize(415, 260));
    EXPECT_EQ(form5.minimumSize(), form5.maximumSize());
    EXPECT_EQ(Background(&form5), QColor(Qt::white));
    EXPECT_EQ(form5.Label1, nullptr);
    EXPECT_EQ(form5.Image1, nullptr);  // no picture
    EXPECT_EQ(form5.Label2->text(), "Dorvalix Ver. 2.20");
    EXPECT_EQ(form5.Label2->palette().color(QPalette::WindowText), kTeal);
    EXPECT_EQ(form5.Label2->font().pixelSize(), 27);
    EXPECT_TRUE(form5.Label2->font().bold());
    // Three organisation lines, the author, the contact and the licence in a bold serif of 19 px.
    ASSERT_EQ(form5.lines.size(), 6u);
    EXPECT_EQ(form5.lines[5]->text(), "License: GPL-3.0-or-later");
    for (QLabel* line : form5.lines) {
        EXPECT_TRUE(line->font().bold());
        EXPECT_EQ(line->font().pixelSize(), 19);
        EXPECT_EQ(line->font().family(), "DejaVu Serif");
    }
    EXPECT_EQ(form5.Button1->text(), "Close");
    QList<QWidget*> controls = {form5.Label2, form5.Button1};
    for (QLabel* line : form5.lines)
        controls << line;
    ExpectLaidOut(form5, controls);
    QTest::mouseClick(form5.Button1, Qt::LeftButton);
    EXPECT_FALSE(form5.isVisible());
}

TEST(VersionWindows, MissingOrDamagedPictureLeavesTheSpaceEmpty) {
    test::TempDir dir;
    const std::string good = ReadInputFile(DORVALIX_PICTURE, Lang::English);
    test::WriteText(dir.Path("cut.jpg"), good.substr(0, good.size() / 3));
    test::WriteText(dir.Path("text.jpg"), "not a picture");
    std::filesystem::create_directory(dir.Path("folder.jpg"));
    for (const std::string& path : {std::string(), dir.Path("missing.jpg"), dir.Path("cut.jpg"),
                                    dir.Path("text.jpg"), dir.Path("folder.jpg")}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(LoadJpegPicture(path).isNull());
        VersionWindow form2(Lang::Japanese, path);
        form2.ShowWindow();
        EXPECT_TRUE(form2.Image1->pixmap().isNull());
        EXPECT_EQ(form2.Image1->size(), QSize(105, 161));
        EXPECT_EQ(form2.Label2->text(), "Dorvalix Ver. 2.20");
        QTest::mouseClick(form2.Button1, Qt::LeftButton);
        EXPECT_FALSE(form2.isVisible());
    }
}

// Runs in a working directory of its own, where the manual files are looked up.
class ManualWidgets : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(work.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    test::TempDir work;
    test::TempDir data;
    test::ScriptedUi ui;
    PrincipleWindowState principle;

  private:
    std::filesystem::path previous_;
};

// The width a line of the box may take without wrapping or scrolling sideways.
int TextWidth(QPlainTextEdit* memo) {
    return memo->viewport()->width() - 2 * static_cast<int>(memo->document()->documentMargin());
}

TEST_F(ManualWidgets, JapaneseManualWindow) {
    ManualWindow form3(ui, Lang::Japanese, data.path(), &principle);
    form3.ShowWindow();
    EXPECT_EQ(form3.objectName(), "TForm3");
    EXPECT_EQ(form3.windowTitle(), "使用法の説明");
    EXPECT_EQ(form3.size(), QSize(696, 480));
    EXPECT_EQ(form3.minimumSize(), form3.maximumSize());
    EXPECT_EQ(Background(&form3), QColor(0, 128, 0));
    QPlainTextEdit* memo = form3.Memo1;
    EXPECT_EQ(memo->objectName(), "Memo1");
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->font().pixelSize(), 16);
    EXPECT_EQ(memo->font().family(), "IPAGothic");
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(memo->verticalScrollBar()->isVisible());
    EXPECT_EQ(form3.Button1->text(), "戻る");
    EXPECT_EQ(form3.Button2->text(), "計算原理の解説");
    ExpectLaidOut(form3, {memo, form3.Button1, form3.Button2});

    // FormShow: the focus is in the manual.
    QApplication::processEvents();
    EXPECT_EQ(form3.focusWidget(), memo);

    // The built-in manual, every line of it whole within the box.
    EXPECT_EQ(
        memo->toPlainText().toStdString(),
        std::string(BuiltInManual(Lang::Japanese))
            .substr(0, BuiltInManual(Lang::Japanese).size() - 1));  // without its last line end
    const QFontMetrics metrics(memo->font());
    const QStringList lines = memo->toPlainText().split('\n');
    EXPECT_GT(lines.size(), 200);
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), TextWidth(memo)) << line.toStdString();

    // Enter in the manual changes nothing and closes nothing.
    const QString before = memo->toPlainText();
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClick(memo, Qt::Key_A);
    EXPECT_EQ(memo->toPlainText(), before);
    EXPECT_TRUE(form3.isVisible());

    // "計算原理の解説" opens the principle window; "戻る" closes the manual.
    QTest::mouseClick(form3.Button2, Qt::LeftButton);
    EXPECT_EQ(ui.windows, std::vector<SecondaryWindow>{SecondaryWindow::TForm4});
    QTest::mouseClick(form3.Button1, Qt::LeftButton);
    EXPECT_FALSE(form3.isVisible());
    EXPECT_EQ(ui.calls.size(), 1u);  // nothing else was shown
}

TEST_F(ManualWidgets, EnglishManualWindow) {
    ManualWindow form6(ui, Lang::English, data.path(), nullptr);
    form6.ShowWindow();
    EXPECT_EQ(form6.objectName(), "TForm6");
    EXPECT_EQ(form6.windowTitle(), "About Dorvalix");
    EXPECT_EQ(form6.size(), QSize(688, 472));
    EXPECT_EQ(Background(&form6), QColor(0, 128, 0));
    QPlainTextEdit* memo = form6.Memo1;
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->font().pixelSize(), 16);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(form6.Button1->text(), "Close");
    EXPECT_EQ(form6.Button2, nullptr);
    ExpectLaidOut(form6, {memo, form6.Button1});
    QApplication::processEvents();
    EXPECT_EQ(form6.focusWidget(), memo);
    // The built-in manual needs no sideways scrolling.
    const QFontMetrics metrics(memo->font());
    for (const QString& line : memo->toPlainText().split('\n'))
        EXPECT_LE(metrics.horizontalAdvance(line), TextWidth(memo)) << line.toStdString();
    // A line longer than the box scrolls sideways instead of wrapping.
    memo->setPlainText(QString(300, 'x'));
    QApplication::processEvents();
    EXPECT_GT(memo->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(memo->document()->lineCount(), 1);
}

TEST_F(ManualWidgets, FilesReplaceTheBuiltInManualsAtCreation) {
    test::WriteText(work.Path("dorvalix_e.txt"), "Local manual\r\nline two\r\n");
    test::WriteText(data.Path("dorvalix_j.txt"), "インストール先の説明\n");
    ManualWindow form3(ui, Lang::Japanese, data.path(), &principle);
    ManualWindow form6(ui, Lang::English, data.path(), nullptr);
    EXPECT_EQ(form3.Memo1->toPlainText(), "インストール先の説明");
    EXPECT_EQ(form6.Memo1->toPlainText(), "Local manual\nline two");
    // Read once: a change afterwards shows at the next start only.
    test::WriteText(work.Path("dorvalix_e.txt"), "changed");
    form6.ShowWindow();
    EXPECT_EQ(form6.Memo1->toPlainText(), "Local manual\nline two");
    EXPECT_TRUE(ui.calls.empty());

    // A file that cannot be read: the error box, and the built-in manual.
    std::filesystem::remove(work.Path("dorvalix_e.txt"));
    std::filesystem::create_directory(work.Path("dorvalix_e.txt"));
    ManualWindow broken(ui, Lang::English, data.path(), nullptr);
    EXPECT_EQ(ui.Texts(Call::Error).size(), 1u);
    EXPECT_TRUE(broken.Memo1->toPlainText().startsWith("Dorvalix Ver. 2.20"));
}

TEST_F(ManualWidgets, PrincipleWindow) {
    PrincipleWindow form4(principle);
    form4.ShowWindow();
    EXPECT_EQ(form4.objectName(), "TForm4");
    EXPECT_EQ(form4.windowTitle(), "計算原理");
    EXPECT_EQ(form4.size(), QSize(696, 480));
    EXPECT_EQ(form4.minimumSize(), form4.maximumSize());
    EXPECT_EQ(Background(&form4), QColor(0, 128, 0));
    QTextEdit* rich = form4.RichEdit1;
    EXPECT_EQ(rich->objectName(), "RichEdit1");
    EXPECT_TRUE(rich->isReadOnly());
    EXPECT_EQ(rich->font().pixelSize(), 16);
    EXPECT_EQ(rich->font().family(), "IPAGothic");
    EXPECT_EQ(rich->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form4.Button1->text(), "戻る");
    ExpectLaidOut(form4, {rich, form4.Button1});

    // The built-in text: mathematical layout with sub- and superscripts and matrices laid
    // out as tables.
    QTextDocument* doc = rich->document();
    EXPECT_TRUE(doc->toPlainText().startsWith("格子定数の計算原理"));
    int tables = 0;
    for (QTextFrame* frame : doc->rootFrame()->childFrames())
        tables += qobject_cast<QTextTable*>(frame) != nullptr;
    EXPECT_GE(tables, 8);
    bool superscript = false, subscript = false;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const auto align = it.fragment().charFormat().verticalAlignment();
            superscript |= align == QTextCharFormat::AlignSuperScript;
            subscript |= align == QTextCharFormat::AlignSubScript;
        }
    }
    EXPECT_TRUE(superscript);
    EXPECT_TRUE(subscript);
    // No line of it is cut at the right: the document fits the box's width.
    EXPECT_LE(doc->idealWidth(), rich->viewport()->width());

    // Enter inserts nothing and does not close the window.
    const QString before = doc->toPlainText();
    rich->setFocus();
    QTest::keyClick(rich, Qt::Key_Return);
    QTest::keyClick(rich, Qt::Key_Enter);
    EXPECT_EQ(doc->toPlainText(), before);
    EXPECT_TRUE(form4.isVisible());
    // The keyboard still reads on.
    QTest::keyClick(rich, Qt::Key_PageDown);
    EXPECT_GT(rich->verticalScrollBar()->value(), 0);
    QTest::mouseClick(form4.Button1, Qt::LeftButton);
    EXPECT_FALSE(form4.isVisible());
}

const QTextCharFormat* FormatOf(const QTextDocument& doc, const QString& text,
                                QTextCharFormat& out) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text() == text) {
                out = it.fragment().charFormat();
                return &out;
            }
        }
    }
    return nullptr;
}

TEST_F(ManualWidgets, PrincipleWindowShowsTheLoadedRtfFile) {
    PrincipleWindow form4(principle);
    // The Japanese manual's button loaded LibreOffice's file.
    test::WriteText(
        work.Path("dorvalix.rtf"),
        ReadInputFile(std::string(DORVALIX_RTF_FILES) + "/japanese.rtf", Lang::English));
    ASSERT_TRUE(RunCommand(ui, [&] { Button2Click(principle, ui, data.path()); }));
    form4.ShowWindow();
    QTextDocument* doc = form4.RichEdit1->document();
    // A line break inside a paragraph reads as a line end in the document's plain text.
    EXPECT_EQ(doc->toPlainText(), ToQ(RtfPlainText(*principle.document)).replace(u'\u2028', '\n'));
    EXPECT_EQ(doc->blockCount(), 7);
    EXPECT_EQ(doc->begin().blockFormat().alignment(), Qt::AlignHCenter);

    QTextCharFormat f;
    ASSERT_TRUE(FormatOf(*doc, "格子定数の計算原理", f));
    EXPECT_EQ(f.fontWeight(), QFont::Bold);
    EXPECT_EQ(f.property(QTextFormat::FontPixelSize).toInt(), 21);  // 16 pt over 12 pt of 16 px
    ASSERT_TRUE(FormatOf(*doc, "斜体", f));
    EXPECT_TRUE(f.fontItalic());
    ASSERT_TRUE(FormatOf(*doc, "下線", f));
    EXPECT_TRUE(f.fontUnderline());
    ASSERT_TRUE(FormatOf(*doc, "小さい文字", f));
    EXPECT_EQ(f.property(QTextFormat::FontPixelSize).toInt(), 11);  // 8 pt
    ASSERT_TRUE(FormatOf(*doc, "赤", f));
    EXPECT_EQ(f.foreground().color(), QColor(255, 0, 0));
    ASSERT_TRUE(FormatOf(*doc, "普通の文字、", f));
    EXPECT_EQ(f.property(QTextFormat::FontPixelSize).toInt(), 16);
    EXPECT_FALSE(f.hasProperty(QTextFormat::ForegroundBrush));
    ASSERT_TRUE(FormatOf(*doc, "3", f));
    EXPECT_EQ(f.verticalAlignment(), QTextCharFormat::AlignSuperScript);
    ASSERT_TRUE(FormatOf(*doc, "1", f));
    EXPECT_EQ(f.verticalAlignment(), QTextCharFormat::AlignSubScript);
    form4.hide();

    // A new load replaces the text; without one the window shows what it showed.
    test::WriteText(work.Path("dorvalix.rtf"), "{\\rtf1\\qr Second {\\b file}}");
    ASSERT_TRUE(RunCommand(ui, [&] { Button2Click(principle, ui, data.path()); }));
    form4.ShowWindow();
    EXPECT_EQ(doc->toPlainText(), "Second file");
    EXPECT_EQ(doc->begin().blockFormat().alignment(), Qt::AlignRight);
    form4.hide();
    std::filesystem::remove(work.Path("dorvalix.rtf"));
    ASSERT_TRUE(RunCommand(ui, [&] { Button2Click(principle, ui, data.path()); }));
    form4.ShowWindow();
    EXPECT_EQ(doc->toPlainText(), "Second file");
}

}  // namespace
}  // namespace dorvalix
