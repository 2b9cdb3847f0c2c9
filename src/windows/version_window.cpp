// SPDX-License-Identifier: GPL-3.0-or-later
#include "version_window.h"

#include <QGuiApplication>
#include <QScreen>

#include "errors.h"
#include "fonts.h"
#include "input_file.h"
#include "jpeg_image.h"
#include "version_window_commands.h"
#include "widget_style.h"

namespace dorvalix {

namespace {

const QColor kTeal(0, 128, 128);
constexpr int kPictureWidth = 105;
constexpr int kPictureHeight = 161;

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, const QFont& font,
                  const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(geometry);
    SetColour(label, QPalette::WindowText, Qt::black);
    return label;
}

QFont Bold(QFont font) {
    font.setBold(true);
    return font;
}

}  // namespace

QImage JpegToImage(std::string_view bytes) {
    const std::optional<RgbImage> rgb = DecodeJpeg(bytes);
    if (!rgb) return {};
    QImage image(rgb->width, rgb->height, QImage::Format_RGB888);
    const std::size_t stride = static_cast<std::size_t>(rgb->width) * 3;
    // A QImage row is padded to a multiple of four bytes: copied row by row.
    for (int y = 0; y < rgb->height; ++y)
        std::copy_n(rgb->pixels.data() + stride * static_cast<std::size_t>(y), stride,
                    image.scanLine(y));
    return image;
}

QImage LoadJpegPicture(const std::string& path) {
    if (path.empty()) return {};
    try {
        return JpegToImage(ReadInputFile(path, Lang::Japanese));
    } catch (const DorvalixError&) {
        return {};  // an unreadable picture leaves its space empty, like a missing one
    }
}

VersionWindow::VersionWindow(Lang lang, const std::string& picturePath, QWidget* parent)
    : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, Qt::white);
    const VersionWindowTexts& texts = VersionTexts(lang);
    setWindowTitle(ToQ(texts.windowTitle));
    if (lang == Lang::Japanese) {
        BuildJapanese(picturePath);
    } else {
        BuildEnglish();
    }
    Button1->setObjectName("Button1");
    Button1->setText(ToQ(texts.closeButton));
    Button1->setFont(PGothicFont(16));
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void VersionWindow::BuildJapanese(const std::string& picturePath) {
    setObjectName("TForm2");
    setFixedSize(414, 263);
    const VersionWindowTexts& texts = VersionTexts(Lang::Japanese);
    Label1 =
        MakeLabel(this, "Label1", ToQ(texts.heading), Bold(MinchoFont(21)), QRect(20, 12, 260, 28));
    // The title label's design-time text is replaced by the program's title line.
    Label2 = MakeLabel(this, "Label2", QString(), Bold(SansFont(27)), QRect(20, 42, 374, 36));
    Label2->setText(ToQ(kProgramTitleLine));
    SetColour(Label2, QPalette::WindowText, kTeal);
    const int tops[] = {88, 110, 138, 160, 182};
    for (std::size_t i = 0; i < texts.lines.size(); ++i) {
        lines.push_back(MakeLabel(this, QString("Label%1").arg(i + 3), ToQ(texts.lines[i]),
                                  PGothicFont(16), QRect(20, tops[i], 262, 22)));
    }
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(293, 82, kPictureWidth, kPictureHeight);
    Image1->setAlignment(Qt::AlignCenter);
    const QImage picture = LoadJpegPicture(picturePath);
    if (!picture.isNull()) {
        // A picture of another size is fitted into the frame.
        Image1->setPixmap(QPixmap::fromImage(picture.size() == QSize(kPictureWidth, kPictureHeight)
                                                 ? picture
                                                 : picture.scaled(kPictureWidth, kPictureHeight,
                                                                  Qt::KeepAspectRatio,
                                                                  Qt::SmoothTransformation)));
    }
    Button1 = new QPushButton(this);
    Button1->setGeometry(20, 212, 100, 32);
}

void VersionWindow::BuildEnglish() {
    setObjectName("TForm5");
    setFixedSize(415, 260);
    const VersionWindowTexts& texts = VersionTexts(Lang::English);
    Label2 = MakeLabel(this, "Label2", QString(), Bold(SansFont(27)), QRect(24, 14, 367, 36));
    Label2->setText(ToQ(kProgramTitleLine));
    SetColour(Label2, QPalette::WindowText, kTeal);
    const int tops[] = {56, 80, 104, 132, 156, 180};
    for (std::size_t i = 0; i < texts.lines.size(); ++i) {
        lines.push_back(MakeLabel(this, QString("Label%1").arg(i + 3), ToQ(texts.lines[i]),
                                  Bold(SerifFont(19)), QRect(24, tops[i], 367, 24)));
    }
    Button1 = new QPushButton(this);
    Button1->setGeometry(157, 210, 100, 32);
}

void VersionWindow::Centre() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void VersionWindow::Open() {
    Centre();
    exec();
}

void VersionWindow::ShowWindow() {
    Centre();
    show();
}

}  // namespace dorvalix
