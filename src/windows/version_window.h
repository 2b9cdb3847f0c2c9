// SPDX-License-Identifier: GPL-3.0-or-later
// The version windows: TForm2 in Japanese (a heading, the title line, the organisation,
// author and contact lines and a picture of a crystal) and TForm5 in English (the title
// line and the organisation, author and contact lines). Both are white, fixed in size,
// centred and modal, and only close.
#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <string>
#include <string_view>
#include <vector>

#include "lang.h"

namespace dorvalix {

// A JPEG picture decoded with libjpeg; a null image when the bytes are damaged.
QImage JpegToImage(std::string_view bytes);
// The picture of a JPEG file; a null image when the file is missing, unreadable or damaged.
QImage LoadJpegPicture(const std::string& path);

class VersionWindow : public QDialog {
    Q_OBJECT
  public:
    // `picturePath`: the Japanese window's picture (empty or damaged: the space stays empty).
    VersionWindow(Lang lang, const std::string& picturePath, QWidget* parent = nullptr);

    // Centred on the screen, modal until closed.
    void Open();
    // Centred and shown without waiting (for tests).
    void ShowWindow();

    // The controls, by their component names.
    QLabel* Label1 = nullptr;    // the heading (Japanese only)
    QLabel* Label2 = nullptr;    // the title line "Dorvalix Ver. 2.20"
    std::vector<QLabel*> lines;  // Label3 ...: organisation, author, contact
    QLabel* Image1 = nullptr;    // the picture (Japanese only)
    QPushButton* Button1 = nullptr;

  private:
    void BuildJapanese(const std::string& picturePath);
    void BuildEnglish();
    void Centre();
};

}  // namespace dorvalix
