// SPDX-License-Identifier: GPL-3.0-or-later
#include "principle_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "fonts.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

constexpr int kWidth = 696;
constexpr int kHeight = 480;
constexpr int kFontPixels = 16;

Qt::Alignment ToQt(RtfAlignment alignment) {
    switch (alignment) {
        case RtfAlignment::Centre:
            return Qt::AlignHCenter;
        case RtfAlignment::Right:
            return Qt::AlignRight;
        case RtfAlignment::Justified:
            return Qt::AlignJustify;
        case RtfAlignment::Left:
            break;
    }
    return Qt::AlignLeft;
}

}  // namespace

void FillTextDocument(QTextDocument& document, const RtfDocument& rtf) {
    document.clear();
    const QFont base = document.defaultFont();
    const double basePixels = base.pixelSize() > 0 ? base.pixelSize() : base.pointSizeF() * 96 / 72;
    QTextCursor cursor(&document);
    bool first = true;
    for (const RtfParagraph& paragraph : rtf.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(ToQt(paragraph.alignment));
        if (first) {
            cursor.setBlockFormat(block);
            first = false;
        } else {
            cursor.insertBlock(block);
        }
        for (const RtfRun& run : paragraph.runs) {
            QTextCharFormat format;
            format.setFontWeight(run.format.bold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(run.format.italic);
            format.setFontUnderline(run.format.underline);
            // 12 points (24 half points) is the box's own size.
            const int pixels =
                std::max(1, static_cast<int>(basePixels * run.format.halfPoints / 24.0 + 0.5));
            format.setProperty(QTextFormat::FontPixelSize, pixels);
            if (run.format.colour) {
                const RtfColour& c = *run.format.colour;
                format.setForeground(QColor(c.red, c.green, c.blue));
            }
            switch (run.format.position) {
                case RtfPosition::Superscript:
                    format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
                    break;
                case RtfPosition::Subscript:
                    format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
                    break;
                case RtfPosition::Baseline:
                    break;
            }
            cursor.insertText(QString::fromStdString(run.text), format);
        }
    }
}

PrincipleWindow::PrincipleWindow(const PrincipleWindowState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setObjectName("TForm4");
    setWindowTitle(ToQ(kPrincipleWindowTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, kGreen);

    constexpr int kMargin = 12, kButtonHeight = 32;
    const int buttonTop = kHeight - kMargin - kButtonHeight;
    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setGeometry(kMargin, kMargin, kWidth - 2 * kMargin,
                           buttonTop - 2 * kMargin + kMargin / 2);
    RichEdit1->setFont(GothicFont(kFontPixels));
    RichEdit1->document()->setDefaultFont(GothicFont(kFontPixels));
    // Read-only: Enter inserts nothing, and no button is pressed by it either.
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SetColour(RichEdit1, QPalette::Base, Qt::white);
    SetColour(RichEdit1, QPalette::Text, Qt::black);
    RichEdit1->setHtml(QString::fromUtf8(BuiltInPrinciple().data(),
                                         static_cast<qsizetype>(BuiltInPrinciple().size())));

    Button1 = new QPushButton(ToQ(kPrincipleCloseButton), this);
    Button1->setObjectName("Button1");
    Button1->setFont(PGothicFont(16));
    Button1->setGeometry(kWidth / 2 - 50, buttonTop, 100, kButtonHeight);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void PrincipleWindow::SyncFromState() {
    // A file loaded since the window last showed replaces what the box holds.
    if (state_.version == shownVersion_ || !state_.document) return;
    FillTextDocument(*RichEdit1->document(), *state_.document);
    RichEdit1->moveCursor(QTextCursor::Start);
    shownVersion_ = state_.version;
}

void PrincipleWindow::Centre() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void PrincipleWindow::Open() {
    SyncFromState();
    Centre();
    exec();
}

void PrincipleWindow::ShowWindow() {
    SyncFromState();
    Centre();
    show();
}

}  // namespace dorvalix
