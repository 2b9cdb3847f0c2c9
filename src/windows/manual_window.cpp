// SPDX-License-Identifier: GPL-3.0-or-later
#include "manual_window.h"

#include <QGuiApplication>
#include <QScreen>

#include "fonts.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

QString JoinLines(const std::vector<std::string>& lines) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        out << ToQ(line);
    return out.join('\n');
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, const QRect& at) {
    auto* button = new QPushButton(ToQ(text), parent);
    button->setObjectName(name);
    button->setFont(PGothicFont(16));
    button->setGeometry(at);
    // Enter in the manual presses nothing.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

ManualWindow::ManualWindow(Ui& ui, Lang lang, std::string dataFolder,
                           PrincipleWindowState* principle, QWidget* parent)
    : QDialog(parent), ui_(ui), dataFolder_(std::move(dataFolder)), principle_(principle) {
    const bool japanese = lang == Lang::Japanese;
    const ManualWindowTexts& texts = ManualTexts(lang);
    setObjectName(japanese ? "TForm3" : "TForm6");
    setWindowTitle(ToQ(texts.windowTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    const QSize size = japanese ? QSize(696, 480) : QSize(688, 472);
    setFixedSize(size);
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, kGreen);

    constexpr int kMargin = 12, kButtonHeight = 32;
    const int buttonTop = size.height() - kMargin - kButtonHeight;
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(kMargin, kMargin, size.width() - 2 * kMargin,
                       buttonTop - 2 * kMargin + kMargin / 2);
    Memo1->setFont(GothicFont(16));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The Japanese manual wraps at the box's edge; the English one scrolls sideways.
    Memo1->setLineWrapMode(japanese ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(japanese ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    SetColour(Memo1, QPalette::Base, Qt::white);
    SetColour(Memo1, QPalette::Text, Qt::black);

    if (japanese) {
        Button2 = MakeButton(this, "Button2", texts.principleButton,
                             QRect(size.width() / 2 - 178, buttonTop, 168, kButtonHeight));
        Button1 = MakeButton(this, "Button1", texts.closeButton,
                             QRect(size.width() / 2 + 10, buttonTop, 100, kButtonHeight));
        connect(Button2, &QPushButton::clicked, this, [this] {
            if (!principle_) return;
            RunCommand(ui_, [this] { Button2Click(*principle_, ui_, dataFolder_); });
        });
    } else {
        Button1 = MakeButton(this, "Button1", texts.closeButton,
                             QRect(size.width() / 2 - 50, buttonTop, 100, kButtonHeight));
    }
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    // FormCreate: the manual is read once; a file that cannot be read leaves the built-in
    // text after the error box.
    state_.lang = lang;
    RunCommand(ui_, [this] { LoadManual(state_, dataFolder_); });
    Memo1->setPlainText(JoinLines(state_.lines));
}

void ManualWindow::Centre() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void ManualWindow::Open() {
    Centre();
    exec();
}

void ManualWindow::ShowWindow() {
    Centre();
    show();
}

void ManualWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Memo1->setFocus(Qt::OtherFocusReason);
}

}  // namespace dorvalix
